#include "controls/base/Qxdate.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"

namespace
{

// Regional settings and a clock pinned to 9 December 2026 for every test.
class Scanning : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetClock([] { return EncodeDate(2026, 12, 9) + 0.5; });
    }
    void TearDown() override { SetClock({}); }
};

TFormatSettings WithDateFormat(TFormatSettings fs, const char *format, char32_t separator)
{
    fs.ShortDateFormat = format;
    fs.DateSeparator = separator;
    return fs;
}

struct DateCase {
    const char *name;
    std::string text;
    bool ok;
    int year, month, day;
};

void ExpectDates(const DateCase *begin, const DateCase *end)
{
    for (const DateCase *c = begin; c != end; ++c) {
        TDateTime date = -1;
        EXPECT_EQ(qxTryScanDate(c->text, date), c->ok) << c->name;
        if (c->ok && date != -1) {
            uint16_t y, m, d;
            DecodeDate(date, y, m, d);
            EXPECT_EQ(y, c->year) << c->name;
            EXPECT_EQ(m, c->month) << c->name;
            EXPECT_EQ(d, c->day) << c->name;
        }
    }
}

TEST_F(Scanning, DatesInSpanishOrderWithTheEpoch)
{
    TFormatSettingsScope spanish(SpanishFormatSettings());
    const DateCase cases[] = {
        { "two_digit_year_after_epoch", "3/4/98", true, 1998, 4, 3 },
        { "two_digit_year_before_epoch", "3/4/48", true, 2048, 4, 3 },
        { "epoch_itself", "1/1/50", true, 1950, 1, 1 },
        { "last_before_epoch", "31/12/49", true, 2049, 12, 31 },
        { "four_digit_year", "03/04/1998", true, 1998, 4, 3 },
        { "no_year_is_this_year", "3/4", true, 2026, 4, 3 },
        { "month_by_short_name", "3/abr/98", true, 1998, 4, 3 },
        { "blanks_between", " 3 / 4 / 98", true, 1998, 4, 3 },
        { "rest_ignored", "3/4/98 12:00 y más", true, 1998, 4, 3 },
        { "leap_day", "29/2/2000", true, 2000, 2, 29 },
        { "no_leap_day_in_1900", "29/2/1900", false, 0, 0, 0 },
        { "february_31", "31/2/98", false, 0, 0, 0 },
        { "month_13", "1/13/98", false, 0, 0, 0 },
        { "day_0", "0/4/98", false, 0, 0, 0 },
        { "missing_second_number", "3/", false, 0, 0, 0 },
        { "missing_third_number", "3/4/", false, 0, 0, 0 },
        { "wrong_separator", "3-4-98", false, 0, 0, 0 },
        { "fifth_year_digit_left_over", "3/4/19980", true, 1998, 4, 3 },
        { "empty", "", false, 0, 0, 0 },
    };
    ExpectDates(std::begin(cases), std::end(cases));
}

TEST_F(Scanning, DatesInEnglishAndYearFirstOrder)
{
    {
        TFormatSettingsScope english(WithDateFormat(EnglishFormatSettings(), "mm/dd/yy", U'/'));
        const DateCase cases[] = {
            { "month_first", "4/3/98", true, 1998, 4, 3 },
            { "month_by_name", "Apr/3/98", true, 1998, 4, 3 },
            { "month_name_any_case", "aPR/3/98", true, 1998, 4, 3 },
            { "long_name_not_read", "April/3/98", false, 0, 0, 0 },
            { "no_year_month_first", "4/3", true, 2026, 4, 3 },
        };
        ExpectDates(std::begin(cases), std::end(cases));
    }
    {
        TFormatSettingsScope iso(WithDateFormat(EnglishFormatSettings(), "yyyy-mm-dd", U'-'));
        const DateCase cases[] = {
            { "year_first", "1998-04-03", true, 1998, 4, 3 },
            { "year_first_two_digits", "98-4-3", true, 1998, 4, 3 },
            { "no_year_month_then_day", "4-3", true, 2026, 4, 3 },
        };
        ExpectDates(std::begin(cases), std::end(cases));
    }
}

TEST_F(Scanning, ScanDateLeavesThePositionPastTheDateAndItsBlanks)
{
    TFormatSettingsScope spanish(SpanishFormatSettings());
    TDateTime date;
    int position = 1;
    EXPECT_TRUE(qxScanDate("3/4/98   7:05", position, date, 1950));
    EXPECT_EQ(position, 10);
    position = 3;
    EXPECT_TRUE(qxScanDate("x 3/4/98", position, date, 1950));
    EXPECT_EQ(position, 9);
    position = 1;
    EXPECT_TRUE(qxScanDate("ñ/4/98", position, date, 1950) == false);
    position = 1;
    EXPECT_TRUE(qxScanDate("3/4/98", position, date, 1900));
    EXPECT_EQ(date, EncodeDate(1998, 4, 3));
    position = 1;
    EXPECT_TRUE(qxScanDate("3/4/10", position, date, 2020));
    EXPECT_EQ(date, EncodeDate(2110, 4, 3));
    position = 0;
    EXPECT_FALSE(qxScanDate("3/4/98", position, date, 1950));
}

TEST_F(Scanning, TimesWithTwelveHourMarkers)
{
    const struct {
        const char *name;
        std::string text;
        bool ok;
        int hour, minute, second;
    } cases[] = {
        { "noon_pm", "12:30 PM", true, 12, 30, 0 },
        { "midnight_am", "12:30 AM", true, 0, 30, 0 },
        { "afternoon", "1:15 pm", true, 13, 15, 0 },
        { "morning", "9:00am", true, 9, 0, 0 },
        { "pm_hour_13", "13:00 PM", false, 0, 0, 0 },
        { "am_hour_0", "0:10 AM", false, 0, 0, 0 },
        { "seconds", "7:05:09", true, 7, 5, 9 },
        { "twenty_four_hours", "23:59:59", true, 23, 59, 59 },
        { "hour_24", "24:00", false, 0, 0, 0 },
        { "minute_60", "10:60", false, 0, 0, 0 },
        { "missing_seconds", "7:05:", false, 0, 0, 0 },
        { "no_minute", "7", false, 0, 0, 0 },
    };
    for (const auto &profile : { EnglishFormatSettings(), SpanishFormatSettings() }) {
        TFormatSettingsScope scope(profile);
        for (const auto &c : cases) {
            TDateTime time = -1;
            int position = 1;
            EXPECT_EQ(qxScanTime(c.text, position, time), c.ok) << c.name;
            if (c.ok) {
                uint16_t h, m, s, ms;
                DecodeTime(time, h, m, s, ms);
                EXPECT_EQ(h, c.hour) << c.name;
                EXPECT_EQ(m, c.minute) << c.name;
                EXPECT_EQ(s, c.second) << c.name;
                EXPECT_EQ(position, static_cast<int>(c.text.size()) + 1) << c.name;
            }
        }
    }
    // The regional markers count as well as AM and PM.
    TFormatSettingsScope spanish(SpanishFormatSettings());
    EXPECT_EQ(qxTextToTime("7:30 p. m."), EncodeTime(19, 30, 0, 0));
    EXPECT_EQ(qxTextToTime("12:05 A. M."), EncodeTime(0, 5, 0, 0));
}

TEST_F(Scanning, WholeTextConversions)
{
    TFormatSettingsScope spanish(SpanishFormatSettings());
    const TDateTime april3 = EncodeDate(1998, 4, 3);
    EXPECT_EQ(qxTextToDateTime("3/4/98 7:05"), april3 + EncodeTime(7, 5, 0, 0));
    EXPECT_EQ(qxTextToDateTime("3/4/98 7:05   "), april3 + EncodeTime(7, 5, 0, 0));
    EXPECT_EQ(qxTextToDateTime("3/4/98 7:05 x"), 0);
    EXPECT_EQ(qxTextToDateTime("3/4/98"), 0);
    EXPECT_EQ(qxTextToDateTime("31/2/98 7:05"), 0);
    // Before 30 December 1899 the day counts down while the hours count up.
    EXPECT_EQ(qxTextToDateTime("29/12/1899 6:00"), -1.25);

    EXPECT_EQ(qxTextToDate("3/4/98 lo que sea"), april3);
    EXPECT_EQ(qxTextToDate("lo que sea"), 0);
    EXPECT_EQ(qxTextToTime("7:05"), EncodeTime(7, 5, 0, 0));
    EXPECT_EQ(qxTextToTime("7:05 x"), 0);
    EXPECT_EQ(qxTextToTime(""), 0);

    EXPECT_TRUE(qxIsDateText("3/4/98"));
    EXPECT_TRUE(qxIsDateText("3/4/98  "));
    EXPECT_FALSE(qxIsDateText("3/4/98x"));
    EXPECT_FALSE(qxIsDateText("3/4/19980"));
    EXPECT_FALSE(qxIsDateText("3/4/98 7:05"));
    EXPECT_FALSE(qxIsDateText(""));
}

TEST_F(Scanning, FloatTextChecksTheWholeText)
{
    const std::string longNumber = "1" + std::string(80, '0');
    const std::string garbageAfter63 = "1" + std::string(70, '0') + "x";
    {
        TFormatSettingsScope spanish(SpanishFormatSettings());
        EXPECT_TRUE(qxIsFloatText(""));
        EXPECT_TRUE(qxIsFloatText("1,5"));
        EXPECT_TRUE(qxIsFloatText("-2,5E3"));
        EXPECT_FALSE(qxIsFloatText("1.5"));
        EXPECT_FALSE(qxIsFloatText("abc"));
        EXPECT_TRUE(qxIsFloatText(longNumber));
        EXPECT_FALSE(qxIsFloatText(garbageAfter63));
    }
    TFormatSettingsScope english(EnglishFormatSettings());
    EXPECT_TRUE(qxIsFloatText("1.5"));
    EXPECT_FALSE(qxIsFloatText("1,5"));
}

TEST_F(Scanning, EncodeDateAndTimeRanges)
{
    const struct {
        const char *name;
        int year, month, day;
        bool ok;
        TDateTime date;
    } dates[] = {
        { "zero_day", 1899, 12, 30, true, 0 },
        { "leap_day_2000", 2000, 2, 29, true, 36585 },
        { "first_day", 1, 1, 1, true, -693593 },
        { "last_day", 9999, 12, 31, true, 2958465 },
        { "leap_day_1900", 1900, 2, 29, false, 0 },
        { "year_0", 0, 1, 1, false, 0 },
        { "year_10000", 10000, 1, 1, false, 0 },
        { "month_13", 2020, 13, 1, false, 0 },
        { "april_31", 2020, 4, 31, false, 0 },
    };
    for (const auto &c : dates) {
        TDateTime date = -99;
        EXPECT_EQ(qxTryEncodeDate(c.year, c.month, c.day, date), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(date, c.date) << c.name;
        }
    }
    TDateTime time;
    EXPECT_TRUE(qxTryEncodeTime(23, 59, 59, 999, time));
    EXPECT_DOUBLE_EQ(time, 86399999.0 / 86400000.0);
    EXPECT_TRUE(qxTryEncodeTime(6, 0, 0, 0, time));
    EXPECT_EQ(time, 0.25);
    EXPECT_FALSE(qxTryEncodeTime(24, 0, 0, 0, time));
    EXPECT_FALSE(qxTryEncodeTime(0, 0, 60, 0, time));
    EXPECT_FALSE(qxTryEncodeTime(0, 0, 0, 1000, time));
}

TEST(DateOrder, FirstOfDayMonthYearDecides)
{
    EXPECT_EQ(qxDateOrder("dd/mm/yyyy"), qxdoDMY);
    EXPECT_EQ(qxDateOrder("m/d/yy"), qxdoMDY);
    EXPECT_EQ(qxDateOrder("yyyy-MM-dd"), qxdoYMD);
    EXPECT_EQ(qxDateOrder("hh:nn"), qxdoMDY);
    EXPECT_EQ(qxDateOrder(""), qxdoMDY);
}

// The part at every caret of a text, as a string of part numbers.
std::string PartsAt(const std::string &text, bool timeOnly, int carets)
{
    std::string parts;
    for (int caret = 0; caret <= carets; ++caret)
        parts += static_cast<char>('0' + qxDateTimePartAt(caret, text, timeOnly));
    return parts;
}

TEST_F(Scanning, PartAtEveryCaret)
{
    TFormatSettingsScope english(EnglishFormatSettings());
    // 12:30:45 PM
    // hour up to the first separator, then minute, second, and the marker
    // once the caret is past the blank.
    std::string parts;
    for (int caret = 0; caret <= 11; ++caret)
        parts += static_cast<char>('0' + qxTimePartAt(caret, "12:30:45 PM"));
    EXPECT_EQ(parts, "333444555666");
    EXPECT_EQ(PartsAt("12:30:45 PM", true, 11), "333444555666");
    EXPECT_EQ(qxTimePartAt(-5, "12:30"), qxdpHour);
    EXPECT_EQ(PartsAt("1:5:9", true, 5), "334455");

    EXPECT_EQ(PartsAt("03/04/1998", false, 10), "11100022222"); // month/day/year
    {
        TFormatSettingsScope spanish(SpanishFormatSettings());
        EXPECT_EQ(PartsAt("03/04/1998", false, 10), "00011122222");
        EXPECT_EQ(PartsAt("3/4/", false, 4), "00112");
        // The time starts right after the blank that follows the date.
        EXPECT_EQ(PartsAt("03/04/1998 12:30", false, 16),
            "00011122222"
            "333444");
        EXPECT_EQ(PartsAt("03/04/1998 ", false, 11),
            "00011122222"
            "3");
        EXPECT_EQ(PartsAt("31/02/1998 12:30", false, 16),
            "00011122222"
            "222222"); // no date, no time
    }
    TFormatSettingsScope iso(WithDateFormat(EnglishFormatSettings(), "yyyy-mm-dd", U'-'));
    EXPECT_EQ(PartsAt("1998-04-03", false, 10), "22222111000");
}

} // namespace
