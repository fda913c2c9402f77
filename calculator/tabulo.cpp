// The calculator program: its main window, the calculator, runs until it is closed.
#include "calculator/calcula01.h"
#include "calculator/registration.h"
#include "calculator/tabuloicon.h"
#include "controls/widgets/qxriched.h"
#include "platform/system/machine.h"
#include "platform/ui/forms.h"

#include <string>

int main()
{
    MapPathsThroughMachine();
    RegisterCalculatorClasses();
    Application->Initialize();
    InitializeQxRichEd();
    int result = 0;
    try {
        TIcon icon;
        icon.LoadFromBytes(std::string(TabuloIconBytes()));
        Application->SetIcon(&icon);
        TCalculadora *calculadora = nullptr;
        Application->CreateForm(calculadora);
        Application->Run();
    } catch (...) {
        // A form that cannot be made ends the program with its message.
        Application->HandleException(nullptr);
        result = 1;
    }
    FinalizeQxRichEd();
    ShutdownApplication();
    return result;
}
