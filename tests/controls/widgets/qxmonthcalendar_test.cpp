#include "controls/widgets/qxmonthcalendar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

TDateTime D(int y, int m, int d) { return EncodeDate(static_cast<uint16_t>(y), static_cast<uint16_t>(m), static_cast<uint16_t>(d)); }

class MonthCalendar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetClock([] { return D(2026, 12, 9) + 0.5; });
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 600, 400);
        calendar = new TqxMonthCalendar(form.get());
        calendar->SetParent(form.get());
        calendar->SetLeft(8);
        calendar->SetTop(8);
        calendar->SetFirstDayOfWeek(qxdowMonday);
        calendar->OnChange = [this](TObject *) { ++changes; };
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override
    {
        form.reset();
        SetClock(nullptr);
    }

    // A point of the calendar whose hit-test code is code.
    TPoint Find(uint32_t code, int day = 0)
    {
        for (int y = 0; y < calendar->Height(); y += 2)
            for (int x = 0; x < calendar->Width(); x += 2) {
                MCHITTESTINFO info;
                info.pt = { x, y };
                calendar->Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
                if (info.uHit == code && (day == 0 || info.st.wDay == day))
                    return { x, y };
            }
        ADD_FAILURE() << "no point with hit code " << code;
        return { -1, -1 };
    }

    void Click(TPoint p) { ClickControl(calendar, p.X, p.Y); }

    // Runs inspect while the next popup menu is open, then closes it.
    void WhilePopupOpen(std::function<void(QMenu *)> inspect)
    {
        QueueCall([inspect] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            inspect(menu);
            if (menu->isVisible())
                menu->close();
        });
    }

    TFormatSettingsScope spanish { SpanishFormatSettings() };
    std::unique_ptr<TForm> form;
    TqxMonthCalendar *calendar = nullptr;
    int changes = 0;
};

// ---- Limits and the value

TEST_F(MonthCalendar, DateSettersRespectTheLimits)
{
    calendar->SetMinDate(D(2000, 1, 10));
    calendar->SetMaxDate(D(2000, 3, 31));
    calendar->SetDate(D(2000, 2, 1));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2000, 2, 1));
    try {
        calendar->SetDate(D(2000, 4, 1));
        FAIL() << "no error past the maximum";
    } catch (const EDateTimeError &e) {
        EXPECT_STREQ(e.what(), "Date exceeds maximum of 31/03/2000");
    }
    try {
        calendar->SetDate(D(2000, 1, 9));
        FAIL() << "no error before the minimum";
    } catch (const EDateTimeError &e) {
        EXPECT_STREQ(e.what(), "Date is less than minimum of 10/01/2000");
    }
    EXPECT_EQ(std::trunc(calendar->Date()), D(2000, 2, 1));
    EXPECT_THROW(calendar->SetMaxDate(D(2000, 1, 1)), EDateTimeError);
    EXPECT_THROW(calendar->SetMinDate(D(2000, 4, 1)), EDateTimeError);
}

TEST_F(MonthCalendar, DateKeepsTheTimeOfDayAndTimeKeepsTheDate)
{
    calendar->SetDate(D(2001, 5, 5));
    EXPECT_DOUBLE_EQ(calendar->Date(), D(2001, 5, 5) + 0.5);
    calendar->SetTime(0.25);
    EXPECT_DOUBLE_EQ(calendar->Time(), D(2001, 5, 5) + 0.25);
}

TEST_F(MonthCalendar, ClearedLimitsReachTheControl)
{
    calendar->SetMinDate(D(2000, 1, 10));
    calendar->SetMinDate(0);
    calendar->SetDate(D(2000, 1, 5));
    SYSTEMTIME st;
    calendar->Perform(MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
    EXPECT_EQ(st.wDay, 5) << "the control forgot the old minimum";
}

TEST_F(MonthCalendar, PageDownCutsTheDayToTheMonth)
{
    calendar->SetDate(D(2001, 1, 31));
    PressKey(calendar, VK_NEXT);
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 2, 28));
    calendar->SetDate(D(2000, 1, 31));
    PressKey(calendar, VK_NEXT);
    EXPECT_EQ(std::trunc(calendar->Date()), D(2000, 2, 29));
    PressKey(calendar, VK_PRIOR);
    EXPECT_EQ(std::trunc(calendar->Date()), D(2000, 1, 29));
    PressKey(calendar, VK_DOWN);
    EXPECT_EQ(std::trunc(calendar->Date()), D(2000, 2, 5));
    EXPECT_EQ(changes, 4);
}

TEST_F(MonthCalendar, ArrowPastALimitRaises)
{
    calendar->SetMaxDate(D(2000, 3, 31));
    calendar->SetDate(D(2000, 3, 31));
    ScriptedMessageBoxes boxes;
    PressKey(calendar, VK_RIGHT);
    EXPECT_EQ(std::trunc(calendar->Date()), D(2000, 3, 31));
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Date exceeds maximum of 31/03/2000.");
}

// ---- The mouse

TEST_F(MonthCalendar, ClickingADaySelectsIt)
{
    calendar->SetDate(D(2001, 1, 15));
    Click(Find(MCHT_CALENDARDATE, 20));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 1, 20));
    EXPECT_EQ(changes, 1);
}

TEST_F(MonthCalendar, ADayOutsideTheLimitsIsNeverSelected)
{
    calendar->SetDate(D(2001, 1, 15));
    calendar->SetMaxDate(D(2001, 1, 18));
    Click(Find(MCHT_CALENDARDATE, 25));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 1, 18));
}

TEST_F(MonthCalendar, NextButtonStopsAtTheMaximumWithABeep)
{
    BeepCounter beeps;
    calendar->SetDate(D(2001, 1, 15));
    calendar->SetMaxDate(D(2001, 2, 10));
    Click(Find(MCHT_TITLEBTNNEXT));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 2, 10));
    EXPECT_EQ(beeps.Count(), 1);
    calendar->SetMaxDate(0);
    Click(Find(MCHT_TITLEBTNNEXT));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 3, 10));
}

TEST_F(MonthCalendar, MouseEventsTellTheDateUnderThePointer)
{
    calendar->SetDate(D(2001, 1, 15));
    std::vector<std::tuple<int, int, int>> downs;
    calendar->OnMouseDown = [&](TObject *, TMouseButton, TShiftState, int, int, int m, int d, int y) { downs.emplace_back(y, m, d); };
    Click(Find(MCHT_CALENDARDATE, 12));
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0], std::make_tuple(2001, 1, 12));
}

TEST_F(MonthCalendar, AMultiSelectDragChangesNothingUntilRelease)
{
    calendar->SetOptions(TqxMonthOptions { mdoMultiSelect });
    calendar->SetDate(D(2001, 1, 15));
    changes = 0;
    const TPoint from = Find(MCHT_CALENDARDATE, 15), to = Find(MCHT_CALENDARDATE, 17);
    MouseDownOn(calendar, from.X, from.Y);
    calendar->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(to.X, to.Y));
    EXPECT_EQ(changes, 0);
    MouseUpOn(calendar, to.X, to.Y);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(calendar->SelStart(), D(2001, 1, 15));
    EXPECT_EQ(calendar->SelEnd(), D(2001, 1, 17));
}

TEST_F(MonthCalendar, AShiftArrowRangeStopsAtMaxSelectCount)
{
    calendar->SetOptions(TqxMonthOptions { mdoMultiSelect });
    calendar->SetMaxSelectCount(3);
    calendar->SetDate(D(2001, 1, 15));
    calendar->SetFocus();
    for (int k = 0; k < 4; ++k)
        PressKey(calendar, VK_RIGHT, 0, TShiftState { ssShift });
    EXPECT_EQ(calendar->SelStart(), D(2001, 1, 15));
    EXPECT_EQ(calendar->SelEnd(), D(2001, 1, 17)) << "three days at most";
    SYSTEMTIME shown[2];
    calendar->Perform(MCM_GETSELRANGE, 0, reinterpret_cast<LPARAM>(shown));
    EXPECT_EQ(shown[1].wDay, 17);
}

// ---- Bold days

TEST_F(MonthCalendar, AsksForTheBoldDaysOfEveryMonthThatShowsDays)
{
    std::vector<std::pair<int, int>> months;
    int days = 0;
    calendar->OnCalcBoldDay = [&](TObject *, TDateTime, int m, int d, int y, bool &accept) {
        if (d == 1)
            months.emplace_back(y, m);
        ++days;
        accept = d == 24;
    };
    calendar->SetDate(D(1999, 12, 15));
    calendar->SetOptions(TqxMonthOptions { mdoDayState });
    calendar->Repaint();
    ProcessPendingEvents();
    ASSERT_EQ(months.size(), 3u);
    EXPECT_EQ(months[0], std::make_pair(1999, 11));
    EXPECT_EQ(months[1], std::make_pair(1999, 12));
    EXPECT_EQ(months[2], std::make_pair(2000, 1));
    EXPECT_EQ(days, 30 + 31 + 31);
}

// ---- The title popups

TEST_F(MonthCalendar, YearPopupDisablesYearsPastTheLimit)
{
    calendar->SetMaxDate(D(2000, 3, 31));
    calendar->SetDate(D(2000, 1, 31));
    bool seen = false;
    WhilePopupOpen([&](QMenu *) {
        seen = true;
        TMenuItem *items = calendar->YearPopup()->Items();
        ASSERT_EQ(items->Count(), 20);
        EXPECT_EQ(items->Items(10)->Caption(), "2000");
        EXPECT_TRUE(items->Items(10)->Enabled());
        EXPECT_TRUE(items->Items(10)->Checked());
        EXPECT_FALSE(items->Items(11)->Enabled());
        EXPECT_EQ(items->Items(10)->Break(), mbBarBreak) << "each column holds ten years";
    });
    Click(Find(MCHT_TITLEYEAR));
    EXPECT_TRUE(seen);
}

TEST_F(MonthCalendar, AClickOnTheTitleYearWhileItsPopupShowsOnlyClosesIt)
{
    calendar->SetDate(D(2001, 1, 15));
    const TPoint year = Find(MCHT_TITLEYEAR);
    int opened = 0;
    WhilePopupOpen([&](QMenu *) { ++opened; });
    Click(year);
    EXPECT_EQ(opened, 1);
    Click(year); // arrives as the click that closed the popup
    EXPECT_EQ(opened, 1);
    WhilePopupOpen([&](QMenu *) { ++opened; });
    Click(year);
    EXPECT_EQ(opened, 2);
}

TEST_F(MonthCalendar, ChoosingAYearMovesTheDateAndCutsTheDay)
{
    calendar->SetDate(D(2000, 2, 29));
    WhilePopupOpen([](QMenu *menu) {
        for (QToolButton *button : menu->findChildren<QToolButton *>())
            if (button->text() == "2001")
                button->click();
    });
    Click(Find(MCHT_TITLEYEAR));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 2, 28));
    EXPECT_EQ(changes, 1);
}

TEST_F(MonthCalendar, ChoosingAMonthFromTheMonthPopup)
{
    calendar->SetDate(D(2001, 1, 31));
    WhilePopupOpen([](QMenu *menu) {
        for (QAction *action : menu->actions())
            if (action->text() == "abril")
                action->trigger();
    });
    Click(Find(MCHT_TITLEMONTH));
    EXPECT_EQ(std::trunc(calendar->Date()), D(2001, 4, 30));
}

TEST_F(MonthCalendar, TheYearPromptNamesTheAllowedYearsAndCancelLeavesIt)
{
    calendar->PopupYearOptions()->SetShowEditYear(true);
    calendar->SetMaxDate(D(2000, 3, 31));
    calendar->SetDate(D(1999, 4, 30));
    std::string caption;
    WhilePopupOpen([&](QMenu *menu) {
        QueueCall([&] {
            QWidget *box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle().toStdString();
            for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
                if (button->text() == "Cancel")
                    button->click();
        });
        for (QToolButton *button : menu->findChildren<QToolButton *>())
            if (button->text() == "Edit Year")
                button->click();
    });
    Click(Find(MCHT_TITLEYEAR));
    EXPECT_EQ(caption, "Enter Valid Year (<=1999)") << "30 April 2000 would be past the limit";
    EXPECT_EQ(std::trunc(calendar->Date()), D(1999, 4, 30));
}

TEST_F(MonthCalendar, TheYearPromptAsksAgainUntilTheYearIsAllowed)
{
    calendar->PopupYearOptions()->SetShowEditYear(true);
    calendar->SetMinDate(D(1995, 1, 1));
    calendar->SetMaxDate(D(2005, 12, 31));
    calendar->SetDate(D(2000, 6, 15));
    std::vector<std::string> captions;
    // Each box gets the next answer, queued by the one before it.
    std::function<void(std::vector<std::string>)> answer = [&](std::vector<std::string> texts) {
        QueueCall([&, texts] {
            QWidget *box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            captions.push_back(box->windowTitle().toStdString());
            if (texts.size() > 1)
                answer({ texts.begin() + 1, texts.end() });
            box->findChild<QLineEdit *>()->setText(QString::fromStdString(texts.front()));
            for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
                if (button->text() == "OK")
                    button->click();
        });
    };
    WhilePopupOpen([&](QMenu *menu) {
        answer({ "2010", "2003" });
        for (QToolButton *button : menu->findChildren<QToolButton *>())
            if (button->text() == "Edit Year")
                button->click();
    });
    Click(Find(MCHT_TITLEYEAR));
    ASSERT_EQ(captions.size(), 2u);
    EXPECT_EQ(captions[0], "Enter Valid Year (1995-2005)");
    EXPECT_EQ(std::trunc(calendar->Date()), D(2003, 6, 15));
}

// ---- What it looks like

TEST_F(MonthCalendar, TheTodayLineSpeaksTheLanguageOfTheMonthNames)
{
    calendar->SetDate(D(2026, 12, 14));
    const auto grab = [this](const char *locale) {
        setenv("LC_ALL", locale, 1);
        calendar->Repaint();
        ProcessPendingEvents();
        TBitmap picture;
        GrabControl(calendar, picture);
        std::vector<TColor> pixels;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                pixels.push_back(picture.Canvas()->Pixels(x, y));
        return pixels;
    };
    const char *saved = std::getenv("LC_ALL");
    const std::string before = saved ? saved : "";
    for (const TFormatSettings &settings : { SpanishFormatSettings(), EnglishFormatSettings() }) {
        TFormatSettingsScope language(settings);
        EXPECT_TRUE(grab("C.UTF-8") == grab("es_ES.UTF-8")) << settings.LongMonthNames[0];
    }
    if (saved)
        setenv("LC_ALL", before.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST_F(MonthCalendar, ScreenshotOfTwoMonthsWithARangeAndBoldDays)
{
    calendar->SetOptions(TqxMonthOptions { mdoDayState, mdoMultiSelect, mdoWeekNumbers });
    calendar->OnCalcBoldDay = [](TObject *, TDateTime, int, int d, int, bool &accept) { accept = d == 6 || d == 25; };
    calendar->SetDate(D(2026, 12, 14));
    calendar->SetWidth(calendar->Width() * 2 + 10);
    calendar->SetSelEnd(D(2026, 12, 18));
    EXPECT_EQ(calendar->SelStart(), D(2026, 12, 14));
    form->SetClientWidth(calendar->Width() + 16);
    form->SetClientHeight(calendar->Height() + 16);
    form->SetCaption("Calendario");
    ProcessPendingEvents();
    SYSTEMTIME range[2];
    EXPECT_EQ(calendar->Perform(MCM_GETMONTHRANGE, GMR_VISIBLE, reinterpret_cast<LPARAM>(range)), 2);
    EXPECT_GT(SaveScreenshot(form.get(), ORVEX_BINARY_DIR "/screenshots/month-calendar.png"), 0);
}

} // namespace
