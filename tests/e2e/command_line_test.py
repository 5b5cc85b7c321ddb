"""The command line: --help, --version, usage errors, the two names as
arguments (compared with the run that reads them from standard input), and
"-" for standard input and output."""

import contextlib
import gzip
import os
import subprocess

from lumetra_harness import (BANNER, CONVERTING, EMPTY_SOURCE, HEADER, LOG, RECORDS, RUNNER, LumetraCase, abort_message,
                             closing, command, finished_output, project_version)

USAGE_HINT = b"Try 'lumetra --help' for more information.\n"


class OptionTest(LumetraCase):
    def test_help_shows_the_forms_exit_codes_and_manual(self):
        for option in ["--help", "-h"]:
            with self.subTest(option=option):
                result = self.run_arguments(option)
                self.assertEqual((result.code, result.stderr), (0, b""))
                self.assertTrue(result.stdout.startswith(b"Usage: lumetra\n"), result.stdout)
                for part in [b"lumetra SOURCE TARGET", b"lumetra --check SOURCE", b"--version", b"standard input",
                             b"standard output", b"1 to 15 the runtime", b"64 wrong usage", b"man lumetra",
                             b"(/dev/stdout) is"]:
                    self.assertIn(part, result.stdout)
        self.assertEqual(self.run_arguments("a.csv", "--help", "b.txt").stdout, result.stdout)

    def test_version_is_the_project_version(self):
        self.assert_run(self.run_arguments("--version"), b"lumetra %s\n" % project_version().encode())

    def test_help_and_version_that_cannot_be_written_are_an_output_error(self):
        ways = []
        if os.path.exists("/dev/full"):
            ways.append(("full disk", lambda: open("/dev/full", "wb"), None))
        if not RUNNER:  # under wine the descriptor closed would be wine's own
            ways.append(("closed", lambda: contextlib.nullcontext(None), closing(1)))
        for option in ["--help", "--version"]:
            for way, output, prepare in ways:
                with self.subTest(option=option, output=way), output() as stdout:
                    result = self.run_arguments(option, stdout=stdout, preexec_fn=prepare)
                    self.assertEqual((result.code, result.stderr), (74, b"lumetra: write error on standard output\n"))

    def test_usage_errors_exit_64_with_one_line_and_the_hint(self):
        self.write("a.csv", LOG)
        cases = [
            (["-x"], b"lumetra: unknown option '-x'\n"),
            (["--verbose", "a.csv", "b.txt"], b"lumetra: unknown option '--verbose'\n"),
            (["a.csv"], b"lumetra: no TARGET after 'a.csv'\n"),
            (["a.csv", "b.txt", "c.txt"], b"lumetra: unexpected argument 'c.txt'\n"),
            (["--check"], b"lumetra: no SOURCE after '--check'\n"),
            (["a.csv", "--check", "b.txt"], b"lumetra: unexpected argument 'b.txt'\n"),
        ]
        for arguments, line in cases:
            with self.subTest(arguments=arguments):
                self.assert_run(self.run_arguments(*arguments), b"", 64, line + USAGE_HINT)
                self.assertFalse((self.folder / "b.txt").exists())

    def test_usage_errors_quote_what_a_terminal_would_act_on(self):
        """Bytes that are not printable leave the quotes as $'...' with C
        escapes (octal where there is none), as a shell reads them back."""
        cases = [
            ([b"-\x1b]0;TITLE\x07"], b"lumetra: unknown option '-'$'\\033'']0;TITLE'$'\\a'\n"),
            ([b"a.csv", b"b.txt", b"it's\r\n"], b"lumetra: unexpected argument 'it'\\''s'$'\\r\\n'\n"),
            ([b"\tday\x7f.csv"], b"lumetra: no TARGET after $'\\t''day'$'\\177''.csv'\n"),
            ([b"\xc3\xa4.csv"], b"lumetra: no TARGET after '\xc3\xa4.csv'\n"),  # a UTF-8 letter is shown
            ([b"\xe4\xc2\x9b.csv"], b"lumetra: no TARGET after $'\\344\\302\\233''.csv'\n"),  # no UTF-8; a C1 control
        ]
        for arguments, line in cases:
            with self.subTest(arguments=arguments):
                self.assert_run(self.run_arguments(*arguments), b"", 64, line + USAGE_HINT)

    def test_double_dash_ends_the_options(self):
        self.write("-log.csv", LOG)
        self.assert_run(self.run_arguments("--", "-log.csv", "-out.txt"), finished_output(3))
        self.assertEqual(self.read("-out.txt"), RECORDS)


class NamesAsArgumentsTest(LumetraCase):
    """Two arguments give what the same names piped in give: dialogue,
    standard error, exit code and target, byte for byte."""

    def assert_same_as_piped(self, source_name, target_name):
        piped = self.run_names(b"%s\n%s\n" % (source_name.encode(), target_name.encode()))
        given = self.run_arguments(source_name, target_name)
        self.assertEqual((given.stdout, given.stderr, given.code), (piped.stdout, piped.stderr, piped.code))
        return given

    def test_same_run_as_with_piped_names(self):
        cases = [
            ("records", LOG, finished_output(3), 0),
            ("header only", HEADER, finished_output(0), 0),
            ("empty source", b"", BANNER + EMPTY_SOURCE, 0),
            ("fifth field", HEADER + b"1;2;3;4\r\n1;2;3;4;5\r\n", BANNER + CONVERTING, 6),
        ]
        for what, log, stdout, code in cases:
            with self.subTest(what):
                self.write("source.csv", log)
                piped_target = self.run_names(b"source.csv\ntarget.txt\n") and self.read("target.txt")
                (self.folder / "target.txt").unlink()
                result = self.assert_same_as_piped("source.csv", "target.txt")
                self.assertEqual((result.stdout, result.code), (stdout, code))
                self.assertEqual(self.read("target.txt"), piped_target)

    def test_same_errors_as_with_piped_names(self):
        self.write("source.csv", LOG)
        (self.folder / "folder").mkdir()
        for source, target, number, line in [("missing.csv", "target.txt", 2, 16), ("source.csv", "folder", 2, 17),
                                             ("source.csv", "source.csv", 1, 17)]:
            with self.subTest(source=source, target=target):
                result = self.assert_same_as_piped(source, target)
                self.assertEqual((result.code, result.stderr), (number, abort_message(number, line)))
        self.assertFalse((self.folder / "target.txt").exists())
        self.assertEqual(self.read("source.csv"), LOG)

    def test_an_argument_is_one_name_by_the_field_rules_without_splitting(self):
        for argument, name in [("a,b.csv", "a,b.csv"), ("  lead.csv", "lead.csv"), ("trail.csv  ", "trail.csv  "),
                               ('"  quoted, name.csv"', "  quoted, name.csv"), ('x"y.csv', 'x"y.csv')]:
            with self.subTest(argument=argument):
                self.write(name, LOG)
                self.assert_run(self.run_arguments(argument, "out.txt"), finished_output(3))
                self.assertEqual(self.read("out.txt"), RECORDS)


class StandardStreamsTest(LumetraCase):
    def test_records_to_standard_output_and_the_dialogue_to_standard_error(self):
        self.write("source.csv", LOG)
        self.assert_run(self.run_arguments("source.csv", "-"), RECORDS, stderr=finished_output(3))

    def test_source_from_a_file_on_standard_input(self):
        source = self.write("source.csv", LOG)
        with open(source, "rb") as log:
            self.assert_run(self.run_arguments("-", "target.txt", stdin=log), finished_output(3))
        self.assertEqual(self.read("target.txt"), RECORDS)
        with open(source, "rb") as log:
            self.assert_run(self.run_arguments("-", "-", stdin=log), RECORDS, stderr=finished_output(3))

    def test_compressed_log_through_a_pipe(self):
        compressed = self.write("log.csv.gz", gzip.compress(HEADER + LOG[len(HEADER):] * 2000))
        unpacking = subprocess.Popen(["gzip", "-dc", str(compressed)], stdout=subprocess.PIPE)
        try:
            result = self.run_arguments("-", "-", stdin=unpacking.stdout)
        finally:
            unpacking.stdout.close()
            unpacking.wait()
        self.assert_run(result, RECORDS * 2000, stderr=finished_output(6000))

    def test_standard_output_appended_to_keeps_what_it_holds(self):
        self.write("source.csv", LOG)
        target = self.write("all.txt", b"earlier\r\n")
        output = os.open(target, os.O_WRONLY | os.O_APPEND)
        try:
            result = self.run_arguments("source.csv", "-", stdout=output)
        finally:
            os.close(output)
        self.assertEqual((result.code, result.stderr), (0, finished_output(3)))
        self.assertEqual(self.read("all.txt"), b"earlier\r\n" + RECORDS)

    def test_standard_input_and_output_on_one_file_is_refused(self):
        source = self.write("source.csv", LOG)
        with open(source, "rb") as log, open(source, "ab") as same:
            result = self.run_arguments("-", "-", stdin=log, stdout=same)
        self.assertEqual((result.code, result.stderr), (1, BANNER + abort_message(1, 17)))
        self.assertEqual(self.read("source.csv"), LOG)

    def test_without_standard_error_the_dialogue_stays_out_of_the_records(self):
        self.write("source.csv", LOG)
        completed = subprocess.run([*command(), "source.csv", "-"], cwd=self.folder, stdin=subprocess.DEVNULL,
                                   capture_output=True, preexec_fn=closing(2), timeout=120, check=False)
        self.assertEqual((completed.returncode, completed.stdout), (0, RECORDS))
