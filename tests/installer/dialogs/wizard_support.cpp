#include "tests/installer/dialogs/wizard_support.h"

#include <cstdlib>

#include "installer/dialogs/wizardunits.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"
#include "platform/system/machine.h"
#include "platform/ui/testing_environment.h"

namespace wizard_test
{

const TMetaClass TSetupForm::Class { "TSetupForm", &TForm::Class };

namespace
{
const TClassRegistrar<TSetupForm> registrar({});
const bool registered = (RegisterClasses({ &TSetupForm::Class }), true);
auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

const char *const Lines[][2] = {
    { "2;Please read the following License Agreement.",
        "2;Por favor lea el siguiente contrato de licencia." },
    { "4;< Previous", "4;< Anterior" },
    { "5;Next >", "5;Siguiente >" },
    { "6;Cancel", "6;Cancelar" },
    { "8;Please read the information below before you install this software on your computer.",
        "8;Por favor lea la siguiente información antes de instalar este programa en su computadora." },
    { "10;This program will install the software on your computer.",
        "10;Este programa instalará el software en su computadora." },
    { "11;It is strongly recommended that you exit all Windows programs before running this setup. If you "
      "need to close any programs, click Cancel to quit the setup and then close the programs.",
        "11;Se recomienda cerrar todos los programas de Windows antes de ejecutar esta instalación. Si "
        "necesita "
        "cerrar algún programa, presione Cancelar para salir de la instalación y luego ciérrelo." },
    { "12;Click Next to continue with the installation.",
        "12;Presione Siguiente para continuar con la instalación." },
    { "14;Processing", "14;Procesando" },
    { "15;File progress", "15;Progreso del archivo" },
    { "16;Total progress", "16;Progreso total" },
    { "38;The software has been properly installed. You may start the software by clicking on the icon.",
        "38;El software se instaló correctamente. Puede iniciarlo haciendo clic en su icono." },
    { "41;Setup will add program icons to the Program Folder listed below. You may type a new folder name, "
      "or select from the E&xisting Folders list.",
        "41;La instalación agregará los iconos del programa a la carpeta de programas indicada abajo. Puede "
        "escribir un nombre nuevo o elegir una de la lista de carpetas e&xistentes." },
    { "42;&Program Folder", "42;&Carpeta de programas" },
    { "43;E&xisting Folders", "43;Carpetas e&xistentes" },
    { "44;Setup needs the next disk", "44;La instalación necesita el siguiente disco" },
    { "45;Please insert disk number %d", "45;Por favor inserte el disco número %d" },
    { "46;If the files on this disk can be found in another location, for example, in another drive, enter its "
      "full path or click the Browse button to select its path.",
        "46;Si los archivos de este disco están en otro lugar, por ejemplo en otra unidad, escriba su ruta "
        "completa o presione Examinar para elegirla." },
    { "47;Path:", "47;Ruta:" },
    { "49;Proceed", "49;Seguir" },
    { "52;Several components could not be installed on your system because they were in use. For the "
      "installation to proceed, you will need to reboot your computer. If you decide not to reboot now, the "
      "software will probably not work until you do reboot.",
        "52;Algunos componentes no se pudieron instalar porque estaban en uso. Para completar la instalación "
        "debe reiniciar su computadora. Si decide no hacerlo ahora, es probable que el software no funcione "
        "hasta que la reinicie." },
    { "53;Yes, I would like to reboot windows", "53;Sí, deseo reiniciar Windows ahora" },
    { "54;No, I would not like to reboot windows", "54;No, no deseo reiniciar Windows ahora" },
    { "60;This software has not been properly installed and will not work correctly if you try to use it.",
        "60;El software no se instaló correctamente y no funcionará bien si intenta usarlo." },
    { "62;Select a language", "62;Seleccione un idioma" },
    { "72;Finish", "72;Finalizar" },
    { "90;Please type the name of the program folder.",
        "90;Por favor escriba el nombre de la carpeta de programas." },
    { "91;The program folder must be a folder inside the Programs folder of the Start menu.",
        "91;La carpeta de programas debe estar dentro de la carpeta Programas del menú Inicio." },
    { "92;A folder name cannot contain any of the following characters: / : * ? \" < > |",
        "92;El nombre de una carpeta no puede contener ninguno de estos caracteres: / : * ? \" < > |" },
    { "93;Reading file information...", "93;Leyendo la información de los archivos..." },
    { "101;Welcome", "101;Bienvenida" },
    { "102;Software license agreement", "102;Contrato de licencia" },
    { "103;Readme information", "103;Información importante" },
    { "104;Setup complete", "104;Instalación terminada" },
    { "105;Setup incomplete", "105;Instalación incompleta" },
    { "106;Reboot windows", "106;Reiniciar Windows" },
    { "107;Select folder in start menu", "107;Carpeta del menú Inicio" },
    { "108;Copying installation files", "108;Copiando los archivos de instalación" },

    // The setup type and components pages, and the folder browser
    { "18;The program will be installed with the most common options. Recommended for most users.",
        "18;El programa se instalará con las opciones más comunes. Recomendada para la mayoría de los usuarios." },
    { "20;The program will be installed with the minimum required options.",
        "20;El programa se instalará con las opciones mínimas necesarias." },
    { "22;You choose the parts of the program to install. Recommended for advanced users.",
        "22;Usted elige las partes del programa que se instalarán. Recomendada para usuarios avanzados." },
    { "24;Every part of the program will be installed. This takes the most disk space.",
        "24;Se instalarán todas las partes del programa. Es la que más espacio ocupa en el disco." },
    { "26;&Browse", "26;&Examinar" },
    { "28;Select the components you want to install, clear the components you do not want to install. "
      "Double click on a group to see all of its subgroups.",
        "28;Marque los componentes que desea instalar y desmarque los que no desea instalar. Haga doble clic "
        "en un grupo para ver todos sus subgrupos." },
    { "29;Description", "29;Descripción" },
    { "48;&Browse...", "48;&Examinar..." },
    { "59;Click the type of Setup you prefer, then click the Next button.",
        "59;Elija el tipo de instalación que prefiera y luego presione Siguiente." },
    { "201;Setup type", "201;Tipo de instalación" },
    { "202;Typical", "202;Típica" },
    { "203;Compact", "203;Compacta" },
    { "204;Full", "204;Completa" },
    { "205;Custom", "205;Personalizada" },
    { "206;Destination Directory", "206;Carpeta de destino" },
    { "207;Select components to install", "207;Selección de componentes" },
    { "208;Space Required:", "208;Espacio requerido:" },
    { "209;Space Available:", "209;Espacio disponible:" },
    { "210;Bytes", "210;Bytes" },
    { "211;%s is not a complete folder name. Type the folder with its drive, for example C:\\Folder",
        "211;%s no es un nombre completo de carpeta. Escriba la carpeta con su unidad, por ejemplo C:\\Carpeta" },
    { "212;%s is not a valid folder name", "212;%s no es un nombre de carpeta válido" },
    { "213;The folder %s cannot be created", "213;No se puede crear la carpeta %s" },
    { "214;Tabulo", "214;Tabulo" },
    { "215;Program", "215;Programa" },
    { "216;Help", "216;Ayuda" },
    { "217;Examples", "217;Ejemplos" },
    { "218;Calculator and its paper tape.", "218;La calculadora y su tira de papel." },
};

std::string Quoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "''";
        else
            out += c;
    }
    out += "'";
    return out;
}

// Scripts of a test that has ended are dropped.
int generation = 0;

// A modal window that the script's last step did not end fails the test
// (a window a step just closed still looks open for a round or two).
void Guard(TCustomForm *open, int rounds)
{
    if (!open)
        return;
    QueueCall([open, rounds, mine = generation] {
        if (mine != generation || ModalForm() != open)
            return;
        if (rounds < 20)
            return Guard(open, rounds + 1);
        ADD_FAILURE() << "a modal window is still open after the script: " << open->Caption();
        open->SetModalResult(mrCancel);
    });
}

void RunSteps(
    std::shared_ptr<std::vector<std::function<void()>>> steps, size_t next, bool guard, int waited = 0)
{
    if (next == steps->size()) {
        if (guard)
            Guard(ModalForm(), 0);
        return;
    }
    QueueCall([steps, next, guard, waited, mine = generation] {
        if (mine != generation)
            return;
        // A step acts on a modal window, as a person does once it shows:
        // while none is open and active yet (the wizard is still making its
        // pages), it waits for the next round.
        TCustomForm *modal = ModalForm();
        if ((!modal && waited < 100000) || (modal && !modal->Active() && waited < 200))
            return RunSteps(steps, next, guard, waited + 1);
        (*steps)[next]();
        RunSteps(steps, next + 1, guard);
    });
}

} // namespace

std::string TranslatorResource()
{
    std::string english, spanish;
    for (const auto &line : Lines) {
        english += "\n      " + Quoted(line[0]);
        spanish += "\n      " + Quoted(line[1]);
    }
    return "  object MainTranslator: TTranslator\n"
           "    lgEnglish.Strings.Strings = ("
        + english + ")\n    lgSpanish.Strings.Strings = (" + spanish
        + ")\n    TranslateIntoLanguage = klSpanish\n  end\n";
}

void Script(std::vector<std::function<void()>> steps, bool guard)
{
    // The guard looks once a modal window has opened, even without steps.
    if (guard)
        steps.push_back([] {});
    RunSteps(std::make_shared<std::vector<std::function<void()>>>(std::move(steps)), 0, guard);
}

TCustomForm *ModalForm()
{
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
        if (Screen->Forms(i)->IsModal())
            return Screen->Forms(i);
    return nullptr;
}

TBaseFormContainer *ShownFrame()
{
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
        if (auto *frame = dynamic_cast<TBaseFormContainer *>(Screen->Forms(i)); frame && frame->IsModal())
            return frame;
    return nullptr;
}

TBaseInstallForm *ShownPage()
{
    TBaseFormContainer *frame = ShownFrame();
    if (!frame || frame->CurrentPage() < 0)
        return nullptr;
    return frame->Pages(frame->CurrentPage());
}

void ExpectRefusedWithoutContainer(TCustomBaseInstallDlg *dialog, const std::string &name)
{
    try {
        dialog->ShowForm();
        ADD_FAILURE() << name << " shown without a container";
    } catch (const Exception &error) {
        EXPECT_EQ(error.Message(), "Cannot run this dialog " + name + " with a blank Container property");
    }
}

void Wizard::SetUp()
{
    root_ = std::string(std::getenv("WINROOT")) + "/wizard-"
        + ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-"
        + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    OpenMachine(root_);
    SetProgramArguments({ "setup", "-sC:\\build" });
    InitializeWizardUnits();
}

void Wizard::TearDown()
{
    SetProgramArguments({ "setup" });
    ++generation;
    ProcessPendingEvents();
}

std::unique_ptr<TSetupForm> Wizard::LoadForm(const std::string &text)
{
    auto form = std::make_unique<TSetupForm>(nullptr);
    ReadComponentText(form.get(), text, "setup.dfm");
    return form;
}

} // namespace wizard_test
