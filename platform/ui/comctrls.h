#pragma once

#include <cstdint>
#include <memory>

#include "platform/rtl/datetime.h"
#include "platform/rtl/strings.h"
#include "platform/ui/controls.h"

// The common controls' month calendar, window class "SysMonthCal32": a
// window that a TWinControl gets by naming the class in CreateParams once
// the date classes are initialised (CheckCommonControl(ICC_DATE_CLASSES)).
// The control talks to it as to the native one: MCM_ messages in, MCN_
// notifications back to the control as CN_NOTIFY.

// Common-control classes to initialise.
constexpr uint32_t ICC_DATE_CLASSES = 0x00000100;
// Makes the classes known to CreateParams; raises EComponentError when a
// class cannot be had here.
void CheckCommonControl(uint32_t classes);

// The first day of the week in the user's regional settings (the POSIX
// locale of LC_ALL, LC_TIME or LANG): 0 = Monday .. 6 = Sunday.
int LocaleFirstDayOfWeek();

struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0; // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};
SYSTEMTIME DateTimeToSystemTime(TDateTime dateTime);
// The date and time a SYSTEMTIME names; false when it names none.
bool TrySystemTimeToDateTime(const SYSTEMTIME &st, TDateTime &dateTime);

struct NMHDR {
    HWND hwndFrom = nullptr;
    uintptr_t idFrom = 0;
    int32_t code = 0;
};
constexpr uint32_t WM_NOTIFY = 0x004E;
constexpr uint32_t CN_NOTIFY = CN_BASE + WM_NOTIFY;

using MONTHDAYSTATE = uint32_t; // bit d - 1: day d is bold

// Messages (WParam, LParam).
constexpr uint32_t MCM_FIRST = 0x1000;
constexpr uint32_t MCM_GETCURSEL = MCM_FIRST + 1;          // 0, SYSTEMTIME *
constexpr uint32_t MCM_SETCURSEL = MCM_FIRST + 2;          // 0, const SYSTEMTIME *
constexpr uint32_t MCM_GETMAXSELCOUNT = MCM_FIRST + 3;
constexpr uint32_t MCM_SETMAXSELCOUNT = MCM_FIRST + 4;     // count, 0
constexpr uint32_t MCM_GETSELRANGE = MCM_FIRST + 5;        // 0, SYSTEMTIME[2]
constexpr uint32_t MCM_SETSELRANGE = MCM_FIRST + 6;        // 0, const SYSTEMTIME[2]
constexpr uint32_t MCM_GETMONTHRANGE = MCM_FIRST + 7;      // GMR_*, SYSTEMTIME[2]; answers the count of months
constexpr uint32_t MCM_SETDAYSTATE = MCM_FIRST + 8;        // count, const MONTHDAYSTATE *
constexpr uint32_t MCM_GETMINREQRECT = MCM_FIRST + 9;      // 0, TRect *
constexpr uint32_t MCM_SETCOLOR = MCM_FIRST + 10;          // MCSC_*, colour; answers the old one
constexpr uint32_t MCM_GETCOLOR = MCM_FIRST + 11;          // MCSC_*, 0
constexpr uint32_t MCM_SETTODAY = MCM_FIRST + 12;          // 0, const SYSTEMTIME * (null: the clock's)
constexpr uint32_t MCM_GETTODAY = MCM_FIRST + 13;          // 0, SYSTEMTIME *
constexpr uint32_t MCM_HITTEST = MCM_FIRST + 14;           // 0, MCHITTESTINFO *
constexpr uint32_t MCM_SETFIRSTDAYOFWEEK = MCM_FIRST + 15; // 0, 0 = Monday .. 6 = Sunday
constexpr uint32_t MCM_GETFIRSTDAYOFWEEK = MCM_FIRST + 16;
constexpr uint32_t MCM_GETRANGE = MCM_FIRST + 17;          // 0, SYSTEMTIME[2]; answers GDTR_ flags
constexpr uint32_t MCM_SETRANGE = MCM_FIRST + 18;          // GDTR_ flags, const SYSTEMTIME[2]
constexpr uint32_t MCM_GETMONTHDELTA = MCM_FIRST + 19;
constexpr uint32_t MCM_SETMONTHDELTA = MCM_FIRST + 20;     // months, 0 (0: the visible months)

constexpr WPARAM GMR_VISIBLE = 0;  // whole months shown
constexpr WPARAM GMR_DAYSTATE = 1; // with the months whose days trail at the edges
constexpr WPARAM GDTR_MIN = 1;
constexpr WPARAM GDTR_MAX = 2;

// Colours.
constexpr WPARAM MCSC_BACKGROUND = 0;
constexpr WPARAM MCSC_TEXT = 1;
constexpr WPARAM MCSC_TITLEBK = 2;
constexpr WPARAM MCSC_TITLETEXT = 3;
constexpr WPARAM MCSC_MONTHBK = 4;
constexpr WPARAM MCSC_TRAILINGTEXT = 5;

// Styles.
constexpr uint32_t MCS_DAYSTATE = 0x0001;
constexpr uint32_t MCS_MULTISELECT = 0x0002;
constexpr uint32_t MCS_WEEKNUMBERS = 0x0004;
constexpr uint32_t MCS_NOTODAYCIRCLE = 0x0008;
constexpr uint32_t MCS_NOTODAY = 0x0010;

// Hit-test codes.
constexpr uint32_t MCHT_NOWHERE = 0x00000000;
constexpr uint32_t MCHT_TITLE = 0x00010000;
constexpr uint32_t MCHT_CALENDAR = 0x00020000;
constexpr uint32_t MCHT_TODAYLINK = 0x00030000;
constexpr uint32_t MCHT_NEXT = 0x01000000;
constexpr uint32_t MCHT_PREV = 0x02000000;
constexpr uint32_t MCHT_TITLEBK = MCHT_TITLE;
constexpr uint32_t MCHT_TITLEMONTH = MCHT_TITLE | 0x0001;
constexpr uint32_t MCHT_TITLEYEAR = MCHT_TITLE | 0x0002;
constexpr uint32_t MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003;
constexpr uint32_t MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003;
constexpr uint32_t MCHT_CALENDARBK = MCHT_CALENDAR;
constexpr uint32_t MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001;
constexpr uint32_t MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT;
constexpr uint32_t MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV;
constexpr uint32_t MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002;
constexpr uint32_t MCHT_CALENDARWEEKNUM = MCHT_CALENDAR | 0x0003;

struct MCHITTESTINFO {
    uint32_t cbSize = sizeof(MCHITTESTINFO);
    TPoint pt;
    uint32_t uHit = MCHT_NOWHERE;
    SYSTEMTIME st; // the date under the point: the day, or the month and year of a title
};

// Notifications.
constexpr int32_t MCN_FIRST = -750;
constexpr int32_t MCN_SELCHANGE = MCN_FIRST + 1;
constexpr int32_t MCN_GETDAYSTATE = MCN_FIRST + 3;
constexpr int32_t MCN_SELECT = MCN_FIRST + 4;

struct NMSELCHANGE {
    NMHDR nmhdr;
    SYSTEMTIME stSelStart;
    SYSTEMTIME stSelEnd;
};
using NMSELECT = NMSELCHANGE;

// The control asks for the bold days of cDayState months from stStart on
// and reads them from prgDayState, which the answerer keeps alive.
struct NMDAYSTATE {
    NMHDR nmhdr;
    SYSTEMTIME stStart;
    int cDayState = 0;
    MONTHDAYSTATE *prgDayState = nullptr;
};

// ---- Tab control ------------------------------------------------------------------

using TTabChangingEvent = TEvent<TObject *, bool & /*AllowChange*/>;

// A row of tabs over a page area. Choosing a tab asks OnChanging, then runs
// OnChange; setting TabIndex from code runs neither.
class TTabControl : public TWinControl
{
public:
    explicit TTabControl(TComponent *owner);
    ~TTabControl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *Tabs() const;
    void SetTabs(TStrings *tabs);
    int TabIndex() const { return tabIndex_; } // -1: none
    void SetTabIndex(int index);

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    virtual bool CanChange();
    virtual void Change();

private:
    void TabsChanged();
    void ApplyTabs();
    void UserChose(int index);
    std::unique_ptr<TStringList> tabs_;
    int tabIndex_ = -1;
    bool applying_ = false;
};

// ---- Progress bar -----------------------------------------------------------------

// A bar that fills from Min to Max as Position grows, window class
// "msctls_progress32". Position stays within Min..Max.
class TProgressBar : public TWinControl
{
public:
    explicit TProgressBar(TComponent *owner);
    ~TProgressBar() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Range and place
    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Position() const { return position_; }
    void SetPosition(int value);

    // Stepping
    int Step() const { return step_; }
    void SetStep(int value) { step_ = value; }
    void StepIt(); // Position + Step, back to Min past Max, as the native bar wraps
    void StepBy(int delta);

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;

private:
    void ApplyRange();
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int step_ = 10;
};
