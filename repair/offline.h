// The repair of an installed Windows from a recovery environment: its
// registry hives loaded from its folder, with none of its programs running.
#pragma once

#include <string>

#include "repair/repair.h"

namespace veltrik {

// Checks, or with `policy.fix` backs up and repairs, the SafeBoot branch of
// the control set the installed Windows in `policy.offline_folder` starts
// with next; refuses a folder that holds no installed Windows. Never
// restarts; every hive it loads is unloaded again. Records nothing.
void RepairOffline(Platform& platform, const RepairPolicy& policy, const std::string& running_win_dir,
                   RepairResult& out);

}  // namespace veltrik
