// The technician's report: the branch's state, the values replaced and what
// else sits beside the list, one line each, safe to print whatever the
// registry holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "repair/branch.h"
#include "repair/outcome.h"
#include "repair/reg_file.h"
#include "repair/services.h"
#include "repair/text.h"

namespace veltrik {

// Enough for a technician to act on; thousands of lines would bury the report.
inline constexpr std::size_t kReportListed = 100;

// "REG_SZ", "REG_DWORD", ..., "type 42".
std::string TypeName(ValueType type);

// "N of M entries in place".
std::string Entries(const BranchCheck& check);

// "SafeBoot branch (<Windows> list): <state>", and the first missing key and
// the system's reason when there are any. Keys under `loaded_as`, where an
// installed Windows' SYSTEM hive is loaded, are shown as that Windows names
// them when it runs.
std::string StateReport(Platform& platform, Outcome outcome, const BranchCheck& check,
                        const std::string& loaded_as = "");

// "Values replaced" after a repair, "Values a repair would replace" after a check.
inline const char* ChangesHeading(bool fix) { return fix ? "Values replaced" : "Values a repair would replace"; }

// The values a repair replaced, or (for a check) would replace: each key and
// value name with the old data and the list's.
std::string ChangesReport(std::vector<ValueChange> changes, bool fix, const std::string& loaded_as = "");

// `key` as the installed Windows whose SYSTEM hive is loaded as `loaded_as`
// names it when it runs; unchanged where `loaded_as` is "".
std::string AsInstalled(const std::string& key, const std::string& loaded_as);

// What else Minimal and Network hold, each with what it starts; nothing when there is nothing.
std::string ForeignReport(Platform& platform, const SafeBootTemplate& stored, const WindowsFiles& files);

// "Also holding Safe Mode (left as they are): N" and the holds; nothing when there are none.
std::string HoldsReport(const std::vector<std::string>& holds);

}  // namespace veltrik
