#include "calculator/registration.h"

#include "calculator/CalculaAcercaDe.h"
#include "calculator/calcula01.h"
#include "calculator/zacerca.h"
#include "controls/base/registration.h"

void RegisterCalculatorClasses()
{
    RegisterControlsBaseClasses();
    RegisterClasses({ &TCalculadora::Class, &TFAcercaDe::Class, &TfCalculaAcercaDe::Class });
}
