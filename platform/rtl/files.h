#pragma once

#include <cstdint>
#include <memory>
#include <string>

// File routines. Every path a caller names goes through MapPath once, at the
// call (both separators accepted); names handed back (TSearchRec::Name,
// GetCurrentDir) are the host's.

// File attributes. Read-only follows the owner's write bit, hidden means a
// name beginning with '.'; every ordinary file carries faArchive, and entries
// that are neither files nor folders (devices, pipes, sockets) faSysFile.
constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

// Open modes: one access mode or'ed with one share mode (share modes are
// accepted and ignored).
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// Existence, folders, names
bool FileExists(const std::string &fileName); // an existing file that is not a folder
bool DirectoryExists(const std::string &directory);
bool CreateDir(const std::string &directory);
bool RemoveDir(const std::string &directory); // an empty folder only
bool ForceDirectories(const std::string &directory); // EInOutError "Unable to create directory" for ""
bool DeleteFile(const std::string &fileName);
bool RenameFile(const std::string &oldName, const std::string &newName); // never replaces newName
bool CopyFile(const std::string &source, const std::string &dest, bool failIfExists);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string &directory);

// Splitting names. These work on the text alone: "\" and "/" both separate,
// "C:" is a drive and "\\server\share" a network drive.
std::string ExtractFilePath(const std::string &fileName); // with the trailing separator
std::string ExtractFileDir(const std::string &fileName); // without it, except at a root
std::string ExtractFileName(const std::string &fileName);
std::string ExtractFileExt(const std::string &fileName); // ".txt", or ""
std::string ExtractFileDrive(const std::string &fileName); // "C:", "\\server\share", or ""
std::string ChangeFileExt(const std::string &fileName, const std::string &extension);
std::string IncludeTrailingBackslash(const std::string &path);
std::string ExcludeTrailingBackslash(const std::string &path);
// Resolves "." and ".." and makes a relative name absolute against the
// current folder.
std::string ExpandFileName(const std::string &fileName);

// Searching a folder. Mask is a folder followed by a name pattern with '*'
// and '?', matched without regard to case ("*.*" matches every name). Attr
// chooses the special entries besides ordinary files (faHidden, faSysFile,
// faDirectory); "." and ".." are never returned. Entries come in name order.
struct TSearchState;
struct TSearchRec {
    int Time = 0; // last write as a DOS date
    int64_t Size = 0;
    int Attr = 0;
    std::string Name;
    int ExcludeAttr = 0;
    std::shared_ptr<TSearchState> FindHandle;
};
int FindFirst(const std::string &mask, int attr, TSearchRec &searchRec); // 0, or an errno value
int FindNext(TSearchRec &searchRec); // 0, or ENOENT at the end
void FindClose(TSearchRec &searchRec);

// Windows starts any program file; here a program needs its execute bits.
// A program is known by its first bytes: an ELF executable or a script ("#!").
bool IsProgramImage(const void *head, int64_t count);
// Gives a program file its execute bits, as the umask allows; false when the
// file is no program (or cannot be read).
bool MarkProgramExecutable(const std::string &fileName);

// Dates and attributes. Dates are DOS dates in local time; -1 means none.
int FileAge(const std::string &fileName); // -1 for a missing file or a folder
int FileGetDate(int handle);
int FileSetDate(int handle, int age); // 0, or an errno value
int FileSetDate(const std::string &fileName, int age);
int FileGetAttr(const std::string &fileName); // -1 when missing
int FileSetAttr(const std::string &fileName, int attr); // 0, or an errno value
int64_t FileSize(const std::string &fileName); // -1 when missing

// Handles. FileOpen and FileCreate return -1 on failure; FileRead and
// FileWrite return the bytes moved or -1, retrying interrupted and partial
// transfers; FileSeek returns the new position or -1.
int FileOpen(const std::string &fileName, uint16_t mode);
int FileCreate(const std::string &fileName);
int64_t FileRead(int handle, void *buffer, int64_t count);
int64_t FileWrite(int handle, const void *buffer, int64_t count);
int64_t FileSeek(int handle, int64_t offset, int origin);
void FileClose(int handle);

// A test's fault injector (platform/system/faults.h) plugs in here; null
// members mean no faults. InUse: the host file is held open elsewhere, so it
// cannot be deleted. Fits: how many of count bytes the disk still takes.
struct TFileFaultHooks {
    bool (*InUse)(const std::string &hostPath) = nullptr;
    int64_t (*Fits)(int64_t count) = nullptr;
};
void SetFileFaultHooks(const TFileFaultHooks &hooks);
