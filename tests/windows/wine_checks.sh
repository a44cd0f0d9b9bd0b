#!/usr/bin/env bash
# demo.exe under Wine on Xvfb with openbox, where Windows differs from Linux:
#   wine_checks.sh help EXE     --help in a file when standard output leads
#                               to one; started as from the desktop, --help
#                               and a bad option in a box "demo.exe" that
#                               Return closes; statuses 0 and 2
#   wine_checks.sh nosound EXE  no sound output: the box "Shit !" stands
#                               above the splash, has the keyboard, Return
#                               answers it; then the demo's window has the
#                               keyboard: Escape ends it with status 1
#   wine_checks.sh frame EXE    --window in Wine's virtual desktop, where Wine
#                               draws the frame as Windows does: the frame
#                               at the desktop's top-left corner, the title
#                               bar on the screen above the 640 x 480
#                               picture; Escape ends it
#   wine_checks.sh oldgl EXE    Mesa offering OpenGL 1.3 without framebuffer
#                               objects and without textures of any size (as
#                               Windows' own OpenGL 1.1), --scale 2 asked
#                               for: it says on stderr that it draws at
#                               640 x 480; a picture (not black) every
#                               second until the demo ends by itself, status 1
# Runs in the Wine prefix `wine_demo.sh boot` made ($WINEPREFIX).
set -uo pipefail
mode=$1 exe=$2
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$(dirname "$0")/../support/xvfb.sh"
# Wine's processes for this prefix end first, and are waited for:
# `wineserver -k` returns before the server has gone, and the next test's
# demo may meet it ending.
trap '"$wineserver" -k 2>/dev/null; timeout 30 "$wineserver" -w; cleanup' EXIT
start_xvfb 1024x768
start_wm
plaid

if [ "$mode" = help ]; then
  timeout 120 "$wine" "$exe" --help >"$work/help.out" 2>&1; status=$?
  [ "$status" -eq 0 ] || fail "--help into a file: status $status"
  # The usage names the program as it was started: here Wine's path of demo.exe.
  grep -q '^usage: .*demo\.exe \[--fullscreen' "$work/help.out" || fail "--help into a file: $(cat "$work/help.out")"
  # Started as from the desktop (Wine's start: no standard handles, no
  # console to attach to), waited for, its status passed on.
  for option in --help --bogus; do
    start_demo "$wine" start /wait /unix "$exe" "$option"
    wait_for 300 box_shown demo.exe || fail "$option with nowhere to write: no box \"demo.exe\""
    b=$(box demo.exe)
    timeout 10 xdotool windowactivate --sync "$b" key Return || fail "could not answer the box"
    wait_for 100 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "$option: the box was answered, the demo goes on"
    wait "$demo_pid"; status=$?
    demo_pgid=0
    expected=0
    [ "$option" = --bogus ] && expected=2
    [ "$status" -eq "$expected" ] || fail "$option from the desktop: status $status, expected $expected"
  done
  echo "wine: --help in a file and in a box, a bad option in a box with status 2"
  exit 0
fi

if [ "$mode" = frame ]; then
  # A window's X window there holds its whole frame, title bar included
  # (with a window manager Wine leaves the frame to it, and openbox keeps
  # the title bar of any window on the screen).
  export SDL_AUDIODRIVER=dummy
  start_demo "$wine" explorer /desktop=demo,1024x768 "$exe" --window
  wait_for 600 main_viewable || fail "window \"Demo v0.17\" never shown"
  win=$(main_window)
  # Where the frame is on the desktop (the X window's parent), and where the
  # picture is in the frame.
  read -r fx fy fw fh < <(xwininfo -id "$win" | awk '/Relative upper-left X/ {x=$NF} /Relative upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  [ "$fx $fy" = "0 0" ] || fail "the frame (${fw}x$fh) is at $fx,$fy on the desktop, not at its top-left corner"
  client=$(xwininfo -children -id "$win" | awk '/^ +0x/ {print $1; exit}')
  read -r cx cy cw ch < <(xwininfo -id "$client" | awk '/Relative upper-left X/ {x=$NF} /Relative upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  [ "${cw}x$ch" = 640x480 ] || fail "the picture is ${cw}x$ch, not 640 x 480"
  # The title bar lies above the picture, inside the frame: on the screen.
  [ "$cy" -gt "$cx" ] && [ "$((cy + ch))" -le "$fh" ] || fail "no title bar above the picture: it is at $cx,$cy in a frame of ${fw}x$fh"
  picture_drawn() { shot "$client" "$work/part.png" && drawn "$work/part.png"; }
  wait_for 50 picture_drawn || fail "part 1 is not drawn"
  desktop=$(xdotool search --name '^demo - Wine desktop$' 2>/dev/null | head -n1)
  viewable "$desktop" || fail "no Wine desktop"
  xdo windowfocus --sync "$desktop" key Escape || fail "could not press Escape"
  # (The status is explorer's, which ran the demo in its desktop.)
  wait_for 150 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "Escape: the demo did not end"
  demo_pgid=0
  echo "wine: the frame at the desktop's top-left corner, ${fw}x$fh, the picture at $cx,$cy in it"
  exit 0
fi

if [ "$mode" = oldgl ]; then
  export SDL_AUDIODRIVER=dummy MESA_GL_VERSION_OVERRIDE=1.3
  export MESA_EXTENSION_OVERRIDE="-GL_ARB_framebuffer_object -GL_EXT_framebuffer_object -GL_EXT_framebuffer_blit -GL_ARB_texture_non_power_of_two"
  start_demo "$wine" "$exe" --window --scale 2
  shown_or_error() { main_viewable || [ -n "$(box Error)" ]; }
  wait_for 600 shown_or_error || fail "window \"Demo v0.17\" never shown"
  # The window shows as set-up ends, the music having started a moment
  # before: the time from here to the end is the music's length, less the
  # time the test took to see the window. (Not from part 1 seen drawn: beside
  # two busy loops the screenshots until then once took 12 s, and the demo
  # ended 54 s after them.)
  shown_at=$(date +%s)
  [ -z "$(box Error)" ] || fail "an \"Error\" box instead of the window"
  win=$(main_window)
  shot "$win" "$work/part.png" 2>/dev/null
  picture_drawn() { shot "$win" "$work/part.png" && drawn "$work/part.png"; }
  wait_for 50 picture_drawn || fail "part 1 is not drawn"
  # Every part as the music brings it.
  look_until_end shot "$win"
  demo_ended "the end"
  # The Windows build keeps no timeline of its own: that it played to its
  # end is read from the clock on the wall, which a busy machine can only
  # lengthen. SDL's silent output asks for 46.44 ms of sound every 46 ms:
  # the music's 66 s pass in 65.3 s at the least.
  played=$(($(date +%s) - shown_at))
  [ "$played" -ge 58 ] || fail "the demo ended $played s after its window showed, before its music's end"
  [ "$looks" -ge 3 ] || fail "only $looks looks at the demo before it ended"
  # (which also tells that Mesa took away the framebuffer objects)
  grep -q "without framebuffer objects it is drawn at 640 x 480, not at scale 2" "$work/out.log" ||
    fail "--scale 2 without framebuffer objects: nothing said on stderr"
  echo "wine: OpenGL 1.3 without framebuffer objects and textures of any size: $looks pictures, none black, status 1 at the end, $played s after the window showed"
  exit 0
fi

if [ "$mode" = nosound ]; then
  # No SDL_AUDIODRIVER, no sound server: SDL finds no output under Wine.
  unset SDL_AUDIODRIVER
  export PULSE_SERVER=unix:/nonexistent
  start_demo "$wine" "$exe" --window
  wait_for 600 box_shown 'Shit !' || fail "no \"Shit !\" box: $(xwininfo -root -tree | grep -c '"')"
  splash=""
  for w in $(xdotool search --name '^Fovex\.exe$' 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q IsViewable && splash=$w
  done
  [ -n "$splash" ] || fail "the splash is not up while the box shows"
  # The top-level window (a child of the root) that holds a window: the
  # window manager's frame, or the window itself.
  top_of() {
    local w=$1 parent
    while parent=$(xwininfo -children -id "$w" 2>/dev/null | awk '/Parent window id:/ {print $4}'); do
      [ "$parent" = "$(xwininfo -root | awk '/Window id:/ {print $4}')" ] && { echo "$w"; return; }
      w=$parent
    done
  }
  # Where more than one X window has the box's title, the box is the largest
  # one shown, looked for again at every look. (Twice beside busy loops the
  # window first named so read 110 x 2 through all the looks; which window
  # that was is not known: a failure lists them all.)
  boxes() { xwininfo -root -tree 2>/dev/null | awk '/"Shit !":/ {print $1}'; }
  shown_box() {
    local w best="" area=0 a
    for w in $(boxes); do
      viewable "$w" || continue
      a=$(xwininfo -id "$w" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w * h}')
      [ "$a" -gt "$area" ] && best=$w area=$a
    done
    echo "${best:-$(box 'Shit !')}"
  }
  b=$(shown_box)
  # The root's children, the top-most first.
  order=$(xwininfo -root -children | awk '/^ +0x/ {print $1}')
  rank() { grep -n -x "$(printf '0x%x' "$(($1))")" <<<"$order" | cut -d: -f1; }
  box_rank=$(rank "$(top_of "$b")") splash_rank=$(rank "$(top_of "$splash")")
  [ -n "$box_rank" ] && [ -n "$splash_rank" ] || fail "the box or the splash is not on the screen's stack"
  # A screenshot where box and splash overlap shows the box: mostly its own
  # face colour, read where the box stands clear of the splash (its text,
  # icon and themed button are the rest), not the splash's dark picture.
  geometry() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, x + w, y + h}'; }
  # (A box just mapped may not have its size or its paint yet: where it
  # stands and what it shows looked at again for up to 20 seconds. A busy
  # machine once gave a first look with none of it painted, and once read
  # the box 63 x 2 pixels over the splash where it came to overlap 320 x 76.)
  box_face_shown() {
    b=$(shown_box)
    read -r bx0 by0 bx1 by1 < <(geometry "$b")
    read -r sx0 sy0 sx1 sy1 < <(geometry "$splash")
    x0=$((bx0 > sx0 ? bx0 : sx0)) y0=$((by0 > sy0 ? by0 : sy0))
    x1=$((bx1 < sx1 ? bx1 : sx1)) y1=$((by1 < sy1 ? by1 : sy1))
    overlap="nothing" share="" face=""
    [ "$x1" -gt "$x0" ] && [ "$y1" -gt "$y0" ] || return 1
    overlap="$((x1 - x0))x$((y1 - y0))+$x0+$y0"
    import -window root "$work/screen.png" 2>/dev/null || return 1
    clear=""
    for corner in "$((bx0 + 2)) $((by0 + 2))" "$((bx1 - 3)) $((by0 + 2))" "$((bx0 + 2)) $((by1 - 3))" "$((bx1 - 3)) $((by1 - 3))"; do
      read -r cx cy <<<"$corner"
      if [ "$cx" -lt "$sx0" ] || [ "$cx" -ge "$sx1" ] || [ "$cy" -lt "$sy0" ] || [ "$cy" -ge "$sy1" ]; then clear=$corner; break; fi
    done
    # While windows are still being placed the box can sit wholly over the
    # splash for a moment: look again rather than read a face from it.
    [ -n "$clear" ] || { face="none clear of the splash"; return 1; }
    face=$(pixel "$work/screen.png" $clear)
    convert -size "$((x1 - x0))x$((y1 - y0))" "xc:rgb($face)" "$work/face.png"
    convert "$work/screen.png" -crop "$overlap" +repage "$work/overlap.png"
    other=$(compare -metric AE -fuzz 3% "$work/overlap.png" "$work/face.png" null: 2>&1)
    share=$((100 * ${other%%.*} / ((x1 - x0) * (y1 - y0))))
    [ "$share" -lt 25 ]
  }
  wait_for 200 box_face_shown ||
    fail "where the box overlaps the splash ($overlap, box $b $bx0,$by0-$bx1,$by1) ${share:-?} % of the screenshot is not the box's face (${face:-?}); windows named so: $(for w in $(boxes); do echo "$w $(geometry "$w") $(xwininfo -id "$w" | awk '/Map State:/ {print $NF}')"; done | paste -sd ';')"
  [ "$box_rank" -lt "$splash_rank" ] || fail "the box ($box_rank) stands below the splash ($splash_rank) on the screen"
  timeout 10 xdotool key Return || fail "could not press Return"
  wait_for 600 main_viewable || fail "Return did not answer the box: the window never showed"
  win=$(main_window)
  # The demo's window takes the keyboard when it shows: Escape, sent to
  # whichever window has it, ends the demo.
  part_drawn() { shot "$win" "$work/part.png" && drawn "$work/part.png"; }
  wait_for 50 part_drawn || fail "part 1 is not drawn"
  focused=$(xdotool getwindowfocus 2>/dev/null)
  xdotool key Escape
  demo_ended "Escape to the focused window $focused (the demo's is $win)"
  echo "wine: the \"Shit !\" box above the splash (overlap $overlap, $share % not its face), answered by Return; the window took the keyboard"
  exit 0
fi
echo "usage: wine_checks.sh help|nosound|frame|oldgl EXE" >&2
exit 2
