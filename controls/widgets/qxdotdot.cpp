#include "controls/widgets/qxdotdot.h"

#include "controls/base/Qxcommon.h"
#include "controls/base/Qxcomui.h"
#include "controls/widgets/qxwidgets_p.h"
#include "platform/classes/typinfo.h"
#include "platform/db/db.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/graphics.h"

#include <algorithm>

const TMetaClass TqxComboDlgButton::Class { "TqxComboDlgButton", &TSpeedButton::Class };
const TMetaClass TqxDBCustomCombo::Class { "TqxDBCustomCombo", &TqxDBCustomEdit::Class };

namespace
{
const TClassRegistrar<TqxComboDlgButton> buttonRegistrar({});
const TClassRegistrar<TqxDBCustomCombo> comboRegistrar({});

int ScrollBarWidth()
{
    return 16;
}
int ButtonFaceWidth()
{
    return std::max(ScrollBarWidth(), 15);
}
} // namespace

// ---- The button ---------------------------------------------------------------------------

TqxComboDlgButton::TqxComboDlgButton(TComponent *owner)
    : TSpeedButton(owner)
{
}

void TqxComboDlgButton::Paint()
{
    TCanvas *canvas = Canvas();
    const TRect rect = ClientRect();
    bool defaultDrawing = true;
    // The combo is the parent of the button's container.
    TWinControl *container = Parent();
    if (auto *combo = dynamic_cast<TqxDBCustomCombo *>(container ? container->Parent() : nullptr))
        combo->DrawButtonFace(canvas, rect, defaultDrawing, combo->Enabled(), pressed_);
    if (defaultDrawing)
        qxDrawEllipsisButton(canvas, rect, pressed_ ? 2 : 0, 0);
}

// The native button reports the release as a click, and so does a control
// that paints itself; one release is one click.
void TqxComboDlgButton::Click()
{
    if (clicked_)
        return;
    clicked_ = pressed_;
    TSpeedButton::Click();
}

void TqxComboDlgButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft) {
        pressed_ = true;
        Invalidate();
    }
    TSpeedButton::MouseDown(button, shift, x, y);
}

void TqxComboDlgButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft && pressed_) {
        pressed_ = false;
        Invalidate();
    }
    clicked_ = false;
    TSpeedButton::MouseUp(button, shift, x, y);
}

// ---- The combo base -----------------------------------------------------------------------

struct TqxDBCustomCombo::Impl {
    TCustomPanel *container = nullptr;
    TqxComboDlgButton *button = nullptr;
    uint8_t textStyle = 0; // 1: the text cannot be typed
    TqxComboButtonStyle buttonStyle = cbsEllipsis;
    bool clickRunning = false;
};

TqxDBCustomCombo::TqxDBCustomCombo(TComponent *owner)
    : TqxDBCustomEdit(owner)
    , c(std::make_unique<Impl>())
{
    c->container = new TCustomPanel(this);
    c->container->SetBevelOuter(bvNone);
    c->container->SetBounds(0, 0, std::max(ScrollBarWidth() + 4, 17), 17);
    c->container->SetVisible(true);
    c->container->SetParent(this);
    c->button = new TqxComboDlgButton(this);
    c->button->SetBounds(0, 0, c->container->Width(), c->container->Height());
    c->button->SetWidth(ButtonFaceWidth());
    c->button->SetParent(c->container);
    c->button->OnClick = [this](TObject *) { ButtonClick(); };
}

TqxDBCustomCombo::~TqxDBCustomCombo() = default;

TqxComboButtonStyle TqxDBCustomCombo::ButtonStyle() const
{
    return c->buttonStyle;
}
void TqxDBCustomCombo::SetButtonStyle(TqxComboButtonStyle style)
{
    c->buttonStyle = style;
    c->button->Invalidate();
}
TqxComboDlgButton *TqxDBCustomCombo::Button() const
{
    return c->button;
}
bool TqxDBCustomCombo::GetShowButton() const
{
    return c->container->Visible();
}
void TqxDBCustomCombo::SetShowButton(bool show)
{
    if (c->container->Visible() == show)
        return;
    c->container->SetVisible(show);
    if (!Owner() || !Owner()->ComponentState().Contains(csLoading)) {
        SetEditRect();
        Invalidate();
    }
}
int TqxDBCustomCombo::ButtonWidth() const
{
    return c->container->Width();
}
int TqxDBCustomCombo::ButtonLeft() const
{
    return c->container->Left() - 1;
}
void TqxDBCustomCombo::SetTextStyle(uint8_t style)
{
    c->textStyle = style;
}

void TqxDBCustomCombo::Loaded()
{
    c->button->SetWidth(ButtonFaceWidth());
    if (Parent() || Owner())
        LayOut();
    TqxDBCustomEdit::Loaded();
}

void TqxDBCustomCombo::CreateParams(TCreateParams &params)
{
    TqxDBCustomEdit::CreateParams(params);
    params.Style &= ~(ES_WANTRETURN | ES_AUTOVSCROLL);
    params.Style |= WS_CLIPCHILDREN;
}

// The button sits at the right edge, inside the border.
void TqxDBCustomCombo::LayOut()
{
    const int width = c->button->Width();
    const bool bordered = BorderStyle() != bsNone;
    const int left = bordered && Ctl3D() ? Width() - width - 4 : Width() - width;
    c->container->SetBounds(left, 0, width, ClientHeight());
    if (bordered)
        c->button->SetBounds(0, 0, width, c->container->Height());
    else
        c->button->SetBounds(0, -1, width, c->container->Height() + 1);
    SetEditRect();
}

void TqxDBCustomCombo::SetEditRect()
{
    if (!HandleAllocated())
        return;
    const int inset = BorderStyle() != bsNone ? 0 : 2;
    const int right = GetShowButton() ? c->container->Left() - 2 : ClientWidth() - 2;
    TRect rect = Rect(inset, inset, right, ClientHeight() + 1);
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&rect));
}

bool TqxDBCustomCombo::CanTypeText() const
{
    return c->textStyle != 1 || c->clickRunning;
}
bool TqxDBCustomCombo::MouseEditsText() const
{
    return c->textStyle != 1;
}
bool TqxDBCustomCombo::IsDroppedDown() const
{
    return c->clickRunning;
}

void TqxDBCustomCombo::CloseUp(bool accept)
{
    if (accept)
        SetModifiedState(true);
}

void TqxDBCustomCombo::DropDown()
{
    if (!OnButtonClick)
        return;
    c->clickRunning = true;
    Invalidate();
    auto cleanUp = [this] {
        Invalidate();
        Update();
        c->clickRunning = false;
    };
    try {
        if (Bound())
            DataLink()->Edit();
        OnButtonClick(this);
    } catch (...) {
        cleanUp();
        throw;
    }
    cleanUp();
}

void TqxDBCustomCombo::DrawButtonFace(TCanvas *canvas, const TRect &rect, bool &defaultDrawing, bool enabled, bool pressed)
{
    defaultDrawing = false;
    // The high bit of the key state says the mouse button is still down.
    const uint16_t keyState = pressed ? 0x8000 : 0;
    if (c->buttonStyle == cbsDownArrow)
        qxDrawComboArrowButton(canvas, rect, pressed, keyState, enabled);
    else
        qxDrawEllipsisButton(canvas, rect, pressed ? 2 : 0, keyState);
}

void TqxDBCustomCombo::ButtonClick()
{
    if (IsDroppedDown()) {
        CloseUp(true);
        return;
    }
    if (CanFocus())
        SetFocus();
    if (Focused())
        DropDown();
}

void TqxDBCustomCombo::KeyDown(uint16_t &key, TShiftState shift)
{
    const bool alt = shift.Contains(ssAlt) || KeyboardShiftState().Contains(ssAlt);
    if ((key == VK_RETURN || key == VK_ESCAPE) && IsDroppedDown() && !alt) {
        CloseUp(key == VK_RETURN);
        key = 0;
        return;
    }
    if ((key == VK_UP || key == VK_DOWN) && alt) {
        if (IsDroppedDown())
            CloseUp(true);
        else
            DropDown();
        key = 0;
        return;
    }
    TqxDBCustomEdit::KeyDown(key, shift);
    if (key != 0 && qxIsCharKey(key) && !CanTypeText())
        key = 0;
}

void TqxDBCustomCombo::KeyPress(char32_t &key)
{
    // An edit mask keeps TAB for itself.
    if (key == VK_TAB && IsMasked())
        return;
    TqxDBCustomEdit::KeyPress(key);
}

bool TqxDBCustomCombo::WantsKey(uint16_t key) const
{
    if ((key == VK_RETURN || key == VK_ESCAPE) && IsDroppedDown())
        return true;
    return TqxDBCustomEdit::WantsKey(key);
}

void TqxDBCustomCombo::ClickTextArea(TMessage &message)
{
    if (!qxwidgets::InheritsFromClassNamed(Parent(), "TqxCustomDBGrid") && CanFocus())
        SetFocus();
    if (IsDroppedDown())
        CloseUp(true);
    else
        DropDown();
    MouseDown(mbLeft, KeyboardShiftState(), LoWordSigned(message.LParam), HiWordSigned(message.LParam));
}

void TqxDBCustomCombo::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!MouseEditsText())
            return ClickTextArea(message);
        break;
    case WM_SETFOCUS:
        TqxDBCustomEdit::Dispatch(message);
        Invalidate();
        return;
    default:
        break;
    }
    TqxDBCustomEdit::Dispatch(message);
}

void TqxDBCustomCombo::WMSize(TMessage &message)
{
    TqxDBCustomEdit::WMSize(message);
    LayOut();
}

void TqxDBCustomCombo::CMEnabledChanged(TMessage &message)
{
    TqxDBCustomEdit::CMEnabledChanged(message);
    c->button->SetEnabled(Enabled());
}
