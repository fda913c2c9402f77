#include "platform/ui/graphics.h"

#include "platform/classes/filer.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/graphics_p.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>

#include <array>
#include <cmath>
#include <map>
#include <optional>

const TMetaClass TGraphicsObject::Class { "TGraphicsObject", &TPersistent::Class };
const TMetaClass TFont::Class { "TFont", &TGraphicsObject::Class };
const TMetaClass TBrush::Class { "TBrush", &TGraphicsObject::Class };
const TMetaClass TPen::Class { "TPen", &TGraphicsObject::Class };
const TMetaClass TGraphic::Class { "TGraphic", &TPersistent::Class };
const TMetaClass TBitmap::Class { "TBitmap", &TGraphic::Class };
const TMetaClass TIcon::Class { "TIcon", &TGraphic::Class };
const TMetaClass TPicture::Class { "TPicture", &TPersistent::Class };
const TMetaClass TCanvas::Class { "TCanvas", &TPersistent::Class };

// clang-format off
namespace {

const TEnumNames FontStyleNames = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const TEnumNames FontPitchNames = {"fpDefault", "fpVariable", "fpFixed"};
const TEnumNames BrushStyleNames = {"bsSolid", "bsClear", "bsHorizontal", "bsVertical",
                                    "bsFDiagonal", "bsBDiagonal", "bsCross", "bsDiagCross"};
const TEnumNames PenStyleNames = {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame"};
const TEnumNames PenModeNames = {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy", "pmMergePenNot",
                                 "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge",
                                 "pmMask", "pmNotMask", "pmXor", "pmNotXor"};
const TIdentMap CharsetIdents = {{"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2},
                                 {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129}, {"GB2312_CHARSET", 134},
                                 {"CHINESEBIG5_CHARSET", 136}, {"OEM_CHARSET", 255}, {"GREEK_CHARSET", 161},
                                 {"TURKISH_CHARSET", 162}, {"HEBREW_CHARSET", 177}, {"ARABIC_CHARSET", 178},
                                 {"BALTIC_CHARSET", 186}, {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},
                                 {"EASTEUROPE_CHARSET", 238}, {"VIETNAMESE_CHARSET", 163}};

using PF = TPublish<TFont>;
const TClassRegistrar<TFont> fontRegistrar({
    //                  name        getter            setter             default
    PF::Integer        ("Charset",  &TFont::Charset,  &TFont::SetCharset, DEFAULT_CHARSET).WithIdents(CharsetIdents),
    PF::Integer        ("Color",    &TFont::Color,    &TFont::SetColor,   clWindowText).WithIdents(ColorIdents()),
    PF::Integer        ("Height",   &TFont::Height,   &TFont::SetHeight,  NoDefault),
    PF::String         ("Name",     &TFont::Name,     &TFont::SetName,    NoDefault),
    PF::Enum           ("Pitch",    FontPitchNames,
                                    &TFont::Pitch,    &TFont::SetPitch,   fpDefault),
    PF::Integer        ("Size",     &TFont::Size,     &TFont::SetSize,    NoDefault, false),
    PF::Set            ("Style",    FontStyleNames,
                                    &TFont::Style,    &TFont::SetStyle,   TFontStyles{}),
});

using PB = TPublish<TBrush>;
const TClassRegistrar<TBrush> brushRegistrar({
    PB::Integer        ("Color",    &TBrush::Color,   &TBrush::SetColor,  clWhite).WithIdents(ColorIdents()),
    PB::Enum           ("Style",    BrushStyleNames,
                                    &TBrush::Style,   &TBrush::SetStyle,  bsSolid),
});

using PP = TPublish<TPen>;
const TClassRegistrar<TPen> penRegistrar({
    PP::Integer        ("Color",    &TPen::Color,     &TPen::SetColor,    clBlack).WithIdents(ColorIdents()),
    PP::Enum           ("Mode",     PenModeNames,     &TPen::Mode,        &TPen::SetMode,     pmCopy),
    PP::Enum           ("Style",    PenStyleNames,    &TPen::Style,       &TPen::SetStyle,    psSolid),
    PP::Integer        ("Width",    &TPen::Width,     &TPen::SetWidth,    1),
});

const TClassRegistrar<TPicture> pictureRegistrar({});

} // namespace
// clang-format on

// ---- Colours -------------------------------------------------------------------

namespace
{

// The classic desktop scheme, by system colour index ($00BBGGRR).
constexpr std::array<TColor, 25> kSystemColors = {
    0xC0C0C0,
    0x808000,
    0x800000,
    0x808080,
    0xC0C0C0,
    0xFFFFFF,
    0x000000,
    0x000000,
    0x000000,
    0xFFFFFF,
    0xC0C0C0,
    0xC0C0C0,
    0x808080,
    0x800000,
    0xFFFFFF,
    0xC0C0C0,
    0x808080,
    0x808080,
    0x000000,
    0xC0C0C0,
    0xFFFFFF,
    0x000000,
    0xC0C0C0,
    0x000000,
    0xE1FFFF,
};

struct ColorName {
    TColor color;
    const char *name;
};
constexpr ColorName kColorNames[] = {
    { clBlack, "clBlack" },
    { clMaroon, "clMaroon" },
    { clGreen, "clGreen" },
    { clOlive, "clOlive" },
    { clNavy, "clNavy" },
    { clPurple, "clPurple" },
    { clTeal, "clTeal" },
    { clGray, "clGray" },
    { clSilver, "clSilver" },
    { clRed, "clRed" },
    { clLime, "clLime" },
    { clYellow, "clYellow" },
    { clBlue, "clBlue" },
    { clFuchsia, "clFuchsia" },
    { clAqua, "clAqua" },
    { clWhite, "clWhite" },
    { clNone, "clNone" },
    { clDefault, "clDefault" },
    { clScrollBar, "clScrollBar" },
    { clBackground, "clBackground" },
    { clActiveCaption, "clActiveCaption" },
    { clInactiveCaption, "clInactiveCaption" },
    { clMenu, "clMenu" },
    { clWindow, "clWindow" },
    { clWindowFrame, "clWindowFrame" },
    { clMenuText, "clMenuText" },
    { clWindowText, "clWindowText" },
    { clCaptionText, "clCaptionText" },
    { clActiveBorder, "clActiveBorder" },
    { clInactiveBorder, "clInactiveBorder" },
    { clAppWorkSpace, "clAppWorkSpace" },
    { clHighlight, "clHighlight" },
    { clHighlightText, "clHighlightText" },
    { clBtnFace, "clBtnFace" },
    { clBtnShadow, "clBtnShadow" },
    { clGrayText, "clGrayText" },
    { clBtnText, "clBtnText" },
    { clInactiveCaptionText, "clInactiveCaptionText" },
    { clBtnHighlight, "clBtnHighlight" },
    { cl3DDkShadow, "cl3DDkShadow" },
    { cl3DLight, "cl3DLight" },
    { clInfoText, "clInfoText" },
    { clInfoBk, "clInfoBk" },
};

} // namespace

TColor ColorToRGB(TColor color)
{
    if (color < 0) {
        unsigned index = static_cast<uint32_t>(color) & 0xFF;
        return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
    }
    return color & 0xFFFFFF;
}

std::string ColorToString(TColor color)
{
    for (const ColorName &entry : kColorNames)
        if (entry.color == color)
            return entry.name;
    return "$" + IntToHex(static_cast<uint32_t>(color), 8);
}

const TIdentMap &ColorIdents()
{
    static const TIdentMap idents = [] {
        TIdentMap map;
        for (const ColorName &entry : kColorNames)
            map.emplace_back(entry.name, entry.color);
        return map;
    }();
    return idents;
}

bool IdentToColor(const std::string &ident, TColor &color)
{
    for (const ColorName &entry : kColorNames)
        if (SameText(ident, entry.name))
            return color = entry.color, true;
    return false;
}

QColor ToQColor(TColor color)
{
    TColor rgb = ColorToRGB(color);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

QRect ToQRect(const TRect &rect)
{
    return QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
}
TRect FromQRect(const QRect &rect)
{
    return Bounds(rect.x(), rect.y(), rect.width(), rect.height());
}

bool IntersectRect(TRect &result, const TRect &a, const TRect &b)
{
    result = { std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
        std::min(a.Bottom, b.Bottom) };
    if (result.IsEmpty()) {
        result = {};
        return false;
    }
    return true;
}

// ---- Fonts, brushes and pens -------------------------------------------------------

void TGraphicsObject::Changed()
{
    OnChange(this);
}

struct TFont::Impl {
    std::string name = "MS Sans Serif";
    TFontCharset charset = DEFAULT_CHARSET;
    TFontPitch pitch = fpDefault;
    int height = -11;
    TFontStyles style;
    TColor color = clWindowText;
};

TFont::TFont()
    : d(std::make_unique<Impl>())
{
}
TFont::~TFont() = default;

void TFont::Assign(const TPersistent *source)
{
    if (auto *font = dynamic_cast<const TFont *>(source)) {
        *d = *font->d;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

const std::string &TFont::Name() const
{
    return d->name;
}
void TFont::SetName(const std::string &name)
{
    if (!name.empty())
        ApplyChange(d->name, name);
}
TFontCharset TFont::Charset() const
{
    return d->charset;
}
void TFont::SetCharset(TFontCharset charset)
{
    ApplyChange(d->charset, charset);
}
TFontPitch TFont::Pitch() const
{
    return d->pitch;
}
void TFont::SetPitch(TFontPitch pitch)
{
    ApplyChange(d->pitch, pitch);
}
int TFont::Height() const
{
    return d->height;
}
void TFont::SetHeight(int height)
{
    ApplyChange(d->height, height);
}
// Points and pixels at 96 pixels per inch, rounded as MulDiv rounds.
int TFont::Size() const
{
    return static_cast<int>(std::lround(-d->height * 72.0 / 96.0));
}
void TFont::SetSize(int size)
{
    SetHeight(-static_cast<int>(std::lround(size * 96.0 / 72.0)));
}
TFontStyles TFont::Style() const
{
    return d->style;
}
void TFont::SetStyle(TFontStyles style)
{
    ApplyChange(d->style, style);
}
TColor TFont::Color() const
{
    return d->color;
}
void TFont::SetColor(TColor color)
{
    ApplyChange(d->color, color);
}

bool TFont::operator==(const TFont &other) const
{
    return d->name == other.d->name && d->charset == other.d->charset && d->pitch == other.d->pitch
        && d->height == other.d->height && d->style == other.d->style && d->color == other.d->color;
}

QFont TFontAccess::ToQFont(const TFont &font)
{
    // The face is looked up under its old name; fontconfig substitutes an
    // installed face for names the host lacks ("MS Sans Serif", "System").
    QFont qfont(QString::fromStdString(font.Name()));
    qfont.setStyleHint(font.Pitch() == fpFixed ? QFont::TypeWriter : QFont::SansSerif);
    qfont.setBold(font.Style().Contains(fsBold));
    qfont.setItalic(font.Style().Contains(fsItalic));
    qfont.setUnderline(font.Style().Contains(fsUnderline));
    qfont.setStrikeOut(font.Style().Contains(fsStrikeOut));
    int height = font.Height();
    if (height < 0) {
        qfont.setPixelSize(-height);
    } else if (height > 0) {
        // A positive height is the whole cell; find the character height that fills it.
        QFont probe = qfont;
        probe.setPixelSize(100);
        QFontMetrics metrics(probe);
        int cell = std::max(1, metrics.ascent() + metrics.descent());
        qfont.setPixelSize(std::max(1, static_cast<int>(std::lround(height * 100.0 / cell))));
    }
    return qfont;
}

void TBrush::Assign(const TPersistent *source)
{
    if (auto *brush = dynamic_cast<const TBrush *>(source)) {
        color_ = brush->color_, style_ = brush->style_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}
void TBrush::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    if (style_ == bsClear)
        style_ = bsSolid;
    Changed();
}
void TBrush::SetStyle(TBrushStyle style)
{
    ApplyChange(style_, style);
}

void TPen::Assign(const TPersistent *source)
{
    if (auto *pen = dynamic_cast<const TPen *>(source)) {
        color_ = pen->color_, width_ = pen->width_, style_ = pen->style_, mode_ = pen->mode_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}
void TPen::SetColor(TColor color)
{
    ApplyChange(color_, color);
}
void TPen::SetWidth(int width)
{
    if (width >= 0)
        ApplyChange(width_, width);
}
void TPen::SetStyle(TPenStyle style)
{
    ApplyChange(style_, style);
}
void TPen::SetMode(TPenMode mode)
{
    ApplyChange(mode_, mode);
}

// ---- Pictures -----------------------------------------------------------------------

void TGraphic::Changed()
{
    OnChange(this);
}

namespace
{

QImage ReadImage(const QString &path, const char *format = nullptr)
{
    QImageReader reader(path, format);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        throw EInvalidGraphic(
            "Cannot load " + path.toStdString() + ": " + reader.errorString().toStdString());
    return image;
}

void WriteImage(const QImage &image, const std::string &fileName)
{
    if (!image.save(QString::fromStdString(fileName)))
        throw EFCreateError("Cannot create file \"" + fileName + "\"");
}

} // namespace

struct TBitmap::Impl {
    QImage image;
    std::unique_ptr<TCanvas> canvas;
    bool transparent = false;
    TColor transparentColor = clDefault;
};

TBitmap::TBitmap()
    : d(std::make_unique<Impl>())
{
}
TBitmap::~TBitmap() = default;

void TBitmap::Assign(const TPersistent *source)
{
    if (auto *bitmap = dynamic_cast<const TBitmap *>(source)) {
        d->image = bitmap->d->image;
        d->transparent = bitmap->d->transparent;
        d->transparentColor = bitmap->d->transparentColor;
        Changed();
    } else if (auto *graphic = dynamic_cast<const TGraphic *>(source)) {
        d->image = TGraphicAccess::ToImage(graphic);
        Changed();
    } else if (source == nullptr) {
        d->image = QImage();
        Changed();
    } else {
        TPersistent::Assign(source);
    }
}

bool TBitmap::Transparent() const
{
    return d->transparent;
}
void TBitmap::SetTransparent(bool value)
{
    if (value != d->transparent) {
        d->transparent = value;
        Changed();
    }
}
TColor TBitmap::TransparentColor() const
{
    if (d->transparentColor == clDefault && !d->image.isNull()) {
        const QRgb rgb = d->image.pixel(0, d->image.height() - 1);
        return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb));
    }
    return d->transparentColor;
}
void TBitmap::SetTransparentColor(TColor value)
{
    if (value != d->transparentColor) {
        d->transparentColor = value;
        Changed();
    }
}

bool TBitmap::Empty() const
{
    return d->image.isNull();
}
int TBitmap::Width() const
{
    return d->image.width();
}
int TBitmap::Height() const
{
    return d->image.height();
}
void TBitmap::SetWidth(int width)
{
    SetSize(width, Height());
}
void TBitmap::SetHeight(int height)
{
    SetSize(Width(), height);
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(0, width), height = std::max(0, height);
    if (width == Width() && height == Height())
        return;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!d->image.isNull()) {
        QPainter painter(&image);
        painter.drawImage(0, 0, d->image);
    }
    d->image = image;
    Changed();
}

TCanvas *TBitmap::Canvas()
{
    if (!d->canvas) {
        d->canvas = std::make_unique<TCanvas>();
        TCanvasAccess::BindImage(*d->canvas, &d->image);
    }
    return d->canvas.get();
}

void TBitmap::LoadFromFile(const std::string &fileName)
{
    d->image = ReadImage(QString::fromStdString(fileName)).convertToFormat(QImage::Format_ARGB32);
    Changed();
}

void TBitmap::SaveToFile(const std::string &fileName) const
{
    WriteImage(d->image, fileName);
}

void TBitmap::LoadFromBytes(const std::string &bytes)
{
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar *>(bytes.data()), static_cast<int>(bytes.size())))
        throw EInvalidGraphic("Bitmap image is not valid");
    d->image = image.convertToFormat(QImage::Format_ARGB32);
    Changed();
}

namespace
{
std::map<std::string, std::string_view> &BitmapResources()
{
    static std::map<std::string, std::string_view> resources;
    return resources;
}
} // namespace

TBitmapResourceRegistrar::TBitmapResourceRegistrar(const char *name, std::string_view bytes)
{
    BitmapResources()[UpperCase(name)] = bytes;
}

bool BitmapResourceExists(const std::string &name)
{
    return BitmapResources().count(UpperCase(name)) != 0;
}

void TBitmap::LoadFromResourceName(const std::string &name)
{
    auto it = BitmapResources().find(UpperCase(name));
    if (it == BitmapResources().end())
        throw EResNotFound("Resource " + name + " not found");
    LoadFromBytes(std::string(it->second));
}

struct TIcon::Impl {
    QIcon icon;
};

TIcon::TIcon()
    : d(std::make_unique<Impl>())
{
}
TIcon::~TIcon() = default;

void TIcon::Assign(const TPersistent *source)
{
    if (auto *icon = dynamic_cast<const TIcon *>(source)) {
        d->icon = icon->d->icon;
        Changed();
    } else if (auto *graphic = dynamic_cast<const TGraphic *>(source)) {
        d->icon = QIcon(QPixmap::fromImage(TGraphicAccess::ToImage(graphic)));
        Changed();
    } else if (source == nullptr) {
        d->icon = QIcon();
        Changed();
    } else {
        TPersistent::Assign(source);
    }
}

bool TIcon::Empty() const
{
    return d->icon.isNull();
}

namespace
{
QSize LargestSize(const QIcon &icon)
{
    QSize best;
    for (const QSize &size : icon.availableSizes())
        if (size.width() * size.height() > best.width() * best.height())
            best = size;
    return best.isValid() ? best : QSize(32, 32);
}
} // namespace

int TIcon::Width() const
{
    return d->icon.isNull() ? 0 : LargestSize(d->icon).width();
}
int TIcon::Height() const
{
    return d->icon.isNull() ? 0 : LargestSize(d->icon).height();
}

void TIcon::LoadFromFile(const std::string &fileName)
{
    // Every image of an .ico file becomes one size of the icon.
    QString path = QString::fromStdString(fileName);
    QImageReader reader(path);
    QIcon icon;
    do {
        QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    if (icon.isNull())
        throw EInvalidGraphic("Cannot load " + fileName + ": " + reader.errorString().toStdString());
    d->icon = icon;
    Changed();
}

void TIcon::SaveToFile(const std::string &fileName) const
{
    WriteImage(TGraphicAccess::ToImage(this), fileName);
}

void TIcon::LoadFromBytes(const std::string &bytes)
{
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QIcon icon;
    do {
        QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    if (icon.isNull())
        throw EInvalidGraphic("Icon image is not valid");
    d->icon = icon;
    Changed();
}

QImage &TGraphicAccess::Image(TBitmap &bitmap)
{
    return bitmap.d->image;
}
const QIcon &TGraphicAccess::Icon(const TIcon &icon)
{
    return icon.d->icon;
}
void TGraphicAccess::SetIcon(TIcon &icon, const QIcon &qicon)
{
    icon.d->icon = qicon;
    icon.Changed();
}

QImage TGraphicAccess::ToImage(const TGraphic *graphic)
{
    if (auto *bitmap = dynamic_cast<const TBitmap *>(graphic))
        return bitmap->d->image;
    if (auto *icon = dynamic_cast<const TIcon *>(graphic); icon && !icon->Empty())
        return icon->d->icon.pixmap(LargestSize(icon->d->icon)).toImage();
    return QImage();
}

struct TPicture::Impl {
    std::unique_ptr<TGraphic> graphic;
};

TPicture::TPicture()
    : d(std::make_unique<Impl>())
{
}
TPicture::~TPicture() = default;

void TPicture::Assign(const TPersistent *source)
{
    if (auto *picture = dynamic_cast<const TPicture *>(source))
        SetGraphic(picture->Graphic());
    else if (auto *graphic = dynamic_cast<const TGraphic *>(source))
        SetGraphic(const_cast<TGraphic *>(graphic));
    else if (source == nullptr)
        SetGraphic(nullptr);
    else
        TPersistent::Assign(source);
}

void TPicture::DefineProperties(TFiler &filer)
{
    TPersistent::DefineProperties(filer);
    auto read = [this](TStream &stream) {
        std::string bytes(static_cast<size_t>(stream.Size()), '\0');
        stream.SetPosition(0);
        stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        // The graphic's class name, length first, then its own data; a
        // bitmap's data starts with its byte count.
        if (bytes.empty() || static_cast<unsigned char>(bytes[0]) + 1u > bytes.size())
            throw EInvalidGraphic("Picture data is not valid");
        size_t nameLength = static_cast<unsigned char>(bytes[0]);
        std::string className = bytes.substr(1, nameLength);
        std::string data = bytes.substr(1 + nameLength);
        if (SameText(className, "TIcon")) {
            Icon()->LoadFromBytes(data);
        } else if (SameText(className, "TBitmap")) {
            if (data.size() < 4)
                throw EInvalidGraphic("Bitmap image is not valid");
            uint32_t size = static_cast<unsigned char>(data[0]) | static_cast<unsigned char>(data[1]) << 8
                | static_cast<unsigned char>(data[2]) << 16
                | static_cast<uint32_t>(static_cast<unsigned char>(data[3])) << 24;
            if (size > data.size() - 4)
                throw EInvalidGraphic("Bitmap image is not valid");
            Bitmap()->LoadFromBytes(data.substr(4, size));
        } else {
            Bitmap()->LoadFromBytes(data);
        }
        OnChange(this);
    };
    auto write = [this](TStream &stream) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        bool icon = dynamic_cast<TIcon *>(Graphic()) != nullptr;
        TGraphicAccess::ToImage(Graphic()).save(&buffer, icon ? "ICO" : "BMP");
        std::string name = icon ? "TIcon" : "TBitmap";
        std::string bytes(1, static_cast<char>(name.size()));
        bytes += name;
        if (!icon) {
            uint32_t size = static_cast<uint32_t>(data.size());
            for (int i = 0; i < 4; ++i)
                bytes += static_cast<char>((size >> (8 * i)) & 0xFF);
        }
        bytes.append(data.constData(), static_cast<size_t>(data.size()));
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    };
    filer.DefineBinaryProperty("Data", read, write, Graphic() && !Graphic()->Empty());
}

TGraphic *TPicture::Graphic() const
{
    return d->graphic.get();
}

void TPicture::SetGraphic(TGraphic *graphic)
{
    std::unique_ptr<TGraphic> copy;
    if (dynamic_cast<TIcon *>(graphic))
        copy = std::make_unique<TIcon>();
    else if (graphic)
        copy = std::make_unique<TBitmap>();
    if (copy)
        copy->Assign(graphic);
    d->graphic = std::move(copy);
    OnChange(this);
}

TBitmap *TPicture::Bitmap()
{
    if (!dynamic_cast<TBitmap *>(d->graphic.get())) {
        d->graphic = std::make_unique<TBitmap>();
        OnChange(this);
    }
    return static_cast<TBitmap *>(d->graphic.get());
}

TIcon *TPicture::Icon()
{
    if (!dynamic_cast<TIcon *>(d->graphic.get())) {
        d->graphic = std::make_unique<TIcon>();
        OnChange(this);
    }
    return static_cast<TIcon *>(d->graphic.get());
}

int TPicture::Width() const
{
    return d->graphic ? d->graphic->Width() : 0;
}
int TPicture::Height() const
{
    return d->graphic ? d->graphic->Height() : 0;
}

void TPicture::LoadFromFile(const std::string &fileName)
{
    std::unique_ptr<TGraphic> graphic;
    if (QFileInfo(QString::fromStdString(fileName)).suffix().compare("ico", Qt::CaseInsensitive) == 0)
        graphic = std::make_unique<TIcon>();
    else
        graphic = std::make_unique<TBitmap>();
    graphic->LoadFromFile(fileName);
    d->graphic = std::move(graphic);
    OnChange(this);
}

void TPicture::SaveToFile(const std::string &fileName) const
{
    if (!d->graphic)
        throw EInvalidGraphic("Picture is empty");
    d->graphic->SaveToFile(fileName);
}

// ---- Canvas ----------------------------------------------------------------------------

struct TCanvas::Impl {
    TFont font;
    TBrush brush;
    TPen pen;
    TCopyMode copyMode = cmSrcCopy;
    TPoint penPos;
    int escapement = 0; // tenths of a degree, counter-clockwise
    QPainter *painter = nullptr; // bound while a window paints
    QImage *image = nullptr; // a bitmap's canvas draws here

    // The painter to draw with now: the bound one, or one opened on the
    // bitmap for this one call. Without either, drawing does nothing.
    struct Scope {
        QPainter *p = nullptr;
        std::optional<QPainter> own;
        explicit operator bool() const { return p != nullptr; }
        QPainter *operator->() const { return p; }
    };
    void Open(Scope &scope)
    {
        if (painter) {
            scope.p = painter;
            painter->save();
        } else if (image && !image->isNull()) {
            scope.own.emplace(image);
            scope.p = &*scope.own;
        }
    }
    void Close(Scope &scope)
    {
        if (scope.p && !scope.own)
            scope.p->restore();
    }
    QPen QtPen() const
    {
        if (pen.Style() == psClear)
            return Qt::NoPen;
        static const Qt::PenStyle styles[] = { Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
            Qt::DashDotDotLine, Qt::NoPen, Qt::SolidLine };
        QPen qpen(ToQColor(pen.Color()));
        qpen.setWidth(std::max(1, pen.Width()));
        qpen.setStyle(styles[pen.Style()]);
        qpen.setCapStyle(Qt::FlatCap);
        qpen.setJoinStyle(Qt::MiterJoin);
        return qpen;
    }
    QBrush QtBrush() const
    {
        static const Qt::BrushStyle styles[] = { Qt::SolidPattern, Qt::NoBrush, Qt::HorPattern,
            Qt::VerPattern, Qt::FDiagPattern, Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern };
        return QBrush(ToQColor(brush.Color()), styles[brush.Style()]);
    }
    void ApplyPenMode(QPainter *p) const
    {
        switch (pen.Mode()) {
        case pmXor:
            p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        case pmNot:
            p->setCompositionMode(QPainter::RasterOp_NotDestination);
            break;
        case pmNotCopy:
            p->setCompositionMode(QPainter::RasterOp_NotSource);
            break;
        case pmMask:
            p->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case pmMerge:
            p->setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            break;
        default:
            break;
        }
    }
    QFontMetrics Metrics() const { return QFontMetrics(TFontAccess::ToQFont(font)); }
};

namespace
{
// Opens the canvas's painter for one drawing call and restores it afterwards.
class Drawing
{
public:
    explicit Drawing(TCanvas::Impl &d)
        : d_(d)
    {
        d_.Open(scope_);
    }
    ~Drawing() { d_.Close(scope_); }
    explicit operator bool() const { return static_cast<bool>(scope_); }
    QPainter *operator->() const { return scope_.p; }
    QPainter *get() const { return scope_.p; }

private:
    TCanvas::Impl &d_;
    TCanvas::Impl::Scope scope_;
};
} // namespace

TCanvas::TCanvas()
    : d(std::make_unique<Impl>())
{
    d->font.SetColor(clBlack);
}
TCanvas::~TCanvas() = default;

TFont *TCanvas::Font() const
{
    return &d->font;
}
void TCanvas::SetFont(TFont *font)
{
    d->font.Assign(font);
}
TBrush *TCanvas::Brush() const
{
    return &d->brush;
}
void TCanvas::SetBrush(TBrush *brush)
{
    d->brush.Assign(brush);
}
TPen *TCanvas::Pen() const
{
    return &d->pen;
}
void TCanvas::SetPen(TPen *pen)
{
    d->pen.Assign(pen);
}
TCopyMode TCanvas::CopyMode() const
{
    return d->copyMode;
}
void TCanvas::SetCopyMode(TCopyMode mode)
{
    d->copyMode = mode;
}
TPoint TCanvas::PenPos() const
{
    return d->penPos;
}
void TCanvas::SetPenPos(TPoint pos)
{
    d->penPos = pos;
}
bool TCanvas::CanDraw() const
{
    return d->painter || (d->image && !d->image->isNull());
}

TRect TCanvas::ClipRect() const
{
    if (d->painter && d->painter->hasClipping())
        return FromQRect(d->painter->clipBoundingRect().toAlignedRect());
    if (d->painter && d->painter->device())
        return Bounds(0, 0, d->painter->device()->width(), d->painter->device()->height());
    if (d->image)
        return Bounds(0, 0, d->image->width(), d->image->height());
    return {};
}

void TCanvas::TextOut(int x, int y, const std::string &text)
{
    QString qtext = QString::fromStdString(text);
    QFontMetrics metrics = d->Metrics();
    int width = metrics.horizontalAdvance(qtext);
    if (Drawing p { *d }) {
        p->setFont(TFontAccess::ToQFont(d->font));
        p->translate(x, y);
        // Screen y runs down, so a counter-clockwise escapement turns by a negative angle.
        if (d->escapement % 3600 != 0) {
            p->setRenderHint(QPainter::Antialiasing);
            p->setRenderHint(QPainter::TextAntialiasing);
            p->rotate(-d->escapement / 10.0);
        }
        // An opaque brush fills the text's cell first, as text output on a
        // window does when the background mode is opaque.
        if (d->brush.Style() != bsClear)
            p->fillRect(QRect(0, 0, width, metrics.height()), ToQColor(d->brush.Color()));
        p->setPen(ToQColor(d->font.Color()));
        p->drawText(QPoint(0, metrics.ascent()), qtext);
    }
    d->penPos = { x + width, y };
}

int TCanvas::TextEscapement() const
{
    return d->escapement;
}

void TCanvas::SetTextEscapement(int tenths)
{
    d->escapement = tenths;
}

void TCanvas::TextRect(const TRect &rect, int x, int y, const std::string &text)
{
    QFontMetrics metrics = d->Metrics();
    if (Drawing p { *d }) {
        p->setClipRect(ToQRect(rect), Qt::IntersectClip);
        if (d->brush.Style() != bsClear)
            p->fillRect(ToQRect(rect), ToQColor(d->brush.Color()));
        p->setFont(TFontAccess::ToQFont(d->font));
        p->setPen(ToQColor(d->font.Color()));
        p->drawText(QPoint(x, y + metrics.ascent()), QString::fromStdString(text));
    }
}

int TCanvas::TextWidth(const std::string &text) const
{
    return d->Metrics().horizontalAdvance(QString::fromStdString(text));
}

int TCanvas::TextHeight(const std::string &) const
{
    return d->Metrics().height();
}
TPoint TCanvas::TextExtent(const std::string &text) const
{
    return { TextWidth(text), TextHeight(text) };
}

void TCanvas::FillRect(const TRect &rect)
{
    if (d->brush.Style() == bsClear)
        return;
    if (Drawing p { *d })
        p->fillRect(ToQRect(rect), d->QtBrush());
}

void TCanvas::FrameRect(const TRect &rect)
{
    if (rect.IsEmpty())
        return;
    if (Drawing p { *d }) {
        QColor color = ToQColor(d->brush.Color());
        p->fillRect(QRect(rect.Left, rect.Top, rect.Width(), 1), color);
        p->fillRect(QRect(rect.Left, rect.Bottom - 1, rect.Width(), 1), color);
        p->fillRect(QRect(rect.Left, rect.Top, 1, rect.Height()), color);
        p->fillRect(QRect(rect.Right - 1, rect.Top, 1, rect.Height()), color);
    }
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    if (Drawing p { *d }) {
        d->ApplyPenMode(p.get());
        if (d->brush.Style() != bsClear)
            p->fillRect(QRect(x1, y1, x2 - x1, y2 - y1), d->QtBrush());
        if (d->pen.Style() != psClear) {
            p->setPen(d->QtPen());
            p->setBrush(Qt::NoBrush);
            int inset = std::max(1, d->pen.Width());
            p->drawRect(QRectF(x1 + inset / 2.0, y1 + inset / 2.0, x2 - x1 - inset, y2 - y1 - inset));
        }
    }
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    if (Drawing p { *d }) {
        d->ApplyPenMode(p.get());
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(d->QtPen());
        p->setBrush(d->brush.Style() == bsClear ? QBrush() : d->QtBrush());
        p->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
    }
}

void TCanvas::Polygon(const std::vector<TPoint> &points)
{
    if (points.empty())
        return;
    QPolygon polygon;
    for (const TPoint &pt : points)
        polygon << QPoint(pt.X, pt.Y);
    if (Drawing p { *d }) {
        d->ApplyPenMode(p.get());
        p->setPen(d->QtPen());
        p->setBrush(d->brush.Style() == bsClear ? QBrush() : d->QtBrush());
        p->drawPolygon(polygon);
    }
}

void TCanvas::MoveTo(int x, int y)
{
    d->penPos = { x, y };
}

void TCanvas::LineTo(int x, int y)
{
    TPoint from = d->penPos;
    if (Drawing p { *d }; p && d->pen.Style() != psClear) {
        d->ApplyPenMode(p.get());
        int w = std::max(1, d->pen.Width());
        // The end point itself is not drawn, so that joined lines meet exactly.
        if (from.Y == y && from.X != x && d->pen.Style() == psSolid) {
            int left = std::min(from.X, x < from.X ? x + 1 : x), right = std::max(from.X + 1, x);
            p->fillRect(QRect(left, y - (w - 1) / 2, right - left, w), ToQColor(d->pen.Color()));
        } else if (from.X == x && from.Y != y && d->pen.Style() == psSolid) {
            int top = std::min(from.Y, y < from.Y ? y + 1 : y), bottom = std::max(from.Y + 1, y);
            p->fillRect(QRect(x - (w - 1) / 2, top, w, bottom - top), ToQColor(d->pen.Color()));
        } else if (from.X != x || from.Y != y) {
            p->setPen(d->QtPen());
            QLineF line(from.X, from.Y, x, y);
            line.setLength(std::max(0.0, line.length() - 1));
            p->drawLine(line);
        }
    }
    d->penPos = { x, y };
}

void TCanvas::DrawFocusRect(const TRect &rect)
{
    if (Drawing p { *d }) {
        p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 1, Qt::DotLine);
        p->setPen(pen);
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
    }
}

namespace
{
// The image a canvas draws of graphic: a transparent bitmap loses the
// pixels of its transparent colour.
QImage DrawnImage(const TGraphic *graphic)
{
    QImage image = TGraphicAccess::ToImage(graphic);
    auto *bitmap = dynamic_cast<const TBitmap *>(graphic);
    if (!bitmap || !bitmap->Transparent() || image.isNull())
        return image;
    const QRgb key = ToQColor(bitmap->TransparentColor()).rgb() & 0xFFFFFF;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
    }
    return image;
}
} // namespace

void TCanvas::Draw(int x, int y, TGraphic *graphic)
{
    if (!graphic || graphic->Empty())
        return;
    if (Drawing p { *d })
        p->drawImage(QPoint(x, y), DrawnImage(graphic));
}

void TCanvas::StretchDraw(const TRect &rect, TGraphic *graphic)
{
    if (!graphic || graphic->Empty())
        return;
    if (Drawing p { *d }) {
        // Pixels are repeated or dropped, not blended, as a stretching blit does.
        p->setRenderHint(QPainter::SmoothPixmapTransform, false);
        p->drawImage(ToQRect(rect), DrawnImage(graphic));
    }
}

namespace
{
QPainter::CompositionMode RasterOpOf(TCopyMode mode)
{
    switch (mode) {
    case cmSrcInvert:
        return QPainter::RasterOp_SourceXorDestination;
    case cmSrcAnd:
        return QPainter::RasterOp_SourceAndDestination;
    case cmSrcPaint:
        return QPainter::RasterOp_SourceOrDestination;
    case cmNotSrcCopy:
        return QPainter::RasterOp_NotSource;
    case cmSrcErase:
        return QPainter::RasterOp_SourceAndNotDestination;
    case cmNotSrcErase:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case cmMergePaint:
        return QPainter::RasterOp_NotSourceOrDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}
} // namespace

void TCanvas::CopyRect(const TRect &dest, TCanvas *source, const TRect &sourceRect)
{
    if (!source || !source->d->image)
        return;
    QImage part = source->d->image->copy(ToQRect(sourceRect));
    if (Drawing p { *d }) {
        p->setCompositionMode(RasterOpOf(d->copyMode));
        p->drawImage(ToQRect(dest), part);
    }
}

TColor TCanvas::Pixels(int x, int y) const
{
    const QImage *image = d->image;
    if (!image && d->painter)
        image = dynamic_cast<QImage *>(d->painter->device());
    if (!image || !image->valid(x, y))
        return clNone;
    QRgb rgb = image->pixel(x, y);
    return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

void TCanvas::SetPixels(int x, int y, TColor color)
{
    if (Drawing p { *d })
        p->fillRect(QRect(x, y, 1, 1), ToQColor(color));
}

void TCanvasAccess::Bind(TCanvas &canvas, QPainter *painter)
{
    canvas.d->painter = painter;
}
void TCanvasAccess::BindImage(TCanvas &canvas, QImage *image)
{
    canvas.d->image = image;
}
QPainter *TCanvasAccess::Painter(const TCanvas &canvas)
{
    return canvas.d->painter;
}
QImage *TCanvasAccess::Image(const TCanvas &canvas)
{
    return canvas.d->image;
}

namespace
{
// Word break as the system's DrawText does it: a line ends only at a blank
// or a line break, and a word wider than the line stays whole on a line of
// its own. Qt's word wrap follows the Unicode rules and would break
// "1,234,700.00" after a comma. The text keeps its '&' escapes; widths are
// measured on what is shown.
QString BreakAtBlanks(const QString &text, const QFontMetrics &metrics, int width)
{
    auto shownWidth = [&](QString piece) {
        piece.replace("&&", QString(QChar(1))).remove('&').replace(QChar(1), "&");
        return metrics.horizontalAdvance(piece);
    };
    QStringList lines;
    for (QString paragraph : text.split('\n')) {
        if (paragraph.endsWith('\r'))
            paragraph.chop(1);
        const QStringList words = paragraph.split(' ');
        QString line = words.front();
        for (qsizetype i = 1; i < words.size(); ++i) {
            QString longer = line + ' ' + words[i];
            if (!line.isEmpty() && shownWidth(longer) > width) {
                lines << line;
                line = words[i];
            } else
                line = longer;
        }
        lines << line;
    }
    return lines.join('\n');
}
} // namespace

int DrawText(TCanvas *canvas, const std::string &text, TRect &rect, uint32_t format)
{
    QFont font = TFontAccess::ToQFont(*canvas->Font());
    QFontMetrics metrics(font);
    QString qtext = QString::fromStdString(text);
    int flags = 0;
    flags |= (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    if (format & DT_SINGLELINE)
        flags |= (format & DT_VCENTER) ? Qt::AlignVCenter
            : (format & DT_BOTTOM)     ? Qt::AlignBottom
                                       : Qt::AlignTop;
    else
        flags |= Qt::AlignTop;
    if (format & DT_EXPANDTABS)
        flags |= Qt::TextExpandTabs;
    if (format & DT_SINGLELINE)
        flags |= Qt::TextSingleLine;
    if (format & DT_NOPREFIX)
        qtext.replace('&', "&&");
    flags |= Qt::TextShowMnemonic;
    if (format & DT_END_ELLIPSIS) {
        QString plain = qtext;
        plain.replace("&&", "\x01").remove('&').replace("\x01", "&");
        qtext = metrics.elidedText(plain, Qt::ElideRight, std::max(0, rect.Width()));
        qtext.replace('&', "&&");
    }
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE))
        qtext = BreakAtBlanks(qtext, metrics, rect.Width());
    QRect bounds;
    if (format & DT_WORDBREAK)
        bounds = metrics.boundingRect(ToQRect(rect), flags, qtext);
    else {
        // Without wrapping the extent is the advance of the widest line, as
        // TextWidth measures it; only a caller asking for it needs the
        // width (laying the text out is most of the cost of drawing it).
        QString shown = qtext;
        shown.replace("&&", QString(QChar(1))).remove('&').replace(QChar(1), "&");
        QStringList lines
            = (format & DT_SINGLELINE) ? QStringList { shown.replace('\n', ' ') } : shown.split('\n');
        int width = 0;
        if (format & DT_CALCRECT)
            for (const QString &line : lines)
                width = std::max(width, metrics.horizontalAdvance(line));
        bounds.setSize(QSize(width, metrics.height() * static_cast<int>(lines.size())));
    }
    if (format & DT_CALCRECT) {
        rect.Right = rect.Left + bounds.width();
        rect.Bottom = rect.Top + bounds.height();
        return bounds.height();
    }
    // A bitmap's canvas opens a painter for this one call.
    std::optional<QPainter> own;
    QPainter *painter = TCanvasAccess::Painter(*canvas);
    if (!painter && TCanvasAccess::Image(*canvas) && !TCanvasAccess::Image(*canvas)->isNull())
        painter = &own.emplace(TCanvasAccess::Image(*canvas));
    if (painter) {
        painter->save();
        if (!(format & DT_NOCLIP))
            painter->setClipRect(ToQRect(rect), Qt::IntersectClip);
        painter->setFont(font);
        painter->setPen(ToQColor(canvas->Font()->Color()));
        painter->drawText(ToQRect(rect), flags, qtext);
        painter->restore();
    }
    return bounds.height();
}

void Frame3D(TCanvas *canvas, TRect &rect, TColor topColor, TColor bottomColor, int width)
{
    TPen *pen = canvas->Pen();
    TColor saved = pen->Color();
    int savedWidth = pen->Width();
    pen->SetWidth(1);
    rect.Bottom--, rect.Right--;
    for (int i = 0; i < width; ++i) {
        pen->SetColor(topColor);
        canvas->MoveTo(rect.Left, rect.Bottom);
        canvas->LineTo(rect.Left, rect.Top);
        canvas->LineTo(rect.Right, rect.Top);
        pen->SetColor(bottomColor);
        canvas->LineTo(rect.Right, rect.Bottom);
        canvas->LineTo(rect.Left - 1, rect.Bottom);
        InflateRect(rect, -1, -1);
    }
    rect.Bottom++, rect.Right++;
    pen->SetColor(saved);
    pen->SetWidth(savedWidth);
}
