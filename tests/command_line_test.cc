// Which program a command line may start, from an elevated program.
#include <algorithm>

#include "platform/command_line.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

TEST(ResolveCommandLineTest, StartsOnlyWhatItShould) {
  for (const auto& row : Rows("command_lines")) {
    ASSERT_EQ(row.size(), 4u);
    const auto& [command_line, application, result] = std::tie(row[0], row[2], row[3]);
    const std::vector<std::string> files = Items(row[1]);
    const auto is_file = [&](const std::string& path) { return std::count(files.begin(), files.end(), path) > 0; };
    const auto resolved = ResolveCommandLine(command_line, {"C:\\WINDOWS\\system32", "C:\\WINDOWS"}, is_file);
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
