#!/usr/bin/env bash
# Runs a test program on a fresh 1024 x 768 Xvfb screen whose root window is
# painted with a plaid pattern (the desktop the splash floats over). The
# server must not reset when xsetroot leaves, or the pattern goes with it.
set -uo pipefail
program="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

xsetroot -mod 5 3 -fg '#d02040' -bg '#30c0a0' || fail "xsetroot"
"$program" "${@:2}"
