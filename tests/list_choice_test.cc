// Which Windows' list a repair uses: the running Windows' by its version, an installed one's by its SOFTWARE
// hive, else its kernel, else its profiles folder; said the same way in the report and the record.
#include "app/commands.h"
#include "repair/list_choice.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::IsEmpty;
using Keys = FakePlatform::Keys;

TEST(ListChoiceTest, TheRunningWindowsOrAnInstalledOnesOwnByItsSoftwareHiveElseItsKernelElseItsProfiles) {
  const std::map<std::string, int> kLists = {{"XP", kTemplateXp}, {"Vista", kTemplateVista}, {"7", kTemplateWin7},
                                             {"8", kTemplateWin8}, {"10", kTemplateWin10}};
  // VS_FIXEDFILEINFO of 10.0.19041 within a program file, as ntoskrnl.exe carries it; and one with no version.
  const Bytes kKernel = {'M', 'Z', 0, 0, 0xBD, 0x04, 0xEF, 0xFE, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0,
                         0, 0, 10, 0, 0, 0, 0x61, 0x4A};
  const Bytes kNoResource = {'M', 'Z', 0, 0, 0xBD, 0x04, 0xEF, 0xFF, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0};
  for (const auto& row : Rows("lists")) {
    ASSERT_EQ(row.size(), 5u);
    FakePlatform fake;
    unsigned major = 0, minor = 0, build = 0;
    if (row[0] == "running") {
      std::sscanf(row[1].c_str(), "%u.%u.%u", &major, &minor, &build);
      fake.version = {major, minor, build};
      if (row[1] == "!") fake.Fail(Op::kGetWindowsVersion);
      fake.profiles_directory = row[2];
      if (row[2] == "!") fake.Fail(Op::kGetProfilesDirectory);
      const ListChoice choice = ChooseRunningList(fake);
      EXPECT_EQ(choice.template_id, kLists.at(row[3])) << row[1] << " " << row[2];
      EXPECT_TRUE(row[4].empty() || choice.Describe() == row[4]) << choice.Describe();
      continue;
    }
    char current[8] = "";
    std::sscanf(row[1].c_str(), "%7s %u %u", current, &major, &build);
    const std::string build_text = std::to_string(build);
    fake.version = {10, 0};  // the recovery environment's own
    const char* version = row[1].empty() ? nullptr : current;
    Install(fake, row[1] == "none" ? Keys{} : Software(version, major, build ? build_text.c_str() : nullptr));
    if (row[2] == "1") fake.folders.insert(std::string("D:\\Users"));
    const Bytes& kernel = row[3] == "no version" ? kNoResource : kKernel;
    if (!row[3].empty()) fake.files["D:\\Windows\\System32\\ntoskrnl.exe"] = kernel;
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows\\"})), kExitNotRepaired);
    EXPECT_EQ(fake.output.substr(0, fake.output.find("\r\n")),
              "Installed Windows: D:\\Windows (" + row[4] + "), control set ControlSet002");
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
