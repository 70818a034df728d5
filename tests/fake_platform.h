// A recording stand-in for the operating system.
//
// It keeps an in-memory registry and file system, appends every effect to one
// ordered log, and fails any single operation on demand.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace veltrik::testing {

extern const std::vector<std::uint8_t> kEmbeddedTemplate105;
extern const std::vector<std::uint8_t> kEmbeddedTemplate106;

class FakePlatform : public Platform {
 public:
  FakePlatform();

  // --- set-up -------------------------------------------------------------
  std::string system_directory = "C:\\WINDOWS\\system32";
  std::string profiles_directory = "C:\\Documents and Settings";
  bool has_profiles_directory = true;
  std::map<int, Bytes> resources;
  std::map<std::string, std::string> registry;  // key: path as written, case folded
  std::map<std::string, Bytes> files;           // key: path, case folded
  std::set<std::string> writable_dirs = {"c:\\windows\\"};
  bool imports_end = true;  // whether waited-for processes end
  // The machine's keys as the registry API sees them: key -> value name ->
  // REG_SZ data, both case folded. "regedit -s" imports into it, unless
  // `regedit_imports` is false (a hijacked editor).
  std::map<std::string, std::map<std::string, std::string>> keys;
  bool regedit_imports = true;

  // Makes operation `op` fail; with `argument`, only for calls whose first
  // argument contains it (case-insensitive).
  void Fail(const std::string& op, const std::string& argument = "") { failures_.emplace(op, argument); }

  // --- what happened ------------------------------------------------------
  // One line per effect, e.g. "launch 2 regedit -s C:\WINDOWS\sxcas.reg".
  std::vector<std::string> log;
  std::vector<std::string> Only(const std::string& prefix) const;
  std::map<Control, bool> enabled = {{Control::kStart, true}, {Control::kAbout, true}, {Control::kExit, true}};
  std::string caption;
  std::map<std::string, Bytes> last_written;  // every file's last write, even if deleted since
  int shell_objects_alive = 0;
  bool ended = false;

  // The caption at each DoEvents and WaitForProcess, and what those deliver,
  // as window messages would.
  std::vector<std::string> captions_seen_by_events;
  std::function<void()> on_events;

  bool HasFile(const std::string& path) const;
  std::string FileText(const std::string& path) const;

  // --- Platform -----------------------------------------------------------
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
  std::int32_t ReadRegistryEntry(const RegistryEntry& entry, std::string& data) override;
  std::int32_t WriteRegistryEntry(const RegistryEntry& entry) override;
  std::string ErrorText(std::int32_t status) override;
  bool RestartSystem() override;
  void SetCaption(std::string_view text) override;
  void SetControlEnabled(Control control, bool enabled) override;

  bool Fails(const std::string& op, std::string_view argument) const;

 private:
  std::set<std::pair<std::string, std::string>> failures_;
  ProcessId next_process_ = 100;
};

std::string Fold(std::string_view s);

}  // namespace veltrik::testing
