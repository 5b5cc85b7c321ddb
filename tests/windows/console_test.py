"""lumetra.exe in wine's console on a real terminal (tmux, 80 x 25).

Runs $LUMETRA_BINARY through $LUMETRA_RUNNER (wine) in a tmux pane, types
the file names with editing keys and reads the screen with its colours.
Wine's console reads Home and End only as the xterm sequences CSI H and
CSI F, so those two are typed as bytes.
"""

import os
import shlex
import shutil
import subprocess
import tempfile
import time
import unittest

TMUX = shutil.which("tmux")
BINARY = os.environ.get("LUMETRA_BINARY", "")
RUNNER = os.environ.get("LUMETRA_RUNNER", "")
SOURCE = b"Zeit;Wert1;Wert2;Wert3\r\n12:00:01;1.5;2;3\r\n12:00:02;4;5;6\r\n"
HOME = ("1b", "5b", "48")
END = ("1b", "5b", "46")
# Wine's first start in a prefix, and its start on a loaded machine, take seconds.
START_LIMIT = 60


class WinePane:
    """A tmux server with one pane running lumetra.exe under wine in a folder;
    the shell notes its exit code and standard error goes to a file."""

    def __init__(self, folder):
        self.folder = folder
        self.socket = "lumetra-windows-%d-%d" % (os.getpid(), id(self))
        config = os.path.join(folder, ".tmux.conf")
        with open(config, "w") as file:
            file.write("set -g remain-on-exit on\n")
        command = "env LANG=C.UTF-8 %s %s 2>errors.txt; echo $? > exit-code" % (RUNNER, shlex.quote(BINARY))
        self.tmux("-f", config, "new-session", "-d", "-s", "main", "-x", "80", "-y", "25", "-c", folder, command)

    def tmux(self, *arguments):
        return subprocess.run([TMUX, "-u", "-L", self.socket, *arguments], check=True, capture_output=True,
                              text=True).stdout

    def close(self):
        subprocess.run([TMUX, "-L", self.socket, "kill-server"], capture_output=True, check=False)

    def keys(self, *names):
        self.tmux("send-keys", "-t", "main", *names)

    def text(self, literal):
        self.tmux("send-keys", "-t", "main", "-l", literal)

    def bytes(self, *hex_bytes):
        self.tmux("send-keys", "-t", "main", "-H", *hex_bytes)

    def screen(self, colours=False):
        return self.tmux("capture-pane", "-p", "-t", "main", *(["-e"] if colours else ["-N"]))

    def exit_code(self):
        path = os.path.join(self.folder, "exit-code")
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            return None
        with open(path) as file:
            return int(file.read())

    def wait_for(self, condition, what, limit=15.0):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %s; screen:\n%s" % (what, self.screen()))

    def wait_for_text(self, text, limit=15.0):
        self.wait_for(lambda: text in self.screen(), repr(text), limit)

    def wait_for_exit(self):
        self.wait_for(lambda: self.exit_code() is not None, "the end of the program", 30)
        return self.exit_code()


@unittest.skipUnless(TMUX and BINARY and RUNNER, "needs tmux, LUMETRA_BINARY and LUMETRA_RUNNER")
class WineConsoleTest(unittest.TestCase):
    def setUp(self):
        self._folder = tempfile.TemporaryDirectory(prefix="lumetra-windows-")
        self.folder = self._folder.name
        with open(os.path.join(self.folder, "M\u00e4rz.csv"), "wb") as file:
            file.write(SOURCE)
        self.pane = WinePane(self.folder)
        self.pane.wait_for_text("Quelldatei:", START_LIMIT)

    def tearDown(self):
        self.pane.close()
        self._folder.cleanup()

    def test_banner_in_yellow_and_prompts(self):
        rows = self.pane.screen(colours=True).splitlines()
        banner = next(row for row in rows if "Photovoltaik-Datenkonverter" in row)
        self.assertIn("\x1b[93m", banner.split("Photovoltaik")[0], "yellow before the banner")
        self.assertEqual(rows.index(banner), 1, "the banner stands on the second row")
        self.assertEqual(self.pane.screen().splitlines()[3].rstrip(), "  Quelldatei:")

    def test_typed_names_with_editing_keys_and_the_final_wait(self):
        pane = self.pane
        pane.text("Mrz.csvv")
        pane.keys("BSpace", *["Left"] * 6)
        pane.text("\u00e4")
        pane.bytes(*END)
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("ut.txt")
        pane.bytes(*HOME)
        pane.text("o")
        pane.bytes(*END)
        pane.keys("Enter")
        pane.wait_for_text("Es wurden 2 Datens\u00e4tze geschrieben.")
        screen = pane.screen()
        self.assertIn("  Quelldatei:  M\u00e4rz.csv\n", screen)
        self.assertIn("  Zieldatei:   out.txt\n", screen)
        with open(os.path.join(self.folder, "out.txt"), "rb") as file:
            self.assertEqual(file.read(), b"$1;1;43201;1,5;2;3;0\r\n$1;1;43202;4;5;6;0\r\n")
        time.sleep(0.5)
        self.assertIsNone(pane.exit_code(), "waits for a key after the summary")
        pane.text("x")
        self.assertEqual(pane.wait_for_exit(), 0)

    def test_ctrl_c_at_a_prompt_ends_with_9(self):
        self.pane.text("abc")
        self.pane.keys("C-c")
        self.assertEqual(self.pane.wait_for_exit(), 9)
        with open(os.path.join(self.folder, "errors.txt"), "rb") as file:
            self.assertEqual(file.read(),
                             b'\r\nAborting due to runtime error 9 ("interrupted" signal) in lumetra::()\r\n\r\n')


if __name__ == "__main__":
    unittest.main()
