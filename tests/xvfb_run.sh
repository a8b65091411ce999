#!/usr/bin/env bash
# Runs a command with a private virtual X server (Xvfb, 1280x1024, 24-bit), for tests of windows.
# -noreset: the server otherwise resets when its last client leaves and refuses connections for a
# moment, which a program started just then (a splash process, say) meets.
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
