#include "platform/ui/graphics.h"
#include "platform/ui/graphics_p.h"

#include <gtest/gtest.h>

#include <QFontInfo>

#include <filesystem>

namespace
{

// A white bitmap to draw on, in the classic colours.
struct Sheet {
    TBitmap bitmap;
    TCanvas *canvas;
    Sheet(int width, int height)
        : canvas((bitmap.SetSize(width, height), bitmap.Canvas()))
    {
    }
    TColor At(int x, int y) const { return canvas->Pixels(x, y); }
};

TEST(Colors, SystemColorsMapToTheClassicScheme)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), clSilver);
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(ColorToRGB(clHighlight), clNavy);
    EXPECT_EQ(ColorToRGB(clBtnShadow), clGray);
    EXPECT_EQ(ColorToRGB(clBtnHighlight), clWhite);
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(ColorToRGB(clSystemColor | 200), clBlack) << "an unknown system colour is black, not garbage";

    TColor color = 0;
    EXPECT_TRUE(IdentToColor("clbtnface", color));
    EXPECT_EQ(color, clBtnFace);
    EXPECT_FALSE(IdentToColor("clNoSuchColour", color));
    EXPECT_EQ(ColorToString(clSilver), "clSilver");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
}

TEST(Fonts, HeightAndSizeConvertAtNinetySixPixelsPerInch)
{
    TFont font;
    EXPECT_EQ(font.Name(), "MS Sans Serif");
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Size(), 8);
    font.SetSize(10);
    EXPECT_EQ(font.Height(), -13);
    font.SetHeight(-16);
    EXPECT_EQ(font.Size(), 12);

    int changes = 0;
    font.OnChange = [&](TObject *) { ++changes; };
    font.SetStyle(TFontStyles { fsBold });
    font.SetStyle(TFontStyles { fsBold });
    font.SetName("");
    EXPECT_EQ(changes, 1) << "an unchanged value or an empty name is no change";

    TFont copy;
    copy.Assign(&font);
    EXPECT_TRUE(copy == font);
}

TEST(Fonts, OldFaceNamesResolveToAnInstalledFaceAtTheResourceHeight)
{
    TFont font;
    font.SetName("MS Sans Serif");
    font.SetHeight(-13);
    font.SetStyle(TFontStyles { fsBold });
    QFont qfont = TFontAccess::ToQFont(font);
    QFontInfo info(qfont);
    EXPECT_FALSE(info.family().isEmpty());
    EXPECT_EQ(info.pixelSize(), 13);
    EXPECT_TRUE(info.bold());
}

TEST(Canvas, ShapesKeepTheirRightAndBottomEdgesOutside)
{
    Sheet sheet(20, 20);
    TCanvas *c = sheet.canvas;
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 20, 20));
    c->Brush()->SetColor(clRed);
    c->FillRect(Rect(2, 2, 5, 5));
    EXPECT_EQ(sheet.At(2, 2), clRed);
    EXPECT_EQ(sheet.At(4, 4), clRed);
    EXPECT_EQ(sheet.At(5, 5), clWhite);
    EXPECT_EQ(sheet.At(1, 1), clWhite);

    c->Pen()->SetColor(clBlue);
    c->MoveTo(0, 10);
    c->LineTo(10, 10);
    EXPECT_EQ(sheet.At(0, 10), clBlue);
    EXPECT_EQ(sheet.At(9, 10), clBlue);
    EXPECT_EQ(sheet.At(10, 10), clWhite) << "the end point is not drawn";
    EXPECT_EQ(c->PenPos(), Point(10, 10));
    c->LineTo(10, 15);
    EXPECT_EQ(sheet.At(10, 10), clBlue);
    EXPECT_EQ(sheet.At(10, 14), clBlue);
    EXPECT_EQ(sheet.At(10, 15), clWhite);

    c->Brush()->SetColor(clLime);
    c->Rectangle(12, 0, 18, 6);
    EXPECT_EQ(sheet.At(12, 0), clBlue);
    EXPECT_EQ(sheet.At(17, 5), clBlue);
    EXPECT_EQ(sheet.At(14, 2), clLime);
    EXPECT_EQ(sheet.At(18, 6), clWhite);

    c->Brush()->SetColor(clBlack);
    c->FrameRect(Rect(0, 16, 4, 20));
    EXPECT_EQ(sheet.At(0, 16), clBlack);
    EXPECT_EQ(sheet.At(3, 19), clBlack);
    EXPECT_EQ(sheet.At(1, 17), clWhite);
}

TEST(Canvas, TextOutFillsItsCellWithAnOpaqueBrush)
{
    Sheet sheet(60, 20);
    TCanvas *c = sheet.canvas;
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 60, 20));
    c->Font()->SetColor(clBlack);
    c->Brush()->SetColor(clYellow);
    int width = c->TextWidth("-");
    ASSERT_GT(width, 0);
    EXPECT_EQ(c->TextWidth("----"), 4 * width);
    c->TextOut(2, 2, "-");
    EXPECT_EQ(sheet.At(2, 2), clYellow);
    EXPECT_EQ(c->PenPos(), Point(2 + width, 2));
    c->Brush()->SetStyle(bsClear);
    c->TextOut(30, 2, "-");
    EXPECT_EQ(sheet.At(30, 2), clWhite) << "a clear brush leaves the background";
}

TEST(Canvas, DrawTextMeasuresAndAligns)
{
    Sheet sheet(100, 40);
    TCanvas *c = sheet.canvas;
    TRect rect = Rect(0, 0, 0, 0);
    DrawText(c, "&Archivo", rect, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(rect.Width(), c->TextWidth("Archivo")) << "the accelerator mark takes no room";
    rect = Rect(0, 0, 0, 0);
    DrawText(c, "a&&b", rect, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(rect.Width(), c->TextWidth("a&b"));
    rect = Rect(0, 0, 0, 0);
    DrawText(c, "a&b", rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(rect.Width(), c->TextWidth("a&b"));
    TRect wrap = Rect(0, 0, c->TextWidth("uno dos"), 0);
    int oneLine = DrawText(c, "uno", wrap, DT_CALCRECT | DT_WORDBREAK);
    wrap = Rect(0, 0, c->TextWidth("uno dos"), 0);
    int lines = DrawText(c, "uno dos tres cuatro", wrap, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GE(lines, 2 * oneLine);
}

TEST(Canvas, WordBreakEndsLinesOnlyAtBlanks)
{
    Sheet sheet(200, 80);
    TCanvas *c = sheet.canvas;
    TRect wide = Rect(0, 0, 200, 0);
    const int line = DrawText(c, "1", wide, DT_CALCRECT | DT_WORDBREAK);
    // A word wider than the line is not split, at its punctuation or anywhere.
    for (const char *word : { "1,234,700.00", "abc/def-ghi(jkl)", "abcdefghijklmnopqrstuvwxyz" }) {
        TRect narrow = Rect(0, 0, c->TextWidth("1,2"), 0);
        EXPECT_EQ(DrawText(c, word, narrow, DT_CALCRECT | DT_WORDBREAK), line) << word;
        EXPECT_NEAR(narrow.Width(), c->TextWidth(word), 1) << word;
    }
    TRect two = Rect(0, 0, c->TextWidth("uno dos"), 0);
    const int twoLines = DrawText(c, "uno dos tres", two, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GT(twoLines, line);
    EXPECT_NEAR(two.Width(), c->TextWidth("uno dos"), 1) << "the blank at the break takes no room";
    TRect broken = Rect(0, 0, 200, 0);
    EXPECT_EQ(DrawText(c, "uno\r\ndos", broken, DT_CALCRECT | DT_WORDBREAK), twoLines) << "a line break ends a line";
    // Drawn: the number stays on the first line, nothing below it.
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 200, 80));
    TRect cell = Rect(0, 0, c->TextWidth("1,2"), 80);
    DrawText(c, "1,234,700.00", cell, DT_WORDBREAK);
    int inkAbove = 0, inkBelow = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x)
            if (sheet.At(x, y) != clWhite)
                ++(y < line ? inkAbove : inkBelow);
    EXPECT_GT(inkAbove, 0);
    EXPECT_EQ(inkBelow, 0);
}

TEST(Canvas, Frame3DDrawsTopLeftAndBottomRightColours)
{
    Sheet sheet(10, 10);
    TCanvas *c = sheet.canvas;
    c->Brush()->SetColor(clSilver);
    c->FillRect(Rect(0, 0, 10, 10));
    TRect rect = Rect(0, 0, 10, 10);
    Frame3D(c, rect, clWhite, clGray, 1);
    EXPECT_EQ(rect, Rect(1, 1, 9, 9));
    EXPECT_EQ(sheet.At(0, 0), clWhite);
    EXPECT_EQ(sheet.At(0, 8), clWhite);
    EXPECT_EQ(sheet.At(9, 0), clGray);
    EXPECT_EQ(sheet.At(9, 9), clGray);
    EXPECT_EQ(sheet.At(0, 9), clGray);
    EXPECT_EQ(sheet.At(5, 5), clSilver);
}

TEST(Pictures, LoadSaveAndBadFiles)
{
    std::string dir = std::string(ORVEX_BINARY_DIR) + "/test-pictures";
    std::filesystem::create_directories(dir);
    TBitmap bitmap;
    bitmap.SetSize(8, 6);
    bitmap.Canvas()->Brush()->SetColor(clRed);
    bitmap.Canvas()->FillRect(Rect(0, 0, 8, 6));
    bitmap.SaveToFile(dir + "/red.png");
    bitmap.SaveToFile(dir + "/red.ico");

    TPicture picture;
    picture.LoadFromFile(dir + "/red.png");
    ASSERT_NE(dynamic_cast<TBitmap *>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 8);
    EXPECT_EQ(picture.Height(), 6);
    picture.LoadFromFile(dir + "/red.ico");
    ASSERT_NE(dynamic_cast<TIcon *>(picture.Graphic()), nullptr);
    EXPECT_FALSE(picture.Graphic()->Empty());

    std::filesystem::path bad = dir + "/bad.png";
    FILE *file = fopen(bad.c_str(), "wb");
    fputs("not an image", file);
    fclose(file);
    EXPECT_THROW(picture.LoadFromFile(bad.string()), EInvalidGraphic);
    EXPECT_NE(dynamic_cast<TIcon *>(picture.Graphic()), nullptr) << "a failed load keeps the old picture";
    EXPECT_THROW(picture.LoadFromFile(dir + "/missing.bmp"), EInvalidGraphic);
}

} // namespace

namespace
{

TEST(Canvas, DrawTextPaintsOnABitmapToo)
{
    Sheet sheet(40, 20);
    TCanvas *c = sheet.canvas;
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 40, 20));
    c->Font()->SetColor(clBlack);
    TRect rect = Rect(0, 0, 40, 20);
    DrawText(c, "W", rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    int ink = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 20; ++y)
            ink += (sheet.At(x, y) & 0xFF) < 0x60;
    EXPECT_GT(ink, 5);
    EXPECT_EQ(sheet.At(1, 1), clWhite) << "centred text leaves the corner alone";
}

} // namespace
