// What the program's own arguments ask for; anything else gets the usage text and changes nothing.
#include "app/commands.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(ParseArgumentsTest, TakesItsSwitchesInAnyOrderEachOnce) {
  const std::map<std::string, Action> kActions = {{"window", Action::kWindow}, {"check", Action::kCheck},
      {"fix", Action::kFix}, {"remove", Action::kRemove}, {"usage", Action::kUsage}, {"bad", Action::kBadArguments}};
  auto rows = Rows("arguments");
  rows.push_back({"", "bad"});  // and one empty argument, which a field of no items cannot hold
  for (const auto& row : rows) {
    std::vector<std::string> args = Items(row[0]);
    if (row[0].empty() && row[1] == "bad") args = {""};
    const Command command = ParseArguments(args);
    EXPECT_EQ(command.action, kActions.at(row[1])) << row[0];
    if (row[1] == "usage" || row[1] == "bad") {
      FakePlatform fake;
      EXPECT_EQ(RunCommand(fake, command), row[1] == "usage" ? kExitOk : kExitUsage) << row[0];
      EXPECT_TRUE(fake.output.starts_with("Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows "
                                          "folder>]\r\n") && fake.log.empty()) << row[0] << ": nothing changed";
    } else {
      ASSERT_EQ(row.size(), 5u) << row[0];
      EXPECT_EQ(std::tuple(command.restart, command.offline_folder, command.remove),
                std::tuple(row[2] == "1", row[3], Items(row[4]))) << row[0];
    }
  }
}

}  // namespace
}  // namespace veltrik::testing
