#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/system/windows.h"

namespace fs = std::filesystem;

namespace
{

class ApiRoutines : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/api-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    static void SetNtVersion(const std::string &version)
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false));
        reg.WriteString("CurrentVersion", version);
    }
};

struct VersionCase {
    const char *Name;
    unsigned Platform, Major, Minor;
    int Class;
};

class WindowsVersionClass : public ::testing::TestWithParam<VersionCase>
{
};

TEST_P(WindowsVersionClass, FollowsPlatformAndVersion)
{
    const VersionCase &c = GetParam();
    EXPECT_EQ(ClassifyWindowsVersion(c.Platform, c.Major, c.Minor), c.Class);
}

INSTANTIATE_TEST_SUITE_P(Versions, WindowsVersionClass,
    ::testing::Values(VersionCase { "Win32s", 0, 3, 11, 0 }, VersionCase { "Windows95", 1, 4, 0, 1 },
        VersionCase { "Windows98", 1, 4, 10, 1 }, VersionCase { "Nt351", 2, 3, 51, 3 },
        VersionCase { "Nt350", 2, 3, 50, 3 }, VersionCase { "Nt40", 2, 4, 0, 2 },
        VersionCase { "Xp", 2, 5, 1, 2 }, VersionCase { "Nt310", 2, 3, 10, 2 },
        VersionCase { "Unknown", 3, 1, 0, 4 }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(ApiRoutines, WindowsVersionOfTheMachine)
{
    EXPECT_EQ(GetWindowsVersion(), 2);
    SetNtVersion("3.51");
    EXPECT_EQ(GetWindowsVersion(), 3);
    SetNtVersion("4.0");
    EXPECT_EQ(GetWindowsVersion(), 2);
    SetNtVersion("");
    try {
        GetWindowsVersion();
        FAIL();
    } catch (const EAPIRoutines &e) {
        EXPECT_EQ(e.Message(), "Could not get information about the current version of Windows");
    }
}

TEST_F(ApiRoutines, TemporaryFilesAreCreatedAndKept)
{
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        const std::string name = MakeTempFileName();
        EXPECT_TRUE(name.starts_with("C:\\WINDOWS\\TEMP\\bat")) << name;
        EXPECT_TRUE(fs::is_regular_file(MapPath(name))) << name;
        EXPECT_TRUE(names.insert(name).second) << "given twice: " << name;
    }
    const std::string batch = MakeTempFileName(".bat");
    EXPECT_TRUE(batch.ends_with(".bat")) << batch;
    EXPECT_TRUE(fs::is_regular_file(MapPath(batch)));
    EXPECT_FALSE(fs::exists(MapPath(batch.substr(0, batch.size() - 4) + ".TMP")));

    fs::remove_all(MapPath("C:\\WINDOWS\\TEMP"));
    try {
        MakeTempFileName();
        FAIL();
    } catch (const EAPIRoutines &e) {
        EXPECT_EQ(e.Message(), "Cannot create a temporary file");
    }
}

TEST_F(ApiRoutines, FoldersAndShortNames)
{
    EXPECT_EQ(GetWindowsDir(), "C:\\WINDOWS");
    EXPECT_EQ(GetSystemDir(), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(ShortPathName("C:\\WINDOWS\\SYSTEM32"), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(ShortPathName("C:\\WINDOWS\\missing.dll"), "");
    std::string deep = "C:\\WINDOWS";
    for (int i = 0; i < 4; ++i)
        deep += "\\" + std::string(99, 'd');
    fs::create_directories(MapPath(deep));
    EXPECT_EQ(ShortPathName(deep), ""); // longer than 400 characters
}

} // namespace
