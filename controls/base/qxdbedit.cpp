#include "controls/base/qxdbedit.h"

#include "controls/base/Qxcomdb.h"
#include "controls/base/Qxcommon.h"
#include "controls/base/Qxdate.h"
#include "controls/base/Qxpict.h"
#include "controls/base/qxdrawing.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

#include <algorithm>
#include <cmath>
#include <utility>

const TMetaClass TqxDBPicture::Class { "TqxDBPicture", &TPersistent::Class };
const TMetaClass TqxCustomMaskEdit::Class { "TqxCustomMaskEdit", &TCustomMaskEdit::Class };
const TMetaClass TqxDBCustomEdit::Class { "TqxDBCustomEdit", &TqxCustomMaskEdit::Class };
const TMetaClass TqxDBEdit::Class { "TqxDBEdit", &TqxDBCustomEdit::Class };

namespace
{

const TEnumNames EditDataTypeNames { "qxDefault", "qxEdtDate", "qxEdtTime", "qxEdtDateTime" };

// clang-format off
using PP = TPublish<TqxDBPicture>;
const TClassRegistrar<TqxDBPicture> pictureRegistrar({
    //           name                getter                           setter                              default
    PP::String  ("PictureMask",      &TqxDBPicture::PictureMask,      &TqxDBPicture::SetPictureMask,      ""),
    PP::Boolean ("AutoFill",         &TqxDBPicture::AutoFill,         &TqxDBPicture::SetAutoFill,         true),
    PP::Boolean ("AllowInvalidExit", &TqxDBPicture::AllowInvalidExit, &TqxDBPicture::SetAllowInvalidExit, false),
});

const TClassRegistrar<TqxCustomMaskEdit> customMaskEditRegistrar({});
const TClassRegistrar<TqxDBCustomEdit> customEditRegistrar({});

using P = TPublish<TqxDBEdit>;
const TClassRegistrar<TqxDBEdit> editRegistrar({
    //             name                 names               getter                          setter                            default     stored
    P::Boolean   ("AutoFillDate",                           &TqxDBEdit::AutoFillDate,       &TqxDBEdit::SetAutoFillDate,      true),
    P::String    ("DataField",                              &TqxDBEdit::DataField,          &TqxDBEdit::SetDataField,         ""),
    P::Component ("DataSource",                             &TqxDBEdit::DataSource,         &TqxDBEdit::SetDataSource),
    P::Persistent("Picture",                                &TqxDBEdit::Picture,            &TqxDBEdit::SetPicture,                       &TqxDBEdit::IsPictureStored),
    P::Boolean   ("ReadOnly",                               &TqxDBEdit::ReadOnly,           &TqxDBEdit::SetReadOnly,          false),
    P::Boolean   ("ShowVertScrollBar",                      &TqxDBEdit::ShowVertScrollBar,  &TqxDBEdit::SetShowVertScrollBar, false),
    P::Enum      ("UnboundDataType",    EditDataTypeNames,  &TqxDBEdit::UnboundDataType,    &TqxDBEdit::SetUnboundDataType,   qxDefault),
    P::Boolean   ("UsePictureMask",                         &TqxDBEdit::UsePictureMask,     &TqxDBEdit::SetUsePictureMask,    true),
    P::Boolean   ("WantReturns",                            &TqxDBEdit::WantReturns,        &TqxDBEdit::SetWantReturns,       false),
    P::Boolean   ("WordWrap",                               &TqxDBEdit::WordWrap,           &TqxDBEdit::SetWordWrap,          false),
    P::Event     ("OnCheckValue",                           &TqxDBEdit::OnCheckValue),
});
// clang-format on

// Text positions are characters.
std::u32string Chars(const std::string &text)
{
    return Utf8ToCodePoints(text);
}
std::string Utf8(const std::u32string &text)
{
    return CodePointsToUtf8(text);
}

int CountOf(const std::u32string &text, char32_t c)
{
    return static_cast<int>(std::count(text.begin(), text.end(), c));
}

std::string TwoDigits(int value)
{
    return (value < 10 ? "0" : "") + IntToStr(value);
}

} // namespace

// ---- Picture settings ---------------------------------------------------------------------

TqxDBPicture::TqxDBPicture(TqxCustomMaskEdit *edit)
    : edit_(edit)
{
}

bool TqxDBPicture::Bound(TObject *&dataset, std::string &fieldName) const
{
    auto *edit = dynamic_cast<const TqxDBCustomEdit *>(edit_);
    if (!edit || !edit->Bound())
        return false;
    dataset = edit->DataLink()->DataSet();
    fieldName = edit->DataField();
    return true;
}

std::string TqxDBPicture::PictureMask() const
{
    TObject *dataset;
    std::string field;
    if (!Bound(dataset, field))
        return pictureMask_;
    bool autoFill, use;
    std::string mask;
    qxGetPictureMaskEntry(dataset, field, true, autoFill, use, mask);
    return mask;
}

void TqxDBPicture::SetPictureMask(const std::string &mask)
{
    TObject *dataset;
    std::string field;
    if (!Bound(dataset, field)) {
        pictureMask_ = mask;
        return;
    }
    // A picture the table itself defines wins over the list's.
    bool autoFill, use;
    std::string listed, withTable;
    qxGetPictureMaskEntry(dataset, field, false, autoFill, use, listed);
    qxGetPictureMaskEntry(dataset, field, true, autoFill, use, withTable);
    if (withTable != listed && !withTable.empty()) {
        MessageBox(nullptr, "Picture mask already defined in Paradox table. ", "Warning", MB_OK | MB_ICONWARNING);
        return;
    }
    pictureMask_ = mask;
    qxSetPictureMaskEntry(dataset, field, mask, true, false, false, true, autoFill_);
}

bool TqxDBPicture::AutoFill() const
{
    TObject *dataset;
    std::string field;
    if (!Bound(dataset, field))
        return autoFill_;
    bool autoFill, use;
    std::string mask;
    qxGetPictureMaskEntry(dataset, field, true, autoFill, use, mask);
    return mask.empty() ? autoFill_ : autoFill;
}

void TqxDBPicture::SetAutoFill(bool autoFill)
{
    autoFill_ = autoFill;
    TObject *dataset;
    std::string field;
    if (Bound(dataset, field))
        qxSetPictureMaskEntry(dataset, field, "", false, true, false, true, autoFill);
}

bool TqxDBPicture::AllowInvalidExit() const
{
    TObject *dataset;
    std::string field;
    return !Bound(dataset, field) && allowInvalidExit_;
}

void TqxDBPicture::SetAllowInvalidExit(bool allow)
{
    TObject *dataset;
    std::string field;
    if (!Bound(dataset, field))
        allowInvalidExit_ = allow;
}

void TqxDBPicture::Assign(const TPersistent *source)
{
    if (auto *picture = dynamic_cast<const TqxDBPicture *>(source)) {
        SetPictureMask(picture->PictureMask());
        SetAutoFill(picture->AutoFill());
        return;
    }
    TPersistent::Assign(source);
}

// ---- The masked edit ----------------------------------------------------------------------

struct TqxCustomMaskEdit::Impl {
    explicit Impl(TqxCustomMaskEdit *edit)
        : picture(edit)
    {
    }
    TqxDBPicture picture;
    bool wordWrap = false;
    bool usePictureMask = true;
    bool wantReturns = false;
    bool showVertScrollBar = false;
    bool invalidExit = false; // the last exit was refused
    bool refusingExit = false; // taking the focus back now
};

TqxCustomMaskEdit::TqxCustomMaskEdit(TComponent *owner)
    : TCustomMaskEdit(owner)
    , m(std::make_unique<Impl>(this))
{
}

TqxCustomMaskEdit::~TqxCustomMaskEdit() = default;

TqxDBPicture *TqxCustomMaskEdit::Picture() const
{
    return &m->picture;
}
void TqxCustomMaskEdit::SetPicture(TqxDBPicture *picture)
{
    m->picture.Assign(picture);
}
bool TqxCustomMaskEdit::UsePictureMask() const
{
    return m->usePictureMask;
}
void TqxCustomMaskEdit::SetUsePictureMask(bool use)
{
    m->usePictureMask = use;
}
bool TqxCustomMaskEdit::PictureActive() const
{
    return m->usePictureMask && !m->picture.PictureMask().empty();
}

namespace
{
// Puts the record of a bound edit in edit (AutoEdit permitting).
void EditLinkOf(TControl *edit)
{
    if (auto *link = reinterpret_cast<TFieldDataLink *>(edit->Perform(CM_GETDATALINK, 0, 0)))
        link->Edit();
}
} // namespace

bool TqxCustomMaskEdit::CheckText(const std::string &text)
{
    bool valid = true;
    if (!text.empty() && PictureActive()) {
        TqxPictureValidator validator(m->picture.PictureMask(), m->picture.AutoFill());
        std::string checked = text;
        valid = validator.MatchPicture(checked, false) == prComplete;
    }
    DoCheckValue(valid);
    return valid;
}

void TqxCustomMaskEdit::ApplyPicture()
{
    if (!PictureActive())
        return;
    TqxPictureValidator validator(m->picture.PictureMask(), m->picture.AutoFill());
    std::string text = Text();
    validator.MatchPicture(text, m->picture.AutoFill());
    if (text != Text())
        SetText(text);
}

bool TqxCustomMaskEdit::WordWrap() const
{
    return m->wordWrap;
}
void TqxCustomMaskEdit::SetWordWrap(bool wordWrap)
{
    m->wordWrap = wordWrap;
    RecreateWnd();
}
bool TqxCustomMaskEdit::WantReturns() const
{
    return m->wantReturns;
}
void TqxCustomMaskEdit::SetWantReturns(bool wantReturns)
{
    m->wantReturns = wantReturns;
    RecreateWnd();
}
bool TqxCustomMaskEdit::ShowVertScrollBar() const
{
    return m->showVertScrollBar;
}
void TqxCustomMaskEdit::SetShowVertScrollBar(bool show)
{
    if (show == m->showVertScrollBar)
        return;
    m->showVertScrollBar = show;
    RecreateWnd();
}

bool TqxCustomMaskEdit::InvalidExit() const
{
    return m->invalidExit;
}

void TqxCustomMaskEdit::CreateParams(TCreateParams &params)
{
    TCustomMaskEdit::CreateParams(params);
    params.Style &= ~(ES_WANTRETURN | ES_AUTOVSCROLL);
    if (BorderStyle() == bsNone || m->wordWrap)
        params.Style |= ES_MULTILINE;
    if (m->wordWrap) {
        params.Style &= ~ES_AUTOHSCROLL;
        params.Style |= ES_AUTOVSCROLL;
    }
    if (m->wantReturns)
        params.Style |= ES_WANTRETURN;
    if (m->showVertScrollBar)
        params.Style |= WS_VSCROLL;
}

void TqxCustomMaskEdit::CreateWnd()
{
    TCustomMaskEdit::CreateWnd();
    SetEditRect();
}

void TqxCustomMaskEdit::SetEditRect()
{
    if (!HandleAllocated())
        return;
    const int inset = BorderStyle() == bsNone ? 1 : 0;
    TRect rect = Rect(inset, inset, ClientWidth() - 1, ClientHeight() + 1);
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&rect));
}

void TqxCustomMaskEdit::DoCheckValue(bool valid)
{
    OnCheckValue(this, valid);
}

void TqxCustomMaskEdit::KeyPress(char32_t &key)
{
    TCustomMaskEdit::KeyPress(key);
    if (key == 0 || !PictureActive()) {
        if (key == VK_RETURN && !m->wantReturns)
            key = 0;
        return;
    }
    if (key == VK_BACK) {
        EditLinkOf(this);
        if (OnCheckValue && !TCustomEdit::ReadOnly()) {
            // What the window will make of the text: the selection goes, or
            // else the character before the caret.
            std::u32string text = Chars(Text());
            const int length = static_cast<int>(text.size());
            const int start = std::clamp(SelStart(), 0, length);
            const int selected = std::clamp(SelLength(), 0, length - start);
            if (selected > 0)
                text.erase(static_cast<size_t>(start), static_cast<size_t>(selected));
            else if (start > 0)
                text.erase(static_cast<size_t>(start - 1), 1);
            CheckText(Utf8(text));
        }
        return;
    }
    if (key == VK_RETURN) {
        if (!m->wantReturns)
            key = 0;
        return;
    }
    if (key < 32)
        return;

    const std::u32string old = Chars(Text());
    const int oldLength = static_cast<int>(old.size());
    const int selStart = std::min(SelStart(), oldLength);
    const int selLength = std::min(SelLength(), oldLength - selStart);
    const bool allSelected = selStart == 0 && selLength == oldLength && oldLength > 0;
    std::u32string proposed = old.substr(0, static_cast<size_t>(selStart)) + key
        + old.substr(static_cast<size_t>(selStart + selLength));
    if (MaxLength() > 0 && static_cast<int>(proposed.size()) > MaxLength()
        && static_cast<int>(proposed.size()) > oldLength)
        return;

    const bool autoFill = m->picture.AutoFill();
    TqxPictureValidator validator(m->picture.PictureMask(), autoFill);
    std::string filled = Utf8(proposed);
    const TqxPicResult result = validator.MatchPicture(filled, autoFill);
    bool passes = true;
    bool readOnly = TCustomEdit::ReadOnly();
    switch (result) {
    case prComplete:
    case prAmbiguous:
    case prIncomplete:
    case prIncompNoFill: {
        EditLinkOf(this);
        readOnly = TCustomEdit::ReadOnly();
        const bool complete = result == prComplete || result == prAmbiguous;
        const int newLength = static_cast<int>(Utf8Length(filled));
        int caret;
        if (allSelected)
            caret = newLength;
        else if (complete ? newLength > oldLength : selLength == 0)
            caret = newLength + selStart - oldLength;
        else
            caret = selStart + 1;
        if (!readOnly) {
            SetText(filled);
            SetSelStart(std::clamp(caret, 0, newLength));
            SetSelLength(0);
        }
        key = 0;
        passes = complete;
        break;
    }
    case prError:
        if (selStart + selLength < oldLength) {
            passes = false; // typing in the middle: the window decides
        } else {
            key = 0;
            MessageBeep(0);
            return;
        }
        break;
    default:
        break;
    }
    if (!readOnly)
        DoCheckValue(passes);
}

void TqxCustomMaskEdit::KeyUp(uint16_t &key, TShiftState shift)
{
    TCustomMaskEdit::KeyUp(key, shift);
    if (key == VK_DELETE && OnCheckValue)
        CheckText(Text());
}

void TqxCustomMaskEdit::DoExit()
{
    // A control that has the focus back is not leaving.
    if (m->refusingExit || Focused())
        return;
    m->invalidExit = false;
    if (PictureActive() && Modified() && !m->picture.AllowInvalidExit() && !CheckText(Text())) {
        // Taking the focus back makes the focus move once more; that is no
        // second attempt to leave.
        m->refusingExit = true;
        SelectAll();
        SetFocus();
        m->refusingExit = false;
        SetModified(true);
        MessageBeep(0);
        m->invalidExit = true;
        return;
    }
    TCustomMaskEdit::DoExit();
}

void TqxCustomMaskEdit::WMSize(TMessage &message)
{
    TCustomMaskEdit::WMSize(message);
    SetEditRect();
}

void TqxCustomMaskEdit::CMFontChanged(TMessage &message)
{
    TCustomMaskEdit::CMFontChanged(message);
    if (!ComponentState().Contains(csLoading))
        SetEditRect();
}

bool TqxCustomMaskEdit::WantsKey(uint16_t key) const
{
    return key == VK_RETURN && m->wantReturns && !KeyboardShiftState().Contains(ssCtrl);
}

// ---- The library's edit -------------------------------------------------------------------

struct TqxDBCustomEdit::Impl {
    TFieldDataLink link;
    TAlignment alignment = taLeftJustify; // the field's; an unbound edit has none
    bool focused = false;
    int margin = 1; // new-style controls keep one pixel
    std::string savedText; // given back by Reset
    bool autoFillDate = true;
    TqxEditDataType unboundDataType = qxDefault;
    bool busy = false; // a descendant rewrites the text
    bool showingField = false; // the text being set is the field's, not the user's
    int textOffset = 0; // where Paint starts the text inside the rectangle it hands DrawText

    // An edit without a data source opens its window at the first editing
    // key (made in code, it has had no Loaded to do it); false when ReadOnly
    // keeps it shut.
    bool OpenUnbound(TCustomEdit &edit)
    {
        if (link.ReadOnly())
            return false;
        if (edit.TCustomEdit::ReadOnly())
            edit.TCustomEdit::SetReadOnly(false);
        return true;
    }
};

namespace
{
// Marks the text being set as the field's own, so that it is no edit of the user.
class ShowingField
{
public:
    explicit ShowingField(bool &flag)
        : flag_(flag)
        , old_(std::exchange(flag, true))
    {
    }
    ~ShowingField() { flag_ = old_; }

private:
    bool &flag_;
    bool old_;
};

bool IsExactly(const TField *field, const TMetaClass &cls)
{
    return field && field->ClassType() == &cls;
}
} // namespace

TqxDBCustomEdit::TqxDBCustomEdit(TComponent *owner)
    : TqxCustomMaskEdit(owner)
    , p(std::make_unique<Impl>())
{
    // The window opens for editing only when ReadOnly says so (Loaded) or a
    // key is typed into an edit that is not read-only.
    TCustomEdit::SetReadOnly(true);
    p->link.SetControl(this);
    p->link.OnDataChange = [this](TObject *) { DataChange(); };
    p->link.OnEditingChange = [this](TObject *) { EditingChange(); };
    p->link.OnUpdateData = [this](TObject *) { UpdateData(); };
    p->link.OnFocus = [this](TObject *) {
        if (CanFocus())
            SetFocus();
    };
}

TqxDBCustomEdit::~TqxDBCustomEdit()
{
    // The link's handlers call into this edit; none may run while it goes.
    p->link.OnDataChange.Clear();
    p->link.OnEditingChange.Clear();
    p->link.OnUpdateData.Clear();
    p->link.SetDataSource(nullptr);
}

bool TqxDBCustomEdit::ReadOnly() const
{
    return p->link.ReadOnly();
}
void TqxDBCustomEdit::SetReadOnly(bool readOnly)
{
    p->link.SetReadOnly(readOnly);
    TCustomEdit::SetReadOnly(readOnly);
}
bool TqxDBCustomEdit::AutoFillDate() const
{
    return p->autoFillDate;
}
void TqxDBCustomEdit::SetAutoFillDate(bool autoFill)
{
    p->autoFillDate = autoFill;
}
TqxEditDataType TqxDBCustomEdit::UnboundDataType() const
{
    return p->unboundDataType;
}
void TqxDBCustomEdit::SetUnboundDataType(TqxEditDataType type)
{
    p->unboundDataType = type;
}

// The library's data source lives with the datasets, which this library
// cannot depend on: it is known by its class name.
TDataSource *TqxDBCustomEdit::DataSource() const
{
    TDataSource *source = p->link.DataSource();
    return source && qxInheritsFromName(source->ClassType(), "TqxDataSource") ? source : nullptr;
}
void TqxDBCustomEdit::SetDataSource(TDataSource *source)
{
    if (source && source != p->link.DataSource())
        TCustomEdit::SetReadOnly(true);
    p->link.SetDataSource(source);
    if (source)
        source->FreeNotification(this);
}
std::string TqxDBCustomEdit::DataField() const
{
    return p->link.FieldName();
}
void TqxDBCustomEdit::SetDataField(const std::string &name)
{
    if (!ComponentState().Contains(csDesigning))
        DropMaxLengthOfField();
    p->link.SetFieldName(name);
}
TField *TqxDBCustomEdit::Field() const
{
    return p->link.Field();
}
TFieldDataLink *TqxDBCustomEdit::DataLink() const
{
    return &p->link;
}
bool TqxDBCustomEdit::Bound() const
{
    return p->link.DataSource() && p->link.DataSet() && !p->link.FieldName().empty();
}

// A MaxLength that came from the old field's size goes with the field.
void TqxDBCustomEdit::DropMaxLengthOfField()
{
    const TField *field = p->link.Field();
    if (field && field->DataType() == ftString && field->Size() == MaxLength())
        SetMaxLength(0);
}

bool TqxDBCustomEdit::IsDateEdit() const
{
    if (const TField *field = p->link.Field())
        return IsExactly(field, TDateField::Class);
    return p->unboundDataType == qxEdtDate;
}
bool TqxDBCustomEdit::IsTimeEdit() const
{
    if (const TField *field = p->link.Field())
        return IsExactly(field, TTimeField::Class);
    return p->unboundDataType == qxEdtTime;
}
bool TqxDBCustomEdit::IsDateTimeEdit() const
{
    if (const TField *field = p->link.Field())
        return IsExactly(field, TDateTimeField::Class);
    return p->unboundDataType == qxEdtDateTime;
}
bool TqxDBCustomEdit::IsMemoEdit() const
{
    const TField *field = p->link.Field();
    return field && field->IsBlob() && field->DataType() == ftMemo;
}
bool TqxDBCustomEdit::IsPictureStored() const
{
    return !Bound() && !Picture()->PictureMask().empty();
}
bool TqxDBCustomEdit::Busy() const
{
    return p->busy;
}
void TqxDBCustomEdit::SetBusy(bool busy)
{
    p->busy = busy;
}
bool TqxDBCustomEdit::EditFocused() const
{
    return p->focused;
}

void TqxDBCustomEdit::SetModifiedState(bool modified)
{
    if (modified && p->link.Field() && (p->link.ReadOnly() || p->link.Field()->ReadOnly()))
        return;
    if (modified)
        p->link.Modified();
    SetModified(modified);
}

void TqxDBCustomEdit::Reset()
{
    if (p->link.Field())
        p->link.Reset();
    else
        SetText(p->savedText);
    SelectAll();
    SetModified(false);
    if (OnCheckValue)
        CheckText(Text());
}

void TqxDBCustomEdit::Loaded()
{
    TqxCustomMaskEdit::Loaded();
    if (!ComponentState().Contains(csDesigning))
        DropMaxLengthOfField();
    if (!p->link.DataSource() && !p->link.ReadOnly())
        TCustomEdit::SetReadOnly(false);
}

void TqxDBCustomEdit::Notification(TComponent *component, TOperation operation)
{
    TqxCustomMaskEdit::Notification(component, operation);
    if (operation == opRemove && component && component == p->link.DataSource())
        SetDataSource(nullptr);
}

void TqxDBCustomEdit::DataChange()
{
    ShowingField showing(p->showingField);
    TField *field = p->link.Field();
    if (!field) {
        p->alignment = taLeftJustify;
        if (IsMasked())
            SetEditMask("");
        SetText(ComponentState().Contains(csDesigning) ? Name() : std::string());
        return;
    }
    if (p->alignment != field->Alignment()) {
        SetText("");
        p->alignment = field->Alignment();
    }
    // Setting a mask moves the caret; only a new one is set.
    if (!PictureActive() && EditMask() != field->EditMask())
        SetEditMask(field->EditMask());
    if (!ComponentState().Contains(csDesigning) && field->DataType() == ftString && MaxLength() == 0)
        SetMaxLength(field->Size());
    if ((p->focused || IsMemoEdit()) && p->link.CanModify())
        SetText(IsMemoEdit() ? field->AsString() : field->Text());
    else
        SetText(GetFieldDisplayText());
    SetModified(false);
}

void TqxDBCustomEdit::EditingChange()
{
    TCustomEdit::SetReadOnly(!p->link.Editing());
}

void TqxDBCustomEdit::UpdateData()
{
    if (TCustomEdit::ReadOnly())
        return;
    TField *field = p->link.Field();
    TDataSet *dataset = p->link.DataSet();
    const std::string value = GetValueText();
    if (PictureActive() && qxGetValidateWithMask(dataset) != 0) {
        if (!CheckText(value)) {
            if (TqxInvalidValueEvent onInvalid = qxGetInvalidValueEvent(dataset))
                onInvalid(dataset, field);
            else
                throw EDBEditError("Invalid input value.  Use escape key to abandon changes");
        }
    } else {
        ValidateEdit();
    }
    if (!Modified())
        return;
    if (IsMemoEdit()) {
        field->SetAsString(Text());
        return;
    }
    if (!p->link.Editing() && !qxIsCalcOrLookupField(field))
        return;
    if (field->DataType() == ftDateTime && PictureActive() && qxIsDateText(value)) {
        // The picture asks for the date alone: its time of day, if the text
        // has one, comes from the general conversion.
        TDateTime date = 0, whole = 0;
        qxTryScanDate(value, date);
        TryStrToDateTime(value, whole);
        field->SetAsDateTime(std::trunc(date) + (whole - std::trunc(whole)));
        return;
    }
    field->SetText(value);
}

void TqxDBCustomEdit::CreateParams(TCreateParams &params)
{
    TqxCustomMaskEdit::CreateParams(params);
    TCanvas *canvas = Canvas();
    canvas->SetFont(Font());
    TRect rect = Rect(0, 0, Width() - ButtonWidth(), Height());
    if (qxIsSingleLineRect(canvas, rect, 0)) {
        if (WordWrap())
            params.Style |= ES_AUTOHSCROLL;
        if (BorderStyle() == bsNone && !PasswordChar().empty())
            params.Style &= ~ES_MULTILINE;
    }
}

void TqxDBCustomEdit::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_PASTE:
        return WMPaste(message);
    case WM_CUT:
        return WMCut(message);
    case CM_GETDATALINK:
        message.Result = reinterpret_cast<LRESULT>(&p->link);
        return;
    default:
        return TqxCustomMaskEdit::Dispatch(message);
    }
}

bool TqxDBCustomEdit::EditCanModify()
{
    TField *field = p->link.Field();
    if (!field)
        return true;
    if (p->link.Edit())
        return true;
    return !p->link.ReadOnly() && qxIsCalcOrLookupField(field) && !field->ReadOnly() && field->DataSet()->CanModify();
}
bool TqxDBCustomEdit::CanTypeText() const
{
    return true;
}

TRect TqxDBCustomEdit::GetTextRect() const
{
    TRect rect = ClientRect();
    if (GetShowButton())
        rect.Right -= ButtonWidth();
    return rect;
}

std::string TqxDBCustomEdit::GetValueText() const
{
    return Text();
}

void TqxDBCustomEdit::DrawText(TCanvas *canvas, const TRect &rect, const std::string &text, uint32_t flags)
{
    qxDrawCellText(canvas, rect, p->textOffset, 1, text, 0, flags);
}

bool TqxDBCustomEdit::GetShowButton() const
{
    return false;
}
void TqxDBCustomEdit::SetShowButton(bool) { }
std::string TqxDBCustomEdit::GetFieldDisplayText() const
{
    const TField *field = p->link.Field();
    return field ? field->DisplayText() : std::string();
}
bool TqxDBCustomEdit::GetMappedDisplayText(const std::string &, std::string &) const
{
    return false;
}
int TqxDBCustomEdit::ButtonWidth() const
{
    return 0;
}
int TqxDBCustomEdit::ButtonLeft() const
{
    return ClientWidth() - 1;
}

namespace
{

// The library's grid when the edit sits in one as a cell control; known by
// its class name, as the grid lives in a library above this one.
TWinControl *GridOf(const TControl *edit)
{
    TWinControl *parent = edit->Parent();
    return parent && qxInheritsFromName(parent->ClassType(), "TqxCustomDBGrid") ? parent : nullptr;
}

// The grid's options, by their bit in TqxDBGridOptions.
constexpr int dgAlwaysShowEditor = 1;
constexpr int dgTabs = 7;
bool GridOption(const TWinControl *grid, int bit)
{
    return GetPropInfo(grid, "Options") && (GetOrdProp(grid, "Options") >> bit) & 1;
}

} // namespace

// Inside the grid, the keys that move between cells and records are the
// grid's: it takes the focus and handles them.
bool TqxDBCustomEdit::KeyToGrid(uint16_t &key, TShiftState shift)
{
    TWinControl *grid = GridOf(this);
    if (!grid)
        return false;
    const int length = static_cast<int>(Utf8Length(Text()));
    const bool wholeText = SelLength() == length;
    if (IsMemoEdit() && !wholeText)
        return false;
    const bool ctrl = shift.Contains(ssCtrl), always = GridOption(grid, dgAlwaysShowEditor);
    const int caret = SelStart();
    bool toGrid = false;
    switch (key) {
    case VK_ESCAPE: toGrid = !Modified(); break;
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN: toGrid = !shift.Contains(ssAlt); break;
    case VK_HOME:
    case VK_LEFT: toGrid = always && (ctrl || caret == 0); break;
    case VK_END:
    case VK_RIGHT: toGrid = always && (ctrl || caret + SelLength() >= length || wholeText); break;
    case VK_INSERT: toGrid = always && !shift.Contains(ssShift); break;
    case VK_DELETE: toGrid = always && ctrl; break;
    case VK_RETURN: toGrid = !WantReturns() || ctrl; break;
    case VK_TAB: toGrid = GridOption(grid, dgTabs); break;
    default: break;
    }
    if (!CanTypeText() && (key == VK_HOME || key == VK_END || key == VK_LEFT || key == VK_RIGHT))
        toGrid = true;
    if (key == VK_F2) {
        // The grid's handler may take F2; else it puts the caret at the end.
        if (TKeyEvent handler = GetEventProp<TObject *, uint16_t &, TShiftState>(grid, "OnKeyDown"))
            handler(grid, key, shift);
        if (key == VK_F2) {
            SetSelStart(length);
            SetSelLength(0);
        }
        return key == 0;
    }
    if (!toGrid)
        return false;
    grid->SetFocus();
    if (grid->Focused())
        grid->Perform(WM_KEYDOWN, key, 0);
    key = 0;
    return true;
}

void TqxDBCustomEdit::KeyDown(uint16_t &key, TShiftState shift)
{
    if (KeyToGrid(key, shift))
        return;
    // Delete edits the text as much as Backspace does.
    if (key == VK_DELETE && !p->link.DataSource())
        p->OpenUnbound(*this);
    TqxCustomMaskEdit::KeyDown(key, shift);
    if (key == 0 || !p->link.Field())
        return;
    if (key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) {
        p->link.Edit();
        SetModifiedState(true);
    }
}

void TqxDBCustomEdit::KeyPress(char32_t &key)
{
    TField *field = p->link.Field();
    const bool typing = key >= 32 || key == VK_BACK;
    if (typing) {
        auto *source = p->link.DataSource();
        const TDataSetState state = p->link.DataSet() ? p->link.DataSet()->State() : dsInactive;
        if (TCustomEdit::ReadOnly() && source && !source->AutoEdit() && state != dsEdit && state != dsInsert) {
            key = 0;
            return;
        }
        if (!source) {
            if (!p->OpenUnbound(*this)) {
                key = 0;
                return;
            }
        } else if (field && qxIsCalcOrLookupField(field) && !p->link.ReadOnly()) {
            if (!field->DataSet()->CanModify()) {
                key = 0;
                return;
            }
            field->DataSet()->Edit();
            if (TCustomEdit::ReadOnly())
                TCustomEdit::SetReadOnly(false);
        }
    }

    if (key == U' ' && p->autoFillDate && !KeyboardShiftState().Contains(ssCtrl)
        && !(PictureActive() && Picture()->AutoFill())) {
        if (IsDateEdit() || IsTimeEdit() || IsDateTimeEdit())
            p->link.Edit();
        if (FillDateTime()) {
            key = 0;
            if (OnCheckValue)
                CheckText(Text());
            return;
        }
    }

    const char32_t before = key;
    TqxCustomMaskEdit::KeyPress(key);
    if (key == 0) {
        if (before >= 32 || before == VK_BACK)
            SetModifiedState(true);
        return;
    }
    std::string mapped;
    if (field && key >= 32 && !GetMappedDisplayText(field->AsString(), mapped) && !field->IsValidChar(key)) {
        MessageBeep(0);
        key = 0;
        return;
    }

    switch (key) {
    case VK_BACK:
    case 22:
    case 24:
        if (!CanTypeText()) {
            key = 0;
        } else {
            p->link.Edit();
            SetModifiedState(true);
        }
        break;
    case VK_RETURN:
        if (WantReturns()) {
            p->link.Edit();
            SetModifiedState(true);
        } else if (GridOf(this))
            key = 0;
        break;
    case VK_TAB:
        if (GridOf(this))
            key = 0;
        break;
    case VK_ESCAPE:
        Reset();
        Invalidate();
        key = 0;
        if (TWinControl *grid = GridOf(this))
            grid->SetFocus();
        break;
    default:
        if (key >= 32) {
            if (!CanTypeText()) {
                key = 0;
            } else {
                p->link.Edit();
                SetModifiedState(true);
            }
        }
        break;
    }
}

// Fills in the next part of a date or a time from the present moment.
// Answers whether the edit is one that does this (and so takes the key).
bool TqxDBCustomEdit::FillDateTime()
{
    const bool date = IsDateEdit(), time = IsTimeEdit(), dateTime = IsDateTimeEdit();
    if (!date && !time && !dateTime)
        return false;
    std::u32string text = Chars(Text());
    const int length = static_cast<int>(text.size());
    const int caret = SelStart();
    const bool allSelected = SelStart() == 0 && SelLength() == length;
    if (!allSelected && (caret != length || SelLength() != 0))
        return false;
    if (p->link.ReadOnly() || (p->link.Field() && !p->link.Editing())) {
        MessageBeep(0);
        return true;
    }
    if (allSelected)
        text.clear();

    const TFormatSettings &fs = FormatSettings;
    const std::string format = LowerCase(fs.ShortDateFormat);
    const TDateTime now = Now();
    uint16_t year, month, day, hour, minute, second, msec;
    DecodeDate(now, year, month, day);
    DecodeTime(now, hour, minute, second, msec);

    const int dateSeparators = CountOf(text, fs.DateSeparator);
    const bool endsInSeparator = !text.empty() && text.back() == fs.DateSeparator;
    TqxDateTimePart part;
    if (time) {
        part = qxTimePartAt(static_cast<int>(text.size()), Utf8(text));
    } else if (allSelected) {
        switch (qxDateOrder(fs.ShortDateFormat)) {
        case qxdoDMY:
            part = qxdpDay;
            break;
        case qxdoYMD:
            part = qxdpYear;
            break;
        default:
            part = qxdpMonth;
            break;
        }
    } else if (dateSeparators < 2 && !endsInSeparator && !text.empty()) {
        text += fs.DateSeparator;
        SetText(Utf8(text));
        SetSelStart(static_cast<int>(text.size()));
        SetModifiedState(true);
        return true;
    } else {
        part = qxDateTimePartAt(static_cast<int>(text.size()), Utf8(text), false);
    }
    const bool completeDate = dateSeparators == 2 && !endsInSeparator;
    if ((completeDate || time) && part <= qxdpYear)
        part = qxdpHour;

    std::string added;
    const std::string dateSeparator = CodePointToUtf8(fs.DateSeparator);
    const std::string timeSeparator = CodePointToUtf8(fs.TimeSeparator);
    auto dateField = [&](int value, bool twoDigits) {
        added = twoDigits ? TwoDigits(value) : IntToStr(value);
        if (dateSeparators < 2)
            added += dateSeparator;
    };
    switch (part) {
    case qxdpDay:
        dateField(day, format.find("dd") != std::string::npos);
        break;
    case qxdpMonth:
        dateField(month, format.find("mm") != std::string::npos);
        break;
    case qxdpYear:
        added = format.find("yyyy") != std::string::npos ? IntToStr(year) : TwoDigits(year % 100);
        if (dateSeparators < 2)
            added += dateSeparator;
        break;
    default: {
        if (date)
            break;
        const bool amPm = !fs.TimeAMString.empty();
        const std::u32string am = Chars(fs.TimeAMString), pm = Chars(fs.TimePMString);
        bool timeDone;
        // "AM" and "PM" are written in capitals whatever the texts' case.
        auto holds = [&](const std::u32string &marker) {
            return !marker.empty() && std::any_of(text.begin(), text.end(), [&](char32_t c) {
                return AnsiUpperChar(c) == AnsiUpperChar(marker.front());
            });
        };
        if (!am.empty() || !pm.empty())
            timeDone = holds(am) || holds(pm);
        else
            timeDone = CountOf(text, fs.TimeSeparator) >= 2;
        if (timeDone)
            break;
        // Two digits after the second separator complete the seconds; what
        // follows them is the AM/PM part.
        const size_t lastSeparator = text.rfind(fs.TimeSeparator);
        if (part == qxdpSecond && lastSeparator != std::u32string::npos && text.size() - lastSeparator > 2)
            part = qxdpAmPm;
        switch (part) {
        case qxdpHour:
            if (dateTime && (text.empty() || text.back() != U' ')) {
                added = " ";
                break;
            }
            added = IntToStr(amPm ? (hour % 12 == 0 ? 12 : hour % 12) : hour) + timeSeparator;
            break;
        case qxdpMinute:
            if (text.empty() || text.back() != fs.TimeSeparator) {
                added = timeSeparator;
                break;
            }
            added = TwoDigits(minute) + timeSeparator;
            break;
        case qxdpSecond:
            added = TwoDigits(second);
            break;
        default:
            if (text.empty() || text.back() != U' ')
                added = " ";
            added += hour < 12 ? "AM" : "PM";
            break;
        }
        break;
    }
    }
    if (!added.empty()) {
        const std::string result = Utf8(text) + added;
        SetText(result);
        SetSelStart(static_cast<int>(Utf8Length(result)));
        SetModifiedState(true);
    }
    return true;
}

void TqxDBCustomEdit::Change()
{
    if (!p->link.DataSource() && !p->showingField)
        SetModifiedState(true);
    TqxCustomMaskEdit::Change();
}

void TqxDBCustomEdit::DoEnter()
{
    if (!p->link.DataSource())
        SetModified(false);
    TqxCustomMaskEdit::DoEnter();
    if (GridOf(this))
        SelectAll();
}

// Focused, the edit shows the field's text to edit; else its display text.
void TqxDBCustomEdit::SetFocusedFlag(bool focused)
{
    if (p->focused == focused)
        return;
    p->focused = focused;
    if (p->alignment != taLeftJustify && !IsMasked())
        Invalidate();
    if (p->link.Field())
        p->link.Reset();
}

void TqxDBCustomEdit::CMEnter(TMessage &message)
{
    SetFocusedFlag(true);
    if (!p->link.DataSource())
        p->savedText = Text();
    TqxCustomMaskEdit::CMEnter(message);
    if (!CanTypeText())
        Invalidate();
}

void TqxDBCustomEdit::CMExit(TMessage &message)
{
    const bool modified = Modified();
    try {
        p->link.UpdateRecord();
    } catch (...) {
        SelectAll();
        if (CanFocus())
            SetFocus();
        SetModified(modified);
        throw;
    }
    TqxCustomMaskEdit::CMExit(message);
    if (!InvalidExit()) {
        SetFocusedFlag(false);
        SetSelStart(0);
    }
    if (!CanTypeText())
        Invalidate();
}

void TqxDBCustomEdit::WMPaste(TMessage &message)
{
    if (!p->link.DataSource() && !p->OpenUnbound(*this))
        return;
    p->link.Edit();
    const int oldCaret = SelStart();
    const int oldLength = GetTextLen();
    TqxCustomMaskEdit::Dispatch(message);
    SetModifiedState(true);
    ApplyPicture();
    if (SelStart() == 0)
        SetSelStart(oldCaret + GetTextLen() - oldLength);
    if (OnCheckValue)
        CheckText(Text());
}

void TqxDBCustomEdit::WMCut(TMessage &message)
{
    p->link.Edit();
    TqxCustomMaskEdit::Dispatch(message);
    SetModifiedState(true);
    if (OnCheckValue)
        CheckText(Text());
}

bool TqxDBCustomEdit::PaintsItself() const
{
    const bool windowPaints = (p->alignment == taLeftJustify || p->focused) && CanTypeText();
    return !windowPaints;
}

void TqxDBCustomEdit::Paint()
{
    TCanvas *canvas = Canvas();
    const bool bordered = BorderStyle() != bsNone;
    canvas->Font()->Assign(Font());
    if (!Enabled())
        canvas->Font()->SetColor(RGB(128, 128, 128));

    TRect rect = ClientRect();
    if (bordered) {
        if (Ctl3D()) {
            // The sunken edge is the native window's own frame, which is not
            // drawn while the edit paints itself.
            Frame3D(canvas, rect, clBtnShadow, clBtnHighlight, 1);
            Frame3D(canvas, rect, cl3DDkShadow, cl3DLight, 1);
        } else {
            canvas->Brush()->SetColor(clWindowFrame);
            canvas->FrameRect(rect);
            InflateRect(rect, -1, -1);
        }
    }
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(rect);

    TRect textRect = GetTextRect();
    InflateRect(textRect, -1, -1);
    std::string text = Utf8Copy(Text(), 1, 255);
    if (!PasswordChar().empty())
        text = StringOfChar(Chars(PasswordChar()).front(), static_cast<int>(Utf8Length(text)));

    const bool highlighted = p->focused && !CanTypeText();
    if (highlighted) {
        canvas->Brush()->SetColor(clHighlight);
        canvas->Font()->SetColor(clHighlightText);
    }
    const int m = bordered ? 3 : p->margin;
    int x = textRect.Left + m + 1;
    const int width = canvas->TextWidth(text);
    if (p->alignment == taRightJustify)
        x = (GetShowButton() ? ButtonLeft() : textRect.Right) - width - m - 1;
    else if (p->alignment == taCenter)
        x = (textRect.Left + textRect.Right - width) / 2;
    p->textOffset = x - textRect.Left;
    DrawText(canvas, textRect, text, WordWrap() ? qxdcWordWrap : 0);
    if (highlighted)
        canvas->DrawFocusRect(textRect);
}

TqxDBEdit::TqxDBEdit(TComponent *owner)
    : TqxDBCustomEdit(owner)
{
}
