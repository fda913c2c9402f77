// The self-extractor's trailer and the remote file list, byte by byte.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "installer/formats/remotefilelist.h"
#include "installer/formats/selfextractor.h"
#include "platform/rtl/streams.h"
#include "tests/installer/engine/archive_support.h"

namespace
{

std::string Bytes(const TTrailerBytes &b)
{
    return std::string(reinterpret_cast<const char *>(b.data()), b.size());
}

TTrailerBytes FromString(const std::string &s)
{
    TTrailerBytes b {};
    std::memcpy(b.data(), s.data(), b.size());
    return b;
}

// The example setup: a loader of 40,000 bytes, setup.1 of 10,000 and files.1 of 7,000.
constexpr int64_t Loader = 40000, Setup1 = 10000, Files1 = 7000;
constexpr int64_t ExampleSize = Loader + Setup1 + Files1 + SelfExtractorTrailerSize;
const TSelfExtractorTrailer Example { 40000, 49999, 50000, 50000 + Files1 - 1 };

TEST(SelfExtractorTrailer, ExampleBytes)
{
    const std::string b = Bytes(EncodeTrailer(Example));
    ASSERT_EQ(b.size(), 56u);
    EXPECT_EQ(Hex(b.substr(0, 16)), "0E 53 45 4C 46 45 58 54 52 41 43 54 49 4E 47 00");
    EXPECT_EQ(At32(b, 16), 40000);
    EXPECT_EQ(At32(b, 20), 49999);
    EXPECT_EQ(At32(b, 24), 50000);
    EXPECT_EQ(At32(b, 28), 50000 + Files1 - 1);
    EXPECT_EQ(Hex(b.substr(16, 4)), "40 9C 00 00");
    EXPECT_EQ(b.substr(32), std::string(24, '\0'));

    TSelfExtractorTrailer read;
    ASSERT_TRUE(DecodeTrailer(EncodeTrailer(Example), ExampleSize, read));
    EXPECT_EQ(read.SetupStart, 40000);
    EXPECT_EQ(read.SetupEnd, 49999);
    EXPECT_EQ(read.FilesStart, 50000);
    EXPECT_EQ(read.FilesEnd, 56999);
    EXPECT_TRUE(read.HasFiles());
}

TEST(SelfExtractorTrailer, WithoutFilesTheLastFieldsAreZero)
{
    const TSelfExtractorTrailer t { 40000, 49999, 0, 0 };
    const std::string b = Bytes(EncodeTrailer(t));
    EXPECT_EQ(b.substr(24, 8), std::string(8, '\0'));
    TSelfExtractorTrailer read;
    ASSERT_TRUE(DecodeTrailer(EncodeTrailer(t), Loader + Setup1 + 56, read));
    EXPECT_FALSE(read.HasFiles());
    // The same trailer at the end of a file that is one byte longer leaves a gap.
    EXPECT_FALSE(DecodeTrailer(EncodeTrailer(t), Loader + Setup1 + 57, read));
}

TEST(SelfExtractorTrailer, EveryFlippedByteIsRefused)
{
    const TTrailerBytes good = EncodeTrailer(Example);
    for (size_t i = 0; i < good.size(); ++i) {
        // Where setup.1 starts inside the loader's part only its archive
        // head can tell; the loading program's tests flip those bytes too.
        if (i == 16 || i == 17)
            continue;
        for (uint8_t mask : { uint8_t { 0xFF }, uint8_t { 0x01 }, uint8_t { 0x80 } }) {
            TTrailerBytes bad = good;
            bad[i] ^= mask;
            TSelfExtractorTrailer read;
            EXPECT_FALSE(DecodeTrailer(bad, ExampleSize, read)) << "byte " << i << " mask " << int(mask);
        }
    }
}

struct BadTrailer {
    const char *name;
    TSelfExtractorTrailer fields;
    int64_t size;
};

class SelfExtractorTrailerFields : public ::testing::TestWithParam<BadTrailer>
{
};

TEST_P(SelfExtractorTrailerFields, AreRefused)
{
    TSelfExtractorTrailer read;
    EXPECT_FALSE(DecodeTrailer(EncodeTrailer(GetParam().fields), GetParam().size, read));
}

INSTANTIATE_TEST_SUITE_P(Cases, SelfExtractorTrailerFields,
    ::testing::Values(BadTrailer { "NegativeStart", { -1, 49999, 50000, 56999 }, ExampleSize },
        BadTrailer { "SetupEndsBeforeItStarts", { 50000, 49999, 50000, 56999 }, ExampleSize },
        BadTrailer { "GapBeforeFiles", { 40000, 49998, 50000, 56999 }, ExampleSize },
        BadTrailer { "FilesOverlapSetup", { 40000, 49999, 49999, 56999 }, ExampleSize },
        BadTrailer { "FilesEndBeforeTheyStart", { 40000, 49999, 50000, 49999 }, ExampleSize },
        BadTrailer { "FilesRunIntoTheTrailer", { 40000, 49999, 50000, 57000 }, ExampleSize },
        BadTrailer { "FilesStopShortOfTheTrailer", { 40000, 49999, 50000, 56998 }, ExampleSize },
        BadTrailer { "OnlyFilesEndSet", { 40000, 56999, 0, 56999 }, ExampleSize },
        BadTrailer { "FileShorterThanItsTrailer", { 0, 0, 0, 0 }, 55 },
        BadTrailer { "SetupPastTheFile", { 40000, 2147483647, 0, 0 }, ExampleSize }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SelfExtractorTrailer, EveryTruncationIsRefused)
{
    // A whole self-extracting file: loader, copies, trailer.
    std::string file = RandomBytes(Loader + Setup1 + Files1, 7) + Bytes(EncodeTrailer(Example));
    // The marker may well appear in the loader or the data; it must not be enough.
    file.replace(1000, 56, Bytes(EncodeTrailer(Example)));
    file.replace(Loader + 300, 56, Bytes(EncodeTrailer(Example)));
    TSelfExtractorTrailer read;
    ASSERT_TRUE(DecodeTrailer(FromString(file.substr(file.size() - 56)), file.size(), read));
    for (size_t length = 56; length < file.size(); ++length)
        ASSERT_FALSE(
            DecodeTrailer(FromString(file.substr(length - 56, 56)), static_cast<int64_t>(length), read))
            << "cut at " << length;
}

class TrailerFile : public ArchiveTest
{
};

TEST_F(TrailerFile, ReadsTheLastBytesOfTheFile)
{
    const std::string path
        = Write("setup.exe", std::string(Loader + Setup1 + Files1, 'x') + Bytes(EncodeTrailer(Example)));
    TSelfExtractorTrailer read;
    ASSERT_TRUE(ReadTrailer(path, read));
    EXPECT_EQ(read.FilesStart, 50000);
    EXPECT_FALSE(ReadTrailer(Path("missing.exe"), read));
    EXPECT_FALSE(ReadTrailer(Write("short.exe", std::string(55, '\0')), read));
    EXPECT_FALSE(ReadTrailer(Write("empty.exe", ""), read));
}

// ---- The remote file list ---------------------------------------------------------------

std::string ListOf(const std::vector<TRemoteFileRecord> &records)
{
    std::string bytes(4, '\0');
    Set32(bytes, 0, static_cast<int32_t>(records.size()));
    for (const TRemoteFileRecord &r : records)
        bytes += EncodeRemoteFileRecord(r);
    return bytes;
}

bool ReadList(const std::string &bytes, std::vector<TRemoteFileRecord> &records)
{
    TStringStream stream(bytes);
    return ReadRemoteFileRecords(stream, records);
}

TEST(RemoteFileList, RecordLayout)
{
    const std::string b = EncodeRemoteFileRecord({ 123456, 45000.5, "File1", "1.2.3.4" });
    ASSERT_EQ(b.size(), 72u);
    EXPECT_EQ(At32(b, 0), 123456);
    double date = 0;
    std::memcpy(&date, b.data() + 4, 8);
    EXPECT_EQ(date, 45000.5);
    EXPECT_EQ(b.substr(12, 6), std::string("File1\0", 6));
    EXPECT_EQ(b.substr(18, 34), std::string(34, '\0'));
    EXPECT_EQ(b.substr(52, 8), std::string("1.2.3.4\0", 8));
}

TEST(RemoteFileList, NamesAndVersionsAtTheirLimits)
{
    const std::string name39(39, 'N');
    const std::string version20 = "12345678901234567890";
    std::vector<TRemoteFileRecord> records;
    ASSERT_TRUE(ReadList(ListOf({ { 1, 2.0, name39, version20 }, { 3, 4.0, "B", "" } }), records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Name, name39);
    EXPECT_EQ(records[0].Version, version20); // the full field, no terminator
    EXPECT_EQ(records[1].UncompressedSize, 3);
    EXPECT_EQ(records[1].Name, "B");
    EXPECT_EQ(records[1].Version, "");
}

TEST(RemoteFileList, FieldsAreNeverReadPastTheirEnd)
{
    // A hostile list: the name field has no terminator, the version field neither.
    std::string record(72, 'V');
    Set32(record, 0, 5);
    record.replace(4, 8, std::string(8, '\0'));
    record.replace(12, 40, std::string(40, 'N'));
    std::string bytes(4, '\0');
    Set32(bytes, 0, 1);
    std::vector<TRemoteFileRecord> records;
    ASSERT_TRUE(ReadList(bytes + record, records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Name, std::string(40, 'N'));
    EXPECT_EQ(records[0].Version, std::string(20, 'V'));
}

struct BadList {
    const char *name;
    std::string bytes;
};

class RemoteFileListBad : public ::testing::TestWithParam<BadList>
{
};

TEST_P(RemoteFileListBad, IsRefused)
{
    std::vector<TRemoteFileRecord> records;
    EXPECT_FALSE(ReadList(GetParam().bytes, records));
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoteFileListBad,
    ::testing::Values(BadList { "Empty", "" }, BadList { "ShortCount", std::string("\x01\x00\x00", 3) },
        BadList { "NegativeCount", std::string("\xFF\xFF\xFF\xFF", 4) },
        BadList { "ShortRecord", std::string("\x01\x00\x00\x00", 4) + std::string(71, 'r') },
        BadList { "CountPastTheRecords", std::string("\x02\x00\x00\x00", 4) + std::string(72, '\0') }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RemoteFileList, EmptyListIsTheCountAlone)
{
    std::vector<TRemoteFileRecord> records { {} };
    ASSERT_TRUE(ReadList(std::string(4, '\0'), records));
    EXPECT_TRUE(records.empty());
}

} // namespace
