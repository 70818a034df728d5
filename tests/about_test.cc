#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/form.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const char kExpected[] =
    "Veltrik v1.1.0.0\r\n"
    "www.morvane-software.example\r\n"
    "\r\n"
    "This program is free to use and to pass on unchanged.\r\n"
    "It comes without any warranty; you use it at your own risk.\r\n"
    "Copyright (C) Morvane Software. All rights reserved.\r\n"
    "\r\n"
    "Safe Mode can be easly repaired by Veltrik.\r\n"
    "But there's other much more problems\r\n"
    "which Veltrik cannot fix!\r\n"
    "If Veltrik helped you to fix Safe Mode\r\n"
    "and you need more fixes to be done\r\n"
    "you may try our fine Software;\r\n"
    "\r\n"
    "QVT - Morvane Antiviral Toolkit\r\n";

TEST(AboutTest, ShowsTheTermsThenOpensDownloadPageMaximised) {
  FakePlatform fake;
  frmVeltrik form(fake);
  form.Form_Load();
  fake.log.clear();
  form.cmdAbout_Click();
  form.cmdAbout_Click();
  const std::string box = std::string("msgbox 64 [Veltrik v1.1.0.0] ") + kExpected;
  const std::string page = "launch 3 " + form.state().strDownloadCmd;
  EXPECT_THAT(fake.log, ::testing::ElementsAre(box, page, box, page));
}

}  // namespace
}  // namespace veltrik::testing
