#pragma once

#include <string>

// The setup program's registry routines.

// Whether the product is installed already: its Uninstall key exists under
// HKEY_LOCAL_MACHINE.
bool InstalledBefore(const std::string &productName);
