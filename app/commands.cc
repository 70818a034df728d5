#include "app/commands.h"

#include <iterator>
#include <set>

#include "app/form.h"
#include "repair/fix.h"

namespace veltrik {

namespace {

constexpr char kUsage[] =
    "Usage: veltrik.exe [/check | /fix [/norestart]]\r\n"
    "  (none)      open the window\r\n"
    "  /check      report whether the SafeBoot branch is whole; change nothing\r\n"
    "  /fix        repair the branch if needed, then restart the computer\r\n"
    "  /norestart  with /fix: never restart\r\n"
    "Switches take / or -, in any order, each once.\r\n"
    "Exit codes: 0 whole (or nothing to do), 1 not whole / not repaired, 2 bad arguments,\r\n"
    "  1641 repaired and restarting, 3010 repaired, restart needed.\r\n";

// Enough for a technician to act on; thousands of lines would bury the report.
constexpr std::size_t kForeignListed = 100;
// Names are at most 255 characters; a value may be far longer.
constexpr std::size_t kValueShown = 255;

// "/FIX" and "-fix" -> "fix"; "" when it is not a switch.
std::string Switch(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "";
  return AsciiLower(arg.substr(1));
}

// Text that someone else chose, on one line: control characters (and the
// ones that turn text around) escaped, so that it can neither forge a line
// of the report nor hide its own end; bytes that are not UTF-8 escaped too.
std::string Printable(std::string_view text, std::size_t limit = std::string_view::npos) {
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
  static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
  const auto n = static_cast<std::uint32_t>(type);
  return n < std::size(kNames) ? kNames[n] : n == 11 ? "REG_QWORD" : "type " + std::to_string(n);
}

std::string Entries(const BranchCheck& check) {
  return std::to_string(check.total - check.missing) + " of " + std::to_string(check.total) + " entries in place";
}

// "SafeBoot branch (<Windows> list): <state>", and the first missing key and
// the system's reason when there are any.
std::string Report(Platform& platform, const std::string& state, const BranchCheck& check) {
  std::string text = "SafeBoot branch" + (check.windows.empty() ? "" : " (" + check.windows + " list)") + ": " + state;
  if (check.total == 0) return text + "; the stored copy of the branch could not be read\r\n";
  if (check.missing == 0) return text + "\r\n";
  text += "; " + std::to_string(check.missing) + " of " + std::to_string(check.total) +
          " entries missing; first missing: " + check.first_missing + "\r\n";
  return check.status ? text + "Reason: " + platform.ErrorText(check.status) + "\r\n" : text;
}

// What else Minimal and Network hold; nothing when there is nothing.
std::string ForeignReport(Platform& platform, const SafeBootTemplate& stored) {
  const ForeignEntries found = FindForeignEntries(platform, stored, kForeignListed);
  if (found.count == 0) return "";
  std::string text = "Not in the " + std::string(stored.windows) + " list (left as they are): " +
                     std::to_string(found.count) + "\r\n";
  for (const ForeignEntry& entry : found.listed) {
    text += "  " + Printable(entry.name);
    if (entry.status == kStatusNotFound) {
      text += " (no default value)";
    } else if (entry.status != 0) {
      text += " (default value unreadable: " + platform.ErrorText(entry.status) + ")";
    } else if (entry.type != ValueType::kString) {
      text += " = (not a string: " + TypeName(entry.type) + (entry.data.empty() ? "" : " " + entry.data) + ")";
    } else {
      text += " = " + (entry.data.empty() ? "(empty string)" : Printable(entry.data, kValueShown));
    }
    text += "\r\n";
  }
  const std::size_t more = found.count - found.listed.size();
  return more ? text + "  and " + std::to_string(more) + " more\r\n" : text;
}

}  // namespace

Command ParseArguments(const std::vector<std::string>& args) {
  std::set<std::string> names;
  for (const std::string& arg : args) {
    const std::string name = Switch(arg);
    if (name.empty() || !names.insert(name).second) return {Action::kBadArguments};
  }
  using Names = std::set<std::string>;
  if (names.empty()) return {};
  if (names == Names{"?"}) return {Action::kUsage};
  if (names == Names{"check"}) return {Action::kCheck};
  if (names == Names{"fix"}) return {Action::kFix};
  if (names == Names{"fix", "norestart"}) return {Action::kFix, false};
  return {Action::kBadArguments};
}

int RunCommand(Platform& platform, const Command& command) {
  if (command.action == Action::kUsage || command.action == Action::kBadArguments) {
    platform.WriteOutput(kUsage);
    return command.action == Action::kUsage ? kExitOk : kExitUsage;
  }
  const SafeBootTemplate stored = LoadTemplate(platform, ChooseTemplate(platform));
  const BranchCheck before = CheckBranch(platform, stored);
  if (command.action == Action::kCheck) {
    platform.WriteOutput(Report(platform, before.complete() ? Entries(before) : "not whole", before) +
                         ForeignReport(platform, stored));
    return before.complete() ? kExitOk : kExitNotRepaired;
  }
  if (before.complete()) {
    platform.WriteOutput(Report(platform, Entries(before) + "; nothing to repair", before) +
                         ForeignReport(platform, stored));
    return kExitOk;
  }
  WindowState state;
  DerivePaths(platform, state);
  const BranchCheck after = FixSafeMode(platform, state.strWinDir, stored);
  const std::string foreign = ForeignReport(platform, stored);  // before a restart can cut it short
  if (!after.complete()) {
    platform.WriteOutput(Report(platform, "NOT repaired", after) + foreign);
    return kExitNotRepaired;
  }
  // Nobody may be at the screen: a plain restart, with no boot menu to hold the machine.
  const bool restarting = command.restart && Restart(platform, kRestartCommand);
  platform.WriteOutput(Report(platform, "repaired, " + Entries(after), after) + foreign +
                       (restarting ? "Restarting the computer now.\r\n" : "Restart the computer to finish.\r\n"));
  return restarting ? kExitRestartStarted : kExitRestartRequired;
}

}  // namespace veltrik
