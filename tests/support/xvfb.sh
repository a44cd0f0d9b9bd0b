# xvfb.sh -- sourced by the tests that use a real X screen.
#
# start_xvfb [WxH]  starts Xvfb (default 1024x768, 24 bits) on a free display
#                   and exports DISPLAY; the server does not reset when a
#                   client leaves, so a painted root window stays painted
# start_wm          starts openbox on that display and waits until it manages
# start_demo PROG [ARG...] starts PROG in its own process group, output in $work/out.log
# answer_question K waits for the "Question" box and answers it with key K
# wait_for N CMD... retries CMD every 0.1 s, N times at most
# fail MSG          prints MSG (and the demo's output) and exits 1
# Everything started here is ended when the script exits, also when it is
# ended by a signal (ctest's timeout sends TERM).

work=$(mktemp -d)
xvfb_pid=0
wm_pid=0
demo_pgid=0

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
