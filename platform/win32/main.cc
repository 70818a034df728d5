// veltrik.exe: repairs Windows Safe Mode.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdlib>

#include "app/commands.h"
#include "platform/win32/main_window.h"

namespace {

// The program runs elevated from wherever it was downloaded: DLLs are taken
// from the system folder only, never from the program's or the current one.
void HardenDllSearch() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  // Looked up at run time: these are newer than the oldest Windows we run on.
  if (auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
          reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))) {
    set_default(kSearchSystem32);
  }
  if (auto set_dir =
          reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDllDirectoryW")))) {
    set_dir(L"");  // removes the current folder from the search
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  HardenDllSearch();
  // Arguments are for technicians' tools: the command line then runs alone, with no window.
  const veltrik::Command command = veltrik::ParseArguments(std::vector<std::string>(__argv + 1, __argv + __argc));
  if (command.action != veltrik::Action::kWindow) {
    veltrik::win32::Win32Platform platform;
    return veltrik::RunCommand(platform, command);
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);

  veltrik::win32::MainWindow window(instance);
  if (!window.Create(show)) return 1;
  MSG msg;
  while (!window.ending() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab, Space and Enter as in a dialog.
    if (::IsDialogMessageW(window.hwnd(), &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
