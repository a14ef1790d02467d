// Strict UTF-8 validation (RFC 3629): no overlong forms, no surrogates, no
// code point above U+10FFFF, no truncated or stray continuation bytes.
#pragma once

#include <string>

namespace test {

// True when every byte of `text` belongs to a well-formed UTF-8 sequence.
// With `offset`, the position of the first bad byte is stored on failure.
bool IsStrictUtf8(const std::string& text, size_t* offset = nullptr);

}  // namespace test
