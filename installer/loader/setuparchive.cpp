#include "installer/loader/setuparchive.h"

#include <algorithm>

#include "installer/formats/selfextractor.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

TSetupArchive FindSetupArchive(const std::string &self)
{
    TSetupArchive archive;
    TSelfExtractorTrailer trailer;
    if (ReadTrailer(self, trailer)) {
        archive.path = self;
        archive.first = trailer.SetupStart;
        archive.last = trailer.SetupEnd;
        archive.selfExtracting = true;
        return archive;
    }
    // A plain distribution folder (a build folder, or the first floppy).
    const std::string beside = IncludeTrailingBackslash(ExtractFileDir(self)) + "setup.1";
    const int64_t size = FileSize(beside);
    if (size <= 0)
        throw ELoader(Format(MsgCannotReadTrailer, self));
    archive.path = beside;
    archive.last = size - 1;
    return archive;
}

std::vector<TKvraStoredHeader> ReadSetupHeaders(TStream &stream, const TSetupArchive &archive)
{
    std::vector<TKvraStoredHeader> headers;
    bool multiDisk = false;
    const std::string damaged = Format("The setup archive in %s is damaged", archive.path);
    const TKvraReadFault fault = ReadKvraHeaders(
        stream, archive.first, multiDisk, [&](TKvraStoredHeader &header) { headers.push_back(header); });
    if (fault != TKvraReadFault::None || multiDisk || headers.empty())
        throw ELoader(damaged);
    const int64_t length = archive.last - archive.first + 1;
    for (const TKvraStoredHeader &h : headers) {
        if (h.DataStart < ArchiveHeadSize || h.DataEnd < h.DataStart || h.DataEnd >= length
            || !IsUsableNamePart(StoredNamePart(h.FileName)))
            throw ELoader(damaged);
    }
    return headers;
}

void ExtractSetupFile(TStream &stream, const TSetupArchive &archive, const TKvraStoredHeader &header,
    TKvraInflater &inflater, const std::string &folder)
{
    const std::string target = IncludeTrailingBackslash(folder) + StoredNamePart(header.FileName);
    const std::string damaged = Format("The setup archive in %s is damaged", archive.path);
    int64_t position = archive.first + header.DataStart;
    const int64_t end = archive.first + header.DataEnd + 1;
    if (stream.Seek(position, soFromBeginning) != position)
        throw ELoader(damaged);
    TFileStream out(target, fmCreate);
    inflater.Start();
    int64_t produced = 0;
    for (;;) {
        const int64_t n = inflater.Fill([&](uint8_t *buffer, int64_t count) -> int64_t {
            const int64_t want = std::min(count, end - position);
            const int64_t got = want > 0 ? stream.Read(buffer, want) : 0;
            position += std::max<int64_t>(got, 0);
            return got;
        });
        if (produced + n > header.UncompressedSize)
            throw ELoader(damaged);
        out.WriteBuffer(inflater.Output(), n);
        produced += n;
        if (n == 0 || inflater.Ended())
            break;
    }
    if (!inflater.Ended() || produced != header.UncompressedSize)
        throw ELoader(damaged);
    FileSetDate(out.Handle(), DateTimeToFileDate(header.FileDate));
    MarkProgramExecutable(target);
}
