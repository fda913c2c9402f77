// Dialog managers and the form registries: indexes and their messages, the
// units' start-up, which manager a component finds, the copy forms' life,
// the next-disk event's parameter checks and the placement rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/dialogs/dlgcmp_Welcome.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_Welcome.h"
#include "installer/dialogs/wizardunits.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "tests/installer/dialogs/probe_pages.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

std::vector<std::string> StandAloneEntries()
{
    std::vector<std::string> names;
    for (int i = 0; i < InstallFormCount(); ++i)
        if (!InstallFormEntry(i)->Dialog)
            names.push_back(InstallFormEntry(i)->FormClass->ClassName());
    return names;
}

std::string MessageOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "<none>";
}

using Registries = Wizard;

TEST_F(Registries, UnitStartUpLeavesOnlyTheLicencePageRegisteredAlone)
{
    // The page units register their pages; the component units take those
    // registrations away again; the licence page has no component unit.
    EXPECT_THAT(StandAloneEntries(), ElementsAre("TLicenseForm"));
    InitializeWizardUnits();
    EXPECT_THAT(StandAloneEntries(), ElementsAre("TLicenseForm")) << "a second start-up changes nothing";
}

TEST_F(Registries, EveryWizardClassIsFoundByName)
{
    for (const char *name : { "TDialogManager", "TBaseFormContainer", "TTabControl", "TWelcomeForm", "TWelcomeDlg",
             "TLicenseForm", "TReadmeForm", "TGoodInstallForm", "TGoodInstallationDlg", "TBadInstallForm",
             "TBadInstallationDlg", "TRebootForm" })
        EXPECT_NE(GetClass(name), nullptr) << name;
}

TEST_F(Registries, AComponentRegistersItsPageWhileItExists)
{
    const int before = InstallFormCount();
    auto form = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
                         "  object WelcomeDlg1: TWelcomeDlg\n    Container = Install1\n  end\n"
                         "end\n");
    auto *dialog = static_cast<TWelcomeDlg *>(form->FindComponent("WelcomeDlg1"));
    ASSERT_EQ(InstallFormCount(), before + 1);
    TBIFEntry *entry = InstallFormEntry(before);
    EXPECT_EQ(entry->FormClass, &TWelcomeForm::Class);
    EXPECT_EQ(entry->Dialog, dialog);
    EXPECT_EQ(entry->Value, 0);
    EXPECT_EQ(dialog->Order(), 10);
    form.reset();
    EXPECT_EQ(InstallFormCount(), before);
}

TEST_F(Registries, EntriesOutsideTheRegistryAreRefusedWithTheirIndex)
{
    const int count = InstallFormCount();
    struct Case {
        const char *name;
        int index;
    };
    for (const Case &c :
        { Case { "below", -1 }, Case { "at the count", count }, Case { "far past", count + 7 } })
        EXPECT_EQ(MessageOf([&] { InstallFormEntry(c.index); }),
            "Exception: " + std::to_string(c.index) + " is an invalid index in the BIFList")
            << c.name;
    EXPECT_NO_THROW(InstallFormEntry(count - 1));
}

TEST_F(Registries, IndexMessagesAreTranslatedThenFormatted)
{
    auto form = LoadForm("object SetupForm: TSetupForm\n"
                         "  object MainTranslator: TTranslator\n"
                         "    lgEnglish.Strings.Strings = ('900;%d is an invalid index in the BIFList')\n"
                         "    lgSpanish.Strings.Strings = ('900;El índice %d no existe en la lista')\n"
                         "    TranslateIntoLanguage = klSpanish\n"
                         "  end\n"
                         "end\n");
    EXPECT_EQ(MessageOf([] { InstallFormEntry(-3); }), "Exception: El índice -3 no existe en la lista");
}

TEST_F(Registries, RemovingAnEntryNotListedDoesNothing)
{
    const int count = InstallFormCount();
    TBIFEntry *entry = RegisterInstallForm(TLicenseForm::Class, nullptr, 0);
    EXPECT_EQ(InstallFormEntry(count), entry);
    UnregisterInstallForm(entry);
    UnregisterInstallForm(entry);
    TFormRegistryEntry stranger;
    UnregisterInstallForm(&stranger);
    UnregisterInstallForm(nullptr);
    EXPECT_EQ(InstallFormCount(), count);
    EXPECT_THAT(StandAloneEntries(), ElementsAre("TLicenseForm"));
}

class Managers : public Wizard
{
protected:
    void Make(const std::string &objects)
    {
        form_ = LoadForm("object SetupForm: TSetupForm\n"
                         "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
            + objects + "end\n");
    }
    template <typename T> T *Get(const std::string &name)
    {
        return static_cast<T *>(form_->FindComponent(name));
    }
    TCustomInstall *Install() { return Get<TCustomInstall>("Install1"); }

    std::unique_ptr<TSetupForm> form_;
};

TEST_F(Managers, AComponentFindsTheFirstManagerOfItsKindInTheInstall)
{
    Make("  object Stray: TDialogManager\n  end\n"
         "  object Copying: TDialogManager\n    Container = Install1\n    ManagerType = dmDuringCopyFiles\n  "
         "end\n"
         "  object Before1: TDialogManager\n    Container = Install1\n  end\n"
         "  object Before2: TDialogManager\n    Container = Install1\n  end\n"
         "  object WelcomeDlg1: TWelcomeDlg\n    Container = Install1\n  end\n"
         "  object WelcomeDlg2: TWelcomeDlg\n    Container = Install1\n    DialogManager = Before2\n  end\n");
    EXPECT_EQ(FindDialogManager(dmBeforeInstall), Get<TDialogManager>("Before1"))
        << "the manager outside the install does not count";
    EXPECT_EQ(FindDialogManager(dmDuringCopyFiles), Get<TDialogManager>("Copying"));
    EXPECT_EQ(FindDialogManager(dmReboot), nullptr);
    EXPECT_EQ(Get<TWelcomeDlg>("WelcomeDlg1")->DialogManager(), Get<TDialogManager>("Before1"));
    EXPECT_EQ(Get<TWelcomeDlg>("WelcomeDlg2")->DialogManager(), Get<TDialogManager>("Before2"));
    // Only a manager named by a resource or set later is told of the component.
    EXPECT_EQ(Get<TDialogManager>("Before1")->DialogCount(), 0);
    EXPECT_EQ(Get<TDialogManager>("Before2")->DialogCount(), 1);
}

TEST_F(Managers, ComponentsAndManagersForgetEachOtherWhenOneGoes)
{
    Make("  object Before1: TDialogManager\n    Container = Install1\n  end\n"
         "  object Before2: TDialogManager\n    Container = Install1\n  end\n"
         "  object WelcomeDlg1: TWelcomeDlg\n    Container = Install1\n  end\n");
    auto *dialog = Get<TWelcomeDlg>("WelcomeDlg1");
    auto *one = Get<TDialogManager>("Before1");
    auto *two = Get<TDialogManager>("Before2");
    dialog->SetDialogManager(two);
    dialog->SetDialogManager(two);
    EXPECT_EQ(two->DialogCount(), 1) << "setting the manager it has does nothing";
    dialog->SetDialogManager(one);
    EXPECT_EQ(one->DialogCount(), 1);
    EXPECT_EQ(two->DialogCount(), 0);
    delete one;
    EXPECT_EQ(dialog->DialogManager(), nullptr);
    dialog->SetDialogManager(two);
    delete dialog;
    EXPECT_EQ(two->DialogCount(), 0);
    EXPECT_EQ(MessageOf([&] { two->AddDialog(nullptr); }),
        "Exception: Cannot add a NIL Dialog to the Dialog Manager Before2");
}

TEST_F(Managers, WithoutABeforeInstallManagerTheWizardEventShowsNothing)
{
    Make("  object WelcomeDlg1: TWelcomeDlg\n    Container = Install1\n  end\n");
    EXPECT_EQ(Get<TWelcomeDlg>("WelcomeDlg1")->DialogManager(), nullptr);
    Script({ [] { ModalForm()->SetModalResult(mrCancel); } }, false);
    EXPECT_NO_THROW(Install()->BroadcastEvent(Install(), ieBeforeInstallWizard, nullptr));
    EXPECT_EQ(boxes_.Count(), 0);
}

class CopyForms : public Managers
{
protected:
    void SetUp() override
    {
        Managers::SetUp();
        Make("  object Copying: TDialogManager\n    Container = Install1\n    ManagerType = "
             "dmDuringCopyFiles\n  end\n"
             "  object CopyDlg1: TProbeCopyDlg\n    Container = Install1\n  end\n");
        PageJournal().clear();
    }
    void Status(const std::string &file, int percent)
    {
        TFileStatusParameter status;
        status.FileName = file;
        status.TotalPercent = percent;
        Install()->BroadcastEvent(Install(), ieFileStatus, &status);
    }
    TDialogManager *Manager() { return Get<TDialogManager>("Copying"); }
};

TEST_F(CopyForms, OpenOnTheFirstStatusAndCloseWhenCopyingEnds)
{
    const int live = LiveCopyForms();
    Status("TABULO.EXE", 10);
    ASSERT_EQ(Manager()->DuringCopyFormCount(), 1);
    TBaseDuringCopyForm *first = Manager()->DuringCopyForms(0);
    EXPECT_TRUE(first->Visible());
    EXPECT_FALSE(first->IsModal());
    EXPECT_EQ(first->Owner(), static_cast<TComponent *>(Application));
    EXPECT_EQ(Get<TProbeCopyDlg>("CopyDlg1")->Form(), first);
    // 474 x 146, centred, its bottom 30 pixels and a caption above the screen's.
    EXPECT_EQ(first->BoundsRect(), Bounds(275, 768 - 19 - 146 - 30, 474, 146));
    TDownloadStatusParameter download;
    download.FileName = "DATOS.DAT";
    Install()->BroadcastEvent(Install(), ieDownloadStatus, &download);
    Status("DATOS.DAT", 100);
    EXPECT_EQ(Manager()->DuringCopyFormCount(), 1) << "one set for the whole copy";
    Install()->BroadcastEvent(Install(), ieOperationEnded, nullptr);
    EXPECT_EQ(Manager()->DuringCopyFormCount(), 0);
    EXPECT_FALSE(first->Visible());
    EXPECT_EQ(LiveCopyForms(), live + 1) << "closed forms stay with the application";
    Status("OTRO.DLL", 5);
    ASSERT_EQ(Manager()->DuringCopyFormCount(), 1);
    EXPECT_NE(Manager()->DuringCopyForms(0), first) << "a later status opens a fresh set";
    EXPECT_EQ(LiveCopyForms(), live + 2);
    EXPECT_THAT(PageJournal(),
        ElementsAre("file TABULO.EXE 10", "download DATOS.DAT", "file DATOS.DAT 100", "file OTRO.DLL 5"));
    Install()->BroadcastEvent(Install(), ieOperationEnded, nullptr);
}

TEST_F(CopyForms, StatusEventsWithoutTheirParameterAreRefusedByName)
{
    TMessageParameter wrong("x");
    struct Case {
        int code;
        TObject *po;
        const char *message;
    };
    for (const Case &c : {
             Case { ieFileStatus, nullptr, "IException: Copying got a nil PO parameter" },
             Case { ieFileStatus, &wrong,
                 "IException: The PO object passed to Copying is not a TFileStatusParameter object" },
             Case { ieDownloadStatus, nullptr, "IException: Copying got a nil PO parameter" },
             Case { ieDownloadStatus, &wrong,
                 "IException: The PO object passed to Copying is not a TDownloadStatusParameter object" },
         })
        EXPECT_EQ(MessageOf([&] { Manager()->DoInstallEvent(Install(), c.code, c.po); }), c.message)
            << c.code;
    EXPECT_EQ(Manager()->DuringCopyFormCount(), 0);
}

class NextDisk : public Managers
{
protected:
    void MakeWithPrompt(bool prompt)
    {
        Make(std::string(
                 "  object Disks: TDialogManager\n    Container = Install1\n    ManagerType = dmChangeDisk\n "
                 " end\n"
                 "  object File1: TInstallFile\n    Container = Install1\n    FileName = 'A.TXT'\n  end\n")
            + (prompt ? "  object DiskDlg1: TProbeDiskDlg\n    Container = Install1\n  end\n" : ""));
    }
    TCustomInstallFile *File() { return Get<TCustomInstallFile>("File1"); }
};

TEST_F(NextDisk, ParameterChecksInTheirOrderWithTheirTexts)
{
    MakeWithPrompt(true);
    TDiskParameter disk;
    TMessageParameter stranger;
    TParamList none;
    TParamList one(File(), nullptr);
    one.Remove(nullptr);
    TParamList badFirst(&stranger, &disk);
    TParamList badSecond(File(), &stranger);
    struct Case {
        const char *name;
        TObject *po;
        const char *message;
    };
    for (const Case &c : {
             Case { "nil", nullptr,
                 "Exception: The ParameterObject is Nil in the TDialogManager. Cannot show the change disk "
                 "form" },
             Case { "not a list", &stranger, "Exception: TChangeDiskDlg--PO is not a TList object" },
             Case { "empty", &none, "Exception: TChangeDiskDlg--Not engouh parameters for status event" },
             Case { "one item", &one, "Exception: TChangeDiskDlg--Not engouh parameters for status event" },
             Case { "first not a file", &badFirst, "Exception: TChangeDiskDlg says bad first parameter" },
             Case { "second not a disk", &badSecond, "Exception: TChangeDiskDlg says bad second parameter" },
         })
        EXPECT_EQ(MessageOf([&] { Install()->BroadcastEvent(Install(), ieNewDisk, c.po); }), c.message)
            << c.name;
    EXPECT_EQ(File()->Tag(), 0);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
}

TEST_F(NextDisk, ThePromptAnswersTheRequestAndCancelAborts)
{
    MakeWithPrompt(true);
    TDiskParameter disk;
    disk.DiskNumber = 2;
    TParamList request(File(), &disk);
    TDiskParameter *seen = nullptr;
    TDialogManager *current = nullptr;
    Script({ [&] {
        auto *prompt = static_cast<TProbeDiskForm *>(ModalForm());
        seen = prompt->DiskParameter();
        current = CurrentDialogManager();
        prompt->SetModalResult(mrOk);
    } });
    Install()->BroadcastEvent(Install(), ieNewDisk, &request);
    EXPECT_EQ(File()->Tag(), 1) << "the request was answered";
    EXPECT_EQ(seen, &disk);
    EXPECT_EQ(current, Get<TDialogManager>("Disks"));
    EXPECT_EQ(CurrentDialogManager(), nullptr);

    Script({ [] { static_cast<TProbeDiskForm *>(ModalForm())->Cancel(); } });
    EXPECT_THROW(Install()->BroadcastEvent(Install(), ieNewDisk, &request), EAIUserAbort);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
}

TEST_F(NextDisk, WithoutAPromptTheEngineAsksItself)
{
    MakeWithPrompt(false);
    TDiskParameter disk;
    TParamList request(File(), &disk);
    EXPECT_NO_THROW(Install()->BroadcastEvent(Install(), ieNewDisk, &request));
    EXPECT_EQ(File()->Tag(), 0);
}

struct Placement {
    const char *name;
    TKelvaraDialogPosition position;
    int left, top, width, height;
    int x, y;
};

class PlacementRule : public ::testing::TestWithParam<Placement>
{
};

TEST_P(PlacementRule, OnA1024By768Screen)
{
    FixedScreen screen(1024, 768);
    const Placement &p = GetParam();
    const TPoint place = KelvaraDialogPlace(p.position, p.left, p.top, p.width, p.height);
    EXPECT_EQ(place.X, p.x);
    EXPECT_EQ(place.Y, p.y);
}

// 550 x 395 centres at 237, 186 (186.5 rounds to the even 186); the bottom
// row keeps the caption height (19) free.
INSTANTIATE_TEST_SUITE_P(Positions, PlacementRule,
    ::testing::Values(Placement { "CenterLeft", kdpCenterLeft, 0, 0, 550, 395, 0, 186 },
        Placement { "Center", kdpCenter, 0, 0, 550, 395, 237, 186 },
        Placement { "CenterRight", kdpCenterRight, 0, 0, 550, 395, 474, 186 },
        Placement { "BottomLeft", kdpBottomLeft, 0, 0, 550, 395, 0, 354 },
        Placement { "BottomCenter", kdpBottomCenter, 0, 0, 550, 395, 237, 354 },
        Placement { "BottomRight", kdpBottomRight, 0, 0, 550, 395, 474, 354 },
        Placement { "TopLeft", kdpTopLeft, 0, 0, 550, 395, 0, 0 },
        Placement { "TopCenter", kdpTopCenter, 0, 0, 550, 395, 237, 0 },
        Placement { "TopRight", kdpTopRight, 0, 0, 550, 395, 474, 0 },
        // Offsets move away from a right or bottom edge, along the others.
        Placement { "CenterLeftMoved", kdpCenterLeft, 10, 20, 550, 395, 10, 206 },
        Placement { "CenterMoved", kdpCenter, -7, -6, 550, 395, 230, 180 },
        Placement { "CenterRightMoved", kdpCenterRight, 10, 20, 550, 395, 464, 206 },
        Placement { "BottomRightMoved", kdpBottomRight, 10, 20, 550, 395, 464, 334 },
        Placement { "TopCenterMoved", kdpTopCenter, 10, 20, 550, 395, 247, 20 },
        // Halves round to even: 236.5 to 236, 237.5 to 238, 185.5 to 186.
        Placement { "HalfDownToEven", kdpCenter, 0, 0, 551, 395, 236, 186 },
        Placement { "HalfUpToEven", kdpCenter, 0, 0, 549, 397, 238, 186 }),
    [](const ::testing::TestParamInfo<Placement> &info) { return info.param.name; });

} // namespace
