#include "installer/zip_stream.h"

#include <algorithm>
#include <cstring>

namespace {

// Large enough that one system call serves many of minizip's 16 KiB refills,
// small enough that a window refilled for a single small header costs little.
constexpr uint32_t kWindowSize = 256 * 1024;

}  // namespace

ZipStream::ZipStream(HANDLE file) : file_(file) {
  LARGE_INTEGER size;
  if (file != INVALID_HANDLE_VALUE && file != nullptr && GetFileSizeEx(file, &size)) {
    size_ = static_cast<uint64_t>(size.QuadPart);
    ok_ = true;
  }
}

ZipStream::ZipStream(const void* memory, uint64_t length)
    : memory_(static_cast<const uint8_t*>(memory)), size_(length), ok_(memory != nullptr) {}

void ZipStream::FillFunctions(zlib_filefunc64_def* functions) {
  functions->zopen64_file = &ZipStream::Open;
  functions->zread_file = &ZipStream::Read;
  functions->zwrite_file = &ZipStream::Write;
  functions->ztell64_file = &ZipStream::Tell;
  functions->zseek64_file = &ZipStream::Seek;
  functions->zclose_file = &ZipStream::Close;
  functions->zerror_file = &ZipStream::TestError;
  functions->opaque = this;
}

voidpf ZCALLBACK ZipStream::Open(voidpf opaque, const void* /*name*/, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  auto* self = static_cast<ZipStream*>(opaque);
  self->position_ = 0;
  self->error_ = false;
  return self->ok_ ? self : nullptr;
}

uLong ZCALLBACK ZipStream::Read(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
  return static_cast<ZipStream*>(stream)->ReadAt(buffer, static_cast<uint32_t>(size));
}

uLong ZCALLBACK ZipStream::Write(voidpf /*opaque*/, voidpf stream, const void* /*buffer*/,
                                 uLong /*size*/) {
  // Archives are only ever read.
  static_cast<ZipStream*>(stream)->error_ = true;
  return 0;
}

ZPOS64_T ZCALLBACK ZipStream::Tell(voidpf /*opaque*/, voidpf stream) {
  return static_cast<ZipStream*>(stream)->position_;
}

long ZCALLBACK ZipStream::Seek(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
  auto* self = static_cast<ZipStream*>(stream);
  // minizip passes backward relative moves as negative numbers converted to
  // ZPOS64_T, so the sums below rely on unsigned wrap-around.
  uint64_t target;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      target = offset;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      target = self->position_ + offset;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      target = self->size_ + offset;
      break;
    default:
      return -1;
  }
  // Nothing valid lies beyond the end; a header that points there is corrupt.
  if (target > self->size_) return -1;
  self->position_ = target;
  return 0;
}

int ZCALLBACK ZipStream::Close(voidpf /*opaque*/, voidpf /*stream*/) {
  // The stream and any file handle belong to the archive handle.
  return 0;
}

int ZCALLBACK ZipStream::TestError(voidpf /*opaque*/, voidpf stream) {
  return static_cast<ZipStream*>(stream)->error_ ? 1 : 0;
}

uint32_t ZipStream::ReadAt(void* buffer, uint32_t size) {
  if (position_ >= size_) return 0;
  size = static_cast<uint32_t>(std::min<uint64_t>(size, size_ - position_));
  if (memory_) {
    std::memcpy(buffer, memory_ + position_, size);
    position_ += size;
    return size;
  }

  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < size) {
    Window* hit = nullptr;
    for (Window& window : windows_) {
      if (window.bytes && position_ >= window.start && position_ < window.start + window.length) {
        hit = &window;
        break;
      }
    }
    if (!hit) {
      uint32_t left = size - done;
      if (left >= kWindowSize) {
        // A large read gains nothing from a window: read it in place.
        uint32_t got = ReadFileAt(position_, out + done, left);
        position_ += got;
        done += got;
        break;
      }
      hit = windows_[0].last_use <= windows_[1].last_use ? &windows_[0] : &windows_[1];
      if (!hit->bytes) hit->bytes.reset(new uint8_t[kWindowSize]);
      hit->start = position_;
      hit->length = ReadFileAt(position_, hit->bytes.get(), kWindowSize);
      if (hit->length == 0) break;
    }
    hit->last_use = ++clock_;
    uint64_t offset = position_ - hit->start;
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(size - done, hit->length - offset));
    std::memcpy(out + done, hit->bytes.get() + offset, take);
    position_ += take;
    done += take;
  }
  return done;
}

uint32_t ZipStream::ReadFileAt(uint64_t offset, void* buffer, uint32_t size) {
  uint32_t done = 0;
  while (done < size) {
    // A positioned read: one system call instead of a seek and a read, and
    // correct whatever the caller's handle does with its own file pointer.
    OVERLAPPED at = {};
    uint64_t where = offset + done;
    at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD got = 0;
    if (!ReadFile(file_, static_cast<uint8_t*>(buffer) + done, size - done, &got, &at)) {
      DWORD error = GetLastError();
      // A handle opened for overlapped I/O completes later; wait for it.
      if (error != ERROR_IO_PENDING || !GetOverlappedResult(file_, &at, &got, TRUE)) {
        if (GetLastError() != ERROR_HANDLE_EOF) error_ = true;
        break;
      }
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}
