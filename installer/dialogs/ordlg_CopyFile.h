#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/stdctrls.h"

// The window that follows the copy: the file being worked on, its progress
// and the whole operation's, and a Cancel button that stops the archive
// and the download at their next check. Modeless; the during-copy manager
// opens it on the first progress report and closes it at the end.
class TCopyFileForm : public TBaseDuringCopyForm
{
public:
    explicit TCopyFileForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *UnZipImage = nullptr;
    TImage *TransferBitmap = nullptr; // shown while a file downloads
    TTranslateLabel *lblCopyFileHeader = nullptr;
    TLabel *lblCopyingFile = nullptr;
    TTranslateLabel *Label1 = nullptr;
    TProgressBar *ProgressBar1 = nullptr; // the file
    TTranslateLabel *Label2 = nullptr;
    TProgressBar *ProgressBar2 = nullptr; // the whole operation
    TTranslateBitBtn *CancelBtn = nullptr;

    using TBaseDuringCopyForm::Update;
    // A file report moves both bars; a download report only the file's.
    void Update(TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus) override;

    // Handlers
    void FormCreate(TObject *sender);
    void CancelBtnClick(TObject *sender);
};

// The unit's start-up: registers the form on its own, once; answers that entry.
TDCFEntry *InitializeCopyFileFormUnit();
