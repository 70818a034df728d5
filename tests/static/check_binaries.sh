#!/usr/bin/env bash
# Static checks of both programs: what they import, and what they carry.
# Usage: check_binaries.sh X64_EXE X86_EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
x64=$1
x86=$2
passed=0
failed=0
check() {  # name, then a command that succeeds when the check holds
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "PASS $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
  fi
}

# Known system DLLs only: a planted DLL of another name is never loaded at start.
system_dlls_only() {
  local bad
  bad=$(OBJDUMP=$2 "$root/tools/list_imports.sh" "$1" | awk '{print $1}' | sort -u |
        grep -vxE 'advapi32\.dll|comctl32\.dll|gdi32\.dll|kernel32\.dll|msvcrt\.dll|user32\.dll')
  [ -z "$bad" ] || { echo "  unexpected DLLs: $bad"; return 1; }
}

# Nothing newer than XP SP3 is imported by the x86 build.
xp_imports_only() {
  local extra
  extra=$(comm -23 <(OBJDUMP=i686-w64-mingw32-objdump "$root/tools/list_imports.sh" "$x86") \
                   <(grep -v '^#' "$here/xp_imports.txt" | sort -u))
  [ -z "$extra" ] || { echo "  imports not confirmed for XP SP3:"; echo "$extra" | sed 's/^/    /'; return 1; }
}

# Functions newer than XP are only reached through GetProcAddress.
newer_calls_guarded() {
  local exe=$1 objdump=$2 f imports
  imports=$(OBJDUMP=$objdump "$root/tools/list_imports.sh" "$exe")
  for f in SetDefaultDllDirectories SetDllDirectoryW; do
    if grep -qw "$f" <<<"$imports"; then
      echo "  $f imported statically"
      return 1
    fi
    grep -qa "$f" "$exe" || { echo "  $f not looked up at run time"; return 1; }
  done
}

gui_program() {
  local headers
  headers=$("$2" -p "$1")
  grep -q 'Subsystem.*Windows GUI' <<<"$headers"
}
has_manifest() {
  grep -qa 'requireAdministrator' "$1" && grep -qa 'Microsoft.Windows.Common-Controls' "$1" &&
    grep -qa 'dpiAware' "$1"
}
has_version_texts() {
  local s
  s=$(strings -el "$1")
  for t in 'A free tool to fix Windows Safe Mode.' 'Morvane Software' 'Veltrik' 'veltrik.exe' '1.01'; do
    grep -qF "$t" <<<"$s" || { echo "  version text missing: $t"; return 1; }
  done
}
# Both templates are carried byte for byte.
has_templates() {
  python3 - "$1" "$root/resources/safeboot_xp.reg" "$root/resources/safeboot_vista7.reg" <<'PY'
import sys
exe = open(sys.argv[1], "rb").read()
missing = [t for t in sys.argv[2:] if open(t, "rb").read() not in exe]
for t in missing:
    print("  template missing:", t)
sys.exit(1 if missing else 0)
PY
}

# One download of at most 320 KiB.
within_budget() {
  local size
  size=$(stat -c %s "$1")
  [ "$size" -le $((320 * 1024)) ] || { echo "  $size bytes"; return 1; }
}

for arch in x64 x86; do
  exe=${!arch}
  objdump=x86_64-w64-mingw32-objdump
  [ "$arch" = x86 ] && objdump=i686-w64-mingw32-objdump
  check "$arch builds" test -s "$exe"
  check "$arch is a GUI program" gui_program "$exe" "$objdump"
  check "$arch imports only system DLLs" system_dlls_only "$exe" "$objdump"
  check "$arch looks up newer calls at run time" newer_calls_guarded "$exe" "$objdump"
  check "$arch carries the manifest" has_manifest "$exe"
  check "$arch carries the version texts" has_version_texts "$exe"
  check "$arch carries both templates" has_templates "$exe"
  check "$arch is at most 320 KiB" within_budget "$exe"
done
check "x86 imports only what XP SP3 has" xp_imports_only
echo "static: $passed passed, $failed failed"
[ "$failed" = 0 ]
