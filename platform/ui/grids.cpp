#include "platform/ui/grids.h"

#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "platform/ui/qtbridge_p.h"
#include "platform/ui/services.h"

#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <utility>

const TMetaClass TInplaceEdit::Class { "TInplaceEdit", &TCustomEdit::Class };
const TMetaClass TCustomGrid::Class { "TCustomGrid", &TCustomControl::Class };
const TMetaClass TDrawGrid::Class { "TDrawGrid", &TCustomGrid::Class };
const TMetaClass TStringGrid::Class { "TStringGrid", &TDrawGrid::Class };

// clang-format off
namespace {

const TEnumNames GridOptionNames = {"goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine",
    "goRangeSelect", "goDrawFocusSelected", "goRowSizing", "goColSizing", "goRowMoving", "goColMoving",
    "goEditing", "goTabs", "goRowSelect", "goAlwaysShowEditor", "goThumbTracking"};
const TEnumNames ScrollStyleNames = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
const TEnumNames BorderStyleNames = {"bsNone", "bsSingle"};
constexpr TGridOptions DefaultGridOptions {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};

using PG = TPublish<TCustomGrid>;
std::vector<TPropInfo> GridProperties()
{
    return {
    //            name                 getter                           setter                              default
    PG::Integer  ("ColCount",          &TCustomGrid::ColCount,          &TCustomGrid::SetColCount,          5),
    PG::Integer  ("RowCount",          &TCustomGrid::RowCount,          &TCustomGrid::SetRowCount,          5),
    PG::Integer  ("FixedCols",         &TCustomGrid::FixedCols,         &TCustomGrid::SetFixedCols,         1),
    PG::Integer  ("FixedRows",         &TCustomGrid::FixedRows,         &TCustomGrid::SetFixedRows,         1),
    PG::Integer  ("DefaultColWidth",   &TCustomGrid::DefaultColWidth,   &TCustomGrid::SetDefaultColWidth,   64),
    PG::Integer  ("DefaultRowHeight",  &TCustomGrid::DefaultRowHeight,  &TCustomGrid::SetDefaultRowHeight,  24),
    PG::Integer  ("GridLineWidth",     &TCustomGrid::GridLineWidth,     &TCustomGrid::SetGridLineWidth,     1),
    PG::Set      ("Options",           GridOptionNames,
                                       &TCustomGrid::Options,           &TCustomGrid::SetOptions,           DefaultGridOptions),
    PG::Enum     ("ScrollBars",        ScrollStyleNames,
                                       &TCustomGrid::ScrollBars,        &TCustomGrid::SetScrollBars,        ssBoth),
    PG::Integer  ("FixedColor",        &TCustomGrid::FixedColor,        &TCustomGrid::SetFixedColor,        clBtnFace),
    PG::Boolean  ("DefaultDrawing",    &TCustomGrid::DefaultDrawing,    &TCustomGrid::SetDefaultDrawing,    true),
    PG::Enum     ("BorderStyle",       BorderStyleNames,
                                       &TCustomGrid::BorderStyle,       &TCustomGrid::SetBorderStyle,       bsSingle),
    };
}

const TClassRegistrar<TCustomGrid> customGridRegistrar({});
using PD = TPublish<TDrawGrid>;
std::vector<TPropInfo> DrawGridProperties()
{
    std::vector<TPropInfo> list = GridProperties();
    list.push_back(PD::Event("OnDrawCell",      &TDrawGrid::OnDrawCell));
    list.push_back(PD::Event("OnSelectCell",    &TDrawGrid::OnSelectCell));
    list.push_back(PD::Event("OnColumnMoved",   &TDrawGrid::OnColumnMoved));
    list.push_back(PD::Event("OnRowMoved",      &TDrawGrid::OnRowMoved));
    list.push_back(PD::Event("OnTopLeftChanged",&TDrawGrid::OnTopLeftChanged));
    list.push_back(PD::Event("OnGetEditText",   &TDrawGrid::OnGetEditText));
    list.push_back(PD::Event("OnSetEditText",   &TDrawGrid::OnSetEditText));
    return list;
}
const TClassRegistrar<TDrawGrid> drawGridRegistrar(DrawGridProperties());
const TClassRegistrar<TStringGrid> stringGridRegistrar(DrawGridProperties());

} // namespace
// clang-format on

namespace
{

constexpr int SizingMargin = 3; // pixels either side of a column border that start sizing
constexpr int MinColWidth = 1;

// Tab and Shift+Tab reach the grid and its editor as keys when the grid
// takes tabs; Qt would otherwise move the focus before anyone sees them.
class TTabKeyFilter : public QObject
{
public:
    explicit TTabKeyFilter(TCustomGrid *grid, QObject *parent)
        : QObject(parent)
        , grid_(grid)
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
            return false;
        if (!grid_ || !grid_->Options().Contains(goTabs) || (key->modifiers() & Qt::ControlModifier))
            return false;
        if (event->type() == QEvent::ShortcutOverride)
            return event->accept(), true;
        auto *link = dynamic_cast<TWidgetLink *>(watched);
        if (!link || !link->control)
            return false;
        TDispatchDepth depth;
        QEvent *saved = std::exchange(link->current, event);
        GuardedCall(link->control, [&] { TQtBoundary::KeyPress(*link, key); });
        link->current = saved;
        return true;
    }
    TCustomGrid *grid_;
};

} // namespace

struct TCustomGrid::GridImpl {
    int colCount = 5, rowCount = 5, fixedCols = 1, fixedRows = 1;
    int defaultColWidth = 64, defaultRowHeight = 24, gridLineWidth = 1;
    std::vector<int> colWidths, rowHeights; // empty: all default
    std::vector<bool> tabStops; // empty: all on
    TGridOptions options = DefaultGridOptions;
    TScrollStyle scrollBars = ssBoth;
    TColor fixedColor = clBtnFace;
    bool defaultDrawing = true;
    TBorderStyle borderStyle = bsSingle;

    TGridCoord current { 1, 1 };
    TGridCoord anchor { 1, 1 };
    TGridCoord topLeft { 1, 1 };

    TInplaceEdit *editor = nullptr;
    bool editorMode = false;

    TGridState state = gsNormal;
    int sizingCol = -1, sizingStartX = 0, sizingStartWidth = 0;
    int moveFrom = -1, moveTo = -1;
    bool moved = false;

    QScrollBar *vbar = nullptr;
    QScrollBar *hbar = nullptr;
    bool ownVert = false; // a descendant drives the vertical bar
    int ownVertMin = 0, ownVertMax = 0, ownVertPos = 0;
    bool updatingBars = false;
    TTabKeyFilter *tabFilter = nullptr;

    int ColWidth(int col) const
    {
        return col >= 0 && col < static_cast<int>(colWidths.size()) ? colWidths[col] : defaultColWidth;
    }
    int RowHeight(int row) const
    {
        return row >= 0 && row < static_cast<int>(rowHeights.size()) ? rowHeights[row] : defaultRowHeight;
    }
};

// ---- TInplaceEdit ---------------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TComponent *owner)
    : TCustomEdit(owner)
    , grid_(dynamic_cast<TCustomGrid *>(owner))
{
    SetBorderStyle(bsNone);
    SetParentCtl3D(false);
    SetCtl3D(false);
    SetTabStop(false);
    SetVisible(false);
}

TInplaceEdit::~TInplaceEdit()
{
    if (grid_ && grid_->g->editor == this)
        grid_->g->editor = nullptr;
}

void TInplaceEdit::CreateParams(TCreateParams &params)
{
    TCustomEdit::CreateParams(params);
    params.Style &= ~WS_BORDER;
}

void TInplaceEdit::CreateWnd()
{
    TCustomEdit::CreateWnd();
    if (grid_ && grid_->g->tabFilter)
        if (QWidget *widget = TQtBoundary::Widget(this))
            widget->installEventFilter(grid_->g->tabFilter);
}

bool TInplaceEdit::WantsKey(uint16_t key) const
{
    return key == VK_RETURN || key == VK_ESCAPE;
}

void TInplaceEdit::Move(const TRect &rect)
{
    if (!grid_)
        return;
    if (Parent() != grid_)
        SetParent(grid_);
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
    SetVisible(true);
}

void TInplaceEdit::Hide()
{
    SetVisible(false);
}

bool TInplaceEdit::Visible() const
{
    return TControl::Visible();
}

void TInplaceEdit::SetFocus()
{
    if (TControl::Visible() && CanFocus())
        TCustomEdit::SetFocus();
}

void TInplaceEdit::UpdateContents()
{
    if (!grid_)
        return;
    updating_ = true;
    SetMaxLength(grid_->GetEditLimit());
    SetText(grid_->GetEditText(grid_->Col(), grid_->Row()));
    SetModified(false);
    updating_ = false;
}

void TInplaceEdit::Deselect()
{
    SetSelStart(GetTextLen());
    SetSelLength(0);
}

void TInplaceEdit::KeyDown(uint16_t &key, TShiftState shift)
{
    auto toGrid = [&] {
        grid_->KeyDown(key, shift);
        key = 0;
    };
    auto wholeSelected = [&] { return SelLength() == GetTextLen(); };
    if (grid_) {
        switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_ESCAPE:
            toGrid();
            break;
        case VK_INSERT:
            if (shift.Empty())
                toGrid();
            break;
        case VK_LEFT:
        case VK_HOME:
            if ((SelStart() == 0 && SelLength() == 0) || wholeSelected())
                toGrid();
            break;
        case VK_RIGHT:
        case VK_END:
            if ((SelStart() == GetTextLen() && SelLength() == 0) || wholeSelected())
                toGrid();
            break;
        case VK_TAB:
            if (!shift.Contains(ssAlt))
                toGrid();
            break;
        case VK_DELETE:
            if (shift.Contains(ssCtrl))
                toGrid();
            else if (!grid_->CanEditModify())
                key = 0;
            break;
        default:
            break;
        }
    }
    if (key != 0)
        TCustomEdit::KeyDown(key, shift);
}

void TInplaceEdit::KeyPress(char32_t &key)
{
    if (!grid_)
        return TCustomEdit::KeyPress(key);
    grid_->KeyPress(key);
    if (key >= 32 && key != 127 && !grid_->CanEditAcceptKey(key)) {
        key = 0;
        MessageBeep(0);
    }
    switch (key) {
    case 9:
    case 27:
        key = 0;
        break;
    case 13:
        if (SelStart() == 0 && SelLength() == GetTextLen())
            Deselect();
        else
            SelectAll();
        key = 0;
        break;
    case 8:
    case 22:
    case 24:
        if (!grid_->CanEditModify())
            key = 0;
        break;
    default:
        if (key >= 32 && !grid_->CanEditModify())
            key = 0;
        break;
    }
    if (key != 0)
        TCustomEdit::KeyPress(key);
}

void TInplaceEdit::KeyUp(uint16_t &key, TShiftState shift)
{
    TCustomEdit::KeyUp(key, shift);
}

void TInplaceEdit::WMChar(TMessage &message)
{
    TCustomEdit::WMChar(message);
}

void TInplaceEdit::Dispatch(TMessage &message)
{
    if (message.Msg == WM_PASTE)
        return WMPaste(message);
    TCustomEdit::Dispatch(message);
}

void TInplaceEdit::WMPaste(TMessage &message)
{
    if (grid_ && !grid_->CanEditModify())
        return;
    TCustomEdit::Dispatch(message);
}

void TInplaceEdit::Change()
{
    TCustomEdit::Change();
    if (grid_ && !updating_)
        grid_->SetEditText(grid_->Col(), grid_->Row(), Text());
}

void TInplaceEdit::DoExit()
{
    TCustomEdit::DoExit();
    // The focus left the grid altogether: the grid's own exit handling runs.
    if (grid_ && !grid_->Focused() && FindControl(GetFocus()) != grid_)
        grid_->Perform(CM_EXIT, 0, 0);
}

// ---- TCustomGrid: size and geometry -----------------------------------------------------------

TCustomGrid::TCustomGrid(TComponent *owner)
    : TCustomControl(owner)
    , g(std::make_unique<GridImpl>())
{
    SetBounds(0, 0, 320, 120);
    SetColor(clWindow);
    SetParentColor(false);
    SetTabStop(true);
}

TCustomGrid::~TCustomGrid()
{
    if (g->editor)
        g->editor->grid_ = nullptr;
}

int TCustomGrid::ColCount() const { return g->colCount; }
int TCustomGrid::RowCount() const { return g->rowCount; }
int TCustomGrid::FixedCols() const { return g->fixedCols; }
int TCustomGrid::FixedRows() const { return g->fixedRows; }

void TCustomGrid::SetColCount(int count)
{
    count = std::max(count, 1);
    if (count == g->colCount)
        return;
    int oldCols = g->colCount;
    g->colCount = count;
    if (g->fixedCols >= count)
        g->fixedCols = count - 1;
    if (!g->colWidths.empty())
        g->colWidths.resize(count, g->defaultColWidth);
    if (!g->tabStops.empty())
        g->tabStops.resize(count, true);
    g->current.X = std::clamp(g->current.X, g->fixedCols, count - 1);
    g->anchor.X = std::clamp(g->anchor.X, g->fixedCols, count - 1);
    g->topLeft.X = std::clamp(g->topLeft.X, g->fixedCols, count - 1);
    SizeChanged(oldCols, g->rowCount);
    UpdateEdit();
    Invalidate();
}

void TCustomGrid::SetRowCount(int count)
{
    count = std::max(count, 1);
    if (count == g->rowCount)
        return;
    int oldRows = g->rowCount;
    g->rowCount = count;
    if (g->fixedRows >= count)
        g->fixedRows = count - 1;
    if (!g->rowHeights.empty())
        g->rowHeights.resize(count, g->defaultRowHeight);
    g->current.Y = std::clamp(g->current.Y, g->fixedRows, count - 1);
    g->anchor.Y = std::clamp(g->anchor.Y, g->fixedRows, count - 1);
    g->topLeft.Y = std::clamp(g->topLeft.Y, g->fixedRows, count - 1);
    SizeChanged(g->colCount, oldRows);
    UpdateEdit();
    Invalidate();
}

void TCustomGrid::SetFixedCols(int count)
{
    if (count < 0 || count >= g->colCount)
        throw EInvalidGridOperation("Fixed column count must be less than column count");
    g->fixedCols = count;
    g->current.X = std::max(g->current.X, count);
    g->anchor.X = std::max(g->anchor.X, count);
    g->topLeft.X = std::max(g->topLeft.X, count);
    UpdateEdit();
    Invalidate();
}

void TCustomGrid::SetFixedRows(int count)
{
    if (count < 0 || count >= g->rowCount)
        throw EInvalidGridOperation("Fixed row count must be less than row count");
    g->fixedRows = count;
    g->current.Y = std::max(g->current.Y, count);
    g->anchor.Y = std::max(g->anchor.Y, count);
    g->topLeft.Y = std::max(g->topLeft.Y, count);
    UpdateEdit();
    Invalidate();
}

int TCustomGrid::DefaultColWidth() const { return g->defaultColWidth; }
int TCustomGrid::DefaultRowHeight() const { return g->defaultRowHeight; }

void TCustomGrid::SetDefaultColWidth(int width)
{
    g->defaultColWidth = std::max(width, 0);
    g->colWidths.clear();
    ColWidthsChanged();
    Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int height)
{
    g->defaultRowHeight = std::max(height, 0);
    g->rowHeights.clear();
    RowHeightsChanged();
    Invalidate();
}

int TCustomGrid::ColWidths(int col) const { return g->ColWidth(col); }
int TCustomGrid::RowHeights(int row) const { return g->RowHeight(row); }

void TCustomGrid::SetColWidths(int col, int width)
{
    if (col < 0 || col >= g->colCount)
        return;
    if (g->colWidths.empty())
        g->colWidths.assign(g->colCount, g->defaultColWidth);
    if (g->colWidths[col] == width)
        return;
    g->colWidths[col] = std::max(width, 0);
    ColWidthsChanged();
    Invalidate();
}

void TCustomGrid::SetRowHeights(int row, int height)
{
    if (row < 0 || row >= g->rowCount)
        return;
    if (g->rowHeights.empty())
        g->rowHeights.assign(g->rowCount, g->defaultRowHeight);
    if (g->rowHeights[row] == height)
        return;
    g->rowHeights[row] = std::max(height, 0);
    RowHeightsChanged();
    Invalidate();
}

int TCustomGrid::GridLineWidth() const { return g->gridLineWidth; }
void TCustomGrid::SetGridLineWidth(int width)
{
    g->gridLineWidth = std::max(width, 0);
    Invalidate();
}

bool TCustomGrid::TabStops(int col) const
{
    return col < 0 || col >= static_cast<int>(g->tabStops.size()) || g->tabStops[col];
}

void TCustomGrid::SetTabStops(int col, bool tabStop)
{
    if (col < 0 || col >= g->colCount)
        return;
    if (g->tabStops.empty())
        g->tabStops.assign(g->colCount, true);
    g->tabStops[col] = tabStop;
}

TGridOptions TCustomGrid::Options() const { return g->options; }
void TCustomGrid::SetOptions(TGridOptions options)
{
    if (options == g->options)
        return;
    if (options.Contains(goRowSelect))
        options.Exclude(goAlwaysShowEditor);
    g->options = options;
    if (!options.Contains(goEditing))
        HideEditor();
    if (options.Contains(goRowSelect))
        g->anchor = g->current;
    UpdateEdit();
    Invalidate();
}

TScrollStyle TCustomGrid::ScrollBars() const { return g->scrollBars; }
void TCustomGrid::SetScrollBars(TScrollStyle scrollBars)
{
    g->scrollBars = scrollBars;
    Invalidate();
}

TColor TCustomGrid::FixedColor() const { return g->fixedColor; }
void TCustomGrid::SetFixedColor(TColor color)
{
    g->fixedColor = color;
    Invalidate();
}

bool TCustomGrid::DefaultDrawing() const { return g->defaultDrawing; }
void TCustomGrid::SetDefaultDrawing(bool defaultDrawing)
{
    g->defaultDrawing = defaultDrawing;
    Invalidate();
}

TBorderStyle TCustomGrid::BorderStyle() const { return g->borderStyle; }
void TCustomGrid::SetBorderStyle(TBorderStyle style)
{
    g->borderStyle = style == bsNone ? bsNone : bsSingle;
    Invalidate();
}

TInplaceEdit *TCustomGrid::InplaceEditor() const { return g->editor; }
TGridState TCustomGrid::GridState() const { return g->state; }

TRect TCustomGrid::ClientRect() const
{
    int border = g->borderStyle == bsSingle ? 2 : 0;
    TRect r { border, border, Width() - border, Height() - border };
    if (g->vbar && g->vbar->isVisible())
        r.Right -= g->vbar->width();
    if (g->hbar && g->hbar->isVisible())
        r.Bottom -= g->hbar->height();
    r.Right = std::max(r.Right, r.Left);
    r.Bottom = std::max(r.Bottom, r.Top);
    return r;
}

namespace
{
// Where the cells of one axis lie: the fixed ones first, then the scrolling
// ones from the first visible one; answers the start of index or -1.
struct Axis {
    int count, fixed, first, origin, limit, line;
    std::function<int(int)> extent;
    int Start(int index) const
    {
        int pos = origin;
        if (index < fixed) {
            for (int i = 0; i < index; ++i)
                pos += extent(i) + line;
            return pos;
        }
        for (int i = 0; i < fixed; ++i)
            pos += extent(i) + line;
        if (index < first)
            return -1;
        for (int i = first; i < index; ++i) {
            pos += extent(i) + line;
            if (pos >= limit)
                return -1;
        }
        return pos < limit ? pos : -1;
    }
    int At(int p) const
    {
        int pos = origin;
        if (p < origin)
            return -1;
        for (int i = 0; i < fixed; ++i) {
            pos += extent(i) + line;
            if (p < pos)
                return i;
        }
        for (int i = first; i < count && pos < limit; ++i) {
            pos += extent(i) + line;
            if (p < pos)
                return p < limit ? i : -1;
        }
        return -1;
    }
    // Cells from first that fit whole before limit (at least one).
    int FullyVisible() const
    {
        int pos = origin;
        for (int i = 0; i < fixed; ++i)
            pos += extent(i) + line;
        int n = 0;
        for (int i = first; i < count; ++i) {
            pos += extent(i) + line;
            if (pos > limit + line)
                break;
            ++n;
        }
        return std::max(n, 1);
    }
};
} // namespace

static Axis ColAxis(const TCustomGrid::GridImpl &g, const TRect &client)
{
    int line = g.options.Contains(goVertLine) || g.options.Contains(goFixedVertLine) ? g.gridLineWidth : 0;
    return { g.colCount, g.fixedCols, g.topLeft.X, client.Left, client.Right, line,
        [&g](int i) { return g.ColWidth(i); } };
}
static Axis RowAxis(const TCustomGrid::GridImpl &g, const TRect &client)
{
    int line = g.options.Contains(goHorzLine) || g.options.Contains(goFixedHorzLine) ? g.gridLineWidth : 0;
    return { g.rowCount, g.fixedRows, g.topLeft.Y, client.Top, client.Bottom, line,
        [&g](int i) { return g.RowHeight(i); } };
}

TRect TCustomGrid::CellRect(int col, int row) const
{
    if (col < 0 || row < 0 || col >= g->colCount || row >= g->rowCount)
        return {};
    TRect client = ClientRect();
    int x = ColAxis(*g, client).Start(col);
    int y = RowAxis(*g, client).Start(row);
    if (x < 0 || y < 0)
        return {};
    TRect r { x, y, std::min(x + g->ColWidth(col), client.Right), std::min(y + g->RowHeight(row), client.Bottom) };
    return r;
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) const
{
    TRect client = ClientRect();
    TGridCoord c { ColAxis(*g, client).At(x), RowAxis(*g, client).At(y) };
    if (c.X < 0 || c.Y < 0)
        c = { -1, -1 };
    return c;
}

void TCustomGrid::MouseToCell(int x, int y, int &col, int &row) const
{
    TGridCoord c = MouseCoord(x, y);
    col = c.X, row = c.Y;
}

int TCustomGrid::VisibleColCount() const
{
    return std::min(ColAxis(*g, ClientRect()).FullyVisible(), g->colCount - g->topLeft.X);
}

int TCustomGrid::VisibleRowCount() const
{
    return std::min(RowAxis(*g, ClientRect()).FullyVisible(), g->rowCount - g->topLeft.Y);
}

bool TCustomGrid::ColBorderAt(int x, int y, int &col) const
{
    TRect client = ClientRect();
    Axis rows = RowAxis(*g, client);
    int fixedBottom = rows.Start(g->fixedRows > 0 ? g->fixedRows - 1 : 0);
    if (g->fixedRows == 0 || fixedBottom < 0 || y >= fixedBottom + g->RowHeight(g->fixedRows - 1))
        return false;
    Axis cols = ColAxis(*g, client);
    for (int c = 0; c < g->colCount; ++c) {
        int start = cols.Start(c);
        if (start < 0)
            continue;
        int right = start + g->ColWidth(c);
        if (std::abs(x - right) <= SizingMargin) {
            col = c;
            return true;
        }
    }
    return false;
}

// ---- Current cell and scrolling -------------------------------------------------------------

int TCustomGrid::Col() const { return g->current.X; }
int TCustomGrid::Row() const { return g->current.Y; }
void TCustomGrid::SetCol(int col) { FocusCell(col, g->current.Y, true); }
void TCustomGrid::SetRow(int row) { FocusCell(g->current.X, row, true); }

TGridRect TCustomGrid::Selection() const
{
    TGridCoord a = g->anchor, c = g->current;
    TGridRect r { std::min(a.X, c.X), std::min(a.Y, c.Y), std::max(a.X, c.X), std::max(a.Y, c.Y) };
    if (g->options.Contains(goRowSelect))
        r.Left = g->fixedCols, r.Right = g->colCount - 1;
    return r;
}

void TCustomGrid::SetSelection(const TGridRect &selection)
{
    g->anchor = { selection.Left, selection.Top };
    g->current = { selection.Right, selection.Bottom };
    Invalidate();
}

int TCustomGrid::LeftCol() const { return g->topLeft.X; }
int TCustomGrid::TopRow() const { return g->topLeft.Y; }

void TCustomGrid::SetLeftCol(int col)
{
    col = std::clamp(col, g->fixedCols, g->colCount - 1);
    if (col == g->topLeft.X)
        return;
    int dx = col - g->topLeft.X;
    g->topLeft.X = col;
    ScrollData(dx, 0);
    TopLeftChanged();
}

void TCustomGrid::SetTopRow(int row)
{
    row = std::clamp(row, g->fixedRows, g->rowCount - 1);
    if (row == g->topLeft.Y)
        return;
    int dy = row - g->topLeft.Y;
    g->topLeft.Y = row;
    ScrollData(0, dy);
    TopLeftChanged();
}

void TCustomGrid::ScrollData(int, int)
{
    Invalidate();
    UpdateEdit();
}

bool TCustomGrid::SelectCell(int, int)
{
    return true;
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor)
{
    MoveColRow(col, row, moveAnchor, true);
}

void TCustomGrid::MoveColRow(int col, int row, bool moveAnchor, bool show)
{
    col = std::clamp(col, g->fixedCols, g->colCount - 1);
    row = std::clamp(row, g->fixedRows, g->rowCount - 1);
    if (!SelectCell(col, row))
        return;
    bool changed = col != g->current.X || row != g->current.Y;
    if (changed)
        HideEditor();
    InvalidateCell(g->current.X, g->current.Y);
    if (g->options.Contains(goRowSelect))
        InvalidateRow(g->current.Y);
    g->current = { col, row };
    if (moveAnchor || !g->options.Contains(goRangeSelect) || g->options.Contains(goRowSelect)) {
        if (!(g->anchor == g->current))
            Invalidate();
        g->anchor = g->current;
    } else {
        Invalidate();
    }
    if (show) {
        // Scroll so that the current cell is fully visible.
        TGridCoord tl = g->topLeft;
        if (row < g->topLeft.Y)
            tl.Y = row;
        else
            while (tl.Y < row) {
                Axis rows = RowAxis(*g, ClientRect());
                rows.first = tl.Y;
                if (tl.Y + rows.FullyVisible() > row)
                    break;
                ++tl.Y;
            }
        if (col < g->topLeft.X)
            tl.X = col;
        else
            while (tl.X < col) {
                Axis cols = ColAxis(*g, ClientRect());
                cols.first = tl.X;
                if (tl.X + cols.FullyVisible() > col)
                    break;
                ++tl.X;
            }
        if (!(tl == g->topLeft)) {
            int dx = tl.X - g->topLeft.X, dy = tl.Y - g->topLeft.Y;
            g->topLeft = tl;
            ScrollData(dx, dy);
            TopLeftChanged();
        }
    }
    InvalidateCell(col, row);
    if (g->options.Contains(goRowSelect))
        InvalidateRow(row);
    UpdateEdit();
}

void TCustomGrid::TopLeftChanged()
{
    UpdateEdit();
}

void TCustomGrid::SizeChanged(int, int) { }
void TCustomGrid::ColWidthsChanged() { UpdateEdit(); }
void TCustomGrid::RowHeightsChanged() { UpdateEdit(); }
void TCustomGrid::ColumnMoved(int, int) { }
void TCustomGrid::RowMoved(int, int) { }
void TCustomGrid::TimedScroll(int) { }

void TCustomGrid::MoveColumn(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= g->colCount || toIndex >= g->colCount)
        return;
    auto rotate = [&](auto &v) {
        if (v.empty())
            return;
        auto item = v[fromIndex];
        v.erase(v.begin() + fromIndex);
        v.insert(v.begin() + toIndex, item);
    };
    rotate(g->colWidths);
    if (!g->tabStops.empty()) {
        bool stop = g->tabStops[fromIndex];
        g->tabStops.erase(g->tabStops.begin() + fromIndex);
        g->tabStops.insert(g->tabStops.begin() + toIndex, stop);
    }
    auto follow = [&](int &x) {
        if (x == fromIndex)
            x = toIndex;
        else if (fromIndex < toIndex && x > fromIndex && x <= toIndex)
            --x;
        else if (fromIndex > toIndex && x >= toIndex && x < fromIndex)
            ++x;
    };
    follow(g->current.X);
    follow(g->anchor.X);
    ColumnMoved(fromIndex, toIndex);
    Invalidate();
    UpdateEdit();
}

void TCustomGrid::MoveRow(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= g->rowCount || toIndex >= g->rowCount)
        return;
    if (!g->rowHeights.empty()) {
        int h = g->rowHeights[fromIndex];
        g->rowHeights.erase(g->rowHeights.begin() + fromIndex);
        g->rowHeights.insert(g->rowHeights.begin() + toIndex, h);
    }
    RowMoved(fromIndex, toIndex);
    Invalidate();
    UpdateEdit();
}

// ---- Painting --------------------------------------------------------------------------------

void TCustomGrid::InvalidateRect(const TRect &rect)
{
    if (rect.IsEmpty())
        return;
    if (QWidget *widget = TQtBoundary::Widget(this))
        widget->update(QRect(rect.Left, rect.Top, rect.Width() + g->gridLineWidth, rect.Height() + g->gridLineWidth));
}

void TCustomGrid::InvalidateCell(int col, int row)
{
    InvalidateRect(CellRect(col, row));
}

void TCustomGrid::InvalidateRow(int row)
{
    TRect r = CellRect(g->fixedCols > 0 ? 0 : g->topLeft.X, row);
    if (r.IsEmpty())
        return;
    r.Left = ClientRect().Left;
    r.Right = ClientRect().Right;
    InvalidateRect(r);
}

void TCustomGrid::InvalidateCol(int col)
{
    TRect r = CellRect(col, g->fixedRows > 0 ? 0 : g->topLeft.Y);
    if (r.IsEmpty())
        return;
    r.Top = ClientRect().Top;
    r.Bottom = ClientRect().Bottom;
    InvalidateRect(r);
}

void TCustomGrid::DrawCell(int, int, const TRect &, TGridDrawState) { }

void TCustomGrid::Paint()
{
    UpdateScrollBars();
    TCanvas *canvas = Canvas();
    TRect client = ClientRect();
    TRect clip = canvas->ClipRect();
    if (g->borderStyle == bsSingle) {
        TRect frame { 0, 0, Width(), Height() };
        Frame3D(canvas, frame, clBtnShadow, clBtnHighlight, 1);
        Frame3D(canvas, frame, cl3DDkShadow, cl3DLight, 1);
    }
    Axis cols = ColAxis(*g, client), rows = RowAxis(*g, client);
    bool focused = Focused() || (g->editor && g->editor->Focused());
    TGridRect sel = Selection();
    int lastRight = client.Left, lastBottom = client.Top;

    auto drawRow = [&](int row, int y) {
        int h = g->RowHeight(row);
        auto drawCell = [&](int col, int x) {
            int w = g->ColWidth(col);
            TRect r { x, y, std::min(x + w, client.Right), std::min(y + h, client.Bottom) };
            lastRight = std::max(lastRight, std::min(x + w + cols.line, client.Right));
            TRect lines { r.Left, r.Top, r.Right + cols.line, r.Bottom + rows.line };
            TRect visible;
            if (!IntersectRect(visible, lines, clip))
                return;
            bool fixed = col < g->fixedCols || row < g->fixedRows;
            TGridDrawState state;
            if (fixed)
                state.Include(gdFixed);
            else {
                bool isCurrent = col == g->current.X && row == g->current.Y;
                bool inSelection = col >= sel.Left && col <= sel.Right && row >= sel.Top && row <= sel.Bottom;
                if (isCurrent && focused)
                    state.Include(gdFocused);
                if (inSelection && (!isCurrent || g->options.Contains(goDrawFocusSelected)
                        || g->options.Contains(goRowSelect) || !focused))
                    state.Include(gdSelected);
            }
            canvas->SetFont(Font());
            canvas->Brush()->SetStyle(bsSolid);
            if (g->defaultDrawing) {
                if (fixed)
                    canvas->Brush()->SetColor(g->fixedColor);
                else if (state.Contains(gdSelected)) {
                    canvas->Brush()->SetColor(clHighlight);
                    canvas->Font()->SetColor(clHighlightText);
                } else
                    canvas->Brush()->SetColor(Color());
                canvas->FillRect(r);
            } else
                canvas->Brush()->SetColor(fixed ? g->fixedColor : Color());
            DrawCell(col, row, r, state);
            if (g->defaultDrawing && fixed && Ctl3D() && g->options.Contains(goFixedVertLine)
                && g->options.Contains(goFixedHorzLine)) {
                canvas->Pen()->SetColor(clBtnHighlight);
                canvas->MoveTo(r.Left, r.Bottom - 1);
                canvas->LineTo(r.Left, r.Top);
                canvas->LineTo(r.Right, r.Top);
            }
            if (g->defaultDrawing && state.Contains(gdFocused) && !g->options.Contains(goEditing)
                && !g->options.Contains(goRowSelect))
                canvas->DrawFocusRect(r);
            if (DrawsLines() && g->gridLineWidth > 0) {
                bool vert = g->options.Contains(fixed ? goFixedVertLine : goVertLine);
                bool horz = g->options.Contains(fixed ? goFixedHorzLine : goHorzLine);
                canvas->Brush()->SetColor(fixed ? clBlack : clSilver);
                if (vert && cols.line)
                    canvas->FillRect({ r.Right, r.Top, std::min(r.Right + cols.line, client.Right), r.Bottom + rows.line });
                if (horz && rows.line)
                    canvas->FillRect({ r.Left, r.Bottom, std::min(r.Right + cols.line, client.Right), std::min(r.Bottom + rows.line, client.Bottom) });
            }
        };
        int x = client.Left;
        for (int c = 0; c < g->fixedCols && x < client.Right; ++c) {
            drawCell(c, x);
            x += g->ColWidth(c) + cols.line;
        }
        for (int c = g->topLeft.X; c < g->colCount && x < client.Right; ++c) {
            drawCell(c, x);
            x += g->ColWidth(c) + cols.line;
        }
        lastBottom = std::max(lastBottom, std::min(y + h + rows.line, client.Bottom));
    };
    int y = client.Top;
    for (int r = 0; r < g->fixedRows && y < client.Bottom; ++r) {
        drawRow(r, y);
        y += g->RowHeight(r) + rows.line;
    }
    for (int r = g->topLeft.Y; r < g->rowCount && y < client.Bottom; ++r) {
        drawRow(r, y);
        y += g->RowHeight(r) + rows.line;
    }
    // What lies beyond the last column and row shows the grid's colour.
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    if (lastRight < client.Right)
        canvas->FillRect({ lastRight, client.Top, client.Right, client.Bottom });
    if (lastBottom < client.Bottom)
        canvas->FillRect({ client.Left, lastBottom, lastRight, client.Bottom });
    if (g->hbar && g->vbar && g->hbar->isVisible() && g->vbar->isVisible()) {
        canvas->Brush()->SetColor(clBtnFace);
        canvas->FillRect({ client.Right, client.Bottom, client.Right + g->vbar->width(), client.Bottom + g->hbar->height() });
    }
}

void TCustomGrid::TakeTabsOf(TWinControl *control)
{
    HandleNeeded();
    if (!control || !g->tabFilter)
        return;
    control->HandleNeeded();
    if (QWidget *widget = TQtBoundary::Widget(control))
        widget->installEventFilter(g->tabFilter);
}

// ---- Scroll bars -----------------------------------------------------------------------------

void TCustomGrid::CreateWindowHandle(const TCreateParams &params)
{
    TCustomControl::CreateWindowHandle(params);
    QWidget *widget = TQtBoundary::Widget(this);
    g->tabFilter = new TTabKeyFilter(this, widget);
    widget->installEventFilter(g->tabFilter);
    g->vbar = new QScrollBar(Qt::Vertical, widget);
    g->hbar = new QScrollBar(Qt::Horizontal, widget);
    g->vbar->hide();
    g->hbar->hide();
    g->vbar->setFocusPolicy(Qt::NoFocus);
    g->hbar->setFocusPolicy(Qt::NoFocus);
    auto *link = dynamic_cast<TWidgetLink *>(widget);
    auto connectBar = [&](QScrollBar *bar, uint32_t msg) {
        ConnectGuarded(*link, bar, &QAbstractSlider::actionTriggered, [this, bar, msg](int action) {
            uint32_t code = SB_ENDSCROLL;
            switch (action) {
            case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
            case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
            case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
            case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
            case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
            case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
            case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
            default: return;
            }
            int pos = bar->sliderPosition();
            Perform(msg, MakeLParam(static_cast<int>(code), pos), 0);
            // The grid decides where the thumb stands, not the slider's own step.
            if (code != SB_THUMBTRACK)
                SyncScrollBars();
        });
        ConnectGuarded(*link, bar, &QAbstractSlider::sliderReleased, [this, bar, msg] {
            Perform(msg, MakeLParam(static_cast<int>(SB_THUMBPOSITION), bar->sliderPosition()), 0);
            SyncScrollBars();
        });
    };
    connectBar(g->vbar, WM_VSCROLL);
    connectBar(g->hbar, WM_HSCROLL);
}

void TCustomGrid::CreateWnd()
{
    TCustomControl::CreateWnd();
    UpdateScrollBars();
}

void TCustomGrid::CreateParams(TCreateParams &params)
{
    TCustomControl::CreateParams(params);
    if (g->scrollBars == ssVertical || g->scrollBars == ssBoth)
        params.Style |= WS_VSCROLL;
    if (g->scrollBars == ssHorizontal || g->scrollBars == ssBoth)
        params.Style |= WS_HSCROLL;
}

void TCustomGrid::SetVertScrollRange(int min, int max)
{
    g->ownVert = true;
    g->ownVertMin = min;
    g->ownVertMax = max;
    g->ownVertPos = std::clamp(g->ownVertPos, min, std::max(min, max));
    UpdateScrollBars();
}

void TCustomGrid::SetVertScrollPos(int pos)
{
    g->ownVertPos = pos;
    SyncScrollBars();
}

int TCustomGrid::VertScrollPos() const
{
    return g->ownVert ? g->ownVertPos : (g->vbar ? g->vbar->value() : 0);
}

void TCustomGrid::UpdateScrollBars()
{
    if (!g->vbar || g->updatingBars)
        return;
    g->updatingBars = true;
    bool managedV = g->scrollBars == ssVertical || g->scrollBars == ssBoth;
    bool managedH = g->scrollBars == ssHorizontal || g->scrollBars == ssBoth;
    // Twice: one bar taking room can make the other one needed.
    for (int pass = 0; pass < 2; ++pass) {
        bool showV = false, showH = false;
        if (managedV) {
            Axis rows = RowAxis(*g, ClientRect());
            rows.first = g->fixedRows;
            showV = g->rowCount > g->fixedRows && rows.FullyVisible() < g->rowCount - g->fixedRows;
            showV = showV || g->topLeft.Y > g->fixedRows;
        } else if (g->ownVert)
            showV = g->ownVertMax > g->ownVertMin;
        if (managedH) {
            Axis cols = ColAxis(*g, ClientRect());
            cols.first = g->fixedCols;
            showH = g->colCount > g->fixedCols && cols.FullyVisible() < g->colCount - g->fixedCols;
            showH = showH || g->topLeft.X > g->fixedCols;
        }
        g->vbar->setVisible(showV);
        g->hbar->setVisible(showH);
    }
    int border = g->borderStyle == bsSingle ? 2 : 0;
    int barW = g->vbar->sizeHint().width(), barH = g->hbar->sizeHint().height();
    int innerW = Width() - 2 * border, innerH = Height() - 2 * border;
    g->vbar->setGeometry(Width() - border - barW, border, barW, innerH - (g->hbar->isVisible() ? barH : 0));
    g->hbar->setGeometry(border, Height() - border - barH, innerW - (g->vbar->isVisible() ? barW : 0), barH);
    g->updatingBars = false;
    SyncScrollBars();
}

void TCustomGrid::SyncScrollBars()
{
    if (!g->vbar)
        return;
    QSignalBlocker blockV(g->vbar), blockH(g->hbar);
    bool managedV = g->scrollBars == ssVertical || g->scrollBars == ssBoth;
    bool managedH = g->scrollBars == ssHorizontal || g->scrollBars == ssBoth;
    if (managedV) {
        int maxTop = MaxTopLeft().Y;
        g->vbar->setRange(0, std::max(0, maxTop - g->fixedRows));
        g->vbar->setPageStep(std::max(1, VisibleRowCount()));
        g->vbar->setSliderPosition(g->topLeft.Y - g->fixedRows);
        g->vbar->setValue(g->topLeft.Y - g->fixedRows);
    } else if (g->ownVert) {
        g->vbar->setRange(g->ownVertMin, std::max(g->ownVertMin, g->ownVertMax));
        g->vbar->setPageStep(1);
        g->vbar->setSliderPosition(g->ownVertPos);
        g->vbar->setValue(g->ownVertPos);
    }
    if (managedH) {
        int maxLeft = MaxTopLeft().X;
        g->hbar->setRange(0, std::max(0, maxLeft - g->fixedCols));
        g->hbar->setPageStep(std::max(1, VisibleColCount()));
        g->hbar->setSliderPosition(g->topLeft.X - g->fixedCols);
        g->hbar->setValue(g->topLeft.X - g->fixedCols);
    }
}

TGridCoord TCustomGrid::MaxTopLeft() const
{
    // The top-left cell that shows the last row and column at the bottom right.
    TRect client = ClientRect();
    TGridCoord result { g->colCount - 1, g->rowCount - 1 };
    int fixedW = 0, fixedH = 0;
    int lineV = ColAxis(*g, client).line, lineH = RowAxis(*g, client).line;
    for (int c = 0; c < g->fixedCols; ++c)
        fixedW += g->ColWidth(c) + lineV;
    for (int r = 0; r < g->fixedRows; ++r)
        fixedH += g->RowHeight(r) + lineH;
    int room = client.Width() - fixedW;
    for (int c = g->colCount - 1; c >= g->fixedCols; --c) {
        room -= g->ColWidth(c) + lineV;
        if (room < -lineV)
            break;
        result.X = c;
    }
    room = client.Height() - fixedH;
    for (int r = g->rowCount - 1; r >= g->fixedRows; --r) {
        room -= g->RowHeight(r) + lineH;
        if (room < -lineH)
            break;
        result.Y = r;
    }
    result.X = std::max(result.X, g->fixedCols);
    result.Y = std::max(result.Y, g->fixedRows);
    return result;
}

void TCustomGrid::WMVScroll(TMessage &message)
{
    uint32_t code = LoWordSigned(message.WParam) & 0xFFFF;
    int pos = HiWordSigned(message.WParam);
    int top = g->topLeft.Y;
    switch (code) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= VisibleRowCount(); break;
    case SB_PAGEDOWN: top += VisibleRowCount(); break;
    case SB_THUMBTRACK:
        if (!g->options.Contains(goThumbTracking))
            return;
        top = g->fixedRows + pos;
        break;
    case SB_THUMBPOSITION: top = g->fixedRows + pos; break;
    case SB_TOP: top = g->fixedRows; break;
    case SB_BOTTOM: top = MaxTopLeft().Y; break;
    default: return;
    }
    SetTopRow(std::clamp(top, g->fixedRows, MaxTopLeft().Y));
}

void TCustomGrid::WMHScroll(TMessage &message)
{
    uint32_t code = LoWordSigned(message.WParam) & 0xFFFF;
    int pos = HiWordSigned(message.WParam);
    int left = g->topLeft.X;
    switch (code) {
    case SB_LINEUP: --left; break;
    case SB_LINEDOWN: ++left; break;
    case SB_PAGEUP: left -= VisibleColCount(); break;
    case SB_PAGEDOWN: left += VisibleColCount(); break;
    case SB_THUMBTRACK:
        if (!g->options.Contains(goThumbTracking))
            return;
        left = g->fixedCols + pos;
        break;
    case SB_THUMBPOSITION: left = g->fixedCols + pos; break;
    case SB_TOP: left = g->fixedCols; break;
    case SB_BOTTOM: left = MaxTopLeft().X; break;
    default: return;
    }
    SetLeftCol(std::clamp(left, g->fixedCols, MaxTopLeft().X));
}

void TCustomGrid::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_VSCROLL:
        return WMVScroll(message);
    case WM_HSCROLL:
        return WMHScroll(message);
    default:
        return TCustomControl::Dispatch(message);
    }
}

void TCustomGrid::WMSize(TMessage &message)
{
    TCustomControl::WMSize(message);
    UpdateScrollBars();
    UpdateEdit();
}

void TCustomGrid::WMSetFocus(TMessage &message)
{
    TCustomControl::WMSetFocus(message);
    InvalidateCell(g->current.X, g->current.Y);
    if (g->options.Contains(goRowSelect))
        InvalidateRow(g->current.Y);
    if (g->options.Contains(goAlwaysShowEditor) && !(g->editor && g->editor->Visible()))
        ShowEditor();
}

void TCustomGrid::WMKillFocus(TMessage &message)
{
    TCustomControl::WMKillFocus(message);
    InvalidateCell(g->current.X, g->current.Y);
    if (g->options.Contains(goRowSelect))
        InvalidateRow(g->current.Y);
}

void TCustomGrid::DoExit()
{
    TCustomControl::DoExit();
}

// ---- The editor -----------------------------------------------------------------------------

TInplaceEdit *TCustomGrid::CreateEditor()
{
    return new TInplaceEdit(this);
}

bool TCustomGrid::CanEditAcceptKey(char32_t)
{
    return true;
}

bool TCustomGrid::CanEditModify()
{
    return true;
}

bool TCustomGrid::CanEditShow()
{
    return g->options.Contains(goEditing) && !g->options.Contains(goRowSelect) && (g->editorMode || g->options.Contains(goAlwaysShowEditor))
        && HandleAllocated();
}

std::string TCustomGrid::GetEditText(int, int)
{
    return {};
}

void TCustomGrid::SetEditText(int, int, const std::string &) { }

std::string TCustomGrid::GetEditMask(int, int)
{
    return {};
}

int TCustomGrid::GetEditLimit()
{
    return 0;
}

bool TCustomGrid::EditorMode() const
{
    return g->editorMode;
}

void TCustomGrid::SetEditorMode(bool on)
{
    if (on == g->editorMode && (!on || (g->editor && g->editor->Visible())))
        return;
    if (on) {
        g->editorMode = true;
        ShowEditor();
        if (!(g->editor && g->editor->Visible()))
            g->editorMode = false;
    } else if (!g->options.Contains(goAlwaysShowEditor))
        HideEditor();
}

void TCustomGrid::ShowEditor()
{
    g->editorMode = true;
    if (!CanEditShow()) {
        g->editorMode = g->options.Contains(goAlwaysShowEditor) && g->editorMode;
        return;
    }
    if (!g->editor) {
        g->editor = CreateEditor();
        g->editor->grid_ = this;
        g->editor->SetParent(this);
    }
    TRect r = CellRect(g->current.X, g->current.Y);
    if (r.IsEmpty())
        return;
    g->editor->UpdateContents();
    g->editor->Move(r);
    if (Focused())
        g->editor->SetFocus();
    g->editor->SelectAll();
}

void TCustomGrid::ShowEditorChar(char32_t ch)
{
    ShowEditor();
    if (g->editor && g->editor->Visible()) {
        g->editor->SetFocus();
        g->editor->Perform(WM_CHAR, ch, 0);
    }
}

void TCustomGrid::HideEditor()
{
    g->editorMode = false;
    if (!g->editor || !g->editor->Visible())
        return;
    bool hadFocus = g->editor->Focused();
    g->editor->Hide();
    if (hadFocus && CanFocus())
        SetFocus();
}

void TCustomGrid::InvalidateEditor()
{
    if (g->editor && g->editor->Visible()) {
        g->editor->UpdateContents();
        g->editor->SelectAll();
    }
}

void TCustomGrid::UpdateEdit()
{
    if (!g->editor || !g->editor->Visible())
        return;
    TRect r = CellRect(g->current.X, g->current.Y);
    if (r.IsEmpty() || !CanEditShow())
        return HideEditor();
    g->editor->Move(r);
    // A visible editor follows the current cell.
    g->editor->UpdateContents();
}

// ---- Keys ------------------------------------------------------------------------------------

bool TCustomGrid::WantsKey(uint16_t key) const
{
    return key == VK_RETURN || key == VK_ESCAPE;
}

void TCustomGrid::KeyDown(uint16_t &key, TShiftState shift)
{
    TCustomControl::KeyDown(key, shift);
    if (key == 0)
        return;
    bool rowSelect = g->options.Contains(goRowSelect);
    bool ctrl = shift.Contains(ssCtrl);
    bool extend = shift.Contains(ssShift) && g->options.Contains(goRangeSelect) && !rowSelect;
    TGridCoord target = g->current;
    int visible = VisibleRowCount();
    switch (key) {
    case VK_UP:
        --target.Y;
        break;
    case VK_DOWN:
        ++target.Y;
        break;
    case VK_LEFT:
        if (rowSelect)
            return SetLeftCol(g->topLeft.X - 1), void(key = 0);
        --target.X;
        break;
    case VK_RIGHT:
        if (rowSelect)
            return SetLeftCol(g->topLeft.X + 1), void(key = 0);
        ++target.X;
        break;
    case VK_PRIOR:
        target.Y -= visible;
        SetTopRow(std::max(g->fixedRows, g->topLeft.Y - visible));
        break;
    case VK_NEXT:
        target.Y += visible;
        SetTopRow(std::min(MaxTopLeft().Y, g->topLeft.Y + visible));
        break;
    case VK_HOME:
        if (ctrl)
            target.Y = g->fixedRows;
        target.X = g->fixedCols;
        break;
    case VK_END:
        if (ctrl)
            target.Y = g->rowCount - 1;
        target.X = g->colCount - 1;
        break;
    case VK_TAB:
        if (!g->options.Contains(goTabs) || shift.Contains(ssAlt))
            return;
        {
            // The next column with a tab stop, wrapping to the next or previous row.
            bool back = shift.Contains(ssShift);
            TGridCoord c = g->current;
            for (int steps = 0; steps < g->colCount * g->rowCount; ++steps) {
                if (back) {
                    if (--c.X < g->fixedCols) {
                        c.X = g->colCount - 1;
                        if (--c.Y < g->fixedRows)
                            c.Y = g->rowCount - 1;
                    }
                } else if (++c.X >= g->colCount) {
                    c.X = g->fixedCols;
                    if (++c.Y >= g->rowCount)
                        c.Y = g->fixedRows;
                }
                if (c == g->current)
                    break;
                if (TabStops(c.X)) {
                    target = c;
                    break;
                }
            }
            extend = false;
        }
        break;
    case VK_F2:
        SetEditorMode(true);
        key = 0;
        return;
    default:
        return;
    }
    key = 0;
    target.X = std::clamp(target.X, g->fixedCols, g->colCount - 1);
    target.Y = std::clamp(target.Y, g->fixedRows, g->rowCount - 1);
    if (!(target == g->current))
        MoveColRow(target.X, target.Y, !extend, true);
}

void TCustomGrid::KeyPress(char32_t &key)
{
    TCustomControl::KeyPress(key);
    if (key == 0)
        return;
    if (!g->options.Contains(goAlwaysShowEditor) && key == 13) {
        if (g->editor && g->editor->Visible())
            HideEditor();
        else
            SetEditorMode(true);
        key = 0;
        return;
    }
    if (g->options.Contains(goEditing) && key >= 32 && key != 127 && !(g->editor && g->editor->Focused())) {
        if (!CanEditAcceptKey(key)) {
            MessageBeep(0);
            key = 0;
            return;
        }
        g->editorMode = true;
        ShowEditor();
        if (g->editor && g->editor->Visible()) {
            // The whole text is selected: the typed character replaces it.
            g->editor->SetFocus();
            g->editor->Perform(WM_CHAR, key, 0);
        }
        key = 0;
    }
}

// ---- Mouse ----------------------------------------------------------------------------------

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (CanFocus() && !Focused() && !(g->editor && g->editor->Focused()))
        SetFocus();
    if (button == mbLeft && !shift.Contains(ssDouble)) {
        int border = -1;
        TGridCoord cell = MouseCoord(x, y);
        if (g->options.Contains(goColSizing) && ColBorderAt(x, y, border)) {
            g->state = gsColSizing;
            g->sizingCol = border;
            g->sizingStartX = x;
            g->sizingStartWidth = g->ColWidth(border);
            SetMouseCapture(true);
        } else if (cell.X >= 0 && cell.Y >= 0 && cell.Y < g->fixedRows && cell.X >= g->fixedCols
            && g->options.Contains(goColMoving)) {
            g->state = gsColMoving;
            g->moveFrom = g->moveTo = cell.X;
            g->moved = false;
            g->sizingStartX = x;
            SetMouseCapture(true);
        } else if (cell.X >= g->fixedCols && cell.Y >= g->fixedRows) {
            if (g->options.Contains(goEditing) && cell == g->current)
                ShowEditor();
            else {
                bool extend = shift.Contains(ssShift) && g->options.Contains(goRangeSelect);
                MoveColRow(cell.X, cell.Y, !extend, true);
                g->state = gsSelecting;
                SetMouseCapture(true);
            }
        }
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y)
{
    switch (g->state) {
    case gsColSizing: {
        int width = std::max(MinColWidth, g->sizingStartWidth + (x - g->sizingStartX));
        if (width != g->ColWidth(g->sizingCol)) {
            if (g->colWidths.empty())
                g->colWidths.assign(g->colCount, g->defaultColWidth);
            g->colWidths[g->sizingCol] = width;
            Invalidate();
            UpdateEdit();
        }
        break;
    }
    case gsColMoving: {
        if (std::abs(x - g->sizingStartX) > 2)
            g->moved = true;
        TGridCoord cell = MouseCoord(x, ClientRect().Top + 1);
        if (cell.X >= g->fixedCols)
            g->moveTo = cell.X;
        break;
    }
    case gsSelecting: {
        TGridCoord cell = MouseCoord(x, y);
        if (cell.X >= g->fixedCols && cell.Y >= g->fixedRows && !(cell == g->current))
            MoveColRow(cell.X, cell.Y, !g->options.Contains(goRangeSelect), true);
        break;
    }
    default:
        break;
    }
    TCustomControl::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGridState state = std::exchange(g->state, gsNormal);
    SetMouseCapture(false);
    if (state == gsColSizing)
        ColWidthsChanged();
    else if (state == gsColMoving && g->moved && g->moveTo != g->moveFrom)
        MoveColumn(g->moveFrom, g->moveTo);
    TCustomControl::MouseUp(button, shift, x, y);
}

// ---- TDrawGrid ------------------------------------------------------------------------------

TDrawGrid::TDrawGrid(TComponent *owner)
    : TCustomGrid(owner)
{
}

void TDrawGrid::DrawCell(int col, int row, const TRect &rect, TGridDrawState state)
{
    OnDrawCell(this, col, row, rect, state);
}

bool TDrawGrid::SelectCell(int col, int row)
{
    bool can = true;
    OnSelectCell(this, col, row, can);
    return can;
}

std::string TDrawGrid::GetEditText(int col, int row)
{
    std::string text;
    OnGetEditText(this, col, row, text);
    return text;
}

void TDrawGrid::SetEditText(int col, int row, const std::string &value)
{
    OnSetEditText(this, col, row, value);
}

void TDrawGrid::ColumnMoved(int fromIndex, int toIndex)
{
    OnColumnMoved(this, fromIndex, toIndex);
}

void TDrawGrid::RowMoved(int fromIndex, int toIndex)
{
    OnRowMoved(this, fromIndex, toIndex);
}

void TDrawGrid::TopLeftChanged()
{
    TCustomGrid::TopLeftChanged();
    OnTopLeftChanged(this);
}

// ---- TStringGrid ----------------------------------------------------------------------------

TStringGrid::TStringGrid(TComponent *owner)
    : TDrawGrid(owner)
{
    Fit();
}

TStringGrid::~TStringGrid() = default;

void TStringGrid::Fit()
{
    cells_.resize(RowCount());
    for (auto &row : cells_)
        row.resize(ColCount());
}

std::string TStringGrid::Cells(int col, int row) const
{
    if (row < 0 || row >= static_cast<int>(cells_.size()) || col < 0 || col >= static_cast<int>(cells_[row].size()))
        return {};
    return cells_[row][col].text;
}

void TStringGrid::SetCells(int col, int row, const std::string &text)
{
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount())
        throw EInvalidGridOperation("Grid index out of range");
    cells_[row][col].text = text;
    InvalidateCell(col, row);
}

TObject *TStringGrid::Objects(int col, int row) const
{
    if (row < 0 || row >= static_cast<int>(cells_.size()) || col < 0 || col >= static_cast<int>(cells_[row].size()))
        return nullptr;
    return cells_[row][col].object;
}

void TStringGrid::SetObjects(int col, int row, TObject *object)
{
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount())
        throw EInvalidGridOperation("Grid index out of range");
    cells_[row][col].object = object;
}

std::vector<std::string> TStringGrid::Cols(int col) const
{
    std::vector<std::string> texts;
    for (int r = 0; r < RowCount(); ++r)
        texts.push_back(Cells(col, r));
    return texts;
}

void TStringGrid::SetCols(int col, const std::vector<std::string> &texts)
{
    for (int r = 0; r < RowCount() && r < static_cast<int>(texts.size()); ++r)
        SetCells(col, r, texts[r]);
}

std::vector<std::string> TStringGrid::Rows(int row) const
{
    std::vector<std::string> texts;
    for (int c = 0; c < ColCount(); ++c)
        texts.push_back(Cells(c, row));
    return texts;
}

void TStringGrid::SetRows(int row, const std::vector<std::string> &texts)
{
    for (int c = 0; c < ColCount() && c < static_cast<int>(texts.size()); ++c)
        SetCells(c, row, texts[c]);
}

void TStringGrid::DrawCell(int col, int row, const TRect &rect, TGridDrawState state)
{
    if (DefaultDrawing() && !OnDrawCell)
        Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, Cells(col, row));
    TDrawGrid::DrawCell(col, row, rect, state);
}

std::string TStringGrid::GetEditText(int col, int row)
{
    std::string text = Cells(col, row);
    OnGetEditText(this, col, row, text);
    return text;
}

void TStringGrid::SetEditText(int col, int row, const std::string &value)
{
    if (row >= 0 && row < RowCount() && col >= 0 && col < ColCount())
        cells_[row][col].text = value;
    InvalidateCell(col, row);
    TDrawGrid::SetEditText(col, row, value);
}

void TStringGrid::ColumnMoved(int fromIndex, int toIndex)
{
    for (auto &row : cells_) {
        Cell cell = row[fromIndex];
        row.erase(row.begin() + fromIndex);
        row.insert(row.begin() + toIndex, cell);
    }
    TDrawGrid::ColumnMoved(fromIndex, toIndex);
}

void TStringGrid::RowMoved(int fromIndex, int toIndex)
{
    auto row = cells_[fromIndex];
    cells_.erase(cells_.begin() + fromIndex);
    cells_.insert(cells_.begin() + toIndex, row);
    TDrawGrid::RowMoved(fromIndex, toIndex);
}

void TStringGrid::SizeChanged(int oldColCount, int oldRowCount)
{
    Fit();
    TDrawGrid::SizeChanged(oldColCount, oldRowCount);
}
