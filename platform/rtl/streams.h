#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/files.h"
#include "platform/rtl/object.h"

// Origins of Seek.
enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// TFileStream's mode that creates (or truncates) the file, opened for reading
// and writing; the other modes are the fmOpen* and fmShare* values of files.h.
constexpr uint16_t fmCreate = 0xFFFF;

// A sequence of bytes with a position. Read and Write move as many bytes as
// they can and return how many; ReadBuffer and WriteBuffer insist on all of
// them and raise otherwise. Positions and sizes are 64-bit.
class TStream : public TObject
{
public:
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    virtual int64_t Read(void *buffer, int64_t count) = 0;
    virtual int64_t Write(const void *buffer, int64_t count) = 0;
    // Returns the new position, or -1 when it cannot be reached.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    void ReadBuffer(void *buffer, int64_t count); // EReadError "Stream read error"
    void WriteBuffer(const void *buffer, int64_t count); // EWriteError "Stream write error"
    // Copies count bytes from the source's position, or the whole source from
    // its start when count is 0; returns the bytes copied.
    int64_t CopyFrom(TStream &source, int64_t count);

    // Position and size
    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize);
};

// A stream over an open file handle, which it does not close.
class THandleStream : public TStream
{
public:
    explicit THandleStream(int handle)
        : handle_(handle)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int Handle() const { return handle_; }

    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override; // EStreamError when the file refuses

protected:
    int handle_;
};

// A file opened by name (through MapPath). Mode is fmCreate, or one of
// fmOpenRead, fmOpenWrite, fmOpenReadWrite with any share mode (accepted and
// ignored: the host has no sharing locks).
class TFileStream : public THandleStream
{
public:
    TFileStream(const std::string &fileName, uint16_t mode);
    ~TFileStream() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// A stream kept in one block of memory. The block comes from std::malloc and
// friends through Realloc, which a descendant may override to choose its own
// growth; whatever it returns is freed with std::free.
class TMemoryStream : public TStream
{
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void *Memory() const { return memory_; }
    int64_t Capacity() const { return capacity_; }

    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t newSize) override;
    void Clear();

    void LoadFromStream(TStream &stream); // the whole stream, from its start
    void LoadFromFile(const std::string &fileName);
    void SaveToStream(TStream &stream) const;
    void SaveToFile(const std::string &fileName) const;

protected:
    // Returns the block for a capacity of newCapacity bytes (which it may
    // round up), or nullptr for 0; raises EStreamError when out of memory.
    virtual void *Realloc(int64_t &newCapacity);
    void SetCapacity(int64_t newCapacity);

private:
    void *memory_ = nullptr;
    int64_t size_ = 0;
    int64_t capacity_ = 0;
    int64_t position_ = 0; // may lie beyond size_; a write there fills the gap with zeros
};

// A stream over a std::string.
class TStringStream : public TStream
{
public:
    explicit TStringStream(std::string data = {})
        : data_(std::move(data))
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &DataString() const { return data_; }
    std::string ReadString(int64_t count);
    void WriteString(const std::string &s) { WriteBuffer(s.data(), static_cast<int64_t>(s.size())); }

    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t newSize) override;

private:
    std::string data_;
    int64_t position_ = 0;
};
