// File version information: the input is a whole file (a Windows program, an
// ELF program or anything else) read the way the installer reads a file's
// version, and also a version block on its own.
#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzFolder(); // before the reader's component wakes the window system
    const std::string bytes(AsText(data, size));
    TVersionBlock block(bytes);
    if (block.FixedFileInfo())
        ++FuzzReached();
    block.QueryString("\\VarFileInfo\\Translation");
    block.QueryString("\\StringFileInfo\\040904E4\\CompanyName");
    block.QueryString("\\StringFileInfo\\0C0A04E4\\FileVersion");

    TVersionResource resource(nullptr);
    resource.SetFileName(FuzzFile("fuzz.exe", bytes));
    resource.VersionInfo()->FileVersion();
    return 0;
}
