#include "controls/widgets/qxTrackIcon.h"
#include "controls/widgets/qxriched.h"

#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

#include <gtest/gtest.h>

#include <memory>

static auto *const rulerApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

// A ruler above a rich edit, as the editor lays them out.
class Ruler : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(40, 40, 640, 360);
        edit = new TqxCustomRichEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(0, 40, 600, 260);
        ruler = new TqxRulerPanel(form.get());
        ruler->SetParent(form.get());
        ruler->SetBounds(0, 6, 300, 20);
        form->Show();
        edit->SetText("The first paragraph\r\nThe second one");
        edit->SetSelStart(0);
        ruler->Setup(edit);
        ProcessPendingEvents();
    }
    void Indents(int &offset, int &right, int &start) { edit->GetParagraphIndents(offset, right, start); }
    // Drags the marker dx pixels sideways with the mouse, as a person does.
    void Drag(TqxTrackIcon *marker, int dx)
    {
        MouseDownOn(marker, 5, 5);
        MouseMoveOn(marker, 5 + dx, 5);
        MouseUpOn(marker, 5, 5); // the marker has moved under the pointer
    }
    bool Black(int x, int y) { return PixelOf(ruler, x, y) == clBlack; }

    std::unique_ptr<TForm> form;
    TqxCustomRichEdit *edit = nullptr;
    TqxRulerPanel *ruler = nullptr;
};

TEST_F(Ruler, IsLaidOutOverTheFormWithItsThreeMarkers)
{
    ASSERT_EQ(edit->ScreenPixelsPerInch(), 96);
    EXPECT_EQ(ruler->Height(), 25);
    EXPECT_EQ(ruler->Width(), form->ClientWidth());
    EXPECT_EQ(ruler->DrawRect(), Rect(6, 4, ruler->Width() - 6, 21));
    TqxTrackIcon *left = ruler->LeftIndentMarker(), *right = ruler->RightIndentMarker(), *first = ruler->FirstLineMarker();
    ASSERT_TRUE(left && right && first);
    EXPECT_EQ(left->Width(), 11);
    EXPECT_EQ(left->Height(), 11);
    EXPECT_EQ(left->MinValue(), 1);
    EXPECT_EQ(left->MaxValue(), ruler->Width() - 11);
    EXPECT_EQ(left->Top(), 14) << "below, its point on the scale's bottom edge";
    EXPECT_EQ(first->Top(), 2);
    EXPECT_EQ(left->Owner(), edit) << "the markers belong to the edit";
    EXPECT_EQ(left->Parent(), ruler);
}

TEST_F(Ruler, MarkersFollowTheParagraphInPixelsOfTheScreen)
{
    // Start 1/2 inch, first line 1/4 inch further in, right 1 inch.
    edit->SetParagraph(4 | 8 | 16, "", 0, 0, 0, 0, nullptr, 0, 720, 1440, -360, false);
    for (TqxMeasurementUnits units : { muInches, muCentimeters }) {
        edit->SetMeasurementUnits(units);
        ruler->PlaceMarkers();
        EXPECT_EQ(ruler->FirstLineMarker()->Left(), 6 + 48 - 5) << "at the start indent";
        EXPECT_EQ(ruler->LeftIndentMarker()->Left(), 6 + 48 - 24 - 5) << "at start indent plus offset";
        EXPECT_EQ(ruler->RightIndentMarker()->Left(), ruler->Width() - 96 - 11);
    }
    EXPECT_EQ(ruler->PixelsToTwips(96), 1440);
    EXPECT_EQ(ruler->TwipsToPixels(567), 37) << "pixels are cut down, never rounded";
}

TEST_F(Ruler, TheScaleHasEightTicksAnInchOrFourACentimetre)
{
    // Inches: 96 pixels; a short tick every eighth, a longer one at the half.
    EXPECT_DOUBLE_EQ(ruler->PixelsPerUnit(), 96);
    EXPECT_TRUE(Black(6 + 12, 13)) << "an eighth";
    EXPECT_FALSE(Black(6 + 12, 15)) << "short ticks stay short";
    EXPECT_TRUE(Black(6 + 48, 15)) << "the half is longer";
    EXPECT_FALSE(Black(6 + 15, 13));
    EXPECT_TRUE(Black(6 + 96 + 12, 13)) << "the next inch too";

    edit->SetMeasurementUnits(muCentimeters);
    ruler->Invalidate();
    ProcessPendingEvents();
    EXPECT_NEAR(ruler->PixelsPerUnit(), 37.84, 0.01);
    EXPECT_TRUE(Black(6 + 9, 13)) << "a quarter centimetre";
    EXPECT_TRUE(Black(6 + 18, 15)) << "the half";
    EXPECT_TRUE(Black(6 + 28, 13)) << "three quarters";
    EXPECT_FALSE(Black(6 + 12, 13)) << "no eighths of an inch";
}

TEST_F(Ruler, DraggingTheFirstLineMarkerIndentsTheFirstLineOnATick)
{
    TqxTrackIcon *first = ruler->FirstLineMarker();
    ruler->PlaceMarkers();
    ASSERT_EQ(first->Left(), 1);
    Drag(first, 27); // lands between the second and third eighths, cut down to the second
    EXPECT_EQ(first->Left(), 25);
    int offset, right, start;
    Indents(offset, right, start);
    EXPECT_EQ(start, 360) << "a quarter inch";
    EXPECT_EQ(offset, -360) << "the other lines stay where they were";
    EXPECT_EQ(ruler->LeftIndentMarker()->Left(), 1);
}

TEST_F(Ruler, DraggingTheLeftMarkerInCentimetresSnapsToQuarters)
{
    edit->SetMeasurementUnits(muCentimeters);
    ruler->PlaceMarkers();
    Drag(ruler->LeftIndentMarker(), 40);
    EXPECT_EQ(ruler->LeftIndentMarker()->Left(), 38) << "one centimetre: 37 pixels in";
    int offset, right, start;
    Indents(offset, right, start);
    EXPECT_EQ(start, 0) << "the first line stays";
    EXPECT_EQ(offset, 555) << "37 pixels of 96 an inch";
}

TEST_F(Ruler, TheLeftMarkerStopsFortyEightPixelsShortOfTheRightOne)
{
    ruler->PlaceMarkers();
    Drag(ruler->LeftIndentMarker(), 2000);
    EXPECT_EQ(ruler->LeftIndentMarker()->Left(), ruler->RightIndentMarker()->Left() - 48);
    Drag(ruler->RightIndentMarker(), -2000);
    EXPECT_EQ(ruler->RightIndentMarker()->Left(), ruler->LeftIndentMarker()->Left() + 48)
        << "and the right one keeps as far from the left ones";
}

TEST_F(Ruler, DraggingTheRightMarkerSetsTheRightIndent)
{
    ruler->PlaceMarkers();
    int before = ruler->RightIndentMarker()->Left();
    Drag(ruler->RightIndentMarker(), -96);
    EXPECT_EQ(ruler->RightIndentMarker()->Left(), 529) << "on the tick under its centre";
    EXPECT_LT(ruler->RightIndentMarker()->Left(), before);
    int offset, right, start;
    Indents(offset, right, start);
    EXPECT_EQ(right, (600 - 3 - 4 - 529 + 5) * 1440 / 96);
    EXPECT_EQ(start, 0);
}

TEST_F(Ruler, AMarkerLetGoWhereItWasPressedChangesNothing)
{
    edit->SetParagraph(4 | 16, "", 0, 0, 0, 0, nullptr, 0, 300, 0, 100, false); // off the ticks
    ruler->PlaceMarkers();
    int ends = 0;
    TqxTrackIcon *left = ruler->LeftIndentMarker();
    TNotifyEvent apply = left->OnEndDrag;
    left->OnEndDrag = [&](TObject *sender) { ++ends, apply(sender); };
    int was = left->Left();
    MouseDownOn(left, 5, 5);
    MouseMoveOn(left, 5, 5);
    MouseUpOn(left, 5, 5);
    EXPECT_EQ(ends, 0) << "no end of a drag without a move";
    EXPECT_EQ(left->Left(), was);
    int offset, right, start;
    Indents(offset, right, start);
    EXPECT_EQ(start, 300) << "the paragraph keeps its indents, even off the ticks";
    EXPECT_EQ(offset, 100);
    Drag(left, 3);
    EXPECT_EQ(ends, 1);
}

TEST_F(Ruler, Screenshot)
{
    edit->SetText("Indented paragraph with a first line further in, over the width of the ruler and beyond it.\r\n"
                  "Second paragraph.");
    edit->SelectAll();
    edit->SetParagraph(4 | 8 | 16, "", 0, 0, 0, 0, nullptr, 0, 720, 1440, -360, false);
    edit->SetSelStart(0);
    ruler->PlaceMarkers();
    form->SetCaption("Ruler");
    EXPECT_GT(SaveScreenshot(form.get(), ORVEX_BINARY_DIR "/screenshots/rich-ruler.png"), 0);
    edit->SetMeasurementUnits(muCentimeters);
    ruler->Invalidate();
    EXPECT_GT(SaveScreenshot(form.get(), ORVEX_BINARY_DIR "/screenshots/rich-ruler-cm.png"), 0);
}

} // namespace
