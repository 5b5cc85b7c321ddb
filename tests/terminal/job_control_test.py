"""Stopping and continuing the program from an interactive shell (tmux)."""

import os
import signal
import unittest

from lumetra_harness import PaneTest, needs_terminal, program


def foreground_group(pid):
    """The foreground process group of the terminal that process pid uses."""
    with open("/proc/%d/stat" % pid) as file:
        return int(file.read().rsplit(")", 1)[1].split()[5])


@needs_terminal
class JobControl(PaneTest):

    def test_stopped_at_a_prompt_and_continued_the_editor_works_on(self):
        self.copy_sample()
        pane = self.start("env PS1='$ ' bash --norc --noprofile -i")
        pane.wait_for_text("$")
        # The shell runs the program as a job, the terminal's foreground group.
        pane.text("sh -c '%s; echo $? > code'" % program())
        pane.keys("Enter")
        pane.wait_for_prompt("Quelldatei:")
        pane.text("pv-lo")
        pane.wait_for_text("Quelldatei:  pv-lo")
        os.killpg(foreground_group(int(pane.show("pane_pid"))), signal.SIGTSTP)
        pane.wait_for_text("Stopped")
        pane.text("fg")
        pane.keys("Enter")
        pane.wait_for_text("Quelldatei:  pv-lo")
        # Keys reach the editor again, arrows included.
        pane.text("gcsv")
        pane.keys("Left", "Left", "Left")
        pane.text(".")
        pane.wait_for(lambda: pane.line("  Quelldatei:") == "  Quelldatei:  pv-log.csv", "the edited name")
        self.assertNotIn("^[", pane.screen())
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("ziel.txt")
        pane.keys("Enter")
        pane.wait_for_text("geschrieben.")
        pane.keys("x")
        code = os.path.join(self.folder, "code")
        pane.wait_for(lambda: os.path.exists(code) and os.path.getsize(code) > 0, "the program to end")
        with open(code) as file:
            self.assertEqual(file.read().strip(), "0")
        self.assertEqual(self.read("ziel.txt").count(b"\r\n"), 1440)


if __name__ == "__main__":
    unittest.main()
