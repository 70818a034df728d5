#include "repair/outcome.h"

namespace veltrik {

namespace {

struct Row {
  Outcome outcome;
  int exit_code;
  const char* state;  // "%" stands for the entries in place
  const char* log;
  const char* usage;  // on the first row of each exit code
  bool whole;
  Outcome not_restarted;  // where the restart this outcome begins does not start
};

constexpr Row kOutcomes[] = {
    {Outcome::kWhole, kExitOk, "%", "whole", "whole, or nothing asked", true, Outcome::kWhole},
    {Outcome::kNothingToRepair, kExitOk, "%; nothing to repair", "whole, nothing to repair", nullptr, true,
     Outcome::kNothingToRepair},
    {Outcome::kNotWhole, kExitNotRepaired, "not whole", "not whole", "not whole, or not repaired", false,
     Outcome::kNotWhole},
    {Outcome::kNotRepaired, kExitNotRepaired, "NOT repaired", "NOT repaired", nullptr, false, Outcome::kNotRepaired},
    {Outcome::kDeclined, kExitNotRepaired, "not repaired", "declined, nothing changed", nullptr, false,
     Outcome::kDeclined},
    {Outcome::kRefused, kExitUsage, "refused", "refused, nothing changed",
     "arguments not understood, or not a Windows folder, or a recovery environment's own registry", false,
     Outcome::kRefused},
    {Outcome::kRecovery, kExitUsage, "refused", "a recovery environment, nothing changed", nullptr, false,
     Outcome::kRecovery},
    {Outcome::kRestarting, kExitRestartStarted, "repaired, %", "repaired, restarting the computer",
     "repaired, and the computer restarts", true, Outcome::kRepaired},
    {Outcome::kRepaired, kExitRestartRequired, "repaired, %", "repaired, restart needed", "repaired, restart needed",
     true, Outcome::kRepaired},
    {Outcome::kReimported, kExitRestartStarted, "whole, imported again, %",
     "whole, imported again, restarting the computer", nullptr, true, Outcome::kReimportedOnly},
    {Outcome::kReimportedOnly, kExitOk, "whole, imported again, %", "whole, imported again, not restarted", nullptr,
     true, Outcome::kReimportedOnly},
    {Outcome::kRemoved, kExitOk, "removed", "removed", nullptr, false, Outcome::kRemoved},
    {Outcome::kNotRemoved, kExitNotRepaired, "NOT removed", "NOT all removed", nullptr, false, Outcome::kNotRemoved},
};

const Row& RowOf(Outcome outcome) {
  for (const Row& row : kOutcomes) {
    if (row.outcome == outcome) return row;
  }
  return kOutcomes[3];  // every outcome has its row; NOT repaired claims nothing
}

constexpr char kNl[] = "\r\n";

}  // namespace

int ExitCode(Outcome outcome) { return RowOf(outcome).exit_code; }

bool Whole(Outcome outcome) { return RowOf(outcome).whole; }

bool Restarts(Outcome outcome) { return RowOf(outcome).not_restarted != outcome; }

Outcome NotRestarted(Outcome outcome) { return RowOf(outcome).not_restarted; }

std::string StateWords(Outcome outcome, const std::string& entries) {
  std::string words = RowOf(outcome).state;
  const std::size_t at = words.find('%');
  return at == std::string::npos ? words : words.replace(at, 1, entries);
}

std::string LogWords(Outcome outcome) {
  const Row& row = RowOf(outcome);
  return std::string(row.log) + " (exit code " + std::to_string(row.exit_code) + ")";
}

std::string ExitCodeLines() {
  std::string text = "Exit codes:\r\n";
  for (const Row& row : kOutcomes) {
    if (!row.usage) continue;
    const std::string code = std::to_string(row.exit_code);
    text += "  " + code + std::string(6 - code.size(), ' ') + row.usage + kNl;
  }
  return text;
}

std::string HowToFinish(Outcome outcome, Restart restart, bool offline, bool needs_administrator) {
  std::string text = needs_administrator ? "To fix it: " + std::string(kRunAsAdministrator) + "." + kNl : "";
  if (Restarts(outcome) && restart == Restart::kBootOptions) {
    return text + "Windows now restarts into a screen of boot options. There choose Troubleshoot, Advanced options, "
                  "Startup Settings, Restart, and then press 4 to start in Safe Mode." + kNl;
  }
  if (Restarts(outcome)) return text + "Restarting the computer now." + kNl;
  if (outcome != Outcome::kRepaired) return text;
  if (!offline) return text + "Restart the computer to finish." + kNl;
  return text + "Restart the computer into this Windows to finish, and start Safe Mode there: press F8 while it "
                "starts, or on Windows 8 and later choose Troubleshoot, Advanced options, Startup Settings, Restart, "
                "then 4." + kNl;
}

}  // namespace veltrik
