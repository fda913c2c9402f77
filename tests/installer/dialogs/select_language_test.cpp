// The language page: the flags of the languages the translator holds texts
// for, and a click or a key on one that switches every text of every open
// page, the frame's caption and the copy window at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/dialogs/dlgcmp_SelectFolder.h"
#include "installer/dialogs/dlgcmp_Welcome.h"
#include "installer/dialogs/ordlg_CopyFile.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_SelectFolder.h"
#include "installer/dialogs/ordlg_SelectLanguage.h"
#include "installer/dialogs/ordlg_Welcome.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

class LanguagePage : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        // The setup program takes the language page away; these tests show it.
        entry_ = RegisterInstallForm(TSelectLanguageForm::Class, nullptr, 0);
    }
    void TearDown() override
    {
        UnregisterInstallForm(entry_);
        Wizard::TearDown();
    }

    // The wizard's translator with more languages: French with two lines,
    // German with one (too few to be offered).
    void Load(const std::string &more = "    lgFrench.Strings.Strings = (\n      '4;< Précédent'\n"
                                        "      '5;Suivant >')\n"
                                        "    lgGerman.Strings.Strings = (\n      '5;Weiter >')\n")
    {
        std::string translator = TranslatorResource();
        translator.insert(translator.find("    TranslateIntoLanguage"), more);
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n"
                         "    Information.ProductName = 'Tabulo'\n"
                         "    RunAutomatic = False\n"
                         "  end\n"
            + translator
            + "  object Before: TDialogManager\n    Container = Install1\n    Width = 550\n  end\n"
              "  object WelcomeDlg1: TWelcomeDlg\n    Container = Install1\n  end\n"
              "  object Main: TMainLinkGroup\n    Container = Install1\n    DestDir = '\\ORVEX Tabulo'\n  "
              "end\n"
              "  object SelectFolderDlg1: TSelectFolderDlg\n    Container = Main\n  end\n"
              "end\n");
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
    }

    std::string Run(std::vector<std::function<void()>> steps)
    {
        Script(std::move(steps));
        try {
            static_cast<TDialogManager *>(form_->FindComponent("Before"))->ShowWizard();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        }
    }
    static TSelectLanguageForm *Page() { return dynamic_cast<TSelectLanguageForm *>(ShownPage()); }
    template <typename T> static T *PageOf()
    {
        TBaseFormContainer *frame = ShownFrame();
        for (int i = 0; frame && i < frame->PageCount(); ++i)
            if (auto *page = dynamic_cast<T *>(frame->Pages(i)))
                return page;
        return nullptr;
    }
    static void ClickCell(int col, int row)
    {
        TStringGrid *grid = Page()->LanguageGrid;
        const TRect cell = grid->CellRect(col, row);
        ClickControl(grid, (cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2);
    }
    // The texts of every open page, in one line.
    static std::string Texts()
    {
        std::string out = ShownFrame()->Caption();
        out += " | " + PageOf<TWelcomeForm>()->Label3->Caption();
        out += " | " + PageOf<TLicenseForm>()->Label1->Caption();
        out += " | " + PageOf<TSelectFolderForm>()->ProgramFolders->Caption();
        out += " | " + PageOf<TSelectFolderForm>()->Caption();
        out += " | " + PageOf<TLicenseForm>()->ProceedBtn->Caption();
        out += " | " + Page()->CancelBtn->Caption();
        return out;
    }

    TBIFEntry *entry_ = nullptr;
    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
};

TEST_F(LanguagePage, ListsTheLanguagesWithTextsTwoARow)
{
    Load();
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
                       TSelectLanguageForm *page = Page();
                       ASSERT_NE(page, nullptr);
                       TStringGrid *grid = page->LanguageGrid;
                       seen.push_back(ShownFrame()->Caption());
                       seen.push_back(std::to_string(page->LanguageCount()) + " in "
                           + std::to_string(grid->RowCount()) + " rows");
                       seen.push_back(grid->Cells(0, 0) + "," + grid->Cells(1, 0) + "," + grid->Cells(0, 1)
                           + "," + grid->Cells(1, 1));
                       seen.push_back("current " + grid->Cells(grid->Col(), grid->Row()));
                       seen.push_back(page->BackBtn->Visible() ? "back" : "no back");
                       // The flag of each listed language, the placeholder for the others.
                       seen.push_back(std::to_string(page->Flag(klSpanish)->Width()) + "x"
                           + std::to_string(page->Flag(klSpanish)->Height()));
                   },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    EXPECT_THAT(seen,
        ElementsAre("Seleccione un idioma", "3 in 2 rows", "English,French,Spanish,", "current Spanish",
            "no back", "44x30"));
}

TEST_F(LanguagePage, AClickSwitchesEveryOpenPageAndAKeySwitchesBack)
{
    Load();
    // A toolkit window outside the wizard, open meanwhile.
    std::unique_ptr<TCustomForm> made(NewForm<TCopyFileForm>(Application));
    auto *copying = static_cast<TCopyFileForm *>(made.get());
    copying->ApplyLanguage();
    auto copyTexts = [copying] { return copying->Caption() + " | " + copying->Label1->Caption(); };
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
                       seen.push_back(Texts());
                       seen.push_back(copyTexts());
                       ClickCell(0, 0); // English
                       seen.push_back(Texts());
                       seen.push_back(copyTexts());
                       seen.push_back(
                           GlobalTranslator()->TranslateIntoLanguage() == klEnglish ? "english" : "?");
                       // The next page comes in English too; Previous goes back.
                       ClickControl(Page()->ProceedBtn);
                       seen.push_back(ShownFrame()->Caption());
                       ClickControl(PageOf<TWelcomeForm>()->BackBtn);
                   },
                  [&] {
                      // To Spanish by keyboard: down to the second row, a key there.
                      TStringGrid *grid = Page()->LanguageGrid;
                      PressKey(grid, VK_DOWN);
                      PressKey(grid, VK_SPACE, U' ');
                      seen.push_back(Texts());
                      seen.push_back(copyTexts());
                  },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    const char *const spanish
        = "Seleccione un idioma | Presione Siguiente para continuar con la instalación. | "
          "Por favor lea el siguiente contrato de licencia. | &Carpeta de programas | "
          "Carpeta del menú Inicio | Siguiente > | Cancelar";
    EXPECT_THAT(seen,
        ElementsAre(spanish, "Copiando los archivos de instalación | Progreso del archivo",
            "Select a language | Click Next to continue with the installation. | Please read the following "
            "License Agreement. | &Program Folder | Select folder in start menu | Next > | Cancel",
            "Copying installation files | File progress", "english", "Welcome", spanish,
            "Copiando los archivos de instalación | Progreso del archivo"));
}

TEST_F(LanguagePage, APartialLanguageTranslatesWhatItHas)
{
    Load();
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
                       ClickCell(1, 0); // French: only the two buttons
                       seen.push_back(PageOf<TLicenseForm>()->ProceedBtn->Caption() + " "
                           + PageOf<TLicenseForm>()->BackBtn->Caption());
                       seen.push_back(PageOf<TWelcomeForm>()->Label3->Caption());
                       ClickCell(1, 1); // empty: nothing changes
                       seen.push_back(
                           GlobalTranslator()->TranslateIntoLanguage() == klFrench ? "french" : "?");
                   },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    // What French lacks stays as it was.
    EXPECT_THAT(seen,
        ElementsAre(
            "Suivant > < Précédent", "Presione Siguiente para continuar con la instalación.", "french"));
}

// An install object whose texts cannot change: it writes down what the
// screen looks like while the switch runs, then fails.
class TUntranslatable : public TInstallObject
{
public:
    using TInstallObject::TInstallObject;
    int RegisteredType() const override { return rtDialog; }
    void LanguageChanged(TKvraLanguage) override
    {
        auto *page = dynamic_cast<TSelectLanguageForm *>(ShownPage());
        During = std::string(Screen->Cursor() == crHourGlass ? "hourglass" : "no hourglass")
            + (page && !page->LanguageGrid->Enabled() ? ", grid off" : ", grid on");
        throw Exception("Sin textos");
    }
    std::string During;
};

TEST_F(LanguagePage, AFailedSwitchIsReportedAndLeavesTheGridUsable)
{
    Load();
    auto *probe = new TUntranslatable(form_.get());
    probe->SetContainer(install_);
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
                       TStringGrid *grid = Page()->LanguageGrid;
                       grid->SetFocus();
                       Screen->SetCursor(crDefault); // whatever an earlier test left
                       ClickCell(0, 0);
                       seen.push_back(probe->During);
                       seen.push_back(boxes_.Count() ? boxes_.Last().Text : "no message");
                       seen.push_back(std::string(grid->Enabled() ? "grid on" : "grid off")
                           + (Screen->Cursor() == crDefault ? ", cursor back" : ", hourglass left")
                           + (grid->Focused() ? ", focused" : ", focus lost"));
                   },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    EXPECT_THAT(seen, ElementsAre("hourglass, grid off", "Sin textos.", "grid on, cursor back, focused"));
}

TEST_F(LanguagePage, FlagsAreDrawnWithTheirOliveLeftOut)
{
    Load();
    TColor corner = clNone, inside = clNone, background = clNone;
    EXPECT_EQ(Run({ [&] {
                       TStringGrid *grid = Page()->LanguageGrid;
                       const TRect cell = grid->CellRect(0, 0);
                       const int top = cell.Top + (cell.Height() - 30) / 2;
                       corner = PixelOf(grid, cell.Left + 2, top);
                       inside = PixelOf(grid, cell.Left + 2 + 20, top + 15);
                       background = PixelOf(grid, cell.Right - 10, cell.Top + 4);
                   },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    EXPECT_NE(corner, clOlive);
    EXPECT_EQ(corner, background);
    EXPECT_NE(inside, background) << "the flag itself is drawn";
}

TEST_F(LanguagePage, WithoutATranslatorThePageSkips)
{
    form_ = LoadForm("object SetupForm: TSetupForm\n"
                     "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
                     "  object Before: TDialogManager\n    Container = Install1\n    Width = 550\n  end\n"
                     "end\n");
    ASSERT_EQ(GlobalTranslator(), nullptr);
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] { seen.push_back(ShownPage() ? ShownPage()->ClassName() : "none"); },
                  [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    EXPECT_THAT(seen, ElementsAre("TLicenseForm"));
}

TEST_F(LanguagePage, Screenshot)
{
    Load();
    const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/language.png";
    std::filesystem::remove(path);
    int64_t bytes = 0;
    EXPECT_EQ(Run({ [&] {
        bytes = SaveScreenshot(ShownFrame(), path);
        ShownFrame()->SetModalResult(mrCancel);
    } }),
        "abort");
    EXPECT_GT(bytes, 0);
}

} // namespace
