// The window's logic: paths at start, browser discovery and the About text.
// (Launch styles, clicks and ending the program are proven under Wine.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/browser.h"
#include "app/form.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

struct PathCase {
  std::string system_directory;  // "!" for a failed query
  std::string sys_dir, sys_drive, win_dir;
  int count;
  friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.system_directory.substr(0, 30); }
};

class DerivePathsTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DerivePathsTest, DerivesDriveAndWindowsDirectory) {
  const PathCase& c = GetParam();
  FakePlatform fake;
  fake.system_directory = c.system_directory;
  if (c.system_directory == "!") fake.Fail("GetSystemDirectoryA");
  WindowState state;
  DerivePaths(fake, state);
  EXPECT_EQ(std::tie(state.strSysDir, state.strSysDrive, state.strWinDir, state.lngSysDirLen),
            std::tie(c.sys_dir, c.sys_drive, c.win_dir, c.count));
}

const std::string kLong = "E:\\" + std::string(251, 'x');  // 254 characters: the longest that fits

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, DerivePathsTest,
    ::testing::Values(PathCase{"C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\", "C:\\", "C:\\WINDOWS\\", 19},
                      // The Windows folder itself, not the first 11 characters of the path.
                      PathCase{"D:\\WINNT\\system32", "D:\\WINNT\\system32\\", "D:\\", "D:\\WINNT\\", 17},
                      PathCase{"!", "\\", "\\", "\\", 0}, PathCase{"C", "C\\", "C\\", "C\\", 1},
                      PathCase{"C:\\system32", "C:\\system32\\", "C:\\", "C:\\system32\\", 11},
                      PathCase{kLong, kLong + "\\", "E:\\", kLong + "\\", 254},
                      // Too long for the buffer: a failed query, never 255 spaces.
                      PathCase{kLong + "x", "\\", "\\", "\\", 0}));
// clang-format on

const std::string kUser = Fold("HKCU\\Software\\Clients\\StartMenuInternet\\");
const std::string kMachine = Fold("HKLM\\Software\\Clients\\StartMenuInternet\\");
std::string Command(const std::string& name) { return kMachine + Fold(name) + "\\shell\\open\\command\\"; }
const std::string kHome = "http://www.morvane-software.example/";
const std::string kDownload = kHome + "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIe = "\"C:\\Program Files\\Internet Explorer\\iexplore\"";
const std::string kFox = "\"C:\\Program Files\\Fox\\fox.exe\"";

struct BrowserCase {
  const char* what;
  std::map<std::string, std::string> registry;
  const char* fail;
  std::string browser;  // the command both links start with
  const char* drive = "C:\\";
  friend void PrintTo(const BrowserCase& c, std::ostream* os) { *os << c.what; }
};

class BrowserTest : public ::testing::TestWithParam<BrowserCase> {};

TEST_P(BrowserTest, BuildsBothLinksFromTheRegisteredCommand) {
  const BrowserCase& c = GetParam();
  FakePlatform fake;
  fake.registry = c.registry;
  if (c.fail) fake.Fail(c.fail);
  WindowState state;
  state.strSysDrive = c.drive;
  GetActiveBrowser(fake, state);
  EXPECT_EQ(state.strHomeCmd, c.browser + " " + kHome);
  EXPECT_EQ(state.strDownloadCmd, c.browser + " " + kDownload);
  EXPECT_EQ(fake.shell_objects_alive, 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Branches, BrowserTest,
    ::testing::Values(
        BrowserCase{"user hive names a client of the machine hive", {{kUser, "FOX"}, {Command("fox"), kFox}}, nullptr,
                    kFox},
        BrowserCase{"machine name when the user names none", {{kMachine, "fox"}, {Command("fox"), kFox}}, nullptr,
                    kFox},
        BrowserCase{"empty user name falls through", {{kUser, ""}, {kMachine, "fox"}, {Command("fox"), kFox}},
                    nullptr, kFox},
        BrowserCase{"user name wins even without a command",
                    {{kUser, "ghost"}, {kMachine, "fox"}, {Command("fox"), kFox}}, nullptr, kIe},
        BrowserCase{"a name of blanks is not empty",
                    {{kUser, "  "}, {kMachine, "fox"}, {Command("fox"), kFox}, {Command("  "), "blank.exe"}}, nullptr,
                    "blank.exe"},
        BrowserCase{"a name with an empty command", {{kMachine, "fox"}, {Command("fox"), ""}}, nullptr, kIe},
        BrowserCase{"no browser at all", {}, nullptr, kIe},
        BrowserCase{"no shell object", {{kUser, "fox"}, {Command("fox"), kFox}}, "CreateObject", kIe},
        BrowserCase{"reads fail", {{kUser, "fox"}, {Command("fox"), kFox}}, "RegRead", kIe},
        BrowserCase{"fallback on the system drive", {}, nullptr, "\"D:\\Program Files\\Internet Explorer\\iexplore\"", "D:\\"}));
// clang-format on

// Pages open as the user, never with the program's rights (any other launch
// would show in the log); where the desktop shell cannot open them, nothing
// else is started and the window works on.
TEST(FormTest, PagesOpenAsTheUserAndTheAboutBoxShowsBeforeItsPage) {
  const std::string box =
      "msgbox 64 [Veltrik v1.1.0.0] Veltrik v1.1.0.0\r\nwww.morvane-software.example\r\n\r\n"
      "This program is free to use and to pass on unchanged.\r\n"
      "It comes without any warranty; you use it at your own risk.\r\n"
      "Copyright (C) Morvane Software. All rights reserved.\r\n\r\n"
      "Safe Mode can be easly repaired by Veltrik.\r\nBut there's other much more problems\r\n"
      "which Veltrik cannot fix!\r\nIf Veltrik helped you to fix Safe Mode\r\n"
      "and you need more fixes to be done\r\nyou may try our fine Software;\r\n\r\n"
      "QVT - Morvane Antiviral Toolkit\r\n";
  for (bool refused : {false, true}) {
    FakePlatform fake;
    if (refused) fake.Fail("LaunchInUserSession");
    frmVeltrik form(fake);
    form.Form_Load();
    form.cmdAbout_Click();
    form.cmdAbout_Click();
    form.Image1_Click();
    const auto page = [&](int style, const std::string& address) {
      return refused ? "" : "user-launch " + std::to_string(style) + " " + kIe + " " + address;
    };
    std::vector<std::string> expected = {page(6, kDownload), box,           page(3, kDownload), box,
                                         page(3, kDownload), page(3, kHome)};
    std::erase(expected, "");
    std::erase_if(fake.log, [](const std::string& line) { return line.rfind("caption", 0) == 0; });
    EXPECT_EQ(fake.log, expected) << "refused: " << refused;
  }
}

}  // namespace
}  // namespace veltrik::testing
