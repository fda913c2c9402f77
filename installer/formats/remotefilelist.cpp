#include "installer/formats/remotefilelist.h"

#include <cstring>

#include "platform/rtl/streams.h"

namespace
{

std::string Field(const char *bytes, size_t size)
{
    const void *zero = std::memchr(bytes, 0, size);
    return std::string(bytes, zero ? static_cast<size_t>(static_cast<const char *>(zero) - bytes) : size);
}

} // namespace

std::string EncodeRemoteFileRecord(const TRemoteFileRecord &record)
{
    std::string bytes(RemoteFileRecordSize, '\0');
    const auto size = static_cast<uint32_t>(record.UncompressedSize);
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(size >> (8 * i));
    uint64_t date = 0;
    std::memcpy(&date, &record.FileDate, sizeof date);
    for (int i = 0; i < 8; ++i)
        bytes[static_cast<size_t>(4 + i)] = static_cast<char>(date >> (8 * i));
    record.Name.copy(&bytes[12], RemoteNameField - 1);
    record.Version.copy(&bytes[52], RemoteVersionField);
    return bytes;
}

bool ReadRemoteFileRecords(TStream &stream, std::vector<TRemoteFileRecord> &records)
{
    records.clear();
    unsigned char head[4];
    if (stream.Read(head, 4) != 4)
        return false;
    const auto count = static_cast<int32_t>(uint32_t { head[0] } | uint32_t { head[1] } << 8
        | uint32_t { head[2] } << 16 | uint32_t { head[3] } << 24);
    if (count < 0)
        return false;
    char bytes[RemoteFileRecordSize];
    for (int32_t i = 0; i < count; ++i) {
        if (stream.Read(bytes, RemoteFileRecordSize) != RemoteFileRecordSize)
            return false;
        const auto *u = reinterpret_cast<const unsigned char *>(bytes);
        TRemoteFileRecord record;
        record.UncompressedSize = static_cast<int32_t>(
            uint32_t { u[0] } | uint32_t { u[1] } << 8 | uint32_t { u[2] } << 16 | uint32_t { u[3] } << 24);
        uint64_t date = 0;
        for (int b = 7; b >= 0; --b)
            date = date << 8 | u[4 + b];
        std::memcpy(&record.FileDate, &date, sizeof date);
        record.Name = Field(bytes + 12, RemoteNameField);
        record.Version = Field(bytes + 52, RemoteVersionField);
        records.push_back(std::move(record));
    }
    return true;
}
