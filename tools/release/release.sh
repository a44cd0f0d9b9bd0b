#!/usr/bin/env bash
# make release: builds everything a release hands out and puts it in DIST:
#   demo017_VERSION_amd64.deb       the Debian package (make package, build-pkg/)
#   demo-VERSION-win64.zip          the Windows build (make windows, build-win/)
#   demo-VERSION-web.zip            the browser build (make web, build-web/)
#   demo-VERSION.mp4                the whole demo with its music (build/demo-capture)
#   demo-VERSION-contact-sheet.png  one frame of each part (build/demo-capture)
#   SHA256SUMS                      of all of them
# Every step is tried, whatever failed before it; what was made is gathered
# in a folder beside DIST, which takes DIST's place only when nothing is
# missing. Otherwise the script names each file it could not make and why,
# removes DIST (an older release there would pass for this one) and fails.
# The same commit gives the same bytes where the builds do (see README).
#
#   tools/release/release.sh DIST
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(realpath -m "${1:?usage: release.sh DIST}")
make=${MAKE:-make}
cd "$top" || exit 1
version=$(sed -n 's/^project(demo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

stage=$(dirname "$dist")/.$(basename "$dist").partial-$$
trap 'rm -rf "$stage"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
rm -rf "$stage"
mkdir -p "$stage" || exit 1
missing=()

# build WHAT FILE NAME -- runs make WHAT after removing FILE (so that an
# older one cannot pass for it), then copies FILE into the release as NAME.
build() {
  rm -f "$2"
  echo "release: make $1"
  if ! "$make" "$1"; then
    missing+=("$3 (make $1 failed)")
  elif [ ! -f "$2" ]; then
    missing+=("$3 (make $1 made no $2)")
  elif ! cp "$2" "$stage/$3"; then
    missing+=("$3 (cannot copy $2)")
  fi
}
build package "build-pkg/demo017_${version}_amd64.deb" "demo017_${version}_amd64.deb"
build web build-web/demo-web.zip "demo-$version-web.zip"
# demo.exe is linked again, so that ld stamps it with SOURCE_DATE_EPOCH.
rm -f build-win/demo.exe
build windows build-win/demo-win64.zip "demo-$version-win64.zip"

# The video and the sheet from one run of the capture tool, which puts both
# in place together, only when the run succeeds.
video="demo-$version.mp4" sheet="demo-$version-contact-sheet.png"
rm -f build/demo-capture
echo "release: make build"
if ! "$make" build; then
  missing+=("$video, $sheet (make build failed)")
elif ! tools/bootstrap.sh video; then
  missing+=("$video, $sheet (ffmpeg could not be installed)")
else
  start=$(date +%s)
  if ./build/demo-capture -o "$stage/$video" --sheet "$stage/$sheet"; then
    echo "release: video and contact sheet in $(($(date +%s) - start)) s"
  else
    missing+=("$video, $sheet (build/demo-capture failed)")
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  rm -rf "$dist"
  for m in "${missing[@]}"; do echo "release: NOT MADE $m" >&2; done
  echo "release: $dist is left out: ${#missing[@]} of the release's files could not be made" >&2
  exit 1
fi
(cd "$stage" && sha256sum -- * >SHA256SUMS) || { echo "release: cannot write SHA256SUMS" >&2; exit 1; }
# The older release out, the new one in: DIST is never half filled.
rm -rf "$dist.old-$$"
if [ -e "$dist" ]; then mv "$dist" "$dist.old-$$" || exit 1; fi
mv "$stage" "$dist" || { echo "release: cannot move the release to $dist (the older one is $dist.old-$$)" >&2; exit 1; }
rm -rf "$dist.old-$$"
echo "release: $dist"
(cd "$dist" && ls -l)
