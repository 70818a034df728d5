// Which program a command line may start, from an elevated program.
#include <gtest/gtest.h>

#include <set>

#include "platform/command_line.h"

namespace veltrik::testing {
namespace {

struct LaunchCase {
  const char* what;
  std::string command_line;
  std::set<std::string> files;
  std::string application, result;  // "!" for refused
  friend void PrintTo(const LaunchCase& c, std::ostream* os) { *os << c.what; }
};

class ResolveCommandLineTest : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(ResolveCommandLineTest, StartsOnlyWhatItShould) {
  const LaunchCase& c = GetParam();
  const auto resolved = ResolveCommandLine(c.command_line, {"C:\\WINDOWS\\system32", "C:\\WINDOWS"},
                                           [&](const std::string& path) { return c.files.count(path) != 0; });
  ASSERT_EQ(!resolved, c.result == "!");
  if (resolved) {
    EXPECT_EQ(resolved->application, c.application);
    EXPECT_EQ(resolved->command_line, c.result);
  }
}

const std::string kSys = "C:\\WINDOWS\\system32\\", kWin = "C:\\WINDOWS\\";
const std::string kFox = "C:\\Program Files\\Fox Browser\\fox";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, ResolveCommandLineTest,
    ::testing::Values(
        LaunchCase{"bare name: the system folder first", "shutdown -r", {kSys + "shutdown.exe", kWin + "shutdown.exe"},
                   kSys + "shutdown.exe", "\"" + kSys + "shutdown.exe\" -r"},
        LaunchCase{"bare name: the Windows folder next", "regedit -s \"C:\\W s\\a.reg\"", {kWin + "regedit.exe"},
                   kWin + "regedit.exe", "\"" + kWin + "regedit.exe\" -s \"C:\\W s\\a.reg\""},
        LaunchCase{"bare name with its extension", "regedit.exe", {kWin + "regedit.exe"}, kWin + "regedit.exe",
                   "\"" + kWin + "regedit.exe\""},
        LaunchCase{"bare name found nowhere else is refused", "regedit -s x", {"regedit.exe", "C:\\dl\\regedit.exe"},
                   "", "!"},
        LaunchCase{"quoted command unchanged", "\"C:\\F\\fox.exe\" http://h/", {}, "", "\"C:\\F\\fox.exe\" http://h/"},
        LaunchCase{"unquoted path: the longest existing prefix",
                   kFox + ".exe -new http://h/",
                   {"C:\\Program.exe", "C:\\Program Files\\Fox.exe", kFox + ".exe"},
                   kFox + ".exe",
                   "\"" + kFox + ".exe\" -new http://h/"},
        LaunchCase{"unquoted path without extension", kFox + " http://h/", {kFox + ".exe"}, kFox + ".exe",
                   "\"" + kFox + ".exe\" http://h/"},
        LaunchCase{"a path naming no file passes unchanged", "C:\\Gone\\f.exe x", {}, "", "C:\\Gone\\f.exe x"},
        LaunchCase{"empty passes unchanged", "", {}, "", ""}));
// clang-format on

}  // namespace
}  // namespace veltrik::testing
