#!/usr/bin/env bash
# The demo's start-up as a new user with no sound server meets it, under Xvfb
# (1024 x 768), and then the whole demo:
# - without a window manager, the question box gets the focus by itself;
# with a window manager (openbox):
# - a window of the user's own has the focus; the splash "Fovex.exe" (320 x
#   240 in the middle of the screen) never takes it, so it is still on that
#   window while set-up runs;
# - the music player's box "Shit !" stands fully above the splash, has the
#   focus and Return answers it;
# - the splash is hidden before the main window shows, and the demo plays on
#   silently (its timeline on the clock) to its end, status 1, about 66 s
#   after the box was answered.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb
# A sanitizer report must not pass for the demo's own status 1.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=23"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=23"
# D-Bus, which SDL's X11 video starts, keeps a buffer until the process ends.
echo "leak:libdbus" >"$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp:print_suppressions=0"
now() { date +%s%N; }
# (xwininfo without a valid id would wait for a click)
name_of() { [[ "$1" =~ ^[0-9]+$ ]] && xwininfo -id "$1" 2>/dev/null | sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p'; }
focus() { xdotool getwindowfocus 2>/dev/null || echo none; }

# Without a window manager nothing else would give the question box the
# focus (the pointer, in the middle of the screen, is not over it).
start_demo "$demo"
wait_for 300 has_question || fail "no \"Question\" box appeared"
wait_for 50 sh -c "[ \"\$(xdotool getwindowfocus)\" = $(($(question))) ]" ||
  fail "without a window manager the question has no focus"
kill -KILL -- "-$demo_pgid"  # the question holds off TERM
wait "$demo_pid"

start_wm
# The user's window (it ends with the X server), focused.
xmessage -title "own window" -geometry +10+600 "the user's own window" &
wait_for 100 sh -c 'xdotool search --name "^own window$" >/dev/null' || fail "no window of our own"
own=$(xdotool search --name '^own window$' | head -n1)
xdotool windowactivate --sync "$own" || fail "could not focus our own window"

# No sound server: SDL's audio fails at once.
export PULSE_SERVER=unix:/nonexistent SDL_AUDIODRIVER=pulseaudio
start_demo "$demo"
# Each start-up box takes the focus by itself: a key answers it.
wait_for 300 has_question || fail "no \"Question\" box appeared"
wait_for 50 sh -c "[ \"\$(xdotool getwindowfocus)\" = $(($(question))) ]" || fail "the question has no focus"
xdotool key Escape

# Where the focus goes from here until the music's box has it (20 s at most).
trail="" last="" deadline=$(($(now) + 20000000000))
while [ "$(now)" -lt "$deadline" ]; do
  f=$(focus)
  if [ "$f" != "$last" ]; then
    last=$f
    name=$(name_of "$f")
    trail="$trail -> ${name:-$f}"
    [ "$name" = "Shit !" ] || [ "$name" = "Fovex.exe" ] && break
  fi
  kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended during set-up"
done
echo "focus after the question:$trail"
[[ "$trail" == *"Fovex.exe" ]] && fail "the splash took the focus"
[[ "$trail" == *" -> Shit !" ]] || fail "the \"Shit !\" box never had the focus"
[[ "$trail" == *" -> own window -> Shit !" ]] || fail "the focus was not on our window while set-up ran"

# SDL paints its box in five colours (background, text, button border,
# button, selected button): any other colour inside it is a window over it.
box=$(xwininfo -root -tree | awk '/"Shit !"/ {print $1; exit}')
read -r x y w h < <(xwininfo -id "$box" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
shot="${DEMO_BINARY_DIR:-/tmp}/test-output/start_up_box.png"
mkdir -p "$(dirname "$shot")"
colours() {
  import -window root -crop "${w}x${h}+${x}+${y}" "$shot" 2>/dev/null &&
    convert "$shot" -unique-colors -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | sort -u | tr '\n' ' '
}
box_whole() {
  local c; c=$(colours)
  [[ "$c" == *"#D1CFCD"* && "$c" == *"#696663"* ]] &&
    [ -z "$(tr ' ' '\n' <<<"$c" | grep -v -e '^$' -e '#383635' -e '#D1CFCD' -e '#8C8781' -e '#696663' -e '#CDCA35')" ]
}
wait_for 50 box_whole ||
  fail "the box at ${w}x${h}+${x}+${y} is not all to be seen: $(colours | wc -w) colours, not SDL's 5"
echo "the box at ${w}x${h}+${x}+${y} shows only its own colours"

xdotool key Return
answered=$(now)
wait_for 600 main_viewable || fail "the main window never showed after Return"
splash=$(xdotool search --name '^Fovex\.exe$' 2>/dev/null | head -n1)
[ -n "$splash" ] || fail "no splash window \"Fovex.exe\" was made"
info=$(xwininfo -id "$splash")
echo "$info" | grep -q 'Absolute upper-left X:  352' || fail "splash not at x 352: $info"
echo "$info" | grep -q 'Absolute upper-left Y:  264' || fail "splash not at y 264: $info"
echo "$info" | grep -q 'Width: 320' || fail "splash not 320 wide: $info"
echo "$info" | grep -q 'Height: 240' || fail "splash not 240 high: $info"
echo "$info" | grep -q 'IsUnMapped' || fail "splash still shown with the main window: $info"

# The silent timeline started when the box was answered.
wait "$demo_pid"
status=$?
played=$(awk -v a="$answered" -v b="$(now)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
demo_pgid=0
echo "exit status $status, $played s after the box was answered"
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
grep -q 'Sanitizer' "$work/out.log" && fail "sanitizer report"
awk -v t="$played" 'BEGIN { exit !(t >= 64.5 && t <= 67.0) }' || fail "ended after $played s, expected 64.5 to 67"
echo "start-up answerable without sound; the demo played silently to its end"
