// Registry hive files: a text that parses is written out again, and what is
// written must parse back to the same text.
#include "platform/system/regformat.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<TRegKeyNode> root;
    try {
        root = ParseRegFile(AsText(data, size), "fuzz.reg", "HKEY_LOCAL_MACHINE");
    } catch (const ERegistryException &) {
        return 0; // a damaged file is refused, which is right
    }
    ++FuzzReached();
    const std::string written = WriteRegFile(*root, "HKEY_LOCAL_MACHINE");
    const std::string again = WriteRegFile(*ParseRegFile(written, "written.reg", "HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE");
    if (again != written)
        std::abort(); // the writer wrote something that reads back differently
    return 0;
}
