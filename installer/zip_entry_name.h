// Entry names of zip archives, made safe to join to a destination folder.
//
// An archive is data from the network, and the install engine joins every
// entry name to the install folder ("%s%s") and writes there. The name must
// therefore never leave that folder, whatever bytes the archive stores: no
// drive, no root, no UNC or device prefix, no parent reference, no alternate
// data stream, and no reserved device name that would send the data to a
// device instead of a file.
#pragma once

#include <string>

// The longest entry name (in UTF-16 units, after sanitising) the archive layer
// describes; longer names are refused rather than cut, because a cut name
// could alias another entry.
constexpr size_t kMaxEntryNameLength = 260;

// Decodes the stored name bytes as UTF-8 (always, whatever the entry's flags
// say). The name ends at the first NUL byte, as every Win32 consumer would see
// it; invalid sequences become U+FFFD.
std::wstring DecodeEntryName(const char* bytes, size_t length);

// Applies, repeatedly until none matches:
//   1. a name whose second character is ':' loses its first two characters;
//   2. a leading '\' or '/' is removed;
//   3. if the name contains "\..\", everything up to and including it goes;
//   4. else the same for "\../", then "/../", then "/..\".
// Then each segment (between '\' or '/' separators) is cleaned:
//   - a segment made only of dots and spaces with two or more dots ("..",
//     "...", ".. ") is a parent reference: it and everything before it are
//     dropped, like rules 3 and 4 do, so a leading "../", a bare "..", or a
//     trailing "/.." cannot climb either;
//   - "." and empty segments are dropped;
//   - trailing dots and spaces are removed (Windows would remove them when the
//     file is created, so the name reported is the name the file gets);
//   - every ':' becomes '_' (no drive, no alternate data stream);
//   - a reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9,
//     LPT0-9, with or without an extension) gets a leading '_'.
// The inner separators are kept as stored, and so is a trailing separator
// (a folder entry) when anything is left.
std::wstring SanitizeEntryName(std::wstring name);

// True for a path segment that Windows maps to a device, e.g. "nul" or
// "COM1.log" (ASCII case-insensitive; spaces before the extension ignored).
bool IsReservedDeviceName(const std::wstring& segment);
