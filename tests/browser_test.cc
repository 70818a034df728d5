#include "app/browser.h"

#include <gtest/gtest.h>

#include "app/constants.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kUserClient = Fold("HKCU\\Software\\Clients\\StartMenuInternet\\");
const std::string kMachineClient = Fold("HKLM\\Software\\Clients\\StartMenuInternet\\");
std::string CommandKey(const std::string& name) {
  return Fold("HKLM\\Software\\Clients\\StartMenuInternet\\" + name + "\\shell\\open\\command\\");
}
const std::string kHome = std::string("http://") + kMakerWebHost + "/";
const std::string kDownloadTail = "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIeHome = "\"C:\\Program Files\\Internet Explorer\\iexplore\" " + kHome;
const std::string kIeHome2 = "\"D:\\Program Files\\Internet Explorer\\iexplore\" " + kHome;

struct BrowserCase {
  const char* what;
  std::map<std::string, std::string> registry;
  const char* fail_op;
  std::string home, download;
  std::string drive = "C:\\";
  friend void PrintTo(const BrowserCase& c, std::ostream* os) { *os << c.what; }
};

class BrowserTest : public ::testing::TestWithParam<BrowserCase> {};

TEST_P(BrowserTest, BuildsBothCommandLines) {
  const BrowserCase& c = GetParam();
  FakePlatform fake;
  fake.registry = c.registry;
  if (c.fail_op) fake.Fail(c.fail_op);
  WindowState state;
  state.strSysDrive = c.drive;
  GetActiveBrowser(fake, state);
  EXPECT_EQ(state.strHomeCmd, c.home) << c.what;
  EXPECT_EQ(state.strDownloadCmd, c.download) << c.what;
  EXPECT_EQ(fake.shell_objects_alive, 0);
}

const std::string kFox = "\"C:\\Program Files\\Fox\\fox.exe\"";
const std::string kOpera = "C:\\Opera\\opera.exe";

INSTANTIATE_TEST_SUITE_P(
    Branches, BrowserTest,
    ::testing::Values(BrowserCase{"user hive names a client the machine hive has",
                                  {{kUserClient, "FOX.EXE"}, {CommandKey("fox.exe"), kFox}},
                                  nullptr,
                                  kFox + " " + kHome,
                                  kFox + " " + kHome + kDownloadTail},
                      BrowserCase{"machine hive name used when the user names none",
                                  {{kMachineClient, "opera"}, {CommandKey("opera"), kOpera}},
                                  nullptr,
                                  kOpera + " " + kHome,
                                  kOpera + " " + kHome + kDownloadTail},
                      BrowserCase{"user name wins even when its command is missing",
                                  {{kUserClient, "ghost"}, {kMachineClient, "opera"}, {CommandKey("opera"), kOpera}},
                                  nullptr,
                                  kIeHome,
                                  kIeHome + kDownloadTail},
                      BrowserCase{"no browser at all", {}, nullptr, kIeHome, kIeHome + kDownloadTail},
                      BrowserCase{"empty user name falls through to the machine",
                                  {{kUserClient, ""}, {kMachineClient, "opera"}, {CommandKey("opera"), kOpera}},
                                  nullptr,
                                  kOpera + " " + kHome,
                                  kOpera + " " + kHome + kDownloadTail},
                      BrowserCase{"a name of blanks is not empty",
                                  {{kUserClient, "  "},
                                   {kMachineClient, "opera"},
                                   {CommandKey("opera"), kOpera},
                                   {CommandKey("  "), "blank.exe"}},
                                  nullptr,
                                  "blank.exe " + kHome,
                                  "blank.exe " + kHome + kDownloadTail},
                      BrowserCase{"a name without a command line",
                                  {{kMachineClient, "opera"}, {CommandKey("opera"), ""}},
                                  nullptr,
                                  kIeHome,
                                  kIeHome + kDownloadTail},
                      BrowserCase{"shell object cannot be created",
                                  {{kUserClient, "fox"}, {CommandKey("fox"), kFox}},
                                  "CreateObject",
                                  kIeHome,
                                  kIeHome + kDownloadTail},
                      BrowserCase{"registry reads fail",
                                  {{kUserClient, "fox"}, {CommandKey("fox"), kFox}},
                                  "RegRead",
                                  kIeHome,
                                  kIeHome + kDownloadTail},
                      BrowserCase{
                          "fallback on the system drive", {}, nullptr, kIeHome2, kIeHome2 + kDownloadTail, "D:\\"}));

}  // namespace
}  // namespace veltrik::testing
