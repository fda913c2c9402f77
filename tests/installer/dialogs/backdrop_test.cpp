// The setup program's window decoration: the gradient backdrop and the
// turned, shaded title label, as painted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "installer/dialogs/cmp_TBackdrop.h"
#include "installer/dialogs/cmp_TRotate3DLabel.h"
#include "platform/classes/filer.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/testing.h"

namespace
{

int Blue(TColor c)
{
    return (c >> 16) & 0xFF;
}
int Red(TColor c)
{
    return c & 0xFF;
}

// Paints the gradient into a bitmap of the size given.
std::unique_ptr<TBitmap> Gradient(int width, int height, TColor a, TColor b, bool mirrored, bool across)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(width, height);
    GradientFill(bitmap->Canvas(), TRect { 0, 0, width, height }, a, b, mirrored, across);
    return bitmap;
}

TEST(Gradient, TwoHundredFiftySixPixelsGiveBandsOnePixelHigh)
{
    std::unique_ptr<TBitmap> bitmap = Gradient(4, 256, 0xFF0000, 0, false, false);
    for (int y = 0; y < 256; ++y) {
        EXPECT_EQ(bitmap->Canvas()->Pixels(0, y), RGB(0, 0, static_cast<uint8_t>(255 - y))) << y;
        EXPECT_EQ(bitmap->Canvas()->Pixels(3, y), bitmap->Canvas()->Pixels(0, y))
            << "a band is the full width";
    }
}

TEST(Gradient, AShortFillLeavesColoursOut)
{
    std::unique_ptr<TBitmap> bitmap = Gradient(1, 100, 0xFF0000, 0, false, false);
    std::set<TColor> seen;
    for (int y = 0; y < 100; ++y)
        seen.insert(bitmap->Canvas()->Pixels(0, y));
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_GE(Blue(bitmap->Canvas()->Pixels(0, 0)), 250) << "the start colour at the top";
    EXPECT_LE(Blue(bitmap->Canvas()->Pixels(0, 99)), 2) << "the end colour at the far edge";
}

TEST(Gradient, MirroredHasTheFirstColourAtBothEdgesAndTheSecondInTheMiddle)
{
    std::unique_ptr<TBitmap> bitmap = Gradient(256, 2, RGB(255, 0, 0), RGB(0, 0, 255), true, true);
    TCanvas *c = bitmap->Canvas();
    EXPECT_EQ(c->Pixels(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c->Pixels(255, 0), RGB(255, 0, 0));
    EXPECT_EQ(c->Pixels(127, 1), RGB(0, 0, 255));
    EXPECT_EQ(c->Pixels(128, 1), RGB(0, 0, 255));
    for (int x = 0; x < 128; ++x)
        EXPECT_EQ(c->Pixels(x, 0), c->Pixels(255 - x, 0)) << x;
}

class Decoration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetBounds(0, 0, 300, 200);
        form_->Show();
    }
    static std::unique_ptr<TBitmap> Painted(TControl *control)
    {
        ProcessPendingEvents();
        auto bitmap = std::make_unique<TBitmap>();
        GrabControl(control, *bitmap);
        return bitmap;
    }
    std::unique_ptr<TForm> form_;
};

TEST_F(Decoration, EachDirectionPutsItsColoursAtTheEdges)
{
    auto *backdrop = new TBackdrop(form_.get());
    backdrop->SetParent(form_.get());
    EXPECT_EQ(backdrop->Align(), alClient);
    backdrop->SetStartColor(RGB(255, 0, 0));
    backdrop->SetEndColor(RGB(0, 0, 255));
    const int w = backdrop->Width(), h = backdrop->Height();
    ASSERT_GT(w, 100);
    ASSERT_GT(h, 100);
    struct Case {
        TDirection direction;
        TPoint start, end; // where the start colour shows, and the end colour
    };
    const Case cases[] = {
        { bdUp, { w / 2, 0 }, { w / 2, h - 1 } },
        { bdDown, { w / 2, h - 1 }, { w / 2, 0 } },
        { bdLeft, { 0, h / 2 }, { w - 1, h / 2 } },
        { bdRight, { w - 1, h / 2 }, { 0, h / 2 } },
        { bdHorzIn, { w / 2, h / 2 }, { w / 2, 0 } },
        { bdHorzOut, { w / 2, h - 1 }, { w / 2, h / 2 } },
        { bdVertIn, { 0, h / 2 }, { w / 2, h / 2 } },
        { bdVertOut, { w / 2, h / 2 }, { w - 1, h / 2 } },
    };
    for (const Case &c : cases) {
        backdrop->SetDirection(c.direction);
        std::unique_ptr<TBitmap> bitmap = Painted(backdrop);
        const TColor start = bitmap->Canvas()->Pixels(c.start.X, c.start.Y);
        const TColor end = bitmap->Canvas()->Pixels(c.end.X, c.end.Y);
        EXPECT_GE(Red(start), 250) << DirectionNames[c.direction];
        EXPECT_LE(Blue(start), 5) << DirectionNames[c.direction];
        EXPECT_GE(Blue(end), 250) << DirectionNames[c.direction];
        EXPECT_LE(Red(end), 5) << DirectionNames[c.direction];
    }
}

TEST_F(Decoration, OneCurrentBackdropAndLabelAtATime)
{
    auto *first = new TBackdrop(form_.get());
    auto *second = new TBackdrop(form_.get());
    first->SetTag(-1);
    EXPECT_EQ(CurrentBackdrop(), first);
    second->SetTag(-1);
    EXPECT_EQ(CurrentBackdrop(), second);
    EXPECT_EQ(first->Tag(), 0);
    second->SetTag(3);
    EXPECT_EQ(CurrentBackdrop(), nullptr);
    first->SetTag(-1);
    delete first;
    EXPECT_EQ(CurrentBackdrop(), nullptr) << "a destroyed backdrop is no longer current";

    auto *label = new TRotate3DLabel(form_.get());
    auto *other = new TRotate3DLabel(form_.get());
    label->SetTag(-1);
    other->SetTag(-1);
    EXPECT_EQ(label->Tag(), 0);
    EXPECT_EQ(CurrentRotate3DLabel(), other);
    delete other;
    EXPECT_EQ(CurrentRotate3DLabel(), nullptr);
}

TEST(LabelStyle, ChangesThatShowAreAnnounced)
{
    TLabelStyle style;
    int changes = 0;
    style.OnChange = [&](TObject *) { ++changes; };
    style.SetAngle(360);
    EXPECT_EQ(style.Angle(), 0);
    style.SetAngle(-1);
    EXPECT_EQ(style.Angle(), 0);
    EXPECT_EQ(changes, 0) << "still 0: nothing changed";
    style.SetAngle(359);
    EXPECT_EQ(changes, 1);

    style.SetAHShadeOffSet(8);
    style.SetAVShadeOffSet(8);
    EXPECT_EQ(changes, 1) << "offsets show only with a shadow";
    style.SetAStyle3D(A3dShadowed);
    style.SetAHShadeOffSet(9);
    EXPECT_EQ(changes, 3);

    style.SetAStyle3D(A3dRaised);
    style.SetAShadeLeftTop(0x00FFFF);
    EXPECT_EQ(changes, 5);
    style.SetAShadeLTSet(true);
    EXPECT_EQ(style.AShadeLeftTop(), 0xFFFFFF);
    EXPECT_EQ(changes, 6) << "the highlight turned white";
    style.SetAShadeLeftTop(0x0000FF);
    EXPECT_EQ(style.AShadeLeftTop(), 0xFFFFFF) << "ignored while set";
    style.SetAShadeLTSet(false);
    EXPECT_EQ(style.AShadeLeftTop(), 0x00FFFF) << "the colour before comes back";

    TLabelStyle copy;
    int copied = 0;
    copy.OnChange = [&](TObject *) { ++copied; };
    copy.Assign(&style);
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(copy.Angle(), 359);
    EXPECT_EQ(copy.AHShadeOffSet(), 9);
    EXPECT_EQ(copy.AShadeLeftTop(), 0x00FFFF);
}

// The box around the pixels of a colour close to want.
struct Ink {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    int count = 0;
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};
Ink InkOf(TBitmap &bitmap, bool (*match)(TColor))
{
    Ink ink;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (match(bitmap.Canvas()->Pixels(x, y))) {
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
                ++ink.count;
            }
    return ink;
}
int Green(TColor c)
{
    return (c >> 8) & 0xFF;
}
// Edges are smoothed, so colours are matched with some room.
bool White(TColor c)
{
    return Red(c) >= 230 && Green(c) >= 230 && Blue(c) >= 230;
}
bool Grey(TColor c)
{
    return std::abs(Red(c) - 128) < 20 && std::abs(Green(c) - 128) < 20 && std::abs(Blue(c) - 128) < 20;
}
bool Dark(TColor c)
{
    return Red(c) < 40 && Green(c) < 40 && Blue(c) < 40;
}

class Label : public Decoration
{
protected:
    TRotate3DLabel *Make(const std::string &caption)
    {
        auto *panel = new TBackdrop(form_.get());
        panel->SetParent(form_.get());
        panel->SetStartColor(RGB(0, 160, 0)); // neither white, grey nor dark
        panel->SetEndColor(RGB(0, 160, 0));
        auto *label = new TRotate3DLabel(form_.get());
        label->SetParent(panel);
        label->SetBounds(0, 0, 300, 200);
        label->SetCaption(caption);
        label->SetParentFont(false);
        label->Font()->SetHeight(-30);
        label->Font()->SetColor(clBlack);
        label->SetAlignment(taCenter);
        return label;
    }
};

TEST_F(Label, RaisedIsLitFromTheTopLeftAndSunkenTheReverse)
{
    TRotate3DLabel *label = Make("IIII");
    EXPECT_EQ(label->LabelStyle()->AStyle3D(), A3dRaised);
    EXPECT_EQ(label->Font()->Name(), "Arial");
    std::unique_ptr<TBitmap> raised = Painted(label->Parent());
    Ink white = InkOf(*raised, White), grey = InkOf(*raised, Grey), text = InkOf(*raised, Dark);
    ASSERT_GT(text.Width(), 10);
    ASSERT_GT(white.count, 10);
    ASSERT_GT(grey.count, 10);
    // The light shows a pixel above and left of the text, the shade a pixel
    // below and right (text drawn over them; its edges are smoothed).
    EXPECT_EQ(white.top, text.top - 1);
    EXPECT_EQ(grey.bottom, text.bottom + 1);
    EXPECT_LT(white.left, text.left);
    EXPECT_GT(grey.right, text.right);

    label->LabelStyle()->SetAStyle3D(A3dResit);
    std::unique_ptr<TBitmap> sunken = Painted(label->Parent());
    white = InkOf(*sunken, White), grey = InkOf(*sunken, Grey), text = InkOf(*sunken, Dark);
    EXPECT_EQ(grey.top, text.top - 1);
    EXPECT_EQ(white.bottom, text.bottom + 1);
    EXPECT_LT(grey.left, text.left);
    EXPECT_GT(white.right, text.right);
}

TEST_F(Label, TurnedAQuarterTheCaptionRunsUpward)
{
    TRotate3DLabel *label = Make("Tabulo 2");
    label->LabelStyle()->SetAStyle3D(A3dNormal);
    std::unique_ptr<TBitmap> level = Painted(label->Parent());
    const Ink flat = InkOf(*level, Dark);
    label->LabelStyle()->SetAngle(90);
    std::unique_ptr<TBitmap> turned = Painted(label->Parent());
    const Ink up = InkOf(*turned, Dark);
    EXPECT_GT(flat.Width(), 2 * flat.Height());
    EXPECT_GT(up.Height(), 2 * up.Width());
    EXPECT_NEAR(up.Height(), flat.Width(), 3);
    // Centred: the turned caption stays about the middle of the label.
    EXPECT_NEAR((up.top + up.bottom) / 2, 100, 4);
    EXPECT_NEAR((up.left + up.right) / 2, 150, 4);
}

TEST_F(Label, AnOpaqueLabelFillsItsTurnedBoxAndDropsTheLook)
{
    TRotate3DLabel *label = Make("Tabulo");
    label->SetColor(RGB(255, 255, 0));
    label->SetMyTransparent(false);
    label->LabelStyle()->SetAngle(45);
    std::unique_ptr<TBitmap> bitmap = Painted(label->Parent());
    EXPECT_EQ(label->LabelStyle()->AStyle3D(), A3dNormal);
    EXPECT_EQ(bitmap->Canvas()->Pixels(150, 100 - 20), RGB(255, 255, 0))
        << "inside the turned box, off the text";
    EXPECT_EQ(bitmap->Canvas()->Pixels(5, 5), RGB(0, 160, 0)) << "outside it the backdrop shows";
    EXPECT_EQ(InkOf(*bitmap, White).right, -1);
}

TEST_F(Label, ReadFromAResource)
{
    ReadComponentText(form_.get(),
        "object Form: TForm\n"
        "  object BackDrop: TBackdrop\n"
        "    Tag = -1\n"
        "    Direction = bdDown\n"
        "    object ProductLabel: TRotate3DLabel\n"
        "      Tag = -1\n"
        "      Align = alTop\n"
        "      Height = 65\n"
        "      Caption = 'ORVEX Tabulo 2.01'\n"
        "      LabelStyle.Angle = 10\n"
        "      LabelStyle.AShadeLTSet = False\n"
        "      LabelStyle.AStyle3D = A3dShadowed\n"
        "    end\n"
        "  end\n"
        "end\n",
        "form.dfm");
    auto *backdrop = dynamic_cast<TBackdrop *>(form_->FindComponent("BackDrop"));
    auto *label = dynamic_cast<TRotate3DLabel *>(form_->FindComponent("ProductLabel"));
    ASSERT_NE(backdrop, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(CurrentBackdrop(), backdrop);
    EXPECT_EQ(CurrentRotate3DLabel(), label);
    EXPECT_EQ(backdrop->Direction(), bdDown);
    EXPECT_EQ(label->Height(), 65);
    EXPECT_EQ(label->LabelStyle()->Angle(), 10);
    EXPECT_EQ(label->LabelStyle()->AStyle3D(), A3dShadowed);
    EXPECT_TRUE(label->MyTransparent());
}

} // namespace
