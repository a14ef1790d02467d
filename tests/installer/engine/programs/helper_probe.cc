// Test program: stands in for an integration helper. Every start appends its
// arguments, as one line, to "helper-calls.txt" beside itself.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring log = path;
  log = log.substr(0, log.find_last_of(L'\\') + 1) + L"helper-calls.txt";
  std::wstring line = std::wstring(arguments ? arguments : L"") + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], size, nullptr, nullptr);
  // Several starts may append at once: retry while another holds the file.
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
      CloseHandle(file);
      return 0;
    }
    Sleep(10);
  }
  return 1;
}
