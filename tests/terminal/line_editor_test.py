"""The line editor and the final key wait on a real terminal (tmux, 80 x 25).

Runs the built binary ($LUMETRA_BINARY) in a tmux pane, types the file names
with editing keys, and checks the files that were used, the screen, the exit
code and the processor time spent waiting.
"""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from lumetra_harness import PaneTest, abort_text, needs_terminal, program

SOURCE = "Zeit;Wert1;Wert2;Wert3\n12:00:01;1.5;2;3\n12:00:02;4;5;6\n"


def processor_seconds(pid):
    """The time the process has run on a processor, exactly: not sampled at
    the clock's ticks as its user and system times are, which on a busy
    machine may charge a few short wake-ups a whole tick each."""
    with open("/proc/%d/schedstat" % pid) as file:
        return int(file.read().split()[0]) / 1e9


@needs_terminal
class LineEditorTest(PaneTest):
    def setUp(self):
        super().setUp()
        self.start().wait_for_prompt("Quelldatei:")

    def write_source(self, name):
        self.write(name, SOURCE)

    def test_names_typed_with_editing_keys(self):
        self.write_source("src.csv")
        pane = self.pane
        pane.text("xyz")
        pane.wait_for_text("Quelldatei:  xyz")
        pane.keys("Escape")  # erases xyz
        # Typed on only once the Escape is taken alone, not with the next key as Alt+key.
        pane.wait_for(lambda: pane.line("  Quelldatei:") == "  Quelldatei:", "xyz erased")
        pane.text("rc.csv")
        pane.keys("Home")
        pane.text("s")
        pane.wait_for_text("Quelldatei:  src.csv")
        self.assertEqual(pane.cursor(), (16, pane.row_of("  Quelldatei:")))  # after the s
        pane.keys("End", "Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("zXiel.txtt")
        pane.keys("BSpace", "Home", "Right", "DC", "End", "Enter")
        self.assertEqual(self.finish(), 0)
        self.assertEqual(self.pane.line("  Quelldatei:"), "  Quelldatei:  src.csv")
        self.assertEqual(self.pane.line("  Zieldatei:"), "  Zieldatei:   ziel.txt")
        self.assertEqual(sorted(os.listdir(self.folder)), ["src.csv", "ziel.txt"])
        self.assertEqual(self.read("ziel.txt"), b"$1;1;43201;1,5;2;3;0\r\n$1;1;43202;4;5;6;0\r\n")

    def test_left_and_tab_in_a_name(self):
        self.write_source("a.csv")
        pane = self.pane
        pane.text("acsv")
        pane.keys("Left", "Left", "Left")
        pane.text(".")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("t")
        pane.keys("Tab")
        pane.text("x.txt")
        pane.keys("Enter")
        self.assertEqual(self.finish(), 0)
        self.assertIn("t       x.txt", os.listdir(self.folder))
        self.assertEqual(self.pane.line("  Zieldatei:"), "  Zieldatei:   t       x.txt")

    def test_umlaut_names_become_the_utf8_files(self):
        self.write_source("März.csv")
        pane = self.pane
        pane.text("März.csv")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("Übersicht.txt")
        pane.keys("Enter")
        self.assertEqual(self.finish(), 0)
        self.assertIn("Übersicht.txt", os.listdir(self.folder))
        self.assertEqual(self.pane.line("  Zieldatei:"), "  Zieldatei:   Übersicht.txt")

    def test_a_long_paste_arrives_whole(self):
        os.mkdir(os.path.join(self.folder, "samples"))
        self.copy_sample(os.path.join("samples", "pv-log.csv"))
        # Found only when no byte is lost: a name of 600 characters, far more
        # than the key buffer holds, that still names the sample.
        name = "samples/" + "./" * 291 + "pv-log.csv"
        self.assertEqual(len(name), 600)
        self.pane.text(name)
        self.pane.keys("Enter")
        self.pane.wait_for_text("Zieldatei:")
        self.pane.text("ziel.txt")
        self.pane.keys("Enter")
        self.assertEqual(self.finish(), 0)
        self.assertEqual(self.read("ziel.txt").count(b"\r\n"), 1440)

    def test_waiting_takes_no_processor_time(self):
        self.write_source("src.csv")
        pid = self.pane.pid()
        spent = {}
        for stage in ("editor", "final wait"):
            start = processor_seconds(pid)
            time.sleep(5)
            spent[stage] = processor_seconds(pid) - start
            if stage == "editor":
                self.pane.text("src.csv")
                self.pane.keys("Enter")
                self.pane.wait_for_text("Zieldatei:")
                self.pane.text("ziel.txt")
                self.pane.keys("Enter")
                self.pane.wait_for_text("geschrieben.")
        print("\nprocessor time over 5 s: editor %.3f s, final wait %.3f s" % (spent["editor"], spent["final wait"]))
        # Both look for a key 20 to 40 times a second: about 0.015 s in all on
        # a quiet machine, more when other work crowds the caches; a wait that
        # spins takes the whole 5 s.
        self.assertLessEqual(spent["editor"], 0.1)
        self.assertLessEqual(spent["final wait"], 0.1)
        self.pane.keys("Enter")
        self.assertEqual(self.pane.wait_for_exit(), 0)

    def test_the_terminal_of_the_dialogue_is_no_source(self):
        """A log is never typed where the editor takes the keys: the source
        is refused as a missing one, before the target is touched."""
        for name in ["/dev/tty", "/proc/self/fd/0"]:
            with self.subTest(name=name):
                pane = self.pane if name == "/dev/tty" else self.start()
                pane.wait_for_prompt("Quelldatei:")
                pane.text(name)
                pane.keys("Enter")
                pane.wait_for_text("Zieldatei:")
                pane.text("ziel.txt")
                pane.keys("Enter")
                self.assertEqual(pane.wait_for_exit(), 2)
                self.assertIn(abort_text(2, 16).decode(), pane.screen())
                self.assertEqual(os.listdir(self.folder), [])

    # Needs the runtime's interrupt handler, which turns SIGINT into error 9.
    def test_ctrl_c_at_a_prompt_aborts_with_error_9(self):
        self.pane.text("abc")
        self.pane.keys("C-c")
        self.assertEqual(self.pane.wait_for_exit(), 9)
        self.assertIn(abort_text(9).decode(), self.pane.screen())
        self.assertEqual(os.listdir(self.folder), [])


def latin_one_locale(folder):
    """Generates the locale de_DE.ISO-8859-1 into folder (for LOCPATH); False
    when the system cannot (no localedef, or no locale sources)."""
    if shutil.which("localedef") is None:
        return False
    made = subprocess.run(["localedef", "-i", "de_DE", "-f", "ISO-8859-1",
                           os.path.join(folder, "de_DE.ISO-8859-1")], capture_output=True)
    return made.returncode == 0


@needs_terminal
class LatinOneTerminalTest(PaneTest):
    """A terminal of ISO-8859-1: typed letters are read in its character set,
    and a typed source name opens the file named by the bytes it sent, as the
    same bytes piped in do."""

    def test_a_typed_latin_1_name_opens_the_latin_1_file(self):
        locales = tempfile.mkdtemp(prefix="lumetra-locales-")
        self.addCleanup(shutil.rmtree, locales, ignore_errors=True)
        if not latin_one_locale(locales):
            self.skipTest("cannot generate the locale de_DE.ISO-8859-1")
        with open(os.path.join(os.fsencode(self.folder), b"M\xe4rz.csv"), "wb") as file:
            file.write(SOURCE.encode())
        pane = self.start(program("LOCPATH=%s LC_ALL=de_DE.ISO-8859-1" % locales))
        pane.wait_for_prompt("Quelldatei:")
        pane.text("M")
        pane.bytes("e4")  # the terminal sends Latin-1
        pane.text("rz.csv")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("out.txt")
        pane.keys("Enter")
        self.assertEqual(self.finish(), 0)
        self.assertEqual(self.read("out.txt"), b"$1;1;43201;1,5;2;3;0\r\n$1;1;43202;4;5;6;0\r\n")


if __name__ == "__main__":
    unittest.main()
