#!/usr/bin/env python3
"""Two sites joined through two real brokers: a headless tracker fed by multicast publishes
node states to broker A, broker A bridges them to broker B, and a headless tracker subscribed
at broker B writes every node into its state file with its position.

Run inside a private network namespace (tests/netns_run.sh): the multicast packets and both
brokers stay on the namespace's loopback.

usage: mqtt_sites_test.py HALVEX PKTSEND
"""
import os
import pwd
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from headless_tracker import Tracker, free_port, record_of  # noqa: E402
from polling import read, wait_for  # noqa: E402

HALVEX = PKTSEND = None
MOSQUITTO = shutil.which("mosquitto") or "/usr/sbin/mosquitto"

NODES = "".join("%d Unit %d\n" % (k, k) for k in range(1, 6))
SENT_IDS = (1, 2, 3, 4)  # node 5 never reports


def accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return True
    except OSError:
        return False


class Broker:
    """A mosquitto broker on a free port, with the configuration lines given."""

    def __init__(self, folder, name, extra=""):
        self.port = free_port()
        conf = os.path.join(folder, name + ".conf")
        with open(conf, "w") as f:
            # Run as root, the broker would switch to the mosquitto user and lose the folder.
            f.write("listener %d 127.0.0.1\nallow_anonymous true\npersistence false\n"
                    "user %s\n%s" % (self.port, pwd.getpwuid(os.getuid()).pw_name, extra))
        self.proc = subprocess.Popen([MOSQUITTO, "-c", conf], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        if not wait_for(lambda: accepts(self.port), 5):
            raise RuntimeError("mosquitto did not start on port %d" % self.port)

    def stop(self):
        self.proc.terminate()
        self.proc.communicate(timeout=10)


class MqttSites(unittest.TestCase):
    def test_states_cross_a_bridge_from_site_broker_to_central_broker(self):
        with tempfile.TemporaryDirectory() as scratch:
            central = Broker(scratch, "central")
            # The site broker forwards the node topics to the central one, as a site would.
            site = Broker(scratch, "site", "connection site-to-central\naddress 127.0.0.1:%d\n"
                          "topic halvex/# out 1\n" % central.port)
            trackers = []
            try:
                viewer = Tracker(HALVEX, os.path.join(scratch, "viewer"), NODES, [
                    "Active Input MQTT", "Input MqttHost 127.0.0.1",
                    "Input MqttPort %d" % central.port, "Active Output LOCAL_STATE",
                    "Output LocalStateFile out.txt"])
                trackers.append(viewer)
                publisher_folder = os.path.join(scratch, "site")
                os.makedirs(publisher_folder, exist_ok=True)
                with open(os.path.join(publisher_folder, "ports.mcp"), "w") as f:
                    f.write("site 239.255.7.9 5591\n")
                publisher = Tracker(HALVEX, publisher_folder, NODES, [
                    "Active Input MULTICAST", "Active Output MQTT",
                    "Output MqttHost 127.0.0.1", "Output MqttPort %d" % site.port],
                    extra_master="PortFile ports.mcp\n")
                trackers.append(publisher)
                self.assertIn("input multicast packets", publisher.proc.stdout.readline())
                self.assertIn("input MQTT node states", viewer.proc.stdout.readline())
                # Let both connect, then one round of packets for every sending node.
                time.sleep(1.0)
                subprocess.run([PKTSEND, "--group", "239.255.7.9", "--port", "5591", "--ids",
                                ",".join(map(str, SENT_IDS)), "--count", "40", "--rate", "100",
                                "--lat", "-33.5", "--lon", "151.25", "--radius", "0",
                                "--speed", "0", "--comment1", "gate", "--quiet"],
                               check=True, timeout=10)
                out = os.path.join(viewer.folder, "out.txt")

                def all_arrived():
                    text = read(out)
                    records = [record_of(text, k) for k in SENT_IDS]
                    if all(r and r[1] != "0.000000" for r in records):
                        return records
                    return None

                records = wait_for(all_arrived)
                self.assertIsNotNone(records, read(out))
                for k, record in zip(SENT_IDS, records):
                    self.assertAlmostEqual(float(record[1]), -33.5, places=5)
                    self.assertAlmostEqual(float(record[2]), 151.25, places=5)
                    self.assertEqual(record[5], "0", record)  # alive from its fix time
                    self.assertEqual(record[7], "gate")
                    self.assertEqual(record[9], "Unit %d*" % k)
                self.assertEqual(record_of(read(out), 5)[1], "0.000000")  # never reported
                status, published, _ = publisher.stop()
                trackers.remove(publisher)
                self.assertEqual(status, 0)
                self.assertRegex(published, r"MQTT output \S+: \d+ messages published")
                status, received, _ = viewer.stop()
                trackers.remove(viewer)
                self.assertEqual(status, 0)
                counts = re.search(r"MQTT input: (\d+) messages received, (\d+) applied, "
                                   r"(\d+) dropped", received)
                self.assertIsNotNone(counts, received)
                self.assertGreaterEqual(int(counts.group(2)), len(SENT_IDS))
                self.assertEqual(counts.group(3), "0")
            finally:
                for tracker in trackers:
                    tracker.proc.kill()
                    tracker.proc.communicate()
                site.stop()
                central.stop()


if __name__ == "__main__":
    HALVEX, PKTSEND = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
