#include "tests/fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "repair/branch.h"

namespace veltrik::testing {

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

namespace {

class FakeShell : public ShellObject {
 public:
  explicit FakeShell(FakePlatform& p) : p_(p) { ++p_.shell_objects_alive; }
  ~FakeShell() override { --p_.shell_objects_alive; }

  bool RegRead(std::string_view path, std::string& value) override {
    if (p_.Fails("RegRead", path)) return false;
    auto it = p_.registry.find(Fold(path));
    if (it == p_.registry.end()) return false;
    value = it->second;
    return true;
  }

  bool RegWrite(std::string_view path, std::int32_t value, std::string_view type) override {
    if (p_.Fails("RegWrite", path)) {
      p_.log.push_back("regwrite-failed " + std::string(path));
      return false;
    }
    p_.registry[Fold(path)] = std::to_string(value) + " " + std::string(type);
    p_.log.push_back("regwrite " + std::string(path) + "=" + std::to_string(value) + " " + std::string(type));
    return true;
  }

 private:
  FakePlatform& p_;
};

std::string DirOf(const std::string& folded_path) {
  const auto slash = folded_path.rfind('\\');
  return slash == std::string::npos ? "" : folded_path.substr(0, slash + 1);
}

}  // namespace

FakePlatform::FakePlatform() {
  resources[105] = kEmbeddedTemplate105;
  resources[106] = kEmbeddedTemplate106;
}

bool FakePlatform::Fails(const std::string& op, std::string_view argument) const {
  for (const auto& [name, needle] : failures_) {
    if (name == op && Fold(argument).find(Fold(needle)) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> FakePlatform::Only(const std::string& prefix) const {
  std::vector<std::string> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  return out;
}

bool FakePlatform::HasFile(const std::string& path) const { return files.count(Fold(path)) != 0; }

std::string FakePlatform::FileText(const std::string& path) const {
  auto it = files.find(Fold(path));
  return it == files.end() ? std::string() : std::string(it->second.begin(), it->second.end());
}

std::uint32_t FakePlatform::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  if (Fails("GetSystemDirectoryA", "")) return 0;
  // Like the real call: a path that does not fit reports the size it needs.
  if (system_directory.size() + 1 > size) return static_cast<std::uint32_t>(system_directory.size() + 1);
  std::memcpy(buffer, system_directory.c_str(), system_directory.size() + 1);
  return static_cast<std::uint32_t>(system_directory.size());
}

bool FakePlatform::GetProfilesDirectory(std::string& path) {
  if (!has_profiles_directory || Fails("GetProfilesDirectory", "")) return false;
  path = profiles_directory;
  return true;
}

std::unique_ptr<ShellObject> FakePlatform::CreateObject(std::string_view prog_id) {
  if (Fails("CreateObject", prog_id) || prog_id != "WScript.Shell") return nullptr;
  return std::make_unique<FakeShell>(*this);
}

std::optional<ProcessId> FakePlatform::LaunchCommand(std::string_view command_line, WindowStyle style) {
  if (Fails("LaunchCommand", command_line) || command_line.empty()) {
    log.push_back("launch-failed " + std::string(command_line));
    return std::nullopt;
  }
  log.push_back("launch " + std::to_string(static_cast<int>(style)) + " " + std::string(command_line));
  const std::string_view importer = "regedit -s ";
  if (regedit_imports && command_line.substr(0, importer.size()) == importer) {
    std::string path(command_line.substr(importer.size()));
    if (path.size() > 1 && path.front() == '"') path = path.substr(1, path.size() - 2);
    for (const RegistryEntry& entry : ParseRegText(FileText(path))) {
      auto& values = keys[Fold(entry.key)];
      if (entry.name) values[Fold(*entry.name)] = entry.data;
    }
  }
  return next_process_++;
}

bool FakePlatform::WaitForProcess(ProcessId process, std::uint32_t timeout_ms) {
  captions_seen_by_events.push_back(caption);
  if (on_events) on_events();
  const bool ends = imports_end && !Fails("WaitForProcess", "");
  log.push_back("wait " + std::to_string(process) + " " + std::to_string(timeout_ms) + (ends ? " ended" : " timeout"));
  return ends;
}

bool FakePlatform::LoadCustomResource(int id, Bytes& data) {
  auto it = resources.find(id);
  if (Fails("LoadCustomResource", std::to_string(id)) || it == resources.end()) return false;
  data = it->second;
  return true;
}

bool FakePlatform::WriteWholeFile(std::string_view path, const Bytes& data) {
  const std::string key = Fold(path);
  if (Fails("WriteWholeFile", path) || !writable_dirs.count(DirOf(key))) {
    log.push_back("write-failed " + std::string(path));
    return false;
  }
  files[key] = data;
  last_written[key] = data;
  log.push_back("write " + std::string(path));
  return true;
}

bool FakePlatform::ReadWholeFile(std::string_view path, Bytes& data) {
  auto it = files.find(Fold(path));
  if (Fails("ReadWholeFile", path) || it == files.end()) return false;
  data = it->second;
  return true;
}

bool FakePlatform::RemoveFile(std::string_view path) {
  const bool present = files.count(Fold(path)) != 0;
  if (Fails("RemoveFile", path) || !present) return false;
  files.erase(Fold(path));
  log.push_back("delete " + std::string(path));
  return true;
}

void FakePlatform::ShowMessageBox(std::string_view text, int style, std::string_view title) {
  log.push_back("msgbox " + std::to_string(style) + " [" + std::string(title) + "] " + std::string(text));
}

void FakePlatform::DoEvents() {
  captions_seen_by_events.push_back(caption);
  if (on_events) on_events();
  log.push_back("doevents");
}

void FakePlatform::EndProgram() {
  ended = true;
  log.push_back("end");
}

std::int32_t FakePlatform::ReadRegistryEntry(const RegistryEntry& entry, std::string& data) {
  constexpr std::int32_t kNotFound = 2;
  auto key = keys.find(Fold(entry.key));
  if (key == keys.end()) return kNotFound;
  if (!entry.name) return 0;
  auto value = key->second.find(Fold(*entry.name));
  if (value == key->second.end()) return kNotFound;
  data = value->second;
  return 0;
}

std::int32_t FakePlatform::WriteRegistryEntry(const RegistryEntry& entry) {
  constexpr std::int32_t kAccessDenied = 5;
  if (Fails("WriteRegistryEntry", entry.key)) return kAccessDenied;
  auto& values = keys[Fold(entry.key)];
  if (entry.name) values[Fold(*entry.name)] = entry.data;
  log.push_back("regset " + entry.key + (entry.name ? "\\" + *entry.name + "=" + entry.data : ""));
  return 0;
}

std::string FakePlatform::ErrorText(std::int32_t status) { return "system error " + std::to_string(status); }

bool FakePlatform::RestartSystem() {
  if (Fails("RestartSystem", "")) return false;
  log.push_back("restart-system");
  return true;
}

void FakePlatform::SetCaption(std::string_view text) {
  caption = text;
  log.push_back("caption " + caption);
}

void FakePlatform::SetControlEnabled(Control control, bool on) {
  enabled[control] = on;
  static const char* const kNames[] = {"start", "about", "exit"};
  log.push_back(std::string(on ? "enable " : "disable ") + kNames[static_cast<int>(control)]);
}

}  // namespace veltrik::testing
