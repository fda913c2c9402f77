#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

// The setup-complete page's component: order 10; alone it shows the page at the
// install component's own notice (ieGoodInstall).
class TGoodInstallationDlg : public TBaseInstallDlg
{
public:
    explicit TGoodInstallationDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override;
    void AssignDialogProperties() override;
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
};

// The unit's start-up: the page is shown through its component only.
void InitializeGoodInstallDialogUnit();
