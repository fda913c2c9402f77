#include "testform.h"

#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

// An edit that refuses to lose the focus, as an edit holding an invalid
// entry does: it takes the focus back while it is told to exit.
class TStubbornEdit : public TEdit
{
public:
    using TEdit::TEdit;
    int exits = 0;
    bool refuse = true;

protected:
    void CMExit(TMessage &message) override
    {
        ++exits;
        TEdit::CMExit(message);
        if (refuse)
            SetFocus();
    }
};

// A list that drops down from a control, as a combo's does: a window of its
// own on the desktop.
class TDropDownList : public TListBox
{
public:
    using TListBox::TListBox;

protected:
    void CreateParams(TCreateParams &params) override
    {
        TListBox::CreateParams(params);
        params.WndParent = GetDesktopWindow();
    }
};

TEST(Focus, AControlThatTakesTheFocusBackIsToldToExitOnce)
{
    std::unique_ptr<TForm, FormDeleter> form(new TForm(nullptr));
    form->SetBounds(0, 0, 300, 200);
    form->Show();
    auto *stubborn = new TStubbornEdit(form.get());
    stubborn->SetParent(form.get());
    stubborn->SetBounds(10, 10, 100, 21);
    auto *other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(10, 40, 100, 21);
    form->SetActiveControl(stubborn);
    ProcessPendingEvents();
    stubborn->exits = 0;

    form->SetActiveControl(other);
    ProcessPendingEvents();
    EXPECT_EQ(stubborn->exits, 1);
    EXPECT_EQ(form->ActiveControl(), stubborn);

    // Once it lets go, the next change of focus reaches it again.
    stubborn->refuse = false;
    form->SetActiveControl(other);
    ProcessPendingEvents();
    EXPECT_EQ(stubborn->exits, 2);
    EXPECT_EQ(form->ActiveControl(), other);
}

TEST(Focus, AControlFreedAfterTakingTheFocusIsNoLongerTheActiveOne)
{
    std::unique_ptr<TForm, FormDeleter> form(new TForm(nullptr));
    form->SetBounds(0, 0, 300, 200);
    form->Show();
    auto *first = new TEdit(form.get());
    first->SetParent(form.get());
    first->SetBounds(10, 10, 100, 21);
    // Owned by someone other than the form, as the parts of a composite control are.
    auto *second = new TEdit(nullptr);
    second->SetParent(form.get());
    second->SetBounds(10, 40, 100, 21);
    first->SetFocus();
    ProcessPendingEvents();
    PressKey(first, VK_TAB, U'\t');
    ProcessPendingEvents();
    ASSERT_EQ(form->ActiveControl(), second) << "Tab gave it the focus";

    delete second;
    ASSERT_EQ(form->ActiveControl(), nullptr);
    first->SetFocus();
    ProcessPendingEvents();
    EXPECT_EQ(form->ActiveControl(), first);
    EXPECT_EQ(FocusedControl(), first);
}

TEST(Focus, AWindowThatDropsDownLeavesTheFocusWhereItWas)
{
    std::unique_ptr<TForm, FormDeleter> form(new TForm(nullptr));
    form->SetBounds(0, 0, 300, 200);
    form->Show();
    auto *edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 100, 21);
    int exits = 0;
    edit->OnExit = [&exits](TObject *) { ++exits; };
    edit->SetFocus();
    ProcessPendingEvents();

    auto *list = new TDropDownList(edit);
    list->SetVisible(false);
    list->SetParent(edit);
    list->SetBounds(110, 131, 100, 80);
    list->SetVisible(true);
    ProcessPendingEvents();
    EXPECT_TRUE(form->Active());
    EXPECT_EQ(FocusedControl(), edit);
    EXPECT_EQ(exits, 0);
    list->SetVisible(false);
    edit->SetFocus();
    EXPECT_TRUE(edit->Focused());
}

} // namespace
