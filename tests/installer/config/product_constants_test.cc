#include "installer/product_constants.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/endpoints.h"
#include "installer/text_util.h"
#include "tests/support/file_util.h"

namespace {

TEST(ProductConstantsTest, NarrowAndWideCopiesHoldTheSameText) {
  static const struct {
    const wchar_t* wide;
    const char* gbk;
    const wchar_t* expected;
  } kCases[] = {
      {kProductSlug, kProductSlugA, L"vorandel"},
      {kProductDisplayName, kProductDisplayNameA, L"鲁墨文件压缩"},
      {kMainExeName, kMainExeNameA, L"Crushwell.exe"},
      {kMainExe64Name, kMainExe64NameA, L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.expected));
    EXPECT_EQ(std::wstring(c.wide), c.expected);
    bool lossless = false;
    EXPECT_EQ(AnsiToWide(c.gbk, &lossless), c.expected);
    EXPECT_TRUE(lossless);
  }
}

TEST(ProductConstantsTest, ValuesAreTheProducts) {
  EXPECT_EQ(std::wstring(kProductFolderName), L"LumoCompressTool");
  EXPECT_EQ(std::wstring(kRequiredSpaceText), L"134MB");
  EXPECT_EQ(std::wstring(kShellExtDll32), L"lumocompressmenu.dll");
  EXPECT_EQ(std::wstring(kShellExtDll64), L"lumocompressmenu64.dll");
  EXPECT_EQ(std::string(kUninstallKeyBase), "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
  EXPECT_EQ(std::string(kDisplayVersion), "2024.102.1708.20");
  EXPECT_EQ(AnsiToWide(kPublisher), L"青澜数码信息技术有限公司");
  EXPECT_EQ(std::wstring(kWindowClassName), L"installPage");
  // The configuration slots of this product are all switched off.
  for (const wchar_t* slot : {kHelperExeName, kRegisterDllList, kRegisterDllList64, kRegisterDllListExtra,
                              kExtraProgram, kExtraProgramArgs}) {
    EXPECT_EQ(std::wstring(slot), L"");
  }
}

TEST(ProductConstantsTest, PackageUrlIsTheBuildsPackageEndpoint) {
  const std::string url = kPackageUrl;
  EXPECT_EQ(url, BuiltInEndpoints().package_url);
  const std::string path = "/dl/vorandel/package.zip";
  ASSERT_GT(url.size(), path.size());
  EXPECT_EQ(url.substr(url.size() - path.size()), path);
  EXPECT_EQ(url.rfind("https://127.0.0.1:", 0), 0u) << "test builds only reach loopback";
}

TEST(ProductConstantsTest, MainExecutableUsesThe64BitAlternativeOnlyWhenItIsSet) {
  static const struct {
    int bitness;
    const char* alternative;
    bool uses_alternative;
  } kCases[] = {
      {64, "Crushwell64.exe", true},
      {32, "Crushwell64.exe", false},
      {64, "", false},
      {32, "", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.bitness) + " " + c.alternative);
    EXPECT_EQ(UsesMainExe64(c.bitness, c.alternative), c.uses_alternative);
  }
  // This product has no alternative: both widths name Crushwell.exe anywhere.
  for (int bitness : {32, 64}) {
    EXPECT_EQ(std::wstring(MainExeName(bitness)), L"Crushwell.exe");
    EXPECT_EQ(std::string(MainExeNameA(bitness)), "Crushwell.exe");
  }
}

}  // namespace
