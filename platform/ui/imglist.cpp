#include "platform/ui/imglist.h"

#include <vector>

#include <QImage>
#include <QPainter>

#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/graphics.h"
#include "platform/ui/graphics_p.h"

const TMetaClass TCustomImageList::Class { "TCustomImageList", &TComponent::Class };
const TMetaClass TImageList::Class { "TImageList", &TCustomImageList::Class };

namespace
{
// clang-format off
using PI = TPublish<TCustomImageList>;
const TClassRegistrar<TCustomImageList> customImageListRegistrar({});
const TClassRegistrar<TImageList> imageListRegistrar({
    //          name      getter                      setter                         default
    PI::Integer("Height", &TCustomImageList::Height,  &TCustomImageList::SetHeight,  16),
    PI::Integer("Width",  &TCustomImageList::Width,   &TCustomImageList::SetWidth,   16),
    PI::Event  ("OnChange", &TCustomImageList::OnChange),
});
// clang-format on
} // namespace

struct TCustomImageList::Impl {
    std::vector<QImage> images;
};

TCustomImageList::TCustomImageList(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
}

TCustomImageList::~TCustomImageList() = default;

void TCustomImageList::SetWidth(int width)
{
    if (width <= 0 || width == width_)
        return;
    width_ = width;
    Clear();
}

void TCustomImageList::SetHeight(int height)
{
    if (height <= 0 || height == height_)
        return;
    height_ = height;
    Clear();
}

int TCustomImageList::Count() const
{
    return static_cast<int>(d->images.size());
}

int TCustomImageList::Add(TBitmap *image)
{
    QImage source = image ? TGraphicAccess::Image(*image) : QImage();
    QImage sized(width_, height_, QImage::Format_ARGB32_Premultiplied);
    sized.fill(Qt::transparent);
    if (!source.isNull()) {
        QPainter painter(&sized);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, width_, height_), source);
    }
    d->images.push_back(sized);
    Changed();
    return Count() - 1;
}

int TCustomImageList::AddResource(const std::string &resourceName)
{
    TBitmap bitmap;
    bitmap.LoadFromResourceName(resourceName);
    return Add(&bitmap);
}

void TCustomImageList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    d->images.erase(d->images.begin() + index);
    Changed();
}

void TCustomImageList::Clear()
{
    if (d->images.empty())
        return;
    d->images.clear();
    Changed();
}

void TCustomImageList::GetBitmap(int index, TBitmap *image) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    image->SetSize(width_, height_);
    TGraphicAccess::Image(*image) = d->images[static_cast<size_t>(index)];
}

void TCustomImageList::Draw(TCanvas *canvas, int x, int y, int index) const
{
    if (index < 0 || index >= Count())
        return;
    TBitmap bitmap;
    GetBitmap(index, &bitmap);
    canvas->Draw(x, y, &bitmap);
}

void TCustomImageList::Changed()
{
    OnChange(this);
}

TImageList::TImageList(TComponent *owner)
    : TCustomImageList(owner)
{
}

QImage TImageListAccess::Image(const TCustomImageList &list, int index)
{
    if (index < 0 || index >= list.Count())
        return {};
    return list.d->images[static_cast<size_t>(index)];
}
