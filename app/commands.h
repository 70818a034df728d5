// The command line, for technicians and deployment tools: check or repair
// the branch with no window, and say the outcome in an exit code and a report.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "repair/outcome.h"

namespace veltrik {

enum class Action { kWindow, kCheck, kFix, kRemove, kUsage, kBadArguments };

struct Command {
  Action action = Action::kWindow;
  bool restart = true;         // /fix without /norestart
  std::string offline_folder;  // /offline <folder>: an installed Windows, not the running one
  std::vector<std::string> remove;  // each /remove <entry>, first
};

// No arguments: the window. "/check", "/fix", "/fix /norestart" (in any
// order), each also with "/offline <folder>", and "/?", without regard to
// case and with "-" for "/"; "/remove <entry>", given once or more, alone or
// with "/fix [/norestart]", each also with "/offline <folder>". Anything
// else, a switch other than /remove given twice included, is bad.
Command ParseArguments(const std::vector<std::string>& args);

// Runs a command other than the window, writing its report through the
// platform; returns the exit code. Shows no window and no message box.
int RunCommand(Platform& platform, const Command& command);

}  // namespace veltrik
