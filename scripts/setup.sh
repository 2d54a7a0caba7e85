#!/usr/bin/env bash
# Installs the Debian packages the two builds and the tests need, only those missing,
# then builds the Windows copies of libjpeg-turbo and libpng once (scripts/win-deps.sh).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libjpeg-turbo-progs libpng-dev zlib1g-dev libgs10
  libtiff-dev libtiff-tools
  clang llvm libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev nasm dpkg-dev
  wine wine64 fonts-wine xvfb x11-utils imagemagick python3
  libgif-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq || true
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

exec "$(dirname "$0")/win-deps.sh"
