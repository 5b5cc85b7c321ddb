"""The standard streams as the source and the target ("-") as a shell or a
service hands them over: sockets, files that others write before and after
the run through the same open file, a stalled pipe shared with others, and
streams that were closed."""

import fcntl
import os
import signal
import socket
import subprocess
import threading
import time

from lumetra_run import BANNER, LumetraCase, abort_message, command, finished_output

HEADER = b"Zeit;Leistung;Spannung;Strom\r\n"
LOG = HEADER + b"081530;12.5;230.1;0.98\r\n120000;1;2;3\r\n235959;4;5;6\r\n"
RECORDS = b"$1;1;29730;12,5;230,1;0,98;0\r\n$1;1;43200;1;2;3;0\r\n$1;1;86399;4;5;6;0\r\n"


def receive_all(connection, into):
    """What the other end sends until it closes (or resets) the connection."""
    while True:
        try:
            data = connection.recv(65536)
        except ConnectionResetError:
            return
        if not data:
            return
        into.append(data)


class SocketTest(LumetraCase):
    """A service's standard streams are often sockets, which cannot be
    opened anew by a name."""

    def test_records_to_a_socket_and_a_log_from_one(self):
        self.write("source.csv", LOG)
        ours, theirs = socket.socketpair()
        with ours, theirs:
            received = []
            reader = threading.Thread(target=receive_all, args=(ours, received))
            reader.start()
            result = self.run_arguments("source.csv", "-", stdout=theirs)
            theirs.close()
            reader.join(timeout=60)
        self.assertEqual((result.code, result.stderr, b"".join(received)), (0, finished_output(3), RECORDS))

        ours, theirs = socket.socketpair()
        with ours, theirs:
            ours.sendall(LOG)
            ours.shutdown(socket.SHUT_WR)
            result = self.run_arguments("-", "target.txt", stdin=theirs)
        self.assertEqual((result.code, result.stdout, result.stderr), (0, finished_output(3), b""))
        self.assertEqual(self.read("target.txt"), RECORDS)

    def test_one_socket_as_source_and_target(self):
        """inetd and socat's EXEC hand a program one socket as standard input
        and output: the log comes in and the records go back on it, which is
        no target that is the source."""
        ours, theirs = socket.socketpair()
        with ours, theirs:
            ours.sendall(LOG)
            ours.shutdown(socket.SHUT_WR)
            result = self.run_arguments("-", "-", stdin=theirs, stdout=theirs)
            theirs.close()
            received = []
            receive_all(ours, received)
        self.assertEqual((result.code, result.stderr, b"".join(received)), (0, finished_output(3), RECORDS))


class SharedOpenFileTest(LumetraCase):
    """`{ echo before; lumetra log.csv -; echo after; } > all.txt`: the
    shell and the run write through one open file, one after the other."""

    def test_standard_output_is_written_where_it_stands(self):
        self.write("source.csv", LOG)
        for append in [0, os.O_APPEND]:
            with self.subTest(append=bool(append)):
                output = os.open(self.folder / "all.txt", os.O_WRONLY | os.O_CREAT | os.O_TRUNC | append)
                try:
                    os.write(output, b"before\r\n")
                    result = self.run_arguments("source.csv", "-", stdout=output)
                    os.write(output, b"after\r\n")
                finally:
                    os.close(output)
                self.assertEqual((result.code, result.stderr), (0, finished_output(3)))
                self.assertEqual(self.read("all.txt"), b"before\r\n" + RECORDS + b"after\r\n")

    def test_standard_input_is_read_from_where_it_stands(self):
        """The line before the log was read by another program already; the
        run leaves standard input at the end of what it read."""
        source = self.write("source.csv", b"read before\r\n" + LOG)
        with open(source, "rb", buffering=0) as log:
            os.lseek(log.fileno(), len(b"read before\r\n"), os.SEEK_SET)
            result = self.run_arguments("-", "target.txt", stdin=log)
            end = os.lseek(log.fileno(), 0, os.SEEK_CUR)
        self.assertEqual((result.code, result.stderr), (0, b""))
        self.assertEqual(self.read("target.txt"), RECORDS)
        self.assertEqual(end, len(b"read before\r\n" + LOG))

    def test_names_and_then_the_log_on_standard_input(self):
        """The names piped in, the log after them in the same stream, read
        as /dev/stdin: nothing of the log is taken with the names."""
        log = HEADER + b"".join(b"120000;%d;2;3\r\n" % n for n in range(2000))
        records = b"".join(b"$1;1;43200;%d;2;3;0\r\n" % n for n in range(2000))
        for stdin in ["pipe", "file"]:
            with self.subTest(stdin=stdin):
                result = self.run_names(b"/dev/stdin\ntarget.txt\n" + log, stdin=stdin)
                self.assertEqual((result.code, result.stdout, result.stderr), (0, finished_output(2000), b""))
                self.assertEqual(self.read("target.txt"), records)

    def test_a_stalled_pipe_is_left_blocking_for_those_who_share_it(self):
        """SIGTERM while the reader of standard output has stopped reading:
        the run ends after the two seconds a request waits, and the pipe it
        shares with the shell still blocks, as the shell's next command
        expects."""
        self.write("source.csv", HEADER + b"120000;1;2;3\r\n" * 200_000)
        reading, writing = os.pipe()
        try:
            process = subprocess.Popen([*command(), "source.csv", "-"], cwd=self.folder, stdout=writing,
                                       stderr=subprocess.DEVNULL)
            self.addCleanup(process.kill)
            time.sleep(1)  # the pipe fills and the run waits for its reader
            process.send_signal(signal.SIGTERM)
            self.assertEqual(process.wait(timeout=60), 13)
            self.assertFalse(fcntl.fcntl(writing, fcntl.F_GETFL) & os.O_NONBLOCK)
        finally:
            os.close(reading)
            os.close(writing)


def close_descriptor(number):
    return lambda: os.close(number)


class ClosedStreamTest(LumetraCase):
    """A closed standard stream holds no log and takes no records: "-" then
    names no file, as an empty name does."""

    def test_a_closed_stream_is_no_source_and_no_target(self):
        self.write("source.csv", LOG)
        result = self.run_arguments("-", "target.txt", stdin=None, preexec_fn=close_descriptor(0))
        self.assert_run(result, BANNER, 2, abort_message(2, 16))
        self.assertFalse((self.folder / "target.txt").exists())

        result = self.run_arguments("source.csv", "-", stdout=None, preexec_fn=close_descriptor(1))
        self.assert_run(result, None, 2, BANNER + abort_message(2, 17))
