#include "controls/widgets/qxriched.h"
#include "controls/widgets/qxriched_p.h"

#include "platform/classes/typinfo.h"
#include "platform/db/db.h"
#include "platform/rich/rtf.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/windows.h"
#include "platform/ui/buttons.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

#include <optional>

const TMetaClass TqxDBRichEdit::Class { "TqxDBRichEdit", &TqxCustomRichEdit::Class };

// clang-format off
namespace {
const TEnumNames AlignNames = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const TEnumNames AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const TEnumNames BorderStyleNames = {"bsNone", "bsSingle"};
const TEnumNames OleOptionNames = {"reoAdjustPopupMenu", "reoDisableOLE"};
const TEnumNames PopupOptionNames = {"rpoPopupEdit", "rpoPopupCut", "rpoPopupCopy", "rpoPopupPaste", "rpoPopupBold",
    "rpoPopupItalic", "rpoPopupUnderline", "rpoPopupFont", "rpoPopupBullet", "rpoPopupParagraph", "rpoPopupTabs",
    "rpoPopupFind", "rpoPopupReplace", "rpoPopupInsertObject"};
const TEnumNames EditorOptionNames = {"reoShowLoad", "reoShowSaveAs", "reoShowSaveExit", "reoShowPrint",
    "reoShowPageSetup", "reoShowFormatBar", "reoShowToolBar", "reoShowStatusBar", "reoShowHints", "reoShowRuler",
    "reoShowInsertObject", "reoCloseOnEscape", "reoFlatButtons"};
const TEnumNames UnitNames = {"muInches", "muCentimeters"};
const TEnumNames EditWidthNames = {"rewWindowSize", "rewPrinterSize"};
using E = TqxDBRichEdit;
using P = TPublish<TqxDBRichEdit>;
const TClassRegistrar<TqxDBRichEdit> registrar({
    P::Enum      ("Align",            AlignNames,        &E::Align,            &E::SetAlign,            alNone),
    P::Enum      ("Alignment",        AlignmentNames,    &E::Alignment,        &E::SetAlignment,        taLeftJustify),
    P::Boolean   ("AutoURLDetect",                       &E::AutoURLDetect,    &E::SetAutoURLDetect,    false),
    P::Boolean   ("AutoDisplay",                         &E::AutoDisplay,      &E::SetAutoDisplay,      true),
    P::Enum      ("BorderStyle",      BorderStyleNames,  &E::BorderStyle,      &E::SetBorderStyle,      bsSingle),
    P::Integer   ("Color",                               &E::Color,            &E::SetColor,            clWindow),
    P::Boolean   ("Ctl3D",                               &E::Ctl3D,            &E::SetCtl3D,            true),
    P::String    ("DataField",                           &E::DataField,        &E::SetDataField,        ""),
    P::Component ("DataSource",                          &E::DataSource,       &E::SetDataSource),
    P::Boolean   ("Enabled",                             &E::Enabled,          &E::SetEnabled,          true),
    P::Persistent("Font",                                &E::Font,             &E::SetFont),
    P::Boolean   ("HideSelection",                       &E::HideSelection,    &E::SetHideSelection,    true),
    P::Boolean   ("HideScrollBars",                      &E::HideScrollBars,   &E::SetHideScrollBars,   true),
    P::Integer   ("MaxLength",                           &E::MaxLength,        &E::SetMaxLength,        0),
    P::Boolean   ("ParentColor",                         &E::ParentColor,      &E::SetParentColor,      false),
    P::Boolean   ("ParentCtl3D",                         &E::ParentCtl3D,      &E::SetParentCtl3D,      true),
    P::Boolean   ("ParentFont",                          &E::ParentFont,       &E::SetParentFont,       true),
    P::Boolean   ("ParentShowHint",                      &E::ParentShowHint,   &E::SetParentShowHint,   true),
    P::Set       ("OleOptions",       OleOptionNames,    &E::OleOptions,       &E::SetOleOptions,       TqxRichEditOleOptions { reoAdjustPopupMenu }),
    P::Component ("UserSpeedButton1",                    &E::UserSpeedButton1, &E::SetUserSpeedButton1),
    P::Component ("UserSpeedButton2",                    &E::UserSpeedButton2, &E::SetUserSpeedButton2),
    P::Component ("PopupMenu",                           &E::PopupMenu,        &E::SetPopupMenu),
    P::String    ("PrintJobName",                        &E::PrintJobName,     &E::SetPrintJobName,     NoDefault),
    P::Boolean   ("ReadOnly",                            &E::ReadOnly,         &E::SetReadOnly,         false),
    P::Boolean   ("ShowHint",                            &E::ShowHint,         &E::SetShowHint,         false),
    P::Integer   ("TabOrder",                            &E::TabOrder,         &E::SetTabOrder,         -1),
    P::Boolean   ("TabStop",                             &E::TabStop,          &E::SetTabStop,          true),
    P::Boolean   ("Visible",                             &E::Visible,          &E::SetVisible,          true),
    P::Boolean   ("WantReturns",                         &E::WantReturns,      &E::SetWantReturns,      true),
    P::Boolean   ("WantTabs",                            &E::WantTabs,         &E::SetWantTabs,         false),
    P::Boolean   ("WordWrap",                            &E::WordWrap,         &E::SetWordWrap,         true),
    P::Event     ("OnChange",                            &E::OnChange),
    P::Event     ("OnClick",                             &E::OnClick),
    P::Event     ("OnDblClick",                          &E::OnDblClick),
    P::Event     ("OnEnter",                             &E::OnEnter),
    P::Event     ("OnExit",                              &E::OnExit),
    P::Event     ("OnKeyDown",                           &E::OnKeyDown),
    P::Event     ("OnKeyPress",                          &E::OnKeyPress),
    P::Event     ("OnKeyUp",                             &E::OnKeyUp),
    P::Event     ("OnMouseDown",                         &E::OnMouseDown),
    P::Event     ("OnMouseMove",                         &E::OnMouseMove),
    P::Event     ("OnMouseUp",                           &E::OnMouseUp),
    P::Event     ("OnResizeRequest",                     &E::OnResizeRequest),
    P::Event     ("OnSelectionChange",                   &E::OnSelectionChange),
    P::Event     ("OnProtectChange",                     &E::OnProtectChange),
    P::Event     ("OnSaveClipboard",                     &E::OnSaveClipboard),
    P::Set       ("PopupOptions",     PopupOptionNames,  &E::PopupOptions,     &E::SetPopupOptions,     TqxRichEditPopupOptions::FromBits(16271)),
    P::Set       ("EditorOptions",    EditorOptionNames, &E::EditorOptions,    &E::SetEditorOptions,    TqxRichEditOptions::FromBits(8188)),
    P::String    ("EditorCaption",                       &E::EditorCaption,    &E::SetEditorCaption,    "Edit Rich Text"),
    P::Persistent("EditorPosition",                      &E::EditorPosition,   &E::SetEditorPosition),
    P::Enum      ("MeasurementUnits", UnitNames,         &E::MeasurementUnits, &E::SetMeasurementUnits, muInches),
    P::Persistent("PrintMargins",                        &E::PrintMargins,     &E::SetPrintMargins),
    P::Enum      ("EditWidth",        EditWidthNames,    &E::EditWidth,        &E::SetEditWidth,        rewWindowSize),
    P::Event     ("OnInitDialog",                        &E::OnInitDialog),
    P::Event     ("OnCloseDialog",                       &E::OnCloseDialog),
    P::Event     ("OnCreateDialog",                      &E::OnCreateDialog),
    P::Event     ("OnURLOpen",                           &E::OnURLOpen),
});
} // namespace
// clang-format on

namespace
{

// Saving an embedded object in its server marks the record modified.
class TqxRichEditAdviseSink : public TInterfacedObject<IAdviseSink>
{
public:
    explicit TqxRichEditAdviseSink(TqxDBRichEdit *edit)
        : edit_(edit)
    {
    }
    void OnDataChange(const FORMATETC &, const STGMEDIUM &) override { Notify(0); }
    void OnViewChange(uint32_t, int32_t) override { Notify(1); }
    void OnRename() override { Notify(2); }
    void OnSave() override { Notify(3); }
    void OnClose() override { Notify(4); }

private:
    void Notify(int code)
    {
        if (code != 3)
            return;
        edit_->PrepareModify();
        edit_->DataLink()->Modified();
        edit_->SetModified(true);
    }
    TqxDBRichEdit *edit_;
};

class TCursorScope
{
public:
    TCursorScope()
        : saved_(Screen->Cursor())
    {
        Screen->SetCursor(crHourGlass);
    }
    ~TCursorScope() { Screen->SetCursor(saved_); }
    TCursorScope(const TCursorScope &) = delete;
    TCursorScope &operator=(const TCursorScope &) = delete;

private:
    TCursor saved_;
};

} // namespace

struct TqxDBRichEdit::DbImpl {
    TFieldDataLink link;
    bool dataFieldSet = false;
    bool focused = false;
    bool loaded = false;
    // The blob's value when an edit call began: the data change that edit
    // call causes must not reload what the control itself holds.
    std::optional<std::string> remembered;
    bool paintSuppressed = false;
    bool painted = false;
    bool autoDisplay = true;
    bool readOnly = false;
};

TqxDBRichEdit::TqxDBRichEdit(TComponent *owner)
    : TqxCustomRichEdit(owner)
    , db(std::make_unique<DbImpl>())
{
    db->link.SetControl(this);
    db->link.OnDataChange = [this](TObject *) { DataChange(); };
    db->link.OnEditingChange = [this](TObject *) { EditingChange(); };
    db->link.OnUpdateData = [this](TObject *) { StoreContent(); };
    SetTransferMode(0);
    SetLeftInset(3);
}

TqxDBRichEdit::~TqxDBRichEdit()
{
    db->link.OnDataChange = {};
    db->link.OnEditingChange = {};
    db->link.OnUpdateData = {};
    db->link.SetDataSource(nullptr);
}

// ---- Binding ------------------------------------------------------------------------------

TDataSource *TqxDBRichEdit::DataSource() const
{
    return db->link.DataSource();
}
void TqxDBRichEdit::SetDataSource(TDataSource *source)
{
    db->link.SetDataSource(source);
    if (source)
        source->FreeNotification(this);
}
std::string TqxDBRichEdit::DataField() const
{
    return db->link.FieldName();
}
void TqxDBRichEdit::SetDataField(const std::string &name)
{
    if (name.empty()) {
        TCustomEdit::SetReadOnly(db->readOnly);
        db->dataFieldSet = false;
    } else if (name != db->link.FieldName()) {
        TCustomEdit::SetReadOnly(true);
        db->dataFieldSet = true;
    }
    db->link.SetFieldName(name);
}
bool TqxDBRichEdit::AutoDisplay() const
{
    return db->autoDisplay;
}
void TqxDBRichEdit::SetAutoDisplay(bool autoDisplay)
{
    if (!db->link.Field() || autoDisplay == db->autoDisplay) {
        db->autoDisplay = autoDisplay;
        return;
    }
    db->autoDisplay = autoDisplay;
    if (autoDisplay)
        LoadFromField();
}
TFieldDataLink *TqxDBRichEdit::DataLink() const
{
    return &db->link;
}

bool TqxDBRichEdit::ReadOnly() const
{
    TField *field = db->link.Field();
    if (!field && !db->dataFieldSet)
        return db->readOnly;
    if (db->link.ReadOnly())
        return true;
    if (ComponentState().Contains(csDesigning) || !field || !db->link.DataSet())
        return false;
    return db->link.DataSet()->CanModify() ? field->ReadOnly() : true;
}
void TqxDBRichEdit::SetReadOnly(bool readOnly)
{
    db->readOnly = readOnly;
    if (!db->link.Field())
        TCustomEdit::SetReadOnly(readOnly);
    db->link.SetReadOnly(readOnly);
}

TField *TqxDBRichEdit::GetBoundField() const
{
    return db->link.Field();
}
bool TqxDBRichEdit::IsRichTextLoaded() const
{
    return db->loaded;
}
void TqxDBRichEdit::SetPaintSuppressed(bool suppressed)
{
    db->paintSuppressed = suppressed;
}

void TqxDBRichEdit::Notification(TComponent *component, TOperation operation)
{
    TqxCustomRichEdit::Notification(component, operation);
    if (operation == opRemove && component == db->link.DataSource())
        SetDataSource(nullptr);
}

void TqxDBRichEdit::SetParent(TWinControl *parent)
{
    if (parent == Parent())
        return TqxCustomRichEdit::SetParent(parent);
    // The window goes with the old parent; the content is read again from
    // the field on the next paint instead of being kept.
    q->reparenting = true;
    try {
        TqxCustomRichEdit::SetParent(parent);
    } catch (...) {
        q->reparenting = false;
        throw;
    }
    q->reparenting = false;
    db->loaded = false;
}

// ---- Loading and storing ------------------------------------------------------------------

void qxLoadRichContentFromBlob(TqxCustomRichEdit *target, TBlobField *blob)
{
    TqxRichMemoryStream content;
    blob->SaveToStream(content);
    // Plain text is kept as such: only content that starts like RTF is read as RTF.
    bool rtf = IsRtf(std::string_view(static_cast<const char *>(content.Memory()),
        static_cast<size_t>(std::min<int64_t>(content.Size(), 5))));
    content.SetPosition(0);
    int limit = target->MaxLength();
    if (limit > 0)
        target->SetMaxLength(limit + 1);
    bool plain = target->PlainText();
    target->SetPlainText(!rtf);
    try {
        target->Lines()->LoadFromStream(content);
    } catch (...) {
        target->SetPlainText(plain);
        if (limit > 0)
            target->SetMaxLength(limit);
        throw;
    }
    target->SetPlainText(plain);
    if (limit > 0)
        target->SetMaxLength(limit);
}

void TqxDBRichEdit::LoadFromField()
{
    auto *blob = dynamic_cast<TBlobField *>(db->link.Field());
    if (!blob || db->loaded)
        return;
    TProgrammaticChange change(this);
    TCursorScope cursor;
    TRichEditProtectChange protect = OnProtectChange;
    // Protected text never stands in the way of loading.
    OnProtectChange = [](TObject *, int, int, bool &allow) { allow = true; };
    db->loaded = true;
    try {
        Lines()->Clear();
        qxLoadRichContentFromBlob(this, blob);
        OnProtectChange = protect;
        if (blob->AsString().empty()) {
            Paragraph()->SetNumbering(nsNone);
            Paragraph()->SetAlignment(taLeftJustify);
            DefAttributes()->SetColor(clBlack);
        }
    } catch (const EOutOfResources &error) {
        OnProtectChange = protect;
        SetText(Format("(%s)", error.Message()));
    } catch (...) {
        OnProtectChange = protect;
        throw;
    }
    EditingChange();
    SetModified(false);
}

void TqxDBRichEdit::LoadPreviewFromField(TField *field)
{
    if (!field || !field->DataSet())
        return;
    std::unique_ptr<TStream> stream = field->DataSet()->CreateBlobStream(field, bmRead);
    StreamInContent(*stream, true, false);
    db->loaded = false;
}

void TqxDBRichEdit::DataChange()
{
    TField *field = db->link.Field();
    if (!field) {
        SetText(ComponentState().Contains(csDesigning) ? Name() : std::string());
        db->loaded = false;
    } else if (!dynamic_cast<TBlobField *>(field)) {
        db->loaded = false;
        SetText(db->focused && db->link.CanModify() ? field->Text() : field->DisplayText());
        db->loaded = true;
    } else if (db->autoDisplay || (db->link.Editing() && db->loaded)) {
        if (db->remembered && *db->remembered == field->AsString())
            return;
        db->loaded = false;
        if (Visible())
            LoadFromField();
    } else {
        db->loaded = false;
        SetText(Format("(%s)", field->DisplayLabel()));
    }
    if (HandleAllocated())
        Invalidate();
}

void TqxDBRichEdit::EditingChange()
{
    if (db->link.Field())
        TCustomEdit::SetReadOnly(!(db->link.Editing() && db->loaded));
}

void TqxDBRichEdit::PrepareModify()
{
    TField *field = db->link.Field();
    if (!field || db->link.Editing())
        return;
    if (dynamic_cast<TBlobField *>(field))
        db->remembered = field->AsString();
    try {
        db->link.Edit();
    } catch (...) {
        db->remembered.reset();
        throw;
    }
    db->remembered.reset();
}

void TqxDBRichEdit::StoreContent()
{
    TField *field = db->link.Field();
    if (!field || !Modified() || !db->loaded)
        return;
    if (auto *blob = dynamic_cast<TBlobField *>(field)) {
        TqxRichMemoryStream content;
        TCustomRichEdit::Lines()->SaveToStream(content);
        content.SetPosition(0);
        blob->LoadFromStream(content);
    } else {
        field->SetText(Text());
    }
}

// ---- Keys, focus and messages -------------------------------------------------------------

void TqxDBRichEdit::KeyDown(uint16_t &key, TShiftState shift)
{
    TqxCustomRichEdit::KeyDown(key, shift);
    if (key == 0 || !db->link.Field() || !db->loaded)
        return;
    bool ctrl = shift.Contains(ssCtrl);
    if (key == VK_DELETE || key == VK_BACK || (key == VK_INSERT && shift.Contains(ssShift)) || (ctrl && key == 'V')
        || (ctrl && key == 'X') || (key == VK_RETURN && WantReturns()))
        PrepareModify();
}

void TqxDBRichEdit::KeyPress(char32_t &key)
{
    TqxCustomRichEdit::KeyPress(key);
    if (!db->link.Field() || key == 0)
        return;
    if (!db->loaded) {
        if (key == VK_RETURN)
            LoadFromField();
        key = 0;
        return;
    }
    if (key == VK_BACK || key == VK_TAB || key == 10 || key == VK_RETURN || key == 22 || key == 24 || key >= 32)
        PrepareModify();
    else if (key == VK_ESCAPE)
        db->link.Reset();
}

void TqxDBRichEdit::Change()
{
    if (db->link.Field() && db->loaded && !ProgrammaticChange() && !q->reparenting && !ReadOnly()) {
        PrepareModify();
        db->link.Modified();
    }
    TqxCustomRichEdit::Change();
}

void TqxDBRichEdit::CMEnter(TMessage &message)
{
    if (TField *field = db->link.Field()) {
        bool changed = !db->focused;
        db->focused = true;
        if (changed && !dynamic_cast<TBlobField *>(field))
            db->link.Reset();
    }
    TqxCustomRichEdit::CMEnter(message);
}

void TqxDBRichEdit::CMExit(TMessage &message)
{
    if (TField *field = db->link.Field()) {
        try {
            db->link.UpdateRecord();
        } catch (...) {
            SetFocus();
            throw;
        }
        bool changed = db->focused;
        db->focused = false;
        if (changed && !dynamic_cast<TBlobField *>(field))
            db->link.Reset();
    }
    TqxCustomRichEdit::CMExit(message);
}

void TqxDBRichEdit::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case CM_GETDATALINK:
        message.Result = db->link.Field() ? reinterpret_cast<LRESULT>(&db->link) : 0;
        return;
    case WM_CUT:
    case WM_PASTE:
        if (db->link.Field())
            PrepareModify();
        break;
    case WM_LBUTTONDBLCLK:
        return DoubleClick(message);
    default:
        break;
    }
    TqxCustomRichEdit::Dispatch(message);
}

void TqxDBRichEdit::DoubleClick(TMessage &message)
{
    if (db->link.Field() && !db->loaded)
        return LoadFromField();
    if (q->ole) {
        REOBJECT object;
        if (q->ole->GetObject(REO_IOB_SELECTION, object, REO_GETOBJ_POLEOBJ) == S_OK && object.poleobj) {
            TComPtr<IOleObject> ole(object.poleobj);
            object.poleobj->Release();
            if (ReadOnly())
                return;
            if (!q->switches[6]) {
                TComPtr<IAdviseSink> sink(new TqxRichEditAdviseSink(this));
                uint32_t connection = 0;
                ole->Advise(sink.Get(), connection);
            }
        }
    }
    TqxCustomRichEdit::Dispatch(message);
}

void TqxDBRichEdit::WMPaint(TMessage &message)
{
    if (!ComponentState().Contains(csDesigning)) {
        if (!db->painted) {
            db->painted = true;
            UpdateFormatRect();
        }
        if (db->link.Field() && !db->loaded)
            LoadFromField();
    }
    if (db->paintSuppressed)
        return;
    TqxCustomRichEdit::WMPaint(message);
}
