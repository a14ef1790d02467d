// The resources beside the skin in the built installer: the agreement text
// ("TXT" 132), the version information, the icon groups 107 and 108 and the
// manifest, read back with the same system calls the installer and Windows
// use.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/installer/resources/installer_module.h"
#include "tests/installer/resources/strict_utf8.h"
#include "tests/support/file_util.h"

namespace {

class ResourceTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.ok()) << "cannot open " << test::Narrow(test::InstallerModule::Path());
  }
  test::InstallerModule module_;
};

// The check of the agreement below is only as good as the validator, so
// it must refuse every kind of malformed sequence.
TEST(StrictUtf8Test, AcceptsWellFormedTextAndRefusesEveryMalformedSequence) {
  const struct {
    const char* what;
    std::string bytes;
    bool valid;
  } kCases[] = {
      {"ASCII", "install", true},
      {"Chinese", "\xE9\xB2\x81\xE5\xA2\xA8", true},  // 鲁墨
      {"four-byte", "\xF0\x9F\x98\x80", true},
      {"highest code point", "\xF4\x8F\xBF\xBF", true},
      {"empty", "", true},
      {"lone continuation byte", "a\x80", false},
      {"truncated sequence", "\xE9\xB2", false},
      {"overlong slash", "\xC0\xAF", false},
      {"overlong three-byte", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false},
      {"invalid lead byte", "\xFF", false},
      {"continuation replaced by ASCII", "\xE9" "a" "\x81", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.valid, test::IsStrictUtf8(c.bytes));
  }
}

TEST_F(ResourceTableTest, AgreementIsStrictUtf8ChineseTextOfTheProductLicence) {
  bool found = false;
  std::string text = module_.Resource(L"TXT", 132, &found);
  ASSERT_TRUE(found) << "no resource TXT 132";
  size_t bad = 0;
  ASSERT_TRUE(test::IsStrictUtf8(text, &bad)) << "invalid UTF-8 at byte " << bad;
  // A byte-order mark would reach the rich edit as a stray first character,
  // and a NUL would cut the text short when it is converted.
  EXPECT_NE(0u, text.compare(0, 3, "\xEF\xBB\xBF"));
  EXPECT_EQ(std::string::npos, text.find('\0'));
  EXPECT_GT(text.size(), 4000u);

  // The installer converts it with the system's UTF-8 conversion.
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  ASSERT_GT(length, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], length);
  EXPECT_EQ(0u, wide.find(L"鲁墨文件压缩")) << "the title names the product";
  for (const wchar_t* needle : {L"青澜数码信息技术有限公司", L"许可范围", L"用户权利与义务", L"隐私与数据收集",
                                L"设备标识", L"版本信息", L"安装事件", L"免责声明", L"法律适用"}) {
    EXPECT_NE(std::wstring::npos, wide.find(needle)) << test::Narrow(needle);
  }
}

TEST_F(ResourceTableTest, VersionInformationReads1_25_7_71) {
  std::wstring path = test::InstallerModule::Path();
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u) << "no version information";
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size));
  ASSERT_GE(fixed_size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
  char version[64];
  // Formatted as the installer formats its own version ("%d.%d.%d.%d").
  snprintf(version, sizeof(version), "%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
           HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  EXPECT_STREQ("1.25.7.71", version);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

  struct Translation {
    WORD language, code_page;
  }* translation = nullptr;
  UINT translation_size = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &translation_size));
  ASSERT_GE(translation_size, sizeof(Translation));
  EXPECT_EQ(0x0804, translation->language);
  EXPECT_EQ(1200, translation->code_page);
  const wchar_t* const kStrings[][2] = {
      {L"FileVersion", L"1.25.7.71"},
      {L"ProductVersion", L"1.25.7.71"},
      {L"ProductName", L"鲁墨文件压缩"},
      {L"CompanyName", L"青澜数码信息技术有限公司"},
      {L"OriginalFilename", L"LumoCompressSetup.exe"},
  };
  for (const auto& s : kStrings) {
    wchar_t query[128];
    swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->code_page, s[0]);
    wchar_t* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &length)) << test::Narrow(s[0]);
    EXPECT_EQ(std::wstring(s[1]), std::wstring(value)) << test::Narrow(s[0]);
  }
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// Both groups carry 32-bit images at the sizes Windows asks for (16 for the
// small icons, 32 for the large ones, 48 for Explorer), stored as BMP so that
// every Windows version reads them, and each size loads as an icon.
TEST_F(ResourceTableTest, IconGroupsLoadAtTheSizesWindowsUses) {
  for (int group : {107, 108}) {
    SCOPED_TRACE(group);
    bool found = false;
    std::string directory = module_.Resource(RT_GROUP_ICON, group, &found);
    ASSERT_TRUE(found) << "no icon group";
    ASSERT_GE(directory.size(), 6u);
    WORD count = *reinterpret_cast<const WORD*>(directory.data() + 4);
    ASSERT_EQ(directory.size(), 6u + count * sizeof(GroupIconEntry));
    std::set<int> sizes;
    for (WORD i = 0; i < count; ++i) {
      GroupIconEntry entry;
      memcpy(&entry, directory.data() + 6 + i * sizeof(GroupIconEntry), sizeof(entry));
      int size = entry.width ? entry.width : 256;
      EXPECT_EQ(32, entry.bit_count) << size;
      std::string image = module_.Resource(RT_ICON, entry.id, &found);
      ASSERT_TRUE(found) << "icon image " << entry.id;
      if (size < 256) {
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER) + size * size * 4u);
        BITMAPINFOHEADER header;
        memcpy(&header, image.data(), sizeof(header));
        EXPECT_EQ(sizeof(BITMAPINFOHEADER), header.biSize) << size << " is not a BMP image";
        EXPECT_EQ(size, header.biWidth);
        EXPECT_EQ(2 * size, header.biHeight);
        EXPECT_EQ(32, header.biBitCount);
        // The picture is drawn, not an empty square.
        int opaque = 0;
        for (int p = 0; p < size * size; ++p) opaque += static_cast<unsigned char>(image[sizeof(header) + p * 4 + 3]) > 128;
        EXPECT_GT(opaque * 2, size * size) << size;
      } else {
        EXPECT_EQ(0u, image.compare(0, 4, "\x89PNG")) << "the 256-pixel image is PNG";
      }
      sizes.insert(size);
    }
    for (int size : {16, 32, 48}) {
      EXPECT_EQ(1u, sizes.count(size)) << size;
      HICON icon = static_cast<HICON>(LoadImageW(module_.handle(), MAKEINTRESOURCEW(group), IMAGE_ICON, size, size, 0));
      ASSERT_NE(nullptr, icon) << size;
      ICONINFO info = {};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      BITMAP bitmap = {};
      GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
      EXPECT_EQ(size, bitmap.bmWidth);
      if (info.hbmColor) DeleteObject(info.hbmColor);
      if (info.hbmMask) DeleteObject(info.hbmMask);
      DestroyIcon(icon);
    }
  }
}

TEST_F(ResourceTableTest, ManifestRequestsAdministratorAndCommonControls6) {
  bool found = false;
  std::string manifest = module_.Resource(RT_MANIFEST, 1, &found);
  ASSERT_TRUE(found) << "no manifest";
  EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
  size_t controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
  ASSERT_NE(std::string::npos, controls);
  size_t end = manifest.find("/>", controls);
  EXPECT_NE(std::string::npos, manifest.substr(controls, end - controls).find("version=\"6.0.0.0\""));
}

}  // namespace
