// The pages as a person meets them: the welcome page's update test, the
// licence, the closing pages and the restart question, driven with keys and
// clicks inside the running wizard; and what each page looks like in Spanish.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/dialogs/dlgcmp_BadInstall.h"
#include "installer/dialogs/dlgcmp_GoodInstall.h"
#include "installer/dialogs/dlgcmp_Welcome.h"
#include "installer/dialogs/ordlg_BadInstall.h"
#include "installer/dialogs/ordlg_GoodInstall.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_Readme.h"
#include "installer/dialogs/ordlg_Reboot.h"
#include "installer/dialogs/ordlg_Welcome.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/system/registry.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

class Pages : public Wizard
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
              "  object Good: TDialogManager\n    Container = Install1\n    ManagerType = "
              "dmAfterGoodInstall\n"
              "    Width = 550\n  end\n"
              "  object Bad: TDialogManager\n    Container = Install1\n    ManagerType = dmAfterBadInstall\n"
              "    Width = 550\n  end\n"
              "  object Restart: TDialogManager\n    Container = Install1\n    ManagerType = dmReboot\n"
              "    Width = 550\n  end\n"
              "  object WelcomeDlg1: TWelcomeDlg\n    Container = Install1\n  end\n"
              "  object GoodInstallationDlg1: TGoodInstallationDlg\n    Container = Install1\n  end\n"
              "  object BadInstallationDlg1: TBadInstallationDlg\n    Container = Install1\n  end\n"
              "end\n");
        install_ = static_cast<TCustomInstall *>(form_->FindComponent("Install1"));
    }
    TDialogManager *Manager(const char *name)
    {
        return static_cast<TDialogManager *>(form_->FindComponent(name));
    }

    // Runs the wizard of the manager with the script; answers "ok" or "abort".
    std::string Run(const char *manager, std::vector<std::function<void()>> steps)
    {
        Script(std::move(steps));
        try {
            Manager(manager)->ShowWizard();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        }
    }

    static void MarkInstalled()
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(
            registry.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tabulo", true));
    }

    // A key typed where the focus is, as a person types it.
    static std::function<void()> Type(uint16_t key)
    {
        return [key] {
            ASSERT_NE(FocusedControl(), nullptr);
            PressKey(FocusedControl(), key, key == VK_RETURN ? U'\r' : key == VK_ESCAPE ? U'\x1b' : 0);
        };
    }
    static std::string Focused() { return FocusedControl() ? FocusedControl()->Name() : "<none>"; }
    static std::string Caption() { return ShownFrame() ? ShownFrame()->Caption() : "<none>"; }
    template <typename T> static T *Page() { return dynamic_cast<T *>(ShownPage()); }

    std::unique_ptr<TSetupForm> form_;
    TCustomInstall *install_ = nullptr;
};

TEST_F(Pages, AFirstInstallGoesFromWelcomeThroughTheLicence)
{
    std::vector<std::string> seen;
    EXPECT_EQ(Run("Before",
                  { [&] {
                       seen.push_back(Caption() + " " + Focused());
                       seen.push_back(Page<TWelcomeForm>()->BackBtn->Visible() ? "back" : "no back");
                   },
                      Type(VK_RETURN),
                      [&] {
                          seen.push_back(Caption() + " " + Focused());
                          seen.push_back(Page<TLicenseForm>()->BackBtn->Visible() ? "back" : "no back");
                          seen.push_back(std::to_string(install_->Tag()));
                      },
                      [] { ClickControl(Page<TLicenseForm>()->ProceedBtn); } }),
        "ok");
    EXPECT_THAT(
        seen, ElementsAre("Bienvenida ProceedBtn", "no back", "Contrato de licencia CancelBtn", "back", "1"));
    EXPECT_EQ(boxes_.Count(), 0) << "no question before a first installation";
}

TEST_F(Pages, AnUpdateIsConfirmedBeforeTheWizardGoesOn)
{
    MarkInstalled();
    boxes_.Answer(IDYES);
    std::string after;
    EXPECT_EQ(Run("Before",
                  { [] { ClickControl(Page<TWelcomeForm>()->ProceedBtn); }, [&] { after = Caption(); },
                      [] { ClickControl(Page<TLicenseForm>()->ProceedBtn); } }),
        "ok");
    EXPECT_EQ(after, "Contrato de licencia");
    EXPECT_EQ(install_->Tag(), 2);
    ASSERT_EQ(boxes_.Count(), 1);
    EXPECT_EQ(boxes_.Last().Text, std::string(UpdateWarning) + "\n\n Continúa?");
    EXPECT_EQ(boxes_.Last().Caption, "Pregunta");
    EXPECT_EQ(boxes_.Last().Flags & MB_TYPEMASK, MB_YESNO);
}

TEST_F(Pages, DecliningTheUpdateAsksTheAbortQuestionAndARefusalStays)
{
    MarkInstalled();
    std::vector<std::string> asked;
    bool quit = false;
    install_->OnUserAbort = [&](TCustomInstall *, bool &quitOut) {
        asked.push_back(Caption());
        quitOut = quit;
    };
    boxes_.Answer(IDNO); // the update warning
    std::vector<std::string> seen;
    EXPECT_EQ(Run("Before",
                  { [] { ClickControl(Page<TWelcomeForm>()->ProceedBtn); },
                      [&] { seen.push_back(Caption() + " " + std::to_string(install_->Tag())); },
                      [&] { quit = true; }, Type(VK_ESCAPE) }),
        "abort");
    EXPECT_THAT(seen, ElementsAre("Bienvenida 2"));
    EXPECT_THAT(asked, ElementsAre("Bienvenida", "Bienvenida"));
}

TEST_F(Pages, CancelWithoutAnAbortHandlerEndsAtOnce)
{
    EXPECT_EQ(Run("Before", { Type(VK_ESCAPE) }), "abort");
    EXPECT_EQ(boxes_.Count(), 0);
    EXPECT_EQ(install_->Tag(), 0) << "Cancel is no update test";
}

TEST_F(Pages, TheLicenceShowsFromItsFirstLineAndCannotBeEdited)
{
    TLicenseForm *licence = nullptr;
    int firstVisible = -1;
    bool readOnly = false;
    int lines = 0;
    std::vector<std::string> seen;
    EXPECT_EQ(Run("Before",
                  { [] { ClickControl(Page<TWelcomeForm>()->ProceedBtn); },
                      [&] {
                          licence = Page<TLicenseForm>();
                          readOnly = licence->Agreement->ReadOnly();
                          firstVisible = licence->Agreement->SelStart();
                          lines = licence->Agreement->Lines()->Count();
                          seen.push_back(licence->Agreement->Lines()->Strings(0).substr(0, 11));
                          TypeText(licence->Agreement, "x");
                          seen.push_back(licence->Agreement->Lines()->Strings(0).substr(0, 11));
                      },
                      [] { ClickControl(Page<TLicenseForm>()->BackBtn); }, [&] { seen.push_back(Caption()); },
                      Type(VK_ESCAPE) }),
        "abort");
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(firstVisible, 0);
    EXPECT_GT(lines, 20);
    EXPECT_THAT(seen, ElementsAre("IMPORTANTE:", "IMPORTANTE:", "Bienvenida"));
}

TEST_F(Pages, TheLicenceHasItsSectionsEachFollowedByAnEmptyLine)
{
    auto licence = std::unique_ptr<TCustomForm>(NewForm<TLicenseForm>(Application));
    TStrings *lines = static_cast<TLicenseForm *>(licence.get())->Agreement->Lines();
    std::vector<int> sections;
    for (int i = 0; i < lines->Count(); ++i) {
        const std::string line = lines->Strings(i);
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            sections.push_back(std::stoi(line));
    }
    EXPECT_THAT(sections, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9));
    EXPECT_EQ(lines->Strings(lines->Count() - 1), "");
    EXPECT_EQ(static_cast<TLicenseForm *>(licence.get())->Order(), 20);
}

TEST_F(Pages, SetupCompleteAloneShowsFinishWhichEndsIt)
{
    std::vector<std::string> seen;
    EXPECT_EQ(Run("Good",
                  { [&] {
                       auto *page = Page<TGoodInstallForm>();
                       seen.push_back(Caption() + " " + Focused());
                       seen.push_back(std::string(page->ProceedBtn->Visible() ? "next" : "no next")
                           + (page->FinishBtn->Visible() ? " finish" : " no finish")
                           + (page->BackBtn->Visible() ? " back" : " no back"));
                       seen.push_back(page->FinishBtn->Caption());
                   },
                      Type(VK_RETURN) }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("Instalación terminada FinishBtn", "no next finish no back", "Finalizar"));
}

TEST_F(Pages, SetupIncompleteFollowsAnErrorOfTheRun)
{
    // A run whose first step fails: the install component's handler shows
    // the setup-incomplete page, then the error, then ends the program; so
    // the run happens in a child process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [this] {
        install_->OnAfterInitialized = [](TObject *) { throw Exception("Disco lleno"); };
        std::vector<std::string> seen;
        Script({ [&] {
            seen.push_back(Caption());
            seen.push_back(std::to_string(boxes_.Count()) + " boxes");
            ClickControl(Page<TBadInstallForm>()->FinishBtn);
        } });
        try {
            install_->Process();
        } catch (...) {
            Application->HandleException(install_);
        }
        const std::vector<std::string> expected { "Instalación incompleta", "0 boxes" };
        const bool ok = seen == expected && boxes_.Count() == 1 && boxes_.Last().Text == "Disco lleno."
            && Application->Terminated();
        std::_Exit(ok ? 0 : 3);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST_F(Pages, SetupIncompleteFollowsACancelToo)
{
    std::vector<std::string> seen;
    Script({ [&] { seen.push_back(Caption()); }, Type(VK_ESCAPE), [&] { seen.push_back(Caption()); },
        Type(VK_RETURN) });
    try {
        install_->Process();
    } catch (...) {
        Application->HandleException(install_);
    }
    EXPECT_THAT(seen, ElementsAre("Bienvenida", "Instalación incompleta"));
    EXPECT_EQ(boxes_.Count(), 0) << "a cancel shows no error";
}

TEST_F(Pages, AGoodRunEndsOnSetupComplete)
{
    std::vector<std::string> seen;
    Script({ [&] { seen.push_back(Caption()); }, Type(VK_RETURN), [&] { seen.push_back(Caption()); },
        [] { ClickControl(Page<TLicenseForm>()->ProceedBtn); }, [&] { seen.push_back(Caption()); },
        Type(VK_RETURN) });
    try {
        install_->Process();
    } catch (...) {
        Application->HandleException(install_);
    }
    EXPECT_THAT(seen, ElementsAre("Bienvenida", "Contrato de licencia", "Instalación terminada"));
    EXPECT_EQ(boxes_.Count(), 0);
}

class RestartPage : public Pages
{
protected:
    void SetUp() override
    {
        Pages::SetUp();
        // The setup program takes the restart page away; these tests show it.
        entry_ = RegisterInstallForm(TRebootForm::Class, nullptr, 0);
    }
    void TearDown() override
    {
        UnregisterInstallForm(entry_);
        Pages::TearDown();
    }
    TBIFEntry *entry_ = nullptr;
};

TEST_F(RestartPage, TheAnswerBecomesTheInstallsReboot)
{
    install_->SetReboot(true);
    std::vector<std::string> seen;
    Script({ [&] {
                auto *page = Page<TRebootForm>();
                seen.push_back(Caption() + " " + std::to_string(page->RG->ItemIndex()));
                seen.push_back(page->RG->Items()->Strings(1));
                page->RG->SetItemIndex(1);
                seen.push_back(install_->Reboot() ? "reboot" : "no reboot");
                page->RG->SetItemIndex(0);
                seen.push_back(install_->Reboot() ? "reboot" : "no reboot");
                page->RG->SetItemIndex(1);
            },
        Type(VK_RETURN) });
    install_->BroadcastEvent(install_, ieBeforeReboot, nullptr);
    EXPECT_THAT(seen,
        ElementsAre("Reiniciar Windows 0", "No, no deseo reiniciar Windows ahora", "no reboot", "reboot"));
    EXPECT_FALSE(install_->Reboot());
}

TEST_F(RestartPage, WhileUpdatingNoIsPreselectedUnlessARestartIsAsked)
{
    struct Case {
        bool reboot;
        int expected;
    };
    for (const Case &c : { Case { false, 1 }, Case { true, 0 } }) {
        install_->SetReboot(c.reboot);
        auto page = std::unique_ptr<TCustomForm>(NewForm<TRebootForm>(Application));
        auto *reboot = static_cast<TRebootForm *>(page.get());
        reboot->SetUpdating(true);
        reboot->RefreshPage();
        EXPECT_EQ(reboot->RG->ItemIndex(), c.expected) << c.reboot;
        EXPECT_EQ(install_->Reboot(), c.reboot) << "preselecting keeps the install's answer";
    }
}

TEST_F(Pages, APageComponentWithoutManagerShowsItsPageAlone)
{
    auto *dialog = static_cast<TGoodInstallationDlg *>(form_->FindComponent("GoodInstallationDlg1"));
    dialog->SetDialogManager(nullptr);
    std::vector<std::string> seen;
    Script({ [&] {
        seen.push_back(ModalForm()->Caption());
        seen.push_back(dialog->Form() == ModalForm() ? "its form" : "another form");
        // Alone, the page keeps its Next button, which ends it with mrOk.
        ClickControl(static_cast<TGoodInstallForm *>(ModalForm())->ProceedBtn);
    } });
    install_->BroadcastEvent(install_, ieGoodInstall, nullptr);
    EXPECT_THAT(seen, ElementsAre("Instalación terminada", "its form"));
    EXPECT_EQ(dialog->Form(), nullptr);
}

TEST_F(Pages, WelcomeAloneShowsAtItsOwnEventAndCancelAborts)
{
    auto *dialog = static_cast<TWelcomeDlg *>(form_->FindComponent("WelcomeDlg1"));
    dialog->SetDialogManager(nullptr);
    std::vector<std::string> journal;
    dialog->OnBeforeExecute = [&](TObject *) { journal.push_back("before"); };
    dialog->OnAfterExecute = [&](TObject *) { journal.push_back("after"); };
    Script({ [&] {
        auto *page = static_cast<TWelcomeForm *>(ModalForm());
        journal.push_back(page->Caption() + (page->BackBtn->Visible() ? " back" : " no back")
            + (page->ProceedBtn->Default() ? " default" : ""));
        ClickControl(page->ProceedBtn);
    } });
    install_->BroadcastEvent(install_, ieWelcome, nullptr);
    EXPECT_THAT(journal, ElementsAre("before", "Bienvenida no back default", "after"));
    EXPECT_EQ(install_->Tag(), 1);

    journal.clear();
    Script({ [] { ClickControl(static_cast<TWelcomeForm *>(ModalForm())->CancelBtn); } });
    EXPECT_THROW(install_->BroadcastEvent(install_, ieWelcome, nullptr), EAIUserAbort);
    EXPECT_THAT(journal, ElementsAre("before"));
    EXPECT_EQ(dialog->Form(), nullptr);

    // An EAbort on the way is a quiet "not shown".
    dialog->OnBeforeExecute = [](TObject *) { throw EAbort("stop"); };
    EXPECT_FALSE(dialog->Execute());
}

// ---- Pictures of the pages ------------------------------------------------------------

class Screenshots : public Pages
{
protected:
    // Shows the one page of the wizard of manager, photographs it and ends it.
    void Photograph(const char *manager, const std::string &file, const std::function<void()> &first = {})
    {
        const std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/wizard/" + file;
        std::filesystem::remove(path);
        int64_t bytes = 0;
        TRect bounds;
        std::vector<std::function<void()>> steps;
        if (first)
            steps.push_back(first);
        steps.push_back([&] {
            bounds = ShownFrame()->BoundsRect();
            bytes = SaveScreenshot(ShownFrame(), path);
            ShownFrame()->SetModalResult(mrCancel);
        });
        EXPECT_EQ(Run(manager, std::move(steps)), "abort");
        EXPECT_GT(bytes, 0) << path;
        EXPECT_EQ(bounds.Width(), 550);
        EXPECT_EQ(bounds.Height(), 395);
    }
};

TEST_F(Screenshots, WelcomeAndLicence)
{
    Photograph("Before", "welcome.png");
    Photograph("Before", "licence.png", [] { ClickControl(Page<TWelcomeForm>()->ProceedBtn); });
}

TEST_F(Screenshots, Readme)
{
    // Only for the picture: the read-me page is never registered in this program.
    auto *welcome = static_cast<TWelcomeDlg *>(form_->FindComponent("WelcomeDlg1"));
    welcome->SetDialogManager(nullptr);
    for (int i = 0; i < InstallFormCount(); ++i)
        if (InstallFormEntry(i)->FormClass == &TLicenseForm::Class)
            InstallFormEntry(i)->FormClass = &TReadmeForm::Class;
    Photograph("Before", "readme.png");
    for (int i = 0; i < InstallFormCount(); ++i)
        if (InstallFormEntry(i)->FormClass == &TReadmeForm::Class)
            InstallFormEntry(i)->FormClass = &TLicenseForm::Class;
}

TEST_F(Screenshots, ClosingPages)
{
    Photograph("Good", "setup_complete.png");
    Photograph("Bad", "setup_incomplete.png");
    TBIFEntry *entry = RegisterInstallForm(TRebootForm::Class, nullptr, 0);
    install_->SetReboot(true);
    Photograph("Restart", "restart.png");
    UnregisterInstallForm(entry);
}

TEST_F(Screenshots, EveryPageCarriesTheThemePicture)
{
    TPicture *theme = install_->DialogThemeBitmap();
    ASSERT_EQ(theme->Width(), 117);
    ASSERT_EQ(theme->Height(), 290);
    int width = 0, height = 0;
    EXPECT_EQ(Run("Before", { [&] {
        width = Page<TWelcomeForm>()->ThemeBitmap->Picture()->Width();
        height = Page<TWelcomeForm>()->ThemeBitmap->Picture()->Height();
        ShownFrame()->SetModalResult(mrCancel);
    } }),
        "abort");
    EXPECT_EQ(width, 117);
    EXPECT_EQ(height, 290);
}

} // namespace
