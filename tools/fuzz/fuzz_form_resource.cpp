// Form resources: any text read onto a fresh form, with every class of the
// window library, the data-aware controls and the installation engine
// registered, as a setup program's or the calculator's forms are read.
#include "controls/base/registration.h"
#include "installer/engine/registration.h"
#include "platform/classes/filer.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/forms.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzFolder();
    RegisterInstallerEngineClasses();
    RegisterControlsBaseClasses();
    Application->Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *form = new TForm(nullptr);
    try {
        ReadComponentText(form, AsText(data, size), "fuzz.dfm");
    } catch (const Exception &) {
        // a damaged resource is refused, which is right
    }
    delete form;
    return 0;
}
