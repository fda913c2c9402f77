#include "platform/rtl/streams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace
{

std::string ScratchPath(const std::string &name)
{
    return std::string(std::getenv("WINROOT")) + "/streams-" + name;
}

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "no error";
}

std::string Contents(TStream &stream)
{
    std::string bytes(static_cast<size_t>(stream.Size()), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
}

struct StreamKind {
    const char *name;
    std::function<std::unique_ptr<TStream>()> make;
};

const StreamKind streamKinds[] = {
    { "memory", [] { return std::make_unique<TMemoryStream>(); } },
    { "string", [] { return std::make_unique<TStringStream>(); } },
    { "file", [] { return std::make_unique<TFileStream>(ScratchPath("kind.bin"), fmCreate); } },
};

} // namespace

// The same promises, kept by every kind of stream.
TEST(Stream, EveryKindReadsShortAtTheEndAndFillsGapsWithZeros)
{
    for (const auto &kind : streamKinds) {
        auto stream = kind.make();
        stream->WriteBuffer("abcdef", 6);
        EXPECT_EQ(stream->Position(), 6) << kind.name;

        char buffer[16] = {};
        stream->SetPosition(4);
        EXPECT_EQ(stream->Read(buffer, sizeof buffer), 2) << kind.name << ": a read past the end is short";
        EXPECT_EQ(std::string(buffer, 2), "ef") << kind.name;
        EXPECT_EQ(stream->Read(buffer, sizeof buffer), 0) << kind.name;

        stream->SetPosition(2);
        EXPECT_EQ(ErrorOf([&] { stream->ReadBuffer(buffer, 5); }), "EReadError: Stream read error")
            << kind.name;

        EXPECT_EQ(stream->Seek(10, soFromBeginning), 10)
            << kind.name << ": seeking beyond the end is allowed";
        EXPECT_EQ(stream->Size(), 6) << kind.name << ": and does not grow the stream";
        EXPECT_EQ(stream->Read(buffer, 1), 0) << kind.name;
        stream->WriteBuffer("Z", 1);
        EXPECT_EQ(Contents(*stream), std::string("abcdef\0\0\0\0Z", 11)) << kind.name;

        EXPECT_EQ(stream->Seek(-3, soFromEnd), 8) << kind.name;
        EXPECT_EQ(stream->Seek(1, soFromCurrent), 9) << kind.name;
        EXPECT_EQ(stream->Seek(-10, soFromCurrent), -1) << kind.name << ": nothing lies before the start";
        EXPECT_EQ(stream->Position(), 9) << kind.name;

        stream->SetSize(3);
        EXPECT_EQ(Contents(*stream), "abc") << kind.name;
        stream->SetSize(5);
        EXPECT_EQ(Contents(*stream), std::string("abc\0\0", 5)) << kind.name << ": growing adds zeros";
    }
}

TEST(Stream, CopyFromStreamsAWholeFileInBlocks)
{
    // Counts how much a single Read asks for, to show the copy never loads
    // the whole file.
    class WatchedFile : public TFileStream
    {
    public:
        using TFileStream::TFileStream;
        int64_t largestRead = 0;
        int64_t Read(void *buffer, int64_t count) override
        {
            largestRead = std::max(largestRead, count);
            return TFileStream::Read(buffer, count);
        }
    };

    const std::string path = ScratchPath("big.bin");
    std::string data(1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7919) >> 8);
    {
        TFileStream out(path, fmCreate);
        out.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    }

    WatchedFile source(path, fmOpenRead | fmShareDenyNone);
    source.SetPosition(12345);
    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(source, 0), static_cast<int64_t>(data.size())) << "0 copies the whole source";
    EXPECT_EQ(Contents(copy), data) << "from its start, whatever its position";
    EXPECT_LE(source.largestRead, 64 * 1024);

    source.SetPosition(1000);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 70000), 70000);
    EXPECT_EQ(Contents(part), data.substr(1000, 70000));
    EXPECT_EQ(source.Position(), 71000);

    source.SetPosition(static_cast<int64_t>(data.size()) - 10);
    TMemoryStream tooMuch;
    EXPECT_EQ(ErrorOf([&] { tooMuch.CopyFrom(source, 11); }), "EReadError: Stream read error");
}

TEST(Stream, ShortWriteIsReported)
{
    TFileStream full("/dev/full", fmOpenWrite);
    char block[4096] = {};
    EXPECT_EQ(full.Write(block, sizeof block), 0);
    EXPECT_EQ(ErrorOf([&] { full.WriteBuffer(block, sizeof block); }), "EWriteError: Stream write error");

    TMemoryStream source;
    source.WriteBuffer(block, sizeof block);
    EXPECT_EQ(ErrorOf([&] { full.CopyFrom(source, 0); }), "EWriteError: Stream write error");
}

TEST(Stream, FileStreamOpenErrorsNameTheFileAndTheReason)
{
    const std::string folder = std::getenv("WINROOT");
    struct Case {
        const char *name;
        std::string path;
        uint16_t mode;
        std::string error;
    } cases[] = {
        { "missing file", folder + "/no-such.txt", fmOpenRead,
            "EFOpenError: Cannot open file \"" + folder + "/no-such.txt\". No such file or directory" },
        { "folder opened as a file", folder, fmOpenRead,
            "EFOpenError: Cannot open file \"" + folder + "\". Is a directory" },
        { "create in a missing folder", folder + "/no-dir/x.txt", fmCreate,
            "EFCreateError: Cannot create file \"" + folder + "/no-dir/x.txt\". No such file or directory" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ErrorOf([&] { TFileStream stream(c.path, c.mode); }), c.error) << c.name;
}

TEST(Stream, FileStreamModes)
{
    const std::string path = ScratchPath("modes.txt");
    TFileStream(path, fmCreate | fmShareExclusive).WriteBuffer("0123456789", 10);
    TFileStream(path, fmOpenWrite | fmShareDenyWrite).WriteBuffer("ab", 2);
    TFileStream read(path, fmOpenRead);
    EXPECT_EQ(Contents(read), "ab23456789") << "opening for writing keeps the contents";
    EXPECT_EQ(read.Write("x", 1), 0) << "a read-only stream writes nothing";
    EXPECT_EQ(TFileStream(path, fmCreate).Size(), 0) << "fmCreate empties an existing file";
}

TEST(Stream, PositionsAreSixtyFourBit)
{
    const std::string path = ScratchPath("sparse.bin");
    const int64_t beyond4G = (int64_t { 5 } << 30) + 3;
    TFileStream file(path, fmCreate);
    EXPECT_EQ(file.Seek(beyond4G, soFromBeginning), beyond4G);
    file.WriteBuffer("!", 1);
    EXPECT_EQ(file.Size(), beyond4G + 1);
    file.SetPosition(beyond4G);
    char c = 0;
    file.ReadBuffer(&c, 1);
    EXPECT_EQ(c, '!');
    file.SetSize(0);
}

TEST(MemoryStream, FilesAndStreamsRoundTrip)
{
    const std::string path = ScratchPath("memory.bin");
    TMemoryStream memory;
    memory.WriteBuffer("payload\0tail", 12);
    memory.SaveToFile(path);

    TMemoryStream loaded;
    loaded.WriteBuffer("old contents to be replaced", 27);
    loaded.LoadFromFile(path);
    EXPECT_EQ(loaded.Size(), 12);
    EXPECT_EQ(loaded.Position(), 0);
    EXPECT_EQ(std::memcmp(loaded.Memory(), "payload\0tail", 12), 0);

    TStringStream text;
    loaded.SaveToStream(text);
    EXPECT_EQ(text.DataString(), std::string("payload\0tail", 12));

    loaded.Clear();
    EXPECT_EQ(loaded.Size(), 0);
    EXPECT_EQ(loaded.Memory(), nullptr);
}

TEST(MemoryStream, DescendantChoosesItsGrowth)
{
    // Grows in 128 KiB steps, as a rich-text buffer does, and answers
    // nullptr instead of raising above its limit.
    class ChunkedStream : public TMemoryStream
    {
    public:
        int reallocations = 0;
        int64_t limit = INT64_MAX;

    protected:
        void *Realloc(int64_t &newCapacity) override
        {
            if (newCapacity > 0)
                newCapacity = (newCapacity + 131071) / 131072 * 131072;
            if (newCapacity == Capacity())
                return Memory();
            ++reallocations;
            if (newCapacity == 0 || newCapacity > limit) {
                std::free(newCapacity == 0 ? Memory() : nullptr);
                return nullptr;
            }
            return std::realloc(Memory(), static_cast<size_t>(newCapacity));
        }
    };

    ChunkedStream stream;
    std::vector<char> block(1000, 'x');
    for (int i = 0; i < 300; ++i)
        stream.WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
    EXPECT_EQ(stream.Capacity(), 393216);
    EXPECT_EQ(stream.reallocations, 3);

    stream.limit = stream.Capacity();
    stream.SetPosition(stream.Capacity());
    EXPECT_EQ(ErrorOf([&] { stream.WriteBuffer("y", 1); }),
        "EStreamError: Out of memory while expanding memory stream");
    EXPECT_EQ(stream.Size(), 300000) << "a failed growth keeps what the stream held";
    EXPECT_EQ(static_cast<char *>(stream.Memory())[299999], 'x');

    stream.Clear();
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.reallocations, 5);
}

TEST(StringStream, ReadsAndOverwritesInPlace)
{
    TStringStream stream("GLID;Text");
    EXPECT_EQ(stream.ReadString(4), "GLID");
    stream.WriteString("|");
    EXPECT_EQ(stream.DataString(), "GLID|Text") << "a write in the middle keeps the rest";
    EXPECT_EQ(stream.ReadString(100), "Text");
    EXPECT_EQ(stream.ReadString(1), "");
}
