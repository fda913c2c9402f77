#include "platform/ui/comctrls.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include <langinfo.h>
#include <locale.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTreeWidget>

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/imglist.h"
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

// "Today:" in the language of the month and day names the calendar draws,
// which the user's regional settings give; their January tells which.
std::string TodayLabel()
{
    static const std::pair<const char *, const char *> words[] = {
        { "enero", "Hoy:" },
        { "janvier", "Aujourd'hui :" },
        { "januar", "Heute:" },
        { "janeiro", "Hoje:" },
        { "gennaio", "Oggi:" },
    };
    const std::string january = AnsiLowerCase(FormatSettings.LongMonthNames[0]);
    for (const auto &[month, word] : words)
        if (january == month)
            return word;
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
    auto *widget = new TMonthCalWidget(control, TQtBoundary::ParentWidgetFor(control, params));
    TQtBoundary::MakeDropDown(widget, params);
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

// ---- Page control -------------------------------------------------------------------

const TMetaClass TTabSheet::Class { "TTabSheet", &TWinControl::Class };
const TMetaClass TPageControl::Class { "TPageControl", &TWinControl::Class };

// clang-format off
namespace {

using PS = TPublish<TTabSheet>;
const TClassRegistrar<TTabSheet> tabSheetRegistrar({
    //            name          getter                 setter                   default
    PS::String   ("Caption",    &TTabSheet::Caption,    &TTabSheet::SetCaption,    ""),
    PS::Component("PageControl", &TTabSheet::PageControl, &TTabSheet::SetPageControl, false),
    PS::Boolean  ("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible, true),
});
using PP = TPublish<TPageControl>;
const TClassRegistrar<TPageControl> pageControlRegistrar({
    PP::Component("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage),
    PP::Event    ("OnChange",   &TPageControl::OnChange),
    PP::Event    ("OnChanging", &TPageControl::OnChanging),
});

// The page control's window: the tabs on top and the frame of the page area
// below them, where the sheets lie.
class TPageHost : public QWidget
{
public:
    using QWidget::QWidget;
    QTabBar *bar = nullptr;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QStyleOptionTabWidgetFrame option;
        option.initFrom(this);
        const int top = bar ? bar->height() : 0;
        option.rect = QRect(0, top - 1, width(), height() - top + 1);
        option.shape = QTabBar::RoundedNorth;
        option.tabBarSize = bar ? bar->size() : QSize();
        style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
    }
};

} // namespace
// clang-format on

TTabSheet::TTabSheet(TComponent *owner)
    : TWinControl(owner)
{
    SetAlign(alNone);
    SetVisible(false);
}

TTabSheet::~TTabSheet()
{
    SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl *control)
{
    if (control == pageControl_)
        return;
    if (pageControl_)
        pageControl_->RemovePage(this);
    pageControl_ = control;
    if (control) {
        control->InsertPage(this);
        if (Parent() != control)
            TWinControl::SetParent(control);
    }
}

void TTabSheet::SetParent(TWinControl *parent)
{
    TWinControl::SetParent(parent);
    SetPageControl(dynamic_cast<TPageControl *>(parent));
}

int TTabSheet::PageIndex() const
{
    if (!pageControl_)
        return -1;
    const auto &pages = pageControl_->pages_;
    return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetTabVisible(bool value)
{
    if (value == tabVisible_)
        return;
    tabVisible_ = value;
    if (pageControl_)
        pageControl_->TabsChanged();
}

int TTabSheet::TabIndex() const
{
    if (!pageControl_ || !tabVisible_)
        return -1;
    int index = 0;
    for (TTabSheet *page : pageControl_->pages_) {
        if (page == this)
            return index;
        if (page->tabVisible_)
            ++index;
    }
    return -1;
}

void TTabSheet::CMTextChanged(TMessage &message)
{
    TWinControl::CMTextChanged(message);
    if (pageControl_)
        pageControl_->TabsChanged();
}

TPageControl::TPageControl(TComponent *owner)
    : TWinControl(owner)
{
    SetBounds(0, 0, 289, 193);
    SetTabStop(true);
}

TPageControl::~TPageControl()
{
    // The sheets may outlive the control (another owner): they forget it.
    while (!pages_.empty())
        pages_.back()->SetPageControl(nullptr);
}

int TPageControl::PageCount() const
{
    return static_cast<int>(pages_.size());
}

TTabSheet *TPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return pages_[static_cast<size_t>(index)];
}

int TPageControl::ActivePageIndex() const
{
    return activePage_ ? activePage_->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int index)
{
    SetActivePage(index >= 0 && index < PageCount() ? Pages(index) : nullptr);
}

void TPageControl::SetActivePage(TTabSheet *page)
{
    if (page && page->PageControl() != this)
        return;
    activePage_ = page;
    ShowActivePage();
}

TTabSheet *TPageControl::FindNextPage(TTabSheet *current, bool goForward, bool checkTabVisible) const
{
    const int count = PageCount();
    if (count == 0)
        return nullptr;
    int start = current ? current->PageIndex() : -1;
    if (start < 0)
        start = goForward ? count - 1 : 0;
    int i = start;
    for (int step = 0; step < count; ++step) {
        i = goForward ? (i + 1) % count : (i + count - 1) % count;
        if (!checkTabVisible || pages_[static_cast<size_t>(i)]->TabVisible())
            return pages_[static_cast<size_t>(i)];
    }
    return nullptr;
}

TRect TPageControl::TabRect(int tabIndex) const
{
    auto *host = dynamic_cast<TPageHost *>(TQtBoundary::Widget(this));
    if (!host || !host->bar || tabIndex < 0 || tabIndex >= host->bar->count())
        return {};
    return FromQRect(host->bar->tabRect(tabIndex).translated(host->bar->pos()));
}

bool TPageControl::CanChange()
{
    bool allow = true;
    OnChanging(this, allow);
    return allow;
}

void TPageControl::Change()
{
    OnChange(this);
}

void TPageControl::InsertPage(TTabSheet *page)
{
    if (std::find(pages_.begin(), pages_.end(), page) != pages_.end())
        return;
    pages_.push_back(page);
    TabsChanged();
    if (!activePage_ && !ComponentState().Contains(csLoading))
        SetActivePage(page);
    else
        ShowActivePage();
}

void TPageControl::RemovePage(TTabSheet *page)
{
    auto found = std::find(pages_.begin(), pages_.end(), page);
    if (found == pages_.end())
        return;
    pages_.erase(found);
    if (activePage_ == page) {
        activePage_ = nullptr;
        if (!ComponentState().Contains(csDestroying))
            activePage_ = FindNextPage(nullptr, true, true);
    }
    TabsChanged();
    ShowActivePage();
}

void TPageControl::Loaded()
{
    TWinControl::Loaded();
    if (!activePage_ && !pages_.empty())
        activePage_ = pages_.front();
    TabsChanged();
    ShowActivePage();
}

int TPageControl::TabBarHeight() const
{
    if (auto *host = dynamic_cast<TPageHost *>(TQtBoundary::Widget(this)); host && host->bar)
        return host->bar->height();
    return QFontMetrics(TFontAccess::ToQFont(*Font())).height() + 10;
}

void TPageControl::AdjustClientRect(TRect &rect) const
{
    rect.Top += TabBarHeight();
    InflateRect(rect, -4, -4);
}

void TPageControl::AlignControls(TControl *control, TRect &rect)
{
    if (auto *host = dynamic_cast<TPageHost *>(TQtBoundary::Widget(this)); host && host->bar)
        host->bar->setGeometry(0, 0, Width(), host->bar->sizeHint().height());
    for (TTabSheet *page : pages_)
        page->SetBoundsRect(rect);
    TWinControl::AlignControls(control, rect);
}

void TPageControl::TabsChanged()
{
    auto *host = dynamic_cast<TPageHost *>(TQtBoundary::Widget(this));
    if (!host || !host->bar)
        return;
    applying_ = true;
    QSignalBlocker blocker(host->bar);
    int count = 0;
    for (TTabSheet *page : pages_) {
        if (!page->TabVisible())
            continue;
        QString text = QString::fromStdString(page->Caption());
        if (count < host->bar->count())
            host->bar->setTabText(count, text);
        else
            host->bar->addTab(text);
        ++count;
    }
    while (host->bar->count() > count)
        host->bar->removeTab(host->bar->count() - 1);
    host->bar->setCurrentIndex(activePage_ ? activePage_->TabIndex() : -1);
    host->bar->setGeometry(0, 0, std::max(1, Width()), host->bar->sizeHint().height());
    applying_ = false;
    Realign();
}

void TPageControl::ShowActivePage()
{
    for (TTabSheet *page : pages_)
        if (page != activePage_)
            page->SetVisible(false);
    if (activePage_) {
        activePage_->SetVisible(true);
        activePage_->BringToFront();
    }
    if (auto *host = dynamic_cast<TPageHost *>(TQtBoundary::Widget(this)); host && host->bar) {
        applying_ = true;
        QSignalBlocker blocker(host->bar);
        host->bar->setCurrentIndex(activePage_ ? activePage_->TabIndex() : -1);
        applying_ = false;
    }
    Realign();
}

void TPageControl::UserChose(int tabIndex)
{
    if (applying_)
        return;
    TTabSheet *chosen = nullptr;
    for (TTabSheet *page : pages_)
        if (page->TabIndex() == tabIndex)
            chosen = page;
    if (!chosen || chosen == activePage_)
        return;
    if (!CanChange()) {
        ShowActivePage();
        return;
    }
    activePage_ = chosen;
    ShowActivePage();
    Change();
}

void TPageControl::CreateWindowHandle(const TCreateParams &)
{
    auto *host = new TBridge<TPageHost>(this, TQtBoundary::ParentWidgetFor(this));
    host->bar = new QTabBar(host);
    host->bar->setDrawBase(false);
    host->bar->setExpanding(false);
    host->bar->setFocusPolicy(Qt::TabFocus);
    host->bar->setGeometry(0, 0, std::max(1, Width()), host->bar->sizeHint().height());
    TQtBoundary::SetWidget(this, host);
    ConnectGuarded(*host, host->bar, &QTabBar::currentChanged, [this](int index) { UserChose(index); });
    TabsChanged();
}

// ---- Tree view ----------------------------------------------------------------------

const TMetaClass TCustomTreeView::Class { "TCustomTreeView", &TWinControl::Class };
const TMetaClass TTreeView::Class { "TTreeView", &TCustomTreeView::Class };

// clang-format off
namespace {

const TEnumNames ViewBorderStyleNames = {"bsNone", "bsSingle"};
using PV = TPublish<TCustomTreeView>;
const TClassRegistrar<TCustomTreeView> customTreeViewRegistrar({});
const TClassRegistrar<TTreeView> treeViewRegistrar({
    //           name             getter                            setter                               default
    PV::Enum    ("BorderStyle",   ViewBorderStyleNames,              &TCustomTreeView::BorderStyle,       &TCustomTreeView::SetBorderStyle,   bsSingle),
    PV::Boolean ("CheckBoxes",    &TCustomTreeView::CheckBoxes,     &TCustomTreeView::SetCheckBoxes,     false),
    PV::Boolean ("HideSelection", &TCustomTreeView::HideSelection,  &TCustomTreeView::SetHideSelection,  true),
    PV::Component("Images",       &TCustomTreeView::Images,         &TCustomTreeView::SetImages),
    PV::Integer ("Indent",        &TCustomTreeView::Indent,         &TCustomTreeView::SetIndent,         19),
    PV::Boolean ("ReadOnly",      &TCustomTreeView::ReadOnly,       &TCustomTreeView::SetReadOnly,       false),
    PV::Boolean ("ShowButtons",   &TCustomTreeView::ShowButtons,    &TCustomTreeView::SetShowButtons,    true),
    PV::Boolean ("ShowLines",     &TCustomTreeView::ShowLines,      &TCustomTreeView::SetShowLines,      true),
    PV::Boolean ("ShowRoot",      &TCustomTreeView::ShowRoot,       &TCustomTreeView::SetShowRoot,       true),
    PV::Event   ("OnChange",      &TCustomTreeView::OnChange),
    PV::Event   ("OnCollapsed",   &TCustomTreeView::OnCollapsed),
    PV::Event   ("OnExpanded",    &TCustomTreeView::OnExpanded),
});

} // namespace
// clang-format on

namespace {

TTreeNode *NodeOf(const QTreeWidgetItem *item)
{
    return item ? static_cast<TTreeNode *>(item->data(0, Qt::UserRole).value<void *>()) : nullptr;
}

Qt::Alignment CellAlignment(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case taCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// A check box whose node does not allow the choice is drawn disabled, the
// rest of its row as it is.
class TTreeDelegate : public QStyledItemDelegate
{
public:
    TTreeDelegate(TCustomTreeView *view, QObject *parent)
        : QStyledItemDelegate(parent)
        , view_(view)
    {
    }
    std::function<TTreeNode *(const QModelIndex &)> nodeAt;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!view_->CheckBoxes() || index.column() != view_->CheckColumn())
            return;
        if (TTreeNode *node = nodeAt ? nodeAt(index) : nullptr; node && !node->CheckEnabled())
            option->state &= ~QStyle::State_Enabled;
    }

private:
    TCustomTreeView *view_;
};

} // namespace

struct TTreeNode::Impl {
    QTreeWidgetItem *item = nullptr; // owned while the node lives
    bool expanded = false;
    bool checked = false;
};

struct TCustomTreeView::TreeImpl {
    QTreeWidget *widget = nullptr;
    int applying = 0; // our own changes to the widget: no events
};

// ---- TTreeNode

TTreeNode::TTreeNode(TTreeNodes *owner, TTreeNode *parent)
    : n(std::make_unique<Impl>())
    , owner_(owner)
    , parent_(parent)
{
    n->item = new QTreeWidgetItem();
    n->item->setData(0, Qt::UserRole, QVariant::fromValue<void *>(this));
    n->item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

TTreeNode::~TTreeNode()
{
    while (!children_.empty()) {
        TTreeNode *child = children_.back();
        children_.pop_back();
        delete child;
    }
    // Leaves its parent item or the widget on its own.
    delete n->item;
}

TCustomTreeView *TTreeNode::TreeView() const
{
    return owner_->Owner();
}

std::string TTreeNode::Text() const
{
    return ColumnText(TreeView()->TreeColumn());
}

void TTreeNode::SetText(const std::string &text)
{
    SetColumnText(TreeView()->TreeColumn(), text);
}

std::string TTreeNode::ColumnText(int column) const
{
    return n->item->text(column).toStdString();
}

void TTreeNode::SetColumnText(int column, const std::string &text)
{
    if (column < 0)
        return;
    TCustomTreeView *view = TreeView();
    ++view->t->applying;
    n->item->setText(column, QString::fromStdString(text));
    if (column < view->ColumnCount())
        n->item->setTextAlignment(column, CellAlignment(view->Column(column).Alignment));
    --view->t->applying;
}

void TTreeNode::SetImageIndex(int index)
{
    imageIndex_ = index;
    TreeView()->ApplyImages();
}

bool TTreeNode::Checked() const
{
    return n->checked;
}

void TTreeNode::SetChecked(bool checked)
{
    n->checked = checked;
    TCustomTreeView *view = TreeView();
    if (!view->CheckBoxes())
        return;
    ++view->t->applying;
    n->item->setCheckState(view->CheckColumn(), checked ? Qt::Checked : Qt::Unchecked);
    --view->t->applying;
}

void TTreeNode::SetCheckEnabled(bool enabled)
{
    checkEnabled_ = enabled;
    TCustomTreeView *view = TreeView();
    ++view->t->applying;
    Qt::ItemFlags flags = n->item->flags();
    if (enabled && view->CheckBoxes())
        flags |= Qt::ItemIsUserCheckable;
    else
        flags &= ~Qt::ItemIsUserCheckable;
    n->item->setFlags(flags);
    --view->t->applying;
}

TTreeNode *TTreeNode::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return children_[static_cast<size_t>(index)];
}

int TTreeNode::Index() const
{
    const std::vector<TTreeNode *> &siblings = parent_ ? parent_->children_ : owner_->roots_;
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

int TTreeNode::AbsoluteIndex() const
{
    int index = 0;
    for (TTreeNode *node = owner_->GetFirstNode(); node; node = node->GetNext(), ++index)
        if (node == this)
            return index;
    return -1;
}

int TTreeNode::Level() const
{
    int level = 0;
    for (TTreeNode *p = parent_; p; p = p->parent_)
        ++level;
    return level;
}

TTreeNode *TTreeNode::GetFirstChild() const
{
    return children_.empty() ? nullptr : children_.front();
}

TTreeNode *TTreeNode::GetNextSibling() const
{
    const std::vector<TTreeNode *> &siblings = parent_ ? parent_->children_ : owner_->roots_;
    const size_t index = static_cast<size_t>(Index());
    return index + 1 < siblings.size() ? siblings[index + 1] : nullptr;
}

TTreeNode *TTreeNode::GetNext() const
{
    if (!children_.empty())
        return children_.front();
    for (const TTreeNode *node = this; node; node = node->parent_)
        if (TTreeNode *sibling = node->GetNextSibling())
            return sibling;
    return nullptr;
}

bool TTreeNode::Expanded() const
{
    return n->item->treeWidget() ? n->item->isExpanded() : n->expanded;
}

void TTreeNode::SetExpanded(bool expanded)
{
    n->expanded = expanded;
    if (n->item->treeWidget())
        n->item->setExpanded(expanded);
}

void TTreeNode::Expand(bool recurse)
{
    SetExpanded(true);
    if (recurse)
        for (TTreeNode *child : children_)
            child->Expand(true);
}

void TTreeNode::Collapse(bool recurse)
{
    SetExpanded(false);
    if (recurse)
        for (TTreeNode *child : children_)
            child->Collapse(true);
}

bool TTreeNode::Selected() const
{
    return TreeView()->Selected() == this;
}

void TTreeNode::SetSelected(bool selected)
{
    if (selected)
        TreeView()->SetSelected(this);
    else if (Selected())
        TreeView()->SetSelected(nullptr);
}

bool TTreeNode::IsVisible() const
{
    for (TTreeNode *p = parent_; p; p = p->parent_)
        if (!p->Expanded())
            return false;
    return true;
}

TRect TTreeNode::DisplayRect(bool textOnly) const
{
    TCustomTreeView *view = TreeView();
    view->HandleNeeded();
    QTreeWidget *widget = view->t->widget;
    if (!widget || !IsVisible())
        return {};
    QRect rect = widget->visualItemRect(n->item);
    if (textOnly)
        rect = widget->visualRect(widget->indexFromItem(n->item, view->TreeColumn()));
    return FromQRect(rect);
}

void TTreeNode::MakeVisible()
{
    for (TTreeNode *p = parent_; p; p = p->parent_)
        p->SetExpanded(true);
    if (QTreeWidget *widget = TreeView()->t->widget)
        widget->scrollToItem(n->item);
}

void TTreeNode::Delete()
{
    owner_->Delete(this);
}

// ---- TTreeNodes

TTreeNodes::TTreeNodes(TCustomTreeView *owner)
    : owner_(owner)
{
}

TTreeNodes::~TTreeNodes()
{
    Clear();
}

int TTreeNodes::Count() const
{
    int count = 0;
    for (TTreeNode *node = GetFirstNode(); node; node = node->GetNext())
        ++count;
    return count;
}

TTreeNode *TTreeNodes::Item(int absoluteIndex) const
{
    int index = 0;
    for (TTreeNode *node = GetFirstNode(); node; node = node->GetNext(), ++index)
        if (index == absoluteIndex)
            return node;
    throw EListError("List index out of bounds (" + std::to_string(absoluteIndex) + ")");
}

TTreeNode *TTreeNodes::GetFirstNode() const
{
    return roots_.empty() ? nullptr : roots_.front();
}

TTreeNode *TTreeNodes::Insert(TTreeNode *parent, const std::string &text, void *data)
{
    auto *node = new TTreeNode(this, parent);
    node->SetData(data);
    if (parent) {
        parent->children_.push_back(node);
        parent->n->item->addChild(node->n->item);
    } else {
        roots_.push_back(node);
    }
    owner_->NodeAdded(node);
    node->SetText(text);
    return node;
}

TTreeNode *TTreeNodes::Add(TTreeNode *sibling, const std::string &text)
{
    return Insert(sibling ? sibling->Parent() : nullptr, text, nullptr);
}

TTreeNode *TTreeNodes::AddObject(TTreeNode *sibling, const std::string &text, void *data)
{
    return Insert(sibling ? sibling->Parent() : nullptr, text, data);
}

TTreeNode *TTreeNodes::AddChild(TTreeNode *parent, const std::string &text)
{
    return Insert(parent, text, nullptr);
}

TTreeNode *TTreeNodes::AddChildObject(TTreeNode *parent, const std::string &text, void *data)
{
    return Insert(parent, text, data);
}

void TTreeNodes::Delete(TTreeNode *node)
{
    if (!node || node->Owner() != this)
        return;
    owner_->NodeRemoving(node);
    std::vector<TTreeNode *> &siblings = node->Parent() ? node->Parent()->children_ : roots_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    ++owner_->t->applying;
    delete node;
    --owner_->t->applying;
}

void TTreeNodes::Clear()
{
    // Last first, each slot emptied before its node goes, as the node's
    // deletion may ask the tree about its siblings.
    while (!roots_.empty())
        Delete(roots_.back());
}

void TTreeNodes::BeginUpdate()
{
    if (updating_++ == 0)
        if (QTreeWidget *widget = owner_->t->widget)
            widget->setUpdatesEnabled(false);
}

void TTreeNodes::EndUpdate()
{
    if (updating_ > 0 && --updating_ == 0)
        if (QTreeWidget *widget = owner_->t->widget)
            widget->setUpdatesEnabled(true);
}

// ---- TCustomTreeView

TCustomTreeView::TCustomTreeView(TComponent *owner)
    : TWinControl(owner)
    , items_(std::make_unique<TTreeNodes>(this))
    , t(std::make_unique<TreeImpl>())
{
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetColor(clWindow);
    SetParentColor(false);
}

TCustomTreeView::~TCustomTreeView()
{
    // The nodes' items go before the widget, which would delete them too.
    ++t->applying;
    items_->Clear();
    --t->applying;
}

TTreeNode *TCustomTreeView::Selected() const
{
    return selected_;
}

void TCustomTreeView::SetSelected(TTreeNode *node)
{
    if (node && node->Owner() != items_.get())
        return;
    if (node == selected_)
        return;
    selected_ = node;
    if (QTreeWidget *widget = t->widget) {
        ++t->applying;
        widget->setCurrentItem(node ? node->n->item : nullptr);
        if (!node)
            widget->clearSelection();
        --t->applying;
    }
    Change(node);
}

TTreeNode *TCustomTreeView::TopItem() const
{
    QTreeWidget *widget = t->widget;
    return widget ? NodeOf(widget->itemAt(1, 1)) : items_->GetFirstNode();
}

void TCustomTreeView::SetTopItem(TTreeNode *node)
{
    if (QTreeWidget *widget = t->widget; widget && node)
        widget->scrollToItem(node->n->item, QAbstractItemView::PositionAtTop);
}

TTreeNode *TCustomTreeView::GetNodeAt(int x, int y) const
{
    QTreeWidget *widget = t->widget;
    return widget ? NodeOf(widget->itemAt(x, y)) : nullptr;
}

void TCustomTreeView::FullExpand()
{
    for (TTreeNode *node = items_->GetFirstNode(); node; node = node->GetNextSibling())
        node->Expand(true);
}

void TCustomTreeView::FullCollapse()
{
    for (TTreeNode *node = items_->GetFirstNode(); node; node = node->GetNextSibling())
        node->Collapse(true);
}

int TCustomTreeView::VisibleCount() const
{
    QTreeWidget *widget = t->widget;
    TTreeNode *first = items_->GetFirstNode();
    if (!widget || !first)
        return 0;
    const int row = std::max(1, widget->visualItemRect(first->n->item).height());
    return widget->viewport()->height() / row;
}

void TCustomTreeView::SetBorderStyle(TBorderStyle style)
{
    borderStyle_ = style == bsNone ? bsNone : bsSingle;
    if (QTreeWidget *widget = t->widget)
        widget->setFrameShape(borderStyle_ == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

void TCustomTreeView::SetHideSelection(bool value)
{
    hideSelection_ = value;
    if (QTreeWidget *widget = t->widget) {
        // An unfocused tree shows its selection only when it does not hide it.
        QPalette palette = widget->palette();
        const QPalette defaults = widget->style()->standardPalette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
            value ? palette.color(QPalette::Inactive, QPalette::Base) : defaults.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
            value ? palette.color(QPalette::Inactive, QPalette::Text)
                  : defaults.color(QPalette::Active, QPalette::HighlightedText));
        widget->setPalette(palette);
    }
}

void TCustomTreeView::SetShowButtons(bool value)
{
    showButtons_ = value;
    if (QTreeWidget *widget = t->widget)
        widget->setItemsExpandable(value);
}

void TCustomTreeView::SetShowRoot(bool value)
{
    showRoot_ = value;
    if (QTreeWidget *widget = t->widget)
        widget->setRootIsDecorated(value);
}

void TCustomTreeView::SetIndent(int value)
{
    indent_ = std::max(0, value);
    if (QTreeWidget *widget = t->widget)
        widget->setIndentation(indent_);
}

void TCustomTreeView::SetImages(TCustomImageList *images)
{
    if (images_)
        images_->RemoveFreeNotification(this);
    images_ = images;
    if (images_)
        images_->FreeNotification(this);
    ApplyImages();
}

void TCustomTreeView::Notification(TComponent *component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == images_) {
        images_ = nullptr;
        ApplyImages();
    }
}

int TCustomTreeView::AddColumn(const std::string &caption, int width, TAlignment alignment)
{
    columns_.push_back({ caption, width, alignment });
    ApplyColumns();
    return ColumnCount() - 1;
}

const TTreeColumn &TCustomTreeView::Column(int index) const
{
    if (index < 0 || index >= ColumnCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return columns_[static_cast<size_t>(index)];
}

void TCustomTreeView::SetColumn(int index, const TTreeColumn &column)
{
    Column(index); // the index check
    columns_[static_cast<size_t>(index)] = column;
    ApplyColumns();
}

void TCustomTreeView::SetTreeColumn(int column)
{
    treeColumn_ = std::max(0, column);
    ApplyColumns();
}

void TCustomTreeView::SetShowColumnHeaders(bool value)
{
    showHeaders_ = value;
    ApplyColumns();
}

void TCustomTreeView::SetCheckBoxes(bool value)
{
    checkBoxes_ = value;
    ApplyColumns();
}

void TCustomTreeView::SetCheckColumn(int column)
{
    checkColumn_ = column;
    ApplyColumns();
}

void TCustomTreeView::ApplyColumns()
{
    // Every node's cells follow the columns: alignment, and a check box
    // in the check column only.
    ++t->applying;
    for (TTreeNode *node = items_->GetFirstNode(); node; node = node->GetNext()) {
        QTreeWidgetItem *item = node->n->item;
        const int columns = std::max(1, ColumnCount());
        for (int c = 0; c < columns; ++c) {
            if (c < ColumnCount())
                item->setTextAlignment(c, CellAlignment(columns_[static_cast<size_t>(c)].Alignment));
            if (checkBoxes_ && c == CheckColumn())
                item->setCheckState(c, node->n->checked ? Qt::Checked : Qt::Unchecked);
            else
                item->setData(c, Qt::CheckStateRole, QVariant());
        }
        Qt::ItemFlags flags = item->flags();
        if (checkBoxes_ && node->checkEnabled_)
            flags |= Qt::ItemIsUserCheckable;
        else
            flags &= ~Qt::ItemIsUserCheckable;
        item->setFlags(flags);
    }
    if (QTreeWidget *widget = t->widget) {
        widget->setColumnCount(std::max(1, ColumnCount()));
        widget->setTreePosition(treeColumn_);
        widget->setHeaderHidden(!showHeaders_ || columns_.empty());
        QHeaderView *header = widget->header();
        header->setStretchLastSection(false);
        QStringList labels;
        for (int c = 0; c < ColumnCount(); ++c) {
            const TTreeColumn &column = columns_[static_cast<size_t>(c)];
            labels << QString::fromStdString(column.Caption);
            if (column.Width < 0) {
                header->setSectionResizeMode(c, QHeaderView::Stretch);
            } else {
                header->setSectionResizeMode(c, QHeaderView::Fixed);
                header->resizeSection(c, column.Width);
            }
        }
        if (columns_.empty())
            header->setSectionResizeMode(0, QHeaderView::Stretch);
        else
            widget->setHeaderLabels(labels);
    }
    --t->applying;
}

void TCustomTreeView::ApplyImages()
{
    ++t->applying;
    for (TTreeNode *node = items_->GetFirstNode(); node; node = node->GetNext()) {
        QImage image = images_ ? TImageListAccess::Image(*images_, node->imageIndex_) : QImage();
        node->n->item->setIcon(treeColumn_, image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
    }
    if (QTreeWidget *widget = t->widget; widget && images_)
        widget->setIconSize(QSize(images_->Width(), images_->Height()));
    --t->applying;
}

void TCustomTreeView::NodeAdded(TTreeNode *node)
{
    ++t->applying;
    QTreeWidgetItem *item = node->n->item;
    if (!node->Parent())
        if (QTreeWidget *widget = t->widget)
            widget->addTopLevelItem(item);
    if (checkBoxes_) {
        item->setCheckState(CheckColumn(), Qt::Unchecked);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    for (int c = 0; c < ColumnCount(); ++c)
        item->setTextAlignment(c, CellAlignment(columns_[static_cast<size_t>(c)].Alignment));
    --t->applying;
}

void TCustomTreeView::NodeRemoving(TTreeNode *node)
{
    for (TTreeNode *s = selected_; s; s = s->Parent())
        if (s == node) {
            selected_ = nullptr;
            break;
        }
    // The node's item goes with the node; the widget must not point at it.
    if (QTreeWidget *widget = t->widget) {
        ++t->applying;
        if (!node->Parent())
            widget->takeTopLevelItem(widget->indexOfTopLevelItem(node->n->item));
        --t->applying;
    }
}

void TCustomTreeView::ToggleCheck(TTreeNode *node)
{
    if (!node || !checkBoxes_ || !node->CheckEnabled())
        return;
    node->SetChecked(!node->Checked());
    CheckStateChanged(node);
}

void TCustomTreeView::Change(TTreeNode *node)
{
    OnChange(this, node);
}

void TCustomTreeView::Expanded(TTreeNode *node)
{
    OnExpanded(this, node);
}

void TCustomTreeView::Collapsed(TTreeNode *node)
{
    OnCollapsed(this, node);
}

void TCustomTreeView::CheckStateChanged(TTreeNode *node)
{
    OnCheckStateChanged(this, node);
}

void TCustomTreeView::KeyDown(uint16_t &key, TShiftState shift)
{
    TWinControl::KeyDown(key, shift);
    if (key == VK_SPACE && checkBoxes_ && selected_) {
        ToggleCheck(selected_);
        key = 0;
    }
}

bool TCustomTreeView::WantsKey(uint16_t key) const
{
    return key != VK_RETURN && key != VK_ESCAPE;
}

void TCustomTreeView::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "SysTreeView32";
    if (borderStyle_ == bsSingle)
        params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::CreateWindowHandle(const TCreateParams &)
{
    auto *widget = new TBridge<QTreeWidget>(this, TQtBoundary::ParentWidgetFor(this));
    t->widget = widget;
    auto *delegate = new TTreeDelegate(this, widget);
    delegate->nodeAt = [widget](const QModelIndex &index) {
        return NodeOf(widget->itemFromIndex(index.siblingAtColumn(0)));
    };
    widget->setItemDelegate(delegate);
    widget->setSelectionMode(QAbstractItemView::SingleSelection);
    widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    widget->setUniformRowHeights(true);
    widget->setAllColumnsShowFocus(true);
    widget->setExpandsOnDoubleClick(true);
    TQtBoundary::SetWidget(this, widget);
    ++t->applying;
    for (TTreeNode *root = items_->GetFirstNode(); root; root = root->GetNextSibling())
        widget->addTopLevelItem(root->n->item);
    --t->applying;
    SetBorderStyle(borderStyle_);
    SetShowButtons(showButtons_);
    SetShowRoot(showRoot_);
    SetIndent(indent_);
    SetHideSelection(hideSelection_);
    ApplyColumns();
    ApplyImages();
    ++t->applying;
    for (TTreeNode *node = items_->GetFirstNode(); node; node = node->GetNext())
        node->n->item->setExpanded(node->n->expanded);
    if (selected_)
        widget->setCurrentItem(selected_->n->item);
    --t->applying;

    ConnectGuarded(*widget, widget, &QTreeWidget::currentItemChanged, [this](QTreeWidgetItem *current, QTreeWidgetItem *) {
        if (t->applying)
            return;
        TTreeNode *node = NodeOf(current);
        if (node == selected_)
            return;
        selected_ = node;
        Change(node);
    });
    ConnectGuarded(*widget, widget, &QTreeWidget::itemExpanded, [this](QTreeWidgetItem *item) {
        if (TTreeNode *node = NodeOf(item)) {
            node->n->expanded = true;
            if (!t->applying)
                Expanded(node);
        }
    });
    ConnectGuarded(*widget, widget, &QTreeWidget::itemCollapsed, [this](QTreeWidgetItem *item) {
        if (TTreeNode *node = NodeOf(item)) {
            node->n->expanded = false;
            if (!t->applying)
                Collapsed(node);
        }
    });
    ConnectGuarded(*widget, widget, &QTreeWidget::itemChanged, [this](QTreeWidgetItem *item, int column) {
        TTreeNode *node = NodeOf(item);
        if (t->applying || !node || !checkBoxes_ || column != CheckColumn())
            return;
        const bool checked = item->checkState(column) == Qt::Checked;
        if (checked == node->n->checked)
            return;
        node->n->checked = checked;
        CheckStateChanged(node);
    });
}

void TCustomTreeView::DestroyWnd()
{
    // The nodes keep their items; the widget must not delete them.
    if (QTreeWidget *widget = t->widget) {
        ++t->applying;
        for (TTreeNode *node = items_->GetFirstNode(); node; node = node->GetNext())
            node->n->expanded = node->n->item->isExpanded();
        while (widget->topLevelItemCount() > 0)
            widget->takeTopLevelItem(0);
        --t->applying;
    }
    t->widget = nullptr;
    TWinControl::DestroyWnd();
}

TTreeView::TTreeView(TComponent *owner)
    : TCustomTreeView(owner)
{
}

// ---- List view ----------------------------------------------------------------------

const TMetaClass TCustomListView::Class { "TCustomListView", &TWinControl::Class };
const TMetaClass TListView::Class { "TListView", &TCustomListView::Class };

// clang-format off
namespace {

const TEnumNames ViewStyleNames = {"vsIcon", "vsSmallIcon", "vsList", "vsReport"};
const TEnumNames IconArrangementNames = {"iaTop", "iaLeft"};
using PL = TPublish<TCustomListView>;
const TClassRegistrar<TCustomListView> customListViewRegistrar({});
const TClassRegistrar<TListView> listViewRegistrar({
    //            name               names                 getter                              setter                                 default
    PL::Enum     ("BorderStyle",     ViewBorderStyleNames, &TCustomListView::BorderStyle,      &TCustomListView::SetBorderStyle,      bsSingle),
    PL::Boolean  ("ColumnClick",                           &TCustomListView::ColumnClick,      &TCustomListView::SetColumnClick,      true),
    PL::Enum     ("IconArrangement", IconArrangementNames, &TCustomListView::IconArrangement,  &TCustomListView::SetIconArrangement,  iaTop),
    PL::Boolean  ("ReadOnly",                              &TCustomListView::ReadOnly,         &TCustomListView::SetReadOnly,         false),
    PL::Component("SmallImages",                           &TCustomListView::SmallImages,      &TCustomListView::SetSmallImages),
    PL::Component("StateImages",                           &TCustomListView::StateImages,      &TCustomListView::SetStateImages),
    PL::Enum     ("ViewStyle",       ViewStyleNames,       &TCustomListView::ViewStyle,        &TCustomListView::SetViewStyle,        vsIcon),
    PL::Boolean  ("WrapText",                              &TCustomListView::WrapText,         &TCustomListView::SetWrapText,         true),
});

} // namespace
// clang-format on

struct TCustomListView::ListViewImpl {
    QTreeWidget *widget = nullptr;
};

TListItem::TListItem(TListItems *owner)
    : owner_(owner)
    , subItems_(std::make_unique<TStringList>())
{
    subItems_->OnChange = [this](TObject *) { Changed(); };
}

TListItem::~TListItem() = default;

void TListItem::SetCaption(const std::string &caption)
{
    caption_ = caption;
    Changed();
}

void TListItem::SetImageIndex(int index)
{
    imageIndex_ = index;
    Changed();
}

void TListItem::SetStateIndex(int index)
{
    stateIndex_ = index;
    Changed();
}

int TListItem::Index() const
{
    for (int i = 0; i < owner_->Count(); ++i)
        if (owner_->Item(i) == this)
            return i;
    return -1;
}

void TListItem::Changed()
{
    owner_->Changed();
}

TListItems::TListItems(TCustomListView *owner)
    : owner_(owner)
{
}

TListItems::~TListItems() = default;

TListItem *TListItems::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<size_t>(index)].get();
}

TListItem *TListItems::Add()
{
    items_.push_back(std::unique_ptr<TListItem>(new TListItem(this)));
    Changed();
    return items_.back().get();
}

void TListItems::Delete(int index)
{
    Item(index);
    items_.erase(items_.begin() + index);
    Changed();
}

void TListItems::Clear()
{
    items_.clear();
    Changed();
}

void TListItems::BeginUpdate()
{
    ++updating_;
}

void TListItems::EndUpdate()
{
    if (updating_ > 0 && --updating_ == 0)
        Changed();
}

void TListItems::Changed()
{
    if (updating_ == 0)
        owner_->ItemsChanged();
}

TCustomListView::TCustomListView(TComponent *owner)
    : TWinControl(owner)
    , items_(std::make_unique<TListItems>(this))
    , l(std::make_unique<ListViewImpl>())
{
    SetBounds(0, 0, 250, 150);
    SetTabStop(true);
    SetColor(clWindow);
    SetParentColor(false);
}

TCustomListView::~TCustomListView()
{
    SetSmallImages(nullptr);
    SetStateImages(nullptr);
}

int TCustomListView::AddColumn(const std::string &caption, int width, TAlignment alignment)
{
    columns_.push_back({ caption, width, alignment });
    ApplyColumns();
    return ColumnCount() - 1;
}

const TListColumn &TCustomListView::Column(int index) const
{
    if (index < 0 || index >= ColumnCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return columns_[static_cast<size_t>(index)];
}

void TCustomListView::SetColumn(int index, const TListColumn &column)
{
    Column(index); // the index check
    columns_[static_cast<size_t>(index)] = column;
    ApplyColumns();
}

void TCustomListView::ClearColumns()
{
    columns_.clear();
    ApplyColumns();
}

void TCustomListView::SetSmallImages(TCustomImageList *images)
{
    if (smallImages_)
        smallImages_->RemoveFreeNotification(this);
    smallImages_ = images;
    if (images)
        images->FreeNotification(this);
    ItemsChanged();
}

void TCustomListView::SetStateImages(TCustomImageList *images)
{
    if (stateImages_)
        stateImages_->RemoveFreeNotification(this);
    stateImages_ = images;
    if (images)
        images->FreeNotification(this);
    ItemsChanged();
}

void TCustomListView::Notification(TComponent *component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == smallImages_)
        smallImages_ = nullptr;
    if (component == stateImages_)
        stateImages_ = nullptr;
    if (component == smallImages_ || component == stateImages_)
        ItemsChanged();
}

void TCustomListView::SetBorderStyle(TBorderStyle style)
{
    borderStyle_ = style == bsNone ? bsNone : bsSingle;
    if (QTreeWidget *widget = l->widget)
        widget->setFrameShape(borderStyle_ == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

TRect TCustomListView::ItemRect(int index) const
{
    QTreeWidget *widget = l->widget;
    if (!widget || index < 0 || index >= widget->topLevelItemCount())
        return {};
    return FromQRect(widget->visualItemRect(widget->topLevelItem(index)));
}

int TCustomListView::TopIndex() const
{
    QTreeWidget *widget = l->widget;
    if (!widget)
        return 0;
    QTreeWidgetItem *top = widget->itemAt(1, 1);
    return top ? widget->indexOfTopLevelItem(top) : 0;
}

void TCustomListView::ApplyColumns()
{
    QTreeWidget *widget = l->widget;
    if (!widget)
        return;
    widget->setColumnCount(std::max(1, ColumnCount()));
    QStringList labels;
    QHeaderView *header = widget->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(columnClick_);
    for (int c = 0; c < ColumnCount(); ++c) {
        const TListColumn &column = columns_[static_cast<size_t>(c)];
        labels << QString::fromStdString(column.Caption);
        header->setSectionResizeMode(c, QHeaderView::Interactive);
        header->resizeSection(c, column.Width);
    }
    widget->setHeaderLabels(labels);
    widget->setHeaderHidden(viewStyle_ != vsReport);
    ItemsChanged();
}

void TCustomListView::ItemsChanged()
{
    QTreeWidget *widget = l->widget;
    if (!widget)
        return;
    // The state image stands left of the small image, as the system's list
    // draws them; the place of the state image stays when an item has none.
    const int stateWidth = stateImages_ ? stateImages_->Width() : 0;
    const int smallWidth = smallImages_ ? smallImages_->Width() : 0;
    const int height = std::max(stateImages_ ? stateImages_->Height() : 0, smallImages_ ? smallImages_->Height() : 0);
    const int scroll = widget->verticalScrollBar()->value();
    widget->clear();
    if (stateWidth + smallWidth > 0)
        widget->setIconSize(QSize(stateWidth + smallWidth, height));
    for (int i = 0; i < items_->Count(); ++i) {
        TListItem *item = items_->Item(i);
        auto *row = new QTreeWidgetItem(widget);
        row->setText(0, QString::fromStdString(item->Caption()));
        for (int s = 0; s < item->SubItems()->Count(); ++s)
            row->setText(s + 1, QString::fromStdString(item->SubItems()->Strings(s)));
        for (int c = 0; c < ColumnCount(); ++c)
            row->setTextAlignment(c, CellAlignment(columns_[static_cast<size_t>(c)].Alignment));
        if (stateWidth + smallWidth > 0) {
            QImage icon(stateWidth + smallWidth, height, QImage::Format_ARGB32_Premultiplied);
            icon.fill(Qt::transparent);
            QPainter painter(&icon);
            if (stateImages_)
                painter.drawImage(0, 0, TImageListAccess::Image(*stateImages_, item->StateIndex()));
            if (smallImages_)
                painter.drawImage(stateWidth, 0, TImageListAccess::Image(*smallImages_, item->ImageIndex()));
            painter.end();
            row->setIcon(0, QIcon(QPixmap::fromImage(icon)));
        }
    }
    widget->verticalScrollBar()->setValue(scroll);
}

bool TCustomListView::WantsKey(uint16_t key) const
{
    return key != VK_RETURN && key != VK_ESCAPE;
}

void TCustomListView::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "SysListView32";
    if (borderStyle_ == bsSingle)
        params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::CreateWindowHandle(const TCreateParams &)
{
    auto *widget = new TBridge<QTreeWidget>(this, TQtBoundary::ParentWidgetFor(this));
    l->widget = widget;
    widget->setRootIsDecorated(false);
    widget->setItemsExpandable(false);
    widget->setUniformRowHeights(true);
    widget->setSelectionMode(QAbstractItemView::SingleSelection);
    widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    widget->setAllColumnsShowFocus(true);
    widget->setWordWrap(wrapText_);
    TQtBoundary::SetWidget(this, widget);
    SetBorderStyle(borderStyle_);
    ApplyColumns();
}

TListView::TListView(TComponent *owner)
    : TCustomListView(owner)
{
}

// ---- Progress bar ------------------------------------------------------------------

const TMetaClass TProgressBar::Class { "TProgressBar", &TWinControl::Class };

// clang-format off
namespace {

using PB = TPublish<TProgressBar>;
const TClassRegistrar<TProgressBar> progressBarRegistrar({
    //            name          getter                    setter                      default
    PB::Integer  ("Min",        &TProgressBar::Min,       &TProgressBar::SetMin,      0),
    PB::Integer  ("Max",        &TProgressBar::Max,       &TProgressBar::SetMax,      100),
    PB::Integer  ("Position",   &TProgressBar::Position,  &TProgressBar::SetPosition, 0),
    PB::Integer  ("Step",       &TProgressBar::Step,      &TProgressBar::SetStep,     10),
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

// ---- Status bar --------------------------------------------------------------------------

const TMetaClass TStatusPanel::Class { "TStatusPanel", &TCollectionItem::Class };
const TMetaClass TStatusPanels::Class { "TStatusPanels", &TCollection::Class };
const TMetaClass TStatusBar::Class { "TStatusBar", &TCustomControl::Class };

// clang-format off
namespace {
const TEnumNames PanelBevelNames = {"pbNone", "pbLowered", "pbRaised"};
const TEnumNames PanelAlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
using PSP = TPublish<TStatusPanel>;
const TClassRegistrar<TStatusPanel> statusPanelRegistrar({
    //           name          getter                    setter                      default
    PSP::Enum   ("Alignment",  PanelAlignmentNames,
                               &TStatusPanel::Alignment, &TStatusPanel::SetAlignment, taLeftJustify),
    PSP::Enum   ("Bevel",      PanelBevelNames,
                               &TStatusPanel::Bevel,     &TStatusPanel::SetBevel,     pbLowered),
    PSP::String ("Text",       &TStatusPanel::Text,      &TStatusPanel::SetText,      ""),
    PSP::Integer("Width",      &TStatusPanel::Width,     &TStatusPanel::SetWidth,     50),
});
using PSB = TPublish<TStatusBar>;
const TClassRegistrar<TStatusBar> statusBarRegistrar({
    PSB::Collection("Panels",  &TStatusBar::Panels,      &TStatusBar::SetPanels),
    PSB::Boolean("SimplePanel", &TStatusBar::SimplePanel, &TStatusBar::SetSimplePanel, false),
    PSB::String ("SimpleText", &TStatusBar::SimpleText,  &TStatusBar::SetSimpleText, ""),
    PSB::Boolean("SizeGrip",   &TStatusBar::SizeGrip,    &TStatusBar::SetSizeGrip,    true),
});
} // namespace
// clang-format on

TStatusPanel::TStatusPanel(TCollection *collection)
    : TCollectionItem(collection)
{
}

void TStatusPanel::Assign(const TPersistent *source)
{
    if (const auto *other = dynamic_cast<const TStatusPanel *>(source)) {
        text_ = other->text_;
        width_ = other->width_;
        bevel_ = other->bevel_;
        alignment_ = other->alignment_;
        Changed(false);
        return;
    }
    TCollectionItem::Assign(source);
}

void TStatusPanel::SetText(const std::string &text)
{
    if (text == text_)
        return;
    text_ = text;
    Changed(false);
}
void TStatusPanel::SetWidth(int width)
{
    width_ = width;
    Changed(true);
}
void TStatusPanel::SetBevel(TStatusPanelBevel bevel)
{
    bevel_ = bevel;
    Changed(false);
}
void TStatusPanel::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    Changed(false);
}

TStatusPanels::TStatusPanels(TStatusBar *statusBar)
    : TCollection(TStatusPanel::Class, statusBar)
    , statusBar_(statusBar)
{
}

void TStatusPanels::Update(TCollectionItem *)
{
    statusBar_->Invalidate();
}

TStatusBar::TStatusBar(TComponent *owner)
    : TCustomControl(owner)
    , panels_(std::make_unique<TStatusPanels>(this))
{
    SetBounds(0, 0, 150, 19);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

TStatusPanels *TStatusBar::Panels() const
{
    return panels_.get();
}
void TStatusBar::SetPanels(TStatusPanels *panels)
{
    panels_->Assign(panels);
}
void TStatusBar::SetSimplePanel(bool simple)
{
    simplePanel_ = simple;
    Invalidate();
}
void TStatusBar::SetSimpleText(const std::string &text)
{
    simpleText_ = text;
    Invalidate();
}
void TStatusBar::SetSizeGrip(bool sizeGrip)
{
    sizeGrip_ = sizeGrip;
    Invalidate();
}

TRect TStatusBar::PanelRect(int index) const
{
    int left = 0;
    for (int i = 0; i < panels_->Count(); ++i) {
        TStatusPanel *panel = panels_->Items(i);
        bool last = i == panels_->Count() - 1;
        int right = panel->Width() < 0 || last ? std::max(left + std::max(panel->Width(), 0), Width())
                                               : left + panel->Width();
        if (i == index)
            return Rect(left, 2, right, Height());
        left = right + 2;
    }
    return Rect(0, 0, 0, 0);
}

void TStatusBar::Paint()
{
    TCanvas *canvas = Canvas();
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(Rect(0, 0, Width(), Height()));
    canvas->Font()->Assign(Font());
    auto drawText = [canvas](const std::string &text, TRect rect, TAlignment alignment) {
        canvas->Brush()->SetStyle(bsClear);
        uint32_t format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
        format |= alignment == taCenter ? DT_CENTER : alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
        rect.Left += 2, rect.Right -= 2;
        DrawText(canvas, text, rect, format);
        canvas->Brush()->SetStyle(bsSolid);
    };
    if (simplePanel_ || panels_->Count() == 0) {
        TRect rect = Rect(0, 2, Width(), Height());
        if (simplePanel_)
            drawText(simpleText_, rect, taLeftJustify);
        return;
    }
    for (int i = 0; i < panels_->Count(); ++i) {
        TStatusPanel *panel = panels_->Items(i);
        TRect rect = PanelRect(i);
        if (panel->Bevel() != pbNone) {
            TRect frame = rect;
            Frame3D(canvas, frame, panel->Bevel() == pbLowered ? clBtnShadow : clBtnHighlight,
                panel->Bevel() == pbLowered ? clBtnHighlight : clBtnShadow, 1);
        }
        drawText(panel->Text(), rect, panel->Alignment());
    }
}
