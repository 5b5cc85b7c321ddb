"""Processor faults and console control events in a Windows program, under wine.

The fault probe (tests/runtime/fault_probe.cpp built for Windows,
$LUMETRA_FAULT_PROBE) starts the runtime as lumetra.exe does, writes records
through the file layer or converts lines, and then faults for real; or it
writes records without end until control_event.exe ($LUMETRA_CONTROL_EVENT)
delivers a console control event. Each run ends with its runtime error, the
abort message byte for byte and whole records in the file.
"""

import os
import subprocess
import time
import unittest

from lumetra_harness import RUNNER, FolderCase, abort_message, program_errors, wait_until_written

PROBE = os.environ.get("LUMETRA_FAULT_PROBE", "")
CONTROL_EVENT = os.environ.get("LUMETRA_CONTROL_EVENT", "")
LIMIT = 120  # seconds for one run, wine's start on a loaded machine included

# The ways to fault and to be ended, and the runtime error of each.
FAULTS = [("segfault", 12), ("overflow", 12), ("divide", 11), ("illegal", 10), ("abort", 14)]
EVENTS = [("c", 9), ("break", 13), ("close", 13), ("logoff", 13), ("shutdown", 13)]


def probe_records(count=2000):
    """The first records the probe writes, numbered modulo 10000."""
    return b"".join(b"record %04d\r\n" % (n % 10000) for n in range(count))


def converted_records(count):
    """The records of the first data lines the probe converts."""
    return b"".join(b"$1;1;43200;%04d,5;230,1;;0\r\n" % n for n in range(count))


@unittest.skipUnless(RUNNER and PROBE and CONTROL_EVENT,
                     "needs LUMETRA_RUNNER, LUMETRA_FAULT_PROBE and LUMETRA_CONTROL_EVENT")
class FaultProbeTest(FolderCase):
    def setUp(self):
        super().setUp()
        self.records = self.folder / "records.txt"

    def start(self, *arguments):
        return subprocess.Popen(RUNNER + list(arguments), cwd=self.folder, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def finish(self, probe):
        """Exit code, standard error and the record file of a probe run."""
        try:
            _, errors = probe.communicate(timeout=LIMIT)
        finally:
            probe.kill()
        return probe.returncode, program_errors(errors), self.records.read_bytes()

    def run_probe(self, module, way, *lines):
        return self.finish(self.start(PROBE, self.records.name, module, way, *lines))

    def test_faults_end_with_their_error_and_the_file_closed(self):
        for way, error in FAULTS:
            for lines, records in [((), probe_records()), (("50",), converted_records(50))]:
                with self.subTest(way=way, lines=lines):
                    self.assertEqual(self.run_probe("lumetra", way, *lines), (error, abort_message(error), records))

    def test_without_module_the_message_ends_after_the_error_text(self):
        self.assertEqual(self.run_probe("none", "segfault"), (12, abort_message(12, module=None), probe_records()))

    # Ctrl+Break while the exit handlers run is held back: the chosen error
    # stays, its message is written once, the records reach the file.
    def test_a_request_during_the_exit_is_held_back(self):
        for lines, records in [((), probe_records()), (("50",), converted_records(50))]:
            with self.subTest(lines=lines):
                self.assertEqual(self.run_probe("lumetra", "held", *lines), (6, abort_message(6), records))

    # The probe writes each record in two pieces, so an event that came
    # between them would tear the record if it were not held back.
    def test_control_events_wait_until_the_record_is_whole(self):
        record_size = len(probe_records(1))
        for event, error in EVENTS:
            for delay in [0, 0.003]:
                with self.subTest(event=event, delay=delay):
                    cue = self.folder / "cue"
                    cue.unlink(missing_ok=True)
                    self.records.unlink(missing_ok=True)
                    probe = self.start(CONTROL_EVENT, cue.name, event, PROBE, self.records.name, "lumetra", "endless")
                    wait_until_written(self.records, len(probe_records()), probe, LIMIT)
                    time.sleep(delay)
                    cue.touch()
                    code, errors, records = self.finish(probe)
                    self.assertEqual((code, errors), (error, abort_message(error)))
                    self.assertEqual(records, probe_records(len(records) // record_size))


if __name__ == "__main__":
    unittest.main()
