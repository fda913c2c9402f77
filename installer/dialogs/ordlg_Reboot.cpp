#include "installer/dialogs/ordlg_Reboot.h"

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "platform/classes/typinfo.h"

const TMetaClass TRebootForm::Class { "TRebootForm", &TBaseInstallForm::Class };

namespace
{
using F = TRebootForm;
// clang-format off
const TClassRegistrar<TRebootForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"ProceedBtnClick", &F::ProceedBtnClick}, {"BackBtnClick", &F::BackBtnClick}, {"RGClick", &F::RGClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"Label1", &F::Label1}, {"RG", &F::RG}, {"Label2", &F::Label2}, {"Divider", &F::Divider}, {"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn}, {"FinishBtn", &F::FinishBtn}});
// clang-format on
} // namespace

TBIFEntry *InitializeRebootFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TRebootForm::Class, nullptr, 0);
    return entry;
}

TRebootForm::TRebootForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmReboot));
    SetOrder(10);
}

void TRebootForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(FinishBtn, "KVRA_FINISH");
}

void TRebootForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    ShowWayButtons(BackBtn, ProceedBtn, FinishBtn);
    // Choosing an answer sets Reboot, so read it first.
    const TCustomInstall *install = CurrentInstallComponent();
    const bool reboot = install && install->Reboot();
    if (updating_)
        RG->SetItemIndex(1);
    if (reboot)
        RG->SetItemIndex(0);
    if (!FocusIfShown(ProceedBtn))
        FocusIfShown(FinishBtn);
}

void TRebootForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TRebootForm::BackBtnClick(TObject *)
{
    Previous();
}

void TRebootForm::RGClick(TObject *)
{
    if (TCustomInstall *install = CurrentInstallComponent())
        install->SetReboot(RG->ItemIndex() == 0);
}
