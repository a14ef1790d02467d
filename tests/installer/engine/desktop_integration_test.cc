// Desktop integration against the real registry, profile files, shell links
// and programs under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <regex>
#include <set>

#include "installer/desktop_integration.h"
#include "installer/product_constants.h"
#include "installer/text_util.h"
#include "tests/installer/engine/engine_test_environment.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

class DesktopIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RemoveIntegration();
    // ASCII: Wine keeps a link's target in the ANSI code page, so links to a
    // Chinese folder would read back with "?" under Wine (not on Windows).
    folder_ = temp_.Child(L"LumoCompressTool\\");
    ASSERT_TRUE(SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr) == ERROR_SUCCESS);
    std::string prefix;
    request_ = test::MakeRequest(folder_, "https://127.0.0.1:9/unused", &prefix);
  }
  void TearDown() override {
    test::RemoveIntegration();
    RemoveDirectoryW(CommonSoftwareFolderPath().c_str());
  }

  test::ScopedTempDir temp_;
  std::wstring folder_;
  InstallRequest request_;
};

TEST_F(DesktopIntegrationTest, UninstallEntryHoldsFiveGbkValues) {
  // A Chinese folder name checks the GBK path values.
  folder_ = temp_.Child(L"测试\\LumoCompressTool\\");
  request_.install_folder = folder_;
  WriteUninstallEntry(request_);
  const std::string folder = WideToAnsi(folder_);
  const struct {
    const char* name;
    std::string bytes;
  } kValues[] = {
      {"DisplayName", std::string("\xc2\xb3\xc4\xab\xce\xc4\xbc\xfe\xd1\xb9\xcb\xf5")},
      {"UninstallString", folder + "uninst.exe"},
      {"DisplayIcon", folder + "Crushwell.exe"},
      {"DisplayVersion", "2024.102.1708.20"},
      {"Publisher", "\xc7\xe0\xc0\xbd\xca\xfd\xc2\xeb\xd0\xc5\xcf\xa2\xbc\xbc\xca\xf5\xd3\xd0\xcf\xde\xb9\xab\xcb\xbe"},
  };
  EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumoCompressTool", UninstallKeyPath());
  for (const auto& value : kValues) {
    SCOPED_TRACE(value.name);
    std::string bytes;
    DWORD type = 0;
    ASSERT_TRUE(test::ReadRegistryBytes(HKEY_CURRENT_USER, UninstallKeyPath(), value.name, &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    // The stored length includes the terminating zero.
    EXPECT_EQ(value.bytes + std::string(1, '\0'), bytes);
  }
  // The folder path really is the GBK form of the Chinese name.
  EXPECT_NE(std::string::npos, folder.find("\xb2\xe2\xca\xd4"));
}

TEST_F(DesktopIntegrationTest, MainIniGetsNineKeysAndKeepsOtherContent) {
  const std::wstring ini = folder_ + L"main.ini";
  ASSERT_TRUE(test::WriteFileBytes(ini, "[info]\r\nforeign=keep me\r\n[uinfo]\r\napp=old\r\n[other]\r\nx=1\r\n"));
  WriteMainIni(request_);
  auto read = [&](const wchar_t* section, const wchar_t* key) {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", value, 512, ini.c_str());
    return std::wstring(value);
  };
  const struct {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
  } kKeys[] = {
      {L"info", L"setup", L"vorandel_1001_ab"}, {L"info", L"packdt", L"1.25.7.71"},
      {L"info", L"bdvid", L"ab"},               {L"uinfo", L"mid", L"0123456789abcdef0123456789abcdef"},
      {L"uinfo", L"pos", L"1001"},              {L"uinfo", L"os", L"win7"},
      {L"uinfo", L"ver", L"1.25.7.71"},         {L"uinfo", L"app", L"vorandel"},
      {L"info", L"foreign", L"keep me"},        {L"other", L"x", L"1"},
  };
  for (const auto& key : kKeys) {
    SCOPED_TRACE(test::Narrow(key.key));
    EXPECT_EQ(key.value, read(key.section, key.key));
  }
  const std::string inst_dt = test::Narrow(read(L"info", L"InstDt"));
  EXPECT_TRUE(std::regex_match(inst_dt, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \d{3})"))) << inst_dt;
}

TEST_F(DesktopIntegrationTest, ShortcutsPointIntoTheInstallFolder) {
  const std::wstring common = CommonSoftwareFolderPath();
  ASSERT_FALSE(common.empty());
  for (bool with_common_folder : {false, true}) {
    SCOPED_TRACE(with_common_folder ? "with 常用软件" : "without 常用软件");
    test::RemoveIntegration();
    RemoveDirectoryW(common.c_str());
    if (with_common_folder) {
      ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, common.c_str(), nullptr));
    }

    CreateShortcuts(request_);

    const std::wstring folder_no_separator = folder_.substr(0, folder_.size() - 1);
    const std::wstring start_menu = StartMenuFolderPath();
    const struct {
      std::wstring link;
      std::wstring target;
    } kLinks[] = {
        {DesktopShortcutPath(), folder_ + L"Crushwell.exe"},
        {start_menu + L"鲁墨文件压缩.lnk", folder_ + L"Crushwell.exe"},
        {start_menu + L"卸载.lnk", folder_ + L"uninst.exe"},
        {common + L"鲁墨文件压缩.lnk", folder_ + L"Crushwell.exe"},
    };
    for (const auto& link : kLinks) {
      SCOPED_TRACE(test::Narrow(link.link));
      test::ShortcutInfo info = test::ReadShortcut(link.link);
      const bool expected = link.link.rfind(common, 0) != 0 || with_common_folder;
      ASSERT_EQ(expected, info.found);
      if (!expected) continue;
      EXPECT_EQ(0, _wcsicmp(link.target.c_str(), info.target.c_str())) << test::Narrow(info.target);
      EXPECT_EQ(0, _wcsicmp(folder_no_separator.c_str(), info.working_folder.c_str()))
          << test::Narrow(info.working_folder);
    }
  }
  // The installer never creates the shared folder itself.
  test::RemoveIntegration();
  RemoveDirectoryW(common.c_str());
  CreateShortcuts(request_);
  EXPECT_FALSE(PathIsDirectoryW(common.c_str()));
}

TEST_F(DesktopIntegrationTest, ShortcutReplacesAnExistingFile) {
  const std::wstring link = temp_.Child(L"old.lnk");
  ASSERT_TRUE(test::WriteFileBytes(link, "not a link"));
  ASSERT_TRUE(CreateShortcut(folder_ + L"Crushwell.exe", link));
  test::ShortcutInfo info = test::ReadShortcut(link);
  ASSERT_TRUE(info.found);
  EXPECT_EQ(0, _wcsicmp((folder_ + L"Crushwell.exe").c_str(), info.target.c_str()));
}

// The lines helper_probe wrote, once `count` have arrived (at most 15 s).
std::set<std::wstring> HelperCalls(const std::wstring& folder, size_t count) {
  std::set<std::wstring> lines;
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (GetTickCount64() < deadline) {
    lines.clear();
    std::wstring text = test::Widen(test::ReadFileBytes(folder + L"helper-calls.txt"));
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
      lines.insert(text.substr(start, end - start));
    }
    if (lines.size() >= count) break;
    Sleep(100);
  }
  return lines;
}

TEST_F(DesktopIntegrationTest, HelpersDoNothingWhileTheirValuesAreEmpty) {
  const std::string probe = test::ReadBuiltFile(HELPER_PROBE_EXE);
  ASSERT_FALSE(probe.empty());
  ASSERT_TRUE(test::WriteFileBytes(folder_ + L"helper.exe", probe));
  ASSERT_TRUE(test::WriteFileBytes(folder_ + L"r.dll", test::ReadBuiltFile(REGISTER_PROBE_DLL)));
  // The product's configuration: every helper slot is empty.
  EXPECT_TRUE(request_.helpers.helper_exe.empty());
  EXPECT_TRUE(request_.helpers.extra_program.empty());
  EXPECT_TRUE(request_.helpers.register_dll_list.empty());
  EXPECT_TRUE(request_.helpers.register_dll_list_extra.empty());
  request_.helpers.register_dll_list64 = L"r.dll";  // alone, without the main list, it does nothing
  RunPostInstallHelpers(request_);
  Sleep(2000);
  EXPECT_FALSE(test::FileExists(folder_ + L"helper-calls.txt"));
  EXPECT_FALSE(test::FileExists(folder_ + L"r.dll.registered"));
}

TEST_F(DesktopIntegrationTest, HelpersRunWhenConfigured) {
  const std::string probe = test::ReadBuiltFile(HELPER_PROBE_EXE);
  const std::string dll = test::ReadBuiltFile(REGISTER_PROBE_DLL);
  ASSERT_FALSE(probe.empty());
  ASSERT_FALSE(dll.empty());
  ASSERT_TRUE(SHCreateDirectoryExW(nullptr, (folder_ + L"sub").c_str(), nullptr) == ERROR_SUCCESS);
  for (const wchar_t* name : {L"helper.exe", L"sub\\extra.exe"}) {
    ASSERT_TRUE(test::WriteFileBytes(folder_ + name, probe));
  }
  for (const wchar_t* name : {L"a32.dll", L"a64.dll", L"sub\\b64.dll", L"extra.dll"}) {
    ASSERT_TRUE(test::WriteFileBytes(folder_ + name, dll));
  }

  for (int bitness : {64, 32}) {
    SCOPED_TRACE(bitness);
    DeleteFileW((folder_ + L"helper-calls.txt").c_str());
    DeleteFileW((folder_ + L"sub\\helper-calls.txt").c_str());
    for (const wchar_t* name : {L"a32.dll", L"a64.dll", L"sub\\b64.dll", L"extra.dll"}) {
      DeleteFileW((folder_ + name + L".registered").c_str());
    }
    request_.system_bitness = bitness;
    request_.helpers.helper_exe = L"helper.exe";
    request_.helpers.extra_program = L"sub\\extra.exe";
    request_.helpers.extra_program_args = L"--mode quiet";
    request_.helpers.register_dll_list = L"a32.dll";
    request_.helpers.register_dll_list64 = L"||a64.dll|sub\\b64.dll|";
    request_.helpers.register_dll_list_extra = L"extra.dll";
    RunPostInstallHelpers(request_);

    const std::wstring dll_name = bitness == 64 ? L"lumocompressmenu64.dll" : L"lumocompressmenu.dll";
    std::set<std::wstring> calls = HelperCalls(folder_, 2);
    EXPECT_EQ(1u, calls.count(L"relatefile"));
    EXPECT_EQ(1u, calls.count(L"regdll=" + folder_ + dll_name)) << test::Narrow(*calls.rbegin());
    EXPECT_EQ(1u, HelperCalls(folder_ + L"sub\\", 1).count(L"--mode quiet"));

    const std::vector<std::wstring> registered =
        bitness == 64 ? std::vector<std::wstring>{L"a64.dll", L"sub\\b64.dll", L"extra.dll"}
                      : std::vector<std::wstring>{L"a32.dll", L"extra.dll"};
    for (const std::wstring& name : registered) {
      EXPECT_TRUE(test::WaitForPath(folder_ + name + L".registered", 15000)) << test::Narrow(name);
    }
    const wchar_t* skipped = bitness == 64 ? L"a32.dll" : L"a64.dll";
    EXPECT_FALSE(test::FileExists(folder_ + skipped + L".registered"));
  }
}

}  // namespace
