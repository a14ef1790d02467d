#include "tests/installer/resources/strict_utf8.h"

namespace test {

bool IsStrictUtf8(const std::string& text, size_t* offset) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length;
    unsigned long minimum, code;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2, minimum = 0x80, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, minimum = 0x800, code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, minimum = 0x10000, code = c & 0x07;
    } else {
      if (offset) *offset = i;
      return false;
    }
    bool ok = i + length <= n;
    for (size_t k = 1; ok && k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      ok = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    ok = ok && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (!ok) {
      if (offset) *offset = i;
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace test
