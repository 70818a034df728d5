// What the window and the command line say of a repair's outcome, beside the
// report: the boxes, and the lines that close a command's report.
#pragma once

#include <string>
#include <vector>

#include "repair/repair.h"

namespace veltrik {

inline constexpr char kRunAsAdministrator[] =
    "run Veltrik as administrator (right-click it, \"Run as administrator\")";

// The window's box after a repair of the running Windows; "" where none is
// shown (the restart follows).
std::string RepairMessage(const RepairResult& result, const std::string& error_text);
// How to reach Safe Mode from the boot options screen, shown before that restart.
std::string BootOptionsMessage();
// In a recovery environment: what the window says where it found no, or
// several, installed Windows; the question before it repairs the one; and
// what came of it.
std::string InstalledWindowsMessage(const std::vector<std::string>& found);
std::string OfflineQuestion(const std::string& folder, const ListChoice& choice);
std::string OfflineMessage(const std::string& folder, const RepairResult& result);

// The command line's: what a recovery environment says to /check and /fix
// without /offline, and the line that ends a report.
std::string RecoveryRefusal(const std::vector<std::string>& found);
std::string ClosingLine(const RepairResult& result, bool offline);

}  // namespace veltrik
