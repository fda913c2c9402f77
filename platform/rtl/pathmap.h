#pragma once

#include <functional>
#include <string>
#include <string_view>

// Every file routine of the library passes its path through one mapping hook
// before it reaches the host. By default a path is used as given (with "\"
// read as "/"); the emulated Windows machine installs a mapper that turns
// "C:\Program Files\..." into a folder of its root.
using TPathMapper = std::function<std::string(std::string_view path)>;

void SetPathMapper(TPathMapper mapper);      // an empty mapper restores the default
std::string MapPath(std::string_view path);  // the host path for a path the system's code names
