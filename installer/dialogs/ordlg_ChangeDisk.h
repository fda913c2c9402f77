#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/stdctrls.h"

// Asks for the next disk of the archive: the user inserts it and goes on,
// or points with Browse to the folder that holds the disk's file. The
// folder goes back to the engine in the disk parameter.
class TChangeDiskForm : public TBaseChangeDiskForm
{
public:
    explicit TChangeDiskForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *PromptDiskLabel = nullptr;
    TTranslateLabel *Label2 = nullptr;
    TTranslateLabel *Label4 = nullptr;
    TEdit *PathEdit = nullptr; // read-only: the path is chosen with Browse
    TTranslateBitBtn *BrowseBtn = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *InstallBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    // Handlers
    void FormCreate(TObject *sender);
    void FormShow(TObject *sender);
    void BrowseBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);
};

// The unit's start-up: registers the form on its own, once; answers that entry.
TBCDFEntry *InitializeChangeDiskFormUnit();
