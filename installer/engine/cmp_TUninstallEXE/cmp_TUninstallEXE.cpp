#include "installer/engine/cmp_TUninstallEXE/cmp_TUninstallEXE.h"

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"

const TMetaClass TUninstallEXE::Class { "TUninstallEXE", &TCustomInstallFile::Class };

namespace
{

extern const TEnumNames UninstallOverwriteNames;
const TEnumNames UninstallOverwriteNames { "owAlways", "owNever", "owVersion", "owDate", "owVersionDate" };

using P = TPublish<TUninstallEXE>;
using I = TInstallPublish<TUninstallEXE>;
// clang-format off
const TClassRegistrar<TUninstallEXE> registrar({
    //              name                names                    getter                             setter                                default
    P::String      ("ArchiveFile",                               &TUninstallEXE::ArchiveFile,       &TUninstallEXE::SetArchiveFile,       ""),
    P::Component   ("ArchiveFileType",                           &TUninstallEXE::ArchiveFileType,   &TUninstallEXE::SetArchiveFileType),
    P::Enum        ("AddToArchive",     LzhCommandNames,         &TUninstallEXE::AddToArchive,      &TUninstallEXE::SetAddToArchive,      lzcOverwrite),
    I::Container(),
    I::DestDir(),
    I::DestDirType(),
    I::Include(),
    I::InstallTypes(),
    P::Boolean     ("Net",                                       &TUninstallEXE::Net,               &TUninstallEXE::SetNet,               true),
    P::Component   ("NetLocation",                               &TUninstallEXE::NetLocation,       &TUninstallEXE::SetNetLocation),
    I::Order(),
    P::String      ("DestName",                                  &TUninstallEXE::DestName,          &TUninstallEXE::SetDestName,          ""),
    P::String      ("FileName",                                  &TUninstallEXE::FileName,          &TUninstallEXE::SetFileName,          ""),
    P::Enum        ("FileType",         InstallFileTypeNames,    &TUninstallEXE::FileType,          &TUninstallEXE::SetFileType,          iftNormal),
    P::String      ("IncludeFromDir",                            &TUninstallEXE::IncludeFromDir,    &TUninstallEXE::SetIncludeFromDir,    ""),
    P::Enum        ("OverwriteMode",    UninstallOverwriteNames, &TUninstallEXE::OverwriteMode,     &TUninstallEXE::SetOverwriteMode,     owAlways),
    P::Enum        ("State",            InstallFileStateNames,   &TUninstallEXE::State,             &TUninstallEXE::SetStateProperty,     ifsNone),
    P::Boolean     ("UpdateDLLCounter",                          &TUninstallEXE::UpdateDLLCounter,  &TUninstallEXE::SetUpdateDLLCounter,  false),
    P::Event       ("OnAfterCompress",                           &TUninstallEXE::OnAfterCompress),
    P::Event       ("OnAfterCopy",                               &TUninstallEXE::OnAfterCopy),
    P::Event       ("OnAfterInstall",                            &TUninstallEXE::OnAfterInstall),
    P::Event       ("OnBeforeCompress",                          &TUninstallEXE::OnBeforeCompress),
    P::Event       ("OnBeforeCopy",                              &TUninstallEXE::OnBeforeCopy),
    P::Event       ("OnBeforeInstall",                           &TUninstallEXE::OnBeforeInstall),
    P::Event       ("OnStatus",                                  &TUninstallEXE::OnStatus),
    P::Event       ("OnNewDisk",                                 &TUninstallEXE::OnNewDisk),
    P::Event       ("OnReplacing",                               &TUninstallEXE::OnReplacing),
});
// clang-format on

} // namespace

TUninstallEXE::TUninstallEXE(TComponent *owner)
    : TCustomInstallFile(owner)
{
    SetNet(true);
    if (owner && owner->ComponentState().Contains(csDesigning)) {
        try {
            const std::string folder = FindToolkitFolder(false);
            if (!folder.empty() && FileExists(AddTrailingBackslash(folder) + "uninstall.exe")) {
                SetIncludeFromDir(folder);
                SetFileName("uninstall.exe");
                SetDestName("uninstall.exe");
            }
        } catch (const Exception &) {
            // without the toolkit's folder the designer names the file himself
        }
    }
}

void TUninstallEXE::WriteUninstallInfo(const std::string &key)
{
    TCustomInstall *install = CurrentInstallComponent();
    if (!install)
        throw IEUninstallEXE(
            "%s could not write information about the uninstall to the registry because there was no "
            "TInstall component",
            Name());
    const std::string product = install->Information()->ProductName();
    RegWriteString(rkLocalMachine, key, "DisplayName", product);
    RegWriteString(rkLocalMachine, key, "UninstallString", InstalledPath() + " " + product);
}
