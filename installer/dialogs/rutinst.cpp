#include "installer/dialogs/rutinst.h"

#include "platform/system/registry.h"

bool InstalledBefore(const std::string &productName)
{
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    return registry.KeyExists("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName);
}
