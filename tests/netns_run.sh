#!/usr/bin/env bash
# Runs a command inside a private network namespace whose loopback carries multicast, so that
# tests can send to multicast groups without any packet reaching the host's own network.
set -euo pipefail
if [ "$(id -u)" -eq 0 ]; then ns=(unshare -n); else ns=(unshare -rn); fi
exec "${ns[@]}" bash -c '
  ip link set lo up multicast on
  ip route add 224.0.0.0/4 dev lo
  exec "$@"' netns "$@"
