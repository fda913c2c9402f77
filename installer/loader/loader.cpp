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

#include "installer/loader/setuparchive.h"
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
    const std::vector<TKvraStoredHeader> headers = ReadSetupHeaders(stream, archive);

    const std::string folder = MakeLoaderFolder();
    try {
        TKvraInflater inflater;
        for (const TKvraStoredHeader &header : headers)
            ExtractSetupFile(stream, archive, header, inflater, folder);
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
