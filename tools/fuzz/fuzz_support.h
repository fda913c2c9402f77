#pragma once

// Shared by the fuzz targets: a machine of their own in a temporary folder,
// files written there, no display, and the count of inputs that reached
// their reader.

#include "platform/system/machine.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// Sets up once per process: WINROOT in a fresh temporary folder whose machine
// maps the paths, the offscreen display. Answers that folder as the system's code names it ("Z:" + host path).
inline const std::string &FuzzFolder()
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        setenv("WINROOT", (pattern + "/winroot").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::filesystem::create_directories(pattern + "/files");
        MapPathsThroughMachine();
        return "Z:" + pattern + "/files";
    }();
    return folder;
}

// Writes bytes to a file in the fuzz folder and answers its name for the system's code.
inline std::string FuzzFile(const std::string &name, std::string_view bytes)
{
    const std::string path = FuzzFolder() + "/" + name;
    std::ofstream(path.substr(2), std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

// How many inputs got through the reader's checks to what it reads: a target
// counts an input that did, so that a replay of its seeds shows the target
// reaches its reader.
inline int &FuzzReached()
{
    static int count = 0;
    return count;
}

inline std::string_view AsText(const uint8_t *data, size_t size)
{
    return { reinterpret_cast<const char *>(data), size };
}

// Splits the input at its first NUL byte: two texts for the readers that take two.
inline std::pair<std::string, std::string> SplitAtNul(const uint8_t *data, size_t size)
{
    const std::string_view all = AsText(data, size);
    const size_t nul = all.find('\0');
    if (nul == std::string_view::npos)
        return { std::string(all), std::string() };
    return { std::string(all.substr(0, nul)), std::string(all.substr(nul + 1)) };
}
