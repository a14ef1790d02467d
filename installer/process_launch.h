// Starting other programs: plainly, as a silent DLL registration, with the
// rights of the signed-in user instead of the installer's elevated rights, and
// through the shell. None of them waits for the program it starts, and all
// close the new process's handles at once. All may be called from any thread.
#pragma once

#include <string>

// CreateProcessW of `command_line` (copied into a private buffer of its own
// length, however long), with `application` as the application name and
// `folder` as the working folder (none when empty), handles inherited,
// normal priority, the window hidden. True when the process was created.
[[nodiscard]] bool RunProcess(const std::wstring& command_line, const std::wstring& application,
                              const std::wstring& folder);

// Runs "regsvr32.exe /s" on the quoted `dll_path` without waiting. True only
// means that regsvr32 was started.
[[nodiscard]] bool RegisterServer(const std::wstring& dll_path);

// Starts `command_line` in `folder` (none when empty) with the rights of the
// signed-in user. On Windows XP the installer's own rights are the user's,
// and the program is started directly in a new console window. Later systems
// start it with a copy of the token of the shell's desktop window process
// (CreateProcessWithTokenW); false when there is no shell window, its token
// cannot be had, or the function is missing. True when the process was
// created.
[[nodiscard]] bool LaunchAsDesktopUser(const std::wstring& command_line, const std::wstring& folder);

// Opens `file` with `parameters` through the shell (verb "open", shown). The
// shell shows no error dialog of its own; failure is returned instead. True
// when the shell started the file.
[[nodiscard]] bool ShellOpen(const std::wstring& file, const std::wstring& parameters);
