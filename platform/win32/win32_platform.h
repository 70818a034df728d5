// The platform operations on the Win32 API.
#pragma once

#include <windows.h>

#include <map>

#include "platform/platform.h"
#include "platform/win32/scoped.h"

namespace veltrik::win32 {

class Win32Platform : public Platform {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The window whose caption and buttons the logic changes.
  void Attach(HWND window, HWND start, HWND about, HWND exit);
  // Set by EndProgram; the message loop then stops.
  bool ending() const { return ending_; }

  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  bool GetProfilesDirectory(std::string& path) override;
  std::unique_ptr<ShellObject> CreateObject(std::string_view prog_id) override;
  std::optional<ProcessId> LaunchCommand(std::string_view command_line, WindowStyle style) override;
  bool WaitForProcess(ProcessId process, std::uint32_t timeout_ms) override;
  bool LoadCustomResource(int id, Bytes& data) override;
  bool WriteWholeFile(std::string_view path, const Bytes& data) override;
  bool ReadWholeFile(std::string_view path, Bytes& data) override;
  bool RemoveFile(std::string_view path) override;
  void ShowMessageBox(std::string_view text, int style, std::string_view title) override;
  void DoEvents() override;
  void EndProgram() override;
  void SetCaption(std::string_view text) override;
  void SetControlEnabled(Control control, bool enabled) override;

 private:
  HWND window_ = nullptr;
  HWND controls_[3] = {};
  bool ending_ = false;
  std::map<ProcessId, ScopedHandle> processes_;
};

// The command line to hand to CreateProcess, and the program it starts.
// A bare program name (no path) becomes the quoted full path of that program
// in the system directory or, failing that, the Windows directory; never one
// from the program's own or the current folder, or PATH. Empty if a bare name
// is found in neither. An unquoted path is quoted at the longest prefix that
// names an existing file.
std::wstring ResolveCommandLine(const std::wstring& command_line, std::wstring& application);

}  // namespace veltrik::win32
