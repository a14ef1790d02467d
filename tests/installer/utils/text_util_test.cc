#include "installer/text_util.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/file_util.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string Join(const std::vector<std::wstring>& pieces) {
  std::string out;
  for (const auto& piece : pieces) out += "[" + test::Narrow(piece) + "]";
  return out;
}

TEST(TextUtilTest, WideToAnsiGivesGbkBytes) {
  static const struct {
    const wchar_t* wide;
    const char* gbk;
  } kCases[] = {
      {L"", ""},
      {L"vorandel_1001_ab", "vorandel_1001_ab"},
      {L"鲁墨", "\xc2\xb3\xc4\xab"},
      {L"鲁墨文件压缩", "\xc2\xb3\xc4\xab\xce\xc4\xbc\xfe\xd1\xb9\xcb\xf5"},
      {L"C:\\Program Files\\鲁墨\\", "C:\\Program Files\\\xc2\xb3\xc4\xab\\"},
      // Full-width punctuation is a real GBK character, not a look-alike of
      // the ASCII one.
      {L"\uFF3C\uFF0E", "\xa3\xdc\xa3\xae"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.wide));
    bool lossless = false;
    EXPECT_EQ(Hex(WideToAnsi(c.wide, &lossless)), Hex(c.gbk));
    EXPECT_TRUE(lossless);
    EXPECT_EQ(AnsiToWide(c.gbk, &lossless), c.wide);
    EXPECT_TRUE(lossless);
  }
}

TEST(TextUtilTest, WideToAnsiReplacesEachUnrepresentableCharacterWithOneQuestionMark) {
  static const struct {
    const wchar_t* wide;
    const char* gbk;
  } kCases[] = {
      {L"a\U0001F600b", "a?b"},                 // emoji: a surrogate pair
      {L"\U0001F600\U0001F680", "??"},          // two in a row
      {L"x\xD800y", "x?y"},                     // lone high surrogate
      {L"x\xDC00", "x?"},                       // lone low surrogate at the end
      {L"\uD55C\uAD6D\u9C81", "??\xc2\xb3"},   // Hangul is not in GBK; 鲁 is
      {L"\u00C0.exe", "?.exe"},                 // no best-fit "A"
      {L"\u2044\u2215", "?\xa8\x4d"},           // fraction slash is not turned into "/"
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Hex(c.gbk));
    bool lossless = true;
    EXPECT_EQ(Hex(WideToAnsi(c.wide, &lossless)), Hex(c.gbk));
    EXPECT_FALSE(lossless);
  }
}

TEST(TextUtilTest, ConversionsStopAtTheFirstNul) {
  EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(Utf8ToWide(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(TextUtilTest, AnsiToWideReplacesInvalidBytesAndKeepsTheRest) {
  static const struct {
    const char* gbk;
    const wchar_t* wide;
  } kCases[] = {
      {"ab\x81", L"ab\uFFFD"},                       // lead byte without its trail byte
      {"\x81\x7f" "a\xc2\xb3", L"\uFFFD\x7f" L"a\u9C81"},  // 0x7F is no trail byte
      {"\xc2\xb3\xc4", L"\u9C81\uFFFD"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Hex(c.gbk));
    bool lossless = true;
    EXPECT_EQ(AnsiToWide(c.gbk, &lossless), c.wide);
    EXPECT_FALSE(lossless);
  }
}

TEST(TextUtilTest, GbkConversionLeavesTheCLocaleAloneAndWorksOnManyThreadsAtOnce) {
  const std::string before = setlocale(LC_ALL, nullptr);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&mismatches] {
      for (int i = 0; i < 500; ++i) {
        if (WideToAnsi(L"鲁墨文件压缩") != "\xc2\xb3\xc4\xab\xce\xc4\xbc\xfe\xd1\xb9\xcb\xf5") ++mismatches;
        if (AnsiToWide("\xc2\xb3\xc4\xab") != L"鲁墨") ++mismatches;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(setlocale(LC_ALL, nullptr), before);
}

TEST(TextUtilTest, Utf8RoundTripsIncludingCharactersOutsideTheBmp) {
  static const struct {
    const char* utf8;
    const wchar_t* wide;
  } kCases[] = {
      {"", L""},
      {"plain", L"plain"},
      {"\xe9\xb2\x81\xe5\xa2\xa8", L"鲁墨"},
      {"\xf0\x9f\x98\x80", L"\U0001F600"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
  }
  // Malformed UTF-8 is decoded with a replacement, not dropped entirely.
  EXPECT_EQ(Utf8ToWide("a\xff" "b"), L"a\uFFFD" "b");
}

TEST(TextUtilTest, FormatProducesOutputOfAnyLength) {
  const std::string long_narrow(5000, 'n');
  const std::wstring long_wide(5000, L'w');
  EXPECT_EQ(FormatNarrow("<%s>", long_narrow.c_str()), "<" + long_narrow + ">");
  EXPECT_EQ(FormatWide(L"<%s>", long_wide.c_str()), L"<" + long_wide + L">");
  EXPECT_EQ(FormatNarrow("%s", ""), "");
  EXPECT_EQ(FormatWide(L"%s", L""), L"");
}

TEST(TextUtilTest, FormatFollowsTheConventionsCallersRelyOn) {
  // Narrow: C99 rules, including 64-bit integers for statistics times.
  EXPECT_EQ(FormatNarrow("%lld", 1700000000123LL), "1700000000123");
  EXPECT_EQ(FormatNarrow("%d-%02d-%02d %03d", 2024, 3, 7, 9), "2024-03-07 009");
  EXPECT_EQ(FormatNarrow("%.0lf%%", 37.6), "38%");
  // Wide: "%s" takes wide strings, as the installer's path formats do.
  EXPECT_EQ(FormatWide(L"%s\\%s.lnk", L"C:\\桌面", L"鲁墨文件压缩"), L"C:\\桌面\\鲁墨文件压缩.lnk");
  EXPECT_EQ(FormatWide(L"%s%s%d.del", L"C:\\a\\", L"1.482913", 12), L"C:\\a\\1.48291312.del");
  EXPECT_EQ(FormatWide(L"正在安装，请不要关闭：%d%%", 61), L"正在安装，请不要关闭：61%");
}

TEST(TextUtilTest, ReplaceAllGrowsShrinksAndCountsWithoutRescanningInsertedText) {
  static const struct {
    const char* find;
    const char* replacement;
    const char* text;
    const char* expected;
    int count;
  } kCases[] = {
      {" ", "%20", "a b c d", "a%20b%20c%20d", 3},
      {" ", "%20", "   ", "%20%20%20", 3},
      {"ab", "xabx", "abab", "xabxxabx", 2},   // the replacement contains `find`
      {"aa", "b", "aaaaa", "bba", 2},           // no overlapping matches
      {"long", "", "longXlong", "X", 2},
      {"zz", "y", "abc", "abc", 0},
      {"", "y", "abc", "abc", 0},
      {"a", "y", "", "", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.find) + " -> " + c.replacement + " in " + c.text);
    std::string narrow = c.text;
    EXPECT_EQ(ReplaceAll(c.find, c.replacement, &narrow), c.count);
    EXPECT_EQ(narrow, c.expected);
    std::wstring wide = test::Widen(c.text);
    EXPECT_EQ(ReplaceAll(test::Widen(c.find), test::Widen(c.replacement), &wide), c.count);
    EXPECT_EQ(wide, test::Widen(c.expected));
  }
  // Many occurrences with a longer replacement: the text grows correctly.
  std::string url(300, ' ');
  EXPECT_EQ(ReplaceAll(" ", "%20", &url), 300);
  EXPECT_EQ(url.size(), 900u);
  EXPECT_EQ(url.find_first_not_of("%20"), std::string::npos);
}

TEST(TextUtilTest, SplitTrimmedKeepsInnerEmptyPiecesAndDropsAnEmptyLastOne) {
  static const struct {
    const wchar_t* text;
    const wchar_t* separator;
    const char* pieces;
  } kCases[] = {
      {L"a_b_c", L"_", "[a][b][c]"},
      {L"a__c", L"_", "[a][][c]"},
      {L"a_b_", L"_", "[a][b]"},
      {L"_a", L"_", "[][a]"},
      {L"_", L"_", "[]"},
      {L"setup", L"_", "[setup]"},
      {L"", L"_", "[]"},
      {L"a::b::", L"::", "[a][b]"},
      {L"a:b", L"::", "[a:b]"},
      {L"a_b", L"", "[a_b]"},
      // Backspaces are stripped from the ends of pieces, blanks are kept.
      {L"\ba\b_ b \b", L"_", "[a][ b ]"},
      {L"a_\b\b", L"_", "[a]"},
      // Without a separator the text is returned whole, not stripped.
      {L"\ba\b", L"_", "[\ba\b]"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.text) + " at " + test::Narrow(c.separator));
    EXPECT_EQ(Join(SplitTrimmed(c.text, c.separator)), c.pieces);
  }
}

TEST(TextUtilTest, SplitTokensTreatsRunsOfDelimitersAsOneAndNeverGivesEmptyTokens) {
  static const struct {
    const wchar_t* text;
    const wchar_t* delimiters;
    const char* tokens;
  } kCases[] = {
      {L"a.dll|b\\c.dll", L"|", "[a.dll][b\\c.dll]"},
      {L"||a|||b||", L"|", "[a][b]"},
      {L"a|b;c", L"|;", "[a][b][c]"},
      {L"|||", L"|", ""},
      {L"", L"|", ""},
      {L"whole", L"", "[whole]"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.text));
    EXPECT_EQ(Join(SplitTokens(c.text, c.delimiters)), c.tokens);
  }
}

TEST(TextUtilTest, UnderscorePiecesAreLowerCasedChannelAndCampaignCodes) {
  static const struct {
    const wchar_t* text;
    const wchar_t* piece1;
    const wchar_t* piece2;
  } kCases[] = {
      {L"Setup_ABC_x", L"abc", L"x"},
      {L"setup", L"empty", L"empty"},
      {L"vorandel_1001_ab", L"1001", L"ab"},
      {L"a__c", L"", L"c"},
      {L"a_b_", L"b", L"empty"},
      {L"A_B_C_D", L"b", L"c"},
      // Only ASCII capitals are folded.
      {L"x_\u00C9T\u00C9_\u9C81Q", L"\u00C9t\u00C9", L"\u9C81q"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.text));
    EXPECT_EQ(UnderscorePiece1(c.text), c.piece1);
    EXPECT_EQ(UnderscorePiece2(c.text), c.piece2);
  }
}

}  // namespace
