#!/usr/bin/env bash
# The Debian package that `make package` left in BUILD (build-pkg/).
#   package_test.sh contents BUILD -- its files and dependencies, the desktop
#     entry, the metainfo, lintian, the manual page, the same bytes when packed again
#   package_test.sh run BUILD -- unpacked into a temporary folder and started
#     there under Xvfb: part 1 is drawn, Escape ends it with status 1
# DEMO_SOURCE_DIR is the source tree (for the last commit's time).
set -uo pipefail
mode=$1 build=$(realpath "$2")
here=$(dirname "$0")
source "$here/../support/xvfb.sh"
debs=("$build"/demo017_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || fail "not one demo017 package in $build: run make package"
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x $deb"
demo=$root/usr/games/demo017
id=org.example.demo017

if [ "$mode" = run ]; then
  start_xvfb 1024x768
  xsetroot -solid '#808080'
  export SDL_AUDIODRIVER=dummy
  start_demo "$demo" --window
  wait_for 600 main_viewable || fail "the unpacked demo never showed its window"
  win=$(main_window)
  part1() { shot "$win" "$work/part1.png" && drawn "$work/part1.png"; }
  wait_for 100 part1 || fail "part 1 is not drawn: $(convert "$work/part1.png" -format '%k colours' info:)"
  xdotool windowfocus --sync "$win" key Escape || fail "could not focus the window"
  demo_ended "the unpacked demo, Escape"
  echo "package run: all checks passed"
  exit 0
fi

# Exactly these files, nothing stray.
expected="./usr/games/demo017
./usr/share/applications/$id.desktop
./usr/share/doc/demo017/changelog.gz
./usr/share/doc/demo017/copyright
./usr/share/icons/hicolor/256x256/apps/demo017.png
./usr/share/icons/hicolor/48x48/apps/demo017.png
./usr/share/man/man6/demo017.6.gz
./usr/share/metainfo/$id.metainfo.xml"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
[ "$files" = "$expected" ] || fail "package files differ: $(diff <(echo "$expected") <(echo "$files"))"
for size in 256 48; do
  got=$(identify -format '%m %wx%h' "$root/usr/share/icons/hicolor/${size}x$size/apps/demo017.png")
  [ "$got" = "PNG ${size}x$size" ] || fail "the ${size} pixel icon is $got"
done
# The dependencies come from dpkg-shlibdeps: the libraries the demo links.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2-2.0-0 libmpg123-0 libturbojpeg0 libgl1 libglu1-mesa libc6; do
  [[ ", $depends" == *", $lib "* || ", $depends" == *", $lib,"* ]] || fail "Depends lacks $lib: $depends"
done

desktop=$root/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=/usr/games/demo017' "$desktop" && grep -qx 'Icon=demo017' "$desktop" || fail "the entry does not start demo017 with its icon"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"

lintian --allow-root --info --display-info --pedantic "$deb" >"$work/lintian.txt" 2>&1; status=$?
cat "$work/lintian.txt"
[ "$status" -ne 2 ] && ! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors"

MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$root/usr/share/man/man6/demo017.6.gz" >"$work/man.txt" 2>"$work/man.err"
[ ! -s "$work/man.err" ] && grep -q '^EXIT STATUS' "$work/man.txt" || fail "man: $(cat "$work/man.err")"
# Every option the program knows is in the manual page.
for option in $("$demo" --help | grep -o -- '--[a-z]*' | sort -u); do
  grep -q -- "$option" "$work/man.txt" || fail "the manual page lacks $option"
done

# Packed again with the last commit's time, the package has the same bytes.
SOURCE_DATE_EPOCH=$(git -C "$DEMO_SOURCE_DIR" log -1 --format=%ct) cpack --config "$build/CPackConfig.cmake" \
  -B "$work/again" >"$work/cpack.log" 2>&1 || fail "cpack again: $(cat "$work/cpack.log")"
cmp "$deb" "$work/again/$(basename "$deb")" || fail "packed again, the package differs (built from another commit?)"
echo "package contents: all checks passed"
