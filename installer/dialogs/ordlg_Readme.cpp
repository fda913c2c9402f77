#include "installer/dialogs/ordlg_Readme.h"

#include "platform/classes/typinfo.h"

const TMetaClass TReadmeForm::Class { "TReadmeForm", &TBaseInstallForm::Class };

namespace
{
using R = TReadmeForm;
// clang-format off
const TClassRegistrar<TReadmeForm> registrar({},
    {{"FormCreate", &R::FormCreate}, {"ProceedBtnClick", &R::ProceedBtnClick},
     {"BackBtnClick", &R::BackBtnClick}, {"CancelBtnClick", &R::CancelBtnClick}},
    {{"ThemeBitmap", &R::ThemeBitmap}, {"Label1", &R::Label1}, {"Information", &R::Information},
     {"Divider", &R::Divider}, {"BackBtn", &R::BackBtn}, {"ProceedBtn", &R::ProceedBtn},
     {"CancelBtn", &R::CancelBtn}});
// clang-format on
} // namespace

TBIFEntry *InitializeReadmeFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TReadmeForm::Class, nullptr, 0);
    return entry;
}

TReadmeForm::TReadmeForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(30);
}

void TReadmeForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
}

void TReadmeForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    BackBtn->SetVisible(!IsFirst());
    FocusIfShown(ProceedBtn);
}

void TReadmeForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TReadmeForm::BackBtnClick(TObject *)
{
    Previous();
}

void TReadmeForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
