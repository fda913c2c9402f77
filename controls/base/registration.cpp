#include "controls/base/registration.h"

#include "controls/base/Qxintl.h"
#include "controls/base/qxdbedit.h"
#include "platform/ui/registration.h"

void RegisterControlsBaseClasses()
{
    RegisterUiClasses();
    RegisterClasses({ &TqxDBPicture::Class, &TqxCustomMaskEdit::Class, &TqxDBCustomEdit::Class, &TqxDBEdit::Class,
        &TqxIntl::Class });
}
