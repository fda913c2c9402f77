// Puts the product's files where the setup program's configuration takes
// them from on the emulated machine ($WINROOT, else the default root), so
// that "dedazida -b" builds the distribution of this checkout's tabulo; run
// by "tools/run distribution" before every build of a distribution:
//
//   stage_tabulo <tabulo> <licence text> <uninstaller>     (host paths)

#include <cstdio>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/system/machine.h"

namespace
{
void Stage(const std::string &host, const std::string &folder, const std::string &name)
{
    if (!ForceDirectories(folder) || !CopyFile(Machine().WindowsPath(host), folder + "\\" + name, false))
        throw Exception("Cannot put " + host + " into " + folder);
    MarkProgramExecutable(folder + "\\" + name);
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: stage_tabulo <tabulo> <licence text> <uninstaller>\n");
        return 2;
    }
    try {
        Machine();
        Stage(argv[1], "C:\\master\\si\\Tabulo\\v2", "Tabulo.exe");
        Stage(argv[2], "C:\\MASTER\\Si\\licencia", "licencia.txt");
        Stage(argv[3], "C:\\INSTALAR\\si\\desinstalar", "Desinstalar.exe");
    } catch (const Exception &e) {
        std::fprintf(stderr, "stage_tabulo: %s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
