// The install archive against zip -6 / unzip and against a bare zlib loop,
// on the same generated tree, in one run. Run by hand:
//
//     bench_archive [megabytes]      (default 200)
//
// It prints the time of each step, the time ratios and the archive sizes.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "platform/rtl/strings.h"
#include "platform/system/machine.h"

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

// Binary in the manner of executables and images: tables, repeated
// structures, stretches of noise.
std::string Binary(std::mt19937 &gen, size_t size)
{
    std::string out;
    out.reserve(size);
    while (out.size() < size) {
        const unsigned kind = gen() % 4;
        const size_t run = 256 + gen() % 4096;
        for (size_t i = 0; i < run; ++i) {
            switch (kind) {
            case 0:
                out += static_cast<char>(gen());
                break; // noise
            case 1:
                out += static_cast<char>(i % 16 == 0 ? gen() : 0);
                break; // sparse table
            case 2:
                out += static_cast<char>((i * 7) & 0xFF);
                break; // structure
            default:
                out += static_cast<char>(gen() & 0x0F);
                break; // low-entropy noise
            }
        }
    }
    out.resize(size);
    return out;
}

std::vector<std::string> MakeTree(const fs::path &root, size_t megabytes)
{
    std::mt19937 gen(2026);
    std::vector<std::string> files;
    const size_t total = megabytes << 20;
    size_t made = 0;
    for (int i = 0; made < total; ++i) {
        // Mostly small files, some medium, a few large ones.
        const unsigned pick = gen() % 100;
        size_t size = pick < 80 ? 1024 + gen() % (64 << 10)
            : pick < 95         ? (1 << 20) + gen() % (2 << 20)
                                : (8 << 20) + gen() % (8 << 20);
        size = std::min(size, total - made);
        const bool text = gen() % 10 < 6;
        const fs::path dir = root / ("dir" + std::to_string(i % 17));
        fs::create_directories(dir);
        const fs::path file = dir / ("file" + std::to_string(i) + (text ? ".txt" : ".bin"));
        std::ofstream(file, std::ios::binary) << (text ? Text(gen, size) : Binary(gen, size));
        files.push_back(file.string());
        made += size;
    }
    return files;
}

// ---- Measuring -------------------------------------------------------------------

// Processor time (user and system, of this process and of the programs it
// ran) is what the comparison rests on, since a busy machine stretches wall
// time at random; each step runs three times and the best run counts.
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

// The limit: each file deflated at level 6 into one output file, then each
// inflated back, with the archive's buffer size and nothing else.
void ZlibPack(const std::vector<std::string> &files, const fs::path &out, std::vector<size_t> &sizes)
{
    std::ofstream pack(out, std::ios::binary);
    std::vector<char> in(65536), buffer(65536);
    for (const std::string &name : files) {
        std::ifstream src(name, std::ios::binary);
        z_stream z {};
        deflateInit(&z, 6);
        size_t written = 0;
        int flush = Z_NO_FLUSH;
        do {
            src.read(in.data(), in.size());
            z.next_in = reinterpret_cast<Bytef *>(in.data());
            z.avail_in = static_cast<uInt>(src.gcount());
            flush = src.eof() ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = reinterpret_cast<Bytef *>(buffer.data());
                z.avail_out = static_cast<uInt>(buffer.size());
                deflate(&z, flush);
                const size_t have = buffer.size() - z.avail_out;
                pack.write(buffer.data(), have);
                written += have;
            } while (z.avail_out == 0);
        } while (flush != Z_FINISH);
        deflateEnd(&z);
        sizes.push_back(written);
    }
}

void ZlibUnpack(const std::vector<std::string> &files, const fs::path &pack, const std::vector<size_t> &sizes,
    const fs::path &outDir)
{
    std::ifstream src(pack, std::ios::binary);
    std::vector<char> in(65536), buffer(65536);
    for (size_t i = 0; i < files.size(); ++i) {
        std::ofstream dest(outDir / ("f" + std::to_string(i)), std::ios::binary);
        z_stream z {};
        inflateInit(&z);
        size_t left = sizes[i];
        int result = Z_OK;
        while (result != Z_STREAM_END && left > 0) {
            src.read(in.data(), std::min(in.size(), left));
            left -= src.gcount();
            z.next_in = reinterpret_cast<Bytef *>(in.data());
            z.avail_in = static_cast<uInt>(src.gcount());
            do {
                z.next_out = reinterpret_cast<Bytef *>(buffer.data());
                z.avail_out = static_cast<uInt>(buffer.size());
                result = inflate(&z, Z_NO_FLUSH);
                dest.write(buffer.data(), buffer.size() - z.avail_out);
            } while (z.avail_out == 0 && result == Z_OK);
        }
        inflateEnd(&z);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    std::string pattern = (fs::temp_directory_path() / "bench-archive-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    const fs::path work = pattern;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("WINROOT", (work / "winroot").c_str(), 1);
    Machine();

    std::printf("generating %zu MB ...\n", megabytes);
    const std::vector<std::string> files = MakeTree(work / "tree", megabytes);
    uintmax_t treeBytes = 0;
    for (const std::string &f : files)
        treeBytes += fs::file_size(f);

    // Our archive at the default level, which is zip's -6.
    const std::string archive = "Z:" + (work / "tree.kvr").string();
    TKvraCompress kc(nullptr);
    kc.SetCompressedFile(archive);
    kc.SetCompressionLevel(colDefault);
    const TTimes ourPack = Measure([&] {
        for (const std::string &f : files)
            kc.FilesToProcess()->Add("Z:" + f);
        kc.ArchiveFiles(false, 0);
    });
    fs::create_directories(work / "out-kvr");
    const TTimes ourUnpack = Measure([&] {
        kc.SetExtractDirectory("Z:" + (work / "out-kvr").string());
        for (const std::string &f : files)
            kc.FilesToProcess()->Add("Z:" + f);
        kc.ExtractFiles();
    });

    const TTimes zipPack = Measure([&] {
        fs::remove(work / "tree.zip");
        Run({ "zip", "-6", "-q", "-r", (work / "tree.zip").string(), "." }, work / "tree");
    });
    const TTimes zipUnpack = Measure([&] {
        Run({ "unzip", "-q", "-o", (work / "tree.zip").string(), "-d", (work / "out-zip").string() }, work);
    });

    std::vector<size_t> sizes;
    fs::create_directories(work / "out-zlib");
    const TTimes zlibPack = Measure([&] {
        sizes.clear();
        ZlibPack(files, work / "tree.zlib", sizes);
    });
    const TTimes zlibUnpack
        = Measure([&] { ZlibUnpack(files, work / "tree.zlib", sizes, work / "out-zlib"); });

    const double ourSize = static_cast<double>(fs::file_size(work / "tree.kvr"));
    const double zipSize = static_cast<double>(fs::file_size(work / "tree.zip"));
    const double zlibSize = static_cast<double>(fs::file_size(work / "tree.zlib"));
    std::printf("tree: %zu files, %.1f MB (best of 3 runs; cpu = user + system)\n", files.size(),
        treeBytes / 1048576.0);
    std::printf("%-10s %10s %10s %12s %12s %10s\n", "", "pack cpu", "pack wall", "unpack cpu", "unpack wall",
        "size MB");
    auto row = [](const char *name, TTimes pack, TTimes unpack, double size) {
        std::printf("%-10s %10.3f %10.3f %12.3f %12.3f %10.2f\n", name, pack.cpu, pack.wall, unpack.cpu,
            unpack.wall, size / 1048576.0);
    };
    row("archive", ourPack, ourUnpack, ourSize);
    row("zip -6", zipPack, zipUnpack, zipSize);
    row("zlib loop", zlibPack, zlibUnpack, zlibSize);
    std::printf("cpu archive / zlib loop: pack %.3f, unpack %.3f, total %.3f\n", ourPack.cpu / zlibPack.cpu,
        ourUnpack.cpu / zlibUnpack.cpu, (ourPack.cpu + ourUnpack.cpu) / (zlibPack.cpu + zlibUnpack.cpu));
    std::printf("cpu archive / zip:       pack %.3f, unpack %.3f, total %.3f\n", ourPack.cpu / zipPack.cpu,
        ourUnpack.cpu / zipUnpack.cpu, (ourPack.cpu + ourUnpack.cpu) / (zipPack.cpu + zipUnpack.cpu));
    std::printf("size archive / zip -6: %.4f\n", ourSize / zipSize);

    fs::remove_all(work);
    return 0;
}
