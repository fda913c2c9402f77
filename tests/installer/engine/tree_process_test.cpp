#include <gtest/gtest.h>

#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "tree_support.h"

using namespace tree_test;

namespace
{

using Lines = std::vector<std::string>;

// An install tree: Group (1000) holds File (2000) and the dialog Pages
// (9000); the dialog Wizard sits beside Group at the top.
class TreeProcess : public ::testing::Test
{
protected:
    TTreeRoot form;
    TTreeGroup *install = Make<TTreeGroup>("Install");
    TTreeGroup *group = Make<TTreeGroup>("Group");
    TTreeFile *file = Make<TTreeFile>("File");
    TTreeDialog *pages = Make<TTreeDialog>("Pages");
    TTreeDialog *wizard = Make<TTreeDialog>("Wizard");

    void SetUp() override
    {
        EnsureStandardSpecifiers(nullptr, &form, false);
        group->SetContainer(install);
        wizard->SetContainer(install);
        file->SetContainer(group);
        pages->SetContainer(group);
        for (TTreeObject *o : std::initializer_list<TTreeObject *> { install, group, file, pages, wizard })
            o->OnAfterProcess = TInstallContainerNotifyEvent(
                [](TInstallContainer *c) { Journal().push_back(c->Name() + " after"); });
        Journal().clear();
    }
    void TearDown() override { SetCurrentInstall(nullptr, nullptr); }

    template <typename T> T *Make(const std::string &name)
    {
        auto *object = new T(&form);
        object->SetName(name);
        return object;
    }
};

TEST_F(TreeProcess, WalksTheTreeAndTellsEachLevelsDialogs)
{
    install->Process();
    EXPECT_EQ(Journal(),
        (Lines { "Wizard -990", "Wizard -999", "Install install", // the install's own dialogs
            "Pages -990", "Pages -999", "Group install", // the group's
            "File install", "File after", // the file has no dialogs
            "Group after", "Pages -989", //
            "Install after", "Wizard -989" }));
    EXPECT_TRUE(install->Processed());
    EXPECT_TRUE(file->Processed());
    EXPECT_FALSE(wizard->Processed()) << "dialogs are not installable";
}

TEST_F(TreeProcess, ObjectOfAnotherInstallTypeHearsTheStartOnly)
{
    group->SetInstallTypes({ itFull });
    install->SetCurrentInstallType(itCompact);
    EXPECT_EQ(file->CurrentInstallType(), itCompact) << "set on the whole subtree";
    group->Process();
    EXPECT_EQ(Journal(), (Lines { "Pages -990", "Pages -999" }));
    EXPECT_FALSE(group->Processed());
}

TEST_F(TreeProcess, ExcludedObjectIsNotInstalled)
{
    SetCurrentInstall(install, nullptr);
    group->SetInclude(false);
    group->Process();
    EXPECT_EQ(Journal(), (Lines { "Pages -990" }));
    EXPECT_FALSE(group->Processed());
}

TEST_F(TreeProcess, InstalledObjectRecordsItsUninstallInformation)
{
    TInstallInformation information;
    information.SetProductName("ORVEX Tabulo");
    SetCurrentInstall(install, &information);
    file->Process();
    EXPECT_EQ(Journal(),
        (Lines { "File install",
            "File uninstall \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVEX Tabulo",
            "File after" }));

    SetCurrentInstall(nullptr, nullptr);
    Journal().clear();
    file->Process();
    EXPECT_EQ(Journal(), (Lines { "File install", "File after" })) << "no install, no record";
}

TEST_F(TreeProcess, AbortSkipsAnObjectQuietlyOtherErrorsEndTheRun)
{
    group->OnBeforeProcess = TInstallContainerNotifyEvent([](TInstallContainer *) { Abort(); });
    install->Process();
    EXPECT_EQ(Journal(),
        (Lines { "Wizard -990", "Wizard -999", "Install install", "Install after", "Wizard -989" }));

    Journal().clear();
    group->OnBeforeProcess
        = TInstallContainerNotifyEvent([](TInstallContainer *) { throw Exception("disk on fire"); });
    try {
        install->Process();
        FAIL() << "the error was swallowed";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "disk on fire");
    }
    EXPECT_EQ(Journal(), (Lines { "Wizard -990", "Wizard -999", "Install install" }));
}

TEST_F(TreeProcess, AbortInsideAChildLetsTheSiblingsInstall)
{
    auto *second = Make<TTreeFile>("Second");
    second->SetContainer(group);
    second->OnAfterProcess = group->OnAfterProcess;
    file->OnAfterProcess = TInstallContainerNotifyEvent([](TInstallContainer *) { Abort(); });
    group->Process();
    EXPECT_EQ(Journal(),
        (Lines { "Pages -990", "Pages -999", "Group install", "File install", "Second install",
            "Second after", "Group after", "Pages -989" }));
}

TEST_F(TreeProcess, BroadcastReachesDirectDialogsOrTheTargetOnly)
{
    auto *nested = Make<TTreeDialog>("Nested");
    nested->SetContainer(pages);
    group->BroadcastEvent(group, ieGoodInstall, nullptr);
    EXPECT_EQ(Journal(), (Lines { "Pages -995" })) << "not the file, not the nested dialog, not upwards";

    Journal().clear();
    group->SetEventTarget(file);
    group->BroadcastEvent(group, ieGoodInstall, nullptr);
    EXPECT_EQ(Journal(), (Lines { "File -995" })) << "the target, though no dialog; no other child";

    Journal().clear();
    group->SetEventTarget(wizard); // not a child of the group: nobody hears
    group->BroadcastEvent(group, ieGoodInstall, nullptr);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(TreeProcess, StatusTextsAreBroadcast)
{
    group->ShowStatusMessage("Reading file information...");
    EXPECT_EQ(pages->LastMessage, "Reading file information...");
    group->ClearStatusMessage();
    EXPECT_EQ(pages->LastParameter, nullptr);
    EXPECT_EQ(Journal(), (Lines { "Pages -974", "Pages -973" }));
}

TEST_F(TreeProcess, AReceiverThatFreesASiblingDoesNotBreakTheBroadcast)
{
    auto *second = Make<TTreeDialog>("Second");
    auto *third = Make<TTreeDialog>("Third");
    second->SetContainer(group);
    third->SetContainer(group);
    pages->WhenHeard = [&](int) { delete second; };
    group->BroadcastEvent(group, ieClearStatus, nullptr);
    EXPECT_EQ(Journal(), (Lines { "Pages -973", "Third -973" }));
}

} // namespace
