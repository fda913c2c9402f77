#include "platform/system/faults.h"

#include <cctype>
#include <map>
#include <mutex>
#include <set>

#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"

namespace
{

struct Faults {
    std::mutex lock;
    std::set<std::string> inUse; // host paths
    int64_t diskSpace = -1;
    bool restartRefused = false;
    bool delayedMovesRefused = false;
    std::map<std::string, int32_t> comFaults; // method -> HRESULT
    std::map<char, int64_t> driveFreeSpace; // upper-case letter -> bytes
};

Faults &State()
{
    static Faults faults;
    return faults;
}

// The file routines ask the injector only once a test has set a fault.
void InstallHooks()
{
    static std::once_flag installed;
    std::call_once(installed, [] { SetFileFaultHooks({HostFileInUse, TakeDiskSpace}); });
}

} // namespace

void SetFileInUse(const std::string &fileName, bool inUse)
{
    InstallHooks();
    const std::string host = MapPath(fileName);
    Faults &f = State();
    std::lock_guard guard(f.lock);
    if (inUse)
        f.inUse.insert(host);
    else
        f.inUse.erase(host);
}

bool FileInUse(const std::string &fileName)
{
    return HostFileInUse(MapPath(fileName));
}

bool HostFileInUse(const std::string &hostPath)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    return f.inUse.count(hostPath) != 0;
}

void ClearFilesInUse()
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    f.inUse.clear();
}

void SetDiskSpace(int64_t bytes)
{
    InstallHooks();
    Faults &f = State();
    std::lock_guard guard(f.lock);
    f.diskSpace = bytes;
}

int64_t TakeDiskSpace(int64_t count)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    if (f.diskSpace < 0 || count <= 0)
        return count;
    const int64_t fits = count < f.diskSpace ? count : f.diskSpace;
    f.diskSpace -= fits;
    return fits;
}

void SetDriveFreeSpace(char drive, int64_t bytes)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
    if (bytes < 0)
        f.driveFreeSpace.erase(letter);
    else
        f.driveFreeSpace[letter] = bytes;
}

bool DriveFreeSpace(char drive, int64_t &bytes)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    const auto it = f.driveFreeSpace.find(static_cast<char>(std::toupper(static_cast<unsigned char>(drive))));
    if (it == f.driveFreeSpace.end())
        return false;
    bytes = it->second;
    return true;
}

void SetRestartRefused(bool refused)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    f.restartRefused = refused;
}

bool RestartRefused()
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    return f.restartRefused;
}

void SetDelayedMovesRefused(bool refused)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    f.delayedMovesRefused = refused;
}

bool DelayedMovesRefused()
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    return f.delayedMovesRefused;
}

void SetComFault(const std::string &method, int32_t result)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    if (result == 0)
        f.comFaults.erase(method);
    else
        f.comFaults[method] = result;
}

int32_t ComFault(const std::string &method)
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    const auto it = f.comFaults.find(method);
    return it == f.comFaults.end() ? 0 : it->second;
}

void ClearFaults()
{
    Faults &f = State();
    std::lock_guard guard(f.lock);
    f.inUse.clear();
    f.comFaults.clear();
    f.diskSpace = -1;
    f.driveFreeSpace.clear();
    f.restartRefused = false;
    f.delayedMovesRefused = false;
}
