// What the program's own arguments ask for; anything else gets the usage text and changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/commands.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(ParseArgumentsTest, TakesItsSwitchesInAnyOrderEachOnce) {
  using Args = std::vector<std::string>;
  for (auto [args, action, restart, folder] : {std::tuple{Args{}, Action::kWindow, true, ""},
           {{"/check"}, Action::kCheck, true, ""}, {{"-CHECK"}, Action::kCheck, true, ""},
           {{"/Fix"}, Action::kFix, true, ""}, {{"-fix", "/NoRestart"}, Action::kFix, false, ""},
           {{"/norestart", "/fix"}, Action::kFix, false, ""}, {{"-NORESTART", "-Fix"}, Action::kFix, false, ""},
           {{"/?"}, Action::kUsage, true, ""}, {{"-?"}, Action::kUsage, true, ""},
           {{"/check", "/offline", "D:\\Windows"}, Action::kCheck, true, "D:\\Windows"},
           {{"-OFFLINE", "E:\\My Windows\\", "/fix"}, Action::kFix, true, "E:\\My Windows\\"},
           {{"/fix", "/offline", "/x", "/norestart"}, Action::kFix, false, "/x"},
           {{"/offline", "\"D:\\Windows\"", "/check"}, Action::kCheck, true, "D:\\Windows"},
           {{"/fix", "/offline", "D:\\Windows\""}, Action::kFix, true, "D:\\Windows"}}) {
    const Command command = ParseArguments(args);
    EXPECT_EQ(std::tuple(command.action, command.restart, command.offline_folder),
              std::tuple(action, restart, std::string(folder)));
  }
  for (const Args& args : {Args{"/bogus"}, {"check"}, {"/"}, {""}, {"/fix", "/fix"}, {"/FIX", "-fix"}, {"/norestart"},
                           {"--check"}, {"/check", "/norestart"}, {"/check", "/fix"}, {"/fix", "/norestart", "x"},
                           {"/fix", "/norestart", "-NoRestart"}, {"/?", "/check"}, {"/offline", "D:\\Windows"},
                           {"/fix", "/offline"}, {"/fix", "/offline", "\"\""}, {"/?", "/offline", "D:\\W"},
                           {"/check", "/offline", "D:\\W", "/offline", "E:\\W"}, {"/?"}}) {
    FakePlatform fake;
    EXPECT_EQ(RunCommand(fake, ParseArguments(args)), args[0] == "/?" && args.size() == 1 ? kExitOk : kExitUsage);
    EXPECT_EQ(fake.output.rfind("Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]\r\n", 0),
              0u);
    EXPECT_TRUE(fake.log.empty()) << ::testing::PrintToString(args) << ": nothing written or started";
  }
}

}  // namespace
}  // namespace veltrik::testing
