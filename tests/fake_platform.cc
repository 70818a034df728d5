#include "tests/fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <tuple>

#include "repair/branch.h"
#include "repair/reg_file.h"

namespace veltrik::testing {

namespace {

std::string Fold(std::string_view s) { return AsciiLower(s); }

// Whether some key of `map` lies below folder or key `path`.
template <typename Map>
bool AnyBelow(const Map& map, const std::string& path) {
  const std::string below = Fold(path) + "\\";
  return std::any_of(map.begin(), map.end(), [&](const auto& entry) { return Fold(entry.first).rfind(below, 0) == 0; });
}

class FakeShell : public ShellObject {
 public:
  explicit FakeShell(FakePlatform& p) : p_(p) { ++p_.shell_objects_alive; }
  ~FakeShell() override { --p_.shell_objects_alive; }

  bool RegRead(std::string_view path, std::string& value) override {
    return !p_.Fails(Op::kRegRead, path) && Lookup(p_.registry, std::string(path), value);
  }

  bool RegWrite(std::string_view path, std::int32_t value, std::string_view type) override {
    if (p_.Fails(Op::kRegWrite, path)) return false;
    const std::string text = std::to_string(value) + " " + std::string(type);
    p_.registry[std::string(path)] = text;
    p_.log.push_back("regwrite " + std::string(path) + "=" + text);
    return true;
  }

 private:
  FakePlatform& p_;
};

}  // namespace

bool FakePlatform::Fails(Op op, std::string_view argument) const {
  const std::string folded = Fold(argument);
  return std::any_of(failures_.begin(), failures_.end(), [&](const auto& f) {
    const std::string part = Fold(f.second);
    const bool at_end = !part.empty() && part.back() == '$';
    return f.first == op &&
           (at_end ? folded.ends_with(part.substr(0, part.size() - 1)) : folded.find(part) != std::string::npos);
  });
}

void FakePlatform::FailNamed(const std::string& named) {
#define VELTRIK_FAKE_OP(name) {#name, Op::k##name},
  static const std::map<std::string, Op> kOps = {VELTRIK_FAKE_OPS(VELTRIK_FAKE_OP)};
#undef VELTRIK_FAKE_OP
  const std::size_t blank = std::min(named.find(' '), named.size());
  const auto op = kOps.find(named.substr(0, blank));
  ASSERT_NE(op, kOps.end()) << named << " is no operation";
  Fail(op->second, named.substr(std::min(blank + 1, named.size())));
}

std::vector<std::string> FakePlatform::Only(const std::string& prefix) const {
  std::vector<std::string> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  return out;
}

std::string FakePlatform::FileText(const std::string& path) const {
  Bytes bytes;
  return Lookup(files, path, bytes), std::string(bytes.begin(), bytes.end());
}

std::uint32_t FakePlatform::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  if (Fails(Op::kGetSystemDirectoryA, "")) return 0;
  // Like the real call: a path that does not fit reports the size it needs.
  if (system_directory.size() + 1 > size) return static_cast<std::uint32_t>(system_directory.size() + 1);
  std::memcpy(buffer, system_directory.c_str(), system_directory.size() + 1);
  return static_cast<std::uint32_t>(system_directory.size());
}

std::unique_ptr<ShellObject> FakePlatform::CreateObject(std::string_view prog_id) {
  if (Fails(Op::kCreateObject, prog_id) || prog_id != "WScript.Shell") return nullptr;
  return std::make_unique<FakeShell>(*this);
}

std::optional<ProcessId> FakePlatform::LaunchCommand(std::string_view command_line, WindowStyle style) {
  if (Fails(Op::kLaunchCommand, command_line) || command_line.empty()) return std::nullopt;
  log.push_back("launch " + std::to_string(static_cast<int>(style)) + " " + std::string(command_line));
  const std::string_view importer = "regedit -s ";
  if (regedit_imports && command_line.rfind(importer, 0) == 0) {
    std::string path(command_line.substr(importer.size()));
    if (path.size() > 1 && path.front() == '"') path = path.substr(1, path.size() - 2);
    for (const RegistryEntry& entry : ParseRegText(FileText(path))) {
      auto& values = keys[entry.key];
      if (entry.name) values[*entry.name] = {entry.data, entry.type};
    }
  }
  return next_process_++;
}

std::optional<std::uint32_t> FakePlatform::WaitForProcess(ProcessId process, std::uint32_t timeout_ms) {
  const bool ends = !Fails(Op::kWaitForProcess, "");
  Events("wait " + std::to_string(process) + " " + std::to_string(timeout_ms) + (ends ? " ended" : " timeout"));
  return ends ? std::optional<std::uint32_t>(exit_code) : std::nullopt;
}

bool FakePlatform::WriteWholeFile(std::string_view path, const Bytes& data) {
  const std::string key = Fold(path);
  if (Fails(Op::kWriteWholeFile, path) || key.rfind("c:\\windows\\", 0) != 0 || key.find('\\', 11) != std::string::npos) {
    return false;
  }
  files[key] = last_written[key] = data;
  log.push_back("write " + std::string(path));
  return true;
}

std::int32_t FakePlatform::ReadRegistryEntry(const RegistryEntry& entry, ValueType& type, std::string& data) {
  auto key = keys.find(entry.key);
  StoredValue value;
  // A key is there when a key below it is.
  if (!entry.name) return key != keys.end() || AnyBelow(keys, entry.key) ? 0 : kStatusNotFound;
  if (key == keys.end()) return kStatusNotFound;
  if (!Lookup(key->second, *entry.name, value)) return type = ValueType::kAbsent, kStatusNotFound;
  std::tie(type, data) = std::tie(value.type, value.data);
  return 0;
}

std::int32_t FakePlatform::WriteRegistryEntry(const RegistryEntry& entry) {
  constexpr std::int32_t kAccessDenied = 5;
  if (Fails(Op::kWriteRegistryEntry, entry.key)) return kAccessDenied;
  auto& values = keys[entry.key];
  if (entry.name) values[*entry.name] = {entry.data, entry.type};
  log.push_back("regset " + entry.key + (entry.name ? "\\" + *entry.name + "=" + entry.data : ""));
  return 0;
}

std::int32_t FakePlatform::EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) {
  if (Fails(Op::kEnumerateSubkeys, key)) return 5;
  const std::string prefix = Fold(key) + "\\";
  std::set<std::string, NoCase> children;  // a deeper key implies its parents
  for (const auto& [path, values] : keys) {
    if (Fold(path).rfind(prefix, 0) != 0) continue;
    children.insert(path.substr(prefix.size(), path.find('\\', prefix.size()) - prefix.size()));
  }
  if (children.empty() && !keys.count(key)) return kStatusNotFound;
  names.assign(children.begin(), children.end());
  return 0;
}

std::int32_t FakePlatform::EnumerateValues(const std::string& key, std::vector<RegistryValue>& values) {
  const auto found = keys.find(key);
  if (Fails(Op::kEnumerateValues, key)) return 5;
  if (found == keys.end()) return AnyBelow(keys, key) ? 0 : kStatusNotFound;
  for (const auto& [name, value] : found->second) values.push_back({name, value.type, RawData(value.type, value.data)});
  return 0;
}

std::int32_t FakePlatform::DeleteKeyTree(const std::string& key) {
  if (Fails(Op::kDeleteKeyTree, key)) return 5;
  const std::string below = Fold(key) + "\\";
  const auto erased = std::erase_if(keys, [&](const auto& k) { return Fold(k.first + "\\").rfind(below, 0) == 0; });
  if (!erased) return kStatusNotFound;
  log.push_back("regdel " + key);
  return 0;
}

std::int32_t FakePlatform::WriteNewFile(std::string_view path, const Bytes& data) {
  if (Fails(Op::kWriteNewFile, path)) return 5;
  if (links.count(std::string(path)) || GetPathKind(path) != PathKind::kNone) return 80;  // ERROR_FILE_EXISTS
  files[std::string(path)] = data;
  log.push_back("create " + std::string(path));
  return 0;
}

void FakePlatform::PutHive(const std::string& path, Keys hive_keys) {
  files[path] = Bytes{'h', 'i', 'v', 'e'};
  hives[path] = std::move(hive_keys);
}

void FakePlatform::PutList(int id, bool folded, bool installed) {
  const std::size_t running = std::strlen(kCurrentControlSet) + 1;
  for (const RegistryEntry& e : LoadTemplate(*this, id).entries) {
    const std::string key = installed ? "ControlSet002\\" + e.key.substr(running) : e.key;
    (installed ? hives[kConfig + "SYSTEM"] : keys)[folded ? Fold(key) : key][e.name.value_or("")] = {e.data, e.type};
  }
}

PathKind FakePlatform::GetPathKind(std::string_view path) {
  const std::string key = Fold(path);
  if (files.count(key)) return PathKind::kFile;
  return folders.count(key) || AnyBelow(files, key) ? PathKind::kFolder : PathKind::kNone;
}

bool FakePlatform::GetFileIdentity(std::string_view path, FileIdentity& identity) {
  std::string key = Fold(path);
  while (key.size() > 3 && key.back() == '\\') key.pop_back();
  if (same_as.count(key)) key = same_as[key];
  if (Fails(Op::kGetFileIdentity, path) || GetPathKind(key) == PathKind::kNone) return false;
  identity = {1, std::hash<std::string>()(key)};
  return true;
}

bool FakePlatform::RemoveFolder(std::string_view path) {
  if (Fails(Op::kRemoveFolder, path) || AnyBelow(files, std::string(path)) || !folders.erase(std::string(path))) return false;
  log.push_back("rmdir " + std::string(path));
  return true;
}

std::int32_t FakePlatform::CreateFolder(std::string_view path) {
  if (Fails(Op::kCreateFolder, path)) return 5;
  if (GetPathKind(path) != PathKind::kNone) return 183;
  folders.insert(std::string(path));
  log.push_back("mkdir " + std::string(path));
  return 0;
}

std::int32_t FakePlatform::CopyWholeFile(std::string_view from, std::string_view to) {
  if (Fails(Op::kCopyWholeFile, from)) return 5;
  if (GetPathKind(from) != PathKind::kFile) return kStatusNotFound;
  const auto locked = [&](const auto& hive) { return hive.second == Fold(from); };
  if (std::any_of(loaded_.begin(), loaded_.end(), locked)) return 32;  // ERROR_SHARING_VIOLATION
  if (GetPathKind(to) != PathKind::kNone) return 80;  // ERROR_FILE_EXISTS
  files[std::string(to)] = files[std::string(from)];
  log.push_back("copy " + std::string(from) + " " + std::string(to));
  return 0;
}

std::int32_t FakePlatform::LoadHive(std::string_view name, std::string_view file) {
  if (Fails(Op::kLoadHive, file)) return 1314;  // ERROR_PRIVILEGE_NOT_HELD
  const std::string root = "HKEY_LOCAL_MACHINE\\" + std::string(name);
  if (keys.count(root)) return 183;
  log.push_back("load-hive " + std::string(name) + " " + std::string(file));
  // Like Windows, a file that is not there becomes an empty hive.
  if (!files.count(std::string(file))) PutHive(std::string(file), {});
  keys[root];
  for (const auto& [key, values] : hives[std::string(file)]) keys[root + "\\" + key] = values;
  loaded_[std::string(name)] = Fold(file);
  return 0;
}

std::int32_t FakePlatform::UnloadHive(std::string_view name) {
  if (Fails(Op::kUnloadHive, name)) return 5;
  const auto file = loaded_.find(std::string(name));
  if (file == loaded_.end()) return 87;  // ERROR_INVALID_PARAMETER
  log.push_back("unload-hive " + std::string(name));
  const std::string root = Fold("HKEY_LOCAL_MACHINE\\" + std::string(name)) + "\\";
  Keys& back = hives[file->second] = {};  // written back, as Windows does
  std::erase_if(keys, [&](const auto& key) {
    const bool below = (Fold(key.first) + "\\").rfind(root, 0) == 0;
    if (below && key.first.size() > root.size()) back[key.first.substr(root.size())] = key.second;
    return below;
  });
  loaded_.erase(file);
  return 0;
}

std::int32_t FakePlatform::AppendToFile(std::string_view path, std::string_view text, std::uint64_t limit) {
  const std::string key = Fold(path);
  if (Fails(Op::kAppendToFile, path)) return 5;
  if (links.count(key) || GetPathKind(path) == PathKind::kFolder) return kStatusLink;
  Bytes& bytes = files[key];
  if (bytes.size() >= limit) {
    files[key + ".old"] = bytes;
    bytes.clear();
  }
  bytes.insert(bytes.end(), text.begin(), text.end());
  log.push_back("append " + std::string(path));
  return 0;
}

FakePlatform::Keys Software(const char* current, std::uint32_t major, const char* build) {
  FakePlatform::Keys software;
  auto& values = software["Microsoft\\Windows NT\\CurrentVersion"];
  if (current) values["CurrentVersion"] = current;
  if (build) values["CurrentBuildNumber"] = build;
  if (major) values["CurrentMajorVersionNumber"] = StoredValue(std::to_string(major), ValueType::kDword);
  if (major) values["CurrentMinorVersionNumber"] = StoredValue("0", ValueType::kDword);
  return software;
}

void Install(FakePlatform& fake, FakePlatform::Keys software) {
  const StoredValue kSecond("2", ValueType::kDword);
  fake.PutHive(kConfig + "SYSTEM", {{"Select", {{"Default", kSecond}}},
                                    {"ControlSet001\\Control\\SafeBoot", {{"AlternateShell", "old.exe"}}},
                                    {"ControlSet002\\Control\\SafeBoot", {{"AlternateShell", "evil\r\n.exe"}}}});
  for (const char* log : {"SYSTEM.LOG", "SYSTEM.LOG1", "SYSTEM.LOG2"}) {
    fake.files[kConfig + log] = {'l', 'o', 'g'};
  }
  if (!software.empty()) fake.PutHive(kConfig + "SOFTWARE", std::move(software));
  fake.fixed_drives = {"C:\\", "D:\\"};
}

size_t MissingEntries(FakePlatform& fake, int id, const std::string& control_set) {
  size_t missing = 0;
  for (RegistryEntry e : ParseRegText(RegTextFromWorkFile(ByteArrayImage(fake.resources[id])))) {
    e.key.replace(0, std::string_view(kCurrentControlSet).size(), control_set);
    ValueType type = ValueType::kNone;
    std::string data;
    missing += fake.ReadRegistryEntry(e, type, data) != 0 || (e.name && (data != e.data || type != e.type));
  }
  return missing;
}

void ExpectAllUnloaded(const FakePlatform& fake) {
  EXPECT_EQ(fake.Only("load-hive").size(), fake.Only("unload-hive").size());
  for (const std::string& load : fake.Only("load-hive ")) {
    const std::string root = "HKEY_LOCAL_MACHINE\\" + load.substr(10, load.find(' ', 10) - 10);
    for (const auto& [key, values] : fake.keys) EXPECT_NE(key.substr(0, root.size()), root) << key << " loaded";
  }
}

void Hijacked(FakePlatform& fake, std::optional<StoredValue> shell) {
  fake.version = {10, 0};
  fake.PutList(kTemplateWin10);
  fake.keys[kSafeBoot].erase("AlternateShell");
  if (shell) fake.keys[kSafeBoot]["AlternateShell"] = *shell;
}

std::vector<std::vector<std::string>> Rows(const std::string& name) {
  std::ifstream file(std::string(VELTRIK_TESTS) + "/" + name + ".tsv");
  EXPECT_TRUE(file.good()) << name;
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.emplace_back();
    for (std::size_t at = 0, tab; at <= line.size(); at = tab + 1) {
      tab = std::min(line.find('\t', at), line.size());
      std::string field = line.substr(at, tab - at);
      // Decoded after the split, so that \x09 stands for a tab within a field.
      for (std::size_t x = 0; (x = field.find("\\x", x)) != std::string::npos; ++x) {
        const std::string hex = field.substr(x + 2, 2);
        if (hex.size() == 2 && std::isxdigit(hex[0]) && std::isxdigit(hex[1])) {
          field.replace(x, 4, 1, static_cast<char>(std::stoi(hex, nullptr, 16)));
        }
      }
      rows.back().push_back(field);
    }
  }
  EXPECT_FALSE(rows.empty()) << name << " has no rows";
  return rows;
}

std::vector<std::string> Items(const std::string& field) {
  std::vector<std::string> items;
  for (std::size_t at = 0, bar; !field.empty() && at <= field.size(); at = bar + 3) {
    bar = std::min(field.find(" | ", at), field.size());
    items.push_back(field.substr(at, bar - at));
  }
  return items;
}

std::string RandomText(std::mt19937& rng, size_t max_len) {
  static const char kAlphabet[] = "\\\\\\\r\n\"\0 :Cc{}[]@=-?\xFF\xFE\xE9";
  std::string s(std::uniform_int_distribution<size_t>(0, max_len)(rng), ' ');
  for (char& c : s) c = rng() % 3 ? kAlphabet[rng() % (sizeof kAlphabet - 1)] : static_cast<char>(rng());
  return s;
}

}  // namespace veltrik::testing
