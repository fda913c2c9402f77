#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "installer/engine/cmp_TInstall/installlog.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"

namespace
{

class InstallLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenMachine(std::string(std::getenv("WINROOT")) + "/log-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        reg_.SetRootKey(HKEY_LOCAL_MACHINE);
        run_.ProgramPath = MakeProgram("C:\\Dist\\setup.exe", 1000);
        run_.RunStart = EncodeDate(2026, 12, 9) + EncodeTime(5, 30, 0, 0);
    }
    // A setup program of size bytes dated 2026-03-01 10:00:00.
    static std::string MakeProgram(const std::string &path, int size)
    {
        ForceDirectories(ExtractFileDir(path));
        std::ofstream(MapPath(path), std::ios::binary) << std::string(size, 'x');
        FileSetDate(path, DateTimeToFileDate(EncodeDate(2026, 3, 1) + EncodeTime(10, 0, 0, 0)));
        return path;
    }
    std::string Subkeys(const std::string &key)
    {
        TStringList names;
        if (reg_.OpenKey(key, false))
            reg_.GetKeyNames(names);
        reg_.CloseKey();
        std::string out;
        for (int i = 0; i < names.Count(); ++i)
            out += names[i] + ";";
        return out;
    }
    TRegistry reg_;
    TInstallLogRun run_;
};

TEST_F(InstallLogTest, ANewEntryRecordsTheProgram)
{
    TInstallLog log;
    EXPECT_EQ(log.Open(run_, false), "");
    EXPECT_EQ(log.Open(run_, true), "\\SOFTWARE\\Kelvara\\Install\\Install0");
    EXPECT_EQ(log.Key(), "\\SOFTWARE\\Kelvara\\Install\\Install0");
    ASSERT_TRUE(reg_.OpenKey(log.Key(), false));
    EXPECT_EQ(reg_.ReadString("Path"), "C:\\Dist\\setup.exe");
    EXPECT_EQ(reg_.ReadInteger("Size"), 1000);
    EXPECT_DOUBLE_EQ(reg_.ReadFloat("CreationDate"), EncodeDate(2026, 3, 1) + EncodeTime(10, 0, 0, 0));
    EXPECT_DOUBLE_EQ(reg_.ReadFloat("LastRunDate"), run_.RunStart);
    EXPECT_FALSE(reg_.ValueExists("SelfExtract"));
}

TEST_F(InstallLogTest, ACopyWithTheSameDateAndSizeReusesItsEntry)
{
    TInstallLog first;
    ASSERT_EQ(first.Open(run_, true), "\\SOFTWARE\\Kelvara\\Install\\Install0");

    TInstallLogRun copy = run_;
    copy.ProgramPath = MakeProgram("C:\\Elsewhere\\setup.exe", 1000);
    copy.RunStart = run_.RunStart + 1;
    TInstallLog second;
    EXPECT_EQ(second.Open(copy, true), "\\SOFTWARE\\Kelvara\\Install\\Install0");
    ASSERT_TRUE(reg_.OpenKey(second.Key(), false));
    EXPECT_EQ(reg_.ReadString("Path"), "C:\\Elsewhere\\setup.exe");
    EXPECT_DOUBLE_EQ(reg_.ReadFloat("LastRunDate"), copy.RunStart);
    reg_.CloseKey();

    TInstallLogRun bigger = run_;
    bigger.ProgramPath = MakeProgram("C:\\Other\\setup.exe", 1001);
    TInstallLog third;
    EXPECT_EQ(third.Open(bigger, true), "\\SOFTWARE\\Kelvara\\Install\\Install1");
}

TEST_F(InstallLogTest, NewEntriesFillTheFirstGapAndSkipUnreadableOnes)
{
    for (const char *name : { "Install0", "install2" }) {
        ASSERT_TRUE(reg_.OpenKey(std::string("\\SOFTWARE\\Kelvara\\Install\\") + name, true));
        reg_.WriteString("Path", "C:\\old\\setup.exe");
        reg_.WriteString("Size", "1000"); // unreadable as a number: never matches
        reg_.WriteFloat("CreationDate", EncodeDate(2026, 3, 1) + EncodeTime(10, 0, 0, 0));
    }
    TInstallLog log;
    EXPECT_EQ(log.Open(run_, true), "\\SOFTWARE\\Kelvara\\Install\\Install1");
    reg_.CloseKey();
    EXPECT_EQ(Subkeys("\\SOFTWARE\\Kelvara\\Install"), "Install0;Install1;install2;");
}

TEST_F(InstallLogTest, SelfExtractingRunsRecordTheirSource)
{
    run_.SelfExtract = true;
    run_.SourceDir = "A:";
    run_.SelfExtractFile = "Setup.exe";
    TInstallLog log;
    ASSERT_NE(log.Open(run_, true), "");
    ASSERT_TRUE(reg_.OpenKey(log.Key(), false));
    EXPECT_EQ(reg_.ReadString("SelfExtract"), "A:\\Setup.exe");
}

TEST_F(InstallLogTest, AMissingProgramOpensNoEntry)
{
    run_.ProgramPath = "C:\\Dist\\gone.exe";
    TInstallLog log;
    EXPECT_EQ(log.Open(run_, true), "");
    EXPECT_EQ(Subkeys("\\SOFTWARE\\Kelvara\\Install"), "");
}

TEST_F(InstallLogTest, RemovingTheLastEntryRemovesTheLogKeys)
{
    TInstallLog log;
    ASSERT_NE(log.Open(run_, true), "");
    const std::string archive = MakeProgram("C:\\WINDOWS\\TEMP\\files.1", 10);
    ASSERT_TRUE(reg_.OpenKey(log.Key() + "\\Tabulo", true));
    reg_.WriteString("LocalFile", "  " + archive + " ");
    reg_.CloseKey();
    log.AddUnfinished("C:\\WINDOWS\\TEMP\\bat1.bat", 1);
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Kelvara\\Other", true)); // how another tool may have spelt it
    reg_.CloseKey();
    reg_.DeleteKey("\\Software\\Kelvara\\Other");

    log.Remove();
    EXPECT_EQ(log.Key(), "");
    EXPECT_FALSE(FileExists(archive));
    EXPECT_FALSE(reg_.KeyExists("\\SOFTWARE\\Kelvara\\Install"));
    EXPECT_FALSE(reg_.KeyExists("\\SOFTWARE\\Kelvara"));
    EXPECT_TRUE(reg_.KeyExists("\\SOFTWARE\\Microsoft"));
}

TEST_F(InstallLogTest, RemovingOneEntryKeepsTheOthers)
{
    TInstallLog other;
    TInstallLogRun otherRun = run_;
    otherRun.ProgramPath = MakeProgram("C:\\Other\\setup.exe", 5);
    ASSERT_NE(other.Open(otherRun, true), "");
    TInstallLog log;
    ASSERT_NE(log.Open(run_, true), "");
    log.Remove();
    EXPECT_EQ(Subkeys("\\SOFTWARE\\Kelvara\\Install"), "Install0;");
}

TEST_F(InstallLogTest, UnfinishedListNeedsAnEntry)
{
    TInstallLog log;
    TStringList list;
    for (const auto &call : std::initializer_list<std::function<void()>> { [&] { log.ClearUnfinishedList(); },
             [&] { log.AddUnfinished("x", 0); }, [&] { log.ReadUnfinishedList(list); } }) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const IEInstall &e) {
            EXPECT_EQ(e.Message(),
                "El instalador no puede acceder al registro de Windows - Es posible que el usuario "
                "actual no tenga permisos suficientes");
        }
    }
    EXPECT_EQ(log.FilesInUse(), 0);
}

TEST_F(InstallLogTest, UnfinishedListKeepsFilesAndComponents)
{
    TInstallLog log;
    ASSERT_NE(log.Open(run_, true), "");
    log.AddUnfinished("C:\\WINDOWS\\TEMP\\bat1.bat", 1);
    log.AddUnfinished("InstallFile1", 0);
    EXPECT_EQ(log.FilesInUse(), 2);
    TStringList list;
    list.Add("stale");
    log.ReadUnfinishedList(list);
    EXPECT_EQ(list.Text(), "C:\\WINDOWS\\TEMP\\bat1.bat;1\r\nInstallFile1;0\r\n");

    TInstallLog resumed; // the restarted program finds the same list
    ASSERT_EQ(resumed.Open(run_, false), log.Key());
    resumed.ReadUnfinishedList(list);
    EXPECT_EQ(list.Count(), 2);
    resumed.ClearUnfinishedList();
    resumed.ReadUnfinishedList(list);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(InstallLogTest, LanguageSurvivesARestart)
{
    TInstallLog none;
    none.SaveLanguage(14);
    EXPECT_EQ(none.LoadLanguage(15), 15);
    EXPECT_FALSE(reg_.OpenKey("\\", false) && reg_.ValueExists("Language"));

    TInstallLog log;
    ASSERT_NE(log.Open(run_, true), "");
    EXPECT_EQ(log.LoadLanguage(15), 15);
    log.SaveLanguage(14);
    TInstallLog resumed;
    resumed.Open(run_, false);
    EXPECT_EQ(resumed.LoadLanguage(15), 14);
}

} // namespace
