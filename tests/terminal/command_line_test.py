"""The names as arguments on a real terminal (tmux, 80 x 25): no key wait at
the end, no log read from the terminal, records shown on the terminal kept
in view, and the progress of a long conversion on the "Konvertiere..." line,
shown while it runs, gone from the final screen, kept above an abort
message, never shown when standard error is redirected.

A conversion is made long by stopping the program (SIGSTOP) for more than a
second at a time, so that the test needs no log of many gigabytes.
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import termios
import time
import unittest

BINARY = os.environ.get("LUMETRA_BINARY", "")
TMUX = shutil.which("tmux")
DAY = b"".join(b"%02d%02d%02d;%d.5;230.1;0.98\r\n" % (s // 3600, s // 60 % 60, s % 60, s) for s in range(0, 86400, 9))
HEADER = b"Zeit;Leistung;Spannung;Strom\r\n"
LONG_LOG = HEADER + DAY * 400  # 3.8 million lines
SHORT_LOG = HEADER + b"".join(DAY.splitlines(keepends=True)[:64])
PAUSE = 1.1  # a stop longer than the second after which progress shows
SLOW_LINES = b"081530;12.5;230.1;0.98\r\n" * 4  # what a slow source brings at a time
PROGRESS_IN_KB = r"^  Konvertiere\.\.\. \d+ kB  \d+ kB/s$"


class Run:
    """lumetra with arguments in its own tmux server, in a folder."""

    def __init__(self, folder, arguments):
        self.socket = "lumetra-arguments-%d-%d" % (os.getpid(), id(self))
        self.code_file = os.path.join(folder, "exit-code")
        if os.path.exists(self.code_file):
            os.unlink(self.code_file)
        # The shell keeps the exit code: tmux does not always record it.
        command = "env LANG=C.UTF-8 %s %s; echo $? > exit-code; sleep 60" % (BINARY, arguments)
        self.tmux("-f", "/dev/null", "new-session", "-d", "-s", "main", "-x", "80", "-y", "25", "-c", folder,
                  command)

    def tmux(self, *arguments):
        return subprocess.run([TMUX, "-u", "-L", self.socket, *arguments], check=True, capture_output=True,
                              text=True).stdout

    def close(self):
        subprocess.run([TMUX, "-L", self.socket, "kill-server"], capture_output=True)

    def screen(self, colours=False):
        return self.tmux("capture-pane", "-p", *(["-e"] if colours else []), "-t", "main")

    def ended(self):
        return os.path.exists(self.code_file) and os.path.getsize(self.code_file) > 0

    def exit_code(self):
        self.wait_for(self.ended, "the program to end")
        with open(self.code_file) as file:
            return int(file.read())

    def wait_for(self, condition, what, limit=60.0):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            value = condition()
            if value:
                return value
            time.sleep(0.01)
        raise AssertionError("timed out waiting for %s\n%s" % (what, self.screen()))

    def pause_and_look(self, enough, before_continuing=None):
        """Runs the conversion in short slices between pauses longer than a
        second, looking at the screen in each pause, until enough(screens)
        or the end; returns the screens seen. Once there are enough, the
        program gets the signal before_continuing, if any, while it is still
        stopped."""
        shell = self.tmux("display", "-p", "-t", "main", "#{pane_pid}").strip()
        program = int(self.wait_for(lambda: subprocess.run(["pgrep", "-P", shell], capture_output=True,
                                                           text=True).stdout.split(), "the program to start")[0])
        self.wait_for(lambda: "Konvertiere..." in self.screen() or self.ended(), "the conversion to start")
        screens = []
        while not self.ended():
            os.kill(program, signal.SIGSTOP)
            screens.append(self.screen())
            if enough(screens):
                if before_continuing:
                    os.kill(program, before_continuing)
                break
            time.sleep(PAUSE)
            os.kill(program, signal.SIGCONT)
            time.sleep(0.01)
        os.kill(program, signal.SIGCONT)
        return screens


class SlowSource:
    """A named pipe as the source, which the test feeds a few lines at a
    time."""

    def __init__(self, folder):
        self.path = os.path.join(folder, "slow.csv")
        os.mkfifo(self.path)
        self.fd = None
        self.lines = 0

    def open(self, run):
        """Waits until the program reads the pipe and writes the header."""
        def opened():
            try:
                return os.open(self.path, os.O_WRONLY | os.O_NONBLOCK)
            except OSError:
                return None
        self.fd = run.wait_for(opened, "the program to open its source")
        os.set_blocking(self.fd, True)
        os.write(self.fd, HEADER)

    def feed_until(self, run, condition, what):
        """Writes a few lines at a time, pausing between them, until
        condition() holds."""
        def fed():
            os.write(self.fd, SLOW_LINES)
            self.lines += SLOW_LINES.count(b"\n")
            time.sleep(0.05)
            return condition()
        run.wait_for(fed, what)

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None


@unittest.skipIf(TMUX is None, "tmux is not installed")
@unittest.skipIf(not os.path.isfile(BINARY), "LUMETRA_BINARY does not name the built program")
class ArgumentsOnTerminalTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="lumetra-arguments-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)

    def start(self, arguments, log):
        with open(os.path.join(self.folder, "log.csv"), "wb") as file:
            file.write(log)
        run = Run(self.folder, arguments)
        self.addCleanup(run.close)
        return run

    def test_ends_without_waiting_for_a_key(self):
        run = self.start("log.csv out.txt", SHORT_LOG)
        self.assertEqual(run.exit_code(), 0)
        self.assertIn("Es wurden 64 Datens\u00e4tze geschrieben.", run.screen())

    def test_log_is_not_read_from_the_terminal(self):
        for source in ["-", "/dev/stdin", "/dev/tty", "/proc/self/fd/0"]:
            with self.subTest(source=source):
                run = self.start("%s out.txt" % source, b"")
                self.assertEqual(run.exit_code(), 64)
                self.assertIn("lumetra: standard input is a terminal, not a log: '%s'" % source, run.screen())
                self.assertFalse(os.path.exists(os.path.join(self.folder, "out.txt")))
                run.close()

    def test_log_from_another_terminal(self):
        """A logger on a serial line or a pseudo-terminal: read in that
        terminal's line mode up to its end-of-file key (Ctrl+D)."""
        logger, line = os.openpty()
        self.addCleanup(os.close, logger)
        self.addCleanup(os.close, line)
        mode = termios.tcgetattr(line)
        mode[3] &= ~termios.ECHO
        termios.tcsetattr(line, termios.TCSANOW, mode)
        os.write(logger, SHORT_LOG.replace(b"\r\n", b"\n") + b"\x04")
        run = self.start("%s out.txt" % os.ttyname(line), b"")
        self.assertEqual(run.exit_code(), 0)
        with open(os.path.join(self.folder, "out.txt"), "rb") as file:
            self.assertEqual(file.read().count(b"\r\n"), 64)

    def test_records_to_a_terminal_only_through_the_dash(self):
        """Written by another name, they would land among the dialogue that
        the console draws there. Standard error on the terminal gets a
        pointer to "-" before the abort message."""
        run = self.start("log.csv /dev/stdout", SHORT_LOG)
        self.assertEqual(run.exit_code(), 1)
        rows = [row.rstrip() for row in run.screen().splitlines()]
        hint = rows.index("lumetra: the target is standard output or error; use '-' for standard output")
        self.assertTrue(rows[hint + 2].startswith("Aborting due to runtime error 1 (illegal function call) at line 17"),
                        "\n".join(rows))
        self.assertNotIn("$1;1;", run.screen())

    def test_records_to_the_terminal_stay_in_view_before_the_summary(self):
        log = HEADER + b"".join(DAY.splitlines(keepends=True)[:8])
        run = self.start("log.csv -", log)
        self.assertEqual(run.exit_code(), 0)
        rows = [row.rstrip() for row in run.screen().splitlines()]
        subprocess.run([BINARY, "log.csv", "records.txt"], cwd=self.folder, capture_output=True, check=True)
        with open(os.path.join(self.folder, "records.txt")) as file:
            records = file.read().splitlines()
        start = rows.index("  Konvertiere...")
        self.assertEqual(rows[start + 1:start + 9], records, "\n".join(rows))
        self.assertEqual(rows[start + 9], "  Vorgang abgeschlossen. Es wurden 8 Datens\u00e4tze geschrieben.")

    def test_progress_on_the_converting_line_while_it_runs(self):
        run = self.start("log.csv out.txt", LONG_LOG)
        screens = run.pause_and_look(lambda screens: screens and "MB/s" in screens[-1])
        converting = [line for screen in screens for line in screen.splitlines() if "Konvertiere" in line]
        self.assertRegex(converting[-1], r"^  Konvertiere\.\.\.  +\d+ %  \d+ MB/s$", converting)
        self.assertEqual(run.exit_code(), 0)
        with_progress = run.screen(colours=True)
        self.assertNotIn("MB/s", with_progress)
        with open(os.path.join(self.folder, "out.txt"), "rb") as file:
            self.assertEqual(file.read().count(b"\r\n"), LONG_LOG.count(b"\r\n") - 1)
        run.close()

        quiet = self.start("log.csv out.txt 2>errors.txt", LONG_LOG)
        screens = quiet.pause_and_look(lambda screens: len(screens) == 3)
        self.assertFalse([screen for screen in screens if "MB/s" in screen], "progress with standard error redirected")
        self.assertEqual(quiet.exit_code(), 0)
        self.assertEqual(quiet.screen(colours=True), with_progress, "the final screen differs")

    def test_progress_stays_above_the_abort_message(self):
        """Stopped by a request, the conversion keeps the progress it showed
        last: it tells how far the conversion came."""
        run = self.start("log.csv out.txt", LONG_LOG)
        run.pause_and_look(lambda screens: "MB/s" in screens[-1], before_continuing=signal.SIGTERM)
        self.assertEqual(run.exit_code(), 13)
        rows = [row.rstrip() for row in run.screen().splitlines()]
        converting = next(index for index, row in enumerate(rows) if row.startswith("  Konvertiere..."))
        self.assertRegex(rows[converting], r"^  Konvertiere\.\.\.  +\d+ %  \d+ MB/s$")
        self.assertEqual(rows[converting + 1:converting + 3],
                         ["", 'Aborting due to runtime error 13 ("termination request" signal) in lumetra::()'])


    def start_slow(self, target):
        """A run whose source is a pipe the test feeds slowly, the progress
        of which shows in kB."""
        source = SlowSource(self.folder)
        self.addCleanup(source.close)
        run = Run(self.folder, "slow.csv " + target)
        self.addCleanup(run.close)
        source.open(run)
        source.feed_until(run, lambda: self.progress_row(run.screen()), "the progress in kB")
        return run, source

    def progress_row(self, screen):
        return next((row for row in screen.splitlines() if re.match(PROGRESS_IN_KB, row.rstrip())), None)

    def test_progress_of_a_slow_source_shows_kilobytes(self):
        run, source = self.start_slow("out.txt")
        source.close()
        self.assertEqual(run.exit_code(), 0)
        self.assertNotIn("kB/s", run.screen())
        with open(os.path.join(self.folder, "out.txt"), "rb") as file:
            self.assertEqual(file.read().count(b"\r\n"), source.lines)

    def test_progress_stays_above_the_message_of_a_failed_target(self):
        run, source = self.start_slow("/dev/full")
        source.close()  # the records go out at the end, where the disk is full
        self.assertEqual(run.exit_code(), 3)
        rows = [row.rstrip() for row in run.screen().splitlines()]
        converting = next(index for index, row in enumerate(rows) if row.startswith("  Konvertiere..."))
        self.assertRegex(rows[converting], PROGRESS_IN_KB)
        self.assertEqual(rows[converting + 1:converting + 3],
                         ["", "Aborting due to runtime error 3 (file I/O error) at line 58 of lumetra::()"])


if __name__ == "__main__":
    unittest.main()
