#include "platform/ui/forms.h"

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/menus.h"
#include "platform/ui/qtbridge_p.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

const TMetaClass TCustomForm::Class { "TCustomForm", &TWinControl::Class };
const TMetaClass TForm::Class { "TForm", &TCustomForm::Class };
const TMetaClass TApplication::Class { "TApplication", &TComponent::Class };
const TMetaClass TScreen::Class { "TScreen", &TComponent::Class };

// clang-format off
namespace {

const TEnumNames BorderStyleNames = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
const TEnumNames BorderIconNames = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
const TEnumNames PositionNames = {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                                  "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"};
const TEnumNames FormStyleNames = {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"};
const TEnumNames WindowStateNames = {"wsNormal", "wsMinimized", "wsMaximized"};

using P = TPublish<TCustomForm>;
const TClassRegistrar<TCustomForm> customFormRegistrar({
    //           name             getter                        setter                          default
    P::Enum     ("BorderStyle",   BorderStyleNames,
                                  &TCustomForm::BorderStyle,    &TCustomForm::SetBorderStyle,   bsSizeable),
    P::Set      ("BorderIcons",   BorderIconNames,
                                  &TCustomForm::BorderIcons,    &TCustomForm::SetBorderIcons,
                                  TBorderIcons{biSystemMenu, biMinimize, biMaximize}),
    P::String   ("Caption",       &TCustomForm::Caption,        &TCustomForm::SetCaption,       ""),
    P::Integer  ("ClientWidth",   &TCustomForm::ClientWidth,    &TCustomForm::SetClientWidth,   NoDefault, false),
    P::Integer  ("ClientHeight",  &TCustomForm::ClientHeight,   &TCustomForm::SetClientHeight,  NoDefault, false),
    P::Enum     ("Position",      PositionNames,
                                  &TCustomForm::Position,       &TCustomForm::SetPosition,      poDesigned),
    P::Enum     ("FormStyle",     FormStyleNames,
                                  &TCustomForm::FormStyle,      &TCustomForm::SetFormStyle,     fsNormal),
    P::Enum     ("WindowState",   WindowStateNames,
                                  &TCustomForm::WindowState,    &TCustomForm::SetWindowState,   wsNormal),
    P::Boolean  ("KeyPreview",    &TCustomForm::KeyPreview,     &TCustomForm::SetKeyPreview,    false),
    P::Component("ActiveControl", &TCustomForm::ActiveControl,  &TCustomForm::SetActiveControl),
    P::Component("Menu",          &TCustomForm::Menu,           &TCustomForm::SetMenu),
    P::Persistent("Icon",         &TCustomForm::Icon,           &TCustomForm::SetIcon),
    P::Integer  ("PixelsPerInch", &TCustomForm::PixelsPerInch,  &TCustomForm::SetPixelsPerInch, 96),
    P::Integer  ("TextHeight",    &TCustomForm::TextHeight,     &TCustomForm::SetTextHeight,    NoDefault),
    P::Boolean  ("Scaled",        &TCustomForm::Scaled,         &TCustomForm::SetScaled,        true),
    P::Event    ("OnCreate",      &TCustomForm::OnCreate),
    P::Event    ("OnDestroy",     &TCustomForm::OnDestroy),
    P::Event    ("OnShow",        &TCustomForm::OnShow),
    P::Event    ("OnHide",        &TCustomForm::OnHide),
    P::Event    ("OnActivate",    &TCustomForm::OnActivate),
    P::Event    ("OnDeactivate",  &TCustomForm::OnDeactivate),
    P::Event    ("OnPaint",       &TCustomForm::OnPaint),
    P::Event    ("OnClose",       &TCustomForm::OnClose),
    P::Event    ("OnCloseQuery",  &TCustomForm::OnCloseQuery),
});
const TClassRegistrar<TForm> formRegistrar({});

// The Qt application, when we made it ourselves.
std::unique_ptr<QApplication> &OwnQtApplication()
{
    static std::unique_ptr<QApplication> app;
    return app;
}

void EnsureQtApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "orvex";
    static char *argv[] = {name, nullptr};
    OwnQtApplication() = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

std::unique_ptr<TApplication> &ApplicationSlot()
{
    static std::unique_ptr<TApplication> slot;
    return slot;
}

std::unique_ptr<TScreen> &ScreenSlot()
{
    static std::unique_ptr<TScreen> slot;
    return slot;
}

// The outer frame of a form by its border style: side width and caption height.
void FrameOf(TFormBorderStyle style, int &side, int &caption)
{
    switch (style) {
    case bsNone: side = 0, caption = 0; break;
    case bsSingle: case bsDialog: side = 3, caption = kCaptionHeight; break;
    case bsToolWindow: side = 3, caption = kToolCaptionHeight; break;
    case bsSizeToolWin: side = 4, caption = kToolCaptionHeight; break;
    default: side = 4, caption = kCaptionHeight; break;
    }
}

} // namespace
// clang-format on

const TApplicationRef Application;
const TScreenRef Screen;

TApplication *TApplicationRef::operator->() const
{
    auto &slot = ApplicationSlot();
    if (!slot)
        slot = std::make_unique<TApplication>(nullptr);
    return slot.get();
}
TApplicationRef::operator TApplication *() const
{
    return operator->();
}

TScreen *TScreenRef::operator->() const
{
    auto &slot = ScreenSlot();
    if (!slot)
        slot = std::make_unique<TScreen>(nullptr);
    return slot.get();
}
TScreenRef::operator TScreen *() const
{
    return operator->();
}

void ShutdownApplication()
{
    ApplicationSlot().reset();
    ScreenSlot().reset();
    if (OwnQtApplication()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        OwnQtApplication().reset();
    }
}

void HandleBoundaryException(TObject *sender) noexcept
{
    try {
        Application->HandleException(sender);
    } catch (...) {
        // The error box itself failed; there is nobody left to tell but stderr.
        std::fputs("orvex: an error occurred while reporting an error\n", stderr);
    }
}

// ---- TCustomForm -------------------------------------------------------------------------

namespace
{

// A form's window. A form placed as a child window inside another one keeps
// Tab and Shift+Tab among its own controls, as a dialog page does.
class TFormWidget : public TBridge<QWidget>
{
public:
    using TBridge<QWidget>::TBridge;

protected:
    bool focusNextPrevChild(bool next) override
    {
        if (isWindow())
            return TBridge<QWidget>::focusNextPrevChild(next);
        QWidget *start = QApplication::focusWidget();
        if (!start || !isAncestorOf(start))
            start = this;
        for (QWidget *w = start;;) {
            w = next ? w->nextInFocusChain() : w->previousInFocusChain();
            if (w == start)
                return true;
            if (isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                return true;
            }
        }
    }
};

} // namespace

struct TApplication::Impl {
    std::string title;
    TIcon icon;
    TCustomForm *mainForm = nullptr;
    bool terminated = false;
    bool showHint = true;
    std::string hint;
    std::vector<QEventLoop *> loops;
};

struct TScreen::Impl {
    TCursor cursor = crDefault;
    std::unique_ptr<TStringList> fonts; // read once, on first use
    std::vector<TCustomForm *> forms;
};

struct TCustomForm::FormImpl {
    TFormBorderStyle borderStyle = bsSizeable;
    TBorderIcons borderIcons { biSystemMenu, biMinimize, biMaximize };
    TPosition position = poDesigned;
    TFormStyle formStyle = fsNormal;
    TWindowState windowState = wsNormal;
    TMainMenu *menu = nullptr;
    TIcon icon;
    int pixelsPerInch = 96;
    int textHeight = 13;
    bool scaled = true;
    bool keyPreview = false;
    TWinControl *activeControl = nullptr;
    unsigned focusChanges = 0; // counts SetFocusedControl calls, to see whether Qt delivered a focus event
    TModalResult modalResult = mrNone;
    bool modal = false;
    bool placed = false; // placed on the screen by Position once
    bool active = false;
    bool showing = false;
    bool closeAgreed = false; // the close box's OnClose already agreed to this modal close
    QPointer<QMenuBar> menuBar;
    std::shared_ptr<int> alive = std::make_shared<int>(0);
    QEventLoop *modalLoop = nullptr;
};

TCustomForm::TCustomForm(TComponent *owner)
    : TWinControl(owner)
    , f(std::make_unique<FormImpl>())
{
    SetVisible(false);
    SetColor(clBtnFace);
    SetBounds(0, 0, 320, 240);
    f->icon.OnChange = [this](TObject *) {
        if (QWidget *widget = TQtBoundary::Widget(this))
            widget->setWindowIcon(TGraphicAccess::Icon(f->icon));
    };
    Screen->d->forms.push_back(this);
}

TCustomForm::~TCustomForm()
{
    Destroying();
    try {
        DoDestroy();
    } catch (...) {
        HandleBoundaryException(this);
    }
    if (f->modalLoop)
        f->modalLoop->quit();
    auto &forms = Screen->d->forms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (ApplicationSlot())
        Application->FormDestroyed(this);
    // The children go first, so that none of them outlives this window.
    DestroyComponents();
}

TFormBorderStyle TCustomForm::BorderStyle() const
{
    return f->borderStyle;
}
void TCustomForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == f->borderStyle)
        return;
    f->borderStyle = style;
    RecreateWnd();
    Realign();
}

TBorderIcons TCustomForm::BorderIcons() const
{
    return f->borderIcons;
}
void TCustomForm::SetBorderIcons(TBorderIcons icons)
{
    f->borderIcons = icons;
    RecreateWnd();
}

TPosition TCustomForm::Position() const
{
    return f->position;
}
void TCustomForm::SetPosition(TPosition position)
{
    f->position = position;
}
TFormStyle TCustomForm::FormStyle() const
{
    return f->formStyle;
}
void TCustomForm::SetFormStyle(TFormStyle style)
{
    f->formStyle = style;
    RecreateWnd();
}
TWindowState TCustomForm::WindowState() const
{
    return f->windowState;
}
void TCustomForm::SetWindowState(TWindowState state)
{
    f->windowState = state;
    if (QWidget *widget = TQtBoundary::Widget(this); widget && widget->isVisible())
        widget->setWindowState(state == wsMinimized ? Qt::WindowMinimized
                : state == wsMaximized              ? Qt::WindowMaximized
                                                    : Qt::WindowNoState);
}

TMainMenu *TCustomForm::Menu() const
{
    return f->menu;
}
void TCustomForm::SetMenu(TMainMenu *menu)
{
    if (menu == f->menu)
        return;
    if (f->menu)
        f->menu->RemoveFreeNotification(this);
    f->menu = menu;
    if (menu)
        menu->FreeNotification(this);
    ApplyMenu();
    Realign();
}

TIcon *TCustomForm::Icon() const
{
    return &f->icon;
}
void TCustomForm::SetIcon(TIcon *icon)
{
    f->icon.Assign(icon);
}
int TCustomForm::PixelsPerInch() const
{
    return f->pixelsPerInch;
}
void TCustomForm::SetPixelsPerInch(int value)
{
    f->pixelsPerInch = value;
}
int TCustomForm::TextHeight() const
{
    return f->textHeight;
}
void TCustomForm::SetTextHeight(int value)
{
    f->textHeight = value;
}
bool TCustomForm::Scaled() const
{
    return f->scaled;
}
void TCustomForm::SetScaled(bool value)
{
    f->scaled = value;
}

TRect TCustomForm::ClientRect() const
{
    int side = 0, caption = 0;
    FrameOf(f->borderStyle, side, caption);
    int menu = f->menu ? kMenuHeight : 0;
    return Bounds(0, 0, std::max(0, Width() - 2 * side), std::max(0, Height() - 2 * side - caption - menu));
}

bool TCustomForm::KeyPreview() const
{
    return f->keyPreview;
}
void TCustomForm::SetKeyPreview(bool keyPreview)
{
    f->keyPreview = keyPreview;
}

TWinControl *TCustomForm::ActiveControl() const
{
    return f->activeControl;
}

void TCustomForm::SetActiveControl(TWinControl *control)
{
    if (control == this)
        control = nullptr;
    if (control && !ContainsControl(control))
        throw EInvalidOperation("Invalid ActiveControl value");
    if (control && control->Owner() != this)
        control->FreeNotification(this);
    if (ComponentState().Contains(csLoading) || !Visible()) {
        f->activeControl = control;
        return;
    }
    if (!control) {
        // The form itself takes the focus, so that keys still reach it.
        TWinControl *old = std::exchange(f->activeControl, nullptr);
        if (QWidget *widget = TQtBoundary::Widget(this))
            widget->setFocus(Qt::OtherFocusReason);
        if (old)
            old->Perform(CM_EXIT, 0, 0);
        return;
    }
    if (!control->CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    control->HandleNeeded();
    const unsigned changesBefore = f->focusChanges;
    TQtBoundary::Widget(control)->setFocus(Qt::OtherFocusReason);
    // Without an active window Qt delivers no focus event; the form still
    // knows which control is the active one. When the event did arrive, the
    // focus change has run already, and the old control may have refused its
    // exit by taking the focus back: telling it again would exit it twice.
    if (f->focusChanges == changesBefore)
        SetFocusedControl(control);
}

void TCustomForm::SetFocusedControl(TWinControl *control)
{
    ++f->focusChanges;
    if (control == this)
        control = nullptr;
    if (control == f->activeControl)
        return;
    // However the focus came (a click, Tab, a window activated), the form
    // hears when its active control is freed, as SetActiveControl arranges.
    if (control && control->Owner() != this)
        control->FreeNotification(this);
    TWinControl *old = std::exchange(f->activeControl, control);
    if (old)
        old->Perform(CM_EXIT, 0, 0);
    if (control && f->activeControl == control)
        control->Perform(CM_ENTER, 0, 0);
}

bool TCustomForm::Active() const
{
    return f->active;
}

TModalResult TCustomForm::ModalResult() const
{
    return f->modalResult;
}
void TCustomForm::SetModalResult(TModalResult result)
{
    f->modalResult = result;
    if (result != mrNone && f->modalLoop)
        f->modalLoop->quit();
}

bool TCustomForm::IsModal() const
{
    return f->modal;
}

TModalResult TCustomForm::ShowModal()
{
    if (Visible() || !Enabled() || f->modal)
        throw EInvalidOperation("Cannot make a visible window modal");
    f->modal = true;
    f->modalResult = mrNone;
    std::weak_ptr<int> alive = f->alive;
    HandleNeeded();
    QWidget *widget = TQtBoundary::Widget(this);
    widget->setWindowModality(Qt::ApplicationModal);
    KeepOverMainForm();
    QEventLoop loop;
    f->modalLoop = &loop;
    Application->d->loops.push_back(&loop);
    // Whatever ends the modal state (a result, the form freed, or OnShow or
    // a page refresh raising), the loop leaves the application's list and
    // a form that still lives is back to modeless and hidden.
    struct ModalState {
        TCustomForm *form;
        QEventLoop *loop;
        std::weak_ptr<int> alive;
        bool left = false;
        void Leave()
        {
            left = true;
            auto &loops = Application->d->loops;
            loops.erase(std::remove(loops.begin(), loops.end(), loop), loops.end());
            if (!alive.lock())
                return;
            form->f->modalLoop = nullptr;
            form->f->modal = false;
            form->Hide();
            if (QWidget *w = TQtBoundary::Widget(form))
                w->setWindowModality(Qt::NonModal);
        }
        ~ModalState()
        {
            if (left)
                return;
            try {
                Leave();
            } catch (...) {
                HandleBoundaryException(form);
            }
        }
    } state{ this, &loop, alive };
    Show();
    while (alive.lock()) {
        if (f->modalResult == mrNone && !Application->Terminated())
            loop.exec();
        if (!alive.lock())
            break;
        if (Application->Terminated())
            f->modalResult = mrCancel;
        if (f->modalResult != mrNone) {
            CloseModal();
            if (f->modalResult != mrNone || Application->Terminated())
                break;
        }
    }
    if (!alive.lock()) {
        state.Leave();
        return mrCancel;
    }
    TModalResult result = f->modalResult != mrNone ? f->modalResult : mrCancel;
    state.Leave();
    return result;
}

void TCustomForm::WindowClose()
{
    if (!f->modal) {
        Close();
        return;
    }
    // The close box of a modal form asks OnClose with the ModalResult as it
    // stands, so that a form which refuses to close without a result can.
    try {
        if (!CloseQuery())
            return;
        TCloseAction action = caHide;
        DoClose(action);
        if (action == caNone)
            return;
    } catch (...) {
        HandleBoundaryException(this);
        return;
    }
    f->closeAgreed = true;
    // OnCloseQuery may have chosen the result itself (a save on closing).
    SetModalResult(f->modalResult == mrNone ? mrCancel : f->modalResult);
}

void TCustomForm::KeepOverMainForm()
{
    // A modal window belongs to the main window, as an owned window does on
    // Windows: the window manager keeps it above and never lists it apart.
    QWidget *widget = TQtBoundary::Widget(this);
    TCustomForm *main = Application->MainForm();
    QWidget *mainWidget = main && main != this ? TQtBoundary::Widget(main) : nullptr;
    if (!widget || !widget->isWindow() || !mainWidget || !mainWidget->isWindow())
        return;
    widget->winId();
    mainWidget->winId();
    if (widget->windowHandle() && mainWidget->windowHandle())
        widget->windowHandle()->setTransientParent(mainWidget->windowHandle());
}

void TCustomForm::CloseModal()
{
    if (std::exchange(f->closeAgreed, false))
        return;
    try {
        TCloseAction action = caHide;
        if (CloseQuery())
            DoClose(action);
        else
            action = caNone;
        if (action == caNone)
            f->modalResult = mrNone;
    } catch (...) {
        f->modalResult = mrNone;
        HandleBoundaryException(this);
    }
}

void TCustomForm::Close()
{
    if (f->modal) {
        // A result set just before (a Finish button sets mrOk, then closes) stands.
        if (f->modalResult == mrNone)
            SetModalResult(mrCancel);
        else if (f->modalLoop)
            f->modalLoop->quit();
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = Application->MainForm() == this ? caFree : caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application->MainForm() == this)
        Application->Terminate();
    else if (action == caHide)
        Hide();
    else if (action == caMinimize)
        SetWindowState(wsMinimized);
    else
        Release();
}

void TCustomForm::Release()
{
    std::weak_ptr<int> alive = f->alive;
    EnsureQtApplication();
    QMetaObject::invokeMethod(
        qApp,
        [alive, this] {
            if (alive.lock())
                GuardedCall(this, [this] { delete this; });
        },
        Qt::QueuedConnection);
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::BringToFront()
{
    if (QWidget *widget = TQtBoundary::Widget(this)) {
        widget->raise();
        widget->activateWindow();
    }
}

void TCustomForm::InitializeForm()
{
    const TMetaClass &root = InheritsFrom(TForm::Class) ? TForm::Class : TCustomForm::Class;
    if (!InitInheritedComponent(this, root) && ClassType() != &TForm::Class
        && ClassType() != &TCustomForm::Class)
        throw EResNotFound(std::string("Resource ") + ClassName() + " not found");
    DoCreate();
    if (Visible() && !TQtBoundary::Widget(this))
        Perform(CM_VISIBLECHANGED, 1, 0);
}

void TCustomForm::DoCreate()
{
    // An error in OnCreate is shown, and the form still exists.
    try {
        OnCreate(this);
    } catch (...) {
        HandleBoundaryException(this);
    }
}

void TCustomForm::DoDestroy()
{
    OnDestroy(this);
}
void TCustomForm::DoShow()
{
    OnShow(this);
}
void TCustomForm::DoHide()
{
    OnHide(this);
}
void TCustomForm::DoClose(TCloseAction &action)
{
    OnClose(this, action);
}
void TCustomForm::Activate()
{
    OnActivate(this);
}
void TCustomForm::Deactivate()
{
    OnDeactivate(this);
}

void TCustomForm::Paint()
{
    TCanvas *canvas = Canvas();
    if (QWidget *widget = TQtBoundary::Widget(this))
        canvas->FillRect(Bounds(0, 0, widget->width(), widget->height()));
    OnPaint(this);
}

void TCustomForm::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    // A form placed in another control is a child window; any other one is a
    // top-level window.
    bool child = Parent() != nullptr;
    params.Style = WS_CLIPCHILDREN | (child ? WS_CHILD | WS_CLIPSIBLINGS : 0);
    if (!child)
        params.WndParent = nullptr;
    switch (f->borderStyle) {
    case bsNone:
        params.Style |= child ? 0 : WS_POPUP;
        break;
    case bsSingle:
        params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsDialog:
        params.Style |= WS_CAPTION | WS_DLGFRAME;
        params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_BORDER;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_THICKFRAME;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    default:
        params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    }
    if (f->borderStyle != bsNone) {
        if (f->borderIcons.Contains(biSystemMenu))
            params.Style |= WS_SYSMENU;
        if (f->borderIcons.Contains(biMinimize) && f->borderStyle != bsDialog)
            params.Style |= WS_MINIMIZEBOX;
        if (f->borderIcons.Contains(biMaximize)
            && (f->borderStyle == bsSingle || f->borderStyle == bsSizeable))
            params.Style |= WS_MAXIMIZEBOX;
    }
    if (f->formStyle == fsStayOnTop)
        params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWindowHandle(const TCreateParams &params)
{
    EnsureQtApplication();
    // A child form lives in its parent window (or the window CreateParams names).
    QWidget *host = nullptr;
    if (params.Style & WS_CHILD) {
        TWinControl *parent = FindControl(params.WndParent);
        host = parent ? TQtBoundary::ClientWidget(parent) : TQtBoundary::ParentWidgetFor(this);
    }
    auto *widget = new TFormWidget(this, host);
    if (!host) {
        Qt::WindowFlags flags = Qt::Window;
        if (params.Style & WS_POPUP) {
            flags |= Qt::FramelessWindowHint;
        } else {
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
            if (params.Style & WS_SYSMENU)
                flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            if (params.Style & WS_MINIMIZEBOX)
                flags |= Qt::WindowMinimizeButtonHint;
            if (params.Style & WS_MAXIMIZEBOX)
                flags |= Qt::WindowMaximizeButtonHint;
        }
        if (params.ExStyle & WS_EX_TOPMOST)
            flags |= Qt::WindowStaysOnTopHint;
        widget->setWindowFlags(flags);
    }
    widget->setWindowTitle(QString::fromStdString(params.Caption));
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!f->icon.Empty())
        widget->setWindowIcon(TGraphicAccess::Icon(f->icon));
    auto *client = new QWidget(widget);
    client->setObjectName("client");
    TQtBoundary::SetWidget(this, widget);
    TQtBoundary::SetClientWidget(this, client);
    ApplyMenu();
}

void TCustomForm::ApplyMenu()
{
    QWidget *widget = TQtBoundary::Widget(this);
    if (!widget)
        return;
    delete f->menuBar.data();
    if (f->menu) {
        auto *bar = new QMenuBar(widget);
        bar->setNativeMenuBar(false);
        f->menu->FillMenuBar(bar);
        bar->show();
        f->menuBar = bar;
    }
    UpdateBounds();
}

void TCustomForm::UpdateBounds()
{
    QWidget *widget = TQtBoundary::Widget(this);
    if (!widget)
        return;
    TRect client = ClientRect();
    int menu = f->menuBar ? kMenuHeight : 0;
    QSize size(client.Width(), client.Height() + menu);
    // A maximised or full-screen window is placed by the window system; moving
    // or sizing it would take it out of that state at the wrong place.
    const bool systemPlaced
        = widget->isWindow() && (widget->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (!widget->isWindow()) {
        widget->setGeometry(Left(), Top(), size.width(), size.height());
    } else if (!systemPlaced) {
        widget->move(Left(), Top());
    }
    if (!systemPlaced && widget->size() != size)
        widget->resize(size);
    bool sizeable = f->borderStyle == bsSizeable || f->borderStyle == bsSizeToolWin || !widget->isWindow();
    if (sizeable)
        widget->setMinimumSize(0, 0), widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    else
        widget->setFixedSize(size);
    if (f->menuBar)
        f->menuBar->setGeometry(0, 0, client.Width(), kMenuHeight);
    if (QWidget *clientWidget = TQtBoundary::ClientWidget(this); clientWidget && clientWidget != widget)
        clientWidget->setGeometry(0, menu, client.Width(), client.Height());
}

void TCustomForm::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_CLOSE:
        WindowClose();
        return;
    case WM_SIZE:
        // The user resized the window: its outer size follows.
        if (QWidget *widget = TQtBoundary::Widget(this)) {
            int side = 0, caption = 0;
            FrameOf(f->borderStyle, side, caption);
            int width = widget->width() + 2 * side, height = widget->height() + 2 * side + caption;
            if (width != Width() || height != Height())
                SetBounds(Left(), Top(), width, height);
        }
        Realign();
        return;
    case CM_ACTIVATE:
        f->active = true;
        if (f->activeControl && TQtBoundary::Widget(f->activeControl))
            TQtBoundary::Widget(f->activeControl)->setFocus(Qt::ActiveWindowFocusReason);
        Activate();
        return;
    case CM_DEACTIVATE:
        f->active = false;
        Deactivate();
        return;
    default:
        TWinControl::Dispatch(message);
    }
}

void TCustomForm::PlaceOnScreen()
{
    if (f->placed)
        return;
    f->placed = true;
    TCustomForm *over = nullptr;
    if (f->position == poMainFormCenter)
        over = Application->MainForm();
    else if (f->position == poOwnerFormCenter)
        over = dynamic_cast<TCustomForm *>(Owner());
    if (over == this)
        over = nullptr;
    if (over && over->Visible()) {
        SetBounds(over->Left() + (over->Width() - Width()) / 2, over->Top() + (over->Height() - Height()) / 2,
            Width(), Height());
    } else if (f->position == poScreenCenter || f->position == poDesktopCenter
        || f->position == poMainFormCenter || f->position == poOwnerFormCenter) {
        SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
    }
}

void TCustomForm::CMVisibleChanged(TMessage &message)
{
    if (ComponentState().Contains(csLoading))
        return;
    bool visible = message.WParam != 0;
    if (QWidget *widget = TQtBoundary::Widget(this); widget && !widget->isWindow()) {
        widget->setVisible(visible);
        visible ? DoShow() : DoHide();
        return;
    }
    if (visible) {
        HandleNeeded();
        PlaceOnScreen();
        QWidget *widget = TQtBoundary::Widget(this);
        widget->show();
        widget->activateWindow();
        if (f->activeControl && f->activeControl->CanFocus()) {
            f->activeControl->HandleNeeded();
            TQtBoundary::Widget(f->activeControl)->setFocus(Qt::OtherFocusReason);
        } else {
            widget->setFocus(Qt::OtherFocusReason);
        }
        DoShow();
    } else if (QWidget *widget = TQtBoundary::Widget(this)) {
        widget->hide();
        DoHide();
    }
}

void TCustomForm::Loaded()
{
    TWinControl::Loaded();
    ApplyMenu();
}

void TCustomForm::Notification(TComponent *component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == f->menu) {
        f->menu = nullptr;
        if (!ComponentState().Contains(csDestroying))
            ApplyMenu();
    }
    if (component == f->activeControl)
        f->activeControl = nullptr;
}

TForm::TForm(TComponent *owner)
    : TCustomForm(owner)
{
}

TCustomForm *GetParentForm(const TControl *control)
{
    const TControl *top = control;
    while (top && top->Parent())
        top = top->Parent();
    return const_cast<TCustomForm *>(dynamic_cast<const TCustomForm *>(top));
}

TCustomForm *NewForm(const TMetaClass &formClass, TComponent *owner)
{
    if (!formClass.InheritsFrom(TCustomForm::Class))
        throw EInvalidOperation(std::string(formClass.ClassName()) + " is not a form class");
    return InitializeNewForm(static_cast<TCustomForm *>(CreateComponent(formClass, owner)));
}

TCustomForm *InitializeNewForm(TCustomForm *form)
{
    try {
        form->InitializeForm();
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}

// ---- TApplication ------------------------------------------------------------------------------

TApplication::TApplication(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
    EnsureQtApplication();
    // "OtherForm.Table1" in a resource names a component of another form.
    SetFindGlobalComponent([](const std::string &name) -> TComponent * {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (SameText(Screen->Forms(i)->Name(), name))
                return Screen->Forms(i);
        return nullptr;
    });
    d->icon.OnChange = [this](TObject *) { QApplication::setWindowIcon(TGraphicAccess::Icon(d->icon)); };
}

TApplication::~TApplication()
{
    Destroying();
    DestroyComponents();
}

void TApplication::Initialize()
{
    EnsureQtApplication();
}

void TApplication::FormCreated(TCustomForm *form)
{
    if (!d->mainForm)
        d->mainForm = form;
}

void TApplication::FormDestroyed(TCustomForm *form)
{
    if (d->mainForm == form)
        d->mainForm = nullptr;
}

void TApplication::CreateForm(const TMetaClass &formClass, TCustomForm *&reference)
{
    reference = NewForm(formClass, this);
    FormCreated(reference);
}

void TApplication::Run()
{
    if (d->mainForm && !d->terminated) {
        d->mainForm->Show();
    }
    QEventLoop loop;
    d->loops.push_back(&loop);
    while (!d->terminated && d->mainForm)
        loop.exec();
    d->loops.erase(std::remove(d->loops.begin(), d->loops.end(), &loop), d->loops.end());
}

void TApplication::Terminate()
{
    d->terminated = true;
    for (QEventLoop *loop : d->loops)
        loop->quit();
}

bool TApplication::Terminated() const
{
    return d->terminated;
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace
{

// Holds back every input event delivered while it exists and posts them
// again, in order, when it goes. The event loop's own exclusion covers input
// from the window system only; this covers posted input as well.
class TInputHolder : public QObject
{
public:
    TInputHolder() { QCoreApplication::instance()->installEventFilter(this); }
    ~TInputHolder() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        for (auto &[receiver, event] : held_)
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
    }
    TInputHolder(const TInputHolder &) = delete;
    TInputHolder &operator=(const TInputHolder &) = delete;

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (!event->isInputEvent())
            return false;
        held_.emplace_back(receiver, event->clone());
        return true;
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

} // namespace

void TApplication::ProcessMessagesExceptInput()
{
    TInputHolder holder;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TApplication::HandleMessage()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

std::string TApplication::Title() const
{
    if (!d->title.empty())
        return d->title;
    std::string exe = ExeName();
    size_t slash = exe.find_last_of('/');
    std::string base = slash == std::string::npos ? exe : exe.substr(slash + 1);
    return base;
}

void TApplication::SetTitle(const std::string &title)
{
    // Not Qt's application display name: the window system would add it to
    // every window's title, where a form's caption is the whole title.
    d->title = title;
}

TIcon *TApplication::Icon() const
{
    return &d->icon;
}
void TApplication::SetIcon(TIcon *icon)
{
    d->icon.Assign(icon);
}
TCustomForm *TApplication::MainForm() const
{
    return d->mainForm;
}

std::string TApplication::ExeName() const
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

bool TApplication::ShowHint() const
{
    return d->showHint;
}
void TApplication::SetShowHint(bool showHint)
{
    d->showHint = showHint;
}
std::string TApplication::Hint() const
{
    return d->hint;
}
void TApplication::SetHint(const std::string &hint)
{
    if (hint == d->hint)
        return;
    d->hint = hint;
    OnHint(this);
}

void TApplication::HandleException(TObject *sender)
{
    std::exception_ptr current = std::current_exception();
    if (!current)
        return;
    auto report = [&](Exception &e) {
        if (OnException)
            OnException(sender, e);
        else
            ShowException(e);
    };
    try {
        std::rethrow_exception(current);
    } catch (EAbort &) {
    } catch (Exception &e) {
        report(e);
    } catch (std::exception &e) {
        Exception wrapped(e.what());
        report(wrapped);
    } catch (...) {
        Exception wrapped("Unknown exception");
        report(wrapped);
    }
}

void TApplication::ShowException(const Exception &e)
{
    std::string text = e.Message();
    if (!text.empty() && text.back() != '.')
        text += '.';
    MessageBox(text, Title(), MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string &text, const std::string &caption, uint32_t flags)
{
    HWND owner = nullptr;
    if (TCustomForm *form = Screen->ActiveForm(); form && form->HandleAllocated())
        owner = form->Handle();
    return ::MessageBox(owner, text, caption, flags);
}

// ---- TScreen ---------------------------------------------------------------------------------------

TScreen::TScreen(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
}
TScreen::~TScreen() = default;

TCursor TScreen::Cursor() const
{
    return d->cursor;
}

void TScreen::SetCursor(TCursor cursor)
{
    if (cursor == d->cursor)
        return;
    bool had = d->cursor != crDefault;
    d->cursor = cursor;
    if (!QGuiApplication::instance())
        return;
    if (cursor == crDefault) {
        if (had)
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    QCursor shape(cursor == crHourGlass                   ? Qt::WaitCursor
            : cursor == crIBeam                           ? Qt::IBeamCursor
            : cursor == crCross                           ? Qt::CrossCursor
            : cursor == crSQLWait || cursor == crAppStart ? Qt::BusyCursor
            : cursor == crHandPoint                       ? Qt::PointingHandCursor
            : cursor == crNo || cursor == crNoDrop        ? Qt::ForbiddenCursor
                                                          : Qt::ArrowCursor);
    if (had)
        QGuiApplication::changeOverrideCursor(shape);
    else
        QGuiApplication::setOverrideCursor(shape);
}

TCustomForm *TScreen::ActiveForm() const
{
    QWidget *active = QApplication::activeWindow();
    for (TCustomForm *form : d->forms)
        if (TQtBoundary::Widget(form) && TQtBoundary::Widget(form) == active)
            return form;
    for (TCustomForm *form : d->forms)
        if (form->Active())
            return form;
    // Without a window system's notion of activity, the last modal or
    // visible form is the active one.
    for (auto it = d->forms.rbegin(); it != d->forms.rend(); ++it)
        if ((*it)->IsModal())
            return *it;
    for (auto it = d->forms.rbegin(); it != d->forms.rend(); ++it)
        if ((*it)->Visible())
            return *it;
    return nullptr;
}

TWinControl *TScreen::ActiveControl() const
{
    TCustomForm *form = ActiveForm();
    return form ? form->ActiveControl() : nullptr;
}

int TScreen::FormCount() const
{
    return static_cast<int>(d->forms.size());
}

TCustomForm *TScreen::Forms(int index) const
{
    if (index < 0 || index >= FormCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return d->forms[static_cast<size_t>(index)];
}

int TScreen::Width() const
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const
{
    return GetSystemMetrics(SM_CYSCREEN);
}

TStrings *TScreen::Fonts() const
{
    if (!d->fonts) {
        d->fonts = std::make_unique<TStringList>();
        for (const QString &family : QFontDatabase::families())
            d->fonts->Add(family.toStdString());
    }
    return d->fonts.get();
}
