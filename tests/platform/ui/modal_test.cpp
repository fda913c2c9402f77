// Modal windows inside work that runs from a modal loop, the close box of a
// modal window, forms shown as child windows of another form, the screen's
// metrics and bitmaps compiled into the program.
#include "testform.h"

#include "platform/classes/filer.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/qtbridge_p.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <QWindow>

#include <memory>
#include <string>
#include <vector>

namespace
{

FormPtr MakeForm(TComponent *owner = nullptr)
{
    return FormPtr(NewForm<TTestForm>(owner));
}

// The window system's close of the form's window: its close box.
void CloseBox(TCustomForm *form)
{
    TQtBoundary::Widget(form)->close();
}

QWindow *WindowOf(TCustomForm *form)
{
    return TQtBoundary::Widget(form)->windowHandle();
}

TEST(ModalForms, CloseKeepsAResultSetBefore)
{
    FormPtr form = MakeForm();
    TTestForm *f = form.get();
    f->OnShow = [f](TObject *) {
        QueueCall([f] {
            f->SetModalResult(mrOk);
            f->Close();
        });
    };
    EXPECT_EQ(f->ShowModal(), mrOk);

    f->OnShow = [f](TObject *) { QueueCall([f] { f->Close(); }); };
    EXPECT_EQ(f->ShowModal(), mrCancel) << "without a result, Close cancels";
}

TEST(ModalForms, AnOnShowThatRaisesLeavesTheFormModelessAndHidden)
{
    FormPtr form = MakeForm();
    TTestForm *f = form.get();
    f->OnShow = [](TObject *) { throw Exception("no page to show"); };
    EXPECT_THROW(f->ShowModal(), Exception);
    EXPECT_FALSE(f->IsModal());
    EXPECT_FALSE(f->Visible());

    // The same form goes modal again and its loop is the one that ends.
    f->OnShow = [f](TObject *) { QueueCall([f] { f->SetModalResult(mrOk); }); };
    EXPECT_EQ(f->ShowModal(), mrOk);
}

TEST(ModalForms, CloseBoxAsksOnCloseBeforeCancelling)
{
    FormPtr form = MakeForm();
    TTestForm *f = form.get();
    std::vector<TModalResult> seen;
    bool refuse = true;
    f->OnClose = [&](TObject *, TCloseAction &action) {
        seen.push_back(f->ModalResult());
        if (refuse)
            action = caNone;
    };
    f->OnShow = [&](TObject *) {
        QueueCall([&] {
            CloseBox(f);
            QueueCall([&] {
                EXPECT_TRUE(f->IsModal()) << "OnClose refused";
                refuse = false;
                PressKey(f->eDisplay, VK_F4, 0, { ssAlt });
            });
        });
    };
    EXPECT_EQ(f->ShowModal(), mrCancel);
    // Both times OnClose saw no result yet: the close box sets mrCancel only
    // once OnClose has agreed, and asks only once.
    EXPECT_EQ(seen, (std::vector<TModalResult> { mrNone, mrNone }));
}

TEST(ModalForms, NestInsideWorkThatAModalLoopRuns)
{
    FormPtr outer = MakeForm();
    TTestForm *o = outer.get();
    std::vector<std::string> steps;
    o->OnShow = [&](TObject *) {
        QueueCall([&] {
            // A handler of the outer window runs a modal window of its own.
            FormPtr inner = MakeForm();
            TTestForm *i = inner.get();
            i->OnShow = [&, i](TObject *) { QueueCall([&, i] { ClickControl(i->bOk); }); };
            steps.push_back("inner " + std::to_string(i->ShowModal()));
            steps.push_back(o->IsModal() ? "outer still modal" : "outer gone");
            ClickControl(o->bCancel);
        });
    };
    EXPECT_EQ(o->ShowModal(), mrCancel);
    EXPECT_EQ(steps, (std::vector<std::string> { "inner 1", "outer still modal" }));
}

TEST(ModalForms, TerminateEndsEveryNestedModalLoop)
{
    // Terminate ends the program's loops for good: in a child process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [] {
        FormPtr outer = MakeForm();
        TTestForm *o = outer.get();
        TModalResult inner = mrNone;
        o->OnShow = [&](TObject *) {
            QueueCall([&] {
                FormPtr nested = MakeForm();
                nested->OnShow = [](TObject *) { QueueCall([] { Application->Terminate(); }); };
                inner = nested->ShowModal();
            });
        };
        const TModalResult result = o->ShowModal();
        std::_Exit(result == mrCancel && inner == mrCancel && !o->Visible() ? 0 : 4);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(ModalForms, StayOverTheMainForm)
{
    // The first form made through the application is its main form.
    TTestForm *appMain = nullptr;
    if (!Application->MainForm())
        Application->CreateForm(appMain);
    TCustomForm *mainForm = Application->MainForm();
    ASSERT_NE(mainForm, nullptr);
    mainForm->Show();
    FormPtr dialog = MakeForm();
    QWindow *parent = nullptr;
    QWindow *mainWindow = nullptr;
    dialog->OnShow = [&](TObject *) {
        QueueCall([&] {
            parent = WindowOf(dialog.get())->transientParent();
            mainWindow = WindowOf(mainForm);
            dialog->SetModalResult(mrOk);
        });
    };
    dialog->ShowModal();
    EXPECT_NE(mainWindow, nullptr);
    EXPECT_EQ(parent, mainWindow);
}

} // namespace

namespace
{

// A form placed in another one as a child window, the way wizard pages lie
// over their frame: made with WS_CHILD and the host's window as parent.
class TChildForm : public TForm
{
public:
    explicit TChildForm(TComponent *owner)
        : TForm(owner)
    {
        SetBorderStyle(bsNone);
    }

protected:
    void CreateParams(TCreateParams &params) override
    {
        TForm::CreateParams(params);
        params.Style = WS_CHILD | WS_CLIPSIBLINGS;
        params.WndParent = static_cast<TCustomForm *>(Owner())->Handle();
    }
};

struct ChildPage {
    TChildForm *form;
    TButton *first;
    TButton *second;
};

ChildPage MakePage(TCustomForm *host, const std::string &name)
{
    auto *page = new TChildForm(host);
    page->SetName(name);
    page->SetBounds(0, 0, 200, 100);
    ChildPage made { page, new TButton(page), new TButton(page) };
    made.first->SetName(name + "First");
    made.second->SetName(name + "Second");
    made.first->SetParent(page);
    made.second->SetParent(page);
    made.second->SetLeft(100);
    page->Show();
    return made;
}

TEST(ChildForms, TabStaysInsideTheChildFormThatHasTheFocus)
{
    FormPtr host = MakeForm();
    host->Show();
    ChildPage below = MakePage(host.get(), "Below");
    ChildPage above = MakePage(host.get(), "Above");
    EXPECT_EQ(GetParentForm(above.first), above.form);
    ProcessPendingEvents(); // the window becomes the active one
    above.first->SetFocus();
    ASSERT_EQ(FocusedControl(), above.first);
    std::vector<std::string> focus;
    for (int i = 0; i < 3; ++i) {
        PressKey(FocusedControl(), VK_TAB);
        focus.push_back(FocusedControl() ? FocusedControl()->Name() : "<none>");
    }
    PressKey(FocusedControl(), VK_TAB, 0, { ssShift });
    focus.push_back(FocusedControl() ? FocusedControl()->Name() : "<none>");
    EXPECT_EQ(focus, (std::vector<std::string> { "AboveSecond", "AboveFirst", "AboveSecond", "AboveFirst" }));
    (void)below;
}

TEST(ChildForms, EnterAndEscapeReachTheButtonsOfTheFocusedChildFormOnly)
{
    FormPtr host = MakeForm();
    host->Show();
    ChildPage below = MakePage(host.get(), "Below");
    ChildPage above = MakePage(host.get(), "Above");
    std::vector<std::string> clicked;
    for (TButton *button : { below.first, below.second, above.first, above.second })
        button->OnClick = [&clicked, button](TObject *) { clicked.push_back(button->Name()); };
    below.first->SetDefault(true);
    below.second->SetCancel(true);
    above.second->SetDefault(true);
    above.first->SetCancel(true);
    host->bOk->OnClick = [&clicked](TObject *) { clicked.push_back("host"); };
    above.form->SetActiveControl(nullptr);
    PressKey(above.form, VK_RETURN, U'\r');
    PressKey(above.form, VK_ESCAPE, 27);
    EXPECT_EQ(clicked, (std::vector<std::string> { "AboveSecond", "AboveFirst" }));
}

TEST(ChildForms, AltF4ClosesTheTopLevelWindow)
{
    FormPtr host = MakeForm();
    host->Show();
    ChildPage page = MakePage(host.get(), "Page");
    int closes = 0;
    host->OnClose = [&](TObject *, TCloseAction &action) {
        ++closes;
        action = caNone;
    };
    ProcessPendingEvents();
    page.first->SetFocus();
    PressKey(page.first, VK_F4, 0, { ssAlt });
    EXPECT_EQ(closes, 1);
    PressKey(page.first, VK_F4);
    EXPECT_EQ(closes, 1) << "F4 alone is no close";
}

TEST(ModelessForms, RepaintWhileLongWorkPumpsMessages)
{
    // Long work does not return to the message loop; it only pumps pending
    // messages between its steps, and a modeless window still repaints.
    FormPtr form = MakeForm();
    int paints = 0;
    form->OnPaint = [&](TObject *) { ++paints; };
    form->Show();
    Application->ProcessMessages();
    for (int step = 0; step < 3; ++step) {
        const int before = paints;
        form->lbTitle->SetCaption("Paso " + std::to_string(step));
        form->Invalidate();
        Application->ProcessMessages();
        EXPECT_GT(paints, before) << "step " << step;
    }
}

TEST(Screen, MetricsComeFromTheScreenServiceAndOneCaptionHeight)
{
    {
        FixedScreen screen(1024, 768);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
        EXPECT_EQ(Screen->Width(), 1024);
        EXPECT_EQ(Screen->Height(), 768);
        FormPtr form = MakeForm();
        form->SetPosition(poScreenCenter);
        form->Show();
        EXPECT_EQ(form->Left(), (1024 - form->Width()) / 2);
    }
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), kCaptionHeight);
    EXPECT_EQ(GetSystemMetrics(12345), 0);
}

// A 2 x 1 PNG: one red pixel, one blue.
const unsigned char TinyPng[] = { 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d,
    0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00,
    0x7b, 0x40, 0xe8, 0xdd, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf,
    0x00, 0x04, 0xff, 0x01, 0x07, 0x00, 0x01, 0xff, 0xe2, 0x23, 0x9e, 0x59, 0x00, 0x00, 0x00, 0x00, 0x49,
    0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82 };
const TBitmapResourceRegistrar tinyResource(
    "TEST_TINY", std::string_view(reinterpret_cast<const char *>(TinyPng), sizeof TinyPng));

TEST(BitmapResources, LoadByNameWhateverTheCase)
{
    EXPECT_TRUE(BitmapResourceExists("test_tiny"));
    TBitmap bitmap;
    bitmap.LoadFromResourceName("Test_Tiny");
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Height(), 1);
    EXPECT_EQ(bitmap.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(bitmap.Canvas()->Pixels(1, 0), clBlue);
    EXPECT_FALSE(BitmapResourceExists("TEST_NONE"));
    EXPECT_THROW(bitmap.LoadFromResourceName("TEST_NONE"), EResNotFound);
    EXPECT_EQ(bitmap.Width(), 2) << "a missing resource leaves the bitmap as it was";
}

TEST(TabControls, UserChoiceAsksOnChangingAndCodeDoesNot)
{
    FormPtr host = MakeForm();
    auto *tabs = new TTabControl(host.get());
    tabs->SetParent(host.get());
    tabs->Tabs()->Add("Uno");
    tabs->Tabs()->Add("Dos");
    EXPECT_EQ(tabs->TabIndex(), 0) << "the first tab added is chosen";
    std::vector<std::string> events;
    bool allow = true;
    tabs->OnChanging = [&](TObject *, bool &allowChange) {
        events.push_back("changing " + std::to_string(tabs->TabIndex()));
        allowChange = allow;
    };
    tabs->OnChange = [&](TObject *) { events.push_back("change " + std::to_string(tabs->TabIndex())); };
    tabs->SetTabIndex(1);
    EXPECT_TRUE(events.empty());
    tabs->SetTabIndex(7);
    EXPECT_EQ(tabs->TabIndex(), -1) << "outside the tabs: none";
    tabs->Tabs()->Clear();
    EXPECT_EQ(tabs->TabIndex(), -1);
}

} // namespace
