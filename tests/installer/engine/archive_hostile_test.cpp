// Archives that are damaged or made up to do harm. Each must be refused with
// its message, read nothing outside the file, allocate nothing it claims,
// and write nothing outside the extraction folder.

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "archive_support.h"
#include "platform/rtl/files.h"

namespace
{

const char *const Corrupt
    = "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

class HostileArchive : public ArchiveTest
{
protected:
    void SetUp() override
    {
        ArchiveTest::SetUp();
        a_ = Write("src/a.txt", "alpha alpha alpha alpha");
        b_ = Write("src/b.txt", "beta");
        good_ = Build(Path("good.kvr"), { a_, b_ });
        second_ = At32(good_, 5 + 124);
    }

    // Outcome of reading and then extracting a.txt from the given bytes.
    std::string Outcome(const std::string &bytes, const std::string &name = {})
    {
        Write("bad.kvr", bytes);
        std::filesystem::remove_all(Host(Path("out")));
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile(Path("bad.kvr"));
        kc.SetExtractDirectory(Path("out"));
        kc.FilesToProcess()->Add(name.empty() ? a_ : name);
        try {
            kc.ExtractFiles();
        } catch (const Exception &e) {
            EXPECT_FALSE(Exists(Path("out")) && !std::filesystem::is_empty(Host(Path("out"))))
                << "a failed extraction left a file behind";
            return e.Message();
        }
        return "ok";
    }
    std::set<std::string> AllFiles() const
    {
        std::set<std::string> files;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(host_))
            files.insert(entry.path().string());
        return files;
    }

    std::string a_, b_, good_;
    int32_t second_ = 0; // position of the second header
};

TEST_F(HostileArchive, EveryTruncationIsRefused)
{
    EXPECT_EQ(Outcome(good_), "ok");
    for (size_t length = 0; length < good_.size(); ++length) {
        const std::string expected
            = length < 5 ? "Could not read the file header count for the compressed file" : Corrupt;
        EXPECT_EQ(Outcome(good_.substr(0, length)), expected) << "cut at " << length;
    }
}

TEST_F(HostileArchive, ExtremeFieldValues)
{
    constexpr int32_t Min = std::numeric_limits<int32_t>::min(), Max = std::numeric_limits<int32_t>::max();
    const int32_t dataStart = At32(good_, 5 + 132), dataEnd = At32(good_, 5 + 16),
                  size = At32(good_, 5 + 128);
    struct Row {
        const char *what;
        size_t at; // in the file
        int width; // 1, 4 or 8 (a double)
        double value;
        std::string outcome; // "ok", a message, or "size" for the size mismatch
    };
    const size_t h = 5;
    const Row rows[] = {
        { "count negative", 0, 4, -1, Corrupt },
        { "count larger than the file can hold", 0, 4, Max, Corrupt },
        { "count one too many", 0, 4, 3, Corrupt },
        { "multi-disk flag not 0 or 1", 4, 1, 2, Corrupt },
        { "multi-disk flag on a one-file archive", 4, 1, 1, Corrupt },
        { "index: any value is harmless", h + 0, 4, Min, "ok" },
        { "date not a number", h + 4, 8, std::nan(""), Corrupt },
        { "date infinite", h + 4, 8, INFINITY, Corrupt },
        { "date beyond the year 9999", h + 4, 8, 1e300, Corrupt },
        { "date before the year 100", h + 4, 8, -1e300, Corrupt },
        { "date at day 0 is accepted", h + 4, 8, 0, "ok" },
        { "last disk set in a one-file archive", h + 12, 1, 255, Corrupt },
        { "reserved bytes are ignored", h + 13, 1, 255, "ok" },
        { "data end negative", h + 16, 4, -1, Corrupt },
        { "data end past the file", h + 16, 4, Max, Corrupt },
        { "data end smallest", h + 16, 4, Min, Corrupt },
        { "data end before data start", h + 16, 4, double(dataStart - 2), Corrupt },
        { "data end one short", h + 16, 4, double(dataEnd - 1), Corrupt },
        { "name length over 100", h + 20, 1, 101, Corrupt },
        { "name length 255", h + 20, 1, 255, Corrupt },
        { "name empty", h + 20, 1, 0, Corrupt },
        { "next header zero", h + 124, 4, 0, Corrupt },
        { "next header back at itself", h + 124, 4, 5, Corrupt },
        { "next header negative", h + 124, 4, Min, Corrupt },
        { "next header past the file", h + 124, 4, Max, Corrupt },
        { "uncompressed size negative", h + 128, 4, -1, Corrupt },
        { "uncompressed size huge", h + 128, 4, Max, "size" },
        { "uncompressed size too small", h + 128, 4, double(size - 1), "size" },
        { "uncompressed size zero", h + 128, 4, 0, "size" },
        { "data start zero", h + 132, 4, 0, Corrupt },
        { "data start inside the header", h + 132, 4, double(dataStart - 1), Corrupt },
        { "data start huge", h + 132, 4, Max, Corrupt },
        { "data start negative", h + 132, 4, Min, Corrupt },
        { "compressed size negative", h + 132 + 4, 4, -1, Corrupt },
        { "compressed size huge", h + 136, 4, Max, Corrupt },
        { "compressed size disagrees", h + 136, 4, 1, Corrupt },
        { "first disk set in a one-file archive", h + 140, 1, 1, Corrupt },
        { "unique id: any value is harmless", h + 144, 4, Min, "ok" },
        { "version length over 20", h + 148, 1, 21, Corrupt },
        { "version length 255", h + 148, 1, 255, Corrupt },
        { "second header's next is not followed", size_t(second_) + 124, 4, Min, "ok" },
    };
    const std::string sizeMessage = Format(
        "The decompressed file's size does not match with the actual size of the file.  The file is %s", a_);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = good_;
        if (row.width == 1)
            bytes[row.at] = static_cast<char>(static_cast<int>(row.value));
        else if (row.width == 4)
            Set32(bytes, row.at, static_cast<int32_t>(row.value));
        else
            std::memcpy(bytes.data() + row.at, &row.value, 8);
        const std::string outcome = Outcome(bytes);
        EXPECT_EQ(outcome, row.outcome == "size" ? sizeMessage : row.outcome);
        if (outcome == "ok") {
            EXPECT_EQ(Read(Path("out/a.txt")), "alpha alpha alpha alpha");
        }
    }
}

TEST_F(HostileArchive, NamesNeverLeaveTheExtractionFolder)
{
    struct Row {
        std::string stored;
        std::string writtenAs; // empty: refused as corrupt
    };
    const Row rows[] = {
        { "..\\..\\evil.txt", "evil.txt" },
        { "../../evil.txt", "evil.txt" },
        { "C:\\Windows\\system.ini", "system.ini" },
        { "a:evil.txt", "evil.txt" },
        { "/etc/passwd", "passwd" },
        { "dir\\..", "" },
        { "dir/.", "" },
        { "..", "" },
        { "c:", "" },
        { "x/", "" },
        { std::string("evil\0.txt", 9), "" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored);
        std::string bytes = good_;
        bytes[5 + 20] = static_cast<char>(row.stored.size());
        bytes.replace(5 + 21, row.stored.size(), row.stored);
        const std::set<std::string> before = AllFiles();
        const std::string outcome = Outcome(bytes, row.stored);
        std::set<std::string> added;
        for (const std::string &f : AllFiles())
            if (!before.count(f) && f.rfind(Host(Path("out")), 0) != 0)
                added.insert(f);
        EXPECT_TRUE(added.empty() || (added.size() == 1 && *added.begin() == Host(Path("bad.kvr"))));
        if (row.writtenAs.empty()) {
            EXPECT_EQ(outcome, Corrupt);
        } else {
            EXPECT_EQ(outcome, "ok");
            EXPECT_EQ(Read(Path("out/" + row.writtenAs)), "alpha alpha alpha alpha");
        }
    }
}

TEST_F(HostileArchive, AStreamThatInflatesPastItsSizeIsStopped)
{
    const std::string zeros = Write("src/zeros.bin", std::string(4 << 20, '\0'));
    std::string bytes = Build(Path("bomb.kvr"), { zeros });
    Set32(bytes, 5 + 128, 1000); // claims 1000 bytes; the stream holds 4 MB
    Write("bomb.kvr", bytes);
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("bomb.kvr"));
    kc.SetExtractDirectory(Path("out"));
    kc.FilesToProcess()->Add(zeros);
    int64_t written = 0;
    kc.OnStatus = [&](TKvraCompress *, const TlzhFileStats &s) { written = s.FileBytesDone; };
    try {
        kc.ExtractFiles();
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(),
            Format("The decompressed file's size does not match with the actual size of the file.  The file "
                   "is %s",
                zeros));
    }
    EXPECT_LE(written, 1000);
    EXPECT_TRUE(std::filesystem::is_empty(Host(Path("out"))));
}

TEST_F(HostileArchive, DamagedCompressedData)
{
    const int32_t start = At32(good_, 5 + 132), end = At32(good_, 5 + 16);
    struct Row {
        const char *what;
        std::function<void(std::string &)> damage;
    };
    const Row rows[] = {
        { "zlib header broken", [&](std::string &b) { b[start] = 0; } },
        { "checksum broken", [&](std::string &b) { b[end] ^= 0x55; } },
        // 0x7820 is a multiple of 31, so only the dictionary flag changes
        { "preset dictionary asked for", [&](std::string &b) { b[start + 1] = 0x20; } },
        { "stream cut short (sizes agree)",
            [&](std::string &b) {
                Set32(b, 5 + 16, end - 4);
                Set32(b, 5 + 136, end - 4 - start + 1);
            } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = good_;
        row.damage(bytes);
        EXPECT_EQ(Outcome(bytes), "error");
    }
}

TEST_F(HostileArchive, SpannedHeadersMustDescribeDisks)
{
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("good.kvr"));
    ASSERT_EQ(kc.FileCount(), 2);
    std::filesystem::create_directories(Host(Path("disks")));
    kc.CopyToDisks(Path("disks"), "files.1");
    const std::string spanned = Read(Path("disks/files.1"));
    ASSERT_EQ(spanned[4], 1);
    struct Row {
        const char *what;
        size_t at;
        int width;
        int32_t value;
    };
    const Row rows[] = {
        { "first disk 0", 5 + 140, 1, 0 },
        { "last disk before first", 5 + 12, 1, 0 },
        { "data inside the header table", 5 + 132, 4, 10 },
        { "data end past disk 1", 5 + 16, 4, 1 << 30 },
        { "next header moves back", 5 + 124, 4, 5 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = spanned;
        if (row.width == 1)
            bytes[row.at] = static_cast<char>(row.value);
        else
            Set32(bytes, row.at, row.value);
        Write("disks/bad.1", bytes);
        TKvraCompress reader(nullptr);
        reader.SetCompressedFile(Path("disks/bad.1"));
        try {
            reader.FileCount();
            ADD_FAILURE();
        } catch (const EKvraCompress &e) {
            EXPECT_EQ(e.Message(), Corrupt);
        }
    }
}

} // namespace
