#pragma once

#include <string>

// The setup program's registry routines.

// Whether the product is installed already: its Uninstall key exists under
// HKEY_LOCAL_MACHINE.
bool InstalledBefore(const std::string &productName);

// Takes one use off the shared-DLL count of path (by its short name when the
// count is kept under that); the last use removes the value.
void ReleaseSharedDll(std::string path);

// Tidies the current install component's uninstall file list after a run:
// sorted, each path once, each duplicate's shared count released.
void CompactUninstallList();
