#include "installer/os_info.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/installer/utils/test_programs.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

TEST(OsInfoTest, VersionCodesFollowTheMajorAndMinorVersion) {
  static const struct {
    unsigned major, minor;
    int code;
  } kCases[] = {
      {5, 0, 0}, {5, 1, 1}, {5, 2, 3}, {6, 0, 2}, {6, 1, 4}, {6, 2, 5}, {6, 3, 4}, {10, 0, 4}, {4, 0, 4},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    EXPECT_EQ(OsVersionCodeFor(c.major, c.minor), c.code);
  }
}

TEST(OsInfoTest, OsNameMapsVersionAndKernelBuildToTheStatisticsLabel) {
  static const struct {
    unsigned major, minor, build;
    const char* name;
  } kCases[] = {
      {6, 2, 22000, "win11"}, {6, 2, 22631, "win11"}, {6, 2, 21999, "win10"}, {6, 2, 19045, "win10"},
      {6, 2, 9200, "win10"},  {6, 1, 7601, "win7"},   {6, 3, 9600, "win7"},   {6, 0, 6002, "winXP"},
      {5, 1, 2600, "winXP"},  {5, 2, 3790, "winXP"},  {5, 0, 2195, "winXP"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + " build " + std::to_string(c.build));
    EXPECT_EQ(OsNameFor(c.major, c.minor, c.build), c.name);
  }
}

TEST(OsInfoTest, OsVersionCodeAndOsNameReadTheRunningSystem) {
  static const struct {
    const wchar_t* wine_version;
    const char* report;
  } kCases[] = {
      {L"win7", "code=4\nname=win7\n"},
      {L"win10", "code=5\nname=win10\n"},  // 6.2 without a manifest, kernel build 18362
      {L"win8", "code=5\nname=win10\n"},
      {L"win81", "code=5\nname=win10\n"},  // reports 6.2 as well without a manifest
      {L"vista", "code=2\nname=winXP\n"},
      {L"win2003", "code=3\nname=winXP\n"},
      {L"winxp", "code=1\nname=winXP\n"},
      {L"win2k", "code=0\nname=winXP\n"},
  };
  // os_probe reports what the installer's queries answer in a process that
  // Wine gives that Windows version.
  test::ScopedTempDir temp;
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.wine_version));
    test::ScopedWineVersion version(L"os_probe.exe", c.wine_version);
    const std::wstring report = temp.Child(std::wstring(c.wine_version) + L".txt");
    ASSERT_EQ(test::RunAndWait(test::Quoted(test::BesideTestProgram(L"os_probe.exe")) + L" " + test::Quoted(report),
                               30000),
              0);
    EXPECT_EQ(test::ReadFileBytes(report), c.report);
  }
  // This program runs in the prefix's default version.
  EXPECT_EQ(OsVersionCode(), 4);
  EXPECT_EQ(OsName(), "win7");
}

TEST(OsInfoTest, OwnFileVersionReadsTheProgramsVersionResource) {
  // version.rc gives this test program the file version 4.3.2048.65535.
  EXPECT_EQ(OwnFileVersion(), "4.3.2048.65535");
}

TEST(OsInfoTest, SystemBitnessIs64OnA64BitSystem) { EXPECT_EQ(SystemBitness(), 64); }

}  // namespace
