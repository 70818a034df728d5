// What a foreign entry starts: the file of its service as the service control manager finds it, on the
// running Windows and on an installed one whose drive has another letter now.
#include <set>

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
  const std::string kEvil = "C:\\Program Files\\Evil App\\e.exe";
  using Files = std::set<std::string>;
  // image path, a REG_EXPAND_SZ, the Windows, files that are there, the file it runs
  for (auto [image, expand, windows, files, file] : {
           std::tuple{std::string("\\SystemRoot\\System32\\drivers\\e.sys"), false, kRunning, Files{},
                      std::string("C:\\WINDOWS\\System32\\drivers\\e.sys")},
           {"System32\\drivers\\x.sys", false, kRunning, {}, "C:\\WINDOWS\\System32\\drivers\\x.sys"},
           {"\\??\\C:\\Users\\Public\\vt.exe", false, kRunning, {}, "C:\\Users\\Public\\vt.exe"},
           {"%SystemRoot%\\system32\\svchost.exe -k netsvcs", true, kRunning, {}, "C:\\WINDOWS\\system32\\svchost.exe"},
           {"%systemdrive%\\%ProgramData%\\x.exe", true, kRunning, {}, "C:\\C:\\ProgramData\\x.exe"},
           {"%ProgramFiles(x86)%\\A\\a.exe -s", true, kRunning, {}, "C:\\Program Files (x86)\\A\\a.exe"},
           {"%SystemRoot%\\x.exe", false, kRunning, {}, "C:\\WINDOWS\\%SystemRoot%\\x.exe"},  // REG_SZ: as it is
           {" \"C:\\Program Files\\AnyDesk\\AnyDesk.exe\" --service", false, kRunning, {},
            "C:\\Program Files\\AnyDesk\\AnyDesk.exe"},
           // Unquoted: the first prefix that names a file, with or without .exe, as process creation takes it.
           {kEvil + " -x", false, kRunning, {"C:\\Program.exe", kEvil}, "C:\\Program.exe"},
           {kEvil + " -x", false, kRunning, {kEvil}, kEvil},
           {"C:\\Gone\\g.exe -k x", false, kRunning, {}, "C:\\Gone\\g.exe"},
           {"C:\\Gone\\g -k", false, kRunning, {}, "C:\\Gone\\g -k"},
           // Offline: its \SystemRoot is the folder given; its own drive C: is D: here.
           {"\\SystemRoot\\System32\\drivers\\e.sys", false, kInstalled, {}, "D:\\Windows\\System32\\drivers\\e.sys"},
           {"\\??\\C:\\Users\\Public\\vt.exe", false, kInstalled, {}, "D:\\Users\\Public\\vt.exe"},
           {"%SystemRoot%\\system32\\svchost.exe -k x", true, kInstalled, {}, "D:\\Windows\\system32\\svchost.exe"},
           {"%ProgramData%\\x.exe", true, kInstalled, {}, "D:\\Windows\\%ProgramData%\\x.exe"},
           {"\"C:\\Program Files\\A\\a.exe\" -s", false, kInstalled, {}, "D:\\Program Files\\A\\a.exe"},
           {"E:\\a.exe", false, kInstalled, {}, "E:\\a.exe"}}) {
    EXPECT_EQ(ImageFile(image, expand, windows, [&](const std::string& path) { return files.count(path) > 0; }),
              file) << image;
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
