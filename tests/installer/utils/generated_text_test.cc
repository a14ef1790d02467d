#include "installer/generated_text.h"

#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>

namespace {

// True when `text` matches `pattern`, where "9" stands for a decimal digit,
// "X" for an upper-case and "x" for a lower-case hexadecimal digit, and any
// other character for itself.
bool MatchesShape(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (pattern[i]) {
      case '9':
        if (c < '0' || c > '9') return false;
        break;
      case 'X':
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
        break;
      case 'x':
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
        break;
      default:
        if (c != pattern[i]) return false;
    }
  }
  return true;
}

TEST(GeneratedTextTest, CurrentTimeTextIsTheLocalTimeWithMilliseconds) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  const std::string text = CurrentTimeText();
  SYSTEMTIME after;
  GetLocalTime(&after);
  ASSERT_TRUE(MatchesShape(text, "9999-99-99 99:99:99 999")) << text;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  ASSERT_EQ(sscanf(text.c_str(), "%d-%d-%d %d:%d:%d %d", &year, &month, &day, &hour, &minute, &second,
                   &millisecond),
            7);
  // The text lies between the two readings (compared as milliseconds of the
  // day; a run across midnight is accepted as well).
  auto of_day = [](int h, int m, int s, int ms) { return ((h * 60 + m) * 60 + s) * 1000 + ms; };
  const int value = of_day(hour, minute, second, millisecond);
  const int low = of_day(before.wHour, before.wMinute, before.wSecond, before.wMilliseconds);
  const int high = of_day(after.wHour, after.wMinute, after.wSecond, after.wMilliseconds);
  EXPECT_TRUE(year == before.wYear || year == after.wYear);
  EXPECT_TRUE(month == before.wMonth || month == after.wMonth);
  EXPECT_TRUE(day == before.wDay || day == after.wDay);
  if (low <= high) {
    EXPECT_GE(value, low);
    EXPECT_LE(value, high);
  }
}

TEST(GeneratedTextTest, NewGuidTextHasTheLowerCaseThirdGroupAndParsesBack) {
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    const std::string text = NewGuidText();
    SCOPED_TRACE(text);
    ASSERT_TRUE(MatchesShape(text, "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}"));
    seen.insert(text);
    // The text names a real GUID: it parses, and prints back the same apart
    // from the letter case of the third group.
    std::wstring wide(text.begin(), text.end());
    GUID guid;
    ASSERT_EQ(CLSIDFromString(wide.c_str(), &guid), NOERROR);
    wchar_t printed[64] = {};
    ASSERT_EQ(StringFromGUID2(guid, printed, 64), 39);
    EXPECT_EQ(CompareStringOrdinal(printed, -1, wide.c_str(), -1, TRUE), CSTR_EQUAL);
  }
  EXPECT_EQ(seen.size(), 20u) << "every call makes a new GUID";
}

TEST(GeneratedTextTest, NewGuidTextKeepsTheCallersComApartmentIntact) {
  // A thread already in the multithreaded apartment: the call may not end
  // the caller's COM initialisation.
  bool made = false;
  HRESULT still_initialised = E_FAIL;
  std::thread thread([&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
    made = !NewGuidText().empty();
    still_initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // S_FALSE: already initialised
    if (SUCCEEDED(still_initialised)) CoUninitialize();
    CoUninitialize();
  });
  thread.join();
  EXPECT_TRUE(made);
  EXPECT_EQ(still_initialised, S_FALSE);
}

TEST(GeneratedTextTest, RandomNumberTextIsAFreshNumberFromOneToTwoWithSixDecimals) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string text = RandomNumberText();
    SCOPED_TRACE(text);
    ASSERT_TRUE(MatchesShape(text, "9.999999"));
    const double value = std::strtod(text.c_str(), nullptr);
    EXPECT_GE(value, 1.0);
    EXPECT_LE(value, 2.0);  // a draw just below 2 prints as 2.000000
    seen.insert(text);
  }
  // Each call seeds its own generator from the system: repeated calls do not
  // repeat one number (200 draws from a million values collide rarely).
  EXPECT_GT(seen.size(), 190u);
}

}  // namespace
