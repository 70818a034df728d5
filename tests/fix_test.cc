#include "repair/fix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>

#include "app/form.h"
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

struct FailureCase {
  const char* op;
  const char* argument;
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.op << " " << c.argument; }
};

class SingleFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SingleFailureTest, StillCleansUpAndRestartsOnce) {
  FakePlatform fake;
  fake.files[Fold("C:\\WINDOWS\\sxcas.reg")] = {'o', 'l', 'd'};
  fake.Fail(GetParam().op, GetParam().argument);
  frmVeltrik form(fake);
  form.Form_Load();
  form.cmdStart_Click();
  // Without the system directory the work folder is "\", so the old file in
  // C:\WINDOWS is not the repair's; a failed removal leaves its file.
  const std::string op = GetParam().op;
  const bool keeps_files = op == "RemoveFile" || op == "GetSystemDirectoryA";
  EXPECT_EQ(LeavesNoWorkFiles(fake), !keeps_files);
  const auto launches = fake.Only("launch ");
  ASSERT_FALSE(launches.empty());
  EXPECT_EQ(launches.back(), kRestart);
  EXPECT_EQ(fake.Only(kRestart).size(), 1u);
  EXPECT_EQ(fake.caption, "Restarting...");
  EXPECT_EQ(fake.shell_objects_alive, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, SingleFailureTest,
                         ::testing::Values(FailureCase{"GetSystemDirectoryA", ""},
                                           FailureCase{"GetProfilesDirectory", ""}, FailureCase{"CreateObject", ""},
                                           FailureCase{"RegRead", ""}, FailureCase{"RegWrite", "HKLM"},
                                           FailureCase{"RegWrite", "HKCU"}, FailureCase{"LaunchCommand", "regedit"},
                                           FailureCase{"LaunchCommand", "http"}, FailureCase{"WaitForProcess", ""},
                                           FailureCase{"LoadCustomResource", ""}, FailureCase{"WriteWholeFile", ".tmp"},
                                           FailureCase{"WriteWholeFile", ".reg"}, FailureCase{"ReadWholeFile", ""},
                                           FailureCase{"RemoveFile", ""}),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           std::string name = std::string(info.param.op) + "_" + info.param.argument;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name + std::to_string(info.index);
                         });

TEST(SingleFailureTest, RestartIsLaunchedEvenWhenTheImportCannotStart) {
  FakePlatform fake;
  fake.Fail("LaunchCommand", "regedit");
  FixSafeMode(fake, "C:\\WINDOWS\\");
  EXPECT_TRUE(fake.Only("wait").empty()) << "a launch that failed is not waited for";
  EXPECT_TRUE(LeavesNoWorkFiles(fake));
}

}  // namespace
}  // namespace veltrik::testing
