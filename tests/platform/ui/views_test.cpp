// The common controls' page control, tree view and list view, and the
// shell's folder browser, driven with real clicks, keys and wheel turns.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/imglist.h"
#include "platform/ui/shlobj.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testing.h"

namespace
{

class Views : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 50, 500, 400);
        form->Show();
    }
    std::unique_ptr<TForm> form;
};

// Paths and Spanish words are typed with keys that have no letter key of
// their own; none of their characters is lost.
TEST_F(Views, AnEditTakesEveryCharacterTyped)
{
    auto *edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetFocus();
    TypeText(edit, "C:\\Año;Ñandú|x");
    EXPECT_EQ(edit->Text(), "C:\\Año;Ñandú|x");
}

// ---- Page control

TEST_F(Views, APageControlShowsOnlyTheActiveSheetAndItsVisibleTabs)
{
    auto *pages = new TPageControl(form.get());
    pages->SetParent(form.get());
    pages->SetBounds(10, 10, 300, 200);
    std::vector<TTabSheet *> sheets;
    for (const char *caption : { "Typical", "Compact", "Full", "Custom" }) {
        auto *sheet = new TTabSheet(form.get());
        sheet->SetPageControl(pages);
        sheet->SetCaption(caption);
        sheets.push_back(sheet);
    }
    pages->HandleNeeded();
    ProcessPendingEvents();
    EXPECT_EQ(pages->PageCount(), 4);
    EXPECT_EQ(pages->ActivePage(), sheets[0]) << "the first sheet is active until told otherwise";
    EXPECT_TRUE(sheets[0]->Visible());
    EXPECT_FALSE(sheets[1]->Visible());
    // The sheet covers the page area, below the tabs.
    EXPECT_GT(sheets[0]->Top(), pages->TabRect(0).Bottom - 1);
    EXPECT_GT(sheets[0]->Width(), 250);

    sheets[1]->SetTabVisible(false);
    EXPECT_EQ(sheets[1]->TabIndex(), -1);
    EXPECT_EQ(sheets[2]->TabIndex(), 1) << "a hidden tab leaves no gap";
    EXPECT_EQ(sheets[1]->PageIndex(), 1) << "but the page keeps its place";

    std::vector<std::string> journal;
    bool allow = true;
    pages->OnChanging = [&](TObject *, bool &allowChange) {
        journal.push_back("changing from " + pages->ActivePage()->Caption());
        allowChange = allow;
    };
    pages->OnChange = [&](TObject *) { journal.push_back("now " + pages->ActivePage()->Caption()); };

    const TRect full = pages->TabRect(1);
    ClickControl(pages, (full.Left + full.Right) / 2, (full.Top + full.Bottom) / 2);
    EXPECT_EQ(pages->ActivePage(), sheets[2]);
    EXPECT_TRUE(sheets[2]->Visible());
    EXPECT_FALSE(sheets[0]->Visible());

    allow = false;
    const TRect typical = pages->TabRect(0);
    ClickControl(pages, (typical.Left + typical.Right) / 2, (typical.Top + typical.Bottom) / 2);
    EXPECT_EQ(pages->ActivePage(), sheets[2]) << "a refused change stays";

    pages->SetActivePage(sheets[1]);
    EXPECT_TRUE(sheets[1]->Visible()) << "code may show a page whose tab is hidden";
    EXPECT_EQ(pages->ActivePageIndex(), 1);
    EXPECT_EQ(journal, (std::vector<std::string> { "changing from Typical", "now Full", "changing from Full" }))
        << "a program's change runs no event";

    delete sheets[1];
    EXPECT_EQ(pages->PageCount(), 3);
    EXPECT_NE(pages->ActivePage(), nullptr) << "another page takes over from a freed active one";
}

// ---- Tree view

class TreeColumns : public Views
{
protected:
    void SetUp() override
    {
        Views::SetUp();
        tree = new TTreeView(form.get());
        tree->SetParent(form.get());
        tree->SetBounds(10, 10, 300, 160);
        tree->AddColumn("", 20);
        tree->AddColumn("", -1);
        tree->AddColumn("", 93, taRightJustify);
        tree->SetTreeColumn(1);
        tree->SetCheckColumn(0);
        tree->SetCheckBoxes(true);
        root = tree->Items()->AddChild(nullptr, "Product");
        for (int i = 0; i < 40; ++i) {
            TTreeNode *node = tree->Items()->AddChild(root, "Group " + std::to_string(i));
            node->SetColumnText(2, std::to_string(i * 1000) + " Bytes");
            node->SetChecked(i % 2 == 0);
        }
        root->Expand(false);
        tree->OnCheckStateChanged = [this](TObject *, TTreeNode *node) {
            changed.push_back(node->Text() + (node->Checked() ? " on" : " off"));
        };
        tree->HandleNeeded();
        tree->SetFocus();
        ProcessPendingEvents();
    }
    // A click on the check box cell of the row where node is drawn now.
    void ClickCheckOf(TTreeNode *node)
    {
        const TRect row = node->DisplayRect(false);
        ASSERT_GT(row.Height(), 0) << node->Text() << " is not shown";
        ClickControl(tree, 10, (row.Top + row.Bottom) / 2);
    }
    TTreeView *tree = nullptr;
    TTreeNode *root = nullptr;
    std::vector<std::string> changed;
};

TEST_F(TreeColumns, ChecksAndSizesAreCellsOfTheirRowsThroughEveryScroll)
{
    TTreeNode *first = root->Item(0);
    EXPECT_EQ(first->ColumnText(2), "0 Bytes");
    EXPECT_EQ(first->Text(), "Group 0");
    ClickCheckOf(first);
    EXPECT_FALSE(first->Checked());

    // End goes to the last row and scrolls; the cells went along.
    PressKey(tree, VK_END);
    TTreeNode *last = root->Item(39);
    EXPECT_EQ(tree->Selected(), last);
    EXPECT_NE(tree->TopItem(), root) << "the tree scrolled";
    ClickCheckOf(last);
    EXPECT_TRUE(last->Checked());

    // The wheel scrolls back up; the row under the mouse is the node's own.
    WheelControl(tree, 3);
    TTreeNode *top = tree->TopItem();
    ASSERT_NE(top, nullptr);
    ASSERT_NE(top, tree->Items()->GetFirstNode()->GetNext()->GetNext()->GetNext()) << "moved by the wheel";
    TTreeNode *shown = top == root ? root->Item(0) : top;
    const bool before = shown->Checked();
    ClickCheckOf(shown);
    EXPECT_NE(shown->Checked(), before);

    // Home, Page Down and the arrows move the selection; Space ticks it.
    PressKey(tree, VK_HOME);
    EXPECT_EQ(tree->Selected(), root);
    PressKey(tree, VK_DOWN);
    PressKey(tree, VK_NEXT);
    TTreeNode *paged = tree->Selected();
    ASSERT_NE(paged, nullptr);
    ASSERT_NE(paged, root->Item(0));
    const bool pagedBefore = paged->Checked();
    PressKey(tree, VK_SPACE, U' ');
    EXPECT_NE(paged->Checked(), pagedBefore);

    ASSERT_EQ(changed.size(), 4u);
    EXPECT_EQ(changed[0], "Group 0 off");
    EXPECT_EQ(changed[1], "Group 39 on");
    EXPECT_EQ(changed[3], paged->Text() + (pagedBefore ? " off" : " on"));
}

TEST_F(TreeColumns, TwoQuickClicksOnACheckBoxTickItAndClearItAgain)
{
    TTreeNode *node = root->Item(1);
    ASSERT_FALSE(node->Checked());
    const TRect row = node->DisplayRect(false);
    DoubleClickControl(tree, 10, (row.Top + row.Bottom) / 2);
    EXPECT_FALSE(node->Checked());
    EXPECT_EQ(changed, (std::vector<std::string> { "Group 1 on", "Group 1 off" }));
}

TEST_F(TreeColumns, AChoiceThatIsNotAllowedCannotBeTickedAndProgramsAreSilent)
{
    TTreeNode *node = root->Item(1);
    node->SetCheckEnabled(false);
    ClickCheckOf(node);
    EXPECT_FALSE(node->Checked());
    tree->SetSelected(node);
    PressKey(tree, VK_SPACE, U' ');
    EXPECT_FALSE(node->Checked());
    node->SetChecked(true);
    EXPECT_TRUE(node->Checked());
    EXPECT_TRUE(changed.empty()) << "only the user's ticks are reported";
}

TEST_F(TreeColumns, SelectionExpansionAndDeletionAreReported)
{
    std::vector<std::string> journal;
    tree->OnChange = [&](TObject *, TTreeNode *node) { journal.push_back("select " + (node ? node->Text() : "none")); };
    tree->OnCollapsed = [&](TObject *, TTreeNode *node) { journal.push_back("collapse " + node->Text()); };
    tree->OnExpanded = [&](TObject *, TTreeNode *node) { journal.push_back("expand " + node->Text()); };
    const TRect row = root->Item(2)->DisplayRect(true);
    ClickControl(tree, row.Left + 5, (row.Top + row.Bottom) / 2);
    EXPECT_EQ(tree->Selected(), root->Item(2));
    PressKey(tree, VK_HOME);
    PressKey(tree, VK_LEFT);
    EXPECT_FALSE(root->Expanded());
    EXPECT_FALSE(root->Item(5)->IsVisible());
    EXPECT_EQ(root->Item(5)->DisplayRect(false).Height(), 0);
    PressKey(tree, VK_RIGHT);
    EXPECT_TRUE(root->Expanded());
    tree->SetSelected(root->Item(3));
    root->Item(3)->Delete();
    EXPECT_EQ(tree->Selected(), nullptr);
    EXPECT_EQ(root->Count(), 39);
    EXPECT_EQ(tree->Items()->Count(), 40);
    EXPECT_EQ(journal, (std::vector<std::string> { "select Group 2", "select Product", "collapse Product",
                           "expand Product", "select Group 3" }));
    tree->Items()->Clear();
    EXPECT_EQ(tree->Items()->Count(), 0);
}

TEST_F(TreeColumns, NodesOutliveARemadeWindow)
{
    root->Item(4)->SetChecked(true);
    tree->SetSelected(root->Item(4));
    tree->RecreateWnd();
    ProcessPendingEvents();
    EXPECT_TRUE(root->Expanded());
    EXPECT_TRUE(root->Item(4)->Checked());
    EXPECT_EQ(tree->Selected(), root->Item(4));
}

// ---- List view

TEST_F(Views, AReportListShowsCaptionsSubItemsAndImagesPerRow)
{
    auto *images = new TImageList(form.get());
    TBitmap bitmap;
    bitmap.SetSize(16, 16);
    bitmap.Canvas()->Brush()->SetColor(clRed);
    bitmap.Canvas()->FillRect({ 0, 0, 16, 16 });
    EXPECT_EQ(images->Add(&bitmap), 0);
    EXPECT_EQ(images->Add(&bitmap), 1);
    EXPECT_EQ(images->Count(), 2);

    auto *list = new TListView(form.get());
    list->SetParent(form.get());
    list->SetBounds(10, 10, 300, 100);
    list->SetViewStyle(vsReport);
    list->SetSmallImages(images);
    list->SetStateImages(images);
    list->AddColumn("", 50);
    list->AddColumn("Space Required:", 120, taRightJustify);
    list->Items()->BeginUpdate();
    for (const char *drive : { "C", "D", "E", "F", "G", "H" }) {
        TListItem *item = list->Items()->Add();
        item->SetCaption(drive);
        item->SubItems()->Add(std::string(drive) + " bytes");
        item->SetImageIndex(0);
        item->SetStateIndex(drive[0] == 'D' ? 1 : -1);
    }
    list->Items()->EndUpdate();
    list->HandleNeeded();
    ProcessPendingEvents();
    EXPECT_EQ(list->Items()->Count(), 6);
    EXPECT_EQ(list->Items()->Item(1)->SubItems()->Strings(0), "D bytes");
    const TRect first = list->ItemRect(0), second = list->ItemRect(1);
    EXPECT_GT(first.Height(), 15);
    EXPECT_EQ(second.Top, first.Bottom) << "one row under the other";
    delete images;
    EXPECT_EQ(list->SmallImages(), nullptr) << "a freed image list is forgotten";
}

// ---- The shell's folder browser

class FolderBrowser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = std::filesystem::path(std::getenv("WINROOT")) / "browse";
        std::filesystem::create_directories(root_ / "c" / "Program Files" / "ORVEX");
        std::filesystem::create_directories(root_ / "c" / "WINDOWS");
        std::filesystem::create_directories(root_ / "d");
        // Drive X: is the folder x below the test's root.
        SetPathMapper([root = root_](std::string_view path, TPathFound *) {
            std::string p(path);
            for (char &c : p)
                if (c == '\\')
                    c = '/';
            if (p.size() >= 2 && p[1] == ':')
                return (root / std::string(1, static_cast<char>(std::tolower(p[0])))).string() + p.substr(2);
            return p;
        });
    }
    void TearDown() override { SetPathMapper(nullptr); }
    std::filesystem::path root_;
};

TEST_F(FolderBrowser, SelectsByNameWithoutRegardToCaseAndAnswersTheChosenFolder)
{
    std::vector<std::string> seen;
    BROWSEINFO info;
    info.lpszTitle = "Choose a folder";
    info.lpfn = [&](HWND window, uint32_t msg, LPARAM lParam, LPARAM data) {
        EXPECT_EQ(data, 7);
        if (msg == BFFM_INITIALIZED) {
            seen.push_back("init");
            EXPECT_EQ(SendMessage(window, BFFM_SETSELECTION, 1, reinterpret_cast<LPARAM>("c:\\PROGRAM FILES\\orvex\\missing")), 0);
            EXPECT_EQ(SendMessage(window, BFFM_SETSELECTION, 1, reinterpret_cast<LPARAM>("relative\\folder")), 0);
            EXPECT_EQ(SendMessage(window, BFFM_SETSELECTION, 1, reinterpret_cast<LPARAM>("c:\\PROGRAM FILES\\orvex")), 1);
            QueueCall([window] {
                auto *browser = static_cast<TCustomForm *>(FindControl(window));
                TButton *ok = nullptr;
                for (int i = 0; i < browser->ControlCount(); ++i)
                    if (auto *button = dynamic_cast<TButton *>(browser->Controls(i)); button && !ok)
                        ok = button;
                ASSERT_NE(ok, nullptr);
                EXPECT_TRUE(ok->Enabled());
                ClickControl(ok);
            });
        } else if (msg == BFFM_SELCHANGED) {
            seen.push_back(reinterpret_cast<const ITEMIDLIST *>(lParam)->Path);
        }
        return 0;
    };
    info.lParam = 7;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolder(info);
    ASSERT_NE(chosen, nullptr);
    std::string path;
    EXPECT_TRUE(SHGetPathFromIDList(chosen, path));
    ILFree(chosen);
    EXPECT_EQ(path, "C:\\Program Files\\ORVEX") << "the folder's own case";
    EXPECT_EQ(info.DisplayName, "ORVEX");
    EXPECT_EQ(seen, (std::vector<std::string> { "init", "C:\\Program Files\\ORVEX" }));
}

TEST_F(FolderBrowser, ListsTheDrivesThatExistAndCancelAnswersNothing)
{
    std::vector<std::string> drives;
    BROWSEINFO info;
    info.lpfn = [&](HWND window, uint32_t msg, LPARAM, LPARAM) {
        if (msg != BFFM_INITIALIZED)
            return 0;
        auto *browser = static_cast<TCustomForm *>(FindControl(window));
        for (int i = 0; i < browser->ControlCount(); ++i)
            if (auto *tree = dynamic_cast<TCustomTreeView *>(browser->Controls(i)))
                for (TTreeNode *node = tree->Items()->GetFirstNode(); node; node = node->GetNextSibling())
                    drives.push_back(node->Text());
        QueueCall([browser] { PressKey(browser->ActiveControl(), VK_ESCAPE, U'\x1b'); });
        return 0;
    };
    EXPECT_EQ(SHBrowseForFolder(info), nullptr);
    EXPECT_EQ(drives, (std::vector<std::string> { "C:", "D:" }));
}

} // namespace
