#pragma once

#include <cstdint>
#include <string>

#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/cmp_TVersion/cmp_TVersion.h"

class TFiler;
class TReader;
class TWriter;

enum TInstallFileType {
    iftNormal,
    iftJustADLL,
    iftApplicationSpecificDLL,
    iftVendorSharedDLL,
    iftSystemWideDLL,
};
enum TInstallFileState { ifsNone, ifsCompress, ifsInstall, ifsCopying };
extern const TEnumNames InstallFileTypeNames;
extern const TEnumNames InstallFileStateNames;

// One file of the product: compressed from its source folder at build time,
// extracted into its destination at setup time under its overwrite rule, then
// registered as it asks (help file, shared-DLL count, self-registration,
// uninstall list). A destination in use gets the new file at the next restart.
class TCustomInstallFile : public TFileRelated
{
public:
    explicit TCustomInstallFile(TComponent *owner);
    TCustomInstallFile(TComponent *owner, const std::string &path); // CreateFromPath
    TCustomInstallFile(
        TComponent *owner, TInstallContainer *container, const std::string &path); // CreateInContainer
    ~TCustomInstallFile() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Source and destination
    const std::string &FileName() const { return fileName_; }
    virtual void SetFileName(const std::string &value);
    const std::string &IncludeFromDir() const { return includeFromDir_; }
    virtual void SetIncludeFromDir(const std::string &value);
    const std::string &DestName() const { return destName_; }
    virtual void SetDestName(const std::string &value);
    void SetDestDir(const std::string &value) override;
    void SetDestDirType(TCustomPathSpecifier *value) override;
    void SetContainer(TInstallContainer *value) override;
    std::string SourcePath() const;
    std::string InstalledPath();
    std::string ArchivePath() override;
    bool FetchesOwnArchive() const;

    // What it is
    TInstallFileType FileType() const { return fileType_; }
    virtual void SetFileType(TInstallFileType value);
    bool ActiveX() const { return activeX_; }
    virtual void SetActiveX(bool value);
    TOverwriteType OverwriteMode() const { return overwriteMode_; }
    void SetOverwriteMode(TOverwriteType value) { overwriteMode_ = value; }
    bool RegisterAsHelp() const { return registerAsHelp_; }
    void SetRegisterAsHelp(bool value) { registerAsHelp_ = value; }
    bool RunAfterInstall() const { return runAfterInstall_; }
    void SetRunAfterInstall(bool value) { runAfterInstall_ = value; }
    bool UpdateDLLCounter() const { return updateDLLCounter_; }
    void SetUpdateDLLCounter(bool value) { updateDLLCounter_ = value; }

    // From the source or the archive header
    double FileDate() const { return fileDate_; }
    void SetFileDate(double value) { fileDate_ = value; }
    int32_t UncompressedSize() const { return uncompressedSize_; }
    int32_t CompressedSize() const { return compressedSize_; }
    const std::string &Version() const { return version_; }
    // What the remote file list says of the file.
    void SetRemoteInfo(int32_t uncompressedSize, double fileDate, const std::string &version);
    int32_t UniqueID() const { return uniqueID_; }

    // Build bookkeeping
    uint8_t ArchiveState() const { return archiveState_; }
    void SetArchiveState(uint8_t value) { archiveState_ = value; }
    uint8_t IsNetFile() const { return isNetFile_; }
    void SetIsNetFile(uint8_t value) { isNetFile_ = value; }
    const std::string &WrittenArchive() const { return writtenArchive_; }

    // The last installation
    bool TargetExisted() const { return targetExisted_; }
    bool ReplacedAtRestart() const { return replacedAtRestart_; }
    bool NeedsWriting() const { return needsWriting_; }
    // The name the new file waits under until the restart puts it in place.
    const std::string &PendingName() const { return pendingName_; }

    // Operations
    TInstallFileState State() const { return state_; }
    virtual void SetState(TInstallFileState value); // ifsCompress, ifsInstall, ifsCopying
    virtual void Compress();
    virtual void Copy();
    virtual void ReadInfoFromArchive();
    virtual void ReadSourceInfo();
    virtual bool HasSelfRegisterFlag();
    virtual bool IncrementSharedCount();
    virtual void RegisterInProcess();
    virtual void RegisterExe();
    void RegisterServer(); // either of the two, by the file's extension
    virtual void Aborted(); // raises EAIUserAbort

    int RegisteredType() const override { return rtInstallFile; }
    void SetOrder(int value) override { MoveToOrder(value); }
    void InstallObjects() override; // installs the file
    void Resume() override;
    void WriteUninstallInfo(const std::string &key) override;

    TInstallFileNotifyEvent OnAfterCompress;
    TInstallFileNotifyEvent OnAfterCopy;
    TInstallFileNotifyEvent OnAfterInstall;
    TInstallFileNotifyEvent OnBeforeCompress;
    TInstallFileNotifyEvent OnBeforeCopy;
    TInstallFileNotifyEvent OnBeforeInstall;
    TInstallFileStatusEvent OnStatus;
    TInstallFileNewDiskEvent OnNewDisk;
    TInstallFileNotifyEvent OnReplacing;

protected:
    virtual void PrepareDestination();
    void Loaded() override;
    void DefineProperties(TFiler &filer) override;

private:
    bool targetExisted_ = false;
    bool replacedAtRestart_ = false;
    bool needsWriting_ = false;
    bool activeX_ = false;
    int32_t compressedSize_ = 0;
    uint8_t archiveState_ = 0;
    uint8_t isNetFile_ = 0;
    std::string writtenArchive_;
    double fileDate_ = 0;
    std::string destName_;
    std::string fileName_;
    TInstallFileType fileType_ = iftNormal;
    std::string includeFromDir_;
    TOverwriteType overwriteMode_ = owAlways;
    bool registerAsHelp_ = false;
    bool runAfterInstall_ = false;
    int32_t uncompressedSize_ = 0;
    TInstallFileState state_ = ifsNone;
    int32_t uniqueID_ = 0;
    bool uniqueIDTaken_ = false;
    bool updateDLLCounter_ = false;
    std::string version_;
    std::string pendingName_;

    struct Placement;
    Placement CurrentPlacement() const;
    void ApplyPlacement(const Placement &before);
    // undoOnError: a rejected source name or folder must not stay behind.
    template <typename T> void SetPlaced(T &field, const T &value, bool undoOnError);
    void Extract();
    void AfterInstall();
    void PutInPlace(const std::string &incomingPath);
    std::string ChangeDisk(TKvraCompress *archive, int diskNumber);
    void FileStatus(const TlzhFileStats &stats);
    void ReadUniqueID(TReader &reader);
    void WriteUniqueID(TWriter &writer);
};

class TInstallFile : public TCustomInstallFile
{
public:
    using TCustomInstallFile::TCustomInstallFile;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// Fault injection for the crash tests only: the installed file is erased and
// the new one extracted straight to its name, as a careless installer would,
// so that a test can show it sees the files such a run leaves half done.
// Never set by a program.
void SetExtractStraightOver(bool on);

// Numbered "Files" keys of the uninstall records tried after the first,
// before writing them gives up.
inline constexpr int MaxFileListKeys = 16;

// The UniqueID table: ids 0..1999, one per install file of the program.
bool UniqueIDTaken(int id);
