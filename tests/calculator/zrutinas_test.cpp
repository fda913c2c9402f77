#include "calculator/zrutinas.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

// Leaves no busy state behind for the next test.
void EndBusyStates()
{
    while (BusyCount() > 0)
        SetBusyCursor(crArrow);
    Screen->SetCursor(crDefault);
}

struct BoxCase {
    const char *name;
    std::string text;
    int kind;
    std::string shown;
    std::string caption;
};

class MessageBoxText : public ::testing::TestWithParam<BoxCase>
{
};

TEST_P(MessageBoxText, GetsCaptionAndPeriodByRule)
{
    ScriptedMessageBoxes boxes;
    const BoxCase &c = GetParam();
    ShowMessageBox(c.text, c.kind, MB_OK);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, c.shown);
    EXPECT_EQ(boxes.Last().Caption, c.caption);
    EXPECT_EQ(boxes.Last().Flags, static_cast<uint32_t>(c.kind));
}

INSTANTIATE_TEST_SUITE_P(Rules, MessageBoxText,
    ::testing::Values(BoxCase { "PlainTextGetsAPeriod", "Fichero no encontrado", MB_ICONERROR,
                          "Fichero no encontrado.", "Error" },
        BoxCase { "PeriodIsNotDoubled", "Hecho.", MB_ICONINFORMATION, "Hecho.", "Información" },
        BoxCase { "QuestionMarkEndsIt", "¿Seguro?", MB_ICONQUESTION, "¿Seguro?", "Pregunta" },
        BoxCase { "LineFeedEndsIt", "Dos líneas\n", MB_ICONERROR, "Dos líneas\n", "Error" },
        BoxCase { "TabAnywhereKeepsItAsItIs", "Columna\tvalor", MB_ICONERROR, "Columna\tvalor", "Error" },
        BoxCase { "EmptyStaysEmpty", "", MB_ICONERROR, "", "Error" },
        BoxCase { "OtherKindHasNoCaption", "Aviso", MB_ICONWARNING, "Aviso.", "" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CompanyRoutines, ConfirmAsksWithTheFixedEnding)
{
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    boxes.Answer(IDYES);
    EXPECT_FALSE(Confirm("Cierre de la calculadora"));
    EXPECT_TRUE(Confirm("Cierre de la calculadora"));
    ASSERT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Last().Text, "Cierre de la calculadora\n\n Confirma ?");
    EXPECT_EQ(boxes.Last().Caption, "Pregunta");
    EXPECT_EQ(boxes.Last().Flags, MB_ICONQUESTION | MB_YESNO);
}

TEST(CompanyRoutines, ShowErrorIsAnErrorBoxWithOk)
{
    ScriptedMessageBoxes boxes;
    ShowError("Valor pegado inválido");
    EXPECT_EQ(boxes.Last().Text, "Valor pegado inválido.");
    EXPECT_EQ(boxes.Last().Flags, MB_ICONERROR | MB_OK);
}

TEST(CompanyRoutines, TheSetupProgramsOlderBuildAsksToContinue)
{
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    EXPECT_FALSE(SetupRoutines::ConfirmContinue("Se instalará de nuevo"));
    // The older period rule looks only at the last character.
    EXPECT_EQ(boxes.Last().Text, "Se instalará de nuevo\n\n Continúa?");
    SetupRoutines::ShowMessageBox("Línea\n", MB_ICONERROR, MB_OK);
    EXPECT_EQ(boxes.Last().Text, "Línea\n.");
    SetupRoutines::ShowMessageBox("A\tB", MB_ICONINFORMATION, MB_OK);
    EXPECT_EQ(boxes.Last().Text, "A\tB.");
    EXPECT_EQ(boxes.Last().Caption, "Información");
    SetupRoutines::ShowMessageBox("", MB_ICONERROR, MB_OK);
    EXPECT_EQ(boxes.Last().Text, "");
}

TEST(BusyCursor, NestsAndEndsOnlyWithTheOutermost)
{
    EndBusyStates();
    SetBusyCursor(crHourGlass);
    SetBusyCursor(crHourGlass);
    SetBusyCursor(crArrow);
    EXPECT_EQ(BusyCount(), 1);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    SetBusyCursor(crArrow);
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_EQ(Screen->Cursor(), crArrow);
    SetBusyCursor(crArrow);
    EXPECT_EQ(BusyCount(), 0);
    SetBusyCursor(crHandPoint);
    EXPECT_EQ(Screen->Cursor(), crHandPoint);
    EXPECT_EQ(BusyCount(), 0);
    EndBusyStates();
}

TEST(BusyCursor, AMessageBoxShowsTheArrowAndRestoresTheBusyState)
{
    EndBusyStates();
    SetBusyCursor(crHourGlass);
    SetBusyCursor(crHourGlass);
    struct SeeingBoxes : ScriptedMessageBoxes {
        int Show(HWND owner, const std::string &text, const std::string &caption, uint32_t flags,
            uint16_t languageId) override
        {
            cursorDuring = Screen->Cursor();
            countDuring = BusyCount();
            return ScriptedMessageBoxes::Show(owner, text, caption, flags, languageId);
        }
        TCursor cursorDuring = crDefault;
        int countDuring = -1;
    } boxes;
    ShowError("Algo");
    EXPECT_EQ(boxes.cursorDuring, crArrow);
    EXPECT_EQ(boxes.countDuring, 0);
    EXPECT_EQ(BusyCount(), 2);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EndBusyStates();
}

TEST(BusyCursor, RaiseErrorEndsEveryBusyStateAndAddsThePeriod)
{
    EndBusyStates();
    SetBusyCursor(crHourGlass);
    SetBusyCursor(crHourGlass);
    try {
        RaiseError("Intento de división por cero");
        FAIL() << "RaiseError returned";
    } catch (const Exception &e) {
        EXPECT_STREQ(e.ClassName(), "Exception");
        EXPECT_EQ(e.Message(), "Intento de división por cero.");
    }
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_EQ(Screen->Cursor(), crArrow);
    EXPECT_THROW(
        try { RaiseError("Ya acaba."); } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), "Ya acaba.");
            throw;
        },
        Exception);
}

TEST(StringRoutines, RemoveAllAlsoTakesOccurrencesFormedByDeletion)
{
    EXPECT_EQ(RemoveAll("a--b", "-"), "ab");
    EXPECT_EQ(RemoveAll("aabb", "ab"), "");
    EXPECT_EQ(RemoveAll("-----", "-"), "");
    EXPECT_EQ(RemoveAll("xyz", "q"), "xyz");
}

TEST(StringRoutines, PadLeftZerosPadsOrKeepsTheRightmost)
{
    EXPECT_EQ(PadLeftZeros("1234567", 6), "234567");
    EXPECT_EQ(PadLeftZeros("5", 6), "000005");
    EXPECT_EQ(PadLeftZeros("123456", 6), "123456");
    EXPECT_EQ(PadLeftZeros("", 3), "000");
}

TEST(NumberRoutines, BlankTextsAreZeroAndOthersMustConvert)
{
    TFormatSettingsScope spanish(SpanishFormatSettings());
    EXPECT_EQ(TextToCurr("  "), Currency());
    EXPECT_EQ(TextToFloat(""), 0.0);
    EXPECT_EQ(TextToCurr("1234,5").Value, 12345000);
    EXPECT_EQ(TextToCurrRounded("2,5").Value, 25000);
    EXPECT_DOUBLE_EQ(TextToFloat("0,25"), 0.25);
    EXPECT_THROW(TextToCurr("abc"), EConvertError);
    EXPECT_THROW(TextToFloat("1,2,3"), EConvertError);
}

TEST(NumberRoutines, IntPowAndItsOverflow)
{
    EXPECT_EQ(IntPow(10, 0), 1);
    EXPECT_EQ(IntPow(10, 4), 10000);
    EXPECT_EQ(IntPow(-2, 31), INT32_MIN);
    EXPECT_EQ(IntPow(1, 65535), 1);
    try {
        IntPow(10, 10);
        FAIL() << "no overflow";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "Resultado potencia entera causa desbordamiento.");
    }
    EXPECT_THROW(IntPow(2, 31), Exception);
}

struct DecimalsCase {
    const char *name;
    double value;
    int decimals;
};

class CountDecimalsOf : public ::testing::TestWithParam<DecimalsCase>
{
};

TEST_P(CountDecimalsOf, CountsSignificantDecimalsUpToSix)
{
    EXPECT_EQ(CountDecimals(GetParam().value), GetParam().decimals);
}

INSTANTIATE_TEST_SUITE_P(Values, CountDecimalsOf,
    ::testing::Values(DecimalsCase { "TwoDecimals", 1.25, 2 }, DecimalsCase { "Whole", 3.0, 0 },
        DecimalsCase { "SeventhDecimalRoundsIntoSixth", 0.1234567, 6 }, DecimalsCase { "Negative", -1.05, 2 },
        DecimalsCase { "TrailingZerosDoNotCount", 1.2, 1 },
        DecimalsCase { "AlmostOneRoundsAway", 0.9999999, 0 },
        DecimalsCase { "LargestInteger", 2147483647.5, 1 },
        // A tie in double precision, but the double is above it.
        DecimalsCase { "SixthDecimalAboveADoubleTie", 0.1000005, 6 },
        DecimalsCase { "FifthAndSixthAboveADoubleTie", 0.0100005, 6 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NumberRoutines, CountDecimalsRefusesIntegersOutside32Bits)
{
    EXPECT_THROW(CountDecimals(2147483648.0), EInvalidOp);
    EXPECT_THROW(CountDecimals(-2147483649.0), EInvalidOp);
}

struct RoundCase {
    const char *name;
    int decimals;
    int64_t raw;
    int64_t rounded;
    int64_t truncated;
};

class FixedPointRounding : public ::testing::TestWithParam<RoundCase>
{
};

TEST_P(FixedPointRounding, RoundsHalfAwayAndTruncatesTowardZero)
{
    const RoundCase &c = GetParam();
    EXPECT_EQ(RoundToDecimals(c.decimals, Currency::FromRaw(c.raw)).Value, c.rounded);
    EXPECT_EQ(TruncToDecimals(c.decimals, Currency::FromRaw(c.raw)).Value, c.truncated);
}

INSTANTIATE_TEST_SUITE_P(Values, FixedPointRounding,
    ::testing::Values(RoundCase { "BelowHalf", 2, 12345, 12300, 12300 },
        RoundCase { "ExactlyHalf", 2, 12350, 12400, 12300 },
        RoundCase { "NegativeHalf", 2, -12350, -12400, -12300 },
        RoundCase { "NegativeBelowOneUnit", 2, -60, -100, 0 },
        RoundCase { "HalfToNoDecimalsNegative", 0, -5000, -10000, 0 },
        RoundCase { "JustBelowHalfToNoDecimals", 0, 4999, 0, 0 },
        RoundCase { "TruncationKeepsDigits", 2, 12399, 12400, 12300 },
        RoundCase { "NegativeTruncation", 2, -12399, -12400, -12300 },
        RoundCase { "FourDecimalsUnchanged", 4, -12345, -12345, -12345 },
        RoundCase { "ThreeDecimals", 3, 29999, 30000, 29990 },
        RoundCase { "NoDecimalsFromAlmostThree", 0, 29999, 30000, 20000 },
        RoundCase { "LargestValueTruncates", 2, INT64_MAX, INT64_MAX / 100 * 100, INT64_MAX / 100 * 100 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NumberRoutines, RoundingPastTheRangeRaisesInsteadOfWrapping)
{
    EXPECT_THROW(RoundToDecimals(0, Currency::FromRaw(INT64_MAX)), EInvalidOp);
    EXPECT_THROW(RoundToDecimals(0, Currency::FromRaw(INT64_MIN)), EInvalidOp);
}

} // namespace
