#include "installer/dialogs/ordlg_License.h"

#include "platform/classes/typinfo.h"

const TMetaClass TLicenseForm::Class { "TLicenseForm", &TBaseInstallForm::Class };

namespace
{
using L = TLicenseForm;
// clang-format off
const TClassRegistrar<TLicenseForm> registrar({},
    {{"FormCreate", &L::FormCreate}, {"ProceedBtnClick", &L::ProceedBtnClick},
     {"BackBtnClick", &L::BackBtnClick}, {"CancelBtnClick", &L::CancelBtnClick}},
    {{"ThemeBitmap", &L::ThemeBitmap}, {"Label1", &L::Label1}, {"Label3", &L::Label3},
     {"Agreement", &L::Agreement}, {"Divider", &L::Divider}, {"BackBtn", &L::BackBtn},
     {"ProceedBtn", &L::ProceedBtn}, {"CancelBtn", &L::CancelBtn}});
// clang-format on

// The product's licence agreement: the opening paragraphs, then the
// numbered sections, each a list of paragraphs.
const char *const Opening[] = {
    "IMPORTANTE: lea con atención este contrato antes de instalar el programa. Al presionar el botón "
    "Siguiente usted acepta todas sus condiciones. Si no está de acuerdo, presione Cancelar.",
    "",
    "CONTRATO DE LICENCIA DE USO DE ORVEX TABULO",
    "",
    "Este contrato se celebra entre usted, el usuario, y ORVEX, autor de Tabulo, una calculadora de "
    "escritorio con tira de papel. Instalar o usar el programa significa aceptarlo.",
    "",
};

const std::vector<std::vector<const char *>> Sections = {
    { "1. Licencia. ORVEX le concede una licencia personal, no exclusiva e intransferible para instalar y "
      "usar Tabulo en las computadoras que usted utiliza." },
    { "2. Propiedad. El programa, sus archivos y su documentación son propiedad de ORVEX. Esta licencia no "
      "le transfiere ningún derecho de propiedad sobre ellos." },
    { "3. Copias. Puede hacer una copia de resguardo de los disquetes o del cdrom de instalación.",
        "No puede vender, alquilar ni prestar el programa ni sus copias." },
    { "4. Modificaciones. No puede modificar, descompilar ni desensamblar el programa, salvo en la medida en "
      "que la ley lo permita expresamente." },
    { "5. Resultados. Tabulo calcula con cuatro decimales fijos y redondea a la cantidad de decimales que "
      "usted elija. Verifique los resultados antes de usarlos en documentos contables, fiscales o "
      "comerciales." },
    { "6. Garantía. El programa se entrega tal como está. Durante noventa días ORVEX reemplazará sin cargo "
      "los disquetes o el cdrom que tengan defectos de fabricación." },
    { "7. Responsabilidad. ORVEX no responde por daños, pérdidas de datos o ganancias que resulten del uso "
      "del programa o de la imposibilidad de usarlo, aun cuando se le haya advertido esa posibilidad." },
    { "8. Terminación. La licencia termina si usted no cumple alguna de sus condiciones. En ese caso debe "
      "desinstalar el programa y destruir todas sus copias." },
    { "9. Ley aplicable. Este contrato se rige por las leyes del país donde usted adquirió el programa." },
};
} // namespace

TBIFEntry *InitializeLicenseFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TLicenseForm::Class, nullptr, 0);
    return entry;
}

TLicenseForm::TLicenseForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(20);
}

void TLicenseForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
    TStrings *lines = Agreement->Lines();
    lines->BeginUpdate();
    for (const char *paragraph : Opening)
        lines->Add(paragraph);
    for (const auto &section : Sections) {
        for (const char *paragraph : section)
            lines->Add(paragraph);
        lines->Add("");
    }
    lines->EndUpdate();
    // The text shows from its first line.
    Agreement->SetSelStart(0);
    Agreement->SetSelLength(0);
    Agreement->Perform(EM_SCROLLCARET, 0, 0);
}

void TLicenseForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    BackBtn->SetVisible(!IsFirst());
    FocusIfShown(CancelBtn);
}

void TLicenseForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TLicenseForm::BackBtnClick(TObject *)
{
    Previous();
}

void TLicenseForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
