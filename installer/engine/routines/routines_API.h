#pragma once

#include <string>

// Calls into the operating system that the engine makes through one place.
// Failures raise EAPIRoutines with an untranslated message.

// The short form of path as the system gives it; "" when the file does not
// exist or the result would not fit 400 characters.
std::string ShortPathName(const std::string &path);

// The class of the running Windows: 0 Win32s, 1 the Windows 95 family, 2 the
// NT family, 3 NT 3.5x, 4 anything else.
int GetWindowsVersion();
// The same class for a platform id and version numbers as GetVersionEx gives them.
int ClassifyWindowsVersion(unsigned platformId, unsigned majorVersion, unsigned minorVersion);

// A new, empty file in the temporary folder ("bat" and a number), created by
// this call so that no other program can take its name; the caller writes
// into it and deletes it when done. extension (".bat") replaces ".TMP".
std::string MakeTempFileName(const std::string &extension = "");

std::string GetSystemDir(); // without trailing backslash
std::string GetWindowsDir(); // without trailing backslash
