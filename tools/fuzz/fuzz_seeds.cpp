// Writes the starting corpus of each fuzz target into <folder>/<target>/,
// from the inputs the tests use: the form resources of the calculator and of
// the tests, an archive made the way the archive tests make theirs, a hive
// file, a version block, a string table, INI text, picture masks, dates and
// RTF documents.
//
//   fuzz_seeds <folder> <source folder> <version fixture>
#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "platform/rtl/strings.h"
#include "tools/fuzz/fuzz_support.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace
{

std::filesystem::path out;

void Seed(const std::string &target, const std::string &name, std::string_view bytes)
{
    std::filesystem::create_directories(out / target);
    std::ofstream(out / target / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadHost(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string WithNul(const std::string &a, const std::string &b)
{
    return a + std::string(1, '\0') + b;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder> <source folder> <version fixture>\n");
        return 2;
    }
    out = argv[1];
    const std::filesystem::path source = argv[2];

    // Form resources, their top object made a TForm so that they read onto the target's form.
    for (const char *file : { "calculator/calcula01.dfm", "calculator/zacerca.dfm", "calculator/CalculaAcercaDe.dfm",
             "tests/platform/classes/base.dfm", "tests/platform/classes/derived.dfm" }) {
        std::string text = ReadHost(source / file);
        const size_t colon = text.find(':'), end = text.find('\n');
        if (colon != std::string::npos && colon < end)
            text.replace(colon, end - colon, ": TForm");
        Seed("form_resource", std::filesystem::path(file).filename().string(), text);
    }

    // An archive of two files.
    {
        const std::string a = FuzzFile("a.txt", "alpha alpha alpha alpha");
        const std::string b = FuzzFile("b.txt", "beta");
        const std::string archive = FuzzFolder() + "/seed.kvr";
        TKvraCompress kc(nullptr);
        kc.SetCompressedFile(archive);
        kc.FilesToProcess()->Add(a);
        kc.FilesToProcess()->Add(b);
        kc.ArchiveFiles(false, 0);
        Seed("archive", "two_files.kvr", ReadHost(archive.substr(2)));
    }

    Seed("registry_hive", "values.reg",
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software]\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test]\n"
        "@=\"default\"\n"
        "\"Text\"=\"a \\\"quoted\\\" \\\\ back\"\n"
        "\"Count\"=dword:0000002a\n"
        "\"Bytes\"=hex:01,02,ff\n"
        "\"Path\"=hex(2):43,00,3a,00,5c,00,00,00\n"
        "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n");

    const std::string fixture = ReadHost(argv[3]);
    Seed("version_block", "program", fixture);
    if (const auto block = TVersionBlock::FromFile("Z:" + std::filesystem::absolute(argv[3]).string()))
        Seed("version_block", "block", block->Bytes());

    Seed("string_table", "table.txt",
        "; the setup program's strings\n1;Bienvenido\n2;Siguiente >\n3;< Atrás\n100;{\nLínea uno\nLínea dos\n}\n");

    Seed("ini_file", "setup.ini",
        "[Setup]\nTitle=ORVEX Tabulo\nDisks=2\nSilent=1\n; comment\n[Files]\nA=\"C:\\Program Files\\x\"\nB = 0x1F\n");

    for (const auto &[name, picture, text] : std::vector<std::tuple<std::string, std::string, std::string>> {
             { "phone", "(###) ###-####", "(555) 123-4567" },
             { "yes_no", "{Yes,No}", "y" },
             { "optional", "#[#]", "1" },
             { "repeat", "*#", "12345" },
             { "counted", "*3{&&-}##", "AB-" },
             { "escaped", ";*##", "*12" },
         })
        Seed("picture_mask", name, WithNul(picture, text));

    for (const auto &[name, text] : std::vector<std::pair<std::string, std::string>> {
             { "date", std::string(1, '\x64') + "29/2/2000" },
             { "time", std::string(1, '\x64') + "12:34:56.789" },
             { "both", std::string(1, '\x64') + "09/03/26 12:00" },
             { "tokens", std::string(1, '\x00') + WithNul("a;b;;c", ";") },
         })
        Seed("scanners", name, text);

    for (const auto &[name, text] : std::vector<std::pair<std::string, std::string>> {
             { "formats", "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                          "{\\f1\\fnil\\fcharset204 Arial Cyr;}}{\\colortbl ;\\red255\\green0\\blue0;}\n"
                          "\\pard\\qc\\li720\\ri360\\fi-360\\sb120\\sa240\\sl360\\slmult1\\tx720\\tqr\\tx2880 "
                          "\\f0\\fs24\\b Title\\b0\\par\n\\pard\\f1\\'c6\\'e0 \\cf1 red\\i it\\i0\\ul u\\ulnone\\par\n"
                          "{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}bullet\\tab item\\line next\\par}" },
             { "unicode", "{\\rtf1\\ansi caf\\u233e \\u-10179?\\u-8704? \\uc2\\u8364\\'80\\'80 "
                          "{\\field{\\*\\fldinst{HYPERLINK \"http://a.b/\"}}{\\fldrslt{\\ul link}}}\\par}" },
             { "objects", "{\\rtf1{\\pict\\pngblip\\picw4\\pich4 89504e47\\bin4 {}\\}}"
                          "{\\object\\objemb{\\*\\objclass Paint}{\\*\\objdata 0102}{\\result{\\pict\\wmetafile8 00}}}}" },
             { "codepage", "{\\rtf1\\mac\\ansicpg10000{\\fonttbl\\f0\\fnil\\fcharset128 MS Mincho;}\\f0 "
                           "\\'93\\'fa\\'96\\'7b\\~\\emdash\\_\\-x}" },
         })
        Seed("rtf", name + ".rtf", text);

    std::filesystem::remove_all(std::filesystem::path(FuzzFolder().substr(2)).parent_path());
    return 0;
}
