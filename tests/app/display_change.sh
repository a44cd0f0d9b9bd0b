#!/usr/bin/env bash
# The screen changes its size under the full-screen demo, as when the
# desktop's resolution is changed or a monitor is unplugged:
#   display_change.sh DEMO
# on tigervnc's Xvnc (Xvfb's screen keeps the size it started with), with
# openbox, which keeps a full-screen window covering the screen. The test
# build is told its renderer is not a software one (DEMO_FAULT_RENDERER), so
# that full screen draws at the scale that fits the screen and a change of
# size must change the drawing surface's scale too: 2 at 1920 x 1080, 3 at
# 2560 x 1440, 1 at 1024 x 768, read from the demo's timeline. Once part 8
# stands (its dark blue fills the picture), each new size must show the
# picture where the placement puts it, with black bars around it.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
command -v Xvnc >/dev/null || fail "no Xvnc (tools/bootstrap.sh test installs tigervnc-standalone-server)"

vnc_pid=0
start_xvnc() {
  exec {fd}<> <(:)
  Xvnc -displayfd "$fd" -geometry "$1" -depth 24 -SecurityTypes None -rfbport -1 -nolisten tcp \
    -noreset >"$work/xvnc.log" 2>&1 &
  vnc_pid=$!
  local number=""
  read -r -t 20 -u "$fd" number || fail "Xvnc did not start: $(cat "$work/xvnc.log")"
  export DISPLAY=":$number"
  wait_for 100 xdpyinfo >/dev/null 2>&1 || fail "Xvnc does not answer"
}
trap 'cleanup; [ "$vnc_pid" -gt 0 ] && kill "$vnc_pid" 2>/dev/null' EXIT

# The screen and its one output to WxH (a mode added first where Xvnc does
# not list it).
output=""
resize() {
  local size=$1
  if ! xrandr | grep -q "^ *$size "; then
    xrandr --newmode "$size" 0 "${size%x*}" 0 0 0 "${size#*x}" 0 0 0 2>/dev/null
    xrandr --addmode "$output" "$size" || fail "Xvnc takes no mode $size"
  fi
  xrandr --output "$output" --mode "$size" || fail "xrandr could not set $size"
  [ "$(xdpyinfo | awk '/dimensions:/ {print $2}')" = "$size" ] || fail "the screen is not $size after xrandr"
  step "the screen is $size"
}

# SDL reads the screen's modes anew at each change and keeps the old ones'
# records (allocated and lost inside libSDL2, no frame of the demo's).
echo "leak:libSDL2-2.0.so" >>"$work/lsan.supp"

start_xvnc 1920x1080
output=$(xrandr | awk '/ connected/ {print $1; exit}')
xsetroot -solid '#808080'
start_wm

export SDL_AUDIODRIVER=dummy DEMO_FAULT_RENDERER="a graphics card"
start_demo "$demo" --fullscreen
t0=$(music_start)
wait_for 600 main_viewable || fail "window \"Demo v0.17\" never shown"
win=$(main_window)

covers() { xwininfo -id "$win" | grep -q "geometry ${1}+0+0"; }
# The scale of the last drawing surface made, from the demo's timeline.
scale() { awk '$2 == "surface" { s = $3 } END { print s }' "$DEMO_TIMELINE_LOG"; }
has_scale() { [ "$(scale)" = "$1" ]; }
# The window covers the new screen and the surface has taken its scale.
follows() {
  wait_for 150 covers "$1" || fail "the window does not cover the $1 screen: $(xwininfo -id "$win")"
  wait_for 300 has_scale "$2" || fail "at $1 the surface has scale $(scale), not $2"
}

follows 1920x1080 2
xdo windowactivate --sync "$win" 2>/dev/null || xdo windowfocus --sync "$win" ||
  fail "could not focus the window"

# Left just after the first sync (part 2 back to 1) keeps the demo a part
# behind its music: the last sync then brings part 8 instead of the end, and
# part 8 stays until Escape, whatever the checks below cost.
sleep "$(awk -v t0="$t0" -v now="$(date +%s%N)" 'BEGIN { w = 8.6 - (now - t0) / 1e9; printf "%.3f", (w > 0 ? w : 0) }')"
awk -v t0="$t0" -v now="$(date +%s%N)" 'BEGIN { exit !((now - t0) / 1e9 < 16.3) }' ||
  fail "the music is past its second sync before the test could step back"
xdotool key Left
step "stepped back to part 1"

# The scale follows the screen while the parts play.
resize 2560x1440
follows 2560x1440 3
resize 1024x768
follows 1024x768 1

# Part 8, after the music's last sync time (65.6 s), and its fade from white.
sleep "$(awk -v t0="$t0" -v now="$(date +%s%N)" 'BEGIN { w = 67.2 - (now - t0) / 1e9; printf "%.3f", (w > 0 ? w : 0) }')"
kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended at the music's last sync instead of staying in part 8"
step "part 8 stands"

# The picture pw x ph at x0, y0 on a W x H screen: part 8's dark blue in its
# four corners, black bars around it.
placed() {
  local size=$1 pw=$2 ph=$3
  local W=${size%x*} H=${size#*x}
  local x0=$(((W - pw) / 2)) y0=$(((H - ph) / 2)) format="" corner
  for corner in "$x0,$y0" "$((x0 + pw - 1)),$y0" "$x0,$((y0 + ph - 1))" "$((x0 + pw - 1)),$((y0 + ph - 1))"; do
    format+="%[fx:int(255*p{$corner}.r+0.5)],%[fx:int(255*p{$corner}.g+0.5)],%[fx:int(255*p{$corner}.b+0.5)] "
  done
  seen=""
  shot root "$work/screen.png" && seen=$(convert "$work/screen.png" -format "$format" info:) &&
    [[ "$seen" =~ ^(2[56],5[01],7[67] ){4}$ ]] || return 1
  local bar bars=()
  [ "$y0" -gt 0 ] && bars+=("${W}x${y0}+0+0" "${W}x${y0}+0+$((y0 + ph))")
  [ "$x0" -gt 0 ] && bars+=("${x0}x${H}+0+0" "${x0}x${H}+$((x0 + pw))+0")
  for bar in "${bars[@]}"; do
    seen="bar $bar: brightest $(convert "$work/screen.png" -crop "$bar" +repage -format '%[fx:int(255*maxima)]' info:)"
    [[ "$seen" == *" 0" ]] || return 1
  done
}
check_placed() {
  wait_for 100 placed "$@" || fail "at $1 the picture is not $2 x $3 in the middle (last seen: ${seen:-no screenshot})"
  step "$1: the picture is $2 x $3 in the middle"
}

# Below twice 640 x 480 the picture fills the screen's height.
check_placed 1024x768 1024 768
# Three times, drawn at that scale, between bars of 320 pixels.
resize 2560x1440
follows 2560x1440 3
check_placed 2560x1440 1920 1440
# Twice, 32 pixels of bar above and below.
resize 1280x1024
follows 1280x1024 2
check_placed 1280x1024 1280 960

xdotool key Escape
demo_ended "Escape"
echo "display change: the picture followed 1920x1080, 2560x1440, 1024x768, 2560x1440, 1280x1024"
