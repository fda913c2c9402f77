// The install archive against zip -6 / unzip and against a bare zlib loop,
// on the same generated tree, in one run. Run by hand:
//
//     bench_archive [megabytes]      (default 200)
//
// The tree has the shape of a real product: thousands of small text and
// binary files in nested folders, a few large ones, some incompressible.
// Every step runs in a process of its own (three times; the best run
// counts), so its processor time and peak memory are its own. The archive
// is driven as the installer drives it: one call for the whole tree, one
// appending call per file as the file container builds, and one extraction
// call per file into the file's own folder; bench_archive_reader extracts
// the same archive with the format library alone, as the setup's loading
// program can. The whole installation runs the install component on the
// same tree (files, overwrite rules, uninstall records), in setups of at
// most FilesPerSetup files, one after the other in one process, from
// archives built beforehand. "program loaded" is the peak of the program
// image alone: what every step pays before it does anything. The whole
// installation runs by turns with unzip, so that the two meet the same load.
// Work files go to /dev/shm when it is there ($BENCH_DIR chooses another
// place).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "tools/bench/corpus.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "installer/engine/registration.h"
#include "platform/classes/filer.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/system/machine.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

extern char **environ;

namespace fs = std::filesystem;

namespace
{

// ---- The tree ------------------------------------------------------------------

// Text in the manner of source files and documents: words, numbers, lines.
std::string Text(std::mt19937 &gen, size_t size)
{
    static const char *const words[] = { "the", "install", "archive", "file", "disk", "version", "setup",
        "calculadora", "cinta", "memoria", "suma", "total", "component", "if", "return", "string", "int",
        "const", "for", "while", "{", "}", "(", ")", ";", "=", "+", "TKvraCompress", "Format", "%d", "\n" };
    std::string out;
    out.reserve(size + 32);
    std::uniform_int_distribution<int> word(0, sizeof words / sizeof *words - 1), number(0, 99999);
    while (out.size() < size) {
        const int w = word(gen);
        out += words[w];
        out += (gen() % 9 == 0) ? std::to_string(number(gen)) + " " : " ";
    }
    out.resize(size);
    return out;
}

std::string Noise(std::mt19937 &gen, size_t size)
{
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(gen());
    return out;
}

// For 200 MB: about 7,300 files (median near 3 KB, more than half under
// 4 KiB) in about 1,600 nested folders, 14 files over 1 MiB, 30 MB of them
// incompressible. Other sizes scale the counts. Returns the files' paths
// relative to root.
std::vector<std::string> MakeTree(const fs::path &root, size_t megabytes)
{
    std::mt19937 gen(2026);
    const double scale = static_cast<double>(megabytes) / 200.0;
    const int folderCount = std::max(1, static_cast<int>(1626 * scale));
    const int smallCount = std::max(1, static_cast<int>(7320 * scale));
    const int largeCount = std::max(1, static_cast<int>(14 * scale));
    const size_t total = megabytes << 20;

    static const char *const stems[] = { "src", "Lib", "data", "Help", "img", "fonts", "loc", "es", "en",
        "mod", "Plug", "doc", "inc", "res", "Theme", "snd" };
    // Nested up to four deep, so that every stored name (the source path)
    // stays within the archive's 100 characters.
    std::vector<std::string> folders = { "" };
    std::vector<int> depths = { 0 };
    for (int i = 1; i < folderCount; ++i) {
        size_t parent;
        do
            parent = gen() % 3 == 0 ? gen() % folders.size()
                                    : folders.size() - 1 - gen() % std::min<size_t>(folders.size(), 8);
        while (depths[parent] >= 4);
        const std::string name = std::string(stems[gen() % 16]) + std::to_string(i);
        folders.push_back(folders[parent].empty() ? name : folders[parent] + "/" + name);
        depths.push_back(depths[parent] + 1);
    }
    for (const std::string &f : folders)
        fs::create_directories(root / f);

    std::vector<std::string> files;
    size_t made = 0;
    auto put = [&](const std::string &relative, const std::string &bytes) {
        std::ofstream(root / relative, std::ios::binary) << bytes;
        files.push_back(relative);
        made += bytes.size();
    };
    static const char *const textExt[] = { ".txt", ".html", ".xml", ".ini", ".cpp", ".h" };
    static const char *const binExt[] = { ".dll", ".bin", ".dat", ".png", ".res" };
    std::lognormal_distribution<double> smallSize(std::log(3100.0), 1.58);
    for (int i = 0; i < smallCount; ++i) {
        const size_t size = std::clamp<size_t>(static_cast<size_t>(smallSize(gen)), 16, 1 << 20);
        const bool text = gen() % 10 < 6;
        const std::string name = folders[gen() % folders.size()];
        const std::string file = (name.empty() ? "" : name + "/") + "F" + std::to_string(i)
            + (text ? textExt[gen() % 6] : binExt[gen() % 5]);
        put(file, text ? Text(gen, size) : CorpusBinary(gen, size));
    }
    // The large files share what is left; the first few are incompressible.
    const size_t left = made < total ? total - made : size_t { 8 } << 20;
    size_t noise = static_cast<size_t>(30.0 * scale * 1048576);
    for (int i = 0; i < largeCount; ++i) {
        const size_t size = std::max<size_t>(left / largeCount, (1 << 20) + 1);
        const std::string name = folders[gen() % folders.size()];
        const std::string file = (name.empty() ? "" : name + "/") + "Large" + std::to_string(i) + ".pak";
        if (noise > 0) {
            const size_t n = std::min(noise, size);
            put(file, Noise(gen, n) + CorpusBinary(gen, size - n));
            noise -= n;
        } else {
            put(file, i % 2 ? Text(gen, size) : CorpusBinary(gen, size));
        }
    }
    std::shuffle(files.begin(), files.end(), gen);
    return files;
}

std::vector<std::string> ReadList(const fs::path &list)
{
    std::vector<std::string> files;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);)
        files.push_back(line);
    return files;
}

// ---- The steps, each in a child process -------------------------------------------

std::string Windows(const fs::path &host)
{
    return "Z:" + host.string();
}

void OurPack(const fs::path &work, const std::vector<std::string> &files, bool perFile)
{
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Windows(work / "tree.kvr"));
    kc.SetCompressionLevel(colDefault); // zlib's 6, as zip -6
    fs::remove(work / "tree.kvr");
    int id = 0;
    for (const std::string &f : files) {
        kc.FilesToProcess()->Add(Windows(work / "tree" / f));
        if (perFile)
            kc.ArchiveFiles(true, id++ % UniqueIDCount);
    }
    if (!perFile)
        kc.ArchiveFiles(false, 0);
}

void OurUnpack(const fs::path &work, const std::vector<std::string> &files)
{
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(Windows(work / "tree.kvr"));
    for (const std::string &f : files) {
        kc.SetExtractDirectory(Windows((work / "out" / f).parent_path()));
        kc.FilesToProcess()->Add(Windows(work / "tree" / f));
        kc.ExtractFiles();
    }
}

// The limit: each file deflated at level 6 into one output file, then each
// inflated back into a tree of the same shape, with one zlib state, 64 KiB
// buffers and nothing else.
void ZlibPack(const fs::path &work, const std::vector<std::string> &files)
{
    const int pack = open((work / "tree.zlib").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::ofstream sizes(work / "tree.zlib.sizes");
    std::vector<unsigned char> in(65536), out(65536);
    z_stream z {};
    deflateInit(&z, 6);
    for (const std::string &name : files) {
        const int src = open((work / "tree" / name).c_str(), O_RDONLY);
        deflateReset(&z);
        size_t written = 0;
        int flush = Z_NO_FLUSH;
        do {
            const ssize_t n = read(src, in.data(), in.size());
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(std::max<ssize_t>(n, 0));
            flush = n < static_cast<ssize_t>(in.size()) ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = out.data();
                z.avail_out = static_cast<uInt>(out.size());
                deflate(&z, flush);
                const size_t have = out.size() - z.avail_out;
                if (write(pack, out.data(), have) != static_cast<ssize_t>(have))
                    std::exit(1);
                written += have;
            } while (z.avail_out == 0);
        } while (flush != Z_FINISH);
        close(src);
        sizes << written << "\n";
    }
    deflateEnd(&z);
    close(pack);
}

void ZlibUnpack(const fs::path &work, const std::vector<std::string> &files)
{
    const int pack = open((work / "tree.zlib").c_str(), O_RDONLY);
    std::ifstream sizeList(work / "tree.zlib.sizes");
    std::vector<unsigned char> in(65536), out(65536);
    std::set<fs::path> made;
    z_stream z {};
    inflateInit(&z);
    for (const std::string &name : files) {
        size_t left = 0;
        sizeList >> left;
        const fs::path target = work / "out" / name;
        if (made.insert(target.parent_path()).second)
            fs::create_directories(target.parent_path());
        const int dest = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        inflateReset(&z);
        int result = Z_OK;
        while (result != Z_STREAM_END && left > 0) {
            const ssize_t n = read(pack, in.data(), std::min(in.size(), left));
            left -= static_cast<size_t>(std::max<ssize_t>(n, 0));
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(std::max<ssize_t>(n, 0));
            do {
                z.next_out = out.data();
                z.avail_out = static_cast<uInt>(out.size());
                result = inflate(&z, Z_NO_FLUSH);
                const size_t have = out.size() - z.avail_out;
                if (write(dest, out.data(), have) != static_cast<ssize_t>(have))
                    std::exit(1);
            } while (z.avail_out == 0 && result == Z_OK);
        }
        close(dest);
    }
    inflateEnd(&z);
    close(pack);
}

// ---- The whole installation -------------------------------------------------------

// The setup program's main form, owner of the install objects.
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

// A setup carries at most UniqueIDCount files, so the tree goes in parts,
// one setup each, installed one after the other into one product folder
// with one uninstall record, as a product and its add-ons would be.
constexpr size_t FilesPerSetup = 1800;

std::string SetupResource(const fs::path &work, const std::vector<std::string> &files, size_t first)
{
    std::string text = "object Bench: TBenchForm\n"
                       "  object Install1: TInstall\n"
                       "    DestDir = '\\Bench'\n"
                       "    DestDirType = psProgramFiles\n"
                       "    Information.ProductName = 'Bench'\n"
                       "    RunAutomatic = False\n"
                       "  end\n";
    const size_t end = std::min(files.size(), first + FilesPerSetup);
    for (size_t i = first; i < end; ++i) {
        const fs::path relative = files[i];
        std::string folder = relative.parent_path().string();
        for (char &c : folder)
            if (c == '/')
                c = '\\';
        text += "  object F" + std::to_string(i) + ": TInstallFile\n"
            + "    ArchiveFileType = psContainerArchiveFile\n    Container = Install1\n" + "    DestDir = '\\"
            + folder + "'\n    DestDirType = psContainerDestDir\n" + "    DestName = '"
            + relative.filename().string() + "'\n" + "    FileName = '" + relative.filename().string() + "'\n"
            + "    IncludeFromDir = '" + Windows((work / "tree" / relative).parent_path()) + "'\n  end\n";
    }
    return text + "end\n";
}

std::string SetupFolder(size_t part)
{
    return "C:\\setup" + std::to_string(part);
}

// Each part as the setup program runs it: its form read, then the run
// (with -e the build's self-extractor; here the archive beside the program).
void Setups(const fs::path &work, const std::vector<std::string> &files, bool build)
{
    RegisterInstallerEngineClasses();
    Application->Initialize();
    FatalMessageBoxes boxes;
    SetMessageBoxService(&boxes);
    for (size_t first = 0, part = 0; first < files.size(); first += FilesPerSetup, ++part) {
        SetProgramArguments({ "setup", "-s" + SetupFolder(part) });
        auto form = std::make_unique<TBenchForm>(nullptr);
        ReadComponentText(form.get(), SetupResource(work, files, first), "bench.dfm");
        auto *install = static_cast<TCustomInstall *>(form->FindComponent("Install1"));
        if (build) {
            ForceDirectories(SetupFolder(part));
            install->Compress({});
        } else {
            install->Process();
        }
    }
    SetMessageBoxService(nullptr);
}

int RunStep(const std::string &step, const fs::path &work)
{
    if (step == "image") {
        usleep(50000); // the program loaded with its libraries, nothing more, long enough to be seen
        return 0;
    }
    const std::vector<std::string> files = ReadList(work / "files.list");
    setenv("WINROOT", (work / "winroot").c_str(), 1);
    Machine();
    if (step == "pack")
        OurPack(work, files, false);
    else if (step == "pack-each")
        OurPack(work, files, true);
    else if (step == "unpack")
        OurUnpack(work, files);
    else if (step == "idle")
        Application->ProcessMessages(); // what any operation does first
    else if (step == "setup-build")
        Setups(work, files, true);
    else if (step == "install")
        Setups(work, files, false);

    else if (step == "zlib-pack")
        ZlibPack(work, files);
    else if (step == "zlib-unpack")
        ZlibUnpack(work, files);
    else
        return 2;
    return 0;
}

// ---- Measuring -------------------------------------------------------------------

// Processor time (user and system) is what the ratios rest on, since a
// busy machine stretches wall time at random; wall time is shown beside it.
struct TTimes {
    double wall = 1e9, cpu = 1e9;
    long peakKiB = 0;
};

TTimes RunChild(const std::vector<std::string> &args, const fs::path &cwd)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    // A spawned child starts with its parent's high-water mark in
    // ru_maxrss, so the peak is read from the child's own VmHWM while it
    // runs; the mark only grows, and a 2 ms poll sees it to the end.
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    long peakKiB = 0;
    int exitStatus = 0;
    rusage usage {};
    for (;;) {
        const pid_t done = spawned == 0 ? wait4(pid, &exitStatus, WNOHANG, &usage) : -1;
        if (done != 0)
            break;
        std::ifstream in(status);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("VmHWM:"))
                peakKiB = std::max(peakKiB, std::strtol(line.c_str() + 6, nullptr, 10));
        usleep(2000);
    }
    if (spawned != 0 || !WIFEXITED(exitStatus) || WEXITSTATUS(exitStatus) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
    TTimes t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    t.peakKiB = peakKiB;
    return t;
}

TTimes Best(const std::function<void()> &before, const std::vector<std::string> &args, const fs::path &cwd)
{
    TTimes best;
    for (int run = 0; run < 3; ++run) {
        before();
        const TTimes t = RunChild(args, cwd);
        best.wall = std::min(best.wall, t.wall);
        best.cpu = std::min(best.cpu, t.cpu);
        best.peakKiB = std::max(best.peakKiB, t.peakKiB);
    }
    return best;
}

// Two commands by turns, three runs each, so that both meet the same load
// on a shared machine; the best run of each counts.
std::pair<TTimes, TTimes> BestPaired(const std::function<void()> &beforeA,
    const std::vector<std::string> &argsA, const fs::path &cwdA, const std::function<void()> &beforeB,
    const std::vector<std::string> &argsB, const fs::path &cwdB)
{
    TTimes a, b;
    auto keep = [](TTimes &best, const TTimes &t) {
        best.wall = std::min(best.wall, t.wall);
        best.cpu = std::min(best.cpu, t.cpu);
        best.peakKiB = std::max(best.peakKiB, t.peakKiB);
    };
    for (int run = 0; run < 3; ++run) {
        beforeA();
        keep(a, RunChild(argsA, cwdA));
        beforeB();
        keep(b, RunChild(argsB, cwdB));
    }
    return { a, b };
}

// The extracted tree must be the source tree again.
bool SameTrees(const fs::path &a, const fs::path &b, const std::vector<std::string> &files)
{
    for (const std::string &f : files) {
        std::ifstream x(a / f, std::ios::binary), y(b / f, std::ios::binary);
        const std::string bx((std::istreambuf_iterator<char>(x)), {}),
            by((std::istreambuf_iterator<char>(y)), {});
        if (bx != by) {
            std::fprintf(stderr, "%s differs after extraction\n", f.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 4 && std::string(argv[1]) == "--step")
        return RunStep(argv[2], argv[3]);

    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const char *place = std::getenv("BENCH_DIR");
    const fs::path base = place  ? fs::path(place)
        : fs::exists("/dev/shm") ? fs::path("/dev/shm")
                                 : fs::temp_directory_path();
    std::string pattern = (base / "ba-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    const fs::path work = pattern;
    const std::string self = fs::canonical("/proc/self/exe").string();

    std::printf("generating %zu MB in %s ...\n", megabytes, work.c_str());
    const std::vector<std::string> files = MakeTree(work / "tree", megabytes);
    {
        std::ofstream list(work / "files.list");
        for (const std::string &f : files)
            list << f << "\n";
    }
    std::vector<uintmax_t> sizes;
    uintmax_t treeBytes = 0, over1M = 0;
    for (const std::string &f : files) {
        sizes.push_back(fs::file_size(work / "tree" / f));
        treeBytes += sizes.back();
        over1M += sizes.back() > (1u << 20);
    }
    std::sort(sizes.begin(), sizes.end());
    const double under4K
        = static_cast<double>(std::lower_bound(sizes.begin(), sizes.end(), 4096) - sizes.begin());
    size_t folders = 0;
    for (const auto &entry : fs::recursive_directory_iterator(work / "tree"))
        folders += entry.is_directory();

    auto step = [&](const char *name) {
        return std::vector<std::string> { self, "--step", name, work.string() };
    };
    const auto clearOut = [&] { fs::remove_all(work / "out"); };
    const auto nothing = [] {};

    const TTimes image = Best(nothing, step("image"), work);
    const TTimes idle = Best(nothing, step("idle"), work);
    const TTimes pack = Best(nothing, step("pack"), work);
    const TTimes unpack = Best(clearOut, step("unpack"), work);
    const bool same = SameTrees(work / "tree", work / "out", files);
    const double ourSize = static_cast<double>(fs::file_size(work / "tree.kvr"));
    const TTimes packEach = Best(nothing, step("pack-each"), work);
    const double ourEachSize = static_cast<double>(fs::file_size(work / "tree.kvr"));

    const TTimes zip = Best([&] { fs::remove(work / "tree.zip"); },
        { "zip", "-r", "-6", "-q", (work / "tree.zip").string(), "." }, work / "tree");
    const TTimes unzip = Best(
        clearOut, { "unzip", "-q", "-o", (work / "tree.zip").string(), "-d", (work / "out").string() }, work);
    const double zipSize = static_cast<double>(fs::file_size(work / "tree.zip"));

    // The format library alone extracts the archive the per-file build left.
    const TTimes reader = Best(clearOut,
        { BENCH_ARCHIVE_READER, (work / "tree.kvr").string(), Windows(work / "tree") + "/",
            (work / "out").string() },
        work);
    const bool readerSame = SameTrees(work / "tree", work / "out", files);

    // The whole installation: files, their overwrite rules and uninstall
    // records. Each run starts from the machine as the build left it.
    RunChild(step("setup-build"), work);
    const fs::path installed = work / "winroot" / "drive_c" / "Program Files" / "Bench";
    const fs::path hives = work / "winroot" / "registry";
    fs::copy(hives, work / "registry-built", fs::copy_options::recursive);
    const auto [install, unzipPaired] = BestPaired(
        [&] {
            fs::remove_all(installed);
            fs::remove_all(hives);
            fs::copy(work / "registry-built", hives, fs::copy_options::recursive);
        },
        step("install"), work, clearOut,
        { "unzip", "-q", "-o", (work / "tree.zip").string(), "-d", (work / "out").string() }, work);
    const bool installSame = SameTrees(work / "tree", installed, files);

    const TTimes zlibPack = Best(nothing, step("zlib-pack"), work);
    const TTimes zlibUnpack = Best(clearOut, step("zlib-unpack"), work);
    const double zlibSize = static_cast<double>(fs::file_size(work / "tree.zlib"));

    std::printf(
        "tree: %zu files (median %.1f KB, %.0f %% under 4 KiB, %ju over 1 MiB) in %zu folders, %.1f MB\n",
        files.size(), sizes[sizes.size() / 2] / 1000.0, 100.0 * under4K / files.size(), over1M, folders,
        treeBytes / 1048576.0);
    std::printf("best of 3 runs, each in its own process; cpu = user + system seconds; peak = largest "
                "resident set (VmHWM)\n");
    std::printf("%-28s %9s %9s %10s\n", "", "cpu s", "wall s", "peak MiB");
    auto row = [](const char *name, const TTimes &t) {
        std::printf("%-28s %9.3f %9.3f %10.1f\n", name, t.cpu, t.wall, t.peakKiB / 1024.0);
    };
    row("program loaded, nothing done", image);
    row("start-up, machine and messages", idle);
    row("archive build, one call", pack);
    row("archive build, call per file", packEach);
    row("archive extract", unpack);
    row("format library alone, extract", reader);
    row("whole installation", install);
    row("unzip -q, by turns with it", unzipPaired);
    row("zip -r -6 -q", zip);
    row("unzip -q", unzip);
    row("zlib loop pack", zlibPack);
    row("zlib loop unpack", zlibUnpack);
    std::printf("ratios (cpu):  build / zip -6 %.3f   build per file / zip -6 %.3f   extract / unzip %.3f\n",
        pack.cpu / zip.cpu, packEach.cpu / zip.cpu, unpack.cpu / unzip.cpu);
    std::printf("               build / zlib loop %.3f   extract / zlib loop %.3f\n", pack.cpu / zlibPack.cpu,
        unpack.cpu / zlibUnpack.cpu);
    std::printf("ratios (wall): build / zip -6 %.3f   build per file / zip -6 %.3f   extract / unzip %.3f\n",
        pack.wall / zip.wall, packEach.wall / zip.wall, unpack.wall / unzip.wall);
    std::printf("               whole installation / unzip run by turns with it %.3f (cpu), %.3f (wall)\n",
        install.cpu / unzipPaired.cpu, install.wall / unzipPaired.wall);
    std::printf("size MB: archive %.2f (per file %.2f), zip -6 %.2f, zlib loop %.2f; archive / zip -6 %.4f\n",
        ourSize / 1048576.0, ourEachSize / 1048576.0, zipSize / 1048576.0, zlibSize / 1048576.0,
        ourSize / zipSize);
    std::printf("extracted and installed trees %s the source tree\n",
        same && readerSame && installSame ? "equal" : "DIFFER FROM");

    if (!std::getenv("BENCH_KEEP"))
        fs::remove_all(work);
    return same && readerSame && installSame ? 0 : 1;
}
