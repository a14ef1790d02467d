#include "installer/zip_entry_name.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

bool EqualsAsciiNoCase(const std::wstring& text, const wchar_t* upper) {
  size_t length = wcslen(upper);
  if (text.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (AsciiUpper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Rules 1 to 4, as the layer has always applied them.
void StripDrivesRootsAndClimbs(std::wstring* name) {
  static const wchar_t* const kClimbs[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  for (;;) {
    if (name->size() >= 2 && (*name)[1] == L':') {
      name->erase(0, 2);
      continue;
    }
    if (!name->empty() && IsSeparator((*name)[0])) {
      name->erase(0, 1);
      continue;
    }
    bool removed = false;
    for (const wchar_t* climb : kClimbs) {
      size_t at = name->find(climb);
      if (at != std::wstring::npos) {
        name->erase(0, at + 4);
        removed = true;
        break;
      }
    }
    if (!removed) return;
  }
}

struct Segment {
  std::wstring text;
  wchar_t separator_before;  // 0 for the first segment
};

}  // namespace

std::wstring DecodeEntryName(const char* bytes, size_t length) {
  const void* nul = std::memchr(bytes, 0, length);
  if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
  if (length == 0) return std::wstring();
  int count = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), nullptr, 0);
  if (count <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), &wide[0], count);
  return wide;
}

bool IsReservedDeviceName(const std::wstring& segment) {
  std::wstring base = segment.substr(0, segment.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  static const wchar_t* const kFixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* name : kFixed) {
    if (EqualsAsciiNoCase(base, name)) return true;
  }
  if (base.size() != 4) return false;
  std::wstring stem = base.substr(0, 3);
  if (!EqualsAsciiNoCase(stem, L"COM") && !EqualsAsciiNoCase(stem, L"LPT")) return false;
  wchar_t digit = base[3];
  // Windows also treats the superscript digits one to three as port numbers.
  return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
}

std::wstring SanitizeEntryName(std::wstring name) {
  StripDrivesRootsAndClimbs(&name);

  std::vector<Segment> kept;
  wchar_t separator = 0;
  size_t start = 0;
  const bool folder = !name.empty() && IsSeparator(name.back());
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::wstring text = name.substr(start, end - start);
    wchar_t next_separator = end < name.size() ? name[end] : 0;

    size_t dots = 0;
    bool only_dots_and_spaces = true;
    for (wchar_t c : text) {
      if (c == L'.') {
        ++dots;
      } else if (c != L' ') {
        only_dots_and_spaces = false;
      }
    }
    if (only_dots_and_spaces) {
      // ".." (and what Windows could read as "..") climbs: like the rules
      // above, drop it with everything before it. "." and "" are no-ops.
      if (dots >= 2) kept.clear();
    } else {
      while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
      for (wchar_t& c : text) {
        if (c == L':') c = L'_';
      }
      if (IsReservedDeviceName(text)) text.insert(0, 1, L'_');
      kept.push_back({text, separator});
    }

    separator = next_separator;
    if (end >= name.size()) break;
    start = end + 1;
  }

  std::wstring result;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += kept[i].separator_before ? kept[i].separator_before : L'\\';
    result += kept[i].text;
  }
  if (folder && !result.empty()) result += name.back();
  return result;
}
