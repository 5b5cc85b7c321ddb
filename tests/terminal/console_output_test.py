"""Console output on a real terminal (tmux, 80 x 25).

Runs the built binary ($LUMETRA_BINARY) with the file names redirected from a
file and standard output on the terminal, and reads the screen with its
colours: the banner in yellow, everything else in the terminal's default
colours, the summary with its a-umlaut shown as such.
"""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

BINARY = os.environ.get("LUMETRA_BINARY", "")
TMUX = shutil.which("tmux")
SOURCE = "Zeit;Wert1;Wert2;Wert3\n08:00:00;1.5;2.5;3.5\n08:00:10;1.6;2.6;3.6\n"
SGR = re.compile(r"\x1b\[([0-9;]*)m")
DEFAULT_COLOURS = {"", "0", "39", "49", "39;49"}


def run_redirected(folder):
    """Runs the converter in a fresh tmux server until it ends; returns the
    coloured screen rows and the exit code. tmux notes the end of the program
    on the pane's last row, which may push the top row into the history, so
    the rows are read from the history on."""
    socket = "lumetra-output-%d" % os.getpid()
    config = os.path.join(folder, "tmux.conf")
    with open(config, "w") as file:
        file.write("set -g remain-on-exit on\n")
    tmux = [TMUX, "-u", "-L", socket]
    # The shell notes the exit code: tmux does not always keep a dead pane's.
    command = "env LANG=C.UTF-8 %s < names.txt; echo $? > exit-code" % BINARY
    subprocess.run(tmux + ["-f", config, "new-session", "-d", "-s", "main", "-x", "80", "-y", "25", "-c", folder,
                           command], check=True)
    try:
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            dead = subprocess.run(tmux + ["display", "-p", "-t", "main", "#{pane_dead}"], check=True,
                                  capture_output=True, text=True).stdout.strip()
            if dead == "1":
                screen = subprocess.run(tmux + ["capture-pane", "-p", "-e", "-S", "-", "-t", "main"], check=True,
                                        capture_output=True, text=True).stdout
                rows = [row for row in screen.splitlines() if not SGR.sub("", row).startswith("Pane is dead")]
                with open(os.path.join(folder, "exit-code")) as file:
                    return rows[:25], int(file.read())
            time.sleep(0.05)
        raise AssertionError("the converter did not end within 20 s")
    finally:
        subprocess.run(tmux + ["kill-server"], capture_output=True)


@unittest.skipUnless(TMUX, "tmux is not installed")
@unittest.skipUnless(BINARY, "LUMETRA_BINARY is not set")
class ConsoleOutputOnTerminal(unittest.TestCase):

    def test_banner_in_yellow_then_default_colours_and_the_summary_umlaut(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "quelle.csv"), "w") as file:
                file.write(SOURCE)
            with open(os.path.join(folder, "names.txt"), "w") as file:
                file.write("quelle.csv\nziel.txt\n")
            rows, exit_code = run_redirected(folder)
            self.assertEqual(exit_code, 0)
            with open(os.path.join(folder, "ziel.txt"), "rb") as file:
                self.assertEqual(file.read().count(b"\r\n"), 2)

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
