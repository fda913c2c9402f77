#include "installer/dialogs/rutinst.h"

#include <cstdint>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Registry.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/registry.h"

namespace
{
constexpr const char *UninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char *SharedDllsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr int Missing = static_cast<int>(0x80000001u); // no count is ever this
} // namespace

bool InstalledBefore(const std::string &productName)
{
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    return registry.KeyExists(UninstallKey + productName);
}

void ReleaseSharedDll(std::string path)
{
    int count = Missing;
    const std::string shortPath = ShortPathName(path);
    if (!shortPath.empty())
        count = RegReadInteger(rkLocalMachine, SharedDllsKey, shortPath, Missing);
    if (count != Missing)
        path = shortPath;
    else
        count = RegReadInteger(rkLocalMachine, SharedDllsKey, path, Missing);
    if (count != Missing)
        --count;
    if (count < 1)
        RegDeleteValue(rkLocalMachine, SharedDllsKey, path);
    else
        RegWriteInteger(rkLocalMachine, SharedDllsKey, path, count);
}

void CompactUninstallList()
{
    TCustomInstall *install = CurrentInstallComponent();
    if (!install)
        return;
    TRegistry registry;
    TStringList names, paths;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(UninstallKey + install->Information()->ProductName() + "\\Files", false))
        return;
    registry.DeleteValue("Entries");
    registry.GetValueNames(names);
    for (int i = 0; i < names.Count(); ++i)
        paths.Add(registry.ReadString(names.Strings(i)));
    // Paths that differ only in case are different files here; ordering them
    // case-sensitively within their case-insensitive place keeps every exact
    // duplicate next to its twin, so none is missed.
    paths.CustomSort([](TStringList *list, int a, int b) {
        const int order = CompareText(list->Strings(a), list->Strings(b));
        return order != 0 ? order : CompareStr(list->Strings(a), list->Strings(b));
    });
    for (int i = 0; i + 1 < paths.Count();) {
        if (paths.Strings(i) == paths.Strings(i + 1)) {
            ReleaseSharedDll(paths.Strings(i + 1));
            paths.Delete(i + 1);
        } else {
            ++i;
        }
    }
    for (int i = 0; i < names.Count(); ++i)
        registry.DeleteValue(names.Strings(i));
    registry.WriteString("Entries", IntToStr(paths.Count()));
    for (int i = 0; i < paths.Count(); ++i)
        registry.WriteString("File" + IntToStr(i + 1), paths.Strings(i));
}
