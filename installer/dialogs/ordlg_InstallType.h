#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/stdctrls.h"

class TCustomInstall;

// The setup type (typical, compact, full, custom) and the destination of the
// installation, written straight into the install component.
class TInstallTypeForm : public TBaseInstallForm
{
public:
    explicit TInstallTypeForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *TopDescriptionLabel = nullptr;
    TPageControl *PageControl = nullptr;
    TTabSheet *TypicalTab = nullptr;
    TTabSheet *CompactTab = nullptr;
    TTabSheet *FullTab = nullptr;
    TTabSheet *CustomTab = nullptr;
    TTranslateLabel *TypicalLabel = nullptr;
    TTranslateLabel *CompactLabel = nullptr;
    TTranslateLabel *FullLabel = nullptr;
    TTranslateLabel *CustomLabel = nullptr;
    TGroupBox *DirectoryGroupBox = nullptr;
    TEdit *edDestDir = nullptr;
    TTranslateBitBtn *BrowseBtn = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    void RefreshPage() override;
    // Without an install component, or when it installs everything always.
    bool Skip() override;

    // Handlers
    void FormCreate(TObject *sender);
    void PageControlChange(TObject *sender);
    void edDestDirChange(TObject *sender);
    void BrowseBtnClick(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);

private:
    TCustomInstall *Install() const;
    bool updating_ = false;
};

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeInstallTypeFormUnit();
