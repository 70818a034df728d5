#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

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
  wine wine64 xvfb xdotool imagemagick python3
)
x86_half=wine32:i386
# Why Wine's 32-bit half is not here, for tools/wine_prefix.py to skip the x86 settings with that reason.
x86_missing_note=build/wine32-not-installed

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}" "$x86_half"; do
  installed "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  # A mirror caught mid-sync fails one index now and then: asked again, then the install goes on with what came
  # (and fails on its own if a package is truly out of reach).
  update_error=""
  for try in 1 2 3; do
    if update_log=$($sudo apt-get update -q 2>&1); then update_error=""; break; fi
    update_error=$(grep -m1 '^E: ' <<<"$update_log" || true)
    [ "$try" = 3 ] && echo "setup: package lists still incomplete; installing from what was fetched" || sleep 20
  done
  rest=()
  for p in "${missing[@]}"; do [ "$p" = "$x86_half" ] || rest+=("$p"); done
  ((${#rest[@]} == 0)) || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${rest[@]}"
  # The 32-bit half alone: its i386 libraries must match the 64-bit ones to the version, so an i386 index that
  # a mirror fails to give leaves it out of reach while all else installs. Then only the x86 settings are lost.
  if ! installed "$x86_half"; then
    if ! install_log=$(DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "$x86_half" 2>&1); then
      mkdir -p "$(dirname "$x86_missing_note")"
      echo "Debian's packages could not install Wine's 32-bit half ($x86_half): ${update_error:-$(grep '^E: ' <<<"$install_log" | tail -n1)}" \
        > "$x86_missing_note"
      echo "setup: $(cat "$x86_missing_note")"
      echo "setup: the x86 program is built and checked, but not run under Wine"
    fi
  fi
fi
if installed "$x86_half"; then rm -f "$x86_missing_note"; fi
