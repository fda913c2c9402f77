// Build mode of the install component: setup.1, files.1, the self-extracting
// setup.exe with its trailer, the remote file list of network distributions,
// and the floppy transfer.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"
#include "installer/formats/remotefilelist.h"
#include "installer/formats/selfextractor.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/streams.h"
#include "platform/ui/testing.h"
#include "tests/installer/engine/archive_support.h"
#include "tests/installer/engine/install_support.h"
#include "tests/support/loopback_server.h"

namespace
{

namespace fs = std::filesystem;
using namespace install_test;
using install_test::Host;

constexpr time_t SourceTime = 1700000000;
constexpr int64_t LoaderSize = 40000;

std::string Part(const std::string &bytes, int64_t first, int64_t last)
{
    return bytes.substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
}

// The message of the exception Build raises; "" when it raises none.
template <typename F> std::string MessageOf(F &&f)
{
    try {
        f();
    } catch (const Exception &e) {
        return e.Message();
    }
    return "";
}

class BuildMode : public SmallProduct
{
protected:
    void SetUp() override
    {
        SmallProduct::SetUp();
        files_ = { { "PROG.EXE", RandomBytes(30000, 1) }, { "DATOS.DAT", TextBytes(50000) },
            { "LEEME.TXT", "léame" } };
        // The toolkit folder with its loading program, as the build finds it.
        Put(Host("C:\\Kelvara\\K32V35.TXT"), "");
        Put(Host("C:\\Kelvara\\KelvaraLoadProgram.exe"), RandomBytes(LoaderSize, 2));
        RegWriteString(rkCurrentUser, ToolkitLibraryKey, "SearchPath", "C:\\Lib;C:\\Kelvara");
        Put(Host("C:\\dev\\setup.exe"), RandomBytes(10000, 3), SourceTime);
        Put(Host("C:\\dev\\setup.dfm"), "object SetupForm: TSetupForm end", SourceTime);
        for (const auto &[name, bytes] : files_)
            Put(Host("C:\\src\\" + name), bytes, SourceTime);
    }

    std::string BuildInto(const std::string &dir, bool selfExtractor = true)
    {
        auto form = LoadForm(Resource());
        return MessageOf([&] { InstallOf(form.get())->Build("C:\\dev\\setup.exe", dir, selfExtractor); });
    }

    static std::string Dist(const std::string &name) { return Slurp(Host("C:\\dist\\" + name)); }
};

TEST_F(BuildMode, SelfExtractingSetupIsTheLoaderAndBothArchivesWithTheTrailer)
{
    installExtra_ = "    PresetupFiles.Strings = (\n      'C:\\dev\\setup.dfm')\n";
    ASSERT_EQ(BuildInto("C:\\dist"), "");
    const std::string exe = Dist("setup.exe");
    const std::string setup1 = Dist("setup.1");
    const std::string files1 = Dist("files.1");
    ASSERT_FALSE(setup1.empty());
    ASSERT_FALSE(files1.empty());
    ASSERT_EQ(exe.size(), LoaderSize + setup1.size() + files1.size() + 56);
    const std::string trailer = exe.substr(exe.size() - 56);
    EXPECT_EQ(Hex(trailer.substr(0, 16)), "0E 53 45 4C 46 45 58 54 52 41 43 54 49 4E 47 00");
    EXPECT_EQ(At32(trailer, 16), LoaderSize);
    EXPECT_EQ(At32(trailer, 20), LoaderSize + static_cast<int64_t>(setup1.size()) - 1);
    EXPECT_EQ(At32(trailer, 24), LoaderSize + static_cast<int64_t>(setup1.size()));
    EXPECT_EQ(At32(trailer, 28), static_cast<int64_t>(exe.size()) - 57);
    EXPECT_EQ(trailer.substr(32), std::string(24, '\0'));
    EXPECT_EQ(exe.substr(0, LoaderSize), Slurp(Host("C:\\Kelvara\\KelvaraLoadProgram.exe")));
    EXPECT_EQ(Part(exe, At32(trailer, 16), At32(trailer, 20)), setup1);
    EXPECT_EQ(Part(exe, At32(trailer, 24), At32(trailer, 28)), files1);

    // setup.1: the setup program first, then the presetup files.
    TKvraCompress setup(nullptr);
    setup.SetCompressedFile("C:\\dist\\setup.1");
    ASSERT_EQ(setup.FileCount(), 2);
    EXPECT_EQ(setup.Headers().GetFileHeaders(0)->FileName, "C:\\dev\\setup.exe");
    EXPECT_EQ(setup.Headers().GetFileHeaders(1)->FileName, "C:\\dev\\setup.dfm");
    // files.1 holds every install file, readable at its place inside setup.exe.
    TKvraCompress inside(nullptr);
    inside.SetCompressedFile("C:\\dist\\setup.exe");
    inside.SetOffset(At32(trailer, 24));
    ASSERT_EQ(inside.FileCount(), 3);
    EXPECT_EQ(inside.Headers().GetFileHeaders(2)->FileName, "C:\\src\\LEEME.TXT");
}

TEST_F(BuildMode, WithoutInstallFilesTheTrailerHasNoFilesCopy)
{
    files_.clear();
    Put(Host("C:\\dist\\files.1"), "left from an older build");
    ASSERT_EQ(BuildInto("C:\\dist"), "");
    EXPECT_FALSE(fs::exists(Host("C:\\dist\\files.1")));
    const std::string exe = Dist("setup.exe");
    EXPECT_EQ(exe.size(), LoaderSize + Dist("setup.1").size() + 56);
    EXPECT_EQ(exe.substr(exe.size() - 32, 8), std::string(8, '\0'));
    TSelfExtractorTrailer trailer;
    EXPECT_TRUE(ReadTrailer("C:\\dist\\setup.exe", trailer));
}

TEST_F(BuildMode, BuildingTwiceGivesTheSameBytes)
{
    ASSERT_EQ(BuildInto("C:\\dist"), "");
    const std::string exe = Dist("setup.exe"), setup1 = Dist("setup.1"), files1 = Dist("files.1");
    ASSERT_EQ(BuildInto("C:\\dist"), "");
    EXPECT_TRUE(exe == Dist("setup.exe"));
    EXPECT_TRUE(setup1 == Dist("setup.1"));
    EXPECT_TRUE(files1 == Dist("files.1"));
    ASSERT_EQ(BuildInto("C:\\other"), "");
    EXPECT_TRUE(exe == Slurp(Host("C:\\other\\setup.exe")));
}

TEST_F(BuildMode, InstallsFromTheSelfExtractingSetupAlone)
{
    ASSERT_EQ(BuildInto("C:\\dist"), "");
    const std::string exe = Dist("setup.exe");
    OpenMachine(root_ + "-target");
    Put(Host("C:\\Descargas\\setup.exe"), exe);
    SetProgramArguments({ "setup", "-sC:\\Descargas", "-esetup.exe" });
    ScriptedMessageBoxes boxes;
    auto form = LoadForm(Resource());
    Run(InstallOf(form.get()));
    ASSERT_EQ(boxes.Count(), 0) << boxes.Last().Text;
    for (const auto &[name, bytes] : files_) {
        EXPECT_TRUE(Slurp(Host(Installed(name))) == bytes) << name;
        EXPECT_EQ(
            fs::last_write_time(Host(Installed(name))), fs::last_write_time(Host(Installed(files_[0].first))))
            << name;
    }
}

TEST_F(BuildMode, BuildHooksRunInOrder)
{
    auto form = LoadForm(Resource());
    TCustomInstall *install = InstallOf(form.get());
    std::vector<std::string> calls;
    auto note = [&](const char *name) { return [&calls, name](TObject *) { calls.push_back(name); }; };
    install->OnBeforeSetupArchive = note("BeforeSetupArchive");
    install->OnAfterSetupArchive = note("AfterSetupArchive");
    install->OnAfterSetupProgram = note("AfterSetupProgram");
    install->OnAfterCompressFiles = note("AfterCompressFiles");
    install->OnBeforeSelfExtractor = note("BeforeSelfExtractor");
    install->OnAfterSelfExtractor = note("AfterSelfExtractor");
    install->Build("C:\\dev\\setup.exe", "C:\\dist", true);
    EXPECT_EQ(calls,
        (std::vector<std::string> { "BeforeSetupArchive", "AfterSetupArchive", "AfterSetupProgram",
            "AfterCompressFiles", "BeforeSelfExtractor", "AfterSelfExtractor" }));
    // The install's own archive is put back afterwards.
    EXPECT_EQ(install->ArchiveFile(), "");
    EXPECT_NE(install->ArchiveFileType(), nullptr);
}

TEST_F(BuildMode, WithoutTheLoaderTheProgramItselfIsCopied)
{
    installExtra_ = "    UseLoadingProgram = False\n";
    auto form = LoadForm(Resource());
    TCustomInstall *install = InstallOf(form.get());
    std::string copied;
    install->OnBeforeCopyProgram = [&](TCustomInstall *, const std::string &path) { copied = path; };
    install->Build("C:\\dev\\setup.exe", "C:\\dist\\nueva", false);
    EXPECT_EQ(copied, "C:\\dev\\setup.exe");
    EXPECT_TRUE(Slurp(Host("C:\\dist\\nueva\\setup.exe")) == Slurp(Host("C:\\dev\\setup.exe")));
    EXPECT_FALSE(fs::exists(Host("C:\\dist\\nueva\\setup.1")));
    EXPECT_TRUE(fs::exists(Host("C:\\dist\\nueva\\files.1")));
}

// ---- Every message of the build --------------------------------------------------------

struct BuildFailure {
    const char *name;
    std::function<void(std::string &installExtra)> arrange;
    std::string expected;
    const char *program = "C:\\dev\\setup.exe";
    bool selfExtractor = true;
};

class BuildMessage : public BuildMode, public ::testing::WithParamInterface<BuildFailure>
{
};

TEST_P(BuildMessage, IsRaised)
{
    GetParam().arrange(installExtra_);
    auto form = LoadForm(Resource());
    EXPECT_EQ(MessageOf([&] {
        InstallOf(form.get())->Build(GetParam().program, "C:\\dist", GetParam().selfExtractor);
    }),
        GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildMessage,
    ::testing::Values(
        BuildFailure { "StandAloneWithoutLoader",
            [](std::string &extra) { extra += "    UseLoadingProgram = False\n"; },
            "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set "
            "to False" },
        BuildFailure {
            "BlankProgram", [](std::string &) {}, "Cannot create setup file. Executable is blank", " " },
        BuildFailure { "MissingProgram", [](std::string &) {},
            "TInstall: Cannot find the executable file C:\\dev\\nada.exe", "C:\\dev\\nada.exe" },
        BuildFailure { "NoToolkitFolder",
            [](std::string &) { RegWriteString(rkCurrentUser, ToolkitLibraryKey, "SearchPath", "C:\\Lib"); },
            "La clave HKEY_LOCAL_MACHINE | \\Software\\Borland\\Delphi\\3.0\\Library del registro de Windows "
            "no "
            "se encuentra o apunta a una carpeta inválida." },
        BuildFailure { "NoLoader",
            [](std::string &) { fs::remove(Host("C:\\Kelvara\\KelvaraLoadProgram.exe")); },
            "The loader program C:\\Kelvara\\KelvaraLoadProgram.exe was not found" },
        BuildFailure { "LoaderCannotBeCopied",
            [](std::string &) { fs::create_directories(Host("C:\\dist\\setup.exe\\x")); },
            "Cannot copy the loading program from C:\\Kelvara\\KelvaraLoadProgram.exe to "
            "C:\\dist\\setup.exe" },
        BuildFailure { "CopyOfTheProgram",
            [](std::string &extra) {
                extra += "    UseLoadingProgram = False\n";
                Put(Host("C:\\dist"), "a file where the folder should be");
            },
            "Cannot copy the installation application from C:\\dev\\setup.exe to C:\\dist\\setup.exe",
            "C:\\dev\\setup.exe", false },
        BuildFailure { "DiskFullForSetup1", [](std::string &) { SetDiskSpace(5000); },
            "The disk that you have specified has been determined to be either too full or is corrupt while "
            "trying to copy the SETUP.1 archive file. You should probably clear all files off of the drive. "
            "Minimally, you should leave enough space on the drive for the SETUP.1 archive file." }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(BuildMode, SelfExtractorThatCannotTakeTheArchives)
{
    auto form = LoadForm(Resource());
    TCustomInstall *install = InstallOf(form.get());
    Put(Host("C:\\dist\\setup.exe"), "loader");
    EXPECT_EQ(MessageOf([&] { install->WriteSelfExtractor("C:\\dist\\setup.exe", "C:\\dist\\setup.1", ""); }),
        "Cannot create the self-extracting exe because C:\\dist\\setup.1 could not be loaded onto "
        "C:\\dist\\setup.exe");
    Put(Host("C:\\dist\\setup.1"), std::string(5000, 's'));
    SetDiskSpace(100);
    EXPECT_EQ(MessageOf([&] { install->WriteSelfExtractor("C:\\dist\\setup.exe", "C:\\dist\\setup.1", ""); }),
        "Cannot create the self-extracting exe because C:\\dist\\setup.1 could not be loaded onto "
        "C:\\dist\\setup.exe");
}

TEST_F(BuildMode, DamagedTrailerIsRefusedWithItsMessage)
{
    ASSERT_EQ(BuildInto("C:\\dist"), "");
    auto form = LoadForm(Resource());
    TCustomInstall *install = InstallOf(form.get());
    const std::string message = "Could not read the extraction info from the archive file %s when trying to "
                                "find the correct offset into the self extracting file";
    EXPECT_EQ(MessageOf([&] { install->ReadSelfExtractorTrailer("C:\\dist\\missing.exe"); }),
        Format(message, std::string("C:\\dist\\missing.exe")));
    std::string exe = Dist("setup.exe");
    exe[exe.size() - 20] = 1;
    Put(Host("C:\\dist\\bad.exe"), exe);
    EXPECT_EQ(MessageOf([&] { install->ReadSelfExtractorTrailer("C:\\dist\\bad.exe"); }),
        Format(message, std::string("C:\\dist\\bad.exe")));
    Put(Host("C:\\dist\\cut.exe"), Dist("setup.exe").substr(0, 70000));
    EXPECT_EQ(MessageOf([&] { install->ReadSelfExtractorTrailer("C:\\dist\\cut.exe"); }),
        Format(message, std::string("C:\\dist\\cut.exe")));
    EXPECT_EQ(install->ReadSelfExtractorTrailer("C:\\dist\\setup.exe").SetupStart, LoaderSize);
}

// ---- Network distributions -------------------------------------------------------------

struct NetCase {
    const char *name;
    const char *distributeType;
};

class NetBuild : public BuildMode, public ::testing::WithParamInterface<NetCase>
{
protected:
    void SetUp() override
    {
        BuildMode::SetUp();
        served_ = root_ + "-served";
        fs::create_directories(served_);
        server_ = std::make_unique<LoopbackServer>(
            LoopbackScript("http_server.py"), std::vector<std::string> { "--root", served_ });
        installExtra_ = std::string("    DistributeType = ") + GetParam().distributeType
            + "\n    NetLocation = NetLocation1\n";
        fileExtra_ = "    Net = True\n";
    }

    std::string NetResource() const
    {
        std::string text = Resource();
        text.insert(text.rfind("end"),
            "  object NetLocation1: TNetInstallLocation\n"
            "    LoginInformation.Hostname = '"
                + server_->Address()
                + "'\n    LoginInformation.Protocol = ipHTTP\n    LoginInformation.Directory = 'dist'\n  "
                  "end\n");
        return text;
    }

    std::string RemoteFolder() const { return "C:\\dist\\" + FilterFileName(server_->Address()) + "\\dist"; }

    std::string served_;
    std::unique_ptr<LoopbackServer> server_;
};

TEST_P(NetBuild, WritesTheRemoteFolderAndTheListAnInstallReadsBack)
{
    {
        auto form = LoadForm(NetResource());
        InstallOf(form.get())->Build("C:\\dev\\setup.exe", "C:\\dist", true);
    }
    const std::string list = Slurp(Host(RemoteFolder() + "\\filelist.lst"));
    ASSERT_EQ(list.size(), 4 + 3 * 72u);
    std::vector<TRemoteFileRecord> records;
    TStringStream stream(list);
    ASSERT_TRUE(ReadRemoteFileRecords(stream, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Name, "File1");
    EXPECT_EQ(records[0].UncompressedSize, 30000);
    EXPECT_EQ(records[1].Name, "File2");
    EXPECT_EQ(records[1].UncompressedSize, 50000);
    EXPECT_EQ(records[2].Name, "File3");
    EXPECT_TRUE(fs::exists(Host(RemoteFolder() + "\\Install1.1")));

    // The remote folder goes onto the server; the install learns sizes and dates from the list.
    fs::copy(Host(RemoteFolder()), served_ + "/dist", fs::copy_options::recursive);
    const std::string exe = Dist("setup.exe");
    OpenMachine(root_ + "-target");
    Put(Host("C:\\Descargas\\setup.exe"), exe);
    SetProgramArguments({ "setup", "-sC:\\Descargas", "-esetup.exe" });
    ScriptedMessageBoxes boxes;
    auto form = LoadForm(NetResource());
    TCustomInstall *install = InstallOf(form.get());
    install->ReadArchiveInfo();
    auto *file2 = static_cast<TCustomInstallFile *>(form->FindComponent("File2"));
    EXPECT_EQ(file2->UncompressedSize(), 50000);
    EXPECT_EQ(file2->FileDate(), records[1].FileDate);
    Run(install);
    ASSERT_EQ(boxes.Count(), 0) << boxes.Last().Text;
    for (const auto &[name, bytes] : files_)
        EXPECT_TRUE(Slurp(Host(Installed(name))) == bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(Cases, NetBuild,
    ::testing::Values(NetCase { "Web", "dtWeb" }, NetCase { "TraditionalNet", "dtTraditionalNet" }),
    [](const auto &info) { return std::string(info.param.name); });

class NetList : public NetBuild
{
};

TEST_P(NetList, NamesAtTheLimit)
{
    // A component name of 39 characters fits the record; one of 40 is refused before the list is written.
    std::string text = NetResource();
    const std::string name39 = "F" + std::string(38, 'x');
    text.replace(text.find("File1"), 5, name39);
    {
        auto form = LoadForm(text);
        InstallOf(form.get())->Build("C:\\dev\\setup.exe", "C:\\dist", true);
    }
    std::vector<TRemoteFileRecord> records;
    TStringStream stream(Slurp(Host(RemoteFolder() + "\\filelist.lst")));
    ASSERT_TRUE(ReadRemoteFileRecords(stream, records));
    EXPECT_EQ(records[0].Name, name39);

    fs::remove(Host(RemoteFolder() + "\\filelist.lst"));
    text.replace(text.find(name39), name39.size(), name39 + "y");
    auto form = LoadForm(text);
    EXPECT_EQ(MessageOf([&] { InstallOf(form.get())->Build("C:\\dev\\setup.exe", "C:\\dist", true); }),
        "The name of the install file " + name39
            + "y is too long for the remote file list: a name can have at most 39 characters");
    EXPECT_FALSE(fs::exists(Host(RemoteFolder() + "\\filelist.lst")));
}

TEST_P(NetList, ShortListIsRefusedAndItsCopyRemoved)
{
    fs::create_directories(served_ + "/dist");
    Put(served_ + "/dist/filelist.lst", std::string("\x02\x00\x00\x00", 4) + std::string(100, '\0'));
    auto form = LoadForm(NetResource());
    const std::string message = MessageOf([&] { InstallOf(form.get())->ReadRemoteFileList(); });
    const std::string prefix = "Cannot read the remote list of files: ";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix) << message;
    EXPECT_FALSE(fs::exists(Host(message.substr(prefix.size()))));
}

INSTANTIATE_TEST_SUITE_P(Cases, NetList, ::testing::Values(NetCase { "Web", "dtWeb" }),
    [](const auto &info) { return std::string(info.param.name); });

// ---- The floppy transfer ---------------------------------------------------------------

// The emulated drive A: with a stack of disks: each disk holds capacity bytes,
// and answering a disk prompt takes the disk out and puts the one asked for in.
class FloppyDrive : public IMessageBoxService
{
public:
    FloppyDrive(int64_t capacity, std::string store)
        : capacity_(capacity)
        , store_(std::move(store))
        , previous_(SetMessageBoxService(this))
    {
        SetDiskSpace(capacity_);
    }
    ~FloppyDrive() override
    {
        SetMessageBoxService(previous_);
        SetDiskSpace(-1);
    }

    int Show(HWND, const std::string &text, const std::string &, uint32_t, uint16_t) override
    {
        texts.push_back(text);
        int disk = 0;
        if (std::sscanf(text.c_str(), "Please insert disk %d", &disk) != 1)
            return IDOK;
        if (!answers.empty() && answers.front() == IDCANCEL) {
            answers.erase(answers.begin());
            return IDCANCEL;
        }
        Swap(disk);
        return IDOK;
    }

    // Takes the disk out of the drive (keeping it) and inserts disk.
    void Swap(int disk)
    {
        const fs::path drive = Host("A:\\");
        const fs::path out = fs::path(store_) / std::to_string(inDrive_);
        fs::remove_all(out);
        fs::create_directories(out);
        for (const auto &entry : fs::directory_iterator(drive))
            fs::rename(entry.path(), out / entry.path().filename());
        const fs::path in = fs::path(store_) / std::to_string(disk);
        if (fs::exists(in))
            for (const auto &entry : fs::directory_iterator(in))
                fs::rename(entry.path(), drive / entry.path().filename());
        inDrive_ = disk;
        SetDiskSpace(capacity_);
    }

    std::vector<std::string> texts;
    std::vector<int> answers;

private:
    int64_t capacity_;
    std::string store_;
    IMessageBoxService *previous_;
    int inDrive_ = 1;
};

class FloppyTransfer : public BuildMode
{
protected:
    void SetUp() override
    {
        BuildMode::SetUp();
        files_ = { { "PROG.EXE", RandomBytes(60000, 4) }, { "DATOS.DAT", RandomBytes(45000, 5) },
            { "LEEME.TXT", "léame" } };
        for (const auto &[name, bytes] : files_)
            Put(Host("C:\\src\\" + name), bytes, SourceTime);
        ASSERT_EQ(BuildInto("C:\\dist"), "");
        ForceDirectories("A:\\");
        store_ = root_ + "-disks";
        fs::create_directories(store_);
        SetProgramArguments({ "setup", "-sC:\\dist", "-esetup.exe" });
    }
    std::string store_;
};

TEST_F(FloppyTransfer, OnePromptPerDiskAndTheDisksMakeTheArchive)
{
    // The transfer ends the program.
    InChildTest([&] {
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        int statuses = 0;
        install->OnTransferStatus = [&](TCustomInstall *, TKvraCompress *, const TlzhFileStats &) { ++statuses; };
        const std::string exe = Dist("setup.exe");
        const TSelfExtractorTrailer trailer = install->ReadSelfExtractorTrailer("C:\\dist\\setup.exe");
        {
            FloppyDrive drive(80000, store_);
            install->TransferToFloppies("a:");
            ASSERT_GE(drive.texts.size(), 2u);
            // Disks 2 and on, then disk 1 again for the final header table.
            const size_t disks = drive.texts.size();
            for (size_t i = 0; i + 1 < disks; ++i)
                EXPECT_EQ(drive.texts[i], "Please insert disk " + std::to_string(i + 2));
            EXPECT_EQ(drive.texts.back(), "Please insert disk 1");
            drive.Swap(0); // the last disk goes back on the stack
        }
        EXPECT_GT(statuses, 0);
        const fs::path disk1 = fs::path(store_) / "1";
        EXPECT_TRUE(Slurp((disk1 / "instalar.exe").string()) == exe.substr(0, trailer.SetupStart));
        EXPECT_TRUE(Slurp((disk1 / "setup.1").string()) == Part(exe, trailer.SetupStart, trailer.SetupEnd));

        // All disks together: the spanned archive holds every file.
        ForceDirectories("C:\\juntos");
        for (const auto &disk : fs::directory_iterator(store_))
            for (const auto &entry : fs::directory_iterator(disk.path()))
                if (entry.path().filename().string().rfind("files.", 0) == 0)
                    fs::copy_file(entry.path(), Host("C:\\juntos\\") + entry.path().filename().string());
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile("C:\\juntos\\files.1");
        kc.SetExtractDirectory("C:\\fuera");
        for (const auto &[name, bytes] : files_)
            kc.FilesToProcess()->Add("C:\\src\\" + name);
        kc.ExtractFiles();
        for (const auto &[name, bytes] : files_)
            EXPECT_TRUE(Slurp(Host("C:\\fuera\\" + name)) == bytes) << name;
    });
}

TEST_F(FloppyTransfer, CancelAtAPromptLeavesNothingHalfWritten)
{
    // The transfer ends the program.
    InChildTest([&] {
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        FloppyDrive drive(80000, store_);
        drive.answers = { IDCANCEL };
        install->TransferToFloppies("a:");
        ASSERT_EQ(drive.texts.size(), 2u);
        EXPECT_EQ(drive.texts[0], "Please insert disk 2");
        EXPECT_EQ(drive.texts[1], "Aborted by user");
        for (const auto &entry : fs::directory_iterator(Host("A:\\")))
            EXPECT_NE(entry.path().filename().string().rfind("files.", 0), 0u) << entry.path();
        EXPECT_TRUE(fs::exists(Host("A:\\setup.1")));
    });
}

TEST_F(FloppyTransfer, Messages)
{
    // The transfer ends the program.
    InChildTest([&] {
        {
            SetProgramArguments({ "setup", "-sC:\\dist" });
            auto form = LoadForm(Resource());
            ScriptedMessageBoxes boxes;
            InstallOf(form.get())->TransferToFloppies("a:");
            ASSERT_EQ(boxes.Count(), 1);
            EXPECT_EQ(boxes.Last().Text,
                "Sorry... You can only transfer this installation to floppies through the "
                "self-extracting file. Usage example: setup.exe *TODISK");
            EXPECT_TRUE(fs::is_empty(Host("A:\\")));
        }
        SetProgramArguments({ "setup", "-sC:\\dist", "-esetup.exe" });
        struct Case {
            int64_t space;
            const char *message;
            const char *absent;
        };
        for (const Case &c :
            { Case { 1000, "Cannot create setup.exe on the A drive. Probably not enough room", "setup.exe" },
                Case { LoaderSize + 1000, "Cannot create setup.1 on the A drive. Probably not enough room",
                    "setup.1" } }) {
            auto form = LoadForm(Resource());
            ScriptedMessageBoxes boxes;
            SetDiskSpace(c.space);
            InstallOf(form.get())->TransferToFloppies("a:");
            SetDiskSpace(-1);
            ASSERT_EQ(boxes.Count(), 1);
            EXPECT_EQ(boxes.Last().Text, c.message);
            EXPECT_FALSE(fs::exists(Host(std::string("A:\\") + c.absent))) << c.absent;
        }
    });
}

} // namespace
