// The installer's run-time identity, derived once at window start from its own
// file name and version and from the operating system. The install engine,
// desktop integration and statistics read it; nobody writes it afterwards.
#pragma once

#include <string>

// Seven GBK strings, named after the keys under which main.ini stores them.
struct InstallContext {
  std::string setup;   // base name of the installer's file, letter case kept
  std::string packdt;  // the installer's file version ("%d.%d.%d.%d"), or empty
  std::string app;     // the 8-bit product slug
  std::string pos;     // channel code: second "_" piece of the base name, or "empty"
  std::string ver;     // a copy of packdt
  std::string os;      // operating-system label ("winXP", "win7", "win10", "win11")
  std::string bdvid;   // campaign code: third "_" piece of the base name, or "empty"
};

// The context of the running installer.
InstallContext BuildInstallContext();

// The context for an installer file named `file_name` (a bare name or a path:
// the text after the last "\", or when there is none after the last "/"),
// with the given file version and OS label. The base name is the file name up
// to its last "."; the channel and campaign codes are its pieces 2 and 3 when
// lower-cased (ASCII only) and split at "_". Characters GBK cannot represent
// become "?" (see WideToAnsi).
InstallContext BuildInstallContextFor(const std::wstring& file_name, const std::string& file_version,
                                      const std::string& os_label);
