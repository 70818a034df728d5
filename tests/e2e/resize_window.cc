// Works on the Veltrik window from another process:
//   resize_window.exe WIDTH HEIGHT  resizes it, as dragging its border would;
//   resize_window.exe FILE          writes its client area's size to FILE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HWND window = ::FindWindowW(L"frmVeltrik", nullptr);
  if (!window || __argc < 2) return 1;
  if (__argc == 2) {
    RECT client;
    ::GetClientRect(window, &client);
    FILE* out = std::fopen(__argv[1], "w");
    if (!out) return 1;
    std::fprintf(out, "%ld %ld\n", client.right, client.bottom);
    return std::fclose(out) == 0 ? 0 : 1;
  }
  ::SetWindowPos(window, nullptr, 0, 0, std::atoi(__argv[1]), std::atoi(__argv[2]),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}
