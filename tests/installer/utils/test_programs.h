// Helpers for the tests that start the small programs built beside this test
// program (see programs/). Every wait is bounded.
#pragma once

#include <string>
#include <vector>

namespace test {

// Full path of a program or DLL built next to the running test program.
std::wstring BesideTestProgram(const std::wstring& name);

// Waits until `path` exists, at most `timeout_ms`. True when it appeared.
bool WaitForFile(const std::wstring& path, unsigned timeout_ms);

// Starts `command_line` and waits for it to end, at most `timeout_ms`; the
// exit code, or -1 when it could not be started or did not end in time (it is
// then terminated).
int RunAndWait(const std::wstring& command_line, unsigned timeout_ms);

// What marker_writer recorded: its working folder and its arguments.
struct Marker {
  bool found = false;
  std::wstring folder;
  std::vector<std::wstring> arguments;
};
Marker ReadMarker(const std::wstring& path);

// `text` in double quotes, for command lines.
std::wstring Quoted(const std::wstring& text);

// Case-insensitive comparison of two folder paths, ignoring one trailing "\".
bool SameFolder(std::wstring a, std::wstring b);

// Wine reports a Windows version of its choice to one program when
// HKCU\Software\Wine\AppDefaults\<program>\Version is set. This sets it for
// `program` (a file name such as "os_probe.exe") and removes it again.
class ScopedWineVersion {
 public:
  ScopedWineVersion(const wchar_t* program, const wchar_t* version);
  ~ScopedWineVersion();
  ScopedWineVersion(const ScopedWineVersion&) = delete;
  ScopedWineVersion& operator=(const ScopedWineVersion&) = delete;

 private:
  std::wstring key_path_;
};

}  // namespace test
