#include "installer/app/registration.h"

#include "installer/app/Unit1.h"
#include "installer/dialogs/registration.h"

void RegisterInstallerAppClasses()
{
    RegisterInstallerDialogsClasses();
    RegisterClasses({ &TForm1::Class });
}
