#pragma once

#include <string>

#include "app/window_state.h"

namespace veltrik {

// The About box text: title, web host, terms and the maker's other tools.
std::string BuildAboutMessage(const WindowState& state);

}  // namespace veltrik
