#include "tests/installer/resources/memory_zip.h"

#include <minizip/unzip.h>

#include <cstring>
#include <utility>

namespace test {
namespace {

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  auto* cursor = static_cast<MemoryZip::Cursor*>(opaque);
  cursor->position = 0;
  return cursor;
}

uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* cursor = static_cast<MemoryZip::Cursor*>(stream);
  unsigned long long left = cursor->bytes->size() - cursor->position;
  uLong count = size < left ? size : static_cast<uLong>(left);
  std::memcpy(buffer, cursor->bytes->data() + cursor->position, count);
  cursor->position += count;
  return count;
}

uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) { return static_cast<MemoryZip::Cursor*>(stream)->position; }

long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* cursor = static_cast<MemoryZip::Cursor*>(stream);
  unsigned long long base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = cursor->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = cursor->bytes->size(); break;
    default: return -1;
  }
  if (base + offset > cursor->bytes->size()) return -1;
  cursor->position = base + offset;
  return 0;
}

int ZCALLBACK MemoryClose(voidpf, voidpf) { return 0; }
int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

}  // namespace

MemoryZip::MemoryZip(std::string bytes) : bytes_(std::move(bytes)), cursor_{&bytes_, 0} {
  zlib_filefunc64_def functions = {};
  functions.zopen64_file = MemoryOpen;
  functions.zread_file = MemoryRead;
  functions.zwrite_file = MemoryWrite;
  functions.ztell64_file = MemoryTell;
  functions.zseek64_file = MemorySeek;
  functions.zclose_file = MemoryClose;
  functions.zerror_file = MemoryError;
  functions.opaque = &cursor_;
  archive_ = unzOpen2_64("memory", &functions);
}

MemoryZip::~MemoryZip() {
  if (archive_) unzClose(archive_);
}

std::vector<std::string> MemoryZip::Names() const {
  std::vector<std::string> names;
  if (!archive_) return names;
  for (int status = unzGoToFirstFile(archive_); status == UNZ_OK; status = unzGoToNextFile(archive_)) {
    char name[512];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(archive_, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) break;
    names.push_back(name);
  }
  return names;
}

bool MemoryZip::Read(const std::string& name, std::string* data) const {
  data->clear();
  if (!archive_ || unzLocateFile(archive_, name.c_str(), 1) != UNZ_OK) return false;
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(archive_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  if (unzOpenCurrentFile(archive_) != UNZ_OK) return false;
  data->resize(static_cast<size_t>(info.uncompressed_size));
  int read = data->empty() ? 0 : unzReadCurrentFile(archive_, &(*data)[0], static_cast<unsigned>(data->size()));
  // Closing reports a CRC mismatch once the whole entry has been read.
  int closed = unzCloseCurrentFile(archive_);
  return read == static_cast<int>(data->size()) && closed == UNZ_OK;
}

}  // namespace test
