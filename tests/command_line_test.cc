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

TEST(ResolveCommandLineTest, StartsOnlyWhatItShould) {
  const std::string kSys = "C:\\WINDOWS\\system32\\", kWin = "C:\\WINDOWS\\", kFox = "C:\\Program Files\\Fox Browser\\fox";
  using Files = std::set<std::string>;
  // command line, files that exist, program run, command line run ("!" for refused)
  for (auto [command_line, files, application, result] : {
         // Bare names: the system folder first, the Windows folder next, nowhere else.
         std::tuple{std::string("shutdown -r"), Files{kSys + "shutdown.exe", kWin + "shutdown.exe"}, kSys + "shutdown.exe",
                    "\"" + kSys + "shutdown.exe\" -r"},
         {"regedit -s \"C:\\W s\\a.reg\"", {kWin + "regedit.exe"}, kWin + "regedit.exe",
          "\"" + kWin + "regedit.exe\" -s \"C:\\W s\\a.reg\""},
         {"regedit.exe", {kWin + "regedit.exe"}, kWin + "regedit.exe", "\"" + kWin + "regedit.exe\""},
         {"regedit -s x", {"regedit.exe", "C:\\dl\\regedit.exe"}, "", "!"},
         {"\"C:\\F\\fox.exe\" http://h/", {}, "", "\"C:\\F\\fox.exe\" http://h/"},  // quoted: unchanged
         // Unquoted paths: the longest existing prefix, with or without its extension.
         {kFox + ".exe -new http://h/", {"C:\\Program.exe", "C:\\Program Files\\Fox.exe", kFox + ".exe"}, kFox + ".exe",
          "\"" + kFox + ".exe\" -new http://h/"},
         {kFox + " http://h/", {kFox + ".exe"}, kFox + ".exe", "\"" + kFox + ".exe\" http://h/"},
         {"C:\\Gone\\f.exe x", {}, "", "C:\\Gone\\f.exe x"}, {"", {}, "", ""}}) {  // naming no file: unchanged
    const auto resolved = ResolveCommandLine(command_line, {"C:\\WINDOWS\\system32", "C:\\WINDOWS"},
                                             [&](const std::string& path) { return files.count(path) != 0; });
    ASSERT_EQ(!resolved, result == "!") << command_line;
    if (!resolved) continue;
    EXPECT_EQ(std::tie(resolved->application, resolved->command_line), std::tie(application, result));
    // What the desktop shell is handed: the program apart from its arguments, nothing lost.
    const ProgramAndArguments split = SplitCommandLine(result);
    EXPECT_TRUE(application.empty() || split.program == application) << command_line;
    EXPECT_TRUE(!result.starts_with('"') ||
                "\"" + split.program + "\"" + (split.arguments.empty() ? "" : " ") + split.arguments == result);
  }
}

TEST(ParseArgumentsTest, TakesItsSwitchesInAnyOrderEachOnce) {
  using Args = std::vector<std::string>;
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
    const Command command = ParseArguments(args);
    EXPECT_EQ(std::tuple(command.action, command.restart, command.offline_folder),
              std::tuple(action, restart, std::string(folder)));
  }
  for (const Args& args : {Args{"/bogus"}, {"check"}, {"/"}, {""}, {"/fix", "/fix"}, {"/FIX", "-fix"}, {"/norestart"},
                           {"--check"}, {"/check", "/norestart"}, {"/check", "/fix"}, {"/fix", "/norestart", "x"},
                           {"/fix", "/norestart", "-NoRestart"}, {"/?", "/check"}, {"/offline", "D:\\Windows"},
                           {"/fix", "/offline"}, {"/fix", "/offline", "\"\""}, {"/?", "/offline", "D:\\W"},
                           {"/check", "/offline", "D:\\W", "/offline", "E:\\W"}, {"/?"}}) {
    FakePlatform fake;
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), args[0] == "/?" && args.size() == 1 ? kExitOk : kExitUsage);
    EXPECT_EQ(fake.output.rfind("Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]\r\n", 0),
              0u);
    EXPECT_TRUE(fake.log.empty()) << ::testing::PrintToString(args) << ": nothing written or started";
  }
}

const std::string kSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\";

TEST(ForeignEntriesTest, AreListedAfterTheStateAndLeftAsTheyAre) {
  using Keys = std::vector<std::pair<std::string, std::optional<StoredValue>>>;  // under SafeBoot; default value
  const std::optional<StoredValue> kService = StoredValue("Service"), kNoDefault;
  const std::string kHeading = "Not in the Windows 10 list (left as they are): ";
  Keys many;  // listed in the order of creation, the first 100
  std::string listed = kHeading + "150\r\n";
  for (int i = 0; i < 150; ++i) {
    many.push_back({"Network\\Svc" + std::to_string(1000 + i), kService});
    if (i < 100) listed += "  " + many.back().first + " = Service\r\n";
  }
  // keys, then the report after its first line
  for (const auto& [keys, said] : std::vector<std::pair<Keys, std::string>>{{{}, ""}, {many, listed + "  and 50 more\r\n"},
         {{{"Minimal\\EvilSvc", kService}, {"Network\\evil.sys", StoredValue("Driver")}},
          kHeading + "2\r\n  Minimal\\EvilSvc = Service\r\n  Network\\evil.sys = Driver\r\n"},
         // A name at the registry's limit; a long value cut.
         {{{"Minimal\\" + std::string(255, 'N'), StoredValue(std::string(300, 'v'))}},
          kHeading + "1\r\n  Minimal\\" + std::string(255, 'N') + " = " + std::string(255, 'v') + "... (300 bytes)\r\n"},
         {{{"Minimal\\Evil\r\nSafeBoot branch: whole\t", StoredValue("a\x1b[2J\x7f")}},
          kHeading + "1\r\n  Minimal\\Evil\\x0D\\x0ASafeBoot branch: whole\\x09 = a\\x1B[2J\\x7F\r\n"},
         {{{"Minimal\\Dienst\xC3\xBC\xE2\x80\xAE" "exe.gpj", StoredValue("\xD0\xA1\xC2\x85\xFF")}},
          kHeading + "1\r\n  Minimal\\Dienst\xC3\xBC\\u202Eexe.gpj = \xD0\xA1\\u0085\\xFF\r\n"},
         {{{"Minimal\\Number", StoredValue("7", ValueType::kDword)}, {"Minimal\\Bare", kNoDefault},
           {"Minimal\\Blob", StoredValue("", ValueType{3})}, {"Minimal\\Empty", StoredValue("")}},
          kHeading + "4\r\n  Minimal\\Bare (no default value)\r\n  Minimal\\Blob = (not a string: REG_BINARY)\r\n"
              "  Minimal\\Empty = (empty string)\r\n  Minimal\\Number = (not a string: REG_DWORD 7)\r\n"}}) {
    FakePlatform fake;
    fake.version = {10, 0};
    fake.PutList(109, true);  // the list's own entries, as another tool may have spelled them
    for (const auto& [key, value] : keys) {
      auto& values = fake.keys[kSafeBoot + key];
      if (value) values[""] = *value;
    }
    const auto before = fake.keys;
    for (const std::string args : {"/check", "/fix"}) {
      fake.output.clear();
      EXPECT_EQ(RunCommand(fake, ParseArguments({args})), kExitOk) << args << ": still whole";
      EXPECT_EQ(fake.output, "SafeBoot branch (Windows 10 list): 236 of 236 entries in place" +
                std::string(args == "/fix" ? "; nothing to repair" : "") + "\r\n" + said +
                (args == "/fix" ? "Log: E:\\Tools\\Veltrik.log\r\n" : ""));
    }
    EXPECT_TRUE(fake.keys == before && fake.log == std::vector<std::string>{"append E:\\Tools\\Veltrik.log"})
        << "nothing changed, nothing started";
  }
}

TEST(CheckTest, OnWindows10TheVistaListIsNotWhole) {
  FakePlatform fake;
  fake.version = {10, 0};
  fake.PutList(106);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
  EXPECT_THAT(fake.output, ::testing::StartsWith("SafeBoot branch (Windows 10 list): not whole; 82 of 236 entries "
                                                 "missing; first missing: " + kSafeBoot + "Minimal\\Ahcache.sys\r\n"
                                                 "Not in the Windows 10 list (left as they are): "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("  Minimal\\vga.sys = Driver\r\n"));
}

}  // namespace
}  // namespace veltrik::testing
