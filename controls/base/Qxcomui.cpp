#include "controls/base/Qxcomui.h"

#include "controls/base/Qxcommon.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"

#include <algorithm>

TCustomForm *qxGetOwnerForm(TComponent *component)
{
    for (TComponent *c = component; c; c = c->Owner())
        if (auto *form = dynamic_cast<TCustomForm *>(c))
            return form;
    return nullptr;
}

void qxNotifyDesignerModified(TComponent *component) { (void)qxGetOwnerForm(component); }

void qxGetWorkArea(TRect &rect) { rect = TRect{0, 0, Screen->Width(), Screen->Height()}; }

namespace {

// A raised edge as the class library draws one: light top-left, dark
// bottom-right, two pixels deep; flat draws one dark frame.
void DrawRaisedEdge(TCanvas *canvas, const TRect &r, bool flat, bool sunken)
{
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(r);
    auto line = [canvas](TColor c, int x1, int y1, int x2, int y2) {
        canvas->Pen()->SetColor(c);
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    const int l = r.Left, t = r.Top, rr = r.Right - 1, b = r.Bottom - 1;
    if (flat) {
        line(clBtnShadow, l, t, rr, t);
        line(clBtnShadow, rr, t, rr, b);
        line(clBtnShadow, rr, b, l, b);
        line(clBtnShadow, l, b, l, t);
        return;
    }
    TColor outerLight = sunken ? cl3DDkShadow : clBtnHighlight, outerDark = sunken ? clBtnHighlight : cl3DDkShadow;
    TColor innerLight = sunken ? clBtnShadow : clBtnFace, innerDark = sunken ? clBtnFace : clBtnShadow;
    line(outerLight, l, b, l, t), line(outerLight, l, t, rr + 1, t);
    line(outerDark, rr, t, rr, b), line(outerDark, rr, b, l - 1, b);
    line(innerLight, l + 1, b - 1, l + 1, t + 1), line(innerLight, l + 1, t + 1, rr, t + 1);
    line(innerDark, rr - 1, t + 1, rr - 1, b - 1), line(innerDark, rr - 1, b - 1, l, b - 1);
}

} // namespace

void qxDrawEllipsisButton(TCanvas *canvas, const TRect &rect, int state, uint16_t keyState)
{
    const bool pressed = state == 2;
    DrawRaisedEdge(canvas, rect, pressed && (keyState & 0x8000) == 0, false);
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    const int w = std::max(1, (width + 1) / 8);
    int x = rect.Left + width / 2, y = rect.Top + (height + 1) / 2;
    if (!pressed)
        --x, --y;
    canvas->Brush()->SetColor(clBlack);
    for (int dx : {-2 * w, 0, 2 * w})
        canvas->FillRect(TRect{x + dx, y, x + dx + w, y + w});
}

void qxDrawComboArrowButton(TCanvas *canvas, const TRect &rect, bool pressed, uint16_t keyState, bool enabled)
{
    const bool flat = pressed && (keyState & 0x8000) == 0;
    DrawRaisedEdge(canvas, rect, flat, pressed && !flat);
    // The arrow: a small triangle pointing down, grey when disabled.
    const int cx = (rect.Left + rect.Right) / 2 + (flat ? 1 : 0), cy = (rect.Top + rect.Bottom) / 2 + (flat ? 1 : 0);
    canvas->Pen()->SetColor(enabled ? clBlack : clBtnShadow);
    for (int i = 0; i < 4; ++i) {
        canvas->MoveTo(cx - 3 + i, cy - 1 + i);
        canvas->LineTo(cx + 4 - i, cy - 1 + i);
    }
}

void qxDrawFocusFrame(TCanvas *canvas, const TRect &rect)
{
    const TBrushStyle style = canvas->Brush()->Style();
    const TColor pen = canvas->Pen()->Color();
    canvas->Pen()->SetColor(clHighlight);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(rect);
    canvas->Font()->SetColor(clHighlight);
    canvas->Brush()->SetStyle(style);
    canvas->Pen()->SetColor(pen);
    canvas->DrawFocusRect(rect);
}

bool qxEscapePressed(TObject *dataset)
{
    TMsg msg;
    if (!PeekMessage(msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        return false;
    if (msg.Message != WM_KEYDOWN || msg.WParam != VK_ESCAPE)
        return false;
    qxSetFilterEnabled(dataset, false);
    return true;
}

void qxPostKeyWithModifier(HWND window, uint16_t key, uint16_t modifier)
{
    TKeyboardState saved, held;
    GetKeyboardState(saved);
    held = saved;
    held[key & 0xFF] = 129;
    held[modifier & 0xFF] = 129;
    SetKeyboardState(held);
    PostMessage(window, WM_KEYDOWN, key, 1);
    PostMessage(window, WM_KEYUP, key, 1);
    SetKeyboardState(saved);
}
