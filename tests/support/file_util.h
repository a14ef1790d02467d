// Small file helpers for tests.
#pragma once

#include <string>

namespace test {

// The whole file; empty with *ok false when it cannot be read.
std::string ReadFileBytes(const std::wstring& path, bool* ok = nullptr);
bool WriteFileBytes(const std::wstring& path, const std::string& data);
bool FileExists(const std::wstring& path);

// Bytes [offset, offset + length) of the fixture's pattern: byte i is i % 251.
std::string PatternBytes(size_t length, size_t offset = 0);

// UTF-8 <-> UTF-16 for test messages and names.
std::string Narrow(const std::wstring& wide);
std::wstring Widen(const std::string& utf8);

}  // namespace test
