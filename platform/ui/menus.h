#pragma once

#include "platform/classes/classes.h"
#include "platform/rtl/events.h"
#include "platform/ui/messages.h"

#include <memory>
#include <string>

// Menus: a main menu under a form's caption and pop-up menus, both trees of
// TMenuItem. A caption of "-" is a separator; "&" marks the accelerator.

class QMenuBar;
class QMenu;
class TCanvas;
struct TRect;

ORVEX_EXCEPTION(EMenuError, Exception);

// A key with its modifiers: the virtual key code in the low byte.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
TShortCut ShortCut(uint16_t key, bool shift, bool ctrl, bool alt);
// "Ctrl+C", "Shift+Ins", "F1": as menus show them.
std::string ShortCutToText(TShortCut shortCut);
TShortCut TextToShortCut(const std::string &text); // 0 when not understood

// Where an item starts a new column of its menu: mbBarBreak draws a line
// between the columns.
enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum TPopupAlignment { paLeft, paRight, paCenter };

// Owner-drawn items: the size asked first (the canvas holds the menu's
// font), then each painting of the item, selected or not.
using TMenuMeasureItemEvent = TEvent<TObject *, TCanvas *, int &, int &>;
using TMenuDrawItemEvent = TEvent<TObject *, TCanvas *, TRect, bool>;

class TMenuItem : public TComponent
{
public:
    explicit TMenuItem(TComponent *owner);
    ~TMenuItem() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Look
    std::string Caption() const;
    void SetCaption(const std::string &caption);
    bool IsLine() const { return Caption() == "-"; }
    TShortCut ShortCut() const;
    void SetShortCut(TShortCut shortCut);
    bool Checked() const;
    void SetChecked(bool checked);
    bool RadioItem() const;
    void SetRadioItem(bool radioItem);
    int GroupIndex() const;
    void SetGroupIndex(int groupIndex);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);
    bool Default() const;
    void SetDefault(bool value);
    std::string Hint() const;
    void SetHint(const std::string &hint);
    TMenuBreak Break() const;
    void SetBreak(TMenuBreak value);

    // The tree
    int Count() const;
    TMenuItem *Items(int index) const;
    TMenuItem *Parent() const;
    void Add(TMenuItem *item);
    void Insert(int index, TMenuItem *item);
    void Delete(int index); // takes the item out; it stays owned by its owner
    void Remove(TMenuItem *item);
    void Clear(); // frees the items
    int IndexOf(const TMenuItem *item) const;
    TMenuItem *Find(const std::string &caption) const; // by caption without '&'

    // Streaming
    bool HasParent() const override { return true; }
    TComponent *GetParentComponent() const override;
    void SetParentComponent(TComponent *parent) override;
    void GetChildren(const TGetChildProc &proc, TComponent *root) const override;

    // Runs OnClick, as choosing the item does.
    virtual void Click();
    TNotifyEvent OnClick;
    // With OnDrawItem set the item paints itself.
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;

    // Builds the Qt menu under this item (its items as actions).
    void FillMenu(QMenu *menu);
    // Runs OnClick whenever the menu (this item's submenu) is about to show.
    void ClickWhenOpened(QMenu *menu);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    void Changed();
    friend class TMenu;
    friend class TMainMenu;
};

class TMenu : public TComponent
{
public:
    explicit TMenu(TComponent *owner);
    ~TMenu() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TMenuItem *Items() const;
    void GetChildren(const TGetChildProc &proc, TComponent *root) const override;
    // Finds the item whose shortcut this is, or null.
    TMenuItem *FindItem(TShortCut shortCut) const;

private:
    std::unique_ptr<TMenuItem> root_;
};

class TMainMenu : public TMenu
{
public:
    explicit TMainMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Fills a form's menu bar (the form calls this).
    void FillMenuBar(QMenuBar *bar);
};

class TPopupMenu : public TMenu
{
public:
    explicit TPopupMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Shows the menu at a screen position and waits until it closes.
    // A menu without visible items shows nothing.
    virtual void Popup(int x, int y);
    TComponent *PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent *component) { popupComponent_ = component; }
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool autoPopup) { autoPopup_ = autoPopup; }
    // Which edge of the menu stands at the x given to Popup.
    TPopupAlignment Alignment() const { return alignment_; }
    void SetAlignment(TPopupAlignment alignment) { alignment_ = alignment; }

    TNotifyEvent OnPopup;

private:
    TComponent *popupComponent_ = nullptr;
    bool autoPopup_ = true;
    TPopupAlignment alignment_ = paLeft;
};

// Removes the accelerator marks: "&Archivo" -> "Archivo", "&&" -> "&".
std::string StripHotkey(const std::string &caption);
