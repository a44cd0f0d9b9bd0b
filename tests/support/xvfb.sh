#!/usr/bin/env bash
# xvfb.sh -- sourced by the tests that use a real X screen; run as
# `xvfb.sh PROGRAM ARG...` it runs PROGRAM on a fresh screen with a plaid desktop.
#   start_xvfb [WxH]  Xvfb (1024x768 unless told) on a free display, DISPLAY exported;
#                     it does not reset when a client leaves, so a painted root stays
#   start_wm          openbox on it, once its event loop runs
#   start_demo PROG [ARG...]  PROG in its own process group, output in $work/out.log
#   viewable WIN      the window is mapped and so are its ancestors
#   box NAME, box_shown NAME  a window named NAME (message boxes name themselves
#                     in UTF-8 only), and whether it is viewable yet
#   answer_question K the "Question" box, once viewable, answered with key K
#   demo_ended WHAT   the demo ended within 15 s with status 1 (a sanitizer report
#                     ends it with 23, set below), or fail
#   shot WINDOW FILE, pixel FILE X Y ("r,g,b"), dark_blue FILE X Y (part 8's clear
#   colour), drawn FILE (a picture: more colours than a desktop or a black window)
#   wait_for N CMD... CMD every 0.1 s, N times at most;  fail MSG (with the demo's output)
#   wait_start CMD... as wait_for, for the first window of a program just started
#   xdo ARG...        xdotool, given up after 30 s;  step TEXT  a timed line in the log
#   music_start       when the music started (its line in the demo's timeline)
#   right_to_part8 T0 Right to part 7, then a sync brings part 8 (the music started at T0)
# Everything started here ends with the script, also when a signal (ctest's
# timeout) ends it.
work=$(mktemp -d)
xvfb_pid=0
wm_pid=0
demo_pgid=0
# intercept_tls_get_addr=0: as in the test programs, or the leak tracer may
# die at the demo's exit and the run end with 23 after all went well.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=23:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=23"
# D-Bus, which SDL's X11 video starts, keeps a buffer until the process ends.
echo "leak:libdbus" >"$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp:print_suppressions=0"

cleanup() {
  # The question box may run in a forked child: end the demo's whole group.
  [ "$demo_pgid" -gt 0 ] && kill -- "-$demo_pgid" 2>/dev/null
  [ "$wm_pid" -gt 0 ] && kill "$wm_pid" 2>/dev/null
  [ "$xvfb_pid" -gt 0 ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# A signal ends the script through exit, so the EXIT trap runs.
trap 'exit 143' TERM
trap 'exit 130' INT

fail() {
  echo "FAIL: $*"
  [ "$demo_pgid" -gt 0 ] && { kill -0 "$demo_pid" 2>/dev/null && echo "(the demo still runs)" || echo "(the demo has ended)"; }
  [ -s "${DEMO_TIMELINE_LOG:-}" ] && echo "timeline: $(tr '\n' ' ' <"$DEMO_TIMELINE_LOG") (started at $(date -r "$DEMO_TIMELINE_LOG" +%T.%N))"
  [ -s "$work/out.log" ] && cat "$work/out.log"
  exit 1
}

# xdotool with --sync waits for the X server's answer without end when the
# window never gets there: at most 30 s, then a failure that says where.
xdo() { timeout 30 xdotool "$@"; }

# A line in the test's log, so that a run stopped by ctest's timeout shows
# how far it came.
step() { echo "[$(date +%T)] $*"; }

wait_for() {
  local n=$1; shift
  for ((i = 0; i < n; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

# A program just started shows its first window after seconds when the
# machine is quiet, but a run with two busy loops and the layer's scene test
# beside it waited 46 s for the question box in vain: its first window gets
# 1200 tries (two minutes at least).
wait_start() { wait_for 1200 "$@"; }

start_xvfb() {
  # No key repeats (a delay of 30 s): on a busy machine xdotool's release can
  # come later than the server's 660 ms, and a repeated Right steps once too
  # often (a run stepping to the last part once ended the demo instead).
  # Xvfb ignores xset r off.
  # Its display number is read from a pipe; beside two busy loops that read
  # once failed at once, Xvfb having said nothing (cause not found): three
  # tries, each failure said on stderr with the read's status.
  local number="" try rc
  for try in 1 2 3; do
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset -ardelay 30000 -arinterval 30000 \
      >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    read -r -t 20 -u "$fd" number; rc=$?
    exec {fd}<&-
    [ -n "$number" ] && break
    echo "Xvfb gave no display number (try $try, read's status $rc): $(cat "$work/xvfb.log")" >&2
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=0
  done
  [ -n "$number" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$number"
  wait_for 100 xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer"
}

# openbox names its check window on the root as soon as it holds the screen,
# long before its event loop runs, and a window mapped in between can wait
# for good: openbox 3.6 may read its MapRequest into a queue of its own while
# it starts, and then sleeps until the X server sends it something else (a
# box stood unmapped at 0,0 in 6 starts of 250 beside two busy loops). Its
# --startup command runs just before the loop: no window before that.
start_wm() {
  openbox --startup "touch $work/wm.ready" >"$work/wm.log" 2>&1 &
  wm_pid=$!
  wait_for 300 test -e "$work/wm.ready" || fail "openbox did not start: $(cat "$work/wm.log")"
}

plaid() { xsetroot -mod 5 3 -fg '#d02040' -bg '#30c0a0' || fail "xsetroot"; }

# The demo's own timeline (test builds): "<tick> music", "<tick> exit N".
export DEMO_TIMELINE_LOG="$work/timeline.log"
start_demo() {
  : >"$DEMO_TIMELINE_LOG"
  step "start ${1##*/}"
  setsid "$@" >"$work/out.log" 2>&1 &
  demo_pid=$!
  demo_pgid=$demo_pid
}

# A window is named before it is mapped, and the X server refuses to focus
# an unmapped one (BadMatch): every wait on a window waits until it shows.
viewable() { [ -n "$1" ] && xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }
# (the name, quoted and followed by a colon: not the class, which Wine sets
# to the program's file name)
box() { xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\":" 'index($0, t) { print $1; exit }'; }
box_shown() { viewable "$(box "$1")"; }
question() { box Question; }
has_question() { box_shown Question; }
# Where a program that should have shown a window is: the named windows on
# the screen, and each process of the demo's group with its threads' states
# (and their stacks where gdb is installed).
where_is_demo() {
  echo "named windows:"
  xwininfo -root -tree 2>&1 | grep '"' | head -n 20
  local p t
  for p in $(pgrep -g "$demo_pgid"); do
    echo "process $p: $(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null)"
    for t in /proc/"$p"/task/*; do
      echo "  thread $(cat "$t/comm" 2>/dev/null) state $(awk '{ print $3 }' "$t/stat" 2>/dev/null) in $(cat "$t/wchan" 2>/dev/null)"
    done
    command -v gdb >/dev/null && timeout 30 gdb -p "$p" -batch -ex 'thread apply all bt 12' 2>/dev/null | grep '^#'
  done
}
answer_question() {
  wait_start has_question || fail "no \"Question\" box appeared; $(where_is_demo)"
  step "the question box shows"
  xdo windowfocus --sync "$(question)" key "$1" || fail "could not answer the box"
}

main_window() { xdotool search --name '^Demo v0\.17$' 2>/dev/null | head -n1; }
main_viewable() { viewable "$(main_window)"; }

# When the music started (date +%s%N): the time the demo wrote "music" to its
# timeline.
music_start() {
  wait_for 600 grep -q ' music$' "$DEMO_TIMELINE_LOG" || fail "the music never started"
  date -r "$DEMO_TIMELINE_LOG" +%s%N
}

# Brings the focused demo, untouched since the music started at $1 (date
# +%s%N), to part 8 at one of the music's sync times: just after one sync it
# is stepped with Right to part 7, and the next sync moves it on to part 8,
# where it stays until the sync after (about 8 s), however busy the machine.
# Returns once part 8 has begun.
right_to_part8() {
  local syncs=(8.3 16.6 25.1 33.5 41.7 50.1 57.7) part=2 k wait
  for ((k = 0; k < 6; k++, part++)); do
    wait=$(awk -v t0="$1" -v now="$(date +%s%N)" -v s="${syncs[k]}" 'BEGIN { printf "%.3f", s + 0.3 - (now - t0) / 1e9 }')
    if awk -v w="$wait" 'BEGIN { exit !(w >= 0) }'; then sleep "$wait"; break; fi
  done
  [ "$k" -lt 6 ] || fail "the demo's music is too far on to reach part 8 at a sync"
  for ((; part < 7; part++)); do xdotool key Right; sleep 0.1; done
  sleep "$(awk -v t0="$1" -v now="$(date +%s%N)" -v s="${syncs[k + 1]}" 'BEGIN { w = s + 0.3 - (now - t0) / 1e9; printf "%.3f", (w > 0 ? w : 0) }')"
}

# A look at the demo every second until it ends by itself: `"$@" FILE`
# takes each picture, and none may be black. Leaves the count in `looks`.
look_until_end() {
  looks=0
  while kill -0 "$demo_pid" 2>/dev/null; do
    "$@" "$work/part.png" 2>/dev/null || break
    kill -0 "$demo_pid" 2>/dev/null || break
    not_black "$work/part.png" || fail "a black picture at look $looks"
    looks=$((looks + 1))
    sleep 1
  done
}

demo_ended() {
  wait_for 150 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "$1: the demo did not end"
  wait "$demo_pid"
  local status=$?
  demo_pgid=0
  [ "$status" -eq 1 ] || fail "$1: exit status $status, expected 1"
}

# (import of a window that is gone would wait for a click)
shot() { timeout 20 import -window "$1" "$2" 2>/dev/null; }
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
dark_blue() { [[ "$(pixel "$@")" =~ ^2[56],5[01],7[67]$ ]]; }
not_black() { [ "$(convert "$1" -format '%[fx:int(255*maxima)]' info:)" -gt 20 ]; }
# A picture drawn, not the window's first black nor part 1 still coming out
# of black: its first 1.2 s fade in, and a frame early in the fade has many
# colours but none above 20 (a quiet machine saw one; the first look after
# it then failed as black).
drawn() { [ "$(convert "$1" -format %k info:)" -gt 16 ] && not_black "$1"; }

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  start_xvfb
  plaid
  "$@"
  exit
fi
