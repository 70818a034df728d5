// What else holds Safe Mode: each hold named with its undo where it is there, nothing where it is not, and a
// stored password nowhere.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/commands.h"
#include "repair/holds.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kObjects = "HKEY_LOCAL_MACHINE\\BCD00000000\\Objects\\";
const std::string kDefault = "{d6e8f2a4-0000-4000-8000-000000000001}";
const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kRunOnce = "\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kNamed = "\"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\"";
const std::string kSecret = "Secr3t-Passw0rd";

// The default boot entry's element `id`, `size` bytes of `number`.
void Element(FakePlatform& fake, const std::string& id, std::uint64_t number, std::size_t size = 8) {
  fake.keys[kObjects + "{9dea862c-5cdd-4e70-acc1-f32b344d4795}\\Elements\\23000003"]["Element"] = kDefault.c_str();
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>(number >> 8 * i);
  fake.keys[kObjects + kDefault + "\\Elements\\" + id]["Element"] = StoredValue(bytes, ValueType::kBinary);
}

TEST(HoldsTest, EachHoldIsNamedWithItsUndoAndNothingElse) {
  using Plant = std::function<void(FakePlatform&)>;
  const auto logon = [](const char* name, const char* data) {
    return Plant([=](FakePlatform& f) { f.keys[kWinlogon][name] = data; });
  };
  const auto run_once = [](const std::string& key, const char* name) {
    return Plant([=](FakePlatform& f) { f.keys[key + kRunOnce][name] = "C:\\evil.exe"; });
  };
  const std::string kLogon = "Automatic logon as CORP\\alice, its password stored in the registry; undo: reg add " +
                             kNamed + " /v AutoAdminLogon /t REG_SZ /d 0 /f & reg delete " + kNamed +
                             " /v DefaultPassword /f";
  const Plant kAutoLogon = [](FakePlatform& f) {
    f.keys[kWinlogon] = {{"AutoAdminLogon", "1"}, {"DefaultPassword", kSecret.c_str()},
                         {"DefaultDomainName", "CORP"}, {"DefaultUserName", "alice"}};
  };
  // what is planted, the line it gives ("" for none)
  for (const auto& [plant, line] : std::vector<std::pair<Plant, std::string>>{
           {[](FakePlatform&) {}, ""},
           {[](FakePlatform& f) { Element(f, "25000080", 0); },
            "The default boot entry always starts in Safe Mode (safeboot minimal); undo: bcdedit /deletevalue "
            "{default} safeboot"},
           {[](FakePlatform& f) { Element(f, "25000080", 1); }, "(safeboot network)"},
           {[](FakePlatform& f) { Element(f, "26000081", 1, 1); }, "(safebootalternateshell Yes); undo: bcdedit "
                                                                     "/deletevalue {default} safebootalternateshell"},
           {[](FakePlatform& f) { Element(f, "26000081", 0, 1); }, ""},
           {[](FakePlatform& f) { Element(f, "16000009", 0, 1); }, "Automatic recovery is turned off (recoveryenabled "
                                                                     "No); undo: bcdedit /set {default} recoveryenabled Yes"},
           {[](FakePlatform& f) { Element(f, "16000009", 1, 1); }, ""},
           {[](FakePlatform& f) { Element(f, "250000e0", 1); }, "(bootstatuspolicy IgnoreAllFailures); undo: bcdedit "
                                                                  "/deletevalue {default} bootstatuspolicy"},
           {[](FakePlatform& f) { Element(f, "250000e0", 0); }, ""},
           {kAutoLogon, kLogon},
           {[&](FakePlatform& f) { kAutoLogon(f), f.keys[kWinlogon]["AutoAdminLogon"] = "0"; }, ""},
           {[&](FakePlatform& f) { kAutoLogon(f), f.keys[kWinlogon].erase("DefaultPassword"); }, ""},
           {logon("Shell", "explorer.exe"), ""}, {logon("Shell", "Explorer.EXE"), ""},
           {logon("Shell", "explorer.exe, C:\\evil.exe"), "Logon shell replaced: Shell = explorer.exe, C:\\evil.exe; "
                                                         "undo: reg add " + kNamed + " /v Shell /t REG_SZ /d "
                                                         "explorer.exe /f"},
           {logon("Userinit", "C:\\WINDOWS\\system32\\userinit.exe,"), ""},
           {logon("Userinit", "c:\\windows\\System32\\USERINIT.exe"), ""},
           {logon("Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\evil.exe"),
            "Logon program replaced: Userinit = C:\\WINDOWS\\system32\\userinit.exe,C:\\evil.exe; undo: reg add " +
                kNamed + " /v Userinit /t REG_SZ /d \"C:\\WINDOWS\\system32\\userinit.exe,\" /f"},
           {run_once("HKEY_LOCAL_MACHINE\\SOFTWARE", "*evil"),
            "Runs once, even in Safe Mode: HKLM\\SOFTWARE" + kRunOnce + ": *evil = C:\\evil.exe; undo: reg delete "
            "\"HKLM\\SOFTWARE" + kRunOnce + "\" /v \"*evil\" /f"},
           {run_once("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node", "*x"), "HKLM\\SOFTWARE\\WOW6432Node" + kRunOnce},
           {run_once("HKEY_USERS\\S-1-5-21-7\\Software", "*x"), "HKU\\S-1-5-21-7\\Software" + kRunOnce},
           {run_once("HKEY_LOCAL_MACHINE\\SOFTWARE", "plain"), ""}}) {
    FakePlatform fake;
    fake.version = {10, 0};
    fake.PutList(kTemplateWin10);
    plant(fake);
    RunCommand(fake, ParseArguments({"/fix", "/norestart"}));
    const std::string heading = "Also holding Safe Mode (left as they are): 1\r\n  ";
    EXPECT_EQ(fake.output.find(heading) != std::string::npos, !line.empty()) << line;
    EXPECT_THAT(fake.FileText(kLog), ::testing::HasSubstr(line.empty() ? "Outcome: " : line));
    EXPECT_TRUE(fake.Only("regset").empty() && fake.Only("regdel").empty()) << "left as they are";
    for (const auto& [path, bytes] : fake.files) {
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find(kSecret), std::string::npos) << path;
    }
    EXPECT_EQ(fake.output.find(kSecret), std::string::npos);
  }
}

TEST(HoldsTest, OfflineTheInstalledWindowsSoftwareHiveIsReadAndNoBootStore) {
  FakePlatform fake;
  Install(fake, Software("6.1"));
  auto& software = fake.hives[kConfig + "SOFTWARE"];
  software["Microsoft\\Windows NT\\CurrentVersion"]["SystemRoot"] = "E:\\WIN";
  software["Microsoft\\Windows NT\\CurrentVersion\\Winlogon"] = {{"Userinit", "E:\\WIN\\system32\\userinit.exe,"},
                                                                  {"Shell", "evil.exe"}};
  software["Microsoft\\Windows\\CurrentVersion\\RunOnce"]["*x"] = "x.exe";
  Element(fake, "25000080", 0);  // the running system's store, not the installed one's
  RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows"}));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("Also holding Safe Mode (left as they are): 2\r\n  Logon shell "
                                                "replaced: Shell = evil.exe; undo: reg add "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("\r\n  Runs once, even in Safe Mode: HKLM\\SOFTWARE" + kRunOnce +
                                                ": *x = x.exe; undo: "));
}

}  // namespace
}  // namespace veltrik::testing
