"""The Windows package: cpack builds the ZIP in the build folder
($LUMETRA_BUILD_DIR); it holds lumetra.exe, the README and the manual as text,
and the unpacked lumetra.exe converts the sample under wine ($LUMETRA_RUNNER)."""

import os
import pathlib
import shlex
import subprocess
import tempfile
import unittest
import zipfile

BUILD_DIR = pathlib.Path(os.environ.get("LUMETRA_BUILD_DIR", "."))
RUNNER = shlex.split(os.environ.get("LUMETRA_RUNNER", ""))
SAMPLE = pathlib.Path(__file__).parents[2] / "samples" / "pv-log.csv"


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
            self.assertEqual(sorted(path.name for path in top.iterdir()), ["README.md", "lumetra.exe", "lumetra.txt"])
            manual = (top / "lumetra.txt").read_bytes()
            self.assertIn(b"Photovoltaik-Datenkonverter\r\n", manual)
            self.assertNotIn(b"\x08", manual, "no overstriking")
            (top / "pv-log.csv").write_bytes(SAMPLE.read_bytes())
            completed = subprocess.run(RUNNER + [str(top / "lumetra.exe")], cwd=top, input=b"pv-log.csv\npv-log.txt\n",
                                       capture_output=True, timeout=120, check=False)
            self.assertEqual((completed.returncode, completed.stderr), (0, b""))
            self.assertTrue(completed.stdout.endswith(b"Es wurden 1440 Datens\x84tze geschrieben.\r\n"))


if __name__ == "__main__":
    unittest.main()
