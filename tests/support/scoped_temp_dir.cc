#include "tests/support/scoped_temp_dir.h"

#include <windows.h>

#include <atomic>

namespace test {

ScopedTempDir::ScopedTempDir() {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  for (;;) {
    std::wstring candidate = std::wstring(temp) + L"itest-" + std::to_wstring(GetCurrentProcessId()) +
                             L"-" + std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate + L"\\";
      return;
    }
  }
}

ScopedTempDir::~ScopedTempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
  std::wstring trimmed = path;
  while (!trimmed.empty() && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
  DWORD attributes = GetFileAttributesW(trimmed.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(trimmed.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(trimmed.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((trimmed + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") RemoveTree(trimmed + L"\\" + name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(trimmed.c_str());
}

}  // namespace test
