#include "platform/ui/testing.h"

#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/qtbridge_p.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <filesystem>
#include <memory>
#include <vector>

// ---- Services --------------------------------------------------------------------------------

ScriptedMessageBoxes::ScriptedMessageBoxes()
    : previous_(SetMessageBoxService(this))
{
}
ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    SetMessageBoxService(previous_);
}

int ScriptedMessageBoxes::Show(
    HWND owner, const std::string &text, const std::string &caption, uint32_t flags, uint16_t languageId)
{
    shown_.push_back({ owner, text, caption, flags, languageId });
    if (!answers_.empty()) {
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_RETRYCANCEL:
        return IDRETRY;
    default:
        return IDOK;
    }
}

BeepCounter::BeepCounter()
    : previous_(SetBeepService(this))
{
}
BeepCounter::~BeepCounter()
{
    SetBeepService(previous_);
}

FixedClock::FixedClock(uint32_t ticks)
    : previous_(SetClockService(this))
    , ticks_(ticks)
{
}
FixedClock::~FixedClock()
{
    SetClockService(previous_);
}

FixedScreen::FixedScreen(int width, int height)
    : previous_(SetScreenService(this))
    , width_(width)
    , height_(height)
{
}

FixedScreen::~FixedScreen()
{
    SetScreenService(previous_);
}

// ---- Input --------------------------------------------------------------------------------------

namespace
{

QWidget *WidgetFor(TControl *control)
{
    if (auto *win = dynamic_cast<TWinControl *>(control))
        win->HandleNeeded();
    else if (control->Parent())
        control->Parent()->HandleNeeded();
    QWidget *widget = TQtBoundary::Widget(control);
    if (!widget)
        throw EInvalidOperation("Control " + control->Name() + " has no window");
    return widget;
}

Qt::MouseButton QtButton(TMouseButton button)
{
    return button == mbRight ? Qt::RightButton : button == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
}

Qt::KeyboardModifiers QtModifiers(TShiftState shift);

void SendMouse(TControl *control, QEvent::Type type, int x, int y, TMouseButton button, Qt::MouseButtons held,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *widget = WidgetFor(control);
    // A control that captured the mouse gets every mouse event, as with a real mouse.
    TControl *capture = GetCaptureControl();
    if (QWidget *grabber = capture ? TQtBoundary::Widget(capture) : nullptr; grabber && grabber != widget) {
        QPointF local = grabber->mapFromGlobal(widget->mapToGlobal(QPointF(x, y)));
        QMouseEvent event(type, local, grabber->mapToGlobal(local), QtButton(button), held, modifiers);
        QCoreApplication::sendEvent(grabber, &event);
        return;
    }
    // A control's client area is a scroll area's viewport.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
        widget = area->viewport();
    if (x < 0 || y < 0)
        x = widget->width() / 2, y = widget->height() / 2;
    QPoint pos(x, y);
    // The mouse hits the innermost widget under the point, as a real one does.
    if (QWidget *child = widget->childAt(pos)) {
        pos = child->mapFrom(widget, pos);
        widget = child;
    }
    QPointF local(pos);
    QMouseEvent event(type, local, widget->mapToGlobal(local), QtButton(button), held, modifiers);
    QCoreApplication::sendEvent(widget, &event);
}

Qt::KeyboardModifiers QtModifiers(TShiftState shift)
{
    Qt::KeyboardModifiers modifiers;
    if (shift.Contains(ssShift))
        modifiers |= Qt::ShiftModifier;
    if (shift.Contains(ssCtrl))
        modifiers |= Qt::ControlModifier;
    if (shift.Contains(ssAlt))
        modifiers |= Qt::AltModifier;
    return modifiers;
}

int QtKeyOf(uint16_t vk, char32_t character)
{
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return vk;
    switch (vk) {
    case VK_CAPITAL:
        return Qt::Key_CapsLock;
    case VK_NUMLOCK:
        return Qt::Key_NumLock;
    case VK_SCROLL:
        return Qt::Key_ScrollLock;
    case VK_BACK:
        return Qt::Key_Backspace;
    case VK_TAB:
        return Qt::Key_Tab;
    case VK_RETURN:
        return Qt::Key_Return;
    case VK_ESCAPE:
        return Qt::Key_Escape;
    case VK_SPACE:
        return Qt::Key_Space;
    case VK_PRIOR:
        return Qt::Key_PageUp;
    case VK_NEXT:
        return Qt::Key_PageDown;
    case VK_END:
        return Qt::Key_End;
    case VK_HOME:
        return Qt::Key_Home;
    case VK_LEFT:
        return Qt::Key_Left;
    case VK_UP:
        return Qt::Key_Up;
    case VK_RIGHT:
        return Qt::Key_Right;
    case VK_DOWN:
        return Qt::Key_Down;
    case VK_INSERT:
        return Qt::Key_Insert;
    case VK_DELETE:
        return Qt::Key_Delete;
    case VK_MULTIPLY:
        return Qt::Key_Asterisk;
    case VK_ADD:
    case VK_OEM_PLUS:
        return character == '=' ? Qt::Key_Equal : Qt::Key_Plus;
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
        return Qt::Key_Minus;
    case VK_DIVIDE:
    case VK_OEM_2:
        return Qt::Key_Slash;
    case VK_DECIMAL:
    case VK_OEM_PERIOD:
        return Qt::Key_Period;
    case VK_OEM_COMMA:
        return Qt::Key_Comma;
    default:
        if (vk >= VK_F1 && vk <= VK_F12)
            return Qt::Key_F1 + (vk - VK_F1);
        // A character without a key of its own is typed as itself.
        return character ? static_cast<int>(QChar::toUpper(static_cast<uint32_t>(character)))
                         : Qt::Key_unknown;
    }
}

// The key that types a character on a plain keyboard.
uint16_t VirtualKeyFor(char32_t c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<uint16_t>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return static_cast<uint16_t>(c);
    switch (c) {
    case ' ':
        return VK_SPACE;
    case '\b':
        return VK_BACK;
    case '\r':
    case '\n':
        return VK_RETURN;
    case '\t':
        return VK_TAB;
    case 27:
        return VK_ESCAPE;
    case '+':
    case '=':
        return VK_OEM_PLUS;
    case '-':
        return VK_OEM_MINUS;
    case ',':
        return VK_OEM_COMMA;
    case '.':
        return VK_OEM_PERIOD;
    case '/':
        return VK_OEM_2;
    case ';':
    case ':':
        return VK_OEM_1;
    case '\\':
        return VK_OEM_5;
    case '*':
        return VK_MULTIPLY;
    default:
        return 0;
    }
}

} // namespace

void ClickControl(TControl *control, int x, int y, TShiftState shift)
{
    std::weak_ptr<int> alive = control->AliveToken();
    SendMouse(control, QEvent::MouseButtonPress, x, y, mbLeft, Qt::LeftButton, QtModifiers(shift));
    if (!alive.expired())
        SendMouse(control, QEvent::MouseButtonRelease, x, y, mbLeft, Qt::NoButton, QtModifiers(shift));
}

void DoubleClickControl(TControl *control, int x, int y)
{
    std::weak_ptr<int> alive = control->AliveToken();
    ClickControl(control, x, y);
    if (!alive.expired())
        SendMouse(control, QEvent::MouseButtonDblClick, x, y, mbLeft, Qt::LeftButton);
    if (!alive.expired())
        SendMouse(control, QEvent::MouseButtonRelease, x, y, mbLeft, Qt::NoButton);
}

void MouseDownOn(TControl *control, int x, int y, TMouseButton button, TShiftState shift)
{
    SendMouse(control, QEvent::MouseButtonPress, x, y, button, QtButton(button), QtModifiers(shift));
}

void MouseUpOn(TControl *control, int x, int y, TMouseButton button, TShiftState shift)
{
    SendMouse(control, QEvent::MouseButtonRelease, x, y, button, Qt::NoButton, QtModifiers(shift));
}

void MouseMoveOn(TControl *control, int x, int y, TMouseButton held)
{
    // Straight to the control's widget: a pressed widget has the mouse until release.
    QWidget *widget = WidgetFor(control);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
        widget = area->viewport();
    QPointF local(x, y);
    QMouseEvent event(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, QtButton(held), Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void WheelControl(TControl *control, int notches, int x, int y)
{
    QWidget *widget = WidgetFor(control);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
        widget = area->viewport();
    if (x < 0 || y < 0)
        x = widget->width() / 2, y = widget->height() / 2;
    const QPointF local(x, y);
    // One notch of a wheel is 120 units; a positive count turns it away from the user.
    QWheelEvent event(local, widget->mapToGlobal(local), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(widget, &event);
}

namespace
{

std::unique_ptr<QKeyEvent> KeyEvent(QEvent::Type type, uint16_t virtualKey, char32_t character, TShiftState shift)
{
    Qt::KeyboardModifiers modifiers = QtModifiers(shift);
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_DIVIDE)
        modifiers |= Qt::KeypadModifier;
    QString text = character ? QString::fromUcs4(&character, 1) : QString();
    return std::make_unique<QKeyEvent>(type, QtKeyOf(virtualKey, character), modifiers, text);
}

} // namespace

void PressKey(TControl *control, uint16_t virtualKey, char32_t character, TShiftState shift)
{
    QWidget *widget = WidgetFor(control);
    std::weak_ptr<int> alive = control->AliveToken();
    QCoreApplication::sendEvent(widget, KeyEvent(QEvent::KeyPress, virtualKey, character, shift).get());
    if (alive.expired())
        return;
    QCoreApplication::sendEvent(widget, KeyEvent(QEvent::KeyRelease, virtualKey, character, shift).get());
}

void PostKey(TControl *control, uint16_t virtualKey, char32_t character, TShiftState shift)
{
    QWidget *widget = WidgetFor(control);
    QCoreApplication::postEvent(widget, KeyEvent(QEvent::KeyPress, virtualKey, character, shift).release());
    QCoreApplication::postEvent(widget, KeyEvent(QEvent::KeyRelease, virtualKey, character, shift).release());
}

void TypeText(TControl *control, const std::string &text)
{
    for (char32_t c : QString::fromStdString(text).toStdU32String()) {
        TShiftState shift;
        if (c >= 'A' && c <= 'Z')
            shift.Include(ssShift);
        PressKey(control, VirtualKeyFor(c), c == '\n' ? U'\r' : c, shift);
    }
}

TWinControl *FocusedControl()
{
    return FindControl(GetFocus());
}

void QueueCall(std::function<void()> fn)
{
    Application->Initialize();
    QMetaObject::invokeMethod(
        qApp, [fn = std::move(fn)] { GuardedCall(nullptr, fn); }, Qt::QueuedConnection);
}

void ProcessPendingEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ---- Pictures ---------------------------------------------------------------------------------------

int64_t SaveScreenshot(TCustomForm *form, const std::string &path)
{
    form->HandleNeeded();
    QWidget *widget = TQtBoundary::Widget(form);
    QImage client = widget->grab().toImage();

    // The frame a classic desktop draws around the window: raised border,
    // caption bar with the title and the close box.
    bool tool = form->BorderStyle() == bsToolWindow || form->BorderStyle() == bsSizeToolWin;
    int side = form->BorderStyle() == bsNone                                          ? 0
        : (form->BorderStyle() == bsSizeable || form->BorderStyle() == bsSizeToolWin) ? 4
                                                                                      : 3;
    int caption = form->BorderStyle() == bsNone ? 0 : tool ? kToolCaptionHeight : kCaptionHeight;
    QImage image(client.width() + 2 * side, client.height() + 2 * side + caption, QImage::Format_RGB32);
    image.fill(ToQColor(clBtnFace));
    QPainter painter(&image);
    if (side > 0) {
        QRect outer = image.rect();
        painter.setPen(ToQColor(cl3DLight));
        painter.drawLine(outer.topLeft(), outer.topRight());
        painter.drawLine(outer.topLeft(), outer.bottomLeft());
        painter.setPen(ToQColor(cl3DDkShadow));
        painter.drawLine(outer.bottomLeft(), outer.bottomRight());
        painter.drawLine(outer.topRight(), outer.bottomRight());
        painter.setPen(ToQColor(clBtnHighlight));
        painter.drawLine(1, 1, outer.width() - 2, 1);
        painter.drawLine(1, 1, 1, outer.height() - 2);
        painter.setPen(ToQColor(clBtnShadow));
        painter.drawLine(1, outer.height() - 2, outer.width() - 2, outer.height() - 2);
        painter.drawLine(outer.width() - 2, 1, outer.width() - 2, outer.height() - 2);
    }
    if (caption > 0) {
        QRect bar(side, side, client.width(), caption - 1);
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0, ToQColor(clActiveCaption));
        gradient.setColorAt(1, QColor(16, 132, 208));
        painter.fillRect(bar, gradient);
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(tool ? 10 : 11);
        painter.setFont(font);
        painter.setPen(ToQColor(clCaptionText));
        painter.drawText(bar.adjusted(4, 0, -caption, 0), Qt::AlignVCenter | Qt::AlignLeft,
            QString::fromStdString(form->Caption()));
        // The close box belongs to the system menu; a window without one has neither.
        if (form->BorderIcons().Contains(biSystemMenu)) {
            QRect box(bar.right() - caption + 3, bar.top() + 2, caption - 4, caption - 5);
            painter.fillRect(box, ToQColor(clBtnFace));
            painter.setPen(ToQColor(clBtnShadow));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            painter.setPen(Qt::black);
            painter.drawLine(box.topLeft() + QPoint(3, 3), box.bottomRight() - QPoint(4, 4));
            painter.drawLine(
                QPoint(box.left() + 3, box.bottom() - 4), QPoint(box.right() - 4, box.top() + 3));
        }
    }
    painter.drawImage(side, side + caption, client);
    painter.end();

    // Drop-downs of the form's controls (windows of their own on the
    // desktop) show where they stand on the screen, over the form.
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0)) - QPoint(side, side + caption);
    QRect whole = image.rect();
    std::vector<std::pair<QRect, QImage>> dropDowns;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        auto *link = dynamic_cast<TWidgetLink *>(top);
        if (top == widget || !top->isVisible() || !(top->windowFlags() & Qt::Tool) || !link || !link->control ||
            GetParentForm(link->control) != form)
            continue;
        const QRect at = top->geometry().translated(-origin);
        dropDowns.emplace_back(at, top->grab().toImage());
        whole = whole.united(at);
    }
    if (!dropDowns.empty()) {
        QImage desktop(whole.size(), QImage::Format_RGB32);
        desktop.fill(QColor(0, 128, 128));
        QPainter over(&desktop);
        over.drawImage(-whole.topLeft(), image);
        for (const auto &[at, picture] : dropDowns)
            over.drawImage(at.topLeft() - whole.topLeft(), picture);
        over.end();
        image = desktop;
    }

    std::filesystem::path file(path);
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    if (!image.save(QString::fromStdString(path), "PNG"))
        throw EFCreateError("Cannot create file \"" + path + "\"");
    return static_cast<int64_t>(std::filesystem::file_size(file));
}

void GrabControl(TControl *control, TBitmap &into)
{
    TGraphicAccess::Image(into) = WidgetFor(control)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TColor PixelOf(TControl *control, int x, int y)
{
    QWidget *widget = WidgetFor(control);
    QImage image = widget->grab().toImage();
    if (!image.valid(x, y))
        return clNone;
    QRgb rgb = image.pixel(x, y);
    return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

// ---- Scripted dialogs ------------------------------------------------------------------------

ScriptedDialogs::ScriptedDialogs()
    : previous_(SetCommonDialogService(this))
{
}

ScriptedDialogs::~ScriptedDialogs()
{
    SetCommonDialogService(previous_);
}

bool ScriptedDialogs::Execute(TCommonDialog &dialog)
{
    shown_.push_back(dialog.ClassName());
    if (scripts_.empty())
        return false;
    Script script = std::move(scripts_.front());
    scripts_.pop_front();
    return script(dialog);
}

bool ScriptedDialogs::PageSetup(PAGESETUPDLG &setup)
{
    shown_.push_back("PageSetupDlg");
    pageAsked_ = setup;
    if (pageScripts_.empty())
        return false;
    PageSetupScript script = std::move(pageScripts_.front());
    pageScripts_.pop_front();
    return script(setup);
}

FixedKeyLocks::FixedKeyLocks()
    : previous_(SetKeyLockService(this))
{
}

FixedKeyLocks::~FixedKeyLocks()
{
    SetKeyLockService(previous_);
}

void FixedKeyLocks::Set(int virtualKey, bool on)
{
    if (on)
        locks_.insert(virtualKey);
    else
        locks_.erase(virtualKey);
}
