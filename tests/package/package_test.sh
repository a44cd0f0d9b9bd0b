#!/usr/bin/env bash
# The Debian package that `make package` left in BUILD (build-pkg/).
#   package_test.sh contents BUILD -- its files and dependencies, the desktop
#     entry, the metainfo, lintian (no error, no warning), the manual page,
#     the usage naming demo017
#   package_test.sh planted BUILD -- a copy with a warning planted (a second
#     program without a manual page): the lintian check above must fail on it
#   package_test.sh twice BUILD -- make package run twice from the source
#     tree into two new build folders: the same bytes
#   package_test.sh run BUILD -- unpacked into a temporary folder and started
#     there under Xvfb: part 1 is drawn, Escape ends it with status 1
# DEMO_SOURCE_DIR is the source tree.
set -uo pipefail
mode=$1 build=$(realpath "$2")
here=$(dirname "$0")
source "$here/../support/xvfb.sh"

# lintian with every tag it has (pedantic and informational ones shown): an
# error or a warning fails. A tag the package accepts is overridden in the
# package itself, with the reason.
lintian_clean() {
  lintian --allow-root --info --display-info --pedantic --fail-on error,warning "$1" >"$2" 2>&1
  local status=$?
  cat "$2"
  [ "$status" -eq 1 ] && fail "lintian could not check $1"
  [ "$status" -eq 0 ] && ! grep -q '^[EW]:' "$2"
}

if [ "$mode" = twice ]; then
  # Each build from nothing, in a folder of its own, as make package builds.
  for b in a b; do
    step "make package into $work/$b"
    make -C "$DEMO_SOURCE_DIR" package PKG_BUILD="$work/$b" >"$work/$b.log" 2>&1 ||
      fail "make package into $work/$b: $(tail -n 30 "$work/$b.log")"
  done
  a=("$work"/a/demo017_*.deb) b=("$work"/b/demo017_*.deb)
  [ -f "${a[0]}" ] && [ -f "${b[0]}" ] || fail "make package made no package"
  cmp "${a[0]}" "${b[0]}" || fail "two builds from the same commit differ: $(diff <(dpkg-deb -c "${a[0]}") <(dpkg-deb -c "${b[0]}"))"
  echo "package twice: the same bytes from two clean build folders ($(sha256sum <"${a[0]}" | cut -c1-16))"
  exit 0
fi

debs=("$build"/demo017_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || fail "not one demo017 package in $build: run make package"
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x $deb"
demo=$root/usr/games/demo017
id=org.example.demo017

if [ "$mode" = planted ]; then
  dpkg-deb -R "$deb" "$work/planted" || fail "dpkg-deb -R $deb"
  cp "$work/planted/usr/games/demo017" "$work/planted/usr/games/demo017-planted"
  (cd "$work/planted" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
  dpkg-deb --root-owner-group -b "$work/planted" "$work/planted.deb" >/dev/null || fail "dpkg-deb -b"
  lintian_clean "$work/planted.deb" "$work/planted.txt" && fail "the lintian check passed a package with a warning in it"
  grep -q '^W: demo017: no-manual-page \[usr/games/demo017-planted\]' "$work/planted.txt" ||
    fail "lintian did not name the planted warning"
  echo "package planted: the lintian check fails on the planted warning"
  exit 0
fi

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

lintian_clean "$deb" "$work/lintian.txt" || fail "lintian reports errors or warnings"
grep -qx 'Maintainer: .* <.*@.*>' <(dpkg-deb -f "$deb") || fail "no maintainer with an address"

MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$root/usr/share/man/man6/demo017.6.gz" >"$work/man.txt" 2>"$work/man.err"
[ ! -s "$work/man.err" ] && grep -q '^EXIT STATUS' "$work/man.txt" || fail "man: $(cat "$work/man.err")"
# Every option the program knows is in the manual page.
for option in $("$demo" --help | grep -o -- '--[a-z]*' | sort -u); do
  grep -q -- "$option" "$work/man.txt" || fail "the manual page lacks $option"
done

# The usage names the program as it is installed.
[ "$("$demo" --help | head -n1)" = "usage: $demo [--fullscreen | --window] [--scale N] [--help]" ] ||
  fail "the usage does not name $demo: $("$demo" --help | head -n1)"
echo "package contents: all checks passed"
