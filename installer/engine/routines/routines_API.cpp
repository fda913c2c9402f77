#include "installer/engine/routines/routines_API.h"

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/files.h"
#include "platform/system/windows.h"

namespace
{

constexpr size_t MaxPath = 260; // the system's folder buffers hold 261 characters
constexpr size_t MaxShortPath = 400;

} // namespace

std::string ShortPathName(const std::string &path)
{
    const std::string shortPath = GetShortPathName(path);
    return shortPath.size() > MaxShortPath ? std::string() : shortPath;
}

int ClassifyWindowsVersion(unsigned platformId, unsigned majorVersion, unsigned minorVersion)
{
    switch (platformId) {
    case VER_PLATFORM_WIN32s:
        return 0;
    case VER_PLATFORM_WIN32_WINDOWS:
        return 1;
    case VER_PLATFORM_WIN32_NT:
        return (std::to_string(majorVersion) + "." + std::to_string(minorVersion)).find("3.5")
                != std::string::npos
            ? 3
            : 2;
    default:
        return 4;
    }
}

int GetWindowsVersion()
{
    OSVERSIONINFO info {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionEx(info))
        throw EAPIRoutines("Could not get information about the current version of Windows");
    return ClassifyWindowsVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

std::string MakeTempFileName(const std::string &extension)
{
    const std::string folder = GetTempPath();
    if (folder.empty() || folder.size() > MaxPath)
        throw EAPIRoutines("Cannot create a temporary file");
    // Another program may hold the name with the wanted extension: then the
    // next number is tried, a bounded number of times.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name;
        if (GetTempFileName(folder, "bat", 0, name) == 0 || name.empty())
            break;
        if (extension.empty() || SameText(extension, ".TMP"))
            return name;
        const std::string wanted = ChangeFileExt(name, extension);
        const bool created = CreateNewFile(wanted);
        DeleteFile(name);
        if (created)
            return wanted;
    }
    throw EAPIRoutines("Cannot create a temporary file");
}

std::string GetSystemDir()
{
    const std::string dir = GetSystemDirectory();
    if (dir.empty() || dir.size() > MaxPath)
        throw EAPIRoutines("Could not retrieve the system directroy from windows");
    return dir;
}

std::string GetWindowsDir()
{
    const std::string dir = GetWindowsDirectory();
    if (dir.empty() || dir.size() > MaxPath)
        throw EAPIRoutines("Could not retrieve the windows directory from windows");
    return dir;
}
