#include "installer/dialogs/ordlg_Welcome.h"

#include "calculator/zrutinas.h"
#include "installer/dialogs/rutinst.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "platform/classes/typinfo.h"

const TMetaClass TWelcomeForm::Class { "TWelcomeForm", &TBaseInstallForm::Class };

const char *const UpdateWarning
    = "Antes de continuar con la instalación tenga en cuenta que puede fallar y dejar inhabilitado al "
      "sistema "
      "que se está actualizando. \r\r"
      "También puede suceder que luego de una instalación exitosa, se presenten problemas al seleccionar "
      "alguna base de datos. \r\r"
      "En ambos casos tendrá que reinstalar la versión anterior.\r\r"
      "Si usted no cuenta con los disquetes o cdrom correspondientes a la versión que está instalada en este "
      "momento, por favor presione el botón CANCELAR para terminar con esta instalación, ubique o consiga "
      "esos "
      "resguardos y recien luego proceda con esta instalación";

namespace
{
using W = TWelcomeForm;
// clang-format off
const TClassRegistrar<TWelcomeForm> registrar({},
    {{"FormCreate", &W::FormCreate}, {"ProceedBtnClick", &W::ProceedBtnClick},
     {"BackBtnClick", &W::BackBtnClick}, {"CancelBtnClick", &W::CancelBtnClick}},
    {{"ThemeBitmap", &W::ThemeBitmap}, {"Label1", &W::Label1}, {"Label2", &W::Label2},
     {"Label3", &W::Label3}, {"Divider", &W::Divider}, {"BackBtn", &W::BackBtn},
     {"ProceedBtn", &W::ProceedBtn}, {"CancelBtn", &W::CancelBtn}});
// clang-format on
} // namespace

TBIFEntry *InitializeWelcomeFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TWelcomeForm::Class, nullptr, 0);
    return entry;
}

TWelcomeForm::TWelcomeForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(5);
}

void TWelcomeForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
}

void TWelcomeForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    BackBtn->SetVisible(!IsFirst());
    FocusIfShown(ProceedBtn);
}

void TWelcomeForm::ProceedBtnClick(TObject *)
{
    TCustomInstall *install = CurrentInstallComponent();
    installed_ = install && InstalledBefore(install->Information()->ProductName());
    // Left for the configuration's handlers: 2 updates, 1 installs afresh.
    if (install)
        install->SetTag(installed_ ? 2 : 1);
    if (!installed_ || SetupRoutines::ConfirmContinue(UpdateWarning)) {
        Next();
        return;
    }
    SetModalResult(mrNone); // alone, Next would end the page even after a refused cancel
    ConfirmCancel();
}

void TWelcomeForm::BackBtnClick(TObject *)
{
    Previous();
}

void TWelcomeForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
