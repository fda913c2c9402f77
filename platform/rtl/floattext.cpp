// Floating-point and currency text: reading, FloatToStrF, FormatFloat and
// the Round family.
#include "platform/rtl/floattext_p.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <vector>

#include "platform/rtl/sysconst_p.h"
#include "platform/rtl/sysutils.h"

namespace
{

constexpr int kMaxFloatPrecision = 18;
constexpr int kCurrencyPrecision = 19; // every digit a Currency can hold

[[noreturn]] void RaiseInvalidOp()
{
    throw EInvalidOp(SInvalidOp);
}

std::string Sep(char32_t c)
{
    return c == 0 ? std::string() : CodePointToUtf8(c);
}

// ---- Writing -------------------------------------------------------------

std::string DigitsOrZeros(const DecimalDigits &d, int from, int count)
{
    std::string out;
    for (int i = from; i < from + count; ++i)
        out += i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';
    return out;
}

std::string GroupThousands(const std::string &integer, char32_t separator)
{
    if (separator == 0 || integer.size() <= 3)
        return integer;
    const std::string sep = Sep(separator);
    std::string out;
    for (size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0)
            out += sep;
        out += integer[i];
    }
    return out;
}

std::string ExponentText(int exponent, int minDigits, bool plusSign)
{
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
    return (exponent < 0 ? "-" : (plusSign ? "+" : "")) + digits;
}

// d.ddd (precision digits) E+xxx. With `trim`, trailing zeros of the mantissa go.
std::string ScientificText(
    const DecimalDigits &d, int precision, int expDigits, bool plusSign, bool trim, const TFormatSettings &fs)
{
    std::string mantissa = DigitsOrZeros(d, 0, precision);
    if (trim)
        while (mantissa.size() > 1 && mantissa.back() == '0')
            mantissa.pop_back();
    std::string out(1, mantissa[0]);
    if (mantissa.size() > 1)
        out += Sep(fs.DecimalSeparator) + mantissa.substr(1);
    const int exponent = d.digits.empty() ? 0 : d.exponent - 1;
    return out + "E" + ExponentText(exponent, expDigits, plusSign);
}

// The integer digits and exactly `decimals` decimals of a rounded value.
std::string FixedText(const DecimalDigits &d, int decimals, bool thousands, const TFormatSettings &fs)
{
    std::string integer = d.exponent > 0 ? DigitsOrZeros(d, 0, d.exponent) : "0";
    if (thousands)
        integer = GroupThousands(integer, fs.ThousandSeparator);
    if (decimals <= 0)
        return integer;
    return integer + Sep(fs.DecimalSeparator) + DigitsOrZeros(d, d.exponent, decimals);
}

std::string GeneralText(DecimalDigits d, int precision, int expDigits, const TFormatSettings &fs)
{
    RoundDecimal(d, precision);
    if (d.digits.empty())
        return "0";
    if (d.exponent > precision || d.exponent < -4)
        return ScientificText(d, precision, expDigits, false, true, fs);
    const int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
    return FixedText(d, decimals, false, fs);
}

// The class library's currency patterns: CurrencyFormat 0..3 for positive
// amounts, NegCurrFormat 0..15 for negative ones ('1' stands for the number).
std::string CurrencyText(const std::string &number, bool negative, const TFormatSettings &fs)
{
    static constexpr const char *kPositive[] = { "$1", "1$", "$ 1", "1 $" };
    static constexpr const char *kNegative[] = { "($1)", "-$1", "$-1", "$1-", "(1$)", "-1$", "1-$", "1$-",
        "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)" };
    const char *pattern = negative ? kNegative[fs.NegCurrFormat % 16] : kPositive[fs.CurrencyFormat % 4];
    std::string out;
    for (const char *p = pattern; *p; ++p) {
        if (*p == '$')
            out += fs.CurrencyString;
        else if (*p == '1')
            out += number;
        else
            out += *p;
    }
    return out;
}

std::string NonFinite(double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// ---- FormatFloat pictures ------------------------------------------------

struct Picture {
    std::string_view text;
    int integerPlaces = 0; // '0' and '#' before the point
    int requiredInteger = 0; // from the first '0' before the point
    int decimalPlaces = 0; // '0' and '#' after the point
    int requiredDecimals = 0;
    bool hasPoint = false;
    bool thousands = false;
    bool scientific = false;
    bool anyPlaceholder = false;
};

// Walks a picture section, calling onLiteral for text to copy and onToken for
// placeholders, the point, commas and the exponent (given as 'E', its sign
// character and its digit count).
template <typename Literal, typename Token>
void WalkPicture(std::string_view text, Literal onLiteral, Token onToken)
{
    size_t i = 0;
    bool inExponent = false;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            const size_t end = text.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? text.size() : end;
            onLiteral(text.substr(i + 1, stop - i - 1));
            i = stop == text.size() ? stop : stop + 1;
        } else if ((c == 'E' || c == 'e') && i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-')
            && !inExponent) {
            size_t j = i + 2;
            int zeros = 0;
            while (j < text.size() && text[j] == '0') {
                ++zeros;
                ++j;
            }
            onToken(c, text[i + 1], zeros);
            inExponent = true;
            i = j;
        } else if (c == '0' || c == '#' || c == '.' || c == ',') {
            onToken(c, 0, 0);
            ++i;
        } else {
            onLiteral(text.substr(i, 1));
            ++i;
        }
    }
}

Picture ParsePicture(std::string_view text)
{
    Picture p;
    p.text = text;
    bool seenZero = false;
    WalkPicture(
        text, [](std::string_view) {},
        [&](char c, char, int) {
            if (c == '0' || c == '#') {
                p.anyPlaceholder = true;
                if (!p.hasPoint) {
                    ++p.integerPlaces;
                    if (c == '0')
                        seenZero = true;
                    if (seenZero)
                        ++p.requiredInteger;
                } else {
                    ++p.decimalPlaces;
                    if (c == '0')
                        p.requiredDecimals = p.decimalPlaces;
                }
            } else if (c == '.') {
                p.hasPoint = true;
            } else if (c == ',') {
                p.thousands = true;
            } else {
                p.scientific = true;
            }
        });
    return p;
}

std::vector<std::string_view> SplitSections(std::string_view picture)
{
    std::vector<std::string_view> sections;
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';' && sections.size() < 2) {
            sections.push_back(picture.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(picture.substr(start));
    return sections;
}

// Rounds the magnitude for a picture; for a scientific picture also returns
// the exponent that leaves integerPlaces digits before the point.
DecimalDigits RoundForPicture(DecimalDigits d, const Picture &p, int precision, int &exponentOut)
{
    exponentOut = 0;
    if (p.scientific) {
        const int integerDigits = std::max(p.integerPlaces, 1);
        RoundDecimal(d, std::min(precision, integerDigits + p.decimalPlaces));
        if (!d.digits.empty()) {
            exponentOut = d.exponent - integerDigits;
            d.exponent = integerDigits;
        }
    } else {
        RoundDecimal(d, std::min(precision, d.exponent + p.decimalPlaces));
    }
    return d;
}

std::string RenderPicture(
    const DecimalDigits &d, const Picture &p, int exponent, bool minus, const TFormatSettings &fs)
{
    // The integer digits, at least requiredInteger of them; a value below one
    // shows no integer digit unless a '0' asks for it.
    std::string integer = d.exponent > 0 ? DigitsOrZeros(d, 0, d.exponent) : std::string();
    if (static_cast<int>(integer.size()) < p.requiredInteger)
        integer.insert(0, static_cast<size_t>(p.requiredInteger) - integer.size(), '0');
    std::string fraction = DigitsOrZeros(d, d.exponent, p.decimalPlaces);
    while (
        static_cast<int>(fraction.size()) > p.requiredDecimals && !fraction.empty() && fraction.back() == '0')
        fraction.pop_back();

    std::string out = minus ? "-" : "";
    const std::string thousandSep = Sep(fs.ThousandSeparator);
    int integerSlot = 0; // placeholders before the point seen so far
    int fractionSlot = 0;
    bool afterPoint = false;
    auto emitInteger = [&](size_t index) {
        out += integer[index];
        const size_t fromRight = integer.size() - 1 - index;
        if (p.thousands && fromRight > 0 && fromRight % 3 == 0)
            out += thousandSep;
    };
    // A picture without integer placeholders (".00") still shows the integer
    // digits, just before the point or the exponent.
    auto emitUnplacedInteger = [&] {
        if (p.integerPlaces == 0 && integerSlot == 0) {
            for (size_t i = 0; i < integer.size(); ++i)
                emitInteger(i);
            integerSlot = 1;
        }
    };
    WalkPicture(
        p.text, [&](std::string_view literal) { out.append(literal); },
        [&](char c, char sign, int zeros) {
            if ((c == '0' || c == '#') && !afterPoint) {
                // Slot k of n stands for digit n-1-k from the right; the first
                // slot also takes every digit that has no slot of its own.
                const int slotFromRight = p.integerPlaces - 1 - integerSlot;
                const int len = static_cast<int>(integer.size());
                if (integerSlot == 0) {
                    for (int i = 0; i < len - slotFromRight; ++i)
                        emitInteger(static_cast<size_t>(i));
                } else if (slotFromRight < len) {
                    emitInteger(static_cast<size_t>(len - 1 - slotFromRight));
                }
                ++integerSlot;
            } else if (c == '0' || c == '#') {
                if (fractionSlot < static_cast<int>(fraction.size()))
                    out += fraction[static_cast<size_t>(fractionSlot)];
                ++fractionSlot;
            } else if (c == '.') {
                emitUnplacedInteger();
                if (!afterPoint && !fraction.empty())
                    out += Sep(fs.DecimalSeparator);
                afterPoint = true;
            } else if (c == 'E' || c == 'e') {
                emitUnplacedInteger();
                out += c;
                out += ExponentText(exponent, zeros, sign == '+');
            }
        });
    emitUnplacedInteger();
    return out;
}

std::string FormatDecimal(
    std::string_view picture, const DecimalDigits &value, int precision, const TFormatSettings &fs)
{
    if (picture.empty())
        return DecimalToText(value, ffGeneral, std::min(precision, 15), 0, fs);
    const std::vector<std::string_view> sections = SplitSections(picture);
    const bool negative = value.negative && !value.digits.empty();
    size_t chosen = 0;
    if (negative && sections.size() > 1 && !sections[1].empty())
        chosen = 1;
    else if (value.digits.empty() && sections.size() > 2 && !sections[2].empty())
        chosen = 2;

    Picture p = ParsePicture(sections[chosen]);
    if (!p.anyPlaceholder && !p.scientific)
        return RenderPicture(DecimalDigits {}, p, 0, false, fs);
    int exponent = 0;
    DecimalDigits rounded = RoundForPicture(value, p, precision, exponent);
    // A value that rounds to zero is written by the zero section when there is one.
    if (rounded.digits.empty() && chosen != 2 && sections.size() > 2 && !sections[2].empty()) {
        p = ParsePicture(sections[2]);
        rounded = RoundForPicture(DecimalDigits {}, p, precision, exponent);
    }
    const bool minus = negative && chosen == 0 && !rounded.digits.empty();
    return RenderPicture(rounded, p, exponent, minus, fs);
}

// ---- Reading -------------------------------------------------------------

// Reads [blanks][sign]digits[sep digits][E[sign]digits][blanks] into a
// plain ASCII number; the separator must come from the settings.
bool ScanNumber(std::string_view text, const TFormatSettings &fs, bool &negative, std::string &mantissa,
    int &pointAt, int64_t &exponent)
{
    const std::string sep = CodePointToUtf8(fs.DecimalSeparator);
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    mantissa.clear();
    pointAt = -1;
    bool anyDigit = false;
    while (i < text.size()) {
        if (text[i] >= '0' && text[i] <= '9') {
            mantissa += text[i++];
            anyDigit = true;
        } else if (pointAt < 0 && text.compare(i, sep.size(), sep) == 0) {
            pointAt = static_cast<int>(mantissa.size());
            i += sep.size();
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    if (pointAt < 0)
        pointAt = static_cast<int>(mantissa.size());
    exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            negativeExponent = text[i++] == '-';
        const size_t digitsStart = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i == digitsStart)
            return false;
        if (negativeExponent)
            exponent = -exponent;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i == text.size();
}

[[noreturn]] void RaiseInvalidFloat(std::string_view text)
{
    throw EConvertError(Format(SInvalidFloat, text));
}

// The raising and the defaulting forms of a Try conversion of a number.
template <class T, class Try>
T ConvertOrRaise(Try tryConvert, std::string_view text, const TFormatSettings &fs)
{
    T value;
    if (!tryConvert(text, value, fs))
        RaiseInvalidFloat(text);
    return value;
}

template <class T, class Try>
T ConvertOrDefault(Try tryConvert, std::string_view text, T fallback, const TFormatSettings &fs)
{
    T value;
    return tryConvert(text, value, fs) ? value : fallback;
}

} // namespace

// ---- Decimal digits (shared with Format) ---------------------------------

namespace
{

// Every double has a finite decimal expansion of at most 767 significant
// digits. Forty of them decide every rounding to 19 digits or fewer, except
// when they end in a 5 exactly where the rounding happens; then RoundDecimal
// asks for all of them.
DecimalDigits ExpandDouble(double value, int significantDigits)
{
    DecimalDigits d;
    d.negative = std::signbit(value);
    d.source = value;
    d.approximate = significantDigits < 767;
    if (value == 0 || !std::isfinite(value))
        return d;
    char buffer[800];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
        std::chars_format::scientific, significantDigits - 1);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = text.find('e');
    d.digits = text[0] + (e > 2 ? std::string(text.substr(2, e - 2)) : std::string());
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
    d.exponent = exponent + 1;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

} // namespace

DecimalDigits DecimalOfDouble(double value)
{
    return ExpandDouble(value, 40);
}

DecimalDigits DecimalOfCurrency(Currency value)
{
    DecimalDigits d;
    d.negative = value.Value < 0;
    const uint64_t magnitude
        = value.Value < 0 ? 0 - static_cast<uint64_t>(value.Value) : static_cast<uint64_t>(value.Value);
    if (magnitude == 0)
        return d;
    d.digits = std::to_string(magnitude);
    d.exponent = static_cast<int>(d.digits.size()) - 4;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

void RoundDecimal(DecimalDigits &d, int keep)
{
    if (d.approximate && keep >= 0 && static_cast<int>(d.digits.size()) == keep + 1
        && d.digits[static_cast<size_t>(keep)] == '5')
        d = ExpandDouble(d.source, 767);
    if (keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9')
            d.digits[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            ++d.digits[static_cast<size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
}

std::string DecimalToText(
    DecimalDigits d, TFloatFormat format, int precision, int digits, const TFormatSettings &fs)
{
    switch (format) {
    case ffGeneral:
        return (d.negative && !d.digits.empty() ? "-" : "")
            + GeneralText(d, precision, std::clamp(digits, 0, 4), fs);
    case ffExponent: {
        RoundDecimal(d, precision);
        const std::string text = ScientificText(d, precision, std::clamp(digits, 0, 4), true, false, fs);
        return (d.negative && !d.digits.empty() ? "-" : "") + text;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
        const int decimals = std::clamp(digits, 0, kMaxFloatPrecision);
        if (d.exponent > precision && !d.digits.empty())
            return DecimalToText(d, ffExponent, precision, 0, fs);
        RoundDecimal(d, std::min(precision, d.exponent + decimals));
        const bool minus = d.negative && !d.digits.empty();
        const std::string number = FixedText(d, decimals, format != ffFixed, fs);
        if (format == ffCurrency)
            return CurrencyText(number, minus, fs);
        return (minus ? "-" : "") + number;
    }
    }
    return {};
}

// ---- Public conversions --------------------------------------------------

std::string FloatToStrF(
    double value, TFloatFormat format, int precision, int digits, const TFormatSettings &fs)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    const int p = std::clamp(precision, 1, kMaxFloatPrecision);
    return DecimalToText(DecimalOfDouble(value), format, p, digits, fs);
}

std::string FloatToStr(double value, const TFormatSettings &fs)
{
    return FloatToStrF(value, ffGeneral, 15, 0, fs);
}

std::string FormatFloat(std::string_view picture, double value, const TFormatSettings &fs)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    return FormatDecimal(picture, DecimalOfDouble(value), kMaxFloatPrecision, fs);
}

std::string FormatCurr(std::string_view picture, Currency value, const TFormatSettings &fs)
{
    return FormatDecimal(picture, DecimalOfCurrency(value), kCurrencyPrecision, fs);
}

std::string CurrToStrF(Currency value, TFloatFormat format, int digits, const TFormatSettings &fs)
{
    return DecimalToText(DecimalOfCurrency(value), format, kCurrencyPrecision, digits, fs);
}

std::string CurrToStr(Currency value, const TFormatSettings &fs)
{
    return CurrToStrF(value, ffGeneral, 0, fs);
}

bool TextToFloat(std::string_view text, double &value, const TFormatSettings &fs)
{
    bool negative;
    std::string mantissa;
    int pointAt;
    int64_t exponent;
    if (!ScanNumber(text, fs, negative, mantissa, pointAt, exponent))
        return false;
    const size_t firstNonZero = mantissa.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        value = negative ? -0.0 : 0.0;
        return true;
    }
    const std::string ascii = mantissa.substr(0, static_cast<size_t>(pointAt)) + "."
        + mantissa.substr(static_cast<size_t>(pointAt)) + "e" + std::to_string(exponent);
    double parsed = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large is an error; too small to represent is zero.
        const int64_t magnitude = exponent + pointAt - static_cast<int64_t>(firstNonZero);
        if (magnitude > 0)
            return false;
        parsed = 0;
    } else if (result.ec != std::errc()) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

bool TryStrToFloat(std::string_view text, double &value, const TFormatSettings &fs)
{
    return TextToFloat(text, value, fs);
}

double StrToFloat(std::string_view text, const TFormatSettings &fs)
{
    return ConvertOrRaise<double>(TextToFloat, text, fs);
}

double StrToFloatDef(std::string_view text, double fallback, const TFormatSettings &fs)
{
    return ConvertOrDefault(TextToFloat, text, fallback, fs);
}

bool TryStrToCurr(std::string_view text, Currency &value, const TFormatSettings &fs)
{
    bool negative;
    std::string mantissa;
    int pointAt;
    int64_t exponent;
    if (!ScanNumber(text, fs, negative, mantissa, pointAt, exponent))
        return false;
    // Exact decimal arithmetic: the digits are shifted to ten-thousandths and
    // rounded half to even there, so "0.00005" and "0.00015" both land on
    // their even neighbour. `point` counts the mantissa digits that form the
    // whole number of ten-thousandths.
    const size_t firstNonZero = mantissa.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        value = Currency();
        return true;
    }
    const int64_t point = static_cast<int64_t>(pointAt) + exponent + 4;
    const auto size = static_cast<int64_t>(mantissa.size());
    if (point - static_cast<int64_t>(firstNonZero) > 19)
        return false;
    auto digitAt = [&](int64_t i) { return i >= 0 && i < size ? mantissa[static_cast<size_t>(i)] - '0' : 0; };
    unsigned __int128 whole = 0;
    for (int64_t i = static_cast<int64_t>(firstNonZero); i < point; ++i)
        whole = whole * 10 + static_cast<unsigned>(digitAt(i));
    const int firstDropped = digitAt(point);
    bool moreDropped = false;
    for (int64_t i = std::max<int64_t>(point + 1, 0); i < size; ++i)
        moreDropped = moreDropped || digitAt(i) != 0;
    if (firstDropped > 5 || (firstDropped == 5 && (moreDropped || (whole & 1) != 0)))
        ++whole;
    const unsigned __int128 limit = negative ? (static_cast<unsigned __int128>(1) << 63)
                                             : (static_cast<unsigned __int128>(1) << 63) - 1;
    if (whole > limit)
        return false;
    value = Currency::FromRaw(
        negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(whole)) : static_cast<int64_t>(whole));
    return true;
}

Currency StrToCurr(std::string_view text, const TFormatSettings &fs)
{
    return ConvertOrRaise<Currency>(TryStrToCurr, text, fs);
}

Currency StrToCurrDef(std::string_view text, Currency fallback, const TFormatSettings &fs)
{
    return ConvertOrDefault(TryStrToCurr, text, fallback, fs);
}

// ---- Rounding ------------------------------------------------------------

int64_t Round(double value)
{
    const double rounded = std::nearbyint(value); // the default mode rounds half to even
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        RaiseInvalidOp();
    return static_cast<int64_t>(rounded);
}

int64_t Trunc(double value)
{
    const double truncated = std::trunc(value);
    if (!(truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0))
        RaiseInvalidOp();
    return static_cast<int64_t>(truncated);
}

double Int(double value)
{
    return std::trunc(value);
}

double Frac(double value)
{
    return value - std::trunc(value);
}
