#!/usr/bin/env bash
# The real executable as a person would use it: under Xvfb, answer the
# full-screen question with Escape (No), look at the window, step through
# the parts with Right, and see the process end with status 1. Then once
# more with no display server at all, to see that the question cannot hang.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

# Paint the root window so the desktop is not black.
xsetroot -solid '#808080' 2>/dev/null || true

export SDL_AUDIODRIVER=dummy
start_demo "$demo"
answer_question Escape
wait_for 600 main_viewable || fail "window \"Demo v0.17\" never shown"
win=$(main_window)
info=$(xwininfo -id "$win")
echo "$info" | grep -q 'Width: 640' || fail "width is not 640: $info"
echo "$info" | grep -q 'Height: 480' || fail "height is not 480: $info"
echo "$info" | grep -q 'Absolute upper-left X:  0' || fail "not at the left edge: $info"

# The colour of one pixel of a screenshot of the window, as "r,g,b".
pixel() {
  import -window "$win" "$work/shot.png" 2>/dev/null || return 1
  convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}
# Part 1 fades in from black over six seconds: half a second in, the title
# and the plasma are still dark but no longer black.
sleep 0.5
first=$(pixel 320 240) || fail "no screenshot"
cp "$work/shot.png" "${DEMO_BINARY_DIR:-/tmp}/end_to_end_part1.png" 2>/dev/null || true
echo "part 1 centre: $first"
[ "$(convert "$work/shot.png" -format '%[fx:maxima.r+maxima.g+maxima.b>0.02]' info:)" = 1 ] ||
  fail "part 1 is still black"

# Step to part 8 by hand, well before the music's first sync time (8.3 s).
xdotool windowfocus --sync "$win" || fail "could not focus the window"
for i in 1 2 3 4 5 6 7; do xdotool key Right; sleep 0.1; done
# Part 8 fades from white for one second, then its dark blue clear colour
# (0.1, 0.2, 0.3) shows around the ball: look at the top-left corner.
sleep 1.5
eighth=$(pixel 8 8) || fail "no screenshot"
cp "$work/shot.png" "${DEMO_BINARY_DIR:-/tmp}/end_to_end_part8.png" 2>/dev/null || true
echo "part 8 corner: $eighth"
[[ "$eighth" =~ ^2[56],5[01],7[67]$ ]] || fail "part 8 is not the dark blue: $eighth"

xdotool key Right
wait_for 100 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "Right at part 8 did not end the demo"
wait "$demo_pid"
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
demo_pgid=0

# No display server: the question must not block, and the demo must not pick
# SDL's offscreen driver by itself.
unset DISPLAY
setsid env -u WAYLAND_DISPLAY "$demo" >"$work/nodisplay.log" 2>&1 &
pid=$! demo_pgid=$!  # ended with the script, also by a signal
wait_for 150 sh -c "! kill -0 $pid 2>/dev/null" || { kill $pid; fail "hung without a display server"; }
wait "$pid"; status=$? demo_pgid=0
[ "$status" -eq 1 ] || fail "without a display: status $status"
grep -q 'Question: Switch to Fullscreen ?' "$work/nodisplay.log" || fail "the question did not reach stderr"
grep -q 'Window-Creation failed!' "$work/nodisplay.log" || fail "no window-creation failure reported"

# Asked for by name, the offscreen driver runs the demo invisibly; a TERM
# closes its window, which ends it with status 1.
SDL_VIDEODRIVER=offscreen setsid "$demo" >"$work/offscreen.log" 2>&1 &
pid=$! demo_pgid=$!
sleep 3
kill -0 $pid 2>/dev/null || { cat "$work/offscreen.log"; fail "offscreen run ended early"; }
kill -TERM $pid
wait_for 100 sh -c "! kill -0 $pid 2>/dev/null" || { kill -9 $pid; fail "offscreen run did not end on TERM"; }
wait "$pid"; status=$? demo_pgid=0
[ "$status" -eq 1 ] || fail "offscreen run: status $status"
echo "end to end: all checks passed"
