#include "repair/repair.h"

#include "repair/environment.h"
#include "repair/fix.h"
#include "repair/installed_windows.h"
#include "repair/offline.h"
#include "repair/removal.h"
#include "repair/report.h"

namespace veltrik {

namespace {

constexpr ModeRow kModes[] = {
    // mode                 fix    offline rewrite boot   restart backup branch
    {Mode::kCheck,          false, false,  false,  false, false,  false, true},
    {Mode::kCheckOffline,   false, true,   false,  false, false,  false, true},
    // The user clicked FIX to have Safe Mode back: the whole branch again, and the F8 menu.
    {Mode::kWindow,         true,  false,  true,   true,  true,   false, true},
    // Nobody may be at the screen: a plain restart, with no boot menu to hold the machine.
    {Mode::kFix,            true,  false,  false,  false, true,   false, true},
    {Mode::kFixNoRestart,   true,  false,  false,  false, false,  false, true},
    // Another Windows' registry: never restarted into this one, its hive copied first.
    {Mode::kFixOffline,     true,  true,   false,  false, false,  true,  true},
    {Mode::kRemove,         false, false,  false,  false, false,  false, false},
    {Mode::kRemoveOffline,  false, true,   false,  false, false,  true,  false},
};

Outcome Judge(const ModeRow& mode, const BranchCheck& before, bool wrote, const BranchCheck& after) {
  if (!mode.fix) return before.complete() ? Outcome::kWhole : Outcome::kNotWhole;
  if (!after.complete()) return Outcome::kNotRepaired;
  if (!wrote) return Outcome::kNothingToRepair;
  // Only a branch that is whole is worth the user's session.
  if (before.complete()) return mode.restart ? Outcome::kReimported : Outcome::kReimportedOnly;
  return mode.restart ? Outcome::kRestarting : Outcome::kRepaired;
}

// The record's lines on the Windows and its branch.
LogRecord RepairRunning(Platform& platform, const RepairRequest& request, const std::string& win_dir,
                        RepairResult& out) {
  LogRecord record{request.started, "not identified",
                   std::string(kCurrentControlSet) + "\\Control\\SafeBoot of the running Windows", "", ""};
  const Environment environment = DetectEnvironment(platform, win_dir);
  // A recovery environment's registry is gone at the next start, and a
  // restart there repairs nothing.
  if (environment == Environment::kRecovery) {
    out.outcome = Outcome::kRecovery;
    out.installed = FindInstalledWindows(platform, win_dir);
    return record;
  }
  out.finding = EnvironmentFinding(environment);
  const ModeRow& mode = What(request.mode);
  RunWork(request, [&] {
    const ListChoice choice = ChooseRunningList(platform);
    Where where{"", {TrimmedFolder(win_dir), "", {}, nullptr},
                {"HKEY_LOCAL_MACHINE\\SOFTWARE", TrimmedFolder(win_dir), true}};
    where.files.variable = [&platform](const std::string& name, std::string& value) {
      return platform.GetEnvironmentValue(name, value);
    };
    ReadProgramFiles(platform, where.holds.software, where.files);
    const BranchRepair repair = RepairBranch(
        platform, LoadTemplate(platform, choice.template_id), mode, request,
        [&](const SafeBootTemplate& stored) { return FixSafeMode(platform, win_dir, stored); }, where,
        RecordFolders(platform, win_dir));
    out.outcome = repair.outcome;
    out.state = repair.state;
    out.report = repair.report + choice.ReportLine() + out.finding;
    if (Restarts(out.outcome)) {
      // Where the F8 menu cannot be turned on, the boot options screen leads to Safe Mode.
      const bool hidden = mode.boot_menu && choice.HidesBootMenu() && !PrepareBootMenu(platform);
      out.restart = hidden ? Restart::kBootOptions : Restart::kPlain;
    }
    out.report += HowToFinish(out.outcome, out.restart, false, false);
    if (choice.template_id) record.windows = choice.Describe();
  });
  return record;
}

}  // namespace

const ModeRow& What(Mode mode) {
  for (const ModeRow& row : kModes) {
    if (row.mode == mode) return row;
  }
  return kModes[0];  // every mode has its row; a check changes nothing
}

BranchRepair RepairBranch(Platform& platform, const SafeBootTemplate& stored, const ModeRow& mode,
                          const RepairRequest& request, const BranchWriter& write, const Where& where,
                          const std::vector<std::string>& save_in) {
  BranchRepair out{Outcome::kRemoved, {}, "", ""};
  if (!request.remove.empty()) {
    // A failed removal stops here: nothing more happens, the repair included.
    const Removal removal = RemoveEntries(platform, request.remove, stored, where.loaded_as, save_in);
    out.outcome = removal.outcome;
    out.report = removal.report;
    if (removal.outcome != Outcome::kRemoved || !mode.branch) return out;
  }
  const BranchCheck before = CheckBranch(platform, stored);
  const bool writes = mode.fix && (mode.rewrite_whole || !before.complete());
  out.check = writes ? write(stored) : before;
  out.outcome = Judge(mode, before, writes, out.check);
  out.state = StateReport(platform, out.outcome, out.check, where.loaded_as);
  // What a repair replaced is evidence; a check names what it would replace.
  out.report += out.state +
                ChangesReport(mode.fix ? Replaced(before, out.check) : before.different, mode.fix, where.loaded_as) +
                ForeignReport(platform, stored, where.files) + HoldsReport(FindHolds(platform, where.holds));
  return out;
}

RepairResult Repair(Platform& platform, const RepairRequest& request, const std::string& running_win_dir) {
  RepairResult out;
  const ModeRow& mode = What(request.mode);
  LogRecord record = mode.offline ? RepairOffline(platform, request, running_win_dir, out)
                                  : RepairRunning(platform, request, running_win_dir, out);
  if (!(mode.fix || !request.remove.empty()) || out.outcome == Outcome::kRefused || out.outcome == Outcome::kRecovery ||
      out.outcome == Outcome::kDeclined) {
    return out;
  }
  record.report = out.report;
  record.outcome = LogWords(out.outcome);
  // Before a restart can cut it short.
  out.log = WriteLog(platform, record, mode.offline ? request.offline_folder : running_win_dir);
  out.report += out.log.line;
  return out;
}

void RunWork(const RepairRequest& request, const std::function<void()>& work) {
  request.run ? request.run(work) : work();
}

void StartRestart(Platform& platform, RepairResult& result) {
  if (!Restarts(result.outcome)) return;
  const char* command = result.restart == Restart::kBootOptions ? kRestartToBootOptionsCommand : kRestartCommand;
  if (platform.LaunchCommand(command, WindowStyle::kMinimized) || platform.RestartSystem()) return;
  result.outcome = NotRestarted(result.outcome);
  const std::string said = "The restart could not be started.\r\n" +
                           HowToFinish(result.outcome, Restart::kNone, false, false);
  LogAfter(platform, result.log, said + "Outcome: " + LogWords(result.outcome) + "\r\n");
  result.report += said;
}

}  // namespace veltrik
