"""Waiting for what another process does, and reading what it wrote, for the Python tests."""
import time


def wait_for(predicate, seconds=10.0, step=0.05):
    """Polls predicate until it holds or the time is up; returns its last value."""
    limit = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() > limit:
            return value
        time.sleep(step)


def read(path):
    """The text of the file at path, or "" while it cannot be read."""
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""
