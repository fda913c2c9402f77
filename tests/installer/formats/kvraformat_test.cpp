// The archive format on its own, as the setup's loading program uses it:
// archives made in memory, read and inflated without the component.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "installer/formats/kvraformat.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace
{

std::string Noise(size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(gen());
    return out;
}

std::string Words(size_t size)
{
    std::string out;
    for (unsigned i = 0; out.size() < size; ++i)
        out += (i % 3 ? "cinta " : "suma 1.234,56\n");
    out.resize(size);
    return out;
}

// Deflates each text as the component does and lays out a one-file archive.
struct TMadeArchive {
    std::string bytes;
    std::vector<TKvraStoredHeader> headers;
};

TMadeArchive MakeArchive(const std::vector<std::pair<std::string, std::string>> &files, int level = 6)
{
    TMadeArchive made;
    TKvraDeflater z(level);
    const auto head = EncodeKvraHead(static_cast<int32_t>(files.size()), false);
    made.bytes.assign(head.begin(), head.end());
    int index = 0;
    for (const auto &[name, data] : files) {
        std::string packed;
        const TKvraSink full
            = [&](const uint8_t *p, int64_t n) { packed.append(reinterpret_cast<const char *>(p), n); };
        z.Start();
        z.Feed(reinterpret_cast<const uint8_t *>(data.data()), static_cast<int64_t>(data.size()), full);
        z.Finish(full);
        packed.append(reinterpret_cast<const char *>(z.Output()), z.Pending());
        z.TakePending();
        EXPECT_EQ(z.Written(), static_cast<int64_t>(packed.size()));

        TKvraStoredHeader h;
        h.Index = ++index;
        h.FileDate = 45000.5;
        h.FileName = name;
        h.UncompressedSize = static_cast<int32_t>(data.size());
        h.DataStart = static_cast<int32_t>(made.bytes.size() + FileHeaderSize);
        h.CompressedSize = static_cast<int32_t>(packed.size());
        h.DataEnd = h.DataStart + h.CompressedSize - 1;
        h.NextHeader = h.DataEnd + 1;
        h.FileVersion = "1.2.3.4";
        const TFileHeaderBytes b = h.Encode();
        made.bytes.append(reinterpret_cast<const char *>(b.data()), b.size());
        made.bytes += packed;
        made.headers.push_back(h);
    }
    return made;
}

// Inflates one file of a one-file archive the way the loading program does.
std::string InflateFile(
    TKvraInflater &z, const std::string &archive, const TKvraStoredHeader &h, int *steps = nullptr)
{
    size_t at = h.DataStart;
    const size_t end = static_cast<size_t>(h.DataEnd) + 1;
    const TKvraInflater::TReader read = [&](uint8_t *buffer, int64_t count) -> int64_t {
        const size_t n = std::min<size_t>(count, end - at);
        std::memcpy(buffer, archive.data() + at, n);
        at += n;
        return static_cast<int64_t>(n);
    };
    std::string out;
    z.Start();
    while (!z.Ended()) {
        const int64_t have = z.Fill(read);
        if (steps && have > 0)
            ++*steps;
        out.append(reinterpret_cast<const char *>(z.Output()), have);
        if (have == 0)
            break;
    }
    return out;
}

} // namespace

TEST(KvraFormat, ReadsBackWhatWasLaidOutAndInflatesEachFile)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        { "C:\\fuente\\vacío.txt", "" },
        { "C:\\fuente\\texto.txt", Words(100000) },
        { "C:\\fuente\\ruido.bin", Noise(70000, 3) }, // more than one output buffer even deflated
        { "C:\\fuente\\uno.bin", "x" },
    };
    const TMadeArchive made = MakeArchive(files);
    TStringStream stream(made.bytes);
    std::vector<TKvraStoredHeader> headers;
    bool multiDisk = true;
    ASSERT_EQ(ReadKvraHeaders(stream, 0, multiDisk, [&](TKvraStoredHeader &h) { headers.push_back(h); }),
        TKvraReadFault::None);
    EXPECT_FALSE(multiDisk);
    ASSERT_EQ(headers.size(), files.size());

    // One inflater for every file: a state left from the file before would
    // spoil the next one.
    TKvraInflater z;
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(headers[i].FileName, files[i].first);
        EXPECT_EQ(headers[i].FileVersion, "1.2.3.4");
        EXPECT_EQ(headers[i].Encode(), made.headers[i].Encode());
        EXPECT_TRUE(InflateFile(z, made.bytes, headers[i]) == files[i].second) << files[i].first;
    }
}

TEST(KvraFormat, EachFileIsOnePlainZlibStream)
{
    const std::string data = Words(50000);
    const TMadeArchive made = MakeArchive({ { "a", "something else first" }, { "b", data } }, 9);
    const TKvraStoredHeader &h = made.headers[1];
    std::string out(data.size(), '\0');
    uLongf size = out.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(out.data()), &size,
                  reinterpret_cast<const Bytef *>(made.bytes.data() + h.DataStart), h.CompressedSize),
        Z_OK);
    EXPECT_EQ(size, data.size());
    EXPECT_TRUE(out == data);
}

TEST(KvraFormat, InflatesInStepsOfFourKilobytes)
{
    const TMadeArchive made = MakeArchive({ { "forty", Words(40000) } });
    TKvraInflater z;
    int steps = 0;
    EXPECT_EQ(InflateFile(z, made.bytes, made.headers[0], &steps).size(), 40000u);
    EXPECT_EQ(steps, 10);
}

TEST(KvraFormat, AnInflaterRecoversFromADamagedStream)
{
    TMadeArchive made = MakeArchive({ { "a", Words(20000) }, { "b", Words(30000) } });
    std::string damaged = made.bytes;
    damaged[made.headers[0].DataStart] = '\x55'; // not a zlib header
    TKvraInflater z;
    EXPECT_THROW(InflateFile(z, damaged, made.headers[0]), Exception);
    EXPECT_TRUE(InflateFile(z, damaged, made.headers[1]) == Words(30000));
}

TEST(KvraFormat, HeadFaults)
{
    const TMadeArchive made = MakeArchive({ { "a", "aaa" }, { "b", "bbb" } });
    struct Case {
        const char *name;
        std::string bytes;
        int64_t offset;
        TKvraReadFault fault;
    };
    std::string countTooLarge = made.bytes;
    countTooLarge[0] = 3; // three headers cannot fit
    std::string chainBackwards = made.bytes;
    PutInt32(reinterpret_cast<uint8_t *>(chainBackwards.data()) + ArchiveHeadSize + 124, 0);
    std::string flagTwo = made.bytes;
    flagTwo[4] = 2;
    const Case cases[] = {
        { "whole", made.bytes, 0, TKvraReadFault::None },
        { "head cut", made.bytes.substr(0, 4), 0, TKvraReadFault::CountUnreadable },
        { "offset past the end", made.bytes, static_cast<int64_t>(made.bytes.size()) + 1,
            TKvraReadFault::CountUnreadable },
        { "count too large", countTooLarge, 0, TKvraReadFault::Corrupt },
        { "next header points back", chainBackwards, 0, TKvraReadFault::Corrupt },
        { "multi-disk flag 2", flagTwo, 0, TKvraReadFault::Corrupt },
        { "data cut", made.bytes.substr(0, made.bytes.size() - 1), 0, TKvraReadFault::Corrupt },
    };
    for (const Case &c : cases) {
        TStringStream stream(c.bytes);
        std::vector<std::string> names;
        bool multiDisk = false;
        EXPECT_EQ(ReadKvraHeaders(stream, c.offset, multiDisk,
                      [&](TKvraStoredHeader &h) { names.push_back(h.FileName); }),
            c.fault)
            << c.name;
        // Only good headers are taken, in order, up to the first fault.
        if (c.fault == TKvraReadFault::None)
            EXPECT_EQ(names, (std::vector<std::string> { "a", "b" })) << c.name;
        else
            EXPECT_LE(names.size(), 1u) << c.name;
    }
}

TEST(KvraFormat, NamesAreFoundWithoutCase)
{
    TKvraNameIndex index;
    index.Add("C:\\Fuente\\Año.TXT", 0);
    index.Add("c:\\fuente\\otro.txt", 1);
    index.Add("C:\\FUENTE\\AÑO.txt", 2); // the same name again
    struct Case {
        const char *name;
        const char *lookFor;
        int found;
    };
    const Case cases[] = {
        { "as written", "C:\\Fuente\\Año.TXT", 0 },
        { "upper case, accents included", "C:\\FUENTE\\AÑO.TXT", 0 },
        { "lower case", "c:\\fuente\\año.txt", 0 },
        { "other name", "C:\\FUENTE\\OTRO.TXT", 1 },
        { "other accent", "C:\\Fuente\\Ano.TXT", -1 },
        { "prefix only", "C:\\Fuente\\Año", -1 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(index.Find(c.lookFor), c.found) << c.name;
    ASSERT_NE(index.Matches("c:\\FUENTE\\año.TXT"), nullptr);
    EXPECT_EQ(*index.Matches("c:\\FUENTE\\año.TXT"), (std::vector<int> { 0, 2 }));
    index.RemoveLast("C:\\FUENTE\\AÑO.txt");
    EXPECT_EQ(*index.Matches("c:\\FUENTE\\año.TXT"), (std::vector<int> { 0 }));
    index.RemoveLast("C:\\Fuente\\Año.TXT");
    EXPECT_EQ(index.Find("C:\\Fuente\\Año.TXT"), -1);
}
