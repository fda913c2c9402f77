#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/pathmap.h"

class THive;

// The emulated Windows machine: one root folder on the host that holds its
// drives and its registry. Drive X: is the folder "drive_x" below the root
// (C: always exists, A: stands for the floppy); Z: is the host's own "/", so
// any Linux path can be named. The root is $WINROOT, or
// ~/.local/share/winroot when that is not set; it is created and seeded with
// the standard folders and registry keys the first time it is opened.
class TMachine
{
public:
    explicit TMachine(const std::string &root); // opens (and seeds) the machine at root
    ~TMachine();
    TMachine(const TMachine &) = delete;
    TMachine &operator=(const TMachine &) = delete;

    // Where it lives
    const std::string &Root() const;
    std::string DriveFolder(char letter) const; // host folder of a drive letter
    std::string RegistryFolder() const;

    // Host path of a path named the Windows way. Both separators are read;
    // "." and ".." are resolved by name and never climb above a drive's root;
    // each existing component is found regardless of case, new components keep
    // the case given. A path starting with "/" is a host path and stays as it
    // is but for '\' read as '/'; a path without a drive is taken on C: when
    // rooted ("\x") and against the current folder when relative.
    // found, when given, gets what the look-up saw (see TPathFound).
    std::string HostPath(std::string_view path, TPathFound *found = nullptr) const;
    // The entries of a host folder, from the listing HostPath keeps while the
    // folder is unchanged (read when there is none); false with errno set
    // when it cannot be read.
    // folder, when given, is the folder's stat just taken.
    bool ListFolder(
        const std::string &hostFolder, std::vector<std::string> &names, const struct stat *folder = nullptr) const;
    // The Windows name of a host path: "C:\dir\file" for a path inside a drive
    // folder, else "Z:" followed by the host path with '\' separators.
    std::string WindowsPath(std::string_view hostPath) const;

    // The registry files, one per hive (not public API: see registry_p.h)
    THive &Hive(std::string_view rootName);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};

// Maps every path of this process through its machine, which the first path
// that needs it opens. Every program that names the machine's paths calls
// this at start, before its first path: a mapper installed by a static
// initialiser is lost whenever a static link leaves its unit out.
void MapPathsThroughMachine();

// The machine of this process, opened from $WINROOT on first use. Opening it
// installs its path mapper (SetPathMapper), so every file routine of the
// library sees its drives.
TMachine &Machine();

// Closes the current machine and opens the one at root (tests point each
// fixture at a fresh root this way).
TMachine &OpenMachine(const std::string &root);

// The default root: $WINROOT, else ~/.local/share/winroot.
std::string DefaultMachineRoot();
