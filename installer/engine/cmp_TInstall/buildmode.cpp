// Build mode and the floppy transfer of the install component: the setup
// program builds its own distribution (setup.1, files.1, the self-extracting
// setup.exe and, for network distributions, the remote file list) and copies
// a self-extracting setup onto floppies.

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"

#include <limits>
#include <vector>

#include "installer/engine/cmp_TInstall/runsupport.h"
#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/formats/remotefilelist.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

namespace
{

constexpr int64_t TransferBlockSize = 8192;
constexpr const char *LoaderProgramName = "KelvaraLoadProgram.exe";

// Build and floppy errors end in a plain message box, never in the run's handler.
void ShowMessage(const std::string &text)
{
    Application->MessageBox(text, Application->Title(), MB_OK);
}

// Copies count bytes of source from position from into a new file dest. A
// copy that comes up short leaves no half-written file behind.
void CopyPart(
    const std::string &source, int64_t from, int64_t count, const std::string &dest)
{
    bool complete = false;
    {
        TFileStream in(source, fmOpenRead | fmShareDenyNone);
        std::unique_ptr<TFileStream> out;
        try {
            out = std::make_unique<TFileStream>(dest, fmCreate);
        } catch (const Exception &) {
            throw IEInstall("Cannot create %s on the A drive. Probably not enough room", ExtractFileName(dest));
        }
        std::vector<char> buffer(TransferBlockSize);
        int64_t left = count;
        if (in.Seek(from, soFromBeginning) == from) {
            while (left > 0) {
                const int64_t n = in.Read(buffer.data(), std::min(left, TransferBlockSize));
                if (n <= 0 || out->Write(buffer.data(), n) != n)
                    break;
                left -= n;
                Application->ProcessMessages();
            }
        }
        complete = left == 0;
    }
    if (!complete) {
        DeleteFile(dest);
        throw IEInstall("Cannot create %s on the A drive. Probably not enough room", ExtractFileName(dest));
    }
}

// Appends the whole of source to dest; false when fewer bytes arrive.
bool AppendFile(TStream &dest, const std::string &source)
{
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(source, fmOpenRead | fmShareDenyNone);
    } catch (const Exception &) {
        return false;
    }
    const int64_t size = in->Size();
    try {
        return dest.CopyFrom(*in, 0) == size;
    } catch (const EStreamError &) {
        return false;
    }
}

} // namespace

// ---- Build mode --------------------------------------------------------------------

void TCustomInstall::BuildFromBuildInf()
{
    try {
        const std::string program = SetupProgramPath();
        const std::string path = AddTrailingBackslash(ExtractFileDir(program)) + "BUILD.INF";
        if (!FileExists(path))
            throw IEInstall("Need to have a BUILD.INF file in this directory with the first line specifying "
                            "the build directory");
        TStringList lines;
        lines.LoadFromFile(path);
        // A blank first line would build into the current folder.
        if (lines.Count() == 0 || Trim(lines.Strings(0)).empty())
            throw IEInstall("Must be 1 line in BUILD.INF. This line should specify the build directory");
        Build(program, Trim(lines.Strings(0)), true);
    } catch (const Exception &e) {
        exitStatus_ = 1;
        ShowMessage(e.Message());
    }
    Application->Terminate();
}

void TCustomInstall::Build(
    const std::string &programPath, const std::string &buildDir, bool makeSelfExtractor)
{
    if (makeSelfExtractor && !useLoadingProgram_)
        throw IEInstall("Cannot build a stand alone executable if the UseLoadingProgram property of the "
                        "TInstall is set to False");
    const std::string folder = AddTrailingBackslash(buildDir);
    const std::string setupExe = folder + "setup.exe";
    const std::string setup1 = folder + "setup.1";
    const std::string files1 = folder + "files.1";

    CopySetupProgram(buildDir, programPath);
    OnAfterSetupProgram(this);

    TCustomPathSpecifier *const savedType = ArchiveFileType();
    const std::string savedFile = ArchiveFile();
    struct Restore {
        TCustomInstall *install;
        TCustomPathSpecifier *type;
        const std::string &file;
        ~Restore()
        {
            install->SetArchiveFileType(type);
            install->SetArchiveFile(file);
        }
    } restore { this, savedType, savedFile };
    SetArchiveFileType(nullptr);
    SetArchiveFile(files1);
    if (TCustomInstallFileList *files = InstallFileList()) {
        for (int i = 0; i < files->Count(); ++i) {
            files->Items(i)->SetArchiveState(0);
            files->Items(i)->SetIsNetFile(0);
        }
    }
    switch (distributeType_) {
    case dtTraditional:
        Compress({ coKeepSourceFolders, coBuildMarker, coForceNetFilesLocal, coIncludeAll });
        break;
    case dtWeb:
        Compress({ coKeepSourceFolders, coBuildMarker, coForceFilesNet, coIncludeAll });
        WriteRemoteFileList();
        break;
    case dtTraditionalNet:
        Compress({ coKeepSourceFolders, coBuildMarker, coIncludeAll });
        WriteRemoteFileList();
        break;
    }

    OnAfterCompressFiles(this);
    if (makeSelfExtractor)
        WriteSelfExtractor(setupExe, setup1, files1);
}

void TCustomInstall::CopySetupProgram(const std::string &buildDir, const std::string &programPath)
{
    const std::string folder = AddTrailingBackslash(buildDir);
    if (useLoadingProgram_) {
        try {
            CreateSetupArchive(buildDir, programPath);
        } catch (const EkcDiskFull &) {
            throw IEInstall(
                "The disk that you have specified has been determined to be either too full or is corrupt "
                "while trying to copy the SETUP.1 archive file. You should probably clear all files off of "
                "the drive. Minimally, you should leave enough space on the drive for the SETUP.1 archive "
                "file.");
        }
        const std::string toolkit = FindToolkitFolder(false);
        if (toolkit.empty())
            throw IEInstall(
                "La clave HKEY_LOCAL_MACHINE | %s del registro de Windows no se encuentra o apunta "
                "a una carpeta inválida.",
                std::string(ToolkitLibraryKey));
        const std::string loader = AddTrailingBackslash(toolkit) + LoaderProgramName;
        if (!FileExists(loader))
            throw IEInstall("The loader program %s was not found", loader);
        const std::string setupExe = folder + "setup.exe";
        if (!::CopyFile(loader, setupExe, false))
            throw IEInstall("Cannot copy the loading program from %s to %s", loader, setupExe);
        return;
    }
    OnBeforeCopyProgram(this, programPath);
    ForceDirectories(RemoveTrailingBackslash(buildDir));
    const std::string dest = folder + ExtractFileName(programPath);
    if (!::CopyFile(programPath, dest, false))
        throw IEInstall("Cannot copy the installation application from %s to %s", programPath, dest);
    OnAfterCopyProgram(this);
}

void TCustomInstall::CreateSetupArchive(const std::string &buildDir, const std::string &programPath)
{
    if (Trim(programPath).empty())
        throw IEInstall("Cannot create setup file. Executable is blank");
    OnBeforeSetupArchive(this);
    if (!FileExists(programPath))
        throw IEInstall("TInstall: Cannot find the executable file %s", programPath);
    const std::string setup1 = AddTrailingBackslash(buildDir) + "setup.1";
    // The setup program comes first: the loading program starts the first file of setup.1.
    auto pack = [&](const std::string &path, TlzhCommand command) {
        TInstallFile file(nullptr);
        file.SetNet(false);
        file.SetArchiveFileType(nullptr);
        file.SetIncludeFromDir(RemoveTrailingBackslash(ExtractFileDir(path)));
        file.SetFileName(ExtractFileName(path));
        file.SetAddToArchive(command);
        file.SetArchiveFile(setup1);
        file.Compress();
    };
    pack(programPath, lzcOverwrite);
    for (int i = 0; i < PresetupFiles()->Count(); ++i)
        pack(PresetupFiles()->Strings(i), lzcOnlyAdd);
    OnAfterSetupArchive(this);
}

void TCustomInstall::WriteRemoteFileList()
{
    const std::string folder
        = AddTrailingBackslash(AddTrailingBackslash(ExtractFileDir(ArchiveFile())) + RemoteFolder());
    std::vector<TCustomInstallFile *> listed;
    if (TCustomInstallFileList *files = InstallFileList()) {
        for (int i = 0; i < files->Count(); ++i) {
            TCustomInstallFile *file = files->Items(i);
            if (file->ArchiveState() != 1 && file->ArchiveState() != 2)
                continue;
            // The record holds 39 bytes of the name and its end; a longer name
            // would come back as another file's, or as none.
            if (file->Name().size() >= RemoteNameField)
                throw IEInstall(
                    "The name of the install file %s is too long for the remote file list: a name "
                    "can have at most %d characters",
                    file->Name(), RemoteNameField - 1);
            listed.push_back(file);
        }
    }
    std::string bytes(4, '\0');
    const auto count = static_cast<uint32_t>(listed.size());
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(count >> (8 * i));
    for (TCustomInstallFile *file : listed)
        bytes += EncodeRemoteFileRecord(
            { file->UncompressedSize(), file->FileDate(), file->Name(), file->Version() });
    ForceDirectories(RemoveTrailingBackslash(folder));
    TFileStream out(folder + "filelist.lst", fmCreate);
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TCustomInstall::WriteSelfExtractor(
    const std::string &setupExe, const std::string &setup1, const std::string &files1)
{
    OnBeforeSelfExtractor(this);
    TSelfExtractorTrailer trailer;
    {
        TFileStream exe(setupExe, fmOpenReadWrite | fmShareExclusive);
        // Every offset of the trailer is an Int32.
        auto position = [&](const std::string &source) {
            const int64_t at = exe.Seek(0, soFromEnd);
            if (at < 0 || at > std::numeric_limits<int32_t>::max())
                throw IEInstall(
                    "Cannot create the self-extracting exe because %s could not be loaded onto %s", source,
                    setupExe);
            return static_cast<int32_t>(at);
        };
        auto append = [&](const std::string &source, int32_t &first, int32_t &last) {
            first = position(source);
            if (!AppendFile(exe, source))
                throw IEInstall(
                    "Cannot create the self-extracting exe because %s could not be loaded onto %s", source,
                    setupExe);
            last = position(source) - 1;
        };
        append(setup1, trailer.SetupStart, trailer.SetupEnd);
        if (FileExists(files1))
            append(files1, trailer.FilesStart, trailer.FilesEnd);
        const TTrailerBytes bytes = EncodeTrailer(trailer);
        exe.WriteBuffer(bytes.data(), SelfExtractorTrailerSize);
    }
    OnAfterSelfExtractor(this);
}

// ---- Reading a distribution ----------------------------------------------------------

TSelfExtractorTrailer TCustomInstall::ReadSelfExtractorTrailer(const std::string &path)
{
    TSelfExtractorTrailer trailer;
    if (!ReadTrailer(path, trailer))
        throw IEInstall(MsgCannotReadTrailer, path);
    return trailer;
}

void TCustomInstall::ReadRemoteFileList()
{
    if (distributeType_ == dtTraditional)
        return;
    TCustomNetInstallLocation *location = NetLocationOf(this);
    if (!location)
        throw IEFileRel_NoNetLocation("Could not find a net install location for %s", Name());
    const std::string temporary = MakeTempFileName();
    struct Remove {
        const std::string &path;
        ~Remove() { DeleteFile(path); }
    } remove { temporary };
    location->Download("filelist.lst", temporary);
    std::vector<TRemoteFileRecord> records;
    bool complete = false;
    {
        TFileStream in(temporary, fmOpenRead | fmShareDenyNone);
        complete = ReadRemoteFileRecords(in, records);
    }
    if (!complete)
        throw IEInstall("Cannot read the remote list of files: %s", temporary);
    TCustomInstallFileList *files = InstallFileList();
    for (const TRemoteFileRecord &record : records) {
        for (int i = 0; files && i < files->Count(); ++i) {
            if (SameText(files->Items(i)->Name(), record.Name)) {
                files->Items(i)->SetRemoteInfo(record.UncompressedSize, record.FileDate, record.Version);
                break;
            }
        }
    }
}

// ---- The floppy transfer ---------------------------------------------------------------

void TCustomInstall::TransferToFloppies(const std::string &drive)
{
    const TCursor savedCursor = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    TKvraCompress *archive = SharedArchive();
    const std::string folder = AddTrailingBackslash(drive);
    bool statusShown = false;
    try {
        if (!switches_.Contains(swSelfExtractor))
            throw IEInstall("Sorry... You can only transfer this installation to floppies through the "
                            "self-extracting file. Usage example: setup.exe *TODISK");
        const std::string source = ArchivePath();
        const TSelfExtractorTrailer trailer = ReadSelfExtractorTrailer(source);
        ShowStatusMessage(TranslateString("Transferring this installation to floppies. Please wait..."));
        statusShown = true;
        CopyPart(source, 0, trailer.SetupStart, folder + "setup.exe");
        MarkProgramExecutable(folder + "setup.exe"); // the loader: a program, as its source is
        CopyPart(source, trailer.SetupStart, int64_t { trailer.SetupEnd } - trailer.SetupStart + 1, folder + "setup.1");
        // A setup without files.1 has nothing more to carry.
        if (trailer.HasFiles()) {
            struct Clear {
                TKvraCompress *archive;
                ~Clear()
                {
                    archive->OnNewDisk.Clear();
                    archive->OnStatus.Clear();
                }
            } clear { archive };
            archive->SetCompressedFile(source);
            archive->SetOffset(trailer.FilesStart);
            archive->OnNewDisk = [](TKvraCompress *, int disk, std::string &) {
                Screen->SetCursor(crDefault);
                const int answer = Application->MessageBox(TranslateFormat("Please insert disk %d", disk),
                    Application->Title(), MB_OKCANCEL | MB_ICONQUESTION);
                Screen->SetCursor(crHourGlass);
                if (answer == IDCANCEL)
                    throw IEInstall("Aborted by user");
            };
            archive->OnStatus = [this](TKvraCompress *sender, const TlzhFileStats &stats) {
                OnTransferStatus(this, sender, stats);
                Application->ProcessMessages();
            };
            try {
                archive->CopyToDisks(RemoveTrailingBackslash(folder), "files.1");
            } catch (...) {
                // The pieces on the disk in the drive belong to an archive that
                // will never be whole.
                TSearchRec found;
                for (int r = FindFirst(folder + "files.*", faAnyFile & ~faDirectory, found); r == 0;
                     r = FindNext(found))
                    DeleteFile(folder + found.Name);
                FindClose(found);
                throw;
            }
        }
    } catch (const Exception &e) {
        if (statusShown)
            ClearStatusMessage();
        statusShown = false;
        Screen->SetCursor(savedCursor);
        exitStatus_ = 1;
        ShowMessage(e.Message());
    }
    if (statusShown)
        ClearStatusMessage();
    Screen->SetCursor(savedCursor);
    CleanupLoaderFiles();
    Application->Terminate();
}
