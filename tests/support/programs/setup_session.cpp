// The setup program with someone at it, for the end-to-end tests: the same
// main form and configuration as dedazida, and a person scripted by
// $ORVEX_SESSION who answers each wizard page with real keys and clicks as
// it shows:
//   install           Next on every page (Enter or a click), Finish at the end
//   cancel:<n>        Cancel on the n-th page shown (1 = the first) and Yes to
//                     the question whether to stop; Finish on what follows
//   cancel:copy       Cancel in the copy-progress window once it shows
// A distribution built with this program as its setup program carries it,
// so the loader of a self-extracting setup starts it as it would dedazida.
// Every page is written down in $ORVEX_SESSION_LOG ("page <class> <caption>"),
// with the copy progress seen, each message box ("box <text>") and the end;
// $ORVEX_SESSION_SHOTS, when set, names a folder for a picture of each page.

#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "installer/app/Unit1.h"
#include "installer/app/setupprogram.h"
#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "tests/support/programs/session_log.h"

namespace
{

// Message boxes: each written down and answered Yes (or OK).
class LoggedBoxes : public IMessageBoxService
{
public:
    LoggedBoxes() { SetMessageBoxService(this); }
    ~LoggedBoxes() override { SetMessageBoxService(nullptr); }
    int Show(HWND, const std::string &text, const std::string &, uint32_t flags, uint16_t) override
    {
        Log("box " + text);
        const uint32_t type = flags & MB_TYPEMASK;
        return type == MB_YESNO || type == MB_YESNOCANCEL ? IDYES : IDOK;
    }
};

TCustomForm *Modal()
{
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
        if (Screen->Forms(i)->IsModal())
            return Screen->Forms(i);
    return nullptr;
}

// The form, or one of the forms it holds, that answers to the class name.
TControl *Named(TComponent *root, const std::string &name)
{
    if (!root)
        return nullptr;
    if (auto *control = dynamic_cast<TControl *>(root->FindComponent(name)); control && control->Visible())
        return control;
    for (int i = 0; i < root->ComponentCount(); ++i)
        if (auto *form = dynamic_cast<TCustomForm *>(root->Components(i)))
            if (TControl *found = Named(form, name))
                return found;
    return nullptr;
}

// The page on top of a wizard frame, or null for any other window.
TCustomForm *PageOf(TCustomForm *window)
{
    auto *frame = dynamic_cast<TBaseFormContainer *>(window);
    if (!frame || frame->CurrentPage() < 0 || frame->CurrentPage() >= frame->PageCount())
        return nullptr;
    return frame->Pages(frame->CurrentPage());
}

// The page a person last looked at, forgotten when it is destroyed: a new
// page can be made at the address of a freed one, and must not pass for it.
class Watched : public TComponent
{
public:
    Watched()
        : TComponent(nullptr)
    {
    }
    ~Watched() override { Set(nullptr); }
    TCustomForm *Get() const { return form_; }
    void Set(TCustomForm *form)
    {
        if (form_ == form)
            return;
        if (form_)
            form_->RemoveFreeNotification(this);
        form_ = form;
        if (form_)
            form_->FreeNotification(this);
    }

protected:
    void Notification(TComponent *component, TOperation operation) override
    {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == form_)
            form_ = nullptr;
    }

private:
    TCustomForm *form_ = nullptr;
};

class Person
{
public:
    Person()
        : script_(Env("ORVEX_SESSION"))
        , shots_(Env("ORVEX_SESSION_SHOTS"))
    {
        if (script_.rfind("cancel:", 0) == 0) {
            const std::string what = script_.substr(7);
            if (what == "copy")
                cancelCopy_ = true;
            else
                cancelAt_ = StrToIntDef(what, 0);
        }
    }

    void Start()
    {
        QueueCall([this] { Look(); });
    }

private:
    void Look()
    {
        if (Application->Terminated())
            return;
        LookAtCopying();
        TCustomForm *frame = Modal();
        TCustomForm *page = frame ? PageOf(frame) : nullptr;
        if (page && page != last_.Get() && frame->Active()) {
            last_.Set(page);
            settled_ = 0;
        } else if (page && page == last_.Get() && ++settled_ == 3) {
            Answer(frame, page);
        }
        // A person looks again a moment later.
        usleep(2000);
        QueueCall([this] { Look(); });
    }

    void LogProgress(TCustomForm *copying)
    {
        if (TComponent *bar = copying->FindComponent("ProgressBar2")) {
            const int percent = static_cast<int>(GetOrdProp(bar, "Position"));
            if (percent != lastPercent_)
                Log("progress " + IntToStr(lastPercent_ = percent));
        }
    }

    void LookAtCopying()
    {
        // The bar's last steps may come after the last look while it showed:
        // the window, hidden now, still holds them.
        if (TCustomForm *copying = copying_.Get(); copying && !copying->Visible())
            LogProgress(copying);
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TCustomForm *form = Screen->Forms(i);
            if (std::string(form->ClassName()) == "TInstallStatusForm" && form->Visible())
                Picture(form, "status");
            if (std::string(form->ClassName()) != "TCopyFileForm" || !form->Visible())
                continue;
            if (!copyShown_) {
                copyShown_ = true;
                Log("copy " + form->Caption());
                Picture(form, "copying");
            }
            copying_.Set(form);
            LogProgress(form);
            if (cancelCopy_ && !cancelled_) {
                if (TControl *cancel = Named(form, "CancelBtn")) {
                    cancelled_ = true;
                    Log("cancel copying");
                    ClickControl(cancel);
                }
            }
        }
    }

    void Answer(TCustomForm *frame, TCustomForm *page)
    {
        ++pages_;
        Log("page " + std::string(page->ClassName()) + " " + frame->Caption());
        Picture(frame, IntToStr(pages_) + "-" + page->ClassName());
        if (pages_ == 1 && Form1)
            Picture(Form1, "backdrop");
        if (pages_ == cancelAt_) {
            if (TControl *cancel = Named(page, "CancelBtn")) {
                Log("cancel");
                ClickControl(cancel);
                return;
            }
        }
        // Enter where the focus is on Next, a click anywhere else.
        TControl *next = Named(page, "ProceedBtn");
        TControl *finish = Named(page, "FinishBtn");
        if (finish) {
            LogMainWindow();
            PictureScreen();
            ClickControl(finish);
        } else if (next && FocusedControl() == next && pages_ % 2 == 1) {
            PressKey(next, VK_RETURN, U'\r');
        } else if (next) {
            ClickControl(next);
        }
    }

    // Where the window system keeps the main window by the end: maximised,
    // and whole on the screen.
    static void LogMainWindow()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!Form1 || !window->isVisible() || window->windowTitle().toStdString() != Form1->Caption())
                continue;
            const bool whole = window->screen()->geometry().contains(window->frameGeometry());
            Log(std::string("main ") + (window->isMaximized() ? "maximised" : "normal")
                + (whole ? " on the screen" : " off the screen"));
        }
    }

    // On a real display, the whole screen as the window manager keeps it.
    void PictureScreen()
    {
        if (shots_.empty() || QGuiApplication::platformName() != "xcb")
            return;
        QGuiApplication::sync();
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(shots_ + "/screen.png"));
    }

    void Picture(TCustomForm *form, const std::string &name)
    {
        if (shots_.empty() || pictured_.count(name))
            return;
        pictured_.insert(name);
        SaveScreenshot(form, shots_ + "/" + name + ".png");
    }

    std::string script_, shots_;
    int cancelAt_ = 0;
    bool cancelCopy_ = false, cancelled_ = false, copyShown_ = false;
    Watched last_, copying_;
    int settled_ = 0, pages_ = 0, lastPercent_ = -1;
    std::set<std::string> pictured_;
};

} // namespace

int main(int argc, char **argv)
{
    // A session that stops moving fails its test instead of holding it up.
    alarm(300);
    StartSetupProgram(argc, argv);
    int result = 0;
    {
        LoggedBoxes boxes;
        Person person;
        person.Start();
        result = RunSetupProgram();
        Log("end");
    }
    ShutdownApplication();
    return result;
}
