#include "testform.h"

#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

class DrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.reset(new TForm(nullptr));
        form->SetBounds(0, 0, 300, 240);
        form->Show();
    }
    std::unique_ptr<TForm, FormDeleter> form;
};

// A 4 x 2 bitmap: red on the left half, blue on the right.
void PaintTwoColours(TBitmap &bitmap)
{
    bitmap.SetSize(4, 2);
    bitmap.Canvas()->Brush()->SetColor(clRed);
    bitmap.Canvas()->FillRect(Rect(0, 0, 2, 2));
    bitmap.Canvas()->Brush()->SetColor(clBlue);
    bitmap.Canvas()->FillRect(Rect(2, 0, 4, 2));
}

TEST_F(DrawingTest, ImagesDrawAtTheCornerCentredOrStretched)
{
    TBitmap bitmap;
    PaintTwoColours(bitmap);
    auto *image = new TImage(form.get());
    image->SetParent(form.get());
    image->SetBounds(10, 10, 40, 20);
    image->Picture()->SetGraphic(&bitmap);
    EXPECT_EQ(PixelOf(image, 0, 0), clRed);
    EXPECT_EQ(PixelOf(image, 3, 1), clBlue);
    image->SetCenter(true);
    EXPECT_EQ(PixelOf(image, 18, 9), clRed);
    EXPECT_EQ(PixelOf(image, 21, 10), clBlue);
    image->SetStretch(true);
    EXPECT_EQ(PixelOf(image, 2, 2), clRed);
    EXPECT_EQ(PixelOf(image, 37, 17), clBlue);
    image->SetAutoSize(true);
    EXPECT_EQ(image->Width(), 4);
    EXPECT_EQ(image->Height(), 2);
}

TEST_F(DrawingTest, CanvasCopiesAndStretchesBitmaps)
{
    TBitmap source;
    PaintTwoColours(source);
    TBitmap target;
    target.SetSize(8, 4);
    target.Canvas()->Draw(1, 1, &source);
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(target.Canvas()->Pixels(4, 2), clBlue);
    EXPECT_EQ(target.Canvas()->Pixels(0, 0), clWhite);
    target.Canvas()->StretchDraw(Rect(0, 0, 8, 4), &source);
    EXPECT_EQ(target.Canvas()->Pixels(3, 3), clRed);
    EXPECT_EQ(target.Canvas()->Pixels(4, 0), clBlue);
    target.Canvas()->CopyRect(Rect(0, 0, 2, 2), source.Canvas(), Rect(2, 0, 4, 2));
    EXPECT_EQ(target.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(target.Canvas()->Pixels(-1, 0), clNone) << "outside the bitmap there is no colour";
}

TEST_F(DrawingTest, EditFormattingRectangleMovesTheText)
{
    auto *edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 100, 24);
    edit->SetBorderStyle(bsNone);
    TRect rect;
    edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect.Left, 0);
    TRect inset = Rect(20, 1, 99, 25);
    edit->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&inset));
    edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect.Left, 20);
    EXPECT_EQ(rect.Right, 99);
    edit->SetText("8");
    int firstInk = -1;
    for (int x = 0; x < 100 && firstInk < 0; ++x)
        for (int y = 0; y < 24; ++y)
            if ((ColorToRGB(PixelOf(edit, x, y)) & 0xFF) < 0x60) {
                firstInk = x;
                break;
            }
    EXPECT_GE(firstInk, 20);
}

TEST_F(DrawingTest, ListBoxInsertAndItemRectMessages)
{
    auto *list = new TListBox(form.get());
    list->SetParent(form.get());
    list->SetBounds(0, 0, 100, 100);
    std::string a = "a", b = "b";
    EXPECT_EQ(
        list->Perform(LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(a.c_str())), 0);
    EXPECT_EQ(list->Perform(LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(b.c_str())), 0);
    EXPECT_EQ(list->Items()->Strings(0), "b");
    EXPECT_EQ(list->Perform(LB_INSERTSTRING, 5, reinterpret_cast<LPARAM>(a.c_str())), LB_ERR);
    TRect rect;
    EXPECT_EQ(list->Perform(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rect)), 0);
    EXPECT_EQ(rect.Top, list->ItemHeight());
    EXPECT_EQ(list->Perform(LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect)), LB_ERR);
    EXPECT_EQ(list->ItemAtPos(Point(5, rect.Top + 1), true), 1);
    EXPECT_EQ(list->ItemAtPos(Point(5, 90), true), -1);
    EXPECT_EQ(list->ItemAtPos(Point(5, 90), false), 2);
}

TEST_F(DrawingTest, RadioMenuItemsCheckOneOfTheirGroup)
{
    auto *menu = new TPopupMenu(form.get());
    std::vector<TMenuItem *> items;
    for (int i = 0; i < 3; ++i) {
        auto *item = new TMenuItem(form.get());
        item->SetRadioItem(true);
        item->SetGroupIndex(i < 2 ? 1 : 2);
        menu->Items()->Add(item);
        items.push_back(item);
    }
    items[2]->SetChecked(true);
    items[0]->SetChecked(true);
    items[1]->SetChecked(true);
    EXPECT_FALSE(items[0]->Checked());
    EXPECT_TRUE(items[1]->Checked());
    EXPECT_TRUE(items[2]->Checked()) << "another group is not touched";
}

TEST_F(DrawingTest, ShortcutTextRoundTrips)
{
    for (TShortCut shortCut : { ShortCut('C', false, true, false), ShortCut(VK_INSERT, true, false, false),
             ShortCut(VK_F1, false, false, false), ShortCut(VK_DELETE, false, true, true) })
        EXPECT_EQ(TextToShortCut(ShortCutToText(shortCut)), shortCut) << ShortCutToText(shortCut);
    EXPECT_EQ(TextToShortCut("Nonsense+Q+"), 0);
}

TEST_F(DrawingTest, StaticTextFitsItsCaption)
{
    auto *text = new TStaticText(form.get());
    text->SetParent(form.get());
    text->SetCaption("Derechos reservados");
    TCanvas canvas;
    canvas.SetFont(text->Font());
    EXPECT_EQ(text->Width(), canvas.TextWidth("Derechos reservados"));
    text->SetBorderStyle(sbsSunken);
    text->SetCaption("Otro");
    EXPECT_EQ(text->Width(), canvas.TextWidth("Otro") + 4);
}

TEST_F(DrawingTest, PositiveFontHeightIncludesTheLeading)
{
    TFont font;
    font.SetHeight(16);
    TCanvas canvas;
    canvas.SetFont(&font);
    int cell = canvas.TextHeight("Ag");
    EXPECT_GE(cell, 15);
    EXPECT_LE(cell, 17);
}

} // namespace
