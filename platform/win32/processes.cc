// The platform's processes: what it starts, waits for and restarts, and
// the privileges those need.
#include "platform/command_line.h"
#include "platform/win32/desktop_shell.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"

namespace veltrik::win32 {

namespace {

// The folder of the system's own programs. A 32-bit program on 64-bit
// Windows sees SysWOW64 as system32, whose tools are 32-bit copies (and which
// has no bcdedit); Sysnative, which only such a program has, is the real one.
std::wstring NativeSystemFolder() {
  const std::wstring native = WindowsFolder() + L"\\Sysnative";
  const DWORD attributes = ::GetFileAttributesW(native.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? native : SystemFolder();
}

// Resolved as an elevated program must: see ResolveCommandLine.
std::optional<ResolvedCommand> Resolve(std::string_view command_line) {
  return ResolveCommandLine(command_line, {Utf8(NativeSystemFolder()), Utf8(WindowsFolder())},
                            [](const std::string& path) { return IsFile(Wide(path)); });
}

DWORD WINAPI RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

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

void Win32Platform::RunAside(const std::function<void()>& work) {
  ScopedHandle thread(::CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
  if (!thread) return work();
  const HANDLE handle = thread.get();
  while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) DoEvents();
}

std::int32_t Win32Platform::EnableHivePrivileges() {
  DWORD status = EnablePrivilege(SE_BACKUP_NAME);
  if (status == 0) status = EnablePrivilege(SE_RESTORE_NAME);
  return static_cast<std::int32_t>(status);
}

bool Win32Platform::RestartSystem() {
  // A forced restart needs the shutdown privilege enabled in our own token.
  EnablePrivilege(SE_SHUTDOWN_NAME);
  constexpr DWORD kPlannedOther = 0x80000000;  // SHTDN_REASON_FLAG_PLANNED, major and minor "other"
  return ::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, kPlannedOther) != 0;
}

}  // namespace veltrik::win32
