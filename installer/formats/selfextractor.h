#pragma once

#include <array>
#include <cstdint>
#include <string>

// The self-extracting setup is the loading program followed by copies of
// "setup.1" and "files.1" and, as its last 56 bytes, a trailer that says
// where the copies lie (little-endian):
//
//   0  16  one length byte 14, "SELFEXTRACTING", one zero byte
//  16   4  offset of the first byte of the setup.1 copy (= the loader's size)
//  20   4  offset of its last byte
//  24   4  offset of the first byte of the files.1 copy; 0 without one
//  28   4  offset of its last byte; 0 without one
//  32  24  zero
//
// The setup program and the loading program both read it through the one
// checked reader below.

inline constexpr int SelfExtractorTrailerSize = 56;
using TTrailerBytes = std::array<uint8_t, SelfExtractorTrailerSize>;

struct TSelfExtractorTrailer {
    int32_t SetupStart = 0;
    int32_t SetupEnd = 0; // inclusive
    int32_t FilesStart = 0; // 0 when there is no files.1 copy
    int32_t FilesEnd = 0; // inclusive; 0 when there is none

    bool HasFiles() const { return FilesStart != 0 || FilesEnd != 0; }
};

TTrailerBytes EncodeTrailer(const TSelfExtractorTrailer &trailer);

// Decodes the last 56 bytes of a file of fileSize bytes. It holds only
// when the marker and the zero tail are intact and the copies lie end to end
// between the loader and the trailer, as the build writes them:
// 0 <= SetupStart <= SetupEnd, then either no files.1 copy (both 0) and
// SetupEnd = fileSize - 57, or SetupEnd + 1 = FilesStart <= FilesEnd =
// fileSize - 57. Anything else is a damaged or truncated file.
bool DecodeTrailer(const TTrailerBytes &bytes, int64_t fileSize, TSelfExtractorTrailer &trailer);

// Reads and checks the trailer of the file at path; false when the file
// cannot be opened, is shorter than a trailer or the trailer does not hold.
bool ReadTrailer(const std::string &path, TSelfExtractorTrailer &trailer);

// What the setup program raises when ReadTrailer fails (%s: the path).
inline constexpr const char *MsgCannotReadTrailer
    = "Could not read the extraction info from the archive file %s when trying to find the correct offset "
      "into the self extracting file";
