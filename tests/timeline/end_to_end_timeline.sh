#!/usr/bin/env bash
# The real executable, headless, left alone: the music's sync times carry it
# through the eight parts, and the eighth (65.6 s of music) ends it with
# status 1. Without a real soundtrack embedded the stream cannot be made and
# the timeline runs on the clock; with one it runs on the dummy output.
set -uo pipefail
demo="$1"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# A sanitizer report must not pass for the demo's own status 1.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=23"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=23"

start=$(date +%s%N)
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 150 "$demo" >"$log" 2>&1
status=$?
end=$(date +%s%N)
elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')

echo "--- demo output"; cat "$log"; echo "---"
echo "exit status $status after $elapsed s"
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status, expected 1"; exit 1; }
grep -q 'Sanitizer' "$log" && { echo "FAIL: sanitizer report"; exit 1; }
awk -v t="$elapsed" 'BEGIN { exit !(t >= 64.5 && t <= 67.0) }' ||
  { echo "FAIL: ended after $elapsed s, expected 64.5 to 67"; exit 1; }
# The dummy output opens, so there is no fallback to the silent device.
grep -q 'Could not initialize BASS' "$log" && { echo "FAIL: the dummy output did not open"; exit 1; }
echo "end to end: the timeline played to its end"
