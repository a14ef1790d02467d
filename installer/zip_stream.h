// The bytes of one zip archive as minizip reads them: a Win32 file handle or
// a block of memory behind minizip's `zlib_filefunc64_def` callbacks.
//
// minizip seeks before every read it makes (each 16 KiB refill of entry data,
// each central-directory record), and reads headers a few bytes at a time. On
// a file each of those would be a system call, so a file stream serves reads
// from two read-ahead windows: one usually settles on the central directory
// while the other streams through the entry data, so walking the directory and
// extracting entries in turn does not throw either window away. Seeks only
// move the logical position. A memory stream reads in place; the memory must
// outlive the stream.
//
// The stream does not own the file handle. Threads: like the archive handle
// that owns it, a stream is used by one thread at a time.
#pragma once

#include <windows.h>

#include <minizip/ioapi.h>

#include <cstdint>
#include <memory>

class ZipStream {
 public:
  // A stream over a seekable file handle, from offset 0 to the file's size at
  // this moment. Check ok(): false when the size cannot be read.
  explicit ZipStream(HANDLE file);
  // A stream over `length` bytes at `memory`.
  ZipStream(const void* memory, uint64_t length);
  ZipStream(const ZipStream&) = delete;
  ZipStream& operator=(const ZipStream&) = delete;

  bool ok() const { return ok_; }

  // Fills `functions` so that minizip reads this stream; pass the stream
  // itself as the "file name" of unzOpen2_64 (it is ignored).
  void FillFunctions(zlib_filefunc64_def* functions);

 private:
  struct Window {
    std::unique_ptr<uint8_t[]> bytes;
    uint64_t start = 0;
    uint32_t length = 0;
    uint64_t last_use = 0;  // for choosing which window to refill
  };

  // minizip's callbacks; `opaque` is the stream.
  static voidpf ZCALLBACK Open(voidpf opaque, const void* name, int mode);
  static uLong ZCALLBACK Read(voidpf opaque, voidpf stream, void* buffer, uLong size);
  static uLong ZCALLBACK Write(voidpf opaque, voidpf stream, const void* buffer, uLong size);
  static ZPOS64_T ZCALLBACK Tell(voidpf opaque, voidpf stream);
  static long ZCALLBACK Seek(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
  static int ZCALLBACK Close(voidpf opaque, voidpf stream);
  static int ZCALLBACK TestError(voidpf opaque, voidpf stream);

  uint32_t ReadAt(void* buffer, uint32_t size);
  // Reads from the file at `offset`, without moving any shared file pointer
  // state of ours. Returns the number of bytes read; sets error_ on failure.
  uint32_t ReadFileAt(uint64_t offset, void* buffer, uint32_t size);

  HANDLE file_ = INVALID_HANDLE_VALUE;
  const uint8_t* memory_ = nullptr;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  uint64_t clock_ = 0;
  bool ok_ = false;
  bool error_ = false;
  Window windows_[2];
};
