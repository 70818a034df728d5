// Where the program runs: a Windows whose own registry it repairs, or a
// recovery environment, whose registry lives in memory.
#pragma once

#include <string>

#include "platform/platform.h"

namespace veltrik {

// Present in a recovery environment (Windows RE, Windows PE), whose own
// registry lives in memory and is gone at the next start.
inline constexpr char kMiniNtKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MiniNT";

enum class Environment {
  kInstalledWindows,  // a running Windows: its own registry is repaired
  kRecovery,          // a recovery environment: only an installed Windows, offline
  kPlantedMiniNt,     // a running Windows that holds MiniNT: repaired, and the key named
};

// Decided once per repair. MiniNT alone is one line for malware to write; a
// recovery environment also starts through Setup (SystemSetupInProgress = 1)
// or runs from its RAM drive X:.
Environment DetectEnvironment(Platform& platform, const std::string& running_win_dir);

// The report's line on a MiniNT key of a running Windows; "" otherwise.
std::string EnvironmentFinding(Environment environment);

}  // namespace veltrik
