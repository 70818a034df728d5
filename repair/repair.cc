#include "repair/repair.h"

#include "repair/environment.h"
#include "repair/fix.h"
#include "repair/installed_windows.h"
#include "repair/offline.h"
#include "repair/reg_file.h"
#include "repair/report.h"

namespace veltrik {

namespace {

void RepairRunning(Platform& platform, const RepairPolicy& policy, const std::string& win_dir, RepairResult& out) {
  const Environment environment = DetectEnvironment(platform, win_dir);
  // A recovery environment's registry is gone at the next start, and a
  // restart there repairs nothing.
  if (environment == Environment::kRecovery) {
    out.outcome = Outcome::kRecovery;
    out.installed = FindInstalledWindows(platform, win_dir);
    return;
  }
  out.finding = EnvironmentFinding(environment);
  RunWork(policy, [&] {
    out.choice = ChooseRunningList(platform);
    const SafeBootTemplate stored = LoadTemplate(platform, out.choice.template_id);
    const BranchCheck before = CheckBranch(platform, stored);
    const bool imports = policy.fix && (policy.import_whole_branch || !before.complete());
    out.check = imports ? FixSafeMode(platform, win_dir, stored) : before;
    out.outcome = Judge(before, policy.fix, out.check);
    out.report = BranchReport(platform, out.outcome, before, out.check, stored, policy.fix) +
                 out.choice.ReportLine() + out.finding;
    // Only a branch the import made whole is worth the user's session.
    if (imports && out.check.complete() && policy.restart) {
      // Where the F8 menu cannot be turned on, the boot options screen leads to Safe Mode.
      out.boot_options = policy.boot_menu && out.choice.HidesBootMenu() && !PrepareBootMenu(platform);
      out.restart_command = out.boot_options ? kRestartToBootOptionsCommand : kRestartCommand;
      out.outcome = Outcome::kRestarting;
    }
  });
}

}  // namespace

RepairResult Repair(Platform& platform, const RepairPolicy& policy, const std::string& running_win_dir) {
  RepairResult out;
  const bool offline = !policy.offline_folder.empty();
  if (offline) {
    RepairOffline(platform, policy, running_win_dir, out);
  } else {
    RepairRunning(platform, policy, running_win_dir, out);
  }
  if (!policy.fix || out.outcome == Outcome::kRefused || out.outcome == Outcome::kRecovery ||
      out.outcome == Outcome::kDeclined) {
    return out;
  }
  // Before a restart can cut it short.
  LogRecord record{policy.started, out.choice.template_id ? out.choice.Describe() : "not identified", "", out.report,
                   LogWords(out.outcome)};
  record.branch = offline ? "the installed Windows in " + Printable(policy.offline_folder) +
                                (out.control_set.empty() ? "" : ", control set " + out.control_set)
                          : std::string(kCurrentControlSet) + "\\Control\\SafeBoot of the running Windows";
  out.log = WriteLog(platform, record, offline ? policy.offline_folder : running_win_dir);
  out.report += out.log.line;
  return out;
}

void RunWork(const RepairPolicy& policy, const std::function<void()>& work) { policy.run ? policy.run(work) : work(); }

void StartRestart(Platform& platform, RepairResult& result) {
  if (result.outcome != Outcome::kRestarting || !result.restart_command) return;
  if (platform.LaunchCommand(result.restart_command, WindowStyle::kMinimized) || platform.RestartSystem()) return;
  LogRestartRefused(platform, result.log);
  result.outcome = Outcome::kRepaired;
}

}  // namespace veltrik
