// What a check or a repair comes to, each outcome once: the exit code that
// deployment tools act on, its words in the report, the record and the
// usage text, and what is left for the user to do.
#pragma once

#include <string>

namespace veltrik {

// The codes Windows installers use; deployment tools already act on them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotRepaired = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitRestartStarted = 1641;   // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr int kExitRestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

enum class Outcome {
  kWhole,            // a check: every entry in place
  kNothingToRepair,  // a repair that found the branch whole and left it so
  kNotWhole,         // a check: entries missing or different
  kNotRepaired,      // a repair that could not make the branch whole
  kDeclined,         // the user said no before anything changed
  kRefused,          // bad arguments, or a folder that is no installed Windows
  kRecovery,         // a recovery environment's own registry: nothing to repair there
  kRestarting,       // repaired, and the restart begins
  kRepaired,         // repaired, the restart still to come
  kReimported,       // whole before, imported again all the same, and the restart begins
  kReimportedOnly,   // whole before and imported again; the restart did not start
  kRemoved,          // every foreign entry named is gone, saved first
  kNotRemoved,       // one foreign entry named is still there, or none could be saved
};

// The restart a repair announces.
enum class Restart {
  kNone,
  kPlain,
  kBootOptions,  // into the boot options screen, where the F8 menu could not be turned on
};

int ExitCode(Outcome outcome);
// The report's state: "repaired, 236 of 236 entries in place" and the like;
// `entries` is "N of M entries in place".
std::string StateWords(Outcome outcome, const std::string& entries);
// The record's: "repaired, restart needed (exit code 3010)".
std::string LogWords(Outcome outcome);
// Whether Safe Mode is whole afterwards.
bool Whole(Outcome outcome);
// Whether the outcome is a restart that begins.
bool Restarts(Outcome outcome);
// What a restarting outcome becomes where its restart does not start.
Outcome NotRestarted(Outcome outcome);
// One line per exit code, for the usage text.
std::string ExitCodeLines();

inline constexpr char kRunAsAdministrator[] =
    "run Veltrik as administrator (right-click it, \"Run as administrator\")";

// What is left for the user to do, or what happens next, in lines ended by
// CR LF; "" where nothing is. `offline`: an installed Windows was repaired.
std::string HowToFinish(Outcome outcome, Restart restart, bool offline, bool needs_administrator);

}  // namespace veltrik
