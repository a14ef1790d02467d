// Test program: reports what the installer's system queries answer in this
// process, for tests that set Wine's per-program Windows version. Usage:
//   os_probe <output file> [<marker file> <folder>]
// It writes "code=<OsVersionCode>\nname=<OsName>\n". With a marker file it
// also starts marker_writer (from its own folder) with LaunchAsDesktopUser,
// recording into the marker file with the argument "probe" and working in
// <folder>, and adds "launched=<0 or 1>\n".
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "installer/os_info.h"
#include "installer/path_util.h"
#include "installer/process_launch.h"
#include "installer/text_util.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 2) return 2;
  std::wstring output = arguments[1];
  std::string text = FormatNarrow("code=%d\nname=%s\n", OsVersionCode(), OsName().c_str());
  if (count >= 4) {
    std::wstring command = L"\"" + ModuleFolder() + L"marker_writer.exe\" \"" + arguments[2] + L"\" probe";
    bool launched = LaunchAsDesktopUser(command, arguments[3]);
    text += FormatNarrow("launched=%d\n", launched ? 1 : 0);
  }
  LocalFree(arguments);
  HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
