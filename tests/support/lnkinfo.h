#pragma once

#include <map>
#include <string>

// What Debian's lnkinfo (liblnk-utils), a reader written apart from ours,
// reports of a shortcut file: its "Key : Value" lines, keyed by the trimmed
// key ("Local path", "Command line arguments", "Working directory",
// "Relative path", ...), and "error" with its output when it refuses the file.
std::map<std::string, std::string> LnkInfo(const std::string &hostPath);

// The hot key of a shortcut file, read from its header (bytes 64 and 65).
// The lnkinfo of Debian 12 (liblnk 20181227) reports the header's file size
// in its place, so the key is read here by the documented offset instead.
int LnkHeaderHotKey(const std::string &hostPath);
