// What else holds Safe Mode beside the SafeBoot branch: a boot entry forced
// into it, automatic logon with a stored password, a replaced logon shell,
// RunOnce values that run even there. Named with the command that undoes
// each; never changed, and a stored password never read out.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace veltrik {

struct HoldPlaces {
  std::string software;  // the SOFTWARE hive's key: HKEY_LOCAL_MACHINE\SOFTWARE, or an installed one's as loaded
  std::string windows;   // the Windows folder as that Windows names it, e.g. C:\WINDOWS
  bool running = true;   // the boot store and the users' hives are the running Windows' only
};

// One line for each hold, with the command that undoes it, escaped.
std::vector<std::string> FindHolds(Platform& platform, const HoldPlaces& places);

}  // namespace veltrik
