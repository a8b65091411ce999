#!/usr/bin/env python3
"""dunmore's progress line: drawn on standard error when that is a terminal (here a
pseudo-terminal), cleared before every other text reaches the terminal and at the end, and never
written to a file; the CSV file is the same either way.

usage: progress_line_test.py DUNMORE
"""
import os
import pty
import re
import subprocess
import sys
import tempfile
import unittest

DUNMORE = None
REPORT = b"071230Dec ZONE 38S ambush on convoy at GR MB 12345 67890. Two hit.\n"
BROKEN = b"071230Dec\n071231Dec hit.\n"
PROGRESS = re.compile(rb"(dunmore: \d+ of \d+ files done, \d+%)? *")


def on_terminal(args, cwd):
    """Runs dunmore with standard output and error on one pseudo-terminal; what it showed."""
    master, slave = pty.openpty()
    child = subprocess.Popen([DUNMORE, *args], cwd=cwd, stdout=slave, stderr=slave)
    os.close(slave)
    shown = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # EIO: the child has closed the terminal
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    child.wait(timeout=30)
    return shown.replace(b"\r\n", b"\n")


class ProgressLine(unittest.TestCase):
    def test_drawn_and_cleared_on_a_terminal_only(self):
        with tempfile.TemporaryDirectory() as d:
            names = []
            for i, text in enumerate([REPORT * 2000, BROKEN, REPORT * 3000, REPORT]):
                names.append(f"f{i}.cast")
                with open(os.path.join(d, names[-1]), "wb") as f:
                    f.write(text)
            args = ["--listing", *names]
            to_files = subprocess.run([DUNMORE, "--csv", "file.csv", *args], cwd=d,
                                      capture_output=True, timeout=30)
            self.assertNotIn(b"files done", to_files.stderr)
            self.assertEqual(to_files.stderr, b"f1.cast: 1: Syntax error\n")

            shown = on_terminal(["--csv", "tty.csv", *args], d)
            pieces = shown.split(b"\r")
            drawn = [p for p in pieces if p.startswith(b"dunmore: ")]
            self.assertTrue(drawn, shown[:300])
            self.assertTrue(all(PROGRESS.fullmatch(p) for p in drawn), drawn)
            # A drawn line is drawn over or cleared, so that every other text starts on a
            # line of its own, and the last one is cleared.
            for piece, after in zip(pieces, pieces[1:]):
                if piece.startswith(b"dunmore: "):
                    self.assertTrue(PROGRESS.fullmatch(after), after[:80])
                elif not PROGRESS.fullmatch(after):
                    self.assertRegex(piece, rb"^ *$|\n$", after[:80])
            self.assertFalse(pieces[-1].startswith(b"dunmore: "))
            # Nothing else was lost or mixed: the same lines as with files.
            rest = b"".join(p for p in pieces if not PROGRESS.fullmatch(p))
            self.assertEqual(sorted(rest.splitlines()),
                             sorted((to_files.stdout + to_files.stderr).splitlines()))
            with open(os.path.join(d, "file.csv"), "rb") as a, \
                    open(os.path.join(d, "tty.csv"), "rb") as b:
                self.assertEqual(a.read(), b.read())


if __name__ == "__main__":
    DUNMORE = sys.argv.pop(1)
    unittest.main()
