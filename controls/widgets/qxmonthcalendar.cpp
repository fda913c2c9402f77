#include "controls/widgets/qxmonthcalendar.h"

#include <algorithm>
#include <cmath>

#include "controls/base/Qxintl.h"
#include "controls/widgets/qxwidgets_p.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

using namespace qxwidgets;

const TMetaClass TqxDateTimeColors::Class { "TqxDateTimeColors", &TPersistent::Class };
const TMetaClass TqxPopupYearOptions::Class { "TqxPopupYearOptions", &TPersistent::Class };
const TMetaClass TCalendarPopupMenu::Class { "TCalendarPopupMenu", &TPopupMenu::Class };
const TMetaClass TqxMonthCalendar::Class { "TqxMonthCalendar", &TWinControl::Class };

// clang-format off
namespace {

const TEnumNames BorderStyleNames = {"bsNone", "bsSingle"};
const TEnumNames MonthOptionNames = {"mdoDayState", "mdoWeekNumbers", "mdoNoToday", "mdoNoTodayCircle", "mdoMultiSelect"};
const TEnumNames DayOfWeekNames = {"qxdowMonday", "qxdowTuesday", "qxdowWednesday", "qxdowThursday", "qxdowFriday",
                                   "qxdowSaturday", "qxdowSunday", "qxdowLocaleDefault"};

using PC = TPublish<TqxDateTimeColors>;
const TClassRegistrar<TqxDateTimeColors> colorsRegistrar({
    //          name                  getter                                   setter                                      default
    PC::Integer ("TextColor",         &TqxDateTimeColors::TextColor,           &TqxDateTimeColors::SetTextColor,           clWindowText),
    PC::Integer ("TitleBackColor",    &TqxDateTimeColors::TitleBackColor,      &TqxDateTimeColors::SetTitleBackColor,      clActiveCaption),
    PC::Integer ("TitleTextColor",    &TqxDateTimeColors::TitleTextColor,      &TqxDateTimeColors::SetTitleTextColor,      clWhite),
    PC::Integer ("MonthBackColor",    &TqxDateTimeColors::MonthBackColor,      &TqxDateTimeColors::SetMonthBackColor,      clWhite),
    PC::Integer ("TrailingTextColor", &TqxDateTimeColors::TrailingTextColor,   &TqxDateTimeColors::SetTrailingTextColor,   clInactiveCaptionText),
});

using PY = TPublish<TqxPopupYearOptions>;
const TClassRegistrar<TqxPopupYearOptions> yearOptionsRegistrar({
    PY::Integer ("YearsPerColumn",    &TqxPopupYearOptions::YearsPerColumn,    &TqxPopupYearOptions::SetYearsPerColumn,    10),
    PY::Integer ("NumberColumns",     &TqxPopupYearOptions::NumberColumns,     &TqxPopupYearOptions::SetNumberColumns,     2),
    PY::Integer ("StartYear",         &TqxPopupYearOptions::StartYear,         &TqxPopupYearOptions::SetStartYear,         1990),
    PY::Boolean ("ShowEditYear",      &TqxPopupYearOptions::ShowEditYear,      &TqxPopupYearOptions::SetShowEditYear,      false),
});

const TClassRegistrar<TCalendarPopupMenu> popupRegistrar({});

using PM = TPublish<TqxMonthCalendar>;
const TClassRegistrar<TqxMonthCalendar> calendarRegistrar({
    PM::Enum    ("BorderStyle",       BorderStyleNames,
                                      &TqxMonthCalendar::BorderStyle,          &TqxMonthCalendar::SetBorderStyle,          bsNone),
    PM::Persistent("CalColors",       &TqxMonthCalendar::CalColors,            &TqxMonthCalendar::SetCalColors),
    PM::Date    ("Date",              &TqxMonthCalendar::Date,                 &TqxMonthCalendar::SetDate,                 NoDefault),
    PM::Date    ("Time",              &TqxMonthCalendar::Time,                 &TqxMonthCalendar::SetTime,                 NoDefault),
    PM::Integer ("Color",             &TqxMonthCalendar::Color,                &TqxMonthCalendar::SetColor,                clWindow),
    PM::Set     ("Options",           MonthOptionNames,
                                      &TqxMonthCalendar::Options,              &TqxMonthCalendar::SetOptions,              TqxMonthOptions { mdoDayState }),
    PM::Persistent("PopupYearOptions",&TqxMonthCalendar::PopupYearOptions,     &TqxMonthCalendar::SetPopupYearOptions),
    PM::Enum    ("FirstDayOfWeek",    DayOfWeekNames,
                                      &TqxMonthCalendar::FirstDayOfWeek,       &TqxMonthCalendar::SetFirstDayOfWeek,       qxdowLocaleDefault),
    PM::Integer ("Height",            &TqxMonthCalendar::Height,               &TqxMonthCalendar::SetHeight,               NoDefault),
    PM::Integer ("MaxSelectCount",    &TqxMonthCalendar::MaxSelectCount,       &TqxMonthCalendar::SetMaxSelectCount,       31),
    PM::Date    ("MaxDate",           &TqxMonthCalendar::MaxDate,              &TqxMonthCalendar::SetMaxDate,              0),
    PM::Date    ("MinDate",           &TqxMonthCalendar::MinDate,              &TqxMonthCalendar::SetMinDate,              0),
    PM::Boolean ("ParentColor",       &TqxMonthCalendar::ParentColor,          &TqxMonthCalendar::SetParentColor,          false),
    PM::Boolean ("TabStop",           &TqxMonthCalendar::TabStop,              &TqxMonthCalendar::SetTabStop,              true),
    PM::Integer ("Width",             &TqxMonthCalendar::Width,                &TqxMonthCalendar::SetWidth,                NoDefault),
    PM::Event   ("OnCalcBoldDay",     &TqxMonthCalendar::OnCalcBoldDay),
    PM::Event   ("OnChange",          &TqxMonthCalendar::OnChange),
    PM::Event   ("OnMouseDown",       &TqxMonthCalendar::OnMouseDown),
    PM::Event   ("OnMouseMove",       &TqxMonthCalendar::OnMouseMove),
    PM::Event   ("OnMouseUp",         &TqxMonthCalendar::OnMouseUp),
});

} // namespace
// clang-format on

namespace {

// Whether day lies past a limit; a limit of 0 is none.
bool After(TDateTime day, TDateTime maxDate) { return Days(maxDate) != 0 && Days(day) > Days(maxDate); }
bool Before(TDateTime day, TDateTime minDate) { return Days(minDate) != 0 && Days(day) < Days(minDate); }

struct YMD {
    int Year = 0, Month = 0, Day = 0;
    static YMD Of(TDateTime value)
    {
        uint16_t y, m, d;
        DecodeDate(value, y, m, d);
        return { y, m, d };
    }
};

// The date of (year, month, day) with the day cut to the month's length;
// false outside the years 1..9999.
bool CutDate(int year, int month, int day, TDateTime &date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12)
        return false;
    day = std::clamp(day, 1, static_cast<int>(DaysInAMonth(static_cast<uint16_t>(year), static_cast<uint16_t>(month))));
    date = EncodeDate(static_cast<uint16_t>(year), static_cast<uint16_t>(month), static_cast<uint16_t>(day));
    return true;
}

TShiftState ShiftOfKeys(WPARAM keys)
{
    TShiftState shift;
    if (keys & MK_SHIFT)
        shift.Include(ssShift);
    if (keys & MK_CONTROL)
        shift.Include(ssCtrl);
    if (GetKeyState(VK_MENU) < 0)
        shift.Include(ssAlt);
    return shift;
}

int LocaleFirstDay() { return LocaleFirstDayOfWeek(); }

} // namespace

// ---- Colours and year options -------------------------------------------------

TqxDateTimeColors::TqxDateTimeColors(TControl *owner)
    : owner_(owner)
    , colors_ { clWindow, clWindowText, clActiveCaption, clWhite, clWhite, clInactiveCaptionText }
{
}

void TqxDateTimeColors::SetColor(int index, TColor color)
{
    if (auto *calendar = dynamic_cast<TqxMonthCalendar *>(owner_); calendar && calendar->HandleAllocated())
        calendar->Perform(MCM_SETCOLOR, static_cast<WPARAM>(index), static_cast<LPARAM>(ColorToRGB(color)));
    colors_[static_cast<size_t>(index)] = color;
}

void TqxDateTimeColors::Assign(const TPersistent *source)
{
    const auto *other = dynamic_cast<const TqxDateTimeColors *>(source);
    if (!other)
        AssignError(source);
    // Only the values: the window gets them when it is made again.
    for (size_t i = 1; i < colors_.size(); ++i)
        colors_[i] = other->colors_[i];
}

void TqxPopupYearOptions::Assign(const TPersistent *source)
{
    if (const auto *other = dynamic_cast<const TqxPopupYearOptions *>(source)) {
        yearsPerColumn_ = other->yearsPerColumn_;
        numberColumns_ = other->numberColumns_;
        startYear_ = other->startYear_;
        showEditYear_ = other->showEditYear_;
        return;
    }
    TPersistent::Assign(source);
}

TCalendarPopupMenu::TCalendarPopupMenu(TComponent *owner)
    : TPopupMenu(owner)
{
}

void TCalendarPopupMenu::Popup(int x, int y)
{
    struct Showing {
        bool &flag;
        explicit Showing(bool &f) : flag(f) { flag = true; }
        ~Showing() { flag = false; }
    } showing(showing_);
    TPopupMenu::Popup(x, y);
}

// ---- The calendar ----------------------------------------------------------------

struct TqxMonthCalendar::Impl {
    TqxMonthCalendar &q;
    TBorderStyle borderStyle = bsNone;
    std::unique_ptr<TqxDateTimeColors> colors;
    TDateTime date = 0;
    TDateTime selStart = 0, selEnd = 0;
    TDateTime maxDate = 0, minDate = 0;
    TqxMonthOptions options { mdoDayState };
    int maxSelectCount = 31;
    bool changePending = false;
    TCalendarPopupMenu *yearPopup = nullptr;
    TCalendarPopupMenu *monthPopup = nullptr;
    bool yearShowingAtDown = false, monthShowingAtDown = false;
    bool yearJustShown = false, monthJustShown = false;
    SYSTEMTIME lastHit;
    int lastTitleMonth = 0;
    TqxPopupYearOptions yearOptions;
    TqxCalDayOfWeek firstDayOfWeek = qxdowLocaleDefault;
    std::vector<MONTHDAYSTATE> dayStates; // belongs to the calendar so that it outlives the notification

    explicit Impl(TqxMonthCalendar &calendar)
        : q(calendar)
        , colors(std::make_unique<TqxDateTimeColors>(&calendar))
    {
    }

    bool Multi() const { return options.Contains(mdoMultiSelect); }

    MCHITTESTINFO HitTest(int x, int y)
    {
        MCHITTESTINFO info;
        info.pt = { x, y };
        q.Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
        return info;
    }

    void SendRange()
    {
        if (!q.HandleAllocated())
            return;
        SYSTEMTIME range[2];
        WPARAM flags = 0;
        if (Days(minDate) != 0)
            range[0] = DateTimeToSystemTime(std::trunc(minDate)), flags |= GDTR_MIN;
        if (Days(maxDate) != 0)
            range[1] = DateTimeToSystemTime(std::trunc(maxDate)), flags |= GDTR_MAX;
        // Sent without flags too, so that limits taken away leave the control.
        q.Perform(MCM_SETRANGE, flags, reinterpret_cast<LPARAM>(range));
    }

    // Moves the selection to value, within the limits; Date follows when
    // the control takes it.
    void Apply(TDateTime value)
    {
        if (After(value, maxDate))
            value = maxDate;
        else if (Before(value, minDate))
            value = minDate;
        else if (Days(minDate) == 0 && Days(value) < 0)
            value = 1;
        bool accepted = true;
        if (q.HandleAllocated()) {
            SYSTEMTIME st[2] = { DateTimeToSystemTime(value), DateTimeToSystemTime(value) };
            if (Multi()) {
                selStart = selEnd = std::trunc(value);
                accepted = q.Perform(MCM_SETSELRANGE, 0, reinterpret_cast<LPARAM>(st)) != 0;
            } else {
                accepted = q.Perform(MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(st)) != 0;
            }
        } else if (Multi()) {
            selStart = selEnd = std::trunc(value);
        }
        if (accepted)
            date = value;
    }

    [[noreturn]] void RaiseAfter(TDateTime limit)
    {
        throw EDateTimeError(Format("Date exceeds maximum of %s", DateToStr(limit)));
    }
    [[noreturn]] void RaiseBefore(TDateTime limit)
    {
        throw EDateTimeError(Format("Date is less than minimum of %s", DateToStr(limit)));
    }

    void SetDate(TDateTime value)
    {
        if (Days(value) == Days(date))
            return;
        const TDateTime candidate = WithTime(value, TimeOfDay(date));
        if (candidate == 0) {
            q.Invalidate();
            return;
        }
        if (After(candidate, maxDate)) {
            Apply(date);
            RaiseAfter(maxDate);
        }
        if (Before(candidate, minDate)) {
            Apply(date);
            RaiseBefore(minDate);
        }
        Apply(candidate);
    }

    // False when the control refuses the range (longer than MaxSelectCount).
    bool SendSelRange()
    {
        if (!q.HandleAllocated() || Days(selStart) == 0 || Days(selEnd) == 0)
            return true;
        SYSTEMTIME st[2] = { DateTimeToSystemTime(std::min(selStart, selEnd)), DateTimeToSystemTime(std::max(selStart, selEnd)) };
        return q.Perform(MCM_SETSELRANGE, 0, reinterpret_cast<LPARAM>(st)) != 0;
    }

    // One end of the multi-select range.
    void SetRangeEnd(TDateTime value, bool start)
    {
        value = std::trunc(value);
        if (Days(value) == 0) {
            q.Invalidate();
            return;
        }
        TDateTime &end = start ? selStart : selEnd;
        if (After(value, maxDate)) {
            end = std::trunc(maxDate);
            RaiseAfter(maxDate);
        }
        if (Before(value, minDate)) {
            end = std::trunc(minDate);
            RaiseBefore(minDate);
        }
        const TDateTime oldStart = selStart, oldEnd = selEnd;
        end = value;
        if (selStart > selEnd)
            std::swap(selStart, selEnd);
        // As with a single date, the range is what the control took.
        if (!SendSelRange())
            selStart = oldStart, selEnd = oldEnd;
    }

    void GrowToMinimum()
    {
        if (!q.HandleAllocated())
            return;
        TRect rect;
        if (q.Perform(MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&rect)) == 0)
            return;
        if (q.Height() < rect.Bottom)
            q.SetHeight(rect.Bottom);
        if (q.Width() < rect.Right)
            q.SetWidth(rect.Right);
    }

    void SendFirstDay()
    {
        const int day = firstDayOfWeek == qxdowLocaleDefault ? LocaleFirstDay() : static_cast<int>(firstDayOfWeek);
        q.Perform(MCM_SETFIRSTDAYOFWEEK, 0, day);
    }

    // ---- Notifications

    void SelectionChanged(const NMSELCHANGE &nm)
    {
        const TDateTime oldStart = selStart, oldEnd = selEnd;
        TDateTime start = 0, end = 0;
        SYSTEMTIME s = nm.stSelStart, e = nm.stSelEnd;
        s.wHour = s.wMinute = s.wSecond = s.wMilliseconds = 0;
        e.wHour = e.wMinute = e.wSecond = e.wMilliseconds = 0;
        if (!TrySystemTimeToDateTime(s, start))
            return;
        if (Before(start, minDate))
            start = std::trunc(minDate);
        if (Multi()) {
            if (!TrySystemTimeToDateTime(e, end))
                end = start;
            if (Before(end, minDate))
                end = std::trunc(minDate);
            if (start != oldStart || end != oldEnd)
                changePending = true;
        } else {
            end = start;
        }
        selStart = start, selEnd = end;
        if (start == end && Days(start) != Days(date)) {
            SetDate(start);
            q.Change();
        }
    }

    void DayState(NMDAYSTATE &nm)
    {
        if (q.ComponentState().Contains(csLoading))
            return;
        dayStates.assign(static_cast<size_t>(std::max(nm.cDayState, 0)), 0);
        for (int i = 0; i < nm.cDayState; ++i) {
            int month = (nm.stStart.wMonth + i) % 12;
            if (month == 0)
                month = 12;
            const int year = nm.stStart.wYear + (nm.stStart.wMonth + i - 1) / 12;
            if (year > 9999)
                break;
            MONTHDAYSTATE mask = 0;
            const int length = DaysInAMonth(static_cast<uint16_t>(year), static_cast<uint16_t>(month));
            for (int day = 1; day <= length; ++day) {
                bool accept = false;
                if (q.OnCalcBoldDay) {
                    const TDateTime when = EncodeDate(static_cast<uint16_t>(year), static_cast<uint16_t>(month), static_cast<uint16_t>(day));
                    q.OnCalcBoldDay(&q, when, month, day, year, accept);
                }
                if (accept)
                    mask |= 1u << (day - 1);
            }
            dayStates[static_cast<size_t>(i)] = mask;
        }
        nm.prgDayState = dayStates.data();
    }

    // ---- The title

    // Walks from a point down while the hit stays code, then along the row
    // above; answers the first point where it no longer does.
    TPoint EdgeOf(TPoint point, uint32_t code, int dx)
    {
        int y = point.Y;
        while (y < q.Height() && HitTest(point.X, y).uHit == code)
            ++y;
        int x = point.X;
        while (x >= 0 && x < q.Width() && HitTest(x, y - 1).uHit == code)
            x += dx;
        return { x, y };
    }

    bool YearAllowed(int year) const
    {
        const YMD d = YMD::Of(date);
        TDateTime when;
        return CutDate(year, d.Month, d.Day, when) && !After(when, maxDate) && !Before(when, minDate);
    }

    void BuildYearPopup()
    {
        if (!yearPopup) {
            yearPopup = new TCalendarPopupMenu(&q);
        }
        TMenuItem *items = yearPopup->Items();
        items->Clear();
        const bool edit = yearOptions.ShowEditYear();
        const int perColumn = std::max(1, yearOptions.YearsPerColumn());
        if (edit) {
            auto *label = new TMenuItem(yearPopup);
            label->SetCaption(qxIntl()->MonthCalendar()->Text("PopupYearLabel"));
            label->OnClick = [this](TObject *sender) { YearChosen(sender); };
            items->Add(label);
            auto *line = new TMenuItem(yearPopup);
            line->SetCaption("-");
            items->Add(line);
        }
        const int count = perColumn * std::max(1, yearOptions.NumberColumns());
        for (int k = 0; k < count; ++k) {
            const int year = yearOptions.StartYear() + k;
            auto *item = new TMenuItem(yearPopup);
            item->SetCaption(std::to_string(year));
            item->SetChecked(year == lastHit.wYear);
            item->SetEnabled(YearAllowed(year));
            if ((k != 0 && k % perColumn == 0) || (k == 0 && edit && perColumn != 1))
                item->SetBreak(mbBarBreak);
            item->OnClick = [this](TObject *sender) { YearChosen(sender); };
            items->Add(item);
        }
    }

    void TitleYear(const MCHITTESTINFO &hit, int x, int y)
    {
        if ((yearShowingAtDown || yearJustShown) && hit.st.wMonth == lastTitleMonth) {
            yearJustShown = false;
            return;
        }
        lastTitleMonth = hit.st.wMonth;
        const TPoint edge = EdgeOf({ x, y }, MCHT_TITLEYEAR, -1);
        lastHit = hit.st;
        BuildYearPopup();
        TPoint at { edge.X + 1, edge.Y + 1 };
        if (yearOptions.ShowEditYear() && yearOptions.YearsPerColumn() != 1) {
            TCanvas measure;
            if (TCustomForm *form = GetParentForm(&q))
                measure.SetFont(form->Font());
            const int width = measure.TextWidth(qxIntl()->MonthCalendar()->Text("PopupYearLabel"));
            at.X -= width + Screen->PixelsPerInch() * 45 / 96;
        }
        const TPoint screen = q.ClientToScreen(at);
        yearPopup->Popup(screen.X, screen.Y);
        yearJustShown = true;
    }

    void TitleMonth(const MCHITTESTINFO &hit, int x, int y)
    {
        if ((monthShowingAtDown || monthJustShown) && hit.st.wMonth == lastTitleMonth) {
            monthJustShown = false;
            return;
        }
        lastTitleMonth = hit.st.wMonth;
        const TPoint edge = EdgeOf({ x, y }, MCHT_TITLEMONTH, 1);
        lastHit = hit.st;
        const YMD d = YMD::Of(date);
        TMenuItem *items = monthPopup->Items();
        for (int i = 0; i < items->Count(); ++i) {
            TDateTime when;
            const bool valid = CutDate(hit.st.wYear, i + 1, d.Day, when);
            items->Items(i)->SetChecked(i + 1 == hit.st.wMonth);
            items->Items(i)->SetEnabled(valid && !After(when, maxDate) && !Before(when, minDate));
        }
        const TPoint screen = q.ClientToScreen({ edge.X - 1, edge.Y + 1 });
        monthPopup->Popup(screen.X, screen.Y);
        monthJustShown = true;
    }

    // The first and last visible months and the scroll step.
    void VisibleMonths(SYSTEMTIME &first, SYSTEMTIME &last, int &step)
    {
        SYSTEMTIME range[2];
        q.Perform(MCM_GETMONTHRANGE, GMR_VISIBLE, reinterpret_cast<LPARAM>(range));
        first = range[0], last = range[1];
        step = static_cast<int>(q.Perform(MCM_GETMONTHDELTA, 0, 0));
    }

    void Scroll(bool next)
    {
        SYSTEMTIME first, last;
        int step;
        VisibleMonths(first, last, step);
        const YMD d = YMD::Of(date);
        TDateTime target;
        if (next) {
            if (d.Year == 9999 && d.Month == 12)
                return;
            const int index = last.wYear * 12 + last.wMonth - 1 + step;
            if (!CutDate(index / 12, index % 12 + 1, d.Day, target))
                return;
            if (After(target, maxDate)) {
                SetDate(maxDate);
                MessageBeep(0);
            } else {
                SetDate(target);
            }
        } else {
            const int index = first.wYear * 12 + first.wMonth - 1 - step;
            if (!CutDate(index / 12, index % 12 + 1, d.Day, target))
                return;
            if (Before(target, minDate)) {
                SetDate(minDate);
                MessageBeep(0);
            } else {
                SetDate(target);
            }
        }
        q.Change();
    }

    // Scrolls the control to a month by selecting its first day there; Date
    // moves afterwards.
    void ShowMonthOf(int year, int month)
    {
        while (month > 12)
            month -= 12, ++year;
        while (month < 1)
            month += 12, --year;
        TDateTime day;
        if (!CutDate(year, month, 1, day))
            return;
        SYSTEMTIME st[2] = { DateTimeToSystemTime(day), DateTimeToSystemTime(day) };
        q.Perform(Multi() ? MCM_SETSELRANGE : MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(st));
    }

    void MonthChosen(TObject *sender)
    {
        const auto *item = dynamic_cast<TMenuItem *>(sender);
        if (!item)
            return;
        const auto &names = FormatSettings.LongMonthNames;
        const auto found = std::find(names.begin(), names.end(), item->Caption());
        if (found == names.end())
            return;
        const int i = static_cast<int>(found - names.begin()) + 1;
        const int t = lastTitleMonth;
        if (i == t)
            return;
        SYSTEMTIME first, last;
        int step;
        VisibleMonths(first, last, step);
        if (i > t)
            ShowMonthOf(last.wYear, i + last.wMonth - t);
        else
            ShowMonthOf(lastHit.wYear, i + first.wMonth - t);
        TDateTime when;
        if (CutDate(lastHit.wYear, i, YMD::Of(date).Day, when))
            SetDate(when);
        q.Change();
    }

    // The years a typed year may take, from the limits and Date's month and day.
    bool LowestYear(int &year) const
    {
        if (Days(minDate) == 0)
            return false;
        const YMD d = YMD::Of(date), low = YMD::Of(minDate);
        year = low.Year;
        if (std::tie(d.Month, d.Day) < std::tie(low.Month, low.Day))
            ++year;
        return true;
    }
    bool HighestYear(int &year) const
    {
        if (Days(maxDate) == 0)
            return false;
        const YMD d = YMD::Of(date), high = YMD::Of(maxDate);
        year = high.Year;
        if (std::tie(high.Month, high.Day) < std::tie(d.Month, d.Day))
            --year;
        return true;
    }

    std::string DefaultYearText(const std::string &text) const
    {
        int year = 0, low = 0, high = 0;
        if (!TryStrToInt(text, year))
            return text;
        if (HighestYear(high) && year > high)
            year = high;
        if (LowestYear(low) && year < low)
            year = low;
        return std::to_string(year);
    }

    // Asks for a year until it gets one the limits allow; Cancel gives up.
    bool AskYear(int &chosen)
    {
        int low = 0, high = 0;
        const bool hasLow = LowestYear(low), hasHigh = HighestYear(high);
        const std::string prompt = qxIntl()->MonthCalendar()->Text("EnterYearPrompt");
        std::string value = DefaultYearText(std::to_string(lastHit.wYear));
        for (bool first = true;; first = false) {
            std::string caption = prompt, label;
            if (hasLow && hasHigh) {
                caption += " (" + std::to_string(low) + "-" + std::to_string(high) + ")";
                label = first ? "" : "Enter New Year:";
            } else if (hasLow) {
                caption += " (>=" + std::to_string(low) + ")";
                label = "Enter New Year:";
            } else if (hasHigh) {
                caption += " (<=" + std::to_string(high) + ")";
                label = "Enter New Year:";
            } else {
                label = " ";
            }
            std::string answer = value;
            if (!InputQuery(caption, label, answer))
                return false;
            int year = 0;
            if (TryStrToInt(Trim(answer), year) && YearAllowed(year)) {
                chosen = year;
                return true;
            }
            value = DefaultYearText(answer);
            if (!TryStrToInt(answer, year))
                value = DefaultYearText(value);
        }
    }

    void YearChosen(TObject *sender)
    {
        const auto *item = dynamic_cast<TMenuItem *>(sender);
        if (!item)
            return;
        int y = 0;
        if (!TryStrToInt(item->Caption(), y) && !AskYear(y))
            return;
        const int t = lastHit.wYear;
        if (y == t)
            return;
        SYSTEMTIME first, last;
        int step;
        VisibleMonths(first, last, step);
        ShowMonthOf(y, y > t ? last.wMonth : first.wMonth);
        const YMD d = YMD::Of(date);
        TDateTime when;
        if (CutDate(y, d.Month, d.Day, when))
            SetDate(when);
        q.Change();
    }

    // ---- Keys

    bool Selection(TDateTime &day)
    {
        SYSTEMTIME st[2];
        if (Multi()) {
            if (!q.Perform(MCM_GETSELRANGE, 0, reinterpret_cast<LPARAM>(st)))
                return false;
            TDateTime start, end;
            if (!TrySystemTimeToDateTime(st[0], start) || !TrySystemTimeToDateTime(st[1], end))
                return false;
            if (Days(start) != Days(end))
                return false;
            day = start;
            return true;
        }
        if (!q.Perform(MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(st)))
            return false;
        st[0].wHour = st[0].wMinute = st[0].wSecond = st[0].wMilliseconds = 0;
        return TrySystemTimeToDateTime(st[0], day);
    }
};

TqxMonthCalendar::TqxMonthCalendar(TComponent *owner)
    : TWinControl(owner)
    , c(std::make_unique<Impl>(*this))
{
    CheckCommonControl(ICC_DATE_CLASSES);
    c->date = Now();
    SetColor(clWindow);
    SetParentColor(false);
    SetTabStop(true);
    SetWidth(155);
    c->monthPopup = new TCalendarPopupMenu(this);
    c->monthPopup->SetAlignment(paRight);
    for (const std::string &name : FormatSettings.LongMonthNames) {
        auto *item = new TMenuItem(c->monthPopup);
        item->SetCaption(name);
        item->OnClick = [this](TObject *sender) { c->MonthChosen(sender); };
        c->monthPopup->Items()->Add(item);
    }
}

TqxMonthCalendar::~TqxMonthCalendar() = default;

TDateTime TqxMonthCalendar::Date() const { return c->date; }
void TqxMonthCalendar::SetDate(TDateTime date) { c->SetDate(date); }
TDateTime TqxMonthCalendar::Time() const { return c->date; }

void TqxMonthCalendar::SetTime(TDateTime time)
{
    if (TimeOfDay(time) == TimeOfDay(c->date))
        return;
    const TDateTime value = WithTime(c->date, TimeOfDay(time));
    if (value == 0)
        Invalidate();
    else
        c->Apply(value);
}

TDateTime TqxMonthCalendar::MaxDate() const { return c->maxDate; }

void TqxMonthCalendar::SetMaxDate(TDateTime date)
{
    if (Days(date) != 0 && Days(c->minDate) != 0 && Days(date) < Days(c->minDate))
        c->RaiseBefore(c->minDate);
    if (date == c->maxDate)
        return;
    c->maxDate = date;
    c->SendRange();
}

TDateTime TqxMonthCalendar::MinDate() const { return c->minDate; }

void TqxMonthCalendar::SetMinDate(TDateTime date)
{
    if (Days(c->maxDate) != 0 && Days(date) > Days(c->maxDate))
        c->RaiseAfter(c->maxDate);
    if (date == c->minDate)
        return;
    c->minDate = date;
    c->SendRange();
}

TDateTime TqxMonthCalendar::SelStart() const { return c->selStart; }
void TqxMonthCalendar::SetSelStart(TDateTime date) { c->SetRangeEnd(date, true); }
TDateTime TqxMonthCalendar::SelEnd() const { return c->selEnd; }
void TqxMonthCalendar::SetSelEnd(TDateTime date) { c->SetRangeEnd(date, false); }

TBorderStyle TqxMonthCalendar::BorderStyle() const { return c->borderStyle; }

void TqxMonthCalendar::SetBorderStyle(TBorderStyle style)
{
    if (style == c->borderStyle)
        return;
    c->borderStyle = style;
    if (HandleAllocated())
        RecreateWnd();
}

TqxDateTimeColors *TqxMonthCalendar::CalColors() const { return c->colors.get(); }
void TqxMonthCalendar::SetCalColors(TqxDateTimeColors *colors) { c->colors->Assign(colors); }
TqxMonthOptions TqxMonthCalendar::Options() const { return c->options; }

void TqxMonthCalendar::SetOptions(TqxMonthOptions options)
{
    c->options = options;
    if (HandleAllocated())
        RecreateWnd();
}

TqxPopupYearOptions *TqxMonthCalendar::PopupYearOptions() const { return &c->yearOptions; }
void TqxMonthCalendar::SetPopupYearOptions(TqxPopupYearOptions *options) { c->yearOptions.Assign(options); }
TqxCalDayOfWeek TqxMonthCalendar::FirstDayOfWeek() const { return c->firstDayOfWeek; }

void TqxMonthCalendar::SetFirstDayOfWeek(TqxCalDayOfWeek day)
{
    c->firstDayOfWeek = day;
    HandleNeeded();
    c->SendFirstDay();
}

int TqxMonthCalendar::MaxSelectCount() const { return c->maxSelectCount; }

void TqxMonthCalendar::SetMaxSelectCount(int count)
{
    if (count == c->maxSelectCount)
        return;
    c->maxSelectCount = count;
    if (HandleAllocated())
        Perform(MCM_SETMAXSELCOUNT, static_cast<WPARAM>(count), 0);
}

void TqxMonthCalendar::SetBounds(int left, int top, int width, int height)
{
    TRect minimum;
    if (HandleAllocated() && Perform(MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&minimum)) != 0) {
        width = std::max(width, minimum.Right);
        height = std::max(height, minimum.Bottom);
    }
    TWinControl::SetBounds(left, top, width, height);
}

TCalendarPopupMenu *TqxMonthCalendar::YearPopup() const { return c->yearPopup; }
TCalendarPopupMenu *TqxMonthCalendar::MonthPopup() const { return c->monthPopup; }

void TqxMonthCalendar::SetFocusWhenVisible()
{
    if (Visible())
        SetFocus();
}

void TqxMonthCalendar::Loaded()
{
    TWinControl::Loaded();
    if (HandleAllocated())
        RecreateWnd();
}

void TqxMonthCalendar::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "SysMonthCal32";
    if (c->options.Contains(mdoDayState))
        params.Style |= MCS_DAYSTATE;
    if (c->options.Contains(mdoMultiSelect))
        params.Style |= MCS_MULTISELECT;
    if (c->options.Contains(mdoWeekNumbers))
        params.Style |= MCS_WEEKNUMBERS;
    if (c->options.Contains(mdoNoTodayCircle))
        params.Style |= MCS_NOTODAYCIRCLE;
    if (c->options.Contains(mdoNoToday))
        params.Style |= MCS_NOTODAY;
    if (c->borderStyle == bsSingle)
        params.Style |= WS_BORDER;
}

void TqxMonthCalendar::CreateWnd()
{
    TWinControl::CreateWnd();
    c->SendRange();
    if (c->Multi()) {
        Perform(MCM_SETMAXSELCOUNT, static_cast<WPARAM>(c->maxSelectCount), 0);
        if (Days(c->selStart) != 0 && Days(c->selEnd) != 0)
            c->SendSelRange();
        else
            c->Apply(c->date);
    } else {
        c->Apply(c->date);
    }
    for (int i = 0; i < 6; ++i)
        Perform(MCM_SETCOLOR, static_cast<WPARAM>(i), static_cast<LPARAM>(ColorToRGB(c->colors->Color(i))));
    c->SendFirstDay();
    c->GrowToMinimum();
}

void TqxMonthCalendar::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case CN_NOTIFY: {
        auto *header = reinterpret_cast<NMHDR *>(message.LParam);
        message.Result = 0;
        if (header && header->code == MCN_SELCHANGE)
            return c->SelectionChanged(*reinterpret_cast<NMSELCHANGE *>(header));
        if (header && header->code == MCN_GETDAYSTATE)
            return c->DayState(*reinterpret_cast<NMDAYSTATE *>(header));
        return TWinControl::Dispatch(message);
    }
    case CM_FONTCHANGED:
        TWinControl::Dispatch(message);
        c->GrowToMinimum();
        Invalidate();
        return;
    case CM_COLORCHANGED:
        TWinControl::Dispatch(message);
        if (HandleAllocated())
            Invalidate();
        return;
    default:
        return TWinControl::Dispatch(message);
    }
}

void TqxMonthCalendar::WndProc(TMessage &message)
{
    if (!ComponentState().Contains(csDesigning) && Visible()) {
        const int x = LoWordSigned(message.LParam), y = HiWordSigned(message.LParam);
        const auto outsideLimits = [this](const MCHITTESTINFO &hit) {
            if (hit.st.wDay < 1 || hit.st.wDay > 31 || hit.st.wYear > 9999)
                return false;
            TDateTime day;
            return CutDate(hit.st.wYear, hit.st.wMonth, hit.st.wDay, day) && (After(day, c->maxDate) || Before(day, c->minDate));
        };
        switch (message.Msg) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: {
            const MCHITTESTINFO hit = c->HitTest(x, y);
            if (outsideLimits(hit)) {
                if (message.Msg == WM_LBUTTONUP)
                    MouseUp(mbLeft, ShiftOfKeys(message.WParam), x, y);
                message.Result = 1;
                return;
            }
            break;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            c->yearShowingAtDown = c->yearPopup && c->yearPopup->Showing();
            c->monthShowingAtDown = c->monthPopup->Showing();
            const MCHITTESTINFO hit = c->HitTest(x, y);
            if (hit.uHit == MCHT_TITLEMONTH || hit.uHit == MCHT_TITLEYEAR || hit.uHit == MCHT_TITLEBTNNEXT ||
                hit.uHit == MCHT_TITLEBTNPREV || outsideLimits(hit)) {
                MouseDown(mbLeft, ShiftOfKeys(message.WParam), x, y);
                message.Result = 1;
                return;
            }
            break;
        }
        default:
            break;
        }
    }
    TWinControl::WndProc(message);
}

void TqxMonthCalendar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbRight) {
        TWinControl::MouseDown(button, shift, x, y);
        return;
    }
    if (!InheritsFromClassNamed(Owner(), "TqxDBCustomDateTimePicker"))
        SetFocusWhenVisible();
    const MCHITTESTINFO hit = c->HitTest(x, y);
    const int day = hit.st.wDay >= 1 && hit.st.wDay <= 32 ? hit.st.wDay : 0;
    std::weak_ptr<int> alive = AliveToken();
    OnMouseDown(this, button, shift, x, y, hit.st.wMonth, day, hit.st.wYear);
    if (alive.expired())
        return;
    if (hit.st.wDay >= 1 && hit.st.wDay <= 31) {
        c->yearJustShown = c->monthJustShown = false;
        TDateTime when;
        if (CutDate(hit.st.wYear, hit.st.wMonth, hit.st.wDay, when)) {
            if (After(when, c->maxDate))
                return SetDate(c->maxDate);
            if (Before(when, c->minDate))
                return SetDate(c->minDate);
        }
    } else if (hit.uHit == MCHT_TITLEBTNNEXT || hit.uHit == MCHT_TITLEBTNPREV) {
        return c->Scroll(hit.uHit == MCHT_TITLEBTNNEXT);
    }
    switch (hit.uHit) {
    case MCHT_TITLEYEAR:
        return c->TitleYear(hit, x, y);
    case MCHT_TITLEMONTH:
        return c->TitleMonth(hit, x, y);
    default:
        c->yearJustShown = c->monthJustShown = false;
        return;
    }
}

void TqxMonthCalendar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    const MCHITTESTINFO hit = c->HitTest(x, y);
    const int day = hit.st.wDay >= 1 && hit.st.wDay <= 32 ? hit.st.wDay : 0;
    std::weak_ptr<int> alive = AliveToken();
    OnMouseUp(this, button, shift, x, y, hit.st.wMonth, day, hit.st.wYear);
    if (alive.expired())
        return;
    if (c->Multi() && c->changePending)
        Change();
    c->changePending = false;
}

void TqxMonthCalendar::MouseMove(TShiftState shift, int x, int y)
{
    const MCHITTESTINFO hit = c->HitTest(x, y);
    OnMouseMove(this, shift, x, y, hit.st.wMonth, hit.st.wDay, hit.st.wYear);
}

bool TqxMonthCalendar::WantsKey(uint16_t key) const
{
    const bool ctrl = KeyboardShiftState().Contains(ssCtrl);
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        return !ctrl;
    default:
        return TWinControl::WantsKey(key);
    }
}

void TqxMonthCalendar::KeyDown(uint16_t &key, TShiftState shift)
{
    TWinControl::KeyDown(key, shift);
    if (key != VK_PRIOR && key != VK_NEXT && key != VK_LEFT && key != VK_UP && key != VK_RIGHT && key != VK_DOWN)
        return;
    TDateTime selected = 0;
    const bool single = c->Selection(selected);
    if (!single && (key == VK_PRIOR || key == VK_NEXT)) {
        key = 0;
        return;
    }
    if (key == VK_PRIOR || key == VK_NEXT) {
        const YMD d = YMD::Of(selected);
        const int index = d.Year * 12 + d.Month - 1 + (key == VK_NEXT ? 1 : -1);
        TDateTime when;
        if (CutDate(index / 12, index % 12 + 1, d.Day, when))
            SetDate(when);
    } else {
        const int step = key == VK_LEFT ? -1 : key == VK_RIGHT ? 1 : key == VK_UP ? -7 : 7;
        if (c->Multi() && shift.Contains(ssShift)) {
            const TDateTime anchor = std::trunc(c->date);
            if (c->selEnd > anchor) {
                c->selStart = anchor;
                SetSelEnd(c->selEnd + step);
            } else {
                c->selEnd = anchor;
                SetSelStart(c->selStart + step);
            }
        } else {
            SetDate(c->date + step);
        }
    }
    Change();
    key = 0;
}

void TqxMonthCalendar::Change()
{
    OnChange(this);
}
