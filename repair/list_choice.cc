#include "repair/list_choice.h"

#include <cstdlib>

#include "repair/branch.h"
#include "repair/hive.h"
#include "repair/installed_windows.h"
#include "repair/reg_file.h"
#include "repair/report.h"

namespace veltrik {

namespace {

constexpr std::uint32_t kFirstWindows11Build = 22000;

// "6.1" -> 6, 1.
bool ParseVersion(const std::string& text, WindowsVersion& version) {
  const std::size_t dot = text.find('.');
  const auto digits = [](const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == s.npos; };
  if (dot == std::string::npos || !digits(text.substr(0, dot)) || !digits(text.substr(dot + 1)) || text.size() > 12) {
    return false;
  }
  version.major = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
  version.minor = static_cast<std::uint32_t>(std::strtoul(text.c_str() + dot + 1, nullptr, 10));
  return true;
}

bool IsWindows11(const WindowsVersion& v) { return v.major == 10 && v.minor == 0 && v.build >= kFirstWindows11Build; }

// The installed Windows' SOFTWARE hive: its version, or why there is none.
// A hive that is there but does not load (damaged, locked, still loaded)
// says nothing of the version: guessing would write another Windows' list.
void ReadSoftwareVersion(Platform& platform, const std::string& folder, ListChoice& out) {
  const std::string shown = Printable(TrimmedFolder(folder)), software = ConfigFolder(folder) + "SOFTWARE";
  out.no_version = "no SOFTWARE hive";
  if (platform.GetPathKind(software) != PathKind::kFile) return;
  LoadedHive hive(platform, software, "VeltrikOfflineSoftware");
  if (hive.status() != 0) {
    out.error = "The SOFTWARE hive of " + shown + ", which names its version, could not be loaded: " +
                platform.ErrorText(hive.status()) + ". Nothing was changed.";
    return;
  }
  const std::string key = hive.key() + "\\Microsoft\\Windows NT\\CurrentVersion";
  ValueType type = ValueType::kNone;
  std::string text;
  WindowsVersion version;
  // Windows 10 and later keep "6.3" in CurrentVersion, for old programs.
  const bool known = (ReadNumber(platform, key, "CurrentMajorVersionNumber", version.major) &&
                      ReadNumber(platform, key, "CurrentMinorVersionNumber", version.minor)) ||
                     (ReadValue(platform, key, "CurrentVersion", type, text) == 0 && type == ValueType::kString &&
                      ParseVersion(text, version));
  if (known && ReadValue(platform, key, "CurrentBuildNumber", type, text) == 0 && type == ValueType::kString) {
    version.build = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
  }
  if (const std::int32_t status = hive.Unload()) {
    out.error = "The SOFTWARE hive of " + shown + " could not be unloaded: " + platform.ErrorText(status) +
                ". Restart the computer before you use Veltrik again. Nothing was changed.";
    return;
  }
  if (known) out.version = version, out.no_version.clear();
  if (!known) out.no_version = "no version in its SOFTWARE hive";
}

}  // namespace

int TemplateForVersion(std::uint32_t major, std::uint32_t minor) {
  if (major <= 5) return kTemplateXp;
  if (major == 6 && minor <= 3) return minor == 0 ? kTemplateVista : minor == 1 ? kTemplateWin7 : kTemplateWin8;
  return kTemplateWin10;
}

int TemplateByProfilesFolder(const std::string& profiles) {
  const std::string probe = profiles + "\\";
  return probe.size() >= 9 && AsciiLower(probe.substr(2, 7)) == "\\users\\" ? kTemplateVista : kTemplateXp;
}

std::string ListChoice::Describe() const {
  const std::string list = std::string(TemplateWindows(template_id)) + " list";
  if (basis == Basis::kProfilesFolder) return no_version + ", the " + list + " by its profiles folder";
  std::string text = (basis == Basis::kKernel ? no_version + "; its kernel's version " : "version ") +
                     std::to_string(version.major) + "." + std::to_string(version.minor);
  if (version.build) text += " (build " + std::to_string(version.build) + ")";
  return text + (IsWindows11(version) ? ", Windows 11, the " : ", ") + list;
}

std::string ListChoice::ReportLine() const {
  if (!IsWindows11(version)) return "";
  return "Windows 11 (build " + std::to_string(version.build) + ") gets the " + TemplateWindows(template_id) +
         " list.\r\n";
}

ListChoice ChooseRunningList(Platform& platform) {
  ListChoice out;
  if (platform.GetWindowsVersion(out.version) && out.version.major >= 5) {
    out.template_id = TemplateForVersion(out.version.major, out.version.minor);
    return out;
  }
  out.version = {};
  out.basis = ListChoice::Basis::kProfilesFolder;
  out.no_version = "version unreadable";
  std::string profiles;
  out.template_id = TemplateByProfilesFolder(platform.GetProfilesDirectory(profiles) ? profiles : "");
  return out;
}

ListChoice ChooseOfflineList(Platform& platform, const std::string& folder) {
  ListChoice out;
  // Before anything is made or loaded: without them no hive loads.
  if (const std::int32_t status = platform.EnableHivePrivileges()) {
    out.error = "The privileges to load a registry hive could not be enabled: " + platform.ErrorText(status) +
                ". Nothing was changed.";
    out.needs_administrator = true;
    return out;
  }
  ReadSoftwareVersion(platform, folder, out);
  if (!out.error.empty()) return out;
  Bytes kernel;
  if (out.no_version.empty()) {
    out.basis = ListChoice::Basis::kVersion;
  } else if (platform.ReadWholeFile(TrimmedFolder(folder) + "\\System32\\ntoskrnl.exe", kernel) &&
             FileVersion(kernel, out.version) && out.version.major >= 5) {
    out.basis = ListChoice::Basis::kKernel;
  } else {
    out.version = {};
    out.basis = ListChoice::Basis::kProfilesFolder;
    const std::string users = TrimmedFolder(folder).substr(0, 3) + "Users";
    out.template_id = TemplateByProfilesFolder(platform.GetPathKind(users) == PathKind::kFolder ? users : "");
    return out;
  }
  out.template_id = TemplateForVersion(out.version.major, out.version.minor);
  return out;
}

bool FileVersion(const Bytes& file, WindowsVersion& version) {
  // VS_FIXEDFILEINFO: its signature, the structure's version, then the file's
  // and the product's version, each as two DWORDs.
  constexpr std::uint32_t kSignature = 0xFEEF04BD;
  for (std::size_t at = 0; at + 24 <= file.size(); at += 4) {
    if (Le32(file, at) != kSignature || Le32(file, at + 4) > 0x0001FFFF) continue;
    const std::uint32_t high = Le32(file, at + 16), low = Le32(file, at + 20);
    version = {high >> 16, high & 0xFFFF, low >> 16};
    return true;
  }
  return false;
}

}  // namespace veltrik
