// What the program's own arguments ask for; anything else gets the usage text and changes nothing.
#include "app/commands.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(ParseArgumentsTest, TakesItsSwitchesInAnyOrderEachOnce) {
  using Args = std::vector<std::string>;
  const Args kNone, kA = {"Minimal\\A"};
  for (auto [args, action, restart, folder, remove] : {std::tuple{Args{}, Action::kWindow, true, "", kNone},
           {{"/check"}, Action::kCheck, true, "", kNone}, {{"-CHECK"}, Action::kCheck, true, "", kNone},
           {{"/Fix"}, Action::kFix, true, "", kNone}, {{"-fix", "/NoRestart"}, Action::kFix, false, "", kNone},
           {{"/norestart", "/fix"}, Action::kFix, false, "", kNone},
           {{"-NORESTART", "-Fix"}, Action::kFix, false, "", kNone},
           {{"/?"}, Action::kUsage, true, "", kNone}, {{"-?"}, Action::kUsage, true, "", kNone},
           {{"/check", "/offline", "D:\\Windows"}, Action::kCheck, true, "D:\\Windows", kNone},
           {{"-OFFLINE", "E:\\My Windows\\", "/fix"}, Action::kFix, true, "E:\\My Windows\\", kNone},
           {{"/fix", "/offline", "/x", "/norestart"}, Action::kFix, false, "/x", kNone},
           {{"/offline", "\"D:\\Windows\"", "/check"}, Action::kCheck, true, "D:\\Windows", kNone},
           {{"/fix", "/offline", "D:\\Windows\""}, Action::kFix, true, "D:\\Windows", kNone},
           // /remove, more than once, alone or with /fix, each also offline; its quotes dropped.
           {{"/remove", "Minimal\\A", "-REMOVE", "\"Network\\B C\""}, Action::kRemove, true, "",
            {"Minimal\\A", "Network\\B C"}},
           {{"/fix", "/remove", "Minimal\\A", "/norestart"}, Action::kFix, false, "", kA},
           {{"/remove", "Minimal\\A", "/offline", "D:\\W", "/fix"}, Action::kFix, true, "D:\\W", kA},
           {{"/offline", "D:\\W", "/remove", "Minimal\\A"}, Action::kRemove, true, "D:\\W", kA}}) {
    const Command command = ParseArguments(args);
    EXPECT_EQ(std::tuple(command.action, command.restart, command.offline_folder, command.remove),
              std::tuple(action, restart, std::string(folder), remove));
  }
  for (const Args& args : {Args{"/bogus"}, {"check"}, {"/"}, {""}, {"/fix", "/fix"}, {"/FIX", "-fix"}, {"/norestart"},
                           {"--check"}, {"/check", "/norestart"}, {"/check", "/fix"}, {"/fix", "/norestart", "x"},
                           {"/fix", "/norestart", "-NoRestart"}, {"/?", "/check"}, {"/offline", "D:\\Windows"},
                           {"/fix", "/offline"}, {"/fix", "/offline", "\"\""}, {"/?", "/offline", "D:\\W"},
                           {"/check", "/offline", "D:\\W", "/offline", "E:\\W"}, {"/remove"}, {"/remove", "\"\""},
                           {"/check", "/remove", "Minimal\\A"}, {"/remove", "Minimal\\A", "/norestart"},
                           {"/?", "/remove", "Minimal\\A"}, {"/?"}}) {
    FakePlatform fake;
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), args[0] == "/?" && args.size() == 1 ? kExitOk : kExitUsage);
    EXPECT_EQ(fake.output.rfind("Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]\r\n", 0),
              0u);
    EXPECT_TRUE(fake.log.empty()) << ::testing::PrintToString(args) << ": nothing written or started";
  }
}

}  // namespace
}  // namespace veltrik::testing
