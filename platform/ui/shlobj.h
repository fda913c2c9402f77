#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/messages.h"

// The shell's folder browser, over the drives and folders of the machine the
// file routines see (platform/rtl/pathmap.h): a modal window with a tree of
// the drives, whose folders are read as a drive or folder is opened, and OK
// and Cancel. Names are matched without regard to case, as Windows does.
// The window talks to its caller through the callback, as the system's does:
// BFFM_INITIALIZED once it shows, BFFM_SELCHANGED at each new selection; the
// caller sends BFFM_SETSELECTION and BFFM_ENABLEOK to the window. The
// window's children are, in this order, the text, the tree (a
// TCustomTreeView), OK and Cancel (TButtons); a caller may add its own.

// A folder the browser hands back; free it with ILFree.
struct ITEMIDLIST {
    std::string Path; // "C:\Program Files"; a drive as "C:\"
};
using PIDLIST_ABSOLUTE = ITEMIDLIST *;

// The callback: the browser's window, the message, its parameter (for
// BFFM_SELCHANGED the new folder) and the caller's lParam.
using BFFCALLBACK = std::function<int(HWND window, uint32_t msg, LPARAM lParam, LPARAM data)>;

constexpr uint32_t BIF_RETURNONLYFSDIRS = 0x0001;

// Callback messages.
constexpr uint32_t BFFM_INITIALIZED = 1;
constexpr uint32_t BFFM_SELCHANGED = 2; // lParam: const ITEMIDLIST *
// Messages to the browser's window.
constexpr uint32_t BFFM_ENABLEOK = WM_USER + 101; // lParam: nonzero enables OK
constexpr uint32_t BFFM_SETSELECTION = WM_USER + 102; // wParam TRUE, lParam: const char * path

struct BROWSEINFO {
    HWND hwndOwner = nullptr;
    PIDLIST_ABSOLUTE pidlRoot = nullptr; // null: every drive
    std::string DisplayName; // out: the chosen folder's name
    std::string lpszTitle; // the text above the tree
    uint32_t ulFlags = 0;
    BFFCALLBACK lpfn;
    LPARAM lParam = 0;
};

// Runs the browser modally; the chosen folder, or null after Cancel.
PIDLIST_ABSOLUTE SHBrowseForFolder(BROWSEINFO &info);
bool SHGetPathFromIDList(const ITEMIDLIST *pidl, std::string &path);
void ILFree(PIDLIST_ABSOLUTE pidl);
