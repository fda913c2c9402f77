#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/object.h"
#include "platform/system/regformat.h"

class TStrings;

// Root keys. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes and
// HKEY_CURRENT_CONFIG is HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Hardware
// Profiles\Current, as on an NT-class system; HKEY_PERFORMANCE_DATA and
// HKEY_DYN_DATA cannot be opened there.
using HKEY = uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
constexpr HKEY HKEY_USERS = 0x80000003;
constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005;
constexpr HKEY HKEY_DYN_DATA = 0x80000006;

// Access rights. A key opened without KEY_SET_VALUE or KEY_CREATE_SUB_KEY
// refuses changes.
constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr uint32_t KEY_NOTIFY = 0x0010;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// The class library's registry object over the machine's registry. Key paths
// that start with '\' are taken from the root key, others from the current
// key (or the root when none is open). Every change is on disk when the call
// returns, unless a TRegistryBatch is open. A damaged hive file raises
// ERegistryException naming the file and line from every call that reads it.
class TRegistry : public TObject
{
public:
    TRegistry(); // HKEY_CURRENT_USER, KEY_ALL_ACCESS
    explicit TRegistry(uint32_t access);
    ~TRegistry() override;
    const char *ClassName() const override { return "TRegistry"; }

    // Root, access and the current key
    HKEY RootKey() const;
    void SetRootKey(HKEY rootKey); // closes the current key
    uint32_t Access() const;
    void SetAccess(uint32_t access);
    const std::string &CurrentPath() const; // without leading '\'; "" at the root or when closed
    bool HasCurrentKey() const;

    // Keys
    bool OpenKey(const std::string &key, bool canCreate);
    bool OpenKeyReadOnly(const std::string &key);
    void CloseKey();
    bool CreateKey(const std::string &key); // ERegistryException "Failed to create key %s"
    bool DeleteKey(const std::string &key); // with everything below it
    bool KeyExists(const std::string &key);
    bool HasSubKeys();
    void GetKeyNames(TStrings &strings); // of the current key, in the registry's order

    // Values of the current key. Reads of a value of another type raise
    // "Invalid data type for '%s'", failed reads "Failed to get data for '%s'",
    // failed writes "Failed to set data for '%s'" (all ERegistryException).
    bool ValueExists(const std::string &name);
    bool DeleteValue(const std::string &name);
    void GetValueNames(TStrings &strings);
    TRegDataType GetDataType(const std::string &name);
    int GetDataSize(const std::string &name); // -1 when missing
    std::string ReadString(const std::string &name); // "" when missing
    void WriteString(const std::string &name, const std::string &value);
    void WriteExpandString(const std::string &name, const std::string &value);
    int ReadInteger(const std::string &name);
    void WriteInteger(const std::string &name, int value);
    double ReadFloat(const std::string &name); // kept as 8 binary bytes
    void WriteFloat(const std::string &name, double value);
    int ReadBinaryData(const std::string &name, void *buffer, int bufSize); // 0 when missing
    void WriteBinaryData(const std::string &name, const void *buffer, int bufSize);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};

// The value name of key, a path from root's top, in one look at the hive
// (TRegistry's OpenKey, ValueExists and a read take one each): false when the
// key or the value is missing or root cannot be opened.
bool ReadRegistryValue(HKEY root, const std::string &key, const std::string &name, TRegValue &value);

// Keeps this process's registry changes in memory while it lives, for work
// that makes thousands of them (each would otherwise save its whole hive
// file). This process sees them at once; other programs when they are saved:
// when the outermost batch ends, at FlushRegistry, before a program is started
// or the machine restarted, and, while only the outermost batch is open, once
// MaxPendingChanges changes or MaxPendingTime have gathered. Each save
// replaces the hive file atomically, so a crash leaves the last saved state.
// A batch opened inside another is one unit: the due saves wait until it
// ends, so a crash keeps all of it or none.
class TRegistryBatch
{
public:
    TRegistryBatch();
    ~TRegistryBatch(); // Commit, but a failure to save is not reported
    TRegistryBatch(const TRegistryBatch &) = delete;
    TRegistryBatch &operator=(const TRegistryBatch &) = delete;

    // Ends the batch. The outermost saves every pending change now and raises
    // ERegistryException for a hive it cannot save (its changes stay pending,
    // for the next save point).
    void Commit();

private:
    bool open_ = true;
};

// Saves every pending change now; raises as TRegistryBatch::Commit.
void FlushRegistry();
