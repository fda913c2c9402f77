// The loading program's unpacking of setup.1: after a first byte, any bytes
// as the self-extracting setup program (first byte even) or as the setup.1
// beside it (odd), read and unpacked as the loader does into a folder of its
// own.
// Nothing may be written outside that folder.
#include "installer/loader/setuparchive.h"
#include "platform/rtl/streams.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::filesystem::path files = FuzzFolder().substr(2);
    const std::filesystem::path out = files / "out";
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    if (size == 0)
        return 0;
    const bool beside = data[0] & 1;
    FuzzFile(beside ? "setup.1" : "setup.exe", AsText(data + 1, size - 1));
    try {
        const TSetupArchive archive = FindSetupArchive(FuzzFolder() + "/setup.exe");
        TFileStream stream(archive.path, fmOpenRead | fmShareDenyNone);
        const std::vector<TKvraStoredHeader> headers = ReadSetupHeaders(stream, archive);
        TKvraInflater inflater;
        for (const TKvraStoredHeader &header : headers)
            ExtractSetupFile(stream, archive, header, inflater, FuzzFolder() + "/out");
        ++FuzzReached();
    } catch (const Exception &) {
        // a damaged setup is refused, which is right
    }
    for (const auto &entry : std::filesystem::directory_iterator(files))
        if (entry.path() != out && entry.path().filename() != "setup.exe" && entry.path().filename() != "setup.1")
            std::abort(); // written outside the folder
    std::filesystem::remove(files / "setup.1");
    std::filesystem::remove(files / "setup.exe");
    return 0;
}
