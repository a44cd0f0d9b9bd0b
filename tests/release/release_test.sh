#!/usr/bin/env bash
# tools/release/release.sh in a tree of its own, with a make and a capture
# tool that only pretend (each build makes its file, or fails when told):
#   all builds succeed: DIST holds the six files, SHA256SUMS of the five;
#   the package and web builds fail, over an older release and an older
#     package: every other step still runs, both files are named as not
#     made, DIST is gone and nothing half made is left beside it;
#   the capture fails after writing part of the video: likewise.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; [ -s "$work/out" ] && cat "$work/out"; exit 1; }

tree=$work/tree
mkdir -p "$tree/tools/release" "$work/bin"
cp "$here/../../tools/release/release.sh" "$tree/tools/release/"
echo 'project(demo VERSION 0.17 LANGUAGES CXX)' >"$tree/CMakeLists.txt"
printf '#!/bin/sh\nexit 0\n' >"$tree/tools/bootstrap.sh"
# make TARGET: notes the target, fails when FAIL names it, else makes its file.
cat >"$work/bin/make" <<'EOF'
#!/bin/sh
echo "$1" >>"$MADE"
case " $FAIL " in *" $1 "*) echo "make $1: failing as told" >&2; exit 2 ;; esac
case $1 in
  package) mkdir -p build-pkg && echo deb >build-pkg/demo017_0.17_amd64.deb ;;
  web) mkdir -p build-web && echo web >build-web/demo-web.zip ;;
  windows) mkdir -p build-win && echo exe >build-win/demo.exe && echo win >build-win/demo-win64.zip ;;
  build) mkdir -p build && cp "$CAPTURE" build/demo-capture ;;
esac
EOF
# demo-capture -o VIDEO --sheet SHEET; with CAPTURE_FAILS, part of the video, then a failure.
cat >"$work/bin/capture" <<'EOF'
#!/bin/sh
[ -n "${CAPTURE_FAILS:-}" ] && { echo "half a vid" >"$2"; exit 1; }
echo video >"$2" && echo sheet >"$4"
EOF
chmod +x "$work/bin/make" "$work/bin/capture" "$tree/tools/bootstrap.sh" "$tree/tools/release/release.sh"
export MAKE=$work/bin/make CAPTURE=$work/bin/capture MADE=$work/made
release() { : >"$MADE"; (cd "$tree" && tools/release/release.sh dist) >"$work/out" 2>&1; }
leftovers() { ls -A "$tree" | grep -v -x -e CMakeLists.txt -e tools -e build -e build-pkg -e build-web -e build-win -e dist; }

FAIL="" release || fail "a release where every build succeeds failed"
[ "$(ls "$tree/dist" | tr '\n' ' ')" = "SHA256SUMS demo-0.17-contact-sheet.png demo-0.17-web.zip demo-0.17-win64.zip demo-0.17.mp4 demo017_0.17_amd64.deb " ] ||
  fail "dist holds $(ls "$tree/dist" | tr '\n' ' ')"
(cd "$tree/dist" && sha256sum --quiet -c SHA256SUMS) && [ "$(wc -l <"$tree/dist/SHA256SUMS")" -eq 5 ] || fail "SHA256SUMS"
[ -z "$(leftovers)" ] || fail "left beside dist: $(leftovers)"

FAIL="package web" release && fail "a release without its package and web zip succeeded"
[ "$(tr '\n' ' ' <"$MADE")" = "package web windows build " ] || fail "not every step ran: $(tr '\n' ' ' <"$MADE")"
grep -q 'NOT MADE demo017_0.17_amd64.deb (make package failed)' "$work/out" &&
  grep -q 'NOT MADE demo-0.17-web.zip (make web failed)' "$work/out" || fail "the missing files are not named"
[ ! -e "$tree/dist" ] || fail "dist is still there: $(ls "$tree/dist" | tr '\n' ' ')"
[ -z "$(leftovers)" ] || fail "left beside dist: $(leftovers)"

FAIL="" CAPTURE_FAILS=1 release && fail "a release whose capture failed succeeded"
grep -q 'NOT MADE demo-0.17.mp4, demo-0.17-contact-sheet.png (build/demo-capture failed)' "$work/out" ||
  fail "the video and the sheet are not named"
[ ! -e "$tree/dist" ] && [ -z "$(leftovers)" ] || fail "a failed capture left $(ls -A "$tree" | tr '\n' ' ')"
echo "release: complete, or no dist and the missing files named"
