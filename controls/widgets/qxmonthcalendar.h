#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/controls.h"
#include "platform/ui/menus.h"

// The month calendar: the common controls' calendar with date limits that
// every way of choosing a date respects, year and month popups on the title,
// bold days from an event, mouse events that tell the date under the
// pointer, and a change event.

enum TqxMonthOption { mdoDayState, mdoWeekNumbers, mdoNoToday, mdoNoTodayCircle, mdoMultiSelect };
using TqxMonthOptions = TSet<TqxMonthOption>;
enum TqxCalDayOfWeek {
    qxdowMonday, qxdowTuesday, qxdowWednesday, qxdowThursday, qxdowFriday, qxdowSaturday, qxdowSunday,
    qxdowLocaleDefault,
};

using TCalcBoldDayEvent = TEvent<TObject *, TDateTime, int, int, int, bool &>; // ADate, Month, Day, Year, Accept
using TmcMouseUPDownEvent = TEvent<TObject *, TMouseButton, TShiftState, int, int, int, int, int>; // X, Y, Month, Day, Year
using TmcMouseMoveEvent = TEvent<TObject *, TShiftState, int, int, int, int, int>;

class TqxMonthCalendar;

// The six colours of the calendar; the background is not published and
// never changes.
class TqxDateTimeColors : public TPersistent
{
public:
    explicit TqxDateTimeColors(TControl *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TColor TextColor() const { return colors_[1]; }
    void SetTextColor(TColor color) { SetColor(1, color); }
    TColor TitleBackColor() const { return colors_[2]; }
    void SetTitleBackColor(TColor color) { SetColor(2, color); }
    TColor TitleTextColor() const { return colors_[3]; }
    void SetTitleTextColor(TColor color) { SetColor(3, color); }
    TColor MonthBackColor() const { return colors_[4]; }
    void SetMonthBackColor(TColor color) { SetColor(4, color); }
    TColor TrailingTextColor() const { return colors_[5]; }
    void SetTrailingTextColor(TColor color) { SetColor(5, color); }

    // Colour number i as the control's colour index i (MCSC_BACKGROUND ...).
    TColor Color(int index) const { return colors_[static_cast<size_t>(index)]; }
    void SetColor(int index, TColor color);
    void Assign(const TPersistent *source) override;

private:
    TControl *owner_;
    std::array<TColor, 6> colors_;
};

class TqxPopupYearOptions : public TPersistent
{
public:
    TqxPopupYearOptions() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int YearsPerColumn() const { return yearsPerColumn_; }
    void SetYearsPerColumn(int value) { yearsPerColumn_ = value; }
    int NumberColumns() const { return numberColumns_; }
    void SetNumberColumns(int value) { numberColumns_ = value; }
    int StartYear() const { return startYear_; }
    void SetStartYear(int value) { startYear_ = value; }
    bool ShowEditYear() const { return showEditYear_; }
    void SetShowEditYear(bool value) { showEditYear_ = value; }
    void Assign(const TPersistent *source) override;

private:
    int yearsPerColumn_ = 10;
    int numberColumns_ = 2;
    int startYear_ = 1990;
    bool showEditYear_ = false;
};

// A popup menu that knows whether it is open (its Popup is modal).
class TCalendarPopupMenu : public TPopupMenu
{
public:
    explicit TCalendarPopupMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    bool Showing() const { return showing_; }
    void Popup(int x, int y) override;

private:
    bool showing_ = false;
};

class TqxMonthCalendar : public TWinControl
{
public:
    explicit TqxMonthCalendar(TComponent *owner);
    ~TqxMonthCalendar() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Value
    TDateTime Date() const;
    void SetDate(TDateTime date);
    TDateTime Time() const;
    void SetTime(TDateTime time);
    TDateTime MaxDate() const;
    void SetMaxDate(TDateTime date);
    TDateTime MinDate() const;
    void SetMinDate(TDateTime date);
    // The selected range with mdoMultiSelect (0: none).
    TDateTime SelStart() const;
    void SetSelStart(TDateTime date);
    TDateTime SelEnd() const;
    void SetSelEnd(TDateTime date);

    // Look and behaviour
    TBorderStyle BorderStyle() const;
    void SetBorderStyle(TBorderStyle style);
    TqxDateTimeColors *CalColors() const;
    void SetCalColors(TqxDateTimeColors *colors);
    TqxMonthOptions Options() const;
    virtual void SetOptions(TqxMonthOptions options);
    TqxPopupYearOptions *PopupYearOptions() const;
    void SetPopupYearOptions(TqxPopupYearOptions *options);
    TqxCalDayOfWeek FirstDayOfWeek() const;
    void SetFirstDayOfWeek(TqxCalDayOfWeek day);
    int MaxSelectCount() const;
    void SetMaxSelectCount(int count);
    void SetBounds(int left, int top, int width, int height) override;

    // The popups on the title (the year popup exists after its first use)
    TCalendarPopupMenu *YearPopup() const;
    TCalendarPopupMenu *MonthPopup() const;

    // Takes the focus when the calendar is visible.
    virtual void SetFocusWhenVisible();

    // Events
    TCalcBoldDayEvent OnCalcBoldDay;
    TNotifyEvent OnChange;
    TmcMouseUPDownEvent OnMouseDown;
    TmcMouseMoveEvent OnMouseMove;
    TmcMouseUPDownEvent OnMouseUp;

protected:
    void Loaded() override;
    void WndProc(TMessage &message) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void Dispatch(TMessage &message) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    bool WantsKey(uint16_t key) const override;
    virtual void Change();

private:
    struct Impl;
    std::unique_ptr<Impl> const c;
    friend class TqxDateTimeColors;
};
