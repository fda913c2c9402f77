#include "installer/dialogs/dlgcmp_BadInstall.h"

#include "installer/dialogs/ordlg_BadInstall.h"

const TMetaClass TBadInstallationDlg::Class { "TBadInstallationDlg", &TBaseInstallDlg::Class };

namespace
{
const TClassRegistrar<TBadInstallationDlg> registrar({});
} // namespace

void InitializeBadInstallDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeBadInstallFormUnit()), true);
    (void)done;
}

TBadInstallationDlg::TBadInstallationDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmAfterBadInstall, 10);
}

const TMetaClass &TBadInstallationDlg::FormClass() const
{
    return TBadInstallForm::Class;
}

void TBadInstallationDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto *page = static_cast<TBadInstallForm *>(Form());
    page->BackBtn->SetVisible(false);
    page->ProceedBtn->SetDefault(true);
    page->FinishBtn->SetDefault(true);
    AssignThemeBitmap(page->ThemeBitmap->Picture());
}

void TBadInstallationDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    ExecuteOnOwnEvent(eventCode, ieBadInstall);
}
