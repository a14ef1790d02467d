#include "installer/registry_util.h"

#include <string.h>

#include <vector>

namespace {

// Owns an open registry key.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* receive() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// A value's type and data as stored. The value may change between the size
// query and the data query; then the query is repeated with the new size a
// few times before giving up.
template <typename QueryFunction>
bool QueryValue(QueryFunction query, DWORD* type, std::vector<BYTE>* data) {
  DWORD size = 0;
  LSTATUS status = query(type, nullptr, &size);
  for (int attempt = 0; status == ERROR_SUCCESS && attempt < 4; ++attempt) {
    data->assign(size > 0 ? size : 1, 0);
    DWORD received = static_cast<DWORD>(data->size());
    status = query(type, data->data(), &received);
    if (status == ERROR_SUCCESS) {
      data->resize(received);
      return true;
    }
    if (status == ERROR_MORE_DATA) {
      size = received;
      status = ERROR_SUCCESS;
    }
  }
  return false;
}

}  // namespace

bool ReadRegistryString(HKEY root, const std::string& subkey, const std::string& value_name, std::string* text,
                        DWORD* type) {
  text->clear();
  if (type) *type = REG_NONE;
  ScopedKey key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
  DWORD value_type = REG_NONE;
  std::vector<BYTE> data;
  bool read = QueryValue(
      [&](DWORD* t, BYTE* buffer, DWORD* size) {
        return RegQueryValueExA(key.get(), value_name.c_str(), nullptr, t, buffer, size);
      },
      &value_type, &data);
  if (!read) return false;
  if (type) *type = value_type;

  // Only the bytes the registry returned are looked at: a string stored
  // without its terminating zero must not be read past its end.
  const char* bytes = reinterpret_cast<const char*>(data.data());
  size_t length = data.size();
  if (value_type == REG_SZ) {
    size_t end = 0;
    while (end < length && bytes[end] != '\0') ++end;
    text->assign(bytes, end);
  } else if (value_type == REG_EXPAND_SZ || value_type == REG_MULTI_SZ) {
    while (length > 0 && bytes[length - 1] == '\0') --length;
    text->assign(bytes, length);
  }
  return true;
}

bool ReadRegistryWideString(HKEY root, const std::wstring& subkey, const std::wstring& value_name,
                            std::wstring* text) {
  text->clear();
  ScopedKey key;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
  DWORD value_type = REG_NONE;
  std::vector<BYTE> data;
  bool read = QueryValue(
      [&](DWORD* t, BYTE* buffer, DWORD* size) {
        return RegQueryValueExW(key.get(), value_name.c_str(), nullptr, t, buffer, size);
      },
      &value_type, &data);
  if (!read) return false;
  if (value_type == REG_SZ || value_type == REG_EXPAND_SZ) {
    size_t units = data.size() / sizeof(wchar_t);
    std::wstring stored(units, L'\0');
    if (units > 0) memcpy(&stored[0], data.data(), units * sizeof(wchar_t));
    size_t end = stored.find(L'\0');
    text->assign(stored, 0, end == std::wstring::npos ? stored.size() : end);
  }
  return true;
}

bool WriteRegistryString(HKEY root, const std::string& subkey, const std::string& value_name,
                         const std::string& text) {
  ScopedKey key;
  if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE,
                      nullptr, key.receive(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExA(key.get(), value_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}
