#pragma once

#include "controls/base/qxdbedit.h"
#include "platform/ui/buttons.h"

#include <memory>

// The library's edit with a small button at its right edge, showing three
// dots or a drop-down arrow. Pressing it (or Alt+Down, or a click on a text
// that cannot be typed) runs the button-click event, or drops a list down in
// the combo box built on it.

class TqxDBCustomCombo;
class TCustomPanel;

enum TqxComboButtonStyle { cbsEllipsis, cbsDownArrow };

// The button: its face is drawn by its combo.
class TqxComboDlgButton : public TSpeedButton
{
public:
    explicit TqxComboDlgButton(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    bool Pressed() const { return pressed_; }
    void Click() override;

protected:
    bool PaintsItself() const override { return true; }
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    bool pressed_ = false; // the left button is down on it
    bool clicked_ = false; // this release was a click already
};

class TqxDBCustomCombo : public TqxDBCustomEdit
{
public:
    explicit TqxDBCustomCombo(TComponent *owner);
    ~TqxDBCustomCombo() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The button
    TqxComboButtonStyle ButtonStyle() const;
    virtual void SetButtonStyle(TqxComboButtonStyle style);
    bool ShowButton() const { return GetShowButton(); }
    void SetShowButton(bool show) override;
    TqxComboDlgButton *Button() const;

    // Dropping down: the button click here; the combo box drops its list.
    virtual bool IsDroppedDown() const;
    virtual void CloseUp(bool accept);
    virtual void DropDown();
    // Draws the button's face; defaultDrawing false keeps the button's own.
    virtual void DrawButtonFace(TCanvas *canvas, const TRect &rect, bool &defaultDrawing, bool enabled, bool pressed);

    // Runs when the button is pressed (while it runs IsDroppedDown is true).
    TNotifyEvent OnButtonClick;

protected:
    void Loaded() override;
    void CreateParams(TCreateParams &params) override;
    void SetEditRect() override;
    bool CanTypeText() const override;
    bool GetShowButton() const override;
    int ButtonWidth() const override;
    int ButtonLeft() const override;
    virtual bool MouseEditsText() const;
    // 1 makes the text untypable.
    void SetTextStyle(uint8_t style);

    void KeyDown(uint16_t &key, TShiftState shift) override;
    void KeyPress(char32_t &key) override;
    void Dispatch(TMessage &message) override;
    void WMSize(TMessage &message) override;
    void CMEnabledChanged(TMessage &message) override;
    bool WantsKey(uint16_t key) const override;
    // The click on a text that cannot be typed: it acts like the button.
    void ClickTextArea(TMessage &message);
    void LayOut();

private:
    struct Impl;
    std::unique_ptr<Impl> const c;
    void ButtonClick();
    friend class TqxComboDlgButton;
};
