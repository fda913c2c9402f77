#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/formatsettings.h" // GetUserDefaultLangID
#include "platform/rtl/lasterror.h"

// Operating-system facts of the emulated machine, in the vocabulary of the
// Win32 calls the system's code makes. Paths are Windows paths of the machine.
// A call that fails answers false, 0 or "" and leaves its reason in
// GetLastError.

// The Windows version, from the machine's registry: "CurrentVersion" as
// "major.minor", "CurrentBuildNumber" and "CSDVersion" of HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion". The machine is always of
// the NT class.
constexpr uint32_t VER_PLATFORM_WIN32s = 0;
constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFO {
    uint32_t dwOSVersionInfoSize; // must be sizeof(OSVERSIONINFO), 148
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
};
bool GetVersionEx(OSVERSIONINFO &info);

// Folders: "C:\WINDOWS", "C:\WINDOWS\SYSTEM32" and "C:\WINDOWS\TEMP\" (the
// only one with a trailing backslash, as Windows gives it).
std::string GetWindowsDirectory();
std::string GetSystemDirectory();
std::string GetTempPath();

// With unique 0: creates a new, empty file "<prefix><hex>.TMP" in pathName (the
// first three characters of prefix) that did not exist before, and answers its
// number; another program asking at the same moment never gets the same file.
// With another unique: only makes the name. 0 on failure.
uint32_t GetTempFileName(
    const std::string &pathName, const std::string &prefix, uint32_t unique, std::string &tempFileName);
// Creates fileName empty; false (ERROR_FILE_EXISTS) when it exists already.
bool CreateNewFile(const std::string &fileName);

// The machine keeps long names only, so the short name of an existing file is
// its name as given; "" (ERROR_FILE_NOT_FOUND) when it does not exist.
std::string GetShortPathName(const std::string &longPath);

// Free space of the volume holding a folder (statvfs of the mapped folder).
// Counts that do not fit 32 bits are clamped.
bool GetDiskFreeSpace(const std::string &rootPathName, uint32_t &sectorsPerCluster, uint32_t &bytesPerSector,
    uint32_t &numberOfFreeClusters, uint32_t &totalNumberOfClusters);
bool GetDiskFreeSpaceEx(const std::string &directoryName, uint64_t &freeBytesAvailable, uint64_t &totalBytes,
    uint64_t &totalFreeBytes);
