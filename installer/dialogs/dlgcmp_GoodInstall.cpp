#include "installer/dialogs/dlgcmp_GoodInstall.h"

#include "installer/dialogs/ordlg_GoodInstall.h"

const TMetaClass TGoodInstallationDlg::Class { "TGoodInstallationDlg", &TBaseInstallDlg::Class };

namespace
{
const TClassRegistrar<TGoodInstallationDlg> registrar({});
} // namespace

void InitializeGoodInstallDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeGoodInstallFormUnit()), true);
    (void)done;
}

TGoodInstallationDlg::TGoodInstallationDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmAfterGoodInstall, 10);
}

const TMetaClass &TGoodInstallationDlg::FormClass() const
{
    return TGoodInstallForm::Class;
}

void TGoodInstallationDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto *page = static_cast<TGoodInstallForm *>(Form());
    page->BackBtn->SetVisible(false);
    page->ProceedBtn->SetDefault(true);
    page->FinishBtn->SetDefault(true);
    AssignThemeBitmap(page->ThemeBitmap->Picture());
}

void TGoodInstallationDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    ExecuteOnOwnEvent(eventCode, ieGoodInstall);
}
