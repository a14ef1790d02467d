// A small zip writer for tests and benchmarks: real archives, built in memory,
// with exactly the bytes a test asks for.
//
// Names are stored as raw bytes (hostile names arrive unaltered); entries are
// stored or deflated (zlib); each entry can carry its host byte, external
// attributes, DOS date and time, a "UT" extra block, traditional PKWARE
// encryption and a data descriptor. The "UT" block is written the way Info-ZIP
// writes it: all announced times in the local header, the modification time
// only in the central directory. Corrupt variants are made by editing the
// bytes Build() returns.
//
//   std::string zip = test::ZipBuilder()
//                         .AddFile("bin/app.exe", bytes)
//                         .AddDirectory("docs/")
//                         .Build();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

constexpr uint8_t kZipHostDos = 0;
constexpr uint8_t kZipHostUnix = 3;

// DOS date and time fields (local time; seconds are stored halved).
constexpr uint16_t ZipDosDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t ZipDosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// Unix mode bits as a Unix host stores them in the external attributes.
constexpr uint32_t ZipUnixMode(uint32_t mode) { return mode << 16; }

struct ZipEntryOptions {
  bool deflate = true;
  int level = 6;  // zlib level when deflating
  uint8_t host = kZipHostDos;
  // Default: the archive bit for a DOS file, the folder bit for a DOS folder,
  // 0644 / 040755 for a Unix file / folder.
  bool default_attributes = true;
  uint32_t external_attributes = 0;
  uint16_t dos_date = ZipDosDate(2021, 6, 15);
  uint16_t dos_time = ZipDosTime(10, 30, 20);
  // The "UT" block: flags bit 0 modification, 1 access, 2 creation time
  // (Unix seconds). No block when the flags are 0.
  uint8_t unix_time_flags = 0;
  int32_t unix_mtime = 0;
  int32_t unix_atime = 0;
  int32_t unix_ctime = 0;
  // Also write every time in the directory's copy of the block (Info-ZIP
  // writes the modification time only), as some other writers do.
  bool unix_times_in_directory = false;
  // Not empty: the entry is encrypted with this password.
  std::string password;
  // Sizes and CRC follow the data (general-purpose bit 3).
  bool data_descriptor = false;
};

class ZipBuilder {
 public:
  ZipBuilder& AddFile(std::string name, std::string data, ZipEntryOptions options = {});
  // The name is stored as given; folders usually end with '/'.
  ZipBuilder& AddDirectory(std::string name, ZipEntryOptions options = {});

  // The whole archive. `local_header_offsets`, when given, receives where
  // each entry's local header starts, in the order the entries were added.
  std::string Build(std::vector<size_t>* local_header_offsets = nullptr) const;

 private:
  struct Entry {
    std::string name;
    std::string data;
    ZipEntryOptions options;
    bool directory = false;
  };

  std::vector<Entry> entries_;
};

// zlib's CRC-32 of `data`.
uint32_t ZipCrc32(const std::string& data);

}  // namespace test
