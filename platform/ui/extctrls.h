#pragma once

#include "platform/rtl/strings.h"
#include "platform/ui/controls.h"

#include <memory>

// Panels, images and radio groups.

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl
{
public:
    explicit TCustomPanel(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut cut);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut cut);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    bool FullRepaint() const { return fullRepaint_; }
    void SetFullRepaint(bool value) { fullRepaint_ = value; }

protected:
    void Paint() override;
    void AdjustClientRect(TRect &rect) const override;

private:
    void Changed();
    TAlignment alignment_ = taCenter;
    TBevelCut bevelInner_ = bvNone;
    TBevelCut bevelOuter_ = bvRaised;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TBorderStyle borderStyle_ = bsNone;
    bool fullRepaint_ = true;
};

class TPanel : public TCustomPanel
{
public:
    explicit TPanel(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// A 3-D line or frame drawn over its parent, without a window.
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl
{
public:
    explicit TBevel(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle style);

protected:
    void Paint() override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

class TImage : public TGraphicControl
{
public:
    explicit TImage(TComponent *owner);
    ~TImage() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TPicture *Picture() const;
    void SetPicture(TPicture *picture);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);
    bool Center() const { return center_; }
    void SetCenter(bool center);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

protected:
    void Paint() override;

private:
    void PictureChanged();
    std::unique_ptr<TPicture> picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};

// A group box of radio buttons, one per line of Items, in Columns columns.
class TCustomRadioGroup : public TWinControl
{
public:
    explicit TCustomRadioGroup(TComponent *owner);
    ~TCustomRadioGroup() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *Items() const;
    void SetItems(TStrings *items);
    // Changing it checks that button and runs OnClick (not while loading).
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    int Columns() const { return columns_; }
    void SetColumns(int columns);

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    void CreateWnd() override;
    void Loaded() override;
    void UpdateBounds() override;
    void ApplyFont() override;

private:
    template <class> friend class TItemStrings;
    void ItemsChanged();
    void BuildButtons();
    void ArrangeButtons();
    std::unique_ptr<TStringList> items_;
    int itemIndex_ = -1;
    int columns_ = 1;
};

class TRadioGroup : public TCustomRadioGroup
{
public:
    explicit TRadioGroup(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
