#include "platform/system/windows.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/rtl/sysutils.h"
#include "platform/system/faults.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

namespace
{

uint32_t ErrnoToError(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

std::string HostOf(const std::string &path)
{
    return Machine().HostPath(path);
}

} // namespace

bool GetVersionEx(OSVERSIONINFO &info)
{
    if (info.dwOSVersionInfoSize != sizeof(OSVERSIONINFO)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::string version, build, servicePack;
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKeyReadOnly("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        version = reg.ReadString("CurrentVersion");
        build = reg.ReadString("CurrentBuildNumber");
        servicePack = reg.ReadString("CSDVersion");
    } catch (const ERegistryException &) {
        SetLastError(ERROR_BADDB);
        return false;
    }
    const size_t dot = version.find('.');
    int major = 0, minor = 0;
    if (dot == std::string::npos || !TryStrToInt(version.substr(0, dot), major)
        || !TryStrToInt(version.substr(dot + 1), minor) || major < 0 || minor < 0) {
        SetLastError(ERROR_BADDB);
        return false;
    }
    info.dwMajorVersion = static_cast<uint32_t>(major);
    info.dwMinorVersion = static_cast<uint32_t>(minor);
    info.dwBuildNumber = static_cast<uint32_t>(StrToIntDef(build, 0));
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(info.szCSDVersion, 0, sizeof info.szCSDVersion);
    std::strncpy(info.szCSDVersion, servicePack.c_str(), sizeof info.szCSDVersion - 1);
    return true;
}

std::string GetWindowsDirectory()
{
    return "C:\\WINDOWS";
}

std::string GetSystemDirectory()
{
    return "C:\\WINDOWS\\SYSTEM32";
}

std::string GetTempPath()
{
    return "C:\\WINDOWS\\TEMP\\";
}

bool CreateNewFile(const std::string &fileName)
{
    const int fd = ::open(HostOf(fileName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrnoToError(errno));
        return false;
    }
    ::close(fd);
    return true;
}

uint32_t GetTempFileName(
    const std::string &pathName, const std::string &prefix, uint32_t unique, std::string &tempFileName)
{
    std::string folder = pathName;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    const std::string stem = folder + prefix.substr(0, 3);
    if (unique != 0) {
        tempFileName = stem + IntToHex(unique & 0xFFFF, 1) + ".TMP";
        return unique;
    }
    // Numbers are tried from a random start so that programs starting together
    // do not all walk the same sequence.
    static thread_local std::mt19937 random { std::random_device {}() };
    const uint32_t start = random() % 0xFFFF + 1;
    for (uint32_t i = 0; i < 0xFFFF; ++i) {
        const uint32_t number = (start + i - 1) % 0xFFFF + 1;
        const std::string name = stem + IntToHex(number, 1) + ".TMP";
        if (CreateNewFile(name)) {
            tempFileName = name;
            return number;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

std::string GetShortPathName(const std::string &longPath)
{
    struct stat st {
    };
    if (longPath.empty() || ::stat(HostOf(longPath).c_str(), &st) != 0) {
        SetLastError(longPath.empty() ? ERROR_INVALID_PARAMETER : ErrnoToError(errno));
        return {};
    }
    return longPath;
}

namespace
{

// The drive a path of the machine is on: its letter, or C: for a rooted or
// relative path, as the machine maps them; 0 for a host path.
char DriveOf(const std::string &path)
{
    if (path.size() >= 2 && path[1] == ':')
        return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    return path.empty() || path[0] != '/' ? 'C' : 0;
}

// The volume's free and total bytes, with a test's free space for the drive.
bool VolumeSpace(const std::string &path, uint64_t &available, uint64_t &total, uint64_t &free)
{
    struct statvfs fs {
    };
    if (::statvfs(HostOf(path).c_str(), &fs) != 0) {
        SetLastError(ErrnoToError(errno));
        return false;
    }
    available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    total = static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize;
    free = static_cast<uint64_t>(fs.f_bfree) * fs.f_frsize;
    int64_t faked = 0;
    if (const char drive = DriveOf(path); drive && DriveFreeSpace(drive, faked)) {
        available = free = static_cast<uint64_t>(faked);
        total = std::max(total, available);
    }
    return true;
}

} // namespace

bool GetDiskFreeSpaceEx(const std::string &directoryName, uint64_t &freeBytesAvailable, uint64_t &totalBytes,
    uint64_t &totalFreeBytes)
{
    return VolumeSpace(directoryName, freeBytesAvailable, totalBytes, totalFreeBytes);
}

bool GetDiskFreeSpace(const std::string &rootPathName, uint32_t &sectorsPerCluster, uint32_t &bytesPerSector,
    uint32_t &numberOfFreeClusters, uint32_t &totalNumberOfClusters)
{
    uint64_t available = 0, total = 0, free = 0;
    if (!VolumeSpace(rootPathName, available, total, free))
        return false;
    constexpr uint32_t sector = 512;
    constexpr uint32_t cluster = 4096;
    auto clamp = [](uint64_t v) { return static_cast<uint32_t>(v > 0xFFFFFFFFu ? 0xFFFFFFFFu : v); };
    bytesPerSector = sector;
    sectorsPerCluster = cluster / sector;
    numberOfFreeClusters = clamp(available / cluster);
    totalNumberOfClusters = clamp(total / cluster);
    return true;
}
