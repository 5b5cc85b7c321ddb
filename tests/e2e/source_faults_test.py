"""Whole runs on sources that misbehave as real ones do: a disk that fails
to read, a file cut short while it is read, sources without a length (pipes,
process substitution, files in /proc), and lines too long for memory or for
a text value."""

import gzip
import os
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import unittest

from lumetra_harness import (BANNER, CONVERTING, EMPTY_SOURCE, HEADER, LumetraCase, abort_message, command,
                             finished_output, long_line_log, numbered_log, open_files, wait_until_stalled,
                             wait_until_waiting)


# A file whose every read() fails with EIO.
FAILING_FILE = "/sys/devices/software/power/autosuspend_delay_ms"


def reads_fail(path):
    try:
        with open(path, "rb", buffering=0) as file:
            file.read(1)
    except OSError as error:
        return error.errno == 5
    return False


def room_for(size):
    return shutil.disk_usage(tempfile.gettempdir()).free > size


def pseudo_terminal_without_its_other_side():
    """The master of a pseudo-terminal whose slave side was closed: its reads fail (EIO)."""
    master, slave = os.openpty()
    os.close(slave)
    return master


def connection_reset_before_any_byte():
    """A TCP connection whose peer reset it before sending anything: the first
    read fails (ECONNRESET)."""
    with socket.create_server(("127.0.0.1", 0)) as server:
        ours = socket.create_connection(server.getsockname())
        theirs, _ = server.accept()
    theirs.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    theirs.close()
    select.select([ours], [], [], 30)  # the reset has arrived
    return ours.detach()


class ReadFailureTest(LumetraCase):
    @unittest.skipUnless(reads_fail(FAILING_FILE), FAILING_FILE + " is absent or readable here")
    def test_a_source_that_fails_to_read_ends_with_a_file_error(self):
        result = self.run_names(FAILING_FILE.encode() + b"\ntarget.txt\n", timeout=30)
        self.assert_run(result, BANNER + CONVERTING, 3, abort_message(3, 58))
        self.assertEqual(self.read("target.txt"), b"")

    def test_a_source_without_a_length_whose_first_read_fails_is_not_empty(self):
        for name, make_source in [("a file that cannot be read at its start", lambda: None),
                                  ("a pseudo-terminal without its other side", pseudo_terminal_without_its_other_side),
                                  ("a connection reset", connection_reset_before_any_byte)]:
            with self.subTest(name):
                descriptor = make_source()
                path = b"/proc/self/mem" if descriptor is None else b"/dev/fd/%d" % descriptor
                passed = () if descriptor is None else (descriptor,)
                try:
                    result = self.run_names(path + b"\ntarget.txt\n", pass_fds=passed)
                finally:
                    if descriptor is not None:
                        os.close(descriptor)
                self.assert_run(result, BANNER + CONVERTING, 3, abort_message(3, 58))
                self.assertEqual(self.read("target.txt"), b"")


class ShrinkingSourceTest(LumetraCase):
    def test_a_source_cut_short_while_read_ends_with_a_file_error(self):
        """The target is a named pipe that the test leaves unread until the
        run waits for it, part of the source read; the source is cut inside
        a line that lumetra has not read yet, and the pipe read to its end:
        the lines before the cut become records, the cut line none."""
        source, records = numbered_log(400_000)
        self.write("source.csv", source)
        os.mkfifo(self.folder / "target.txt")
        target = os.open(self.folder / "target.txt", os.O_RDONLY | os.O_NONBLOCK)
        self.addCleanup(os.close, target)
        names = self.write("names.txt", b"source.csv\ntarget.txt\n")
        with open(names, "rb") as stdin:
            process = subprocess.Popen(command(), cwd=self.folder, stdin=stdin, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE)
        self.addCleanup(process.kill)
        read = self.position_while_waiting(process, target)
        cut = source.index(b"\r\n", read + 10000) - 5
        os.truncate(self.folder / "source.csv", cut)
        os.set_blocking(target, True)
        received = b"".join(iter(lambda: os.read(target, 1 << 16), b""))
        stdout, stderr = process.communicate(timeout=120)
        self.assertEqual((process.returncode, stdout, stderr), (3, BANNER + CONVERTING, abort_message(3, 58)))
        whole_lines = source[:cut].count(b"\r\n") - 1
        self.assertEqual(received, b"".join(records.splitlines(keepends=True)[:whole_lines]))

    def position_while_waiting(self, process, target):
        """Waits until the run waits for the target's reader; returns how far
        it has read the source."""
        wait_until_stalled(process, target)
        descriptor = open_files(process.pid)[str(self.folder / "source.csv")]
        with open("/proc/%d/fdinfo/%s" % (process.pid, descriptor)) as info:
            return int(info.readline().split()[1])


class UnmeasuredSourceTest(LumetraCase):
    """Sources whose length cannot be measured are read until their end."""

    def test_a_named_pipe(self):
        source, records = numbered_log(50_000)
        os.mkfifo(self.folder / "source.csv")
        for content, output in [(source, finished_output(50_000)), (b"", BANNER + EMPTY_SOURCE)]:
            with self.subTest(size=len(content)):
                writer = threading.Thread(target=(self.folder / "source.csv").write_bytes, args=(content,))
                writer.start()
                result = self.run_names(b"source.csv\ntarget.txt\n")
                writer.join()
                self.assert_run(result, output)
                self.assertEqual(self.read("target.txt"), records if content else b"")

    def test_a_non_blocking_pipe_fed_late(self):
        """Standard input is a pipe that its writer made non-blocking, and the
        log comes only once the run waits for it."""
        source, records = numbered_log(50_000)
        reading, writing = os.pipe()
        os.set_blocking(reading, False)
        with subprocess.Popen([*command(), "-", "target.txt"], cwd=self.folder, stdin=reading,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE) as process:
            os.close(reading)
            wait_until_waiting(process)
            try:
                with open(writing, "wb") as feed:
                    feed.write(source)
            except BrokenPipeError:
                pass  # the run ended before the log came
            stdout, stderr = process.communicate(timeout=120)
        self.assertEqual((process.returncode, stdout, stderr), (0, finished_output(50_000), b""))
        self.assertEqual(self.read("target.txt"), records)

    def test_process_substitution_of_a_compressed_log(self):
        source, records = numbered_log(50_000)
        self.write("log.csv.gz", gzip.compress(source))
        completed = subprocess.run(
            ["bash", "-c", 'printf "/dev/fd/3\\ntarget.txt\\n" | "$0" 3< <(gzip -dc log.csv.gz)', *command()],
            cwd=self.folder, capture_output=True, timeout=120, check=False)
        self.assertEqual((completed.returncode, completed.stdout, completed.stderr),
                         (0, finished_output(50_000), b""))
        self.assertEqual(self.read("target.txt"), records)

    def test_a_file_in_proc_that_reports_no_length(self):
        # The environment of a process: a size-0 file that delivers bytes.
        holder = subprocess.Popen(["sleep", "600"], env={"LOG": "Zeit\n081530;12.5;230.1\n120000;1\n"})
        self.addCleanup(holder.wait)
        self.addCleanup(holder.kill)
        self.assertEqual(os.stat("/proc/%d/environ" % holder.pid).st_size, 0)
        result = self.run_names(b"/proc/%d/environ\ntarget.txt\n" % holder.pid)
        self.assert_run(result, finished_output(2))
        self.assertEqual(self.read("target.txt"), b"$1;1;29730;12,5;230,1;;0\r\n$1;1;43200;1;;;0\r\n")


class LongLineTest(LumetraCase):
    """A line that does not fit ends the run with error 4 where it is read;
    the records of the lines before it are whole in the target."""

    def test_a_line_that_memory_cannot_hold(self):
        source, records = numbered_log(1000)
        self.write("source.csv", long_line_log(source))
        with open(self.write("names.txt", b"source.csv\ntarget.txt\n"), "rb") as names:
            result = self.run_arguments(stdin=names, limited=True)
        self.assert_run(result, BANNER + CONVERTING, 4, abort_message(4, 30))
        self.assertEqual(self.read("target.txt"), records)

    @unittest.skipUnless(room_for(3 << 30), "the file system cannot hold a line of 2 GiB")
    def test_a_line_longer_than_a_text_value_holds(self):
        """2 GiB and more in one line."""
        source, records = numbered_log(1000)
        with open(self.folder / "source.csv", "wb") as file:
            file.write(source + b"1;")
            block = b"7" * (1 << 20)
            for _ in range(2048):
                file.write(block)
            file.write(b"\r\n1;2;3;4\r\n")
        result = self.run_names(b"source.csv\ntarget.txt\n", timeout=600)
        self.assert_run(result, BANNER + CONVERTING, 4, abort_message(4, 30))
        self.assertEqual(self.read("target.txt"), records)

    def test_a_sparse_line_of_2_gib(self):
        """The zero bytes of a hole are dropped at the end of each piece of
        the line, so what is left of it makes an ordinary record."""
        with open(self.folder / "source.csv", "wb") as file:
            file.write(HEADER + b"1;")
            file.seek(2**31 + 10, os.SEEK_CUR)
            file.write(b"x;y\r\n1;2;3;4\r\n")
        zeros = (2 + 2**31 + 10) % 511  # the hole's bytes in the piece that holds "x"
        result = self.run_names(b"source.csv\ntarget.txt\n", timeout=600)
        self.assert_run(result, finished_output(2))
        self.assertEqual(self.read("target.txt"), b"$1;1;3601;" + b"\0" * zeros + b"x;y;;0\r\n$1;1;3601;2;3;4;0\r\n")


if __name__ == "__main__":
    unittest.main()
