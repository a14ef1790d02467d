// What the installer needs to know about the system it runs on: the Windows
// version (as a small code and as the label sent with statistics), the
// program's own file version, and whether the system is 64-bit. The "For"
// variants are the pure mappings behind the system queries. All functions may
// be called from any thread.
#pragma once

#include <string>

struct OsVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
};

// The version GetVersionExW reports. The installer declares no OS
// compatibility in its manifest, so every system after Windows 8 reports 6.2.
OsVersion CurrentOsVersion();

// Version code of a major.minor version: 5.0 -> 0, 5.1 -> 1, 5.2 -> 3,
// 6.0 -> 2, 6.2 -> 5, anything else -> 4.
int OsVersionCodeFor(unsigned major, unsigned minor);
int OsVersionCode();

// Label of a system: "winXP" for code 1, "win7" for code 4, for code 5 "win10"
// or "win11" when `nt_build` (the low 16 bits of the kernel's build word) is
// 22000 or more, and "winXP" for every other code.
std::string OsNameFor(unsigned major, unsigned minor, unsigned nt_build);
// The same for this system: the version from GetVersionExW, the build from
// the kernel's own version numbers (which the compatibility shim does not
// change).
std::string OsName();

// File version of the program's own file as "%d.%d.%d.%d"; empty when the file
// has no version resource.
std::string OwnFileVersion();

// 64 when the processor architecture the system reports natively is x64 (9)
// or Itanium (6), else 32.
int SystemBitness();
