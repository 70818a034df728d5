// Foreign entries removed at the technician's word: refused with nothing changed, saved before the first
// deletion in a file that puts every value back, deleted and read back; alone, with /fix and offline.
#include "app/commands.h"
#include "repair/environment.h"
#include "repair/removal.h"
#include "repair/text.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;
const std::string kSaved = "E:\\Tools\\Veltrik-removed-20261207-171500.reg";
const std::string kMinimal = kSafeBoot + "\\Minimal\\backupvt", kNetwork = kSafeBoot + "\\Network\\AnyDesk";

// Windows 10, its list whole, with two foreign entries that hold a value of every type.
void Attacked(FakePlatform& fake, const std::string& control_set = kCurrentControlSet) {
  fake.version = {10, 0};
  fake.PutList(kTemplateWin10);
  const std::string root = control_set + "\\Control\\SafeBoot";
  fake.keys[root + "\\Minimal\\backupvt"] = {
      {"", "Service"}, {"quoted", "a\"b\\c \xC3\xBC"}, {"lines", "a\r\nb"},
      {"expand", StoredValue("%SystemRoot%\\x.exe", ValueType::kExpandString)},
      {"multi", StoredValue(std::string("a\0b\0", 4), ValueType::kMultiString)},
      {"dword", StoredValue("4294967295", ValueType::kDword)},
      {"qword", StoredValue(std::string("\1\0\0\0\0\0\0\x80", 8), ValueType{11})},
      {"binary", StoredValue(std::string("\0\xff", 2), ValueType::kBinary)}, {"none", StoredValue("", ValueType::kNone)},
      {"odd", StoredValue("\x02", ValueType{0x1000})}};
  fake.keys[root + "\\Minimal\\backupvt\\Enum"]["0"] = "Root\\LEGACY";
  fake.keys[root + "\\Network\\AnyDesk"][""] = "Service";
}

TEST(RemovalTest, WhatMayNotGoIsRefusedWithNothingChanged) {
  for (const auto& row : Rows("refused_removals")) {
    const std::string& why = row.at(1);
    for (const char* fix : {"", "/fix"}) {
      FakePlatform fake;
      Attacked(fake);
      const auto keys = fake.keys;
      std::vector<std::string> args = {fix};
      if (!*fix) args.clear();
      for (const std::string& entry : Items(row[0])) args.insert(args.end(), {"/remove", entry});
      EXPECT_EQ(RunCommand(fake, ParseArguments(args)), kExitUsage) << why;
      EXPECT_THAT(fake.output, HasSubstr("Refused: " + why));
      EXPECT_THAT(fake.output, ::testing::EndsWith("Nothing was changed.\r\n"));
      EXPECT_TRUE(fake.keys == keys && fake.log.empty()) << why << ": nothing saved, written or started";
    }
  }
  FakePlatform fake;  // a recovery environment's own registry, as for /fix
  Attacked(fake);
  fake.keys[kMiniNtKey];
  fake.keys["HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"]["SystemSetupInProgress"] = StoredValue("1", ValueType::kDword);
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/remove", "Network\\AnyDesk"})), kExitUsage);
  EXPECT_TRUE(fake.output.starts_with("This is a recovery environment") && fake.log.empty()) << fake.output;
}

TEST(RemovalTest, SavedFirstThenRemovedAndTheFilePutsEveryValueBack) {
  FakePlatform fake;
  Attacked(fake);
  std::vector<RegistryValue> before, enum_before;
  fake.EnumerateValues(kMinimal, before);
  fake.EnumerateValues(kMinimal + "\\Enum", enum_before);
  fake.files[kSaved] = {'o', 'l', 'd'};  // a run in the same second: never written over
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/remove", "MINIMAL\\BackupVT", "/remove", "Network\\AnyDesk"})), kExitOk);
  const std::string saved = kSaved.substr(0, kSaved.size() - 4) + "-2.reg";
  EXPECT_THAT(fake.output, ::testing::StartsWith("Removed (saved in " + saved + "): 2\r\n  Minimal\\backupvt\r\n  "
                                                 "Network\\AnyDesk\r\nLog: " + kLog + "\r\n"));
  EXPECT_THAT(fake.log, ::testing::ElementsAre("create " + saved, "regdel " + kMinimal, "regdel " + kNetwork,
                                               "append " + kLog));
  EXPECT_FALSE(fake.keys.count(kMinimal) || fake.keys.count(kNetwork));
  EXPECT_THAT(fake.FileText(kLog), HasSubstr("Removed (saved in " + saved + "): 2\r\n  Minimal\\backupvt\r\n"));
  EXPECT_THAT(fake.FileText(kLog), HasSubstr("Outcome: removed (exit code 0)\r\n"));

  // The registry editor's own format, every value as it was, read back by the project's reader.
  const Bytes file = fake.files[saved];
  ASSERT_GT(file.size(), 2u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 2), Bytes({0xFF, 0xFE}));
  const std::string text = Utf8FromUtf16Le(Bytes(file.begin() + 2, file.end()));
  EXPECT_THAT(text, ::testing::StartsWith("Windows Registry Editor Version 5.00\r\n\r\n[" + kMinimal + "]\r\n"));
  for (const char* line : {"\"quoted\"=\"a\\\"b\\\\c \xC3\xBC\"", "\"lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00",
                           "\"dword\"=dword:ffffffff", "\"qword\"=hex(b):01,00,00,00,00,00,00,80", "\"none\"=hex(0):"}) {
    EXPECT_THAT(text, HasSubstr(std::string("\r\n") + line + "\r\n"));
  }
  std::map<std::string, std::vector<RegistryValue>> back;
  for (const RegistryEntry& entry : ParseRegText(text)) {
    if (entry.name) back[entry.key].push_back({*entry.name, entry.type, RawData(entry.type, entry.data)});
  }
  EXPECT_EQ(back[kMinimal], before);
  EXPECT_EQ(back[kMinimal + "\\Enum"], enum_before);
  EXPECT_EQ(back[kNetwork], (std::vector<RegistryValue>{{"", ValueType::kString, RawData(ValueType::kString, "Service")}}));
}

TEST(RemovalTest, AFailureStopsWhatFollowsAndSaysWhy) {
  for (const auto& row : Rows("failed_removals")) {
    ASSERT_EQ(row.size(), 5u);
    const std::string& said = row[3];
    const int code = std::stoi(row[2]);
    FakePlatform fake;
    Attacked(fake);
    fake.keys[kSafeBoot].erase("AlternateShell");  // a repair would write it
    fake.FailNamed(row[1]);
    EXPECT_EQ(RunCommand(fake, ParseArguments(Items(row[0]))), code) << said;
    EXPECT_THAT(fake.output, HasSubstr(said));
    EXPECT_EQ(fake.keys.count(kNetwork) == 0, row[4] == "1") << said;
    EXPECT_EQ(fake.Only("launch").empty(), code != kExitRestartStarted) << "no repair, no restart after a failure";
    EXPECT_THAT(fake.FileText(kLog), HasSubstr(said));
  }
}

TEST(RemovalTest, OfflineAfterTheBackupInTheControlSetItStartsWith) {
  FakePlatform fake;
  Install(fake, Software("6.3", 10));
  fake.LoadHive("Planted", kConfig + "SYSTEM");
  Attacked(fake, "HKEY_LOCAL_MACHINE\\Planted\\ControlSet002");
  fake.UnloadHive("Planted");
  fake.keys.clear(), fake.log.clear();
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/offline", "D:\\Windows", "/remove", "Network\\AnyDesk"})), kExitOk);
  EXPECT_THAT(fake.output, ::testing::StartsWith("Backup of the SYSTEM hive: " + kBackup + "\r\n"));
  EXPECT_THAT(fake.output, HasSubstr("\r\nRemoved (saved in " + kSaved + "): 1\r\n  Network\\AnyDesk\r\n"));
  const Bytes file = fake.files[kSaved];
  EXPECT_THAT(Utf8FromUtf16Le(Bytes(file.begin() + 2, file.end())),
              HasSubstr("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\SafeBoot\\Network\\AnyDesk]\r\n@="
                        "\"Service\"\r\n"));
  EXPECT_FALSE(fake.hives[kConfig + "SYSTEM"].count("ControlSet002\\Control\\SafeBoot\\Network\\AnyDesk"));
  EXPECT_TRUE(fake.hives[kConfig + "SYSTEM"].count("ControlSet002\\Control\\SafeBoot\\Minimal\\backupvt"));
}

}  // namespace
}  // namespace veltrik::testing
