// Components: ownership, names, notifications, the class registry,
// persistent assignment and collections.
#include <gtest/gtest.h>

#include "testcomponents.h"

namespace
{

class ComponentTest : public ::testing::Test
{
protected:
    void SetUp() override { Journal.clear(); }
    void TearDown() override { EXPECT_EQ(LiveComponents, 0) << "a test component leaked"; }
};

TTestControl *Named(TComponent *owner, const std::string &name)
{
    auto *c = new TTestControl(owner);
    c->SetName(name);
    return c;
}

TEST_F(ComponentTest, OwnerFreesItsComponentsLastFirst)
{
    auto owner = std::make_unique<TTestForm>();
    Named(owner.get(), "A");
    Named(owner.get(), "B");
    Named(owner.get(), "C");
    ASSERT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(owner->Components(1)->Name(), "B");
    EXPECT_EQ(owner->Components(2)->ComponentIndex(), 2);
    owner.reset();
    EXPECT_EQ(Journal, (std::vector<std::string> { "~C", "~B", "~A" }));
}

TEST_F(ComponentTest, DestructorMayFreeASiblingEitherWay)
{
    {
        // The killer goes first and frees its older sibling itself.
        TTestForm owner;
        TTestControl *victim = Named(&owner, "Victim");
        auto *killer = new TTestKiller(&owner);
        killer->victim = victim;
    }
    EXPECT_EQ(Journal, (std::vector<std::string> { "~Victim" }));
    Journal.clear();
    {
        // The victim goes first; the killer hears of it and does not free it again.
        TTestForm owner;
        auto *killer = new TTestKiller(&owner);
        killer->victim = Named(&owner, "Victim");
    }
    EXPECT_EQ(Journal, (std::vector<std::string> { "~Victim" }));
}

TEST_F(ComponentTest, RemovingAComponentTellsOwnerAndSiblings)
{
    TTestForm owner;
    auto *watcher = new TTestWatcher(&owner);
    TTestControl *a = Named(&owner, "A");
    delete a;
    EXPECT_EQ(watcher->heard, (std::vector<std::string> { "insert ", "remove A" }));
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST_F(ComponentTest, FreeNotificationAcrossOwners)
{
    TTestForm formA, formB;
    auto *target = Named(&formA, "Target");
    auto *watcher = new TTestWatcher(&formB);
    watcher->watched = target;
    target->FreeNotification(watcher);
    EXPECT_TRUE(target->ComponentState().Contains(csFreeNotification));
    delete target;
    EXPECT_EQ(watcher->watched, nullptr);
    EXPECT_EQ(watcher->heard.back(), "remove Target");

    // The watcher going first must not leave a dangling partner behind.
    auto *target2 = Named(&formA, "Target2");
    auto *watcher2 = new TTestWatcher(&formB);
    target2->FreeNotification(watcher2);
    delete watcher2;
    delete target2;
}

TEST_F(ComponentTest, ReferenceIsClearedWhenTheReferencedComponentGoes)
{
    TTestForm formA, formB;
    auto *buddy = Named(&formA, "Buddy");
    auto *control = Named(&formB, "Control");
    control->SetBuddy(buddy);
    delete buddy;
    EXPECT_EQ(control->Buddy(), nullptr);
}

struct NameCase {
    const char *label;
    const char *name;
    const char *error; // nullptr when the name is accepted
};

class ComponentNameTest : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(ComponentNameTest, SetName)
{
    const NameCase &c = GetParam();
    TTestForm owner;
    Named(&owner, "Existing");
    auto *component = Named(&owner, "Original");
    if (!c.error) {
        component->SetName(c.name);
        EXPECT_EQ(component->Name(), c.name);
        return;
    }
    try {
        component->SetName(c.name);
        FAIL() << "accepted " << c.name;
    } catch (const EComponentError &e) {
        EXPECT_EQ(e.Message(), c.error);
        EXPECT_EQ(component->Name(), "Original");
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ComponentNameTest,
    ::testing::Values(NameCase { "Plain", "Button1", nullptr }, NameCase { "Underscores", "_a_1", nullptr },
        NameCase { "Empty", "", nullptr }, NameCase { "SameNameOtherCase", "ORIGINAL", nullptr },
        NameCase { "LeadingDigit", "1Button", "'1Button' is not a valid component name" },
        NameCase { "Blank", "My Button", "'My Button' is not a valid component name" },
        NameCase { "Dash", "a-b", "'a-b' is not a valid component name" },
        NameCase { "Accented", "Botón", "'Botón' is not a valid component name" },
        NameCase { "Dotted", "Form.Button", "'Form.Button' is not a valid component name" },
        NameCase { "Duplicate", "Existing", "A component named Existing already exists" },
        NameCase { "DuplicateOtherCase", "EXISTING", "A component named EXISTING already exists" }),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(ComponentTest, FindComponentIgnoresCase)
{
    TTestForm owner;
    TTestControl *c = Named(&owner, "Edit1");
    EXPECT_EQ(owner.FindComponent("EDIT1"), c);
    EXPECT_EQ(owner.FindComponent("Edit2"), nullptr);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
}

TEST_F(ComponentTest, InsertingMovesFromTheOldOwnerAndChecksTheName)
{
    TTestForm first, second;
    TTestControl *c = Named(&first, "Edit1");
    Named(&second, "Edit1");
    EXPECT_THROW(second.InsertComponent(c), EComponentError);
    EXPECT_EQ(c->Owner(), &first);
    c->SetName("Edit2");
    second.InsertComponent(c);
    EXPECT_EQ(c->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(second.ComponentCount(), 2);
}

TEST_F(ComponentTest, ComponentsOutOfRange)
{
    TTestForm owner;
    Named(&owner, "A");
    EXPECT_THROW(owner.Components(1), EListError);
    EXPECT_THROW(owner.Components(-1), EListError);
}

TEST_F(ComponentTest, DestroyingMarksOwnedComponents)
{
    TTestForm owner;
    TTestControl *c = Named(&owner, "A");
    owner.Destroying();
    EXPECT_TRUE(c->ComponentState().Contains(csDestroying));
}

TEST_F(ComponentTest, RegistryAnswersClassesByName)
{
    EXPECT_EQ(&FindClass("TTestControl"), &TTestControl::Class);
    EXPECT_EQ(GetClass("ttestlabel"), &TTestLabel::Class);
    EXPECT_EQ(GetClass("TNothing"), nullptr);
    try {
        FindClass("TNothing");
        FAIL();
    } catch (const EClassNotFound &e) {
        EXPECT_EQ(e.Message(), "Class TNothing not found");
    }
    TTestForm owner;
    TComponent *c = CreateComponent("TTestLabel", &owner);
    EXPECT_EQ(c->Owner(), &owner);
    EXPECT_STREQ(c->ClassName(), "TTestLabel");
    EXPECT_EQ(c->ClassParent(), &TTestControl::Class);
    EXPECT_TRUE(c->InheritsFrom(TComponent::Class));
    EXPECT_FALSE(c->InheritsFrom(TTestForm::Class));
    EXPECT_THROW(CreateComponent("TTestFont", &owner), EComponentError);
    EXPECT_THROW(CreateComponent("TPersistent", &owner), EComponentError);
}

TEST_F(ComponentTest, RegisteringAnotherClassUnderATakenNameIsRefused)
{
    static const TMetaClass impostor { "TTestControl", &TComponent::Class };
    try {
        RegisterClass(impostor);
        FAIL();
    } catch (const EComponentError &e) {
        EXPECT_EQ(e.Message(), "A class named TTestControl already exists");
    }
    RegisterClass(TTestControl::Class); // again: harmless
    EXPECT_EQ(&FindClass("TTestControl"), &TTestControl::Class);
}

TEST_F(ComponentTest, AssignCopiesOrNamesBothClasses)
{
    TTestFont a, b;
    a.SetName("Arial");
    a.SetStyle({ fsBold });
    b.Assign(&a);
    EXPECT_EQ(b.Name(), "Arial");
    EXPECT_EQ(b.Style(), TTestFontStyles { fsBold });

    TTestColumns columns;
    TCollectionItem *item = columns.Add();
    struct Case {
        const TPersistent *source;
        const char *message;
    } cases[] = { { item, "Cannot assign a TTestColumn to a TTestFont" },
        { nullptr, "Cannot assign a nil to a TTestFont" } };
    for (const Case &c : cases) {
        try {
            b.Assign(c.source);
            ADD_FAILURE() << c.message;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST_F(ComponentTest, CollectionAddsInsertsDeletesAndReportsChanges)
{
    TTestColumns columns;
    auto *first = static_cast<TTestColumn *>(columns.Add());
    first->SetTitle("one");
    auto *third = static_cast<TTestColumn *>(columns.Add());
    third->SetTitle("three");
    auto *second = static_cast<TTestColumn *>(columns.Insert(1));
    second->SetTitle("two");
    ASSERT_EQ(columns.Count(), 3);
    EXPECT_EQ(second->Index(), 1);
    EXPECT_EQ(static_cast<TTestColumn *>(columns.Items(2))->Title(), "three");
    EXPECT_EQ(columns.FindItemID(third->ID()), third);
    EXPECT_EQ(columns.LastUpdated, second) << "an item's own change names it";

    columns.Updates = 0;
    columns.BeginUpdate();
    columns.Delete(0);
    second->SetWidth(5);
    EXPECT_EQ(columns.Updates, 0);
    columns.EndUpdate();
    EXPECT_EQ(columns.Updates, 1);
    EXPECT_EQ(columns.LastUpdated, nullptr);
    EXPECT_EQ(columns.Count(), 2);
    EXPECT_THROW(columns.Items(2), EListError);
    EXPECT_THROW(columns.Insert(5), EListError);

    third->SetIndex(0);
    EXPECT_EQ(columns.Items(0), third);

    TTestColumns copy;
    copy.Add();
    copy.Assign(&columns);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(static_cast<TTestColumn *>(copy.Items(0))->Title(), "three");
    EXPECT_EQ(static_cast<TTestColumn *>(copy.Items(1))->Width(), 5);

    delete copy.Items(0);
    EXPECT_EQ(copy.Count(), 1);
}

} // namespace
