#include <gtest/gtest.h>

#include <set>

#include "platform/command_line.h"

namespace veltrik::testing {
namespace {

const std::vector<std::string> kFolders = {"C:\\WINDOWS\\system32", "C:\\WINDOWS"};

struct LaunchCase {
  const char* what;
  std::string command_line;
  std::set<std::string> files;
  bool refused;
  std::string application, result;
  friend void PrintTo(const LaunchCase& c, std::ostream* os) { *os << c.what; }
};

class ResolveCommandLineTest : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(ResolveCommandLineTest, StartsOnlyWhatItShould) {
  const LaunchCase& c = GetParam();
  const auto resolved =
      ResolveCommandLine(c.command_line, kFolders, [&](const std::string& path) { return c.files.count(path) != 0; });
  ASSERT_EQ(!resolved, c.refused);
  if (resolved) {
    EXPECT_EQ(resolved->application, c.application);
    EXPECT_EQ(resolved->command_line, c.result);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ResolveCommandLineTest,
                         ::testing::Values(LaunchCase{"bare name from the system folder first",
                                                      "shutdown -r -f -t 0",
                                                      {"C:\\WINDOWS\\system32\\shutdown.exe",
                                                       "C:\\WINDOWS\\shutdown.exe"},
                                                      false,
                                                      "C:\\WINDOWS\\system32\\shutdown.exe",
                                                      "\"C:\\WINDOWS\\system32\\shutdown.exe\" -r -f -t 0"},
                                           LaunchCase{"bare name from the Windows folder next",
                                                      "regedit -s \"C:\\Win Dows\\svcas.reg\"",
                                                      {"C:\\WINDOWS\\regedit.exe"},
                                                      false,
                                                      "C:\\WINDOWS\\regedit.exe",
                                                      "\"C:\\WINDOWS\\regedit.exe\" -s \"C:\\Win Dows\\svcas.reg\""},
                                           LaunchCase{"bare name with its extension",
                                                      "regedit.exe",
                                                      {"C:\\WINDOWS\\regedit.exe"},
                                                      false,
                                                      "C:\\WINDOWS\\regedit.exe",
                                                      "\"C:\\WINDOWS\\regedit.exe\""},
                                           LaunchCase{"bare name found nowhere else is refused",
                                                      "regedit -s x.reg",
                                                      {"regedit.exe", "C:\\dl\\regedit.exe"},
                                                      true,
                                                      "",
                                                      ""},
                                           LaunchCase{"quoted command unchanged",
                                                      "\"C:\\Fox\\fox.exe\" http://h/",
                                                      {},
                                                      false,
                                                      "",
                                                      "\"C:\\Fox\\fox.exe\" http://h/"},
                                           LaunchCase{"unquoted path: the longest existing prefix wins",
                                                      "C:\\Program Files\\Fox Browser\\fox.exe -new http://h/",
                                                      {"C:\\Program.exe", "C:\\Program Files\\Fox.exe",
                                                       "C:\\Program Files\\Fox Browser\\fox.exe"},
                                                      false,
                                                      "C:\\Program Files\\Fox Browser\\fox.exe",
                                                      "\"C:\\Program Files\\Fox Browser\\fox.exe\" -new http://h/"},
                                           LaunchCase{"unquoted path without extension",
                                                      "C:\\Program Files\\Fox\\fox http://h/",
                                                      {"C:\\Program Files\\Fox\\fox.exe"},
                                                      false,
                                                      "C:\\Program Files\\Fox\\fox.exe",
                                                      "\"C:\\Program Files\\Fox\\fox.exe\" http://h/"},
                                           LaunchCase{"path naming no file passes unchanged",
                                                      "C:\\Gone\\fox.exe http://h/",
                                                      {},
                                                      false,
                                                      "",
                                                      "C:\\Gone\\fox.exe http://h/"},
                                           LaunchCase{"empty passes unchanged", "", {}, false, "", ""}));

}  // namespace
}  // namespace veltrik::testing
