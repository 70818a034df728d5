// The record every repair leaves beside the program. (The one handle that refuses links, and the move aside
// of a full log, are proven under Wine.)
#include "app/commands.h"
#include "app/form.h"
#include "repair/log.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;

const std::string kBeside = kLog, kInWindows = "C:\\WINDOWS\\Veltrik.log";

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
                            "Restarting the computer now.\r\nOutcome: repaired, restarting the computer (exit code 1641)\r\n\r\n";
  EXPECT_EQ(fake.FileText(kBeside), first);
  EXPECT_EQ(fake.log.back(), "launch 2 shutdown -r -f -t 0") << "the restart after the record";

  Hijacked(fake, StoredValue("%SystemRoot%\\system32\\evil.exe", ValueType::kExpandString));
  frmVeltrik form(fake);
  form.Form_Load();
  form.cmdStart_Click();
  const std::string second = kHead + "the window\r\n" + kTen + "Restarting the computer now.\r\nOutcome: repaired, restarting the computer (exit code 1641)\r\n\r\n";
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
  for (const auto& row : Rows("log_places")) {
    ASSERT_EQ(row.size(), 4u);
    const auto& [what, damage, said] = std::tie(row[0], row[1], row[3]);
    const bool offline = row[2] == "1";
    FakePlatform fake;
    Hijacked(fake, std::nullopt);
    Install(fake);
    if (damage == "folder") fake.folders.insert(kBeside);
    if (damage == "link") fake.links.insert(kBeside);
    if (damage.ends_with(" bytes")) fake.files[kBeside] = Bytes(std::stoul(damage), 'x');
    if (damage.starts_with("AppendToFile")) fake.FailNamed(damage);
    std::vector<std::string> args = {"/fix"};
    if (offline) args = {"/fix", "/offline", "D:\\Windows"};
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), offline ? kExitRestartRequired : kExitRestartStarted) << what;
    EXPECT_THAT(fake.output, HasSubstr("\r\n" + said + "\r\n")) << what;
    EXPECT_THAT(fake.Only("append"), ::testing::SizeIs(said[0] == 'L' ? 1u : 0u)) << what;
    EXPECT_FALSE(fake.links.count(kBeside) && fake.files.count(kBeside)) << "written through a link";
    // A full log moves aside first.
    EXPECT_EQ(fake.files.count(kBeside + ".old"), what == "a full log") << what;
    EXPECT_EQ(fake.FileText(kBeside).starts_with("x"), what == "a log below its bound") << what;
  }
}

}  // namespace
}  // namespace veltrik::testing
