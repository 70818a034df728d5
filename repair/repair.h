// One repair from start to end: the list chosen, the branch checked, written,
// read back and judged, reported and recorded. Who asks names the mode; the
// running and the installed Windows differ only in where the branch lives
// and how it is written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "repair/branch.h"
#include "repair/holds.h"
#include "repair/list_choice.h"
#include "repair/log.h"
#include "repair/outcome.h"
#include "repair/reg_file.h"
#include "repair/services.h"

namespace veltrik {

enum class Mode {
  kCheck,         // /check
  kCheckOffline,  // /check /offline <folder>
  kWindow,        // the window's FIX
  kFix,           // /fix
  kFixNoRestart,  // /fix /norestart
  kFixOffline,    // /fix /offline <folder>, and the window in a recovery environment
  kRemove,        // /remove <entry> alone
  kRemoveOffline, // /remove <entry> /offline <folder>
};

// What a mode does.
struct ModeRow {
  Mode mode;
  bool fix;            // writes what the branch lacks, and records it; a check changes and records nothing
  bool offline;        // an installed Windows in a folder, its entries written one by one
  bool rewrite_whole;  // imports a branch that is whole all the same
  bool boot_menu;      // turns the F8 menu on (Windows 8 and later) before the restart
  bool restart;        // restarts once the branch is whole
  bool backup;         // backs the hive up before it is loaded
  bool branch;         // checks the branch: all but a removal alone
};
const ModeRow& What(Mode mode);

struct RepairRequest {
  Mode mode = Mode::kCheck;
  std::string offline_folder;  // the installed Windows' folder, in the offline modes
  std::string started;         // for the record: "the window", or the command line
  std::vector<std::string> remove;  // foreign entries to remove first, e.g. Network\AnyDesk
  // Asked once the list is chosen, before an offline repair changes anything.
  std::function<bool(const ListChoice&)> confirm;
  // Runs the work itself (the check and the repair, after the environment
  // and the confirmation): the window shows itself busy meanwhile.
  std::function<void(const std::function<void()>&)> run;
};

struct RepairResult {
  Outcome outcome = Outcome::kNotRepaired;
  Restart restart = Restart::kNone;  // announced by a restarting outcome, started by StartRestart
  std::string state;    // the report's lines on the branch's state, which the window's box shows
  std::string finding;  // a report line on the environment, shown by the window too
  std::string report;   // lines ended by CR LF, the record's line last
  std::vector<std::string> installed;  // kRecovery: the installed Windows found
  LogPlace log;
};

inline constexpr char kRestartCommand[] = "shutdown -r -f -t 0";
// Restarts into the boot options screen (Windows 8 and later).
inline constexpr char kRestartToBootOptionsCommand[] = "shutdown -r -o -f -t 0";

// How a branch that lacks entries gets them: the template in, the final check out.
using BranchWriter = std::function<BranchCheck(const SafeBootTemplate&)>;

// Where the branch is, and its Windows' files and other holds.
struct Where {
  std::string loaded_as;  // an installed Windows' SYSTEM hive as loaded; "" for the running Windows
  WindowsFiles files;
  HoldPlaces holds;
};

struct BranchRepair {
  Outcome outcome;
  BranchCheck check;   // the final one
  std::string state;   // the report's lines on the branch's state
  std::string report;  // the state, the values replaced and what else is there
};

// The one check-and-write of every mode, for the branch at the template's
// keys: removes the foreign entries asked for, checks the branch, has
// `write` write it where the mode says so, judges the final check and
// reports it with what else holds Safe Mode, keys as `where`'s Windows
// names them.
BranchRepair RepairBranch(Platform& platform, const SafeBootTemplate& stored, const ModeRow& mode,
                          const RepairRequest& request, const BranchWriter& write, const Where& where,
                          const std::vector<std::string>& save_in);

// `running_win_dir` is the running Windows' folder, ending in a backslash.
RepairResult Repair(Platform& platform, const RepairRequest& request, const std::string& running_win_dir);

// The request's way to run `work`, else directly.
void RunWork(const RepairRequest& request, const std::function<void()>& work);

// Starts the restart the result announced, else the system's own; where
// neither starts, the report and the record say so and the outcome becomes
// its not-restarted one.
void StartRestart(Platform& platform, RepairResult& result);

}  // namespace veltrik
