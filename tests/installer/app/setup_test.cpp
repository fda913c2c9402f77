// The setup program from end to end, as its maker and its user meet it, each
// program a process of its own on the emulated machine: the maker stages
// this checkout's tabulo and builds the distribution with -b; on a machine
// that has never seen the product the self-extracting setup.exe starts the
// setup program, someone walks its wizard with keys and clicks (the
// setup_session program, the setup program's own form with a scripted
// person), the files are copied with their progress shown, and the product,
// its shortcuts, its uninstall records and its uninstaller are there. Then
// the same over the installed product, and every way to cancel.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "installer/formats/selfextractor.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"
#include "platform/system/registry.h"
#include "tests/support/lnkinfo.h"

namespace
{

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;

constexpr const char *Product = "ORVEX Tabulo 2.0";
constexpr const char *UninstallKey
    = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVEX Tabulo 2.0";
constexpr const char *Folder = "c:\\ORVEX\\Tabulo2\\"; // as DestDir spells it
// The distributions that someone walks through carry the uninstaller with
// someone at it too, so that its questions are answered.
constexpr const char *StagedUninstaller = ORVEX_UNINSTALL_SESSION;

std::string Slurp(const std::string &host)
{
    std::ifstream in(host, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string &host)
{
    std::vector<std::string> out;
    std::ifstream in(host);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string Host(const std::string &path)
{
    return MapPath(path);
}

// A command run on a display of its own (Xvfb) with a window manager
// (openbox) that manages it by the time the command starts.
std::string UnderAWindowManager(const std::string &command)
{
    return "'" ORVEX_SOURCE_DIR "/tests/support/under_a_window_manager' " + command;
}

class Setup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base_ = std::getenv("WINROOT");
        name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { setenv("WINROOT", base_.c_str(), 1); }

    void UseMachine(const std::string &root)
    {
        OpenMachine(root);
        setenv("WINROOT", root.c_str(), 1);
    }

    static int Run(const std::string &program, const std::vector<std::string> &arguments)
    {
        const int64_t process = StartProgram(program, arguments);
        EXPECT_GE(process, 0) << program;
        return process < 0 ? -1 : WaitForProgram(process);
    }

    // The maker's machine, made once for all tests of the program: the loader
    // in the toolkit folder, the staged product, the setup program (the real
    // one, or the one with a person at it) with BUILD.INF beside it; -b builds
    // the distribution into C:\dist. Answers setup.exe.
    std::string Build(const char *program, const std::string &machine)
    {
        UseMachine(base_ + "/" + machine);
        EXPECT_EQ(Run(Machine().WindowsPath(ORVEX_INSTALL_TOOLKIT), { ORVEX_LOADER }), 0);
        EXPECT_EQ(Run(Machine().WindowsPath(ORVEX_STAGE),
                      { ORVEX_TABULO, ORVEX_SOURCE_DIR "/installer/app/licencia.txt", StagedUninstaller }),
            0);
        fs::create_directories(Host("C:\\dev"));
        fs::copy_file(program, Host("C:\\dev\\setup"), fs::copy_options::overwrite_existing);
        std::ofstream(Host("C:\\dev\\BUILD.INF")) << "C:\\dist\r\n";
        const std::string log = base_ + "/" + machine + ".log";
        setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
        fs::remove(log);
        EXPECT_EQ(Run("C:\\dev\\setup", { "-b" }), 0);
        for (const std::string &line : Lines(log))
            EXPECT_EQ(line.rfind("box ", 0), std::string::npos) << line; // the build asked nothing
        return Slurp(Host("C:\\dist\\setup.exe"));
    }

    const std::string &Distribution()
    {
        static const std::string exe = Build(ORVEX_SESSION_PROGRAM, "maker");
        return exe;
    }

    // A machine that has never seen the product, with setup.exe on it.
    void FreshMachine(const std::string &which = "user")
    {
        const std::string &exe = Distribution();
        ASSERT_GT(exe.size(), 1000u);
        UseMachine(base_ + "/" + name_ + "-" + which);
        fs::create_directories(Host("C:\\Descargas"));
        std::ofstream(Host("C:\\Descargas\\setup.exe"), std::ios::binary) << exe;
        fs::permissions(Host("C:\\Descargas\\setup.exe"), fs::perms::owner_all);
    }

    // Runs setup.exe with the person's script; answers what they saw. The
    // program ends with 0 after an installation, 2 when it was cancelled.
    std::vector<std::string> Session(
        const std::string &script, const std::string &shots = "", int status = 0)
    {
        const std::string log = Machine().Root() + "/session-" + script + ".log";
        fs::remove(log);
        setenv("ORVEX_SESSION", script.c_str(), 1);
        setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
        if (!shots.empty()) {
            fs::create_directories(shots);
            setenv("ORVEX_SESSION_SHOTS", shots.c_str(), 1);
        } else {
            unsetenv("ORVEX_SESSION_SHOTS");
        }
        EXPECT_EQ(Run("C:\\Descargas\\setup.exe", {}), status) << script;
        unsetenv("ORVEX_SESSION");
        unsetenv("ORVEX_SESSION_SHOTS");
        return Lines(log);
    }

    static std::vector<std::string> Pages(const std::vector<std::string> &log)
    {
        std::vector<std::string> pages;
        for (const std::string &line : log)
            if (line.rfind("page ", 0) == 0)
                pages.push_back(line.substr(5));
        return pages;
    }

    static std::string Value(HKEY root, const std::string &key, const std::string &name)
    {
        TRegistry registry;
        registry.SetRootKey(root);
        if (!registry.OpenKeyReadOnly(key) || !registry.ValueExists(name))
            return "<none>";
        return registry.GetDataType(name) == rdInteger ? IntToStr(registry.ReadInteger(name))
                                                       : registry.ReadString(name);
    }
    static bool KeyExists(const std::string &key)
    {
        TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        return registry.KeyExists(key);
    }
    static std::vector<std::string> FileList()
    {
        std::vector<std::string> out;
        const std::string key = std::string(UninstallKey) + "\\Files";
        const int n = StrToIntDef(Value(HKEY_LOCAL_MACHINE, key, "Entries"), -1);
        for (int i = 1; i <= n; ++i)
            out.push_back(Value(HKEY_LOCAL_MACHINE, key, "File" + IntToStr(i)));
        return out;
    }
    static std::string ShellFolder(const std::string &name)
    {
        return Value(HKEY_CURRENT_USER,
            "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name);
    }

    // Every installed file is the staged one, byte for byte.
    void ExpectInstalled()
    {
        EXPECT_TRUE(Slurp(Host(std::string(Folder) + "Tabulo.exe")) == Slurp(ORVEX_TABULO));
        EXPECT_TRUE(Slurp(Host(std::string(Folder) + "licencia.txt"))
            == Slurp(ORVEX_SOURCE_DIR "/installer/app/licencia.txt"));
        EXPECT_TRUE(
            Slurp(Host(std::string(Folder) + "DesinstalarOrvexTabulo2.exe")) == Slurp(StagedUninstaller));
    }

    // Nothing half-written: each file of the product is absent or whole, no
    // file of the run is left beside them, the registry reads, no run is
    // pending and the loader's folder is gone.
    void ExpectNothingHalfWritten(const std::string &what)
    {
        const std::pair<const char *, std::string> files[] = {
            { "Tabulo.exe", Slurp(ORVEX_TABULO) },
            { "licencia.txt", Slurp(ORVEX_SOURCE_DIR "/installer/app/licencia.txt") },
            { "DesinstalarOrvexTabulo2.exe", Slurp(StagedUninstaller) },
        };
        for (const auto &[file, bytes] : files) {
            const std::string host = Host(std::string(Folder) + file);
            if (fs::exists(host)) {
                EXPECT_TRUE(Slurp(host) == bytes) << what << ": " << file << " is not whole";
            }
        }
        if (fs::exists(Host(Folder))) {
            for (const auto &entry : fs::directory_iterator(Host(Folder))) {
                const std::string file = entry.path().filename().string();
                EXPECT_TRUE(
                    file == "Tabulo.exe" || file == "licencia.txt" || file == "DesinstalarOrvexTabulo2.exe")
                    << what << ": " << file;
            }
        }
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                      "KelvaraUnfinished"),
            "<none>")
            << what;
        EXPECT_FALSE(KeyExists("\\SOFTWARE\\Kelvara\\Install")) << what << ": the install log is left";
        EXPECT_TRUE(fs::is_empty(Host("C:\\WINDOWS\\TEMP"))) << what;
    }

    // A command of the README, run in the checkout as its user runs it, with
    // this test program's environment; stopped after the seconds given
    // (status 124). Answers its exit status; what it printed is in output_.
    int Shell(const std::string &command, int seconds = 300)
    {
        const std::string out = base_ + "/shell.out";
        const int status = std::system(("cd '" ORVEX_SOURCE_DIR "' && timeout " + std::to_string(seconds) + " "
            + command + " >'" + out + "' 2>&1")
                                           .c_str());
        output_ = Slurp(out);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A build tree for tools/run ($ORVEX_BUILD_DIR) whose setup program and
    // uninstaller have someone at them: this build's programs, with the
    // session programs as dedazida and Desinstalar.exe, and BUILD.INF.
    std::string SessionTree()
    {
        const fs::path tree = fs::path(base_) / "tree";
        if (fs::exists(tree))
            return tree.string();
        const std::pair<const char *, const char *> programs[] = {
            { ORVEX_TABULO, "calculator/tabulo" },
            { ORVEX_LOADER, "installer/loader/KelvaraLoadProgram.exe" },
            { StagedUninstaller, "installer/uninstaller/Desinstalar.exe" },
            { ORVEX_INSTALL_TOOLKIT, "tools/toolkit/install_toolkit" },
            { ORVEX_STAGE, "tools/toolkit/stage_tabulo" },
            { ORVEX_SESSION_PROGRAM, "installer/app/dedazida" },
        };
        for (const auto &[program, as] : programs) {
            fs::create_directories((tree / as).parent_path());
            fs::copy_file(program, tree / as);
        }
        fs::copy_file(fs::path(ORVEX_DEDAZIDA).parent_path() / "BUILD.INF", tree / "installer/app/BUILD.INF");
        return tree.string();
    }

    std::string base_, name_, output_;
};

TEST_F(Setup, InstallsOnAFreshMachineWithItsWizard)
{
    FreshMachine();
    const std::string shots = std::string(ORVEX_BINARY_DIR) + "/screenshots/setup";
    const std::vector<std::string> log = Session("install", shots);
    const std::vector<std::string> pages = Pages(log);
    // The product has one install type, so no setup type page; that type
    // installs every group, so the components page shows.
    EXPECT_THAT(pages,
        ElementsAre("TWelcomeForm Bienvenido", "TLicenseForm Contrato de licencia",
            "TFileGroupSelectForm Seleccione los componentes a instalar",
            "TSelectFolderForm Seleccione la carpeta del menú Inicio",
            "TGoodInstallForm Instalación terminada"));
    EXPECT_THAT(log, Contains("end"));
    for (const std::string &line : log)
        EXPECT_EQ(line.rfind("box ", 0), std::string::npos)
            << "no question on a first installation: " << line;
    // The copy window came up after the wizard and followed the copy to its end.
    const auto copy = std::find(log.begin(), log.end(), "copy Copiando los archivos de instalación");
    ASSERT_NE(copy, log.end());
    EXPECT_GT(copy - log.begin(), std::find(log.begin(), log.end(), "page " + pages[3]) - log.begin());
    EXPECT_THAT(log, Contains("progress 100"));

    ExpectInstalled();
    // The Start-menu folder with both shortcuts, and the one on the desktop.
    const std::string programs = ShellFolder("Programs") + "\\ORVEX Tabulo 2\\";
    auto tabulo = LnkInfo(Host(programs + "Tabulo 2.LNK"));
    EXPECT_EQ(tabulo["Local path"], std::string(Folder) + "Tabulo.exe") << tabulo["error"];
    auto licence = LnkInfo(Host(programs + "Licencia de uso.LNK"));
    EXPECT_EQ(licence["Local path"], std::string(Folder) + "licencia.txt") << licence["error"];
    auto desktop = LnkInfo(Host(ShellFolder("Desktop") + "\\Tabulo 2.LNK"));
    EXPECT_EQ(desktop["Local path"], std::string(Folder) + "Tabulo.exe") << desktop["error"];

    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName"), Product);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString"),
        std::string(Folder) + "DesinstalarOrvexTabulo2.exe " + Product);
    const std::vector<std::string> files = FileList();
    EXPECT_THAT(files, Contains(std::string(Folder) + "Tabulo.exe"));
    EXPECT_THAT(files, Contains(std::string(Folder) + "licencia.txt"));
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(),
        [](const std::string &a, const std::string &b) { return CompareText(a, b) < 0; }));
    for (const std::string &file : files)
        EXPECT_EQ(
            Value(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", file),
            "<none>")
            << "nothing of the product is counted as shared: " << file;
    // The run cleaned up after itself: no install log, no loader folder.
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\Kelvara\\Install")) << "the install log is gone";
    EXPECT_TRUE(fs::is_empty(Host("C:\\WINDOWS\\TEMP")));

    // The calculator starts from its shortcut and keeps its window open
    // until it is closed.
    const int64_t calculator = StartProgram(tabulo["Local path"], {});
    ASSERT_GT(calculator, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    EXPECT_EQ(waitpid(static_cast<pid_t>(calculator), &status, WNOHANG), 0) << "tabulo ended by itself";
    kill(static_cast<pid_t>(calculator), SIGTERM);
    waitpid(static_cast<pid_t>(calculator), &status, 0);

    // Its uninstaller asks first: No leaves the product as it is, Yes takes
    // it all away again, and it says so.
    const std::vector<std::string> command
        = CommandLineToArgv(Value(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString"));
    ASSERT_GE(command.size(), 2u);
    const std::vector<std::string> arguments(command.begin() + 1, command.end());
    const std::string question = "box Pregunta: Se eliminará ORVEX Tabulo 2.0 de este equipo: sus archivos, sus "
                                 "accesos directos y sus datos en el registro de Windows. |  |  Continúa?";
    const std::string uninstallLog = Machine().Root() + "/uninstall.log";
    setenv("ORVEX_SESSION_LOG", uninstallLog.c_str(), 1);
    setenv("ORVEX_SESSION", "uninstall:no", 1);
    EXPECT_EQ(Run(command[0], arguments), 2);
    EXPECT_THAT(Lines(uninstallLog), ElementsAre(question, "click No", "end 2"));
    ExpectInstalled();
    EXPECT_TRUE(KeyExists(UninstallKey));
    // Yes on a display with a window manager, where its boxes are pictured
    // in the window manager's frames.
    fs::remove(uninstallLog);
    setenv("ORVEX_SESSION", "uninstall", 1);
    setenv("ORVEX_SESSION_SHOTS", shots.c_str(), 1);
    for (const char *shot : { "/uninstall-1.png", "/uninstall-2.png" })
        fs::remove(shots + shot);
    std::string line = "'" + Host(command[0]) + "'";
    for (const std::string &argument : arguments)
        line += " '" + argument + "'";
    EXPECT_EQ(Shell(UnderAWindowManager(line), 120), 0) << output_;
    EXPECT_THAT(Lines(uninstallLog),
        ElementsAre(question, "click Sí", "box Información: ORVEX Tabulo 2.0 se ha eliminado de este equipo.",
            "click Aceptar", "end 0"));
    for (const char *shot : { "/uninstall-1.png", "/uninstall-2.png" })
        EXPECT_GT(fs::exists(shots + shot) ? fs::file_size(shots + shot) : 0u, 1000u) << shot;
    unsetenv("ORVEX_SESSION");
    unsetenv("ORVEX_SESSION_SHOTS");
    unsetenv("ORVEX_SESSION_LOG");
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_FALSE(fs::exists(Host(std::string(Folder) + "Tabulo.exe")));
    EXPECT_FALSE(fs::exists(Host(programs + "Tabulo 2.LNK")));
    EXPECT_FALSE(fs::exists(Host("C:\\ORVEX"))) << "the uninstaller and the product's folders are left";
    EXPECT_TRUE(fs::exists(Host(ShellFolder("Desktop")))) << "the desktop itself stays";
}

TEST_F(Setup, ASecondRunUpdatesTheInstalledProduct)
{
    FreshMachine();
    ASSERT_THAT(Session("install"), Contains("end"));
    const std::vector<std::string> first = FileList();
    ASSERT_FALSE(first.empty());

    const std::vector<std::string> log = Session("install");
    const std::vector<std::string> pages = Pages(log);
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.back(), "TGoodInstallForm Instalación terminada");
    bool asked = false;
    for (const std::string &line : log)
        asked = asked || line.rfind("box Antes de continuar con la instalación", 0) == 0;
    EXPECT_TRUE(asked) << "the welcome page asks before an update";
    ExpectInstalled();
    // The engine appended the same files again; the list keeps each once.
    EXPECT_EQ(FileList(), first);
}

TEST_F(Setup, TheRealSetupProgramBuildsTheSameArchive)
{
    const std::string &session = Distribution();
    UseMachine(base_ + "/maker");
    const std::string archive = Slurp(Host("C:\\dist\\files.1"));
    ASSERT_FALSE(session.empty());
    const std::string exe = Build(ORVEX_DEDAZIDA, "maker-dedazida");
    EXPECT_GT(exe.size(), Slurp(ORVEX_LOADER).size());
    EXPECT_TRUE(Slurp(Host("C:\\dist\\files.1")) == archive) << "same product, same archive";
    EXPECT_TRUE(fs::exists(Host("C:\\dist\\setup.1")));
}

// Cancel on each page the wizard shows, and during copying: each time the
// setup-incomplete page follows and nothing is left half-written.
TEST_F(Setup, CancelledAtAnyStepEndsOnSetupIncomplete)
{
    FreshMachine("walk");
    const std::vector<std::string> walk = Pages(Session("install"));
    ASSERT_GE(walk.size(), 3u);
    const size_t before = walk.size() - 1; // the pages before setup complete
    for (size_t n = 1; n <= before; ++n) {
        FreshMachine("cancel" + std::to_string(n));
        const std::vector<std::string> log = Session("cancel:" + std::to_string(n), "", 2);
        const std::vector<std::string> pages = Pages(log);
        ASSERT_EQ(pages.size(), n + 1) << n;
        EXPECT_EQ(pages[n - 1], walk[n - 1]) << n;
        EXPECT_EQ(pages.back(), "TBadInstallForm Instalación incompleta") << n;
        EXPECT_FALSE(KeyExists(UninstallKey)) << n;
        EXPECT_FALSE(fs::exists(Host(std::string(Folder) + "Tabulo.exe"))) << n;
        ExpectNothingHalfWritten("cancelled on page " + std::to_string(n));
    }
}

TEST_F(Setup, CancelledWhileCopyingEndsOnSetupIncomplete)
{
    FreshMachine();
    const std::vector<std::string> log
        = Session("cancel:copy", std::string(ORVEX_BINARY_DIR) + "/screenshots/setup/cancelled", 2);
    ASSERT_THAT(log, Contains("cancel copying"));
    EXPECT_EQ(Pages(log).back(), "TBadInstallForm Instalación incompleta");
    // The cancel may come after a file is in: the uninstall list then names
    // what was copied, so that the uninstaller can take it away, and nothing
    // else.
    for (const std::string &file : FileList())
        EXPECT_TRUE(fs::exists(Host(file))) << "the uninstall list names " << file;
    ExpectNothingHalfWritten("cancelled while copying");
}

// The README's road, with the processes started as it starts them, on a
// machine folder that does not exist yet: build the distribution, run its
// setup with someone at the wizard, start the installed calculator; then the
// same on the machine reset by deleting its folder.
TEST_F(Setup, TheReadmesRoadWorksOnANewAndOnAResetMachine)
{
    setenv("ORVEX_BUILD_DIR", SessionTree().c_str(), 1);
    const std::string root = base_ + "/road";
    setenv("WINROOT", root.c_str(), 1);
    const std::string dist = root + "/drive_c/mdiscos/si/tabulo/v2/disco/";
    for (const char *attempt : { "new", "reset" }) {
        unsetenv("ORVEX_SESSION");
        if (std::string(attempt) == "new") {
            EXPECT_EQ(Shell("tools/run distribution"), 0) << output_;
            for (const char *file : { "setup.exe", "setup.1", "files.1" })
                EXPECT_TRUE(fs::exists(dist + file)) << file;
        } else {
            fs::remove_all(root);
        }
        setenv("ORVEX_SESSION", "install", 1);
        const std::string log = base_ + "/road-" + attempt + ".log";
        setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
        // On the reset machine, setup builds the missing distribution first.
        EXPECT_EQ(Shell("tools/run setup"), 0) << attempt << output_;
        EXPECT_THAT(Lines(log), Contains("page TGoodInstallForm Instalación terminada")) << attempt;
        unsetenv("ORVEX_SESSION");
        if (std::string(attempt) == "reset") {
            // As if the Start-menu folder had been named "Calculadoras": the
            // calculator is found all the same.
            for (const auto &entry : fs::recursive_directory_iterator(root + "/drive_c"))
                if (entry.path().filename() == "ORVEX Tabulo 2") {
                    fs::rename(entry.path(), entry.path().parent_path() / "Calculadoras");
                    break;
                }
        }
        // The calculator keeps its window open until it is stopped.
        EXPECT_EQ(Shell("tools/run installed", 3), 124) << attempt << output_;
        if (std::string(attempt) == "new") {
            // The uninstaller asks; No keeps the product, Yes takes it away.
            fs::remove(log);
            setenv("ORVEX_SESSION", "uninstall:no", 1);
            EXPECT_EQ(Shell("tools/run uninstall", 60), 2) << output_;
            EXPECT_THAT(Lines(log), Contains("click No"));
            setenv("ORVEX_SESSION", "uninstall", 1);
            EXPECT_EQ(Shell("tools/run uninstall", 60), 0) << output_;
            EXPECT_THAT(Lines(log), Contains("box Información: ORVEX Tabulo 2.0 se ha eliminado de este equipo."));
            unsetenv("ORVEX_SESSION");
            EXPECT_FALSE(fs::exists(root + "/drive_c/ORVEX")) << "the product's folder is left";
            EXPECT_EQ(Shell("tools/run installed", 3), 1) << output_;
            EXPECT_EQ(Shell("tools/run uninstall", 3), 1) << output_;
        }
    }
    unsetenv("ORVEX_SESSION_LOG");
    unsetenv("ORVEX_BUILD_DIR");
}

// The same with the real setup program, WINROOT unset and a home that has
// never held a machine: the distribution is built where the README says.
TEST_F(Setup, TheRealSetupProgramBuildsTheDistributionOnANewHome)
{
    const std::string home = base_ + "/home";
    const char *saved = std::getenv("HOME");
    const std::string savedHome = saved ? saved : "";
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    unsetenv("WINROOT");
    setenv("ORVEX_BUILD_DIR", ORVEX_BINARY_DIR, 1);
    EXPECT_EQ(Shell("tools/run distribution", 120), 0) << output_;
    unsetenv("ORVEX_BUILD_DIR");
    setenv("HOME", savedHome.c_str(), 1);
    const std::string dist = home + "/.local/share/winroot/drive_c/mdiscos/si/tabulo/v2/disco/";
    for (const char *file : { "setup.exe", "setup.1", "files.1" })
        EXPECT_TRUE(fs::exists(dist + file)) << file;
}

// A command line the program does not understand is shown, and the program
// ends with a failure instead of keeping its empty window up for ever.
TEST_F(Setup, ABadCommandLineIsShownAndEndsTheProgram)
{
    UseMachine(base_ + "/bad");
    const std::string log = base_ + "/bad.log";
    setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
    setenv("ORVEX_SESSION", "install", 1);
    for (const char *argument : { "-x", "x", "--help", "-", "-d" }) {
        fs::remove(log);
        EXPECT_EQ(Shell(std::string(ORVEX_SESSION_PROGRAM) + " " + argument, 60), 1) << argument;
        const std::vector<std::string> lines = Lines(log);
        ASSERT_FALSE(lines.empty()) << argument;
        EXPECT_THAT(Pages(lines), ::testing::IsEmpty()) << argument;
        const std::string expected = std::string(argument) == "-d"
            ? "box Falta la carpeta de generación."
            : std::string("box Parámetro inválido <") + argument + ">.";
        EXPECT_EQ(lines[0].rfind(expected, 0), 0u) << lines[0];
    }
    unsetenv("ORVEX_SESSION");
    unsetenv("ORVEX_SESSION_LOG");
}

// A build or an installation that fails, and one that is cancelled, end
// with a status a script can tell from success; tools/run stops with it.
TEST_F(Setup, FailuresAndCancelsEndWithTheirStatus)
{
    const std::string log = base_ + "/fail.log";
    setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
    // A machine with no toolkit folder, then no BUILD.INF beside the program.
    UseMachine(base_ + "/nokit");
    fs::create_directories(Host("C:\\dev"));
    fs::copy_file(ORVEX_SESSION_PROGRAM, Host("C:\\dev\\setup"));
    std::ofstream(Host("C:\\dev\\BUILD.INF")) << "C:\\dist\r\n";
    EXPECT_EQ(Run("C:\\dev\\setup", { "-b" }), 1);
    EXPECT_FALSE(fs::exists(Host("C:\\dist\\setup.exe")));
    fs::remove(Host("C:\\dev\\BUILD.INF"));
    EXPECT_EQ(Run("C:\\dev\\setup", { "-b" }), 1);

    // tools/run says no word of a distribution that was not built.
    setenv("ORVEX_BUILD_DIR", SessionTree().c_str(), 1);
    const fs::path inf = fs::path(SessionTree()) / "installer/app/BUILD.INF";
    fs::rename(inf, base_ + "/BUILD.INF");
    setenv("WINROOT", (base_ + "/nodist").c_str(), 1);
    EXPECT_NE(Shell("tools/run distribution"), 0);
    EXPECT_EQ(output_.find("the distribution is in"), std::string::npos) << output_;
    fs::rename(base_ + "/BUILD.INF", inf);
    unsetenv("ORVEX_BUILD_DIR");

    // An installation from a damaged archive fails; cancelling ends with 2.
    FreshMachine("damaged");
    const std::string exe = Host("C:\\Descargas\\setup.exe");
    const int64_t files = static_cast<int64_t>(fs::file_size(base_ + "/maker/drive_c/dist/files.1"));
    std::fstream damage(exe, std::ios::in | std::ios::out | std::ios::binary);
    damage.seekp(static_cast<std::streamoff>(fs::file_size(exe)) - SelfExtractorTrailerSize - files / 2);
    damage << std::string(4096, '\x5a');
    damage.close();
    const std::vector<std::string> failed = Session("install", "", 1);
    EXPECT_EQ(Pages(failed).back(), "TBadInstallForm Instalación incompleta");
    EXPECT_TRUE(fs::is_empty(Host("C:\\WINDOWS\\TEMP"))) << "the loader's folder is left";
    FreshMachine("cancelled");
    EXPECT_EQ(Pages(Session("cancel:1", "", 2)).back(), "TBadInstallForm Instalación incompleta");
    unsetenv("ORVEX_SESSION_LOG");
}

// Under a window manager on a real display, the main window is maximised by
// the window manager: whole on the screen, its title bar included. (The
// person cancels at once: the copy adds nothing here and takes minutes in a
// sanitized build.)
TEST_F(Setup, TheMainWindowIsMaximisedUnderAWindowManager)
{
    FreshMachine();
    const std::string log = Machine().Root() + "/session-wm.log";
    const std::string shots = std::string(ORVEX_BINARY_DIR) + "/screenshots/setup/wm";
    fs::remove_all(shots);
    fs::create_directories(shots);
    setenv("ORVEX_SESSION", "cancel:1", 1);
    setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
    setenv("ORVEX_SESSION_SHOTS", shots.c_str(), 1);
    EXPECT_EQ(Shell(UnderAWindowManager("'" + Host("C:\\Descargas\\setup.exe") + "'"), 300), 2) << output_;
    unsetenv("ORVEX_SESSION");
    unsetenv("ORVEX_SESSION_SHOTS");
    unsetenv("ORVEX_SESSION_LOG");
    EXPECT_THAT(Lines(log), Contains("main maximised on the screen"));
    EXPECT_TRUE(fs::exists(shots + "/screen.png"));
}

// The copy to floppies: the loader on the disk starts as a program, and the
// loader's folder does not outlive the run.
TEST_F(Setup, TheCopyToFloppiesStartsAndLeavesNothingBehind)
{
    FreshMachine();
    const std::string log = Machine().Root() + "/todisk.log";
    setenv("ORVEX_SESSION_LOG", log.c_str(), 1);
    EXPECT_EQ(Run("C:\\Descargas\\setup.exe", { "*TODISK" }), 0);
    unsetenv("ORVEX_SESSION_LOG");
    EXPECT_TRUE(fs::is_empty(Host("C:\\WINDOWS\\TEMP"))) << "the loader's folder is left";
    ASSERT_TRUE(fs::exists(Host("A:\\instalar.exe"))) << Slurp(log);
    EXPECT_NE(fs::status(Host("A:\\instalar.exe")).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(fs::exists(Host("A:\\setup.1")));
}

} // namespace
