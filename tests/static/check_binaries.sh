#!/usr/bin/env bash
# Static checks of both programs: what they import, carry and weigh.
# Usage: check_binaries.sh X64_EXE X86_EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
passed=0 failed=0
check() {  # name, then a command that succeeds when the check holds
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)) && echo "PASS $name"; else failed=$((failed + 1)) && echo "FAIL $name"; fi
}
imports() { OBJDUMP=$objdump "$root/tools/list_imports.sh" "$1"; }

# Known system DLLs only: a planted DLL of another name is never loaded at start.
system_dlls_only() {
  ! imports "$1" | awk '{print $1}' | grep -vxE '(advapi32|comctl32|gdi32|kernel32|msvcrt|ole32|oleaut32|user32)\.dll'
}
# Functions newer than XP are only reached through GetProcAddress.
newer_calls_guarded() {
  for f in SetDefaultDllDirectories SetDllDirectoryW RtlGetVersion; do
    ! imports "$1" | grep -qw "$f" && grep -qa "$f" "$1" || { echo "  $f imported, or not looked up"; return 1; }
  done
}
carries() {  # the manifest, the version texts and every template, byte for byte
  local s t
  s=$(strings -el "$1")
  for t in 'A free tool to fix Windows Safe Mode.' 'Morvane Software' 'Veltrik' 'veltrik.exe' '1.01'; do
    grep -qF "$t" <<<"$s" || { echo "  version text missing: $t"; return 1; }
  done
  grep -qa 'requireAdministrator' "$1" && grep -qa 'Microsoft.Windows.Common-Controls' "$1" &&
    grep -qa 'dpiAware' "$1" || { echo "  manifest incomplete"; return 1; }
  python3 -c 'import sys; exe = open(sys.argv[1], "rb").read()
sys.exit(any(open(t, "rb").read() not in exe for t in sys.argv[2:]))' "$1" "$root"/resources/safeboot_*.reg
}
# DLLs that the program and its DLLs import come from the system folder (Windows 10 1607 on): the load
# configuration says so, and the header points at it, at the size XP's loader takes for x86.
loads_dlls_from_system32() {
  python3 - "$1" "$root/tools" <<'EOF'
import struct, sys
sys.path.insert(0, sys.argv[2])
from set_load_config import checksum, directory, file_offset, headers
data = open(sys.argv[1], "rb").read()
(rva, size), plus = struct.unpack_from("<II", data, directory(data, 10)), headers(data)[3]
at = file_offset(data, rva) if rva else 0
found = (size, struct.unpack_from("<I", data, at)[0], struct.unpack_from("<H", data, at + (78 if plus else 54))[0])
if found != (112 if plus else 64,) * 2 + (0x800,) or struct.unpack_from("<I", data, headers(data)[0] + 64)[0] != checksum(data):
    sys.exit("  directory size, structure size, DependentLoadFlags: %r; or the header's checksum is wrong" % (found,))
EOF
}
# The same source builds the same bytes in another folder: no time stamp, no path of the build.
same_bytes_elsewhere() {  # preset, program file
  local other same
  other=$(mktemp -d)/another-checkout
  mkdir -p "$other" && tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$other" -xf - &&
    (cd "$other" && cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$(nproc)" --target veltrik >/dev/null) &&
    cmp "$2" "$other/build/$1/veltrik.exe"
  same=$?
  rm -rf "$(dirname "$other")"
  return $same
}
within_budget() { [ "$(stat -c %s "$1")" -le $((384 * 1024)) ] || { echo "  $(stat -c %s "$1") bytes"; return 1; }; }

for arch in x64 x86; do
  exe=$1 objdump=x86_64-w64-mingw32-objdump
  [ "$arch" = x86 ] && exe=$2 objdump=i686-w64-mingw32-objdump
  check "$arch is a GUI program" grep -q 'Subsystem.*Windows GUI' <("$objdump" -p "$exe")
  check "$arch imports only system DLLs" system_dlls_only "$exe"
  check "$arch looks up newer calls at run time" newer_calls_guarded "$exe"
  check "$arch carries the manifest, version texts and every template" carries "$exe"
  check "$arch is at most 384 KiB" within_budget "$exe"
  check "$arch takes imported DLLs from the system folder" loads_dlls_from_system32 "$exe"
  check "$arch builds the same bytes in another folder" same_bytes_elsewhere "windows-$arch" "$exe"
done
# Nothing newer than XP SP3 is imported by the x86 build.
objdump=i686-w64-mingw32-objdump
# (Printed, not teed to /dev/stderr: reopening that truncates a log file it points to.)
xp_only() {
  local newer
  newer=$(comm -23 <(imports "$1") <(grep -v '^#' "$here/xp_imports.txt" | sort -u))
  [ -z "$newer" ] || { echo "$newer" | sed 's/^/  /'; return 1; }
}
check "x86 imports only what XP SP3 has" xp_only "$2"
check "the stored templates are their entry lists, byte for byte" \
  bash -c "cd '$root' && python3 tools/make_templates.py --check >/dev/null"
echo "static: $passed passed, $failed failed"
[ "$failed" = 0 ]
