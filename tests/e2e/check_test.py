"""--check: the report on a log and the status a conversion would end with,
and conversions of the same logs that end as the check said."""

import os
import re
import unittest

from lumetra_harness import BANNER, EMPTY_SOURCE, HEADER, RUNNER, SAMPLE, LumetraCase, logger_lines, long_line_log
from resetting_input import resetting_socket

RUNS_THROUGH = b"  Ergebnis:     Die Konvertierung l\x84uft durch.\r\n"


def lines(*texts):
    return b"".join(text + b"\r\n" for text in texts)


def read(count, records):
    return b"  Gelesen:      %d Zeilen mit der Kopfzeile, daraus %d Datens\x84tze\r\n" % (count, records)


def stops(line, number, start):
    return b"".join([
        b"  Abbruch:      Zeile %d, Laufzeitfehler 6 (out of bounds array access)\r\n" % line,
        b" " * 16 + start + b"\r\n",
        b"  Ergebnis:     Die Konvertierung bricht mit Laufzeitfehler %d ab.\r\n" % number])


SKIPPED = [b"Datum", b"", b"# Wartung", b"Datum", b"--", b"   ", b"Ende"]

# A log, the report after the title, and the status.
REPORTS = [
    ("sample", SAMPLE.read_bytes(), read(1441, 1440) + RUNS_THROUGH, 0),
    ("fifth field", HEADER + logger_lines(5) + lines(b"120000;1;2;3;4;5\t\x84") + logger_lines(3),
     read(7, 5) + stops(7, 6, b"120000;1;2;3;4;5\\x09\\x84"), 6),
    ("times", HEADER + logger_lines(1) + lines(b"0930;5;6;7", b"12:30:00;1;2;3", b"12 30 00;1;2;3", b";1;2;3"),
     read(6, 5) + b"  Uhrzeit:      3 Zeiten nicht hhmmss: 3 (34230 s), 4 (43200 s), 6 (0 s)\r\n" + RUNS_THROUGH, 0),
    ("values", HEADER + lines(b"120000;1,5;-2.5;+3", b"120000;1 234.5; 7 ; 8", b"120000;1.5e3;2;3",
                              b"120000;1-5;2;3", b"120000;\t1;2;3", b"120000;;;", b"120000;x"),
     read(8, 7) + b"  Werte:        4 Zeilen mit Werten, die keine Zahlen sind: 4, 5, 6, 8\r\n" + RUNS_THROUGH, 0),
    ("values of sixteen bytes and more", HEADER + lines(b"120000;1.25;2.50;3.75", b"120000;1.0;2.0;3/4", b"120000;10:5;2.0;3.0",
                                                       b"120000;11111111111111111111;2x", b"120000;+1.5;2;33333333",
                                                       b"120000;0000000000;1111111111;-2"),
     read(7, 6) + b"  Werte:        3 Zeilen mit Werten, die keine Zahlen sind: 3, 4, 5\r\n" + RUNS_THROUGH, 0),
    ("skipped lines", HEADER + lines(*SKIPPED) + logger_lines(2),
     read(10, 2) + b"  \x9Abersprungen: 7 Zeilen ohne \";\": 2, 3, 4, 5, 6, ...\r\n" + RUNS_THROUGH, 0),
]


class CheckReportTest(LumetraCase):
    def test_reports_and_status(self):
        for name, log, report, code in REPORTS:
            with self.subTest(name):
                self.write("log.csv", log)
                self.assert_run(self.run_arguments("--check", "log.csv"), BANNER + report, code)
                self.assertEqual(os.listdir(self.folder), ["log.csv"])  # nothing written

    def test_an_empty_source_as_the_conversion_says_it(self):
        self.write("log.csv", b"")
        self.assert_run(self.run_arguments("--check", "log.csv"), BANNER + EMPTY_SOURCE)

    def test_the_log_from_standard_input(self):
        if RUNNER:
            self.skipTest("Windows has no - for the standard streams")
        name, log, report, code = REPORTS[1]
        self.write("log.csv", log)
        with open(self.folder / "log.csv", "rb") as source:
            self.assert_run(self.run_arguments("--check", "-", stdin=source), BANNER + report, code)


# Logs that the check and the conversion read alike: the status, the
# records and the line that stops the conversion (0: none).
BOTH_WAYS = [
    ("sample", SAMPLE.read_bytes(), 0, 1440, 0),
    ("header only, no line end", b"Zeit;Leistung", 0, 0, 0),
    ("a late fifth field beyond the first buffer", HEADER + logger_lines(60000) + lines(b"1;2;3;4;.5") + logger_lines(2),
     6, 60000, 60002),
    ("a line of 2 MB read on its own before it",
     HEADER + logger_lines(10) + lines(b"1;" + b"8" * 2_000_000) + logger_lines(10) + lines(b"1;2;3;4;x"), 6, 21, 23),
    ("lone CR, CR LF, LF and zero bytes in lines",
     HEADER + b"1;2\r3;4\r\n120000;1;2\n1;\0\0;x\r\n" + b"1;" + b"\0" * 1000 + b"x;y\r\n5;6;7;8;9\r\n", 6, 4, 6),
    ("a Ctrl+Z ends the log before its fifth field", HEADER + logger_lines(3) + b"\x1a" + lines(b"1;2;3;4;5"), 0, 3, 0),
    ("the source fails", None, 3, 1, 3),
    ("a line too long for memory", long_line_log, 4, 1000, 1002),
]


class SameAsConversionTest(LumetraCase):
    """The check's status, record count and stopping line are those of a
    conversion of the same log."""

    def run_both(self, log):
        if log is None:  # a connection that resets after two lines
            data = HEADER + lines(b"1;2;3;4") + b"5;6;7"
            with resetting_socket(data) as source, resetting_socket(data) as again:
                return self.run_arguments("-", "out.txt", stdin=source), self.run_arguments("--check", "-", stdin=again)
        self.write("log.csv", log() if callable(log) else log)
        limited = callable(log)  # the line too long for memory, in 100 MB of address space
        return (self.run_arguments("log.csv", "out.txt", limited=limited),
                self.run_arguments("--check", "log.csv", limited=limited))

    def test_check_and_conversion_agree(self):
        for name, log, code, records, stop in BOTH_WAYS:
            with self.subTest(name):
                if RUNNER and (log is None or callable(log)):
                    self.skipTest("a socket or an address-space limit for wine's program")
                converted, checked = self.run_both(log)
                self.assertEqual((converted.code, checked.code), (code, code), checked.stdout)
                self.assertEqual(self.read("out.txt").count(b"\r\n"), records)
                self.assertIn(b", daraus %d Datens" % records, checked.stdout)
                found = re.search(rb"Abbruch: +Zeile (\d+),", checked.stdout)
                self.assertEqual(int(found.group(1)) if found else 0, stop, checked.stdout)


if __name__ == "__main__":
    unittest.main()
