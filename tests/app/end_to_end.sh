#!/usr/bin/env bash
# The real executable as a person would use it: under Xvfb, answer the
# full-screen question with Escape (No), look at the window, step through
# the parts with Right, resize the window, and see the process end with
# status 1. Then the options (--window, a bad one, --help), a display with
# no usable OpenGL, and no display server at all, to see that the question
# cannot hang. Full screen: full_screen.sh.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb 1600x1200

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
# (0.1, 0.2, 0.3) shows around the ball: look at the top-left corner (a
# loaded machine may take longer to get there).
eighth=""
part8() { eighth=$(pixel 8 8) && [[ "$eighth" =~ ^2[56],5[01],7[67]$ ]]; }
sleep 1
wait_for 20 part8 || fail "part 8 is not the dark blue: $eighth"
cp "$work/shot.png" "${DEMO_BINARY_DIR:-/tmp}/end_to_end_part8.png" 2>/dev/null || true
echo "part 8 corner: $eighth"

# Resized anyway (there is no window manager to keep it at 640 x 480), the
# window shows the whole picture scaled to fit, aspect kept: 1400 x 960 holds
# it at twice its size between bars of 60 pixels.
cp "$work/shot.png" "$work/small.png"
xdotool windowsize --sync "$win" 1400 960 || fail "could not resize the window"
black() { [ "$(convert "$work/big.png" -crop "$1" +repage -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)" = 0 ]; }
bars_black() { import -window "$win" "$work/big.png" && black 60x960+0+0 && black 60x960+1340+0; }
wait_for 20 bars_black || fail "the resized window has no black bars of 60 pixels"
cp "$work/big.png" "${DEMO_BINARY_DIR:-/tmp}/end_to_end_resized.png" 2>/dev/null || true
[ "$(convert "$work/big.png" -format '%wx%h' info:)" = 1400x960 ] || fail "the window was not resized"
# The same picture at half the size. The ball changes its shape from frame
# to frame; the letters of "THE END" stand still: where they begin and end
# (the box around the near-white pixels of their band) must not move.
convert "$work/big.png" -crop 1280x960+60+0 +repage -resize 50% "$work/half.png"
letters() { convert "$1" -crop 640x40+0+325 +repage -threshold 85% -format '%@' info:; }
before=$(letters "$work/small.png") after=$(letters "$work/half.png")
echo "\"THE END\" before and after the resize: $before, $after"
read -r w1 x1 w2 x2 <<<"$(echo "$before $after" | sed 's/x[0-9]*+/ /g; s/+[0-9]*//g')"
[ $((w1 - w2)) -le 4 ] && [ $((w2 - w1)) -le 4 ] && [ $((x1 - x2)) -le 2 ] && [ $((x2 - x1)) -le 2 ] ||
  fail "the resized window shows another picture: \"THE END\" at $after, before at $before"

xdotool key Right
wait_for 100 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "Right at part 8 did not end the demo"
wait "$demo_pid"
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
demo_pgid=0

# The options answer the question in advance: no box (one would hold
# start-up, so the window would never show), the 640 x 480 window at once.
start_demo "$demo" --window
wait_for 600 main_viewable || fail "--window: window \"Demo v0.17\" never shown"
win=$(main_window)
xwininfo -id "$win" | grep -q 'geometry 640x480+0+0' || fail "--window: $(xwininfo -id "$win")"
xdotool windowfocus --sync "$win" key Escape || fail "could not focus the window"
wait_for 100 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "Escape did not end the demo"
wait "$demo_pid"; status=$?
[ "$status" -eq 1 ] || fail "--window: exit status $status, expected 1"

# A bad option is refused before anything opens (a box would hang here).
timeout 20 "$demo" --window --bogus >"$work/bogus.out" 2>"$work/bogus.err"; status=$?
[ "$status" -eq 2 ] || fail "--bogus: status $status, expected 2"
grep -q '^usage: demo' "$work/bogus.err" && [ ! -s "$work/bogus.out" ] || fail "--bogus: no usage on stderr"
"$demo" --help >"$work/help.out" 2>&1 && grep -q '^usage: demo' "$work/help.out" || fail "--help"

# A display where OpenGL cannot be had (Mesa held to version 1.0, which has
# no context of the kind asked for): the error box and status 1, not a
# black window with music playing.
MESA_GL_VERSION_OVERRIDE=1.0 start_demo "$demo" --window
error_box() { xwininfo -root -tree 2>/dev/null | awk '/"Error"/ {print $1; exit}'; }
wait_for 300 sh -c "$(declare -f error_box); test -n \"\$(error_box)\"" || fail "no \"Error\" box without OpenGL"
grep -q 'SDL GL context' "$work/out.log" || fail "the box is not about the OpenGL context"
xdotool windowfocus --sync "$(error_box)" key Return || fail "could not answer the error box"
wait_for 100 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "the demo went on without OpenGL"
wait "$demo_pid"; status=$?
demo_pgid=0
[ "$status" -eq 1 ] || fail "without OpenGL: exit status $status, expected 1"

# No display server: the question must not block, and the demo must not pick
# SDL's offscreen driver by itself.
unset DISPLAY
env -u WAYLAND_DISPLAY "$demo" >"$work/nodisplay.log" 2>&1 &
pid=$!
wait_for 150 sh -c "! kill -0 $pid 2>/dev/null" || { kill $pid; fail "hung without a display server"; }
wait "$pid"; status=$?
[ "$status" -eq 1 ] || fail "without a display: status $status"
grep -q 'Question: Switch to Fullscreen ?' "$work/nodisplay.log" || fail "the question did not reach stderr"
grep -q 'Window-Creation failed!' "$work/nodisplay.log" || fail "no window-creation failure reported"

# Asked for by name, the offscreen driver runs the demo invisibly; a TERM
# closes its window, which ends it with status 1.
SDL_VIDEODRIVER=offscreen "$demo" >"$work/offscreen.log" 2>&1 &
pid=$!
sleep 3
kill -0 $pid 2>/dev/null || { cat "$work/offscreen.log"; fail "offscreen run ended early"; }
kill -TERM $pid
wait_for 100 sh -c "! kill -0 $pid 2>/dev/null" || { kill -9 $pid; fail "offscreen run did not end on TERM"; }
wait "$pid"; status=$?
[ "$status" -eq 1 ] || fail "offscreen run: status $status"
echo "end to end: all checks passed"
