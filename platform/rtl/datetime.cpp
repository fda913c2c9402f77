#include "platform/rtl/datetime.h"

#include <cmath>
#include <mutex>

#include "platform/rtl/sysconst_p.h"
#include "platform/rtl/sysutils.h"

namespace
{

constexpr int64_t kDaysTo18991230 = 693594; // days from 0001-01-01 (day 1) to 1899-12-30
constexpr int64_t kMSecsPerDay = MSecsPerDay;
constexpr int kMaxNesting = 3; // c, t, ddddd inside the settings' own formats

// A moment split into whole days since 0001-01-01 (day 1) and milliseconds
// since midnight, rounded once to the millisecond so that date and time agree.
struct TimeStamp {
    int64_t day;
    int64_t msec;
};

bool TryToTimeStamp(TDateTime value, TimeStamp &ts)
{
    if (!(value > -kDaysTo18991230 && value < 2958466.0))
        return false;
    int64_t total = std::llround(std::fabs(value) * static_cast<double>(kMSecsPerDay));
    int64_t days = total / kMSecsPerDay;
    ts.msec = total % kMSecsPerDay;
    // Before 1899-12-30 the whole part counts back but the fraction still
    // counts forward from midnight.
    ts.day = (value < 0 ? -days : days) + kDaysTo18991230;
    if (ts.day < 1 || ts.day > 3652059)
        return false;
    return true;
}

TimeStamp ToTimeStamp(TDateTime value)
{
    TimeStamp ts;
    if (!TryToTimeStamp(value, ts))
        throw EConvertError(Format(SInvalidDateTime, FloatToStr(value, EnglishFormatSettings())));
    return ts;
}

// Joins a date and a time of day the way the class library keeps them.
TDateTime Compose(TDateTime date, TDateTime time)
{
    return date < 0 ? date - time : date + time;
}

void DayToDate(int64_t day, uint16_t &year, uint16_t &month, uint16_t &dayOfMonth)
{
    // 400, 100, 4 and 1 year cycles from 0001-01-01.
    int64_t t = day - 1;
    int64_t y = 1;
    y += 400 * (t / 146097);
    t %= 146097;
    int64_t centuries = t / 36524;
    if (centuries == 4)
        centuries = 3;
    y += 100 * centuries;
    t -= centuries * 36524;
    y += 4 * (t / 1461);
    t %= 1461;
    int64_t years = t / 365;
    if (years == 4)
        years = 3;
    y += years;
    t -= years * 365;
    year = static_cast<uint16_t>(y);
    const auto &table = MonthDays[IsLeapYear(year) ? 1 : 0];
    int m = 0;
    while (t >= table[static_cast<size_t>(m)]) {
        t -= table[static_cast<size_t>(m)];
        ++m;
    }
    month = static_cast<uint16_t>(m + 1);
    dayOfMonth = static_cast<uint16_t>(t + 1);
}

// ---- The clock -----------------------------------------------------------

std::mutex clockMutex;
std::function<TDateTime()> clockFunction;

TDateTime SystemClock()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    localtime_r(&now.tv_sec, &local);
    return Compose(EncodeDate(static_cast<uint16_t>(local.tm_year + 1900),
                       static_cast<uint16_t>(local.tm_mon + 1), static_cast<uint16_t>(local.tm_mday)),
        EncodeTime(static_cast<uint16_t>(local.tm_hour), static_cast<uint16_t>(local.tm_min),
            static_cast<uint16_t>(std::min(local.tm_sec, 59)), static_cast<uint16_t>(now.tv_nsec / 1000000)));
}

// ---- Writing -------------------------------------------------------------

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix)
{
    if (text.size() - at < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[at + i]) != prefix[i])
            return false;
    return true;
}

std::string PadZeros(int value, size_t width)
{
    std::string text = std::to_string(value);
    return text.size() < width ? std::string(width - text.size(), '0') + text : text;
}

std::string TwoDigits(int value)
{
    return PadZeros(value, 2);
}

class DateTimeWriter
{
public:
    DateTimeWriter(TDateTime value, const TFormatSettings &fs)
        : fs_(fs)
    {
        const TimeStamp ts = ToTimeStamp(value);
        DayToDate(ts.day, year_, month_, day_);
        weekDay_ = static_cast<int>(ts.day % 7); // 0001-01-01 was a Monday: 0 = Sunday
        hour_ = static_cast<int>(ts.msec / 3600000);
        minute_ = static_cast<int>(ts.msec / 60000 % 60);
        second_ = static_cast<int>(ts.msec / 1000 % 60);
        msec_ = static_cast<int>(ts.msec % 1000);
    }

    void Write(std::string_view format, int nesting);
    std::string Result() const { return out_; }

private:
    bool TwelveHourAhead(std::string_view format, size_t from) const;
    size_t Run(std::string_view format, size_t i) const;

    const TFormatSettings &fs_;
    uint16_t year_, month_, day_;
    int weekDay_, hour_, minute_, second_, msec_;
    std::string out_;
    char lastToken_ = 0;
};

// The length of the run of the same letter (either case) starting at i.
size_t DateTimeWriter::Run(std::string_view format, size_t i) const
{
    size_t n = 1;
    while (i + n < format.size() && Lower(format[i + n]) == Lower(format[i]))
        ++n;
    return n;
}

// An hour uses the 12-hour clock when an AM/PM marker follows before the next hour.
bool DateTimeWriter::TwelveHourAhead(std::string_view format, size_t from) const
{
    for (size_t i = from; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\'' || c == '"') {
            const size_t end = format.find(c, i + 1);
            if (end == std::string_view::npos)
                return false;
            i = end;
        } else if (Lower(c) == 'h') {
            return false;
        } else if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p")
            || StartsWithNoCase(format, i, "ampm")) {
            return true;
        }
    }
    return false;
}

void DateTimeWriter::Write(std::string_view format, int nesting)
{
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const char letter = Lower(c);
        if (c == '\'' || c == '"') {
            const size_t end = format.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? format.size() : end;
            out_.append(format.substr(i + 1, stop - i - 1));
            i = stop == format.size() ? stop : stop + 1;
            continue;
        }
        if (c == '/') {
            out_ += CodePointToUtf8(fs_.DateSeparator);
            ++i;
            continue;
        }
        if (c == ':') {
            out_ += CodePointToUtf8(fs_.TimeSeparator);
            ++i;
            continue;
        }
        if (letter == 'a') {
            const bool pm = hour_ >= 12;
            if (StartsWithNoCase(format, i, "am/pm")) {
                out_.append(format.substr(pm ? i + 3 : i, 2));
                i += 5;
            } else if (StartsWithNoCase(format, i, "a/p")) {
                out_ += format[pm ? i + 2 : i];
                i += 3;
            } else if (StartsWithNoCase(format, i, "ampm")) {
                out_ += pm ? fs_.TimePMString : fs_.TimeAMString;
                i += 4;
            } else {
                out_ += c;
                ++i;
            }
            continue;
        }
        const size_t n = Run(format, i);
        switch (letter) {
        case 'y':
            out_ += n <= 2 ? TwoDigits(year_ % 100) : PadZeros(year_, 4);
            break;
        case 'm':
            if (lastToken_ == 'h' && n <= 2) {
                out_ += n == 1 ? std::to_string(minute_) : TwoDigits(minute_);
            } else if (n <= 2) {
                out_ += n == 1 ? std::to_string(month_) : TwoDigits(month_);
            } else {
                out_ += n == 3 ? fs_.ShortMonthNames[month_ - 1u] : fs_.LongMonthNames[month_ - 1u];
            }
            break;
        case 'd':
            if (n <= 2)
                out_ += n == 1 ? std::to_string(day_) : TwoDigits(day_);
            else if (n == 3)
                out_ += fs_.ShortDayNames[static_cast<size_t>(weekDay_)];
            else if (n == 4)
                out_ += fs_.LongDayNames[static_cast<size_t>(weekDay_)];
            else if (nesting < kMaxNesting)
                Write(n == 5 ? fs_.ShortDateFormat : fs_.LongDateFormat, nesting + 1);
            break;
        case 'h': {
            int hour = hour_;
            if (TwelveHourAhead(format, i + n)) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out_ += n == 1 ? std::to_string(hour) : TwoDigits(hour);
            break;
        }
        case 'n':
            out_ += n == 1 ? std::to_string(minute_) : TwoDigits(minute_);
            break;
        case 's':
            out_ += n == 1 ? std::to_string(second_) : TwoDigits(second_);
            break;
        case 'z':
            out_ += n < 3 ? std::to_string(msec_) : PadZeros(msec_, 3);
            break;
        case 't':
            if (nesting < kMaxNesting)
                Write(n == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, nesting + 1);
            break;
        case 'c':
            if (nesting < kMaxNesting) {
                Write(fs_.ShortDateFormat, nesting + 1);
                if (hour_ != 0 || minute_ != 0 || second_ != 0 || msec_ != 0) {
                    out_ += ' ';
                    Write(fs_.LongTimeFormat, nesting + 1);
                }
            }
            break;
        default:
            out_.append(format.substr(i, n));
            i += n;
            continue;
        }
        lastToken_ = letter;
        i += n;
    }
}

// ---- Reading -------------------------------------------------------------

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOf(std::string_view shortDateFormat)
{
    for (const char c : shortDateFormat) {
        switch (Lower(c)) {
        case 'd':
            return DateOrder::DMY;
        case 'm':
            return DateOrder::MDY;
        case 'y':
            return DateOrder::YMD;
        default:
            break;
        }
    }
    return DateOrder::MDY;
}

class Scanner
{
public:
    explicit Scanner(std::string_view text)
        : text_(text)
    {
    }

    void SkipBlanks()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return pos_ == text_.size();
    }
    // Up to four digits; `digits` tells how many were read.
    bool Number(int &value, int &digits)
    {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && digits < 4) {
            value = value * 10 + (text_[pos_++] - '0');
            ++digits;
        }
        return digits > 0 && !(pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9');
    }
    bool Char(char32_t c)
    {
        SkipBlanks();
        const std::string bytes = CodePointToUtf8(c);
        if (text_.compare(pos_, bytes.size(), bytes) != 0)
            return false;
        pos_ += bytes.size();
        return true;
    }
    // Matches one of the words, ignoring case; answers its index or -1.
    int Word(std::initializer_list<std::string_view> words)
    {
        SkipBlanks();
        int index = 0;
        for (const std::string_view word : words) {
            if (!word.empty() && text_.size() - pos_ >= word.size()
                && AnsiSameText(text_.substr(pos_, word.size()), word)) {
                pos_ += word.size();
                return index;
            }
            ++index;
        }
        return -1;
    }
    size_t Position() const { return pos_; }
    void SetPosition(size_t pos) { pos_ = pos; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

int CurrentYear()
{
    uint16_t year, month, day;
    DecodeDate(Now(), year, month, day);
    return year;
}

bool ScanDate(Scanner &scan, const TFormatSettings &fs, TDateTime &date)
{
    int n1, n2, n3 = 0, l1, l2, l3 = 0;
    if (!scan.Number(n1, l1) || !scan.Char(fs.DateSeparator) || !scan.Number(n2, l2))
        return false;
    const bool haveThird = scan.Char(fs.DateSeparator);
    if (haveThird && !scan.Number(n3, l3))
        return false;
    const DateOrder order = OrderOf(fs.ShortDateFormat);
    int year, month, day, yearDigits;
    if (!haveThird) {
        year = CurrentYear();
        yearDigits = 4;
        if (order == DateOrder::DMY) {
            day = n1;
            month = n2;
        } else {
            month = n1;
            day = n2;
        }
    } else if (order == DateOrder::MDY) {
        month = n1, day = n2, year = n3, yearDigits = l3;
    } else if (order == DateOrder::DMY) {
        day = n1, month = n2, year = n3, yearDigits = l3;
    } else {
        year = n1, month = n2, day = n3, yearDigits = l1;
    }
    if (year <= 99 && yearDigits <= 2) {
        // Two-digit years fall within the window that ends `window` years
        // after the current one; no window means the current century.
        const int current = CurrentYear();
        const int window = fs.TwoDigitYearCenturyWindow;
        const int base = current - window;
        year += (window > 0 ? base : current) / 100 * 100;
        if (window > 0 && year < base)
            year += 100;
    }
    return year >= 1 && month >= 1 && day >= 1
        && TryEncodeDate(
            static_cast<uint16_t>(year), static_cast<uint16_t>(month), static_cast<uint16_t>(day), date);
}

bool ScanTime(Scanner &scan, const TFormatSettings &fs, TDateTime &time)
{
    // A marker may stand before the time as well as after it.
    int marker = scan.Word({ fs.TimeAMString, fs.TimePMString, "AM", "PM" });
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!scan.Number(hour, digits))
        return false;
    const bool haveMinutes = scan.Char(fs.TimeSeparator);
    if (haveMinutes) {
        if (!scan.Number(minute, digits))
            return false;
        if (scan.Char(fs.TimeSeparator)) {
            if (!scan.Number(second, digits))
                return false;
            if (scan.Char(fs.DecimalSeparator)) {
                if (!scan.Number(msec, digits))
                    return false;
                while (digits++ < 3)
                    msec *= 10;
            }
        }
    }
    if (marker < 0)
        marker = scan.Word({ fs.TimeAMString, fs.TimePMString, "AM", "PM" });
    if (marker >= 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour %= 12;
        if (marker % 2 == 1)
            hour += 12;
    } else if (!haveMinutes) {
        return false;
    }
    return TryEncodeTime(static_cast<uint16_t>(hour), static_cast<uint16_t>(minute),
        static_cast<uint16_t>(second), static_cast<uint16_t>(msec), time);
}

[[noreturn]] void RaiseConvert(const char *message, std::string_view text)
{
    throw EConvertError(Format(message, text));
}

// Reads all of text with scanPart (ScanDate or ScanTime); out is left alone
// unless the whole text is one valid part.
bool ScanWhole(std::string_view text, const TFormatSettings &fs, TDateTime &out,
    bool (*scanPart)(Scanner &, const TFormatSettings &, TDateTime &))
{
    Scanner scan(text);
    TDateTime value;
    if (!scanPart(scan, fs, value) || !scan.AtEnd())
        return false;
    out = value;
    return true;
}

// The raising form of a TryStrTo... conversion.
TDateTime ConvertOrRaise(bool (*tryConvert)(std::string_view, TDateTime &, const TFormatSettings &),
    const char *message, std::string_view text, const TFormatSettings &fs)
{
    TDateTime value;
    if (!tryConvert(text, value, fs))
        RaiseConvert(message, text);
    return value;
}

} // namespace

// ---- Encoding and decoding -----------------------------------------------

bool IsLeapYear(uint16_t year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

bool TryEncodeDate(uint16_t year, uint16_t month, uint16_t day, TDateTime &date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const auto &table = MonthDays[IsLeapYear(year) ? 1 : 0];
    if (day > table[month - 1u])
        return false;
    int64_t days = day;
    for (int m = 0; m < month - 1; ++m)
        days += table[static_cast<size_t>(m)];
    const int64_t y = year - 1;
    date = static_cast<TDateTime>(y * 365 + y / 4 - y / 100 + y / 400 + days - kDaysTo18991230);
    return true;
}

bool TryEncodeTime(uint16_t hour, uint16_t min, uint16_t sec, uint16_t msec, TDateTime &time)
{
    if (hour >= 24 || min >= 60 || sec >= 60 || msec >= 1000)
        return false;
    time = static_cast<TDateTime>(hour * 3600000 + min * 60000 + sec * 1000 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(uint16_t year, uint16_t month, uint16_t day)
{
    TDateTime date;
    if (!TryEncodeDate(year, month, day, date))
        throw EConvertError(SDateEncodeError);
    return date;
}

TDateTime EncodeTime(uint16_t hour, uint16_t min, uint16_t sec, uint16_t msec)
{
    TDateTime time;
    if (!TryEncodeTime(hour, min, sec, msec, time))
        throw EConvertError(STimeEncodeError);
    return time;
}

void DecodeDate(TDateTime date, uint16_t &year, uint16_t &month, uint16_t &day)
{
    DayToDate(ToTimeStamp(date).day, year, month, day);
}

void DecodeTime(TDateTime time, uint16_t &hour, uint16_t &min, uint16_t &sec, uint16_t &msec)
{
    const int64_t ms = ToTimeStamp(time).msec;
    hour = static_cast<uint16_t>(ms / 3600000);
    min = static_cast<uint16_t>(ms / 60000 % 60);
    sec = static_cast<uint16_t>(ms / 1000 % 60);
    msec = static_cast<uint16_t>(ms % 1000);
}

int DayOfWeek(TDateTime date)
{
    return static_cast<int>(ToTimeStamp(date).day % 7) + 1;
}

uint16_t DaysInAMonth(uint16_t year, uint16_t month)
{
    if (month < 1 || month > 12)
        throw EConvertError(SDateEncodeError);
    return MonthDays[IsLeapYear(year) ? 1 : 0][month - 1u];
}

TTimeStamp DateTimeToTimeStamp(TDateTime dateTime)
{
    const TimeStamp ts = ToTimeStamp(dateTime);
    return { static_cast<int32_t>(ts.msec), static_cast<int32_t>(ts.day) };
}

TDateTime TimeStampToDateTime(const TTimeStamp &timeStamp)
{
    // A stored time stamp is outside data: check it as such.
    if (timeStamp.Date < 1 || timeStamp.Date > 3652059 || timeStamp.Time < 0 || timeStamp.Time >= MSecsPerDay)
        throw EConvertError(Format(SInvalidTimeStamp, IntToStr(timeStamp.Date), IntToStr(timeStamp.Time)));
    return Compose(static_cast<TDateTime>(timeStamp.Date - kDaysTo18991230),
        static_cast<TDateTime>(timeStamp.Time) / MSecsPerDay);
}

double TimeStampToMSecs(const TTimeStamp &timeStamp)
{
    return static_cast<double>(timeStamp.Date) * MSecsPerDay + timeStamp.Time;
}

TTimeStamp MSecsToTimeStamp(double msecs)
{
    if (!(msecs >= 0 && msecs < 3652060.0 * MSecsPerDay))
        throw EConvertError(Format(SInvalidDateTime, FloatToStr(msecs, EnglishFormatSettings())));
    const auto total = static_cast<int64_t>(msecs);
    return { static_cast<int32_t>(total % kMSecsPerDay), static_cast<int32_t>(total / kMSecsPerDay) };
}

// ---- The clock -----------------------------------------------------------

void SetClock(std::function<TDateTime()> clock)
{
    std::lock_guard lock(clockMutex);
    clockFunction = std::move(clock);
}

TDateTime Now()
{
    std::function<TDateTime()> clock;
    {
        std::lock_guard lock(clockMutex);
        clock = clockFunction;
    }
    return clock ? clock() : SystemClock();
}

TDateTime Date()
{
    const TimeStamp ts = ToTimeStamp(Now());
    return static_cast<TDateTime>(ts.day - kDaysTo18991230);
}

TDateTime Time()
{
    return static_cast<TDateTime>(ToTimeStamp(Now()).msec) / MSecsPerDay;
}

// ---- Text ----------------------------------------------------------------

std::string FormatDateTime(std::string_view format, TDateTime dateTime, const TFormatSettings &settings)
{
    DateTimeWriter writer(dateTime, settings);
    writer.Write(format.empty() ? std::string_view("c") : format, 0);
    return writer.Result();
}

std::string DateToStr(TDateTime date, const TFormatSettings &settings)
{
    return FormatDateTime(settings.ShortDateFormat, date, settings);
}

std::string TimeToStr(TDateTime time, const TFormatSettings &settings)
{
    return FormatDateTime(settings.LongTimeFormat, time, settings);
}

std::string DateTimeToStr(TDateTime dateTime, const TFormatSettings &settings)
{
    return FormatDateTime("c", dateTime, settings);
}

bool TryStrToDate(std::string_view text, TDateTime &date, const TFormatSettings &settings)
{
    return ScanWhole(text, settings, date, ScanDate);
}

bool TryStrToTime(std::string_view text, TDateTime &time, const TFormatSettings &settings)
{
    return ScanWhole(text, settings, time, ScanTime);
}

bool TryStrToDateTime(std::string_view text, TDateTime &dateTime, const TFormatSettings &settings)
{
    Scanner scan(text);
    TDateTime date = 0, time = 0;
    if (ScanDate(scan, settings, date)) {
        if (!scan.AtEnd() && !ScanTime(scan, settings, time))
            return false;
    } else {
        scan.SetPosition(0);
        if (!ScanTime(scan, settings, time))
            return false;
    }
    if (!scan.AtEnd())
        return false;
    dateTime = Compose(date, time);
    return true;
}

TDateTime StrToDate(std::string_view text, const TFormatSettings &settings)
{
    return ConvertOrRaise(TryStrToDate, SInvalidDate, text, settings);
}

TDateTime StrToTime(std::string_view text, const TFormatSettings &settings)
{
    return ConvertOrRaise(TryStrToTime, SInvalidTime, text, settings);
}

TDateTime StrToDateTime(std::string_view text, const TFormatSettings &settings)
{
    return ConvertOrRaise(TryStrToDateTime, SInvalidDateTime, text, settings);
}

// ---- DOS file dates ------------------------------------------------------

int32_t DateTimeToFileDate(TDateTime dateTime)
{
    uint16_t year, month, day, hour, min, sec, msec;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, min, sec, msec);
    if (year < 1980) {
        year = 1980, month = 1, day = 1;
        hour = 0, min = 0, sec = 0;
    } else if (year > 2107) {
        year = 2107, month = 12, day = 31;
        hour = 23, min = 59, sec = 59;
    }
    const uint32_t datePart = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
    const uint32_t timePart = static_cast<uint32_t>(hour << 11 | min << 5 | sec / 2);
    return static_cast<int32_t>(datePart << 16 | timePart);
}

TDateTime FileDateToDateTime(int32_t fileDate)
{
    const auto bits = static_cast<uint32_t>(fileDate);
    const auto datePart = static_cast<uint16_t>(bits >> 16);
    const auto timePart = static_cast<uint16_t>(bits & 0xFFFF);
    TDateTime date, time;
    if (!TryEncodeDate(
            static_cast<uint16_t>((datePart >> 9) + 1980), (datePart >> 5) & 15, datePart & 31, date))
        throw EConvertError(SDateEncodeError);
    if (!TryEncodeTime(
            timePart >> 11, (timePart >> 5) & 63, static_cast<uint16_t>((timePart & 31) * 2), 0, time))
        throw EConvertError(STimeEncodeError);
    return date + time;
}

// ---- Host time -----------------------------------------------------------

TDateTime UnixTimeToDateTime(time_t unixTime)
{
    tm local {};
    if (!localtime_r(&unixTime, &local) || local.tm_year + 1900 < 1 || local.tm_year + 1900 > 9999)
        throw EConvertError(Format(SInvalidDateTime, IntToStr(unixTime)));
    return Compose(EncodeDate(static_cast<uint16_t>(local.tm_year + 1900),
                       static_cast<uint16_t>(local.tm_mon + 1), static_cast<uint16_t>(local.tm_mday)),
        EncodeTime(static_cast<uint16_t>(local.tm_hour), static_cast<uint16_t>(local.tm_min),
            static_cast<uint16_t>(std::min(local.tm_sec, 59)), 0));
}

time_t DateTimeToUnixTime(TDateTime dateTime)
{
    uint16_t year, month, day, hour, min, sec, msec;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, min, sec, msec);
    tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = min;
    local.tm_sec = sec;
    local.tm_isdst = -1;
    local.tm_wday = -1;
    const time_t result = mktime(&local);
    if (local.tm_wday == -1)
        throw EConvertError(Format(SInvalidDateTime, DateTimeToStr(dateTime)));
    return result;
}
