// Which program a command line may start, from an elevated program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include "platform/command_line.h"

namespace veltrik::testing {
namespace {

TEST(ResolveCommandLineTest, StartsOnlyWhatItShould) {
  const std::string kSys = "C:\\WINDOWS\\system32\\", kWin = "C:\\WINDOWS\\";
  const std::string kFox = "C:\\Program Files\\Fox Browser\\fox";
  using Files = std::set<std::string>;
  // command line, files that exist, program run, command line run ("!" for refused)
  for (auto [command_line, files, application, result] : {
         // Bare names: the system folder first, the Windows folder next, nowhere else.
         std::tuple{std::string("shutdown -r"), Files{kSys + "shutdown.exe", kWin + "shutdown.exe"},
                    kSys + "shutdown.exe", "\"" + kSys + "shutdown.exe\" -r"},
         {"regedit -s \"C:\\W s\\a.reg\"", {kWin + "regedit.exe"}, kWin + "regedit.exe",
          "\"" + kWin + "regedit.exe\" -s \"C:\\W s\\a.reg\""},
         {"regedit.exe", {kWin + "regedit.exe"}, kWin + "regedit.exe", "\"" + kWin + "regedit.exe\""},
         {"regedit -s x", {"regedit.exe", "C:\\dl\\regedit.exe"}, "", "!"},
         {"\"C:\\F\\fox.exe\" http://h/", {}, "", "\"C:\\F\\fox.exe\" http://h/"},  // quoted: unchanged
         // Unquoted paths: the longest existing prefix, with or without its extension.
         {kFox + ".exe -new http://h/", {"C:\\Program.exe", "C:\\Program Files\\Fox.exe", kFox + ".exe"}, kFox + ".exe",
          "\"" + kFox + ".exe\" -new http://h/"},
         {kFox + " http://h/", {kFox + ".exe"}, kFox + ".exe", "\"" + kFox + ".exe\" http://h/"},
         {"C:\\Gone\\f.exe x", {}, "", "C:\\Gone\\f.exe x"}, {"", {}, "", ""}}) {  // naming no file: unchanged
    const auto resolved = ResolveCommandLine(command_line, {"C:\\WINDOWS\\system32", "C:\\WINDOWS"},
                                             [&](const std::string& path) { return files.count(path) != 0; });
    ASSERT_EQ(!resolved, result == "!") << command_line;
    if (!resolved) continue;
    EXPECT_EQ(std::tie(resolved->application, resolved->command_line), std::tie(application, result));
    // What the desktop shell is handed: the program apart from its arguments, nothing lost.
    const ProgramAndArguments split = SplitCommandLine(result);
    EXPECT_TRUE(application.empty() || split.program == application) << command_line;
    EXPECT_TRUE(!result.starts_with('"') ||
                "\"" + split.program + "\"" + (split.arguments.empty() ? "" : " ") + split.arguments == result);
  }
}

}  // namespace
}  // namespace veltrik::testing
