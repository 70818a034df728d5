// An installed Windows repaired from a recovery environment: its hives loaded beside the running system's,
// backed up first, always unloaded. (Wine's own hive format and its unload are proven end to end.)
#include "app/commands.h"
#include "repair/offline.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;
constexpr ValueType kDword = ValueType::kDword;

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
                         "Restart the computer into this Windows to finish, and start Safe Mode there: press F8 while it starts, or "
                         "on Windows 8 and later choose Troubleshoot, Advanced options, Startup Settings, Restart, then "
                         "4.\r\nLog: " + kLog + "\r\n");
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
      Refused("no privileges", [](FakePlatform& f) { f.Fail(Op::kEnableHivePrivileges); },
              "could not be enabled: system error 1300" + kNothing, kExitNotRepaired),
      Refused("SOFTWARE not loaded", [](FakePlatform& f) { f.Fail(Op::kLoadHive, "\\SOFTWARE$"); },
              "The SOFTWARE hive of D:\\Windows, which names its version, could not be loaded: system error 1314" +
                  kNothing, kExitNotRepaired),
      Refused("SOFTWARE not unloaded", [](FakePlatform& f) { f.Fail(Op::kUnloadHive, "VeltrikOfflineSoftware"); },
              "The SOFTWARE hive of D:\\Windows could not be unloaded: system error 5. Restart the computer before "
              "you use Veltrik again" + kNothing, kExitNotRepaired),
      Select("Select of no type", StoredValue("", ValueType::kNone), kType + "REG_NONE, not REG_DWORD"),
      Select("no Select", std::nullopt, "has no Select\\Default, which names the control set it starts with"),
      Select("Select as text", StoredValue("2"), kType + "REG_SZ, not REG_DWORD"),
      Select("Select 0", StoredValue("0", kDword), "has Select\\Default = 0, " + kNoSet),
      Select("Select 1000", StoredValue("1000", kDword), "has Select\\Default = 1000, " + kNoSet),
      Select("Select 999 missing", StoredValue("999", kDword), "lacks ControlSet999, the control set Select\\Default "
                                                               "names"),
      {"backup folder refused", [](FakePlatform& f) { f.Fail(Op::kCreateFolder); },
       "could not be made: system error 5" + kNothing},
      {"a log not copied", [](FakePlatform& f) { f.Fail(Op::kCopyWholeFile, "SYSTEM.LOG1"); },
       "could not be backed up (" + kConfig + "SYSTEM.LOG1): system error 5" + kNothing},
      {"the hive in use", [](FakePlatform& f) { f.LoadHive("Other", kConfig + "SYSTEM"), f.log.clear(); },
       "could not be backed up (" + kConfig + "SYSTEM): the file is in use, by a running Windows or another program: "
       "system error 32" + kNothing},
      {"a backup that cannot be removed",
       [](FakePlatform& f) { f.Fail(Op::kCopyWholeFile, "LOG2$"), f.Fail(Op::kRemoveFolder); },
       "): system error 5. Nothing was changed, but the unfinished backup " + kBackup + " is left; delete it."},
      {"not loaded", [](FakePlatform& f) { f.Fail(Op::kLoadHive, "\\SYSTEM$"); },
       "The SYSTEM hive of D:\\Windows could not be loaded: system error 1314"},
      {"a write refused", [](FakePlatform& f) { f.Fail(Op::kWriteRegistryEntry, "\\Minimal"); },
       " list): NOT repaired; 61 of 177 entries missing", true, kExitNotRepaired, false, true},
      {"unload refused", [](FakePlatform& f) { f.Fail(Op::kUnloadHive, "VeltrikOfflineSystem"); },
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

}  // namespace
}  // namespace veltrik::testing
