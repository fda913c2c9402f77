#include "controls/widgets/qxdttext.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/base/Qxdate.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/services.h"

namespace {

// ---- Reading a display format ----------------------------------------------
//
// A format reads as a row of pieces: literal characters and tokens. A token
// starts at a letter: runs of d, m, h, n, s, y (any case) and the am/pm
// markers "a/p", "am/pm" and "ampm"; an m run right after an hour and the
// time separator is the minute. Quoted text is literal, as FormatDateTime
// writes it. A token that would start at the very last character of the
// format is not read: the old picker never looked there, and a format's
// parts count the same as they always did.

enum class PieceKind { Literal, AmPm, Hour, Minute, Second, Day, DayName, Month, MonthName, Year2, Year4, Other };

struct Piece {
    PieceKind Kind = PieceKind::Literal;
    std::string Token;     // lower case
    int LiteralChars = 0;  // characters a literal adds to the text
};

char32_t LowerAscii(char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; }

bool IsTimePiece(PieceKind kind)
{
    return kind == PieceKind::AmPm || kind == PieceKind::Hour || kind == PieceKind::Minute || kind == PieceKind::Second;
}

bool IsDatePiece(PieceKind kind)
{
    return kind == PieceKind::Day || kind == PieceKind::DayName || kind == PieceKind::Month ||
           kind == PieceKind::MonthName || kind == PieceKind::Year2 || kind == PieceKind::Year4;
}

bool MatchesNoCase(const std::u32string &text, size_t at, std::u32string_view word)
{
    if (at + word.size() > text.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k)
        if (LowerAscii(text[at + k]) != word[k])
            return false;
    return true;
}

std::vector<Piece> ReadFormat(const std::string &format, char32_t timeSeparator)
{
    const std::u32string f = Utf8ToCodePoints(format);
    std::vector<Piece> pieces;
    const auto literal = [&](int chars) {
        if (!pieces.empty() && pieces.back().Kind == PieceKind::Literal)
            pieces.back().LiteralChars += chars;
        else
            pieces.push_back({ PieceKind::Literal, {}, chars });
    };
    size_t i = 0;
    while (i + 1 < f.size()) {
        const char32_t c = f[i];
        const char32_t letter = LowerAscii(c);
        if (c == U'\'' || c == U'"') {
            size_t end = i + 1;
            while (end < f.size() && f[end] != c)
                ++end;
            literal(static_cast<int>(end - i - 1));
            i = end + 1;
            continue;
        }
        if (letter == U'a') {
            if (MatchesNoCase(f, i, U"a/p")) {
                pieces.push_back({ PieceKind::AmPm, "a/p", 0 });
                i += 3;
            } else if (MatchesNoCase(f, i, U"am/pm")) {
                pieces.push_back({ PieceKind::AmPm, "am/pm", 0 });
                i += 5;
            } else if (MatchesNoCase(f, i, U"ampm")) {
                pieces.push_back({ PieceKind::AmPm, "ampm", 0 });
                i += 4;
            } else {
                literal(1);
                ++i;
            }
            continue;
        }
        if (letter != U'd' && letter != U'm' && letter != U'h' && letter != U'n' && letter != U's' && letter != U'y') {
            literal(1);
            ++i;
            continue;
        }
        size_t n = 1;
        while (i + n < f.size() && LowerAscii(f[i + n]) == letter)
            ++n;
        Piece piece;
        piece.Token.assign(n, static_cast<char>(letter));
        switch (letter) {
        case U'd':
            piece.Kind = n <= 2 ? PieceKind::Day : n <= 4 ? PieceKind::DayName : PieceKind::Other;
            break;
        case U'm': {
            const bool afterHour = i >= 2 && (f[i - 1] == U':' || f[i - 1] == timeSeparator) && LowerAscii(f[i - 2]) == U'h';
            if (afterHour && n <= 2) {
                piece.Kind = PieceKind::Minute;
                piece.Token.assign(n, 'n');
            } else {
                piece.Kind = n <= 2 ? PieceKind::Month : PieceKind::MonthName;
            }
            break;
        }
        case U'h':
            piece.Kind = PieceKind::Hour;
            break;
        case U'n':
            piece.Kind = PieceKind::Minute;
            break;
        case U's':
            piece.Kind = PieceKind::Second;
            break;
        default:
            piece.Kind = n <= 2 ? PieceKind::Year2 : PieceKind::Year4;
            break;
        }
        pieces.push_back(piece);
        i += n;
    }
    return pieces;
}

int CharCount(const std::string &text) { return static_cast<int>(Utf8Length(text)); }

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string Digits(int value, const std::string &token) { return token.size() >= 2 ? TwoDigits(value) : std::to_string(value); }

// Monday-based day number (0 = Monday .. 6 = Sunday).
int MondayBased(TDateTime date) { return (DayOfWeek(date) + 5) % 7; }

int FloorDays(TDateTime value) { return static_cast<int>(std::trunc(value)); }

char32_t FirstLetter(const std::string &text)
{
    const std::string upper = AnsiUpperCase(text);
    size_t pos = 0;
    return upper.empty() ? 0 : Utf8Next(upper, pos);
}

char32_t UpperLetter(char32_t c) { return FirstLetter(CodePointToUtf8(c)); }

bool IsDigitKey(uint16_t key) { return (key >= '0' && key <= '9') || (key >= VK_NUMPAD0 && key <= VK_NUMPAD9); }

// Backspace, Space, '0'..'o', the apostrophe and period keys and the keys past
// Scroll Lock: the keys that type.
bool IsCharacterKey(uint16_t key)
{
    return key == VK_BACK || key == VK_SPACE || (key >= '0' && key <= 'o') || key == 0xDE || key == VK_OEM_PERIOD || key > 145;
}

// The fields of a moment while a part is edited.
struct Fields {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0, MSec = 0;

    static Fields Of(TDateTime value)
    {
        Fields f;
        uint16_t y, mo, d, h, mi, s, ms;
        DecodeDate(value, y, mo, d);
        DecodeTime(value, h, mi, s, ms);
        f.Year = y, f.Month = mo, f.Day = d, f.Hour = h, f.Minute = mi, f.Second = s, f.MSec = ms;
        return f;
    }
    void SetDate(TDateTime date)
    {
        uint16_t y, mo, d;
        DecodeDate(date, y, mo, d);
        Year = y, Month = mo, Day = d;
    }
    int MonthLength() const { return DaysInAMonth(static_cast<uint16_t>(Year), static_cast<uint16_t>(Month)); }
    // A month outside the year is left for TryDate to refuse.
    void CutDay()
    {
        if (Month >= 1 && Month <= 12)
            Day = std::min(Day, MonthLength());
    }
    bool TryDate(TDateTime &date) const { return qxTryEncodeDate(Year, Month, Day, date); }
    // The date with the day cut to the month's length.
    TDateTime Date() const
    {
        Fields f = *this;
        f.CutDay();
        TDateTime date = 0;
        f.TryDate(date);
        return date;
    }
};

bool IsLeap(int year) { return year >= 1 && year <= 9999 && IsLeapYear(static_cast<uint16_t>(year)); }

int NextLeapYear(int year)
{
    int y = year + 1;
    while (y <= 9999 && !IsLeap(y))
        ++y;
    return y;
}

// The date moved by whole months, the day cut to the new month's length;
// false past the year 9999 or before the year 1.
bool AddMonths(const Fields &from, int months, Fields &to)
{
    const int index = from.Year * 12 + (from.Month - 1) + months;
    to = from;
    to.Year = index / 12;
    to.Month = index % 12 + 1;
    if (to.Year < 1 || to.Year > 9999)
        return false;
    to.CutDay();
    return true;
}

} // namespace

// ---- The engine ------------------------------------------------------------

struct TqxDateTimeText::Impl {
    TqxDateTimeText &q;
    TqxDateTimeTextHost &host;

    std::vector<Piece> Pieces() const { return ReadFormat(q.ExpandDisplayFormat(), FormatSettings.TimeSeparator); }

    bool Counts(PieceKind kind) const
    {
        if (IsTimePiece(kind))
            return q.IsTimeKind() || q.IsDateTimeKind();
        if (IsDatePiece(kind))
            return q.IsDateKind() || q.IsDateTimeKind();
        return false;
    }

    // Day names stand for the day, month names for the month, and both year
    // tokens for the year.
    static PieceKind Family(PieceKind kind)
    {
        return kind == PieceKind::DayName     ? PieceKind::Day
               : kind == PieceKind::MonthName ? PieceKind::Month
               : kind == PieceKind::Year4     ? PieceKind::Year2
                                              : kind;
    }

    bool Shows(PieceKind family) const
    {
        for (const Piece &piece : Pieces())
            if (Family(piece.Kind) == family)
                return true;
        return false;
    }

    // Whether one kind of part stands before another in the format; false
    // when either is not there, so that a part the format hides never moves.
    bool Precedes(PieceKind first, PieceKind second) const
    {
        bool seenFirst = false;
        for (const Piece &piece : Pieces()) {
            const PieceKind kind = Family(piece.Kind);
            if (kind == first)
                seenFirst = true;
            else if (kind == second)
                return seenFirst;
        }
        return false;
    }

    // Whether going from one date to another moves a day, month or year the
    // format does not show; a day cut to a shorter month does not count.
    bool MovesHiddenPart(const Fields &from, const Fields &to) const
    {
        if (q.IsTimeKind())
            return false;
        return (!Shows(PieceKind::Year2) && to.Year != from.Year) ||
               (!Shows(PieceKind::Month) && to.Month != from.Month) ||
               (!Shows(PieceKind::Day) && to.Day != std::min(from.Day, to.MonthLength()));
    }

    bool InLimits(TDateTime date) const
    {
        const int days = FloorDays(date);
        return days <= FloorDays(q.UpperLimit()) && days >= FloorDays(q.LowerLimit());
    }

    TDateTime ClampToLimits(TDateTime date) const
    {
        if (FloorDays(date) > FloorDays(q.UpperLimit()))
            return std::trunc(q.UpperLimit());
        if (FloorDays(date) < FloorDays(q.LowerLimit()))
            return std::trunc(q.LowerLimit());
        return date;
    }

    int EpochYear(int twoDigits) const
    {
        const int century = 100 * (q.Epoch / 100);
        return twoDigits < q.Epoch % 100 ? twoDigits + century + 100 : twoDigits + century;
    }

    // Step 5 of every edit: the fields become the value when they stay within
    // the limits; otherwise the text is shown again unchanged.
    void Compose(Fields f)
    {
        f.CutDay();
        TDateTime date = 0, time = 0;
        if (!f.TryDate(date) ||
            !qxTryEncodeTime(f.Hour, f.Minute, f.Second, f.MSec, time)) {
            q.ShowText();
            q.SelectCurrentPart();
            return;
        }
        const bool hadTime = q.Value != std::trunc(q.Value);
        TDateTime value = date >= 0 ? date + time : date - time;
        if (q.IsTimeKind()) {
            value = time;
        } else if (!InLimits(value) || (q.Value != 0 && MovesHiddenPart(Fields::Of(q.Value), f))) {
            q.ShowText();
            q.SelectCurrentPart();
            return;
        }
        q.Value = value;
        q.Cleared = false;
        host.SetModified(true);
        q.ShowText();
        if (q.IsCFormat() && hadTime && time == 0)
            q.Part = std::max(1, std::min(q.Part, q.VisiblePartCount()));
        q.SelectCurrentPart();
    }

    void Refuse() { MessageBeep(0); }

    // The text ShowText gives the value.
    std::string TextOfValue() const
    {
        if (host.Modified())
            return q.FormatValue(q.Value);
        if (host.FieldKind() != TqxDTFieldKind::None || (!host.HasSourceWithoutField() && q.Value != 0))
            return q.ShownText();
        return {};
    }

    // ---- Checks of digit entry

    bool CheckDay(Fields &f, int day) const
    {
        if (day < 1 || day > 31)
            return false;
        f.Day = day;
        if (f.Day > f.MonthLength() && Precedes(PieceKind::Day, PieceKind::Month))
            while (f.Month < 12 && f.Day > f.MonthLength())
                ++f.Month;
        if (f.Month == 2 && f.Day == 29 && !IsLeap(f.Year) && Precedes(PieceKind::Day, PieceKind::Year2))
            f.Year = NextLeapYear(f.Year);
        f.CutDay();
        return InLimits(f.Date());
    }

    bool CheckMonth(Fields &f, int month) const
    {
        if (month < 1 || month > 12)
            return false;
        f.Month = month;
        if (f.Month == 2 && f.Day == 29 && !IsLeap(f.Year) && Precedes(PieceKind::Month, PieceKind::Year2))
            f.Year = NextLeapYear(f.Year);
        f.CutDay();
        return InLimits(f.Date());
    }

    bool CheckYear(Fields &f, int year) const
    {
        TDateTime date = 0;
        if (year < 1 || year > 9999 || !qxTryEncodeDate(year, f.Month, f.Day, date) || !InLimits(date))
            return false;
        f.Year = year;
        return true;
    }

    bool CheckHour(Fields &f, int hour) const
    {
        const bool twelve = FormatHasAmPm(q.ExpandDisplayFormat());
        if (hour < 0 || hour > (twelve ? 12 : 23))
            return false;
        f.Hour = twelve ? hour % 12 + (f.Hour >= 12 ? 12 : 0) : hour;
        return true;
    }

    bool CheckPart(PieceKind kind, Fields &f, int value) const
    {
        switch (kind) {
        case PieceKind::Day:
            return CheckDay(f, value);
        case PieceKind::Month:
            return CheckMonth(f, value);
        case PieceKind::Year2:
            return CheckYear(f, EpochYear(value));
        case PieceKind::Year4:
            return value != 0 && CheckYear(f, value);
        case PieceKind::Hour:
            return CheckHour(f, value);
        case PieceKind::Minute:
            if (value > 59)
                return false;
            f.Minute = value;
            return true;
        case PieceKind::Second:
            if (value > 59)
                return false;
            f.Second = value;
            return true;
        default:
            return false;
        }
    }

    // Whether a first digit can still be followed by a second one.
    bool WaitsForMore(PieceKind kind, int digit) const
    {
        switch (kind) {
        case PieceKind::Day:
            return digit <= 3;
        case PieceKind::Month:
            return digit <= 1;
        case PieceKind::Hour:
            return digit <= (FormatHasAmPm(q.ExpandDisplayFormat()) ? 1 : 2);
        case PieceKind::Minute:
        case PieceKind::Second:
            return digit <= 5;
        default:
            return true;
        }
    }

    // Replaces the characters [start, start + length) of the edit's text.
    void ReplaceText(int start, int length, const std::string &with)
    {
        std::u32string text = Utf8ToCodePoints(host.Text());
        const size_t from = std::min<size_t>(static_cast<size_t>(std::max(start, 0)), text.size());
        const size_t count = std::min<size_t>(static_cast<size_t>(std::max(length, 0)), text.size() - from);
        text.replace(from, count, Utf8ToCodePoints(with));
        host.SetText(CodePointsToUtf8(text));
    }

    // The number written in the edit from a part's start up to the caret.
    int TypedNumber(int start, int count) const
    {
        const std::u32string text = Utf8ToCodePoints(host.Text());
        int number = 0;
        for (int k = start; k < start + count && k < static_cast<int>(text.size()); ++k)
            if (text[static_cast<size_t>(k)] >= U'0' && text[static_cast<size_t>(k)] <= U'9')
                number = number * 10 + static_cast<int>(text[static_cast<size_t>(k)] - U'0');
        return number;
    }

    void AdvanceAfterDigit()
    {
        if (!q.Typing && q.AutoAdvance && q.Part < q.VisiblePartCount()) {
            ++q.Part;
            q.SelectCurrentPart();
        }
    }

    void Digit(int digit, const TqxDTPart &part, PieceKind kind, Fields f)
    {
        const bool wasTyping = q.Typing;
        q.Typing = false;
        if (kind == PieceKind::Year4) {
            const int typed = wasTyping ? std::clamp(host.SelStart() - part.Start, 0, 3) : 0;
            if (typed < 3) {
                if (typed == 0)
                    ReplaceText(part.Start, part.Length, std::to_string(digit));
                else
                    ReplaceText(part.Start + typed, 0, std::to_string(digit));
                host.SetSelection(part.Start + typed + 1, 0);
                q.Typing = true;
                return;
            }
            const int year = TypedNumber(part.Start, 3) * 10 + digit;
            if (year != 0 && !CheckYear(f, year)) {
                Refuse();
                q.Typing = true;
                return;
            }
            Compose(f);
            AdvanceAfterDigit();
            return;
        }
        if (!wasTyping) {
            if (WaitsForMore(kind, digit)) {
                if (kind == PieceKind::Year2 && q.MinDate != 0) {
                    const int decadeEnd = (FloorDays(Date()) >= 0 ? Fields::Of(Date()).Year / 100 : 18) * 100 + digit * 10 + 9;
                    TDateTime last = 0;
                    if (qxTryEncodeDate(decadeEnd, 12, 31, last) && FloorDays(last) < FloorDays(q.MinDate)) {
                        Refuse();
                        return;
                    }
                }
                ReplaceText(part.Start, part.Length, std::to_string(digit));
                host.SetSelection(part.Start + 1, 0);
                q.Typing = true;
                return;
            }
            if (!CheckPart(kind, f, digit)) {
                Refuse();
                return;
            }
            Compose(f);
            AdvanceAfterDigit();
            return;
        }
        const int value = TypedNumber(part.Start, 1) * 10 + digit;
        if (value == 0 && (kind == PieceKind::Day || kind == PieceKind::Month)) {
            Compose(f);
            AdvanceAfterDigit();
            return;
        }
        if (!CheckPart(kind, f, value)) {
            Refuse();
            q.Typing = true;
            return;
        }
        Compose(f);
        AdvanceAfterDigit();
    }

    // ---- Home, End, Up, Down

    int FirstDay() const { return host.FirstDayOfWeek(); }
    int LastDay() const { return (host.FirstDayOfWeek() + 6) % 7; }

    void Lowest(PieceKind kind, Fields &f) const
    {
        const Fields low = Fields::Of(q.LowerLimit());
        switch (kind) {
        case PieceKind::AmPm:
            if (f.Hour >= 12)
                f.Hour -= 12;
            break;
        case PieceKind::Day:
            f.Day = f.Year == low.Year && f.Month == low.Month ? low.Day : 1;
            break;
        case PieceKind::DayName: {
            const TDateTime date = f.Date();
            const int back = (MondayBased(date) - FirstDay() + 7) % 7;
            f.SetDate(std::max(std::trunc(q.LowerLimit()), date - back));
            break;
        }
        case PieceKind::Hour:
            f.Hour = 0;
            break;
        case PieceKind::Minute:
            f.Minute = 0;
            break;
        case PieceKind::Second:
            f.Second = 0;
            break;
        case PieceKind::Month:
        case PieceKind::MonthName:
            f.Month = f.Year == low.Year ? low.Month + (f.Day < low.Day ? 1 : 0) : 1;
            break;
        case PieceKind::Year2:
        case PieceKind::Year4:
            f.Year = low.Year + ((f.Month < low.Month || (f.Month == low.Month && f.Day < low.Day)) ? 1 : 0);
            break;
        default:
            break;
        }
    }

    void Highest(PieceKind kind, Fields &f) const
    {
        const Fields high = Fields::Of(q.UpperLimit());
        switch (kind) {
        case PieceKind::AmPm:
            if (f.Hour < 12)
                f.Hour += 12;
            break;
        case PieceKind::Day:
            f.Day = f.Year == high.Year && f.Month == high.Month ? high.Day : f.MonthLength();
            break;
        case PieceKind::DayName: {
            const TDateTime date = f.Date();
            const int ahead = (LastDay() - MondayBased(date) + 7) % 7;
            f.SetDate(std::min(std::trunc(q.UpperLimit()), date + ahead));
            break;
        }
        case PieceKind::Hour:
            f.Hour = 23;
            break;
        case PieceKind::Minute:
            f.Minute = 59;
            break;
        case PieceKind::Second:
            f.Second = 59;
            break;
        case PieceKind::Month:
        case PieceKind::MonthName:
            f.Month = f.Year == high.Year ? high.Month - (f.Day > high.Day ? 1 : 0) : 12;
            break;
        case PieceKind::Year2:
        case PieceKind::Year4:
            f.Year = high.Year - ((f.Month > high.Month || (f.Month == high.Month && f.Day > high.Day)) ? 1 : 0);
            break;
        default:
            break;
        }
    }

    // Up (+1) or Down (-1) within a part; false when nothing changes.
    bool Step(PieceKind kind, Fields &f, int step) const
    {
        const TDateTime date = f.Date();
        switch (kind) {
        case PieceKind::AmPm:
            f.Hour = f.Hour >= 12 ? f.Hour - 12 : f.Hour + 12;
            return true;
        case PieceKind::Hour:
            f.Hour = (f.Hour + step + 24) % 24;
            return true;
        case PieceKind::Minute:
            f.Minute = (f.Minute + step + 60) % 60;
            return true;
        case PieceKind::Second:
            f.Second = (f.Second + step + 60) % 60;
            return true;
        case PieceKind::Day:
            if (step > 0) {
                if (FloorDays(date + 1) > FloorDays(q.UpperLimit()))
                    return false;
                f.Day = Fields::Of(date + 1).Day; // the last day wraps to the 1st of the same month
                return InLimits(f.Date());
            } else {
                f.Day = f.Day > 1 ? f.Day - 1 : f.MonthLength();
            }
            f.SetDate(ClampToLimits(f.Date()));
            return true;
        case PieceKind::DayName: {
            const int weekDay = MondayBased(date);
            TDateTime moved;
            if (step > 0)
                moved = weekDay == LastDay() ? date - 6 : date + 1;
            else
                moved = weekDay == FirstDay() ? date + 6 : date - 1;
            f.SetDate(ClampToLimits(moved));
            return true;
        }
        case PieceKind::Month:
        case PieceKind::MonthName: {
            Fields moved;
            if (!AddMonths(f, step, moved))
                return false;
            f.Month = moved.Month;
            f.CutDay();
            f.SetDate(ClampToLimits(f.Date()));
            return true;
        }
        case PieceKind::Year2:
        case PieceKind::Year4: {
            Fields moved;
            if (!AddMonths(f, 12 * step, moved))
                return false;
            f.Year = moved.Year;
            f.CutDay();
            f.SetDate(ClampToLimits(f.Date()));
            return true;
        }
        default:
            return false;
        }
    }

    // ---- Letters

    bool Letter(PieceKind kind, Fields &f, char32_t letter, const std::string &token) const
    {
        const auto begins = [letter](const std::string &name) { return FirstLetter(name) == letter; };
        const TFormatSettings &fs = FormatSettings;
        if (kind == PieceKind::MonthName) {
            for (int k = 1; k <= 12; ++k) {
                const int month = (f.Month - 1 + k) % 12;
                if (!begins(fs.ShortMonthNames[static_cast<size_t>(month)]) &&
                    !begins(fs.LongMonthNames[static_cast<size_t>(month)]))
                    continue;
                Fields moved = f;
                moved.Month = month + 1;
                moved.CutDay();
                if (InLimits(moved.Date())) {
                    f = moved;
                    return true;
                }
            }
            return false;
        }
        if (kind == PieceKind::DayName) {
            const TDateTime date = f.Date();
            const int current = (MondayBased(date) - FirstDay() + 7) % 7; // position in the week
            for (int k = 1; k <= 7; ++k) {
                const int position = (current + k) % 7;
                const TDateTime candidate = date - current + position;
                if (!InLimits(candidate))
                    continue;
                const size_t sundayBased = static_cast<size_t>(DayOfWeek(candidate) - 1);
                if (begins(fs.ShortDayNames[sundayBased]) || begins(fs.LongDayNames[sundayBased])) {
                    f.SetDate(candidate);
                    return true;
                }
            }
            return false;
        }
        if (kind == PieceKind::AmPm) {
            const bool pm = f.Hour >= 12;
            char32_t toPm = U'P', toAm = U'A';
            if (token == "ampm") {
                toPm = FirstLetter(fs.TimePMString);
                toAm = FirstLetter(fs.TimeAMString);
            }
            if (letter == toPm && !pm)
                f.Hour += 12;
            else if (letter == toAm && pm)
                f.Hour -= 12;
            else
                return false;
            return true;
        }
        return false;
    }
};

TqxDateTimeText::TqxDateTimeText(TqxDateTimeTextHost &host)
    : host_(host)
    , d(std::make_unique<Impl>(Impl { *this, host }))
{
}

TqxDateTimeText::~TqxDateTimeText() = default;

// ---- Kinds and limits --------------------------------------------------------

bool TqxDateTimeText::IsTimeKind() const
{
    switch (host_.FieldKind()) {
    case TqxDTFieldKind::Time:
        return true;
    case TqxDTFieldKind::DateTime:
        return !FormatHasDateParts(ExpandDisplayFormat());
    case TqxDTFieldKind::Date:
        return false;
    case TqxDTFieldKind::None:
        break;
    }
    return UnboundDataType == qxDTEdtTime;
}

bool TqxDateTimeText::IsDateKind() const
{
    const TqxDTFieldKind kind = host_.FieldKind();
    return kind == TqxDTFieldKind::Date || (kind == TqxDTFieldKind::None && UnboundDataType == qxDTEdtDate);
}

bool TqxDateTimeText::IsDateOnly() const
{
    if (IsDateKind())
        return true;
    return host_.FieldKind() == TqxDTFieldKind::DateTime && !FormatHasTimeLetter(ExpandDisplayFormat());
}

bool TqxDateTimeText::IsDateTimeKind() const
{
    const TqxDTFieldKind kind = host_.FieldKind();
    return kind == TqxDTFieldKind::DateTime || (kind == TqxDTFieldKind::None && UnboundDataType == qxDTEdtDateTime);
}

TDateTime TqxDateTimeText::UpperLimit() const
{
    return FloorDays(MaxDate) != 0 ? std::trunc(MaxDate) : EncodeDate(9999, 12, 31);
}

TDateTime TqxDateTimeText::LowerLimit() const
{
    return FloorDays(MinDate) != 0 ? MinDate : EncodeDate(1899, 12, 31);
}

TDateTime TqxDateTimeText::WithinLimits(TDateTime moment) const
{
    if (FloorDays(MaxDate) != 0 && FloorDays(moment) > FloorDays(MaxDate))
        return MaxDate;
    if (FloorDays(MinDate) != 0 && FloorDays(moment) < FloorDays(MinDate))
        return MinDate;
    return moment;
}

// ---- Formats and texts -----------------------------------------------------------

std::string TqxDateTimeText::ResolveDisplayFormat(bool withDefaults) const
{
    std::string format = DisplayFormat;
    if (format.empty())
        format = host_.FieldDisplayFormat();
    if (!format.empty() || !withDefaults)
        return format;
    const TFormatSettings &fs = FormatSettings;
    // The kind of a date-time field follows from its format, so it is asked
    // after the format: a field of that type with no format shows both.
    const TqxDTFieldKind field = host_.FieldKind();
    const bool timeKind = field == TqxDTFieldKind::Time || (field == TqxDTFieldKind::None && UnboundDataType == qxDTEdtTime);
    if (timeKind)
        return DateFormat == dfLong ? fs.LongTimeFormat : fs.ShortTimeFormat;
    if (IsDateKind())
        return DateFormat == dfLong ? fs.LongDateFormat : fs.ShortDateFormat;
    return DateFormat == dfLong ? fs.LongDateFormat + " " + fs.LongTimeFormat : "c";
}

std::string TqxDateTimeText::ExpandDisplayFormat() const
{
    const TFormatSettings &fs = FormatSettings;
    std::string format = ResolveDisplayFormat(true);
    const std::pair<std::string, std::string> replacements[] = {
        { "c", fs.ShortDateFormat + " " + fs.LongTimeFormat },
        { "dddddd", fs.LongDateFormat },
        { "ddddd", fs.ShortDateFormat },
        { "tt", fs.LongTimeFormat },
        { "t", fs.ShortTimeFormat },
    };
    for (const auto &[from, to] : replacements)
        format = StringReplace(format, from, to, rfReplaceAll);
    return format;
}

std::string TqxDateTimeText::FormatValue(TDateTime value) const
{
    if (host_.HasSourceWithoutField())
        return {};
    if (FloorDays(value) == 0 && !IsTimeKind())
        return {};
    const bool noFormat = DisplayFormat.empty() && host_.FieldDisplayFormat().empty();
    if (noFormat && DateFormat == dfLong && value == std::trunc(value) && !IsTimeKind())
        return FormatDateTime(FormatSettings.LongDateFormat, value);
    return FormatDateTime(ResolveDisplayFormat(true), value);
}

std::string TqxDateTimeText::ShownText() const
{
    if (host_.HasSourceWithoutField())
        return {};
    if (host_.FieldKind() != TqxDTFieldKind::None && host_.FieldIsNull() && !host_.CalendarDropped())
        return {};
    if (host_.FieldKind() == TqxDTFieldKind::None && Value == 0 && Cleared)
        return {};
    return FormatValue(Value);
}

void TqxDateTimeText::ShowText()
{
    host_.SetText(d->TextOfValue());
    host_.Repaint();
}

bool TqxDateTimeText::IsCFormat() const
{
    // Decided by the format in force, so that a picker's own format on a
    // date-time field is not mistaken for the field's.
    return ResolveDisplayFormat(true) == "c";
}

// ---- Parts ---------------------------------------------------------------------------

int TqxDateTimeText::CountParts(const std::string &expandedFormat) const
{
    int count = 0;
    for (const Piece &piece : ReadFormat(expandedFormat, FormatSettings.TimeSeparator))
        if (d->Counts(piece.Kind))
            ++count;
    return count;
}

TqxDTPart TqxDateTimeText::LocatePart(int part, TDateTime value) const
{
    const TFormatSettings &fs = FormatSettings;
    const std::string format = ExpandDisplayFormat();
    const bool twelveHour = FormatHasAmPm(format);
    const Fields f = Fields::Of(value);
    int position = 0, editable = 0;
    for (const Piece &piece : ReadFormat(format, fs.TimeSeparator)) {
        if (piece.Kind == PieceKind::Literal) {
            position += piece.LiteralChars;
            continue;
        }
        std::string text;
        int length = -1;
        switch (piece.Kind) {
        case PieceKind::Day:
            text = Digits(f.Day, piece.Token);
            break;
        case PieceKind::DayName:
            text = piece.Token.size() == 3 ? fs.ShortDayNames[static_cast<size_t>(DayOfWeek(f.Date()) - 1)]
                                           : fs.LongDayNames[static_cast<size_t>(DayOfWeek(f.Date()) - 1)];
            break;
        case PieceKind::Month:
            text = Digits(f.Month, piece.Token);
            break;
        case PieceKind::MonthName:
            text = piece.Token.size() == 3 ? fs.ShortMonthNames[static_cast<size_t>(f.Month - 1)]
                                           : fs.LongMonthNames[static_cast<size_t>(f.Month - 1)];
            break;
        case PieceKind::Minute:
            text = Digits(f.Minute, piece.Token);
            break;
        case PieceKind::Second:
            text = Digits(f.Second, piece.Token);
            break;
        case PieceKind::Hour: {
            // The twelve-hour clock reads 0 as 12; the 24-hour one shows 0.
            int hour = f.Hour;
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            text = Digits(hour, piece.Token);
            break;
        }
        case PieceKind::Year2:
            text = TwoDigits(f.Year % 100);
            break;
        case PieceKind::Year4:
            text = std::to_string(f.Year);
            text.insert(0, text.size() < 4 ? 4 - text.size() : 0, '0');
            break;
        case PieceKind::AmPm:
            if (piece.Token == "a/p")
                length = 1;
            else if (piece.Token == "am/pm")
                length = 2;
            else
                length = CharCount(f.Hour < 12 ? fs.TimeAMString : fs.TimePMString);
            break;
        default:
            break;
        }
        if (length < 0)
            length = CharCount(text);
        if (d->Counts(piece.Kind) && ++editable == part)
            return { position, piece.Token, length };
        position += length;
    }
    return {};
}

int TqxDateTimeText::VisiblePartCount() const
{
    const int count = CountParts(ExpandDisplayFormat());
    if (!IsCFormat())
        return count;
    const int shown = CharCount(host_.Text());
    int visible = 0;
    while (visible < count && LocatePart(visible + 1, Value).Start < shown)
        ++visible;
    return visible;
}

void TqxDateTimeText::SelectCurrentPart()
{
    if (host_.Text().empty())
        return; // no part to mark; the caret stays
    if (!host_.CanEdit()) {
        host_.SetSelection(0, CharCount(host_.Text()));
    } else if (host_.CalendarDropped()) {
        host_.SetSelection(0, 0);
    } else {
        const TqxDTPart part = LocatePart(Part, Value);
        host_.SetSelection(part.Start, part.Length);
    }
    host_.SetCaretVisible(false);
}

void TqxDateTimeText::SelectPartAt(int x, const std::function<int(const std::string &)> &textWidth)
{
    const std::u32string text = Utf8ToCodePoints(host_.Text());
    if (text.empty())
        return;
    CommitTyping();
    const int count = CountParts(ExpandDisplayFormat());
    const bool cFormat = IsCFormat();
    for (int n = 1; n <= count; ++n) {
        const TqxDTPart part = LocatePart(n, Value);
        const size_t end = std::min(text.size(), static_cast<size_t>(part.Start + part.Length));
        const std::string upToPart = CodePointsToUtf8(text.substr(0, end));
        if (end >= text.size() || textWidth(upToPart) > x || (cFormat && end == text.size())) {
            Part = n;
            break;
        }
    }
    SelectCurrentPart();
}

// ---- Editing ---------------------------------------------------------------------

void TqxDateTimeText::KeyDown(uint16_t &key, TShiftState shift, char32_t typed)
{
    EditKey(key, shift, typed);
    // A key that was refused, or swallowed half-way through typed digits,
    // must not leave those digits standing for a value they are not.
    if (!Typing && host_.Text() != d->TextOfValue()) {
        ShowText();
        SelectCurrentPart();
    }
}

void TqxDateTimeText::EditKey(uint16_t &key, TShiftState shift, char32_t typed)
{
    const bool alt = shift.Contains(ssAlt) || GetKeyState(VK_MENU) < 0;
    const TFormatSettings &fs = FormatSettings;

    // A key that types starts the editing of a value.
    if (!alt && IsCharacterKey(key)) {
        const int textLength = CharCount(host_.Text());
        if (textLength > 0 && host_.SelStart() == 0 && host_.SelLength() == textLength) {
            Part = 1;
            SelectCurrentPart();
        }
        const bool noValue = Value == 0 || (IsTimeKind() && Value == std::trunc(Value));
        if (textLength == 0 && noValue) {
            host_.BeginEdit();
            if (IsTimeKind()) {
                Value = IsDigitKey(key) ? 0 : Time();
            } else {
                Value = WithinLimits(::Date());
            }
            Cleared = false;
            host_.SetModified(true);
            ShowText();
            Part = 1;
            SelectCurrentPart();
        }
    }

    if (!alt) {
        if (typed == U'+' || typed == U'=') {
            key = VK_UP;
        } else if (typed == U'-') {
            key = VK_DOWN;
        } else if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
            key = static_cast<uint16_t>('0' + (key - VK_NUMPAD0));
        } else if (typed != 0 && (typed == fs.DateSeparator || typed == fs.TimeSeparator)) {
            if (AutoAdvance && !Typing) {
                key = 0;
                return;
            }
            key = VK_RIGHT;
        }
    }

    if (Value == 0 && (key == VK_END || key == VK_HOME || key == VK_UP || key == VK_DOWN))
        Value = WithinLimits(::Date());
    Fields f = Fields::Of(Value);
    const TqxDTPart part = LocatePart(Part, Value);
    PieceKind kind = PieceKind::Literal;
    {
        int n = 0;
        for (const Piece &piece : ReadFormat(ExpandDisplayFormat(), fs.TimeSeparator))
            if (d->Counts(piece.Kind) && ++n == Part)
                kind = piece.Kind;
    }

    switch (key) {
    case VK_BACK:
    case VK_DELETE:
        if (Typing) {
            // The last typed digit goes; the part keeps waiting for digits.
            const int caret = host_.SelStart();
            if (caret > part.Start) {
                d->ReplaceText(caret - 1, 1, {});
                host_.SetSelection(caret - 1, 0);
            }
            key = 0;
            return;
        }
        if (IsTimeKind() && host_.FieldKind() == TqxDTFieldKind::DateTime) {
            Value = std::trunc(Value);
        } else if (IsDateOnly()) {
            Value = 0;
            Part = 1;
            host_.SetCaretVisible(true);
        } else if (IsCFormat() && VisiblePartCount() == CountParts(ExpandDisplayFormat()) && IsTimePiece(kind)) {
            Value = std::trunc(Value);
        } else {
            Value = 0;
        }
        Cleared = Value == 0;
        host_.SetModified(true);
        ShowText();
        Part = std::max(1, std::min(Part, std::max(1, VisiblePartCount())));
        if (Value != 0)
            SelectCurrentPart();
        key = 0;
        return;

    case VK_SPACE:
    case VK_RIGHT: {
        const int count = CountParts(ExpandDisplayFormat());
        CommitTyping();
        if (Part < count) {
            if (IsCFormat() && FloorDays(Value) != 0 && LocatePart(Part + 1, Value).Start >= CharCount(host_.Text())) {
                const TDateTime now = Time();
                Value = Value >= 0 ? std::trunc(Value) + now : std::trunc(Value) - now;
                host_.SetModified(true);
                ShowText();
            }
            Part = std::max(1, std::min(Part + 1, VisiblePartCount()));
        }
        SelectCurrentPart();
        if (key == VK_RIGHT)
            key = 0;
        return;
    }

    case VK_LEFT:
        CommitTyping();
        Part = std::max(1, Part - 1);
        SelectCurrentPart();
        key = 0;
        return;

    case VK_HOME:
    case VK_END:
        Typing = false;
        if (key == VK_HOME)
            d->Lowest(kind, f);
        else
            d->Highest(kind, f);
        d->Compose(f);
        key = 0;
        return;

    case VK_UP:
    case VK_DOWN:
        Typing = false;
        if (d->Step(kind, f, key == VK_UP ? 1 : -1))
            d->Compose(f);
        else
            SelectCurrentPart();
        key = 0;
        return;

    case VK_F2:
        CommitTyping();
        SelectCurrentPart();
        return;

    default:
        break;
    }

    if (key >= '0' && key <= '9' && !alt) {
        if (kind == PieceKind::AmPm || kind == PieceKind::DayName || kind == PieceKind::MonthName ||
            kind == PieceKind::Literal) {
            MessageBeep(0);
        } else {
            d->Digit(key - '0', part, kind, f);
        }
        key = 0;
        return;
    }

    const bool letter = (key >= 'A' && key <= 'Z') || typed > 128;
    if (letter && !alt) {
        const char32_t upper = UpperLetter(typed != 0 ? typed : static_cast<char32_t>(key));
        Typing = false;
        if (d->Letter(kind, f, upper, part.Token))
            d->Compose(f);
        key = 0;
    }
}

void TqxDateTimeText::CommitTyping()
{
    if (!Typing || host_.CalendarDropped())
        return;
    Typing = false;
    int n = 0;
    PieceKind kind = PieceKind::Literal;
    for (const Piece &piece : ReadFormat(ExpandDisplayFormat(), FormatSettings.TimeSeparator))
        if (d->Counts(piece.Kind) && ++n == Part)
            kind = piece.Kind;
    if (kind == PieceKind::AmPm || kind == PieceKind::DayName || kind == PieceKind::MonthName || kind == PieceKind::Literal)
        return;
    const TqxDTPart part = LocatePart(Part, Value);
    Fields f = Fields::Of(Value);
    const int typed = std::max(0, host_.SelStart() - part.Start);
    const int number = d->TypedNumber(part.Start, typed);
    const bool isYear = kind == PieceKind::Year2 || kind == PieceKind::Year4;
    if (kind != PieceKind::Year4 && typed > 0) {
        switch (kind) {
        case PieceKind::Day:
            if (number != 0)
                f.Day = number;
            break;
        case PieceKind::Month:
            if (number != 0)
                f.Month = std::min(number, 12);
            break;
        case PieceKind::Year2:
            f.Year = d->EpochYear(number);
            break;
        case PieceKind::Hour:
            d->CheckHour(f, number);
            break;
        case PieceKind::Minute:
            f.Minute = std::min(number, 59);
            break;
        case PieceKind::Second:
            f.Second = std::min(number, 59);
            break;
        default:
            break;
        }
    } else if (isYear) {
        f.Year = typed == 3 ? number : d->EpochYear(typed == 0 ? 0 : number);
    } else if (kind == PieceKind::Minute) {
        f.Minute = 0;
    } else if (kind == PieceKind::Second) {
        f.Second = 0;
    }
    if (f.Year < 1)
        f.Year = Fields::Of(Value).Year;
    d->Compose(f);
}

void TqxDateTimeText::Paste(const std::string &text)
{
    if (!host_.CanEdit())
        return;
    host_.BeginEdit();
    const std::string old = host_.Text();
    host_.SetSelection(0, CharCount(old));
    host_.SetText(text);
    try {
        if (IsTimeKind()) {
            const TDateTime time = qxTextToTime(text);
            if (time != 0)
                Value = time;
        } else {
            TDateTime value = qxTextToDateTime(text);
            if (FloorDays(value) == 0)
                value = qxTextToDate(text);
            if (FloorDays(value) != 0)
                Value = value;
        }
    } catch (const Exception &) {
        host_.SetText(old);
    }
    Cleared = false;
    host_.SetModified(true);
    ShowText();
    SelectCurrentPart();
}

void TqxDateTimeText::Cut()
{
    if (!host_.CanEdit())
        return;
    Value = 0;
    Part = 1;
    Cleared = true;
    Typing = false;
    host_.SetText({});
    host_.SetCaretVisible(true);
    host_.SetModified(true);
}

// ---- Format letters --------------------------------------------------------------

bool FormatHasAmPm(const std::string &format)
{
    return format.find_first_of("aA") != std::string::npos;
}

bool FormatHasDateParts(const std::string &format)
{
    for (const Piece &piece : ReadFormat(format, FormatSettings.TimeSeparator))
        if (piece.Kind == PieceKind::Day || piece.Kind == PieceKind::DayName || piece.Kind == PieceKind::Month ||
            piece.Kind == PieceKind::MonthName || piece.Kind == PieceKind::Year2 || piece.Kind == PieceKind::Year4)
            return true;
    return false;
}

bool FormatHasTimeLetter(const std::string &format)
{
    return UpperCase(format).find_first_of("HNSTC") != std::string::npos;
}

char32_t qxKeyCharacter(uint16_t key, TShiftState shift)
{
    const bool shifted = shift.Contains(ssShift);
    if (key >= 'A' && key <= 'Z')
        return shifted ? key : key + 32;
    if (key >= '0' && key <= '9') {
        static constexpr char32_t shiftedDigits[] = U")!@#$%^&*(";
        return shifted ? shiftedDigits[key - '0'] : key;
    }
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return U'0' + (key - VK_NUMPAD0);
    switch (key) {
    case VK_SPACE:
        return U' ';
    case VK_MULTIPLY:
        return U'*';
    case VK_ADD:
        return U'+';
    case VK_SUBTRACT:
        return U'-';
    case VK_DECIMAL:
        return U'.';
    case VK_DIVIDE:
        return U'/';
    case VK_OEM_1:
        return shifted ? U':' : U';';
    case VK_OEM_PLUS:
        return shifted ? U'+' : U'=';
    case VK_OEM_COMMA:
        return shifted ? U'<' : U',';
    case VK_OEM_MINUS:
        return shifted ? U'_' : U'-';
    case VK_OEM_PERIOD:
        return shifted ? U'>' : U'.';
    case VK_OEM_2:
        return shifted ? U'?' : U'/';
    default:
        return 0;
    }
}
