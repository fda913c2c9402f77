#include "controls/widgets/qxdbigrd.h"
#include "controls/widgets/qxgrid_p.h"

#include "controls/base/Qxcomdb.h"
#include "controls/base/Qxcommon.h"
#include "controls/base/Qxdate.h"
#include "controls/base/Qxintl.h"
#include "controls/base/Qxpict.h"
#include "controls/base/qxdrawing.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/imglist.h"
#include "platform/ui/services.h"

#include <algorithm>
#include <cmath>
#include <utility>

const TMetaClass TqxInplaceEdit::Class { "TqxInplaceEdit", &TInplaceEdit::Class };
const TMetaClass TqxCustomDBGrid::Class { "TqxCustomDBGrid", &TCustomGrid::Class };
const TMetaClass TqxIButton::Class { "TqxIButton", &TSpeedButton::Class };

namespace
{
const TClassRegistrar<TqxIButton> indicatorButtonRegistrar({});
} // namespace

namespace
{

constexpr int kMaxMapSize = 16380;

bool IsDateTimeField(const TField *field)
{
    TFieldType t = field->DataType();
    return t == ftDate || t == ftTime || t == ftDateTime;
}

bool IsNumericField(const TField *field)
{
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return true;
    default:
        return false;
    }
}

bool SameText(const std::string &a, const std::string &b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The record indicator's three bitmaps, shared by all grids: loaded by the
// first grid and freed with the last.
namespace IndicatorGlyphs {
TBitmap *Arrow = nullptr;
TBitmap *Edit = nullptr;
TBitmap *Insert = nullptr;
int Grids = 0;

TBitmap *Load(const char *name)
{
    auto *bitmap = new TBitmap;
    try {
        bitmap->LoadFromResourceName(name);
    } catch (const Exception &) {
        // A program built without the grid's bitmaps draws no indicator.
    }
    return bitmap;
}

void Acquire()
{
    if (Grids++ == 0) {
        Arrow = Load("QXDBGARROW");
        Edit = Load("QXDBEDIT");
        Insert = Load("QXDBINSERT");
    }
}

void Release()
{
    if (--Grids == 0) {
        delete Arrow;
        delete Edit;
        delete Insert;
        Arrow = Edit = Insert = nullptr;
    }
}
} // namespace IndicatorGlyphs

} // namespace

// ---- TqxColumn ----------------------------------------------------------------------------

TqxColumn::TqxColumn(TqxCustomDBGrid *grid, const std::string &fieldName)
    : grid_(grid)
    , fieldName_(fieldName)
{
}

void TqxColumn::SetFooterValue(const std::string &value)
{
    // The shared empty column keeps no footer.
    if (!grid_ || this == grid_->emptyColumn_.get() || value == footerValue_)
        return;
    footerValue_ = value;
    grid_->InvalidateFooter();
}

// ---- TqxGridDataLink ----------------------------------------------------------------------

TqxGridDataLink::TqxGridDataLink(TqxCustomDBGrid *grid)
    : grid_(grid)
{
}

TqxGridDataLink::~TqxGridDataLink() = default;

bool TqxGridDataLink::AddMapping(const std::string &fieldName)
{
    if (static_cast<int>(map_.size()) > kMaxMapSize - 1)
        throw EInvalidGridOperation("Grid requested to display more than 256 columns");
    TDataSet *ds = DataSet();
    TField *field = ds ? ds->FindField(fieldName) : nullptr;
    if (!field)
        return false;
    if (static_cast<int>(map_.size()) >= capacity_)
        capacity_ = std::min(kMaxMapSize, capacity_ == 0 ? 8 : capacity_ * 2);
    map_.push_back(field->Index());
    return true;
}

void TqxGridDataLink::ClearMapping()
{
    map_.clear();
    capacity_ = 0;
}

int TqxGridDataLink::FieldIndex(int column) const
{
    return column >= 0 && column < static_cast<int>(map_.size()) ? map_[column] : -1;
}

void TqxGridDataLink::Reset()
{
    if (modified_)
        RecordChanged(nullptr);
    modified_ = false;
}

void TqxGridDataLink::ActiveChanged()
{
    grid_->recordCount_ = grid_->recNo_ = -1;
    grid_->LinkActive(Active());
}

void TqxGridDataLink::DataSetChanged()
{
    grid_->recordCount_ = grid_->recNo_ = -1;
    grid_->DataChanged();
    modified_ = false;
}

void TqxGridDataLink::DataSetScrolled(int distance)
{
    grid_->Scroll(distance);
}

void TqxGridDataLink::EditingChanged()
{
    grid_->recordCount_ = grid_->recNo_ = -1;
    grid_->EditingChanged();
}

void TqxGridDataLink::LayoutChanged()
{
    grid_->recordCount_ = grid_->recNo_ = -1;
    grid_->LayoutChanged();
}

void TqxGridDataLink::RecordChanged(TField *field)
{
    grid_->RecordChanged(field);
    modified_ = false;
}

void TqxGridDataLink::UpdateData()
{
    qxgrid::TFlagGuard writing(inUpdateData_);
    grid_->UpdateData();
    modified_ = false;
}

// ---- TqxInplaceEdit -----------------------------------------------------------------------

TqxInplaceEdit::TqxInplaceEdit(TComponent *owner)
    : TInplaceEdit(owner)
    , dbGrid_(dynamic_cast<TqxCustomDBGrid *>(owner))
    , picture_(std::make_unique<TqxDBPicture>(nullptr))
{
    if (dbGrid_)
        wordWrap_ = dbGrid_->Options().Contains(dgWordWrap);
}

TqxInplaceEdit::~TqxInplaceEdit() = default;

void TqxInplaceEdit::SetWordWrap(bool wordWrap)
{
    if (wordWrap == wordWrap_)
        return;
    wordWrap_ = wordWrap;
    RecreateWnd();
}

void TqxInplaceEdit::CreateParams(TCreateParams &params)
{
    TInplaceEdit::CreateParams(params);
    params.Style &= ~(ES_AUTOVSCROLL | ES_WANTRETURN);
    if (wordWrap_)
        params.Style = (params.Style & ~ES_AUTOHSCROLL) | ES_AUTOVSCROLL | ES_MULTILINE;
}

bool TqxInplaceEdit::EditorHasPicture() const
{
    return usePicture_ && !picture_->PictureMask().empty();
}

void TqxInplaceEdit::CheckValue(bool passes)
{
    if (dbGrid_)
        dbGrid_->OnCheckValue(this, passes);
}

bool TqxInplaceEdit::CellEditorValid(const std::string &text)
{
    bool valid = true;
    if (!text.empty() && EditorHasPicture()) {
        TqxPictureValidator validator(picture_->PictureMask(), picture_->AutoFill());
        std::string copy = text;
        valid = validator.MatchPicture(copy, false) == prComplete;
    }
    CheckValue(valid);
    return valid;
}

void TqxInplaceEdit::WMSetFocus(TMessage &message)
{
    TInplaceEdit::WMSetFocus(message);
    if (!dbGrid_ || !dbGrid_->DataLink()->DataSet())
        return;
    TField *field = dbGrid_->SelectedField();
    if (!field)
        return;
    bool autoFill = true, use = true;
    std::string mask;
    qxGetPictureMaskEntry(dbGrid_->DataLink()->DataSet(), field->FieldName(), true, autoFill, use, mask);
    usePicture_ = use;
    picture_->SetPictureMask(mask);
    picture_->SetAutoFill(autoFill);
    picture_->SetAllowInvalidExit(false);
    CellEditorValid(field->Text());
}

void TqxInplaceEdit::KeyDown(uint16_t &key, TShiftState shift)
{
    if (dbGrid_
        && ((key == VK_RETURN && dbGrid_->KeyOptions().Contains(dgEnterToTab))
            || (key == VK_DELETE && shift.Contains(ssCtrl)))) {
        dbGrid_->SetFocus();
        dbGrid_->KeyDown(key, shift);
        key = 0;
        dbGrid_->InvalidateEditor();
        return;
    }
    TInplaceEdit::KeyDown(key, shift);
}

void TqxInplaceEdit::KeyUp(uint16_t &key, TShiftState shift)
{
    if (dbGrid_ && key == VK_RETURN && dbGrid_->KeyOptions().Contains(dgEnterToTab))
        key = VK_TAB;
    TInplaceEdit::KeyUp(key, shift);
    if (key == VK_DELETE && dbGrid_ && dbGrid_->OnCheckValue)
        CellEditorValid(Text());
}

void TqxInplaceEdit::KeyPress(char32_t &key)
{
    if (dbGrid_ && key == 13 && dbGrid_->KeyOptions().Contains(dgEnterToTab))
        key = 9;
    std::u32string before = Utf8ToCodePoints(Text());
    const int caret = SelStart(), selLength = SelLength();
    const bool wholeSelected = selLength > 0 && selLength == static_cast<int>(before.size());
    if (!EditorHasPicture() || key == 0)
        return TInplaceEdit::KeyPress(key);
    if (key == 8) {
        TInplaceEdit::KeyPress(key);
        if (dbGrid_ && dbGrid_->OnCheckValue && caret > 0) {
            std::u32string proposed = before;
            proposed.erase(caret - 1, 1);
            CellEditorValid(CodePointsToUtf8(proposed));
        }
        return;
    }
    if (key <= 31)
        return TInplaceEdit::KeyPress(key);
    // The grid decides first whether the key may change the cell at all.
    if (!dbGrid_ || !dbGrid_->CanEditAcceptKey(key) || !dbGrid_->CanEditModify()) {
        MessageBeep(0);
        key = 0;
        return;
    }
    std::u32string proposed32 = before.substr(0, caret) + key + before.substr(std::min<size_t>(before.size(), caret + selLength));
    if (MaxLength() > 0 && static_cast<int>(proposed32.size()) > MaxLength() && proposed32.size() > before.size())
        return;
    std::string proposed = CodePointsToUtf8(proposed32);
    TqxPictureValidator validator(picture_->PictureMask(), picture_->AutoFill());
    TqxPicResult result = validator.MatchPicture(proposed, picture_->AutoFill());
    bool passes = true;
    const int oldLength = static_cast<int>(before.size());
    switch (result) {
    case prComplete:
    case prIncomplete: {
        int newLength = static_cast<int>(Utf8ToCodePoints(proposed).size());
        SetText(proposed);
        dbGrid_->SetEditText(dbGrid_->Col(), dbGrid_->Row(), Text());
        if (wholeSelected)
            SetSelStart(newLength);
        else if (result == prComplete)
            SetSelStart(newLength > oldLength ? caret + (newLength - oldLength) : caret + 1);
        else
            SetSelStart(caret + (newLength - oldLength));
        SetSelLength(0);
        key = 0;
        passes = result == prComplete;
        break;
    }
    case prError:
        if (selLength + caret < oldLength) {
            TInplaceEdit::KeyPress(key);
            passes = false;
            break;
        }
        key = 0;
        MessageBeep(0);
        return;
    default:
        TInplaceEdit::KeyPress(key);
        break;
    }
    CheckValue(passes);
}

void TqxInplaceEdit::WMPaste(TMessage &message)
{
    TInplaceEdit::WMPaste(message);
    if (dbGrid_)
        dbGrid_->CanEditModify();
}

// ---- TqxIButton -------------------------------------------------------------------------------

TqxIButton::TqxIButton(TComponent *owner)
    : TSpeedButton(owner)
{
}

void TqxIButton::Loaded()
{
    TSpeedButton::Loaded();
    if (auto *grid = dynamic_cast<TqxCustomDBGrid *>(Parent()))
        grid->SetIndicatorButton(this);
}

void TqxIButton::SetBounds(int left, int top, int width, int height)
{
    auto *grid = dynamic_cast<TqxCustomDBGrid *>(Parent());
    const bool placed = grid && grid->indicatorButton_ == this;
    // It sits in the indicator title cell, never right of it or below.
    if (placed) {
        left = std::min(left, 0);
        top = std::min(top, 0);
    }
    const bool resized = width != Width() || height != Height();
    TSpeedButton::SetBounds(left, top, width, height);
    if (placed && resized && !ComponentState().Contains(csLoading)) {
        grid->indicatorWidth_ = Width() - 1;
        grid->LayoutChanged();
    }
}

// ---- TqxCustomDBGrid: construction and properties ------------------------------------------

TqxCustomDBGrid::TqxCustomDBGrid(TComponent *owner)
    : TCustomGrid(owner)
    , link_(std::make_unique<TqxGridDataLink>(this))
    , emptyColumn_(std::make_unique<TqxColumn>(nullptr, ""))
    , selected_(std::make_unique<TStringList>())
    , controlType_(std::make_unique<TStringList>())
    , titleFont_(std::make_unique<TFont>())
{
    options_ = { dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
        dgConfirmDelete, dgCancelOnExit, dgWordWrap };
    TCustomGrid::SetDefaultDrawing(false);
    SetColCount(2);
    SetRowCount(2);
    SetScrollBars(ssHorizontal);
    SetColor(clWindow);
    SetParentColor(false);
    titleFont_->Assign(Font());
    titleFont_->OnChange = [this](TObject *) { LayoutChanged(); };
    SetOptions(options_);
    TCustomGrid::SetOptions(TCustomGrid::Options() + TGridOptions { goDrawFocusSelected });
    IndicatorGlyphs::Acquire();
}

TqxCustomDBGrid::~TqxCustomDBGrid()
{
    IndicatorGlyphs::Release();
    titleFont_->OnChange.Clear();
    link_->SetDataSource(nullptr);
}

TDataSource *TqxCustomDBGrid::DataSource() const
{
    return link_->DataSource();
}

void TqxCustomDBGrid::SetDataSource(TDataSource *source)
{
    if (source == link_->DataSource())
        return;
    link_->SetDataSource(source);
    if (source)
        source->FreeNotification(this);
    LinkActive(link_->Active());
}

void TqxCustomDBGrid::Notification(TComponent *component, TOperation operation)
{
    TCustomGrid::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (link_ && component == link_->DataSource())
        SetDataSource(nullptr);
    if (component == reinterpret_cast<TComponent *>(imageList_))
        imageList_ = nullptr;
    if (component == reinterpret_cast<TComponent *>(titleImageList_))
        titleImageList_ = nullptr;
    if (component == indicatorButton_) {
        indicatorButton_ = nullptr;
        indicatorWidth_ = 11;
        LayoutChanged();
    }
}

void TqxCustomDBGrid::SetIndicatorButton(TqxIButton *button)
{
    if (button == indicatorButton_)
        return;
    if (indicatorButton_)
        indicatorButton_->RemoveFreeNotification(this);
    indicatorButton_ = button;
    if (button) {
        button->FreeNotification(this);
        if (button->Parent() != this)
            button->SetParent(this);
        button->SetBounds(std::min(button->Left(), 0), std::min(button->Top(), 0), button->Width(), button->Height());
        indicatorWidth_ = button->Width() - 1;
    } else
        indicatorWidth_ = 11;
    LayoutChanged();
}


void TqxCustomDBGrid::SetSelected(TStrings *lines)
{
    if (lines)
        selected_->Assign(*lines);
    LayoutChanged();
}

void TqxCustomDBGrid::SetControlType(TStrings *lines)
{
    if (lines)
        controlType_->Assign(*lines);
    Invalidate();
}

void TqxCustomDBGrid::SetUseTFields(bool on)
{
    if (on == useTFields_)
        return;
    useTFields_ = on;
    LayoutChanged();
}

void TqxCustomDBGrid::SetOptions(TqxDBGridOptions options)
{
    TqxDBGridOptions old = options_;
    options_ = options;
    TGridOptions go = TCustomGrid::Options()
        - TGridOptions { goFixedVertLine, goVertLine, goFixedHorzLine, goHorzLine, goColSizing, goTabs, goRowSelect,
              goEditing, goAlwaysShowEditor };
    if (options.Contains(dgColLines))
        go += TGridOptions { goFixedVertLine, goVertLine };
    if (options.Contains(dgRowLines))
        go += TGridOptions { goFixedHorzLine, goHorzLine };
    if (options.Contains(dgColumnResize))
        go.Include(goColSizing);
    if (options.Contains(dgTabs))
        go.Include(goTabs);
    if (options.Contains(dgRowSelect))
        go.Include(goRowSelect);
    if (options.Contains(dgEditing) && !options.Contains(dgRowSelect))
        go.Include(goEditing);
    if (options.Contains(dgAlwaysShowEditor))
        go.Include(goAlwaysShowEditor);
    TCustomGrid::SetOptions(go);
    if (old.Contains(dgWordWrap) != options.Contains(dgWordWrap))
        if (auto *editor = dynamic_cast<TqxInplaceEdit *>(InplaceEditor()))
            editor->SetWordWrap(options.Contains(dgWordWrap));
    const TqxDBGridOptions layout { dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColLines, dgRowLines,
        dgRowSelect, dgAlwaysShowSelection, dgPerfectRowFit, dgShowFooter };
    if ((old * layout) != (options * layout))
        LayoutChanged();
}

void TqxCustomDBGrid::SetEditCalculated(bool on)
{
    editCalculated_ = on;
    LayoutChanged();
}

void TqxCustomDBGrid::SetDefaultDrawing(bool on)
{
    dbDefaultDrawing_ = on;
    Invalidate();
}

void TqxCustomDBGrid::SetRowHeightPercent(int percent)
{
    if (percent < 1) {
        rowHeightPercent_ = 100;
        return;
    }
    rowHeightPercent_ = percent;
    LayoutChanged();
}

void TqxCustomDBGrid::SetTitleLines(int lines)
{
    if (lines < 1)
        return;
    titleLines_ = lines;
    LayoutChanged();
}

void TqxCustomDBGrid::SetTitleAlignment(TAlignment alignment)
{
    titleAlignment_ = alignment;
    LayoutChanged();
}

void TqxCustomDBGrid::SetTitleFont(TFont *font)
{
    titleFont_->Assign(font);
}

void TqxCustomDBGrid::SetTitleColor(TColor color)
{
    if (color == titleColor_)
        return;
    titleColor_ = color;
    SetFixedColor(color);
    LayoutChanged();
}

void TqxCustomDBGrid::SetIndicatorColor(TIndicatorColorType color)
{
    indicatorColor_ = color;
    LayoutChanged();
}

void TqxCustomDBGrid::SetFooterColor(TColor color)
{
    footerColor_ = color;
    LayoutChanged();
}

void TqxCustomDBGrid::SetFooterCellColor(TColor color)
{
    footerCellColor_ = color;
    LayoutChanged();
}

void TqxCustomDBGrid::SetFooterHeight(int height)
{
    footerHeight_ = std::max(0, height);
    LayoutChanged();
}

void TqxCustomDBGrid::SetShowVertScrollBar(bool on)
{
    showVertScrollBar_ = on;
    UpdateScrollBar();
}

bool TqxCustomDBGrid::ShowHorzScrollBar() const
{
    return ScrollBars() == ssHorizontal || ScrollBars() == ssBoth;
}

void TqxCustomDBGrid::SetShowHorzScrollBar(bool on)
{
    SetScrollBars(on ? ssHorizontal : ssNone);
}

void TqxCustomDBGrid::SetMemoAttributes(TqxMemoAttributes attributes)
{
    memoAttributes_ = attributes;
}

void TqxCustomDBGrid::SetImageList(TImageList *list)
{
    imageList_ = list;
    if (list)
        reinterpret_cast<TComponent *>(list)->FreeNotification(this);
    Invalidate();
}

void TqxCustomDBGrid::SetTitleImageList(TImageList *list)
{
    titleImageList_ = list;
    if (list)
        reinterpret_cast<TComponent *>(list)->FreeNotification(this);
    Invalidate();
}

bool TqxCustomDBGrid::IsActiveControl() const
{
    TCustomForm *form = GetParentForm(this);
    return form && form->ActiveControl() == this;
}

// ---- Fields and columns -------------------------------------------------------------------

TField *TqxCustomDBGrid::GetColField(int dataCol) const
{
    TDataSet *ds = link_->DataSet();
    int index = link_->FieldIndex(dataCol);
    if (!link_->Active() || !ds || index < 0 || index >= ds->FieldCount())
        return nullptr;
    return ds->Fields(index);
}

int TqxCustomDBGrid::SelectedIndex() const
{
    return Col() - indicatorOffset_;
}

TField *TqxCustomDBGrid::SelectedField() const
{
    return GetColField(SelectedIndex());
}

TqxColumn *TqxCustomDBGrid::ColumnByName(const std::string &fieldName) const
{
    for (const auto &column : columns_)
        if (SameText(column->FieldName(), fieldName))
            return column.get();
    return emptyColumn_.get();
}

TqxColumn *TqxCustomDBGrid::Columns(int dataCol) const
{
    return dataCol >= 0 && dataCol < ColumnCount() ? columns_[dataCol].get() : emptyColumn_.get();
}

bool TqxCustomDBGrid::SelectedLineOf(const std::string &fieldName, std::string &line, int *index) const
{
    int found = -1;
    if (!qxFindKeyedLine(selected_.get(), fieldName, found))
        return false;
    if (index)
        *index = found;
    line = selected_->Strings(found);
    return true;
}

bool TqxCustomDBGrid::ColumnReadOnlyBySelected(int dataCol) const
{
    TField *field = GetColField(dataCol);
    if (!field)
        return false;
    std::string line;
    return SelectedLineOf(field->FieldName(), line) && qxItem(line, '\t', 4) == "T";
}

// ---- Layout ---------------------------------------------------------------------------------

void TqxCustomDBGrid::Loaded()
{
    TCustomGrid::Loaded();
    LayoutChanged();
}

void TqxCustomDBGrid::CreateWnd()
{
    TCustomGrid::CreateWnd();
    LayoutChanged();
    UpdateScrollBar();
    CheckRowChanged();
}

void TqxCustomDBGrid::CMFontChanged(TMessage &message)
{
    TCustomGrid::CMFontChanged(message);
    if (ParentFont())
        titleFont_->Assign(Font());
    LayoutChanged();
}

void TqxCustomDBGrid::UpdateRowHeights()
{
    TCanvas *canvas = Canvas();
    canvas->SetFont(Font());
    int height = canvas->TextHeight("W") + 2;
    if (options_.Contains(dgRowLines))
        ++height;
    height = height * rowHeightPercent_ / 100;
    SetDefaultRowHeight(std::max(height, 1));
    if (options_.Contains(dgTitles)) {
        canvas->SetFont(titleFont_.get());
        int title = canvas->TextHeight("W") * titleLines_ + 4;
        if (!options_.Contains(dgRowLines))
            ++title;
        buttonTop_ = 2;
        if (options_.Contains(dgIndicator) && indicatorButton_) {
            const int button = indicatorButton_->Height();
            buttonTop_ = (std::max(title, button) - button) / 2 + 2;
            title = std::max(title, button) + (options_.Contains(dgRowLines) ? -1 : 1);
        }
        SetRowHeights(0, title);
    }
}

void TqxCustomDBGrid::DefineFieldMap()
{
    TDataSet *ds = link_->DataSet();
    if (useTFields_) {
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible())
                link_->AddMapping(ds->Fields(i)->FieldName());
    } else {
        for (int i = 0; i < selected_->Count();) {
            std::string name = qxItem(selected_->Strings(i), '\t', 1);
            if (!ds->FindField(name)) {
                selected_->Delete(i);
                continue;
            }
            link_->AddMapping(name);
            ++i;
        }
    }
    std::vector<std::unique_ptr<TqxColumn>> columns;
    for (int c = 0; c < link_->FieldCount(); ++c) {
        auto column = std::make_unique<TqxColumn>(this, ds->Fields(link_->FieldIndex(c))->FieldName());
        for (const auto &old : columns_)
            if (SameText(old->FieldName(), column->FieldName()))
                column->footerValue_ = old->footerValue_;
        columns.push_back(std::move(column));
    }
    columns_ = std::move(columns);
}

void TqxCustomDBGrid::LayoutChanged()
{
    if (inLayout_ || ComponentState().Contains(csLoading) || !HandleAllocated())
        return;
    // However the layout ends (a width that is no number raises), the
    // guard is down again, so the grid keeps laying itself out.
    qxgrid::TFlagGuard guard(inLayout_);
    titleOffset_ = options_.Contains(dgTitles) ? 1 : 0;
    indicatorOffset_ = options_.Contains(dgIndicator) ? 1 : 0;
    link_->ClearMapping();
    UpdateRowHeights();
    if (link_->Active())
        DefineFieldMap();
    else
        columns_.clear();
    int count = link_->FieldCount();
    if (count == 0 && !useTFields_)
        count = selected_->Count();
    count = std::max(count, 1) + indicatorOffset_;
    if (FixedCols() >= count)
        SetFixedCols(0);
    SetColCount(count);
    SetFixedCols(indicatorOffset_);
    if (indicatorOffset_) {
        SetColWidths(0, indicatorWidth_);
        if (Col() == 0)
            SetCol(1);
    }
    HideControls();
    UpdateRowCount();
    int rows = visibleRows_;
    SetColumnAttributes();
    UpdateRowCount();
    if (rows != visibleRows_)
        UpdateRowCount();
    CheckUpdateFooter();
    UpdateActive();
    Invalidate();
}

void TqxCustomDBGrid::SetColumnAttributes()
{
    TCanvas *canvas = Canvas();
    canvas->SetFont(Font());
    const int zero = canvas->TextWidth("0");
    for (int c = 0; c < link_->FieldCount(); ++c) {
        TField *field = GetColField(c);
        if (!field)
            continue;
        int width;
        std::string label = field->DisplayLabel();
        if (useTFields_)
            width = field->DisplayWidth() * zero + 4;
        else {
            std::string line;
            if (!SelectedLineOf(field->FieldName(), line))
                continue;
            width = StrToInt(qxItem(line, '\t', 2)) * zero + 4;
            if (std::string l = qxItem(line, '\t', 3); !l.empty())
                label = l;
        }
        if (options_.Contains(dgTitles) && !options_.Contains(dgNoLimitColSize)) {
            canvas->SetFont(titleFont_.get());
            for (int piece = 1; piece <= std::max(1, qxItemCount(label, '~')); ++piece)
                width = std::max(width, canvas->TextWidth(qxItem(label, '~', piece)) + 4);
            canvas->SetFont(Font());
        }
        SetColWidths(c + indicatorOffset_, width);
        bool tabStop = !field->ReadOnly();
        if (ColumnReadOnlyBySelected(c))
            tabStop = false;
        if (tabStop && !editCalculated_)
            tabStop = !field->Calculated();
        SetTabStops(c + indicatorOffset_, tabStop);
    }
}

void TqxCustomDBGrid::UpdateRowCount()
{
    if (inRowCount_)
        return;
    qxgrid::TFlagGuard guard(inRowCount_);
    if (RowCount() <= titleOffset_)
        SetRowCount(titleOffset_ + 1);
    SetFixedRows(titleOffset_);
    TDataSet *ds = link_->DataSet();
    if (link_->Active() && ds && !ds->IsEmpty()) {
        // Measure how many rows fit with room to spare, then keep only those.
        SetRowCount(1000);
        SetTopRow(titleOffset_);
        int visible = std::max(1, VisibleRowCount());
        if (visible < link_->BufferCount() && link_->ActiveRecord() >= visible) {
            Invalidate();
            TopRowChanged();
        }
        visibleRows_ = visible;
        if (visible != link_->BufferCount())
            recNo_ = -1; // the window starts elsewhere now
        link_->SetBufferCount(visible);
        SetRowCount(std::max(1, link_->RecordCount()) + titleOffset_);
        UpdateActive();
    } else {
        visibleRows_ = 0;
        SetRowCount(titleOffset_ + 1);
    }
}

void TqxCustomDBGrid::UpdateActive()
{
    if (!link_->Active() || !HandleAllocated())
        return;
    int row = link_->ActiveRecord() + titleOffset_;
    if (row != Row()) {
        if (!options_.Contains(dgAlwaysShowEditor))
            HideEditor();
        if (row >= RowCount())
            SetRowCount(row + 1);
        MoveColRow(Col(), row, false, false);
    }
    if (TField *field = SelectedField(); field && field->Text() != editText_ && !link_->Modified())
        InvalidateEditor();
}

void TqxCustomDBGrid::WriteColumnWidths()
{
    if (!link_->Active() || !HandleAllocated() || inLayout_)
        return;
    TCanvas *canvas = Canvas();
    canvas->SetFont(Font());
    const int zero = std::max(1, canvas->TextWidth("0"));
    for (int c = 0; c < link_->FieldCount(); ++c) {
        TField *field = GetColField(c);
        if (!field)
            continue;
        int chars = (ColWidths(c + indicatorOffset_) + std::max(0, zero / 2 - 3) - 4) / zero;
        if (useTFields_) {
            if (field->DisplayWidth() != chars)
                field->SetDisplayWidth(chars);
            continue;
        }
        int index = -1;
        if (std::string line; SelectedLineOf(field->FieldName(), line, &index)) {
            std::string rewritten = field->FieldName() + "\t" + IntToStr(chars) + "\t" + qxItem(line, '\t', 3);
            if (qxItemCount(line, '\t') >= 4)
                rewritten += "\t" + qxItem(line, '\t', 4);
            selected_->SetStrings(index, rewritten);
        }
    }
    LayoutChanged();
}

void TqxCustomDBGrid::ColWidthsChanged()
{
    TCustomGrid::ColWidthsChanged();
    if (GridState() == gsColSizing || borderPress_)
        WriteColumnWidths();
}

// ---- Data events ----------------------------------------------------------------------------

void TqxCustomDBGrid::LinkActive(bool value)
{
    if (!value)
        HideEditor();
    LayoutChanged();
    UpdateScrollBar();
    haveLastBookmark_ = false;
    lastBookmark_.clear();
    lastMasterBookmark_.clear();
    if (value && HandleAllocated()) {
        if (Col() != lastEnteredCol_)
            ColEnter();
        else
            colEnterDeferred_ = true;
    }
    footerPending_ = true;
    if (!value)
        lastEnteredCol_ = -1;
}

void TqxCustomDBGrid::DataChanged()
{
    if (!HandleAllocated())
        return;
    CheckUpdateFooter();
    TDataSet *ds = link_->DataSet();
    if (ds && (ds->State() == dsBrowse || (ds->State() == dsInsert && !(ds->Bof() && ds->Eof()))))
        HideControls();
    UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    if (TField *field = SelectedField(); !field || field->Text() != editText_)
        InvalidateEditor();
    Invalidate();
    CheckRowChanged();
}

void TqxCustomDBGrid::Scroll(int distance)
{
    // The link's window moved by distance records and the active record
    // within it as much as its row did: so did the record number.
    if (recNo_ > 0)
        recNo_ += distance + link_->ActiveRecord() - recNoActive_;
    if (!HandleAllocated())
        return;
    InvalidateRow(Row());
    UpdateScrollBar();
    UpdateActive();
    InvalidateRow(Row());
    InvalidateCol(0);
    if (distance != 0) {
        HideControls();
        Invalidate();
        TopRowChanged();
    }
    if (options_.Contains(dgAlwaysShowEditor) && !IsCustomCell(Col(), Row()) && !IsMemoCell(Col(), Row()))
        ShowEditor();
    CheckRowChanged();
}

void TqxCustomDBGrid::EditingChanged()
{
    InvalidateCell(0, Row());
    if (TDataSet *ds = link_->DataSet(); ds && (ds->State() == dsEdit || ds->State() == dsInsert))
        footerPending_ = true;
}

void TqxCustomDBGrid::RecordChanged(TField *field)
{
    if (!HandleAllocated())
        return;
    if (link_->InUpdateData() && field)
        return;
    if (field) {
        for (int c = 0; c < link_->FieldCount(); ++c)
            if (GetColField(c) == field)
                InvalidateCell(c + indicatorOffset_, Row());
    } else
        InvalidateRow(Row());
    if (TField *selected = SelectedField(); selected && selected->Text() != editText_)
        InvalidateEditor();
    TDataSet *ds = link_->DataSet();
    if (field && ds && (ds->State() == dsEdit || ds->State() == dsInsert)) {
        FieldChanged(field);
        fieldChangedFired_ = true;
    }
}

void TqxCustomDBGrid::FieldChanged(TField *field)
{
    OnFieldChanged(this, field);
}

void TqxCustomDBGrid::UpdateData()
{
    if (!link_->Modified() || columns_.empty())
        return;
    TField *field = SelectedField();
    if (!field)
        return;
    fieldChangedFired_ = field->Text() == editText_;
    if (IsDateTimeField(field) && qxIsDateText(editText_)) {
        int position = 1;
        TDateTime date = 0;
        if (qxScanDate(editText_, position, date, qxIntl()->DefaultEpochYear())) {
            // The general conversion does not know every date the library
            // accepts (a month by name): the time then comes from the
            // library's own scanner, and is 0 when the text has none.
            TDateTime whole = 0, time = 0;
            if (TryStrToDateTime(editText_, whole))
                time = whole - std::floor(whole);
            else {
                std::string_view rest = std::string_view(editText_).substr(std::min<size_t>(position - 1, editText_.size()));
                int timePosition = 1;
                if (!qxScanTime(rest, timePosition, time))
                    time = 0;
            }
            field->SetAsDateTime(std::floor(date) + (time - std::floor(time)));
        }
    } else
        field->SetText(editText_);
    if (!fieldChangedFired_)
        FieldChanged(field);
}

void TqxCustomDBGrid::TopRowChanged()
{
    OnTopRowChanged(this);
}

void TqxCustomDBGrid::RowChanged()
{
    OnRowChanged(this);
    rowChangedInStep_ = true;
    CellChanged();
    rowChangedInStep_ = false;
}

void TqxCustomDBGrid::CellChanged()
{
    if (!rowChangedInStep_ && !holdCellChanged_)
        OnCellChanged(this);
}

void TqxCustomDBGrid::CheckRowChanged()
{
    TDataSet *ds = link_->DataSet();
    if (!ds || !ds->Active() || !(OnRowChanged || OnCellChanged || OnUpdateFooter))
        return;
    TBookmark current = ds->GetBookmark();
    bool changed = !haveLastBookmark_;
    if (!changed) {
        int cmp = ds->CompareBookmarks(current, lastBookmark_);
        changed = (cmp != 0 && cmp != 2) || (current.empty() && ds->State() == dsInsert);
    }
    if (changed)
        RowChanged();
    lastBookmark_ = current;
    haveLastBookmark_ = true;
    if (colEnterDeferred_) {
        colEnterDeferred_ = false;
        ColEnter();
    }
    UpdateFooter();
}

void TqxCustomDBGrid::UpdateFooter()
{
    if (footerPending_ && OnUpdateFooter) {
        footerPending_ = false;
        OnUpdateFooter(this);
        InvalidateFooter();
    }
}

void TqxCustomDBGrid::CheckUpdateFooter()
{
    TDataSet *ds = link_->DataSet();
    if (!OnUpdateFooter || !HandleAllocated() || !ds || ds->State() != dsBrowse)
        return;
    TObject *masterSource = qxGetMasterSourceProp(ds);
    if (!masterSource)
        masterSource = qxGetDataSourceProp(ds);
    if (auto *source = dynamic_cast<TDataSource *>(masterSource); source && source->DataSet() && source->DataSet()->Active()) {
        TBookmark master = source->DataSet()->GetBookmark();
        if (master != lastMasterBookmark_) {
            lastMasterBookmark_ = master;
            footerPending_ = true;
        }
    }
    if (haveLastBookmark_ && !lastBookmark_.empty() && !ds->BookmarkValid(lastBookmark_))
        footerPending_ = true;
    UpdateFooter();
}

void TqxCustomDBGrid::FlushEdit()
{
    link_->UpdateRecord();
}

void TqxCustomDBGrid::ColEnter()
{
    lastEnteredCol_ = Col();
    OnColEnter(this);
    CellChanged();
}

void TqxCustomDBGrid::ColExit()
{
    OnColExit(this);
}

// ---- Cells ----------------------------------------------------------------------------------

void TqxCustomDBGrid::GetControlInfo(const std::string &fieldName, std::string &controlType, std::string &parameters)
{
    const TObject *source = controlInfoInDataset_ ? static_cast<const TObject *>(link_->DataSet()) : this;
    controlType.clear();
    parameters.clear();
    if (source)
        qxFindControlTypeEntry(source, fieldName, controlType, parameters);
}

bool TqxCustomDBGrid::IsCustomCell(int, int)
{
    return false;
}

bool TqxCustomDBGrid::IsMemoCell(int col, int row)
{
    if (row < titleOffset_)
        return false;
    TField *field = GetColField(col - indicatorOffset_);
    return field && field->IsBlob() && (field->DataType() == ftMemo || qxIsRichTextField(field, false));
}

void TqxCustomDBGrid::GetFieldText(int dataCol, std::string &text)
{
    TField *field = GetColField(dataCol);
    text = field ? field->DisplayText() : std::string();
}

bool TqxCustomDBGrid::HighlightCell(int, int, TGridDrawState state)
{
    return state.Contains(gdSelected) && (options_.Contains(dgAlwaysShowSelection) || Focused());
}

TColor TqxCustomDBGrid::GetColumnColor(int)
{
    return Color();
}

void TqxCustomDBGrid::DrawDataCell(const TRect &rect, TField *field, TGridDrawState state)
{
    OnDrawDataCell(this, rect, field, state);
}

void TqxCustomDBGrid::DrawCheckBox(const TRect &rect, bool checked, bool readOnlyColumn)
{
    TCanvas *canvas = Canvas();
    const int L = (rect.Left + rect.Right - 10) / 2, T = (rect.Top + rect.Bottom - 10) / 2;
    const int R = L + 10, B = T + 10;
    TqxCheckBoxInGridStyle style = qxIntl()->CheckBoxInGridStyle();
    auto line = [&](TColor color, std::initializer_list<TPoint> points) {
        canvas->Pen()->SetColor(color);
        auto it = points.begin();
        canvas->MoveTo(it->X, it->Y);
        for (++it; it != points.end(); ++it)
            canvas->LineTo(it->X, it->Y);
    };
    TColor oldPen = canvas->Pen()->Color();
    if (style == cbStyleXmark) {
        canvas->Brush()->SetColor(clWindow);
        canvas->FillRect({ L, T, R, B });
        line(clBlack, { { R - 1, T }, { L, T }, { L, B + 1 } });
        line(clGrayText, { { L + 1, B }, { R, B }, { R, T - 1 } });
        line(clWhite, { { L, B + 1 }, { R + 1, B + 1 }, { R + 1, T - 1 } });
        line(clGray, { { R, T - 1 }, { L - 1, T - 1 }, { L - 1, B + 1 } });
        if (checked) {
            line(clBlack, { { R - 2, T + 2 }, { L + 1, B - 1 } });
            line(clBlack, { { R - 3, T + 2 }, { L + 1, B - 2 } });
            line(clBlack, { { R - 2, T + 3 }, { L + 2, B - 1 } });
            line(clBlack, { { L + 2, T + 2 }, { R - 1, B - 1 } });
            line(clBlack, { { L + 3, T + 2 }, { R - 1, B - 2 } });
            line(clBlack, { { L + 2, T + 3 }, { R - 2, B - 1 } });
        }
    } else {
        canvas->Brush()->SetColor(readOnlyColumn ? clInactiveBorder : clWindow);
        canvas->FillRect({ L, T, R, B });
        line(clBlack, { { R - 1, T }, { L, T }, { L, B } });
        line(cl3DLight, { { L, B }, { R, B }, { R, T - 1 } });
        line(clWhite, { { L - 1, B + 1 }, { R + 1, B + 1 }, { R + 1, T - 2 } });
        line(clGray, { { R, T - 1 }, { L - 1, T - 1 }, { L - 1, B + 1 } });
        if (checked) {
            TColor pen = readOnlyColumn ? clGray : clBlack;
            for (int i = 0; i <= 2; ++i)
                line(pen, { { L + i + 2, T + i + 4 }, { L + i + 2, B + i - 3 } });
            for (int i = 0; i <= 3; ++i)
                line(pen, { { L + i + 5, T - i + 5 }, { L + i + 5, B - i - 2 } });
        }
    }
    canvas->Pen()->SetColor(oldPen);
}

bool TqxCustomDBGrid::DrawCustomCell(int, int, const TRect &, TGridDrawState)
{
    return false;
}

void TqxCustomDBGrid::DrawIndicator(const TRect &rect)
{
    TCanvas *canvas = Canvas();
    TDataSet *ds = link_->DataSet();
    TDataSetState state = ds ? ds->State() : dsBrowse;
    TBitmap *glyph = state == dsEdit ? IndicatorGlyphs::Edit : state == dsInsert ? IndicatorGlyphs::Insert : IndicatorGlyphs::Arrow;
    if (!glyph || glyph->Empty())
        return;
    const int w = glyph->Width(), h = glyph->Height();
    const int x = (rect.Right - w) / 2 + 1, y = (rect.Top + rect.Bottom - h) / 2;
    if (indicatorColor_ == icYellow) {
        // White takes the cell's colour, black becomes yellow.
        TBitmap recoloured;
        recoloured.SetSize(w, h);
        const TColor back = canvas->Brush()->Color();
        for (int py = 0; py < h; ++py)
            for (int px = 0; px < w; ++px)
                recoloured.Canvas()->SetPixels(px, py, glyph->Canvas()->Pixels(px, py) == clWhite ? back : clYellow);
        canvas->SetCopyMode(cmSrcCopy);
        canvas->CopyRect({ x, y, x + w, y + h }, recoloured.Canvas(), { 0, 0, w, h });
    } else {
        canvas->SetCopyMode(cmSrcAnd);
        canvas->CopyRect({ x, y, x + w, y + h }, glyph->Canvas(), { 0, 0, w, h });
    }
    canvas->SetCopyMode(cmSrcCopy);
}

void TqxCustomDBGrid::DrawTitleCell(int col, const TRect &rect)
{
    TCanvas *canvas = Canvas();
    if (col < indicatorOffset_) {
        canvas->FillRect(rect);
        return;
    }
    TField *field = GetColField(col - indicatorOffset_);
    std::string label;
    if (field) {
        label = field->DisplayLabel();
        if (!useTFields_)
            if (std::string line; SelectedLineOf(field->FieldName(), line) && !qxItem(line, '\t', 3).empty())
                label = qxItem(line, '\t', 3);
    }
    TAlignment alignment = titleAlignment_;
    OnCalcTitleAttributes(this, field ? field->FieldName() : std::string(), canvas->Font(), canvas->Brush(), alignment);
    canvas->FillRect(rect);
    TqxTitleImageAttributes image;
    OnCalcTitleImage(this, field, image);
    const bool pressed = titleButtons_ && pressedCol_ == col && pressedRow_ == 0 && !dragging_;
    const int shift = pressed ? 1 : 0;
    TRect textRect = rect;
    if (titleImageList_ && image.ImageIndex >= 0 && image.ImageIndex < titleImageList_->Count()) {
        int iw = titleImageList_->Width(), ih = titleImageList_->Height();
        int iy = (rect.Top + rect.Bottom - ih) / 2 + shift;
        if (image.Placement == 0) {
            titleImageList_->Draw(canvas, rect.Left + image.Margin + shift, iy, image.ImageIndex);
            textRect.Left = std::min(rect.Left + iw + image.Margin, rect.Right);
        } else if (image.Placement == 1) {
            titleImageList_->Draw(canvas, rect.Right - iw - image.Margin + shift, iy, image.ImageIndex);
            textRect.Right = std::max(rect.Right - iw - image.Margin, rect.Left);
        } else
            titleImageList_->Draw(canvas, (rect.Left + rect.Right - iw) / 2 + shift, iy, image.ImageIndex);
    }
    bool defaultDrawing = true;
    OnDrawTitleCell(this, canvas, field, rect, defaultDrawing);
    if (defaultDrawing && image.Placement != 2 && !textRect.IsEmpty()) {
        int lines = titleLines_ == 1 ? 1 : static_cast<int>(std::count(label.begin(), label.end(), '~')) + 1;
        std::replace(label.begin(), label.end(), '~', '\n');
        int dy = static_cast<int>(std::lround(rect.Height() * 0.5 - canvas->TextHeight("W") * lines * 0.5)) + shift;
        uint32_t flags = qxdcEllipsis;
        if (OnDrawTitleCell)
            flags |= qxdcKeepBackground;
        if (!useTFields_)
            flags |= qxdcPrefix;
        qxDrawCellText(canvas, textRect, 3 + shift, std::max(0, dy), label, alignment, flags);
    }
    if (titleButtons_ && !dragging_) {
        const int L = rect.Left, T = rect.Top, R = rect.Right, B = rect.Bottom;
        TColor oldPen = canvas->Pen()->Color();
        if (!pressed) {
            canvas->Pen()->SetColor(clGray);
            canvas->MoveTo(L, T);
            canvas->LineTo(L, B - 1);
            canvas->LineTo(R - 1, B - 1);
            canvas->LineTo(R - 1, T);
            canvas->Pen()->SetColor(clBtnHighlight);
            canvas->MoveTo(L, T);
            canvas->LineTo(L, B);
            canvas->MoveTo(L + 1, T);
            canvas->LineTo(R - 1, T);
            canvas->Pen()->SetColor(clBtnShadow);
            canvas->MoveTo(L, B - 1);
            canvas->LineTo(R, B - 1);
        } else {
            canvas->Pen()->SetColor(clBlack);
            canvas->MoveTo(L, T);
            canvas->LineTo(L, B);
            canvas->MoveTo(L, T);
            canvas->LineTo(R, T);
            canvas->Pen()->SetColor(clGray);
            canvas->MoveTo(L + 1, T + 1);
            canvas->LineTo(L + 1, B - 1);
            canvas->LineTo(R, B - 1);
        }
        canvas->Pen()->SetColor(oldPen);
    }
}

void TqxCustomDBGrid::DrawCell(int col, int row, const TRect &rect, TGridDrawState state)
{
    TCanvas *canvas = Canvas();
    const bool fixed = state.Contains(gdFixed);
    canvas->SetFont(fixed ? titleFont_.get() : Font());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(fixed ? titleColor_ : GetColumnColor(col));
    if (row < titleOffset_)
        return DrawTitleCell(col, rect);
    if (!link_->Active() || link_->DataSet()->IsEmpty()) {
        canvas->FillRect(rect);
        return;
    }
    const int dataRow = row - titleOffset_;
    if (col < indicatorOffset_) {
        canvas->FillRect(rect);
        if (dataRow == link_->ActiveRecord())
            DrawIndicator(rect);
        return;
    }
    if (dataRow >= link_->RecordCount()) {
        canvas->FillRect(rect);
        return;
    }
    if (DrawCustomCell(col, row, rect, state))
        return;
    const int dataCol = col - indicatorOffset_;
    qxgrid::TActiveRecordGuard shown(link_.get(), dataRow);
    TField *field = GetColField(dataCol);
    std::string text;
    textMapped_ = false;
    GetFieldText(dataCol, text);
    bool highlight = HighlightCell(dataCol, dataRow, state);
    if (highlight) {
        canvas->Brush()->SetColor(clHighlight);
        canvas->Font()->SetColor(clHighlightText);
    }
    OnCalcCellColors(this, field, state, highlight, canvas->Font(), canvas->Brush());
    int alignment = field && !textMapped_ ? static_cast<int>(field->Alignment()) : 0;
    if (dbDefaultDrawing_) {
        uint32_t flags = 0;
        const int dy = options_.Contains(dgRowLines) ? 2 : 1;
        if (options_.Contains(dgWordWrap)) {
            flags = qxdcWordWrap;
            if (options_.Contains(dgTrailingEllipsis) && qxIsSingleLineRect(canvas, rect, DT_WORDBREAK))
                flags |= qxdcEllipsis;
        } else if (options_.Contains(dgTrailingEllipsis))
            flags = qxdcEllipsis;
        qxDrawCellText(canvas, rect, 3, dy, text, alignment, flags);
    } else
        canvas->FillRect(rect);
    DrawDataCell(rect, field, state);
    if (dbDefaultDrawing_ && highlight && !options_.Contains(dgRowSelect) && state.Contains(gdFocused)
        && IsActiveControl())
        canvas->DrawFocusRect(rect);
}

// ---- Footer ---------------------------------------------------------------------------------

TRect TqxCustomDBGrid::ClientRect() const
{
    TRect r = TCustomGrid::ClientRect();
    if (options_.Contains(dgShowFooter)) {
        int height = footerHeight_ > 0 ? footerHeight_ : DefaultRowHeight() + 4;
        if (options_.Contains(dgFooter3DCells))
            height += 2;
        r.Bottom = std::max(r.Top, r.Bottom - height);
    }
    return r;
}

TRect TqxCustomDBGrid::GetFooterRect() const
{
    if (!options_.Contains(dgShowFooter))
        return {};
    TRect client = ClientRect();
    TRect whole = TCustomGrid::ClientRect();
    return { whole.Left, client.Bottom, whole.Right, whole.Bottom };
}

void TqxCustomDBGrid::InvalidateFooter()
{
    InvalidateRect(GetFooterRect());
}

void TqxCustomDBGrid::Paint()
{
    UpdateSelectionCache();
    if (!showVertScrollBar_)
        SetVertScrollRange(0, 0);
    TCustomGrid::Paint();
    if (options_.Contains(dgShowFooter))
        DrawFooter();
}

void TqxCustomDBGrid::DrawFooter()
{
    TCanvas *canvas = Canvas();
    TRect band = GetFooterRect();
    if (band.IsEmpty())
        return;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(band);
    canvas->Brush()->SetColor(footerColor_);
    canvas->FillRect({ band.Left + 1, band.Top + 1, band.Right - 1, band.Bottom - 1 });
    TColor oldPen = canvas->Pen()->Color();
    canvas->Pen()->SetColor(clWhite);
    canvas->MoveTo(band.Left, band.Bottom - 1);
    canvas->LineTo(band.Left, band.Top + 1);
    canvas->LineTo(band.Right - 1, band.Top + 1);
    canvas->Pen()->SetColor(clBlack);
    canvas->MoveTo(band.Left, band.Top);
    canvas->LineTo(band.Right - 1, band.Top);
    canvas->LineTo(band.Right - 1, band.Bottom - 1);
    canvas->LineTo(band.Left - 1, band.Bottom - 1);
    canvas->SetFont(Font());
    const int textHeight = canvas->TextHeight("A");
    auto footerCell = [&](int col) {
        TRect cell = CellRect(col, TopRow() < RowCount() ? TopRow() : 0);
        if (cell.IsEmpty())
            cell = CellRect(col, 0);
        if (cell.IsEmpty())
            return;
        const int dataCol = col - indicatorOffset_;
        TField *field = GetColField(dataCol);
        std::string text = Columns(dataCol)->FooterValue();
        TRect r { cell.Left, band.Top + 2, cell.Left + ColWidths(col), band.Bottom - 2 };
        canvas->Brush()->SetColor(footerCellColor_);
        canvas->SetFont(Font());
        bool defaultDrawing = true;
        OnDrawFooterCell(this, canvas, r, field, text, defaultDrawing);
        if (!defaultDrawing || text.empty())
            return;
        canvas->Brush()->SetColor(footerCellColor_);
        canvas->FillRect(r);
        canvas->Pen()->SetColor(clBtnShadow);
        canvas->MoveTo(r.Left, r.Bottom - 1);
        canvas->LineTo(r.Left, r.Top);
        canvas->LineTo(r.Right, r.Top);
        canvas->Pen()->SetColor(clBtnHighlight);
        canvas->MoveTo(r.Left, r.Bottom - 1);
        canvas->LineTo(r.Right - 1, r.Bottom - 1);
        canvas->LineTo(r.Right - 1, r.Top);
        if (options_.Contains(dgFooter3DCells)) {
            canvas->Pen()->SetColor(clBlack);
            canvas->MoveTo(r.Left + 1, r.Bottom - 2);
            canvas->LineTo(r.Left + 1, r.Top + 1);
            canvas->LineTo(r.Right - 1, r.Top + 1);
        }
        uint32_t format = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
        if (field && field->Alignment() == taRightJustify)
            format |= DT_RIGHT;
        else if (field && field->Alignment() == taCenter)
            format |= DT_CENTER;
        int top = r.Top + (r.Height() - textHeight) / 2;
        TRect textRect { r.Left + 4, top, r.Left + ColWidths(col) - 5, top + textHeight };
        DrawText(canvas, text, textRect, format);
    };
    for (int c = indicatorOffset_; c < FixedCols(); ++c)
        footerCell(c);
    for (int c = LeftCol(); c < ColCount(); ++c)
        footerCell(c);
    canvas->Pen()->SetColor(oldPen);
}

// ---- Editing --------------------------------------------------------------------------------

bool TqxCustomDBGrid::SelectCell(int, int)
{
    return true;
}

TInplaceEdit *TqxCustomDBGrid::CreateEditor()
{
    return new TqxInplaceEdit(this);
}

bool TqxCustomDBGrid::CanEditAcceptKey(char32_t key)
{
    TField *field = SelectedField();
    if (!link_->Active() || columns_.empty() || !field)
        return false;
    if (IsNumericField(field)) {
        return (key >= '0' && key <= '9') || key == '-' || key == '+' || key == 'e' || key == 'E'
            || key == FormatSettings.DecimalSeparator;
    }
    return true;
}

bool TqxCustomDBGrid::CanEditModify()
{
    TDataSet *ds = link_->DataSet();
    if (!ds)
        return false;
    if (ds->Bof() && ds->Eof() && ds->State() == dsBrowse && !keyOptions_.Contains(dgAllowInsert))
        return false;
    if (readOnly_ || !link_->Active() || link_->ReadOnly() || columns_.empty())
        return false;
    TField *field = SelectedField();
    if (!field)
        return false;
    bool modifiable = field->CanModify() || (editCalculated_ && field->Calculated() && !field->ReadOnly());
    if (!modifiable || ColumnReadOnlyBySelected(SelectedIndex()))
        return false;
    link_->Edit();
    bool editing = link_->Editing();
    if (editing)
        link_->SetModified();
    return editing;
}

bool TqxCustomDBGrid::CanEditShow()
{
    return TCustomGrid::CanEditShow() && link_->Active() && SelectedField();
}

std::string TqxCustomDBGrid::GetEditText(int, int)
{
    TField *field = SelectedField();
    editText_ = field ? field->Text() : std::string();
    return editText_;
}

void TqxCustomDBGrid::SetEditText(int, int, const std::string &value)
{
    editText_ = value;
}

std::string TqxCustomDBGrid::GetEditMask(int, int)
{
    TField *field = SelectedField();
    return field ? field->EditMask() : std::string();
}

int TqxCustomDBGrid::GetEditLimit()
{
    TField *field = SelectedField();
    return field && field->DataType() == ftString ? field->Size() : 0;
}

void TqxCustomDBGrid::SelectField(int dataCol)
{
    auto *editor = dynamic_cast<TqxInplaceEdit *>(InplaceEditor());
    if (editor && editor->Visible() && editor->EditorHasPicture() && link_->Modified()
        && !editor->Picture()->AllowInvalidExit() && !editor->CellEditorValid(editor->Text())) {
        editor->SelectAll();
        link_->SetModified();
        // The dataset may say what happens to a value its picture refuses.
        if (TqxInvalidValueEvent handler = qxGetInvalidValueEvent(link_->DataSet())) {
            handler(link_->DataSet(), SelectedField());
            return;
        }
        MessageBeep(0);
        throw EInvalidOperation("Invalid input value.  Use escape key to abandon changes");
    }
    link_->UpdateRecord();
    const int first = std::max(0, FixedCols() - indicatorOffset_);
    dataCol = std::clamp(dataCol, first, std::max(first, ColumnCount() - 1));
    if (dataCol == SelectedIndex())
        return;
    if (!inColExit_) {
        const int before = Col();
        {
            qxgrid::TFlagGuard exiting(inColExit_);
            ColExit();
        }
        if (Col() != before)
            return;
    }
    HideEditor();
    if (options_.Contains(dgAlwaysShowEditor) && !IsCustomCell(dataCol + indicatorOffset_, Row()))
        HideControls();
    MoveColRow(dataCol + indicatorOffset_, Row(), true, true);
    if (options_.Contains(dgAlwaysShowEditor) && !IsMemoCell(Col(), Row()) && !IsCustomCell(Col(), Row()))
        ShowEditor();
    ColEnter();
}

void TqxCustomDBGrid::ColumnMoved(int fromIndex, int toIndex)
{
    const int from = fromIndex - indicatorOffset_, to = toIndex - indicatorOffset_;
    if (from < 0 || to < 0)
        return;
    if (!useTFields_) {
        if (from < selected_->Count() && to < selected_->Count())
            selected_->Move(from, to);
        LayoutChanged();
    } else {
        TField *moved = GetColField(from), *target = GetColField(to);
        if (moved && target)
            moved->SetIndex(target->Index());
        LayoutChanged();
    }
    InvalidateFooter();
    OnColumnMoved(this, from, to);
}

void TqxCustomDBGrid::TopLeftChanged()
{
    TCustomGrid::TopLeftChanged();
    if (options_.Contains(dgRowSelect) && TopRow() != titleOffset_)
        SetTopRow(titleOffset_);
    OnLeftColChanged(this, LeftCol());
    if (options_.Contains(dgShowFooter))
        InvalidateFooter();
}

// ---- Keys -----------------------------------------------------------------------------------

namespace
{
// An appended record, or the first of an empty dataset, has no record after
// it; the dataset's Eof is not set while it is inserted.
bool AtTheEnd(TDataSet *ds)
{
    if (ds->Eof())
        return true;
    const TRecBuf *inserted = ds->State() == dsInsert ? ds->ActiveBuffer() : nullptr;
    return inserted && (inserted->Flag == bfEOF || inserted->Flag == bfBOF);
}
} // namespace

void TqxCustomDBGrid::NextRecord(bool appendAtEnd)
{
    TDataSet *ds = link_->DataSet();
    if (ds->State() == dsInsert && !ds->Modified() && !link_->Modified()) {
        if (AtTheEnd(ds))
            return;
        ds->Cancel();
    } else
        ds->Next();
    if (appendAtEnd && ds->Eof() && ds->CanModify() && !readOnly_ && options_.Contains(dgEditing)
        && keyOptions_.Contains(dgAllowInsert)) {
        HideControls();
        ds->Append();
    }
}

void TqxCustomDBGrid::PriorRecord()
{
    TDataSet *ds = link_->DataSet();
    if (ds->State() == dsInsert && !ds->Modified() && AtTheEnd(ds) && !link_->Modified())
        ds->Cancel();
    else
        ds->Prior();
}

void TqxCustomDBGrid::TabMove(bool back)
{
    const int count = ColumnCount();
    if (count == 0)
        return;
    const int first = std::max(0, FixedCols() - indicatorOffset_);
    bool any = false;
    for (int c = first; c < count; ++c)
        any = any || TabStops(c + indicatorOffset_);
    if (!any)
        return;
    const int start = SelectedIndex();
    int c = start;
    for (int steps = 0; steps <= count; ++steps) {
        if (back) {
            if (--c < first) {
                HideControls();
                PriorRecord();
                c = count - 1;
            }
        } else if (++c >= count) {
            HideControls();
            NextRecord(true);
            c = first;
        }
        if (c == start)
            return;
        if (TabStops(c + indicatorOffset_)) {
            SelectField(c);
            return;
        }
    }
}

void TqxCustomDBGrid::CancelEdit()
{
    TDataSet *ds = link_->DataSet();
    if (link_->Modified()) {
        link_->Reset();
        InvalidateEditor();
        return;
    }
    if (ds->State() != dsEdit && ds->State() != dsInsert)
        return;
    if (ds->Modified()) {
        std::string question = qxIntl()->UserMessages()->Text("qxDBGridDiscardChanges");
        if (MessageBox(nullptr, question, "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    ds->Cancel();
}

void TqxCustomDBGrid::KeyDown(uint16_t &key, TShiftState shift)
{
    TCustomControl::KeyDown(key, shift);
    if (key == 0 || !link_->Active())
        return;
    TDataSet *ds = link_->DataSet();
    if (shift.Contains(ssCtrl)) {
        switch (key) {
        case VK_PRIOR:
        case VK_UP:
            ds->MoveBy(-link_->ActiveRecord());
            break;
        case VK_NEXT:
        case VK_DOWN:
            ds->MoveBy(link_->RecordCount() - link_->ActiveRecord() - 1);
            break;
        case VK_END:
            ds->Last();
            break;
        case VK_HOME:
            ds->First();
            break;
        case VK_LEFT:
            SelectField(0);
            break;
        case VK_RIGHT:
            SelectField(ColumnCount() - 1);
            break;
        case VK_DELETE:
            if (keyOptions_.Contains(dgAllowDelete) && !readOnly_ && ds->CanModify() && options_.Contains(dgEditing)
                && !ds->IsEmpty()) {
                bool confirmed = !options_.Contains(dgConfirmDelete)
                    || MessageBox(nullptr, qxIntl()->Navigator()->Text("ConfirmDeleteMessage"), "Confirm",
                           MB_OKCANCEL | MB_ICONQUESTION)
                        != IDCANCEL;
                if (confirmed) {
                    ds->Delete();
                    HideEditor();
                }
            }
            break;
        default:
            return;
        }
        key = 0;
        return;
    }
    switch (key) {
    case VK_TAB:
        if (shift.Contains(ssAlt))
            return;
        TabMove(shift.Contains(ssShift));
        break;
    case VK_RETURN:
        if (!keyOptions_.Contains(dgEnterToTab))
            return;
        TabMove(false);
        break;
    case VK_ESCAPE:
        CancelEdit();
        if (!options_.Contains(dgAlwaysShowEditor))
            HideEditor();
        else if (auto *editor = dynamic_cast<TqxInplaceEdit *>(InplaceEditor()); editor && OnCheckValue)
            editor->CellEditorValid(editor->Text());
        break;
    case VK_PRIOR:
        ds->MoveBy(-std::max(1, visibleRows_));
        break;
    case VK_NEXT:
        ds->MoveBy(std::max(1, visibleRows_));
        break;
    case VK_END:
        if (ColumnCount() == 1 || options_.Contains(dgRowSelect))
            ds->Last();
        else
            SelectField(ColumnCount() - 1);
        break;
    case VK_HOME:
        if (ColumnCount() == 1 || options_.Contains(dgRowSelect))
            ds->First();
        else
            SelectField(0);
        break;
    case VK_LEFT:
        if (options_.Contains(dgRowSelect))
            PriorRecord();
        else
            SelectField(SelectedIndex() - 1);
        break;
    case VK_UP:
        PriorRecord();
        break;
    case VK_RIGHT:
        if (options_.Contains(dgRowSelect))
            NextRecord(true);
        else
            SelectField(SelectedIndex() + 1);
        break;
    case VK_DOWN:
        NextRecord(true);
        break;
    case VK_INSERT:
        if (!readOnly_ && options_.Contains(dgEditing) && keyOptions_.Contains(dgAllowInsert))
            ds->Insert();
        break;
    case VK_F2:
        if (TField *field = SelectedField(); field && !field->IsBlob() && !IsCustomCell(Col(), Row()))
            SetEditorMode(true);
        else
            return; // left to the cell kinds of a descendant
        break;
    default:
        return;
    }
    key = 0;
}

void TqxCustomDBGrid::KeyPress(char32_t &key)
{
    if (keyOptions_.Contains(dgEnterToTab) && key == 13)
        key = 9;
    if (!options_.Contains(dgAlwaysShowEditor) && key == 13)
        link_->UpdateRecord();
    if (key == 9)
        return void(key = 0);
    TCustomGrid::KeyPress(key);
}

// ---- Mouse ----------------------------------------------------------------------------------

void TqxCustomDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (CanFocus() && !Focused() && !(InplaceEditor() && InplaceEditor()->Focused()))
        SetFocus();
    if (shift.Contains(ssDouble))
        return;
    TGridCoord cell = MouseCoord(x, y);
    int border = -1;
    if (button == mbLeft && options_.Contains(dgColumnResize) && ColBorderAt(x, y, border) && border >= indicatorOffset_) {
        borderPress_ = true;
        borderCol_ = border - indicatorOffset_;
        link_->UpdateRecord();
        TCustomGrid::MouseDown(button, shift, x, y);
        return;
    }
    if (cell.X < 0 || cell.Y < 0) {
        TControl::MouseDown(button, shift, x, y);
        return;
    }
    if (cell.Y < titleOffset_) {
        if (button == mbLeft && titleButtons_ && cell.X >= indicatorOffset_) {
            pressedCol_ = cell.X;
            pressedRow_ = cell.Y;
            pressedMoved_ = false;
            InvalidateCell(cell.X, cell.Y);
        }
        if (button == mbLeft && options_.Contains(dgColumnResize) && cell.X >= FixedCols()) {
            // A press on a scrolling title may become a column drag.
            dragging_ = false;
            pressX_ = x, pressY_ = y;
            pressedMoved_ = false;
            dragFrom_ = cell.X;
            SetMouseCapture(true);
            return;
        }
        TControl::MouseDown(button, shift, x, y);
        return;
    }
    if (link_->Active() && cell.X >= indicatorOffset_) {
        if (cell.X == Col() && cell.Y == Row()) {
            if (!IsCustomCell(cell.X, cell.Y) && !IsMemoCell(cell.X, cell.Y))
                ShowEditor();
        } else {
            const int oldCol = Col(), oldRow = Row();
            {
                qxgrid::TFlagGuard hold(holdCellChanged_);
                if (cell.X >= FixedCols())
                    SelectField(cell.X - indicatorOffset_);
                link_->DataSet()->MoveBy(cell.Y - Row());
            }
            if (Col() != oldCol || Row() != oldRow)
                CellChanged();
        }
    }
    TControl::MouseDown(button, shift, x, y);
}

void TqxCustomDBGrid::MouseMove(TShiftState shift, int x, int y)
{
    if (dragFrom_ >= 0 && !dragging_ && (std::abs(x - pressX_) > 2 || std::abs(y - pressY_) >= 3)) {
        dragging_ = true;
        pressedMoved_ = true;
        InvalidateRow(0);
    }
    TCustomGrid::MouseMove(shift, x, y);
}

void TqxCustomDBGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    // The base ends the sizing and reports the new widths, which are written
    // back only while the press on the border is still known.
    const bool wasBorder = borderPress_;
    TCustomGrid::MouseUp(button, shift, x, y);
    borderPress_ = false;
    if (wasBorder)
        OnColWidthChanged(this, borderCol_);
    const int from = std::exchange(dragFrom_, -1);
    const bool dragged = std::exchange(dragging_, false);
    if (from >= 0) {
        SetMouseCapture(false);
        if (dragged) {
            TRect title = CellRect(FixedCols() < ColCount() ? LeftCol() : 0, 0);
            TGridCoord target = MouseCoord(x, title.Top + 1);
            int to = target.X;
            if (to < 0) {
                TRect last = CellRect(ColCount() - 1, 0);
                to = !last.IsEmpty() && x >= last.Right ? ColCount() - 1 : from;
            }
            to = std::clamp(to, FixedCols(), ColCount() - 1);
            if (to != from)
                MoveColumn(from, to);
            else
                InvalidateCell(from, 0);
        }
        Invalidate();
    }
    if (pressedCol_ >= 0) {
        const int col = std::exchange(pressedCol_, -1);
        pressedRow_ = -1;
        InvalidateCell(col, 0);
        TGridCoord cell = MouseCoord(x, y);
        if (!dragged && cell.X == col && cell.Y == 0)
            if (TField *field = GetColField(col - indicatorOffset_))
                OnTitleButtonClick(this, field->FieldName());
    }
}

// ---- Scroll bar and exit --------------------------------------------------------------------

void TqxCustomDBGrid::UpdateScrollBar()
{
    TDataSet *ds = link_->DataSet();
    if (!showVertScrollBar_ || !link_->Active() || !HandleAllocated() || !ds) {
        SetVertScrollRange(0, 0);
        vertPos_ = -1;
        return;
    }
    int pos;
    if (ds->IsSequenced()) {
        SetVertScrollRange(0, 200);
        // Counting the records of a large table, or those before the current
        // one, takes long: the record number follows the scrolls (see
        // Scroll), and the count is taken as soon as the records show, so
        // that no key waits for it (the dataset keeps it while its data
        // stays as it was).
        if (recordCount_ < 0)
            recordCount_ = ds->RecordCount();
        if (ds->Bof() && ds->Eof())
            recNo_ = -1;
        else if (ds->Bof())
            recNo_ = 1;
        else if (ds->Eof())
            recNo_ = recordCount_;
        else if (recNo_ < 0)
            recNo_ = ds->RecNo();
        recNoActive_ = link_->ActiveRecord();
        if (ds->Bof())
            pos = 0;
        else if (ds->Eof())
            pos = 200;
        else
            pos = std::clamp(static_cast<int>(int64_t(recNo_ - 1) * 200 / (std::max(recordCount_, 2) - 1)), 0, 200);
    } else {
        SetVertScrollRange(0, 4);
        pos = ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
    }
    if (pos != vertPos_) {
        vertPos_ = pos;
        SetVertScrollPos(pos);
    }
}

void TqxCustomDBGrid::WMVScroll(TMessage &message)
{
    if (CanFocus() && !Focused())
        SetFocus();
    TDataSet *ds = link_->DataSet();
    if (!link_->Active() || !ds)
        return;
    // An empty dataset has no record to go to, whatever the thumb says.
    if (ds->IsEmpty())
        return;
    const uint32_t code = message.WParam & 0xFFFF;
    const int pos = HiWordSigned(message.WParam);
    const int page = std::max(1, visibleRows_);
    switch (code) {
    case SB_LINEUP:
        PriorRecord();
        break;
    case SB_LINEDOWN:
        NextRecord(false);
        break;
    case SB_PAGEUP:
        ds->MoveBy(-page);
        break;
    case SB_PAGEDOWN:
        ds->MoveBy(page);
        break;
    case SB_THUMBPOSITION:
        if (ds->IsSequenced()) {
            if (pos <= 0)
                ds->First();
            else if (pos >= 200)
                ds->Last();
            else
                ds->SetRecNo(static_cast<int>(int64_t(ds->RecordCount()) * pos / 200 + 1));
        } else if (pos == 0)
            ds->First();
        else if (pos == 1)
            ds->MoveBy(-page);
        else if (pos == 3)
            ds->MoveBy(page);
        else if (pos == 4)
            ds->Last();
        break;
    case SB_TOP:
        ds->First();
        break;
    case SB_BOTTOM:
        ds->Last();
        break;
    default:
        break;
    }
    UpdateScrollBar();
}

void TqxCustomDBGrid::CMExit(TMessage &message)
{
    // The focus went to the grid's own editor or a control over a cell: the
    // grid has not been left.
    if (TWinControl *focus = FindControl(GetFocus()); focus && (focus == this || ContainsControl(focus))) {
        TCustomGrid::CMExit(message);
        return;
    }
    try {
        TDataSet *ds = link_->DataSet();
        if (link_->Active() && ds) {
            if (options_.Contains(dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() && !link_->Modified())
                ds->Cancel();
            else
                link_->UpdateRecord();
        }
    } catch (...) {
        SetFocus();
        throw;
    }
    TCustomGrid::CMExit(message);
}

void TqxCustomDBGrid::DoExit()
{
    TCustomGrid::DoExit();
}
