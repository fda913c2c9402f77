#include "controls/base/Qxcomui.h"

#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

// Anything that publishes OnFilterOptions takes part in the Escape poll.
class TOptionsHolder : public TComponent
{
public:
    using TComponent::TComponent;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    enum TOption { oEnabled, oHourGlass, oEscape };
    TSet<TOption> Options() const { return options_; }
    void SetOptions(TSet<TOption> options) { options_ = options; }

private:
    TSet<TOption> options_ { oEnabled, oEscape };
};
const TMetaClass TOptionsHolder::Class { "TOptionsHolder", &TComponent::Class };
const TEnumNames optionNames = { "oEnabled", "oHourGlass", "oEscape" };
using P = TPublish<TOptionsHolder>;
const TClassRegistrar<TOptionsHolder> holderRegistrar({
    P::Set("OnFilterOptions", optionNames, &TOptionsHolder::Options, &TOptionsHolder::SetOptions, 5),
});

// An edit that notes, for each key down it handles, whether Control was held.
class TKeyEdit : public TEdit
{
public:
    using TEdit::TEdit;
    std::vector<std::pair<uint16_t, bool>> downs;

protected:
    void WndProc(TMessage &message) override
    {
        if (message.Msg == WM_KEYDOWN)
            downs.emplace_back(static_cast<uint16_t>(message.WParam), GetKeyState(VK_CONTROL) < 0);
        TEdit::WndProc(message);
    }
};

class QxComUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        edit = new TKeyEdit(form.get());
        edit->SetParent(form.get());
        form->Show();
        edit->SetFocus();
        ProcessPendingEvents();
    }
    std::unique_ptr<TForm> form;
    TKeyEdit *edit = nullptr;
};

TEST_F(QxComUi, EscapePollTakesOneKeyMessageAndSwitchesTheFilterOff)
{
    TOptionsHolder holder(nullptr);
    EXPECT_FALSE(qxEscapePressed(&holder)); // nothing waits
    PostKey(edit, 'Q', U'q');
    PostKey(edit, VK_ESCAPE);
    EXPECT_FALSE(qxEscapePressed(&holder)); // the q going down, now lost
    EXPECT_FALSE(qxEscapePressed(&holder)); // its key up
    EXPECT_TRUE(holder.Options().Contains(TOptionsHolder::oEnabled));
    EXPECT_TRUE(qxEscapePressed(&holder));
    EXPECT_EQ(holder.Options(), (TSet<TOptionsHolder::TOption> { TOptionsHolder::oEscape }));
    ProcessPendingEvents();
    EXPECT_EQ(edit->Text(), ""); // the typed character never arrived
    EXPECT_FALSE(qxEscapePressed(&holder)); // Escape's key up went to the edit
}

TEST_F(QxComUi, AKeyPostedWithAModifierIsHandledAsIfItWereHeld)
{
    qxPostKeyWithModifier(edit->Handle(), VK_END, VK_CONTROL);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0); // the state here is back
    PostMessage(edit->Handle(), WM_KEYDOWN, VK_HOME, 1);
    ProcessPendingEvents();
    EXPECT_EQ(edit->downs, (std::vector<std::pair<uint16_t, bool>> { { VK_END, true }, { VK_HOME, false } }));
}

} // namespace
