#include "repair/holds.h"

#include <vector>

#include "repair/hive.h"
#include "repair/text.h"

namespace veltrik {

namespace {

constexpr std::size_t kDataShown = 255;  // of a value someone else chose

constexpr char kBoot[] = "HKEY_LOCAL_MACHINE\\BCD00000000\\Objects\\";
constexpr char kBootManager[] = "{9dea862c-5cdd-4e70-acc1-f32b344d4795}";
constexpr char kWinlogon[] = "\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kRunOnce[] = "\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// A boot element's number: an integer in 8 bytes little-endian, a boolean in 1.
bool Element(Platform& platform, const std::string& elements, const char* id, std::uint64_t& number) {
  ValueType type = ValueType::kNone;
  std::string data;
  if (ReadValue(platform, elements + id, "Element", type, data) != 0 || type != ValueType::kBinary || data.empty()) {
    return false;
  }
  number = 0;
  for (std::size_t i = 0; i < data.size() && i < 8; ++i) {
    number |= std::uint64_t{static_cast<unsigned char>(data[i])} << 8 * i;
  }
  return true;
}

void BootHolds(Platform& platform, std::vector<std::string>& out) {
  ValueType type = ValueType::kNone;
  std::string entry;
  const std::string manager = std::string(kBoot) + kBootManager + "\\Elements\\23000003";
  if (ReadValue(platform, manager, "Element", type, entry) != 0 || type != ValueType::kString) return;
  const std::string elements = kBoot + entry + "\\Elements\\";
  static const char* const kSafeBoot[] = {"minimal", "network", "dsrepair"};
  std::uint64_t n = 0;
  if (Element(platform, elements, "25000080", n)) {
    out.push_back("The default boot entry always starts in Safe Mode (safeboot " +
                  (n < 3 ? std::string(kSafeBoot[n]) : std::to_string(n)) +
                  "); undo: bcdedit /deletevalue {default} safeboot");
  }
  if (Element(platform, elements, "26000081", n) && n) {
    out.push_back("The default boot entry starts Safe Mode with its alternate shell (safebootalternateshell Yes); "
                  "undo: bcdedit /deletevalue {default} safebootalternateshell");
  }
  if (Element(platform, elements, "16000009", n) && !n) {
    out.push_back("Automatic recovery is turned off (recoveryenabled No); undo: bcdedit /set {default} "
                  "recoveryenabled Yes");
  }
  if (Element(platform, elements, "250000e0", n) && n == 1) {
    out.push_back("Boot failures are ignored (bootstatuspolicy IgnoreAllFailures); undo: bcdedit /deletevalue "
                  "{default} bootstatuspolicy");
  }
}

// A string value's text; false where it is not there or not text.
bool Text(Platform& platform, const std::string& key, const char* name, std::string& text) {
  ValueType type = ValueType::kNone;
  return ReadValue(platform, key, name, type, text) == 0 &&
         (type == ValueType::kString || type == ValueType::kExpandString);
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ',' || text.back() == ' ')) text.pop_back();
  return AsciiLower(text.substr(std::min(text.size(), text.find_first_not_of(' '))));
}

void LogonHolds(Platform& platform, const HoldPlaces& places, std::vector<std::string>& out) {
  const std::string key = places.software + kWinlogon, named = std::string("HKLM\\SOFTWARE") + kWinlogon;
  std::string text, domain, user;
  ValueType type = ValueType::kNone;
  std::string secret;  // read only to learn that it is there; never shown, never kept
  const bool stored = ReadValue(platform, key, "DefaultPassword", type, secret) == 0;
  secret.assign(secret.size(), '\0');
  if (Text(platform, key, "AutoAdminLogon", text) && Trimmed(text) == "1" && stored) {
    Text(platform, key, "DefaultDomainName", domain);
    Text(platform, key, "DefaultUserName", user);
    out.push_back("Automatic logon as " + Printable(domain.empty() ? user : domain + "\\" + user, kDataShown) +
                  ", its password stored in the registry; undo: reg add \"" + named +
                  "\" /v AutoAdminLogon /t REG_SZ /d 0 /f & reg delete \"" + named + "\" /v DefaultPassword /f");
  }
  if (Text(platform, key, "Shell", text) && Trimmed(text) != "explorer.exe") {
    out.push_back("Logon shell replaced: Shell = " + Printable(text, kDataShown) + "; undo: reg add \"" + named +
                  "\" /v Shell /t REG_SZ /d explorer.exe /f");
  }
  const std::string userinit = places.windows + "\\system32\\userinit.exe";
  if (Text(platform, key, "Userinit", text) && Trimmed(text) != AsciiLower(userinit)) {
    out.push_back("Logon program replaced: Userinit = " + Printable(text, kDataShown) + "; undo: reg add \"" + named +
                  "\" /v Userinit /t REG_SZ /d \"" + userinit + ",\" /f");
  }
}

// Values whose names begin with "*" run even in Safe Mode.
void RunOnceHolds(Platform& platform, const std::string& key, const std::string& named, std::vector<std::string>& out) {
  std::vector<RegistryValue> values;
  if (platform.EnumerateValues(key, values) != 0) return;
  for (const RegistryValue& value : values) {
    if (value.name.empty() || value.name[0] != '*') continue;
    const bool text = value.type == ValueType::kString || value.type == ValueType::kExpandString;
    std::string data = text ? Utf8FromUtf16Le(value.data) : std::string(value.data.begin(), value.data.end());
    data.resize(std::min(data.size(), data.find('\0')));
    out.push_back("Runs once, even in Safe Mode: " + named + ": " + Printable(value.name, kDataShown) + " = " +
                  Printable(data, kDataShown) + "; undo: reg delete \"" + named + "\" /v \"" +
                  Printable(value.name, kDataShown) + "\" /f");
  }
}

}  // namespace

std::vector<std::string> FindHolds(Platform& platform, const HoldPlaces& places) {
  std::vector<std::string> holds;
  if (places.software.empty()) return holds;  // an installed Windows without a SOFTWARE hive
  if (places.running) BootHolds(platform, holds);
  LogonHolds(platform, places, holds);
  for (const char* view : {"", "\\WOW6432Node"}) {
    RunOnceHolds(platform, places.software + view + kRunOnce, std::string("HKLM\\SOFTWARE") + view + kRunOnce,
                 holds);
  }
  std::vector<std::string> users;
  if (places.running && platform.EnumerateSubkeys("HKEY_USERS", users) == 0) {
    for (const std::string& user : users) {
      RunOnceHolds(platform, "HKEY_USERS\\" + user + "\\Software" + kRunOnce,
                   "HKU\\" + Printable(user, kDataShown) + "\\Software" + kRunOnce, holds);
    }
  }
  return holds;
}

}  // namespace veltrik
