#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/command_line.h"
#include "platform/win32/desktop_shell.h"
#include "platform/win32/registry.h"
#include "platform/win32/text.h"
#include "repair/reg_file.h"
#include "resources/resource.h"

namespace veltrik::win32 {

// The resource script and the repair name the templates by the same numbers.
static_assert(IDR_TEMPLATE_XP == kTemplateXp && IDR_TEMPLATE_VISTA7 == kTemplateVista &&
              IDR_TEMPLATE_WIN7 == kTemplateWin7 && IDR_TEMPLATE_WIN8 == kTemplateWin8 &&
              IDR_TEMPLATE_WIN10 == kTemplateWin10);

namespace {

constexpr DWORD kMaxReadBytes = 64u << 20;  // far above any file the program reads

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH];
  // The system Windows folder, not a per-user one on terminal servers.
  const UINT n = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

// The folder of the system's own programs. A 32-bit program on 64-bit
// Windows sees SysWOW64 as system32, whose tools are 32-bit copies (and which
// has no bcdedit); Sysnative, which only such a program has, is the real one.
std::wstring NativeSystemFolder() {
  const std::wstring native = WindowsFolder() + L"\\Sysnative";
  const DWORD attributes = ::GetFileAttributesW(native.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? native : SystemFolder();
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Resolved as an elevated program must: see ResolveCommandLine.
std::optional<ResolvedCommand> Resolve(std::string_view command_line) {
  return ResolveCommandLine(command_line, {Utf8(NativeSystemFolder()), Utf8(WindowsFolder())},
                            [](const std::string& path) { return IsFile(Wide(path)); });
}

// A folder in place of a work file's name is taken over only when empty, as
// removing it then loses nothing.
bool RemoveEmptyFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         ::RemoveDirectoryW(path.c_str());
}

// A leftover file of an earlier run that is read-only, hidden or marked as a
// system file may be taken over; a folder of that name is never touched.
bool ClearBlockingAttributes(const std::wstring& path) {
  constexpr DWORD kBlocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) || !(attributes & kBlocking)) {
    return false;
  }
  return ::SetFileAttributesW(path.c_str(), attributes & ~kBlocking) != 0;
}

}  // namespace

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

bool Win32Platform::LaunchInUserSession(std::string_view command_line, WindowStyle style) {
  const auto resolved = Resolve(command_line);
  if (!resolved || resolved->command_line.empty()) return false;
  const ProgramAndArguments split = SplitCommandLine(resolved->command_line);
  return ShellExecuteOnDesktop(Wide(split.program), Wide(split.arguments), static_cast<int>(style));
}

std::optional<ProcessId> Win32Platform::LaunchCommand(std::string_view command_line, WindowStyle style) {
  const auto resolved = Resolve(command_line);
  if (!resolved) return std::nullopt;
  const std::wstring application = Wide(resolved->application);
  std::wstring command = Wide(resolved->command_line);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(style);
  const DWORD flags = style == WindowStyle::kHidden ? CREATE_NO_WINDOW : 0;
  PROCESS_INFORMATION info = {};
  // The system folder as the current folder keeps an elevated child from
  // loading DLLs planted in the folder the program was started from.
  const std::wstring folder = SystemFolder();
  if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), command.data(), nullptr, nullptr, FALSE, flags,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return std::nullopt;
  }
  ::CloseHandle(info.hThread);
  processes_[info.dwProcessId] = ScopedHandle(info.hProcess);
  return info.dwProcessId;
}

std::optional<std::uint32_t> Win32Platform::WaitForProcess(ProcessId process, std::uint32_t timeout_ms) {
  auto it = processes_.find(process);
  if (it == processes_.end()) return std::nullopt;
  const HANDLE handle = it->second.get();
  const DWORD start = ::GetTickCount();
  bool ended = false;
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeout_ms) break;
    const DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, timeout_ms - elapsed, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (r != WAIT_OBJECT_0 + 1) break;  // timeout or failure
    DoEvents();
  }
  DWORD exit_code = 0;
  const bool known = ended && ::GetExitCodeProcess(handle, &exit_code);
  processes_.erase(it);
  return known ? std::optional<std::uint32_t>(exit_code) : std::nullopt;
}

bool Win32Platform::GetWindowsVersion(std::uint32_t& major, std::uint32_t& minor) {
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
  major = info.dwMajorVersion;
  minor = info.dwMinorVersion;
  return true;
}

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

bool Win32Platform::WriteWholeFile(std::string_view path, const Bytes& data) {
  const std::wstring wpath = Wide(path);
  auto open = [&] {
    return ScopedFile(
        ::CreateFileW(wpath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  ScopedFile file = open();
  if (!file && ::GetLastError() == ERROR_ACCESS_DENIED &&
      (ClearBlockingAttributes(wpath) || RemoveEmptyFolder(wpath))) {
    file = open();
  }
  if (!file) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                  written == data.size();
  file.reset();
  if (!ok) ::DeleteFileW(wpath.c_str());  // never leave half a file to be imported
  return ok;
}

bool Win32Platform::ReadWholeFile(std::string_view path, Bytes& data) {
  ScopedFile file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxReadBytes) return false;
  Bytes buffer(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
      got != buffer.size()) {
    return false;
  }
  data = std::move(buffer);
  return true;
}

bool Win32Platform::RemoveFile(std::string_view path) {
  const std::wstring wpath = Wide(path);
  if (::DeleteFileW(wpath.c_str())) return true;
  if (::GetLastError() == ERROR_ACCESS_DENIED && ClearBlockingAttributes(wpath) && ::DeleteFileW(wpath.c_str()))
    return true;
  // Still held open by a hung importer: it goes at the restart that follows.
  if (IsFile(wpath)) ::MoveFileExW(wpath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

void Win32Platform::ShowMessageBox(std::string_view text, int style, std::string_view title) {
  ::MessageBoxW(window_, Wide(text).c_str(), Wide(title).c_str(), static_cast<UINT>(style));
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

std::int32_t Win32Platform::ReadRegistryEntry(const RegistryEntry& entry, ValueType& type, std::string& data) {
  return ReadEntry(entry, type, data);
}

std::vector<RegistryReading> Win32Platform::ReadRegistryEntries(const std::vector<RegistryEntry>& entries) {
  return ReadEntries(entries);
}

std::int32_t Win32Platform::WriteRegistryEntry(const RegistryEntry& entry) { return WriteEntry(entry); }

std::int32_t Win32Platform::EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) {
  return EnumerateKeys(key, names);
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

namespace {

// An administrator holds these privileges, disabled; the calls that need
// one look for it enabled in the caller's own token. A status where the
// token does not hold it.
DWORD EnablePrivilege(const wchar_t* name) {
  ScopedHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive())) {
    return ::GetLastError();
  }
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::SetLastError(ERROR_SUCCESS);  // not every system sets it on success
  if (!::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) ||
      !::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
    return ::GetLastError();
  }
  return ::GetLastError();  // ERROR_NOT_ALL_ASSIGNED where the token lacks it
}

DWORD WINAPI RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

void Win32Platform::RunAside(const std::function<void()>& work) {
  ScopedHandle thread(::CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
  if (!thread) return work();
  const HANDLE handle = thread.get();
  while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) DoEvents();
}

bool Win32Platform::GetFileIdentity(std::string_view path, FileIdentity& identity) {
  // A folder opens only with backup semantics; reading its attributes needs no other right.
  ScopedFile file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return false;
  identity = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

bool Win32Platform::RemoveFolder(std::string_view path) { return ::RemoveDirectoryW(Wide(path).c_str()) != 0; }

std::int32_t Win32Platform::EnableHivePrivileges() {
  DWORD status = EnablePrivilege(SE_BACKUP_NAME);
  if (status == 0) status = EnablePrivilege(SE_RESTORE_NAME);
  return static_cast<std::int32_t>(status);
}

PathKind Win32Platform::GetPathKind(std::string_view path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kNone;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kFolder : PathKind::kFile;
}

std::int32_t Win32Platform::CreateFolder(std::string_view path) {
  return ::CreateDirectoryW(Wide(path).c_str(), nullptr) ? 0 : static_cast<std::int32_t>(::GetLastError());
}

std::int32_t Win32Platform::CopyWholeFile(std::string_view from, std::string_view to) {
  return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), TRUE) ? 0 : static_cast<std::int32_t>(::GetLastError());
}

std::string Win32Platform::LocalTimestamp() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  const auto two = [](WORD n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
  };
  return std::to_string(now.wYear) + two(now.wMonth) + two(now.wDay) + "-" + two(now.wHour) + two(now.wMinute) +
         two(now.wSecond);
}

std::string Win32Platform::LocalTimeWithOffset() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  TIME_ZONE_INFORMATION zone;
  const DWORD which = ::GetTimeZoneInformation(&zone);
  // UTC = local time + bias, in minutes.
  const LONG bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT  ? zone.DaylightBias
                                 : which == TIME_ZONE_ID_INVALID ? 0
                                                                 : zone.StandardBias);
  const LONG east = which == TIME_ZONE_ID_INVALID ? 0 : -bias;
  wchar_t text[64];
  ::wsprintfW(text, L"%04u-%02u-%02u %02u:%02u:%02u %c%02ld:%02ld", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond, east < 0 ? L'-' : L'+', (east < 0 ? -east : east) / 60,
              (east < 0 ? -east : east) % 60);
  return Utf8(text);
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

std::int32_t Win32Platform::AppendToFile(std::string_view path, std::string_view text, std::uint64_t limit) {
  const std::wstring wpath = Wide(path);
  // The name itself is opened, never what a link there points at, and the
  // check and the write share that handle: the folder may be the user's
  // Downloads, where anything the user runs can plant a link to a system file.
  const auto open = [&wpath](ScopedFile& file) -> std::int32_t {
    file =
        ScopedFile(::CreateFileW(wpath.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(wpath.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? kStatusLink
                 : static_cast<std::int32_t>(error);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.get(), &info)) return static_cast<std::int32_t>(::GetLastError());
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        info.nNumberOfLinks > 1) {
      return kStatusLink;
    }
    return 0;
  };
  ScopedFile file;
  if (const std::int32_t status = open(file)) return status;
  LARGE_INTEGER size;
  if (::GetFileSizeEx(file.get(), &size) && static_cast<std::uint64_t>(size.QuadPart) >= limit) {
    file.reset();
    const std::wstring old = wpath + L".old";
    if (!::MoveFileExW(wpath.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return static_cast<std::int32_t>(::GetLastError());
    }
    if (const std::int32_t status = open(file)) return status;
  }
  DWORD written = 0;
  if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !::FlushFileBuffers(file.get())) {
    return static_cast<std::int32_t>(::GetLastError());
  }
  return 0;
}

std::vector<std::string> Win32Platform::FixedDrives() {
  // An empty card reader or DVD drive must not raise a "no disk" box.
  const UINT mode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::vector<std::string> drives;
  const DWORD present = ::GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
    if ((present >> letter & 1) && ::GetDriveTypeW(root) == DRIVE_FIXED) drives.push_back(Utf8(root));
  }
  ::SetErrorMode(mode);
  return drives;
}

std::int32_t Win32Platform::LoadHive(std::string_view name, std::string_view file) {
  return ::RegLoadKeyW(HKEY_LOCAL_MACHINE, Wide(name).c_str(), Wide(file).c_str());
}

std::int32_t Win32Platform::UnloadHive(std::string_view name) {
  return ::RegUnLoadKeyW(HKEY_LOCAL_MACHINE, Wide(name).c_str());
}

bool Win32Platform::AskYesNo(std::string_view text, std::string_view title) {
  return ::MessageBoxW(window_, Wide(text).c_str(), Wide(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool Win32Platform::RestartSystem() {
  // A forced restart needs the shutdown privilege enabled in our own token.
  EnablePrivilege(SE_SHUTDOWN_NAME);
  constexpr DWORD kPlannedOther = 0x80000000;  // SHTDN_REASON_FLAG_PLANNED, major and minor "other"
  return ::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, kPlannedOther) != 0;
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
