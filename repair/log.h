// The record a repair leaves for the technician, which outlives the restart:
// what ran, on which Windows, and the whole report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

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

// Where a record, and what goes with it, is written: beside the program,
// else in `win_dir`, the folder of the Windows that was repaired.
std::vector<std::string> RecordFolders(Platform& platform, const std::string& win_dir);

// Appends the record beside the program; where that folder cannot take it
// (read-only, a folder or a link at the log's name), in `win_dir`, the folder
// of the Windows that was repaired. Written and flushed before it returns.
LogPlace WriteLog(Platform& platform, const LogRecord& record, const std::string& win_dir);

// Adds `text`, and the blank line that ends a record, to the record at `log`:
// what happened after it was written.
void LogAfter(Platform& platform, const LogPlace& log, const std::string& text);

// "20261207-171500", for names; "2026-12-07 17:15:00 +01:00", for the record.
std::string Timestamp(const LocalTime& time);
std::string TimeWithOffset(const LocalTime& time);

}  // namespace veltrik
