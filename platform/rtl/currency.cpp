#include "platform/rtl/currency.h"

#include <cmath>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysconst_p.h"

namespace
{

constexpr int64_t kScale = 10000;

[[noreturn]] void RaiseInvalidOp()
{
    throw EInvalidOp(SInvalidOp);
}

// Divides, rounding the quotient half to even, and checks that it fits.
int64_t DivideRounded(__int128 numerator, __int128 denominator)
{
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    __int128 quotient = numerator / denominator;
    const __int128 remainder = numerator % denominator;
    const __int128 twice = (remainder < 0 ? -remainder : remainder) * 2;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0))
        quotient += remainder < 0 ? -1 : 1;
    if (quotient > INT64_MAX || quotient < INT64_MIN)
        RaiseInvalidOp();
    return static_cast<int64_t>(quotient);
}

} // namespace

Currency Currency::FromInt(int64_t whole)
{
    if (whole > INT64_MAX / kScale || whole < INT64_MIN / kScale)
        RaiseInvalidOp();
    return FromRaw(whole * kScale);
}

Currency Currency::operator-() const
{
    if (Value == INT64_MIN)
        RaiseInvalidOp();
    return FromRaw(-Value);
}

Currency &Currency::operator+=(Currency other)
{
    if (__builtin_add_overflow(Value, other.Value, &Value))
        RaiseInvalidOp();
    return *this;
}

Currency &Currency::operator-=(Currency other)
{
    if (__builtin_sub_overflow(Value, other.Value, &Value))
        RaiseInvalidOp();
    return *this;
}

Currency operator*(Currency a, Currency b)
{
    return Currency::FromRaw(DivideRounded(static_cast<__int128>(a.Value) * b.Value, kScale));
}

Currency operator*(Currency a, int64_t factor)
{
    return Currency::FromRaw(DivideRounded(static_cast<__int128>(a.Value) * factor, 1));
}

Currency operator/(Currency a, Currency b)
{
    if (b.Value == 0)
        throw EZeroDivide(SZeroDivide);
    return Currency::FromRaw(DivideRounded(static_cast<__int128>(a.Value) * kScale, b.Value));
}

Currency operator/(Currency a, int64_t divisor)
{
    if (divisor == 0)
        throw EZeroDivide(SZeroDivide);
    return Currency::FromRaw(DivideRounded(a.Value, divisor));
}

bool TryFloatToCurr(double value, Currency &result)
{
    // The product is taken in extended precision, as the class library's
    // floating-point unit did, so a double just off a half (0.00005 is
    // 0.000050000000000000002...) rounds the way its exact value says.
    const long double scaled = static_cast<long double>(value) * kScale;
    if (!std::isfinite(scaled) || scaled >= 9223372036854775807.5L || scaled < -9223372036854775808.5L)
        return false;
    const long double rounded = std::nearbyintl(scaled); // the default mode rounds half to even
    if (rounded >= 9223372036854775808.0L || rounded < -9223372036854775808.0L)
        return false;
    result = Currency::FromRaw(static_cast<int64_t>(rounded));
    return true;
}

Currency FloatToCurr(double value)
{
    Currency result;
    if (!TryFloatToCurr(value, result))
        RaiseInvalidOp();
    return result;
}

double CurrToFloat(Currency value)
{
    return value.ToDouble();
}
