// Proof that the repair took effect: the branch is read back through the
// registry API and whatever the import did not put in place is written there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace veltrik {

// Reads the part of the registry editor's export format that the templates
// use: "[key]" lines, and "@=" and "name"= string values with \\ and \"
// escapes. A key without values is one entry; a key with values gives one
// entry per value. Anything else is ignored.
std::vector<RegistryEntry> ParseRegText(std::string_view text);

// The entries a template adds, read from the stored template itself; empty
// when it cannot be loaded.
std::vector<RegistryEntry> ExpectedEntries(Platform& platform, int template_id);

struct BranchCheck {
  std::size_t total = 0;      // entries expected
  std::size_t missing = 0;    // still missing or different at the end
  std::string first_missing;  // the key of the first of those
  std::int32_t status = 0;    // the first refusal met while completing
  bool complete() const { return total > 0 && missing == 0; }
};

// Compares the registry with `expected` (key names without regard to case,
// string data exactly); writes nothing.
BranchCheck CheckBranch(Platform& platform, const std::vector<RegistryEntry>& expected);

// Compares as CheckBranch does, writes what is missing or different, and
// reads back once more. Never deletes anything.
BranchCheck CompleteBranch(Platform& platform, const std::vector<RegistryEntry>& expected);

}  // namespace veltrik
