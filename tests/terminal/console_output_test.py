"""Console output on a real terminal (tmux, 80 x 25).

Runs the built binary ($LUMETRA_BINARY) with the file names redirected from a
file and standard output on the terminal, and reads the screen with its
colours: the banner in yellow, everything else in the terminal's default
colours, the summary with its a-umlaut shown as such.
"""

import re
import unittest

from lumetra_harness import PaneTest, needs_terminal, program

SOURCE = "Zeit;Wert1;Wert2;Wert3\n08:00:00;1.5;2.5;3.5\n08:00:10;1.6;2.6;3.6\n"
SGR = re.compile(r"\x1b\[([0-9;]*)m")
DEFAULT_COLOURS = {"", "0", "39", "49", "39;49"}


@needs_terminal
class ConsoleOutputOnTerminal(PaneTest):

    def test_banner_in_yellow_then_default_colours_and_the_summary_umlaut(self):
        self.write("quelle.csv", SOURCE)
        self.write("names.txt", "quelle.csv\nziel.txt\n")
        pane = self.start(program() + " < names.txt")
        self.assertEqual(pane.wait_for_exit(), 0)
        self.assertEqual(self.read("ziel.txt").count(b"\r\n"), 2)
        rows = pane.screen(colours=True).splitlines()

        text = [SGR.sub("", row) for row in rows]
        self.assertEqual(text[1], "  Photovoltaik-Datenkonverter", "\n".join(text))
        self.assertEqual(SGR.findall(rows[1]), ["93"], repr(rows[1]))
        for number, row in enumerate(rows):
            if number != 1:
                self.assertLessEqual(set(SGR.findall(row)), DEFAULT_COLOURS, "row %d: %r" % (number, row))
        summary = [row for row in text if "Vorgang abgeschlossen" in row]
        self.assertEqual(summary, ["  Vorgang abgeschlossen. Es wurden 2 Datens\u00e4tze geschrieben."])


if __name__ == "__main__":
    unittest.main()
