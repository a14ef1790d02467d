// Texts made fresh on every call: the local time, a new GUID and a random
// number, used to seed the machine id and to name files moved aside. All
// functions may be called from any thread.
#pragma once

#include <string>

// The local time as "%d-%02d-%02d %02d:%02d:%02d %03d" (year, month 1-12, day,
// hour, minute, second, millisecond).
std::string CurrentTimeText();

// A new GUID as "{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}": 38
// characters, the third group in lower-case hexadecimal and the others in
// upper case. Empty when no GUID could be made.
std::string NewGuidText();

// One draw of a real number uniform in [1.0, 2.0) from a 32-bit Mersenne
// twister seeded from the operating system's random source, printed with "%f"
// (six decimals; a draw just below 2 prints as "2.000000").
std::string RandomNumberText();
