// The setup program's world for the wizard tests: a fresh machine and a
// 1024 x 768 screen per test, scripted message boxes, the wizard's units
// started, a form that owns the install tree, and scripts that act inside
// the modal loops the wizard runs.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/dialogs/dlgcmp_TBaseDlg.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"

namespace wizard_test
{

// The setup program's main form: it owns the install component and its tree.
class TSetupForm : public TForm
{
public:
    explicit TSetupForm(TComponent *owner)
        : TForm(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The wizard's texts in English and Spanish, as the setup program's
// translator carries them; the form resource lines of a TTranslator that
// translates into Spanish.
std::string TranslatorResource();

// Steps run one after the other from the message loop, each once the loop
// next looks for events while a modal window is open, so that each may wait
// for a window the one before opened. With a guard, a modal window still open after the last step is
// failed and cancelled, so that a broken wizard cannot hang the test.
void Script(std::vector<std::function<void()>> steps, bool guard = true);

// The modal form showing now (the innermost), or null.
TCustomForm *ModalForm();
// The wizard frame showing now, or null.
TBaseFormContainer *ShownFrame();
// The page on top in the frame showing now, or null.
TBaseInstallForm *ShownPage();

// Shows a dialog whose container is cleared and expects the refusal that
// names the dialog.
void ExpectRefusedWithoutContainer(TCustomBaseInstallDlg *dialog, const std::string &name);

class Wizard : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Reads a resource into a new setup form; the form is freed by the test.
    std::unique_ptr<TSetupForm> LoadForm(const std::string &text);

    FixedScreen screen_ { 1024, 768 };
    ScriptedMessageBoxes boxes_;
    std::string root_;
};

} // namespace wizard_test
