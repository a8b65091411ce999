#!/usr/bin/env python3
"""The tracker's Cursor on Target and GeoJSON feeds read by independent readers: CoT events
parsed with Python's XML parser against the tracker's state file, the GeoJSON and KML files
read by ogrinfo, and CoT input fed events as handheld clients write them, over multicast and
a TCP stream.

Run inside a private network namespace (tests/netns_run.sh): every multicast datagram stays on
the namespace's loopback.

usage: cot_feeds_test.py HALVEX PKTSEND
"""
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ET
from datetime import datetime, timezone

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from headless_tracker import Tracker, free_port, record_of  # noqa: E402
from polling import read, wait_for  # noqa: E402

HALVEX = PKTSEND = None
NODES = "".join("%d Unit %d\n" % (k, k) for k in range(1, 6))
SENT_IDS = (1, 2, 3, 4)  # node 5 never reports
GROUP = "239.2.3.1"
PREFS = "alert mediumIdle 2\nalert badIdle 4\n"  # lost after 4 s: the stale time
UNKNOWN = 9999999.0


def utc(text):
    return datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ").replace(
        tzinfo=timezone.utc).timestamp()


class Listener:
    """Collects the datagrams sent to GROUP:port, with their arrival times."""

    def __init__(self, port):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((GROUP, port))
        self.sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                             struct.pack("4s4s", socket.inet_aton(GROUP),
                                         socket.inet_aton("127.0.0.1")))
        self.sock.settimeout(0.2)
        self.events = []
        self.done = False
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        while not self.done:
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                continue
            self.events.append((time.time(), ET.fromstring(data)))

    def stop(self):
        self.done = True
        self.thread.join()
        self.sock.close()

    def last_of(self, uid):
        found = [e for e in self.events if e[1].get("uid") == uid]
        return found[-1] if found else None


def sender(ttl=1):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, ttl)
    s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton("127.0.0.1"))
    return s


def client_event(uid, callsign, lat, lon, remarks, when=None):
    """An event as a handheld client sends it, with the detail elements such clients add."""
    now = time.time() if when is None else when
    stamp = lambda t: datetime.fromtimestamp(t, timezone.utc).strftime("%Y-%m-%dT%H:%M:%S.%fZ")
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<event version="2.0" uid="%s" type="a-f-G-U-C" how="h-e" time="%s" start="%s" '
            'stale="%s"><point lat="%.7f" lon="%.7f" hae="212.3" ce="4.9" le="9999999.0"/>'
            '<detail><takv os="31" version="4.8.1" device="PHONE" platform="CIV"/>'
            '<contact endpoint="*:-1:stcp" callsign="%s"/><uid Droid="%s"/>'
            '<precisionlocation altsrc="GPS" geopointsrc="GPS"/>'
            '<__group role="Team Member" name="Cyan"/><status battery="87"/>'
            '<track course="271.5" speed="1.2"/><remarks>%s</remarks></detail></event>' % (
                uid, stamp(now), stamp(now), stamp(now + 300), lat, lon, callsign, callsign,
                remarks)).encode()


def ogr_points(path):
    """(lon, lat) of every feature ogrinfo reads from `path`, with its id property."""
    out = subprocess.run(["ogrinfo", "-ro", "-al", "-q", path], capture_output=True, text=True,
                         check=True).stdout
    points = {}
    for feature in out.split("OGRFeature(")[1:]:
        ident = re.search(r"^\s*id \(\w+\) = (\d+)", feature, re.M)
        point = re.search(r"POINT Z? ?\(([-\d.e]+) ([-\d.e]+)", feature)
        if ident and point:
            points[int(ident.group(1))] = (float(point.group(1)), float(point.group(2)))
    return points


class CotFeeds(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp()
        self.trackers = []

    def tearDown(self):
        for tracker in self.trackers:
            tracker.kill()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def start(self, name, io_lines, **kw):
        tracker = Tracker(HALVEX, os.path.join(self.scratch, name), NODES, io_lines, **kw)
        self.trackers.append(tracker)
        return tracker

    def test_output_events_and_geojson_match_the_node_table(self):
        port = free_port(socket.SOCK_DGRAM)
        listener = Listener(port)
        try:
            tracker = self.start("out", [
                "Active Input MULTICAST", "Active Output LOCAL_STATE",
                "Output LocalStateFile out.txt", "Active Output COT", "Output CotGroup " + GROUP,
                "Output CotPort %d" % port, "Output CotSite alpha", "Active Output GEOJSON",
                "Output GeoJsonFile feed.geojson"],
                files={"ports.mcp": "site 239.255.7.10 5592\n", "prefs.txt": PREFS},
                extra_master="PortFile ports.mcp\nPreferenceFile prefs.txt\n")
            self.assertIn("input multicast packets", tracker.proc.stdout.readline())
            subprocess.run([PKTSEND, "--group", "239.255.7.10", "--port", "5592", "--ids",
                            "1-4", "--count", "40", "--rate", "20", "--motion", "line",
                            "--heading", "90", "--speed", "50", "--lat", "-33.5", "--lon",
                            "151.25", "--comment1", "gate", "--comment2", "fuel low",
                            "--quiet"], check=True, timeout=10)
            out = tracker.path("out.txt")
            # The last fix of every node is in the state file, and its event has been heard.
            records = wait_for(lambda: [record_of(read(out), k) for k in SENT_IDS]
                               if all(listener.last_of("halvex.alpha.%d" % k) and
                                      record_of(read(out), k)[1] != "0.000000"
                                      for k in SENT_IDS) else None)
            self.assertIsNotNone(records, read(out))
            time.sleep(0.5)  # one more output period
            records = [record_of(read(out), k) for k in SENT_IDS]
            for k, record in zip(SENT_IDS, records):
                _, event = listener.last_of("halvex.alpha.%d" % k)
                self.assertEqual(
                    (event.tag, event.get("version"), event.get("type"), event.get("how")),
                    ("event", "2.0", "a-f-G-E-V", "m-g"))
                self.assertEqual(event.get("time"), event.get("start"))
                self.assertAlmostEqual(utc(event.get("stale")) - utc(event.get("time")), 4.0,
                                       places=3)
                point = event.find("point")
                self.assertAlmostEqual(float(point.get("lat")), float(record[1]), places=5)
                self.assertAlmostEqual(float(point.get("lon")), float(record[2]), places=5)
                for unknown in ("hae", "ce", "le"):
                    self.assertEqual(float(point.get(unknown)), UNKNOWN)
                detail = event.find("detail")
                self.assertEqual(detail.find("contact").get("callsign") + "*", record[9])
                self.assertEqual(detail.find("remarks").text, "gate; fuel low")
                track = detail.find("track")
                self.assertAlmostEqual(float(track.get("course")), 90.0, delta=2.0)
                self.assertAlmostEqual(float(track.get("speed")), 50.0, delta=2.5)
            self.assertIsNone(listener.last_of("halvex.alpha.5"))  # never reported

            # GeoJSON and KML as a map tool reads them: the reporting nodes where they are.
            for path in (tracker.path("feed.geojson"), tracker.path("feed.kml")):
                points = ogr_points(path)
                self.assertEqual(sorted(points), list(SENT_IDS), path)
                for k, record in zip(SENT_IDS, records):
                    self.assertAlmostEqual(points[k][0], float(record[2]), places=5)
                    self.assertAlmostEqual(points[k][1], float(record[1]), places=5)
            self.assertIn("feed.kml", read(tracker.path("feed-link.kml")))

            # Silent for longer than the lost threshold: each node is sent once more, stale.
            def lost_sent():
                last = [listener.last_of("halvex.alpha.%d" % k) for k in SENT_IDS]
                return all(utc(e.get("stale")) <= heard + 0.05 for heard, e in last)

            self.assertTrue(wait_for(lost_sent, 10))
            status, summary, _ = tracker.stop()
            self.assertEqual(status, 0)
            self.assertRegex(summary, r"CoT output: \d+ events sent, 0 failed")
        finally:
            listener.stop()

    def test_input_takes_client_events_by_multicast_and_tcp(self):
        port = free_port(socket.SOCK_DGRAM)
        server = socket.socket()
        server.bind(("127.0.0.1", 0))
        server.listen(1)
        tracker = self.start("in", [
            "Active Input COT", "Input CotGroup " + GROUP, "Input CotPort %d" % port,
            "Input CotTcp 127.0.0.1:%d" % server.getsockname()[1], "Active Output LOCAL_STATE",
            "Output LocalStateFile out.txt", "Active Output COT", "Output CotGroup " + GROUP,
            "Output CotPort %d" % port, "Output CotSite bravo"],
            files={"uids.txt": "# CoT uids\n2 ANDROID-fixed\nauto\n"},
            extra_master="CotNodes uids.txt\n")
        self.assertIn("input CoT events", tracker.proc.stdout.readline())
        server.settimeout(10)
        stream, _ = server.accept()
        out = tracker.path("out.txt")
        datagrams = sender()
        sent = [(b"\xbf\x01\xbf" + b"\x00" * 20, None),  # the binary framing: not read
                (b"<event version='2.0' uid='broken'><point", None),  # malformed
                (client_event("ANDROID-fixed", "Medic", -33.51, 151.26, "at the gate"), 2),
                (client_event("ANDROID-new", "Fox 1", -33.52, 151.27, "north"), 1),
                (client_event("halvex.bravo.4", "Echo", -33.9, 151.9, "own"), None)]
        for data, _ in sent:
            datagrams.sendto(data, (GROUP, port))
        # Two events back to back over the stream, cut at odd places.
        pair = (client_event("ANDROID-tcp", "Tango", -33.53, 151.28, "by tcp") + b"\n" +
                client_event("ANDROID-tcp", "Tango", -33.54, 151.29, "by tcp"))
        for k in range(0, len(pair), 97):
            stream.sendall(pair[k:k + 97])
            time.sleep(0.01)
        expected = {2: (-33.51, 151.26, "Medic", "at the gate"), 1: (-33.52, 151.27, "Fox 1", "north"),
                    3: (-33.54, 151.29, "Tango", "by tcp")}

        def applied():
            text = read(out)
            records = {k: record_of(text, k) for k in expected}
            return records if all(r and r[1] != "0.000000" for r in records.values()) else None

        records = wait_for(applied)
        self.assertIsNotNone(records, read(out))
        for k, (lat, lon, name, remarks) in expected.items():
            self.assertAlmostEqual(float(records[k][1]), lat, places=5)
            self.assertAlmostEqual(float(records[k][2]), lon, places=5)
            self.assertEqual(records[k][7], remarks)
            self.assertEqual(records[k][9], name + "*")
        self.assertEqual(record_of(read(out), 4)[1], "0.000000")  # own uid: ignored
        # The new uids took the lowest free ids, in the file for the next start.
        self.assertEqual(re.findall(r"^(\d+) (\S+)$", read(tracker.path("uids.txt")), re.M),
                         [("2", "ANDROID-fixed"), ("1", "ANDROID-new"), ("3", "ANDROID-tcp")])
        stream.close()
        server.close()
        status, summary, errors = tracker.stop()
        self.assertEqual(status, 0)
        counts = re.search(r"CoT input: (\d+) events received, (\d+) applied, (\d+) dropped, "
                           r"(\d+) ignored, (\d+) binary", summary)
        self.assertIsNotNone(counts, summary)
        self.assertEqual((counts.group(3), counts.group(5)), ("1", "1"), summary)
        self.assertEqual(errors.count("binary"), 1, errors)


if __name__ == "__main__":
    HALVEX, PKTSEND = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
