#include "calculator/registration.h"

#include "calculator/CalculaAcercaDe.h"
#include "calculator/calcula01.h"
#include "calculator/zacerca.h"
#include "controls/base/registration.h"

// Only the classes the calculator's forms are made of (the platform's controls
// and the library's masked edit): registering the whole widget library would
// link the grid and the data-aware rich edit, and the data layer with them.
void RegisterCalculatorClasses()
{
    RegisterControlsBaseClasses();
    RegisterClasses({ &TCalculadora::Class, &TFAcercaDe::Class, &TfCalculaAcercaDe::Class });
}
