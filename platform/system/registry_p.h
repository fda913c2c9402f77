#pragma once
// Not public API: the registry's hive files, shared by the registry and the
// machine that seeds them.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>

#include "platform/system/atomicfile.h"
#include "platform/system/regformat.h"

// One hive file and the tree read from it. Every access takes the hive's lock
// file (shared to read, exclusive to change) and first re-reads the file when
// another process has replaced it since, so a change never works on a stale
// tree. A change is saved before the lock is released.
class THive
{
public:
    THive(std::string fileName, std::string rootName);

    const std::string &FileName() const { return fileName_; }
    const std::string &RootName() const { return rootName_; }

    // fn reads the tree. Raises ERegistryException for a damaged file.
    void Read(const std::function<void(const TRegKeyNode &root)> &fn);
    // fn changes the tree and answers whether it did; a changed tree is saved
    // atomically. A damaged file raises ERegistryException and is left alone.
    void Update(const std::function<bool(TRegKeyNode &root)> &fn);

private:
    std::string fileName_;
    std::string rootName_;
    std::string lockName_;
    std::mutex mutex_;
    std::unique_ptr<TRegKeyNode> tree_;
    struct stat identity_ {
    }; // of the file tree_ was read from; st_ino 0 when it did not exist
    uint64_t generation_ = 0; // the lock file's counter when tree_ was read

    void Refresh(const TFileLock &lock);
    void RemoveDebris();
};
