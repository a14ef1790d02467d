#include "installer/path_util.h"

#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/installer/utils/test_programs.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring KnownFolder(const GUID& folder) {
  PWSTR path = nullptr;
  std::wstring out;
  if (SUCCEEDED(SHGetKnownFolderPath(folder, 0, nullptr, &path))) out = path;
  CoTaskMemFree(path);
  return out;
}

// Sets or removes one value under the user's "Shell Folders" for the length
// of a test, and puts back what was there before.
class ScopedShellFolderValue {
 public:
  explicit ScopedShellFolderValue(const wchar_t* name) : name_(name) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr, &key_,
                    nullptr);
    DWORD size = 0;
    if (RegQueryValueExW(key_, name_, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
      saved_.resize(size);
      had_value_ = RegQueryValueExW(key_, name_, nullptr, &type_, saved_.empty() ? nullptr : &saved_[0], &size) ==
                   ERROR_SUCCESS;
    }
  }
  ~ScopedShellFolderValue() {
    if (had_value_) {
      RegSetValueExW(key_, name_, 0, type_, saved_.empty() ? nullptr : &saved_[0], static_cast<DWORD>(saved_.size()));
    } else {
      RegDeleteValueW(key_, name_);
    }
    RegCloseKey(key_);
  }
  void Set(const std::wstring& text) {
    RegSetValueExW(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  void Remove() { RegDeleteValueW(key_, name_); }

 private:
  const wchar_t* name_;
  HKEY key_ = nullptr;
  DWORD type_ = REG_NONE;
  std::basic_string<BYTE> saved_;
  bool had_value_ = false;
};

TEST(PathUtilTest, ModuleFolderAndFileNameNameTheRunningProgram) {
  const std::wstring folder = ModuleFolder();
  const std::wstring name = ModuleFileName();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_EQ(CompareStringOrdinal(name.c_str(), -1, L"installer_utils_tests.exe", -1, TRUE), CSTR_EQUAL)
      << test::Narrow(name);
  wchar_t own[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH * 4);
  EXPECT_EQ(folder + name, std::wstring(own));
}

TEST(PathUtilTest, SystemFoldersExistAndEndWithASeparator) {
  for (const std::wstring& folder : {TempFolder(), LocalAppDataFolder()}) {
    SCOPED_TRACE(test::Narrow(folder));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_TRUE(IsDirectory(folder));
  }
  EXPECT_TRUE(test::SameFolder(LocalAppDataFolder(), KnownFolder(FOLDERID_LocalAppData)));
}

TEST(PathUtilTest, DesktopAndProgramsComeFromTheUsersShellFoldersValue) {
  static const struct {
    const wchar_t* value;
    std::wstring (*function)();
  } kCases[] = {{L"Desktop", DesktopFolder}, {L"Programs", ProgramsFolder}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.value));
    ScopedShellFolderValue value(c.value);
    // A user folder whose name GBK cannot hold (Hangul, an accent) comes back
    // exactly as stored.
    const std::wstring custom = L"C:\\users\\Jos\u00E9\\\uD55C\uAD6D\\\u9C81\u58A8";
    value.Set(custom);
    EXPECT_EQ(c.function(), custom);
  }
}

TEST(PathUtilTest, DesktopAndProgramsFallBackToTheKnownFoldersWithoutTheValue) {
  static const struct {
    const wchar_t* value;
    std::wstring (*function)();
    GUID known_folder;
  } kCases[] = {{L"Desktop", DesktopFolder, FOLDERID_Desktop},
                {L"Programs", ProgramsFolder, FOLDERID_StartMenu}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.value));
    ScopedShellFolderValue value(c.value);
    value.Remove();
    const std::wstring folder = c.function();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder, KnownFolder(c.known_folder));
    EXPECT_NE(folder.back(), L'\\');
    value.Set(L"");
    EXPECT_EQ(c.function(), folder) << "an empty value counts as missing";
  }
}

TEST(PathUtilTest, CreateDirectoryPathCreatesMissingParentsAndAcceptsExistingFolders) {
  test::ScopedTempDir temp;
  const std::wstring nested = temp.Child(L"a\\b\\鲁墨 文件\\");
  EXPECT_TRUE(CreateDirectoryPath(nested));
  EXPECT_TRUE(IsDirectory(nested));
  EXPECT_TRUE(CreateDirectoryPath(nested)) << "an existing folder is fine";
  EXPECT_TRUE(CreateDirectoryPath(temp.path()));
  EXPECT_TRUE(CreateDirectoryPath(temp.Child(L"no_trailing_separator")));
  EXPECT_TRUE(IsDirectory(temp.Child(L"no_trailing_separator")));
}

TEST(PathUtilTest, CreateDirectoryPathFailsWhereNoFolderCanBe) {
  test::ScopedTempDir temp;
  ASSERT_TRUE(test::WriteFileBytes(temp.Child(L"file"), "x"));
  EXPECT_FALSE(CreateDirectoryPath(temp.Child(L"file"))) << "a file is in the way";
  EXPECT_FALSE(CreateDirectoryPath(temp.Child(L"file\\below")));
  EXPECT_FALSE(CreateDirectoryPath(L"relative\\folder"));
  EXPECT_FALSE(IsDirectory(L"relative"));
}

TEST(PathUtilTest, FileSizeReportsBytesOrMinusOneWhenMissing) {
  test::ScopedTempDir temp;
  ASSERT_TRUE(test::WriteFileBytes(temp.Child(L"empty"), ""));
  ASSERT_TRUE(test::WriteFileBytes(temp.Child(L"5000"), std::string(5000, 'x')));
  EXPECT_EQ(FileSize(temp.Child(L"empty")), 0);
  EXPECT_EQ(FileSize(temp.Child(L"5000")), 5000);
  EXPECT_EQ(FileSize(temp.Child(L"missing")), -1);
  EXPECT_EQ(FileSize(temp.Child(L"missing\\deeper")), -1);
  EXPECT_EQ(FileSize(L""), -1);
}

TEST(PathUtilTest, FileSizeCombinesBothHalvesOfLargeSizes) {
  test::ScopedTempDir temp;
  const std::wstring path = temp.Child(L"sparse");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const int64_t size = (5LL << 30) + 7;  // above 4 GiB: the high size word is used
  LARGE_INTEGER end;
  end.QuadPart = size;
  const bool extended = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  ASSERT_TRUE(extended);
  EXPECT_EQ(FileSize(path), size);
}

TEST(PathUtilTest, FolderAndFileNamePartsSplitAtTheLastSeparator) {
  static const struct {
    const wchar_t* path;
    bool has_folder;
    const wchar_t* folder;
    bool has_name;
    const wchar_t* name;
  } kCases[] = {
      {L"C:\\a\\setup.exe", true, L"C:\\a\\", true, L"setup.exe"},
      {L"C:/a/setup.exe", true, L"C:/a/", true, L"setup.exe"},
      {L"C:\\a/b\\c.exe", true, L"C:\\a/b\\", true, L"c.exe"},
      {L"C:\\a\\b/c.exe", true, L"C:\\a\\b/", true, L"c.exe"},
      {L"C:\\folder\\", true, L"C:\\folder\\", false, L""},
      {L"\\x", true, L"\\", true, L"x"},
      {L"setup.exe", false, L"", false, L""},
      {L"\\", false, L"", false, L""},
      {L"a", false, L"", false, L""},
      {L"", false, L"", false, L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.path));
    std::wstring folder = L"untouched";
    std::wstring name = L"untouched";
    EXPECT_EQ(FolderPart(c.path, &folder), c.has_folder);
    EXPECT_EQ(folder, c.has_folder ? c.folder : L"untouched");
    EXPECT_EQ(FileNamePart(c.path, &name), c.has_name);
    EXPECT_EQ(name, c.has_name ? c.name : L"untouched");
  }
}

}  // namespace
