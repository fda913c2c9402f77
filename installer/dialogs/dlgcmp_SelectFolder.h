#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

class TCustomShellLinkGroup;

// The Start-menu folder page's component: order 60 before the install, on
// the main link group; alone it shows the page at event -991, before the
// group makes its shortcuts.
class TSelectFolderDlg : public TBaseInstallDlg
{
public:
    explicit TSelectFolderDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Container, which must be a link group: Exception "The container for
    // %s must be a TCustomShellLinkGroup" when it holds anything else.
    TCustomShellLinkGroup *LinkGroup() const;
    void SetLinkGroup(TCustomShellLinkGroup *value);

    const TMetaClass &FormClass() const override;
    // Exception "Cannot run this dialog %s with a blank Container property".
    bool ShowForm() override;
    void AssignDialogProperties() override;
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
};

// The unit's start-up: the page is shown through its component only.
void InitializeSelectFolderDialogUnit();
