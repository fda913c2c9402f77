#include "installer/dialogs/dlgcmp_Reboot.h"

#include "installer/dialogs/ordlg_Reboot.h"

void InitializeRebootDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeRebootFormUnit()), true);
    (void)done;
}
