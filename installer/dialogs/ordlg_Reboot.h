#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/stdctrls.h"

// Asks whether Windows restarts now when files were in use; the answer is
// the install component's Reboot.
class TRebootForm : public TBaseInstallForm
{
public:
    explicit TRebootForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *Label1 = nullptr;
    TRadioGroup *RG = nullptr;
    TLabel *Label2 = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *FinishBtn = nullptr;

    // Set when the page is shown for an update: the answer starts at "No"
    // unless a restart is already asked for.
    bool Updating() const { return updating_; }
    void SetUpdating(bool value) { updating_ = value; }

    void RefreshPage() override;

    // Handlers
    void FormCreate(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void RGClick(TObject *sender);

private:
    bool updating_ = false;
};

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeRebootFormUnit();
