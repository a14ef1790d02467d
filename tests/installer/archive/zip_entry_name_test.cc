// Sanitising of stored entry names: the name the install engine appends to
// the install folder.
#include "installer/zip_entry_name.h"

#include <gtest/gtest.h>

#include "tests/support/file_util.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

TEST(ZipEntryNameTest, HostileNamesLoseEverythingThatCouldLeaveTheFolder) {
  static const struct {
    const wchar_t* stored;
    const wchar_t* expected;
  } kCases[] = {
      // The long-standing rules and their results.
      {L"../../x.dll", L"x.dll"},
      {L"C:\\Windows\\x.dll", L"Windows\\x.dll"},
      {L"a/../b.txt", L"b.txt"},
      {L"..\\..\\x", L"x"},
      {L"a\\b/../c", L"c"},
      {L"a/b\\..\\c/d", L"c/d"},
      {L"\\\\server\\share\\x", L"server\\share\\x"},
      {L"//server/share/x", L"server/share/x"},
      {L"/abs/x", L"abs/x"},
      {L"C:x", L"x"},
      // Climbs the old rules missed: no separator before, bare, at the end.
      {L"../x", L"x"},
      {L"..\\x", L"x"},
      {L"..", L""},
      {L"a/..", L""},
      {L"a/b\\..", L""},
      {L"../", L""},
      {L"dir/../", L""},
      {L"C:..\\x", L"x"},
      // What Windows could read as a parent reference.
      {L"x/.../y", L"y"},
      {L".. /y", L"y"},
      {L"a/ ../b", L"b"},
      {L"a/. ./b", L"b"},
      // Device and long-path prefixes.
      {L"\\\\?\\C:\\x", L"?\\C_\\x"},
      {L"//?/C:/x", L"?/C_/x"},
      {L"\\\\.\\PhysicalDrive0", L"PhysicalDrive0"},
      // Drives and alternate data streams.
      {L"a:b", L"b"},
      {L"dir/file.txt:stream", L"dir/file.txt_stream"},
      {L"dir/file.txt::$DATA", L"dir/file.txt__$DATA"},
      {L"x/C:/y", L"x/C_/y"},
      // Trailing dots and spaces go, as Windows drops them when creating.
      {L"name. ", L"name"},
      {L"dir. /file.txt..", L"dir/file.txt"},
      {L"a/./b", L"a/b"},
      {L"a//b", L"a/b"},
      // Reserved device names.
      {L"CON", L"_CON"},
      {L"nul.txt", L"_nul.txt"},
      {L"dir/Com1.log", L"dir/_Com1.log"},
      {L"lpt9", L"_lpt9"},
      {L"AUX .h", L"_AUX .h"},
      {L"CONOUT$", L"_CONOUT$"},
      {L"nul/x", L"_nul/x"},
      {L"COM\u00B9", L"_COM\u00B9"},
      // Ordinary names stay as they are, separators included.
      {L"console.txt", L"console.txt"},
      {L"COM10", L"COM10"},
      {L"nullable.h", L"nullable.h"},
      {L"themes/default/", L"themes/default/"},
      {L"themes\\default\\global.xml", L"themes\\default\\global.xml"},
      {L"..a/b..c", L"..a/b..c"},
      {L".hidden", L".hidden"},
      {L" lead", L" lead"},
      {L"\u9c81\u58a8/\u8bf4\u660e.txt", L"\u9c81\u58a8/\u8bf4\u660e.txt"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.stored));
    std::wstring sanitized = SanitizeEntryName(c.stored);
    EXPECT_EQ(test::Narrow(c.expected), test::Narrow(sanitized));

    // Whatever the input, the result cannot name a root, drive, stream,
    // UNC or device path, or climb.
    if (sanitized.empty()) continue;
    EXPECT_FALSE(IsSeparator(sanitized[0]));
    EXPECT_EQ(std::wstring::npos, sanitized.find(L':'));
    size_t start = 0;
    while (start <= sanitized.size()) {
      size_t end = sanitized.find_first_of(L"\\/", start);
      if (end == std::wstring::npos) end = sanitized.size();
      std::wstring segment = sanitized.substr(start, end - start);
      if (end < sanitized.size() || !segment.empty()) {
        EXPECT_FALSE(segment.empty()) << "empty segment";
        EXPECT_NE(L"..", segment);
        EXPECT_NE(L".", segment);
        EXPECT_FALSE(IsReservedDeviceName(segment)) << test::Narrow(segment);
        if (!segment.empty()) {
          EXPECT_TRUE(segment.back() != L'.' && segment.back() != L' ');
        }
      }
      start = end + 1;
    }
  }
}

TEST(ZipEntryNameTest, StoredBytesAreDecodedAsUtf8UpToTheFirstNul) {
  static const struct {
    std::string stored;
    const wchar_t* expected;
  } kCases[] = {
      {"plain.txt", L"plain.txt"},
      {"\xe9\xb2\x81\xe5\xa2\xa8.exe", L"\u9c81\u58a8.exe"},
      {std::string("safe.txt\0/../../evil.dll", 24), L"safe.txt"},
      {"bad\xff.txt", L"bad\ufffd.txt"},
      {"", L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(test::Narrow(c.expected), test::Narrow(DecodeEntryName(c.stored.data(), c.stored.size())));
  }
}

}  // namespace
