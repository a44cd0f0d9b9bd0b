#!/usr/bin/env bash
# Builds the libraries the browser build needs for WebAssembly (emscripten)
# from Debian's own source packages, the same versions the Linux build uses:
#   libjpeg-turbo  TurboJPEG, static, no SIMD (wasm has none it could use)
#   libmpg123      static, generic C decoder
# emscripten's "ports" would download these from elsewhere; they are not
# used. The result goes to CACHE/prefix and is reused as long as
# CACHE/prefix/VERSIONS matches this script and the archive's versions.
#
#   tools/web/build-deps.sh CACHE
set -euo pipefail
cache=$(realpath -m "${1:?usage: build-deps.sh CACHE}")
prefix=$cache/prefix
jobs=$(nproc)
packages=(libjpeg-turbo mpg123)
# Debian's emcc finds its JavaScript modules (acorn) only here.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

# Source packages come from the archive the machine already uses: a deb-src
# entry beside each deb entry of its apt sources, either form.
source "$(dirname "$0")/../common/deb-src.sh"
ensure_deb_src mpg123

src_version() { apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -n1; }
key="script $(sha256sum "$0" | cut -c1-16) emcc $(emcc -dumpversion 2>/dev/null)"
for p in "${packages[@]}"; do key+=$'\n'"$p $(src_version "$p")"; done
if [ -f "$prefix/VERSIONS" ] && [ "$(cat "$prefix/VERSIONS")" = "$key" ]; then
  exit 0
fi

echo "Building the WebAssembly libraries into $cache (once)"
start=$(date +%s)
rm -rf "$cache"
mkdir -p "$cache/src" "$prefix/lib" "$prefix/include" "$prefix/licences"

# Unpacks a source package: the upstream tarball, Debian's folder and its
# patch series, each file checked against the signed index.
unpack() {
  local name=$1 version=$2 dir=$cache/src/$1
  (cd "$cache/src" && apt-get source -qq --download-only "$name=$version" >/dev/null 2>&1) || true
  local upstream=${version#*:}; upstream=${upstream%-*}
  local orig debian
  orig=$(ls "$cache/src/${name}_${upstream}.orig.tar."* 2>/dev/null | grep -v '\.asc$' | head -n1)
  debian=$(ls "$cache/src/${name}_${version#*:}.debian.tar."* 2>/dev/null | head -n1)
  [ -n "$orig" ] && [ -n "$debian" ] || { echo "apt-get source $name=$version fetched nothing" >&2; exit 1; }
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

# libjpeg-turbo: TurboJPEG alone. Its size probe misreads wasm32 (size_t as
# 9 bytes), so the sizes are given.
jpeg_version=$(src_version libjpeg-turbo)
unpack libjpeg-turbo "$jpeg_version"
jpeg=$cache/src/libjpeg-turbo
emcmake cmake -S "$jpeg" -B "$jpeg/build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF -DWITH_SIMD=0 \
  -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=OFF -DSIZE_T=4 -DUNSIGNED_LONG=4 >"$jpeg/configure.log"
cmake --build "$jpeg/build" -j "$jobs" --target turbojpeg-static >"$jpeg/build.log"
cp "$jpeg/build/libturbojpeg.a" "$prefix/lib/"
cp "$jpeg/turbojpeg.h" "$prefix/include/"
cat "$jpeg/LICENSE.md" "$jpeg/README.ijg" >"$prefix/licences/libjpeg-turbo.txt"

# libmpg123: the decoding library alone, static, plain C (its cmake files
# do not build with emscripten; autotools does).
mpg_version=$(src_version mpg123)
unpack mpg123 "$mpg_version"
mpg=$cache/src/mpg123
(cd "$mpg" && PKG_CONFIG_LIBDIR=/nonexistent emconfigure ./configure --host=wasm32-unknown-linux-gnu \
  --prefix="$prefix" --disable-shared --enable-static --with-cpu=generic --disable-modules \
  --disable-network --with-audio=dummy >configure.log 2>&1)
emmake make -C "$mpg" -j "$jobs" src/libmpg123/libmpg123.la >"$mpg/build.log" 2>&1
cp "$mpg"/src/libmpg123/.libs/libmpg123.a "$prefix/lib/"
cp "$mpg"/src/libmpg123/mpg123.h "$mpg"/src/libmpg123/fmt123.h "$prefix/include/"
cp "$mpg/COPYING" "$prefix/licences/libmpg123.txt"
cat >"$prefix/licences/README.txt" <<EOT
demo.wasm contains libjpeg-turbo (Debian source package libjpeg-turbo
$jpeg_version) and libmpg123 (Debian source package mpg123 $mpg_version),
linked statically; their licences are libjpeg-turbo.txt and libmpg123.txt.
This software is based in part on the work of the Independent JPEG Group.
EOT

echo "$key" >"$prefix/VERSIONS"
echo "WebAssembly libraries built in $(($(date +%s) - start)) s"
