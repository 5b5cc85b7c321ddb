"""Converts the shipped measurement log, a day at one-minute resolution."""

import unittest

from lumetra_harness import SAMPLE, LumetraCase, finished_output


class SampleTest(LumetraCase):
    def test_sample_converts_to_a_record_a_minute(self):
        log = SAMPLE.read_bytes()
        result = self.convert(log)
        self.assert_run(result, finished_output(1440))
        records = self.read("target.txt").split(b"\r\n")
        self.assertEqual(len(records), 1441)
        self.assertEqual(records[0], b"$1;1;0;0,0;0,0;0,00;0")
        self.assertEqual(records[720], b"$1;1;43200;6569,6;641,9;10,23;0")
        self.assertEqual(records[1439], b"$1;1;86340;0,0;0,0;0,00;0")
        self.assertEqual(records[1440], b"")
        self.assertEqual([int(record.split(b";")[2]) for record in records[:-1]],
                         list(range(0, 86400, 60)))
        # Every record holds the values of its line, with a decimal comma.
        values = [line.split(b";")[1:] for line in log.split(b"\r\n")[1:-1]]
        self.assertEqual([record.split(b";")[3:6] for record in records[:-1]],
                         [[value.replace(b".", b",") for value in line] for line in values])


if __name__ == "__main__":
    unittest.main()
