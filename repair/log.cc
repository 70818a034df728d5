#include "repair/log.h"

#include "app/constants.h"
#include "repair/branch.h"
#include "repair/reg_file.h"
#include "repair/report.h"

namespace veltrik {

namespace {

// A command line is the user's, or a deployment tool's: long ones are cut.
constexpr std::size_t kCommandShown = 1024;

}  // namespace

std::string FormatRecord(Platform& platform, const LogRecord& record) {
  // The build this code was compiled for: the log says which program ran.
  const char* build = sizeof(void*) == 8 ? "x64" : "x86";
  std::string text = "==== " + platform.LocalTimeWithOffset() + "  " + kAppTitle + " (" + build + ")\r\n";
  text += "Started from: " + Printable(record.started, kCommandShown) + "\r\n";
  text += "Windows: " + record.windows + "\r\n";
  text += "Branch: " + record.branch + "\r\n";
  return text + record.report + "Outcome: " + record.outcome + "\r\n\r\n";
}

LogPlace WriteLog(Platform& platform, const LogRecord& record, const std::string& win_dir) {
  const std::string text = FormatRecord(platform, record);
  std::string refused;
  for (const std::string& folder : {platform.ProgramFolder(), TrimmedFolder(win_dir)}) {
    if (folder.empty()) continue;
    const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + kLogName;
    const std::int32_t status = platform.AppendToFile(path, text, kLogLimit);
    if (status == 0) return {path, "Log: " + Printable(path) + (refused.empty() ? "" : " (" + refused + ")") + "\r\n"};
    refused += (refused.empty() ? "" : "; ") + Printable(path) + " refused: " + platform.ErrorText(status);
  }
  return {"", "No log could be written (" + refused + ")\r\n"};
}

LogPlace LogRepair(Platform& platform, const std::string& started, int template_id, const std::string& report,
                   const std::string& outcome, const std::string& win_dir) {
  const std::string branch = std::string(kCurrentControlSet) + "\\Control\\SafeBoot of the running Windows";
  return WriteLog(platform, {started, RunningWindows(platform, template_id), branch, report, outcome}, win_dir);
}

LogPlace LogOfflineRepair(Platform& platform, const std::string& started, const std::string& folder,
                          const OfflineOutcome& repair) {
  const std::string branch = "the installed Windows in " + Printable(folder) +
                             (repair.control_set.empty() ? "" : ", control set " + repair.control_set);
  const std::string windows = repair.windows.empty() ? "not identified" : repair.windows;
  return WriteLog(platform, {started, windows, branch, repair.report, ExitOutcome(repair.exit_code)}, folder);
}

void LogRestartRefused(Platform& platform, const LogPlace& log) {
  if (!log.path.empty()) platform.AppendToFile(log.path, "The restart could not be started.\r\n\r\n", kLogLimit);
}

std::string ExitOutcome(int exit_code) {
  const char* what = exit_code == kExitOk                ? "whole, nothing to repair"
                     : exit_code == kExitRestartRequired ? "repaired, restart needed"
                     : exit_code == kExitRestartStarted  ? "repaired, restarting the computer"
                                                         : "NOT repaired";
  return std::string(what) + " (exit code " + std::to_string(exit_code) + ")";
}

std::string RunningWindows(Platform& platform, int template_id) {
  std::uint32_t major = 0, minor = 0;
  const std::string list = std::string(TemplateWindows(template_id)) + " list";
  if (!platform.GetWindowsVersion(major, minor)) return "version unreadable, the " + list + " by its profiles folder";
  return "version " + std::to_string(major) + "." + std::to_string(minor) + ", " + list;
}

}  // namespace veltrik
