#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "platform/rtl/formatsettings.h"

// A moment as the class library keeps it: whole days since 1899-12-30 plus
// the elapsed part of the day as a fraction. Dates before 1899-12-30 are
// negative, but their fraction still counts forward from midnight
// (-1.25 is 1899-12-29 06:00). All moments are local wall-clock time.
using TDateTime = double;

inline constexpr int HoursPerDay = 24;
inline constexpr int MinsPerDay = HoursPerDay * 60;
inline constexpr int SecsPerDay = MinsPerDay * 60;
inline constexpr int MSecsPerDay = SecsPerDay * 1000;
inline constexpr TDateTime MinDateTime = -657434.0; // 0100-01-01
inline constexpr TDateTime MaxDateTime = 2958465.99999999; // 9999-12-31 23:59:59.999
inline constexpr TDateTime UnixDateDelta = 25569.0; // 1970-01-01

// Days in each month, indexed by [IsLeapYear(year)][month - 1].
inline constexpr std::array<std::array<uint16_t, 12>, 2> MonthDays = { {
    { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 },
    { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 },
} };

// Encoding and decoding. Years run from 1 to 9999; invalid parts raise
// EConvertError (the Try forms answer false instead), and so does decoding a
// moment outside those years, NaN included. Decoding rounds to the
// millisecond once, so a moment just before midnight belongs to the next day.
TDateTime EncodeDate(uint16_t year, uint16_t month, uint16_t day);
TDateTime EncodeTime(uint16_t hour, uint16_t min, uint16_t sec, uint16_t msec);
bool TryEncodeDate(uint16_t year, uint16_t month, uint16_t day, TDateTime &date);
bool TryEncodeTime(uint16_t hour, uint16_t min, uint16_t sec, uint16_t msec, TDateTime &time);
void DecodeDate(TDateTime date, uint16_t &year, uint16_t &month, uint16_t &day);
void DecodeTime(TDateTime time, uint16_t &hour, uint16_t &min, uint16_t &sec, uint16_t &msec);
int DayOfWeek(TDateTime date); // 1 = Sunday .. 7 = Saturday
bool IsLeapYear(uint16_t year);
uint16_t DaysInAMonth(uint16_t year, uint16_t month); // EConvertError for a month outside 1..12

// The class library's exact split of a moment, as datasets store it.
struct TTimeStamp {
    int32_t Time; // milliseconds since midnight
    int32_t Date; // days since 0001-01-01, which is day 1
};
TTimeStamp DateTimeToTimeStamp(TDateTime dateTime); // rounded to the millisecond
TDateTime TimeStampToDateTime(const TTimeStamp &timeStamp);
double TimeStampToMSecs(const TTimeStamp &timeStamp);
TTimeStamp MSecsToTimeStamp(double msecs);

// The clock. Tests pin it with SetClock; an empty function restores the
// system's clock.
TDateTime Now();
TDateTime Date();
TDateTime Time();
void SetClock(std::function<TDateTime()> clock);

// Text. Format letters are the class library's (d..dddddd, m..mmmm, yy,
// yyyy, h, hh, n, nn, s, ss, z, zzz, t, tt, c, am/pm, a/p, ampm, / and :
// as the separators of the settings, quoted literals). m right after h is
// the minute; h counts 1..12 when an AM/PM marker follows it; c leaves out a
// time of exactly midnight. An empty format means c.
std::string FormatDateTime(
    std::string_view format, TDateTime dateTime, const TFormatSettings &settings = FormatSettings);
std::string DateToStr(TDateTime date, const TFormatSettings &settings = FormatSettings);
std::string TimeToStr(TDateTime time, const TFormatSettings &settings = FormatSettings);
std::string DateTimeToStr(TDateTime dateTime, const TFormatSettings &settings = FormatSettings);

// Reading dates and times: the order of day, month and year comes from
// ShortDateFormat; a year of one or two digits lands in the hundred years
// that start TwoDigitYearCenturyWindow years before the current one (0: the
// current century); a missing year is the current one. Times take an AM/PM
// marker (the settings' or plain AM/PM) before or after them.
TDateTime StrToDate(std::string_view text, const TFormatSettings &settings = FormatSettings);
TDateTime StrToTime(std::string_view text, const TFormatSettings &settings = FormatSettings);
TDateTime StrToDateTime(std::string_view text, const TFormatSettings &settings = FormatSettings);
bool TryStrToDate(std::string_view text, TDateTime &date, const TFormatSettings &settings = FormatSettings);
bool TryStrToTime(std::string_view text, TDateTime &time, const TFormatSettings &settings = FormatSettings);
bool TryStrToDateTime(
    std::string_view text, TDateTime &dateTime, const TFormatSettings &settings = FormatSettings);

// DOS file dates: local time in two-second steps from 1980 to 2107. Moments
// outside that range clamp to its ends; a file date whose fields are not a
// real date or time raises EConvertError.
int32_t DateTimeToFileDate(TDateTime dateTime);
TDateTime FileDateToDateTime(int32_t fileDate);

// The one crossing between host time and TDateTime (local time, whole seconds
// rounded down). Moments outside the years 1..9999 raise EConvertError.
TDateTime UnixTimeToDateTime(time_t unixTime);
time_t DateTimeToUnixTime(TDateTime dateTime);
