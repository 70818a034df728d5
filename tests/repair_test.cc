// One repair, asked for by each mode: each start state repaired from the window, by /fix and offline in an
// installed Windows in the same state, and what each did, as stated facts.
#include "app/commands.h"
#include "app/form.h"
#include "repair/repair.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

// What one mode did: the branch whole afterwards (written), the programs after the imports (the boot menu and
// the restart: started), what it said (the window's caption and its box; a line of the command line's report:
// shown) and the record's last outcome (recorded).
struct Did {
  bool whole;
  std::vector<std::string> started;
  std::string shown;
  std::string recorded;
  bool operator==(const Did&) const = default;
  friend void PrintTo(const Did& d, std::ostream* os) {
    *os << d.whole << " " << ::testing::PrintToString(d.started) << " [" << d.shown << "] " << d.recorded;
  }
};

struct Row {
  const char* what;
  std::vector<std::pair<Op, const char*>> failures;  // and the argument they fail for
  WindowsVersion version;
  Did window, fix, offline;
  bool whole_before = false;
  std::uint32_t exit_code = 0;  // of every program waited for
  bool keeps_files = false;     // the window's work files stay behind
};

const std::string kRestart = "launch 2 " + std::string(kRestartCommand);
const std::string kToOptions = "launch 2 " + std::string(kRestartToBootOptionsCommand);
const std::string kLegacy = "launch 0 bcdedit /set {current} bootmenupolicy legacy";
const std::string kOnce = "launch 0 bcdedit /set {current} onetimeadvancedoptions on";
const std::string kRestarting = "repaired, restarting the computer (exit code 1641)";
const std::string kNeeded = "repaired, restart needed (exit code 3010)";
const std::string kNot = "NOT repaired (exit code 1)";
const std::string kNoBox = "Restarting... / no box", kLogLine = "Log: " + kLog + "\r\n";
const std::string kOptions = "\r\n\r\nWindows now restarts into a screen of boot options. There choose Troubleshoot, "
                             "Advanced options, Startup Settings, Restart, and then press 4 to start in Safe Mode.\r\n";
const std::string kOptionsBox = "Restarting... / msgbox 64 Safe Mode is repaired." + kOptions + kLogLine;
const std::string kNotBox = kTitle + " / msgbox 48 Safe Mode was NOT repaired, and the computer was not restarted.\r\n"
                                     "\r\nSafeBoot branch (Windows ";
const std::string kTryBox = "\r\nWhat to try: " + std::string(kRunAsAdministrator) + ", and let your security "
                            "software allow the change, then click FIX again.\r\n" + kLogLine;
const std::string kNotRestarted = " could not be restarted.\r\n\r\nRestart the computer to finish.\r\n";
const std::string kAgain = "whole, imported again, restarting the computer (exit code 1641)";
const WindowsVersion k7 = {6, 1}, k10 = {10, 0};
const Did kWindow = {true, {kRestart}, kNoBox, kRestarting};
const Did kMenu = {true, {kLegacy, kOnce, kRestart}, kNoBox, kRestarting};
const Did kFix = {true, {kRestart}, "Restarting the computer now.", kRestarting};
const Did kOffline = {true, {}, "Restart the computer into this Windows to finish", kNeeded};
const Did kNothing = {true, {}, "; nothing to repair", "whole, nothing to repair (exit code 0)"};

const Row kRows[] = {
    {"imported", {}, k7, kWindow, kFix, kOffline},
    {"whole already", {}, k7, {true, {kRestart}, kNoBox, kAgain}, kNothing, kNothing, true},
    {"whole already, the F8 menu refused", {}, k10,
     {true, {kLegacy, kOnce, kToOptions}, "Restarting... / msgbox 64 Safe Mode was whole; its branch was imported "
      "again." + kOptions + kLogLine, kAgain}, kNothing, kNothing, true, 1},
    {"whole already, no way to restart", {{Op::kLaunchCommand, "shutdown"}, {Op::kRestartSystem, ""}}, k7,
     {true, {}, kTitle + " / msgbox 48 Safe Mode was whole and its branch was imported again, but Windows could not "
      "be restarted.\r\n" + kLogLine, "whole, imported again, not restarted (exit code 0)"}, kNothing, kNothing, true},
    {"editor not startable", {{Op::kLaunchCommand, "regedit"}}, k7, kWindow, kFix, kOffline},
    {"import never ends", {{Op::kWaitForProcess, ""}}, k7, kWindow, kFix, kOffline},
    {"an older .reg cannot be replaced", {{Op::kWriteWholeFile, ".reg"}}, k7, kWindow, kFix, kOffline},
    {"work file unreadable", {{Op::kReadWholeFile, ""}}, k7, kWindow, kFix, kOffline},
    {"no system folder", {{Op::kGetSystemDirectoryA, ""}}, k7, kWindow, kFix, kOffline, false, 0, true},
    {"no shell object", {{Op::kCreateObject, ""}}, k7, kWindow, kFix, kOffline},
    {"policy writes refused", {{Op::kRegWrite, ""}}, k7, kWindow, kFix, kOffline},
    {"files cannot be removed", {{Op::kRemoveFile, ""}}, k7, kWindow, kFix, kOffline, false, 0, true},
    {"no way to restart", {{Op::kLaunchCommand, "shutdown"}, {Op::kRestartSystem, ""}}, k7,
     {true, {}, kTitle + " / msgbox 48 Safe Mode is repaired, but Windows" + kNotRestarted + kLogLine, kNeeded},
     {true, {}, "The restart could not be started.\r\nRestart the computer to finish.\r\n", kNeeded}, kOffline},
    {"writes refused", {{Op::kWriteRegistryEntry, "SafeBoot"}}, k10,
     {false, {}, kNotBox + "10 list): NOT repaired; 236 of 236 entries missing; first missing: " + kSafeBoot +
      "\r\nReason: system error 5\r\n" + kTryBox, kNot},
     {false, {}, " list): NOT repaired; 236 of 236 entries missing", kNot},
     {false, {}, " list): NOT repaired; 236 of 236 entries missing", kNot}},
    {"template unreadable", {{Op::kLoadCustomResource, ""}}, k7,
     {false, {}, kNotBox + "7 list): NOT repaired; the stored copy of the branch could not be read\r\n" + kTryBox, kNot},
     {false, {}, "NOT repaired; the stored copy of the branch could not be read", kNot},
     {false, {}, "NOT repaired; the stored copy of the branch could not be read", kNot}},
    {"Windows 10", {}, k10, kMenu, kFix, kOffline},
    {"Windows 8.1", {}, {6, 3}, kMenu, kFix, kOffline},
    {"Windows 8", {}, {6, 2}, kMenu, kFix, kOffline},
    {"XP", {}, {5, 1}, kWindow, kFix, kOffline},
    {"version unknown", {{Op::kGetWindowsVersion, ""}}, k10, kWindow, kFix, kOffline},
    {"bcdedit missing", {{Op::kLaunchCommand, "bcdedit"}}, k10, {true, {kToOptions}, kOptionsBox, kRestarting}, kFix,
     kOffline},
    {"bcdedit refuses", {}, k10, {true, {kLegacy, kOnce, kToOptions}, kOptionsBox, kRestarting}, kFix, kOffline, false,
     1},
    {"bcdedit never ends", {{Op::kWaitForProcess, ""}}, k10,
     {true, {kLegacy, kOnce, kToOptions}, kOptionsBox, kRestarting}, kFix, kOffline},
    {"no boot options restart", {{Op::kLaunchCommand, "shutdown"}}, {6, 2},
     {true, {kLegacy, kOnce, "restart-system"}, kOptionsBox, kRestarting},
     {true, {"restart-system"}, "Restarting the computer now.", kRestarting}, kOffline, false, 1},
};

void Prepare(FakePlatform& fake, const Row& row) {
  fake.profiles_directory = "C:\\Users";
  fake.version = row.version;
  fake.exit_code = row.exit_code;
  if (row.whole_before) fake.PutList(ChooseRunningList(fake).template_id);
  fake.files["C:\\WINDOWS\\" + std::string(RegFileName(ChooseRunningList(fake).template_id))] = {'o', 'l', 'd'};
  for (auto [op, argument] : row.failures) {
    fake.regedit_imports &= op != Op::kWriteRegistryEntry;  // nothing but the API could write
    fake.Fail(op, argument);
  }
}

// The programs started after the imports, in order.
std::vector<std::string> Started(const FakePlatform& fake) {
  std::vector<std::string> out;
  for (const std::string& line : fake.log) {
    if (line.starts_with("launch 0 ") || line.starts_with("launch 2 shutdown") || line == "restart-system") {
      out.push_back(line);
    }
  }
  return out;
}

std::string LastOutcome(const std::string& record) {
  const std::size_t at = record.rfind("Outcome: ");
  return at == std::string::npos ? "" : record.substr(at + 9, record.find("\r\n", at) - at - 9);
}

// What the command line showed: the expected line where the report holds it, else the whole report.
std::string Shown(const std::string& output, const std::string& expected) {
  return output.find(expected) != std::string::npos ? expected : output;
}

TEST(RepairTest, EachModeFromEachStartState) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    FakePlatform fake;
    Prepare(fake, row);
    frmVeltrik form(fake);
    form.Form_Load();
    form.cmdStart_Click();
    const auto boxes = fake.Only("msgbox");
    ASSERT_LE(boxes.size(), 1u);
    std::string box = boxes.empty() ? "no box" : boxes[0];
    if (!boxes.empty()) box.erase(box.find('['), kTitle.size() + 3);
    const int id = ChooseRunningList(fake).template_id;
    EXPECT_EQ((Did{MissingEntries(fake, id) == 0, Started(fake), fake.caption + " / " + box, LastOutcome(fake.FileText(kLog))}),
              row.window);
    EXPECT_EQ(fake.files.size() == 1, !row.keeps_files) << "work files left beside the record";
    EXPECT_EQ(fake.shell_objects_alive, 0);
    EXPECT_THAT(fake.enabled, ::testing::Each(::testing::Pair(::testing::_, true)));
    EXPECT_TRUE(form.Form_Unload()) << "after the repair, closing ends the program again";

    fake = FakePlatform();
    Prepare(fake, row);
    int code = RunCommand(fake, ParseArguments({"/fix"}));
    EXPECT_EQ((Did{MissingEntries(fake, id) == 0, Started(fake), Shown(fake.output, row.fix.shown),
                   LastOutcome(fake.FileText(kLog))}),
              row.fix);
    EXPECT_THAT(row.fix.recorded, ::testing::EndsWith("(exit code " + std::to_string(code) + ")"));
    EXPECT_TRUE(fake.Only("msgbox").empty());

    // Backed up first, written through the registry API alone; its branch read from the hive as written back.
    fake = FakePlatform();
    const std::string current = std::to_string(row.version.major) + "." + std::to_string(row.version.minor);
    Install(fake, row.version.major >= 10 ? Software("6.3", row.version.major) : Software(current.c_str()));
    Prepare(fake, row);
    const int installed = TemplateForVersion(row.version.major, row.version.minor);
    if (row.whole_before) fake.PutList(installed, false, true);
    code = RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"}));
    fake.LoadHive("Repaired", kConfig + "SYSTEM");
    EXPECT_EQ((Did{MissingEntries(fake, installed, "HKEY_LOCAL_MACHINE\\Repaired\\ControlSet002") == 0,
                   Started(fake), Shown(fake.output, row.offline.shown), LastOutcome(fake.FileText(kLog))}),
              row.offline);
    EXPECT_THAT(row.offline.recorded, ::testing::EndsWith("(exit code " + std::to_string(code) + ")"));
    EXPECT_TRUE(fake.output.starts_with("Backup of the SYSTEM hive: " + kBackup + "\r\n")) << fake.output;
    EXPECT_TRUE(fake.Only("launch").empty() && fake.Only("regwrite").empty());
  }
}

}  // namespace
}  // namespace veltrik::testing
