#include "calculator/calcengine.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"

#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <random>

namespace
{

// ---- A reference of the arithmetic rules, on exact fractions ------------------------------

using Int = __int128;

Int Gcd(Int a, Int b)
{
    a = a < 0 ? -a : a;
    b = b < 0 ? -b : b;
    while (b != 0) {
        Int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

struct Fraction {
    Int num = 0;
    Int den = 1;
    Fraction(Int n = 0, Int d = 1)
        : num(n)
        , den(d)
    {
        if (den < 0)
            num = -num, den = -den;
        const Int g = Gcd(num, den);
        if (g > 1)
            num /= g, den /= g;
    }
    friend Fraction operator*(Fraction a, Fraction b)
    {
        // Cross-reduce first so the products stay small.
        const Int g1 = Gcd(a.num, b.den), g2 = Gcd(b.num, a.den);
        return Fraction((a.num / (g1 ? g1 : 1)) * (b.num / (g2 ? g2 : 1)),
            (a.den / (g2 ? g2 : 1)) * (b.den / (g1 ? g1 : 1)));
    }
    friend Fraction operator/(Fraction a, Fraction b) { return a * Fraction(b.den, b.num); }
};

Int Floor(const Fraction &f)
{
    Int q = f.num / f.den;
    if ((f.num % f.den != 0) && (f.num < 0))
        --q;
    return q;
}

// The nearest integer; a tie goes to the even one, or away from zero.
Int NearestEven(const Fraction &f)
{
    const Int down = Floor(f);
    const Fraction rest(f.num - down * f.den, f.den); // 0 <= rest < 1
    const Int twice = rest.num * 2;
    if (twice < rest.den)
        return down;
    if (twice > rest.den)
        return down + 1;
    return (down % 2 == 0) ? down : down + 1;
}

Int NearestAway(const Fraction &f)
{
    const bool negative = f.num < 0;
    const Fraction magnitude(negative ? -f.num : f.num, f.den);
    const Int down = Floor(magnitude);
    const Int twice = (magnitude.num - down * magnitude.den) * 2;
    const Int result = twice >= magnitude.den ? down + 1 : down;
    return negative ? -result : result;
}

Int Pow10(int n)
{
    Int r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

bool InRange(Int v)
{
    return v >= INT64_MIN && v <= INT64_MAX;
}

// A value in units of 0.0001, rounded to d decimals half away from zero.
Int RoundUnits(Int units, int d)
{
    return NearestAway(Fraction(units, Pow10(4 - d))) * Pow10(4 - d);
}

// What one operation makes of the accumulator; nothing when it fails.
std::optional<Int> Reference(int operation, Int a, Int b, int d)
{
    const Fraction x(a, 10000), y(b, 10000);
    Int units;
    switch (operation) {
    case coAdd:
        units = a + b;
        break;
    case coSubtract:
        units = a - b;
        break;
    case coMultiply:
        units = NearestEven(x * y * Fraction(10000));
        break;
    case coDivide:
        if (b == 0)
            return std::nullopt;
        units = NearestEven(x / y * Fraction(10000));
        break;
    case coPercent:
        units = NearestEven(x * y / Fraction(100) * Fraction(10000));
        if (!InRange(units))
            return std::nullopt;
        units = RoundUnits(units, d);
        break;
    default:
        units = b;
        break;
    }
    if (!InRange(units))
        return std::nullopt;
    units = RoundUnits(units, d);
    if (!InRange(units))
        return std::nullopt;
    return units;
}

// ---- Named cases ---------------------------------------------------------------------------

struct StepCase {
    const char *name;
    int operation;
    int64_t accumulator, operand;
    int decimals;
    int64_t result;
};

class OneStep : public ::testing::TestWithParam<StepCase>
{
};

TEST_P(OneStep, GivesTheExactlyRoundedResult)
{
    const StepCase &c = GetParam();
    TCalcEngine engine;
    engine.SetDecimals(static_cast<uint8_t>(c.decimals));
    engine.SetOperand(Currency::FromRaw(c.accumulator));
    engine.ApplyOperation(c.operation);
    engine.SetOperand(Currency::FromRaw(c.operand));
    engine.ApplyOperation(coEquals);
    EXPECT_EQ(engine.Accumulator().Value, c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, OneStep,
    ::testing::Values(StepCase { "Sum", coAdd, 50000, 30000, 2, 80000 },
        StepCase { "PercentOfTwoHundred", coPercent, 2000000, 100000, 2, 200000 },
        StepCase { "TinyProductTiesToEven", coMultiply, 1, 5000, 4, 0 },
        StepCase { "TwoThirdsAtTwoDecimals", coDivide, 20000, 30000, 2, 6700 },
        StepCase { "QuotientTieGoesToEven", coDivide, 45000, 4000000, 4, 112 },
        StepCase { "NegativeQuotientTieGoesToEven", coDivide, -942625, 100000, 4, -94262 },
        StepCase { "QuotientTieRoundsUpToEven", coDivide, 45000, 12000000, 4, 38 },
        StepCase { "ProductTieRoundsUpToEven", coMultiply, 15003, 5000, 4, 7502 },
        StepCase { "NegativeByNegative", coMultiply, -25000, -40000, 2, 100000 },
        StepCase { "PercentRoundsAwayAtTheDecimals", coPercent, 100000, 50000, 0, 10000 },
        StepCase { "Difference", coSubtract, 10000, 30000, 1, -20000 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CalcEngine, FiveAndThreeWriteTheOperandsARuleTheTotalAndAGap)
{
    TFormatSettingsScope spanish(SpanishFormatSettings());
    TCalcEngine engine;
    engine.ReadOperand("5");
    std::vector<std::string> lines = engine.ApplyOperation(coAdd);
    engine.ReadOperand("3");
    for (const std::string &line : engine.ApplyOperation(coEquals))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string> { "  5,00", "+ 3,00", "-", "  8,00", "" }));
    EXPECT_EQ(engine.PendingOperation(), coNone);
    EXPECT_EQ(engine.FormatValue(engine.Accumulator()), "8");
}

TEST(CalcEngine, TapeNumbersKeepEveryDigitAndGroupThousands)
{
    TFormatSettingsScope spanish(SpanishFormatSettings());
    TCalcEngine engine;
    engine.SetDecimals(2);
    EXPECT_EQ(engine.TapeLine(coMultiply, Currency::FromRaw(12345678900)), "x 1.234.567,89");
    EXPECT_EQ(engine.TapeLine(coDivide, Currency::FromRaw(9223372036854775800)), "/ 922.337.203.685.477,58");
    EXPECT_EQ(engine.TapeLine(coSubtract, Currency::FromRaw(-5000)), "- -0,50");
    TFormatSettingsScope english(EnglishFormatSettings());
    EXPECT_EQ(engine.TapeLine(coPercent, Currency::FromRaw(12345678900)), "% 1,234,567.89");
}

TEST(CalcEngine, DivisionByZeroChangesNothing)
{
    TCalcEngine engine;
    engine.SetOperand(Currency::FromRaw(70000));
    engine.ApplyOperation(coDivide);
    engine.SetOperand(Currency());
    try {
        engine.ApplyOperation(coEquals);
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "Intento de división por cero.");
    }
    EXPECT_EQ(engine.Accumulator().Value, 70000);
    EXPECT_EQ(engine.PendingOperation(), coDivide);
}

struct OverflowCase {
    const char *name;
    int operation;
    int64_t accumulator, operand;
};

class Overflow : public ::testing::TestWithParam<OverflowCase>
{
};

TEST_P(Overflow, RaisesAndLeavesTheAccumulator)
{
    const OverflowCase &c = GetParam();
    TCalcEngine engine;
    engine.SetDecimals(4);
    engine.SetOperand(Currency::FromRaw(c.accumulator));
    engine.ApplyOperation(c.operation);
    engine.SetOperand(Currency::FromRaw(c.operand));
    EXPECT_THROW(engine.ApplyOperation(coEquals), EInvalidOp);
    EXPECT_EQ(engine.Accumulator().Value, c.accumulator);
    EXPECT_EQ(engine.PendingOperation(), c.operation);
}

INSTANTIATE_TEST_SUITE_P(Cases, Overflow,
    ::testing::Values(OverflowCase { "Product", coMultiply, 900000000000000000, 1000000 },
        OverflowCase { "NegativeProduct", coMultiply, INT64_MIN, 20000 },
        OverflowCase { "Quotient", coDivide, 900000000000000000, 1 },
        OverflowCase { "Sum", coAdd, INT64_MAX, 1 }, OverflowCase { "Difference", coSubtract, INT64_MIN, 1 },
        OverflowCase { "Percent", coPercent, INT64_MAX, 1000000000 }),
    [](const auto &info) { return std::string(info.param.name); });

// Many random chains of entries and operations, every step checked against
// the fractions above.
TEST(CalcEngine, RandomChainsMatchExactArithmetic)
{
    std::mt19937_64 random(20261209);
    const int operations[] = { coAdd, coSubtract, coMultiply, coDivide, coPercent, coEquals };
    int checked = 0, failures = 0;
    for (int chain = 0; chain < 4000; ++chain) {
        TCalcEngine engine;
        const int d = static_cast<int>(random() % 5);
        engine.SetDecimals(static_cast<uint8_t>(d));
        Int accumulator = 0;
        int pending = coNone;
        for (int step = 0; step < 12; ++step) {
            // An entry as typed: up to ten digits and d decimals, sometimes zero.
            const int digits = static_cast<int>(random() % 11);
            int64_t whole = 0;
            for (int i = 0; i < digits; ++i)
                whole = whole * 10 + static_cast<int64_t>(random() % 10);
            const int64_t fraction
                = d == 0 ? 0 : static_cast<int64_t>(random() % static_cast<uint64_t>(Pow10(d)));
            const int64_t operand
                = (whole % 2147483647) * 10000 + fraction * static_cast<int64_t>(Pow10(4 - d));
            const int next = operations[random() % 6];
            engine.SetOperand(Currency::FromRaw(operand));

            const std::optional<Int> expected = Reference(pending, accumulator, operand, d);
            try {
                engine.ApplyOperation(next);
                ASSERT_TRUE(expected.has_value())
                    << "chain " << chain << " step " << step << " raised nothing";
                accumulator = *expected;
                pending = next == coEquals ? coNone : next;
            } catch (const Exception &) {
                ASSERT_FALSE(expected.has_value()) << "chain " << chain << " step " << step << " raised";
                ++failures;
            }
            ASSERT_EQ(static_cast<Int>(engine.Accumulator().Value), accumulator)
                << "chain " << chain << " step " << step << " decimals " << d;
            ASSERT_EQ(engine.PendingOperation(), pending);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 48000);
    EXPECT_GT(failures, 0); // divisions by zero and overflows were met too
}

} // namespace
