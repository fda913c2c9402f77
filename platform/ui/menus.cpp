#include "platform/ui/menus.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/qtbridge_p.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QFrame>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QWidgetAction>
#include <QPointer>

#include <algorithm>
#include <vector>

const TMetaClass TMenuItem::Class { "TMenuItem", &TComponent::Class };
const TMetaClass TMenu::Class { "TMenu", &TComponent::Class };
const TMetaClass TMainMenu::Class { "TMainMenu", &TMenu::Class };
const TMetaClass TPopupMenu::Class { "TPopupMenu", &TMenu::Class };

// clang-format off
namespace {

const TEnumNames BreakNames = {"mbNone", "mbBreak", "mbBarBreak"};
const TEnumNames AlignmentNames = {"paLeft", "paRight", "paCenter"};

using P = TPublish<TMenuItem>;
const TClassRegistrar<TMenuItem> menuItemRegistrar({
    //         name          getter                  setter                   default
    P::String ("Caption",    &TMenuItem::Caption,    &TMenuItem::SetCaption,  ""),
    P::Integer("ShortCut",   &TMenuItem::ShortCut,   &TMenuItem::SetShortCut, 0),
    P::Boolean("Checked",    &TMenuItem::Checked,    &TMenuItem::SetChecked,  false),
    P::Boolean("RadioItem",  &TMenuItem::RadioItem,  &TMenuItem::SetRadioItem, false),
    P::Integer("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, 0),
    P::Boolean("Enabled",    &TMenuItem::Enabled,    &TMenuItem::SetEnabled,  true),
    P::Boolean("Visible",    &TMenuItem::Visible,    &TMenuItem::SetVisible,  true),
    P::Boolean("Default",    &TMenuItem::Default,    &TMenuItem::SetDefault,  false),
    P::String ("Hint",       &TMenuItem::Hint,       &TMenuItem::SetHint,     ""),
    P::Enum   ("Break",      BreakNames,
                             &TMenuItem::Break,      &TMenuItem::SetBreak,    mbNone),
    P::Event  ("OnClick",    &TMenuItem::OnClick),
    P::Event  ("OnDrawItem", &TMenuItem::OnDrawItem),
    P::Event  ("OnMeasureItem", &TMenuItem::OnMeasureItem),
});

const TClassRegistrar<TMainMenu> mainMenuRegistrar({});
using PP = TPublish<TPopupMenu>;
const TClassRegistrar<TPopupMenu> popupMenuRegistrar({
    PP::Enum   ("Alignment", AlignmentNames,
                             &TPopupMenu::Alignment, &TPopupMenu::SetAlignment, paLeft),
    PP::Boolean("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, true),
    PP::Event  ("OnPopup",   &TPopupMenu::OnPopup),
});

int QtKeyOf(uint16_t vk)
{
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return vk;
    if (vk >= VK_F1 && vk <= VK_F12)
        return Qt::Key_F1 + (vk - VK_F1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9)
        return Qt::Key_0 + (vk - VK_NUMPAD0);
    switch (vk) {
    case VK_BACK: return Qt::Key_Backspace;
    case VK_TAB: return Qt::Key_Tab;
    case VK_RETURN: return Qt::Key_Return;
    case VK_ESCAPE: return Qt::Key_Escape;
    case VK_SPACE: return Qt::Key_Space;
    case VK_PRIOR: return Qt::Key_PageUp;
    case VK_NEXT: return Qt::Key_PageDown;
    case VK_END: return Qt::Key_End;
    case VK_HOME: return Qt::Key_Home;
    case VK_LEFT: return Qt::Key_Left;
    case VK_UP: return Qt::Key_Up;
    case VK_RIGHT: return Qt::Key_Right;
    case VK_DOWN: return Qt::Key_Down;
    case VK_INSERT: return Qt::Key_Insert;
    case VK_DELETE: return Qt::Key_Delete;
    case VK_MULTIPLY: return Qt::Key_Asterisk;
    case VK_ADD: return Qt::Key_Plus;
    case VK_SUBTRACT: return Qt::Key_Minus;
    case VK_DIVIDE: return Qt::Key_Slash;
    default: return 0;
    }
}

QKeySequence KeySequenceOf(TShortCut shortCut)
{
    int key = QtKeyOf(shortCut & 0xFF);
    if (!key)
        return QKeySequence();
    int modifiers = 0;
    if (shortCut & scShift) modifiers |= Qt::SHIFT;
    if (shortCut & scCtrl) modifiers |= Qt::CTRL;
    if (shortCut & scAlt) modifiers |= Qt::ALT;
    return QKeySequence(key | modifiers);
}

} // namespace
// clang-format on

TShortCut ShortCut(uint16_t key, bool shift, bool ctrl, bool alt)
{
    return static_cast<TShortCut>(
        (key & 0xFF) | (shift ? scShift : 0) | (ctrl ? scCtrl : 0) | (alt ? scAlt : 0));
}

std::string ShortCutToText(TShortCut shortCut)
{
    return KeySequenceOf(shortCut).toString(QKeySequence::PortableText).toStdString();
}

TShortCut TextToShortCut(const std::string &text)
{
    QKeySequence sequence
        = QKeySequence::fromString(QString::fromStdString(text), QKeySequence::PortableText);
    if (sequence.isEmpty())
        return 0;
    QKeyCombination combination = sequence[0];
    for (int vk = 1; vk < 256; ++vk)
        if (QtKeyOf(static_cast<uint16_t>(vk)) == combination.key()) {
            Qt::KeyboardModifiers m = combination.keyboardModifiers();
            return ShortCut(static_cast<uint16_t>(vk), m & Qt::ShiftModifier, m & Qt::ControlModifier,
                m & Qt::AltModifier);
        }
    return 0;
}

std::string StripHotkey(const std::string &caption)
{
    std::string result;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&')
                result += '&', ++i;
            continue;
        }
        result += caption[i];
    }
    return result;
}

// ---- TMenuItem --------------------------------------------------------------------------

struct TMenuItem::Impl {
    std::string caption;
    TShortCut shortCut = 0;
    bool checked = false;
    bool radioItem = false;
    int groupIndex = 0;
    bool enabled = true;
    bool visible = true;
    bool isDefault = false;
    std::string hint;
    TMenuBreak menuBreak = mbNone;
    TMenuItem *parent = nullptr;
    std::vector<TMenuItem *> items;
    TMenu *menu = nullptr; // set on a menu's root item
    std::vector<QPointer<QAction>> actions; // every Qt action that shows this item
};

TMenuItem::TMenuItem(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
}

TMenuItem::~TMenuItem()
{
    Destroying();
    // Items belong to their owner, not to the item above them: they only
    // lose their place in the tree here.
    for (TMenuItem *item : d->items)
        item->d->parent = nullptr;
    d->items.clear();
    if (d->parent)
        d->parent->Remove(this);
    for (auto &action : d->actions)
        delete action.data();
}

std::string TMenuItem::Caption() const
{
    return d->caption;
}
void TMenuItem::SetCaption(const std::string &caption)
{
    d->caption = caption;
    Changed();
}
TShortCut TMenuItem::ShortCut() const
{
    return d->shortCut;
}
void TMenuItem::SetShortCut(TShortCut shortCut)
{
    d->shortCut = shortCut;
    Changed();
}
bool TMenuItem::Checked() const
{
    return d->checked;
}
void TMenuItem::SetChecked(bool checked)
{
    if (checked && d->radioItem && d->parent)
        for (TMenuItem *sibling : d->parent->d->items)
            if (sibling != this && sibling->d->radioItem && sibling->d->groupIndex == d->groupIndex)
                sibling->d->checked = false, sibling->Changed();
    d->checked = checked;
    Changed();
}
bool TMenuItem::RadioItem() const
{
    return d->radioItem;
}
void TMenuItem::SetRadioItem(bool radioItem)
{
    d->radioItem = radioItem;
    Changed();
}
int TMenuItem::GroupIndex() const
{
    return d->groupIndex;
}
void TMenuItem::SetGroupIndex(int groupIndex)
{
    d->groupIndex = groupIndex;
}
bool TMenuItem::Enabled() const
{
    return d->enabled;
}
void TMenuItem::SetEnabled(bool enabled)
{
    d->enabled = enabled;
    Changed();
}
bool TMenuItem::Visible() const
{
    return d->visible;
}
void TMenuItem::SetVisible(bool visible)
{
    d->visible = visible;
    Changed();
}
bool TMenuItem::Default() const
{
    return d->isDefault;
}
void TMenuItem::SetDefault(bool value)
{
    d->isDefault = value;
    Changed();
}
std::string TMenuItem::Hint() const
{
    return d->hint;
}
void TMenuItem::SetHint(const std::string &hint)
{
    d->hint = hint;
    Changed();
}

int TMenuItem::Count() const
{
    return static_cast<int>(d->items.size());
}

TMenuItem *TMenuItem::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return d->items[static_cast<size_t>(index)];
}

TMenuItem *TMenuItem::Parent() const
{
    return d->parent;
}
void TMenuItem::Add(TMenuItem *item)
{
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem *item)
{
    if (!item)
        return;
    if (item->d->parent)
        throw EMenuError("Menu inserted twice");
    if (index < 0 || index > Count())
        throw EMenuError("Menu index out of range");
    d->items.insert(d->items.begin() + index, item);
    item->d->parent = this;
    Changed();
}

void TMenuItem::Delete(int index)
{
    TMenuItem *item = Items(index);
    d->items.erase(d->items.begin() + index);
    item->d->parent = nullptr;
    Changed();
}

void TMenuItem::Remove(TMenuItem *item)
{
    int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
}

void TMenuItem::Clear()
{
    while (Count() > 0)
        delete Items(Count() - 1);
}

int TMenuItem::IndexOf(const TMenuItem *item) const
{
    auto it = std::find(d->items.begin(), d->items.end(), item);
    return it == d->items.end() ? -1 : static_cast<int>(it - d->items.begin());
}

TMenuItem *TMenuItem::Find(const std::string &caption) const
{
    for (TMenuItem *item : d->items)
        if (AnsiSameText(StripHotkey(item->d->caption), StripHotkey(caption)))
            return item;
    return nullptr;
}

TComponent *TMenuItem::GetParentComponent() const
{
    if (d->parent && d->parent->d->menu)
        return d->parent->d->menu;
    return d->parent;
}

void TMenuItem::SetParentComponent(TComponent *parent)
{
    if (d->parent)
        d->parent->Remove(this);
    if (auto *menu = dynamic_cast<TMenu *>(parent))
        menu->Items()->Add(this);
    else if (auto *item = dynamic_cast<TMenuItem *>(parent))
        item->Add(this);
}

void TMenuItem::GetChildren(const TGetChildProc &proc, TComponent *) const
{
    for (TMenuItem *item : d->items)
        proc(item);
}

void TMenuItem::Click()
{
    OnClick(this);
}

TMenuBreak TMenuItem::Break() const
{
    return d->menuBreak;
}

void TMenuItem::SetBreak(TMenuBreak value)
{
    d->menuBreak = value;
}

namespace {

// Qt's menus have no column breaks: a level whose items break into columns
// shows them as one grid of flat buttons inside the menu.
void FillColumns(QMenu *menu, const std::vector<TMenuItem *> &items)
{
    auto *grid = new QWidget(menu);
    auto *columns = new QHBoxLayout(grid);
    columns->setContentsMargins(2, 2, 2, 2);
    columns->setSpacing(2);
    QVBoxLayout *column = nullptr;
    for (TMenuItem *item : items) {
        if (!item->Visible())
            continue;
        if (!column || item->Break() != mbNone) {
            if (column && item->Break() == mbBarBreak) {
                auto *bar = new QFrame(grid);
                bar->setFrameShape(QFrame::VLine);
                bar->setFrameShadow(QFrame::Sunken);
                columns->addWidget(bar);
            }
            column = new QVBoxLayout;
            column->setSpacing(0);
            columns->addLayout(column);
        }
        if (item->IsLine()) {
            auto *line = new QFrame(grid);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            column->addWidget(line);
            continue;
        }
        auto *button = new QToolButton(grid);
        button->setText(QString::fromStdString(StripHotkey(item->Caption())));
        button->setAutoRaise(true);
        button->setCheckable(item->Checked());
        button->setChecked(item->Checked());
        button->setEnabled(item->Enabled());
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        QObject::connect(button, &QToolButton::clicked, button, [menu, item] {
            menu->close();
            TDispatchDepth depth;
            GuardedCall(item, [item] { item->Click(); });
        });
        column->addWidget(button);
    }
    for (int i = 0; i < columns->count(); ++i)
        if (auto *layout = columns->itemAt(i)->layout())
            static_cast<QVBoxLayout *>(layout)->addStretch();
    auto *action = new QWidgetAction(menu);
    action->setDefaultWidget(grid);
    menu->addAction(action);
}

// An owner-drawn item: a widget in the menu that asks the item for its size
// and its painting, and chooses it on a click (or Enter, through the action).
class TOwnerDrawnItem : public QWidget
{
public:
    TOwnerDrawnItem(TMenuItem *item, QMenu *menu, QWidgetAction *action)
        : QWidget(menu)
        , item_(item)
        , menu_(menu)
        , action_(action)
    {
        setMouseTracking(true);
        setAttribute(Qt::WA_Hover);
        TCanvas canvas;
        QImage scratch(1, 1, QImage::Format_ARGB32);
        QPainter painter(&scratch);
        painter.setFont(menu->font());
        TCanvasBinding binding(canvas, &painter);
        int width = 80, height = QFontMetrics(menu->font()).height() + 4;
        GuardedCall(item, [&] { item->OnMeasureItem(item, &canvas, width, height); });
        size_ = QSize(width, height);
    }
    QSize sizeHint() const override { return size_; }
    QSize minimumSizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!item_)
            return;
        QPainter painter(this);
        painter.setFont(menu_->font());
        TCanvas canvas;
        TCanvasBinding binding(canvas, &painter);
        bool selected = menu_->activeAction() == action_ || underMouse();
        TRect rect = Rect(0, 0, width(), height());
        GuardedCall(item_, [&] { item_->OnDrawItem(item_, &canvas, rect, selected); });
    }
    void enterEvent(QEnterEvent *) override
    {
        menu_->setActiveAction(action_);
        update();
    }
    void leaveEvent(QEvent *) override { update(); }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && item_ && item_->Enabled())
            action_->trigger();
    }

private:
    TMenuItem *item_;
    QMenu *menu_;
    QWidgetAction *action_;
    QSize size_;
};

} // namespace

void TMenuItem::FillMenu(QMenu *menu)
{
    if (std::any_of(d->items.begin(), d->items.end(), [](TMenuItem *item) { return item->d->menuBreak != mbNone; }))
        return FillColumns(menu, d->items);
    QActionGroup *radio = nullptr;
    // Hidden items are filled in too, hidden, so that showing one later works.
    for (TMenuItem *item : d->items) {
        QAction *action;
        if (item->IsLine()) {
            action = menu->addSeparator();
        } else if (!item->d->items.empty()) {
            QMenu *sub = menu->addMenu(QString::fromStdString(item->d->caption));
            item->FillMenu(sub);
            item->ClickWhenOpened(sub);
            action = sub->menuAction();
        } else if (item->OnDrawItem) {
            auto *widgetAction = new QWidgetAction(menu);
            widgetAction->setDefaultWidget(new TOwnerDrawnItem(item, menu, widgetAction));
            menu->addAction(widgetAction);
            action = widgetAction;
            TMenuItem *target = item;
            QObject::connect(action, &QAction::triggered, action, [menu, target] {
                menu->close();
                TDispatchDepth depth;
                GuardedCall(target, [target] { target->Click(); });
            });
        } else {
            action = menu->addAction(QString::fromStdString(item->d->caption));
            TMenuItem *target = item;
            QObject::connect(action, &QAction::triggered, action, [target] {
                TDispatchDepth depth;
                GuardedCall(target, [target] { target->Click(); });
            });
        }
        if (item->d->radioItem) {
            if (!radio)
                radio = new QActionGroup(menu);
            action->setActionGroup(radio);
        }
        TMenuItem *hinted = item;
        QObject::connect(action, &QAction::hovered, action,
            [hinted] { GuardedCall(hinted, [hinted] { Application->SetHint(GetLongHint(hinted->Hint())); }); });
        item->d->actions.push_back(action);
        item->Changed();
    }
}

void TMenuItem::Changed()
{
    for (auto &action : d->actions) {
        if (!action)
            continue;
        if (!IsLine())
            action->setText(QString::fromStdString(d->caption));
        action->setShortcut(KeySequenceOf(d->shortCut));
        action->setCheckable(d->checked || d->radioItem);
        action->setChecked(d->checked);
        action->setEnabled(d->enabled);
        action->setVisible(d->visible);
        action->setStatusTip(QString::fromStdString(d->hint));
        QFont font = action->font();
        font.setBold(d->isDefault);
        action->setFont(font);
    }
    d->actions.erase(std::remove_if(d->actions.begin(), d->actions.end(), [](auto &a) { return a.isNull(); }),
        d->actions.end());
}

// ---- Menus ---------------------------------------------------------------------------------

TMenu::TMenu(TComponent *owner)
    : TComponent(owner)
    , root_(std::make_unique<TMenuItem>(nullptr))
{
    root_->d->menu = this;
}

TMenu::~TMenu()
{
    Destroying();
    root_.reset();
}

TMenuItem *TMenu::Items() const
{
    return root_.get();
}

void TMenu::GetChildren(const TGetChildProc &proc, TComponent *root) const
{
    root_->GetChildren(proc, root);
}

TMenuItem *TMenu::FindItem(TShortCut shortCut) const
{
    std::vector<TMenuItem *> pending { root_.get() };
    while (!pending.empty()) {
        TMenuItem *item = pending.back();
        pending.pop_back();
        if (item != root_.get() && item->ShortCut() == shortCut && shortCut != 0)
            return item;
        for (int i = 0; i < item->Count(); ++i)
            pending.push_back(item->Items(i));
    }
    return nullptr;
}

TMainMenu::TMainMenu(TComponent *owner)
    : TMenu(owner)
{
}

void TMainMenu::FillMenuBar(QMenuBar *bar)
{
    for (int i = 0; i < Items()->Count(); ++i) {
        TMenuItem *item = Items()->Items(i);
        if (item->Count() == 0) {
            if (!item->Visible())
                continue;
            // A top-level item without items is a command of its own.
            QAction *action = bar->addAction(QString::fromStdString(item->Caption()));
            QObject::connect(action, &QAction::triggered, action, [item] {
                TDispatchDepth depth;
                GuardedCall(item, [item] { item->Click(); });
            });
            continue;
        }
        QMenu *menu = bar->addMenu(QString::fromStdString(item->Caption()));
        item->FillMenu(menu);
        item->ClickWhenOpened(menu);
        item->d->actions.push_back(menu->menuAction());
        item->Changed();
    }
}

void TMenuItem::ClickWhenOpened(QMenu *menu)
{
    // An item's OnClick runs as its submenu opens, so that it can prepare it.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [this] {
        TDispatchDepth depth;
        GuardedCall(this, [this] { Click(); });
    });
}

TPopupMenu::TPopupMenu(TComponent *owner)
    : TMenu(owner)
{
}

void TPopupMenu::Popup(int x, int y)
{
    OnPopup(this);
    bool any = false;
    for (int i = 0; i < Items()->Count(); ++i)
        any = any || Items()->Items(i)->Visible();
    if (!any)
        return;
    QMenu menu;
    Items()->FillMenu(&menu);
    QPoint at(x, y);
    if (alignment_ == paRight)
        at.rx() -= menu.sizeHint().width();
    else if (alignment_ == paCenter)
        at.rx() -= menu.sizeHint().width() / 2;
    menu.exec(at);
}
