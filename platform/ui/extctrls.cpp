#include "platform/ui/extctrls.h"

#include "platform/classes/typinfo.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/itemstrings_p.h"
#include "platform/ui/qtbridge_p.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>

#include <algorithm>

const TMetaClass TCustomPanel::Class { "TCustomPanel", &TCustomControl::Class };
const TMetaClass TPanel::Class { "TPanel", &TCustomPanel::Class };
const TMetaClass TBevel::Class { "TBevel", &TGraphicControl::Class };
const TMetaClass TImage::Class { "TImage", &TGraphicControl::Class };
const TMetaClass TCustomRadioGroup::Class { "TCustomRadioGroup", &TWinControl::Class };
const TMetaClass TRadioGroup::Class { "TRadioGroup", &TCustomRadioGroup::Class };

// clang-format off
namespace {

const TEnumNames AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const TEnumNames BevelNames = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
const TEnumNames BorderStyleNames = {"bsNone", "bsSingle"};

using PP = TPublish<TCustomPanel>;
const TClassRegistrar<TCustomPanel> customPanelRegistrar({});
const TClassRegistrar<TPanel> panelRegistrar({
    //           name           getter                       setter                        default
    PP::String  ("Caption",     &TCustomPanel::Caption,      &TCustomPanel::SetCaption,    ""),
    PP::Enum    ("Alignment",   AlignmentNames,
                                &TCustomPanel::Alignment,    &TCustomPanel::SetAlignment,  taCenter),
    PP::Enum    ("BevelInner",  BevelNames,
                                &TCustomPanel::BevelInner,   &TCustomPanel::SetBevelInner, bvNone),
    PP::Enum    ("BevelOuter",  BevelNames,
                                &TCustomPanel::BevelOuter,   &TCustomPanel::SetBevelOuter, bvRaised),
    PP::Integer ("BevelWidth",  &TCustomPanel::BevelWidth,   &TCustomPanel::SetBevelWidth, 1),
    PP::Integer ("BorderWidth", &TCustomPanel::BorderWidth,  &TCustomPanel::SetBorderWidth, 0),
    PP::Enum    ("BorderStyle", BorderStyleNames,
                                &TCustomPanel::BorderStyle,  &TCustomPanel::SetBorderStyle, bsNone),
    PP::Boolean ("FullRepaint", &TCustomPanel::FullRepaint,  &TCustomPanel::SetFullRepaint, true),
});

const TEnumNames BevelShapeNames = {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine",
    "bsRightLine", "bsSpacer"};
const TEnumNames BevelStyleNames = {"bsLowered", "bsRaised"};
using PB = TPublish<TBevel>;
const TClassRegistrar<TBevel> bevelRegistrar({
    PB::Enum    ("Shape",       BevelShapeNames,
                                &TBevel::Shape,              &TBevel::SetShape,            bsBox),
    PB::Enum    ("Style",       BevelStyleNames,
                                &TBevel::Style,              &TBevel::SetStyle,            bsLowered),
});

using PI = TPublish<TImage>;
const TClassRegistrar<TImage> imageRegistrar({
    PI::Persistent("Picture",   &TImage::Picture,            &TImage::SetPicture),
    PI::Boolean ("Stretch",     &TImage::Stretch,            &TImage::SetStretch,          false),
    PI::Boolean ("Center",      &TImage::Center,             &TImage::SetCenter,           false),
    PI::Boolean ("Transparent", &TImage::Transparent,        &TImage::SetTransparent,      false),
    PI::Boolean ("AutoSize",    &TImage::AutoSize,           &TImage::SetAutoSize,         false),
});

using PR = TPublish<TCustomRadioGroup>;
const TClassRegistrar<TCustomRadioGroup> customRadioGroupRegistrar({});
const TClassRegistrar<TRadioGroup> radioGroupRegistrar({
    PR::String  ("Caption",     &TCustomRadioGroup::Caption, &TCustomRadioGroup::SetCaption, ""),
    PR::Integer ("Columns",     &TCustomRadioGroup::Columns, &TCustomRadioGroup::SetColumns, 1),
    PR::Strings ("Items",       &TCustomRadioGroup::Items),
    PR::Integer ("ItemIndex",   &TCustomRadioGroup::ItemIndex, &TCustomRadioGroup::SetItemIndex, -1),
});

void BevelColors(TBevelCut cut, TColor face, TColor &top, TColor &bottom)
{
    if (cut == bvLowered)
        top = clBtnShadow, bottom = clBtnHighlight;
    else if (cut == bvRaised)
        top = clBtnHighlight, bottom = clBtnShadow;
    else
        top = bottom = face;
}

} // namespace
// clang-format on

// ---- Panels ---------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent *owner)
    : TCustomControl(owner)
{
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TCustomPanel::Changed()
{
    Realign();
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut cut)
{
    bevelInner_ = cut;
    Changed();
}
void TCustomPanel::SetBevelOuter(TBevelCut cut)
{
    bevelOuter_ = cut;
    Changed();
}
void TCustomPanel::SetBevelWidth(int width)
{
    bevelWidth_ = std::max(1, width);
    Changed();
}
void TCustomPanel::SetBorderWidth(int width)
{
    borderWidth_ = std::max(0, width);
    Changed();
}
void TCustomPanel::SetBorderStyle(TBorderStyle style)
{
    borderStyle_ = style == bsNone ? bsNone : bsSingle;
    Changed();
}

void TCustomPanel::AdjustClientRect(TRect &rect) const
{
    int inset = borderWidth_ + (borderStyle_ == bsSingle ? 1 : 0);
    if (bevelOuter_ != bvNone)
        inset += bevelWidth_;
    if (bevelInner_ != bvNone)
        inset += bevelWidth_;
    InflateRect(rect, -inset, -inset);
}

void TCustomPanel::Paint()
{
    TCanvas *canvas = Canvas();
    TRect rect = ClientRect();
    TColor top = clBtnHighlight, bottom = clBtnShadow;
    if (borderStyle_ == bsSingle)
        Frame3D(canvas, rect, clWindowFrame, clWindowFrame, 1);
    if (bevelOuter_ != bvNone) {
        BevelColors(bevelOuter_, Color(), top, bottom);
        Frame3D(canvas, rect, top, bottom, bevelWidth_);
    }
    Frame3D(canvas, rect, Color(), Color(), borderWidth_);
    if (bevelInner_ != bvNone) {
        BevelColors(bevelInner_, Color(), top, bottom);
        Frame3D(canvas, rect, top, bottom, bevelWidth_);
    }
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(rect);
    if (!Caption().empty()) {
        canvas->Brush()->SetStyle(bsClear);
        uint32_t format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
        format |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
        DrawText(canvas, Caption(), rect, format);
    }
}

TPanel::TPanel(TComponent *owner)
    : TCustomPanel(owner)
{
}

// ---- Bevels ------------------------------------------------------------------------------

TBevel::TBevel(TComponent *owner)
    : TGraphicControl(owner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    shape_ = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style)
{
    style_ = style;
    Invalidate();
}

void TBevel::Paint()
{
    TCanvas *canvas = Canvas();
    TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = Width(), h = Height();
    auto line = [canvas](TColor color, int x1, int y1, int x2, int y2) {
        canvas->Pen()->SetColor(color);
        canvas->Pen()->SetWidth(1);
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    switch (shape_) {
    case bsBox: {
        TRect rect = Rect(0, 0, w, h);
        Frame3D(canvas, rect, first, second, 1);
        break;
    }
    case bsFrame: {
        TRect outer = Rect(0, 0, w - 1, h - 1);
        TRect inner = Rect(1, 1, w, h);
        Frame3D(canvas, inner, second, second, 1);
        Frame3D(canvas, outer, first, first, 1);
        break;
    }
    case bsTopLine:
        line(first, 0, 0, w, 0), line(second, 0, 1, w, 1);
        break;
    case bsBottomLine:
        line(first, 0, h - 2, w, h - 2), line(second, 0, h - 1, w, h - 1);
        break;
    case bsLeftLine:
        line(first, 0, 0, 0, h), line(second, 1, 0, 1, h);
        break;
    case bsRightLine:
        line(first, w - 2, 0, w - 2, h), line(second, w - 1, 0, w - 1, h);
        break;
    case bsSpacer:
        break;
    }
}

// ---- Images ------------------------------------------------------------------------------

TImage::TImage(TComponent *owner)
    : TGraphicControl(owner)
    , picture_(std::make_unique<TPicture>())
{
    SetBounds(0, 0, 105, 105);
    picture_->OnChange = [this](TObject *) { PictureChanged(); };
}

TImage::~TImage()
{
    picture_->OnChange.Clear();
}

TPicture *TImage::Picture() const
{
    return picture_.get();
}
void TImage::SetPicture(TPicture *picture)
{
    picture_->Assign(picture);
}
void TImage::SetStretch(bool stretch)
{
    stretch_ = stretch;
    Invalidate();
}
void TImage::SetCenter(bool center)
{
    center_ = center;
    Invalidate();
}
void TImage::SetTransparent(bool transparent)
{
    transparent_ = transparent;
    Invalidate();
}
void TImage::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    PictureChanged();
}

void TImage::PictureChanged()
{
    if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
        SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
    Invalidate();
}

void TImage::Paint()
{
    TGraphic *graphic = picture_->Graphic();
    if (!graphic || graphic->Empty())
        return;
    TCanvas *canvas = Canvas();
    if (stretch_) {
        canvas->StretchDraw(ClientRect(), graphic);
    } else if (center_) {
        canvas->Draw((Width() - graphic->Width()) / 2, (Height() - graphic->Height()) / 2, graphic);
    } else {
        canvas->Draw(0, 0, graphic);
    }
}

// ---- Radio groups ---------------------------------------------------------------------------

TCustomRadioGroup::TCustomRadioGroup(TComponent *owner)
    : TWinControl(owner)
    , items_(std::make_unique<TItemStrings<TCustomRadioGroup>>(this))
{
    SetBounds(0, 0, 185, 105);
    SetColor(clBtnFace);
    SetParentColor(true);
}

TCustomRadioGroup::~TCustomRadioGroup()
{
    Destroying();
    DestroyHandle();
}

TStrings *TCustomRadioGroup::Items() const
{
    return items_.get();
}
void TCustomRadioGroup::SetItems(TStrings *items)
{
    items_->Assign(*items);
}

void TCustomRadioGroup::SetItemIndex(int index)
{
    if (ComponentState().Contains(csLoading)) {
        // Items may come after ItemIndex in a resource; Loaded checks it.
        itemIndex_ = index < 0 ? -1 : index;
        return;
    }
    if (index < -1 || index >= items_->Count())
        index = -1;
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    if (auto *group = TQtBoundary::Widget(this)) {
        auto buttons = group->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
        for (int i = 0; i < buttons.size(); ++i) {
            QSignalBlocker blocker(buttons[i]);
            buttons[i]->setChecked(i == index);
        }
        if (index < 0)
            for (QRadioButton *button : buttons) {
                button->setAutoExclusive(false);
                button->setChecked(false);
                button->setAutoExclusive(true);
            }
    }
    Click();
}

void TCustomRadioGroup::SetColumns(int columns)
{
    columns_ = std::clamp(columns, 1, 16);
    ArrangeButtons();
}

void TCustomRadioGroup::ItemsChanged()
{
    if (!ComponentState().Contains(csLoading) && itemIndex_ >= items_->Count())
        itemIndex_ = -1;
    BuildButtons();
}

void TCustomRadioGroup::CreateWindowHandle(const TCreateParams &params)
{
    auto *group = new TBridge<QGroupBox>(this, TQtBoundary::ParentWidgetFor(this));
    group->setTitle(QString::fromStdString(params.Caption));
    TQtBoundary::SetWidget(this, group);
}

void TCustomRadioGroup::CreateWnd()
{
    TWinControl::CreateWnd();
    BuildButtons();
}

void TCustomRadioGroup::BuildButtons()
{
    auto *group = qobject_cast<QGroupBox *>(TQtBoundary::Widget(this));
    if (!group)
        return;
    for (QRadioButton *button : group->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly))
        delete button;
    delete group->findChild<QButtonGroup *>();
    auto *buttons = new QButtonGroup(group);
    auto *link = dynamic_cast<TWidgetLink *>(group);
    for (int i = 0; i < items_->Count(); ++i) {
        auto *button = new QRadioButton(QString::fromStdString(items_->Strings(i)), group);
        button->setFont(group->font());
        button->setChecked(i == itemIndex_);
        button->show();
        buttons->addButton(button, i);
    }
    ConnectGuarded(*link, buttons, &QButtonGroup::idToggled, [this](int id, bool checked) {
        if (checked && id != itemIndex_)
            SetItemIndex(id);
    });
    ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons()
{
    auto *group = qobject_cast<QGroupBox *>(TQtBoundary::Widget(this));
    if (!group)
        return;
    auto buttons = group->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    if (buttons.isEmpty())
        return;
    // Buttons fill each column top to bottom, the columns sharing the width.
    int count = static_cast<int>(buttons.size());
    int perColumn = (count + columns_ - 1) / columns_;
    int captionHeight = group->fontMetrics().height();
    int usable = std::max(0, Height() - captionHeight - 5);
    int rowHeight = std::max(1, usable / perColumn);
    int top = captionHeight + 1 + (usable % perColumn) / 2;
    int columnWidth = std::max(1, (Width() - 10) / columns_);
    for (int i = 0; i < count; ++i)
        buttons[i]->setGeometry(
            8 + (i / perColumn) * columnWidth, top + (i % perColumn) * rowHeight, columnWidth, rowHeight);
}

void TCustomRadioGroup::Loaded()
{
    TWinControl::Loaded();
    if (itemIndex_ >= items_->Count())
        itemIndex_ = -1;
    BuildButtons();
}

void TCustomRadioGroup::UpdateBounds()
{
    TWinControl::UpdateBounds();
    ArrangeButtons();
}

void TCustomRadioGroup::ApplyFont()
{
    TWinControl::ApplyFont();
    if (QWidget *group = TQtBoundary::Widget(this))
        for (QRadioButton *button : group->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly))
            button->setFont(group->font());
    ArrangeButtons();
}

TRadioGroup::TRadioGroup(TComponent *owner)
    : TCustomRadioGroup(owner)
{
}
