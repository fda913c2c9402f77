#include "platform/ui/grids.h"

#include "testform.h"

#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace
{

struct GridForm {
    std::unique_ptr<TForm, FormDeleter> form { new TForm(nullptr) };
    TStringGrid *grid = nullptr;

    explicit GridForm(int cols = 5, int rows = 20)
    {
        form->SetBounds(0, 0, 420, 300);
        grid = new TStringGrid(form.get());
        grid->SetParent(form.get());
        grid->SetBounds(10, 10, 340, 200);
        grid->SetColCount(cols);
        grid->SetRowCount(rows);
        grid->SetDefaultRowHeight(18);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                grid->SetCells(c, r, std::to_string(c) + ":" + std::to_string(r));
        form->Show();
        form->SetActiveControl(grid);
        ProcessPendingEvents();
    }
    TPoint Centre(int col, int row) const
    {
        TRect r = grid->CellRect(col, row);
        return { (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2 };
    }
    void Key(uint16_t vk, char32_t ch = 0, TShiftState shift = {})
    {
        TWinControl *target = FocusedControl();
        PressKey(target ? target : grid, vk, ch, shift);
    }
};

TEST(Grids, CellGeometryCountsFixedCellsLinesAndScrolling)
{
    GridForm f;
    // bsSingle leaves a two-pixel frame; each line is one pixel.
    EXPECT_EQ(f.grid->CellRect(0, 0), (TRect { 2, 2, 66, 20 }));
    EXPECT_EQ(f.grid->CellRect(1, 1), (TRect { 67, 21, 131, 39 }));
    TGridCoord hit = f.grid->MouseCoord(70, 25);
    EXPECT_EQ(hit, (TGridCoord { 1, 1 }));
    EXPECT_EQ(f.grid->MouseCoord(500, 25), (TGridCoord { -1, -1 }));

    f.grid->SetTopRow(5);
    EXPECT_EQ(f.grid->CellRect(1, 1), TRect {}) << "a row scrolled out has no rectangle";
    EXPECT_EQ(f.grid->CellRect(1, 5).Top, 21) << "the first scrolling row sits below the fixed one";
    EXPECT_EQ(f.grid->CellRect(0, 0).Top, 2) << "fixed rows stay";
    EXPECT_GT(f.grid->VisibleRowCount(), 5);
    EXPECT_LT(f.grid->VisibleRowCount(), 12);
}

TEST(Grids, ArrowKeysMoveTheCurrentCellAndStopAtTheEdges)
{
    GridForm f;
    EXPECT_EQ(f.grid->Col(), 1);
    EXPECT_EQ(f.grid->Row(), 1);
    f.Key(VK_DOWN);
    f.Key(VK_RIGHT);
    EXPECT_EQ(f.grid->Col(), 2);
    EXPECT_EQ(f.grid->Row(), 2);
    f.Key(VK_LEFT);
    f.Key(VK_LEFT);
    f.Key(VK_UP);
    f.Key(VK_UP);
    EXPECT_EQ(f.grid->Col(), 1) << "fixed columns are never current";
    EXPECT_EQ(f.grid->Row(), 1);
    f.Key(VK_END, 0, { ssCtrl });
    EXPECT_EQ(f.grid->Col(), 4);
    EXPECT_EQ(f.grid->Row(), 19);
    EXPECT_GT(f.grid->TopRow(), 1) << "the last row was scrolled into view";
    TRect last = f.grid->CellRect(4, 19);
    EXPECT_FALSE(last.IsEmpty());
    EXPECT_LE(last.Bottom, f.grid->ClientRect().Bottom);
    f.Key(VK_HOME, 0, { ssCtrl });
    EXPECT_EQ(f.grid->Row(), 1);
    EXPECT_EQ(f.grid->TopRow(), 1);
}

TEST(Grids, PageDownMovesByTheVisibleRows)
{
    GridForm f;
    int visible = f.grid->VisibleRowCount();
    f.Key(VK_NEXT);
    EXPECT_EQ(f.grid->Row(), 1 + visible);
    EXPECT_EQ(f.grid->TopRow(), 1 + visible);
    f.Key(VK_PRIOR);
    EXPECT_EQ(f.grid->Row(), 1);
}

TEST(Grids, TabWrapsToTheNextRowAndSkipsColumnsWithoutTabStops)
{
    GridForm f;
    f.grid->SetOptions(f.grid->Options() + TGridOptions { goTabs });
    f.grid->SetTabStops(3, false);
    f.Key(VK_TAB);
    EXPECT_EQ(f.grid->Col(), 2);
    f.Key(VK_TAB);
    EXPECT_EQ(f.grid->Col(), 4) << "column 3 has no tab stop";
    f.Key(VK_TAB);
    EXPECT_EQ(f.grid->Col(), 1);
    EXPECT_EQ(f.grid->Row(), 2);
    f.Key(VK_TAB, 0, { ssShift });
    EXPECT_EQ(f.grid->Col(), 4);
    EXPECT_EQ(f.grid->Row(), 1);
    EXPECT_EQ(FocusedControl(), f.grid) << "the focus stays in the grid";

    // Without goTabs the key leaves the grid's cells alone.
    f.grid->SetOptions(f.grid->Options() - TGridOptions { goTabs });
    int col = f.grid->Col();
    f.Key(VK_TAB);
    EXPECT_EQ(f.grid->Col(), col);
}

TEST(Grids, ClickSelectsAndShiftClickSelectsARange)
{
    GridForm f;
    TPoint p = f.Centre(2, 3);
    ClickControl(f.grid, p.X, p.Y);
    EXPECT_EQ(f.grid->Col(), 2);
    EXPECT_EQ(f.grid->Row(), 3);
    TPoint q = f.Centre(3, 5);
    ClickControl(f.grid, q.X, q.Y, { ssShift });
    EXPECT_EQ(f.grid->Selection(), (TGridRect { 2, 3, 3, 5 }));
    // A click on a fixed cell changes nothing.
    TPoint fixed = f.Centre(0, 4);
    ClickControl(f.grid, fixed.X, fixed.Y);
    EXPECT_EQ(f.grid->Col(), 3);
}

TEST(Grids, DraggingAColumnBorderSizesTheColumn)
{
    GridForm f;
    f.grid->SetOptions(f.grid->Options() + TGridOptions { goColSizing });
    TRect title = f.grid->CellRect(1, 0);
    int y = (title.Top + title.Bottom) / 2;
    MouseDownOn(f.grid, title.Right, y);
    MouseMoveOn(f.grid, title.Right + 30, y);
    MouseUpOn(f.grid, title.Right + 30, y);
    EXPECT_EQ(f.grid->ColWidths(1), 94);
    // Not below one pixel, however far the mouse goes.
    MouseDownOn(f.grid, f.grid->CellRect(1, 0).Right, y);
    MouseMoveOn(f.grid, 0, y);
    MouseUpOn(f.grid, 0, y);
    EXPECT_EQ(f.grid->ColWidths(1), 1);
}

TEST(Grids, DraggingATitleMovesTheColumnWithItsCells)
{
    GridForm f;
    f.grid->SetOptions(f.grid->Options() + TGridOptions { goColMoving });
    std::vector<std::pair<int, int>> moves;
    f.grid->OnColumnMoved = [&](TObject *, int from, int to) { moves.emplace_back(from, to); };
    TPoint from = f.Centre(1, 0), to = f.Centre(3, 0);
    MouseDownOn(f.grid, from.X, from.Y);
    MouseMoveOn(f.grid, (from.X + to.X) / 2, from.Y);
    MouseMoveOn(f.grid, to.X, to.Y);
    MouseUpOn(f.grid, to.X, to.Y);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(1, 3));
    EXPECT_EQ(f.grid->Cells(3, 2), "1:2");
    EXPECT_EQ(f.grid->Cells(1, 2), "2:2");
    // A press and release without moving is no move.
    MouseDownOn(f.grid, from.X, from.Y);
    MouseUpOn(f.grid, from.X, from.Y);
    EXPECT_EQ(moves.size(), 1u);
}

TEST(Grids, TypingOpensTheEditorAndWritesTheCell)
{
    GridForm f;
    f.grid->SetOptions(f.grid->Options() + TGridOptions { goEditing });
    f.Key('X', U'x');
    TInplaceEdit *editor = f.grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->Visible());
    EXPECT_EQ(FocusedControl(), editor);
    EXPECT_EQ(editor->Text(), "x") << "the typed character replaces the text";
    TypeText(editor, "yz");
    EXPECT_EQ(f.grid->Cells(1, 1), "xyz");
    // Down leaves the editor and moves on; the editor follows.
    f.Key(VK_DOWN);
    EXPECT_EQ(f.grid->Row(), 2);
    EXPECT_EQ(f.grid->Cells(1, 1), "xyz");
    // Enter closes the editor and gives the focus back to the grid.
    f.Key(VK_F2);
    EXPECT_TRUE(editor->Visible());
    EXPECT_EQ(editor->Text(), "1:2");
    f.Key(VK_RETURN, U'\r');
    EXPECT_FALSE(editor->Visible());
    EXPECT_EQ(FocusedControl(), f.grid);
}

TEST(Grids, WithoutEditingTypingChangesNothing)
{
    GridForm f;
    f.Key('X', U'x');
    EXPECT_EQ(f.grid->InplaceEditor(), nullptr);
    EXPECT_EQ(f.grid->Cells(1, 1), "1:1");
}

TEST(Grids, OwnerDrawnCellsGetTheirStateAndShowWhatWasDrawn)
{
    GridForm f(3, 4);
    std::vector<std::pair<TGridCoord, TGridDrawState>> drawn;
    f.grid->OnDrawCell = [&](TObject *, int col, int row, TRect rect, TGridDrawState state) {
        drawn.push_back({ { col, row }, state });
        if (col == 2 && row == 2) {
            f.grid->Canvas()->Brush()->SetColor(clRed);
            f.grid->Canvas()->FillRect(rect);
        }
    };
    f.grid->Repaint();
    ProcessPendingEvents();
    auto stateOf = [&](int col, int row) {
        for (auto it = drawn.rbegin(); it != drawn.rend(); ++it)
            if (it->first == TGridCoord { col, row })
                return it->second;
        ADD_FAILURE() << "cell " << col << "," << row << " not drawn";
        return TGridDrawState {};
    };
    EXPECT_TRUE(stateOf(0, 0).Contains(gdFixed));
    EXPECT_TRUE(stateOf(1, 1).Contains(gdFocused));
    EXPECT_FALSE(stateOf(2, 2).Contains(gdSelected));
    TPoint p = f.Centre(2, 2);
    EXPECT_EQ(PixelOf(f.grid, p.X, p.Y), clRed);
    // An owner-drawn grid leaves the text out.
    EXPECT_EQ(f.grid->Cells(2, 2), "2:2");
}

TEST(Grids, TheScrollBarScrollsTheRows)
{
    GridForm f;
    f.grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(f.grid->TopRow(), 2);
    f.grid->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(f.grid->TopRow(), f.grid->MaxTopLeft().Y);
    EXPECT_FALSE(f.grid->CellRect(1, 19).IsEmpty());
    f.grid->Perform(WM_VSCROLL, MakeLParam(SB_THUMBPOSITION, 3), 0);
    EXPECT_EQ(f.grid->TopRow(), 4);
    f.grid->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(f.grid->TopRow(), 1);
    EXPECT_EQ(f.grid->Row(), 1) << "scrolling leaves the current cell";
}

TEST(Grids, ScreenshotOfAStringGrid)
{
    GridForm f;
    f.grid->SetOptions(f.grid->Options() + TGridOptions { goEditing });
    f.grid->SetCells(0, 0, "");
    f.grid->SetCells(1, 0, "Nombre");
    f.grid->SetCells(2, 0, "Ciudad");
    TPoint p = f.Centre(2, 3);
    ClickControl(f.grid, p.X, p.Y);
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/platform_ui_stringgrid.png";
    EXPECT_GT(SaveScreenshot(f.form.get(), path), 1000);
}

} // namespace
