// The check of the branch against its list, and its completion through the registry API.
#include "app/commands.h"
#include "repair/branch.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

using ::testing::ElementsAre;

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
