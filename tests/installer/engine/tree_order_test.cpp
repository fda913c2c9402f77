#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "tree_support.h"

using namespace tree_test;

namespace
{

// Install objects owned by one form, as a resource makes them.
class InstallTree : public ::testing::Test
{
protected:
    TTreeRoot form;
    void SetUp() override { EnsureStandardSpecifiers(nullptr, &form, false); }

    template <typename T> T *Make(const std::string &name, int order = -1)
    {
        auto *object = new T(&form);
        object->SetName(name);
        object->TInstallContainer::SetOrder(order);
        return object;
    }
};

TEST_F(InstallTree, OutsideLoadingEachAdditionRenumbers)
{
    auto *install = Make<TTreeGroup>("Install");
    Make<TTreeDialog>("Dialog20", 20)->SetContainer(install);
    Make<TTreeDialog>("Dialog10", 10)->SetContainer(install);
    EXPECT_EQ(Children(*install), "Dialog20:0 Dialog10:1") << "20 became 0 before 10 came";
}

TEST_F(InstallTree, UnplacedChildGoesAfterItsKind)
{
    auto *install = Make<TTreeGroup>("Install");
    Make<TTreeFile>("A", 0)->SetContainer(install);
    Make<TTreeDialog>("Dialog", 0)->SetContainer(install);
    Make<TTreeFile>("B", 1)->SetContainer(install);
    Make<TTreeFile>("C")->SetContainer(install);
    EXPECT_EQ(Children(*install), "A:0 B:1 C:2 Dialog:0");

    // An equal order goes in front of the child that holds it.
    Make<TTreeFile>("D", 1)->SetContainer(install);
    EXPECT_EQ(Children(*install), "A:0 D:1 B:2 C:3 Dialog:0");
}

TEST_F(InstallTree, SettingOrderMovesTheObject)
{
    auto *install = Make<TTreeGroup>("Install");
    auto *a = Make<TTreeFile>("A");
    a->SetContainer(install);
    Make<TTreeFile>("B")->SetContainer(install);
    Make<TTreeFile>("C")->SetContainer(install);
    a->SetOrder(2);
    EXPECT_EQ(Children(*install), "B:0 C:1 A:2");
    a->SetOrder(0);
    EXPECT_EQ(Children(*install), "A:0 B:1 C:2");
}

TEST_F(InstallTree, MovingToAnotherContainerLeavesTheOldOne)
{
    auto *first = Make<TTreeGroup>("First");
    auto *second = Make<TTreeGroup>("Second");
    auto *a = Make<TTreeFile>("A");
    auto *b = Make<TTreeFile>("B");
    a->SetContainer(first);
    b->SetContainer(first);
    a->SetContainer(second);
    EXPECT_EQ(Children(*first), "B:0");
    EXPECT_EQ(Children(*second), "A:0");
    EXPECT_EQ(a->Container(), second);
    a->SetContainer(nullptr);
    EXPECT_EQ(second->ChildCount(), 0);
    EXPECT_EQ(a->Container(), nullptr);
}

TEST_F(InstallTree, ARingOfContainersIsRefused)
{
    auto *a = Make<TTreeGroup>("A");
    auto *b = Make<TTreeGroup>("B");
    auto *c = Make<TTreeGroup>("C");
    b->SetContainer(a);
    c->SetContainer(b);
    struct Case {
        const char *name;
        TTreeObject *object;
        TTreeObject *container;
    } cases[] = {
        { "its own container", a, a },
        { "its container's container", a, b },
        { "below its grandchild", a, c },
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        try {
            row.object->SetContainer(row.container);
            FAIL() << "accepted";
        } catch (const IEInstallContainer &e) {
            EXPECT_EQ(e.Message(), "Circular reference");
        }
    }
    EXPECT_EQ(a->Container(), nullptr);
    EXPECT_EQ(Children(*a), "B:0");
    EXPECT_EQ(Children(*b), "C:0");
    EXPECT_EQ(c->ChildCount(), 0);
    a->SetCurrentInstallType(itCompact); // walks the tree: ends because no ring was built
    EXPECT_EQ(c->CurrentInstallType(), itCompact);
}

TEST_F(InstallTree, MistakesAreNamed)
{
    auto *group = Make<TTreeGroup>("Group1");
    Make<TTreeFile>("File1")->SetContainer(group);
    struct Case {
        const char *name;
        std::function<void()> call;
        const char *message;
    } cases[] = {
        { "blank child", [&] { group->AddChild(nullptr); },
            "Cannot add a blank base helper component to Group1" },
        { "index past the end", [&] { group->Child(1); },
            "Tried to reference a helper component in the following component: Group1. "
            "The following index was used: 1" },
        { "negative index", [&] { group->Child(-1); },
            "Tried to reference a helper component in the following component: Group1. "
            "The following index was used: -1" },
        { "no such child of a class", [&] { group->Comp(0, TTreeDialog::Class); },
            "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer "
            "component. The parameters are probably reversed. Index: 0, ComponentType: TTreeDialog" },
        { "container without a type", [&] { TInstallContainer(nullptr).RegisteredType(); },
            "Class must declare a registered type" },
        { "blank container entry", [&] { InstallContainerList()->Add(nullptr); },
            "Cannot add a blank entry to the TInstallContainerList object" },
        { "blank file entry", [&] { InstallFileList()->Add(nullptr); },
            "Cannot add a blank entry to the TCustomInstallFileList object" },
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        try {
            row.call();
            FAIL() << "no error";
        } catch (const IException &e) {
            EXPECT_EQ(e.Message(), row.message);
        }
    }
    EXPECT_THROW(InstallContainerList()->Items(InstallContainerList()->Count()), EListError);
}

TEST_F(InstallTree, ChildrenByClass)
{
    auto *install = Make<TTreeGroup>("Install");
    Make<TTreeFile>("F1")->SetContainer(install);
    Make<TTreeGroup>("G1")->SetContainer(install);
    Make<TTreeFile>("F2")->SetContainer(install);
    Make<TTreeDialog>("D1")->SetContainer(install);
    Make<TTreeGroup>("G2")->SetContainer(install);
    EXPECT_EQ(install->CompCount(TTreeFile::Class), 2);
    EXPECT_EQ(install->CompCount(TTreeObject::Class), 5);
    EXPECT_EQ(install->Comp(1, TTreeFile::Class)->Name(), "F2");
    EXPECT_EQ(install->FileContainerCount(), 2);
    EXPECT_EQ(install->FileContainers(1)->Name(), "G2");

    install->FreeChildren(TTreeFile::Class);
    EXPECT_EQ(Children(*install), "G1:0 G2:1 D1:0");
    EXPECT_EQ(form.FindComponent("F1"), nullptr) << "freed, not only removed";
}

TEST_F(InstallTree, DestroyedObjectsLeaveTheTree)
{
    auto *install = Make<TTreeGroup>("Install");
    auto *group = Make<TTreeGroup>("Group");
    auto *file = Make<TTreeFile>("File");
    auto *dialog = Make<TTreeDialog>("Dialog");
    group->SetContainer(install);
    file->SetContainer(group);
    dialog->SetContainer(install);
    install->SetEventTarget(dialog);
    const int listed = InstallContainerList()->Count();

    delete dialog;
    EXPECT_EQ(install->EventTarget(), nullptr);
    EXPECT_EQ(Children(*install), "Group:0");
    delete group;
    EXPECT_EQ(install->ChildCount(), 0);
    EXPECT_EQ(file->Container(), nullptr);
    EXPECT_EQ(InstallContainerList()->Count(), listed - 2);
    EXPECT_EQ(InstallContainerList()->IndexOf(group), -1);
    EXPECT_GE(InstallContainerList()->IndexOf(file), 0);
}

TEST_F(InstallTree, ContainerGivesItsFolderToItsObjects)
{
    auto *group = Make<TTreeGroup>("Group");
    auto *file = Make<TTreeFile>("File");
    group->SetDestDir("C:\\ORVEX\\Tabulo\\");
    file->SetDestDir("\\old");
    file->SetContainer(group);
    ASSERT_NE(file->DestDirType(), nullptr);
    EXPECT_EQ(file->DestDirType()->Name(), "psContainerDestDir");
    EXPECT_EQ(file->DestDir(), "");
    EXPECT_EQ(file->GetDestPath(), "C:\\ORVEX\\Tabulo") << "no trailing backslash";
    file->SetDestDir("\\bin");
    EXPECT_EQ(file->GetDestPath(), "C:\\ORVEX\\Tabulo\\bin");

    file->SetContainer(nullptr);
    EXPECT_EQ(file->DestDirType(), nullptr) << "the container's folder went with the container";
    EXPECT_EQ(file->GetDestPath(), "\\bin");

    file->SetContainer(group);
    delete file->DestDirType();
    EXPECT_EQ(file->DestDirType(), nullptr) << "a freed specifier is forgotten";
}

TEST_F(InstallTree, ContainerNeedsItsSpecifierOnTheForm)
{
    auto *group = Make<TTreeGroup>("Group");
    auto *file = Make<TTreeFile>("File");
    delete form.FindComponent("psContainerDestDir");
    EXPECT_THROW(file->SetContainer(group), IEPathSpecifier);
    EXPECT_EQ(file->Container(), nullptr) << "refused before the tree changed";
    EXPECT_EQ(group->ChildCount(), 0);
}

struct InstallTypesCase {
    const char *name;
    TInstallTypeSet before;
    TInstallTypeSet value;
    TInstallTypeSet after;
};

class SetInstallTypes : public ::testing::TestWithParam<InstallTypesCase>
{
};

TEST_P(SetInstallTypes, KeepsAlwaysApartFromTheOthers)
{
    TTreeFile file(nullptr);
    file.SetInstallTypes(GetParam().before);
    ASSERT_EQ(file.InstallTypes(), GetParam().before);
    file.SetInstallTypes(GetParam().value);
    EXPECT_EQ(file.InstallTypes(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Rules, SetInstallTypes,
    ::testing::Values(InstallTypesCase { "EmptyBecomesAlways", { itFull }, {}, { itAlways } },
        InstallTypesCase { "AddingAlwaysGivesAlwaysAlone", { itFull }, { itAlways, itFull }, { itAlways } },
        InstallTypesCase { "AnotherTypeDropsAlways", { itAlways }, { itAlways, itFull }, { itFull } },
        InstallTypesCase { "OthersStayAsGiven", { itAlways }, { itFull, itCompact }, { itFull, itCompact } },
        InstallTypesCase { "AlwaysStays", { itAlways }, { itAlways }, { itAlways } }),
    [](const auto &info) { return std::string(info.param.name); });

struct ShouldInstallCase {
    const char *name;
    bool include;
    TInstallType current;
    TInstallTypeSet types;
    bool expected;
};

class ShouldInstall : public ::testing::TestWithParam<ShouldInstallCase>
{
};

TEST_P(ShouldInstall, FollowsIncludeAndTheChosenType)
{
    TTreeFile file(nullptr);
    file.SetInstallTypes(GetParam().types);
    file.SetCurrentInstallType(GetParam().current);
    file.SetInclude(GetParam().include);
    EXPECT_EQ(file.ShouldInstall(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ShouldInstall,
    ::testing::Values(ShouldInstallCase { "Excluded", false, itAlways, { itAlways }, false },
        ShouldInstallCase { "AlwaysChosen", true, itAlways, { itFull }, true },
        ShouldInstallCase { "CustomChosen", true, itCustom, { itFull }, true },
        ShouldInstallCase { "AlwaysInstalled", true, itCompact, { itAlways }, true },
        ShouldInstallCase { "TypeHeld", true, itFull, { itFull, itCompact }, true },
        ShouldInstallCase { "TypeNotHeld", true, itCompact, { itFull }, false }),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
