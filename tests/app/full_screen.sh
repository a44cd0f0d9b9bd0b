#!/usr/bin/env bash
# Full screen under a real window manager, as a person would use it:
#   full_screen.sh DEMO WxH [OPTION...]
# starts the demo on an Xvfb screen of that size with openbox, with the
# options given or, without any, answering the question with Return (Yes).
# Under Xvfb the renderer is llvmpipe, so the demo draws at scale 1 unless
# --scale asks; either way the picture must be 1280 x 960 in the middle of
# the screen with black bars around it. Right steps to part 8, whose dark
# blue reaches every corner of the picture; Escape gives the desktop back
# and ends the demo with status 1.
set -uo pipefail
demo="$1" size="$2"
shift 2
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb "$size"
xsetroot -solid '#808080'
start_wm

export SDL_AUDIODRIVER=dummy
start_demo "$demo" "$@"
# With options a question box would stop start-up: the window never shows.
[ $# -eq 0 ] && answer_question Return
wait_for 600 main_viewable || fail "window \"Demo v0.17\" never shown"
win=$(main_window)
covers() { xwininfo -id "$win" | grep -q "geometry ${size}+0+0"; }
wait_for 100 covers || fail "the window does not cover the screen: $(xwininfo -id "$win")"
# Right to part 7 and a sync on to part 8, 8 s before the next one would end
# the demo from there.
xdo windowactivate --sync "$win" 2>/dev/null || xdo windowfocus --sync "$win" ||
  fail "could not focus the window"
right_to_part8 "$(music_start)"
step "stepped to part 8"
W=${size%x*} H=${size#*x}
x0=$(((W - 1280) / 2)) y0=$(((H - 960) / 2))
# The four corners read in one go: on a busy machine each convert costs.
corners() {
  local format="" corner
  for corner in "$x0,$y0" "$((x0 + 1279)),$y0" "$x0,$((y0 + 959))" "$((x0 + 1279)),$((y0 + 959))"; do
    format+="%[fx:int(255*p{$corner}.r+0.5)],%[fx:int(255*p{$corner}.g+0.5)],%[fx:int(255*p{$corner}.b+0.5)] "
  done
  seen=""
  shot root "$work/screen.png" && seen=$(convert "$work/screen.png" -format "$format" info:) &&
    [[ "$seen" =~ ^(2[56],5[01],7[67] ){4}$ ]]
}
sleep 1  # part 8 fades in from white for one second
wait_for 20 corners || fail "a corner of the picture at $x0,$y0 is not part 8's dark blue (last seen: ${seen:-no screenshot})"
brightest() { convert "$work/screen.png" -crop "$1" +repage -format '%[fx:int(255*max(maxima.r,max(maxima.g,maxima.b))+0.5)]' info:; }
bars=()
[ "$y0" -gt 0 ] && bars+=("${W}x${y0}+0+0" "${W}x${y0}+0+$((y0 + 960))")
[ "$x0" -gt 0 ] && bars+=("${x0}x${H}+0+0" "${x0}x${H}+$((x0 + 1280))+0")
for bar in "${bars[@]}"; do [ "$(brightest "$bar")" -eq 0 ] || fail "bar $bar is not black"; done

xdotool key Escape
demo_ended "Escape"
shot root "$work/after.png" || fail "no screenshot after the end"
[ "$(pixel "$work/after.png" $((W / 2)) $((H / 2)))" = "128,128,128" ] || fail "the desktop is not back"
echo "full screen $size $*: all checks passed"
