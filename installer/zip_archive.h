// The archive layer: the installer reads zip archives only through these
// operations, over zlib's inflate and minizip's unzip reader.
//
// Two archives pass through it: the skin archive, opened from the program's
// own resource in memory and read file by file into memory blocks; and the
// downloaded package, opened from a file and extracted entry by entry into the
// install folder. Every operation returns a result code (0 is success) and
// stores it as the process-wide last result.
//
// Placement: `GetEntry` reports every entry under a sanitised name (see
// installer/zip_entry_name.h) that stays inside any folder it is appended to.
// `ExtractEntry` to a file name writes exactly where it is told: a relative
// destination is put under the base folder (the current directory when the
// archive was opened), an absolute one is used as it is.
//
// Integrity: every extraction checks the entry's CRC-32 when its data ends, and
// checks an encrypted entry's password against the check byte of its
// encryption header before any data is produced. A failed extraction to a file
// name removes the file it created, so a half-written file never looks like an
// extracted one.
//
// Threads: a handle is used by one thread at a time; different handles may be
// used on different threads at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "installer/zip_entry_name.h"

using ArchiveResult = uint32_t;

constexpr ArchiveResult kArchiveOk = 0;
// The source or destination file cannot be opened or created, or the data is
// not a zip archive.
constexpr ArchiveResult kArchiveOpenFailed = 0x200;
constexpr ArchiveResult kArchiveWriteFailed = 0x400;
constexpr ArchiveResult kArchiveNotFound = 0x500;
// Memory extraction: the buffer is full and data remains; call again with the
// same index for the rest.
constexpr ArchiveResult kArchiveMore = 0x600;
// The entry's local header is corrupt, or its name cannot be described.
constexpr ArchiveResult kArchiveCorrupt = 0x700;
// Reading the archive's directory failed.
constexpr ArchiveResult kArchiveReadFailed = 0x800;
constexpr ArchiveResult kArchiveWrongPassword = 0x1000;
// Null handle, index out of range, unknown kind, missing destination.
constexpr ArchiveResult kArchiveBadArgument = 0x10000;
constexpr ArchiveResult kArchiveNotReadingHandle = 0x80000;
constexpr ArchiveResult kArchiveAlreadyOpen = 0x1000000;
constexpr ArchiveResult kArchiveCannotSeek = 0x2000000;
// The entry's data cannot be decompressed, ends early, stalls, or fails its
// CRC check.
constexpr ArchiveResult kArchiveInflateFailed = 0x5000000;

// Kinds of sources (`OpenArchive`) and destinations (`ExtractEntry`).
constexpr uint32_t kArchiveKindHandle = 1;    // HANDLE (a seekable file)
constexpr uint32_t kArchiveKindFileName = 2;  // const wchar_t* / wchar_t*, NUL-terminated
constexpr uint32_t kArchiveKindMemory = 3;    // pointer and length

// Windows attribute bits an entry can carry.
constexpr uint32_t kArchiveAttributeMask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                           FILE_ATTRIBUTE_ARCHIVE;

// One open archive; opaque to callers.
class ArchiveHandle;

struct ArchiveEntry {
  // The entry's index; for a request with index -1, the number of entries.
  int32_t index = -1;
  // The stored name decoded as UTF-8 and sanitised, at most
  // kMaxEntryNameLength characters. A folder entry's name usually ends with
  // its separator. Can be empty (a name made only of climbs and roots).
  std::wstring name;
  // Windows attribute bits (kArchiveAttributeMask).
  uint32_t attributes = 0;
  // UTC; all zero when the entry's DOS date is not a valid date.
  FILETIME access_time = {};
  FILETIME creation_time = {};
  FILETIME write_time = {};
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
};

// Opens an archive. `kind` kArchiveKindHandle: `source` is a seekable HANDLE
// that stays the caller's (kept open by the caller until CloseArchive);
// kArchiveKindFileName: `source` is a file name; kArchiveKindMemory: `length`
// bytes at `source`, read in place (they must outlive the handle). `password`
// (may be null or empty) is used for every encrypted entry. Null on failure;
// LastArchiveResult() then holds the reason.
[[nodiscard]] ArchiveHandle* OpenArchive(const void* source, uint32_t length, uint32_t kind,
                                         const char* password);

// Describes entry `index` (0 to count - 1). Index -1 gives the number of
// entries in `entry->index` and an otherwise empty entry.
[[nodiscard]] ArchiveResult GetEntry(ArchiveHandle* handle, int32_t index, ArchiveEntry* entry);

// Finds the first entry whose stored name equals `name` (converted to UTF-8),
// ASCII letters compared case-insensitively and nothing else folded ('\' and
// '/' differ). Not found: kArchiveNotFound, *index -1 and an empty entry
// whose index is -1.
[[nodiscard]] ArchiveResult FindEntry(ArchiveHandle* handle, const wchar_t* name, int32_t* index,
                                      ArchiveEntry* entry);

// Extracts entry `index`. `kind` kArchiveKindFileName: `destination` is a
// wide file name (a folder entry creates that folder); missing folders are
// created; the file gets the entry's attributes and times. kArchiveKindHandle:
// `destination` is an open HANDLE written from its current position and left
// open (a folder entry writes nothing). kArchiveKindMemory: up to `length`
// bytes are copied to `destination`; kArchiveMore means the buffer is full and
// the next call with the same index continues where this one stopped.
[[nodiscard]] ArchiveResult ExtractEntry(ArchiveHandle* handle, int32_t index, void* destination,
                                         uint32_t length, uint32_t kind);

// Closes any entry being read, the archive and a file the layer opened itself,
// and frees the handle. kArchiveBadArgument for a null handle.
ArchiveResult CloseArchive(ArchiveHandle* handle);

// The result of the most recent archive operation in this process, whichever
// thread made it.
ArchiveResult LastArchiveResult();
