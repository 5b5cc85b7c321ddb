"""The line of the source that stopped a conversion, in the line after the
abort message on a real terminal (tmux, 80 x 25): its number as sed counts
it and its start, cut to the terminal's width, unprintable bytes shown as
\\xNN. With standard error redirected the message stays as it always was."""

import sys
import unittest

import resetting_input
from lumetra_harness import HEADER, LIMITED, PaneTest, abort_text, logger_lines, long_line_log, needs_terminal, program


# What stops the conversion: the log, the command's start and its arguments,
# the runtime error, the line of the program that raises it, and the line
# shown after the message before it is cut to 79 columns.
CASES = [
    ("a fifth field on line 48213, beyond the first megabyte",
     HEADER + logger_lines(48211) + b"120000;1.0;2.0;3.0;4.0\t\x84;" + b"9" * 100 + b"\r\n" + logger_lines(5000), "",
     "log.csv out.txt", 6, 44, "  Zeile 48213 der Quelldatei: 120000;1.0;2.0;3.0;4.0\\x09\\x84;" + "9" * 100),
    ("a line too long for memory", long_line_log, LIMITED, "log.csv out.txt", 4, 30,
     "  Zeile 1002 der Quelldatei: 1;" + "7" * 100),
    ("a source whose connection is reset inside line 3", HEADER + b"1;2;3;4\r\n5;6;7",
     "%s %s log.csv " % (sys.executable, resetting_input.__file__), "- out.txt", 3, 58,
     "  Zeile 3 der Quelldatei: 5;6;7"),
]


@needs_terminal
class SourceLineTest(PaneTest):
    def run_on_terminal(self, start, arguments, code):
        """The screen's rows after the run, a row that wrapped joined again."""
        pane = self.start("%s%s %s" % (start, program(), arguments))
        self.assertEqual(pane.wait_for_exit(), code)
        return pane.rows(joined=True)

    def test_the_line_after_the_abort_message(self):
        for name, log, start, arguments, code, line, note in CASES:
            with self.subTest(name):
                if start == LIMITED:
                    self.skip_unless_limited()
                self.write("log.csv", log() if callable(log) else log)
                message = abort_text(code, line).decode()
                rows = self.run_on_terminal(start, arguments, code)
                shown = rows.index(message)
                self.assertEqual(rows[shown:shown + 3], [message, "", note[:79]], "\n".join(rows))

                rows = self.run_on_terminal(start, arguments + " 2>errors.txt", code)
                self.assertNotIn(message, rows)
                self.assertEqual(self.read("errors.txt"), b"\r\n" + message.encode() + b"\r\n\r\n")


if __name__ == "__main__":
    unittest.main()
