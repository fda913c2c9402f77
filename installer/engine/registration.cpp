#include "installer/engine/registration.h"

#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "installer/engine/cmp_TNetInstallLocation/cmp_TNetInstallLocation.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/cmp_TUninstallEXE/cmp_TUninstallEXE.h"
#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "platform/ui/registration.h"

void RegisterInstallerEngineClasses()
{
    RegisterUiClasses();
    RegisterClasses({
        &TBuildInfo::Class, &TInstall::Class,
        &TInstallInformation::Class,
        &TInstallFileGroup::Class,
        &TInstallFile::Class,
        &TUninstallEXE::Class,
        &TMainLinkGroup::Class, &TInstallShellLink::Class, &TInstallMainLink::Class, &TpsObjectLink::Class,
        &TKvraCompress::Class,
        &TLoginInformation::Class, &TNetInstallLocation::Class,
        &TpsBDEDLL::Class, &TpsCommonFiles::Class, &TpsContainerArchiveFile::Class, &TpsContainerDestDir::Class,
        &TpsDesktopMenu::Class, &TpsInstallSource::Class, &TpsMainInstall::Class, &TpsProgramFiles::Class,
        &TpsProgramMenu::Class, &TpsStartMenu::Class, &TpsStartupMenu::Class, &TpsSystem::Class,
        &TpsMainArchiveFile::Class, &TpsWindow::Class,
        &TLanguage::Class, &TTranslator::Class, &TTranslateLabel::Class, &TTranslateBitBtn::Class,
        &TVersionInfo::Class, &TVersionResource::Class,
    });
}
