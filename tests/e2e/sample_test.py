"""Converts the shipped measurement log, a day at one-minute resolution."""

import os
import pathlib
import subprocess
import sys
import unittest

from lumetra_run import LumetraCase, finished_output

SAMPLES = pathlib.Path(os.environ.get("LUMETRA_SOURCE_DIR", pathlib.Path(__file__).parents[2])) / "samples"


class SampleTest(LumetraCase):
    def test_sample_matches_its_generator(self):
        subprocess.run([sys.executable, str(SAMPLES / "make_sample.py"), str(self.folder / "made.csv")],
                       check=True, timeout=60)
        self.assertEqual(self.read("made.csv"), (SAMPLES / "pv-log.csv").read_bytes())

    def test_sample_converts_to_a_record_a_minute(self):
        result = self.convert((SAMPLES / "pv-log.csv").read_bytes())
        self.assert_run(result, finished_output(1440))
        records = self.read("target.txt").split(b"\r\n")
        self.assertEqual(len(records), 1441)
        self.assertEqual(records[0], b"$1;1;0;0,0;0,0;0,00;0")
        self.assertEqual(records[720], b"$1;1;43200;6569,6;641,9;10,23;0")
        self.assertEqual(records[1439], b"$1;1;86340;0,0;0,0;0,00;0")
        self.assertEqual(records[1440], b"")
        self.assertEqual([int(record.split(b";")[2]) for record in records[:-1]],
                         list(range(0, 86400, 60)))


if __name__ == "__main__":
    unittest.main()
