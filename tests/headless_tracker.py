"""Headless trackers for the Python end-to-end tests: a configuration written into a scratch
folder, the tracker started on it, and its state file read back."""
import os
import re
import signal
import socket
import subprocess


def free_port(kind=socket.SOCK_STREAM):
    """A port of `kind` free on 127.0.0.1 now."""
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def record_of(text, node_id):
    """The fields of node `node_id`'s state record in a state file's text, or None."""
    match = re.search(r"^\$%03d,.*$" % node_id, text, re.M)
    return match.group(0).split(",") if match else None


class Tracker:
    """`halvex --headless` on NODES, the definitions lines `io_lines` and any further files
    (name: text), started from elsewhere: the configuration's names are relative to its
    folder."""

    def __init__(self, halvex, folder, nodes, io_lines, files=None, extra_master="",
                 options=("--output-rate", "5pps")):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        files = dict(files or {})
        files["nodes.txt"] = nodes
        files["io.txt"] = "\n".join(io_lines) + "\n"
        files["master.cfg"] = "NodeFile nodes.txt\nWWWFile io.txt\n" + extra_master
        for name, text in files.items():
            with open(os.path.join(folder, name), "w") as f:
                f.write(text)
        self.proc = subprocess.Popen(
            [halvex, "--headless", *options, os.path.join(folder, "master.cfg")],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd="/")

    def path(self, name):
        return os.path.join(self.folder, name)

    def stop(self):
        """Ends the tracker with SIGTERM; returns (exit status, standard output, standard
        error)."""
        self.proc.send_signal(signal.SIGTERM)
        out, err = self.proc.communicate(timeout=10)
        return self.proc.returncode, out, err

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.communicate()
