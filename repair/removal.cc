#include "repair/removal.h"

#include <algorithm>
#include <set>

#include "repair/hive.h"
#include "repair/log.h"
#include "repair/report.h"
#include "repair/text.h"

namespace veltrik {

namespace {

constexpr std::int32_t kFileExists = 80;  // ERROR_FILE_EXISTS

bool HasControl(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return (c >= 0 && c < 0x20) || c == 0x7F; });
}

// "Minimal\X" -> "Minimal", "X"; false where it is not one key below Minimal or Network.
bool Split(const std::string& entry, std::string& section, std::string& name) {
  const std::size_t slash = entry.find('\\');
  if (slash == std::string::npos) return false;
  section = AsciiLower(entry.substr(0, slash)) == "minimal" ? "Minimal"
            : AsciiLower(entry.substr(0, slash)) == "network" ? "Network" : "";
  name = entry.substr(slash + 1);
  return !section.empty() && !name.empty() && name.find_first_of("\\*?") == std::string::npos;
}

std::string SafeBootKey(const SafeBootTemplate& stored) {
  return stored.entries.empty() ? "" : stored.entries.front().key;
}

// The key and all below it, as they are to be imported again; a fault where a name cannot be carried.
std::string Collect(Platform& platform, const std::string& key, const std::string& named,
                    std::vector<ExportedKey>& out) {
  ExportedKey exported{named, {}};
  if (const std::int32_t status = platform.EnumerateValues(key, exported.values)) {
    return "its values could not be read: " + platform.ErrorText(status);
  }
  for (const RegistryValue& value : exported.values) {
    if (HasControl(value.name)) return "a value name in it holds control characters, which a .reg file cannot carry";
  }
  out.push_back(std::move(exported));
  std::vector<std::string> children;
  if (const std::int32_t status = platform.EnumerateSubkeys(key, children)) {
    return "its subkeys could not be read: " + platform.ErrorText(status);
  }
  for (const std::string& child : children) {
    if (HasControl(child)) return "a key name in it holds control characters, which a .reg file cannot carry";
    if (std::string fault = Collect(platform, key + "\\" + child, named + "\\" + child, out); !fault.empty()) {
      return fault;
    }
  }
  return "";
}

}  // namespace

std::string RefuseRemovals(const std::vector<std::string>& entries, const SafeBootTemplate& stored) {
  std::set<std::string> own;  // lowered full key paths of the list
  for (const RegistryEntry& entry : stored.entries) own.insert(AsciiLower(entry.key));
  std::string refused;
  for (const std::string& entry : entries) {
    std::string section, name, why;
    if (!Split(entry, section, name)) {
      why = "not Minimal\\<name> or Network\\<name>, one key name without wildcards";
    } else if (HasControl(name)) {
      why = "its name holds control characters, which a .reg file cannot carry";
    } else if (!stored.loaded) {
      why = "the stored Windows list could not be read, so Windows' own entries cannot be told apart";
    } else if (own.count(AsciiLower(SafeBootKey(stored) + "\\" + section + "\\" + name))) {
      why = std::string("an entry of the ") + stored.windows + " list: Windows' own entries are never removed";
    }
    if (!why.empty()) refused += "Refused: " + Printable(entry) + ": " + why + "\r\n";
  }
  return refused;
}

Removal RemoveEntries(Platform& platform, const std::vector<std::string>& entries, const SafeBootTemplate& stored,
                      const std::string& loaded_as, const std::vector<std::string>& folders) {
  Removal out;
  std::string refused = RefuseRemovals(entries, stored);
  std::vector<std::string> keys, shown;  // each entry's key, and the entry as the system spells it
  std::vector<ExportedKey> saved;
  for (const std::string& entry : refused.empty() ? entries : std::vector<std::string>{}) {
    std::string section, name;
    Split(entry, section, name);
    std::vector<std::string> names;
    platform.EnumerateSubkeys(SafeBootKey(stored) + "\\" + section, names);
    const auto found = std::find_if(names.begin(), names.end(),
                                    [&](const std::string& n) { return AsciiLower(n) == AsciiLower(name); });
    const std::string key = SafeBootKey(stored) + "\\" + section + "\\" + (found == names.end() ? name : *found);
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;  // named twice
    const std::string why =
        found == names.end() ? "it is not there" : Collect(platform, key, AsInstalled(key, loaded_as), saved);
    if (!why.empty()) refused += "Refused: " + Printable(entry) + ": " + why + "\r\n";
    keys.push_back(key);
    shown.push_back(section + "\\" + (found == names.end() ? name : *found));
  }
  if (!refused.empty()) return {Outcome::kRefused, refused + "Nothing was changed.\r\n"};

  // Saved and flushed before the first deletion, never over a file that is there.
  const Bytes file = RegFileBytes(RegExportText(saved));
  const std::string stem = "Veltrik-removed-" + Timestamp(platform.GetLocalTime());
  std::string path, failures;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::int32_t status = kFileExists;
    for (int n = 1; n <= 100 && (status == kFileExists || status == kAlreadyExists); ++n) {
      path = folder + (folder.ends_with('\\') ? "" : "\\") + stem + (n > 1 ? "-" + std::to_string(n) : "") + ".reg";
      status = platform.WriteNewFile(path, file);
    }
    if (status == 0) break;
    failures += (failures.empty() ? "" : "; ") + Printable(path) + " refused: " + platform.ErrorText(status);
    path.clear();
  }
  if (path.empty()) {
    return {Outcome::kNotRemoved, "The entries could not be saved before their removal (" + failures +
                                      "). Nothing was removed.\r\n"};
  }
  std::string removed, kept;
  std::size_t gone = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::int32_t status = platform.DeleteKeyTree(keys[i]);
    ValueType type = ValueType::kNone;
    std::string data;
    if (platform.ReadRegistryEntry({keys[i], std::nullopt, ""}, type, data) == kStatusNotFound) {
      removed += "  " + Printable(shown[i]) + "\r\n", ++gone;
    } else {
      kept += "  " + Printable(shown[i]) + ": " + (status ? platform.ErrorText(status) : "still there") + "\r\n";
    }
  }
  out.outcome = gone == keys.size() ? Outcome::kRemoved : Outcome::kNotRemoved;
  out.report = "Removed (saved in " + Printable(path) + "): " + std::to_string(gone) + "\r\n" + removed;
  if (gone < keys.size()) out.report += "Not removed: " + std::to_string(keys.size() - gone) + "\r\n" + kept;
  return out;
}

}  // namespace veltrik
