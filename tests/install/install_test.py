#!/usr/bin/env python3
"""The programs installed into a scratch prefix with `cmake --install`, and that prefix moved:
every file lands in its folder, the desktop entries and the project type validate, the programs
answer --help and --version and find their shared data from where they are, and the windowed
tracker, started without arguments, opens on the world map and keeps its files in the XDG
folders.

usage: install_test.py BUILD_DIR SOURCE_DIR VERSION   (run under tests/xvfb_run.sh)
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from x11_close import close_window  # noqa: E402

BUILD = SOURCE = VERSION = None
PROGRAMS = ["halvex", "dunmore", "geoconv", "pktsend", "simulate", "trackexport"]
INSTALLED = [
    *["bin/" + p for p in PROGRAMS],
    *["share/man/man1/%s.1.gz" % p for p in PROGRAMS],
    "share/applications/halvex.desktop", "share/applications/dunmore.desktop",
    "share/icons/hicolor/scalable/apps/halvex.svg", "share/icons/hicolor/scalable/apps/dunmore.svg",
    "share/mime/packages/halvex.xml",
    "share/halvex/world-maps.txt", "share/halvex/demo/fleet.cfg",
    "share/halvex/demo/icons/vehicle.sgi", "share/halvex/samples/reports.cast",
    "share/doc/halvex/copyright", "share/doc/halvex/changelog.gz",
]


def wait_for(predicate, seconds=20.0):
    limit = time.monotonic() + seconds
    while not predicate():
        if time.monotonic() > limit:
            return False
        time.sleep(0.1)
    return True


class InstalledPrograms(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        installed = os.path.join(cls.scratch.name, "installed")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", installed], check=True,
                       stdout=subprocess.DEVNULL)
        # Installed programs find their data from their own place: a moved prefix still works.
        cls.prefix = os.path.join(cls.scratch.name, "moved")
        os.rename(installed, cls.prefix)
        cls.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(cls.scratch.name, "config"),
                       XDG_CACHE_HOME=os.path.join(cls.scratch.name, "cache"))

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def path(self, name):
        return os.path.join(self.prefix, name)

    def test_every_file_is_in_its_folder_and_the_desktop_files_validate(self):
        for name in INSTALLED:
            self.assertTrue(os.path.isfile(self.path(name)), name)
        entries = glob.glob(self.path("share/applications/*.desktop"))
        check = subprocess.run(["desktop-file-validate", *entries], capture_output=True, text=True)
        self.assertEqual((check.returncode, check.stdout + check.stderr), (0, ""))
        # The project type: a file manager's MIME database maps *.mpr to it.
        mime = self.path("share/mime")
        subprocess.run(["update-mime-database", mime], check=True, capture_output=True)
        with open(os.path.join(mime, "globs2")) as globs:
            self.assertIn("application/x-halvex-project:*.mpr", globs.read())
        with open(self.path("share/applications/halvex.desktop")) as entry:
            self.assertIn("MimeType=application/x-halvex-project;", entry.read())

    def test_programs_answer_help_and_version(self):
        script = os.path.join(SOURCE, "tests/tools/program_options_test.sh")
        run = subprocess.run(["bash", script, self.path("bin"), VERSION], capture_output=True,
                             text=True)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)

    def test_simulate_drives_the_demo_fleet_of_its_own_prefix(self):
        state = os.path.join(self.scratch.name, "fleet-state.txt")
        subprocess.run([self.path("bin/simulate"), "--file", state, "--duration", "0.5"],
                       check=True, capture_output=True, env=self.env)
        with open(state) as f, open(self.path("share/halvex/demo/fleet-nodes.txt")) as nodes:
            written = f.read()
            first = next(line for line in nodes if line.strip() and not line.startswith("#"))
        self.assertIn(first.split(None, 1)[1].strip(), written)

    def run_tracker(self, args, env, drawn):
        """Starts the installed tracker, waits until `drawn` holds, closes its window."""
        tracker = subprocess.Popen([self.path("bin/halvex"), *args], cwd=self.scratch.name,
                                   env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   text=True)
        try:
            self.assertTrue(wait_for(drawn, 60), "nothing drawn")
            # The map may be cached before the window is mapped: wait for the window too.
            def windows():
                return subprocess.run(["xdotool", "search", "--name", "Wayloom"],
                                      capture_output=True, text=True).stdout.split()
            wait_for(windows, 20)
            found = windows()
            self.assertTrue(found and close_window(found[0]))
            out, _ = tracker.communicate(timeout=20)
        finally:
            if tracker.poll() is None:
                tracker.kill()
                tracker.wait()
        self.assertEqual(tracker.returncode, 0, out)

    def test_tracker_opens_on_the_world_map_with_its_files_in_the_xdg_folders(self):
        env = self.env
        # The world image is decoded once and its texture kept in the user's cache folder.
        cache = os.path.join(env["XDG_CACHE_HOME"], "halvex", "earth-*.qtex")
        self.run_tracker([], env, lambda: glob.glob(cache))
        self.assertTrue(os.path.isfile(os.path.join(env["XDG_CONFIG_HOME"], "halvex",
                                                    "halvex.view")))
        self.assertEqual(sorted(os.listdir(self.path("bin"))), sorted(PROGRAMS))

    def test_tracker_opens_a_project_named_on_the_command_line_in_its_folder(self):
        project = os.path.join(self.scratch.name, "project")
        subprocess.run([sys.executable, os.path.join(SOURCE, "scripts/make_demo_icons"), project,
                        "--size", "16"], check=True, capture_output=True)
        with open(os.path.join(project, "vehicle.mapSetUp"), "w") as f:
            f.write("-1 -1\n1 -1\n1 1\n-1 1\n")
        with open(os.path.join(project, "field.mpr"), "w") as f:
            f.write("BEGIN MAP_group\n\tvehicle.sgi 1.000000\nEND\n# end\n")
        env = dict(self.env, XDG_CONFIG_HOME=os.path.join(project, "config"),
                   XDG_CACHE_HOME=os.path.join(project, "cache"))
        # The project's map, named relative to the project's folder, is drawn and cached there.
        self.run_tracker(["project/field.mpr"], env,
                         lambda: os.path.exists(os.path.join(project, "vehicle.qtex")))
        self.assertFalse(glob.glob(os.path.join(project, "cache", "halvex", "earth-*")))


if __name__ == "__main__":
    BUILD, SOURCE, VERSION = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
