#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Host-level file primitives of the machine's own files (registry hives, INI
// files). Paths here are host paths.

// Replaces fileName with content so that a reader or a crash sees either the
// old file or the new one, never a mix: the text goes to a temporary file in
// the same folder, is flushed to disk, renamed over fileName, and the folder is
// flushed too. Raises EInOutError naming the file when any step fails; the old
// file is then left as it was.
void WriteFileAtomic(const std::string &fileName, std::string_view content);

// The whole content of a file; EInOutError when it cannot be read.
std::string ReadWholeFile(const std::string &fileName);

// An advisory lock on a lock file (created when missing), held for the life of
// the object. Exclusive for writers, shared for readers; each lock opens the
// file afresh, so locks are never shared with a forked child.
class TFileLock
{
public:
    TFileLock(const std::string &lockFile, bool exclusive);
    ~TFileLock();
    TFileLock(const TFileLock &) = delete;
    TFileLock &operator=(const TFileLock &) = delete;

    // A counter kept in the lock file for its holders: writers bump it
    // under the exclusive lock, so readers see every change, even one that
    // leaves the locked file's size, time and inode number as they were.
    uint64_t Generation() const;
    void SetGeneration(uint64_t generation);

private:
    int fd_;
};
