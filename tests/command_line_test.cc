// Which program a command line may start, from an elevated program; what
// the program's own arguments ask for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"
#include "repair/reg_file.h"
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
    // What the desktop shell is handed: the program apart from its arguments, nothing lost.
    const ProgramAndArguments split = SplitCommandLine(c.result);
    if (!c.application.empty()) EXPECT_EQ(split.program, c.application);
    if (c.result.rfind('"', 0) == 0) {
      EXPECT_EQ("\"" + split.program + "\"" + (split.arguments.empty() ? "" : " ") + split.arguments, c.result);
    }
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

TEST(ParseArgumentsTest, TakesItsSwitchesInAnyOrderEachOnce) {
  using Args = std::vector<std::string>;
  // clang-format off
  for (auto [args, action, restart, folder] : {std::tuple{Args{}, Action::kWindow, true, ""},
           {{"/check"}, Action::kCheck, true, ""}, {{"-CHECK"}, Action::kCheck, true, ""},
           {{"/Fix"}, Action::kFix, true, ""}, {{"-fix", "/NoRestart"}, Action::kFix, false, ""},
           {{"/norestart", "/fix"}, Action::kFix, false, ""}, {{"-NORESTART", "-Fix"}, Action::kFix, false, ""},
           {{"/?"}, Action::kUsage, true, ""}, {{"-?"}, Action::kUsage, true, ""},
           {{"/check", "/offline", "D:\\Windows"}, Action::kCheck, true, "D:\\Windows"},
           {{"-OFFLINE", "E:\\My Windows\\", "/fix"}, Action::kFix, true, "E:\\My Windows\\"},
           {{"/fix", "/offline", "/x", "/norestart"}, Action::kFix, false, "/x"},
           {{"/offline", "\"D:\\Windows\"", "/check"}, Action::kCheck, true, "D:\\Windows"},
           {{"/fix", "/offline", "D:\\Windows\""}, Action::kFix, true, "D:\\Windows"}}) {
    // clang-format on
    const Command command = ParseArguments(args);
    EXPECT_EQ(std::tuple(command.action, command.restart, command.offline_folder),
              std::tuple(action, restart, std::string(folder)));
  }
  // clang-format off
  for (const Args& args : {Args{"/bogus"}, {"check"}, {"/"}, {""}, {"/fix", "/fix"}, {"/FIX", "-fix"}, {"/norestart"},
                           {"--check"}, {"/check", "/norestart"}, {"/check", "/fix"}, {"/fix", "/norestart", "x"},
                           {"/fix", "/norestart", "-NoRestart"}, {"/?", "/check"}, {"/offline", "D:\\Windows"},
                           {"/fix", "/offline"}, {"/fix", "/offline", "\"\""}, {"/?", "/offline", "D:\\W"},
                           {"/check", "/offline", "D:\\W", "/offline", "E:\\W"}, {"/?"}}) {
    // clang-format on
    FakePlatform fake;
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), args[0] == "/?" && args.size() == 1 ? kExitOk : kExitUsage);
    EXPECT_EQ(fake.output.rfind("Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]\r\n", 0),
              0u);
    EXPECT_TRUE(fake.log.empty()) << ::testing::PrintToString(args) << ": nothing written or started";
  }
}

const std::string kSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\";

struct ForeignCase {
  const char* what;
  std::vector<std::pair<std::string, std::optional<StoredValue>>> keys;  // under SafeBoot; default value, if any
  std::string listed;  // the report after its first line
  friend void PrintTo(const ForeignCase& c, std::ostream* os) { *os << c.what; }
};

class ForeignEntriesTest : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignEntriesTest, AreListedAfterTheStateAndLeftAsTheyAre) {
  FakePlatform fake;
  fake.version = {10, 0};
  for (const RegistryEntry& e : LoadTemplate(fake, 109).entries) {  // as another tool may have spelled them
    fake.keys[Fold(e.key)][e.name.value_or("")] = {e.data, e.type};
  }
  for (const auto& [key, value] : GetParam().keys) {
    auto& values = fake.keys[kSafeBoot + key];
    if (value) values[""] = *value;
  }
  const auto before = fake.keys;
  for (const char* args : {"/check", "/fix"}) {
    fake.output.clear();
    EXPECT_EQ(RunCommand(fake, ParseArguments({args})), kExitOk) << args << ": still whole";
    const std::string first = "SafeBoot branch (Windows 10 list): 236 of 236 entries in place";
    EXPECT_EQ(fake.output.substr(0, first.size()), first);
    EXPECT_EQ(fake.output.substr(fake.output.find("\r\n") + 2),
              GetParam().listed + (args[1] == 'f' ? "Log: E:\\Tools\\Veltrik.log\r\n" : ""));
  }
  EXPECT_TRUE(fake.keys == before && fake.log == std::vector<std::string>{"append E:\\Tools\\Veltrik.log"})
      << "nothing changed, nothing started";
}

const std::optional<StoredValue> kService = StoredValue("Service"), kNoDefault;
const std::string kHeading = "Not in the Windows 10 list (left as they are): ";

ForeignCase Many(int n) {
  ForeignCase c{"150 entries", {}, kHeading + std::to_string(n) + "\r\n"};
  for (int i = 0; i < n; ++i) {
    const std::string name = "Network\\Svc" + std::to_string(1000 + i);  // listed in the order of creation
    c.keys.push_back({name, kService});
    if (i < 100) c.listed += "  " + name + " = Service\r\n";
  }
  c.listed += "  and " + std::to_string(n - 100) + " more\r\n";
  return c;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ForeignEntriesTest,
    ::testing::Values(
        ForeignCase{"none: the list's own entries, spelt otherwise", {}, ""},
        ForeignCase{"two", {{"Minimal\\EvilSvc", kService}, {"Network\\evil.sys", StoredValue("Driver")}},
                    kHeading + "2\r\n  Minimal\\EvilSvc = Service\r\n  Network\\evil.sys = Driver\r\n"},
        ForeignCase{"a name at the registry's limit; a long value cut", {{"Minimal\\" + std::string(255, 'N'),
                                                                          StoredValue(std::string(300, 'v'))}},
                    kHeading + "1\r\n  Minimal\\" + std::string(255, 'N') + " = " + std::string(255, 'v') +
                        "... (300 bytes)\r\n"},
        ForeignCase{"control characters", {{"Minimal\\Evil\r\nSafeBoot branch: whole\t", StoredValue("a\x1b[2J\x7f")}},
                    kHeading + "1\r\n  Minimal\\Evil\\x0D\\x0ASafeBoot branch: whole\\x09 = a\\x1B[2J\\x7F\r\n"},
        ForeignCase{"outside ASCII",
                    {{"Minimal\\Dienst\xC3\xBC\xE2\x80\xAE" "exe.gpj", StoredValue("\xD0\xA1\xC2\x85\xFF")}},
                    kHeading + "1\r\n  Minimal\\Dienst\xC3\xBC\\u202Eexe.gpj = \xD0\xA1\\u0085\\xFF\r\n"},
        ForeignCase{"values that are not strings, and none",
                    {{"Minimal\\Number", StoredValue("7", ValueType::kDword)}, {"Minimal\\Bare", kNoDefault},
                     {"Minimal\\Blob", StoredValue("", ValueType{3})}, {"Minimal\\Empty", StoredValue("")}},
                    kHeading + "4\r\n  Minimal\\Bare (no default value)\r\n"
                        "  Minimal\\Blob = (not a string: REG_BINARY)\r\n  Minimal\\Empty = (empty string)\r\n"
                        "  Minimal\\Number = (not a string: REG_DWORD 7)\r\n"},
        Many(150)));
// clang-format on

TEST(CheckTest, OnWindows10TheVistaListIsNotWhole) {
  FakePlatform fake;
  fake.version = {10, 0};
  for (const RegistryEntry& e : LoadTemplate(fake, 106).entries) fake.keys[e.key][e.name.value_or("")] = e.data;
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
  EXPECT_THAT(fake.output, ::testing::StartsWith("SafeBoot branch (Windows 10 list): not whole; 82 of 236 entries "
                                                 "missing; first missing: " + kSafeBoot + "Minimal\\Ahcache.sys\r\n"
                                                 "Not in the Windows 10 list (left as they are): "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("  Minimal\\vga.sys = Driver\r\n"));
}

}  // namespace
}  // namespace veltrik::testing
