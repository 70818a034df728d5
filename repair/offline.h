// The repair of an installed Windows from a recovery environment: its
// registry hives loaded from its folder, with none of its programs running.
#pragma once

#include <string>
#include <vector>

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

// Decided once per action, and handed down. MiniNT alone is one line for
// malware to write; a recovery environment also starts through Setup
// (SystemSetupInProgress = 1) or runs from its RAM drive X:.
Environment DetectEnvironment(Platform& platform, const std::string& running_win_dir);

// The report's line on a MiniNT key of a running Windows; "" otherwise.
std::string EnvironmentFinding(Environment environment, const std::string& nl);

// What a recovery environment says to /check and /fix without /offline:
// that it changed nothing, and the command for each installed Windows found.
std::string RecoveryRefusal(Platform& platform, const std::string& running_win_dir);

enum class FolderKind { kInstalledWindows, kRunningWindows, kNotWindows, kNotFullPath };

// Whether `folder` holds an installed Windows that can be repaired offline: a
// full path (a relative one, or "D:Windows", depends on the current folder),
// not the running Windows (`running_win_dir`, whose hives are in use; the
// same folder by any spelling, drive letter or link), and with a SYSTEM hive
// (loading a missing one would create an empty hive).
FolderKind InspectFolder(Platform& platform, const std::string& folder, const std::string& running_win_dir);

// A folder's path with backslashes only and no trailing one ("D:\\" keeps its own).
std::string TrimmedFolder(std::string folder);

// "D:\\Windows" of each fixed drive that holds an installed Windows, without
// the running one.
std::vector<std::string> FindInstalledWindows(Platform& platform, const std::string& running_win_dir);

// Which list an installed Windows gets, decided once: by the version in its
// SOFTWARE hive; where it has none (no file, or no version values in it), by
// its drive's profiles folder. `error` says why it cannot be repaired at all.
struct OfflineWindows {
  enum class Source { kVersion, kNoSoftware, kNoVersionValues };
  int template_id = 0;
  std::string version;  // "6.1", "10.0"; empty where it could not be read
  Source source = Source::kVersion;
  std::string error;  // a report line; nothing may be written where it is set
  std::string Describe() const;
};
OfflineWindows IdentifyOffline(Platform& platform, const std::string& folder);

struct OfflineOutcome {
  int exit_code = 0;      // as the command line's
  std::string report;     // lines ended by CR LF
  std::string backup;     // the backup folder, where one was made
  std::string windows;    // OfflineWindows::Describe(), where it was identified
  std::string control_set;  // the one repaired, where Select\Default names one
  bool repaired() const;  // whole, before or after
};

// Checks, or with `fix` backs up and repairs, the SafeBoot branch of the
// control set the installed Windows in `folder` starts with next; refuses a
// folder that InspectFolder does not find an installed Windows. Never
// restarts; every hive it loads is unloaded again. `known` is the Windows
// already identified.
OfflineOutcome RepairOffline(Platform& platform, const std::string& folder, const std::string& running_win_dir,
                             bool fix, const OfflineWindows* known = nullptr);

}  // namespace veltrik
