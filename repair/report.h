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

namespace veltrik {

// Enough for a technician to act on; thousands of lines would bury the report.
inline constexpr std::size_t kReportListed = 100;

// Text that someone else chose, on one line: control characters (and the
// ones that turn text around) escaped, so that it can neither forge a line
// of the report nor hide its own end; bytes that are not UTF-8 escaped too.
// Past `limit` bytes it is cut, with its length.
std::string Printable(std::string_view text, std::size_t limit = std::string_view::npos);

// "REG_SZ", "REG_DWORD", ..., "type 42".
std::string TypeName(ValueType type);

// What a check, or a repair (`after` its final check), comes to.
Outcome Judge(const BranchCheck& before, bool fix, const BranchCheck& after);

// "N of M entries in place".
std::string Entries(const BranchCheck& check);

// "SafeBoot branch (<Windows> list): <state>", and the first missing key and
// the system's reason when there are any.
std::string StateReport(Platform& platform, const std::string& state, const BranchCheck& check);

// The values a repair replaced, or (for a check) would replace, under
// `heading`: each key and value name with the old data and the list's.
std::string ChangesReport(const std::vector<ValueChange>& changes, const std::string& heading);

// "Values replaced" after a repair, "Values a repair would replace" after a check.
inline const char* ChangesHeading(bool fix) { return fix ? "Values replaced" : "Values a repair would replace"; }

// The report of a check (`after` is `before` then) or a repair: the state,
// the values replaced (or a repair would replace) and what else is there.
// Keys under `loaded_as`, where an installed Windows' SYSTEM hive is loaded,
// are shown as that Windows names them when it runs.
std::string BranchReport(Platform& platform, Outcome outcome, const BranchCheck& before,
                         const BranchCheck& after, const SafeBootTemplate& stored, bool fix,
                         const std::string& loaded_as = "");

// What else Minimal and Network hold; nothing when there is nothing.
std::string ForeignReport(Platform& platform, const SafeBootTemplate& stored);

}  // namespace veltrik
