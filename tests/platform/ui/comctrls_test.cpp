#include "platform/ui/comctrls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include <memory>
#include <vector>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/testing.h"

namespace
{

TDateTime D(int y, int m, int d) { return EncodeDate(static_cast<uint16_t>(y), static_cast<uint16_t>(m), static_cast<uint16_t>(d)); }

// A bare control on the common controls' calendar window, speaking to it
// only through its messages, as any control that wraps it does.
class TBareCalendar : public TWinControl
{
public:
    explicit TBareCalendar(TComponent *owner, uint32_t style)
        : TWinControl(owner)
        , style_(style)
    {
        CheckCommonControl(ICC_DATE_CLASSES);
    }
    std::vector<int32_t> notifications;
    std::vector<NMSELCHANGE> selections;
    NMDAYSTATE lastDayState;
    std::vector<MONTHDAYSTATE> bold;

    LRESULT Send(uint32_t msg, WPARAM w, const void *l) { return Perform(msg, w, reinterpret_cast<LPARAM>(l)); }

protected:
    void CreateParams(TCreateParams &params) override
    {
        TWinControl::CreateParams(params);
        params.WinClassName = "SysMonthCal32";
        params.Style |= style_;
    }
    void Dispatch(TMessage &message) override
    {
        if (message.Msg != CN_NOTIFY)
            return TWinControl::Dispatch(message);
        auto *header = reinterpret_cast<NMHDR *>(message.LParam);
        notifications.push_back(header->code);
        if (header->code == MCN_SELCHANGE)
            selections.push_back(*reinterpret_cast<NMSELCHANGE *>(header));
        if (header->code == MCN_GETDAYSTATE) {
            auto *nm = reinterpret_cast<NMDAYSTATE *>(header);
            lastDayState = *nm;
            bold.assign(static_cast<size_t>(nm->cDayState), 1u << 9); // the 10th of every month
            nm->prgDayState = bold.data();
        }
    }

private:
    uint32_t style_;
};

class CalendarWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetClock([] { return D(2026, 12, 9) + 0.5; });
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 50, 500, 400);
        form->Show();
    }
    void TearDown() override { SetClock(nullptr); }

    TBareCalendar *Make(uint32_t style)
    {
        auto *calendar = new TBareCalendar(form.get(), style);
        calendar->SetParent(form.get());
        calendar->HandleNeeded();
        TRect minimum;
        EXPECT_EQ(calendar->Send(MCM_GETMINREQRECT, 0, &minimum), 1);
        calendar->SetBounds(0, 0, minimum.Right, minimum.Bottom);
        ProcessPendingEvents();
        return calendar;
    }

    std::unique_ptr<TForm> form;
};

TEST_F(CalendarWindow, SelectsOnlyDaysInsideItsRange)
{
    TBareCalendar *calendar = Make(0);
    SYSTEMTIME range[2] = { DateTimeToSystemTime(D(2001, 1, 10)), DateTimeToSystemTime(D(2001, 2, 10)) };
    calendar->Send(MCM_SETRANGE, GDTR_MIN | GDTR_MAX, range);
    const SYSTEMTIME inside = DateTimeToSystemTime(D(2001, 1, 20)), outside = DateTimeToSystemTime(D(2001, 3, 1));
    EXPECT_EQ(calendar->Send(MCM_SETCURSEL, 0, &inside), 1);
    EXPECT_EQ(calendar->Send(MCM_SETCURSEL, 0, &outside), 0);
    SYSTEMTIME now;
    calendar->Send(MCM_GETCURSEL, 0, &now);
    EXPECT_EQ(now.wDay, 20);
    EXPECT_EQ(now.wMonth, 1);
    calendar->Send(MCM_SETRANGE, 0, range);
    EXPECT_EQ(calendar->Send(MCM_SETCURSEL, 0, &outside), 1) << "a range without flags lifts the limits";
}

TEST_F(CalendarWindow, ScrollsToShowTheSelectionAndReportsTheVisibleMonths)
{
    TBareCalendar *calendar = Make(0);
    const SYSTEMTIME day = DateTimeToSystemTime(D(1999, 12, 15));
    calendar->Send(MCM_SETCURSEL, 0, &day);
    SYSTEMTIME months[2];
    EXPECT_EQ(calendar->Send(MCM_GETMONTHRANGE, GMR_VISIBLE, months), 1);
    EXPECT_EQ(months[0].wMonth, 12);
    EXPECT_EQ(months[0].wDay, 1);
    EXPECT_EQ(months[1].wDay, 31);
    EXPECT_EQ(calendar->Send(MCM_GETMONTHRANGE, GMR_DAYSTATE, months), 3);
    EXPECT_EQ(months[0].wMonth, 11);
    EXPECT_EQ(calendar->Send(MCM_GETMONTHDELTA, 0, nullptr), 1);
    calendar->SetWidth(calendar->Width() * 3);
    EXPECT_EQ(calendar->Send(MCM_GETMONTHRANGE, GMR_VISIBLE, months), 3);
}

TEST_F(CalendarWindow, HitTestsTitleDaysAndButtons)
{
    TBareCalendar *calendar = Make(MCS_WEEKNUMBERS);
    const SYSTEMTIME day = DateTimeToSystemTime(D(2001, 1, 15));
    calendar->Send(MCM_SETCURSEL, 0, &day);
    std::vector<uint32_t> seen;
    for (int y = 0; y < calendar->Height(); y += 3)
        for (int x = 0; x < calendar->Width(); x += 3) {
            MCHITTESTINFO info;
            info.pt = { x, y };
            const uint32_t hit = static_cast<uint32_t>(calendar->Send(MCM_HITTEST, 0, &info));
            if (std::find(seen.begin(), seen.end(), hit) == seen.end())
                seen.push_back(hit);
            if (hit == MCHT_CALENDARDATE) {
                EXPECT_EQ(info.st.wMonth, 1);
            } else if (hit == MCHT_CALENDARDATEPREV) {
                EXPECT_EQ(info.st.wMonth, 12);
            }
        }
    for (uint32_t code : { MCHT_TITLEMONTH, MCHT_TITLEYEAR, MCHT_TITLEBTNPREV, MCHT_TITLEBTNNEXT, MCHT_CALENDARDATE,
             MCHT_CALENDARDATEPREV, MCHT_CALENDARDATENEXT, MCHT_CALENDARDAY, MCHT_CALENDARWEEKNUM, MCHT_TODAYLINK })
        EXPECT_NE(std::find(seen.begin(), seen.end(), code), seen.end()) << std::hex << code;
}

TEST_F(CalendarWindow, AsksForBoldDaysAndReportsClicks)
{
    TBareCalendar *calendar = Make(MCS_DAYSTATE);
    calendar->Repaint();
    ProcessPendingEvents();
    ASSERT_NE(std::find(calendar->notifications.begin(), calendar->notifications.end(), MCN_GETDAYSTATE),
        calendar->notifications.end());
    EXPECT_EQ(calendar->lastDayState.cDayState, 3);
    EXPECT_EQ(calendar->lastDayState.stStart.wMonth, 11);
    // A click on a day selects it and says so.
    for (int y = 0; y < calendar->Height(); ++y)
        for (int x = 0; x < calendar->Width(); ++x) {
            MCHITTESTINFO info;
            info.pt = { x, y };
            if (calendar->Send(MCM_HITTEST, 0, &info) == MCHT_CALENDARDATE && info.st.wDay == 20) {
                ClickControl(calendar, x, y);
                ASSERT_FALSE(calendar->selections.empty());
                EXPECT_EQ(calendar->selections.back().stSelStart.wDay, 20);
                EXPECT_EQ(calendar->notifications.back(), MCN_SELECT);
                return;
            }
        }
    FAIL() << "no day 20 on the calendar";
}

TEST_F(CalendarWindow, MultiSelectKeepsItsRangeWithinTheMaximumCount)
{
    TBareCalendar *calendar = Make(MCS_MULTISELECT);
    SYSTEMTIME range[2] = { DateTimeToSystemTime(D(2001, 1, 1)), DateTimeToSystemTime(D(2001, 1, 10)) };
    EXPECT_EQ(calendar->Send(MCM_SETSELRANGE, 0, range), 0) << "ten days are more than the seven allowed";
    calendar->Send(MCM_SETMAXSELCOUNT, 10, nullptr);
    EXPECT_EQ(calendar->Send(MCM_SETSELRANGE, 0, range), 1);
    SYSTEMTIME back[2];
    calendar->Send(MCM_GETSELRANGE, 0, back);
    EXPECT_EQ(back[1].wDay, 10);
    EXPECT_EQ(calendar->Send(MCM_SETCURSEL, 0, range), 0) << "a multi-select calendar has a range, not a day";
}

// ---- Menus with columns and prompts

TEST(MenuColumns, ItemsThatBreakShowInColumns)
{
    TPopupMenu popup(nullptr);
    std::vector<std::string> clicked;
    for (int year = 1990; year < 1996; ++year) {
        auto *item = new TMenuItem(&popup);
        item->SetCaption(std::to_string(year));
        item->SetBreak(year == 1993 ? mbBarBreak : mbNone);
        item->SetEnabled(year != 1995);
        item->OnClick = [&clicked, year](TObject *) { clicked.push_back(std::to_string(year)); };
        popup.Items()->Add(item);
    }
    int buttons = 0, disabled = 0;
    QueueCall([&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QToolButton *button : menu->findChildren<QToolButton *>()) {
            ++buttons;
            disabled += button->isEnabled() ? 0 : 1;
        }
        for (QToolButton *button : menu->findChildren<QToolButton *>())
            if (button->text() == "1994")
                button->click();
    });
    popup.Popup(100, 100);
    EXPECT_EQ(buttons, 6);
    EXPECT_EQ(disabled, 1);
    EXPECT_EQ(clicked, std::vector<std::string> { "1994" });
}

TEST(InputQueryBox, AnswersTheTypedTextOrCancel)
{
    std::string value = "1999";
    QueueCall([] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle().toStdString(), "Año");
        auto *edit = box->findChild<QLineEdit *>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text().toStdString(), "1999");
        edit->setText("2004");
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
            if (button->text() == "OK")
                button->click();
    });
    EXPECT_TRUE(InputQuery("Año", "Escriba el año:", value));
    EXPECT_EQ(value, "2004");

    QueueCall([] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        box->findChild<QLineEdit *>()->setText("nada");
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
            if (button->text() == "Cancel")
                button->click();
    });
    EXPECT_EQ(InputBox("Año", "Escriba el año:", "1999"), "1999");
}

} // namespace
