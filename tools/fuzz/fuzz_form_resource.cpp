// Form resources: any text read onto a fresh form, with every class of the
// window library, the data-aware controls and widgets, the installation
// engine and its dialogs registered, as a setup program's or the
// calculator's forms are read. A message box a component shows while it is
// read (a TInstall does) is answered at once: a fuzz target never waits for
// a person.
#include "controls/base/registration.h"
#include "controls/widgets/registration.h"
#include "installer/dialogs/registration.h"
#include "platform/classes/filer.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzFolder();
    RegisterInstallerDialogsClasses();
    RegisterControlsWidgetsClasses();
    RegisterControlsBaseClasses();
    Application->Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ScriptedMessageBoxes boxes;
    auto *form = new TForm(nullptr);
    try {
        ReadComponentText(form, AsText(data, size), "fuzz.dfm");
        FuzzReached() += form->ComponentCount() > 0;
    } catch (const Exception &) {
        // a damaged resource is refused, which is right
    }
    delete form;
    return 0;
}
