#include "installer/generated_text.h"

#include <windows.h>
#include <objbase.h>
#include <ntsecapi.h>

#include <random>

#include "installer/text_util.h"

namespace {

// One 32-bit seed from the system's cryptographic random source. The clock
// is only a fallback for the unlikely case that the source fails.
unsigned SystemRandomSeed() {
  unsigned seed = 0;
  if (!RtlGenRandom(&seed, sizeof(seed))) seed = GetTickCount() ^ GetCurrentThreadId();
  return seed;
}

}  // namespace

std::string CurrentTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatNarrow("%d-%02d-%02d %02d:%02d:%02d %03d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                      now.wSecond, now.wMilliseconds);
}

std::string NewGuidText() {
  // COM is initialised for this call only; a thread that already runs COM in
  // another mode keeps it, and is then not uninitialised here.
  HRESULT initialised = CoInitialize(nullptr);
  GUID guid;
  HRESULT created = CoCreateGuid(&guid);
  if (SUCCEEDED(initialised)) CoUninitialize();
  if (FAILED(created)) return std::string();
  return FormatNarrow("{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(guid.Data1),
                      guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                      guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

std::string RandomNumberText() {
  std::mt19937 generator(SystemRandomSeed());
  std::uniform_real_distribution<double> distribution(1.0, 2.0);
  return FormatNarrow("%f", distribution(generator));
}
