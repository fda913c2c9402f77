#include "installer/dialogs/dlgcmp_SelectFolder.h"

#include "installer/dialogs/ordlg_SelectFolder.h"
#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"

const TMetaClass TSelectFolderDlg::Class { "TSelectFolderDlg", &TBaseInstallDlg::Class };

namespace
{
using P = TPublish<TSelectFolderDlg>;
// clang-format off
const TClassRegistrar<TSelectFolderDlg> registrar({
    //           name          getter                       setter
    P::Component("Container",  &TSelectFolderDlg::LinkGroup, &TSelectFolderDlg::SetLinkGroup),
});
// clang-format on
} // namespace

void InitializeSelectFolderDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeSelectFolderFormUnit()), true);
    (void)done;
}

TSelectFolderDlg::TSelectFolderDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmBeforeInstall, 60);
    if (TMainLinkGroup *group = MainLinkGroup())
        SetContainer(group);
}

TCustomShellLinkGroup *TSelectFolderDlg::LinkGroup() const
{
    TInstallContainer *container = Container();
    auto *group = dynamic_cast<TCustomShellLinkGroup *>(container);
    if (container && !group)
        throw Exception(TranslateFormat("The container for %s must be a TCustomShellLinkGroup", Name()));
    return group;
}

void TSelectFolderDlg::SetLinkGroup(TCustomShellLinkGroup *value)
{
    SetContainer(value);
}

const TMetaClass &TSelectFolderDlg::FormClass() const
{
    return TSelectFolderForm::Class;
}

bool TSelectFolderDlg::ShowForm()
{
    if (!Container())
        throw Exception(TranslateFormat("Cannot run this dialog %s with a blank Container property", Name()));
    return TBaseInstallDlg::ShowForm();
}

void TSelectFolderDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto *page = static_cast<TSelectFolderForm *>(Form());
    page->BackBtn->SetVisible(false);
    page->ProceedBtn->SetDefault(true);
    AssignThemeBitmap(page->ThemeBitmap->Picture());
    page->RefreshPage();
    page->BackBtn->SetVisible(false);
}

void TSelectFolderDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    ExecuteOnOwnEvent(eventCode, ieBeforeShellLinks);
}
