// The Start-menu folder page: the folders it offers (the Start menu's
// Programs folder, or Program Manager's groups on old Windows), how a click
// or a typed name becomes the main link group's folder, the names it
// refuses, and the page alone at its own event.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "installer/dialogs/dlgcmp_SelectFolder.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_SelectFolder.h"
#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/cmp_TProgramManager/cmp_TProgramManager.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "platform/rtl/files.h"
#include "platform/system/machine.h"
#include "platform/system/progman.h"
#include "platform/system/registry.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

class StartMenuPage : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n"
                         "    Information.ProductName = 'Tabulo'\n"
                         "    RunAutomatic = False\n"
                         "  end\n"
            + TranslatorResource()
            + "  object Before: TDialogManager\n    Container = Install1\n    Width = 550\n  end\n"
              "  object Main: TMainLinkGroup\n    Container = Install1\n    DestDir = '\\ORVEX Tabulo'\n  end\n"
              "  object SelectFolderDlg1: TSelectFolderDlg\n    Container = Main\n  end\n"
              "end\n");
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
        group_ = static_cast<TMainLinkGroup *>(form_->FindComponent("Main"));
        dialog_ = static_cast<TSelectFolderDlg *>(form_->FindComponent("SelectFolderDlg1"));
    }

    // Folders (and a file, which is no folder) in the Start menu's Programs.
    static void MakePrograms(const std::vector<std::string> &folders)
    {
        for (const std::string &folder : folders)
            ASSERT_TRUE(ForceDirectories(GetProgramsMenuDir() + "\\" + folder));
        std::ofstream(Machine().HostPath(GetProgramsMenuDir() + "\\Léame.txt")) << "no folder";
    }
    static void SetNtVersion(const std::string &version)
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false));
        reg.WriteString("CurrentVersion", version);
    }

    // Runs the wizard with the script; answers "ok", "abort" or the error.
    std::string Run(std::vector<std::function<void()>> steps)
    {
        Script(std::move(steps));
        try {
            static_cast<TDialogManager *>(form_->FindComponent("Before"))->ShowWizard();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        } catch (const Exception &e) {
            return e.Message();
        }
    }
    // The licence page comes first; Next takes the wizard to the folder page.
    static std::function<void()> PastTheLicence()
    {
        return [] {
            auto *licence = dynamic_cast<TLicenseForm *>(ShownPage());
            ASSERT_NE(licence, nullptr);
            ClickControl(licence->ProceedBtn);
        };
    }
    static TSelectFolderForm *Page() { return dynamic_cast<TSelectFolderForm *>(ShownPage()); }
    static std::string Items(TStrings *items)
    {
        std::string out;
        for (int i = 0; i < items->Count(); ++i)
            out += (i ? "|" : "") + items->Strings(i);
        return out;
    }
    static std::string Focused() { return FocusedControl() ? FocusedControl()->Name() : "<none>"; }

    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
    TMainLinkGroup *group_ = nullptr;
    TSelectFolderDlg *dialog_ = nullptr;
};

TEST_F(StartMenuPage, OffersTheProgramsFoldersAndKeepsTheGroupsOwn)
{
    MakePrograms({ "juegos", "Accesorios", "ORVEX Tabulo", "Zeta\\Sub" });
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ PastTheLicence(),
                  [&] {
                      TSelectFolderForm *page = Page();
                      ASSERT_NE(page, nullptr);
                      seen.push_back(ShownFrame()->Caption());
                      seen.push_back(Items(page->FolderListBox->Items()));
                      seen.push_back(page->FolderEdit->Text());
                      seen.push_back(Focused());
                      seen.push_back(page->BackBtn->Visible() ? "back" : "no back");
                      seen.push_back(page->TopDescriptionLabel->Caption());
                      seen.push_back(page->ProgramFolders->Caption() + " / " + page->ExistingFolders->Caption());
                      seen.push_back(page->BackBtn->Caption() + " / " + page->ProceedBtn->Caption() + " / "
                          + page->CancelBtn->Caption());
                  },
                  [] { PressKey(FocusedControl(), VK_RETURN, U'\r'); } }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("Carpeta del menú Inicio", "Accesorios|juegos|ORVEX Tabulo|Startup|Zeta", "ORVEX Tabulo",
            "ProceedBtn", "back",
            "La instalación agregará los iconos del programa a la carpeta de programas indicada abajo. Puede "
            "escribir un nombre nuevo o elegir una de la lista de carpetas e&xistentes.",
            "&Carpeta de programas / Carpetas e&xistentes", "< Anterior / Siguiente > / Cancelar"));
    EXPECT_EQ(group_->DestDir(), "\\ORVEX Tabulo");
    EXPECT_EQ(group_->GetDestPath(), GetProgramsMenuDir() + "\\ORVEX Tabulo");
}

TEST_F(StartMenuPage, AClickedFolderAndEveryTypedKeyGoIntoTheGroup)
{
    MakePrograms({ "Accesorios", "Juegos" });
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ PastTheLicence(),
                  [&] {
                      TListBox *list = Page()->FolderListBox;
                      const TRect second = list->ItemRect(1);
                      ClickControl(list, second.Left + 5, (second.Top + second.Bottom) / 2);
                      seen.push_back(Page()->FolderEdit->Text() + " " + group_->DestDir());
                      ClickControl(Page()->FolderEdit);
                      PressKey(Page()->FolderEdit, VK_END);
                      TypeText(Page()->FolderEdit, " de ORVEX");
                      seen.push_back(group_->DestDir());
                      PressKey(Page()->FolderEdit, VK_BACK, U'\b');
                      seen.push_back(group_->DestDir());
                      seen.push_back(group_->DestDirType()->ClassName());
                  },
                  [] { ClickControl(Page()->ProceedBtn); } }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("Juegos \\Juegos", "\\Juegos de ORVEX", "\\Juegos de ORVE", "TpsProgramMenu"));
    EXPECT_EQ(group_->GetDestPath(), GetProgramsMenuDir() + "\\Juegos de ORVE");
}

TEST_F(StartMenuPage, AGroupOutsideTheProgramsMenuIsGivenTheFirstFolderByShowingThePage)
{
    MakePrograms({ "Juegos", "Accesorios" });
    auto *other = new TCustomShellLinkGroup(form_.get());
    other->SetContainer(install_);
    other->SetDestDirType(StandardPathSpecList()->FindByClass(TpsDesktopMenu::Class));
    other->SetDestDir("\\Atajos");
    // Moved at run time, the component is numbered afresh in its new
    // container: first there, so the page now comes before the licence.
    dialog_->SetLinkGroup(other);
    std::string shown;
    EXPECT_EQ(Run({ [&] {
                       ASSERT_NE(Page(), nullptr);
                       shown = Page()->FolderEdit->Text();
                       ClickControl(Page()->ProceedBtn);
                   },
                  PastTheLicence() }),
        "ok");
    EXPECT_EQ(shown, "Accesorios");
    EXPECT_EQ(other->DestDirType()->ClassName(), std::string("TpsProgramMenu"));
    EXPECT_EQ(other->DestDir(), "\\Accesorios");
}

TEST_F(StartMenuPage, AnEmptyStartMenuLeavesTheFolderToType)
{
    group_->SetDestDir("");
    ASSERT_TRUE(RemoveDir(GetProgramsMenuDir() + "\\Startup"));
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ PastTheLicence(),
                  [&] {
                      seen.push_back(std::to_string(Page()->FolderListBox->Items()->Count()) + " ["
                          + Page()->FolderEdit->Text() + "]");
                      ClickControl(Page()->FolderEdit);
                      TypeText(Page()->FolderEdit, "Calculadoras");
                  },
                  [] { PressKey(FocusedControl(), VK_RETURN, U'\r'); } }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("0 []"));
    EXPECT_EQ(group_->DestDir(), "\\Calculadoras");
}

TEST_F(StartMenuPage, NamesOutsideTheProgramsFolderAreRefusedWithAMessage)
{
    struct Case {
        const char *typed;
        const char *message; // "" when the name is taken
    };
    const Case cases[] = {
        { "", "Por favor escriba el nombre de la carpeta de programas." },
        { "   ", "Por favor escriba el nombre de la carpeta de programas." },
        { "..\\..\\WINDOWS", "La carpeta de programas debe estar dentro de la carpeta Programas del menú Inicio." },
        { "\\Raíz", "La carpeta de programas debe estar dentro de la carpeta Programas del menú Inicio." },
        { "ORVEX\\\\Tabulo", "La carpeta de programas debe estar dentro de la carpeta Programas del menú Inicio." },
        { "ORVEX\\.", "La carpeta de programas debe estar dentro de la carpeta Programas del menú Inicio." },
        { "C:Tabulo", "El nombre de una carpeta no puede contener ninguno de estos caracteres: / : * ? \" < > |" },
        { "Tabulo?", "El nombre de una carpeta no puede contener ninguno de estos caracteres: / : * ? \" < > |" },
        { "A/B", "El nombre de una carpeta no puede contener ninguno de estos caracteres: / : * ? \" < > |" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(FolderNameFault(c.typed), c.message) << c.typed;
    EXPECT_EQ(FolderNameFault("Accesorios\\ORVEX Tabulo"), "");
    EXPECT_EQ(FolderNameFault("ORVEX 2.0"), "");

    // In the wizard: the refused name keeps the page open, with the focus
    // back in the edit; a good one goes on.
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ PastTheLicence(),
                  [&] {
                      Page()->FolderEdit->SetText("..\\..\\WINDOWS");
                      ClickControl(Page()->ProceedBtn);
                  },
                  [&] {
                      seen.push_back(std::string(Page() ? "still on the page" : "left the page") + " "
                          + Focused());
                      Page()->FolderEdit->SetText("Accesorios\\ORVEX");
                      PressKey(Page()->FolderEdit, VK_RETURN, U'\r');
                  } }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("still on the page FolderEdit"));
    ASSERT_EQ(boxes_.Count(), 1);
    EXPECT_EQ(boxes_.Last().Text,
        "La carpeta de programas debe estar dentro de la carpeta Programas del menú Inicio.");
    EXPECT_EQ(boxes_.Last().Caption, "Carpeta del menú Inicio");
    EXPECT_EQ(group_->DestDir(), "\\Accesorios\\ORVEX");
}

TEST_F(StartMenuPage, OnOldWindowsTheGroupsOfProgramManagerAreOffered)
{
    MakePrograms({ "Carpeta del shell" });
    SetNtVersion("3.51");
    ProgramManager()->CreateGroup("Principal");
    ProgramManager()->CreateGroup("Accesorios");
    std::string listed;
    EXPECT_EQ(Run({ PastTheLicence(), [&] { listed = Items(Page()->FolderListBox->Items()); },
                  [] { ClickControl(Page()->ProceedBtn); } }),
        "ok");
    EXPECT_EQ(listed, "Accesorios|Principal");
}

TEST_F(StartMenuPage, WithoutALinkGroupThePageSkips)
{
    dialog_->SetLinkGroup(nullptr);
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] { seen.push_back(ShownFrame()->Caption()); }, PastTheLicence() }), "ok");
    EXPECT_THAT(seen, ElementsAre("Contrato de licencia"));

    dialog_->SetContainer(install_);
    EXPECT_THROW(
        {
            try {
                dialog_->LinkGroup();
            } catch (const Exception &e) {
                EXPECT_EQ(e.Message(), "The container for SelectFolderDlg1 must be a TCustomShellLinkGroup");
                throw;
            }
        },
        Exception);
}

TEST_F(StartMenuPage, AloneThePageShowsBeforeTheShortcutsAreMade)
{
    MakePrograms({ "Accesorios" });
    dialog_->SetDialogManager(nullptr);
    std::vector<std::string> seen;
    Script({ [&] {
        auto *page = dynamic_cast<TSelectFolderForm *>(ModalForm());
        ASSERT_NE(page, nullptr);
        seen.push_back(page->Caption() + (page->BackBtn->Visible() ? " back" : " no back")
            + (page->ProceedBtn->Default() ? " default" : "") + " " + page->FolderEdit->Text());
        ClickControl(page->FolderEdit);
        TypeText(page->FolderEdit, " 2");
        PressKey(FocusedControl(), VK_RETURN, U'\r');
    } });
    group_->InstallObjects();
    EXPECT_THAT(seen, ElementsAre("Carpeta del menú Inicio no back default ORVEX Tabulo"));
    EXPECT_EQ(group_->DestDir(), "\\ORVEX Tabulo 2");
    EXPECT_TRUE(DirectoryExists(GetProgramsMenuDir() + "\\ORVEX Tabulo 2")) << "the group made its folder";
    EXPECT_EQ(dialog_->Form(), nullptr);

    // Cancel ends the run; without a container the page cannot be shown at all.
    Script({ [] { PressKey(FocusedControl(), VK_ESCAPE, U'\x1b'); } });
    EXPECT_THROW(group_->BroadcastEvent(group_, ieBeforeShellLinks, nullptr), EAIUserAbort);
    dialog_->SetLinkGroup(nullptr);
    ExpectRefusedWithoutContainer(dialog_, "SelectFolderDlg1");
}

TEST_F(StartMenuPage, CancelAsksTheInstallFirst)
{
    bool quit = false;
    int asked = 0;
    install_->OnUserAbort = [&](TCustomInstall *, bool &quitOut) {
        ++asked;
        quitOut = quit;
    };
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ PastTheLicence(), [] { ClickControl(Page()->CancelBtn); },
                  [&] {
                      seen.push_back(Page() ? "stays" : "gone");
                      quit = true;
                      ClickControl(Page()->CancelBtn);
                  } }),
        "abort");
    EXPECT_THAT(seen, ElementsAre("stays"));
    EXPECT_EQ(asked, 2);
}

TEST_F(StartMenuPage, TheFormsOwnTextsAndSpacers)
{
    auto made = std::unique_ptr<TCustomForm>(NewForm<TSelectFolderForm>(Application));
    auto *page = static_cast<TSelectFolderForm *>(made.get());
    EXPECT_EQ(page->Caption(), "Select folder in start menu");
    EXPECT_EQ(page->TopDescriptionLabel->Caption(),
        "Setup will add program icons to the Program Folder listed below. You may type a new folder name, "
        "or select from the E&xisting Folders list.");
    EXPECT_EQ(page->ProgramFolders->Caption(), "&Program Folder");
    EXPECT_EQ(page->ExistingFolders->Caption(), "E&xisting Folders");
    EXPECT_EQ(page->ProgramFolders->FocusControl(), page->FolderEdit);
    EXPECT_TRUE(page->FolderListBox->Sorted());
    EXPECT_EQ(page->Order(), 60);
    EXPECT_EQ(page->Container(), group_);
    page->SetBounds(0, 0, 600, 420);
    EXPECT_EQ(page->Label1->Height(), 18);
    EXPECT_EQ(page->Label3->Height(), 8);
    EXPECT_EQ(page->Label4->Height(), 8);
    EXPECT_EQ(dialog_->Order(), 60);
    EXPECT_EQ(dialog_->DialogManager(), form_->FindComponent("Before"));
}

TEST_F(StartMenuPage, Screenshot)
{
    MakePrograms({ "Accesorios", "Herramientas del sistema", "Juegos", "ORVEX Tabulo", "Office" });
    const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/start_menu.png";
    std::filesystem::remove(path);
    int64_t bytes = 0;
    EXPECT_EQ(Run({ PastTheLicence(),
                  [&] {
                      bytes = SaveScreenshot(ShownFrame(), path);
                      ShownFrame()->SetModalResult(mrCancel);
                  } }),
        "abort");
    EXPECT_GT(bytes, 0);
}

} // namespace
