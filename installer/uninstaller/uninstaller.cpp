#include "installer/uninstaller/uninstaller.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "calculator/zrutinas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

namespace
{

constexpr const char *UninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char *SharedDllsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// True when another product still uses the file: its count stays above 0.
bool StillShared(const std::string &path)
{
    TRegistry shared;
    shared.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!shared.OpenKey(SharedDllsKey, false) || !shared.ValueExists(path))
        return false;
    const int count = shared.ReadInteger(path) - 1;
    if (count > 0) {
        shared.WriteInteger(path, count);
        return true;
    }
    shared.DeleteValue(path);
    return false;
}

// The shell's own folders (desktop, Start menu, Programs ...) and the roots
// of the folders they hold stay even when the product leaves them empty.
std::set<std::string> ShellFolders()
{
    std::set<std::string> folders;
    for (HKEY root : { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE }) {
        TRegistry registry;
        registry.SetRootKey(root);
        if (!registry.OpenKeyReadOnly(
                "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"))
            continue;
        TStringList names;
        registry.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i)
            for (std::string folder = registry.ReadString(names.Strings(i)); folder.size() > 3;
                 folder = ExtractFileDir(folder))
                folders.insert(UpperCase(ExcludeTrailingBackslash(folder)));
    }
    return folders;
}

bool Installed(const std::string &product)
{
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    return !product.empty() && registry.KeyExists(UninstallKey + product);
}

// The removal itself; answers the files that stay.
std::vector<std::string> RemoveProduct(const std::string &product)
{
    const std::string key = UninstallKey + product;
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    std::set<std::string> folders;
    std::vector<std::string> left;
    for (int n = 0;; ++n) {
        const std::string list = key + "\\Files" + (n ? IntToStr(n) : std::string());
        if (!registry.OpenKeyReadOnly(list))
            break;
        TStringList names;
        registry.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            if (SameText(names.Strings(i), "Entries"))
                continue;
            const std::string path = registry.ReadString(names.Strings(i));
            if (path.empty() || StillShared(path))
                continue;
            if (FileExists(path) && !DeleteFile(path))
                left.push_back(path);
            folders.insert(ExtractFileDir(path));
        }
        registry.CloseKey();
    }
    // The uninstaller itself goes too when it lies in a folder of the
    // product, as the setup installs it; the system lets a running program's
    // file be removed.
    std::error_code error;
    const std::string self
        = Machine().WindowsPath(std::filesystem::read_symlink("/proc/self/exe", error).string());
    if (!error
        && std::any_of(folders.begin(), folders.end(),
            [&](const std::string &folder) { return SameText(folder, ExtractFileDir(self)); }))
        DeleteFile(self);
    // Deepest first, so that a folder emptied by its sub-folder goes too.
    const std::set<std::string> keep = ShellFolders();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        for (std::string folder = *it;
             folder.size() > 3 && !keep.count(UpperCase(folder)) && RemoveDir(folder);)
            folder = ExtractFileDir(folder);
    registry.DeleteKey(key);
    return left;
}

} // namespace

std::string StartUninstaller(int argc, char **argv)
{
    MapPathsThroughMachine();
    Application->Initialize();
    std::string product;
    for (int i = 1; i < argc; ++i)
        product += (i > 1 ? " " : "") + std::string(argv[i]);
    return product;
}

int RunUninstaller(const std::string &product)
{
    if (!Installed(product)) {
        SetupRoutines::ShowMessageBox(
            "El producto \"" + product + "\" no está instalado en este equipo", MB_ICONERROR, MB_OK);
        return 1;
    }
    if (!SetupRoutines::ConfirmContinue("Se eliminará " + product
            + " de este equipo: sus archivos, sus accesos directos y sus datos en el registro de Windows."))
        return 2;
    std::vector<std::string> left;
    try {
        left = RemoveProduct(product);
    } catch (const Exception &e) {
        SetupRoutines::ShowMessageBox("No se pudo desinstalar " + product + ": " + e.Message(), MB_ICONERROR, MB_OK);
        return 1;
    }
    if (!left.empty()) {
        std::string text = product + " no se desinstaló del todo. No se pudieron eliminar estos archivos:\n";
        for (const std::string &path : left)
            text += "\n" + path;
        SetupRoutines::ShowMessageBox(text + "\n\nPuede eliminarlos usted mismo", MB_ICONERROR, MB_OK);
        return 1;
    }
    SetupRoutines::ShowMessageBox(product + " se ha eliminado de este equipo", MB_ICONINFORMATION, MB_OK);
    return 0;
}
