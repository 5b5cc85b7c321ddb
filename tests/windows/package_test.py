"""The Windows package: cpack builds the ZIP in the build folder
($LUMETRA_BUILD_DIR); it holds lumetra.exe with its version resource, the
README, the manual as text and the sample log, every text file with CR LF
line ends, and the unpacked lumetra.exe converts the sample under wine
($LUMETRA_RUNNER) as the README's Windows section shows."""

import os
import pathlib
import struct
import subprocess
import tempfile
import unittest
import zipfile

from lumetra_harness import RUNNER, project_version, summary

BUILD_DIR = pathlib.Path(os.environ.get("LUMETRA_BUILD_DIR", "."))
TEXT_FILES = ["README.md", "lumetra.txt", "samples/pv-log.csv"]


def fixed_versions(program):
    """File and product version of the version resource's fixed part."""
    start = program.index(struct.pack("<I", 0xFEEF04BD))
    file_high, file_low, product_high, product_low = struct.unpack_from("<4I", program, start + 8)
    return [(high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
            for high, low in [(file_high, file_low), (product_high, product_low)]]


def version_string(program, key):
    """A value of the version resource's strings (UTF-16, 32-bit aligned)."""
    start = program.index((key + "\0").encode("utf-16-le")) + 2 * (len(key) + 1)
    while program[start:start + 2] == b"\0\0":
        start += 2
    end = start
    while program[end:end + 2] != b"\0\0":
        end += 2
    return program[start:end].decode("utf-16-le")


class PackageTest(unittest.TestCase):
    def test_zip_holds_the_program_and_its_documents(self):
        # Archives of earlier versions may lie in a build folder that is used again.
        for earlier in BUILD_DIR.glob("lumetra-*-windows-x64.zip"):
            earlier.unlink()
        subprocess.run(["cpack", "-G", "ZIP"], cwd=BUILD_DIR, check=True, capture_output=True, timeout=300)
        archives = list(BUILD_DIR.glob("lumetra-*-windows-x64.zip"))
        self.assertEqual(len(archives), 1)
        with tempfile.TemporaryDirectory(prefix="lumetra-package-") as folder:
            with zipfile.ZipFile(archives[0]) as archive:
                archive.extractall(folder)
            top = pathlib.Path(folder) / archives[0].stem
            self.assertEqual(sorted(str(path.relative_to(top)) for path in top.rglob("*") if path.is_file()),
                             sorted(["lumetra.exe"] + TEXT_FILES))
            for name in TEXT_FILES:
                with self.subTest(file=name):
                    text = (top / name).read_bytes()
                    self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), "every line ends with CR LF")
                    self.assertTrue(text.endswith(b"\r\n"))
            manual = (top / "lumetra.txt").read_bytes()
            self.assertIn(b"Photovoltaik-Datenkonverter\r\n", manual)
            self.assertTrue(b"\r\nWINDOWS\r\n" in manual, "a section on what differs on Windows")
            self.assertNotIn(b"\x08", manual, "no overstriking")
            self.assert_version_resource((top / "lumetra.exe").read_bytes())
            completed = subprocess.run(RUNNER + [str(top / "lumetra.exe")], cwd=top,
                                       input=b"samples\\pv-log.csv\r\npv-log.txt\r\n", capture_output=True,
                                       timeout=120, check=False)
            self.assertEqual((completed.returncode, completed.stderr), (0, b""))
            self.assertTrue(completed.stdout.endswith(summary(1440)))

    def assert_version_resource(self, program):
        version = tuple(int(part) for part in project_version().split(".")) + (0,)
        self.assertEqual(fixed_versions(program), [version, version])
        for key, value in [("FileVersion", project_version()), ("ProductVersion", project_version()),
                           ("ProductName", "lumetra"), ("OriginalFilename", "lumetra.exe"),
                           ("FileDescription", "Converts photovoltaic measurement logs into fixed-layout records")]:
            self.assertEqual(version_string(program, key), value)


if __name__ == "__main__":
    unittest.main()
