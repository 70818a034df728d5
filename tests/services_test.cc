// What a foreign entry starts: the file of its service as the service control manager finds it, on the
// running Windows and on an installed one whose drive has another letter now.
#include <algorithm>

#include "app/commands.h"
#include "repair/services.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(ServicesTest, AnImagePathIsTheFileProcessCreationRuns) {
  const WindowsFiles kRunning = {"C:\\WINDOWS", "", {"C:\\Program Files", "C:\\Program Files (x86)"},
                                 [](const std::string& name, std::string& value) {
                                   return name == "ProgramData" && (value = "C:\\ProgramData", true);
                                 }};
  const WindowsFiles kInstalled = {"D:\\Windows", "C:", {"D:\\Program Files"}, nullptr};
  for (const auto& row : Rows("image_paths")) {
    ASSERT_EQ(row.size(), 5u);
    const std::vector<std::string> files = Items(row[3]);
    const auto is_file = [&](const std::string& path) { return std::count(files.begin(), files.end(), path) > 0; };
    EXPECT_EQ(ImageFile(row[0], row[1] == "1", row[2] == "running" ? kRunning : kInstalled, is_file), row[4]) << row[0];
  }
}

// A foreign service beside Windows' own list, as `entry` names it, that runs `image` (REG_EXPAND_SZ).
void Service(FakePlatform& fake, const std::string& control_set, const std::string& entry, const std::string& name,
             std::optional<std::string> image, std::uint32_t type = 16) {
  fake.keys[control_set + "\\Control\\SafeBoot\\" + entry][""] = "Service";
  auto& values = fake.keys[control_set + "\\Services\\" + name];
  values["Type"] = StoredValue(std::to_string(type), ValueType::kDword);
  if (image) values["ImagePath"] = StoredValue(*image, ValueType::kExpandString);
}

TEST(ServicesTest, EachForeignEntryNamesWhatItStartsAndWhatToLookAt) {
  const std::string kOutside = " (outside the Windows and Program Files folders)";
  FakePlatform fake;
  fake.version = {10, 0};
  fake.PutList(kTemplateWin10);
  fake.keys["HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"] = {
      {"ProgramFilesDir", "C:\\Program Files"}, {"ProgramFilesDir (x86)", "C:\\Program Files (x86)"}};
  const std::string set = kCurrentControlSet;
  Service(fake, set, "Minimal\\backupvt", "backupvt", "C:\\Users\\Public\\vt\r\n.exe");
  Service(fake, set, "Network\\AnyDesk", "AnyDesk", "\"C:\\Program Files (x86)\\AnyDesk\\AnyDesk.exe\" --service");
  Service(fake, set, "Network\\gone.SYS", "gone", std::nullopt, 1);
  Service(fake, set, "Network\\Fax", "Fax", "%SystemRoot%\\system32\\svchost.exe -k NetworkService");
  fake.keys[set + "\\Services\\Fax\\Parameters"]["ServiceDll"] =
      StoredValue("%SystemRoot%\\Temp\\fax.dll", ValueType::kExpandString);
  Service(fake, set, "Minimal\\NoImage", "NoImage", std::nullopt);
  fake.keys[kSafeBoot + "\\Minimal\\{00000000-0000-0000-0000-00000000E71C}"][""] = "Driver";
  for (const char* file : {"C:\\Users\\Public\\vt\r\n.exe", "C:\\Program Files (x86)\\AnyDesk\\AnyDesk.exe",
                           "C:\\WINDOWS\\system32\\svchost.exe", "C:\\WINDOWS\\Temp\\fax.dll"}) {
    fake.files[file] = {'M', 'Z'};
  }
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitOk);
  EXPECT_THAT(fake.output, ::testing::EndsWith(
      "Not in the Windows 10 list (left as they are): 6\r\n"
      "  Minimal\\backupvt = Service -> C:\\Users\\Public\\vt\\x0D\\x0A.exe" + kOutside + "\r\n"
      "  Minimal\\NoImage = Service -> (no ImagePath)\r\n"
      "  Minimal\\{00000000-0000-0000-0000-00000000E71C} = Driver (no service of that name)\r\n"
      "  Network\\AnyDesk = Service -> C:\\Program Files (x86)\\AnyDesk\\AnyDesk.exe\r\n"
      "  Network\\Fax = Service -> C:\\WINDOWS\\system32\\svchost.exe, ServiceDll C:\\WINDOWS\\Temp\\fax.dll" +
      kOutside + "\r\n"
      "  Network\\gone.SYS = Service -> C:\\WINDOWS\\System32\\drivers\\gone.sys (file not found)\r\n"));

}

}  // namespace
}  // namespace veltrik::testing
