#include "installer/text_util.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

namespace {

// Code page 936 is used directly rather than through the C locale: switching
// the locale would change it for every thread of the process, and the UI
// thread, the worker and the statistics thread all convert text.
constexpr UINT kGbkCodePage = 936;
constexpr wchar_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

size_t LengthToNul(const std::wstring& text) {
  size_t nul = text.find(L'\0');
  return nul == std::wstring::npos ? text.size() : nul;
}

size_t LengthToNul(const std::string& text) {
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text.size() : nul;
}

// Decodes GBK one character at a time, for input that the fast path rejected.
std::wstring DecodeGbkWithReplacements(const char* bytes, size_t length) {
  std::wstring out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) {
    unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      out.push_back(static_cast<wchar_t>(byte));
      ++i;
      continue;
    }
    wchar_t decoded = 0;
    if (IsDBCSLeadByteEx(kGbkCodePage, byte) && i + 1 < length &&
        MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, bytes + i, 2, &decoded, 1) == 1) {
      out.push_back(decoded);
      i += 2;
    } else if (MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, bytes + i, 1, &decoded, 1) == 1) {
      out.push_back(decoded);
      ++i;
    } else {
      out.push_back(kReplacementCharacter);
      ++i;
    }
  }
  return out;
}

template <typename String>
int ReplaceAllImpl(const String& find, const String& replacement, String* text) {
  if (!text || find.empty() || text->empty()) return 0;
  int count = 0;
  size_t position = 0;
  while ((position = text->find(find, position)) != String::npos) {
    text->replace(position, find.size(), replacement);
    position += replacement.size();
    ++count;
  }
  return count;
}

std::wstring FoldAsciiToLower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

std::wstring UnderscorePiece(const std::wstring& text, size_t index) {
  std::vector<std::wstring> pieces = SplitTrimmed(FoldAsciiToLower(text), L"_");
  return index < pieces.size() ? pieces[index] : std::wstring(L"empty");
}

}  // namespace

std::string WideToAnsi(const std::wstring& wide, bool* lossless) {
  if (lossless) *lossless = true;
  size_t length = LengthToNul(wide);
  if (length == 0) return std::string();

  // GBK has no characters outside the Basic Multilingual Plane. Each surrogate
  // pair (and each lone surrogate) is turned into a single "?" here, so that
  // one unrepresentable character gives exactly one replacement whatever the
  // system's converter would do with the two halves.
  std::wstring source;
  source.reserve(length);
  bool replaced = false;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = wide[i];
    if (IsHighSurrogate(c) && i + 1 < length && IsLowSurrogate(wide[i + 1])) {
      source.push_back(L'?');
      replaced = true;
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      source.push_back(L'?');
      replaced = true;
    } else {
      source.push_back(c);
    }
  }

  const int source_length = static_cast<int>(source.size());
  BOOL used_default = FALSE;
  int size = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, source.data(), source_length, nullptr, 0,
                                 "?", &used_default);
  if (size <= 0) {
    if (lossless) *lossless = false;
    return std::string();
  }
  std::string out(static_cast<size_t>(size), '\0');
  used_default = FALSE;
  size = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, source.data(), source_length, &out[0], size, "?",
                             &used_default);
  if (size <= 0) {
    if (lossless) *lossless = false;
    return std::string();
  }
  out.resize(static_cast<size_t>(size));
  if (lossless) *lossless = !replaced && !used_default;
  return out;
}

std::wstring AnsiToWide(const std::string& narrow, bool* lossless) {
  if (lossless) *lossless = true;
  size_t length = LengthToNul(narrow);
  if (length == 0) return std::wstring();
  const int source_length = static_cast<int>(length);
  int size = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, narrow.data(), source_length, nullptr, 0);
  if (size > 0) {
    std::wstring out(static_cast<size_t>(size), L'\0');
    size = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, narrow.data(), source_length, &out[0], size);
    if (size > 0) {
      out.resize(static_cast<size_t>(size));
      return out;
    }
  }
  if (lossless) *lossless = false;
  return DecodeGbkWithReplacements(narrow.data(), length);
}

std::wstring Utf8ToWide(const std::string& utf8) {
  size_t length = LengthToNul(utf8);
  if (length == 0) return std::wstring();
  const int source_length = static_cast<int>(length);
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), source_length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(size), L'\0');
  size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), source_length, &out[0], size);
  if (size <= 0) return std::wstring();
  out.resize(static_cast<size_t>(size));
  return out;
}

std::string WideToUtf8(const std::wstring& wide) {
  size_t length = LengthToNul(wide);
  if (length == 0) return std::string();
  const int source_length = static_cast<int>(length);
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), source_length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), source_length, &out[0], size, nullptr, nullptr);
  if (size <= 0) return std::string();
  out.resize(static_cast<size_t>(size));
  return out;
}

std::string FormatNarrow(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measure;
  va_copy(measure, arguments);
  int needed = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed));
    // The string's buffer has room for the terminating zero after size().
    if (vsnprintf(&out[0], out.size() + 1, format, arguments) != needed) out.clear();
  }
  va_end(arguments);
  return out;
}

std::wstring FormatWide(const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measure;
  va_copy(measure, arguments);
  int needed = _vscwprintf(format, measure);
  va_end(measure);
  std::wstring out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed));
    if (_vsnwprintf(&out[0], out.size() + 1, format, arguments) != needed) out.clear();
  }
  va_end(arguments);
  return out;
}

int ReplaceAll(const std::string& find, const std::string& replacement, std::string* text) {
  return ReplaceAllImpl(find, replacement, text);
}

int ReplaceAll(const std::wstring& find, const std::wstring& replacement, std::wstring* text) {
  return ReplaceAllImpl(find, replacement, text);
}

std::vector<std::wstring> SplitTrimmed(const std::wstring& text, const std::wstring& separator) {
  std::vector<std::wstring> pieces;
  size_t position = separator.empty() ? std::wstring::npos : text.find(separator);
  if (position == std::wstring::npos) {
    pieces.push_back(text);
    return pieces;
  }
  auto stripped = [](const std::wstring& piece) {
    size_t first = piece.find_first_not_of(L'\b');
    if (first == std::wstring::npos) return std::wstring();
    size_t last = piece.find_last_not_of(L'\b');
    return piece.substr(first, last - first + 1);
  };
  size_t start = 0;
  while (position != std::wstring::npos) {
    pieces.push_back(stripped(text.substr(start, position - start)));
    start = position + separator.size();
    position = text.find(separator, start);
  }
  std::wstring last = stripped(text.substr(start));
  if (!last.empty()) pieces.push_back(last);
  return pieces;
}

std::vector<std::wstring> SplitTokens(const std::wstring& text, const std::wstring& delimiters) {
  std::vector<std::wstring> tokens;
  size_t start = text.find_first_not_of(delimiters);
  while (start != std::wstring::npos) {
    size_t end = text.find_first_of(delimiters, start);
    tokens.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) break;
    start = text.find_first_not_of(delimiters, end);
  }
  return tokens;
}

std::wstring UnderscorePiece1(const std::wstring& text) { return UnderscorePiece(text, 1); }

std::wstring UnderscorePiece2(const std::wstring& text) { return UnderscorePiece(text, 2); }
