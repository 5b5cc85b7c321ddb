"""The dialogue while the terminal changes size (tmux, starting at 80 x 25).

The console's buffer keeps the size it had at the start; the terminal shows
the part of it that holds the cursor and the whole of it again once it is
large enough. The name on screen is always the name that is used.
"""

import os
import threading
import unittest

from lumetra_harness import HEADER, LIMIT, PaneTest, logger_lines, needs_terminal, program

SUMMARY = "  Vorgang abgeschlossen. Es wurden %d Datens\u00e4tze geschrieben."


@needs_terminal
class Resize(PaneTest):

    def expect_prompt_line(self, text, cursor_column=None):
        """The prompt's row shows text, with the cursor right after it or in
        the given column (waiting for the repaint after a resize)."""
        pane = self.pane
        column = len(text) if cursor_column is None else cursor_column
        pane.wait_for(lambda: pane.line(text) == text and pane.cursor() == (column, pane.row_of(text)),
                      "%r with the cursor in column %d" % (text, column))

    def expect_rows(self, first, rows):
        """The screen's rows from first on are rows."""
        pane = self.pane
        pane.wait_for(lambda: pane.rows()[first:] == rows, "the rows %r" % rows)

    def test_fewer_rows_keep_the_prompt_and_the_typed_name_in_view(self):
        self.copy_sample()
        # Shell output first, so that the first prompt stands on the last row.
        pane = self.start("seq 1 21; " + program())
        pane.wait_for_prompt("Quelldatei:")
        self.assertEqual(pane.row_of("  Quelldatei:"), 24)
        pane.text("pv-")
        self.expect_prompt_line("  Quelldatei:  pv-")
        pane.resize(80, 24)
        self.expect_prompt_line("  Quelldatei:  pv-")
        pane.text("log")
        self.expect_prompt_line("  Quelldatei:  pv-log")
        pane.resize(80, 12)
        self.expect_prompt_line("  Quelldatei:  pv-log")
        self.assertEqual(pane.row_of("  Quelldatei:"), 11)
        pane.text(".csv")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("ziel.txt")
        pane.keys("Enter")
        self.expect_rows(6, ["  Quelldatei:  pv-log.csv", "  Zieldatei:   ziel.txt", "", "  Konvertiere...",
                             SUMMARY % 1440, ""])
        pane.resize(80, 25)
        self.expect_rows(17, ["  Photovoltaik-Datenkonverter", "", "  Quelldatei:  pv-log.csv", "  Zieldatei:   ziel.txt",
                              "", "  Konvertiere...", SUMMARY % 1440, ""])
        pane.keys("x")
        self.assertEqual(pane.wait_for_exit(), 0)

    def test_narrow_and_wide_again_shows_the_name_that_is_used(self):
        self.copy_sample()
        pane = self.start()
        pane.wait_for_prompt("Quelldatei:")
        pane.text("pv-log.csv")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("pv-log-ziel-1.txt")
        pane.wait_for_text("pv-log-ziel-1.txt")
        pane.resize(30, 25)
        # The view holds the cursor: the end of the name.
        pane.wait_for(lambda: pane.cursor()[0] < 30 and "ziel-1.txt" in pane.screen(), "the name's end in view")
        pane.keys("Home")
        pane.text("a")
        self.expect_prompt_line("  Zieldatei:   apv-log-ziel-1.", 16)
        pane.keys("End")
        pane.text("b")
        pane.wait_for(lambda: "ziel-1.txtb" in pane.screen(), "the b after the name")
        row = pane.rows()[pane.cursor()[1]]
        self.assertEqual(row[:pane.cursor()[0]].rstrip().split()[-1][-11:], "ziel-1.txtb")
        pane.resize(80, 25)
        self.expect_prompt_line("  Zieldatei:   apv-log-ziel-1.txtb")
        pane.keys("Enter")
        self.assertEqual(self.finish(), 0)
        self.assertEqual(self.read("apv-log-ziel-1.txtb").count(b"\r\n"), 1440)

    def test_narrowing_during_a_conversion_keeps_the_whole_summary(self):
        self.write("quelle.csv", HEADER + logger_lines(20000))
        # The target is a pipe that the test reads: the conversion waits
        # while the test does not read, and the terminal is narrowed then.
        target = os.path.join(self.folder, "ziel.fifo")
        os.mkfifo(target)
        received = []
        go = threading.Event()

        def read_target():
            with open(target, "rb") as file:
                go.wait(LIMIT)
                received.append(file.read())

        reader = threading.Thread(target=read_target, daemon=True)
        reader.start()
        pane = self.start()
        pane.wait_for_prompt("Quelldatei:")
        pane.text("quelle.csv")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("ziel.fifo")
        pane.keys("Enter")
        pane.wait_for_text("Konvertiere...")
        pane.resize(30, 25)
        go.set()
        reader.join(LIMIT)
        self.assertEqual(len(received), 1)
        self.assertEqual(received[0].count(b"\r\n"), 20000)
        pane.wait_for_text("  Vorgang abgeschlossen.")
        pane.resize(80, 25)
        pane.wait_for(lambda: pane.line("  Vorgang") == SUMMARY % 20000, "the whole summary")
        pane.keys("x")
        self.assertEqual(pane.wait_for_exit(), 0)


if __name__ == "__main__":
    unittest.main()
