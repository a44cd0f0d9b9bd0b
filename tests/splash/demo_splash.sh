#!/usr/bin/env bash
# Start-up as a new user with no sound server meets it, under Xvfb, then the
# whole demo. Without a window manager the question box gets the focus. With
# openbox: the user's own window keeps the focus while set-up runs (the splash
# "Fovex.exe", 320 x 240 in the middle, never takes it); the music's box
# "Shit !" stands wholly above the splash, has the focus and Return answers
# it; the splash is hidden when the main window shows; the demo plays
# silently on the clock to its end, status 1, 65.6 s into the music.
set -uo pipefail
demo="$1"
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb
now() { date +%s%N; }
# (xwininfo without a valid id would wait for a click)
name_of() { [[ "$1" =~ ^[0-9]+$ ]] && xwininfo -id "$1" 2>/dev/null | sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p'; }
focus() { xdotool getwindowfocus 2>/dev/null || echo none; }
question_focused() { wait_start has_question && wait_for 50 sh -c "[ \"\$(xdotool getwindowfocus)\" = $(($(question))) ]"; }

# Without a window manager nothing else would give the question box the
# focus (the pointer, in the middle of the screen, is not over it).
start_demo "$demo"
question_focused || fail "without a window manager the question has no focus"
kill -KILL -- "-$demo_pgid"  # the question holds off TERM
wait "$demo_pid"

start_wm
# The user's window (it ends with the X server), focused.
xmessage -title "own window" -geometry +10+600 "the user's own window" &
own_window() { xdotool search --name '^own window$' 2>/dev/null | head -n1; }
own_shown() { viewable "$(own_window)"; }
wait_for 100 own_shown || fail "no window of our own"
xdo windowactivate --sync "$(own_window)" || fail "could not focus our own window"

# No sound server: SDL's audio fails at once. Each start-up box takes the
# focus by itself: a key answers it. The demo notes on its own clock when the
# (silent) music starts and when it exits (DEMO_TIMELINE_LOG).
PULSE_SERVER=unix:/nonexistent SDL_AUDIODRIVER=pulseaudio start_demo "$demo"
question_focused || fail "the question has no focus"
xdotool key Escape
# Where the focus goes from here until the music's box has it (20 s at most).
trail="" last="" deadline=$(($(now) + 20000000000))
while [ "$(now)" -lt "$deadline" ]; do
  kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended during set-up"
  f=$(focus)
  [ "$f" = "$last" ] && continue
  last=$f name=$(name_of "$f")
  trail="$trail -> ${name:-$f}"
  [ "$name" = "Shit !" ] || [ "$name" = "Fovex.exe" ] && break
done
echo "focus after the question:$trail"
[[ "$trail" == *"Fovex.exe" ]] && fail "the splash took the focus"
[[ "$trail" == *" -> own window -> Shit !" ]] || fail "the focus was not on our window, then on the \"Shit !\" box"

# SDL paints its box in five colours (background, text, button border,
# button, selected button): any other colour inside it is a window over it.
box=$(xwininfo -root -tree | awk '/"Shit !"/ {print $1; exit}')
read -r x y w h < <(xwininfo -id "$box" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
colours() {
  import -window root -crop "${w}x${h}+${x}+${y}" "$work/box.png" 2>/dev/null &&
    convert "$work/box.png" -unique-colors -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | sort -u | tr '\n' ' '
}
box_whole() {
  local c; c=$(colours)
  [[ "$c" == *"#D1CFCD"* && "$c" == *"#696663"* ]] &&
    [ -z "$(tr ' ' '\n' <<<"$c" | grep -v -e '^$' -e '#383635' -e '#D1CFCD' -e '#8C8781' -e '#696663' -e '#CDCA35')" ]
}
wait_for 50 box_whole || fail "the box at ${w}x${h}+${x}+${y} is not all to be seen: $(colours | wc -w) colours, not SDL's 5"

xdotool key Return
answered=$(now)
wait_for 600 main_viewable || fail "the main window never showed after Return"
splash=$(xdotool search --name '^Fovex\.exe$' 2>/dev/null | head -n1)
[ -n "$splash" ] || fail "no splash window \"Fovex.exe\" was made"
info=$(xwininfo -id "$splash")
for field in "Absolute upper-left X:  352" "Absolute upper-left Y:  264" "Width: 320" "Height: 240" IsUnMapped; do
  grep -q "$field" <<<"$info" || fail "splash not $field (hidden, in the middle) with the main window: $info"
done

# The silent timeline started when the box was answered and ends the demo at
# the last sync time (65.6 s), within a frame, on the demo's own clock. The
# wall clock, which a busy machine stretches, only has to agree roughly.
wait_for 1200 sh -c "! kill -0 $demo_pid 2>/dev/null"
wall=$(awk -v a="$answered" -v b="$(now)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
demo_ended "the end, $wall s after the box was answered"
played=$(awk '$2 == "music" && !n++ { m = $1 } $2 == "exit" { e = $1; x = 1 } END { if (n && x) printf "%.3f", (e - m) / 1000 }' \
  "$DEMO_TIMELINE_LOG")
[ -n "$played" ] || fail "no music start and exit in the demo's timeline: $(cat "$DEMO_TIMELINE_LOG")"
awk -v t="$played" 'BEGIN { exit !(t >= 65.55 && t <= 66.6) }' || fail "ended $played s into the music, expected 65.6"
awk -v t="$wall" 'BEGIN { exit !(t >= 63 && t <= 110) }' || fail "ended $wall s after the box was answered"
echo "the music's clock at the end: $played s ($wall s on the wall clock)"
echo "start-up answerable without sound; the demo played silently to its end"
