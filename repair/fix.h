// The repair: rebuild the SafeBoot branch from the stored template.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "repair/branch.h"
#include "repair/reg_file.h"

namespace veltrik {

inline constexpr std::uint32_t kImportTimeoutMs = 60'000;
inline constexpr char kRestartCommand[] = "shutdown -r -f -t 0";
// Restarts into the boot options screen (Windows 8 and later).
inline constexpr char kRestartToBootOptionsCommand[] = "shutdown -r -o -f -t 0";
inline constexpr std::uint32_t kBootMenuTimeoutMs = 30'000;

// The list of the Windows this is, by the version the system reports: 5.x XP,
// 6.0 Vista, 6.1 7, 6.2 and 6.3 8.1, later 10. Where the version cannot be
// read, Vista's where user profiles live in a top-level "Users" folder, XP's
// otherwise.
int ChooseTemplate(Platform& platform);
// Vista's list where `profiles` (the folder of the users' profiles, "" where
// unknown) is a top-level "Users" folder of its drive, XP's otherwise.
int TemplateByProfilesFolder(const std::string& profiles);
int TemplateForVersion(std::uint32_t major, std::uint32_t minor);

// "regedit -s " and the .reg path, quoted only when it contains a space.
std::string ImportCommand(const std::string& win_dir, int template_id);

// Builds the template's .reg file in `strWinDir`, lifts "DisableRegistryTools"
// in both hives and imports the file silently, twice, waiting for each
// import; then reads the branch back and completes it through the registry
// API. Leaves neither the work file nor the .reg file behind. Returns the
// final check.
BranchCheck FixSafeMode(Platform& platform, const std::string& strWinDir, const SafeBootTemplate& stored);

// Windows 8 and later hide the F8 menu. There this turns it back on, and has
// the next start show the Advanced Boot Options by itself once. True when
// both took effect, or when the system needs neither.
bool PrepareBootMenu(Platform& platform);

// Starts `command`, else the system's own restart. True if a restart began.
bool Restart(Platform& platform, const char* command);

// How to reach Safe Mode from the boot options screen, when the boot menu
// could not be set.
std::string BootOptionsMessage(const std::string& nl);

// The warning shown when the branch is not complete after the repair.
std::string RepairFailureMessage(const BranchCheck& check, const std::string& error_text, const std::string& nl);

}  // namespace veltrik
