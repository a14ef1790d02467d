#include "installer/machine_id.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kVendorKey[] = "Software\\Ravelin";

bool IsMachineIdShape(const std::string& id) {
  if (id.size() != 32) return false;
  for (char c : id) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// The real per-user value "mn" of HKEY_CURRENT_USER\Software\Ravelin: saved
// before each test and put back afterwards (or removed, with the key, when
// there was none).
class MachineIdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY key = nullptr;
    key_existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, kVendorKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key_existed_) {
      DWORD size = sizeof(saved_);
      had_value_ = RegQueryValueExA(key, "mn", nullptr, &saved_type_, saved_, &size) == ERROR_SUCCESS;
      saved_size_ = size;
      RegCloseKey(key);
    }
    DeleteValue();
  }
  void TearDown() override {
    if (had_value_) {
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, kVendorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
          ERROR_SUCCESS) {
        RegSetValueExA(key, "mn", 0, saved_type_, saved_, saved_size_);
        RegCloseKey(key);
      }
    } else {
      DeleteValue();
    }
    if (!key_existed_) RegDeleteKeyA(HKEY_CURRENT_USER, kVendorKey);
  }

  static void DeleteValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kVendorKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "mn");
      RegCloseKey(key);
    }
  }

  static void SetValue(DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kVendorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "mn", 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }

  // The stored value as raw bytes, with its type.
  static std::string StoredValue(DWORD* type) {
    HKEY key = nullptr;
    *type = REG_NONE;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kVendorKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    BYTE data[256] = {};
    DWORD size = sizeof(data);
    LSTATUS status = RegQueryValueExA(key, "mn", nullptr, type, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "<no value>";
    return std::string(reinterpret_cast<const char*>(data), size);
  }

  bool key_existed_ = false;
  bool had_value_ = false;
  DWORD saved_type_ = REG_NONE;
  BYTE saved_[1024] = {};
  DWORD saved_size_ = 0;
};

TEST_F(MachineIdTest, NewIdIsStoredAsRegSzAndReusedOnTheNextRun) {
  const std::string id = LoadOrCreateMachineId();
  ASSERT_TRUE(IsMachineIdShape(id)) << id;
  DWORD type = REG_NONE;
  EXPECT_EQ(StoredValue(&type), id + '\0');  // the stored length includes the terminating zero
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(LoadOrCreateMachineId(), id);
  EXPECT_EQ(LoadOrCreateMachineId(), id);
}

TEST_F(MachineIdTest, DeletingTheValueGivesADifferentIdOnTheNextRun) {
  const std::string first = LoadOrCreateMachineId();
  DeleteValue();
  const std::string second = LoadOrCreateMachineId();
  ASSERT_TRUE(IsMachineIdShape(first)) << first;
  ASSERT_TRUE(IsMachineIdShape(second)) << second;
  EXPECT_NE(first, second);
  DWORD type = REG_NONE;
  EXPECT_EQ(StoredValue(&type), second + '\0');
}

TEST_F(MachineIdTest, StoredValueIsUsedUnchanged) {
  const std::string stored = "0123456789abcdef0123456789abcdef";
  SetValue(REG_SZ, stored + '\0');
  EXPECT_EQ(LoadOrCreateMachineId(), stored);
  DWORD type = REG_NONE;
  EXPECT_EQ(StoredValue(&type), stored + '\0');
}

TEST_F(MachineIdTest, EmptyOrNonStringValueIsReplacedByANewId) {
  static const struct {
    const char* name;
    DWORD type;
    std::string bytes;
  } kCases[] = {
      {"empty string", REG_SZ, std::string("\0", 1)},
      {"dword", REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
      {"binary", REG_BINARY, std::string("0123456789abcdef0123456789abcdef")},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetValue(c.type, c.bytes);
    const std::string id = LoadOrCreateMachineId();
    EXPECT_TRUE(IsMachineIdShape(id)) << id;
    DWORD type = REG_NONE;
    EXPECT_EQ(StoredValue(&type), id + '\0');
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  }
}

}  // namespace
