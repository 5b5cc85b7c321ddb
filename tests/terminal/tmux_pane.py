"""A real terminal for the terminal tests: a tmux pane on a private server.

Each Pane starts its own tmux server (-L with a name of its own), runs a shell
command in a folder, types with send-keys and reads the screen with
capture-pane. The shell records the command's exit code in a file, since tmux
does not always keep a dead pane's. Waits poll for a condition with a time
limit instead of sleeping a fixed time.
"""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

BINARY = os.environ.get("LUMETRA_BINARY", "")
TMUX = shutil.which("tmux")
ESCAPE_PAUSE = 0.3  # longer than the input decoder's ESC timeout
SAMPLE = os.path.join(os.environ.get("LUMETRA_SOURCE_DIR", ""), "samples", "pv-log.csv")


def needs_terminal(test_class):
    """Skips a test class when tmux or the built program is missing."""
    test_class = unittest.skipIf(TMUX is None, "tmux is not installed")(test_class)
    return unittest.skipIf(not os.path.isfile(BINARY), "LUMETRA_BINARY does not name the built program")(test_class)


def program(environment="LANG=C.UTF-8"):
    """The shell command that starts the built program with the given
    environment settings (env arguments, such as "-u TERM")."""
    return "env %s %s" % (environment, BINARY)


class Pane:
    """One tmux server with one pane running command in folder."""

    def __init__(self, folder, command=None, columns=80, rows=25):
        self.folder = folder
        self.socket = "lumetra-test-%d-%d" % (os.getpid(), id(self))
        self.state = tempfile.mkdtemp(prefix="lumetra-pane-")
        self.exit_file = os.path.join(self.state, "code")
        config = os.path.join(self.state, "tmux.conf")
        with open(config, "w") as file:
            file.write("set -g remain-on-exit on\n")
        self.tmux("-f", config, "new-session", "-d", "-s", "main", "-x", str(columns), "-y", str(rows), "-c", folder,
                  "%s; echo $? > %s" % (command or program(), self.exit_file))

    def tmux(self, *arguments):
        return subprocess.run([TMUX, "-u", "-L", self.socket, *arguments], check=True, capture_output=True,
                              text=True).stdout

    def close(self):
        subprocess.run([TMUX, "-L", self.socket, "kill-server"], capture_output=True)
        shutil.rmtree(self.state, ignore_errors=True)

    # ---- Typing and the terminal's size ----------------------------------------

    def keys(self, *names):
        self.tmux("send-keys", "-t", "main", *names)

    def text(self, literal):
        self.tmux("send-keys", "-t", "main", "-l", literal)

    def bytes(self, *hex_bytes):
        """Types bytes given in hexadecimal, as they are."""
        self.tmux("send-keys", "-t", "main", "-H", *hex_bytes)

    def escape(self):
        self.keys("Escape")
        time.sleep(ESCAPE_PAUSE)

    def resize(self, columns, rows):
        """Gives the terminal a new size; the program hears of it by SIGWINCH."""
        self.tmux("resize-window", "-t", "main", "-x", str(columns), "-y", str(rows))
        self.wait_for(lambda: self.show("pane_width") == str(columns) and self.show("pane_height") == str(rows),
                      "the size %dx%d" % (columns, rows))

    # ---- Reading the screen ---------------------------------------------------------

    def screen(self, history=False, colours=False):
        arguments = ["capture-pane", "-p", "-t", "main"] + (["-S", "-"] if history else [])
        return self.tmux(*arguments, "-e" if colours else "-N")

    def rows(self):
        """The screen's rows without trailing blanks."""
        return [row.rstrip(" ") for row in self.screen().splitlines()]

    def line(self, start):
        """The screen row that starts so, without trailing blanks; None when none does."""
        return next((row for row in self.rows() if row.startswith(start)), None)

    def show(self, name):
        return self.tmux("display", "-p", "-t", "main", "#{%s}" % name).strip()

    def cursor(self):
        return int(self.show("cursor_x")), int(self.show("cursor_y"))

    def row_of(self, start):
        return next(index for index, row in enumerate(self.rows()) if row.startswith(start))

    # ---- The program ------------------------------------------------------------------

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


class PaneTest(unittest.TestCase):
    """A test with a fresh folder and, once start() is called, a pane in it."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="lumetra-terminal-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)

    def start(self, command=None, columns=80, rows=25):
        self.pane = Pane(self.folder, command, columns, rows)
        self.addCleanup(self.pane.close)
        return self.pane

    def write_file(self, name, content):
        with open(os.path.join(self.folder, name), "w", encoding="utf-8") as file:
            file.write(content)

    def copy_sample(self, name="pv-log.csv"):
        shutil.copy(SAMPLE, os.path.join(self.folder, name))

    def finish(self):
        """Ends the final wait with a key; returns the exit code."""
        self.pane.wait_for_text("geschrieben.")
        self.pane.keys("x")
        return self.pane.wait_for_exit()
