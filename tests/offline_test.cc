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
using Keys = FakePlatform::Keys;

const std::string kConfig = "D:\\Windows\\System32\\config\\";
const std::string kBackup = kConfig + "Veltrik-backup-20261207-171500";

Keys Software(const char* current, std::uint32_t major = 0) {
  Keys software;
  auto& values = software["Microsoft\\Windows NT\\CurrentVersion"];
  if (current) values["CurrentVersion"] = current;
  if (major) values["CurrentMajorVersionNumber"] = StoredValue(std::to_string(major), ValueType::kDword);
  if (major) values["CurrentMinorVersionNumber"] = StoredValue("0", ValueType::kDword);
  return software;
}

// Windows 7 at D:\Windows, starting next with ControlSet002, whose shell is
// hijacked; ControlSet001 is an older copy that must stay as it is.
void Install(FakePlatform& fake, Keys software = Software("6.1")) {
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
    for (const auto& [key, values] : fake.keys) EXPECT_NE(Fold(key).substr(0, root.size()), root) << key << " loaded";
  }
}

TEST(OfflineTest, TheListIsTheInstalledWindowsOwnByItsSoftwareHiveElseItsDrive) {
  const char* kByProfiles = "version unreadable, the Windows ";
  for (auto [software, users, line] : {std::tuple{Software("6.3", 10), false, "version 10.0, Windows 10"},
                                       {Software("6.3"), false, "version 6.3, Windows 8.1"},
                                       {Software("6.1"), false, "version 6.1, Windows 7"},
                                       {Software("5.1"), true, "version 5.1, Windows XP"},
                                       {Software("6.x"), true, "Vista"}, {Keys{}, true, "Vista"},
                                       {Software(nullptr), false, "XP"}}) {
    FakePlatform fake;
    fake.version = {10, 0};  // the recovery environment's own
    Install(fake, software);
    if (users) fake.folders.insert(Fold("D:\\Users"));
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows\\"})), kExitNotRepaired);
    const std::string said = line[0] == 'v' ? line + std::string(" list")
                                            : kByProfiles + std::string(line) + " list by its profiles folder";
    EXPECT_EQ(fake.output.substr(0, fake.output.find("\r\n")),
              "Installed Windows: D:\\Windows (" + said + "), control set ControlSet002");
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
                         "Values replaced (old -> new): 1\r\n  HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\"
                         "SafeBoot: AlternateShell = evil\\x0D\\x0A.exe -> cmd.exe\r\n"
                         "Restart the computer into this Windows to finish.\r\n");
  EXPECT_THAT(std::vector(fake.log.begin(), fake.log.begin() + 6),
              ::testing::ElementsAre("mkdir " + kBackup, "copy " + kConfig + "SYSTEM " + kBackup + "\\SYSTEM",
                                     "copy " + kConfig + "SYSTEM.LOG1 " + kBackup + "\\SYSTEM.LOG1",
                                     "load-hive VeltrikOfflineSoftware " + kConfig + "SOFTWARE",
                                     "unload-hive VeltrikOfflineSoftware",
                                     "load-hive VeltrikOfflineSystem-2 " + kConfig + "SYSTEM"));
  // Read back as whole while loaded; nothing written elsewhere, ControlSet001 included.
  EXPECT_THAT(fake.Only("regset"), ::testing::Each(HasSubstr("\\VeltrikOfflineSystem-2\\ControlSet002\\")));
  EXPECT_EQ(fake.log.back(), "unload-hive VeltrikOfflineSystem-2");
  EXPECT_EQ(fake.files[Fold(kBackup + "\\SYSTEM")], fake.files[Fold(kConfig + "SYSTEM")]);
  EXPECT_THAT(fake.Only("launch"), IsEmpty()) << "no regedit, bcdedit or shutdown";
  EXPECT_THAT(fake.Only("regwrite"), IsEmpty()) << "no policy of the running system";
  ExpectAllUnloaded(fake);

  fake.output.clear();
  fake.timestamp = "20261207-171501";
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), kExitOk);
  EXPECT_THAT(fake.output, HasSubstr(" list): 177 of 177 entries in place; nothing to repair\r\n"));
}

struct FailureCase {
  const char* what;
  std::function<void(FakePlatform&)> damage;
  std::string said;
  bool loads = true;  // the SYSTEM hive was loaded (and so must be unloaded)
  int exit_code = kExitNotRepaired;
  const char* folder = "D:\\Windows";
  bool writes = false;  // it fails after the repair wrote
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }
};

class OfflineFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(OfflineFailureTest, NeverClaimsARepairAndUnloadsOnEveryPath) {
  const FailureCase& c = GetParam();
  for (const char* action : {"/check", "/fix"}) {
    FakePlatform fake;
    Install(fake);
    fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});
    c.damage(fake);
    const auto files = fake.files;
    const bool fix = action == std::string("/fix");
    if (!fix && c.exit_code != kExitUsage) continue;  // the rest happen while repairing
    EXPECT_EQ(RunCommand(fake, ParseArguments({action, "/offline", c.folder})), c.exit_code);
    EXPECT_THAT(fake.output, HasSubstr(c.said));
    EXPECT_THAT(fake.output, ::testing::Not(HasSubstr("Restart the computer into")));
    EXPECT_EQ(!fake.Only("load-hive VeltrikOfflineSystem").empty(), c.loads);
    EXPECT_TRUE(c.exit_code != kExitUsage || (fake.log.empty() && fake.files == files)) << "nothing touched";
    if (c.what != std::string("unload refused")) ExpectAllUnloaded(fake);
    EXPECT_EQ(fake.Only("regset").empty(), !c.writes) << "written";
  }
}

const std::string kNothing = ". Nothing was changed.";
constexpr ValueType kDword = ValueType::kDword;

INSTANTIATE_TEST_SUITE_P(
    Cases, OfflineFailureTest,
    ::testing::Values(
        FailureCase{"the running one", [](FakePlatform&) {},
                    "C:/windows\\ is the Windows that is running: its "
                    "registry is in use. Repair it with /fix, without /offline.\r\n",
                    false, kExitUsage, "C:/windows\\"},
        FailureCase{"not a full path", [](FakePlatform&) {},
                    "D:Windows is not a full path: give the Windows folder "
                    "with its drive, e.g. D:\\Windows.",
                    false, kExitUsage, "D:Windows"},
        FailureCase{"no SYSTEM hive", [](FakePlatform& f) { f.files.erase(Fold(kConfig + "SYSTEM")); },
                    "D:\\Windows is not a Windows folder: it has no System32\\config\\SYSTEM.", false, kExitUsage},
        FailureCase{"no Select", [](FakePlatform& f) { f.hives[Fold(kConfig + "SYSTEM")].erase("Select"); },
                    "has no Select\\Default, which names the control set it starts with. Nothing was written."},
        FailureCase{"Select names a missing set",
                    [](FakePlatform& f) {
                      f.hives[Fold(kConfig + "SYSTEM")]["Select"]["Default"] = {"3", kDword};
                    },
                    "lacks ControlSet003, the control set Select\\Default names. Nothing was written."},
        FailureCase{"backup folder refused", [](FakePlatform& f) { f.Fail("CreateFolder"); },
                    "could not be made: system error 5" + kNothing, false},
        FailureCase{"a log not copied", [](FakePlatform& f) { f.Fail("CopyWholeFile", "SYSTEM.LOG1"); },
                    "could not be backed up (" + kConfig + "SYSTEM.LOG1): system error 5" + kNothing, false},
        FailureCase{"not loaded", [](FakePlatform& f) { f.Fail("LoadHive", "SYSTEM"); },
                    "The SYSTEM hive of D:\\Windows could not be loaded: system error 1314", false},
        FailureCase{"a write refused", [](FakePlatform& f) { f.Fail("WriteRegistryEntry", "\\Minimal"); },
                    " list): NOT repaired; 61 of 177 entries missing", true, kExitNotRepaired, "D:\\Windows", true},
        FailureCase{"unload refused", [](FakePlatform& f) { f.Fail("UnloadHive", "VeltrikOfflineSystem"); },
                    "The SYSTEM hive of D:\\Windows could not be unloaded: system error 5.", true, kExitNotRepaired,
                    "D:\\Windows", true}));

TEST(RecoveryWindowTest, FixRepairsTheOneInstalledWindowsNeverItsOwnRegistryAndNeverRestarts) {
  const std::string kAsk = "ask [Veltrik v1.1.0.0] Veltrik runs in a recovery environment. Repair Safe Mode of the "
                           "Windows installed in D:\\Windows (version 6.1, Windows 7 list)?";
  const std::string kDone = "] Safe Mode of the Windows in D:\\Windows is repaired.\r\nBackup of its SYSTEM hive: ";
  // clang-format off
  for (auto [what, drives, yes, boxes] : {
           std::tuple{"one, yes", 2, true, std::vector<std::string>{kAsk, kDone + kBackup}},
           {"one, no", 2, false, {kAsk}},
           {"none", 1, true, {"No installed Windows was found on the fixed drives. If its drive is encrypted with "
                              "BitLocker, unlock it first", "example:\r\nveltrik.exe /fix /offline D:\\Windows\r\n"}},
           {"several", 3, true, {"Several installed Windows were found: D:\\Windows E:\\Windows.\r\nRepair"}}}) {
    // clang-format on
    FakePlatform fake;
    fake.keys[kMiniNtKey];
    fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});  // the environment's own, passed over
    if (drives > 1) Install(fake);
    if (drives > 2) fake.PutHive("E:\\Windows\\System32\\config\\SYSTEM", {});
    fake.fixed_drives.resize(drives);
    fake.fixed_drives.back() = std::string(1, static_cast<char>('B' + drives)) + ":\\";
    fake.answer_yes = yes;
    frmVeltrik form(fake);
    form.Form_Load();
    fake.log.clear();
    form.cmdStart_Click();
    std::string shown;
    for (const std::string& line : fake.log) shown += line.rfind("ask", 0) && line.rfind("msgbox", 0) ? "" : line;
    std::size_t at = 0;
    for (const std::string& part : boxes) EXPECT_NE(at = shown.find(part, at), std::string::npos) << what << part;
    EXPECT_EQ(fake.Only("regset").empty(), what != std::string("one, yes")) << what;
    EXPECT_THAT(fake.Only("launch"), IsEmpty()) << what << ": no import, boot menu or restart";
    EXPECT_TRUE(fake.Only("restart-system").empty() && fake.caption == "Veltrik v1.1.0.0");
    EXPECT_FALSE(fake.keys.count(std::string(kCurrentControlSet) + "\\Control\\SafeBoot")) << "its own registry";
    ExpectAllUnloaded(fake);
  }
}

}  // namespace
}  // namespace veltrik::testing
