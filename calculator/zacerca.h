#pragma once

#include "platform/ui/buttons.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

// The company's about box: the running program's icon, its name and version
// and the product's notices. Programs derive their own from it and change
// only the texts in their resource.
class TFAcercaDe : public TForm
{
public:
    explicit TFAcercaDe(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TPanel *Panel1 = nullptr;
    TImage *ProgramIcon = nullptr;
    TLabel *ProductName = nullptr;
    TLabel *Version = nullptr;
    TLabel *Label1 = nullptr;
    TStaticText *StaticText1 = nullptr;
    TStaticText *StaticText2 = nullptr;
    TBitBtn *OKButton = nullptr;

    // Handlers
    void FormCreate(TObject *sender);
};
