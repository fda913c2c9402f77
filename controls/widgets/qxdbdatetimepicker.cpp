#include "controls/widgets/qxdbdatetimepicker.h"

#include <algorithm>
#include <cmath>

#include "controls/base/Qxintl.h"
#include "controls/widgets/qxwidgets_p.h"
#include "platform/classes/typinfo.h"
#include "platform/db/db.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/clipbrd.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

using namespace qxwidgets;

const TMetaClass TqxCalendarOptions::Class { "TqxCalendarOptions", &TPersistent::Class };
const TMetaClass TqxPopupCalendar::Class { "TqxPopupCalendar", &TqxMonthCalendar::Class };
const TMetaClass TqxDateComboButton::Class { "TqxDateComboButton", &TSpeedButton::Class };
const TMetaClass TqxDBCustomDateTimePicker::Class { "TqxDBCustomDateTimePicker", &TCustomEdit::Class };
const TMetaClass TqxDBDateTimePicker::Class { "TqxDBDateTimePicker", &TqxDBCustomDateTimePicker::Class };

// clang-format off
namespace {

const TEnumNames CalAlignmentNames = {"qxdtaLeft", "qxdtaRight", "qxdtaCenter"};
const TEnumNames MonthOptionNames = {"mdoDayState", "mdoWeekNumbers", "mdoNoToday", "mdoNoTodayCircle", "mdoMultiSelect"};
const TEnumNames DayOfWeekNames = {"qxdowMonday", "qxdowTuesday", "qxdowWednesday", "qxdowThursday", "qxdowFriday",
                                   "qxdowSaturday", "qxdowSunday", "qxdowLocaleDefault"};
const TEnumNames DataTypeNames = {"qxDTEdtDate", "qxDTEdtTime", "qxDTEdtDateTime"};
const TEnumNames DateFormatNames = {"dfShort", "dfLong"};
const TEnumNames BorderStyleNames = {"bsNone", "bsSingle"};

using PO = TPublish<TqxCalendarOptions>;
const TClassRegistrar<TqxCalendarOptions> optionsRegistrar({
    //             name                getter                                  setter                                     default
    PO::Enum      ("Alignment",        CalAlignmentNames,
                                       &TqxCalendarOptions::Alignment,         &TqxCalendarOptions::SetAlignment,         qxdtaLeft),
    PO::Persistent("Colors",           &TqxCalendarOptions::Colors,            &TqxCalendarOptions::SetColors),
    PO::Persistent("Font",             &TqxCalendarOptions::Font,              &TqxCalendarOptions::SetFont),
    PO::Set       ("Options",          MonthOptionNames,
                                       &TqxCalendarOptions::Options,           &TqxCalendarOptions::SetOptions,           TqxMonthOptions { mdoDayState }),
    PO::Persistent("PopupYearOptions", &TqxCalendarOptions::PopupYearOptions,  &TqxCalendarOptions::SetPopupYearOptions),
    PO::Enum      ("FirstDayOfWeek",   DayOfWeekNames,
                                       &TqxCalendarOptions::FirstDayOfWeek,    &TqxCalendarOptions::SetFirstDayOfWeek,    qxdowLocaleDefault),
});

const TClassRegistrar<TqxPopupCalendar> popupCalendarRegistrar({});
const TClassRegistrar<TqxDateComboButton> buttonRegistrar({});
const TClassRegistrar<TqxDBCustomDateTimePicker> customPickerRegistrar({});

using PP = TPublish<TqxDBDateTimePicker>;
const TClassRegistrar<TqxDBDateTimePicker> pickerRegistrar({
    PP::Boolean   ("AutoSize",         &TqxDBDateTimePicker::AutoSize,         &TqxDBDateTimePicker::SetAutoSize,         true),
    PP::Enum      ("BorderStyle",      BorderStyleNames,
                                       &TqxDBDateTimePicker::BorderStyle,      &TqxDBDateTimePicker::SetBorderStyle,      bsSingle),
    PP::Persistent("CalendarAttributes", &TqxDBDateTimePicker::CalendarAttributes, &TqxDBDateTimePicker::SetCalendarAttributes),
    PP::Integer   ("Color",            &TqxDBDateTimePicker::Color,            &TqxDBDateTimePicker::SetColor,            clWindow),
    PP::String    ("DataField",        &TqxDBDateTimePicker::DataField,        &TqxDBDateTimePicker::SetDataField,        ""),
    PP::Enum      ("DateFormat",       DateFormatNames,
                                       &TqxDBDateTimePicker::DateFormat,       &TqxDBDateTimePicker::SetDateFormat,       dfShort),
    PP::Component ("DataSource",       &TqxDBDateTimePicker::DataSource,       &TqxDBDateTimePicker::SetDataSource),
    PP::Date      ("Date",             &TqxDBDateTimePicker::Date,             &TqxDBDateTimePicker::SetDate,             NoDefault),
    PP::Integer   ("Epoch",            &TqxDBDateTimePicker::Epoch,            &TqxDBDateTimePicker::SetEpoch,            NoDefault),
    PP::Date      ("Time",             &TqxDBDateTimePicker::Time,             &TqxDBDateTimePicker::SetTime,             NoDefault),
    PP::Boolean   ("Enabled",          &TqxDBDateTimePicker::Enabled,          &TqxDBDateTimePicker::SetEnabled,          true),
    PP::Persistent("Font",             &TqxDBDateTimePicker::Font,             &TqxDBDateTimePicker::SetFont),
    PP::Date      ("MaxDate",          &TqxDBDateTimePicker::MaxDate,          &TqxDBDateTimePicker::SetMaxDate,          0),
    PP::Date      ("MinDate",          &TqxDBDateTimePicker::MinDate,          &TqxDBDateTimePicker::SetMinDate,          0),
    PP::Boolean   ("ParentColor",      &TqxDBDateTimePicker::ParentColor,      &TqxDBDateTimePicker::SetParentColor,      false),
    PP::Boolean   ("ParentFont",       &TqxDBDateTimePicker::ParentFont,       &TqxDBDateTimePicker::SetParentFont,       true),
    PP::Boolean   ("ReadOnly",         &TqxDBDateTimePicker::ReadOnly,         &TqxDBDateTimePicker::SetReadOnly,         false),
    PP::Boolean   ("ShowButton",       &TqxDBDateTimePicker::ShowButton,       &TqxDBDateTimePicker::SetShowButton,       NoDefault),
    PP::Integer   ("TabOrder",         &TqxDBDateTimePicker::TabOrder,         &TqxDBDateTimePicker::SetTabOrder,         -1),
    PP::Enum      ("UnboundDataType",  DataTypeNames,
                                       &TqxDBDateTimePicker::UnboundDataType,  &TqxDBDateTimePicker::SetUnboundDataType,  qxDTEdtDateTime),
    PP::String    ("DisplayFormat",    &TqxDBDateTimePicker::DisplayFormat,    &TqxDBDateTimePicker::SetDisplayFormat,    ""),
    PP::Boolean   ("Visible",          &TqxDBDateTimePicker::Visible,          &TqxDBDateTimePicker::SetVisible,          true),
    PP::Event     ("OnCalcBoldDay",    &TqxDBDateTimePicker::OnCalcBoldDay),
    PP::Event     ("OnClick",          &TqxDBDateTimePicker::OnClick),
    PP::Event     ("OnCloseUp",        &TqxDBDateTimePicker::OnCloseUp),
    PP::Event     ("OnChange",         &TqxDBDateTimePicker::OnChange),
    PP::Event     ("OnDropDown",       &TqxDBDateTimePicker::OnDropDown),
    PP::Event     ("OnDblClick",       &TqxDBDateTimePicker::OnDblClick),
    PP::Event     ("OnEnter",          &TqxDBDateTimePicker::OnEnter),
    PP::Event     ("OnExit",           &TqxDBDateTimePicker::OnExit),
    PP::Event     ("OnKeyDown",        &TqxDBDateTimePicker::OnKeyDown),
    PP::Event     ("OnKeyPress",       &TqxDBDateTimePicker::OnKeyPress),
    PP::Event     ("OnKeyUp",          &TqxDBDateTimePicker::OnKeyUp),
});

} // namespace
// clang-format on

namespace {


// The width of a vertical scroll bar (SM_CXVSCROLL) on the classic desktop.
int ScrollBarWidth() { return 16; }

// The grid's options that the picker reads, by their bit in TqxDBGridOptions.
constexpr int dgAlwaysShowEditor = 1;
constexpr int dgTabs = 7;

} // namespace

// ---- Calendar options, popup calendar, button ----------------------------------

TqxCalendarOptions::TqxCalendarOptions(TqxDBCustomDateTimePicker *picker)
    : colors_(std::make_unique<TqxDateTimeColors>(picker))
    , font_(std::make_unique<TFont>())
    , yearOptions_(std::make_unique<TqxPopupYearOptions>())
{
}

TqxCalendarOptions::~TqxCalendarOptions() = default;

TqxPopupCalendar::TqxPopupCalendar(TqxDBCustomDateTimePicker *picker)
    : TqxMonthCalendar(picker)
    , picker_(picker)
{
}

void TqxPopupCalendar::CreateParams(TCreateParams &params)
{
    TqxMonthCalendar::CreateParams(params);
    params.Style |= WS_BORDER;
    params.ExStyle |= WS_EX_TOOLWINDOW;
    params.WndParent = GetDesktopWindow();
}

void TqxPopupCalendar::KeyDown(uint16_t &key, TShiftState shift)
{
    TqxMonthCalendar::KeyDown(key, shift);
}

TqxPopupCalendar::Busy::Busy(TqxPopupCalendar &c)
    : calendar(c)
{
    ++calendar.busy_;
}

TqxPopupCalendar::Busy::~Busy()
{
    if (--calendar.busy_ == 0 && calendar.released_)
        delete &calendar;
}

void TqxPopupCalendar::Release()
{
    if (busy_)
        released_ = true;
    else
        delete this;
}

void TqxPopupCalendar::WndProc(TMessage &message)
{
    // The calendar draws as focused but never becomes the form's focused
    // control: that would make the picker exit while the calendar is open.
    if (message.Msg == WM_SETFOCUS)
        return DefaultHandler(message);
    Busy busy(*this);
    TqxMonthCalendar::WndProc(message);
    if (message.Msg != WM_LBUTTONUP || released_)
        return;
    MCHITTESTINFO hit;
    hit.pt = { LoWordSigned(message.LParam), HiWordSigned(message.LParam) };
    Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    // Any date, the grey ones of the neighbouring months too, and the area's
    // background close it; the day names and week numbers do not.
    if ((hit.uHit & MCHT_CALENDAR) == MCHT_CALENDAR && hit.uHit != MCHT_CALENDARDAY && hit.uHit != MCHT_CALENDARWEEKNUM)
        picker_->CloseUp(true);
}

TqxDateComboButton::TqxDateComboButton(TComponent *owner)
    : TSpeedButton(owner)
{
    // The arrow of a combo box: seven pixels wide, four high.
    TBitmap arrow;
    arrow.SetSize(7, 4);
    TCanvas *canvas = arrow.Canvas();
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(Rect(0, 0, 7, 4));
    canvas->Pen()->SetColor(clBtnText);
    for (int row = 0; row < 4; ++row) {
        canvas->MoveTo(row, row);
        canvas->LineTo(7 - row, row);
    }
    SetGlyph(&arrow);
}

// ---- The picker -------------------------------------------------------------------

struct TqxDBCustomDateTimePicker::Impl : public TqxDateTimeTextHost {
    TqxDBCustomDateTimePicker &q;
    TqxDateTimeText engine { *this };
    TqxPopupCalendar *calendar = nullptr;
    bool closing = false;
    std::unique_ptr<TqxCalendarOptions> attributes;
    TDateTime enterValue = 0;
    TFieldDataLink link;
    TCustomPanel *panel = nullptr;
    TqxDateComboButton *button = nullptr;
    TAlignment alignment = taLeftJustify;
    bool hasFocus = false;
    bool droppedByButton = false;
    TDateTime dropValue = 0;
    bool escapeClosed = false;
    bool showButton = true;
    bool modified = false;
    int hook = 0;

    explicit Impl(TqxDBCustomDateTimePicker &picker)
        : q(picker)
        , attributes(std::make_unique<TqxCalendarOptions>(&picker))
    {
    }

    // ---- What the text engine needs

    std::string Text() const override { return q.Text(); }
    void SetText(const std::string &text) override
    {
        if (text != q.Text())
            q.SetText(text);
    }
    int SelStart() const override { return q.SelStart(); }
    int SelLength() const override { return q.SelLength(); }
    void SetSelection(int start, int length) override
    {
        q.SetSelStart(start);
        q.SetSelLength(length);
    }
    void SetCaretVisible(bool) override {} // the selection marks the part; Qt draws the caret at its end
    void Repaint() override { q.Invalidate(); }
    TqxDTFieldKind FieldKind() const override
    {
        TField *field = link.Field();
        if (!field)
            return TqxDTFieldKind::None;
        switch (field->DataType()) {
        case ftDate:
            return TqxDTFieldKind::Date;
        case ftTime:
            return TqxDTFieldKind::Time;
        default:
            return TqxDTFieldKind::DateTime;
        }
    }
    std::string FieldDisplayFormat() const override
    {
        const auto *field = dynamic_cast<const TDateTimeField *>(link.Field());
        return field ? field->DisplayFormat() : std::string();
    }
    bool FieldIsNull() const override { return link.Field() && link.Field()->IsNull(); }
    bool HasSourceWithoutField() const override
    {
        return !link.Field() && (link.DataSource() || !link.FieldName().empty());
    }
    bool BeginEdit() override { return q.BeginEdit(); }
    bool CanEdit() const override { return q.CanEditNow(); }
    // The picker's own flag: the edit's is reset by every text it is given.
    bool Modified() const override { return modified; }
    void SetModified(bool value) override { modified = value; }
    bool CalendarDropped() const override { return q.DroppedDown(); }
    int FirstDayOfWeek() const override
    {
        const TqxCalDayOfWeek day = attributes->FirstDayOfWeek();
        return day == qxdowLocaleDefault ? LocaleFirstDayOfWeek() : static_cast<int>(day);
    }

    // ---- The rest

    bool Bound() const { return link.Field() != nullptr; }
    bool Unbound() const { return !link.DataSource() && link.FieldName().empty(); }

    bool InGrid() const { return InheritsFromClassNamed(q.Parent(), "TqxDBGrid"); }
    bool InFocusedGrid() const { return InGrid() && Bound() && q.Parent()->Focused(); }
    bool GridOption(int bit) const
    {
        return q.Parent() && GetPropInfo(q.Parent(), "Options") && (GetOrdProp(q.Parent(), "Options") >> bit) & 1;
    }

    // Sets the value, the one way every path takes.
    void SetValue(TDateTime value)
    {
        if ((Bound() || value != 0) && value != 0 && value == engine.Value)
            return;
        if (value == 0 && !engine.IsTimeKind()) {
            engine.Value = 0;
            SetText({});
            return;
        }
        const bool wasModified = modified;
        engine.Value = value;
        if (Unbound() || !FieldIsNull())
            CheckLimits(value);
        const std::string shown = engine.FormatValue(value);
        if (shown != q.Text())
            SetText(shown);
        engine.SelectCurrentPart();
        modified = wasModified;
    }

    void CheckLimits(TDateTime value) const
    {
        if (Days(engine.MaxDate) != 0 && Days(value) > Days(engine.MaxDate))
            throw EDateTimeError(Format("Date exceeds maximum of %s", DateToStr(engine.MaxDate)));
        if (Days(engine.MinDate) != 0 && Days(value) < Days(engine.MinDate))
            throw EDateTimeError(Format("Date is less than minimum of %s", DateToStr(engine.MinDate)));
    }

    void SetDatePart(TDateTime date)
    {
        if (engine.IsTimeKind())
            return;
        if (Bound() || date != 0) {
            if (Days(date) == Days(engine.Value))
                return;
            const TDateTime candidate = WithTime(date, TimeOfDay(engine.Value));
            if (candidate != 0) {
                try {
                    CheckLimits(candidate);
                } catch (...) {
                    SetValue(engine.Value);
                    throw;
                }
                SetValue(candidate);
            } else {
                SetValue(0);
                q.Invalidate();
            }
        } else {
            engine.Cleared = false;
            SetValue(0);
        }
    }

    void DataChange()
    {
        TField *field = link.Field();
        if (!field) {
            if (!Unbound())
                engine.ShowText();
            return;
        }
        if (field->Alignment() != alignment) {
            SetText({});
            alignment = field->Alignment();
        }
        const TDataSetState state = field->DataSet() ? field->DataSet()->State() : dsInactive;
        if (field->IsNull()) {
            engine.Value = 0;
            SetText({});
            if (state == dsBrowse || state == dsInsert)
                engine.Part = 1;
        } else {
            engine.Value = field->AsDateTime();
            SetText(engine.FormatValue(engine.Value));
            if (state == dsBrowse) {
                engine.Part = 1;
                if (hasFocus)
                    q.SelectAll();
            }
            q.Invalidate();
        }
        if (q.Text().empty() && !field->IsNull())
            SetText(engine.FormatValue(field->AsDateTime()));
    }

    void UpdateData()
    {
        TField *field = link.Field();
        if (!field || q.ReadOnly() || !modified)
            return;
        if (!link.Editing() && field->FieldKind() == fkData)
            return;
        TDateTime value = engine.Value;
        // A date-only value keeps the field's time of day, none on a null field.
        if (engine.IsDateOnly() && value != 0)
            value = WithTime(value, field->IsNull() ? 0 : TimeOfDay(field->AsDateTime()));
        if (engine.IsTimeKind()) {
            if (q.Text().empty()) {
                field->Clear();
                return;
            }
            value = field->IsNull() ? value : WithTime(field->AsDateTime(), TimeOfDay(value));
        }
        if (value != 0)
            field->SetAsDateTime(value);
        else if (engine.Cleared)
            field->Clear();
    }

    void PlaceCalendar()
    {
        TqxPopupCalendar *c = calendar;
        TRect minimum;
        c->Perform(MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&minimum));
        const int width = attributes->Width() >= minimum.Right ? attributes->Width() : minimum.Right;
        const int height = attributes->Height() >= minimum.Bottom ? attributes->Height() : minimum.Bottom;
        const TPoint origin = q.ClientToScreen({ 0, 0 });
        int top = origin.Y + q.Height() - 1;
        if (top + height > Screen->Height() && origin.Y - height > 0)
            top = origin.Y - height;
        const int buttonWidth = showButton ? button->Width() : 0;
        int left = origin.X;
        if (attributes->Alignment() == qxdtaRight)
            left = origin.X + q.Width() - buttonWidth - width - 1;
        else if (attributes->Alignment() == qxdtaCenter)
            left = origin.X + (q.Width() - width - buttonWidth - 1) / 2;
        if (left + width >= Screen->Width())
            left = origin.X + q.Width() - width - 1;
        c->SetBounds(left, top, width, height);
    }

    void InstallHook()
    {
        if (hook)
            return;
        hook = SetMouseHook([this](uint32_t msg, TPoint at) {
            if (msg != WM_LBUTTONDOWN || !q.DroppedDown())
                return;
            if ((calendar->YearPopup() && calendar->YearPopup()->Showing()) || calendar->MonthPopup()->Showing())
                return;
            const TRect calendarRect = calendar->BoundsRect();
            const TPoint origin = q.ClientToScreen({ 0, 0 });
            const TRect pickerRect = Rect(origin.X, origin.Y, origin.X + q.Width(), origin.Y + q.Height());
            if (!PtInRect(calendarRect, at) && !PtInRect(pickerRect, at))
                PostMessage(q.Handle(), CM_CANCELMODE, 0, 0);
        });
    }

    void RemoveHook()
    {
        if (hook)
            RemoveMouseHook(std::exchange(hook, 0));
    }

    void LayOutButton()
    {
        const int width = std::max(ScrollBarWidth(), 15);
        button->SetWidth(width);
        const bool bordered = q.BorderStyle() == bsSingle;
        const int client = q.ClientHeight();
        panel->SetBounds(q.Width() - width - (bordered && q.Ctl3D() ? 4 : 0), 0, width, client);
        button->SetBounds(0, bordered ? 0 : -1, width, bordered ? panel->Height() : panel->Height() + 1);
        SetEditRect();
    }

    void SetEditRect()
    {
        if (!q.HandleAllocated())
            return;
        const int m = InGrid() && q.BorderStyle() == bsNone ? 2 : q.BorderStyle() == bsSingle ? 0 : 1;
        TRect r = Rect(m, m, showButton ? panel->Left() - 2 : q.ClientWidth() - 2, q.ClientHeight() + 1);
        q.Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
    }

    // Hands a key to the grid the picker edits in.
    void ToGrid(uint16_t &key)
    {
        auto *grid = q.Parent();
        grid->SetFocus();
        if (grid->Focused())
            grid->Perform(WM_KEYDOWN, key, 0);
        key = 0;
    }
};

void TqxPopupCalendar::Change()
{
    Busy busy(*this);
    TqxMonthCalendar::Change();
    // The picker follows the calendar while it is open.
    if (!released_ && picker_->p && picker_->CanEditNow()) {
        picker_->BeginEdit();
        picker_->p->modified = true;
        picker_->SetDate(Date());
    }
}

TqxDBCustomDateTimePicker::TqxDBCustomDateTimePicker(TComponent *owner)
    : TCustomEdit(owner)
    , p(std::make_unique<Impl>(*this))
{
    p->link.SetControl(this);
    p->link.OnDataChange = [this](TObject *) { p->DataChange(); };
    p->link.OnUpdateData = [this](TObject *) { p->UpdateData(); };
    p->engine.Cleared = true;
    p->panel = new TCustomPanel(this);
    p->panel->SetBevelOuter(bvNone);
    p->panel->SetParent(this);
    p->panel->SetBounds(0, 0, std::max(ScrollBarWidth() + 4, 17), 17);
    p->button = new TqxDateComboButton(this);
    p->button->SetParent(p->panel);
    p->button->SetWidth(std::max(ScrollBarWidth(), 15));
    p->button->OnClick = [this](TObject *) {
        if (DroppedDown())
            return CloseUp(true);
        p->droppedByButton = true;
        struct Reset {
            bool &flag;
            ~Reset() { flag = false; }
        } reset { p->droppedByButton };
        if (CanFocus())
            SetFocus();
        if (Focused())
            DropDown();
    };
    p->engine.Epoch = qxIntl()->DefaultEpochYear();
    SetParentCtl3D(false);
    SetCtl3D(true);
    SetWidth(121);
    SetHeight(24);
}

TqxDBCustomDateTimePicker::~TqxDBCustomDateTimePicker()
{
    p->RemoveHook();
}

TqxDateTimeText &TqxDBCustomDateTimePicker::Engine() const { return p->engine; }
TqxPopupCalendar *TqxDBCustomDateTimePicker::Calendar() const { return p->calendar; }
TqxDateComboButton *TqxDBCustomDateTimePicker::Button() const { return p->button; }

TDateTime TqxDBCustomDateTimePicker::Date() const
{
    p->engine.CommitTyping();
    return p->engine.IsTimeKind() ? 0 : p->engine.Value;
}

void TqxDBCustomDateTimePicker::SetDate(TDateTime date) { p->SetDatePart(date); }

TDateTime TqxDBCustomDateTimePicker::Time() const
{
    p->engine.CommitTyping();
    return p->engine.IsDateKind() ? 0 : p->engine.Value;
}

void TqxDBCustomDateTimePicker::SetTime(TDateTime time)
{
    if (p->engine.IsDateKind())
        return;
    if (p->Bound() || time != 0) {
        if (TimeOfDay(time) == TimeOfDay(p->engine.Value))
            return;
        p->SetValue(WithTime(p->engine.Value, TimeOfDay(time)));
    } else {
        p->engine.Cleared = false;
        p->SetValue(0);
    }
}

TDateTime TqxDBCustomDateTimePicker::MaxDate() const { return p->engine.MaxDate; }

void TqxDBCustomDateTimePicker::SetMaxDate(TDateTime date)
{
    if (Days(date) != 0 && Days(p->engine.MinDate) != 0 && Days(date) < Days(p->engine.MinDate))
        throw EDateTimeError(Format("Date is less than minimum of %s", DateToStr(p->engine.MinDate)));
    p->engine.MaxDate = date;
}

TDateTime TqxDBCustomDateTimePicker::MinDate() const { return p->engine.MinDate; }

void TqxDBCustomDateTimePicker::SetMinDate(TDateTime date)
{
    if (Days(p->engine.MaxDate) != 0 && Days(date) > Days(p->engine.MaxDate))
        throw EDateTimeError(Format("Date exceeds maximum of %s", DateToStr(p->engine.MaxDate)));
    p->engine.MinDate = date;
}

int TqxDBCustomDateTimePicker::Epoch() const { return p->engine.Epoch; }
void TqxDBCustomDateTimePicker::SetEpoch(int epoch) { p->engine.Epoch = epoch; }

TDataSource *TqxDBCustomDateTimePicker::DataSource() const { return p->link.DataSource(); }

void TqxDBCustomDateTimePicker::SetDataSource(TDataSource *source)
{
    p->link.SetDataSource(source);
    if (source)
        source->FreeNotification(this);
    else
        p->engine.UnboundDataType = qxDTEdtDateTime;
}

std::string TqxDBCustomDateTimePicker::DataField() const { return p->link.FieldName(); }

void TqxDBCustomDateTimePicker::SetDataField(const std::string &name)
{
    p->link.SetFieldName(name);
    if (name.empty())
        p->engine.UnboundDataType = qxDTEdtDateTime;
    p->engine.Cleared = !p->link.Field();
}

TField *TqxDBCustomDateTimePicker::Field() const { return p->link.Field(); }
bool TqxDBCustomDateTimePicker::ReadOnly() const { return p->link.ReadOnly(); }

void TqxDBCustomDateTimePicker::SetReadOnly(bool readOnly)
{
    p->link.SetReadOnly(readOnly);
    TCustomEdit::SetReadOnly(readOnly);
}

TqxDTEditDataType TqxDBCustomDateTimePicker::UnboundDataType() const { return p->engine.UnboundDataType; }

void TqxDBCustomDateTimePicker::SetUnboundDataType(TqxDTEditDataType type)
{
    if (type == p->engine.UnboundDataType)
        return;
    p->engine.UnboundDataType = type;
    p->engine.ShowText();
}

std::string TqxDBCustomDateTimePicker::DisplayFormat() const { return p->engine.DisplayFormat; }

void TqxDBCustomDateTimePicker::SetDisplayFormat(const std::string &format)
{
    if (format == p->engine.DisplayFormat)
        return;
    p->engine.DisplayFormat = format;
    p->engine.ShowText();
}

TDTDateFormat TqxDBCustomDateTimePicker::DateFormat() const { return p->engine.DateFormat; }

void TqxDBCustomDateTimePicker::SetDateFormat(TDTDateFormat format)
{
    if (format == p->engine.DateFormat)
        return;
    p->engine.DateFormat = format;
    p->engine.ShowText();
}

TqxCalendarOptions *TqxDBCustomDateTimePicker::CalendarAttributes() const { return p->attributes.get(); }

void TqxDBCustomDateTimePicker::SetCalendarAttributes(TqxCalendarOptions *options)
{
    if (!options)
        return;
    TqxCalendarOptions &mine = *p->attributes;
    mine.SetAlignment(options->Alignment());
    mine.SetColors(options->Colors());
    mine.SetFont(options->Font());
    mine.SetOptions(options->Options());
    mine.SetPopupYearOptions(options->PopupYearOptions());
    mine.SetFirstDayOfWeek(options->FirstDayOfWeek());
}

bool TqxDBCustomDateTimePicker::ShowButton() const { return p->showButton; }

void TqxDBCustomDateTimePicker::SetShowButton(bool show)
{
    if (show == p->showButton)
        return;
    p->showButton = show;
    p->panel->SetVisible(show);
    if (HandleAllocated()) {
        p->SetEditRect();
        Invalidate();
    }
}

bool TqxDBCustomDateTimePicker::DroppedDown() const { return p->calendar && p->calendar->Visible(); }

bool TqxDBCustomDateTimePicker::CanAcceptCalendarDate() const
{
    TField *field = p->link.Field();
    if (!field)
        return true;
    TDataSet *dataSet = field->DataSet();
    if (dataSet && (dataSet->State() == dsEdit || dataSet->State() == dsInsert))
        return true;
    return field->FieldKind() != fkData && !field->ReadOnly() && !ReadOnly() && dataSet && dataSet->CanModify();
}

bool TqxDBCustomDateTimePicker::CanEditNow() const
{
    // The property, never the edit's own state: the key handler writes that
    // from this answer, and a key refused while browsing must not outlive
    // the browsing.
    if (p->link.ReadOnly())
        return false;
    TField *field = p->link.Field();
    if (!field)
        return true;
    if (field->ReadOnly() || !field->CanModify())
        return false;
    TDataSource *source = p->link.DataSource();
    const TDataSetState state = field->DataSet() ? field->DataSet()->State() : dsInactive;
    return !source || source->AutoEdit() || state == dsEdit || state == dsInsert;
}

bool TqxDBCustomDateTimePicker::BeginEdit()
{
    return p->link.Edit();
}

void TqxDBCustomDateTimePicker::DropDown()
{
    if (DroppedDown() || (!p->Bound() && !p->Unbound()) || p->engine.IsTimeKind())
        return;
    if (!CanEditNow()) {
        TCustomEdit::SetReadOnly(true);
        return;
    }
    TCustomEdit::SetReadOnly(false);
    p->dropValue = p->engine.Value;
    p->engine.CommitTyping();
    const bool first = !p->calendar;
    if (first) {
        p->calendar = new TqxPopupCalendar(this);
        p->calendar->SetVisible(false);
        p->calendar->SetParent(this);
    }
    TqxPopupCalendar *c = p->calendar;
    c->SetBorderStyle(bsSingle);
    c->SetCalColors(p->attributes->Colors());
    c->OnCalcBoldDay = OnCalcBoldDay;
    c->SetOptions(p->attributes->Options());
    c->SetMinDate(0);
    c->SetMaxDate(p->engine.UpperLimit());
    c->SetMinDate(p->engine.LowerLimit());
    c->SetFont(p->attributes->Font());
    c->SetPopupYearOptions(p->attributes->PopupYearOptions());
    c->SetFirstDayOfWeek(p->attributes->FirstDayOfWeek());
    if (Text().empty() || p->engine.Value == 0) {
        BeginEdit();
        p->modified = true;
        if (Text().empty())
            p->SetValue(p->engine.WithinLimits(::Date()));
    }
    p->engine.ShowText();
    c->SetDate(p->engine.Value);
    c->SetTime(p->engine.Value);
    SetSelLength(0);
    OnDropDown(this);
    SetShowHint(false);
    if (first)
        p->PlaceCalendar();
    c->SetVisible(true);
    if (!first)
        p->PlaceCalendar();
    c->BringToFront();
    p->InstallHook();
}

void TqxDBCustomDateTimePicker::CloseUp(bool accept)
{
    if (p->closing)
        return;
    p->closing = true;
    struct Reset {
        bool &flag;
        ~Reset() { flag = false; }
    } reset { p->closing };
    if (DroppedDown()) {
        p->calendar->SetVisible(false);
        if (accept && p->Bound()) {
            const std::string chosen = p->engine.FormatValue(p->calendar->Date());
            if (chosen != p->engine.FormatValue(p->link.Field()->AsDateTime()) && CanAcceptCalendarDate()) {
                if (chosen.empty())
                    SetText({});
                else
                    SetDate(p->calendar->Date());
                p->modified = true;
            }
        } else if (!accept) {
            p->engine.Value = p->dropValue;
            p->engine.ShowText();
        }
        OnCloseUp(this);
        SetShowHint(true);
        Invalidate();
        p->engine.SelectCurrentPart();
    }
    p->RemoveHook();
}

void TqxDBCustomDateTimePicker::Loaded()
{
    TCustomEdit::Loaded();
    p->LayOutButton();
}

void TqxDBCustomDateTimePicker::Notification(TComponent *component, TOperation operation)
{
    TCustomEdit::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == p->link.DataSource())
        SetDataSource(nullptr);
    if (component == p->calendar)
        p->calendar = nullptr;
    if (component == p->button)
        p->button = nullptr;
    if (component == p->panel)
        p->panel = nullptr;
}

void TqxDBCustomDateTimePicker::CreateParams(TCreateParams &params)
{
    TCustomEdit::CreateParams(params);
    params.Style &= ~(ES_WANTRETURN | ES_AUTOVSCROLL);
    params.Style |= WS_CLIPCHILDREN;
}

bool TqxDBCustomDateTimePicker::WantsKey(uint16_t key) const
{
    // Enter and Escape close the calendar instead of reaching the dialog's buttons.
    if ((key == VK_RETURN || key == VK_ESCAPE) && DroppedDown())
        return true;
    return TCustomEdit::WantsKey(key) || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
}

void TqxDBCustomDateTimePicker::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case CM_GETDATALINK:
        message.Result = reinterpret_cast<LRESULT>(&p->link);
        return;
    case CM_CANCELMODE:
        if (message.LParam && (reinterpret_cast<TObject *>(message.LParam) == p->calendar ||
                                  reinterpret_cast<TObject *>(message.LParam) == p->button))
            return p->engine.CommitTyping();
        return CloseUp(true);
    case CM_ENTER: {
        if (!p->hasFocus) {
            p->hasFocus = true;
            if (p->alignment != taLeftJustify)
                Invalidate();
            if (p->Bound())
                p->link.Reset();
        }
        if (p->InGrid())
            p->engine.Part = 1;
        if (p->FieldIsNull()) {
            SetText({});
        } else {
            p->enterValue = p->engine.Value;
            p->engine.ShowText();
            p->engine.SelectCurrentPart();
        }
        TCustomEdit::Dispatch(message);
        if (p->engine.Value != 0 && !Text().empty() && !p->droppedByButton)
            SelectAll();
        if (!p->Bound())
            p->modified = false;
        return;
    }
    case CM_EXIT: {
        p->engine.CommitTyping();
        const bool modified = p->modified;
        try {
            if (modified)
                p->link.UpdateRecord();
        } catch (...) {
            p->engine.SelectCurrentPart();
            SetFocus();
            p->modified = modified;
            throw;
        }
        TCustomEdit::Dispatch(message);
        p->hasFocus = false;
        return;
    }
    case WM_KILLFOCUS: {
        TCustomEdit::Dispatch(message);
        // Showing the calendar may make its window the active one; that keeps it open.
        const bool toCalendar = p->calendar && p->calendar->HandleAllocated() &&
                                message.WParam == reinterpret_cast<WPARAM>(p->calendar->Handle());
        if (!p->closing && !toCalendar)
            CloseUp(true);
        return;
    }
    case WM_SIZE:
        TCustomEdit::Dispatch(message);
        p->LayOutButton();
        return;
    case CM_FONTCHANGED:
        TCustomEdit::Dispatch(message);
        if (!ComponentState().Contains(csLoading))
            p->SetEditRect();
        return;
    case CM_ENABLEDCHANGED:
        TCustomEdit::Dispatch(message);
        if (p->button)
            p->button->SetEnabled(Enabled());
        return;
    case WM_LBUTTONDOWN:
        TCustomEdit::Dispatch(message);
        if (!Text().empty()) {
            TCanvas measure;
            measure.SetFont(Font());
            p->engine.SelectPartAt(LoWordSigned(message.LParam), [&measure](const std::string &t) { return measure.TextWidth(t); });
        }
        return;
    case WM_LBUTTONDBLCLK:
        TCustomEdit::Dispatch(message);
        SelectAll();
        return;
    case WM_PASTE:
        if (CanEditNow())
            p->engine.Paste(Clipboard()->AsText());
        return;
    case WM_CUT:
        TCustomEdit::Dispatch(message);
        if (CanEditNow())
            p->engine.Cut();
        return;
    default:
        return TCustomEdit::Dispatch(message);
    }
}

void TqxDBCustomDateTimePicker::WndProc(TMessage &message)
{
    if (message.Msg == WM_KEYDOWN && DroppedDown()) {
        uint16_t key = static_cast<uint16_t>(message.WParam);
        const bool alt = GetKeyState(VK_MENU) < 0;
        if ((key == VK_RETURN || key == VK_ESCAPE) && !alt) {
            CloseUp(key == VK_RETURN);
            p->escapeClosed = key == VK_ESCAPE;
            return;
        }
        if ((key == VK_UP || key == VK_DOWN) && alt) {
            CloseUp(true);
            return;
        }
        if (key == VK_TAB) {
            CloseUp(true);
        } else {
            // Other keys move the calendar, and the picker follows it.
            p->calendar->Perform(WM_KEYDOWN, message.WParam, message.LParam);
            // The key may have taken the focus away, which closes the calendar.
            if (DroppedDown() && CanEditNow()) {
                BeginEdit();
                p->modified = true;
                SetDate(p->calendar->Date());
            }
            return;
        }
    }
    TCustomEdit::WndProc(message);
}

void TqxDBCustomDateTimePicker::KeyDown(uint16_t &key, TShiftState shift)
{
    const bool alt = shift.Contains(ssAlt);
    if ((key == VK_UP || key == VK_DOWN) && alt) {
        if (DroppedDown())
            CloseUp(true);
        else
            DropDown();
        key = 0;
        return;
    }
    if (key == VK_DELETE && p->Bound() && p->link.Field()->Required() && Text().empty()) {
        key = 0;
        return;
    }
    if (p->InGrid()) {
        const bool wholeText = SelLength() == static_cast<int>(Utf8Length(Text()));
        const bool ctrl = shift.Contains(ssCtrl);
        const int caret = SelStart();
        const int length = static_cast<int>(Utf8Length(Text()));
        const bool always = p->GridOption(dgAlwaysShowEditor);
        bool toGrid = false;
        switch (key) {
        case VK_ESCAPE:
            toGrid = !p->modified;
            break;
        case VK_PRIOR:
        case VK_NEXT:
            toGrid = !DroppedDown() && !alt;
            break;
        case VK_END:
            toGrid = always && !DroppedDown() && (ctrl || (wholeText && caret + SelLength() == length));
            break;
        case VK_HOME:
            toGrid = always && !DroppedDown() && (ctrl || (wholeText && caret == 0));
            break;
        case VK_LEFT:
            toGrid = always && (ctrl || caret == 0);
            break;
        case VK_RIGHT:
            toGrid = always && (ctrl || caret + SelLength() >= length);
            break;
        case VK_UP:
        case VK_DOWN:
            toGrid = ctrl || wholeText;
            break;
        case VK_INSERT:
            toGrid = !shift.Contains(ssShift);
            break;
        case VK_DELETE:
            toGrid = ctrl;
            break;
        case VK_TAB:
            toGrid = p->GridOption(dgTabs);
            break;
        case VK_RETURN:
            toGrid = true;
            break;
        default:
            toGrid = !CanEditNow() && (key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT);
            break;
        }
        if (toGrid)
            return p->ToGrid(key);
    }
    TCustomEdit::KeyDown(key, shift);
    if (key == 0)
        return;
    if (key == VK_BACK && SelLength() != static_cast<int>(Utf8Length(Text())) && !p->engine.Typing)
        key = VK_LEFT;
    if ((key == VK_BACK || key == VK_DELETE) && p->Bound() && p->link.Field()->Required() &&
        (SelLength() == static_cast<int>(Utf8Length(Text())) || !p->engine.IsCFormat() ||
            p->engine.VisiblePartCount() < p->engine.CountParts(p->engine.ExpandDisplayFormat()))) {
        key = 0;
        return;
    }
    if (key == VK_RIGHT && shift.Contains(ssShift) && p->engine.Part == 1) {
        SelectAll();
        key = 0;
        return;
    }
    TCustomEdit::SetReadOnly(!CanEditNow());
    if (!CanEditNow()) {
        key = 0;
        return;
    }
    if (shift.Contains(ssCtrl) || DroppedDown())
        return;
    // Space on an empty picker is the present moment, which KeyPress sets.
    if (key == VK_SPACE && Text().empty())
        return;
    // A key that changes the value puts the dataset into edit state before
    // the change, so that leaving the picker writes it.
    const bool moves = key == VK_LEFT || key == VK_RIGHT || key == VK_F2 || key == VK_TAB || key == VK_SPACE ||
                       key == VK_RETURN || key == VK_ESCAPE || key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU;
    if (!moves && p->Bound() && !p->link.Editing())
        BeginEdit();
    p->engine.KeyDown(key, shift, qxKeyCharacter(key, shift));
}

void TqxDBCustomDateTimePicker::KeyPress(char32_t &key)
{
    const bool printable = key >= 32 || key == 8;
    if (printable && !CanEditNow())
        return;
    TCustomEdit::KeyPress(key);
    if (key == U' ' && Text().empty()) {
        if (!p->Unbound() && !p->Bound()) {
            key = 0;
            return;
        }
        BeginEdit();
        p->modified = true;
        p->engine.Cleared = false;
        p->SetValue(p->engine.WithinLimits(Now()));
        p->engine.SelectCurrentPart();
        key = 0;
        return;
    }
    if (key == 8 || key == 22 || key == 24 || key >= 32) {
        key = 0; // the editing happened in KeyDown
        return;
    }
    if ((key == U'\t' || key == U'\r') && p->InGrid()) {
        key = 0;
        return;
    }
    if (key == U'\r') {
        p->engine.CommitTyping();
        p->engine.SelectCurrentPart();
        key = 0;
        return;
    }
    if (key == 27) {
        if (std::exchange(p->escapeClosed, false)) {
            key = 0;
            return;
        }
        if (p->Bound())
            p->link.Reset();
        else
            p->SetValue(p->enterValue);
        p->modified = false;
        p->engine.Typing = false;
        p->engine.ShowText();
        p->engine.SelectCurrentPart();
        if (p->InGrid())
            Parent()->SetFocus();
        else
            SelectAll();
        key = 0;
    }
}

void TqxDBCustomDateTimePicker::Change()
{
    TCustomEdit::Change();
    p->link.Modified();
    if (Text().empty())
        p->engine.Value = p->engine.IsTimeKind() ? std::trunc(p->engine.Value) : TimeOfDay(p->engine.Value);
}

void TqxDBCustomDateTimePicker::DoExit()
{
    TCustomEdit::DoExit();
    if (p->calendar) {
        CloseUp(true);
        std::exchange(p->calendar, nullptr)->Release();
    }
}
