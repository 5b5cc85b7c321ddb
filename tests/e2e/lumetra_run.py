"""Runs the built lumetra in a fresh folder with the file names on redirected
standard input, and holds the exact bytes of its dialogue and abort messages."""

import os
import pathlib
import shlex
import subprocess
import tempfile
import time
import unittest

BANNER = b"\r\n  Photovoltaik-Datenkonverter\r\n\r\n\r\n"
CONVERTING = b"  Konvertiere...\r\n"
EMPTY_SOURCE = b"  Fehler: Die Quelldatei ist leer.\r\n"

ERROR_TEXTS = {
    1: b"illegal function call",
    2: b"file not found",
    3: b"file I/O error",
    4: b"out of memory",
    6: b"out of bounds array access",
}


def summary(count):
    """The closing line of a run that wrote `count` records."""
    return b"  Vorgang abgeschlossen. Es wurden %d Datens\x84tze geschrieben.\r\n" % count


def finished_output(count):
    """Standard output of a complete run with redirected names."""
    return BANNER + CONVERTING + summary(count)


def abort_message(number, line):
    """The abort message of a runtime error raised by the main flow."""
    return b"\r\nAborting due to runtime error %d (%s) at line %d of lumetra::()\r\n\r\n" % (
        number, ERROR_TEXTS[number], line)


def signal_abort_message(number, text):
    """The abort message of a signal's runtime error."""
    return b'\r\nAborting due to runtime error %d ("%s" signal) in lumetra::()\r\n\r\n' % (number, text)


INTERRUPT = signal_abort_message(9, b"interrupted")


def numbered_log(count):
    """A log of `count` data lines of different lengths and the whole output
    it converts to."""
    lines = b"".join(b"120000;%d.5;230.1;0.98\r\n" % n for n in range(count))
    records = b"".join(b"$1;1;43200;%d,5;230,1;0,98;0\r\n" % n for n in range(count))
    return b"Zeit;Leistung;Spannung;Strom\r\n" + lines, records


def open_files(pid):
    """The files a process has open, by name: their descriptor numbers."""
    files = {}
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            files[os.readlink("/proc/%d/fd/%s" % (pid, fd))] = fd
        except FileNotFoundError:
            pass
    return files


def process_state(pid):
    """The state letter of a process (R running, S waiting in a system call,
    T stopped, Z ended); "" when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except FileNotFoundError:
        return ""


def wait_until_waiting(process, limit=60):
    """Waits until the process waits in a system call (for a pipe, a socket)
    or has ended."""
    deadline = time.monotonic() + limit
    while process.poll() is None and process_state(process.pid) != "S":
        if time.monotonic() > deadline:
            raise AssertionError("the process neither waited nor ended")
        time.sleep(0.001)


def wait_until_taken(pid, number):
    """Waits until the process has taken the signal (or ended), so that the
    next one comes after it."""
    mask = 1 << (number - 1)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        try:
            with open("/proc/%d/status" % pid) as status:
                pending = [int(line.split()[1], 16) for line in status if line.startswith(("SigPnd", "ShdPnd"))]
        except FileNotFoundError:
            return
        if not any(bits & mask for bits in pending):
            return
        time.sleep(0.001)


def binary():
    path = os.environ.get("LUMETRA_BINARY")
    if not path:
        raise RuntimeError("LUMETRA_BINARY must name the built lumetra program")
    return path


def command():
    """The command that starts lumetra: the binary, run through the program
    that LUMETRA_RUNNER names (such as wine for lumetra.exe) when it is set."""
    return shlex.split(os.environ.get("LUMETRA_RUNNER", "")) + [binary()]


class Result:
    def __init__(self, stdout, stderr, code):
        self.stdout = stdout
        self.stderr = stderr
        self.code = code


class LumetraCase(unittest.TestCase):
    """A test case with its own empty working folder."""

    def setUp(self):
        self._folder = tempfile.TemporaryDirectory(prefix="lumetra-e2e-")
        self.folder = pathlib.Path(self._folder.name)

    def tearDown(self):
        self._folder.cleanup()

    def write(self, name, data):
        path = self.folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        return path

    def read(self, name):
        return (self.folder / name).read_bytes()

    def run_names(self, names, stdin="pipe", stderr="pipe", stdout=subprocess.PIPE, timeout=120, **extra):
        """Runs lumetra with `names` as its whole standard input, given through
        a pipe or a file, and standard error captured through a pipe or a file.
        `stdout` and `extra` go to subprocess.run as they are."""
        with tempfile.TemporaryFile() as names_file, tempfile.TemporaryFile() as error_file:
            options = {"input": names} if stdin == "pipe" else {"stdin": names_file}
            if stdin == "file":
                names_file.write(names)
                names_file.seek(0)
            completed = subprocess.run(
                command(), cwd=self.folder, stdout=stdout,
                stderr=subprocess.PIPE if stderr == "pipe" else error_file,
                timeout=timeout, check=False, **options, **extra)
            error_file.seek(0)
            errors = completed.stderr if stderr == "pipe" else error_file.read()
        return Result(completed.stdout, errors, completed.returncode)

    def run_arguments(self, *arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, **extra):
        """Runs lumetra with command-line arguments; standard input is empty
        unless `stdin` gives a file or descriptor, `input` (in `extra`) bytes."""
        completed = subprocess.run([*command(), *arguments], cwd=self.folder, stdin=None if "input" in extra else stdin,
                                   stdout=stdout, stderr=subprocess.PIPE, timeout=120, check=False, **extra)
        return Result(completed.stdout, completed.stderr, completed.returncode)

    def assert_run(self, result, stdout, code=0, stderr=b""):
        self.assertEqual(result.stdout, stdout)
        self.assertEqual(result.stderr, stderr)
        self.assertEqual(result.code, code)

    def convert(self, source, names=b"source.csv\ntarget.txt\n"):
        """Converts `source` from source.csv to target.txt."""
        self.write("source.csv", source)
        return self.run_names(names)
