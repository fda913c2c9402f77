#include "testform.h"

#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

// Run and Terminate end the program's one message loop for good, so these
// run in a child process of their own.
class ApplicationRun : public ::testing::Test
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ApplicationRun, RunEndsWhenTheMainFormCloses)
{
    EXPECT_EXIT(
        {
            ScriptedMessageBoxes boxes;
            TTestForm *main = nullptr;
            Application->Initialize();
            Application->CreateForm(main);
            if (Application->MainForm() != main)
                std::_Exit(2);
            // The close box: the form asks OnCloseQuery, then the loop ends.
            QueueCall([main] {
                main->allowClose = false;
                main->Close();
                QueueCall([main] {
                    main->allowClose = true;
                    main->Close();
                });
            });
            Application->Run();
            std::_Exit(Application->Terminated() && main->closeQueries == 2 && boxes.Count() == 0 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ApplicationRun, TerminateEndsAModalLoopWithCancel)
{
    EXPECT_EXIT(
        {
            TTestForm *main = nullptr;
            Application->CreateForm(main);
            TTestForm *dialog = NewForm<TTestForm>(main);
            dialog->OnShow = [](TObject *) { QueueCall([] { Application->Terminate(); }); };
            TModalResult result = dialog->ShowModal();
            std::_Exit(result == mrCancel && !dialog->Visible() ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ApplicationRun, AnErrorInAQueuedCallShowsTheBoxAndTheLoopGoesOn)
{
    EXPECT_EXIT(
        {
            ScriptedMessageBoxes boxes;
            TTestForm *main = nullptr;
            Application->SetTitle("ORVEX Tabulo");
            Application->CreateForm(main);
            main->bSumar->OnClick = [](TObject *) { throw EZeroDivide("Intento de división por cero."); };
            QueueCall([main] { ClickControl(main->bSumar); });
            QueueCall([] { Application->Terminate(); });
            Application->Run();
            bool ok = boxes.Count() == 1 && boxes.Last().Text == "Intento de división por cero."
                && boxes.Last().Caption == "ORVEX Tabulo";
            std::_Exit(ok ? 0 : 5);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
