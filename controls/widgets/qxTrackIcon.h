#pragma once

#include "platform/ui/controls.h"
#include "platform/ui/graphics.h"

#include <memory>
#include <string>

// A small marker the user drags sideways inside its parent, as the ruler's
// indent markers are. Its picture is a bitmap resource whose bottom-left
// pixel gives the transparent colour.
class TqxTrackIcon : public TGraphicControl
{
public:
    explicit TqxTrackIcon(TComponent *owner);
    ~TqxTrackIcon() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Picture
    std::string BitmapName() const;
    void SetBitmapName(const std::string &name);

    // Limits of Left inside the parent; 0 is no limit
    int MinValue() const;
    void SetMinValue(int value);
    int MaxValue() const;
    void SetMaxValue(int value);

    // A drag that moved the marker has ended.
    TNotifyEvent OnEndDrag;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};
