#pragma once

#include "controls/widgets/qxdotdot.h"
#include "platform/ui/stdctrls.h"

#include <memory>
#include <string>

// The library's combo box: the edit with a drop-down arrow that opens a list
// of its own on the desktop. With MapList each line of Items is a display
// text, a TAB and the value the field stores; the list shows, and ItemIndex
// selects by, the display texts. Typing can search the lines as it goes
// (ShowMatchText), pick a line by its first letter, or drop the list down.

class TqxDBComboBox;

using TqxComboCloseUpEvent = TEvent<TObject *, bool>; // Sender, Select
using TMeasureItemEvent = TEvent<TWinControl *, int, int &>; // Control, Index, Height

// The list that drops down: a window of its own that searches its lines as
// keys are typed into the combo.
class TqxPopupListbox : public TCustomListBox
{
public:
    explicit TqxPopupListbox(TqxDBComboBox *combo);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string SearchText() const;

protected:
    void CreateParams(TCreateParams &params) override;
    void DrawItem(int index, const TRect &rect, TOwnerDrawState state) override;
    // Keys come from the combo, which keeps the focus: the arrows and pages
    // move the selection here as they would in a list that had it.
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void WndProc(TMessage &message) override;

private:
    TqxDBComboBox *combo_;
    std::u32string searchText_; // at most 31 characters
    uint32_t lastKeyTime_ = 0;
};

class TqxDBComboBox : public TqxDBCustomCombo
{
public:
    explicit TqxDBComboBox(TComponent *owner);
    ~TqxDBComboBox() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Items
    TStrings *Items() const;
    void SetItems(TStrings *items); // shows the field's value again
    bool MapList() const;
    void SetMapList(bool mapList);
    bool Sorted() const;
    void SetSorted(bool sorted);
    // -1 for none; an index outside the lines counts as -1.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The stored value of a display text, and back; exact comparisons.
    std::string ValueOfDisplay(const std::string &text) const;
    std::string DisplayOfValue(const std::string &value) const;

    // Behaviour
    TComboBoxStyle Style() const;
    void SetStyle(TComboBoxStyle style);
    bool AllowClearKey() const;
    void SetAllowClearKey(bool allow);
    bool AutoDropDown() const;
    void SetAutoDropDown(bool autoDropDown);
    bool ShowMatchText() const;
    void SetShowMatchText(bool show);

    // The list
    int DropDownCount() const;
    void SetDropDownCount(int count);
    int DropDownWidth() const; // 0: the combo's width
    void SetDropDownWidth(int width);
    int ItemHeight() const; // 0: the font's
    void SetItemHeight(int height);
    TqxPopupListbox *ListBox() const; // from the first drop-down on
    // Where OnDrawItem draws: the list's canvas while the list draws its lines.
    TCanvas *Canvas() const;
    bool IsDroppedDown() const override;
    void CloseUp(bool accept) override;
    void DropDown() override;

    TNotifyEvent OnDropDown;
    TqxComboCloseUpEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem; // kept for resources; never called

protected:
    void WndProc(TMessage &message) override;
    void Dispatch(TMessage &message) override;
    bool CanTypeText() const override;
    bool MouseEditsText() const override;
    std::string GetValueText() const override;
    void DrawText(TCanvas *canvas, const TRect &rect, const std::string &text, uint32_t flags) override;
    bool GetMappedDisplayText(const std::string &value, std::string &displayText) const override;
    void DataChange() override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void KeyUp(uint16_t &key, TShiftState shift) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const b;
    friend class TqxPopupListbox;
    bool OwnerDraw() const;
    std::string DisplayOf(int line) const;
    void ShowValue(const std::string &value);
    bool SelectLine(int index);
    void ClearValue();
};
