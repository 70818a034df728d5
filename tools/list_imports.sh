#!/usr/bin/env bash
# Lists "dll function" for every function a PE file imports, sorted.
set -euo pipefail
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
"$objdump" -p "$1" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /^[[:space:]]*$/ { dll = dll; next }
  dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 3 && $2 ~ /^[0-9]+$/ { print dll, $3 }
' | sort -u
