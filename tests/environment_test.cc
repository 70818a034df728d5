// Where the program runs: a recovery environment refuses its own registry; a MiniNT key planted in a running
// Windows is only named.
#include "repair/environment.h"
#include "app/commands.h"
#include "app/form.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::IsEmpty;
constexpr ValueType kDword = ValueType::kDword;

TEST(EnvironmentTest, ARecoveryEnvironmentRefusesItsOwnRegistryAPlantedMiniNtIsOnlyNamed) {
  const std::string kFinding = "Look at this: " + std::string(kMiniNtKey) + " is present, which marks a recovery "
                               "environment, but this is a running Windows: it may have been planted. Veltrik left it "
                               "as it is.\r\n";
  const char *kC = "C:\\WINDOWS\\system32", *kX = "X:\\windows\\system32";
  for (auto [mini_nt, setup, system, recovery] : {std::tuple{true, StoredValue("1", kDword), kC, true},
         {true, StoredValue(), kX, true}, {true, StoredValue(), kC, false}, {true, StoredValue("0", kDword), kC, false},
         {true, StoredValue("1"), kC, false}, {false, StoredValue("1", kDword), kX, false}}) {
    for (const std::string action : {"/check", "/fix", "window"}) {
      SCOPED_TRACE(action + " " + system + " " + setup.data);
      FakePlatform fake;
      Install(fake);
      fake.version = {6, 1};
      fake.system_directory = system;
      if (mini_nt) fake.keys[kMiniNtKey];
      if (!setup.data.empty()) fake.keys["HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"]["SystemSetupInProgress"] = setup;
      if (action == "window") {
        if (recovery) continue;  // the window's own test
        frmVeltrik form(fake);
        form.Form_Load();
        form.cmdStart_Click();
        EXPECT_EQ(fake.Only("launch 2 shutdown").size(), 1u) << "repaired and restarted";
        continue;
      }
      std::vector<std::string> args = {action};
      if (action == "/fix") args.push_back("/norestart");
      const int code = RunCommand(fake, ParseArguments(args));
      if (recovery) {
        EXPECT_EQ(code, kExitUsage);
        EXPECT_EQ(fake.output, "This is a recovery environment: its own registry is gone at the next start, so "
                               "nothing was changed. Repair the installed Windows instead.\r\nInstalled Windows: "
                               "D:\\Windows; to repair it: veltrik.exe /fix /offline D:\\Windows\r\n");
        EXPECT_THAT(fake.log, IsEmpty()) << "nothing written or started";
      } else {
        EXPECT_EQ(code, action == "/fix" ? kExitRestartRequired : kExitNotRepaired);
        EXPECT_EQ(fake.output.find(kFinding) != std::string::npos, mini_nt) << fake.output;
      }
    }
  }
}

}  // namespace
}  // namespace veltrik::testing
