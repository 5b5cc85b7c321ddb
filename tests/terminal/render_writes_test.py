"""What typing costs the terminal: the writes the program makes for each key,
counted with strace while it runs in tmux."""

import os
import re
import shutil
import subprocess
import time
import unittest

from lumetra_harness import PaneTest, needs_terminal, program

STRACE = shutil.which("strace")
WRITE = re.compile(r'^\d+ +write\(1, "(.*)", \d+\) += (\d+)$')


def strace_works():
    return STRACE is not None and subprocess.run([STRACE, "-o", os.devnull, "true"], capture_output=True).returncode == 0


@needs_terminal
@unittest.skipUnless(strace_works(), "strace is missing or may not trace here")
class RenderWrites(PaneTest):

    def terminal_writes(self):
        """The program's writes to standard output so far: (escaped bytes, count)."""
        with open(self.log) as file:
            return [(match.group(1), int(match.group(2))) for match in map(WRITE.match, file) if match]

    def settled_writes(self, more_than=0):
        """The writes, once there are more than `more_than` and the program
        has been quiet for a while."""
        seen = [self.pane.wait_for(lambda: len(self.terminal_writes()) > more_than and self.terminal_writes(),
                                   "a write to the terminal")]

        def quiet():
            time.sleep(0.3)
            seen.append(self.terminal_writes())
            return seen[-1] == seen[-2]
        self.pane.wait_for(quiet, "the program to stop writing")
        return seen[-1]

    def test_a_character_typed_at_the_end_of_the_line_is_one_short_write(self):
        self.log = os.path.join(self.folder, "writes.log")
        pane = self.start("%s -f -qq -s 256 -e trace=write -e signal=none -o %s %s" % (STRACE, self.log, program()))
        pane.wait_for_prompt("Quelldatei:")
        before = self.settled_writes()
        for number, character in enumerate("pv-log.csv", 1):
            pane.text(character)
            pane.wait_for(lambda: pane.cursor()[0] == 15 + number, "the cursor after %r" % character)
            after = self.settled_writes(more_than=len(before))
            typed = after[len(before):]
            self.assertEqual(len(typed), 1, "writes for %r: %r" % (character, typed))
            self.assertLessEqual(typed[0][1], 8, "bytes for %r: %r" % (character, typed))
            before = after
        self.assertEqual(pane.line("  Quelldatei:"), "  Quelldatei:  pv-log.csv")
