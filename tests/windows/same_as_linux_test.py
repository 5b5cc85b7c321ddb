"""lumetra.exe under wine against the Linux build: the same names on
redirected standard input give the same standard output, standard error,
exit code and target, byte for byte."""

import os
import pathlib
import shlex
import subprocess
import tempfile
import unittest

LINUX_BINARY = os.environ.get("LUMETRA_LINUX_BINARY", "")
WINDOWS_COMMAND = shlex.split(os.environ.get("LUMETRA_RUNNER", "")) + [os.environ.get("LUMETRA_BINARY", "")]
SAMPLE = pathlib.Path(os.environ.get("LUMETRA_SOURCE_DIR", pathlib.Path(__file__).parents[2])) / "samples" / "pv-log.csv"
HEADER = b"Zeit;Leistung;Spannung;Strom\r\n"

# Name of the case, the source's bytes (None: no source file), the names typed.
CASES = [
    ("sample", SAMPLE.read_bytes(), b"source.csv\ntarget.txt\n"),
    ("missing source", None, b"source.csv\ntarget.txt\n"),
    ("empty source", b"", b"source.csv\ntarget.txt\n"),
    ("fifth field", HEADER + b"1;2;3;4\r\n5;6;7;8;9\r\n", b"source.csv\ntarget.txt\n"),
    ("same file", HEADER + b"1;2;3;4\r\n", b"source.csv\n.\\source.csv\n"),
    ("code page 850 name", HEADER + b"1;2;3;4\r\n", b"source.csv\nM\x84rz.txt\n"),
]


def run(command, folder, names):
    completed = subprocess.run(command, cwd=folder, input=names, capture_output=True, timeout=120, check=False)
    files = {path.name: path.read_bytes() for path in sorted(pathlib.Path(folder).iterdir())}
    return completed.stdout, completed.stderr, completed.returncode, files


@unittest.skipUnless(LINUX_BINARY and os.path.exists(LINUX_BINARY), "needs LUMETRA_LINUX_BINARY, the Linux build")
class SameAsLinuxTest(unittest.TestCase):
    def test_same_bytes_and_exit_code(self):
        for name, source, names in CASES:
            with self.subTest(case=name):
                results = []
                for command in [[LINUX_BINARY], WINDOWS_COMMAND]:
                    with tempfile.TemporaryDirectory(prefix="lumetra-same-") as folder:
                        if source is not None:
                            pathlib.Path(folder, "source.csv").write_bytes(source)
                        results.append(run(command, folder, names))
                linux, windows = results
                self.assertEqual(windows, linux)
                if name == "sample":
                    self.assertEqual(linux[2], 0)
                    self.assertEqual(len(linux[3]["target.txt"].split(b"\r\n")), 1441)


if __name__ == "__main__":
    unittest.main()
