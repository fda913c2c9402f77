#include "installer/app/setupprogram.h"

#include <string>
#include <vector>

#include "installer/app/Unit1.h"
#include "installer/app/registration.h"
#include "installer/dialogs/registration.h"
#include "installer/dialogs/wizardunits.h"
#include "platform/system/machine.h"
#include "platform/ui/forms.h"

void StartSetupProgram(int argc, char **argv)
{
    MapPathsThroughMachine();
    RegisterInstallerDialogsClasses();
    RegisterInstallerAppClasses();
    SetProgramArguments(std::vector<std::string>(argv, argv + argc));
    InitializeWizardUnits();
    Application->Initialize();
}

int RunSetupProgram()
{
    try {
        Application->CreateForm(Form1);
        // A command line that could not be taken ends the program once its
        // message is shown, before the window comes up with nothing to do.
        if (Form1->Install1 && Form1->Install1->ExitStatus() != 0)
            return Form1->Install1->ExitStatus();
        Application->Run();
        return Form1->Install1 ? Form1->Install1->ExitStatus() : 0;
    } catch (...) {
        // A configuration that cannot be read ends the program with its message.
        Application->HandleException(nullptr);
        return 1;
    }
}
