#include "installer/formats/kvraformat.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"

// ---- Little helpers --------------------------------------------------------------

void PutInt32(uint8_t *p, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u), p[1] = static_cast<uint8_t>(u >> 8), p[2] = static_cast<uint8_t>(u >> 16),
    p[3] = static_cast<uint8_t>(u >> 24);
}

int32_t GetInt32(const uint8_t *p)
{
    return static_cast<int32_t>(
        uint32_t { p[0] } | uint32_t { p[1] } << 8 | uint32_t { p[2] } << 16 | uint32_t { p[3] } << 24);
}

std::string CutStoredText(const std::string &text, size_t max)
{
    if (text.size() <= max)
        return text;
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

std::string StoredNamePart(const std::string &name)
{
    const size_t cut = name.find_last_of("\\/:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

bool IsUsableNamePart(const std::string &part)
{
    return !Trim(part).empty() && part != "." && part != ".." && part.find('\0') == std::string::npos;
}

// ---- TKvraStoredHeader -----------------------------------------------------------

TFileHeaderBytes TKvraStoredHeader::Encode() const
{
    TFileHeaderBytes b = raw_;
    uint8_t *p = b.data();
    PutInt32(p + 0, Index);
    std::memcpy(p + 4, &FileDate, 8);
    p[12] = LastDisk;
    PutInt32(p + 16, DataEnd);
    const std::string name = CutStoredText(FileName, MaxStoredNameLength);
    p[20] = static_cast<uint8_t>(name.size());
    std::memcpy(p + 21, name.data(), name.size());
    PutInt32(p + 124, NextHeader);
    PutInt32(p + 128, UncompressedSize);
    PutInt32(p + 132, DataStart);
    PutInt32(p + 136, CompressedSize);
    p[140] = FirstDisk;
    PutInt32(p + 144, UniqueID);
    const std::string version = CutStoredText(FileVersion, MaxStoredVersionLength);
    p[148] = static_cast<uint8_t>(version.size());
    std::memcpy(p + 149, version.data(), version.size());
    return b;
}

bool TKvraStoredHeader::Decode(const TFileHeaderBytes &bytes)
{
    const uint8_t *p = bytes.data();
    if (p[20] > MaxStoredNameLength || p[148] > MaxStoredVersionLength)
        return false;
    raw_ = bytes;
    Index = GetInt32(p + 0);
    std::memcpy(&FileDate, p + 4, 8);
    LastDisk = p[12];
    DataEnd = GetInt32(p + 16);
    FileName.assign(reinterpret_cast<const char *>(p + 21), p[20]);
    NextHeader = GetInt32(p + 124);
    UncompressedSize = GetInt32(p + 128);
    DataStart = GetInt32(p + 132);
    CompressedSize = GetInt32(p + 136);
    FirstDisk = p[140];
    UniqueID = GetInt32(p + 144);
    FileVersion.assign(reinterpret_cast<const char *>(p + 149), p[148]);
    return true;
}

// ---- The head --------------------------------------------------------------------

std::array<uint8_t, ArchiveHeadSize> EncodeKvraHead(int32_t count, bool multiDisk)
{
    std::array<uint8_t, ArchiveHeadSize> head {};
    PutInt32(head.data(), count);
    head[4] = multiDisk ? 1 : 0;
    return head;
}

// The head and the headers come from a file that may be damaged or made up
// to do harm. Each header must lie wholly inside the archive, the chain must
// move forward, and every position and size a header gives must describe
// data inside the archive (on disk 1, or on a later disk file that is
// checked when it is read), so that nothing later reads or allocates beyond
// what is there.
TKvraReadFault ReadKvraHeaders(TStream &stream, int64_t offset, bool &multiDisk,
    const std::function<void(TKvraStoredHeader &header)> &take)
{
    const int64_t size = stream.Size();
    uint8_t head[ArchiveHeadSize];
    if (offset < 0 || offset > size || stream.Seek(offset, soFromBeginning) != offset
        || stream.Read(head, ArchiveHeadSize) != ArchiveHeadSize)
        return TKvraReadFault::CountUnreadable;
    const int32_t count = GetInt32(head);
    const uint8_t spanned = head[4];
    const int64_t available = size - offset;
    if (count < 0 || spanned > 1 || count > (available - ArchiveHeadSize) / FileHeaderSize)
        return TKvraReadFault::Corrupt;

    multiDisk = spanned != 0;
    const int64_t tableEnd = ArchiveHeadSize + int64_t { FileHeaderSize } * count;
    int64_t position = ArchiveHeadSize;
    for (int32_t i = 0; i < count; ++i) {
        TFileHeaderBytes bytes;
        TKvraStoredHeader h;
        if (position < ArchiveHeadSize || position > available - FileHeaderSize
            || stream.Seek(offset + position, soFromBeginning) != offset + position
            || stream.Read(bytes.data(), FileHeaderSize) != FileHeaderSize || !h.Decode(bytes))
            return TKvraReadFault::Corrupt;
        const int64_t start = h.DataStart, end = h.DataEnd;
        bool good = std::isfinite(h.FileDate) && h.FileDate >= MinDateTime && h.FileDate <= MaxDateTime
            && h.UncompressedSize >= 0 && h.CompressedSize >= 0
            && IsUsableNamePart(StoredNamePart(h.FileName)) && h.FileName.find('\0') == std::string::npos;
        if (spanned == 0) {
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
            return TKvraReadFault::Corrupt;
        position = h.NextHeader;
        take(h);
    }
    return TKvraReadFault::None;
}

// ---- TKvraNameIndex --------------------------------------------------------------

void TKvraNameIndex::Add(const std::string &name, int index)
{
    indices_[AnsiSameTextKey(name)].push_back(index);
}

void TKvraNameIndex::RemoveLast(const std::string &name)
{
    const auto it = indices_.find(AnsiSameTextKey(name));
    if (it == indices_.end())
        return;
    it->second.pop_back();
    if (it->second.empty())
        indices_.erase(it);
}

int TKvraNameIndex::Find(const std::string &name) const
{
    const std::vector<int> *found = Matches(name);
    return found ? found->front() : -1;
}

const std::vector<int> *TKvraNameIndex::Matches(const std::string &name) const
{
    const auto it = indices_.find(AnsiSameTextKey(name));
    return it == indices_.end() ? nullptr : &it->second;
}

// ---- TKvraDeflater ---------------------------------------------------------------

struct TKvraDeflater::Stream {
    z_stream z {};
};

TKvraDeflater::TKvraDeflater(int level)
    : z_(std::make_unique<Stream>())
    , out_(BufferSize)
{
    if (deflateInit(&z_->z, level) != Z_OK)
        throw Exception("error");
    z_->z.next_out = out_.data();
    z_->z.avail_out = BufferSize;
}

TKvraDeflater::~TKvraDeflater()
{
    deflateEnd(&z_->z);
}

void TKvraDeflater::Start()
{
    if (deflateReset(&z_->z) != Z_OK)
        throw Exception("error");
    z_->z.next_out = out_.data();
    z_->z.avail_out = BufferSize;
}

void TKvraDeflater::Step(const TKvraSink &full)
{
    z_stream &z = z_->z;
    const int result = deflate(&z, Z_NO_FLUSH);
    if (result < 0 && result != Z_BUF_ERROR)
        throw Exception("error");
    if (z.avail_out == 0) {
        full(out_.data(), BufferSize);
        z.next_out = out_.data();
        z.avail_out = BufferSize;
    }
}

void TKvraDeflater::Feed(const uint8_t *data, int64_t count, const TKvraSink &full)
{
    z_stream &z = z_->z;
    while (count > 0) {
        const auto chunk = static_cast<uInt>(std::min<int64_t>(count, 1 << 30));
        z.next_in = const_cast<Bytef *>(data);
        z.avail_in = chunk;
        while (z.avail_in > 0)
            Step(full);
        data += chunk;
        count -= chunk;
    }
}

void TKvraDeflater::Finish(const TKvraSink &full)
{
    z_stream &z = z_->z;
    for (;;) {
        const int result = deflate(&z, Z_FINISH);
        if (result < 0 && result != Z_BUF_ERROR)
            throw Exception("error");
        if (result == Z_STREAM_END)
            return;
        if (z.avail_out == 0) {
            full(out_.data(), BufferSize);
            z.next_out = out_.data();
            z.avail_out = BufferSize;
        }
    }
}

int64_t TKvraDeflater::Pending() const
{
    return BufferSize - z_->z.avail_out;
}

void TKvraDeflater::TakePending()
{
    z_->z.next_out = out_.data();
    z_->z.avail_out = BufferSize;
}

int64_t TKvraDeflater::Written() const
{
    return static_cast<int64_t>(z_->z.total_out);
}

// ---- TKvraInflater ---------------------------------------------------------------

struct TKvraInflater::Stream {
    z_stream z {};
};

TKvraInflater::TKvraInflater()
    : z_(std::make_unique<Stream>())
    , in_(InputSize)
    , out_(OutputSize)
{
    if (inflateInit(&z_->z) != Z_OK)
        throw Exception("error");
}

TKvraInflater::~TKvraInflater()
{
    inflateEnd(&z_->z);
}

void TKvraInflater::Start()
{
    if (inflateReset(&z_->z) != Z_OK)
        throw Exception("error");
    z_->z.avail_in = 0;
    ended_ = false;
    inputDone_ = false;
}

void TKvraInflater::InputResumes()
{
    inputDone_ = false;
}

int64_t TKvraInflater::Fill(const TReader &read)
{
    z_stream &z = z_->z;
    z.next_out = out_.data();
    z.avail_out = OutputSize;
    while (!ended_ && z.avail_out > 0) {
        if (z.avail_in == 0 && !inputDone_) {
            const int64_t n = read(in_.data(), InputSize);
            if (n > 0) {
                z.next_in = in_.data();
                z.avail_in = static_cast<uInt>(n);
            } else {
                inputDone_ = true;
            }
        }
        const uInt before = z.avail_out;
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended_ = true;
            break;
        }
        if (result == Z_BUF_ERROR || (inputDone_ && z.avail_out == before))
            break;
        if (result < 0 || result == Z_NEED_DICT)
            throw Exception("error");
    }
    return OutputSize - z.avail_out;
}
