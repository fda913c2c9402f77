#pragma once

#include "platform/rtl/strings.h"
#include "platform/ui/controls.h"

#include <memory>
#include <string>

// The standard controls: labels, buttons, edits, memos and list boxes.

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
enum TOwnerDrawStateFlag {
    odSelected,
    odGrayed,
    odDisabled,
    odChecked,
    odFocused,
    odDefault,
    odHotLight,
    odInactive,
    odNoAccel,
    odNoFocusRect,
    odReserved1,
    odReserved2,
    odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;
using TDrawItemEvent = TEvent<TWinControl *, int, TRect, TOwnerDrawState>;

// ---- Labels --------------------------------------------------------------------

class TCustomLabel : public TGraphicControl
{
public:
    explicit TCustomLabel(TComponent *owner);
    ~TCustomLabel() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TAlignment Alignment() const;
    void SetAlignment(TAlignment alignment);
    bool AutoSize() const;
    void SetAutoSize(bool autoSize);
    TTextLayout Layout() const;
    void SetLayout(TTextLayout layout);
    bool Transparent() const;
    void SetTransparent(bool transparent);
    bool WordWrap() const;
    void SetWordWrap(bool wordWrap);
    bool ShowAccelChar() const;
    void SetShowAccelChar(bool show);
    TWinControl *FocusControl() const;
    void SetFocusControl(TWinControl *control);

protected:
    void Paint() override;
    void AdjustBounds();
    void CMTextChanged(TMessage &message) override;
    void CMFontChanged(TMessage &message) override;
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    uint32_t DrawTextFormat() const;

private:
    struct Impl;
    std::unique_ptr<Impl> const l;
};

class TLabel : public TCustomLabel
{
public:
    explicit TLabel(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// A label with a window of its own.
enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };

class TStaticText : public TWinControl
{
public:
    explicit TStaticText(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    TStaticBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TStaticBorderStyle style);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool show);

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    void CMTextChanged(TMessage &message) override;
    void CMFontChanged(TMessage &message) override;
    void Loaded() override;

private:
    void ApplyLook();
    void AdjustBounds();
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
    TStaticBorderStyle borderStyle_ = sbsNone;
    bool showAccelChar_ = true;
};

// A frame with a caption at its top that holds other controls; they are
// placed inside the frame, below the caption.
class TCustomGroupBox : public TWinControl
{
public:
    explicit TCustomGroupBox(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    void AdjustClientRect(TRect &rect) const override;
};

class TGroupBox : public TCustomGroupBox
{
public:
    explicit TGroupBox(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// ---- Buttons ---------------------------------------------------------------------

class TButton : public TWinControl
{
public:
    explicit TButton(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Enter clicks the default button, Escape the cancel button.
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    // A click sets the form's ModalResult to this, which ends ShowModal.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value) { modalResult_ = value; }

    void Click() override;

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    void Dispatch(TMessage &message) override;
    bool WantsKey(uint16_t key) const override;

private:
    bool default_ = false;
    bool cancel_ = false;
    int modalResult_ = 0;
};

// ---- Edits ------------------------------------------------------------------------

// The edit over a native line edit, or a multi-line one when CreateParams
// asks for ES_MULTILINE. Typing arrives as WM_CHAR and clipboard work as
// WM_COPY, WM_CUT and WM_PASTE, so a descendant may change or refuse either
// before the native edit acts.
class TCustomEdit : public TWinControl
{
public:
    explicit TCustomEdit(TComponent *owner);
    ~TCustomEdit() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Text and selection, counted in characters
    int SelStart() const;
    void SetSelStart(int start);
    int SelLength() const;
    void SetSelLength(int length);
    std::string SelText() const;
    void SetSelText(const std::string &text);
    void SelectAll();
    void ClearSelection();
    void Clear();
    int GetTextLen() const;

    // Behaviour
    int MaxLength() const;
    void SetMaxLength(int maxLength);
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    bool Modified() const;
    void SetModified(bool modified);
    std::string PasswordChar() const; // one character, or empty
    void SetPasswordChar(const std::string &passwordChar);
    TEditCharCase CharCase() const;
    void SetCharCase(TEditCharCase charCase);
    bool AutoSelect() const;
    void SetAutoSelect(bool autoSelect);
    bool AutoSize() const;
    void SetAutoSize(bool autoSize);
    TBorderStyle BorderStyle() const;
    void SetBorderStyle(TBorderStyle style);
    bool HideSelection() const;
    void SetHideSelection(bool hide);

    // Clipboard, through the messages
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo();
    bool CanUndo() const;

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    std::string GetText() const override;
    void SetTextValue(const std::string &text) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WindowStyleChanged(uint32_t oldStyle, uint32_t oldExStyle) override;
    void CMTextChanged(TMessage &message) override;
    void CMEnter(TMessage &message) override;
    bool WantsKey(uint16_t key) const override;
    // Multi-line edits: how lines are kept natively.
    bool IsMultiLine() const;

    // For memos: alignment, scroll bars, word wrap, returns and tabs.
    TAlignment EditAlignment() const;
    void SetEditAlignment(TAlignment alignment);

public:
    struct EditImpl;

protected:
    std::unique_ptr<EditImpl> const e;
};

class TEdit : public TCustomEdit
{
public:
    explicit TEdit(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

class TCustomMemo : public TCustomEdit
{
public:
    explicit TCustomMemo(TComponent *owner);
    ~TCustomMemo() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *Lines() const;
    void SetLines(TStrings *lines);
    TAlignment Alignment() const { return EditAlignment(); }
    void SetAlignment(TAlignment alignment) { SetEditAlignment(alignment); }
    TScrollStyle ScrollBars() const;
    void SetScrollBars(TScrollStyle scrollBars);
    bool WantReturns() const;
    void SetWantReturns(bool wantReturns);
    bool WantTabs() const;
    void SetWantTabs(bool wantTabs);
    bool WordWrap() const;
    void SetWordWrap(bool wordWrap);

protected:
    void CreateParams(TCreateParams &params) override;
    bool WantsKey(uint16_t key) const override;

private:
    struct MemoImpl;
    std::unique_ptr<MemoImpl> const m;
};

class TMemo : public TCustomMemo
{
public:
    explicit TMemo(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// ---- Combo boxes ------------------------------------------------------------------

// An edit or a fixed text with a list that drops down. A choice from the list
// by the user clicks the box and changes it; a program's ItemIndex does neither.
class TCustomComboBox : public TWinControl
{
public:
    explicit TCustomComboBox(TComponent *owner);
    ~TCustomComboBox() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *Items() const;
    void SetItems(TStrings *items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    TComboBoxStyle Style() const;
    void SetStyle(TComboBoxStyle style);
    int DropDownCount() const;
    void SetDropDownCount(int count);
    bool DroppedDown() const;
    void Clear();

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;

protected:
    virtual void Change();
    std::string GetText() const override;
    void SetTextValue(const std::string &text) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    bool WantsKey(uint16_t key) const override;

public:
    struct ComboImpl;

private:
    void ItemsChanged();
    std::unique_ptr<ComboImpl> const c;
    template <class> friend class TItemStrings;
};

class TComboBox : public TCustomComboBox
{
public:
    explicit TComboBox(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// ---- List boxes -------------------------------------------------------------------

// A list box whose CreateParams name the desktop as WndParent is a drop-down
// list: a window of its own, placed in screen coordinates, shown without being
// activated, and never taking the focus from the control it drops from.

class TCustomListBox : public TWinControl
{
public:
    explicit TCustomListBox(TComponent *owner);
    ~TCustomListBox() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *Items() const;
    void SetItems(TStrings *items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    TListBoxStyle Style() const;
    void SetStyle(TListBoxStyle style);
    int ItemHeight() const;
    void SetItemHeight(int height);
    int TopIndex() const;
    void SetTopIndex(int index);
    bool Sorted() const;
    void SetSorted(bool sorted);
    TBorderStyle BorderStyle() const;
    void SetBorderStyle(TBorderStyle style);
    bool IntegralHeight() const;
    void SetIntegralHeight(bool value);
    // Several items at once (Ctrl and Shift with the mouse, as extended selection does).
    bool MultiSelect() const;
    void SetMultiSelect(bool value);
    bool Selected(int index) const;
    void SetSelected(int index, bool selected);
    int SelCount() const;
    TRect ItemRect(int index) const;
    int ItemAtPos(TPoint pos, bool existing) const;
    void Clear();
    using TControl::Canvas;

    TDrawItemEvent OnDrawItem;

protected:
    // Draws one item on Canvas: OnDrawItem when assigned, else the text.
    virtual void DrawItem(int index, const TRect &rect, TOwnerDrawState state);
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void Dispatch(TMessage &message) override;
    void CMFontChanged(TMessage &message) override;
    bool WantsKey(uint16_t key) const override;

public:
    struct ListImpl;

private:
    std::unique_ptr<ListImpl> const b;
    template <class> friend class TItemStrings;
    friend class TListBoxDelegate;
    void ItemsChanged();
};

class TListBox : public TCustomListBox
{
public:
    explicit TListBox(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
