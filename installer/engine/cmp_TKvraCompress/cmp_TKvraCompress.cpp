#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"

const TMetaClass TKvraCompress::Class { "TKvraCompress", &TComponent::Class };

namespace
{

const TEnumNames CompressionLevelNames = { "colNone", "colFastest", "colDefault", "colMax" };
const TEnumNames OverwriteTypeNames = { "owAlways", "owNever", "owVersion", "owDate", "owVersionDate" };

// clang-format off
using P = TPublish<TKvraCompress>;
const TClassRegistrar<TKvraCompress> registrar({
    //          name                  getter                             setter                                default
    P::Boolean ("Abort",              &TKvraCompress::Abort,             &TKvraCompress::SetAbort,             false),
    P::String  ("CompressedFile",     &TKvraCompress::CompressedFile,    &TKvraCompress::SetCompressedFile,    ""),
    P::Enum    ("CompressionLevel",   CompressionLevelNames,
                                      &TKvraCompress::CompressionLevel,  &TKvraCompress::SetCompressionLevel,  colMax),
    P::String  ("ExtractDirectory",   &TKvraCompress::ExtractDirectory,  &TKvraCompress::SetExtractDirectory,  ""),
    P::Strings ("FilesToProcess",     &TKvraCompress::FilesToProcess),
    P::Integer ("Offset",             &TKvraCompress::Offset,            &TKvraCompress::SetOffset,            0),
    P::Enum    ("Overwrite",          OverwriteTypeNames,
                                      &TKvraCompress::Overwrite,         &TKvraCompress::SetOverwrite,         owAlways),
    P::Event   ("OnAborted",          &TKvraCompress::OnAborted),
    P::Event   ("OnAfterAdding",      &TKvraCompress::OnAfterAdding),
    P::Event   ("OnBeforeAdding",     &TKvraCompress::OnBeforeAdding),
    P::Event   ("OnAfterExtracting",  &TKvraCompress::OnAfterExtracting),
    P::Event   ("OnBeforeExtracting", &TKvraCompress::OnBeforeExtracting),
    P::Event   ("OnFullDisk",         &TKvraCompress::OnFullDisk),
    P::Event   ("OnListing",          &TKvraCompress::OnListing),
    P::Event   ("OnNewDisk",          &TKvraCompress::OnNewDisk),
    P::Event   ("OnReplace",          &TKvraCompress::OnReplace),
    P::Event   ("OnStatus",           &TKvraCompress::OnStatus),
});
// clang-format on

// Messages
const char *const MsgCorrupt
    = "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";
const char *const MsgCountUnreadable = "Could not read the file header count for the compressed file";
const char *const MsgHeadUnwritable = "Could not write the file headers for the compressed file";
const char *const MsgCannotOpenArchive = "Cannot open the compressed file %s";
const char *const MsgCannotOpenFile = "Cannot open the file %s";
const char *const MsgCannotCreateFile = "Cannot create the file %s";
const char *const MsgAborted = "Operation aborted by user";
const char *const MsgDiskFull = "The disk is full";
const char *const MsgCompareFailed = "Error comparing file versions in TKvraCompress";
const char *const MsgSizeMismatch
    = "The decompressed file's size does not match with the actual size of the file.  The file is %s";
const char *const MsgCannotSetDate = "Cannot set the date of the file just extracted.";
const char *const MsgNotInArchive = "The file <%s> was not found in the archive <%s>";
const char *const MsgNoDiskFile = "Could not open the correct disk file %d";
const char *const MsgNoNewDiskHandler
    = "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted";
const char *const MsgTooLittleSpace = "There is too little space on this disk to operate";
const char *const MsgBadStatsIndex = "Tried to access the %dth file. This file is not defined";
const char *const MsgBadHeaderIndex = "%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders";
const char *const MsgInvalidHeader = "Tried to add an invalid file header";
const char *const MsgFileTooLarge = "The file %s is too large for the archive (at most 2 GB)";
const char *const MsgArchiveTooLarge = "The archive %s cannot hold %s: it would grow beyond 2 GB";
const char *const MsgNamesCollide = "The file names %s and %s are the same in their first 100 characters";
const char *const MsgSourceChanged = "The file %s changed while it was being read";
const char *const MsgAppendToSpanned = "Cannot add files to %s: it is spread over disks";
const char *const MsgSpannedSource = "Cannot copy %s to disks: it is already spread over disks";
const char *const MsgSourceInTarget = "Cannot copy %s to disks in %s: the copy would replace it";

constexpr int64_t ZBufferSize = 65536; // deflate output, inflate input and output
constexpr int64_t CopyBufferSize = 8192; // plain copies and disk copies
constexpr int64_t MaxPosition = std::numeric_limits<int32_t>::max();

// ---- Little helpers ------------------------------------------------------------

void Put32(uint8_t *p, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u), p[1] = static_cast<uint8_t>(u >> 8), p[2] = static_cast<uint8_t>(u >> 16),
    p[3] = static_cast<uint8_t>(u >> 24);
}
int32_t Get32(const uint8_t *p)
{
    return static_cast<int32_t>(
        uint32_t { p[0] } | uint32_t { p[1] } << 8 | uint32_t { p[2] } << 16 | uint32_t { p[3] } << 24);
}

// A text cut to at most max bytes without splitting a UTF-8 sequence.
std::string CutText(const std::string &text, size_t max)
{
    if (text.size() <= max)
        return text;
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

// Only the text before the first ';' of a file-list line names the file.
std::string LineFile(const std::string &line)
{
    return GetItem(line, 1, ";");
}

// The last part of a stored name. Any of "\", "/" and ":" separates, so that
// no name, however it was written, reaches outside the extraction folder.
std::string NamePart(const std::string &name)
{
    const size_t cut = name.find_last_of("\\/:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}
bool IsUsableName(const std::string &part)
{
    return !Trim(part).empty() && part != "." && part != ".." && part.find('\0') == std::string::npos;
}

uint8_t Percent(int64_t part, int64_t whole)
{
    if (whole == 0)
        return 0;
    const int64_t p = Round(static_cast<double>(part) / static_cast<double>(whole) * 100.0);
    return static_cast<uint8_t>(std::clamp<int64_t>(p, 0, 255));
}

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, MaxPosition));
}

// Between blocks the user interface gets its turn, at most every 10 ms:
// enough for a cancel button and a progress bar, while a fast disk that
// finishes a block every few microseconds does not spend its time in the
// message loop. The abort flag is still tested at every block.
void PumpMessages()
{
    static auto last = std::chrono::steady_clock::time_point();
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(10))
        return;
    last = now;
    Application->ProcessMessages();
}

// A stream over a file handle that it closes.
class TOwnedHandleStream : public THandleStream
{
public:
    explicit TOwnedHandleStream(int handle)
        : THandleStream(handle)
    {
    }
    ~TOwnedHandleStream() override { FileClose(handle_); }
};

// Windows starts any program file; here a program needs its execute bits, so
// an extracted executable or script gets them like the drive's other programs.
void GrantExecuteToPrograms(const std::string &hostPath)
{
    char head[4] = {};
    FILE *file = std::fopen(hostPath.c_str(), "rb");
    if (!file)
        return;
    const size_t read = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    const bool elf = read == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0;
    const bool script = read >= 2 && head[0] == '#' && head[1] == '!';
    if (!elf && !script)
        return;
    const mode_t mask = umask(0);
    umask(mask);
    chmod(hostPath.c_str(), 0777 & ~mask);
}

// A file written under a temporary name beside its destination and renamed
// over it only when complete, so that a failed or cancelled write never
// destroys the file that was there.
class TReplacingFile
{
public:
    explicit TReplacingFile(const std::string &dest)
        : dest_(dest)
    {
        std::string pattern = MapPath(dest) + ".kvra-XXXXXX";
        const int handle = mkstemp(pattern.data());
        if (handle < 0)
            throw EKvraCompress(Format(MsgCannotCreateFile, dest));
        // mkstemp keeps the file to its owner; the result gets the usual rights.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(handle, 0666 & ~mask);
        temporary_ = pattern;
        stream_ = std::make_unique<TOwnedHandleStream>(handle);
    }
    ~TReplacingFile()
    {
        stream_.reset();
        if (!temporary_.empty())
            unlink(temporary_.c_str());
    }
    TStream &Stream() { return *stream_; }
    int Handle() const { return stream_->Handle(); }
    void Commit()
    {
        stream_.reset();
        GrantExecuteToPrograms(temporary_);
        if (std::rename(temporary_.c_str(), MapPath(dest_).c_str()) != 0)
            throw EKvraCompress(Format(MsgCannotCreateFile, dest_));
        temporary_.clear();
    }

private:
    std::string dest_;
    std::string temporary_;
    std::unique_ptr<TOwnedHandleStream> stream_;
};

std::unique_ptr<TFileStream> OpenFile(const std::string &name, uint16_t mode, const char *message)
{
    try {
        return std::make_unique<TFileStream>(name, mode);
    } catch (const Exception &) {
        throw EKvraCompress(Format(message, name));
    }
}

} // namespace

// ---- TFileHeader ---------------------------------------------------------------

TFileHeaderBytes TFileHeader::Encode() const
{
    TFileHeaderBytes b = raw_;
    uint8_t *p = b.data();
    Put32(p + 0, Index);
    std::memcpy(p + 4, &FileDate, 8);
    p[12] = LastDisk;
    Put32(p + 16, DataEnd);
    const std::string name = CutText(FileName, MaxStoredNameLength);
    p[20] = static_cast<uint8_t>(name.size());
    std::memcpy(p + 21, name.data(), name.size());
    Put32(p + 124, NextHeader);
    Put32(p + 128, UncompressedSize);
    Put32(p + 132, DataStart);
    Put32(p + 136, CompressedSize);
    p[140] = FirstDisk;
    Put32(p + 144, UniqueID);
    const std::string version = CutText(FileVersion, MaxStoredVersionLength);
    p[148] = static_cast<uint8_t>(version.size());
    std::memcpy(p + 149, version.data(), version.size());
    return b;
}

bool TFileHeader::Decode(const TFileHeaderBytes &bytes)
{
    const uint8_t *p = bytes.data();
    if (p[20] > MaxStoredNameLength || p[148] > MaxStoredVersionLength)
        return false;
    raw_ = bytes;
    Index = Get32(p + 0);
    std::memcpy(&FileDate, p + 4, 8);
    LastDisk = p[12];
    DataEnd = Get32(p + 16);
    FileName.assign(reinterpret_cast<const char *>(p + 21), p[20]);
    NextHeader = Get32(p + 124);
    UncompressedSize = Get32(p + 128);
    DataStart = Get32(p + 132);
    CompressedSize = Get32(p + 136);
    FirstDisk = p[140];
    UniqueID = Get32(p + 144);
    FileVersion.assign(reinterpret_cast<const char *>(p + 149), p[148]);
    return true;
}

void TFileHeader::FillFromFile(const std::string &line)
{
    SourceName = LineFile(line);
    FileName = CutText(SourceName, MaxStoredNameLength);
    const auto file = OpenFile(SourceName, fmOpenRead | fmShareDenyNone, MsgCannotOpenFile);
    const int64_t size = file->Size();
    if (size > MaxPosition)
        throw EKvraCompress(Format(MsgFileTooLarge, SourceName));
    UncompressedSize = static_cast<int32_t>(size);
    FileDate = FileDateToDateTime(FileGetDate(file->Handle()));
    TVersionResource *versions = GlobalVersionResource();
    versions->SetFileName(SourceName);
    FileVersion = CutText(versions->VersionInfo()->FileVersion(), MaxStoredVersionLength);
}

// ---- TFileHeaders --------------------------------------------------------------

TFileHeaders::TFileHeaders() = default;
TFileHeaders::~TFileHeaders() = default;

TFileHeader *TFileHeaders::GetFileHeaders(int index) const
{
    if (index < 0 || index >= Count())
        throw EKvraCompress(Format(MsgBadHeaderIndex, index));
    return headers_[index].get();
}

void TFileHeaders::Add(std::unique_ptr<TFileHeader> header)
{
    if (!header || Trim(header->FileName).empty())
        throw EKvraCompress(MsgInvalidHeader);
    headers_.push_back(std::move(header));
}

void TFileHeaders::Clear()
{
    headers_.clear();
}

void TFileHeaders::AddFiles(const TStrings &list, bool keep)
{
    if (!keep)
        Clear();
    for (int i = 0; i < list.Count(); ++i) {
        auto header = std::make_unique<TFileHeader>();
        header->FillFromFile(list[i]);
        header->Index = i + 1;
        Add(std::move(header));
    }
}

int TFileHeaders::IndexOfName(const std::string &text) const
{
    const std::string name = CutText(LineFile(text), MaxStoredNameLength);
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(headers_[i]->FileName, name))
            return i;
    return -1;
}

std::unique_ptr<TFileHeader> TFileHeaders::Release(int index)
{
    auto header = std::move(headers_.at(index));
    headers_.erase(headers_.begin() + index);
    return header;
}

// The head and the headers come from a file that may be damaged or made up
// to do harm. Each header must lie wholly inside the archive, the chain must
// move forward, and every position and size a header gives must describe
// data inside the archive (on disk 1, or on a later disk file that is
// checked when it is read), so that nothing later reads or allocates beyond
// what is there. The list is replaced only when all headers are good.
void TFileHeaders::ReadFrom(TStream &stream, int64_t offset)
{
    const int64_t size = stream.Size();
    uint8_t head[ArchiveHeadSize];
    if (offset < 0 || offset > size || stream.Seek(offset, soFromBeginning) != offset
        || stream.Read(head, ArchiveHeadSize) != ArchiveHeadSize)
        throw EKvraCompress(MsgCountUnreadable);
    const int32_t count = Get32(head);
    const uint8_t multiDisk = head[4];
    const int64_t available = size - offset;
    if (count < 0 || multiDisk > 1 || count > (available - ArchiveHeadSize) / FileHeaderSize)
        throw EKvraCompress(MsgCorrupt);

    std::vector<std::unique_ptr<TFileHeader>> read;
    read.reserve(count);
    const int64_t tableEnd = ArchiveHeadSize + int64_t { FileHeaderSize } * count;
    int64_t position = ArchiveHeadSize;
    for (int32_t i = 0; i < count; ++i) {
        TFileHeaderBytes bytes;
        auto header = std::make_unique<TFileHeader>();
        if (position < ArchiveHeadSize || position > available - FileHeaderSize
            || stream.Seek(offset + position, soFromBeginning) != offset + position
            || stream.Read(bytes.data(), FileHeaderSize) != FileHeaderSize || !header->Decode(bytes))
            throw EKvraCompress(MsgCorrupt);
        const TFileHeader &h = *header;
        const int64_t start = h.DataStart, end = h.DataEnd;
        bool good = std::isfinite(h.FileDate) && h.FileDate >= MinDateTime && h.FileDate <= MaxDateTime
            && h.UncompressedSize >= 0 && h.CompressedSize >= 0 && IsUsableName(NamePart(h.FileName))
            && h.FileName.find('\0') == std::string::npos;
        if (multiDisk == 0) {
            good = good && h.FirstDisk == 0 && h.LastDisk == 0 && start >= position + FileHeaderSize
                && end >= start - 1 && end < available && h.CompressedSize == end - start + 1;
        } else {
            good = good && h.FirstDisk >= 1 && h.LastDisk >= h.FirstDisk && start >= 0 && end >= -1
                && (h.FirstDisk > 1 || (start >= tableEnd && start <= available))
                && (h.LastDisk > 1 || end < available)
                && (h.FirstDisk != h.LastDisk || (end >= start - 1 && h.CompressedSize == end - start + 1));
        }
        if (i + 1 < count)
            good = good && int64_t { h.NextHeader } >= position + FileHeaderSize;
        if (!good)
            throw EKvraCompress(MsgCorrupt);
        header->ReadFromArchive = true;
        position = h.NextHeader;
        read.push_back(std::move(header));
    }
    headers_ = std::move(read);
    multiDisk_ = multiDisk != 0;
}

void TFileHeaders::WriteHead(TStream &stream)
{
    uint8_t head[ArchiveHeadSize];
    Put32(head, Count());
    head[4] = multiDisk_ ? 1 : 0;
    if (stream.Seek(0, soFromBeginning) != 0 || stream.Write(head, ArchiveHeadSize) != ArchiveHeadSize)
        throw EKvraCompress(MsgHeadUnwritable);
    if (!multiDisk_)
        return;
    for (int i = 0; i < Count(); ++i) {
        TFileHeader &h = *headers_[i];
        h.NextHeader = ArchiveHeadSize + FileHeaderSize * (i + 1);
        const TFileHeaderBytes bytes = h.Encode();
        if (stream.Write(bytes.data(), FileHeaderSize) != FileHeaderSize)
            throw EKvraCompress(MsgHeadUnwritable);
    }
}

// ---- TKvraCompress -------------------------------------------------------------

struct TKvraCompress::Impl {
    explicit Impl(TKvraCompress *owner)
        : q(owner)
    {
    }

    TKvraCompress *const q;
    bool abort = false;
    std::string compressedFile;
    TCompressionLevel compressionLevel = colMax;
    std::string extractDirectory;
    std::unique_ptr<TStringList> filesToProcess = std::make_unique<TStringList>();
    int offset = 0;
    TOverwriteType overwrite = owAlways;

    TFileHeaders headers;
    bool loaded = false;
    TKvraOperation operation = kopNone;
    int currentDisk = 0;
    int currentHeader = -1;
    std::string targetName;
    TlzhFileStats stats;
    std::array<int32_t, UniqueIDCount> uniqueIDs {}; // UniqueID -> header index; 0 when not set

    void ReadHeaders();
    void ResetStats();
    void FillStats(const TFileHeader &header);
    void Status() { q->OnStatus(q, stats); }
    void CheckAbort()
    {
        if (abort)
            throw EkcAborted(MsgAborted);
    }
    void WriteFully(TStream &stream, const void *buffer, int64_t count);
    // Positions on disk 1 are relative to Offset; later disk files hold data only.
    int64_t DiskBase(int disk) const { return disk <= 1 ? offset : 0; }
    std::unique_ptr<TFileStream> OpenDiskFile(int disk, bool multiDisk, uint16_t mode, std::string &fileName);

    void Compress(TStream &source, TStream &dest);
    void AddStatus(TStream &source, TStream &dest);
    void ExtractOne(const TFileHeader &header, const std::string &target);
    void Inflate(const TFileHeader &header, std::unique_ptr<TFileStream> &archive, TStream &dest);
    void RememberID(int32_t id, int index)
    {
        if (id >= 0 && id < UniqueIDCount)
            uniqueIDs[id] = index;
    }
};

TKvraCompress::TKvraCompress(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>(this))
{
}

TKvraCompress::~TKvraCompress() = default;

bool TKvraCompress::Abort() const
{
    return d->abort;
}
void TKvraCompress::SetAbort(bool value)
{
    d->abort = value;
}
const std::string &TKvraCompress::CompressedFile() const
{
    return d->compressedFile;
}
int TKvraCompress::Offset() const
{
    return d->offset;
}
void TKvraCompress::SetOffset(int value)
{
    d->offset = value;
}
TCompressionLevel TKvraCompress::CompressionLevel() const
{
    return d->compressionLevel;
}
void TKvraCompress::SetCompressionLevel(TCompressionLevel value)
{
    d->compressionLevel = value;
}
TStrings *TKvraCompress::FilesToProcess() const
{
    return d->filesToProcess.get();
}
const std::string &TKvraCompress::ExtractDirectory() const
{
    return d->extractDirectory;
}
void TKvraCompress::SetExtractDirectory(const std::string &value)
{
    d->extractDirectory = value;
}
TOverwriteType TKvraCompress::Overwrite() const
{
    return d->overwrite;
}
void TKvraCompress::SetOverwrite(TOverwriteType value)
{
    d->overwrite = value;
}
TFileHeaders &TKvraCompress::Headers() const
{
    return d->headers;
}
bool TKvraCompress::HeadersLoaded() const
{
    return d->loaded;
}
TKvraOperation TKvraCompress::Operation() const
{
    return d->operation;
}
int TKvraCompress::CurrentDisk() const
{
    return d->currentDisk;
}
const TlzhFileStats &TKvraCompress::Stats() const
{
    return d->stats;
}
const std::string &TKvraCompress::TargetName() const
{
    return d->targetName;
}
void TKvraCompress::SetTargetName(const std::string &value)
{
    d->targetName = value;
}

// Disk files of one archive differ only in their extension, so moving from
// one to another keeps the headers.
void TKvraCompress::SetCompressedFile(const std::string &value)
{
    if (AnsiSameText(value, d->compressedFile))
        return;
    if (d->loaded && !AnsiSameText(ChangeFileExt(value, ".1"), ChangeFileExt(d->compressedFile, ".1")))
        d->loaded = false;
    d->compressedFile = value;
}

// Blank lines are dropped from the caller's list too.
void TKvraCompress::SetFilesToProcess(TStrings *value)
{
    for (int i = value->Count() - 1; i >= 0; --i)
        if (Trim(value->Strings(i)).empty())
            value->Delete(i);
    d->filesToProcess->Assign(*value);
}

void TKvraCompress::DiskFull()
{
    if (OnFullDisk)
        OnFullDisk(this);
    else
        throw EkcDiskFull(MsgDiskFull);
}

void TKvraCompress::Impl::WriteFully(TStream &stream, const void *buffer, int64_t count)
{
    int64_t written = stream.Write(buffer, count);
    if (written < count) {
        q->DiskFull();
        written += stream.Write(static_cast<const char *>(buffer) + written, count - written);
        if (written < count)
            throw EkcDiskFull(MsgDiskFull);
    }
}

void TKvraCompress::Impl::ReadHeaders()
{
    loaded = false;
    uniqueIDs.fill(0);
    if (!FileExists(compressedFile))
        throw EKvraCompress(Format(MsgCannotOpenArchive, compressedFile));
    const auto archive = OpenFile(compressedFile, fmOpenRead | fmShareDenyNone, MsgCannotOpenArchive);
    try {
        headers.ReadFrom(*archive, offset);
    } catch (const EKvraCompress &) {
        headers.Clear();
        throw;
    } catch (const Exception &) {
        headers.Clear();
        throw EKvraCompress(MsgCorrupt);
    }
    for (int i = 0; i < headers.Count(); ++i)
        RememberID(headers.GetFileHeaders(i)->UniqueID, i);
    loaded = true;
}

void TKvraCompress::Impl::ResetStats()
{
    stats.OverallBytesDone = 0;
    stats.OverallPercent = 0;
    stats.Finished = false;
    stats.TotalUncompressed = 0;
    stats.TotalCompressed = 0;
    for (int i = 0; i < headers.Count(); ++i) {
        stats.TotalUncompressed += headers.GetFileHeaders(i)->UncompressedSize;
        stats.TotalCompressed += headers.GetFileHeaders(i)->CompressedSize;
    }
    stats.OverallRatio = Percent(stats.TotalCompressed, stats.TotalUncompressed);
}

void TKvraCompress::Impl::FillStats(const TFileHeader &header)
{
    stats.FileName = header.FileName;
    stats.UncompressedSize = header.UncompressedSize;
    stats.CompressedSize = header.CompressedSize;
    stats.Ratio = Percent(header.CompressedSize, header.UncompressedSize);
    stats.Header = header.Encode();
    stats.FilePercent = 0;
    stats.FileBytesDone = 0;
    stats.Finished = false;
}

int TKvraCompress::FileCount()
{
    if (!d->loaded && d->operation != kopCompressing)
        d->ReadHeaders();
    return d->headers.Count();
}

void TKvraCompress::GetFileStats(int index, TlzhFileStats &stats)
{
    if (!d->loaded && d->operation != kopCompressing)
        d->ReadHeaders();
    if (index < 0 || index >= d->headers.Count())
        throw EKvraCompress(Format(MsgBadStatsIndex, index));
    d->ResetStats();
    d->FillStats(*d->headers.GetFileHeaders(index));
    stats = d->stats;
}

int TKvraCompress::FileIndexOfUniqueID(int uniqueID)
{
    if (!d->loaded)
        d->ReadHeaders();
    return uniqueID >= 0 && uniqueID < UniqueIDCount ? d->uniqueIDs[uniqueID] : 0;
}

std::unique_ptr<TFileStream> TKvraCompress::Impl::OpenDiskFile(
    int disk, bool multiDisk, uint16_t mode, std::string &fileName)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (multiDisk)
            fileName = ChangeFileExt(fileName, "." + IntToStr(disk));
        if (FileExists(fileName))
            return OpenFile(fileName, mode, MsgCannotOpenArchive);
        if (!q->OnNewDisk)
            throw EKvraCompress(Format(MsgNoDiskFile, disk));
        std::string path = ExcludeTrailingBackslash(ExtractFilePath(fileName));
        q->OnNewDisk(q, disk, path);
        fileName = AddTrailingBackslash(path) + ExtractFileName(fileName);
    }
    throw EKvraCompress(Format(MsgCannotOpenArchive, fileName));
}

// ---- Compressing ---------------------------------------------------------------

// Deflates the whole source into dest as one zlib stream. The output buffer
// goes to dest each time it fills, and each time progress is reported.
void TKvraCompress::Impl::Compress(TStream &source, TStream &dest)
{
    static constexpr int Levels[] = { 0, 1, Z_DEFAULT_COMPRESSION, 9 };
    z_stream z {};
    if (deflateInit(&z, Levels[compressionLevel]) != Z_OK)
        throw Exception("error");
    struct End {
        z_stream &z;
        ~End() { deflateEnd(&z); }
    } end { z };
    std::vector<Bytef> in(ZBufferSize), out(ZBufferSize);
    z.next_out = out.data();
    z.avail_out = ZBufferSize;
    auto step = [&](int flush) {
        const int result = deflate(&z, flush);
        if (result < 0 && result != Z_BUF_ERROR)
            throw Exception("error");
        if (z.avail_out == 0) {
            WriteFully(dest, out.data(), ZBufferSize);
            z.next_out = out.data();
            z.avail_out = ZBufferSize;
            AddStatus(source, dest);
        }
        return result;
    };
    for (;;) {
        const int64_t n = source.Read(in.data(), ZBufferSize);
        if (n <= 0)
            break;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        while (z.avail_in > 0)
            step(Z_NO_FLUSH);
    }
    while (step(Z_FINISH) != Z_STREAM_END) { }
    WriteFully(dest, out.data(), ZBufferSize - z.avail_out);
}

void TKvraCompress::Impl::AddStatus(TStream &source, TStream &dest)
{
    CheckAbort();
    PumpMessages();
    const int64_t done = source.Position();
    stats.OverallBytesDone += done - stats.FileBytesDone;
    stats.FileBytesDone = Clamp32(done);
    stats.CompressedSize = Clamp32(dest.Size());
    stats.FilePercent = Percent(stats.FileBytesDone, stats.UncompressedSize);
    stats.OverallPercent = Percent(stats.OverallBytesDone, stats.TotalUncompressed);
    Status();
}

namespace
{

// Runs one archive operation. A cancel by the user ends it quietly, telling aborted when it
// came from this archive; any other fault marks the archive aborted and goes on up. finish
// runs first however it ends.
template <typename Body, typename Finish, typename Aborted>
void RunArchiveOperation(bool &abortFlag, Body &&body, Finish &&finish, Aborted &&aborted)
{
    try {
        body();
    } catch (const EkcAborted &) {
        finish();
        aborted();
        return;
    } catch (const EAbort &) {
        finish();
        return;
    } catch (...) {
        abortFlag = true;
        finish();
        throw;
    }
    finish();
}

} // namespace

void TKvraCompress::ArchiveFiles(bool append, int uniqueID)
{
    d->abort = false;
    d->operation = kopCompressing;
    d->headers.SetMultiDisk(false);
    d->offset = 0;
    int written = 0;
    std::string temporary;
    // However it ends, the list holds what the archive on disk holds.
    auto finish = [&] {
        if (!temporary.empty())
            DeleteFile(temporary);
        while (d->headers.Count() > written)
            d->headers.Release(d->headers.Count() - 1);
        d->loaded = false;
        d->filesToProcess->Clear();
    };
    RunArchiveOperation(
        d->abort,
        [&] {
            const std::string directory = ExtractFileDir(d->compressedFile);
            if (!directory.empty() && !DirectoryExists(directory))
                ForceDirectories(directory);

            // Every source is looked at before the archive is touched: a missing
            // or oversized source, or two names that would be stored alike, stop
            // the build with the old archive intact.
            TFileHeaders fresh;
            fresh.AddFiles(*d->filesToProcess, false);
            std::unique_ptr<TFileStream> archive;
            int64_t end = ArchiveHeadSize;
            const bool appending = append && FileExists(d->compressedFile);
            if (appending) {
                archive = OpenFile(d->compressedFile, fmOpenReadWrite | fmShareDenyNone, MsgCannotCreateFile);
                try {
                    d->headers.ReadFrom(*archive, 0);
                } catch (const EKvraCompress &) {
                    throw;
                } catch (const Exception &) {
                    throw EKvraCompress(MsgCorrupt);
                }
                if (d->headers.MultiDisk())
                    throw EKvraCompress(Format(MsgAppendToSpanned, d->compressedFile));
                if (d->headers.Count() > 0)
                    end = int64_t { d->headers.GetFileHeaders(d->headers.Count() - 1)->DataEnd } + 1;
            } else {
                d->headers.Clear();
            }
            for (int i = 0; i < fresh.Count(); ++i) {
                const TFileHeader &h = *fresh.GetFileHeaders(i);
                const bool cut = h.SourceName.size() > h.FileName.size();
                for (int j = 0; j < d->headers.Count() + i; ++j) {
                    const TFileHeader &other = j < d->headers.Count()
                        ? *d->headers.GetFileHeaders(j)
                        : *fresh.GetFileHeaders(j - d->headers.Count());
                    const bool otherCut = other.ReadFromArchive
                        ? other.FileName.size() == MaxStoredNameLength
                        : other.SourceName.size() > other.FileName.size();
                    if ((cut || otherCut) && AnsiSameText(h.FileName, other.FileName))
                        throw EKvraCompress(Format(MsgNamesCollide,
                            other.ReadFromArchive ? other.FileName : other.SourceName, h.SourceName));
                }
            }
            if (!appending)
                archive = OpenFile(d->compressedFile, fmCreate, MsgCannotCreateFile);
            // Files already in the archive stay as they are; anything behind the
            // last of them belongs to no header and is dropped.
            archive->SetSize(end);
            d->uniqueIDs.fill(0);
            for (int i = 0; i < d->headers.Count(); ++i)
                d->RememberID(d->headers.GetFileHeaders(i)->UniqueID, i);
            written = d->headers.Count();
            while (fresh.Count() > 0)
                d->headers.Add(fresh.Release(0));

            // The head counts only the files already complete; it is rewritten
            // after each file, so an archive cut short by a failure, a full disk
            // or a cancel still reads as the files before it.
            auto writeCount = [&] {
                uint8_t head[ArchiveHeadSize];
                Put32(head, written);
                head[4] = 0;
                if (archive->Seek(0, soFromBeginning) != 0
                    || archive->Write(head, ArchiveHeadSize) != ArchiveHeadSize)
                    throw EKvraCompress(MsgHeadUnwritable);
                archive->Seek(0, soFromEnd);
            };
            writeCount();

            d->ResetStats();
            d->stats.TotalCompressed = 0;
            for (int i = written; i < d->headers.Count(); ++i) {
                TFileHeader &header = *d->headers.GetFileHeaders(i);
                d->currentHeader = i;
                temporary = MakeTempFileName();
                auto source = OpenFile(header.SourceName, fmOpenRead | fmShareDenyNone, MsgCannotOpenFile);
                auto dest = OpenFile(temporary, fmOpenReadWrite | fmShareDenyNone, MsgCannotCreateFile);

                d->FillStats(header);
                d->stats.CompressedSize = 0;
                OnBeforeAdding(this, d->stats);

                d->Compress(*source, *dest);
                if (source->Position() != header.UncompressedSize)
                    throw EKvraCompress(Format(MsgSourceChanged, header.SourceName));
                const int64_t compressed = dest->Size();
                d->stats.Ratio = Percent(compressed, header.UncompressedSize);
                d->stats.Finished = true;
                d->AddStatus(*source, *dest);
                d->stats.Finished = false;

                const int64_t at = archive->Position();
                if (at + FileHeaderSize + compressed > MaxPosition)
                    throw EKvraCompress(Format(MsgArchiveTooLarge, d->compressedFile, header.SourceName));
                header.DataStart = static_cast<int32_t>(at + FileHeaderSize);
                TFileHeaderBytes bytes = header.Encode();
                d->WriteFully(*archive, bytes.data(), FileHeaderSize);
                dest->SetPosition(0);
                std::vector<char> buffer(ZBufferSize);
                for (int64_t n; (n = dest->Read(buffer.data(), ZBufferSize)) > 0;)
                    d->WriteFully(*archive, buffer.data(), n);
                const int64_t after = archive->Position();

                d->stats.TotalCompressed += compressed;
                header.DataEnd = static_cast<int32_t>(after - 1);
                header.NextHeader = static_cast<int32_t>(after);
                header.CompressedSize = static_cast<int32_t>(compressed);
                header.UniqueID = uniqueID;
                d->RememberID(uniqueID, i);
                bytes = header.Encode();
                archive->SetPosition(at);
                d->WriteFully(*archive, bytes.data(), FileHeaderSize);
                ++written;
                writeCount();
                OnAfterAdding(this, d->stats);
                source.reset();
                dest.reset();
                DeleteFile(temporary);
                temporary.clear();
            }
        },
        finish,
        [this] {
            if (OnAborted)
                OnAborted(this);
        });
}

// ---- Extracting ----------------------------------------------------------------

// Inflates one file's data, from its first disk to its last, into dest. On
// the last disk nothing past the file's last data byte is read. The output
// may never exceed the size the header gives, so a stream that claims a
// small file cannot fill the disk.
void TKvraCompress::Impl::Inflate(
    const TFileHeader &header, std::unique_ptr<TFileStream> &archive, TStream &dest)
{
    z_stream z {};
    if (inflateInit(&z) != Z_OK)
        throw Exception("error");
    struct End {
        z_stream &z;
        ~End() { inflateEnd(&z); }
    } end { z };
    std::vector<Bytef> in(ZBufferSize), out(ZBufferSize);
    const int lastDisk = header.LastDisk;
    int64_t produced = 0;
    bool ended = false;
    for (;;) {
        bool inputDone = false;
        while (!ended) {
            z.next_out = out.data();
            z.avail_out = ZBufferSize;
            while (z.avail_out > 0) {
                if (z.avail_in == 0 && !inputDone) {
                    int64_t want = ZBufferSize;
                    if (currentDisk == lastDisk)
                        want = std::min(
                            want, DiskBase(currentDisk) + header.DataEnd + 1 - archive->Position());
                    const int64_t n = want > 0 ? archive->Read(in.data(), want) : 0;
                    if (n > 0) {
                        z.next_in = in.data();
                        z.avail_in = static_cast<uInt>(n);
                    } else {
                        inputDone = true;
                    }
                }
                const uInt before = z.avail_out;
                const int result = inflate(&z, Z_NO_FLUSH);
                if (result == Z_STREAM_END) {
                    ended = true;
                    break;
                }
                if (result == Z_BUF_ERROR || (inputDone && z.avail_out == before))
                    break;
                if (result < 0 || result == Z_NEED_DICT)
                    throw Exception("error");
            }
            const int64_t have = ZBufferSize - z.avail_out;
            CheckAbort();
            PumpMessages();
            if (produced + have > header.UncompressedSize)
                throw EKvraCompress(Format(MsgSizeMismatch, header.FileName));
            WriteFully(dest, out.data(), have);
            produced += have;
            stats.FileBytesDone = Clamp32(produced);
            stats.OverallBytesDone += have;
            stats.FilePercent = Percent(stats.FileBytesDone, stats.UncompressedSize);
            stats.OverallPercent = Percent(stats.OverallBytesDone, stats.TotalUncompressed);
            Status();
            if (have == 0)
                break;
        }
        if (ended || currentDisk >= lastDisk)
            break;
        ++currentDisk;
        archive.reset();
        archive
            = OpenDiskFile(currentDisk, headers.MultiDisk(), fmOpenRead | fmShareDenyNone, compressedFile);
    }
    if (produced != header.UncompressedSize)
        throw EKvraCompress(Format(MsgSizeMismatch, header.FileName));
    if (!ended)
        throw Exception("error");
}

void TKvraCompress::Impl::ExtractOne(const TFileHeader &header, const std::string &target)
{
    const int firstDisk = header.FirstDisk == 0 ? 1 : header.FirstDisk;
    auto archive = OpenDiskFile(firstDisk, headers.MultiDisk(), fmOpenRead | fmShareDenyNone, compressedFile);
    currentDisk = header.FirstDisk;
    const std::string directory = ExtractFileDir(target);
    if (!directory.empty() && !DirectoryExists(directory))
        ForceDirectories(directory);
    TReplacingFile dest(target);
    const int64_t start = DiskBase(firstDisk) + header.DataStart;
    if (archive->Seek(start, soFromBeginning) != start)
        throw EKvraCompress(MsgCorrupt);
    Inflate(header, archive, dest.Stream());
    if (FileSetDate(dest.Handle(), DateTimeToFileDate(header.FileDate)) != 0)
        throw EKvraCompress(MsgCannotSetDate);
    dest.Commit();
    stats.Finished = true;
    Status();
}

void TKvraCompress::ExtractFiles()
{
    d->abort = false;
    d->operation = kopExtracting;
    auto finish = [&] {
        d->filesToProcess->Clear();
        d->targetName.clear();
    };
    RunArchiveOperation(
        d->abort,
        [&] {
            if (!d->loaded)
                d->ReadHeaders();
            d->currentDisk = 0;
            d->ResetStats();
            for (int i = 0; i < d->filesToProcess->Count(); ++i) {
                const std::string line = d->filesToProcess->Strings(i);
                const int index = d->headers.IndexOfName(line);
                if (index < 0)
                    throw EKvraCompress(Format(MsgNotInArchive, line, d->compressedFile));
                const TFileHeader &header = *d->headers.GetFileHeaders(index);
                d->currentHeader = index;
                d->FillStats(header);

                if (Trim(d->targetName).empty())
                    d->targetName = NamePart(header.FileName);
                OnBeforeExtracting(this, d->stats);
                auto target = [&] {
                    d->targetName = NamePart(d->targetName);
                    if (!IsUsableName(d->targetName))
                        throw EKvraCompress(Format(MsgCannotCreateFile, d->targetName));
                    return AddTrailingBackslash(d->extractDirectory) + d->targetName;
                };
                std::string dest = target();

                bool replace = true;
                if (FileExists(dest)) {
                    switch (TVersionResource::IsFileNewerByName(
                        header.FileVersion, dest, d->overwrite, header.FileDate)) {
                    case 0:
                        throw EKvraCompress(MsgCompareFailed);
                    case 1:
                    case 3:
                        replace = false;
                        break;
                    default:
                        if (OnReplace) {
                            OnReplace(this, d->stats);
                            dest = target();
                        }
                    }
                }
                if (replace) {
                    d->ExtractOne(header, dest);
                } else {
                    d->stats.Finished = true;
                    d->Status();
                }
                d->targetName.clear();
            }
        },
        finish,
        [this] {
            if (OnAborted)
                OnAborted(this);
        });
}

// ---- Plain copies --------------------------------------------------------------

void TKvraCompress::CopyFile(const std::string &source, const std::string &dest)
{
    // The name is this copy's only; left behind, it would rename the next
    // extracted file.
    struct ClearTarget {
        std::string &name;
        ~ClearTarget() { name.clear(); }
    } clearTarget { d->targetName };
    d->abort = false;
    d->extractDirectory = ExtractFileDir(dest);
    d->targetName = ExtractFileName(dest);
    TlzhFileStats stats;
    stats.FileName = source;
    const int64_t size = std::max<int64_t>(FileSize(source), 0);
    stats.UncompressedSize = Clamp32(size);

    std::string target = dest;
    if (FileExists(target)) {
        switch (TVersionResource::IsFileNewer(source, target, d->overwrite)) {
        case 0:
            throw EKvraCompress(MsgCompareFailed);
        case 1:
        case 3:
            stats.Finished = true;
            OnStatus(this, stats);
            return;
        default:
            if (OnReplace) {
                OnReplace(this, stats);
                target = AddTrailingBackslash(d->extractDirectory) + d->targetName;
            }
        }
    }
    const auto in = OpenFile(source, fmOpenRead | fmShareDenyNone, MsgCannotOpenFile);
    TReplacingFile out(target);
    std::vector<char> buffer(CopyBufferSize);
    int64_t done = 0;
    for (;;) {
        if (d->abort)
            throw EkcAborted(MsgAborted); // the partial copy goes with out
        const int64_t n = in->Read(buffer.data(), CopyBufferSize);
        d->WriteFully(out.Stream(), buffer.data(), n);
        done += n;
        stats.FileBytesDone = Clamp32(done);
        stats.OverallBytesDone = done;
        stats.FilePercent = Percent(done, size);
        stats.OverallPercent = stats.FilePercent;
        OnStatus(this, stats);
        PumpMessages();
        if (n < CopyBufferSize)
            break;
    }
    if (done != size)
        throw EKvraCompress(Format(MsgSourceChanged, source));
    FileSetDate(out.Handle(), FileGetDate(in->Handle()));
    out.Commit();
    stats.Finished = true;
    OnStatus(this, stats);
}

// ---- Disk copies ---------------------------------------------------------------

void TKvraCompress::CopyToDisks(const std::string &directory, const std::string &name)
{
    d->abort = false;
    std::string folder = directory;
    try {
        // Refuse before anything is deleted when the archive itself is one of
        // the files this copy clears away or writes.
        const std::string sourceName = ExtractFileName(d->compressedFile);
        const std::string sourceStem = ChangeFileExt(sourceName, "");
        std::error_code ignored;
        if (std::filesystem::equivalent(MapPath(ExtractFileDir(ExpandFileName(d->compressedFile))),
                MapPath(ExcludeTrailingBackslash(folder)), ignored)
            && (AnsiSameText(sourceName, "instalar.exe") || AnsiSameText(sourceName, "setup.exe")
                || AnsiSameText(sourceStem, "files") || AnsiSameText(sourceStem, ChangeFileExt(name, ""))))
            throw EKvraCompress(Format(MsgSourceInTarget, d->compressedFile, folder));

        if (!d->loaded)
            d->ReadHeaders();
        if (d->headers.MultiDisk())
            throw EKvraCompress(Format(MsgSpannedSource, d->compressedFile));
        const auto source = OpenFile(d->compressedFile, fmOpenRead | fmShareDenyNone, MsgCannotOpenArchive);

        // The old set goes only once the new one can be made.
        DeleteFile(AddTrailingBackslash(folder) + "instalar.exe");
        TSearchRec found;
        for (int r = FindFirst(AddTrailingBackslash(folder) + "files.*", faAnyFile & ~faDirectory, found);
             r == 0; r = FindNext(found))
            DeleteFile(AddTrailingBackslash(folder) + found.Name);
        FindClose(found);

        // The new archive's headers are copies: the loaded ones keep
        // describing the archive they were read from.
        TFileHeaders copy;
        for (int i = 0; i < d->headers.Count(); ++i) {
            auto header = std::make_unique<TFileHeader>();
            header->Decode(d->headers.GetFileHeaders(i)->Encode());
            header->ReadFromArchive = true;
            copy.Add(std::move(header));
        }
        copy.SetMultiDisk(true);
        d->currentDisk = 1;
        d->ResetStats();

        std::string targetName = AddTrailingBackslash(folder) + name;
        auto target = OpenFile(targetName, fmCreate, MsgCannotCreateFile);
        copy.WriteHead(*target);
        target->Seek(0, soFromEnd);

        std::vector<char> buffer(CopyBufferSize);
        for (int i = 0; i < copy.Count(); ++i) {
            TFileHeader &header = *copy.GetFileHeaders(i);
            d->currentHeader = i;
            d->FillStats(header);
            const int64_t end = d->offset + int64_t { header.DataEnd };
            int64_t position = d->offset + int64_t { header.DataStart };
            source->SetPosition(position);
            header.DataStart = static_cast<int32_t>(target->Position());
            header.FirstDisk = static_cast<uint8_t>(d->currentDisk);
            for (;;) {
                d->CheckAbort();
                const int64_t want = std::min<int64_t>(CopyBufferSize, end + 1 - position);
                const int64_t n = want > 0 ? source->Read(buffer.data(), want) : 0;
                if (n <= 0)
                    break;
                position += n;
                PumpMessages();
                const int64_t written = target->Write(buffer.data(), n);
                if (written < n) {
                    target.reset();
                    if (++d->currentDisk > 255)
                        throw EKvraCompress(MsgTooLittleSpace);
                    if (UpperCase(ExtractFileDrive(folder)) == "A:") {
                        if (!OnNewDisk)
                            throw EKvraCompress(MsgNoNewDiskHandler);
                        OnNewDisk(this, d->currentDisk, folder);
                    }
                    targetName
                        = AddTrailingBackslash(folder) + ChangeFileExt(name, "." + IntToStr(d->currentDisk));
                    target = OpenFile(targetName, fmCreate, MsgCannotCreateFile);
                    if (target->Write(buffer.data() + written, n - written) != n - written)
                        throw EKvraCompress(MsgTooLittleSpace);
                }
                d->stats.FileBytesDone = Clamp32(d->stats.FileBytesDone + n);
                d->stats.FilePercent = Percent(d->stats.FileBytesDone, d->stats.CompressedSize);
                d->stats.OverallBytesDone += n;
                d->stats.OverallPercent = Percent(d->stats.OverallBytesDone, d->stats.TotalCompressed);
                d->Status();
            }
            header.DataEnd = static_cast<int32_t>(target->Position() - 1);
            header.LastDisk = static_cast<uint8_t>(d->currentDisk);
        }
        target.reset();

        std::string first = AddTrailingBackslash(folder) + name;
        auto disk1 = d->OpenDiskFile(1, true, fmOpenReadWrite | fmShareDenyNone, first);
        copy.WriteHead(*disk1);
        disk1.reset();
        RenameFile(AddTrailingBackslash(folder) + "setup.exe", AddTrailingBackslash(folder) + "instalar.exe");
    } catch (const EkcAborted &) {
        if (OnAborted)
            OnAborted(this);
    } catch (...) {
        d->abort = true;
        throw;
    }
}
