#pragma once
// Not public API: how the Qt side reaches the graphics objects.

#include "platform/ui/graphics.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>

QColor ToQColor(TColor color);
QRect ToQRect(const TRect &rect);
TRect FromQRect(const QRect &rect);

struct TFontAccess {
    // The Qt font for a TFont, with the old face names resolved.
    static QFont ToQFont(const TFont &font);
};

struct TGraphicAccess {
    static QImage &Image(TBitmap &bitmap);
    static const QIcon &Icon(const TIcon &icon);
    static void SetIcon(TIcon &icon, const QIcon &qicon);
    // Any graphic as an image of its natural size (icons at their largest).
    static QImage ToImage(const TGraphic *graphic);
};

class TCustomImageList;
struct TImageListAccess {
    static QImage Image(const TCustomImageList &list, int index); // null outside the list
};

struct TCanvasAccess {
    // Binds the canvas to a painter for the duration of one paint; nullptr unbinds.
    static void Bind(TCanvas &canvas, QPainter *painter);
    static void BindImage(TCanvas &canvas, QImage *image);
    static QPainter *Painter(const TCanvas &canvas);
    static QImage *Image(const TCanvas &canvas);
};

// Binds a canvas to a painter for one scope.
class TCanvasBinding
{
public:
    TCanvasBinding(TCanvas &canvas, QPainter *painter)
        : canvas_(canvas)
    {
        TCanvasAccess::Bind(canvas, painter);
    }
    ~TCanvasBinding() { TCanvasAccess::Bind(canvas_, nullptr); }
    TCanvasBinding(const TCanvasBinding &) = delete;
    TCanvasBinding &operator=(const TCanvasBinding &) = delete;

private:
    TCanvas &canvas_;
};
