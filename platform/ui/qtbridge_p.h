#pragma once
// Not public API: the one boundary where Qt calls into the controls.
//
// Every Qt widget that serves a control is a TBridge<QtWidgetClass>. Its event
// overrides turn Qt events into our messages and hand them to the control's
// WindowProc; what the control leaves to DefaultHandler comes back here as
// NativeDefault and runs the Qt widget's own handling of the same event. Each
// crossing checks that the control still exists and catches every exception
// for Application->HandleException, so nothing unwinds through Qt.

#include "platform/ui/controls.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

#include <type_traits>
#include <utility>

// Runs fn and routes any exception to Application->HandleException(sender).
void HandleBoundaryException(TObject *sender) noexcept;
template <typename F> void GuardedCall(TObject *sender, F &&fn) noexcept
{
    try {
        fn();
    } catch (...) {
        HandleBoundaryException(sender);
    }
}

// Counts crossings in progress: a widget whose control is destroyed during
// one is deleted later, never under Qt's feet.
struct TDispatchDepth {
    static int Value;
    TDispatchDepth() { ++Value; }
    ~TDispatchDepth() { --Value; }
};

// The control's view of the widget that serves it.
class TWidgetLink
{
public:
    virtual ~TWidgetLink() = default;
    virtual QWidget *Widget() = 0;
    // The Qt widget's own handling of a message nobody handled.
    virtual void NativeDefault(TMessage &message) = 0;

    TControl *control = nullptr; // null once the control is gone
    QEvent *current = nullptr; // the Qt event being translated now
};

// Friend of the controls: the translations from Qt events to messages.
struct TQtBoundary {
    static TWidgetLink *Link(const TControl *control);
    static QWidget *Widget(const TControl *control);
    // The widget children are placed in (a form's client area below its menu).
    static QWidget *ClientWidget(const TWinControl *control);
    static void SetWidget(TControl *control, QWidget *widget);
    static void SetClientWidget(TWinControl *control, QWidget *client);
    static QWidget *ParentWidgetFor(const TControl *control);
    // A window whose CreateParams name the desktop as WndParent drops down from
    // another control (a combo's list, a picker's calendar): its widget has no
    // parent, and MakeDropDown turns it into a frameless window of its own that
    // is shown without being activated and never takes the focus from the
    // control it drops from. MakeDropDown answers whether params ask for one.
    static QWidget *ParentWidgetFor(const TControl *control, const TCreateParams &params);
    static bool MakeDropDown(QWidget *widget, const TCreateParams &params);

    static void KeyPress(TWidgetLink &link, QKeyEvent *event);
    static void KeyRelease(TWidgetLink &link, QKeyEvent *event);
    static void Mouse(TWidgetLink &link, QMouseEvent *event, uint32_t msg);
    static void Paint(TWidgetLink &link, QPaintEvent *event);
    static void Focus(TWidgetLink &link, QFocusEvent *event, bool in);
    static void Resized(TWidgetLink &link);
    static void Close(TWidgetLink &link);
    static void ContextMenu(TWidgetLink &link, QContextMenuEvent *event);
    static void Hover(TWidgetLink &link, bool enter);
    static void Activated(TWidgetLink &link, bool active);

    // Text editing defaults shared by the edit widgets.
    static void EditDefault(QLineEdit *edit, TWidgetLink &link, TMessage &message);
    static void EditDefault(QPlainTextEdit *edit, TWidgetLink &link, TMessage &message);
};

uint16_t VirtualKeyOf(const QKeyEvent *event);
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

template <typename Base> class TBridge : public Base, public TWidgetLink
{
public:
    template <typename... A>
    explicit TBridge(TControl *owner, A &&...args)
        : Base(std::forward<A>(args)...)
    {
        control = owner;
    }
    QWidget *Widget() override { return this; }

    void NativeDefault(TMessage &m) override
    {
        constexpr bool textInput
            = std::is_base_of_v<QLineEdit, Base> || std::is_base_of_v<QPlainTextEdit, Base>;
        switch (m.Msg) {
        case WM_KEYDOWN:
            if (auto *e = Current<QKeyEvent>(QEvent::KeyPress)) {
                if constexpr (textInput) {
                    // Keys that type are typed by WM_CHAR (Ctrl+V included, as
                    // character 22); clipboard keys without a character become
                    // the clipboard messages, so a control can intercept them.
                    if (!e->text().isEmpty())
                        return;
                    if (e->matches(QKeySequence::Paste))
                        return void(control->Perform(WM_PASTE, 0, 0));
                    if (e->matches(QKeySequence::Copy))
                        return void(control->Perform(WM_COPY, 0, 0));
                    if (e->matches(QKeySequence::Cut))
                        return void(control->Perform(WM_CUT, 0, 0));
                }
                Base::keyPressEvent(e);
            }
            return;
        case WM_KEYUP:
            if (auto *e = Current<QKeyEvent>(QEvent::KeyRelease))
                Base::keyReleaseEvent(e);
            return;
        case WM_PAINT:
            if (auto *e = Current<QPaintEvent>(QEvent::Paint))
                Base::paintEvent(e);
            return;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (auto *e = Current<QMouseEvent>(QEvent::MouseButtonPress))
                Base::mousePressEvent(e);
            return;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (auto *e = Current<QMouseEvent>(QEvent::MouseButtonRelease))
                Base::mouseReleaseEvent(e);
            return;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            if (auto *e = Current<QMouseEvent>(QEvent::MouseButtonDblClick))
                Base::mouseDoubleClickEvent(e);
            return;
        case WM_MOUSEMOVE:
            if (auto *e = Current<QMouseEvent>(QEvent::MouseMove))
                Base::mouseMoveEvent(e);
            return;
        case WM_SETFOCUS:
            if (auto *e = Current<QFocusEvent>(QEvent::FocusIn))
                Base::focusInEvent(e);
            return;
        case WM_KILLFOCUS:
            if (auto *e = Current<QFocusEvent>(QEvent::FocusOut))
                Base::focusOutEvent(e);
            return;
        case WM_CONTEXTMENU:
            if (auto *e = Current<QContextMenuEvent>(QEvent::ContextMenu))
                Base::contextMenuEvent(e);
            return;
        default:
            if constexpr (textInput)
                TQtBoundary::EditDefault(static_cast<Base *>(this), *this, m);
            return;
        }
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate)
            Cross(e, [&] { TQtBoundary::Activated(*this, e->type() == QEvent::WindowActivate); });
        return Base::event(e);
    }
    void keyPressEvent(QKeyEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::KeyPress(*this, e); }), e->accept();
    }
    void keyReleaseEvent(QKeyEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::KeyRelease(*this, e); }), e->accept();
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        // Qt's own handling of a double click is, for most widgets, a press:
        // it belongs to the double click being handled, so the Qt widget
        // takes it as one (a button goes down, and clicks on the release)
        // and the control gets no second button-down message. A widget that
        // ignores the press does not pass the double click on to its parent.
        if (e == current && e->type() == QEvent::MouseButtonDblClick) {
            const bool accepted = e->isAccepted();
            Base::mousePressEvent(e);
            e->setAccepted(accepted);
            return;
        }
        uint32_t msg = e->button() == Qt::RightButton ? WM_RBUTTONDOWN
            : e->button() == Qt::MiddleButton         ? WM_MBUTTONDOWN
                                                      : WM_LBUTTONDOWN;
        Cross(e, [&] { TQtBoundary::Mouse(*this, e, msg); });
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        uint32_t msg = e->button() == Qt::RightButton ? WM_RBUTTONUP
            : e->button() == Qt::MiddleButton         ? WM_MBUTTONUP
                                                      : WM_LBUTTONUP;
        Cross(e, [&] { TQtBoundary::Mouse(*this, e, msg); });
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override
    {
        uint32_t msg = e->button() == Qt::RightButton ? WM_RBUTTONDBLCLK
            : e->button() == Qt::MiddleButton         ? WM_MBUTTONDBLCLK
                                                      : WM_LBUTTONDBLCLK;
        Cross(e, [&] { TQtBoundary::Mouse(*this, e, msg); });
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::Mouse(*this, e, WM_MOUSEMOVE); });
    }
    void paintEvent(QPaintEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::Paint(*this, e); });
    }
    void focusInEvent(QFocusEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::Focus(*this, e, true); });
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::Focus(*this, e, false); });
    }
    void resizeEvent(QResizeEvent *e) override
    {
        Base::resizeEvent(e);
        Cross(e, [&] { TQtBoundary::Resized(*this); });
    }
    void closeEvent(QCloseEvent *e) override
    {
        // The form decides whether and how it closes; Qt never closes it by itself.
        e->ignore();
        Cross(e, [&] { TQtBoundary::Close(*this); });
    }
    void contextMenuEvent(QContextMenuEvent *e) override
    {
        Cross(e, [&] { TQtBoundary::ContextMenu(*this, e); });
    }
    void enterEvent(QEnterEvent *e) override
    {
        Base::enterEvent(e);
        Cross(e, [&] { TQtBoundary::Hover(*this, true); });
    }
    void leaveEvent(QEvent *e) override
    {
        Base::leaveEvent(e);
        Cross(e, [&] { TQtBoundary::Hover(*this, false); });
    }

private:
    template <typename E> E *Current(QEvent::Type type) const
    {
        return current && current->type() == type ? static_cast<E *>(current) : nullptr;
    }
    // One crossing: a gone control gets nothing; a live one gets the message
    // with this event as the current one, guarded.
    template <typename F> void Cross(QEvent *e, F &&fn)
    {
        if (!control)
            return;
        TDispatchDepth depth;
        QEvent *saved = current;
        current = e;
        GuardedCall(control, fn);
        current = saved;
    }
};

// Calls fn with the signal's arguments, or with none when it takes none. A
// function of its own rather than an if constexpr in the lambdas below:
// clang 14 misjudges decltype of a generic lambda's parameter pack there and
// picks the wrong branch.
template <typename F, typename... Args> void CallWithWhatItTakes(const F &fn, const Args &...args)
{
    if constexpr (std::is_invocable_v<const F &, const Args &...>)
        fn(args...);
    else
        fn();
}

// Connects a Qt signal of sender (the bridge widget or a part of it) to code
// of the bridge's control, guarded the same way; nothing runs once the
// control or the widget is gone.
template <typename Sender, typename Signal, typename F>
void ConnectGuarded(TWidgetLink &link, Sender *sender, Signal signal, F &&fn)
{
    QPointer<QWidget> alive(link.Widget());
    TWidgetLink *target = &link;
    QObject::connect(
        sender, signal, link.Widget(), [alive, target, fn = std::forward<F>(fn)](const auto &...args) {
            if (!alive || !target->control)
                return;
            TDispatchDepth depth;
            GuardedCall(target->control, [&] { CallWithWhatItTakes(fn, args...); });
        });
}
