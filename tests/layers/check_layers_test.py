"""The layering check (scripts/check-layers): the source tree as it stands
keeps the layer order, and each kind of include that breaks it, planted in a
copy of the tree, fails the check with the file and line named."""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = pathlib.Path(os.environ.get("LUMETRA_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
CHECK = SOURCE_DIR / "scripts" / "check-layers"


def run_check(root):
    return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True, check=False)


class CheckLayersTest(unittest.TestCase):
    def test_the_tree_keeps_its_layers(self):
        result = run_check(SOURCE_DIR)
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertIn("every include in its layer order", result.stdout)

    def test_a_planted_include_fails_with_its_file_and_line(self):
        cases = [
            ("upward", "src/files/print_output.cpp", '#include "console/console_output.h"', "higher layer console"),
            ("between the systems", "src/system/posix/process.cpp", '#include "system/windows/windows_headers.h"',
             "system/posix and system/windows never include each other"),
            ("a system header above", "src/text/text_pool.cpp", "#include <unistd.h>", "system header <unistd.h>"),
            ("an implementation seen from above", "src/files/disk_open.cpp",
             '#include "system/posix/posix_internal.h"', "only system/posix itself may include"),
        ]
        for name, path, include, complaint in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                shutil.copytree(SOURCE_DIR / "src", pathlib.Path(root) / "src")
                planted = pathlib.Path(root) / path
                lines = planted.read_text(encoding="utf-8").splitlines()
                lines.insert(1, include)
                planted.write_text("\n".join(lines) + "\n", encoding="utf-8")
                result = run_check(root)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(len(result.stdout.splitlines()), 1, result.stdout)
                self.assertTrue(result.stdout.startswith(f"{path}:2: "), result.stdout)
                self.assertIn(complaint, result.stdout)


if __name__ == "__main__":
    unittest.main()
