#include "installer/dialogs/dlgcmp_SelectLanguage.h"

#include "installer/dialogs/ordlg_SelectLanguage.h"

void InitializeSelectLanguageDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeSelectLanguageFormUnit()), true);
    (void)done;
}
