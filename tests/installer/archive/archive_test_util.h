// Helpers shared by the archive layer's tests.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "installer/zip_archive.h"

namespace test {

struct ArchiveCloser {
  void operator()(ArchiveHandle* handle) const { CloseArchive(handle); }
};
using ScopedArchive = std::unique_ptr<ArchiveHandle, ArchiveCloser>;

inline ScopedArchive OpenMemoryArchive(const std::string& zip, const char* password = nullptr) {
  return ScopedArchive(OpenArchive(zip.data(), static_cast<uint32_t>(zip.size()), kArchiveKindMemory, password));
}

// Reads entry `index` into memory `chunk` bytes per call, the way a caller
// continues after kArchiveMore. `result` receives the final code; `calls`
// the number of calls made. Gives up after a bounded number of calls.
inline std::string ReadEntry(ArchiveHandle* archive, int32_t index, size_t chunk, ArchiveResult* result,
                             int* calls = nullptr) {
  std::string out;
  std::vector<char> buffer(chunk);
  int made = 0;
  ArchiveResult code;
  do {
    code = ExtractEntry(archive, index, buffer.data(), static_cast<uint32_t>(chunk), kArchiveKindMemory);
    ++made;
    if (code == kArchiveOk || code == kArchiveMore) {
      // The last call's length is not reported; the entry's size tells it.
      out.append(buffer.data(), chunk);
    }
  } while (code == kArchiveMore && made < 100000);
  if (result) *result = code;
  if (calls) *calls = made;
  if (code == kArchiveOk) {
    ArchiveEntry entry;
    if (GetEntry(archive, index, &entry) == kArchiveOk && out.size() > entry.uncompressed_size) {
      out.resize(entry.uncompressed_size);
    }
  }
  return out;
}

// Every file below `folder` (which ends with "\"), as paths relative to it.
inline void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>* out) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder + name + L"\\", prefix + name + L"\\", out);
    } else {
      out->push_back(prefix + name);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

inline uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline uint64_t UnixToFileTimeValue(int64_t seconds) {
  return static_cast<uint64_t>(seconds * 10000000 + 116444736000000000LL);
}

}  // namespace test
