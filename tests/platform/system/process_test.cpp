#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

#include "platform/rtl/lasterror.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"
#include "platform/system/windows.h"

namespace fs = std::filesystem;

namespace
{

struct ArgvCase {
    const char *name;
    const char *line;
    std::vector<std::string> expected;
};

class CommandLineSplit : public ::testing::TestWithParam<ArgvCase>
{
};

TEST_P(CommandLineSplit, SplitsAsWindowsPrograms)
{
    EXPECT_EQ(CommandLineToArgv(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineSplit,
    ::testing::Values(ArgvCase { "Empty", "", {} }, ArgvCase { "Blanks", "   \t ", {} },
        ArgvCase { "Plain", "a b  c", { "a", "b", "c" } },
        ArgvCase { "QuotedBlank", "\"C:\\Program Files\\x.exe\" -r", { "C:\\Program Files\\x.exe", "-r" } },
        ArgvCase { "QuoteInsideItem", "\"-sC:\\My Build\"", { "-sC:\\My Build" } },
        ArgvCase { "PartlyQuoted", "-s\"C:\\My Build\"x", { "-sC:\\My Buildx" } },
        ArgvCase { "BackslashesKept", "C:\\a\\b\\ c", { "C:\\a\\b\\", "c" } },
        ArgvCase { "EscapedQuote", "a\\\"b", { "a\"b" } },
        ArgvCase { "EvenBackslashesBeforeQuote", "\"a\\\\\" b", { "a\\", "b" } },
        ArgvCase { "EmptyQuoted", "\"\" x", { "", "x" } },
        ArgvCase {
            "ShellCharactersAreText", "x $(rm -rf /) ; | &", { "x", "$(rm", "-rf", "/)", ";", "|", "&" } }),
    [](const auto &info) { return std::string(info.param.name); });

std::string Slurp(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WaitFor(const std::string &hostPath)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(hostPath) && fs::file_size(hostPath) > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class ProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = std::string(std::getenv("WINROOT")) + "/process-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        OpenMachine(root_);
        c_ = root_ + "/drive_c";
    }
    std::string Program(const std::string &relative, const std::string &body, mode_t mode = 0755)
    {
        const std::string path = c_ + "/" + relative;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), mode);
        return path;
    }
    std::string root_;
    std::string c_;
};

TEST_F(ProcessTest, WinExecPassesArgumentsLiterallyWithoutAShell)
{
    const std::string out = c_ + "/args.out";
    Program(
        "Program Files/Tool/echo args.exe", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$OUT\"\n");
    setenv("OUT", out.c_str(), 1);
    const uint32_t result = WinExec(
        "C:\\Program Files\\Tool\\echo args.exe /REGSERVER \"two words\" $(touch " + c_ + "/pwned) ;", 0);
    unsetenv("OUT");
    ASSERT_GT(result, 31u);
    ASSERT_TRUE(WaitFor(out));
    // The file exists before the program has written all of it.
    const std::string expected = "[/REGSERVER][two words][$(touch][" + c_ + "/pwned)][;]";
    for (int i = 0; i < 500 && Slurp(out) != expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Slurp(out), expected);
    EXPECT_FALSE(fs::exists(c_ + "/pwned"));
}

TEST_F(ProcessTest, WinExecFailuresGiveTheClassicCodes)
{
    EXPECT_EQ(WinExec("C:\\nowhere\\prog.exe", SW_SHOW), WINEXEC_PATH_NOT_FOUND);
    fs::create_directories(c_ + "/empty");
    EXPECT_EQ(WinExec("C:\\empty\\prog.exe", SW_SHOW), WINEXEC_FILE_NOT_FOUND);
    Program("plain/data.exe", "exit 0\n", 0644);
    EXPECT_EQ(WinExec("C:\\plain\\data.exe", SW_SHOW), ERROR_ACCESS_DENIED);
}

TEST_F(ProcessTest, ExeExtensionMayBeLeftOut)
{
    const std::string out = c_ + "/ran.out";
    Program("bin/tool.exe", "echo ran > \"" + out + "\"\n");
    ASSERT_GT(WinExec("C:\\bin\\tool", SW_HIDE), 31u);
    ASSERT_TRUE(WaitFor(out));
}

TEST_F(ProcessTest, StartedProgramIsWaitedForWithItsExitCode)
{
    Program("bin/seven", "exit 7\n");
    const int64_t pid = StartProgram("C:\\bin\\seven", {});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForProgram(pid), 7);
    EXPECT_EQ(StartProgram("C:\\bin\\missing", {}), -1);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessTest, BatchFilesOfTheEngineRunWithoutAnInterpreter)
{
    fs::create_directories(c_ + "/app");
    std::ofstream(c_ + "/app/PROG.EXE") << "old";
    std::ofstream(c_ + "/app/PROG.1") << "new";
    std::ofstream(c_ + "/move.bat")
        << "erase C:\\app\\PROG.EXE\r\nmove C:\\app\\PROG.1 C:\\app\\PROG.EXE\r\n";
    EXPECT_GT(WinExec("C:\\move.bat", SW_HIDE), 31u);
    EXPECT_EQ(Slurp(c_ + "/app/PROG.EXE"), "new");
    EXPECT_FALSE(fs::exists(c_ + "/app/PROG.1"));
}

TEST_F(ProcessTest, BatchLinesItDoesNotKnowStopTheBatch)
{
    std::ofstream(c_ + "/keep.txt") << "k";
    std::ofstream(c_ + "/odd.bat") << "deltree /y C:\\\r\nerase C:\\keep.txt\r\n";
    WinExec("C:\\odd.bat", SW_HIDE);
    EXPECT_TRUE(fs::exists(c_ + "/keep.txt"));
}

TEST_F(ProcessTest, LibrariesLoadAndAnswerTheirEntryPoints)
{
    const char *candidates[] = { "/lib/x86_64-linux-gnu/libz.so.1", "/usr/lib/x86_64-linux-gnu/libz.so.1" };
    std::string zlib;
    for (const char *candidate : candidates)
        if (fs::exists(candidate))
            zlib = candidate;
    ASSERT_FALSE(zlib.empty()) << "zlib is a dependency of the project";
    HMODULE module = LoadLibrary("Z:" + zlib);
    ASSERT_NE(module, nullptr) << LastLibraryError();
    EXPECT_NE(GetProcAddress(module, "zlibVersion"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "DllRegisterServer"), nullptr);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_TRUE(FreeLibrary(module));

    EXPECT_EQ(LoadLibrary("C:\\nowhere\\x.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
    std::ofstream(c_ + "/notalib.dll") << "text";
    EXPECT_EQ(LoadLibrary("C:\\notalib.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 193u);
}

} // namespace
