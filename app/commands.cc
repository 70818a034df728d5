#include "app/commands.h"

#include <set>

#include "app/form.h"
#include "app/messages.h"
#include "repair/branch.h"
#include "repair/repair.h"

namespace veltrik {

namespace {

constexpr char kUsage[] =
    "Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]\r\n"
    "       veltrik.exe /remove <entry> [/remove <entry> ...] [/fix [/norestart]] [/offline <Windows folder>]\r\n"
    "  (none)      open the window\r\n"
    "  /check      report whether the SafeBoot branch is whole; change nothing\r\n"
    "  /fix        repair the branch if needed, then restart the computer\r\n"
    "  /norestart  with /fix: never restart\r\n"
    "  /offline    check or repair the Windows installed in that folder, e.g. D:\\Windows, from a\r\n"
    "              recovery environment; /fix backs up its SYSTEM hive first and never restarts\r\n"
    "  /remove     remove a foreign entry that a report lists, e.g. Network\\AnyDesk, first saved in a\r\n"
    "              Veltrik-removed-<time>.reg beside the log, which puts it back; Windows' own never\r\n"
    "Switches take / or -, in any order, each once but /remove.\r\n";

// "/FIX" and "-fix" -> "fix"; "" when it is not a switch.
std::string Switch(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "";
  return AsciiLower(arg.substr(1));
}

// An argument without its quotes: a quote is never part of a path or of an
// entry named, and one may be left in by the shell, or by "D:\Windows\"
// (whose \" the runtime reads as a quote).
std::string Unquoted(const std::string& arg) {
  std::string out;
  for (char c : arg) out += c == '"' ? "" : std::string(1, c);
  return out;
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
    if (name == "remove") {
      if (++i == args.size() || Unquoted(args[i]).empty()) return Bad();
      command.remove.push_back(Unquoted(args[i]));
      continue;
    }
    if (name.empty() || !names.insert(name).second) return Bad();
    if (name == "offline") {  // the folder is the next argument, whatever it looks like
      if (++i == args.size() || (command.offline_folder = Unquoted(args[i])).empty()) return Bad();
    }
  }
  using Names = std::set<std::string>;
  const bool offline = names.erase("offline") > 0;
  if (!command.remove.empty() && names.empty()) command.action = Action::kRemove;
  if (!command.remove.empty() && !names.count("fix")) return command.action == Action::kRemove ? command : Bad();
  if (names.empty() && !offline) return command;
  if (names == Names{"?"} && !offline) command.action = Action::kUsage;
  if (names == Names{"check"}) command.action = Action::kCheck;
  if (names == Names{"fix"}) command.action = Action::kFix;
  if (names == Names{"fix", "norestart"}) command.action = Action::kFix, command.restart = false;
  return command.action == Action::kWindow ? Bad() : command;
}

int RunCommand(Platform& platform, const Command& command) {
  if (command.action == Action::kUsage || command.action == Action::kBadArguments) {
    platform.WriteOutput(kUsage + ExitCodeLines());
    return command.action == Action::kUsage ? kExitOk : kExitUsage;
  }
  WindowState state;
  DerivePaths(platform, state);
  const bool offline = !command.offline_folder.empty();
  RepairRequest request;
  request.mode = offline ? Mode::kCheckOffline : Mode::kCheck;
  request.offline_folder = command.offline_folder;
  request.started = platform.CommandLine();
  if (command.action == Action::kFix) {
    // Offline there is no restart to leave out, so /norestart is harmless.
    request.mode = offline ? Mode::kFixOffline : command.restart ? Mode::kFix : Mode::kFixNoRestart;
  }
  if (command.action == Action::kRemove) request.mode = offline ? Mode::kRemoveOffline : Mode::kRemove;
  request.remove = command.remove;
  RepairResult result = Repair(platform, request, state.strWinDir);
  if (result.outcome == Outcome::kRecovery) {
    platform.WriteOutput(RecoveryRefusal(result.installed));
    return ExitCode(result.outcome);
  }
  StartRestart(platform, result);
  platform.WriteOutput(result.report);
  return ExitCode(result.outcome);
}

}  // namespace veltrik
