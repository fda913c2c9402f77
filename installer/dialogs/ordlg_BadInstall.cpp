#include "installer/dialogs/ordlg_BadInstall.h"

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "platform/classes/typinfo.h"

const TMetaClass TBadInstallForm::Class { "TBadInstallForm", &TBaseInstallForm::Class };

namespace
{
using F = TBadInstallForm;
// clang-format off
const TClassRegistrar<TBadInstallForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"ProceedBtnClick", &F::ProceedBtnClick}, {"BackBtnClick", &F::BackBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"TopLabel", &F::TopLabel}, {"Divider", &F::Divider}, {"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn}, {"FinishBtn", &F::FinishBtn}});
// clang-format on
} // namespace

TBIFEntry *InitializeBadInstallFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TBadInstallForm::Class, nullptr, 0);
    return entry;
}

TBadInstallForm::TBadInstallForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmAfterBadInstall));
    SetOrder(10);
}

void TBadInstallForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(FinishBtn, "KVRA_FINISH");
}

void TBadInstallForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    ShowWayButtons(BackBtn, ProceedBtn, FinishBtn);
    if (!FocusIfShown(ProceedBtn))
        FocusIfShown(FinishBtn);
}

void TBadInstallForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TBadInstallForm::BackBtnClick(TObject *)
{
    Previous();
}
