#!/usr/bin/env python3
"""Recording, export and replay end to end with real processes: packets from pktsend recorded by
the headless tracker, exported by trackexport, and replayed by another headless tracker.

Run inside a private network namespace (tests/netns_run.sh): packets go to a group on the
namespace's loopback only. The trackers run in a zone far from UTC, so that a time taken from
the local calendar instead of UTC shows.

usage: history_test.py HALVEX PKTSEND TRACKEXPORT
"""
import csv
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from polling import read, wait_for  # noqa: E402

HALVEX = PKTSEND = TRACKEXPORT = None
GROUP, PORT = "239.255.7.9", 5519
NODES = "1 Command post\n2 Recovery truck\n3 Scout\n4 Medic\n"
# Packet times read as New York time (as the tracker reads them) run into the hour that summer
# time skips there.
START = "2026-03-08T01:59:50"
START_SECONDS = 1772935190
ENV = dict(os.environ, TZ="America/New_York")


def write_setup(folder):
    files = {
        "nodes.txt": NODES,
        "ports.mcp": "north %s %d\n" % (GROUP, PORT),
        "io.txt": "Active Input MULTICAST\nActive Output LOCAL_STATE\nOutput LocalStateFile out.txt\n",
        "master.cfg": "NodeFile nodes.txt\nPortFile ports.mcp\nWWWFile io.txt\n",
    }
    for name, text in files.items():
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)


RUNNING = []  # trackers to kill when a test fails before it stops them


def start_tracker(folder, *options):
    proc = subprocess.Popen([HALVEX, "--headless", "--output-rate", "5pps", *options,
                             os.path.join(folder, "master.cfg")],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=ENV)
    proc.stdout.readline()  # the start-up line
    RUNNING.append(proc)
    return proc


def send(count, rate, comment1="north gate", start=START):
    subprocess.run([PKTSEND, "--group", GROUP, "--port", str(PORT), "--ids", "1-4", "--count",
                    str(count), "--rate", str(rate), "--start", start, "--step", "1",
                    "--comment1", comment1, "--quiet"], check=True, env=ENV)


def records(text):
    """State records by id: the fields that a replay must give back (the age aside)."""
    out = {}
    for line in text.splitlines():
        if line.startswith("$"):
            fields = line.rstrip("*").split(",")
            out[int(fields[0][1:])] = fields[1:6] + fields[7:]
    return out


def export(path, fmt, *options):
    return subprocess.run([TRACKEXPORT, path, "--format", fmt, *options], capture_output=True,
                          text=True)


class History(unittest.TestCase):
    def tearDown(self):
        while RUNNING:
            proc = RUNNING.pop()
            if proc.poll() is None:
                proc.kill()
            proc.communicate()
    def test_record_export_and_replay_give_back_the_live_run(self):
        with tempfile.TemporaryDirectory() as folder:
            write_setup(folder)
            track = os.path.join(folder, "track.hxr")
            live = start_tracker(folder, "--record", track)
            send(200, 400, "north gate")
            send(40, 400, "at the ford", "2026-03-08T02:00:40")  # 10 more rounds
            time.sleep(0.6)
            live.send_signal(signal.SIGTERM)
            out, err = live.communicate(timeout=10)
            self.assertEqual(live.returncode, 0, err)
            self.assertIn("recorded 240 fixes", out)
            live_state = records(read(os.path.join(folder, "out.txt")))
            self.assertEqual(len(live_state), 4)

            # Every packet once, at its UTC packet time, whatever the tracker's zone.
            result = export(track, "csv")
            self.assertEqual(result.returncode, 0, result.stderr)
            rows = list(csv.reader(result.stdout.splitlines()[2:]))
            self.assertEqual(len(rows), 240)
            seen = sorted((int(r[0]), round(float(r[2]))) for r in rows)
            expected = sorted((i, START_SECONDS + k) for i in range(1, 5) for k in range(50)) + \
                sorted((i, START_SECONDS + 50 + k) for i in range(1, 5) for k in range(10))
            self.assertEqual(seen, sorted(expected))
            self.assertTrue(any(r[3] == "2026-03-08T02:00:00.000Z" for r in rows))

            # The replay ends with what the live run ended with.
            os.remove(os.path.join(folder, "out.txt"))
            replay = start_tracker(folder, "--replay", track, "--speed", "64")
            lines = []
            while not any("replay reached the end" in l for l in lines) and replay.poll() is None:
                lines.append(replay.stdout.readline())
            self.assertIn("replay reached the end", "".join(lines))
            time.sleep(0.6)  # two more state files
            replay.send_signal(signal.SIGTERM)
            replay.communicate(timeout=10)
            self.assertEqual(records(read(os.path.join(folder, "out.txt"))), live_state)

    def test_a_recording_being_written_is_exported_and_replayed_meanwhile(self):
        with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as other:
            write_setup(folder)
            write_setup(other)
            track = os.path.join(folder, "track.hxr")
            live = start_tracker(folder, "--record", track)
            sender = subprocess.Popen([PKTSEND, "--group", GROUP, "--port", str(PORT), "--ids",
                                       "1-4", "--count", "800", "--rate", "200", "--start",
                                       START, "--step", "1", "--quiet"], env=ENV)
            time.sleep(1.5)
            result = export(track, "csv")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertGreater(len(result.stdout.splitlines()), 2 + 100)
            replay = start_tracker(other, "--replay", track, "--speed", "4")
            sender.wait(timeout=20)
            time.sleep(0.6)
            live.send_signal(signal.SIGTERM)
            out, _ = live.communicate(timeout=10)
            self.assertIn("recorded 800 fixes", out)
            live_state = records(read(os.path.join(folder, "out.txt")))
            # The replay follows the recording as it grows, up to its last fix.
            self.assertTrue(wait_for(
                lambda: records(read(os.path.join(other, "out.txt"))) == live_state, 15))

    def test_a_killed_recorder_leaves_everything_older_than_a_second(self):
        with tempfile.TemporaryDirectory() as folder:
            write_setup(folder)
            track = os.path.join(folder, "track.hxr")
            live = start_tracker(folder, "--record", track)
            send(400, 400)
            time.sleep(1.5)
            live.send_signal(signal.SIGKILL)
            live.communicate(timeout=10)
            # The replay of the cut recording and its export run while nothing closed it.
            result = export(track, "gpx")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(result.stdout.count("<trkpt"), 400)
            result = export(track, "csv", "--nodes", "2", "--from", str(START_SECONDS + 10),
                            "--to", "2026-03-08T02:00:09Z")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(len(result.stdout.splitlines()), 2 + 10)


def main():
    global HALVEX, PKTSEND, TRACKEXPORT
    HALVEX, PKTSEND, TRACKEXPORT = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main()


if __name__ == "__main__":
    main()
