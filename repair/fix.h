// The repair: rebuild the SafeBoot branch from the stored template.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "repair/branch.h"

namespace veltrik {

inline constexpr std::uint32_t kImportTimeoutMs = 60'000;
inline constexpr char kRestartCommand[] = "shutdown -r -f -t 0";

// 106 where user profiles live in a top-level "Users" folder, 105 otherwise.
int ChooseTemplate(Platform& platform);

// "regedit -s " and the .reg path, quoted only when it contains a space.
std::string ImportCommand(const std::string& win_dir, int template_id);

// Builds the .reg file in `strWinDir`, lifts "DisableRegistryTools" in both
// hives and imports the file silently, twice, waiting for each import; then
// reads the branch back and completes it through the registry API. Leaves
// neither the work file nor the .reg file behind. Returns the final check.
BranchCheck FixSafeMode(Platform& platform, const std::string& strWinDir);

// The warning shown when the branch is not complete after the repair.
std::string RepairFailureMessage(const BranchCheck& check, const std::string& error_text, const std::string& nl);

}  // namespace veltrik
