#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"

// The first page: what the setup does, and whether this run installs the
// product afresh or updates an installed one (then it warns first).
class TWelcomeForm : public TBaseInstallForm
{
public:
    explicit TWelcomeForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *Label1 = nullptr;
    TTranslateLabel *Label2 = nullptr;
    TTranslateLabel *Label3 = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    // The result of the update test, made when Next is pressed.
    bool Installed() const { return installed_; }

    void RefreshPage() override;

    // Handlers
    void FormCreate(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);

private:
    bool installed_ = false;
};

// The warning asked before an update, as the product has always worded it.
extern const char *const UpdateWarning;

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeWelcomeFormUnit();
