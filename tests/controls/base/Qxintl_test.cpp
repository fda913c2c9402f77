#include "controls/base/Qxintl.h"

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/buttons.h"
#include "platform/ui/forms.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// The 202 default texts, as the library documents them: property path, text.
const std::vector<std::pair<std::string, std::string>> defaultTexts = {
    {"FilterDialog.BtnViewSummary", "View Su&mmary"},
    {"FilterDialog.BtnViewSummaryHint", "View summary of current search criteria"},
    {"FilterDialog.BtnNewSearch", "&New Search"},
    {"FilterDialog.BtnNewSearchHint", "Start a new search"},
    {"FilterDialog.FieldOrderLabel", "Field Order"},
    {"FilterDialog.FieldOrderHint", "Sort field list alphabetically or in their natural logical order"},
    {"FilterDialog.AlphabeticLabel", "Alpha&betic"},
    {"FilterDialog.LogicalLabel", "&Logical"},
    {"FilterDialog.AllFieldsLabel", "&All"},
    {"FilterDialog.SearchedFieldsLabel", "&Searched"},
    {"FilterDialog.StartingRangeLabel", "&Starting Range"},
    {"FilterDialog.EndingRangeLabel", "En&ding Range"},
    {"FilterDialog.StartingRangeHint", "Enter starting range for field"},
    {"FilterDialog.EndingRangeHint", "Enter ending range for field"},
    {"FilterDialog.BtnClearMin", "&Clear"},
    {"FilterDialog.BtnClearMax", "Cl&ear"},
    {"FilterDialog.BtnClearFilterValue", "&Clear"},
    {"FilterDialog.BtnClearMinHint", "Clear starting range for field"},
    {"FilterDialog.BtnClearMaxHint", "Clear ending range for field"},
    {"FilterDialog.BtnClearFilterValueHint", "Clear the current field's search value"},
    {"FilterDialog.ByValueLabel", "By &Value"},
    {"FilterDialog.ByRangeLabel", "By &Range"},
    {"FilterDialog.FieldValueLabel", "Field &Value"},
    {"FilterDialog.FieldValueHint", "Enter field's search value"},
    {"FilterDialog.SearchTypeLabel", "Search Type"},
    {"FilterDialog.SearchTypeHint", "Specify how the Field Value should be compared"},
    {"FilterDialog.MatchExactLabel", "&Exact Match"},
    {"FilterDialog.MatchStartLabel", "&Partial Match at Beginning"},
    {"FilterDialog.MatchAnyLabel", "Partial Match Any&where"},
    {"FilterDialog.CaseSensitiveLabel", "Case Sensi&tive"},
    {"FilterDialog.CaseSensitiveHint", "Searching is case-sensitive"},
    {"FilterDialog.NonMatchingLabel", "N&on-matching records"},
    {"FilterDialog.NonMatchingHint", "Show records that do not match the field value criteria"},
    {"FilterDialog.SummaryFieldLabel", "Field"},
    {"FilterDialog.SummarySearchLabel", "Search Type"},
    {"FilterDialog.SummaryValueLabel", "Value"},
    {"FilterDialog.FieldsLabel", "&Fields"},
    {"FilterDialog.ValueRangeTabHint", "Search fields by value or by range"},
    {"FilterDialog.AllSearchedTabHint", "Show all fields or only currently searched fields"},
    {"FilterDialog.ViewSummaryNotText", "NOT"},
    {"RichEdit.FontNameComboHint", "Font | Changes the font of the selection"},
    {"RichEdit.FontSizeComboHint", "Font Size | Changes the font size of the selection"},
    {"RichEdit.NewButtonHint", "New | Creates a new document"},
    {"RichEdit.LoadButtonHint", "Load | Load from file"},
    {"RichEdit.SaveAsButtonHint", "Save As | Save to file"},
    {"RichEdit.PrintButtonHint", "Print | Prints the active document"},
    {"RichEdit.FindButtonHint", "Find | Finds the specified text"},
    {"RichEdit.CutButtonHint", "Cut | Cuts the selection and puts it on the Clipboard"},
    {"RichEdit.CopyButtonHint", "Copy | Copies the selection and puts it on the Clipboard"},
    {"RichEdit.UndoButtonHint", "Undo | Reverses the last action"},
    {"RichEdit.PasteButtonHint", "Paste | Inserts Clipboard contents"},
    {"RichEdit.BoldButtonHint", "Bold | Makes the selection bold (toggle)"},
    {"RichEdit.UnderlineButtonHint", "Underline | Formats the selection with a continuous underline (toggle)"},
    {"RichEdit.ItalicButtonHint", "Italic | Makes the selection italic (toggle)"},
    {"RichEdit.LeftButtonHint", "Align Left | Left-justifies paragraph (toggle)"},
    {"RichEdit.CenterButtonHint", "Center | Center-justifies paragraph (toggle)"},
    {"RichEdit.RightButtonHint", "Align Right | Right-justifies paragraph (toggle)"},
    {"RichEdit.BulletButtonHint", "Bullets | Inserts a bullet on this line (toggle)"},
    {"RichEdit.SaveExitHint", "Save And Exit | Saves changes and exits editor"},
    {"RichEdit.PageSetupHint", "Page Setup | Changes page layout settings"},
    {"RichEdit.ExitHint", "Exit"},
    {"RichEdit.ClearHint", "Erases the Selection"},
    {"RichEdit.SelectAllHint", "Selects all of the text"},
    {"RichEdit.FindNextHint", "Repeats the last find"},
    {"RichEdit.ReplaceHint", "Replaces specific text with different text"},
    {"RichEdit.InsertObjectHint", "Inserts new embedded object"},
    {"RichEdit.ToolbarHint", "Shows or hides the toolbar"},
    {"RichEdit.FormatBarHint", "Shows or hides the format bar"},
    {"RichEdit.ViewStatusBarHint", "Shows or hides the status bar"},
    {"RichEdit.OptionsHint", "Sets options"},
    {"RichEdit.FontHint", "Selects font for current selection"},
    {"RichEdit.ParagraphHint", "Formats current or selected paragraph(s)"},
    {"RichEdit.TabsHint", "Sets tabs"},
    {"RichEdit.CAPLockCaption", "CAP"},
    {"RichEdit.NUMLockCaption", "NUM"},
    {"RichEdit.MenuLabels.FileCaption", "&File"},
    {"RichEdit.MenuLabels.LoadCaption", "&Load"},
    {"RichEdit.MenuLabels.SaveAsCaption", "Save &As"},
    {"RichEdit.MenuLabels.SaveExitCaption", "&Save and Exit"},
    {"RichEdit.MenuLabels.PrintCaption", "&Print"},
    {"RichEdit.MenuLabels.PageSetupCaption", "Page Set&up"},
    {"RichEdit.MenuLabels.ExitCaption", "E&xit"},
    {"RichEdit.MenuLabels.EditCaption", "&Edit"},
    {"RichEdit.MenuLabels.UndoCaption", "&Undo"},
    {"RichEdit.MenuLabels.CutCaption", "Cu&t"},
    {"RichEdit.MenuLabels.CopyCaption", "&Copy"},
    {"RichEdit.MenuLabels.PasteCaption", "&Paste"},
    {"RichEdit.MenuLabels.ClearCaption", "Cle&ar"},
    {"RichEdit.MenuLabels.SelectallCaption", "Select A&ll"},
    {"RichEdit.MenuLabels.FindCaption", "&Find"},
    {"RichEdit.MenuLabels.FindNextCaption", "Find &Next"},
    {"RichEdit.MenuLabels.ReplaceCaption", "R&eplace"},
    {"RichEdit.MenuLabels.InsertObjectCaption", "&Object..."},
    {"RichEdit.MenuLabels.ViewCaption", "&View"},
    {"RichEdit.MenuLabels.ToolbarCaption", "&Toolbar"},
    {"RichEdit.MenuLabels.FormatBarCaption", "&Format Bar"},
    {"RichEdit.MenuLabels.ViewStatusBarCaption", "&Status Bar"},
    {"RichEdit.MenuLabels.OptionsCaption", "&Options"},
    {"RichEdit.MenuLabels.FormatCaption", "F&ormat"},
    {"RichEdit.MenuLabels.FontCaption", "&Font"},
    {"RichEdit.MenuLabels.BulletStyleCaption", "&Bullet Style"},
    {"RichEdit.MenuLabels.ParagraphCaption", "&Paragraph"},
    {"RichEdit.MenuLabels.TabsCaption", "&Tabs"},
    {"RichEdit.MenuLabels.HelpCaption", "Help"},
    {"RichEdit.PopupMenuLabels.EditCaption", "&Edit"},
    {"RichEdit.PopupMenuLabels.ViewCaption", "&View"},
    {"RichEdit.PopupMenuLabels.CutCaption", "Cu&t"},
    {"RichEdit.PopupMenuLabels.CopyCaption", "&Copy"},
    {"RichEdit.PopupMenuLabels.PasteCaption", "&Paste"},
    {"RichEdit.PopupMenuLabels.FontCaption", "&Font"},
    {"RichEdit.PopupMenuLabels.BulletStyleCaption", "&Bullet Style"},
    {"RichEdit.PopupMenuLabels.BoldCaption", "B&old"},
    {"RichEdit.PopupMenuLabels.ItalicCaption", "&Italic"},
    {"RichEdit.PopupMenuLabels.UnderlineCaption", "&Underline"},
    {"RichEdit.PopupMenuLabels.ParagraphCaption", "P&aragraph"},
    {"RichEdit.PopupMenuLabels.TabsCaption", "&Tabs"},
    {"RichEdit.PopupMenuLabels.FindCaption", "Fin&d"},
    {"RichEdit.PopupMenuLabels.ReplaceCaption", "&Replace"},
    {"RichEdit.PopupMenuLabels.InsertObjectCaption", "Insert &Object..."},
    {"RichEdit.ParagraphDialog.ParagraphDlgCaption", "Paragraph"},
    {"RichEdit.ParagraphDialog.IndentationGroupBoxCaption", "Indentation"},
    {"RichEdit.ParagraphDialog.LeftEditHint", "Left Indentation"},
    {"RichEdit.ParagraphDialog.RightEditHint", "Right Indentation"},
    {"RichEdit.ParagraphDialog.FirstLineEditHint", "First Line of Paragraph Indentation"},
    {"RichEdit.ParagraphDialog.AlignmentHint", "Changes Alignment of Paragraph"},
    {"RichEdit.ParagraphDialog.LeftEditCaption", "Left:"},
    {"RichEdit.ParagraphDialog.RightEditCaption", "Right:"},
    {"RichEdit.ParagraphDialog.FirstLineEditCaption", "First line:"},
    {"RichEdit.ParagraphDialog.SpacingGroupCaption", "Spacing"},
    {"RichEdit.ParagraphDialog.BeforeParagraphCaption", "&Before"},
    {"RichEdit.ParagraphDialog.AfterParagraphCaption", "Aft&er"},
    {"RichEdit.ParagraphDialog.WithinParagraphCaption", "Li&ne Spacing"},
    {"RichEdit.ParagraphDialog.WithinParagraphAtCaption", "&At"},
    {"RichEdit.ParagraphDialog.AlignmentCaption", "Alignment"},
    {"RichEdit.ParagraphDialog.AlignLeft", "Left"},
    {"RichEdit.ParagraphDialog.AlignRight", "Right"},
    {"RichEdit.ParagraphDialog.AlignCenter", "Center"},
    {"RichEdit.TabDialog.TabDlgCaption", "Tab"},
    {"RichEdit.TabDialog.TabGroupBoxCaption", "&Tab Stop Position"},
    {"RichEdit.TabDialog.SetTabButtonCaption", "Set"},
    {"RichEdit.TabDialog.ClearTabButtonCaption", "Clear"},
    {"RichEdit.TabDialog.ClearAllButtonCaption", "Clear All"},
    {"RichEdit.TabDialog.TabPositionEditHint", "Tab Position Edit Box"},
    {"RichEdit.TabDialog.ListBoxHint", "List of tabs and their positions"},
    {"RichEdit.TabDialog.SetButtonHint", "Set a new tab position"},
    {"RichEdit.TabDialog.ClearButtonHint", "Clear the selected tab position"},
    {"RichEdit.TabDialog.ClearAllButtonHint", "Clear all the tabs"},
    {"MonthCalendar.PopupYearLabel", "Edit Year"},
    {"MonthCalendar.EnterYearPrompt", "Enter Valid Year"},
    {"SearchDialog.SearchCharLabel", "&Search Characters"},
    {"SearchDialog.SearchCharShortLabel", "&Search Char"},
    {"SearchDialog.SearchByLabel", "Search &By"},
    {"SearchDialog.StatusRecLabel", "Rec #"},
    {"SearchDialog.StatusOfLabel", "of"},
    {"SearchDialog.SearchCharHint", "Enter characters for incremental search"},
    {"SearchDialog.SearchByHint", "Incremental searching and sorting order"},
    {"LocateDialog.FieldValueLabel", "Field &Value"},
    {"LocateDialog.SearchTypeLabel", "&Search Type"},
    {"LocateDialog.CaseSensitiveLabel", "&Case-sensitive"},
    {"LocateDialog.MatchExactLabel", "&Exact Match"},
    {"LocateDialog.MatchStartLabel", "&Partial Match at Beginning"},
    {"LocateDialog.MatchAnyLabel", "Partial Match &Anywhere"},
    {"LocateDialog.FieldsLabel", "&Fields"},
    {"LocateDialog.BtnFirst", "Fi&rst"},
    {"LocateDialog.BtnNext", "&Next"},
    {"LocateDialog.BtnCancel", "Cancel"},
    {"LocateDialog.FieldValueHint", "Enter field's search value"},
    {"LocateDialog.CaseSensitiveHint", "Searching is case-sensitive"},
    {"LocateDialog.MatchExactHint", "Match occurs only if there is an exact match"},
    {"LocateDialog.MatchStartHint", "Match occurs if the start of the field's value matches"},
    {"LocateDialog.MatchAnyHint", "Match occurs if any part of the field matches"},
    {"LocateDialog.BtnFirstHint", "Find first match"},
    {"LocateDialog.BtnNextHint", "Find next match from current record"},
    {"LocateDialog.FieldNameHint", "Select the field to search on"},
    {"UserMessages.qxDBGridDiscardChanges", "Discard changes to this record?"},
    {"UserMessages.PictureValidateError", "Invalid characters. Field : "},
    {"UserMessages.LocateNoMatches", "No matches found"},
    {"UserMessages.LocateNoMoreMatches", "No more matches found"},
    {"UserMessages.MemoChangesWarning", "Changes have been made!  Are you sure you wish to cancel?"},
    {"UserMessages.RichEditExitWarning", "Changes have been made!  Do you wish to save your changes?"},
    {"UserMessages.RichEditClearWarning", "Clear entire text?"},
    {"UserMessages.FilterDlgNoCriteria", "You have not selected any search criteria"},
    {"UserMessages.RecordViewExitWarning", "Changes have been made!  Do you wish to save your changes?"},
    {"Navigator.ConfirmDeleteMessage", "Delete record?"},
    {"Navigator.Hints.FirstHint", "Move to first record"},
    {"Navigator.Hints.PriorHint", "Move to prior record"},
    {"Navigator.Hints.NextHint", "Move to next record"},
    {"Navigator.Hints.LastHint", "Move to last record"},
    {"Navigator.Hints.InsertHint", "Insert new record"},
    {"Navigator.Hints.DeleteHint", "Delete current record"},
    {"Navigator.Hints.EditHint", "Edit current record"},
    {"Navigator.Hints.PostHint", "Post changes of current record"},
    {"Navigator.Hints.CancelHint", "Cancel changes made to current record"},
    {"Navigator.Hints.RefreshHint", "Refresh the contents of the dataset"},
    {"Navigator.Hints.PriorPageHint", "Move backward %d records"},
    {"Navigator.Hints.NextPageHint", "Move forward %d records"},
    {"Navigator.Hints.SaveBookmarkHint", "Bookmark current record"},
    {"Navigator.Hints.RestoreBookmarkHint", "Go back to saved bookmark"},
    {"Navigator.Hints.RecordViewDialogHint", "View current record"},
    {"Navigator.Hints.LocateDialogHint", "Locate a specific record"},
    {"Navigator.Hints.FilterDialogHint", "Filter the dataset"},
    {"Navigator.Hints.SearchDialogHint", "Search the dataset"},
};

// The text at a dotted property path below an instance ("Navigator.Hints.FirstHint").
std::string TextAt(const TObject *root, const std::string &path)
{
    const TObject *o = root;
    std::string rest = path;
    for (size_t dot; (dot = rest.find('.')) != std::string::npos; rest = rest.substr(dot + 1))
        o = GetObjectProp(o, rest.substr(0, dot));
    return GetStrProp(o, rest);
}

int CountTexts(const TObject *o)
{
    int n = 0;
    for (const TPropInfo *p : GetPropList(o))
        if (p->Kind == pkString)
            ++n;
        else if (p->Kind == pkPersistent)
            n += CountTexts(p->GetObject(o));
    return n;
}

// A form-like root that owns placed components.
class TIntlHost : public TComponent
{
public:
    using TComponent::TComponent;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
const TMetaClass TIntlHost::Class { "TIntlHost", &TComponent::Class };
const TClassRegistrar<TIntlHost> hostRegistrar({});
const bool registered = (RegisterClasses({&TIntlHost::Class}), true);

class QxIntl : public ::testing::Test
{
protected:
    void SetUp() override { delete qxIntl(); } // every test starts from the defaults
};

TEST_F(QxIntl, EveryDefaultTextReadsAsTheLibraryGivesIt)
{
    TqxIntl intl(nullptr);
    ASSERT_EQ(defaultTexts.size(), 202u);
    for (const auto &[path, text] : defaultTexts)
        EXPECT_EQ(TextAt(&intl, path), text) << path;
    // Besides the texts: BtnOKCaption, BtnCancelCaption, VersionLumino, Name.
    EXPECT_EQ(CountTexts(&intl), 202 + 4);
    EXPECT_EQ(intl.Navigator()->Hints()->Text("PriorPageHint"), "Move backward %d records");
    EXPECT_EQ(intl.UserMessages()->Text("qxDBGridDiscardChanges"), "Discard changes to this record?");
    EXPECT_THROW(intl.UserMessages()->Text("NoSuchText"), EPropertyError);
}

TEST_F(QxIntl, SettingsHaveTheirDefaultsAndTheVersionStays)
{
    TqxIntl intl(nullptr);
    EXPECT_TRUE(intl.OKCancelBitmapped());
    EXPECT_EQ(intl.BtnOKCaption(), "&OK");
    EXPECT_EQ(intl.BtnCancelCaption(), "Cancel");
    EXPECT_EQ(intl.CheckBoxInGridStyle(), cbStyleAuto);
    EXPECT_EQ(intl.FilterMemoSize(), 65536);
    EXPECT_TRUE(intl.UseLocateMethodForSearch());
    EXPECT_EQ(intl.DefaultEpochYear(), 1950);
    EXPECT_FALSE(intl.Connected());
    SetStrProp(&intl, "VersionLumino", "9.99");
    EXPECT_EQ(intl.VersionLumino(), "4.04");
    EXPECT_EQ(qxGetFilterMemoSize(), 65536);
}

TEST_F(QxIntl, TheGlobalInstanceLivesWithItsOwnerAndComesBackFresh)
{
    TqxIntl *g = qxIntl();
    EXPECT_EQ(qxIntl(), g);
    EXPECT_EQ(g->Owner(), static_cast<TComponent *>(Application));
    g->UserMessages()->SetText("LocateNoMatches", "Nada");
    delete g; // the destructor clears the global reference
    EXPECT_FALSE(qxIntlExists());
    EXPECT_EQ(qxIntl()->UserMessages()->Text("LocateNoMatches"), "No matches found");
}

TEST_F(QxIntl, ConnectingCopiesEveryValueOnceEachTime)
{
    TqxIntl placed(nullptr);
    placed.Navigator()->Hints()->SetText("NextPageHint", "Avanzar %d registros");
    placed.RichEdit()->TabDialog()->SetText("TabDlgCaption", "Tabulación");
    placed.SetOKCancelBitmapped(false);
    placed.SetBtnOKCaption("&Aceptar");
    placed.SetDefaultEpochYear(1930);
    placed.SetFilterMemoSize(1024);
    placed.SetDialogFontStyle(TFontStyles({fsBold}));
    placed.SetCheckBoxInGridStyle(cbStyleXmark);
    EXPECT_EQ(qxIntl()->BtnOKCaption(), "&OK"); // nothing yet
    placed.SetConnected(true);
    TqxIntl *g = qxIntl();
    EXPECT_EQ(g->Navigator()->Hints()->Text("NextPageHint"), "Avanzar %d registros");
    EXPECT_EQ(g->RichEdit()->TabDialog()->Text("TabDlgCaption"), "Tabulación");
    EXPECT_FALSE(g->OKCancelBitmapped());
    EXPECT_EQ(g->BtnOKCaption(), "&Aceptar");
    EXPECT_EQ(g->DefaultEpochYear(), 1930);
    EXPECT_EQ(g->FilterMemoSize(), 1024);
    EXPECT_TRUE(g->DialogFontStyle().Contains(fsBold));
    EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleXmark);
    EXPECT_FALSE(g->Connected()); // the copy is one-way
    // Later edits wait for the next connect, except the check-box style.
    placed.SetBtnOKCaption("&Vale");
    placed.SetCheckBoxInGridStyle(cbStyleCheckmark);
    EXPECT_EQ(g->BtnOKCaption(), "&Aceptar");
    EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleCheckmark);
    placed.SetConnected(true);
    EXPECT_EQ(g->BtnOKCaption(), "&Vale");
    // Connecting the global instance itself copies nothing.
    g->SetBtnOKCaption("x");
    g->SetConnected(true);
    EXPECT_EQ(g->BtnOKCaption(), "x");
}

TEST_F(QxIntl, ResourcesStreamOnlyChangedTextsAndConnectAfterLoading)
{
    TIntlHost host(nullptr);
    ReadComponentText(&host,
        "object Host: TIntlHost\n"
        "  object Intl: TqxIntl\n"
        "    UserMessages.MemoChangesWarning = 'Hay cambios.  '#191'Cancelar?'\n"
        "    Navigator.Hints.FirstHint = 'Al primero'\n"
        "    Connected = True\n"
        "  end\n"
        "end\n",
        "host.dfm");
    EXPECT_EQ(qxIntl()->UserMessages()->Text("MemoChangesWarning"), "Hay cambios.  ¿Cancelar?");
    EXPECT_EQ(qxIntl()->Navigator()->Hints()->Text("FirstHint"), "Al primero");
    EXPECT_EQ(qxIntl()->Navigator()->Hints()->Text("LastHint"), "Move to last record");
    std::string text = WriteComponentText(&host);
    EXPECT_NE(text.find("Navigator.Hints.FirstHint = 'Al primero'"), std::string::npos) << text;
    EXPECT_EQ(text.find("LastHint"), std::string::npos) << text;
}

TEST_F(QxIntl, DialogButtonsFollowTheGlobalStyle)
{
    TForm dialog(nullptr);
    TButton *ok = qxCreateDialogButton(&dialog, 1);
    EXPECT_STREQ(ok->ClassName(), "TBitBtn");
    EXPECT_EQ(ok->Caption(), "&OK");
    EXPECT_EQ(ok->ModalResult(), mrOk);
    EXPECT_FALSE(ok->Visible());
    EXPECT_EQ(ok->Width(), 77 * Screen->PixelsPerInch() / 96);
    EXPECT_EQ(ok->Height(), 27 * Screen->PixelsPerInch() / 96);
    TqxIntl placed(nullptr);
    placed.SetOKCancelBitmapped(false);
    placed.SetBtnCancelCaption("Cancelar");
    placed.SetConnected(true);
    TButton *cancel = qxCreateDialogButton(&dialog, 2);
    EXPECT_STREQ(cancel->ClassName(), "TButton");
    EXPECT_EQ(cancel->Caption(), "Cancelar");
    EXPECT_TRUE(cancel->Cancel());
    EXPECT_EQ(cancel->Height(), 24 * Screen->PixelsPerInch() / 96);
    EXPECT_EQ(qxCreateDialogButton(&dialog, 3)->Caption(), "Help");
}

} // namespace
