#include "app/commands.h"

#include <set>

#include "app/form.h"
#include "repair/fix.h"
#include "repair/offline.h"

namespace veltrik {

namespace {

constexpr char kUsage[] =
    "Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]\r\n"
    "  (none)      open the window\r\n"
    "  /check      report whether the SafeBoot branch is whole; change nothing\r\n"
    "  /fix        repair the branch if needed, then restart the computer\r\n"
    "  /norestart  with /fix: never restart\r\n"
    "  /offline    check or repair the Windows installed in that folder, e.g. D:\\Windows, from a\r\n"
    "              recovery environment; /fix backs up its SYSTEM hive first and never restarts\r\n"
    "Switches take / or -, in any order, each once.\r\n"
    "Exit codes: 0 whole (or nothing to do), 1 not whole / not repaired, 2 bad arguments or not a\r\n"
    "  Windows folder, 1641 repaired and restarting, 3010 repaired, restart needed.\r\n";

// "/FIX" and "-fix" -> "fix"; "" when it is not a switch.
std::string Switch(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "";
  return AsciiLower(arg.substr(1));
}

Command Bad() {
  Command command;
  command.action = Action::kBadArguments;
  return command;
}

}  // namespace

Command ParseArguments(const std::vector<std::string>& args) {
  std::set<std::string> names;
  Command command;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string name = Switch(args[i]);
    if (name.empty() || !names.insert(name).second) return Bad();
    if (name == "offline") {
      // The folder is the next argument, whatever it looks like. A quote is
      // never part of a path: one left in by the shell, or by "D:\Windows\"
      // (whose \" the runtime reads as a quote), is dropped.
      if (++i == args.size()) return Bad();
      for (char c : args[i]) command.offline_folder += c == '"' ? "" : std::string(1, c);
      if (command.offline_folder.empty()) return Bad();
    }
  }
  using Names = std::set<std::string>;
  const bool offline = names.erase("offline") > 0;
  if (names.empty() && !offline) return command;
  if (names == Names{"?"} && !offline) command.action = Action::kUsage;
  if (names == Names{"check"}) command.action = Action::kCheck;
  if (names == Names{"fix"}) command.action = Action::kFix;
  // Offline there is no restart to leave out, so /norestart is harmless.
  if (names == Names{"fix", "norestart"}) command.action = Action::kFix, command.restart = false;
  return command.action == Action::kWindow ? Bad() : command;
}

int RunCommand(Platform& platform, const Command& command) {
  if (command.action == Action::kUsage || command.action == Action::kBadArguments) {
    platform.WriteOutput(kUsage);
    return command.action == Action::kUsage ? kExitOk : kExitUsage;
  }
  WindowState state;
  DerivePaths(platform, state);
  const bool fix = command.action == Action::kFix;
  if (!command.offline_folder.empty()) {
    const OfflineOutcome outcome = RepairOffline(platform, command.offline_folder, state.strWinDir, fix);
    platform.WriteOutput(outcome.report);
    return outcome.exit_code;
  }
  const Environment environment = DetectEnvironment(platform, state.strWinDir);
  if (environment == Environment::kRecovery) {
    platform.WriteOutput(RecoveryRefusal(platform, state.strWinDir));
    return kExitUsage;
  }
  const std::string finding = EnvironmentFinding(environment, "\r\n");
  const SafeBootTemplate stored = LoadTemplate(platform, ChooseTemplate(platform));
  const BranchCheck before = CheckBranch(platform, stored);
  if (!fix || before.complete()) {
    const Verdict verdict = Judge(before, fix);
    platform.WriteOutput(StateReport(platform, verdict.state, before) +
                         ChangesReport(before.different, ChangesHeading(fix)) + ForeignReport(platform, stored) +
                         finding);
    return verdict.exit_code;
  }
  const BranchCheck after = FixSafeMode(platform, state.strWinDir, stored);
  const Verdict verdict = Judge(before, fix, &after);
  // Before a restart can cut it short.
  const std::string details =
      ChangesReport(Replaced(before, after), ChangesHeading(true)) + ForeignReport(platform, stored) + finding;
  if (!after.complete()) {
    platform.WriteOutput(StateReport(platform, verdict.state, after) + details);
    return verdict.exit_code;
  }
  // Nobody may be at the screen: a plain restart, with no boot menu to hold the machine.
  const bool restarting = command.restart && Restart(platform, kRestartCommand);
  platform.WriteOutput(StateReport(platform, verdict.state, after) + details +
                       (restarting ? "Restarting the computer now.\r\n" : "Restart the computer to finish.\r\n"));
  return restarting ? kExitRestartStarted : verdict.exit_code;
}

}  // namespace veltrik
