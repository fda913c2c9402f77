// The combo base and the combo box on a real form, over a SQLite table, with
// the keys and the mouse a person uses.
#include "controls/widgets/qxdbcomb.h"

#include "controls/data/Qxdatsrc.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

class Combo : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 360, 260);
        form->SetCaption("Combos");
        combo = new TqxDBComboBox(form.get());
        combo->SetParent(form.get());
        combo->SetBounds(10, 10, 150, 24);
        other = new TqxDBEdit(form.get());
        other->SetParent(form.get());
        other->SetBounds(10, 200, 100, 24);
        other->SetReadOnly(false);
    }
    void TearDown() override
    {
        form.reset();
        std::error_code ignored;
        if (!dir.empty())
            std::filesystem::remove_all(dir, ignored);
    }

    void Colours(TqxDBComboBox *c)
    {
        c->SetMapList(true);
        for (const char *line : { "Red\tR", "Green\tG", "Grey\tY", "Blue\tB" })
            c->Items()->Add(line);
    }

    // A table of cars with their colour codes in a fresh SQLite file.
    void Bind(TqxDBComboBox *c, const std::string &field)
    {
        static int n = 0;
        dir = std::filesystem::temp_directory_path()
            / ("orvex-combo-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir);
        file = (dir / "cars.db").string();
        CreateDatabaseFile(file);
        TDatabase db(nullptr);
        db.SetDatabaseName("combo-" + std::to_string(n));
        db.Params()->Add("PATH=" + file);
        db.Execute("CREATE TABLE cars (Id INTEGER PRIMARY KEY, Colour VARCHAR(1), Make VARCHAR(12))");
        db.Execute("INSERT INTO cars VALUES (1, 'G', 'Seat'), (2, 'R', 'Fiat'), (3, 'X', 'Lada')");
        table = new TTable(form.get());
        table->SetDatabaseName(file);
        table->SetTableName("cars");
        table->Open();
        source = new TqxDataSource(form.get());
        source->SetDataSet(table);
        c->SetDataSource(source);
        c->SetDataField(field);
    }

    std::string Stored(int id, const std::string &field)
    {
        TTable check(nullptr);
        check.SetDatabaseName(file);
        check.SetTableName("cars");
        check.Open();
        while (!check.Eof() && check.FieldByName("Id")->AsInteger() != id)
            check.Next();
        return check.Eof() ? "<none>" : check.FieldByName(field)->AsString();
    }

    void Show()
    {
        form->Show();
        ProcessPendingEvents();
    }
    void Focus(TWinControl *control)
    {
        control->SetFocus();
        ProcessPendingEvents();
    }

    TFormatSettingsScope spanish { SpanishFormatSettings() };
    FixedScreen screen { 1024, 768 };
    BeepCounter beeps;
    std::unique_ptr<TForm> form;
    TqxDBComboBox *combo = nullptr;
    TqxDBEdit *other = nullptr;
    TTable *table = nullptr;
    TqxDataSource *source = nullptr;
    std::filesystem::path dir;
    std::string file;
};

// ---- Item maps ----------------------------------------------------------------------------

TEST_F(Combo, AnItemMapTurnsDisplayTextsIntoValuesAndBack)
{
    Colours(combo);
    EXPECT_EQ(combo->ValueOfDisplay("Green"), "G");
    EXPECT_EQ(combo->DisplayOfValue("R"), "Red");
    EXPECT_EQ(combo->ValueOfDisplay("green"), "") << "the map compares exactly";
    EXPECT_EQ(combo->DisplayOfValue("Z"), "");
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "Green");

    combo->SetMapList(false);
    EXPECT_EQ(combo->ValueOfDisplay("whatever"), "whatever");
    EXPECT_EQ(combo->DisplayOfValue("x"), "x");
}

TEST_F(Combo, AnItemIndexOutsideTheLinesIsNone)
{
    Colours(combo);
    combo->SetItemIndex(2);
    EXPECT_EQ(combo->Text(), "Grey");
    for (int bad : { 4, 99, -2, -100 }) {
        combo->SetItemIndex(bad);
        EXPECT_EQ(combo->ItemIndex(), -1) << bad;
        EXPECT_EQ(combo->Text(), "") << bad;
    }
    combo->SetItemIndex(3);
    combo->Items()->Delete(3);
    EXPECT_EQ(combo->ItemIndex(), -1) << "a line that went is no longer selected";
}

TEST_F(Combo, ABoundMappedComboShowsTheDisplayOfTheFieldsValue)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Bind(combo, "Colour");
    Show();
    EXPECT_EQ(combo->Text(), "Green");
    EXPECT_EQ(combo->ItemIndex(), 1);
    table->Next();
    EXPECT_EQ(combo->Text(), "Red");
    table->Next();
    EXPECT_EQ(combo->Text(), "") << "no line for X";
    EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST_F(Combo, ChoosingALineWithTheKeysStoresItsValue)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Bind(combo, "Colour");
    Show();
    Focus(combo);
    PressKey(combo, VK_DOWN, 0, TShiftState { ssAlt });
    ASSERT_TRUE(combo->IsDroppedDown());
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 1) << "the list opens on the current line";
    PressKey(combo, VK_UP);
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 0);
    EXPECT_EQ(combo->Text(), "Green") << "the arrows move only the list";
    PressKey(combo, VK_RETURN, U'\r');
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Red");
    EXPECT_EQ(table->State(), dsEdit);
    Focus(other);
    table->Post();
    EXPECT_EQ(Stored(1, "Colour"), "R");
}

TEST_F(Combo, EscapeClosesTheListWithoutChoosing)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Bind(combo, "Colour");
    Show();
    Focus(combo);
    PressKey(combo, VK_DOWN, 0, TShiftState { ssAlt });
    PressKey(combo, VK_DOWN);
    PressKey(combo, VK_ESCAPE, U'\x1b');
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Green");
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_TRUE(form->Visible()) << "Escape went to the list, not to the form";
}

TEST_F(Combo, AnUnmappedDropDownStoresTheTypedText)
{
    combo->Items()->Add("Seat");
    combo->Items()->Add("Fiat");
    Bind(combo, "Make");
    Show();
    EXPECT_EQ(combo->Text(), "Seat");
    Focus(combo);
    combo->SelectAll();
    TypeText(combo, "Opel");
    Focus(other);
    table->Post();
    EXPECT_EQ(Stored(1, "Make"), "Opel");
}

// ---- The list -----------------------------------------------------------------------------

TEST_F(Combo, TheListFitsItsLinesAndOpensBelowOrAbove)
{
    combo->Items()->Add("one");
    combo->Items()->Add("two");
    combo->Items()->Add("three");
    Show();
    ClickControl(combo->Button());
    ASSERT_TRUE(combo->IsDroppedDown());
    TqxPopupListbox *list = combo->ListBox();
    EXPECT_EQ(list->Height(), 3 * list->ItemHeight() + 4);
    EXPECT_EQ(list->Width(), combo->Width());
    const TPoint corner = combo->ClientToScreen({ 0, 0 });
    const int top = corner.Y - (combo->Height() - combo->ClientHeight()) / 2;
    EXPECT_EQ(list->Top(), top + combo->Height() - 1);
    ClickControl(combo->Button());
    EXPECT_FALSE(combo->IsDroppedDown()) << "the button closes what it opened";

    // Near the bottom of the screen the list opens above the combo.
    FixedScreen low(1024, top + combo->Height() + 10);
    combo->SetDropDownWidth(200);
    ClickControl(combo->Button());
    ASSERT_TRUE(combo->IsDroppedDown());
    EXPECT_EQ(list->Top(), top - list->Height());
    EXPECT_EQ(list->Width(), 200);
    combo->CloseUp(false);
}

TEST_F(Combo, AClickOnALineChoosesItAndAClickOutsideClosesTheList)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Show();
    ClickControl(combo->Button());
    ProcessPendingEvents(); // the list lays its lines out
    TqxPopupListbox *list = combo->ListBox();
    const TRect line = list->ItemRect(3);
    ClickControl(list, line.Left + 5, (line.Top + line.Bottom) / 2);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Blue");
    EXPECT_EQ(combo->ItemIndex(), 3);
    // The offscreen platform makes every window it shows the active one; a
    // desktop's window manager leaves a drop-down inactive.
    form->BringToFront();
    ProcessPendingEvents();

    ClickControl(combo->Button());
    ASSERT_TRUE(combo->IsDroppedDown());
    ClickControl(form.get(), 300, 150);
    ProcessPendingEvents();
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Blue");
}

TEST_F(Combo, TabWhileDownTakesTheHighlightedLine)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Show();
    Focus(combo);
    PressKey(combo, VK_DOWN, 0, TShiftState { ssAlt });
    PressKey(combo, VK_DOWN);
    PressKey(combo, VK_DOWN);
    PressKey(combo, VK_TAB, U'\t');
    ProcessPendingEvents();
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->Text(), "Green");
}

TEST_F(Combo, TypingWhileDownSearchesTheList)
{
    for (const char *line : { "Alicante", "Almería", "Ávila", "Badajoz" })
        combo->Items()->Add(line);
    Show();
    Focus(combo);
    PressKey(combo, VK_DOWN, 0, TShiftState { ssAlt });
    TypeText(combo, "alm");
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 1);
    EXPECT_EQ(combo->ListBox()->SearchText(), "alm");
    TypeText(combo, "x");
    EXPECT_EQ(combo->ListBox()->ItemIndex(), -1) << "no line begins so: nothing is highlighted";
    PressKey(combo, VK_BACK, U'\b');
    TypeText(combo, "e");
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 1) << "the search compares capitals, accents too";
    EXPECT_EQ(combo->ListBox()->SearchText(), "alme");
    PressKey(combo, VK_BACK, U'\b');
    PressKey(combo, VK_BACK, U'\b');
    TypeText(combo, "i");
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 0);
    PressKey(combo, VK_RETURN, U'\r');
    EXPECT_EQ(combo->Text(), "Alicante");
}

TEST_F(Combo, TheSearchOfAnOwnerDrawnListKeepsItsCapAndItsPlace)
{
    FixedClock clock(1000);
    combo->SetStyle(csOwnerDrawFixed);
    combo->Items()->Add(std::string(40, 'a'));
    combo->Items()->Add("abc");
    combo->SetItemIndex(1);
    Show();
    Focus(combo);
    combo->SetSelStart(3); // the caret of the combo's own text has nothing to do with the search
    PressKey(combo, VK_DOWN, 0, TShiftState { ssAlt });
    for (int i = 0; i < 40; ++i)
        TypeText(combo, "a");
    EXPECT_EQ(combo->ListBox()->SearchText(), std::string(31, 'a'));
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 0);
    clock.Advance(1600); // a pause starts a new search
    TypeText(combo, "ab");
    EXPECT_EQ(combo->ListBox()->SearchText(), "ab");
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 1);
    combo->CloseUp(true);
    EXPECT_EQ(combo->Text(), "abc");
}

// ---- Typing without the list ----------------------------------------------------------------

TEST_F(Combo, MatchTextSelectsTheLineAsItIsTyped)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    combo->SetShowMatchText(true);
    combo->SetAllowClearKey(true);
    Bind(combo, "Colour");
    table->Last(); // colour X: nothing shown
    Show();
    Focus(combo);
    TypeText(combo, "g");
    EXPECT_EQ(combo->Text(), "Green");
    EXPECT_EQ(combo->SelStart(), 1);
    EXPECT_EQ(combo->SelLength(), 4);
    TypeText(combo, "re");
    EXPECT_EQ(combo->Text(), "Green");
    EXPECT_EQ(combo->SelText(), "en");
    TypeText(combo, "y");
    EXPECT_EQ(combo->Text(), "Grey");
    TypeText(combo, "q");
    EXPECT_EQ(combo->Text(), "Grey") << "a key that matches nothing is dropped";
    PressKey(combo, VK_BACK, U'\b');
    EXPECT_EQ(combo->SelStart(), 3) << "Backspace shrinks the matched part";
    EXPECT_EQ(combo->SelText(), "y");
    EXPECT_EQ(combo->Text(), "Grey");

    combo->SelectAll();
    PressKey(combo, VK_DELETE);
    EXPECT_EQ(combo->Text(), "");
    EXPECT_EQ(combo->ItemIndex(), -1);
    Focus(other);
    table->Post();
    EXPECT_EQ(Stored(3, "Colour"), "");
}

TEST_F(Combo, AFirstLetterPicksTheNextLineThatBeginsWithIt)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Show();
    Focus(combo);
    PressKey(combo, 'G', U'g');
    EXPECT_EQ(combo->Text(), "Green");
    PressKey(combo, 'G', U'g');
    EXPECT_EQ(combo->Text(), "Grey");
    PressKey(combo, 'G', U'g');
    EXPECT_EQ(combo->Text(), "Green") << "the search goes round";
    PressKey(combo, VK_DOWN);
    EXPECT_EQ(combo->Text(), "Grey");
    PressKey(combo, VK_UP);
    PressKey(combo, VK_UP);
    PressKey(combo, VK_UP);
    EXPECT_EQ(combo->Text(), "Red") << "and the arrows stop at the first line";
    EXPECT_FALSE(combo->IsDroppedDown());
}

TEST_F(Combo, AutoDropDownOpensTheListOnTheFirstKey)
{
    Colours(combo);
    combo->SetAutoDropDown(true);
    Show();
    Focus(combo);
    TypeText(combo, "b");
    EXPECT_TRUE(combo->IsDroppedDown());
    EXPECT_EQ(combo->ListBox()->ItemIndex(), 3);
    combo->CloseUp(true);
    EXPECT_EQ(combo->Text(), "Blue");
}

TEST_F(Combo, OwnerDrawingNeverAsksForALineThatIsNotThere)
{
    combo->SetStyle(csOwnerDrawFixed);
    combo->Items()->Add("uno");
    combo->Items()->Add("dos");
    combo->Items()->Add("tres");
    std::vector<int> drawn;
    combo->OnDrawItem = [&](TWinControl *, int index, TRect, TOwnerDrawState) { drawn.push_back(index); };
    Show();
    combo->SetItemIndex(2);
    PixelOf(combo, 5, 5);
    EXPECT_EQ(drawn, (std::vector<int> { 2 }));
    combo->Items()->Delete(2);
    drawn.clear();
    combo->Invalidate();
    PixelOf(combo, 5, 5);
    combo->SetItemIndex(7);
    PixelOf(combo, 5, 5);
    EXPECT_TRUE(drawn.empty());
}

// ---- The combo base -------------------------------------------------------------------------

TEST_F(Combo, TheButtonRunsTheClickEventAndClearsItsFlagEvenWhenItRaises)
{
    auto *dots = new TqxDBCustomCombo(form.get());
    dots->SetParent(form.get());
    dots->SetBounds(10, 60, 150, 24);
    dots->SetReadOnly(false);
    Show();
    Focus(dots);
    PressKey(dots, VK_DOWN, 0, TShiftState { ssAlt });
    EXPECT_FALSE(dots->IsDroppedDown()) << "without a click event nothing happens";

    std::vector<bool> running;
    dots->OnButtonClick = [&](TObject *) { running.push_back(dots->IsDroppedDown()); };
    ClickControl(dots->Button());
    PressKey(dots, VK_DOWN, 0, TShiftState { ssAlt });
    EXPECT_EQ(running, (std::vector<bool> { true, true }));
    EXPECT_FALSE(dots->IsDroppedDown());

    dots->OnButtonClick = [](TObject *) { throw std::runtime_error("refused"); };
    EXPECT_THROW(dots->DropDown(), std::runtime_error);
    EXPECT_FALSE(dots->IsDroppedDown());
}

TEST_F(Combo, WithoutTheButtonTheTextTakesTheWholeWidth)
{
    Show();
    TRect rect;
    combo->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect.Right, combo->Button()->Parent()->Left() - 2);
    combo->SetShowButton(false);
    combo->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect.Right, combo->ClientWidth() - 2);
    EXPECT_FALSE(combo->ShowButton());
    combo->SetStyle(csSimple);
    combo->SetStyle(csDropDown);
    EXPECT_TRUE(combo->ShowButton()) << "leaving the simple style shows the button again";
}

// ---- Pictures -------------------------------------------------------------------------------

TEST_F(Combo, ScreenshotsOfBothCombosDroppedDown)
{
    Colours(combo);
    combo->SetStyle(csDropDownList);
    Bind(combo, "Colour");
    auto *makes = new TqxDBComboBox(form.get());
    makes->SetParent(form.get());
    makes->SetBounds(190, 10, 150, 24);
    makes->SetStyle(csOwnerDrawFixed);
    makes->SetItemHeight(18);
    for (const char *line : { "Red", "Green", "Blue", "Yellow" })
        makes->Items()->Add(line);
    makes->SetItemIndex(2);
    const TColor swatches[] = { clRed, clGreen, clBlue, clYellow };
    // A swatch and the name: drawn on the canvas the combo hands out, the
    // list's while the list draws.
    makes->OnDrawItem = [&](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
        TCanvas *canvas = makes->Canvas();
        canvas->FillRect(rect);
        canvas->Brush()->SetColor(swatches[index]);
        canvas->FillRect(Rect(rect.Left + 2, rect.Top + 2, rect.Left + 22, rect.Bottom - 2));
        canvas->Brush()->SetStyle(bsClear);
        canvas->Font()->SetColor(state.Contains(odSelected) ? clHighlightText : clWindowText);
        canvas->TextOut(rect.Left + 28, rect.Top + 2, makes->Items()->Strings(index));
    };
    Show();
    Focus(combo);
    PressKey(combo, VK_DOWN, 0, TShiftState { ssAlt });
    PressKey(combo, VK_DOWN);
    ASSERT_TRUE(combo->IsDroppedDown());
    ProcessPendingEvents();
    EXPECT_GT(SaveScreenshot(form.get(), ORVEX_BINARY_DIR "/screenshots/combo-box-mapped.png"), 0);
    combo->CloseUp(false);

    Focus(makes);
    PressKey(makes, VK_DOWN, 0, TShiftState { ssAlt });
    ASSERT_TRUE(makes->IsDroppedDown());
    ProcessPendingEvents();
    EXPECT_GT(SaveScreenshot(form.get(), ORVEX_BINARY_DIR "/screenshots/combo-box-owner-drawn.png"), 0);
}

TEST_F(Combo, DeleteEmptiesTheSelectedTextOfAnUnboundComboMadeInCode)
{
    combo->SetText("Rojo");
    Show();
    Focus(combo);
    combo->SelectAll();
    PressKey(combo, VK_DELETE);
    EXPECT_EQ(combo->Text(), "");
    combo->SetReadOnly(true);
    combo->SetText("Rojo");
    combo->SelectAll();
    PressKey(combo, VK_DELETE);
    EXPECT_EQ(combo->Text(), "Rojo") << "ReadOnly still keeps it";
}

TEST(ComboResource, AFormResourceSetsTheDataTypeByItsName)
{
    std::unique_ptr<TForm> host(new TForm(nullptr));
    ReadComponentText(host.get(), R"(object Host: TForm
  object Dates: TqxDBComboBox
    Left = 8
    Top = 8
    Width = 120
    Height = 24
    Style = csDropDownList
    UnboundDataType = qxEdtTime
  end
end
)",
        "host.dfm");
    auto *dates = dynamic_cast<TqxDBComboBox *>(host->FindComponent("Dates"));
    ASSERT_TRUE(dates);
    EXPECT_EQ(dates->UnboundDataType(), qxEdtTime);
    EXPECT_EQ(GetEnumProp(dates, "UnboundDataType"), "qxEdtTime");
    EXPECT_EQ(dates->Style(), csDropDownList);
}

} // namespace
