// The RTF reader: any bytes are read or refused with ERtfError, and what is
// read survives a trip through the writer unchanged.
#include "platform/rich/rtf.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TRichDocument document;
    try {
        document = ReadRtf(AsText(data, size));
    } catch (const ERtfError &) {
        return 0;
    }
    if (!(ReadRtf(WriteRtf(document)) == document))
        std::abort();
    return 0;
}
