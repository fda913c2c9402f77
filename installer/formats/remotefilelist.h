#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TStream;

// The remote file list "filelist.lst" of a network distribution: an Int32
// count, then one 72-byte record per file (little-endian):
//
//   0   4  Int32: the file's uncompressed size
//   4   8  Double: the file's date (a date-time)
//  12  40  the install file's Name, zero-terminated
//  52  20  the file version, zero-terminated when shorter than 20 bytes

inline constexpr int RemoteFileRecordSize = 72;
inline constexpr int RemoteNameField = 40; // so a name has at most 39 bytes
inline constexpr int RemoteVersionField = 20;

struct TRemoteFileRecord {
    int32_t UncompressedSize = 0;
    double FileDate = 0;
    std::string Name;
    std::string Version;
};

// The record's 72 bytes. The caller has made sure the name fits (below 40
// bytes); a longer version is cut to its field.
std::string EncodeRemoteFileRecord(const TRemoteFileRecord &record);

// Reads a whole list. False when the count or a record comes up short, or
// the count is negative; a name or version is read up to its first zero
// byte and never past its field.
bool ReadRemoteFileRecords(TStream &stream, std::vector<TRemoteFileRecord> &records);
