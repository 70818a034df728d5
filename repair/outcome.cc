#include "repair/outcome.h"

#include <iterator>

namespace veltrik {

namespace {

struct Row {
  Outcome outcome;
  int exit_code;
  const char* state;  // "%" stands for the entries in place
  const char* log;
  const char* usage;  // on the first row of each exit code
  bool whole;
};

constexpr Row kOutcomes[] = {
    {Outcome::kWhole, kExitOk, "%", "whole", "whole, or nothing asked", true},
    {Outcome::kNothingToRepair, kExitOk, "%; nothing to repair", "whole, nothing to repair", nullptr, true},
    {Outcome::kNotWhole, kExitNotRepaired, "not whole", "not whole", "not whole, or not repaired", false},
    {Outcome::kNotRepaired, kExitNotRepaired, "NOT repaired", "NOT repaired", nullptr, false},
    {Outcome::kDeclined, kExitNotRepaired, "not repaired", "declined, nothing changed", nullptr, false},
    {Outcome::kRefused, kExitUsage, "refused", "refused, nothing changed",
     "arguments not understood, or not a Windows folder, or a recovery environment's own registry", false},
    {Outcome::kRecovery, kExitUsage, "refused", "a recovery environment, nothing changed", nullptr, false},
    {Outcome::kRestarting, kExitRestartStarted, "repaired, %", "repaired, restarting the computer",
     "repaired, and the computer restarts", true},
    {Outcome::kRepaired, kExitRestartRequired, "repaired, %", "repaired, restart needed", "repaired, restart needed",
     true},
};

const Row& RowOf(Outcome outcome) {
  for (const Row& row : kOutcomes) {
    if (row.outcome == outcome) return row;
  }
  return kOutcomes[3];  // every outcome has its row; NOT repaired claims nothing
}

}  // namespace

int ExitCode(Outcome outcome) { return RowOf(outcome).exit_code; }

bool Whole(Outcome outcome) { return RowOf(outcome).whole; }

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
    text += "  " + code + std::string(6 - code.size(), ' ') + row.usage + "\r\n";
  }
  return text;
}

}  // namespace veltrik
