#include "installer/process_launch.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>

#include <vector>

#include "base/scoped_handle.h"
#include "installer/os_info.h"
#include "installer/scoped_ole.h"

namespace {

using CreateProcessWithTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                                     LPSTARTUPINFOW, LPPROCESS_INFORMATION);

constexpr int kWindowsXpCode = 1;

// GetProcAddress gives a generic function pointer; the caller names the exact
// type (with its calling convention) of the function it looks up.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  FARPROC address = module ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// CreateProcessW may write into the command line, so it gets a private,
// zero-terminated copy sized to the text itself.
std::vector<wchar_t> WritableCopy(const std::wstring& text) {
  std::vector<wchar_t> copy(text.begin(), text.end());
  copy.push_back(L'\0');
  return copy;
}

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

void CloseProcessHandles(const PROCESS_INFORMATION& process) {
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
}


}  // namespace

bool RunProcess(const std::wstring& command_line, const std::wstring& application, const std::wstring& folder) {
  std::vector<wchar_t> command = WritableCopy(command_line);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(OrNull(application), command.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                      OrNull(folder), &startup, &process)) {
    return false;
  }
  CloseProcessHandles(process);
  return true;
}

bool RegisterServer(const std::wstring& dll_path) {
  return RunProcess(L"regsvr32.exe /s \"" + dll_path + L"\"", std::wstring(), std::wstring());
}

bool LaunchAsDesktopUser(const std::wstring& command_line, const std::wstring& folder) {
  std::vector<wchar_t> command = WritableCopy(command_line);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};

  if (OsVersionCode() == kWindowsXpCode) {
    // Windows XP has no elevation: the installer already runs as the user.
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        OrNull(folder), &startup, &process)) {
      return false;
    }
    CloseProcessHandles(process);
    return true;
  }

  // The shell's desktop window belongs to the signed-in user's un-elevated
  // explorer; a primary copy of its token starts the program with those
  // rights.
  HWND shell_window = GetShellWindow();
  if (!shell_window) return false;
  DWORD shell_process_id = 0;
  GetWindowThreadProcessId(shell_window, &shell_process_id);
  if (shell_process_id == 0) return false;
  qbase::ScopedHandle shell_process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell_process_id));
  if (!shell_process.get()) return false;
  qbase::ScopedHandle shell_token;
  if (!OpenProcessToken(shell_process.get(), TOKEN_DUPLICATE, shell_token.Receive())) return false;
  qbase::ScopedHandle primary_token;
  if (!DuplicateTokenEx(shell_token.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                        primary_token.Receive())) {
    return false;
  }
  // Looked up at run time: Windows XP does not have it. ADVAPI32 itself is
  // always loaded, since the token functions above come from it.
  auto create_process_with_token =
      LookUp<CreateProcessWithTokenFunction>(GetModuleHandleW(L"ADVAPI32.dll"), "CreateProcessWithTokenW");
  if (!create_process_with_token) return false;
  if (!create_process_with_token(primary_token.get(), 0, nullptr, command.data(), NORMAL_PRIORITY_CLASS, nullptr,
                                 OrNull(folder), &startup, &process)) {
    return false;
  }
  CloseProcessHandles(process);
  return true;
}

bool ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  ScopedOle ole;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // The installer's only messages are its own; a file that cannot be opened
  // is reported to the caller instead of in a shell error box.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = OrNull(parameters);
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) return false;
  if (info.hProcess) CloseHandle(info.hProcess);
  return true;
}
