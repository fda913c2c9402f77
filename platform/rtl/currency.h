#pragma once

#include <compare>
#include <cstdint>

// The class library's Currency: a signed 64-bit count of ten-thousandths, so
// sums of money are exact. Arithmetic that leaves the range raises EInvalidOp
// instead of wrapping round.
struct Currency {
    int64_t Value = 0; // the amount times 10000

    constexpr Currency() = default;
    static constexpr Currency FromRaw(int64_t raw) { return Currency(raw, 0); }
    static Currency FromInt(int64_t whole); // raises EInvalidOp past +-922337203685477
    double ToDouble() const { return static_cast<double>(Value) / 10000.0; }

    Currency operator-() const;
    Currency &operator+=(Currency other);
    Currency &operator-=(Currency other);
    friend Currency operator+(Currency a, Currency b) { return a += b; }
    friend Currency operator-(Currency a, Currency b) { return a -= b; }

    // Products and quotients round half to even to four decimals.
    friend Currency operator*(Currency a, Currency b);
    friend Currency operator*(Currency a, int64_t factor);
    friend Currency operator/(Currency a, Currency b); // EZeroDivide on zero
    friend Currency operator/(Currency a, int64_t divisor);

    friend constexpr bool operator==(Currency a, Currency b) = default;
    friend constexpr auto operator<=>(Currency a, Currency b) = default;

private:
    constexpr Currency(int64_t raw, int)
        : Value(raw)
    {
    }
};

inline constexpr Currency MinCurrency = Currency::FromRaw(INT64_MIN);
inline constexpr Currency MaxCurrency = Currency::FromRaw(INT64_MAX);

// The nearest Currency, half to even; EInvalidOp for NaN, infinities and
// values out of range.
Currency FloatToCurr(double value);
bool TryFloatToCurr(double value, Currency &result);
double CurrToFloat(Currency value);
