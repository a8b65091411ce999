#!/usr/bin/env python3
"""The windowed tracker as a program, under a virtual X server: its splash process lives and
ends with it, closing the main window ends both, and it relays a local state file into its state
file exactly as the headless tracker does.

usage: window_test.py HALVEX DEMO_FOLDER   (run under tests/xvfb_run.sh)
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from polling import wait_for  # noqa: E402
from x11_close import close_window  # noqa: E402

HALVEX = DEMO = None
TITLE = "Kestrane / Polvarin: Wayloom:  Version 0.15 - Mon Sep 12 11:40:05 2005"


def windows(*search):
    result = subprocess.run(["xdotool", "search", *search], capture_output=True, text=True)
    return result.stdout.split()


def children(pid):
    result = subprocess.run(["pgrep", "-P", str(pid)], capture_output=True, text=True)
    return [int(p) for p in result.stdout.split()]


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")
    except OSError:
        return []


def close_main_window():
    """Closes the main window as an operator does with the window manager's close button."""
    found = windows("--name", "Wayloom")
    if not found:
        return False
    return close_window(found[0])


class WindowedTracker(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.procs = []

    def tearDown(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.scratch.cleanup()

    def demo_copy(self, name):
        folder = os.path.join(self.scratch.name, name)
        shutil.copytree(DEMO, folder)
        return folder

    def start(self, *args, cwd):
        proc = subprocess.Popen([HALVEX, *args], cwd=cwd, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        self.procs.append(proc)
        return proc

    def test_splash_starts_with_the_tracker_and_ends_when_its_window_is_closed(self):
        tracker = self.start("demo.cfg", cwd=self.demo_copy("splash"))
        self.assertTrue(wait_for(lambda: windows("--name", "Wayloom")), "no main window")
        splash = wait_for(lambda: [p for p in children(tracker.pid)
                                   if b"TeSt" in command_line(p)])
        self.assertTrue(splash, "no splash process")
        self.assertTrue(close_main_window())
        out, _ = tracker.communicate(timeout=15)
        self.assertEqual(tracker.returncode, 0, out)
        self.assertTrue(wait_for(lambda: not os.path.exists("/proc/%d" % splash[0])
                                 or b"" == b"".join(command_line(splash[0])), 5))
        self.assertIn("Creating splash Utility", out)
        self.assertIn("Finished with splash utility stuff", out)

    def test_relays_the_local_state_file_as_the_headless_tracker_does(self):
        windowed_dir = self.demo_copy("windowed")
        headless_dir = self.demo_copy("headless")
        windowed = self.start("demo.cfg", cwd=windowed_dir)
        headless = self.start("--headless", "demo.cfg", cwd=headless_dir)
        state = lambda d: os.path.join(d, "state.txt")
        self.assertTrue(wait_for(lambda: os.path.exists(state(windowed_dir))
                                 and os.path.exists(state(headless_dir))))
        time.sleep(1.5)  # a few more periods
        self.assertTrue(close_main_window())
        windowed.communicate(timeout=15)
        headless.send_signal(signal.SIGTERM)
        headless.communicate(timeout=15)
        with open(state(windowed_dir)) as a, open(state(headless_dir)) as b:
            written = a.read()
            self.assertEqual(written, b.read())
        self.assertIn("$006,32.709500,-117.168500,0,0,2,20.000,depot,,Supply truck 2*", written)

    def test_first_argument_beginning_with_a_dash_is_no_configuration(self):
        tracker = self.start("-x", cwd=self.demo_copy("dash"))
        self.assertTrue(wait_for(lambda: windows("--name", "Wayloom")))
        self.assertTrue(close_main_window())
        tracker.communicate(timeout=15)
        self.assertEqual(tracker.returncode, 0)


if __name__ == "__main__":
    HALVEX, DEMO = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
