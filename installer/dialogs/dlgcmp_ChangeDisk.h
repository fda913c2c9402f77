#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

// The next-disk prompt's component: with it in the configuration the
// change-disk manager shows the prompt when the archive goes on to another
// disk; without it the engine asks with a plain message.
class TChangeDiskDlg : public TCustomBaseInstallDlg
{
public:
    explicit TChangeDiskDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override;
};

// The unit's start-up: the prompt is shown through its component only.
void InitializeChangeDiskDialogUnit();
