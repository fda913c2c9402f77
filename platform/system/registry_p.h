#pragma once
// Not public API: the registry's hive files, shared by the registry and the
// machine that seeds them.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/system/atomicfile.h"
#include "platform/system/regformat.h"

// One change of a hive's tree, kept as data so that it can be made again on
// the tree another program saved meanwhile.
struct TRegChange {
    enum TKind { CreatePath, SetValue, DeleteValue, DeleteKey };
    TKind Kind = CreatePath;
    std::vector<std::string> Path; // from the hive's root
    std::string Name; // of the value
    uint32_t Type = REG_NONE;
    std::string Data;
};

// Makes change on root and answers whether it did: CreatePath whether a key
// was added, SetValue whether the key exists, the deletions whether there was
// something to delete.
bool ApplyChange(TRegKeyNode &root, const TRegChange &change);

// One hive file and the tree read from it. Every access takes the hive's lock
// file (shared to read, exclusive to save) and first re-reads the file when
// another process has replaced it since, so a change never works on a stale
// tree. Outside a registry batch a change is saved before the lock is
// released; inside one it waits in memory (the tree and the list of changes
// not saved yet, made again on a file another program saved meanwhile) until
// a save point.
class THive
{
public:
    THive(std::string fileName, std::string rootName);
    ~THive(); // saves what is pending, as well as it can

    const std::string &FileName() const { return fileName_; }
    const std::string &RootName() const { return rootName_; }

    // fn reads the tree. Raises ERegistryException for a damaged file.
    void Read(const std::function<void(const TRegKeyNode &root)> &fn);
    // fn changes the tree and answers whether it did; the tree is saved
    // atomically, with any change pending. A damaged file raises
    // ERegistryException and is left alone.
    void Update(const std::function<bool(TRegKeyNode &root)> &fn);
    // Makes change and answers ApplyChange's answer. Outside a batch a failed
    // save raises EInOutError and the change is dropped; inside one a save
    // that is due and fails leaves the changes pending for the next save point.
    bool Change(TRegChange change);
    // Saves the pending changes (with dueOnly, only when a save is due: see
    // MaxPendingChanges); raises ERegistryException for a damaged file and
    // EInOutError when the file cannot be written (they stay pending).
    void Flush(bool dueOnly = false);

private:
    using TClock = std::chrono::steady_clock;

    std::string fileName_;
    std::string rootName_;
    std::string lockName_;
    std::mutex mutex_;
    std::unique_ptr<TRegKeyNode> tree_; // the file's tree with the pending changes made on it
    struct stat identity_ {
    }; // of the file tree_ was read from; st_ino 0 when it did not exist
    uint64_t generation_ = 0; // the lock file's counter when tree_ was read
    int generationFd_ = -1; // the lock file, open to read its counter
    const uint64_t *generationMap_ = nullptr; // the counter mapped, once the file holds it
    int watchFd_ = -1; // the kernel's news of the hive's folder (inotify); -1 when there is none
    bool watchTried_ = false;
    uint64_t watchForks_ = 0; // ForkCount when watchFd_ was opened
    bool quiet_ = false; // nothing has happened to the file since it was last found to be identity_
    std::vector<TRegChange> pending_; // made on tree_, not saved yet
    TClock::time_point pendingSince_ {};

    void Refresh(const TFileLock &lock);
    bool Unchanged();
    bool ReadGeneration(uint64_t &generation);
    bool FileUntouched();
    void RefreshShared();
    void RemoveDebris();
    void Save(TFileLock &lock);
    void SaveNow();
    bool SaveDue() const;
};

// How deep the batches of this process are nested, and the save that is due
// while only the outermost is open.
int RegistryBatchDepth();
constexpr int MaxPendingChanges = 1000;
constexpr std::chrono::milliseconds MaxPendingTime { 500 };

// Flushes every hive of the current machine, when one is open (machine.cpp).
// Raises as THive::Flush, after trying every hive.
void FlushMachineHives(bool dueOnly = false);
