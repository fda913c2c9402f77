#include "installer/dialogs/dlgcmp_ChangeDisk.h"

#include "installer/dialogs/ordlg_ChangeDisk.h"

const TMetaClass TChangeDiskDlg::Class { "TChangeDiskDlg", &TCustomBaseInstallDlg::Class };

namespace
{
using D = TDialogPublish<TChangeDiskDlg>;
using I = TInstallPublish<TChangeDiskDlg>;
// clang-format off
const TClassRegistrar<TChangeDiskDlg> registrar({
    D::AutoSetFont(),
    D::AutoTranslate(),
    I::Container(),
    D::DialogManager(),
    D::OverrideMainTranslator(),
    D::ThemeBitmap(),
    D::TranslateIntoLanguage(),
});
// clang-format on
} // namespace

void InitializeChangeDiskDialogUnit()
{
    static const bool done = (UnregisterChangeDiskForm(InitializeChangeDiskFormUnit()), true);
    (void)done;
}

TChangeDiskDlg::TChangeDiskDlg(TComponent *owner)
    : TCustomBaseInstallDlg(owner)
{
    JoinChangeDiskRegistry(dmChangeDisk);
}

const TMetaClass &TChangeDiskDlg::FormClass() const
{
    return TChangeDiskForm::Class;
}
