// The remote file list "filelist.lst" of a network distribution: any bytes
// as the list. Every record taken keeps its name and version within their
// fields, and a list is taken only when its count matches its records.
#include "installer/formats/remotefilelist.h"
#include "platform/rtl/streams.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TMemoryStream stream;
    stream.WriteBuffer(data, static_cast<int64_t>(size));
    stream.Seek(0, soFromBeginning);
    std::vector<TRemoteFileRecord> records;
    if (!ReadRemoteFileRecords(stream, records))
        return 0;
    FuzzReached() += !records.empty();
    if (size < 4 + records.size() * RemoteFileRecordSize)
        std::abort(); // more records than the bytes hold
    for (const TRemoteFileRecord &record : records)
        if (record.Name.size() > RemoteNameField || record.Version.size() > RemoteVersionField)
            std::abort(); // a field read past its end
    return 0;
}
