#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "installer/formats/kvraformat.h"
#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/classes/classes.h"
#include "platform/rtl/events.h"

class TStream;
class TStrings;

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };

// The stored header of one archived file (its fields: TKvraStoredHeader).
class TFileHeader : public TObject, public TKvraStoredHeader
{
public:
    TFileHeader() = default;
    const char *ClassName() const override { return "TFileHeader"; }

    bool ReadFromArchive = false; // in memory only: read from a file, not made from a source
    std::string SourceName; // in memory only: the full path a new header was made from

    // Fills the header from a source file (name, date, size, version).
    void FillFromFile(const std::string &line);
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
    // The first header whose name is the line's first ';'-item, without
    // case; -1 when none. Names are looked up in an index kept with the
    // list, so a header's FileName stays as it is once it is in a list.
    int IndexOfName(const std::string &text) const;
    // Every header of that stored name, in list order; nullptr when none.
    const std::vector<int> *IndicesOfName(const std::string &name) const;

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
    mutable TKvraNameIndex names_;
    void BuildIndex() const;
    mutable bool indexed_ = true; // names_ describes headers_
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
