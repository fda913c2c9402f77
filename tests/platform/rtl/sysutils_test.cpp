#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/sysutils.h"

namespace
{

const TFormatSettings kSpanish = SpanishFormatSettings();
const TFormatSettings kEnglish = EnglishFormatSettings();

// ---- Integers ------------------------------------------------------------

TEST(StrToInt, ReadsValidText)
{
    struct Case {
        const char *text;
        int asInt;
        int64_t asInt64;
    };
    const Case cases[] = {
        { "0", 0, 0 }, { "42", 42, 42 }, { "-42", -42, -42 }, { "+7", 7, 7 }, { "  12", 12, 12 },
        { "007", 7, 7 }, { "$FF", 255, 255 }, { "0x1f", 31, 31 }, { "-$10", -16, -16 },
        { "2147483647", INT32_MAX, INT32_MAX }, { "-2147483648", INT32_MIN, INT32_MIN },
        { "$FFFFFFFF", -1, 0xFFFFFFFF }, // hex fills the bits of the type read
    };
    for (const Case &c : cases) {
        EXPECT_EQ(StrToInt(c.text), c.asInt) << c.text;
        EXPECT_EQ(StrToInt64(c.text), c.asInt64) << c.text;
    }
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
}

TEST(StrToInt, RejectsBadText)
{
    for (const char *text : { "", " ", "-", "$", "0x", "12 ", "1.5", "1,000", "abc", "1e3", "2147483648",
             "-2147483649", "$1FFFFFFFF", "١٢" }) {
        int value = 99;
        EXPECT_FALSE(TryStrToInt(text, value)) << text;
        EXPECT_EQ(value, 99);
        EXPECT_EQ(StrToIntDef(text, -5), -5) << text;
    }
    try {
        StrToInt("12a");
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_THROW(StrToInt64("$1FFFFFFFFFFFFFFFF"), EConvertError);
}

TEST(IntToHex, PadsAndShowsTwosComplementOfItsType)
{
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0x12345, 2), "12345");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t(-1), 0), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(uint8_t(0xAB), 0), "AB");
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(IntToStr(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(IntToStr(uint8_t(200)), "200");
}

// ---- Strings -------------------------------------------------------------

TEST(Trim, RemovesBlanksAndControlCharacters)
{
    EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
    EXPECT_EQ(TrimLeft("  a  "), "a  ");
    EXPECT_EQ(TrimRight("  a  "), "  a");
    EXPECT_EQ(Trim("\xC2\xA0x"), "\xC2\xA0x"); // a no-break space is a character, not a blank
    EXPECT_EQ(Trim("   "), "");
}

TEST(CaseMapping, PlainFormsTouchOnlyAscii)
{
    EXPECT_EQ(UpperCase("ñandú abc"), "ñANDú ABC");
    EXPECT_EQ(LowerCase("ÑANDÚ ABC"), "ÑandÚ abc");
}

TEST(CaseMapping, AnsiFormsFoldLatinGreekCyrillic)
{
    struct Case {
        const char *lower;
        const char *upper;
    };
    const Case cases[] = {
        { "ñandú", "ÑANDÚ" },
        { "àéîõüÿ", "ÀÉÎÕÜŸ" },
        { "łódź", "ŁÓDŹ" },
        { "αβγ", "ΑΒΓ" },
        { "жёлтый", "ЖЁЛТЫЙ" },
        { "ǆ", "Ǆ" },
        { "ա", "Ա" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(AnsiUpperCase(c.lower), c.upper) << c.lower;
        EXPECT_EQ(AnsiLowerCase(c.upper), c.lower) << c.upper;
    }
    EXPECT_EQ(AnsiUpperCase("straße"), "STRAßE"); // no single-character capital
    EXPECT_EQ(AnsiUpperCase("ς"), "Σ");
    EXPECT_EQ(AnsiLowerCase("İ"), "i");
    EXPECT_EQ(AnsiUpperCase("a\xFF"
                            "b"),
        "A\xFF"
        "B"); // invalid bytes survive unchanged
}

TEST(Compare, OrdersAsTheClassLibrary)
{
    EXPECT_LT(CompareStr("a", "b"), 0);
    EXPECT_LT(CompareStr("B", "a"), 0);
    EXPECT_EQ(CompareText("ABC", "abc"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    EXPECT_GT(CompareText("_", "a"), 0) << "folding goes to upper case, and '_' sorts after 'A'";
    EXPECT_TRUE(SameText("Hola", "hOLA"));
    EXPECT_FALSE(SameText("Ñ", "ñ"));
    EXPECT_TRUE(AnsiSameText("Ñandú", "ñANDÚ"));
    EXPECT_TRUE(AnsiSameText("ΣΟΦΊΑ", "σοφία"));
    EXPECT_EQ(AnsiCompareText("ÉCOLE", "école"), 0);
    EXPECT_LT(AnsiCompareText("abc", "ABCD"), 0);
    EXPECT_GT(AnsiCompareStr("é", "e"), 0);
    EXPECT_FALSE(AnsiSameStr("a", "A"));
}

// The key must agree with AnsiSameText on every pair, or a look-up by key
// finds a file the comparison would not (or misses one it would).
TEST(Compare, SameTextKeysAgreeWithAnsiSameText)
{
    const char *const texts[] = { "", "a", "A", "ab", "AB", "Ñandú", "ñANDÚ", "nandu", "ΣΟΦΊΑ", "σοφία",
        "ÉCOLE", "école", "\xED\xA0\x80", "\xEF\xBF\xBD", "\xFF", "\xFE", "a\xC3", "A\xC3", "\x80\x80",
        "\xE2\x82\xAC", "\xC2\x80" };
    for (const char *a : texts)
        for (const char *b : texts)
            EXPECT_EQ(AnsiSameTextKey(a) == AnsiSameTextKey(b), AnsiSameText(a, b))
                << ::testing::PrintToString(std::string(a)) << " / "
                << ::testing::PrintToString(std::string(b));
}

TEST(PosAndCopy, CountFromOne)
{
    EXPECT_EQ(Pos("lo", "hola lola"), 6);
    EXPECT_EQ(Pos("x", "hola"), 0);
    EXPECT_EQ(Pos("", "hola"), 0);
    EXPECT_EQ(AnsiPos(";", "a;b"), 2);
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 5, 100), "ef");
    EXPECT_EQ(Copy("abcdef", 7, 1), "");
    EXPECT_EQ(Copy("abcdef", 2, -1), "");
    EXPECT_EQ(Utf8Pos("dú", "ñandú"), 4);
    EXPECT_EQ(Utf8Copy("ñandú", 2, 3), "and");
    EXPECT_EQ(Utf8Copy("ñandú", 5, 9), "ú");
    EXPECT_EQ(Utf8Copy("ñandú", 6, 1), "");
}

TEST(Delimiters, FindCharacters)
{
    EXPECT_EQ(LastDelimiter("\\:", "C:\\dir\\file.txt"), 7);
    EXPECT_EQ(LastDelimiter(".", "nodot"), 0);
    EXPECT_TRUE(IsDelimiter(";,", "a;b", 2));
    EXPECT_FALSE(IsDelimiter(";,", "a;b", 1));
    EXPECT_FALSE(IsDelimiter(";,", "a;b", 4));
    EXPECT_FALSE(IsDelimiter(";,", "a;b", 0));
    // é and ñ share their lead byte; only whole characters match.
    EXPECT_EQ(LastDelimiter("ñ", "café"), 0);
    EXPECT_EQ(LastDelimiter("ñ", "ñaña"), 4);
    EXPECT_TRUE(IsDelimiter("ñ", "añ", 2));
    EXPECT_FALSE(IsDelimiter("ñ", "aé", 2));
    EXPECT_FALSE(IsDelimiter("ñ", "añ", 3));
}

TEST(Quoting, DoublesTheQuote)
{
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(AnsiQuotedStr("say \"hi\"", U'"'), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(AnsiQuotedStr("a«b", U'«'), "«a««b«");
    EXPECT_EQ(StringOfChar(U'-', 3), "---");
    EXPECT_EQ(StringOfChar(U'ñ', 2), "ññ");
    EXPECT_EQ(StringOfChar(U'x', -1), "");
}

TEST(StringReplace, HonoursItsFlags)
{
    struct Case {
        const char *name;
        const char *text;
        const char *from;
        const char *to;
        TReplaceFlags flags;
        const char *expected;
    };
    const Case cases[] = {
        { "firstOnly", "a-b-c", "-", "+", 0, "a+b-c" },
        { "all", "a-b-c", "-", "+", rfReplaceAll, "a+b+c" },
        { "caseSensitiveMisses", "Hola hola", "HOLA", "x", rfReplaceAll, "Hola hola" },
        { "ignoreCase", "Hola hola", "HOLA", "x", rfReplaceAll | rfIgnoreCase, "x x" },
        { "ignoreCaseAccents", "AÑO año", "año", "year", rfReplaceAll | rfIgnoreCase, "year year" },
        { "noRescanOfReplacement", "aa", "a", "aa", rfReplaceAll, "aaaa" },
        { "emptyPattern", "abc", "", "x", rfReplaceAll, "abc" },
        { "deleteAll", "a, b, c", ", ", "", rfReplaceAll, "abc" },
        { "patternLongerThanText", "ab", "abc", "x", rfReplaceAll, "ab" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(StringReplace(c.text, c.from, c.to, c.flags), c.expected) << c.name;
}

// ---- Floating point ------------------------------------------------------

struct FloatCase {
    const char *name;
    double value;
    TFloatFormat format;
    int precision;
    int digits;
    const char *english;
    const char *spanish;
};

std::ostream &operator<<(std::ostream &os, const FloatCase &c)
{
    return os << c.name;
}

class FloatToStrFTest : public ::testing::TestWithParam<FloatCase>
{
};

TEST_P(FloatToStrFTest, WritesUnderBothProfiles)
{
    const FloatCase &c = GetParam();
    EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits, kEnglish), c.english);
    EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits, kSpanish), c.spanish);
}

const FloatCase kFloatCases[] = {
    { "generalDropsZeros", 1234.5, ffGeneral, 15, 0, "1234.5", "1234,5" },
    { "generalInteger", 100, ffGeneral, 15, 0, "100", "100" },
    { "generalZero", 0, ffGeneral, 15, 0, "0", "0" },
    { "generalNegativeZero", -0.0, ffGeneral, 15, 0, "0", "0" },
    { "generalSmallStaysFixed", 0.00001, ffGeneral, 15, 0, "0.00001", "0,00001" },
    { "generalSmallerGoesScientific", 0.000001234, ffGeneral, 15, 0, "1.234E-6", "1,234E-6" },
    { "generalTooManyIntegerDigits", 1234567890123456.0, ffGeneral, 15, 0, "1.23456789012346E15",
        "1,23456789012346E15" },
    { "generalPrecisionRounds", 2.0 / 3.0, ffGeneral, 4, 0, "0.6667", "0,6667" },
    { "generalHidesBinaryNoise", 0.1 + 0.2, ffGeneral, 15, 0, "0.3", "0,3" },
    { "exponent", 1234.5, ffExponent, 6, 2, "1.23450E+03", "1,23450E+03" },
    { "exponentNegative", -0.00125, ffExponent, 3, 0, "-1.25E-3", "-1,25E-3" },
    { "exponentZero", 0, ffExponent, 3, 3, "0.00E+000", "0,00E+000" },
    { "fixedExactDecimals", 1234.5, ffFixed, 15, 2, "1234.50", "1234,50" },
    { "fixedHalfAwayFromZero", 2.5, ffFixed, 15, 0, "3", "3" },
    { "fixedNegativeHalf", -0.125, ffFixed, 15, 2, "-0.13", "-0,13" },
    { "fixedBinaryBelowHalf", 1.005, ffFixed, 15, 2, "1.00", "1,00" },
    { "fixedCarry", 9.996, ffFixed, 15, 2, "10.00", "10,00" },
    { "fixedRoundsToZero", -0.004, ffFixed, 15, 2, "0.00", "0,00" },
    { "fixedTooWideForPrecision", 1e20, ffFixed, 15, 2, "1.00000000000000E+20", "1,00000000000000E+20" },
    { "numberThousands", 1234567.891, ffNumber, 15, 2, "1,234,567.89", "1.234.567,89" },
    { "numberNoDecimals", -1234567, ffNumber, 15, 0, "-1,234,567", "-1.234.567" },
    { "numberBelowThousand", 999.5, ffNumber, 15, 0, "1,000", "1.000" },
    { "numberTapeLine", 1234.5, ffNumber, 15, 4, "1,234.5000", "1.234,5000" },
    { "currency", 1234.5, ffCurrency, 15, 2, "$1,234.50", "1.234,50 €" },
    { "currencyNegative", -1234.5, ffCurrency, 15, 2, "($1,234.50)", "-1.234,50 €" },
    { "currencyNoDecimals", 7, ffCurrency, 15, 0, "$7", "7 €" },
    { "nan", std::nan(""), ffFixed, 15, 2, "NAN", "NAN" },
    { "infinity", -std::numeric_limits<double>::infinity(), ffNumber, 15, 2, "-INF", "-INF" },
};

INSTANTIATE_TEST_SUITE_P(Cases, FloatToStrFTest, ::testing::ValuesIn(kFloatCases),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FloatToStr, UsesFifteenDigits)
{
    EXPECT_EQ(FloatToStr(1.0 / 3.0, kEnglish), "0.333333333333333");
    EXPECT_EQ(FloatToStr(-1e-300, kSpanish), "-1E-300");
    EXPECT_EQ(FloatToStr(123456789012345.0, kEnglish), "123456789012345");
}

TEST(FormatFloat, FollowsPictures)
{
    struct Case {
        const char *picture;
        double value;
        const char *english;
        const char *spanish;
    };
    const Case cases[] = {
        { "#,##0.00", 1234567.891, "1,234,567.89", "1.234.567,89" },
        { "#,##0.00", 0.5, "0.50", "0,50" },
        { "#,##0.00", -1234.5, "-1,234.50", "-1.234,50" },
        { "0.00", 0.125, "0.13", "0,13" },
        { "#.##", 0.5, ".5", ",5" },
        { "0.##", 1, "1", "1" },
        { "0.0#", 1.25, "1.25", "1,25" },
        { "00000", 42, "00042", "00042" },
        { "#", 0, "", "" },
        { "0", 1234567, "1234567", "1234567" },
        { "#,##0;(#,##0)", -1234, "(1,234)", "(1.234)" },
        { "#,##0;(#,##0);'nada'", 0, "nada", "nada" },
        { "0.00;-0.00;'cero'", -0.001, "cero", "cero" },
        { "0.00;;\"zero\"", -5, "-5.00", "-5,00" },
        { "0.00E+00", 1234.5, "1.23E+03", "1,23E+03" },
        { "0.00E-00", 1234.5, "1.23E03", "1,23E03" },
        { "0.0E+0", 0.00012, "1.2E-4", "1,2E-4" },
        { "'Total: '#,##0.00' €'", 1234.5, "Total: 1,234.50 €", "Total: 1.234,50 €" },
        { "", 1.5, "1.5", "1,5" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FormatFloat(c.picture, c.value, kEnglish), c.english) << c.picture << " " << c.value;
        EXPECT_EQ(FormatFloat(c.picture, c.value, kSpanish), c.spanish) << c.picture << " " << c.value;
    }
}

TEST(StrToFloat, ReadsTheSettingsSeparator)
{
    struct Case {
        const char *text;
        const TFormatSettings *settings;
        double expected;
    };
    const Case cases[] = {
        { "1234,5", &kSpanish, 1234.5 },
        { "1234.5", &kEnglish, 1234.5 },
        { "  -0,25  ", &kSpanish, -0.25 },
        { ",5", &kSpanish, 0.5 },
        { "5,", &kSpanish, 5 },
        { "1E3", &kEnglish, 1000 },
        { "1,5e-2", &kSpanish, 0.015 },
        { "+7", &kEnglish, 7 },
        { "1e-400", &kEnglish, 0 },
        { "0.1", &kEnglish, 0.1 },
    };
    for (const Case &c : cases) {
        double value = 0;
        EXPECT_TRUE(TryStrToFloat(c.text, value, *c.settings)) << c.text;
        EXPECT_EQ(value, c.expected) << c.text;
    }
}

TEST(StrToFloat, RejectsBadText)
{
    struct Case {
        const char *text;
        const TFormatSettings *settings;
    };
    const Case cases[] = {
        { "", &kEnglish },
        { ",", &kSpanish },
        { "1,2,3", &kSpanish },
        { "1.5", &kSpanish },
        { "1,234.5", &kEnglish },
        { "1e", &kEnglish },
        { "1e+", &kEnglish },
        { "e5", &kEnglish },
        { "1e400", &kEnglish },
        { "- 1", &kEnglish },
        { "abc", &kEnglish },
        { "NAN", &kEnglish },
        { "1.5x", &kEnglish },
    };
    for (const Case &c : cases) {
        double value = 42;
        EXPECT_FALSE(TextToFloat(c.text, value, *c.settings)) << c.text;
        EXPECT_EQ(value, 42);
    }
    try {
        StrToFloat("1,2,3", kSpanish);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "'1,2,3' is not a valid floating point value");
    }
    EXPECT_EQ(StrToFloatDef("x", -1, kEnglish), -1);
}

TEST(Rounding, RoundIsHalfToEvenAndChecksRange)
{
    struct Case {
        double value;
        int64_t round;
        int64_t trunc;
    };
    const Case cases[] = {
        { 0.5, 0, 0 },
        { 1.5, 2, 1 },
        { 2.5, 2, 2 },
        { 3.5, 4, 3 },
        { -0.5, 0, 0 },
        { -1.5, -2, -1 },
        { -2.5, -2, -2 },
        { 2.4999, 2, 2 },
        { -2.7, -3, -2 },
        { 1e15 + 0.5, 1000000000000000, 1000000000000000 },
        { 9.2233720368547748e18, 9223372036854774784, 9223372036854774784 },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Round(c.value), c.round) << c.value;
        EXPECT_EQ(Trunc(c.value), c.trunc) << c.value;
    }
    for (const double bad :
        { 1e30, -1e30, 9223372036854775808.0, std::nan(""), std::numeric_limits<double>::infinity() }) {
        try {
            Round(bad);
            FAIL() << bad;
        } catch (const EInvalidOp &e) {
            EXPECT_EQ(e.Message(), "Invalid floating point operation");
        }
        EXPECT_THROW(Trunc(bad), EInvalidOp) << bad;
    }
    EXPECT_EQ(Round(-9223372036854775808.0), INT64_MIN);
    EXPECT_DOUBLE_EQ(Int(-2.75), -2.0);
    EXPECT_DOUBLE_EQ(Frac(-2.75), -0.75);
    EXPECT_DOUBLE_EQ(Frac(1e300), 0.0);
}

} // namespace
