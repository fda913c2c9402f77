#include "controls/widgets/registration.h"

#include "controls/base/registration.h"
#include "controls/widgets/qxdbdatetimepicker.h"
#include "controls/widgets/qxmonthcalendar.h"

void RegisterControlsWidgetsClasses()
{
    RegisterControlsBaseClasses();
    RegisterClasses({
        // qxmonthcalendar
        &TqxDateTimeColors::Class, &TqxPopupYearOptions::Class, &TCalendarPopupMenu::Class, &TqxMonthCalendar::Class,
        // qxdbdatetimepicker
        &TqxCalendarOptions::Class, &TqxPopupCalendar::Class, &TqxDateComboButton::Class,
        &TqxDBCustomDateTimePicker::Class, &TqxDBDateTimePicker::Class,
    });
}
