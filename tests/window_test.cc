// The window's logic (paths at start, browser discovery, the About text) and FIX under each policy (the window's,
// the command line's, offline): its sequence, busy state and every outcome. (Launch styles, clicks, a hijacked
// editor, a blocked .reg name, a missing shutdown program and clicks in a hung import are proven under Wine.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/browser.h"
#include "app/commands.h"
#include "app/form.h"
#include "app/messages.h"
#include "repair/repair.h"
#include "repair/fix.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(DerivePathsTest, DerivesDriveAndWindowsDirectory) {
  const std::string kLong = "E:\\" + std::string(251, 'x');  // 254 characters: the longest that fits
  // system directory ("!" for a failed query), then what is derived from it
  using S = std::string;
  for (auto [system_directory, sys_dir, sys_drive, win_dir, count] : {
         std::tuple<S, S, S, S, int>{"C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\", "C:\\", "C:\\WINDOWS\\", 19},
         // The Windows folder itself, not the first 11 characters of the path.
         {"D:\\WINNT\\system32", "D:\\WINNT\\system32\\", "D:\\", "D:\\WINNT\\", 17}, {"!", "\\", "\\", "\\", 0},
         {"C", "C\\", "C\\", "C\\", 1}, {"C:\\system32", "C:\\system32\\", "C:\\", "C:\\system32\\", 11},
         {kLong, kLong + "\\", "E:\\", kLong + "\\", 254},
         {kLong + "x", "\\", "\\", "\\", 0}}) {  // too long for the buffer: a failed query, never 255 spaces
    FakePlatform fake;
    fake.system_directory = system_directory;
    if (system_directory == "!") fake.Fail("GetSystemDirectoryA");
    WindowState state;
    DerivePaths(fake, state);
    EXPECT_EQ(std::tie(state.strSysDir, state.strSysDrive, state.strWinDir, state.lngSysDirLen),
              std::tie(sys_dir, sys_drive, win_dir, count)) << system_directory.substr(0, 30);
  }
}

const std::string kUser = "HKCU\\Software\\Clients\\StartMenuInternet\\";
const std::string kMachine = "HKLM\\Software\\Clients\\StartMenuInternet\\";
std::string Command(const std::string& name) { return kMachine + name + "\\shell\\open\\command\\"; }
const std::string kHome = "http://" + std::string(kMakerWebHost) + "/";
const std::string kDownload = kHome + "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIe = "\"C:\\Program Files\\Internet Explorer\\iexplore\"";

TEST(BrowserTest, BuildsBothLinksFromTheRegisteredCommand) {
  const std::string kFox = "\"C:\\Program Files\\Fox\\fox.exe\"";
  using Registry = NoCaseMap<std::string>;
  // what, the shell object's view of the registry, an operation that fails, the browser started, the system drive
  for (auto [what, registry, fail, browser, drive] : {
         std::tuple{"user hive names a client of the machine hive", Registry{{kUser, "FOX"}, {Command("fox"), kFox}},
                    "", kFox, "C:\\"},
         {"machine name when the user names none", {{kMachine, "fox"}, {Command("fox"), kFox}}, "", kFox, "C:\\"},
         {"empty user name falls through", {{kUser, ""}, {kMachine, "fox"}, {Command("fox"), kFox}}, "", kFox, "C:\\"},
         {"user name wins even without a command", {{kUser, "ghost"}, {kMachine, "fox"}, {Command("fox"), kFox}}, "",
          kIe, "C:\\"},
         {"a name of blanks is not empty",
          {{kUser, "  "}, {kMachine, "fox"}, {Command("fox"), kFox}, {Command("  "), "blank.exe"}}, "", "blank.exe",
          "C:\\"},
         {"a name with an empty command", {{kMachine, "fox"}, {Command("fox"), ""}}, "", kIe, "C:\\"},
         {"no browser at all", {}, "", kIe, "C:\\"},
         {"no shell object", {{kUser, "fox"}, {Command("fox"), kFox}}, "CreateObject", kIe, "C:\\"},
         {"reads fail", {{kUser, "fox"}, {Command("fox"), kFox}}, "RegRead", kIe, "C:\\"},
         {"fallback on the system drive", {}, "", "\"D:\\Program Files\\Internet Explorer\\iexplore\"", "D:\\"}}) {
    FakePlatform fake;
    fake.registry = registry;
    if (*fail) fake.Fail(fail);
    WindowState state;
    state.strSysDrive = drive;
    GetActiveBrowser(fake, state);
    EXPECT_EQ(std::tie(state.strHomeCmd, state.strDownloadCmd),
              std::make_tuple(browser + " " + kHome, browser + " " + kDownload)) << what;
    EXPECT_EQ(fake.shell_objects_alive, 0) << what;
  }
}

// Pages open as the user, never with the program's rights (any other launch
// would show in the log); where the desktop shell cannot open them, nothing
// else is started and the window works on.
TEST(FormTest, PagesOpenAsTheUserAndTheAboutBoxShowsBeforeItsPage) {
  const std::string box = "msgbox 64 [" + kTitle + "] " + kTitle + "\r\n" + kMakerWebHost + "\r\n\r\nThis "
                          "program is free to use and to pass on unchanged.\r\n";
  for (bool refused : {false, true}) {
    FakePlatform fake;
    if (refused) fake.Fail("LaunchInUserSession");
    frmVeltrik form(fake);
    form.Form_Load();
    form.cmdAbout_Click();
    form.cmdAbout_Click();
    form.Image1_Click();
    const auto page = [&](int style, const std::string& address) {
      return refused ? "" : "user-launch " + std::to_string(style) + " " + kIe + " " + address;
    };
    std::erase_if(fake.log, [](const std::string& line) { return line.starts_with("caption"); });
    for (std::string& line : fake.log) {  // the box's terms in between
      const std::string end = "you may try our fine Software;\r\n\r\nQVT - Morvane Antiviral Toolkit\r\n";
      line = line.starts_with(box) && line.ends_with(end) ? "box" : line;
    }
    std::vector<std::string> expected = {page(6, kDownload), "box", page(3, kDownload), "box", page(3, kDownload),
                                         page(3, kHome)};
    std::erase(expected, "");
    EXPECT_EQ(fake.log, expected) << "refused: " << refused;
  }
}

using ::testing::ElementsAre;

const std::string kPolicy =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools=0 REG_DWORD";
const std::string kHklm = "regwrite HKLM" + kPolicy, kHkcu = "regwrite HKCU" + kPolicy;
const std::string kRestart = "launch 2 " + std::string(kRestartCommand);

// The entries of template `id` that the registry lacks in `control_set`, as the API reads it.
size_t MissingEntries(FakePlatform& fake, int id, const std::string& control_set = kCurrentControlSet) {
  size_t missing = 0;
  for (RegistryEntry e : ParseRegText(RegTextFromWorkFile(ByteArrayImage(fake.resources[id])))) {
    e.key.replace(0, std::string_view(kCurrentControlSet).size(), control_set);
    ValueType type = ValueType::kNone;
    std::string data;
    missing += fake.ReadRegistryEntry(e, type, data) != 0 || (e.name && (data != e.data || type != e.type));
  }
  return missing;
}

TEST(FixSequenceTest, BothPassesEachWaitedForThenOneDeletionThenTheRestart) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  std::vector<std::string> seen;  // the caption and the .reg file at each event pump
  fake.on_events = [&] {
    seen.push_back(fake.caption + " " + std::to_string(fake.FileText("C:\\WINDOWS\\sxcas.reg").size()));
  };
  fake.log.clear();
  form.cmdStart_Click();
  const std::string import = "launch 2 regedit -s C:\\WINDOWS\\sxcas.reg";
  std::erase_if(fake.log, [](const std::string& l) { return l.find(".tmp") != l.npos || l.starts_with("write"); });
  EXPECT_THAT(fake.log, ElementsAre("disable start", "disable about", "disable exit", "caption Fixing...", "doevents",
                                   kHklm, kHkcu, import, "wait 100 60000 ended", kHklm, kHkcu, import,
                                   "wait 101 60000 ended", "delete C:\\WINDOWS\\sxcas.reg", "doevents", "enable start",
                                   "enable about", "enable exit", "append " + kLog,
                                   "caption Restarting...", kRestart));
  const std::string whole = std::to_string(kEmbeddedTemplate105.size());  // less the NULs, plus CR LF
  EXPECT_THAT(seen, ElementsAre("Fixing... 0", "Fixing... " + whole, "Fixing... " + whole, "Fixing... 0"));
}

TEST(FixSequenceTest, TheListFollowsTheVersionElseTheProfilesFolder) {
  const std::string kByProfiles = "version unreadable, the Windows XP list by its profiles folder";
  const WindowsVersion kUnknown = {};
  struct Case {
    WindowsVersion version;
    const char* profiles = "";
    int id;
    std::string said = "";  // the record's words, where the case is about them
  };
  for (const Case& c : {Case{{5, 1}, "C:\\Users", kTemplateXp, "version 5.1, Windows XP list"},
           {{5, 2}, "C:\\Users", kTemplateXp}, {{6, 0}, "", kTemplateVista}, {{6, 1}, "", kTemplateWin7},
           {{6, 2}, "", kTemplateWin8}, {{6, 3}, "", kTemplateWin8},
           {{10, 0, 19045}, "", kTemplateWin10, "version 10.0 (build 19045), Windows 10 list"},
           {{10, 0, 22631}, "", kTemplateWin10, "version 10.0 (build 22631), Windows 11, the Windows 10 list"},
           {{10, 1}, "", kTemplateWin10}, {{11, 0}, "", kTemplateWin10},
           {kUnknown, "C:\\Users", kTemplateVista, "version unreadable, the Windows Vista list by its profiles folder"},
           {kUnknown, "d:\\USERS\\", kTemplateVista}, {kUnknown, "C:\\Documents and Settings", kTemplateXp, kByProfiles},
           {kUnknown, "C:\\Users2", kTemplateXp}, {kUnknown, "C:\\Profiles\\Users", kTemplateXp},
           {kUnknown, "C", kTemplateXp}, {kUnknown, "!", kTemplateXp}}) {
    FakePlatform fake;
    fake.version = c.version;
    if (c.version.major == 0) fake.Fail("GetWindowsVersion");
    fake.profiles_directory = c.profiles;
    if (c.profiles == std::string("!")) fake.Fail("GetProfilesDirectory");
    const ListChoice choice = ChooseRunningList(fake);
    EXPECT_EQ(choice.template_id, c.id) << c.version.major << "." << c.version.minor << " " << c.profiles;
    EXPECT_TRUE(c.said.empty() || choice.Describe() == c.said) << choice.Describe();
  }
  EXPECT_EQ(ImportCommand("C:\\WINDOWS\\", kTemplateXp), "regedit -s C:\\WINDOWS\\sxcas.reg");
  EXPECT_EQ(ImportCommand("C:\\Win Dows\\", kTemplateWin10), "regedit -s \"C:\\Win Dows\\svcas.reg\"");
}

// One start state, repaired by each policy: the window's, the command line's, and offline in an installed
// Windows in the same state.
struct OutcomeCase {
  const char* what;
  std::vector<std::pair<const char*, const char*>> failures = {};  // operation, argument
  std::vector<std::string> restarts = {kRestart};  // the window's, with the boot-menu commands before them
  std::vector<std::string> message = {};   // parts of the window's one message box, if any
  bool repaired = true;                    // the whole branch is in place afterwards
  bool keeps_files = false;
  WindowsVersion version = {6, 1};         // Windows 7
  std::uint32_t exit_code = 0;             // of every program waited for
  int fix_exit = kExitRestartStarted;      // of "/fix"
  bool whole = false;                      // the branch is whole before
  int offline_exit = kExitRestartRequired;  // of "/fix /offline"
};

void Prepare(FakePlatform& fake, const OutcomeCase& c) {
  fake.profiles_directory = "C:\\Users";
  fake.version = c.version;
  fake.exit_code = c.exit_code;
  if (c.whole) fake.PutList(ChooseRunningList(fake).template_id);
  fake.files["C:\\WINDOWS\\" + std::string(RegFileName(ChooseRunningList(fake).template_id))] = {'o', 'l', 'd'};
  for (auto [op, argument] : c.failures) {
    fake.regedit_imports &= op != std::string("WriteRegistryEntry");  // nothing but the API could write
    fake.Fail(op, argument);
  }
}

// The same start state in the installed Windows at D:\Windows, its version in its SOFTWARE hive.
void PrepareInstalled(FakePlatform& fake, const OutcomeCase& c) {
  const std::string current = std::to_string(c.version.major) + "." + std::to_string(c.version.minor);
  Install(fake, c.version.major >= 10 ? Software("6.3", c.version.major) : Software(current.c_str()));
  Prepare(fake, c);
  if (c.whole) fake.PutList(TemplateForVersion(c.version.major, c.version.minor), false, true);
}

std::vector<std::string> Restarts(const FakePlatform& fake) {  // with the boot-menu commands
  std::vector<std::string> out = fake.Only("launch 0 "), shutdowns = fake.Only("launch 2 shutdown");
  out.insert(out.end(), shutdowns.begin(), shutdowns.end());
  return fake.Only("restart-system").empty() ? out : (out.push_back("restart-system"), out);
}

TEST(FixOutcomeTest, EveryPolicyRestartsOnlyOnACompleteBranchAndOfflineNever) {
  const WindowsVersion kTen = {10, 0};
  const std::string kLegacy = "launch 0 bcdedit /set {current} bootmenupolicy legacy";
  const std::string kOnce = "launch 0 bcdedit /set {current} onetimeadvancedoptions on";
  const std::string kToBootOptions = "launch 2 " + std::string(kRestartToBootOptionsCommand);
  const std::vector<std::string> kBootMenuAndRestart = {kLegacy, kOnce, kRestart};
  const std::vector<std::string> kBootOptions = {kLegacy, kOnce, kToBootOptions};
  const std::vector<std::string> kBootOptionsBox = {"Safe Mode is repaired", "Troubleshoot, Advanced options, "
                                                    "Startup Settings, Restart, and then press 4"};
  const std::string kNotRepaired = "Safe Mode was NOT repaired", kAdvice = kRunAsAdministrator;
  const std::vector<OutcomeCase> cases = {
      {.what = "imported"}, {.what = "whole already: the window imports anyway", .fix_exit = kExitOk, .whole = true,
                              .offline_exit = kExitOk},
      {.what = "editor not startable", .failures = {{"LaunchCommand", "regedit"}}},
      {.what = "import never ends", .failures = {{"WaitForProcess", ""}}},
      {.what = "an older .reg cannot be replaced", .failures = {{"WriteWholeFile", ".reg"}}},
      {.what = "work file unreadable", .failures = {{"ReadWholeFile", ""}}},
      {.what = "no system folder", .failures = {{"GetSystemDirectoryA", ""}}, .keeps_files = true},
      {.what = "no shell object", .failures = {{"CreateObject", ""}}},
      {.what = "policy writes refused", .failures = {{"RegWrite", ""}}},
      {.what = "files cannot be removed", .failures = {{"RemoveFile", ""}}, .keeps_files = true},
      {.what = "no way to restart", .failures = {{"LaunchCommand", "shutdown"}, {"RestartSystem", ""}},
       .restarts = {}, .message = {"Safe Mode is repaired", "restart the computer yourself"},
       .fix_exit = kExitRestartRequired},
      {.what = "writes refused", .failures = {{"WriteRegistryEntry", "SafeBoot"}}, .restarts = {},
       .message = {kNotRepaired, "236 of 236 entries of the SafeBoot branch (Windows 10 list) are missing.\r\n",
                   "First missing: " + kSafeBoot + "\r\nReason: system error 5", kAdvice},
       .repaired = false, .version = kTen, .fix_exit = kExitNotRepaired, .offline_exit = kExitNotRepaired},
      {.what = "template unreadable", .failures = {{"LoadCustomResource", ""}}, .restarts = {},
       .message = {kNotRepaired, "stored copy of the SafeBoot branch could not be read", kAdvice},
       .repaired = false, .fix_exit = kExitNotRepaired, .offline_exit = kExitNotRepaired},
      {.what = "Windows 10", .restarts = kBootMenuAndRestart, .version = kTen},
      {.what = "Windows 8.1", .restarts = kBootMenuAndRestart, .version = {6, 3}},
      {.what = "Windows 8", .restarts = kBootMenuAndRestart, .version = {6, 2}},
      {.what = "XP", .version = {5, 1}},
      {.what = "version unknown", .failures = {{"GetWindowsVersion", ""}}, .version = kTen},
      {.what = "bcdedit missing", .failures = {{"LaunchCommand", "bcdedit"}}, .restarts = {kToBootOptions},
       .message = kBootOptionsBox, .version = kTen},
      {.what = "bcdedit refuses", .restarts = kBootOptions, .message = kBootOptionsBox, .version = kTen,
       .exit_code = 1},
      {.what = "bcdedit never ends", .failures = {{"WaitForProcess", ""}}, .restarts = kBootOptions,
       .message = kBootOptionsBox, .version = kTen},
      {.what = "no boot options restart", .failures = {{"LaunchCommand", "shutdown"}},
       .restarts = {kLegacy, kOnce, "restart-system"}, .message = kBootOptionsBox, .version = {6, 2},
       .exit_code = 1}};
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    Prepare(fake, c);
    frmVeltrik form(fake);
    form.Form_Load();
    form.cmdStart_Click();
    EXPECT_EQ(MissingEntries(fake, ChooseRunningList(fake).template_id) == 0, c.repaired);
    EXPECT_EQ(Restarts(fake), c.restarts);
    EXPECT_EQ(fake.files.size() == 1, !c.keeps_files) << "work files left beside the record";
    EXPECT_EQ(fake.shell_objects_alive, 0);
    EXPECT_THAT(fake.enabled, ::testing::Each(::testing::Pair(::testing::_, true)));
    const auto boxes = fake.Only("msgbox");
    const bool restarted = !c.restarts.empty() && c.restarts.back().rfind("launch 0 ", 0) != 0;
    EXPECT_EQ(fake.caption, restarted ? "Restarting..." : kTitle);
    ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
    for (const std::string& part : c.message) EXPECT_THAT(boxes[0], ::testing::HasSubstr(part));
    const std::string icon = restarted ? "64" : "48";
    EXPECT_TRUE(boxes.empty() || boxes[0].starts_with("msgbox " + icon + " [" + kTitle + "] "));
    EXPECT_TRUE(form.Form_Unload()) << "after the repair, closing ends the program again";
    const auto refused = [&] {  // the record says so where the restart it announced did not start
      return fake.FileText(kLog).ends_with("The restart could not be started.\r\n\r\n");
    };
    EXPECT_EQ(refused(), c.repaired && c.restarts.empty());

    // "/fix" in the same case restarts plainly, shows no box and says its outcome.
    fake = FakePlatform();
    Prepare(fake, c);
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix"})), c.fix_exit);
    EXPECT_THAT(Restarts(fake), ::testing::IsSubsetOf({kRestart, std::string("restart-system")}));
    EXPECT_EQ(Restarts(fake).empty(), c.fix_exit != kExitRestartStarted);
    EXPECT_TRUE(fake.Only("msgbox").empty());
    EXPECT_EQ(refused(), c.fix_exit == kExitRestartRequired);
    const char* said = c.fix_exit == kExitRestartStarted ? "Restarting the computer now."
                       : c.whole                         ? "; nothing to repair"
                                                         : " list): NOT repaired; ";
    EXPECT_THAT(fake.output, ::testing::HasSubstr(c.fix_exit == kExitRestartRequired ? "Restart the computer to finish."
                                                                                       : said));

    // Offline: backed up first, then repaired through the registry API alone, never restarted.
    fake = FakePlatform();
    PrepareInstalled(fake, c);
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/offline", "D:\\Windows"})), c.offline_exit);
    EXPECT_TRUE(fake.output.starts_with("Backup of the SYSTEM hive: " + kBackup + "\r\n")) << fake.output;
    EXPECT_EQ(fake.output.find("Restart the computer into this Windows to finish.") != std::string::npos,
              c.offline_exit == kExitRestartRequired);
    EXPECT_TRUE(fake.Only("launch").empty() && fake.Only("restart-system").empty() && fake.Only("regwrite").empty());
    fake.LoadHive("Repaired", kConfig + "SYSTEM");  // as it was written back
    EXPECT_EQ(MissingEntries(fake, TemplateForVersion(c.version.major, c.version.minor),
                             "HKEY_LOCAL_MACHINE\\Repaired\\ControlSet002") == 0,
              c.offline_exit != kExitNotRepaired);
    EXPECT_THAT(fake.FileText(kLog), ::testing::EndsWith("(exit code " + std::to_string(c.offline_exit) + ")\r\n\r\n"));
  }
}

TEST(FixCompletionTest, WritesOnlyWhatIsMissingOrChangedAndKeepsForeignEntries) {
  FakePlatform fake;
  fake.version = {6, 1};
  fake.regedit_imports = false;
  const SafeBootTemplate stored = LoadTemplate(fake, kTemplateWin7);
  for (size_t i = 0; i < stored.entries.size(); i += 3) {  // a third survived the malware
    const RegistryEntry& e = stored.entries[i];
    if (e.name) fake.keys[e.key][*e.name] = {e.data, e.type};
  }
  fake.keys[kSafeBoot]["AlternateShell"] = "evil.exe";
  fake.keys[kSafeBoot + "\\Minimal\\AcmeGuard"][""] = "Service";
  const size_t before = MissingEntries(fake, kTemplateWin7);
  // The hijacked shell is named with what replaced it: the technician keeps the evidence.
  const std::string replaced = " (old -> new): 1\r\n  " + kSafeBoot + ": AlternateShell = evil.exe -> cmd.exe\r\n";
  EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/norestart"})), kExitRestartRequired);
  EXPECT_THAT(fake.output, ::testing::HasSubstr(" 177 of 177 entries in place\r\nValues replaced" + replaced));
  EXPECT_EQ(MissingEntries(fake, kTemplateWin7), 0u);
  EXPECT_EQ(fake.keys[kSafeBoot]["alternateshell"], "cmd.exe");
  EXPECT_EQ(fake.keys[kSafeBoot + "\\Minimal\\AcmeGuard"][""], "Service");
  EXPECT_EQ(fake.Only("regset").size(), before) << "only what was missing or changed is written";
}

TEST(FixCompletionTest, ADwordMissingDifferentOrOfAnotherTypeIsRewrittenAsADword) {
  const std::string media = kSafeBoot + "\\Network\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
  const StoredValue kWanted("1", ValueType::kDword);
  for (const auto& [what, damage] : std::vector<std::pair<const char*, std::optional<StoredValue>>>{
           {"missing", std::nullopt}, {"another number", StoredValue("2", ValueType::kDword)},
           {"a string", StoredValue("1")}, {"a binary", StoredValue("", ValueType{3})}}) {
    FakePlatform fake;
    const SafeBootTemplate stored = LoadTemplate(fake, kTemplateWin10);
    fake.PutList(kTemplateWin10);
    ASSERT_EQ(CheckBranch(fake, stored).missing, 0u) << what;
    fake.keys[media].erase("SafeBootDrivers");
    if (damage) fake.keys[media]["safebootdrivers"] = *damage;
    const BranchCheck check = CheckBranch(fake, stored);
    EXPECT_EQ(std::pair(check.missing, check.first_missing), std::pair(size_t{1}, media + ": SafeBootDrivers")) << what;
    EXPECT_TRUE(CompleteBranch(fake, stored).complete()) << what;
    EXPECT_EQ(fake.keys[media]["SafeBootDrivers"], kWanted) << what;
    EXPECT_THAT(fake.Only("regset"), ElementsAre("regset " + media + "\\SafeBootDrivers=1")) << what;
  }
}

}  // namespace
}  // namespace veltrik::testing
