#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/faults.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/system/windows.h"

namespace fs = std::filesystem;

namespace
{

class WindowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/win-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
};

struct LocaleCase {
    const char *Locale;
    uint16_t LangId;
};

class UserLanguage : public ::testing::TestWithParam<LocaleCase>
{
};

TEST_P(UserLanguage, ComesFromThePosixLocale)
{
    EXPECT_EQ(LangIdFromLocale(GetParam().Locale), GetParam().LangId) << GetParam().Locale;
}

INSTANTIATE_TEST_SUITE_P(Locales, UserLanguage,
    ::testing::Values(LocaleCase { "es_ES.UTF-8", 0x0C0A }, LocaleCase { "es_MX", 0x080A },
        LocaleCase { "es", 0x0C0A }, LocaleCase { "es_PE.UTF-8", 0x0C0A },
        LocaleCase { "pt_BR.UTF-8", 0x0416 }, LocaleCase { "pt_PT", 0x0816 },
        LocaleCase { "nl_NL.UTF-8", 0x0413 }, LocaleCase { "de_DE@euro", 0x0407 },
        LocaleCase { "zh_TW.Big5", 0x0404 }, LocaleCase { "he_IL", 0x040D }, LocaleCase { "vi_VN", 0x042A },
        LocaleCase { "C", 0x0409 }, LocaleCase { "POSIX", 0x0409 }, LocaleCase { "C.UTF-8", 0x0409 },
        LocaleCase { "sv_SE.UTF-8", 0x0409 }, LocaleCase { "", 0x0409 }));

TEST(UserLanguageEnvironment, LcAllComesBeforeLang)
{
    const char *saved = std::getenv("LANG");
    const std::string lang = saved ? saved : "";
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "pt_BR.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0416);
    setenv("LC_ALL", "es_ES.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0C0A);
    unsetenv("LC_ALL");
    if (saved)
        setenv("LANG", lang.c_str(), 1);
    else
        unsetenv("LANG");
}

TEST_F(WindowsTest, VersionComesFromTheMachinesRegistry)
{
    OSVERSIONINFO info {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionEx(info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 3");

    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false));
    reg.WriteString("CurrentVersion", "3.51");
    ASSERT_TRUE(GetVersionEx(info));
    EXPECT_EQ(info.dwMajorVersion, 3u);
    EXPECT_EQ(info.dwMinorVersion, 51u);

    reg.WriteString("CurrentVersion", "five");
    EXPECT_FALSE(GetVersionEx(info));
    EXPECT_EQ(GetLastError(), ERROR_BADDB);

    info.dwOSVersionInfoSize = 20;
    EXPECT_FALSE(GetVersionEx(info));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(WindowsTest, TemporaryFilesAreNewFilesNoOneElseGets)
{
    EXPECT_EQ(GetTempPath(), "C:\\WINDOWS\\TEMP\\");
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        std::string name;
        const uint32_t unique = GetTempFileName(GetTempPath(), "batch", 0, name);
        ASSERT_NE(unique, 0u);
        EXPECT_TRUE(name.starts_with("C:\\WINDOWS\\TEMP\\bat")) << name;
        EXPECT_TRUE(name.ends_with(".TMP")) << name;
        EXPECT_TRUE(fs::is_regular_file(MapPath(name)));
        EXPECT_TRUE(names.insert(name).second) << "given twice: " << name;
    }
    std::string named;
    EXPECT_EQ(GetTempFileName("C:\\WINDOWS\\TEMP", "x", 0x1A2B, named), 0x1A2Bu);
    EXPECT_EQ(named, "C:\\WINDOWS\\TEMP\\x1A2B.TMP");
    EXPECT_FALSE(fs::exists(MapPath(named))); // a given number only makes the name

    std::string none;
    EXPECT_EQ(GetTempFileName("C:\\No such folder", "bat", 0, none), 0u);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(WindowsTest, CreateNewFileNeverReplaces)
{
    ASSERT_TRUE(CreateNewFile("C:\\new.txt"));
    EXPECT_FALSE(CreateNewFile("c:\\NEW.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
}

TEST_F(WindowsTest, FoldersAndShortNames)
{
    EXPECT_EQ(GetWindowsDirectory(), "C:\\WINDOWS");
    EXPECT_EQ(GetSystemDirectory(), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_TRUE(fs::is_directory(MapPath(GetSystemDirectory())));
    EXPECT_EQ(GetShortPathName("C:\\Program Files"), "C:\\Program Files");
    EXPECT_EQ(GetShortPathName("C:\\Program Files\\missing.dll"), "");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(WindowsTest, DiskSpaceOfAMappedDrive)
{
    uint32_t sectors = 0, bytes = 0, freeClusters = 0, total = 0;
    ASSERT_TRUE(GetDiskFreeSpace("C:\\", sectors, bytes, freeClusters, total));
    EXPECT_EQ(bytes, 512u);
    EXPECT_GT(sectors, 0u);
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeClusters, total);
    uint64_t available = 0, totalBytes = 0, totalFree = 0;
    ASSERT_TRUE(GetDiskFreeSpaceEx("C:\\WINDOWS", available, totalBytes, totalFree));
    EXPECT_LE(available, totalFree);
    EXPECT_LE(totalFree, totalBytes);
    EXPECT_FALSE(GetDiskFreeSpace("Q:\\", sectors, bytes, freeClusters, total));
}

} // namespace

namespace
{

TEST_F(WindowsTest, ATestSetsTheFreeSpaceOfOneDrive)
{
    TFaultScope faults;
    ASSERT_TRUE(ForceDirectories("D:\\"));
    uint64_t realC = 0, total = 0, totalFree = 0;
    ASSERT_TRUE(GetDiskFreeSpaceEx("C:\\", realC, total, totalFree));

    const int64_t fiveGigabytes = 5LL * 1024 * 1024 * 1024 + 4096;
    SetDriveFreeSpace('d', fiveGigabytes);
    uint64_t available = 0;
    ASSERT_TRUE(GetDiskFreeSpaceEx("d:\\", available, total, totalFree));
    EXPECT_EQ(available, static_cast<uint64_t>(fiveGigabytes)) << "beyond 32 bits";
    EXPECT_EQ(totalFree, available);
    EXPECT_LE(available, total);
    uint32_t sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpace("D:\\", sectors, bytes, freeClusters, clusters));
    EXPECT_EQ(static_cast<int64_t>(freeClusters) * sectors * bytes, fiveGigabytes);

    SetDriveFreeSpace('D', 0);
    ASSERT_TRUE(GetDiskFreeSpace("D:\\", sectors, bytes, freeClusters, clusters));
    EXPECT_EQ(freeClusters, 0u) << "a full disk";
    uint64_t c = 0;
    ASSERT_TRUE(GetDiskFreeSpaceEx("C:\\", c, total, totalFree));
    EXPECT_NE(c, 0u) << "other drives keep their space";

    SetDriveFreeSpace('D', 100);
    EXPECT_FALSE(GetDiskFreeSpace("Q:\\", sectors, bytes, freeClusters, clusters))
        << "a drive that does not exist fails however a test fakes the others";
    SetDriveFreeSpace('D', -1);
    ASSERT_TRUE(GetDiskFreeSpaceEx("D:\\", available, total, totalFree));
    EXPECT_NE(available, 100u);
}

} // namespace
