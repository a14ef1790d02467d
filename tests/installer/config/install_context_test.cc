#include "installer/install_context.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/file_util.h"

namespace {

TEST(InstallContextTest, FileNameGivesSetupChannelAndCampaign) {
  static const struct {
    const wchar_t* file_name;
    const char* setup;
    const char* pos;
    const char* bdvid;
  } kCases[] = {
      {L"vorandel_1001_ab.exe", "vorandel_1001_ab", "1001", "ab"},
      {L"Setup_Chan_X.beta.exe", "Setup_Chan_X.beta", "chan", "x.beta"},
      {L"a__c.exe", "a__c", "", "c"},
      {L"a_b_.exe", "a_b_", "b", "empty"},
      {L"setup.exe", "setup", "empty", "empty"},
      // Paths: the folder is not part of the name, whichever separator it uses.
      {L"C:\\Users\\x_y\\Downloads\\vorandel_1001_ab.exe", "vorandel_1001_ab", "1001", "ab"},
      {L"dir_q/VORANDEL_77_Z.EXE", "VORANDEL_77_Z", "77", "z"},
      {L"noextension_a_b", "noextension_a_b", "a", "b"},
      // A copy suffix keeps its blank; statistics encode it later.
      {L"vorandel_1001_ab (1).exe", "vorandel_1001_ab (1)", "1001", "ab (1)"},
      {L"vorandel_1001_ab_extra.exe", "vorandel_1001_ab_extra", "1001", "ab"},
      // GBK text; characters outside GBK become "?".
      {L"鲁墨_渠道_活动.exe", "\xc2\xb3\xc4\xab_\xc7\xfe\xb5\xc0_\xbb\xee\xb6\xaf", "\xc7\xfe\xb5\xc0",
       "\xbb\xee\xb6\xaf"},
      {L"x_\U0001F600_\uD55C.exe", "x_?_?", "?", "?"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.file_name));
    InstallContext context = BuildInstallContextFor(c.file_name, "1.25.7.71", "win10");
    EXPECT_EQ(context.setup, c.setup);
    EXPECT_EQ(context.pos, c.pos);
    EXPECT_EQ(context.bdvid, c.bdvid);
    EXPECT_EQ(context.packdt, "1.25.7.71");
    EXPECT_EQ(context.ver, "1.25.7.71");
    EXPECT_EQ(context.app, "vorandel");
    EXPECT_EQ(context.os, "win10");
  }
}

TEST(InstallContextTest, RunningProgramGivesItsOwnIdentity) {
  // This program is installer_config_tests.exe and has no version resource.
  InstallContext context = BuildInstallContext();
  EXPECT_EQ(context.setup, "installer_config_tests");
  EXPECT_EQ(context.pos, "config");
  EXPECT_EQ(context.bdvid, "tests");
  EXPECT_EQ(context.packdt, "");
  EXPECT_EQ(context.ver, "");
  EXPECT_EQ(context.app, "vorandel");
  EXPECT_EQ(context.os, "win7");  // the test prefix's default Windows version
}

}  // namespace
