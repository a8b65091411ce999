#!/usr/bin/env python3
"""End-to-end runs of `halvex --headless`: multicast packets, a local state file and a remote
HTTP server in, a state file out, and a clean end on SIGINT or SIGTERM.

Run inside a private network namespace (tests/netns_run.sh): the multicast cases send to
groups on the namespace's loopback only.

usage: headless_test.py HALVEX PKTSEND
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from polling import read, wait_for  # noqa: E402

HALVEX = PKTSEND = None
RAW_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "streams",
                          "raw_http_server.py")
RUNNING = []  # trackers to kill when a test fails before stopping them

NODES = "1 Command post\n2 Recovery truck\n3 Scout\n"


class Tracker:
    """A headless tracker on a configuration written into a scratch folder."""

    def __init__(self, folder, io_lines, extra_master="", options=()):
        self.folder = folder
        with open(os.path.join(folder, "nodes.txt"), "w") as f:
            f.write(NODES)
        with open(os.path.join(folder, "io.txt"), "w") as f:
            f.write("\n".join(io_lines) + "\n")
        with open(os.path.join(folder, "master.cfg"), "w") as f:
            f.write("NodeFile nodes.txt\nWWWFile io.txt\n" + extra_master)
        # Started from elsewhere: names in the configuration are relative to its folder.
        self.proc = subprocess.Popen(
            [HALVEX, "--headless", *options, os.path.join(folder, "master.cfg")],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd="/")
        self.banner = self.proc.stdout.readline()
        RUNNING.append(self)

    def output(self):
        return read(os.path.join(self.folder, "out.txt"))

    def stop(self, sig=signal.SIGTERM):
        """Signals the tracker and returns (exit status, rest of its output)."""
        self.proc.send_signal(sig)
        out, _ = self.proc.communicate(timeout=10)
        RUNNING.remove(self)
        return self.proc.returncode, out

    def kill(self):
        self.proc.kill()
        self.proc.communicate()


def record_of(text, node_id):
    match = re.search(r"^\$%03d,.*$" % node_id, text, re.M)
    return match.group(0).split(",") if match else None


def heard_record(tracker, node_id):
    """The node's record once it holds a position (all nodes are written from the start)."""
    record = record_of(tracker.output(), node_id)
    return record if record and record[1] != "0.000000" else None


class HeadlessTracker(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.dir = self.scratch.name

    def tearDown(self):
        while RUNNING:
            RUNNING.pop().kill()
        self.scratch.cleanup()

    def folder(self, name):
        path = os.path.join(self.dir, name)
        os.makedirs(path, exist_ok=True)
        return path

    def assert_complete(self, text):
        self.assertTrue(text.startswith("<dgc>\n") and text.endswith("</dgc>\n"), text)

    def test_multicast_packets_in_state_file_out_on_two_trackers(self):
        # Two trackers on one host join the same group and both follow it.
        trackers = []
        for name in ("a", "b"):
            folder = self.folder(name)
            with open(os.path.join(folder, "ports.mcp"), "w") as f:
                f.write("# name group port\nnorth 239.255.7.1 5501\n")
            trackers.append(Tracker(
                folder,
                ["Active Input MULTICAST", "Active Output LOCAL_STATE",
                 "Output LocalStateFile out.txt"],
                extra_master="PortFile ports.mcp\n", options=("--output-rate", "5pps")))
        for tracker in trackers:
            self.assertIn("3 nodes, 1 ports, input multicast packets", tracker.banner)
        subprocess.run([PKTSEND, "--group", "239.255.7.1", "--port", "5501", "--ids", "1-2",
                        "--count", "20", "--rate", "200", "--lat", "10", "--lon", "20",
                        "--radius", "0", "--speed", "0", "--quiet"], check=True, timeout=10)
        for tracker in trackers:
            record = wait_for(lambda: heard_record(tracker, 2))
            self.assertIsNotNone(record, tracker.output())
            self.assertAlmostEqual(float(record[1]), 10.0, places=4)
            self.assertAlmostEqual(float(record[2]), 20.0, places=4)
            self.assertEqual(record[5], "0")  # alive: computed, not relayed
            self.assertEqual(record[7], "pktsend")
            self.assertEqual(record_of(tracker.output(), 3)[5], "2")  # never heard: lost
        for tracker in trackers:
            status, out = tracker.stop()
            self.assertEqual(status, 0)
            self.assertIn("stopped on signal %d" % signal.SIGTERM, out)
            self.assert_complete(tracker.output())

    def test_local_state_file_in_relays_status_and_age(self):
        folder = self.folder("local")
        with open(os.path.join(folder, "in.txt"), "w") as f:
            f.write("<dgc>\n$003,-33.500000,151.250000,1765195200,500,1,7.500,ridge,watching,"
                    "Scout*\n</dgc>\n")
        tracker = Tracker(folder, ["Active Input LOCAL_STATE", "Input LocalStateFile in.txt",
                                   "Active Output LOCAL_STATE", "Output LocalStateFile out.txt"],
                          options=("--local-rate", "5 pps", "--output-rate", "5 pps"))
        self.assertIn("input local state file, state file out.txt", tracker.banner)
        record = wait_for(lambda: heard_record(tracker, 3))
        self.assertIsNotNone(record, tracker.output())
        self.assertEqual(record[1:3], ["-33.500000", "151.250000"])
        self.assertEqual(record[5:9], ["1", "7.500", "ridge", "watching"])
        status, out = tracker.stop(signal.SIGINT)
        self.assertEqual(status, 0)
        self.assertIn("stopped on signal %d" % signal.SIGINT, out)

    def test_remote_http_state_in_state_file_out(self):
        served = self.folder("served")
        with open(os.path.join(served, "state.txt"), "w") as f:
            f.write("<dgc>\n$001,51.500000,-0.125000,1765195200,0,0,0.250,gate,parked,"
                    "Command post*\n</dgc>\n<REFRESH> 1\n")
        server = subprocess.Popen(
            [sys.executable, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
             "--directory", served], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            text=True)
        try:
            port = re.search(r"port (\d+)", server.stdout.readline()).group(1)
            folder = self.folder("remote")
            tracker = Tracker(folder, ["Active Input REMOTE_STATE", "Input RemoteIp 127.0.0.1",
                                       "Input RemotePort " + port,
                                       "Input RemoteStateFile /state.txt",
                                       "Active Output LOCAL_STATE",
                                       "Output LocalStateFile out.txt"],
                              options=("--remote-rate", "1 spp", "--output-rate", "5pps"))
            record = wait_for(lambda: heard_record(tracker, 1), seconds=8)
            self.assertIsNotNone(record, tracker.output())
            self.assertEqual(record[1:3], ["51.500000", "-0.125000"])
            self.assertEqual(record[6:9], ["0.250", "gate", "parked"])
            status, _ = tracker.stop()
            self.assertEqual(status, 0)
        finally:
            server.terminate()
            server.communicate()

    def test_ends_promptly_on_a_signal_while_the_server_stalls(self):
        # The server sends the start of a body and then nothing, holding the connection open.
        body = os.path.join(self.dir, "partial")
        with open(body, "w") as f:
            f.write("HTTP/1.0 200 OK\r\n\r\n<dgc>\n")
        server = subprocess.Popen(
            [sys.executable, RAW_SERVER, "--body", body, "--stall"], stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, text=True)
        try:
            port = server.stdout.readline().strip()
            tracker = Tracker(self.folder("stalled"),
                              ["Active Input REMOTE_STATE", "Input RemoteIp 127.0.0.1",
                               "Input RemotePort " + port, "Input RemoteStateFile /s.txt"],
                              options=("--remote-rate", "1 spp"))
            time.sleep(2.5)  # a fetch is held by the server by now
            start = time.monotonic()
            status, out = tracker.stop()
            self.assertEqual(status, 0)
            self.assertLess(time.monotonic() - start, 2.0)
            self.assertIn("stopped on signal", out)
        finally:
            server.kill()
            server.communicate()

    def test_usage_errors(self):
        for args in ([], ["--local-rate", "3 pps", "m.cfg"], ["--bogus", "m.cfg"],
                     ["a.cfg", "b.cfg"]):
            result = subprocess.run([HALVEX, "--headless", *args], capture_output=True,
                                    text=True, timeout=10)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("Usage: halvex --headless", result.stderr)


if __name__ == "__main__":
    HALVEX, PKTSEND = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
