// The repair of the running Windows through the system's registry editor.
#include <gtest/gtest.h>

#include "repair/fix.h"

namespace veltrik::testing {
namespace {

TEST(FixTest, TheImportCommandQuotesOnlyAPathWithASpace) {
  EXPECT_EQ(ImportCommand("C:\\WINDOWS\\", kTemplateXp), "regedit -s C:\\WINDOWS\\sxcas.reg");
  EXPECT_EQ(ImportCommand("C:\\Win Dows\\", kTemplateWin10), "regedit -s \"C:\\Win Dows\\svcas.reg\"");
}

}  // namespace
}  // namespace veltrik::testing
