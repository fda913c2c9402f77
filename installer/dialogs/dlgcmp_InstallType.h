#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

// The setup type page's component: order 40 before the install; alone it
// shows the page at event -999.
class TInstallTypeDlg : public TBaseInstallDlg
{
public:
    explicit TInstallTypeDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override;
    // Exception "Cannot run this dialog %s with a blank Container property".
    bool ShowForm() override;
    void AssignDialogProperties() override;
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
};

// The unit's start-up: the page is shown through its component only.
void InitializeInstallTypeDialogUnit();
