#pragma once

#include "platform/classes/classes.h"

// A window's place and size as the library stores it (the rich-text
// editor's position).
class TqxFormPosition : public TPersistent
{
public:
    TqxFormPosition() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    int Left() const { return left_; }
    void SetLeft(int left) { left_ = left; }
    int Top() const { return top_; }
    void SetTop(int top) { top_ = top; }
    int Width() const { return width_; }
    void SetWidth(int width) { width_ = width; }
    int Height() const { return height_; }
    void SetHeight(int height) { height_ = height; }

private:
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};
