// FIX: the repair sequence, its busy state, and what it does on every outcome.
#include "repair/fix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "app/form.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kPolicy = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools=0 REG_DWORD";
const std::string kHklm = "regwrite HKLM" + kPolicy, kHkcu = "regwrite HKCU" + kPolicy;
const std::string kRestart = "launch 2 shutdown -r -f -t 0";
const std::string kSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
const std::string kTitle = "Veltrik v1.1.0.0";

bool LeavesNoWorkFiles(const FakePlatform& fake) {
  for (const auto& [path, bytes] : fake.files) {
    if (path.find("cas.") != std::string::npos) return false;
  }
  return true;
}

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
  fake.on_events = [&] { seen.push_back(fake.caption + " " + std::to_string(fake.FileText("C:\\WINDOWS\\sxcas.reg").size())); };
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
  EXPECT_TRUE(LeavesNoWorkFiles(fake));
  EXPECT_EQ(fake.shell_objects_alive, 0);
}

TEST(FixSequenceTest, ClicksAndCloseDuringTheRepairDoNotInterruptIt) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  bool unload_result = true;
  fake.on_events = [&] {
    form.cmdStart_Click();
    unload_result = form.Form_Unload();
  };
  form.cmdStart_Click();
  EXPECT_FALSE(unload_result);
  EXPECT_FALSE(fake.ended);
  EXPECT_EQ(fake.Only(kRestart).size(), 1u);
  EXPECT_EQ(fake.Only("launch 2 regedit").size(), 2u);
  fake.on_events = nullptr;
  EXPECT_TRUE(form.Form_Unload()) << "after the repair, closing ends the program again";
}

TEST(FixSequenceTest, LayoutFollowsTheProfilesFolder) {
  for (auto [profiles, id] : {std::pair{"C:\\Users", 106}, {"d:\\USERS\\", 106}, {"C:\\Documents and Settings", 105},
                              {"C:\\Users2", 105}, {"C:\\Profiles\\Users", 105}, {"C", 105}, {"!", 105}}) {
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
  std::function<void(FakePlatform&)> setup;
  std::vector<std::string> restarts;
  std::vector<std::string> message;  // parts of the one message box, if any
  bool repaired = true;              // the whole branch is in place afterwards
  bool keeps_files = false;
  friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.what; }
};

class FixOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(FixOutcomeTest, RestartsOnlyOnACompleteBranch) {
  const OutcomeCase& c = GetParam();
  FakePlatform fake;
  fake.profiles_directory = "C:\\Users";
  fake.files[Fold("C:\\WINDOWS\\svcas.reg")] = {'o', 'l', 'd'};
  c.setup(fake);
  frmVeltrik form(fake);
  form.Form_Load();
  form.cmdStart_Click();
  EXPECT_EQ(MissingEntries(fake) == 0, c.repaired);
  std::vector<std::string> restarts;
  for (const std::string& line : fake.log) {
    if (line == kRestart || line == "restart-system") restarts.push_back(line);
  }
  EXPECT_EQ(restarts, c.restarts);
  EXPECT_NE(LeavesNoWorkFiles(fake), c.keeps_files);
  EXPECT_EQ(fake.shell_objects_alive, 0);
  EXPECT_THAT(fake.enabled, ::testing::Each(::testing::Pair(::testing::_, true)));
  const auto boxes = fake.Only("msgbox");
  EXPECT_EQ(fake.caption, c.message.empty() ? "Restarting..." : kTitle);
  ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
  for (const std::string& part : c.message) EXPECT_THAT(boxes[0], HasSubstr(part));
  if (!boxes.empty()) EXPECT_EQ(boxes[0].rfind("msgbox 48 [" + kTitle + "] ", 0), 0u);
}

const std::vector<std::string> kRestarted = {kRestart};
const std::string kAdvice = "run Veltrik as administrator";

INSTANTIATE_TEST_SUITE_P(
    Cases, FixOutcomeTest,
    ::testing::Values(
        OutcomeCase{"imported", [](FakePlatform&) {}, kRestarted, {}},
        OutcomeCase{"editor not startable", [](FakePlatform& f) { f.Fail("LaunchCommand", "regedit"); }, kRestarted,
                    {}},
        OutcomeCase{"editor hijacked", [](FakePlatform& f) { f.regedit_imports = false; }, kRestarted, {}},
        OutcomeCase{"import never ends", [](FakePlatform& f) { f.Fail("WaitForProcess"); }, kRestarted, {}},
        OutcomeCase{".reg not writable", [](FakePlatform& f) { f.Fail("WriteWholeFile", ".reg"); }, kRestarted, {}},
        OutcomeCase{"work file unreadable", [](FakePlatform& f) { f.Fail("ReadWholeFile"); }, kRestarted, {}},
        OutcomeCase{"no system folder", [](FakePlatform& f) { f.Fail("GetSystemDirectoryA"); }, kRestarted, {},
                    true, true},
        OutcomeCase{"no shell object", [](FakePlatform& f) { f.Fail("CreateObject"); }, kRestarted, {}},
        OutcomeCase{"policy writes refused", [](FakePlatform& f) { f.Fail("RegWrite"); }, kRestarted, {}},
        OutcomeCase{"files cannot be removed", [](FakePlatform& f) { f.Fail("RemoveFile"); }, kRestarted, {}, true,
                    true},
        OutcomeCase{"shutdown not startable", [](FakePlatform& f) { f.Fail("LaunchCommand", "shutdown"); },
                    {"restart-system"}, {}},
        OutcomeCase{"no way to restart",
                    [](FakePlatform& f) {
                      f.Fail("LaunchCommand", "shutdown");
                      f.Fail("RestartSystem");
                    },
                    {}, {"Safe Mode is repaired", "restart the computer yourself"}},
        OutcomeCase{"writes refused",
                    [](FakePlatform& f) {
                      f.regedit_imports = false;
                      f.Fail("WriteRegistryEntry", "SafeBoot");
                    },
                    {},
                    {"Safe Mode was NOT repaired", "158 of 158 entries of the SafeBoot branch are missing.\r\n",
                     "First missing key: " + kSafeBoot + "\r\nReason: system error 5", kAdvice},
                    false},
        OutcomeCase{"template unreadable", [](FakePlatform& f) { f.Fail("LoadCustomResource"); }, {},
                    {"Safe Mode was NOT repaired", "stored copy of the SafeBoot branch could not be read", kAdvice},
                    false}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

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
}

}  // namespace
}  // namespace veltrik::testing
