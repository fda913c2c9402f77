#pragma once

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/events.h"
#include "platform/ui/geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Colours, fonts, brushes, pens, the canvas that paints with them, and the
// pictures a control can show.

// ---- Colours ---------------------------------------------------------------
// A TColor is $00BBGGRR, or a system colour: 0x80000000 + the system colour index.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;

// The RGB value of a colour; system colours are those of the classic desktop
// scheme, so windows look the same on every host.
TColor ColorToRGB(TColor color);
inline TColor RGB(uint8_t r, uint8_t g, uint8_t b)
{
    return r | (g << 8) | (b << 16);
}
// Colour names as form resources write them ("clBtnFace"), or a number.
std::string ColorToString(TColor color);
bool IdentToColor(const std::string &ident, TColor &color);
// The names a colour property may be given in a form resource.
const TIdentMap &ColorIdents();

// ---- Fonts, brushes and pens -------------------------------------------------

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset ANSI_CHARSET = 0;

// The base of fonts, brushes and pens: OnChange tells the owner to repaint.
class TGraphicsObject : public TPersistent
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TNotifyEvent OnChange;

protected:
    void Changed();
    // Stores value in field and calls Changed, only when it is another value.
    template <class T> void ApplyChange(T &field, const T &value)
    {
        if (field != value)
            field = value, Changed();
    }
};

// A font as forms describe it. Height < 0 is the character height in pixels
// (what resources store); Height > 0 includes the internal leading. Size is in
// points at 96 pixels per inch. Old face names ("MS Sans Serif", "System")
// are kept as written and resolved to an installed face when painting.
class TFont : public TGraphicsObject
{
public:
    TFont();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    ~TFont() override;
    void Assign(const TPersistent *source) override;

    // Face
    const std::string &Name() const;
    void SetName(const std::string &name);
    TFontCharset Charset() const;
    void SetCharset(TFontCharset charset);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch pitch);
    // Size
    int Height() const;
    void SetHeight(int height);
    int Size() const;
    void SetSize(int size);
    // Look
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    TColor Color() const;
    void SetColor(TColor color);

    bool operator==(const TFont &other) const;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    friend struct TFontAccess;
};

enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

class TBrush : public TGraphicsObject
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Raster operations of the pen: how its colour combines with what is there.
enum TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};

class TPen : public TGraphicsObject
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode mode);

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

// ---- Pictures ------------------------------------------------------------------

ORVEX_EXCEPTION(EInvalidGraphic, Exception);

class TCanvas;

// An image that a canvas can draw: a bitmap or an icon.
class TGraphic : public TPersistent
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // PNG, BMP, ICO, JPEG, ... as the image readers know them.
    virtual void LoadFromFile(const std::string &fileName) = 0;
    virtual void SaveToFile(const std::string &fileName) const = 0;
    TNotifyEvent OnChange;

protected:
    void Changed();
};

// A bitmap that can be drawn into through its own canvas.
class TBitmap : public TGraphic
{
public:
    TBitmap();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    ~TBitmap() override;
    void Assign(const TPersistent *source) override;

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    TCanvas *Canvas();
    void LoadFromFile(const std::string &fileName) override;
    void SaveToFile(const std::string &fileName) const override;
    // The bytes of a file in memory (resources keep bitmaps this way).
    void LoadFromBytes(const std::string &bytes);
    // A bitmap compiled into the program (orvex_add_bitmap_resources);
    // EResNotFound when there is none of that name.
    void LoadFromResourceName(const std::string &name);

    // Drawn without the pixels of TransparentColor; clDefault takes the
    // colour of the bottom-left pixel.
    bool Transparent() const;
    void SetTransparent(bool value);
    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    friend struct TGraphicAccess;
};

// The bitmaps compiled into the program, by resource name (case-insensitive);
// one static registrar per bitmap, in the sources orvex_add_bitmap_resources makes.
bool BitmapResourceExists(const std::string &name);
class TBitmapResourceRegistrar
{
public:
    TBitmapResourceRegistrar(const char *name, std::string_view bytes);
};

class TIcon : public TGraphic
{
public:
    TIcon();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    ~TIcon() override;
    void Assign(const TPersistent *source) override;

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void LoadFromFile(const std::string &fileName) override;
    void SaveToFile(const std::string &fileName) const override;
    void LoadFromBytes(const std::string &bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    friend struct TGraphicAccess;
};

// Holds one graphic of any kind; LoadFromFile picks the kind by extension.
class TPicture : public TPersistent
{
public:
    TPicture();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    ~TPicture() override;
    void Assign(const TPersistent *source) override;

    TGraphic *Graphic() const;
    void SetGraphic(TGraphic *graphic); // copies it
    TBitmap *Bitmap(); // replaces any other graphic by an empty bitmap
    TIcon *Icon(); // likewise with an icon
    int Width() const;
    int Height() const;
    void LoadFromFile(const std::string &fileName);
    void SaveToFile(const std::string &fileName) const;

    TNotifyEvent OnChange;

protected:
    // Resources keep the picture as Data: the graphic's class name, then its bytes.
    void DefineProperties(TFiler &filer) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};

// ---- Canvas --------------------------------------------------------------------

enum TCopyMode {
    cmSrcCopy,
    cmSrcInvert,
    cmSrcAnd,
    cmSrcPaint,
    cmNotSrcCopy,
    cmDstInvert,
    cmBlackness,
    cmWhiteness,
    cmSrcErase, // source and not destination
    cmNotSrcErase, // not (source or destination)
    cmMergePaint // not source, or destination
};

// Draws on a window while it paints, or on a bitmap. Outside of painting a
// window's canvas draws nothing but still measures text.
class TCanvas : public TPersistent
{
public:
    TCanvas();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    ~TCanvas() override;

    // Tools
    TFont *Font() const;
    void SetFont(TFont *font);
    TBrush *Brush() const;
    void SetBrush(TBrush *brush);
    TPen *Pen() const;
    void SetPen(TPen *pen);
    TCopyMode CopyMode() const;
    void SetCopyMode(TCopyMode mode);
    TPoint PenPos() const;
    void SetPenPos(TPoint pos);
    TRect ClipRect() const;
    bool CanDraw() const;

    // Text
    void TextOut(int x, int y, const std::string &text);
    // The angle, in tenths of a degree counter-clockwise, at which TextOut
    // writes, turned about the top-left corner of the text's cell (a font's
    // escapement); 0 writes level.
    int TextEscapement() const;
    void SetTextEscapement(int tenths);
    void TextRect(const TRect &rect, int x, int y, const std::string &text);
    int TextWidth(const std::string &text) const;
    int TextHeight(const std::string &text) const;
    TPoint TextExtent(const std::string &text) const;

    // Shapes
    void FillRect(const TRect &rect);
    void FrameRect(const TRect &rect);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect &rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void Ellipse(int x1, int y1, int x2, int y2);
    // Filled with the brush and outlined with the pen; closed back to the first point.
    void Polygon(const std::vector<TPoint> &points);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void DrawFocusRect(const TRect &rect);

    // Images and pixels
    void Draw(int x, int y, TGraphic *graphic);
    void StretchDraw(const TRect &rect, TGraphic *graphic);
    void CopyRect(const TRect &dest, TCanvas *source, const TRect &sourceRect);
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor color);

public:
    struct Impl;

private:
    std::unique_ptr<Impl> const d;
    friend struct TCanvasAccess;
};

// Text in a rectangle, as the Windows DrawText formats it.
constexpr uint32_t DT_LEFT = 0x0000;
constexpr uint32_t DT_CENTER = 0x0001;
constexpr uint32_t DT_RIGHT = 0x0002;
constexpr uint32_t DT_VCENTER = 0x0004;
constexpr uint32_t DT_BOTTOM = 0x0008;
constexpr uint32_t DT_WORDBREAK = 0x0010;
constexpr uint32_t DT_SINGLELINE = 0x0020;
constexpr uint32_t DT_EXPANDTABS = 0x0040;
constexpr uint32_t DT_NOCLIP = 0x0100;
constexpr uint32_t DT_CALCRECT = 0x0400;
constexpr uint32_t DT_NOPREFIX = 0x0800;
constexpr uint32_t DT_END_ELLIPSIS = 0x8000;
// Draws text (an '&' underlines the next character unless DT_NOPREFIX) in
// the canvas font, without filling the background. With DT_CALCRECT it only
// measures: rect's right and bottom become the text's extent. Answers the
// height of the text.
int DrawText(TCanvas *canvas, const std::string &text, TRect &rect, uint32_t format);

// Draws a 3-D frame: top and left in topColor, bottom and right in
// bottomColor, width lines deep; rect shrinks to the area inside it.
void Frame3D(TCanvas *canvas, TRect &rect, TColor topColor, TColor bottomColor, int width);
