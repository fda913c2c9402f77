#pragma once

#include <cstdint>
#include <string>

// Faults put on the machine's files on purpose, so that tests can reach the
// paths a real machine takes only now and then: a file held open by another
// program (Windows then refuses to delete it or to rename anything over it)
// and a disk that fills up. The faults belong to this process and to the
// children it forks; a restart of the machine clears files in use.

// Paths are Windows paths of the machine; they are compared after mapping.
void SetFileInUse(const std::string &fileName, bool inUse);
bool FileInUse(const std::string &fileName);
bool HostFileInUse(const std::string &hostPath);
void ClearFilesInUse();

// The disk accepts bytes more bytes in all, then every write comes up short.
// A negative count lifts the limit.
void SetDiskSpace(int64_t bytes);
// How many of count bytes fit; what fits is taken from the space left.
int64_t TakeDiskSpace(int64_t count);

// The free space a drive reports (GetDiskFreeSpace, GetDiskFreeSpaceEx),
// whatever the host's disk has; a negative count lifts it. Writes are not
// limited by it (SetDiskSpace does that).
void SetDriveFreeSpace(char drive, int64_t bytes);
// Whether a free space is set for the drive, and which.
bool DriveFreeSpace(char drive, int64_t &bytes);

// Windows refuses the next restarts (ExitWindowsEx fails).
void SetRestartRefused(bool refused);
bool RestartRefused();

// Windows refuses to record moves for the restart (MoveFileEx with
// MOVEFILE_DELAY_UNTIL_REBOOT fails, as for a user without the rights).
void SetDelayedMovesRefused(bool refused);
bool DelayedMovesRefused();

// The next calls of a COM method (by its name: "CoCreateInstance",
// "SetPath", "Save", ...) answer result instead of doing their work, until the
// fault is lifted; 0 lifts it. ComFault answers 0 when no fault is set.
void SetComFault(const std::string &method, int32_t result);
int32_t ComFault(const std::string &method);

// Lifts every fault.
void ClearFaults();

// Lifts every fault when it goes out of scope.
class TFaultScope
{
public:
    TFaultScope() = default;
    ~TFaultScope() { ClearFaults(); }
    TFaultScope(const TFaultScope &) = delete;
    TFaultScope &operator=(const TFaultScope &) = delete;
};
