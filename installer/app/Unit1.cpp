#include "installer/app/Unit1.h"

#include "installer/dialogs/rutinst.h"
#include "platform/classes/typinfo.h"

const TMetaClass TForm1::Class { "TForm1", &TForm::Class };

TForm1 *Form1 = nullptr;

namespace
{
using F = TForm1;
// clang-format off
const TClassRegistrar<TForm1> registrar({},
    {{"Install1AfterInstallObjects", &F::Install1AfterInstallObjects}},
    {{"BackDrop", &F::BackDrop}, {"ProductLabel", &F::ProductLabel}, {"Install1", &F::Install1},
     {"MainTranslator", &F::MainTranslator}});
// clang-format on
} // namespace

TForm1::TForm1(TComponent *owner)
    : TForm(owner)
{
}

void TForm1::Install1AfterInstallObjects(TInstallContainer *, bool wasAborted)
{
    // A cancelled run leaves the list as the engine wrote it, for the uninstaller.
    if (!wasAborted)
        CompactUninstallList();
}
