"""Whole runs under real faults: interrupt, termination and hang-up signals
and every other signal that would end the process, sent to a running
conversion and at a prompt; a hang-up of the terminal; a target whose reader
stopped reading; and standard output closed by its reader. Every interrupted
run leaves a target that holds whole records only, all of them on disk, and
the terminal as it was.

A conversion is kept running for as long as a test needs: its source is a
named pipe that the test fills up to the last line and finishes only when it
is done with the run."""

import fcntl
import os
import pathlib
import select
import signal
import struct
import subprocess
import tempfile
import termios
import time
import unittest

from lumetra_harness import (BANNER, CONVERTING, INTERRUPT, LIMIT, TERMINATION, FedSource, FolderCase, abort_message,
                             assert_whole_records, command, finished_output, numbered_log, wait_until_stalled,
                             wait_until_taken, wait_until_written)

LINE_COUNT = 400_000
NAMES = b"source.csv\ntarget.txt\n"
# Moments of a signal: the share of the whole target already on disk.
MOMENTS = [0.0, 0.1, 0.2, 0.35, 0.5]

# The signals without an entry of the runtime's own table: SIGQUIT is a quit
# request, SIGBUS a memory fault like SIGSEGV, every other signal whose
# default action ends the process a termination request.
OTHER_SIGNALS = [(signal.SIGQUIT, 15, abort_message(15)), (signal.SIGBUS, 12, abort_message(12))] + [
    (number, 13, TERMINATION) for number in (signal.SIGUSR1, signal.SIGUSR2, signal.SIGALRM, signal.SIGVTALRM,
                                             signal.SIGPROF, signal.SIGXCPU, signal.SIGPWR, signal.SIGSYS,
                                             signal.SIGTRAP, signal.SIGSTKFLT)]


class SignalledConversionTest(unittest.TestCase):
    """One log for all cases, and a whole run to compare with."""

    @classmethod
    def setUpClass(cls):
        cls._folder = tempfile.TemporaryDirectory(prefix="lumetra-reliability-")
        cls.folder = pathlib.Path(cls._folder.name)
        cls.log, cls.expected = numbered_log(LINE_COUNT)
        (cls.folder / "whole.csv").write_bytes(cls.log)
        (cls.folder / "names.txt").write_bytes(NAMES)
        cls.whole_run = subprocess.run(command(), cwd=cls.folder, input=b"whole.csv\ntarget.txt\n",
                                       capture_output=True, timeout=120, check=False)

    @classmethod
    def tearDownClass(cls):
        cls._folder.cleanup()

    def setUp(self):
        self.target = self.folder / "target.txt"
        self.target.unlink(missing_ok=True)

    def feed_source(self):
        """A fresh source.csv that the run converts until finish() is called."""
        source = FedSource(self.folder / "source.csv", self.log)
        self.addCleanup(source.discard)
        return source

    def start(self, ignored=(), **streams):
        """Starts lumetra on a fed source with the names on standard input
        from a file, and the `ignored` signals ignored; returns the run and
        the source."""
        def prepare():
            for number in ignored:
                signal.signal(number, signal.SIG_IGN)

        source = self.feed_source()
        with open(self.folder / "names.txt", "rb") as names:
            return subprocess.Popen(command(), cwd=self.folder, stdin=names, preexec_fn=prepare, **streams), source

    def wait_for_records_on_disk(self, process, share=0.0):
        """Waits until more than `share` of the whole target is on disk."""
        wait_until_written(self.target, int(share * len(self.expected)), process)

    def assert_whole_records_on_disk(self):
        """Whole records, the signal before the last one."""
        assert_whole_records(self, self.target.read_bytes(), self.expected, len(self.expected) - 1)

    def test_whole_run_for_comparison(self):
        self.assertEqual(self.whole_run.returncode, 0)
        self.assertEqual(self.whole_run.stdout, finished_output(LINE_COUNT))
        self.assertEqual(self.whole_run.stderr, b"")

    def assert_signal_ends_the_run_between_records(self, signal_number, moment, code, message):
        self.target.unlink(missing_ok=True)
        process, _ = self.start(stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        with process:
            self.wait_for_records_on_disk(process, moment)
            process.send_signal(signal_number)
            stdout, stderr = process.communicate(timeout=60)
        self.assertEqual((process.returncode, stderr), (code, message))
        self.assertEqual(stdout, BANNER + CONVERTING)
        self.assert_whole_records_on_disk()

    def test_signal_ends_the_run_between_records(self):
        # Without a terminal no console host takes the hang-up: it is a
        # termination request all the same.
        for signal_number, code, message in [(signal.SIGTERM, 13, TERMINATION), (signal.SIGINT, 9, INTERRUPT),
                                             (signal.SIGHUP, 13, TERMINATION)]:
            for moment in MOMENTS:
                with self.subTest(signal=signal_number.name, moment=moment):
                    self.assert_signal_ends_the_run_between_records(signal_number, moment, code, message)

    def test_other_signals_end_the_run_between_records(self):
        for signal_number, code, message in OTHER_SIGNALS:
            with self.subTest(signal=signal_number.name):
                self.assert_signal_ends_the_run_between_records(signal_number, 0.2, code, message)

    def test_requests_ignored_at_start_stay_ignored(self):
        """A shell starts the background jobs of a script with SIGINT and
        SIGQUIT ignored, nohup with SIGHUP ignored: Ctrl+C on the terminal
        or the hang-up must not end them."""
        for signal_number in [signal.SIGINT, signal.SIGTERM, signal.SIGQUIT, signal.SIGHUP, signal.SIGUSR1]:
            with self.subTest(signal=signal_number.name):
                self.target.unlink(missing_ok=True)
                process, source = self.start(ignored=[signal_number], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                with process:
                    self.wait_for_records_on_disk(process, 0.1)
                    process.send_signal(signal_number)
                    process.send_signal(signal_number)
                    source.finish()
                    stdout, stderr = process.communicate(timeout=60)
                self.assertEqual((process.returncode, stdout, stderr), (0, finished_output(LINE_COUNT), b""))
                self.assertEqual(self.target.read_bytes(), self.expected)

    def test_output_pipe_closed_by_its_reader(self):
        process, source = self.start(stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        with process:
            seen = b""
            while not seen.endswith(CONVERTING):
                chunk = process.stdout.read1(4096)
                self.assertTrue(chunk, seen)
                seen += chunk
            process.stdout.close()  # before the summary is written
            source.finish()
            stderr = process.stderr.read()
            self.assertEqual((process.wait(timeout=60), stderr), (0, b""))
        self.assertEqual(self.target.read_bytes(), self.expected)

    def test_hang_up_of_the_terminal_during_the_conversion(self):
        """The program on a pseudo-terminal, its names typed; the console host
        turns the hang-up into a termination request."""
        self.feed_source()
        process, terminal, mode_before, screen = run_on_terminal(self, self.folder)
        self.wait_for_records_on_disk(process, 0.2)
        process.send_signal(signal.SIGHUP)
        stderr = process.stderr.read()
        self.assertEqual((process.wait(timeout=60), stderr), (13, TERMINATION))
        self.assert_whole_records_on_disk()
        screen.wait_for(b"\x1b[0m\x1b[?25h")
        self.assertTrue(screen.bytes.endswith(b"\x1b[0m\x1b[?25h"), screen.bytes[-80:])
        self.assertEqual(termios.tcgetattr(terminal), mode_before)


class HangUpDuringTheFinalWaitTest(unittest.TestCase):
    """The close handler adds a key that would end the final wait; the
    hang-up must still end the program as a termination request, with the
    target complete. Repeated, as the key and the request race each other."""

    def test_hang_up_while_the_final_wait_waits(self):
        folder = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory(prefix="lumetra-hang-up-")))
        (folder / "source.csv").write_bytes(b"Zeit;Wert\r\n120000;1.5;2;3\r\n")
        for attempt in range(5):
            with self.subTest(attempt=attempt):
                process, _, _, screen = run_on_terminal(self, folder)
                self.assertTrue(screen.wait_for(b"geschrieben."), screen.bytes)
                process.send_signal(signal.SIGHUP)
                stderr = process.stderr.read()
                self.assertEqual((process.wait(timeout=30), stderr), (13, TERMINATION))
                self.assertEqual((folder / "target.txt").read_bytes(), b"$1;1;43200;1,5;2;3;0\r\n")


class OtherSignalsAtAPromptTest(unittest.TestCase):
    def test_terminal_closed_while_termination_requests_are_ignored(self):
        """A background job of a script ignores SIGTERM; when its terminal
        goes away at a prompt the run still ends as a hang-up does."""
        folder = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory(prefix="lumetra-prompt-")))
        process, _, _, screen = start_on_terminal(self, folder, controlling=True,
                                                  preexec_fn=lambda: signal.signal(signal.SIGTERM, signal.SIG_IGN))
        self.addCleanup(process.kill)
        screen.close()
        self.assertEqual(process.wait(timeout=60), 13)
        self.assertEqual(process.stderr.read(), TERMINATION)

    def test_other_signals_at_a_prompt_leave_the_terminal_as_it_was(self):
        folder = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory(prefix="lumetra-prompt-")))
        for signal_number, code, message in OTHER_SIGNALS:
            with self.subTest(signal=signal_number.name):
                process, terminal, mode_before, screen = start_on_terminal(self, folder)
                process.send_signal(signal_number)
                self.assertEqual(process.wait(timeout=30), code)
                self.assertEqual(process.stderr.read(), message)
                self.assertTrue(screen.wait_for(b"\x1b[0m\x1b[?25h"), screen.bytes[-80:])
                self.assertEqual(termios.tcgetattr(terminal), mode_before)


class StalledTargetTest(FolderCase):
    """The target is a named pipe whose reader read a little and then stopped
    reading: the write in progress never ends. A request still ends the run,
    two seconds after it at the latest, or at once with a second request, and
    the reader gets whole records only."""

    def setUp(self):
        super().setUp()
        log, self.records = numbered_log(200_000)
        self.write("source.csv", log)
        os.mkfifo(self.folder / "target.txt")
        self.reader = os.open(self.folder / "target.txt", os.O_RDONLY | os.O_NONBLOCK)
        self.addCleanup(os.close, self.reader)

    def drain(self):
        drained = b""
        try:
            while chunk := os.read(self.reader, 1 << 16):
                drained += chunk
        except BlockingIOError:
            pass
        return drained

    def test_a_request_ends_the_run_between_records(self):
        self.write("names.txt", b"source.csv\ntarget.txt\n")
        for requests in [[signal.SIGTERM], [signal.SIGTERM, signal.SIGINT]]:
            with self.subTest(requests=[number.name for number in requests]):
                self.drain()
                with open(self.folder / "names.txt", "rb") as names:
                    process = subprocess.Popen(command(), cwd=self.folder, stdin=names, stdout=subprocess.PIPE,
                                               stderr=subprocess.PIPE)
                with process:
                    try:
                        wait_until_stalled(process, self.reader)
                        received = os.read(self.reader, 1000)
                        for number in requests:
                            process.send_signal(number)
                            wait_until_taken(process.pid, number)
                        stdout, stderr = process.communicate(timeout=30)
                    finally:
                        process.kill()
                self.assertEqual((process.returncode, stdout, stderr), (13, BANNER + CONVERTING, TERMINATION))
                assert_whole_records(self, received + self.drain(), self.records)

    def test_a_request_on_a_terminal_restores_it(self):
        process, terminal, mode_before, screen = run_on_terminal(self, self.folder)
        self.addCleanup(process.kill)
        wait_until_stalled(process, self.reader)
        process.send_signal(signal.SIGINT)
        self.assertEqual(process.wait(timeout=30), 9)
        self.assertEqual(process.stderr.read(), INTERRUPT)
        self.assertTrue(screen.wait_for(b"\x1b[0m\x1b[?25h"), screen.bytes[-80:])
        self.assertEqual(termios.tcgetattr(terminal), mode_before)


def run_on_terminal(test, folder, **options):
    """Starts lumetra on a new pseudo-terminal of 80 x 25 in folder and types
    the two names. Returns the process, the terminal, its mode before the
    start and its screen."""
    process, terminal, mode_before, screen = start_on_terminal(test, folder, **options)
    os.write(screen.master, b"source.csv\r")
    test.assertTrue(screen.wait_for(b"Zieldatei"), screen.bytes)
    os.write(screen.master, b"target.txt\r")
    return process, terminal, mode_before, screen


def start_on_terminal(test, folder, controlling=False, preexec_fn=None, **options):
    """Starts lumetra on a new pseudo-terminal of 80 x 25 in folder and waits
    for the first prompt; with `controlling` the terminal is the program's
    controlling terminal, which hangs it up when the terminal goes away.
    Returns the process, the terminal, its mode before the start and its
    screen."""
    master, terminal = os.openpty()
    test.addCleanup(os.close, terminal)
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
    mode_before = termios.tcgetattr(terminal)

    def prepare():
        if controlling:
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
        if preexec_fn is not None:
            preexec_fn()

    process = subprocess.Popen(command(), cwd=folder, stdin=terminal, stdout=terminal, stderr=subprocess.PIPE,
                               start_new_session=True, env=dict(os.environ, TERM="xterm", LANG="C.UTF-8"),
                               preexec_fn=prepare, **options)
    test.addCleanup(process.stderr.close)
    screen = ScreenReader(master)
    test.addCleanup(screen.close)
    test.assertTrue(screen.wait_for(b"Quelldatei"), screen.bytes)
    return process, terminal, mode_before, screen


class ScreenReader:
    """Collects what the program writes to the terminal."""

    def __init__(self, master):
        self.master = master
        self.bytes = b""

    def close(self):
        """Closes the terminal's other side, as a terminal window that goes away does."""
        if self.master is not None:
            os.close(self.master)
            self.master = None

    def wait_for(self, wanted, limit=LIMIT):
        deadline = time.monotonic() + limit
        while wanted not in self.bytes and time.monotonic() < deadline:
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if ready:
                self.bytes += os.read(self.master, 65536)
        return wanted in self.bytes


if __name__ == "__main__":
    unittest.main()
