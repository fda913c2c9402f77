#pragma once

#include <memory>

#include "platform/ui/stdctrls.h"

// A label that writes its caption at any angle, raised, sunken or with a
// shadow: the product's title on the setup program's backdrop.

enum T3DEffectShort { A3dNormal, A3dResit, A3dRaised, A3dShadowed };
extern const TEnumNames Effect3DNames; // "A3dNormal" ...

// How a 3-D label looks; every change that shows fires OnChange.
class TLabelStyle : public TPersistent
{
public:
    TLabelStyle() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    int Angle() const { return angle_; } // degrees, 0 to 359
    void SetAngle(int value); // outside 0..359: 0
    T3DEffectShort AStyle3D() const { return style3D_; }
    void SetAStyle3D(T3DEffectShort value);
    TColor AShadeRightBottom() const { return shadeRightBottom_; }
    void SetAShadeRightBottom(TColor value);
    TColor AShadeLeftTop() const { return shadeLeftTop_; }
    void SetAShadeLeftTop(TColor value); // ignored while AShadeLTSet
    // On: the highlight is white, the colour set before is kept for Off.
    bool AShadeLTSet() const { return shadeLTSet_; }
    void SetAShadeLTSet(bool value);
    int AHShadeOffSet() const { return hShadeOffset_; }
    void SetAHShadeOffSet(int value);
    int AVShadeOffSet() const { return vShadeOffset_; }
    void SetAVShadeOffSet(int value);

    TNotifyEvent OnChange;

private:
    void Changed();
    int angle_ = 0;
    T3DEffectShort style3D_ = A3dRaised;
    TColor shadeRightBottom_ = 0x808080;
    TColor shadeLeftTop_ = 0xFFFFFF;
    bool shadeLTSet_ = false;
    int hShadeOffset_ = 5;
    int vShadeOffset_ = -5;
    TColor savedLeftTop_ = 0xFFFFFF; // AShadeLeftTop while AShadeLTSet is on
};

class TRotate3DLabel : public TCustomLabel
{
public:
    explicit TRotate3DLabel(TComponent *owner);
    ~TRotate3DLabel() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    TLabelStyle *LabelStyle() const { return style_.get(); }
    void SetLabelStyle(TLabelStyle *value);
    // Off: the label fills its turned box with its own colour and drops the 3-D look.
    bool MyTransparent() const { return myTransparent_; }
    void SetMyTransparent(bool value);
    void SetAlignment(TAlignment value);

    // -1 makes this the current label of the program (the one before gets 0).
    void SetTag(int value);

protected:
    void Paint() override;

private:
    std::unique_ptr<TLabelStyle> const style_;
    bool myTransparent_ = true;
    const double radians_; // per degree
    double cos_ = 1, sin_ = 0; // of the angle last painted
};

// The label whose Tag is -1, or null.
TRotate3DLabel *CurrentRotate3DLabel();
