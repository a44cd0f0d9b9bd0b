#!/usr/bin/env bash
# Runs a test program on a fresh 1024 x 768 Xvfb screen whose root window is
# painted with a plaid pattern (the desktop the splash floats over). The
# server must not reset when xsetroot leaves, or the pattern goes with it.
set -uo pipefail
program="$1"
work=$(mktemp -d)
xvfb_pid=0
cleanup() {
  [ "$xvfb_pid" -gt 0 ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

display=":$((100 + RANDOM % 800))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for ((i = 0; i < 100; i++)); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

xsetroot -mod 5 3 -fg '#d02040' -bg '#30c0a0' || { echo "FAIL: xsetroot"; exit 1; }
"$program" "${@:2}"
