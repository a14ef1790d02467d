// The installer's thread identifiers in the thread registry, and the name of
// the mutex that keeps a second instance from running.
#pragma once

#include <cstdint>

// The main thread: owns every window and the UI framework.
constexpr int32_t kUiThread = 0;
// The worker ("Global Misc Thread"): runs the download and install work.
constexpr int32_t kMiscThread = 1;

// Held by the running installer for its whole life. The same text as the
// product folder name, kept as a constant of its own.
inline constexpr wchar_t kInstanceMutexName[] = L"LumoCompressTool";
