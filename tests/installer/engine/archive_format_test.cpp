#include <zlib.h>

#include <cstring>

#include "archive_support.h"
#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/ui/forms.h"

namespace
{

// ---- The bytes ------------------------------------------------------------------

TEST_F(ArchiveTest, EmptyArchiveIsTheHeadAlone)
{
    EXPECT_EQ(Hex(Build(Path("empty.kvr"), {})), "00 00 00 00 00");
}

TEST_F(ArchiveTest, OneFileAtTheHighestLevel)
{
    const std::string source = Write("hello.txt", "hello");
    ASSERT_EQ(
        FileSetDate(source, DateTimeToFileDate(EncodeDate(2003, 7, 14) + EncodeTime(10, 20, 30, 0))), 0);
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("one.kvr"));
    kc.FilesToProcess()->Add(source + ";this part is ignored");
    kc.ArchiveFiles(false, 7);
    const std::string b = Read(Path("one.kvr"));

    uLongf zlen = 64;
    Bytef expected[64];
    ASSERT_EQ(compress2(expected, &zlen, reinterpret_cast<const Bytef *>("hello"), 5, 9), Z_OK);
    ASSERT_EQ(b.size(), 5 + 172 + zlen);
    EXPECT_EQ(Hex(b.substr(0, 5)), "01 00 00 00 00");
    const std::string h = b.substr(5, 172);
    EXPECT_EQ(At32(h, 0), 1); // Index
    double date;
    std::memcpy(&date, h.data() + 4, 8);
    EXPECT_EQ(date, EncodeDate(2003, 7, 14) + EncodeTime(10, 20, 30, 0));
    EXPECT_EQ(Hex(h.substr(12, 4)), "00 00 00 00"); // LastDisk and zeros
    EXPECT_EQ(At32(h, 16), static_cast<int32_t>(177 + zlen - 1)); // DataEnd
    EXPECT_EQ(static_cast<uint8_t>(h[20]), source.size());
    EXPECT_EQ(h.substr(21, source.size()), source);
    EXPECT_EQ(h.substr(21 + source.size(), 100 - source.size()), std::string(100 - source.size(), '\0'));
    EXPECT_EQ(Hex(h.substr(121, 3)), "00 00 00");
    EXPECT_EQ(At32(h, 124), static_cast<int32_t>(177 + zlen)); // NextHeader
    EXPECT_EQ(At32(h, 128), 5); // UncompressedSize
    EXPECT_EQ(At32(h, 132), 177); // DataStart
    EXPECT_EQ(At32(h, 136), static_cast<int32_t>(zlen)); // CompressedSize
    EXPECT_EQ(Hex(h.substr(140, 4)), "00 00 00 00"); // FirstDisk and zeros
    EXPECT_EQ(At32(h, 144), 7); // UniqueID
    EXPECT_EQ(Hex(h.substr(148, 24)), Hex(std::string(24, '\0'))); // no version
    EXPECT_EQ(Hex(b.substr(177, 2)), "78 DA");
    EXPECT_EQ(b.substr(177), std::string(reinterpret_cast<char *>(expected), zlen));
}

TEST_F(ArchiveTest, LevelsReachZlibAsZeroOneDefaultAndNine)
{
    const std::string source = Write("text.txt", TextBytes(20000));
    const std::pair<TCompressionLevel, const char *> levels[]
        = { { colNone, "78 01" }, { colFastest, "78 01" }, { colDefault, "78 9C" }, { colMax, "78 DA" } };
    for (const auto &[level, head] : levels) {
        const std::string b = Build(Path("l.kvr"), { source }, level);
        EXPECT_EQ(Hex(b.substr(177, 2)), head) << level;
        if (level == colNone) {
            EXPECT_GT(b.size(), 20000u); // stored blocks only
        }
    }
}

TEST_F(ArchiveTest, AppendKeepsTheOldBytesAndGrowsTheCount)
{
    const std::string a = Write("a.txt", TextBytes(3000)), b = Write("b.txt", RandomBytes(3000, 1));
    const std::string before = Build(Path("x.kvr"), { a }, colMax, false, 1);
    const std::string after = Build(Path("x.kvr"), { b }, colMax, true, 2);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(At32(after, 0), 2);
    EXPECT_EQ(after.substr(4, before.size() - 4), before.substr(4));
    EXPECT_EQ(At32(after, before.size()), 1); // a later append numbers from 1 again

    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("x.kvr"));
    EXPECT_EQ(kc.FileCount(), 2);
    EXPECT_EQ(kc.FileIndexOfUniqueID(1), 0);
    EXPECT_EQ(kc.FileIndexOfUniqueID(2), 1);
}

// One component appending file after file, as a build does, while another
// writer appends in between: every file lands, in order, under its own id.
TEST_F(ArchiveTest, AppendsByOneComponentSeeTheFilesOthersAppended)
{
    const std::vector<std::string> sources = { Write("a.txt", TextBytes(3000)),
        Write("b.bin", RandomBytes(70000, 2)), Write("c.txt", TextBytes(5000)),
        Write("d.txt", TextBytes(100)), Write("e.bin", RandomBytes(9, 4)) };
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("x.kvr"));
    auto add = [](TKvraCompress &k, const std::string &file, bool append, int id) {
        k.FilesToProcess()->Add(file);
        k.ArchiveFiles(append, id);
    };
    add(kc, sources[0], false, 1);
    add(kc, sources[1], true, 2);
    {
        TKvraCompress other(nullptr);
        other.SetCompressedFile(Path("x.kvr"));
        add(other, sources[2], true, 3);
    }
    add(kc, sources[3], true, 4);
    add(kc, sources[4], true, 5);
    EXPECT_EQ(kc.FileCount(), 5);

    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("x.kvr"));
    ASSERT_EQ(reader.FileCount(), 5);
    reader.SetExtractDirectory(Path("out"));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(reader.Headers().GetFileHeaders(i)->FileName, sources[i]);
        EXPECT_EQ(reader.FileIndexOfUniqueID(i + 1), i);
        reader.FilesToProcess()->Add(sources[i]);
    }
    reader.ExtractFiles();
    for (const std::string &source : sources)
        EXPECT_TRUE(Read(Path("out/" + ExtractFileName(source))) == Read(source)) << source;

    // A name that would be stored alike is still refused against the files
    // the component remembers.
    const std::string longName = std::string(120, 'n');
    const std::string first = Write(longName.substr(0, 110), "1"),
                      second = Write(longName.substr(0, 115), "2");
    add(kc, first, true, 6);
    kc.FilesToProcess()->Add(second);
    EXPECT_THROW(kc.ArchiveFiles(true, 7), EKvraCompress);
    EXPECT_EQ(reader.FileCount(), 5); // its headers are still loaded
    TKvraCompress again(nullptr);
    again.SetCompressedFile(Path("x.kvr"));
    EXPECT_EQ(again.FileCount(), 6);
}

// The machine finds names without case, so an extracted file named in
// another case replaces the file that is there and does not sit beside it.
TEST_F(ArchiveTest, ExtractionOverANameInAnotherCaseReplacesThatFile)
{
    const std::string source = Write("src/ReadMe.TXT", "new text");
    Write("Out/Docs/README.txt", "old text");
    Build(Path("r.kvr"), { source });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("r.kvr"));
    kc.SetExtractDirectory(Path("OUT/docs"));
    kc.FilesToProcess()->Add(source);
    kc.ExtractFiles();
    EXPECT_EQ(Read(Path("Out/Docs/README.txt")), "new text");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(host_ + "/Out/Docs"), {}), 1);
    EXPECT_FALSE(std::filesystem::exists(host_ + "/OUT"));
}

// The totals of the whole archive follow its files, however the list came to
// hold them.
TEST_F(ArchiveTest, TotalsFollowTheFilesOfTheArchive)
{
    const std::string a = Write("a.txt", TextBytes(3000)), b = Write("b.txt", TextBytes(5000));
    Build(Path("t.kvr"), { a });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("t.kvr"));
    TlzhFileStats stats;
    kc.GetFileStats(0, stats);
    EXPECT_EQ(stats.TotalUncompressed, 3000);
    kc.FilesToProcess()->Add(b);
    kc.ArchiveFiles(true, 0);
    kc.GetFileStats(1, stats);
    EXPECT_EQ(stats.TotalUncompressed, 8000);
    kc.SetExtractDirectory(Path("out"));
    int64_t last = 0;
    kc.OnStatus = [&](TKvraCompress *, const TlzhFileStats &s) { last = s.TotalUncompressed; };
    kc.FilesToProcess()->Add(b);
    kc.ExtractFiles();
    EXPECT_EQ(last, 8000);
    kc.SetCompressedFile(Path("t2.kvr"));
    Build(Path("t2.kvr"), { b });
    kc.FilesToProcess()->Add(b);
    kc.ExtractFiles();
    EXPECT_EQ(last, 5000);
}

// ---- Round trips ----------------------------------------------------------------

struct TRoundTrip {
    const char *name;
    std::string bytes;
};

class ArchiveRoundTrip : public ArchiveTest, public ::testing::WithParamInterface<TCompressionLevel>
{
};

TEST_P(ArchiveRoundTrip, EveryKindOfFileComesBackTheSame)
{
    const TRoundTrip files[] = {
        { "empty", "" },
        { "one byte", "x" },
        { "random", RandomBytes(700 * 1024, 42) },
        { "a write block less one", RandomBytes(65535, 43) },
        { "one write block", RandomBytes(65536, 44) },
        { "a write block and one", RandomBytes(65537, 45) },
        { "compressible", TextBytes(3 * 1024 * 1024) },
    };
    std::vector<std::string> sources;
    for (const TRoundTrip &f : files) {
        sources.push_back(Write(std::string("in/") + f.name, f.bytes));
        ASSERT_EQ(FileSetDate(sources.back(),
                      DateTimeToFileDate(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 58, 0))),
            0);
    }
    Build(Path("rt.kvr"), sources, GetParam());

    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("rt.kvr"));
    kc.SetExtractDirectory(Path("out"));
    for (const std::string &s : sources)
        kc.FilesToProcess()->Add(s);
    kc.ExtractFiles();
    for (const TRoundTrip &f : files) {
        SCOPED_TRACE(f.name);
        const std::string out = Path(std::string("out/") + f.name);
        EXPECT_TRUE(Read(out) == f.bytes);
        EXPECT_EQ(FileAge(out), DateTimeToFileDate(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 58, 0)));
    }
    EXPECT_EQ(kc.FilesToProcess()->Count(), 0);
}

std::string LevelName(const ::testing::TestParamInfo<TCompressionLevel> &info)
{
    static const char *const names[] = { "None", "Fastest", "Default", "Max" };
    return names[info.param];
}
INSTANTIATE_TEST_SUITE_P(
    Levels, ArchiveRoundTrip, ::testing::Values(colNone, colFastest, colDefault, colMax), LevelName);

TEST_F(ArchiveTest, ArchiveBehindOtherBytesReadsThroughOffset)
{
    const std::string source = Write("calc.txt", TextBytes(50000));
    const std::string archive = Build(Path("a.kvr"), { source });
    Write("setup.exe", RandomBytes(1000, 9) + archive);

    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("setup.exe"));
    kc.SetOffset(1000);
    EXPECT_EQ(kc.FileCount(), 1);
    kc.SetExtractDirectory(Path("out"));
    kc.FilesToProcess()->Add(source);
    kc.ExtractFiles();
    EXPECT_TRUE(Read(Path("out/calc.txt")) == Read(source));
}

// ---- Headers, names and ids ------------------------------------------------------

TEST_F(ArchiveTest, UniqueIDsPointToTheLaterFile)
{
    const std::string a = Write("a", "a"), b = Write("b", "b"), c = Write("c", "c");
    Build(Path("u.kvr"), { a, b }, colMax, false, 5);
    Build(Path("u.kvr"), { c }, colMax, true, 1999);
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("u.kvr"));
    EXPECT_EQ(kc.FileIndexOfUniqueID(5), 1);
    EXPECT_EQ(kc.FileIndexOfUniqueID(1999), 2);
    EXPECT_EQ(kc.FileIndexOfUniqueID(4), 0); // unknown
    EXPECT_EQ(kc.FileIndexOfUniqueID(2000), 0); // outside the table
    EXPECT_EQ(kc.FileIndexOfUniqueID(-1), 0);
}

TEST_F(ArchiveTest, LongNamesAreCutAndFoundByTheirCutName)
{
    const std::string folder = "deep/" + std::string(60, 'd') + "/";
    const std::string source = Write(folder + std::string(50, 'f') + ".txt", "long");
    ASSERT_GT(source.size(), 100u);
    Build(Path("n.kvr"), { source });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("n.kvr"));
    TlzhFileStats stats;
    kc.GetFileStats(0, stats);
    EXPECT_EQ(stats.FileName, source.substr(0, 100));
    EXPECT_EQ(kc.Headers().IndexOfName(source), 0);
    EXPECT_EQ(kc.Headers().IndexOfName(source.substr(0, 100)), 0);
    EXPECT_EQ(kc.Headers().IndexOfName(UpperCase(source.substr(0, 100)) + ";x"), 0);
    EXPECT_EQ(kc.Headers().IndexOfName(source.substr(0, 99)), -1);
}

TEST_F(ArchiveTest, NamesThatCollideWhenCutAreRefusedBeforeWriting)
{
    const std::string folder = "deep/" + std::string(100, 'd') + "/";
    const std::string a = Write(folder + "a.txt", "a"), b = Write(folder + "b.txt", "b");
    const std::string old = Build(Path("c.kvr"), { Write("first.txt", "1") });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("c.kvr"));
    kc.FilesToProcess()->Add(a);
    kc.FilesToProcess()->Add(b);
    try {
        kc.ArchiveFiles(false, 0);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(
            e.Message(), Format("The file names %s and %s are the same in their first 100 characters", a, b));
    }
    EXPECT_EQ(Read(Path("c.kvr")), old);
    EXPECT_EQ(kc.FilesToProcess()->Count(), 0);
    EXPECT_TRUE(kc.Abort());
}

TEST_F(ArchiveTest, HeaderListMessages)
{
    TFileHeaders headers;
    auto blank = std::make_unique<TFileHeader>();
    blank->FileName = "   ";
    try {
        headers.Add(std::move(blank));
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), "Tried to add an invalid file header");
    }
    try {
        headers.GetFileHeaders(0);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), "0 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders");
    }
    TFileStream readOnly(Write("ro", "12345"), fmOpenRead);
    try {
        headers.WriteHead(readOnly);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), "Could not write the file headers for the compressed file");
    }
}

TEST_F(ArchiveTest, StatsOfAStoredFile)
{
    const std::string a = Write("a.txt", TextBytes(100000)), tiny = Write("t.txt", "x");
    Build(Path("s.kvr"), { a, tiny });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("s.kvr"));
    TlzhFileStats stats;
    kc.GetFileStats(0, stats);
    EXPECT_EQ(stats.FileName, a);
    EXPECT_EQ(stats.UncompressedSize, 100000);
    EXPECT_GT(stats.CompressedSize, 0);
    EXPECT_EQ(stats.Ratio, Round(stats.CompressedSize / 100000.0 * 100));
    EXPECT_EQ(stats.TotalUncompressed, 100001);
    EXPECT_EQ(stats.OverallBytesDone, 0);
    EXPECT_FALSE(stats.Finished);
    kc.GetFileStats(1, stats);
    EXPECT_EQ(stats.Ratio, 255); // 9 bytes for 1 is 900 %, clamped
    try {
        kc.GetFileStats(2, stats);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), "Tried to access the 2th file. This file is not defined");
    }
}

TEST_F(ArchiveTest, ChangingTheArchiveDropsTheHeadersButNotBetweenItsDisks)
{
    Build(Path("one.kvr"), { Write("a", "a") });
    Build(Path("two.kvr"), { Write("b", "b"), Write("c", "c") });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("one.kvr"));
    EXPECT_EQ(kc.FileCount(), 1);
    kc.SetCompressedFile(Path("ONE.kvr")); // same name: nothing happens
    EXPECT_TRUE(kc.HeadersLoaded());
    kc.SetCompressedFile(Path("one.2")); // another disk of the same set
    EXPECT_TRUE(kc.HeadersLoaded());
    kc.SetCompressedFile(Path("two.kvr"));
    EXPECT_FALSE(kc.HeadersLoaded());
    EXPECT_EQ(kc.FileCount(), 2);
}

TEST_F(ArchiveTest, FilesToProcessLosesItsBlankLines)
{
    TStringList list;
    list.SetText("a\n   \nb\n\n");
    TKvraCompress kc(nullptr);
    kc.SetFilesToProcess(&list);
    EXPECT_EQ(list.Text(), "a\r\nb\r\n");
    EXPECT_EQ(kc.FilesToProcess()->Text(), "a\r\nb\r\n");
}

// ---- Extraction rules --------------------------------------------------------------

class ExtractTest : public ArchiveTest
{
protected:
    void SetUp() override
    {
        ArchiveTest::SetUp();
        source_ = Write("src/tabulo.txt", "new contents");
        ASSERT_EQ(FileSetDate(source_, DateTimeToFileDate(EncodeDate(2005, 5, 5))), 0);
        Build(Path("e.kvr"), { source_ });
        kc_.SetCompressedFile(Path("e.kvr"));
        kc_.SetExtractDirectory(Path("dest"));
        kc_.OnStatus = [this](TKvraCompress *, const TlzhFileStats &s) { finished_ += s.Finished; };
        kc_.OnReplace = [this](TKvraCompress *, const TlzhFileStats &) { ++replaced_; };
    }
    std::string Existing(const std::string &contents, uint16_t year)
    {
        const std::string path = Write("dest/tabulo.txt", contents);
        EXPECT_EQ(FileSetDate(path, DateTimeToFileDate(EncodeDate(year, 1, 1))), 0);
        return path;
    }
    void Extract()
    {
        kc_.FilesToProcess()->Add(source_);
        kc_.ExtractFiles();
    }

    TKvraCompress kc_ { nullptr };
    std::string source_;
    int finished_ = 0, replaced_ = 0;
};

TEST_F(ExtractTest, OverwriteRulesDecideAboutAnExistingTarget)
{
    struct Row {
        const char *what;
        TOverwriteType mode;
        uint16_t existingYear;
        bool replaced;
    };
    const Row rows[] = {
        { "always", owAlways, 2010, true },
        { "never", owNever, 2000, false },
        { "date, target older", owDate, 2000, true },
        { "date, target newer", owDate, 2010, false },
        { "version equal (none) counts as kept", owVersion, 2000, false },
        { "version equal, then date", owVersionDate, 2000, true },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string target = Existing("old contents", row.existingYear);
        finished_ = replaced_ = 0;
        kc_.SetOverwrite(row.mode);
        Extract();
        EXPECT_EQ(Read(target), row.replaced ? "new contents" : "old contents");
        EXPECT_EQ(replaced_, row.replaced ? 1 : 0);
        EXPECT_EQ(finished_, 1); // a kept file is reported finished too
    }
}

TEST_F(ExtractTest, ExtractsUnderTheNameAHandlerGives)
{
    kc_.OnBeforeExtracting = [](TKvraCompress *kc, const TlzhFileStats &s) {
        EXPECT_EQ(kc->TargetName(), "tabulo.txt");
        EXPECT_EQ(s.UncompressedSize, 12);
        kc->SetTargetName("..\\..\\renamed.txt"); // only the name part counts
    };
    Extract();
    EXPECT_EQ(Read(Path("dest/renamed.txt")), "new contents");
    EXPECT_EQ(kc_.TargetName(), "");
}

TEST_F(ExtractTest, ExtractionMessages)
{
    struct Row {
        const char *what;
        std::function<void()> act;
        std::string message;
    };
    const Row rows[] = {
        { "unknown file",
            [&] {
                kc_.FilesToProcess()->Add("nothere.txt");
                kc_.ExtractFiles();
            },
            Format("The file <nothere.txt> was not found in the archive <%s>", Path("e.kvr")) },
        { "comparison fails",
            [&] {
                Existing("old", 2000);
                kc_.SetOverwrite(static_cast<TOverwriteType>(9));
                Extract();
            },
            "Error comparing file versions in TKvraCompress" },
        { "archive missing",
            [&] {
                kc_.SetCompressedFile(Path("missing.kvr"));
                Extract();
            },
            Format("Cannot open the compressed file %s", Path("missing.kvr")) },
        { "target cannot be created",
            [&] {
                kc_.SetOverwrite(owAlways);
                kc_.SetCompressedFile(Path("e.kvr"));
                Write("blocked", "a file where a folder should be");
                kc_.SetExtractDirectory(Path("blocked"));
                Extract();
            },
            Format("Cannot create the file %s", Path("blocked") + "\\tabulo.txt") },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        try {
            row.act();
            ADD_FAILURE() << "no exception";
        } catch (const EKvraCompress &e) {
            EXPECT_EQ(e.Message(), row.message);
        }
        EXPECT_TRUE(kc_.Abort());
        EXPECT_EQ(kc_.FilesToProcess()->Count(), 0);
    }
}

// ---- Progress and cancelling ------------------------------------------------------

TEST_F(ArchiveTest, ProgressReachesTheWholeFile)
{
    const std::string a = Write("a.bin", RandomBytes(300000, 5)), b = Write("b.bin", RandomBytes(200000, 6));
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("p.kvr"));
    kc.FilesToProcess()->Add(a);
    kc.FilesToProcess()->Add(b);
    int before = 0, after = 0;
    TlzhFileStats last;
    kc.OnBeforeAdding = [&](TKvraCompress *, const TlzhFileStats &s) {
        ++before;
        EXPECT_EQ(s.CompressedSize, 0);
    };
    kc.OnAfterAdding = [&](TKvraCompress *, const TlzhFileStats &s) {
        ++after;
        EXPECT_EQ(s.FileBytesDone, s.UncompressedSize);
        EXPECT_EQ(s.FilePercent, 100);
    };
    kc.OnStatus = [&](TKvraCompress *, const TlzhFileStats &s) { last = s; };
    kc.ArchiveFiles(false, 0);
    EXPECT_EQ(before, 2);
    EXPECT_EQ(after, 2);
    EXPECT_TRUE(last.Finished);
    EXPECT_EQ(last.OverallBytesDone, 500000);
    EXPECT_EQ(last.OverallPercent, 100);
    EXPECT_EQ(last.TotalUncompressed, 500000);
    EXPECT_GE(last.Ratio, 100); // random data does not shrink

    kc.SetExtractDirectory(Path("out"));
    kc.FilesToProcess()->Add(a);
    kc.FilesToProcess()->Add(b);
    kc.ExtractFiles();
    EXPECT_TRUE(last.Finished);
    EXPECT_EQ(last.OverallBytesDone, 500000);
    EXPECT_EQ(last.OverallPercent, 100);
    EXPECT_EQ(last.FileBytesDone, 200000);
}

// Extraction reports every 4,096 bytes of output, and a cancel is seen as soon
// as the next block is out.
TEST_F(ArchiveTest, ExtractionReportsEveryFourKilobytes)
{
    const std::string a = Write("forty.txt", TextBytes(40000));
    Build(Path("f.kvr"), { a });
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("f.kvr"));
    kc.SetExtractDirectory(Path("out"));
    std::vector<int32_t> steps;
    kc.OnStatus = [&](TKvraCompress *, const TlzhFileStats &s) {
        if (!s.Finished)
            steps.push_back(s.FileBytesDone);
    };
    kc.FilesToProcess()->Add(a);
    kc.ExtractFiles();
    const std::vector<int32_t> expected
        = { 4096, 8192, 12288, 16384, 20480, 24576, 28672, 32768, 36864, 40000 };
    EXPECT_EQ(steps, expected);

    kc.OnStatus = [](TKvraCompress *k, const TlzhFileStats &s) {
        EXPECT_LE(s.FileBytesDone, 4096);
        k->SetAbort(true);
    };
    DeleteFile(Path("out/forty.txt"));
    kc.FilesToProcess()->Add(a);
    kc.ExtractFiles();
    EXPECT_FALSE(Exists(Path("out/forty.txt")));

    // What the cancelled file had produced is not written into the next one.
    kc.OnStatus = {};
    kc.FilesToProcess()->Add(a);
    kc.ExtractFiles();
    EXPECT_TRUE(Read(Path("out/forty.txt")) == Read(a));
}

// Write system calls made by this thread so far.
int64_t WriteCalls()
{
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    int64_t value = 0;
    while (io >> key >> value)
        if (key == "syscw:")
            return value;
    return -1;
}

// A megabyte is 256 progress steps of 4 KiB, but goes to the disk in a few
// large writes, whether extracted or copied. The count holds every write of
// the thread, the event loop's wake-ups among them: the bound leaves room for
// those and still catches a write per step (256 extracting, 128 copying).
TEST_F(ArchiveTest, FilesAreWrittenInLargeBlocks)
{
    const std::string a = Write("mega.bin", RandomBytes(1 << 20, 9));
    Build(Path("m.kvr"), { a }, colNone);
    TKvraCompress kc(nullptr);
    int steps = 0;
    kc.OnStatus = [&](TKvraCompress *, const TlzhFileStats &) { ++steps; };
    kc.SetCompressedFile(Path("m.kvr"));
    kc.SetExtractDirectory(Path("out"));
    kc.FilesToProcess()->Add(a);
    const int64_t before = WriteCalls();
    ASSERT_GE(before, 0);
    kc.ExtractFiles();
    EXPECT_LE(WriteCalls() - before, 48);
    EXPECT_EQ(steps, 257); // every step and the end
    EXPECT_TRUE(Read(Path("out/mega.bin")) == Read(a));

    const int64_t beforeCopy = WriteCalls();
    kc.CopyFile(a, Path("copy.bin"));
    EXPECT_LE(WriteCalls() - beforeCopy, 48);
    EXPECT_TRUE(Read(Path("copy.bin")) == Read(a));
}

TEST_F(ArchiveTest, AbortFromAStatusHandlerLeavesTheFilesDoneSoFar)
{
    const std::string a = Write("a.bin", RandomBytes(200000, 1)), b = Write("b.bin", RandomBytes(200000, 2));
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("ab.kvr"));
    kc.FilesToProcess()->Add(a);
    kc.FilesToProcess()->Add(b);
    int aborted = 0;
    kc.OnAborted = [&](TObject *) { ++aborted; };
    kc.OnStatus = [&](TKvraCompress *k, const TlzhFileStats &s) {
        if (s.FileName == b)
            k->SetAbort(true);
    };
    kc.ArchiveFiles(false, 0); // the cancel is reported through OnAborted, not raised
    EXPECT_EQ(aborted, 1);
    EXPECT_EQ(kc.FilesToProcess()->Count(), 0);

    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("ab.kvr"));
    EXPECT_EQ(reader.FileCount(), 1);
    reader.SetExtractDirectory(Path("out"));
    reader.FilesToProcess()->Add(a);
    reader.ExtractFiles();
    EXPECT_TRUE(Read(Path("out/a.bin")) == Read(a));

    // Cancelling an extraction keeps the file that was there.
    Write("out/a.bin", "keep me");
    reader.OnAborted = kc.OnAborted;
    reader.OnStatus = [](TKvraCompress *k, const TlzhFileStats &) { k->SetAbort(true); };
    reader.FilesToProcess()->Add(a);
    reader.ExtractFiles();
    EXPECT_EQ(aborted, 2);
    EXPECT_EQ(Read(Path("out/a.bin")), "keep me");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host(Path("out"))), {}), 1);
}

TEST_F(ArchiveTest, EAbortFromAHandlerStopsQuietly)
{
    const std::string a = Write("a", "a");
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("q.kvr"));
    kc.FilesToProcess()->Add(a);
    kc.OnBeforeAdding = [](TKvraCompress *, const TlzhFileStats &) { Abort(); };
    EXPECT_NO_THROW(kc.ArchiveFiles(false, 0));
    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("q.kvr"));
    EXPECT_EQ(reader.FileCount(), 0);
}

TEST_F(ArchiveTest, SourceMessages)
{
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("m.kvr"));
    kc.FilesToProcess()->Add(Path("nothere.txt"));
    try {
        kc.ArchiveFiles(false, 0);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), Format("Cannot open the file %s", Path("nothere.txt")));
    }
    EXPECT_FALSE(Exists(Path("m.kvr"))); // nothing was touched

    // A source beyond the format's 32-bit sizes (a sparse file, nothing is written).
    const std::string huge = Write("huge.bin", "");
    std::filesystem::resize_file(Host(huge), uintmax_t { 1 } << 31);
    kc.FilesToProcess()->Add(huge);
    try {
        kc.ArchiveFiles(false, 0);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), Format("The file %s is too large for the archive (at most 2 GB)", huge));
    }
    EXPECT_FALSE(Exists(Path("m.kvr")));

    Write("folder-file", "x");
    kc.SetCompressedFile(Path("folder-file/m.kvr"));
    kc.FilesToProcess()->Add(Write("a", "a"));
    try {
        kc.ArchiveFiles(false, 0);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), Format("Cannot create the file %s", Path("folder-file/m.kvr")));
    }
}

} // namespace

namespace
{

// The component as a form resource configures it.
TEST(ArchiveComponent, PublishedPropertiesInTheirOrder)
{
    TKvraCompress kc(nullptr);
    std::vector<std::string> names;
    for (const TPropInfo *p : GetPropList(&kc))
        names.push_back(p->Name);
    const std::vector<std::string> expected
        = { "Abort", "CompressedFile", "CompressionLevel", "ExtractDirectory", "FilesToProcess", "Offset",
              "Overwrite", "OnAborted", "OnAfterAdding", "OnBeforeAdding", "OnAfterExtracting",
              "OnBeforeExtracting", "OnFullDisk", "OnListing", "OnNewDisk", "OnReplace", "OnStatus" };
    ASSERT_GE(names.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(names.end() - expected.size(), names.end()), expected);

    ReadComponentText(&kc,
        "object Archive: TKvraCompress\n"
        "  CompressedFile = 'C:\\dist\\files.1'\n"
        "  CompressionLevel = colFastest\n"
        "  Offset = 1000\n"
        "  Overwrite = owVersionDate\n"
        "  FilesToProcess.Strings = (\n"
        "    'tabulo.exe;Tabulo'\n"
        "    'leeme.txt')\n"
        "end\n",
        "archive.dfm");
    EXPECT_EQ(kc.CompressedFile(), "C:\\dist\\files.1");
    EXPECT_EQ(kc.CompressionLevel(), colFastest);
    EXPECT_EQ(kc.Offset(), 1000);
    EXPECT_EQ(kc.Overwrite(), owVersionDate);
    EXPECT_EQ(kc.FilesToProcess()->Count(), 2);
    EXPECT_EQ(WriteComponentText(&kc).find("Abort"), std::string::npos); // defaults are not written

    TVersionResource versions(nullptr);
    EXPECT_EQ(versions.FileName(), Application->ExeName());
    EXPECT_FALSE(versions.ReadsOtherFile());
    EXPECT_EQ(GetEnumProp(&versions, "Language"), "lnUSEnglish");
    EXPECT_EQ(GetEnumProp(&versions, "CharacterSet"), "csMultilingual");
    EXPECT_EQ(GetObjectProp(&versions, "VersionInfo"), versions.VersionInfo());
}

} // namespace
