#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"

#include <array>
#include <cstdint>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/classes/filer.h"
#include "platform/rtl/files.h"
#include "platform/rtl/lasterror.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/system/inifiles.h"
#include "platform/system/process.h"
#include "platform/system/registry.h"
#include "platform/system/restart.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

const TMetaClass TCustomInstallFile::Class { "TCustomInstallFile", &TFileRelated::Class };
const TMetaClass TInstallFile::Class { "TInstallFile", &TCustomInstallFile::Class };

const TEnumNames InstallFileTypeNames { "iftNormal", "iftJustADLL", "iftApplicationSpecificDLL",
    "iftVendorSharedDLL", "iftSystemWideDLL" };
const TEnumNames InstallFileStateNames { "ifsNone", "ifsCompress", "ifsInstall", "ifsCopying" };

namespace
{

extern const TEnumNames OverwriteNames;
const TEnumNames OverwriteNames { "owAlways", "owNever", "owVersion", "owDate", "owVersionDate" };

using P = TPublish<TInstallFile>;
using I = TInstallPublish<TInstallFile>;
// clang-format off
const TClassRegistrar<TInstallFile> fileRegistrar({
    //              name                names                 getter                            setter                               default
    P::String      ("ArchiveFile",                            &TInstallFile::ArchiveFile,       &TInstallFile::SetArchiveFile,       ""),
    P::Component   ("ArchiveFileType",                        &TInstallFile::ArchiveFileType,   &TInstallFile::SetArchiveFileType),
    P::Enum        ("AddToArchive",     LzhCommandNames,      &TInstallFile::AddToArchive,      &TInstallFile::SetAddToArchive,      lzcOverwrite),
    I::Container(),
    I::DestDir(),
    I::DestDirType(),
    I::Include(),
    I::InstallTypes(),
    P::Boolean     ("Net",                                    &TInstallFile::Net,               &TInstallFile::SetNet,               false),
    P::Component   ("NetLocation",                            &TInstallFile::NetLocation,       &TInstallFile::SetNetLocation),
    I::Order(),
    P::Boolean     ("ActiveX",                                &TInstallFile::ActiveX,           &TInstallFile::SetActiveX,           false),
    P::String      ("DestName",                               &TInstallFile::DestName,          &TInstallFile::SetDestName,          ""),
    P::String      ("FileName",                               &TInstallFile::FileName,          &TInstallFile::SetFileName,          ""),
    P::Enum        ("FileType",         InstallFileTypeNames, &TInstallFile::FileType,          &TInstallFile::SetFileType,          iftNormal),
    P::String      ("IncludeFromDir",                         &TInstallFile::IncludeFromDir,    &TInstallFile::SetIncludeFromDir,    ""),
    P::Enum        ("OverwriteMode",    OverwriteNames,       &TInstallFile::OverwriteMode,     &TInstallFile::SetOverwriteMode,     owAlways),
    P::Boolean     ("RegisterAsHelp",                         &TInstallFile::RegisterAsHelp,    &TInstallFile::SetRegisterAsHelp,    false),
    P::Boolean     ("RunAfterInstall",                        &TInstallFile::RunAfterInstall,   &TInstallFile::SetRunAfterInstall,   false),
    P::Boolean     ("UpdateDLLCounter",                       &TInstallFile::UpdateDLLCounter,  &TInstallFile::SetUpdateDLLCounter,  false),
    P::Event       ("OnAfterCompress",                        &TInstallFile::OnAfterCompress),
    P::Event       ("OnAfterCopy",                            &TInstallFile::OnAfterCopy),
    P::Event       ("OnAfterInstall",                         &TInstallFile::OnAfterInstall),
    P::Event       ("OnBeforeCompress",                       &TInstallFile::OnBeforeCompress),
    P::Event       ("OnBeforeCopy",                           &TInstallFile::OnBeforeCopy),
    P::Event       ("OnBeforeInstall",                        &TInstallFile::OnBeforeInstall),
    P::Event       ("OnStatus",                               &TInstallFile::OnStatus),
    P::Event       ("OnNewDisk",                              &TInstallFile::OnNewDisk),
    P::Event       ("OnReplacing",                            &TInstallFile::OnReplacing),
});
// clang-format on

// ---- The UniqueID table ---------------------------------------------------------

struct UniqueIDTable {
    std::array<bool, UniqueIDCount> taken {};
    bool rebuilt = false; // cleared once, when the first file finished loading
};

UniqueIDTable &IDs()
{
    static UniqueIDTable table;
    return table;
}

int TakeUniqueID(const std::string &name)
{
    UniqueIDTable &t = IDs();
    for (int id = 0; id < UniqueIDCount; ++id) {
        if (!t.taken[static_cast<size_t>(id)]) {
            t.taken[static_cast<size_t>(id)] = true;
            return id;
        }
    }
    // Two files sharing an id would install each other's content.
    throw IECustomInstallFile("No unique id is left for the file %s: a project holds at most %d files",
        name.empty() ? std::string("(unnamed)") : name, UniqueIDCount);
}

void FreeUniqueID(int id)
{
    if (id >= 0 && id < UniqueIDCount)
        IDs().taken[static_cast<size_t>(id)] = false;
}

bool ExtensionIn(const std::string &ext, std::initializer_list<const char *> list)
{
    for (const char *item : list)
        if (ext == item)
            return true;
    return false;
}

bool IsSpecifier(const TCustomPathSpecifier *specifier, const TMetaClass &classType)
{
    return specifier && specifier->InheritsFrom(classType);
}

TCustomPathSpecifier *Standard(const TMetaClass &classType)
{
    TStandardPathSpecList *list = StandardPathSpecList();
    return list ? list->FindByClass(classType) : nullptr;
}

// The temporary name of a file that waits for the restart: its extension
// becomes the first number n whose name is free in the folder.
std::string RestartName(const std::string &folder, const std::string &destName)
{
    for (int n = 1;; ++n) {
        const std::string name = ChangeFileExt(destName, "." + std::to_string(n));
        if (!FileExists(AddTrailingBackslash(folder) + name))
            return name;
    }
}

// The name a new file is extracted under before it replaces the old one.
// It is the same every time, so a run that was cut short leaves nothing the
// next run does not clear away.
std::string IncomingName(const std::string &destName)
{
    return destName + ".~kvra";
}

void RemoveLeftovers(const std::string &folder, const std::string &destName)
{
    TSearchRec rec;
    const std::string base = AddTrailingBackslash(folder);
    if (FindFirst(base + IncomingName(destName) + "*", faAnyFile & ~faDirectory, rec) == 0) {
        do
            DeleteFile(base + rec.Name);
        while (FindNext(rec) == 0);
        FindClose(rec);
    }
}

const char *const RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool SameFile(const std::string &a, const std::string &b)
{
    return MapPath(a) == MapPath(b);
}

// A file just written to its place is newer than any file still waiting to
// replace it at the restart: the waiting file and its move (recorded, or in
// a batch file of an earlier run) are dropped, so the restart cannot roll the
// update back.
void DropWaitingReplacements(const std::string &dest)
{
    for (const std::string &waiting : CancelPendingMoves(dest))
        DeleteFile(waiting);
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey(RunOnceKey, false))
            return;
        TStringList names;
        reg.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            if (!SameText(names[i].substr(0, 14), "KelvaraBatFile") || reg.GetDataType(names[i]) != rdString)
                continue;
            const std::string batch = reg.ReadString(names[i]);
            TStringList lines;
            try {
                lines.LoadFromFile(batch);
            } catch (const Exception &) {
                continue;
            }
            for (int j = 0; j < lines.Count(); ++j) {
                const std::vector<std::string> words = CommandLineToArgv(lines[j]);
                if (words.size() == 3 && SameText(words[0], "move") && SameFile(words[2], dest)) {
                    DeleteFile(words[1]);
                    DeleteFile(batch);
                    reg.DeleteValue(names[i]);
                    break;
                }
            }
        }
    } catch (const ERegistryException &) {
        // an unreadable RunOnce key holds nothing of ours to drop
    }
}

// Runs body with the current folder set to folder, back afterwards; failures
// to change folders are of no consequence to the registration itself.
template <typename F> void InFolder(const std::string &folder, F &&body)
{
    const std::string saved = GetCurrentDir();
    SetCurrentDir(folder);
    try {
        body();
    } catch (...) {
        SetCurrentDir(saved);
        throw;
    }
    SetCurrentDir(saved);
}

} // namespace

namespace
{
bool extractStraightOver = false;
}

void SetExtractStraightOver(bool on)
{
    extractStraightOver = on;
}

bool UniqueIDTaken(int id)
{
    return id >= 0 && id < UniqueIDCount && IDs().taken[static_cast<size_t>(id)];
}

// ---- Construction ---------------------------------------------------------------------

struct TCustomInstallFile::Placement {
    TInstallContainer *container;
    std::string fileName;
    std::string includeFromDir;
    TCustomPathSpecifier *destDirType;
    TInstallFileType fileType;
    bool activeX;
};

TCustomInstallFile::TCustomInstallFile(TComponent *owner)
    : TFileRelated(owner)
{
    SetInstallable(true);
    SetInclude(true);
    SetNet(false);
    uniqueID_ = TakeUniqueID(Name());
    uniqueIDTaken_ = true;
    if (TCustomInstallFileList *list = InstallFileList())
        list->Add(this);
}

TCustomInstallFile::TCustomInstallFile(TComponent *owner, const std::string &path)
    : TCustomInstallFile(owner)
{
    SetIncludeFromDir(RemoveTrailingBackslash(ExtractFileDir(path)));
    SetFileName(ExtractFileName(path));
}

TCustomInstallFile::TCustomInstallFile(
    TComponent *owner, TInstallContainer *container, const std::string &path)
    : TCustomInstallFile(owner, path)
{
    SetContainer(container);
}

TCustomInstallFile::~TCustomInstallFile()
{
    if (TCustomInstallFileList *list = DeferredRegistrationList())
        list->Remove(this);
    if (TCustomInstallFileList *list = InstallFileList())
        list->Remove(this);
    if (uniqueIDTaken_)
        FreeUniqueID(uniqueID_);
}

void TCustomInstallFile::Loaded()
{
    TFileRelated::Loaded();
    UniqueIDTable &t = IDs();
    if (!t.rebuilt) {
        t.taken.fill(false);
        t.rebuilt = true;
    }
    if (uniqueID_ >= 0 && uniqueID_ < UniqueIDCount) {
        t.taken[static_cast<size_t>(uniqueID_)] = true;
        uniqueIDTaken_ = true;
    }
}

void TCustomInstallFile::DefineProperties(TFiler &filer)
{
    TFileRelated::DefineProperties(filer);
    filer.DefineProperty(
        "UniqueID", [this](TReader &reader) { ReadUniqueID(reader); },
        [this](TWriter &writer) { WriteUniqueID(writer); }, true);
}

void TCustomInstallFile::ReadUniqueID(TReader &reader)
{
    const int64_t value = reader.ReadInteger();
    if (value < 0 || value >= UniqueIDCount)
        throw EReadError(Format("UniqueID %d is outside 0..%d", value, UniqueIDCount - 1));
    if (uniqueIDTaken_)
        FreeUniqueID(uniqueID_);
    uniqueID_ = static_cast<int32_t>(value);
}

void TCustomInstallFile::WriteUniqueID(TWriter &writer)
{
    writer.WriteInteger(uniqueID_);
}

// ---- Placement ---------------------------------------------------------------------

std::string TCustomInstallFile::SourcePath() const
{
    return AddTrailingBackslash(includeFromDir_) + fileName_;
}

std::string TCustomInstallFile::InstalledPath()
{
    return AddTrailingBackslash(GetDestPath()) + destName_;
}

bool TCustomInstallFile::FetchesOwnArchive() const
{
    return NetLocation() || overwriteMode_ == owVersion || overwriteMode_ == owDate
        || overwriteMode_ == owVersionDate;
}

TCustomInstallFile::Placement TCustomInstallFile::CurrentPlacement() const
{
    return { Container(), fileName_, includeFromDir_, DestDirType(), fileType_, activeX_ };
}

template <typename T> void TCustomInstallFile::SetPlaced(T &field, const T &value, bool undoOnError)
{
    if (Loading()) {
        field = value;
        return;
    }
    const Placement before = CurrentPlacement();
    const T old = field;
    field = value;
    if (!undoOnError) {
        ApplyPlacement(before);
        return;
    }
    try {
        ApplyPlacement(before);
    } catch (...) {
        field = old;
        throw;
    }
}

void TCustomInstallFile::SetFileName(const std::string &value)
{
    SetPlaced(fileName_, value, true);
}

void TCustomInstallFile::SetIncludeFromDir(const std::string &value)
{
    SetPlaced(includeFromDir_, value, true);
}

void TCustomInstallFile::SetDestName(const std::string &value)
{
    destName_ = value;
}

void TCustomInstallFile::SetDestDir(const std::string &value)
{
    TFileRelated::SetDestDir(value);
}

void TCustomInstallFile::SetDestDirType(TCustomPathSpecifier *value)
{
    const Placement before = CurrentPlacement();
    TFileRelated::SetDestDirType(value);
    if (!Loading())
        ApplyPlacement(before);
}

void TCustomInstallFile::SetFileType(TInstallFileType value)
{
    SetPlaced(fileType_, value, false);
}

void TCustomInstallFile::SetActiveX(bool value)
{
    SetPlaced(activeX_, value, false);
}

void TCustomInstallFile::SetContainer(TInstallContainer *value)
{
    if (Loading() || value == Container()) {
        TFileRelated::SetContainer(value);
        return;
    }
    if (value && !dynamic_cast<TFileContainer *>(value))
        throw IECustomInstallFile(
            "The following TInstallFile component %s requires the Container property to be a "
            "component descended from the TFileContainer component",
            Name());
    if (value) {
        for (int i = 0; i < value->ChildCount(); ++i) {
            auto *other = dynamic_cast<TCustomInstallFile *>(value->Child(i));
            if (other && other != this && SameText(other->SourcePath(), SourcePath()))
                throw IEfcDuplicateFile("There is already a file with the name :%s", SourcePath());
        }
    }
    const Placement before = CurrentPlacement();
    TFileRelated::SetContainer(value);
    ApplyPlacement(before);
}

void TCustomInstallFile::ApplyPlacement(const Placement &before)
{
    TInstallContainer *container = Container();
    if (container && !dynamic_cast<TFileContainer *>(container))
        throw IECustomInstallFile(
            "The following TInstallFile component %s requires the Container property to be a "
            "component descended from the TFileContainer component",
            Name());
    const bool nameChanged = !SameText(before.fileName, fileName_);
    const bool folderChanged = !SameText(before.includeFromDir, includeFromDir_);
    if (container && (nameChanged || folderChanged || before.container != container)) {
        for (int i = 0; i < container->ChildCount(); ++i) {
            auto *other = dynamic_cast<TCustomInstallFile *>(container->Child(i));
            if (other && other != this && SameText(other->SourcePath(), SourcePath()))
                throw IEfcDuplicateFile("There is already a file with the name :%s", SourcePath());
        }
    }
    if (before.fileName != fileName_ && !Trim(fileName_).empty())
        destName_ = fileName_;
    const std::string ext = UpperCase(ExtractFileExt(fileName_));
    if (before.fileName != fileName_ || folderChanged) {
        registerAsHelp_ = ext == ".HLP" || ext == ".CNT";
        if (ext == ".OCX") {
            activeX_ = true;
        } else {
            try {
                activeX_ = HasSelfRegisterFlag();
            } catch (const Exception &) {
                activeX_ = false;
            }
        }
    }
    if (activeX_ && !before.activeX)
        fileType_ = iftSystemWideDLL;
    if (DestDirType() != before.destDirType && ext.size() == 4
        && ExtensionIn(ext, { ".DLL", ".OCX", ".BLL", ".EXE" })) {
        if (IsSpecifier(DestDirType(), TpsWindow::Class) || IsSpecifier(DestDirType(), TpsBDEDLL::Class))
            overwriteMode_ = owVersionDate;
        else if (IsSpecifier(DestDirType(), TpsSystem::Class))
            fileType_ = iftSystemWideDLL;
    }
    if (fileType_ != before.fileType) {
        switch (fileType_) {
        case iftJustADLL:
        case iftApplicationSpecificDLL:
            overwriteMode_ = owVersionDate;
            break;
        case iftVendorSharedDLL:
        case iftSystemWideDLL:
            updateDLLCounter_ = true;
            overwriteMode_ = owVersionDate;
            break;
        default:
            break;
        }
    }
    // A library's type names its folder on every placement, so moving it into
    // a group does not leave it in the group's folder.
    switch (fileType_) {
    case iftApplicationSpecificDLL:
        TFileRelated::SetDestDirType(Standard(TpsMainInstall::Class));
        TFileRelated::SetDestDir("\\System");
        break;
    case iftVendorSharedDLL:
        TFileRelated::SetDestDirType(Standard(TpsCommonFiles::Class));
        TFileRelated::SetDestDir("\\System");
        break;
    case iftSystemWideDLL:
        TFileRelated::SetDestDirType(Standard(TpsSystem::Class));
        TFileRelated::SetDestDir("");
        break;
    default:
        break;
    }
}

std::string TCustomInstallFile::ArchivePath()
{
    const TDistributeType distribution = DistributionInForce();
    if ((distribution == dtWeb || (distribution != dtTraditional && Net())) && state_ == ifsInstall) {
        if (FetchesOwnArchive() && IsDownloaded())
            return LocalArchive();
        auto *files = dynamic_cast<TFileContainer *>(Container());
        if (files && files->IsDownloaded())
            return files->LocalArchivePath();
    }
    return TFileRelated::ArchivePath();
}

// ---- Installing ----------------------------------------------------------------------

void TCustomInstallFile::Aborted()
{
    throw EAIUserAbort();
}

void TCustomInstallFile::SetState(TInstallFileState value)
{
    try {
        switch (value) {
        case ifsCompress:
            Compress();
            break;
        case ifsInstall:
            Process();
            break;
        case ifsCopying:
            Copy();
            break;
        default:
            break;
        }
    } catch (...) {
        state_ = ifsNone;
        throw;
    }
    state_ = ifsNone;
}

void TCustomInstallFile::InstallObjects()
{
    replacedAtRestart_ = false;
    pendingName_.clear();
    try {
        Report(scInstallStarts, nullptr);
        if (OnBeforeInstall)
            OnBeforeInstall(this);
    } catch (const EAbort &) {
        Report(scSkipped, this);
        return;
    }
    // One look at the destination for the three questions (nothing runs between them).
    const std::string folder = GetDestPath();
    if (Trim(folder).empty())
        throw IECustomInstallFile(
            "Cannot compress,copy, or install the following file because it's destination "
            "directory is blank. File is :%s",
            Name());
    const std::string target = AddTrailingBackslash(folder) + destName_;
    targetExisted_ = FileExists(target);
    switch (TVersionResource::IsFileNewerByName(version_, target, overwriteMode_, fileDate_)) {
    case 0:
    case 2:
        needsWriting_ = true;
        break;
    default:
        needsWriting_ = false;
        break;
    }
    if (!targetExisted_)
        needsWriting_ = true;
    if (needsWriting_) {
        try {
            PrepareDestination();
        } catch (const EAbort &) {
            needsWriting_ = false;
        }
    }
    if (needsWriting_) {
        Extract();
        return;
    }
    Report(scKept, this);
    AfterInstall();
    if (OnAfterInstall)
        OnAfterInstall(this);
    Report(scInstalled, nullptr);
    TFileRelated::InstallObjects();
}

void TCustomInstallFile::PrepareDestination()
{
    if (OnReplacing)
        OnReplacing(this);
    BroadcastEvent(this, ieReplacing, this);
    Report(scReplacing, this);
}

void TCustomInstallFile::Extract()
{
    state_ = ifsInstall;
    TKvraCompress *shared = SharedArchive();
    std::unique_ptr<TKvraCompress> own;
    TKvraCompress *archive = shared;
    try {
        const std::string folder = GetDestPath();
        ForceDirectories(folder);
        TCustomInstall *install = CurrentInstallComponent();
        if (std::string local; LocalFileFromLog(local))
            SetLocalArchive(local);
        const TDistributeType distribution = DistributionInForce();
        if (distribution != dtTraditional && (Net() || distribution == dtWeb)) {
            if (FetchesOwnArchive()) {
                if (!IsDownloaded())
                    Download();
            } else if (auto *files = dynamic_cast<TFileContainer *>(Container());
                       files && !files->IsDownloaded()) {
                files->Download();
            }
            own = std::make_unique<TKvraCompress>(nullptr);
        } else if (!(install && SameText(ArchivePath(), install->ArchivePath()))) {
            own = std::make_unique<TKvraCompress>(nullptr);
        }
        if (own)
            archive = own.get();
        const std::string archivePath = ArchivePath();
        if (Trim(archivePath).empty())
            throw IECustomInstallFile(
                "Cannot either compress or decompress the following file because it's archive "
                "file property is blank. File is :%s",
                fileName_);

        // The new file is written beside the old one under a name of its own
        // and then put in its place in one step, so the old file is never
        // gone before the new one is complete.
        RemoveLeftovers(folder, destName_);
        const std::string incoming = extractStraightOver ? destName_ : IncomingName(destName_);
        if (extractStraightOver)
            DeleteFile(InstalledPath());
        if (archive->CompressedFile() != archivePath)
            archive->SetCompressedFile(archivePath);
        archive->SetExtractDirectory(folder);
        archive->SetTargetName(incoming);
        archive->SetOverwrite(owAlways);
        archive->OnAborted = [this](TObject *) { Aborted(); };
        archive->OnNewDisk = [this, archive](TKvraCompress *, int disk, std::string &path) {
            path = ChangeDisk(archive, disk);
        };
        archive->OnStatus = [this](TKvraCompress *, const TlzhFileStats &stats) { FileStatus(stats); };
        TStringList files;
        files.Add(SourcePath());
        archive->SetFilesToProcess(&files);
        // A cancel that came while no extraction ran would be cleared by the
        // next one: it ends the run here instead.
        if (shared && shared->Abort())
            Aborted();
        archive->ExtractFiles();
        const std::string incomingPath = AddTrailingBackslash(folder) + incoming;
        if (archive->Abort() || (shared && shared->Abort())) {
            // Cancelled after the extraction's last look at the flag: the new
            // copy does not take the old one's place, and does not stay.
            if (!extractStraightOver)
                DeleteFile(incomingPath);
            Aborted();
        }
        if (FileExists(incomingPath) && !extractStraightOver)
            PutInPlace(incomingPath);
        AfterInstall();
        if (OnAfterInstall)
            OnAfterInstall(this);
        Report(scInstalled, nullptr);
        TFileRelated::InstallObjects();
    } catch (...) {
        archive->OnAborted.Clear();
        archive->OnNewDisk.Clear();
        archive->OnStatus.Clear();
        if (own && own->Abort() && shared)
            shared->SetAbort(true);
        state_ = ifsNone;
        throw;
    }
    archive->OnAborted.Clear();
    archive->OnNewDisk.Clear();
    archive->OnStatus.Clear();
    if (own && own->Abort() && shared)
        shared->SetAbort(true);
    try {
        BroadcastEvent(this, ieOperationEnded, nullptr);
    } catch (...) {
        if (shared)
            shared->SetAbort(true);
        state_ = ifsNone;
        throw;
    }
    state_ = ifsNone;
}

void TCustomInstallFile::PutInPlace(const std::string &incomingPath)
{
    const std::string dest = InstalledPath();
    if (MoveFileEx(incomingPath, dest, MOVEFILE_REPLACE_EXISTING)) {
        DropWaitingReplacements(dest);
        return;
    }

    // The destination is held open by another program: the new file waits
    // under a numbered name and takes its place when the machine restarts.
    // DestName keeps naming the real file for everything recorded afterwards.
    replacedAtRestart_ = true;
    const std::string folder = GetDestPath();
    pendingName_ = RestartName(folder, destName_);
    std::string pending = AddTrailingBackslash(folder) + pendingName_;
    if (!RenameFile(incomingPath, pending)) {
        pendingName_ = ExtractFileName(incomingPath);
        pending = incomingPath;
    }
    std::string shortDest = ShortPathName(dest);
    if (shortDest.empty() || shortDest.size() > 400)
        shortDest = dest;
    TCustomInstall *install = CurrentInstallComponent();
    if (GetWindowsVersion() == 1) {
        TIniFile ini(AddTrailingBackslash(GetWindowsDir()) + "WININIT.INI");
        ini.WriteString("Rename", shortDest, pending);
        if (install)
            install->SetReboot(true);
        return;
    }
    if (install)
        install->SetReboot(true);
    if (MoveFileEx(pending, dest, MOVEFILE_DELAY_UNTIL_REBOOT) || !install)
        return;
    const std::string batch = MakeTempFileName(".bat");
    bool written = false;
    try {
        TFileStream stream(batch, fmCreate);
        // Quoted: a path with blanks (any under "C:\Program Files") would split.
        const std::string text = "erase " + AnsiQuotedStr(shortDest, '"') + "\r\nmove "
            + AnsiQuotedStr(pending, '"') + " " + AnsiQuotedStr(shortDest, '"') + "\r\n";
        written = stream.Write(text.data(), static_cast<int64_t>(text.size()))
            == static_cast<int64_t>(text.size());
    } catch (const Exception &) {
        written = false;
    }
    if (written) {
        install->AddUnfinished(batch, 1);
        written = WriteRunOnce("KelvaraBatFile", batch, true);
    }
    if (!written)
        throw IECustomInstallFile(
            "%s cannot register a routine in the register to move the files after the computer is reboot",
            Name());
}

void TCustomInstallFile::AfterInstall()
{
    if (registerAsHelp_)
        RegWriteString(
            rkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help", UpperCase(destName_), GetDestPath());
    if (updateDLLCounter_)
        IncrementSharedCount();
    TCustomInstall *install = CurrentInstallComponent();
    if (replacedAtRestart_ && install) {
        install->AddUnfinished(Name(), 0);
    } else if (activeX_) {
        try {
            RegisterServer();
        } catch (const Exception &) {
            TCustomInstallFileList *deferred = DeferredRegistrationList();
            if (StrictRegistration() || !deferred)
                throw;
            if (deferred->IndexOf(this) < 0)
                deferred->Add(this);
        }
    }
}

bool TCustomInstallFile::IncrementSharedCount()
{
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", true))
        throw IECustomInstallFile("Could not open the key SharedDLLs key in the registry. File component %s. "
                                  "GetLastError return: %d",
            Name(), static_cast<int>(GetLastError()));
    const std::string path = InstalledPath();
    const std::string shortPath = ShortPathName(path);
    try {
        if (shortPath.empty() || !reg.ValueExists(shortPath))
            throw ERegistryException("no short-name count");
        reg.WriteInteger(shortPath, reg.ReadInteger(shortPath) + 1);
    } catch (const Exception &) {
        int count = 0;
        try {
            count = reg.ValueExists(path) ? reg.ReadInteger(path) : 0;
        } catch (const Exception &) {
            count = 0;
        }
        reg.WriteInteger(path, count + 1);
    }
    return true;
}

std::string TCustomInstallFile::ChangeDisk(TKvraCompress *archive, int diskNumber)
{
    TDiskParameter parameter;
    parameter.DiskNumber = diskNumber;
    parameter.Path = RemoveTrailingBackslash(ExtractFileDir(ArchivePath()));
    TParamList list(this, &parameter);
    SetTag(0);
    if (OnNewDisk) {
        std::string path = parameter.Path;
        OnNewDisk(this, diskNumber, path);
        parameter.Path = path;
    }
    BroadcastEvent(this, ieNewDisk, &list);
    Report(scNewDisk, &list);
    if (!OnNewDisk && Tag() == 0) {
        // What the run did so far is saved before it waits for the user.
        try {
            FlushRegistry();
        } catch (const ERegistryException &) {
            // the run's end reports it
        }
        const int answer = Application->MessageBox(TranslateFormat("Please insert disk #%d", diskNumber),
            Application->Title(), MB_OKCANCEL | MB_ICONINFORMATION);
        if (answer == IDCANCEL) {
            SetTag(0);
            archive->SetAbort(true);
            throw EAIUserAbort();
        }
    }
    SetTag(0);
    return RemoveTrailingBackslash(parameter.Path);
}

void TCustomInstallFile::FileStatus(const TlzhFileStats &stats)
{
    TFileStatusParameter parameter;
    parameter.FileBytes = stats.FileBytesDone;
    parameter.FilePercent = stats.FilePercent;
    parameter.FileName = fileName_;
    parameter.ArchiveStatus = stats;
    parameter.TotalBytes = static_cast<int32_t>(std::min<int64_t>(stats.OverallBytesDone, INT32_MAX));
    parameter.TotalPercent = stats.OverallPercent;
    if (OnStatus)
        OnStatus(this, parameter.FilePercent, stats.OverallPercent);
    BroadcastEvent(this, ieFileStatus, &parameter);
    const int code = state_ == ifsCompress ? scCompressProgress
        : state_ == ifsCopying             ? scCopyProgress
                                           : scInstallProgress;
    TParamList list(this, &parameter);
    Report(code, &list);
}

// ---- Self-registration -----------------------------------------------------------

void TCustomInstallFile::RegisterServer()
{
    if (SameText(ExtractFileExt(fileName_), ".EXE"))
        RegisterExe();
    else
        RegisterInProcess();
}

namespace
{
void RequireInstalled(TCustomInstallFile &file, const std::string &path)
{
    if (Trim(path).empty() || !FileExists(path))
        throw IECustomInstallFile(
            "Cannot compress,copy, or install the following file because it's destination "
            "directory is blank. File is :%s",
            file.Name());
}
} // namespace

void TCustomInstallFile::RegisterInProcess()
{
    const std::string path = InstalledPath();
    RequireInstalled(*this, path);
    InFolder(GetDestPath(), [&] {
        HMODULE module = LoadLibrary(path);
        if (!module)
            throw IECustomInstallFile("Could not register the ActiveX component, %s, because the "
                                      "LoadLibrary(%s) procedure returned a value "
                                      "of 0. The file component is %s. The following value is the value of "
                                      "the GetLastError function: %d",
                destName_, path, Name(), static_cast<int>(GetLastError()));
        using TRegisterProc = int32_t (*)();
        auto proc = reinterpret_cast<TRegisterProc>(GetProcAddress(module, "DllRegisterServer"));
        if (!proc) {
            const int error = static_cast<int>(GetLastError());
            FreeLibrary(module);
            throw IECustomInstallFile("Could not register the ActiveX component, %s, because the "
                                      "DllRegisterServer function could not be "
                                      "found. The file component is %s. The following value is the value of "
                                      "the GetLastError function: %d",
                destName_, Name(), error);
        }
        const int32_t result = proc();
        FreeLibrary(module);
        if (result != 0)
            throw IECustomInstallFile(
                "Could not register the ActiveX component, %s, because the DllRegisterServer "
                "function returned a value of %d. The file component is %s",
                destName_, static_cast<int>(result), Name());
    });
}

void TCustomInstallFile::RegisterExe()
{
    const std::string path = InstalledPath();
    RequireInstalled(*this, path);
    InFolder(GetDestPath(), [&] {
        const uint32_t result = WinExec("\"" + path + "\" /REGSERVER", SW_HIDE);
        if (result < 32)
            throw IECustomInstallFile(
                "Could not register the ActiveX component, %s, because the WinExec(%s,SW_HIDE) function "
                "returned a "
                "value < 32. The file component is %s. The following value is the value of the GetLastError "
                "function: %d",
                destName_, path, Name(), static_cast<int>(result));
    });
}

bool TCustomInstallFile::HasSelfRegisterFlag()
{
    const auto block = TVersionBlock::FromFile(SourcePath());
    if (!block)
        return false;
    const auto translation = block->QueryString("\\VarFileInfo\\Translation");
    if (!translation)
        return false;
    const std::u32string units = Utf8ToCodePoints(*translation);
    if (units.size() < 2)
        return false;
    const std::string table = "\\StringFileInfo\\" + IntToHex(static_cast<int64_t>(units[0]), 4)
        + IntToHex(static_cast<int64_t>(units[1]), 4) + "\\";
    return block->QueryString(table + "OLESelfRegister").has_value();
}

void TCustomInstallFile::Resume()
{
    if (activeX_)
        RegisterServer();
}

// ---- Build and copy ---------------------------------------------------------------

namespace
{

// Runs one build or copy step. A cancel ends the step quietly; clean runs however it ends.
template <typename Body, typename Clean> void QuietOnCancel(Body &&body, Clean &&clean)
{
    try {
        body();
    } catch (const EAbort &) {
    } catch (...) {
        clean();
        throw;
    }
    clean();
}

} // namespace

void TCustomInstallFile::Compress()
{
    state_ = ifsCompress;
    TKvraCompress *archive = SharedArchive();
    auto clear = [&] {
        archive->OnAborted.Clear();
        archive->OnStatus.Clear();
        state_ = ifsNone;
    };
    QuietOnCancel(
        [&] {
            if (OnBeforeCompress)
                OnBeforeCompress(this);
            Report(scBeforeCompress, nullptr);
            const std::string archivePath = ArchivePath();
            if (Trim(archivePath).empty())
                throw IECustomInstallFile(
                    "Cannot either compress or decompress the following file because it's archive "
                    "file property is blank. File is :%s",
                    fileName_);
            if (Include()) {
                ForceDirectories(ExtractFileDir(archivePath));
                archive->SetCompressedFile(archivePath);
                archive->OnAborted = [this](TObject *) { Aborted(); };
                archive->OnStatus
                    = [this](TKvraCompress *, const TlzhFileStats &stats) { FileStatus(stats); };
                TStringList files;
                files.Add(SourcePath());
                archive->SetFilesToProcess(&files);
                archive->ArchiveFiles(AddToArchive() == lzcOnlyAdd, uniqueID_);
                archiveState_ = 2;
                writtenArchive_ = archive->CompressedFile();
                if (OnAfterCompress)
                    OnAfterCompress(this);
                Report(scAfterCompress, nullptr);
            }
        },
        clear);
    try {
        BroadcastEvent(this, ieOperationEnded, nullptr);
    } catch (...) {
        archive->SetAbort(true);
        throw;
    }
}

void TCustomInstallFile::Copy()
{
    state_ = ifsCopying;
    TKvraCompress *archive = SharedArchive();
    auto clear = [&] {
        archive->OnStatus.Clear();
        state_ = ifsNone;
    };
    QuietOnCancel(
        [&] {
            if (OnBeforeCopy)
                OnBeforeCopy(this);
            Report(scBeforeCopy, nullptr);
            if (Include()) {
                if (Trim(GetDestPath()).empty())
                    throw IECustomInstallFile(
                        "Cannot compress,copy, or install the following file because it's "
                        "destination directory is blank. File is :%s",
                        Name());
                ForceDirectories(GetDestPath());
                archive->OnStatus
                    = [this](TKvraCompress *, const TlzhFileStats &stats) { FileStatus(stats); };
                archive->CopyFile(SourcePath(), InstalledPath());
                if (OnAfterCopy)
                    OnAfterCopy(this);
                Report(scAfterCopy, nullptr);
            }
        },
        clear);
    BroadcastEvent(this, ieOperationEnded, nullptr);
}

void TCustomInstallFile::ReadSourceInfo()
{
    const std::string path = SourcePath();
    const int age = FileAge(path);
    if (age == -1)
        throw IECustomInstallFile(
            "Could not open or find the following file when trying to read the Size, Date, and Version :%s",
            path);
    fileDate_ = FileDateToDateTime(age);
    uncompressedSize_ = static_cast<int32_t>(std::min<int64_t>(FileSize(path), INT32_MAX));
    try {
        TVersionResource reader(nullptr);
        reader.SetFileName(path);
        version_ = reader.VersionInfo()->FileVersion().substr(0, MaxStoredVersionLength);
    } catch (const Exception &) {
        version_.clear();
    }
}

void TCustomInstallFile::SetRemoteInfo(int32_t uncompressedSize, double fileDate, const std::string &version)
{
    uncompressedSize_ = uncompressedSize;
    fileDate_ = fileDate;
    version_ = version.substr(0, MaxStoredVersionLength);
}

void TCustomInstallFile::ReadInfoFromArchive()
{
    TCustomInstall *install = CurrentInstallComponent();
    if (install && install->Running() && InfoRead())
        return;
    const TDistributeType distribution = DistributionInForce();
    std::string path;
    if (distribution == dtTraditional || (distribution == dtTraditionalNet && !Net())) {
        path = TFileRelated::ArchivePath();
    } else if (FetchesOwnArchive() && IsDownloaded()) {
        path = LocalArchive();
        if (Trim(path).empty())
            LocalFileFromLog(path);
    } else {
        auto *files = dynamic_cast<TFileContainer *>(Container());
        if (!files)
            throw IECustomInstallFile(
                "%s cannot perform ReadInfoFromArchive because either no container is assigned or "
                "the container is not TFileContainer",
                Name());
        if (!files->IsDownloaded())
            return;
        path = files->LocalArchivePath();
    }
    if (Trim(path).empty())
        throw IECustomInstallFile(
            "Cannot either compress or decompress the following file because it's archive file "
            "property is blank. File is :%s",
            fileName_);
    std::unique_ptr<TKvraCompress> own;
    TKvraCompress *archive = SharedArchive();
    if (!(install && SameText(path, install->ArchivePath()))) {
        own = std::make_unique<TKvraCompress>(nullptr);
        archive = own.get();
    }
    if (archive->CompressedFile() != path)
        archive->SetCompressedFile(path);
    const int index = archive->FileIndexOfUniqueID(uniqueID_);
    if (index < 0 || index >= archive->Headers().Count())
        return;
    const TFileHeader *header = archive->Headers().GetFileHeaders(index);
    // The archive answers its first header for an id it does not hold.
    if (!header || header->UniqueID != uniqueID_)
        return;
    compressedSize_ = header->CompressedSize;
    fileDate_ = header->FileDate;
    uncompressedSize_ = header->UncompressedSize;
    version_ = header->FileVersion.substr(0, MaxStoredVersionLength);
    SetInfoRead(true);
}

// ---- Uninstall records --------------------------------------------------------------

namespace
{
// The entry and the count are saved together: a crash keeps both or neither.
void AppendEntry(const std::string &key, const std::string &value)
{
    TRegistryBatch record;
    const int n = StrToIntDef(Trim(RegReadString(rkLocalMachine, key, "Entries", "0")), 0) + 1;
    // One key opened for both values: each open and each write looks at the hive.
    std::string failed = "File" + IntToStr(n), failedValue = value;
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(key, true)) {
            reg.WriteString(failed, value);
            failed = "Entries";
            failedValue = IntToStr(n);
            reg.WriteString(failed, failedValue);
            failed.clear();
        }
    } catch (const Exception &) {
    }
    if (!failed.empty())
        throw EIRCannotWriteValue(TranslateFormat(
            "Cannot install into registry. Key: %s Ident: %s Value %s", key, failed, failedValue));
    try {
        record.Commit();
    } catch (const ERegistryException &) {
        throw EIRCannotWriteValue(TranslateFormat(
            "Cannot install into registry. Key: %s Ident: %s Value %s", key, "Entries", IntToStr(n)));
    }
}
} // namespace

void TCustomInstallFile::WriteUninstallInfo(const std::string &key)
{
    if (activeX_) {
        const bool exe = SameText(ExtractFileExt(fileName_), ".EXE");
        AppendEntry(
            key + "\\ActiveX", AddTrailingBackslash(GetDestPath()) + destName_ + ";" + (exe ? "1" : "0"));
        return;
    }
    for (int attempt = 0;; ++attempt) {
        try {
            AppendEntry(key + "\\Files" + (attempt ? IntToStr(attempt) : std::string()), InstalledPath());
            return;
        } catch (const EIRCannotWriteValue &) {
            if (attempt >= MaxFileListKeys)
                throw;
        }
    }
}
