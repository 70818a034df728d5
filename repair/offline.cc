#include "repair/offline.h"

#include <cstdlib>

#include "repair/branch.h"
#include "repair/fix.h"
#include "repair/reg_file.h"
#include "repair/report.h"

namespace veltrik {

namespace {

constexpr char kMachine[] = "HKEY_LOCAL_MACHINE\\";
constexpr std::int32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
// Windows names the hive it starts with SYSTEM: what a technician looks for.
constexpr char kShownHive[] = "HKEY_LOCAL_MACHINE\\SYSTEM";

// "D:\\Windows\\" and "D:/Windows" -> "D:\\Windows".
std::string Trimmed(std::string folder) {
  for (char& c : folder) c = c == '/' ? '\\' : c;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string ConfigFolder(const std::string& folder) { return Trimmed(folder) + "\\System32\\config\\"; }

std::int32_t ReadValue(Platform& platform, const std::string& key, const char* name, ValueType& type,
                       std::string& data) {
  return platform.ReadRegistryEntry({key, name, ""}, type, data);
}

bool KeyExists(Platform& platform, const std::string& key) {
  ValueType type = ValueType::kNone;
  std::string data;
  return platform.ReadRegistryEntry({key, std::nullopt, ""}, type, data) == 0;
}

// A DWORD value's number.
bool ReadNumber(Platform& platform, const std::string& key, const char* name, std::uint32_t& number) {
  ValueType type = ValueType::kNone;
  std::string data;
  if (ReadValue(platform, key, name, type, data) != 0 || type != ValueType::kDword) return false;
  number = static_cast<std::uint32_t>(std::strtoul(data.c_str(), nullptr, 10));
  return true;
}

// "6.1" -> 6, 1.
bool ParseVersion(const std::string& text, std::uint32_t& major, std::uint32_t& minor) {
  const std::size_t dot = text.find('.');
  const auto digits = [](const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == s.npos; };
  if (dot == std::string::npos || !digits(text.substr(0, dot)) || !digits(text.substr(dot + 1)) || text.size() > 12) {
    return false;
  }
  major = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
  minor = static_cast<std::uint32_t>(std::strtoul(text.c_str() + dot + 1, nullptr, 10));
  return true;
}

// A hive loaded under a name of our own that no key has yet, unloaded when
// it goes out of scope at the latest, on every path.
class LoadedHive {
 public:
  LoadedHive(Platform& platform, const std::string& file, const std::string& stem) : platform_(platform) {
    for (int n = 1; n <= 100 && name_.empty(); ++n) {
      const std::string candidate = stem + (n > 1 ? "-" + std::to_string(n) : "");
      if (!KeyExists(platform, kMachine + candidate)) name_ = candidate;
    }
    status_ = name_.empty() ? kAlreadyExists : platform.LoadHive(name_, file);
  }
  ~LoadedHive() { Unload(); }
  LoadedHive(const LoadedHive&) = delete;
  LoadedHive& operator=(const LoadedHive&) = delete;

  std::int32_t status() const { return status_; }
  std::string key() const { return kMachine + name_; }
  std::int32_t Unload() {
    if (status_ != 0 || unloaded_) return 0;
    unloaded_ = true;
    return platform_.UnloadHive(name_);
  }

 private:
  Platform& platform_;
  std::string name_;
  std::int32_t status_ = 0;
  bool unloaded_ = false;
};

std::string Lowered(const std::string& folder) { return AsciiLower(Trimmed(folder)); }

// The loaded hive's keys as that Windows names them when it runs.
void ShowAsInstalled(const std::string& hive_key, BranchCheck& check, std::vector<ValueChange>& changes) {
  const auto shown = [&](std::string& key) {
    if (AsciiLower(key.substr(0, hive_key.size())) == AsciiLower(hive_key)) {
      key = kShownHive + key.substr(hive_key.size());
    }
  };
  shown(check.first_missing);
  for (ValueChange& change : changes) shown(change.key);
}

}  // namespace

bool InRecoveryEnvironment(Platform& platform) { return KeyExists(platform, kMiniNtKey); }

FolderKind InspectFolder(Platform& platform, const std::string& folder, const std::string& running_win_dir) {
  const std::string path = Trimmed(folder);
  const char letter = static_cast<char>(path.size() < 3 ? 0 : path[0] | 0x20);
  const bool drive = letter >= 'a' && letter <= 'z' && path.substr(1, 2) == ":\\";
  if (!drive && path.rfind("\\\\", 0) != 0) return FolderKind::kNotFullPath;
  if (Lowered(folder) == Lowered(running_win_dir)) return FolderKind::kRunningWindows;
  return platform.GetPathKind(ConfigFolder(folder) + "SYSTEM") == PathKind::kFile ? FolderKind::kInstalledWindows
                                                                                  : FolderKind::kNotWindows;
}

std::vector<std::string> FindInstalledWindows(Platform& platform, const std::string& running_win_dir) {
  std::vector<std::string> found;
  for (const std::string& drive : platform.FixedDrives()) {
    const std::string folder = Trimmed(drive) + (drive.empty() || drive.back() == '\\' ? "" : "\\") + "Windows";
    if (InspectFolder(platform, folder, running_win_dir) == FolderKind::kInstalledWindows) found.push_back(folder);
  }
  return found;
}

std::string OfflineWindows::Describe() const {
  const std::string list = std::string(TemplateWindows(template_id)) + " list";
  return version.empty() ? "version unreadable, the " + list + " by its profiles folder"
                         : "version " + version + ", " + list;
}

OfflineWindows IdentifyOffline(Platform& platform, const std::string& folder) {
  OfflineWindows out;
  std::uint32_t major = 0, minor = 0;
  const std::string software = ConfigFolder(folder) + "SOFTWARE";
  if (platform.GetPathKind(software) == PathKind::kFile) {
    LoadedHive hive(platform, software, "VeltrikOfflineSoftware");
    const std::string key = hive.key() + "\\Microsoft\\Windows NT\\CurrentVersion";
    ValueType type = ValueType::kNone;
    std::string text;
    // Windows 10 and later keep "6.3" in CurrentVersion, for old programs.
    const bool known = hive.status() == 0 && ((ReadNumber(platform, key, "CurrentMajorVersionNumber", major) &&
                                               ReadNumber(platform, key, "CurrentMinorVersionNumber", minor)) ||
                                              (ReadValue(platform, key, "CurrentVersion", type, text) == 0 &&
                                               type == ValueType::kString && ParseVersion(text, major, minor)));
    if (known) out.version = std::to_string(major) + "." + std::to_string(minor);
  }
  if (!out.version.empty()) {
    out.template_id = TemplateForVersion(major, minor);
  } else {
    // Vista and later keep the profiles in a top-level Users folder of their drive.
    const std::string users = Trimmed(folder).substr(0, 3) + "Users";
    out.template_id = platform.GetPathKind(users) == PathKind::kFolder ? kTemplateVista : kTemplateXp;
  }
  return out;
}

bool OfflineOutcome::repaired() const { return exit_code == kExitOk || exit_code == kExitRestartRequired; }

OfflineOutcome RepairOffline(Platform& platform, const std::string& folder, bool fix, const OfflineWindows* known) {
  OfflineOutcome out;
  const std::string config = ConfigFolder(folder), shown_folder = Printable(Trimmed(folder));
  const auto fail = [&out](const std::string& line) {
    out.exit_code = kExitNotRepaired;
    out.report += line + "\r\n";
    return out;
  };
  if (fix) {
    // Before any load: a loaded hive's file is locked, and the copy is what
    // the technician restores if anything goes wrong.
    const std::string backup = config + "Veltrik-backup-" + platform.LocalTimestamp();
    if (const std::int32_t status = platform.CreateFolder(backup)) {
      return fail("The backup folder " + Printable(backup) + " could not be made: " + platform.ErrorText(status) +
                  ". Nothing was changed.");
    }
    for (const char* name : {"SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2"}) {
      if (name != std::string("SYSTEM") && platform.GetPathKind(config + name) != PathKind::kFile) continue;
      if (const std::int32_t status = platform.CopyWholeFile(config + name, backup + "\\" + name)) {
        return fail("The SYSTEM hive could not be backed up (" + Printable(config + name) +
                    "): " + platform.ErrorText(status) + ". Nothing was changed.");
      }
    }
    out.backup = backup;
    out.report += "Backup of the SYSTEM hive: " + Printable(backup) + "\r\n";
  }
  const OfflineWindows windows = known ? *known : IdentifyOffline(platform, folder);

  LoadedHive hive(platform, config + "SYSTEM", "VeltrikOfflineSystem");
  if (hive.status() != 0) {
    return fail("The SYSTEM hive of " + shown_folder + " could not be loaded: " + platform.ErrorText(hive.status()));
  }
  // Offline there is no CurrentControlSet: Select\Default names the one the next start uses.
  std::uint32_t number = 0;
  std::string control_set;
  if (ReadNumber(platform, hive.key() + "\\Select", "Default", number) && number > 0 && number < 1000) {
    control_set = std::to_string(number);
    control_set = "ControlSet" + std::string(3 - control_set.size(), '0') + control_set;
  }
  if (control_set.empty() || !KeyExists(platform, hive.key() + "\\" + control_set)) {
    const std::string what = control_set.empty() ? "has no Select\\Default, which names the control set it starts with"
                                                 : "lacks " + control_set + ", the control set Select\\Default names";
    fail("The SYSTEM hive of " + shown_folder + " " + what + ". Nothing was written.");
  } else {
    out.report +=
        "Installed Windows: " + shown_folder + " (" + windows.Describe() + "), control set " + control_set + "\r\n";
    const SafeBootTemplate stored =
        MoveToControlSet(LoadTemplate(platform, windows.template_id), hive.key() + "\\" + control_set);
    const BranchCheck before = CheckBranch(platform, stored);
    BranchCheck shown = before;
    std::vector<ValueChange> changes = before.different;
    std::string state = before.complete() ? Entries(before) + (fix ? "; nothing to repair" : "") : "not whole";
    out.exit_code = before.complete() ? kExitOk : kExitNotRepaired;
    if (fix && !before.complete()) {
      shown = CompleteBranch(platform, stored);
      changes = Replaced(before, shown);
      state = shown.complete() ? "repaired, " + Entries(shown) : "NOT repaired";
      out.exit_code = shown.complete() ? kExitRestartRequired : kExitNotRepaired;
    }
    ShowAsInstalled(hive.key(), shown, changes);
    out.report += StateReport(platform, state, shown) + ChangesReport(changes, ChangesHeading(fix)) +
                  ForeignReport(platform, stored);
  }
  if (const std::int32_t status = hive.Unload()) {
    return fail("The SYSTEM hive of " + shown_folder + " could not be unloaded: " + platform.ErrorText(status) +
                ". Restart the computer before you use Veltrik again.");
  }
  if (out.exit_code == kExitRestartRequired) out.report += "Restart the computer into this Windows to finish.\r\n";
  return out;
}

}  // namespace veltrik
