#include "installer/dialogs/dlgcmp_Welcome.h"

#include "installer/dialogs/ordlg_Welcome.h"

const TMetaClass TWelcomeDlg::Class { "TWelcomeDlg", &TBaseInstallDlg::Class };

namespace
{
const TClassRegistrar<TWelcomeDlg> registrar({});
} // namespace

void InitializeWelcomeDialogUnit()
{
    static const bool done = (UnregisterInstallForm(InitializeWelcomeFormUnit()), true);
    (void)done;
}

TWelcomeDlg::TWelcomeDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmBeforeInstall, 10);
}

const TMetaClass &TWelcomeDlg::FormClass() const
{
    return TWelcomeForm::Class;
}

void TWelcomeDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto *page = static_cast<TWelcomeForm *>(Form());
    page->BackBtn->SetVisible(false);
    page->ProceedBtn->SetDefault(true);
    AssignThemeBitmap(page->ThemeBitmap->Picture());
}

void TWelcomeDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    ExecuteOnOwnEvent(eventCode, ieWelcome);
}
