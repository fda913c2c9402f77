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

} // namespace
