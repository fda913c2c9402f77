#pragma once

#include <functional>
#include <sys/stat.h>
#include <string>
#include <string_view>
#include <vector>

// Every file routine of the library passes its path through one mapping hook
// before it reaches the host. By default a path is used as given (with "\"
// read as "/"); the emulated Windows machine installs a mapper that turns
// "C:\Program Files\..." into a folder of its root.
//
// A mapper that looks at the host on its way tells what it saw, so that the
// caller need not look again.
struct TPathFound {
    bool known = false; // the mapper found out whether the host path exists
    bool exists = false;
    struct stat st {
    }; // when it exists: its lstat
    size_t folder = 0; // when it does not: the length of its deepest existing folder, 0 when not known

    // The stat of host (following a symbolic link) from what was seen, or
    // looked at when that does not tell; false with errno set when it is not there.
    bool Stat(const std::string &host, struct stat &st) const;
};
using TPathMapper = std::function<std::string(std::string_view path, TPathFound *found)>;

void SetPathMapper(TPathMapper mapper); // an empty mapper restores the default
// The host path for a path the system's code names; found, when given, gets
// what the mapping saw of it (nothing known by default).
std::string MapPath(std::string_view path, TPathFound *found = nullptr);
// The stat of the host file of path (following a symbolic link), from what
// the mapping saw when it can; false with errno set when there is none.
bool StatMapped(std::string_view path, struct stat &st, std::string *host = nullptr);

// The entries of a host folder, for routines that search one. By default the
// folder is read; the emulated machine answers from the listings its path
// look-ups keep while the folder is unchanged. folder, when given, is the
// folder's stat just taken. False, with errno set, when the folder cannot be
// read.
using TFolderLister = std::function<bool(
    const std::string &hostFolder, std::vector<std::string> &names, const struct stat *folder)>;

void SetFolderLister(TFolderLister lister); // an empty lister restores the default
bool ListFolder(const std::string &hostFolder, std::vector<std::string> &names, const struct stat *folder = nullptr);
