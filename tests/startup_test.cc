#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/form.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

struct PathCase {
  std::string system_directory;
  bool query_fails;
  std::string sys_dir, sys_drive, win_dir;
  int count;
  friend void PrintTo(const PathCase& c, std::ostream* os) {
    if (c.query_fails) {
      *os << "failed query";
    } else if (c.system_directory.size() > 40) {
      *os << c.system_directory.size() << " characters";
    } else {
      *os << c.system_directory;
    }
  }
};

class DerivePathsTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DerivePathsTest, DerivesDriveAndWindowsDirectory) {
  const PathCase& c = GetParam();
  FakePlatform fake;
  fake.system_directory = c.system_directory;
  if (c.query_fails) fake.Fail("GetSystemDirectoryA");
  WindowState state;
  DerivePaths(fake, state);
  EXPECT_EQ(state.strSysDir, c.sys_dir);
  EXPECT_EQ(state.strSysDrive, c.sys_drive);
  EXPECT_EQ(state.strWinDir, c.win_dir);
  EXPECT_EQ(state.lngSysDirLen, c.count);
}

const std::string k254(254, 'x');
const std::string k255(255, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, DerivePathsTest,
    ::testing::Values(PathCase{"C:\\WINDOWS\\system32", false, "C:\\WINDOWS\\system32\\", "C:\\", "C:\\WINDOWS\\", 19},
                      PathCase{"D:\\Windows\\System32", false, "D:\\Windows\\System32\\", "D:\\", "D:\\Windows\\", 19},
                      // The Windows folder itself, not the first 11 characters of the path.
                      PathCase{"C:\\WINNT\\system32", false, "C:\\WINNT\\system32\\", "C:\\", "C:\\WINNT\\", 17},
                      PathCase{"", true, "\\", "\\", "\\", 0}, PathCase{"C:", false, "C:\\", "C:\\", "C:\\", 2},
                      PathCase{"C", false, "C\\", "C\\", "C\\", 1},
                      PathCase{"C:\\system32", false, "C:\\system32\\", "C:\\", "C:\\system32\\", 11},
                      PathCase{"E:\\" + k254.substr(3), false, "E:\\" + k254.substr(3) + "\\", "E:\\",
                               "E:\\" + k254.substr(3) + "\\", 254},
                      // Too long for the buffer: treated as a failed query, never as spaces.
                      PathCase{"E:\\" + k255.substr(3), false, "\\", "\\", "\\", 0}));

TEST(FormLoadTest, SetsTitleFirstAndOpensDownloadPageMinimisedWithoutFocus) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  EXPECT_EQ(form.state().strAppTitle, "Veltrik v1.1.0.0");
  EXPECT_EQ(form.state().strNewLine, "\r\n");
  EXPECT_THAT(fake.log.front(), "caption Veltrik v1.1.0.0");
  ASSERT_THAT(fake.Only("launch"), ElementsAre(StartsWith("launch 6 ")));
  EXPECT_EQ(fake.Only("launch")[0], "launch 6 " + form.state().strDownloadCmd);
  EXPECT_EQ(fake.shell_objects_alive, 0) << "the shell object is released when discovery ends";
}

TEST(WindowEventsTest, ExitAndCloseEndTheProgram) {
  for (int close_box = 0; close_box < 2; ++close_box) {
    FakePlatform fake;
    frmVeltrik form(fake);
    form.Form_Load();
    if (close_box)
      EXPECT_TRUE(form.Form_Unload());
    else
      form.cmdExit_Click();
    EXPECT_TRUE(fake.ended);
    EXPECT_EQ(fake.log.back(), "end");
  }
}

TEST(WindowEventsTest, HotspotOpensHomePageMaximised) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  fake.log.clear();
  form.Image1_Click();
  EXPECT_THAT(fake.log, ElementsAre("launch 3 " + form.state().strHomeCmd));
}

}  // namespace
}  // namespace veltrik::testing
