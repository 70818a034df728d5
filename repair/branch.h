// Proof that the repair took effect: the branch is read back through the
// registry API and whatever the import did not put in place is written there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "repair/text.h"

namespace veltrik {

struct SafeBootTemplate;

// The running system's control set, as the stored lists name it.
inline constexpr char kCurrentControlSet[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet";

// A value of the list that the registry holds with other data or of another
// type: what it holds, and what the list has.
struct ValueChange {
  std::string key;
  std::string name;
  ValueType old_type = ValueType::kNone;
  std::string old_data;
  ValueType new_type = ValueType::kString;
  std::string new_data;
  bool operator==(const ValueChange&) const = default;
};

struct BranchCheck {
  std::string windows;        // whose list was compared, e.g. "Windows 10"
  std::size_t total = 0;      // entries expected
  std::size_t missing = 0;    // still missing or different at the end
  std::string first_missing;  // the first of those: its key, and its value's name where only that is wrong
  std::int32_t status = 0;    // the first refusal met while completing
  std::vector<ValueChange> different;  // the different ones, as they were read
  bool complete() const { return total > 0 && missing == 0; }
};

// The values that were different `before` and are the list's `after`: what a
// repair replaced, so that a hijacked value is not lost as evidence.
std::vector<ValueChange> Replaced(const BranchCheck& before, const BranchCheck& after);

// The template with its keys moved from the running system's
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet to `control_set`, the full key
// of another control set (that of an installed Windows' loaded hive).
SafeBootTemplate MoveToControlSet(SafeBootTemplate stored, const std::string& control_set);

// Compares the registry with the template's entries (key names without
// regard to case; type and data exactly); writes nothing.
BranchCheck CheckBranch(Platform& platform, const SafeBootTemplate& stored);

// Compares as CheckBranch does, writes what is missing or different, and
// reads back once more. Never deletes anything.
BranchCheck CompleteBranch(Platform& platform, const SafeBootTemplate& stored);

// A subkey of Minimal or Network that the compared list does not have.
struct ForeignEntry {
  std::string name;          // section and key, e.g. Minimal\EvilSvc
  std::int32_t status = 0;   // of reading its default value
  ValueType type = ValueType::kString;
  std::string data;
};

struct ForeignEntries {
  std::size_t count = 0;
  std::vector<ForeignEntry> listed;  // the first of them, default values read
};

// Finds what else Minimal and Network hold, beside the template's entries,
// reading the default values of the first `max_listed` only. Changes nothing.
ForeignEntries FindForeignEntries(Platform& platform, const SafeBootTemplate& stored, std::size_t max_listed);

}  // namespace veltrik
