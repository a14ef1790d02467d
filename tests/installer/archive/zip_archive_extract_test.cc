// Extraction to files: where entries land (the traversal corpus), folders,
// attributes, times, caller handles, and what a failure leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer/zip_archive.h"
#include "tests/installer/archive/archive_test_util.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

using test::ScopedArchive;
using test::ZipBuilder;
using test::ZipEntryOptions;

ArchiveResult ExtractTo(ArchiveHandle* archive, int32_t index, std::wstring path) {
  return ExtractEntry(archive, index, &path[0], 0, kArchiveKindFileName);
}

// Restores the process's current directory when the test ends.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::wstring& folder) {
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    saved_ = saved;
    SetCurrentDirectoryW(folder.c_str());
  }
  ~CurrentDirectoryScope() { SetCurrentDirectoryW(saved_.c_str()); }

 private:
  std::wstring saved_;
};

// What the install engine does: for each entry, the install folder followed
// by the entry's name is the target.
void ExtractLikeTheEngine(ArchiveHandle* archive, const std::wstring& folder) {
  ArchiveEntry count;
  ASSERT_EQ(kArchiveOk, GetEntry(archive, -1, &count));
  for (int32_t i = 0; i < count.index; ++i) {
    ArchiveEntry entry;
    if (GetEntry(archive, i, &entry) != kArchiveOk) continue;
    std::wstring target = folder + entry.name;
    DeleteFileW(target.c_str());
    (void)ExtractTo(archive, i, target);
  }
}

TEST(ZipArchiveExtractTest, TraversalCorpusNeverWritesOutsideTheDestination) {
  test::ScopedTempDir temp;
  const std::wstring outer = temp.Child(L"outer\\");
  const std::wstring install = outer + L"deep\\install\\";
  const std::wstring cwd = temp.Child(L"cwd\\");
  ASSERT_TRUE(CreateDirectoryW(outer.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((outer + L"deep").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(install.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(cwd.c_str(), nullptr));
  CurrentDirectoryScope in_cwd(cwd);

  static const struct {
    const char* stored;
    const wchar_t* lands;  // relative to the install folder; null: nothing is written
  } kCorpus[] = {
      {"../x1", L"x1"},
      {"..", nullptr},
      {"a/..", nullptr},
      {"../../x2.dll", L"x2.dll"},
      {"..\\..\\x3", L"x3"},
      {"../../../../../../../../x4", L"x4"},
      {"C:\\Windows\\x5.dll", L"Windows\\x5.dll"},
      {"C:/x6.dll", L"x6.dll"},
      {"C:x7", L"x7"},
      {"\\\\server\\share\\x8", L"server\\share\\x8"},
      {"//127.0.0.1/c$/x9", L"127.0.0.1\\c$\\x9"},
      {"\\\\?\\C:\\x10", nullptr},  // "?" cannot be a Windows name
      {"\\\\.\\C:\\x11", L"C_\\x11"},
      {"/abs/x12", L"abs\\x12"},
      {"\\abs\\x13", L"abs\\x13"},
      {"a/b\\../..\\../x14", L"x14"},
      {"a\\..\\..\\b/../x15", L"x15"},
      {"a/b/../x16", L"x16"},
      {"x17/..", nullptr},
      {"x18/.. ", nullptr},
      {".../x19", L"x19"},
      {"trail. ", L"trail"},
      {"dots.../x20. .", L"dots\\x20"},
      {"a:b21", L"b21"},
      {"dir/f22.txt:stream", L"dir\\f22.txt_stream"},
      {"nul", L"_nul"},
      {"CON.txt", L"_CON.txt"},
      {"dir/com1", L"dir\\_com1"},
      {"\xe9\xb2\x81/../../\xe5\xa2\xa8.txt", L"\u58a8.txt"},
  };
  ZipBuilder builder;
  for (const auto& c : kCorpus) builder.AddFile(c.stored, std::string("data of ") + c.stored);
  std::string zip = builder.Build();

  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);
  ExtractLikeTheEngine(archive.get(), install);

  std::vector<std::wstring> expected;
  for (const auto& c : kCorpus) {
    SCOPED_TRACE(c.stored);
    if (!c.lands) continue;
    expected.push_back(std::wstring(L"deep\\install\\") + c.lands);
    bool ok = false;
    EXPECT_EQ(std::string("data of ") + c.stored, test::ReadFileBytes(install + c.lands, &ok));
    EXPECT_TRUE(ok);
  }

  // Nothing but the expected files anywhere around the destination.
  std::vector<std::wstring> files;
  test::ListFiles(outer, L"", &files);
  std::sort(files.begin(), files.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected.size(), files.size());
  for (size_t i = 0; i < std::min(files.size(), expected.size()); ++i) {
    EXPECT_EQ(test::Narrow(expected[i]), test::Narrow(files[i]));
  }
  std::vector<std::wstring> in_cwd_files;
  test::ListFiles(cwd, L"", &in_cwd_files);
  EXPECT_TRUE(in_cwd_files.empty());
  std::vector<std::wstring> in_temp;
  test::ListFiles(temp.path(), L"", &in_temp);
  EXPECT_EQ(files.size(), in_temp.size());
  for (const wchar_t* absolute : {L"C:\\x6.dll", L"C:\\Windows\\x5.dll", L"C:\\abs\\x12", L"C:\\x1"}) {
    EXPECT_FALSE(test::FileExists(absolute)) << test::Narrow(absolute);
  }
}

TEST(ZipArchiveExtractTest, RelativeDestinationsGoUnderTheDirectoryCurrentAtOpen) {
  test::ScopedTempDir temp;
  const std::wstring base = temp.Child(L"base\\");
  const std::wstring later = temp.Child(L"later\\");
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(later.c_str(), nullptr));
  std::string zip = ZipBuilder().AddFile("x.txt", "relative").Build();

  ScopedArchive archive;
  {
    CurrentDirectoryScope at_open(base);
    archive.reset(OpenArchive(zip.data(), static_cast<uint32_t>(zip.size()), kArchiveKindMemory, nullptr));
  }
  ASSERT_TRUE(archive);
  CurrentDirectoryScope after(later);
  ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), 0, L"sub/deeper\\x.txt"));
  EXPECT_EQ("relative", test::ReadFileBytes(base + L"sub\\deeper\\x.txt"));
  EXPECT_FALSE(test::FileExists(later + L"sub"));
}

TEST(ZipArchiveExtractTest, FolderEntriesExtractedByNameCreateTheFolder) {
  test::ScopedTempDir temp;
  ZipEntryOptions unix_host;
  unix_host.host = test::kZipHostUnix;
  ZipEntryOptions no_attributes;
  no_attributes.default_attributes = false;
  std::string zip = ZipBuilder()
                        .AddDirectory("docs/")
                        .AddDirectory("nested/deeper/still/", unix_host)
                        .AddDirectory("only-the-slash/", no_attributes)
                        .AddFile("file.txt", "not a folder")
                        .Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  static const struct {
    int32_t index;
    const wchar_t* folder;
  } kCases[] = {{0, L"docs\\"}, {1, L"nested\\deeper\\still\\"}, {2, L"only-the-slash\\"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.index);
    ArchiveEntry entry;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), c.index, &entry));
    EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(kArchiveOk, ExtractTo(archive.get(), c.index, temp.path() + entry.name));
    DWORD attributes = GetFileAttributesW((temp.path() + c.folder).c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // Asking again for a folder that exists is fine.
    EXPECT_EQ(kArchiveOk, ExtractTo(archive.get(), c.index, temp.path() + entry.name));
  }

  // A folder cannot be made where a file of that name is.
  ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), 3, temp.Child(L"file.txt")));
  EXPECT_EQ(kArchiveOpenFailed, ExtractTo(archive.get(), 0, temp.Child(L"file.txt")));

  // Into a caller's handle a folder writes nothing.
  std::wstring sink = temp.Child(L"sink.bin");
  HANDLE file = CreateFileW(sink.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(kArchiveOk, ExtractEntry(archive.get(), 0, file, 0, kArchiveKindHandle));
  CloseHandle(file);
  EXPECT_EQ("", test::ReadFileBytes(sink));
}

TEST(ZipArchiveExtractTest, AttributesOfDosAndUnixHostsArriveOnTheFile) {
  test::ScopedTempDir temp;
  static const struct {
    const char* name;
    uint8_t host;
    uint32_t external;
    uint32_t attributes;  // as described
  } kCases[] = {
      {"dos-plain", test::kZipHostDos, 0x00, 0},
      {"dos-archive", test::kZipHostDos, 0x20, FILE_ATTRIBUTE_ARCHIVE},
      {"dos-readonly", test::kZipHostDos, 0x21, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
      {"dos-hidden", test::kZipHostDos, 0x22, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {"dos-both", test::kZipHostDos, 0x03, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
      {"dos-high-bits-ignored", test::kZipHostDos, 0x81ED0020, FILE_ATTRIBUTE_ARCHIVE},
      {"ntfs-readonly", 11, 0x01, FILE_ATTRIBUTE_READONLY},
      {"vfat-hidden", 14, 0x02, FILE_ATTRIBUTE_HIDDEN},
      {"unix-0644", test::kZipHostUnix, test::ZipUnixMode(0100644), FILE_ATTRIBUTE_ARCHIVE},
      {"unix-0444", test::kZipHostUnix, test::ZipUnixMode(0100444),
       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
      {"unix-dos-bits-ignored", test::kZipHostUnix, test::ZipUnixMode(0100644) | 0x03, FILE_ATTRIBUTE_ARCHIVE},
      {"unix-no-mode", test::kZipHostUnix, 0, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
  };
  ZipBuilder builder;
  for (const auto& c : kCases) {
    ZipEntryOptions options;
    options.host = c.host;
    options.default_attributes = false;
    options.external_attributes = c.external;
    builder.AddFile(c.name, c.name, options);
  }
  std::string zip = builder.Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  const DWORD kCheckedOnDisk = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  for (int32_t i = 0; i < static_cast<int32_t>(sizeof(kCases) / sizeof(kCases[0])); ++i) {
    const auto& c = kCases[i];
    SCOPED_TRACE(c.name);
    ArchiveEntry entry;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), i, &entry));
    EXPECT_EQ(c.attributes, entry.attributes);
    std::wstring target = temp.path() + entry.name;
    ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), i, target));
    DWORD on_disk = GetFileAttributesW(target.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, on_disk);
    EXPECT_EQ(c.attributes & kCheckedOnDisk, on_disk & kCheckedOnDisk);
    EXPECT_EQ(c.name, test::ReadFileBytes(target));
  }
}

TEST(ZipArchiveExtractTest, UnixTimeBlockAndDosTimeSetTheFileTimes) {
  test::ScopedTempDir temp;
  const int32_t kModified = 1300000000;  // 2011-03-13 07:06:40 UTC
  const int32_t kAccessed = 1400000000;
  const int32_t kCreated = 1200000000;

  ZipEntryOptions all_three;
  all_three.unix_time_flags = 7;
  all_three.unix_mtime = kModified;
  all_three.unix_atime = kAccessed;
  all_three.unix_ctime = kCreated;
  ZipEntryOptions modified_only;
  modified_only.unix_time_flags = 1;
  modified_only.unix_mtime = kModified;
  ZipEntryOptions dos_summer;
  dos_summer.dos_date = test::ZipDosDate(2019, 7, 4);
  dos_summer.dos_time = test::ZipDosTime(23, 59, 58);
  ZipEntryOptions dos_winter;
  dos_winter.dos_date = test::ZipDosDate(2020, 1, 31);
  dos_winter.dos_time = test::ZipDosTime(0, 0, 2);
  ZipEntryOptions all_three_everywhere = all_three;
  all_three_everywhere.unix_times_in_directory = true;
  std::string zip = ZipBuilder()
                        .AddFile("all.txt", "a", all_three)
                        .AddFile("modified.txt", "m", modified_only)
                        .AddFile("summer.txt", "s", dos_summer)
                        .AddFile("winter.txt", "w", dos_winter)
                        .AddFile("everywhere.txt", "e", all_three_everywhere)
                        .Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  auto file_times = [](const std::wstring& path, FILETIME* access, FILETIME* write) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME creation;
    ASSERT_TRUE(GetFileTime(file, &creation, access, write));
    CloseHandle(file);
  };

  // All three times of the local header's block arrive; the central
  // directory's copy only knows the modification time.
  {
    ArchiveEntry entry;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), 0, &entry));
    EXPECT_EQ(test::UnixToFileTimeValue(kModified), test::FileTimeValue(entry.write_time));
    std::wstring target = temp.Child(L"all.txt");
    ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), 0, target));
    FILETIME access, write;
    file_times(target, &access, &write);
    EXPECT_EQ(test::UnixToFileTimeValue(kModified), test::FileTimeValue(write));
    EXPECT_EQ(test::UnixToFileTimeValue(kAccessed), test::FileTimeValue(access));
  }
  // Wine keeps no creation time on its files, so the creation time is seen
  // where the layer reads it: a directory block that carries all three.
  {
    ArchiveEntry entry;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), 4, &entry));
    EXPECT_EQ(test::UnixToFileTimeValue(kModified), test::FileTimeValue(entry.write_time));
    EXPECT_EQ(test::UnixToFileTimeValue(kAccessed), test::FileTimeValue(entry.access_time));
    EXPECT_EQ(test::UnixToFileTimeValue(kCreated), test::FileTimeValue(entry.creation_time));
  }
  // Without access time in the block, the DOS time stands in.
  {
    std::wstring target = temp.Child(L"modified.txt");
    ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), 1, target));
    FILETIME access, write;
    file_times(target, &access, &write);
    EXPECT_EQ(test::UnixToFileTimeValue(kModified), test::FileTimeValue(write));
    ArchiveEntry entry;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), 1, &entry));
    EXPECT_NE(test::FileTimeValue(entry.write_time), test::FileTimeValue(entry.access_time));
    EXPECT_EQ(test::FileTimeValue(entry.access_time), test::FileTimeValue(access));
  }
  // DOS times are local: the UTC time on the file reads back as the stored
  // local date and time.
  static const struct {
    int32_t index;
    const wchar_t* name;
    WORD year, month, day, hour, minute, second;
  } kDosCases[] = {{2, L"summer.txt", 2019, 7, 4, 23, 59, 58}, {3, L"winter.txt", 2020, 1, 31, 0, 0, 2}};
  for (const auto& c : kDosCases) {
    SCOPED_TRACE(test::Narrow(c.name));
    std::wstring target = temp.path() + c.name;
    ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), c.index, target));
    FILETIME access, write;
    file_times(target, &access, &write);
    SYSTEMTIME utc, local;
    ASSERT_TRUE(FileTimeToSystemTime(&write, &utc));
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(c.year, local.wYear);
    EXPECT_EQ(c.month, local.wMonth);
    EXPECT_EQ(c.day, local.wDay);
    EXPECT_EQ(c.hour, local.wHour);
    EXPECT_EQ(c.minute, local.wMinute);
    EXPECT_EQ(c.second, local.wSecond);
  }
}

TEST(ZipArchiveExtractTest, LargeEntriesOfAFileArchiveExtractInAnyOrder) {
  test::ScopedTempDir temp;
  ZipBuilder builder;
  const size_t kSizes[] = {3000000, 1, 0, 700001, 262144, 262145};
  for (size_t i = 0; i < sizeof(kSizes) / sizeof(kSizes[0]); ++i) {
    ZipEntryOptions options;
    options.deflate = i % 2 == 0;
    builder.AddFile("f" + std::to_string(i), test::PatternBytes(kSizes[i], i), options);
  }
  std::wstring path = temp.Child(L"package.zip");
  ASSERT_TRUE(test::WriteFileBytes(path, builder.Build()));
  ScopedArchive archive(OpenArchive(path.c_str(), 0, kArchiveKindFileName, nullptr));
  ASSERT_TRUE(archive);

  for (int32_t i : {3, 0, 5, 1, 4, 2, 0}) {
    SCOPED_TRACE(i);
    std::wstring target = temp.Child(L"out\\f" + std::to_wstring(i));
    ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), i, target));
    EXPECT_TRUE(test::PatternBytes(kSizes[i], i) == test::ReadFileBytes(target));
  }

  // Into a caller's handle: written from its position, and left open.
  std::wstring sink = temp.Child(L"sink.bin");
  HANDLE file = CreateFileW(sink.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "head", 4, &written, nullptr));
  EXPECT_EQ(kArchiveOk, ExtractEntry(archive.get(), 3, file, 0, kArchiveKindHandle));
  EXPECT_TRUE(WriteFile(file, "tail", 4, &written, nullptr));
  CloseHandle(file);
  EXPECT_TRUE("head" + test::PatternBytes(kSizes[3], 3) + "tail" == test::ReadFileBytes(sink));
}

TEST(ZipArchiveExtractTest, AFailedExtractionLeavesNoFileBehind) {
  test::ScopedTempDir temp;
  ZipEntryOptions stored;
  stored.deflate = false;
  ZipEntryOptions readonly_stored = stored;
  readonly_stored.default_attributes = false;
  readonly_stored.external_attributes = FILE_ATTRIBUTE_READONLY;
  const std::string data = test::PatternBytes(600000);
  std::vector<size_t> offsets;
  std::string zip = ZipBuilder()
                        .AddFile("stored.bin", data, stored)
                        .AddFile("deflated.bin", data)
                        .AddFile("readonly.bin", data, readonly_stored)
                        .Build(&offsets);
  // Damage the data of each entry, deep inside (after the first copy block).
  for (size_t i = 0; i < offsets.size(); ++i) {
    size_t name_length = i == 0 ? 10 : (i == 1 ? 12 : 12);
    size_t data_at = offsets[i] + 30 + name_length;
    size_t end = i + 1 < offsets.size() ? offsets[i + 1] : zip.find("PK\x01\x02");
    size_t spot = data_at + (end - data_at) * 3 / 4;
    zip[spot] = static_cast<char>(zip[spot] ^ 0x5A);
  }
  std::wstring path = temp.Child(L"damaged.zip");
  ASSERT_TRUE(test::WriteFileBytes(path, zip));
  ScopedArchive archive(OpenArchive(path.c_str(), 0, kArchiveKindFileName, nullptr));
  ASSERT_TRUE(archive);

  for (int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ArchiveEntry entry;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), i, &entry));
    std::wstring target = temp.Child(L"out\\") + entry.name;
    EXPECT_EQ(kArchiveInflateFailed, ExtractTo(archive.get(), i, target));
    EXPECT_FALSE(test::FileExists(target));
  }
  // The archive stays usable after a failure.
  std::string intact = ZipBuilder().AddFile("ok.txt", "fine").Build();
  ScopedArchive other = test::OpenMemoryArchive(intact);
  ASSERT_EQ(kArchiveOk, ExtractTo(other.get(), 0, temp.Child(L"out\\ok.txt")));
  EXPECT_EQ("fine", test::ReadFileBytes(temp.Child(L"out\\ok.txt")));
}

TEST(ZipArchiveExtractTest, WrongPasswordLeavesTheDestinationUntouched) {
  test::ScopedTempDir temp;
  ZipEntryOptions options;
  options.password = "open sesame";
  options.deflate = false;
  std::string zip = ZipBuilder().AddFile("secret.txt", "the secret", options).Build();
  std::wstring target = temp.Child(L"secret.txt");

  ScopedArchive wrong = test::OpenMemoryArchive(zip, "sesame");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(kArchiveWrongPassword, ExtractTo(wrong.get(), 0, target));
  EXPECT_FALSE(test::FileExists(target));

  ScopedArchive right = test::OpenMemoryArchive(zip, "open sesame");
  ASSERT_EQ(kArchiveOk, ExtractTo(right.get(), 0, target));
  EXPECT_EQ("the secret", test::ReadFileBytes(target));
}

TEST(ZipArchiveExtractTest, UnicodeNamesBecomeUnicodeFiles) {
  test::ScopedTempDir temp;
  // "鲁墨/说明.txt" as UTF-8, without the UTF-8 flag: decoded as UTF-8 anyway.
  std::string zip = ZipBuilder().AddFile("\xe9\xb2\x81\xe5\xa2\xa8/\xe8\xaf\xb4\xe6\x98\x8e.txt", "cjk").Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);
  ArchiveEntry entry;
  ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), 0, &entry));
  EXPECT_EQ(L"\u9c81\u58a8/\u8bf4\u660e.txt", entry.name);
  ASSERT_EQ(kArchiveOk, ExtractTo(archive.get(), 0, temp.path() + entry.name));
  EXPECT_EQ("cjk", test::ReadFileBytes(temp.Child(L"\u9c81\u58a8\\\u8bf4\u660e.txt")));
}

TEST(ZipArchiveExtractTest, NamesLongerThanTheLimitAreRefusedNotCut) {
  test::ScopedTempDir temp;
  std::string fits(kMaxEntryNameLength, 'a');
  std::string too_long = std::string(kMaxEntryNameLength - 4, 'a') + "b.dll" + "x";
  std::string zip = ZipBuilder().AddFile(fits, "fits").AddFile(too_long, "too long").Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  ArchiveEntry entry;
  ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), 0, &entry));
  EXPECT_EQ(kMaxEntryNameLength, entry.name.size());
  EXPECT_EQ(kArchiveCorrupt, GetEntry(archive.get(), 1, &entry));
  EXPECT_TRUE(entry.name.empty());
  EXPECT_EQ(kArchiveCorrupt, ExtractTo(archive.get(), 1, temp.Child(L"target")));
  EXPECT_FALSE(test::FileExists(temp.Child(L"target")));
  char buffer[16];
  EXPECT_EQ(kArchiveCorrupt, ExtractEntry(archive.get(), 1, buffer, sizeof(buffer), kArchiveKindMemory));
}

}  // namespace
