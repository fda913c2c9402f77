#include "controls/widgets/qxrchdlg.h"
#include "controls/widgets/qxriched.h"
#include "controls/widgets/qxrichtb.h"

#include "platform/classes/filer.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"
#include "tests/controls/widgets/modal_script.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

static auto *const dialogApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

void Retype(TEdit *field, const std::string &text)
{
    field->SetFocus();
    field->SelectAll();
    PressKey(field, VK_DELETE);
    TypeText(field, text);
}

class RichDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 50, 500, 300);
        edit = new TqxCustomRichEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(0, 0, 480, 260);
        form->Show();
        edit->SetText("first\r\nsecond");
        edit->SetSelStart(0);
    }
    void Indents(int &offset, int &right, int &start) { edit->GetParagraphIndents(offset, right, start); }

    std::unique_ptr<TForm> form;
    TqxCustomRichEdit *edit = nullptr;
    ScriptedMessageBoxes boxes;
};

TEST_F(RichDialogs, TheParagraphDialogShowsTheParagraphAndAppliesWhatWasTyped)
{
    edit->SetParagraph(4 | 8 | 16 | 64 | 128, "", 0, 0, 240, 120, nullptr, 0, 720, 1440, -360, false);
    WhenShown<TqxRichParagraphDialog>([](TqxRichParagraphDialog *dialog) {
        EXPECT_EQ(dialog->Caption(), "Paragraph");
        EXPECT_EQ(dialog->LeftEdit->Text(), "0.25''") << "left = start indent + offset";
        EXPECT_EQ(dialog->FirstLineEdit->Text(), "0.25''") << "first line = -offset";
        EXPECT_EQ(dialog->RightEdit->Text(), "1''");
        EXPECT_EQ(dialog->BeforeParagraphEdit->Text(), "0.08''");
        EXPECT_EQ(dialog->AfterParagraphEdit->Text(), "0.17''");
        EXPECT_EQ(dialog->AlignmentCombo->Text(), "Left");
        EXPECT_EQ(dialog->LineSpacingComboBox->Text(), "Single");
        Retype(dialog->LeftEdit, "1");
        Retype(dialog->FirstLineEdit, "0.5''");
        dialog->AlignmentCombo->SetFocus();
        PressKey(dialog->AlignmentCombo, VK_DOWN);
        EXPECT_EQ(dialog->AlignmentCombo->Text(), "Center");
        dialog->LineSpacingComboBox->SetFocus();
        PressKey(dialog->LineSpacingComboBox, VK_DOWN);
        PressKey(dialog->LineSpacingComboBox, VK_DOWN);
        EXPECT_EQ(dialog->LineSpacingComboBox->Text(), "Double");
        ClickControl(dialog->OKBtn);
    });
    EXPECT_TRUE(qxExecuteParagraphDialog(edit));
    int offset, right, start;
    Indents(offset, right, start);
    EXPECT_EQ(start, 1440 + 720);
    EXPECT_EQ(offset, -720);
    EXPECT_EQ(right, 1440);
    PARAFORMAT2 format = edit->GetParagraphFormat();
    EXPECT_EQ(format.wAlignment, PFA_CENTER);
    EXPECT_EQ(format.bLineSpacingRule, 2) << "two lines apart read back as double spacing";
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(RichDialogs, TheParagraphDialogRefusesWhatItCannotTakeAndKeepsTheFocusThere)
{
    edit->SetParagraph(4 | 16, "", 0, 0, 0, 0, nullptr, 0, 720, 0, 360, false); // a hanging first line
    WhenShown<TqxRichParagraphDialog>([this](TqxRichParagraphDialog *dialog) {
        EXPECT_EQ(dialog->FirstLineEdit->Text(), "-0.25''");
        ClickControl(dialog->OKBtn);
        EXPECT_TRUE(dialog->IsModal()) << "a negative first line cannot be confirmed unchanged";
        EXPECT_EQ(FocusedControl(), dialog->FirstLineEdit);
        Retype(dialog->FirstLineEdit, "0");

        for (const char *bad : { "", "abc", "''", "1,,5" }) {
            Retype(dialog->LeftEdit, bad);
            int before = boxes.Count();
            ClickControl(dialog->OKBtn);
            EXPECT_TRUE(dialog->IsModal()) << bad;
            EXPECT_EQ(FocusedControl(), dialog->LeftEdit) << bad;
            ASSERT_EQ(boxes.Count(), before + 1) << "the dialog says why it refuses '" << bad << "'";
            EXPECT_EQ(boxes.Last().Text, "'" + qxMeasurementNumber(bad) + "' is not a valid floating point value");
        }
        Retype(dialog->LeftEdit, "22");
        Retype(dialog->RightEdit, "23");
        int before = boxes.Count();
        ClickControl(dialog->OKBtn);
        EXPECT_TRUE(dialog->IsModal()) << "23 inches is too far";
        EXPECT_EQ(FocusedControl(), dialog->RightEdit);
        EXPECT_EQ(boxes.Count(), before);
        ClickControl(dialog->CancelBtn);
    });
    EXPECT_FALSE(qxExecuteParagraphDialog(edit));
    int offset, right, start;
    Indents(offset, right, start);
    EXPECT_EQ(start, 720) << "a cancelled dialog changes nothing";
    EXPECT_EQ(offset, 360);
}

TEST_F(RichDialogs, LineSpacingFollowsTheRule)
{
    edit->SetMeasurementUnits(muCentimeters);
    WhenShown<TqxRichParagraphDialog>([](TqxRichParagraphDialog *dialog) {
        dialog->LineSpacingComboBox->SetFocus();
        for (int i = 0; i < 4; ++i)
            PressKey(dialog->LineSpacingComboBox, VK_DOWN);
        EXPECT_EQ(dialog->LineSpacingComboBox->Text(), "Exactly");
        EXPECT_EQ(dialog->WithinParagraphEdit->Text(), "0.42 cm") << "a sixth of an inch, 2.537 cm to the inch";
        PressKey(dialog->LineSpacingComboBox, VK_DOWN);
        EXPECT_EQ(dialog->WithinParagraphEdit->Text(), "1") << "Multiple counts lines";
        PressKey(dialog->LineSpacingComboBox, VK_HOME);
        EXPECT_EQ(dialog->WithinParagraphEdit->Text(), "");
        dialog->WithinParagraphEdit->SetFocus();
        TypeText(dialog->WithinParagraphEdit, "3");
        EXPECT_EQ(dialog->LineSpacingComboBox->Text(), "Multiple") << "typing a number makes the rule Multiple";
        ClickControl(dialog->OKBtn);
    });
    EXPECT_TRUE(qxExecuteParagraphDialog(edit));
    PARAFORMAT2 format = edit->GetParagraphFormat();
    EXPECT_EQ(format.bLineSpacingRule, 5);
    EXPECT_EQ(format.dyLineSpacing, 60);
}

TEST_F(RichDialogs, AVersionOneControlHasNoSpacing)
{
    auto *old = new TqxCustomRichEdit(form.get());
    ReadComponentText(old, "object Old: TqxCustomRichEdit\nend\n", "old.dfm");
    old->SetParent(form.get());
    ASSERT_EQ(old->RichEditVersion(), 1);
    WhenShown<TqxRichParagraphDialog>([](TqxRichParagraphDialog *dialog) {
        EXPECT_EQ(dialog->BeforeParagraphEdit->Text(), "0");
        EXPECT_EQ(dialog->AfterParagraphEdit->Text(), "0");
        EXPECT_FALSE(dialog->BeforeParagraphEdit->Enabled());
        EXPECT_FALSE(dialog->AfterParagraphEdit->Enabled());
        EXPECT_FALSE(dialog->WithinParagraphEdit->Enabled());
        EXPECT_FALSE(dialog->LineSpacingComboBox->Enabled());
        EXPECT_EQ(dialog->LineSpacingComboBox->Text(), "Single");
        ClickControl(dialog->OKBtn);
    });
    EXPECT_TRUE(qxExecuteParagraphDialog(old));
}

TEST_F(RichDialogs, TheTabDialogKeepsItsStopsInOrderWithinTwentyTwoInches)
{
    int tabs[] = { 1440 };
    edit->SetParagraph(32, "", 0, 0, 0, 0, tabs, 1, 0, 0, 0, false);
    WhenShown<TqxRichTabDialog>([this](TqxRichTabDialog *dialog) {
        EXPECT_EQ(dialog->Caption(), "Tab");
        TStrings *list = dialog->ListBox1->Items();
        ASSERT_EQ(list->Count(), 1);
        EXPECT_EQ(list->Strings(0), "1''");
        dialog->Edit1->SetFocus();
        EXPECT_FALSE(dialog->OKButton->Default()) << "Enter in the entry sets a stop";
        TypeText(dialog->Edit1, "0.5");
        PressKey(dialog->Edit1, VK_RETURN, 13);
        EXPECT_TRUE(dialog->IsModal());
        EXPECT_EQ(dialog->Edit1->Text(), "");
        TypeText(dialog->Edit1, "23");
        ClickControl(dialog->Button1);
        EXPECT_EQ(list->Count(), 2) << "23 inches is refused";
        Retype(dialog->Edit1, "22");
        ClickControl(dialog->Button1);
        Retype(dialog->Edit1, "1''");
        ClickControl(dialog->Button1);
        ASSERT_EQ(list->Count(), 3) << "a stop already listed is not listed twice";
        EXPECT_EQ(list->Strings(0), "0.5''");
        EXPECT_EQ(list->Strings(1), "1''");
        EXPECT_EQ(list->Strings(2), "22''");

        Retype(dialog->Edit1, "' '");
        int before = boxes.Count();
        ClickControl(dialog->OKButton);
        EXPECT_TRUE(dialog->IsModal()) << "an entry that is no number keeps the dialog open";
        ASSERT_EQ(boxes.Count(), before + 1);
        EXPECT_EQ(boxes.Last().Text, "'' is not a valid floating point value");
        EXPECT_EQ(FocusedControl(), dialog->Edit1);
        Retype(dialog->Edit1, "");
        ClickControl(dialog->OKButton);
    });
    EXPECT_TRUE(qxExecuteTabDialog(edit));
    PARAFORMAT2 format = edit->GetParagraphFormat();
    ASSERT_EQ(format.cTabCount, 3);
    EXPECT_EQ(format.rgxTabs[0], 720);
    EXPECT_EQ(format.rgxTabs[1], 1440);
    EXPECT_EQ(format.rgxTabs[2], 31680);
}

TEST_F(RichDialogs, TheTabDialogClearsWhatIsSelectedOrEverything)
{
    edit->SetMeasurementUnits(muCentimeters);
    int tabs[] = { 567, 1134, 1701 };
    edit->SetParagraph(32, "", 0, 0, 0, 0, tabs, 3, 0, 0, 0, false);
    WhenShown<TqxRichTabDialog>([](TqxRichTabDialog *dialog) {
        TStrings *list = dialog->ListBox1->Items();
        ASSERT_EQ(list->Count(), 3);
        EXPECT_EQ(list->Strings(0), "1 cm");
        dialog->ListBox1->SetSelected(0, true);
        dialog->ListBox1->SetSelected(2, true);
        ClickControl(dialog->Button2);
        ASSERT_EQ(list->Count(), 1);
        EXPECT_EQ(list->Strings(0), "2 cm");
        dialog->Edit1->SetFocus();
        TypeText(dialog->Edit1, "2.5 cm");
        ClickControl(dialog->OKButton); // a valid entry is set first
    });
    EXPECT_TRUE(qxExecuteTabDialog(edit));
    PARAFORMAT2 format = edit->GetParagraphFormat();
    ASSERT_EQ(format.cTabCount, 2);
    EXPECT_EQ(format.rgxTabs[1], 1418) << "2.5 cm, truncated into twips";

    WhenShown<TqxRichTabDialog>([](TqxRichTabDialog *dialog) {
        ClickControl(dialog->Button4);
        EXPECT_EQ(dialog->ListBox1->Items()->Count(), 0);
        dialog->Edit1->SetFocus();
        PressKey(dialog->Edit1, VK_RETURN, 13); // Enter in an empty entry confirms
    });
    EXPECT_TRUE(qxExecuteTabDialog(edit));
    EXPECT_EQ(edit->GetParagraphFormat().cTabCount, 0);
}

TEST_F(RichDialogs, TheTabDialogShowsAlignedStopsAtTheirPlaceAndKeepsThem)
{
    // A stop packs its alignment above its 24 bits of position: centre, right, decimal.
    int tabs[] = { 1000 | 1 << 24, 2117 | 2 << 24, 4000 | 3 << 24 };
    edit->SetParagraph(32, "", 0, 0, 0, 0, tabs, 3, 0, 0, 0, false);
    WhenShown<TqxRichTabDialog>([](TqxRichTabDialog *dialog) {
        TStrings *list = dialog->ListBox1->Items();
        ASSERT_EQ(list->Count(), 3);
        EXPECT_EQ(list->Strings(0), "0.69''");
        EXPECT_EQ(list->Strings(1), "1.47''");
        EXPECT_EQ(list->Strings(2), "2.78''");
        dialog->Edit1->SetFocus();
        TypeText(dialog->Edit1, "2");
        ClickControl(dialog->OKButton);
    });
    EXPECT_TRUE(qxExecuteTabDialog(edit));
    PARAFORMAT2 format = edit->GetParagraphFormat();
    ASSERT_EQ(format.cTabCount, 4);
    EXPECT_EQ(format.rgxTabs[0], 1000 | 1 << 24);
    EXPECT_EQ(format.rgxTabs[1], 2117 | 2 << 24) << "not moved by the rounding of its text";
    EXPECT_EQ(format.rgxTabs[2], 2880) << "a new stop aligns left";
    EXPECT_EQ(format.rgxTabs[3], 4000 | 3 << 24);
}

TEST_F(RichDialogs, Screenshots)
{
    edit->SetParagraph(4 | 8 | 16 | 64, "", 0, 0, 0, 120, nullptr, 0, 720, 360, -360, false);
    int tabs[] = { 720, 1440, 2880 };
    edit->SetParagraph(32, "", 0, 0, 0, 0, tabs, 3, 0, 0, 0, false);
    WhenShown<TqxRichParagraphDialog>([](TqxRichParagraphDialog *dialog) {
        EXPECT_GT(SaveScreenshot(dialog, ORVEX_BINARY_DIR "/screenshots/rich-paragraph-dialog.png"), 0);
        ClickControl(dialog->CancelBtn);
    });
    qxExecuteParagraphDialog(edit);
    WhenShown<TqxRichTabDialog>([](TqxRichTabDialog *dialog) {
        dialog->ListBox1->SetSelected(1, true);
        EXPECT_GT(SaveScreenshot(dialog, ORVEX_BINARY_DIR "/screenshots/rich-tab-dialog.png"), 0);
        ClickControl(dialog->Button3);
    });
    qxExecuteTabDialog(edit);
}

} // namespace
