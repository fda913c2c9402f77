// The setup program's build mode and an installation from the
// self-extracting setup it makes, against zip -6 and unzip of the same tree,
// in one run. The tree is the 200 MB mix of text and binary files, small to
// large, that the archive benchmark first measured (tools/bench/corpus.h);
// the archive benchmark's newer tree of some 7,300 files does not fit a
// distribution, whose install files share 2,000 unique ids. Run by hand:
//
//     bench_distribution [megabytes]      (default 200)
//
// It prints the time of each step (best of three), the ratios and the sizes.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallContainer/toolkitfolder.h"
#include "installer/engine/registration.h"
#include "installer/engine/routines/routines_Registry.h"
#include "platform/classes/filer.h"
#include "platform/rtl/files.h"
#include "platform/rtl/pathmap.h"
#include "platform/system/machine.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"
#include "tools/bench/corpus.h"

extern char **environ;

namespace fs = std::filesystem;

namespace
{

class TBenchForm : public TForm
{
public:
    explicit TBenchForm(TComponent *owner)
        : TForm(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};
const TMetaClass TBenchForm::Class { "TBenchForm", &TForm::Class };
const TClassRegistrar<TBenchForm> benchFormRegistrar({});
const bool registered = (RegisterClasses({ &TBenchForm::Class }), true);

// Nobody sits at the benchmark: a message box means a failure, shown and fatal.
class FatalMessageBoxes : public IMessageBoxService
{
public:
    int Show(HWND, const std::string &text, const std::string &, uint32_t, uint16_t) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        std::exit(1);
    }
};

struct TTimes {
    double wall = 1e9, cpu = 1e9;
};

double CpuSeconds()
{
    double total = 0;
    for (int who : { RUSAGE_SELF, RUSAGE_CHILDREN }) {
        rusage r {};
        getrusage(who, &r);
        total += r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

TTimes Measure(const std::function<void()> &work)
{
    TTimes best;
    for (int run = 0; run < 3; ++run) {
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        best.wall = std::min(
            best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
    }
    return best;
}

void Run(const std::vector<std::string> &args, const fs::path &cwd)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const fs::path previous = fs::current_path();
    fs::current_path(cwd);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    fs::current_path(previous);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
}

// The setup program's configuration: every file of the tree in the install component.
std::string Resource(const std::vector<std::string> &files, const std::string &treeHost)
{
    std::string text = "object Bench: TBenchForm\n"
                       "  object Install1: TInstall\n"
                       "    DestDir = '\\Bench'\n"
                       "    DestDirType = psProgramFiles\n"
                       "    RunAutomatic = False\n"
                       "  end\n";
    int n = 0;
    for (const std::string &host : files) {
        const std::string relative = fs::relative(host, treeHost).string();
        std::string folder = "C:\\corpus\\" + fs::path(relative).parent_path().string();
        text += "  object F" + std::to_string(++n)
            + ": TInstallFile\n    ArchiveFileType = psContainerArchiveFile\n    Container = Install1\n"
              "    DestDirType = psContainerDestDir\n    DestName = '"
            + fs::path(relative).filename().string() + "'\n    FileName = '"
            + fs::path(relative).filename().string() + "'\n    IncludeFromDir = '" + folder + "'\n  end\n";
    }
    return text + "end\n";
}

std::unique_ptr<TBenchForm> LoadForm(const std::string &text)
{
    auto form = std::make_unique<TBenchForm>(nullptr);
    ReadComponentText(form.get(), text, "bench.dfm");
    return form;
}

} // namespace

int main(int argc, char **argv)
{
    RegisterInstallerEngineClasses();
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    std::string pattern = (fs::temp_directory_path() / "bench-distribution-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    const fs::path work = pattern;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("WINROOT", (work / "winroot").c_str(), 1);
    Machine();
    Application->Initialize();
    FatalMessageBoxes boxes;
    SetMessageBoxService(&boxes);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // The toolkit folder with the loading program, as the build installs it.
    ForceDirectories("C:\\Kelvara");
    FileClose(FileCreate(std::string("C:\\Kelvara\\") + ToolkitMarkerFile));
    CopyFile(Machine().WindowsPath(ORVEX_LOADER), "C:\\Kelvara\\KelvaraLoadProgram.exe", false);
    RegWriteString(rkCurrentUser, ToolkitLibraryKey, ToolkitSearchPathValue, "C:\\Kelvara");
    // The program the build packs into setup.1: any program does.
    ForceDirectories("C:\\dev");
    CopyFile(Machine().WindowsPath(ORVEX_LOADER), "C:\\dev\\setup", false);

    std::printf("generating %zu MB ...\n", megabytes);
    const std::string treeHost = MapPath("C:\\corpus");
    const std::vector<std::string> files = MakeCorpus(treeHost, megabytes);
    uintmax_t treeBytes = 0;
    for (const std::string &f : files)
        treeBytes += fs::file_size(f);
    const std::string resource = Resource(files, treeHost);

    // The install component reads the program's command line: the build's has no switches.
    SetProgramArguments({ "setup" });
    const TTimes build = Measure([&] {
        auto form = LoadForm(resource);
        static_cast<TCustomInstall *>(form->FindComponent("Install1"))
            ->Build("C:\\dev\\setup", "C:\\dist", true);
    });
    SetProgramArguments({ "setup", "-sC:\\dist", "-esetup.exe" });
    const TTimes install = Measure([&] {
        auto form = LoadForm(resource);
        static_cast<TCustomInstall *>(form->FindComponent("Install1"))->Process();
    });
    const std::string installed = MapPath("C:\\Program Files\\Bench");
    size_t count = 0;
    for (const auto &entry : fs::recursive_directory_iterator(installed)) {
        count += entry.is_regular_file();
        if (std::getenv("BENCH_LIST"))
            std::printf("%s\n", entry.path().c_str());
    }

    const TTimes zip = Measure([&] {
        fs::remove(work / "tree.zip");
        Run({ "zip", "-6", "-q", "-r", (work / "tree.zip").string(), "." }, treeHost);
    });
    const TTimes unzip = Measure([&] {
        Run({ "unzip", "-q", "-o", (work / "tree.zip").string(), "-d", (work / "out-zip").string() }, work);
    });

    const double setupSize = static_cast<double>(fs::file_size(MapPath("C:\\dist\\setup.exe")));
    const double filesSize = static_cast<double>(fs::file_size(MapPath("C:\\dist\\files.1")));
    const double zipSize = static_cast<double>(fs::file_size(work / "tree.zip"));
    std::printf("tree: %zu files, %.1f MB; installed %zu files (best of 3 runs; cpu = user + system)\n",
        files.size(), treeBytes / 1048576.0, count);
    std::printf("%-22s %10s %10s %10s\n", "", "cpu s", "wall s", "size MB");
    std::printf("(the build deflates at the archive component's level 9; zip at -6)\n");
    std::printf(
        "%-22s %10.3f %10.3f %10.2f\n", "build (setup.exe)", build.cpu, build.wall, setupSize / 1048576.0);
    std::printf("%-22s %10.3f %10.3f\n", "install (from -e)", install.cpu, install.wall);
    std::printf("%-22s %10.3f %10.3f %10.2f\n", "zip -6", zip.cpu, zip.wall, zipSize / 1048576.0);
    std::printf("%-22s %10.3f %10.3f\n", "unzip", unzip.cpu, unzip.wall);
    std::printf("cpu build / zip %.3f, install / unzip %.3f; size files.1 / zip %.4f (files.1 %.2f MB)\n",
        build.cpu / zip.cpu, install.cpu / unzip.cpu, filesSize / zipSize, filesSize / 1048576.0);
    SetMessageBoxService(nullptr);
    ShutdownApplication();
    fs::remove_all(work);
    return 0;
}
