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

using ::testing::Each;
using ::testing::ElementsAre;

const std::string kHklm =
    "regwrite HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools=0 REG_DWORD";
const std::string kHkcu =
    "regwrite HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools=0 REG_DWORD";
const std::string kRestart = "launch 2 shutdown -r -f -t 0";

// The effects that leave the program: registry, processes, deletions.
std::vector<std::string> Effects(const FakePlatform& fake) {
  std::vector<std::string> out;
  for (const std::string& line : fake.log) {
    for (const char* p : {"regwrite", "launch", "wait", "delete C:\\WINDOWS\\s"}) {
      if (line.rfind(p, 0) == 0 && line.find(".tmp") == std::string::npos) out.push_back(line);
    }
  }
  return out;
}

bool LeavesNoWorkFiles(const FakePlatform& fake) {
  for (const auto& [path, bytes] : fake.files) {
    if (path.find("xcas.") != std::string::npos || path.find("vcas.") != std::string::npos) return false;
  }
  return true;
}

TEST(FixSequenceTest, XpLayoutRunsBothPassesThenDeletesThenRestarts) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  fake.log.clear();
  form.cmdStart_Click();
  const std::string import = "launch 2 regedit -s C:\\WINDOWS\\sxcas.reg";
  EXPECT_THAT(Effects(fake), ElementsAre(kHklm, kHkcu, import, "wait 101 60000 ended", kHklm, kHkcu, import,
                                         "wait 102 60000 ended", "delete C:\\WINDOWS\\sxcas.reg", kRestart));
  EXPECT_TRUE(LeavesNoWorkFiles(fake));
  EXPECT_EQ(fake.shell_objects_alive, 0);
  EXPECT_EQ(
      fake.registry[Fold("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools")],
      "0 REG_DWORD");
}

TEST(FixSequenceTest, EachImportSeesTheCompleteFile) {
  FakePlatform fake;
  std::vector<std::string> seen;
  fake.on_events = [&] { seen.push_back(fake.FileText("C:\\WINDOWS\\svcas.reg")); };
  fake.profiles_directory = "C:\\Users";
  FixSafeMode(fake, "C:\\WINDOWS\\");
  ASSERT_EQ(seen.size(), 2u);
  // The whole template, one byte per UTF-16 unit after the byte-order mark.
  EXPECT_EQ(seen[0].size(), (kEmbeddedTemplate106.size() - 2) / 2);
  EXPECT_EQ(seen[0], seen[1]);
}

struct LayoutCase {
  const char* profiles;
  bool available;
  int template_id;
  friend void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << (c.available ? "\"" + std::string(c.profiles) + "\"" : std::string("no profiles folder"));
  }
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, PicksTheTemplateFromTheProfilesFolder) {
  FakePlatform fake;
  fake.profiles_directory = GetParam().profiles;
  fake.has_profiles_directory = GetParam().available;
  EXPECT_EQ(ChooseTemplate(fake), GetParam().template_id) << GetParam().profiles;
}

INSTANTIATE_TEST_SUITE_P(Table, LayoutTest,
                         ::testing::Values(LayoutCase{"C:\\Users", true, 106}, LayoutCase{"d:\\USERS", true, 106},
                                           LayoutCase{"C:\\users\\", true, 106},
                                           LayoutCase{"C:\\Documents and Settings", true, 105},
                                           LayoutCase{"C:\\Users2", true, 105},
                                           LayoutCase{"C:\\Profiles\\Users", true, 105}, LayoutCase{"", true, 105},
                                           LayoutCase{"C", true, 105}, LayoutCase{"C:\\Users", false, 105}));

TEST(ImportCommandTest, QuotesOnlyPathsWithSpaces) {
  EXPECT_EQ(ImportCommand("C:\\WINDOWS\\", 105), "regedit -s C:\\WINDOWS\\sxcas.reg");
  EXPECT_EQ(ImportCommand("C:\\Win Dows\\", 106), "regedit -s \"C:\\Win Dows\\svcas.reg\"");
}

TEST(FixHandlerTest, ShowsFixingWhileWorkingAndRestartingAfter) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  fake.log.clear();
  fake.captions_seen_by_events.clear();
  form.cmdStart_Click();
  EXPECT_THAT(fake.captions_seen_by_events, Each(std::string("Fixing...")));
  EXPECT_EQ(fake.captions_seen_by_events.size(), 4u) << "two pumps and two waits";
  std::vector<std::string> ui;
  for (const std::string& line : fake.log) {
    if (line.rfind("caption", 0) == 0 || line.rfind("enable", 0) == 0 || line.rfind("disable", 0) == 0 ||
        line == "doevents" || line.rfind("launch 2 shutdown", 0) == 0 || line.rfind("launch 2 regedit", 0) == 0) {
      ui.push_back(line.rfind("launch 2 regedit", 0) == 0 ? "import" : line);
    }
  }
  EXPECT_THAT(ui, ElementsAre("disable start", "disable about", "disable exit", "caption Fixing...", "doevents",
                              "import", "import", "doevents", "enable start", "enable about", "enable exit",
                              "caption Restarting...", kRestart));
  EXPECT_EQ(fake.caption, "Restarting...");
}

TEST(FixHandlerTest, ClicksAndCloseDuringTheRepairDoNotInterruptIt) {
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

const std::string kSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

std::vector<RegistryEntry> Vista7Entries() {
  return ParseRegText(RegTextFromWorkFile(ByteArrayImage(kEmbeddedTemplate106)));
}

// The template's entries that the fake's registry lacks, as the API reads it.
size_t MissingEntries(FakePlatform& fake) {
  size_t missing = 0;
  for (const RegistryEntry& e : Vista7Entries()) {
    std::string data;
    if (fake.ReadRegistryEntry(e, data) != 0 || (e.name && data != e.data)) ++missing;
  }
  return missing;
}

struct OutcomeCase {
  const char* what;
  std::function<void(FakePlatform&)> setup;
  bool repaired;  // the whole branch is in place afterwards
  std::vector<std::string> restarts;
  std::vector<std::string> message;  // parts of the one message box, if any
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
  EXPECT_TRUE(LeavesNoWorkFiles(fake));
  EXPECT_EQ(fake.shell_objects_alive, 0);
  EXPECT_THAT(fake.enabled, Each(::testing::Pair(::testing::_, true)));
  const auto boxes = fake.Only("msgbox");
  if (c.message.empty()) {
    EXPECT_THAT(boxes, ::testing::IsEmpty());
    EXPECT_EQ(fake.caption, "Restarting...");
    return;
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("msgbox 48 [Veltrik v1.1.0.0] ", 0), 0u) << boxes[0];
  for (const std::string& part : c.message) EXPECT_THAT(boxes[0], ::testing::HasSubstr(part));
  EXPECT_EQ(fake.caption, "Veltrik v1.1.0.0");
}

const std::string kRefused = "158 of 158 entries of the SafeBoot branch are missing.\r\nFirst missing key: " + kSafeBoot +
                             "\r\nReason: system error 5";
const std::string kAdvice = "run Veltrik as administrator";

INSTANTIATE_TEST_SUITE_P(
    Cases, FixOutcomeTest,
    ::testing::Values(
        OutcomeCase{"imported", [](FakePlatform&) {}, true, {kRestart}, {}},
        OutcomeCase{"editor not startable", [](FakePlatform& f) { f.Fail("LaunchCommand", "regedit"); }, true,
                    {kRestart}, {}},
        OutcomeCase{"editor hijacked", [](FakePlatform& f) { f.regedit_imports = false; }, true, {kRestart}, {}},
        OutcomeCase{".reg not writable", [](FakePlatform& f) { f.Fail("WriteWholeFile", ".reg"); }, true,
                    {kRestart}, {}},
        OutcomeCase{"shutdown not startable", [](FakePlatform& f) { f.Fail("LaunchCommand", "shutdown"); }, true,
                    {"restart-system"}, {}},
        OutcomeCase{"no way to restart",
                    [](FakePlatform& f) {
                      f.Fail("LaunchCommand", "shutdown");
                      f.Fail("RestartSystem");
                    },
                    true, {}, {"Safe Mode is repaired", "restart the computer yourself"}},
        OutcomeCase{"writes refused",
                    [](FakePlatform& f) {
                      f.regedit_imports = false;
                      f.Fail("WriteRegistryEntry", "SafeBoot");
                    },
                    false, {}, {"Safe Mode was NOT repaired", kRefused, kAdvice}},
        OutcomeCase{"template unreadable", [](FakePlatform& f) { f.Fail("LoadCustomResource"); }, false, {},
                    {"Safe Mode was NOT repaired", "stored copy of the SafeBoot branch could not be read", kAdvice}}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(FixCompletionTest, WritesOnlyWhatIsMissingOrChangedAndKeepsForeignEntries) {
  FakePlatform fake;
  fake.profiles_directory = "C:\\Users";
  fake.regedit_imports = false;
  const auto expected = Vista7Entries();
  for (size_t i = 0; i < expected.size(); i += 3) {  // a third survived the malware
    if (expected[i].name) fake.keys[Fold(expected[i].key)][Fold(*expected[i].name)] = expected[i].data;
  }
  fake.keys[Fold(kSafeBoot)]["alternateshell"] = "evil.exe";
  fake.keys[Fold(kSafeBoot + "\\Minimal\\AcmeGuard")][""] = "Service";
  const size_t before = MissingEntries(fake);
  FixSafeMode(fake, "C:\\WINDOWS\\");
  EXPECT_EQ(MissingEntries(fake), 0u);
  EXPECT_EQ(fake.keys[Fold(kSafeBoot)]["alternateshell"], "cmd.exe");
  EXPECT_EQ(fake.keys[Fold(kSafeBoot + "\\Minimal\\AcmeGuard")][""], "Service");
  EXPECT_EQ(fake.Only("regset").size(), before) << "only what was missing or changed is written";
}

}  // namespace
}  // namespace veltrik::testing
