#include "controls/widgets/qxdbgrid.h"
#include "controls/widgets/qxgrid_p.h"

#include "controls/base/Qxcomdb.h"
#include "controls/base/Qxcommon.h"
#include "controls/base/Qxcomui.h"
#include "controls/base/Qxintl.h"
#include "controls/base/qxdrawing.h"
#include "controls/widgets/qxdbdatetimepicker.h"
#include "controls/widgets/qxmemo.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "platform/ui/imglist.h"
#include "platform/ui/services.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const TMetaClass TqxMemoDialog::Class { "TqxMemoDialog", &TComponent::Class };
const TMetaClass TqxDBGrid::Class { "TqxDBGrid", &TqxCustomDBGrid::Class };

// clang-format off
namespace {

const TEnumNames OptionNames = {"dgEditing", "dgAlwaysShowEditor", "dgTitles", "dgIndicator", "dgColumnResize",
    "dgColLines", "dgRowLines", "dgTabs", "dgRowSelect", "dgAlwaysShowSelection", "dgConfirmDelete", "dgCancelOnExit",
    "dgWordWrap", "dgPerfectRowFit", "dgMultiSelect", "dgShowFooter", "dgFooter3DCells", "dgNoLimitColSize",
    "dgTrailingEllipsis"};
const TEnumNames KeyOptionNames = {"dgEnterToTab", "dgAllowDelete", "dgAllowInsert"};
const TEnumNames MultiSelectNames = {"msoAutoUnselect", "msoShiftSelect"};
const TEnumNames EditControlNames = {"ecoCheckboxSingleClick", "ecoSearchOwnerForm", "ecoDisableCustomControls",
    "ecoDisableDateTimePicker"};
const TEnumNames MemoAttributeNames = {"mSizeable", "mWordWrap", "mGridShow", "mViewOnly", "mDisableDialog"};
const TEnumNames AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const TEnumNames IndicatorColorNames = {"icBlack", "icYellow"};
const TqxDBGridOptions DefaultOptions {dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines,
    dgTabs, dgConfirmDelete, dgCancelOnExit, dgWordWrap};
const TqxMemoAttributes DefaultMemo {mSizeable, mWordWrap};

using PC = TPublish<TqxCustomDBGrid>;
using PG = TPublish<TqxDBGrid>;
const TClassRegistrar<TqxCustomDBGrid> customGridRegistrar({});
const TClassRegistrar<TqxDBGrid> gridRegistrar({
    //           name                     getter                                  setter                                   default
    PC::Boolean ("ControlInfoInDataset",  &TqxCustomDBGrid::ControlInfoInDataset, &TqxCustomDBGrid::SetControlInfoInDataset, true),
    PC::Strings ("ControlType",           &TqxCustomDBGrid::ControlType),
    PC::Strings ("Selected",              &TqxCustomDBGrid::Selected),
    PC::Set     ("MemoAttributes",        MemoAttributeNames,
                                          &TqxCustomDBGrid::MemoAttributes,       &TqxCustomDBGrid::SetMemoAttributes,     DefaultMemo),
    PC::Integer ("TitleColor",            &TqxCustomDBGrid::TitleColor,           &TqxCustomDBGrid::SetTitleColor,         clBtnFace),
    PG::Integer ("FixedCols",             &TqxDBGrid::FixedCols,                  &TqxDBGrid::SetFixedCols,                0),
    PC::Boolean ("ShowHorzScrollBar",     &TqxCustomDBGrid::ShowHorzScrollBar,    &TqxCustomDBGrid::SetShowHorzScrollBar,  true),
    PC::Boolean ("ShowVertScrollBar",     &TqxCustomDBGrid::ShowVertScrollBar,    &TqxCustomDBGrid::SetShowVertScrollBar,  true),
    PG::Set     ("EditControlOptions",    EditControlNames,
                                          &TqxDBGrid::EditControlOptions,         &TqxDBGrid::SetEditControlOptions,       TqxEditControlOptions({ecoSearchOwnerForm})),
    PC::Component("DataSource",           &TqxCustomDBGrid::DataSource,           &TqxCustomDBGrid::SetDataSource),
    PC::Boolean ("DefaultDrawing",        &TqxCustomDBGrid::DefaultDrawing,       &TqxCustomDBGrid::SetDefaultDrawing,     true),
    PC::Boolean ("EditCalculated",        &TqxCustomDBGrid::EditCalculated,       &TqxCustomDBGrid::SetEditCalculated,     false),
    PC::Set     ("KeyOptions",            KeyOptionNames,
                                          &TqxCustomDBGrid::KeyOptions,           &TqxCustomDBGrid::SetKeyOptions,         TqxDBGridKeyOptions({dgAllowDelete, dgAllowInsert})),
    PG::Set     ("MultiSelectOptions",    MultiSelectNames,
                                          &TqxDBGrid::MultiSelectOptions,         &TqxDBGrid::SetMultiSelectOptions,       TqxMultiSelectOptions()),
    PC::Set     ("Options",               OptionNames,
                                          &TqxCustomDBGrid::Options,              &TqxCustomDBGrid::SetOptions,            DefaultOptions),
    PC::Boolean ("ReadOnly",              &TqxCustomDBGrid::ReadOnly,             &TqxCustomDBGrid::SetReadOnly,           false),
    PC::Integer ("RowHeightPercent",      &TqxCustomDBGrid::RowHeightPercent,     &TqxCustomDBGrid::SetRowHeightPercent,   100),
    PC::Enum    ("TitleAlignment",        AlignmentNames,
                                          &TqxCustomDBGrid::TitleAlignment,       &TqxCustomDBGrid::SetTitleAlignment,     taLeftJustify),
    PC::Persistent("TitleFont",           &TqxCustomDBGrid::TitleFont,            &TqxCustomDBGrid::SetTitleFont),
    PC::Integer ("TitleLines",            &TqxCustomDBGrid::TitleLines,           &TqxCustomDBGrid::SetTitleLines,         1),
    PC::Boolean ("TitleButtons",          &TqxCustomDBGrid::TitleButtons,         &TqxCustomDBGrid::SetTitleButtons,       false),
    PC::Boolean ("UseTFields",            &TqxCustomDBGrid::UseTFields,           &TqxCustomDBGrid::SetUseTFields,         true),
    PC::Enum    ("IndicatorColor",        IndicatorColorNames,
                                          &TqxCustomDBGrid::IndicatorColor,       &TqxCustomDBGrid::SetIndicatorColor,     icBlack),
    PC::Integer ("FooterColor",           &TqxCustomDBGrid::FooterColor,          &TqxCustomDBGrid::SetFooterColor,        clBtnFace),
    PC::Integer ("FooterCellColor",       &TqxCustomDBGrid::FooterCellColor,      &TqxCustomDBGrid::SetFooterCellColor,    clBtnFace),
    PC::Integer ("FooterHeight",          &TqxCustomDBGrid::FooterHeight,         &TqxCustomDBGrid::SetFooterHeight,       0),
    PC::Integer ("DragVertOffset",        &TqxCustomDBGrid::DragVertOffset,       &TqxCustomDBGrid::SetDragVertOffset,     15),
    PG::Event   ("OnMemoOpen",            &TqxDBGrid::OnMemoOpen),
    PG::Event   ("OnMemoClose",           &TqxDBGrid::OnMemoClose),
    PG::Event   ("OnMultiSelectRecord",   &TqxDBGrid::OnMultiSelectRecord),
    PG::Event   ("OnCreateDateTimePicker", &TqxDBGrid::OnCreateDateTimePicker),
    PC::Event   ("OnLeftColChanged",      &TqxCustomDBGrid::OnLeftColChanged),
    PC::Event   ("OnRowChanged",          &TqxCustomDBGrid::OnRowChanged),
    PC::Event   ("OnCellChanged",         &TqxCustomDBGrid::OnCellChanged),
    PC::Event   ("OnTopRowChanged",       &TqxCustomDBGrid::OnTopRowChanged),
    PC::Event   ("OnColEnter",            &TqxCustomDBGrid::OnColEnter),
    PC::Event   ("OnColExit",             &TqxCustomDBGrid::OnColExit),
    PC::Event   ("OnUpdateFooter",        &TqxCustomDBGrid::OnUpdateFooter),
    PC::Event   ("OnCalcCellColors",      &TqxCustomDBGrid::OnCalcCellColors),
    PC::Event   ("OnCalcTitleAttributes", &TqxCustomDBGrid::OnCalcTitleAttributes),
    PC::Event   ("OnColWidthChanged",     &TqxCustomDBGrid::OnColWidthChanged),
    PC::Event   ("OnTitleButtonClick",    &TqxCustomDBGrid::OnTitleButtonClick),
    PC::Event   ("OnDrawDataCell",        &TqxCustomDBGrid::OnDrawDataCell),
    PC::Event   ("OnCalcTitleImage",      &TqxCustomDBGrid::OnCalcTitleImage),
    PC::Event   ("OnDrawFooterCell",      &TqxCustomDBGrid::OnDrawFooterCell),
    PC::Event   ("OnDrawTitleCell",       &TqxCustomDBGrid::OnDrawTitleCell),
    PC::Event   ("OnFieldChanged",        &TqxCustomDBGrid::OnFieldChanged),
    PC::Event   ("OnCheckValue",          &TqxCustomDBGrid::OnCheckValue),
    PC::Event   ("OnColumnMoved",         &TqxCustomDBGrid::OnColumnMoved),
});

using PM = TPublish<TqxMemoDialog>;
const TClassRegistrar<TqxMemoDialog> memoDialogRegistrar({
    PM::Component("DataSource",           &TqxMemoDialog::DataSource,             &TqxMemoDialog::SetDataSource),
    PM::String  ("DataField",             &TqxMemoDialog::DataField,              &TqxMemoDialog::SetDataField,            ""),
    PM::Persistent("Font",                &TqxMemoDialog::Font,                   &TqxMemoDialog::SetFont),
    PM::Set     ("MemoAttributes",        MemoAttributeNames,
                                          &TqxMemoDialog::MemoAttributes,         &TqxMemoDialog::SetMemoAttributes,       DefaultMemo),
    PM::String  ("Caption",               &TqxMemoDialog::Caption,                &TqxMemoDialog::SetCaption,              ""),
    PM::Integer ("DlgLeft",               &TqxMemoDialog::DlgLeft,                &TqxMemoDialog::SetDlgLeft,              0),
    PM::Integer ("DlgTop",                &TqxMemoDialog::DlgTop,                 &TqxMemoDialog::SetDlgTop,               0),
    PM::Integer ("DlgWidth",              &TqxMemoDialog::DlgWidth,               &TqxMemoDialog::SetDlgWidth,             561),
    PM::Integer ("DlgHeight",             &TqxMemoDialog::DlgHeight,              &TqxMemoDialog::SetDlgHeight,            396),
    PM::Event   ("OnInitDialog",          &TqxMemoDialog::OnInitDialog),
    PM::Event   ("OnCloseDialog",         &TqxMemoDialog::OnCloseDialog),
    PM::Event   ("OnUserButton1Click",    &TqxMemoDialog::OnUserButton1Click),
    PM::Event   ("OnUserButton2Click",    &TqxMemoDialog::OnUserButton2Click),
    PM::String  ("UserButton1Caption",    &TqxMemoDialog::UserButton1Caption,     &TqxMemoDialog::SetUserButton1Caption,   ""),
    PM::String  ("UserButton2Caption",    &TqxMemoDialog::UserButton2Caption,     &TqxMemoDialog::SetUserButton2Caption,   ""),
});

} // namespace
// clang-format on

namespace
{

bool SameText(const std::string &a, const std::string &b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool IsDateTimeField(const TField *field)
{
    TFieldType t = field->DataType();
    return t == ftDate || t == ftTime || t == ftDateTime;
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A picture read from the database. The bytes are untrusted: anything that
// is no readable bitmap gives an empty one.
bool LoadCellBitmap(const std::string &blob, TBitmap &bitmap)
{
    std::string_view bytes(blob);
    // Some tables keep an 8-byte header before the file: 1, 256 and the length.
    if (bytes.size() > 7) {
        auto u16 = [&](size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8)); };
        uint32_t length = 0;
        std::memcpy(&length, bytes.data() + 4, 4);
        if (u16(0) == 1 && u16(2) == 256 && length == bytes.size() - 8)
            bytes.remove_prefix(8);
    }
    if (bytes.empty())
        return false;
    // A BMP whose headers promise more than the bytes hold is damaged; the
    // image reader would draw what it has and make up the rest.
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        auto u32 = [&](size_t at) {
            uint32_t v = 0;
            if (at + 4 <= bytes.size())
                std::memcpy(&v, bytes.data() + at, 4);
            return v;
        };
        if (bytes.size() < 54 || u32(2) > bytes.size())
            return false;
        const uint32_t offset = u32(10), header = u32(14), compression = u32(30);
        const int32_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
        const uint32_t bpp = u32(28) & 0xFFFF;
        if (header >= 40 && compression == 0 && width > 0 && height != 0 && bpp > 0) {
            const uint64_t row = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
            const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
            if (offset + row * rows > bytes.size())
                return false;
        }
    }
    try {
        bitmap.LoadFromBytes(std::string(bytes));
    } catch (...) {
        return false;
    }
    return bitmap.Width() >= 1 && bitmap.Height() >= 1;
}

TCopyMode CopyModeByName(const std::string &name)
{
    if (name == "Source Invert")
        return cmSrcInvert;
    if (name == "Source And")
        return cmSrcAnd;
    if (name == "Source Paint")
        return cmSrcPaint;
    if (name == "Not Source Copy")
        return cmNotSrcCopy;
    if (name == "Source Erase")
        return cmSrcErase;
    if (name == "Not Source Erase")
        return cmNotSrcErase;
    if (name == "Merge Paint")
        return cmMergePaint;
    return cmSrcCopy;
}

// The field that holds the picture: a lookup field's result in its lookup
// dataset, a calculated field's through the dataset's lookup lines; nil when
// the record is not found there.
TField *PictureSourceField(TField *field)
{
    if (field->FieldKind() == fkLookup) {
        TDataSet *lookup = field->LookupDataSet();
        if (!lookup || !lookup->Active() || field->KeyFields().empty())
            return nullptr;
        std::vector<Variant> keys;
        for (TField *key : field->DataSet()->GetFieldList(field->KeyFields()))
            keys.push_back(key->Value());
        if (!lookup->Locate(field->LookupKeyFields(), keys, {}))
            return nullptr;
        return lookup->FindField(field->LookupResultField());
    }
    if (field->FieldKind() == fkCalculated) {
        std::string key;
        TField *result = nullptr;
        return qxLookupFieldValue(field, key, result) ? result : nullptr;
    }
    return field;
}

} // namespace

// ---- TqxMemoDialog ----------------------------------------------------------------------------

TqxMemoDialog::TqxMemoDialog(TComponent *owner)
    : TComponent(owner)
    , link_(std::make_unique<TFieldDataLink>())
    , font_(std::make_unique<TFont>())
{
    link_->SetControl(this);
}

TqxMemoDialog::~TqxMemoDialog()
{
    link_->SetDataSource(nullptr);
}

void TqxMemoDialog::SetDataSource(TDataSource *source)
{
    link_->SetDataSource(source);
    if (source)
        source->FreeNotification(this);
}

void TqxMemoDialog::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && link_ && component == link_->DataSource())
        link_->SetDataSource(nullptr);
}

bool TqxMemoDialog::Execute()
{
    bool editable = !attributes_.Contains(mViewOnly);
    TCustomForm *caller = Screen ? Screen->ActiveForm() : nullptr;
    std::unique_ptr<TqxMemoDlg> form(NewForm<TqxMemoDlg>(Application));
    // Without an active form there is nobody to stay on top of.
    if (caller && caller->FormStyle() == fsStayOnTop)
        form->SetFormStyle(fsStayOnTop);
    TField *field = nullptr;
    TDataSet *ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (ds && !DataField().empty()) {
        field = ds->FieldByName(DataField());
        // A field or dataset that cannot take the text makes the dialog
        // view-only, so that nothing typed is dropped after OK.
        if (field->ReadOnly() || !field->CanModify() || !ds->CanModify() || DataSource()->State() == dsInactive)
            editable = false;
        if (field->IsBlob())
            form->Memo->Lines()->SetText(field->AsString());
        else
            form->Memo->SetText(field->AsString());
    }
    form->Memo->SetWordWrap(attributes_.Contains(mWordWrap));
    form->SetBorderStyle(attributes_.Contains(mSizeable) ? bsSizeable : bsDialog);
    TRect bounds { left_, top_, left_ + width_, top_ + height_ };
    if (left_ > 0 || top_ > 0)
        form->SetPosition(poDefault);
    form->Prepare(this, editable, caption_, font_.get(), bounds);
    form->UserButton1->SetCaption(button1_);
    form->UserButton2->SetCaption(button2_);
    bool accepted = false;
    try {
        accepted = form->ShowModal() == mrOk;
        DoCloseDialog(form.get());
        if (editable && accepted && field) {
            ds->Edit();
            field->SetAsString(form->Memo->Text());
        }
    } catch (...) {
        form_ = nullptr;
        throw;
    }
    form_ = nullptr;
    return accepted;
}

// ---- TqxDBGrid ------------------------------------------------------------------------------

TqxDBGrid::TqxDBGrid(TComponent *owner)
    : TqxCustomDBGrid(owner)
{
}

TqxDBGrid::~TqxDBGrid()
{
    // The named edit controls belong to their form: they leave the grid
    // before its window goes.
    for (TWinControl *control : boundControls_) {
        control->RemoveFreeNotification(this);
        if (control->Parent() == this) {
            control->Hide();
            control->SetParent(nullptr);
        }
    }
}

void TqxDBGrid::SetFixedCols(int count)
{
    if (ComponentState().Contains(csDesigning) && (count < 0 || (link_->Active() && count + indicatorOffset_ >= ColCount()))) {
        MessageBox(nullptr, "Invalid value for FixedCols", "Warning", MB_OK | MB_ICONWARNING);
        return;
    }
    dataFixedCols_ = count;
    LayoutChanged();
}

void TqxDBGrid::SetMemoAttributes(TqxMemoAttributes attributes)
{
    TqxCustomDBGrid::SetMemoAttributes(attributes);
    CheckDataSet();
    Invalidate();
}

void TqxDBGrid::GetControlInfo(const std::string &fieldName, std::string &controlType, std::string &parameters)
{
    TqxCustomDBGrid::GetControlInfo(fieldName, controlType, parameters);
    if (editControlOptions_.Contains(ecoDisableCustomControls) && qxIsEditControlType(controlType))
        controlType.clear();
}

bool TqxDBGrid::IsCustomCell(int col, int row)
{
    if (row < titleOffset_ || col < indicatorOffset_)
        return false;
    TField *field = GetColField(col - indicatorOffset_);
    if (!field)
        return false;
    std::string type, parameters;
    GetControlInfo(field->FieldName(), type, parameters);
    if (type == "Bitmap" || type == "ImageIndex" || type == "CheckBox" || qxIsEditControlType(type))
        return true;
    return !editControlOptions_.Contains(ecoDisableDateTimePicker) && IsDateTimeField(field);
}

bool TqxDBGrid::IsSelectedCheckBoxColumn(int dataCol)
{
    TField *field = GetColField(dataCol);
    if (!field || !field->Calculated() || Lower(field->FieldName()) != "selected")
        return false;
    std::string type, parameters;
    GetControlInfo(field->FieldName(), type, parameters);
    return type == "CheckBox";
}

void TqxDBGrid::SetColumnAttributes()
{
    TqxCustomDBGrid::SetColumnAttributes();
    TDataSet *ds = link_->DataSet();
    if (ds && ds->Active() && indicatorOffset_ + dataFixedCols_ < ColCount() && dataFixedCols_ >= 0)
        TCustomGrid::SetFixedCols(indicatorOffset_ + dataFixedCols_);
    for (int c = 0; c < link_->FieldCount(); ++c) {
        TField *field = GetColField(c);
        if (!field || !field->Calculated())
            continue;
        std::string type, parameters;
        GetControlInfo(field->FieldName(), type, parameters);
        if (IsSelectedCheckBoxColumn(c) || type == "Bitmap" || type == "ImageIndex")
            SetTabStops(c + indicatorOffset_, true);
    }
}

void TqxDBGrid::CheckDataSet()
{
    if (checkingDataSet_ || !DataSource() || !DataSource()->DataSet())
        return;
    qxgrid::TFlagGuard running(checkingDataSet_);
    TDataSet *ds = DataSource()->DataSet();
    if (!qxIsLibraryDataSet(ds)) {
        MessageBox(nullptr, "qxGrid must use an Lumino compatible TDataSet.", "Information", MB_OK | MB_ICONINFORMATION);
        SetDataSource(nullptr);
        return;
    }
    if (selected_->Count() == 0 || !ds->Active())
        return;
    ds->DisableControls();
    try {
        if (controlInfoInDataset_)
            qxRemoveMissingFieldEntries(ds, qxGetLookupFieldsList(ds), qxGetLookupLinksList(ds), qxGetControlTypeList(ds));
        bool calculated = false;
        for (int i = 0; i < ds->FieldCount(); ++i)
            calculated = calculated || ds->Fields(i)->Calculated();
        if (!calculated && useTFields_)
            qxApplySelectedFields(ds, selected_.get());
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    UpdateRowCount();
}

void TqxDBGrid::LinkActive(bool value)
{
    if (value)
        anchorSet_ = false;
    TqxCustomDBGrid::LinkActive(value);
    if (value)
        CheckDataSet();
}

TColor TqxDBGrid::GetColumnColor(int col)
{
    return col >= indicatorOffset_ + dataFixedCols_ ? Color() : titleColor_;
}

// ---- Cell texts -------------------------------------------------------------------------------

void TqxDBGrid::GetFieldText(int dataCol, std::string &text)
{
    TField *field = GetColField(dataCol);
    text.clear();
    if (!field)
        return;
    TDataSet *ds = link_->DataSet();
    if (field->IsBlob() && qxIsRichTextField(field, false)) {
        text = qxPlainText(field->AsString());
        return;
    }
    if (field->DataType() == ftMemo) {
        if (ds->Bof() && ds->Eof() && ds->State() != dsInsert)
            return;
        text = "(Memo)";
        if (memoAttributes_.Contains(mGridShow)) {
            try {
                text = field->AsString();
            } catch (...) {
                text = "(Memo)";
            }
        }
        return;
    }
    // A combo with an item map shows the item of the stored value.
    if (auto *edit = dynamic_cast<TqxDBCustomEdit *>(NamedEditControl(field))) {
        std::string mapped;
        if (edit->MappedDisplayText(field->AsString(), mapped)) {
            text = mapped;
            textMapped_ = true;
            return;
        }
    }
    TqxCustomDBGrid::GetFieldText(dataCol, text);
}

// ---- Multi-selection --------------------------------------------------------------------------

int TqxDBGrid::IndexOfBookmark(const TBookmark &bookmark)
{
    TDataSet *ds = link_->DataSet();
    for (size_t i = 0; i < bookmarks_.size(); ++i) {
        int cmp = ds->CompareBookmarks(bookmarks_[i], bookmark);
        if (cmp == 0 || cmp == 2)
            return static_cast<int>(i);
    }
    return -1;
}

void TqxDBGrid::UpdateSelectionCache()
{
    selectionCache_.assign(std::max(0, link_->RecordCount()), "F");
    TDataSet *ds = link_->DataSet();
    if (!link_->Active() || bookmarks_.empty() || !ds || ds->State() != dsBrowse)
        return;
    for (int r = 0; r < link_->RecordCount(); ++r) {
        qxgrid::TActiveRecordGuard row(link_.get(), r);
        if (IndexOfBookmark(ds->GetBookmark()) >= 0)
            selectionCache_[r] = "T";
    }
}

bool TqxDBGrid::IsSelectedRow(int dataRow)
{
    // A row the cache does not hold (it is rebuilt at every paint) is not selected.
    return dataRow >= 0 && dataRow < static_cast<int>(selectionCache_.size()) && selectionCache_[dataRow] == "T";
}

bool TqxDBGrid::IsSelectedRecord()
{
    return IsSelectedRow(link_->ActiveRecord());
}

void TqxDBGrid::SelectRecord()
{
    TDataSet *ds = link_->DataSet();
    if (!ds || !ds->Active())
        return;
    TBookmark current = ds->GetBookmark();
    if (anchorSet_)
        anchor_ = current;
    if (IndexOfBookmark(current) >= 0) {
        UpdateSelectionCache();
        return;
    }
    bool accept = true;
    OnMultiSelectRecord(this, true, accept);
    if (!accept)
        return;
    bookmarks_.push_back(current);
    UpdateSelectionCache();
    InvalidateRow(Row());
}

void TqxDBGrid::UnselectRecord()
{
    TDataSet *ds = link_->DataSet();
    if (!ds || !ds->Active())
        return;
    int index = IndexOfBookmark(ds->GetBookmark());
    if (index < 0)
        return;
    bool accept = true;
    OnMultiSelectRecord(this, false, accept);
    if (!accept)
        return;
    bookmarks_.erase(bookmarks_.begin() + index);
    UpdateSelectionCache();
    InvalidateRow(Row());
}

void TqxDBGrid::UnselectAll()
{
    bookmarks_.clear();
    selectionCache_.assign(selectionCache_.size(), "F");
    Invalidate();
}

void TqxDBGrid::SelectRange(const TBookmark &anchor)
{
    TDataSet *ds = link_->DataSet();
    TBookmark current = ds->GetBookmark();
    const int screenRow = link_->ActiveRecord();
    bool forward = ds->CompareBookmarks(anchor, current) > 0; // the anchor lies after the current record
    ds->DisableControls();
    try {
        // Walk from the earlier record to the later one: first out of the
        // selection, then each one offered again.
        for (int pass = 0; pass < 2; ++pass) {
            ds->GotoBookmark(forward ? current : anchor);
            const TBookmark &last = forward ? anchor : current;
            while (!ds->Eof()) {
                TBookmark here = ds->GetBookmark();
                int index = IndexOfBookmark(here);
                bool accept = true;
                if (pass == 0 && index >= 0) {
                    OnMultiSelectRecord(this, false, accept);
                    if (accept)
                        bookmarks_.erase(bookmarks_.begin() + index);
                } else if (pass == 1 && index < 0) {
                    OnMultiSelectRecord(this, true, accept);
                    if (accept)
                        bookmarks_.push_back(here);
                }
                int cmp = ds->CompareBookmarks(here, last);
                if (cmp == 0 || cmp == 2)
                    break;
                ds->Next();
            }
        }
        ds->GotoBookmark(current);
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    // The current record keeps its place on the screen.
    if (link_->ActiveRecord() != screenRow) {
        int shift = screenRow - link_->ActiveRecord();
        ds->MoveBy(-shift);
        ds->MoveBy(shift);
    }
    UpdateSelectionCache();
    Invalidate();
}

bool TqxDBGrid::HighlightCell(int dataCol, int dataRow, TGridDrawState state)
{
    if (options_.Contains(dgMultiSelect) && dataCol + indicatorOffset_ >= indicatorOffset_ && !state.Contains(gdFixed))
        return IsSelectedRow(dataRow);
    return TqxCustomDBGrid::HighlightCell(dataCol, dataRow, state);
}

// ---- Cell kinds -------------------------------------------------------------------------------

void TqxDBGrid::DrawBitmapCell(TField *field, const std::string &parameters, const TRect &rect, bool highlight, int row)
{
    TCanvas *canvas = Canvas();
    canvas->FillRect(rect);
    TDataSet *ds = link_->DataSet();
    // The new record of an insert has no picture yet.
    if (field->FieldKind() == fkData && ds->State() == dsInsert && row - titleOffset_ == link_->ActiveRecord())
        return;
    TBitmap bitmap;
    std::string blob;
    try {
        TField *source = PictureSourceField(field);
        if (!source)
            return;
        blob = source->AsString();
    } catch (...) {
        return;
    }
    if (!LoadCellBitmap(blob, bitmap))
        return;
    const std::string fit = qxItem(parameters, ';', 1);
    TCopyMode saved = canvas->CopyMode();
    canvas->SetCopyMode(CopyModeByName(qxItem(parameters, ';', 2)));
    const int CW = rect.Width(), CH = rect.Height(), BW = bitmap.Width(), BH = bitmap.Height();
    if (fit == "Original Size") {
        TRect source { 0, 0, std::min(BW, CW - 1), std::min(BH, CH - 1) };
        canvas->CopyRect({ rect.Left + 1, rect.Top + 1, rect.Left + 1 + source.Right, rect.Top + 1 + source.Bottom },
            bitmap.Canvas(), source);
    } else if (fit == "Stretch To Fit") {
        canvas->StretchDraw(rect, &bitmap);
    } else if (fit == "Fit Height") {
        int scaled = BW * CH / BH;
        int sourceW = BW, drawn = scaled;
        if (CW < scaled)
            sourceW = BW * CW / scaled, drawn = CW;
        if (drawn > 2 && CH > 2)
            canvas->CopyRect({ rect.Left + 1, rect.Top, rect.Left + drawn, rect.Top + CH - 1 }, bitmap.Canvas(),
                { 0, 0, sourceW, BH });
    } else if (fit == "Fit Width") {
        int scaled = CW * BH / BW;
        int sourceH = BH, drawn = scaled;
        if (CH < scaled)
            sourceH = BH * CH / scaled, drawn = CH;
        if (CW > 2 && drawn > 2)
            canvas->CopyRect({ rect.Left + 1, rect.Top, rect.Left + CW, rect.Top + drawn - 1 }, bitmap.Canvas(),
                { 0, 0, BW, sourceH });
    }
    if (highlight) {
        canvas->Brush()->SetColor(clHighlight);
        canvas->FrameRect(rect);
    }
    canvas->SetCopyMode(saved);
}

void TqxDBGrid::DrawImageIndexCell(TField *field, const std::string &parameters, const TRect &rect, bool focused)
{
    TCanvas *canvas = Canvas();
    canvas->FillRect(rect);
    if (!imageList_ || field->IsNull())
        return;
    int index;
    switch (field->DataType()) {
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        double value = field->AsFloat();
        if (!(value >= 0) || value > 1e9)
            return;
        index = static_cast<int>(std::lround(value));
        break;
    }
    default: {
        int64_t value = field->AsInteger();
        if (value < 0 || value > INT32_MAX)
            return;
        index = static_cast<int>(value);
    }
    }
    // An index the list does not hold draws nothing.
    if (index >= imageList_->Count())
        return;
    const int iw = imageList_->Width(), ih = imageList_->Height();
    const int CW = rect.Width(), CH = rect.Height();
    TBitmap image;
    image.SetSize(iw, ih);
    image.Canvas()->Brush()->SetColor(canvas->Brush()->Color());
    image.Canvas()->FillRect({ 0, 0, iw, ih });
    imageList_->Draw(image.Canvas(), 0, 0, index);
    TRect target { std::max(rect.Left, (rect.Left + rect.Right - iw) / 2), std::max(rect.Top, (rect.Top + rect.Bottom - ih) / 2), 0, 0 };
    target.Right = target.Left + std::min(iw, CW);
    target.Bottom = target.Top + std::min(ih, CH);
    if (qxItem(parameters, ';', 1) == "Shrink To Fit")
        canvas->StretchDraw(target, &image);
    else {
        TRect part { 0, 0, std::min(CW - 2, iw), std::min(CH - 2, ih) };
        if (part.Right > 0 && part.Bottom > 0)
            canvas->CopyRect({ target.Left, target.Top, target.Left + part.Right, target.Top + part.Bottom }, image.Canvas(), part);
    }
    if (focused)
        qxDrawFocusFrame(canvas, rect);
}

bool TqxDBGrid::DrawCustomCell(int col, int row, const TRect &rect, TGridDrawState state)
{
    const int dataCol = col - indicatorOffset_;
    TField *field = GetColField(dataCol);
    if (!field || !qxIsLibraryDataSet(link_->DataSet()))
        return false;
    std::string type, parameters;
    GetControlInfo(field->FieldName(), type, parameters);
    if (type != "Bitmap" && type != "ImageIndex" && type != "CheckBox")
        return false;
    qxgrid::TActiveRecordGuard shown(link_.get(), row - titleOffset_);
    TCanvas *canvas = Canvas();
    const bool highlight = HighlightCell(dataCol, row - titleOffset_, state);
    const bool focused = state.Contains(gdFocused) && IsActiveControl();
    // Every kind of cell of a selected row shows the selection's colour.
    if (highlight)
        canvas->Brush()->SetColor(clHighlight);
    // Pictures come from the database: whatever they hold, painting goes on.
    try {
        if (type == "Bitmap")
            DrawBitmapCell(field, parameters, rect, highlight, row);
        else if (type == "ImageIndex")
            DrawImageIndexCell(field, parameters, rect, focused);
        else {
            std::string text;
            std::string checkedValue = qxItem(parameters, ';', 1), uncheckedValue = qxItem(parameters, ';', 2);
            if (IsSelectedCheckBoxColumn(dataCol))
                text = IsSelectedRow(row - titleOffset_) ? checkedValue : uncheckedValue;
            else
                GetFieldText(dataCol, text);
            canvas->FillRect(rect);
            if (focused && highlight)
                canvas->DrawFocusRect(rect);
            DrawCheckBox(rect, SameText(text, checkedValue), ColumnReadOnlyBySelected(dataCol));
        }
    } catch (...) {
        canvas->FillRect(rect);
    }
    return true;
}

// ---- Keys and mouse ---------------------------------------------------------------------------

bool TqxDBGrid::CanEditShow()
{
    if (!TqxCustomDBGrid::CanEditShow())
        return false;
    if (IsCustomCell(Col(), Row()) || IsMemoCell(Col(), Row()))
        return false;
    if (options_.Contains(dgAlwaysShowEditor) && !Focused() && !(InplaceEditor() && InplaceEditor()->Focused()))
        return false;
    return true;
}

void TqxDBGrid::ToggleCheckBox(int col, int row)
{
    const int dataCol = col - indicatorOffset_;
    TField *field = GetColField(dataCol);
    if (!field || field->ReadOnly() || ColumnReadOnlyBySelected(dataCol))
        return;
    std::string type, parameters;
    GetControlInfo(field->FieldName(), type, parameters);
    if (type != "CheckBox")
        return;
    if (IsSelectedCheckBoxColumn(dataCol)) {
        UpdateSelectionCache();
        if (IsSelectedRecord())
            UnselectRecord();
        else
            SelectRecord();
        InvalidateCell(col, row);
        return;
    }
    TDataSource *source = DataSource();
    TDataSet *ds = link_->DataSet();
    if (!source || !(source->AutoEdit() || ds->State() == dsEdit || ds->State() == dsInsert))
        return;
    link_->Edit();
    if (!link_->Editing())
        return;
    const std::string checkedValue = qxItem(parameters, ';', 1), uncheckedValue = qxItem(parameters, ';', 2);
    // Checked is recognised without regard to case, as the box is drawn.
    std::string text;
    GetFieldText(dataCol, text);
    field->SetText(SameText(text, checkedValue) ? uncheckedValue : checkedValue);
    InvalidateCell(col, row);
}

void TqxDBGrid::ShowMemoDialog()
{
    if (memoAttributes_.Contains(mDisableDialog))
        return;
    TField *field = SelectedField();
    if (!field)
        return;
    TqxMemoDialog dialog(this);
    dialog.SetDataSource(DataSource());
    dialog.SetDataField(field->FieldName());
    TqxMemoAttributes attributes = memoAttributes_;
    bool editing = options_.Contains(dgEditing) && !readOnly_;
    if (!editing || field->ReadOnly() || ColumnReadOnlyBySelected(SelectedIndex()))
        attributes.Include(mViewOnly);
    dialog.SetMemoAttributes(attributes);
    std::string caption = field->DisplayLabel();
    std::replace(caption.begin(), caption.end(), '~', ' ');
    dialog.SetCaption(caption);
    dialog.SetFont(Font());
    dialog.SetDlgLeft(-1);
    bool accepted = false;
    try {
        OnMemoOpen(this, &dialog);
        accepted = dialog.Execute();
        OnMemoClose(this, !accepted);
    } catch (...) {
        InvalidateCell(Col(), Row());
        SetEditorMode(false);
        throw;
    }
    InvalidateCell(Col(), Row());
    SetEditorMode(false);
}

void TqxDBGrid::KeyDown(uint16_t &key, TShiftState shift)
{
    // Alt+Down opens a combo's list, a picker's calendar.
    if (key == VK_DOWN && shift.Contains(ssAlt) && link_->Active() && ShowCellControl()) {
        cellControl_->SetFocus();
        qxPostKeyWithModifier(cellControl_->Handle(), VK_DOWN, VK_MENU);
        key = 0;
        return;
    }
    TqxCustomDBGrid::KeyDown(key, shift);
    if (key == 0 || !link_->Active())
        return;
    const int dataCol = SelectedIndex();
    const bool editing = options_.Contains(dgEditing) && !readOnly_;
    const bool memo = IsMemoCell(Col(), Row());
    if (!(memo || editing || IsSelectedCheckBoxColumn(dataCol)))
        return;
    TField *field = SelectedField();
    std::string type, parameters;
    if (field)
        GetControlInfo(field->FieldName(), type, parameters);
    if (type == "CheckBox") {
        if (key == VK_SPACE) {
            ToggleCheckBox(Col(), Row());
            key = 0;
        }
        return;
    }
    if ((key == VK_F2 || qxIsCharKey(key)) && !memo && ShowCellControl()) {
        if (key == VK_F2)
            cellControl_->SetFocus();
        else
            SendKeyToControl(key, shift);
        return;
    }
    if (key == VK_F2 && type == "RichEdit") {
        if (TCustomEdit *rich = FindEditControl(qxItem(parameters, ';', 1))) {
            key = 0;
            rich->Perform(WM_KEYDOWN, VK_F2, 0);
            InvalidateCell(Col(), Row());
            return;
        }
    }
    if (memo && key == VK_F2) {
        key = 0;
        ShowMemoDialog();
        InvalidateCell(Col(), Row());
    }
}

void TqxDBGrid::KeyPress(char32_t &key)
{
    // A memo or custom cell takes no typing of its own; only Escape goes on.
    if (link_->Active() && (IsMemoCell(Col(), Row()) || IsCustomCell(Col(), Row())) && key != 27
        && (key == 8 || key >= 32)) {
        key = 0;
        return;
    }
    TqxCustomDBGrid::KeyPress(key);
}

void TqxDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TDataSet *ds = link_->DataSet();
    const bool hadAnchor = anchorSet_;
    const TBookmark anchorBefore = anchor_;
    TqxCustomDBGrid::MouseDown(button, shift, x, y);
    TGridCoord cell = MouseCoord(x, y);
    if (!link_->Active() || !ds || cell.X < indicatorOffset_ || cell.Y < titleOffset_ || button != mbLeft)
        return;
    const int dataCol = cell.X - indicatorOffset_;
    const bool doubleClick = shift.Contains(ssDouble);
    if (doubleClick) {
        std::string type, parameters;
        if (TField *field = SelectedField())
            GetControlInfo(field->FieldName(), type, parameters);
        TCustomEdit *rich = type == "RichEdit" ? FindEditControl(qxItem(parameters, ';', 1)) : nullptr;
        if (rich)
            rich->Perform(WM_KEYDOWN, VK_F2, 0);
        else if (IsMemoCell(Col(), Row()))
            ShowMemoDialog();
        else if (!editControlOptions_.Contains(ecoCheckboxSingleClick))
            ToggleCheckBox(cell.X, cell.Y);
        return;
    }
    if (options_.Contains(dgMultiSelect) && !IsSelectedCheckBoxColumn(dataCol)) {
        UpdateSelectionCache();
        if (shift.Contains(ssCtrl) || shift.Contains(ssShift)) {
            if (!shift.Contains(ssShift) || !multiSelectOptions_.Contains(msoShiftSelect)) {
                if (IsSelectedRecord())
                    UnselectRecord();
                else
                    SelectRecord();
            }
        } else if (multiSelectOptions_.Contains(msoAutoUnselect)) {
            UnselectAll();
            SelectRecord();
        }
        if (multiSelectOptions_.Contains(msoShiftSelect)
            && (shift.Contains(ssShift) || shift.Contains(ssCtrl) || multiSelectOptions_.Contains(msoAutoUnselect))) {
            if (!shift.Contains(ssShift) || !hadAnchor) {
                anchorSet_ = true;
                anchor_ = ds->GetBookmark();
            }
        }
    }
    const bool editing = options_.Contains(dgEditing) && !readOnly_;
    if (editing || IsSelectedCheckBoxColumn(dataCol) || options_.Contains(dgMultiSelect)) {
        if (editControlOptions_.Contains(ecoCheckboxSingleClick))
            ToggleCheckBox(cell.X, cell.Y);
        if (options_.Contains(dgMultiSelect) && shift.Contains(ssShift) && multiSelectOptions_.Contains(msoShiftSelect)
            && hadAnchor && ds->BookmarkValid(anchorBefore))
            SelectRange(anchorBefore);
    }
}

// ---- Cell controls ----------------------------------------------------------------------------

bool TqxDBGrid::EditingAllowed() const
{
    return options_.Contains(dgEditing) && !readOnly_;
}

TCustomForm *TqxDBGrid::OwnerForm() const
{
    if (editControlOptions_.Contains(ecoSearchOwnerForm))
        for (TComponent *c = Owner(); c; c = c->Owner())
            if (auto *form = dynamic_cast<TCustomForm *>(c))
                return form;
    return GetParentForm(this);
}

TCustomEdit *TqxDBGrid::FindEditControl(const std::string &name)
{
    if (name.empty())
        return nullptr;
    TComponent *found = nullptr;
    if (size_t dot = name.find('.'); dot != std::string::npos) {
        TDataSet *ds = link_->DataSet();
        if (ds && ds->Owner())
            found = ds->Owner()->FindComponent(name.substr(dot + 1));
    } else if (TCustomForm *form = OwnerForm())
        found = form->FindComponent(name);
    return dynamic_cast<TCustomEdit *>(found);
}

TCustomEdit *TqxDBGrid::NamedEditControl(const TField *field)
{
    TStrings *lines = controlInfoInDataset_ ? qxGetControlTypeList(link_->DataSet()) : controlType_.get();
    if (!lines || !field || editControlOptions_.Contains(ecoDisableCustomControls))
        return nullptr;
    for (int i = 0; i < lines->Count(); ++i) {
        const std::string &line = lines->Strings(i);
        if (qxItem(line, ';', 1) == field->FieldName() && qxIsEditControlType(qxItem(line, ';', 2)))
            return FindEditControl(qxItem(line, ';', 3));
    }
    return nullptr;
}

TWinControl *TqxDBGrid::CellControlOf(int dataCol)
{
    TField *field = GetColField(dataCol);
    if (!field)
        return nullptr;
    if (TCustomEdit *control = NamedEditControl(field)) {
        // A control of the record view form edits there, not in the grid.
        TCustomForm *form = GetParentForm(control);
        if (!(form && form != GetParentForm(this) && qxInheritsFromName(form->ClassType(), "TqxRecordViewForm")))
            return control;
    }
    if (IsDateTimeField(field) && !editControlOptions_.Contains(ecoDisableDateTimePicker))
        return picker_;
    return nullptr;
}

void TqxDBGrid::AttachControl(TWinControl *control, TField *field)
{
    if (control->Parent() != this)
        control->SetParent(this);
    if (qxGetDataSourceProp(control) != DataSource())
        qxSetDataSourceProp(control, DataSource());
    if (!SameText(qxGetDataFieldProp(control), field->FieldName()))
        qxSetDataFieldProp(control, field->FieldName());
    control->SetCtl3D(false);
    if (auto *edit = dynamic_cast<TCustomEdit *>(control))
        edit->SetBorderStyle(bsNone);
    if (std::find(boundControls_.begin(), boundControls_.end(), control) == boundControls_.end() && control != picker_) {
        boundControls_.push_back(control);
        control->FreeNotification(this);
    }
}

void TqxDBGrid::BindCellControls()
{
    if ((controlsBound_ && !ComponentState().Contains(csDesigning)) || editControlOptions_.Contains(ecoDisableCustomControls))
        return;
    if (DataSource() && DataSource()->ComponentState().Contains(csDesigning))
        return;
    TStrings *lines = controlInfoInDataset_ ? qxGetControlTypeList(link_->DataSet()) : controlType_.get();
    if (!lines)
        return;
    controlsBound_ = true;
    for (int i = 0; i < lines->Count(); ++i) {
        const std::string &line = lines->Strings(i);
        const std::string type = qxItem(line, ';', 2);
        if (qxItemCount(line, ';') < 2 || !(qxIsEditControlType(type) || type == "RichEdit"))
            continue;
        TCustomEdit *control = FindEditControl(qxItem(line, ';', 3));
        if (!control)
            continue;
        control->Hide();
        control->SetParent(this);
        qxSetDataSourceProp(control, DataSource());
        qxSetDataFieldProp(control, qxItem(line, ';', 1));
        control->SetCtl3D(false);
        control->SetFont(Font());
        control->SetBorderStyle(bsNone);
        if (std::find(boundControls_.begin(), boundControls_.end(), control) == boundControls_.end()) {
            boundControls_.push_back(control);
            control->FreeNotification(this);
        }
    }
}

void TqxDBGrid::Loaded()
{
    TqxCustomDBGrid::Loaded();
    BindCellControls();
}

void TqxDBGrid::Notification(TComponent *component, TOperation operation)
{
    TqxCustomDBGrid::Notification(component, operation);
    if (operation != opRemove)
        return;
    boundControls_.erase(std::remove(boundControls_.begin(), boundControls_.end(), component), boundControls_.end());
    if (component == cellControl_)
        cellControl_ = nullptr;
    if (component == picker_)
        picker_ = nullptr;
}

void TqxDBGrid::DoCreateDateTimePicker()
{
    OnCreateDateTimePicker(this, picker_);
}

void TqxDBGrid::ColEnter()
{
    TField *field = SelectedField();
    if (field && !ComponentState().Contains(csDesigning)) {
        TWinControl *control = CellControlOf(SelectedIndex());
        if (control && control != picker_ && EditingAllowed()) {
            AttachControl(control, field);
        } else if (!control || control == picker_) {
            if (IsDateTimeField(field) && !editControlOptions_.Contains(ecoDisableDateTimePicker)) {
                if (!picker_) {
                    picker_ = new TqxDBDateTimePicker(this);
                    picker_->SetVisible(false);
                    DoCreateDateTimePicker();
                }
                picker_->SetReadOnly(field->ReadOnly() || ColumnReadOnlyBySelected(SelectedIndex()));
                picker_->Hide();
                AttachControl(picker_, field);
                picker_->Perform(WM_SIZE, 0, 0);
            }
        }
    }
    TqxCustomDBGrid::ColEnter();
}

void TqxDBGrid::ColExit()
{
    TCustomForm *form = GetParentForm(this);
    TWinControl *active = form ? form->ActiveControl() : nullptr;
    if (cellControl_ && (active == this || active == cellControl_))
        HideControls();
    TqxCustomDBGrid::ColExit();
}

void TqxDBGrid::HideControls()
{
    TWinControl *control = cellControl_;
    if (!control || !control->Visible() || control->Parent() != this)
        return;
    // The focus goes back to the grid, so that keys keep reaching it.
    if (control->Focused())
        SetFocus();
    control->Hide();
    cellControlCol_ = cellControlRow_ = -1;
}

void TqxDBGrid::FlushEdit()
{
    TqxCustomDBGrid::FlushEdit();
    if (cellControl_ && cellControl_->Visible())
        cellControl_->Perform(CM_EXIT, 0, 0);
}

void TqxDBGrid::DoExit()
{
    // Only when the focus left the grid and what it holds.
    TWinControl *focus = FindControl(GetFocus());
    if (!focus || !ContainsControl(focus)) {
        HideControls();
        HideEditor();
    }
    TqxCustomDBGrid::DoExit();
}

void TqxDBGrid::TopLeftChanged()
{
    TqxCustomDBGrid::TopLeftChanged();
    // The control follows its cell, or goes when the cell scrolled away.
    if (cellControl_ && cellControl_->Visible() && cellControl_->Parent() == this) {
        TRect r = CellRect(cellControlCol_, cellControlRow_);
        if (r.IsEmpty())
            HideControls();
        else
            cellControl_->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    }
}

bool TqxDBGrid::PlaceCellControl(int col, int row, const TRect &rect)
{
    if (col != Col() || row != Row() || row < titleOffset_ || col < indicatorOffset_ || !link_->Active()
        || editControlOptions_.Contains(ecoDisableCustomControls) || !EditingAllowed())
        return false;
    TDataSet *ds = link_->DataSet();
    if (!ds || ds->IsEmpty())
        return false;
    TWinControl *control = CellControlOf(col - indicatorOffset_);
    if (!control)
        return false;
    if (ComponentState().Contains(csDesigning))
        return false;
    cellControl_ = control;
    TCustomForm *form = GetParentForm(this);
    TWinControl *active = form ? form->ActiveControl() : nullptr;
    auto follow = [&] {
        if (control->Left() != rect.Left || control->Top() != rect.Top || control->Width() != rect.Width()
            || control->Height() != rect.Height())
            control->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
        cellControlCol_ = col;
        cellControlRow_ = row;
    };
    // The user is typing in it: only its place follows the cell.
    if (control->Parent() == this && active == control) {
        follow();
        return true;
    }
    if (!((Focused() || options_.Contains(dgAlwaysShowSelection)) && active == this))
        return false;
    if (control->Visible() && control->Parent() == this && cellControlCol_ == col && cellControlRow_ == row) {
        control->Invalidate();
        return true;
    }
    if (control->Parent() != this) {
        control->SetParent(this);
        control->SetCtl3D(false);
        if (auto *edit = dynamic_cast<TCustomEdit *>(control))
            edit->SetBorderStyle(bsNone);
    }
    follow();
    control->Show();
    // Set again each time: a control may have made its window anew.
    TakeTabsOf(control);
    if (options_.Contains(dgAlwaysShowEditor)) {
        control->SetFocus();
        control->Invalidate();
    }
    return true;
}

void TqxDBGrid::DrawCell(int col, int row, const TRect &rect, TGridDrawState state)
{
    if (PlaceCellControl(col, row, rect))
        return;
    TqxCustomDBGrid::DrawCell(col, row, rect, state);
}

bool TqxDBGrid::ShowCellControl()
{
    if (!cellControl_ || !cellControl_->Visible() || cellControl_->Parent() != this) {
        // Keys typed ahead can come before the paint that shows the control.
        if (!CellControlOf(SelectedIndex()) || !PlaceCellControl(Col(), Row(), CellRect(Col(), Row())))
            return false;
    }
    return cellControl_ && cellControl_->Visible() && cellControl_->Parent() == this;
}

void TqxDBGrid::SendKeyToControl(uint16_t key, TShiftState shift)
{
    TWinControl *control = cellControl_;
    if (!control || !control->Visible())
        return;
    control->SetFocus();
    if (!control->Focused())
        return;
    (void)shift;
    // The control reads the key as held down, as a key of its own would be.
    TKeyboardState saved, pressed;
    GetKeyboardState(saved);
    pressed = saved;
    pressed[key & 0xFF] |= 0x80;
    SetKeyboardState(pressed);
    try {
        control->Perform(WM_KEYDOWN, key, 0);
    } catch (...) {
        SetKeyboardState(saved);
        throw;
    }
    SetKeyboardState(saved);
}

void TqxDBGrid::WMChar(TMessage &message)
{
    const auto key = static_cast<char32_t>(message.WParam);
    // A control over the cell takes the typing; only Escape stays with the grid.
    if (link_->Active() && EditingAllowed() && (key == 8 || key >= 32)
        && (IsMemoCell(Col(), Row()) || IsCustomCell(Col(), Row()))) {
        if (ShowCellControl()) {
            cellControl_->SetFocus();
            if (cellControl_->Focused())
                cellControl_->Perform(WM_CHAR, key, 0);
        }
        message.Result = 1;
        return;
    }
    TqxCustomDBGrid::WMChar(message);
}
