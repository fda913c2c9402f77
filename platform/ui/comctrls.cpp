#include "platform/ui/comctrls.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <langinfo.h>
#include <locale.h>

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QTabBar>
#include <QSignalBlocker>

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/qtbridge_p.h"

SYSTEMTIME DateTimeToSystemTime(TDateTime dateTime)
{
    SYSTEMTIME st;
    uint16_t y, m, d, h, n, s, ms;
    DecodeDate(dateTime, y, m, d);
    DecodeTime(dateTime, h, n, s, ms);
    st.wYear = y, st.wMonth = m, st.wDay = d, st.wHour = h, st.wMinute = n, st.wSecond = s, st.wMilliseconds = ms;
    st.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(dateTime) - 1);
    return st;
}

bool TrySystemTimeToDateTime(const SYSTEMTIME &st, TDateTime &dateTime)
{
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(st.wYear, st.wMonth, st.wDay, date) ||
        !TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, time))
        return false;
    dateTime = date >= 0 ? date + time : date - time;
    return true;
}

int LocaleFirstDayOfWeek()
{
    const char *name = nullptr;
    for (const char *variable : { "LC_ALL", "LC_TIME", "LANG" })
        if (const char *value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    locale_t loc = newlocale(LC_TIME_MASK, name ? name : "C", static_cast<locale_t>(nullptr));
    if (!loc)
        loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    // glibc counts the first weekday from the day its week list starts on:
    // 1997-11-30 (a Sunday) or 1997-12-01 (a Monday).
    const auto weekStart = static_cast<long>(reinterpret_cast<intptr_t>(nl_langinfo_l(_NL_TIME_WEEK_1STDAY, loc)));
    const int firstWeekday = nl_langinfo_l(_NL_TIME_FIRST_WEEKDAY, loc)[0];
    freelocale(loc);
    const int sundayBased = ((weekStart == 19971201 ? 1 : 0) + firstWeekday - 1 + 7) % 7;
    return (sundayBased + 6) % 7;
}

namespace {

// ---- The calendar's own arithmetic, in whole days and month indexes --------

using Day = int; // days since 1899-12-30, as TDateTime counts them

int MonthIndex(int year, int month) { return year * 12 + month - 1; }
int YearOf(int monthIndex) { return monthIndex / 12; }
int MonthOf(int monthIndex) { return monthIndex % 12 + 1; }

Day FirstDayOf(int monthIndex)
{
    return static_cast<Day>(EncodeDate(static_cast<uint16_t>(YearOf(monthIndex)), static_cast<uint16_t>(MonthOf(monthIndex)), 1));
}
int LengthOf(int monthIndex)
{
    return DaysInAMonth(static_cast<uint16_t>(YearOf(monthIndex)), static_cast<uint16_t>(MonthOf(monthIndex)));
}
int MonthIndexOf(Day day)
{
    uint16_t y, m, d;
    DecodeDate(day, y, m, d);
    return MonthIndex(y, m);
}
int MondayBased(Day day) { return (DayOfWeek(day) + 5) % 7; }

bool DayOf(const SYSTEMTIME &st, Day &day)
{
    TDateTime date = 0;
    if (!TryEncodeDate(st.wYear, st.wMonth, st.wDay, date))
        return false;
    day = static_cast<Day>(date);
    return true;
}

SYSTEMTIME SystemTimeOf(Day day) { return DateTimeToSystemTime(day); }

// ISO 8601 week number of the week holding day.
int WeekNumber(Day day)
{
    const Day thursday = day - MondayBased(day) + 3;
    uint16_t y, m, d;
    DecodeDate(thursday, y, m, d);
    return (thursday - static_cast<Day>(EncodeDate(y, 1, 1))) / 7 + 1;
}

// "Today:" in the user's language, as the system's control writes it.
std::string TodayLabel()
{
    const char *lang = std::getenv("LC_ALL");
    if (!lang || !*lang)
        lang = std::getenv("LC_TIME");
    if (!lang || !*lang)
        lang = std::getenv("LANG");
    const std::string l = lang ? lang : "";
    if (l.rfind("es", 0) == 0)
        return "Hoy:";
    if (l.rfind("fr", 0) == 0)
        return "Aujourd'hui :";
    if (l.rfind("de", 0) == 0)
        return "Heute:";
    if (l.rfind("pt", 0) == 0)
        return "Hoje:";
    if (l.rfind("it", 0) == 0)
        return "Oggi:";
    return "Today:";
}

std::string FirstChars(const std::string &text, size_t count)
{
    const std::u32string points = Utf8ToCodePoints(text);
    return CodePointsToUtf8(points.substr(0, std::min(count, points.size())));
}

// ---- The window ----------------------------------------------------------------

class TMonthCalWidget : public TBridge<QWidget>
{
public:
    TMonthCalWidget(TWinControl *owner, QWidget *parent)
        : TBridge<QWidget>(owner, parent)
        , owner_(owner)
    {
        const Day today = static_cast<Day>(::Date());
        today_ = today;
        curSel_ = selStart_ = selEnd_ = today;
        firstMonth_ = MonthIndexOf(today);
        colors_ = { clWindow, clWindowText, clActiveCaption, clWhite, clWhite, clGrayText };
        firstDay_ = LocaleFirstDayOfWeek();
        setMouseTracking(true);
    }

    void NativeDefault(TMessage &m) override
    {
        switch (m.Msg) {
        case WM_PAINT:
            return Paint();
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return ButtonDown({ LoWordSigned(m.LParam), HiWordSigned(m.LParam) });
        case WM_MOUSEMOVE:
            return Drag({ LoWordSigned(m.LParam), HiWordSigned(m.LParam) });
        case WM_LBUTTONUP:
            return ButtonUp();
        case WM_SIZE:
            FitMonths();
            return;
        default:
            break;
        }
        if (m.Msg >= MCM_FIRST && m.Msg <= MCM_SETMONTHDELTA)
            return Calendar(m);
        TBridge<QWidget>::NativeDefault(m);
    }

protected:
    void resizeEvent(QResizeEvent *e) override
    {
        TBridge<QWidget>::resizeEvent(e);
        FitMonths();
    }

private:
    // ---- Geometry

    struct Layout {
        int cellW, cellH, weekW, titleH, namesH, monthW, monthH, todayH;
        int columns, rows, left, top;
    };

    uint32_t Style() const { return owner_->WindowStyle(); }
    bool Multi() const { return Style() & MCS_MULTISELECT; }

    Layout Measure() const
    {
        const QFontMetrics fm(font());
        Layout l {};
        int widest = fm.horizontalAdvance(QStringLiteral("00"));
        for (const std::string &name : FormatSettings.ShortDayNames)
            widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(FirstChars(name, 2))));
        l.cellW = widest + 8;
        l.cellH = fm.height() + 3;
        l.weekW = Style() & MCS_WEEKNUMBERS ? l.cellW : 0;
        l.titleH = fm.height() * 2;
        l.namesH = l.cellH + 3;
        l.monthW = l.weekW + 7 * l.cellW + 12;
        l.monthH = l.titleH + l.namesH + 6 * l.cellH + 6;
        l.todayH = Style() & MCS_NOTODAY ? 0 : l.cellH + 4;
        l.columns = std::max(1, width() / l.monthW);
        l.rows = std::max(1, (height() - l.todayH) / l.monthH);
        while (l.columns * l.rows > 12)
            l.rows > 1 ? --l.rows : --l.columns;
        l.left = std::max(0, (width() - l.columns * l.monthW) / 2);
        l.top = std::max(0, (height() - l.todayH - l.rows * l.monthH) / 2);
        return l;
    }

    int VisibleMonths() const
    {
        const Layout l = Measure();
        return l.columns * l.rows;
    }

    QRect MonthRect(const Layout &l, int block) const
    {
        return { l.left + (block % l.columns) * l.monthW, l.top + (block / l.columns) * l.monthH, l.monthW, l.monthH };
    }

    // The first day shown in a month's block: on or before the 1st.
    Day GridStart(int monthIndex) const
    {
        const Day first = FirstDayOf(monthIndex);
        int back = (MondayBased(first) - firstDay_ + 7) % 7;
        if (back == 0)
            back = 7; // the previous month always shows a few days
        return first - back;
    }

    // Which day, if any, a block shows in a cell; trailing days only at the
    // outer edges of the whole calendar.
    bool CellDay(int block, int row, int column, Day &day, uint32_t &trail) const
    {
        const int month = firstMonth_ + block;
        day = GridStart(month) + row * 7 + column;
        trail = 0;
        const int dayMonth = MonthIndexOf(day);
        if (dayMonth < month) {
            if (block != 0)
                return false;
            trail = MCHT_PREV;
        } else if (dayMonth > month) {
            if (block != VisibleMonths() - 1)
                return false;
            trail = MCHT_NEXT;
        }
        return true;
    }

    QRect TitleTextRect(const Layout &l, int block, bool year) const
    {
        const QFontMetrics fm(TitleFont());
        const int month = firstMonth_ + block;
        const QString monthText = QString::fromStdString(FormatSettings.LongMonthNames[static_cast<size_t>(MonthOf(month) - 1)]);
        const QString yearText = QString::number(YearOf(month));
        const int mw = fm.horizontalAdvance(monthText), yw = fm.horizontalAdvance(yearText), gap = fm.horizontalAdvance(' ');
        const QRect r = MonthRect(l, block);
        const int x = r.left() + (r.width() - mw - gap - yw) / 2;
        const int y = r.top() + 2, h = l.titleH - 4;
        return year ? QRect(x + mw + gap, y, yw, h) : QRect(x, y, mw, h);
    }

    QFont TitleFont() const
    {
        QFont f = font();
        f.setBold(true);
        return f;
    }

    uint32_t HitTest(TPoint p, SYSTEMTIME &st) const
    {
        const Layout l = Measure();
        st = {};
        const int blocks = l.columns * l.rows;
        if (l.todayH && p.Y >= height() - l.todayH && p.Y < height())
            return MCHT_TODAYLINK;
        for (int block = 0; block < blocks; ++block) {
            const QRect r = MonthRect(l, block);
            if (!r.contains(p.X, p.Y))
                continue;
            const int month = firstMonth_ + block;
            const int x = p.X - r.left(), y = p.Y - r.top();
            if (y < l.titleH) {
                st.wYear = static_cast<uint16_t>(YearOf(month));
                st.wMonth = static_cast<uint16_t>(MonthOf(month));
                if (block == 0 && x < 24)
                    return MCHT_TITLEBTNPREV;
                if (block == l.columns - 1 && x >= r.width() - 24)
                    return MCHT_TITLEBTNNEXT;
                if (TitleTextRect(l, block, false).contains(p.X, p.Y))
                    return MCHT_TITLEMONTH;
                if (TitleTextRect(l, block, true).contains(p.X, p.Y))
                    return MCHT_TITLEYEAR;
                return MCHT_TITLEBK;
            }
            const int gridLeft = 6 + l.weekW;
            if (y < l.titleH + l.namesH)
                return x >= gridLeft ? MCHT_CALENDARDAY : MCHT_CALENDARBK;
            const int row = (y - l.titleH - l.namesH) / l.cellH;
            if (row >= 6)
                return MCHT_CALENDARBK;
            if (x < gridLeft) {
                if (l.weekW && x >= 6) {
                    st = SystemTimeOf(GridStart(month) + row * 7);
                    return MCHT_CALENDARWEEKNUM;
                }
                return MCHT_CALENDARBK;
            }
            const int column = (x - gridLeft) / l.cellW;
            Day day;
            uint32_t trail;
            if (column >= 7 || !CellDay(block, row, column, day, trail))
                return MCHT_CALENDARBK;
            st = SystemTimeOf(day);
            return MCHT_CALENDARDATE | trail;
        }
        return MCHT_NOWHERE;
    }

    // ---- Selection and notifications

    bool InRange(Day day) const
    {
        return !((rangeFlags_ & GDTR_MIN) && day < rangeMin_) && !((rangeFlags_ & GDTR_MAX) && day > rangeMax_);
    }

    void EnsureVisible(Day day)
    {
        const int month = MonthIndexOf(day), count = VisibleMonths();
        if (month < firstMonth_)
            Scroll(month - firstMonth_);
        else if (month >= firstMonth_ + count)
            Scroll(month - (firstMonth_ + count - 1));
    }

    void Scroll(int months)
    {
        if (months == 0)
            return;
        firstMonth_ = std::clamp(firstMonth_ + months, MonthIndex(1753, 1), MonthIndex(9999, 12) - VisibleMonths() + 1);
        dayStateWanted_ = true;
        update();
    }

    void FitMonths()
    {
        // The selection stays in view when the number of months changes.
        EnsureVisible(Multi() ? selStart_ : curSel_);
        dayStateWanted_ = true;
        update();
    }

    void Notify(int32_t code, NMHDR &header)
    {
        header.hwndFrom = owner_->Handle();
        header.code = code;
        owner_->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }

    void NotifySelection(int32_t code)
    {
        NMSELCHANGE nm;
        nm.stSelStart = SystemTimeOf(Multi() ? selStart_ : curSel_);
        nm.stSelEnd = SystemTimeOf(Multi() ? selEnd_ : curSel_);
        Notify(code, nm.nmhdr);
    }

    // Asks the control for the bold days of every month that shows days.
    void RequestDayState()
    {
        dayStateWanted_ = false;
        if (!(Style() & MCS_DAYSTATE))
            return;
        NMDAYSTATE nm;
        nm.stStart = SystemTimeOf(FirstDayOf(firstMonth_ - 1));
        nm.cDayState = VisibleMonths() + 2;
        std::vector<MONTHDAYSTATE> none(static_cast<size_t>(nm.cDayState), 0);
        nm.prgDayState = none.data();
        Notify(MCN_GETDAYSTATE, nm.nmhdr);
        dayStateStart_ = firstMonth_ - 1;
        dayStates_.assign(nm.prgDayState, nm.prgDayState + nm.cDayState);
    }

    bool Bold(Day day) const
    {
        const int offset = MonthIndexOf(day) - dayStateStart_;
        if (offset < 0 || offset >= static_cast<int>(dayStates_.size()))
            return false;
        uint16_t y, m, d;
        DecodeDate(day, y, m, d);
        return dayStates_[static_cast<size_t>(offset)] & (1u << (d - 1));
    }

    void Select(Day day, bool extend)
    {
        if (!InRange(day))
            return;
        if (!Multi()) {
            if (day == curSel_)
                return;
            curSel_ = day;
        } else {
            Day start = extend ? std::min(anchor_, day) : day, end = extend ? std::max(anchor_, day) : day;
            if (end - start + 1 > maxSelCount_) {
                if (day < anchor_)
                    start = end - maxSelCount_ + 1;
                else
                    end = start + maxSelCount_ - 1;
            }
            if (start == selStart_ && end == selEnd_)
                return;
            selStart_ = start, selEnd_ = end;
        }
        EnsureVisible(day);
        update();
        NotifySelection(MCN_SELCHANGE);
    }

    void ButtonDown(TPoint p)
    {
        SYSTEMTIME st;
        const uint32_t hit = HitTest(p, st);
        Day day;
        if (hit == MCHT_TITLEBTNPREV || hit == MCHT_TITLEBTNNEXT) {
            Scroll(hit == MCHT_TITLEBTNNEXT ? Delta() : -Delta());
            if (dayStateWanted_)
                RequestDayState();
        } else if (hit == MCHT_TODAYLINK) {
            anchor_ = today_;
            Select(today_, false);
            NotifySelection(MCN_SELECT);
        } else if ((hit & MCHT_CALENDARDATE) == MCHT_CALENDARDATE && (hit & 0xFFFF) == 1 && DayOf(st, day)) {
            anchor_ = day;
            dragging_ = Multi();
            Select(day, false);
            if (!dragging_)
                NotifySelection(MCN_SELECT);
        }
    }

    void Drag(TPoint p)
    {
        SYSTEMTIME st;
        Day day;
        if (dragging_ && (HitTest(p, st) & 0xFFFF00FF) == MCHT_CALENDARDATE && DayOf(st, day))
            Select(day, true);
    }

    void ButtonUp()
    {
        if (std::exchange(dragging_, false))
            NotifySelection(MCN_SELECT);
    }

    int Delta() const { return monthDelta_ > 0 ? monthDelta_ : VisibleMonths(); }

    // ---- Messages

    void Calendar(TMessage &m)
    {
        auto *st = reinterpret_cast<SYSTEMTIME *>(m.LParam);
        m.Result = 0;
        Day day = 0, other = 0;
        switch (m.Msg) {
        case MCM_GETCURSEL:
            if (!Multi() && st)
                *st = SystemTimeOf(curSel_), m.Result = 1;
            return;
        case MCM_SETCURSEL:
            if (Multi() || !st || !DayOf(*st, day) || !InRange(day))
                return;
            curSel_ = day;
            EnsureVisible(day);
            update();
            m.Result = 1;
            return;
        case MCM_GETMAXSELCOUNT:
            m.Result = maxSelCount_;
            return;
        case MCM_SETMAXSELCOUNT:
            if (!Multi() || m.WParam < 1)
                return;
            maxSelCount_ = static_cast<int>(m.WParam);
            m.Result = 1;
            return;
        case MCM_GETSELRANGE:
            if (Multi() && st)
                st[0] = SystemTimeOf(selStart_), st[1] = SystemTimeOf(selEnd_), m.Result = 1;
            return;
        case MCM_SETSELRANGE:
            if (!Multi() || !st || !DayOf(st[0], day) || !DayOf(st[1], other))
                return;
            if (other < day)
                std::swap(day, other);
            if (other - day + 1 > maxSelCount_ || !InRange(day) || !InRange(other))
                return;
            selStart_ = day, selEnd_ = other, anchor_ = day;
            EnsureVisible(day);
            update();
            m.Result = 1;
            return;
        case MCM_GETMONTHRANGE: {
            const int count = VisibleMonths();
            if (m.WParam == GMR_DAYSTATE) {
                if (st)
                    st[0] = SystemTimeOf(GridStart(firstMonth_)),
                    st[1] = SystemTimeOf(GridStart(firstMonth_ + count - 1) + 41);
                m.Result = count + 2;
            } else {
                if (st)
                    st[0] = SystemTimeOf(FirstDayOf(firstMonth_)),
                    st[1] = SystemTimeOf(FirstDayOf(firstMonth_ + count - 1) + LengthOf(firstMonth_ + count - 1) - 1);
                m.Result = count;
            }
            return;
        }
        case MCM_SETDAYSTATE: {
            const auto *states = reinterpret_cast<const MONTHDAYSTATE *>(m.LParam);
            if (!states)
                return;
            dayStateStart_ = firstMonth_ - 1;
            dayStates_.assign(states, states + m.WParam);
            update();
            m.Result = 1;
            return;
        }
        case MCM_GETMINREQRECT: {
            const Layout l = Measure();
            if (auto *rect = reinterpret_cast<TRect *>(m.LParam)) {
                *rect = TRect { 0, 0, l.monthW, l.monthH + l.todayH };
                m.Result = 1;
            }
            return;
        }
        case MCM_SETCOLOR:
            if (m.WParam > MCSC_TRAILINGTEXT)
                return void(m.Result = -1);
            m.Result = static_cast<LRESULT>(std::exchange(colors_[m.WParam], static_cast<TColor>(m.LParam)));
            update();
            return;
        case MCM_GETCOLOR:
            m.Result = m.WParam <= MCSC_TRAILINGTEXT ? static_cast<LRESULT>(colors_[m.WParam]) : -1;
            return;
        case MCM_SETTODAY:
            today_ = st && DayOf(*st, day) ? day : static_cast<Day>(::Date());
            update();
            return;
        case MCM_GETTODAY:
            if (st)
                *st = SystemTimeOf(today_), m.Result = 1;
            return;
        case MCM_HITTEST:
            if (auto *info = reinterpret_cast<MCHITTESTINFO *>(m.LParam)) {
                info->uHit = HitTest(info->pt, info->st);
                m.Result = static_cast<LRESULT>(info->uHit);
            }
            return;
        case MCM_SETFIRSTDAYOFWEEK:
            m.Result = firstDay_;
            firstDay_ = static_cast<int>(std::clamp<LPARAM>(m.LParam, 0, 6));
            update();
            return;
        case MCM_GETFIRSTDAYOFWEEK:
            m.Result = firstDay_;
            return;
        case MCM_GETRANGE:
            if (st) {
                st[0] = rangeFlags_ & GDTR_MIN ? SystemTimeOf(rangeMin_) : SYSTEMTIME {};
                st[1] = rangeFlags_ & GDTR_MAX ? SystemTimeOf(rangeMax_) : SYSTEMTIME {};
            }
            m.Result = static_cast<LRESULT>(rangeFlags_);
            return;
        case MCM_SETRANGE:
            if (!st)
                return;
            rangeFlags_ = 0;
            if ((m.WParam & GDTR_MIN) && DayOf(st[0], rangeMin_))
                rangeFlags_ |= GDTR_MIN;
            if ((m.WParam & GDTR_MAX) && DayOf(st[1], rangeMax_))
                rangeFlags_ |= GDTR_MAX;
            if (!InRange(curSel_))
                curSel_ = rangeFlags_ & GDTR_MIN && curSel_ < rangeMin_ ? rangeMin_ : rangeMax_;
            update();
            m.Result = 1;
            return;
        case MCM_GETMONTHDELTA:
            m.Result = Delta();
            return;
        case MCM_SETMONTHDELTA:
            m.Result = monthDelta_;
            monthDelta_ = static_cast<int>(m.WParam);
            return;
        default:
            return;
        }
    }

    // ---- Painting

    void Paint()
    {
        if (dayStateWanted_)
            RequestDayState();
        QPainter p(this);
        const Layout l = Measure();
        const QColor background = ToQColor(colors_[MCSC_BACKGROUND]);
        const QColor text = ToQColor(colors_[MCSC_TEXT]);
        const QColor titleBack = ToQColor(colors_[MCSC_TITLEBK]);
        const QColor titleText = ToQColor(colors_[MCSC_TITLETEXT]);
        const QColor monthBack = ToQColor(colors_[MCSC_MONTHBK]);
        const QColor trailing = ToQColor(colors_[MCSC_TRAILINGTEXT]);
        p.fillRect(rect(), background);
        const QFont normal = font();
        QFont bold = normal;
        bold.setBold(true);
        for (int block = 0; block < l.columns * l.rows; ++block) {
            const QRect r = MonthRect(l, block);
            const int month = firstMonth_ + block;
            p.fillRect(r, monthBack);
            // Title with the month and year, and the scroll buttons at the outer corners.
            const QRect title(r.left() + 2, r.top() + 2, r.width() - 4, l.titleH - 4);
            p.fillRect(title, titleBack);
            p.setPen(titleText);
            p.setFont(TitleFont());
            p.drawText(TitleTextRect(l, block, false), Qt::AlignCenter,
                QString::fromStdString(FormatSettings.LongMonthNames[static_cast<size_t>(MonthOf(month) - 1)]));
            p.drawText(TitleTextRect(l, block, true), Qt::AlignCenter, QString::number(YearOf(month)));
            p.setRenderHint(QPainter::Antialiasing, true);
            const int arrowY = title.center().y();
            if (block == 0)
                DrawArrow(p, QPoint(title.left() + 10, arrowY), -1, titleText);
            if (block == l.columns - 1)
                DrawArrow(p, QPoint(title.right() - 10, arrowY), 1, titleText);
            p.setRenderHint(QPainter::Antialiasing, false);
            // Day names, and a rule below them.
            const int gridLeft = r.left() + 6 + l.weekW;
            const int namesTop = r.top() + l.titleH;
            p.setFont(normal);
            p.setPen(titleBack);
            for (int column = 0; column < 7; ++column) {
                const size_t sundayBased = static_cast<size_t>((firstDay_ + column + 1) % 7);
                p.drawText(QRect(gridLeft + column * l.cellW, namesTop, l.cellW, l.cellH), Qt::AlignCenter,
                    QString::fromStdString(FirstChars(FormatSettings.ShortDayNames[sundayBased], 2)));
            }
            p.drawLine(gridLeft, namesTop + l.cellH + 1, gridLeft + 7 * l.cellW, namesTop + l.cellH + 1);
            const int daysTop = namesTop + l.namesH;
            if (l.weekW)
                p.drawLine(gridLeft - 2, daysTop, gridLeft - 2, daysTop + 6 * l.cellH);
            for (int row = 0; row < 6; ++row) {
                if (l.weekW) {
                    p.setPen(titleBack);
                    p.setFont(normal);
                    p.drawText(QRect(r.left() + 6, daysTop + row * l.cellH, l.weekW - 4, l.cellH), Qt::AlignCenter,
                        QString::number(WeekNumber(GridStart(month) + row * 7)));
                }
                for (int column = 0; column < 7; ++column) {
                    Day day;
                    uint32_t trail;
                    if (!CellDay(block, row, column, day, trail))
                        continue;
                    const QRect cell(gridLeft + column * l.cellW, daysTop + row * l.cellH, l.cellW, l.cellH);
                    const bool selected = Multi() ? day >= selStart_ && day <= selEnd_ : day == curSel_;
                    if (selected && !trail) {
                        p.fillRect(cell.adjusted(1, 0, -1, 0), titleBack);
                        p.setPen(titleText);
                    } else {
                        p.setPen(trail ? trailing : text);
                    }
                    p.setFont(Bold(day) ? bold : normal);
                    uint16_t y, mo, d;
                    DecodeDate(day, y, mo, d);
                    p.drawText(cell, Qt::AlignCenter, QString::number(d));
                    if (day == today_ && !(Style() & MCS_NOTODAYCIRCLE)) {
                        p.setPen(QPen(QColor(200, 0, 0), 1));
                        p.setRenderHint(QPainter::Antialiasing, true);
                        p.drawRoundedRect(QRectF(cell).adjusted(1.5, 0.5, -1.5, -0.5), 4, 4);
                        p.setRenderHint(QPainter::Antialiasing, false);
                    }
                }
            }
        }
        if (l.todayH) {
            p.setFont(bold);
            p.setPen(text);
            const QRect line(0, height() - l.todayH, width(), l.todayH);
            const QString label = QString::fromStdString(TodayLabel() + " " + DateToStr(today_));
            const QFontMetrics fm(bold);
            const int boxW = Style() & MCS_NOTODAYCIRCLE ? 0 : 22;
            const int x = line.left() + (line.width() - fm.horizontalAdvance(label) - boxW) / 2;
            if (boxW) {
                p.setPen(QPen(QColor(200, 0, 0), 1));
                p.drawRect(x, line.top() + 3, 16, line.height() - 7);
                p.setPen(text);
            }
            p.drawText(QRect(x + boxW, line.top(), width(), line.height()), Qt::AlignLeft | Qt::AlignVCenter, label);
        }
        if (Style() & WS_BORDER) {
            p.setPen(ToQColor(clWindowFrame));
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

    static void DrawArrow(QPainter &p, QPoint centre, int direction, const QColor &color)
    {
        QPainterPath path;
        path.moveTo(centre.x() - 4 * direction, centre.y() - 5);
        path.lineTo(centre.x() + 4 * direction, centre.y());
        path.lineTo(centre.x() - 4 * direction, centre.y() + 5);
        path.closeSubpath();
        p.fillPath(path, color);
    }

    TWinControl *owner_;
    Day today_, curSel_, selStart_, selEnd_, anchor_ = 0;
    int firstMonth_;
    int maxSelCount_ = 7;
    int firstDay_;
    int monthDelta_ = 0;
    uint32_t rangeFlags_ = 0;
    Day rangeMin_ = 0, rangeMax_ = 0;
    std::array<TColor, 6> colors_;
    bool dragging_ = false;
    bool dayStateWanted_ = true;
    int dayStateStart_ = 0;
    std::vector<MONTHDAYSTATE> dayStates_;
};

void MakeMonthCalendar(TWinControl *control, const TCreateParams &params)
{
    const bool dropDown = params.WndParent == GetDesktopWindow();
    auto *widget = new TMonthCalWidget(control, dropDown ? nullptr : TQtBoundary::ParentWidgetFor(control));
    if (dropDown) {
        // A window of its own that never takes the focus from the control it drops from.
        widget->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        widget->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    widget->setAutoFillBackground(false);
    TQtBoundary::SetWidget(control, widget);
}

} // namespace

void CheckCommonControl(uint32_t classes)
{
    if (classes & ~ICC_DATE_CLASSES)
        throw EComponentError("This version of the common controls does not support the requested classes");
    if (classes & ICC_DATE_CLASSES)
        RegisterWindowClass("SysMonthCal32", &MakeMonthCalendar);
}

// ---- Tab control ------------------------------------------------------------------

const TMetaClass TTabControl::Class { "TTabControl", &TWinControl::Class };

// clang-format off
namespace {

using PT = TPublish<TTabControl>;
const TClassRegistrar<TTabControl> tabControlRegistrar({
    //            name          getter                  setter                   default
    PT::Strings  ("Tabs",       &TTabControl::Tabs),
    PT::Integer  ("TabIndex",   &TTabControl::TabIndex, &TTabControl::SetTabIndex, -1),
    PT::Event    ("OnChange",   &TTabControl::OnChange),
    PT::Event    ("OnChanging", &TTabControl::OnChanging),
});

} // namespace
// clang-format on

TTabControl::TTabControl(TComponent *owner)
    : TWinControl(owner)
    , tabs_(std::make_unique<TStringList>())
{
    SetBounds(0, 0, 289, 193);
    SetTabStop(true);
    tabs_->OnChange = [this](TObject *) { TabsChanged(); };
}

TTabControl::~TTabControl() = default;

TStrings *TTabControl::Tabs() const
{
    return tabs_.get();
}

void TTabControl::SetTabs(TStrings *tabs)
{
    tabs_->Assign(*tabs);
}

void TTabControl::SetTabIndex(int index)
{
    if (index < -1 || index >= tabs_->Count())
        index = -1;
    tabIndex_ = index;
    ApplyTabs();
}

void TTabControl::TabsChanged()
{
    if (tabIndex_ >= tabs_->Count())
        tabIndex_ = tabs_->Count() - 1;
    if (tabIndex_ < 0 && tabs_->Count() > 0)
        tabIndex_ = 0;
    ApplyTabs();
}

bool TTabControl::CanChange()
{
    bool allow = true;
    OnChanging(this, allow);
    return allow;
}

void TTabControl::Change()
{
    OnChange(this);
}

void TTabControl::UserChose(int index)
{
    if (applying_ || index == tabIndex_)
        return;
    if (!CanChange()) {
        ApplyTabs();
        return;
    }
    tabIndex_ = index;
    Change();
}

void TTabControl::CreateWindowHandle(const TCreateParams &)
{
    auto *bar = new TBridge<QTabBar>(this, TQtBoundary::ParentWidgetFor(this));
    TQtBoundary::SetWidget(this, bar);
    ConnectGuarded(*bar, bar, &QTabBar::currentChanged, [this](int index) { UserChose(index); });
    ApplyTabs();
}

void TTabControl::ApplyTabs()
{
    auto *bar = qobject_cast<QTabBar *>(TQtBoundary::Widget(this));
    if (!bar)
        return;
    applying_ = true;
    QSignalBlocker blocker(bar);
    while (bar->count() > tabs_->Count())
        bar->removeTab(bar->count() - 1);
    for (int i = 0; i < tabs_->Count(); ++i) {
        QString text = QString::fromStdString(tabs_->Strings(i));
        if (i < bar->count())
            bar->setTabText(i, text);
        else
            bar->addTab(text);
    }
    bar->setCurrentIndex(tabIndex_);
    applying_ = false;
}

// ---- Progress bar ------------------------------------------------------------------

const TMetaClass TProgressBar::Class { "TProgressBar", &TWinControl::Class };

// clang-format off
namespace {

using PP = TPublish<TProgressBar>;
const TClassRegistrar<TProgressBar> progressBarRegistrar({
    //            name          getter                    setter                      default
    PP::Integer  ("Min",        &TProgressBar::Min,       &TProgressBar::SetMin,      0),
    PP::Integer  ("Max",        &TProgressBar::Max,       &TProgressBar::SetMax,      100),
    PP::Integer  ("Position",   &TProgressBar::Position,  &TProgressBar::SetPosition, 0),
    PP::Integer  ("Step",       &TProgressBar::Step,      &TProgressBar::SetStep,     10),
});

} // namespace
// clang-format on

TProgressBar::TProgressBar(TComponent *owner)
    : TWinControl(owner)
{
    SetBounds(0, 0, 150, 16);
}

TProgressBar::~TProgressBar() = default;

void TProgressBar::SetMin(int value)
{
    min_ = value;
    if (max_ < min_)
        max_ = min_;
    position_ = std::clamp(position_, min_, max_);
    ApplyRange();
}

void TProgressBar::SetMax(int value)
{
    max_ = value;
    if (min_ > max_)
        min_ = max_;
    position_ = std::clamp(position_, min_, max_);
    ApplyRange();
}

void TProgressBar::SetPosition(int value)
{
    position_ = std::clamp(value, min_, max_);
    if (auto *bar = qobject_cast<QProgressBar *>(TQtBoundary::Widget(this)))
        bar->setValue(position_);
}

void TProgressBar::StepIt()
{
    const int next = position_ + step_;
    SetPosition(next > max_ ? min_ + (next - max_) : next);
}

void TProgressBar::StepBy(int delta)
{
    SetPosition(position_ + delta);
}

void TProgressBar::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "msctls_progress32";
}

void TProgressBar::CreateWindowHandle(const TCreateParams &)
{
    auto *bar = new TBridge<QProgressBar>(this, TQtBoundary::ParentWidgetFor(this));
    // The native bar shows blocks only, no percentage text.
    bar->setTextVisible(false);
    TQtBoundary::SetWidget(this, bar);
    ApplyRange();
}

void TProgressBar::ApplyRange()
{
    if (auto *bar = qobject_cast<QProgressBar *>(TQtBoundary::Widget(this))) {
        bar->setRange(min_, max_);
        bar->setValue(position_);
    }
}
