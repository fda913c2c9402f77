#pragma once

// The install archive's format on its own: the head, the 172-byte file
// headers, the checks a header list read from a file must pass, and the zlib
// streams that hold each file's data. It needs the run-time library only, so
// the setup's loading program reads archives without the user interface; the
// archive component builds its operations on it.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TStream;

// The archive's fixed sizes.
inline constexpr int ArchiveHeadSize = 5; // file count, multi-disk flag
inline constexpr int FileHeaderSize = 172;
inline constexpr int MaxStoredNameLength = 100; // bytes of FileName
inline constexpr int MaxStoredVersionLength = 20; // bytes of FileVersion
inline constexpr int UniqueIDCount = 2000; // ids 0..1999 have a table entry

using TFileHeaderBytes = std::array<uint8_t, FileHeaderSize>;

// The stored fields of one file header. Positions are relative to the
// archive's start on the disk file that holds them.
struct TKvraStoredHeader {
    int32_t Index = 0; // 1-based place in the list it was added from
    double FileDate = 0; // the source's DOS date as a TDateTime
    uint8_t LastDisk = 0; // 0 in a one-file archive
    int32_t DataEnd = 0; // last data byte
    std::string FileName; // at most MaxStoredNameLength bytes
    int32_t NextHeader = 0;
    int32_t UncompressedSize = 0;
    int32_t DataStart = 0; // first data byte
    int32_t CompressedSize = 0;
    uint8_t FirstDisk = 0; // 0 in a one-file archive
    int32_t UniqueID = 0;
    std::string FileVersion; // at most MaxStoredVersionLength bytes

    // The 172 stored bytes. A header read from a file keeps its padding and
    // the bytes behind its names, so writing it back changes only the fields.
    TFileHeaderBytes Encode() const;
    bool Decode(const TFileHeaderBytes &bytes); // false when a name's length byte is too large

private:
    TFileHeaderBytes raw_ {};
};

// ---- Reading and writing the head ------------------------------------------------

void PutInt32(uint8_t *p, int32_t value);
int32_t GetInt32(const uint8_t *p);

// A text cut to at most max bytes without splitting a UTF-8 sequence.
std::string CutStoredText(const std::string &text, size_t max);

// The last part of a stored name. Any of "\", "/" and ":" separates, so that
// no name, however it was written, reaches outside the extraction folder.
std::string StoredNamePart(const std::string &name);
bool IsUsableNamePart(const std::string &part);

enum class TKvraReadFault { None, CountUnreadable, Corrupt };

// Reads the head and every header of the archive at offset in stream. The
// input is untrusted: every count, position and size is checked before it is
// used. Each good header goes to take, in order; the first fault ends the
// reading (the caller then drops what it took).
TKvraReadFault ReadKvraHeaders(TStream &stream, int64_t offset, bool &multiDisk,
    const std::function<void(TKvraStoredHeader &header)> &take);

// The 5 head bytes: the file count and the multi-disk flag.
std::array<uint8_t, ArchiveHeadSize> EncodeKvraHead(int32_t count, bool multiDisk);

// ---- Finding files by name -------------------------------------------------------

// The headers of each name, in list order, found in one look-up. Stored
// names compare without case, code point by code point (as AnsiSameText).
class TKvraNameIndex
{
public:
    void Clear() { indices_.clear(); }
    void Add(const std::string &name, int index); // index above every index of that name
    void RemoveLast(const std::string &name); // drops the name's highest index
    int Find(const std::string &name) const; // the first index of the name; -1 when absent
    const std::vector<int> *Matches(const std::string &name) const; // nullptr when absent

private:
    std::unordered_map<std::string, std::vector<int>> indices_; // by AnsiSameTextKey
};

// ---- The data streams ------------------------------------------------------------

// Receives a full output buffer.
using TKvraSink = std::function<void(const uint8_t *data, int64_t count)>;

// Deflates file after file with one zlib state and one output buffer. Each
// file's data is one plain zlib stream.
class TKvraDeflater
{
public:
    static constexpr int64_t BufferSize = 65536;

    explicit TKvraDeflater(int level); // zlib level: 0..9 or -1
    ~TKvraDeflater();
    TKvraDeflater(const TKvraDeflater &) = delete;
    TKvraDeflater &operator=(const TKvraDeflater &) = delete;

    // Starts a new file's stream.
    void Start();
    // Compresses input; each time the output buffer fills it goes to full.
    void Feed(const uint8_t *data, int64_t count, const TKvraSink &full);
    // Ends the stream; the output buffer then holds Pending() bytes that
    // were not given to full yet.
    void Finish(const TKvraSink &full);
    const uint8_t *Output() const { return out_.data(); }
    int64_t Pending() const;
    void TakePending(); // the pending bytes were written
    int64_t Written() const; // compressed bytes of this file so far, pending included

private:
    struct Stream;
    std::unique_ptr<Stream> z_;
    std::vector<uint8_t> out_;
    void Step(const TKvraSink &full);
};

// Inflates file after file with one zlib state, an input buffer of 65,536
// bytes and an output buffer of 4,096 bytes: each filling of the output
// buffer is one progress step of the extraction.
class TKvraInflater
{
public:
    static constexpr int64_t InputSize = 65536;
    static constexpr int64_t OutputSize = 4096;
    // Reads at most count bytes into buffer; 0 when nothing is left.
    using TReader = std::function<int64_t(uint8_t *buffer, int64_t count)>;

    TKvraInflater();
    ~TKvraInflater();
    TKvraInflater(const TKvraInflater &) = delete;
    TKvraInflater &operator=(const TKvraInflater &) = delete;

    // Starts a new file's stream; input left over from the last file goes.
    void Start();
    // Fills the output buffer, reading input whenever it is used up, until
    // the buffer is full, the stream ends or read gives nothing (which ends
    // the input until InputResumes). Returns the bytes produced.
    int64_t Fill(const TReader &read);
    void InputResumes(); // the next disk file follows
    bool Ended() const { return ended_; }
    const uint8_t *Output() const { return out_.data(); }

private:
    struct Stream;
    std::unique_ptr<Stream> z_;
    std::vector<uint8_t> in_, out_;
    bool ended_ = false;
    bool inputDone_ = false;
};
