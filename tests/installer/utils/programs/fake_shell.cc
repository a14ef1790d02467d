// Test program: stands in for the desktop shell, which Wine does not run. It
// creates a window, registers it as the shell window (SetShellWindow) and
// writes "1" (registered) or "0" to the file named by its first argument.
// It ends when the window is closed, and after 60 seconds at the latest so
// that a failed test never leaves it behind.
#include <windows.h>

#include <string>

namespace {

using SetShellWindowFunction = BOOL(WINAPI*)(HWND);

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMilliseconds = 60000;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kLifetimeTimer) DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"FakeShellWindow";
  if (!RegisterClassW(&window_class)) return 2;
  HWND window = CreateWindowExW(0, L"FakeShellWindow", L"Fake shell", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 3;
  SetTimer(window, kLifetimeTimer, kLifetimeMilliseconds, nullptr);

  FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetShellWindow");
  auto set_shell_window = reinterpret_cast<SetShellWindowFunction>(reinterpret_cast<void (*)()>(address));
  bool registered = set_shell_window && set_shell_window(window);

  // The command line is the ready file's path (quotes removed).
  std::wstring ready = command_line ? command_line : L"";
  if (ready.size() >= 2 && ready.front() == L'"' && ready.back() == L'"') ready = ready.substr(1, ready.size() - 2);
  // Written under another name and renamed, so whoever sees the ready file
  // sees its content too.
  const std::wstring partial = ready + L".partial";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, registered ? "1" : "0", 1, &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING);
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return registered ? 0 : 1;
}
