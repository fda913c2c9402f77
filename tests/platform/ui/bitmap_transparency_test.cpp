// A transparent bitmap draws without the pixels of its transparent colour,
// given or taken from its bottom-left pixel, and keeps that on Assign.
#include "platform/ui/graphics.h"

#include <gtest/gtest.h>

namespace
{

// A 4 x 2 bitmap: olive, then red, in each row; the bottom-left pixel olive.
void Paint(TBitmap &bitmap)
{
    bitmap.SetSize(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            bitmap.Canvas()->SetPixels(x, y, x < 2 ? clOlive : clRed);
}

TColor DrawnOnWhite(TBitmap &flag, int x, int y)
{
    TBitmap target;
    target.SetSize(6, 4);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(TRect { 0, 0, 6, 4 });
    target.Canvas()->Draw(1, 1, &flag);
    return target.Canvas()->Pixels(x, y);
}

TEST(BitmapTransparency, TheTransparentColourIsLeftOut)
{
    TBitmap flag;
    Paint(flag);
    EXPECT_FALSE(flag.Transparent());
    EXPECT_EQ(DrawnOnWhite(flag, 1, 1), clOlive) << "opaque by default";

    flag.SetTransparent(true);
    flag.SetTransparentColor(clOlive);
    EXPECT_EQ(DrawnOnWhite(flag, 1, 1), clWhite);
    EXPECT_EQ(DrawnOnWhite(flag, 2, 2), clWhite);
    EXPECT_EQ(DrawnOnWhite(flag, 3, 1), clRed);
    EXPECT_EQ(DrawnOnWhite(flag, 4, 2), clRed);
}

TEST(BitmapTransparency, WithoutAColourTheBottomLeftPixelIsTaken)
{
    TBitmap flag;
    Paint(flag);
    flag.Canvas()->SetPixels(0, 1, clBlue);
    flag.SetTransparent(true);
    EXPECT_EQ(flag.TransparentColor(), clBlue);
    EXPECT_EQ(DrawnOnWhite(flag, 1, 2), clWhite);
    EXPECT_EQ(DrawnOnWhite(flag, 1, 1), clOlive);

    TBitmap copy;
    copy.Assign(&flag);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(DrawnOnWhite(copy, 1, 2), clWhite);
}

} // namespace
