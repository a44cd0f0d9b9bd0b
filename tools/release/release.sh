#!/usr/bin/env bash
# Fills DIST (emptied first) with what a release hands out, from the builds
# that make release has just made:
#   demo017_VERSION_amd64.deb       the Debian package (build-pkg/)
#   demo-VERSION-win64.zip          the Windows build (build-win/)
#   demo-VERSION-web.zip            the browser build (build-web/)
#   demo-VERSION.mp4                the whole demo with its music (build/demo-capture)
#   demo-VERSION-contact-sheet.png  one frame of each part (build/demo-capture)
#   SHA256SUMS                      of all of them
# The same commit gives the same bytes where the builds do (see README).
# Says what is missing, and fails if anything is.
#
#   tools/release/release.sh DIST
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(realpath -m "${1:?usage: release.sh DIST}")
cd "$top"
version=$(sed -n 's/^project(demo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
tools/bootstrap.sh video

rm -rf "$dist"
mkdir -p "$dist"
missing=()
take() {  # take FROM NAME: copied when it exists, else noted as missing
  if [ -f "$1" ]; then cp "$1" "$dist/$2"; else missing+=("$2 (no $1)"); fi
}
take "build-pkg/demo017_${version}_amd64.deb" "demo017_${version}_amd64.deb"
take build-win/demo-win64.zip "demo-$version-win64.zip"
take build-web/demo-web.zip "demo-$version-web.zip"

# The video and the sheet from one run of the capture tool, which puts both
# in place together, only when the run succeeds.
start=$(date +%s)
./build/demo-capture -o "$dist/demo-$version.mp4" --sheet "$dist/demo-$version-contact-sheet.png"
echo "release: video and contact sheet in $(($(date +%s) - start)) s"

(cd "$dist" && sha256sum -- * >SHA256SUMS)
echo "release: $dist"
(cd "$dist" && ls -l)
status=0
for m in "${missing[@]}"; do
  echo "release: MISSING $m"
  status=1
done
exit $status
