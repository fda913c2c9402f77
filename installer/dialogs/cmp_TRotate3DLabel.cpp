#include "installer/dialogs/cmp_TRotate3DLabel.h"

#include <cmath>
#include <numbers>

#include "platform/classes/typinfo.h"

const TMetaClass TLabelStyle::Class { "TLabelStyle", &TPersistent::Class };
const TMetaClass TRotate3DLabel::Class { "TRotate3DLabel", &TCustomLabel::Class };
const TEnumNames Effect3DNames { "A3dNormal", "A3dResit", "A3dRaised", "A3dShadowed" };

namespace
{

const TEnumNames AlignmentNames = { "taLeftJustify", "taRightJustify", "taCenter" };

using S = TPublish<TLabelStyle>;
using L = TPublish<TRotate3DLabel>;
// clang-format off
const TClassRegistrar<TLabelStyle> styleRegistrar({
    //           name                 names          getter                             setter                                default
    S::Integer  ("Angle",                            &TLabelStyle::Angle,               &TLabelStyle::SetAngle,               0),
    S::Enum     ("AStyle3D",          Effect3DNames, &TLabelStyle::AStyle3D,            &TLabelStyle::SetAStyle3D,            A3dRaised),
    S::Integer  ("AShadeRightBottom",                &TLabelStyle::AShadeRightBottom,   &TLabelStyle::SetAShadeRightBottom,   0x808080),
    S::Integer  ("AShadeLeftTop",                    &TLabelStyle::AShadeLeftTop,       &TLabelStyle::SetAShadeLeftTop,       0xFFFFFF),
    S::Boolean  ("AShadeLTSet",                      &TLabelStyle::AShadeLTSet,         &TLabelStyle::SetAShadeLTSet,         false),
    S::Integer  ("AHShadeOffSet",                    &TLabelStyle::AHShadeOffSet,       &TLabelStyle::SetAHShadeOffSet,       5),
    S::Integer  ("AVShadeOffSet",                    &TLabelStyle::AVShadeOffSet,       &TLabelStyle::SetAVShadeOffSet,       -5),
    S::Event    ("OnChange",                         &TLabelStyle::OnChange),
});

const TClassRegistrar<TRotate3DLabel> labelRegistrar({
    L::String   ("Caption",                          &TRotate3DLabel::Caption,          &TRotate3DLabel::SetCaption,          ""),
    L::Enum     ("Alignment",         AlignmentNames, &TRotate3DLabel::Alignment,       &TRotate3DLabel::SetAlignment,        taLeftJustify),
    L::Boolean  ("ShowAccelChar",                    &TRotate3DLabel::ShowAccelChar,    &TRotate3DLabel::SetShowAccelChar,    true),
    L::Persistent("LabelStyle",                      &TRotate3DLabel::LabelStyle,       &TRotate3DLabel::SetLabelStyle),
    L::Boolean  ("MyTransparent",                    &TRotate3DLabel::MyTransparent,    &TRotate3DLabel::SetMyTransparent,    true),
    L::Integer  ("Tag",                              &TRotate3DLabel::Tag,              &TRotate3DLabel::SetTag,              0),
});
// clang-format on

TRotate3DLabel *current = nullptr;

} // namespace

TRotate3DLabel *CurrentRotate3DLabel()
{
    return current;
}

// ---- The style ----------------------------------------------------------------------------

void TLabelStyle::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TLabelStyle::Assign(const TPersistent *source)
{
    const auto *other = dynamic_cast<const TLabelStyle *>(source);
    if (!other)
        return TPersistent::Assign(source);
    angle_ = other->angle_;
    style3D_ = other->style3D_;
    shadeRightBottom_ = other->shadeRightBottom_;
    shadeLeftTop_ = other->shadeLeftTop_;
    shadeLTSet_ = other->shadeLTSet_;
    hShadeOffset_ = other->hShadeOffset_;
    vShadeOffset_ = other->vShadeOffset_;
    savedLeftTop_ = other->savedLeftTop_;
    Changed();
}

void TLabelStyle::SetAngle(int value)
{
    if (value < 0 || value >= 360)
        value = 0;
    if (value == angle_)
        return;
    angle_ = value;
    Changed();
}

void TLabelStyle::SetAStyle3D(T3DEffectShort value)
{
    if (value == style3D_)
        return;
    style3D_ = value;
    Changed();
}

void TLabelStyle::SetAShadeRightBottom(TColor value)
{
    if (value == shadeRightBottom_)
        return;
    shadeRightBottom_ = value;
    Changed();
}

void TLabelStyle::SetAShadeLeftTop(TColor value)
{
    if (shadeLTSet_ || value == shadeLeftTop_)
        return;
    shadeLeftTop_ = value;
    Changed();
}

void TLabelStyle::SetAShadeLTSet(bool value)
{
    if (value == shadeLTSet_)
        return;
    shadeLTSet_ = value;
    if (value) {
        savedLeftTop_ = shadeLeftTop_;
        shadeLeftTop_ = 0xFFFFFF;
        // Only a highlight that really turned white looks different.
        if ((style3D_ == A3dResit || style3D_ == A3dRaised) && savedLeftTop_ != 0xFFFFFF)
            Changed();
    } else {
        shadeLeftTop_ = savedLeftTop_;
        Changed();
    }
}

void TLabelStyle::SetAHShadeOffSet(int value)
{
    if (value == hShadeOffset_)
        return;
    hShadeOffset_ = value;
    if (style3D_ == A3dShadowed)
        Changed();
}

void TLabelStyle::SetAVShadeOffSet(int value)
{
    if (value == vShadeOffset_)
        return;
    vShadeOffset_ = value;
    if (style3D_ == A3dShadowed)
        Changed();
}

// ---- The label ------------------------------------------------------------------------------

TRotate3DLabel::TRotate3DLabel(TComponent *owner)
    : TCustomLabel(owner)
    , style_(std::make_unique<TLabelStyle>())
    , radians_(std::numbers::pi / 180)
{
    SetTransparent(true);
    SetAutoSize(false);
    Font()->SetName("Arial");
    Font()->SetStyle(TFontStyles { fsBold });
    style_->OnChange = [this](TObject *) { Invalidate(); };
    if (ComponentState().Contains(csDesigning) && !current)
        SetTag(-1);
}

TRotate3DLabel::~TRotate3DLabel()
{
    if (current == this)
        current = nullptr;
}

void TRotate3DLabel::Assign(const TPersistent *source)
{
    const auto *other = dynamic_cast<const TRotate3DLabel *>(source);
    if (!other)
        return TCustomLabel::Assign(source);
    SetCaption(other->Caption());
    style_->Assign(other->style_.get());
    Font()->Assign(other->Font());
    SetAlign(other->Align());
    SetBounds(other->Left(), other->Top(), other->Width(), other->Height());
    SetMyTransparent(other->myTransparent_);
}

void TRotate3DLabel::SetLabelStyle(TLabelStyle *value)
{
    style_->Assign(value);
    Invalidate();
}

void TRotate3DLabel::SetMyTransparent(bool value)
{
    if (value == myTransparent_)
        return;
    myTransparent_ = value;
    if (!value) {
        // The colour it shows now becomes its own.
        const TColor color = Color();
        SetParentColor(false);
        SetColor(color);
    }
    Invalidate();
}

void TRotate3DLabel::SetAlignment(TAlignment value)
{
    TCustomLabel::SetAlignment(value);
    Invalidate();
}

void TRotate3DLabel::SetTag(int value)
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

void TRotate3DLabel::Paint()
{
    cos_ = std::cos(style_->Angle() * radians_);
    sin_ = std::sin(style_->Angle() * radians_);
    if (!myTransparent_)
        style_->SetAStyle3D(A3dNormal);
    int shadow = 0, highlight = 0;
    if (style_->AStyle3D() == A3dResit)
        shadow = -1, highlight = 1;
    else if (style_->AStyle3D() == A3dRaised)
        shadow = 1, highlight = -1;

    TCanvas *canvas = Canvas();
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsClear);
    const std::string text = Caption();
    const int w = canvas->TextWidth(text), h = canvas->TextHeight(text);
    const int cx = Width() / 2, cy = Height() / 2;
    const double c = cos_, s = sin_;
    int x0 = 0;
    if (Alignment() == taRightJustify)
        x0 = Width() - w;
    else if (Alignment() == taCenter)
        x0 = cx - int(w / 2.0 * c) - int(h / 2.0 * s);
    const int y0 = cy + int(w / 2.0 * s) - int(h / 2.0 * c);

    if (!myTransparent_) {
        const double bw = (w + 10) / 2.0, bh = (h + 7) / 2.0;
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->Polygon({
            { cx - int(bw * c) - int(bh * s), cy + int(bw * s) - int(bh * c) },
            { cx + int(bw * c) - int(bh * s), cy - int(bw * s) - int(bh * c) },
            { cx + int(bw * c) + int(bh * s), cy - int(bw * s) + int(bh * c) },
            { cx - int(bw * c) + int(bh * s), cy + int(bw * s) + int(bh * c) },
        });
        canvas->Brush()->SetStyle(bsClear);
    }

    canvas->SetTextEscapement(style_->Angle() * 10);
    const T3DEffectShort effect = style_->AStyle3D();
    if (effect != A3dNormal) {
        if (effect != A3dShadowed) {
            canvas->Font()->SetColor(style_->AShadeLeftTop());
            canvas->TextOut(x0 + highlight, y0 + highlight, text);
        }
        canvas->Font()->SetColor(style_->AShadeRightBottom());
        if (effect == A3dShadowed)
            canvas->TextOut(x0 + style_->AHShadeOffSet(), y0 + style_->AVShadeOffSet(), text);
        else
            canvas->TextOut(x0 + shadow, y0 + shadow, text);
    }
    canvas->Font()->SetColor(Font()->Color());
    canvas->TextOut(x0, y0, text);
    canvas->SetTextEscapement(0);
}
