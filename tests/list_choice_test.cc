// Which Windows' list a repair uses: the running Windows' by its version, an installed one's by its SOFTWARE
// hive, else its kernel, else its profiles folder; said the same way in the report and the record.
#include "app/commands.h"
#include "repair/list_choice.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::IsEmpty;
using Keys = FakePlatform::Keys;

TEST(ListChoiceTest, TheRunningWindowsListFollowsTheVersionElseTheProfilesFolder) {
  const std::string kByProfiles = "version unreadable, the Windows XP list by its profiles folder";
  const WindowsVersion kUnknown = {};
  struct Case {
    WindowsVersion version;
    const char* profiles = "";
    int id;
    std::string said = "";  // the record's words, where the case is about them
  };
  for (const Case& c : {Case{{5, 1}, "C:\\Users", kTemplateXp, "version 5.1, Windows XP list"},
           {{5, 2}, "C:\\Users", kTemplateXp}, {{6, 0}, "", kTemplateVista}, {{6, 1}, "", kTemplateWin7},
           {{6, 2}, "", kTemplateWin8}, {{6, 3}, "", kTemplateWin8},
           {{10, 0, 19045}, "", kTemplateWin10, "version 10.0 (build 19045), Windows 10 list"},
           {{10, 0, 22631}, "", kTemplateWin10, "version 10.0 (build 22631), Windows 11, the Windows 10 list"},
           {{10, 1}, "", kTemplateWin10}, {{11, 0}, "", kTemplateWin10},
           {kUnknown, "C:\\Users", kTemplateVista, "version unreadable, the Windows Vista list by its profiles folder"},
           {kUnknown, "d:\\USERS\\", kTemplateVista}, {kUnknown, "C:\\Documents and Settings", kTemplateXp, kByProfiles},
           {kUnknown, "C:\\Users2", kTemplateXp}, {kUnknown, "C:\\Profiles\\Users", kTemplateXp},
           {kUnknown, "C", kTemplateXp}, {kUnknown, "!", kTemplateXp}}) {
    FakePlatform fake;
    fake.version = c.version;
    if (c.version.major == 0) fake.Fail(Op::kGetWindowsVersion);
    fake.profiles_directory = c.profiles;
    if (c.profiles == std::string("!")) fake.Fail(Op::kGetProfilesDirectory);
    const ListChoice choice = ChooseRunningList(fake);
    EXPECT_EQ(choice.template_id, c.id) << c.version.major << "." << c.version.minor << " " << c.profiles;
    EXPECT_TRUE(c.said.empty() || choice.Describe() == c.said) << choice.Describe();
  }
}

TEST(ListChoiceTest, AnInstalledWindowsListIsTheInstalledWindowsOwnByItsSoftwareHiveElseItsDrive) {
  const std::string kNoVersion = "no version in its SOFTWARE hive, the Windows ";
  const std::string kNone = "no SOFTWARE hive, the Windows ";
  // VS_FIXEDFILEINFO of 10.0.19041 within a program file, as ntoskrnl.exe carries it.
  const Bytes kKernel = {'M', 'Z', 0, 0, 0xBD, 0x04, 0xEF, 0xFE, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0,
                         0, 0, 10, 0, 0, 0, 0x61, 0x4A};
  const Bytes kNoResource = {'M', 'Z', 0, 0, 0xBD, 0x04, 0xEF, 0xFF, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0};
  for (auto [software, users, kernel, line] : {
         std::tuple{Software("6.3", 10), false, Bytes{}, std::string("version 10.0, Windows 10 list")},
         {Software("6.3", 10, "22631"), false, kKernel, "version 10.0 (build 22631), Windows 11, the Windows 10 list"},
         {Software("6.3"), false, kKernel, "version 6.3, Windows 8.1 list"},
         {Software("6.1"), false, Bytes{}, "version 6.1, Windows 7 list"},
         {Software("5.1"), true, Bytes{}, "version 5.1, Windows XP list"},
         {Software("6.x"), true, Bytes{}, kNoVersion + "Vista list by its profiles folder"},
         {Keys{}, true, Bytes{}, kNone + "Vista list by its profiles folder"},
         // Where SOFTWARE says nothing, the installed Windows' own kernel does.
         {Keys{}, true, kKernel, "no SOFTWARE hive; its kernel's version 10.0 (build 19041), Windows 10 list"},
         {Software(nullptr), true, kKernel, "no version in its SOFTWARE hive; its kernel's version 10.0 (build "
                                            "19041), Windows 10 list"},
         {Keys{}, true, kNoResource, kNone + "Vista list by its profiles folder"},
         {Software(nullptr), false, Bytes{}, kNoVersion + "XP list by its profiles folder"}}) {
    FakePlatform fake;
    fake.version = {10, 0};  // the recovery environment's own
    Install(fake, software);
    if (users) fake.folders.insert(std::string("D:\\Users"));
    if (!kernel.empty()) fake.files["D:\\Windows\\System32\\ntoskrnl.exe"] = kernel;
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows\\"})), kExitNotRepaired);
    const std::string& said = line;
    EXPECT_EQ(fake.output.substr(0, fake.output.find("\r\n")),
              "Installed Windows: D:\\Windows (" + said + "), control set ControlSet002");
    EXPECT_THAT(fake.Only("regset"), IsEmpty());
    ExpectAllUnloaded(fake);
  }
}

TEST(ListChoiceTest, OnWindows11TheVistaListIsNotWhole) {
  FakePlatform fake;
  fake.version = {10, 0, 22631};
  fake.PutList(kTemplateVista);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
  EXPECT_THAT(fake.output, ::testing::StartsWith("SafeBoot branch (Windows 10 list): not whole; 82 of 236 entries "
                                                 "missing; first missing: " + kSafeBoot + "\\Minimal\\Ahcache.sys\r\n"
                                                 "Not in the Windows 10 list (left as they are): "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("  Minimal\\vga.sys = Driver (no service of that name)\r\n"));
  EXPECT_THAT(fake.output, ::testing::EndsWith("Network\\vgasave.sys = Driver (no service of that name)\r\nWindows 11 (build 22631) gets the "
                                               "Windows 10 list.\r\n"));
}

}  // namespace
}  // namespace veltrik::testing
