#pragma once

#include "platform/ui/controls.h"
#include "platform/ui/services.h"

#include <memory>
#include <string>

// Forms, the application object and the screen.

class TMainMenu;

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = mrNo + 1;
constexpr TModalResult mrNoToAll = mrAll + 1;
constexpr TModalResult mrYesToAll = mrNoToAll + 1;

using TCloseEvent = TEvent<TObject *, TCloseAction &>;
using TCloseQueryEvent = TEvent<TObject *, bool &>;

class TCustomForm : public TWinControl
{
public:
    // Makes an empty form; NewForm below makes one from its resource.
    explicit TCustomForm(TComponent *owner);
    ~TCustomForm() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Frame
    TFormBorderStyle BorderStyle() const;
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const;
    void SetBorderIcons(TBorderIcons icons);
    TPosition Position() const;
    void SetPosition(TPosition position);
    TFormStyle FormStyle() const;
    void SetFormStyle(TFormStyle style);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    TMainMenu *Menu() const;
    void SetMenu(TMainMenu *menu);
    TIcon *Icon() const;
    void SetIcon(TIcon *icon);
    TRect ClientRect() const override;
    // Kept from resources of the old design; sizes are not rescaled.
    int PixelsPerInch() const;
    void SetPixelsPerInch(int value);
    int TextHeight() const;
    void SetTextHeight(int value);
    bool Scaled() const;
    void SetScaled(bool value);

    // Keys and focus
    bool KeyPreview() const;
    void SetKeyPreview(bool keyPreview);
    TWinControl *ActiveControl() const;
    void SetActiveControl(TWinControl *control);
    // Called when a control inside receives the focus: the old one hears
    // CM_EXIT and the new one CM_ENTER.
    void SetFocusedControl(TWinControl *control);
    bool Active() const;

    // Showing and closing
    TModalResult ModalResult() const;
    void SetModalResult(TModalResult result);
    // Shows the form and runs a message loop until ModalResult is set (and
    // OnCloseQuery agrees); answers the ModalResult.
    virtual TModalResult ShowModal();
    void Close();
    // Frees the form once the event being handled is over.
    void Release();
    bool CloseQuery();
    void BringToFront();
    bool IsModal() const;

    // Events
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // Reads the form's resources (its class's and its ancestors') and runs
    // OnCreate. NewForm does this; a form made in code without a resource
    // may call it to run OnCreate.
    void InitializeForm();

protected:
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction &action);
    virtual void Activate();
    virtual void Deactivate();
    void Paint() override;
    bool PaintsItself() const override { return true; }

    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void UpdateBounds() override;
    void Dispatch(TMessage &message) override;
    void CMVisibleChanged(TMessage &message) override;
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    struct FormImpl;
    std::unique_ptr<FormImpl> const f;
    void ApplyMenu();
    void PlaceOnScreen();
    void CloseModal();
    void WindowClose();
    void KeepOverMainForm();
    friend struct TQtBoundary;
    friend class TApplication;
};

class TForm : public TCustomForm
{
public:
    explicit TForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The form a control sits on, or null.
TCustomForm *GetParentForm(const TControl *control);

// Runs InitializeForm on a form just made; when that fails the form is freed
// again and the error raised. The second half of NewForm.
TCustomForm *InitializeNewForm(TCustomForm *form);

// Makes a form of class T (or of a registered form class) owned by owner
// from its resource and runs its OnCreate. When reading fails the form is
// freed again and the error raised.
TCustomForm *NewForm(const TMetaClass &formClass, TComponent *owner);
template <typename T> T *NewForm(TComponent *owner)
{
    return static_cast<T *>(InitializeNewForm(new T(owner)));
}

using TExceptionEvent = TEvent<TObject *, Exception &>;

// The program: its forms, its one message loop and its error box.
class TApplication : public TComponent
{
public:
    explicit TApplication(TComponent *owner);
    ~TApplication() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Start and message loop
    void Initialize();
    // Makes a form owned by the application from its resource; the first
    // one made becomes the main form.
    template <typename T> void CreateForm(T *&reference)
    {
        reference = NewForm<T>(this);
        FormCreated(reference);
    }
    void CreateForm(const TMetaClass &formClass, TCustomForm *&reference);
    // Shows the main form and runs the message loop until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const;
    // Handles every pending event, then returns.
    void ProcessMessages();
    // Handles pending painting, timers and every other event that is not
    // input, then returns. Keys and mouse input waiting meanwhile stay queued,
    // in their order, for the message loop: work that shows its progress this
    // way is not re-entered by what the user typed ahead.
    void ProcessMessagesExceptInput();
    // Waits for one event and handles it (with what follows it at once).
    void HandleMessage();

    // Identity
    std::string Title() const;
    void SetTitle(const std::string &title);
    TIcon *Icon() const;
    void SetIcon(TIcon *icon);
    TCustomForm *MainForm() const;
    std::string ExeName() const;
    bool ShowHint() const;
    void SetShowHint(bool showHint);
    // The long part of the hint of what the mouse is over (a control or a
    // menu item); OnHint runs when it changes.
    std::string Hint() const;
    void SetHint(const std::string &hint);
    TNotifyEvent OnHint;

    // Errors: HandleException must be called inside a catch block; it gives
    // the exception to OnException, or shows it in the default error box.
    // EAbort is silent.
    void HandleException(TObject *sender);
    void ShowException(const Exception &e);
    int MessageBox(const std::string &text, const std::string &caption, uint32_t flags = MB_OK);

    TExceptionEvent OnException;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    void FormCreated(TCustomForm *form);
    void FormDestroyed(TCustomForm *form);
    friend class TCustomForm;
};

// The screen: the cursor shown everywhere, the forms and the focus.
class TScreen : public TComponent
{
public:
    explicit TScreen(TComponent *owner);
    ~TScreen() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The cursor shown over every window; crDefault lets each control's own show.
    TCursor Cursor() const;
    void SetCursor(TCursor cursor);
    TCustomForm *ActiveForm() const;
    TWinControl *ActiveControl() const;
    int FormCount() const;
    TCustomForm *Forms(int index) const;
    int Width() const;
    int Height() const;
    int PixelsPerInch() const { return 96; }
    // The font families installed on the machine.
    TStrings *Fonts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    friend class TCustomForm;
};

// The program's one application object and screen, made on first use.
// Application->Initialize() makes the Qt application when none exists yet.
struct TApplicationRef {
    TApplication *operator->() const;
    operator TApplication *() const;
};
struct TScreenRef {
    TScreen *operator->() const;
    operator TScreen *() const;
};
extern const TApplicationRef Application;
extern const TScreenRef Screen;

// Frees the application object (and with it every form it owns) and the
// Qt application it made; for the end of a program or a test run.
void ShutdownApplication();
