// The browser the pages open in: the user's registered one, else Internet Explorer on the system drive.
#include "app/browser.h"
#include "app/constants.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kUser = "HKCU\\Software\\Clients\\StartMenuInternet\\";
const std::string kMachine = "HKLM\\Software\\Clients\\StartMenuInternet\\";
std::string Command(const std::string& name) { return kMachine + name + "\\shell\\open\\command\\"; }
const std::string kHome = "http://" + std::string(kMakerWebHost) + "/";
const std::string kDownload = kHome + "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIe = "\"C:\\Program Files\\Internet Explorer\\iexplore\"";

TEST(BrowserTest, BuildsBothLinksFromTheRegisteredCommand) {
  const std::string kFox = "\"C:\\Program Files\\Fox\\fox.exe\"";
  using Registry = NoCaseMap<std::string>;
  const std::optional<Op> kNone;
  // what, the shell object's view of the registry, an operation that fails, the browser started, the system drive
  for (auto [what, registry, fail, browser, drive] : {
         std::tuple{"user hive names a client of the machine hive", Registry{{kUser, "FOX"}, {Command("fox"), kFox}},
                    kNone, kFox, "C:\\"},
         {"machine name when the user names none", {{kMachine, "fox"}, {Command("fox"), kFox}}, kNone, kFox, "C:\\"},
         {"empty user name falls through", {{kUser, ""}, {kMachine, "fox"}, {Command("fox"), kFox}}, kNone, kFox, "C:\\"},
         {"user name wins even without a command", {{kUser, "ghost"}, {kMachine, "fox"}, {Command("fox"), kFox}}, kNone,
          kIe, "C:\\"},
         {"a name of blanks is not empty",
          {{kUser, "  "}, {kMachine, "fox"}, {Command("fox"), kFox}, {Command("  "), "blank.exe"}}, kNone, "blank.exe",
          "C:\\"},
         {"a name with an empty command", {{kMachine, "fox"}, {Command("fox"), ""}}, kNone, kIe, "C:\\"},
         {"no browser at all", {}, kNone, kIe, "C:\\"},
         {"no shell object", {{kUser, "fox"}, {Command("fox"), kFox}}, std::optional(Op::kCreateObject), kIe, "C:\\"},
         {"reads fail", {{kUser, "fox"}, {Command("fox"), kFox}}, std::optional(Op::kRegRead), kIe, "C:\\"},
         {"fallback on the system drive", {}, kNone, "\"D:\\Program Files\\Internet Explorer\\iexplore\"", "D:\\"}}) {
    FakePlatform fake;
    fake.registry = registry;
    if (fail) fake.Fail(*fail);
    WindowState state;
    state.strSysDrive = drive;
    GetActiveBrowser(fake, state);
    EXPECT_EQ(std::tie(state.strHomeCmd, state.strDownloadCmd),
              std::make_tuple(browser + " " + kHome, browser + " " + kDownload)) << what;
    EXPECT_EQ(fake.shell_objects_alive, 0) << what;
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
