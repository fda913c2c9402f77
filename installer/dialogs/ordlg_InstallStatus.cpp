#include "installer/dialogs/ordlg_InstallStatus.h"

#include "platform/classes/typinfo.h"

const TMetaClass TInstallStatusForm::Class { "TInstallStatusForm", &TForm::Class };

namespace
{
using F = TInstallStatusForm;
// clang-format off
const TClassRegistrar<TInstallStatusForm> registrar({},
    {{"FormCreate", &F::FormCreate}},
    {{"pnlBack", &F::pnlBack}, {"Image1", &F::Image1}, {"pnlMessage", &F::pnlMessage},
     {"lblMessage", &F::lblMessage}});
// clang-format on
} // namespace

TInstallStatusForm::TInstallStatusForm(TComponent *owner)
    : TForm(owner)
{
}

void TInstallStatusForm::FormCreate(TObject *)
{
    if (BitmapResourceExists("KVRA_UNZIP"))
        Image1->Picture()->Bitmap()->LoadFromResourceName("KVRA_UNZIP");
}
