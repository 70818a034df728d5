// The command line, for technicians and deployment tools: check or repair
// the branch with no window, and say the outcome in an exit code and a report.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace veltrik {

// The codes Windows installers use; deployment tools already act on them.
inline constexpr int kExitOk = 0;                  // whole, or nothing asked
inline constexpr int kExitNotRepaired = 1;         // entries missing or different
inline constexpr int kExitUsage = 2;               // arguments not understood
inline constexpr int kExitRestartStarted = 1641;   // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr int kExitRestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

enum class Action { kWindow, kCheck, kFix, kUsage, kBadArguments };

struct Command {
  Action action = Action::kWindow;
  bool restart = true;  // /fix without /norestart
};

// No arguments: the window. "/check", "/fix", "/fix /norestart" (in either
// order), "/?", without regard to case and with "-" for "/"; anything else,
// a switch given twice included, is bad.
Command ParseArguments(const std::vector<std::string>& args);

// Runs a command other than the window, writing its report through the
// platform; returns the exit code. Shows no window and no message box.
int RunCommand(Platform& platform, const Command& command);

}  // namespace veltrik
