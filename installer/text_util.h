// Text conversions, formatting and splitting used throughout the installer.
//
// Wide text is UTF-16; "Ansi" text is the Chinese code page GBK (936), which
// the installer uses for registry values, the install context and statistics
// fields whatever the system's own code page is. None of these functions keeps
// state or touches the process-wide C locale, so all of them may be called
// from any thread at the same time.
#pragma once

#include <string>
#include <vector>

// UTF-16 to GBK. The input is taken up to its first NUL. Characters that GBK
// cannot represent (a character outside the Basic Multilingual Plane such as
// an emoji, a lone surrogate, or a BMP character GBK lacks) each become one
// "?": the rest of the text is kept, never cut short. Look-alike "best fit"
// substitutions are not made, so no character can silently turn into a path
// separator, a dot or a quote. When `lossless` is given it is set to false if
// any replacement happened and to true otherwise.
std::string WideToAnsi(const std::wstring& wide, bool* lossless = nullptr);

// GBK to UTF-16. The input is taken up to its first NUL. A byte that does not
// start a valid GBK character (for example a lead byte without its trail byte)
// becomes U+FFFD and decoding goes on with the next byte. `lossless` as above.
std::wstring AnsiToWide(const std::string& narrow, bool* lossless = nullptr);

// UTF-8 <-> UTF-16, input taken up to its first NUL. Malformed input is
// decoded with U+FFFD replacements; empty when the system cannot convert.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// printf-style formatting into a string of exactly the needed length.
// FormatNarrow follows the C99 rules ("%s" takes a narrow string, "%lld" a
// long long). FormatWide follows the Windows C runtime's wide rules: "%s"
// takes a wide string and "%S" a narrow one. An invalid format gives an empty
// result.
std::string FormatNarrow(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::wstring FormatWide(const wchar_t* format, ...);

// Replaces every occurrence of `find` in `*text`, scanning left to right
// without overlap (text inserted by a replacement is never searched again).
// Does nothing when `find` or `*text` is empty. Returns the number of
// replacements.
int ReplaceAll(const std::string& find, const std::string& replacement, std::string* text);
int ReplaceAll(const std::wstring& find, const std::wstring& replacement, std::wstring* text);

// Splits `text` at each occurrence of the text `separator`. Each piece is
// stripped of leading and trailing backspace characters (code 8; blanks are
// kept). Inner empty pieces are kept; an empty last piece (nothing after the
// last separator but backspaces) is dropped. A text without the separator,
// and any text when `separator` is empty, gives one piece: the whole text,
// not stripped.
std::vector<std::wstring> SplitTrimmed(const std::wstring& text, const std::wstring& separator);

// Splits `text` like wcstok: any run of characters from `delimiters`
// separates tokens, and empty tokens never appear.
std::vector<std::wstring> SplitTokens(const std::wstring& text, const std::wstring& delimiters);

// The "_"-separated pieces of an installer's base name that carry its channel
// and campaign codes: ASCII capitals are folded to lower case, the text is
// split with SplitTrimmed at "_", and the piece at index 1 (respectively 2) is
// returned, or "empty" when there are not that many pieces.
std::wstring UnderscorePiece1(const std::wstring& text);
std::wstring UnderscorePiece2(const std::wstring& text);
