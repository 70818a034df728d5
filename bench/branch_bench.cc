// Times the read-back and completion of the SafeBoot branch through the real
// registry API: branch_bench.exe TEMPLATE_FILE RESULT_FILE writes the
// milliseconds of a completion from nothing (every entry written, then read
// back) and of a check of the complete branch (every entry read once).
#include <windows.h>

#include <cstdio>

#include "bench/clock.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"
#include "repair/branch.h"
#include "repair/reg_file.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc < 3) return 2;
  veltrik::win32::Win32Platform platform;
  veltrik::SafeBootTemplate stored;
  stored.loaded = platform.ReadWholeFile(veltrik::win32::Utf8(__wargv[1]), stored.data);
  if (!stored.loaded) return 1;
  stored.entries = veltrik::ParseRegText(veltrik::RegTextFromWorkFile(veltrik::ByteArrayImage(stored.data)));
  double times[2];
  for (double& time : times) {
    const double start = NowMs();
    const veltrik::BranchCheck check = veltrik::CompleteBranch(platform, stored);
    time = NowMs() - start;
    if (!check.complete()) return 1;
  }
  FILE* out = _wfopen(__wargv[2], L"w");
  if (!out) return 1;
  std::fprintf(out, "%.1f %.1f %zu\n", times[0], times[1], stored.entries.size());
  return std::fclose(out) == 0 ? 0 : 1;
}
