#include "controls/widgets/qxdttext.h"
#include "tests/controls/widgets/dttext_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/testing.h"

namespace
{

class DateTimeText : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetClock([] { return EncodeDate(2026, 12, 9) + EncodeTime(14, 30, 15, 0); });
        beeps_ = std::make_unique<BeepCounter>();
    }
    void TearDown() override { SetClock({}); }

    // An unbound picker showing value after format, part `part` selected.
    void Show(TDateTime value, const std::string &format, TqxDTEditDataType type = qxDTEdtDate, int part = 1)
    {
        engine.DisplayFormat = format;
        engine.UnboundDataType = type;
        engine.Value = value;
        engine.Cleared = false;
        engine.Part = part;
        engine.ShowText();
        engine.SelectCurrentPart();
    }

    void Press(uint16_t key, TShiftState shift = {})
    {
        engine.KeyDown(key, shift, qxKeyCharacter(key, shift));
    }

    void Type(const std::string &digits)
    {
        for (const char c : digits)
            Press(static_cast<uint16_t>(c));
    }

    int Beeps() const { return beeps_->Count(); }

    TFormatSettingsScope settings_ { SpanishFormatSettings() };
    std::unique_ptr<BeepCounter> beeps_;
    TDateTimeTextHost host;
    TqxDateTimeText engine { host };
};

// ---- Formats and parts

TEST_F(DateTimeText, ResolvesTheDefaultFormatOfEachKind)
{
    struct Case {
        const char *name;
        TqxDTEditDataType type;
        TDTDateFormat dateFormat;
        std::string expected;
    } cases[] = {
        { "short date", qxDTEdtDate, dfShort, "dd/mm/yyyy" },
        { "long date", qxDTEdtDate, dfLong, "dddd, d 'de' mmmm 'de' yyyy" },
        { "short time", qxDTEdtTime, dfShort, "hh:nn" },
        { "long time", qxDTEdtTime, dfLong, "hh:nn:ss" },
        { "short date and time", qxDTEdtDateTime, dfShort, "c" },
        { "long date and time", qxDTEdtDateTime, dfLong, "dddd, d 'de' mmmm 'de' yyyy hh:nn:ss" },
    };
    for (const Case &c : cases) {
        engine.UnboundDataType = c.type;
        engine.DateFormat = c.dateFormat;
        EXPECT_EQ(engine.ResolveDisplayFormat(true), c.expected) << c.name;
        EXPECT_EQ(engine.ResolveDisplayFormat(false), "") << c.name;
    }
    host.fieldFormat = "yyyy";
    EXPECT_EQ(engine.ResolveDisplayFormat(false), "yyyy");
    engine.DisplayFormat = "mm/yy";
    EXPECT_EQ(engine.ResolveDisplayFormat(true), "mm/yy");
}

TEST_F(DateTimeText, ExpandsTheNamedFormatsInOrder)
{
    engine.DisplayFormat = "c";
    EXPECT_EQ(engine.ExpandDisplayFormat(), "dd/mm/yyyy hh:nn:ss");
    engine.DisplayFormat = "ddddd t";
    EXPECT_EQ(engine.ExpandDisplayFormat(), "dd/mm/yyyy hh:nn");
}

TEST_F(DateTimeText, FormatsLongDatesWithoutATimeAlone)
{
    engine.UnboundDataType = qxDTEdtDateTime;
    engine.DateFormat = dfLong;
    EXPECT_EQ(engine.FormatValue(EncodeDate(2001, 1, 31)), "miércoles, 31 de enero de 2001");
    EXPECT_EQ(engine.FormatValue(0), "");
    host.sourceWithoutField = true;
    EXPECT_EQ(engine.FormatValue(EncodeDate(2001, 1, 31)), "");
}

TEST_F(DateTimeText, CountsThePartsTheKindEdits)
{
    const std::string both = "dd/mm/yyyy hh:nn:ss";
    engine.UnboundDataType = qxDTEdtDate;
    EXPECT_EQ(engine.CountParts(both), 3);
    engine.UnboundDataType = qxDTEdtTime;
    EXPECT_EQ(engine.CountParts(both), 3);
    engine.UnboundDataType = qxDTEdtDateTime;
    EXPECT_EQ(engine.CountParts(both), 6);
    EXPECT_EQ(engine.CountParts("h:mm am/pm"), 3) << "m after h and the separator is the minute";
    EXPECT_EQ(engine.CountParts("yyyy m"), 1) << "a token at the very last character is not read";
}

TEST_F(DateTimeText, LocatesPartsInTheShownText)
{
    struct Case {
        const char *name;
        std::string format;
        TqxDTEditDataType type;
        TDateTime value;
        int part;
        int start;
        std::string token;
        int length;
    } cases[] = {
        { "day", "dd/mm/yyyy", qxDTEdtDate, EncodeDate(2001, 1, 31), 1, 0, "dd", 2 },
        { "year", "dd/mm/yyyy", qxDTEdtDate, EncodeDate(2001, 1, 31), 3, 6, "yyyy", 4 },
        { "past a quoted literal", "dddd, d 'de' mmmm 'de' yyyy", qxDTEdtDate, EncodeDate(2001, 1, 31), 3, 17,
            "mmmm", 5 },
        { "past an accented day name", "dddd dd", qxDTEdtDate, EncodeDate(2001, 1, 31), 2, 10, "dd", 2 },
        { "hour 0 on the 24-hour clock", "h:nn", qxDTEdtTime, EncodeTime(0, 5, 0, 0), 2, 2, "nn", 2 },
        { "hour 0 on the 12-hour clock", "h:nn am/pm", qxDTEdtTime, EncodeTime(0, 5, 0, 0), 2, 3, "nn", 2 },
        { "hour 21 on the 12-hour clock", "h:nn am/pm", qxDTEdtTime, EncodeTime(21, 5, 0, 0), 1, 0, "h", 1 },
        { "am/pm marker", "h:nn am/pm", qxDTEdtTime, EncodeTime(21, 5, 0, 0), 3, 5, "am/pm", 2 },
        { "settings' marker", "hh:nn ampm", qxDTEdtTime, EncodeTime(9, 5, 0, 0), 3, 6, "ampm", 5 },
        { "no such part", "dd/mm/yyyy", qxDTEdtDate, EncodeDate(2001, 1, 31), 4, 0, "", 0 },
    };
    for (const Case &c : cases) {
        Show(c.value, c.format, c.type);
        const TqxDTPart part = engine.LocatePart(c.part, c.value);
        EXPECT_EQ(part.Token, c.token) << c.name;
        if (!c.token.empty()) {
            EXPECT_EQ(part.Start, c.start) << c.name;
            EXPECT_EQ(part.Length, c.length) << c.name;
            EXPECT_EQ(static_cast<int>(Utf8Length(host.text)) >= part.Start + part.Length, true) << c.name;
        }
    }
}

TEST_F(DateTimeText, SelectsTheCurrentPartOrTheWholeTextWhenReadOnly)
{
    Show(EncodeDate(2001, 1, 31), "dd/mm/yyyy", qxDTEdtDate, 2);
    EXPECT_EQ(host.Selected(), "01");
    EXPECT_FALSE(host.caretVisible);
    host.canEdit = false;
    engine.SelectCurrentPart();
    EXPECT_EQ(host.Selected(), "31/01/2001");
    host.canEdit = true;
    host.dropped = true;
    engine.SelectCurrentPart();
    EXPECT_EQ(host.selLength, 0);
}

TEST_F(DateTimeText, CFormatShowsItsTimePartsOnlyWithATime)
{
    Show(EncodeDate(2001, 1, 31), "", qxDTEdtDateTime);
    EXPECT_EQ(host.text, "31/01/2001");
    EXPECT_EQ(engine.VisiblePartCount(), 3);
    Show(EncodeDate(2001, 1, 31) + EncodeTime(8, 0, 0, 0), "", qxDTEdtDateTime);
    EXPECT_EQ(engine.VisiblePartCount(), 6);
}

TEST_F(DateTimeText, PicksThePartUnderTheMouse)
{
    Show(EncodeDate(2001, 1, 31), "dd/mm/yyyy", qxDTEdtDate);
    const auto width = [](const std::string &t) { return static_cast<int>(Utf8Length(t)) * 10; };
    engine.SelectPartAt(15, width);
    EXPECT_EQ(engine.Part, 1);
    engine.SelectPartAt(35, width);
    EXPECT_EQ(engine.Part, 2);
    engine.SelectPartAt(500, width);
    EXPECT_EQ(engine.Part, 3);
    EXPECT_EQ(host.Selected(), "2001");
}

// ---- Keys

TEST_F(DateTimeText, StepsTheDayWithinItsMonth)
{
    Show(EncodeDate(2001, 1, 31), "dd/mm/yyyy");
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 1));
    Press(VK_DOWN);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 31));
    EXPECT_EQ(host.text, "31/01/2001");
    EXPECT_EQ(host.Selected(), "31");
    EXPECT_TRUE(host.modified);
}

TEST_F(DateTimeText, StepsMonthsAndYearsCuttingTheDay)
{
    Show(EncodeDate(2001, 1, 31), "dd/mm/yyyy", qxDTEdtDate, 2);
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 2, 28));
    Show(EncodeDate(2001, 12, 15), "dd/mm/yyyy", qxDTEdtDate, 2);
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 15)) << "the month wraps within its year";
    Show(EncodeDate(2000, 2, 29), "dd/mm/yyyy", qxDTEdtDate, 3);
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 2, 28));
}

TEST_F(DateTimeText, PlusAndMinusKeysStepAndTimePartsWrap)
{
    Show(EncodeTime(23, 59, 0, 0), "hh:nn", qxDTEdtTime, 2);
    Press(VK_ADD);
    EXPECT_EQ(host.text, "23:00");
    Press(VK_OEM_MINUS);
    EXPECT_EQ(host.text, "23:59");
    engine.Part = 1;
    Press(VK_UP);
    EXPECT_EQ(host.text, "00:59");
}

TEST_F(DateTimeText, UpOnAnEmptyDateStartsFromToday)
{
    Show(0, "dd/mm/yyyy");
    EXPECT_EQ(host.text, "");
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2026, 12, 10));
}

TEST_F(DateTimeText, HomeAndEndRespectTheLimits)
{
    engine.MinDate = EncodeDate(2001, 1, 20);
    engine.MaxDate = EncodeDate(2001, 3, 10);
    Show(EncodeDate(2001, 1, 25), "dd/mm/yyyy");
    Press(VK_HOME);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 20));
    Press(VK_END);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 31));
    engine.Part = 2;
    Press(VK_END);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 2, 28)) << "the 31st of March is past the limit";
    Press(VK_UP);
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 3, 10));
    engine.Part = 1;
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 3, 10)) << "Up at the upper limit does nothing";
}

TEST_F(DateTimeText, TypesTwoDigitParts)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy");
    Type("3");
    EXPECT_TRUE(engine.Typing);
    EXPECT_EQ(host.text, "3/01/2001");
    Type("1");
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 31));
    EXPECT_EQ(engine.Part, 2) << "typing moves on to the next part";
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy");
    Type("4");
    EXPECT_EQ(host.text, "04/01/2001");
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 4));
}

TEST_F(DateTimeText, ADayTooLongForTheMonthMovesTheMonth)
{
    Show(EncodeDate(2001, 2, 10), "dd/mm/yyyy");
    Type("31");
    EXPECT_EQ(engine.Value, EncodeDate(2001, 3, 31));
    Show(EncodeDate(2001, 2, 10), "mm/dd/yyyy", qxDTEdtDate, 2);
    Type("29");
    EXPECT_EQ(engine.Value, EncodeDate(2004, 2, 29)) << "with the month first, the year moves to the next leap year";
}

TEST_F(DateTimeText, RefusesBadDigitsWithABeep)
{
    engine.MaxDate = EncodeDate(2001, 1, 20);
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy");
    Type("25");
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 15));
    EXPECT_EQ(Beeps(), 1);
    Show(EncodeDate(2001, 1, 15), "dddd dd", qxDTEdtDate, 1);
    Type("2");
    EXPECT_EQ(Beeps(), 2) << "a day name takes no digits";
}

TEST_F(DateTimeText, TwoDigitYearsFollowTheEpoch)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yy", qxDTEdtDate, 3);
    Type("49");
    EXPECT_EQ(engine.Value, EncodeDate(2049, 1, 15));
    engine.Part = 3;
    engine.SelectCurrentPart();
    Type("50");
    EXPECT_EQ(engine.Value, EncodeDate(1950, 1, 15));
}

TEST_F(DateTimeText, FourDigitYearsWaitForTheFourthDigit)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy", qxDTEdtDate, 3);
    Type("199");
    EXPECT_TRUE(engine.Typing);
    EXPECT_EQ(host.text, "15/01/199");
    Type("8");
    EXPECT_EQ(engine.Value, EncodeDate(1998, 1, 15));
    EXPECT_EQ(host.text, "15/01/1998");
}

TEST_F(DateTimeText, CommittingTypedDigitsOnLeavingThePart)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy", qxDTEdtDate, 3);
    Type("5");
    Press(VK_LEFT);
    EXPECT_EQ(engine.Value, EncodeDate(2005, 1, 15));
    EXPECT_EQ(engine.Part, 2);
    engine.Part = 1;
    engine.SelectCurrentPart();
    Type("2");
    Press(VK_RIGHT);
    EXPECT_EQ(engine.Value, EncodeDate(2005, 1, 2));
    EXPECT_FALSE(engine.Typing);
}

TEST_F(DateTimeText, SeparatorKeyMovesOnWhileTyping)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy");
    Type("2");
    Press(VK_DIVIDE);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 2));
    EXPECT_EQ(engine.Part, 2);
}

TEST_F(DateTimeText, RightUnderCAddsThePresentTime)
{
    Show(EncodeDate(2001, 1, 31), "", qxDTEdtDateTime, 3);
    Press(VK_RIGHT);
    EXPECT_EQ(host.text, "31/01/2001 14:30:15");
    EXPECT_EQ(engine.Part, 4);
    EXPECT_EQ(host.Selected(), "14");
    Press(VK_BACK);
    EXPECT_EQ(host.text, "31/01/2001") << "Backspace on a time part drops the time";
    EXPECT_EQ(engine.Part, 3);
}

TEST_F(DateTimeText, LettersSearchMonthAndDayNames)
{
    Show(EncodeDate(2001, 1, 15), "dd mmmm yyyy", qxDTEdtDate, 2);
    Press('M');
    EXPECT_EQ(host.text, "15 marzo 2001");
    Press('M');
    EXPECT_EQ(host.text, "15 mayo 2001");
    Press('M');
    EXPECT_EQ(host.text, "15 marzo 2001") << "the search wraps round from January";
    Show(EncodeDate(2001, 1, 15), "dddd dd", qxDTEdtDate, 1); // a Monday
    Press('V');
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 19));
    Press('L');
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 15)) << "within the same week";
}

TEST_F(DateTimeText, AmPmLettersAndSteps)
{
    TFormatSettingsScope english(EnglishFormatSettings());
    Show(EncodeTime(9, 0, 0, 0), "h:nn am/pm", qxDTEdtTime, 3);
    Press('P');
    EXPECT_EQ(host.text, "9:00 pm");
    Press('P');
    EXPECT_EQ(host.text, "9:00 pm");
    Press(VK_UP);
    EXPECT_EQ(host.text, "9:00 am");
    engine.Part = 1;
    Type("1");
    Type("1");
    EXPECT_EQ(host.text, "11:00 am");
}

TEST_F(DateTimeText, BackspaceClearsADate)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy", qxDTEdtDate, 2);
    Press(VK_BACK);
    EXPECT_EQ(engine.Value, 0);
    EXPECT_EQ(host.text, "");
    EXPECT_EQ(engine.Part, 1);
    EXPECT_TRUE(host.caretVisible);
}

TEST_F(DateTimeText, TypingIntoAnEmptyPickerCreatesAValue)
{
    engine.MinDate = EncodeDate(2030, 6, 1);
    Show(0, "dd/mm/yyyy");
    Type("4");
    EXPECT_EQ(host.beginEdits, 1);
    EXPECT_EQ(engine.Value, EncodeDate(2030, 6, 4)) << "today is before the limit, so the limit is the start";
}

TEST_F(DateTimeText, PasteReadsTheTextBack)
{
    Show(EncodeDate(2001, 1, 15), "dd/mm/yyyy");
    engine.Paste("3/4/2005");
    EXPECT_EQ(engine.Value, EncodeDate(2005, 4, 3));
    EXPECT_EQ(host.text, "03/04/2005");
    engine.Paste("nonsense");
    EXPECT_EQ(engine.Value, EncodeDate(2005, 4, 3));
    EXPECT_EQ(host.text, "03/04/2005");
    engine.Cut();
    EXPECT_EQ(engine.Value, 0);
    EXPECT_TRUE(engine.Cleared);
}

TEST_F(DateTimeText, AKeyOnAnEmptyPickerStartsWithinTheLimits)
{
    engine.MaxDate = EncodeDate(2020, 6, 30);
    Show(0, "dd/mm/yyyy");
    Press(VK_HOME);
    EXPECT_EQ(engine.Value, EncodeDate(2020, 6, 1)) << "today is past the limit: the limit's month";
    Show(0, "dd/mm/yyyy");
    Press(VK_END);
    EXPECT_EQ(engine.Value, EncodeDate(2020, 6, 30));
}

TEST_F(DateTimeText, TypingADayLeavesTheMonthAndYearTheFormatHides)
{
    Show(EncodeDate(2001, 2, 10), "mm/dd", qxDTEdtDate, 2);
    Type("29");
    EXPECT_EQ(host.text, "02/28");
    EXPECT_EQ(engine.Value, EncodeDate(2001, 2, 28));
    Show(EncodeDate(1999, 6, 15), "dd/yy");
    Type("31");
    EXPECT_EQ(engine.Value, EncodeDate(1999, 6, 30));
    EXPECT_EQ(host.text, "30/99");
}

TEST_F(DateTimeText, TheTextShowsTheValueAfterARefusedKey)
{
    engine.MaxDate = EncodeDate(2001, 7, 5);
    Show(EncodeDate(2001, 7, 5), "dd/mm/yyyy");
    Type("2");
    Press(VK_UP);
    EXPECT_EQ(host.text, "05/07/2001") << "Up at the limit is refused";
    EXPECT_EQ(host.Selected(), "05");
    Show(EncodeDate(2000, 1, 30), "dd/mm/yyyy", qxDTEdtDate, 2);
    Type("0");
    Press('X');
    EXPECT_EQ(host.text, "30/01/2000") << "a letter on a digit part";
    engine.Part = 3;
    Press(VK_F2);
    EXPECT_EQ(host.Selected(), "2000");
}

TEST_F(DateTimeText, UpOnADayThatWrapsBelowTheLowerLimitChangesNothing)
{
    engine.MinDate = EncodeDate(2001, 1, 15);
    Show(EncodeDate(2001, 1, 31), "dd/mm/yyyy");
    Press(VK_UP);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 31));
    Press(VK_DOWN);
    EXPECT_EQ(engine.Value, EncodeDate(2001, 1, 30));
}

TEST_F(DateTimeText, DayNameSearchesStopAtTheLastDay)
{
    Show(EncodeDate(9999, 12, 31), "dddd dd/mm/yyyy"); // a Friday
    EXPECT_NO_THROW(Press('S'));
    EXPECT_EQ(engine.Value, EncodeDate(9999, 12, 31)) << "Saturday would pass the limit";
    EXPECT_NO_THROW(Press('L'));
    EXPECT_EQ(engine.Value, EncodeDate(9999, 12, 27));
}

// ---- Invariants over random formats, values, limits and keys

TEST_F(DateTimeText, RandomKeysKeepTheValueWithinLimitsShownAndItsHiddenPartsStill)
{
    struct Format {
        std::string text;
        TqxDTEditDataType type;
        const char *shows; // Y, M, D: the date parts the format shows
    };
    const Format formats[] = {
        { "dd/mm/yyyy", qxDTEdtDate, "YMD" },
        { "mm/dd", qxDTEdtDate, "MD" },
        { "dd/yy", qxDTEdtDate, "YD" },
        { "mm/yyyy", qxDTEdtDate, "YM" },
        { "yyyy", qxDTEdtDate, "Y" },
        { "mmmm", qxDTEdtDate, "M" },
        { "dddd", qxDTEdtDate, "D" },
        { "dddd dd", qxDTEdtDate, "D" },
        { "d mmm", qxDTEdtDate, "MD" },
        { "dd mmmm yyyy", qxDTEdtDate, "YMD" },
        { "ddd d/m/yy", qxDTEdtDate, "YMD" },
        { "yy/mm/dd", qxDTEdtDate, "YMD" },
        { "hh:nn", qxDTEdtTime, "" },
        { "h:nn:ss am/pm", qxDTEdtTime, "" },
        { "hh:nn ampm", qxDTEdtTime, "" },
        { "c", qxDTEdtDateTime, "YMD" },
        { "dd/mm/yyyy hh:nn", qxDTEdtDateTime, "YMD" },
        { "mm/yy h:n a/p", qxDTEdtDateTime, "YM" },
        { "dddd hh:nn:ss", qxDTEdtDateTime, "D" },
    };
    const uint16_t keys[] = { '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', VK_NUMPAD0 + 3, 'A', 'D', 'E', 'J', 'L',
        'M', 'P', 'S', 'V', 'X', VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_HOME, VK_END, VK_SPACE, VK_BACK, VK_DELETE,
        VK_F2, VK_ADD, VK_SUBTRACT, VK_DIVIDE, VK_OEM_1 };
    const TDateTime edges[] = { EncodeDate(9999, 12, 31), EncodeDate(9999, 12, 26), EncodeDate(1900, 1, 1),
        EncodeDate(2000, 2, 29), EncodeDate(2001, 1, 31), EncodeDate(2026, 12, 9) };
    const auto dayOf = [](TDateTime value) { return static_cast<int>(std::trunc(value)); };
    const auto yearMonthDay = [](TDateTime value) {
        uint16_t y, m, d;
        DecodeDate(value, y, m, d);
        return std::array<int, 3> { y, m, d };
    };

    std::mt19937 random(20261209);
    const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto someDate = [&] {
        return pick(4) == 0 ? edges[pick(std::size(edges))] : static_cast<TDateTime>(pick(2958465 - 1) + 1);
    };
    for (int run = 0; run < 600; ++run) {
        TFormatSettingsScope language(run % 3 == 0 ? EnglishFormatSettings() : SpanishFormatSettings());
        const Format &format = formats[pick(std::size(formats))];
        host = TDateTimeTextHost();
        host.firstDay = pick(7);
        engine.MinDate = engine.MaxDate = 0;
        engine.Typing = false;
        const TDateTime time = EncodeTime(static_cast<uint16_t>(pick(24)), static_cast<uint16_t>(pick(60)),
            static_cast<uint16_t>(pick(60)), 0);
        TDateTime value = format.type == qxDTEdtTime ? time : someDate() + (pick(2) ? time : 0);
        if (format.type != qxDTEdtTime) {
            const TDateTime a = someDate(), b = someDate();
            switch (pick(4)) {
            case 1:
                engine.MinDate = std::min(a, b);
                break;
            case 2:
                engine.MaxDate = std::max(a, b);
                break;
            case 3:
                engine.MinDate = std::min(a, b);
                engine.MaxDate = std::max(a, b);
                break;
            default:
                break;
            }
            if (dayOf(engine.MaxDate) != 0 && dayOf(value) > dayOf(engine.MaxDate))
                value = std::trunc(engine.MaxDate) + time;
            if (dayOf(engine.MinDate) != 0 && dayOf(value) < dayOf(engine.MinDate))
                value = std::trunc(engine.MinDate) + time;
            if (pick(8) == 0)
                value = 0;
        }
        Show(value, format.text, format.type, 1);

        std::ostringstream trace;
        trace << "format \"" << format.text << "\" value " << value << " limits " << engine.MinDate << ".."
              << engine.MaxDate << " first day " << host.firstDay << " keys";
        for (int k = 0; k < 25; ++k) {
            const TDateTime before = engine.Value;
            const uint16_t key = keys[pick(std::size(keys))];
            trace << " " << key;
            try {
                Press(key);
            } catch (const std::exception &e) {
                FAIL() << trace.str() << ": " << e.what();
            }
            const TDateTime now = engine.Value;
            const int length = static_cast<int>(Utf8Length(host.text));
            ASSERT_LE(host.selStart + host.selLength, length) << trace.str();
            if (engine.Typing)
                continue;
            if (format.type == qxDTEdtTime) {
                ASSERT_EQ(host.text, FormatDateTime(format.text, now)) << trace.str();
                continue;
            }
            ASSERT_EQ(host.text, now == 0 ? "" : FormatDateTime(format.text, now)) << trace.str();
            if (now == 0)
                continue;
            ASSERT_GE(engine.Part, 1) << trace.str();
            ASSERT_LE(engine.Part, std::max(1, engine.VisiblePartCount())) << trace.str();
            ASSERT_LE(dayOf(now), dayOf(engine.UpperLimit())) << trace.str();
            ASSERT_GE(dayOf(now), dayOf(engine.LowerLimit())) << trace.str();
            if (before == 0)
                continue;
            const auto was = yearMonthDay(before), is = yearMonthDay(now);
            const std::string shows = format.shows;
            if (shows.find('Y') == std::string::npos) {
                ASSERT_EQ(is[0], was[0]) << trace.str() << ": the hidden year moved";
            }
            if (shows.find('M') == std::string::npos) {
                ASSERT_EQ(is[1], was[1]) << trace.str() << ": the hidden month moved";
            }
            if (shows.find('D') == std::string::npos) {
                ASSERT_EQ(is[2], std::min(was[2], static_cast<int>(DaysInAMonth(static_cast<uint16_t>(is[0]),
                                                      static_cast<uint16_t>(is[1])))))
                    << trace.str() << ": the hidden day moved";
            }
        }
    }
}

TEST_F(DateTimeText, TheSelectedPartStaysAmongThePartsAfterACut)
{
    for (const char *format : { "", "dd/mm/yyyy" }) {
        Show(EncodeDate(2001, 1, 31), format, qxDTEdtDateTime, 3);
        engine.Cut();
        for (uint16_t key : { VK_RIGHT, VK_SPACE, VK_RIGHT, VK_LEFT }) {
            Press(key);
            EXPECT_GE(engine.Part, 1) << format << " key " << key;
            EXPECT_LE(engine.Part, engine.CountParts(engine.ExpandDisplayFormat())) << format << " key " << key;
        }
    }
}

} // namespace
