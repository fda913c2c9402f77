// The distribution chain as a user meets it: the setup program builds its
// distribution from BUILD.INF (-b), the self-extracting setup.exe alone is
// carried to a machine that has never seen it and started there; the loading
// program unpacks the setup program, which installs and cleans up after
// itself. Every program runs as its own process on the emulated machine.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "installer/formats/selfextractor.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"

namespace
{

namespace fs = std::filesystem;

constexpr time_t SourceTime = 1700000000;

std::string Slurp(const std::string &host)
{
    std::ifstream in(host, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const std::string &host, const std::string &bytes, time_t mtime = 0)
{
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream(host, std::ios::binary | std::ios::trunc) << bytes;
    if (mtime) {
        const struct timespec times[2] = { { mtime, 0 }, { mtime, 0 } };
        utimensat(AT_FDCWD, host.c_str(), times, 0);
    }
}

std::string Bytes(size_t size, unsigned seed)
{
    std::string out(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char &c : out) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return out;
}

int32_t At32(const std::string &b, size_t at)
{
    return static_cast<int32_t>(uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8
        | uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24);
}

class Distribution : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base_ = std::getenv("WINROOT");
        name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        UseMachine("maker");
        files_ = { { "TABULO.EXE", Bytes(150000, 1) }, { "LEEME.TXT", "Léame: la calculadora con cinta." },
            { "DATOS.DAT", std::string(40000, 'd') } };
    }
    void TearDown() override { setenv("WINROOT", base_.c_str(), 1); }

    // Opens (and makes) one of the test's machines, for this process and the programs it starts.
    void UseMachine(const std::string &which)
    {
        const std::string root = base_ + "/" + name_ + "-" + which;
        OpenMachine(root);
        setenv("WINROOT", root.c_str(), 1);
        log_ = root + "/boxes.log";
    }

    static std::string Host(const std::string &path) { return MapPath(path); }

    // Starts a program of the machine and waits for it; its exit status, or
    // -1 when it could not start at all.
    int RunProgram(
        const std::string &program, const std::vector<std::string> &arguments, bool mayFailToStart = false)
    {
        setenv("ORVEX_SETUP_LOG", log_.c_str(), 1);
        const int64_t process = StartProgram(program, arguments);
        if (!mayFailToStart) {
            EXPECT_GE(process, 0) << program;
        }
        return process < 0 ? -1 : WaitForProgram(process);
    }

    // Every message box the setup programs of this machine showed.
    std::string Boxes() const { return Slurp(log_); }

    std::string Resource() const
    {
        std::string text = "object SetupForm: TSetupForm\n"
                           "  object Install1: TInstall\n"
                           "    DestDir = '\\ORVEX'\n"
                           "    DestDirType = psProgramFiles\n"
                           "    Information.ProductName = 'Tabulo'\n"
                           "    PresetupFiles.Strings = (\n"
                           "      'C:\\dev\\setup.dfm')\n"
                           "  end\n";
        int n = 0;
        for (const auto &[file, bytes] : files_) {
            (void)bytes;
            text += "  object File" + std::to_string(++n)
                + ": TInstallFile\n"
                  "    ArchiveFileType = psContainerArchiveFile\n"
                  "    Container = Install1\n"
                  "    DestDirType = psContainerDestDir\n"
                  "    DestName = '"
                + file + "'\n    FileName = '" + file + "'\n    IncludeFromDir = 'C:\\src'\n  end\n";
        }
        return text + "end\n";
    }

    // The maker's machine: the toolkit as the build installs it, the setup
    // program with its configuration and BUILD.INF, the product's files.
    void PrepareMaker(const std::string &buildInf = "C:\\dist\n")
    {
        ASSERT_EQ(RunProgram(Machine().WindowsPath(ORVEX_INSTALL_TOOLKIT), { ORVEX_LOADER }), 0);
        fs::create_directories(Host("C:\\dev"));
        fs::copy_file(ORVEX_SETUP_FIXTURE, Host("C:\\dev\\setup"), fs::copy_options::overwrite_existing);
        Put(Host("C:\\dev\\setup.dfm"), Resource(), SourceTime);
        Put(Host("C:\\dev\\BUILD.INF"), buildInf);
        for (const auto &[file, bytes] : files_)
            Put(Host("C:\\src\\" + file), bytes, SourceTime);
    }

    std::string BuildSetup()
    {
        PrepareMaker();
        EXPECT_EQ(RunProgram("C:\\dev\\setup", { "-b" }), 0);
        EXPECT_EQ(Boxes(), "");
        return Slurp(Host("C:\\dist\\setup.exe"));
    }

    // A machine that has never seen the product, with only setup.exe on it.
    void FreshMachineWith(const std::string &setupExe, const std::string &which = "user")
    {
        UseMachine(which);
        Put(Host("C:\\Descargas\\setup.exe"), setupExe);
        fs::permissions(Host("C:\\Descargas\\setup.exe"), fs::perms::owner_all);
    }

    // Nothing of the setup on the machine: no loader folder, no product.
    void ExpectNothingWritten(const std::string &what)
    {
        for (const auto &entry : fs::directory_iterator(Host("C:\\WINDOWS\\TEMP")))
            ADD_FAILURE() << what << ": " << entry.path();
        EXPECT_FALSE(fs::exists(Host("C:\\Program Files\\ORVEX"))) << what;
    }

    std::string base_, name_, log_;
    std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(Distribution, BuiltFromBuildInfAndInstalledByTheLoaderOnAFreshMachine)
{
    const std::string exe = BuildSetup();
    ASSERT_GT(exe.size(), 56u);
    TSelfExtractorTrailer trailer;
    ASSERT_TRUE(ReadTrailer("C:\\dist\\setup.exe", trailer));
    EXPECT_EQ(exe.substr(0, static_cast<size_t>(trailer.SetupStart)), Slurp(ORVEX_LOADER));

    FreshMachineWith(exe);
    ASSERT_EQ(RunProgram("C:\\Descargas\\setup.exe", {}), 0);
    EXPECT_EQ(Boxes(), "");
    for (const auto &[file, bytes] : files_) {
        const std::string installed = Host("C:\\Program Files\\ORVEX\\" + file);
        EXPECT_TRUE(Slurp(installed) == bytes) << file;
        struct stat st {
        };
        stat(installed.c_str(), &st);
        EXPECT_EQ(st.st_mtime, SourceTime) << file;
    }
    // -c: the loader's folder went with the setup program.
    EXPECT_TRUE(fs::is_empty(Host("C:\\WINDOWS\\TEMP")));
}

TEST_F(Distribution, BuildingTwiceGivesTheSameSetup)
{
    const std::string first = BuildSetup();
    const std::string setup1 = Slurp(Host("C:\\dist\\setup.1")), files1 = Slurp(Host("C:\\dist\\files.1"));
    ASSERT_EQ(RunProgram("C:\\dev\\setup", { "-b" }), 0);
    EXPECT_TRUE(first == Slurp(Host("C:\\dist\\setup.exe")));
    EXPECT_TRUE(setup1 == Slurp(Host("C:\\dist\\setup.1")));
    EXPECT_TRUE(files1 == Slurp(Host("C:\\dist\\files.1")));
}

struct BuildInfCase {
    const char *name;
    const char *text; // nullptr: no BUILD.INF
    const char *message;
};

class BuildInf : public Distribution, public ::testing::WithParamInterface<BuildInfCase>
{
};

TEST_P(BuildInf, IsRead)
{
    PrepareMaker(GetParam().text ? GetParam().text : "");
    if (!GetParam().text)
        fs::remove(Host("C:\\dev\\BUILD.INF"));
    ASSERT_EQ(RunProgram("C:\\dev\\setup", { "-b" }), 0);
    EXPECT_EQ(Boxes(), GetParam().message);
    const bool built = std::string(GetParam().message).empty();
    EXPECT_EQ(fs::exists(Host("C:\\dist\\setup.exe")), built);
    EXPECT_FALSE(fs::exists(Host("C:\\otra\\setup.exe")));
    EXPECT_FALSE(fs::exists(Host("C:\\dev\\setup.exe")));
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildInf,
    ::testing::Values(
        BuildInfCase { "Missing", nullptr,
            "Need to have a BUILD.INF file in this directory with the first line specifying the build "
            "directory\n" },
        BuildInfCase {
            "Empty", "", "Must be 1 line in BUILD.INF. This line should specify the build directory\n" },
        BuildInfCase { "BlankFirstLine", "   \r\nC:\\otra\r\n",
            "Must be 1 line in BUILD.INF. This line should specify the build directory\n" },
        BuildInfCase { "TwoLinesUseTheFirst", "C:\\dist\r\nC:\\otra\r\n", "" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Distribution, DamagedOrTruncatedSetupIsRefusedBeforeAnythingIsWritten)
{
    const std::string exe = BuildSetup();
    FreshMachineWith(exe);
    const size_t trailer = exe.size() - 56;
    for (size_t i = 0; i < 56; ++i) {
        std::string damaged = exe;
        damaged[trailer + i] = static_cast<char>(damaged[trailer + i] ^ 0xFF);
        Put(Host("C:\\Descargas\\setup.exe"), damaged);
        EXPECT_NE(RunProgram("C:\\Descargas\\setup.exe", {}), 0) << "trailer byte " << i;
        ExpectNothingWritten("trailer byte " + std::to_string(i));
    }
    const size_t setupStart = static_cast<size_t>(At32(exe, trailer + 16));
    const size_t filesStart = static_cast<size_t>(At32(exe, trailer + 24));
    for (size_t length : { size_t { 0 }, size_t { 1 }, size_t { 55 }, size_t { 56 }, size_t { 57 },
             setupStart, setupStart + 56, filesStart - 1, filesStart, filesStart + 1000, exe.size() - 57,
             exe.size() - 56, exe.size() - 1 }) {
        Put(Host("C:\\Descargas\\setup.exe"), exe.substr(0, length));
        // Cut inside its own head the loader is no program at all.
        EXPECT_NE(RunProgram("C:\\Descargas\\setup.exe", {}, length < setupStart), 0) << "cut at " << length;
        ExpectNothingWritten("cut at " + std::to_string(length));
    }
    EXPECT_EQ(Boxes(), "");
}

TEST_F(Distribution, FlippedCompressedBytesAreRefusedAndLeaveNoPartialFile)
{
    const std::string exe = BuildSetup();
    const size_t trailer = exe.size() - 56;
    const size_t setupStart = static_cast<size_t>(At32(exe, trailer + 16));
    const size_t filesStart = static_cast<size_t>(At32(exe, trailer + 24));

    // In the setup program's data: the loader refuses and takes its folder with it.
    FreshMachineWith(exe);
    std::string damaged = exe;
    damaged[(setupStart + filesStart) / 2] ^= 0x5A;
    Put(Host("C:\\Descargas\\setup.exe"), damaged);
    EXPECT_NE(RunProgram("C:\\Descargas\\setup.exe", {}), 0);
    ExpectNothingWritten("setup.1 data");

    // In the product's first file: the setup program's archive refuses it
    // and no part of that file appears at its destination.
    FreshMachineWith(exe, "user2");
    damaged = exe;
    damaged[filesStart + 5 + 172 + 2000] ^= 0x5A;
    Put(Host("C:\\Descargas\\setup.exe"), damaged);
    RunProgram("C:\\Descargas\\setup.exe", {});
    EXPECT_NE(Boxes(), "");
    EXPECT_FALSE(fs::exists(Host("C:\\Program Files\\ORVEX\\TABULO.EXE")));
    if (fs::exists(Host("C:\\Program Files\\ORVEX"))) {
        for (const auto &entry : fs::directory_iterator(Host("C:\\Program Files\\ORVEX")))
            EXPECT_NE(entry.path().filename().string().find("TABULO"), 0u) << entry.path();
    }
}

TEST_F(Distribution, ToDiskCopiesTheSetupOntoTheFloppy)
{
    const std::string exe = BuildSetup();
    FreshMachineWith(exe);
    fs::create_directories(Host("A:\\"));
    ASSERT_EQ(RunProgram("C:\\Descargas\\setup.exe", { "*TODISK" }), 0);
    EXPECT_EQ(Boxes(), "");
    const size_t trailer = exe.size() - 56;
    const size_t setupStart = static_cast<size_t>(At32(exe, trailer + 16));
    const size_t setupEnd = static_cast<size_t>(At32(exe, trailer + 20));
    EXPECT_TRUE(Slurp(Host("A:\\instalar.exe")) == exe.substr(0, setupStart));
    EXPECT_TRUE(Slurp(Host("A:\\setup.1")) == exe.substr(setupStart, setupEnd - setupStart + 1));
    EXPECT_TRUE(fs::exists(Host("A:\\files.1")));
}

} // namespace
