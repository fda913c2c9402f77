#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
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

constexpr int64_t CopyBufferSize = 8192; // plain copies and disk copies
constexpr int64_t WriteBlockSize = 64 * 1024; // extracted and copied files go out in writes this large
constexpr int64_t MaxPosition = std::numeric_limits<int32_t>::max();

// ---- Little helpers ------------------------------------------------------------

// Only the text before the first ';' of a file-list line names the file.
std::string LineFile(const std::string &line)
{
    return GetItem(line, 1, ";");
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

mode_t CurrentUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// A file written under a temporary name beside its destination and renamed
// over it only when complete, so that a failed or cancelled write never
// destroys the file that was there.
class TReplacingFile
{
public:
    // host is dest on the host. When its folder is missing, makeFolder
    // (when given) is asked to make it.
    TReplacingFile(
        const std::string &dest, const std::string &host, const std::function<void()> &makeFolder = {})
        : dest_(dest)
        , host_(host)
    {
        // Made with O_EXCL under a name of our own rather than by mkstemp, so
        // that the file gets the usual rights (0666 less the umask) at once.
        static std::mt19937 names(std::random_device {}());
        bool folderMade = !makeFolder;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = host_ + ".kvra-" + IntToHex(static_cast<int64_t>(names() & 0xFFFFFF), 6);
            const int handle = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (handle >= 0) {
                temporary_ = name;
                stream_ = std::make_unique<TOwnedHandleStream>(handle);
                return;
            }
            if (errno == ENOENT && !folderMade) {
                makeFolder();
                folderMade = true;
            } else if (errno != EEXIST) {
                break;
            }
        }
        throw EKvraCompress(Format(MsgCannotCreateFile, dest));
    }
    ~TReplacingFile()
    {
        stream_.reset();
        if (!temporary_.empty())
            unlink(temporary_.c_str());
    }
    TStream &Stream() { return *stream_; }
    int Handle() const { return stream_->Handle(); }
    // head: the file's first bytes, which tell whether it is a program.
    void Commit(const uint8_t *head, int64_t headCount)
    {
        if (IsProgramImage(head, headCount)) // a program gets its execute bits
            fchmod(stream_->Handle(), 0777 & ~CurrentUmask());
        stream_.reset();
        if (std::rename(temporary_.c_str(), host_.c_str()) != 0)
            throw EKvraCompress(Format(MsgCannotCreateFile, dest_));
        temporary_.clear();
    }

private:
    std::string dest_;
    std::string host_; // dest on the host
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

void TFileHeader::FillFromFile(const std::string &line)
{
    SourceName = LineFile(line);
    FileName = CutStoredText(SourceName, MaxStoredNameLength);
    const auto file = OpenFile(SourceName, fmOpenRead | fmShareDenyNone, MsgCannotOpenFile);
    const int64_t size = file->Size();
    if (size > MaxPosition)
        throw EKvraCompress(Format(MsgFileTooLarge, SourceName));
    UncompressedSize = static_cast<int32_t>(size);
    FileDate = FileDateToDateTime(FileGetDate(file->Handle()));
    TVersionResource *versions = GlobalVersionResource();
    versions->SetFileName(SourceName);
    FileVersion = CutStoredText(versions->VersionInfo()->FileVersion(), MaxStoredVersionLength);
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
    if (indexed_)
        names_.Add(header->FileName, Count());
    headers_.push_back(std::move(header));
}

void TFileHeaders::Clear()
{
    headers_.clear();
    names_.Clear();
    indexed_ = true;
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

void TFileHeaders::BuildIndex() const
{
    if (indexed_)
        return;
    names_.Clear();
    for (int i = 0; i < Count(); ++i)
        names_.Add(headers_[i]->FileName, i);
    indexed_ = true;
}

int TFileHeaders::IndexOfName(const std::string &text) const
{
    BuildIndex();
    return names_.Find(CutStoredText(LineFile(text), MaxStoredNameLength));
}

const std::vector<int> *TFileHeaders::IndicesOfName(const std::string &name) const
{
    BuildIndex();
    return names_.Matches(name);
}

std::unique_ptr<TFileHeader> TFileHeaders::Release(int index)
{
    auto header = std::move(headers_.at(index));
    headers_.erase(headers_.begin() + index);
    if (indexed_ && index == Count())
        names_.RemoveLast(header->FileName);
    else
        indexed_ = false;
    return header;
}

// The list is replaced only when all headers are good.
void TFileHeaders::ReadFrom(TStream &stream, int64_t offset)
{
    std::vector<std::unique_ptr<TFileHeader>> headers;
    bool multiDisk = false;
    const auto fault = ReadKvraHeaders(stream, offset, multiDisk, [&](TKvraStoredHeader &stored) {
        auto header = std::make_unique<TFileHeader>();
        static_cast<TKvraStoredHeader &>(*header) = std::move(stored);
        header->ReadFromArchive = true;
        headers.push_back(std::move(header));
    });
    switch (fault) {
    case TKvraReadFault::CountUnreadable:
        throw EKvraCompress(MsgCountUnreadable);
    case TKvraReadFault::Corrupt:
        throw EKvraCompress(MsgCorrupt);
    case TKvraReadFault::None:
        break;
    }
    headers_ = std::move(headers);
    multiDisk_ = multiDisk;
    indexed_ = false;
}

void TFileHeaders::WriteHead(TStream &stream)
{
    const auto head = EncodeKvraHead(Count(), multiDisk_);
    if (stream.Seek(0, soFromBeginning) != 0 || stream.Write(head.data(), ArchiveHeadSize) != ArchiveHeadSize)
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
    bool totalsKnown = false; // the sums below describe the loaded headers
    int64_t totalUncompressed = 0, totalCompressed = 0;
    void FillStats(const TFileHeader &header);
    void Status() { q->OnStatus(q, stats); }
    void CheckAbort()
    {
        if (abort)
            throw EkcAborted(MsgAborted);
    }
    void WriteFully(TStream &stream, const void *buffer, int64_t count);
    // A file being extracted or copied goes out in blocks of WriteBlockSize,
    // not in the few kilobytes that make one progress step: one system call
    // for sixteen steps. One block serves every file.
    std::vector<uint8_t> writeBlock;
    int64_t writeBlockUsed = 0;
    void StartWriting();
    void WriteBuffered(TStream &stream, const uint8_t *data, int64_t count);
    void FlushWrites(TStream &stream);
    // Positions on disk 1 are relative to Offset; later disk files hold data only.
    int64_t DiskBase(int disk) const { return disk <= 1 ? offset : 0; }
    std::unique_ptr<TFileStream> OpenDiskFile(int disk, bool multiDisk, uint16_t mode, std::string &fileName);

    // One zlib state and one set of buffers serve every file of an
    // operation (and the next operation at the same level).
    std::unique_ptr<TKvraDeflater> deflater;
    int deflaterLevel = -1;
    std::unique_ptr<TKvraInflater> inflater;
    std::vector<uint8_t> input; // compression input
    std::vector<uint8_t> block; // a header and the data behind it, written at once
    TKvraDeflater &Deflater();
    TKvraInflater &Inflater();

    // The archive as the last ArchiveFiles left it, so that the next append
    // to it finds its headers still in the list instead of reading each one.
    struct TWrittenArchive {
        bool valid = false;
        std::string file;
        struct stat st {
        };
        int32_t count = 0;
    } writtenArchive;
    void RememberWritten(TFileStream &archive, int32_t count);
    bool IsAsWritten(TFileStream &archive) const;

    int64_t Compress(TFileHeader &header, TStream &source, TFileStream &archive, int64_t at);
    void AddStatus(int64_t done, int64_t compressed);
    void ExtractOne(const TFileHeader &header, const std::string &target, const std::string &host);
    // The archive file of a one-file archive stays open while its headers
    // are loaded, so extracting file after file opens it once.
    std::unique_ptr<TFileStream> openArchive;
    std::string openArchiveName;
    void Inflate(const TFileHeader &header, std::unique_ptr<TFileStream> &archive, int64_t position,
        TStream &dest, std::array<uint8_t, 4> &head);
    void RememberID(int32_t id, int index)
    {
        if (id >= 0 && id < UniqueIDCount)
            uniqueIDs[id] = index;
    }
    void RememberIDs()
    {
        uniqueIDs.fill(0);
        for (int i = 0; i < headers.Count(); ++i)
            RememberID(headers.GetFileHeaders(i)->UniqueID, i);
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
    d->openArchive.reset();
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

// Bytes left from a file that failed never reach the next one.
void TKvraCompress::Impl::StartWriting()
{
    writeBlock.resize(WriteBlockSize);
    writeBlockUsed = 0;
}

void TKvraCompress::Impl::WriteBuffered(TStream &stream, const uint8_t *data, int64_t count)
{
    while (count > 0) {
        const int64_t n = std::min(count, WriteBlockSize - writeBlockUsed);
        std::memcpy(writeBlock.data() + writeBlockUsed, data, n);
        writeBlockUsed += n;
        data += n;
        count -= n;
        if (writeBlockUsed == WriteBlockSize)
            FlushWrites(stream);
    }
}

void TKvraCompress::Impl::FlushWrites(TStream &stream)
{
    const int64_t count = std::exchange(writeBlockUsed, 0);
    WriteFully(stream, writeBlock.data(), count);
}

void TKvraCompress::Impl::ReadHeaders()
{
    loaded = false;
    totalsKnown = false;
    openArchive.reset();
    writtenArchive.valid = false;
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
    RememberIDs();
    loaded = true;
}

void TKvraCompress::Impl::ResetStats()
{
    stats.OverallBytesDone = 0;
    stats.OverallPercent = 0;
    stats.Finished = false;
    // The sums of a loaded list are taken once: extracting file after file
    // from a large archive must not add up every header for each file.
    if (!totalsKnown || !loaded) {
        totalUncompressed = 0;
        totalCompressed = 0;
        for (int i = 0; i < headers.Count(); ++i) {
            totalUncompressed += headers.GetFileHeaders(i)->UncompressedSize;
            totalCompressed += headers.GetFileHeaders(i)->CompressedSize;
        }
        totalsKnown = loaded;
    }
    stats.TotalUncompressed = totalUncompressed;
    stats.TotalCompressed = totalCompressed;
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

TKvraDeflater &TKvraCompress::Impl::Deflater()
{
    static constexpr int Levels[] = { 0, 1, -1, 9 }; // zlib's levels; -1 is its default
    if (!deflater || deflaterLevel != compressionLevel) {
        deflater.reset();
        deflater = std::make_unique<TKvraDeflater>(Levels[compressionLevel]);
        deflaterLevel = compressionLevel;
        input.resize(TKvraDeflater::BufferSize);
        block.resize(FileHeaderSize + TKvraDeflater::BufferSize);
    }
    return *deflater;
}

// Deflates the whole source straight into the archive, behind the place of
// its header at position at, and writes the header with its final values.
// Data that fit in one output buffer go out together with their header in
// one write; longer data follow a placeholder header, which is patched in
// place once their size is known. Each full output buffer is a progress
// step. Returns the compressed size.
int64_t TKvraCompress::Impl::Compress(TFileHeader &header, TStream &source, TFileStream &archive, int64_t at)
{
    TKvraDeflater &z = Deflater();
    z.Start();
    const int64_t dataStart = at + FileHeaderSize;
    const auto tooLarge = [&](int64_t compressed) {
        if (dataStart + compressed > MaxPosition)
            throw EKvraCompress(Format(MsgArchiveTooLarge, compressedFile, header.SourceName));
    };
    bool placed = false; // the placeholder header is on disk
    int64_t done = 0;
    const auto full = [&](const uint8_t *data, int64_t count) {
        tooLarge(z.Written());
        if (!placed) {
            header.DataStart = static_cast<int32_t>(dataStart);
            const TFileHeaderBytes bytes = header.Encode();
            WriteFully(archive, bytes.data(), FileHeaderSize);
            placed = true;
        }
        WriteFully(archive, data, count);
        AddStatus(done, z.Written());
    };
    for (;;) {
        // Asking for one byte more than the file should have tells a file
        // that grew from one that ends, without another read.
        const int64_t want = std::min<int64_t>(TKvraDeflater::BufferSize, header.UncompressedSize - done + 1);
        const int64_t n = source.Read(input.data(), want);
        if (n > 0) {
            done += n;
            z.Feed(input.data(), n, full);
        }
        if (n < want)
            break;
    }
    z.Finish(full);
    if (done != header.UncompressedSize)
        throw EKvraCompress(Format(MsgSourceChanged, header.SourceName));
    const int64_t compressed = z.Written();
    tooLarge(compressed);
    stats.Ratio = Percent(compressed, header.UncompressedSize);
    stats.Finished = true;
    AddStatus(done, compressed);
    stats.Finished = false;

    header.DataStart = static_cast<int32_t>(dataStart);
    header.DataEnd = static_cast<int32_t>(dataStart + compressed - 1);
    header.NextHeader = static_cast<int32_t>(dataStart + compressed);
    header.CompressedSize = static_cast<int32_t>(compressed);
    const TFileHeaderBytes bytes = header.Encode();
    if (!placed) {
        std::memcpy(block.data(), bytes.data(), FileHeaderSize);
        std::memcpy(block.data() + FileHeaderSize, z.Output(), z.Pending());
        WriteFully(archive, block.data(), FileHeaderSize + z.Pending());
    } else {
        WriteFully(archive, z.Output(), z.Pending());
        archive.SetPosition(at);
        WriteFully(archive, bytes.data(), FileHeaderSize);
        archive.SetPosition(dataStart + compressed);
    }
    z.TakePending();
    return compressed;
}

void TKvraCompress::Impl::AddStatus(int64_t done, int64_t compressed)
{
    CheckAbort();
    PumpMessages();
    stats.OverallBytesDone += done - stats.FileBytesDone;
    stats.FileBytesDone = Clamp32(done);
    stats.CompressedSize = Clamp32(compressed);
    stats.FilePercent = Percent(stats.FileBytesDone, stats.UncompressedSize);
    stats.OverallPercent = Percent(stats.OverallBytesDone, stats.TotalUncompressed);
    Status();
}

void TKvraCompress::Impl::RememberWritten(TFileStream &archive, int32_t count)
{
    writtenArchive.valid = fstat(archive.Handle(), &writtenArchive.st) == 0;
    writtenArchive.file = compressedFile;
    writtenArchive.count = count;
}

// The archive is the file the last ArchiveFiles wrote, untouched since: the
// same file, size and change times, and the count in its head.
bool TKvraCompress::Impl::IsAsWritten(TFileStream &archive) const
{
    const TWrittenArchive &w = writtenArchive;
    struct stat st {
    };
    if (!w.valid || w.file != compressedFile || headers.Count() != w.count || headers.MultiDisk()
        || fstat(archive.Handle(), &st) != 0)
        return false;
    const auto same
        = [](const timespec &a, const timespec &b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    uint8_t head[ArchiveHeadSize];
    return st.st_dev == w.st.st_dev && st.st_ino == w.st.st_ino && st.st_size == w.st.st_size
        && same(st.st_mtim, w.st.st_mtim) && same(st.st_ctim, w.st.st_ctim)
        && pread(archive.Handle(), head, ArchiveHeadSize, 0) == ArchiveHeadSize && GetInt32(head) == w.count
        && head[4] == 0;
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
    d->openArchive.reset();
    d->totalsKnown = false;
    d->headers.SetMultiDisk(false);
    d->offset = 0;
    int written = 0;
    const bool wasWritten = std::exchange(d->writtenArchive.valid, false); // until this one ends well
    // However it ends, the list holds what the archive on disk holds.
    auto finish = [&] {
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
            bool asWritten = false; // ends with its last file, as this component left it
            if (appending) {
                archive = OpenFile(d->compressedFile, fmOpenReadWrite | fmShareDenyNone, MsgCannotCreateFile);
                d->writtenArchive.valid = wasWritten;
                asWritten = d->IsAsWritten(*archive);
                if (!asWritten) {
                    try {
                        d->headers.ReadFrom(*archive, 0);
                    } catch (const EKvraCompress &) {
                        throw;
                    } catch (const Exception &) {
                        throw EKvraCompress(MsgCorrupt);
                    }
                    d->RememberIDs();
                }
                d->writtenArchive.valid = false;
                if (d->headers.MultiDisk())
                    throw EKvraCompress(Format(MsgAppendToSpanned, d->compressedFile));
                if (d->headers.Count() > 0)
                    end = int64_t { d->headers.GetFileHeaders(d->headers.Count() - 1)->DataEnd } + 1;
            } else {
                d->headers.Clear();
                d->uniqueIDs.fill(0);
            }
            // A name cut to its first 100 bytes must not match another name;
            // a header on disk was cut when its name has all 100 bytes.
            const int existing = d->headers.Count();
            for (int i = 0; i < fresh.Count(); ++i) {
                const TFileHeader &h = *fresh.GetFileHeaders(i);
                const bool cut = h.SourceName.size() > h.FileName.size();
                const auto check = [&](const TFileHeaders &list, int below, bool onDisk) {
                    const std::vector<int> *same = list.IndicesOfName(h.FileName);
                    for (size_t k = 0; same && k < same->size() && (*same)[k] < below; ++k) {
                        const TFileHeader &other = *list.GetFileHeaders((*same)[k]);
                        const bool otherCut = onDisk ? other.FileName.size() == MaxStoredNameLength
                                                     : other.SourceName.size() > other.FileName.size();
                        if (cut || otherCut)
                            throw EKvraCompress(Format(
                                MsgNamesCollide, onDisk ? other.FileName : other.SourceName, h.SourceName));
                    }
                };
                check(d->headers, existing, true);
                check(fresh, i, false);
            }
            if (!appending)
                archive = OpenFile(d->compressedFile, fmCreate, MsgCannotCreateFile);
            // Files already in the archive stay as they are; anything behind the
            // last of them belongs to no header and is dropped.
            if (!asWritten)
                archive->SetSize(end);
            archive->SetPosition(end);
            written = existing;
            std::vector<std::unique_ptr<TFileHeader>> added;
            while (fresh.Count() > 0)
                added.push_back(fresh.Release(fresh.Count() - 1));
            for (auto it = added.rbegin(); it != added.rend(); ++it)
                d->headers.Add(std::move(*it));

            // The head counts only the files already complete; it is rewritten
            // after each file, so an archive cut short by a failure, a full disk
            // or a cancel still reads as the files before it.
            auto writeCount = [&] {
                const auto head = EncodeKvraHead(written, false);
                if (pwrite(archive->Handle(), head.data(), ArchiveHeadSize, 0) != ArchiveHeadSize)
                    throw EKvraCompress(MsgHeadUnwritable);
            };
            writeCount();

            d->ResetStats();
            d->stats.TotalCompressed = 0;
            for (int i = written; i < d->headers.Count(); ++i) {
                TFileHeader &header = *d->headers.GetFileHeaders(i);
                d->currentHeader = i;
                const auto source
                    = OpenFile(header.SourceName, fmOpenRead | fmShareDenyNone, MsgCannotOpenFile);

                d->FillStats(header);
                d->stats.CompressedSize = 0;
                OnBeforeAdding(this, d->stats);

                header.UniqueID = uniqueID;
                const int64_t compressed = d->Compress(header, *source, *archive, end);
                end = header.NextHeader;
                d->stats.TotalCompressed += compressed;
                d->RememberID(uniqueID, i);
                ++written;
                writeCount();
                OnAfterAdding(this, d->stats);
            }
            d->RememberWritten(*archive, written);
        },
        finish,
        [this] {
            if (OnAborted)
                OnAborted(this);
        });
}

// ---- Extracting ----------------------------------------------------------------

TKvraInflater &TKvraCompress::Impl::Inflater()
{
    if (!inflater)
        inflater = std::make_unique<TKvraInflater>();
    return *inflater;
}

// Inflates one file's data, from its first disk to its last, into dest; the
// archive stands at position. On the last disk nothing past the file's last
// data byte is read. Each filling of the inflater's output buffer is one
// progress step; the output goes to dest in larger blocks, the last of them
// before this returns. The output may never exceed the size the header
// gives, so a stream that claims a small file cannot fill the disk. head
// gets the file's first bytes.
void TKvraCompress::Impl::Inflate(const TFileHeader &header, std::unique_ptr<TFileStream> &archive,
    int64_t position, TStream &dest, std::array<uint8_t, 4> &head)
{
    TKvraInflater &z = Inflater();
    z.Start();
    StartWriting();
    const int lastDisk = header.LastDisk;
    const auto read = [&](uint8_t *buffer, int64_t count) -> int64_t {
        if (currentDisk == lastDisk)
            count = std::min(count, DiskBase(currentDisk) + header.DataEnd + 1 - position);
        const int64_t n = count > 0 ? archive->Read(buffer, count) : 0;
        position += std::max<int64_t>(n, 0);
        return n;
    };
    int64_t produced = 0;
    for (;;) {
        while (!z.Ended()) {
            const int64_t have = z.Fill(read);
            CheckAbort();
            PumpMessages();
            if (produced + have > header.UncompressedSize)
                throw EKvraCompress(Format(MsgSizeMismatch, header.FileName));
            if (produced < 4)
                std::memcpy(head.data() + produced, z.Output(), std::min<int64_t>(have, 4 - produced));
            WriteBuffered(dest, z.Output(), have);
            produced += have;
            stats.FileBytesDone = Clamp32(produced);
            stats.OverallBytesDone += have;
            stats.FilePercent = Percent(stats.FileBytesDone, stats.UncompressedSize);
            stats.OverallPercent = Percent(stats.OverallBytesDone, stats.TotalUncompressed);
            Status();
            if (have == 0)
                break;
        }
        if (z.Ended() || currentDisk >= lastDisk)
            break;
        ++currentDisk;
        archive.reset();
        archive
            = OpenDiskFile(currentDisk, headers.MultiDisk(), fmOpenRead | fmShareDenyNone, compressedFile);
        position = 0;
        z.InputResumes();
    }
    if (produced != header.UncompressedSize)
        throw EKvraCompress(Format(MsgSizeMismatch, header.FileName));
    if (!z.Ended())
        throw Exception("error");
    FlushWrites(dest);
}

void TKvraCompress::Impl::ExtractOne(
    const TFileHeader &header, const std::string &target, const std::string &host)
{
    const int firstDisk = header.FirstDisk == 0 ? 1 : header.FirstDisk;
    std::unique_ptr<TFileStream> archive;
    if (openArchive && !headers.MultiDisk() && openArchiveName == compressedFile)
        archive = std::move(openArchive);
    else
        archive = OpenDiskFile(firstDisk, headers.MultiDisk(), fmOpenRead | fmShareDenyNone, compressedFile);
    currentDisk = header.FirstDisk;
    TReplacingFile dest(target, host, [&] {
        const std::string directory = ExtractFileDir(target);
        if (!directory.empty() && !DirectoryExists(directory))
            ForceDirectories(directory);
    });
    const int64_t start = DiskBase(firstDisk) + header.DataStart;
    if (archive->Seek(start, soFromBeginning) != start)
        throw EKvraCompress(MsgCorrupt);
    std::array<uint8_t, 4> head {};
    Inflate(header, archive, start, dest.Stream(), head);
    if (FileSetDate(dest.Handle(), DateTimeToFileDate(header.FileDate)) != 0)
        throw EKvraCompress(MsgCannotSetDate);
    dest.Commit(head.data(), std::min<int64_t>(header.UncompressedSize, 4));
    if (!headers.MultiDisk()) {
        openArchive = std::move(archive);
        openArchiveName = compressedFile;
    }
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
                    d->targetName = StoredNamePart(header.FileName);
                OnBeforeExtracting(this, d->stats);
                auto target = [&] {
                    d->targetName = StoredNamePart(d->targetName);
                    if (!IsUsableNamePart(d->targetName))
                        throw EKvraCompress(Format(MsgCannotCreateFile, d->targetName));
                    return AddTrailingBackslash(d->extractDirectory) + d->targetName;
                };
                std::string dest = target();
                std::string host;

                bool replace = true;
                if (struct stat st {}; StatMapped(dest, st, &host) && !S_ISDIR(st.st_mode)) {
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
                            host = MapPath(dest);
                        }
                    }
                }
                if (replace) {
                    d->ExtractOne(header, dest, host);
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
    TReplacingFile out(target, MapPath(target));
    std::vector<uint8_t> buffer(CopyBufferSize);
    std::array<uint8_t, 4> head {};
    int64_t done = 0;
    d->StartWriting();
    for (;;) {
        if (d->abort)
            throw EkcAborted(MsgAborted); // the partial copy goes with out
        const int64_t n = in->Read(buffer.data(), CopyBufferSize);
        if (done < 4 && n > 0)
            std::memcpy(head.data() + done, buffer.data(), std::min<int64_t>(n, 4 - done));
        d->WriteBuffered(out.Stream(), buffer.data(), n);
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
    d->FlushWrites(out.Stream());
    FileSetDate(out.Handle(), FileGetDate(in->Handle()));
    out.Commit(head.data(), std::min<int64_t>(done, 4));
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
