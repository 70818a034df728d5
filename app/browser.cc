#include "app/browser.h"

#include "app/constants.h"

namespace veltrik {

namespace {
constexpr char kClientsKey[] = "Software\\Clients\\StartMenuInternet\\";
constexpr char kDownloadPath[] = "modules/mydownloads/singlefile.php?cid=2&lid=";
constexpr char kDownloadItem[] = "1";
}  // namespace

void GetActiveBrowser(Platform& platform, WindowState& state) {
  std::string name;
  std::string command;
  if (auto shell = platform.CreateObject("WScript.Shell")) {
    shell->RegRead(std::string("HKCU\\") + kClientsKey, name);
    if (name.empty()) shell->RegRead(std::string("HKLM\\") + kClientsKey, name);
    // The command is always taken from the machine hive, whichever hive named the client.
    shell->RegRead(std::string("HKLM\\") + kClientsKey + name + "\\shell\\open\\command\\", command);
  }

  const std::string host = std::string("http://") + kMakerWebHost + "/";
  std::string base;
  if (command.empty() || name.empty()) {
    // Quoted, so that the system cannot start a planted C:\Program.exe instead.
    state.strHomeCmd = "\"" + state.strSysDrive + "Program Files\\Internet Explorer\\iexplore\" " + host;
    base = state.strHomeCmd + kDownloadPath;
  } else {
    base = command + " " + host + kDownloadPath;
    state.strHomeCmd = command + " " + host;
  }
  state.strDownloadCmd = base + kDownloadItem;
}

}  // namespace veltrik
