// The setup program: its main form carries the whole installation, which
// runs by itself once the window first shows (or builds the distribution
// with -b).
#include <string>
#include <vector>

#include "installer/app/Unit1.h"
#include "installer/app/registration.h"
#include "installer/dialogs/registration.h"
#include "installer/dialogs/wizardunits.h"
#include "platform/ui/forms.h"

int main(int argc, char **argv)
{
    RegisterInstallerDialogsClasses();
    RegisterInstallerAppClasses();
    SetProgramArguments(std::vector<std::string>(argv, argv + argc));
    InitializeWizardUnits();
    Application->Initialize();
    int result = 0;
    try {
        Application->CreateForm(Form1);
        Application->Run();
    } catch (...) {
        // A configuration that cannot be read ends the program with its message.
        Application->HandleException(nullptr);
        result = 1;
    }
    ShutdownApplication();
    return result;
}
