#include "installer/engine/cmp_TInstall/runsupport.h"

#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/windows.h"
#include "platform/ui/forms.h"

std::string SetupProgramPath()
{
    return Machine().WindowsPath(Application->ExeName());
}

bool WizardLanguage(int &language)
{
    TTranslator *translator = GlobalTranslator();
    if (!translator)
        return false;
    language = translator->TranslateIntoLanguage();
    return true;
}

void SetWizardLanguage(int language)
{
    if (TTranslator *translator = GlobalTranslator())
        translator->SetTranslateIntoLanguage(static_cast<TKvraLanguage>(language));
}

void RemoveLoaderProgram(const std::string &programPath)
{
    const std::string folder = RemoveTrailingBackslash(ExtractFileDir(programPath));
    DeleteFile(programPath);
    // The program may be named by its host path (Z:) and the temporary folder
    // by its drive path (C:): compare the files they name.
    const std::string temp = MapPath(RemoveTrailingBackslash(GetTempPath()));
    if (MapPath(RemoveTrailingBackslash(ExtractFileDir(folder))) == temp && MapPath(folder) != temp)
        RemoveDir(folder); // refuses a folder that still holds anything
}
