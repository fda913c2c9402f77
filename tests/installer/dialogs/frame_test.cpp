// The wizard frame: pages made from the registry, their order, Next and
// Previous over pages that skip, the end of the wizard and its close box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "tests/installer/dialogs/probe_pages.h"
#include "tests/installer/dialogs/wizard_support.h"

using namespace wizard_test;
using ::testing::ElementsAre;

namespace
{

class Frame : public Wizard
{
protected:
    // An install, its before-install manager (550 x 395) and one probe page
    // per "name:order[:skip]" item, in registration order.
    void Make(const std::vector<std::string> &pages)
    {
        std::string text = "object SetupForm: TSetupForm\n"
                           "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
                           "  object Manager1: TDialogManager\n    Container = Install1\n"
                           "    ManagerType = dmAfterGoodInstall\n    Width = 550\n  end\n";
        for (const std::string &page : pages) {
            const auto colon = page.find(':');
            const std::string name = page.substr(0, colon);
            const std::string rest = page.substr(colon + 1);
            text += "  object " + name + ": TProbeDlg\n    Container = Install1\n    Order = "
                + rest.substr(0, rest.find(':')) + "\n  end\n";
        }
        form_ = LoadForm(text + "end\n");
        for (const std::string &page : pages)
            if (page.size() > 5 && page.substr(page.size() - 5) == ":skip")
                Probe(page.substr(0, page.find(':')))->SkipIt = true;
        manager_ = static_cast<TDialogManager *>(form_->FindComponent("Manager1"));
        PageJournal().clear();
    }
    TProbeDlg *Probe(const std::string &name) { return static_cast<TProbeDlg *>(form_->FindComponent(name)); }

    // Runs the wizard with the script; answers "ok", "abort" or the error.
    std::string Run(std::vector<std::function<void()>> steps)
    {
        Script(std::move(steps));
        try {
            manager_->ShowWizard();
            return "ok";
        } catch (const EAIUserAbort &) {
            return "abort";
        } catch (const Exception &e) {
            return e.Message();
        }
    }

    static std::string Current() { return ShownPage() ? ShownPage()->Caption() : "<none>"; }
    static void Click(const char *button)
    {
        ClickControl(static_cast<TControl *>(ShownPage()->FindComponent(button)));
    }

    std::unique_ptr<TSetupForm> form_;
    TDialogManager *manager_ = nullptr;
};

TEST_F(Frame, SortsPagesByOrderAsTheExchangeSortDoes)
{
    // A straight exchange sort moves A past its equal C: not a stable sort.
    Make({ "A:20", "B:10", "C:20", "D:10" });
    std::vector<std::string> order;
    EXPECT_EQ(Run({ [&] {
        for (int i = 0; i < ShownFrame()->PageCount(); ++i)
            order.push_back(ShownFrame()->Pages(i)->Caption());
        ShownFrame()->SetModalResult(mrCancel);
    } }),
        "abort");
    EXPECT_THAT(order, ElementsAre("B", "D", "C", "A"));
}

TEST_F(Frame, NextAndPreviousStepOverSkippedPages)
{
    Make({ "P0:10", "P1:20:skip", "P2:30", "P3:40:skip", "P4:50" });
    std::vector<std::string> seen;
    auto note = [&] { seen.push_back(Current()); };
    EXPECT_EQ(Run({ note, [] { Click("ProceedBtn"); }, note, [] { Click("ProceedBtn"); }, note,
                  [] { Click("BackBtn"); }, note, [] { Click("BackBtn"); }, note, [] { Click("ProceedBtn"); },
                  [] { Click("ProceedBtn"); }, [] { Click("ProceedBtn"); } }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("P0", "P2", "P4", "P2", "P0"));
    EXPECT_EQ(PageJournal().front(), "P0 shown");
}

TEST_F(Frame, PreviousButtonOnlyWhereAnEarlierPageShows)
{
    Make({ "P0:10:skip", "P1:20", "P2:30" });
    std::vector<bool> back;
    EXPECT_EQ(Run({ [&] {
                       back.push_back(ShownPage()->FindComponent("BackBtn")
                           && static_cast<TControl *>(ShownPage()->FindComponent("BackBtn"))->Visible());
                   },
                  [] { Click("ProceedBtn"); },
                  [&] {
                      back.push_back(
                          static_cast<TControl *>(ShownPage()->FindComponent("BackBtn"))->Visible());
                  },
                  [] { Click("ProceedBtn"); } }),
        "ok");
    EXPECT_THAT(back, ElementsAre(false, true));
}

TEST_F(Frame, NextOnTheLastShownPageFinishesWhenTheLastPageSkips)
{
    Make({ "P0:10", "P1:20:skip" });
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [&] { seen.push_back(Current()); }, [] { Click("ProceedBtn"); } }), "ok");
    EXPECT_THAT(seen, ElementsAre("P0"));
    EXPECT_TRUE(ShownFrame() == nullptr);
}

TEST_F(Frame, WizardWhoseEveryPageSkipsEndsAsNextWould)
{
    // There is no button to press on a frame without a page shown: it must
    // not stay open.
    Make({ "P0:10:skip", "P1:20:skip" });
    EXPECT_EQ(Run({}), "ok");
    EXPECT_EQ(LiveProbePages(), 0);
}

TEST_F(Frame, WizardWithoutPagesShowsNothing)
{
    Make({ "P0:10", "P1:20" });
    Probe("P0")->ShowIt = false;
    Probe("P1")->SetDialogManager(nullptr); // a page of no wizard
    bool shown = false;
    Script({ [&] {
        shown = true;
        ModalForm()->SetModalResult(mrCancel);
    } },
        false);
    EXPECT_NO_THROW(manager_->ShowWizard());
    EXPECT_FALSE(shown);
    EXPECT_EQ(LiveProbePages(), 0);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
}

TEST_F(Frame, CancelRaisesUserAbortAndFreesEveryPage)
{
    Make({ "P0:10", "P1:20" });
    int livePages = 0;
    EXPECT_EQ(Run({ [&] { livePages = LiveProbePages(); }, [] { Click("CancelBtn"); } }), "abort");
    EXPECT_EQ(livePages, 2);
    EXPECT_EQ(LiveProbePages(), 0);
    EXPECT_EQ(Probe("P0")->Form(), nullptr);
    EXPECT_EQ(Probe("P1")->Form(), nullptr);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
    EXPECT_EQ(boxes_.Count(), 0) << "no abort question without an OnUserAbort handler";
}

TEST_F(Frame, CloseBoxAndAltF4DoNotEndTheWizard)
{
    Make({ "P0:10" });
    std::vector<std::string> seen;
    EXPECT_EQ(Run({ [] { ShownFrame()->Perform(WM_CLOSE, 0, 0); }, [&] { seen.push_back(Current()); },
                  [] { PressKey(FocusedControl(), VK_F4, 0, { ssAlt }); }, [&] { seen.push_back(Current()); },
                  [] { Click("ProceedBtn"); } }),
        "ok");
    EXPECT_THAT(seen, ElementsAre("P0", "P0"));
}

TEST_F(Frame, KeysReachOnlyTheCurrentPage)
{
    Make({ "P0:10", "P1:20" });
    std::vector<std::string> seen;
    auto note = [&] {
        TWinControl *focused = FocusedControl();
        seen.push_back(Current() + " " + (focused ? focused->Name() : "<nothing>"));
    };
    auto press = [](uint16_t key, TShiftState shift = {}) {
        return [key, shift] { PressKey(FocusedControl(), key, key == VK_RETURN ? U'\r' : 0, shift); };
    };
    EXPECT_EQ(Run({ note, press(VK_TAB), note, press(VK_TAB), note, press(VK_TAB), note,
                  press(VK_TAB, { ssShift }), note, press(VK_RETURN), note, press(VK_ESCAPE) }),
        "abort");
    // Tab goes round the first page's buttons (Previous is hidden there) and
    // never into the page beneath; Enter presses the focused button.
    EXPECT_THAT(seen,
        ElementsAre("P0 ProceedBtn", "P0 CancelBtn", "P0 ProceedBtn", "P0 CancelBtn", "P0 ProceedBtn",
            "P1 ProceedBtn"));
}

TEST_F(Frame, IsPlacedByItsManager)
{
    Make({ "P0:10" });
    manager_->SetPosition(kdpBottomRight);
    TRect bounds;
    EXPECT_EQ(Run({ [&] { bounds = ShownFrame()->BoundsRect(); }, [] { Click("ProceedBtn"); } }), "ok");
    EXPECT_EQ(bounds, Bounds(1024 - 550, 768 - 19 - 395, 550, 395));
}

} // namespace
