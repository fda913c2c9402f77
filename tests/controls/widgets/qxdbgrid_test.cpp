#include "controls/widgets/qxdbgrid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "controls/base/Qxcommon.h"
#include "controls/base/Qxintl.h"
#include "controls/base/qxdbedit.h"
#include "controls/data/Qxdatsrc.h"
#include "controls/data/Qxdbsets.h"
#include "controls/widgets/qxdbcomb.h"
#include "controls/widgets/qxdbdatetimepicker.h"
#include "controls/widgets/qxmemo.h"
#include "controls/widgets/qxriched.h"
#include "tests/controls/widgets/modal_script.h"
#include "platform/ui/clipbrd.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/imglist.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

// A table that publishes the library's lists, so the grid takes it for one
// of the library's datasets.
class TListedTable : public TTable
{
public:
    using TTable::TTable;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TStrings *ControlType() const { return controlType_.get(); }
    TStrings *PictureMasks() const { return masks_.get(); }
    int RecordCount() override
    {
        ++Counted;
        return TTable::RecordCount();
    }
    int RecNo() override
    {
        ++Numbered;
        return TTable::RecNo();
    }
    TqxInvalidValueEvent OnInvalidValue;
    int Counted = 0; // how often the records were counted
    int Numbered = 0; // and the current record's number asked

private:
    std::unique_ptr<TStringList> controlType_ = std::make_unique<TStringList>();
    std::unique_ptr<TStringList> masks_ = std::make_unique<TStringList>();
};
const TMetaClass TListedTable::Class { "TListedTable", &TTable::Class };
const TClassRegistrar<TListedTable> listedRegistrar({
    TPublish<TListedTable>::Strings("ControlType", &TListedTable::ControlType),
    TPublish<TListedTable>::Strings("PictureMasks", &TListedTable::PictureMasks),
    TPublish<TListedTable>::Event("OnInvalidValue", &TListedTable::OnInvalidValue),
});

// The grid with the protected parts the tests look at.
class TTestGrid : public TqxDBGrid
{
public:
    using TqxDBGrid::TqxDBGrid;
    using TqxDBGrid::IsSelectedRow;
    using TqxDBGrid::LayoutChanged;
    using TqxCustomDBGrid::WMVScroll;
    using TqxCustomDBGrid::VertScrollPos;
    using TqxDBGrid::GetFieldText;
};

std::string BitmapBytes(int w, int h, TColor color)
{
    TBitmap bitmap;
    bitmap.SetSize(w, h);
    bitmap.Canvas()->Brush()->SetColor(color);
    bitmap.Canvas()->FillRect({ 0, 0, w, h });
    std::string path = (std::filesystem::temp_directory_path() / ("orvex-grid-" + std::to_string(getpid()) + ".bmp")).string();
    bitmap.SaveToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::filesystem::remove(path);
    return bytes.str();
}

// The bytes as an SQL blob literal's hex digits.
std::string Hex(const std::string &bytes)
{
    static const char *digits = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes)
        hex += digits[c >> 4], hex += digits[c & 15];
    return hex;
}

// A number of its own for every test's folder and database name.
int NextTestNumber()
{
    static int n = 0;
    return ++n;
}

// A grid over the items table of a database file of its own per test.
template <class TTableClass, class TSourceClass> class GridOver : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const int n = NextTestNumber();
        dir = std::filesystem::temp_directory_path() / ("orvex-grid-" + std::to_string(getpid()) + "-" + std::to_string(n));
        std::filesystem::create_directories(dir);
        file = (dir / "items.db").string();
        CreateDatabaseFile(file);
        db = std::make_unique<TDatabase>(nullptr);
        db->SetDatabaseName("grid-" + std::to_string(n));
        db->Params()->Add("PATH=" + file);
        db->Execute("CREATE TABLE items (Id INTEGER PRIMARY KEY, Name VARCHAR(20), Amount FLOAT, Done VARCHAR(1), "
                    "Day DATETIME, Notes MEMO, Pic BLOB, Icon INTEGER)");
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, 1000, 360);
        table = new TTableClass(form.get());
        table->SetDatabaseName(file);
        table->SetTableName("items");
        source = new TSourceClass(form.get());
        source->SetDataSet(table);
        grid = new TTestGrid(form.get());
        grid->SetParent(form.get());
        grid->SetBounds(8, 8, 980, 300);
    }
    void TearDown() override
    {
        form.reset();
        db.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    void AddRows(int count)
    {
        db->Execute("BEGIN");
        for (int i = 1; i <= count; ++i)
            db->Execute("INSERT INTO items (Id, Name, Amount, Done, Notes, Icon) VALUES (" + std::to_string(i)
                + ", 'Name " + std::to_string(i) + "', " + std::to_string(i * 1.5) + ", 'N', 'note " + std::to_string(i)
                + "', " + std::to_string(i % 3) + ")");
        db->Execute("COMMIT");
    }
    void Open()
    {
        table->Open();
        grid->SetDataSource(source);
        form->Show();
        form->SetActiveControl(grid);
        ProcessPendingEvents();
    }
    TPoint Centre(int col, int row)
    {
        TRect r = grid->CellRect(col, row);
        return { (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2 };
    }
    void Key(uint16_t vk, char32_t ch = 0, TShiftState shift = {})
    {
        TWinControl *target = FocusedControl();
        PressKey(target ? target : grid, vk, ch, shift);
    }
    // Each character goes where the focus is when it is typed, as with a person at the keyboard.
    void Type(const std::string &text)
    {
        for (char c : text)
            TypeText(FocusedControl() ? FocusedControl() : grid, std::string(1, c));
    }
    TField *F(const char *name) { return table->FieldByName(name); }
    int ColOf(const char *name)
    {
        for (int c = 0; c < grid->ColumnCount(); ++c)
            if (grid->Columns(c)->FieldName() == name)
                return c + grid->IndicatorOffset();
        return -1;
    }
    void GoToCell(const char *field)
    {
        TPoint p = Centre(ColOf(field), grid->Row());
        ClickControl(grid, p.X, p.Y);
    }
    // An image list owned by the form: one 16 x 16 square of each colour.
    TImageList *AddImages(std::initializer_list<TColor> colors)
    {
        auto *images = new TImageList(form.get());
        for (TColor color : colors) {
            TBitmap square;
            square.SetSize(16, 16);
            square.Canvas()->Brush()->SetColor(color);
            square.Canvas()->FillRect({ 0, 0, 16, 16 });
            images->Add(&square);
        }
        return images;
    }
    // A control on the form below the grid, named so that a ControlType line
    // can put it into a cell.
    template <class T> T *AddCellControl(const std::string &name)
    {
        auto *control = new T(form.get());
        control->SetName(name);
        control->SetParent(form.get());
        control->SetBounds(8, 320, 100, 24);
        return control;
    }
    // The Done cells edited by a combo that shows Yes and No for Y and N.
    TqxDBComboBox *AddDoneCombo()
    {
        auto *combo = AddCellControl<TqxDBComboBox>("DoneCombo");
        combo->SetMapList(true);
        combo->Items()->Add("Yes\tY");
        combo->Items()->Add("No\tN");
        table->ControlType()->Add("Done;Combo;DoneCombo");
        return combo;
    }

    std::filesystem::path dir;
    std::string file;
    std::unique_ptr<TDatabase> db;
    std::unique_ptr<TForm> form;
    TTableClass *table = nullptr;
    TSourceClass *source = nullptr;
    TTestGrid *grid = nullptr;
};

// Over a table that only publishes the library's lists.
class DBGrid : public GridOver<TListedTable, TDataSource>
{
};

// ---- Layout ---------------------------------------------------------------------------------

TEST_F(DBGrid, SelectedLinesLayTheColumnsOutAndAreKeptInStep)
{
    AddRows(5);
    grid->SetUseTFields(false);
    grid->Selected()->Add("Name\t10\tCustomer\tT");
    grid->Selected()->Add("Missing\t5\tNobody");
    grid->Selected()->Add("Amount\t8\tImporte~en euros");
    Open();
    ASSERT_EQ(grid->ColumnCount(), 2);
    EXPECT_EQ(grid->Selected()->Count(), 2) << "the line of a missing field is deleted";
    EXPECT_EQ(grid->ColCount(), 3) << "the indicator and two data columns";
    const int zero = grid->Canvas()->TextWidth("0");
    EXPECT_EQ(grid->ColWidths(1), std::max(10 * zero + 4, grid->Canvas()->TextWidth("Customer") + 4));
    // A title in two pieces is measured by its wider piece.
    EXPECT_EQ(grid->ColWidths(2), std::max(8 * zero + 4, grid->Canvas()->TextWidth("en euros") + 4));
    EXPECT_FALSE(grid->TabStops(1)) << "\"T\" makes the column read-only";
    EXPECT_TRUE(grid->TabStops(2));

    // The read-only column takes no typing.
    GoToCell("Name");
    Key('X', U'x');
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(F("Name")->AsString(), "Name 1");

    // Moving a column moves its line.
    std::vector<std::pair<int, int>> moves;
    grid->OnColumnMoved = [&](TObject *, int from, int to) { moves.emplace_back(from, to); };
    TPoint a = Centre(1, 0), b = Centre(2, 0);
    MouseDownOn(grid, a.X, a.Y);
    MouseMoveOn(grid, a.X + 10, a.Y);
    MouseMoveOn(grid, b.X, b.Y);
    MouseUpOn(grid, b.X, b.Y);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(0, 1));
    EXPECT_EQ(grid->Selected()->Strings(0), "Amount\t8\tImporte~en euros");
    EXPECT_EQ(grid->Columns(1)->FieldName(), "Name");
}

TEST_F(DBGrid, AWidthThatIsNoNumberRaisesAndTheLayoutStillRunsAfterwards)
{
    AddRows(2);
    grid->SetUseTFields(false);
    grid->Selected()->Add("Name\twide\tCustomer");
    table->Open();
    form->Show();
    EXPECT_THROW(grid->SetDataSource(source), EConvertError);
    grid->Selected()->SetStrings(0, "Name\t12\tCustomer");
    grid->LayoutChanged();
    EXPECT_EQ(grid->ColWidths(1), std::max(12 * grid->Canvas()->TextWidth("0") + 4, grid->Canvas()->TextWidth("Customer") + 4))
        << "a guard left up would skip this layout";
}

TEST_F(DBGrid, PropertyBoundsAndAPlainTableIsRefused)
{
    grid->SetRowHeightPercent(0);
    EXPECT_EQ(grid->RowHeightPercent(), 100);
    grid->SetTitleLines(0);
    EXPECT_EQ(grid->TitleLines(), 1);
    grid->SetFooterHeight(-5);
    EXPECT_EQ(grid->FooterHeight(), 0);

    AddRows(1);
    ScriptedMessageBoxes boxes;
    auto *plain = new TTable(form.get());
    plain->SetDatabaseName(file);
    plain->SetTableName("items");
    plain->Open();
    auto *plainSource = new TDataSource(form.get());
    plainSource->SetDataSet(plain);
    form->Show();
    grid->SetDataSource(plainSource);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "qxGrid must use an Lumino compatible TDataSet.");
    EXPECT_EQ(grid->DataSource(), nullptr);
}

TEST_F(DBGrid, TheGridReadsOnlyTheRowsItShows)
{
    AddRows(500);
    Open();
    EXPECT_GT(grid->DataLink()->BufferCount(), 5);
    EXPECT_LT(grid->DataLink()->BufferCount(), 30);
    EXPECT_EQ(grid->RowCount(), grid->DataLink()->RecordCount() + 1);
    Key(VK_END, 0, { ssCtrl });
    EXPECT_EQ(F("Id")->AsInteger(), 500);
    EXPECT_EQ(grid->Row(), grid->RowCount() - 1) << "the last record sits on the last row";
    Key(VK_PRIOR);
    EXPECT_EQ(F("Id")->AsInteger(), 500 - grid->DataLink()->BufferCount());
}

// ---- Editing --------------------------------------------------------------------------------

TEST_F(DBGrid, EditingACellFiresOnFieldChangedOncePerChangedValue)
{
    AddRows(3);
    Open();
    std::vector<std::string> changed;
    grid->OnFieldChanged = [&](TObject *, TField *field) { changed.push_back(field->FieldName()); };
    GoToCell("Name");
    Key(VK_F2);
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    EXPECT_TRUE(grid->InplaceEditor()->Visible());
    Key(VK_RETURN, U'\r'); // the same text: no change
    EXPECT_TRUE(changed.empty());
    Type("Zed");
    Key(VK_DOWN);
    EXPECT_EQ(changed, std::vector<std::string>({ "Name" }));
    table->First();
    EXPECT_EQ(F("Name")->AsString(), "Zed");
    EXPECT_EQ(table->State(), dsBrowse) << "moving to the next record posted the edit";
}

TEST_F(DBGrid, ADateWithTheMonthByNameIsStoredWithoutRaising)
{
    AddRows(1);
    // Without the picker the date is typed into the in-place editor.
    grid->SetEditControlOptions({ ecoSearchOwnerForm, ecoDisableDateTimePicker });
    Open();
    GoToCell("Day");
    Type("J");
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    grid->InplaceEditor()->SetText("Jan/12/2020"); // as pasted
    Key(VK_TAB);
    table->Post();
    uint16_t y, m, d, h, mi, s, ms;
    DecodeDate(F("Day")->AsDateTime(), y, m, d);
    DecodeTime(F("Day")->AsDateTime(), h, mi, s, ms);
    EXPECT_EQ(y, 2020);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 12);
    EXPECT_EQ(h, 0) << "the general conversion rejects the text: no time, and no error";
    EXPECT_EQ(mi, 0);
}

TEST_F(DBGrid, DownOnTheLastRecordAppendsOnlyWithAllowInsert)
{
    AddRows(2);
    Open();
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(table->State(), dsInsert);
    // Escape in the untouched new record cancels it without a question.
    ScriptedMessageBoxes boxes;
    Key(VK_ESCAPE);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(table->RecordCount(), 2);

    grid->SetKeyOptions({ dgAllowDelete });
    table->Last();
    Key(VK_DOWN);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(F("Id")->AsInteger(), 2);
}

TEST_F(DBGrid, EscapeAsksBeforeDroppingAChangedRecord)
{
    AddRows(2);
    Open();
    GoToCell("Name");
    Type("Changed");
    Key(VK_TAB); // written into the record, not posted
    EXPECT_EQ(table->State(), dsEdit);
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    Key(VK_ESCAPE);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Discard changes to this record?");
    EXPECT_EQ(table->State(), dsEdit);
    boxes.Answer(IDYES);
    Key(VK_ESCAPE);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(F("Name")->AsString(), "Name 1");
}

TEST_F(DBGrid, TabWalksTheColumnsAndWrapsToTheNextRecord)
{
    AddRows(3);
    grid->SetUseTFields(false);
    grid->Selected()->Add("Id\t4\tId");
    grid->Selected()->Add("Name\t10\tName");
    grid->Selected()->Add("Amount\t8\tAmount");
    Open();
    EXPECT_EQ(grid->SelectedIndex(), 0);
    Key(VK_TAB);
    Key(VK_TAB);
    EXPECT_EQ(grid->SelectedIndex(), 2);
    Key(VK_TAB);
    EXPECT_EQ(grid->SelectedIndex(), 0);
    EXPECT_EQ(F("Id")->AsInteger(), 2);
    Key(VK_TAB, 0, { ssShift });
    EXPECT_EQ(grid->SelectedIndex(), 2);
    EXPECT_EQ(F("Id")->AsInteger(), 1);
}

TEST_F(DBGrid, CtrlDeleteAsksAndDeletes)
{
    AddRows(3);
    Open();
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDCANCEL);
    Key(VK_DELETE, 0, { ssCtrl });
    EXPECT_EQ(boxes.Last().Text, "Delete record?");
    EXPECT_EQ(table->RecordCount(), 3);
    boxes.Answer(IDOK);
    Key(VK_DELETE, 0, { ssCtrl });
    EXPECT_EQ(table->RecordCount(), 2);
    EXPECT_EQ(F("Id")->AsInteger(), 2);
}

TEST_F(DBGrid, AnEmptyBrowseDatasetWithoutAllowInsertCannotBeEdited)
{
    grid->SetKeyOptions({});
    Open();
    Key('X', U'x');
    EXPECT_EQ(table->State(), dsBrowse);
    Key(VK_INSERT);
    EXPECT_EQ(table->State(), dsBrowse);
}

// ---- The in-place editor's picture ----------------------------------------------------------

TEST_F(DBGrid, APictureMaskCompletesRefusesWithABeepAndReports)
{
    AddRows(1);
    table->PictureMasks()->Add("Name\t###\tT\tT");
    Open();
    std::vector<bool> reports;
    grid->OnCheckValue = [&](TObject *, bool passes) { reports.push_back(passes); };
    GoToCell("Name");
    Key(VK_F2);
    EXPECT_EQ(reports, std::vector<bool>({ false })) << "the stored text fails its picture";
    auto *editor = dynamic_cast<TqxInplaceEdit *>(grid->InplaceEditor());
    ASSERT_NE(editor, nullptr);
    editor->SetText("");
    reports.clear();
    BeepCounter beeps;
    TypeText(editor, "12");
    TypeText(editor, "3");
    EXPECT_EQ(editor->Text(), "123");
    EXPECT_EQ(editor->SelStart(), 3);
    EXPECT_EQ(reports.back(), true);
    EXPECT_EQ(beeps.Count(), 0);
    // A letter at the end beeps and keeps the text.
    int before = static_cast<int>(reports.size());
    TypeText(editor, "a");
    EXPECT_EQ(editor->Text(), "123");
    EXPECT_EQ(beeps.Count(), 1);
    EXPECT_EQ(static_cast<int>(reports.size()), before) << "no event after a beep";
    // In the middle it is left to the edit and reported as failing.
    editor->SetSelStart(1);
    editor->SetSelLength(0);
    TypeText(editor, "b");
    EXPECT_EQ(editor->Text(), "1b23");
    EXPECT_EQ(reports.back(), false);
    // Leaving the cell with a failing text is refused.
    EXPECT_THROW(grid->SelectField(2), EInvalidOperation);
    EXPECT_EQ(grid->SelectedField()->FieldName(), "Name");
}

// ---- Check boxes, pictures and images ---------------------------------------------------------

TEST_F(DBGrid, SpaceTogglesACheckBoxWhateverTheCaseOfItsText)
{
    AddRows(2);
    db->Execute("UPDATE items SET Done = 'y' WHERE Id = 1");
    table->ControlType()->Add("Done;CheckBox;Y;N");
    Open();
    GoToCell("Done");
    TPoint p = Centre(ColOf("Done"), 1);
    TRect cell = grid->CellRect(ColOf("Done"), 1);
    // Drawn checked: the mark's black pixels sit inside the box.
    const int L = (cell.Left + cell.Right - 10) / 2, T = (cell.Top + cell.Bottom - 10) / 2;
    grid->Repaint();
    ProcessPendingEvents();
    EXPECT_EQ(PixelOf(grid, L + 2, T + 5), clBlack) << "\"y\" counts as the checked \"Y\"";
    (void)p;
    Key(VK_SPACE, U' ');
    EXPECT_EQ(F("Done")->AsString(), "N") << "checked text compared without case: now unchecked";
    Key(VK_SPACE, U' ');
    EXPECT_EQ(F("Done")->AsString(), "Y");
    EXPECT_EQ(grid->InplaceEditor() ? grid->InplaceEditor()->Visible() : false, false) << "no editor over a check box";
}

TEST_F(DBGrid, BrokenPicturesAndImageIndexesPastTheListDrawTheBackgroundOnly)
{
    AddRows(3);
    std::string good = BitmapBytes(20, 12, clRed);
    std::string truncated = good.substr(0, good.size() / 3);
    db->Execute("UPDATE items SET Icon = 7 WHERE Id = 2");
    auto setBlob = [&](int id, const std::string &bytes) {
        db->Execute("UPDATE items SET Pic = X'" + Hex(bytes) + "' WHERE Id = " + std::to_string(id));
    };
    setBlob(1, good);
    setBlob(2, truncated);
    setBlob(3, std::string("\x01\x00\x00\x01\x04\x00\x00\x00BMxx", 12)); // a header that lies about a tiny body
    table->ControlType()->Add("Pic;Bitmap;Stretch To Fit;Source Copy");
    table->ControlType()->Add("Icon;ImageIndex;Shrink To Fit");
    grid->SetImageList(AddImages({ clBlue, clBlue }));
    grid->SetUseTFields(false);
    grid->Selected()->Add("Pic\t6\tPic");
    grid->Selected()->Add("Icon\t6\tIcon");
    grid->SetRowHeightPercent(200);
    Open();
    int errors = 0;
    Application->OnException = [&](TObject *, Exception &) { ++errors; };
    grid->Repaint();
    ProcessPendingEvents();
    Application->OnException.Clear();
    EXPECT_EQ(errors, 0);
    auto centre = [&](const char *field, int row) { return Centre(ColOf(field), row); };
    TPoint pic1 = centre("Pic", 1), pic2 = centre("Pic", 2), pic3 = centre("Pic", 3);
    EXPECT_EQ(PixelOf(grid, pic1.X, pic1.Y), clRed);
    EXPECT_EQ(PixelOf(grid, pic2.X, pic2.Y), ColorToRGB(clWindow)) << "a truncated bitmap draws the background";
    EXPECT_EQ(PixelOf(grid, pic3.X, pic3.Y), ColorToRGB(clWindow));
    TPoint icon1 = centre("Icon", 2), icon2 = centre("Icon", 3);
    EXPECT_EQ(PixelOf(grid, icon1.X, icon1.Y), ColorToRGB(clWindow)) << "index 7 of a list of two draws nothing";
    EXPECT_EQ(PixelOf(grid, icon2.X, icon2.Y), clBlue) << "record 3 shows image 0";
    TPoint icon1st = centre("Icon", 1);
    EXPECT_EQ(PixelOf(grid, icon1st.X, icon1st.Y), clBlue) << "record 1 shows image 1";
}

// ---- Multi-selection and title buttons --------------------------------------------------------

TEST_F(DBGrid, CtrlClickTogglesAndShiftClickSelectsTheRangeFromTheAnchor)
{
    AddRows(8);
    grid->SetOptions(grid->Options() + TqxDBGridOptions { dgMultiSelect });
    grid->SetMultiSelectOptions({ msoShiftSelect });
    Open();
    int offered = 0;
    grid->OnMultiSelectRecord = [&](TObject *, bool selecting, bool &) { offered += selecting ? 1 : 0; };
    TPoint r2 = Centre(1, 2), r5 = Centre(1, 5);
    ClickControl(grid, r2.X, r2.Y, { ssCtrl });
    EXPECT_EQ(grid->SelectedCount(), 1);
    ClickControl(grid, r5.X, r5.Y, { ssShift });
    EXPECT_EQ(grid->SelectedCount(), 4) << "records 2 to 5";
    EXPECT_EQ(F("Id")->AsInteger(), 5);
    EXPECT_TRUE(grid->IsSelectedRow(2));
    EXPECT_FALSE(grid->IsSelectedRow(0));
    EXPECT_FALSE(grid->IsSelectedRow(999)) << "a row the cache does not hold reads as not selected";
    EXPECT_FALSE(grid->IsSelectedRow(-1));
    ClickControl(grid, r2.X, r2.Y, { ssCtrl });
    EXPECT_EQ(grid->SelectedCount(), 3);
    EXPECT_GE(offered, 4);
}

TEST_F(DBGrid, ATitleButtonClicksOnReleaseOverTheSameTitle)
{
    AddRows(2);
    grid->SetTitleButtons(true);
    Open();
    std::vector<std::string> clicks;
    grid->OnTitleButtonClick = [&](TObject *, const std::string &field) { clicks.push_back(field); };
    TPoint t = Centre(2, 0);
    ClickControl(grid, t.X, t.Y);
    EXPECT_EQ(clicks, std::vector<std::string>({ "Name" }));
    MouseDownOn(grid, t.X, t.Y);
    TPoint other = Centre(4, 0);
    MouseMoveOn(grid, other.X, other.Y);
    MouseUpOn(grid, other.X, other.Y);
    EXPECT_EQ(clicks.size(), 1u) << "a drag is no click";
    EXPECT_EQ(table->Fields(1)->FieldName(), "Amount") << "the dragged field moved";
}

// ---- Scroll bar ---------------------------------------------------------------------------------

TEST_F(DBGrid, TheScrollBarMovesByRecordsAndLeavesAnEmptyTableAlone)
{
    Open();
    grid->Perform(WM_VSCROLL, MakeLParam(SB_THUMBPOSITION, 100), 0);
    EXPECT_EQ(table->State(), dsBrowse) << "nothing to move to";
    table->Close();
    AddRows(201);
    table->Open();
    grid->Perform(WM_VSCROLL, MakeLParam(SB_THUMBPOSITION, 100), 0);
    EXPECT_EQ(F("Id")->AsInteger(), 101);
    grid->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(F("Id")->AsInteger(), 201);
    grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(table->State(), dsBrowse) << "the scroll bar never appends";
    grid->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(F("Id")->AsInteger(), 1);
}

// ---- Memo dialog ----------------------------------------------------------------------------

class MemoDialog : public DBGrid
{
};

TEST_F(MemoDialog, EscapeAsksYesDropsTheTextCtrlEnterWritesIt)
{
    AddRows(1);
    Open();
    TqxMemoDialog dialog(form.get());
    dialog.SetDataSource(source);
    dialog.SetDataField("Notes");
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    boxes.Answer(IDYES);
    QueueCall([&] {
        TMemo *memo = dialog.Form()->Memo;
        EXPECT_TRUE(dialog.Form()->CancelBtn->Visible());
        memo->SetFocus();
        TypeText(memo, "x");
        PressKey(memo, VK_ESCAPE); // asked on closing: No, keep editing
        QueueCall([&] {
            ASSERT_NE(dialog.Form(), nullptr);
            EXPECT_EQ(boxes.Count(), 1);
            PressKey(dialog.Form()->Memo, VK_ESCAPE); // asked again: Yes
        });
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_EQ(boxes.Last().Text, "Changes have been made!  Are you sure you wish to cancel?");
    EXPECT_EQ(F("Notes")->AsString(), "note 1");

    QueueCall([&] {
        TMemo *memo = dialog.Form()->Memo;
        memo->SetText("written");
        PressKey(memo, VK_RETURN, 0, { ssCtrl });
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(boxes.Count(), 2) << "no question after OK";
    table->Post();
    EXPECT_EQ(F("Notes")->AsString(), "written");
}

TEST_F(MemoDialog, AReadOnlyFieldMakesItViewOnly)
{
    AddRows(1);
    Open();
    F("Notes")->SetReadOnly(true);
    TqxMemoDialog dialog(form.get());
    dialog.SetDataSource(source);
    dialog.SetDataField("Notes");
    QueueCall([&] {
        TqxMemoDlg *dlg = dialog.Form();
        EXPECT_TRUE(dlg->Memo->ReadOnly());
        EXPECT_FALSE(dlg->CancelBtn->Visible());
        // OK centred under the memo.
        EXPECT_EQ(dlg->OKBtn->Left(), dlg->Memo->Width() / 2 + dlg->Memo->Left() - dlg->CancelBtn->Width() / 2);
        dlg->Memo->SetText("lost?");
        dlg->OKBtnClick(dlg);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(table->State(), dsBrowse) << "a view-only dialog writes nothing";
    EXPECT_EQ(F("Notes")->AsString(), "note 1");
}

TEST_F(MemoDialog, AMissingFieldRaisesBeforeTheFormShows)
{
    AddRows(1);
    Open();
    TqxMemoDialog dialog(form.get());
    EXPECT_ANY_THROW({
        dialog.SetDataField("Nope");
        dialog.SetDataSource(source);
        dialog.Execute();
    });
    EXPECT_EQ(dialog.Form(), nullptr);
}

TEST_F(MemoDialog, OnlyTheSecondUserButtonShowsAtFifteen)
{
    TqxMemoDialog dialog(form.get());
    dialog.SetUserButton2Caption("Insertar");
    int clicks = 0;
    dialog.OnUserButton2Click = [&](TqxMemoDlg *, TMemo *) { ++clicks; };
    QueueCall([&] {
        TqxMemoDlg *dlg = dialog.Form();
        EXPECT_TRUE(dlg->UserButtonPanel->Visible());
        EXPECT_FALSE(dlg->UserButton1->Visible());
        EXPECT_EQ(dlg->UserButton2->Left(), 15);
        ClickControl(dlg->UserButton2);
        dlg->OKBtnClick(dlg);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(clicks, 1);
}

TEST_F(DBGrid, MemoCellsShowTheirMarkerAndF2OpensTheDialog)
{
    AddRows(2);
    Open();
    grid->Repaint();
    GoToCell("Notes");
    std::string shown;
    grid->OnDrawDataCell = [&](TObject *, const TRect &, TField *field, TGridDrawState) {
        if (field->FieldName() == "Notes")
            shown = "drawn";
    };
    int opened = 0, closedCancelled = -1;
    TqxMemoDialog *running = nullptr;
    grid->OnMemoOpen = [&](TObject *, TqxMemoDialog *dialog) {
        ++opened;
        running = dialog;
        EXPECT_EQ(dialog->DataField(), "Notes");
        EXPECT_EQ(dialog->DlgLeft(), -1);
    };
    grid->OnMemoClose = [&](TObject *, bool cancelled) { closedCancelled = cancelled ? 1 : 0; };
    QueueCall([&] {
        ASSERT_NE(running, nullptr);
        TqxMemoDlg *dlg = running->Form();
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->Memo->Text(), "note 1");
        dlg->SetModalResult(mrCancel);
    });
    Key(VK_F2);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closedCancelled, 1);
}

TEST_F(DBGrid, TheScrollBarCountsTheRecordsAgainOnlyWhenTheDatasetChanged)
{
    AddRows(101);
    Open();
    grid->Perform(WM_VSCROLL, MakeLParam(SB_THUMBPOSITION, 100), 0);
    ASSERT_EQ(F("Id")->AsInteger(), 51);
    EXPECT_EQ(grid->VertScrollPos(), 100);
    const int counted = table->Counted;
    Key(VK_NEXT);
    Key(VK_PRIOR);
    Key(VK_DOWN);
    Key(VK_UP);
    EXPECT_EQ(table->Counted, counted) << "moving through the records does not count them again";
    EXPECT_EQ(grid->VertScrollPos(), 100);
    // Half the records go: record 51 is now the last one.
    db->Execute("DELETE FROM items WHERE Id > 51");
    table->Refresh();
    Key(VK_UP);
    Key(VK_DOWN);
    EXPECT_EQ(F("Id")->AsInteger(), 51);
    EXPECT_EQ(grid->VertScrollPos(), 200) << "the count is taken again after the change";
}

TEST_F(DBGrid, TheScrollBarFollowsEveryWayOfMovingWithoutAskingTheRecordNumber)
{
    AddRows(300);
    grid->SetKeyOptions({});
    Open();
    std::srand(23);
    const struct {
        uint16_t key;
        TShiftState shift;
    } moves[] = { { VK_NEXT, {} }, { VK_PRIOR, {} }, { VK_DOWN, {} }, { VK_UP, {} }, { VK_NEXT, { ssCtrl } },
        { VK_PRIOR, { ssCtrl } }, { VK_END, { ssCtrl } }, { VK_HOME, { ssCtrl } } };
    int asked = 0, jumps = 0;
    for (int step = 0; step < 160; ++step) {
        const int pick = std::rand() % 20;
        const int before = table->Numbered;
        if (pick < 12)
            Key(moves[pick % 4].key, 0, moves[pick % 4].shift);
        else if (pick < 18)
            Key(moves[4 + pick % 2].key, 0, moves[4 + pick % 2].shift);
        else if (pick == 18)
            ++jumps, Key(moves[6 + std::rand() % 2].key, 0, moves[6 + std::rand() % 2].shift);
        else
            ++jumps, grid->SetHeight(120 + std::rand() % 200); // another number of rows
        ProcessPendingEvents();
        asked += table->Numbered - before;
        const int expected = table->Bof() ? 0
            : table->Eof()                ? 200
                                          : (table->RecNo() - 1) * 200 / (table->RecordCount() - 1);
        ASSERT_EQ(grid->VertScrollPos(), expected) << "step " << step << ", record " << F("Id")->AsInteger();
    }
    EXPECT_LE(asked, jumps + 1) << "the number is asked again only after a jump or a new window";
}

// ---- The record indicator -------------------------------------------------------------------

TEST_F(DBGrid, TheIndicatorShowsTheBitmapOfTheDatasetState)
{
    AddRows(3);
    Open();
    // Each pixel of the indicator cell is the glyph's black or the cell's colour.
    auto matches = [&](const char *name, TColor ink, TColor back) {
        TBitmap glyph;
        glyph.LoadFromResourceName(name);
        grid->Repaint();
        ProcessPendingEvents();
        const TRect cell = grid->CellRect(0, grid->Row());
        const int x0 = (cell.Right - glyph.Width()) / 2 + 1, y0 = (cell.Top + cell.Bottom - glyph.Height()) / 2;
        int wrong = 0;
        for (int y = 0; y < glyph.Height(); ++y)
            for (int x = 0; x < glyph.Width(); ++x) {
                TColor want = glyph.Canvas()->Pixels(x, y) == clBlack ? ink : back;
                wrong += PixelOf(grid, x0 + x, y0 + y) != want;
            }
        return wrong;
    };
    const TColor face = ColorToRGB(clBtnFace);
    EXPECT_EQ(matches("QXDBGARROW", clBlack, face), 0) << "browse state: the arrow";
    GoToCell("Name");
    Type("x");
    ASSERT_EQ(table->State(), dsEdit);
    EXPECT_EQ(matches("QXDBEDIT", clBlack, face), 0) << "edit state";
    EXPECT_GT(matches("QXDBGARROW", clBlack, face), 0) << "and no longer the arrow";
    Key(VK_ESCAPE);
    Key(VK_ESCAPE);
    table->Append();
    ProcessPendingEvents();
    EXPECT_EQ(matches("QXDBINSERT", clBlack, face), 0) << "insert state";
    table->Cancel();
    grid->SetIndicatorColor(icYellow);
    EXPECT_EQ(matches("QXDBGARROW", clYellow, face), 0) << "yellow on the cell's colour";
}

// ---- Cell controls --------------------------------------------------------------------------

TEST_F(DBGrid, ADateCellIsEditedInTheGridsPickerAndTabHandsTheKeyBack)
{
    TFormatSettingsScope spanish { SpanishFormatSettings() };
    AddRows(3);
    db->Execute("UPDATE items SET Day = 36922"); // 2001-01-31
    int created = 0;
    grid->OnCreateDateTimePicker = [&](TObject *sender, TqxDBCustomDateTimePicker *picker) {
        ++created;
        EXPECT_EQ(sender, grid);
        EXPECT_EQ(picker, grid->DateTimePicker());
    };
    Open();
    EXPECT_EQ(grid->DateTimePicker(), nullptr) << "made on first need";
    GoToCell("Day");
    ProcessPendingEvents();
    TqxDBCustomDateTimePicker *picker = grid->DateTimePicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(picker->Parent(), grid);
    EXPECT_EQ(grid->CellControl(), picker);
    EXPECT_TRUE(picker->Visible());
    const TRect cell = grid->CellRect(ColOf("Day"), grid->Row());
    EXPECT_EQ(picker->BoundsRect(), cell) << "placed over the current cell";
    EXPECT_EQ(picker->Text(), "31/01/2001");
    EXPECT_FALSE(grid->InplaceEditor() && grid->InplaceEditor()->Visible()) << "no in-place editor over a date";

    // Typing in the grid goes on in the picker, part by part.
    Key('1', U'1');
    EXPECT_EQ(FocusedControl(), picker);
    Key('5', U'5');
    EXPECT_EQ(picker->Text(), "15/01/2001");
    EXPECT_EQ(table->State(), dsEdit);
    // Tab goes back to the grid, which writes the value and moves on.
    Key(VK_TAB, U'\t');
    EXPECT_EQ(grid->SelectedField()->FieldName(), "Notes");
    EXPECT_EQ(FocusedControl(), grid);
    EXPECT_FALSE(picker->Visible());
    table->Post();
    EXPECT_EQ(F("Day")->AsDateTime(), EncodeDate(2001, 1, 15));

    // On the next record the picker shows that record's date; Alt+Down drops its calendar.
    Key(VK_TAB, U'\t', { ssShift });
    Key(VK_DOWN);
    ProcessPendingEvents();
    EXPECT_EQ(F("Id")->AsInteger(), 2);
    EXPECT_TRUE(picker->Visible());
    EXPECT_EQ(picker->BoundsRect(), grid->CellRect(ColOf("Day"), grid->Row()));
    EXPECT_EQ(picker->Text(), "31/01/2001");
    Key(VK_DOWN, 0, { ssAlt });
    ProcessPendingEvents();
    EXPECT_TRUE(picker->DroppedDown());
    EXPECT_EQ(created, 1) << "one picker for all date cells";
    PressKey(picker, VK_ESCAPE);
}

TEST_F(DBGrid, APickerOverAReadOnlyColumnTakesNoTypingAndCanBeSwitchedOff)
{
    TFormatSettingsScope spanish { SpanishFormatSettings() };
    AddRows(2);
    db->Execute("UPDATE items SET Day = 36922");
    grid->SetUseTFields(false);
    grid->Selected()->Add("Name\t10\tName");
    grid->Selected()->Add("Day\t10\tDay\tT");
    Open();
    GoToCell("Day");
    ProcessPendingEvents();
    TqxDBCustomDateTimePicker *picker = grid->DateTimePicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->ReadOnly());
    Key('1', U'1');
    Key('2', U'2');
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(F("Day")->AsDateTime(), EncodeDate(2001, 1, 31));

    // Without the picker the date is a cell like any other.
    Key(VK_ESCAPE);
    GoToCell("Name");
    grid->SetEditControlOptions({ ecoSearchOwnerForm, ecoDisableDateTimePicker });
    grid->Selected()->SetStrings(1, "Day\t10\tDay");
    grid->LayoutChanged();
    GoToCell("Day");
    ProcessPendingEvents();
    EXPECT_FALSE(picker->Visible());
    Key(VK_F2);
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    EXPECT_TRUE(grid->InplaceEditor()->Visible());
}

TEST_F(DBGrid, AnIndicatorButtonFromAResourceSizesTheIndicatorColumn)
{
    AddRows(2);
    auto host = std::make_unique<TForm>(nullptr);
    ReadComponentText(host.get(), R"(object Host: TForm
  Left = 0
  Top = 0
  Width = 500
  Height = 300
  object Grid: TqxDBGrid
    Left = 8
    Top = 8
    Width = 480
    Height = 260
    object Corner: TqxIButton
      Left = 5
      Top = 3
      Width = 20
      Height = 40
    end
  end
end
)",
        "host.dfm");
    auto *loaded = dynamic_cast<TqxDBGrid *>(host->FindComponent("Grid"));
    auto *button = dynamic_cast<TqxIButton *>(host->FindComponent("Corner"));
    ASSERT_TRUE(loaded && button);
    EXPECT_EQ(loaded->IndicatorButton(), button);
    EXPECT_EQ(loaded->IndicatorWidth(), 19) << "the button's width - 1";
    EXPECT_EQ(button->Left(), 0) << "a positive left or top is replaced by 0";
    EXPECT_EQ(button->Top(), 0);
    table->Open();
    loaded->SetDataSource(source);
    host->Show();
    ProcessPendingEvents();
    EXPECT_EQ(loaded->ColWidths(0), 19);
    EXPECT_EQ(loaded->RowHeights(0), 40 - 1) << "the title row takes the taller button, less its line";

    // A new size sets the column again; without the button the indicator is narrow.
    button->SetBounds(0, 0, 31, 20);
    EXPECT_EQ(loaded->ColWidths(0), 30);
    EXPECT_LT(loaded->RowHeights(0), 39);
    delete button;
    EXPECT_EQ(loaded->IndicatorButton(), nullptr);
    EXPECT_EQ(loaded->ColWidths(0), 11);
}

TEST_F(DBGrid, ARichEditNamedForACellIsBoundWhenLoadedAndTakesF2AndDoubleClicks)
{
    AddRows(2);
    auto host = std::make_unique<TForm>(nullptr);
    ReadComponentText(host.get(), R"(object Host: TForm
  Left = 0
  Top = 0
  Width = 600
  Height = 300
  object Grid: TqxDBGrid
    Left = 8
    Top = 8
    Width = 580
    Height = 260
    ControlInfoInDataset = False
    ControlType.Strings = (
      'Notes;RichEdit;NotesEdit'
      'Name;CustomEdit;NoSuchEdit')
  end
  object NotesEdit: TqxDBRichEdit
    Left = 8
    Top = 270
    Width = 200
    Height = 20
    PopupOptions = []
  end
end
)",
        "host.dfm");
    auto *loaded = dynamic_cast<TqxDBGrid *>(host->FindComponent("Grid"));
    auto *rich = dynamic_cast<TqxDBRichEdit *>(host->FindComponent("NotesEdit"));
    ASSERT_TRUE(loaded && rich);
    EXPECT_EQ(rich->Parent(), loaded) << "bound into the grid once loaded";
    EXPECT_FALSE(rich->Visible());
    EXPECT_EQ(rich->DataField(), "Notes");
    EXPECT_EQ(rich->BorderStyle(), bsNone);

    table->Open();
    loaded->SetDataSource(source);
    host->Show();
    host->SetActiveControl(loaded);
    ProcessPendingEvents();
    int f2 = 0;
    rich->OnKeyDown = [&](TObject *, uint16_t &key, TShiftState) { f2 += key == VK_F2; };
    // Were the memo dialog to open instead, it would find nothing to show.
    loaded->SetMemoAttributes(loaded->MemoAttributes() + TqxMemoAttributes { mDisableDialog });
    ASSERT_EQ(loaded->Columns(5)->FieldName(), "Notes");
    const TRect cell = loaded->CellRect(5 + loaded->IndicatorOffset(), 1);
    ClickControl(loaded, (cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2);
    PressKey(loaded, VK_F2);
    EXPECT_EQ(f2, 1);
    DoubleClickControl(loaded, (cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2);
    EXPECT_EQ(f2, 2);
}

TEST_F(DBGrid, ANamedEditControlEditsItsCellAndHandsMovesBackToTheGrid)
{
    AddRows(3);
    auto *edit = AddCellControl<TqxDBEdit>("NameEdit");
    auto *button = new TButton(form.get());
    button->SetName("NotAnEdit");
    table->ControlType()->Add("Name;CustomEdit;NameEdit");
    table->ControlType()->Add("Amount;CustomEdit;Somewhere.NotAnEdit");
    Open();
    EXPECT_EQ(grid->FindEditControl("NotAnEdit"), nullptr) << "only an edit counts";
    EXPECT_EQ(grid->FindEditControl("Data.NameEdit"), edit) << "among the components of the dataset's owner";

    GoToCell("Name");
    ProcessPendingEvents();
    EXPECT_EQ(grid->CellControl(), edit);
    EXPECT_EQ(edit->Parent(), grid);
    EXPECT_EQ(edit->DataField(), "Name");
    EXPECT_EQ(edit->BorderStyle(), bsNone);
    EXPECT_TRUE(edit->Visible());
    EXPECT_EQ(edit->BoundsRect(), grid->CellRect(ColOf("Name"), grid->Row()));
    EXPECT_FALSE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());

    // The first key typed in the grid goes on in the edit, which took the focus.
    Key('Z', U'Z', { ssShift });
    EXPECT_EQ(FocusedControl(), edit);
    Type("ed");
    EXPECT_EQ(edit->Text(), "Zed");
    // Escape gives the field's text back and the focus to the grid.
    Key(VK_ESCAPE, 27);
    EXPECT_EQ(edit->Text(), "Name 1");
    EXPECT_EQ(FocusedControl(), grid);
    // F2 goes on in the edit; there a second F2 puts the caret at the end.
    Key(VK_F2);
    EXPECT_EQ(FocusedControl(), edit);
    Key(VK_F2);
    EXPECT_EQ(edit->SelStart(), 6);
    EXPECT_EQ(edit->SelLength(), 0);
    {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDYES);
        Key(VK_ESCAPE, 27); // unmodified: the grid's key
    }
    EXPECT_EQ(FocusedControl(), grid);

    // Tab in the edit is the grid's: the value is written and the next column entered.
    Type("Q");
    EXPECT_EQ(FocusedControl(), edit);
    Key(VK_TAB, U'\t');
    EXPECT_EQ(FocusedControl(), grid);
    EXPECT_EQ(grid->SelectedField()->FieldName(), "Amount");
    EXPECT_FALSE(edit->Visible());
    EXPECT_EQ(F("Name")->AsString(), "Q");
    // Down from the edit moves the record, as in the grid.
    Key(VK_TAB, U'\t', { ssShift });
    Type("R");
    Key(VK_DOWN);
    EXPECT_EQ(FocusedControl(), grid);
    EXPECT_EQ(F("Id")->AsInteger(), 2);
    table->First();
    EXPECT_EQ(F("Name")->AsString(), "R");
}

TEST_F(DBGrid, AComboWithAnItemMapShowsItsItemsAndDropsDownOnAltDown)
{
    AddRows(3);
    db->Execute("UPDATE items SET Done = 'Y' WHERE Id = 2");
    TqxDBComboBox *combo = AddDoneCombo();
    combo->SetStyle(csDropDownList);
    Open();
    std::string text;
    grid->GetFieldText(ColOf("Done") - grid->IndicatorOffset(), text);
    EXPECT_EQ(text, "No") << "the item of the stored value";
    table->Next();
    grid->GetFieldText(ColOf("Done") - grid->IndicatorOffset(), text);
    EXPECT_EQ(text, "Yes");
    table->First();

    GoToCell("Done");
    ProcessPendingEvents();
    ASSERT_EQ(grid->CellControl(), combo);
    EXPECT_TRUE(combo->Visible());
    Key(VK_DOWN, 0, { ssAlt });
    ProcessPendingEvents();
    EXPECT_TRUE(combo->IsDroppedDown()) << "Alt+Down opens the list";
    PressKey(combo, VK_ESCAPE, 27);
    ProcessPendingEvents();
    EXPECT_FALSE(combo->IsDroppedDown());
}

TEST_F(DBGrid, TheDatasetsOnInvalidValueTakesAPictureRefusalInsteadOfTheError)
{
    AddRows(1);
    table->PictureMasks()->Add("Name\t###\tT\tT");
    std::vector<std::string> refused;
    table->OnInvalidValue = [&](TDataSet *ds, TField *field) {
        EXPECT_EQ(ds, table);
        refused.push_back(field->FieldName());
    };
    Open();
    GoToCell("Name");
    Key(VK_F2);
    auto *editor = dynamic_cast<TqxInplaceEdit *>(grid->InplaceEditor());
    ASSERT_NE(editor, nullptr);
    editor->SetText("");
    TypeText(editor, "1");
    BeepCounter beeps;
    EXPECT_NO_THROW(grid->SelectField(2));
    EXPECT_EQ(refused, std::vector<std::string>({ "Name" }));
    EXPECT_EQ(beeps.Count(), 0) << "the handler decides, the grid does not beep";
    EXPECT_EQ(grid->SelectedField()->FieldName(), "Name") << "the cell stays";
    EXPECT_EQ(editor->SelText(), "1");
}

// ---- A picture of every cell kind -----------------------------------------------------------

TEST_F(DBGrid, ScreenshotOfEveryCellKind)
{
    AddRows(12);
    table->ControlType()->Add("Done;CheckBox;Y;N");
    table->ControlType()->Add("Pic;Bitmap;Stretch To Fit;Source Copy");
    table->ControlType()->Add("Icon;ImageIndex;Shrink To Fit");
    table->ControlType()->Add("Notes;RichEdit");
    db->Execute("UPDATE items SET Done = 'Y' WHERE Id % 2 = 0");
    db->Execute("UPDATE items SET Notes = '{\\rtf1\\ansi {\\b Rich} text ' || Id || '}' WHERE Id % 3 = 0");
    std::string red = BitmapBytes(24, 12, clRed), green = BitmapBytes(24, 12, clGreen);
    db->Execute("UPDATE items SET Pic = X'" + Hex(red) + "' WHERE Id % 2 = 1");
    db->Execute("UPDATE items SET Pic = X'" + Hex(green) + "' WHERE Id % 2 = 0");
    grid->SetImageList(AddImages({ clBlue, clYellow, clFuchsia }));
    grid->SetOptions(grid->Options() + TqxDBGridOptions { dgShowFooter, dgMultiSelect });
    grid->SetTitleButtons(true);
    grid->OnUpdateFooter = [&](TObject *) {
        grid->ColumnByName("Amount")->SetFooterValue("117");
        grid->ColumnByName("Name")->SetFooterValue("12 items");
    };
    Open();
    grid->ColumnByName("Amount")->SetFooterValue("117");
    grid->ColumnByName("Name")->SetFooterValue("12 items");
    TPoint r3 = Centre(1, 3), r5 = Centre(1, 5);
    ClickControl(grid, r3.X, r3.Y, { ssCtrl });
    ClickControl(grid, r5.X, r5.Y, { ssCtrl });
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/controls_widgets_dbgrid.png";
    EXPECT_GT(SaveScreenshot(form.get(), path), 1000);
}

TEST_F(DBGrid, ScreenshotOfTheCellControls)
{
    TFormatSettingsScope spanish { SpanishFormatSettings() };
    AddRows(12);
    db->Execute("UPDATE items SET Day = 36922 + Id");
    db->Execute("UPDATE items SET Done = 'Y' WHERE Id % 3 = 0");
    TqxDBComboBox *combo = AddDoneCombo();
    Open();
    grid->SetColWidths(ColOf("Done"), 50);
    Key(VK_DOWN);
    Key(VK_DOWN);
    GoToCell("Done");
    ProcessPendingEvents();
    EXPECT_TRUE(combo->Visible());
    std::string comboPath = std::string(ORVEX_BINARY_DIR) + "/screenshots/controls_widgets_dbgrid_combo.png";
    EXPECT_GT(SaveScreenshot(form.get(), comboPath), 1000);
    GoToCell("Day");
    ProcessPendingEvents();
    ASSERT_NE(grid->DateTimePicker(), nullptr);
    EXPECT_TRUE(grid->DateTimePicker()->Visible());
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/controls_widgets_dbgrid_cells.png";
    EXPECT_GT(SaveScreenshot(form.get(), path), 1000);
}

// ---- Over the library's own table -------------------------------------------------------------

class TableGrid : public GridOver<TqxTable, TqxDataSource>
{
protected:
    // Name and the columns named after it, each ten characters wide.
    void ShowColumns(std::initializer_list<const char *> fields)
    {
        grid->SetUseTFields(false);
        for (const char *field : fields)
            grid->Selected()->Add(std::string(field) + "\t10\t" + field);
    }
    void SetPictures(const std::string &bytes) { db->Execute("UPDATE items SET Pic = X'" + Hex(bytes) + "'"); }
    TColor PixelIn(const char *field, int row, int dx, int dy)
    {
        TRect r = grid->CellRect(ColOf(field), row);
        return PixelOf(grid, dx >= 0 ? r.Left + dx : r.Right + dx, dy >= 0 ? r.Top + dy : r.Bottom + dy);
    }
    void Paint()
    {
        grid->Repaint();
        ProcessPendingEvents();
    }
};

TEST_F(TableGrid, TheThumbGoesToTheRecordItNamesAmongAMillion)
{
    // Names are a shuffle of N0000000 .. N0999999: the n-th by name is N<n - 1>.
    const int64_t rows = 1000000;
    db->Execute("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000000) "
                "INSERT INTO items (Id, Name) SELECT i, printf('N%07d', (i * 7919) % 1000000) FROM c");
    db->Execute("CREATE INDEX ByName ON items (Name)");
    Open();
    const int places[] = { 1, 2, 37, 100, 163, 199, 3 };
    auto thumb = [&](int place) { grid->Perform(WM_VSCROLL, MakeLParam(SB_THUMBPOSITION, place), 0); };
    for (int place : places) {
        thumb(place);
        ASSERT_EQ(F("Id")->AsInteger(), rows * place / 200 + 1) << "place " << place;
        EXPECT_EQ(grid->VertScrollPos(), place);
    }
    table->SetIndexName("ByName");
    for (int place : places) {
        thumb(place);
        ASSERT_EQ(F("Name")->AsString(), Format("N%.7d", rows * place / 200)) << "place " << place;
        EXPECT_EQ(grid->VertScrollPos(), place);
    }
    // Another program deletes every third record: the count and the places
    // are taken again. The n-th record left is Id n + (n - 1) / 2.
    table->SetIndexName("");
    TDatabase other(nullptr);
    other.SetDatabaseName("other-program");
    other.Params()->Add("PATH=" + file);
    other.Execute("DELETE FROM items WHERE Id % 3 = 0");
    const int64_t left = rows - rows / 3;
    for (int place : places) {
        thumb(place);
        const int64_t n = left * place / 200 + 1;
        ASSERT_EQ(F("Id")->AsInteger(), n + (n - 1) / 2) << "place " << place;
    }
    EXPECT_EQ(table->RecordCount(), left);
}

TEST_F(TableGrid, AColumnWidthSetWithTheMouseIsWrittenBackAndKept)
{
    AddRows(3);
    grid->SetUseTFields(false);
    grid->Selected()->Add("Id\t5\tId");
    grid->Selected()->Add("Name\t10\tName\tF");
    Open();
    auto dragBorder = [&](int col, int by) {
        TRect title = grid->CellRect(col, 0);
        const int y = (title.Top + title.Bottom) / 2;
        MouseDownOn(grid, title.Right, y);
        MouseMoveOn(grid, title.Right + by, y);
        MouseUpOn(grid, title.Right + by, y);
    };
    const int zero = grid->Canvas()->TextWidth("0");
    const int before = grid->ColWidths(ColOf("Name"));
    dragBorder(ColOf("Name"), 60);
    const int dragged = grid->ColWidths(ColOf("Name"));
    ASSERT_GT(dragged, before + 40);
    const std::string line = grid->Selected()->Strings(1);
    EXPECT_GT(StrToInt(qxItem(line, '\t', 2)), 10 + 40 / zero) << line;
    EXPECT_EQ(qxItem(line, '\t', 4), "F") << "the line keeps its read-only item";
    grid->SetTitleColor(clRed); // lays the columns out again from the lines
    EXPECT_NEAR(grid->ColWidths(ColOf("Name")), dragged, zero);

    // Over the dataset's fields the field's DisplayWidth takes the width.
    grid->SetUseTFields(true);
    const int chars = F("Name")->DisplayWidth();
    dragBorder(ColOf("Name"), 60);
    EXPECT_GT(F("Name")->DisplayWidth(), chars + 40 / zero);
    const int widened = grid->ColWidths(ColOf("Name"));
    grid->SetTitleColor(clBlue);
    EXPECT_NEAR(grid->ColWidths(ColOf("Name")), widened, zero);
}

TEST_F(TableGrid, PictureAndImageCellsOfSelectedRowsShowTheSelection)
{
    AddRows(3);
    SetPictures(BitmapBytes(4, 4, clRed));
    table->ControlType()->Add("Pic;Bitmap;Original Size;Source Copy");
    table->ControlType()->Add("Icon;ImageIndex;Shrink To Fit");
    grid->SetImageList(AddImages({ clBlue, clBlue, clBlue }));
    ShowColumns({ "Name", "Pic", "Icon" });
    grid->SetOptions(grid->Options() + TqxDBGridOptions { dgRowSelect });
    Open();
    Paint();
    const TColor selected = ColorToRGB(clHighlight), plain = ColorToRGB(clWindow);
    for (const char *field : { "Name", "Pic", "Icon" }) {
        EXPECT_EQ(PixelIn(field, 1, -4, -4), selected) << field << " in the current row";
        EXPECT_EQ(PixelIn(field, 2, -4, -4), plain) << field << " in another row";
    }
    EXPECT_EQ(PixelIn("Pic", 1, 3, 3), clRed) << "the picture is drawn over the selection";

    grid->SetOptions(grid->Options() - TqxDBGridOptions { dgRowSelect } + TqxDBGridOptions { dgMultiSelect });
    TPoint third = Centre(ColOf("Name"), 3);
    ClickControl(grid, third.X, third.Y, { ssCtrl });
    ASSERT_TRUE(grid->IsSelectedRow(2));
    Paint();
    for (const char *field : { "Pic", "Icon" }) {
        EXPECT_EQ(PixelIn(field, 3, -4, -4), selected) << field << " in a selected record";
        EXPECT_EQ(PixelIn(field, 2, -4, -4), plain) << field << " in a record not selected";
    }
}

TEST_F(TableGrid, EachCopyModeDrawsThePictureWithItsRasterOperation)
{
    AddRows(1);
    const TColor picture = RGB(0x30, 0x60, 0x95), ground = RGB(0x0F, 0xF0, 0x55);
    SetPictures(BitmapBytes(8, 8, picture));
    table->ControlType()->Add("Pic;Bitmap;Original Size;Source Copy");
    ShowColumns({ "Name", "Pic" });
    grid->SetColor(ground);
    Open();
    const struct {
        const char *mode;
        int (*op)(int s, int d);
    } modes[] = {
        { "Source Copy", [](int s, int) { return s; } },
        { "Source Erase", [](int s, int d) { return s & ~d; } },
        { "Not Source Erase", [](int s, int d) { return ~(s | d); } },
        { "Merge Paint", [](int s, int d) { return ~s | d; } },
        { "Not Source Copy", [](int s, int) { return ~s; } },
        { "Source And", [](int s, int d) { return s & d; } },
        { "Source Paint", [](int s, int d) { return s | d; } },
        { "Source Invert", [](int s, int d) { return s ^ d; } },
        { "merge paint", [](int s, int) { return s; } }, // names are exact: a plain copy
    };
    auto channel = [](TColor c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    for (const auto &m : modes) {
        table->ControlType()->SetStrings(0, std::string("Pic;Bitmap;Original Size;") + m.mode);
        Paint();
        const TColor expected = RGB(m.op(channel(picture, 0), channel(ground, 0)) & 0xFF,
            m.op(channel(picture, 8), channel(ground, 8)) & 0xFF, m.op(channel(picture, 16), channel(ground, 16)) & 0xFF);
        EXPECT_EQ(PixelIn("Pic", 1, 3, 3), expected) << m.mode;
    }
}

TEST_F(TableGrid, APictureIsFoundThroughALookupFieldAndThroughALookupLine)
{
    AddRows(2); // Icon 1 and 2
    db->Execute("CREATE TABLE pics (Id INTEGER PRIMARY KEY, Pic BLOB)");
    db->Execute("CREATE INDEX ById ON pics (Id)");
    db->Execute("INSERT INTO pics VALUES (1, X'" + Hex(BitmapBytes(30, 30, clRed)) + "')");
    auto *pics = new TqxTable(form.get());
    pics->SetDatabaseName(file);
    pics->SetTableName("pics");
    pics->Open();
    auto field = [&](TField *f, const char *name, TFieldKind kind) {
        f->SetFieldName(name);
        f->SetFieldKind(kind);
        return f;
    };
    field(new TIntegerField(table), "Id", fkData)->SetDataSet(table);
    field(new TIntegerField(table), "Icon", fkData)->SetDataSet(table);
    TField *looked = field(new TBlobField(table), "Looked", fkLookup);
    looked->SetLookupDataSet(pics);
    looked->SetKeyFields("Icon");
    looked->SetLookupKeyFields("Id");
    looked->SetLookupResultField("Pic");
    looked->SetDataSet(table);
    field(new TStringField(table), "Photo", fkCalculated)->SetDataSet(table);
    table->LookupFields()->Add("Photo;" + file + ";pics;Pic;ById");
    table->LookupLinks()->Add("Icon;Id");
    table->ControlType()->Add("Looked;Bitmap;Stretch To Fit;Source Copy");
    table->ControlType()->Add("Photo;Bitmap;Stretch To Fit;Source Copy");
    grid->SetUseTFields(false);
    grid->Selected()->Add("Id\t5\tId");
    grid->Selected()->Add("Looked\t10\tLooked");
    grid->Selected()->Add("Photo\t10\tPhoto");
    Open();
    Paint();
    const TColor plain = ColorToRGB(clWindow);
    for (const char *name : { "Looked", "Photo" }) {
        EXPECT_EQ(PixelIn(name, 1, 5, 5), clRed) << name << ": picture 1 is found";
        EXPECT_EQ(PixelIn(name, 2, 5, 5), plain) << name << ": there is no picture 2";
    }
}

TEST_F(TableGrid, TheWordWrappingEditorKeepsToTheFieldsSize)
{
    AddRows(1);
    Open();
    ASSERT_TRUE(grid->Options().Contains(dgWordWrap));
    GoToCell("Name");
    Key(VK_F2);
    auto *editor = dynamic_cast<TCustomEdit *>(FocusedControl());
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->WindowStyle() & ES_MULTILINE, 0u);
    Type("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(editor->Text(), "ABCDEFGHIJKLMNOPQRST") << "VARCHAR(20) takes 20 characters";
    Key(VK_TAB);
    table->Post();
    EXPECT_EQ(F("Name")->AsString(), "ABCDEFGHIJKLMNOPQRST");

    // A paste is cut at the limit too.
    GoToCell("Name");
    Key(VK_F2);
    editor = dynamic_cast<TCustomEdit *>(FocusedControl());
    ASSERT_NE(editor, nullptr);
    Clipboard()->SetAsText("0123456789abcdefghijklmnopq");
    editor->SelectAll();
    Key('V', 22, { ssCtrl });
    EXPECT_EQ(editor->Text(), "0123456789abcdefghij");
}

TEST_F(TableGrid, DownLeavesAnUntouchedAppendedRecordAndUpDropsIt)
{
    AddRows(2);
    Open();
    Key(VK_DOWN);
    Key(VK_DOWN);
    ASSERT_EQ(table->State(), dsInsert);
    int inserted = 0, cancelled = 0;
    table->AfterInsert = TDataSetNotifyEvent([&](TDataSet *) { ++inserted; });
    table->AfterCancel = TDataSetNotifyEvent([&](TDataSet *) { ++cancelled; });
    for (int i = 0; i < 3; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(table->State(), dsInsert);
    EXPECT_EQ(inserted + cancelled, 0) << "the blank row is neither dropped nor added again";
    EXPECT_EQ(grid->Row(), 3);
    Key(VK_UP);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(F("Id")->AsInteger(), 2);

    // A record inserted before another is dropped by Down.
    table->First();
    Key(VK_INSERT);
    ASSERT_EQ(table->State(), dsInsert);
    Key(VK_DOWN);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->RecordCount(), 2);
}

TEST_F(TableGrid, AMemoColumnReadOnlyByItsLineOpensAViewOnlyDialog)
{
    AddRows(1);
    grid->SetUseTFields(false);
    grid->Selected()->Add("Name\t10\tName");
    grid->Selected()->Add("Notes\t10\tNotes\tT");
    grid->Selected()->Add("Amount\t10\tAmount");
    Open();
    auto typeInTheMemo = [&](bool expectReadOnly) {
        WhenShown<TqxMemoDlg>([&, expectReadOnly](TqxMemoDlg *dlg) {
            EXPECT_EQ(dlg->Memo->ReadOnly(), expectReadOnly);
            dlg->Memo->SetFocus();
            TypeText(dlg->Memo, "typed");
            dlg->OKBtnClick(dlg);
        });
        GoToCell("Notes");
        Key(VK_F2);
        ProcessPendingEvents();
    };
    typeInTheMemo(true);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(F("Notes")->AsString(), "note 1");

    grid->Selected()->SetStrings(1, "Notes\t10\tNotes\tF");
    grid->LayoutChanged();
    typeInTheMemo(false);
    EXPECT_NE(F("Notes")->AsString(), "note 1") << "an editable column still takes the text";
}

} // namespace
