"""What lumetra.exe does that the Linux build does not: it refuses the names
that NTFS takes for streams, opens paths longer than MAX_PATH, and answers
the help the way Windows users ask for it and read it."""

from lumetra_harness import BANNER, LOG, RECORDS, LumetraCase, abort_message, finished_output


class StreamNameTest(LumetraCase):
    # The arguments (None: the names piped in), the abort's line (None:
    # converted), the files the folder holds afterwards.
    def test_a_colon_after_the_drive_names_no_file(self):
        folder = str(self.folder).replace("/", "\\")
        sources = ["messung 12:30.csv", "source.csv"]
        cases = [
            (["source.csv", "messung 12:30.txt"], 17, sources),
            (None, 17, sources),
            (["messung 12:30.csv", "out.txt"], 16, sources),
            (["source.csv", "out.txt::$DATA"], 17, sources),
            (["source.csv", "Z:" + folder + "\\out.txt"], None, sources + ["out.txt"]),
            (["source.csv", "\\\\?\\Z:" + folder + "\\out.txt"], None, sources + ["out.txt"]),
        ]
        for arguments, line, listing in cases:
            with self.subTest(arguments=arguments):
                for path in self.folder.iterdir():
                    path.unlink()
                for name in sources:
                    self.write(name, LOG)
                if arguments is None:
                    result = self.run_names(b"source.csv\nmessung 12:30.txt\n")
                else:
                    result = self.run_arguments(*arguments)
                if line is None:
                    self.assert_run(result, finished_output(3))
                    self.assertEqual(self.read("out.txt"), RECORDS)
                else:
                    self.assert_run(result, BANNER, 2, abort_message(2, line))
                self.assertEqual(sorted(path.name for path in self.folder.iterdir()), sorted(listing))


class LongPathTest(LumetraCase):
    # Wine opens any length, so this shows the long form at work, not the
    # limit of Windows that it lifts.
    def test_paths_beyond_max_path_are_converted(self):
        deep = "/".join(["Messungen-%02d-Wechselrichter" % n for n in range(12)])
        self.write(deep + "/pv-log.csv", LOG)
        self.assertGreater(len(str(self.folder / deep)), 300)
        result = self.run_arguments(deep + "/pv-log.csv", deep + "\\..\\" + deep.rsplit("/", 1)[1] + "/out.txt")
        self.assert_run(result, finished_output(3))
        self.assertEqual(self.read(deep + "/out.txt"), RECORDS)


class HelpTest(LumetraCase):
    # The help leaves out "-" for the standard streams, which Windows
    # refuses, and names the manual that comes with lumetra.exe.
    def test_help_names_what_this_build_does(self):
        answers = {option: self.run_arguments(option) for option in ["--help", "-h", "/?"]}
        for option, result in answers.items():
            with self.subTest(option=option):
                self.assertEqual((result.code, result.stderr, result.stdout), (0, b"", answers["--help"].stdout))
        usage = answers["--help"].stdout
        self.assertTrue(usage.startswith(b"Usage: lumetra\n"), usage)
        for part in [b"lumetra SOURCE TARGET", b"64 wrong usage", b"Manual: lumetra.txt beside lumetra.exe\n"]:
            self.assertIn(part, usage)
        for part in [b"standard input", b"standard output", b"man lumetra"]:
            self.assertNotIn(part, usage)
        self.assertEqual(self.run_arguments("a.csv", "/?", "b.txt").stdout, usage)
