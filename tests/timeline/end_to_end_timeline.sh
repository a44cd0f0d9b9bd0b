#!/usr/bin/env bash
# The real executable, headless, left alone: the music's sync times carry it
# through the eight parts, and the eighth (65.6 s of music) ends it with
# status 1, about 66 s after the music started at the end of set-up. The
# music starts when SDL's audio thread appears; with no stream (no MP3
# embedded) the timeline runs on the clock from that moment all the same.
set -uo pipefail
demo="$1"
log=$(mktemp)
pid=0
trap '[ "$pid" -gt 0 ] && kill "$pid" 2>/dev/null; rm -f "$log"' EXIT

# A sanitizer report must not pass for the demo's own status 1.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=23"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=23"
now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }

launch=$(now)
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$demo" >"$log" 2>&1 &
pid=$!

# The moment the audio output opened: the end of set-up.
music=""
for ((i = 0; i < 1000; i++)); do
  if cat /proc/$pid/task/*/comm 2>/dev/null | grep -q '^SDLAudio'; then music=$(now); break; fi
  kill -0 $pid 2>/dev/null || break
  sleep 0.01
done
wait $pid
status=$?
end=$(now)
pid=0

echo "--- demo output"; cat "$log"; echo "---"
echo "exit status $status, $(seconds "$launch" "$end") s after launch"
[ -n "$music" ] || { echo "FAIL: the audio output never opened"; exit 1; }
played=$(seconds "$music" "$end")
echo "set-up took $(seconds "$launch" "$music") s; the end came $played s after the music started"
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status, expected 1"; exit 1; }
grep -q 'Sanitizer' "$log" && { echo "FAIL: sanitizer report"; exit 1; }
awk -v t="$played" 'BEGIN { exit !(t >= 64.5 && t <= 67.0) }' ||
  { echo "FAIL: ended $played s after the music started, expected 64.5 to 67"; exit 1; }
# The dummy output opens, so there is no fallback to the silent device.
grep -q 'Could not initialize BASS' "$log" && { echo "FAIL: the dummy output did not open"; exit 1; }
echo "end to end: the timeline played to its end"
