#include "controls/widgets/qxTrackIcon.h"

#include "platform/classes/typinfo.h"

#include <algorithm>

const TMetaClass TqxTrackIcon::Class { "TqxTrackIcon", &TGraphicControl::Class };

// clang-format off
namespace {
using P = TPublish<TqxTrackIcon>;
const TClassRegistrar<TqxTrackIcon> registrar({
    //           name          getter                     setter                        default
    P::Event    ("OnEndDrag",  &TqxTrackIcon::OnEndDrag),
    P::String   ("BitmapName", &TqxTrackIcon::BitmapName, &TqxTrackIcon::SetBitmapName, ""),
    P::Integer  ("MinValue",   &TqxTrackIcon::MinValue,   &TqxTrackIcon::SetMinValue,   0),
    P::Integer  ("MaxValue",   &TqxTrackIcon::MaxValue,   &TqxTrackIcon::SetMaxValue,   0),
});
} // namespace
// clang-format on

struct TqxTrackIcon::Impl {
    TBitmap bitmap;
    std::string name;
    int minValue = 0;
    int maxValue = 0;
    bool dragging = false;
    bool moved = false;
    int pressX = 0;
};

TqxTrackIcon::TqxTrackIcon(TComponent *owner)
    : TGraphicControl(owner)
    , d(std::make_unique<Impl>())
{
}

TqxTrackIcon::~TqxTrackIcon() = default;

std::string TqxTrackIcon::BitmapName() const
{
    return d->name;
}
void TqxTrackIcon::SetBitmapName(const std::string &name)
{
    if (name == d->name)
        return;
    d->name = name;
    if (!name.empty()) {
        d->bitmap.LoadFromResourceName(name);
        SetBounds(Left(), Top(), d->bitmap.Width(), d->bitmap.Height());
    }
    Invalidate();
}
int TqxTrackIcon::MinValue() const
{
    return d->minValue;
}
void TqxTrackIcon::SetMinValue(int value)
{
    d->minValue = value;
}
int TqxTrackIcon::MaxValue() const
{
    return d->maxValue;
}
void TqxTrackIcon::SetMaxValue(int value)
{
    d->maxValue = value;
}

void TqxTrackIcon::Paint()
{
    if (d->bitmap.Empty())
        return;
    TCanvas *source = d->bitmap.Canvas();
    TCanvas *canvas = Canvas();
    const int height = d->bitmap.Height();
    TColor transparent = source->Pixels(0, height - 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < d->bitmap.Width(); ++x)
            if (TColor color = source->Pixels(x, y); color != transparent)
                canvas->SetPixels(x, y, color);
}

// The marker follows the pointer while the button is held. Qt sends the
// moves to the pressed widget until the button is released, which stands for
// the capture and the message loop of its own the marker would run.
void TqxTrackIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft)
        return;
    d->dragging = true;
    d->moved = false;
    d->pressX = x;
}

void TqxTrackIcon::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    if (!d->dragging || (!d->moved && x == d->pressX))
        return;
    int left = x + Left() - d->pressX;
    if (d->minValue != 0 && left < d->minValue)
        left = d->minValue;
    if (d->maxValue != 0 && left > d->maxValue)
        left = d->maxValue;
    if (left != Left()) {
        d->moved = true;
        SetLeft(left);
    }
}

void TqxTrackIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    bool ended = d->dragging && button == mbLeft;
    if (ended)
        d->dragging = false;
    TGraphicControl::MouseUp(button, shift, x, y);
    if (ended && d->moved) {
        d->moved = false;
        OnEndDrag(this);
    }
}
