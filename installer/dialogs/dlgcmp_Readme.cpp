#include "installer/dialogs/dlgcmp_Readme.h"

#include "installer/dialogs/ordlg_Readme.h"

void InitializeReadmeDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeReadmeFormUnit()), true);
    (void)done;
}
