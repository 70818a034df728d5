// The technician's report: what else sits beside the list, and the old data of every type it keeps as
// evidence, escaped and bounded whatever the registry holds.
#include <algorithm>
#include "app/commands.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::HasSubstr;
const std::string kBeside = kLog;

TEST(ForeignEntriesTest, AreListedAfterTheStateAndLeftAsTheyAre) {
  using Keys = std::vector<std::pair<std::string, std::optional<StoredValue>>>;  // under SafeBoot; default value
  const std::optional<StoredValue> kService = StoredValue("Service");
  const std::string kHeading = "Not in the Windows 10 list (left as they are): ";
  Keys many;  // listed in the order of creation, the first 100
  std::string listed = kHeading + "150\r\n";
  for (int i = 0; i < 150; ++i) {
    many.push_back({"Network\\Svc" + std::to_string(1000 + i), kService});
    if (i < 100) listed += "  " + many.back().first + " = Service (no service of that name)\r\n";
  }
  // keys, then the report after its first line: the table's, many, and a name at the registry's limit with a long
  // value cut
  std::vector<std::pair<Keys, std::string>> cases = {{many, listed + "  and 50 more\r\n"},
      {{{"Minimal\\" + std::string(255, 'N'), StoredValue(std::string(300, 'v'))}},
       kHeading + "1\r\n  Minimal\\" + std::string(255, 'N') + " = " + std::string(255, 'v') +
           "... (300 bytes) (no service of that name)\r\n"}};
  for (const auto& row : Rows("foreign_entries")) {
    cases.emplace_back();
    for (const std::string& item : Items(row.at(0))) {
      const std::size_t at = item.find(" = "), colon = item.find(':', at);
      cases.back().first.push_back({item.substr(0, at), std::nullopt});
      if (at != std::string::npos) {
        cases.back().first.back().second = StoredValue(item.substr(colon + 1),
                                                       static_cast<ValueType>(std::stoul(item.substr(at + 3))));
      }
    }
    for (const std::string& line : Items(row.at(1))) cases.back().second += line + "\r\n";
  }
  for (const auto& [keys, said] : cases) {
    FakePlatform fake;
    fake.version = {10, 0};
    fake.PutList(kTemplateWin10, true);  // the list's own entries, as another tool may have spelled them
    for (const auto& [key, value] : keys) {
      auto& values = fake.keys[kSafeBoot + "\\" + key];
      if (value) values[""] = *value;
    }
    const auto before = fake.keys;
    for (const std::string args : {"/check", "/fix"}) {
      fake.output.clear();
      EXPECT_EQ(RunCommand(fake, ParseArguments({args})), kExitOk) << args << ": still whole";
      EXPECT_EQ(fake.output, "SafeBoot branch (Windows 10 list): 236 of 236 entries in place" +
                std::string(args == "/fix" ? "; nothing to repair" : "") + "\r\n" + said +
                (args == "/fix" ? "Log: " + kLog + "\r\n" : ""));
    }
    EXPECT_TRUE(fake.keys == before && fake.log == std::vector<std::string>{"append " + kLog})
        << "nothing changed, nothing started";
  }
}

TEST(ReportTest, TheOldDataOfEveryTypeIsShownEscapedAndBounded) {
  for (const auto& row : Rows("old_data")) {
    const std::string& shown = row.at(2);
    FakePlatform fake;
    const StoredValue old(row[1], row[0] == "absent" ? ValueType::kNone : static_cast<ValueType>(std::stoul(row[0])));
    Hijacked(fake, row[0] == "absent" ? std::nullopt : std::optional(old));
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/check"})), kExitNotRepaired);
    EXPECT_THAT(fake.output, HasSubstr("; first missing: " + kSafeBoot + ": AlternateShell\r\n"));
    EXPECT_THAT(fake.output, HasSubstr("Values a repair would replace (old -> new): 1\r\n  " + kSafeBoot +
                                       ": AlternateShell = " + shown + " -> cmd.exe\r\n"));
    EXPECT_EQ(RunCommand(fake, ParseArguments({"/fix", "/norestart"})), kExitRestartRequired);
    EXPECT_THAT(fake.FileText(kBeside), HasSubstr(": AlternateShell = " + shown + " -> cmd.exe\r\n"));
  }
}

TEST(RandomInputTest, WhateverSitsBesideTheBranchStaysOnItsOwnLineEscaped) {
  std::mt19937 rng(1);
  for (int round = 0; round < 200; ++round) {
    FakePlatform fake;
    fake.version = {10, 0};
    fake.keys[kSafeBoot + "\\Minimal\\" + RandomText(rng, 255)][""] = StoredValue(RandomText(rng, 300));
    RunCommand(fake, ParseArguments({"/check"}));
    const std::string& out = fake.output;
    for (size_t at = out.find_first_of("\r\n"); at != std::string::npos; at = out.find_first_of("\r\n", at + 2)) {
      ASSERT_EQ(out.substr(at, 2), "\r\n");
    }
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](char c) { return c >= 0 && c < 0x20; }),
              2 * std::count(out.begin(), out.end(), '\n')) << "control characters escaped";
  }
}

}  // namespace
}  // namespace veltrik::testing
