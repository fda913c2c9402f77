#include "platform/rich/registration.h"

#include "platform/classes/registration.h"
#include "platform/rich/comctrls.h"
#include "platform/ui/registration.h"

void RegisterRichClasses()
{
    RegisterUiClasses();
    RegisterClasses({ &TCustomRichEdit::Class, &TRichEdit::Class });
}
