// Reads a zip entry encrypted with the traditional PKWARE cipher.
//
// minizip's unzip.c defines NOUNCRYPT unconditionally, so the reader this
// layer links has its decryption compiled out and unzOpenCurrentFilePassword
// refuses every password. For an encrypted entry the archive layer therefore
// opens the entry raw (minizip still finds and bounds its bytes) and this
// class does the rest: it checks the password against the encryption
// header's check byte, decrypts, inflates or copies, and keeps the CRC-32 of
// what it produced so the caller can check it at the end.
//
// Threads: used by the thread that uses the archive handle owning it.
#pragma once

#include <minizip/unzip.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "installer/zip_archive.h"

class ZipCryptReader {
 public:
  struct EntryFacts {
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t flags = 0;   // general-purpose bits
    uint32_t crc = 0;
    uint32_t dos_date_time = 0;  // date in the high half, time in the low half
    uint64_t uncompressed_size = 0;
  };

  // `zip`'s current entry must be open raw (unzOpenCurrentFile2 with raw 1)
  // for as long as this reader reads.
  ZipCryptReader(unzFile zip, const EntryFacts& facts);
  ~ZipCryptReader();
  ZipCryptReader(const ZipCryptReader&) = delete;
  ZipCryptReader& operator=(const ZipCryptReader&) = delete;

  // Reads the 12-byte encryption header and checks `password` against its
  // last byte: the CRC's high byte, or the DOS time's high byte when the
  // entry has a data descriptor (general-purpose bit 3). kArchiveOk,
  // kArchiveWrongPassword, kArchiveCorrupt (no room for a header) or
  // kArchiveInflateFailed.
  [[nodiscard]] ArchiveResult Start(const std::string& password);

  // Like unzReadCurrentFile: the number of bytes produced (at most `size`),
  // 0 when no more data comes, negative on an error.
  int Read(uint8_t* out, uint32_t size);

  // All of the entry's declared bytes have been produced.
  bool AtEnd() const { return produced_ == facts_.uncompressed_size; }
  bool CrcMatches() const { return crc_ == facts_.crc; }

 private:
  // Reads and decrypts the next block of raw bytes. False when none is left
  // or reading failed (failed_ then tells which).
  bool Refill();

  unzFile zip_;
  EntryFacts facts_;
  unsigned long keys_[3] = {0, 0, 0};
  z_stream stream_;
  bool inflating_ = false;
  bool failed_ = false;
  std::unique_ptr<uint8_t[]> input_;
  uint32_t input_length_ = 0;
  uint32_t input_at_ = 0;
  uint64_t produced_ = 0;
  uint32_t crc_ = 0;
};
