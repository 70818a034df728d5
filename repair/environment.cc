#include "repair/environment.h"

#include "repair/branch.h"
#include "repair/hive.h"

namespace veltrik {

Environment DetectEnvironment(Platform& platform, const std::string& running_win_dir) {
  if (!KeyExists(platform, kMiniNtKey)) return Environment::kInstalledWindows;
  std::uint32_t setup = 0;
  const bool in_setup =
      ReadNumber(platform, "HKEY_LOCAL_MACHINE\\SYSTEM\\Setup", "SystemSetupInProgress", setup) && setup == 1;
  const bool ram_drive = AsciiLower(running_win_dir.substr(0, 2)) == "x:";
  return in_setup || ram_drive ? Environment::kRecovery : Environment::kPlantedMiniNt;
}

std::string EnvironmentFinding(Environment environment) {
  if (environment != Environment::kPlantedMiniNt) return "";
  return "Look at this: " + std::string(kMiniNtKey) +
         " is present, which marks a recovery environment, but this is a running Windows: it may have been "
         "planted. Veltrik left it as it is.\r\n";
}

}  // namespace veltrik
