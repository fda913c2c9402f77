#include "installer/dialogs/registration.h"

#include "installer/dialogs/cmp_TBackdrop.h"
#include "installer/dialogs/cmp_TRotate3DLabel.h"
#include "installer/dialogs/dlgcmp_BadInstall.h"
#include "installer/dialogs/dlgcmp_ChangeDisk.h"
#include "installer/dialogs/dlgcmp_CopyFile.h"
#include "installer/dialogs/dlgcmp_GoodInstall.h"
#include "installer/dialogs/dlgcmp_InstallStatus.h"
#include "installer/dialogs/dlgcmp_SelectFolder.h"
#include "installer/dialogs/dlgcmp_InstallFileGroups.h"
#include "installer/dialogs/dlgcmp_InstallType.h"
#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/dialogs/dlgcmp_TBaseDlg.h"
#include "installer/dialogs/dlgcmp_Welcome.h"
#include "installer/dialogs/ordlg_BadInstall.h"
#include "installer/dialogs/ordlg_ChangeDisk.h"
#include "installer/dialogs/ordlg_CopyFile.h"
#include "installer/dialogs/ordlg_FileGroupSelect.h"
#include "installer/dialogs/ordlg_GoodInstall.h"
#include "installer/dialogs/ordlg_InstallStatus.h"
#include "installer/dialogs/ordlg_InstallType.h"
#include "installer/dialogs/ordlg_License.h"
#include "installer/dialogs/ordlg_Readme.h"
#include "installer/dialogs/ordlg_Reboot.h"
#include "installer/dialogs/ordlg_SelectFolder.h"
#include "installer/dialogs/ordlg_SelectLanguage.h"
#include "installer/dialogs/ordlg_Welcome.h"
#include "installer/engine/registration.h"

void RegisterInstallerDialogsClasses()
{
    RegisterInstallerEngineClasses();
    RegisterClasses({
        // dlgcmp_TBaseDlg, dlgcmp_TBaseContainer
        &TDialogManager::Class, &TCustomBaseInstallDlg::Class, &TBaseInstallDlg::Class, &TBaseFormContainer::Class,
        &TBaseInstallForm::Class, &TBaseDuringCopyForm::Class, &TBaseChangeDiskForm::Class,
        // pages and their components
        &TWelcomeForm::Class, &TWelcomeDlg::Class, &TLicenseForm::Class, &TReadmeForm::Class,
        &TGoodInstallForm::Class, &TGoodInstallationDlg::Class, &TBadInstallForm::Class,
        &TBadInstallationDlg::Class, &TRebootForm::Class, &TSelectFolderForm::Class, &TSelectFolderDlg::Class,
        &TCopyFileForm::Class, &TCopyFileDlg::Class, &TInstallStatusForm::Class, &TInstallStatusDlg::Class,
        // setup type and components
        &TInstallTypeForm::Class, &TInstallTypeDlg::Class, &TFileGroupSelectForm::Class,
        &TInstallFileGroupsDlg::Class,
        // next disk and language
        &TChangeDiskForm::Class, &TChangeDiskDlg::Class, &TSelectLanguageForm::Class,
        // the setup program's window
        &TBackdrop::Class, &TLabelStyle::Class, &TRotate3DLabel::Class,
    });
}
