#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    for (const Case &c : { Case { root_ + "/drive_c/Program Files/ORVEX/tabulo", "C:\\Program Files\\ORVEX\\tabulo" },
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
