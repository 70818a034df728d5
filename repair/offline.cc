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

// "D:/Windows\\" -> "D:\\Windows\\System32\\config\\".
std::string ConfigFolder(const std::string& folder) { return TrimmedFolder(folder) + "\\System32\\config\\"; }

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

// A spelling of `folder` as the file system reads it: without the "\\?\"
// prefix, trailing dots, "\." parts or trailing backslashes, in lower case.
std::string Spelling(std::string folder) {
  folder = AsciiLower(TrimmedFolder(folder));
  if (folder.rfind("\\\\?\\", 0) == 0) folder.erase(0, 4);
  for (std::size_t at; (at = folder.find("\\.\\")) != std::string::npos;) folder.erase(at, 2);
  while (folder.size() > 3 && (folder.back() == '.' || folder.back() == '\\' || folder.back() == ' ')) {
    folder.pop_back();
  }
  return folder;
}

// The same folder: by identity where both can be opened, by spelling else.
bool SameFolder(Platform& platform, const std::string& a, const std::string& b) {
  FileIdentity first, second;
  if (platform.GetFileIdentity(a, first) && platform.GetFileIdentity(b, second)) return first == second;
  return Spelling(a) == Spelling(b);
}

}  // namespace

Environment DetectEnvironment(Platform& platform, const std::string& running_win_dir) {
  if (!KeyExists(platform, kMiniNtKey)) return Environment::kInstalledWindows;
  std::uint32_t setup = 0;
  const bool in_setup =
      ReadNumber(platform, "HKEY_LOCAL_MACHINE\\SYSTEM\\Setup", "SystemSetupInProgress", setup) && setup == 1;
  const bool ram_drive = AsciiLower(running_win_dir.substr(0, 2)) == "x:";
  return in_setup || ram_drive ? Environment::kRecovery : Environment::kPlantedMiniNt;
}

std::string EnvironmentFinding(Environment environment, const std::string& nl) {
  if (environment != Environment::kPlantedMiniNt) return "";
  return "Look at this: " + std::string(kMiniNtKey) +
         " is present, which marks a recovery environment, but this is a running Windows: it may have been "
         "planted. Veltrik left it as it is." +
         nl;
}

std::string RecoveryRefusal(Platform& platform, const std::string& running_win_dir) {
  std::string text =
      "This is a recovery environment: its own registry is gone at the next start, so nothing was changed. "
      "Repair the installed Windows instead.\r\n";
  const std::vector<std::string> found = FindInstalledWindows(platform, running_win_dir);
  for (const std::string& folder : found) {
    text += "Installed Windows: " + folder + "; to repair it: veltrik.exe /fix /offline " + folder + "\r\n";
  }
  if (found.empty()) {
    text +=
        "No installed Windows was found on the fixed drives (unlock a BitLocker drive first: manage-bde "
        "-unlock); then, e.g.: veltrik.exe /fix /offline D:\\Windows\r\n";
  }
  return text;
}

std::string TrimmedFolder(std::string folder) {
  for (char& c : folder) c = c == '/' ? '\\' : c;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

FolderKind InspectFolder(Platform& platform, const std::string& folder, const std::string& running_win_dir) {
  const std::string path = TrimmedFolder(folder);
  const char letter = static_cast<char>(path.size() < 3 ? 0 : path[0] | 0x20);
  const bool drive = letter >= 'a' && letter <= 'z' && path.substr(1, 2) == ":\\";
  if (!drive && path.rfind("\\\\", 0) != 0) return FolderKind::kNotFullPath;
  if (SameFolder(platform, path, running_win_dir)) return FolderKind::kRunningWindows;
  return platform.GetPathKind(ConfigFolder(folder) + "SYSTEM") == PathKind::kFile ? FolderKind::kInstalledWindows
                                                                                  : FolderKind::kNotWindows;
}

std::vector<std::string> FindInstalledWindows(Platform& platform, const std::string& running_win_dir) {
  std::vector<std::string> found;
  for (const std::string& drive : platform.FixedDrives()) {
    const std::string folder = TrimmedFolder(drive) + (drive.empty() || drive.back() == '\\' ? "" : "\\") + "Windows";
    if (InspectFolder(platform, folder, running_win_dir) == FolderKind::kInstalledWindows) found.push_back(folder);
  }
  return found;
}

std::string OfflineWindows::Describe() const {
  const std::string list = std::string(TemplateWindows(template_id)) + " list";
  switch (source) {
    case Source::kVersion: return "version " + version + ", " + list;
    case Source::kNoSoftware: return "no SOFTWARE hive, the " + list + " by its profiles folder";
    case Source::kNoVersionValues: break;
  }
  return "no version in its SOFTWARE hive, the " + list + " by its profiles folder";
}

OfflineWindows IdentifyOffline(Platform& platform, const std::string& folder) {
  OfflineWindows out;
  const std::string shown = Printable(TrimmedFolder(folder)), software = ConfigFolder(folder) + "SOFTWARE";
  // Before anything is made or loaded: without them no hive loads.
  if (const std::int32_t status = platform.EnableHivePrivileges()) {
    out.error = "The privileges to load a registry hive could not be enabled: " + platform.ErrorText(status) +
                ". Run Veltrik as administrator (right-click it, \"Run as administrator\"). Nothing was changed.";
    return out;
  }
  std::uint32_t major = 0, minor = 0;
  out.source = OfflineWindows::Source::kNoSoftware;
  if (platform.GetPathKind(software) == PathKind::kFile) {
    // A hive that is there but does not load (damaged, locked, still loaded)
    // says nothing of the version: guessing would write another Windows' list.
    LoadedHive hive(platform, software, "VeltrikOfflineSoftware");
    if (hive.status() != 0) {
      out.error = "The SOFTWARE hive of " + shown +
                  ", which names its version, could not be loaded: " + platform.ErrorText(hive.status()) +
                  ". Nothing was changed.";
      return out;
    }
    const std::string key = hive.key() + "\\Microsoft\\Windows NT\\CurrentVersion";
    ValueType type = ValueType::kNone;
    std::string text;
    // Windows 10 and later keep "6.3" in CurrentVersion, for old programs.
    const bool known = (ReadNumber(platform, key, "CurrentMajorVersionNumber", major) &&
                        ReadNumber(platform, key, "CurrentMinorVersionNumber", minor)) ||
                       (ReadValue(platform, key, "CurrentVersion", type, text) == 0 && type == ValueType::kString &&
                        ParseVersion(text, major, minor));
    if (const std::int32_t status = hive.Unload()) {
      out.error = "The SOFTWARE hive of " + shown + " could not be unloaded: " + platform.ErrorText(status) +
                  ". Restart the computer before you use Veltrik again. Nothing was changed.";
      return out;
    }
    out.source = known ? OfflineWindows::Source::kVersion : OfflineWindows::Source::kNoVersionValues;
  }
  if (out.source == OfflineWindows::Source::kVersion) {
    out.version = std::to_string(major) + "." + std::to_string(minor);
    out.template_id = TemplateForVersion(major, minor);
  } else {
    const std::string users = TrimmedFolder(folder).substr(0, 3) + "Users";
    out.template_id = TemplateByProfilesFolder(platform.GetPathKind(users) == PathKind::kFolder ? users : "");
  }
  return out;
}

bool OfflineOutcome::repaired() const { return exit_code == kExitOk || exit_code == kExitRestartRequired; }

namespace {

// Veltrik-backup-<time> beside the hive (with -2, -3, ... where a run in the
// same second took that name), holding SYSTEM and its logs: XP's .LOG, and
// .LOG1 and .LOG2 of later ones. What a failed backup made is removed again.
std::string MakeBackup(Platform& platform, const std::string& config, std::string& backup) {
  const std::string stem = config + "Veltrik-backup-" + platform.LocalTimestamp();
  std::int32_t status = kAlreadyExists;
  for (int n = 1; n <= 100 && status == kAlreadyExists; ++n) {
    backup = stem + (n > 1 ? "-" + std::to_string(n) : "");
    status = platform.CreateFolder(backup);
  }
  if (status != 0) {
    return "The backup folder " + Printable(backup) + " could not be made: " + platform.ErrorText(status) +
           ". Nothing was changed.";
  }
  std::vector<std::string> copied;
  for (const char* name : {"SYSTEM", "SYSTEM.LOG", "SYSTEM.LOG1", "SYSTEM.LOG2"}) {
    if (name != std::string("SYSTEM") && platform.GetPathKind(config + name) != PathKind::kFile) continue;
    status = platform.CopyWholeFile(config + name, backup + "\\" + name);
    if (status == 0) {
      copied.push_back(backup + "\\" + name);
      continue;
    }
    constexpr std::int32_t kSharingViolation = 32;
    std::string text =
        "The SYSTEM hive could not be backed up (" + Printable(config + name) +
        "): " + (status == kSharingViolation ? "the file is in use, by a running Windows or another program: " : "") +
        platform.ErrorText(status) + ".";
    bool removed = true;
    for (const std::string& file : copied) removed &= platform.RemoveFile(file);
    removed = removed && platform.RemoveFolder(backup);
    text += removed ? " Nothing was changed."
                    : " Nothing was changed, but the unfinished backup " + Printable(backup) + " is left; delete it.";
    backup.clear();
    return text;
  }
  return "";
}

// The control set the next start uses, which Select\Default names
// (ControlSet001 to ControlSet999); otherwise why there is none.
std::string ControlSetOf(Platform& platform, const std::string& hive_key, std::string& control_set) {
  ValueType type = ValueType::kNone;
  std::string data;
  if (ReadValue(platform, hive_key + "\\Select", "Default", type, data) != 0) {
    return "has no Select\\Default, which names the control set it starts with";
  }
  if (type != ValueType::kDword) return "has a Select\\Default of type " + TypeName(type) + ", not REG_DWORD";
  const std::uint32_t number = static_cast<std::uint32_t>(std::strtoul(data.c_str(), nullptr, 10));
  if (number == 0 || number > 999) return "has Select\\Default = " + data + ", which names no control set (1 to 999)";
  control_set = std::to_string(number);
  control_set = "ControlSet" + std::string(3 - control_set.size(), '0') + control_set;
  if (!KeyExists(platform, hive_key + "\\" + control_set)) {
    return "lacks " + control_set + ", the control set Select\\Default names";
  }
  return "";
}

}  // namespace

OfflineOutcome RepairOffline(Platform& platform, const std::string& folder, const std::string& running_win_dir,
                             bool fix, const OfflineWindows* known) {
  OfflineOutcome out;
  const std::string config = ConfigFolder(folder), shown_folder = Printable(TrimmedFolder(folder));
  const auto fail = [&out](const std::string& line, int exit_code = kExitNotRepaired) {
    out.exit_code = exit_code;
    out.report += line + "\r\n";
    return out;
  };
  switch (InspectFolder(platform, folder, running_win_dir)) {
    case FolderKind::kRunningWindows:
      return fail(Printable(folder) +
                      " is the Windows that is running: its registry is in use. Repair it with /fix, without /offline.",
                  kExitUsage);
    case FolderKind::kNotFullPath:
      return fail(Printable(folder) + " is not a full path: give the Windows folder with its drive, e.g. D:\\Windows.",
                  kExitUsage);
    case FolderKind::kNotWindows:
      return fail(Printable(folder) + " is not a Windows folder: it has no System32\\config\\SYSTEM.", kExitUsage);
    case FolderKind::kInstalledWindows: break;
  }
  const OfflineWindows windows = known ? *known : IdentifyOffline(platform, folder);
  if (!windows.error.empty()) return fail(windows.error);
  out.windows = windows.Describe();
  if (fix) {
    // Before SYSTEM is loaded: a loaded hive's file is locked, and the copy
    // is what the technician restores if anything goes wrong.
    const std::string failure = MakeBackup(platform, config, out.backup);
    if (!failure.empty()) return fail(failure);
    out.report += "Backup of the SYSTEM hive: " + Printable(out.backup) + "\r\n";
  }

  LoadedHive hive(platform, config + "SYSTEM", "VeltrikOfflineSystem");
  if (hive.status() != 0) {
    return fail("The SYSTEM hive of " + shown_folder + " could not be loaded: " + platform.ErrorText(hive.status()));
  }
  // Offline there is no CurrentControlSet: Select\Default names the one the next start uses.
  std::string control_set;
  if (const std::string fault = ControlSetOf(platform, hive.key(), control_set); !fault.empty()) {
    fail("The SYSTEM hive of " + shown_folder + " " + fault + ". Nothing was written.");
  } else {
    out.control_set = control_set;
    out.report +=
        "Installed Windows: " + shown_folder + " (" + windows.Describe() + "), control set " + control_set + "\r\n";
    const SafeBootTemplate stored =
        MoveToControlSet(LoadTemplate(platform, windows.template_id), hive.key() + "\\" + control_set);
    const BranchCheck before = CheckBranch(platform, stored);
    const BranchCheck after = fix && !before.complete() ? CompleteBranch(platform, stored) : before;
    const Verdict verdict = Judge(before, fix, &after);
    out.exit_code = verdict.exit_code;
    out.report += BranchReport(platform, verdict, before, after, stored, fix, hive.key());
  }
  if (const std::int32_t status = hive.Unload()) {
    return fail("The SYSTEM hive of " + shown_folder + " could not be unloaded: " + platform.ErrorText(status) +
                ". Restart the computer before you use Veltrik again.");
  }
  if (out.exit_code == kExitRestartRequired) out.report += "Restart the computer into this Windows to finish.\r\n";
  return out;
}

}  // namespace veltrik
