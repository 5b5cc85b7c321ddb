"""lumetra.exe under wine against the Linux build: the same names, on
redirected standard input or as arguments, give the same standard output,
standard error, exit code and folder (the names of its files and their
bytes), byte for byte."""

import os
import pathlib
import subprocess
import tempfile
import unittest

from lumetra_harness import HEADER, SAMPLE, command

LINUX_BINARY = os.environ.get("LUMETRA_LINUX_BINARY", "")
ONE_LINE = HEADER + b"1;2;3;4\r\n"
# Wine hands a Windows program its arguments decoded in the locale's character set.
ENVIRONMENT = dict(os.environ, LANG="C.UTF-8")

# Name of the case, the source's name and bytes (None: no source file), the
# names typed, the arguments.
CASES = [
    ("sample", "source.csv", SAMPLE.read_bytes(), b"source.csv\ntarget.txt\n", []),
    ("missing source", "source.csv", None, b"source.csv\ntarget.txt\n", []),
    ("empty source", "source.csv", b"", b"source.csv\ntarget.txt\n", []),
    ("fifth field", "source.csv", HEADER + b"1;2;3;4\r\n5;6;7;8;9\r\n", b"source.csv\ntarget.txt\n", []),
    ("same file", "source.csv", ONE_LINE, b"source.csv\n.\\source.csv\n", []),
    ("code page 850 name", "source.csv", ONE_LINE, b"source.csv\nM\x84rz.txt\n", []),
    ("umlaut names as arguments", "M\u00e4rz.csv", ONE_LINE, b"", ["M\u00e4rz.csv", "Ausgabe-\u00e4\u00f6\u00fc\u00df.txt"]),
    ("name beyond the ANSI code page", "source.csv", ONE_LINE, b"", ["source.csv", "\u03a3-\u20ac.txt"]),
]


def run(command, folder, names):
    completed = subprocess.run(command, cwd=folder, input=names, capture_output=True, timeout=120, check=False,
                               env=ENVIRONMENT)
    files = {path.name: path.read_bytes() for path in sorted(pathlib.Path(folder).iterdir())}
    return completed.stdout, completed.stderr, completed.returncode, files


@unittest.skipUnless(LINUX_BINARY and os.path.exists(LINUX_BINARY), "needs LUMETRA_LINUX_BINARY, the Linux build")
class SameAsLinuxTest(unittest.TestCase):
    def test_same_bytes_and_exit_code(self):
        for name, source_name, source, names, arguments in CASES:
            with self.subTest(case=name):
                results = []
                for program in [[LINUX_BINARY], command()]:
                    with tempfile.TemporaryDirectory(prefix="lumetra-same-") as folder:
                        if source is not None:
                            pathlib.Path(folder, source_name).write_bytes(source)
                        results.append(run(program + arguments, folder, names))
                linux, windows = results
                self.assertEqual(windows, linux)
                if name == "sample":
                    self.assertEqual(linux[2], 0)
                    self.assertEqual(len(linux[3]["target.txt"].split(b"\r\n")), 1441)
                if arguments and source is not None:
                    self.assertEqual(sorted(linux[3]), sorted([source_name, arguments[1]]))


if __name__ == "__main__":
    unittest.main()
