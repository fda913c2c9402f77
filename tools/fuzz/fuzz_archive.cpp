// Install archives: any bytes as the archive file; its headers are listed
// and every file it names is extracted. Nothing may be written outside the
// extraction folder.
#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string archive = FuzzFile("fuzz.kvr", AsText(data, size));
    const std::filesystem::path files = FuzzFolder().substr(2);
    const std::filesystem::path out = files / "out";
    std::filesystem::remove_all(out);
    try {
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile(archive);
        kc.SetExtractDirectory(FuzzFolder() + "/out");
        const int count = kc.FileCount();
        for (int i = 0; i < count && i < 64; ++i) {
            TlzhFileStats stats;
            kc.GetFileStats(i, stats);
            kc.FilesToProcess()->Add(stats.FileName);
        }
        kc.ExtractFiles();
        if (std::filesystem::exists(out) && !std::filesystem::is_empty(out))
            ++FuzzReached();
    } catch (const Exception &) {
        // a damaged archive is refused, which is right
    }
    for (const auto &entry : std::filesystem::directory_iterator(files))
        if (entry.path() != out && entry.path().filename() != "fuzz.kvr")
            std::abort(); // written outside the extraction folder
    std::filesystem::remove_all(out);
    return 0;
}
