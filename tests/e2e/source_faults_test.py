"""Whole runs on sources that misbehave as real ones do: a disk that fails
to read."""

import os
import unittest

from lumetra_run import BANNER, CONVERTING, LumetraCase, abort_message

# A file whose every read() fails with EIO.
FAILING_FILE = "/sys/devices/software/power/autosuspend_delay_ms"


def reads_fail(path):
    try:
        with open(path, "rb", buffering=0) as file:
            file.read(1)
    except OSError as error:
        return error.errno == 5
    return False


class ReadFailureTest(LumetraCase):
    @unittest.skipUnless(reads_fail(FAILING_FILE), FAILING_FILE + " is absent or readable here")
    def test_a_source_that_fails_to_read_ends_with_a_file_error(self):
        result = self.run_names(FAILING_FILE.encode() + b"\ntarget.txt\n", timeout=30)
        self.assert_run(result, BANNER + CONVERTING, 3, abort_message(3, 58))
        self.assertEqual(self.read("target.txt"), b"")


if __name__ == "__main__":
    unittest.main()
