#include "calculator/registration.h"

#include "calculator/CalculaAcercaDe.h"
#include "calculator/calcula01.h"
#include "calculator/zacerca.h"
#include "controls/widgets/registration.h"

void RegisterCalculatorClasses()
{
    RegisterControlsWidgetsClasses();
    RegisterClasses({ &TCalculadora::Class, &TFAcercaDe::Class, &TfCalculaAcercaDe::Class });
}
