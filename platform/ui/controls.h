#pragma once

#include "platform/classes/classes.h"
#include "platform/rtl/events.h"
#include "platform/ui/geometry.h"
#include "platform/ui/graphics.h"
#include "platform/ui/messages.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Controls: the visual components. A TControl sits in a parent TWinControl;
// a TWinControl has a native window (a Qt widget) made the first time it is
// needed, from the style bits of CreateParams. Everything a control is told
// before that is kept and applied when the window is made.

class TWinControl;
class TCustomForm;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;
// Border styles of forms; other controls use bsNone and bsSingle only.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TKeyEvent = TEvent<TObject *, uint16_t &, TShiftState>; // Key is a VK_ code; 0 swallows it
using TKeyPressEvent = TEvent<TObject *, char32_t &>; // Key is a character; 0 swallows it
using TMouseEvent = TEvent<TObject *, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject *, TShiftState, int, int>;

// The shift state of the event being handled now (keys and mouse buttons).
TShiftState KeyboardShiftState();
// Whether a key is down now, as far as the events seen so far tell:
// negative (high bit set) when down.
int16_t GetKeyState(int virtualKey);
// The whole keyboard: 0x80 for each key down, as GetKeyState tells. Setting
// it changes what GetKeyState answers until the next key event.
using TKeyboardState = std::array<uint8_t, 256>;
void GetKeyboardState(TKeyboardState &state);
void SetKeyboardState(const TKeyboardState &state);

// A hint "Short | Long": the part before the bar shows beside the control,
// the part after it in a status line. Without a bar both are the whole hint.
std::string GetShortHint(const std::string &hint);
std::string GetLongHint(const std::string &hint);

// How a window is made: style bits and the parent window.
struct TCreateParams {
    std::string Caption;
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    std::string WinClassName; // "EDIT", "LISTBOX", ...: which native widget serves it
};

class TControl : public TComponent
{
public:
    explicit TControl(TComponent *owner);
    ~TControl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Place
    TWinControl *Parent() const;
    virtual void SetParent(TWinControl *parent);
    int Left() const;
    void SetLeft(int left);
    int Top() const;
    void SetTop(int top);
    int Width() const;
    void SetWidth(int width);
    int Height() const;
    void SetHeight(int height);
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const;
    void SetBoundsRect(const TRect &rect);
    int ClientWidth() const;
    void SetClientWidth(int width);
    int ClientHeight() const;
    void SetClientHeight(int height);
    virtual TRect ClientRect() const;
    TPoint ClientToScreen(TPoint point) const;
    TPoint ScreenToClient(TPoint point) const;
    TAlign Align() const;
    void SetAlign(TAlign align);

    // Look
    bool Visible() const;
    void SetVisible(bool visible);
    void Show();
    void Hide();
    bool Enabled() const;
    virtual void SetEnabled(bool enabled);
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string &caption) { SetText(caption); }
    std::string Text() const { return GetText(); }
    void SetText(const std::string &text);
    TColor Color() const;
    void SetColor(TColor color);
    bool ParentColor() const;
    void SetParentColor(bool parentColor);
    TFont *Font() const;
    void SetFont(TFont *font);
    bool ParentFont() const;
    void SetParentFont(bool parentFont);
    bool Ctl3D() const;
    void SetCtl3D(bool ctl3D);
    bool ParentCtl3D() const;
    void SetParentCtl3D(bool parentCtl3D);
    TCursor Cursor() const;
    void SetCursor(TCursor cursor);
    std::string Hint() const;
    void SetHint(const std::string &hint);
    bool ShowHint() const;
    void SetShowHint(bool showHint);
    bool ParentShowHint() const;
    void SetParentShowHint(bool parentShowHint);
    TPopupMenu *PopupMenu() const;
    void SetPopupMenu(TPopupMenu *menu);

    // Mouse capture: while on, every mouse event goes to this control,
    // wherever the mouse is.
    bool MouseCapture() const;
    void SetMouseCapture(bool capture);

    // Painting
    void Invalidate();
    void Update();
    void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // Messages: Perform hands a message to WindowProc and answers its Result.
    LRESULT Perform(uint32_t msg, WPARAM wParam, LPARAM lParam);
    virtual void WndProc(TMessage &message);
    // Runs the handler of the message's number; DefaultHandler when none.
    virtual void Dispatch(TMessage &message);
    // What the native window does with a message nobody handled.
    virtual void DefaultHandler(TMessage &message);

    // Streaming
    bool HasParent() const override { return true; }
    TComponent *GetParentComponent() const override;
    void SetParentComponent(TComponent *parent) override;

    // Events
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnResize;

    // Runs OnClick, as a mouse click does.
    virtual void Click();

    // Expires when the control is destroyed: a handler may free the control
    // that called it, and the caller must not touch it afterwards.
    std::weak_ptr<int> AliveToken() const;

protected:
    virtual std::string GetText() const;
    virtual void SetTextValue(const std::string &text); // stores the text; SetText then says CM_TEXTCHANGED
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void Resize();
    // Draws the control on Canvas (for controls that paint themselves).
    virtual void Paint();
    // Whether the control draws itself through its Canvas on WM_PAINT
    // (labels, panels, images); native widgets draw themselves.
    virtual bool PaintsItself() const { return false; }
    TCanvas *Canvas() const;
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    // Whether hints show for this control (its own ShowHint or its parent's).
    bool ShowHintNow() const;

    // Handlers of the messages every control knows.
    virtual void WMPaint(TMessage &message);
    virtual void WMLButtonDown(TMessage &message);
    virtual void WMLButtonUp(TMessage &message);
    virtual void WMLButtonDblClk(TMessage &message);
    virtual void WMRButtonDown(TMessage &message);
    virtual void WMRButtonUp(TMessage &message);
    virtual void WMMouseMove(TMessage &message);
    virtual void CMEnabledChanged(TMessage &message);
    virtual void CMFontChanged(TMessage &message);
    virtual void CMColorChanged(TMessage &message);
    virtual void CMTextChanged(TMessage &message);
    virtual void CMVisibleChanged(TMessage &message);
    virtual void CMParentFontChanged(TMessage &message);
    virtual void CMParentColorChanged(TMessage &message);
    virtual void CMMouseEnter(TMessage &message);
    virtual void CMMouseLeave(TMessage &message);

    // The control's state reaches its window through these.
    virtual void CreateControlWidget(); // a control without a window of its own: its light widget
    void ApplyAll(); // everything so far, onto a new widget
    virtual void UpdateBounds();
    virtual void ApplyFont();
    virtual void ApplyColor();
    void RequestAlign();

public:
    struct Impl;

protected:
    std::unique_ptr<Impl> const d;
    friend class TWinControl;
    friend struct TQtBoundary;
};

class TWinControl : public TControl
{
public:
    explicit TWinControl(TComponent *owner);
    ~TWinControl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Children
    int ControlCount() const;
    TControl *Controls(int index) const;
    bool ContainsControl(const TControl *control) const;
    void InsertControl(TControl *control);
    void RemoveControl(TControl *control);
    void GetChildren(const TGetChildProc &proc, TComponent *root) const override;

    // Window
    HWND Handle(); // makes the window when there is none yet
    bool HandleAllocated() const;
    void HandleNeeded();
    // Destroys the window and makes it again from CreateParams, keeping the
    // control's state; used when a style bit changes.
    void RecreateWnd();
    // Style bits of the live window (GetWindowLong/SetWindowLong act on these).
    uint32_t WindowStyle() const;
    uint32_t WindowExStyle() const;
    void SetWindowStyle(uint32_t style, uint32_t exStyle);

    // Focus and keys
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    int TabOrder() const;
    void SetTabOrder(int tabOrder);
    bool TabStop() const;
    void SetTabStop(bool tabStop);
    virtual TRect ClientRect() const override;
    void Realign();

    // Events
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    virtual void CreateParams(TCreateParams &params);
    // Makes the window: CreateParams, then CreateWindowHandle, then the
    // control's state is applied to it and the children get theirs.
    virtual void CreateWnd();
    // Makes the native widget for the parameters (and nothing else).
    virtual void CreateWindowHandle(const TCreateParams &params);
    virtual void DestroyWnd();
    // A style bit changed on the live window (SetWindowLong).
    virtual void WindowStyleChanged(uint32_t oldStyle, uint32_t oldExStyle);
    void CreateHandle();
    void DestroyHandle();

    // Alignment of the children inside the client area.
    virtual void AdjustClientRect(TRect &rect) const;
    void Loaded() override;
    void ApplyTabOrder();
    virtual void AlignControls(TControl *control, TRect &rect);

    // Keys: DoKeyX lets a form with KeyPreview see the key first; answers
    // true when the key was swallowed.
    virtual bool DoKeyDown(uint16_t &key, TShiftState shift);
    virtual bool DoKeyPress(char32_t &key);
    virtual bool DoKeyUp(uint16_t &key, TShiftState shift);
    virtual void KeyDown(uint16_t &key, TShiftState shift);
    virtual void KeyPress(char32_t &key);
    virtual void KeyUp(uint16_t &key, TShiftState shift);
    virtual void DoEnter();
    virtual void DoExit();
    // Whether the control keeps keys that a dialog would use (Enter,
    // Escape, arrows) instead of giving them to the form's buttons.
    virtual bool WantsKey(uint16_t key) const;

    void Dispatch(TMessage &message) override;
    void DefaultHandler(TMessage &message) override;
    virtual void WMKeyDown(TMessage &message);
    virtual void WMKeyUp(TMessage &message);
    virtual void WMChar(TMessage &message);
    virtual void WMSetFocus(TMessage &message);
    virtual void WMKillFocus(TMessage &message);
    virtual void WMSize(TMessage &message);
    virtual void CMEnter(TMessage &message);
    virtual void CMExit(TMessage &message);
    virtual void CMDialogKey(TMessage &message);
    virtual void WMContextMenu(TMessage &message);

    void UpdateBounds() override;
    void ApplyFont() override;
    void ApplyColor() override;

public:
    struct WinImpl;

protected:
    std::unique_ptr<WinImpl> const w;
    friend class TControl;
    friend struct TQtBoundary;
};

// A control without a window of its own in the original design, drawn by its
// parent; here it still has a light widget so that it gets mouse events.
class TGraphicControl : public TControl
{
public:
    explicit TGraphicControl(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    bool PaintsItself() const override { return true; }
};

// A windowed control that draws itself through its Canvas.
class TCustomControl : public TWinControl
{
public:
    explicit TCustomControl(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    using TControl::Canvas;

protected:
    bool PaintsItself() const override { return true; }
};

// Window classes that a control gets by naming them in CreateParams, as the
// common controls register theirs; TWinControl's CreateWindowHandle makes
// the named class's widget when one is registered.
using TWindowClassMaker = void (*)(TWinControl *control, const TCreateParams &params);
void RegisterWindowClass(const std::string &name, TWindowClassMaker make);

// The desktop: as WndParent in CreateParams it makes a control's window a
// window of its own (a drop-down), placed in screen coordinates.
HWND GetDesktopWindow();

// A hook on the mouse presses of every window of the program, as a
// thread's mouse hook sees them: msg (WM_LBUTTONDOWN, WM_RBUTTONDOWN, ...)
// and the point on the screen, before the window under the mouse gets it.
using TMouseHookProc = std::function<void(uint32_t msg, TPoint screenPoint)>;
int SetMouseHook(TMouseHookProc proc); // answers the hook's id
void RemoveMouseHook(int id);

// The control that captured the mouse (SetMouseCapture), or null.
TControl *GetCaptureControl();

// Window functions over handles.
TWinControl *FindControl(HWND handle);
LRESULT SendMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam);
// Queues the message for the window; it is dropped when the window is gone by then.
// It carries the keyboard state of the moment it was posted: while it is
// handled, GetKeyState answers as then.
bool PostMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam);
// The first waiting message for the window (any window when null) whose
// number lies in first..last (any when both are 0); PM_REMOVE takes it out
// of the queue, so that it is never handled. Keys typed ahead wait in the
// queue too, as WM_KEYDOWN and WM_KEYUP of their window.
bool PeekMessage(TMsg &msg, HWND window, uint32_t first, uint32_t last, uint32_t flags);
int32_t GetWindowLong(HWND handle, int index);
int32_t SetWindowLong(HWND handle, int index, int32_t value); // answers the previous value
HWND GetFocus();
bool IsWindowEnabled(HWND handle);
bool IsWindowVisible(HWND handle);

inline LPARAM MakeLParam(int low, int high)
{
    return static_cast<LPARAM>((static_cast<uint32_t>(high & 0xFFFF) << 16) | (low & 0xFFFF));
}
inline int LoWordSigned(LPARAM value)
{
    return static_cast<int16_t>(value & 0xFFFF);
}
inline int HiWordSigned(LPARAM value)
{
    return static_cast<int16_t>((value >> 16) & 0xFFFF);
}
