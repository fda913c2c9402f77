#include "installer/dialogs/dlgcmp_InstallType.h"

#include "installer/dialogs/ordlg_InstallType.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/sysutils.h"

const TMetaClass TInstallTypeDlg::Class { "TInstallTypeDlg", &TBaseInstallDlg::Class };

namespace
{
const TClassRegistrar<TInstallTypeDlg> registrar({});
} // namespace

void InitializeInstallTypeDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeInstallTypeFormUnit()), true);
    (void)done;
}

TInstallTypeDlg::TInstallTypeDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmBeforeInstall, 40);
}

const TMetaClass &TInstallTypeDlg::FormClass() const
{
    return TInstallTypeForm::Class;
}

bool TInstallTypeDlg::ShowForm()
{
    if (!Container())
        throw Exception(Format(TranslateString("Cannot run this dialog %s with a blank Container property"), Name()));
    return TBaseInstallDlg::ShowForm();
}

void TInstallTypeDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto *page = static_cast<TInstallTypeForm *>(Form());
    page->BackBtn->SetVisible(false);
    page->ProceedBtn->SetDefault(true);
    AssignThemeBitmap(page->ThemeBitmap->Picture());
    page->RefreshPage();
    page->BackBtn->SetVisible(false);
}

void TInstallTypeDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    ExecuteOnOwnEvent(eventCode, ieBeforeInstallType);
}
