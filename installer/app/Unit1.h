#pragma once

#include "installer/dialogs/cmp_TBackdrop.h"
#include "installer/dialogs/cmp_TRotate3DLabel.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/forms.h"

// The setup program's main window. Its form resource is the whole
// configuration of the installation: reading it makes the install component
// with everything it installs and the wizard that asks for it.
class TForm1 : public TForm
{
public:
    explicit TForm1(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TBackdrop *BackDrop = nullptr;
    TRotate3DLabel *ProductLabel = nullptr;
    TInstall *Install1 = nullptr;
    TTranslator *MainTranslator = nullptr;

    // Handlers
    void Install1AfterInstallObjects(TInstallContainer *container, bool wasAborted);
};

// The main form of the program, while it exists.
extern TForm1 *Form1;
