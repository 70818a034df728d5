// Bounded random inputs for the code that reads outside data: the system
// directory, the browser's registry values, template and work-file bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/browser.h"
#include "app/commands.h"
#include "app/form.h"
#include "repair/branch.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n";

std::string RandomText(std::mt19937& rng, size_t max_len) {
  static const char kAlphabet[] = "\\\\\\\r\n\"\0 :Cc{}[]@=-?\xFF\xFE\xE9";
  std::string s(std::uniform_int_distribution<size_t>(0, max_len)(rng), ' ');
  for (char& c : s) c = rng() % 3 ? kAlphabet[rng() % (sizeof kAlphabet - 1)] : static_cast<char>(rng());
  return s;
}

TEST(RandomInputTest, PathsBrowserAndConversionKeepTheirShape) {
  std::mt19937 rng(1);
  for (int round = 0; round < 400; ++round) {
    FakePlatform fake;
    fake.system_directory = RandomText(rng, 300).c_str();  // up to the first NUL, as a C string ends
    WindowState state;
    DerivePaths(fake, state);
    EXPECT_EQ(state.strWinDir.back(), '\\');
    EXPECT_EQ(state.strSysDir.rfind(state.strWinDir, 0), 0u) << "the Windows folder is a prefix";
    EXPECT_LE(state.strSysDrive.size(), 3u);

    const std::string name = RandomText(rng, round % 10 == 0 ? 4000 : 40), command = RandomText(rng, 60);
    fake.registry[Fold("HKCU\\Software\\Clients\\StartMenuInternet\\")] = name;
    fake.registry[Fold("HKLM\\Software\\Clients\\StartMenuInternet\\" + name + "\\shell\\open\\command\\")] = command;
    state.strSysDrive = "C:\\";
    GetActiveBrowser(fake, state);
    const std::string start =
        name.empty() || command.empty() ? "\"C:\\Program Files\\Internet Explorer\\iexplore\" " : command + " ";
    EXPECT_EQ(state.strDownloadCmd.rfind(start, 0), 0u);

    const std::string raw = RandomText(rng, 2000);
    fake.resources[105] = Bytes(raw.begin(), raw.end());
    if (round % 2) fake.resources[105].insert(fake.resources[105].begin(), {0xFF, 0xFE});
    ASSERT_TRUE(BuildRegFile(fake, LoadTemplate(fake, 105), "C:\\WINDOWS\\"));
    const std::string reg = fake.FileText("C:\\WINDOWS\\sxcas.reg");
    EXPECT_EQ(reg.rfind(kHeader, 0), 0u);
    EXPECT_EQ(reg.find('\0'), std::string::npos);
    EXPECT_EQ(reg.substr(reg.size() - 2), "\r\n");
    const std::string work = RandomText(rng, 64);
    EXPECT_EQ(RegTextFromWorkFile(Bytes(work.begin(), work.end())).rfind(kHeader, 0), 0u);
    // Whatever names and values someone put beside the branch, each stays on its own line of the report.
    fake.version = {10, 0};
    const std::string minimal = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\";
    fake.keys[minimal + RandomText(rng, 255)][""] = StoredValue(RandomText(rng, 300));
    RunCommand(fake, ParseArguments({"/check"}));
    const std::string& out = fake.output;
    for (size_t at = out.find_first_of("\r\n"); at != std::string::npos; at = out.find_first_of("\r\n", at + 2)) {
      ASSERT_EQ(out.substr(at, 2), "\r\n");
    }
    EXPECT_EQ(std::count_if(fake.output.begin(), fake.output.end(), [](char c) { return c >= 0 && c < 0x20; }),
              2 * std::count(fake.output.begin(), fake.output.end(), '\n')) << "control characters escaped";
    // The reader takes keys only from whole "[...]" lines, never a deletion.
    for (const RegistryEntry& entry : ParseRegText(raw + "\r\n" + work)) {
      EXPECT_FALSE(entry.key.empty());
      EXPECT_NE(entry.key[0], '-');
      EXPECT_EQ(entry.key.find('\n'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace veltrik::testing
