#!/usr/bin/env bash
# The demo itself under Xvfb: after the start-up question, the splash window
# "Fovex.exe" is made from the embedded SPLASH.TGA, 320 x 240 in the middle
# of the 1024 x 768 screen, and is hidden again once the main window shows.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb
export SDL_AUDIODRIVER=dummy
start_demo "$demo"
answer_question Escape
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
