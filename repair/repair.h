// One repair from start to end: the list chosen, the branch checked, fixed
// and read back, the outcome judged, reported and recorded. The window, the
// command line and the offline mode differ only in the policy they hand in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "repair/branch.h"
#include "repair/list_choice.h"
#include "repair/log.h"
#include "repair/outcome.h"

namespace veltrik {

struct RepairPolicy {
  bool fix = false;                  // false: a check, which changes nothing and records nothing
  bool import_whole_branch = false;  // imports even a branch that is whole
  bool boot_menu = false;            // turns the F8 menu on (Windows 8 and later) before the restart
  bool restart = false;              // restarts once the import made the branch whole
  // An installed Windows, repaired offline: its SYSTEM hive backed up first,
  // never restarted. Empty: the running Windows.
  std::string offline_folder;
  std::string started;  // for the record: "the window", or the command line
  // Asked once the list is chosen, before an offline repair changes anything.
  std::function<bool(const ListChoice&)> confirm;
  // Runs the work itself (the check and the repair, after the environment
  // and the confirmation): the window shows itself busy meanwhile.
  std::function<void(const std::function<void()>&)> run;
};

struct RepairResult {
  Outcome outcome = Outcome::kNotRepaired;
  ListChoice choice;
  BranchCheck check;      // the final one
  std::string report;     // lines ended by CR LF, the record's line last
  std::string backup;       // offline: the backup folder, where one was made
  std::string control_set;  // offline: the one repaired, where Select\Default names one
  std::vector<std::string> installed;  // kRecovery: the installed Windows found
  bool needs_administrator = false;    // refused for want of an administrator's rights
  std::string finding;                 // a report line on the environment, shown by the window too
  LogPlace log;
  const char* restart_command = nullptr;  // where the outcome is kRestarting: still to be started
  bool boot_options = false;              // that restart leads to the boot options screen
};

inline constexpr char kRestartCommand[] = "shutdown -r -f -t 0";
// Restarts into the boot options screen (Windows 8 and later).
inline constexpr char kRestartToBootOptionsCommand[] = "shutdown -r -o -f -t 0";

// `running_win_dir` is the running Windows' folder, ending in a backslash.
RepairResult Repair(Platform& platform, const RepairPolicy& policy, const std::string& running_win_dir);

// The policy's way to run `work`, else directly.
void RunWork(const RepairPolicy& policy, const std::function<void()>& work);

// Starts the restart the result announced, else the system's own; where
// neither starts, the record says so and the outcome becomes kRepaired.
void StartRestart(Platform& platform, RepairResult& result);

}  // namespace veltrik
