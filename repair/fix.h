// The repair of the running Windows: rebuild the SafeBoot branch from the
// stored template.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "repair/branch.h"
#include "repair/reg_file.h"

namespace veltrik {

inline constexpr std::uint32_t kImportTimeoutMs = 60'000;
inline constexpr std::uint32_t kBootMenuTimeoutMs = 30'000;

// "regedit -s " and the .reg path, quoted only when it contains a space.
std::string ImportCommand(const std::string& win_dir, int template_id);

// Builds the template's .reg file in `strWinDir`, lifts "DisableRegistryTools"
// in both hives and imports the file silently, twice, waiting for each
// import; then reads the branch back and completes it through the registry
// API. Leaves neither the work file nor the .reg file behind. Returns the
// final check.
BranchCheck FixSafeMode(Platform& platform, const std::string& strWinDir, const SafeBootTemplate& stored);

// Windows 8 and later hide the F8 menu: this turns it back on, and has the
// next start show the Advanced Boot Options by itself once. True when both
// took effect.
bool PrepareBootMenu(Platform& platform);

}  // namespace veltrik
