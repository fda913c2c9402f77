// Filter expressions as a user types them: any text compiled against the
// orders table and, when it compiles, installed and run over its rows. A
// field the table lacks is reported in a message box, answered at once.
#include "controls/base/Qxfilter.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/testing.h"
#include "tools/fuzz/fuzz_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::unique_ptr<TTable> table = FuzzOpenTable(FuzzDatabase(), "orders");
    ScriptedMessageBoxes boxes;
    hDBIFilter handle = 0;
    try {
        if (CompileFilter(std::string(AsText(data, size)), table.get(), handle, true)) {
            table->Handle()->ActivateFilter(handle);
            table->Refresh();
            for (table->First(); !table->Eof(); table->Next())
                ++FuzzReached();
        }
    } catch (const Exception &) {
        // a constant that does not convert is refused, which is right
    }
    if (handle)
        qxDropFilter(table.get(), handle);
    return 0;
}
