#include "controls/base/registration.h"

#include "controls/base/Qxintl.h"
#include "controls/base/Qxtypes.h"
#include "controls/base/qxdbedit.h"
#include "platform/ui/registration.h"

void RegisterControlsBaseClasses()
{
    RegisterUiClasses();
    RegisterClasses({ &TqxDBPicture::Class, &TqxCustomMaskEdit::Class, &TqxDBCustomEdit::Class, &TqxDBEdit::Class,
        &TqxIntlTexts::Class, &TqxFilterDialogIntl::Class, &TqxDBRichEditIntl::Class, &TqxRichEditMenuLabels::Class,
        &TqxRichEditPopupMenuLabels::Class, &TqxRichEditParagraphDlg::Class, &TqxRichEditTabDlg::Class,
        &TqxMonthCalendarIntl::Class, &TqxSearchDialogIntl::Class, &TqxLocateDialogIntl::Class,
        &TqxUserMessagesIntl::Class, &TqxDBNavigatorIntl::Class, &TqxDBNavigatorIntlHints::Class, &TqxIntl::Class,
        &TqxFormPosition::Class });
}
