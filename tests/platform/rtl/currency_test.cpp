#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/sysutils.h"

namespace
{

const TFormatSettings kSpanish = SpanishFormatSettings();
const TFormatSettings kEnglish = EnglishFormatSettings();

Currency Raw(int64_t raw)
{
    return Currency::FromRaw(raw);
}

TEST(CurrencyArithmetic, IsExact)
{
    Currency sum;
    for (int i = 0; i < 10; ++i)
        sum += Raw(1000); // ten times 0.1 is exactly 1
    EXPECT_EQ(sum, Currency::FromInt(1));
    EXPECT_EQ(Raw(5) - Raw(7), Raw(-2));
    EXPECT_EQ(-Raw(3), Raw(-3));
    EXPECT_LT(Raw(-1), Raw(0));
    EXPECT_EQ(Currency::FromInt(-922337203685477).Value, -9223372036854770000);
}

TEST(CurrencyArithmetic, ProductsAndQuotientsRoundHalfToEven)
{
    struct Case {
        const char *name;
        Currency result;
        int64_t expected;
    };
    const Case cases[] = {
        { "tenThousandthTimesHalfTiesToEven", Raw(1) * Raw(5000), 0 },
        { "threeTenThousandthsTimesHalf", Raw(3) * Raw(5000), 2 },
        { "negativeTie", Raw(-3) * Raw(5000), -2 },
        { "plainProduct", Currency::FromInt(12) * Raw(15000), 180000 },
        { "twoThirds", Currency::FromInt(2) / Currency::FromInt(3), 6667 },
        { "minusTwoThirds", Currency::FromInt(-2) / Currency::FromInt(3), -6667 },
        { "quotientTie", Raw(1) / Currency::FromInt(2), 0 },
        { "quotientTieOdd", Raw(3) / Currency::FromInt(2), 2 },
        { "byInteger", Raw(10) * int64_t(3), 30 },
        { "divideByInteger", Raw(10) / int64_t(4), 2 },
        { "productPastInt64BeforeScaling", Currency::FromInt(900000000) * Currency::FromInt(1000),
            9000000000000000 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.result.Value, c.expected) << c.name;
}

TEST(CurrencyArithmetic, OverflowRaisesInvalidOp)
{
    EXPECT_THROW(MaxCurrency + Raw(1), EInvalidOp);
    EXPECT_THROW(MinCurrency - Raw(1), EInvalidOp);
    EXPECT_THROW(-MinCurrency, EInvalidOp);
    EXPECT_THROW(MaxCurrency * Currency::FromInt(2), EInvalidOp);
    EXPECT_THROW(MaxCurrency / Raw(5000), EInvalidOp);
    EXPECT_THROW(Currency::FromInt(922337203685478), EInvalidOp);
    EXPECT_THROW(Raw(1) / Currency(), EZeroDivide);
    EXPECT_THROW(Raw(1) / int64_t(0), EZeroDivide);
    try {
        Currency sum = MaxCurrency;
        sum += Raw(1);
        FAIL();
    } catch (const EInvalidOp &e) {
        EXPECT_EQ(e.Message(), "Invalid floating point operation");
    }
}

TEST(FloatToCurr, RoundsHalfToEvenAndChecksRange)
{
    struct Case {
        double value;
        int64_t raw;
    };
    const Case cases[] = {
        { 1.5, 15000 },
        { 0.03125, 312 }, // 312.5 exactly: to even
        { 0.09375, 938 }, // 937.5 exactly: to even
        { -0.03125, -312 },
        { 0.00005, 1 }, // the double lies just above the half
        { 0.00015, 1 }, // and this one just below it
        { 1234.56789, 12345679 },
        { 0.1, 1000 },
        { 922337203685477.0, 9223372036854770000 },
        { -0.0, 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(FloatToCurr(c.value).Value, c.raw) << c.value;
    for (const double bad : { 1e30, -1e16, std::nan(""), std::numeric_limits<double>::infinity() }) {
        Currency untouched = Raw(7);
        EXPECT_FALSE(TryFloatToCurr(bad, untouched)) << bad;
        EXPECT_EQ(untouched, Raw(7));
        EXPECT_THROW(FloatToCurr(bad), EInvalidOp) << bad;
    }
    EXPECT_DOUBLE_EQ(CurrToFloat(Raw(-12345)), -1.2345);
}

TEST(StrToCurr, ReadsExactlyUnderBothProfiles)
{
    struct Case {
        const char *text;
        const TFormatSettings *settings;
        int64_t raw;
    };
    const Case cases[] = {
        { "1234,5", &kSpanish, 12345000 },
        { "1234.5", &kEnglish, 12345000 },
        { " -0,0001 ", &kSpanish, -1 },
        { "0.00005", &kEnglish, 0 },
        { "0.00015", &kEnglish, 2 },
        { "0.000150001", &kEnglish, 2 },
        { "0.000050001", &kEnglish, 1 },
        { "0.00004999", &kEnglish, 0 },
        { "1.5E3", &kEnglish, 15000000 },
        { "25e-4", &kEnglish, 25 },
        { "922337203685477.5807", &kEnglish, INT64_MAX },
        { "-922337203685477.5808", &kEnglish, INT64_MIN },
        { "0,0000000000000000000001", &kSpanish, 0 },
        { "000000000000000000000012", &kEnglish, 120000 },
        { "0", &kEnglish, 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(StrToCurr(c.text, *c.settings).Value, c.raw) << c.text;
}

TEST(StrToCurr, RejectsBadText)
{
    for (const char *text :
        { "", "abc", "1.5", "1,2,3", ",", "922337203685477,5808", "1e20", "1e99999999" }) {
        Currency value = Raw(9);
        EXPECT_FALSE(TryStrToCurr(text, value, kSpanish)) << text;
        EXPECT_EQ(value, Raw(9));
    }
    try {
        StrToCurr("12x", kEnglish);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "'12x' is not a valid floating point value");
    }
    EXPECT_EQ(StrToCurrDef("?", Raw(3), kEnglish), Raw(3));
}

TEST(CurrToStr, WritesAllDigitsAndNoTrailingZeros)
{
    struct Case {
        int64_t raw;
        const char *english;
        const char *spanish;
    };
    const Case cases[] = {
        { 12345000, "1234.5", "1234,5" },
        { 0, "0", "0" },
        { -1, "-0.0001", "-0,0001" },
        { 10000000000000, "1000000000", "1000000000" },
        { INT64_MAX, "922337203685477.5807", "922337203685477,5807" },
        { INT64_MIN, "-922337203685477.5808", "-922337203685477,5808" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CurrToStr(Raw(c.raw), kEnglish), c.english) << c.raw;
        EXPECT_EQ(CurrToStr(Raw(c.raw), kSpanish), c.spanish) << c.raw;
        EXPECT_EQ(StrToCurr(c.spanish, kSpanish), Raw(c.raw)) << "round trip " << c.raw;
    }
}

TEST(CurrToStrF, WritesEachFormat)
{
    const Currency value = Raw(-12345678); // -1234.5678
    EXPECT_EQ(CurrToStrF(value, ffFixed, 2, kEnglish), "-1234.57");
    EXPECT_EQ(CurrToStrF(value, ffNumber, 2, kSpanish), "-1.234,57");
    EXPECT_EQ(CurrToStrF(value, ffCurrency, 2, kSpanish), "-1.234,57 €");
    EXPECT_EQ(CurrToStrF(value, ffCurrency, 2, kEnglish), "($1,234.57)");
    EXPECT_EQ(CurrToStrF(value, ffGeneral, 0, kEnglish), "-1234.5678");
    EXPECT_EQ(CurrToStrF(Raw(5), ffFixed, 4, kEnglish), "0.0005");
    EXPECT_EQ(CurrToStrF(Raw(5000), ffFixed, 0, kEnglish), "1");
}

TEST(FormatCurr, UsesExactDigits)
{
    EXPECT_EQ(FormatCurr("#,##0.0000", MaxCurrency, kSpanish), "922.337.203.685.477,5807");
    EXPECT_EQ(FormatCurr("0.00", Raw(-50), kEnglish), "-0.01");
    EXPECT_EQ(FormatCurr("0.00;(0.00);-", Raw(-49), kEnglish), "-");
}

} // namespace
