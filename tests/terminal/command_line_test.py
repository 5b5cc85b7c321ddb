"""The names as arguments on a real terminal (tmux, 80 x 25): no key wait at
the end, no log read from the terminal, records shown on the terminal kept
in view, and the progress of a long conversion on the "Konvertiere..." line,
shown while it runs, gone from the final screen, kept above an abort
message, never shown when standard error is redirected.

The test sets the pace of a long conversion: its target is a named pipe
that the test reads a piece at a time, or its source one that the test
feeds a few lines at a time. The run waits in between and cannot end before
the test lets it.
"""

import os
import re
import signal
import subprocess
import termios
import time
import unittest

from lumetra_harness import BINARY, HEADER, PaneTest, abort_text, logger_lines, needs_terminal, program

DAY = logger_lines(9600, step=9)
LONG_LOG = HEADER + DAY * 120  # 1.15 million lines
SHORT_LOG = HEADER + logger_lines(64, step=9)
# The records a long run may write between two looks at the screen, and the
# pause before each piece: the run converts 8 MB/s at the most, enough for
# the progress in MB/s unless a look at the screen takes seconds.
PIECE = 1 << 21
PIECE_PAUSE = 0.25
SLOW_LINES = b"081530;12.5;230.1;0.98\r\n" * 4  # what a slow source brings at a time
PROGRESS_IN_MB = r"^  Konvertiere\.\.\.  +\d+ %  \d+ MB/s$"
PROGRESS_IN_KB = r"^  Konvertiere\.\.\. \d+ kB  \d+ kB/s$"


def converting_row(screen):
    """The "Konvertiere..." row of a screen, without trailing blanks."""
    return next((row.rstrip() for row in screen.splitlines() if row.startswith("  Konvertiere...")), "")


class PipedTarget:
    """out.txt as a named pipe that the test reads."""

    def __init__(self, folder):
        path = os.path.join(folder, "out.txt")
        if os.path.exists(path):
            os.unlink(path)
        os.mkfifo(path)
        self.fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)  # the run's open finds its reader
        os.set_blocking(self.fd, True)
        self.records = 0

    def read(self, size=None):
        """Reads `size` bytes (or all) of records; False once the run has
        ended."""
        while size is None or size > 0:
            chunk = os.read(self.fd, 1 << 16 if size is None else min(size, 1 << 16))
            if not chunk:
                return False
            self.records += chunk.count(b"\n")
            size = None if size is None else size - len(chunk)
        return True

    def look_while_converting(self, pane, enough):
        """Lets the run write a piece of records at a time, looking at the
        screen after each, until enough(screens); returns the screens."""
        screens = []
        while not enough(screens):
            time.sleep(PIECE_PAUSE)
            if not self.read(PIECE):
                raise AssertionError("the run ended\n" + pane.screen())
            screens.append(pane.screen())
        return screens

    def close(self):
        os.close(self.fd)


class SlowSource:
    """A named pipe as the source, which the test feeds a few lines at a
    time."""

    def __init__(self, folder):
        self.path = os.path.join(folder, "slow.csv")
        os.mkfifo(self.path)
        self.fd = None
        self.lines = 0

    def open(self, pane):
        """Waits until the program reads the pipe and writes the header."""
        def opened():
            try:
                return os.open(self.path, os.O_WRONLY | os.O_NONBLOCK)
            except OSError:
                return None
        self.fd = pane.wait_for(opened, "the program to open its source")
        os.set_blocking(self.fd, True)
        os.write(self.fd, HEADER)

    def feed_until(self, pane, condition, what):
        """Writes a few lines at a time, pausing between them, until
        condition() holds."""
        def fed():
            os.write(self.fd, SLOW_LINES)
            self.lines += SLOW_LINES.count(b"\n")
            time.sleep(0.05)
            return condition()
        pane.wait_for(fed, what)

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None


@needs_terminal
class ArgumentsOnTerminalTest(PaneTest):
    def start_with(self, arguments, log):
        self.write("log.csv", log)
        return self.start(program() + " " + arguments)

    def test_ends_without_waiting_for_a_key(self):
        pane = self.start_with("log.csv out.txt", SHORT_LOG)
        self.assertEqual(pane.wait_for_exit(), 0)
        self.assertIn("Es wurden 64 Datens\u00e4tze geschrieben.", pane.screen())

    def test_log_is_not_read_from_the_terminal(self):
        for source in ["-", "/dev/stdin", "/dev/tty", "/proc/self/fd/0"]:
            with self.subTest(source=source):
                pane = self.start_with("%s out.txt" % source, b"")
                self.assertEqual(pane.wait_for_exit(), 64)
                self.assertIn("lumetra: standard input is a terminal, not a log: '%s'" % source, pane.screen())
                self.assertFalse(os.path.exists(os.path.join(self.folder, "out.txt")))
                pane.close()

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
        pane = self.start_with("%s out.txt" % os.ttyname(line), b"")
        self.assertEqual(pane.wait_for_exit(), 0)
        self.assertEqual(self.read("out.txt").count(b"\r\n"), 64)

    def test_records_to_a_terminal_only_through_the_dash(self):
        """Written by another name, they would land among the dialogue that
        the console draws there. Standard error on the terminal gets a
        pointer to "-" before the abort message."""
        pane = self.start_with("log.csv /dev/stdout", SHORT_LOG)
        self.assertEqual(pane.wait_for_exit(), 1)
        rows = pane.rows(joined=True)  # the abort message is longer than a row
        hint = rows.index("lumetra: the target is standard output or error; use '-' for standard output")
        self.assertEqual(rows[hint + 2], abort_text(1, 17).decode(), "\n".join(rows))
        self.assertNotIn("$1;1;", pane.screen())

    def test_records_to_the_terminal_stay_in_view_before_the_summary(self):
        pane = self.start_with("log.csv -", HEADER + logger_lines(8, step=9))
        self.assertEqual(pane.wait_for_exit(), 0)
        rows = pane.rows()
        subprocess.run([BINARY, "log.csv", "records.txt"], cwd=self.folder, capture_output=True, check=True)
        records = self.read("records.txt").decode().splitlines()
        start = rows.index("  Konvertiere...")
        self.assertEqual(rows[start + 1:start + 9], records, "\n".join(rows))
        self.assertEqual(rows[start + 9], "  Vorgang abgeschlossen. Es wurden 8 Datens\u00e4tze geschrieben.")

    def start_long(self, arguments=""):
        """A run of LONG_LOG into a piped target; returns the pane and the target."""
        target = PipedTarget(self.folder)
        self.addCleanup(target.close)
        return self.start_with("log.csv out.txt" + arguments, LONG_LOG), target

    def test_progress_on_the_converting_line_while_it_runs(self):
        pane, target = self.start_long()
        screens = target.look_while_converting(pane, lambda screens: screens and "MB/s" in screens[-1])
        self.assertRegex(converting_row(screens[-1]), PROGRESS_IN_MB)
        target.read()
        self.assertEqual(pane.wait_for_exit(), 0)
        with_progress = pane.screen(colours=True)
        self.assertNotIn("MB/s", with_progress)
        self.assertEqual(target.records, LONG_LOG.count(b"\r\n") - 1)
        pane.close()

        # Looks well beyond the second after which progress shows.
        quiet, target = self.start_long(" 2>errors.txt")
        quiet.wait_for_text("Konvertiere...")
        started = time.monotonic()
        screens = target.look_while_converting(
            quiet, lambda screens: len(screens) >= 3 and time.monotonic() - started > 1.5)
        self.assertFalse([screen for screen in screens if "MB/s" in screen], "progress with standard error redirected")
        target.read()
        self.assertEqual(quiet.wait_for_exit(), 0)
        self.assertEqual(quiet.screen(colours=True), with_progress, "the final screen differs")

    def test_progress_stays_above_the_abort_message(self):
        """Stopped by a request, the conversion keeps the progress it showed
        last: it tells how far the conversion came."""
        pane, target = self.start_long()
        target.look_while_converting(pane, lambda screens: screens and "MB/s" in screens[-1])
        os.kill(pane.pid(), signal.SIGTERM)
        target.read()
        self.assertEqual(pane.wait_for_exit(), 13)
        self.assert_progress_above(pane, PROGRESS_IN_MB, abort_text(13).decode())

    def assert_progress_above(self, pane, progress, message):
        """The progress shown last stays on the "Konvertiere..." line, above
        the abort message."""
        rows = pane.rows()
        converting = next(index for index, row in enumerate(rows) if row.startswith("  Konvertiere..."))
        self.assertRegex(rows[converting], progress)
        self.assertEqual(rows[converting + 1:converting + 3], ["", message])

    def start_slow(self, target):
        """A run whose source is a pipe the test feeds slowly, the progress
        of which shows in kB."""
        source = SlowSource(self.folder)
        self.addCleanup(source.close)
        pane = self.start(program() + " slow.csv " + target)
        source.open(pane)
        source.feed_until(pane, lambda: re.match(PROGRESS_IN_KB, converting_row(pane.screen())), "the progress in kB")
        return pane, source

    def test_progress_of_a_slow_source_shows_kilobytes(self):
        pane, source = self.start_slow("out.txt")
        source.close()
        self.assertEqual(pane.wait_for_exit(), 0)
        self.assertNotIn("kB/s", pane.screen())
        self.assertEqual(self.read("out.txt").count(b"\r\n"), source.lines)

    def test_progress_stays_above_the_message_of_a_failed_target(self):
        pane, source = self.start_slow("/dev/full")
        source.close()  # the records go out at the end, where the disk is full
        self.assertEqual(pane.wait_for_exit(), 3)
        self.assert_progress_above(pane, PROGRESS_IN_KB, abort_text(3, 58).decode())


if __name__ == "__main__":
    unittest.main()
