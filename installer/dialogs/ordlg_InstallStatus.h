#pragma once

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

// A small borderless box with one status text of the engine, such as
// "Reading file information...". Its component sizes it to the text.
class TInstallStatusForm : public TForm
{
public:
    explicit TInstallStatusForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TPanel *pnlBack = nullptr;
    TImage *Image1 = nullptr;
    TPanel *pnlMessage = nullptr;
    TLabel *lblMessage = nullptr;

    // Handlers
    void FormCreate(TObject *sender);
};
