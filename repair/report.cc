#include "repair/report.h"

#include <iterator>

namespace veltrik {

namespace {

// Names are at most 255 characters; a value may be far longer.
constexpr std::size_t kValueShown = 255;

// Binary data past this is cut: its first bytes tell what it is.
constexpr std::size_t kBytesShown = 64;

// A value's data as the report shows it: text as text, a number as a
// number, anything else as hex, each with its type where it is not REG_SZ.
std::string Shown(ValueType type, const std::string& data) {
  if (type == ValueType::kAbsent) return "(absent)";
  if (type == ValueType::kString) return data.empty() ? "(empty string)" : Printable(data, kValueShown);
  std::string shown = data;
  if (type == ValueType::kMultiString) {
    if (!shown.empty() && shown.back() == '\0') shown.pop_back();  // the list's last NUL
    shown = Printable(shown, kValueShown);
  } else if (type == ValueType::kExpandString) {
    shown = Printable(shown, kValueShown);
  } else if (type != ValueType::kDword) {
    shown.clear();
    for (std::size_t i = 0; i < data.size() && i < kBytesShown; ++i) {
      const auto byte = static_cast<unsigned char>(data[i]);
      shown += std::string(i ? " " : "") + "0123456789abcdef"[byte >> 4] + "0123456789abcdef"[byte & 15];
    }
    if (data.size() > kBytesShown) shown += " ... (" + std::to_string(data.size()) + " bytes)";
  }
  return "(not a string: " + TypeName(type) + (shown.empty() ? "" : " " + shown) + ")";
}

// "<heading>: N", the first lines, then "and N more".
template <typename Items, typename Line>
std::string Listing(const std::string& heading, std::size_t count, const Items& listed, Line line) {
  if (count == 0) return "";
  std::string text = heading + ": " + std::to_string(count) + "\r\n";
  for (const auto& item : listed) text += "  " + line(item) + "\r\n";
  const std::size_t more = count - std::size(listed);
  return more ? text + "  and " + std::to_string(more) + " more\r\n" : text;
}

}  // namespace

std::string AsInstalled(const std::string& key, const std::string& loaded_as) {
  if (loaded_as.empty() || AsciiLower(key.substr(0, loaded_as.size())) != AsciiLower(loaded_as)) return key;
  return "HKEY_LOCAL_MACHINE\\SYSTEM" + key.substr(loaded_as.size());  // the hive Windows starts with
}

std::string TypeName(ValueType type) {
  static const char* const kNames[] = {"REG_NONE",   "REG_SZ",      "REG_EXPAND_SZ",
                                       "REG_BINARY", "REG_DWORD",   "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",   "REG_MULTI_SZ"};
  const auto n = static_cast<std::uint32_t>(type);
  return n < std::size(kNames) ? kNames[n] : n == 11 ? "REG_QWORD" : "type " + std::to_string(n);
}

std::string Entries(const BranchCheck& check) {
  return std::to_string(check.total - check.missing) + " of " + std::to_string(check.total) + " entries in place";
}

std::string StateReport(Platform& platform, Outcome outcome, const BranchCheck& check, const std::string& loaded_as) {
  std::string text = "SafeBoot branch" + (check.windows.empty() ? "" : " (" + check.windows + " list)") + ": " +
                     StateWords(outcome, Entries(check));
  if (check.total == 0) return text + "; the stored copy of the branch could not be read\r\n";
  if (check.missing == 0) return text + "\r\n";
  text += "; " + std::to_string(check.missing) + " of " + std::to_string(check.total) +
          " entries missing; first missing: " + AsInstalled(check.first_missing, loaded_as) + "\r\n";
  return check.status ? text + "Reason: " + platform.ErrorText(check.status) + "\r\n" : text;
}

std::string ChangesReport(std::vector<ValueChange> changes, bool fix, const std::string& loaded_as) {
  const std::size_t count = changes.size();
  changes.resize(std::min(count, kReportListed));
  return Listing(ChangesHeading(fix) + std::string(" (old -> new)"), count, changes, [&](const ValueChange& c) {
    return AsInstalled(c.key, loaded_as) + ": " + (c.name.empty() ? "(default)" : Printable(c.name)) + " = " +
           Shown(c.old_type, c.old_data) + " -> " + Shown(c.new_type, c.new_data);
  });
}

std::string ForeignReport(Platform& platform, const SafeBootTemplate& stored, const WindowsFiles& files) {
  const ForeignEntries found = FindForeignEntries(platform, stored, kReportListed);
  if (found.count == 0) return "";
  // The control set's Services key, beside its Control\SafeBoot.
  const std::string root = stored.entries.front().key;
  const std::string services =
      root.substr(0, root.size() - std::string_view("\\Control\\SafeBoot").size()) + "\\Services";
  return Listing("Not in the " + std::string(stored.windows) + " list (left as they are)", found.count, found.listed,
                 [&](const ForeignEntry& entry) {
                   std::string line = Printable(entry.name);
                   if (entry.status == kStatusNotFound) {
                     line += " (no default value)";
                   } else if (entry.status != 0) {
                     line += " (default value unreadable: " + platform.ErrorText(entry.status) + ")";
                   } else {
                     line += " = " + Shown(entry.type, entry.data);
                   }
                   return line + WhatItStarts(platform, files, services, entry.name);
                 });
}

std::string HoldsReport(const std::vector<std::string>& holds) {
  const std::vector<std::string> listed(holds.begin(), holds.begin() + std::min(holds.size(), kReportListed));
  return Listing("Also holding Safe Mode (left as they are)", holds.size(), listed,
                 [](const std::string& hold) { return hold; });
}

}  // namespace veltrik
