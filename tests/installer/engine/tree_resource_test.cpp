#include <gtest/gtest.h>

#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "platform/classes/filer.h"
#include "tree_support.h"

using namespace tree_test;

namespace
{

using Lines = std::vector<std::string>;

const char *const TreeResource = R"(object Setup: TTreeRoot
  object Group1: TTreeGroup
    InstallTypes = [itFull, itCompact]
    OnBeforeProcess = GroupBeforeProcess
  end
  object Wizard: TTreeDialog
    Container = Group1
    Order = 10
  end
  object File1: TTreeFile
    Container = Group1
    Include = False
    Order = 1
  end
  object File2: TTreeFile
    Container = Group1
    DestDir = '\Tabulo'
    Order = 0
  end
end
)";

TEST(TreeResource, BuildsTheTreeFromAFormResource)
{
    TTreeRoot form;
    ReadComponentText(&form, TreeResource, "setup.dfm");
    auto *group = static_cast<TTreeGroup *>(form.FindComponent("Group1"));
    ASSERT_NE(group, nullptr);
    // Streamed orders stay as they were streamed.
    EXPECT_EQ(Children(*group), "File2:0 File1:1 Wizard:10");
    EXPECT_EQ(group->InstallTypes(), (TInstallTypeSet { itFull, itCompact }));
    auto *file1 = static_cast<TTreeFile *>(form.FindComponent("File1"));
    auto *file2 = static_cast<TTreeFile *>(form.FindComponent("File2"));
    EXPECT_FALSE(file1->Include());
    EXPECT_EQ(file2->DestDir(), "\\Tabulo");
    EXPECT_EQ(file2->GetDestPath(), "\\Tabulo");
    EXPECT_EQ(file1->Container(), group);

    Journal().clear();
    group->SetCurrentInstallType(itFull);
    group->Process();
    EXPECT_EQ(Journal(),
        (Lines { "Group1 before", "Wizard -990", "Wizard -999", "Group1 install", "File2 install",
            "Wizard -989" }))
        << "File1 is excluded";
}

TEST(TreeResource, LoadingPlacesByTypeAndStreamedOrderThenAChangeRenumbers)
{
    TTreeRoot form;
    EnsureStandardSpecifiers(nullptr, &form, false);
    ReadComponentText(&form, R"(object Setup: TTreeRoot
  object Install: TTreeGroup
  end
  object File: TTreeFile
    Container = Install
  end
  object Group: TTreeGroup
    Container = Install
  end
  object Dialog20: TTreeDialog
    Container = Install
    Order = 20
  end
  object Dialog10: TTreeDialog
    Container = Install
    Order = 10
  end
end
)",
        "order.dfm");
    auto *install = static_cast<TTreeGroup *>(form.FindComponent("Install"));
    EXPECT_EQ(Children(*install), "Group:-1 File:-1 Dialog10:10 Dialog20:20");
    auto *later = new TTreeFile(&form);
    later->SetName("Later");
    later->SetContainer(install);
    EXPECT_EQ(Children(*install), "Group:0 File:0 Later:1 Dialog10:0 Dialog20:1");
}

TEST(TreeResource, ARingInTheResourceIsAnErrorAndNothingStays)
{
    TTreeRoot form;
    const int listed = InstallContainerList()->Count();
    try {
        ReadComponentText(&form, R"(object Setup: TTreeRoot
  object A: TTreeGroup
    Container = B
  end
  object B: TTreeGroup
    Container = A
  end
end
)",
            "ring.dfm");
        FAIL() << "the ring was read";
    } catch (const EFormResourceError &e) {
        EXPECT_EQ(e.Fault(), "Circular reference");
        EXPECT_EQ(e.Line(), 6);
    }
    EXPECT_EQ(form.ComponentCount(), 0);
    EXPECT_EQ(InstallContainerList()->Count(), listed);
}

// While designing, a new object joins the install at once; the resource
// keeps that container only when it names one.
TEST(TreeResource, DefaultContainerStaysOnlyWhenTheResourceNamesIt)
{
    TTreeRoot form;
    form.Design();
    EnsureStandardSpecifiers(nullptr, &form, false);
    auto *install = new TTreeGroup(&form);
    install->SetName("Install");
    SetCurrentInstall(install, nullptr);
    ReadComponentText(&form, R"(object Setup: TTreeRoot
  object Group1: TTreeGroup
  end
  object Named: TTreeFile
    Container = Install
  end
  object Elsewhere: TTreeFile
    Container = Group1
  end
  object Unnamed: TTreeFile
  end
end
)",
        "design.dfm");
    SetCurrentInstall(nullptr, nullptr);
    auto *unnamed = static_cast<TTreeFile *>(form.FindComponent("Unnamed"));
    auto *named = static_cast<TTreeFile *>(form.FindComponent("Named"));
    auto *elsewhere = static_cast<TTreeFile *>(form.FindComponent("Elsewhere"));
    auto *group = static_cast<TTreeGroup *>(form.FindComponent("Group1"));
    EXPECT_EQ(named->Container(), install);
    EXPECT_EQ(elsewhere->Container(), group);
    EXPECT_EQ(unnamed->Container(), nullptr);
    EXPECT_EQ(group->Container(), nullptr);
    ASSERT_EQ(install->ChildCount(), 1);
    EXPECT_EQ(install->Child(0), named);
    ASSERT_EQ(group->ChildCount(), 1);
    EXPECT_EQ(group->Child(0), elsewhere);
    // The default specifier went with the default, as none was streamed.
    for (TTreeFile *file : { named, elsewhere, unnamed }) {
        EXPECT_TRUE(file->DestDirTypeDefaulted());
        EXPECT_EQ(file->DestDirType(), nullptr) << file->Name();
    }
}

} // namespace
