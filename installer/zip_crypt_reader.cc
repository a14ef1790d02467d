#include "installer/zip_crypt_reader.h"

// crypt.h holds minizip's traditional PKWARE cipher as static functions; it
// still uses the `register` keyword, which C++17 no longer accepts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wregister"
#include <minizip/crypt.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kInputSize = 64 * 1024;
constexpr uint16_t kFlagDataDescriptor = 0x0008;

}  // namespace

ZipCryptReader::ZipCryptReader(unzFile zip, const EntryFacts& facts) : zip_(zip), facts_(facts) {
  std::memset(&stream_, 0, sizeof(stream_));
}

ZipCryptReader::~ZipCryptReader() {
  if (inflating_) inflateEnd(&stream_);
}

ArchiveResult ZipCryptReader::Start(const std::string& password) {
  const z_crc_t* table = get_crc_table();
  init_keys(password.c_str(), keys_, table);

  uint8_t header[kHeaderSize];
  uint32_t got = 0;
  while (got < kHeaderSize) {
    int n = unzReadCurrentFile(zip_, header + got, kHeaderSize - got);
    if (n < 0) return kArchiveInflateFailed;
    if (n == 0) return kArchiveCorrupt;  // the entry is too short to be encrypted
    got += static_cast<uint32_t>(n);
  }
  for (uint8_t& c : header) zdecode(keys_, table, c);
  uint32_t check = (facts_.flags & kFlagDataDescriptor) ? (facts_.dos_date_time >> 8) & 0xFF
                                                         : (facts_.crc >> 24) & 0xFF;
  if (header[kHeaderSize - 1] != check) return kArchiveWrongPassword;

  if (facts_.method == Z_DEFLATED) {
    // Raw deflate data, without a zlib header.
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) return kArchiveInflateFailed;
    inflating_ = true;
  }
  input_.reset(new uint8_t[kInputSize]);
  return kArchiveOk;
}

bool ZipCryptReader::Refill() {
  int got = unzReadCurrentFile(zip_, input_.get(), kInputSize);
  if (got < 0) failed_ = true;
  if (got <= 0) return false;
  const z_crc_t* table = get_crc_table();
  for (int i = 0; i < got; ++i) zdecode(keys_, table, input_[i]);
  input_length_ = static_cast<uint32_t>(got);
  input_at_ = 0;
  return true;
}

int ZipCryptReader::Read(uint8_t* out, uint32_t size) {
  if (failed_ || !input_) return UNZ_ERRNO;
  // Never more than the entry declares, like minizip's own reader.
  size = static_cast<uint32_t>(std::min<uint64_t>(size, facts_.uncompressed_size - produced_));
  size = std::min<uint32_t>(size, 1u << 30);
  uint32_t done = 0;
  if (!inflating_) {
    while (done < size) {
      if (input_at_ == input_length_ && !Refill()) break;
      uint32_t take = std::min(size - done, input_length_ - input_at_);
      std::memcpy(out + done, input_.get() + input_at_, take);
      input_at_ += take;
      done += take;
    }
  } else {
    stream_.next_out = out;
    stream_.avail_out = size;
    while (stream_.avail_out > 0) {
      if (stream_.avail_in == 0) {
        if (!Refill()) break;
        stream_.next_in = input_.get();
        stream_.avail_in = input_length_;
      }
      int result = inflate(&stream_, Z_SYNC_FLUSH);
      if (result == Z_STREAM_END) break;
      if (result != Z_OK) {
        // Garbage, which is also what a wrong password that slipped past
        // the check byte produces.
        failed_ = true;
        break;
      }
    }
    done = size - stream_.avail_out;
  }
  if (failed_) return Z_DATA_ERROR;
  crc_ = static_cast<uint32_t>(crc32(crc_, out, done));
  produced_ += done;
  return static_cast<int>(done);
}
