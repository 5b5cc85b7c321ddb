"""A terminal that cannot be drawn on (TERM dumb or unset), in tmux.

The names are typed in the terminal's own line mode: its echo shows them and
its erase key corrects them, so the screen shows the names that are used.
"""

import unittest

from lumetra_harness import PaneTest, needs_terminal, program


@needs_terminal
class DumbTerminal(PaneTest):

    def convert_with_typos(self, environment):
        self.copy_sample()
        pane = self.start(program(environment))
        pane.wait_for_text("Quelldatei:")
        pane.text("pv-lgo")
        pane.keys("BSpace", "BSpace")
        pane.text("og.csv")
        pane.keys("Enter")
        pane.wait_for_text("Zieldatei:")
        pane.text("ziel.txx")
        pane.keys("BSpace")
        pane.text("t")
        pane.keys("Enter")
        pane.wait_for_text("geschrieben.")
        self.assertEqual(pane.rows()[:8], ["", "  Photovoltaik-Datenkonverter", "", "  Quelldatei:  pv-log.csv",
                                           "  Zieldatei:   ziel.txt", "", "  Konvertiere...",
                                           "  Vorgang abgeschlossen. Es wurden 1440 Datens\u00e4tze geschrieben."])
        # The key that ends the final wait is taken at once, without Enter.
        pane.keys("x")
        self.assertEqual(pane.wait_for_exit(), 0)
        self.assertEqual(self.read("ziel.txt").count(b"\r\n"), 1440)

    def test_term_dumb(self):
        self.convert_with_typos("TERM=dumb LANG=C.UTF-8")

    def test_term_unset(self):
        self.convert_with_typos("-u TERM LANG=C.UTF-8")


if __name__ == "__main__":
    unittest.main()
