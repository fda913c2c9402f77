// A setup program for the tests of the distribution chain: the engine's
// install component on a main form whose resource is the file "setup.dfm"
// beside the program (so a test writes the configuration, and the loader
// brings it along as a presetup file). No one sits at its message boxes:
// each box is appended to the file $ORVEX_SETUP_LOG and answered OK.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/registration.h"
#include "platform/classes/filer.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

namespace
{

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
const TMetaClass TSetupForm::Class { "TSetupForm", &TForm::Class };
const TClassRegistrar<TSetupForm> setupFormRegistrar({});
const bool registered = (RegisterClasses({ &TSetupForm::Class }), true);

class LoggedMessageBoxes : public IMessageBoxService
{
public:
    LoggedMessageBoxes() { SetMessageBoxService(this); }
    int Show(HWND, const std::string &text, const std::string &, uint32_t, uint16_t) override
    {
        if (const char *log = std::getenv("ORVEX_SETUP_LOG"))
            std::ofstream(log, std::ios::app) << text << "\n";
        return IDOK;
    }
};

} // namespace

int main(int argc, char **argv)
{
    RegisterInstallerEngineClasses();
    SetProgramArguments(std::vector<std::string>(argv, argv + argc));
    Application->Initialize();
    LoggedMessageBoxes boxes;
    int result = 0;
    try {
        const std::string self = Machine().WindowsPath(Application->ExeName());
        std::ifstream in(MapPath(IncludeTrailingBackslash(ExtractFileDir(self)) + "setup.dfm"));
        std::stringstream text;
        text << in.rdbuf();
        static const std::string resource = text.str();
        static const TFormResourceRegistrar registrar("TSetupForm", "setup.dfm", resource);
        TSetupForm *form = nullptr;
        Application->CreateForm(form);
        Application->Run();
    } catch (...) {
        Application->HandleException(nullptr);
        result = 1;
    }
    SetMessageBoxService(nullptr);
    ShutdownApplication();
    return result;
}
