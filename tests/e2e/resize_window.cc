// Resizes the Veltrik window from another process, as dragging its border
// would: resize_window.exe WIDTH HEIGHT
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  HWND window = ::FindWindowW(L"frmVeltrik", nullptr);
  if (!window) return 1;
  ::SetWindowPos(window, nullptr, 0, 0, std::atoi(__argv[1]), std::atoi(__argv[2]),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}
