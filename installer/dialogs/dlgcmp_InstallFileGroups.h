#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

// The components page's component: order 50 before the install; alone it
// shows the page at event -992.
class TInstallFileGroupsDlg : public TBaseInstallDlg
{
public:
    explicit TInstallFileGroupsDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override;
    // Exception "Cannot run this dialog %s with a blank Container property".
    bool ShowForm() override;
    void AssignDialogProperties() override;
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
};

// The unit's start-up: the page is shown through its component only.
void InitializeInstallFileGroupsDialogUnit();
