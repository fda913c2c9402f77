#include "installer/dialogs/ordlg_ChangeDisk.h"

#include "installer/dialogs/cmp_TOpenFolderDialog.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

const TMetaClass TChangeDiskForm::Class { "TChangeDiskForm", &TBaseChangeDiskForm::Class };

namespace
{
using F = TChangeDiskForm;
// clang-format off
const TClassRegistrar<TChangeDiskForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"FormShow", &F::FormShow}, {"BrowseBtnClick", &F::BrowseBtnClick},
     {"CancelBtnClick", &F::CancelBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"PromptDiskLabel", &F::PromptDiskLabel}, {"Label2", &F::Label2},
     {"Label4", &F::Label4}, {"PathEdit", &F::PathEdit}, {"BrowseBtn", &F::BrowseBtn}, {"Divider", &F::Divider},
     {"InstallBtn", &F::InstallBtn}, {"CancelBtn", &F::CancelBtn}});
// clang-format on
} // namespace

TBCDFEntry *InitializeChangeDiskFormUnit()
{
    static TBCDFEntry *const entry = RegisterChangeDiskForm(TChangeDiskForm::Class, nullptr, 0);
    return entry;
}

TChangeDiskForm::TChangeDiskForm(TComponent *owner)
    : TBaseChangeDiskForm(owner)
{
    SetManager(FindDialogManager(dmChangeDisk));
}

void TChangeDiskForm::FormCreate(TObject *)
{
    // The prompt's own picture: the manager gives it no theme.
    if (BitmapResourceExists("KVRA_DISK"))
        ThemeBitmap->Picture()->Bitmap()->LoadFromResourceName("KVRA_DISK");
    AssignButtonGlyph(InstallBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
}

void TChangeDiskForm::FormShow(TObject *)
{
    if (TDiskParameter *disk = DiskParameter()) {
        PromptDiskLabel->SetCaption(
            Format(TranslateString("Please insert disk number %d"), disk->DiskNumber));
        PathEdit->SetText(disk->Path);
    }
    if (InstallBtn->CanFocus())
        InstallBtn->SetFocus();
}

void TChangeDiskForm::BrowseBtnClick(TObject *)
{
    std::unique_ptr<TOpenFolderDialog> browser = std::make_unique<TOpenFolderDialog>(nullptr);
    browser->SetShowCreateButton(false);
    browser->SetShowPathEdit(false);
    TDiskParameter *disk = DiskParameter();
    if (browser->Execute() && disk)
        disk->Path = browser->Directory();
    if (disk)
        PathEdit->SetText(disk->Path);
}

void TChangeDiskForm::CancelBtnClick(TObject *)
{
    Cancel();
}
