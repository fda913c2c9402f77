// The wizard's pages with the setup program's own form and translator, in
// Spanish and after a switch to English: the welcome page alone with an
// installed product, the language page's flags, the components page's
// columns, the refusals of the Start-menu page and the folder browser, and
// pictures of each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPainter>

#include <filesystem>

#include "installer/app/Unit1.h"
#include "installer/dialogs/cmp_TOpenFolderDialog.h"
#include "installer/dialogs/dlgcmp_Welcome.h"
#include "installer/dialogs/ordlg_FileGroupSelect.h"
#include "installer/dialogs/ordlg_InstallType.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_SelectFolder.h"
#include "installer/dialogs/ordlg_SelectLanguage.h"
#include "installer/dialogs/ordlg_Welcome.h"
#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/system/faults.h"
#include "platform/system/registry.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

class SetupPages : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        SetDriveFreeSpace('C', 50LL * 1024 * 1024 * 1024);
        form_.reset(NewForm<TForm1>(nullptr));
        install_ = form_->Install1;
        // The sizes the archive's headers give.
        static_cast<TCustomInstallFile *>(form_->FindComponent("InstallFile"))->SetRemoteInfo(1500000000, 0, "");
        static_cast<TCustomInstallFile *>(form_->FindComponent("InstallFile36"))->SetRemoteInfo(15000, 0, "");
    }
    void TearDown() override
    {
        form_.reset();
        Wizard::TearDown();
    }

    // The wizard before the install with the script; "ok" or "abort".
    std::string Run(std::vector<std::function<void()>> steps)
    {
        Script(std::move(steps));
        try {
            static_cast<TDialogManager *>(form_->FindComponent("DialogManager"))->ShowWizard();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        }
    }
    template <typename T> static T *Page() { return dynamic_cast<T *>(ShownPage()); }
    // Next on every page until the page of type T shows.
    template <typename T> static std::function<void()> NextTo()
    {
        return [] {
            for (int i = 0; i < 6 && !Page<T>(); ++i)
                ClickControl(ShownPage()->FindComponent("ProceedBtn") ? static_cast<TControl *>(
                                                                            ShownPage()->FindComponent("ProceedBtn"))
                                                                      : nullptr);
            ASSERT_NE(Page<T>(), nullptr);
        };
    }
    // Switches every open text to English, as the language page does.
    static void SwitchToEnglish()
    {
        GlobalTranslator()->SetTranslateIntoLanguage(klEnglish);
        for (int i = 0; i < KelvaraFormList()->Count(); ++i)
            KelvaraFormList()->Items(i)->Translate();
        ShownFrame()->SetCaption(ShownPage()->Caption());
    }
    static std::string PicturePath(const std::string &file)
    {
        const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/setup/" + file;
        std::filesystem::remove(path);
        return path;
    }
    static void Photograph(const std::string &file, TCustomForm *window = ShownFrame())
    {
        ProcessPendingEvents();
        EXPECT_GT(SaveScreenshot(window, PicturePath(file)), 0) << file;
    }
    // Clicks control, which answers with a refusal in a message box as a
    // person sees it, and photographs the box over the window beneath it.
    static void PhotographRefusal(TControl *control, const std::string &file)
    {
        PhotographBoxWhenShown(file, SetMessageBoxService(nullptr), 0);
        ClickControl(control);
    }
    // The box may come only once the window that refuses has ended its own
    // loop; the scripted boxes are back once it has gone.
    static void PhotographBoxWhenShown(const std::string &file, IMessageBoxService *scripted, int rounds)
    {
        QueueCall([file, scripted, rounds] {
            auto *box = dynamic_cast<QDialog *>(QApplication::activeModalWidget());
            if (!box && rounds < 1000)
                return PhotographBoxWhenShown(file, scripted, rounds + 1);
            SetMessageBoxService(scripted);
            ASSERT_NE(box, nullptr) << "no message box";
            const std::string path = PicturePath(file);
            SaveScreenshot(ModalForm(), path);
            QImage picture(QString::fromStdString(path));
            const QImage shown = box->grab().toImage();
            QPainter painter(&picture);
            const QPoint at((picture.width() - shown.width()) / 2, (picture.height() - shown.height()) / 2);
            painter.fillRect(at.x() - 3, at.y() - 22, shown.width() + 6, shown.height() + 25, QColor(0, 0, 128));
            painter.setPen(Qt::white);
            painter.drawText(at.x() + 4, at.y() - 7, box->windowTitle());
            painter.drawImage(at, shown);
            painter.end();
            EXPECT_TRUE(picture.save(QString::fromStdString(path)));
            box->done(0);
        });
    }
    static void Browse()
    {
        QueueCall([] { ClickControl(Page<TFileGroupSelectForm>()->BrowseBtn); });
    }
    // A folder without its drive typed into the browser, then refused on OK.
    static void TypeRelativeFolder()
    {
        TCustomForm *browser = ModalForm();
        ASSERT_NE(browser, nullptr);
        for (int i = 0; i < browser->ControlCount(); ++i)
            if (auto *edit = dynamic_cast<TOFDPathEdit *>(browser->Controls(i))) {
                edit->SetFocus();
                edit->SelectAll();
                TypeText(edit, "Juegos\\Tabulo");
            }
    }
    static void RefusedInBrowser(const std::string &file)
    {
        TCustomForm *browser = ModalForm();
        ASSERT_NE(browser, nullptr);
        for (int i = 0; i < browser->ControlCount(); ++i)
            if (auto *button = dynamic_cast<TButton *>(browser->Controls(i)); button && button->Caption() == "OK")
                return PhotographRefusal(button, file);
        ADD_FAILURE() << "no OK button";
    }
    static void CancelBrowser()
    {
        TCustomForm *browser = ModalForm();
        browser->SetModalResult(mrCancel);
    }

    std::unique_ptr<TForm1> form_;
    TCustomInstall *install_ = nullptr;
};

// The width a cell's text takes in the view's font.
int TextWidth(TWinControl *view, const std::string &text)
{
    TBitmap measure;
    measure.Canvas()->Font()->Assign(view->Font());
    return measure.Canvas()->TextWidth(text);
}

// What a person sees of the drive table and the size column: the captions,
// and every figure that does not show whole in its column.
std::vector<std::string> Columns(TFileGroupSelectForm *page)
{
    // The view draws a few pixels of margin on each side of a cell's text.
    constexpr int Margins = 8;
    std::vector<std::string> seen;
    TDriveSpaceListView *drives = page->DriveList();
    std::string captions;
    for (int c = 0; c < drives->ColumnCount(); ++c)
        captions += drives->Column(c).Caption + "|";
    seen.push_back(captions);
    for (int i = 0; i < drives->Items()->Count(); ++i)
        for (int c = 1; c < drives->ColumnCount(); ++c) {
            const std::string text = drives->Items()->Item(i)->SubItems()->Strings(c - 1);
            if (TextWidth(drives, text) + Margins > drives->Column(c).Width)
                seen.push_back("cut: " + text);
        }
    TGroupTreeView *tree = page->GroupTree();
    for (TTreeNode *node = tree->Items()->GetFirstNode(); node; node = node->GetNext()) {
        const std::string text = node->ColumnText(TGroupTreeView::SizeColumn);
        if (TextWidth(tree, text) + Margins > tree->Column(TGroupTreeView::SizeColumn).Width)
            seen.push_back("cut: " + text);
    }
    return seen;
}

TEST_F(SetupPages, TheComponentsPageShowsItsFiguresWholeAndItsCaptionsInEitherLanguage)
{
    install_->SetCurrentInstallType(itCustom);
    std::vector<std::string> spanish, english;
    EXPECT_EQ(Run({ NextTo<TFileGroupSelectForm>(),
                  [&] {
                      spanish = Columns(Page<TFileGroupSelectForm>());
                      Photograph("components-es.png");
                      SwitchToEnglish();
                      english = Columns(Page<TFileGroupSelectForm>());
                      Photograph("components-en.png");
                      ShownFrame()->SetModalResult(mrCancel);
                  } }),
        "abort");
    EXPECT_THAT(spanish, ElementsAre("|Espacio requerido:|Espacio disponible:|"));
    EXPECT_THAT(english, ElementsAre("|Space Required:|Space Available:|"));
}

// Every text a list view or a combo box holds goes through the tables, both
// ways: the column captions and the items.
TEST_F(SetupPages, ListViewColumnsAndComboItemsAreTranslated)
{
    TForm form(nullptr);
    auto *view = new TListView(&form);
    view->SetParent(&form);
    view->AddColumn("", 50);
    view->AddColumn("Space Required:", 120);
    view->AddColumn("Bytes", 120);
    auto *combo = new TComboBox(&form);
    combo->SetParent(&form);
    combo->Items()->Add("Typical");
    combo->Items()->Add("Custom");
    combo->Items()->Add("ORVEX");
    combo->SetItemIndex(1);
    auto texts = [&] {
        return view->Column(0).Caption + "|" + view->Column(1).Caption + "|" + view->Column(2).Caption + " / "
            + combo->Items()->Text() + " / " + combo->Text();
    };
    TTranslator *translator = form_->MainTranslator;
    EXPECT_EQ(translator->TranslateComponent(klEnglish, &form), klSpanish);
    EXPECT_EQ(texts(), "|Espacio requerido:|Bytes / Típica\r\nPersonalizada\r\nORVEX\r\n / Personalizada");
    EXPECT_EQ(translator->TranslateComponentInto(klSpanish, klEnglish, &form), klEnglish);
    EXPECT_EQ(texts(), "|Space Required:|Bytes / Typical\r\nCustom\r\nORVEX\r\n / Custom");
}

// With the product installed, the welcome page shown alone: "No" to the
// update warning and "No" to the configuration's abort question keep the
// page open; a confirmed cancel then ends the run.
TEST_F(SetupPages, TheWelcomePageAloneStaysAfterTwoNoAnswers)
{
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey(
        "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVEX Tabulo 2.0", true));
    auto *dialog = static_cast<TWelcomeDlg *>(form_->FindComponent("WelcomeDlg"));
    dialog->SetDialogManager(nullptr);
    bool quit = false;
    int asked = 0;
    install_->OnUserAbort = [&](TCustomInstall *, bool &quitOut) {
        ++asked;
        quitOut = quit;
    };
    boxes_.Answer(IDNO);
    std::vector<std::string> seen;
    Script({ [] { ClickControl(static_cast<TWelcomeForm *>(ModalForm())->ProceedBtn); },
        [&] {
            auto *page = dynamic_cast<TWelcomeForm *>(ModalForm());
            seen.push_back(page ? page->Caption() : "closed");
            quit = true;
            if (page)
                ClickControl(page->CancelBtn);
        } });
    EXPECT_THROW(install_->BroadcastEvent(install_, ieWelcome, nullptr), EAIUserAbort);
    EXPECT_THAT(seen, ElementsAre("Bienvenido"));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(install_->Tag(), 2);
    ASSERT_EQ(boxes_.Count(), 1);
    EXPECT_EQ(boxes_.Last().Text, std::string(UpdateWarning) + "\n\n Continúa?");
}

// The pages a person meets in Spanish, and again after a switch to English:
// the Start-menu page and the folder browser of the components page, each
// with the refusal of a folder it cannot take.
TEST_F(SetupPages, Pictures)
{
    install_->SetCurrentInstallType(itCustom);
    EXPECT_EQ(Run({ NextTo<TFileGroupSelectForm>(), Browse, TypeRelativeFolder,
                      [] { RefusedInBrowser("browser-refusal-es.png"); },
                  [] { CancelBrowser(); },
                  [] {
                      NextTo<TSelectFolderForm>()();
                      Photograph("startmenu-es.png");
                      Page<TSelectFolderForm>()->FolderEdit->SetText("..\\WINDOWS");
                      PhotographRefusal(Page<TSelectFolderForm>()->ProceedBtn, "startmenu-refusal-es.png");
                      SwitchToEnglish();
                      Photograph("startmenu-en.png");
                      PhotographRefusal(Page<TSelectFolderForm>()->ProceedBtn, "startmenu-refusal-en.png");
                      ClickControl(Page<TSelectFolderForm>()->BackBtn);
                      Browse();
                  },
                  TypeRelativeFolder, [] { RefusedInBrowser("browser-refusal-en.png"); }, [] { CancelBrowser(); },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    // What the boxes said, in order.
    std::vector<std::string> pictures;
    for (const char *file : { "browser-refusal-es.png", "startmenu-es.png", "startmenu-refusal-es.png",
             "startmenu-en.png", "startmenu-refusal-en.png", "browser-refusal-en.png" })
        if (std::filesystem::exists(std::string(ORVEX_BINARY_DIR) + "/screenshots/setup/" + file))
            pictures.push_back(file);
    EXPECT_EQ(pictures.size(), 6u);
}

// The setup program leaves the language page out; a configuration may offer it.
class LanguagePage : public SetupPages
{
protected:
    void SetUp() override
    {
        SetupPages::SetUp();
        entry_ = RegisterInstallForm(TSelectLanguageForm::Class, nullptr, 0);
    }
    void TearDown() override
    {
        UnregisterInstallForm(entry_);
        SetupPages::TearDown();
    }
    // The columns whose cells show whole, and the current cell's language.
    static std::string Grid()
    {
        TStringGrid *grid = Page<TSelectLanguageForm>()->LanguageGrid;
        std::string out;
        for (int col = 0; col < grid->ColCount(); ++col)
            if (grid->CellRect(col, 0).Width() > 0)
                out += grid->Cells(col, 0) + " ";
        return out + "| " + grid->Cells(grid->Col(), grid->Row());
    }
    static void ClickCell(int col)
    {
        TStringGrid *grid = Page<TSelectLanguageForm>()->LanguageGrid;
        const TRect cell = grid->CellRect(col, 0);
        ClickControl(grid, (cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2);
    }
    TBIFEntry *entry_ = nullptr;
};

TEST_F(LanguagePage, BothFlagsStayInSightWhicheverIsCurrent)
{
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
                       seen.push_back(Grid());
                       Photograph("language-es.png");
                       ClickCell(0);
                       seen.push_back(Grid());
                       Photograph("language-en.png");
                       ClickCell(1);
                       seen.push_back(Grid());
                   },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    EXPECT_THAT(seen, ElementsAre("English Spanish | Spanish", "English Spanish | English", "English Spanish | Spanish"));
}

} // namespace
