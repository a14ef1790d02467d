// Test program: records how it was started. Its first argument is the path of
// a marker file; it writes there, in UTF-8, its working folder, its argument
// count and each further argument on a line of its own:
//   cwd=<folder>
//   argc=<count of the arguments after the marker path>
//   arg=<argument>   (one line per argument)
// The file is written under a temporary name and then renamed, so a test that
// sees the marker always sees all of it.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], size, nullptr, nullptr);
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 2) return 2;
  std::wstring marker = arguments[1];

  wchar_t folder[4096] = {};
  GetCurrentDirectoryW(4096, folder);
  std::string text = "cwd=" + Utf8(folder) + "\n";
  text += "argc=" + std::to_string(count - 2) + "\n";
  for (int i = 2; i < count; ++i) text += "arg=" + Utf8(arguments[i]) + "\n";
  LocalFree(arguments);

  std::wstring partial = marker + L".partial";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
