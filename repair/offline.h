// The repair of an installed Windows from a recovery environment: its
// registry hives loaded from its folder, with none of its programs running.
#pragma once

#include <string>

#include "repair/repair.h"

namespace veltrik {

// Checks, or backs up and repairs, the SafeBoot branch of the control set
// the installed Windows in `request.offline_folder` starts with next;
// refuses a folder that holds no installed Windows. Every hive it loads is
// unloaded again. Records nothing: returns the record's lines on the Windows
// and its branch.
LogRecord RepairOffline(Platform& platform, const RepairRequest& request, const std::string& running_win_dir,
                        RepairResult& out);

}  // namespace veltrik
