#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

# Wine's 32-bit half runs the x86 program, in a 32-bit prefix and under WOW64.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

packages=(
  cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xdotool imagemagick python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  # A mirror caught mid-sync fails one index now and then: asked again, then the install goes on with what came
  # (and fails on its own if a package is truly out of reach).
  for try in 1 2 3; do
    $sudo apt-get update -q && break
    [ "$try" = 3 ] && echo "setup: package lists still incomplete; installing from what was fetched" || sleep 20
  done
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi
