#!/usr/bin/env bash
# Installs the Debian packages the demo needs, if any are missing.
#   tools/bootstrap.sh run   -- to build and run the demo
#   tools/bootstrap.sh test  -- to build and run every test (and make assets)
#   tools/bootstrap.sh video -- to build the demo and capture it as a video
#   tools/bootstrap.sh windows -- to cross-build the demo for Windows
#   tools/bootstrap.sh web  -- to build the demo for the browser
#   tools/bootstrap.sh package -- to build the Debian package
set -euo pipefail

run_packages=(build-essential cmake pkg-config
  libsdl2-dev libgl1-mesa-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libturbojpeg0-dev libmpg123-dev libx11-dev libpng-dev libdeflate-dev)
test_packages=(googletest libgtest-dev libbenchmark-dev libmp3lame-dev fonts-dejavu-core
  xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick xfonts-base openbox ffmpeg sox libsox-fmt-mp3)

wanted=("${run_packages[@]}")
# The picture baker letters with FreeType.
test_packages+=(libfreetype-dev)
# The Windows manifest test reads the manifest out of demo.exe with xmllint.
test_packages+=(libxml2-utils)
# The capture test replaces files on exFAT (no hard links) through FUSE.
test_packages+=(exfat-fuse exfatprogs)
# A display change under the full-screen demo: an X server that can change
# its screen's size (Xvfb cannot), tigervnc's Xvnc.
test_packages+=(tigervnc-standalone-server)
# The Windows build: mingw-w64, nasm for libjpeg-turbo, dpkg-dev for apt-get
# source, python3 to pack the zip; its tests run it under Wine.
windows_packages=(g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 nasm dpkg-dev patch python3)
if [ "${1:-run}" = "test" ]; then wanted+=("${test_packages[@]}" "${windows_packages[@]}" wine64); fi
if [ "${1:-run}" = "windows" ]; then wanted+=("${windows_packages[@]}"); fi
if [ "${1:-run}" = "video" ]; then wanted+=(ffmpeg); fi
# The browser build: emscripten, and dpkg-dev and patch for apt-get source;
# ImageMagick makes the page's icon; its tests drive Debian's chromium and
# firefox-esr with puppeteer-core from npm.
web_packages=(emscripten dpkg-dev patch python3 imagemagick)
if [ "${1:-run}" = "web" ]; then wanted+=("${web_packages[@]}"); fi
if [ "${1:-run}" = "test" ]; then
  # (Firefox plays its sound to a PulseAudio null sink in the tests.)
  wanted+=("${web_packages[@]}" chromium firefox-esr pulseaudio)
  # A node that came with its own npm (not Debian's) needs no npm package.
  command -v npm >/dev/null || wanted+=(npm)
fi
# The Debian package: dpkg-dev for dpkg-shlibdeps and dpkg-buildflags, file
# for CPack to find the executables it runs dpkg-shlibdeps on,
# ImageMagick for its icons; its tests check it with lintian, the desktop
# entry and metainfo validators and man.
package_packages=(dpkg-dev file imagemagick)
if [ "${1:-run}" = "package" ]; then wanted+=("${package_packages[@]}"); fi
if [ "${1:-run}" = "test" ]; then
  wanted+=("${package_packages[@]}" lintian desktop-file-utils appstream man-db)
fi

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
