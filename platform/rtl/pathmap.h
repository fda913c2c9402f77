#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Every file routine of the library passes its path through one mapping hook
// before it reaches the host. By default a path is used as given (with "\"
// read as "/"); the emulated Windows machine installs a mapper that turns
// "C:\Program Files\..." into a folder of its root.
using TPathMapper = std::function<std::string(std::string_view path)>;

void SetPathMapper(TPathMapper mapper); // an empty mapper restores the default
std::string MapPath(std::string_view path); // the host path for a path the system's code names

// The entries of a host folder, for routines that search one. By default the
// folder is read; the emulated machine answers from the listings its path
// look-ups keep while the folder is unchanged. False, with errno set, when the
// folder cannot be read.
using TFolderLister = std::function<bool(const std::string &hostFolder, std::vector<std::string> &names)>;

void SetFolderLister(TFolderLister lister); // an empty lister restores the default
bool ListFolder(const std::string &hostFolder, std::vector<std::string> &names);
