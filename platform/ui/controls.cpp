#include "platform/ui/controls.h"

#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/menus.h"
#include "platform/ui/qtbridge_p.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_set>
#include <vector>

const TMetaClass TControl::Class { "TControl", &TComponent::Class };
const TMetaClass TWinControl::Class { "TWinControl", &TControl::Class };
const TMetaClass TGraphicControl::Class { "TGraphicControl", &TControl::Class };
const TMetaClass TCustomControl::Class { "TCustomControl", &TWinControl::Class };

// clang-format off
namespace {

const TEnumNames AlignNames = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const TIdentMap CursorIdents = {
    {"crDefault", crDefault}, {"crNone", crNone}, {"crArrow", crArrow}, {"crCross", crCross},
    {"crIBeam", crIBeam}, {"crSizeNESW", crSizeNESW}, {"crSizeNS", crSizeNS}, {"crSizeNWSE", crSizeNWSE},
    {"crSizeWE", crSizeWE}, {"crUpArrow", crUpArrow}, {"crHourGlass", crHourGlass}, {"crDrag", crDrag},
    {"crNoDrop", crNoDrop}, {"crHSplit", crHSplit}, {"crVSplit", crVSplit}, {"crMultiDrag", crMultiDrag},
    {"crSQLWait", crSQLWait}, {"crNo", crNo}, {"crAppStart", crAppStart}, {"crHelp", crHelp},
    {"crHandPoint", crHandPoint}, {"crSizeAll", crSizeAll}};

using P = TPublish<TControl>;
const TClassRegistrar<TControl> controlRegistrar({
    //          name              getter                     setter                       default
    P::Integer ("Left",           &TControl::Left,           &TControl::SetLeft,          0),
    P::Integer ("Top",            &TControl::Top,            &TControl::SetTop,           0),
    P::Integer ("Width",          &TControl::Width,          &TControl::SetWidth,         NoDefault),
    P::Integer ("Height",         &TControl::Height,         &TControl::SetHeight,        NoDefault),
    P::Enum    ("Align",          AlignNames,
                                  &TControl::Align,          &TControl::SetAlign,         alNone),
    P::Boolean ("Visible",        &TControl::Visible,        &TControl::SetVisible,       true),
    P::Boolean ("Enabled",        &TControl::Enabled,        &TControl::SetEnabled,       true),
    P::Integer ("Color",          &TControl::Color,          &TControl::SetColor,         NoDefault).WithIdents(ColorIdents()),
    P::Boolean ("ParentColor",    &TControl::ParentColor,    &TControl::SetParentColor,   false),
    P::Persistent("Font",         &TControl::Font,           &TControl::SetFont),
    P::Boolean ("ParentFont",     &TControl::ParentFont,     &TControl::SetParentFont,    true),
    P::Boolean ("Ctl3D",          &TControl::Ctl3D,          &TControl::SetCtl3D,         true),
    P::Boolean ("ParentCtl3D",    &TControl::ParentCtl3D,    &TControl::SetParentCtl3D,   true),
    P::Integer ("Cursor",         &TControl::Cursor,         &TControl::SetCursor,        crDefault).WithIdents(CursorIdents),
    P::String  ("Hint",           &TControl::Hint,           &TControl::SetHint,          ""),
    P::Boolean ("ShowHint",       &TControl::ShowHint,       &TControl::SetShowHint,      false),
    P::Boolean ("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true),
    P::Component("PopupMenu",     &TControl::PopupMenu,      &TControl::SetPopupMenu),
    P::Event   ("OnClick",        &TControl::OnClick),
    P::Event   ("OnDblClick",     &TControl::OnDblClick),
    P::Event   ("OnMouseDown",    &TControl::OnMouseDown),
    P::Event   ("OnMouseUp",      &TControl::OnMouseUp),
    P::Event   ("OnMouseMove",    &TControl::OnMouseMove),
    P::Event   ("OnResize",       &TControl::OnResize),
});

using W = TPublish<TWinControl>;
const TClassRegistrar<TWinControl> winControlRegistrar({
    W::Integer ("TabOrder",       &TWinControl::TabOrder,    &TWinControl::SetTabOrder,   -1),
    W::Boolean ("TabStop",        &TWinControl::TabStop,     &TWinControl::SetTabStop,    NoDefault),
    W::Event   ("OnEnter",        &TWinControl::OnEnter),
    W::Event   ("OnExit",         &TWinControl::OnExit),
    W::Event   ("OnKeyDown",      &TWinControl::OnKeyDown),
    W::Event   ("OnKeyPress",     &TWinControl::OnKeyPress),
    W::Event   ("OnKeyUp",        &TWinControl::OnKeyUp),
});

const TClassRegistrar<TGraphicControl> graphicControlRegistrar({});
const TClassRegistrar<TCustomControl> customControlRegistrar({});

// Windows that exist now, so that a stale handle finds nothing.
std::unordered_set<const TWinControl *> &LiveHandles()
{
    static std::unordered_set<const TWinControl *> handles;
    return handles;
}

// The shift state of the event being translated, for KeyboardShiftState.
TShiftState currentShift;
std::unordered_set<int> keysDown;

} // namespace
// clang-format on

int TDispatchDepth::Value = 0;

// ---- State -----------------------------------------------------------------------

struct TControl::Impl {
    TWinControl *parent = nullptr;
    int left = 0, top = 0, width = 0, height = 0;
    TAlign align = alNone;
    bool visible = true;
    bool enabled = true;
    std::string text;
    TColor color = clWindow;
    bool parentColor = false;
    TFont font;
    bool parentFont = true;
    bool copyingParentFont = false;
    bool ctl3D = true;
    bool parentCtl3D = true;
    TCursor cursor = crDefault;
    std::string hint;
    bool showHint = false;
    bool parentShowHint = true;
    TPopupMenu *popupMenu = nullptr;
    std::unique_ptr<TCanvas> canvas;
    QPointer<QWidget> widget;
    bool pressed = false; // the left button went down on this control
    std::shared_ptr<int> alive = std::make_shared<int>(0); // expires with the control
};

struct TWinControl::WinImpl {
    std::vector<TControl *> controls;
    QPointer<QWidget> client; // where children go, when not the widget itself
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int tabOrder = -1;
    bool tabStop = false;
    bool aligning = false;
    bool creating = false;
};

namespace
{

// Takes a widget tree away from its controls and deletes it: at once, or
// after the event being handled when Qt is still inside one of them.
void DisposeWidget(QWidget *widget)
{
    if (!widget)
        return;
    QList<QWidget *> tree = widget->findChildren<QWidget *>();
    tree.prepend(widget);
    for (QWidget *each : tree)
        if (auto *link = dynamic_cast<TWidgetLink *>(each))
            link->control = nullptr;
    if (TDispatchDepth::Value > 0) {
        widget->hide();
        widget->setParent(nullptr);
        widget->deleteLater();
    } else {
        delete widget;
    }
}

void ApplyCursor(QWidget *widget, TCursor cursor)
{
    static const std::pair<TCursor, Qt::CursorShape> shapes[] = { { crArrow, Qt::ArrowCursor },
        { crCross, Qt::CrossCursor }, { crIBeam, Qt::IBeamCursor }, { crSizeNESW, Qt::SizeBDiagCursor },
        { crSizeNS, Qt::SizeVerCursor }, { crSizeNWSE, Qt::SizeFDiagCursor }, { crSizeWE, Qt::SizeHorCursor },
        { crUpArrow, Qt::UpArrowCursor }, { crHourGlass, Qt::WaitCursor }, { crDrag, Qt::DragMoveCursor },
        { crNoDrop, Qt::ForbiddenCursor }, { crHSplit, Qt::SplitHCursor }, { crVSplit, Qt::SplitVCursor },
        { crMultiDrag, Qt::DragCopyCursor }, { crSQLWait, Qt::BusyCursor }, { crNo, Qt::ForbiddenCursor },
        { crAppStart, Qt::BusyCursor }, { crHelp, Qt::WhatsThisCursor },
        { crHandPoint, Qt::PointingHandCursor }, { crSizeAll, Qt::SizeAllCursor },
        { crNone, Qt::BlankCursor } };
    if (cursor == crDefault) {
        widget->unsetCursor();
        return;
    }
    for (auto [value, shape] : shapes)
        if (value == cursor)
            return widget->setCursor(shape);
}

} // namespace

// ---- TControl ----------------------------------------------------------------------

TControl::TControl(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
    d->font.OnChange = [this](TObject *) {
        if (!d->copyingParentFont)
            d->parentFont = false;
        Perform(CM_FONTCHANGED, 0, 0);
    };
}

namespace
{
// The control that captured the mouse. Qt already keeps a pressed button's
// events with the widget pressed; this is the explicit capture on top.
TControl *captureControl = nullptr;
} // namespace

TControl::~TControl()
{
    if (captureControl == this)
        captureControl = nullptr;
    Destroying();
    if (d->parent)
        d->parent->RemoveControl(this);
    DisposeWidget(d->widget);
}

TWinControl *TControl::Parent() const
{
    return d->parent;
}

void TControl::SetParent(TWinControl *parent)
{
    if (parent == d->parent)
        return;
    if (parent == this)
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (d->parent)
        d->parent->RemoveControl(this);
    if (parent)
        parent->InsertControl(this);
}

TComponent *TControl::GetParentComponent() const
{
    return d->parent;
}

void TControl::SetParentComponent(TComponent *parent)
{
    if (auto *win = dynamic_cast<TWinControl *>(parent))
        SetParent(win);
}

int TControl::Left() const
{
    return d->left;
}
void TControl::SetLeft(int left)
{
    SetBounds(left, d->top, d->width, d->height);
}
int TControl::Top() const
{
    return d->top;
}
void TControl::SetTop(int top)
{
    SetBounds(d->left, top, d->width, d->height);
}
int TControl::Width() const
{
    return d->width;
}
void TControl::SetWidth(int width)
{
    SetBounds(d->left, d->top, width, d->height);
}
int TControl::Height() const
{
    return d->height;
}
void TControl::SetHeight(int height)
{
    SetBounds(d->left, d->top, d->width, height);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(0, width), height = std::max(0, height);
    if (left == d->left && top == d->top && width == d->width && height == d->height)
        return;
    bool resized = width != d->width || height != d->height;
    d->left = left, d->top = top, d->width = width, d->height = height;
    UpdateBounds();
    if (!ComponentState().Contains(csLoading)) {
        RequestAlign();
        if (resized) {
            if (auto *win = dynamic_cast<TWinControl *>(this))
                win->Realign();
            Resize();
        }
    }
}

TRect TControl::BoundsRect() const
{
    return Bounds(d->left, d->top, d->width, d->height);
}
void TControl::SetBoundsRect(const TRect &rect)
{
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
}
int TControl::ClientWidth() const
{
    return ClientRect().Width();
}
void TControl::SetClientWidth(int width)
{
    SetWidth(d->width - ClientWidth() + width);
}
int TControl::ClientHeight() const
{
    return ClientRect().Height();
}
void TControl::SetClientHeight(int height)
{
    SetHeight(d->height - ClientHeight() + height);
}
TRect TControl::ClientRect() const
{
    return Bounds(0, 0, d->width, d->height);
}

TPoint TControl::ClientToScreen(TPoint point) const
{
    if (QWidget *widget = d->widget) {
        QPoint global = widget->mapToGlobal(QPoint(point.X, point.Y));
        return { global.x(), global.y() };
    }
    TPoint origin = d->parent ? d->parent->ClientToScreen({ d->left, d->top }) : TPoint { d->left, d->top };
    return { origin.X + point.X, origin.Y + point.Y };
}

TPoint TControl::ScreenToClient(TPoint point) const
{
    TPoint origin = ClientToScreen({ 0, 0 });
    return { point.X - origin.X, point.Y - origin.Y };
}

TAlign TControl::Align() const
{
    return d->align;
}
void TControl::SetAlign(TAlign align)
{
    if (align == d->align)
        return;
    d->align = align;
    RequestAlign();
}

bool TControl::Visible() const
{
    return d->visible;
}
void TControl::SetVisible(bool visible)
{
    if (visible == d->visible)
        return;
    d->visible = visible;
    Perform(CM_VISIBLECHANGED, visible, 0);
    RequestAlign();
}
void TControl::Show()
{
    SetVisible(true);
}
void TControl::Hide()
{
    SetVisible(false);
}

bool TControl::Enabled() const
{
    return d->enabled;
}
void TControl::SetEnabled(bool enabled)
{
    if (enabled == d->enabled)
        return;
    d->enabled = enabled;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string &text)
{
    if (GetText() == text)
        return;
    SetTextValue(text);
    Perform(CM_TEXTCHANGED, 0, 0);
}

std::string TControl::GetText() const
{
    return d->text;
}

void TControl::SetTextValue(const std::string &text)
{
    d->text = text;
    QWidget *widget = d->widget;
    if (!widget)
        return;
    QString qtext = QString::fromStdString(text);
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(qtext);
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        group->setTitle(qtext);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(qtext);
    else if (widget->isWindow())
        widget->setWindowTitle(qtext);
}

TColor TControl::Color() const
{
    return d->color;
}
void TControl::SetColor(TColor color)
{
    if (color == d->color)
        return;
    d->color = color;
    d->parentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
}
bool TControl::ParentColor() const
{
    return d->parentColor;
}
void TControl::SetParentColor(bool parentColor)
{
    if (parentColor == d->parentColor)
        return;
    d->parentColor = parentColor;
    if (parentColor && d->parent)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

TFont *TControl::Font() const
{
    return &d->font;
}
void TControl::SetFont(TFont *font)
{
    d->font.Assign(font);
}
bool TControl::ParentFont() const
{
    return d->parentFont;
}
void TControl::SetParentFont(bool parentFont)
{
    if (parentFont == d->parentFont)
        return;
    d->parentFont = parentFont;
    if (parentFont && d->parent)
        Perform(CM_PARENTFONTCHANGED, 0, 0);
}

bool TControl::Ctl3D() const
{
    return d->ctl3D;
}
void TControl::SetCtl3D(bool ctl3D)
{
    if (ctl3D == d->ctl3D)
        return;
    d->ctl3D = ctl3D;
    d->parentCtl3D = false;
    Invalidate();
}
bool TControl::ParentCtl3D() const
{
    return d->parentCtl3D;
}
void TControl::SetParentCtl3D(bool parentCtl3D)
{
    d->parentCtl3D = parentCtl3D;
    if (parentCtl3D && d->parent)
        d->ctl3D = d->parent->Ctl3D();
}

TCursor TControl::Cursor() const
{
    return d->cursor;
}
void TControl::SetCursor(TCursor cursor)
{
    d->cursor = cursor;
    if (d->widget)
        ApplyCursor(d->widget, cursor);
}

std::string TControl::Hint() const
{
    return d->hint;
}
void TControl::SetHint(const std::string &hint)
{
    d->hint = hint;
    if (d->widget)
        d->widget->setToolTip(ShowHintNow() ? QString::fromStdString(GetShortHint(hint)) : QString());
}

std::string GetShortHint(const std::string &hint)
{
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string &hint)
{
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}
bool TControl::ShowHint() const
{
    return d->showHint;
}
void TControl::SetShowHint(bool showHint)
{
    d->showHint = showHint;
    d->parentShowHint = false;
    SetHint(d->hint);
}
bool TControl::ParentShowHint() const
{
    return d->parentShowHint;
}
void TControl::SetParentShowHint(bool parentShowHint)
{
    d->parentShowHint = parentShowHint;
    SetHint(d->hint);
}

bool TControl::ShowHintNow() const
{
    for (const TControl *c = this; c; c = c->d->parent)
        if (!c->d->parentShowHint || !c->d->parent)
            return c->d->showHint;
    return false;
}

TPopupMenu *TControl::PopupMenu() const
{
    return d->popupMenu;
}
void TControl::SetPopupMenu(TPopupMenu *menu)
{
    if (d->popupMenu)
        d->popupMenu->RemoveFreeNotification(this);
    d->popupMenu = menu;
    if (menu)
        menu->FreeNotification(this);
}

void TControl::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == d->popupMenu)
        d->popupMenu = nullptr;
}

void TControl::Invalidate()
{
    if (d->widget)
        d->widget->update();
}

void TControl::Update()
{
    if (d->widget)
        d->widget->repaint();
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::BringToFront()
{
    if (d->widget)
        d->widget->raise();
}

void TControl::SendToBack()
{
    if (d->widget)
        d->widget->lower();
}

bool TControl::MouseCapture() const
{
    return captureControl == this;
}

void TControl::SetMouseCapture(bool capture)
{
    if (capture)
        captureControl = this;
    else if (captureControl == this)
        captureControl = nullptr;
}

TControl *GetCaptureControl()
{
    return captureControl;
}

LRESULT TControl::Perform(uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    TMessage message { msg, wParam, lParam, 0 };
    WndProc(message);
    return message.Result;
}

void TControl::WndProc(TMessage &message)
{
    Dispatch(message);
}

void TControl::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_PAINT:
        return WMPaint(message);
    case WM_LBUTTONDOWN:
        return WMLButtonDown(message);
    case WM_LBUTTONUP:
        return WMLButtonUp(message);
    case WM_LBUTTONDBLCLK:
        return WMLButtonDblClk(message);
    case WM_RBUTTONDOWN:
        return WMRButtonDown(message);
    case WM_RBUTTONUP:
        return WMRButtonUp(message);
    case WM_MOUSEMOVE:
        return WMMouseMove(message);
    case CM_ENABLEDCHANGED:
        return CMEnabledChanged(message);
    case CM_FONTCHANGED:
        return CMFontChanged(message);
    case CM_COLORCHANGED:
        return CMColorChanged(message);
    case CM_TEXTCHANGED:
        return CMTextChanged(message);
    case CM_VISIBLECHANGED:
        return CMVisibleChanged(message);
    case CM_PARENTFONTCHANGED:
        return CMParentFontChanged(message);
    case CM_PARENTCOLORCHANGED:
        return CMParentColorChanged(message);
    case CM_MOUSEENTER:
        return CMMouseEnter(message);
    case CM_MOUSELEAVE:
        return CMMouseLeave(message);
    default:
        return DefaultHandler(message);
    }
}

void TControl::DefaultHandler(TMessage &message)
{
    if (QWidget *widget = d->widget)
        if (auto *link = dynamic_cast<TWidgetLink *>(widget))
            link->NativeDefault(message);
}

void TControl::Click()
{
    OnClick(this);
}
void TControl::DblClick()
{
    OnDblClick(this);
}
void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y)
{
    OnMouseMove(this, shift, x, y);
}
void TControl::Resize()
{
    OnResize(this);
}
void TControl::Paint() { }

std::weak_ptr<int> TControl::AliveToken() const
{
    return d->alive;
}

TCanvas *TControl::Canvas() const
{
    if (!d->canvas)
        d->canvas = std::make_unique<TCanvas>();
    return d->canvas.get();
}

void TControl::Loaded()
{
    TComponent::Loaded();
    if (d->parent && d->parentFont) {
        d->copyingParentFont = true;
        d->font.Assign(d->parent->Font());
        d->copyingParentFont = false;
    }
    RequestAlign();
}

namespace
{
TShiftState MouseShift(const TMessage &m)
{
    TShiftState shift;
    if (m.WParam & MK_SHIFT)
        shift.Include(ssShift);
    if (m.WParam & MK_CONTROL)
        shift.Include(ssCtrl);
    if (m.WParam & MK_LBUTTON)
        shift.Include(ssLeft);
    if (m.WParam & MK_RBUTTON)
        shift.Include(ssRight);
    if (m.WParam & MK_MBUTTON)
        shift.Include(ssMiddle);
    if (KeyboardShiftState().Contains(ssAlt))
        shift.Include(ssAlt);
    return shift;
}
} // namespace

void TControl::WMPaint(TMessage &message)
{
    QWidget *widget = d->widget;
    auto *link = dynamic_cast<TWidgetLink *>(widget);
    if (!PaintsItself() || !widget) {
        DefaultHandler(message);
        return;
    }
    if (!link || !link->current || link->current->type() != QEvent::Paint) {
        // Outside a paint event there is nothing to paint on; ask for one.
        widget->update();
        return;
    }
    QPainter painter(widget);
    TCanvas *canvas = Canvas();
    TCanvasBinding binding(*canvas, &painter);
    canvas->SetFont(Font());
    canvas->Brush()->SetColor(d->color);
    canvas->Brush()->SetStyle(bsSolid);
    Paint();
}

void TControl::WMLButtonDown(TMessage &message)
{
    std::weak_ptr<int> alive = AliveToken();
    DefaultHandler(message);
    if (alive.expired())
        return;
    d->pressed = true;
    MouseDown(mbLeft, MouseShift(message), LoWordSigned(message.LParam), HiWordSigned(message.LParam));
}

void TControl::WMLButtonUp(TMessage &message)
{
    std::weak_ptr<int> alive = AliveToken();
    DefaultHandler(message);
    if (alive.expired())
        return;
    int x = LoWordSigned(message.LParam), y = HiWordSigned(message.LParam);
    bool wasPressed = std::exchange(d->pressed, false);
    // Controls that draw themselves click on release over them; native
    // buttons report their own clicks.
    if (wasPressed && PaintsItself() && PtInRect(ClientRect(), { x, y })) {
        Click();
        if (alive.expired())
            return;
    }
    MouseUp(mbLeft, MouseShift(message), x, y);
}

void TControl::WMLButtonDblClk(TMessage &message)
{
    std::weak_ptr<int> alive = AliveToken();
    DefaultHandler(message);
    if (alive.expired())
        return;
    d->pressed = true;
    DblClick();
    if (alive.expired())
        return;
    MouseDown(mbLeft, MouseShift(message) + TShiftState { ssDouble }, LoWordSigned(message.LParam),
        HiWordSigned(message.LParam));
}

void TControl::WMRButtonDown(TMessage &message)
{
    std::weak_ptr<int> alive = AliveToken();
    DefaultHandler(message);
    if (alive.expired())
        return;
    MouseDown(mbRight, MouseShift(message), LoWordSigned(message.LParam), HiWordSigned(message.LParam));
}

void TControl::WMRButtonUp(TMessage &message)
{
    std::weak_ptr<int> alive = AliveToken();
    DefaultHandler(message);
    if (alive.expired())
        return;
    MouseUp(mbRight, MouseShift(message), LoWordSigned(message.LParam), HiWordSigned(message.LParam));
}

void TControl::WMMouseMove(TMessage &message)
{
    std::weak_ptr<int> alive = AliveToken();
    DefaultHandler(message);
    if (alive.expired())
        return;
    MouseMove(MouseShift(message), LoWordSigned(message.LParam), HiWordSigned(message.LParam));
}

void TControl::CMEnabledChanged(TMessage &)
{
    if (d->widget)
        d->widget->setEnabled(d->enabled);
}

void TControl::CMFontChanged(TMessage &)
{
    ApplyFont();
}
void TControl::CMColorChanged(TMessage &)
{
    ApplyColor();
}
void TControl::CMTextChanged(TMessage &)
{
    Invalidate();
}

// Whether the control places and shows its widget itself: a form's window
// is placed and shown by the form, a drop-down on the desktop by its control
// (in screen coordinates, which are its own).
static bool PlacedByControl(const TControl *control, const QWidget *widget)
{
    return widget && (!widget->isWindow() || !dynamic_cast<const TCustomForm *>(control));
}

void TControl::CMVisibleChanged(TMessage &)
{
    if (QWidget *widget = d->widget; PlacedByControl(this, widget))
        widget->setVisible(d->visible);
}

void TControl::CMParentFontChanged(TMessage &)
{
    if (!d->parentFont || !d->parent)
        return;
    d->copyingParentFont = true;
    d->font.Assign(d->parent->Font());
    d->copyingParentFont = false;
}

void TControl::CMParentColorChanged(TMessage &)
{
    if (!d->parentColor || !d->parent)
        return;
    d->color = d->parent->Color();
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::CMMouseEnter(TMessage &) { }
void TControl::CMMouseLeave(TMessage &) { }

void TControl::CreateControlWidget()
{
    QWidget *parentWidget = TQtBoundary::ParentWidgetFor(this);
    if (!parentWidget)
        return;
    auto *widget = new TBridge<QWidget>(this, parentWidget);
    widget->setFocusPolicy(Qt::NoFocus);
    TQtBoundary::SetWidget(this, widget);
}

// Applies everything the control was told before its widget existed.
void TControl::ApplyAll()
{
    QWidget *widget = d->widget;
    if (!widget)
        return;
    UpdateBounds();
    widget->setEnabled(d->enabled);
    ApplyFont();
    ApplyColor();
    ApplyCursor(widget, d->cursor);
    SetHint(d->hint);
    if (auto *win = dynamic_cast<TWinControl *>(this); !win)
        SetTextValue(d->text);
    if (PlacedByControl(this, widget))
        widget->setVisible(d->visible);
}

void TControl::UpdateBounds()
{
    if (QWidget *widget = d->widget; PlacedByControl(this, widget))
        widget->setGeometry(d->left, d->top, d->width, d->height);
}

void TControl::ApplyFont()
{
    QWidget *widget = d->widget;
    if (!widget)
        return;
    widget->setFont(TFontAccess::ToQFont(d->font));
    QPalette palette = widget->palette();
    QColor color = ToQColor(d->font.Color());
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
    widget->update();
}

void TControl::ApplyColor()
{
    QWidget *widget = d->widget;
    if (!widget)
        return;
    QPalette palette = widget->palette();
    QColor color = ToQColor(d->color);
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Button, color);
    widget->setPalette(palette);
    widget->update();
}

void TControl::RequestAlign()
{
    if (d->parent && (d->align != alNone || d->parent->w->aligning == false))
        d->parent->Realign();
}

// ---- TWinControl ---------------------------------------------------------------------

TWinControl::TWinControl(TComponent *owner)
    : TControl(owner)
    , w(std::make_unique<WinImpl>())
{
}

TWinControl::~TWinControl()
{
    Destroying();
    // The children outlive this window when their owner is someone else;
    // they lose their parent and their widgets first.
    while (!w->controls.empty())
        RemoveControl(w->controls.back());
    DestroyHandle();
}

int TWinControl::ControlCount() const
{
    return static_cast<int>(w->controls.size());
}

TControl *TWinControl::Controls(int index) const
{
    if (index < 0 || index >= ControlCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return w->controls[static_cast<size_t>(index)];
}

bool TWinControl::ContainsControl(const TControl *control) const
{
    for (const TControl *c = control; c; c = c->Parent())
        if (c == this)
            return true;
    return false;
}

void TWinControl::InsertControl(TControl *control)
{
    if (!control || control->d->parent == this)
        return;
    if (control->d->parent)
        control->d->parent->RemoveControl(control);
    w->controls.push_back(control);
    control->d->parent = this;
    if (control->d->parentFont) {
        control->d->copyingParentFont = true;
        control->d->font.Assign(Font());
        control->d->copyingParentFont = false;
    }
    if (control->d->parentColor) {
        control->d->color = Color();
        control->ApplyColor();
    }
    if (control->d->parentCtl3D)
        control->d->ctl3D = Ctl3D();
    if (HandleAllocated()) {
        if (auto *win = dynamic_cast<TWinControl *>(control))
            win->CreateHandle();
        else
            control->CreateControlWidget(), control->ApplyAll();
    }
    Realign();
}

void TWinControl::RemoveControl(TControl *control)
{
    auto it = std::find(w->controls.begin(), w->controls.end(), control);
    if (it == w->controls.end())
        return;
    w->controls.erase(it);
    if (auto *win = dynamic_cast<TWinControl *>(control))
        win->DestroyHandle();
    else
        DisposeWidget(std::exchange(control->d->widget, nullptr));
    control->d->parent = nullptr;
    if (!ComponentState().Contains(csDestroying))
        Realign();
}

void TWinControl::GetChildren(const TGetChildProc &proc, TComponent *root) const
{
    for (TControl *control : w->controls)
        if (control->Owner() == root)
            proc(control);
}

HWND TWinControl::Handle()
{
    HandleNeeded();
    return reinterpret_cast<HWND>(this);
}

bool TWinControl::HandleAllocated() const
{
    return !d->widget.isNull();
}
void TWinControl::HandleNeeded()
{
    CreateHandle();
}

void TWinControl::CreateHandle()
{
    if (HandleAllocated() || w->creating)
        return;
    if (d->parent && !d->parent->HandleAllocated()) {
        d->parent->CreateHandle(); // makes this one too, with the other children
        if (HandleAllocated())
            return;
    }
    w->creating = true;
    try {
        CreateWnd();
    } catch (...) {
        w->creating = false;
        throw;
    }
    w->creating = false;
}

void TWinControl::CreateParams(TCreateParams &params)
{
    params.Caption = d->text;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (d->visible)
        params.Style |= WS_VISIBLE;
    if (!d->enabled)
        params.Style |= WS_DISABLED;
    if (w->tabStop)
        params.Style |= WS_TABSTOP;
    params.X = d->left, params.Y = d->top, params.Width = d->width, params.Height = d->height;
    params.WndParent = d->parent ? reinterpret_cast<HWND>(d->parent) : nullptr;
}

void TWinControl::CreateWnd()
{
    TCreateParams params;
    CreateParams(params);
    CreateWindowHandle(params);
    QWidget *widget = d->widget;
    if (!widget)
        throw EInvalidOperation("Error creating window for " + Name());
    w->style = params.Style;
    w->exStyle = params.ExStyle;
    LiveHandles().insert(this);
    widget->setFocusPolicy(w->tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    ApplyAll();
    SetTextValue(d->text);
    for (TControl *control : w->controls) {
        if (auto *win = dynamic_cast<TWinControl *>(control))
            win->CreateHandle();
        else
            control->CreateControlWidget(), control->ApplyAll();
    }
    Realign();
}

namespace {
std::map<std::string, TWindowClassMaker> &WindowClasses()
{
    static std::map<std::string, TWindowClassMaker> classes;
    return classes;
}
} // namespace

void RegisterWindowClass(const std::string &name, TWindowClassMaker make)
{
    WindowClasses()[name] = make;
}

HWND GetDesktopWindow()
{
    static HWND__ *const desktop = reinterpret_cast<HWND__ *>(&WindowClasses);
    return desktop;
}

namespace {

// Mouse hooks see every press in the program before its window does.
class TMouseHooks : public QObject
{
public:
    std::map<int, TMouseHookProc> hooks;
    int next = 1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() && !hooks.empty()) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const uint32_t msg = mouse->button() == Qt::RightButton ? WM_RBUTTONDOWN
                : mouse->button() == Qt::MiddleButton               ? WM_MBUTTONDOWN
                                                                    : WM_LBUTTONDOWN;
            const QPoint at = mouse->globalPosition().toPoint();
            for (const auto &[id, proc] : std::map<int, TMouseHookProc>(hooks))
                GuardedCall(nullptr, [&, proc = proc] { proc(msg, { at.x(), at.y() }); });
        }
        return false;
    }
};

TMouseHooks &MouseHooks()
{
    static TMouseHooks *hooks = [] {
        auto *made = new TMouseHooks;
        qApp->installEventFilter(made);
        return made;
    }();
    return *hooks;
}

} // namespace

int SetMouseHook(TMouseHookProc proc)
{
    TMouseHooks &hooks = MouseHooks();
    hooks.hooks[hooks.next] = std::move(proc);
    return hooks.next++;
}

void RemoveMouseHook(int id)
{
    MouseHooks().hooks.erase(id);
}

void TWinControl::CreateWindowHandle(const TCreateParams &params)
{
    if (auto found = WindowClasses().find(params.WinClassName); found != WindowClasses().end())
        return found->second(this, params);
    auto *widget = new TBridge<QWidget>(this, TQtBoundary::ParentWidgetFor(this));
    TQtBoundary::SetWidget(this, widget);
}

void TWinControl::DestroyWnd()
{
    // The text lives in the window while there is one; keep it.
    d->text = GetText();
    LiveHandles().erase(this);
    for (TControl *control : w->controls)
        if (!dynamic_cast<TWinControl *>(control))
            control->d->widget = nullptr;
    QList<QWidget *> tree;
    if (QWidget *widget = d->widget)
        tree = widget->findChildren<QWidget *>();
    for (QWidget *each : tree)
        if (auto *link = dynamic_cast<TWidgetLink *>(each); link && link->control) {
            if (auto *win = dynamic_cast<TWinControl *>(link->control); win && win != this) {
                win->d->text = win->GetText();
                LiveHandles().erase(win);
            }
            link->control->d->widget = nullptr;
        }
    DisposeWidget(std::exchange(d->widget, nullptr));
    w->client = nullptr;
}

void TWinControl::DestroyHandle()
{
    if (HandleAllocated())
        DestroyWnd();
}

void TWinControl::RecreateWnd()
{
    if (!HandleAllocated())
        return;
    bool hadFocus = Focused();
    bool shownWindow = d->widget->isWindow() && d->widget->isVisible();
    DestroyHandle();
    CreateHandle();
    // A top-level window shows only when told to; it was showing before.
    if (shownWindow) {
        d->widget->show();
        d->widget->activateWindow();
    }
    if (hadFocus)
        SetFocus();
}

uint32_t TWinControl::WindowStyle() const
{
    return w->style;
}
uint32_t TWinControl::WindowExStyle() const
{
    return w->exStyle;
}

void TWinControl::SetWindowStyle(uint32_t style, uint32_t exStyle)
{
    uint32_t oldStyle = std::exchange(w->style, style);
    uint32_t oldExStyle = std::exchange(w->exStyle, exStyle);
    if (oldStyle != style || oldExStyle != exStyle)
        WindowStyleChanged(oldStyle, oldExStyle);
}

void TWinControl::WindowStyleChanged(uint32_t, uint32_t) { }

bool TWinControl::CanFocus() const
{
    for (const TControl *c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return true;
}

bool TWinControl::Focused() const
{
    return d->widget && d->widget->hasFocus();
}

void TWinControl::SetFocus()
{
    if (TCustomForm *form = GetParentForm(this); form && form != this)
        form->SetActiveControl(this);
    else
        HandleNeeded(), d->widget->setFocus(Qt::OtherFocusReason);
}

int TWinControl::TabOrder() const
{
    if (!d->parent)
        return -1;
    int order = 0;
    for (TControl *control : d->parent->w->controls)
        if (auto *win = dynamic_cast<TWinControl *>(control)) {
            if (win == this)
                return w->tabOrder >= 0 ? w->tabOrder : order;
            ++order;
        }
    return -1;
}

void TWinControl::SetTabOrder(int tabOrder)
{
    w->tabOrder = tabOrder;
    if (d->parent && d->parent->HandleAllocated())
        d->parent->ApplyTabOrder();
}

void TWinControl::ApplyTabOrder()
{
    std::vector<TWinControl *> order;
    for (TControl *control : w->controls)
        if (auto *win = dynamic_cast<TWinControl *>(control); win && win->HandleAllocated())
            order.push_back(win);
    std::stable_sort(order.begin(), order.end(),
        [](TWinControl *a, TWinControl *b) { return a->TabOrder() < b->TabOrder(); });
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1]->d->widget, order[i]->d->widget);
}

bool TWinControl::TabStop() const
{
    return w->tabStop;
}
void TWinControl::SetTabStop(bool tabStop)
{
    w->tabStop = tabStop;
    if (d->widget)
        d->widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

TRect TWinControl::ClientRect() const
{
    return TControl::ClientRect();
}

void TWinControl::AdjustClientRect(TRect &) const { }

void TWinControl::Realign()
{
    if (w->aligning || ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying))
        return;
    w->aligning = true;
    try {
        TRect rect = ClientRect();
        AdjustClientRect(rect);
        AlignControls(nullptr, rect);
    } catch (...) {
        w->aligning = false;
        throw;
    }
    w->aligning = false;
}

void TWinControl::AlignControls(TControl *, TRect &rect)
{
    // Top first, then bottom, left, right, and the client control takes what
    // is left; controls of one kind keep the order of their positions.
    static const TAlign order[] = { alTop, alBottom, alLeft, alRight, alClient };
    for (TAlign align : order) {
        std::vector<TControl *> list;
        for (TControl *control : w->controls)
            if (control->Align() == align && control->Visible())
                list.push_back(control);
        auto key = [align](TControl *c) {
            switch (align) {
            case alTop:
                return c->Top();
            case alBottom:
                return -(c->Top() + c->Height());
            case alLeft:
                return c->Left();
            case alRight:
                return -(c->Left() + c->Width());
            default:
                return 0;
            }
        };
        std::stable_sort(list.begin(), list.end(), [&](TControl *a, TControl *b) { return key(a) < key(b); });
        for (TControl *c : list) {
            int width = c->Width(), height = c->Height();
            switch (align) {
            case alTop:
                c->SetBounds(rect.Left, rect.Top, rect.Width(), height);
                rect.Top += height;
                break;
            case alBottom:
                c->SetBounds(rect.Left, rect.Bottom - height, rect.Width(), height);
                rect.Bottom -= height;
                break;
            case alLeft:
                c->SetBounds(rect.Left, rect.Top, width, rect.Height());
                rect.Left += width;
                break;
            case alRight:
                c->SetBounds(rect.Right - width, rect.Top, width, rect.Height());
                rect.Right -= width;
                break;
            default:
                c->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
                break;
            }
        }
    }
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    Realign();
}

bool TWinControl::DoKeyDown(uint16_t &key, TShiftState shift)
{
    std::weak_ptr<int> alive = AliveToken();
    TCustomForm *form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && static_cast<TWinControl *>(form)->DoKeyDown(key, shift))
        return true;
    if (key != 0 && !alive.expired())
        KeyDown(key, shift);
    return key == 0;
}

bool TWinControl::DoKeyPress(char32_t &key)
{
    std::weak_ptr<int> alive = AliveToken();
    TCustomForm *form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && static_cast<TWinControl *>(form)->DoKeyPress(key))
        return true;
    if (key != 0 && !alive.expired())
        KeyPress(key);
    return key == 0;
}

bool TWinControl::DoKeyUp(uint16_t &key, TShiftState shift)
{
    std::weak_ptr<int> alive = AliveToken();
    TCustomForm *form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && static_cast<TWinControl *>(form)->DoKeyUp(key, shift))
        return true;
    if (key != 0 && !alive.expired())
        KeyUp(key, shift);
    return key == 0;
}

void TWinControl::KeyDown(uint16_t &key, TShiftState shift)
{
    OnKeyDown(this, key, shift);
}
void TWinControl::KeyPress(char32_t &key)
{
    OnKeyPress(this, key);
}
void TWinControl::KeyUp(uint16_t &key, TShiftState shift)
{
    OnKeyUp(this, key, shift);
}
void TWinControl::DoEnter()
{
    OnEnter(this);
}
void TWinControl::DoExit()
{
    OnExit(this);
}
bool TWinControl::WantsKey(uint16_t) const
{
    return false;
}

void TWinControl::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_KEYDOWN:
        return WMKeyDown(message);
    case WM_KEYUP:
        return WMKeyUp(message);
    case WM_CHAR:
        return WMChar(message);
    case WM_SETFOCUS:
        return WMSetFocus(message);
    case WM_KILLFOCUS:
        return WMKillFocus(message);
    case WM_SIZE:
        return WMSize(message);
    case WM_CONTEXTMENU:
        return WMContextMenu(message);
    case CM_ENTER:
        return CMEnter(message);
    case CM_EXIT:
        return CMExit(message);
    case CM_DIALOGKEY:
        return CMDialogKey(message);
    default:
        return TControl::Dispatch(message);
    }
}

void TWinControl::DefaultHandler(TMessage &message)
{
    TControl::DefaultHandler(message);
}

void TWinControl::WMKeyDown(TMessage &message)
{
    uint16_t key = static_cast<uint16_t>(message.WParam);
    std::weak_ptr<int> alive = AliveToken();
    // A key Qt names no virtual key for (a letter of another keyboard) is
    // not a key the handlers swallowed: its character must still follow.
    const bool named = key != 0;
    if ((named && DoKeyDown(key, KeyboardShiftState())) || alive.expired()) {
        message.Result = 1;
        return;
    }
    message.WParam = key;
    // Alt+F4 closes the top-level window, as the window manager's own
    // shortcut does; a desktop that takes the key first sends the close itself.
    if (key == VK_F4 && KeyboardShiftState() == TShiftState { ssAlt }) {
        if (QWidget *widget = d->widget ? d->widget->window() : nullptr)
            if (auto *link = dynamic_cast<TWidgetLink *>(widget); link && link->control) {
                link->control->Perform(WM_CLOSE, 0, 0);
                message.Result = 1;
                return;
            }
    }
    // Enter and Escape belong to the form's default and cancel buttons
    // unless this control keeps them.
    if ((key == VK_RETURN || key == VK_ESCAPE) && !WantsKey(key)) {
        TCustomForm *form = GetParentForm(this);
        if (form && form->Perform(CM_DIALOGKEY, key, 0) != 0) {
            message.Result = 1;
            return;
        }
        if (alive.expired()) {
            message.Result = 1;
            return;
        }
    }
    DefaultHandler(message);
}

void TWinControl::WMKeyUp(TMessage &message)
{
    uint16_t key = static_cast<uint16_t>(message.WParam);
    std::weak_ptr<int> alive = AliveToken();
    if (DoKeyUp(key, KeyboardShiftState()) || alive.expired()) {
        message.Result = 1;
        return;
    }
    message.WParam = key;
    DefaultHandler(message);
}

void TWinControl::WMChar(TMessage &message)
{
    char32_t key = static_cast<char32_t>(message.WParam);
    std::weak_ptr<int> alive = AliveToken();
    if (DoKeyPress(key) || alive.expired()) {
        message.Result = 1;
        return;
    }
    message.WParam = key;
    DefaultHandler(message);
}

void TWinControl::WMSetFocus(TMessage &message)
{
    DefaultHandler(message);
    if (TCustomForm *form = GetParentForm(this))
        form->SetFocusedControl(this);
}

void TWinControl::WMKillFocus(TMessage &message)
{
    DefaultHandler(message);
}

void TWinControl::WMSize(TMessage &)
{
    Realign();
}

void TWinControl::WMContextMenu(TMessage &message)
{
    DefaultHandler(message);
}
void TWinControl::CMEnter(TMessage &)
{
    DoEnter();
}
void TWinControl::CMExit(TMessage &)
{
    DoExit();
}
void TWinControl::CMDialogKey(TMessage &message)
{
    // Offered to every child until one takes it.
    for (TControl *control : std::vector<TControl *>(w->controls)) {
        if (control->Visible() && control->Enabled())
            control->WndProc(message);
        if (message.Result != 0)
            return;
    }
}

void TWinControl::UpdateBounds()
{
    TControl::UpdateBounds();
}

void TWinControl::ApplyFont()
{
    TControl::ApplyFont();
    for (TControl *control : std::vector<TControl *>(w->controls))
        control->Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::ApplyColor()
{
    TControl::ApplyColor();
    if (QWidget *widget = d->widget; widget && PaintsItself())
        widget->setAutoFillBackground(true);
    for (TControl *control : std::vector<TControl *>(w->controls))
        control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

// ---- TGraphicControl, TCustomControl --------------------------------------------------

TGraphicControl::TGraphicControl(TComponent *owner)
    : TControl(owner)
{
}
TCustomControl::TCustomControl(TComponent *owner)
    : TWinControl(owner)
{
}

// ---- Handles and keys -----------------------------------------------------------------

TWinControl *FindControl(HWND handle)
{
    auto *control = reinterpret_cast<TWinControl *>(handle);
    return LiveHandles().count(control) ? control : nullptr;
}

LRESULT SendMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    TWinControl *control = FindControl(handle);
    return control ? control->Perform(msg, wParam, lParam) : 0;
}

// ---- The message queue -----------------------------------------------------------------
//
// Posted messages wait here in order, each with the keyboard state of its
// moment; Qt is asked once per message to hand out the oldest one. Keys
// typed ahead sit in Qt's own queue until PeekMessage takes them over into
// this one, where they keep their place: a key nobody takes out goes back to
// its widget as the same Qt event when its turn comes.

namespace {

struct TPosted {
    TMsg Msg;
    TKeyboardState Keys {};
    QPointer<QObject> Receiver; // a typed-ahead Qt key event, given back as it was
    std::unique_ptr<QEvent> Event;
    bool Gathered = false; // a key down taken over in the running PeekMessage
    bool Released = false; // ... whose key up follows it already
};

std::deque<TPosted> &PostedQueue()
{
    static std::deque<TPosted> queue;
    return queue;
}

// Keeps the keyboard state of a posted message while it is handled.
class TKeyboardStateScope
{
public:
    explicit TKeyboardStateScope(const TKeyboardState &state)
    {
        GetKeyboardState(saved_);
        SetKeyboardState(state);
    }
    ~TKeyboardStateScope() { SetKeyboardState(saved_); }

private:
    TKeyboardState saved_;
};

void DispatchOldestPosted()
{
    std::deque<TPosted> &queue = PostedQueue();
    if (queue.empty())
        return;
    TPosted posted = std::move(queue.front());
    queue.pop_front();
    if (posted.Event) {
        if (posted.Receiver)
            QCoreApplication::postEvent(posted.Receiver, posted.Event.release());
        return;
    }
    if (!FindControl(posted.Msg.Window))
        return;
    TDispatchDepth depth;
    TKeyboardStateScope keys(posted.Keys);
    GuardedCall(FindControl(posted.Msg.Window),
        [&] { SendMessage(posted.Msg.Window, posted.Msg.Message, posted.Msg.WParam, posted.Msg.LParam); });
}

void Enqueue(TPosted posted, std::deque<TPosted>::iterator where)
{
    PostedQueue().insert(where, std::move(posted));
    // A message taken out early leaves a spare call behind; it hands out the
    // next one a little sooner, still in order.
    QMetaObject::invokeMethod(qApp, [] { DispatchOldestPosted(); }, Qt::QueuedConnection);
}

HWND WindowOfWidget(QObject *object)
{
    for (auto *widget = qobject_cast<QWidget *>(object); widget; widget = widget->parentWidget())
        if (auto *link = dynamic_cast<TWidgetLink *>(widget); link && link->control)
            if (auto *win = dynamic_cast<TWinControl *>(link->control))
                return reinterpret_cast<HWND>(win);
    return nullptr;
}

// Takes the key events Qt holds for later into the queue: presses first,
// each release then placed right after the press of its key.
class TTypedAheadKeys : public QObject
{
public:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        TPosted posted;
        bool press = event->type() == QEvent::KeyPress;
        posted.Msg = { WindowOfWidget(receiver), press ? WM_KEYDOWN : WM_KEYUP, VirtualKeyOf(key),
            press ? LPARAM(1) : LPARAM(0xC0000001) };
        GetKeyboardState(posted.Keys);
        posted.Receiver = receiver;
        posted.Event.reset(key->clone());
        std::deque<TPosted> &queue = PostedQueue();
        auto where = queue.end();
        if (press)
            posted.Gathered = true;
        else
            for (auto it = queue.begin(); it != queue.end(); ++it)
                if (it->Gathered && !it->Released && it->Msg.WParam == posted.Msg.WParam) {
                    it->Released = true;
                    where = std::next(it);
                    break;
                }
        Enqueue(std::move(posted), where);
        return true;
    }
};

void TakeOverTypedAheadKeys()
{
    static bool running = false;
    if (!qApp || running)
        return;
    running = true;
    TTypedAheadKeys filter;
    qApp->installEventFilter(&filter);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::KeyPress);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::KeyRelease);
    qApp->removeEventFilter(&filter);
    for (TPosted &p : PostedQueue())
        p.Gathered = p.Released = false;
    running = false;
}

} // namespace

bool PostMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (!FindControl(handle))
        return false;
    TPosted posted;
    posted.Msg = { handle, msg, wParam, lParam };
    GetKeyboardState(posted.Keys);
    Enqueue(std::move(posted), PostedQueue().end());
    return true;
}

bool PeekMessage(TMsg &msg, HWND window, uint32_t first, uint32_t last, uint32_t flags)
{
    TakeOverTypedAheadKeys();
    std::deque<TPosted> &queue = PostedQueue();
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (window && it->Msg.Window != window)
            continue;
        if ((first || last) && (it->Msg.Message < first || it->Msg.Message > last))
            continue;
        msg = it->Msg;
        if (flags & PM_REMOVE)
            queue.erase(it);
        return true;
    }
    return false;
}

int32_t GetWindowLong(HWND handle, int index)
{
    TWinControl *control = FindControl(handle);
    if (!control)
        return 0;
    if (index == GWL_STYLE)
        return static_cast<int32_t>(control->WindowStyle());
    if (index == GWL_EXSTYLE)
        return static_cast<int32_t>(control->WindowExStyle());
    return 0;
}

int32_t SetWindowLong(HWND handle, int index, int32_t value)
{
    TWinControl *control = FindControl(handle);
    if (!control)
        return 0;
    int32_t previous = GetWindowLong(handle, index);
    if (index == GWL_STYLE)
        control->SetWindowStyle(static_cast<uint32_t>(value), control->WindowExStyle());
    else if (index == GWL_EXSTYLE)
        control->SetWindowStyle(control->WindowStyle(), static_cast<uint32_t>(value));
    return previous;
}

HWND GetFocus()
{
    for (QWidget *widget = QApplication::focusWidget(); widget; widget = widget->parentWidget())
        if (auto *link = dynamic_cast<TWidgetLink *>(widget); link && link->control)
            if (auto *win = dynamic_cast<TWinControl *>(link->control))
                return reinterpret_cast<HWND>(win);
    return nullptr;
}

bool IsWindowEnabled(HWND handle)
{
    TWinControl *control = FindControl(handle);
    return control && control->Enabled();
}

bool IsWindowVisible(HWND handle)
{
    TWinControl *control = FindControl(handle);
    return control && TQtBoundary::Widget(control) && TQtBoundary::Widget(control)->isVisible();
}

TShiftState KeyboardShiftState()
{
    return currentShift;
}

void GetKeyboardState(TKeyboardState &state)
{
    state.fill(0);
    for (int vk : keysDown)
        if (vk >= 0 && vk < 256)
            state[vk] = 0x80;
    for (uint16_t vk : { VK_SHIFT, VK_CONTROL, VK_MENU, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON })
        state[vk] = GetKeyState(vk) < 0 || state[vk] ? 0x80 : 0;
}

void SetKeyboardState(const TKeyboardState &state)
{
    static const std::pair<uint16_t, TShiftStateFlag> modifiers[] = { { VK_SHIFT, ssShift }, { VK_CONTROL, ssCtrl },
        { VK_MENU, ssAlt }, { VK_LBUTTON, ssLeft }, { VK_RBUTTON, ssRight }, { VK_MBUTTON, ssMiddle } };
    keysDown.clear();
    currentShift = {};
    for (int vk = 0; vk < 256; ++vk)
        if (state[vk] & 0x80)
            keysDown.insert(vk);
    for (auto [vk, flag] : modifiers)
        if (state[vk] & 0x80)
            currentShift.Include(flag);
}

int16_t GetKeyState(int virtualKey)
{
    // The low bit tells a lock key's state, as on Windows.
    int16_t toggle = (virtualKey == VK_CAPITAL || virtualKey == VK_NUMLOCK || virtualKey == VK_SCROLL)
            && KeyLocks()->LockOn(virtualKey)
        ? 1
        : 0;
    switch (virtualKey) {
    case VK_SHIFT:
        return currentShift.Contains(ssShift) ? int16_t(-128) : int16_t(0);
    case VK_CONTROL:
        return currentShift.Contains(ssCtrl) ? int16_t(-128) : int16_t(0);
    case VK_MENU:
        return currentShift.Contains(ssAlt) ? int16_t(-128) : int16_t(0);
    case VK_LBUTTON:
        return currentShift.Contains(ssLeft) ? int16_t(-128) : int16_t(0);
    case VK_RBUTTON:
        return currentShift.Contains(ssRight) ? int16_t(-128) : int16_t(0);
    default:
        return static_cast<int16_t>((keysDown.count(virtualKey) ? int16_t(-128) : int16_t(0)) | toggle);
    }
}

// ---- The boundary ----------------------------------------------------------------------

TWidgetLink *TQtBoundary::Link(const TControl *control)
{
    return control ? dynamic_cast<TWidgetLink *>(control->d->widget.data()) : nullptr;
}

QWidget *TQtBoundary::Widget(const TControl *control)
{
    return control ? control->d->widget.data() : nullptr;
}

QWidget *TQtBoundary::ClientWidget(const TWinControl *control)
{
    if (!control)
        return nullptr;
    return control->w->client ? control->w->client.data() : control->d->widget.data();
}

void TQtBoundary::SetWidget(TControl *control, QWidget *widget)
{
    control->d->widget = widget;
}

void TQtBoundary::SetClientWidget(TWinControl *control, QWidget *client)
{
    control->w->client = client;
}

QWidget *TQtBoundary::ParentWidgetFor(const TControl *control)
{
    return control->d->parent ? ClientWidget(control->d->parent) : nullptr;
}

QWidget *TQtBoundary::ParentWidgetFor(const TControl *control, const TCreateParams &params)
{
    return params.WndParent == GetDesktopWindow() ? nullptr : ParentWidgetFor(control);
}

bool TQtBoundary::MakeDropDown(QWidget *widget, const TCreateParams &params)
{
    if (params.WndParent != GetDesktopWindow())
        return false;
    widget->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    widget->setAttribute(Qt::WA_ShowWithoutActivating);
    return true;
}

uint16_t VirtualKeyOf(const QKeyEvent *event)
{
    int key = event->key();
    bool keypad = event->modifiers() & Qt::KeypadModifier;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<uint16_t>(VK_NUMPAD0 + (key - Qt::Key_0));
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return static_cast<uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<uint16_t>(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Pause:
        return VK_PAUSE;
    case Qt::Key_CapsLock:
        return VK_CAPITAL;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Help:
        return VK_HELP;
    case Qt::Key_NumLock:
        return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
        return VK_SCROLL;
    case Qt::Key_Asterisk:
        return keypad ? VK_MULTIPLY : uint16_t('8');
    case Qt::Key_Plus:
        return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus:
        return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Slash:
        return keypad ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Period:
        return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Comma:
        return keypad ? VK_DECIMAL : VK_OEM_COMMA;
    case Qt::Key_Equal:
        return VK_OEM_PLUS;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return VK_OEM_1;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return VK_OEM_5;
    default:
        return 0;
    }
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState shift;
    if (modifiers & Qt::ShiftModifier)
        shift.Include(ssShift);
    if (modifiers & Qt::ControlModifier)
        shift.Include(ssCtrl);
    if (modifiers & Qt::AltModifier)
        shift.Include(ssAlt);
    if (buttons & Qt::LeftButton)
        shift.Include(ssLeft);
    if (buttons & Qt::RightButton)
        shift.Include(ssRight);
    if (buttons & Qt::MiddleButton)
        shift.Include(ssMiddle);
    return shift;
}

void TQtBoundary::KeyPress(TWidgetLink &link, QKeyEvent *event)
{
    currentShift = ShiftStateOf(event->modifiers(), QApplication::mouseButtons());
    uint16_t vk = VirtualKeyOf(event);
    keysDown.insert(vk);
    if (!event->isAutoRepeat())
        KeyLocks()->KeyPressed(vk);
    TMessage down { WM_KEYDOWN, vk, event->isAutoRepeat() ? LPARAM(0x40000001) : LPARAM(1), 0 };
    link.control->WndProc(down);
    if (!link.control || down.Result != 0)
        return;
    // Each character the key types follows as WM_CHAR, as a message loop's
    // key translation would send it.
    for (char32_t c : event->text().toStdU32String()) {
        if (c == 0x7F)
            continue;
        TMessage character { WM_CHAR, c, 1, 0 };
        link.control->WndProc(character);
        if (!link.control)
            return;
    }
}

void TQtBoundary::KeyRelease(TWidgetLink &link, QKeyEvent *event)
{
    currentShift = ShiftStateOf(event->modifiers(), QApplication::mouseButtons());
    uint16_t vk = VirtualKeyOf(event);
    keysDown.erase(vk);
    TMessage up { WM_KEYUP, vk, LPARAM(0xC0000001), 0 };
    link.control->WndProc(up);
}

void TQtBoundary::Mouse(TWidgetLink &link, QMouseEvent *event, uint32_t msg)
{
    currentShift = ShiftStateOf(event->modifiers(), event->buttons());
    WPARAM keys = 0;
    if (event->buttons() & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (event->buttons() & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (event->buttons() & Qt::MiddleButton)
        keys |= MK_MBUTTON;
    if (event->modifiers() & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (event->modifiers() & Qt::ControlModifier)
        keys |= MK_CONTROL;
    QPoint pos = event->position().toPoint();
    // A form's own coordinates start below its menu bar.
    if (auto *win = dynamic_cast<TWinControl *>(link.control); win && win->w->client)
        pos = win->w->client->mapFrom(link.Widget(), pos);
    TMessage message { msg, keys, MakeLParam(pos.x(), pos.y()), 0 };
    link.control->WndProc(message);
}

void TQtBoundary::Paint(TWidgetLink &link, QPaintEvent *)
{
    TMessage message { WM_PAINT, 0, 0, 0 };
    link.control->WndProc(message);
}

void TQtBoundary::Focus(TWidgetLink &link, QFocusEvent *event, bool in)
{
    TMessage message { in ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0, 0 };
    // WM_KILLFOCUS names the window that takes the focus (or becomes active), when it is one of ours.
    if (!in) {
        QWidget *next = event->reason() == Qt::ActiveWindowFocusReason ? QApplication::activeWindow() : QApplication::focusWidget();
        if (auto *nextLink = dynamic_cast<TWidgetLink *>(next); nextLink && nextLink->control)
            if (auto *win = dynamic_cast<TWinControl *>(nextLink->control); win && win->HandleAllocated())
                message.WParam = reinterpret_cast<WPARAM>(win->Handle());
    }
    link.control->WndProc(message);
}

void TQtBoundary::Resized(TWidgetLink &link)
{
    TMessage message { WM_SIZE, 0, MakeLParam(link.Widget()->width(), link.Widget()->height()), 0 };
    link.control->WndProc(message);
}

void TQtBoundary::Close(TWidgetLink &link)
{
    TMessage message { WM_CLOSE, 0, 0, 0 };
    link.control->WndProc(message);
}

void TQtBoundary::ContextMenu(TWidgetLink &link, QContextMenuEvent *event)
{
    if (TPopupMenu *menu = link.control->PopupMenu()) {
        menu->SetPopupComponent(link.control);
        menu->Popup(event->globalPos().x(), event->globalPos().y());
        return;
    }
    TMessage message { WM_CONTEXTMENU, 0, MakeLParam(event->globalPos().x(), event->globalPos().y()), 0 };
    link.control->WndProc(message);
}

void TQtBoundary::Hover(TWidgetLink &link, bool enter)
{
    TMessage message { enter ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0, 0 };
    link.control->WndProc(message);
    if (link.control)
        Application->SetHint(enter ? GetLongHint(link.control->Hint()) : std::string());
}

void TQtBoundary::Activated(TWidgetLink &link, bool active)
{
    // A drop-down never takes the activation from the window it drops from,
    // even where the window system activates every window shown (the
    // offscreen one does): that window gets it back, and with it the focus.
    QWidget *widget = link.Widget();
    if (active && widget->isWindow() && widget->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)) {
        if (TWinControl *from = link.control->Parent())
            if (QWidget *fromWidget = Widget(from))
                fromWidget->window()->activateWindow();
        return;
    }
    TMessage message { active ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0, 0 };
    link.control->WndProc(message);
}
