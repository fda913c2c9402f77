#include "installer/dialogs/cmp_TBackdrop.h"

#include "platform/classes/typinfo.h"

const TMetaClass TBackdrop::Class { "TBackdrop", &TCustomPanel::Class };
const TEnumNames DirectionNames { "bdUp", "bdDown", "bdLeft", "bdRight", "bdHorzIn", "bdHorzOut", "bdVertIn",
    "bdVertOut" };

namespace
{

const TEnumNames AlignmentNames = { "taLeftJustify", "taRightJustify", "taCenter" };
const TEnumNames AlignNames = { "alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient" };

using P = TPublish<TBackdrop>;
// clang-format off
const TClassRegistrar<TBackdrop> registrar({
    //           name           names            getter                    setter                    default
    P::Enum     ("Align",       AlignNames,      &TBackdrop::Align,        &TBackdrop::SetAlign,     alClient),
    P::String   ("Caption",                      &TBackdrop::Caption,      &TBackdrop::SetCaption,   ""),
    P::Enum     ("Alignment",   AlignmentNames,  &TBackdrop::Alignment,    &TBackdrop::SetAlignment, taCenter),
    P::Enum     ("Direction",   DirectionNames,  &TBackdrop::Direction,    &TBackdrop::SetDirection, bdUp),
    P::Integer  ("StartColor",                   &TBackdrop::StartColor,   &TBackdrop::SetStartColor, 0xFF0000),
    P::Integer  ("EndColor",                     &TBackdrop::EndColor,     &TBackdrop::SetEndColor,  0),
    P::Integer  ("Tag",                          &TBackdrop::Tag,          &TBackdrop::SetTag,       0),
});
// clang-format on

TBackdrop *current = nullptr;

// Windows' MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c)
{
    const int64_t p = int64_t(a) * b;
    return static_cast<int>((p >= 0) == (c > 0) ? (p + c / 2) / c : (p - c / 2) / c);
}

} // namespace

TBackdrop *CurrentBackdrop()
{
    return current;
}

void GradientFill(TCanvas *canvas, const TRect &rect, TColor a, TColor b, bool mirrored, bool across)
{
    const TColor ca = ColorToRGB(a), cb = ColorToRGB(b);
    const int rA = ca & 0xFF, gA = (ca >> 8) & 0xFF, bA = (ca >> 16) & 0xFF;
    const int dR = (cb & 0xFF) - rA, dG = ((cb >> 8) & 0xFF) - gA, dB = ((cb >> 16) & 0xFF) - bA;
    const int size = across ? rect.Width() : rect.Height();
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetMode(pmCopy);
    canvas->Brush()->SetStyle(bsSolid);
    auto band = [&](int from, int to) {
        if (across)
            canvas->FillRect(TRect { rect.Left + from, rect.Top, rect.Left + to, rect.Bottom });
        else
            canvas->FillRect(TRect { rect.Left, rect.Top + from, rect.Right, rect.Top + to });
    };
    const int steps = mirrored ? 127 : 255;
    for (int n = 0; n <= steps; ++n) {
        canvas->Brush()->SetColor(RGB(static_cast<uint8_t>(rA + MulDiv(n, dR, steps)),
            static_cast<uint8_t>(gA + MulDiv(n, dG, steps)),
            static_cast<uint8_t>(bA + MulDiv(n, dB, steps))));
        band(MulDiv(n, size, 256), MulDiv(n + 1, size, 256));
        if (mirrored)
            band(MulDiv(255 - n, size, 256), MulDiv(256 - n, size, 256));
    }
}

TBackdrop::TBackdrop(TComponent *owner)
    : TCustomPanel(owner)
{
    SetAlign(alClient);
    if (ComponentState().Contains(csDesigning) && !current)
        SetTag(-1);
}

TBackdrop::~TBackdrop()
{
    if (current == this)
        current = nullptr;
}

void TBackdrop::SetDirection(TDirection value)
{
    if (value == direction_)
        return;
    direction_ = value;
    Invalidate();
}

void TBackdrop::SetStartColor(TColor value)
{
    if (value == startColor_)
        return;
    startColor_ = value;
    Invalidate();
}

void TBackdrop::SetEndColor(TColor value)
{
    if (value == endColor_)
        return;
    endColor_ = value;
    Invalidate();
}

void TBackdrop::SetTag(int value)
{
    if (value == -1) {
        if (current && current != this)
            current->TComponent::SetTag(0);
        current = this;
    } else if (current == this) {
        current = nullptr;
    }
    TComponent::SetTag(value);
}

void TBackdrop::Paint()
{
    TCanvas *canvas = Canvas();
    TRect rect = ClientRect();
    Fill(canvas, rect);
    if (!Caption().empty()) {
        canvas->Brush()->SetStyle(bsClear);
        canvas->SetFont(Font());
        uint32_t format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
        format |= Alignment() == taCenter ? DT_CENTER : Alignment() == taRightJustify ? DT_RIGHT : DT_LEFT;
        DrawText(canvas, Caption(), rect, format);
    }
}

void TBackdrop::Fill(TCanvas *canvas, const TRect &rect) const
{
    switch (direction_) {
    case bdUp:
        return GradientFill(canvas, rect, startColor_, endColor_, false, false);
    case bdDown:
        return GradientFill(canvas, rect, endColor_, startColor_, false, false);
    case bdLeft:
        return GradientFill(canvas, rect, startColor_, endColor_, false, true);
    case bdRight:
        return GradientFill(canvas, rect, endColor_, startColor_, false, true);
    case bdHorzIn:
        return GradientFill(canvas, rect, endColor_, startColor_, true, false);
    case bdHorzOut:
        return GradientFill(canvas, rect, startColor_, endColor_, true, false);
    case bdVertIn:
        return GradientFill(canvas, rect, startColor_, endColor_, true, true);
    case bdVertOut:
        return GradientFill(canvas, rect, endColor_, startColor_, true, true);
    }
}
