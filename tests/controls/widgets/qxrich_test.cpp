#include "controls/widgets/qxrich.h"
#include "controls/base/Qxtypes.h"
#include "controls/data/Qxdbsets.h"
#include "controls/base/Qxintl.h"
#include "controls/widgets/qxTrackIcon.h"
#include "controls/widgets/qxrchdlg.h"
#include "controls/widgets/qxriched.h"
#include "controls/widgets/qxrichtb.h"

#include "platform/classes/filer.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/files.h"
#include "platform/ui/clipbrd.h"
#include "platform/ui/forms.h"
#include "platform/ui/printers.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"
#include "tests/controls/widgets/modal_script.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

static auto *const editorApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RichEditor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(40, 40, 400, 200);
        edit = new TqxCustomRichEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(0, 0, 380, 160);
        form->Show();
        edit->SetText("alpha beta alpha\r\ngamma");
        edit->SetModified(false);
    }
    void TearDown() override { Printer()->SetOutputFileName(""); }

    // Opens the editor on the control, runs the script in it and answers
    // what Execute answered.
    bool Edit(std::function<void(TqxRichEditForm *)> script)
    {
        WhenShown<TqxRichEditForm>(std::move(script));
        return edit->Execute();
    }
    static std::string TempPath(const std::string &name)
    {
        return (std::filesystem::temp_directory_path() / name).string();
    }

    std::unique_ptr<TForm> form;
    TqxCustomRichEdit *edit = nullptr;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs dialogs;
};

const std::string &UserText(const char *name)
{
    return qxIntl()->UserMessages()->Text(name);
}

// ---- Opening and closing -----------------------------------------------------------------------

TEST_F(RichEditor, EditsACopyAndHandsItBackOnlyWithOK)
{
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        EXPECT_EQ(editor->Caption(), "Edit Rich Text");
        EXPECT_EQ(editor->RichEdit1()->Text(), "alpha beta alpha\r\ngamma");
        EXPECT_EQ(editor->RichEdit1()->ClassType(), &TqxCustomRichEdit::Class) << "an edit of the caller's class";
        editor->RichEdit1()->SetSelStart(0);
        TypeText(editor->RichEdit1(), "new ");
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(edit->Text(), "new alpha beta alpha\r\ngamma");
    EXPECT_TRUE(edit->Modified());
    EXPECT_EQ(boxes.Count(), 0) << "Save and Exit asks nothing";

    edit->SetModified(false);
    boxes.Answer(IDNO);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        TypeText(editor->RichEdit1(), "lost ");
        editor->Exit1->Click();
    }));
    ASSERT_EQ(boxes.Count(), 1) << "Exit after a change asks first";
    EXPECT_EQ(boxes.Last().Text, UserText("RichEditExitWarning"));
    EXPECT_EQ(boxes.Last().Caption, "Confirm");
    EXPECT_EQ(boxes.Last().Flags & MB_TYPEMASK, MB_YESNOCANCEL);
    EXPECT_EQ(edit->Text(), "new alpha beta alpha\r\ngamma");
    EXPECT_FALSE(edit->Modified());
}

TEST_F(RichEditor, TheCloseBoxAsksTheExitWarning)
{
    boxes.Answer(IDNO);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        TypeText(editor->RichEdit1(), "discarded ");
        editor->Perform(WM_CLOSE, 0, 0);
    }));
    EXPECT_EQ(edit->Text(), "alpha beta alpha\r\ngamma") << "No discards";
    EXPECT_EQ(boxes.Count(), 1);

    boxes.Answer(IDCANCEL);
    boxes.Answer(IDYES);
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TypeText(editor->RichEdit1(), "kept ");
        editor->Perform(WM_CLOSE, 0, 0);
        EXPECT_TRUE(editor->IsModal()) << "Cancel stays";
        editor->Perform(WM_CLOSE, 0, 0);
    }));
    EXPECT_EQ(boxes.Count(), 3);
    EXPECT_EQ(edit->Text(), "kept alpha beta alpha\r\ngamma") << "Yes on the close box saves";

    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) { editor->Perform(WM_CLOSE, 0, 0); }));
    EXPECT_EQ(boxes.Count(), 3) << "nothing changed, nothing asked";
}

// ---- The menus reach their actions ------------------------------------------------------------

TEST_F(RichEditor, TheFileMenuLoadsSavesAndPrints)
{
    std::string rtf = TempPath("qxrich-load.rtf"), saved = TempPath("qxrich-saved.rtf");
    std::filesystem::remove(saved);
    {
        std::ofstream out(rtf, std::ios::binary);
        out << "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 loaded \\b bold\\b0  text}";
    }
    std::string pdf = TempPath("qxrich-print.pdf");
    std::filesystem::remove(pdf);
    Printer()->SetOutputFileName(pdf);
    TqxRichEditOptions options = edit->EditorOptions();
    options.Include(reoShowLoad);
    options.Include(reoShowSaveAs);
    edit->SetEditorOptions(options);
    dialogs.Answer([&](TCommonDialog &dialog) {
        auto &open = dynamic_cast<TOpenDialog &>(dialog);
        EXPECT_EQ(open.Filter(), "Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT");
        open.SetFileName(rtf);
        return true;
    });
    dialogs.Answer([&](TCommonDialog &dialog) {
        auto &save = dynamic_cast<TSaveDialog &>(dialog);
        EXPECT_EQ(save.DefaultExt(), "rtf");
        save.SetFileName(saved);
        return true;
    });
    dialogs.Answer([&](TCommonDialog &dialog) {
        dynamic_cast<TSaveDialog &>(dialog).SetFileName(saved);
        return true;
    });
    dialogs.Answer([](TCommonDialog &dialog) {
        auto &print = dynamic_cast<TPrintDialog &>(dialog);
        EXPECT_TRUE(print.Collate());
        return true;
    });
    boxes.Answer(IDNO);
    EXPECT_TRUE(Edit([&](TqxRichEditForm *editor) {
        EXPECT_TRUE(editor->Load1->Visible());
        editor->Load1->Click();
        EXPECT_EQ(editor->RichEdit1()->Text(), "loaded bold text");
        editor->SaveAs1->Click();
        EXPECT_NE(ReadFile(saved).find("bold"), std::string::npos) << "saved as RTF";
        EXPECT_EQ(boxes.Count(), 0);
        std::filesystem::resize_file(saved, 0);
        editor->SaveAs1->Click();
        ASSERT_EQ(boxes.Count(), 1) << "an existing file asks first";
        EXPECT_EQ(boxes.Last().Text, "OK to overwrite " + saved);
        EXPECT_EQ(std::filesystem::file_size(saved), 0u) << "No keeps the file";
        editor->Print1->Click();
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(edit->Text(), "loaded bold text");
    EXPECT_EQ(dialogs.Shown(), (std::vector<std::string> { "TOpenDialog", "TSaveDialog", "TSaveDialog", "TPrintDialog" }));
    ASSERT_TRUE(std::filesystem::exists(pdf));
    if (HaveTool("pdftotext")) {
        EXPECT_NE(CommandOutput("pdftotext '" + pdf + "' -").find("loaded bold text"), std::string::npos);
    }
}

TEST_F(RichEditor, TheEditMenuReachesTheInnerEdit)
{
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        inner->SetSelStart(0);
        inner->SetSelLength(5);
        editor->Edit1->Click();
        EXPECT_TRUE(editor->Cut1->Enabled());
        EXPECT_TRUE(editor->Copy1->Enabled());
        editor->Copy1->Click();
        EXPECT_EQ(Clipboard()->AsText(), "alpha");
        editor->Cut1->Click();
        EXPECT_EQ(inner->Text(), " beta alpha\r\ngamma");
        editor->Edit1->Click();
        EXPECT_TRUE(editor->Undo1->Enabled());
        editor->Undo1->Click();
        EXPECT_EQ(inner->Text(), "alpha beta alpha\r\ngamma");
        editor->Edit1->Click();
        EXPECT_TRUE(editor->Redo1->Enabled());
        editor->Redo1->Click();
        EXPECT_EQ(inner->Text(), " beta alpha\r\ngamma");
        inner->SetSelStart(inner->GetTextLen());
        editor->Edit1->Click();
        EXPECT_TRUE(editor->Paste1->Enabled());
        editor->Paste1->Click();
        EXPECT_EQ(inner->Text(), " beta alpha\r\ngammaalpha");
        editor->SelectAll1->Click();
        EXPECT_EQ(inner->SelText(), inner->Text());
        editor->Clear1->Click();
        EXPECT_EQ(inner->Text(), "");
        editor->Edit1->Click();
        EXPECT_FALSE(editor->SelectAll1->Enabled()) << "nothing to select";
        EXPECT_FALSE(editor->Find1->Enabled());
        EXPECT_FALSE(editor->Cut1->Enabled());
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(edit->Text(), "");
}

TEST_F(RichEditor, FindAndReplaceWorkThroughTheirDialogs)
{
    dialogs.Answer([](TCommonDialog &dialog) {
        auto &find = dynamic_cast<TFindDialog &>(dialog);
        EXPECT_EQ(find.FindText(), "") << "nothing selected, nothing searched before";
        find.SetFindText("alpha");
        find.Find();
        return true;
    });
    dialogs.Answer([](TCommonDialog &dialog) {
        auto &replace = dynamic_cast<TReplaceDialog &>(dialog);
        EXPECT_EQ(replace.FindText(), "alpha") << "the selection is what is searched";
        replace.SetReplaceText("omega");
        replace.Replace(true);
        replace.CloseDialog();
        return true;
    });
    EXPECT_TRUE(Edit([this](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        inner->SetSelStart(0);
        editor->Find1->Click();
        EXPECT_EQ(inner->SelStart(), 0);
        EXPECT_EQ(inner->SelText(), "alpha");
        editor->FindNext1->Click();
        EXPECT_EQ(inner->SelStart(), 11) << "Find Next goes on with the same text";
        editor->Edit1->Click();
        EXPECT_TRUE(editor->FindNext1->Enabled());
        inner->SetSelStart(0);
        inner->SetSelLength(5);
        editor->Replace1->Click();
        EXPECT_EQ(inner->Text(), "omega beta omega\r\ngamma");
        ASSERT_EQ(boxes.Count(), 1) << "replacing all ends at the last match";
        EXPECT_EQ(boxes.Last().Text, UserText("LocateNoMoreMatches"));
        EXPECT_FALSE(inner->HideSelection());
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(edit->Text(), "omega beta omega\r\ngamma");
    EXPECT_EQ(dialogs.Shown(), (std::vector<std::string> { "TFindDialog", "TReplaceDialog" }));
}

TEST_F(RichEditor, TheViewMenuHidesAndShowsTheBars)
{
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        int top = inner->Top(), height = inner->Height();
        EXPECT_TRUE(editor->Toolbar1->Checked());
        editor->Toolbar1->Click();
        EXPECT_FALSE(editor->Toolbar->Visible());
        EXPECT_FALSE(editor->Toolbar1->Checked());
        EXPECT_EQ(inner->Top(), top - editor->Toolbar->Height() - 2);
        editor->FormatBar1->Click();
        EXPECT_FALSE(editor->FormatBar->Visible());
        editor->Ruler1->Click();
        EXPECT_FALSE(editor->Ruler()->Visible());
        EXPECT_EQ(inner->Top(), 0) << "with no bar the text starts at the top";
        editor->StatusBar1->Click();
        EXPECT_FALSE(editor->StatusBar->Visible());
        EXPECT_EQ(inner->Height(), editor->ClientHeight());
        for (TMenuItem *item : { editor->Toolbar1, editor->FormatBar1, editor->Ruler1, editor->StatusBar1 })
            item->Click();
        EXPECT_EQ(inner->Top(), top);
        EXPECT_EQ(inner->Height(), height);
        EXPECT_EQ(editor->StatusBar->Top(), inner->Top() + inner->Height());
        editor->Exit1->Click();
    }));
}

TEST_F(RichEditor, TheFormatMenuAndBarFormatTheSelection)
{
    dialogs.Answer([](TCommonDialog &dialog) {
        auto &font = dynamic_cast<TFontDialog &>(dialog);
        EXPECT_FALSE(font.Options().Contains(fdWysiwyg)) << "a window-wide edit shows screen fonts";
        font.Font()->SetName("DejaVu Serif");
        font.Font()->SetSize(15);
        font.Font()->SetStyle({ fsItalic });
        return true;
    });
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        inner->SetSelStart(0);
        inner->SetSelLength(5);
        editor->Font1->Click();
        EXPECT_EQ(inner->SelAttributes()->Name(), "DejaVu Serif");
        EXPECT_EQ(inner->SelAttributes()->Size(), 15);
        EXPECT_TRUE(editor->ItalicButton->Down()) << "the bar follows";
        EXPECT_EQ(editor->FontSizeCombo->Text(), "");
        editor->BulletStyle1->Click();
        EXPECT_EQ(inner->Paragraph()->Numbering(), nsBullet);
        EXPECT_TRUE(editor->BulletStyle1->Checked());
        EXPECT_TRUE(editor->BulletButton->Down());
        editor->BulletStyle1->Click();
        EXPECT_EQ(inner->Paragraph()->Numbering(), nsNone);

        ClickControl(editor->BoldButton);
        EXPECT_TRUE(inner->SelAttributes()->Style().Contains(fsBold));
        EXPECT_TRUE(editor->BoldButton->Down());
        ClickControl(editor->BoldButton);
        EXPECT_FALSE(inner->SelAttributes()->Style().Contains(fsBold)) << "a pressed button takes the style off";
        ClickControl(editor->CenterButton);
        EXPECT_EQ(inner->Paragraph()->Alignment(), taCenter);
        EXPECT_TRUE(editor->CenterButton->Down());
        EXPECT_FALSE(editor->LeftButton->Down());

        WhenShown<TqxRichParagraphDialog>([](TqxRichParagraphDialog *dialog) {
            dialog->LeftEdit->SetText("1");
            dialog->FirstLineEdit->SetText("0");
            ClickControl(dialog->OKBtn);
        });
        editor->Paragraph1->Click();
        int offset, right, start;
        inner->GetParagraphIndents(offset, right, start);
        EXPECT_EQ(start + offset, 1440);
        EXPECT_EQ(editor->Ruler()->LeftIndentMarker()->Left(),
            editor->Ruler()->DrawRect().Left + 96 - editor->Ruler()->LeftIndentMarker()->Width() / 2)
            << "the ruler follows the paragraph";
        WhenShown<TqxRichTabDialog>([](TqxRichTabDialog *dialog) {
            dialog->Edit1->SetText("2");
            ClickControl(dialog->Button1);
            ClickControl(dialog->OKButton);
        });
        editor->Tabs1->Click();
        ASSERT_EQ(inner->Paragraph()->TabCount(), 1);
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(dialogs.Shown(), std::vector<std::string> { "TFontDialog" });
}

TEST_F(RichEditor, TheFontCombosSetTheSelectionAndIgnoreWhatIsNoSize)
{
    EXPECT_TRUE(Edit([this](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        inner->SetSelStart(0);
        inner->SetSelLength(5);
        EXPECT_EQ(inner->SelAttributes()->Name(), "MS Sans Serif") << "the library's default face";
        EXPECT_NE(editor->FontNameCombo->ItemIndex(), -1) << "shown as the face it is drawn in";
        EXPECT_EQ(editor->FontNameCombo->Font()->Color(), clWindowText);
        inner->SelAttributes()->SetName("No Such Face");
        editor->UpdateToolState();
        EXPECT_EQ(editor->FontNameCombo->Text(), "No Such Face");
        EXPECT_EQ(editor->FontNameCombo->Font()->Color(), static_cast<TColor>(255)) << "an unknown face shows red";
        inner->SelAttributes()->SetName("DejaVu Sans");
        editor->UpdateToolState();
        EXPECT_EQ(editor->FontNameCombo->Font()->Color(), clWindowText);

        int size = inner->SelAttributes()->Size();
        for (const char *bad : { "abc", "1x", "-3", "0", " " }) {
            editor->FontSizeCombo->SetFocus();
            editor->FontSizeCombo->SetText("");
            TypeText(editor->FontSizeCombo, bad);
            inner->SetFocus(); // leaving the modified combo applies it
            EXPECT_EQ(inner->SelAttributes()->Size(), size) << bad;
        }
        EXPECT_EQ(boxes.Count(), 0) << "no conversion error is shown";
        editor->FontSizeCombo->SetFocus();
        editor->FontSizeCombo->SetText("");
        TypeText(editor->FontSizeCombo, "26");
        inner->SetFocus();
        EXPECT_EQ(inner->SelAttributes()->Size(), 26);
        EXPECT_EQ(editor->FontSizeCombo->Text(), "26");
        editor->SaveExit1->Click();
    }));
}

TEST_F(RichEditor, ClearingAsksTheClearWarning)
{
    boxes.Answer(IDCANCEL);
    EXPECT_TRUE(Edit([this](TqxRichEditForm *editor) {
        ClickControl(editor->NewButton);
        ASSERT_EQ(boxes.Count(), 1);
        EXPECT_EQ(boxes.Last().Text, UserText("RichEditClearWarning"));
        EXPECT_EQ(boxes.Last().Flags & MB_TYPEMASK, MB_OKCANCEL);
        EXPECT_EQ(editor->RichEdit1()->Text(), "alpha beta alpha\r\ngamma") << "Cancel keeps the text";
        ClickControl(editor->NewButton);
        EXPECT_EQ(editor->RichEdit1()->Text(), "");
        EXPECT_TRUE(editor->RichEdit1()->Modified());
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(edit->Text(), "");
}

TEST_F(RichEditor, AReadOnlyCallerGetsAViewer)
{
    edit->SetReadOnly(true);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        EXPECT_FALSE(editor->Format1->Visible());
        EXPECT_FALSE(editor->View1->Visible());
        EXPECT_FALSE(editor->Insert1->Visible());
        EXPECT_FALSE(editor->NewButton->Visible());
        EXPECT_FALSE(editor->Toolbar->Visible());
        EXPECT_FALSE(editor->FormatBar->Visible());
        EXPECT_FALSE(editor->SaveExit1->Visible());
        EXPECT_TRUE(editor->Print1->Visible());
        PressKey(editor->RichEdit1(), VK_ESCAPE, 27);
        EXPECT_EQ(editor->ModalResult(), mrCancel) << "Escape closes a viewer";
    }));
}

TEST_F(RichEditor, TheEditorOpensWhereEditorPositionSays)
{
    TqxFormPosition *position = edit->EditorPosition();
    position->SetLeft(30);
    position->SetTop(40);
    position->SetWidth(700);
    position->SetHeight(480);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        EXPECT_EQ(editor->Left(), 30);
        EXPECT_EQ(editor->Top(), 40);
        EXPECT_EQ(editor->Width(), 700);
        EXPECT_EQ(editor->Height(), 480);
        editor->Exit1->Click();
    }));
    // Without a place it is centred, at its size.
    position->SetLeft(0);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        EXPECT_EQ(editor->Left(), (Screen->Width() - 700) / 2);
        EXPECT_EQ(editor->Width(), 700);
        editor->Exit1->Click();
    }));
}

TEST(RichEditorPosition, IsReadAndWrittenWithTheFormResource)
{
    TqxDBRichEdit written(nullptr);
    written.SetName("Notes");
    written.EditorPosition()->SetLeft(12);
    written.EditorPosition()->SetWidth(640);
    std::string text = WriteComponentText(&written);
    EXPECT_NE(text.find("EditorPosition.Width = 640"), std::string::npos) << text;
    TqxDBRichEdit read(nullptr);
    ReadComponentText(&read, text, "Notes.dfm");
    EXPECT_EQ(read.EditorPosition()->Left(), 12);
    EXPECT_EQ(read.EditorPosition()->Width(), 640);
}

// A rich edit on the Body blob of a note in a fresh SQLite file, through the library's table.
class BoundRichEditor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        const std::string name = "qxrich-bound-" + std::to_string(getpid()) + "-" + std::to_string(++n);
        dir = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(dir);
        file = (dir / "notes.db").string();
        CreateDatabaseFile(file);
        {
            TDatabase db(nullptr);
            db.SetDatabaseName(name);
            db.Params()->Add("PATH=" + file);
            db.Execute("CREATE TABLE notes (Id INTEGER PRIMARY KEY, Body BLOB)");
            db.Execute("INSERT INTO notes VALUES (1, CAST('{\\rtf1\\ansi Hello {\\b bold} note}' AS BLOB))");
        }
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(40, 40, 400, 240);
        table = new TqxTable(form.get());
        table->SetDatabaseName(file);
        table->SetTableName("notes");
        table->Open();
        source = new TDataSource(form.get());
        source->SetDataSet(table);
        edit = new TqxDBRichEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(0, 0, 380, 200);
        edit->SetDataSource(source);
        edit->SetDataField("Body");
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override
    {
        form.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string StoredBody()
    {
        TqxTable check(nullptr);
        check.SetDatabaseName(file);
        check.SetTableName("notes");
        check.Open();
        return check.FieldByName("Body")->AsString();
    }
    // Opens the editor, types text at the start and saves and exits.
    bool EditAndType(const std::string &text, const std::string &expectShown)
    {
        WhenShown<TqxRichEditForm>([&](TqxRichEditForm *editor) {
            TqxCustomRichEdit *inner = editor->RichEdit1();
            EXPECT_EQ(inner->Text(), expectShown);
            EXPECT_FALSE(inner->ReadOnly());
            EXPECT_TRUE(editor->Format1->Visible());
            EXPECT_TRUE(editor->View1->Visible());
            inner->SetSelStart(0);
            TypeText(inner, text);
            editor->SaveExit1->Click();
        });
        return edit->Execute();
    }

    std::filesystem::path dir;
    std::string file;
    std::unique_ptr<TForm> form;
    TqxTable *table = nullptr;
    TDataSource *source = nullptr;
    TqxDBRichEdit *edit = nullptr;
    ScriptedMessageBoxes boxes;
};

TEST_F(BoundRichEditor, AnEditableRecordIsEditedWhileItIsBrowsed)
{
    ASSERT_EQ(table->State(), dsBrowse);
    EXPECT_FALSE(edit->ReadOnly());
    edit->PreparePopup();
    TMenuItem *items = edit->BuiltInPopupMenu()->Items();
    EXPECT_EQ(items->Items(0)->Caption(), "&Edit");
    EXPECT_TRUE(items->Items(10)->Visible()) << "the popup formats";

    EXPECT_TRUE(EditAndType("new ", "Hello bold note"));
    table->Post();
    std::string body = StoredBody();
    EXPECT_NE(body.find("new Hello"), std::string::npos) << body;

    edit->SetReadOnly(true);
    WhenShown<TqxRichEditForm>([](TqxRichEditForm *editor) {
        EXPECT_FALSE(editor->Format1->Visible()) << "a read-only control still gets a viewer";
        editor->Exit1->Click();
    });
    EXPECT_FALSE(edit->Execute());
}

TEST_F(BoundRichEditor, ADeferredNoteOpensInTheEditorAndIsWrittenBack)
{
    edit->SetAutoDisplay(false);
    edit->SetDataField("");
    edit->SetDataField("Body");
    ASSERT_EQ(edit->Text(), "(Body)");
    EXPECT_TRUE(EditAndType("more ", "Hello bold note"));
    table->Post();
    std::string body = StoredBody();
    EXPECT_NE(body.find("more Hello"), std::string::npos) << body;
    EXPECT_EQ(body.find("(Body)"), std::string::npos) << body;
}

TEST_F(RichEditor, EscapeClosesOrUndoes)
{
    boxes.Answer(IDNO);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        TypeText(editor->RichEdit1(), "x");
        PressKey(editor->RichEdit1(), VK_ESCAPE, 27);
    }));
    EXPECT_EQ(boxes.Count(), 1) << "closing on Escape asks about the change";

    TqxRichEditOptions options = edit->EditorOptions();
    options.Exclude(reoCloseOnEscape);
    edit->SetEditorOptions(options);
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TypeText(editor->RichEdit1(), "x");
        PressKey(editor->RichEdit1(), VK_ESCAPE, 27);
        EXPECT_EQ(editor->ModalResult(), mrNone);
        EXPECT_EQ(editor->RichEdit1()->Text(), "alpha beta alpha\r\ngamma") << "Escape undoes instead";
        editor->RichEdit1()->SetSelStart(0);
        editor->RichEdit1()->SetSelLength(5);
        PressKey(editor->RichEdit1(), 'B', 2, { ssCtrl });
        EXPECT_TRUE(editor->BoldButton->Down()) << "Ctrl+B through the bold button";
        EXPECT_TRUE(editor->RichEdit1()->SelAttributes()->Style().Contains(fsBold));
        PressKey(editor->RichEdit1(), 'I', 9, { ssCtrl });
        EXPECT_TRUE(editor->RichEdit1()->SelAttributes()->Style().Contains(fsItalic));
        EXPECT_EQ(editor->RichEdit1()->SelText(), "alpha") << "Ctrl+I types no tab";
        PressKey(editor->RichEdit1(), 'B', 2, { ssCtrl });
        EXPECT_FALSE(editor->RichEdit1()->SelAttributes()->Style().Contains(fsBold));
        editor->SaveExit1->Click();
    }));
}

TEST_F(RichEditor, CtrlZUndoesOneStep)
{
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        auto twoSteps = [&] {
            inner->SetText("alpha beta");
            inner->SetSelStart(0);
            TypeText(inner, "x");
            inner->SetSelStart(7);
            inner->SetSelLength(4);
            editor->Clear1->Click();
            ASSERT_EQ(inner->Text(), "xalpha ");
        };
        twoSteps();
        inner->Perform(EM_UNDO, 0, 0);
        const std::string oneStep = inner->Text();
        twoSteps();
        PressKey(inner, 'Z', 26, { ssCtrl });
        EXPECT_EQ(inner->Text(), oneStep) << "the key-up undoes no second step";
        twoSteps();
        editor->Undo1->Click(); // what the menu's Ctrl+Z shortcut runs as the key goes down
        uint16_t key = 'Z';
        editor->FormKeyUp(editor, key, { ssCtrl });
        EXPECT_EQ(inner->Text(), oneStep);
        editor->SaveExit1->Click();
    }));
}

TEST_F(RichEditor, TheColourMenuPaintsSwatchesAndColoursTheSelection)
{
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TMenuItem *red = editor->PopupMenu1->Items()->Find("Red");
        ASSERT_NE(red, nullptr);
        EXPECT_EQ(red->Tag(), 255);
        EXPECT_EQ(editor->Automatic1->Tag(), static_cast<int>(editor->RichEdit1()->Font()->Color()));
        TBitmap picture;
        picture.SetSize(120, 20);
        int width = 0, height = 0;
        red->OnMeasureItem(red, picture.Canvas(), width, height);
        EXPECT_EQ(width, picture.Canvas()->TextWidth("Red") + 45);
        EXPECT_EQ(height, picture.Canvas()->TextHeight("Red") + 2);
        red->OnDrawItem(red, picture.Canvas(), Rect(0, 0, 120, 20), false);
        EXPECT_EQ(picture.Canvas()->Pixels(20, 10), clRed) << "the swatch";
        EXPECT_EQ(picture.Canvas()->Pixels(1, 10), ColorToRGB(clBtnFace));
        red->OnDrawItem(red, picture.Canvas(), Rect(0, 0, 120, 20), true);
        EXPECT_EQ(picture.Canvas()->Pixels(1, 10), ColorToRGB(clHighlight)) << "a selected item";
        EXPECT_EQ(picture.Canvas()->Pixels(20, 10), clRed);

        // The menu as it drops from its button, for a person to look at.
        QueueCall([] {
            if (QWidget *popup = QApplication::activePopupWidget()) {
                std::filesystem::create_directories(std::string(ORVEX_BINARY_DIR) + "/screenshots");
                popup->grab().save(QString(ORVEX_BINARY_DIR) + "/screenshots/rich-colour-menu.png");
                popup->close();
            }
        });
        ClickControl(editor->SpeedButton1);

        TqxCustomRichEdit *inner = editor->RichEdit1();
        inner->SetSelStart(0);
        inner->SetSelLength(5);
        red->Click();
        EXPECT_EQ(inner->SelAttributes()->Color(), clRed);
        editor->SaveExit1->Click();
    }));
    edit->SetSelStart(0);
    edit->SetSelLength(5);
    EXPECT_EQ(edit->SelAttributes()->Color(), clRed) << "the caller gets the colour back";
}

TEST_F(RichEditor, TheToolBarButtonsRunTheirMenuItems)
{
    dialogs.Answer([](TCommonDialog &dialog) {
        dynamic_cast<TFindDialog &>(dialog).SetFindText("gamma");
        dynamic_cast<TFindDialog &>(dialog).Find();
        return true;
    });
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        TqxCustomRichEdit *inner = editor->RichEdit1();
        ClickControl(editor->FindButton);
        EXPECT_EQ(inner->SelText(), "gamma");
        ClickControl(editor->CopyButton);
        EXPECT_EQ(Clipboard()->AsText(), "gamma");
        ClickControl(editor->CutButton);
        EXPECT_EQ(inner->Text(), "alpha beta alpha\r\n");
        editor->UpdateToolState();
        ClickControl(editor->UndoButton);
        EXPECT_EQ(inner->Text(), "alpha beta alpha\r\ngamma");
        editor->UpdateToolState();
        ClickControl(editor->RedoButton);
        EXPECT_EQ(inner->Text(), "alpha beta alpha\r\n");
        editor->UpdateToolState();
        ClickControl(editor->PasteButton);
        EXPECT_EQ(inner->Text(), "alpha beta alpha\r\ngamma");
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(dialogs.Shown(), std::vector<std::string> { "TFindDialog" });
}

TEST_F(RichEditor, TheStatusBarShowsTheLocksAndTheHints)
{
    FixedKeyLocks locks;
    EXPECT_FALSE(Edit([&](TqxRichEditForm *editor) {
        EXPECT_EQ(editor->StatusBar->Panels()->Count(), 4);
        EXPECT_EQ(editor->StatusBar->Panels()->Items(1)->Text(), "");
        locks.Set(VK_CAPITAL, true);
        PressKey(editor->RichEdit1(), VK_RIGHT);
        EXPECT_EQ(editor->StatusBar->Panels()->Items(1)->Text(), "CAP");
        EXPECT_EQ(editor->StatusBar->Panels()->Items(2)->Text(), "");
        locks.Set(VK_CAPITAL, false);
        locks.Set(VK_NUMLOCK, true);
        PressKey(editor->RichEdit1(), VK_RIGHT);
        EXPECT_EQ(editor->StatusBar->Panels()->Items(1)->Text(), "");
        EXPECT_EQ(editor->StatusBar->Panels()->Items(2)->Text(), "NUM");
        EXPECT_EQ(editor->BoldButton->Hint(), "Bold | Makes the selection bold (toggle)");
        Application->SetHint(GetLongHint(editor->BoldButton->Hint()));
        EXPECT_EQ(editor->StatusBar->Panels()->Items(0)->Text(), " Makes the selection bold (toggle)");
        EXPECT_EQ(editor->Print1->Hint(), editor->PrintButton->Hint());
        editor->Exit1->Click();
    }));
    EXPECT_FALSE(Application->OnHint) << "closing gives the hint back";
}

// ---- Page setup and printing -------------------------------------------------------------------

TEST_F(RichEditor, PageSetupMarginsReachThePrintedPage)
{
    if (!HaveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed (tools/bootstrap installs it)";
    std::string pdf = TempPath("qxrich-margins.pdf");
    std::filesystem::remove(pdf);
    Printer()->SetOutputFileName(pdf);
    edit->SelectAll();
    edit->SelAttributes()->SetName("DejaVu Sans");
    edit->SelAttributes()->SetSize(12);
    dialogs.AnswerPageSetup([](PAGESETUPDLG &setup) {
        EXPECT_EQ(setup.rtMargin.Left, 1000) << "one inch in thousandths";
        setup.rtMargin.Left = 2500;
        setup.rtMargin.Top = 1500;
        return true;
    });
    dialogs.Answer([](TCommonDialog &) { return true; });
    EXPECT_TRUE(Edit([](TqxRichEditForm *editor) {
        editor->PageSetup1->Click();
        EXPECT_DOUBLE_EQ(editor->RichEdit1()->PrintMargins()->Left(), 2.5);
        editor->Print1->Click();
        editor->SaveExit1->Click();
    }));
    EXPECT_EQ(dialogs.PageSetupAsked().Flags, PSD_MARGINS | PSD_ENABLEPAGESETUPHOOK | PSD_DISABLEPAPER
            | PSD_INTHOUSANDTHSOFINCHES);
    EXPECT_DOUBLE_EQ(edit->PrintMargins()->Left(), 2.5) << "the caller takes the margins back";
    std::string boxes = CommandOutput("pdftotext -bbox -f 1 -l 1 '" + pdf + "' -");
    size_t word = boxes.find("<word xMin=\"");
    ASSERT_NE(word, std::string::npos) << boxes;
    EXPECT_NEAR(std::stod(boxes.substr(word + 12)), 180, 2) << "2.5 inches from the left";
    size_t yAt = boxes.find("yMin=\"", word);
    EXPECT_NEAR(std::stod(boxes.substr(yAt + 6)), 108, 6) << "1.5 inches from the top";
}

TEST_F(RichEditor, CentimetreMarginsGoInHundredthsOfAMillimetre)
{
    edit->SetMeasurementUnits(muCentimeters);
    edit->PrintMargins()->SetLeft(2.0);
    dialogs.AnswerPageSetup([](PAGESETUPDLG &setup) {
        EXPECT_EQ(setup.rtMargin.Left, 2000);
        setup.rtMargin.Right = 3250;
        return true;
    });
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        editor->PageSetup1->Click();
        EXPECT_DOUBLE_EQ(editor->RichEdit1()->PrintMargins()->Right(), 3.25);
        editor->Exit1->Click();
    }));
    EXPECT_TRUE(dialogs.PageSetupAsked().Flags & PSD_INHUNDREDTHSOFMILLIMETERS);
    EXPECT_DOUBLE_EQ(edit->PrintMargins()->Right(), 1.0) << "Exit gives nothing back";
}

// ---- Pictures ------------------------------------------------------------------------------------

TEST_F(RichEditor, Screenshot)
{
    edit->SetText("A formatted document\r\nThe ruler above shows the indents of this paragraph, which is indented "
                  "half an inch on its first line and kept an inch from the right edge.\r\n"
                  "Centred line\r\nFirst bullet\r\nSecond bullet");
    edit->SetSelStart(0);
    edit->SetSelLength(20);
    edit->SelAttributes()->SetSize(16);
    edit->SelAttributes()->SetStyle({ fsBold });
    edit->SelAttributes()->SetColor(static_cast<TColor>(8388608));
    edit->SetSelStart(25);
    edit->SetParagraph(4 | 8 | 16, "", 0, 0, 0, 0, nullptr, 0, 720, 1440, -720, false);
    edit->SetSelStart(static_cast<int>(edit->Text().find("Centred")));
    edit->Paragraph()->SetAlignment(taCenter);
    edit->SetSelStart(static_cast<int>(edit->Text().find("First bullet")));
    edit->SetSelLength(20);
    edit->SetBullets(true);
    edit->SetSelStart(30);
    EXPECT_FALSE(Edit([](TqxRichEditForm *editor) {
        std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/rich-editor.png";
        EXPECT_GT(SaveScreenshot(editor, path), 0);
        editor->Exit1->Click();
    }));
}

} // namespace
