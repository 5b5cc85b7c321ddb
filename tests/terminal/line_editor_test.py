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

BINARY = os.environ.get("LUMETRA_BINARY", "")
TMUX = shutil.which("tmux")
SOURCE = "Zeit;Wert1;Wert2;Wert3\n12:00:01;1.5;2;3\n12:00:02;4;5;6\n"
ESCAPE_PAUSE = 0.3  # longer than the input decoder's ESC timeout
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


class Pane:
    """One tmux server with one pane running the binary in a folder."""

    def __init__(self, folder):
        self.folder = folder
        self.socket = "lumetra-test-%d-%d" % (os.getpid(), id(self))
        config = os.path.join(folder, ".tmux.conf")
        with open(config, "w") as file:
            file.write("set -g remain-on-exit on\n")
        # The shell keeps the exit code: tmux does not always record it.
        self.exit_folder = tempfile.mkdtemp(prefix="lumetra-exit-")
        self.exit_file = os.path.join(self.exit_folder, "code")
        self.tmux("-f", config, "new-session", "-d", "-s", "main", "-x", "80", "-y", "25", "-c", folder,
                  "env LANG=C.UTF-8 %s; echo $? > %s" % (BINARY, self.exit_file))

    def tmux(self, *arguments):
        return subprocess.run([TMUX, "-u", "-L", self.socket, *arguments], check=True, capture_output=True,
                              text=True).stdout

    def close(self):
        subprocess.run([TMUX, "-L", self.socket, "kill-server"], capture_output=True)
        shutil.rmtree(self.exit_folder, ignore_errors=True)

    def keys(self, *names):
        self.tmux("send-keys", "-t", "main", *names)

    def text(self, literal):
        self.tmux("send-keys", "-t", "main", "-l", literal)

    def escape(self):
        self.keys("Escape")
        time.sleep(ESCAPE_PAUSE)

    def screen(self):
        return self.tmux("capture-pane", "-p", "-N", "-t", "main")

    def show(self, name):
        return self.tmux("display", "-p", "-t", "main", "#{%s}" % name).strip()

    def cursor(self):
        return int(self.show("cursor_x")), int(self.show("cursor_y"))

    def row_of(self, start):
        rows = self.screen().splitlines()
        return next(index for index, line in enumerate(rows) if line.startswith(start))

    def pid(self):
        """The program's process, a child of the pane's shell."""
        shell = self.show("pane_pid")
        return int(subprocess.run(["pgrep", "-P", shell], capture_output=True, text=True).stdout.split()[0])

    def dead(self):
        return os.path.exists(self.exit_file) and os.path.getsize(self.exit_file) > 0

    def wait_for(self, condition, what, limit=10.0):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.05)
        self.fail_with("timed out waiting for " + what)

    def wait_for_text(self, text, limit=10.0):
        self.wait_for(lambda: text in self.screen(), repr(text), limit)

    def wait_for_exit(self, limit=10.0):
        self.wait_for(self.dead, "the program to end", limit)
        with open(self.exit_file) as file:
            return int(file.read())

    def fail_with(self, message):
        raise AssertionError("%s\n--- screen ---\n%s" % (message, self.screen()))


def processor_ticks(pid):
    with open("/proc/%d/stat" % pid) as file:
        fields = file.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


@unittest.skipIf(TMUX is None, "tmux is not installed")
@unittest.skipIf(not os.path.isfile(BINARY), "LUMETRA_BINARY does not name the built program")
class LineEditorTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="lumetra-terminal-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.pane = Pane(self.folder)
        self.addCleanup(self.pane.close)
        self.pane.wait_for_text("Quelldatei:")

    def write_source(self, name):
        with open(os.path.join(self.folder, name), "w", encoding="utf-8") as file:
            file.write(SOURCE)

    def screen_line(self, start):
        """The screen line that starts so, without the blanks the editor left after it."""
        return next((line.rstrip(" ") for line in self.pane.screen().splitlines() if line.startswith(start)), None)

    def finish(self):
        """Ends the final wait with a key; returns the exit code."""
        self.pane.wait_for_text("geschrieben.")
        self.pane.keys("x")
        return self.pane.wait_for_exit()

    def test_names_typed_with_editing_keys(self):
        self.write_source("src.csv")
        pane = self.pane
        pane.text("xyz")
        pane.escape()  # erases xyz
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
        self.assertEqual(self.screen_line("  Quelldatei:"), "  Quelldatei:  src.csv")
        self.assertEqual(self.screen_line("  Zieldatei:"), "  Zieldatei:   ziel.txt")
        self.assertEqual(sorted(os.listdir(self.folder)), [".tmux.conf", "src.csv", "ziel.txt"])
        with open(os.path.join(self.folder, "ziel.txt"), "rb") as file:
            self.assertEqual(file.read(), b"$1;1;43201;1,5;2;3;0\r\n$1;1;43202;4;5;6;0\r\n")

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
        self.assertEqual(self.screen_line("  Zieldatei:"), "  Zieldatei:   t       x.txt")

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
        self.assertEqual(self.screen_line("  Zieldatei:"), "  Zieldatei:   Übersicht.txt")

    def test_waiting_takes_no_processor_time(self):
        self.write_source("src.csv")
        pid = self.pane.pid()
        spent = {}
        for stage in ("editor", "final wait"):
            start = processor_ticks(pid)
            time.sleep(5)
            spent[stage] = (processor_ticks(pid) - start) / CLOCK_TICKS
            if stage == "editor":
                self.pane.text("src.csv")
                self.pane.keys("Enter")
                self.pane.wait_for_text("Zieldatei:")
                self.pane.text("ziel.txt")
                self.pane.keys("Enter")
                self.pane.wait_for_text("geschrieben.")
        print("\nprocessor time over 5 s: editor %.2f s, final wait %.2f s" % (spent["editor"], spent["final wait"]))
        self.assertLessEqual(spent["editor"], 0.05)
        self.assertLessEqual(spent["final wait"], 0.05)
        self.pane.keys("Enter")
        self.assertEqual(self.pane.wait_for_exit(), 0)

    # Needs the runtime's interrupt handler, which turns SIGINT into error 9.
    def test_ctrl_c_at_a_prompt_aborts_with_error_9(self):
        self.pane.text("abc")
        self.pane.keys("C-c")
        self.assertEqual(self.pane.wait_for_exit(), 9)
        self.assertIn('Aborting due to runtime error 9 ("interrupted" signal)', self.pane.screen())
        self.assertEqual(os.listdir(self.folder), [".tmux.conf"])


if __name__ == "__main__":
    unittest.main()
