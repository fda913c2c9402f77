// Query-by-example texts: any text prepared and run against the customer and
// sales tables, blanks counting as zero or not by the first byte, and the
// answer read to its end.
#include "platform/db/dbengine.h"
#include "platform/rtl/exceptions.h"
#include "tools/fuzz/fuzz_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static TDatabase *const database = [] {
        auto *db = new TDatabase(nullptr);
        db->SetDatabaseName("fuzz-qbe");
        db->Params()->Add("PATH=" + FuzzDatabase());
        db->Open();
        return db;
    }();
    if (size == 0)
        return 0;
    try {
        auto statement = database->Handle()->AllocStatement();
        statement->SetProp(stmtBLANKS, data[0] & 1);
        statement->Prepare(qryLangQBE, std::string(AsText(data + 1, size - 1)));
        std::unique_ptr<TEngineCursor> answer = statement->Execute();
        ++FuzzReached();
        TEngineRow row;
        for (int n = 0; answer && n < 1000 && answer->GetNextRecord(row) == grOK; ++n)
            for (const Variant &value : row.Values)
                value.AsString();
    } catch (const EDBEngineError &) {
        // a text outside the subset is refused, which is right
    }
    return 0;
}
