// The browser the pages open in: the user's registered one, else Internet Explorer on the system drive.
#include "app/browser.h"
#include "app/constants.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kUser = "HKCU\\Software\\Clients\\StartMenuInternet\\";
std::string Command(const std::string& name) {
  return "HKLM\\Software\\Clients\\StartMenuInternet\\" + name + "\\shell\\open\\command\\";
}
const std::string kHome = "http://" + std::string(kMakerWebHost) + "/";
const std::string kDownload = kHome + "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIe = "\"C:\\Program Files\\Internet Explorer\\iexplore\"";

TEST(BrowserTest, BuildsBothLinksFromTheRegisteredCommand) {
  for (const auto& row : Rows("browsers")) {
    ASSERT_EQ(row.size(), 5u);
    FakePlatform fake;
    for (const std::string& item : Items(row[1])) {
      fake.registry[item.substr(0, item.find(" = "))] = item.substr(item.find(" = ") + 3);
    }
    if (!row[2].empty()) fake.FailNamed(row[2]);
    WindowState state;
    state.strSysDrive = row[4];
    GetActiveBrowser(fake, state);
    EXPECT_EQ(std::tie(state.strHomeCmd, state.strDownloadCmd),
              std::make_tuple(row[3] + " " + kHome, row[3] + " " + kDownload)) << row[0];
    EXPECT_EQ(fake.shell_objects_alive, 0) << row[0];
  }
}

TEST(BrowserTest, AnyRegisteredNameOrCommandStartsTheLinks) {
  std::mt19937 rng(1);
  for (int round = 0; round < 400; ++round) {
    FakePlatform fake;
    const std::string name = RandomText(rng, round % 10 == 0 ? 4000 : 40), command = RandomText(rng, 60);
    fake.registry[kUser] = name;
    fake.registry[Command(name)] = command;
    WindowState state;
    state.strSysDrive = "C:\\";
    GetActiveBrowser(fake, state);
    EXPECT_EQ(state.strDownloadCmd.rfind(name.empty() || command.empty() ? kIe + " " : command + " ", 0), 0u);
  }
}

}  // namespace
}  // namespace veltrik::testing
