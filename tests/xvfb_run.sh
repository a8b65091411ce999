#!/usr/bin/env bash
# Runs a command with a private virtual X server (Xvfb, 1280x1024, 24-bit), for tests of windows.
# The server picks a free display number itself (-displayfd), so that tests run side by side never
# race for one. -noreset: the server otherwise resets when its last client leaves and refuses
# connections for a moment, which a program started just then (a splash process, say) meets.
set -uo pipefail
ready=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3> "$ready" 2> /dev/null &
server=$!
trap 'kill "$server" 2> /dev/null; wait "$server" 2> /dev/null; rm -f "$ready"' EXIT
# The number is written once the server accepts connections.
for _ in $(seq 200); do
  [ -s "$ready" ] && break
  kill -0 "$server" 2> /dev/null || break
  sleep 0.05
done
display=$(head -n 1 "$ready")
if [ -z "$display" ]; then
  echo "xvfb_run: the virtual X server did not start" >&2
  exit 1
fi
export DISPLAY=":$display"
unset XAUTHORITY
status=0
"$@" || status=$?
exit "$status"
