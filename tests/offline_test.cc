// An installed Windows repaired from a recovery environment: its hives loaded
// beside the running system's, backed up first, always unloaded. (Wine's own
// hive format and its unload are proven end to end.)
#include "repair/environment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/form.h"
#include "app/messages.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Keys = FakePlatform::Keys;
constexpr ValueType kDword = ValueType::kDword;
// Every hive loaded is unloaded, and no key of it is left.
void ExpectAllUnloaded(const FakePlatform& fake) {
  EXPECT_EQ(fake.Only("load-hive").size(), fake.Only("unload-hive").size());
  for (const std::string& load : fake.Only("load-hive ")) {
    const std::string root = "HKEY_LOCAL_MACHINE\\" + load.substr(10, load.find(' ', 10) - 10);
    for (const auto& [key, values] : fake.keys) EXPECT_NE(key.substr(0, root.size()), root) << key << " loaded";
  }
}

TEST(OfflineTest, TheListIsTheInstalledWindowsOwnByItsSoftwareHiveElseItsDrive) {
  const std::string kNoVersion = "no version in its SOFTWARE hive, the Windows ";
  const std::string kNone = "no SOFTWARE hive, the Windows ";
  // VS_FIXEDFILEINFO of 10.0.19041 within a program file, as ntoskrnl.exe carries it.
  const Bytes kKernel = {'M', 'Z', 0, 0, 0xBD, 0x04, 0xEF, 0xFE, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0,
                         0, 0, 10, 0, 0, 0, 0x61, 0x4A};
  const Bytes kNoResource = {'M', 'Z', 0, 0, 0xBD, 0x04, 0xEF, 0xFF, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0};
  for (auto [software, users, kernel, line] : {
         std::tuple{Software("6.3", 10), false, Bytes{}, std::string("version 10.0, Windows 10 list")},
         {Software("6.3", 10, "22631"), false, kKernel, "version 10.0 (build 22631), Windows 11, the Windows 10 list"},
         {Software("6.3"), false, kKernel, "version 6.3, Windows 8.1 list"},
         {Software("6.1"), false, Bytes{}, "version 6.1, Windows 7 list"},
         {Software("5.1"), true, Bytes{}, "version 5.1, Windows XP list"},
         {Software("6.x"), true, Bytes{}, kNoVersion + "Vista list by its profiles folder"},
         {Keys{}, true, Bytes{}, kNone + "Vista list by its profiles folder"},
         // Where SOFTWARE says nothing, the installed Windows' own kernel does.
         {Keys{}, true, kKernel, "no SOFTWARE hive; its kernel's version 10.0 (build 19041), Windows 10 list"},
         {Software(nullptr), true, kKernel, "no version in its SOFTWARE hive; its kernel's version 10.0 (build "
                                            "19041), Windows 10 list"},
         {Keys{}, true, kNoResource, kNone + "Vista list by its profiles folder"},
         {Software(nullptr), false, Bytes{}, kNoVersion + "XP list by its profiles folder"}}) {
    FakePlatform fake;
    fake.version = {10, 0};  // the recovery environment's own
    Install(fake, software);
    if (users) fake.folders.insert(std::string("D:\\Users"));
    if (!kernel.empty()) fake.files["D:\\Windows\\System32\\ntoskrnl.exe"] = kernel;
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows\\"})), kExitNotRepaired);
    const std::string& said = line;
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
                         "Restart the computer into this Windows to finish.\r\nLog: " + kLog + "\r\n");
  std::vector<std::string> start = {"load-hive VeltrikOfflineSoftware " + kConfig + "SOFTWARE",
                                    "unload-hive VeltrikOfflineSoftware", "mkdir " + kBackup};
  for (const char* name : {"SYSTEM", "SYSTEM.LOG", "SYSTEM.LOG1", "SYSTEM.LOG2"}) {
    start.push_back("copy " + kConfig + name + " " + kBackup + "\\" + name);
  }
  start.push_back("load-hive VeltrikOfflineSystem-2 " + kConfig + "SYSTEM");
  EXPECT_EQ(std::vector(fake.log.begin(), fake.log.begin() + 8), start);
  // Read back as whole while loaded; nothing written elsewhere, ControlSet001 included.
  EXPECT_THAT(fake.Only("regset"), ::testing::Each(HasSubstr("\\VeltrikOfflineSystem-2\\ControlSet002\\")));
  EXPECT_THAT(std::vector(fake.log.end() - 2, fake.log.end()),
              ::testing::ElementsAre("unload-hive VeltrikOfflineSystem-2", "append " + kLog));
  EXPECT_EQ(fake.files[kBackup + "\\SYSTEM"], fake.files[kConfig + "SYSTEM"]);
  EXPECT_TRUE(fake.Only("launch").empty() && fake.Only("regwrite").empty()) << "no program, no policy of the running";
  ExpectAllUnloaded(fake);
  fake.output.clear();  // again within the same second: a backup of its own
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), kExitOk);
  EXPECT_THAT(fake.output, HasSubstr(kBackup + "-2\r\n"));
  EXPECT_THAT(fake.output, HasSubstr(" list): 177 of 177 entries in place; nothing to repair\r\n"));
}

struct FailureCase {
  const char* what;
  std::function<void(FakePlatform&)> damage;
  std::string said;
  bool loads = false;  // the SYSTEM hive was loaded (and so must be unloaded)
  int exit_code = kExitNotRepaired;
  bool check_too = false;  // /check meets it as /fix does
  bool writes = false;     // it fails after the repair wrote
  const char* folder = "D:\\Windows";
};

const std::string kNothing = ". Nothing was changed.";

// Refused before anything is loaded, by /check as by /fix.
FailureCase Refused(const char* what, std::function<void(FakePlatform&)> damage, const std::string& said,
                    int exit_code = kExitUsage, const char* folder = "D:\\Windows") {
  return {what, std::move(damage), said, false, exit_code, true, false, folder};
}

FailureCase Running(const char* folder, const char* link = nullptr) {
  return Refused(folder, [=](FakePlatform& f) {
    if (!link) return;
    f.same_as[link] = "c:\\windows";
    f.PutHive(link + std::string("\\System32\\config\\SYSTEM"), {});
  }, folder + std::string(" is the Windows that is running: its registry is in use. Repair it with /fix, without "
                          "/offline.\r\n"), kExitUsage, link ? link : folder);
}

FailureCase Select(const char* what, std::optional<StoredValue> value, const std::string& said) {
  return {what, [=](FakePlatform& f) {
            auto& system = f.hives[kConfig + "SYSTEM"];
            value ? void(system["Select"]["Default"] = *value) : void(system.erase("Select"));
          }, "The SYSTEM hive of D:\\Windows " + said + ". Nothing was written.", true};
}

TEST(OfflineTest, NeverClaimsARepairAndUnloadsOnEveryPath) {
  const std::string kNoSet = "which names no control set (1 to 999)", kType = "has a Select\\Default of type ";
  const std::vector<FailureCase> cases = {
      Running("C:/windows\\"), Running("\\\\?\\C:\\WINDOWS"), Running("C:\\WINDOWS."), Running("C:\\WINDOWS\\."),
      Running("E:\\WINDOWS", "E:\\WINDOWS"), Running("C:\\WINDOW~1", "C:\\WINDOW~1"),
      Refused("not a full path", [](FakePlatform&) {},
              "D:Windows is not a full path: give the Windows folder with its drive, e.g. D:\\Windows.", kExitUsage,
              "D:Windows"),
      Refused("no SYSTEM hive", [](FakePlatform& f) { f.files.erase(kConfig + "SYSTEM"); },
              "D:\\Windows is not a Windows folder: it has no System32\\config\\SYSTEM."),
      Refused("no privileges", [](FakePlatform& f) { f.Fail("EnableHivePrivileges"); },
              "could not be enabled: system error 1300" + kNothing, kExitNotRepaired),
      Refused("SOFTWARE not loaded", [](FakePlatform& f) { f.Fail("LoadHive", "\\SOFTWARE$"); },
              "The SOFTWARE hive of D:\\Windows, which names its version, could not be loaded: system error 1314" +
                  kNothing, kExitNotRepaired),
      Refused("SOFTWARE not unloaded", [](FakePlatform& f) { f.Fail("UnloadHive", "VeltrikOfflineSoftware"); },
              "The SOFTWARE hive of D:\\Windows could not be unloaded: system error 5. Restart the computer before "
              "you use Veltrik again" + kNothing, kExitNotRepaired),
      Select("Select of no type", StoredValue("", ValueType::kNone), kType + "REG_NONE, not REG_DWORD"),
      Select("no Select", std::nullopt, "has no Select\\Default, which names the control set it starts with"),
      Select("Select as text", StoredValue("2"), kType + "REG_SZ, not REG_DWORD"),
      Select("Select 0", StoredValue("0", kDword), "has Select\\Default = 0, " + kNoSet),
      Select("Select 1000", StoredValue("1000", kDword), "has Select\\Default = 1000, " + kNoSet),
      Select("Select 999 missing", StoredValue("999", kDword), "lacks ControlSet999, the control set Select\\Default "
                                                               "names"),
      {"backup folder refused", [](FakePlatform& f) { f.Fail("CreateFolder"); },
       "could not be made: system error 5" + kNothing},
      {"a log not copied", [](FakePlatform& f) { f.Fail("CopyWholeFile", "SYSTEM.LOG1"); },
       "could not be backed up (" + kConfig + "SYSTEM.LOG1): system error 5" + kNothing},
      {"the hive in use", [](FakePlatform& f) { f.LoadHive("Other", kConfig + "SYSTEM"), f.log.clear(); },
       "could not be backed up (" + kConfig + "SYSTEM): the file is in use, by a running Windows or another program: "
       "system error 32" + kNothing},
      {"a backup that cannot be removed",
       [](FakePlatform& f) { f.Fail("CopyWholeFile", "LOG2$"), f.Fail("RemoveFolder"); },
       "): system error 5. Nothing was changed, but the unfinished backup " + kBackup + " is left; delete it."},
      {"not loaded", [](FakePlatform& f) { f.Fail("LoadHive", "\\SYSTEM$"); },
       "The SYSTEM hive of D:\\Windows could not be loaded: system error 1314"},
      {"a write refused", [](FakePlatform& f) { f.Fail("WriteRegistryEntry", "\\Minimal"); },
       " list): NOT repaired; 61 of 177 entries missing", true, kExitNotRepaired, false, true},
      {"unload refused", [](FakePlatform& f) { f.Fail("UnloadHive", "VeltrikOfflineSystem"); },
       "The SYSTEM hive of D:\\Windows could not be unloaded: system error 5.", true, kExitNotRepaired, false, true}};
  for (const FailureCase& c : cases) {
    for (const std::string action : {"/fix", "/check"}) {
      if (action == "/check" && !c.check_too) continue;
      SCOPED_TRACE(c.what + (" " + action));
      FakePlatform fake;
      Install(fake);
      fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});
      c.damage(fake);
      const auto files = fake.files;
      EXPECT_EQ(RunCommand(fake, ParseArguments({action, "/offline", c.folder})), c.exit_code);
      EXPECT_THAT(fake.output, HasSubstr(c.said));
      EXPECT_EQ(fake.output.find(kRunAsAdministrator) != std::string::npos, c.what == std::string("no privileges"));
      EXPECT_THAT(fake.output, ::testing::Not(HasSubstr("Restart the computer into")));
      EXPECT_EQ(!fake.Only("load-hive VeltrikOfflineSystem").empty(), c.loads);
      if (c.said.find("Nothing was changed") != std::string::npos) {  // no backup left behind either
        EXPECT_EQ(fake.files.erase(kLog), action == "/fix") << "its record";
        EXPECT_EQ(fake.files, files);
        EXPECT_EQ(fake.folders.size(), c.said.find("is left") != std::string::npos);
      }
      EXPECT_TRUE(c.exit_code != kExitUsage || fake.log.empty()) << "nothing touched";
      if (c.said.find("unloaded") == std::string::npos) ExpectAllUnloaded(fake);
      EXPECT_EQ(fake.Only("regset").empty(), !c.writes) << "written";
    }
  }
}

void RecoveryEnvironment(FakePlatform& fake) {
  fake.keys[kMiniNtKey];
  fake.keys["HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"]["SystemSetupInProgress"] = StoredValue("1", kDword);
}

TEST(EnvironmentTest, ARecoveryEnvironmentRefusesItsOwnRegistryAPlantedMiniNtIsOnlyNamed) {
  const std::string kFinding = "Look at this: " + std::string(kMiniNtKey) + " is present, which marks a recovery "
                               "environment, but this is a running Windows: it may have been planted. Veltrik left it "
                               "as it is.\r\n";
  const char *kC = "C:\\WINDOWS\\system32", *kX = "X:\\windows\\system32";
  for (auto [mini_nt, setup, system, recovery] : {std::tuple{true, StoredValue("1", kDword), kC, true},
         {true, StoredValue(), kX, true}, {true, StoredValue(), kC, false}, {true, StoredValue("0", kDword), kC, false},
         {true, StoredValue("1"), kC, false}, {false, StoredValue("1", kDword), kX, false}}) {
    for (const std::string action : {"/check", "/fix", "window"}) {
      SCOPED_TRACE(action + " " + system + " " + setup.data);
      FakePlatform fake;
      Install(fake);
      fake.version = {6, 1};
      fake.system_directory = system;
      if (mini_nt) fake.keys[kMiniNtKey];
      if (!setup.data.empty()) fake.keys["HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"]["SystemSetupInProgress"] = setup;
      if (action == "window") {
        if (recovery) continue;  // the window's own test
        frmVeltrik form(fake);
        form.Form_Load();
        form.cmdStart_Click();
        EXPECT_EQ(fake.Only("launch 2 shutdown").size(), 1u) << "repaired and restarted";
        continue;
      }
      std::vector<std::string> args = {action};
      if (action == "/fix") args.push_back("/norestart");
      const int code = RunCommand(fake, ParseArguments(args));
      if (recovery) {
        EXPECT_EQ(code, kExitUsage);
        EXPECT_EQ(fake.output, "This is a recovery environment: its own registry is gone at the next start, so "
                               "nothing was changed. Repair the installed Windows instead.\r\nInstalled Windows: "
                               "D:\\Windows; to repair it: veltrik.exe /fix /offline D:\\Windows\r\n");
        EXPECT_THAT(fake.log, IsEmpty()) << "nothing written or started";
      } else {
        EXPECT_EQ(code, action == "/fix" ? kExitRestartRequired : kExitNotRepaired);
        EXPECT_EQ(fake.output.find(kFinding) != std::string::npos, mini_nt) << fake.output;
      }
    }
  }
}

TEST(RecoveryWindowTest, FixRepairsTheOneInstalledWindowsNeverItsOwnRegistryAndNeverRestarts) {
  const std::string kAsk = "ask [" + kTitle + "] Veltrik runs in a recovery environment. Repair Safe Mode of the "
                           "Windows installed in D:\\Windows (version 6.1, Windows 7 list)?";
  const std::string kDone = "] Safe Mode of the Windows in D:\\Windows is repaired.\r\nBackup of its SYSTEM hive: ";
  using Parts = std::vector<std::string>;
  for (auto [what, drives, yes, boxes] : {std::tuple{"one, yes", 2, true, Parts{kAsk, kDone + kBackup}},
         {"one, no", 2, false, {kAsk}}, {"one, refused", 2, true, {kAsk, "msgbox 48 [" + kTitle + "] Safe Mode of the "
                                                                   "Windows in D:\\Windows was NOT repaired.\r\n"}},
         {"none", 1, true, {"No installed Windows was found on the fixed drives. If its drive is encrypted with "
                            "BitLocker, unlock it first", "example:\r\nveltrik.exe /fix /offline D:\\Windows\r\n"}},
         {"several", 3, true, {"Several installed Windows were found: D:\\Windows E:\\Windows.\r\nRepair"}}}) {
    SCOPED_TRACE(what);
    FakePlatform fake;
    RecoveryEnvironment(fake);
    fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});  // the environment's own, passed over
    if (drives > 1) Install(fake);
    if (drives > 2) fake.PutHive("E:\\Windows\\System32\\config\\SYSTEM", {});
    fake.fixed_drives.resize(drives);
    fake.fixed_drives.back() = std::string(1, static_cast<char>('B' + drives)) + ":\\";
    fake.answer_yes = yes;
    if (what == std::string("one, refused")) fake.Fail("WriteRegistryEntry");
    frmVeltrik form(fake);
    form.Form_Load();
    fake.log.clear();
    form.cmdStart_Click();
    std::string shown;
    for (const std::string& line : fake.log) shown += line.rfind("ask", 0) && line.rfind("msgbox", 0) ? "" : line;
    std::size_t at = 0;
    for (const std::string& part : boxes) EXPECT_NE(at = shown.find(part, at), std::string::npos) << part;
    EXPECT_EQ(fake.Only("regset").empty(), what != std::string("one, yes"));
    if (!fake.Only("regset").empty()) {  // off the window's thread, with the buttons off
      const auto at = [&](const std::string& line) { return std::find(fake.log.begin(), fake.log.end(), line); };
      EXPECT_TRUE(at("disable exit") < at("aside") && at("aside") < at("aside-end") &&
                  at("aside-end") < at("enable start"));
      EXPECT_TRUE(at("aside") < at(fake.Only("mkdir").at(0)) && at(fake.Only("regset").back()) < at("aside-end"));
    }
    EXPECT_THAT(fake.Only("launch"), IsEmpty()) << "no import, boot menu or restart";
    EXPECT_TRUE(fake.Only("restart-system").empty() && fake.caption == kTitle);
    EXPECT_FALSE(fake.keys.count(std::string(kCurrentControlSet) + "\\Control\\SafeBoot")) << "its own registry";
    ExpectAllUnloaded(fake);
  }
}

}  // namespace
}  // namespace veltrik::testing
