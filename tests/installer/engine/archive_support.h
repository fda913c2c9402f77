#pragma once

// Shared by the archive tests: a scratch folder per test, files in and out,
// and a limit on the size a file may grow to, which is how a full disk looks
// to the writer (the host cuts the write short).

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/system/machine.h"

// The host file of a path the system's code names.
inline std::string Host(const std::string &path)
{
    return MapPath(path);
}

// Paths are named the way the system's code names them: a drive, then the
// folders ("Z:" is the host's root), so the engine composes them as it would
// on the machine; the tests look at the host files behind them.
class ArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Machine();
        std::string pattern = (std::filesystem::temp_directory_path() / "archive-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        host_ = pattern;
        dir_ = "Z:" + host_;
    }
    void TearDown() override { std::filesystem::remove_all(host_); }

    std::string Path(const std::string &name) const { return dir_ + "/" + name; }
    std::string Write(const std::string &name, const std::string &bytes) const
    {
        const std::string path = Host(Path(name));
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Read(const std::string &path)
    {
        std::ifstream in(Host(path), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    static bool Exists(const std::string &path) { return std::filesystem::exists(Host(path)); }

    // An archive of the given sources, made by a fresh component.
    std::string Build(const std::string &archive, const std::vector<std::string> &sources,
        TCompressionLevel level = colMax, bool append = false, int uniqueID = 0) const
    {
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile(archive);
        kc.SetCompressionLevel(level);
        for (const std::string &s : sources)
            kc.FilesToProcess()->Add(s);
        kc.ArchiveFiles(append, uniqueID);
        return Read(archive);
    }

    std::string host_; // the scratch folder on the host
    std::string dir_; // the same, as the system names it
};

inline std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

inline std::string TextBytes(size_t size)
{
    static const char *const words[] = { "suma ", "resta ", "total ", "1.234,56 ", "cinta\n", "memoria " };
    std::string out;
    for (unsigned i = 0; out.size() < size; ++i)
        out += words[(i * 7 + i / 3) % 6];
    out.resize(size);
    return out;
}

inline std::string Hex(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes)
        out += IntToHex(static_cast<unsigned>(c), 2) + " ";
    if (!out.empty())
        out.pop_back();
    return out;
}

inline int32_t At32(const std::string &b, size_t at)
{
    return static_cast<int32_t>(uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8
        | uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24);
}
inline void Set32(std::string &b, size_t at, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>(v >> (8 * i) & 0xFF);
}

// While alive, no file of this process may grow past limit bytes: writes
// beyond it come up short, as on a full disk.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        Set(limit);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    void Set(rlim_t limit)
    {
        rlimit r = saved_;
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    void Lift() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_ {};
    void (*oldHandler_)(int) = nullptr;
};
