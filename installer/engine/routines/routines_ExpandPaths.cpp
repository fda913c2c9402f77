#include "installer/engine/routines/routines_ExpandPaths.h"

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/system/machine.h"

namespace
{

const char *const ShellFolders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char *const CurrentVersion = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The fallbacks are worked out only when the registry has no answer: they
// look at the disk, and a destination is looked up several times per file.
std::string ShellFolder(const std::string &name, const std::function<std::string()> &fallback)
{
    return RemoveTrailingBackslash(RegReadString(rkCurrentUser, ShellFolders, name, fallback));
}

// The current folder is a host folder; it lies on the machine drive whose
// folder holds it, and anywhere else on Z:, the host's own root.
std::string CurrentDrive()
{
    const std::string current = IncludeTrailingBackslash(GetCurrentDir());
    const std::string drive = ExtractFileDrive(current);
    if (!drive.empty())
        return drive;
    for (char letter = 'A'; letter < 'Z'; ++letter) {
        const std::string folder = Machine().DriveFolder(letter) + "/";
        if (current.compare(0, folder.size(), folder) == 0)
            return std::string(1, letter) + ":";
    }
    return "Z:";
}

} // namespace

std::string GetStartMenuDir()
{
    return ShellFolder("Start Menu", [] { return GetWindowsDir() + "\\Startmen"; });
}
std::string GetProgramsMenuDir()
{
    return ShellFolder("Programs", [] { return GetStartMenuDir() + "\\Programs"; });
}
std::string GetDesktopDir()
{
    return ShellFolder("Desktop", [] { return GetWindowsDir() + "\\Desktop"; });
}
std::string GetStartupDir()
{
    return ShellFolder("Startup", [] { return GetWindowsDir() + "\\Startup"; });
}

std::string GetProgramFilesDir()
{
    return RemoveTrailingBackslash(RegReadString(rkLocalMachine, CurrentVersion, "ProgramFilesDir",
        [] { return CurrentDrive() + "\\Program Files"; }));
}

std::string GetCommonFilesDir()
{
    return RemoveTrailingBackslash(RegReadString(rkLocalMachine, CurrentVersion, "CommonFilesDir",
        [] { return CurrentDrive() + "\\Program Files\\Common Files"; }));
}

std::string ExpandMetaVariables(const std::string &text, TInstallContainer *obj)
{
    auto containerOf = [obj]() -> TInstallContainer * {
        if (!obj)
            throw EAICannotExpandContainerDirMV(
                TranslateString("Cannot expand the %c meta variable because the component is Nil"));
        auto *object = dynamic_cast<TInstallObject *>(obj);
        TInstallContainer *container = object ? object->Container() : nullptr;
        if (!container)
            throw EAICannotExpandContainerDirMV(
                TranslateString("Cannot expand the %c meta variable because the Container property is Nil"));
        return container;
    };

    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (++i == text.size())
            break;
        std::string value;
        switch (text[i]) {
        case '%':
            result += '%';
            continue;
        case 'a':
        case 'A':
            if (!obj)
                throw EAICannotExpandContainerDirMV(
                    TranslateString("Cannot expand the %a meta variable because the component is Nil"));
            value = obj->GetDestPath();
            break;
        case 'b':
        case 'B':
            value = GetProgramsMenuDir();
            break;
        case 'c':
        case 'C':
            value = containerOf()->GetDestPath();
            break;
        case 'd':
        case 'D':
            value = GetDesktopDir();
            break;
        case 'f':
        case 'F':
            value = GetCommonFilesDir();
            break;
        case 'i':
        case 'I': {
            TInstallContainer *install = CurrentInstall();
            if (!install)
                throw EAICannotExpandInstallDirMV(TranslateString(
                    "Cannot expand the %i meta variable because there is no TInstall component"));
            value = install->GetDestPath();
            break;
        }
        case 'm':
        case 'M':
            value = GetStartMenuDir();
            break;
        case 'p':
        case 'P':
            value = GetProgramFilesDir();
            break;
        case 's':
        case 'S':
            value = GetSystemDir();
            break;
        case 'w':
        case 'W':
            value = GetWindowsDir();
            break;
        default:
            continue;
        }
        result += RemoveTrailingBackslash(value);
    }
    return result;
}
