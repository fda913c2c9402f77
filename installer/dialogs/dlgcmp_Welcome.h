#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

// The welcome page's component: order 10 before the install; alone it shows
// the page at event -982.
class TWelcomeDlg : public TBaseInstallDlg
{
public:
    explicit TWelcomeDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override;
    void AssignDialogProperties() override;
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
};

// The unit's start-up: the page is shown through its component only.
void InitializeWelcomeDialogUnit();
