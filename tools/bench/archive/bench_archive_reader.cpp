// Extracts every file of a one-file install archive with the format library
// alone, as the setup's loading program can: no component, no user
// interface, no emulated machine. bench_archive runs it to show what the
// format costs without the rest.
//
//     bench_archive_reader <archive> <stored-name-prefix> <out-folder>
//
// Each stored name is the file's source path; the part after the prefix is
// where the file goes below out-folder.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "installer/formats/kvraformat.h"
#include "platform/rtl/streams.h"

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    const std::string prefix = argv[2];
    const std::filesystem::path out = argv[3];
    THandleStream archive(open(argv[1], O_RDONLY | O_CLOEXEC));
    std::vector<TKvraStoredHeader> headers;
    bool multiDisk = false;
    if (ReadKvraHeaders(archive, 0, multiDisk, [&](TKvraStoredHeader &h) { headers.push_back(std::move(h)); })
            != TKvraReadFault::None
        || multiDisk)
        return 1;
    TKvraInflater z;
    std::set<std::filesystem::path> folders;
    for (const TKvraStoredHeader &h : headers) {
        std::string name = h.FileName.substr(std::min(prefix.size(), h.FileName.size()));
        for (char &c : name)
            if (c == '\\')
                c = '/';
        const std::filesystem::path target = out / name;
        if (folders.insert(target.parent_path()).second)
            std::filesystem::create_directories(target.parent_path());
        const int dest = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        int64_t position = h.DataStart, produced = 0;
        archive.Seek(position, soFromBeginning);
        const TKvraInflater::TReader read = [&](uint8_t *buffer, int64_t count) {
            const int64_t n = archive.Read(buffer, std::min<int64_t>(count, h.DataEnd + 1 - position));
            position += n;
            return n;
        };
        z.Start();
        while (!z.Ended()) {
            const int64_t have = z.Fill(read);
            if (have == 0 || write(dest, z.Output(), have) != have)
                break;
            produced += have;
        }
        close(dest);
        if (!z.Ended() || produced != h.UncompressedSize) {
            std::fprintf(stderr, "%s is damaged\n", h.FileName.c_str());
            return 1;
        }
    }
    return 0;
}
