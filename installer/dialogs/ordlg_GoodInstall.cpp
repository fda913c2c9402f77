#include "installer/dialogs/ordlg_GoodInstall.h"

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "platform/classes/typinfo.h"

const TMetaClass TGoodInstallForm::Class { "TGoodInstallForm", &TBaseInstallForm::Class };

namespace
{
using F = TGoodInstallForm;
// clang-format off
const TClassRegistrar<TGoodInstallForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"ProceedBtnClick", &F::ProceedBtnClick}, {"BackBtnClick", &F::BackBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"Label1", &F::Label1}, {"Divider", &F::Divider}, {"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn}, {"FinishBtn", &F::FinishBtn}});
// clang-format on
} // namespace

TBIFEntry *InitializeGoodInstallFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TGoodInstallForm::Class, nullptr, 0);
    return entry;
}

TGoodInstallForm::TGoodInstallForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmAfterGoodInstall));
    SetOrder(10);
}

void TGoodInstallForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(FinishBtn, "KVRA_FINISH");
}

void TGoodInstallForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    ShowWayButtons(BackBtn, ProceedBtn, FinishBtn);
    if (!FocusIfShown(ProceedBtn))
        FocusIfShown(FinishBtn);
}

void TGoodInstallForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TGoodInstallForm::BackBtnClick(TObject *)
{
    Previous();
}
