#!/usr/bin/env bash
# Cross-builds the demo's libraries for 64-bit Windows (mingw-w64) from
# Debian's own source packages, the same versions the Linux build uses:
#   SDL2           static  (zlib licence)
#   libjpeg-turbo  static  (IJG and BSD-style licences; TurboJPEG only)
#   libmpg123      DLL     (LGPL 2.1: shipped beside the .exe, replaceable)
# Only what the demo uses is configured. The result goes to CACHE/prefix and
# is reused as long as CACHE/prefix/VERSIONS matches this script and the
# archive's versions; anything else builds again from scratch.
#
#   tools/windows/build-deps.sh CACHE
set -euo pipefail
cache=$(realpath -m "${1:?usage: build-deps.sh CACHE}")
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$(realpath "$here/../../cmake/mingw-w64.cmake")
prefix=$cache/prefix
jobs=$(nproc)
packages=(libsdl2 libjpeg-turbo mpg123)

# Source packages come from the archive the machine already uses: a deb-src
# entry beside each deb entry of its apt sources, either form.
source "$(dirname "$0")/../common/deb-src.sh"
ensure_deb_src libsdl2

# The version the archive offers now (the highest one, as apt-get source takes).
src_version() { apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -n1; }
# The contents only: the same script in another checkout finds the same cache.
key="script $(cat "$0" "$toolchain" | sha256sum | cut -c1-16)"
for p in "${packages[@]}"; do key+=$'\n'"$p $(src_version "$p")"; done
if [ -f "$prefix/VERSIONS" ] && [ "$(cat "$prefix/VERSIONS")" = "$key" ]; then
  exit 0
fi

echo "Building the Windows libraries into $cache (once)"
start=$(date +%s)
rm -rf "$cache"
mkdir -p "$cache/src" "$prefix/lib" "$prefix/bin" "$prefix/include" "$prefix/licences"

# Unpacks a source package: the upstream tarball, Debian's folder and its
# patch series. apt checks every file it fetches against the signed index;
# the upstream signature (.asc) that some packages list is not always served
# by the mirror, so dpkg-source -x is not used.
unpack() {
  local name=$1 version=$2 dir=$cache/src/$1
  (cd "$cache/src" && apt-get source -qq --download-only "$name=$version" >/dev/null 2>&1) || true
  local upstream=${version#*:}; upstream=${upstream%-*}
  local orig debian
  orig=$(ls "$cache/src/${name}_${upstream}.orig.tar."* 2>/dev/null | grep -v '\.asc$' | head -n1)
  debian=$(ls "$cache/src/${name}_${version#*:}.debian.tar."* 2>/dev/null | head -n1)
  [ -n "$orig" ] && [ -n "$debian" ] || { echo "apt-get source $name=$version fetched nothing" >&2; exit 1; }
  # The checksums of the signed index.
  local file sum
  for file in "$orig" "$debian"; do
    sum=$(apt-cache showsrc "$name" | awk -v f="$(basename "$file")" -v v="$version" \
      '/^Version:/ {ours = ($2 == v)} /^Checksums-Sha256:/ {on=1; next} /^[^ ]/ {on=0}
       ours && on && $3 == f {print $1; exit}')
    [ "$(sha256sum "$file" | cut -d' ' -f1)" = "$sum" ] || { echo "checksum mismatch: $file" >&2; exit 1; }
  done
  mkdir -p "$dir"
  tar xf "$orig" -C "$dir" --strip-components=1
  tar xf "$debian" -C "$dir"
  if [ -f "$dir/debian/patches/series" ]; then
    local patch
    while read -r patch _; do
      case "$patch" in ''|'#'*) continue ;; esac
      patch -d "$dir" -p1 -s <"$dir/debian/patches/$patch"
    done <"$dir/debian/patches/series"
  fi
}

cmake_cross() {
  cmake -S "$1" -B "$1/build" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${@:2}" >"$1/configure.log"
}

# SDL2: video (windows, WGL), events, audio (WASAPI, winmm, dummy), threads,
# timers, loading opengl32.dll. No joystick, haptic, sensor, renderer, DirectX.
sdl_version=$(src_version libsdl2)
unpack libsdl2 "$sdl_version"
sdl=$cache/src/libsdl2
cmake_cross "$sdl" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
  -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
  -DSDL_RENDER=OFF -DSDL_DIRECTX=OFF -DSDL_RENDER_D3D=OFF -DSDL_XINPUT=OFF -DSDL_VULKAN=OFF \
  -DSDL_OPENGLES=OFF -DSDL_FILESYSTEM=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_DISKAUDIO=OFF
cmake --build "$sdl/build" -j "$jobs" >"$sdl/build.log"
cmake --install "$sdl/build" >/dev/null
cp "$sdl/LICENSE.txt" "$prefix/licences/SDL2.txt"

# libjpeg-turbo: the TurboJPEG library alone, with its SIMD code (nasm).
jpeg_version=$(src_version libjpeg-turbo)
unpack libjpeg-turbo "$jpeg_version"
jpeg=$cache/src/libjpeg-turbo
cmake_cross "$jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=OFF
cmake --build "$jpeg/build" -j "$jobs" --target turbojpeg-static >"$jpeg/build.log"
cp "$jpeg/build/libturbojpeg.a" "$prefix/lib/"
cp "$jpeg/turbojpeg.h" "$prefix/include/"
cat "$jpeg/LICENSE.md" "$jpeg/README.ijg" >"$prefix/licences/libjpeg-turbo.txt"

# libmpg123: the decoding library alone, as a DLL.
mpg_version=$(src_version mpg123)
unpack mpg123 "$mpg_version"
mpg=$cache/src/mpg123
# No pkg-config: nothing of this machine's own libraries may be picked up.
(cd "$mpg" && PKG_CONFIG_LIBDIR=/nonexistent ./configure --host=x86_64-w64-mingw32 \
  --prefix="$prefix" --enable-shared --disable-static --with-cpu=x86-64 --disable-modules \
  --disable-network --with-audio=dummy >configure.log)
make -C "$mpg" -j "$jobs" src/libmpg123/libmpg123.la >"$mpg/build.log"
x86_64-w64-mingw32-strip --strip-unneeded -o "$prefix/bin/libmpg123-0.dll" \
  "$mpg"/src/libmpg123/.libs/libmpg123-0.dll
cp "$mpg"/src/libmpg123/.libs/libmpg123.dll.a "$prefix/lib/"
cp "$mpg"/src/libmpg123/mpg123.h "$mpg"/src/libmpg123/fmt123.h "$prefix/include/"
cp "$mpg/COPYING" "$prefix/licences/libmpg123.txt"
cat >"$prefix/licences/README.txt" <<EOF
demo.exe contains SDL2 (Debian source package libsdl2 $sdl_version) and
libjpeg-turbo (Debian source package libjpeg-turbo $jpeg_version), linked
statically; their licences are SDL2.txt and libjpeg-turbo.txt.
This software is based in part on the work of the Independent JPEG Group.

libmpg123-0.dll is libmpg123 from Debian's source package mpg123
$mpg_version, built unchanged for Windows; its licence, the GNU LGPL 2.1, is
libmpg123.txt. The source is Debian's (apt-get source mpg123=$mpg_version).
Any compatible build of libmpg123-0.dll can take its place.
EOF

echo "$key" >"$prefix/VERSIONS"
echo "Windows libraries built in $(($(date +%s) - start)) s"
