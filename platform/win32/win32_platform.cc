#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

namespace veltrik::win32 {

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT n = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32Platform::Attach(HWND window, HWND start, HWND about, HWND exit) {
  window_ = window;
  controls_[0] = start;
  controls_[1] = about;
  controls_[2] = exit;
}

std::uint32_t Win32Platform::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  char ansi[255];
  const UINT n = ::GetSystemDirectoryA(ansi, sizeof ansi);
  if (n == 0 || n >= sizeof ansi) return n;
  // The core works in UTF-8; a non-ASCII folder name keeps its meaning.
  wchar_t wide[255];
  const int w = ::MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(n), wide, 255);
  if (w <= 0) return 0;
  const std::string utf8 = Utf8(std::wstring_view(wide, static_cast<size_t>(w)));
  if (utf8.size() >= size) return static_cast<std::uint32_t>(utf8.size() + 1);
  utf8.copy(buffer, utf8.size());
  buffer[utf8.size()] = '\0';
  return static_cast<std::uint32_t>(utf8.size());
}

bool Win32Platform::GetProfilesDirectory(std::string& path) {
  std::wstring stored;
  if (!ReadStringValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                       L"ProfilesDirectory", stored)) {
    return false;
  }
  std::vector<wchar_t> expanded(32768);
  const DWORD n = ::ExpandEnvironmentStringsW(stored.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
  if (n == 0 || n > expanded.size()) return false;
  path = Utf8(expanded.data());
  return true;
}

std::unique_ptr<ShellObject> Win32Platform::CreateObject(std::string_view prog_id) {
  if (prog_id != "WScript.Shell") return nullptr;
  return MakeRegistryShell();
}

bool Win32Platform::GetWindowsVersion(WindowsVersion& version) {
  // GetVersionEx reports 6.2 on every later Windows to a program whose
  // manifest does not name it; ntdll tells the truth. Looked up at run time.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                               reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                         : nullptr;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!get || get(&info) != 0) return false;
  version = {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  return true;
}

bool Win32Platform::LoadCustomResource(int id, Bytes& data) {
  const HRSRC found =
      ::FindResourceExW(nullptr, L"CUSTOM", MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (!found) return false;
  const HGLOBAL loaded = ::LoadResource(nullptr, found);
  const DWORD size = ::SizeofResource(nullptr, found);
  const auto* bytes = loaded ? static_cast<const std::uint8_t*>(::LockResource(loaded)) : nullptr;
  if (!bytes) return false;
  data.assign(bytes, bytes + size);
  return true;
}

int Win32Platform::ShowMessageBox(std::string_view text, int style, std::string_view title) {
  return ::MessageBoxW(window_, Wide(text).c_str(), Wide(title).c_str(), static_cast<UINT>(style));
}

void Win32Platform::DoEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop to see
      return;
    }
    if (window_ && ::IsDialogMessageW(window_, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32Platform::EndProgram() {
  ending_ = true;
  if (window_) ::DestroyWindow(window_);
  ::PostQuitMessage(0);
}

std::string Win32Platform::ErrorText(std::int32_t status) {
  wchar_t* text = nullptr;
  const DWORD n =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n ? std::wstring(text, n) : std::wstring();
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  return Utf8(message) + " (" + std::to_string(status) + ")";
}

LocalTime Win32Platform::GetLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  TIME_ZONE_INFORMATION zone;
  const DWORD which = ::GetTimeZoneInformation(&zone);
  // UTC = local time + bias, in minutes.
  const LONG bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
          which == TIME_ZONE_ID_INVALID ? 0 : static_cast<int>(-bias)};
}

std::string Win32Platform::ProgramFolder() {
  std::vector<wchar_t> path(32768);
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return "";
  const std::wstring file(path.data(), n);
  const size_t slash = file.rfind(L'\\');
  return slash == std::wstring::npos ? "" : Utf8(file.substr(0, slash));
}

std::string Win32Platform::CommandLine() { return Utf8(::GetCommandLineW()); }

void Win32Platform::WriteOutput(std::string_view text) {
  // Redirected handles (a pipe, a file) get the bytes as they are; a console
  // gets them as characters, so that any code page shows them right.
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) {
    if (!console_ && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
      console_ = ScopedHandle(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    }
    out = console_.get();
  }
  if (!out || out == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0, written = 0;
  if (::GetConsoleMode(out, &mode)) {
    const std::wstring wide = Wide(text);
    ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

void Win32Platform::SetCaption(std::string_view text) {
  if (window_) ::SetWindowTextW(window_, Wide(text).c_str());
}

void Win32Platform::SetControlEnabled(Control control, bool enabled) {
  const HWND hwnd = controls_[static_cast<int>(control)];
  if (!hwnd) return;
  ::EnableWindow(hwnd, enabled ? TRUE : FALSE);
  if (enabled) ::SendMessageW(window_, kWmRestoreFocus, 0, 0);
}

}  // namespace veltrik::win32
