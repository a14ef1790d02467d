#include "tests/installer/utils/test_programs.h"

#include <windows.h>

#include "installer/path_util.h"
#include "tests/support/file_util.h"

namespace test {

std::wstring BesideTestProgram(const std::wstring& name) { return ModuleFolder() + name; }

bool WaitForFile(const std::wstring& path, unsigned timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (FileExists(path)) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
}

int RunAndWait(const std::wstring& command_line, unsigned timeout_ms) {
  std::wstring command = command_line;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  int result = -1;
  if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result = static_cast<int>(code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hProcess);
  return result;
}

Marker ReadMarker(const std::wstring& path) {
  Marker marker;
  bool ok = false;
  std::string text = ReadFileBytes(path, &ok);
  if (!ok) return marker;
  marker.found = true;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.rfind("cwd=", 0) == 0) marker.folder = Widen(line.substr(4));
    if (line.rfind("arg=", 0) == 0) marker.arguments.push_back(Widen(line.substr(4)));
    start = end + 1;
  }
  return marker;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

bool SameFolder(std::wstring a, std::wstring b) {
  if (!a.empty() && a.back() == L'\\') a.pop_back();
  if (!b.empty() && b.back() == L'\\') b.pop_back();
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

ScopedWineVersion::ScopedWineVersion(const wchar_t* program, const wchar_t* version)
    : key_path_(std::wstring(L"Software\\Wine\\AppDefaults\\") + program) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}

ScopedWineVersion::~ScopedWineVersion() {
  RegDeleteTreeW(HKEY_CURRENT_USER, key_path_.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, key_path_.c_str());
}

}  // namespace test
