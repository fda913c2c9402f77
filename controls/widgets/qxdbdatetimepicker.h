#pragma once

#include <memory>

#include "controls/widgets/qxdttext.h"
#include "controls/widgets/qxmonthcalendar.h"
#include "platform/ui/buttons.h"
#include "platform/ui/stdctrls.h"

// The date/time picker: a single-line edit for a date, a time or both, on a
// dataset field or unbound, edited part by part, with a month calendar that
// drops down from a button at its right edge.

class TDataSource;
class TField;
class TqxDBCustomDateTimePicker;

enum TqxDTCalAlignment { qxdtaLeft, qxdtaRight, qxdtaCenter };

// How the drop-down calendar looks and where it drops.
class TqxCalendarOptions : public TPersistent
{
public:
    explicit TqxCalendarOptions(TqxDBCustomDateTimePicker *picker);
    ~TqxCalendarOptions() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TqxDTCalAlignment Alignment() const { return alignment_; }
    void SetAlignment(TqxDTCalAlignment alignment) { alignment_ = alignment; }
    TqxDateTimeColors *Colors() const { return colors_.get(); }
    void SetColors(TqxDateTimeColors *colors) { colors_->Assign(colors); }
    TFont *Font() const { return font_.get(); }
    void SetFont(TFont *font) { font_->Assign(font); }
    TqxMonthOptions Options() const { return options_; }
    void SetOptions(TqxMonthOptions options) { options_ = options; }
    TqxPopupYearOptions *PopupYearOptions() const { return yearOptions_.get(); }
    void SetPopupYearOptions(TqxPopupYearOptions *options) { yearOptions_->Assign(options); }
    TqxCalDayOfWeek FirstDayOfWeek() const { return firstDayOfWeek_; }
    void SetFirstDayOfWeek(TqxCalDayOfWeek day) { firstDayOfWeek_ = day; }
    // The calendar's size; 0 uses its smallest.
    int Width() const { return width_; }
    void SetWidth(int width) { width_ = width; }
    int Height() const { return height_; }
    void SetHeight(int height) { height_ = height; }

private:
    TqxDTCalAlignment alignment_ = qxdtaLeft;
    std::unique_ptr<TqxDateTimeColors> colors_;
    std::unique_ptr<TFont> font_;
    TqxMonthOptions options_ { mdoDayState };
    std::unique_ptr<TqxPopupYearOptions> yearOptions_;
    TqxCalDayOfWeek firstDayOfWeek_ = qxdowLocaleDefault;
    int width_ = 0;
    int height_ = 0;
};

// The calendar that drops down: a window of its own on the desktop that
// draws as focused without taking the focus from the picker.
class TqxPopupCalendar : public TqxMonthCalendar
{
public:
    explicit TqxPopupCalendar(TqxDBCustomDateTimePicker *picker);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void SetFocusWhenVisible() override {}
    // Frees the calendar now, or once the message or change it is handling
    // is over: the picker lets it go on its exit, which a handler run from
    // the calendar may cause.
    void Release();

protected:
    void CreateParams(TCreateParams &params) override;
    void Change() override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void WndProc(TMessage &message) override;

private:
    // Counts the calendar's handlers running; the last one out frees a released calendar.
    struct Busy {
        TqxPopupCalendar &calendar;
        explicit Busy(TqxPopupCalendar &c);
        ~Busy();
    };
    TqxDBCustomDateTimePicker *picker_;
    int busy_ = 0;
    bool released_ = false;
};

// The drop-down button, with the system's combo-box arrow as its glyph.
class TqxDateComboButton : public TSpeedButton
{
public:
    explicit TqxDateComboButton(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

};

class TqxDBCustomDateTimePicker : public TCustomEdit
{
public:
    explicit TqxDBCustomDateTimePicker(TComponent *owner);
    ~TqxDBCustomDateTimePicker() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Value
    TDateTime Date() const; // commits digits being typed
    void SetDate(TDateTime date);
    TDateTime Time() const;
    void SetTime(TDateTime time);
    TDateTime MaxDate() const;
    void SetMaxDate(TDateTime date);
    TDateTime MinDate() const;
    void SetMinDate(TDateTime date);
    int Epoch() const;
    void SetEpoch(int epoch);

    // Data
    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    std::string DataField() const;
    void SetDataField(const std::string &name);
    TField *Field() const;
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);

    // Formats
    TqxDTEditDataType UnboundDataType() const;
    void SetUnboundDataType(TqxDTEditDataType type);
    std::string DisplayFormat() const;
    void SetDisplayFormat(const std::string &format);
    TDTDateFormat DateFormat() const;
    void SetDateFormat(TDTDateFormat format);
    bool Lumino() const { return false; }

    // The calendar
    TqxCalendarOptions *CalendarAttributes() const;
    void SetCalendarAttributes(TqxCalendarOptions *options);
    bool ShowButton() const;
    virtual void SetShowButton(bool show);
    virtual void DropDown();
    virtual void CloseUp(bool accept);
    virtual bool DroppedDown() const;
    virtual bool CanAcceptCalendarDate() const;
    TqxPopupCalendar *Calendar() const; // while it exists: from the first drop-down to the exit
    TqxDateComboButton *Button() const;

    // The text engine, for the grid and the tests
    TqxDateTimeText &Engine() const;

    // Events
    TCalcBoldDayEvent OnCalcBoldDay;
    TNotifyEvent OnCloseUp;
    TNotifyEvent OnDropDown;

protected:
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CreateParams(TCreateParams &params) override;
    void Dispatch(TMessage &message) override;
    void WndProc(TMessage &message) override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void Change() override;
    void DoExit() override;
    bool WantsKey(uint16_t key) const override;
    virtual bool BeginEdit();
    // Whether the user may change the value now (read-only flags, the field,
    // the dataset's state and its source's AutoEdit).
    bool CanEditNow() const;

private:
    struct Impl;
    std::unique_ptr<Impl> const p;
    friend class TqxPopupCalendar;
    friend class TqxDateComboButton;
};

class TqxDBDateTimePicker : public TqxDBCustomDateTimePicker
{
public:
    using TqxDBCustomDateTimePicker::TqxDBCustomDateTimePicker;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
