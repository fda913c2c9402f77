#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/stdctrls.h"

// The licence agreement of the product; reading it and pressing Next accepts it.
class TLicenseForm : public TBaseInstallForm
{
public:
    explicit TLicenseForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *Label1 = nullptr;
    TTranslateLabel *Label3 = nullptr;
    TMemo *Agreement = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    void RefreshPage() override;

    // Handlers
    void FormCreate(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);
};

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeLicenseFormUnit();
