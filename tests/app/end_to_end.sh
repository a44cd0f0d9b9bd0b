#!/usr/bin/env bash
# The real executable as a person would use it under Xvfb: the question
# answered No, the window, the parts stepped with Right, a resize, the end
# with status 1; then the options, a display with no usable OpenGL, no
# display at all (the question must not hang), SDL's offscreen driver.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb 1600x1200
xsetroot -solid '#808080'  # a grey desktop, not black

export SDL_AUDIODRIVER=dummy
step "the question answered No"
start_demo "$demo"
answer_question Escape
wait_for 600 main_viewable || fail "window \"Demo v0.17\" never shown"
win=$(main_window)
xwininfo -id "$win" | grep -q 'geometry 640x480+0+0' || fail "not 640 x 480 at the left edge: $(xwininfo -id "$win")"
# Part 1 fades in from black: soon the window shows the title and the
# plasma, dark but drawn, neither the grey desktop nor a black window.
part1() { shot "$win" "$work/part1.png" && drawn "$work/part1.png"; }
wait_for 30 part1 || fail "part 1 is not drawn: $(convert "$work/part1.png" -format '%k colours' info:)"

step "part 1 drawn"
# Right to part 7 and a sync on to part 8: after its one-second fade from
# white its dark blue shows around the ball, and the next sync, which ends
# the demo from there, is 8 s away.
xdo windowfocus --sync "$win" || fail "could not focus the window"
right_to_part8 "$(music_start)"
sleep 1
part8() { shot "$win" "$work/small.png" && dark_blue "$work/small.png" 8 8; }
wait_for 20 part8 || fail "part 8 is not the dark blue: $(pixel "$work/small.png" 8 8)"

step "part 8 reached"
# Resized anyway (no window manager keeps it at 640 x 480), the window shows
# the whole picture, aspect kept: twice its size between bars of 60 pixels.
xdo windowsize --sync "$win" 1400 960 || fail "could not resize the window"
black() { [ "$(convert "$work/big.png" -crop "$1" +repage -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)" = 0 ]; }
# The same picture at half the size: the letters of "THE END" (the box round
# the near-white pixels of their band) stand still while the ball moves. A
# window just resized is black all over until the next frame is shown.
letters() { convert "$1" -crop 640x40+0+325 +repage -threshold 85% -format '%@' info: 2>/dev/null; }
before=$(letters "$work/small.png") after=""
resized() {
  shot "$win" "$work/big.png" && black 60x960+0+0 && black 60x960+1340+0 &&
    [ "$(convert "$work/big.png" -format '%wx%h' info:)" = 1400x960 ] &&
    convert "$work/big.png" -crop 1280x960+60+0 +repage -resize 50% "$work/half.png" &&
    after=$(letters "$work/half.png") &&
    read -r w1 x1 w2 x2 <<<"$(echo "$before $after" | sed 's/x[0-9]*+/ /g; s/+[0-9]*//g')" &&
    [ $((w1 - w2)) -le 4 ] && [ $((w2 - w1)) -le 4 ] && [ $((x1 - x2)) -le 2 ] && [ $((x2 - x1)) -le 2 ]
}
wait_for 50 resized ||
  fail "the resized window is not the picture between black bars of 60 pixels: \"THE END\" at $after, before at $before"
xdotool key Right
demo_ended "Right at part 8"

step "resized"
# The options answer the question in advance: no box would hold start-up.
start_demo "$demo" --window
wait_for 600 main_viewable || fail "--window: window \"Demo v0.17\" never shown"
win=$(main_window)
xwininfo -id "$win" | grep -q 'geometry 640x480+0+0' || fail "--window: $(xwininfo -id "$win")"
xdo windowfocus --sync "$win" key Escape || fail "could not focus the window"
demo_ended "--window, Escape"

# A bad option is refused before anything opens (a box would hang here).
# The error and the usage name the program as it was started.
timeout 20 "$demo" --window --bogus >"$work/bogus.out" 2>"$work/bogus.err"; status=$?
[ "$status" -eq 2 ] || fail "--bogus: status $status, expected 2"
[ "$(head -n2 "$work/bogus.err")" = "$demo: unknown option --bogus
usage: $demo [--fullscreen | --window] [--scale N] [--help]" ] && [ ! -s "$work/bogus.out" ] ||
  fail "--bogus: no error and usage naming $demo on stderr: $(cat "$work/bogus.err")"
ln -s "$demo" "$work/demo017"
(cd "$work" && timeout 20 ./demo017 --help >"$work/help.out" 2>&1) && grep -qx 'usage: ./demo017 .*' "$work/help.out" ||
  fail "--help as ./demo017: $(cat "$work/help.out")"

step "options"
# No usable OpenGL (Mesa held to 1.0): the error box and status 1, not a
# black window with music playing.
MESA_GL_VERSION_OVERRIDE=1.0 start_demo "$demo" --window
wait_start box_shown Error || fail "no \"Error\" box without OpenGL"
grep -q 'SDL GL context' "$work/out.log" || fail "the box is not about the OpenGL context"
xdo windowfocus --sync "$(box Error)" key Return || fail "could not answer the error box"
demo_ended "without OpenGL"

step "no OpenGL"
# No display server: the question must not block, and the demo must not pick
# SDL's offscreen driver by itself.
start_demo env -u DISPLAY -u WAYLAND_DISPLAY "$demo"
demo_ended "without a display"
grep -q 'Question: Switch to Fullscreen ?' "$work/out.log" || fail "the question did not reach stderr"
grep -q 'Window-Creation failed!' "$work/out.log" || fail "no window-creation failure reported"

# Asked for by name, the offscreen driver runs the demo invisibly; a TERM
# closes its window and ends it with status 1.
SDL_VIDEODRIVER=offscreen start_demo env -u DISPLAY "$demo"
sleep 3
kill -0 "$demo_pid" 2>/dev/null || fail "offscreen run ended early"
kill -TERM "$demo_pid"
demo_ended "offscreen, TERM"
echo "end to end: all checks passed"
