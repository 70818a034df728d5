#include "repair/offline.h"

#include <cstdlib>
#include <optional>

#include "repair/hive.h"
#include "repair/installed_windows.h"
#include "repair/log.h"
#include "repair/removal.h"
#include "repair/reg_file.h"
#include "repair/report.h"

namespace veltrik {

namespace {

// Veltrik-backup-<time> beside the hive (with -2, -3, ... where a run in the
// same second took that name), holding SYSTEM and its logs: XP's .LOG, and
// .LOG1 and .LOG2 of later ones. What a failed backup made is removed again.
std::string MakeBackup(Platform& platform, const std::string& config, std::string& backup) {
  const std::string stem = config + "Veltrik-backup-" + Timestamp(platform.GetLocalTime());
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

LogRecord RepairOffline(Platform& platform, const RepairRequest& request, const std::string& running_win_dir,
                        RepairResult& out) {
  const std::string& folder = request.offline_folder;
  const std::string config = ConfigFolder(folder), shown_folder = Printable(TrimmedFolder(folder));
  LogRecord record{request.started, "not identified", "the installed Windows in " + Printable(folder), "", ""};
  const auto fail = [&](const std::string& line, Outcome outcome = Outcome::kNotRepaired) {
    out.outcome = outcome;
    out.report += line + "\r\n";
    return record;
  };
  switch (InspectFolder(platform, folder, running_win_dir)) {
    case FolderKind::kRunningWindows:
      return fail(Printable(folder) +
                      " is the Windows that is running: its registry is in use. Repair it with /fix, without /offline.",
                  Outcome::kRefused);
    case FolderKind::kNotFullPath:
      return fail(Printable(folder) + " is not a full path: give the Windows folder with its drive, e.g. D:\\Windows.",
                  Outcome::kRefused);
    case FolderKind::kNotWindows:
      return fail(Printable(folder) + " is not a Windows folder: it has no System32\\config\\SYSTEM.",
                  Outcome::kRefused);
    case FolderKind::kInstalledWindows: break;
  }
  const ListChoice choice = ChooseOfflineList(platform, folder);
  if (choice.template_id) record.windows = choice.Describe();
  if (!choice.error.empty()) {
    fail(choice.error);
    out.report += HowToFinish(out.outcome, Restart::kNone, true, choice.needs_administrator);
    return record;
  }
  // What the names and the list tell is refused before the backup changes anything.
  if (const std::string refused = RefuseRemovals(request.remove, LoadTemplate(platform, choice.template_id));
      !refused.empty()) {
    return fail(refused + "Nothing was changed.", Outcome::kRefused);
  }
  if (request.confirm && !request.confirm(choice)) {
    out.outcome = Outcome::kDeclined;
    return record;
  }

  const ModeRow& mode = What(request.mode);
  RunWork(request, [&] {
    if (mode.backup) {
      // Before SYSTEM is loaded: a loaded hive's file is locked, and the copy
      // is what the technician restores if anything goes wrong.
      std::string backup;
      const std::string failure = MakeBackup(platform, config, backup);
      if (!failure.empty()) return void(fail(failure));
      out.report += "Backup of the SYSTEM hive: " + Printable(backup) + "\r\n";
    }
    LoadedHive hive(platform, config + "SYSTEM", "VeltrikOfflineSystem");
    if (hive.status() != 0) {
      return void(
          fail("The SYSTEM hive of " + shown_folder + " could not be loaded: " + platform.ErrorText(hive.status())));
    }
    // Offline there is no CurrentControlSet: Select\Default names the one the next start uses.
    std::string control_set;
    if (const std::string fault = ControlSetOf(platform, hive.key(), control_set); !fault.empty()) {
      fail("The SYSTEM hive of " + shown_folder + " " + fault + ". Nothing was written.");
    } else {
      record.branch += ", control set " + control_set;
      out.report += "Installed Windows: " + shown_folder + " (" + choice.Describe() + "), control set " +
                    control_set + "\r\n";
      // Its SOFTWARE hive says where its files are and what else holds Safe Mode.
      std::optional<LoadedHive> software;
      if (platform.GetPathKind(config + "SOFTWARE") == PathKind::kFile) {
        software.emplace(platform, config + "SOFTWARE", "VeltrikOfflineSoftware");
      }
      const std::string software_key = software && software->status() == 0 ? software->key() : "";
      std::string named = TrimmedFolder(folder);  // its folder as it names it, e.g. C:\WINDOWS
      ValueType type = ValueType::kNone;
      if (!software_key.empty()) {
        ReadValue(platform, software_key + "\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", type, named);
      }
      Where where{hive.key(), {TrimmedFolder(folder), named.size() > 1 && named[1] == ':' ? named.substr(0, 2) : "",
                               {}, nullptr},
                  {software_key, TrimmedFolder(named), false}};
      if (!software_key.empty()) ReadProgramFiles(platform, software_key, where.files);
      const BranchRepair repair = RepairBranch(
          platform, MoveToControlSet(LoadTemplate(platform, choice.template_id), hive.key() + "\\" + control_set),
          mode, request, [&](const SafeBootTemplate& stored) { return CompleteBranch(platform, stored); }, where,
          RecordFolders(platform, folder));
      out.outcome = repair.outcome;
      out.state = repair.state;
      out.report += repair.report;
      if (software) software->Unload();
    }
    if (const std::int32_t status = hive.Unload()) {
      return void(fail("The SYSTEM hive of " + shown_folder + " could not be unloaded: " + platform.ErrorText(status) +
                       ". Restart the computer before you use Veltrik again."));
    }
    out.report += HowToFinish(out.outcome, Restart::kNone, true, false);
  });
  return record;
}

}  // namespace veltrik
