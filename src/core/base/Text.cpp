#include "base/Text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <iconv.h>

namespace bram {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point; advances pos. Malformed input yields U+FFFD and
// consumes one byte so that decoding always makes progress.
char32_t DecodeUtf8(std::string_view s, std::size_t& pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + extra >= s.size()) {
        ++pos;
        return kReplacement;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

template <typename Sink>
void ForEachUtf16CodePoint(std::u16string_view s, Sink sink)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        sink(c);
    }
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t cp = DecodeUtf8(text, pos);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    ForEachUtf16CodePoint(text, [&](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::string Utf8ToUtf16LEBytes(std::string_view text)
{
    const std::u16string wide = Utf8ToUtf16(text);
    std::string out;
    out.resize(wide.size() * 2);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        out[2 * i] = static_cast<char>(wide[i] & 0xFF);
        out[2 * i + 1] = static_cast<char>(wide[i] >> 8);
    }
    return out;
}

std::string Utf16LEBytesToUtf8(std::string_view bytes)
{
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return Utf16ToUtf8(wide);
}

namespace {

// Converts one code point at a time so that an unrepresentable character
// becomes '?' instead of failing the whole text.
std::string IconvEach(std::string_view text, const char* to, const char* from, bool fromUtf8)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = pos;
        if (fromUtf8) {
            DecodeUtf8(text, pos);
        } else {
            ++pos;
        }
        char inBuf[8];
        const std::size_t inLen = pos - start;
        std::copy(text.begin() + start, text.begin() + pos, inBuf);
        char outBuf[16];
        char* in = inBuf;
        char* outp = outBuf;
        std::size_t inLeft = inLen;
        std::size_t outLeft = sizeof outBuf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
            out += fromUtf8 ? "?" : "\xEF\xBF\xBD";
        } else {
            out.append(outBuf, outp);
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string Utf8ToCodePage(std::string_view text, const char* codePage)
{
    return IconvEach(text, codePage, "UTF-8", true);
}

std::string CodePageToUtf8(std::string_view bytes, const char* codePage)
{
    return IconvEach(bytes, "UTF-8", codePage, false);
}

std::size_t Utf16Length(std::string_view text)
{
    std::size_t n = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        n += DecodeUtf8(text, pos) >= 0x10000 ? 2 : 1;
    }
    return n;
}

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string ToLowerUnicode(std::string_view utf8)
{
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    std::u16string wide = Utf8ToUtf16(utf8);
    for (char16_t& c : wide) {
        if (c < 0xD800 || c > 0xDFFF) {
            const auto w = static_cast<wint_t>(c);
            c = static_cast<char16_t>(unicode != locale_t(0) ? ::towlower_l(w, unicode) : std::towlower(w));
        }
    }
    return Utf16ToUtf8(wide);
}

std::string ToLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = LowerAscii(c);
    }
    return out;
}

std::string Trim(std::string_view text)
{
    const char* ws = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(ws);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(ws);
    return std::string(text.substr(first, last - first + 1));
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty()) {
        return 0;
    }
    std::size_t count = 0;
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        const auto hit = text.find(from, pos);
        if (hit == std::string::npos) {
            break;
        }
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
        ++count;
    }
    if (count != 0) {
        out.append(text, pos, std::string::npos);
        text = std::move(out);
    }
    return count;
}

std::string StringPrintfV(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<std::size_t>(needed));
    return out;
}

std::string StringPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = StringPrintfV(format, args);
    va_end(args);
    return out;
}

} // namespace bram

namespace bram {

namespace {

std::string_view SkipBlanksAndPlus(std::string_view text, bool& negative)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return text.substr(i);
}

} // namespace

long ParseLeadingInteger(std::string_view text)
{
    bool negative = false;
    const std::string_view digits = SkipBlanksAndPlus(text, negative);
    long long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > 0x80000000LL) {
            value = 0x80000000LL;
        }
    }
    value = negative ? -value : value;
    if (value > 0x7FFFFFFFLL) {
        value = 0x7FFFFFFFLL;
    }
    return static_cast<long>(value);
}

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The leading number of `rest` as the C library reads it: decimal, or
// hexadecimal after "0x" (with a binary exponent after "p"); `number` is
// the part read, without the prefix.
std::from_chars_result ParseLeadingNumber(std::string_view rest, double& value, bool& hex, std::string_view& number)
{
    hex = rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
          (IsHexDigit(rest[2]) || (rest[2] == '.' && rest.size() > 3 && IsHexDigit(rest[3])));
    const char* first = rest.data() + (hex ? 2 : 0);
    const auto result = std::from_chars(first, rest.data() + rest.size(), value,
                                        hex ? std::chars_format::hex : std::chars_format::general);
    number = std::string_view(first, static_cast<std::size_t>(result.ptr - first));
    return result;
}

// For a number out of the double range: whether it is too large rather than
// too small, from the place of its first significant digit and its exponent
// (decimal, or binary for a hexadecimal number).
bool BeyondLargest(std::string_view number, bool hex)
{
    const auto e = number.find_first_of(hex ? "pP" : "eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        bool negative = false;
        std::string_view digits = SkipBlanksAndPlus(number.substr(e + 1), negative);
        for (std::size_t i = 0; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
            exponent = std::min(exponent * 10 + (digits[i] - '0'), 1000000000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    const auto point = mantissa.find('.');
    const long long whole = static_cast<long long>(point == std::string_view::npos ? mantissa.size() : point);
    const auto first = mantissa.find_first_of(hex ? "123456789abcdefABCDEF" : "123456789");
    if (first == std::string_view::npos) {
        return false;
    }
    const long long place = static_cast<long long>(first) < whole ? whole - static_cast<long long>(first) - 1
                                                                  : whole - static_cast<long long>(first);
    return (hex ? place * 4 : place) + exponent > 0;
}

} // namespace

double ParseLeadingDouble(std::string_view text)
{
    bool negative = false;
    const std::string_view rest = SkipBlanksAndPlus(text, negative);
    if (rest.empty() || rest.front() == '-' || rest.front() == '+') {
        return 0.0;
    }
    double value = 0.0;
    bool hex = false;
    std::string_view number;
    const auto result = ParseLeadingNumber(rest, value, hex, number);
    if (result.ec == std::errc::invalid_argument) {
        return 0.0;
    }
    if (result.ec == std::errc::result_out_of_range) {
        value = BeyondLargest(number, hex) ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

bool ParseLeadingFiniteDouble(std::string_view text, double& value)
{
    bool negative = false;
    const std::string_view rest = SkipBlanksAndPlus(text, negative);
    value = 0.0;
    if (rest.empty() || rest.front() == '-' || rest.front() == '+') {
        return true;
    }
    double parsed = 0.0;
    bool hex = false;
    std::string_view number;
    const auto result = ParseLeadingNumber(rest, parsed, hex, number);
    if (result.ec == std::errc::invalid_argument) {
        return true;
    }
    if (result.ec == std::errc::result_out_of_range) {
        return !BeyondLargest(number, hex);
    }
    if (!std::isfinite(parsed)) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

std::string FirstFreeName(const std::string& name, const std::function<bool(const std::string&)>& taken)
{
    if (!taken(name)) {
        return name;
    }
    for (int n = 2;; ++n) {
        std::string candidate = StringPrintf("%s_%d", name.c_str(), n);
        if (!taken(candidate)) {
            return candidate;
        }
    }
}

} // namespace bram
