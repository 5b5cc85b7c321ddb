"""Whole runs whose target cannot take all records: a full file system and a
file-size limit. The target ends with the last whole record that reached it."""

import os
import pathlib
import subprocess
import tempfile
import unittest

from lumetra_run import BANNER, CONVERTING, LumetraCase, abort_message, binary

HEADER = b"Zeit;Leistung;Spannung;Strom\r\n"


def numbered_log(count):
    """A log of `count` data lines and the whole output it converts to."""
    lines = b"".join(b"120000;%d.5;230.1;0.98\r\n" % n for n in range(count))
    records = b"".join(b"$1;1;43200;%d,5;230,1;0,98;0\r\n" % n for n in range(count))
    return HEADER + lines, records


def small_file_systems_possible():
    with tempfile.TemporaryDirectory() as folder:
        return subprocess.run(["unshare", "-rm", "mount", "-t", "tmpfs", "-o", "size=100k", "none", folder],
                              capture_output=True, check=False).returncode == 0


class FullTargetTest(LumetraCase):
    def assert_whole_records(self, target, expected, limit):
        self.assertGreater(len(target), 0)
        self.assertLessEqual(len(target), limit)
        self.assertTrue(target.endswith(b"\r\n"), target[-40:])
        self.assertEqual(target, expected[:len(target)])

    @unittest.skipUnless(small_file_systems_possible(), "needs root: a file system of its own (unshare, mount)")
    def test_a_full_file_system(self):
        """The target lies on a real file system of 700 KB."""
        source, records = numbered_log(100_000)
        self.write("source.csv", source)
        self.write("names.txt", b"%s\ntarget.txt\n" % str(self.folder / "source.csv").encode())
        (self.folder / "small").mkdir()
        script = 'mount -t tmpfs -o size=700k none small && cd small && "$0" < ../names.txt; code=$?; ' \
                 'cp target.txt ../target.txt; exit $code'
        completed = subprocess.run(["unshare", "-rm", "sh", "-c", script, binary()], cwd=self.folder,
                                   capture_output=True, timeout=120, check=False)
        self.assertEqual((completed.returncode, completed.stdout, completed.stderr),
                         (3, BANNER + CONVERTING, abort_message(3, 58)))
        self.assert_whole_records(self.read("target.txt"), records, 700 * 1024)

    def test_a_file_size_limit(self):
        """ulimit -f 100: writes beyond 100 KiB fail instead of ending the
        process with SIGXFSZ."""
        source, records = numbered_log(10_000)
        self.write("source.csv", source)
        self.write("names.txt", b"source.csv\ntarget.txt\n")
        completed = subprocess.run(["sh", "-c", 'ulimit -f 100 && exec "$0" < names.txt', binary()],
                                   cwd=self.folder, capture_output=True, timeout=120, check=False)
        self.assertEqual((completed.returncode, completed.stdout, completed.stderr),
                         (3, BANNER + CONVERTING, abort_message(3, 58)))
        self.assert_whole_records(self.read("target.txt"), records, 100 * 1024)


if __name__ == "__main__":
    unittest.main()
