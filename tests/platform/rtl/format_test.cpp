#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "platform/rtl/sysutils.h"

namespace
{

struct FormatCase {
    const char *name;
    std::function<std::string()> run;
    const char *expected;
};

std::ostream &operator<<(std::ostream &os, const FormatCase &c)
{
    return os << c.name;
}

const TFormatSettings kSpanish = SpanishFormatSettings();
const TFormatSettings kEnglish = EnglishFormatSettings();

class FormatTest : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(FormatTest, Writes)
{
    EXPECT_EQ(GetParam().run(), GetParam().expected);
}

const FormatCase kFormatCases[] = {
    // Integers
    { "decimal", [] { return FormatFS(kEnglish, "%d", 42); }, "42" },
    { "negativeDecimal", [] { return FormatFS(kEnglish, "%d", -42); }, "-42" },
    { "int64Extremes", [] { return FormatFS(kEnglish, "%d %d", INT64_MIN, INT64_MAX); },
        "-9223372036854775808 9223372036854775807" },
    { "precisionPadsZerosAfterSign", [] { return FormatFS(kEnglish, "%.4d", -7); }, "-0007" },
    { "widthRightAligns", [] { return FormatFS(kEnglish, "[%5d]", 7); }, "[    7]" },
    { "minusLeftAligns", [] { return FormatFS(kEnglish, "[%-5d]", 7); }, "[7    ]" },
    { "widthSmallerThanText", [] { return FormatFS(kEnglish, "[%2d]", 12345); }, "[12345]" },
    { "unsignedOfNegativeIntIs32Bit", [] { return FormatFS(kEnglish, "%u", -1); }, "4294967295" },
    { "unsignedOfNegativeInt64", [] { return FormatFS(kEnglish, "%u", int64_t(-1)); },
        "18446744073709551615" },
    { "unsignedArgumentWithD", [] { return FormatFS(kEnglish, "%d", UINT64_MAX); }, "18446744073709551615" },
    { "hexUpperCase", [] { return FormatFS(kEnglish, "%x", 255); }, "FF" },
    { "hexNegativeInt", [] { return FormatFS(kEnglish, "%x", -1); }, "FFFFFFFF" },
    { "hexNegativeShort", [] { return FormatFS(kEnglish, "%x", short(-2)); }, "FFFE" },
    { "hexPrecision", [] { return FormatFS(kEnglish, "%.4x", 10); }, "000A" },
    { "upperCaseType", [] { return FormatFS(kEnglish, "%D %S", 3, "x"); }, "3 x" },
    { "enumAsInteger", [] { return FormatFS(kEnglish, "%d", ffCurrency); }, "4" },
    // Strings
    { "string", [] { return FormatFS(kEnglish, "<%s>", std::string("abc")); }, "<abc>" },
    { "charAsString", [] { return FormatFS(kEnglish, "%s%s", 'a', 'b'); }, "ab" },
    { "nullCString", [] { return FormatFS(kEnglish, "[%s]", static_cast<const char *>(nullptr)); }, "[]" },
    { "precisionCutsCodePoints", [] { return FormatFS(kEnglish, "%.2s", "ñandú"); }, "ña" },
    { "widthCountsCodePoints", [] { return FormatFS(kEnglish, "[%6s]", "añó"); }, "[   añó]" },
    { "percent", [] { return FormatFS(kEnglish, "100%%"); }, "100%" },
    { "noSpecifiers", [] { return FormatFS(kEnglish, "plain"); }, "plain" },
    // Argument index and '*'
    { "indexReorders", [] { return FormatFS(kEnglish, "%1:s %0:s", "a", "b"); }, "b a" },
    { "indexThenContinues", [] { return FormatFS(kEnglish, "%1:s %s %0:s %s", "a", "b", "c"); }, "b c a b" },
    { "indexRepeats", [] { return FormatFS(kEnglish, "%0:s%0:s", "ab"); }, "abab" },
    { "starWidth", [] { return FormatFS(kEnglish, "[%*d]", 4, 7); }, "[   7]" },
    { "starNegativeWidthLeftAligns", [] { return FormatFS(kEnglish, "[%*d]", -4, 7); }, "[7   ]" },
    { "starPrecision", [] { return FormatFS(kEnglish, "%.*f", 3, 1.5); }, "1.500" },
    { "indexWidthPrecision", [] { return FormatFS(kEnglish, "[%1:-6.2f]", 0, 2.0); }, "[2.00  ]" },
    // Floating point, English
    { "fixedDefaultTwoDecimals", [] { return FormatFS(kEnglish, "%f", 3.14159); }, "3.14" },
    { "fixedHalfAwayFromZero", [] { return FormatFS(kEnglish, "%.2f %.2f", 0.125, -0.125); }, "0.13 -0.13" },
    { "fixedZeroDecimals", [] { return FormatFS(kEnglish, "%.0f", 2.5); }, "3" },
    { "fixedNoNegativeZero", [] { return FormatFS(kEnglish, "%.2f", -0.001); }, "0.00" },
    { "exponentDefault", [] { return FormatFS(kEnglish, "%e", 1234.5); }, "1.23450000000000E+003" },
    { "exponentPrecision", [] { return FormatFS(kEnglish, "%.3e", -0.000123456); }, "-1.23E-004" },
    { "generalShort", [] { return FormatFS(kEnglish, "%g", 0.5); }, "0.5" },
    { "generalLarge", [] { return FormatFS(kEnglish, "%g", 1e20); }, "1E20" },
    { "numberThousands", [] { return FormatFS(kEnglish, "%n", 1234567.5); }, "1,234,567.50" },
    { "numberNegative", [] { return FormatFS(kEnglish, "%.1n", -1234.56); }, "-1,234.6" },
    { "moneyEnglish", [] { return FormatFS(kEnglish, "%m", 12.5); }, "$12.50" },
    { "moneyEnglishNegative", [] { return FormatFS(kEnglish, "%m", -12.5); }, "($12.50)" },
    { "nonFinite",
        [] { return FormatFS(kEnglish, "%f %f", std::numeric_limits<double>::infinity(), std::nan("")); },
        "INF NAN" },
    // Floating point, Spanish
    { "fixedSpanish", [] { return FormatFS(kSpanish, "%.1f", 1234.5); }, "1234,5" },
    { "numberSpanish", [] { return FormatFS(kSpanish, "%n", 1234567.5); }, "1.234.567,50" },
    { "moneySpanish", [] { return FormatFS(kSpanish, "%m", 1234.5); }, "1.234,50 €" },
    { "moneySpanishNegative", [] { return FormatFS(kSpanish, "%m", -1234.5); }, "-1.234,50 €" },
    { "moneyWidthCountsEuroOnce", [] { return FormatFS(kSpanish, "[%8m]", 1.0); }, "[  1,00 €]" },
    // Currency arguments are written from their exact digits
    { "currencyFixed", [] { return FormatFS(kEnglish, "%.4f", Currency::FromRaw(123456789)); },
        "12345.6789" },
    { "currencyMaxNumber", [] { return FormatFS(kEnglish, "%.4n", MaxCurrency); },
        "922,337,203,685,477.5807" },
    { "currencyMoneySpanish", [] { return FormatFS(kSpanish, "%m", Currency::FromRaw(-5)); }, "0,00 €" },
    { "pointerNull", [] { return FormatFS(kEnglish, "%p", nullptr); }, "0000000000000000" },
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatTest, ::testing::ValuesIn(kFormatCases),
    [](const auto &info) { return std::string(info.param.name); });

struct FormatErrorCase {
    const char *name;
    std::function<std::string()> run;
    const char *message;
};

std::ostream &operator<<(std::ostream &os, const FormatErrorCase &c)
{
    return os << c.name;
}

class FormatErrorTest : public ::testing::TestWithParam<FormatErrorCase>
{
};

// A translated format string that does not match its arguments must end in
// EConvertError with the class library's message, never in a wrong read.
TEST_P(FormatErrorTest, RaisesConvertError)
{
    try {
        GetParam().run();
        FAIL() << "no exception";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), GetParam().message);
    }
}

const FormatErrorCase kFormatErrorCases[] = {
    { "floatForDecimal", [] { return Format("%d", 1.5); },
        "Format '%d' invalid or incompatible with argument" },
    { "integerForFixed", [] { return Format("%f", 1); },
        "Format '%f' invalid or incompatible with argument" },
    { "integerForString", [] { return Format("%s", 1); },
        "Format '%s' invalid or incompatible with argument" },
    { "stringForDecimal", [] { return Format("%d", "1"); },
        "Format '%d' invalid or incompatible with argument" },
    { "charForDecimal", [] { return Format("%d", 'a'); },
        "Format '%d' invalid or incompatible with argument" },
    { "currencyForHex", [] { return Format("%x", Currency::FromRaw(1)); },
        "Format '%x' invalid or incompatible with argument" },
    { "integerForPointer", [] { return Format("%p", 1); },
        "Format '%p' invalid or incompatible with argument" },
    { "pointerForDecimal", [] { return Format("%d", static_cast<const void *>(nullptr)); },
        "Format '%d' invalid or incompatible with argument" },
    { "unknownType", [] { return Format("%q", 1); }, "Format '%q' invalid or incompatible with argument" },
    { "lonePercentAtEnd", [] { return Format("50%", 1); },
        "Format '50%' invalid or incompatible with argument" },
    { "unfinishedSpecifier", [] { return Format("%5.", 1); },
        "Format '%5.' invalid or incompatible with argument" },
    { "starTakesString", [] { return Format("%*d", "x", 1); },
        "Format '%*d' invalid or incompatible with argument" },
    { "hugeWidth", [] { return Format("%999999999d", 1); },
        "Format '%999999999d' invalid or incompatible with argument" },
    { "hugeStarWidth", [] { return Format("%*s", 100000000, "x"); },
        "Format '%*s' invalid or incompatible with argument" },
    { "missingArgument", [] { return Format("%s and %s", "one"); }, "No argument for format '%s and %s'" },
    { "noArguments", [] { return Format("%d"); }, "No argument for format '%d'" },
    { "indexPastEnd", [] { return Format("%2:s", "a", "b"); }, "No argument for format '%2:s'" },
    { "starWithoutArgument", [] { return Format("%*d"); }, "No argument for format '%*d'" },
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatErrorTest, ::testing::ValuesIn(kFormatErrorCases),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FormatGlobalSettings, FollowsTheGlobalSettings)
{
    TFormatSettingsScope spanish(kSpanish);
    EXPECT_EQ(Format("%.2f|%n", 1234.5, 1234.5), "1234,50|1.234,50");
    TFormatSettingsScope english(kEnglish);
    EXPECT_EQ(Format("%.2f|%n", 1234.5, 1234.5), "1234.50|1,234.50");
}

} // namespace

namespace
{

// Format strings built from the pieces of specifiers, in random order: each
// either formats or raises EConvertError; nothing else may escape, and the
// sanitizer build watches for reads past the end.
TEST(FormatRandomInput, OnlyEverRaisesConvertError)
{
    static constexpr std::string_view kPieces[] = { "%", "%", "%", "d", "s", "f", "x", "m", "n", "p", "u",
        "e", "g", "*", ":", "-", ".", "0", "1", "9", "99999", "ñ", "a", " " };
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) & 0x7FFF;
    };
    int formatted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string format;
        const int length = 1 + static_cast<int>(next() % 8);
        for (int i = 0; i < length; ++i)
            format += kPieces[next() % std::size(kPieces)];
        try {
            FormatFS(kEnglish, format, 3, "text", 2.5, Currency::FromRaw(12345), -7, nullptr, 'c', 1u);
            ++formatted;
        } catch (const EConvertError &) {
        }
    }
    EXPECT_GT(formatted, 1000) << "the generator should also produce valid formats";
}

} // namespace
