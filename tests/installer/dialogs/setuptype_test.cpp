// The setup type page and the folder browser, as a person meets them inside
// the running wizard: tabs, the destination typed or browsed for, folders
// made and tidied, and what the page looks like in Spanish.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "installer/dialogs/cmp_TOpenFolderDialog.h"
#include "installer/dialogs/dlgcmp_InstallType.h"
#include "installer/dialogs/ordlg_GoodInstall.h"
#include "installer/dialogs/ordlg_InstallType.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/files.h"
#include "platform/ui/comctrls.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

// The browser showing now and the parts of it a person uses.
TCustomForm *Browser()
{
    return ModalForm();
}
template <typename T> T *BrowserPart(int skip = 0)
{
    TCustomForm *browser = Browser();
    for (int i = 0; browser && i < browser->ControlCount(); ++i)
        if (auto *part = dynamic_cast<T *>(browser->Controls(i)); part && skip-- == 0)
            return part;
    return nullptr;
}
TButton *BrowserButton(const std::string &caption)
{
    for (int i = 0; TButton *button = BrowserPart<TButton>(i); ++i)
        if (button->Caption() == caption)
            return button;
    return nullptr;
}
std::string BrowserSelection()
{
    TCustomTreeView *tree = BrowserPart<TCustomTreeView>();
    if (!tree || !tree->Selected())
        return "<none>";
    std::string path = tree->Selected()->Text();
    for (TTreeNode *node = tree->Selected()->Parent(); node; node = node->Parent())
        path = node->Text() + "\\" + path;
    return path;
}

class SetupType : public Wizard
{
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        // These wizards show the page of these tests alone: the licence
        // page, registered on its own, stands for the good install's page
        // meanwhile, which has no manager here.
        for (int i = 0; i < InstallFormCount(); ++i)
            if (InstallFormEntry(i)->FormClass == &TLicenseForm::Class)
                InstallFormEntry(i)->FormClass = &TGoodInstallForm::Class;
        Load("    InstallTypes = [itDefault, itCompact, itCustom, itFull]\n"
             "    DestDir = 'C:\\Program Files\\ORVEX\\Tabulo'\n");
    }
    void TearDown() override
    {
        for (int i = 0; i < InstallFormCount(); ++i)
            if (InstallFormEntry(i)->FormClass == &TGoodInstallForm::Class && !InstallFormEntry(i)->Dialog)
                InstallFormEntry(i)->FormClass = &TLicenseForm::Class;
        Wizard::TearDown();
    }
    void Load(const std::string &installLines)
    {
        install_ = nullptr;
        form_.reset();
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n"
                         "    Information.ProductName = 'Tabulo'\n"
                         "    RunAutomatic = False\n"
            + installLines + "  end\n" + TranslatorResource()
            + "  object Before: TDialogManager\n    Container = Install1\n    Width = 550\n  end\n"
              "  object Group1: TInstallFileGroup\n"
              "    Container = Install1\n"
              "    GroupName = 'Help'\n"
              "    InstallTypes = [itFull]\n"
              "  end\n"
              "  object InstallTypeDlg1: TInstallTypeDlg\n    Container = Install1\n  end\n"
              "end\n");
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
        group_ = static_cast<TInstallFileGroup *>(form_->FindComponent("Group1"));
    }
    // The wizard before the install with the script; "ok" or "abort".
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
    static TInstallTypeForm *Page() { return dynamic_cast<TInstallTypeForm *>(ShownPage()); }
    static void ClickTab(TTabSheet *sheet)
    {
        const TRect tab = sheet->PageControl()->TabRect(sheet->TabIndex());
        ASSERT_GT(tab.Width(), 0) << sheet->Name() << " has no tab";
        ClickControl(sheet->PageControl(), (tab.Left + tab.Right) / 2, (tab.Top + tab.Bottom) / 2);
    }
    static std::vector<std::string> Tabs(TInstallTypeForm *page)
    {
        std::vector<std::string> tabs;
        for (int i = 0; i < page->PageControl->PageCount(); ++i)
            if (page->PageControl->Pages(i)->TabVisible())
                tabs.push_back(page->PageControl->Pages(i)->Caption());
        return tabs;
    }
    // A click that opens a modal window is queued, so that the script's next
    // step runs inside that window's loop.
    static void Browse()
    {
        QueueCall([] { ClickControl(Page()->BrowseBtn); });
    }
    static void ClickLater(TControl *control)
    {
        QueueCall([control] { ClickControl(control); });
    }
    static void Type(const std::string &text)
    {
        TOFDPathEdit *edit = BrowserPart<TOFDPathEdit>();
        ASSERT_NE(edit, nullptr);
        edit->SetFocus();
        edit->SelectAll();
        TypeText(edit, text);
    }

    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
    TInstallFileGroup *group_ = nullptr;
};

TEST_F(SetupType, ShowsItsTextsInSpanishAndTheTabsOfTheInstallTypes)
{
    Load("    InstallTypes = [itDefault, itCompact, itCustom]\n"
         "    DestDir = 'C:\\Program Files\\ORVEX\\Tabulo'\n");
    install_->SetCurrentInstallType(itAlways);
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
        TInstallTypeForm *page = Page();
        ASSERT_NE(page, nullptr);
        seen.push_back(ShownFrame()->Caption());
        seen.push_back(page->TopDescriptionLabel->Caption());
        for (const std::string &tab : Tabs(page))
            seen.push_back(tab);
        seen.push_back(page->PageControl->ActivePage()->Caption());
        seen.push_back(page->DirectoryGroupBox->Caption());
        seen.push_back(page->BrowseBtn->Caption());
        seen.push_back(page->edDestDir->Text());
        seen.push_back(page->BackBtn->Visible() ? "back" : "no back");
        seen.push_back(FocusedControl() ? FocusedControl()->Name() : "<none>");
        ClickControl(page->ProceedBtn);
    } }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("Tipo de instalación", "Elija el tipo de instalación que prefiera y luego presione Siguiente.",
            "Típica", "Compacta", "Personalizada", "Personalizada", "Carpeta de destino", "&Examinar",
            "C:\\Program Files\\ORVEX\\Tabulo", "no back", "ProceedBtn"));
    EXPECT_EQ(install_->CurrentInstallType(), itAlways) << "showing a tab writes no type";
}

TEST_F(SetupType, IsSkippedWhenEverythingIsAlwaysInstalledAndWithoutAnInstall)
{
    Load("    InstallTypes = [itAlways]\n");
    EXPECT_EQ(Run({}), "ok") << "the only page skips, so the wizard is over";
    auto alone = std::unique_ptr<TCustomForm>(NewForm<TInstallTypeForm>(Application));
    auto *page = static_cast<TInstallTypeForm *>(alone.get());
    EXPECT_TRUE(page->Skip());
    install_->SetInstallTypes({ itAlways, itFull });
    EXPECT_FALSE(page->Skip());
    page->SetContainer(nullptr);
    EXPECT_TRUE(page->Skip());
}

TEST_F(SetupType, ATabClickSetsTheTypeOfTheWholeTree)
{
    install_->SetCurrentInstallType(itDefault);
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] {
                       seen.push_back(Page()->PageControl->ActivePage()->Name());
                       ClickTab(Page()->CompactTab);
                   },
        [&] {
            seen.push_back(Page()->PageControl->ActivePage()->Name());
            seen.push_back(InstallTypeNames[install_->CurrentInstallType()] + " "
                + InstallTypeNames[group_->CurrentInstallType()]);
            ClickTab(Page()->FullTab);
            seen.push_back(InstallTypeNames[group_->CurrentInstallType()]);
            ClickTab(Page()->TypicalTab);
            seen.push_back(InstallTypeNames[group_->CurrentInstallType()]);
            ClickTab(Page()->CustomTab);
        },
        [&] { PressKey(FocusedControl(), VK_RETURN, U'\r'); } }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("TypicalTab", "CompactTab", "itCompact itCompact", "itFull", "itDefault"));
    EXPECT_EQ(install_->CurrentInstallType(), itCustom);
    EXPECT_TRUE(group_->ShouldInstall()) << "a custom installation installs what is included";
}

TEST_F(SetupType, TypingTheDestinationStoresItInLowerCaseWithoutItsSpecifier)
{
    Load("    InstallTypes = [itDefault, itCustom]\n"
         "    DestDir = '\\ORVEX'\n"
         "    DestDirType = psProgramFiles\n");
    ASSERT_NE(install_->DestDirType(), nullptr);
    EXPECT_EQ(Run({ [&] {
                       TEdit *edit = Page()->edDestDir;
                       edit->SetFocus();
                       edit->SelectAll();
                       TypeText(edit, "D:\\Juegos\\Tabulo");
                   },
        [] { PressKey(FocusedControl(), VK_ESCAPE, U'\x1b'); } }),
        "abort");
    EXPECT_EQ(install_->DestDirType(), nullptr);
    EXPECT_EQ(install_->DestDir(), "d:\\juegos\\tabulo");
    EXPECT_EQ(install_->GetDestPath(), "d:\\juegos\\tabulo");
}

TEST_F(SetupType, WithoutADestinationTheFolderBoxIsHidden)
{
    Load("    InstallTypes = [itDefault, itCustom]\n    DestDir = ''\n");
    bool shown = true;
    EXPECT_EQ(Run({ [&] {
        shown = Page()->DirectoryGroupBox->Visible();
        ClickControl(Page()->ProceedBtn);
    } }),
        "ok");
    EXPECT_FALSE(shown);
}

TEST_F(SetupType, BrowsingFromAMissingDestinationLeavesNoFolderBehind)
{
    ASSERT_TRUE(DirectoryExists("C:\\Program Files"));
    ASSERT_FALSE(DirectoryExists("C:\\Program Files\\ORVEX"));
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ Browse,
                      [&] {
                          seen.push_back(BrowserSelection());
                          seen.push_back(BrowserPart<TOFDPathEdit>()->Text());
                          seen.push_back(DirectoryExists("C:\\Program Files\\ORVEX\\Tabulo") ? "made" : "not made");
                          ClickControl(BrowserButton("Cancel"));
                      },
                      [&] {
                          seen.push_back(ShownFrame()->Caption());
                          ClickControl(Page()->ProceedBtn);
                      } }),
        "ok");
    EXPECT_THAT(seen,
        ElementsAre("C:\\Program Files\\ORVEX\\Tabulo", "C:\\Program Files\\ORVEX\\Tabulo", "made", "Tipo de instalación"));
    EXPECT_FALSE(DirectoryExists("C:\\Program Files\\ORVEX\\Tabulo"));
    EXPECT_FALSE(DirectoryExists("C:\\Program Files\\ORVEX")) << "every level made for the look goes again";
    EXPECT_TRUE(DirectoryExists("C:\\Program Files"));
    EXPECT_EQ(install_->DestDir(), "C:\\Program Files\\ORVEX\\Tabulo");
}

TEST_F(SetupType, BrowsingWithAnUnusableDestinationOpensWithoutAStartFolder)
{
    for (const char *destination : { "", "   ", "relativo\\carpeta", "\\MyApplication" }) {
        Load(std::string("    InstallTypes = [itDefault, itCustom]\n    DestDir = '") + destination + "'\n");
        // An empty destination hides the box; its button still answers.
        std::vector<std::string> seen;
        EXPECT_EQ(Run({ [] { QueueCall([] { Page()->BrowseBtn->Click(); }); },
                          [&] {
                              seen.push_back(BrowserSelection());
                              ClickControl(BrowserButton("Cancel"));
                          },
                          [&] {
                              seen.push_back(ShownFrame()->Caption());
                              ClickControl(Page()->ProceedBtn);
                          } }),
            "ok")
            << "[" << destination << "]";
        // The shell puts the selection on its first drive, as it does with no start folder.
        EXPECT_THAT(seen, ElementsAre("A:", "Tipo de instalación")) << destination;
        EXPECT_FALSE(DirectoryExists("C:\\WINDOWS\\system32\\relativo")) << "nothing is made";
        EXPECT_FALSE(DirectoryExists("relativo"));
    }
}

TEST_F(SetupType, ATypedNewFolderIsMadeAndBecomesTheDestination)
{
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ Browse, [] { Type("D:\\Juegos\\Tabulo"); },
                      [&] {
                          seen.push_back(BrowserSelection());
                          ClickControl(BrowserButton("OK"));
                      },
                      [&] {
                          seen.push_back(Page()->edDestDir->Text());
                          ClickControl(Page()->ProceedBtn);
                      } }),
        "ok");
    EXPECT_EQ(seen[1], "D:\\Juegos\\Tabulo");
    EXPECT_TRUE(DirectoryExists("D:\\Juegos\\Tabulo"));
    EXPECT_EQ(install_->DestDir(), "D:\\Juegos\\Tabulo");
    EXPECT_EQ(install_->DestDirType(), nullptr);
    EXPECT_FALSE(DirectoryExists("C:\\Program Files\\ORVEX")) << "the look's folders went";
}

TEST_F(SetupType, ARelativeTypedFolderIsRefusedAndTheBrowserStaysOpen)
{
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ Browse, [] { Type("Juegos\\Tabulo"); }, [] { ClickControl(BrowserButton("OK")); },
                      [&] {
                          seen.push_back(Browser()->Caption());
                          seen.push_back(BrowserSelection());
                          ClickControl(BrowserButton("Cancel"));
                      },
                      [] { ClickControl(Page()->ProceedBtn); } }),
        "ok");
    ASSERT_EQ(boxes_.Count(), 1);
    EXPECT_EQ(boxes_.Last().Text,
        "Juegos\\Tabulo no es un nombre completo de carpeta. Escriba la carpeta con su unidad, por ejemplo "
        "C:\\Carpeta.");
    EXPECT_THAT(seen, ElementsAre("Browse For Folder", "C:\\Program Files\\ORVEX\\Tabulo"));
    EXPECT_EQ(install_->DestDir(), "C:\\Program Files\\ORVEX\\Tabulo");
    EXPECT_FALSE(DirectoryExists("Juegos"));
}

// ---- The browser's own buttons, outside the wizard

class OpenFolder : public SetupType
{
protected:
    // Runs the browser from start with the script.
    bool Execute(const std::string &start, std::vector<std::function<void()>> steps, TOpenFolderDialog &browser)
    {
        browser.SetDirectory(start);
        Script(std::move(steps));
        return browser.Execute();
    }
};

TEST_F(OpenFolder, CreatingAFolderReopensTheBrowserOnIt)
{
    ASSERT_TRUE(ForceDirectories("C:\\Datos"));
    TOpenFolderDialog browser(nullptr);
    int asked = 0;
    browser.OnCreateFolder = [&](TObject *, bool &allow) { allow = ++asked > 1; };
    std::vector<std::string> seen;
    EXPECT_FALSE(Execute("c:\\datos\\nuevo\\más",
        { [&] {
             seen.push_back(BrowserSelection());
             seen.push_back(BrowserPart<TOFDCreateButton>()->Caption());
             ClickControl(BrowserPart<TOFDCreateButton>()); // refused by the handler
             seen.push_back(Browser() == ModalForm() ? "still open" : "closed");
             ClickLater(BrowserPart<TOFDCreateButton>()); // asks for a name
         },
            [&] {
                seen.push_back(ModalForm()->Caption());
                TypeText(FocusedControl(), "Informes");
                PressKey(FocusedControl(), VK_RETURN, U'\r');
            },
            [&] {
                seen.push_back(BrowserSelection());
                ClickControl(BrowserButton("Cancel"));
            } },
        browser));
    EXPECT_THAT(seen, ElementsAre("C:\\Datos", "Create New Folder", "still open", "Create New Folder", "C:\\Datos\\Informes"));
    EXPECT_TRUE(DirectoryExists("C:\\Datos\\Informes"));
    EXPECT_EQ(asked, 2);
}

TEST_F(OpenFolder, ANameThatClimbsIsRefused)
{
    ASSERT_TRUE(ForceDirectories("C:\\Datos"));
    TOpenFolderDialog browser(nullptr);
    EXPECT_FALSE(Execute("C:\\Datos",
        { [] { ClickLater(BrowserPart<TOFDCreateButton>()); },
            [] {
                TypeText(FocusedControl(), "..\\..\\fuera");
                PressKey(FocusedControl(), VK_RETURN, U'\r');
            },
            [] { ClickControl(BrowserButton("Cancel")); } },
        browser));
    ASSERT_EQ(boxes_.Count(), 1);
    EXPECT_EQ(boxes_.Last().Text, "..\\..\\fuera no es un nombre de carpeta válido.");
    EXPECT_FALSE(DirectoryExists("C:\\fuera"));
}

TEST_F(OpenFolder, WithoutTheExtrasItIsThePlainBrowser)
{
    ASSERT_TRUE(ForceDirectories("C:\\Datos\\Viejos"));
    TOpenFolderDialog browser(nullptr);
    browser.SetShowCreateButton(false);
    browser.SetShowPathEdit(false);
    std::vector<std::string> seen;
    EXPECT_TRUE(Execute("C:\\Datos\\Viejos\\no\\existe",
        { [&] {
            seen.push_back(BrowserSelection());
            seen.push_back(BrowserPart<TOFDCreateButton>() || BrowserPart<TOFDPathEdit>() ? "extras" : "plain");
            ClickControl(BrowserButton("OK"));
        } },
        browser));
    EXPECT_THAT(seen, ElementsAre("C:\\Datos\\Viejos", "plain")) << "the deepest folder that exists";
    EXPECT_EQ(browser.Directory(), "C:\\Datos\\Viejos");
}

TEST_F(OpenFolder, TheSystemTextsFollowTheWindowsLanguage)
{
    EXPECT_EQ(LoadSystemString("comdlg32.dll", 703), "Create New Folder");
    EXPECT_EQ(LoadSystemString("C:\\WINDOWS\\SYSTEM32\\SHELL32.DLL", 9248), "Choose a folder%s");
    EXPECT_EQ(LoadSystemString("shell32.dll", 1), "");
    EXPECT_EQ(LoadSystemString("nothere.dll", 703), "");
    setenv("LC_ALL", "es_AR.UTF-8", 1);
    EXPECT_EQ(LoadSystemString("comdlg32.dll", 703), "Crear nueva carpeta");
    unsetenv("LC_ALL");
}

TEST_F(SetupType, AloneWithoutContainerItRefusesToShow)
{
    auto *dialog = static_cast<TInstallTypeDlg *>(form_->FindComponent("InstallTypeDlg1"));
    dialog->SetContainer(nullptr);
    ExpectRefusedWithoutContainer(dialog, "InstallTypeDlg1");
}

TEST_F(SetupType, AloneItShowsAtItsOwnEventWithoutPrevious)
{
    auto *dialog = static_cast<TInstallTypeDlg *>(form_->FindComponent("InstallTypeDlg1"));
    dialog->SetDialogManager(nullptr);
    std::vector<std::string> seen;
    Script({ [&] {
        auto *page = static_cast<TInstallTypeForm *>(ModalForm());
        seen.push_back(page->Caption() + (page->BackBtn->Visible() ? " back" : " no back")
            + (page->ProceedBtn->Default() ? " default" : ""));
        ClickTab(page->FullTab);
        ClickControl(page->ProceedBtn);
    } });
    install_->BroadcastEvent(install_, ieBeforeInstallType, nullptr);
    EXPECT_THAT(seen, ElementsAre("Tipo de instalación no back default"));
    EXPECT_EQ(install_->CurrentInstallType(), itFull);
}

// ---- Pictures

TEST_F(SetupType, Screenshots)
{
    const std::string folder = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/";
    setenv("LC_ALL", "es_AR.UTF-8", 1);
    install_->SetCurrentInstallType(itDefault);
    int64_t page = 0, browser = 0;
    TRect bounds;
    EXPECT_EQ(Run({ [&] {
                       bounds = ShownFrame()->BoundsRect();
                       page = SaveScreenshot(ShownFrame(), folder + "setup_type.png");
                       Browse();
                   },
        [&] {
            browser = SaveScreenshot(Browser(), folder + "folder_browser.png");
            ClickControl(BrowserButton("Cancelar"));
        },
        [] { ShownFrame()->SetModalResult(mrCancel); } }),
        "abort");
    unsetenv("LC_ALL");
    EXPECT_GT(page, 0);
    EXPECT_GT(browser, 0);
    EXPECT_EQ(bounds.Width(), 550);
    EXPECT_EQ(bounds.Height(), 395);
}

} // namespace
