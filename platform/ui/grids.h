#pragma once

#include "platform/ui/controls.h"
#include "platform/ui/stdctrls.h"

#include <memory>
#include <string>
#include <vector>

// The class library's grids: TCustomGrid draws its cells itself over the
// canvas and keeps fixed rows and columns, scrolling, column sizing and
// moving, the current cell and its in-place editor. TDrawGrid hands the
// drawing of each cell to an event; TStringGrid keeps a text per cell.

ORVEX_EXCEPTION(EInvalidGridOperation, Exception);

enum TGridOption {
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goRowMoving,
    goColMoving,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};
using TGridOptions = TSet<TGridOption>;

enum TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateFlag>;

// What a mouse press over the grid started.
enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };

struct TGridCoord {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TGridCoord &, const TGridCoord &) = default;
};
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TGridRect &, const TGridRect &) = default;
};

class TCustomGrid;

using TDrawCellEvent = TEvent<TObject *, int, int, TRect, TGridDrawState>;
using TSelectCellEvent = TEvent<TObject *, int, int, bool &>;
using TMovedEvent = TEvent<TObject *, int, int>;
using TGetEditEvent = TEvent<TObject *, int, int, std::string &>;
using TSetEditEvent = TEvent<TObject *, int, int, const std::string &>;

// The editor a grid places over its current cell. It forwards the keys
// that move between cells to the grid and tells the grid every change of
// its text.
class TInplaceEdit : public TCustomEdit
{
public:
    explicit TInplaceEdit(TComponent *owner);
    ~TInplaceEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TCustomGrid *Grid() const { return grid_; }
    // Shows the editor over the cell rectangle, or moves it there.
    void Move(const TRect &rect);
    void Hide();
    bool Visible() const;
    void SetFocus() override;
    // Takes the text of the grid's current cell.
    void UpdateContents();
    void Deselect();
    int EditLimit() const { return MaxLength(); }

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void KeyUp(uint16_t &key, TShiftState shift) override;
    void Change() override;
    bool WantsKey(uint16_t key) const override;
    void WMChar(TMessage &message) override;
    void Dispatch(TMessage &message) override;
    virtual void WMPaste(TMessage &message);
    void DoExit() override;

private:
    TCustomGrid *grid_;
    bool updating_ = false;
    friend class TCustomGrid;
};

class TCustomGrid : public TCustomControl
{
public:
    explicit TCustomGrid(TComponent *owner);
    ~TCustomGrid() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Size of the grid
    int ColCount() const;
    void SetColCount(int count);
    int RowCount() const;
    void SetRowCount(int count);
    int FixedCols() const;
    void SetFixedCols(int count);
    int FixedRows() const;
    void SetFixedRows(int count);

    // Cell sizes
    int DefaultColWidth() const;
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const;
    void SetDefaultRowHeight(int height);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int GridLineWidth() const;
    void SetGridLineWidth(int width);
    bool TabStops(int col) const;
    void SetTabStops(int col, bool tabStop);

    // Current cell, selection and scrolling
    int Col() const;
    void SetCol(int col);
    int Row() const;
    void SetRow(int row);
    TGridRect Selection() const;
    void SetSelection(const TGridRect &selection);
    int LeftCol() const;
    void SetLeftCol(int col);
    int TopRow() const;
    void SetTopRow(int row);
    int VisibleColCount() const;
    int VisibleRowCount() const;

    // Look and behaviour
    TGridOptions Options() const;
    void SetOptions(TGridOptions options);
    TScrollStyle ScrollBars() const;
    void SetScrollBars(TScrollStyle scrollBars);
    TColor FixedColor() const;
    void SetFixedColor(TColor color);
    bool DefaultDrawing() const;
    void SetDefaultDrawing(bool defaultDrawing);
    TBorderStyle BorderStyle() const;
    void SetBorderStyle(TBorderStyle style);

    // Editor
    bool EditorMode() const;
    void SetEditorMode(bool on);
    TInplaceEdit *InplaceEditor() const;

    // Geometry: a cell's rectangle in client coordinates (empty when not
    // visible), the cell under a point (-1 when none).
    TRect CellRect(int col, int row) const;
    TGridCoord MouseCoord(int x, int y) const;
    void MouseToCell(int x, int y, int &col, int &row) const;
    // The top-left cell that brings the last row and column into view.
    TGridCoord MaxTopLeft() const;
    // The client area without the scroll bars.
    TRect ClientRect() const override;

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TMovedEvent OnColumnMoved;
    TMovedEvent OnRowMoved;
    TNotifyEvent OnTopLeftChanged;
    TGetEditEvent OnGetEditText;
    TSetEditEvent OnSetEditText;

protected:
    // Drawing
    void Paint() override;
    virtual void DrawCell(int col, int row, const TRect &rect, TGridDrawState state);
    void InvalidateCell(int col, int row);
    void InvalidateRow(int row);
    void InvalidateCol(int col);
    void InvalidateRect(const TRect &rect);
    void InvalidateGrid() { Invalidate(); }
    // The grid line colour and the pixels of the lines drawn after a cell.
    virtual bool DrawsLines() const { return true; }

    // Selection and moving
    virtual bool SelectCell(int col, int row);
    // Moves the current cell; with moveAnchor the selection collapses to it.
    void MoveColRow(int col, int row, bool moveAnchor, bool show);
    void FocusCell(int col, int row, bool moveAnchor);
    void MoveColumn(int fromIndex, int toIndex);
    void MoveRow(int fromIndex, int toIndex);
    virtual void ColumnMoved(int fromIndex, int toIndex);
    virtual void RowMoved(int fromIndex, int toIndex);
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void TopLeftChanged();
    virtual void SizeChanged(int oldColCount, int oldRowCount);
    // Called while the mouse is held outside the grid during a selection.
    virtual void TimedScroll(int direction);
    void ScrollData(int dx, int dy);

    // Tab and Shift+Tab typed in a control the grid placed over a cell
    // reach that control as keys, as they reach the grid's own editor.
    void TakeTabsOf(TWinControl *control);

    // The editor protocol
    virtual TInplaceEdit *CreateEditor();
    virtual bool CanEditAcceptKey(char32_t key);
    virtual bool CanEditModify();
    virtual bool CanEditShow();
    virtual std::string GetEditText(int col, int row);
    virtual void SetEditText(int col, int row, const std::string &value);
    virtual std::string GetEditMask(int col, int row);
    virtual int GetEditLimit();
    void ShowEditor();
    void HideEditor();
    void ShowEditorChar(char32_t ch);
    void InvalidateEditor();
    void UpdateEdit();

    // Scroll bars the grid does not manage itself (ScrollBars leaves them
    // out) can be driven by a descendant: a range with max > min shows it.
    void SetVertScrollRange(int min, int max);
    void SetVertScrollPos(int pos);
    int VertScrollPos() const;

    // Input
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    bool WantsKey(uint16_t key) const override;
    void Dispatch(TMessage &message) override;
    virtual void WMVScroll(TMessage &message);
    virtual void WMHScroll(TMessage &message);
    void WMSetFocus(TMessage &message) override;
    void WMKillFocus(TMessage &message) override;
    void WMSize(TMessage &message) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void CreateWnd() override;
    void DoExit() override;
    TGridState GridState() const;
    void UpdateScrollBars();
    void SyncScrollBars();
    // Whether a point lies on a column border of the fixed rows, where a
    // press starts column sizing; answers the column left of the border.
    bool ColBorderAt(int x, int y, int &col) const;

public:
    struct GridImpl;

protected:
    std::unique_ptr<GridImpl> const g;
    friend class TInplaceEdit;
};

// A grid whose cells an OnDrawCell handler draws.
class TDrawGrid : public TCustomGrid
{
public:
    explicit TDrawGrid(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void CellRectOf(int col, int row, TRect &rect) const { rect = CellRect(col, row); }

protected:
    void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) override;
    bool SelectCell(int col, int row) override;
    std::string GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const std::string &value) override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void RowMoved(int fromIndex, int toIndex) override;
    void TopLeftChanged() override;
};

// A draw grid that keeps a text (and an object) per cell and draws the text
// unless an OnDrawCell handler draws the cell.
class TStringGrid : public TDrawGrid
{
public:
    explicit TStringGrid(TComponent *owner);
    ~TStringGrid() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    std::string Cells(int col, int row) const;
    void SetCells(int col, int row, const std::string &text);
    TObject *Objects(int col, int row) const;
    void SetObjects(int col, int row, TObject *object);
    // The texts of one column or row (a copy; SetCols/SetRows write them back).
    std::vector<std::string> Cols(int col) const;
    void SetCols(int col, const std::vector<std::string> &texts);
    std::vector<std::string> Rows(int row) const;
    void SetRows(int row, const std::vector<std::string> &texts);

protected:
    void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) override;
    std::string GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const std::string &value) override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void RowMoved(int fromIndex, int toIndex) override;
    void SizeChanged(int oldColCount, int oldRowCount) override;

private:
    struct Cell {
        std::string text;
        TObject *object = nullptr;
    };
    std::vector<std::vector<Cell>> cells_; // [row][col]
    void Fit();
};
