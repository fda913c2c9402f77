#include "installer/dialogs/wizardunits.h"

#include "installer/dialogs/dlgcmp_BadInstall.h"
#include "installer/dialogs/dlgcmp_ChangeDisk.h"
#include "installer/dialogs/dlgcmp_CopyFile.h"
#include "installer/dialogs/dlgcmp_GoodInstall.h"
#include "installer/dialogs/dlgcmp_InstallFileGroups.h"
#include "installer/dialogs/dlgcmp_InstallType.h"
#include "installer/dialogs/dlgcmp_Readme.h"
#include "installer/dialogs/dlgcmp_Reboot.h"
#include "installer/dialogs/dlgcmp_SelectFolder.h"
#include "installer/dialogs/dlgcmp_SelectLanguage.h"
#include "installer/dialogs/dlgcmp_Welcome.h"
#include "installer/dialogs/ordlg_BadInstall.h"
#include "installer/dialogs/ordlg_ChangeDisk.h"
#include "installer/dialogs/ordlg_CopyFile.h"
#include "installer/dialogs/ordlg_FileGroupSelect.h"
#include "installer/dialogs/ordlg_GoodInstall.h"
#include "installer/dialogs/ordlg_InstallType.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_Readme.h"
#include "installer/dialogs/ordlg_Reboot.h"
#include "installer/dialogs/ordlg_SelectFolder.h"
#include "installer/dialogs/ordlg_SelectLanguage.h"
#include "installer/dialogs/ordlg_Welcome.h"

void InitializeWizardUnits()
{
    InitializeWelcomeFormUnit();
    InitializeWelcomeDialogUnit();
    InitializeLicenseFormUnit();
    InitializeReadmeFormUnit();
    InitializeReadmeDialogUnit();
    InitializeInstallTypeFormUnit();
    InitializeInstallTypeDialogUnit();
    InitializeFileGroupSelectFormUnit();
    InitializeInstallFileGroupsDialogUnit();
    InitializeGoodInstallFormUnit();
    InitializeGoodInstallDialogUnit();
    InitializeBadInstallFormUnit();
    InitializeBadInstallDialogUnit();
    InitializeRebootFormUnit();
    InitializeRebootDialogUnit();
    InitializeSelectFolderFormUnit();
    InitializeSelectFolderDialogUnit();
    InitializeCopyFileFormUnit();
    InitializeCopyFileDialogUnit();
    InitializeChangeDiskFormUnit();
    InitializeChangeDiskDialogUnit();
    InitializeSelectLanguageFormUnit();
    InitializeSelectLanguageDialogUnit();
}
