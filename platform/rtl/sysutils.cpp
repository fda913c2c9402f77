#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <limits>

#include "platform/rtl/sysconst_p.h"

namespace
{

bool IsBlankByte(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int Sign(int64_t v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

std::string MapCodePoints(std::string_view text, char32_t (*map)(char32_t))
{
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t c = Utf8Next(text, pos);
        const char32_t mapped = map(c);
        // Bytes that are not UTF-8 pass through untouched rather than becoming U+FFFD.
        if (mapped == c)
            out.append(text.substr(start, pos - start));
        else
            out += CodePointToUtf8(mapped);
    }
    return out;
}

int CompareFolded(std::string_view a, std::string_view b, bool foldCase)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca = Utf8Next(a, i);
        char32_t cb = Utf8Next(b, j);
        if (foldCase) {
            ca = AnsiUpperChar(ca);
            cb = AnsiUpperChar(cb);
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return (i < a.size()) - (j < b.size());
}

// Reads an integer in the class library's syntax: optional blanks, a sign,
// then decimal digits or '$', 0x, 0X followed by hex digits. Nothing may
// follow. Hex values may fill all 64 bits (so $FFFFFFFFFFFFFFFF is -1).
bool ParseInt64(std::string_view text, int64_t &value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size())
        return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        const uint64_t base = hex ? 16 : 10;
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / base)
            return false;
        magnitude = magnitude * base + digit;
    }
    if (hex) {
        value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
        return true;
    }
    const uint64_t limit = negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
    if (magnitude > limit)
        return false;
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

[[noreturn]] void RaiseInvalidInteger(std::string_view text)
{
    throw EConvertError(Format(SInvalidInteger, text));
}

} // namespace

// ---- Integers ------------------------------------------------------------

std::string IntToStr(int64_t value)
{
    return std::to_string(value);
}

std::string IntToHexBits(uint64_t bits, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out += kDigits[bits & 15];
        bits >>= 4;
    } while (bits != 0);
    const int width = std::clamp(digits, 0, 32);
    if (static_cast<int>(out.size()) < width)
        out.append(static_cast<size_t>(width) - out.size(), '0');
    std::reverse(out.begin(), out.end());
    return out;
}

bool TryStrToInt64(std::string_view text, int64_t &value)
{
    return ParseInt64(text, value);
}

bool TryStrToInt(std::string_view text, int &value)
{
    int64_t wide;
    if (!ParseInt64(text, wide))
        return false;
    // Hex digits may spell a negative 32-bit value ($FFFFFFFF is -1).
    const bool hex = text.find_first_of("$xX") != std::string_view::npos;
    if (hex && wide > INT32_MAX && wide <= static_cast<int64_t>(UINT32_MAX))
        wide = static_cast<int32_t>(static_cast<uint32_t>(wide));
    if (wide < INT32_MIN || wide > INT32_MAX)
        return false;
    value = static_cast<int>(wide);
    return true;
}

int StrToInt(std::string_view text)
{
    int value;
    if (!TryStrToInt(text, value))
        RaiseInvalidInteger(text);
    return value;
}

int64_t StrToInt64(std::string_view text)
{
    int64_t value;
    if (!TryStrToInt64(text, value))
        RaiseInvalidInteger(text);
    return value;
}

int StrToIntDef(std::string_view text, int fallback)
{
    int value;
    return TryStrToInt(text, value) ? value : fallback;
}

int64_t StrToInt64Def(std::string_view text, int64_t fallback)
{
    int64_t value;
    return TryStrToInt64(text, value) ? value : fallback;
}

// ---- Trimming, case and comparison ---------------------------------------

std::string Trim(std::string_view text)
{
    return TrimLeft(TrimRight(text));
}

std::string TrimLeft(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsBlankByte(text[i]))
        ++i;
    return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text)
{
    size_t n = text.size();
    while (n > 0 && IsBlankByte(text[n - 1]))
        --n;
    return std::string(text.substr(0, n));
}

std::string UpperCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiUpper);
    return out;
}

std::string LowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

std::string AnsiUpperCase(std::string_view text)
{
    return MapCodePoints(text, AnsiUpperChar);
}

std::string AnsiLowerCase(std::string_view text)
{
    return MapCodePoints(text, AnsiLowerChar);
}

int CompareStr(std::string_view a, std::string_view b)
{
    return Sign(a.compare(b));
}

int CompareText(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int AnsiCompareStr(std::string_view a, std::string_view b)
{
    return CompareFolded(a, b, false);
}

int AnsiCompareText(std::string_view a, std::string_view b)
{
    return CompareFolded(a, b, true);
}

bool AnsiSameStr(std::string_view a, std::string_view b)
{
    return a == b;
}

bool AnsiSameText(std::string_view a, std::string_view b)
{
    return CompareFolded(a, b, true) == 0;
}

std::string AnsiSameTextKey(std::string_view text)
{
    // Seven bits a byte, the high bit marking a byte that more follow; the
    // code is one-to-one for every value, as UTF-8 is not for surrogates.
    std::string key;
    key.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = AnsiUpperChar(Utf8Next(text, i));
        for (; c >= 0x80; c >>= 7)
            key.push_back(static_cast<char>(0x80 | (c & 0x7F)));
        key.push_back(static_cast<char>(c));
    }
    return key;
}

// ---- Searching and cutting -----------------------------------------------

int Pos(std::string_view sub, std::string_view text)
{
    if (sub.empty())
        return 0;
    const size_t found = text.find(sub);
    return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

int AnsiPos(std::string_view sub, std::string_view text)
{
    return Pos(sub, text);
}

std::string Copy(std::string_view text, int index, int count)
{
    if (index < 1)
        index = 1;
    if (count <= 0 || static_cast<size_t>(index) > text.size())
        return {};
    return std::string(text.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count)));
}

int Utf8Pos(std::string_view sub, std::string_view text)
{
    const int byte = Pos(sub, text);
    return byte == 0 ? 0 : static_cast<int>(Utf8Length(text.substr(0, static_cast<size_t>(byte) - 1))) + 1;
}

std::string Utf8Copy(std::string_view text, int index, int count)
{
    if (index < 1)
        index = 1;
    if (count <= 0)
        return {};
    size_t pos = 0;
    for (int skipped = 1; skipped < index && pos < text.size(); ++skipped)
        Utf8Next(text, pos);
    const size_t start = pos;
    for (int taken = 0; taken < count && pos < text.size(); ++taken)
        Utf8Next(text, pos);
    return std::string(text.substr(start, pos - start));
}

// Delimiters are code points: a byte of one multi-byte character must never
// match a byte of another that shares its lead byte.
bool IsDelimiter(std::string_view delimiters, std::string_view text, int index)
{
    if (index < 1 || static_cast<size_t>(index) > text.size())
        return false;
    size_t pos = static_cast<size_t>(index) - 1;
    if ((static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
        return false; // inside a character, not at one
    const char32_t c = Utf8Next(text, pos);
    return Utf8ToCodePoints(delimiters).find(c) != std::u32string::npos;
}

int LastDelimiter(std::string_view delimiters, std::string_view text)
{
    const std::u32string set = Utf8ToCodePoints(delimiters);
    int last = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        if (set.find(Utf8Next(text, pos)) != std::u32string::npos)
            last = static_cast<int>(start) + 1;
    }
    return last;
}

std::string AnsiQuotedStr(std::string_view text, char32_t quote)
{
    const std::string q = CodePointToUtf8(quote);
    std::string out = q;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t c = Utf8Next(text, pos);
        out.append(text.substr(start, pos - start));
        if (c == quote)
            out += q;
    }
    out += q;
    return out;
}

std::string QuotedStr(std::string_view text)
{
    return AnsiQuotedStr(text, U'\'');
}

std::string StringOfChar(char32_t c, int count)
{
    std::string out;
    const std::string one = CodePointToUtf8(c);
    for (int i = 0; i < count; ++i)
        out += one;
    return out;
}

std::string StringReplace(
    std::string_view text, std::string_view oldPattern, std::string_view newPattern, TReplaceFlags flags)
{
    if (oldPattern.empty())
        return std::string(text);
    const bool ignoreCase = (flags & rfIgnoreCase) != 0;
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t matchEnd = pos + oldPattern.size();
        bool matched;
        if (!ignoreCase) {
            matched = text.compare(pos, oldPattern.size(), oldPattern) == 0;
        } else {
            // Folded forms may differ in byte length, so walk both texts by code point.
            size_t i = pos, j = 0;
            matched = true;
            while (matched && j < oldPattern.size())
                matched = i < text.size()
                    && AnsiUpperChar(Utf8Next(text, i)) == AnsiUpperChar(Utf8Next(oldPattern, j));
            matchEnd = i;
        }
        if (matched) {
            out.append(newPattern);
            pos = matchEnd;
            if ((flags & rfReplaceAll) == 0) {
                out.append(text.substr(pos));
                return out;
            }
            continue;
        }
        const size_t start = pos;
        Utf8Next(text, pos);
        out.append(text.substr(start, pos - start));
    }
    return out;
}
