#include "installer/engine/cmp_TInstall/runsupport.h"

#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/windows.h"

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
    const std::string temp = RemoveTrailingBackslash(GetTempPath());
    if (SameText(RemoveTrailingBackslash(ExtractFileDir(folder)), temp) && !SameText(folder, temp))
        RemoveDir(folder); // refuses a folder that still holds anything
}
