#include "installer/dialogs/ordlg_CopyFile.h"

#include "platform/classes/typinfo.h"

const TMetaClass TCopyFileForm::Class { "TCopyFileForm", &TBaseDuringCopyForm::Class };

namespace
{
using F = TCopyFileForm;
// clang-format off
const TClassRegistrar<TCopyFileForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"CancelBtnClick", &F::CancelBtnClick}},
    {{"UnZipImage", &F::UnZipImage}, {"TransferBitmap", &F::TransferBitmap},
     {"lblCopyFileHeader", &F::lblCopyFileHeader}, {"lblCopyingFile", &F::lblCopyingFile},
     {"Label1", &F::Label1}, {"ProgressBar1", &F::ProgressBar1}, {"Label2", &F::Label2},
     {"ProgressBar2", &F::ProgressBar2}, {"CancelBtn", &F::CancelBtn}});
// clang-format on

void ShowResourceBitmap(TImage *image, const std::string &name)
{
    if (BitmapResourceExists(name))
        image->Picture()->Bitmap()->LoadFromResourceName(name);
}
} // namespace

TDCFEntry *InitializeCopyFileFormUnit()
{
    static TDCFEntry *const entry = RegisterDuringCopyForm(TCopyFileForm::Class, nullptr, 0);
    return entry;
}

TCopyFileForm::TCopyFileForm(TComponent *owner)
    : TBaseDuringCopyForm(owner)
{
    SetManager(FindDialogManager(dmDuringCopyFiles));
}

void TCopyFileForm::FormCreate(TObject *)
{
    ShowResourceBitmap(UnZipImage, "KVRA_UNZIP");
    ShowResourceBitmap(TransferBitmap, "KVRA_TRANSFER");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
}

void TCopyFileForm::Update(TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus)
{
    if (fileStatus) {
        TransferBitmap->SetVisible(false);
        ProgressBar2->SetPosition(fileStatus->TotalPercent);
        ProgressBar1->SetPosition(fileStatus->FilePercent);
        lblCopyingFile->SetCaption(fileStatus->FileName);
    } else if (downloadStatus) {
        TransferBitmap->SetVisible(true);
        ProgressBar1->SetPosition(downloadStatus->Percent);
        lblCopyingFile->SetCaption(downloadStatus->FileName);
    }
    // The engine does not go back to the message loop between files.
    Refresh();
}

void TCopyFileForm::CancelBtnClick(TObject *)
{
    Cancel();
}
