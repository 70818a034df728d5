// An installed Windows repaired from a recovery environment: its hives loaded
// beside the running system's, backed up first, always unloaded. (Wine's own
// hive format and its unload are proven end to end.)
#include "repair/offline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/form.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using Keys = FakePlatform::Keys;

const std::string kConfig = "D:\\Windows\\System32\\config\\";
const std::string kBackup = kConfig + "Veltrik-backup-20261207-171500";
const std::string kShownSafeBoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\SafeBoot";

Keys Software(std::optional<std::pair<std::uint32_t, std::uint32_t>> numbers, const char* current) {
  Keys software;
  auto& values = software["Microsoft\\Windows NT\\CurrentVersion"];
  if (current) values["CurrentVersion"] = current;
  if (numbers) {
    values["CurrentMajorVersionNumber"] = StoredValue(std::to_string(numbers->first), ValueType::kDword);
    values["CurrentMinorVersionNumber"] = StoredValue(std::to_string(numbers->second), ValueType::kDword);
  }
  return software;
}

// Windows 7 at D:\Windows, starting next with ControlSet002, whose shell is
// hijacked; ControlSet001 is an older copy that must stay as it is.
void Install(FakePlatform& fake, Keys software = Software(std::nullopt, "6.1")) {
  fake.PutHive(kConfig + "SYSTEM", {{"Select", {{"Default", StoredValue("2", ValueType::kDword)}}},
                                    {"ControlSet001\\Control\\SafeBoot", {{"AlternateShell", "old.exe"}}},
                                    {"ControlSet002\\Control\\SafeBoot", {{"AlternateShell", "evil\r\n.exe"}}}});
  fake.files[Fold(kConfig + "SYSTEM.LOG1")] = {'l', 'o', 'g'};
  if (!software.empty()) fake.PutHive(kConfig + "SOFTWARE", std::move(software));
  fake.fixed_drives = {"C:\\", "D:\\"};
}

// Every hive loaded is unloaded, and no key of it is left.
void ExpectAllUnloaded(const FakePlatform& fake) {
  EXPECT_EQ(fake.Only("load-hive").size(), fake.Only("unload-hive").size());
  for (const std::string& load : fake.Only("load-hive ")) {
    const std::string root = Fold("HKEY_LOCAL_MACHINE\\" + load.substr(10, load.find(' ', 10) - 10));
    for (const auto& [key, values] : fake.keys) {
      EXPECT_TRUE(Fold(key) != root && Fold(key).rfind(root + "\\", 0) != 0) << key << " left loaded";
    }
  }
}

TEST(OfflineTest, RefusesTheRunningWindowsAndAFolderWithoutASystemHiveTouchingNothing) {
  for (const char* folder : {"C:\\WINDOWS", "c:/windows\\", "D:\\Windows", "D:\\Other", "D:\\"}) {
    for (const char* action : {"/check", "/fix"}) {
      FakePlatform fake;
      Install(fake);
      fake.files.erase(Fold(kConfig + "SYSTEM"));  // SOFTWARE alone is not a Windows
      fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});
      const auto files = fake.files;
      EXPECT_EQ(RunCommand(fake, ParseArguments({action, "/offline", folder})), kExitUsage);
      const bool running = std::string(folder).rfind("D:", 0) != 0;
      EXPECT_THAT(fake.output, HasSubstr(running ? " is the Windows that is running: its registry is in use."
                                                 : " is not a Windows folder: it has no System32\\config\\SYSTEM."))
          << folder;
      EXPECT_THAT(fake.log, IsEmpty()) << folder << " " << action << ": nothing loaded, made or written";
      EXPECT_TRUE(fake.files == files);
    }
  }
}

TEST(OfflineTest, TheListIsTheInstalledWindowsOwnByItsSoftwareHiveElseItsDrive) {
  // clang-format off
  for (auto [software, users, line] : {
           std::tuple{Software(std::pair(10u, 0u), "6.3"), false, "version 10.0, Windows 10 list"},
           {Software(std::nullopt, "6.3"), false, "version 6.3, Windows 8.1 list"},
           {Software(std::nullopt, "6.1"), false, "version 6.1, Windows 7 list"},
           {Software(std::nullopt, "5.1"), true, "version 5.1, Windows XP list"},
           {Software(std::nullopt, "6.x"), true, "version unreadable, the Windows Vista list by its profiles folder"},
           {Keys{}, true, "version unreadable, the Windows Vista list by its profiles folder"},
           {Software(std::nullopt, nullptr), false, "version unreadable, the Windows XP list by its profiles folder"}}) {
    // clang-format on
    FakePlatform fake;
    fake.version = {10, 0};  // the recovery environment's own
    Install(fake, software);
    if (users) fake.folders.insert(Fold("D:\\Users"));
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows\\"})), kExitNotRepaired);
    EXPECT_THAT(fake.output, StartsWith("Installed Windows: D:\\Windows (" + std::string(line) +
                                        "), control set ControlSet002\r\n"));
    EXPECT_THAT(fake.Only("regset"), IsEmpty());
    ExpectAllUnloaded(fake);
  }
}

TEST(OfflineTest, FixBacksUpThenRepairsTheNextStartsControlSetAndReportsWhatItReplaced) {
  FakePlatform fake;
  Install(fake);
  fake.keys["HKEY_LOCAL_MACHINE\\VeltrikOfflineSystem"];  // someone else's: our name must not clash
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "-Offline", "D:\\Windows"})), kExitRestartRequired);
  EXPECT_EQ(fake.output, "Backup of the SYSTEM hive: " + kBackup + "\r\n"
                         "Installed Windows: D:\\Windows (version 6.1, Windows 7 list), control set ControlSet002\r\n"
                         "SafeBoot branch (Windows 7 list): repaired, 177 of 177 entries in place\r\n"
                         "Values replaced (old -> new): 1\r\n"
                         "  " + kShownSafeBoot + ": AlternateShell = evil\\x0D\\x0A.exe -> cmd.exe\r\n"
                         "Restart the computer into this Windows to finish.\r\n");
  const std::vector<std::string> order(fake.log.begin(), fake.log.begin() + 5);
  EXPECT_THAT(order, ::testing::ElementsAre("mkdir " + kBackup, "copy " + kConfig + "SYSTEM " + kBackup + "\\SYSTEM",
                                            "copy " + kConfig + "SYSTEM.LOG1 " + kBackup + "\\SYSTEM.LOG1",
                                            "load-hive VeltrikOfflineSoftware " + kConfig + "SOFTWARE",
                                            "unload-hive VeltrikOfflineSoftware"));
  EXPECT_EQ(fake.log[5], "load-hive VeltrikOfflineSystem-2 " + kConfig + "SYSTEM");
  EXPECT_THAT(fake.Only("regset"), ::testing::Each(HasSubstr("\\VeltrikOfflineSystem-2\\ControlSet002\\")));
  EXPECT_EQ(fake.log.back(), "unload-hive VeltrikOfflineSystem-2");
  EXPECT_EQ(fake.files[Fold(kBackup + "\\SYSTEM")], fake.files[Fold(kConfig + "SYSTEM")]);
  // What the hive holds once it is written back: the whole list in ControlSet002, ControlSet001 as it was.
  const Keys& hive = fake.hives[Fold(kConfig + "SYSTEM")];
  EXPECT_EQ(hive.at("ControlSet001\\Control\\SafeBoot").at("AlternateShell"), StoredValue("old.exe"));
  for (const RegistryEntry& e : LoadTemplate(fake, kTemplateWin7).entries) {
    const std::string key = "ControlSet002" + e.key.substr(std::string(kCurrentControlSet).size());
    ASSERT_TRUE(hive.count(key)) << key;
    if (e.name) {
      EXPECT_EQ(hive.at(key).at(*e.name), StoredValue(e.data, e.type)) << key;
    }
  }
  EXPECT_THAT(fake.Only("launch"), IsEmpty()) << "no regedit, bcdedit or shutdown";
  EXPECT_THAT(fake.Only("regwrite"), IsEmpty()) << "no policy of the running system";
  EXPECT_TRUE(fake.keys.count("HKEY_LOCAL_MACHINE\\VeltrikOfflineSystem"));
  ExpectAllUnloaded(fake);

  fake.output.clear();
  fake.timestamp = "20261207-171501";
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), kExitOk);
  EXPECT_THAT(fake.output, HasSubstr("SafeBoot branch (Windows 7 list): 177 of 177 entries in place; nothing to "
                                     "repair\r\n"));
}

struct FailureCase {
  const char* what;
  std::function<void(FakePlatform&)> damage;
  std::string said;
  bool loads = true;  // the SYSTEM hive was loaded (and so must be unloaded)
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }
};

class OfflineFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(OfflineFailureTest, NeverClaimsARepairAndUnloadsOnEveryPath) {
  FakePlatform fake;
  Install(fake);
  GetParam().damage(fake);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), kExitNotRepaired);
  EXPECT_THAT(fake.output, HasSubstr(GetParam().said));
  EXPECT_THAT(fake.output, ::testing::Not(HasSubstr("Restart the computer into this Windows")));
  EXPECT_EQ(!fake.Only("load-hive VeltrikOfflineSystem").empty(), GetParam().loads);
  if (GetParam().what != std::string("the unload refused")) ExpectAllUnloaded(fake);
  const Keys& hive = fake.hives[Fold(kConfig + "SYSTEM")];
  if (GetParam().said.find("NOT repaired") == std::string::npos) {
    EXPECT_EQ(hive.at("ControlSet002\\Control\\SafeBoot").size(), 1u) << "nothing written";
  }
}

const auto kNoSelect = [](FakePlatform& f) { f.hives[Fold(kConfig + "SYSTEM")].erase("Select"); };

INSTANTIATE_TEST_SUITE_P(
    Cases, OfflineFailureTest,
    ::testing::Values(
        FailureCase{"no Select", kNoSelect, "has no Select\\Default, which names the control set it starts with. "
                                            "Nothing was written.\r\n"},
        FailureCase{"Select names a missing set",
                    [](FakePlatform& f) { f.hives[Fold(kConfig + "SYSTEM")]["Select"]["Default"] = {"3", ValueType::kDword}; },
                    "lacks ControlSet003, the control set Select\\Default names. Nothing was written."},
        FailureCase{"backup folder refused", [](FakePlatform& f) { f.Fail("CreateFolder"); },
                    "could not be made: system error 5. Nothing was changed.", false},
        FailureCase{"a log not copied", [](FakePlatform& f) { f.Fail("CopyWholeFile", "SYSTEM.LOG1"); },
                    "The SYSTEM hive could not be backed up (" + kConfig + "SYSTEM.LOG1): system error 5. Nothing "
                    "was changed.", false},
        FailureCase{"the hive not loaded", [](FakePlatform& f) { f.Fail("LoadHive", "SYSTEM"); },
                    "The SYSTEM hive of D:\\Windows could not be loaded: system error 1314", false},
        FailureCase{"a write refused", [](FakePlatform& f) { f.Fail("WriteRegistryEntry", "\\Minimal"); },
                    "SafeBoot branch (Windows 7 list): NOT repaired; 61 of 177 entries missing"},
        FailureCase{"the unload refused", [](FakePlatform& f) { f.Fail("UnloadHive", "VeltrikOfflineSystem"); },
                    "The SYSTEM hive of D:\\Windows could not be unloaded: system error 5."}));

TEST(ReplacedTest, TheCommandLineNamesWhatItReplacesOnline) {
  FakePlatform fake;
  fake.version = {10, 0};
  for (const RegistryEntry& e : LoadTemplate(fake, kTemplateWin10).entries) fake.keys[e.key][e.name.value_or("")] = {e.data, e.type};
  const std::string safeboot = std::string(kCurrentControlSet) + "\\Control\\SafeBoot";
  fake.keys[safeboot]["AlternateShell"] = StoredValue(std::string(300, 'x'));
  const std::string media = safeboot + "\\Minimal\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
  fake.keys[media]["SafeBootDrivers"] = StoredValue("\xE2\x80\xAEgpj");
  fake.regedit_imports = false;  // replaced all the same, through the registry API
  const std::string listed = "Values replaced (old -> new): 2\r\n"
                             "  " + safeboot + ": AlternateShell = " + std::string(255, 'x') + "... (300 bytes) -> cmd.exe\r\n"
                             "  " + media + ": SafeBootDrivers = \\u202Egpj -> (not a string: REG_DWORD 1)\r\n";
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
  EXPECT_THAT(fake.output, HasSubstr("\r\nValues a repair would replace" + listed.substr(listed.find(" (old"))));
  fake.output.clear();
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/norestart"})), kExitRestartRequired);
  EXPECT_THAT(fake.output, HasSubstr("236 of 236 entries in place\r\n" + listed));
}

struct RecoveryCase {
  const char* what;
  std::vector<std::string> drives;  // each but C: holds an installed Windows
  bool yes;
  std::vector<std::string> boxes;  // a part of each box shown, in order
};

TEST(RecoveryWindowTest, FixRepairsTheOneInstalledWindowsNeverItsOwnRegistryAndNeverRestarts) {
  // clang-format off
  for (const RecoveryCase& c : {
           RecoveryCase{"one, yes", {"C:\\", "D:\\"}, true,
                        {"ask [Veltrik v1.1.0.0] Veltrik runs in a recovery environment. Repair Safe Mode of the Windows "
                         "installed in D:\\Windows (version 6.1, Windows 7 list)?",
                         "msgbox 64 [Veltrik v1.1.0.0] Safe Mode of the Windows in D:\\Windows is repaired.\r\n"
                         "Backup of its SYSTEM hive: " + kBackup}},
           {"one, no", {"C:\\", "D:\\"}, false, {"ask [Veltrik v1.1.0.0] "}},
           {"none", {"C:\\"}, true, {"msgbox 64 [Veltrik v1.1.0.0] Veltrik runs in a recovery environment: it "
                                     "repairs an installed Windows, not this one.\r\n\r\nNo installed Windows was found "
                                     "on the fixed drives. If its drive is encrypted with BitLocker, unlock it first "
                                     "(manage-bde -unlock). Then repair it from the command prompt, for example:\r\n"
                                     "veltrik.exe /fix /offline D:\\Windows\r\n"}},
           {"several", {"C:\\", "D:\\", "E:\\"}, true, {"Several installed Windows were found: D:\\Windows E:\\Windows."
                                                        "\r\nRepair the one you mean"}}}) {
    // clang-format on
    FakePlatform fake;
    fake.keys[kMiniNtKey];
    fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});  // the environment's own, passed over
    if (c.drives.size() > 1) Install(fake);
    if (c.drives.size() > 2) fake.PutHive("E:\\Windows\\System32\\config\\SYSTEM", {});
    fake.fixed_drives = c.drives;
    fake.answer_yes = c.yes;
    frmVeltrik form(fake);
    form.Form_Load();
    fake.log.clear();
    form.cmdStart_Click();
    std::vector<std::string> boxes = fake.Only("ask");
    for (const std::string& box : fake.Only("msgbox")) boxes.push_back(box);
    ASSERT_EQ(boxes.size(), c.boxes.size()) << c.what;
    for (std::size_t i = 0; i < boxes.size(); ++i) EXPECT_THAT(boxes[i], HasSubstr(c.boxes[i])) << c.what;
    EXPECT_EQ(fake.Only("regset").empty(), c.what != std::string("one, yes")) << c.what;
    EXPECT_THAT(fake.Only("launch"), IsEmpty()) << c.what << ": no import, boot menu or restart";
    EXPECT_THAT(fake.Only("restart-system"), IsEmpty());
    EXPECT_FALSE(fake.keys.count(std::string(kCurrentControlSet) + "\\Control\\SafeBoot")) << "its own registry";
    EXPECT_EQ(fake.caption, "Veltrik v1.1.0.0");
    ExpectAllUnloaded(fake);
  }
}

}  // namespace
}  // namespace veltrik::testing
