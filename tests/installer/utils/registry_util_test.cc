#include "installer/registry_util.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// A private key under HKEY_CURRENT_USER\Software for one test, removed with
// everything in it afterwards.
class RegistryUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    subkey_ = "Software\\LumoInstallerTests\\registry-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++counter_);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteTreeA(HKEY_CURRENT_USER, subkey_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LumoInstallerTests");  // only when empty
  }

  void SetRaw(const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }

  std::string subkey_;
  HKEY key_ = nullptr;
  static int counter_;
};

int RegistryUtilTest::counter_ = 0;

TEST_F(RegistryUtilTest, ReadsStringTypesAsTextAndOtherTypesAsEmpty) {
  static const struct {
    const char* name;
    DWORD type;
    std::string stored;
    std::string text;
  } kCases[] = {
      {"sz", REG_SZ, std::string("abc\0", 4), "abc"},
      {"gbk", REG_SZ, std::string("\xc2\xb3\xc4\xab\0", 5), "\xc2\xb3\xc4\xab"},
      {"empty", REG_SZ, std::string("\0", 1), ""},
      {"no data", REG_SZ, std::string(), ""},
      // Stored without the terminating zero: exactly the stored bytes.
      {"unterminated", REG_SZ, std::string("abcdefgh"), "abcdefgh"},
      {"inner nul", REG_SZ, std::string("ab\0cd\0", 6), "ab"},
      // Not expanded; the terminating zero is not part of the text.
      {"expand", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9), "%TEMP%\\x"},
      {"multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6), std::string("a\0bc", 4)},
      {"dword", REG_DWORD, std::string("\x01\x02\x03\x04", 4), ""},
      {"binary", REG_BINARY, std::string("abc\0", 4), ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetRaw(c.name, c.type, c.stored);
    std::string text = "stale";
    DWORD type = REG_NONE;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, subkey_, c.name, &text, &type));
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(type, c.type);
  }
}

TEST_F(RegistryUtilTest, ReadFailsForAMissingValueOrKey) {
  std::string text = "stale";
  DWORD type = REG_SZ;
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, subkey_, "missing", &text, &type));
  EXPECT_EQ(text, "");
  EXPECT_EQ(type, static_cast<DWORD>(REG_NONE));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, subkey_ + "\\missing", "value", &text));
}

TEST_F(RegistryUtilTest, ReadsALongValue) {
  const std::string long_text(20000, 'q');
  SetRaw("long", REG_SZ, long_text + '\0');
  std::string text;
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, subkey_, "long", &text));
  EXPECT_EQ(text, long_text);
}

TEST_F(RegistryUtilTest, WideReadGivesStoredWideTextAndOnlyForStringTypes) {
  const std::wstring path = L"C:\\users\\Jos\u00E9\\\uD55C\\\u9C81";
  ASSERT_EQ(RegSetValueExW(key_, L"path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  // Stored without the terminating zero, with an odd byte count.
  ASSERT_EQ(RegSetValueExW(key_, L"odd", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(L"%A%b"), 7),
            ERROR_SUCCESS);
  DWORD number = 5;
  ASSERT_EQ(RegSetValueExW(key_, L"dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)),
            ERROR_SUCCESS);
  const std::wstring subkey(subkey_.begin(), subkey_.end());
  std::wstring text;
  EXPECT_TRUE(ReadRegistryWideString(HKEY_CURRENT_USER, subkey, L"path", &text));
  EXPECT_EQ(text, path);
  EXPECT_TRUE(ReadRegistryWideString(HKEY_CURRENT_USER, subkey, L"odd", &text));
  EXPECT_EQ(text, L"%A%");
  EXPECT_TRUE(ReadRegistryWideString(HKEY_CURRENT_USER, subkey, L"dword", &text));
  EXPECT_EQ(text, L"");
  EXPECT_FALSE(ReadRegistryWideString(HKEY_CURRENT_USER, subkey, L"missing", &text));
}

TEST_F(RegistryUtilTest, WriteCreatesMissingKeysAndStoresRegSzWithItsTerminatingZero) {
  const std::string nested = subkey_ + "\\created\\below";
  const std::string text = "\xc2\xb3\xc4\xab 1.0";
  ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, nested, "DisplayName", text));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, nested.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  char data[64] = {};
  DWORD size = sizeof(data);
  DWORD type = REG_NONE;
  EXPECT_EQ(RegQueryValueExA(key, "DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, text.size() + 1);
  EXPECT_EQ(std::string(data, size), text + '\0');
}

TEST_F(RegistryUtilTest, WriteReplacesAnExistingValueOfAnotherType) {
  SetRaw("mn", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
  ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, subkey_, "mn", "0123abcd"));
  std::string text;
  DWORD type = REG_NONE;
  ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, subkey_, "mn", &text, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text, "0123abcd");
}

}  // namespace
