#pragma once

#include "app/window_state.h"
#include "platform/platform.h"

namespace veltrik {

// Finds the default browser's command line in the registry and stores the
// commands that open the maker's home and download pages. Reads strSysDrive.
void GetActiveBrowser(Platform& platform, WindowState& state);

}  // namespace veltrik
