#pragma once

#include "controls/base/qxdbedit.h"
#include "platform/db/db.h"
#include "platform/ui/buttons.h"
#include "platform/ui/grids.h"

#include <memory>
#include <string>
#include <vector>

// The library's data grid: records of a dataset in rows, its fields (or the
// grid's own field-layout lines) in columns. The grid reads only the records
// of its visible rows through the data link's buffer window.

class TqxCustomDBGrid;
class TImageList;

enum TqxDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgWordWrap,
    dgPerfectRowFit,
    dgMultiSelect,
    dgShowFooter,
    dgFooter3DCells,
    dgNoLimitColSize,
    dgTrailingEllipsis
};
using TqxDBGridOptions = TSet<TqxDBGridOption>;
enum TqxDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TqxDBGridKeyOptions = TSet<TqxDBGridKeyOption>;
enum TqxMultiSelectOption { msoAutoUnselect, msoShiftSelect };
using TqxMultiSelectOptions = TSet<TqxMultiSelectOption>;
enum TqxEditControlOption { ecoCheckboxSingleClick, ecoSearchOwnerForm, ecoDisableCustomControls, ecoDisableDateTimePicker };
using TqxEditControlOptions = TSet<TqxEditControlOption>;
enum TqxMemoAttribute { mSizeable, mWordWrap, mGridShow, mViewOnly, mDisableDialog };
using TqxMemoAttributes = TSet<TqxMemoAttribute>;
enum TIndicatorColorType { icBlack, icYellow };

struct TqxTitleImageAttributes {
    int ImageIndex = -1;
    int Placement = 1; // 0 left, 1 right, 2 centre
    int Margin = 3;
};

using TCalcCellColorsEvent = TEvent<TObject *, TField *, TGridDrawState, bool, TFont *, TBrush *>;
using TCalcTitleAttributesEvent = TEvent<TObject *, const std::string &, TFont *, TBrush *, TAlignment &>;
using TColWidthChangedEvent = TEvent<TObject *, int>;
using TTitleButtonClickEvent = TEvent<TObject *, const std::string &>;
using TqxDrawDataCellEvent = TEvent<TObject *, const TRect &, TField *, TGridDrawState>;
using TqxCalcTitleImageEvent = TEvent<TObject *, TField *, TqxTitleImageAttributes &>;
using TDrawFooterCellEvent = TEvent<TObject *, TCanvas *, TRect, TField *, const std::string &, bool &>;
using TqxDrawTitleCellEvent = TEvent<TObject *, TCanvas *, TField *, TRect, bool &>;
using TqxFieldChangedEvent = TEvent<TObject *, TField *>;
using TqxValidateEvent = TEvent<TObject *, bool>;
using TqxLeftColChangedEvent = TEvent<TObject *, int>;

// One data column: its field and its footer text.
class TqxColumn
{
public:
    TqxColumn(TqxCustomDBGrid *grid, const std::string &fieldName);
    const std::string &FieldName() const { return fieldName_; }
    const std::string &FooterValue() const { return footerValue_; }
    void SetFooterValue(const std::string &value);
    TqxCustomDBGrid *Grid() const { return grid_; }

private:
    friend class TqxCustomDBGrid;
    TqxCustomDBGrid *grid_;
    std::string fieldName_;
    std::string footerValue_;
};

// The grid's link: the field map (dataset field indices, one per column)
// and whether the grid holds an edit not yet written.
class TqxGridDataLink : public TDataLink
{
public:
    explicit TqxGridDataLink(TqxCustomDBGrid *grid);
    ~TqxGridDataLink() override;

    bool AddMapping(const std::string &fieldName);
    void ClearMapping();
    int FieldCount() const { return static_cast<int>(map_.size()); }
    int Capacity() const { return capacity_; }
    int FieldIndex(int column) const; // -1 outside the map
    bool Modified() const { return modified_; }
    void SetModified() { modified_ = true; }
    void Reset();
    bool InUpdateData() const { return inUpdateData_; }

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField *field) override;
    void UpdateData() override;

private:
    TqxCustomDBGrid *grid_;
    std::vector<int> map_;
    int capacity_ = 0;
    bool modified_ = false;
    bool inUpdateData_ = false;
};

// The in-place editor with picture-mask entry.
class TqxInplaceEdit : public TInplaceEdit
{
public:
    explicit TqxInplaceEdit(TComponent *owner);
    ~TqxInplaceEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TqxDBPicture *Picture() const { return picture_.get(); }
    bool UsePicture() const { return usePicture_; }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);
    bool EditorHasPicture() const;
    // True for an empty text or an editor without a picture; otherwise
    // whether the text fills the picture. Tells OnCheckValue.
    bool CellEditorValid(const std::string &text);

protected:
    void CreateParams(TCreateParams &params) override;
    void WMSetFocus(TMessage &message) override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyUp(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void WMPaste(TMessage &message) override;

private:
    TqxCustomDBGrid *dbGrid_;
    std::unique_ptr<TqxDBPicture> picture_;
    bool usePicture_ = true;
    bool wordWrap_ = false;
    void CheckValue(bool passes);
};

// A button in the grid's indicator title cell. Placed in a grid, it sets
// the indicator column's width to its own width - 1 and follows its size.
class TqxIButton : public TSpeedButton
{
public:
    explicit TqxIButton(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void SetBounds(int left, int top, int width, int height) override;

protected:
    void Loaded() override;
};

class TqxCustomDBGrid : public TCustomGrid
{
public:
    explicit TqxCustomDBGrid(TComponent *owner);
    ~TqxCustomDBGrid() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Data
    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    TqxGridDataLink *DataLink() const { return link_.get(); }
    TField *GetColField(int dataCol) const;
    TField *SelectedField() const;
    int SelectedIndex() const; // the current data column
    TqxColumn *ColumnByName(const std::string &fieldName) const;
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    TqxColumn *Columns(int dataCol) const;
    void UpdateData();
    void SelectField(int dataCol);

    // Layout
    TStrings *Selected() const { return selected_.get(); }
    void SetSelected(TStrings *lines);
    TStrings *ControlType() const { return controlType_.get(); }
    void SetControlType(TStrings *lines);
    bool ControlInfoInDataset() const { return controlInfoInDataset_; }
    void SetControlInfoInDataset(bool on) { controlInfoInDataset_ = on; }
    bool UseTFields() const { return useTFields_; }
    void SetUseTFields(bool on);
    TqxDBGridOptions Options() const { return options_; }
    void SetOptions(TqxDBGridOptions options);
    TqxDBGridKeyOptions KeyOptions() const { return keyOptions_; }
    void SetKeyOptions(TqxDBGridKeyOptions options) { keyOptions_ = options; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool EditCalculated() const { return editCalculated_; }
    void SetEditCalculated(bool on);
    bool DefaultDrawing() const { return dbDefaultDrawing_; }
    void SetDefaultDrawing(bool on);
    int RowHeightPercent() const { return rowHeightPercent_; }
    void SetRowHeightPercent(int percent);
    int TitleLines() const { return titleLines_; }
    void SetTitleLines(int lines);
    TAlignment TitleAlignment() const { return titleAlignment_; }
    void SetTitleAlignment(TAlignment alignment);
    TFont *TitleFont() const { return titleFont_.get(); }
    void SetTitleFont(TFont *font);
    TColor TitleColor() const { return titleColor_; }
    void SetTitleColor(TColor color);
    bool TitleButtons() const { return titleButtons_; }
    void SetTitleButtons(bool on) { titleButtons_ = on; }
    TIndicatorColorType IndicatorColor() const { return indicatorColor_; }
    void SetIndicatorColor(TIndicatorColorType color);
    TColor FooterColor() const { return footerColor_; }
    void SetFooterColor(TColor color);
    TColor FooterCellColor() const { return footerCellColor_; }
    void SetFooterCellColor(TColor color);
    int FooterHeight() const { return footerHeight_; }
    void SetFooterHeight(int height);
    int DragVertOffset() const { return dragVertOffset_; }
    void SetDragVertOffset(int offset) { dragVertOffset_ = offset; }
    bool ShowVertScrollBar() const { return showVertScrollBar_; }
    void SetShowVertScrollBar(bool on);
    bool ShowHorzScrollBar() const;
    void SetShowHorzScrollBar(bool on);
    TqxMemoAttributes MemoAttributes() const { return memoAttributes_; }
    virtual void SetMemoAttributes(TqxMemoAttributes attributes);
    TImageList *ImageList() const { return imageList_; }
    void SetImageList(TImageList *list);
    TImageList *TitleImageList() const { return titleImageList_; }
    void SetTitleImageList(TImageList *list);
    int IndicatorWidth() const { return indicatorWidth_; }
    // The button of the indicator title cell; streamed as the grid's child
    // control, not as a property.
    TqxIButton *IndicatorButton() const { return indicatorButton_; }
    void SetIndicatorButton(TqxIButton *button);
    // The button's offset from the top of the title row.
    int IndicatorButtonTop() const { return buttonTop_; }
    int TitleOffset() const { return titleOffset_; }
    int IndicatorOffset() const { return indicatorOffset_; }
    int DefaultDataRowHeight() const { return DefaultRowHeight(); }
    TRect ClientRect() const override;
    TRect GetFooterRect() const;

    // Events
    TNotifyEvent OnRowChanged;
    TNotifyEvent OnCellChanged;
    TNotifyEvent OnTopRowChanged;
    TNotifyEvent OnColEnter;
    TNotifyEvent OnColExit;
    TNotifyEvent OnUpdateFooter;
    TCalcCellColorsEvent OnCalcCellColors;
    TCalcTitleAttributesEvent OnCalcTitleAttributes;
    TColWidthChangedEvent OnColWidthChanged;
    TTitleButtonClickEvent OnTitleButtonClick;
    TqxDrawDataCellEvent OnDrawDataCell;
    TqxCalcTitleImageEvent OnCalcTitleImage;
    TDrawFooterCellEvent OnDrawFooterCell;
    TqxDrawTitleCellEvent OnDrawTitleCell;
    TqxFieldChangedEvent OnFieldChanged;
    TqxValidateEvent OnCheckValue;
    TMovedEvent OnColumnMoved;
    TqxLeftColChangedEvent OnLeftColChanged;

    // The text of the cell being edited.
    const std::string &EditText() const { return editText_; }
    // Whether the grid is the active control of its form.
    bool IsActiveControl() const;

protected:
    // Layout
    virtual void LayoutChanged();
    virtual void DefineFieldMap();
    virtual void SetColumnAttributes();
    virtual void UpdateRowHeights();
    void UpdateRowCount();
    void UpdateActive();
    void UpdateScrollBar();
    void WriteColumnWidths();
    bool SelectedLineOf(const std::string &fieldName, std::string &line, int *index = nullptr) const;
    bool ColumnReadOnlyBySelected(int dataCol) const;

    // Data events
    virtual void LinkActive(bool value);
    virtual void DataChanged();
    virtual void Scroll(int distance);
    virtual void EditingChanged();
    virtual void RecordChanged(TField *field);
    virtual void FieldChanged(TField *field);
    virtual void TopRowChanged();
    virtual void RowChanged();
    virtual void CellChanged();
    virtual void CheckRowChanged();
    virtual void UpdateFooter();
    virtual void CheckUpdateFooter();
    virtual void FlushEdit();
    virtual void ColEnter();
    virtual void ColExit();
    virtual bool CanCancelOnExit() { return true; }

    // Cells
    virtual bool IsCustomCell(int col, int row);
    virtual bool IsMemoCell(int col, int row);
    virtual void GetControlInfo(const std::string &fieldName, std::string &controlType, std::string &parameters);
    virtual void GetFieldText(int dataCol, std::string &text);
    virtual bool HighlightCell(int dataCol, int dataRow, TGridDrawState state);
    virtual bool IsSelectedRow(int dataRow) { (void)dataRow; return false; }
    virtual bool IsSelectedRecord() { return false; }
    virtual void SelectRecord() {}
    virtual void UnselectRecord() {}
    virtual void UnselectAll() {}
    virtual void UpdateSelectionCache() {}
    virtual void HideControls() {}
    virtual TColor GetColumnColor(int col);
    virtual void DrawDataCell(const TRect &rect, TField *field, TGridDrawState state);
    virtual void DrawCheckBox(const TRect &rect, bool checked, bool readOnlyColumn);
    // Draws the cell kinds of the library (Bitmap, ImageIndex, CheckBox);
    // false when the cell is of none of them.
    virtual bool DrawCustomCell(int col, int row, const TRect &rect, TGridDrawState state);
    void DrawTitleCell(int col, const TRect &rect);
    void DrawIndicator(const TRect &rect);
    void DrawFooter();
    void InvalidateFooter();

    // The platform grid
    void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) override;
    void Paint() override;
    bool SelectCell(int col, int row) override;
    TInplaceEdit *CreateEditor() override;
    bool CanEditAcceptKey(char32_t key) override;
    bool CanEditModify() override;
    bool CanEditShow() override;
    std::string GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const std::string &value) override;
    std::string GetEditMask(int col, int row) override;
    int GetEditLimit() override;
    void ColWidthsChanged() override;
    void TopLeftChanged() override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void WMVScroll(TMessage &message) override;
    void CMExit(TMessage &message) override;
    void CreateWnd() override;
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CMFontChanged(TMessage &message) override;
    virtual void ColumnMoved(int fromIndex, int toIndex) override;
    void DoExit() override;

    // Record moves of the keys
    void NextRecord(bool appendAtEnd);
    void PriorRecord();
    void TabMove(bool back);
    void CancelEdit();

    friend class TqxGridDataLink;
    friend class TqxInplaceEdit;
    friend class TqxColumn;

    std::unique_ptr<TqxGridDataLink> link_;
    std::vector<std::unique_ptr<TqxColumn>> columns_;
    std::unique_ptr<TqxColumn> emptyColumn_;
    std::unique_ptr<TStringList> selected_;
    std::unique_ptr<TStringList> controlType_;
    std::unique_ptr<TFont> titleFont_;
    TqxDBGridOptions options_;
    TqxDBGridKeyOptions keyOptions_ { dgAllowDelete, dgAllowInsert };
    TqxMemoAttributes memoAttributes_ { mSizeable, mWordWrap };
    bool controlInfoInDataset_ = true;
    bool useTFields_ = true;
    bool readOnly_ = false;
    bool editCalculated_ = false;
    bool dbDefaultDrawing_ = true;
    bool titleButtons_ = false;
    bool showVertScrollBar_ = true;
    int rowHeightPercent_ = 100;
    int titleLines_ = 1;
    TAlignment titleAlignment_ = taLeftJustify;
    TColor titleColor_ = clBtnFace;
    TIndicatorColorType indicatorColor_ = icBlack;
    TColor footerColor_ = clBtnFace;
    TColor footerCellColor_ = clBtnFace;
    int footerHeight_ = 0;
    int dragVertOffset_ = 15;
    TImageList *imageList_ = nullptr;
    TImageList *titleImageList_ = nullptr;

    int titleOffset_ = 1;
    int indicatorOffset_ = 1;
    int indicatorWidth_ = 11;
    TqxIButton *indicatorButton_ = nullptr;
    int buttonTop_ = 2;
    friend class TqxIButton;
    std::string editText_;
    TBookmark lastBookmark_;
    bool haveLastBookmark_ = false;
    TBookmark lastMasterBookmark_;
    bool footerPending_ = false;
    int lastEnteredCol_ = -1;
    bool colEnterDeferred_ = false;
    bool inLayout_ = false;
    bool inRowCount_ = false;
    bool inColExit_ = false;
    int pressedCol_ = -1, pressedRow_ = -1;
    bool pressedMoved_ = false;
    int pressX_ = 0, pressY_ = 0;
    bool dragging_ = false;
    int dragFrom_ = -1;
    bool borderPress_ = false;
    int borderCol_ = 0;
    bool holdCellChanged_ = false;
    bool rowChangedInStep_ = false;
    bool fieldChangedFired_ = false;
    int visibleRows_ = 0;
    int vertPos_ = -1;
    // For the scroll bar: the dataset's record count and the current record's
    // number (-1: ask the dataset again), and the link's active record then.
    bool textMapped_ = false; // GetFieldText gave a cell control's text: drawn left-aligned
    int recordCount_ = -1;
    int recNo_ = -1;
    int recNoActive_ = 0;
};
