#include "app/commands.h"

#include <cctype>

#include "app/form.h"
#include "repair/fix.h"

namespace veltrik {

namespace {

constexpr char kUsage[] =
    "Usage: veltrik.exe [/check | /fix [/norestart]]\r\n"
    "  (none)      open the window\r\n"
    "  /check      report whether the SafeBoot branch is whole; change nothing\r\n"
    "  /fix        repair the branch if needed, then restart the computer\r\n"
    "  /norestart  with /fix: never restart\r\n"
    "Exit codes: 0 whole (or nothing to do), 1 not whole / not repaired, 2 bad arguments,\r\n"
    "  1641 repaired and restarting, 3010 repaired, restart needed.\r\n";

// "/FIX" and "-fix" -> "fix"; "" when it is not a switch.
std::string Switch(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "";
  std::string name = arg.substr(1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string Entries(const BranchCheck& check) {
  return std::to_string(check.total - check.missing) + " of " + std::to_string(check.total) + " entries in place";
}

// "SafeBoot branch: <state>", and the first missing key and the system's reason when there are any.
std::string Report(Platform& platform, const std::string& state, const BranchCheck& check) {
  std::string text = "SafeBoot branch: " + state;
  if (check.total == 0) return text + "; the stored copy of the branch could not be read\r\n";
  if (check.missing == 0) return text + "\r\n";
  text += "; " + std::to_string(check.missing) + " of " + std::to_string(check.total) +
          " entries missing; first missing: " + check.first_missing + "\r\n";
  return check.status ? text + "Reason: " + platform.ErrorText(check.status) + "\r\n" : text;
}

}  // namespace

Command ParseArguments(const std::vector<std::string>& args) {
  std::vector<std::string> names;
  for (const std::string& arg : args) names.push_back(Switch(arg));
  if (names.empty()) return {};
  if (names == std::vector<std::string>{"?"}) return {Action::kUsage};
  if (names == std::vector<std::string>{"check"}) return {Action::kCheck};
  if (names == std::vector<std::string>{"fix"}) return {Action::kFix};
  if (names == std::vector<std::string>{"fix", "norestart"}) return {Action::kFix, false};
  return {Action::kBadArguments};
}

int RunCommand(Platform& platform, const Command& command) {
  if (command.action == Action::kUsage || command.action == Action::kBadArguments) {
    platform.WriteOutput(kUsage);
    return command.action == Action::kUsage ? kExitOk : kExitUsage;
  }
  const auto expected = ExpectedEntries(platform, ChooseTemplate(platform));
  const BranchCheck before = CheckBranch(platform, expected);
  if (command.action == Action::kCheck) {
    platform.WriteOutput(Report(platform, before.complete() ? Entries(before) : "not whole", before));
    return before.complete() ? kExitOk : kExitNotRepaired;
  }
  if (before.complete()) {
    platform.WriteOutput(Report(platform, Entries(before) + "; nothing to repair", before));
    return kExitOk;
  }
  WindowState state;
  DerivePaths(platform, state);
  const BranchCheck after = FixSafeMode(platform, state.strWinDir);
  if (!after.complete()) {
    platform.WriteOutput(Report(platform, "NOT repaired", after));
    return kExitNotRepaired;
  }
  // Nobody may be at the screen: a plain restart, with no boot menu to hold the machine.
  const bool restarting = command.restart && Restart(platform, kRestartCommand);
  platform.WriteOutput(Report(platform, "repaired, " + Entries(after), after) +
                       (restarting ? "Restarting the computer now.\r\n" : "Restart the computer to finish.\r\n"));
  return restarting ? kExitRestartStarted : kExitRestartRequired;
}

}  // namespace veltrik
