#!/usr/bin/env bash
# Builds static Windows x86-64 copies of libjpeg-turbo (libjpeg 6b API, version 62, and its
# TurboJPEG library for lossless turns) and libpng 1.6
# from Debian's own source packages, once, into a cache folder outside the work tree.
# zlib comes from Debian's libz-mingw-w64-dev.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps=${LUMEVA_WIN_DEPS:-$HOME/.cache/lumeva/win64-deps}
stamp="$deps/.built-2"
[ -f "$stamp" ] && exit 0

echo "win-deps: building libjpeg-turbo and libpng for Windows into $deps"
src_list=/etc/apt/sources.list.d/lumeva-src.sources
if ! apt-cache showsrc libpng1.6 2>/dev/null | grep -q '^Package: libpng1.6'; then
  if [ ! -f "$src_list" ]; then
    cat > "$src_list" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  apt-get update -qq || true
fi

work="$deps/src"
rm -rf "$work" && mkdir -p "$work" && cd "$work"
# The versions of bookworm's main pool; a security-pool file that has gone cannot break the build.
apt-get source -qq libjpeg-turbo=1:2.1.5-2 >/dev/null 2>&1 || apt-get source -qq -t bookworm libjpeg-turbo
apt-get source -qq libpng1.6=1.6.39-2+deb12u5 >/dev/null 2>&1 || apt-get source -qq -t bookworm libpng1.6

toolchain="$here/cmake/mingw-w64.cmake"
zlib_lib=/usr/x86_64-w64-mingw32/lib/libz.a
zlib_inc=/usr/x86_64-w64-mingw32/include

jpeg_src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
cmake -S "$jpeg_src" -B build-jpeg -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JPEG8=OFF -DWITH_SIMD=ON \
  > build-jpeg.log 2>&1
grep -q 'WITH_SIMD = 1' build-jpeg.log || { echo "win-deps: libjpeg-turbo would build without SIMD" >&2; exit 1; }
cmake --build build-jpeg --target install > build-jpeg-make.log 2>&1

png_src=$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
cmake -S "$png_src" -B build-png -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON \
  -DZLIB_LIBRARY="$zlib_lib" -DZLIB_INCLUDE_DIR="$zlib_inc" > build-png.log 2>&1
cmake --build build-png --target install > build-png-make.log 2>&1

cd "$deps" && rm -rf "$work"
touch "$stamp"
echo "win-deps: done"
