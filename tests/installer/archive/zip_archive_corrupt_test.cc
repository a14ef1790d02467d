// Damaged archives: specific damage gives its result code, and any damage at
// all (every truncation, every flipped byte) is answered with a code, never
// a crash or a success with wrong data.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "installer/zip_archive.h"
#include "tests/installer/archive/archive_test_util.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

using test::ScopedArchive;
using test::ZipBuilder;
using test::ZipEntryOptions;

void Put32At(std::string* zip, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*zip)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Put16At(std::string* zip, size_t at, uint16_t value) {
  (*zip)[at] = static_cast<char>(value & 0xFF);
  (*zip)[at + 1] = static_cast<char>(value >> 8);
}

// Two entries: a deflated one and a stored one.
struct Sample {
  std::string zip;
  std::vector<size_t> local;  // local header offsets
  std::vector<size_t> central;  // central header offsets
};

Sample MakeSample() {
  ZipEntryOptions stored;
  stored.deflate = false;
  Sample sample;
  sample.zip = ZipBuilder()
                   .AddFile("first.txt", test::PatternBytes(2000))
                   .AddFile("second.txt", test::PatternBytes(1500, 9), stored)
                   .Build(&sample.local);
  size_t at = 0;
  while ((at = sample.zip.find("PK\x01\x02", at)) != std::string::npos) sample.central.push_back(at++);
  return sample;
}

TEST(ZipArchiveCorruptTest, SpecificDamageGivesItsResultCode) {
  const Sample clean = MakeSample();
  ASSERT_EQ(2u, clean.central.size());

  enum Step { kOpen, kDescribe, kExtract };
  static const struct {
    const char* label;
    void (*damage)(Sample*);
    Step fails_at;
    int32_t index;
    ArchiveResult result;
  } kCases[] = {
      {"no end record", [](Sample* s) { s->zip.resize(s->zip.size() - 22); }, kOpen, 0, kArchiveOpenFailed},
      {"end record claims more entries on this disk than in total",
       [](Sample* s) { Put16At(&s->zip, s->zip.size() - 22 + 8, 3); }, kOpen, 0, kArchiveOpenFailed},
      {"directory beyond the end record",
       [](Sample* s) { Put32At(&s->zip, s->zip.size() - 22 + 16, 0x7FFFFFF0); }, kOpen, 0, kArchiveOpenFailed},
      {"second directory record broken", [](Sample* s) { s->zip[s->central[1] + 1] = 'X'; }, kDescribe, 1,
       kArchiveReadFailed},
      {"local header signature broken", [](Sample* s) { s->zip[s->local[0] + 2] = 'X'; }, kExtract, 0,
       kArchiveCorrupt},
      {"local header points outside the archive",
       [](Sample* s) { Put32At(&s->zip, s->central[1] + 42, 0x00FFFFFF); }, kExtract, 1, kArchiveCorrupt},
      {"local method differs from the directory", [](Sample* s) { Put16At(&s->zip, s->local[1] + 8, 8); },
       kExtract, 1, kArchiveCorrupt},
      {"unsupported method (bzip2)",
       [](Sample* s) {
         Put16At(&s->zip, s->local[1] + 8, 12);
         Put16At(&s->zip, s->central[1] + 10, 12);
       },
       kExtract, 1, kArchiveInflateFailed},
      {"deflate stream garbled",
       [](Sample* s) {
         for (size_t i = 0; i < 8; ++i) s->zip[s->local[0] + 30 + 9 + i] = '\xff';
       },
       kExtract, 0, kArchiveInflateFailed},
      {"stored data fails its CRC", [](Sample* s) { s->zip[s->local[1] + 30 + 10 + 700] ^= 1; }, kExtract, 1,
       kArchiveInflateFailed},
      {"declared size larger than the data",
       [](Sample* s) {
         Put32At(&s->zip, s->local[0] + 22, 5000);
         Put32At(&s->zip, s->central[0] + 24, 5000);
       },
       kExtract, 0, kArchiveInflateFailed},
      {"declared size smaller than the data",
       [](Sample* s) {
         Put32At(&s->zip, s->local[0] + 22, 1000);
         Put32At(&s->zip, s->central[0] + 24, 1000);
       },
       kExtract, 0, kArchiveInflateFailed},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    Sample sample = clean;
    c.damage(&sample);
    ScopedArchive archive = test::OpenMemoryArchive(sample.zip);
    if (c.fails_at == kOpen) {
      EXPECT_FALSE(archive);
      EXPECT_EQ(c.result, LastArchiveResult());
      continue;
    }
    ASSERT_TRUE(archive);
    ArchiveEntry entry;
    ArchiveResult described = GetEntry(archive.get(), c.index, &entry);
    if (c.fails_at == kDescribe) {
      EXPECT_EQ(c.result, described);
      // Entries before the damage stay readable.
      ArchiveResult result;
      EXPECT_TRUE(test::PatternBytes(2000) == test::ReadEntry(archive.get(), 0, 4096, &result));
      EXPECT_EQ(kArchiveOk, result);
      continue;
    }
    ASSERT_EQ(kArchiveOk, described);
    ArchiveResult result;
    test::ReadEntry(archive.get(), c.index, 4096, &result);
    EXPECT_EQ(c.result, result);
  }
}

// Every prefix of an archive, and every byte of it flipped: each operation
// answers with one of the layer's codes, and data handed out as a success is
// the entry's real data.
TEST(ZipArchiveCorruptTest, AnyTruncationOrFlippedByteIsAnsweredWithACode) {
  ZipEntryOptions stored;
  stored.deflate = false;
  ZipEntryOptions encrypted;
  encrypted.password = "pw";
  ZipEntryOptions timed;
  timed.unix_time_flags = 7;
  timed.unix_mtime = 1600000000;
  const std::string one = test::PatternBytes(700);
  const std::string two = "short text";
  const std::string three = test::PatternBytes(300, 5);
  const std::string zip = ZipBuilder()
                              .AddFile("dir/one.bin", one, timed)
                              .AddFile("two.txt", two, stored)
                              .AddFile("three.bin", three, encrypted)
                              .AddDirectory("folder/")
                              .Build();
  const std::string* contents[] = {&one, &two, &three, nullptr};
  const std::set<ArchiveResult> kCodes = {kArchiveOk,        kArchiveOpenFailed,    kArchiveNotFound,
                                          kArchiveMore,      kArchiveCorrupt,       kArchiveReadFailed,
                                          kArchiveWrongPassword, kArchiveBadArgument, kArchiveInflateFailed};

  auto exercise = [&](const std::string& variant, bool* wrong_data) {
    ScopedArchive archive = test::OpenMemoryArchive(variant, "pw");
    EXPECT_TRUE(kCodes.count(LastArchiveResult()));
    if (!archive) return;
    ArchiveEntry count;
    ASSERT_EQ(kArchiveOk, GetEntry(archive.get(), -1, &count));
    int32_t found;
    ArchiveEntry entry;
    EXPECT_TRUE(kCodes.count(FindEntry(archive.get(), L"TWO.TXT", &found, &entry)));
    for (int32_t i = 0; i < count.index && i < 100; ++i) {
      EXPECT_TRUE(kCodes.count(GetEntry(archive.get(), i, &entry)));
      ArchiveResult result;
      std::string data = test::ReadEntry(archive.get(), i, 256, &result);
      EXPECT_TRUE(kCodes.count(result));
      // A success must hand out the real data of one of the entries: damage
      // that goes unnoticed is only acceptable when it changed nothing the
      // CRC covers (names, times, attributes).
      if (result == kArchiveOk && i < 4) {
        bool real = false;
        for (const std::string* content : contents) real = real || (content ? *content : std::string()) == data;
        if (!real) *wrong_data = true;
      }
    }
  };

  bool wrong_data = false;
  for (size_t length = 0; length < zip.size(); ++length) {
    SCOPED_TRACE(testing::Message() << "truncated to " << length);
    exercise(zip.substr(0, length), &wrong_data);
  }
  for (size_t at = 0; at < zip.size(); ++at) {
    SCOPED_TRACE(testing::Message() << "flipped byte " << at);
    std::string variant = zip;
    variant[at] = static_cast<char>(variant[at] ^ 0xFF);
    exercise(variant, &wrong_data);
  }
  EXPECT_FALSE(wrong_data);
}

}  // namespace
