// Works on the Veltrik window from another process, for the tests:
//   probe.exe WIDTH HEIGHT  resizes it, as dragging its border would;
//   probe.exe FILE          writes to FILE its client area's size, then a line per control in the order of the
//                           window's children (the order Tab and a screen reader follow):
//                           class|name as a screen reader asks it|keyboard stop|focused;
//   probe.exe --box FILE    the same of its message box;
//   probe.exe --shell       succeeds once the desktop shell answers as the program needs it to open its pages,
//                           within 5 s.
#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/desktop_shell.h"

// This toolchain's own IID_IAccessible makes AccessibleObjectFromWindow fail with E_NOINTERFACE.
static const GUID kIAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

static void WriteControls(HWND window, FILE* out) {
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
  ::CoInitialize(nullptr);
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char cls[64] = "";
    ::GetClassNameA(child, cls, sizeof cls);
    std::string name;
    IAccessible* accessible = nullptr;
    if (SUCCEEDED(
            ::AccessibleObjectFromWindow(child, OBJID_CLIENT, kIAccessible, reinterpret_cast<void**>(&accessible)))) {
      VARIANT self;
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      BSTR text = nullptr;
      if (accessible->get_accName(self, &text) == S_OK && text) {
        // As long as it is: a box may hold a whole report.
        name.resize(::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr) + 1);
        name.resize(::WideCharToMultiByte(CP_UTF8, 0, text, -1, name.data(), static_cast<int>(name.size()), nullptr,
                                          nullptr));
        if (!name.empty()) name.pop_back();  // its NUL
        ::SysFreeString(text);
      }
      accessible->Release();
    }
    for (char& c : name) c = c == '\r' || c == '\n' ? ' ' : c;  // a box's text has line breaks
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    const bool stop = (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
    std::fprintf(out, "%s|%s|%d|%d\n", cls, name.c_str(), stop ? 1 : 0, child == thread.hwndFocus ? 1 : 0);
  }
  ::CoUninitialize();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc == 2 && std::strcmp(__argv[1], "--shell") == 0) {
    for (int tries = 0; tries < 20; ++tries, ::Sleep(250)) {  // a shell that is still starting gets 5 s
      if (veltrik::win32::DesktopShellAnswers()) return 0;
    }
    return 1;
  }
  const bool box = __argc == 3 && std::strcmp(__argv[1], "--box") == 0;
  HWND window = box ? ::FindWindowW(L"#32770", L"Veltrik v1.1.0.0") : ::FindWindowW(L"frmVeltrik", nullptr);
  if (!window || __argc < 2) return 1;
  if (__argc == 3 && !box) {
    ::SetWindowPos(window, nullptr, 0, 0, std::atoi(__argv[1]), std::atoi(__argv[2]),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  FILE* out = std::fopen(__argv[box ? 2 : 1], "w");
  if (!out) return 1;
  RECT client;
  ::GetClientRect(window, &client);
  std::fprintf(out, "%ld %ld\n", client.right, client.bottom);
  WriteControls(window, out);
  return std::fclose(out) == 0 ? 0 : 1;
}
