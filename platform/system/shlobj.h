#pragma once

#include <cstdint>
#include <string>

#include "platform/system/comobj.h"

// The shell's link object. A link is saved as a real shortcut file in the
// documented shell-link binary format: the header with the link class and
// its flags, the link information with the target's volume and local path,
// the relative path, working folder and arguments as Unicode string data, and
// the hot key. Paths are Windows paths of the machine; a host path ("/...")
// given as target is named by its drive ("Z:\...").

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkA;
extern const IID IID_IPersistFile;

// Modifier bits in the high byte of a hot key; the low byte is the key.
constexpr uint16_t HOTKEYF_SHIFT = 0x01;
constexpr uint16_t HOTKEYF_CONTROL = 0x02;
constexpr uint16_t HOTKEYF_ALT = 0x04;
constexpr uint16_t HOTKEYF_EXT = 0x08;

constexpr size_t MAX_PATH = 260;

// Texts are the program's own (UTF-8). A path or working folder of MAX_PATH
// characters or more, and arguments beyond 32767, answer E_INVALIDARG.
class IShellLinkA : public IUnknown
{
public:
    virtual HRESULT SetPath(const char *file) = 0;
    virtual HRESULT SetArguments(const char *arguments) = 0;
    virtual HRESULT SetWorkingDirectory(const char *folder) = 0;
    virtual HRESULT SetHotkey(uint16_t hotKey) = 0;
};

class IPersistFile : public IUnknown
{
public:
    // Writes the link to fileName (replacing it in one step); a blank name
    // answers E_INVALIDARG, a folder that does not exist
    // HResultFromWin32(ERROR_PATH_NOT_FOUND).
    virtual HRESULT Save(const char16_t *fileName, bool remember) = 0;
};

// A new shell link object with one reference, taken as IUnknown (what
// CoCreateInstance hands out).
IUnknown *NewShellLinkObject();
