#include "controls/widgets/qxdbdatetimepicker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "controls/data/Qxdatsrc.h"
#include "controls/data/Qxdbsets.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "platform/ui/testing_environment.h"

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

TDateTime D(int y, int m, int d) { return EncodeDate(static_cast<uint16_t>(y), static_cast<uint16_t>(m), static_cast<uint16_t>(d)); }

class DateTimePicker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetClock([] { return D(2026, 12, 9) + EncodeTime(14, 30, 0, 0); });
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
        picker = new TqxDBDateTimePicker(form.get());
        picker->SetParent(form.get());
        picker->SetBounds(10, 10, 150, 24);
        picker->CalendarAttributes()->SetFirstDayOfWeek(qxdowMonday);
        other = new TEdit(form.get());
        other->SetParent(form.get());
        other->SetBounds(10, 200, 100, 24);
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override
    {
        form.reset();
        std::error_code ignored;
        if (!dir.empty())
            std::filesystem::remove_all(dir, ignored);
        SetClock(nullptr);
    }

    // An event table in a fresh SQLite file, open in the library's table on
    // its data source.
    void Bind(const std::string &field)
    {
        static int n = 0;
        dir = std::filesystem::temp_directory_path() / ("orvex-picker-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir);
        file = (dir / "events.db").string();
        CreateDatabaseFile(file);
        TDatabase db(nullptr);
        db.SetDatabaseName("picker-" + std::to_string(n));
        db.Params()->Add("PATH=" + file);
        db.Execute("CREATE TABLE events (Id INTEGER PRIMARY KEY, Day DATE, At DATETIME)");
        db.Execute("INSERT INTO events VALUES (1, 36922, 36922.34375)"); // 2001-01-31, 08:15
        db.Execute("INSERT INTO events VALUES (2, NULL, NULL)");
        table = new TqxTable(form.get());
        table->SetDatabaseName(file);
        table->SetTableName("events");
        table->Open();
        source = new TqxDataSource(form.get());
        source->SetDataSet(table);
        picker->SetDataSource(source);
        picker->SetDataField(field);
    }

    TPoint DayOnCalendar(int day)
    {
        TqxPopupCalendar *calendar = picker->Calendar();
        for (int y = 0; y < calendar->Height(); y += 2)
            for (int x = 0; x < calendar->Width(); x += 2) {
                MCHITTESTINFO info;
                info.pt = { x, y };
                if (calendar->Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)) == MCHT_CALENDARDATE && info.st.wDay == day)
                    return { x, y };
            }
        ADD_FAILURE() << "no day " << day;
        return { 0, 0 };
    }

    void DropAndShoot(const std::string &caption, const std::string &file)
    {
        picker->SetUnboundDataType(qxDTEdtDate);
        picker->SetDate(D(2026, 12, 9));
        form->SetCaption(caption);
        ClickControl(picker->Button());
        ASSERT_TRUE(picker->DroppedDown());
        ProcessPendingEvents();
        EXPECT_TRUE(picker->DroppedDown()) << "showing the calendar takes no focus from the picker";
        EXPECT_GT(SaveScreenshot(form.get(), ORVEX_BINARY_DIR "/screenshots/" + file), 0);
    }

    // A person's round with the calendar: drop it (by the button or by
    // Alt+Down), take a day (a click on it, or Right then Enter), leave the
    // picker with Tab and come back with Shift+Tab. The events are let in
    // after every step, as the window system's activation of the calendar's
    // window arrives then.
    void CalendarRound(bool byButton, int day)
    {
        if (byButton)
            ClickControl(picker->Button());
        else
            PressKey(picker, VK_DOWN, 0, TShiftState { ssAlt });
        ProcessPendingEvents();
        ASSERT_TRUE(picker->DroppedDown());
        EXPECT_EQ(FocusedControl(), picker) << "the calendar takes no focus from the picker";
        if (byButton) {
            const TPoint at = DayOnCalendar(day);
            ClickControl(picker->Calendar(), at.X, at.Y);
        } else {
            PressKey(picker, VK_RIGHT);
            PressKey(picker, VK_RETURN, U'\r');
        }
        ProcessPendingEvents();
        EXPECT_FALSE(picker->DroppedDown());
        PressKey(picker, VK_TAB, U'\t');
        ProcessPendingEvents();
        EXPECT_EQ(FocusedControl(), other);
        PressKey(other, VK_TAB, U'\t', TShiftState { ssShift });
        ProcessPendingEvents();
        EXPECT_EQ(FocusedControl(), picker);
    }

    // The number the file holds in a field of a record, as SQLite writes it.
    std::string Stored(int id, const std::string &field)
    {
        TQuery query(nullptr);
        query.SetDatabaseName(file);
        query.SQL()->Add("SELECT CAST(" + field + " AS TEXT) AS V FROM events WHERE Id = " + std::to_string(id));
        query.Open();
        return query.FieldByName("V")->AsString();
    }

    TFormatSettingsScope spanish { SpanishFormatSettings() };
    ScriptedMessageBoxes boxes; // an error that leaves a key handler is shown in one
    std::unique_ptr<TForm> form;
    TqxDBDateTimePicker *picker = nullptr;
    TEdit *other = nullptr;
    TqxTable *table = nullptr;
    TqxDataSource *source = nullptr;
    std::filesystem::path dir;
    std::string file;
};

TEST_F(DateTimePicker, ShowsItsValueAndEditsThePartUnderTheKeys)
{
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 31));
    EXPECT_EQ(picker->Text(), "31/01/2001");
    picker->SetFocus();
    PressKey(picker, VK_RIGHT);
    PressKey(picker, VK_UP);
    EXPECT_EQ(picker->Text(), "28/02/2001");
    PressKey(picker, VK_LEFT);
    TypeText(picker, "15");
    EXPECT_EQ(picker->Date(), D(2001, 2, 15));
    EXPECT_EQ(picker->SelText(), "02") << "typing moves on to the month";
}

TEST_F(DateTimePicker, LimitsRaiseWithTheirMessages)
{
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetMaxDate(D(2001, 3, 31));
    EXPECT_THROW(picker->SetMinDate(D(2001, 4, 1)), EDateTimeError);
    picker->SetDate(D(2001, 3, 1));
    try {
        picker->SetDate(D(2001, 4, 2));
        FAIL() << "no error";
    } catch (const EDateTimeError &e) {
        EXPECT_STREQ(e.what(), "Date exceeds maximum of 31/03/2001");
    }
    EXPECT_EQ(picker->Date(), D(2001, 3, 1));
}

TEST_F(DateTimePicker, ATimePickerNeverDropsDownAndShowsNoButton)
{
    picker->SetUnboundDataType(qxDTEdtTime);
    picker->SetTime(EncodeTime(9, 5, 0, 0));
    EXPECT_EQ(picker->Text(), "09:05");
    picker->SetFocus();
    picker->DropDown();
    EXPECT_FALSE(picker->DroppedDown());
}

TEST_F(DateTimePicker, TheButtonDropsTheCalendarBelowAndADayClosesIt)
{
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 15));
    ClickControl(picker->Button());
    ASSERT_TRUE(picker->DroppedDown());
    const TPoint below = picker->ClientToScreen({ 0, picker->Height() - 1 });
    EXPECT_EQ(picker->Calendar()->Top(), below.Y);
    EXPECT_EQ(picker->Calendar()->Left(), below.X);
    const TPoint day = DayOnCalendar(20);
    ClickControl(picker->Calendar(), day.X, day.Y);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(picker->Date(), D(2001, 1, 20));
    EXPECT_EQ(picker->Text(), "20/01/2001");
}

TEST_F(DateTimePicker, KeysWhileDroppedMoveTheCalendarAndEscapeRestores)
{
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 15));
    picker->SetFocus();
    PressKey(picker, VK_DOWN, 0, TShiftState { ssAlt });
    ASSERT_TRUE(picker->DroppedDown());
    PressKey(picker, VK_RIGHT);
    EXPECT_EQ(std::trunc(picker->Calendar()->Date()), D(2001, 1, 16));
    EXPECT_EQ(picker->Date(), D(2001, 1, 16)) << "the picker follows the calendar";
    PressKey(picker, VK_ESCAPE, 27);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(picker->Date(), D(2001, 1, 15));
    EXPECT_TRUE(picker->Focused());
}

TEST_F(DateTimePicker, AClickOutsideClosesTheCalendarKeepingItsDate)
{
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 15));
    picker->SetFocus();
    PressKey(picker, VK_DOWN, 0, TShiftState { ssAlt });
    ASSERT_TRUE(picker->DroppedDown());
    PressKey(picker, VK_RIGHT);
    ClickControl(form.get(), 300, 150);
    ProcessPendingEvents();
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(picker->Date(), D(2001, 1, 16));
}

TEST_F(DateTimePicker, SpaceOnAnEmptyPickerSetsThePresentMoment)
{
    picker->SetFocus();
    PressKey(picker, VK_SPACE, U' ');
    EXPECT_EQ(picker->Date(), D(2026, 12, 9) + EncodeTime(14, 30, 0, 0));
    EXPECT_EQ(picker->Text(), "09/12/2026 14:30:00");
}

TEST_F(DateTimePicker, SpaceOnAPickerNamingAFieldWithoutADataSetDoesNothing)
{
    picker->SetDataField("Day");
    picker->SetFocus();
    PressKey(picker, VK_SPACE, U' ');
    EXPECT_EQ(picker->Text(), "");
}

TEST_F(DateTimePicker, EditsAndPostsADateField)
{
    Bind("Day");
    EXPECT_EQ(picker->Text(), "31/01/2001");
    picker->SetFocus();
    PressKey(picker, VK_UP);
    EXPECT_EQ(picker->Text(), "01/01/2001");
    EXPECT_EQ(table->State(), dsEdit);
    other->SetFocus(); // leaving writes the value to the field
    table->Post();
    auto check = std::make_unique<TTable>(nullptr);
    check->SetDatabaseName(file);
    check->SetTableName("events");
    check->Open();
    EXPECT_EQ(check->FieldByName("Day")->AsDateTime(), D(2001, 1, 1));
}

TEST_F(DateTimePicker, ANullFieldShowsNothingAndMovingShowsTheRecord)
{
    Bind("At");
    EXPECT_EQ(picker->Text(), "31/01/2001 08:15:00") << "a date-time field shows its date and time";
    table->Next();
    EXPECT_EQ(picker->Text(), "");
    table->Prior();
    EXPECT_EQ(picker->Engine().Value, D(2001, 1, 31) + EncodeTime(8, 15, 0, 0));
}

TEST_F(DateTimePicker, ScreenshotDroppedDown)
{
    DropAndShoot("Fecha", "date-time-picker.png");
}

TEST_F(DateTimePicker, ScreenshotDroppedDownInEnglish)
{
    TFormatSettingsScope english(EnglishFormatSettings());
    DropAndShoot("Date", "date-time-picker-en.png");
}

TEST_F(DateTimePicker, SpaceOnAnEmptyPickerKeepsWithinTheLimits)
{
    picker->SetMaxDate(D(2020, 6, 30));
    picker->SetFocus();
    PressKey(picker, VK_SPACE, U' ');
    EXPECT_EQ(picker->Date(), D(2020, 6, 30)) << "today is past the limit";
    EXPECT_EQ(picker->Text(), "30/06/2020");
    EXPECT_EQ(boxes.Count(), 0);

    picker->SetMaxDate(0);
    picker->SetMinDate(D(2030, 1, 15));
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(0);
    picker->SetFocus();
    PressKey(picker, VK_END);
    EXPECT_EQ(picker->Date(), D(2030, 1, 31)) << "End on the day starts from the limit, not from today";

    picker->SetDate(0);
    PressKey(picker, VK_DOWN, 0, TShiftState { ssAlt });
    EXPECT_TRUE(picker->DroppedDown());
    EXPECT_EQ(picker->Date(), D(2030, 1, 15)) << "so does the calendar";
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DateTimePicker, SpaceOnANullDateFieldWritesTheDateAlone)
{
    Bind("Day");
    table->Next();
    ASSERT_EQ(picker->Text(), "");
    picker->SetFocus();
    PressKey(picker, VK_SPACE, U' ');
    EXPECT_EQ(picker->Text(), "09/12/2026");
    other->SetFocus();
    table->Post();
    EXPECT_EQ(Stored(2, "Day"), "46365");
}

TEST_F(DateTimePicker, ARefusedKeyLeavesThePickerEditableOnceTheRecordIs)
{
    Bind("Day");
    source->SetAutoEdit(false);
    picker->SetFocus();
    PressKey(picker, VK_UP);
    EXPECT_EQ(picker->Text(), "31/01/2001") << "browsing without AutoEdit refuses the key";
    EXPECT_EQ(table->State(), dsBrowse);
    table->Edit();
    PressKey(picker, VK_UP);
    EXPECT_EQ(picker->Text(), "01/01/2001");
    EXPECT_FALSE(picker->ReadOnly());
    other->SetFocus();
    table->Post();
    EXPECT_EQ(Stored(1, "Day"), "36892");
}

TEST_F(DateTimePicker, TypingADayOnAFieldLeavesTheMonthAndYearTheFormatHides)
{
    Bind("Day");
    picker->SetDisplayFormat("mm/dd");
    table->Edit();
    table->FieldByName("Day")->SetAsDateTime(D(2001, 2, 10));
    picker->SetFocus();
    PressKey(picker, VK_RIGHT);
    TypeText(picker, "29");
    EXPECT_EQ(picker->Text(), "02/28") << "2001 has no 29 February";
    other->SetFocus();
    table->Post();
    EXPECT_EQ(Stored(1, "Day"), "36950"); // 2001-02-28
}

TEST_F(DateTimePicker, TheCalendarDropsAgainAfterThePickerWasLeftAndEntered)
{
    int exits = 0;
    picker->OnExit = [&exits](TObject *) { ++exits; };
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 15));
    picker->SetFocus();
    ProcessPendingEvents();
    CalendarRound(true, 20);
    EXPECT_EQ(picker->Date(), D(2001, 1, 20));
    CalendarRound(false, 0);
    EXPECT_EQ(picker->Date(), D(2001, 1, 21));
    CalendarRound(true, 25);
    EXPECT_EQ(picker->Date(), D(2001, 1, 25));
    EXPECT_EQ(exits, 3) << "only Tab leaves the picker, never its calendar";
}

TEST_F(DateTimePicker, TheCalendarOfAFieldDropsAgainAfterThePickerWasLeftAndEntered)
{
    Bind("Day");
    picker->SetFocus();
    ProcessPendingEvents();
    CalendarRound(false, 0);
    EXPECT_EQ(table->FieldByName("Day")->AsDateTime(), D(2001, 2, 1)) << "leaving wrote the day";
    CalendarRound(true, 14);
    CalendarRound(false, 0);
    EXPECT_EQ(picker->Text(), "15/02/2001");
    table->Post();
    EXPECT_EQ(Stored(1, "Day"), "36937"); // 2001-02-15
}

TEST_F(DateTimePicker, TheFocusReachingTheDroppedCalendarLeavesItWithThePicker)
{
    int exits = 0;
    picker->OnExit = [&exits](TObject *) { ++exits; };
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 15));
    picker->SetFocus();
    PressKey(picker, VK_DOWN, 0, TShiftState { ssAlt });
    ASSERT_TRUE(picker->DroppedDown());
    // What the calendar's window hears when a window system gives it the focus.
    picker->Calendar()->Perform(WM_SETFOCUS, 0, 0);
    ASSERT_TRUE(picker->DroppedDown());
    EXPECT_EQ(form->ActiveControl(), picker);
    EXPECT_EQ(exits, 0);
    PressKey(picker, VK_RIGHT);
    PressKey(picker, VK_RETURN, U'\r');
    EXPECT_EQ(picker->Date(), D(2001, 1, 16));
}

TEST_F(DateTimePicker, AnExitCausedFromTheCalendarFreesItOnlyOnceItsHandlingIsOver)
{
    picker->SetUnboundDataType(qxDTEdtDate);
    picker->SetDate(D(2001, 1, 15));
    picker->SetFocus();
    // The picker's OnChange, run while the calendar takes a day, moves the focus on.
    picker->OnChange = [this](TObject *) { other->SetFocus(); };

    ClickControl(picker->Button());
    ProcessPendingEvents();
    ASSERT_TRUE(picker->DroppedDown());
    const TPoint at = DayOnCalendar(20);
    ClickControl(picker->Calendar(), at.X, at.Y);
    ProcessPendingEvents();
    EXPECT_EQ(FocusedControl(), other);
    EXPECT_EQ(picker->Calendar(), nullptr) << "the exit frees the calendar";
    EXPECT_EQ(picker->Date(), D(2001, 1, 20));

    picker->SetFocus();
    PressKey(picker, VK_DOWN, 0, TShiftState { ssAlt });
    ProcessPendingEvents();
    ASSERT_TRUE(picker->DroppedDown());
    PressKey(picker, VK_RIGHT);
    ProcessPendingEvents();
    EXPECT_EQ(FocusedControl(), other);
    EXPECT_EQ(picker->Calendar(), nullptr);
    EXPECT_EQ(picker->Date(), D(2001, 1, 21));
}

} // namespace
