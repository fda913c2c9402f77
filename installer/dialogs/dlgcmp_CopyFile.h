#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

// The copy-progress window's component: which during-copy manager opens the
// window, and where (474 x 146 by default, centred at the bottom of the
// screen, 30 pixels and the caption height above its edge).
class TCopyFileDlg : public TCustomBaseInstallDlg
{
public:
    explicit TCopyFileDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override;
};

// The unit's start-up: the window is opened through its component only.
void InitializeCopyFileDialogUnit();
