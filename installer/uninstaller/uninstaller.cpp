// The product's uninstaller, installed beside it and named by its Uninstall
// key's UninstallString ("<this program> <product name>"): removes every file
// the setup recorded in the key's file lists, keeping a shared file while
// other products still count on it, then itself, the folders left empty and
// the key.
// Standalone, no windows: it reports a failure on stderr and in its status.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

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

int Uninstall(const std::string &product)
{
    const std::string key = UninstallKey + product;
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (product.empty() || !registry.KeyExists(key))
        throw Exception("The product \"" + product + "\" is not installed");
    std::set<std::string> folders;
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
                std::fprintf(stderr, "Desinstalar: cannot remove %s\n", path.c_str());
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
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The product's name may hold blanks: the command line is not quoted.
    std::string product;
    for (int i = 1; i < argc; ++i)
        product += (i > 1 ? " " : "") + std::string(argv[i]);
    try {
        Machine();
        return Uninstall(product);
    } catch (const Exception &e) {
        std::fprintf(stderr, "Desinstalar: %s\n", e.Message().c_str());
        return 1;
    }
}
