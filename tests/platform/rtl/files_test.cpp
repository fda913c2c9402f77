#include "platform/rtl/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/streams.h"

namespace fs = std::filesystem;

namespace
{

// A fresh folder inside the test machine's root for each test.
class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = std::string(std::getenv("WINROOT")) + "/files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        SetPathMapper(nullptr);
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }
    void Touch(const std::string &name, const std::string &contents = "x")
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << contents;
    }
    std::string Read(const std::string &name)
    {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string dir;
};

std::vector<std::string> Found(const std::string &mask, int attr, int *firstResult = nullptr)
{
    std::vector<std::string> names;
    TSearchRec rec;
    int result = FindFirst(mask, attr, rec);
    if (firstResult)
        *firstResult = result;
    while (result == 0) {
        names.push_back(rec.Name);
        result = FindNext(rec);
    }
    FindClose(rec);
    return names;
}

} // namespace

TEST(FileNames, SplitWindowsAndHostNames)
{
    struct Case {
        const char *name;
        std::string path, filePath, fileDir, fileName, ext, drive;
    } cases[] = {
        { "drive and folder", "C:\\Dir\\f.txt", "C:\\Dir\\", "C:\\Dir", "f.txt", ".txt", "C:" },
        { "drive-relative", "C:f", "C:", "C:", "f", "", "C:" },
        { "drive root", "C:\\", "C:\\", "C:\\", "", "", "C:" },
        { "network share", "\\\\server\\share\\x", "\\\\server\\share\\", "\\\\server\\share", "x", "",
            "\\\\server\\share" },
        { "bare share", "\\\\server\\share", "\\\\server\\", "\\\\server", "share", "", "\\\\server\\share" },
        { "forward slashes, trailing", "dir/sub/", "dir/sub/", "dir/sub", "", "", "" },
        { "mixed separators", "C:/Dir\\sub/a.b.c", "C:/Dir\\sub/", "C:/Dir\\sub", "a.b.c", ".c", "C:" },
        { "dot in a folder only", "/tmp/a.d/file", "/tmp/a.d/", "/tmp/a.d", "file", "", "" },
        { "host root", "/x", "/", "/", "x", "", "" },
        { "colon inside a host name", "/srv/a:b", "/srv/", "/srv", "a:b", "", "" },
        { "leading dot", "C:\\.profile", "C:\\", "C:\\", ".profile", ".profile", "C:" },
        { "name only", "readme", "", "", "readme", "", "" },
        { "empty", "", "", "", "", "", "" },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ExtractFilePath(c.path), c.filePath) << c.name;
        EXPECT_EQ(ExtractFileDir(c.path), c.fileDir) << c.name;
        EXPECT_EQ(ExtractFileName(c.path), c.fileName) << c.name;
        EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.name;
        EXPECT_EQ(ExtractFileDrive(c.path), c.drive) << c.name;
    }
}

TEST(FileNames, ChangeExtensionAndTrailingSeparators)
{
    struct ExtCase {
        std::string name, ext, expected;
    } extCases[] = {
        { "C:\\Dir\\setup.exe", ".1", "C:\\Dir\\setup.1" },
        { "C:\\Dir.d\\setup", ".2", "C:\\Dir.d\\setup.2" },
        { "files.tar.gz", "", "files.tar" },
        { "C:x", ".lnk", "C:x.lnk" },
    };
    for (const auto &c : extCases)
        EXPECT_EQ(ChangeFileExt(c.name, c.ext), c.expected) << c.name;

    struct SepCase {
        std::string path, included, excluded;
    } sepCases[] = {
        { "C:\\Dir", "C:\\Dir\\", "C:\\Dir" },
        { "C:\\Dir\\", "C:\\Dir\\", "C:\\Dir" },
        { "/tmp/x", "/tmp/x/", "/tmp/x" },
        { "/tmp/x/", "/tmp/x/", "/tmp/x" },
        { "C:", "C:\\", "C:" },
        { "/", "/", "/" },
        { "", "\\", "" },
    };
    for (const auto &c : sepCases) {
        EXPECT_EQ(IncludeTrailingBackslash(c.path), c.included) << c.path;
        EXPECT_EQ(ExcludeTrailingBackslash(c.path), c.excluded) << c.path;
    }
}

TEST(FileNames, ExpandResolvesDotsAgainstTheCurrentFolder)
{
    const std::string cwd = GetCurrentDir();
    struct Case {
        std::string name, expected;
    } cases[] = {
        { "C:\\Dir\\..\\f.txt", "C:\\f.txt" },
        { "C:\\a\\.\\b\\", "C:\\a\\b\\" },
        { "C:\\..\\..\\x", "C:\\x" },
        { "C:f", "C:\\f" },
        { "\\\\srv\\share\\a\\..\\b", "\\\\srv\\share\\b" },
        { "/tmp//a/../b", "/tmp/b" },
        { "sub\\f.txt", cwd + "/sub/f.txt" },
        { "./x/..", cwd },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ExpandFileName(c.name), c.expected) << c.name;
}

TEST_F(FilesTest, FindFirstMatchesMasksIgnoringCase)
{
    for (const char *name :
        { "a.txt", "B.TXT", "ab.txt", "c.doc", "files", "files.1", "files.2", ".hidden", "ñ.txt" })
        Touch(name);
    ASSERT_TRUE(CreateDir(dir + "/Sub"));
    using Names = std::vector<std::string>;
    struct Case {
        const char *name;
        std::string mask;
        int attr;
        Names expected;
    } cases[] = {
        { "everything", "*.*", faAnyFile,
            { ".hidden", "a.txt", "ab.txt", "B.TXT", "c.doc", "files", "files.1", "files.2", "Sub",
                "ñ.txt" } },
        { "ordinary files only", "*.*", 0,
            { "a.txt", "ab.txt", "B.TXT", "c.doc", "files", "files.1", "files.2", "ñ.txt" } },
        { "extension", "*.TXT", 0, { "a.txt", "ab.txt", "B.TXT", "ñ.txt" } },
        { "one character", "?.txt", 0, { "a.txt", "B.TXT", "ñ.txt" } },
        { "star ext also matches no ext", "files.*", 0, { "files", "files.1", "files.2" } },
        { "prefix", "A*", 0, { "a.txt", "ab.txt" } },
        { "folders asked for", "s*", faDirectory, { "Sub" } },
        { "folders not asked for", "s*", 0, {} },
        { "hidden asked for", ".*", faHidden, { ".hidden" } },
        { "exact name in other case", "C.DOC", 0, { "c.doc" } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(Found(dir + "\\" + c.mask, c.attr), c.expected) << c.name;

    int result = 0;
    EXPECT_TRUE(Found(dir + "/*.xyz", faAnyFile, &result).empty());
    EXPECT_EQ(result, ENOENT);
    EXPECT_TRUE(Found(dir + "/missing/*.*", faAnyFile, &result).empty());
    EXPECT_NE(result, 0);

    Touch("sized.bin", std::string(1234, 'z'));
    TSearchRec rec;
    ASSERT_EQ(FindFirst(dir + "/SIZED.BIN", faAnyFile, rec), 0);
    EXPECT_EQ(rec.Name, "sized.bin") << "the host's name, not the mask's";
    EXPECT_EQ(rec.Size, 1234);
    EXPECT_EQ(rec.Attr, faArchive);
    EXPECT_EQ(rec.Time, FileAge(dir + "/sized.bin"));
    EXPECT_EQ(FindNext(rec), ENOENT);
    FindClose(rec);
    ASSERT_EQ(FindFirst(dir + "/sub", faDirectory, rec), 0);
    EXPECT_EQ(rec.Attr, faDirectory);
    EXPECT_EQ(rec.Size, 0);
}

TEST_F(FilesTest, FileDatesRoundTripInTwoSecondSteps)
{
    Touch("dated.txt");
    const std::string name = dir + "/dated.txt";
    struct Case {
        const char *name;
        TDateTime moment;
    } cases[] = {
        { "start of DOS time", EncodeDate(1980, 1, 1) },
        { "leap day, last even second", EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 0) },
        { "after 2038", EncodeDate(2040, 7, 15) + EncodeTime(12, 0, 2, 0) },
        { "two-second step", EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 30, 0) },
    };
    for (const auto &c : cases) {
        const int age = DateTimeToFileDate(c.moment);
        ASSERT_EQ(FileSetDate(name, age), 0) << c.name;
        EXPECT_EQ(FileAge(name), age) << c.name;
        EXPECT_DOUBLE_EQ(FileDateToDateTime(FileAge(name)), c.moment) << c.name;
    }

    const int age = DateTimeToFileDate(EncodeDate(2001, 9, 8) + EncodeTime(7, 6, 4, 0));
    const int handle = FileOpen(name, fmOpenReadWrite);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(FileSetDate(handle, age), 0);
    EXPECT_EQ(FileGetDate(handle), age);
    FileClose(handle);
    EXPECT_EQ(FileAge(name), age);

    EXPECT_EQ(FileSetDate(name, 0x7FFFFFFF), EINVAL) << "a DOS date that names no real moment";
    EXPECT_EQ(FileAge(name), age) << "and the file keeps its date";
    EXPECT_EQ(FileAge(dir + "/missing.txt"), -1);
    EXPECT_EQ(FileAge(dir), -1) << "a folder has no file age";
    EXPECT_EQ(FileGetDate(-1), -1);
}

TEST_F(FilesTest, ForceDirectoriesCreatesEveryMissingLevel)
{
    EXPECT_TRUE(ForceDirectories(dir + "\\one\\two\\three\\"));
    EXPECT_TRUE(DirectoryExists(dir + "/one/two/three"));
    EXPECT_TRUE(ForceDirectories(dir + "/one/two")) << "an existing folder is fine";

    Touch("plain");
    EXPECT_FALSE(ForceDirectories(dir + "/plain/below")) << "a file in the way";
    EXPECT_FALSE(DirectoryExists(dir + "/plain/below"));
    EXPECT_FALSE(ForceDirectories(dir + "/plain/below/deeper")) << "a file in the way further up";
    EXPECT_TRUE(ForceDirectories(dir + "/one/two/four/five"));
    EXPECT_TRUE(DirectoryExists(dir + "/one/two/four/five"));

    try {
        ForceDirectories("");
        ADD_FAILURE() << "no error for an empty path";
    } catch (const EInOutError &e) {
        EXPECT_EQ(e.Message(), "Unable to create directory");
    }

    EXPECT_FALSE(CreateDir(dir + "/one")) << "CreateDir makes one new folder only";
    EXPECT_FALSE(RemoveDir(dir + "/one")) << "not empty";
    EXPECT_TRUE(RemoveDir(dir + "/one/two/three"));
    EXPECT_FALSE(DirectoryExists(dir + "/one/two/three"));
}

TEST_F(FilesTest, RenameAndDeleteNeverDestroyAnotherFile)
{
    Touch("old.txt", "old");
    Touch("taken.txt", "keep me");
    EXPECT_FALSE(RenameFile(dir + "/old.txt", dir + "/taken.txt"));
    EXPECT_EQ(Read("taken.txt"), "keep me");
    EXPECT_TRUE(RenameFile(dir + "/old.txt", dir + "/new.txt"));
    EXPECT_FALSE(FileExists(dir + "/old.txt"));
    EXPECT_EQ(Read("new.txt"), "old");
    EXPECT_FALSE(RenameFile(dir + "/absent.txt", dir + "/absent2.txt"));

    ASSERT_TRUE(CreateDir(dir + "/folder"));
    EXPECT_FALSE(DeleteFile(dir + "/folder"));
    EXPECT_TRUE(DirectoryExists(dir + "/folder"));
    EXPECT_FALSE(FileExists(dir + "/folder")) << "a folder is not a file";
    EXPECT_TRUE(DeleteFile(dir + "/new.txt"));
    EXPECT_FALSE(DeleteFile(dir + "/new.txt"));
}

TEST_F(FilesTest, CopyFileKeepsDateAndRespectsAnExistingTarget)
{
    Touch("src.exe", "program");
    const int age = DateTimeToFileDate(EncodeDate(1997, 5, 6) + EncodeTime(8, 9, 10, 0));
    ASSERT_EQ(FileSetDate(dir + "/src.exe", age), 0);

    EXPECT_TRUE(CopyFile(dir + "/src.exe", dir + "/copy.exe", true));
    EXPECT_EQ(Read("copy.exe"), "program");
    EXPECT_EQ(FileAge(dir + "/copy.exe"), age);

    Touch("busy.exe", "older");
    EXPECT_FALSE(CopyFile(dir + "/src.exe", dir + "/busy.exe", true));
    EXPECT_EQ(Read("busy.exe"), "older");
    EXPECT_TRUE(CopyFile(dir + "/src.exe", dir + "/busy.exe", false));
    EXPECT_EQ(Read("busy.exe"), "program");

    EXPECT_TRUE(CopyFile(dir + "/src.exe", dir + "/src.exe", false)) << "a file copied onto itself survives";
    EXPECT_EQ(Read("src.exe"), "program");
    EXPECT_FALSE(CopyFile(dir + "/none.exe", dir + "/busy.exe", false));
    EXPECT_EQ(Read("busy.exe"), "program");
    EXPECT_FALSE(CopyFile(dir + "/src.exe", dir + "/no-dir/x.exe", false));

    EXPECT_EQ(
        Found(dir + "/*.*", faAnyFile), (std::vector<std::string> { "busy.exe", "copy.exe", "src.exe" }))
        << "no temporary file is left behind";
}

TEST_F(FilesTest, AttributesFollowTheHost)
{
    Touch("file.txt");
    Touch(".dot");
    ASSERT_TRUE(CreateDir(dir + "/folder"));
    EXPECT_EQ(FileGetAttr(dir + "/file.txt"), faArchive);
    EXPECT_EQ(FileGetAttr(dir + "/.dot"), faArchive | faHidden);
    EXPECT_EQ(FileGetAttr(dir + "/folder"), faDirectory);
    EXPECT_EQ(FileGetAttr(dir + "/missing"), -1);

    EXPECT_EQ(FileSetAttr(dir + "/file.txt", faReadOnly | faArchive), 0);
    EXPECT_EQ(FileGetAttr(dir + "/file.txt"), faReadOnly | faArchive);
    struct stat st;
    ASSERT_EQ(stat((dir + "/file.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u) << "nobody may write a read-only file";
    EXPECT_EQ(FileSetAttr(dir + "/file.txt", 0), 0);
    EXPECT_EQ(FileGetAttr(dir + "/file.txt"), faArchive);
    EXPECT_EQ(FileSetAttr(dir + "/missing", 0), ENOENT);

    EXPECT_EQ(FileSize(dir + "/file.txt"), 1);
    EXPECT_EQ(FileSize(dir + "/folder"), -1);
}

TEST_F(FilesTest, HandlesRefuseFoldersAndReportFailures)
{
    const int handle = FileCreate(dir + "/h.bin");
    ASSERT_GE(handle, 0);
    EXPECT_EQ(FileWrite(handle, "0123456789", 10), 10);
    EXPECT_EQ(FileSeek(handle, -1, 2), 9);
    EXPECT_EQ(FileSeek(handle, 0, 7), -1) << "no such origin";
    FileClose(handle);

    EXPECT_EQ(FileOpen(dir, fmOpenRead), -1) << "a folder is not a file";
    EXPECT_EQ(errno, EISDIR);
    const int full = FileOpen("/dev/full", fmOpenWrite);
    ASSERT_GE(full, 0);
    EXPECT_EQ(FileWrite(full, "x", 1), -1);
    FileClose(full);
}

TEST_F(FilesTest, EveryRoutineGoesThroughThePathMapper)
{
    // "Q:" is this folder; names keep the case the caller wrote.
    int calls = 0;
    const std::string root = dir;
    const std::string startFolder = GetCurrentDir();
    SetPathMapper([&calls, root](std::string_view path, TPathFound *) {
        ++calls;
        std::string host(path);
        if (host.size() >= 2 && (host[0] == 'Q' || host[0] == 'q') && host[1] == ':')
            host = root + host.substr(2);
        for (char &c : host)
            if (c == '\\')
                c = '/';
        return host;
    });

    EXPECT_TRUE(ForceDirectories("Q:\\Program Files\\ORVEX"));
    EXPECT_EQ(calls, 1) << "a path is mapped once per call";
    EXPECT_TRUE(fs::is_directory(root + "/Program Files/ORVEX"));
    {
        TFileStream file("Q:\\Program Files\\ORVEX\\tabulo.ini", fmCreate);
        file.WriteBuffer("[x]", 3);
    }
    EXPECT_TRUE(FileExists("q:\\Program Files\\ORVEX\\tabulo.ini"));
    EXPECT_TRUE(DirectoryExists("Q:/Program Files"));
    EXPECT_EQ(Found("Q:\\Program Files\\ORVEX\\*.INI", 0), (std::vector<std::string> { "tabulo.ini" }));
    EXPECT_TRUE(RenameFile("Q:\\Program Files\\ORVEX\\tabulo.ini", "Q:\\Program Files\\ORVEX\\tabulo.bak"));
    EXPECT_TRUE(CopyFile("Q:\\Program Files\\ORVEX\\tabulo.bak", "Q:\\copy.ini", true));
    EXPECT_EQ(Read("copy.ini"), "[x]");
    EXPECT_GT(FileAge("Q:\\copy.ini"), 0);
    EXPECT_EQ(FileSetAttr("Q:\\copy.ini", faReadOnly), 0);
    EXPECT_EQ(FileGetAttr("Q:\\copy.ini") & faReadOnly, faReadOnly);
    EXPECT_TRUE(DeleteFile("Q:\\copy.ini"));
    EXPECT_TRUE(SetCurrentDir("Q:\\Program Files"));
    EXPECT_EQ(fs::current_path(), fs::path(root + "/Program Files"));
    EXPECT_TRUE(SetCurrentDir(startFolder)) << "a host path maps to itself here";
}

namespace
{

void Interrupted(int) { }

} // namespace

// A signal that arrives while a transfer blocks makes the host stop short
// (EINTR, or a partial count); the routines carry on until every byte moved.
TEST(FileHandles, SignalsDoNotCutTransfersShort)
{
    struct sigaction action = {}, saved = {};
    action.sa_handler = Interrupted; // no SA_RESTART: the host gives up the call
    sigaction(SIGUSR1, &action, &saved);
    const pthread_t self = pthread_self();

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pthread_kill(self, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        FileWrite(fds[1], "abc", 3);
    });
    char small[3];
    EXPECT_EQ(FileRead(fds[0], small, 3), 3) << "an interrupted read resumes";
    writer.join();

    std::string big(1024 * 1024, 'q');
    std::string received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pthread_kill(self, SIGUSR1);
        std::vector<char> chunk(65536);
        while (received.size() < big.size()) {
            const int64_t n = FileRead(fds[0], chunk.data(), static_cast<int64_t>(chunk.size()));
            if (n <= 0)
                break;
            received.append(chunk.data(), static_cast<size_t>(n));
        }
    });
    EXPECT_EQ(
        FileWrite(fds[1], big.data(), static_cast<int64_t>(big.size())), static_cast<int64_t>(big.size()))
        << "a write cut short by a signal goes on with the rest";
    reader.join();
    EXPECT_EQ(received, big);

    FileClose(fds[0]);
    FileClose(fds[1]);
    sigaction(SIGUSR1, &saved, nullptr);
}
