// A hostile SQLite database opened through the dataset layer: any bytes as
// the database file; its tables are listed, and each is opened and read,
// every field of every row as text, as a form bound to it would show them.
#include "platform/rtl/exceptions.h"
#include "tools/fuzz/fuzz_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int count = 0;
    const std::string file = FuzzFile("hostile.db", AsText(data, size));
    try {
        TDatabase database(nullptr);
        database.SetDatabaseName("fuzz-hostile-" + std::to_string(++count));
        database.Params()->Add("PATH=" + file);
        database.Open();
        const std::vector<std::string> names = database.Handle()->TableNames();
        for (size_t t = 0; t < names.size() && t < 8; ++t) {
            try {
                const std::unique_ptr<TTable> table = FuzzOpenTable(file, names[t]);
                ++FuzzReached();
                int rows = 0;
                for (table->First(); !table->Eof() && rows < 100; table->Next(), ++rows)
                    for (int f = 0; f < table->FieldCount(); ++f)
                        table->Fields(f)->AsString();
            } catch (const Exception &) {
                // a table the engine cannot read, or a value of another kind
                // than its field's, is refused, which is right
            }
        }
    } catch (const EDBEngineError &) {
        // a file that is no database is refused, which is right
    }
    return 0;
}
