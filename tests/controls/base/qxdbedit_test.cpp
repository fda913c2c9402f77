#include "controls/base/qxdbedit.h"

#include "platform/classes/filer.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/clipbrd.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

bool IsDark(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return (rgb & 0xFF) < 100 && ((rgb >> 8) & 0xFF) < 100 && ((rgb >> 16) & 0xFF) < 100;
}

// An edit whose text cannot be typed, as the combos make it: it paints itself.
class TUntypedEdit : public TqxDBEdit
{
public:
    using TqxDBEdit::TqxDBEdit;

protected:
    bool CanTypeText() const override { return false; }
};

class QxDBEdit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        edit = Make<TqxDBEdit>();
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override { SetClock(nullptr); }

    template <typename T> T *Make()
    {
        auto *e = new T(form.get());
        e->SetParent(form.get());
        e->SetBounds(8, 8, 150, 24);
        e->OnCheckValue = [this](TObject *, bool passes) { checks.push_back(passes); };
        return e;
    }

    TFormatSettingsScope spanish { SpanishFormatSettings() };
    BeepCounter beeps;
    std::unique_ptr<TForm> form;
    TqxDBEdit *edit = nullptr;
    std::vector<bool> checks;
};

TEST_F(QxDBEdit, AReadOnlyEditRefusesTypingAndPasteUntilOpened)
{
    Clipboard()->SetAsText("42");
    edit->SetReadOnly(true);
    TypeText(edit, "12");
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "");
    EXPECT_FALSE(edit->Modified());

    edit->SetReadOnly(false);
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "42");
    EXPECT_TRUE(edit->Modified());
    TypeText(edit, "7");
    EXPECT_EQ(edit->Text(), "427");
}

TEST_F(QxDBEdit, AnEditMadeInCodeOpensItsWindowOnTheFirstKey)
{
    EXPECT_FALSE(edit->ReadOnly());
    EXPECT_TRUE(edit->WindowStyle() & ES_READONLY);
    TypeText(edit, "a");
    EXPECT_EQ(edit->Text(), "a");
    EXPECT_FALSE(edit->WindowStyle() & ES_READONLY);
}

TEST_F(QxDBEdit, LoadedOpensOnlyEditsThatAreNotReadOnly)
{
    std::unique_ptr<TForm> host(new TForm(nullptr));
    ReadComponentText(host.get(), R"(object Host: TForm
  object Open: TqxDBEdit
    Left = 8
    Top = 8
    Width = 100
    Height = 24
    Picture.PictureMask = '###'
    UnboundDataType = qxEdtDate
    WantReturns = True
  end
  object Shut: TqxDBEdit
    Left = 8
    Top = 40
    Width = 100
    Height = 24
    ReadOnly = True
  end
end
)",
        "host.dfm");
    auto *open = dynamic_cast<TqxDBEdit *>(host->FindComponent("Open"));
    auto *shut = dynamic_cast<TqxDBEdit *>(host->FindComponent("Shut"));
    ASSERT_TRUE(open && shut);
    open->HandleNeeded();
    shut->HandleNeeded();
    EXPECT_FALSE(open->WindowStyle() & ES_READONLY);
    EXPECT_TRUE(shut->WindowStyle() & ES_READONLY);
    EXPECT_EQ(open->Picture()->PictureMask(), "###");
    EXPECT_TRUE(open->Picture()->AutoFill());
    EXPECT_EQ(open->UnboundDataType(), qxEdtDate);
    EXPECT_TRUE(open->WantReturns());
    EXPECT_TRUE(open->IsPictureStored());
    EXPECT_FALSE(shut->IsPictureStored());
}

TEST_F(QxDBEdit, AThreeDigitPictureBeepsOnTheFourthDigit)
{
    edit->Picture()->SetPictureMask("###");
    TypeText(edit, "1234");
    EXPECT_EQ(edit->Text(), "123");
    EXPECT_EQ(beeps.Count(), 1);
    EXPECT_EQ(checks, (std::vector<bool> { false, false, true })); // no event for the refused key
    EXPECT_TRUE(edit->Modified());
}

TEST_F(QxDBEdit, TypingInTheMiddleIsLeftToTheWindowAndDoesNotPass)
{
    edit->Picture()->SetPictureMask("###");
    TypeText(edit, "12");
    checks.clear();
    edit->SetSelStart(1);
    TypeText(edit, "x");
    EXPECT_EQ(edit->Text(), "1x2");
    EXPECT_EQ(beeps.Count(), 0);
    EXPECT_EQ(checks, (std::vector<bool> { false }));
}

TEST_F(QxDBEdit, PictureFillsLiteralsAndChecksBackspace)
{
    edit->Picture()->SetPictureMask("##-##");
    TypeText(edit, "123");
    EXPECT_EQ(edit->Text(), "12-3");
    EXPECT_EQ(edit->SelStart(), 4);
    checks.clear();
    PressKey(edit, VK_BACK, U'\b');
    EXPECT_EQ(edit->Text(), "12-");
    EXPECT_EQ(checks, (std::vector<bool> { false }));
    EXPECT_TRUE(edit->CheckText(""));
    EXPECT_FALSE(edit->CheckText("1"));
    EXPECT_TRUE(edit->CheckText("12-34"));
    edit->SetUsePictureMask(false);
    EXPECT_TRUE(edit->CheckText("abc"));
}

TEST_F(QxDBEdit, TheBackspaceCheckSeesTheTextTheEditWillHave)
{
    edit->Picture()->SetPictureMask("##-##");
    TypeText(edit, "1234");
    ASSERT_EQ(edit->Text(), "12-34");

    // A selection goes as a whole: "4" is left, which does not fill the picture.
    checks.clear();
    edit->SetSelStart(0);
    edit->SetSelLength(4);
    PressKey(edit, VK_BACK, U'\b');
    EXPECT_EQ(edit->Text(), "4");
    EXPECT_EQ(checks, (std::vector<bool> { false }));

    // At the start nothing goes, and the text still passes.
    edit->SetText("12-34");
    checks.clear();
    edit->SetSelStart(0);
    PressKey(edit, VK_BACK, U'\b');
    EXPECT_EQ(edit->Text(), "12-34");
    EXPECT_EQ(checks, (std::vector<bool> { true }));

    // Everything selected leaves an empty text, which passes.
    checks.clear();
    edit->SelectAll();
    PressKey(edit, VK_BACK, U'\b');
    EXPECT_EQ(edit->Text(), "");
    EXPECT_EQ(checks, (std::vector<bool> { true }));
}

TEST_F(QxDBEdit, PasteAppliesThePictureAndCutMarksModified)
{
    edit->Picture()->SetPictureMask("&&&");
    Clipboard()->SetAsText("abc");
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "ABC");
    EXPECT_EQ(checks.back(), true);
    edit->SetModified(false);
    edit->SelectAll();
    edit->CutToClipboard();
    EXPECT_EQ(edit->Text(), "");
    EXPECT_TRUE(edit->Modified());
    EXPECT_EQ(Clipboard()->AsText(), "ABC");
}

TEST_F(QxDBEdit, EscapeGivesBackTheTextItHadOnEntry)
{
    edit->SetText("antes");
    edit->SetFocus();
    ProcessPendingEvents();
    EXPECT_FALSE(edit->Modified());
    edit->SetSelStart(5);
    TypeText(edit, "xyz");
    EXPECT_EQ(edit->Text(), "antesxyz");
    EXPECT_TRUE(edit->Modified());
    PressKey(edit, VK_ESCAPE, U'\x1b');
    EXPECT_EQ(edit->Text(), "antes");
    EXPECT_FALSE(edit->Modified());
    EXPECT_EQ(edit->SelLength(), 5);
}

TEST_F(QxDBEdit, AnInvalidExitKeepsTheFocus)
{
    TqxDBEdit *other = Make<TqxDBEdit>();
    other->SetTop(40);
    edit->Picture()->SetPictureMask("###");
    edit->SetFocus();
    ProcessPendingEvents();
    TypeText(edit, "1");
    other->SetFocus();
    ProcessPendingEvents();
    EXPECT_EQ(beeps.Count(), 1);
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(edit->SelLength(), 1);

    edit->Picture()->SetAllowInvalidExit(true);
    other->SetFocus();
    ProcessPendingEvents();
    EXPECT_TRUE(other->Focused());
}

// ---- Window styles -------------------------------------------------------------------------

TEST_F(QxDBEdit, WindowStylesFollowTheProperties)
{
    uint32_t style = edit->WindowStyle();
    EXPECT_FALSE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_AUTOHSCROLL);
    EXPECT_FALSE(style & ES_AUTOVSCROLL);

    // A word-wrapping edit one line high still scrolls sideways.
    edit->SetHeight(18);
    edit->SetWordWrap(true);
    style = edit->WindowStyle();
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_AUTOVSCROLL);
    EXPECT_TRUE(style & ES_AUTOHSCROLL);

    edit->SetHeight(80);
    edit->SetWordWrap(true);
    style = edit->WindowStyle();
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_FALSE(style & ES_AUTOHSCROLL);

    edit->SetShowVertScrollBar(true);
    EXPECT_TRUE(edit->WindowStyle() & WS_VSCROLL);

    TqxDBEdit *secret = Make<TqxDBEdit>();
    secret->SetHeight(18);
    secret->SetBorderStyle(bsNone);
    EXPECT_TRUE(secret->WindowStyle() & ES_MULTILINE);
    secret->SetPasswordChar("*");
    secret->RecreateWnd();
    EXPECT_FALSE(secret->WindowStyle() & ES_MULTILINE);
}

TEST_F(QxDBEdit, TheEditRectangleStartsInsideABorderlessEdit)
{
    TRect rect;
    edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect.Left, 0);
    EXPECT_EQ(rect.Right, edit->ClientWidth() - 1);
    TqxDBEdit *plain = Make<TqxDBEdit>();
    plain->SetHeight(18);
    plain->SetBorderStyle(bsNone);
    plain->SetPasswordChar("*");
    plain->RecreateWnd();
    plain->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect.Left, 1);
    EXPECT_EQ(rect.Top, 1);
}

TEST_F(QxDBEdit, AnEditThatCannotBeTypedIntoPaintsItsOwnText)
{
    auto *untyped = Make<TUntypedEdit>();
    untyped->SetColor(clYellow);
    untyped->SetText("WWWW");
    ProcessPendingEvents();
    int ink = 0;
    for (int x = 3; x < 60; ++x)
        for (int y = 3; y < 20; ++y)
            ink += IsDark(PixelOf(untyped, x, y)) ? 1 : 0;
    EXPECT_GT(ink, 10);
    EXPECT_EQ(ColorToRGB(PixelOf(untyped, 120, 12)), clYellow);
    untyped->SetPasswordChar("*");
    untyped->SetEnabled(false);
    EXPECT_NE(ColorToRGB(PixelOf(untyped, 120, 12)), clBlack);
}

// ---- Date and time on the space key ----------------------------------------------------------

struct FillStep {
    std::vector<std::string> texts;
};

void PressSpaces(TqxDBEdit *edit, std::vector<std::string> &seen, int count)
{
    for (int i = 0; i < count; ++i) {
        PressKey(edit, VK_SPACE, U' ');
        seen.push_back(edit->Text());
    }
}

TEST_F(QxDBEdit, SpaceFillsADateTimePartByPart)
{
    SetClock([] { return EncodeDate(2026, 12, 9) + EncodeTime(6, 5, 7, 0); });
    edit->SetUnboundDataType(qxEdtDateTime);
    std::vector<std::string> seen;
    PressSpaces(edit, seen, 9);
    EXPECT_EQ(seen,
        (std::vector<std::string> { "09/", "09/12/", "09/12/2026", "09/12/2026 ", "09/12/2026 6:",
            "09/12/2026 6:05:", "09/12/2026 6:05:07", "09/12/2026 6:05:07 AM", "09/12/2026 6:05:07 AM" }));
    EXPECT_TRUE(edit->Modified());

    // Without AM and PM texts two time separators already end the time.
    TFormatSettings settings = SpanishFormatSettings();
    settings.TimeAMString.clear();
    settings.TimePMString.clear();
    TFormatSettingsScope noAmPm(settings);
    edit->SetText("");
    seen.clear();
    PressSpaces(edit, seen, 7);
    EXPECT_EQ(seen,
        (std::vector<std::string> { "09/", "09/12/", "09/12/2026", "09/12/2026 ",
            "09/12/2026 6:", "09/12/2026 6:05:", "09/12/2026 6:05:" }));
}

TEST_F(QxDBEdit, SpaceFillsAnEnglishDateTimeWithItsAmPm)
{
    TFormatSettingsScope english(EnglishFormatSettings());
    SetClock([] { return EncodeDate(2026, 3, 4) + EncodeTime(15, 5, 7, 0); });
    edit->SetUnboundDataType(qxEdtDateTime);
    std::vector<std::string> seen;
    PressSpaces(edit, seen, 9);
    EXPECT_EQ(seen,
        (std::vector<std::string> { "3/", "3/4/", "3/4/2026", "3/4/2026 ", "3/4/2026 3:", "3/4/2026 3:05:",
            "3/4/2026 3:05:07", "3/4/2026 3:05:07 PM", "3/4/2026 3:05:07 PM" }));
}

TEST_F(QxDBEdit, SpaceInADateEditStopsAfterTheYear)
{
    SetClock([] { return EncodeDate(2026, 12, 9) + EncodeTime(6, 5, 7, 0); });
    edit->SetUnboundDataType(qxEdtDate);
    TypeText(edit, "3");
    std::vector<std::string> seen;
    PressSpaces(edit, seen, 4);
    EXPECT_EQ(seen, (std::vector<std::string> { "3/", "3/12/", "3/12/2026", "3/12/2026" }));
}

TEST_F(QxDBEdit, SpaceIsAnOrdinaryCharacterElsewhere)
{
    SetClock([] { return EncodeDate(2026, 12, 9); });
    TypeText(edit, "a b");
    EXPECT_EQ(edit->Text(), "a b");
    edit->SetUnboundDataType(qxEdtTime);
    edit->SetAutoFillDate(false);
    TypeText(edit, " ");
    EXPECT_EQ(edit->Text(), "a b ");
}

} // namespace
