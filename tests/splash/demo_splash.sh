#!/usr/bin/env bash
# The demo itself under Xvfb: after the start-up question, the splash window
# "Fovex.exe" is made from the embedded SPLASH.TGA, 320 x 240 in the middle
# of the 1024 x 768 screen, and is hidden again once the main window shows.
set -uo pipefail
demo="$1"
work=$(mktemp -d)
demo_pgid=0
xvfb_pid=0
cleanup() {
  # The question box may run in a forked child: end the demo's whole group.
  [ "$demo_pgid" -gt 0 ] && kill -- "-$demo_pgid" 2>/dev/null
  [ "$xvfb_pid" -gt 0 ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work/out.log" 2>/dev/null; exit 1; }
wait_for() {
  local n=$1; shift
  for ((i = 0; i < n; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

display=":$((100 + RANDOM % 800))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
wait_for 100 xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"

export SDL_AUDIODRIVER=dummy
setsid "$demo" >"$work/out.log" 2>&1 &
demo_pgid=$!

question() { xwininfo -root -tree 2>/dev/null | awk '/"Question"/ {print $1; exit}'; }
has_question() { test -n "$(question)"; }
wait_for 300 has_question || fail "no \"Question\" box appeared"
xdotool windowfocus --sync "$(question)" key Escape || fail "could not answer the box"

main_window() { xdotool search --name '^Demo v0\.17$' 2>/dev/null | head -n1; }
main_viewable() { w=$(main_window); [ -n "$w" ] && xwininfo -id "$w" | grep -q 'IsViewable'; }
wait_for 600 main_viewable || fail "the main window never showed"

splash=$(xdotool search --name '^Fovex\.exe$' 2>/dev/null | head -n1)
[ -n "$splash" ] || fail "no splash window \"Fovex.exe\" was made"
info=$(xwininfo -id "$splash")
echo "$info" | grep -q 'Absolute upper-left X:  352' || fail "splash not at x 352: $info"
echo "$info" | grep -q 'Absolute upper-left Y:  264' || fail "splash not at y 264: $info"
echo "$info" | grep -q 'Width: 320' || fail "splash not 320 wide: $info"
echo "$info" | grep -q 'Height: 240' || fail "splash not 240 high: $info"
echo "$info" | grep -q 'Border width: 0' || fail "splash has a border: $info"
echo "$info" | grep -q 'IsUnMapped' || fail "splash still shown with the main window: $info"
echo "splash made at 352, 264, 320 x 240 and hidden before the main window showed"
