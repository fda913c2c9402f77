#include "controls/widgets/qxriched.h"
#include "controls/widgets/qxTrackIcon.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/printers.h"

#include <algorithm>
#include <cmath>

const TMetaClass TqxRulerPanel::Class { "TqxRulerPanel", &TPanel::Class };

namespace
{
const TClassRegistrar<TqxRulerPanel> registrar({});

constexpr double kInchesPerCentimetre = 0.39416633819471817; // 1 / 2.537
constexpr double kCentimetresPerInch = 2.537;
// The right marker keeps this far from the left ones.
constexpr int kMinimumGap = 48;

} // namespace

struct TqxRulerPanel::RulerImpl {
    TqxCustomRichEdit *edit = nullptr;
    TRect rect;
    TqxTrackIcon *left = nullptr;
    TqxTrackIcon *right = nullptr;
    TqxTrackIcon *first = nullptr;

    bool Centimetres() const { return edit && edit->MeasurementUnits() == muCentimeters; }
    int Ticks() const { return Centimetres() ? 4 : 8; }
    int Ppi() const { return edit ? std::max(1, edit->ScreenPixelsPerInch()) : 96; }
    // The printer page's width in inches.
    static double PageInches()
    {
        HDC dc = Printer()->Handle();
        return GetDeviceCaps(dc, PHYSICALWIDTH) * 1440 / std::max(1, GetDeviceCaps(dc, LOGPIXELSX)) / 1440.0;
    }
    double MarginInches() const
    {
        double margins = edit->PrintMargins()->Left() + edit->PrintMargins()->Right();
        return Centimetres() ? margins * kInchesPerCentimetre : margins;
    }
};

TqxRulerPanel::TqxRulerPanel(TComponent *owner)
    : TPanel(owner)
    , r(std::make_unique<RulerImpl>())
{
}

TqxRulerPanel::~TqxRulerPanel() = default;

TqxCustomRichEdit *TqxRulerPanel::RichEdit() const
{
    return r->edit;
}
TRect TqxRulerPanel::DrawRect() const
{
    return r->rect;
}
double TqxRulerPanel::PixelsPerUnit() const
{
    return r->Centimetres() ? r->Ppi() * kInchesPerCentimetre : r->Ppi();
}
TqxTrackIcon *TqxRulerPanel::LeftIndentMarker() const
{
    return r->left;
}
TqxTrackIcon *TqxRulerPanel::RightIndentMarker() const
{
    return r->right;
}
TqxTrackIcon *TqxRulerPanel::FirstLineMarker() const
{
    return r->first;
}

int TqxRulerPanel::PixelsToTwips(int pixels) const
{
    return pixels * 1440 / r->Ppi();
}
int TqxRulerPanel::PrinterPixelsToTwips(int pixels) const
{
    return pixels * 1440 / std::max(1, GetDeviceCaps(Printer()->Handle(), LOGPIXELSX));
}
int TqxRulerPanel::TwipsToPixels(int twips) const
{
    return twips * r->Ppi() / 1440;
}

void TqxRulerPanel::Setup(TqxCustomRichEdit *edit)
{
    r->edit = edit;
    SetBevelOuter(bvNone);
    SetHeight(Screen->PixelsPerInch() < 97 ? 25 : 27);
    if (edit->EditWidth() == rewPrinterSize)
        SetWidthFromPrinter();
    else if (Parent())
        SetWidth(Parent()->ClientWidth());
    r->rect = Rect(6, 4, Width() - 6, Height() - 4);
    auto make = [&](TqxTrackIcon *&marker, const char *bitmap) {
        if (!marker) {
            // The markers belong to the edit, as the editor's other parts do.
            marker = new TqxTrackIcon(edit);
            marker->SetParent(this);
            marker->OnEndDrag = [this](TObject *sender) { ApplyMarker(static_cast<TqxTrackIcon *>(sender)); };
        }
        marker->SetBitmapName(bitmap);
        int w = marker->Width() / 2;
        marker->SetMinValue(r->rect.Left - w);
        marker->SetMaxValue(r->rect.Right - w);
        return w;
    };
    int w = make(r->left, "qxRulerUp");
    r->left->SetLeft(r->rect.Left - w);
    r->left->SetTop(r->rect.Bottom - r->left->Height() + 4);
    w = make(r->right, "qxRulerUp");
    r->right->SetLeft(r->rect.Right - w);
    r->right->SetTop(r->rect.Bottom - r->right->Height() + 4);
    w = make(r->first, "qxRulerDown");
    r->first->SetLeft(r->rect.Left - w + 10);
    r->first->SetTop(r->rect.Top - 2);
    Invalidate();
}

void TqxRulerPanel::SetWidthFromPrinter()
{
    if (!r->edit)
        return;
    SetRulerWidth(static_cast<int>(std::trunc(r->Ppi() * (RulerImpl::PageInches() - r->MarginInches()))) + 12);
}

void TqxRulerPanel::SetRulerWidth(int width)
{
    SetWidth(width);
    r->rect = Rect(6, 4, Width() - 6, Height() - 4);
    for (TqxTrackIcon *marker : { r->left, r->right, r->first })
        if (marker)
            marker->SetMaxValue(r->rect.Right - marker->Width() / 2);
    Invalidate();
}

void TqxRulerPanel::Paint()
{
    TPanel::Paint();
    TCanvas *canvas = Canvas();
    const TRect &rect = r->rect;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(rect);
    auto line = [canvas](TColor color, std::initializer_list<TPoint> points) {
        canvas->Pen()->SetColor(color);
        auto it = points.begin();
        canvas->MoveTo(it->X, it->Y);
        for (++it; it != points.end(); ++it)
            canvas->LineTo(it->X, it->Y);
    };
    line(clBtnShadow, { { rect.Left - 1, rect.Bottom }, { rect.Left - 1, rect.Top }, { rect.Right + 1, rect.Top } });
    line(clBlack, { { rect.Left, rect.Bottom }, { rect.Left, rect.Top + 1 }, { rect.Right + 1, rect.Top + 1 } });
    line(clBtnFace, { { rect.Left - 1, rect.Bottom }, { rect.Right + 1, rect.Bottom }, { rect.Right + 1, rect.Top } });
    line(clBtnHighlight,
        { { rect.Left - 1, rect.Bottom + 1 }, { rect.Right + 2, rect.Bottom + 1 }, { rect.Right + 2, rect.Top } });
    if (!r->edit)
        return;

    const double ppu = PixelsPerUnit();
    double length;
    if (r->edit->EditWidth() == rewPrinterSize)
        length = (RulerImpl::PageInches() - r->MarginInches()) * (r->Centimetres() ? kCentimetresPerInch : 1);
    else
        length = (Width() - 12) / ppu;
    const int ticks = r->Ticks();
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsClear);
    canvas->Pen()->SetColor(clBlack);
    for (int i = 0; i <= static_cast<int>(std::trunc(length)) + 1 && i < length; ++i) {
        if (i > 0) {
            std::string number = IntToStr(i);
            int x = static_cast<int>(std::trunc(i * ppu + rect.Left - canvas->TextWidth(number) / 2.0));
            canvas->TextOut(x, rect.Top + 3, number);
        }
        for (int j = 1; j < ticks; ++j) {
            double p = i + static_cast<double>(j) / ticks;
            if (p >= length)
                break;
            int x = static_cast<int>(std::trunc(p * ppu)) + rect.Left;
            if (j == ticks / 2) {
                canvas->MoveTo(x, rect.Top + 7);
                canvas->LineTo(x, rect.Bottom - 5);
            } else {
                canvas->MoveTo(x, rect.Top + 8);
                canvas->LineTo(x, rect.Bottom - 7);
            }
        }
    }
}

void TqxRulerPanel::PlaceMarkers()
{
    if (!r->edit || !r->left)
        return;
    int offset = 0, right = 0, start = 0;
    r->edit->GetParagraphIndents(offset, right, start);
    int w = r->left->Width() / 2;
    r->left->SetLeft(r->rect.Left + TwipsToPixels(start) + TwipsToPixels(offset) - w);
    r->right->SetLeft(Width() - TwipsToPixels(right) - r->right->Width());
    r->first->SetLeft(r->rect.Left + TwipsToPixels(start) - r->first->Width() / 2);
}

void TqxRulerPanel::ApplyMarker(TqxTrackIcon *marker)
{
    if (!r->edit || !r->left || !marker)
        return;
    const double ppu = PixelsPerUnit();
    const int step = 1000 / r->Ticks();
    // Onto the scale's ticks: the centre, in thousandths of a unit, cut down to a tick.
    auto snapped = [&](TqxTrackIcon *m) {
        double value = (m->Left() + m->Width() / 2) / ppu;
        auto thousandths = static_cast<int64_t>(std::trunc(value * 1000));
        thousandths -= thousandths % step;
        return std::min(static_cast<int>(std::trunc(ppu * (thousandths * 0.001) + 1)), m->MaxValue());
    };
    int left = snapped(r->left), right = snapped(r->right), first = snapped(r->first);
    if (marker == r->left)
        left = std::min(left, right - kMinimumGap);
    else if (marker == r->right)
        right = std::max(right, std::max(left, first) + kMinimumGap);
    else if (marker == r->first)
        first = std::min(right - kMinimumGap, first);
    r->left->SetLeft(left);
    r->right->SetLeft(right);
    r->first->SetLeft(first);

    if (marker == r->right) {
        int inset = r->edit->LeftInset();
        int half = r->right->Width() / 2;
        int pixels = r->edit->EditWidth() == rewPrinterSize
            ? r->right->MaxValue() - inset - 4 - right + 2 * half
            : r->edit->Width() - inset - 4 - right + half;
        r->edit->SetParagraph(8, "", 0, 0, 0, 0, nullptr, 0, 0, PixelsToTwips(pixels), 0, false);
        return;
    }
    int leftTwips = PixelsToTwips(left - r->left->MinValue());
    int firstTwips = PixelsToTwips(first - r->first->MinValue());
    r->edit->SetParagraph(
        16 | 4, "", 0, 0, 0, 0, nullptr, 0, firstTwips, 0, leftTwips + std::min(-firstTwips, leftTwips), false);
}
