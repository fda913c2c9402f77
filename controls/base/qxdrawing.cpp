#include "controls/base/qxdrawing.h"

#include "platform/ui/graphics.h"

namespace
{
constexpr int kBorderHeight = 1; // SM_CYBORDER of the classic desktop
}

bool qxIsSingleLineRect(TCanvas *canvas, const TRect &rect, uint32_t format)
{
    TRect measured = Rect(0, 0, rect.Width(), 0);
    const int lineHeight = DrawText(canvas, " ", measured, format | DT_CALCRECT);
    return lineHeight + 2 * kBorderHeight + 3 >= rect.Height();
}

void qxDrawCellText(TCanvas *canvas, const TRect &rect, int dx, int dy, const std::string &text,
    int alignment, uint32_t flags)
{
    const int width = rect.Width(), height = rect.Height();
    TRect textRect;
    uint32_t format = DT_EXPANDTABS | DT_NOPREFIX;
    switch (alignment) {
    case 1:
        textRect = Rect(dx, dy, width - 2, height - 1);
        format |= DT_RIGHT;
        break;
    case 2:
        textRect = Rect(dx <= 3 ? 0 : 2, dy, width, height - 1);
        format |= DT_CENTER;
        break;
    default:
        textRect = Rect(dx, dy, width, height - 1);
        break;
    }
    OffsetRect(textRect, rect.Left, rect.Top);

    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(rect);

    if (flags & qxdcPrefix)
        format &= ~DT_NOPREFIX;
    if (flags & qxdcWordWrap)
        format |= DT_WORDBREAK;
    if ((flags & qxdcEllipsis) || ((format & DT_WORDBREAK) && qxIsSingleLineRect(canvas, rect, format)))
        format &= ~DT_WORDBREAK;
    if (flags & qxdcEllipsis)
        format |= DT_END_ELLIPSIS;
    DrawText(canvas, text, textRect, format);
}
