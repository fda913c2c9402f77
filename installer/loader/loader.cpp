// The loading program of the self-extracting setup ("setup.exe"). Started by
// the user, it finds the setup archive setup.1 (inside its own file, behind
// the trailer's offsets, or beside it in the distribution folder), unpacks
// the setup program and its presetup files into a fresh folder in the
// machine's temporary folder, starts the setup program there and passes its
// exit status on. "setup.exe *TODISK" asks for the floppy transfer instead.
//
// Everything is checked before the first byte is written: the trailer, the
// archive's head and headers, that every file's data lies inside the setup.1
// copy. Data that turns out damaged while it is unpacked takes the whole new
// folder with it.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "installer/formats/kvraformat.h"
#include "installer/formats/selfextractor.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"
#include "platform/system/windows.h"

namespace
{

// Failures of the loader; the message is what the user reads.
class ELoader : public Exception
{
public:
    using Exception::Exception;
};

struct TSetupArchive {
    std::string path; // the file that holds setup.1
    int64_t first = 0; // its first byte in that file
    int64_t last = 0; // its last byte
    bool selfExtracting = false;
};

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

// The headers of setup.1, each checked to lie inside the copy.
std::vector<TKvraStoredHeader> ReadHeaders(TStream &stream, const TSetupArchive &archive)
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

// A fresh folder of the machine's temporary folder.
std::string MakeLoaderFolder()
{
    const std::string temp = GetTempPath();
    ForceDirectories(ExcludeTrailingBackslash(temp));
    for (unsigned n = 0; n < 10000; ++n) {
        const std::string folder
            = temp + "kvl" + IntToHex(static_cast<int64_t>(getpid()), 4) + IntToStr(static_cast<int>(n));
        if (CreateDir(folder))
            return folder;
    }
    throw ELoader("Cannot create a folder in " + temp);
}

// Inflates one file into folder, giving it its archive date, and execute
// bits when it is a program.
void Extract(TStream &stream, const TSetupArchive &archive, const TKvraStoredHeader &header,
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

// What the setup program is told: the distribution folder, the
// self-extracting file, the floppy transfer, and to clean up this folder.
std::vector<std::string> SetupArguments(const std::string &self, const TSetupArchive &archive, bool toDisk)
{
    std::vector<std::string> arguments { "-s" + ExcludeTrailingBackslash(ExtractFileDir(self)) };
    if (archive.selfExtracting)
        arguments.push_back("-e" + ExtractFileName(self));
    if (toDisk)
        arguments.push_back("-f");
    arguments.push_back("-c");
    return arguments;
}

int Run(int argc, char **argv)
{
    std::error_code error;
    const std::string host = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error)
        throw ELoader("Cannot find the loading program's own file");
    const std::string self = Machine().WindowsPath(host);
    const bool toDisk = argc > 1 && SameText(argv[1], "*TODISK");

    const TSetupArchive archive = FindSetupArchive(self);
    TFileStream stream(archive.path, fmOpenRead | fmShareDenyNone);
    const std::vector<TKvraStoredHeader> headers = ReadHeaders(stream, archive);

    const std::string folder = MakeLoaderFolder();
    try {
        TKvraInflater inflater;
        for (const TKvraStoredHeader &header : headers)
            Extract(stream, archive, header, inflater, folder);
    } catch (...) {
        std::filesystem::remove_all(MapPath(folder), error);
        throw;
    }
    // The setup program is the first file of setup.1.
    const std::string program = IncludeTrailingBackslash(folder) + StoredNamePart(headers.front().FileName);
    const int64_t process = StartProgram(program, SetupArguments(self, archive, toDisk));
    if (process < 0)
        throw ELoader("Cannot start the setup program " + program);
    return WaitForProgram(process);
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return Run(argc, argv);
    } catch (const Exception &e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    return 1;
}
