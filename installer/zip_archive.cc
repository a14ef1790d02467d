#include "installer/zip_archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <vector>

#include "installer/zip_crypt_reader.h"
#include "installer/zip_entry_name.h"
#include "installer/zip_stream.h"

namespace {

std::atomic<ArchiveResult> g_last_result{kArchiveOk};

ArchiveResult Remember(ArchiveResult result) {
  // Relaxed: the value is informative only; the atomic keeps concurrent
  // handles on two threads from racing on it.
  g_last_result.store(result, std::memory_order_relaxed);
  return result;
}

// Marks live handles, so a pointer that is not one of ours (or one already
// closed, while its memory is still around) is refused instead of used.
constexpr uint32_t kHandleTag = 0x52504958;  // "XIPR"

// Blocks handed to WriteFile. The historical 16 KiB cost one write system
// call per 16 KiB; a quarter megabyte keeps large entries cheap.
constexpr uint32_t kCopyBufferSize = 256 * 1024;

// Largest single read handed to minizip, whose read returns an int.
constexpr uint32_t kMaxReadChunk = 1u << 30;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kExtraUnixTime = 0x5455;  // "UT"

constexpr uint32_t kCreatableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

// Creates `path` and its missing parents. Iterative, so a long path of many
// levels cannot exhaust the stack. True when the folder exists at the end.
bool MakeFolders(const std::wstring& folder) {
  std::wstring path = WithoutTrailingSeparators(folder);
  if (path.empty()) return false;
  std::vector<size_t> missing;  // lengths of prefixes still to create, deepest first
  size_t end = path.size();
  for (;;) {
    std::wstring part = path.substr(0, end);
    if (CreateDirectoryW(part.c_str(), nullptr)) break;
    DWORD error = GetLastError();
    if (error != ERROR_PATH_NOT_FOUND) {
      // Already there (or, like "C:", not creatable but present).
      if (IsFolder(part)) break;
      return false;
    }
    missing.push_back(end);
    size_t cut = path.find_last_of(L"\\/", end - 1);
    if (cut == std::wstring::npos) return false;
    end = cut;
    while (end > 0 && IsSeparator(path[end - 1])) --end;
    if (end == 0) return false;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    std::wstring part = path.substr(0, *it);
    if (!CreateDirectoryW(part.c_str(), nullptr) && !IsFolder(part)) return false;
  }
  return true;
}

bool IsAbsolute(const std::wstring& path) {
  return (!path.empty() && IsSeparator(path[0])) || (path.size() >= 2 && path[1] == L':');
}

// The entry's external attributes as Windows attribute bits. Hosts 0 (FAT),
// 7, 11 (NTFS) and 14 (VFAT) store DOS attribute bits in the low byte; the
// others, Unix first of all, store a file mode in the high half.
uint32_t MapAttributes(uint32_t host, uint32_t external) {
  switch (host) {
    case 0:
    case 7:
    case 11:
    case 14:
      return external & kArchiveAttributeMask;
    default: {
      uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE;
      if (external & 0x40000000u) attributes |= FILE_ATTRIBUTE_DIRECTORY;  // S_IFDIR << 16
      if (!(external & 0x00800000u)) attributes |= FILE_ATTRIBUTE_READONLY;  // no S_IWUSR << 16
      return attributes;
    }
  }
}

// DOS date and time are local time; the result is UTC, converted with the
// time-zone rules of that date (so a summer date uses the summer offset).
FILETIME DosTimeToUtc(uint32_t dos_date_time) {
  FILETIME local = {};
  FILETIME utc = {};
  if (!DosDateTimeToFileTime(static_cast<WORD>(dos_date_time >> 16),
                             static_cast<WORD>(dos_date_time & 0xFFFF), &local)) {
    return utc;
  }
  SYSTEMTIME local_time;
  SYSTEMTIME utc_time;
  if (FileTimeToSystemTime(&local, &local_time) &&
      TzSpecificLocalTimeToSystemTime(nullptr, &local_time, &utc_time) &&
      SystemTimeToFileTime(&utc_time, &utc)) {
    return utc;
  }
  if (!LocalFileTimeToFileTime(&local, &utc)) utc = FILETIME{};
  return utc;
}

FILETIME UnixTimeToFileTime(int32_t seconds) {
  int64_t ticks = static_cast<int64_t>(seconds) * 10000000 + 116444736000000000LL;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return time;
}

uint16_t ReadLittle16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

int32_t ReadLittle32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

// Takes the times of a "UT" block in `extra` (modification, access and
// creation, as its flag bits 0, 1 and 2 announce them). The central
// directory's copy of the block usually carries the modification time only,
// whatever its flags say, so a time is taken only when its bytes are there.
void ApplyUnixTimes(const uint8_t* extra, size_t size, ArchiveEntry* entry) {
  size_t at = 0;
  while (at + 4 <= size) {
    uint16_t id = ReadLittle16(extra + at);
    size_t length = ReadLittle16(extra + at + 2);
    const uint8_t* data = extra + at + 4;
    if (at + 4 + length > size) return;
    if (id == kExtraUnixTime && length >= 1) {
      uint8_t flags = data[0];
      size_t offset = 1;
      FILETIME* targets[] = {&entry->write_time, &entry->access_time, &entry->creation_time};
      for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1 << bit))) continue;
        if (offset + 4 > length) break;
        *targets[bit] = UnixTimeToFileTime(ReadLittle32(data + offset));
        offset += 4;
      }
    }
    at += 4 + length;
  }
}

bool IsZeroTime(const FILETIME& time) { return time.dwLowDateTime == 0 && time.dwHighDateTime == 0; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string ToUtf8(const wchar_t* text) {
  int length = static_cast<int>(wcslen(text));
  if (length == 0) return std::string();
  int count = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return std::string();
  std::string out(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], count, nullptr, nullptr);
  return out;
}

bool WriteAll(HANDLE file, const uint8_t* data, uint32_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

// One open archive. The central directory is read once, lazily and in order:
// each entry's record (position, stored name, description) is kept, so
// describing, finding and moving to an entry never parse the directory again,
// and the engine's loop over all entries costs one pass instead of one pass
// per entry. An entry whose directory record cannot be read ends the pass
// there; the entries before it stay usable.
class ArchiveHandle {
 public:
  ArchiveHandle() = default;
  ~ArchiveHandle() { Close(); }
  ArchiveHandle(const ArchiveHandle&) = delete;
  ArchiveHandle& operator=(const ArchiveHandle&) = delete;

  bool valid() const { return tag_ == kHandleTag; }
  int32_t count() const { return count_; }

  ArchiveResult Open(const void* source, uint32_t length, uint32_t kind, const char* password);
  ArchiveResult Describe(int32_t index, ArchiveEntry* entry);
  ArchiveResult Find(const wchar_t* name, int32_t* index, ArchiveEntry* entry);
  ArchiveResult ExtractToFileName(int32_t index, const wchar_t* destination);
  ArchiveResult ExtractToHandle(int32_t index, HANDLE destination);
  ArchiveResult ExtractToMemory(int32_t index, uint8_t* destination, uint32_t length);
  void Close();

 private:
  struct Record {
    unz64_file_pos position = {};
    std::string stored_name;
    ArchiveResult described = kArchiveOk;  // why the entry cannot be described, if so
    ArchiveEntry entry;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t dos_date_time = 0;
    uint64_t uncompressed_size = 0;
  };

  // Makes sure records_ covers `index` (which is below count_).
  ArchiveResult Reach(int32_t index);
  ArchiveResult ReadCurrentRecord(Record* record);
  // Makes `index` minizip's current entry.
  ArchiveResult MoveTo(int32_t index);
  // Opens entry `index` for reading (closing any other), checking the
  // password first when the entry is encrypted.
  ArchiveResult OpenEntry(int32_t index);
  // Reads the open entry like unzReadCurrentFile: bytes produced, 0 when no
  // more come, negative on an error.
  int ReadOpenEntry(uint8_t* out, uint32_t size);
  // All of the open entry's declared bytes have been produced.
  bool OpenEntryAtEnd();
  // Closes the entry being read, if any, without looking at its CRC.
  void CloseEntry();
  // Closes the entry whose data has been read to its end: CRC check.
  ArchiveResult FinishEntry();
  // Streams the open entry into `file`, then sets the file's times.
  ArchiveResult CopyOpenEntryTo(HANDLE file, ArchiveEntry* entry);

  uint32_t tag_ = kHandleTag;
  unzFile zip_ = nullptr;
  UniqueHandle own_file_;
  std::unique_ptr<ZipStream> stream_;
  std::wstring base_folder_;
  std::string password_;
  int32_t count_ = 0;
  int32_t current_ = -1;     // minizip's current entry, -1 when unknown
  int32_t open_entry_ = -1;  // the entry open for reading, -1 when none
  std::unique_ptr<ZipCryptReader> crypt_;  // reads open_entry_ when it is encrypted
  std::vector<Record> records_;
  std::vector<char> name_buffer_ = std::vector<char>(1024);
  std::vector<char> extra_buffer_ = std::vector<char>(1024);
  std::unique_ptr<uint8_t[]> copy_buffer_;
  std::wstring last_folder_;  // the folder most recently made for a file
};

ArchiveResult ArchiveHandle::Open(const void* source, uint32_t length, uint32_t kind,
                                  const char* password) {
  if (zip_) return kArchiveAlreadyOpen;
  if (!source) return kArchiveBadArgument;

  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(needed, L'\0');
  DWORD got = needed ? GetCurrentDirectoryW(needed, &folder[0]) : 0;
  folder.resize(got < needed ? got : 0);
  if (!folder.empty() && !IsSeparator(folder.back())) folder += L'\\';
  base_folder_ = folder;
  password_ = password ? password : "";

  switch (kind) {
    case kArchiveKindHandle: {
      HANDLE file = const_cast<void*>(source);
      if (file == INVALID_HANDLE_VALUE) return kArchiveBadArgument;
      SetLastError(NO_ERROR);
      if ((SetFilePointer(file, 0, nullptr, FILE_CURRENT) == INVALID_SET_FILE_POINTER &&
           GetLastError() != NO_ERROR) ||
          GetFileType(file) != FILE_TYPE_DISK) {
        return kArchiveCannotSeek;
      }
      stream_.reset(new ZipStream(file));
      break;
    }
    case kArchiveKindFileName: {
      HANDLE file = CreateFileW(static_cast<const wchar_t*>(source), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) return kArchiveOpenFailed;
      own_file_.reset(file);
      stream_.reset(new ZipStream(file));
      break;
    }
    case kArchiveKindMemory:
      stream_.reset(new ZipStream(source, length));
      break;
    default:
      return kArchiveBadArgument;
  }
  if (!stream_->ok()) return kArchiveOpenFailed;

  zlib_filefunc64_def functions;
  stream_->FillFunctions(&functions);
  zip_ = unzOpen2_64(stream_.get(), &functions);
  if (!zip_) return kArchiveOpenFailed;
  unz_global_info64 info;
  if (unzGetGlobalInfo64(zip_, &info) != UNZ_OK) return kArchiveOpenFailed;
  count_ = static_cast<int32_t>(std::min<ZPOS64_T>(info.number_entry, INT32_MAX));
  current_ = -1;
  return kArchiveOk;
}

void ArchiveHandle::Close() {
  CloseEntry();
  if (zip_) unzClose(zip_);
  zip_ = nullptr;
  stream_.reset();
  own_file_.reset();
  records_.clear();
  tag_ = 0;
}

ArchiveResult ArchiveHandle::ReadCurrentRecord(Record* record) {
  if (unzGetFilePos64(zip_, &record->position) != UNZ_OK) return kArchiveReadFailed;
  unz_file_info64 info;
  for (;;) {
    if (unzGetCurrentFileInfo64(zip_, &info, name_buffer_.data(), static_cast<uLong>(name_buffer_.size()),
                                extra_buffer_.data(), static_cast<uLong>(extra_buffer_.size()), nullptr,
                                0) != UNZ_OK) {
      return kArchiveReadFailed;
    }
    if (info.size_filename <= name_buffer_.size() && info.size_file_extra <= extra_buffer_.size()) break;
    name_buffer_.resize(std::max<size_t>(name_buffer_.size(), info.size_filename));
    extra_buffer_.resize(std::max<size_t>(extra_buffer_.size(), info.size_file_extra));
  }

  record->stored_name.assign(name_buffer_.data(), info.size_filename);
  record->flags = static_cast<uint16_t>(info.flag);
  record->method = static_cast<uint16_t>(info.compression_method);
  record->crc = static_cast<uint32_t>(info.crc);
  record->dos_date_time = static_cast<uint32_t>(info.dosDate);
  record->uncompressed_size = info.uncompressed_size;

  ArchiveEntry& entry = record->entry;
  std::wstring decoded = DecodeEntryName(record->stored_name.data(), record->stored_name.size());
  std::wstring name = SanitizeEntryName(decoded);
  if (name.size() > kMaxEntryNameLength) {
    // A cut name could alias another entry's file; refuse the entry instead.
    record->described = kArchiveCorrupt;
  } else {
    entry.name = name;
  }
  entry.attributes = MapAttributes(static_cast<uint32_t>(info.version >> 8),
                                   static_cast<uint32_t>(info.external_fa));
  // A name ending in a separator can only be a folder, whatever the
  // attributes say; extracting it as a file would fail anyway.
  if (!decoded.empty() && IsSeparator(decoded.back())) entry.attributes |= FILE_ATTRIBUTE_DIRECTORY;
  FILETIME time = DosTimeToUtc(record->dos_date_time);
  entry.access_time = entry.creation_time = entry.write_time = time;
  ApplyUnixTimes(reinterpret_cast<const uint8_t*>(extra_buffer_.data()), info.size_file_extra, &entry);
  entry.compressed_size = static_cast<uint32_t>(std::min<ZPOS64_T>(info.compressed_size, UINT32_MAX));
  entry.uncompressed_size = static_cast<uint32_t>(std::min<ZPOS64_T>(info.uncompressed_size, UINT32_MAX));
  return kArchiveOk;
}

ArchiveResult ArchiveHandle::Reach(int32_t index) {
  while (static_cast<int32_t>(records_.size()) <= index) {
    int32_t next = static_cast<int32_t>(records_.size());
    int error;
    if (next == 0) {
      error = unzGoToFirstFile(zip_);
    } else {
      error = UNZ_OK;
      if (current_ != next - 1) error = unzGoToFilePos64(zip_, &records_[next - 1].position);
      if (error == UNZ_OK) error = unzGoToNextFile(zip_);
    }
    if (error != UNZ_OK) {
      current_ = -1;
      return kArchiveReadFailed;
    }
    current_ = next;
    Record record;
    ArchiveResult result = ReadCurrentRecord(&record);
    if (result != kArchiveOk) {
      current_ = -1;
      return result;
    }
    record.entry.index = next;
    records_.push_back(std::move(record));
  }
  return kArchiveOk;
}

ArchiveResult ArchiveHandle::MoveTo(int32_t index) {
  ArchiveResult result = Reach(index);
  if (result != kArchiveOk) return result;
  if (current_ == index) return kArchiveOk;
  if (unzGoToFilePos64(zip_, &records_[index].position) != UNZ_OK) {
    current_ = -1;
    return kArchiveReadFailed;
  }
  current_ = index;
  return kArchiveOk;
}

ArchiveResult ArchiveHandle::Describe(int32_t index, ArchiveEntry* entry) {
  ArchiveResult result = Reach(index);
  if (result != kArchiveOk) {
    *entry = ArchiveEntry();
    return result;
  }
  *entry = records_[index].entry;
  return records_[index].described;
}

ArchiveResult ArchiveHandle::Find(const wchar_t* name, int32_t* index, ArchiveEntry* entry) {
  std::string wanted = ToUtf8(name);
  for (int32_t i = 0; i < count_; ++i) {
    ArchiveResult result = Reach(i);
    if (result != kArchiveOk) {
      *index = -1;
      *entry = ArchiveEntry();
      return result;
    }
    if (EqualsAsciiNoCase(records_[i].stored_name, wanted)) {
      *index = i;
      return Describe(i, entry);
    }
  }
  *index = -1;
  *entry = ArchiveEntry();
  return kArchiveNotFound;
}

ArchiveResult ArchiveHandle::OpenEntry(int32_t index) {
  CloseEntry();
  ArchiveResult result = MoveTo(index);
  if (result != kArchiveOk) return result;
  const Record& record = records_[index];
  if (record.described != kArchiveOk) return record.described;
  // minizip reads methods it cannot decode as if they were stored; only
  // stored and deflated data are real.
  if ((record.method != 0 && record.method != Z_DEFLATED) || (record.flags & kFlagStrongEncryption)) {
    return kArchiveInflateFailed;
  }
  const bool encrypted = (record.flags & kFlagEncrypted) != 0;
  // An encrypted entry is opened raw and decrypted by ZipCryptReader (this
  // minizip has no decryption); a password is never handed to minizip.
  int error = encrypted ? unzOpenCurrentFile2(zip_, nullptr, nullptr, 1) : unzOpenCurrentFile(zip_);
  if (error != UNZ_OK) {
    // A failure after minizip set up its reader leaves that reader open.
    unzCloseCurrentFile(zip_);
    return error == UNZ_BADZIPFILE ? kArchiveCorrupt : kArchiveInflateFailed;
  }
  open_entry_ = index;
  if (encrypted) {
    ZipCryptReader::EntryFacts facts;
    facts.method = record.method;
    facts.flags = record.flags;
    facts.crc = record.crc;
    facts.dos_date_time = record.dos_date_time;
    facts.uncompressed_size = record.uncompressed_size;
    crypt_.reset(new ZipCryptReader(zip_, facts));
    result = crypt_->Start(password_);
    if (result != kArchiveOk) {
      CloseEntry();
      return result;
    }
  }
  return kArchiveOk;
}

int ArchiveHandle::ReadOpenEntry(uint8_t* out, uint32_t size) {
  if (crypt_) return crypt_->Read(out, size);
  return unzReadCurrentFile(zip_, out, size);
}

bool ArchiveHandle::OpenEntryAtEnd() { return crypt_ ? crypt_->AtEnd() : unzeof(zip_) == 1; }

void ArchiveHandle::CloseEntry() {
  if (open_entry_ < 0) return;
  crypt_.reset();
  unzCloseCurrentFile(zip_);
  open_entry_ = -1;
}

ArchiveResult ArchiveHandle::FinishEntry() {
  // minizip checks the CRC of what it inflated (UNZ_CRCERROR); for a raw
  // entry it checks nothing, and the decrypting reader's own CRC decides.
  bool ok = crypt_ ? crypt_->AtEnd() && crypt_->CrcMatches() : true;
  crypt_.reset();
  int error = unzCloseCurrentFile(zip_);
  open_entry_ = -1;
  return ok && error == UNZ_OK ? kArchiveOk : kArchiveInflateFailed;
}

ArchiveResult ArchiveHandle::CopyOpenEntryTo(HANDLE file, ArchiveEntry* entry) {
  // The local header's "UT" block usually carries the access and creation
  // times that the central directory's copy leaves out.
  int extra_size = unzGetLocalExtrafield(zip_, nullptr, 0);
  if (extra_size > 0) {
    std::vector<uint8_t> extra(static_cast<size_t>(extra_size));
    if (unzGetLocalExtrafield(zip_, extra.data(), static_cast<unsigned>(extra_size)) == extra_size) {
      ApplyUnixTimes(extra.data(), extra.size(), entry);
    }
  }

  if (!copy_buffer_) copy_buffer_.reset(new uint8_t[kCopyBufferSize]);
  for (;;) {
    int got = ReadOpenEntry(copy_buffer_.get(), kCopyBufferSize);
    if (got < 0) {
      CloseEntry();
      return kArchiveInflateFailed;
    }
    if (got == 0) {
      // No data and not at the end: the stream stopped short.
      if (!OpenEntryAtEnd()) {
        CloseEntry();
        return kArchiveInflateFailed;
      }
      break;
    }
    if (!WriteAll(file, copy_buffer_.get(), static_cast<uint32_t>(got))) {
      CloseEntry();
      return kArchiveWriteFailed;
    }
  }
  ArchiveResult result = FinishEntry();
  if (result != kArchiveOk) return result;
  SetFileTime(file, IsZeroTime(entry->creation_time) ? nullptr : &entry->creation_time,
              IsZeroTime(entry->access_time) ? nullptr : &entry->access_time,
              IsZeroTime(entry->write_time) ? nullptr : &entry->write_time);
  return kArchiveOk;
}

ArchiveResult ArchiveHandle::ExtractToFileName(int32_t index, const wchar_t* destination) {
  CloseEntry();
  ArchiveEntry entry;
  ArchiveResult result = Describe(index, &entry);
  if (result != kArchiveOk) return result;

  std::wstring target = destination;
  if (!IsAbsolute(target)) target = base_folder_ + target;
  if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
    return MakeFolders(target) ? kArchiveOk : kArchiveOpenFailed;
  }

  size_t cut = target.find_last_of(L"\\/");
  std::wstring folder = cut == std::wstring::npos ? std::wstring() : WithoutTrailingSeparators(target.substr(0, cut));
  if (!folder.empty() && folder != last_folder_ && MakeFolders(folder)) last_folder_ = folder;

  // Open the entry first: a wrong password or a corrupt header then leaves
  // the destination untouched.
  result = OpenEntry(index);
  if (result != kArchiveOk) return result;

  DWORD attributes = entry.attributes & kCreatableAttributes;
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND && !folder.empty()) {
    // The folder made earlier is gone; make it again.
    last_folder_.clear();
    if (MakeFolders(folder)) {
      last_folder_ = folder;
      file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    CloseEntry();
    return kArchiveOpenFailed;
  }
  result = CopyOpenEntryTo(file, &entry);
  CloseHandle(file);
  if (result != kArchiveOk) {
    // A partial file would look extracted to whoever checks the folder next.
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target.c_str());
  }
  return result;
}

ArchiveResult ArchiveHandle::ExtractToHandle(int32_t index, HANDLE destination) {
  CloseEntry();
  ArchiveEntry entry;
  ArchiveResult result = Describe(index, &entry);
  if (result != kArchiveOk) return result;
  if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) return kArchiveOk;
  result = OpenEntry(index);
  if (result != kArchiveOk) return result;
  return CopyOpenEntryTo(destination, &entry);
}

ArchiveResult ArchiveHandle::ExtractToMemory(int32_t index, uint8_t* destination, uint32_t length) {
  if (open_entry_ != index) {
    ArchiveResult result = OpenEntry(index);
    if (result != kArchiveOk) return result;
  }
  uint32_t filled = 0;
  while (filled < length) {
    uint32_t chunk = std::min(length - filled, kMaxReadChunk);
    int got = ReadOpenEntry(destination + filled, chunk);
    if (got < 0) {
      CloseEntry();
      return kArchiveInflateFailed;
    }
    if (got == 0) break;
    filled += static_cast<uint32_t>(got);
  }
  if (OpenEntryAtEnd()) return FinishEntry();
  if (filled < length) {
    // Room was left, yet the data stopped before its end.
    CloseEntry();
    return kArchiveInflateFailed;
  }
  return kArchiveMore;
}

namespace {

// The common checks of every operation on a handle.
ArchiveResult CheckHandle(ArchiveHandle* handle) {
  if (!handle) return kArchiveBadArgument;
  if (!handle->valid()) return kArchiveNotReadingHandle;
  return kArchiveOk;
}

}  // namespace

ArchiveHandle* OpenArchive(const void* source, uint32_t length, uint32_t kind, const char* password) {
  std::unique_ptr<ArchiveHandle> handle(new ArchiveHandle());
  ArchiveResult result = Remember(handle->Open(source, length, kind, password));
  return result == kArchiveOk ? handle.release() : nullptr;
}

ArchiveResult GetEntry(ArchiveHandle* handle, int32_t index, ArchiveEntry* entry) {
  ArchiveResult result = CheckHandle(handle);
  if (result != kArchiveOk) return Remember(result);
  if (!entry) return Remember(kArchiveBadArgument);
  if (index == -1) {
    *entry = ArchiveEntry();
    entry->index = handle->count();
    return Remember(kArchiveOk);
  }
  if (index < 0 || index >= handle->count()) return Remember(kArchiveBadArgument);
  return Remember(handle->Describe(index, entry));
}

ArchiveResult FindEntry(ArchiveHandle* handle, const wchar_t* name, int32_t* index, ArchiveEntry* entry) {
  ArchiveResult result = CheckHandle(handle);
  if (result != kArchiveOk) return Remember(result);
  if (!name || !index || !entry) return Remember(kArchiveBadArgument);
  return Remember(handle->Find(name, index, entry));
}

ArchiveResult ExtractEntry(ArchiveHandle* handle, int32_t index, void* destination, uint32_t length,
                           uint32_t kind) {
  ArchiveResult result = CheckHandle(handle);
  if (result != kArchiveOk) return Remember(result);
  if (index < 0 || index >= handle->count() || !destination) return Remember(kArchiveBadArgument);
  switch (kind) {
    case kArchiveKindHandle:
      if (destination == INVALID_HANDLE_VALUE) return Remember(kArchiveBadArgument);
      return Remember(handle->ExtractToHandle(index, destination));
    case kArchiveKindFileName:
      return Remember(handle->ExtractToFileName(index, static_cast<const wchar_t*>(destination)));
    case kArchiveKindMemory:
      return Remember(handle->ExtractToMemory(index, static_cast<uint8_t*>(destination), length));
    default:
      return Remember(kArchiveBadArgument);
  }
}

ArchiveResult CloseArchive(ArchiveHandle* handle) {
  ArchiveResult result = CheckHandle(handle);
  if (result != kArchiveOk) return Remember(result);
  delete handle;
  return Remember(kArchiveOk);
}

ArchiveResult LastArchiveResult() { return g_last_result.load(std::memory_order_relaxed); }
