#include "repair/branch.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

#include "repair/reg_file.h"

namespace veltrik {

namespace {

struct Misses {
  std::vector<const RegistryEntry*> entries;  // missing or different
  std::vector<ValueChange> different;         // of those, the values that are there
  std::string first;                          // the first one's key, and its value where only that is wrong
};

// Every entry as the registry holds it. A branch that is gone holds none of
// them: one read of its root says so, rather than one read per entry.
std::vector<RegistryReading> Read(Platform& platform, const std::vector<RegistryEntry>& expected) {
  if (expected.empty()) return {};
  const std::string root = AsciiLower(expected.front().key);
  const bool below_root = std::all_of(expected.begin(), expected.end(), [&](const RegistryEntry& entry) {
    const std::string key = AsciiLower(entry.key);
    return key.rfind(root, 0) == 0 && (key.size() == root.size() || key[root.size()] == '\\');
  });
  ValueType type = ValueType::kNone;
  std::string data;
  const RegistryEntry branch = {expected.front().key, std::nullopt, ""};
  if (below_root && platform.ReadRegistryEntry(branch, type, data) == kStatusNotFound) {
    return std::vector<RegistryReading>(expected.size());
  }
  return platform.ReadRegistryEntries(expected);
}

Misses Missing(Platform& platform, const std::vector<RegistryEntry>& expected) {
  const std::vector<RegistryReading> found = Read(platform, expected);
  Misses out;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const RegistryEntry& entry = expected[i];
    const RegistryReading& reading = found[i];
    if (reading.status != 0 || (entry.name && (reading.type != entry.type || reading.data != entry.data))) {
      out.entries.push_back(&entry);
      // A value gone from a key that is there is evidence too.
      const bool key_there = entry.name && (reading.status == 0 || reading.type == ValueType::kAbsent);
      if (key_there) {
        out.different.push_back({entry.key, *entry.name, reading.type, reading.data, entry.type, entry.data});
      }
      if (out.first.empty()) {
        out.first = key_there ? entry.key + ": " + (entry.name->empty() ? "(default)" : *entry.name) : entry.key;
      }
    }
  }
  return out;
}

}  // namespace

namespace {

BranchCheck Result(const SafeBootTemplate& stored, Misses misses) {
  BranchCheck check;
  check.windows = stored.windows;
  check.total = stored.entries.size();
  check.missing = misses.entries.size();
  check.first_missing = std::move(misses.first);
  check.different = std::move(misses.different);
  return check;
}

}  // namespace

BranchCheck CheckBranch(Platform& platform, const SafeBootTemplate& stored) {
  return Result(stored, Missing(platform, stored.entries));
}

BranchCheck CompleteBranch(Platform& platform, const SafeBootTemplate& stored) {
  Misses misses = Missing(platform, stored.entries);
  std::int32_t first_refusal = 0;
  for (const RegistryEntry* entry : misses.entries) {
    const std::int32_t status = platform.WriteRegistryEntry(*entry);
    if (status != 0 && first_refusal == 0) first_refusal = status;
  }
  BranchCheck check = Result(stored, misses.entries.empty() ? std::move(misses) : Missing(platform, stored.entries));
  check.status = first_refusal;
  return check;
}

std::vector<ValueChange> Replaced(const BranchCheck& before, const BranchCheck& after) {
  std::vector<ValueChange> out;
  for (const ValueChange& change : before.different) {
    const auto same_value = [&](const ValueChange& c) {
      return AsciiLower(c.key) == AsciiLower(change.key) && AsciiLower(c.name) == AsciiLower(change.name);
    };
    // Still different afterwards (a write refused) is not replaced.
    if (std::none_of(after.different.begin(), after.different.end(), same_value)) {
      out.push_back(change);
    }
  }
  return out;
}

SafeBootTemplate MoveToControlSet(SafeBootTemplate stored, const std::string& control_set) {
  const std::string from = AsciiLower(kCurrentControlSet);
  for (RegistryEntry& entry : stored.entries) {
    if (AsciiLower(entry.key.substr(0, from.size())) == from) entry.key = control_set + entry.key.substr(from.size());
  }
  return stored;
}

ForeignEntries FindForeignEntries(Platform& platform, const SafeBootTemplate& stored, std::size_t max_listed) {
  std::set<std::string> own;  // lowered full key paths of the list
  for (const RegistryEntry& entry : stored.entries) own.insert(AsciiLower(entry.key));
  ForeignEntries found;
  if (stored.entries.empty()) return found;
  const std::string root = stored.entries.front().key;  // the SafeBoot key itself
  for (const char* section : {"Minimal", "Network"}) {
    const std::string parent = root + "\\" + section;
    std::vector<std::string> names;
    if (platform.EnumerateSubkeys(parent, names) != 0) continue;
    for (const std::string& name : names) {
      if (own.count(AsciiLower(parent + "\\" + name))) continue;
      if (found.count++ >= max_listed) continue;
      ForeignEntry entry;
      entry.name = std::string(section) + "\\" + name;
      entry.status = platform.ReadRegistryEntry({parent + "\\" + name, "", ""}, entry.type, entry.data);
      found.listed.push_back(std::move(entry));
    }
  }
  return found;
}

}  // namespace veltrik
