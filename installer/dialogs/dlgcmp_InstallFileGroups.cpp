#include "installer/dialogs/dlgcmp_InstallFileGroups.h"

#include "installer/dialogs/ordlg_FileGroupSelect.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/sysutils.h"

const TMetaClass TInstallFileGroupsDlg::Class { "TInstallFileGroupsDlg", &TBaseInstallDlg::Class };

namespace
{
using D = TDialogPublish<TInstallFileGroupsDlg>;
using ID = TInstallPublish<TInstallFileGroupsDlg>;
// clang-format off
const TClassRegistrar<TInstallFileGroupsDlg> registrar({
    ID::InstallTypes(),
});
// clang-format on
} // namespace

void InitializeInstallFileGroupsDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeFileGroupSelectFormUnit()), true);
    (void)done;
}

TInstallFileGroupsDlg::TInstallFileGroupsDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmBeforeInstall, 50);
}

const TMetaClass &TInstallFileGroupsDlg::FormClass() const
{
    return TFileGroupSelectForm::Class;
}

bool TInstallFileGroupsDlg::ShowForm()
{
    if (!Container())
        throw Exception(Format(TranslateString("Cannot run this dialog %s with a blank Container property"), Name()));
    return TBaseInstallDlg::ShowForm();
}

void TInstallFileGroupsDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto *page = static_cast<TFileGroupSelectForm *>(Form());
    page->BackBtn->SetVisible(false);
    page->ProceedBtn->SetDefault(true);
    AssignThemeBitmap(page->ThemeBitmap->Picture());
    page->RefreshPage();
    page->BackBtn->SetVisible(false);
}

void TInstallFileGroupsDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    ExecuteOnOwnEvent(eventCode, ieBeforeFileContainer);
}
