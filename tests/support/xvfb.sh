#!/usr/bin/env bash
# xvfb.sh -- sourced by the tests that use a real X screen; run as
# `xvfb.sh PROGRAM ARG...` it runs PROGRAM on a fresh screen with a plaid desktop.
#   start_xvfb [WxH]  Xvfb (1024x768 unless told) on a free display, DISPLAY exported;
#                     it does not reset when a client leaves, so a painted root stays
#   start_wm          openbox on it, once it manages the screen
#   start_demo PROG [ARG...]  PROG in its own process group, output in $work/out.log
#   answer_question K the "Question" box answered with key K
#   demo_ended WHAT   the demo ended within 15 s with status 1 (a sanitizer report
#                     ends it with 23, set below), or fail
#   shot WINDOW FILE, pixel FILE X Y ("r,g,b"), dark_blue FILE X Y (part 8's clear
#   colour), drawn FILE (a picture: more colours than a desktop or a black window)
#   wait_for N CMD... CMD every 0.1 s, N times at most;  fail MSG (with the demo's output)
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
  [ -s "$work/out.log" ] && cat "$work/out.log"
  exit 1
}

wait_for() {
  local n=$1; shift
  for ((i = 0; i < n; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

start_xvfb() {
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local number=""
  read -r -t 20 -u "$fd" number || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$number"
  wait_for 100 xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer"
}

start_wm() {
  openbox >"$work/wm.log" 2>&1 &
  wm_pid=$!
  # openbox names its check window on the root once it manages the screen.
  wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start: $(cat "$work/wm.log")"
}

plaid() { xsetroot -mod 5 3 -fg '#d02040' -bg '#30c0a0' || fail "xsetroot"; }

start_demo() {
  setsid "$@" >"$work/out.log" 2>&1 &
  demo_pid=$!
  demo_pgid=$demo_pid
}

question() { xwininfo -root -tree 2>/dev/null | awk '/"Question"/ {print $1; exit}'; }
has_question() { test -n "$(question)"; }
answer_question() {
  wait_for 300 has_question || fail "no \"Question\" box appeared"
  xdotool windowfocus --sync "$(question)" key "$1" || fail "could not answer the box"
}

main_window() { xdotool search --name '^Demo v0\.17$' 2>/dev/null | head -n1; }
main_viewable() { local w; w=$(main_window); [ -n "$w" ] && xwininfo -id "$w" | grep -q 'IsViewable'; }

demo_ended() {
  wait_for 150 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "$1: the demo did not end"
  wait "$demo_pid"
  local status=$?
  demo_pgid=0
  [ "$status" -eq 1 ] || fail "$1: exit status $status, expected 1"
}

shot() { import -window "$1" "$2" 2>/dev/null; }
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
dark_blue() { [[ "$(pixel "$@")" =~ ^2[56],5[01],7[67]$ ]]; }
drawn() { [ "$(convert "$1" -format %k info:)" -gt 16 ]; }

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  start_xvfb
  plaid
  "$@"
  exit
fi
