// A recording stand-in for the operating system: in-memory registry and files,
// one ordered log of every effect, and any operation made to fail on demand;
// with it the test framework every test file uses.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/constants.h"
#include "platform/platform.h"
#include "repair/branch.h"
#include "repair/reg_file.h"

namespace veltrik::testing {

extern const Bytes kEmbeddedTemplate105, kEmbeddedTemplate106, kEmbeddedTemplate107, kEmbeddedTemplate108,
    kEmbeddedTemplate109;

inline const std::string kTitle = kAppTitle;
inline const std::string kSafeBoot = std::string(kCurrentControlSet) + "\\Control\\SafeBoot";
inline const std::string kLog = "E:\\Tools\\Veltrik.log";  // beside the program, as the fake has it

// Copies the value at `key` into `out`, if there is one.
template <typename Map, typename Out>
bool Lookup(const Map& map, const typename Map::key_type& key, Out& out) {
  const auto it = map.find(key);
  return it != map.end() && (out = it->second, true);
}

// Orders names without regard to ASCII case, as the registry compares them.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    const auto low = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](unsigned char x, unsigned char y) { return low(x) < low(y); });
  }
};
// Paths and names as Windows compares them.
template <typename V>
using NoCaseMap = std::map<std::string, V, NoCase>;
using NoCaseSet = std::set<std::string, NoCase>;

// A value as the registry API holds it; plain text is a REG_SZ.
struct StoredValue {
  StoredValue(const char* text = "") : data(text) {}
  StoredValue(std::string text, ValueType t = ValueType::kString) : data(std::move(text)), type(t) {}
  bool operator==(const StoredValue&) const = default;
  friend void PrintTo(const StoredValue& v, std::ostream* os) { *os << static_cast<int>(v.type) << ":" << v.data; }
  std::string data;
  ValueType type = ValueType::kString;
};

// The operations that can be made to fail; a table of cases names them without the "k".
#define VELTRIK_FAKE_OPS(X)                                                                                          \
  X(GetSystemDirectoryA) X(GetProfilesDirectory) X(CreateObject) X(RegRead) X(RegWrite) X(LaunchCommand)             \
  X(LaunchInUserSession) X(WaitForProcess) X(GetWindowsVersion) X(LoadCustomResource) X(WriteWholeFile)              \
  X(ReadWholeFile) X(RemoveFile) X(WriteRegistryEntry) X(EnumerateSubkeys) X(RestartSystem) X(GetFileIdentity)       \
  X(RemoveFolder) X(EnableHivePrivileges) X(CreateFolder) X(CopyWholeFile) X(AppendToFile) X(LoadHive) X(UnloadHive) \
  X(EnumerateValues) X(DeleteKeyTree) X(WriteNewFile)
#define VELTRIK_FAKE_OP(name) k##name,
enum class Op { VELTRIK_FAKE_OPS(VELTRIK_FAKE_OP) };
#undef VELTRIK_FAKE_OP

class FakePlatform : public Platform {
 public:
  std::string system_directory = "C:\\WINDOWS\\system32";
  std::string profiles_directory = "C:\\Documents and Settings";
  std::map<int, Bytes> resources = {{kTemplateXp, kEmbeddedTemplate105}, {kTemplateVista, kEmbeddedTemplate106},
      {kTemplateWin7, kEmbeddedTemplate107}, {kTemplateWin8, kEmbeddedTemplate108},
      {kTemplateWin10, kEmbeddedTemplate109}};
  NoCaseMap<std::string> registry;  // the shell object's view: path -> value
  // The registry API's view: key -> value name -> value, any keys at all, spelled as first written.
  // "regedit -s" imports into it, unless the editor is hijacked.
  using Keys = NoCaseMap<NoCaseMap<StoredValue>>;
  Keys keys;
  bool regedit_imports = true;
  WindowsVersion version = {5, 1, 0};  // Windows XP
  std::uint32_t exit_code = 0;                               // of every process waited for
  NoCaseMap<Bytes> files;  // only C:\WINDOWS\ is writable
  // An installed Windows seen offline: its folders, and its hive files (also in `files`) with their keys
  // relative to the hive's root, written back when unloaded.
  NoCaseSet folders;
  NoCaseMap<Keys> hives;  // file path -> keys
  std::vector<std::string> fixed_drives = {"C:\\"};
  // Other paths of one folder (a second drive letter, a link).
  NoCaseMap<std::string> same_as;
  std::string command_line = "\"E:\\Tools\\veltrik.exe\" /fix";
  NoCaseSet links;  // where a link is, not a file
  NoCaseMap<std::string> environment;
  bool answer_yes = true;
  // Puts a hive file at `path` holding `keys`.
  void PutHive(const std::string& path, Keys hive_keys);
  // Puts the whole list of template `id` into the registry, its keys in lower case where `folded`; or into
  // the installed Windows' control set ControlSet002 (see Install).
  void PutList(int id, bool folded = false, bool installed = false);

  // Fails operation `op`; with `argument`, only calls whose first argument contains it (case-insensitive), or
  // ends with it where it ends in "$".
  void Fail(Op op, const std::string& argument = "") { failures_.emplace(op, argument); }
  // Fails what a table of cases names: "Op" or "Op argument" (e.g. "LoadHive \\SYSTEM$"); a name that is no
  // operation fails the test.
  void FailNamed(const std::string& named);
  bool Fails(Op op, std::string_view argument) const;

  // What happened.
  std::vector<std::string> log;  // e.g. "launch 2 regedit -s C:\WINDOWS\sxcas.reg", "user-launch 3 ..."
  std::vector<std::string> Only(const std::string& prefix) const;
  std::map<Control, bool> enabled;
  std::string caption, output;
  NoCaseMap<Bytes> last_written;  // every file's last write, even if deleted since
  int shell_objects_alive = 0;
  std::function<void()> on_events;  // what DoEvents and WaitForProcess deliver, as messages would
  std::string FileText(const std::string& path) const;

  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  bool GetProfilesDirectory(std::string& path) override {
    return !Fails(Op::kGetProfilesDirectory, "") && (path = profiles_directory, true);
  }
  std::unique_ptr<ShellObject> CreateObject(std::string_view prog_id) override;
  std::optional<ProcessId> LaunchCommand(std::string_view command_line, WindowStyle style) override;
  bool LaunchInUserSession(std::string_view command_line, WindowStyle style) override {
    if (Fails(Op::kLaunchInUserSession, command_line)) return false;
    log.push_back("user-launch " + std::to_string(static_cast<int>(style)) + " " + std::string(command_line));
    return true;
  }
  std::optional<std::uint32_t> WaitForProcess(ProcessId process, std::uint32_t timeout_ms) override;
  bool GetWindowsVersion(WindowsVersion& v) override { return v = version, !Fails(Op::kGetWindowsVersion, ""); }
  bool LoadCustomResource(int id, Bytes& data) override {
    return !Fails(Op::kLoadCustomResource, std::to_string(id)) && Lookup(resources, id, data);
  }
  bool WriteWholeFile(std::string_view path, const Bytes& data) override;
  bool ReadWholeFile(std::string_view path, Bytes& data) override {
    return !Fails(Op::kReadWholeFile, path) && Lookup(files, std::string(path), data);
  }
  bool RemoveFile(std::string_view path) override {
    return !Fails(Op::kRemoveFile, path) && files.erase(std::string(path)) &&
           (log.push_back("delete " + std::string(path)), true);
  }
  int ShowMessageBox(std::string_view text, int style, std::string_view title) override {
    const bool ask = style == kMessageBoxQuestion;
    log.push_back((ask ? "ask [" : "msgbox " + std::to_string(style) + " [") + std::string(title) + "] " +
                  std::string(text));
    return ask && answer_yes ? kAnswerYes : 1;
  }
  void DoEvents() override { Events("doevents"); }
  void RunAside(const std::function<void()>& work) override { log.push_back("aside"), work(), Events("aside-end"); }
  void EndProgram() override { log.push_back("end"); }
  std::int32_t ReadRegistryEntry(const RegistryEntry& entry, ValueType& type, std::string& data) override;
  std::int32_t WriteRegistryEntry(const RegistryEntry& entry) override;
  std::int32_t EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) override;
  std::int32_t EnumerateValues(const std::string& key, std::vector<RegistryValue>& values) override;
  std::int32_t DeleteKeyTree(const std::string& key) override;
  std::int32_t WriteNewFile(std::string_view path, const Bytes& data) override;
  bool GetEnvironmentValue(std::string_view name, std::string& value) override {
    return Lookup(environment, std::string(name), value);
  }
  std::string ErrorText(std::int32_t status) override { return "system error " + std::to_string(status); }
  bool RestartSystem() override { return !Fails(Op::kRestartSystem, "") && (log.push_back("restart-system"), true); }
  PathKind GetPathKind(std::string_view path) override;
  bool GetFileIdentity(std::string_view path, FileIdentity& identity) override;
  bool RemoveFolder(std::string_view path) override;
  std::int32_t EnableHivePrivileges() override { return Fails(Op::kEnableHivePrivileges, "") ? 1300 : 0; }
  std::int32_t CreateFolder(std::string_view path) override;
  std::int32_t CopyWholeFile(std::string_view from, std::string_view to) override;
  LocalTime GetLocalTime() override { return {2026, 12, 7, 17, 15, 0, 60}; }
  std::string ProgramFolder() override { return "E:\\Tools"; }
  std::string CommandLine() override { return command_line; }
  std::int32_t AppendToFile(std::string_view path, std::string_view text, std::uint64_t limit) override;
  std::vector<std::string> FixedDrives() override { return fixed_drives; }
  std::int32_t LoadHive(std::string_view name, std::string_view file) override;
  std::int32_t UnloadHive(std::string_view name) override;
  void WriteOutput(std::string_view text) override { output += text; }
  void SetCaption(std::string_view text) override { caption = text, log.push_back("caption " + caption); }
  void SetControlEnabled(Control control, bool on) override {
    static const char* const kNames[] = {"start", "about", "exit"};
    enabled[control] = on;
    log.push_back((on ? "enable " : "disable ") + std::string(kNames[static_cast<int>(control)]));
  }

 private:
  void Events(const std::string& line) { on_events ? on_events() : void(), log.push_back(line); }
  std::set<std::pair<Op, std::string>> failures_;
  NoCaseMap<std::string> loaded_;  // hive name -> file
  ProcessId next_process_ = 100;
};

// An installed Windows at D:\Windows, seen from another system.
inline const std::string kConfig = "D:\\Windows\\System32\\config\\";
inline const std::string kBackup = kConfig + "Veltrik-backup-20261207-171500";

// Its SOFTWARE hive, with the version values that are given.
FakePlatform::Keys Software(const char* current, std::uint32_t major = 0, const char* build = nullptr);

// Windows 7 (or what `software` says) at D:\Windows, starting next with ControlSet002, whose shell is
// hijacked; ControlSet001 is an older copy that must stay as it is.
void Install(FakePlatform& fake, FakePlatform::Keys software = Software("6.1"));

// The entries of template `id` that the registry lacks in `control_set`, as the API reads it.
size_t MissingEntries(FakePlatform& fake, int id, const std::string& control_set = kCurrentControlSet);

// Windows 10 with its whole list, but for the shell: absent, or `shell`.
void Hijacked(FakePlatform& fake, std::optional<StoredValue> shell);

// Every hive loaded is unloaded, and no key of it is left.
void ExpectAllUnloaded(const FakePlatform& fake);

// The rows of the table tests/<name>.tsv, their fields apart by tabs; lines that are empty or begin with "#" are
// not rows, and \xHH in a field stands for that byte.
std::vector<std::vector<std::string>> Rows(const std::string& name);
// A field's items apart by " | "; none where it is empty.
std::vector<std::string> Items(const std::string& field);

// Up to `max_len` bytes, most of them the ones that parsers and escaping trip on.
std::string RandomText(std::mt19937& rng, size_t max_len);

}  // namespace veltrik::testing
