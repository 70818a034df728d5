#include "repair/fix.h"

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
  bool all = true;
  for (const char* command : kBootMenuCommands) {
    const auto process = platform.LaunchCommand(command, WindowStyle::kHidden);
    const auto exit_code = process ? platform.WaitForProcess(*process, kBootMenuTimeoutMs) : std::nullopt;
    all &= exit_code == 0u;
  }
  return all;
}

}  // namespace veltrik
