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

from lumetra_harness import (BANNER, CONVERTING, HEADER, INTERRUPT, LOG, RECORDS, LumetraCase, abort_message,
                             assert_whole_records, closing, command, finished_output, numbered_log, wait_until_stalled,
                             wait_until_taken, wait_until_waiting)



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


def pipe_ends():
    reading, writing = os.pipe()
    return open(reading, "rb", buffering=0), writing


def socket_ends():
    ours, theirs = socket.socketpair()
    with ours:
        return ours.makefile("rb", buffering=0), theirs.detach()


class SlowReaderTest(LumetraCase):
    """The records go to a pipe or a socket whose reader is slow to read."""

    def start_run(self, make_ends, blocking=True):
        """Starts `lumetra source.csv -` with standard output to a pipe or a
        socket; returns the run and the reading end."""
        reading, writing = make_ends()
        self.addCleanup(reading.close)
        os.set_blocking(writing, blocking)
        process = subprocess.Popen([*command(), "source.csv", "-"], cwd=self.folder, stdout=writing,
                                   stderr=subprocess.PIPE)
        self.addCleanup(process.kill)
        os.close(writing)
        return process, reading

    def test_a_non_blocking_standard_output_is_waited_for(self):
        """The reader made its end non-blocking and comes only once the run
        waits for it."""
        log, records = numbered_log(20_000)
        self.write("source.csv", log)
        for make_ends in [pipe_ends, socket_ends]:
            with self.subTest(make_ends.__name__):
                process, reading = self.start_run(make_ends, blocking=False)
                wait_until_waiting(process)
                received = reading.read()
                self.assertEqual((process.wait(timeout=60), process.stderr.read(), received),
                                 (0, finished_output(20_000), records))
                process.stderr.close()

    def test_a_second_interrupt_leaves_the_reader_whole_records(self):
        """The reader reads a little and stops; Ctrl+C twice ends the run at
        once. A socket's reader, which goes on reading then, gets the record
        that was being sent finished, unless the two seconds after the first
        Ctrl+C have run out before."""
        log, records = numbered_log(200_000)
        self.write("source.csv", log)
        for make_ends in [pipe_ends, socket_ends]:
            with self.subTest(make_ends.__name__):
                process, reading = self.start_run(make_ends)
                received = reading.read(1000)
                wait_until_stalled(process, reading.fileno())
                # Taken before the signal, so that the time measured after
                # the run is never shorter than the run's two seconds.
                first_request = time.monotonic()
                process.send_signal(signal.SIGINT)
                wait_until_taken(process.pid, signal.SIGINT)
                process.send_signal(signal.SIGINT)
                received += reading.read()
                self.assertEqual((process.wait(timeout=60), process.stderr.read()),
                                 (9, BANNER + CONVERTING + INTERRUPT))
                process.stderr.close()
                assert_whole_records(self, received, records,
                                     cut=make_ends is socket_ends and time.monotonic() - first_request >= 2)


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
            wait_until_stalled(process, reading)
            process.send_signal(signal.SIGTERM)
            self.assertEqual(process.wait(timeout=60), 13)
            self.assertFalse(fcntl.fcntl(writing, fcntl.F_GETFL) & os.O_NONBLOCK)
        finally:
            os.close(reading)
            os.close(writing)


class ClosedStreamTest(LumetraCase):
    """A closed standard stream holds no log and takes no records: "-" then
    names no file, as an empty name does."""

    def test_a_closed_stream_is_no_source_and_no_target(self):
        self.write("source.csv", LOG)
        result = self.run_arguments("-", "target.txt", stdin=None, preexec_fn=closing(0))
        self.assert_run(result, BANNER, 2, abort_message(2, 16))
        self.assertFalse((self.folder / "target.txt").exists())

        result = self.run_arguments("source.csv", "-", stdout=None, preexec_fn=closing(1))
        self.assert_run(result, None, 2, BANNER + abort_message(2, 17))
