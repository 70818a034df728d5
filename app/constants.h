// Fixed texts of the program, shared by the window logic and its resources.
#pragma once

namespace veltrik {

inline constexpr char kAppTitle[] = "Veltrik v1.1.0.0";
inline constexpr char kMakerWebHost[] = "www.morvane-software.example";
inline constexpr char kMakerName[] = "Morvane Software";

}  // namespace veltrik
