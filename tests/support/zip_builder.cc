#include "tests/support/zip_builder.h"

#include <zlib.h>

#include <cstring>

namespace test {
namespace {

void Put16(std::string* out, uint32_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// The CRC-32 table of the traditional PKWARE cipher, computed here rather
// than taken from zlib or minizip, so the writer checks the reader.
struct CipherCrcTable {
  CipherCrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
  }
  uint32_t entries[256];
};

// Traditional PKWARE encryption ("ZipCrypto").
class ZipCipher {
 public:
  explicit ZipCipher(const std::string& password) {
    for (char c : password) Update(static_cast<uint8_t>(c));
  }

  uint8_t Encrypt(uint8_t plain) {
    uint32_t temp = (keys_[2] & 0xFFFF) | 2;
    uint8_t cipher = static_cast<uint8_t>(plain ^ (((temp * (temp ^ 1)) >> 8) & 0xFF));
    Update(plain);
    return cipher;
  }

 private:
  static uint32_t Crc(uint32_t crc, uint8_t byte) {
    static const CipherCrcTable table;
    return table.entries[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  }

  void Update(uint8_t plain) {
    keys_[0] = Crc(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = Crc(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
  }

  uint32_t keys_[3] = {305419896u, 591751049u, 878082192u};
};

std::string Deflate(const std::string& data, int level) {
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::string();
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

std::string UnixTimeBlock(const ZipEntryOptions& options, bool central) {
  if (!options.unix_time_flags) return std::string();
  std::string body(1, static_cast<char>(options.unix_time_flags));
  const int32_t times[] = {options.unix_mtime, options.unix_atime, options.unix_ctime};
  for (int bit = 0; bit < 3; ++bit) {
    if (!(options.unix_time_flags & (1 << bit))) continue;
    Put32(&body, static_cast<uint32_t>(times[bit]));
    if (central && !options.unix_times_in_directory) break;  // Info-ZIP keeps only the first one there.
  }
  std::string block;
  Put16(&block, 0x5455);
  Put16(&block, static_cast<uint32_t>(body.size()));
  return block + body;
}

}  // namespace

uint32_t ZipCrc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

ZipBuilder& ZipBuilder::AddFile(std::string name, std::string data, ZipEntryOptions options) {
  if (options.default_attributes) {
    options.external_attributes = options.host == kZipHostDos ? 0x20 : ZipUnixMode(0100644);
  }
  entries_.push_back({std::move(name), std::move(data), std::move(options), false});
  return *this;
}

ZipBuilder& ZipBuilder::AddDirectory(std::string name, ZipEntryOptions options) {
  if (options.default_attributes) {
    options.external_attributes = options.host == kZipHostDos ? 0x10 : ZipUnixMode(040755);
  }
  options.deflate = false;
  entries_.push_back({std::move(name), std::string(), std::move(options), true});
  return *this;
}

std::string ZipBuilder::Build(std::vector<size_t>* local_header_offsets) const {
  std::string archive;
  std::string directory;
  if (local_header_offsets) local_header_offsets->clear();
  uint32_t seed = 12345;
  for (const Entry& entry : entries_) {
    const ZipEntryOptions& o = entry.options;
    uint32_t crc = ZipCrc32(entry.data);
    std::string payload = o.deflate ? Deflate(entry.data, o.level) : entry.data;
    uint16_t flags = 0;
    if (!o.password.empty()) {
      flags |= 0x0001;
      // Eleven arbitrary bytes and the check byte: the CRC's high byte, or the
      // DOS time's high byte when a data descriptor carries the CRC.
      uint8_t header[12];
      for (int i = 0; i < 11; ++i) {
        seed = seed * 1103515245u + 12345u;
        header[i] = static_cast<uint8_t>(seed >> 16);
      }
      header[11] = o.data_descriptor ? static_cast<uint8_t>(o.dos_time >> 8) : static_cast<uint8_t>(crc >> 24);
      ZipCipher cipher(o.password);
      std::string encrypted;
      encrypted.reserve(payload.size() + 12);
      for (uint8_t byte : header) encrypted.push_back(static_cast<char>(cipher.Encrypt(byte)));
      for (char byte : payload) encrypted.push_back(static_cast<char>(cipher.Encrypt(static_cast<uint8_t>(byte))));
      payload.swap(encrypted);
    }
    if (o.data_descriptor) flags |= 0x0008;
    uint16_t method = o.deflate ? 8 : 0;
    uint32_t offset = static_cast<uint32_t>(archive.size());
    if (local_header_offsets) local_header_offsets->push_back(offset);

    std::string local_extra = UnixTimeBlock(o, false);
    Put32(&archive, 0x04034b50);
    Put16(&archive, 20);
    Put16(&archive, flags);
    Put16(&archive, method);
    Put16(&archive, o.dos_time);
    Put16(&archive, o.dos_date);
    Put32(&archive, o.data_descriptor ? 0 : crc);
    Put32(&archive, o.data_descriptor ? 0 : static_cast<uint32_t>(payload.size()));
    Put32(&archive, o.data_descriptor ? 0 : static_cast<uint32_t>(entry.data.size()));
    Put16(&archive, static_cast<uint32_t>(entry.name.size()));
    Put16(&archive, static_cast<uint32_t>(local_extra.size()));
    archive += entry.name;
    archive += local_extra;
    archive += payload;
    if (o.data_descriptor) {
      Put32(&archive, 0x08074b50);
      Put32(&archive, crc);
      Put32(&archive, static_cast<uint32_t>(payload.size()));
      Put32(&archive, static_cast<uint32_t>(entry.data.size()));
    }

    std::string central_extra = UnixTimeBlock(o, true);
    Put32(&directory, 0x02014b50);
    Put16(&directory, (static_cast<uint32_t>(o.host) << 8) | 30);
    Put16(&directory, 20);
    Put16(&directory, flags);
    Put16(&directory, method);
    Put16(&directory, o.dos_time);
    Put16(&directory, o.dos_date);
    Put32(&directory, crc);
    Put32(&directory, static_cast<uint32_t>(payload.size()));
    Put32(&directory, static_cast<uint32_t>(entry.data.size()));
    Put16(&directory, static_cast<uint32_t>(entry.name.size()));
    Put16(&directory, static_cast<uint32_t>(central_extra.size()));
    Put16(&directory, 0);  // comment
    Put16(&directory, 0);  // disk
    Put16(&directory, 0);  // internal attributes
    Put32(&directory, o.external_attributes);
    Put32(&directory, offset);
    directory += entry.name;
    directory += central_extra;
  }

  uint32_t directory_offset = static_cast<uint32_t>(archive.size());
  archive += directory;
  Put32(&archive, 0x06054b50);
  Put16(&archive, 0);
  Put16(&archive, 0);
  Put16(&archive, static_cast<uint32_t>(entries_.size()));
  Put16(&archive, static_cast<uint32_t>(entries_.size()));
  Put32(&archive, static_cast<uint32_t>(directory.size()));
  Put32(&archive, directory_offset);
  Put16(&archive, 0);
  return archive;
}

}  // namespace test
