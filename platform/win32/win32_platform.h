// The platform operations on the Win32 API.
#pragma once

#include <windows.h>

#include <map>

#include "platform/platform.h"
#include "platform/win32/scoped.h"

namespace veltrik::win32 {

// Sent to the window when a control is enabled again, which may take back
// the keyboard focus it lost when it was disabled.
inline constexpr UINT kWmRestoreFocus = WM_APP + 1;

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
  bool LaunchInUserSession(std::string_view command_line, WindowStyle style) override;
  std::optional<std::uint32_t> WaitForProcess(ProcessId process, std::uint32_t timeout_ms) override;
  bool GetWindowsVersion(WindowsVersion& version) override;
  bool LoadCustomResource(int id, Bytes& data) override;
  bool WriteWholeFile(std::string_view path, const Bytes& data) override;
  bool ReadWholeFile(std::string_view path, Bytes& data) override;
  bool RemoveFile(std::string_view path) override;
  int ShowMessageBox(std::string_view text, int style, std::string_view title) override;
  void DoEvents() override;
  void EndProgram() override;
  std::int32_t ReadRegistryEntry(const RegistryEntry& entry, ValueType& type, std::string& data) override;
  std::vector<RegistryReading> ReadRegistryEntries(const std::vector<RegistryEntry>& entries) override;
  std::int32_t WriteRegistryEntry(const RegistryEntry& entry) override;
  std::int32_t EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) override;
  std::int32_t EnumerateValues(const std::string& key, std::vector<RegistryValue>& values) override;
  std::int32_t DeleteKeyTree(const std::string& key) override;
  std::string ErrorText(std::int32_t status) override;
  bool RestartSystem() override;
  void RunAside(const std::function<void()>& work) override;
  PathKind GetPathKind(std::string_view path) override;
  bool GetFileIdentity(std::string_view path, FileIdentity& identity) override;
  bool RemoveFolder(std::string_view path) override;
  std::int32_t EnableHivePrivileges() override;
  std::int32_t CreateFolder(std::string_view path) override;
  std::int32_t CopyWholeFile(std::string_view from, std::string_view to) override;
  LocalTime GetLocalTime() override;
  std::string ProgramFolder() override;
  std::string CommandLine() override;
  std::int32_t AppendToFile(std::string_view path, std::string_view text, std::uint64_t limit) override;
  std::int32_t WriteNewFile(std::string_view path, const Bytes& data) override;
  bool GetEnvironmentValue(std::string_view name, std::string& value) override;
  std::vector<std::string> FixedDrives() override;
  std::int32_t LoadHive(std::string_view name, std::string_view file) override;
  std::int32_t UnloadHive(std::string_view name) override;
  void WriteOutput(std::string_view text) override;
  void SetCaption(std::string_view text) override;
  void SetControlEnabled(Control control, bool enabled) override;

 private:
  HWND window_ = nullptr;
  HWND controls_[3] = {};
  bool ending_ = false;
  std::map<ProcessId, ScopedHandle> processes_;
  ScopedHandle console_;  // the parent's console, once attached
};

}  // namespace veltrik::win32
