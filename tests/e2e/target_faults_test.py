"""Whole runs whose target is in danger: a full file system and a file-size
limit (the target ends with the last whole record that reached it), a second
run on the same target (named, or standard output), a target that is
standard output or standard error, and closed standard descriptors (no file
of the user's gets their numbers)."""

import socket
import subprocess
import tempfile
import unittest

from lumetra_harness import (BANNER, CONVERTING, HEADER, LumetraCase, abort_message, assert_whole_records, closing,
                             command, numbered_log, open_files, wait_until_written)



def small_file_systems_possible():
    with tempfile.TemporaryDirectory() as folder:
        return subprocess.run(["unshare", "-rm", "mount", "-t", "tmpfs", "-o", "size=100k", "none", folder],
                              capture_output=True, check=False).returncode == 0


class FullTargetTest(LumetraCase):
    @unittest.skipUnless(small_file_systems_possible(), "needs root: a file system of its own (unshare, mount)")
    def test_a_full_file_system(self):
        """The target lies on a real file system of 700 KB."""
        source, records = numbered_log(100_000)
        self.write("source.csv", source)
        self.write("names.txt", b"%s\ntarget.txt\n" % str(self.folder / "source.csv").encode())
        (self.folder / "small").mkdir()
        script = 'mount -t tmpfs -o size=700k none small && cd small && "$0" < ../names.txt; code=$?; ' \
                 'cp target.txt ../target.txt; exit $code'
        completed = subprocess.run(["unshare", "-rm", "sh", "-c", script, *command()], cwd=self.folder,
                                   capture_output=True, timeout=120, check=False)
        self.assertEqual((completed.returncode, completed.stdout, completed.stderr),
                         (3, BANNER + CONVERTING, abort_message(3, 58)))
        assert_whole_records(self, self.read("target.txt"), records, 700 * 1024)

    def test_a_file_size_limit(self):
        """ulimit -f 100: writes beyond 100 KiB fail instead of ending the
        process with SIGXFSZ."""
        source, records = numbered_log(10_000)
        self.write("source.csv", source)
        self.write("names.txt", b"source.csv\ntarget.txt\n")
        completed = subprocess.run(["sh", "-c", 'ulimit -f 100 && exec "$0" < names.txt', *command()],
                                   cwd=self.folder, capture_output=True, timeout=120, check=False)
        self.assertEqual((completed.returncode, completed.stdout, completed.stderr),
                         (3, BANNER + CONVERTING, abort_message(3, 58)))
        assert_whole_records(self, self.read("target.txt"), records, 100 * 1024)


class TargetInUseTest(LumetraCase):
    def start_long_run(self, before_start=None, **streams):
        """Starts a conversion into target.txt of long.csv, a source fed until
        its finish(); returns the process, the source and the whole output it
        writes, once the target has begun."""
        log, records = numbered_log(100_000)
        source = self.feed("long.csv", log)
        names = self.write("long-names.txt", b"long.csv\ntarget.txt\n")
        with open(names, "rb") as stdin:
            process = subprocess.Popen(command(), cwd=self.folder, stdin=stdin, preexec_fn=before_start, **streams)
        self.addCleanup(process.kill)
        wait_until_written(self.folder / "target.txt", 0, process)
        return process, source, records

    def test_a_second_run_on_a_target_in_use_is_refused(self):
        first, source, records = self.start_long_run(stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        second = self.convert(HEADER + b"1;2;3;4\r\n")
        self.assert_run(second, BANNER, 1, abort_message(1, 17))
        source.finish()
        self.assertEqual((first.wait(timeout=120), first.stderr.read()), (0, b""))
        first.stderr.close()
        self.assertEqual(self.read("target.txt"), records)

    def start_run_on_open_pipe(self, target, records_to=None):
        """Starts a conversion of pipe.csv, a source fed until finish(), so
        that the run keeps its target until then; returns the process and
        finish(), which expects its exit code (0 unless told), once the run
        converts. With records_to, the target is "-" and standard output
        that file."""
        source = self.feed("pipe.csv", HEADER + b"1;2;3;4\r\n")
        streams = {"stdout": records_to, "stderr": subprocess.PIPE} if records_to else {"stdout": subprocess.PIPE}
        process = subprocess.Popen([*command(), "pipe.csv", "-" if records_to else "target.txt"], cwd=self.folder,
                                   stdin=subprocess.DEVNULL, **streams)
        self.addCleanup(process.kill)
        dialogue_stream = process.stderr if records_to else process.stdout
        dialogue = b""
        while CONVERTING not in dialogue:
            line = dialogue_stream.readline()
            self.assertTrue(line, "ended before converting: %r" % dialogue)
            dialogue += line

        def finish(code=0):
            source.finish()
            self.assertEqual(process.wait(timeout=60), code)
            dialogue_stream.close()
        return process, finish

    def test_standard_output_as_a_target_in_use(self):
        """lumetra pipe.csv target.txt, then lumetra source.csv - >> target.txt;
        and lumetra pipe.csv - > target.txt, then lumetra source.csv target.txt:
        the second run is refused either way, and the target stays free for
        the next run once the first has ended, although the shell that
        opened standard output still holds it."""
        self.write("source.csv", HEADER + b"5;6;7;8\r\n")
        record = b"$1;1;3601;2;3;4;0\r\n"
        _, finish = self.start_run_on_open_pipe("target.txt")
        with open(self.folder / "target.txt", "ab") as shell_output:
            second = subprocess.run([*command(), "source.csv", "-"], cwd=self.folder, stdout=shell_output,
                                    capture_output=False, stderr=subprocess.PIPE, timeout=60, check=False)
        self.assertEqual((second.returncode, second.stderr), (1, BANNER + abort_message(1, 17)))
        finish()
        self.assertEqual(self.read("target.txt"), record)

        with open(self.folder / "target.txt", "wb") as shell_output:
            _, finish = self.start_run_on_open_pipe("-", records_to=shell_output)
            self.assert_run(self.convert(HEADER + b"5;6;7;8\r\n"), BANNER, 1, abort_message(1, 17))
            finish()
            self.assertEqual(self.read("target.txt"), record)
            self.assertEqual(self.convert(HEADER + b"5;6;7;8\r\n").code, 0)
        self.assertEqual(self.read("target.txt"), b"$1;1;18005;6;7;8;0\r\n")

    def test_runs_that_share_standard_output(self):
        """for f in day1.csv day2.csv; do lumetra "$f" - & done > target.txt:
        both runs write through the shell's one open file, and the second is
        refused. A run on it that is killed leaves no lock behind, although
        the shell still holds the file: the next runs, on the name and on the
        same open file, convert."""
        self.write("source.csv", HEADER + b"5;6;7;8\r\n")
        second = [*command(), "source.csv", "-"]
        with open(self.folder / "target.txt", "wb") as shell_output:
            _, finish = self.start_run_on_open_pipe("-", records_to=shell_output)
            refused = subprocess.run(second, cwd=self.folder, stdout=shell_output, stderr=subprocess.PIPE, timeout=60,
                                     check=False)
            self.assertEqual((refused.returncode, refused.stderr), (1, BANNER + abort_message(1, 17)))
            finish()
        self.assertEqual(self.read("target.txt"), b"$1;1;3601;2;3;4;0\r\n")

        with open(self.folder / "target.txt", "ab") as shell_output:
            killed, finish = self.start_run_on_open_pipe("-", records_to=shell_output)
            killed.kill()
            finish(-9)
            self.assertEqual(self.convert(HEADER + b"5;6;7;8\r\n").code, 0)
            self.assertEqual(subprocess.run(second, cwd=self.folder, stdout=shell_output, stderr=subprocess.DEVNULL,
                                            timeout=60, check=False).returncode, 0)
        self.assertEqual(self.read("target.txt"), b"$1;1;18005;6;7;8;0\r\n" * 2)

    def test_a_target_that_is_standard_output_or_error_is_refused(self):
        """Records written there would mix with the dialogue or the abort
        message, whatever kind of file it is and whatever it is called ("-"
        is the way to standard output); /dev/null keeps nothing, so nothing
        mixes there."""
        self.write("source.csv", HEADER + b"1;2;3;4\r\n")
        for stream, written in [("stdout", BANNER), ("stderr", abort_message(1, 17))]:
            with self.subTest(stream=stream):
                with open(self.folder / "target.txt", "wb") as target:
                    completed = subprocess.run(command(), cwd=self.folder, input=b"source.csv\ntarget.txt\n",
                                               capture_output=False, timeout=60, check=False, **{stream: target})
                self.assertEqual(completed.returncode, 1)
                self.assertEqual(self.read("target.txt"), written)
        refused = (1, BANNER, abort_message(1, 17))
        for target in ["/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "/dev/stderr", "/dev/fd/2", "/proc/self/fd/2"]:
            with self.subTest(target=target):  # both are pipes
                result = self.run_arguments("source.csv", target)
                self.assertEqual((result.code, result.stdout, result.stderr), refused)
        both = subprocess.run([*command(), "source.csv", "-"], cwd=self.folder, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=60, check=False)
        self.assertEqual((both.returncode, both.stdout), (1, BANNER + abort_message(1, 17)), "2>&1 with -")
        ours, theirs = socket.socketpair()
        with ours, theirs:
            result = self.run_arguments("source.csv", "/dev/stdout", stdout=theirs)
            theirs.close()
            ours.settimeout(60)
            received = b"".join(iter(lambda: ours.recv(65536), b""))
        self.assertEqual((result.code, received), (1, BANNER), "a socket")
        self.assert_run(self.run_arguments("source.csv", "/dev/null", stdout=subprocess.DEVNULL), None)

    def test_closed_standard_descriptors_are_never_the_files(self):
        process, source, records = self.start_long_run(closing(1, 2), stdout=subprocess.DEVNULL)
        numbers = open_files(process.pid)
        self.assertGreater(int(numbers.get(str(self.folder / "long.csv"), 0)), 2, numbers)
        self.assertGreater(int(numbers.get(str(self.folder / "target.txt"), 0)), 2, numbers)
        source.finish()
        self.assertEqual(process.wait(timeout=120), 0)
        self.assertEqual(self.read("target.txt"), records)


if __name__ == "__main__":
    unittest.main()
