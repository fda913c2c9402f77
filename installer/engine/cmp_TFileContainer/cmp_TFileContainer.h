#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "installer/engine/cmp_TNetInstallLocation/cmp_TNetInstallLocation.h"
#include "platform/rtl/pointerlist.h"

class TCustomInstallFile;
class TCustomNetInstallLocation;
class TStrings;

// The parameter list of the status codes 1008 to 1011 and of event -993:
// the install file, then its parameter object. Owns nothing.
class TParamList : public TObject, public TPointerList<TObject>
{
public:
    TParamList() = default;
    TParamList(TObject *first, TObject *second)
    {
        Add(first);
        Add(second);
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// Status codes an install file or container sends up to its container.
inline constexpr int scInstalled = 1001; // installed or kept
inline constexpr int scInstallStarts = 1002;
inline constexpr int scReplacing = 1003; // PO: the install file
inline constexpr int scBeforeCompress = 1004;
inline constexpr int scAfterCompress = 1005;
inline constexpr int scBeforeCopy = 1006;
inline constexpr int scAfterCopy = 1007;
inline constexpr int scInstallProgress = 1008; // PO: TParamList [file, TFileStatusParameter]
inline constexpr int scCompressProgress = 1009;
inline constexpr int scCopyProgress = 1010;
inline constexpr int scNewDisk = 1011; // PO: TParamList [file, TDiskParameter]
inline constexpr int scOperationStarts = 1012; // PO: the container
inline constexpr int scOperationEnds = 1013;
inline constexpr int scDownloadProgress = 1014; // PO: TDownloadStatusParameter
inline constexpr int scSkipped = 1015; // PO: the install file
inline constexpr int scKept = 1016; // PO: the install file

enum TDistributeType { dtTraditional, dtWeb, dtTraditionalNet };
extern const TEnumNames DistributeTypeNames;
extern const TEnumNames LzhCommandNames; // "lzcOverwrite", "lzcOnlyAdd"

using TInstallFileNotifyEvent = TEvent<TCustomInstallFile *>;
using TInstallFileStatusEvent
    = TEvent<TCustomInstallFile *, int /*FilePercentDone*/, int /*TotalPercentDone*/>;
using TInstallFileNewDiskEvent = TEvent<TCustomInstallFile *, int /*NewDisk*/, std::string & /*Path*/>;
using TAfterInstallObjectsEvent = TEvent<TInstallContainer *, bool /*WasAborted*/>;

// ---- File-related objects ------------------------------------------------------

// An install object whose content lives in an archive, which it may fetch
// over the network.
class TFileRelated : public TInstallObject
{
public:
    explicit TFileRelated(TComponent *owner);
    ~TFileRelated() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The archive
    TlzhCommand AddToArchive() const { return addToArchive_; }
    void SetAddToArchive(TlzhCommand value) { addToArchive_ = value; }
    const std::string &ArchiveFile() const { return archiveFile_; }
    virtual void SetArchiveFile(const std::string &value);
    TCustomPathSpecifier *ArchiveFileType() const { return archiveFileType_; }
    virtual void SetArchiveFileType(TCustomPathSpecifier *value);
    virtual std::string ArchivePath(); // without trailing backslash
    bool InfoRead() const { return infoRead_; }
    void SetInfoRead(bool value) { infoRead_ = value; }

    // Fetching it
    bool Net() const { return net_; }
    virtual void SetNet(bool value) { net_ = value; }
    TCustomNetInstallLocation *NetLocation() const { return netLocation_; }
    virtual void SetNetLocation(TCustomNetInstallLocation *value);
    const std::string &LocalArchive() const { return localArchive_; }
    void SetLocalArchive(const std::string &value) { localArchive_ = value; }
    virtual void Download();
    virtual bool IsDownloaded();
    virtual void RecordLocalFile(const std::string &path);
    // The archive this run downloaded before, as the install log records it.
    bool LocalFileFromLog(std::string &path);
    // Where a network archive of this object lies below an archive folder.
    std::string RemoteFolder();
    virtual void DataReceived(TObject *sender, const std::string &fileName, int bytes, int totalBytes,
        int fileSize, const char *buffer);

    void SetContainer(TInstallContainer *value) override;
    void SetParentComponent(TComponent *parent) override;

    TDataReceivedEvent OnDataReceived;

protected:
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;
    // Notifies this object's own container (codes climb the tree).
    void Report(int code, TObject *po);

private:
    std::string localArchive_;
    TlzhCommand addToArchive_ = lzcOverwrite;
    bool infoRead_ = false;
    std::string archiveFile_;
    TCustomPathSpecifier *archiveFileType_ = nullptr;
    bool archiveFileTypeAssigned_ = false;
    bool archiveFileTypeDefaulted_ = false;
    bool net_ = false;
    TCustomNetInstallLocation *netLocation_ = nullptr;
};

// The object's own location, else its container's (files) or the install's.
TCustomNetInstallLocation *NetLocationOf(TFileRelated *object);
// The install component's DistributeType; dtTraditionalNet without one.
TDistributeType DistributionInForce();

// ---- File containers ------------------------------------------------------------

enum TCompressOption {
    coAddAllToArchive, // 1
    coKeepSourceFolders, // 2
    coBuildMarker, // 4
    coForceNetFilesLocal, // 8
    coForceFilesNet, // 16
    coIncludeAll, // 32
};
using TCompressOptions = TSet<TCompressOption>;

enum TContainerOperation { opNone, opCompressing, opInstalling, opCopying };

// A container of install files and of other file containers. It compresses
// them at build time, installs them at setup time, and turns the status codes
// its children send up into its own events and broadcasts, keeping the
// progress of its whole operation.
class TFileContainer : public TFileRelated
{
public:
    explicit TFileContainer(TComponent *owner);
    ~TFileContainer() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // What the wizard shows of it
    bool AllowChangeDir() const { return allowChangeDir_; }
    void SetAllowChangeDir(bool value) { allowChangeDir_ = value; }
    bool AllowChoice() const { return allowChoice_; }
    void SetAllowChoice(bool value) { allowChoice_ = value; }
    TStrings *Description() const { return description_.get(); }
    void SetDescription(TStrings *value);
    const std::string &GroupName() const { return groupName_; }
    void SetGroupName(const std::string &value) { groupName_ = value; }

    // The current operation
    int Operation() const { return operation_; }
    int32_t TotalSize() const { return totalSize_; }
    int32_t DoneBytes() const { return doneBytes_; }
    virtual void SetState(int value); // 1 compress, 2 install, 3 copy

    // Sizes
    virtual int SizeOf(bool all, bool withSubContainers);
    virtual int TotalSizeOf(bool all);
    virtual int FilesSize(bool all);
    virtual int CompressedSize(bool all);

    // Files
    virtual TCustomInstallFile *FindFile(const std::string &path);
    virtual void ClearFiles();
    virtual std::string LocalArchivePath();
    virtual bool NeedsDownload();

    // Operations
    virtual void Compress(TCompressOptions options);
    virtual void CopyAll();
    virtual void ReadArchiveInfo();
    virtual void ReadSourceInfo();
    void InstallObjects() override;
    int RegisteredType() const override { return rtFileContainer; }
    void DoInformationEventControl(TObject *sender, int code, TObject *po) override;

    // Reactions to what the files report
    virtual void NewDisk(TCustomInstallFile *file, TDiskParameter *parameter);
    virtual void Replacing(TCustomInstallFile *file);
    virtual void Status(TCustomInstallFile *file, TFileStatusParameter *parameter);

    TInstallFileStatusEvent OnStatus;
    TInstallFileNewDiskEvent OnNewDisk;
    TInstallFileNotifyEvent OnReplacing;
    TAfterInstallObjectsEvent OnAfterInstallObjects;
    TInstallContainerNotifyEvent OnBeforeInstallObjects;

protected:
    void SetOperation(int value) { operation_ = value; }

private:
    int32_t totalSize_ = 0;
    int32_t doneBytes_ = 0;
    bool allowChangeDir_ = true;
    bool allowChoice_ = true;
    std::unique_ptr<TStrings> description_;
    std::string groupName_;
    int operation_ = opNone;
    std::set<const TObject *> sizedLate_; // files whose size was unknown when TotalSize was made

    void StartTotals(int32_t totalSize);
    void FillTotals(TFileStatusParameter &parameter) const;
    void CompressChild(TFileRelated *child, TCompressOptions options);
};

// The file group a form resource publishes.
class TInstallFileGroup : public TFileContainer
{
public:
    explicit TInstallFileGroup(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void SetOrder(int value) override { MoveToOrder(value); }
    // Drops (and frees) every file whose source no longer exists.
    virtual void RemoveMissingFiles();
    void SetParentComponent(TComponent *parent) override;
};

// Round(part / whole x 100), halves to even; 0 when the division fails.
int32_t PercentOf(int64_t part, int64_t whole);
