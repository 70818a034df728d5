#include "repair/fix.h"


#include "repair/reg_file.h"

namespace veltrik {

namespace {
constexpr const char* kPolicyValues[] = {
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools",
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools",
};
constexpr int kPasses = 2;
constexpr const char* kBootMenuCommands[] = {
    "bcdedit /set {current} bootmenupolicy legacy",
    "bcdedit /set {current} onetimeadvancedoptions on",
};
}  // namespace

int TemplateForVersion(std::uint32_t major, std::uint32_t minor) {
  if (major <= 5) return kTemplateXp;
  if (major == 6 && minor <= 3) return minor == 0 ? kTemplateVista : minor == 1 ? kTemplateWin7 : kTemplateWin8;
  return kTemplateWin10;
}

int ChooseTemplate(Platform& platform) {
  std::uint32_t major = 0, minor = 0;
  if (platform.GetWindowsVersion(major, minor) && major >= 5) return TemplateForVersion(major, minor);
  std::string profiles;
  return TemplateByProfilesFolder(platform.GetProfilesDirectory(profiles) ? profiles : "");
}

int TemplateByProfilesFolder(const std::string& profiles) {
  const std::string probe = profiles + "\\";
  return probe.size() >= 9 && AsciiLower(probe.substr(2, 7)) == "\\users\\" ? kTemplateVista : kTemplateXp;
}

std::string ImportCommand(const std::string& win_dir, int template_id) {
  const std::string path = win_dir + RegFileName(template_id);
  return "regedit -s " + (path.find(' ') == std::string::npos ? path : "\"" + path + "\"");
}

BranchCheck FixSafeMode(Platform& platform, const std::string& strWinDir, const SafeBootTemplate& stored) {
  auto shell = platform.CreateObject("WScript.Shell");
  BuildRegFile(platform, stored, strWinDir);
  const std::string import = ImportCommand(strWinDir, stored.id);
  for (int pass = 0; pass < kPasses; ++pass) {
    if (shell) {
      for (const char* value : kPolicyValues) shell->RegWrite(value, 0, "REG_DWORD");
    }
    // Waiting keeps the restart from cutting an import short.
    if (auto process = platform.LaunchCommand(import, WindowStyle::kMinimized)) {
      platform.WaitForProcess(*process, kImportTimeoutMs);
    }
  }
  // Removed only now, so that both passes import the same complete file.
  platform.RemoveFile(strWinDir + RegFileName(stored.id));
  // The importer's exit says nothing about what it imported (it may be
  // hijacked, or the .reg name blocked): only the registry itself does.
  return CompleteBranch(platform, stored);
}

bool PrepareBootMenu(Platform& platform) {
  std::uint32_t major = 0, minor = 0;
  if (!platform.GetWindowsVersion(major, minor) || major < 6 || (major == 6 && minor < 2)) return true;
  bool all = true;
  for (const char* command : kBootMenuCommands) {
    const auto process = platform.LaunchCommand(command, WindowStyle::kHidden);
    const auto exit_code = process ? platform.WaitForProcess(*process, kBootMenuTimeoutMs) : std::nullopt;
    all &= exit_code == 0u;
  }
  return all;
}

bool Restart(Platform& platform, const char* command) {
  return platform.LaunchCommand(command, WindowStyle::kMinimized) || platform.RestartSystem();
}

std::string BootOptionsMessage(const std::string& nl) {
  return "Safe Mode is repaired. Windows now restarts into a screen of boot options." + nl + nl +
         "There choose Troubleshoot, Advanced options, Startup Settings, Restart, and then press 4 to start in "
         "Safe Mode." + nl;
}

std::string RepairFailureMessage(const BranchCheck& check, const std::string& error_text, const std::string& nl) {
  std::string text = "Safe Mode was NOT repaired, and the computer was not restarted." + nl + nl;
  if (check.total == 0) {
    text += "The stored copy of the SafeBoot branch could not be read." + nl;
  } else {
    text += std::to_string(check.missing) + " of " + std::to_string(check.total) + " entries of the SafeBoot branch (" +
            check.windows + " list) are missing." + nl + "First missing key: " + check.first_missing + nl;
  }
  if (!error_text.empty()) text += "Reason: " + error_text + nl;
  return text + nl + "What to try: run Veltrik as administrator (right-click it, \"Run as administrator\"), " +
         "and let your security software allow the change, then click FIX again." + nl;
}

}  // namespace veltrik
