#include "platform/ui/imglist.h"

#include "platform/classes/typinfo.h"

const TMetaClass TCustomImageList::Class { "TCustomImageList", &TComponent::Class };
const TMetaClass TImageList::Class { "TImageList", &TCustomImageList::Class };

// clang-format off
namespace {
using PI = TPublish<TCustomImageList>;
const TClassRegistrar<TCustomImageList> customImageListRegistrar({});
const TClassRegistrar<TImageList> imageListRegistrar({
    //          name       getter                      setter                         default
    PI::Integer("Width",   &TCustomImageList::Width,   &TCustomImageList::SetWidth,   16),
    PI::Integer("Height",  &TCustomImageList::Height,  &TCustomImageList::SetHeight,  16),
});
} // namespace
// clang-format on

TCustomImageList::TCustomImageList(TComponent *owner)
    : TComponent(owner)
{
}

TCustomImageList::~TCustomImageList() = default;

void TCustomImageList::SetWidth(int width)
{
    if (width == width_ || width < 1)
        return;
    width_ = width;
    Clear();
}

void TCustomImageList::SetHeight(int height)
{
    if (height == height_ || height < 1)
        return;
    height_ = height;
    Clear();
}

int TCustomImageList::Add(TBitmap *image)
{
    auto copy = std::make_unique<TBitmap>();
    copy->SetSize(width_, height_);
    if (image && !image->Empty())
        copy->Canvas()->StretchDraw(Rect(0, 0, width_, height_), image);
    images_.push_back(std::move(copy));
    OnChange(this);
    return Count() - 1;
}

void TCustomImageList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    images_.erase(images_.begin() + index);
    OnChange(this);
}

void TCustomImageList::Clear()
{
    images_.clear();
    OnChange(this);
}

void TCustomImageList::Draw(TCanvas *canvas, int x, int y, int index) const
{
    if (index < 0 || index >= Count() || !canvas)
        return;
    canvas->Draw(x, y, images_[index].get());
}

bool TCustomImageList::GetBitmap(int index, TBitmap *image) const
{
    if (index < 0 || index >= Count() || !image)
        return false;
    image->Assign(images_[index].get());
    return true;
}

TImageList::TImageList(TComponent *owner)
    : TCustomImageList(owner)
{
}
