"""lumetra.exe in wine's console on a real terminal (tmux, 80 x 25).

Runs $LUMETRA_BINARY through $LUMETRA_RUNNER (wine) in a tmux pane of the
terminal tests' harness, types the file names with editing keys and reads
the screen with its colours. Wine's console reads Home and End only as the
xterm sequences CSI H and CSI F, so those two are typed as bytes.

Ending from outside: Ctrl+C is typed; wine's console has no Ctrl+Break key
and sends no close event, so control_event.exe ($LUMETRA_CONTROL_EVENT)
starts the program and delivers those events the way Windows does.

The user's colours: console_attribute.exe ($LUMETRA_CONSOLE_ATTRIBUTE) sets
them, runs the program in the same console and reads back the attributes
it left.
"""

import os
import shlex
import time
import unittest

from lumetra_harness import (BINARY, INTERRUPT, RUNNER, TERMINATION, PaneTest, abort_message, assert_whole_records,
                             needs_terminal, numbered_log, program_errors, wait_until_written)

CONTROL_EVENT = os.environ.get("LUMETRA_CONTROL_EVENT", "")
CONSOLE_ATTRIBUTE = os.environ.get("LUMETRA_CONSOLE_ATTRIBUTE", "")
SOURCE = b"Zeit;Wert1;Wert2;Wert3\r\n12:00:01;1.5;2;3\r\n12:00:02;4;5;6\r\n"
HOME = ("1b", "5b", "48")
END = ("1b", "5b", "46")
LARGE_LOG, LARGE_LOG_RECORDS = numbered_log(100_000)


def windows_program(*arguments, errors="2>errors.txt"):
    """The shell command that runs lumetra.exe (or control_event.exe with
    lumetra.exe and its arguments) under wine, standard error to errors.txt
    (or as `errors` redirects it)."""
    return "env LANG=C.UTF-8 %s %s" % (" ".join(shlex.quote(word) for word in RUNNER + list(arguments)), errors)


def windows_path(path):
    """A Unix path as Windows programs under wine name it."""
    return "Z:" + path.replace("/", "\\")


@needs_terminal
@unittest.skipUnless(RUNNER, "needs LUMETRA_RUNNER, the runner of Windows programs")
class WineConsoleTest(PaneTest):
    def start_program(self, *arguments, errors="2>errors.txt"):
        pane = self.start(windows_program(BINARY, *arguments, errors=errors))
        pane.wait_for_text("Photovoltaik-Datenkonverter")
        return pane

    def start_with_event(self, event, *arguments):
        """lumetra.exe under control_event.exe, which delivers the event once
        the file "cue" exists."""
        pane = self.start(windows_program(CONTROL_EVENT, "cue", event, BINARY, *arguments))
        pane.wait_for_text("Photovoltaik-Datenkonverter")
        return pane

    def send_event(self):
        self.write("cue", "")

    def remove_files(self, *names):
        for name in names:
            if os.path.exists(os.path.join(self.folder, name)):
                os.remove(os.path.join(self.folder, name))

    def errors(self):
        return program_errors(self.read("errors.txt"))

    def type_names(self, source, target):
        self.pane.wait_for_prompt("Quelldatei:")
        self.pane.text(source)
        self.pane.keys("Enter")
        self.pane.wait_for_text("Zieldatei:")
        self.pane.text(target)
        self.pane.keys("Enter")

    def test_banner_in_yellow_and_prompts(self):
        pane = self.start_program()
        pane.wait_for_text("Quelldatei:")
        rows = pane.screen(colours=True).splitlines()
        banner = next(row for row in rows if "Photovoltaik-Datenkonverter" in row)
        self.assertIn("\x1b[93m", banner.split("Photovoltaik")[0], "yellow before the banner")
        self.assertEqual(rows.index(banner), 1, "the banner stands on the second row")
        self.assertEqual(pane.rows()[3], "  Quelldatei:")

    def test_typed_names_with_editing_keys_and_the_final_wait(self):
        self.write("M\u00e4rz.csv", SOURCE)
        pane = self.start_program()
        pane.wait_for_prompt("Quelldatei:")
        pane.text("Mrz.csvv")
        pane.keys("BSpace", *["Left"] * 6)
        pane.text("\u00e4")
        pane.bytes(*END)
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("ut.txt")
        pane.bytes(*HOME)
        pane.text("o")
        pane.bytes(*END)
        pane.keys("Enter")
        pane.wait_for_text("Es wurden 2 Datens\u00e4tze geschrieben.")
        screen = pane.screen()
        self.assertIn("  Quelldatei:  M\u00e4rz.csv\n", screen)
        self.assertIn("  Zieldatei:   out.txt\n", screen)
        self.assertEqual(self.read("out.txt"), b"$1;1;43201;1,5;2;3;0\r\n$1;1;43202;4;5;6;0\r\n")
        time.sleep(0.5)
        self.assertFalse(pane.dead(), "waits for a key after the summary")
        pane.text("x")
        self.assertEqual(pane.wait_for_exit(), 0)

    def test_ctrl_c_at_a_prompt_ends_with_9(self):
        pane = self.start_program()
        pane.wait_for_prompt("Quelldatei:")
        pane.text("abc")
        pane.keys("C-c")
        self.assertEqual(pane.wait_for_exit(), 9)
        self.assertEqual(self.errors(), INTERRUPT)

    # ---- A console of its own -------------------------------------------------------

    # Started from Explorer, lumetra.exe is the only program in a console
    # window that closes with it, as it is in wine's console here: after an
    # abort in the dialogue it waits for a key, so that the message can be
    # read. Started from cmd, whose console stays, it ends at once.
    def test_an_abort_waits_for_a_key_only_in_a_console_of_its_own(self):
        missing = abort_message(2, 16)
        pane = self.start_program(errors="")
        self.type_names("missing.csv", "out.txt")
        pane.wait_for_text(missing.strip().decode())
        time.sleep(0.5)
        self.assertFalse(pane.dead(), "waits for a key after the message")
        pane.text("x")
        self.assertEqual(pane.wait_for_exit(), 2)
        pane.close()
        pane = self.start(windows_program("cmd", "/c", windows_path(BINARY)))
        pane.wait_for_text("Photovoltaik-Datenkonverter")
        self.type_names("missing.csv", "out.txt")
        self.assertEqual(pane.wait_for_exit(), 2)
        self.assertEqual(self.errors(), missing)

    # ---- The user's colours ----------------------------------------------------------

    # White on blue, as cmd's "color 1F" sets it: the dialogue's light grey
    # on black is shown in those colours, the banner's yellow on their blue,
    # and their attribute is the console's again after every way out.
    def test_the_users_colours_stay(self):
        self.write("source.csv", SOURCE)
        banner = "1E   Photovoltaik-Datenkonverter"
        cases = [
            ("normal end", ["source.csv", "out.txt"], "",
             [banner, "1F   Konvertiere...", "1F   Vorgang abgeschlossen. Es wurden 2 Datens\u00e4tze geschrieben."], 0),
            ("runtime error", ["missing.csv", "out.txt"], "", [banner], 2),
            ("Ctrl+C", [], "C-c", [banner, "1F   Quelldatei:"], 9),
            ("Ctrl+Break", [CONTROL_EVENT, "cue", "break", BINARY], "cue", [banner, "1F   Quelldatei:"], 13),
            ("closing console", [CONTROL_EVENT, "cue", "close", BINARY], "cue", [banner, "1F   Quelldatei:"], 13),
        ]
        for case, arguments, end, rows, code in cases:
            with self.subTest(case=case):
                self.remove_files("result.txt", "cue")
                program = arguments if arguments[:1] == [CONTROL_EVENT] else [BINARY] + arguments
                pane = self.start(windows_program(CONSOLE_ATTRIBUTE, "1F", "result.txt", *program))
                pane.wait_for_text("Photovoltaik-Datenkonverter")
                if end:
                    pane.wait_for_prompt("Quelldatei:")
                    self.send_event() if end == "cue" else pane.keys(end)
                self.assertEqual(pane.wait_for_exit(), code)
                self.assertEqual(self.read("result.txt").decode().splitlines(), rows + ["end 1F"])
                pane.close()

    def test_the_source_line_follows_an_abort_message_in_the_console(self):
        self.write("source.csv", "Zeit\r\n1;2;3;4\r\n5;6;7;8;9\tx\r\n")
        pane = self.start(windows_program(BINARY, "source.csv", "out.txt", errors=""))
        self.assertEqual(pane.wait_for_exit(), 6)
        self.assertIn("\n\n  Zeile 3 der Quelldatei: 5;6;7;8;9\\x09x\n", pane.screen())

    # ---- Ending a conversion from outside ------------------------------------------

    def wait_for_records(self):
        """Waits until the conversion has written its first records (in
        batches of 1 MiB, with the log's last line still to come)."""
        wait_until_written(self.folder / "out.txt", 0)

    def assert_whole_records(self):
        """Whole records, the conversion ended before the last one."""
        assert_whole_records(self, self.read("out.txt"), LARGE_LOG_RECORDS, len(LARGE_LOG_RECORDS) - 1)

    # In the dialogue, alone in its console: the abort that Ctrl+C asked for
    # does not wait for a key.
    def test_ctrl_c_during_a_conversion_leaves_whole_records(self):
        self.feed("large.csv", LARGE_LOG)
        pane = self.start_program()
        self.type_names("large.csv", "out.txt")
        self.wait_for_records()
        pane.keys("C-c")
        self.assertEqual(pane.wait_for_exit(), 9)
        self.assertEqual(self.errors(), INTERRUPT)
        self.assert_whole_records()

    def test_break_and_close_during_a_conversion_leave_whole_records(self):
        for event in ["break", "close"]:
            with self.subTest(event=event):
                self.remove_files("cue", "out.txt")
                self.feed("large.csv", LARGE_LOG)
                pane = self.start_with_event(event, "large.csv", "out.txt")
                self.wait_for_records()
                self.send_event()
                self.assertEqual(pane.wait_for_exit(), 13)
                self.assertEqual(self.errors(), TERMINATION)
                self.assert_whole_records()
                pane.close()

    # The close handler's key ends the final wait; the run still ends as a
    # termination request, not as a normal end.
    def test_closing_the_console_during_the_final_wait_ends_with_13(self):
        self.write("source.csv", SOURCE)
        pane = self.start_with_event("close")
        self.type_names("source.csv", "out.txt")
        pane.wait_for_text("Es wurden 2 Datens\u00e4tze geschrieben.")
        self.send_event()
        self.assertEqual(pane.wait_for_exit(), 13)
        self.assertEqual(self.errors(), TERMINATION)
        self.assertEqual(self.read("out.txt"), b"$1;1;43201;1,5;2;3;0\r\n$1;1;43202;4;5;6;0\r\n")


if __name__ == "__main__":
    unittest.main()
