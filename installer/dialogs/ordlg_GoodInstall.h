#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/stdctrls.h"

// Shown after a good installation.
class TGoodInstallForm : public TBaseInstallForm
{
public:
    explicit TGoodInstallForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *Label1 = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *FinishBtn = nullptr;

    void RefreshPage() override;

    // Handlers
    void FormCreate(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
};

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeGoodInstallFormUnit();
