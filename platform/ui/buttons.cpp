#include "platform/ui/buttons.h"

#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/qtbridge_p.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

const TMetaClass TSpeedButton::Class { "TSpeedButton", &TGraphicControl::Class };
const TMetaClass TBitBtn::Class { "TBitBtn", &TButton::Class };

// clang-format off
namespace {

const TEnumNames LayoutNames = {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};
const TEnumNames KindNames = {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo",
                              "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"};

using PS = TPublish<TSpeedButton>;
const TClassRegistrar<TSpeedButton> speedButtonRegistrar({
    //           name          getter                      setter                       default
    PS::String  ("Caption",    &TSpeedButton::Caption,     &TSpeedButton::SetCaption,   ""),
    PS::Boolean ("AllowAllUp", &TSpeedButton::AllowAllUp,  &TSpeedButton::SetAllowAllUp, false),
    PS::Boolean ("Down",       &TSpeedButton::Down,        &TSpeedButton::SetDown,      false),
    PS::Boolean ("Flat",       &TSpeedButton::Flat,        &TSpeedButton::SetFlat,      false),
    PS::Persistent("Glyph",    &TSpeedButton::Glyph,       &TSpeedButton::SetGlyph),
    PS::Integer ("GroupIndex", &TSpeedButton::GroupIndex,  &TSpeedButton::SetGroupIndex, 0),
    PS::Enum    ("Layout",     LayoutNames,
                               &TSpeedButton::Layout,      &TSpeedButton::SetLayout,    blGlyphLeft),
    PS::Integer ("Margin",     &TSpeedButton::Margin,      &TSpeedButton::SetMargin,    -1),
    PS::Integer ("NumGlyphs",  &TSpeedButton::NumGlyphs,   &TSpeedButton::SetNumGlyphs, 1),
    PS::Integer ("Spacing",    &TSpeedButton::Spacing,     &TSpeedButton::SetSpacing,   4),
});

using PB = TPublish<TBitBtn>;
const TClassRegistrar<TBitBtn> bitBtnRegistrar({
    PB::Persistent("Glyph",    &TBitBtn::Glyph,            &TBitBtn::SetGlyph),
    PB::Enum    ("Kind",       KindNames,                  &TBitBtn::Kind,              &TBitBtn::SetKind, bkCustom),
    PB::Enum    ("Layout",     LayoutNames,                &TBitBtn::Layout,            &TBitBtn::SetLayout, blGlyphLeft),
    PB::Integer ("Margin",     &TBitBtn::Margin,           &TBitBtn::SetMargin,         -1),
    PB::Integer ("NumGlyphs",  &TBitBtn::NumGlyphs,        &TBitBtn::SetNumGlyphs,      1),
    PB::Integer ("Spacing",    &TBitBtn::Spacing,          &TBitBtn::SetSpacing,        4),
});

// The glyph of a bitmap holding NumGlyphs images side by side: the first
// (the "up" image) is the one shown.
QIcon IconOf(TBitmap *glyph, int numGlyphs)
{
    if (!glyph || glyph->Empty())
        return QIcon();
    QImage image = TGraphicAccess::Image(*glyph).convertToFormat(QImage::Format_ARGB32);
    if (numGlyphs > 1)
        image = image.copy(0, 0, image.width() / numGlyphs, image.height());
    // The colour of the bottom-left pixel is the glyph's background, as the
    // class library draws button glyphs.
    QRgb background = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == background)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return QIcon(QPixmap::fromImage(image));
}

} // namespace
// clang-format on

// ---- TSpeedButton ----------------------------------------------------------------------

struct TSpeedButton::Impl {
    bool flat = false;
    TBitmap glyph;
    int numGlyphs = 1;
    TButtonLayout layout = blGlyphLeft;
    int margin = -1;
    int spacing = 4;
    int groupIndex = 0;
    bool down = false;
    bool allowAllUp = false;
};

TSpeedButton::TSpeedButton(TComponent *owner)
    : TGraphicControl(owner)
    , s(std::make_unique<Impl>())
{
    SetBounds(0, 0, 23, 22);
    s->glyph.OnChange = [this](TObject *) { ApplyLook(); };
}

TSpeedButton::~TSpeedButton()
{
    s->glyph.OnChange.Clear();
}

bool TSpeedButton::Flat() const
{
    return s->flat;
}
void TSpeedButton::SetFlat(bool flat)
{
    s->flat = flat;
    ApplyLook();
}
TBitmap *TSpeedButton::Glyph() const
{
    return &s->glyph;
}
void TSpeedButton::SetGlyph(TBitmap *glyph)
{
    s->glyph.Assign(glyph);
}
int TSpeedButton::NumGlyphs() const
{
    return s->numGlyphs;
}
void TSpeedButton::SetNumGlyphs(int count)
{
    s->numGlyphs = std::clamp(count, 1, 4);
    ApplyLook();
}
TButtonLayout TSpeedButton::Layout() const
{
    return s->layout;
}
void TSpeedButton::SetLayout(TButtonLayout layout)
{
    s->layout = layout;
    ApplyLook();
}
int TSpeedButton::Margin() const
{
    return s->margin;
}
void TSpeedButton::SetMargin(int margin)
{
    s->margin = margin;
}
int TSpeedButton::Spacing() const
{
    return s->spacing;
}
void TSpeedButton::SetSpacing(int spacing)
{
    s->spacing = spacing;
}
int TSpeedButton::GroupIndex() const
{
    return s->groupIndex;
}
void TSpeedButton::SetGroupIndex(int index)
{
    s->groupIndex = index;
    if (index == 0)
        s->down = false;
    ApplyLook();
}
bool TSpeedButton::Down() const
{
    return s->down;
}

void TSpeedButton::SetDown(bool down)
{
    if (s->groupIndex == 0)
        down = false;
    if (down == s->down)
        return;
    if (!down && !s->allowAllUp && !ComponentState().Contains(csLoading)) {
        // The last button of a group stays down unless all may be up.
        bool otherDown = false;
        if (TWinControl *parent = Parent())
            for (int i = 0; i < parent->ControlCount(); ++i)
                if (auto *other = dynamic_cast<TSpeedButton *>(parent->Controls(i));
                    other && other != this && other->s->groupIndex == s->groupIndex && other->s->down)
                    otherDown = true;
        if (!otherDown)
            return;
    }
    s->down = down;
    if (down)
        if (TWinControl *parent = Parent())
            for (int i = 0; i < parent->ControlCount(); ++i)
                if (auto *other = dynamic_cast<TSpeedButton *>(parent->Controls(i));
                    other && other != this && other->s->groupIndex == s->groupIndex && other->s->down) {
                    other->s->down = false;
                    other->ApplyLook();
                }
    ApplyLook();
}

bool TSpeedButton::AllowAllUp() const
{
    return s->allowAllUp;
}
void TSpeedButton::SetAllowAllUp(bool allow)
{
    s->allowAllUp = allow;
}

void TSpeedButton::Click()
{
    if (s->groupIndex != 0)
        SetDown(!s->down || !s->allowAllUp ? true : false);
    TGraphicControl::Click();
}

void TSpeedButton::CreateControlWidget()
{
    QWidget *parent = TQtBoundary::ParentWidgetFor(this);
    if (!parent)
        return;
    auto *button = new TBridge<QToolButton>(this, parent);
    button->setFocusPolicy(Qt::NoFocus);
    TQtBoundary::SetWidget(this, button);
    ConnectGuarded(*button, button, &QToolButton::clicked, [this] { Click(); });
    ApplyLook();
}

void TSpeedButton::ApplyLook()
{
    auto *button = qobject_cast<QToolButton *>(TQtBoundary::Widget(this));
    if (!button)
        return;
    button->setAutoRaise(s->flat);
    button->setText(QString::fromStdString(Caption()));
    QIcon icon = IconOf(&s->glyph, s->numGlyphs);
    button->setIcon(icon);
    if (!icon.isNull())
        button->setIconSize(QSize(s->glyph.Width() / s->numGlyphs, s->glyph.Height()));
    Qt::ToolButtonStyle style = Qt::ToolButtonTextOnly;
    if (!icon.isNull())
        style = Caption().empty()                                     ? Qt::ToolButtonIconOnly
            : (s->layout == blGlyphTop || s->layout == blGlyphBottom) ? Qt::ToolButtonTextUnderIcon
                                                                      : Qt::ToolButtonTextBesideIcon;
    button->setToolButtonStyle(style);
    button->setCheckable(false);
    button->setDown(s->down);
}

void TSpeedButton::CMTextChanged(TMessage &message)
{
    TGraphicControl::CMTextChanged(message);
    ApplyLook();
}

// ---- TBitBtn ---------------------------------------------------------------------------------

struct TBitBtn::Impl {
    TBitBtnKind kind = bkCustom;
    TBitmap glyph;
    int numGlyphs = 1;
    TButtonLayout layout = blGlyphLeft;
    int margin = -1;
    int spacing = 4;
};

TBitBtn::TBitBtn(TComponent *owner)
    : TButton(owner)
    , k(std::make_unique<Impl>())
{
    k->glyph.OnChange = [this](TObject *) { ApplyGlyph(); };
}

TBitBtn::~TBitBtn()
{
    k->glyph.OnChange.Clear();
}

TBitBtnKind TBitBtn::Kind() const
{
    return k->kind;
}

void TBitBtn::SetKind(TBitBtnKind kind)
{
    static const char *const captions[]
        = { "", "OK", "Cancel", "&Help", "&Yes", "&No", "&Close", "Abort", "&Retry", "&Ignore", "&All" };
    static const int results[]
        = { mrNone, mrOk, mrCancel, mrNone, mrYes, mrNo, mrNone, mrAbort, mrRetry, mrIgnore, mrAll };
    if (kind == k->kind)
        return;
    k->kind = kind;
    if (kind != bkCustom) {
        SetDefault(kind == bkOK || kind == bkYes);
        SetCancel(kind == bkCancel || kind == bkNo);
        // A resource that gives its own caption keeps it, whatever the order.
        if (!ComponentState().Contains(csLoading) || Caption().empty())
            SetCaption(captions[kind]);
        SetModalResult(results[kind]);
        k->glyph.Assign(nullptr);
    }
    ApplyGlyph();
}

TBitmap *TBitBtn::Glyph() const
{
    return &k->glyph;
}
void TBitBtn::SetGlyph(TBitmap *glyph)
{
    k->glyph.Assign(glyph);
}
int TBitBtn::NumGlyphs() const
{
    return k->numGlyphs;
}
void TBitBtn::SetNumGlyphs(int count)
{
    k->numGlyphs = std::clamp(count, 1, 4);
    ApplyGlyph();
}
TButtonLayout TBitBtn::Layout() const
{
    return k->layout;
}
void TBitBtn::SetLayout(TButtonLayout layout)
{
    k->layout = layout;
    ApplyGlyph();
}
int TBitBtn::Margin() const
{
    return k->margin;
}
void TBitBtn::SetMargin(int margin)
{
    k->margin = margin;
}
int TBitBtn::Spacing() const
{
    return k->spacing;
}
void TBitBtn::SetSpacing(int spacing)
{
    k->spacing = spacing;
}

void TBitBtn::Click()
{
    if (k->kind == bkClose) {
        if (TCustomForm *form = GetParentForm(this)) {
            form->Close();
            TControl::Click();
            return;
        }
    }
    TButton::Click();
}

void TBitBtn::CreateWindowHandle(const TCreateParams &params)
{
    TButton::CreateWindowHandle(params);
    ApplyGlyph();
}

void TBitBtn::ApplyGlyph()
{
    auto *button = qobject_cast<QPushButton *>(TQtBoundary::Widget(this));
    if (!button)
        return;
    QIcon icon = IconOf(&k->glyph, k->numGlyphs);
    if (icon.isNull() && k->kind != bkCustom) {
        static const QStyle::StandardPixmap pixmaps[] = { QStyle::SP_CustomBase, QStyle::SP_DialogOkButton,
            QStyle::SP_DialogCancelButton, QStyle::SP_DialogHelpButton, QStyle::SP_DialogYesButton,
            QStyle::SP_DialogNoButton, QStyle::SP_DialogCloseButton, QStyle::SP_DialogAbortButton,
            QStyle::SP_DialogRetryButton, QStyle::SP_DialogIgnoreButton, QStyle::SP_DialogYesToAllButton };
        icon = button->style()->standardIcon(pixmaps[k->kind]);
    }
    button->setIcon(icon);
    button->setLayoutDirection(k->layout == blGlyphRight ? Qt::RightToLeft : Qt::LeftToRight);
}
