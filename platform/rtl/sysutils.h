#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/rtl/currency.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/utf8.h"

// Strings are UTF-8. Pos, Copy, IsDelimiter and LastDelimiter count bytes,
// 1-based, so their results index the same std::string (delimiters still
// match whole characters only); the Utf8 forms and everything that compares,
// pads or changes case work on code points.

// ---- Integers ------------------------------------------------------------

template <std::integral T>
requires(!std::same_as<T, bool>) std::string IntToStr(T value)
{
    return std::to_string(value);
}
// Hexadecimal digits, upper case, at least `digits` of them. Negative values
// show their two's complement in the width of their own type.
std::string IntToHexBits(uint64_t bits, int digits);
template <std::integral T> std::string IntToHex(T value, int digits)
{
    return IntToHexBits(static_cast<std::make_unsigned_t<T>>(value), digits);
}

// Decimal, or hexadecimal after '$' or 0x; leading blanks are allowed.
// Raises EConvertError "'%s' is not a valid integer value".
int StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);
int StrToIntDef(std::string_view text, int fallback);
int64_t StrToInt64Def(std::string_view text, int64_t fallback);
bool TryStrToInt(std::string_view text, int &value);
bool TryStrToInt64(std::string_view text, int64_t &value);

// ---- Trimming, case and comparison ---------------------------------------

// Trimming removes spaces and control characters (bytes up to ' ').
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// The plain forms touch only A-Z and a-z; the Ansi forms fold every code point
// by simple case mapping (Latin, Greek, Cyrillic, ...), the same on any host.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
char32_t AnsiUpperChar(char32_t c);
char32_t AnsiLowerChar(char32_t c);

// Comparisons answer <0, 0 or >0. CompareStr and CompareText order bytes
// (CompareText ignoring ASCII case); the Ansi forms order code points.
int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// The text's code points in upper case, packed into bytes (ASCII as it is):
// two texts have the same key exactly when AnsiSameText holds, so a hash
// table finds names without case.
std::string AnsiSameTextKey(std::string_view text);

// ---- Searching and cutting -----------------------------------------------

int Pos(std::string_view sub, std::string_view text); // 0 when absent
int AnsiPos(std::string_view sub, std::string_view text); // the same as Pos
std::string Copy(std::string_view text, int index, int count); // clipped to the text
int Utf8Pos(std::string_view sub, std::string_view text); // in code points
std::string Utf8Copy(std::string_view text, int index, int count); // in code points
bool IsDelimiter(std::string_view delimiters, std::string_view text, int index);
int LastDelimiter(std::string_view delimiters, std::string_view text); // 0 when none

std::string QuotedStr(std::string_view text); // 'it''s'
std::string AnsiQuotedStr(std::string_view text, char32_t quote);
std::string StringOfChar(char32_t c, int count);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = unsigned;
std::string StringReplace(
    std::string_view text, std::string_view oldPattern, std::string_view newPattern, TReplaceFlags flags);

// ---- Floating point ------------------------------------------------------

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Raises EConvertError "'%s' is not a valid floating point value". Accepts
// the decimal separator of the settings and an exponent; leading and trailing
// blanks are allowed, thousands separators are not.
double StrToFloat(std::string_view text, const TFormatSettings &settings = FormatSettings);
double StrToFloatDef(
    std::string_view text, double fallback, const TFormatSettings &settings = FormatSettings);
bool TryStrToFloat(std::string_view text, double &value, const TFormatSettings &settings = FormatSettings);
bool TextToFloat(std::string_view text, double &value, const TFormatSettings &settings = FormatSettings);

// precision: significant digits (at most 18); digits: decimals for ffFixed,
// ffNumber and ffCurrency, minimum exponent digits for ffExponent and
// ffGeneral. Decimal digits round half away from zero, as the class library
// shows them.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
    const TFormatSettings &settings = FormatSettings);
std::string FloatToStr(double value, const TFormatSettings &settings = FormatSettings);
// Pictures: '0' digit, '#' optional digit, '.' decimal point, ',' thousands,
// E+ E- e+ e- exponent, 'quoted' and "quoted" literals, up to three sections
// (positive;negative;zero) separated by ';'.
std::string FormatFloat(
    std::string_view picture, double value, const TFormatSettings &settings = FormatSettings);

// Round is half to even; Round and Trunc raise EInvalidOp "Invalid floating
// point operation" for NaN, infinities and values outside int64_t.
int64_t Round(double value);
int64_t Trunc(double value);
double Int(double value);
double Frac(double value);

// ---- Currency ------------------------------------------------------------

Currency StrToCurr(std::string_view text, const TFormatSettings &settings = FormatSettings);
Currency StrToCurrDef(
    std::string_view text, Currency fallback, const TFormatSettings &settings = FormatSettings);
bool TryStrToCurr(std::string_view text, Currency &value, const TFormatSettings &settings = FormatSettings);
// Exact: the four decimals are never routed through a double.
std::string CurrToStr(Currency value, const TFormatSettings &settings = FormatSettings);
std::string CurrToStrF(
    Currency value, TFloatFormat format, int digits, const TFormatSettings &settings = FormatSettings);
std::string FormatCurr(
    std::string_view picture, Currency value, const TFormatSettings &settings = FormatSettings);

// ---- Format --------------------------------------------------------------

// One argument of Format, keeping its kind so that every specifier can be
// checked against what it is given. Strings are viewed, not copied: the
// argument lives for the duration of the call only.
class TFormatArg
{
public:
    enum class Kind { Integer, Unsigned, Float, Currency, String, Pointer };

    template <std::signed_integral T>
    requires(!std::same_as<T, char>) TFormatArg(T v)
        : TFormatArg(Kind::Integer, static_cast<int64_t>(v), 0, sizeof(T) * 8)
    {
    }
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool>) TFormatArg(T v)
        : TFormatArg(Kind::Unsigned, 0, static_cast<uint64_t>(v), sizeof(T) * 8)
    {
    }
    template <typename T>
    requires std::is_enum_v<T> TFormatArg(T v)
        : TFormatArg(static_cast<std::underlying_type_t<T>>(v))
    {
    }
    TFormatArg(double v);
    TFormatArg(::Currency v);
    TFormatArg(char c);
    TFormatArg(const char *s);
    TFormatArg(const std::string &s);
    TFormatArg(std::string_view s);
    TFormatArg(const void *p);
    TFormatArg(std::nullptr_t);
    TFormatArg(bool) = delete;
    TFormatArg(const TFormatArg &other);
    TFormatArg &operator=(const TFormatArg &) = delete;

    Kind ArgKind() const { return kind_; }
    int64_t AsInteger() const { return int_; }
    uint64_t AsUnsigned() const { return uint_; }
    int Bits() const { return bits_; }
    double AsFloat() const { return float_; }
    ::Currency AsCurrency() const { return currency_; }
    std::string_view AsString() const { return string_; }
    const void *AsPointer() const { return pointer_; }

private:
    TFormatArg(Kind kind, int64_t i, uint64_t u, int bits);

    Kind kind_;
    int64_t int_ = 0;
    uint64_t uint_ = 0;
    int bits_ = 64; // of the integer type passed, for %u and %x of negative values
    double float_ = 0;
    ::Currency currency_;
    std::string_view string_;
    const void *pointer_ = nullptr;
    char char_ = 0; // a single character argument, viewed by string_
};

// %[index:][-][width][.precision]type with types d u x e f g n m p s (either
// case), '*' for index, width or precision taken from an integer argument,
// and %% for a percent sign. An argument index counts from 0. Widths, and
// the precision of %s, count code points. A specifier that does not fit its
// argument, a width or precision above 4096, or a missing argument raises
// EConvertError "Format '%s' invalid or incompatible with argument" / "No
// argument for format '%s'" instead of reading the wrong thing.
std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args,
    const TFormatSettings &settings = FormatSettings);

template <typename... Args> std::string Format(std::string_view format, const Args &...args)
{
    const std::array<TFormatArg, sizeof...(Args)> list { TFormatArg(args)... };
    return FormatArgs(format, list, FormatSettings);
}

template <typename... Args>
std::string FormatFS(const TFormatSettings &settings, std::string_view format, const Args &...args)
{
    const std::array<TFormatArg, sizeof...(Args)> list { TFormatArg(args)... };
    return FormatArgs(format, list, settings);
}
