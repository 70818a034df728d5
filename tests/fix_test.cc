// FIX: the repair sequence, its busy state, and what it does on every outcome.
// (A hijacked editor, a blocked .reg name, a missing shutdown program and
// clicks during a hung import are proven under Wine.)
#include "repair/fix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/form.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::ElementsAre;

const std::string kPolicy =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools=0 REG_DWORD";
const std::string kHklm = "regwrite HKLM" + kPolicy, kHkcu = "regwrite HKCU" + kPolicy;
const std::string kRestart = "launch 2 shutdown -r -f -t 0";
const std::string kSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
const std::string kTitle = "Veltrik v1.1.0.0";

// The template's entries that the registry lacks, as the API reads it.
size_t MissingEntries(FakePlatform& fake) {
  size_t missing = 0;
  for (const RegistryEntry& e : ParseRegText(RegTextFromWorkFile(ByteArrayImage(kEmbeddedTemplate106)))) {
    std::string data;
    if (fake.ReadRegistryEntry(e, data) != 0 || (e.name && data != e.data)) ++missing;
  }
  return missing;
}

TEST(FixSequenceTest, BothPassesEachWaitedForThenOneDeletionThenTheRestart) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  std::vector<std::string> seen;  // the caption and the .reg file at each event pump
  fake.on_events = [&] {
    seen.push_back(fake.caption + " " + std::to_string(fake.FileText("C:\\WINDOWS\\sxcas.reg").size()));
  };
  fake.log.clear();
  form.cmdStart_Click();
  const std::string import = "launch 2 regedit -s C:\\WINDOWS\\sxcas.reg";
  std::vector<std::string> effects;
  for (const std::string& line : fake.log) {
    if (line.find(".tmp") == std::string::npos && line.rfind("write", 0) != 0) effects.push_back(line);
  }
  EXPECT_THAT(effects, ElementsAre("disable start", "disable about", "disable exit", "caption Fixing...", "doevents",
                                   kHklm, kHkcu, import, "wait 101 60000 ended", kHklm, kHkcu, import,
                                   "wait 102 60000 ended", "delete C:\\WINDOWS\\sxcas.reg", "doevents", "enable start",
                                   "enable about", "enable exit", "caption Restarting...", kRestart));
  const std::string whole = std::to_string(kEmbeddedTemplate105.size());  // less the NULs, plus CR LF
  EXPECT_THAT(seen, ElementsAre("Fixing... 0", "Fixing... " + whole, "Fixing... " + whole, "Fixing... 0"));
  EXPECT_TRUE(fake.files.empty()) << "work files left";
  EXPECT_EQ(fake.shell_objects_alive, 0);
}

TEST(FixSequenceTest, LayoutFollowsTheProfilesFolder) {
  // clang-format off
  for (auto [profiles, id] : {std::pair{"C:\\Users", 106}, {"d:\\USERS\\", 106}, {"C:\\Documents and Settings", 105},
                              {"C:\\Users2", 105}, {"C:\\Profiles\\Users", 105}, {"C", 105}, {"!", 105}}) {
    // clang-format on
    FakePlatform fake;
    fake.profiles_directory = profiles;
    if (profiles == std::string("!")) fake.Fail("GetProfilesDirectory");
    EXPECT_EQ(ChooseTemplate(fake), id) << profiles;
  }
  EXPECT_EQ(ImportCommand("C:\\WINDOWS\\", 105), "regedit -s C:\\WINDOWS\\sxcas.reg");
  EXPECT_EQ(ImportCommand("C:\\Win Dows\\", 106), "regedit -s \"C:\\Win Dows\\svcas.reg\"");
}

struct OutcomeCase {
  const char* what;
  std::vector<std::pair<const char*, const char*>> failures;  // operation, argument
  std::vector<std::string> restarts;  // with the boot-menu commands before them
  std::vector<std::string> message;   // parts of the one message box, if any
  bool repaired = true;               // the whole branch is in place afterwards
  bool keeps_files = false;
  std::pair<std::uint32_t, std::uint32_t> version = {6, 1};  // Windows 7
  std::uint32_t exit_code = 0;  // of every program waited for
  int fix_exit = kExitRestartStarted;  // of "/fix" in the same case
  friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.what; }
};

class FixOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {
 protected:
  void Prepare(FakePlatform& fake) {
    const OutcomeCase& c = GetParam();
    fake.profiles_directory = "C:\\Users";
    fake.version = c.version;
    fake.exit_code = c.exit_code;
    fake.files[Fold("C:\\WINDOWS\\svcas.reg")] = {'o', 'l', 'd'};
    for (auto [op, argument] : c.failures) {
      fake.regedit_imports &= op != std::string("WriteRegistryEntry");  // nothing but the API could write
      fake.Fail(op, argument);
    }
  }
  static std::vector<std::string> Restarts(const FakePlatform& fake) {  // with the boot-menu commands
    std::vector<std::string> out = fake.Only("launch 0 "), shutdowns = fake.Only("launch 2 shutdown");
    out.insert(out.end(), shutdowns.begin(), shutdowns.end());
    return fake.Only("restart-system").empty() ? out : (out.push_back("restart-system"), out);
  }
};

TEST_P(FixOutcomeTest, RestartsOnlyOnACompleteBranch) {
  const OutcomeCase& c = GetParam();
  FakePlatform fake;
  Prepare(fake);
  frmVeltrik form(fake);
  form.Form_Load();
  form.cmdStart_Click();
  EXPECT_EQ(MissingEntries(fake) == 0, c.repaired);
  EXPECT_EQ(Restarts(fake), c.restarts);
  EXPECT_EQ(fake.files.empty(), !c.keeps_files) << "work files left";
  EXPECT_EQ(fake.shell_objects_alive, 0);
  EXPECT_THAT(fake.enabled, ::testing::Each(::testing::Pair(::testing::_, true)));
  const auto boxes = fake.Only("msgbox");
  const bool restarted = !c.restarts.empty() && c.restarts.back().rfind("launch 0 ", 0) != 0;
  EXPECT_EQ(fake.caption, restarted ? "Restarting..." : kTitle);
  ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
  for (const std::string& part : c.message) EXPECT_THAT(boxes[0], ::testing::HasSubstr(part));
  if (!boxes.empty()) EXPECT_EQ(boxes[0].rfind("msgbox " + std::string(restarted ? "64" : "48") + " [" + kTitle + "] ", 0), 0u);
  EXPECT_TRUE(form.Form_Unload()) << "after the repair, closing ends the program again";
}

TEST_P(FixOutcomeTest, FixOnTheCommandLineRestartsPlainlyAndSaysSo) {
  const OutcomeCase& c = GetParam();
  FakePlatform fake;
  Prepare(fake);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix"})), c.fix_exit);
  EXPECT_THAT(Restarts(fake), ::testing::IsSubsetOf({kRestart, std::string("restart-system")}));
  EXPECT_EQ(Restarts(fake).empty(), c.fix_exit != kExitRestartStarted);
  EXPECT_TRUE(fake.Only("msgbox").empty());
  EXPECT_THAT(fake.output, ::testing::HasSubstr(c.fix_exit == kExitRestartStarted ? "Restarting the computer now."
                                                : c.fix_exit == kExitRestartRequired ? "Restart the computer to finish."
                                                : "SafeBoot branch: NOT repaired; "));
}

const std::vector<std::string> kRestarted = {kRestart};
const std::pair<std::uint32_t, std::uint32_t> kSeven = {6, 1}, kTen = {10, 0};
const std::string kLegacy = "launch 0 bcdedit /set {current} bootmenupolicy legacy";
const std::string kOnce = "launch 0 bcdedit /set {current} onetimeadvancedoptions on";
const std::vector<std::string> kBootMenuAndRestart = {kLegacy, kOnce, kRestart};
const std::vector<std::string> kBootOptions = {kLegacy, kOnce, "launch 2 shutdown -r -o -f -t 0"};
const std::vector<std::string> kBootOptionsBox = {"Safe Mode is repaired", "Troubleshoot, Advanced options, "
                                                  "Startup Settings, Restart, and then press 4"};
const std::string kNotRepaired = "Safe Mode was NOT repaired", kAdvice = "run Veltrik as administrator";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, FixOutcomeTest,
    ::testing::Values(
        OutcomeCase{"imported", {}, kRestarted, {}},
        OutcomeCase{"editor not startable", {{"LaunchCommand", "regedit"}}, kRestarted, {}},
        OutcomeCase{"import never ends", {{"WaitForProcess", ""}}, kRestarted, {}},
        OutcomeCase{"an older .reg cannot be replaced", {{"WriteWholeFile", ".reg"}}, kRestarted, {}},
        OutcomeCase{"work file unreadable", {{"ReadWholeFile", ""}}, kRestarted, {}},
        OutcomeCase{"no system folder", {{"GetSystemDirectoryA", ""}}, kRestarted, {}, true, true},
        OutcomeCase{"no shell object", {{"CreateObject", ""}}, kRestarted, {}},
        OutcomeCase{"policy writes refused", {{"RegWrite", ""}}, kRestarted, {}},
        OutcomeCase{"files cannot be removed", {{"RemoveFile", ""}}, kRestarted, {}, true, true},
        OutcomeCase{"no way to restart", {{"LaunchCommand", "shutdown"}, {"RestartSystem", ""}}, {},
                    {"Safe Mode is repaired", "restart the computer yourself"}, true, false, kSeven, 0,
                    kExitRestartRequired},
        OutcomeCase{"writes refused", {{"WriteRegistryEntry", "SafeBoot"}}, {},
                    {kNotRepaired, "158 of 158 entries of the SafeBoot branch are missing.\r\n",
                     "First missing key: " + kSafeBoot + "\r\nReason: system error 5", kAdvice},
                    false, false, kTen, 0, kExitNotRepaired},
        OutcomeCase{"template unreadable", {{"LoadCustomResource", ""}}, {},
                    {kNotRepaired, "stored copy of the SafeBoot branch could not be read", kAdvice}, false, false,
                    kSeven, 0, kExitNotRepaired},
        OutcomeCase{"Windows 10", {}, kBootMenuAndRestart, {}, true, false, kTen},
        OutcomeCase{"Windows 8.1", {}, kBootMenuAndRestart, {}, true, false, {6, 3}},
        OutcomeCase{"Windows 8", {}, kBootMenuAndRestart, {}, true, false, {6, 2}},
        OutcomeCase{"XP", {}, kRestarted, {}, true, false, {5, 1}},
        OutcomeCase{"version unknown", {{"GetWindowsVersion", ""}}, kRestarted, {}, true, false, kTen},
        OutcomeCase{"bcdedit missing", {{"LaunchCommand", "bcdedit"}}, {"launch 2 shutdown -r -o -f -t 0"},
                    kBootOptionsBox, true, false, kTen},
        OutcomeCase{"bcdedit refuses", {}, kBootOptions, kBootOptionsBox, true, false, kTen, 1},
        OutcomeCase{"bcdedit never ends", {{"WaitForProcess", ""}}, kBootOptions, kBootOptionsBox, true, false, kTen},
        OutcomeCase{"no boot options restart", {{"LaunchCommand", "shutdown"}}, {kLegacy, kOnce, "restart-system"},
                    kBootOptionsBox, true, false, {6, 2}, 1}));
// clang-format on

TEST(FixCompletionTest, WritesOnlyWhatIsMissingOrChangedAndKeepsForeignEntries) {
  FakePlatform fake;
  fake.profiles_directory = "C:\\Users";
  fake.regedit_imports = false;
  const auto expected = ParseRegText(RegTextFromWorkFile(ByteArrayImage(kEmbeddedTemplate106)));
  for (size_t i = 0; i < expected.size(); i += 3) {  // a third survived the malware
    if (expected[i].name) fake.keys[Fold(expected[i].key)][Fold(*expected[i].name)] = expected[i].data;
  }
  fake.keys[Fold(kSafeBoot)]["alternateshell"] = "evil.exe";
  fake.keys[Fold(kSafeBoot + "\\Minimal\\AcmeGuard")][""] = "Service";
  const size_t before = MissingEntries(fake);
  const BranchCheck check = FixSafeMode(fake, "C:\\WINDOWS\\");
  EXPECT_TRUE(check.complete());
  EXPECT_EQ(MissingEntries(fake), 0u);
  EXPECT_EQ(fake.keys[Fold(kSafeBoot)]["alternateshell"], "cmd.exe");
  EXPECT_EQ(fake.keys[Fold(kSafeBoot + "\\Minimal\\AcmeGuard")][""], "Service");
  EXPECT_EQ(fake.Only("regset").size(), before) << "only what was missing or changed is written";
  fake.log.clear();
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix"})), kExitOk);
  EXPECT_TRUE(fake.log.empty()) << "/fix on a whole branch writes and starts nothing";
}

}  // namespace
}  // namespace veltrik::testing
