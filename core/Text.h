#pragma once
// Text helpers over UTF-8 std::string. Letter-case helpers touch ASCII letters only, which is
// what every key, command and name comparison of the program needs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// Removes leading and trailing blanks and control characters (bytes up to 0x20).
std::string Trim(std::string_view s);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
bool StartsWithText(std::string_view s, std::string_view prefix); // ignoring letter case
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::string ReplaceAllText(std::string_view s, std::string_view from, std::string_view to);
std::vector<std::string> SplitAny(std::string_view s, std::string_view separators);
std::string Join(const std::vector<std::string>& parts, std::string_view separator);

// Decimal integers: an optional sign and digits, nothing else. False on overflow.
bool TryStrToInt(std::string_view s, int32_t& out);
bool TryStrToInt64(std::string_view s, int64_t& out);
std::string IntToStr(int64_t v);

// The value of a hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(char c);
// Line-based files of the sandbox: control characters, '%' and the given separators are
// written as %XX; reading turns every well-formed %XX back (anything else stays as it is).
std::string PercentEscape(std::string_view s, std::string_view specials);
std::string PercentUnescape(std::string_view s);

// UTF-8 <-> the ANSI code page of files the program writes (Windows-1252; on Windows the
// system's). Characters the code page lacks become '?'.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 <-> UTF-16 for the Windows wide-character calls. Malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

} // namespace cv
