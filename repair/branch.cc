#include "repair/branch.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

#include "repair/reg_file.h"

namespace veltrik {

namespace {

// A quoted string at `at` with \\ and \" escapes; advances `at` past it.
bool Quoted(std::string_view line, std::size_t& at, std::string& out) {
  if (at >= line.size() || line[at] != '"') return false;
  out.clear();
  for (++at; at < line.size(); ++at) {
    char c = line[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c == '\\' && at + 1 < line.size()) c = line[++at];
    out.push_back(c);
  }
  return false;
}

// dword:<1 to 8 hex digits>, as the number in decimal.
bool Dword(std::string_view text, std::string& out) {
  constexpr std::string_view kPrefix = "dword:";
  const std::string_view hex = text.substr(std::min(text.size(), kPrefix.size()));
  if (text.substr(0, kPrefix.size()) != kPrefix || hex.empty() || hex.size() > 8 ||
      hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
    return false;
  }
  out = std::to_string(std::strtoul(std::string(hex).c_str(), nullptr, 16));
  return true;
}

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

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::vector<RegistryEntry> ParseRegText(std::string_view text) {
  std::vector<RegistryEntry> out;
  std::string key;
  bool in_key = false;  // inside a key to add (not a deletion)
  bool bare = false;    // that key has no value yet
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      if (bare) out.push_back({key, std::nullopt, ""});
      key = std::string(line.substr(1, line.size() - 2));
      in_key = bare = !key.empty() && key[0] != '-';
      continue;
    }
    if (!in_key) continue;
    std::string name;  // "" for the default value "@"
    std::size_t at = 0;
    if (line.substr(0, 1) == "@") {
      at = 1;
    } else if (!Quoted(line, at, name)) {
      continue;
    }
    if (line.substr(at, 1) != "=") continue;
    RegistryEntry entry{key, name, "", ValueType::kString};
    if (Dword(line.substr(++at), entry.data)) {
      entry.type = ValueType::kDword;
    } else if (!Quoted(line, at, entry.data) || at != line.size()) {
      continue;
    }
    out.push_back(std::move(entry));
    bare = false;
  }
  if (bare) out.push_back({key, std::nullopt, ""});
  return out;
}

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
