#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "platform/rtl/lasterror.h"
#include "platform/rtl/strings.h"
#include "platform/system/faults.h"
#include "platform/system/inifiles.h"
#include "platform/system/machine.h"
#include "platform/system/registry.h"
#include "platform/system/restart.h"
#include "platform/system/windows.h"

namespace fs = std::filesystem;

namespace
{

std::string Slurp(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const std::string &hostPath, const std::string &text)
{
    fs::create_directories(fs::path(hostPath).parent_path());
    std::ofstream(hostPath, std::ios::binary) << text;
}

class RestartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = std::string(std::getenv("WINROOT")) + "/restart-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        OpenMachine(root_);
        c_ = root_ + "/drive_c";
    }
    void EnableShutdown()
    {
        TTokenHandle token = 0;
        LUID luid;
        ASSERT_TRUE(OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token));
        ASSERT_TRUE(LookupPrivilegeValue(SE_SHUTDOWN_NAME, luid));
        ASSERT_TRUE(AdjustTokenPrivileges(token, { { luid, SE_PRIVILEGE_ENABLED } }));
        CloseHandle(token);
    }
    void DisableShutdown()
    {
        TTokenHandle token = 0;
        LUID luid;
        OpenProcessToken(TOKEN_ADJUST_PRIVILEGES, token);
        LookupPrivilegeValue(SE_SHUTDOWN_NAME, luid);
        AdjustTokenPrivileges(token, { { luid, 0 } });
        CloseHandle(token);
    }
    // A program of the machine: a shell script at C:\tools\<name>.
    void Script(const std::string &name, const std::string &body)
    {
        const std::string path = c_ + "/tools/" + name;
        Put(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
    }
    TFaultScope faults_;
    std::string root_;
    std::string c_;
};

TEST_F(RestartTest, DelayedMovesWaitForTheRestartAndRunInOrder)
{
    Put(c_ + "/app/PROG.EXE", "old");
    Put(c_ + "/app/PROG.1", "new");
    Put(c_ + "/app/STALE.DLL", "stale");
    ASSERT_TRUE(MoveFileEx("C:\\app\\PROG.1", "C:\\app\\PROG.EXE", MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileEx("C:\\app\\STALE.DLL", "", MOVEFILE_DELAY_UNTIL_REBOOT));

    EXPECT_EQ(Slurp(c_ + "/app/PROG.EXE"), "old");
    ASSERT_EQ(PendingMoves().size(), 2u);
    EXPECT_EQ(PendingMoves()[0].Dest, "C:\\app\\PROG.EXE");

    const TBootReport report = RestartMachine();
    EXPECT_TRUE(report.Failed.empty());
    EXPECT_EQ(Slurp(c_ + "/app/PROG.EXE"), "new");
    EXPECT_FALSE(fs::exists(c_ + "/app/PROG.1"));
    EXPECT_FALSE(fs::exists(c_ + "/app/STALE.DLL"));
    EXPECT_TRUE(PendingMoves().empty());
}

TEST_F(RestartTest, MovesOntoAFileAreTakenBackHoweverItIsNamed)
{
    Put(c_ + "/app/PROG.EXE", "old");
    Put(c_ + "/app/PROG.1", "waiting");
    Put(c_ + "/app/OTHER.1", "other");
    ASSERT_TRUE(MoveFileEx("C:\\app\\PROG.1", "C:\\app\\PROG.EXE", MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileEx("C:\\app\\OTHER.1", "C:\\app\\OTHER.DLL", MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileEx("C:\\app\\PROG.EXE", "", MOVEFILE_DELAY_UNTIL_REBOOT)); // a deletion stays

    const std::string hostNamed = "Z:" + c_ + "/app/PROG.EXE";
    EXPECT_EQ(CancelPendingMoves(hostNamed), std::vector<std::string> { "C:\\app\\PROG.1" });
    EXPECT_TRUE(CancelPendingMoves("C:\\app\\PROG.EXE").empty());
    ASSERT_EQ(PendingMoves().size(), 2u);
    EXPECT_EQ(PendingMoves()[0].Dest, "C:\\app\\OTHER.DLL");
    EXPECT_EQ(PendingMoves()[1].Source, "C:\\app\\PROG.EXE");
    EXPECT_EQ(Slurp(c_ + "/app/PROG.1"), "waiting"); // the caller decides what becomes of it
}

TEST_F(RestartTest, AnUnreadableListOfMovesTakesNothingBack)
{
    // A folder where the list of moves should be: it exists but cannot be read.
    fs::create_directories(root_ + "/restart/pending-moves");
    std::vector<std::string> taken { "not called" };
    EXPECT_NO_THROW(taken = CancelPendingMoves("C:\\app\\PROG.EXE"));
    EXPECT_TRUE(taken.empty());
    EXPECT_FALSE(MoveFileEx("C:\\app\\PROG.1", "C:\\app\\PROG.EXE", MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(fs::is_directory(root_ + "/restart/pending-moves")) << "the list stays as it was";
}

TEST_F(RestartTest, ImmediateReplaceIsRefusedWhileTheTargetIsInUse)
{
    Put(c_ + "/app/PROG.EXE", "old");
    Put(c_ + "/app/incoming", "new");
    SetFileInUse("C:\\app\\PROG.EXE", true);
    EXPECT_FALSE(MoveFileEx("C:\\app\\incoming", "C:\\app\\PROG.EXE", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Slurp(c_ + "/app/PROG.EXE"), "old");
    EXPECT_EQ(Slurp(c_ + "/app/incoming"), "new");

    // A restart ends every program, so the file is free again.
    RestartMachine();
    EXPECT_FALSE(FileInUse("C:\\app\\PROG.EXE"));
    EXPECT_TRUE(MoveFileEx("C:\\app\\incoming", "C:\\app\\PROG.EXE", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Slurp(c_ + "/app/PROG.EXE"), "new");
}

TEST_F(RestartTest, MoveWithoutReplaceKeepsAnExistingTarget)
{
    Put(c_ + "/a.txt", "a");
    Put(c_ + "/b.txt", "b");
    EXPECT_FALSE(MoveFileEx("C:\\a.txt", "C:\\b.txt", 0));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(Slurp(c_ + "/b.txt"), "b");
}

TEST_F(RestartTest, RestartNeedsTheShutdownPrivilege)
{
    DisableShutdown();
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_EQ(PendingRestart(), -1);

    EnableShutdown();
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(PendingRestart(), EWX_REBOOT);
    RestartMachine();
    EXPECT_EQ(PendingRestart(), -1);
}

TEST_F(RestartTest, PrivilegesAreCheckedAsWindowsDoes)
{
    LUID luid;
    EXPECT_FALSE(LookupPrivilegeValue("SeMadeUpPrivilege", luid));
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);

    TTokenHandle queryOnly = 0;
    ASSERT_TRUE(OpenProcessToken(TOKEN_QUERY, queryOnly));
    ASSERT_TRUE(LookupPrivilegeValue("seshutdownprivilege", luid));
    EXPECT_FALSE(AdjustTokenPrivileges(queryOnly, { { luid, SE_PRIVILEGE_ENABLED } }));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(queryOnly);
}

TEST_F(RestartTest, RefusedRestartIsReported)
{
    EnableShutdown();
    SetRestartRefused(true);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(PendingRestart(), -1);
}

TEST_F(RestartTest, WininitRenameSectionIsCarriedOutAndKeptAsBak)
{
    Put(c_ + "/app/OLD.DLL", "old");
    Put(c_ + "/app/OLD.1", "new");
    Put(c_ + "/app/GONE.TXT", "x");
    {
        TIniFile ini("C:\\WINDOWS\\WININIT.INI");
        ini.WriteString("Rename", "C:\\app\\OLD.DLL", "C:\\app\\OLD.1");
        ini.WriteString("Rename", "NUL", "C:\\app\\GONE.TXT");
    }
    const TBootReport report = RestartMachine();
    EXPECT_TRUE(report.Failed.empty());
    EXPECT_EQ(Slurp(c_ + "/app/OLD.DLL"), "new");
    EXPECT_FALSE(fs::exists(c_ + "/app/GONE.TXT"));
    EXPECT_FALSE(fs::exists(c_ + "/WINDOWS/WININIT.INI"));
    EXPECT_TRUE(fs::exists(c_ + "/WINDOWS/WININIT.BAK"));
}

TEST_F(RestartTest, RunOnceRunsAfterTheMovesAndIsRemovedBeforeItRuns)
{
    Put(c_ + "/app/PROG.EXE", "old");
    Put(c_ + "/app/PROG.1", "new");
    MoveFileEx("C:\\app\\PROG.1", "C:\\app\\PROG.EXE", MOVEFILE_DELAY_UNTIL_REBOOT);
    // The probe writes what the restart shows it: the moved file and whether
    // its own RunOnce value is still in the registry.
    Script("probe",
        "out=\"$1\"\n"
        "cat \"$2\" > \"$out\"\n"
        "if grep -q Resume \"$3\"; then echo ' listed' >> \"$out\"; else echo ' gone' >> \"$out\"; fi\n");
    const std::string out = c_ + "/probe.out";
    const std::string hive = root_ + "/registry/HKEY_LOCAL_MACHINE.reg";
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true));
        // Arguments reach the program as written; these are host paths for the script.
        reg.WriteString(
            "Resume", "\"C:\\tools\\probe\" \"" + out + "\" \"" + c_ + "/app/PROG.EXE\" \"" + hive + "\"");
    }
    const TBootReport report = RestartMachine();
    EXPECT_TRUE(report.Failed.empty()) << (report.Failed.empty() ? "" : report.Failed[0]);
    EXPECT_EQ(Slurp(out), "new gone\n");

    // Gone for good: the next restart runs nothing.
    fs::remove(out);
    RestartMachine();
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(RestartTest, RunOnceCommandThatCannotStartIsReportedAndStillRemoved)
{
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true));
        reg.WriteString("Broken", "C:\\nowhere\\missing.exe -r");
    }
    const TBootReport report = RestartMachine();
    ASSERT_EQ(report.Failed.size(), 1u);
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false));
    EXPECT_FALSE(reg.ValueExists("Broken"));
}

} // namespace
