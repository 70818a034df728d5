// What else holds Safe Mode: each hold named with its undo where it is there, nothing where it is not, and a
// stored password nowhere.
#include "app/commands.h"
#include "repair/holds.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kDefault = "{d6e8f2a4-0000-4000-8000-000000000001}";
const std::string kSecret = "Secr3t-Passw0rd";

// Plants "key: name = data" as holds.tsv names it; an element of the default boot entry with the boot manager's
// pointer to that entry.
void Plant(FakePlatform& fake, const std::string& item) {
  const std::size_t colon = item.find(": "), equals = item.find(" = ", colon);
  const std::string key = item.substr(0, colon), name = item.substr(colon + 2, equals - colon - 2);
  StoredValue value(item.substr(equals + 3));
  if (key == "Winlogon") {
    fake.keys["HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"][name] = value;
  } else if (key.size() == 8) {
    const std::string objects = "HKEY_LOCAL_MACHINE\\BCD00000000\\Objects\\";
    fake.keys[objects + kDefault + "\\Elements\\" + key][name] = StoredValue(value.data, ValueType::kBinary);
    fake.keys[objects + "{9dea862c-5cdd-4e70-acc1-f32b344d4795}\\Elements\\23000003"]["Element"] = kDefault.c_str();
  } else {
    fake.keys[key][name] = value;
  }
}

TEST(HoldsTest, EachHoldIsNamedWithItsUndoAndNothingElse) {
  for (const auto& row : Rows("holds")) {
    const std::string& line = row.at(1);
    FakePlatform fake;
    fake.version = {10, 0};
    fake.PutList(kTemplateWin10);
    for (const std::string& item : Items(row[0])) Plant(fake, item);
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
  const std::string kRunOnce = "Microsoft\\Windows\\CurrentVersion\\RunOnce";
  FakePlatform fake;
  Install(fake, Software("6.1"));
  auto& software = fake.hives[kConfig + "SOFTWARE"];
  software["Microsoft\\Windows NT\\CurrentVersion"]["SystemRoot"] = "E:\\WIN";
  software["Microsoft\\Windows NT\\CurrentVersion\\Winlogon"] = {{"Userinit", "E:\\WIN\\system32\\userinit.exe,"},
                                                                  {"Shell", "evil.exe"}};
  software[kRunOnce]["*x"] = "x.exe";
  Plant(fake, "25000080: Element = " + std::string(8, '\0'));
  RunCommand(fake, ParseArguments({"/check", "/offline", "D:\\Windows"}));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("Also holding Safe Mode (left as they are): 2\r\n  Logon shell "
                                                "replaced: Shell = evil.exe; undo: reg add "));
  EXPECT_THAT(fake.output, ::testing::HasSubstr("\r\n  Runs once, even in Safe Mode: HKLM\\SOFTWARE\\" + kRunOnce +
                                                ": *x = x.exe; undo: "));
}

}  // namespace
}  // namespace veltrik::testing
