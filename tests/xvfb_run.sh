#!/usr/bin/env bash
# Runs a command with a private virtual X server (Xvfb, 1280x1024, 24-bit), for tests of windows.
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
