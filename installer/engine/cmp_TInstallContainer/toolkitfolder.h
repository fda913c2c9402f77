#pragma once

#include <string>

// Where the development environment keeps its library search path: the value
// "SearchPath" of this HKEY_CURRENT_USER key, folders separated by ';'.
inline constexpr const char *ToolkitLibraryKey = "\\Software\\Borland\\Delphi\\3.0\\Library";
inline constexpr const char *ToolkitSearchPathValue = "SearchPath";
// The file that marks the toolkit's folder.
inline constexpr const char *ToolkitMarkerFile = "K32V35.TXT";

// The first folder of the library search path that holds the marker file,
// without trailing backslash. When there is none: with raiseIfMissing
// IENoKelvaraPath "Cannot find the the Kelvara directory on the VCL library
// search path", else "".
std::string FindToolkitFolder(bool raiseIfMissing);
