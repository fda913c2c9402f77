#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/classes/classes.h"
#include "platform/rtl/events.h"

class TStream;
class TStrings;

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };

// The archive's fixed sizes.
inline constexpr int ArchiveHeadSize = 5; // file count, multi-disk flag
inline constexpr int FileHeaderSize = 172;
inline constexpr int MaxStoredNameLength = 100; // bytes of FileName
inline constexpr int MaxStoredVersionLength = 20; // bytes of FileVersion
inline constexpr int UniqueIDCount = 2000; // ids 0..1999 have a table entry

using TFileHeaderBytes = std::array<uint8_t, FileHeaderSize>;

// The stored header of one archived file. Positions are relative to the
// archive's start (the component's Offset) on the disk file that holds them.
class TFileHeader : public TObject
{
public:
    TFileHeader() = default;
    const char *ClassName() const override { return "TFileHeader"; }

    int32_t Index = 0; // 1-based place in the list it was added from
    double FileDate = 0; // the source's DOS date as a TDateTime
    uint8_t LastDisk = 0; // 0 in a one-file archive
    int32_t DataEnd = 0; // last data byte
    std::string FileName; // at most MaxStoredNameLength bytes
    int32_t NextHeader = 0;
    int32_t UncompressedSize = 0;
    int32_t DataStart = 0; // first data byte
    int32_t CompressedSize = 0;
    uint8_t FirstDisk = 0; // 0 in a one-file archive
    int32_t UniqueID = 0;
    std::string FileVersion; // at most MaxStoredVersionLength bytes
    bool ReadFromArchive = false; // in memory only: read from a file, not made from a source
    std::string SourceName; // in memory only: the full path a new header was made from

    // The 172 stored bytes. A header read from a file keeps its padding and
    // the bytes behind its names, so writing it back changes only the fields.
    TFileHeaderBytes Encode() const;
    bool Decode(const TFileHeaderBytes &bytes); // false when a name's length byte is too large

    // Fills the header from a source file (name, date, size, version).
    void FillFromFile(const std::string &line);

private:
    TFileHeaderBytes raw_ {};
};

// The header list of one archive, owning its headers.
class TFileHeaders : public TObject
{
public:
    TFileHeaders();
    ~TFileHeaders() override;
    const char *ClassName() const override { return "TFileHeaders"; }

    int Count() const { return static_cast<int>(headers_.size()); }
    TFileHeader *GetFileHeaders(int index) const;
    void Add(std::unique_ptr<TFileHeader> header);
    std::unique_ptr<TFileHeader> Release(int index);
    void Clear();
    // One header per line, each made from the file the line's first
    // ';'-item names; without keep the list is emptied first.
    void AddFiles(const TStrings &list, bool keep);
    int IndexOfName(const std::string &text) const;

    bool MultiDisk() const { return multiDisk_; }
    void SetMultiDisk(bool value) { multiDisk_ = value; }

    // Reads the head and the headers of the archive at offset; the input is
    // untrusted, so every count, position and size is checked first.
    void ReadFrom(TStream &stream, int64_t offset);
    // The head (and, for a spanned archive, the header table) at position 0.
    void WriteHead(TStream &stream);

private:
    std::vector<std::unique_ptr<TFileHeader>> headers_;
    bool multiDisk_ = false;
};

// Progress of the file being worked on and of the whole operation.
struct TlzhFileStats {
    uint8_t FilePercent = 0;
    int32_t FileBytesDone = 0;
    std::string FileName;
    int32_t CompressedSize = 0; // while compressing: compressed bytes so far
    uint8_t Ratio = 0; // CompressedSize / UncompressedSize x 100, at most 255
    int32_t UncompressedSize = 0;
    TFileHeaderBytes Header {};
    bool Finished = false;
    uint8_t OverallPercent = 0;
    int64_t OverallBytesDone = 0;
    int64_t TotalCompressed = 0;
    uint8_t OverallRatio = 0;
    int64_t TotalUncompressed = 0;
};

class TKvraCompress;
using TlzhFileStatsEvent = TEvent<TKvraCompress *, const TlzhFileStats &>;
// path: in, the folder where the disk file was expected (no trailing '\');
// out, the folder where it is now.
using TlzhNewDiskEvent = TEvent<TKvraCompress *, int, std::string &>;

enum TKvraOperation { kopNone, kopCompressing, kopExtracting };

// Writes, reads and extracts the install archive (each file one zlib
// stream behind its header), copies plain files under the same overwrite
// rule, and cuts an archive into disk files.
class TKvraCompress : public TComponent
{
public:
    explicit TKvraCompress(TComponent *owner);
    ~TKvraCompress() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Stopping
    bool Abort() const;
    void SetAbort(bool value);

    // The archive
    const std::string &CompressedFile() const;
    void SetCompressedFile(const std::string &value);
    int Offset() const;
    void SetOffset(int value);
    TCompressionLevel CompressionLevel() const;
    void SetCompressionLevel(TCompressionLevel value);

    // What the next operation works on
    TStrings *FilesToProcess() const;
    void SetFilesToProcess(TStrings *value);
    const std::string &ExtractDirectory() const;
    void SetExtractDirectory(const std::string &value);
    TOverwriteType Overwrite() const;
    void SetOverwrite(TOverwriteType value);

    // Operations
    int FileCount();
    void GetFileStats(int index, TlzhFileStats &stats);
    int FileIndexOfUniqueID(int uniqueID);
    void ArchiveFiles(bool append, int uniqueID);
    void ExtractFiles();
    void CopyFile(const std::string &source, const std::string &dest);
    void CopyToDisks(const std::string &directory, const std::string &name);

    // State of the last operation
    TFileHeaders &Headers() const;
    bool HeadersLoaded() const;
    TKvraOperation Operation() const;
    int CurrentDisk() const;
    const TlzhFileStats &Stats() const;
    // The name a file is extracted under; blank means its stored name.
    const std::string &TargetName() const;
    void SetTargetName(const std::string &value);

    // Events
    TNotifyEvent OnAborted;
    TlzhFileStatsEvent OnAfterAdding;
    TlzhFileStatsEvent OnBeforeAdding;
    TlzhFileStatsEvent OnAfterExtracting; // never fired
    TlzhFileStatsEvent OnBeforeExtracting;
    TNotifyEvent OnFullDisk;
    TlzhFileStatsEvent OnListing; // never fired
    TlzhNewDiskEvent OnNewDisk;
    TlzhFileStatsEvent OnReplace;
    TlzhFileStatsEvent OnStatus;

protected:
    // A write came up short: OnFullDisk when assigned (the write is then
    // tried once more), else EkcDiskFull.
    virtual void DiskFull();

private:
    struct Impl;
    friend struct Impl;
    std::unique_ptr<Impl> const d;
};
