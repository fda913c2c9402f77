#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/rtl/sysutils.h"

namespace
{

const TFormatSettings kSpanish = SpanishFormatSettings();
const TFormatSettings kEnglish = EnglishFormatSettings();

// Pins the clock for one test.
class PinnedClock
{
public:
    explicit PinnedClock(TDateTime moment)
    {
        SetClock([moment] { return moment; });
    }
    ~PinnedClock() { SetClock(nullptr); }
};

// Runs with another time zone for one scope.
class TimeZoneScope
{
public:
    explicit TimeZoneScope(const char *zone)
    {
        const char *old = std::getenv("TZ");
        saved_ = old ? old : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneScope()
    {
        setenv("TZ", saved_.c_str(), 1);
        tzset();
    }

private:
    std::string saved_;
};

TDateTime At(
    uint16_t y, uint16_t m, uint16_t d, uint16_t h = 0, uint16_t n = 0, uint16_t s = 0, uint16_t z = 0)
{
    const TDateTime date = EncodeDate(y, m, d);
    const TDateTime time = EncodeTime(h, n, s, z);
    return date < 0 ? date - time : date + time;
}

std::string Iso(TDateTime value)
{
    return FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", value, kEnglish);
}

TEST(EncodeDate, KnownDays)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(1970, 1, 1), UnixDateDelta);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
    EXPECT_EQ(EncodeDate(100, 1, 1), MinDateTime);
}

TEST(EncodeDate, RoundTripsEveryDayOfTheRange)
{
    int64_t expected = -693593;
    int checked = 0;
    for (uint16_t year = 1; year <= 9999; ++year) {
        for (uint16_t month = 1; month <= 12; ++month) {
            const uint16_t last = MonthDays[IsLeapYear(year) ? 1 : 0][month - 1u];
            for (uint16_t day = 1; day <= last; ++day, ++expected) {
                const TDateTime date = EncodeDate(year, month, day);
                uint16_t y, m, d;
                DecodeDate(date < 0 ? date - 0.75 : date + 0.75, y, m, d);
                if (date != static_cast<double>(expected) || y != year || m != month || d != day) {
                    ADD_FAILURE() << year << "-" << month << "-" << day;
                    return;
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 3652059);
}

TEST(EncodeDate, RejectsInvalidParts)
{
    struct Case {
        uint16_t y, m, d;
    };
    const Case cases[] = { { 0, 1, 1 }, { 10000, 1, 1 }, { 2026, 0, 1 }, { 2026, 13, 1 }, { 2026, 1, 0 },
        { 2026, 1, 32 }, { 2026, 2, 29 }, { 1900, 2, 29 }, { 2026, 4, 31 } };
    for (const Case &c : cases) {
        TDateTime value = 123;
        EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, value)) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(value, 123);
    }
    try {
        EncodeDate(2026, 2, 30);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2024));
}

TEST(EncodeTime, ChecksPartsAndRoundTrips)
{
    TDateTime value;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
    EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    for (uint16_t h = 0; h < 24; ++h)
        for (uint16_t n = 0; n < 60; n += 7)
            for (uint16_t s = 0; s < 60; s += 13)
                for (uint16_t z : { 0, 1, 499, 999 }) {
                    uint16_t hh, nn, ss, zz;
                    DecodeTime(EncodeDate(2026, 3, 9) + EncodeTime(h, n, s, z), hh, nn, ss, zz);
                    ASSERT_EQ(
                        hh * 3600000 + nn * 60000 + ss * 1000 + zz, h * 3600000 + n * 60000 + s * 1000 + z);
                }
}

TEST(DecodeDate, NegativeDatesCountTheirTimeForward)
{
    EXPECT_EQ(Iso(-1.25), "1899-12-29 06:00:00.000");
    EXPECT_EQ(Iso(At(1800, 6, 15, 18, 30)), "1800-06-15 18:30:00.000");
    EXPECT_EQ(Iso(-0.5), "1899-12-30 12:00:00.000");
    // A moment a hair before midnight rounds into the next day as a whole.
    EXPECT_EQ(Iso(EncodeDate(2026, 12, 31) + 0.99999999999), "2027-01-01 00:00:00.000");
}

TEST(DecodeDate, OutOfRangeRaises)
{
    uint16_t y, m, d;
    EXPECT_THROW(DecodeDate(3e6, y, m, d), EConvertError);
    EXPECT_THROW(DecodeDate(-700000, y, m, d), EConvertError);
    EXPECT_THROW(DecodeDate(std::nan(""), y, m, d), EConvertError);
    EXPECT_THROW(FormatDateTime("c", std::numeric_limits<double>::infinity(), kEnglish), EConvertError);
}

TEST(DayOfWeek, SundayIsOne)
{
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 3, 8)), 1); // Sunday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 3, 9) + 0.9), 2);
    EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2); // Monday
    EXPECT_EQ(DayOfWeek(-1.5), 6);
}

TEST(TimeStamp, SplitsAndJoinsExactly)
{
    struct Case {
        const char *name;
        TDateTime moment;
        int32_t date;
        int32_t time;
    };
    const Case cases[] = {
        { "epoch", 0, 693594, 0 },
        { "firstDay", EncodeDate(1, 1, 1), 1, 0 },
        { "beforeEpoch", -1.25, 693593, 21600000 },
        { "lastMillisecond", At(9999, 12, 31, 23, 59, 59, 999), 3652059, 86399999 },
    };
    for (const Case &c : cases) {
        const TTimeStamp ts = DateTimeToTimeStamp(c.moment);
        EXPECT_EQ(ts.Date, c.date) << c.name;
        EXPECT_EQ(ts.Time, c.time) << c.name;
        EXPECT_EQ(Iso(TimeStampToDateTime(ts)), Iso(c.moment)) << c.name;
        const TTimeStamp back = MSecsToTimeStamp(TimeStampToMSecs(ts));
        EXPECT_EQ(back.Date, c.date) << c.name;
        EXPECT_EQ(back.Time, c.time) << c.name;
    }
    EXPECT_THROW(TimeStampToDateTime({ -1, 693594 }), EConvertError);
    EXPECT_THROW(TimeStampToDateTime({ 0, 0 }), EConvertError);
    EXPECT_THROW(TimeStampToDateTime({ MSecsPerDay, 1 }), EConvertError);
    EXPECT_THROW(MSecsToTimeStamp(-1), EConvertError);
    EXPECT_THROW(MSecsToTimeStamp(std::nan("")), EConvertError);
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2100, 2), 28);
    EXPECT_THROW(DaysInAMonth(2024, 13), EConvertError);
}

TEST(Clock, CanBePinned)
{
    const TDateTime moment = At(2026, 3, 9, 14, 5, 7, 89);
    {
        PinnedClock pin(moment);
        EXPECT_EQ(Now(), moment);
        EXPECT_EQ(Date(), EncodeDate(2026, 3, 9));
        EXPECT_NEAR(Time(), EncodeTime(14, 5, 7, 89), 1e-9);
    }
    // Back on the system clock, which the test main runs in UTC.
    const TDateTime system = UnixTimeToDateTime(time(nullptr));
    EXPECT_NEAR(Now(), system, 2.0 / SecsPerDay);
}

// ---- FormatDateTime ------------------------------------------------------

struct LetterCase {
    const char *name;
    const char *format;
    const char *english;
    const char *spanish;
};

std::ostream &operator<<(std::ostream &os, const LetterCase &c)
{
    return os << c.name;
}

class FormatDateTimeTest : public ::testing::TestWithParam<LetterCase>
{
};

// Monday 9 March 2026, 14:05:07.089
TEST_P(FormatDateTimeTest, WritesLetters)
{
    const TDateTime moment = At(2026, 3, 9, 14, 5, 7, 89);
    EXPECT_EQ(FormatDateTime(GetParam().format, moment, kEnglish), GetParam().english);
    EXPECT_EQ(FormatDateTime(GetParam().format, moment, kSpanish), GetParam().spanish);
}

const LetterCase kLetterCases[] = {
    { "day", "d dd", "9 09", "9 09" },
    { "dayNames", "ddd dddd", "Mon Monday", "lun lunes" },
    { "shortDate", "ddddd", "3/9/2026", "09/03/2026" },
    { "longDate", "dddddd", "Monday, March 9, 2026", "lunes, 9 de marzo de 2026" },
    { "month", "m mm", "3 03", "3 03" },
    { "monthNames", "mmm mmmm", "Mar March", "mar marzo" },
    { "year", "yy yyyy", "26 2026", "26 2026" },
    { "yearOneLetterIsTwoDigits", "y", "26", "26" },
    { "hour24", "h hh", "14 14", "14 14" },
    { "minuteAfterHour", "h:m hh:mm", "14:5 14:05", "14:5 14:05" },
    { "monthNotAfterHour", "m/d", "3/9", "3/9" },
    { "minuteAndSecond", "n nn s ss", "5 05 7 07", "5 05 7 07" },
    { "milliseconds", "z zzz", "89 089", "89 089" },
    { "shortTime", "t", "2:05 PM", "14:05" },
    { "longTime", "tt", "2:05:07 PM", "14:05:07" },
    { "wholeMoment", "c", "3/9/2026 2:05:07 PM", "09/03/2026 14:05:07" },
    { "amPmKeepsItsCase", "h am/pm|h AM/PM", "2 pm|2 PM", "2 pm|2 PM" },
    { "aPShort", "hh a/p", "02 p", "02 p" },
    { "ampmUsesSettings", "h ampm", "2 PM", "2 p. m." },
    { "separatorsFromSettings", "d/m/yy h:n", "9/3/26 14:5", "9/3/26 14:5" },
    { "quotedLiterals", "'d' \"mm\" d", "d mm 9", "d mm 9" },
    { "unquotedOtherText", "[yyyy] #", "[2026] #", "[2026] #" },
    { "upperCaseLetters", "DD/MM/YYYY HH:NN", "09/03/2026 14:05", "09/03/2026 14:05" },
    { "unterminatedQuote", "yyyy 'rest", "2026 rest", "2026 rest" },
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatDateTimeTest, ::testing::ValuesIn(kLetterCases),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FormatDateTime, TwelveHourClockEdges)
{
    EXPECT_EQ(FormatDateTime("h:nn am/pm", At(2026, 1, 1, 0, 30), kEnglish), "12:30 am");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", At(2026, 1, 1, 12, 0), kEnglish), "12:00 pm");
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2026, 1, 1), kEnglish), "1/1/2026") << "midnight shows no time";
    EXPECT_EQ(DateTimeToStr(At(2026, 1, 2, 0, 0, 1), kSpanish), "02/01/2026 00:00:01");
    EXPECT_EQ(DateToStr(EncodeDate(5, 6, 7), kSpanish), "07/06/0005");
    EXPECT_EQ(TimeToStr(At(2026, 1, 2, 9, 8, 7), kEnglish), "9:08:07 AM");
}

TEST(FormatDateTime, SettingsThatReferToThemselvesStop)
{
    TFormatSettings looping = kEnglish;
    looping.ShortDateFormat = "c";
    looping.LongTimeFormat = "tt";
    EXPECT_NO_THROW(FormatDateTime("c", At(2026, 1, 1, 1), looping));
}

// ---- Reading dates and times ---------------------------------------------

struct DateCase {
    const char *name;
    const char *text;
    const TFormatSettings *settings;
    const char *expected; // empty: not a date
};

std::ostream &operator<<(std::ostream &os, const DateCase &c)
{
    return os << c.name;
}

class StrToDateTest : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(StrToDateTest, ReadsInTheSettingsOrder)
{
    PinnedClock pin(At(2026, 3, 9, 10));
    const DateCase &c = GetParam();
    TDateTime value = 0;
    const bool ok = TryStrToDate(c.text, value, *c.settings);
    if (*c.expected == 0) {
        EXPECT_FALSE(ok);
        try {
            StrToDate(c.text, *c.settings);
            FAIL();
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid date");
        }
    } else {
        ASSERT_TRUE(ok);
        EXPECT_EQ(FormatDateTime("yyyy-mm-dd", value, kEnglish), c.expected);
    }
}

const DateCase kDateCases[] = {
    { "spanishDayFirst", "3/4/1998", &kSpanish, "1998-04-03" },
    { "englishMonthFirst", "3/4/1998", &kEnglish, "1998-03-04" },
    { "paddedAndBlanks", " 09 / 03 / 2026 ", &kSpanish, "2026-03-09" },
    { "twoDigitPast", "3/4/98", &kSpanish, "1998-04-03" },
    { "twoDigitFuture", "3/4/48", &kSpanish, "2048-04-03" },
    { "windowLowerEdge", "1/1/76", &kSpanish, "1976-01-01" },
    { "windowBelowEdge", "1/1/75", &kSpanish, "2075-01-01" },
    { "fourDigitSmallYear", "1/1/0098", &kSpanish, "0098-01-01" },
    { "noYearSpanish", "3/4", &kSpanish, "2026-04-03" },
    { "noYearEnglish", "3/4", &kEnglish, "2026-03-04" },
    { "leapDay", "29/2/2024", &kSpanish, "2024-02-29" },
    { "notLeap", "29/2/2023", &kSpanish, "" },
    { "monthOutOfRange", "3/13/2026", &kSpanish, "" },
    { "dayZero", "0/3/2026", &kSpanish, "" },
    { "wrongSeparator", "3-4-2026", &kSpanish, "" },
    { "trailingText", "3/4/2026 x", &kSpanish, "" },
    { "timeNotAllowed", "3/4/2026 10:00", &kSpanish, "" },
    { "oneNumber", "3", &kSpanish, "" },
    { "empty", "", &kSpanish, "" },
    { "fiveDigitNumber", "3/4/20260", &kSpanish, "" },
    { "yearZero", "1/1/0000", &kSpanish, "" },
};

INSTANTIATE_TEST_SUITE_P(Cases, StrToDateTest, ::testing::ValuesIn(kDateCases),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StrToDate, YearFirstOrderAndWindowSettings)
{
    PinnedClock pin(At(2026, 3, 9));
    TFormatSettings iso = kEnglish;
    iso.ShortDateFormat = "yyyy-mm-dd";
    iso.DateSeparator = U'-';
    EXPECT_EQ(StrToDate("2026-03-09", iso), EncodeDate(2026, 3, 9));
    EXPECT_EQ(StrToDate("3-9", iso), EncodeDate(2026, 3, 9));

    TFormatSettings noWindow = kSpanish;
    noWindow.TwoDigitYearCenturyWindow = 0;
    EXPECT_EQ(StrToDate("1/1/98", noWindow), EncodeDate(2098, 1, 1));
}

TEST(StrToTime, ReadsClockTimes)
{
    struct Case {
        const char *text;
        const TFormatSettings *settings;
        const char *expected; // empty: not a time
    };
    const Case cases[] = {
        { "7:05:09", &kSpanish, "07:05:09.000" },
        { "7:05", &kSpanish, "07:05:00.000" },
        { "23:59:59,5", &kSpanish, "23:59:59.500" },
        { "12:30 PM", &kEnglish, "12:30:00.000" },
        { "12:30 AM", &kEnglish, "00:30:00.000" },
        { "1:15 pm", &kEnglish, "13:15:00.000" },
        { "PM 1:15", &kEnglish, "13:15:00.000" },
        { "3 PM", &kEnglish, "15:00:00.000" },
        { "1:15 p. m.", &kSpanish, "13:15:00.000" },
        { "13:00 PM", &kEnglish, "" },
        { "0:10 AM", &kEnglish, "" },
        { "24:00", &kSpanish, "" },
        { "10:60", &kSpanish, "" },
        { "10", &kSpanish, "" },
        { "10:", &kSpanish, "" },
        { "10:00 x", &kSpanish, "" },
    };
    for (const Case &c : cases) {
        TDateTime value = -1;
        const bool ok = TryStrToTime(c.text, value, *c.settings);
        if (*c.expected == 0) {
            EXPECT_FALSE(ok) << c.text;
        } else {
            EXPECT_TRUE(ok) << c.text;
            EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", value, kEnglish), c.expected) << c.text;
        }
    }
    try {
        StrToTime("25:00", kSpanish);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "'25:00' is not a valid time");
    }
}

TEST(StrToDateTime, ReadsDateAndTime)
{
    PinnedClock pin(At(2026, 3, 9));
    EXPECT_EQ(Iso(StrToDateTime("9/3/2026 14:05:07", kSpanish)), "2026-03-09 14:05:07.000");
    EXPECT_EQ(Iso(StrToDateTime("3/9/2026 2:05 PM", kEnglish)), "2026-03-09 14:05:00.000");
    EXPECT_EQ(Iso(StrToDateTime("9/3/2026", kSpanish)), "2026-03-09 00:00:00.000");
    EXPECT_EQ(Iso(StrToDateTime("14:05", kSpanish)), "1899-12-30 14:05:00.000");
    EXPECT_EQ(Iso(StrToDateTime("29/12/1899 06:00", kSpanish)), "1899-12-29 06:00:00.000");
    EXPECT_EQ(StrToDateTime("29/12/1899 06:00", kSpanish), -1.25);
    try {
        StrToDateTime("9/3/2026 25:00", kSpanish);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "'9/3/2026 25:00' is not a valid date and time");
    }
    // What DateTimeToStr writes, StrToDateTime reads back.
    for (const TFormatSettings *fs : { &kSpanish, &kEnglish }) {
        const TDateTime moment = At(2031, 12, 24, 23, 59, 58);
        EXPECT_EQ(StrToDateTime(DateTimeToStr(moment, *fs), *fs), moment);
    }
}

// ---- DOS file dates ------------------------------------------------------

TEST(FileDate, PacksFieldsInTwoSecondSteps)
{
    struct Case {
        const char *name;
        TDateTime moment;
        uint32_t packed;
        const char *readBack;
    };
    const Case cases[] = {
        { "firstMoment", At(1980, 1, 1), 0x00210000, "1980-01-01 00:00:00.000" },
        { "lastMoment", At(2107, 12, 31, 23, 59, 58), 0xFF9FBF7D, "2107-12-31 23:59:58.000" },
        { "oddSecondRoundsDown", At(2026, 3, 9, 14, 5, 7, 999), 0x5C6970A3, "2026-03-09 14:05:06.000" },
        { "lastSecondOfRange", At(2107, 12, 31, 23, 59, 59), 0xFF9FBF7D, "2107-12-31 23:59:58.000" },
        { "beforeRangeClamps", At(1979, 12, 31, 23, 59, 59), 0x00210000, "1980-01-01 00:00:00.000" },
        { "farBeforeRangeClamps", At(1066, 10, 14, 9), 0x00210000, "1980-01-01 00:00:00.000" },
        { "afterRangeClamps", At(2108, 1, 1), 0xFF9FBF7D, "2107-12-31 23:59:58.000" },
    };
    for (const Case &c : cases) {
        const int32_t packed = DateTimeToFileDate(c.moment);
        EXPECT_EQ(static_cast<uint32_t>(packed), c.packed) << c.name;
        EXPECT_EQ(Iso(FileDateToDateTime(packed)), c.readBack) << c.name;
    }
}

TEST(FileDate, RejectsImpossibleFields)
{
    // date word: (year - 1980) << 9 | month << 5 | day; time word: hour << 11 | minute << 5 | seconds / 2
    const uint32_t cases[] = {
        0x00000000, // month 0, day 0
        0x01A00000, // month 13
        0x005E0000, // February 30th of 1980
        0x00210000 | (24 << 11), // hour 24
        0x00210000 | (60 << 5), // minute 60
        0x00210000 | 30, // second 60
    };
    for (const uint32_t packed : cases)
        EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>(packed)), EConvertError) << std::hex << packed;
}

// ---- Host time -----------------------------------------------------------

TEST(UnixTime, ConvertsInLocalTime)
{
    EXPECT_EQ(UnixTimeToDateTime(0), UnixDateDelta);
    EXPECT_EQ(DateTimeToUnixTime(UnixDateDelta), 0);
    EXPECT_EQ(DateTimeToUnixTime(At(2026, 3, 9, 14, 5, 7, 999)), 1773065107);
    EXPECT_EQ(Iso(UnixTimeToDateTime(-86400 * 365)), "1969-01-01 00:00:00.000");
    EXPECT_EQ(Iso(UnixTimeToDateTime(-2209161600 - 86400 + 21600)), "1899-12-29 06:00:00.000");
    {
        TimeZoneScope madrid("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(Iso(UnixTimeToDateTime(0)), "1970-01-01 01:00:00.000");
        EXPECT_EQ(Iso(UnixTimeToDateTime(1782000000)), "2026-06-21 02:00:00.000");
        EXPECT_EQ(DateTimeToUnixTime(At(2026, 6, 21, 2)), 1782000000);
    }
    const time_t now = time(nullptr);
    EXPECT_EQ(DateTimeToUnixTime(UnixTimeToDateTime(now)), now);
    EXPECT_THROW(UnixTimeToDateTime(static_cast<time_t>(1) << 40), EConvertError);
}

} // namespace

namespace
{

// Random texts and formats: readers answer false or raise EConvertError,
// writers always write; nothing else escapes.
TEST(DateTimeRandomInput, NeverFailsOtherwise)
{
    static constexpr std::string_view kPieces[]
        = { "1", "12", "31", "2026", "99", "/", ":", " ", "AM", "pm", "a. m.", ",", ".", "d", "m", "y", "h",
              "n", "s", "z", "t", "c", "'", "\"", "am/pm", "a/p", "ampm", "ñ", "\xFF" };
    PinnedClock pin(At(2026, 3, 9, 10));
    uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) & 0x7FFF;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = static_cast<int>(next() % 9);
        for (int i = 0; i < length; ++i)
            text += kPieces[next() % std::size(kPieces)];
        const TFormatSettings &fs = round % 2 ? kSpanish : kEnglish;
        TDateTime value;
        EXPECT_NO_THROW(TryStrToDateTime(text, value, fs)) << text;
        EXPECT_NO_THROW(TryStrToDate(text, value, fs)) << text;
        EXPECT_NO_THROW(TryStrToTime(text, value, fs)) << text;
        EXPECT_NO_THROW(FormatDateTime(text, At(1999, 12, 31, 23, 59, 59, 999), fs)) << text;
        double number;
        Currency money;
        EXPECT_NO_THROW(TryStrToFloat(text, number, fs)) << text;
        EXPECT_NO_THROW(TryStrToCurr(text, money, fs)) << text;
        EXPECT_NO_THROW(FormatFloat(text, -1234.5678, fs)) << text;
    }
}

} // namespace
