// The progress bar: its range keeps the position inside, stepping wraps
// as the native bar does, a form resource configures it, and the painted
// bar fills as far as the position says.
#include "platform/ui/comctrls.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/classes/filer.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"

namespace
{

TEST(ProgressBar, PositionStaysInsideItsRange)
{
    TProgressBar bar(nullptr);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetPosition(-3);
    EXPECT_EQ(bar.Position(), 0);
    bar.SetPosition(80);
    bar.SetMax(50);
    EXPECT_EQ(bar.Position(), 50) << "a smaller range pulls the position in";
    bar.SetMin(70);
    EXPECT_EQ(bar.Max(), 70) << "the range never turns over";
    EXPECT_EQ(bar.Position(), 70);
}

TEST(ProgressBar, StepItWrapsPastTheEnd)
{
    TProgressBar bar(nullptr);
    bar.SetPosition(85);
    bar.StepIt();
    EXPECT_EQ(bar.Position(), 95);
    bar.StepIt();
    EXPECT_EQ(bar.Position(), 5);
    bar.StepBy(200);
    EXPECT_EQ(bar.Position(), 100) << "StepBy stops at the end";
}

TEST(ProgressBar, PaintsAsFarAsThePosition)
{
    auto form = std::make_unique<TForm>(nullptr);
    ReadComponentText(form.get(),
        "object Form1: TForm\n"
        "  ClientWidth = 240\n  ClientHeight = 60\n"
        "  object Bar: TProgressBar\n    Left = 10\n    Top = 10\n    Width = 200\n    Height = 18\n"
        "    Max = 200\n    Position = 50\n  end\n"
        "end\n",
        "progress.dfm");
    auto *bar = static_cast<TProgressBar *>(form->FindComponent("Bar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Max(), 200);
    EXPECT_EQ(bar->Position(), 50);
    form->Show();
    // A quarter full: the filled part differs from the empty end.
    const TColor filled = PixelOf(bar, 20, 9);
    const TColor empty = PixelOf(bar, 180, 9);
    EXPECT_NE(filled, empty);
    bar->SetPosition(200);
    EXPECT_EQ(PixelOf(bar, 180, 9), filled);
    bar->SetPosition(0);
    EXPECT_NE(PixelOf(bar, 20, 9), filled);
}

} // namespace
