#include "controls/widgets/registration.h"

#include "controls/base/registration.h"
#include "controls/widgets/qxdbcomb.h"
#include "controls/widgets/qxdbdatetimepicker.h"
#include "controls/widgets/qxdbgrid.h"
#include "controls/widgets/qxmemo.h"
#include "controls/widgets/qxmonthcalendar.h"
#include "controls/widgets/qxTrackIcon.h"
#include "controls/widgets/qxrchdlg.h"
#include "controls/widgets/qxrichtb.h"
#include "controls/widgets/qxrich.h"
#include "controls/widgets/qxriched.h"
#include "platform/classes/registration.h"
#include "platform/rich/registration.h"

void RegisterControlsWidgetsClasses()
{
    RegisterControlsBaseClasses();
    RegisterRichClasses();
    RegisterClasses({
        // qxmonthcalendar
        &TqxDateTimeColors::Class, &TqxPopupYearOptions::Class, &TCalendarPopupMenu::Class, &TqxMonthCalendar::Class,
        // qxdbdatetimepicker
        &TqxCalendarOptions::Class, &TqxPopupCalendar::Class, &TqxDateComboButton::Class,
        &TqxDBCustomDateTimePicker::Class, &TqxDBDateTimePicker::Class,
        // qxdotdot
        &TqxComboDlgButton::Class, &TqxDBCustomCombo::Class,
        // qxdbcomb
        &TqxPopupListbox::Class, &TqxDBComboBox::Class,
        // qxriched
        &TqxPrintMargins::Class, &TqxCustomRichEdit::Class, &TqxDBRichEdit::Class, &TqxRulerPanel::Class,
        // qxTrackIcon
        &TqxTrackIcon::Class,
        // qxrchdlg, qxrichtb
        &TqxRichParagraphDialog::Class, &TqxRichTabDialog::Class,
        // qxrich
        &TqxRichEditForm::Class, &TqxPageSetupDialog::Class,
        // qxdbigrd, qxdbgrid, qxmemo
        &TqxInplaceEdit::Class, &TqxCustomDBGrid::Class, &TqxDBGrid::Class, &TqxMemoDialog::Class, &TqxMemoDlg::Class,
    });
    // qxdbigrd: the grid's indicator button
    RegisterClasses({ &TqxIButton::Class });
}
