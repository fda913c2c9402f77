#pragma once

#include "platform/ui/extctrls.h"

// The setup program's window background: a panel filled with a colour
// gradient of 256 bands.

enum TDirection { bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut };
extern const TEnumNames DirectionNames; // "bdUp" ...

class TBackdrop : public TCustomPanel
{
public:
    explicit TBackdrop(TComponent *owner);
    ~TBackdrop() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The gradient
    TDirection Direction() const { return direction_; }
    void SetDirection(TDirection value);
    TColor StartColor() const { return startColor_; }
    void SetStartColor(TColor value);
    TColor EndColor() const { return endColor_; }
    void SetEndColor(TColor value);

    // -1 makes this the current backdrop of the program (the one before gets 0).
    void SetTag(int value);

protected:
    void Paint() override;

private:
    void Fill(TCanvas *canvas, const TRect &rect) const;
    TDirection direction_ = bdUp;
    TColor startColor_ = 0xFF0000;
    TColor endColor_ = 0;
};

// The backdrop whose Tag is -1, or null.
TBackdrop *CurrentBackdrop();

// Fills rect with the gradient from a to b in 256 bands: top to bottom, or
// left to right when across; mirrored, from a at both edges to b in the middle.
void GradientFill(TCanvas *canvas, const TRect &rect, TColor a, TColor b, bool mirrored, bool across);
