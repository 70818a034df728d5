// The window's logic: paths at start, the pages it opens, FIX's sequence and busy state, what its boxes say,
// and FIX in a recovery environment. (Launch styles, clicks, a hijacked editor, a blocked .reg name, a missing
// shutdown program and clicks in a hung import are proven under Wine; each mode's outcomes in repair_test.cc.)
#include "app/form.h"
#include "app/constants.h"
#include "repair/environment.h"
#include "repair/repair.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
constexpr ValueType kDword = ValueType::kDword;

const std::string kPolicy =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableRegistryTools=0 REG_DWORD";
const std::string kHklm = "regwrite HKLM" + kPolicy, kHkcu = "regwrite HKCU" + kPolicy;
const std::string kRestart = "launch 2 " + std::string(kRestartCommand);
const std::string kHome = "http://" + std::string(kMakerWebHost) + "/";
const std::string kDownload = kHome + "modules/mydownloads/singlefile.php?cid=2&lid=1";
const std::string kIe = "\"C:\\Program Files\\Internet Explorer\\iexplore\"";

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
    if (system_directory == "!") fake.Fail(Op::kGetSystemDirectoryA);
    WindowState state;
    DerivePaths(fake, state);
    EXPECT_EQ(std::tie(state.strSysDir, state.strSysDrive, state.strWinDir, state.lngSysDirLen),
              std::tie(sys_dir, sys_drive, win_dir, count)) << system_directory.substr(0, 30);
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
    if (refused) fake.Fail(Op::kLaunchInUserSession);
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

// On a whole branch the window imports it again and restarts: its report and its record say so, and neither
// says that there was nothing to repair. (Its box, and a restart that does not start, in repair_test.cc.)
TEST(FormTest, AWholeBranchIsImportedAgainAndSaidSo) {
  FakePlatform fake;
  fake.version = {10, 0};
  fake.PutList(kTemplateWin10);
  frmVeltrik form(fake);
  form.Form_Load();
  form.cmdStart_Click();
  EXPECT_THAT(fake.FileText(kLog), HasSubstr("SafeBoot branch (Windows 10 list): whole, imported again, 236 of 236 "
                                             "entries in place\r\nRestarting the computer now.\r\nOutcome: whole, "
                                             "imported again, restarting the computer (exit code 1641)\r\n\r\n"));
  EXPECT_THAT(fake.FileText(kLog), Not(HasSubstr("nothing to repair")));
}

void RecoveryEnvironment(FakePlatform& fake) {
  fake.keys[kMiniNtKey];
  fake.keys["HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"]["SystemSetupInProgress"] = StoredValue("1", kDword);
}

TEST(RecoveryWindowTest, FixRepairsTheOneInstalledWindowsNeverItsOwnRegistryAndNeverRestarts) {
  for (const auto& row : Rows("recovery_windows")) {
    ASSERT_EQ(row.size(), 5u);
    const auto& what = row[0];
    const int drives = std::stoi(row[1]);
    SCOPED_TRACE(what);
    FakePlatform fake;
    RecoveryEnvironment(fake);
    fake.PutHive("C:\\WINDOWS\\System32\\config\\SYSTEM", {});  // the environment's own, passed over
    if (drives > 1) Install(fake);
    if (drives > 2) fake.PutHive("E:\\Windows\\System32\\config\\SYSTEM", {});
    fake.fixed_drives.resize(drives);
    fake.fixed_drives.back() = std::string(1, static_cast<char>('B' + drives)) + ":\\";
    fake.answer_yes = row[2] == "1";
    if (!row[3].empty()) fake.FailNamed(row[3]);
    frmVeltrik form(fake);
    form.Form_Load();
    fake.log.clear();
    form.cmdStart_Click();
    std::string shown;
    for (const std::string& line : fake.log) shown += line.rfind("ask", 0) && line.rfind("msgbox", 0) ? "" : line;
    std::size_t at = 0;
    for (std::string part : Items(row[4])) {
      if (part.find("[title]") != std::string::npos) part.replace(part.find("[title]"), 7, "[" + kTitle + "]");
      EXPECT_NE(at = shown.find(part, at), std::string::npos) << part;
    }
    EXPECT_EQ(fake.Only("regset").empty(), what != "one, yes");
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
