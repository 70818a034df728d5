// Which program a command line may start, from an elevated program; what
// the program's own arguments ask for.
#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"
#include "platform/command_line.h"
#include "tests/fake_platform.h"

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

TEST(ParseArgumentsTest, KnowsItsSwitchesAndNothingElse) {
  using Args = std::vector<std::string>;
  // clang-format off
  for (auto [args, action, restart] : {std::tuple{Args{}, Action::kWindow, true}, {{"/check"}, Action::kCheck, true},
           {{"-CHECK"}, Action::kCheck, true}, {{"/Fix"}, Action::kFix, true}, {{"-fix", "/NoRestart"}, Action::kFix, false},
           {{"/?"}, Action::kUsage, true}, {{"-?"}, Action::kUsage, true}}) {
    // clang-format on
    EXPECT_EQ(std::pair(ParseArguments(args).action, ParseArguments(args).restart), std::pair(action, restart));
  }
  for (const Args& args : {Args{"/bogus"}, {"check"}, {"/"}, {""}, {"/fix", "/fix"}, {"/norestart"}, {"--check"},
                           {"/norestart", "/fix"}, {"/check", "/norestart"}, {"/fix", "/norestart", "x"}, {"/?"}}) {
    FakePlatform fake;
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), args[0] == "/?" ? kExitOk : kExitUsage);
    EXPECT_EQ(fake.output.rfind("Usage: veltrik.exe [/check | /fix [/norestart]]\r\n", 0), 0u);
    EXPECT_TRUE(fake.log.empty()) << ::testing::PrintToString(args) << ": nothing written or started";
  }
}

}  // namespace
}  // namespace veltrik::testing
