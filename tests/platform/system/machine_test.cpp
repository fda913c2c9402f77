#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"

namespace fs = std::filesystem;

namespace
{

class MachineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = std::string(std::getenv("WINROOT")) + "/"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        OpenMachine(root_);
    }
    std::string root_;
};

TEST_F(MachineTest, NewRootIsSeededWithDrivesAndStandardFolders)
{
    for (const char *folder : { "drive_c/WINDOWS/SYSTEM32", "drive_c/WINDOWS/TEMP",
             "drive_c/Program Files/Common Files", "drive_a", "registry" })
        EXPECT_TRUE(fs::is_directory(root_ + "/" + folder)) << folder;
    EXPECT_TRUE(fs::is_regular_file(root_ + "/registry/HKEY_LOCAL_MACHINE.reg"));
    EXPECT_TRUE(fs::is_regular_file(root_ + "/registry/HKEY_CURRENT_USER.reg"));
}

TEST_F(MachineTest, ReopeningKeepsWhatIsThere)
{
    std::ofstream(root_ + "/drive_c/kept.txt") << "x";
    OpenMachine(root_);
    EXPECT_TRUE(fs::exists(root_ + "/drive_c/kept.txt"));
}

struct MapCase {
    const char *Name;
    const char *Path;
    const char *Host; // "@" stands for the machine root
};

class PathMapping : public MachineTest, public ::testing::WithParamInterface<MapCase>
{
};

TEST_P(PathMapping, MapsWindowsPathsIntoTheRoot)
{
    fs::create_directories(root_ + "/drive_c/Program Files/ORVEX Tabulo");
    fs::create_directories(root_ + "/drive_d");
    std::string expected = GetParam().Host;
    if (expected.starts_with('@'))
        expected = root_ + expected.substr(1);
    EXPECT_EQ(Machine().HostPath(GetParam().Path), expected);
    EXPECT_EQ(MapPath(GetParam().Path), expected); // the machine's mapper is installed
}

INSTANTIATE_TEST_SUITE_P(Paths, PathMapping,
    ::testing::Values(MapCase { "Drive", "C:\\Program Files\\ORVEX Tabulo\\tabulo.exe",
                          "@/drive_c/Program Files/ORVEX Tabulo/tabulo.exe" },
        MapCase {
            "LowerDriveAndSlashes", "c:/program files/orvex tabulo", "@/drive_c/Program Files/ORVEX Tabulo" },
        MapCase { "ExistingCaseWinsNewCaseKept", "C:\\PROGRAM FILES\\New Folder\\X.TXT",
            "@/drive_c/Program Files/New Folder/X.TXT" },
        MapCase { "DriveRoot", "C:\\", "@/drive_c/" }, MapCase { "BareDrive", "D:", "@/drive_d" },
        MapCase { "Floppy", "A:\\files.1", "@/drive_a/files.1" },
        MapCase { "TrailingSeparatorKept", "C:\\WINDOWS\\TEMP\\", "@/drive_c/WINDOWS/TEMP/" },
        MapCase { "DotsResolved", "C:\\WINDOWS\\.\\SYSTEM32\\..\\TEMP", "@/drive_c/WINDOWS/TEMP" },
        MapCase { "DotsStopAtTheDriveRoot", "C:\\..\\..\\..\\etc\\passwd", "@/drive_c/etc/passwd" },
        MapCase { "RootedWithoutDriveIsOnC", "\\WINDOWS", "@/drive_c/WINDOWS" },
        MapCase { "HostDriveZ", "Z:\\tmp", "/tmp" }, MapCase { "HostRootZ", "Z:\\", "/" },
        MapCase { "HostPathPassesThrough", "/usr/Share/../x", "/usr/Share/../x" },
        MapCase { "HostPathJoinedWithBackslash", "/tmp/Out\\a.txt", "/tmp/Out/a.txt" },
        MapCase { "Empty", "", "" }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(MachineTest, CaseVariantsOnTheHostPreferTheExactName)
{
    fs::create_directories(root_ + "/drive_c/data/Beta");
    fs::create_directories(root_ + "/drive_c/data/beta");
    EXPECT_EQ(Machine().HostPath("C:\\data\\beta"), root_ + "/drive_c/data/beta");
    EXPECT_EQ(Machine().HostPath("C:\\data\\BETA"), root_ + "/drive_c/data/Beta"); // first in name order
}

// The names a search of mask finds, each followed by ';'.
std::string Found(const std::string &mask)
{
    std::string names;
    TSearchRec rec;
    if (FindFirst(mask, faAnyFile, rec) == 0) {
        do
            names += rec.Name + ";";
        while (FindNext(rec) == 0);
        FindClose(rec);
    }
    return names;
}

// What the mapping learns about a folder is kept only while nobody changes
// the folder: a file another program makes after a look-up is found under
// any case, whether the folder had just changed or not for a while.
TEST_F(MachineTest, AFileAnotherProgramMakesAfterALookUpIsSeen)
{
    for (const bool settled : { false, true }) {
        const std::string folder = root_ + "/drive_c/Datos" + (settled ? "Viejos" : "Nuevos");
        fs::create_directories(folder);
        std::ofstream(folder + "/Otro.txt") << "x";
        if (settled)
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        const std::string windows = std::string("C:\\datos") + (settled ? "viejos" : "nuevos");
        EXPECT_EQ(Machine().HostPath(windows + "\\informe.txt"), folder + "/informe.txt") << settled;
        std::ofstream(folder + "/INFORME.TXT") << "made elsewhere";
        EXPECT_EQ(Machine().HostPath(windows + "\\informe.txt"), folder + "/INFORME.TXT") << settled;
        EXPECT_TRUE(FileExists(windows + "\\Informe.Txt")) << settled;
        // A search answers from the same listing, so it must see the file too.
        EXPECT_EQ(Found(windows + "\\inf*"), "INFORME.TXT;") << settled;
        // And one it removes is gone for the mapping too.
        fs::remove(folder + "/INFORME.TXT");
        EXPECT_EQ(Machine().HostPath(windows + "\\informe.txt"), folder + "/informe.txt") << settled;
        EXPECT_FALSE(FileExists(windows + "\\INFORME.TXT")) << settled;
        EXPECT_EQ(Found(windows + "\\inf*"), "") << settled;
        std::ofstream(folder + "/Informe2.txt") << "made elsewhere again";
        EXPECT_EQ(Found(windows + "\\inf*"), "Informe2.txt;") << settled;
    }
}

// A kept listing belongs to the folder, not to its name: a folder moved away
// takes its files along, one made in its place starts empty, and files
// made and removed inside it by anyone show under every case.
TEST_F(MachineTest, FoldersMovedOrReplacedAreListedAnew)
{
    const std::string base = root_ + "/drive_c/Obras";
    fs::create_directories(base + "/Actual");
    std::ofstream(base + "/Actual/Plano.txt") << "1";
    EXPECT_EQ(Machine().HostPath("C:\\obras\\actual\\PLANO.TXT"), base + "/Actual/Plano.txt");
    EXPECT_EQ(Machine().HostPath("C:\\obras\\actual\\nuevo.txt"), base + "/Actual/nuevo.txt");

    fs::rename(base + "/Actual", base + "/Viejo");
    fs::create_directories(base + "/Actual");
    std::ofstream(base + "/Actual/NUEVO.TXT") << "2";
    EXPECT_EQ(Machine().HostPath("C:\\obras\\actual\\plano.txt"), base + "/Actual/plano.txt");
    EXPECT_FALSE(FileExists("C:\\obras\\actual\\plano.txt"));
    EXPECT_EQ(Machine().HostPath("C:\\obras\\actual\\nuevo.txt"), base + "/Actual/NUEVO.TXT");
    EXPECT_EQ(Machine().HostPath("C:\\obras\\viejo\\plano.txt"), base + "/Viejo/Plano.txt");
    EXPECT_TRUE(FileExists("C:\\OBRAS\\VIEJO\\plano.txt"));

    // Many changes between two look-ups, renames among them.
    for (int i = 0; i < 300; ++i)
        std::ofstream(base + "/Viejo/Hoja" + std::to_string(i) + ".TXT") << i;
    for (int i = 0; i < 300; i += 2)
        fs::rename(base + "/Viejo/Hoja" + std::to_string(i) + ".TXT",
            base + "/Viejo/hecha" + std::to_string(i) + ".txt");
    fs::remove(base + "/Viejo/Plano.txt");
    EXPECT_FALSE(FileExists("C:\\obras\\viejo\\plano.txt"));
    EXPECT_EQ(Machine().HostPath("C:\\obras\\viejo\\hoja1.txt"), base + "/Viejo/Hoja1.TXT");
    EXPECT_EQ(Machine().HostPath("C:\\obras\\viejo\\HECHA2.TXT"), base + "/Viejo/hecha2.txt");
    EXPECT_EQ(Machine().HostPath("C:\\obras\\viejo\\hoja2.txt"), base + "/Viejo/hoja2.txt");
    EXPECT_FALSE(FileExists("C:\\obras\\viejo\\hoja2.txt"));

    // A folder removed with everything in it, and made again.
    fs::remove_all(base + "/Viejo");
    EXPECT_FALSE(FileExists("C:\\obras\\viejo\\hoja1.txt"));
    EXPECT_FALSE(DirectoryExists("C:\\obras\\viejo"));
    fs::create_directories(base + "/VIEJO");
    std::ofstream(base + "/VIEJO/hoja1.txt") << "again";
    EXPECT_TRUE(FileExists("C:\\obras\\viejo\\HOJA1.TXT"));
}

// A child made by fork starts from what its parent knew, and the news of
// changes each of them reads are its own: neither misses a file.
TEST_F(MachineTest, AChildMadeByForkAndItsParentEachSeeEveryChange)
{
    const std::string folder = root_ + "/drive_c/Familia";
    fs::create_directories(folder);
    ASSERT_EQ(Machine().HostPath("C:\\familia\\uno.txt"), folder + "/uno.txt");
    const pid_t child = fork();
    if (child == 0) {
        std::ofstream(folder + "/Uno.TXT") << "1";
        const bool one = Machine().HostPath("C:\\familia\\uno.txt") == folder + "/Uno.TXT";
        std::ofstream(folder + "/Dos.TXT") << "2";
        const bool two = Machine().HostPath("C:\\familia\\dos.txt") == folder + "/Dos.TXT";
        _exit(one && two ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Machine().HostPath("C:\\familia\\uno.txt"), folder + "/Uno.TXT");
    EXPECT_EQ(Machine().HostPath("C:\\familia\\DOS.txt"), folder + "/Dos.TXT");
}

// What the look-up saw answers the existence checks: a link is followed,
// a file is no folder, and a folder under a file cannot be made.
TEST_F(MachineTest, ExistenceChecksFollowLinksAndKinds)
{
    const std::string base = root_ + "/drive_c/Enlaces";
    fs::create_directories(base + "/Carpeta");
    std::ofstream(base + "/Fichero.txt") << "x";
    fs::create_symlink(base + "/Fichero.txt", base + "/AFichero");
    fs::create_directory_symlink(base + "/Carpeta", base + "/ACarpeta");
    fs::create_symlink(base + "/Nada", base + "/Roto");
    EXPECT_TRUE(FileExists("C:\\Enlaces\\AFichero"));
    EXPECT_FALSE(DirectoryExists("C:\\Enlaces\\AFichero"));
    EXPECT_FALSE(FileExists("C:\\Enlaces\\ACarpeta"));
    EXPECT_TRUE(DirectoryExists("C:\\Enlaces\\ACarpeta"));
    EXPECT_FALSE(FileExists("C:\\Enlaces\\Roto"));
    EXPECT_TRUE(ForceDirectories("C:\\Enlaces\\ACarpeta\\Dentro\\Mas"));
    EXPECT_TRUE(fs::is_directory(base + "/Carpeta/Dentro/Mas"));
    EXPECT_FALSE(ForceDirectories("C:\\Enlaces\\fichero.txt\\Dentro"));
    EXPECT_FALSE(ForceDirectories("C:\\Enlaces\\AFichero"));
    // New folders below a folder named in another case go inside it.
    EXPECT_TRUE(ForceDirectories("C:\\ENLACES\\CARPETA\\uno\\dos"));
    EXPECT_TRUE(fs::is_directory(base + "/Carpeta/uno/dos"));
    EXPECT_FALSE(fs::exists(root_ + "/drive_c/ENLACES"));
    EXPECT_TRUE(DirectoryExists("c:\\enlaces\\carpeta\\UNO\\DOS"));
}

// Names that differ only in case are one file, in every folder of the path.
TEST_F(MachineTest, NamesDifferingOnlyInCaseAreOneFile)
{
    struct Case {
        const char *name;
        const char *written; // made through the library first
        const char *named; // then named so
    };
    const Case cases[] = {
        { "leaf", "C:\\Uno\\Carta.txt", "C:\\Uno\\CARTA.TXT" },
        { "folder", "C:\\Dos\\Carta.txt", "C:\\DOS\\Carta.txt" },
        { "both, accents included", "C:\\Año\\Índice.txt", "C:\\AÑO\\índice.TXT" },
        { "deep, new folders below", "C:\\Tres\\a\\b\\c.txt", "c:\\tres\\A\\B\\C.TXT" },
    };
    for (const Case &c : cases) {
        ForceDirectories(ExtractFileDir(c.written));
        const int first = FileCreate(c.written);
        ASSERT_GE(first, 0) << c.name;
        FileWrite(first, "1", 1);
        FileClose(first);
        const std::string host = Machine().HostPath(c.written);
        EXPECT_EQ(Machine().HostPath(c.named), host) << c.name;
        const int second = FileCreate(c.named);
        ASSERT_GE(second, 0) << c.name;
        FileWrite(second, "22", 2);
        FileClose(second);
        EXPECT_EQ(FileSize(c.written), 2) << c.name;
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(host).parent_path()), {}), 1) << c.name;
    }
}

TEST(MachineRoot, DefaultIsWinrootElseUnderHome)
{
    const std::string saved = std::getenv("WINROOT");
    EXPECT_EQ(DefaultMachineRoot(), saved);
    unsetenv("WINROOT");
    EXPECT_EQ(DefaultMachineRoot(), std::string(std::getenv("HOME")) + "/.local/share/winroot");
    setenv("WINROOT", saved.c_str(), 1);
}

} // namespace

namespace
{

TEST_F(MachineTest, HostPathsGetTheirWindowsNamesBack)
{
    struct Case {
        std::string host;
        std::string windows;
    };
    for (const Case &c :
        { Case { root_ + "/drive_c/Program Files/ORVEX/tabulo", "C:\\Program Files\\ORVEX\\tabulo" },
            Case { root_ + "/drive_a", "A:\\" }, Case { root_ + "/drive_a/setup.1", "A:\\setup.1" },
            Case { root_ + "/drive_c/../drive_d/x", "D:\\x" }, Case { root_ + "/drive_cc/x", "Z:" },
            Case { root_ + "/registry/x", "Z:" }, Case { "/usr/bin/env", "Z:\\usr\\bin\\env" } }) {
        const std::string got = Machine().WindowsPath(c.host);
        if (c.windows == "Z:")
            EXPECT_EQ(got.substr(0, 3), "Z:\\") << c.host;
        else
            EXPECT_EQ(got, c.windows) << c.host;
        if (fs::exists(c.host)) {
            EXPECT_TRUE(fs::equivalent(Machine().HostPath(got), c.host)) << c.host;
        }
    }
}

} // namespace
