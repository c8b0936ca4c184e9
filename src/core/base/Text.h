#pragma once
// Text helpers. Core text is UTF-8 in std::string; UTF-16 appears only at the
// boundaries that file formats fix.

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

// Invalid sequences become U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Little-endian byte forms of UTF-16 text.
std::string Utf8ToUtf16LEBytes(std::string_view text);
std::string Utf16LEBytesToUtf8(std::string_view bytes);

// Windows-1252 ("Ansi") and CP437 ("OEM") conversions; characters that the
// code page cannot hold become '?'.
std::string Utf8ToCodePage(std::string_view text, const char* codePage);
std::string CodePageToUtf8(std::string_view bytes, const char* codePage);

// Number of UTF-16 code units the text takes (the unit Windows lengths use).
std::size_t Utf16Length(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLowerAscii(std::string_view text);
// Lower case by the Unicode tables (UTF-16 units outside surrogates),
// whatever locale the process runs in, so that every program folds alike.
std::string ToLowerUnicode(std::string_view utf8);
std::string Trim(std::string_view text);
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// Replaces every occurrence; returns how many were replaced.
std::size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// The leading decimal number of a text, as the C library reads it: blanks,
// an optional sign, digits (clamped to the 32-bit range); no number gives 0.
long ParseLeadingInteger(std::string_view text);
// The leading floating-point number as the C library reads it, independent
// of the locale: decimal, or hexadecimal after "0x" ("0x1.8p3" is 12); no
// number gives 0.0, a number beyond the double range infinity, one too small
// for it 0.0.
double ParseLeadingDouble(std::string_view text);
// The same, but false when the leading number is no finite double: "nan",
// "inf" or a number too large for the double range. A number too small for
// it reads as 0, as does text that is no number.
bool ParseLeadingFiniteDouble(std::string_view text, double& value);

// The name itself when it is free, else the first "name_n" (n = 2, 3, ...)
// that is: how copies are named wherever a name must be unique.
std::string FirstFreeName(const std::string& name, const std::function<bool(const std::string&)>& taken);

std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StringPrintfV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

} // namespace bram
