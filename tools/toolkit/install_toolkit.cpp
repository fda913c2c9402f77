// Puts the loading program into the toolkit folder of the emulated machine
// ($WINROOT, else the default root), where the setup program's build looks
// for it: C:\Kelvara holds KelvaraLoadProgram.exe and the marker file, and
// the folder is on the library search path. "tools/run distribution" runs it
// for the machine it uses before every build of a distribution, so a new or
// reset machine builds distributions with no hand step.
//
//   install_toolkit <the built loader, a host path>

#include <cstdio>
#include <string>

#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: install_toolkit <loader>\n");
        return 2;
    }
    try {
        const std::string folder = "C:\\Kelvara";
        Machine();
        if (!ForceDirectories(folder)
            || !CopyFile(Machine().WindowsPath(argv[1]), folder + "\\KelvaraLoadProgram.exe", false))
            throw Exception("Cannot put the loading program into " + folder);
        const std::string marker = folder + "\\" + ToolkitMarkerFile;
        if (!FileExists(marker) && FileCreate(marker) < 0)
            throw Exception("Cannot create " + marker);

        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (!reg.OpenKey(ToolkitLibraryKey, true))
            throw Exception(std::string("Cannot open the key ") + ToolkitLibraryKey);
        const std::string path = reg.ReadString(ToolkitSearchPathValue);
        for (size_t start = 0; start <= path.size();) {
            size_t end = path.find(';', start);
            if (end == std::string::npos)
                end = path.size();
            if (SameText(ExcludeTrailingBackslash(Trim(path.substr(start, end - start))), folder))
                return 0;
            start = end + 1;
        }
        reg.WriteString(ToolkitSearchPathValue, Trim(path).empty() ? folder : path + ";" + folder);
    } catch (const Exception &e) {
        std::fprintf(stderr, "install_toolkit: %s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
