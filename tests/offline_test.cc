// An installed Windows repaired from a recovery environment: its hives loaded beside the running system's,
// backed up first, always unloaded. (Wine's own hive format and its unload are proven end to end.)
#include "app/commands.h"
#include "repair/offline.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;

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

TEST(OfflineTest, NeverClaimsARepairAndUnloadsOnEveryPath) {
  for (const auto& row : Rows("offline_failures")) {
    ASSERT_EQ(row.size(), 5u);
    const auto& [folder, damage, said, exit_code] = std::tie(row[0], row[1], row[2], row[3]);
    const std::vector<std::string> flags = Items(row[4]);
    const auto flag = [&](const char* name) { return std::count(flags.begin(), flags.end(), name) > 0; };
    for (const std::string action : {"/fix", "/check"}) {
      if (action == "/check" && !flag("check too")) continue;
      SCOPED_TRACE(folder + " " + damage + " " + action);
      FakePlatform fake;
      Install(fake);
      fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});
      auto& system = fake.hives[kConfig + "SYSTEM"];
      for (const std::string& item : Items(damage)) {
        if (item == "same as C:\\windows") {
          fake.same_as[folder] = "c:\\windows";
          fake.PutHive(folder + "\\System32\\config\\SYSTEM", {});
        } else if (item == "no SYSTEM") {
          fake.files.erase(kConfig + "SYSTEM");
        } else if (item == "in use") {
          fake.LoadHive("Other", kConfig + "SYSTEM"), fake.log.clear();
        } else if (item == "no Select") {
          system.erase("Select");
        } else if (item.starts_with("Select ")) {
          system["Select"]["Default"] = StoredValue(item.substr(item.find(':') + 1),
                                                    static_cast<ValueType>(std::stoul(item.substr(7))));
        } else {
          fake.FailNamed(item);
        }
      }
      const auto files = fake.files;
      EXPECT_EQ(RunCommand(fake, ParseArguments({action, "/offline", folder})), std::stoi(exit_code));
      EXPECT_THAT(fake.output, HasSubstr(said));
      EXPECT_EQ(fake.output.find(kRunAsAdministrator) != std::string::npos, damage == "EnableHivePrivileges");
      EXPECT_THAT(fake.output, ::testing::Not(HasSubstr("Restart the computer into")));
      EXPECT_EQ(!fake.Only("load-hive VeltrikOfflineSystem").empty(), flag("loads"));
      if (said.find("Nothing was changed") != std::string::npos) {  // no backup left behind either
        EXPECT_EQ(fake.files.erase(kLog), action == "/fix") << "its record";
        EXPECT_EQ(fake.files, files);
        EXPECT_EQ(fake.folders.size(), said.find("is left") != std::string::npos);
      }
      EXPECT_TRUE(exit_code != "2" || fake.log.empty()) << "nothing touched";
      if (said.find("unloaded") == std::string::npos) ExpectAllUnloaded(fake);
      EXPECT_EQ(fake.Only("regset").empty(), !flag("writes")) << "written";
    }
  }
}

}  // namespace
}  // namespace veltrik::testing
