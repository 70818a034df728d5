// The record every repair leaves beside the program, and the old data of
// every type it keeps as evidence. (The one handle that refuses links, and
// the move aside of a full log, are proven under Wine.)
#include "repair/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/form.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;

const std::string kSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
const std::string kBeside = "E:\\Tools\\Veltrik.log", kInWindows = "C:\\WINDOWS\\Veltrik.log";

// Windows 10 with its whole list, but for the shell.
void Hijacked(FakePlatform& fake, std::optional<StoredValue> shell) {
  fake.version = {10, 0};
  fake.PutList(109);
  fake.keys[kSafeBoot].erase("AlternateShell");
  if (shell) fake.keys[kSafeBoot]["AlternateShell"] = *shell;
}

TEST(LogTest, ARecordHoldsTheTimeVersionHowItRanTheWindowsTheBranchAndTheWholeReport) {
  const std::string kHead = "==== 2026-12-07 17:15:00 +01:00  Veltrik v1.1.0.0 (x64)\r\nStarted from: ";
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
  const std::string second = kHead + "the window\r\n" + kTen + "Outcome: repaired, restarting the computer\r\n\r\n";
  EXPECT_EQ(fake.FileText(kBeside), first + second) << "appended";

  fake.fixed_drives = {"C:\\", "D:\\"};
  fake.PutHive("D:\\Windows\\System32\\config\\SYSTEM",
               {{"Select", {{"Default", StoredValue("2", ValueType::kDword)}}}, {"ControlSet002\\Control", {}}});
  fake.command_line = "veltrik /fix /offline D:\\Windows";
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), kExitRestartRequired);
  EXPECT_EQ(fake.FileText(kBeside).substr(first.size() + second.size()),
            kHead + "veltrik /fix /offline D:\\Windows\r\nWindows: no SOFTWARE hive, the Windows XP list by its "
            "profiles folder\r\nBranch: the installed Windows in D:\\Windows, control set ControlSet002\r\nBackup of "
            "the SYSTEM hive: D:\\Windows\\System32\\config\\Veltrik-backup-20261207-171500\r\nInstalled Windows: "
            "D:\\Windows (no SOFTWARE hive, the Windows XP list by its profiles folder), control set ControlSet002\r\n"
            "SafeBoot branch (Windows XP list): repaired, 127 of 127 entries in place\r\nRestart the computer into "
            "this Windows to finish.\r\nOutcome: repaired, restart needed (exit code 3010)\r\n\r\n");

  const std::string all = fake.FileText(kBeside);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitOk);
  EXPECT_EQ(fake.FileText(kBeside), all) << "/check writes no record";
}

TEST(LogTest, GoesBesideTheProgramElseIntoTheRepairedWindowsElseNowhereAndTheRepairGoesOn) {
  const std::string kRefused = kBeside + " refused: system error ";
  for (auto [what, damage, offline, said] : {
           std::tuple{"beside", std::function<void(FakePlatform&)>([](FakePlatform&) {}), false, "Log: " + kBeside},
           {"a folder of that name", [](FakePlatform& f) { f.folders.insert(Fold(kBeside)); }, false,
            "Log: " + kInWindows + " (" + kRefused + "1920)"},
           {"a link at that name", [](FakePlatform& f) { f.links.insert(Fold(kBeside)); }, true,
            "Log: D:\\Windows\\Veltrik.log (" + kRefused + "1920)"},
           {"a read-only stick", [](FakePlatform& f) { f.Fail("AppendToFile", "E:\\"); }, false,
            "Log: " + kInWindows + " (" + kRefused + "5)"},
           {"nowhere", [](FakePlatform& f) { f.Fail("AppendToFile"); }, false,
            "No log could be written (" + kRefused + "5; " + kInWindows + " refused: system error 5)"}}) {
    FakePlatform fake;
    Hijacked(fake, std::nullopt);
    fake.fixed_drives = {"C:\\", "D:\\"};
    fake.PutHive("D:\\Windows\\System32\\config\\SYSTEM",
                 {{"Select", {{"Default", StoredValue("1", ValueType::kDword)}}}, {"ControlSet001\\Control", {}}});
    damage(fake);
    std::vector<std::string> args = {"/fix"};
    if (offline) args = {"/fix", "/offline", "D:\\Windows"};
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), offline ? kExitRestartRequired : kExitRestartStarted) << what;
    EXPECT_THAT(fake.output, HasSubstr("\r\n" + said + "\r\n")) << what;
    EXPECT_THAT(fake.Only("append"), ::testing::SizeIs(said[0] == 'L' ? 1u : 0u)) << what;
    EXPECT_FALSE(fake.links.count(Fold(kBeside)) && fake.files.count(Fold(kBeside))) << "written through a link";
  }
}

TEST(LogTest, AFullLogMovesAsideFirst) {
  for (const std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) - 1}) {
    FakePlatform fake;
    Hijacked(fake, std::nullopt);
    fake.files[Fold(kBeside)] = Bytes(size, 'x');
    RunCommand(fake, ParseArguments({"/fix", "/norestart"}));
    EXPECT_EQ(fake.files.count(Fold(kBeside + ".old")), size == 1u << 20) << size;
    EXPECT_EQ(fake.FileText(kBeside).substr(0, 4), size == 1u << 20 ? "====" : "xxxx") << size;
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
    EXPECT_THAT(fake.output, HasSubstr("Values a repair would replace (old -> new): 1\r\n  " + kSafeBoot +
                                       ": AlternateShell = " + shown + " -> cmd.exe\r\n"));
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/norestart"})), kExitRestartRequired);
    EXPECT_THAT(fake.FileText(kBeside), HasSubstr(": AlternateShell = " + shown + " -> cmd.exe\r\n"));
  }
}

}  // namespace
}  // namespace veltrik::testing
