#!/usr/bin/env python3
"""The converter as a window program under a virtual X server, driven with xdotool as an operator
would: report files added through the chooser by typing their names, the rows seen on screen, a
conversion compared byte for byte with the command line's, the popup below a row, and closing.

usage: window_program_test.py DUNMORE   (run under tests/xvfb_run.sh)
"""
import ctypes
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from polling import wait_for  # noqa: E402

DUNMORE = None
CHOOSER_TITLE = "Save the current Filter settings"
REPORT = b"071230Dec ZONE 38S ambush on convoy at GR MB 12345 67890. Two hit.\n"
OTHER_REPORT = b"071231Dec hit.\n"
BROKEN_REPORT = b"071230Dec\n071231Dec hit.\n"
FAR = (1000, 800)  # over the bare root window
# Rows lie in the pack's frame, one below the other (window coordinates).
ROW_X, ROW_Y, ROW_H, NAME_X = 1, 26, 20, 41
POPUP_SIZE = (191, 33)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                          check=False).stdout


def visible_windows():
    return [int(w) for w in xdotool("search", "--onlyvisible", "--name", "").split()]


def geometry(window):
    """(x, y, w, h) of a window on the screen."""
    text = xdotool("getwindowgeometry", window)
    pos = re.search(r"Position: (-?\d+),(-?\d+)", text)
    size = re.search(r"Geometry: (\d+)x(\d+)", text)
    if not pos or not size:
        return None
    return tuple(int(v) for v in pos.groups() + size.groups())


def press(x, y, button=1):
    """A press held as long as a hand holds it, longer than the program's polling period."""
    xdotool("mousemove", x, y, "mousedown", button)
    time.sleep(0.3)
    xdotool("mouseup", button)


def screen_pixels():
    """The screen as (width, height, RGB bytes)."""
    ppm = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True,
                         check=True).stdout
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
    width, height = int(header.group(1)), int(header.group(2))
    return width, height, ppm[header.end():]


def dark_pixels(shot, x0, y0, x1, y1):
    """Pixels of text colour in the rectangle [x0, x1) x [y0, y1) of a screenshot."""
    width, _, data = shot
    count = 0
    for y in range(y0, y1):
        row = data[(y * width + x0) * 3:(y * width + x1) * 3]
        count += sum(1 for i in range(0, len(row), 3) if sum(row[i:i + 3]) < 150)
    return count


def send_close(window):
    """Asks the window to close, as a window manager's close button does."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(None)
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


class WindowProgram(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        root = os.path.realpath(self.scratch.name)
        self.run_dir = os.path.join(root, "run")
        os.makedirs(self.run_dir)
        os.makedirs(os.path.join(root, "reports"))
        for name, text in [("run/b.cast", OTHER_REPORT), ("run/a.cast", REPORT),
                           ("run/broken.cast", BROKEN_REPORT), ("reports/day1.cast", REPORT)]:
            with open(os.path.join(root, name), "wb") as f:
                f.write(text)
        self.out_path = os.path.join(root, "stdout.txt")
        self.err_path = os.path.join(root, "stderr.txt")
        xdotool("mousemove", *FAR)
        self.base = set(visible_windows())  # the root window
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen([DUNMORE], cwd=self.run_dir, stdout=out, stderr=err,
                                         stdin=subprocess.DEVNULL)
        self.main = wait_for(lambda: [w for w in visible_windows()
                                      if (geometry(w) or (0, 0, 0, 0))[2:] == (363, 140)])
        self.assertTrue(self.main, "no converter window")
        self.main = self.main[0]
        self.origin = geometry(self.main)[:2]

    def tearDown(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.scratch.cleanup()

    def at(self, x, y):
        """Screen position of a point of the main window."""
        return self.origin[0] + x, self.origin[1] + y

    def output(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def errors(self):
        with open(self.err_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def others(self, known):
        return [w for w in visible_windows() if w not in known]

    def choose_from_menu(self, index):
        """Opens "file" and picks its index-th shown item."""
        known = set(visible_windows())
        xdotool("mousemove", *self.at(20, 12), "click", 1)
        menus = wait_for(lambda: [w for w in self.others(known) if geometry(w)[3] > 30], 5)
        self.assertTrue(menus, "the file menu did not open")
        x, y, w, h = geometry(menus[0])
        xdotool("mousemove", x + w // 2, y + h * (2 * index + 1) // 4, "click", 1)

    def chooser(self):
        found = wait_for(lambda: xdotool("search", "--onlyvisible", "--name",
                                         CHOOSER_TITLE).split(), 5)
        self.assertTrue(found, "no chooser")
        return int(found[0])

    def type_in_chooser(self, *steps):
        """Types each step into the chooser's file name and presses Return: folders are
        entered one at a time, the last step is the file."""
        chooser = self.chooser()
        xdotool("windowfocus", "--sync", chooser)
        for step in steps:
            xdotool("key", "End")
            xdotool("type", "--delay", 20, step)
            xdotool("key", "Return")
            time.sleep(0.3)
        self.assertTrue(wait_for(lambda: chooser not in visible_windows(), 5),
                        "the chooser stayed open")

    def add_report(self, *steps):
        self.choose_from_menu(0)
        self.type_in_chooser(*steps)

    def convert(self, name):
        """Converts into `name`; returns the message window, still open."""
        known = set(visible_windows())
        self.choose_from_menu(1)
        self.type_in_chooser(name)
        box = wait_for(lambda: self.others(known), 10)
        self.assertTrue(box, "no message")
        return box[0]

    def dismiss(self, box):
        xdotool("windowfocus", "--sync", box)
        xdotool("key", "Return")
        self.assertTrue(wait_for(lambda: box not in visible_windows(), 5))

    def command_line(self, csv, *files):
        return subprocess.run([DUNMORE, "--csv", csv, *files], cwd=self.run_dir,
                              capture_output=True, text=True)

    def rows_with_text(self):
        xdotool("mousemove", *FAR)
        time.sleep(0.2)
        shot = screen_pixels()
        rows = []
        for i in range(4):
            x0, y0 = self.at(NAME_X + 2, ROW_Y + i * ROW_H + 3)
            rows.append(dark_pixels(shot, x0, y0, x0 + 150, y0 + ROW_H - 5) > 0)
        return rows

    def close(self):
        start = time.monotonic()
        send_close(self.main)
        self.proc.wait(timeout=10)
        return time.monotonic() - start

    def test_reports_added_through_the_chooser_convert_as_the_command_line_does(self):
        self.add_report("b.cast")
        self.add_report("..", "reports", "day1.cast")  # lies elsewhere
        self.add_report("..", "run", "b.cast")  # listed already
        self.assertEqual(self.rows_with_text(), [True, True, False, False])

        box = self.convert("out.csv")
        self.assertTrue(wait_for(lambda: "Reports converted" in self.output(), 5))
        self.assertEqual(self.output(), "Reports converted into CSV file named out.csv\n")
        self.dismiss(box)
        cli = self.command_line("cli.csv", "b.cast", "../reports/day1.cast")
        self.assertEqual(cli.returncode, 0, cli.stderr)
        with open(os.path.join(self.run_dir, "out.csv"), "rb") as a, \
                open(os.path.join(self.run_dir, "cli.csv"), "rb") as b:
            written = a.read()
            self.assertEqual(written, b.read())
        self.assertEqual(written.count(b"\n"), 4)
        self.assertEqual(self.errors(), "")
        self.assertLess(self.close(), 1.0)
        self.assertEqual(self.proc.returncode, 0)

    def test_a_file_that_fails_is_reported_as_on_the_command_line(self):
        self.add_report("broken.cast")
        self.add_report("a.cast")
        box = self.convert("out.csv")
        cli = self.command_line("cli.csv", "broken.cast", "a.cast")
        self.assertEqual(cli.returncode, 1)
        self.assertEqual(cli.stderr, "broken.cast: 1: Syntax error\n")
        self.assertTrue(wait_for(lambda: "Reports converted" in self.output(), 5))
        # What the command line says, and then what the operator is told.
        self.assertEqual(self.errors(), cli.stderr)
        self.assertEqual(self.output(),
                         cli.stdout + "Reports converted into CSV file named out.csv\n\n"
                         "1 of 2 report files could not be read to their end (reports before an "
                         "error are kept):\nbroken.cast: 1: Syntax error\n")
        self.dismiss(box)
        with open(os.path.join(self.run_dir, "out.csv"), "rb") as a, \
                open(os.path.join(self.run_dir, "cli.csv"), "rb") as b:
            self.assertEqual(a.read(), b.read())

    def test_cancelled_conversion_does_nothing(self):
        self.add_report("a.cast")
        self.choose_from_menu(1)
        chooser = self.chooser()
        xdotool("windowfocus", "--sync", chooser)
        xdotool("key", "Escape")
        self.assertTrue(wait_for(lambda: chooser not in visible_windows(), 5))
        time.sleep(0.5)
        self.assertEqual(self.others(self.base | {self.main}), [])
        self.assertEqual(self.output(), "")
        self.assertEqual(sorted(os.listdir(self.run_dir)), ["a.cast", "b.cast", "broken.cast"])

    def test_right_press_shows_the_popup_below_the_row_until_a_press_elsewhere(self):
        self.add_report("a.cast")
        self.add_report("b.cast")
        known = set(visible_windows())
        press(*self.at(150, ROW_Y + ROW_H + ROW_H // 2), button=3)  # the second row
        popup = wait_for(lambda: [w for w in self.others(known)
                                  if geometry(w)[2:] == POPUP_SIZE], 5)
        self.assertTrue(popup, "no popup")
        popup = popup[0]
        time.sleep(0.2)
        self.assertIn(popup, visible_windows())
        self.assertEqual(geometry(popup)[:2], self.at(ROW_X, ROW_Y + 2 * ROW_H))
        width, _, data = screen_pixels()
        x, y = self.at(ROW_X + 20, ROW_Y + 2 * ROW_H + 10)
        self.assertEqual(tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]), (255, 0, 0))

        press(*FAR)
        self.assertTrue(wait_for(lambda: popup not in visible_windows(), 2),
                        "the popup stayed after a press elsewhere")

    def test_closing_the_window_ends_the_program_promptly(self):
        self.assertLess(self.close(), 1.0)
        self.assertEqual(self.proc.returncode, 0)
        self.assertEqual(self.output(), "")


class WithoutDisplay(unittest.TestCase):
    def test_the_program_says_it_has_no_display_and_shows_the_command_line(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        done = subprocess.run([DUNMORE], env=env, capture_output=True, text=True, timeout=10)
        self.assertEqual(done.returncode, 1)
        self.assertTrue(done.stderr.startswith("dunmore: cannot open the display"), done.stderr)
        self.assertIn("Usage: dunmore --csv OUT.csv", done.stderr)


if __name__ == "__main__":
    DUNMORE = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
