// The record a repair leaves for the technician, which outlives the restart:
// what ran, on which Windows, and the whole report.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "repair/offline.h"

namespace veltrik {

inline constexpr char kLogName[] = "Veltrik.log";
// Past this the log moves aside to Veltrik.log.old: it never grows without bound.
inline constexpr std::uint64_t kLogLimit = 1u << 20;

struct LogRecord {
  std::string started;  // "the window", or the command line as typed
  std::string windows;  // the Windows and its list, e.g. "version 10.0, Windows 10 list"
  std::string branch;   // the running Windows', or the offline folder and its control set
  std::string report;   // the whole report, lines ended by CR LF
  std::string outcome;  // e.g. "repaired, restarting the computer (exit code 1641)"
};

// The record as it is written: a heading with the local time, the version
// and the build, then one line per field and the report; UTF-8, CR LF line
// ends, what others chose escaped and bounded.
std::string FormatRecord(Platform& platform, const LogRecord& record);

struct LogPlace {
  std::string path;  // where the record went; "" where it went nowhere
  std::string line;  // the report's line saying so, ended by CR LF
};

// Appends the record beside the program; where that folder cannot take it
// (read-only, a folder or a link at the log's name), in `win_dir`, the folder
// of the Windows that was repaired. Written and flushed before it returns.
LogPlace WriteLog(Platform& platform, const LogRecord& record, const std::string& win_dir);

// The record of a repair of the running Windows with template `template_id`
// (`report` as shown), and of an installed one, written as WriteLog does.
LogPlace LogRepair(Platform& platform, const std::string& started, int template_id, const std::string& report,
                   const std::string& outcome, const std::string& win_dir);
LogPlace LogOfflineRepair(Platform& platform, const std::string& started, const std::string& folder,
                          const OfflineOutcome& repair);

// Adds to the record at `log` that the restart it announced could not start.
void LogRestartRefused(Platform& platform, const LogPlace& log);

// "repaired, restart needed (exit code 3010)" and the like.
std::string ExitOutcome(int exit_code);

// The Windows the running system is, and the list it gets, for the record.
std::string RunningWindows(Platform& platform, int template_id);

}  // namespace veltrik
