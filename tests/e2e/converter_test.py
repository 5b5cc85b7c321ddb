"""Whole-program tests of the converter: the built binary with redirected
names, compared byte for byte on standard output, the target file, standard
error and the exit code."""

import os
import subprocess
import unittest

from lumetra_harness import (BANNER, CONVERTING, EMPTY_SOURCE, HEADER, RUNNER, LumetraCase, abort_message, closing,
                             finished_output)


# A data line after the header and the record it gives (None: no record).
WORKED_EXAMPLES = [
    (b"081530;12.5;230.1;0.98", b"$1;1;29730;12,5;230,1;0,98;0"),
    (b"12 00 00 ; 1 234.5 ; 7 ; 8", b"$1;1;43200;1234,5;7;8;0"),
    (b"235959;0;0;0", b"$1;1;86399;0;0;0;0"),
    (b"0930;5", b"$1;1;34230;5;;;0"),
    (b"12;1;2;3", b"$1;1;43212;1;2;3;0"),
    (b"12345;1;2;3", b"$1;1;45285;1;2;3;0"),
    (b"08:15:30;1;2;3", b"$1;1;28830;1;2;3;0"),
    (b"7.5;x;y;z", b"$1;1;25500;x;y;z;0"),
    (b"-10000;a;b;c", b"$1;1;-3600;a;b;c;0"),
    (b";;;", b"$1;1;0;;;;0"),
    (b"1;2;3;4;", b"$1;1;3601;2;3;4;0"),
    (b"a;b;c;d; ;;", b"$1;1;0;b;c;d;0"),
    (b"1.2.3;\t4\t;;", b"$1;1;3720;\t4\t;;;0"),
    (b"Datum Uhrzeit", None),
    (b"", None),
]


class RecordTest(LumetraCase):
    def test_worked_examples(self):
        for line, record in WORKED_EXAMPLES:
            with self.subTest(line=line):
                result = self.convert(HEADER + line + b"\r\n")
                expected = b"" if record is None else record + b"\r\n"
                self.assert_run(result, finished_output(0 if record is None else 1))
                self.assertEqual(self.read("target.txt"), expected)

    def test_content_after_fourth_field_aborts_and_keeps_earlier_records(self):
        for fifth, line in [(b"5", 44), (b".", 42), (b" x", 44)]:
            with self.subTest(fifth=fifth):
                result = self.convert(HEADER + b"1;2;3;4\r\nx\r\n100000;5;6;7\r\n"
                                      + b"1;2;3;4;" + fifth + b"\r\n235959;8;9;10\r\n")
                self.assert_run(result, BANNER + CONVERTING, 6, abort_message(6, line))
                self.assertEqual(self.read("target.txt"),
                                 b"$1;1;3601;2;3;4;0\r\n$1;1;36000;5;6;7;0\r\n")


class MainFlowTest(LumetraCase):
    def test_normal_run(self):
        for stdin in ["pipe", "file"]:
            with self.subTest(stdin=stdin):
                self.write("source.csv", HEADER + b"000001;1;2;3\r\n120000;4;5;6\r\n235959;7;8;9\r\n")
                result = self.run_names(b"source.csv\ntarget.txt\n", stdin=stdin)
                self.assert_run(result, finished_output(3))
                self.assertEqual(self.read("target.txt"),
                                 b"$1;1;1;1;2;3;0\r\n$1;1;43200;4;5;6;0\r\n$1;1;86399;7;8;9;0\r\n")

    def test_closed_output_pipe_does_not_stop_the_conversion(self):
        self.write("source.csv", HEADER + b"1;2;3;4\r\n")
        reading, writing = os.pipe()
        os.close(reading)
        try:
            result = self.run_names(b"source.csv\ntarget.txt\n", stdout=writing)
        finally:
            os.close(writing)
        self.assertEqual((result.code, result.stderr), (0, b""))
        self.assertEqual(self.read("target.txt"), b"$1;1;3601;2;3;4;0\r\n")

    def test_closed_standard_streams_leave_the_files_alone(self):
        # With standard output and error closed, the files may get their
        # descriptors: nothing of the dialogue or the abort message may reach
        # the files through them.
        if RUNNER:
            self.skipTest("the descriptors closed are the runner's own (wine's), not the program's")
        for source, code, records in [(HEADER + b"1;2;3;4\r\n", 0, b"$1;1;3601;2;3;4;0\r\n"),
                                      (HEADER + b"1;2;3;4\r\n5;6;7;8;9\r\n", 6, b"$1;1;3601;2;3;4;0\r\n")]:
            with self.subTest(code=code):
                self.write("source.csv", source)
                result = self.run_names(b"source.csv\ntarget.txt\n", stdout=subprocess.DEVNULL,
                                        preexec_fn=closing(1, 2))
                self.assertEqual(result.code, code)
                self.assertEqual(self.read("target.txt"), records)
                self.assertEqual(self.read("source.csv"), source)

    def test_existing_target_is_emptied(self):
        self.write("target.txt", b"old contents that are longer than the new ones\r\n" * 10)
        result = self.convert(HEADER + b"1;2;3;4\r\n")
        self.assert_run(result, finished_output(1))
        self.assertEqual(self.read("target.txt"), b"$1;1;3601;2;3;4;0\r\n")

    def test_header_only_gives_empty_target(self):
        for source in [HEADER, HEADER.rstrip(b"\r\n")]:
            with self.subTest(source=source):
                self.assert_run(self.convert(source), finished_output(0))
                self.assertEqual(self.read("target.txt"), b"")

    def test_first_line_is_always_dropped(self):
        result = self.convert(b"1;2;3;4\r\n5;6;7;8\r\n")
        self.assert_run(result, finished_output(1))
        self.assertEqual(self.read("target.txt"), b"$1;1;18005;6;7;8;0\r\n")

    def test_empty_source(self):
        self.write("target.txt", b"old")
        result = self.convert(b"")
        self.assert_run(result, BANNER + EMPTY_SOURCE)
        self.assertEqual(self.read("target.txt"), b"")

    def test_missing_source_leaves_target_untouched(self):
        for existing in [None, b"kept\r\n"]:
            with self.subTest(existing=existing):
                (self.folder / "target.txt").unlink(missing_ok=True)
                if existing is not None:
                    self.write("target.txt", existing)
                for stderr in ["pipe", "file"]:
                    result = self.run_names(b"missing.csv\ntarget.txt\n", stderr=stderr)
                    self.assert_run(result, BANNER, 2, abort_message(2, 16))
                self.assertEqual(os.path.exists(self.folder / "target.txt"), existing is not None)
                if existing is not None:
                    self.assertEqual(self.read("target.txt"), existing)

    def test_unopenable_names(self):
        self.write("source.csv", HEADER + b"1;2;3;4\r\n")
        (self.folder / "folder").mkdir()
        cases = [
            (b"", 2, 16),                                # no names at all
            (b"\n\n", 2, 16),                            # empty source name
            (b"folder\ntarget.txt\n", 2, 16),            # source is a directory
            (b"source.csv\nfolder\n", 2, 17),            # target is a directory
            (b"source.csv\nnowhere/target.txt\n", 2, 17),
            (b"source.csv\n\n", 2, 17),                  # empty target name
            (b"source.csv\x1a\ntarget.txt\n", 2, 17),    # Ctrl+Z ends the names
        ]
        for names, number, line in cases:
            with self.subTest(names=names):
                result = self.run_names(names)
                self.assert_run(result, BANNER, number, abort_message(number, line))
                self.assertFalse(os.path.exists(self.folder / "nowhere"))
        self.assertEqual(sorted(os.listdir(self.folder)), ["folder", "source.csv"])

    def test_same_file_as_source_and_target(self):
        source = HEADER + b"1;2;3;4\r\n"
        self.write("source.csv", source)
        os.symlink("source.csv", self.folder / "link.csv")
        os.link(self.folder / "source.csv", self.folder / "hard.csv")
        for target in [b"source.csv", b"./source.csv", b"link.csv", b"hard.csv", b"..\\"
                       + os.path.basename(self.folder).encode() + b"\\source.csv"]:
            with self.subTest(target=target):
                result = self.run_names(b"source.csv\n" + target + b"\n")
                self.assert_run(result, BANNER, 1, abort_message(1, 17))
                self.assertEqual(self.read("source.csv"), source)

    def test_full_device_fails_at_close(self):
        small = HEADER + b"1;2;3;4\r\n"
        large = HEADER + b"120000;1234.5;230.1;5.36\r\n" * 5000
        for name, source in [("small", small), ("large", large)]:
            with self.subTest(source=name):
                result = self.convert(source, names=b"source.csv\n/dev/full\n")
                self.assert_run(result, BANNER + CONVERTING, 3, abort_message(3, 58))


class NameInputTest(LumetraCase):
    def test_name_forms(self):
        cases = [
            (b'"my data/a, b.csv"\n"out put,1.txt"\n', "my data/a, b.csv", "out put,1.txt"),
            (b"   \t source.csv\n  \ttarget.txt\n", "source.csv", "target.txt"),
            (b"source.csv,target.txt\n", "source.csv", "target.txt"),
            (b'"source.csv"  ,  target.txt', "source.csv", "target.txt"),
            (b"source.csv\r\ntarget.txt\r\n", "source.csv", "target.txt"),
            (b'"source.csv\n"target.txt', "source.csv", "target.txt"),      # closing quotes missing
            (b"source.csv\x00.old\ntarget.txt\x00\n", "source.csv", "target.txt"),
            (b"sub\\source.csv\nsub\\deeper\\target.txt\n", "sub/source.csv", "sub/deeper/target.txt"),
            (b"\xef\xbb\xbfsource.csv\r\ntarget.txt\r\n", "source.csv", "target.txt"),  # saved with a byte order mark
            (b"source.csv\r\ntarget.txt\x1a", "source.csv", "target.txt"),              # Ctrl+Z after the last name
            (b"source.csv\ntarget.txt\x1a\n", "source.csv", "target.txt"),
        ]
        for names, source, target in cases:
            with self.subTest(names=names):
                self.write(source, HEADER + b"1;2;3;4\r\n")
                (self.folder / "sub" / "deeper").mkdir(parents=True, exist_ok=True)
                (self.folder / target).unlink(missing_ok=True)
                result = self.run_names(names)
                self.assert_run(result, finished_output(1))
                self.assertEqual(self.read(target), b"$1;1;3601;2;3;4;0\r\n")


    def test_a_long_name_list_names_no_other_file(self):
        """A list as find -print0 makes it is one field of many names: the
        field ends at its line end, and none of the names after the first
        becomes the target."""
        log = HEADER + b"1;2;3;4\r\n"
        for day in range(1, 301):
            self.write("day%06d.csv" % day, log)
        result = self.run_names(b"".join(b"./day%06d.csv\x00" % day for day in range(1, 301)))
        self.assert_run(result, BANNER, 2, abort_message(2, 17))  # the target's name is empty
        for day in range(1, 301):
            self.assertEqual(self.read("day%06d.csv" % day), log)


class LatinOneNameTest(LumetraCase):
    @unittest.skipIf(RUNNER, "Windows names are Unicode: none holds Latin-1 bytes")
    def test_a_source_named_in_latin_1_opens(self):
        self.write(b"M\xfcller.csv".decode("utf-8", "surrogateescape"), HEADER + b"1;2;3;4\r\n")
        result = self.run_names(b"M\xfcller.csv\nM\xfcller.txt\n")
        self.assert_run(result, finished_output(1))
        # The target is created under the code page 850 reading of the name.
        self.assertEqual(self.read("M\u00b3ller.txt"), b"$1;1;3601;2;3;4;0\r\n")


class SourceLineTest(LumetraCase):
    def test_line_ends(self):
        lines = [b"1;2;3;4", b"", b"100000;5;6;7", b"no data", b"235959;8;9;10"]
        records = b"$1;1;3601;2;3;4;0\r\n$1;1;36000;5;6;7;0\r\n$1;1;86399;8;9;10;0\r\n"
        for name, end, last in [("CR LF", b"\r\n", b"\r\n"), ("LF", b"\n", b"\n"),
                                ("CR LF, none at end", b"\r\n", b""), ("LF, none at end", b"\n", b"")]:
            with self.subTest(line_end=name):
                source = HEADER + end.join(lines) + last
                self.assert_run(self.convert(source), finished_output(3))
                self.assertEqual(self.read("target.txt"), records)

    def test_long_field(self):
        value = b"12.5 " * 20000
        self.assertEqual(len(value), 100000)
        result = self.convert(HEADER + b"1;2;3;4\r\n120000;" + value + b";x;y\r\n5;6;7;8\r\n")
        self.assert_run(result, finished_output(3))
        self.assertEqual(self.read("target.txt"),
                         b"$1;1;3601;2;3;4;0\r\n$1;1;43200;" + b"12,5" * 20000
                         + b";x;y;0\r\n$1;1;18005;6;7;8;0\r\n")

    def test_line_ends_across_read_boundaries(self):
        # Lines of every length from 1 to 1200 digits put their CR LF on every
        # offset of the reading chunks and of the stream's buffer.
        values = [b"7" * length for length in range(1, 1201)]
        source = HEADER + b"".join(b"010203;" + value + b";;\r\n" for value in values)
        self.assert_run(self.convert(source), finished_output(len(values)))
        self.assertEqual(self.read("target.txt"),
                         b"".join(b"$1;1;3723;" + value + b";;;0\r\n" for value in values))

    def test_ctrl_z_ends_the_source(self):
        result = self.convert(HEADER + b"1;2;3;4\r\n\x1a5;6;7;8\r\n9;9;9;9\r\n", )
        self.assert_run(result, finished_output(1))
        self.assertEqual(self.read("target.txt"), b"$1;1;3601;2;3;4;0\r\n")

    def test_zero_byte_is_kept_in_its_field(self):
        result = self.convert(HEADER + b"1;a\x00b;3;4\r\n")
        self.assert_run(result, finished_output(1))
        self.assertEqual(self.read("target.txt"), b"$1;1;3601;a\x00b;3;4;0\r\n")

    def test_zero_bytes_at_the_end_of_a_piece_are_dropped(self):
        """Lines are read in pieces of 511 bytes; a piece without a line end
        loses its trailing zero bytes, as a logger's padding after a power
        loss."""
        padded = b"1;" + b"7" * 508 + b"\x00" + b"8;9\r\n"
        for name, source, records in [
                ("padding behind the last line", HEADER + b"081530;1;2" + b"\x00" * 4000, b"$1;1;29730;1;2;;0\r\n"),
                ("zero byte at the end of a piece", HEADER + padded, b"$1;1;3601;" + b"7" * 508 + b"8;9;;0\r\n")]:
            with self.subTest(name):
                self.assert_run(self.convert(source), finished_output(1))
                self.assertEqual(self.read("target.txt"), records)


if __name__ == "__main__":
    unittest.main()
