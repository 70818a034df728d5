// Which program a command line may start, from an elevated program; what the program's own arguments ask for;
// the record every repair leaves beside the program, and the old data of every type it keeps as evidence. (The
// one handle that refuses links, and the move aside of a full log, are proven under Wine.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"
#include "app/form.h"
#include "platform/command_line.h"
#include "repair/log.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(ResolveCommandLineTest, StartsOnlyWhatItShould) {
  const std::string kSys = "C:\\WINDOWS\\system32\\", kWin = "C:\\WINDOWS\\";
  const std::string kFox = "C:\\Program Files\\Fox Browser\\fox";
  using Files = std::set<std::string>;
  // command line, files that exist, program run, command line run ("!" for refused)
  for (auto [command_line, files, application, result] : {
         // Bare names: the system folder first, the Windows folder next, nowhere else.
         std::tuple{std::string("shutdown -r"), Files{kSys + "shutdown.exe", kWin + "shutdown.exe"},
                    kSys + "shutdown.exe", "\"" + kSys + "shutdown.exe\" -r"},
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
  for (const auto& [keys, said] : std::vector<std::pair<Keys, std::string>>{
         {{}, ""}, {many, listed + "  and 50 more\r\n"},
         {{{"Minimal\\EvilSvc", kService}, {"Network\\evil.sys", StoredValue("Driver")}},
          kHeading + "2\r\n  Minimal\\EvilSvc = Service\r\n  Network\\evil.sys = Driver\r\n"},
         // A name at the registry's limit; a long value cut.
         {{{"Minimal\\" + std::string(255, 'N'), StoredValue(std::string(300, 'v'))}},
          kHeading + "1\r\n  Minimal\\" + std::string(255, 'N') + " = " + std::string(255, 'v') +
              "... (300 bytes)\r\n"},
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
    fake.PutList(kTemplateWin10, true);  // the list's own entries, as another tool may have spelled them
    for (const auto& [key, value] : keys) {
      auto& values = fake.keys[kSafeBoot + "\\" + key];
      if (value) values[""] = *value;
    }
    const auto before = fake.keys;
    for (const std::string args : {"/check", "/fix"}) {
      fake.output.clear();
      EXPECT_EQ(RunCommand(fake, ParseArguments({args})), kExitOk) << args << ": still whole";
      EXPECT_EQ(fake.output, "SafeBoot branch (Windows 10 list): 236 of 236 entries in place" +
                std::string(args == "/fix" ? "; nothing to repair" : "") + "\r\n" + said +
                (args == "/fix" ? "Log: " + kLog + "\r\n" : ""));
    }
    EXPECT_TRUE(fake.keys == before && fake.log == std::vector<std::string>{"append " + kLog})
        << "nothing changed, nothing started";
  }
}

TEST(CheckTest, OnWindows11TheVistaListIsNotWhole) {
  FakePlatform fake;
  fake.version = {10, 0, 22631};
  fake.PutList(kTemplateVista);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
  EXPECT_THAT(fake.output, ::testing::StartsWith("SafeBoot branch (Windows 10 list): not whole; 82 of 236 entries "
                                                 "missing; first missing: " + kSafeBoot + "\\Minimal\\Ahcache.sys\r\n"
                                                 "Not in the Windows 10 list (left as they are): "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("  Minimal\\vga.sys = Driver\r\n"));
  EXPECT_THAT(fake.output, ::testing::EndsWith("Network\\vgasave.sys = Driver\r\nWindows 11 (build 22631) gets the "
                                               "Windows 10 list.\r\n"));
}

using ::testing::HasSubstr;

const std::string kBeside = kLog, kInWindows = "C:\\WINDOWS\\Veltrik.log";

// Windows 10 with its whole list, but for the shell.
void Hijacked(FakePlatform& fake, std::optional<StoredValue> shell) {
  fake.version = {10, 0};
  fake.PutList(kTemplateWin10);
  fake.keys[kSafeBoot].erase("AlternateShell");
  if (shell) fake.keys[kSafeBoot]["AlternateShell"] = *shell;
}

TEST(LogTest, ARecordHoldsTheTimeVersionHowItRanTheWindowsTheBranchAndTheWholeReport) {
  const std::string kHead = "==== 2026-12-07 17:15:00 +01:00  " + kTitle + " (x64)\r\nStarted from: ";
  const std::string kShell = "AlternateShell = (not a string: REG_EXPAND_SZ %SystemRoot%\\system32\\evil.exe) -> "
                             "cmd.exe\r\n";
  const std::string kTen = "Windows: version 10.0, Windows 10 list\r\nBranch: " + kSafeBoot + " of the running "
                           "Windows\r\nSafeBoot branch (Windows 10 list): repaired, 236 of 236 entries in place\r\n"
                           "Values replaced (old -> new): 1\r\n  " + kSafeBoot + ": " + kShell;
  FakePlatform fake;
  Hijacked(fake, StoredValue("%SystemRoot%\\system32\\evil.exe", ValueType::kExpandString));
  fake.command_line = "\"E:\\Tools\\veltrik.exe\" /fix\x1b[2J";
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix"})), kExitRestartStarted);
  const std::string first = kHead + "\"E:\\Tools\\veltrik.exe\" /fix\\x1B[2J\r\n" + kTen +
                            "Outcome: repaired, restarting the computer (exit code 1641)\r\n\r\n";
  EXPECT_EQ(fake.FileText(kBeside), first);
  EXPECT_EQ(fake.log.back(), "launch 2 shutdown -r -f -t 0") << "the restart after the record";

  Hijacked(fake, StoredValue("%SystemRoot%\\system32\\evil.exe", ValueType::kExpandString));
  frmVeltrik form(fake);
  form.Form_Load();
  form.cmdStart_Click();
  const std::string second = kHead + "the window\r\n" + kTen + "Outcome: repaired, restarting the computer (exit code 1641)\r\n\r\n";
  EXPECT_EQ(fake.FileText(kBeside), first + second) << "appended";

  Install(fake, {});
  fake.command_line = "veltrik /fix /offline D:\\Windows", fake.output.clear();
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), kExitRestartRequired);
  // The record holds the report as printed, but for the line that names the record.
  const std::string report = fake.output.substr(0, fake.output.find("Log: "));
  EXPECT_EQ(fake.FileText(kBeside).substr(first.size() + second.size()),
            kHead + "veltrik /fix /offline D:\\Windows\r\nWindows: no SOFTWARE hive, the Windows XP list by its "
            "profiles folder\r\nBranch: the installed Windows in D:\\Windows, control set ControlSet002\r\n" + report +
            "Outcome: repaired, restart needed (exit code 3010)\r\n\r\n");
}

TEST(LogTest, GoesBesideTheProgramElseIntoTheRepairedWindowsElseNowhereAndTheRepairGoesOn) {
  const std::string kRefused = kBeside + " refused: system error ";
  for (auto [what, damage, offline, said] : {
           std::tuple{"beside", std::function<void(FakePlatform&)>([](FakePlatform&) {}), false, "Log: " + kBeside},
           {"a folder of that name", [](FakePlatform& f) { f.folders.insert(kBeside); }, false,
            "Log: " + kInWindows + " (" + kRefused + "1920)"},
           {"a link at that name", [](FakePlatform& f) { f.links.insert(kBeside); }, true,
            "Log: D:\\Windows\\Veltrik.log (" + kRefused + "1920)"},
           {"a read-only stick", [](FakePlatform& f) { f.Fail("AppendToFile", "E:\\"); }, false,
            "Log: " + kInWindows + " (" + kRefused + "5)"},
           {"nowhere", [](FakePlatform& f) { f.Fail("AppendToFile"); }, false,
            "No log could be written (" + kRefused + "5; " + kInWindows + " refused: system error 5)"},
           {"a full log", [](FakePlatform& f) { f.files[kBeside] = Bytes(1u << 20, 'x'); }, false,
            "Log: " + kBeside},
           {"a log below its bound", [](FakePlatform& f) { f.files[kBeside] = Bytes((1u << 20) - 1, 'x'); },
            false, "Log: " + kBeside}}) {
    FakePlatform fake;
    Hijacked(fake, std::nullopt);
    Install(fake);
    damage(fake);
    std::vector<std::string> args = {"/fix"};
    if (offline) args = {"/fix", "/offline", "D:\\Windows"};
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), offline ? kExitRestartRequired : kExitRestartStarted) << what;
    EXPECT_THAT(fake.output, HasSubstr("\r\n" + said + "\r\n")) << what;
    EXPECT_THAT(fake.Only("append"), ::testing::SizeIs(said[0] == 'L' ? 1u : 0u)) << what;
    EXPECT_FALSE(fake.links.count(kBeside) && fake.files.count(kBeside)) << "written through a link";
    // A full log moves aside first.
    EXPECT_EQ(fake.files.count(kBeside + ".old"), what == std::string("a full log")) << what;
    EXPECT_EQ(fake.FileText(kBeside).starts_with("x"), what == std::string("a log below its bound")) << what;
  }
}

TEST(LogTest, TheOldDataOfEveryTypeIsShownEscapedAndBounded) {
  std::string bytes;
  for (int i = 0; i < 70; ++i) bytes += static_cast<char>(i * 7);
  std::string hex;
  const char* digits = "0123456789abcdef";
  for (int i = 0; i < 64; ++i) hex += digits[(i * 7 & 255) >> 4] + std::string(1, digits[i * 7 & 15]) + " ";
  for (auto [shell, shown] : {
           std::tuple{std::optional<StoredValue>(StoredValue("%SystemRoot%\\evil\r\n.exe", ValueType::kExpandString)),
                      std::string("(not a string: REG_EXPAND_SZ %SystemRoot%\\evil\\x0D\\x0A.exe)")},
           {StoredValue(std::string("cmd.exe\0evil.exe\0", 17), ValueType::kMultiString),
            "(not a string: REG_MULTI_SZ cmd.exe\\x00evil.exe)"},
           {StoredValue("7", ValueType::kDword), "(not a string: REG_DWORD 7)"},
           {StoredValue(bytes, ValueType::kBinary), "(not a string: REG_BINARY " + hex + "... (70 bytes))"},
           {StoredValue(std::string("\x01\0\0\0\0\0\0\xff", 8), ValueType{11}),
            "(not a string: REG_QWORD 01 00 00 00 00 00 00 ff)"},
           {StoredValue("", ValueType::kNone), "(not a string: REG_NONE)"},
           {std::nullopt, "(absent)"}}) {
    FakePlatform fake;
    Hijacked(fake, shell);
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
    EXPECT_THAT(fake.output, HasSubstr("; first missing: " + kSafeBoot + ": AlternateShell\r\n"));
    EXPECT_THAT(fake.output, HasSubstr("Values a repair would replace (old -> new): 1\r\n  " + kSafeBoot +
                                       ": AlternateShell = " + shown + " -> cmd.exe\r\n"));
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/norestart"})), kExitRestartRequired);
    EXPECT_THAT(fake.FileText(kBeside), HasSubstr(": AlternateShell = " + shown + " -> cmd.exe\r\n"));
  }
}

}  // namespace
}  // namespace veltrik::testing
