#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"

#include <cfenv>
#include <cmath>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstall/installlog.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/registry.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

const TMetaClass TParamList::Class { "TList", &TObject::Class };
const TMetaClass TFileRelated::Class { "TFileRelated", &TInstallObject::Class };
const TMetaClass TFileContainer::Class { "TFileContainer", &TFileRelated::Class };
const TMetaClass TInstallFileGroup::Class { "TInstallFileGroup", &TFileContainer::Class };

const TEnumNames DistributeTypeNames { "dtTraditional", "dtWeb", "dtTraditionalNet" };
const TEnumNames LzhCommandNames { "lzcOverwrite", "lzcOnlyAdd" };

namespace
{

using P = TPublish<TInstallFileGroup>;
using I = TInstallPublish<TInstallFileGroup>;
// clang-format off
const TClassRegistrar<TInstallFileGroup> groupRegistrar({
    //              name                      names            getter                                 setter                                default
    P::Enum        ("AddToArchive",           LzhCommandNames, &TInstallFileGroup::AddToArchive,      &TInstallFileGroup::SetAddToArchive,  lzcOverwrite),
    P::Boolean     ("AllowChangeDir",                          &TInstallFileGroup::AllowChangeDir,    &TInstallFileGroup::SetAllowChangeDir, true),
    P::Boolean     ("AllowChoice",                             &TInstallFileGroup::AllowChoice,       &TInstallFileGroup::SetAllowChoice,   true),
    P::String      ("ArchiveFile",                             &TInstallFileGroup::ArchiveFile,       &TInstallFileGroup::SetArchiveFile,   ""),
    P::Component   ("ArchiveFileType",                         &TInstallFileGroup::ArchiveFileType,   &TInstallFileGroup::SetArchiveFileType),
    I::Container(),
    P::Strings     ("Description",                             &TInstallFileGroup::Description),
    I::DestDir(),
    I::DestDirType(),
    P::String      ("GroupName",                               &TInstallFileGroup::GroupName,         &TInstallFileGroup::SetGroupName,     ""),
    I::Include(),
    I::InstallTypes(),
    P::Component   ("NetLocation",                             &TInstallFileGroup::NetLocation,       &TInstallFileGroup::SetNetLocation),
    I::Order(),
    P::Event       ("OnAfterInstallObjects",                   &TInstallFileGroup::OnAfterInstallObjects),
    I::OnAfterProcess(),
    P::Event       ("OnBeforeInstallObjects",                  &TInstallFileGroup::OnBeforeInstallObjects),
    I::OnBeforeProcess(),
    P::Event       ("OnDataReceived",                          &TInstallFileGroup::OnDataReceived),
    P::Event       ("OnNewDisk",                               &TInstallFileGroup::OnNewDisk),
    P::Event       ("OnReplacing",                             &TInstallFileGroup::OnReplacing),
    P::Event       ("OnStatus",                                &TInstallFileGroup::OnStatus),
});
// clang-format on

// The container-archive specifier names a file-related container's archive.
const bool archivePathReader = [] {
    SetArchivePathReader([](TInstallContainer *object) {
        auto *related = dynamic_cast<TFileRelated *>(object);
        return related ? related->ArchivePath() : std::string();
    });
    return true;
}();

bool IsArchiveNamingSpecifier(const TCustomPathSpecifier *specifier)
{
    return specifier
        && (specifier->InheritsFrom(TpsContainerArchiveFile::Class)
            || specifier->InheritsFrom(TpsMainArchiveFile::Class));
}

TCustomPathSpecifier *StandardSpecifier(const TMetaClass &classType)
{
    TStandardPathSpecList *list = StandardPathSpecList();
    return list ? list->FindByClass(classType) : nullptr;
}

std::string LogKey()
{
    TCustomInstall *install = CurrentInstallComponent();
    return install ? install->Log().Key() : std::string();
}

// An hourglass on the screen for the life of the object.
class THourGlass
{
public:
    THourGlass()
        : saved_(Screen->Cursor())
    {
        Screen->SetCursor(crHourGlass);
    }
    ~THourGlass() { Screen->SetCursor(saved_); }
    THourGlass(const THourGlass &) = delete;
    THourGlass &operator=(const THourGlass &) = delete;

private:
    TCursor saved_;
};

// Sets a container's operation for the length of one and resets it to none
// however it ends.
template <typename F> void WithOperation(int &operation, int value, F &&body)
{
    operation = value;
    try {
        body();
    } catch (...) {
        operation = opNone;
        throw;
    }
    operation = opNone;
}

// As WithOperation, then tells the tree the operation ended, whether it succeeded or not.
template <typename F, typename E> void WithEndedOperation(int &operation, int value, F &&body, E &&ended)
{
    try {
        WithOperation(operation, value, body);
    } catch (...) {
        ended();
        throw;
    }
    ended();
}

// Visits a container's own files first, then its sub-containers: what a container holds
// directly is read, counted and copied before anything below it.
template <typename OnFile, typename OnContainer>
void FilesThenContainers(const TInstallContainer &parent, OnFile &&onFile, OnContainer &&onContainer)
{
    for (int i = 0; i < parent.ChildCount(); ++i)
        if (auto *file = dynamic_cast<TCustomInstallFile *>(parent.Child(i)))
            onFile(file);
    for (int i = 0; i < parent.ChildCount(); ++i)
        if (auto *container = dynamic_cast<TFileContainer *>(parent.Child(i)))
            onContainer(container);
}

std::string ProtocolName(TInternetProtocol protocol)
{
    return protocol == ipFTP ? "FTP" : "HTTP";
}

} // namespace

int32_t PercentOf(int64_t part, int64_t whole)
{
    if (whole == 0)
        return 0;
    const double value = static_cast<double>(part) / static_cast<double>(whole) * 100.0;
    if (!std::isfinite(value) || std::fabs(value) > 2147483647.0)
        return 0;
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    return static_cast<int32_t>(rounded);
}

TDistributeType DistributionInForce()
{
    TCustomInstall *install = CurrentInstallComponent();
    return install ? install->DistributeType() : dtTraditionalNet;
}

TCustomNetInstallLocation *NetLocationOf(TFileRelated *object)
{
    if (object->NetLocation())
        return object->NetLocation();
    TCustomInstall *install = CurrentInstallComponent();
    TCustomNetInstallLocation *global = install ? install->NetLocation() : nullptr;
    if (dynamic_cast<TCustomInstallFile *>(object)) {
        TInstallContainer *container = object->Container();
        if (!container)
            return global;
        auto *files = dynamic_cast<TFileContainer *>(container);
        return files ? NetLocationOf(files) : nullptr;
    }
    return object == install ? object->NetLocation() : global;
}

// ---- TFileRelated -----------------------------------------------------------------

TFileRelated::TFileRelated(TComponent *owner)
    : TInstallObject(owner)
{
    SetInstallable(true);
}

TFileRelated::~TFileRelated() = default;

void TFileRelated::SetArchiveFile(const std::string &value)
{
    if (Loading() || !IsArchiveNamingSpecifier(archiveFileType_))
        archiveFile_ = value;
    else
        archiveFile_.clear();
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier *value)
{
    archiveFileTypeAssigned_ = true;
    if (value == archiveFileType_)
        return;
    if (archiveFileType_)
        archiveFileType_->RemoveFreeNotification(this);
    archiveFileType_ = value;
    if (value) {
        value->FreeNotification(this);
        if (!Loading()) {
            value->Check(this);
            if (IsArchiveNamingSpecifier(value))
                archiveFile_.clear();
        }
    }
}

std::string TFileRelated::ArchivePath()
{
    const std::string path = archiveFileType_ ? archiveFileType_->GetPath(this) + archiveFile_ : archiveFile_;
    return RemoveTrailingBackslash(path);
}

void TFileRelated::SetNetLocation(TCustomNetInstallLocation *value)
{
    if (value == netLocation_)
        return;
    if (netLocation_)
        netLocation_->RemoveFreeNotification(this);
    netLocation_ = value;
    if (value)
        value->FreeNotification(this);
}

void TFileRelated::SetContainer(TInstallContainer *value)
{
    TInstallObject::SetContainer(value);
    if (Loading())
        return;
    if (value && dynamic_cast<TFileRelated *>(value)) {
        if (TCustomPathSpecifier *specifier = StandardSpecifier(TpsContainerArchiveFile::Class)) {
            SetArchiveFileType(specifier);
            archiveFile_.clear();
        }
    } else if (!value && archiveFileType_ && archiveFileType_->InheritsFrom(TpsContainerArchiveFile::Class)) {
        SetArchiveFileType(nullptr);
    }
}

void TFileRelated::SetParentComponent(TComponent *parent)
{
    TInstallObject::SetParentComponent(parent);
    // Placed into the install while designing: its archive is the container's
    // until the designer says otherwise.
    if (ContainerDefaulted() && !archiveFileType_) {
        if (TCustomPathSpecifier *specifier = StandardSpecifier(TpsContainerArchiveFile::Class)) {
            SetArchiveFileType(specifier);
            archiveFileTypeAssigned_ = false;
            archiveFileTypeDefaulted_ = true;
        }
    }
}

void TFileRelated::Loaded()
{
    const bool defaulted = archiveFileTypeDefaulted_ && !archiveFileTypeAssigned_;
    TInstallObject::Loaded();
    if (defaulted)
        archiveFileType_ = nullptr;
    std::string local;
    if (LocalFileFromLog(local))
        localArchive_ = local;
}

void TFileRelated::Notification(TComponent *component, TOperation operation)
{
    TInstallObject::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == netLocation_)
        SetNetLocation(nullptr);
    if (component == archiveFileType_)
        archiveFileType_ = nullptr;
}

bool TFileRelated::LocalFileFromLog(std::string &path)
{
    const std::string key = LogKey();
    if (Trim(Name()).empty() || key.empty())
        return false;
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(AddTrailingBackslash(key) + Name()))
        return false;
    const std::string value = reg.ValueExists("LocalFile") ? reg.ReadString("LocalFile") : std::string();
    if (Trim(value).empty() || !FileExists(value))
        return false;
    path = value;
    return true;
}

bool TFileRelated::IsDownloaded()
{
    if (!Trim(localArchive_).empty())
        return true;
    std::string path;
    return LocalFileFromLog(path);
}

void TFileRelated::RecordLocalFile(const std::string &path)
{
    const std::string key = LogKey();
    if (Trim(Name()).empty() || Trim(path).empty() || key.empty())
        return;
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(AddTrailingBackslash(key) + Name(), true))
            reg.WriteString("LocalFile", path);
    } catch (const Exception &) {
        // the download stays usable for this run; only a resume would fetch it again
    }
}

std::string TFileRelated::RemoteFolder()
{
    TCustomNetInstallLocation *location = NetLocationOf(this);
    if (!location)
        throw IEFileRel_NoNetLocation("Could not find a net install location for %s", Name());
    const TLoginInformation *login = location->LoginInformation();
    const std::string host = FilterFileName(login->Hostname());
    if (!Trim(login->Directory()).empty())
        return host + "\\" + FilterFileName(login->Directory());
    return host + "\\" + ProtocolName(login->Protocol());
}

void TFileRelated::Download()
{
    std::string local;
    if (LocalFileFromLog(local)) {
        localArchive_ = local;
        return;
    }
    TCustomNetInstallLocation *location = NetLocationOf(this);
    if (!location)
        throw Exception(Format("Could not find a net install location for %s", Name()));
    if (!location->LoginInformation()->IsValid()) {
        if (netLocation_)
            throw IEFileRelated(
                "%s could not install itself because the TNetLocation component's properties, in "
                "the NetLocation property, have not been filled in",
                Name());
        throw IEFileRelated(
            "%s could not install itself because the LoginInformation property of the TInstall "
            "component has not been properly filled in",
            Name());
    }
    localArchive_ = MakeTempFileName(".1");
    location->OnInternalDataReceived
        = [this](TObject *sender, const std::string &fileName, int bytes, int totalBytes, int fileSize,
              const char *buffer) { DataReceived(sender, fileName, bytes, totalBytes, fileSize, buffer); };
    try {
        location->Download(Name() + ".1", localArchive_);
    } catch (...) {
        location->OnInternalDataReceived.Clear();
        throw;
    }
    location->OnInternalDataReceived.Clear();
    if (NetDownloadAbort)
        throw EAIUserAbort();
    if (!ComponentState().Contains(csDesigning))
        RecordLocalFile(localArchive_);
}

void TFileRelated::DataReceived(
    TObject *sender, const std::string &fileName, int bytes, int totalBytes, int fileSize, const char *buffer)
{
    TDownloadStatusParameter parameter;
    parameter.Buffer = buffer;
    parameter.FileName = fileName;
    parameter.TotalBytes = totalBytes;
    parameter.FileSize = fileSize;
    // The location gives the bytes received so far as totalBytes and the
    // expected size as fileSize (0 when the server did not say).
    parameter.Percent = PercentOf(totalBytes, fileSize);
    if (OnDataReceived)
        OnDataReceived(sender, fileName, bytes, totalBytes, fileSize, buffer);
    BroadcastEvent(this, ieDownloadStatus, &parameter);
    Report(scDownloadProgress, &parameter);
}

void TFileRelated::Report(int code, TObject *po)
{
    if (Container())
        Container()->DoInformationEventControl(this, code, po);
}

// ---- TFileContainer ------------------------------------------------------------

TFileContainer::TFileContainer(TComponent *owner)
    : TFileRelated(owner)
    , description_(std::make_unique<TStringList>())
{
    SetNet(true);
}

TFileContainer::~TFileContainer()
{
    ClearFiles();
}

void TFileContainer::SetDescription(TStrings *value)
{
    if (value)
        description_->Assign(*value);
    else
        description_->Clear();
}

void TFileContainer::StartTotals(int32_t totalSize)
{
    totalSize_ = totalSize;
    doneBytes_ = 0;
    sizedLate_.clear();
}

void TFileContainer::FillTotals(TFileStatusParameter &parameter) const
{
    parameter.TotalBytes = doneBytes_ + parameter.FileBytes;
    parameter.TotalPercent = PercentOf(parameter.TotalBytes, totalSize_);
}

void TFileContainer::DoInformationEventControl(TObject *sender, int code, TObject *po)
{
    if (operation_ == opNone)
        return;
    auto needPO = [&] {
        if (!po)
            throw IEFileContainer("%s got a nil PO parameter", Name());
    };
    auto needList = [&]() -> TParamList & {
        needPO();
        auto *list = dynamic_cast<TParamList *>(po);
        if (!list)
            throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
        if (list->Count() < 2)
            throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
        return *list;
    };
    switch (code) {
    case scReplacing: {
        needPO();
        auto *file = dynamic_cast<TCustomInstallFile *>(po);
        if (!file)
            throw IEFileContainer("DoInformationEventControl parameter is not TInstallFile");
        Replacing(file);
        break;
    }
    case scInstallProgress:
    case scCompressProgress:
    case scCopyProgress: {
        TParamList &list = needList();
        auto *file = dynamic_cast<TCustomInstallFile *>(list.Items(0));
        if (!file)
            throw IEFileContainer("DoInformationEventControl says bad first parameter");
        auto *parameter = dynamic_cast<TFileStatusParameter *>(list.Items(1));
        if (!parameter)
            throw IEFileContainer("DoInformationEventControl says bad second parameter");
        // A file fetched over the network may learn its size only now; it
        // joins the total then, or the progress would run past 100 %.
        if (file->UncompressedSize() == 0 && parameter->ArchiveStatus.UncompressedSize > 0
            && sizedLate_.insert(file).second)
            totalSize_ += parameter->ArchiveStatus.UncompressedSize;
        FillTotals(*parameter);
        Status(file, parameter);
        if (parameter->ArchiveStatus.Finished)
            doneBytes_ += parameter->ArchiveStatus.UncompressedSize;
        break;
    }
    case scNewDisk: {
        TParamList &list = needList();
        auto *file = dynamic_cast<TCustomInstallFile *>(list.Items(0));
        if (!file)
            throw IEFileContainer("DoInformationEventControl says bad %d parameter", 1);
        auto *parameter = dynamic_cast<TDiskParameter *>(list.Items(1));
        if (!parameter)
            throw IEFileContainer("DoInformationEventControl says bad %d parameter", 2);
        NewDisk(file, parameter);
        BroadcastEvent(this, ieNewDisk, &list);
        break;
    }
    case scDownloadProgress: {
        needPO();
        auto *parameter = dynamic_cast<TDownloadStatusParameter *>(po);
        if (!parameter)
            throw IEFileContainer(
                "The PO object passed to %s is not a TDownloadStatusParameter object", Name());
        if (OnDataReceived)
            OnDataReceived(
                this, parameter->FileName, 0, parameter->TotalBytes, parameter->FileSize, parameter->Buffer);
        BroadcastEvent(this, ieDownloadStatus, parameter);
        break;
    }
    case scSkipped:
    case scKept: {
        needPO();
        auto *file = dynamic_cast<TCustomInstallFile *>(po);
        if (!file)
            throw IEFileContainer("DoInformationEventControl says bad first parameter");
        TFileStatusParameter parameter;
        parameter.FileBytes = file->UncompressedSize();
        parameter.FilePercent = 100;
        parameter.FileName = file->FileName();
        FillTotals(parameter);
        Status(file, &parameter);
        doneBytes_ += file->UncompressedSize();
        break;
    }
    default:
        break;
    }
    (void)sender;
    Report(code, po);
}

void TFileContainer::Replacing(TCustomInstallFile *file)
{
    if (OnReplacing)
        OnReplacing(file);
    BroadcastEvent(this, ieReplacing, file);
}

void TFileContainer::Status(TCustomInstallFile *file, TFileStatusParameter *parameter)
{
    if (OnStatus)
        OnStatus(file, parameter->FilePercent, parameter->TotalPercent);
    BroadcastEvent(this, ieFileStatus, parameter);
}

void TFileContainer::NewDisk(TCustomInstallFile *file, TDiskParameter *parameter)
{
    if (!OnNewDisk)
        return;
    std::string path = parameter->Path;
    OnNewDisk(file, parameter->DiskNumber, path);
    parameter->Path = path;
    file->SetTag(1);
}

int TFileContainer::SizeOf(bool all, bool withSubContainers)
{
    int64_t total = 0;
    for (int i = 0; i < ChildCount(); ++i) {
        TInstallObject *child = Child(i);
        if (!all && !child->ShouldInstall())
            continue;
        if (auto *file = dynamic_cast<TCustomInstallFile *>(child))
            total += file->UncompressedSize();
        else if (auto *container = dynamic_cast<TFileContainer *>(child); container && withSubContainers)
            total += container->TotalSizeOf(all);
    }
    return static_cast<int>(total);
}

int TFileContainer::TotalSizeOf(bool all)
{
    return SizeOf(all, true);
}
int TFileContainer::FilesSize(bool all)
{
    return SizeOf(all, false);
}

int TFileContainer::CompressedSize(bool all)
{
    int64_t total = 0;
    for (int i = 0; i < ChildCount(); ++i) {
        TInstallObject *child = Child(i);
        if (!all && !child->ShouldInstall())
            continue;
        if (auto *file = dynamic_cast<TCustomInstallFile *>(child))
            total += file->CompressedSize();
        else if (auto *container = dynamic_cast<TFileContainer *>(child))
            total += container->CompressedSize(all);
    }
    return static_cast<int>(total);
}

void TFileContainer::SetState(int value)
{
    try {
        switch (value) {
        case opCompressing:
            Compress({});
            break;
        case opInstalling:
            Process();
            break;
        case opCopying:
            CopyAll();
            break;
        default:
            break;
        }
    } catch (...) {
        operation_ = opNone;
        throw;
    }
    operation_ = opNone;
}

TCustomInstallFile *TFileContainer::FindFile(const std::string &path)
{
    for (int i = 0; i < ChildCount(); ++i) {
        auto *file = dynamic_cast<TCustomInstallFile *>(Child(i));
        if (file && SameText(file->SourcePath(), path))
            return file;
    }
    return nullptr;
}

void TFileContainer::ClearFiles()
{
    FreeChildren(TCustomInstallFile::Class);
}

std::string TFileContainer::LocalArchivePath()
{
    std::string path;
    if (LocalFileFromLog(path))
        return path;
    if (!Trim(LocalArchive()).empty())
        return LocalArchive();
    throw IEFileContainer("%s has not yet downloaded the archive file and therefore cannot retrieve the path "
                          "of the archive file",
        Name());
}

bool TFileContainer::NeedsDownload()
{
    if (DistributionInForce() == dtTraditional)
        return false;
    for (int i = 0; i < ChildCount(); ++i) {
        auto *file = dynamic_cast<TCustomInstallFile *>(Child(i));
        if (file && file->Net() && file->Include() && !file->NetLocation())
            return true;
    }
    return false;
}

void TFileContainer::ReadArchiveInfo()
{
    THourGlass cursor;
    FilesThenContainers(
        *this, [](TCustomInstallFile *file) { file->ReadInfoFromArchive(); },
        [](TFileContainer *container) { container->ReadArchiveInfo(); });
    SetInfoRead(true);
}

void TFileContainer::ReadSourceInfo()
{
    THourGlass cursor;
    FilesThenContainers(
        *this, [](TCustomInstallFile *file) { file->ReadSourceInfo(); },
        [](TFileContainer *container) { container->ReadSourceInfo(); });
}

void TFileContainer::InstallObjects()
{
    bool wasAborted = false;
    WithOperation(operation_, opInstalling, [&] {
        {
            THourGlass cursor;
            std::string local;
            if (LocalFileFromLog(local))
                SetLocalArchive(local);
            ReadArchiveInfo();
            BroadcastEvent(this, ieBeforeFileContainer, nullptr);
            Report(scOperationStarts, this);
            StartTotals(TotalSizeOf(false));
            if (OnBeforeInstallObjects)
                OnBeforeInstallObjects(this);
            TInstallObject::InstallObjects();
            Report(scOperationEnds, this);
        }
        wasAborted = SharedArchive() && SharedArchive()->Abort();
        BroadcastEvent(this, ieOperationEnded, nullptr);
    });
    if (OnAfterInstallObjects)
        OnAfterInstallObjects(this, wasAborted);
}

void TFileContainer::CompressChild(TFileRelated *child, TCompressOptions options)
{
    auto *file = dynamic_cast<TCustomInstallFile *>(child);
    const bool netFile = file && !options.Contains(coForceNetFilesLocal)
        && (child->Net() || options.Contains(coForceFilesNet));

    const TlzhCommand savedAdd = child->AddToArchive();
    const std::string savedFile = child->ArchiveFile();
    TCustomPathSpecifier *const savedType = child->ArchiveFileType();
    const bool savedInclude = child->Include();
    auto restore = [&] {
        child->SetArchiveFileType(savedType);
        child->SetAddToArchive(savedAdd);
        child->SetArchiveFile(savedFile);
        child->SetInclude(savedInclude);
    };
    // Set directly: the setters' own rules would clear the file a specifier names.
    auto setArchive = [&](TlzhCommand add, TCustomPathSpecifier *type, const std::string &archiveFile) {
        child->SetAddToArchive(add);
        child->SetArchiveFileType(type);
        child->SetArchiveFile(archiveFile);
    };
    const std::string archiveFolder = ExtractFileDir(ArchivePath());
    try {
        if (options.Contains(coIncludeAll))
            child->SetInclude(true);
        TCustomPathSpecifier *type = child->ArchiveFileType();
        const bool containerArchive = type && type->InheritsFrom(TpsContainerArchiveFile::Class);
        if (netFile && child->NetLocation()) {
            setArchive(lzcOverwrite, nullptr,
                archiveFolder + "\\" + child->RemoteFolder() + "\\" + child->Name() + ".1");
            file->SetIsNetFile(1);
        } else if (!netFile) {
            if (options.Contains(coAddAllToArchive)) {
                setArchive(lzcOnlyAdd, nullptr, "");
            } else if (containerArchive) {
                child->SetAddToArchive(lzcOnlyAdd);
            } else if (type && type->InheritsFrom(TpsInstallSource::Class)) {
                TCustomInstall *install = CurrentInstallComponent();
                const std::string base = ExtractFileDir(install ? install->ArchivePath() : ArchivePath());
                setArchive(lzcOverwrite, nullptr, AddTrailingBackslash(base) + savedFile);
            } else if (options.Contains(coKeepSourceFolders)) {
                const std::string own = child->ArchivePath();
                const size_t colon = own.find(':');
                setArchive(lzcOverwrite, nullptr,
                    archiveFolder + (colon == std::string::npos ? own : own.substr(colon + 1)));
            }
        } else {
            child->SetAddToArchive(lzcOnlyAdd);
            child->SetArchiveFileType(nullptr);
            if (file->FetchesOwnArchive())
                child->SetArchiveFile(
                    archiveFolder + "\\" + child->RemoteFolder() + "\\" + child->Name() + ".1");
            else
                child->SetArchiveFile(LocalArchive());
            file->SetIsNetFile(1);
        }
        if (auto *container = dynamic_cast<TFileContainer *>(child))
            container->Compress(options);
        else if (file)
            file->Compress();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TFileContainer::Compress(TCompressOptions options)
{
    if (options.Contains(coForceNetFilesLocal) && options.Contains(coForceFilesNet))
        throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
    WithEndedOperation(
        operation_, opCompressing,
        [&] {
            if (OnBeforeProcess)
                OnBeforeProcess(this);
            if (!Include())
                return;
            Report(scOperationStarts, this);
            ReadSourceInfo();
            StartTotals(TotalSizeOf(options.Contains(coIncludeAll)));
            try {
                SetLocalArchive(ExtractFileDir(ArchivePath()) + "\\" + RemoteFolder() + "\\" + Name() + ".1");
            } catch (const IEFileRel_NoNetLocation &) {
                if (!options.Contains(coForceNetFilesLocal) && NeedsDownload())
                    throw;
            }
            auto deleteArchive = [&](const std::string &path) {
                if (FileExists(path) && !DeleteFile(path))
                    throw IEFileContainer("%s cannot delete the archive file %s", Name(), path);
            };
            if (AddToArchive() == lzcOverwrite)
                deleteArchive(ChangeFileExt(ArchivePath(), ".1"));
            bool anyNet = false, anyFile = false;
            for (int i = 0; i < ChildCount(); ++i) {
                if (auto *file = dynamic_cast<TCustomInstallFile *>(Child(i))) {
                    anyFile = true;
                    anyNet = anyNet || file->Net();
                }
            }
            if ((anyNet || (options.Contains(coForceFilesNet) && anyFile)) && !LocalArchive().empty())
                deleteArchive(LocalArchive());
            for (int i = 0; i < ChildCount(); ++i)
                if (auto *child = dynamic_cast<TFileRelated *>(Child(i)))
                    CompressChild(child, options);
            if (OnAfterProcess)
                OnAfterProcess(this);
            Report(scOperationEnds, this);
        },
        [this] { BroadcastEvent(this, ieOperationEnded, nullptr); });
}

void TFileContainer::CopyAll()
{
    WithEndedOperation(
        operation_, opCopying,
        [&] {
            if (OnBeforeProcess)
                OnBeforeProcess(this);
            if (Include()) {
                Report(scOperationStarts, this);
                ReadSourceInfo();
                StartTotals(TotalSizeOf(false));
                FilesThenContainers(
                    *this, [](TCustomInstallFile *file) { file->Copy(); },
                    [](TFileContainer *container) { container->CopyAll(); });
                if (OnAfterProcess)
                    OnAfterProcess(this);
                Report(scOperationEnds, this);
            }
        },
        [this] { BroadcastEvent(this, ieOperationEnded, nullptr); });
}

// ---- TInstallFileGroup -----------------------------------------------------------

TInstallFileGroup::TInstallFileGroup(TComponent *owner)
    : TFileContainer(owner)
{
    SetInstallable(true);
    SetInclude(true);
    SetGroupName("Unnamed File Group");
}

void TInstallFileGroup::SetParentComponent(TComponent *parent)
{
    TFileContainer::SetParentComponent(parent);
    // A group placed while designing is named after its place in the container.
    if (ContainerDefaulted() && Container())
        SetGroupName("Group #" + std::to_string(Container()->FileContainerCount()));
}

void TInstallFileGroup::RemoveMissingFiles()
{
    for (int i = ChildCount() - 1; i >= 0; --i) {
        auto *file = dynamic_cast<TCustomInstallFile *>(Child(i));
        if (file && !FileExists(file->SourcePath())) {
            RemoveChild(file);
            delete file;
        }
    }
}
