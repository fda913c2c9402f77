// Format: the class library's printf. Every specifier is checked against the
// kind of its argument, because format strings come from translations and a
// wrong one must end in an error message, never in reading the wrong thing.
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/rtl/floattext_p.h"
#include "platform/rtl/sysconst_p.h"
#include "platform/rtl/sysutils.h"

namespace
{

// Widths and precisions beyond this are taken as a broken format rather than
// a request for megabytes of padding.
constexpr int kMaxWidth = 4096;

using Kind = TFormatArg::Kind;

class Formatter
{
public:
    Formatter(std::string_view format, std::span<const TFormatArg> args, const TFormatSettings &fs)
        : format_(format)
        , args_(args)
        , fs_(fs)
    {
    }

    std::string Run();

private:
    [[noreturn]] void Invalid() const
    {
        throw EConvertError(FormatArgs(SInvalidFormat, Quote(), FormatSettings));
    }
    [[noreturn]] void Missing() const
    {
        throw EConvertError(FormatArgs(SArgumentMissing, Quote(), FormatSettings));
    }
    std::array<TFormatArg, 1> Quote() const { return { TFormatArg(format_) }; }

    const TFormatArg &NextArg()
    {
        if (next_ >= args_.size())
            Missing();
        return args_[next_++];
    }
    // A number written in the specifier, or '*' taking it from the arguments.
    // Answers false when neither is there.
    bool ReadNumber(size_t &i, int &value);
    std::string Convert(char type, int precision, const TFormatArg &arg);
    std::string Integer(char type, int precision, const TFormatArg &arg) const;
    std::string Float(char type, int precision, const TFormatArg &arg) const;

    std::string_view format_;
    std::span<const TFormatArg> args_;
    const TFormatSettings &fs_;
    size_t next_ = 0;
};

bool Formatter::ReadNumber(size_t &i, int &value)
{
    if (i < format_.size() && format_[i] == '*') {
        ++i;
        const TFormatArg &arg = NextArg();
        if (arg.ArgKind() == Kind::Integer && arg.AsInteger() >= -kMaxWidth && arg.AsInteger() <= kMaxWidth)
            value = static_cast<int>(arg.AsInteger());
        else if (arg.ArgKind() == Kind::Unsigned && arg.AsUnsigned() <= kMaxWidth)
            value = static_cast<int>(arg.AsUnsigned());
        else
            Invalid();
        return true;
    }
    if (i >= format_.size() || format_[i] < '0' || format_[i] > '9')
        return false;
    value = 0;
    while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
        value = value * 10 + (format_[i++] - '0');
        if (value > kMaxWidth)
            Invalid();
    }
    return true;
}

std::string Formatter::Integer(char type, int precision, const TFormatArg &arg) const
{
    bool negative = false;
    uint64_t magnitude;
    if (arg.ArgKind() == Kind::Integer) {
        const int64_t v = arg.AsInteger();
        if (type == 'd') {
            negative = v < 0;
            magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        } else {
            // %u and %x show a negative value as the unsigned number of the
            // same bits, in the width of the argument's own type.
            magnitude = static_cast<uint64_t>(v);
            if (arg.Bits() < 64)
                magnitude &= (uint64_t(1) << arg.Bits()) - 1;
        }
    } else if (arg.ArgKind() == Kind::Unsigned) {
        magnitude = arg.AsUnsigned();
    } else {
        Invalid();
    }
    std::string digits = type == 'x' ? IntToHexBits(magnitude, 0) : std::to_string(magnitude);
    if (precision > static_cast<int>(digits.size()))
        digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::string Formatter::Float(char type, int precision, const TFormatArg &arg) const
{
    DecimalDigits d;
    int maxPrecision = 18;
    if (arg.ArgKind() == Kind::Float) {
        const double v = arg.AsFloat();
        if (!std::isfinite(v))
            return FloatToStrF(v, ffGeneral, 15, 0, fs_);
        d = DecimalOfDouble(v);
    } else if (arg.ArgKind() == Kind::Currency) {
        d = DecimalOfCurrency(arg.AsCurrency());
        maxPrecision = 19;
    } else {
        Invalid();
    }
    switch (type) {
    case 'e':
        return DecimalToText(
            d, ffExponent, std::clamp(precision < 0 ? 15 : precision, 1, maxPrecision), 3, fs_);
    case 'g':
        return DecimalToText(
            d, ffGeneral, std::clamp(precision < 0 ? 15 : precision, 1, maxPrecision), 0, fs_);
    case 'f':
        return DecimalToText(d, ffFixed, maxPrecision, precision < 0 ? 2 : precision, fs_);
    case 'n':
        return DecimalToText(d, ffNumber, maxPrecision, precision < 0 ? 2 : precision, fs_);
    default: // 'm'
        return DecimalToText(
            d, ffCurrency, maxPrecision, precision < 0 ? fs_.CurrencyDecimals : precision, fs_);
    }
}

std::string Formatter::Convert(char type, int precision, const TFormatArg &arg)
{
    switch (type) {
    case 'd':
    case 'u':
    case 'x':
        return Integer(type, precision, arg);
    case 'e':
    case 'f':
    case 'g':
    case 'n':
    case 'm':
        return Float(type, precision, arg);
    case 's':
        if (arg.ArgKind() != Kind::String)
            Invalid();
        return precision < 0 ? std::string(arg.AsString()) : Utf8Copy(arg.AsString(), 1, precision);
    case 'p':
        if (arg.ArgKind() != Kind::Pointer)
            Invalid();
        return IntToHexBits(reinterpret_cast<uintptr_t>(arg.AsPointer()), sizeof(void *) * 2);
    default:
        Invalid();
    }
}

std::string Formatter::Run()
{
    std::string out;
    size_t i = 0;
    while (i < format_.size()) {
        const size_t percent = format_.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(format_.substr(i));
            break;
        }
        out.append(format_.substr(i, percent - i));
        i = percent + 1;
        if (i < format_.size() && format_[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %[index:][-][width][.precision]type
        int number = 0;
        bool haveNumber = ReadNumber(i, number);
        if (haveNumber && i < format_.size() && format_[i] == ':') {
            if (number < 0 || static_cast<size_t>(number) >= args_.size())
                Missing();
            next_ = static_cast<size_t>(number);
            ++i;
            haveNumber = false;
        }
        bool left = false;
        if (!haveNumber && i < format_.size() && format_[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        if (haveNumber)
            width = number;
        else
            ReadNumber(i, width);
        if (width < 0) {
            left = true;
            width = -width;
        }
        int precision = -1;
        if (i < format_.size() && format_[i] == '.') {
            ++i;
            precision = 0;
            ReadNumber(i, precision);
            if (precision < 0)
                precision = -1;
        }
        if (i >= format_.size())
            Invalid();
        char type = format_[i++];
        if (type >= 'A' && type <= 'Z')
            type = static_cast<char>(type - 'A' + 'a');
        if (std::string_view("duxefgnmsp").find(type) == std::string_view::npos)
            Invalid();
        const std::string text = Convert(type, precision, NextArg());
        const int length = static_cast<int>(Utf8Length(text));
        if (length >= width)
            out += text;
        else if (left)
            out += text + std::string(static_cast<size_t>(width - length), ' ');
        else
            out += std::string(static_cast<size_t>(width - length), ' ') + text;
    }
    return out;
}

} // namespace

TFormatArg::TFormatArg(Kind kind, int64_t i, uint64_t u, int bits)
    : kind_(kind)
    , int_(i)
    , uint_(u)
    , bits_(bits)
{
}

TFormatArg::TFormatArg(double v)
    : kind_(Kind::Float)
    , float_(v)
{
}

TFormatArg::TFormatArg(::Currency v)
    : kind_(Kind::Currency)
    , currency_(v)
{
}

TFormatArg::TFormatArg(char c)
    : kind_(Kind::String)
    , string_(&char_, 1)
    , char_(c)
{
}

TFormatArg::TFormatArg(const char *s)
    : kind_(Kind::String)
    , string_(s ? std::string_view(s) : std::string_view())
{
}

TFormatArg::TFormatArg(const std::string &s)
    : kind_(Kind::String)
    , string_(s)
{
}

TFormatArg::TFormatArg(std::string_view s)
    : kind_(Kind::String)
    , string_(s)
{
}

TFormatArg::TFormatArg(const void *p)
    : kind_(Kind::Pointer)
    , pointer_(p)
{
}

TFormatArg::TFormatArg(std::nullptr_t)
    : kind_(Kind::Pointer)
{
}

TFormatArg::TFormatArg(const TFormatArg &other)
    : kind_(other.kind_)
    , int_(other.int_)
    , uint_(other.uint_)
    , bits_(other.bits_)
    , float_(other.float_)
    , currency_(other.currency_)
    , string_(other.string_)
    , pointer_(other.pointer_)
    , char_(other.char_)
{
    // A single character is viewed inside the argument itself.
    if (other.string_.data() == &other.char_)
        string_ = std::string_view(&char_, 1);
}

std::string FormatArgs(
    std::string_view format, std::span<const TFormatArg> args, const TFormatSettings &settings)
{
    return Formatter(format, args, settings).Run();
}
