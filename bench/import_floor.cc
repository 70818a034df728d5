// The floor for "FIX to restart": starts the two silent imports the way
// veltrik.exe does (full path, minimised, system folder as current folder),
// waits for each, then starts the restart command and waits for it.
// import_floor.exe REG_FILE RESULT_FILE writes the milliseconds it took, and
// on a second line those that starting the restart command took: the floor
// of the program's own restart launch.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/clock.h"

namespace {

// Returns the milliseconds that starting it took.
double RunAndWait(const std::wstring& program, const std::wstring& arguments, const wchar_t* folder) {
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION info = {};
  const double start = NowMs();
  if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &info)) {
    return 0;
  }
  const double started = NowMs() - start;
  ::WaitForSingleObject(info.hProcess, INFINITE);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return started;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc < 3) return 2;
  wchar_t system[MAX_PATH], windows[MAX_PATH];
  ::GetSystemDirectoryW(system, MAX_PATH);
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring reg = std::wstring(L"-s ") + __wargv[1];
  const double start = NowMs();
  for (int pass = 0; pass < 2; ++pass) RunAndWait(std::wstring(windows) + L"\\regedit.exe", reg, system);
  const double launch = RunAndWait(std::wstring(system) + L"\\shutdown.exe", L"-r -f -t 0", system);
  const double whole = NowMs() - start;
  FILE* out = _wfopen(__wargv[2], L"w");
  if (!out) return 1;
  std::fprintf(out, "%.1f\n%.2f\n", whole, launch);
  std::fclose(out);
  return 0;
}
