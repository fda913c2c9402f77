#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{

constexpr uint32_t WM_PROBE = WM_USER + 7;

// An edit that records the probe messages it handles and whether Control
// was down for each.
class TProbeEdit : public TEdit
{
public:
    using TEdit::TEdit;
    std::vector<WPARAM> probes;
    std::vector<bool> controlDown;

protected:
    void WndProc(TMessage &message) override
    {
        if (message.Msg == WM_PROBE) {
            probes.push_back(message.WParam);
            controlDown.push_back(GetKeyState(VK_CONTROL) < 0);
            return;
        }
        TEdit::WndProc(message);
    }
};

class MessageQueue : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        edit = new TProbeEdit(form.get());
        edit->SetParent(form.get());
        other = new TProbeEdit(form.get());
        other->SetParent(form.get());
        other->SetTop(40);
        form->Show();
        ProcessPendingEvents();
    }
    HWND Handle(TWinControl *control) { return control->Handle(); }

    std::unique_ptr<TForm> form;
    TProbeEdit *edit = nullptr;
    TProbeEdit *other = nullptr;
};

TEST_F(MessageQueue, PostedMessagesWaitInOrderAndATakenOneIsNeverHandled)
{
    for (WPARAM i = 1; i <= 3; ++i)
        ASSERT_TRUE(PostMessage(Handle(edit), WM_PROBE, i, 0));
    ASSERT_TRUE(PostMessage(Handle(other), WM_PROBE, 9, 0));
    TMsg msg;
    ASSERT_TRUE(PeekMessage(msg, Handle(other), 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.WParam, 9u);
    EXPECT_FALSE(PeekMessage(msg, Handle(edit), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(msg, Handle(edit), WM_PROBE, WM_PROBE, PM_REMOVE));
    EXPECT_EQ(msg.Window, Handle(edit));
    EXPECT_EQ(msg.Message, WM_PROBE);
    EXPECT_EQ(msg.WParam, 1u);
    ProcessPendingEvents();
    EXPECT_EQ(edit->probes, (std::vector<WPARAM> { 2, 3 }));
    EXPECT_EQ(other->probes, (std::vector<WPARAM> { 9 }));
    EXPECT_FALSE(PeekMessage(msg, nullptr, WM_PROBE, WM_PROBE, PM_NOREMOVE));
}

TEST_F(MessageQueue, KeysTypedAheadAreKeyMessagesOfTheirWindow)
{
    edit->SetFocus();
    PostKey(edit, 'A', U'a');
    PostKey(edit, 'B', U'b');
    TMsg msg;
    ASSERT_TRUE(PeekMessage(msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
    EXPECT_EQ(msg.Window, Handle(edit));
    EXPECT_EQ(msg.Message, WM_KEYDOWN);
    EXPECT_EQ(msg.WParam, 'A');
    // Taken out, the a is never typed; its key up and the b still arrive.
    ASSERT_TRUE(PeekMessage(msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
    EXPECT_EQ(msg.Message, WM_KEYUP);
    EXPECT_EQ(msg.WParam, 'A');
    ProcessPendingEvents();
    ProcessPendingEvents();
    EXPECT_EQ(edit->Text(), "b");
    EXPECT_FALSE(PeekMessage(msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
}

TEST_F(MessageQueue, APostedMessageCarriesTheKeyboardOfItsMoment)
{
    TKeyboardState saved, held;
    GetKeyboardState(saved);
    EXPECT_EQ(saved[VK_CONTROL], 0);
    held = saved;
    held[VK_CONTROL] = 0x81;
    SetKeyboardState(held);
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    PostMessage(Handle(edit), WM_PROBE, 1, 0);
    SetKeyboardState(saved);
    PostMessage(Handle(edit), WM_PROBE, 2, 0);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    ProcessPendingEvents();
    EXPECT_EQ(edit->controlDown, (std::vector<bool> { true, false }));
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
}

} // namespace
