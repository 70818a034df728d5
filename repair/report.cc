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

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  const auto escape = [&out](const char* prefix, std::uint32_t code, int digits) {
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += "0123456789ABCDEF"[(code >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < text.size();) {
    if (out.size() >= limit) return out + "... (" + std::to_string(text.size()) + " bytes)";
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((next & 0xC0) != 0x80) length = 0;
      code = code << 6 | (next & 0x3Fu);
    }
    if (length == 0 || code < 0x20 || code == 0x7F) {
      escape("\\x", length ? code : lead, 2);
    } else if ((code >= 0x80 && code < 0xA0) || code == 0x200E || code == 0x200F ||
               (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) {
      escape("\\u", code, 4);
    } else {
      out.append(text.substr(i, length));
    }
    i += length ? length : 1;
  }
  return out;
}

std::string TypeName(ValueType type) {
  static const char* const kNames[] = {"REG_NONE",   "REG_SZ",      "REG_EXPAND_SZ",
                                       "REG_BINARY", "REG_DWORD",   "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",   "REG_MULTI_SZ"};
  const auto n = static_cast<std::uint32_t>(type);
  return n < std::size(kNames) ? kNames[n] : n == 11 ? "REG_QWORD" : "type " + std::to_string(n);
}

Outcome Judge(const BranchCheck& before, bool fix, const BranchCheck& after) {
  if (!fix) return before.complete() ? Outcome::kWhole : Outcome::kNotWhole;
  if (!after.complete()) return Outcome::kNotRepaired;
  return before.complete() ? Outcome::kNothingToRepair : Outcome::kRepaired;
}

std::string Entries(const BranchCheck& check) {
  return std::to_string(check.total - check.missing) + " of " + std::to_string(check.total) + " entries in place";
}

std::string StateReport(Platform& platform, const std::string& state, const BranchCheck& check) {
  std::string text = "SafeBoot branch" + (check.windows.empty() ? "" : " (" + check.windows + " list)") + ": " + state;
  if (check.total == 0) return text + "; the stored copy of the branch could not be read\r\n";
  if (check.missing == 0) return text + "\r\n";
  text += "; " + std::to_string(check.missing) + " of " + std::to_string(check.total) +
          " entries missing; first missing: " + check.first_missing + "\r\n";
  return check.status ? text + "Reason: " + platform.ErrorText(check.status) + "\r\n" : text;
}

std::string ChangesReport(const std::vector<ValueChange>& changes, const std::string& heading) {
  const std::vector<ValueChange> listed(changes.begin(), changes.begin() + std::min(changes.size(), kReportListed));
  return Listing(heading + " (old -> new)", changes.size(), listed, [](const ValueChange& c) {
    return c.key + ": " + (c.name.empty() ? "(default)" : Printable(c.name)) + " = " + Shown(c.old_type, c.old_data) +
           " -> " + Shown(c.new_type, c.new_data);
  });
}

std::string BranchReport(Platform& platform, Outcome outcome, const BranchCheck& before,
                         const BranchCheck& after, const SafeBootTemplate& stored, bool fix,
                         const std::string& loaded_as) {
  BranchCheck shown = after;
  std::vector<ValueChange> changes = fix ? Replaced(before, after) : before.different;
  const auto as_installed = [&](std::string& key) {
    if (!loaded_as.empty() && AsciiLower(key.substr(0, loaded_as.size())) == AsciiLower(loaded_as)) {
      key = "HKEY_LOCAL_MACHINE\\SYSTEM" + key.substr(loaded_as.size());  // the hive Windows starts with
    }
  };
  as_installed(shown.first_missing);
  for (ValueChange& change : changes) as_installed(change.key);
  return StateReport(platform, StateWords(outcome, Entries(after)), shown) + ChangesReport(changes, ChangesHeading(fix)) +
         ForeignReport(platform, stored);
}

std::string ForeignReport(Platform& platform, const SafeBootTemplate& stored) {
  const ForeignEntries found = FindForeignEntries(platform, stored, kReportListed);
  return Listing("Not in the " + std::string(stored.windows) + " list (left as they are)", found.count, found.listed,
                 [&platform](const ForeignEntry& entry) {
                   std::string line = Printable(entry.name);
                   if (entry.status == kStatusNotFound) return line + " (no default value)";
                   if (entry.status != 0)
                     return line + " (default value unreadable: " + platform.ErrorText(entry.status) + ")";
                   return line + " = " + Shown(entry.type, entry.data);
                 });
}

}  // namespace veltrik
