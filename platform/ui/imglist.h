#pragma once

#include "platform/classes/classes.h"
#include "platform/ui/graphics.h"

#include <memory>
#include <vector>

// A list of images of one size, drawn by index.
class TCustomImageList : public TComponent
{
public:
    explicit TCustomImageList(TComponent *owner);
    ~TCustomImageList() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Size: changing it empties the list
    int Width() const { return width_; }
    void SetWidth(int width);
    int Height() const { return height_; }
    void SetHeight(int height);

    // Images
    int Count() const { return static_cast<int>(images_.size()); }
    // Adds a copy of the bitmap, scaled to the list's size; answers its index.
    int Add(TBitmap *image);
    void Delete(int index);
    void Clear();
    // Draws the image at x, y; an index outside the list draws nothing.
    void Draw(TCanvas *canvas, int x, int y, int index) const;
    // The image as a bitmap of the list's size (false for an index outside the list).
    bool GetBitmap(int index, TBitmap *image) const;

    TNotifyEvent OnChange;

private:
    int width_ = 16, height_ = 16;
    std::vector<std::unique_ptr<TBitmap>> images_;
};

class TImageList : public TCustomImageList
{
public:
    explicit TImageList(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
