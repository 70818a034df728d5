// What the window and the command line say of a repair's outcome, beside the
// report: the boxes, and the recovery environment's advice.
#pragma once

#include <string>
#include <vector>

#include "repair/repair.h"

namespace veltrik {

// The window's box after a repair of the running Windows: before a restart
// into the boot options, or where no restart follows; "" before a plain
// restart.
std::string RepairMessage(const RepairResult& result);
// In a recovery environment: what the window says where it found no, or
// several, installed Windows; the question before it repairs the one; and
// what came of it.
std::string InstalledWindowsMessage(const std::vector<std::string>& found);
std::string OfflineQuestion(const std::string& folder, const ListChoice& choice);
std::string OfflineMessage(const std::string& folder, const RepairResult& result);

// What a recovery environment says to /check and /fix without /offline.
std::string RecoveryRefusal(const std::vector<std::string>& found);

}  // namespace veltrik
