#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"

std::string FindToolkitFolder(bool raiseIfMissing)
{
    const std::string searchPath
        = RegReadString(rkCurrentUser, ToolkitLibraryKey, ToolkitSearchPathValue, "");
    const int count = CountItems(searchPath, ";");
    for (int i = 1; i <= count; ++i) {
        const std::string folder = Trim(GetItem(searchPath, i, ";"));
        if (!folder.empty() && FileExists(AddTrailingBackslash(folder) + ToolkitMarkerFile))
            return RemoveTrailingBackslash(folder);
    }
    if (raiseIfMissing)
        throw IENoKelvaraPath("Cannot find the the Kelvara directory on the VCL library search path");
    return {};
}
