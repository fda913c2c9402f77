// The engine's filter-expression blocks: any bytes as a block installed on
// the orders table and run over its rows. Every fault of a block is the
// engine's error; anything else escaping is a finding.
#include "platform/db/dbengine.h"
#include "tools/fuzz/fuzz_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::unique_ptr<TTable> table = FuzzOpenTable(FuzzDatabase(), "orders");
    hDBIFilter handle = 0;
    try {
        handle = table->Handle()->AddFilter(nullptr, 1, false, data, size, nullptr);
    } catch (const EDBEngineError &) {
        return 0; // a damaged block is refused, which is right
    }
    table->Handle()->ActivateFilter(handle);
    try {
        table->Refresh();
        for (table->First(); !table->Eof(); table->Next())
            ++FuzzReached();
    } catch (const EDBEngineError &) {
        // a value the block cannot compare is reported, which is right
    }
    table->Handle()->DropFilter(handle);
    return 0;
}
