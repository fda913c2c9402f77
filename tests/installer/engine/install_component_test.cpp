// The install component: its command line, the end of a run (restart or
// not), its exception handler, the resume after a restart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

#include "installer/engine/cmp_TInstall/installlog.h"
#include "installer/engine/cmp_TInstall/runsupport.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/strings.h"
#include "platform/system/process.h"
#include "platform/system/restart.h"
#include "platform/ui/testing.h"
#include "tests/installer/engine/install_support.h"

using namespace install_test;
using ::testing::HasSubstr;

namespace
{

const char *const InvalidParameter = "Invalid parameter <%s>. Valid command line parameters are: -b (Build), "
                                     "-d (Debug), -f (Transfer to floppies), "
                                     "-e (Called by self-extractor), -r (After reboot)";

const std::string RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class TEventProbe : public TInstallObject
{
public:
    explicit TEventProbe(TComponent *owner)
        : TInstallObject(owner)
    {
    }
    int RegisteredType() const override { return rtDialog; }
    void DoInstallEvent(TObject *, int code, TObject *) override { Heard.push_back(code); }
    bool HeardCode(int code) const { return std::find(Heard.begin(), Heard.end(), code) != Heard.end(); }
    std::vector<int> Heard;
};

struct SwitchCase {
    const char *name;
    std::vector<std::string> arguments;
    const char *error; // "" when the line is valid
    TInstallSwitch sw;
    const char *argument;
};

class CommandLine : public InstallMachine, public ::testing::WithParamInterface<SwitchCase>
{
};

TEST_P(CommandLine, IsReadSwitchBySwitch)
{
    TSetupForm form(nullptr);
    auto *install = new TInstall(&form);
    std::vector<std::string> args { "setup" };
    args.insert(args.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    SetProgramArguments(args);
    if (*GetParam().error) {
        try {
            install->ParseCommandLine();
            ADD_FAILURE() << "no error";
        } catch (const IException &e) {
            EXPECT_EQ(e.Message(), Format(InvalidParameter, GetParam().error));
        }
        return;
    }
    install->ParseCommandLine();
    EXPECT_TRUE(install->Switches().Contains(GetParam().sw));
    EXPECT_EQ(install->SwitchArgument(GetParam().sw), GetParam().argument);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLine,
    ::testing::Values(SwitchCase { "UnknownLetter", { "-x" }, "-x", swBuild, "" },
        SwitchCase { "LoneDash", { "-s", "-" }, "-", swBuild, "" },
        SwitchCase { "NoDash", { "x" }, "x", swBuild, "" },
        SwitchCase { "UpperCaseIsTheSame", { "-B" }, "", swBuild, "" },
        SwitchCase { "SourceFolderFollows", { "-sC:\\My Build" }, "", swSource, "C:\\My Build" },
        SwitchCase { "SelfExtractor", { "-eSETUP.EXE", "-c" }, "", swSelfExtractor, "SETUP.EXE" },
        SwitchCase { "Cleanup", { "-c" }, "", swCleanup, "" }),
    [](const auto &info) { return std::string(info.param.name); });

class Startup : public SmallProduct
{
};

TEST_F(Startup, DebugNeedsASourceFolder)
{
    for (const std::vector<std::string> &args :
        { std::vector<std::string> { "setup", "-d" }, std::vector<std::string> { "setup", "-d", "-s   " } }) {
        ScriptedMessageBoxes boxes;
        SetProgramArguments(args);
        auto form = LoadForm(Resource());
        ASSERT_EQ(boxes.Count(), 1);
        EXPECT_EQ(boxes.Last().Text,
            "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "
            "\"-sC:\\My "
            "Build\".");
    }
}

TEST_F(Startup, BuildWinsOverResume)
{
    // The build ends the program.
    InChildTest([&] {
        ScriptedMessageBoxes boxes;
        SetProgramArguments({ "setup", "-r", "-b" });
        auto form = LoadForm(Resource());
        ASSERT_EQ(boxes.Count(), 1);
        // The build looks for its BUILD.INF beside the program, where there is none.
        EXPECT_EQ(boxes.Last().Text,
            "Need to have a BUILD.INF file in this directory with the first line specifying the build directory");
        EXPECT_FALSE(InstallOf(form.get())->Running()); // never resumed
        EXPECT_TRUE(Application->Terminated());
    });
}

TEST_F(Startup, ATypeOfTheConfigurationIsChosenForTheRun)
{
    installExtra_ = "    InstallTypes = [itFull, itCompact]\n";
    auto form = LoadForm(Resource());
    EXPECT_EQ(InstallOf(form.get())->CurrentInstallType(), itCompact);
}

struct ResumeCase {
    const char *name;
    std::vector<std::string> arguments;
    std::string tail; // after the program's quoted path
};

class ResumeLine : public SmallProduct, public ::testing::WithParamInterface<ResumeCase>
{
};

TEST_P(ResumeLine, NamesTheSourceAndPassesCleanupOn)
{
    ScriptedMessageBoxes boxes;
    SetProgramArguments(GetParam().arguments);
    auto form = LoadForm(Resource());
    ASSERT_EQ(boxes.Count(), 0) << boxes.Last().Text;
    const std::string line = InstallOf(form.get())->ResumeCommandLine();
    const std::string program = "\"Z:" + Application->ExeName() + "\" ";
    std::string expectedProgram = program;
    for (char &c : expectedProgram)
        if (c == '/')
            c = '\\';
    EXPECT_EQ(line, expectedProgram + GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResumeLine,
    ::testing::Values(ResumeCase { "Source", { "setup", "-sC:\\dist" }, "-r \"-sC:\\dist\"" },
        ResumeCase {
            "SelfExtractor", { "setup", "-sC:\\dist", "-eSETUP.EXE" }, "-r \"-eSETUP.EXE\" \"-sC:\\dist\"" },
        ResumeCase { "Cleanup", { "setup", "-sC:\\My Build", "-c" }, "-r \"-sC:\\My Build\" -c" }),
    [](const auto &info) { return std::string(info.param.name); });

// ---- The end of a run ---------------------------------------------------------------

class EndOfRun : public SmallProduct
{
protected:
    // A probe in form that hears what install broadcasts; the form owns it.
    static TEventProbe *ProbeOn(TComponent *form, TCustomInstall *install)
    {
        auto *probe = new TEventProbe(form);
        probe->SetContainer(install);
        return probe;
    }

    // Ends the run with fault as soon as it has started, once logKey holds its log's key.
    template <typename Fault>
    static void FailOnStart(TCustomInstall *install, std::string &logKey, const Fault &fault)
    {
        install->OnAfterInitialized = [install, &logKey, fault](TObject *) {
            logKey = install->Log().Key();
            throw fault;
        };
    }
};

TEST_F(EndOfRun, RestartAskedForRestartsWindowsAndEndsWithoutTheGoodInstall)
{
    Build();
    const std::string result = InChild([&] {
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        auto *probe = ProbeOn(form.get(), install);
        install->OnAfterInitialized = [&](TObject *) { install->SetReboot(true); };
        bool asked = false;
        install->OnBeforeReboot = [&](TCustomInstall *, bool &proceed) { asked = proceed; };
        Run(install);
        return std::string(asked ? "asked " : "") + (probe->HeardCode(ieBeforeReboot) ? "-987 " : "")
            + (probe->HeardCode(ieGoodInstall) ? "good " : "")
            + (Application->Terminated() ? "ended" : "running");
    });
    EXPECT_EQ(result, "asked -987 ended");
    EXPECT_EQ(PendingRestart(), EWX_REBOOT);
    EXPECT_THAT(RegString(RunOnceKey, "KelvaraUnfinished"), HasSubstr(" -r \"-sC:\\build\""));
}

TEST_F(EndOfRun, HandlerThatDeclinesTheRestartStillEndsTheProgram)
{
    Build();
    const std::string result = InChild([&] {
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        auto *probe = ProbeOn(form.get(), install);
        install->OnAfterInitialized = [&](TObject *) { install->SetReboot(true); };
        install->OnBeforeReboot = [](TCustomInstall *, bool &proceed) { proceed = false; };
        Run(install);
        return std::string(probe->HeardCode(ieGoodInstall) ? "good " : "")
            + (Application->Terminated() ? "ended" : "running");
    });
    EXPECT_EQ(result, "ended");
    EXPECT_EQ(PendingRestart(), -1);
    EXPECT_NE(RegString(RunOnceKey, "KelvaraUnfinished"), "<missing>");
}

TEST_F(EndOfRun, RefusedRestartIsReportedByTheHandlerOrByAMessage)
{
    Build();
    const std::string result = InChild([&] {
        ScriptedMessageBoxes boxes;
        SetRestartRefused(true);
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        install->OnAfterInitialized = [&](TObject *) { install->SetReboot(true); };
        Run(install);
        return boxes.Count() ? boxes.Last().Text : std::string("no box");
    });
    EXPECT_EQ(result, "Could not reboot windows. Please manually reboot windows.");
}

TEST_F(EndOfRun, CancelWithoutRunAutomaticNotifiesAndKeepsTheProgramRunning)
{
    Build();
    const std::string result = InChild([&] {
        ScriptedMessageBoxes boxes;
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        auto *probe = ProbeOn(form.get(), install);
        std::string logKey;
        FailOnStart(install, logKey, EAIUserAbort());
        Run(install);
        return std::string(
                   probe->HeardCode(ieBadInstall) && probe->HeardCode(ieBadInstallWizard) ? "bad " : "")
            + std::to_string(boxes.Count()) + " " + (RegKeyExists(logKey) ? "log kept " : "log removed ")
            + (Application->Terminated() ? "ended" : "running");
    });
    EXPECT_EQ(result, "bad 0 log removed running");
}

TEST_F(EndOfRun, OtherErrorsAreShownTheLogStaysAndTheProgramShutsDown)
{
    Build();
    const std::string result = InChild([&] {
        ScriptedMessageBoxes boxes;
        auto form = LoadForm(Resource());
        TCustomInstall *install = InstallOf(form.get());
        auto *probe = ProbeOn(form.get(), install);
        std::string logKey;
        bool shutdownAsked = false;
        install->OnBeforeShutdown = [&](TCustomInstall *, bool &) { shutdownAsked = true; };
        FailOnStart(install, logKey, Exception("Disco dañado"));
        Run(install);
        return std::string(probe->HeardCode(ieBadInstall) ? "bad " : "")
            + (boxes.Count() ? boxes.Last().Text : "") + (RegKeyExists(logKey) ? " log kept" : " log removed")
            + (shutdownAsked ? " shutdown" : "") + (install->Running() ? " running" : "");
    });
    EXPECT_EQ(result, "bad Disco dañado. log kept shutdown");
}

TEST_F(EndOfRun, ErrorsBeforeARunAreOnlyShown)
{
    ScriptedMessageBoxes boxes;
    auto form = LoadForm(Resource());
    TCustomInstall *install = InstallOf(form.get());
    auto *probe = ProbeOn(form.get(), install);
    Exception e("antes");
    install->HandleException(install, e);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "antes.");
    EXPECT_FALSE(probe->HeardCode(ieBadInstall));
}

TEST_F(EndOfRun, ConfirmAbortAsksTheHandler)
{
    auto form = LoadForm(Resource());
    TCustomInstall *install = InstallOf(form.get());
    EXPECT_TRUE(install->ConfirmAbort());
    install->OnUserAbort = [](TCustomInstall *, bool &quit) { quit = false; };
    EXPECT_FALSE(install->ConfirmAbort());
}

// ---- Resume --------------------------------------------------------------------------

class Resume : public SmallProduct
{
protected:
    // The log entry a run of this program left, with its unfinished list.
    std::string LeaveUnfinished(const std::vector<std::pair<std::string, int>> &entries)
    {
        std::string program = "Z:" + Application->ExeName();
        for (char &c : program)
            if (c == '/')
                c = '\\';
        TInstallLog log;
        const std::string key = log.Open({ program, 0, false, "C:\\build", "" }, true);
        for (const auto &[name, kind] : entries)
            log.AddUnfinished(name, kind);
        return key;
    }
};

TEST_F(Resume, DeletesListedFilesClearsTheListAndEndsLikeARun)
{
    Put(Host("C:\\WINDOWS\\TEMP\\move1.bat"), "erase x");
    const std::string key = LeaveUnfinished({ { "C:\\WINDOWS\\TEMP\\move1.bat", 1 }, { "Install1", 0 } });
    SetProgramArguments({ "setup", "-r", "-sC:\\build" });
    ScriptedMessageBoxes boxes;
    auto form = LoadForm(Resource());
    EXPECT_EQ(boxes.Count(), 0) << (boxes.Count() ? boxes.Last().Text : "");
    EXPECT_FALSE(fs::exists(Host("C:\\WINDOWS\\TEMP\\move1.bat")));
    EXPECT_FALSE(RegKeyExists(key)); // the good end removes the log entry
    EXPECT_FALSE(InstallOf(form.get())->Running());
}

TEST_F(Resume, AnInvalidEntryIsReportedWholeAndTheListIsKept)
{
    Put(Host("C:\\keep.bat"), "x");
    const std::string key = LeaveUnfinished({ { "C:\\keep.bat", 1 } });
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(key + "\\Unfinished", true));
        reg.WriteString("Broken", "File7;uno");
    }
    SetProgramArguments({ "setup", "-r", "-sC:\\build" });
    const std::string result = InChild([&] {
        ScriptedMessageBoxes boxes;
        auto form = LoadForm(Resource());
        InstallOf(form.get())->OnBeforeShutdown = [](TCustomInstall *, bool &) {};
        return boxes.Count() ? boxes.Last().Text : std::string("no box");
    });
    EXPECT_THAT(result, HasSubstr("There is an invalid entry for the unfinished install list "));
    EXPECT_TRUE(fs::exists(Host("C:\\keep.bat")));
    TStringList list;
    TInstallLog log;
    std::string program = "Z:" + Application->ExeName();
    for (char &c : program)
        if (c == '/')
            c = '\\';
    log.Open({ program, 0, false, "C:\\build", "" }, false);
    log.ReadUnfinishedList(list);
    EXPECT_EQ(list.Count(), 2);
}

} // namespace

namespace
{

// The clean-up after the loader: only its copy of the program, and its
// folder only when the loader made it in the temporary folder and it is
// empty then; never a recursive delete.
class LoaderCleanup : public InstallMachine
{
};

TEST_F(LoaderCleanup, RemovesTheProgramAndAnEmptyLoaderFolderOnly)
{
    Put(Host("C:\\WINDOWS\\TEMP\\ldr1\\setup.exe"), "p");
    RemoveLoaderProgram("C:\\WINDOWS\\TEMP\\ldr1\\setup.exe");
    EXPECT_FALSE(fs::exists(Host("C:\\WINDOWS\\TEMP\\ldr1")));

    Put(Host("C:\\WINDOWS\\TEMP\\ldr2\\setup.exe"), "p");
    Put(Host("C:\\WINDOWS\\TEMP\\ldr2\\notes.txt"), "someone else's");
    RemoveLoaderProgram("C:\\WINDOWS\\TEMP\\ldr2\\setup.exe");
    EXPECT_FALSE(fs::exists(Host("C:\\WINDOWS\\TEMP\\ldr2\\setup.exe")));
    EXPECT_TRUE(fs::exists(Host("C:\\WINDOWS\\TEMP\\ldr2\\notes.txt")));

    Put(Host("C:\\Tools\\setup.exe"), "p");
    RemoveLoaderProgram("C:\\Tools\\setup.exe");
    EXPECT_TRUE(fs::exists(Host("C:\\Tools"))); // not a loader folder, even when empty
    EXPECT_TRUE(fs::exists(Host("C:\\WINDOWS\\TEMP"))); // nor the temporary folder itself
}

// The setup program knows its own path as a host path; the loader's folder
// is found in the temporary folder all the same.
TEST_F(LoaderCleanup, AProgramNamedByItsHostPathIsComparedAsTheSameFile)
{
    auto hostNamed = [](const std::string &windowsPath) {
        std::string path = "Z:" + Host(windowsPath);
        for (char &c : path)
            if (c == '/')
                c = '\\';
        return path;
    };
    Put(Host("C:\\WINDOWS\\TEMP\\ldr3\\setup.exe"), "p");
    RemoveLoaderProgram(hostNamed("C:\\WINDOWS\\TEMP\\ldr3\\setup.exe"));
    EXPECT_FALSE(fs::exists(Host("C:\\WINDOWS\\TEMP\\ldr3")));

    Put(Host("C:\\WINDOWS\\TEMP\\setup.exe"), "p"); // straight in the temporary folder
    RemoveLoaderProgram(hostNamed("C:\\WINDOWS\\TEMP\\setup.exe"));
    EXPECT_FALSE(fs::exists(Host("C:\\WINDOWS\\TEMP\\setup.exe")));
    EXPECT_TRUE(fs::exists(Host("C:\\WINDOWS\\TEMP")));

    Put(Host("C:\\WINDOWS\\TEMP\\ldr4\\inner\\setup.exe"), "p"); // not directly in it
    RemoveLoaderProgram(hostNamed("C:\\WINDOWS\\TEMP\\ldr4\\inner\\setup.exe"));
    EXPECT_TRUE(fs::exists(Host("C:\\WINDOWS\\TEMP\\ldr4\\inner")));
}

} // namespace
