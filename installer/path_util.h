// Paths of the program itself, the user's special folders, and small file
// helpers. Folders returned here keep the trailing separator only where said.
// All functions may be called from any thread.
#pragma once

#include <stdint.h>

#include <string>

// Folder of the program's own file, ending with its separator; empty when the
// path has no separator.
std::wstring ModuleFolder();

// File name of the program's own file (the text after the last "\" or "/").
std::wstring ModuleFileName();

// The user's temporary folder as the system reports it (with its trailing
// "\"); empty on failure.
std::wstring TempFolder();

// The user's local application-data folder, created when missing, ending
// with "\"; empty on failure.
std::wstring LocalAppDataFolder();

// The user's desktop folder and Start-menu folder (the Start Menu folder
// itself, not its Programs subfolder), without a trailing separator: the
// user's "Shell Folders" registry value "Desktop" (respectively "Programs")
// when it is set, else the system's known folder. Empty on failure.
std::wstring DesktopFolder();
std::wstring ProgramsFolder();

// Creates `path` (absolute) and any missing parent folders. True when the
// folder was created or already existed; false when a file is in the way.
[[nodiscard]] bool CreateDirectoryPath(const std::wstring& path);

// Size in bytes of the first file matching `path`, or -1 when nothing
// matches.
int64_t FileSize(const std::wstring& path);

// Split of `path` at its last "\" or "/": the folder part includes the
// separator, the file-name part is what follows it. Both return false (and
// leave the output alone) when the path is empty, one character long, or has
// no separator; FileNamePart also when nothing follows the separator.
[[nodiscard]] bool FolderPart(const std::wstring& path, std::wstring* folder);
[[nodiscard]] bool FileNamePart(const std::wstring& path, std::wstring* name);
