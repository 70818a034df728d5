#include "repair/log.h"

#include "repair/installed_windows.h"
#include "repair/report.h"
#include "resources/version.h"

namespace veltrik {

namespace {

// A command line is the user's, or a deployment tool's: long ones are cut.
constexpr std::size_t kCommandShown = 1024;

std::string Digits(int number, int width) {
  std::string text = std::to_string(number < 0 ? -number : number);
  return std::string(text.size() < static_cast<std::size_t>(width) ? width - text.size() : 0, '0') + text;
}

}  // namespace

std::string FormatRecord(Platform& platform, const LogRecord& record) {
  // The build this code was compiled for: the log says which program ran.
  const char* build = sizeof(void*) == 8 ? "x64" : "x86";
  std::string text = "==== " + TimeWithOffset(platform.GetLocalTime()) + "  " + VELTRIK_APP_TITLE + " (" + build + ")\r\n";
  text += "Started from: " + Printable(record.started, kCommandShown) + "\r\n";
  text += "Windows: " + record.windows + "\r\n";
  text += "Branch: " + record.branch + "\r\n";
  return text + record.report + "Outcome: " + record.outcome + "\r\n\r\n";
}

std::vector<std::string> RecordFolders(Platform& platform, const std::string& win_dir) {
  return {platform.ProgramFolder(), TrimmedFolder(win_dir)};
}

LogPlace WriteLog(Platform& platform, const LogRecord& record, const std::string& win_dir) {
  const std::string text = FormatRecord(platform, record);
  std::string refused;
  for (const std::string& folder : RecordFolders(platform, win_dir)) {
    if (folder.empty()) continue;
    const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + kLogName;
    const std::int32_t status = platform.AppendToFile(path, text, kLogLimit);
    if (status == 0) return {path, "Log: " + Printable(path) + (refused.empty() ? "" : " (" + refused + ")") + "\r\n"};
    refused += (refused.empty() ? "" : "; ") + Printable(path) + " refused: " + platform.ErrorText(status);
  }
  return {"", "No log could be written (" + refused + ")\r\n"};
}

void LogAfter(Platform& platform, const LogPlace& log, const std::string& text) {
  if (!log.path.empty()) platform.AppendToFile(log.path, text + "\r\n", kLogLimit);
}

std::string Timestamp(const LocalTime& t) {
  return Digits(t.year, 4) + Digits(t.month, 2) + Digits(t.day, 2) + "-" + Digits(t.hour, 2) + Digits(t.minute, 2) +
         Digits(t.second, 2);
}

std::string TimeWithOffset(const LocalTime& t) {
  const int east = t.offset_minutes;
  return Digits(t.year, 4) + "-" + Digits(t.month, 2) + "-" + Digits(t.day, 2) + " " + Digits(t.hour, 2) + ":" +
         Digits(t.minute, 2) + ":" + Digits(t.second, 2) + " " + (east < 0 ? "-" : "+") + Digits(east / 60, 2) + ":" +
         Digits(east % 60, 2);
}

}  // namespace veltrik
