#include "repair/branch.h"

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

bool Matches(Platform& platform, const RegistryEntry& entry) {
  std::string data;
  return platform.ReadRegistryEntry(entry, data) == 0 && (!entry.name || data == entry.data);
}

std::vector<const RegistryEntry*> Missing(Platform& platform, const std::vector<RegistryEntry>& expected) {
  std::vector<const RegistryEntry*> out;
  for (const RegistryEntry& entry : expected) {
    if (!Matches(platform, entry)) out.push_back(&entry);
  }
  return out;
}

}  // namespace

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
    std::string data;
    if (line.substr(at, 1) != "=" || !Quoted(line, ++at, data) || at != line.size()) continue;
    out.push_back({key, name, data});
    bare = false;
  }
  if (bare) out.push_back({key, std::nullopt, ""});
  return out;
}

std::vector<RegistryEntry> ExpectedEntries(Platform& platform, int template_id) {
  Bytes data;
  if (!platform.LoadCustomResource(template_id, data)) return {};
  return ParseRegText(RegTextFromWorkFile(ByteArrayImage(data)));
}

namespace {

BranchCheck Result(const std::vector<RegistryEntry>& expected, const std::vector<const RegistryEntry*>& missing) {
  BranchCheck check;
  check.total = expected.size();
  check.missing = missing.size();
  if (!missing.empty()) check.first_missing = missing.front()->key;
  return check;
}

}  // namespace

BranchCheck CheckBranch(Platform& platform, const std::vector<RegistryEntry>& expected) {
  return Result(expected, Missing(platform, expected));
}

BranchCheck CompleteBranch(Platform& platform, const std::vector<RegistryEntry>& expected) {
  const auto missing = Missing(platform, expected);
  std::int32_t first_refusal = 0;
  for (const RegistryEntry* entry : missing) {
    const std::int32_t status = platform.WriteRegistryEntry(*entry);
    if (status != 0 && first_refusal == 0) first_refusal = status;
  }
  BranchCheck check = Result(expected, missing.empty() ? missing : Missing(platform, expected));
  check.status = first_refusal;
  return check;
}

}  // namespace veltrik
