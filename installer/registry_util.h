// Reading and writing registry strings. The installer keeps its own values
// (the machine id, the Uninstall entry) as GBK bytes through the registry's
// 8-bit interface. All functions may be called from any thread.
#pragma once

#include <windows.h>

#include <string>

// Reads the value `value_name` of `root`\`subkey` through the 8-bit interface.
// REG_SZ gives its text up to the first NUL (a value stored without a
// terminating zero gives exactly its stored bytes, never more); REG_EXPAND_SZ
// and REG_MULTI_SZ give their stored bytes, not expanded, without the
// terminating zeros at the end (a multi-string keeps the NULs between its
// strings); any other type gives an empty text. `*type` (when given) receives
// the value's type. False, with `*text` emptied, when the key cannot be opened
// or the value cannot be read.
[[nodiscard]] bool ReadRegistryString(HKEY root, const std::string& subkey, const std::string& value_name,
                                      std::string* text, DWORD* type = nullptr);

// The same through the 16-bit interface, for values that are not the
// installer's own (shell folders hold paths in the user's own characters):
// REG_SZ and REG_EXPAND_SZ (not expanded) give their text up to the first NUL,
// other types an empty text. False when the value cannot be read.
[[nodiscard]] bool ReadRegistryWideString(HKEY root, const std::wstring& subkey, const std::wstring& value_name,
                                          std::wstring* text);

// Stores `text` as the REG_SZ value `value_name` of `root`\`subkey` through
// the 8-bit interface: the key is created when missing (read and set-value
// access, default registry view) and the stored length includes the
// terminating zero. True when the value was written.
[[nodiscard]] bool WriteRegistryString(HKEY root, const std::string& subkey, const std::string& value_name,
                                       const std::string& text);
