#pragma once

#include <memory>
#include <string>

#include "platform/classes/classes.h"
#include "platform/rtl/events.h"

// Image lists: pictures of one size that list and tree views draw by index.

class TBitmap;
class TCanvas;

class TCustomImageList : public TComponent
{
public:
    explicit TCustomImageList(TComponent *owner);
    ~TCustomImageList() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Size of every image; changing it empties the list.
    int Width() const { return width_; }
    void SetWidth(int width);
    int Height() const { return height_; }
    void SetHeight(int height);

    int Count() const;
    // Adds the bitmap, scaled to the list's size; answers its index.
    int Add(TBitmap *image);
    // Adds a bitmap compiled into the program; EResNotFound when there is none.
    int AddResource(const std::string &resourceName);
    void Delete(int index);
    void Clear();
    // The image at index, as a bitmap of the list's size (EListError outside).
    void GetBitmap(int index, TBitmap *image) const;
    void Draw(TCanvas *canvas, int x, int y, int index) const;

    TNotifyEvent OnChange;

public:
    struct Impl;

private:
    friend struct TImageListAccess;
    void Changed();
    std::unique_ptr<Impl> const d;
    int width_ = 16;
    int height_ = 16;
};

class TImageList : public TCustomImageList
{
public:
    explicit TImageList(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
