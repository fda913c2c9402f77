#pragma once

#include "platform/ui/stdctrls.h"

#include <memory>

// Speed buttons (tool buttons without focus) and bitmap buttons.

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TBitBtnKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};

class TSpeedButton : public TGraphicControl
{
public:
    explicit TSpeedButton(TComponent *owner);
    ~TSpeedButton() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    bool Flat() const;
    void SetFlat(bool flat);
    TBitmap *Glyph() const;
    void SetGlyph(TBitmap *glyph);
    int NumGlyphs() const;
    void SetNumGlyphs(int count);
    TButtonLayout Layout() const;
    void SetLayout(TButtonLayout layout);
    int Margin() const;
    void SetMargin(int margin);
    int Spacing() const;
    void SetSpacing(int spacing);
    // Buttons with the same non-zero GroupIndex under one parent act as a
    // group: one is Down at a time (none too, with AllowAllUp).
    int GroupIndex() const;
    void SetGroupIndex(int index);
    bool Down() const;
    void SetDown(bool down);
    bool AllowAllUp() const;
    void SetAllowAllUp(bool allow);

    void Click() override;

protected:
    void CreateControlWidget() override;
    void CMTextChanged(TMessage &message) override;
    // A native tool button draws itself and reports its own clicks.
    bool PaintsItself() const override { return false; }

private:
    struct Impl;
    std::unique_ptr<Impl> const s;
    void ApplyLook();
};

class TBitBtn : public TButton
{
public:
    explicit TBitBtn(TComponent *owner);
    ~TBitBtn() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // A kind other than bkCustom sets Default, Cancel, ModalResult, the
    // standard glyph and (unless a caption was read from a resource) the caption.
    TBitBtnKind Kind() const;
    void SetKind(TBitBtnKind kind);
    TBitmap *Glyph() const;
    void SetGlyph(TBitmap *glyph);
    int NumGlyphs() const;
    void SetNumGlyphs(int count);
    TButtonLayout Layout() const;
    void SetLayout(TButtonLayout layout);
    int Margin() const;
    void SetMargin(int margin);
    int Spacing() const;
    void SetSpacing(int spacing);

    void Click() override;

protected:
    void CreateWindowHandle(const TCreateParams &params) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const k;
    void ApplyGlyph();
};
