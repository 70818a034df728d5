// What else holds Safe Mode: each hold named with its undo where it is there, nothing where it is not, and a
// stored password nowhere.
#include "app/commands.h"
#include "repair/holds.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kDefault = "HKEY_LOCAL_MACHINE\\BCD00000000\\Objects\\{d6e8f2a4-0000-4000-8000-000000000001}";
const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kRunOnce = "\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kNamed = "\"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\"";
const std::string kSecret = "Secr3t-Passw0rd";

using Values = std::vector<std::tuple<std::string, std::string, StoredValue>>;  // key, value name, value

// The default boot entry's element `id`, holding `bytes`, and the boot manager's pointer to that entry.
Values Element(const char* id, std::string bytes) {
  return {{kDefault + "\\Elements\\" + id, "Element", StoredValue(bytes, ValueType::kBinary)},
          {"HKEY_LOCAL_MACHINE\\BCD00000000\\Objects\\{9dea862c-5cdd-4e70-acc1-f32b344d4795}\\Elements\\23000003",
           "Element", kDefault.substr(kDefault.rfind('\\') + 1).c_str()}};
}
Values Logon(const char* name, const char* data) { return {{kWinlogon, name, data}}; }
Values RunOnce(const std::string& key, const char* name) { return {{key + kRunOnce, name, "C:\\evil.exe"}}; }

TEST(HoldsTest, EachHoldIsNamedWithItsUndoAndNothingElse) {
  const std::string kZero(8, '\0'), kOne("\1", 1), kNo("\0", 1);
  const Values kAutoLogon = {{kWinlogon, "AutoAdminLogon", "1"}, {kWinlogon, "DefaultPassword", kSecret.c_str()},
                             {kWinlogon, "DefaultDomainName", "CORP"}, {kWinlogon, "DefaultUserName", "alice"}};
  const Values kOff = {{kWinlogon, "AutoAdminLogon", "0"}, {kWinlogon, "DefaultPassword", kSecret.c_str()}};
  // what is planted, the line it gives ("" for none)
  for (const auto& [values, line] : std::vector<std::pair<Values, std::string>>{
           {{}, ""},
           {Element("25000080", kZero), "The default boot entry always starts in Safe Mode (safeboot minimal); undo: "
                                        "bcdedit /deletevalue {default} safeboot"},
           {Element("25000080", kOne + std::string(7, '\0')), "(safeboot network)"},
           {Element("26000081", kOne), "(safebootalternateshell Yes); undo: bcdedit /deletevalue {default} "
                                       "safebootalternateshell"},
           {Element("26000081", kNo), ""}, {Element("16000009", kOne), ""}, {Element("250000e0", kZero), ""},
           {Element("16000009", kNo), "Automatic recovery is turned off (recoveryenabled No); undo: bcdedit /set "
                                      "{default} recoveryenabled Yes"},
           {Element("250000e0", kOne), "(bootstatuspolicy IgnoreAllFailures); undo: bcdedit /deletevalue {default} "
                                       "bootstatuspolicy"},
           {kAutoLogon, "Automatic logon as CORP\\alice, its password stored in the registry; undo: reg add " + kNamed +
                            " /v AutoAdminLogon /t REG_SZ /d 0 /f & reg delete " + kNamed + " /v DefaultPassword /f"},
           {kOff, ""}, {Values(kAutoLogon.begin(), kAutoLogon.begin() + 1), ""},  // no password stored
           {Logon("Shell", "explorer.exe"), ""}, {Logon("Shell", "Explorer.EXE"), ""},
           {Logon("Shell", "explorer.exe, C:\\evil.exe"), "Logon shell replaced: Shell = explorer.exe, C:\\evil.exe; "
                                                          "undo: reg add " + kNamed + " /v Shell /t REG_SZ /d "
                                                          "explorer.exe /f"},
           {Logon("Userinit", "C:\\WINDOWS\\system32\\userinit.exe,"), ""},
           {Logon("Userinit", "c:\\windows\\System32\\USERINIT.exe"), ""},
           {Logon("Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\evil.exe"),
            "Logon program replaced: Userinit = C:\\WINDOWS\\system32\\userinit.exe,C:\\evil.exe; undo: reg add " +
                kNamed + " /v Userinit /t REG_SZ /d \"C:\\WINDOWS\\system32\\userinit.exe,\" /f"},
           {RunOnce("HKEY_LOCAL_MACHINE\\SOFTWARE", "*evil"), "Runs once, even in Safe Mode: HKLM\\SOFTWARE" +
                kRunOnce + ": *evil = C:\\evil.exe; undo: reg delete \"HKLM\\SOFTWARE" + kRunOnce +
                "\" /v \"*evil\" /f"},
           {RunOnce("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node", "*x"), "HKLM\\SOFTWARE\\WOW6432Node" + kRunOnce},
           {RunOnce("HKEY_USERS\\S-1-5-21-7\\Software", "*x"), "HKU\\S-1-5-21-7\\Software" + kRunOnce},
           {RunOnce("HKEY_LOCAL_MACHINE\\SOFTWARE", "plain"), ""}}) {
    FakePlatform fake;
    fake.version = {10, 0};
    fake.PutList(kTemplateWin10);
    for (const auto& [key, name, value] : values) fake.keys[key][name] = value;
    RunCommand(fake, ParseArguments({"/fix", "/norestart"}));
    EXPECT_EQ(fake.output.find("Also holding Safe Mode (left as they are): 1\r\n  ") != std::string::npos,
              !line.empty()) << line;
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
  for (const auto& [key, name, value] : Element("25000080", std::string(8, '\0'))) fake.keys[key][name] = value;
  RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows"}));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("Also holding Safe Mode (left as they are): 2\r\n  Logon shell "
                                                "replaced: Shell = evil.exe; undo: reg add "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("\r\n  Runs once, even in Safe Mode: HKLM\\SOFTWARE" + kRunOnce +
                                                ": *x = x.exe; undo: "));
}

}  // namespace
}  // namespace veltrik::testing
