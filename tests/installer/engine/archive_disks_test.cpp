// Spanning over disk files, full disks, and plain copies.

#include <functional>

#include "archive_support.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/system/machine.h"

namespace
{

class DiskTest : public ArchiveTest
{
protected:
    void SetUp() override
    {
        ArchiveTest::SetUp();
        for (int i = 0; i < 3; ++i)
            sources_.push_back(Write("src/part" + std::to_string(i) + ".bin", RandomBytes(12000, 100 + i)));
        Build(Path("whole.kvr"), sources_);
        std::filesystem::create_directories(Host(Path("disks")));
    }
    // Cuts whole.kvr into disk files of at most diskSize bytes.
    void Span(rlim_t diskSize, const std::string &folder, TKvraCompress &kc)
    {
        kc.SetCompressedFile(Path("whole.kvr"));
        TFileSizeLimit limit(diskSize);
        kc.CopyToDisks(folder, "files.1");
    }
    void ExtractAll(TKvraCompress &kc)
    {
        kc.SetExtractDirectory(Path("out"));
        for (const std::string &s : sources_)
            kc.FilesToProcess()->Add(s);
        kc.ExtractFiles();
        for (const std::string &s : sources_)
            EXPECT_TRUE(Read(Path("out/" + std::filesystem::path(s).filename().string())) == Read(s)) << s;
    }

    std::vector<std::string> sources_;
};

TEST_F(DiskTest, SpannedArchiveReadsBackAcrossItsDisks)
{
    Write("disks/files.9", "left over from an older set");
    Write("disks/instalar.exe", "old");
    Write("disks/setup.exe", "loader");
    TKvraCompress kc(nullptr);
    Span(16000, Path("disks"), kc);
    EXPECT_EQ(kc.Headers().MultiDisk(), false); // the loaded headers still describe whole.kvr
    EXPECT_FALSE(Exists(Path("disks/files.9")));
    EXPECT_EQ(Read(Path("disks/instalar.exe")), "loader");
    EXPECT_FALSE(Exists(Path("disks/setup.exe")));
    ASSERT_TRUE(Exists(Path("disks/files.3")));
    EXPECT_FALSE(Exists(Path("disks/files.4")));
    for (const char *disk : { "disks/files.1", "disks/files.2", "disks/files.3" })
        EXPECT_LE(std::filesystem::file_size(Host(Path(disk))), 16000u) << disk;

    const std::string first = Read(Path("disks/files.1"));
    EXPECT_EQ(Hex(first.substr(0, 5)), "03 00 00 00 01");
    EXPECT_EQ(At32(first, 5 + 124), 5 + 172); // the header table, back to back
    EXPECT_EQ(At32(first, 5 + 132), 5 + 3 * 172); // data right behind it
    EXPECT_EQ(first[5 + 140], 1); // first disk
    EXPECT_EQ(first[5 + 172 * 2 + 12], 3); // the last file ends on disk 3

    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("disks/files.1"));
    EXPECT_EQ(reader.FileCount(), 3);
    ExtractAll(reader);
}

// At each change of disk the inflater hands over a short piece, so the
// pieces no longer line up with the write blocks.
TEST_F(DiskTest, AFileOfManyBlocksReadsBackAcrossDisks)
{
    const std::string big = Write("src/big.bin", RandomBytes(300000, 11));
    Build(Path("whole.kvr"), { big });
    TKvraCompress kc(nullptr);
    Span(50000, Path("disks"), kc);
    ASSERT_TRUE(Exists(Path("disks/files.6")));
    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("disks/files.1"));
    reader.SetExtractDirectory(Path("out"));
    reader.FilesToProcess()->Add(big);
    reader.ExtractFiles();
    EXPECT_TRUE(Read(Path("out/big.bin")) == Read(big));
}

TEST_F(DiskTest, MissingDiskFile)
{
    TKvraCompress kc(nullptr);
    Span(16000, Path("disks"), kc);
    std::filesystem::create_directories(Host(Path("moved")));
    std::filesystem::rename(Host(Path("disks/files.2")), Host(Path("moved/files.2")));
    std::filesystem::rename(Host(Path("disks/files.3")), Host(Path("moved/files.3")));

    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("disks/files.1"));
    try {
        ExtractAll(reader);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), "Could not open the correct disk file 2");
    }

    std::vector<std::pair<int, std::string>> asked;
    TKvraCompress asking(nullptr);
    asking.SetCompressedFile(Path("disks/files.1"));
    asking.OnNewDisk = [&](TKvraCompress *, int disk, std::string &path) {
        asked.emplace_back(disk, path);
        path = Path("moved");
    };
    ExtractAll(asking);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, 2);
    EXPECT_EQ(asked[0].second, Path("disks"));

    int calls = 0;
    TKvraCompress lost(nullptr);
    lost.SetCompressedFile(Path("disks/files.1"));
    lost.OnNewDisk = [&](TKvraCompress *, int, std::string &path) {
        ++calls;
        path = Path("nowhere");
    };
    try {
        ExtractAll(lost);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), Format("Cannot open the compressed file %s", Path("nowhere") + "\\files.2"));
    }
    EXPECT_EQ(calls, 4);
}

TEST_F(DiskTest, FloppyDrivesAskForEachNewDisk)
{
    const std::string floppy = Machine().DriveFolder('A');
    std::filesystem::create_directories(floppy);
    TKvraCompress kc(nullptr);
    try {
        Span(16000, "A:\\", kc);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(),
            "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
    }
    EXPECT_TRUE(kc.Abort());

    std::vector<int> disks;
    kc.OnNewDisk = [&](TKvraCompress *, int disk, std::string &path) {
        disks.push_back(disk);
        EXPECT_EQ(path, "A:\\");
    };
    Span(16000, "A:\\", kc);
    EXPECT_EQ(disks, (std::vector<int> { 2, 3 }));
    TKvraCompress reader(nullptr);
    reader.SetCompressedFile("A:\\files.1");
    ExtractAll(reader);
}

TEST_F(DiskTest, DiskCopyMessages)
{
    TKvraCompress kc(nullptr);
    try {
        Span(5000, Path("disks"), kc); // a chunk's rest does not fit a fresh disk
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), "There is too little space on this disk to operate");
    }

    Write("disks/files.1", Read(Path("whole.kvr")));
    TKvraCompress inPlace(nullptr);
    inPlace.SetCompressedFile(Path("disks/files.1"));
    try {
        inPlace.CopyToDisks(Path("disks"), "files.1");
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(),
            Format("Cannot copy %s to disks in %s: the copy would replace it", Path("disks/files.1"),
                Path("disks")));
    }
    EXPECT_EQ(Read(Path("disks/files.1")), Read(Path("whole.kvr")));

    // A spanned archive is neither appended to nor spanned again.
    std::filesystem::create_directories(Host(Path("set")));
    TKvraCompress spanner(nullptr);
    Span(1 << 20, Path("set"), spanner);
    TKvraCompress spanned(nullptr);
    spanned.SetCompressedFile(Path("set/files.1"));
    spanned.FilesToProcess()->Add(sources_[0]);
    try {
        spanned.ArchiveFiles(true, 0);
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(
            e.Message(), Format("Cannot add files to %s: it is spread over disks", Path("set/files.1")));
    }
    try {
        spanned.CopyToDisks(Path("disks"), "files.1");
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(),
            Format("Cannot copy %s to disks: it is already spread over disks", Path("set/files.1")));
    }

    TKvraCompress missing(nullptr);
    missing.SetCompressedFile(Path("none.kvr"));
    try {
        missing.CopyToDisks(Path("disks"), "files.1");
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), Format("Cannot open the compressed file %s", Path("none.kvr")));
    }
}

TEST_F(DiskTest, AbortDuringTheDiskCopy)
{
    TKvraCompress kc(nullptr);
    int aborted = 0;
    kc.OnAborted = [&](TObject *) { ++aborted; };
    kc.OnStatus = [](TKvraCompress *k, const TlzhFileStats &s) {
        if (s.OverallBytesDone > 10000)
            k->SetAbort(true);
    };
    kc.SetCompressedFile(Path("whole.kvr"));
    kc.CopyToDisks(Path("disks"), "files.1");
    EXPECT_EQ(aborted, 1);
}

// ---- Full disks ------------------------------------------------------------------

TEST_F(DiskTest, FullDiskWhileExtracting)
{
    const std::string big = Write("src/big.bin", RandomBytes(300000, 7));
    Build(Path("big.kvr"), { big });
    Write("out/big.bin", "the old file");
    auto extract = [&](TKvraCompress &kc) {
        kc.SetCompressedFile(Path("big.kvr"));
        kc.SetExtractDirectory(Path("out"));
        kc.FilesToProcess()->Add(big);
        kc.ExtractFiles();
    };

    TKvraCompress plain(nullptr);
    {
        TFileSizeLimit limit(100000);
        try {
            extract(plain);
            FAIL();
        } catch (const EkcDiskFull &e) {
            EXPECT_EQ(e.Message(), "The disk is full");
        }
    }
    EXPECT_EQ(Read(Path("out/big.bin")), "the old file");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host(Path("out"))), {}), 1);

    TKvraCompress stubborn(nullptr);
    int full = 0;
    stubborn.OnFullDisk = [&](TObject *) { ++full; };
    {
        TFileSizeLimit limit(100000);
        EXPECT_THROW(extract(stubborn), EkcDiskFull); // the retry is short too
    }
    EXPECT_EQ(full, 1);
    EXPECT_EQ(Read(Path("out/big.bin")), "the old file");

    TKvraCompress freeing(nullptr);
    full = 0;
    {
        TFileSizeLimit limit(100000);
        freeing.OnFullDisk = [&](TObject *) {
            ++full;
            limit.Lift();
        };
        extract(freeing);
    }
    EXPECT_EQ(full, 1);
    EXPECT_TRUE(Read(Path("out/big.bin")) == Read(big));
}

TEST_F(DiskTest, FullDiskWhileBuildingKeepsTheFilesDone)
{
    const std::string small = Write("src/small.txt", TextBytes(5000));
    const std::string big = Write("src/big.bin", RandomBytes(300000, 8));
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Path("full.kvr"));
    kc.FilesToProcess()->Add(small);
    kc.FilesToProcess()->Add(big);
    {
        TFileSizeLimit limit(100000);
        EXPECT_THROW(kc.ArchiveFiles(false, 0), EkcDiskFull);
    }
    EXPECT_EQ(kc.Headers().Count(), 1);
    TKvraCompress reader(nullptr);
    reader.SetCompressedFile(Path("full.kvr"));
    EXPECT_EQ(reader.FileCount(), 1);
    reader.SetExtractDirectory(Path("out"));
    reader.FilesToProcess()->Add(small);
    reader.ExtractFiles();
    EXPECT_EQ(Read(Path("out/small.txt")), Read(small));
}

// A disk that fills before the file's first block is out fails the file at
// its last write, as surely as one that fills in the middle.
TEST_F(DiskTest, FullDiskAtTheLastWriteOfAFile)
{
    const std::string small = Write("src/small.bin", RandomBytes(50000, 9));
    Build(Path("small.kvr"), { small });
    struct Row {
        const char *what;
        std::function<void(TKvraCompress &, const std::string &dest)> run;
    };
    const Row rows[] = {
        { "extracting a file smaller than a block",
            [&](TKvraCompress &kc, const std::string &) {
                kc.SetCompressedFile(Path("small.kvr"));
                kc.SetExtractDirectory(Path("out"));
                kc.FilesToProcess()->Add(small);
                kc.ExtractFiles();
            } },
        { "copying a file smaller than a block",
            [&](TKvraCompress &kc, const std::string &dest) { kc.CopyFile(small, dest); } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(Host(Path("out")));
        const std::string dest = Write("out/small.bin", "the old file");
        TKvraCompress kc(nullptr);
        try {
            TFileSizeLimit limit(20000);
            row.run(kc, dest);
            ADD_FAILURE() << "no fault";
        } catch (const EkcDiskFull &e) {
            EXPECT_EQ(e.Message(), "The disk is full");
        }
        EXPECT_EQ(Read(dest), "the old file");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host(Path("out"))), {}), 1);
    }
}

// ---- Plain copies ---------------------------------------------------------------

TEST_F(DiskTest, CopyFileCopiesContentsAndDate)
{
    const std::string source = Write("src/c.bin", RandomBytes(50000, 3));
    ASSERT_EQ(FileSetDate(source, DateTimeToFileDate(EncodeDate(2004, 4, 4))), 0);
    std::filesystem::create_directories(Host(Path("copy")));
    TKvraCompress kc(nullptr);
    kc.SetOffset(1000);
    TlzhFileStats last;
    int events = 0;
    kc.OnStatus = [&](TKvraCompress *, const TlzhFileStats &s) {
        last = s;
        ++events;
    };
    kc.CopyFile(source, Path("copy/c.bin"));
    EXPECT_TRUE(Read(Path("copy/c.bin")) == Read(source));
    EXPECT_EQ(FileAge(Path("copy/c.bin")), FileAge(source));
    EXPECT_EQ(kc.Offset(), 1000);
    EXPECT_EQ(kc.ExtractDirectory(), Path("copy"));
    EXPECT_EQ(kc.TargetName(), "");
    EXPECT_TRUE(last.Finished);
    EXPECT_EQ(last.FileBytesDone, 50000);
    EXPECT_EQ(last.FilePercent, 100);
    EXPECT_EQ(events, 8); // seven blocks of 8192 bytes and the end
}

TEST_F(DiskTest, CopyFileKeepsOrReplacesByTheRule)
{
    const std::string source = Write("src/c.txt", "new");
    const std::string dest = Write("copy/c.txt", "old");
    TKvraCompress kc(nullptr);
    int replaced = 0;
    kc.OnReplace = [&](TKvraCompress *, const TlzhFileStats &) { ++replaced; };
    kc.SetOverwrite(owNever);
    kc.CopyFile(source, dest);
    EXPECT_EQ(Read(dest), "old");
    kc.SetOverwrite(owAlways);
    kc.CopyFile(source, dest);
    EXPECT_EQ(Read(dest), "new");
    EXPECT_EQ(replaced, 1);
}

TEST_F(DiskTest, CancelledCopyLeavesNothingHalfWritten)
{
    const std::string source = Write("src/c.bin", RandomBytes(100000, 4));
    const std::string dest = Write("copy/c.bin", "the old file");
    TKvraCompress kc(nullptr);
    kc.OnStatus = [](TKvraCompress *k, const TlzhFileStats &s) {
        if (s.FileBytesDone >= 16384)
            k->SetAbort(true);
    };
    try {
        kc.CopyFile(source, dest);
        FAIL();
    } catch (const EkcAborted &e) {
        EXPECT_EQ(e.Message(), "Operation aborted by user");
    }
    EXPECT_EQ(Read(dest), "the old file");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host(Path("copy"))), {}), 1);

    try {
        kc.CopyFile(Path("src/none"), Path("copy/none"));
        FAIL();
    } catch (const EKvraCompress &e) {
        EXPECT_EQ(e.Message(), Format("Cannot open the file %s", Path("src/none")));
    }
}

} // namespace
