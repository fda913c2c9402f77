// The self-extractor's trailer: any bytes as a whole self-extracting file.
// A trailer that is taken must place the setup.1 copy, and the files.1 copy
// when there is one, end to end between the loader and the trailer.
#include "installer/formats/selfextractor.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TSelfExtractorTrailer trailer;
    if (!ReadTrailer(FuzzFile("setup.exe", AsText(data, size)), trailer))
        return 0;
    ++FuzzReached();
    const int64_t body = static_cast<int64_t>(size) - SelfExtractorTrailerSize;
    const int64_t setupEnd = trailer.SetupEnd, filesStart = trailer.FilesStart, filesEnd = trailer.FilesEnd;
    const bool placed = 0 <= trailer.SetupStart && trailer.SetupStart <= setupEnd
        && (trailer.HasFiles() ? setupEnd + 1 == filesStart && filesStart <= filesEnd && filesEnd == body - 1
                               : setupEnd == body - 1);
    if (!placed)
        std::abort(); // a trailer was taken whose copies do not lie in the file
    return 0;
}
