#include "controls/base/Qxdate.h"

#include <cstdint>

#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

namespace
{

constexpr int kDefaultEpoch = 1950;

// Reads a decoded text from a 0-based index.
class TScanner
{
public:
    TScanner(std::u32string_view text, size_t at)
        : text_(text)
        , at_(at)
    {
    }

    size_t At() const { return at_; }
    size_t Left() const { return at_ < text_.size() ? text_.size() - at_ : 0; }

    // Only the blank itself: a TAB ends a date.
    void SkipBlanks()
    {
        while (at_ < text_.size() && text_[at_] == U' ')
            ++at_;
    }

    // Digits, or a three-letter short month name. Reading stops once the value
    // passes 999, so no count of digits can overflow it.
    bool Number(int &value)
    {
        SkipBlanks();
        value = 0;
        bool digits = false;
        while (at_ < text_.size() && text_[at_] >= U'0' && text_[at_] <= U'9' && value <= 999) {
            value = value * 10 + static_cast<int>(text_[at_] - U'0');
            ++at_;
            digits = true;
        }
        if (digits)
            return true;
        if (Left() < 3)
            return false;
        for (int month = 0; month < 12; ++month) {
            const std::u32string name = Utf8ToCodePoints(FormatSettings.ShortMonthNames[month]);
            if (name.size() == 3 && Matches(name)) {
                value = month + 1;
                at_ += 3;
                return true;
            }
        }
        return false;
    }

    bool Char(char32_t c)
    {
        SkipBlanks();
        if (at_ >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }

    // Whether word follows, in any case; steps over it if so.
    bool Word(std::u32string_view word)
    {
        if (word.empty() || !Matches(word))
            return false;
        at_ += word.size();
        return true;
    }

private:
    bool Matches(std::u32string_view word) const
    {
        if (Left() < word.size())
            return false;
        for (size_t k = 0; k < word.size(); ++k)
            if (AnsiUpperChar(text_[at_ + k]) != AnsiUpperChar(word[k]))
                return false;
        return true;
    }

    std::u32string_view text_;
    size_t at_;
};

bool ScanDate(std::u32string_view text, size_t &at, TDateTime &date, int epoch)
{
    const TqxDateOrder order = qxDateOrder(FormatSettings.ShortDateFormat);
    const char32_t separator = FormatSettings.DateSeparator;
    TScanner s(text, at);
    int n1 = 0;
    int n2 = 0;
    int n3 = 0;
    const bool ok = s.Number(n1) && s.Char(separator) && s.Number(n2);
    if (!ok) {
        at = s.At();
        return false;
    }
    int64_t year;
    int month;
    int day;
    if (s.Char(separator)) {
        if (!s.Number(n3)) {
            at = s.At();
            return false;
        }
        switch (order) {
        case qxdoDMY:
            day = n1, month = n2, year = n3;
            break;
        case qxdoYMD:
            year = n1, month = n2, day = n3;
            break;
        default:
            month = n1, day = n2, year = n3;
            break;
        }
        if (year < 100) {
            year += int64_t(epoch / 100) * 100;
            if (year < epoch)
                year += 100;
        }
    } else {
        uint16_t y, m, d;
        DecodeDate(Date(), y, m, d);
        year = y;
        if (order == qxdoDMY)
            day = n1, month = n2;
        else
            month = n1, day = n2;
    }
    s.SkipBlanks();
    at = s.At();
    if (year < 1 || year > 9999)
        return false;
    return qxTryEncodeDate(static_cast<int>(year), month, day, date);
}

bool ScanTime(std::u32string_view text, size_t &at, TDateTime &time)
{
    const char32_t separator = FormatSettings.TimeSeparator;
    TScanner s(text, at);
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool ok = s.Number(hour) && s.Char(separator) && s.Number(minute);
    if (ok && s.Char(separator))
        ok = s.Number(second);
    if (!ok) {
        at = s.At();
        return false;
    }
    s.SkipBlanks();
    int base = -1;
    if (s.Word(Utf8ToCodePoints(FormatSettings.TimeAMString)) || s.Word(U"AM"))
        base = 0;
    else if (s.Word(Utf8ToCodePoints(FormatSettings.TimePMString)) || s.Word(U"PM"))
        base = 12;
    if (base >= 0) {
        if (hour < 1 || hour > 12) {
            at = s.At();
            return false;
        }
        hour = hour % 12 + base;
    }
    s.SkipBlanks();
    at = s.At();
    return qxTryEncodeTime(hour, minute, second, 0, time);
}

// Counts the separators that the walk from start passes before the caret: a
// field ends at its separator, and a caret just after the separator is in the
// next field. The walk also stops at an empty field. *afterSecond is where the
// second separator stands (1-based), or 100 when there is none.
int FieldsBefore(int caret, std::u32string_view text, size_t start, char32_t separator, int *afterSecond)
{
    int passed = 0;
    if (afterSecond)
        *afterSecond = 100;
    size_t from = start;
    while (from < text.size()) {
        const size_t found = text.find(separator, from);
        if (found == from || found == std::u32string_view::npos)
            break;
        // 1-based, the position after the separator is found + 2.
        if (static_cast<int64_t>(caret) < static_cast<int64_t>(found) + 1)
            break;
        ++passed;
        if (passed == 2 && afterSecond)
            *afterSecond = static_cast<int>(found) + 1;
        from = found + 1;
    }
    return passed;
}

TqxDateTimePart TimePartFrom(int caret, std::u32string_view text, size_t start)
{
    if (caret <= 0)
        return qxdpHour;
    int second = 100;
    const int passed = FieldsBefore(caret, text, start, FormatSettings.TimeSeparator, &second);
    switch (passed) {
    case 0:
        return qxdpHour;
    case 1:
        return qxdpMinute;
    case 2:
        return static_cast<int64_t>(caret) > int64_t(second) + 2 ? qxdpAmPm : qxdpSecond;
    default:
        return qxdpSecond;
    }
}

size_t StartOf(int position)
{
    return static_cast<size_t>(position) - 1;
}

} // namespace

bool qxScanDate(std::string_view text, int &position, TDateTime &date, int epoch)
{
    if (position < 1)
        return false;
    const std::u32string chars = Utf8ToCodePoints(text);
    size_t at = StartOf(position);
    const bool ok = ScanDate(chars, at, date, epoch);
    position = static_cast<int>(at) + 1;
    return ok;
}

bool qxScanTime(std::string_view text, int &position, TDateTime &time)
{
    if (position < 1)
        return false;
    const std::u32string chars = Utf8ToCodePoints(text);
    size_t at = StartOf(position);
    const bool ok = ScanTime(chars, at, time);
    position = static_cast<int>(at) + 1;
    return ok;
}

bool qxTryScanDate(std::string_view text, TDateTime &date)
{
    int position = 1;
    return qxScanDate(text, position, date, kDefaultEpoch);
}

bool qxIsDateText(std::string_view text)
{
    const std::u32string chars = Utf8ToCodePoints(text);
    size_t at = 0;
    TDateTime date;
    return ScanDate(chars, at, date, kDefaultEpoch) && at >= chars.size();
}

TDateTime qxTextToDateTime(std::string_view text)
{
    const std::u32string chars = Utf8ToCodePoints(text);
    size_t at = 0;
    TDateTime date;
    TDateTime time;
    if (!ScanDate(chars, at, date, kDefaultEpoch) || !ScanTime(chars, at, time) || at < chars.size())
        return 0;
    // Before 30 December 1899 the day is negative but its time still counts
    // forward from midnight.
    return date < 0 ? date - time : date + time;
}

TDateTime qxTextToDate(std::string_view text)
{
    TDateTime date;
    return qxTryScanDate(text, date) ? date : 0;
}

TDateTime qxTextToTime(std::string_view text)
{
    const std::u32string chars = Utf8ToCodePoints(text);
    size_t at = 0;
    TDateTime time;
    if (!ScanTime(chars, at, time) || at < chars.size())
        return 0;
    return time;
}

bool qxIsFloatText(std::string_view text)
{
    if (text.empty())
        return true;
    double value;
    return TextToFloat(text, value);
}

bool qxTryEncodeDate(int year, int month, int day, TDateTime &date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const auto y = static_cast<uint16_t>(year);
    if (day > MonthDays[IsLeapYear(y)][month - 1])
        return false;
    int64_t days = day;
    for (int m = 1; m < month; ++m)
        days += MonthDays[IsLeapYear(y)][m - 1];
    const int64_t before = year - 1;
    date = static_cast<TDateTime>(before * 365 + before / 4 - before / 100 + before / 400 + days - 693594);
    return true;
}

bool qxTryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime &time)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0
        || millisecond > 999)
        return false;
    const int64_t ms = hour * 3600000LL + minute * 60000LL + second * 1000LL + millisecond;
    time = static_cast<TDateTime>(ms) / MSecsPerDay;
    return true;
}

TqxDateOrder qxDateOrder(std::string_view format)
{
    for (const char c : format) {
        switch (c) {
        case 'D':
        case 'd':
            return qxdoDMY;
        case 'M':
        case 'm':
            return qxdoMDY;
        case 'Y':
        case 'y':
            return qxdoYMD;
        default:
            break;
        }
    }
    return qxdoMDY;
}

TqxDateTimePart qxTimePartAt(int caret, std::string_view text)
{
    return TimePartFrom(caret, Utf8ToCodePoints(text), 0);
}

TqxDateTimePart qxDateTimePartAt(int caret, std::string_view text, bool timeOnly)
{
    const std::u32string chars = Utf8ToCodePoints(text);
    if (timeOnly)
        return TimePartFrom(caret, chars, 0);
    // The time starts where the date ends; a caret just after the blank that
    // separates them is already in the time.
    size_t dateEnd = 0;
    TDateTime date;
    if (ScanDate(chars, dateEnd, date, kDefaultEpoch)) {
        const int64_t end = static_cast<int64_t>(dateEnd) + 1;
        if (caret >= end || (caret == end - 1 && caret >= 1 && chars[static_cast<size_t>(caret) - 1] == U' '))
            return TimePartFrom(caret, chars, dateEnd);
    }
    const int passed = FieldsBefore(caret, chars, 0, FormatSettings.DateSeparator, nullptr);
    static constexpr TqxDateTimePart kFields[3][3] = {
        { qxdpMonth, qxdpDay, qxdpYear }, // month-day-year
        { qxdpDay, qxdpMonth, qxdpYear }, // day-month-year
        { qxdpYear, qxdpMonth, qxdpDay }, // year-month-day
    };
    return kFields[qxDateOrder(FormatSettings.ShortDateFormat)][passed < 2 ? passed : 2];
}
