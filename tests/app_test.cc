// The window's logic: paths at start, browser discovery and the About text.
// (Launch styles, clicks and ending the program are proven under Wine.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/browser.h"
#include "app/form.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(DerivePathsTest, DerivesDriveAndWindowsDirectory) {
  const std::string kLong = "E:\\" + std::string(251, 'x');  // 254 characters: the longest that fits
  // system directory ("!" for a failed query), then what is derived from it
  using S = std::string;
  for (auto [system_directory, sys_dir, sys_drive, win_dir, count] : {
         std::tuple<S, S, S, S, int>{"C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\", "C:\\", "C:\\WINDOWS\\", 19},
         // The Windows folder itself, not the first 11 characters of the path.
         {"D:\\WINNT\\system32", "D:\\WINNT\\system32\\", "D:\\", "D:\\WINNT\\", 17}, {"!", "\\", "\\", "\\", 0},
         {"C", "C\\", "C\\", "C\\", 1}, {"C:\\system32", "C:\\system32\\", "C:\\", "C:\\system32\\", 11},
         {kLong, kLong + "\\", "E:\\", kLong + "\\", 254},
         {kLong + "x", "\\", "\\", "\\", 0}}) {  // too long for the buffer: a failed query, never 255 spaces
    FakePlatform fake;
    fake.system_directory = system_directory;
    if (system_directory == "!") fake.Fail("GetSystemDirectoryA");
    WindowState state;
    DerivePaths(fake, state);
    EXPECT_EQ(std::tie(state.strSysDir, state.strSysDrive, state.strWinDir, state.lngSysDirLen),
              std::tie(sys_dir, sys_drive, win_dir, count)) << system_directory.substr(0, 30);
  }
}

const std::string kUser = Fold("HKCU\\Software\\Clients\\StartMenuInternet\\");
const std::string kMachine = Fold("HKLM\\Software\\Clients\\StartMenuInternet\\");
std::string Command(const std::string& name) { return kMachine + Fold(name) + "\\shell\\open\\command\\"; }
const std::string kHome = "http://www.morvane-software.example/";
const std::string kDownload = kHome + "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIe = "\"C:\\Program Files\\Internet Explorer\\iexplore\"";

TEST(BrowserTest, BuildsBothLinksFromTheRegisteredCommand) {
  const std::string kFox = "\"C:\\Program Files\\Fox\\fox.exe\"";
  using Registry = std::map<std::string, std::string>;
  // what, the shell object's view of the registry, an operation that fails, the browser started, the system drive
  for (auto [what, registry, fail, browser, drive] : {
         std::tuple{"user hive names a client of the machine hive", Registry{{kUser, "FOX"}, {Command("fox"), kFox}},
                    "", kFox, "C:\\"},
         {"machine name when the user names none", {{kMachine, "fox"}, {Command("fox"), kFox}}, "", kFox, "C:\\"},
         {"empty user name falls through", {{kUser, ""}, {kMachine, "fox"}, {Command("fox"), kFox}}, "", kFox, "C:\\"},
         {"user name wins even without a command", {{kUser, "ghost"}, {kMachine, "fox"}, {Command("fox"), kFox}}, "",
          kIe, "C:\\"},
         {"a name of blanks is not empty",
          {{kUser, "  "}, {kMachine, "fox"}, {Command("fox"), kFox}, {Command("  "), "blank.exe"}}, "", "blank.exe", "C:\\"},
         {"a name with an empty command", {{kMachine, "fox"}, {Command("fox"), ""}}, "", kIe, "C:\\"},
         {"no browser at all", {}, "", kIe, "C:\\"},
         {"no shell object", {{kUser, "fox"}, {Command("fox"), kFox}}, "CreateObject", kIe, "C:\\"},
         {"reads fail", {{kUser, "fox"}, {Command("fox"), kFox}}, "RegRead", kIe, "C:\\"},
         {"fallback on the system drive", {}, "", "\"D:\\Program Files\\Internet Explorer\\iexplore\"", "D:\\"}}) {
    FakePlatform fake;
    fake.registry = registry;
    if (*fail) fake.Fail(fail);
    WindowState state;
    state.strSysDrive = drive;
    GetActiveBrowser(fake, state);
    EXPECT_EQ(std::tie(state.strHomeCmd, state.strDownloadCmd),
              std::make_tuple(browser + " " + kHome, browser + " " + kDownload)) << what;
    EXPECT_EQ(fake.shell_objects_alive, 0) << what;
  }
}

// Pages open as the user, never with the program's rights (any other launch
// would show in the log); where the desktop shell cannot open them, nothing
// else is started and the window works on.
TEST(FormTest, PagesOpenAsTheUserAndTheAboutBoxShowsBeforeItsPage) {
  const std::string box = "msgbox 64 [Veltrik v1.1.0.0] Veltrik v1.1.0.0\r\nwww.morvane-software.example\r\n\r\nThis "
                          "program is free to use and to pass on unchanged.\r\n";
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
    std::erase_if(fake.log, [](const std::string& line) { return line.starts_with("caption"); });
    for (std::string& line : fake.log) {  // the box's terms in between
      if (line.starts_with(box) && line.ends_with("fine Software;\r\n\r\nQVT - Morvane Antiviral Toolkit\r\n")) line = "box";
    }
    std::vector<std::string> expected = {page(6, kDownload), "box", page(3, kDownload), "box", page(3, kDownload),
                                         page(3, kHome)};
    std::erase(expected, "");
    EXPECT_EQ(fake.log, expected) << "refused: " << refused;
  }
}

}  // namespace
}  // namespace veltrik::testing
