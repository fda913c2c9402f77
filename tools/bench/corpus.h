#pragma once

// A generated tree of text and binary files in the manner of a product's
// distribution (mostly small files, some of a few megabytes, a few large
// ones), the same for the same seed and size; for 200 MB about 215 files, so
// that a setup can carry all of them.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// Text in the manner of source files and documents: words, numbers, lines.
inline std::string CorpusText(std::mt19937 &gen, size_t size)
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
inline std::string CorpusBinary(std::mt19937 &gen, size_t size)
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

inline std::vector<std::string> MakeCorpus(const std::filesystem::path &root, size_t megabytes)
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
        const std::filesystem::path dir = root / ("dir" + std::to_string(i % 17));
        std::filesystem::create_directories(dir);
        const std::filesystem::path file = dir / ("file" + std::to_string(i) + (text ? ".txt" : ".bin"));
        std::ofstream(file, std::ios::binary) << (text ? CorpusText(gen, size) : CorpusBinary(gen, size));
        files.push_back(file.string());
        made += size;
    }
    return files;
}
