#include "installer/formats/selfextractor.h"

#include <cstring>
#include <memory>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace
{

constexpr uint8_t MarkerLength = 14;
constexpr char MarkerText[] = "SELFEXTRACTING";

void Put32(uint8_t *p, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t Get32(const uint8_t *p)
{
    return static_cast<int32_t>(
        uint32_t { p[0] } | uint32_t { p[1] } << 8 | uint32_t { p[2] } << 16 | uint32_t { p[3] } << 24);
}

} // namespace

TTrailerBytes EncodeTrailer(const TSelfExtractorTrailer &trailer)
{
    TTrailerBytes bytes {};
    bytes[0] = MarkerLength;
    std::memcpy(&bytes[1], MarkerText, MarkerLength);
    Put32(&bytes[16], trailer.SetupStart);
    Put32(&bytes[20], trailer.SetupEnd);
    Put32(&bytes[24], trailer.FilesStart);
    Put32(&bytes[28], trailer.FilesEnd);
    return bytes;
}

bool DecodeTrailer(const TTrailerBytes &bytes, int64_t fileSize, TSelfExtractorTrailer &trailer)
{
    if (bytes[0] != MarkerLength || std::memcmp(&bytes[1], MarkerText, MarkerLength) != 0 || bytes[15] != 0)
        return false;
    for (int i = 32; i < SelfExtractorTrailerSize; ++i)
        if (bytes[static_cast<size_t>(i)] != 0)
            return false;
    TSelfExtractorTrailer t;
    t.SetupStart = Get32(&bytes[16]);
    t.SetupEnd = Get32(&bytes[20]);
    t.FilesStart = Get32(&bytes[24]);
    t.FilesEnd = Get32(&bytes[28]);
    const int64_t lastCopied = fileSize - SelfExtractorTrailerSize - 1;
    if (t.SetupStart < 0 || t.SetupStart > t.SetupEnd)
        return false;
    if (t.HasFiles()) {
        if (int64_t { t.SetupEnd } + 1 != t.FilesStart || t.FilesStart > t.FilesEnd
            || t.FilesEnd != lastCopied)
            return false;
    } else if (t.SetupEnd != lastCopied) {
        return false;
    }
    trailer = t;
    return true;
}

bool ReadTrailer(const std::string &path, TSelfExtractorTrailer &trailer)
{
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyNone);
    } catch (const Exception &) {
        return false;
    }
    const int64_t size = file->Size();
    if (size < SelfExtractorTrailerSize
        || file->Seek(size - SelfExtractorTrailerSize, soFromBeginning) != size - SelfExtractorTrailerSize)
        return false;
    TTrailerBytes bytes {};
    if (file->Read(bytes.data(), SelfExtractorTrailerSize) != SelfExtractorTrailerSize)
        return false;
    return DecodeTrailer(bytes, size, trailer);
}
