"""What the whole-program, terminal and Windows tests share: the program and
the exact bytes of its dialogue and abort messages, logs to convert, waits
for the state of a running process, a test case with a folder of its own,
and a real terminal (a tmux pane on a private server).

Waits poll for the state they need with generous limits, never for a fixed
time, so that no verdict depends on how fast or how busy the machine is.
CTest finds this module through PYTHONPATH; the program through
LUMETRA_BINARY, run through LUMETRA_RUNNER (wine for lumetra.exe) when set.
"""

import fcntl
import os
import pathlib
import re
import select
import shlex
import shutil
import struct
import subprocess
import tempfile
import termios
import threading
import time
import unittest

BINARY = os.environ.get("LUMETRA_BINARY", "")
RUNNER = shlex.split(os.environ.get("LUMETRA_RUNNER", ""))
SOURCE_DIR = pathlib.Path(os.environ.get("LUMETRA_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
SAMPLE = SOURCE_DIR / "samples" / "pv-log.csv"
LIMIT = 60.0  # seconds that any one wait may take before the test fails


def project_version():
    """The version that CMakeLists.txt gives the project, as text."""
    return re.search(r"project\(lumetra VERSION ([0-9.]+)", (SOURCE_DIR / "CMakeLists.txt").read_text()).group(1)


def command():
    """The command that starts lumetra (through its runner, if any)."""
    if not BINARY:
        raise RuntimeError("LUMETRA_BINARY must name the built lumetra program")
    return RUNNER + [BINARY]


LIMITED = "ulimit -v 100000 && "  # 100 MB of address space


# ---- The dialogue and the abort messages ------------------------------------------

BANNER = b"\r\n  Photovoltaik-Datenkonverter\r\n\r\n\r\n"
CONVERTING = b"  Konvertiere...\r\n"
EMPTY_SOURCE = b"  Fehler: Die Quelldatei ist leer.\r\n"

ERROR_TEXTS = {
    1: b"illegal function call",
    2: b"file not found",
    3: b"file I/O error",
    4: b"out of memory",
    6: b"out of bounds array access",
    9: b'"interrupted" signal',
    10: b'"illegal instruction" signal',
    11: b'"floating point error" signal',
    12: b'"segmentation violation" signal',
    13: b'"termination request" signal',
    14: b'"abnormal termination" signal',
    15: b'"quit request" signal',
}


def summary(count):
    """The closing line of a run that wrote `count` records."""
    return b"  Vorgang abgeschlossen. Es wurden %d Datens\x84tze geschrieben.\r\n" % count


def finished_output(count):
    """Standard output of a complete run with redirected names."""
    return BANNER + CONVERTING + summary(count)


def abort_text(number, line=None, module=b"lumetra"):
    """The line of an abort message: runtime error `number`, raised at `line`
    of the main flow, or by a signal (line None); without a module (None)
    the line ends after the error's text."""
    place = b"" if module is None else b" in %s::()" % module if line is None else b" at line %d of %s::()" % (
        line, module)
    return b"Aborting due to runtime error %d (%s)%s" % (number, ERROR_TEXTS[number], place)


def abort_message(number, line=None, module=b"lumetra"):
    """The whole abort message on standard error."""
    return b"\r\n" + abort_text(number, line, module) + b"\r\n\r\n"


INTERRUPT = abort_message(9)
TERMINATION = abort_message(13)

# A wine thread that is in a call to wine's server while its process ends
# prints this, as far as it gets before the end; Windows prints nothing.
WINE_CLIENT_ERROR = re.compile(rb"wine client error:[^\n]*\n?")


def program_errors(errors):
    """Standard error as the program wrote it, without wine's complaints."""
    return WINE_CLIENT_ERROR.sub(b"", errors)


# ---- Logs -----------------------------------------------------------------------------

HEADER = b"Zeit;Leistung;Spannung;Strom\r\n"


# Three data lines, one of each form of time, and their records.
LOG = HEADER + b"081530;12.5;230.1;0.98\r\n120000;1;2;3\r\n235959;4;5;6\r\n"
RECORDS = b"$1;1;29730;12,5;230,1;0,98;0\r\n$1;1;43200;1;2;3;0\r\n$1;1;86399;4;5;6;0\r\n"


def numbered_log(count):
    """A log of `count` data lines of different lengths and the records it
    converts to."""
    lines = b"".join(b"120000;%d.5;230.1;0.98\r\n" % n for n in range(count))
    records = b"".join(b"$1;1;43200;%d,5;230,1;0,98;0\r\n" % n for n in range(count))
    return HEADER + lines, records


def logger_lines(count, step=1):
    """`count` data lines as a logger writes them, `step` seconds apart from
    midnight on."""
    return b"".join(b"%02d%02d%02d;%d.5;230.1;0.98\r\n" % (s // 3600 % 24, s // 60 % 60, s % 60, s)
                    for s in range(0, count * step, step))


def assert_whole_records(test, records, expected, limit=None, cut=False):
    """Checks that `records` is the start of `expected` and ends with a whole
    record, unless it may be `cut` inside one; with a `limit`, that it holds
    at least one byte and at most `limit` bytes."""
    if limit is not None:
        test.assertGreater(len(records), 0)
        test.assertLessEqual(len(records), limit)
    if not cut:
        test.assertTrue(records.endswith(b"\r\n"), records[-40:])
    test.assertEqual(records, expected[:len(records)])


def long_line_log(log=None):
    """`log` (the header and 1000 logger lines unless given), then a line
    that 100 MB of memory cannot hold and one line more. Built only when a
    test calls for its 200 MB."""
    return (log or HEADER + logger_lines(1000)) + b"1;" + b"7" * 200_000_000 + b"\r\n1;2;3;4\r\n"


# ---- Running processes ------------------------------------------------------------

def wait_until(condition, what, limit=LIMIT, interval=0.01):
    """Polls condition() until it gives a true value, which it returns."""
    deadline = time.monotonic() + limit
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


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


def wait_until_waiting(process):
    """Waits until the process waits in a system call (for a pipe, a socket)
    or has ended."""
    wait_until(lambda: process.poll() is not None or process_state(process.pid) == "S", "the process to wait",
               interval=0.001)


def closing(*descriptors):
    """What a child process runs before the program (preexec_fn) to start
    it with these descriptors closed."""
    return lambda: [os.close(descriptor) for descriptor in descriptors]


def pipe_bytes(descriptor):
    """The bytes that wait in a pipe or a socket to be read."""
    return struct.unpack("i", fcntl.ioctl(descriptor, termios.FIONREAD, b"\0\0\0\0"))[0]


def wait_until_stalled(process, reader):
    """Waits until the process waits for the reader of a pipe (its open end
    `reader`) that holds what it wrote."""
    def stalled():
        if process.poll() is not None:
            raise AssertionError("the run ended before it waited for its reader")
        return pipe_bytes(reader) > 0 and process_state(process.pid) == "S"
    wait_until(stalled, "the run to wait for the reader of its pipe")


def wait_until_written(path, size, process=None, limit=LIMIT):
    """Waits until the file at `path` holds more than `size` bytes, while
    `process` (if given) still runs."""
    def written():
        if process is not None and process.poll() is not None:
            raise AssertionError("the run ended before it wrote more than %d bytes" % size)
        return os.path.exists(path) and os.path.getsize(path) > size
    wait_until(written, "more than %d bytes in %s" % (size, path), limit, interval=0.001)


def wait_until_taken(pid, number):
    """Waits until the process has taken the signal (or ended), so that the
    next one comes after it."""
    def taken():
        try:
            with open("/proc/%d/status" % pid) as status:
                masks = [int(line.split()[1], 16) for line in status if line.startswith(("SigPnd", "ShdPnd"))]
        except FileNotFoundError:
            return True
        return not any(mask & 1 << (number - 1) for mask in masks)
    wait_until(taken, "signal %d to be taken" % number, interval=0.001)


class FedSource:
    """A named pipe as the source, which a thread fills with the log up to
    its last line; the last line and the end come with finish(). Until then
    the run converts or waits for the rest, and cannot end by itself.

    The test holds the pipe open for reading and writing, so that the pipe
    neither waits for its reader nor fails when a reader goes: the program
    may open the source and close it again before it reads it."""

    def __init__(self, path, log):
        if os.path.lexists(path):
            os.unlink(path)  # a pipe of its own: an earlier feeder may still hold the last one
        os.mkfifo(path)
        self.fd = os.open(path, os.O_RDWR)
        self.rest = threading.Event()
        self.thread = threading.Thread(target=self.feed, args=(log,), daemon=True)
        self.thread.start()

    def feed(self, log):
        last = log.rindex(b"\r\n", 0, len(log) - 2) + 2
        self.write(log[:last])
        self.rest.wait()
        self.write(log[last:])

    def write(self, data):
        while data:
            data = data[os.write(self.fd, data):]

    def finish(self):
        """Sends the last line and the end, which the run reads."""
        self.rest.set()
        self.thread.join(LIMIT)
        self.close()

    def discard(self):
        """Ends the feeding once the run is over: what it left unread is
        read away."""
        self.rest.set()
        while self.fd is not None and self.thread.is_alive():
            if select.select([self.fd], [], [], 0.05)[0]:
                os.read(self.fd, 1 << 16)
        self.close()

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None


# ---- A test with a folder of its own --------------------------------------------------

class Result:
    def __init__(self, stdout, stderr, code):
        self.stdout = stdout
        self.stderr = stderr
        self.code = code


class FolderCase(unittest.TestCase):
    """A test case with its own empty working folder."""

    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="lumetra-test-"))
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)

    def write(self, name, data):
        """Writes bytes, or text as UTF-8, to a file of the folder."""
        path = self.folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data.encode() if isinstance(data, str) else data)
        return path

    def read(self, name):
        return (self.folder / name).read_bytes()

    def skip_unless_limited(self):
        """Skips the test when the program cannot start with 100 MB of
        address space: a sanitizer or an emulator needs more."""
        completed = subprocess.run(["sh", "-c", LIMITED + 'exec "$@" --version', "sh", *command()], capture_output=True)
        if not completed.stdout.startswith(b"lumetra"):
            self.skipTest("this build cannot start with 100 MB of address space (a sanitizer, an emulator)")

    def feed(self, name, log):
        """A named pipe of the folder as a source that the run converts until
        its finish() is called."""
        source = FedSource(self.folder / name, log)
        self.addCleanup(source.discard)
        return source


class LumetraCase(FolderCase):
    """Runs lumetra in the test's folder and compares what it gives."""

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

    def run_arguments(self, *arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, limited=False, **extra):
        """Runs lumetra with command-line arguments; standard input is empty
        unless `stdin` gives a file or descriptor, `input` (in `extra`) bytes.
        A `limited` run has 100 MB of address space (or the test is skipped)."""
        start = []
        if limited:
            self.skip_unless_limited()
            start = ["sh", "-c", LIMITED + 'exec "$@"', "sh"]
        completed = subprocess.run([*start, *command(), *arguments], cwd=self.folder,
                                   stdin=None if "input" in extra else stdin,
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


# ---- A real terminal ----------------------------------------------------------------

TMUX = shutil.which("tmux")


def needs_terminal(test_class):
    """Skips a test class when tmux or the built program is missing."""
    test_class = unittest.skipIf(TMUX is None, "tmux is not installed")(test_class)
    return unittest.skipIf(not os.path.isfile(BINARY), "LUMETRA_BINARY does not name the built program")(test_class)


def program(environment="LANG=C.UTF-8"):
    """The shell command that starts the built program with the given
    environment settings (env arguments, such as "-u TERM")."""
    return "env %s %s" % (environment, " ".join(shlex.quote(word) for word in command()))


class Pane:
    """One tmux server with one pane of 80 x 25 (unless told) running a
    shell command in a folder. The shell records the command's exit code in
    a file and then waits, so that the pane keeps the command's last screen
    as it was."""

    def __init__(self, folder, shell_command=None, columns=80, rows=25):
        self.state = tempfile.mkdtemp(prefix="lumetra-pane-")
        self.exit_file = os.path.join(self.state, "code")
        self.tmux("-f", "/dev/null", "new-session", "-d", "-s", "main", "-x", str(columns), "-y", str(rows),
                  "-c", str(folder), "%s; echo $? > %s; exec sleep 3600" % (shell_command or program(), self.exit_file))

    def tmux(self, *arguments):
        """Runs a tmux command on this pane's server, whose socket is a file
        of its own."""
        done = subprocess.run([TMUX, "-u", "-S", os.path.join(self.state, "socket"), *arguments], capture_output=True,
                              text=True)
        if done.returncode != 0:
            raise AssertionError("tmux %s: %s" % (" ".join(arguments), done.stderr))
        return done.stdout

    def close(self):
        subprocess.run([TMUX, "-S", os.path.join(self.state, "socket"), "kill-server"], capture_output=True)
        shutil.rmtree(self.state, ignore_errors=True)

    # ---- Typing and the terminal's size ----------------------------------------

    def keys(self, *names):
        self.tmux("send-keys", "-t", "main", *names)

    def text(self, literal):
        self.tmux("send-keys", "-t", "main", "-l", literal)

    def bytes(self, *hex_bytes):
        """Types bytes given in hexadecimal, as they are."""
        self.tmux("send-keys", "-t", "main", "-H", *hex_bytes)

    def resize(self, columns, rows):
        """Gives the terminal a new size; the program hears of it by SIGWINCH."""
        self.tmux("resize-window", "-t", "main", "-x", str(columns), "-y", str(rows))
        self.wait_for(lambda: self.show("pane_width") == str(columns) and self.show("pane_height") == str(rows),
                      "the size %dx%d" % (columns, rows))

    def echoing(self):
        """Whether the terminal is in its line mode, which echoes what is
        typed: until a program takes the keys itself."""
        terminal = os.open(self.show("pane_tty"), os.O_RDONLY | os.O_NOCTTY)
        try:
            return bool(termios.tcgetattr(terminal)[3] & termios.ECHO)
        finally:
            os.close(terminal)

    def wait_for_prompt(self, text, limit=LIMIT):
        """Waits for a prompt and for the program to take the keys: typed
        earlier, they would be echoed by the terminal as well."""
        self.wait_for(lambda: text in self.screen() and not self.echoing(), "%r, keys taken" % text, limit)

    # ---- Reading the screen ---------------------------------------------------------

    def screen(self, colours=False, joined=False):
        """The screen; with colours as SGR sequences, with joined rows that
        wrapped as one."""
        return self.tmux("capture-pane", "-p", "-t", "main", "-e" if colours else "-N", *(["-J"] if joined else []))

    def rows(self, joined=False):
        """The screen's rows without trailing blanks; with rows that wrapped
        joined as one."""
        return [row.rstrip(" ") for row in self.screen(joined=joined).splitlines()]

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
        return int(self.wait_for(lambda: subprocess.run(["pgrep", "-P", shell], capture_output=True,
                                                        text=True).stdout.split(), "the program to start")[0])

    def dead(self):
        return os.path.exists(self.exit_file) and os.path.getsize(self.exit_file) > 0

    def wait_for(self, condition, what, limit=LIMIT):
        """Polls condition() until it gives a true value, which it returns."""
        try:
            return wait_until(condition, what, limit, interval=0.02)
        except AssertionError as error:
            raise AssertionError("%s\n--- screen ---\n%s" % (error, self.screen())) from None

    def wait_for_text(self, text, limit=LIMIT):
        self.wait_for(lambda: text in self.screen(), repr(text), limit)

    def wait_for_exit(self, limit=LIMIT):
        self.wait_for(self.dead, "the program to end", limit)
        with open(self.exit_file) as file:
            return int(file.read())


class PaneTest(FolderCase):
    """A test with a fresh folder and, once start() is called, a pane in it."""

    def start(self, shell_command=None, columns=80, rows=25):
        self.pane = Pane(self.folder, shell_command, columns, rows)
        self.addCleanup(self.pane.close)
        return self.pane

    def copy_sample(self, name="pv-log.csv"):
        self.write(name, SAMPLE.read_bytes())

    def finish(self):
        """Ends the final wait with a key; returns the exit code."""
        self.pane.wait_for_text("geschrieben.")
        self.pane.keys("x")
        return self.pane.wait_for_exit()
