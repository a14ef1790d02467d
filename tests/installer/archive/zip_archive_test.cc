// The archive layer on real archives: opening from each kind of source,
// describing and finding entries, memory extraction with continuation,
// passwords, and argument errors.
#include "installer/zip_archive.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <minizip/unzip.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wregister"
#include <minizip/crypt.h>
#pragma GCC diagnostic pop

#include <string>

#include "tests/installer/archive/archive_test_util.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

using test::ReadEntry;
using test::ScopedArchive;
using test::ZipBuilder;
using test::ZipEntryOptions;

test::ZipEntryOptions Stored() {
  ZipEntryOptions options;
  options.deflate = false;
  return options;
}

std::string SampleArchive() {
  return ZipBuilder()
      .AddFile("readme.txt", "hello, archive")
      .AddDirectory("themes/default/")
      .AddFile("themes/default/global.xml", "<Global/>", Stored())
      .AddFile("bin/big.dat", test::PatternBytes(300000))
      .Build();
}

TEST(ZipArchiveTest, GetEntryCountsWithMinusOneAndRefusesIndicesOutsideTheArchive) {
  std::string zip = SampleArchive();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  ArchiveEntry entry;
  entry.name = L"stale";
  ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), -1, &entry));
  EXPECT_EQ(4, entry.index);
  EXPECT_TRUE(entry.name.empty());
  EXPECT_EQ(0u, entry.uncompressed_size);

  static const struct {
    int32_t index;
    ArchiveResult result;
    const wchar_t* name;
    uint32_t size;
  } kCases[] = {
      {0, kArchiveOk, L"readme.txt", 14},
      {1, kArchiveOk, L"themes/default/", 0},
      {2, kArchiveOk, L"themes/default/global.xml", 9},
      {3, kArchiveOk, L"bin/big.dat", 300000},
      {1, kArchiveOk, L"themes/default/", 0},  // backwards again
      {4, kArchiveBadArgument, L"", 0},
      {-2, kArchiveBadArgument, L"", 0},
      {INT32_MAX, kArchiveBadArgument, L"", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.index);
    ArchiveEntry described;
    ASSERT_EQ(c.result, GetEntry(archive.get(), c.index, &described));
    EXPECT_EQ(c.result, LastArchiveResult());
    if (c.result != kArchiveOk) continue;
    EXPECT_EQ(c.index, described.index);
    EXPECT_EQ(test::Narrow(c.name), test::Narrow(described.name));
    EXPECT_EQ(c.size, described.uncompressed_size);
  }
}

TEST(ZipArchiveTest, OpensTheSameArchiveFromAFileNameAHandleAndMemory) {
  test::ScopedTempDir temp;
  std::string zip = SampleArchive();
  std::wstring path = temp.Child(L"sample.zip");
  ASSERT_TRUE(test::WriteFileBytes(path, zip));
  // A self-extractor style file: the archive after other bytes.
  std::wstring prefixed = temp.Child(L"prefixed.exe");
  ASSERT_TRUE(test::WriteFileBytes(prefixed, std::string(70000, 'M') + zip));

  enum Source { kName, kHandle, kHandleMoved, kPrefixedName, kMemory };
  static const struct {
    Source source;
    const char* label;
  } kCases[] = {{kName, "file name"},
                {kHandle, "handle"},
                {kHandleMoved, "handle not at offset 0"},
                {kPrefixedName, "archive after other bytes"},
                {kMemory, "memory"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    HANDLE file = INVALID_HANDLE_VALUE;
    ArchiveHandle* raw = nullptr;
    switch (c.source) {
      case kName:
        raw = OpenArchive(path.c_str(), 0, kArchiveKindFileName, nullptr);
        break;
      case kPrefixedName:
        raw = OpenArchive(prefixed.c_str(), 0, kArchiveKindFileName, nullptr);
        break;
      case kHandle:
      case kHandleMoved:
        file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        if (c.source == kHandleMoved) SetFilePointer(file, 1234, nullptr, FILE_BEGIN);
        raw = OpenArchive(file, 0, kArchiveKindHandle, nullptr);
        break;
      case kMemory:
        raw = OpenArchive(zip.data(), static_cast<uint32_t>(zip.size()), kArchiveKindMemory, "");
        break;
    }
    ScopedArchive archive(raw);
    ASSERT_TRUE(archive) << std::hex << LastArchiveResult();
    EXPECT_EQ(kArchiveOk, LastArchiveResult());
    ArchiveResult result;
    // Last entry first: random access, then the rest.
    EXPECT_TRUE(test::PatternBytes(300000) == ReadEntry(archive.get(), 3, 65536, &result));
    EXPECT_EQ(kArchiveOk, result);
    EXPECT_EQ("hello, archive", ReadEntry(archive.get(), 0, 64, &result));
    EXPECT_EQ(kArchiveOk, result);
    EXPECT_EQ("<Global/>", ReadEntry(archive.get(), 2, 9, &result));
    EXPECT_EQ(kArchiveOk, result);
    archive.reset();
    if (file != INVALID_HANDLE_VALUE) {
      // The caller's handle is still the caller's.
      EXPECT_NE(0u, GetFileSize(file, nullptr));
      EXPECT_TRUE(CloseHandle(file));
    }
  }
}

TEST(ZipArchiveTest, OpenFailuresReturnNullAndLeaveTheReasonAsLastResult) {
  test::ScopedTempDir temp;
  std::wstring text = temp.Child(L"not-a-zip.txt");
  ASSERT_TRUE(test::WriteFileBytes(text, std::string(5000, 'x')));
  std::wstring missing = temp.Child(L"missing.zip");
  std::string garbage(3000, '\x55');
  std::string empty_archive = ZipBuilder().Build();

  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));

  static const struct {
    const char* label;
    int source;
    uint32_t kind;
    ArchiveResult result;
  } kCases[] = {
      {"missing file", 0, kArchiveKindFileName, kArchiveOpenFailed},
      {"text file", 1, kArchiveKindFileName, kArchiveOpenFailed},
      {"garbage in memory", 2, kArchiveKindMemory, kArchiveOpenFailed},
      {"zero-length memory", 3, kArchiveKindMemory, kArchiveOpenFailed},
      {"pipe handle", 4, kArchiveKindHandle, kArchiveCannotSeek},
      {"null source", 5, kArchiveKindFileName, kArchiveBadArgument},
      {"unknown kind", 2, 7, kArchiveBadArgument},
      // minizip takes an end record at offset 0 for a missing one, so an
      // archive without entries does not open; it has nothing to extract.
      {"end record only", 6, kArchiveKindMemory, kArchiveOpenFailed},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    const void* source = nullptr;
    uint32_t length = 0;
    switch (c.source) {
      case 0: source = missing.c_str(); break;
      case 1: source = text.c_str(); break;
      case 2: source = garbage.data(); length = static_cast<uint32_t>(garbage.size()); break;
      case 3: source = garbage.data(); break;
      case 4: source = read_end; break;
      case 5: break;
      case 6: source = empty_archive.data(); length = static_cast<uint32_t>(empty_archive.size()); break;
    }
    EXPECT_EQ(nullptr, OpenArchive(source, length, c.kind, nullptr));
    EXPECT_EQ(c.result, LastArchiveResult());
  }
  CloseHandle(read_end);
  CloseHandle(write_end);
}

TEST(ZipArchiveTest, OperationsOnANullHandleAreBadArguments) {
  ArchiveEntry entry;
  int32_t index = 5;
  char buffer[4];
  EXPECT_EQ(kArchiveBadArgument, GetEntry(nullptr, -1, &entry));
  EXPECT_EQ(kArchiveBadArgument, FindEntry(nullptr, L"x", &index, &entry));
  EXPECT_EQ(kArchiveBadArgument, ExtractEntry(nullptr, 0, buffer, sizeof(buffer), kArchiveKindMemory));
  EXPECT_EQ(kArchiveBadArgument, CloseArchive(nullptr));
  EXPECT_EQ(kArchiveBadArgument, LastArchiveResult());

  std::string zip = SampleArchive();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);
  EXPECT_EQ(kArchiveBadArgument, ExtractEntry(archive.get(), 0, nullptr, 4, kArchiveKindMemory));
  EXPECT_EQ(kArchiveBadArgument, ExtractEntry(archive.get(), 0, buffer, sizeof(buffer), 9));
  EXPECT_EQ(kArchiveBadArgument, ExtractEntry(archive.get(), 4, buffer, sizeof(buffer), kArchiveKindMemory));
  EXPECT_EQ(kArchiveBadArgument, ExtractEntry(archive.get(), 0, INVALID_HANDLE_VALUE, 0, kArchiveKindHandle));
  EXPECT_EQ(kArchiveBadArgument, GetEntry(archive.get(), 0, nullptr));
}

TEST(ZipArchiveTest, FindEntryFoldsAsciiLettersOnlyAndKeepsSeparatorsApart) {
  std::string zip = ZipBuilder()
                        .AddFile("themes/default/global.xml", "<Global/>")
                        .AddFile("themes\\default\\back.xml", "back")
                        .AddFile("\xc3\x89t\xc3\xa9.txt", "accents")  // "Été.txt"
                        .AddFile("\xe9\xb2\x81\xe5\xa2\xa8.txt", "cjk")
                        .Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  static const struct {
    const wchar_t* search;
    int32_t index;
  } kCases[] = {
      {L"THEMES/DEFAULT/GLOBAL.XML", 0},
      {L"themes/default/global.xml", 0},
      {L"Themes/Default/Global.Xml", 0},
      {L"themes\\default\\global.xml", -1},
      {L"themes/default/back.xml", -1},
      {L"THEMES\\DEFAULT\\BACK.XML", 1},
      {L"themes/default/global.xm", -1},
      {L"themes/default/global.xml ", -1},
      {L"\u00c9T\u00e9.TXT", 2},
      {L"\u00c9T\u00c9.TXT", -1},
      {L"\u00e9t\u00e9.txt", -1},
      {L"\u9c81\u58a8.TXT", 3},
      {L"", -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.search));
    int32_t index = 77;
    ArchiveEntry entry;
    entry.name = L"stale";
    entry.uncompressed_size = 3;
    ArchiveResult result = FindEntry(archive.get(), c.search, &index, &entry);
    EXPECT_EQ(c.index, index);
    EXPECT_EQ(c.index, entry.index);
    if (c.index < 0) {
      EXPECT_EQ(kArchiveNotFound, result);
      EXPECT_TRUE(entry.name.empty());
      EXPECT_EQ(0u, entry.uncompressed_size);
      EXPECT_EQ(0u, entry.attributes);
    } else {
      EXPECT_EQ(kArchiveOk, result);
      EXPECT_FALSE(entry.name.empty());
    }
  }
}

TEST(ZipArchiveTest, MemoryExtractionReportsMoreUntilTheBufferHoldsTheRest) {
  const std::string data = test::PatternBytes(40000);
  static const struct {
    bool deflate;
    size_t chunk;
    int calls;
  } kCases[] = {
      {true, 40000, 1},  {false, 40000, 1}, {true, 39999, 2},  {false, 39999, 2},
      {true, 10000, 4},  {false, 10000, 4}, {true, 7, 5715},   {false, 1, 40000},
      {true, 100000, 1}, {false, 65536, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "deflate " << c.deflate << " chunk " << c.chunk);
    ZipEntryOptions options;
    options.deflate = c.deflate;
    std::string zip = ZipBuilder().AddFile("a.bin", data, options).Build();
    ScopedArchive archive = test::OpenMemoryArchive(zip);
    ASSERT_TRUE(archive);

    std::vector<char> buffer(c.chunk);
    ArchiveResult first = ExtractEntry(archive.get(), 0, buffer.data(), static_cast<uint32_t>(c.chunk),
                                       kArchiveKindMemory);
    EXPECT_EQ(c.calls == 1 ? kArchiveOk : kArchiveMore, first);

    ScopedArchive again = test::OpenMemoryArchive(zip);
    ArchiveResult result;
    int calls = 0;
    EXPECT_TRUE(data == ReadEntry(again.get(), 0, c.chunk, &result, &calls));
    EXPECT_EQ(kArchiveOk, result);
    EXPECT_EQ(c.calls, calls);
  }
}

TEST(ZipArchiveTest, MemoryExtractionOfAnotherIndexStartsThatEntryFromItsBeginning) {
  std::string zip = ZipBuilder()
                        .AddFile("one.bin", test::PatternBytes(5000))
                        .AddFile("two.bin", test::PatternBytes(3000, 7))
                        .Build();
  ScopedArchive archive = test::OpenMemoryArchive(zip);
  ASSERT_TRUE(archive);

  char part[1000];
  ASSERT_EQ(kArchiveMore, ExtractEntry(archive.get(), 0, part, sizeof(part), kArchiveKindMemory));
  EXPECT_TRUE(test::PatternBytes(1000) == std::string(part, sizeof(part)));

  // Describing entries in between does not disturb the entry being read.
  ArchiveEntry entry;
  ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), 1, &entry));
  int32_t found = -1;
  ASSERT_EQ(kArchiveOk, FindEntry(archive.get(), L"TWO.BIN", &found, &entry));
  ASSERT_EQ(kArchiveMore, ExtractEntry(archive.get(), 0, part, sizeof(part), kArchiveKindMemory));
  EXPECT_TRUE(test::PatternBytes(1000, 1000) == std::string(part, sizeof(part)));

  // Another index closes the first entry; asking for it again restarts it.
  ArchiveResult result;
  EXPECT_TRUE(test::PatternBytes(3000, 7) == ReadEntry(archive.get(), 1, 3000, &result));
  EXPECT_EQ(kArchiveOk, result);
  EXPECT_TRUE(test::PatternBytes(5000) == ReadEntry(archive.get(), 0, 1000, &result));
  EXPECT_EQ(kArchiveOk, result);
}

TEST(ZipArchiveTest, EncryptedEntriesNeedTheirPasswordAndPlainEntriesIgnoreIt) {
  const std::string secret = test::PatternBytes(20000, 3);
  static const struct {
    bool deflate;
    bool data_descriptor;
  } kLayouts[] = {{true, false}, {false, false}, {true, true}, {false, true}};
  for (const auto& layout : kLayouts) {
    SCOPED_TRACE(testing::Message() << "deflate " << layout.deflate << " descriptor " << layout.data_descriptor);
    ZipEntryOptions options;
    options.deflate = layout.deflate;
    options.data_descriptor = layout.data_descriptor;
    options.password = "s3cret";
    std::string zip = ZipBuilder().AddFile("secret.bin", secret, options).AddFile("plain.txt", "plain").Build();

    static const struct {
      const char* password;
      ArchiveResult result;
    } kPasswords[] = {
        {"s3cret", kArchiveOk}, {"S3cret", kArchiveWrongPassword}, {"s3cret ", kArchiveWrongPassword},
        {"", kArchiveWrongPassword}, {nullptr, kArchiveWrongPassword}, {"x", kArchiveWrongPassword},
    };
    for (const auto& p : kPasswords) {
      SCOPED_TRACE(p.password ? p.password : "(null)");
      ScopedArchive archive = test::OpenMemoryArchive(zip, p.password);
      ASSERT_TRUE(archive);
      ArchiveResult result;
      std::string out = ReadEntry(archive.get(), 0, 4096, &result);
      EXPECT_EQ(p.result, result);
      if (p.result == kArchiveOk) {
        EXPECT_TRUE(secret == out);
      } else {
        // A wrong password is noticed before any data is handed out.
        EXPECT_TRUE(out.empty());
      }
      EXPECT_EQ("plain", ReadEntry(archive.get(), 1, 4096, &result));
      EXPECT_EQ(kArchiveOk, result);
    }
  }
}

// The check byte rejects 255 of 256 wrong passwords; the CRC must catch the
// rest, or a stored entry would be written as garbage and reported as done.
TEST(ZipArchiveTest, AWrongPasswordThatPassesTheCheckByteStillFails) {
  test::ScopedTempDir temp;
  const std::string secret = test::PatternBytes(5000, 11);
  ZipEntryOptions options;
  options.deflate = false;
  options.password = "right";
  std::vector<size_t> offsets;
  std::string zip = ZipBuilder().AddFile("secret.bin", secret, options).Build(&offsets);
  const size_t header_at = offsets[0] + 30 + std::string("secret.bin").size();
  const uint32_t crc = test::ZipCrc32(secret);

  // Search for a wrong password whose decrypted header ends with the check
  // byte, with minizip's own cipher.
  std::string impostor;
  for (int i = 0; i < 100000 && impostor.empty(); ++i) {
    std::string candidate = "wrong" + std::to_string(i);
    unsigned long keys[3];
    const z_crc_t* table = get_crc_table();
    init_keys(candidate.c_str(), keys, table);
    uint8_t last = 0;
    for (int k = 0; k < 12; ++k) {
      char c = zip[header_at + k];
      zdecode(keys, table, c);
      last = static_cast<uint8_t>(c);
    }
    if (last == (crc >> 24)) impostor = candidate;
  }
  ASSERT_FALSE(impostor.empty());
  SCOPED_TRACE(impostor);

  ScopedArchive archive = test::OpenMemoryArchive(zip, impostor.c_str());
  ASSERT_TRUE(archive);
  ArchiveResult result;
  ReadEntry(archive.get(), 0, 100000, &result);
  EXPECT_EQ(kArchiveInflateFailed, result);

  std::wstring target = temp.Child(L"secret.bin");
  EXPECT_EQ(kArchiveInflateFailed,
            ExtractEntry(archive.get(), 0, const_cast<wchar_t*>(target.c_str()), 0, kArchiveKindFileName));
  EXPECT_FALSE(test::FileExists(target));
}

}  // namespace
