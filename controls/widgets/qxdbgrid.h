#pragma once

#include "controls/widgets/qxdbigrd.h"

#include <memory>
#include <string>
#include <vector>

// The published data grid: check-box, picture and image cells, memo and
// rich-text cells with the memo dialog, and multi-record selection.

class TqxDBGrid;
class TqxMemoDlg;
class TMemo;
class TCustomEdit;
class TCustomForm;
class TqxDBCustomDateTimePicker;

using TqxSelectRecordEvent = TEvent<TObject *, bool, bool &>;
using TqxMemoCloseEvent = TEvent<TObject *, bool>;
class TqxMemoDialog;
using TqxMemoOpenEvent = TEvent<TObject *, TqxMemoDialog *>;
using TqxOnInitMemoDlgEvent = TEvent<TqxMemoDlg *>;
using TqxMemoUserButtonEvent = TEvent<TqxMemoDlg *, TMemo *>;
using TqxCreateDTPEvent = TEvent<TObject *, TqxDBCustomDateTimePicker *>;

// Shows and edits a long text field in a modal dialog.
class TqxMemoDialog : public TComponent
{
public:
    explicit TqxMemoDialog(TComponent *owner);
    ~TqxMemoDialog() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Field
    TDataSource *DataSource() const { return link_->DataSource(); }
    void SetDataSource(TDataSource *source);
    const std::string &DataField() const { return link_->FieldName(); }
    void SetDataField(const std::string &field) { link_->SetFieldName(field); }

    // Window
    TFont *Font() const { return font_.get(); }
    void SetFont(TFont *font) { font_->Assign(font); }
    TqxMemoAttributes MemoAttributes() const { return attributes_; }
    void SetMemoAttributes(TqxMemoAttributes attributes) { attributes_ = attributes; }
    const std::string &Caption() const { return caption_; }
    void SetCaption(const std::string &caption) { caption_ = caption; }
    int DlgLeft() const { return left_; }
    void SetDlgLeft(int left) { left_ = left; }
    int DlgTop() const { return top_; }
    void SetDlgTop(int top) { top_ = top; }
    int DlgWidth() const { return width_; }
    void SetDlgWidth(int width) { width_ = width; }
    int DlgHeight() const { return height_; }
    void SetDlgHeight(int height) { height_ = height; }
    const std::string &UserButton1Caption() const { return button1_; }
    void SetUserButton1Caption(const std::string &caption) { button1_ = caption; }
    const std::string &UserButton2Caption() const { return button2_; }
    void SetUserButton2Caption(const std::string &caption) { button2_ = caption; }

    // Runs the dialog; true when OK closed it.
    virtual bool Execute();
    // The form while the dialog shows.
    TqxMemoDlg *Form() const { return form_; }

    TqxOnInitMemoDlgEvent OnInitDialog;
    TqxOnInitMemoDlgEvent OnCloseDialog;
    TqxMemoUserButtonEvent OnUserButton1Click;
    TqxMemoUserButtonEvent OnUserButton2Click;

protected:
    virtual void DoInitDialog(TqxMemoDlg *dialog) { OnInitDialog(dialog); }
    virtual void DoCloseDialog(TqxMemoDlg *dialog) { OnCloseDialog(dialog); }
    void Notification(TComponent *component, TOperation operation) override;

private:
    friend class TqxMemoDlg;
    std::unique_ptr<TFieldDataLink> link_;
    std::unique_ptr<TFont> font_;
    TqxMemoAttributes attributes_ { mSizeable, mWordWrap };
    std::string caption_;
    int left_ = 0, top_ = 0, width_ = 561, height_ = 396;
    std::string button1_, button2_;
    TqxMemoDlg *form_ = nullptr;
};

class TqxDBGrid : public TqxCustomDBGrid
{
public:
    explicit TqxDBGrid(TComponent *owner);
    ~TqxDBGrid() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Data columns that do not scroll, besides the indicator.
    int FixedCols() const { return dataFixedCols_; }
    void SetFixedCols(int count);
    TqxEditControlOptions EditControlOptions() const { return editControlOptions_; }
    void SetEditControlOptions(TqxEditControlOptions options) { editControlOptions_ = options; }
    TqxMultiSelectOptions MultiSelectOptions() const { return multiSelectOptions_; }
    void SetMultiSelectOptions(TqxMultiSelectOptions options) { multiSelectOptions_ = options; }
    void SetMemoAttributes(TqxMemoAttributes attributes) override;

    // Multi-selection
    int SelectedCount() const { return static_cast<int>(bookmarks_.size()); }
    const std::vector<TBookmark> &SelectedList() const { return bookmarks_; }
    void SelectRecord() override;
    void UnselectRecord() override;
    void UnselectAll() override;
    bool IsSelectedRecord() override;
    bool IsSelectedRow(int dataRow) override;

    // Cells
    void ToggleCheckBox(int col, int row);
    void ShowMemoDialog();

    // Cell controls: the edit control or date/time picker over the current
    // cell, and the grid's own picker once a date cell needed it.
    TWinControl *CellControl() const { return cellControl_; }
    TqxDBCustomDateTimePicker *DateTimePicker() const { return picker_; }
    // The control a data column edits in (null: the in-place editor or none).
    TWinControl *CellControlOf(int dataCol);
    // The edit control named in a control-type line: on the owner form, or,
    // for "Owner.Name", among the components of the dataset's owner.
    TCustomEdit *FindEditControl(const std::string &name);
    // The control named in the first edit-type control-type line of a field.
    TCustomEdit *NamedEditControl(const TField *field);

    TqxSelectRecordEvent OnMultiSelectRecord;
    TqxMemoOpenEvent OnMemoOpen;
    TqxMemoCloseEvent OnMemoClose;
    TqxCreateDTPEvent OnCreateDateTimePicker;

protected:
    void SetColumnAttributes() override;
    void LinkActive(bool value) override;
    bool IsCustomCell(int col, int row) override;
    void GetControlInfo(const std::string &fieldName, std::string &controlType, std::string &parameters) override;
    void GetFieldText(int dataCol, std::string &text) override;
    bool HighlightCell(int dataCol, int dataRow, TGridDrawState state) override;
    TColor GetColumnColor(int col) override;
    void UpdateSelectionCache() override;
    bool DrawCustomCell(int col, int row, const TRect &rect, TGridDrawState state) override;
    bool CanEditShow() override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) override;
    void ColEnter() override;
    void ColExit() override;
    void HideControls() override;
    void FlushEdit() override;
    void DoExit() override;
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    void TopLeftChanged() override;
    void WMChar(TMessage &message) override;
    virtual void DoCreateDateTimePicker();

    bool EditingAllowed() const;
    // The form whose components name the cell controls.
    TCustomForm *OwnerForm() const;
    // Puts each named edit control of the control-type lines into the grid, on its field.
    void BindCellControls();
    void AttachControl(TWinControl *control, TField *field);
    // Places the cell control over the current cell; false when the cell
    // is to be drawn as usual.
    bool PlaceCellControl(int col, int row, const TRect &rect);
    void SendKeyToControl(uint16_t key, TShiftState shift);
    // Shows the current cell's control now if it has not been shown yet.
    bool ShowCellControl();

    void CheckDataSet();
    bool IsSelectedCheckBoxColumn(int dataCol);
    void DrawBitmapCell(TField *field, const std::string &parameters, const TRect &rect, bool highlight, int row);
    void DrawImageIndexCell(TField *field, const std::string &parameters, const TRect &rect, bool focused);
    void SelectRange(const TBookmark &anchor);
    int IndexOfBookmark(const TBookmark &bookmark);

private:
    int dataFixedCols_ = 0;
    TqxEditControlOptions editControlOptions_ { ecoSearchOwnerForm };
    TqxMultiSelectOptions multiSelectOptions_;
    std::vector<TBookmark> bookmarks_;
    std::vector<std::string> selectionCache_; // "T"/"F" per visible row
    TBookmark anchor_;
    bool anchorSet_ = false;
    bool checkingDataSet_ = false;
    TqxDBCustomDateTimePicker *picker_ = nullptr;
    TWinControl *cellControl_ = nullptr;
    int cellControlCol_ = -1, cellControlRow_ = -1;
    bool controlsBound_ = false;
    std::vector<TWinControl *> boundControls_;
};
