#include "platform/rtl/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"

namespace
{

constexpr int64_t CopyBlockSize = 64 * 1024;
constexpr int64_t MemoryDelta = 8192; // TMemoryStream grows in steps of this many bytes

// Where a seek of an in-memory stream lands, or -1 before the start.
int64_t SeekTarget(int64_t offset, TSeekOrigin origin, int64_t position, int64_t size)
{
    int64_t target;
    switch (origin) {
    case soFromBeginning:
        target = offset;
        break;
    case soFromCurrent:
        target = position + offset;
        break;
    case soFromEnd:
        target = size + offset;
        break;
    default:
        return -1;
    }
    return target < 0 ? -1 : target;
}

} // namespace

const TMetaClass TStream::Class { "TStream", &TObject::Class };
const TMetaClass THandleStream::Class { "THandleStream", &TStream::Class };
const TMetaClass TFileStream::Class { "TFileStream", &THandleStream::Class };
const TMetaClass TMemoryStream::Class { "TMemoryStream", &TStream::Class };
const TMetaClass TStringStream::Class { "TStringStream", &TStream::Class };

// ---- TStream -----------------------------------------------------------------

void TStream::ReadBuffer(void *buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void *buffer, int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream &source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count <= 0)
        return 0;
    const int64_t result = count;
    std::vector<char> buffer(static_cast<size_t>(std::min(count, CopyBlockSize)));
    while (count > 0) {
        const int64_t n = std::min(count, CopyBlockSize);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return result;
}

int64_t TStream::Size()
{
    const int64_t position = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::SetSize(int64_t) { }

// ---- THandleStream -----------------------------------------------------------

int64_t THandleStream::Read(void *buffer, int64_t count)
{
    const int64_t n = FileRead(handle_, buffer, count);
    return n < 0 ? 0 : n;
}

int64_t THandleStream::Write(const void *buffer, int64_t count)
{
    const int64_t n = FileWrite(handle_, buffer, count);
    return n < 0 ? 0 : n;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin)
{
    return FileSeek(handle_, offset, origin);
}

// As in the class library, the position ends at the new end of the file.
void THandleStream::SetSize(int64_t newSize)
{
    if (newSize < 0 || ftruncate(handle_, newSize) != 0) {
        const int error = newSize < 0 ? EINVAL : errno;
        throw EStreamError(Format("Cannot change the size of the stream. %s", std::strerror(error)));
    }
    Seek(newSize, soFromBeginning);
}

// ---- TFileStream -------------------------------------------------------------

TFileStream::TFileStream(const std::string &fileName, uint16_t mode)
    : THandleStream(-1)
    , fileName_(fileName)
{
    if (mode == fmCreate) {
        handle_ = FileCreate(fileName);
        if (handle_ < 0) {
            const int error = errno;
            throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName, std::strerror(error)));
        }
    } else {
        handle_ = FileOpen(fileName, mode);
        if (handle_ < 0) {
            const int error = errno;
            throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName, std::strerror(error)));
        }
    }
}

TFileStream::~TFileStream()
{
    if (handle_ >= 0)
        FileClose(handle_);
}

// ---- TMemoryStream -----------------------------------------------------------

TMemoryStream::~TMemoryStream()
{
    std::free(memory_);
}

int64_t TMemoryStream::Read(void *buffer, int64_t count)
{
    if (count <= 0 || position_ >= size_)
        return 0;
    const int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, static_cast<char *>(memory_) + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void *buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const int64_t end = position_ + count;
    if (end > size_) {
        if (end > capacity_)
            SetCapacity(end);
        // A write beyond the end leaves a gap that must read back as zeros.
        if (position_ > size_)
            std::memset(static_cast<char *>(memory_) + size_, 0, static_cast<size_t>(position_ - size_));
        size_ = end;
    }
    std::memcpy(static_cast<char *>(memory_) + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int64_t target = SeekTarget(offset, origin, position_, size_);
    if (target >= 0)
        position_ = target;
    return target;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    if (newSize < 0)
        throw EStreamError("Invalid stream size");
    const int64_t oldPosition = position_;
    const int64_t oldSize = size_;
    SetCapacity(newSize);
    if (newSize > oldSize)
        std::memset(static_cast<char *>(memory_) + oldSize, 0, static_cast<size_t>(newSize - oldSize));
    size_ = newSize;
    if (oldPosition > newSize)
        position_ = newSize;
}

void TMemoryStream::Clear()
{
    SetCapacity(0);
    size_ = 0;
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream &stream)
{
    stream.SetPosition(0);
    const int64_t count = stream.Size();
    SetSize(count);
    if (count != 0)
        stream.ReadBuffer(memory_, count);
    position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string &fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TMemoryStream::SaveToStream(TStream &stream) const
{
    if (size_ != 0)
        stream.WriteBuffer(memory_, size_);
}

void TMemoryStream::SaveToFile(const std::string &fileName) const
{
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

void *TMemoryStream::Realloc(int64_t &newCapacity)
{
    if (newCapacity > 0 && newCapacity != size_)
        newCapacity = (newCapacity + (MemoryDelta - 1)) / MemoryDelta * MemoryDelta;
    if (newCapacity == capacity_)
        return memory_;
    if (newCapacity == 0) {
        std::free(memory_);
        return nullptr;
    }
    void *block = std::realloc(memory_, static_cast<size_t>(newCapacity));
    if (block == nullptr)
        throw EStreamError("Out of memory while expanding memory stream");
    return block;
}

// A descendant's Realloc that fails quietly or hands back less than was
// asked for would let the next write run past the block; a failed realloc
// leaves the old block as it was.
void TMemoryStream::SetCapacity(int64_t newCapacity)
{
    const int64_t wanted = newCapacity;
    void *block = Realloc(newCapacity);
    if (wanted > 0 && block == nullptr)
        throw EStreamError("Out of memory while expanding memory stream");
    memory_ = block;
    capacity_ = block == nullptr ? 0 : newCapacity;
    if (capacity_ < wanted) {
        size_ = std::min(size_, capacity_);
        throw EStreamError("Out of memory while expanding memory stream");
    }
}

// ---- TStringStream -----------------------------------------------------------

std::string TStringStream::ReadString(int64_t count)
{
    std::string result;
    if (position_ < Size() && count > 0) {
        const int64_t n = std::min(count, Size() - position_);
        result = data_.substr(static_cast<size_t>(position_), static_cast<size_t>(n));
        position_ += n;
    }
    return result;
}

int64_t TStringStream::Read(void *buffer, int64_t count)
{
    if (count <= 0 || position_ >= Size())
        return 0;
    const int64_t n = std::min(count, Size() - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TStringStream::Write(const void *buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const size_t end = static_cast<size_t>(position_ + count);
    if (end > data_.size())
        data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int64_t target = SeekTarget(offset, origin, position_, Size());
    if (target >= 0)
        position_ = target;
    return target;
}

void TStringStream::SetSize(int64_t newSize)
{
    if (newSize < 0)
        throw EStreamError("Invalid stream size");
    data_.resize(static_cast<size_t>(newSize));
    if (position_ > newSize)
        position_ = newSize;
}
