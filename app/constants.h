// Fixed texts of the program, shared by the window logic and its resources.
#pragma once

#include "resources/version.h"

namespace veltrik {

inline constexpr char kAppTitle[] = VELTRIK_APP_TITLE;
inline constexpr char kMakerWebHost[] = "www.morvane-software.example";
inline constexpr char kMakerName[] = VELTRIK_MAKER;

}  // namespace veltrik
