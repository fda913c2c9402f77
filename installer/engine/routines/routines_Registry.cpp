#include "installer/engine/routines/routines_Registry.h"

#include "installer/engine/exceptions/exceptions_Kelvara.h"

namespace
{

constexpr HKEY RootHandles[] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER, HKEY_DYN_DATA,
    HKEY_LOCAL_MACHINE, HKEY_USERS };

void SetRoot(TRegistry &reg, TRootKey root)
{
    if (root >= rkClassesRoot && root <= rkUsers)
        reg.SetRootKey(RootHandles[root]);
}

HKEY RootHandle(TRootKey root)
{
    return root >= rkClassesRoot && root <= rkUsers ? RootHandles[root] : HKEY_CURRENT_USER;
}

// Reading routines give their fallback for any failure, a damaged registry
// file included. One look at the hive each.
bool ReadValue(TRootKey root, const std::string &key, const std::string &name, TRegValue &value)
{
    try {
        return ReadRegistryValue(RootHandle(root), key, name, value);
    } catch (const Exception &) {
        return false;
    }
}

bool IsString(const TRegValue &value)
{
    return value.Type == REG_SZ || value.Type == REG_EXPAND_SZ;
}

} // namespace

void RegWriteString(TRootKey root, const std::string &key, const std::string &name, const std::string &value)
{
    bool written = false;
    try {
        TRegistry reg;
        SetRoot(reg, root);
        if (reg.OpenKey(key, true)) {
            reg.WriteString(name, value);
            written = true;
        }
    } catch (const Exception &) {
    }
    if (!written)
        throw EIRCannotWriteValue(
            TranslateFormat("Cannot install into registry. Key: %s Ident: %s Value %s", key, name, value));
}

void RegWriteInteger(TRootKey root, const std::string &key, const std::string &name, int value)
{
    bool written = false;
    try {
        TRegistry reg;
        SetRoot(reg, root);
        if (reg.OpenKey(key, true)) {
            reg.WriteInteger(name, value);
            written = true;
        }
    } catch (const Exception &) {
    }
    if (!written)
        throw EIRCannotWriteValue(key);
}

std::string RegReadString(
    TRootKey root, const std::string &key, const std::string &name, const std::string &fallback)
{
    TRegValue value;
    return ReadValue(root, key, name, value) && IsString(value) ? value.Data : fallback;
}

std::string RegReadString(TRootKey root, const std::string &key, const std::string &name,
    const std::function<std::string()> &fallback)
{
    TRegValue value;
    return ReadValue(root, key, name, value) && IsString(value) ? value.Data : fallback();
}

int RegReadInteger(TRootKey root, const std::string &key, const std::string &name, int fallback)
{
    TRegValue value;
    if (!ReadValue(root, key, name, value) || value.Type != REG_DWORD || value.Data.size() != 4)
        return fallback;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(value.Data[static_cast<size_t>(i)]);
    return static_cast<int>(v);
}

void RegDeleteKeyTree(TRootKey root, const std::string &key)
{
    try {
        TRegistry reg;
        SetRoot(reg, root);
        if (reg.KeyExists(key))
            reg.DeleteKey(key);
    } catch (const Exception &) {
    }
}

void RegDeleteValue(TRootKey root, const std::string &key, const std::string &name)
{
    try {
        TRegistry reg;
        SetRoot(reg, root);
        if (reg.KeyExists(key) && reg.OpenKey(key, false))
            reg.DeleteValue(name);
    } catch (const Exception &) {
    }
}

TRootKey RootKeyIndex(HKEY handle, TRootKey fallback)
{
    for (int i = rkClassesRoot; i <= rkUsers; ++i)
        if (RootHandles[i] == handle)
            return static_cast<TRootKey>(i);
    return fallback;
}

bool WriteRunOnce(const std::string &name, const std::string &value, bool numbered)
{
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true))
            return false;
        std::string valueName = name;
        for (int n = 1; numbered && reg.ValueExists(valueName); ++n)
            valueName = name + std::to_string(n);
        reg.WriteString(valueName, value);
        return true;
    } catch (const Exception &) {
        return false;
    }
}
