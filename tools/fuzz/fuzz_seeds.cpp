// Writes the starting corpus of each fuzz target into <folder>/<target>/,
// from the inputs the tests use: the form resources of the programs and of
// the tests, an archive made the way the archive tests make theirs, a hive
// file, a version block, a string table, INI text, picture masks, dates, RTF
// documents, filter expressions and the blocks they compile to, queries by
// example, picker formats with keys, self-extracting files, a file list,
// Program Manager commands and a group, and the data targets' database.
//
//   fuzz_seeds <folder> <source folder> <version fixture>
#include "controls/base/Qxfilter.h"
#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "installer/engine/cmp_TVersion/cmp_TVersion.h"
#include "installer/formats/remotefilelist.h"
#include "installer/formats/selfextractor.h"
#include "platform/rtl/strings.h"
#include "platform/ui/testing.h"
#include "tools/fuzz/fuzz_tables.h"

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

// A file of a loader's bytes, the setup.1 copy, the files.1 copy (when
// given) and the trailer that places them.
std::string SelfExtracting(const std::string &setup, const std::string &files)
{
    const std::string loader = "MZ" + std::string(62, '\x90');
    TSelfExtractorTrailer trailer;
    trailer.SetupStart = static_cast<int32_t>(loader.size());
    trailer.SetupEnd = static_cast<int32_t>(loader.size() + setup.size() - 1);
    if (!files.empty()) {
        trailer.FilesStart = trailer.SetupEnd + 1;
        trailer.FilesEnd = static_cast<int32_t>(trailer.FilesStart + files.size() - 1);
    }
    const TTrailerBytes bytes = EncodeTrailer(trailer);
    return loader + setup + files + std::string(bytes.begin(), bytes.end());
}

// The form resources the tests read from their own text: every raw string
// that holds an object.
void SeedTestResources(const std::filesystem::path &tests)
{
    for (const auto &entry : std::filesystem::recursive_directory_iterator(tests)) {
        if (entry.path().extension() != ".cpp")
            continue;
        const std::string text = ReadHost(entry.path());
        int n = 0;
        for (size_t at = text.find("R\"(object "); at != std::string::npos; at = text.find("R\"(object ", at + 1)) {
            const size_t end = text.find(")\"", at);
            if (end == std::string::npos)
                break;
            Seed("form_resource", entry.path().stem().string() + "_" + std::to_string(++n) + ".dfm",
                text.substr(at + 3, end - at - 3));
        }
    }
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
    for (const char *folder : { "installer/app", "installer/dialogs", "controls/widgets" })
        for (const auto &entry : std::filesystem::directory_iterator(source / folder))
            if (entry.path().extension() == ".dfm")
                Seed("form_resource", entry.path().filename().string(), ReadHost(entry.path()));
    SeedTestResources(source / "tests");
    Seed("form_resource", "widgets.dfm",
        "object Host: TForm\n  Width = 600\n  Height = 400\n"
        "  object Grid: TqxDBGrid\n    Left = 8\n    Top = 8\n    Width = 300\n    Height = 200\n  end\n"
        "  object Combo: TqxDBComboBox\n    Left = 320\n    Top = 8\n    Width = 120\n    Height = 21\n  end\n"
        "  object Notes: TqxDBRichEdit\n    Left = 8\n    Top = 220\n    Width = 300\n    Height = 100\n  end\n"
        "  object Calendar: TqxMonthCalendar\n    Left = 320\n    Top = 40\n    Width = 200\n    Height = 160\n  end\n"
        "  object Picker: TqxDBDateTimePicker\n    Left = 320\n    Top = 220\n    Width = 120\n    Height = 21\n  end\n"
        "end\n");

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
        const std::string kvr = ReadHost(archive.substr(2));
        Seed("archive", "two_files.kvr", kvr);
        // The loader's target: a first byte 0 for a self-extracting file, else setup.1 beside it.
        Seed("setup_archive", "self_extracting", std::string(1, '\0') + SelfExtracting(kvr, "files"));
        Seed("setup_archive", "beside", std::string(1, '\1') + kvr);
        Seed("trailer", "setup_only", SelfExtracting(kvr, ""));
        Seed("trailer", "setup_and_files", SelfExtracting(kvr, "files"));
    }

    {
        std::string list("\x02\0\0\0", 4);
        list += EncodeRemoteFileRecord({ 1234, 36892.5, "TABULO.EXE", "1.0.0.7" });
        list += EncodeRemoteFileRecord({ 0, 0, "LEEME.TXT", "a version longer than its field" });
        Seed("remote_file_list", "two_files.lst", list);
    }

    // Filter expressions of the filter tests, and the blocks they compile to.
    {
        ScriptedMessageBoxes boxes;
        const std::unique_ptr<TTable> orders = FuzzOpenTable(FuzzDatabase(), "orders");
        int n = 0;
        for (const char *expression : { "Qty > 5", "Paid = t", "(Qty)-(1) = 2", "City = \"New York\" AND Qty > 5",
                 "City = New York AND Qty > 5", "(Qty = 1) OR (Price = 2) AND (Paid = t)", "Qty > 5 and Qty < 9 Or Qty = 20",
                 "(Qty <> 1) AND (Qty <= 2) OR (Qty < 3)", "(Qty)+(1)-(2) > 0", "Ship To = \"Lima\"", "Price < 2.75",
                 "Small = 70000", "Amount >= 12.5", "Sold > 15/01/2001", "At < 12:00", "Stamp = 31/12/1999 23:59:59",
                 "Qty * Price / 2 > 1", "Town = 1" }) {
            const std::string name = "expression" + std::to_string(++n);
            Seed("filter_expression", name, expression);
            std::vector<uint8_t> block;
            try {
                if (qxBuildFilterBlock(expression, orders.get(), block))
                    Seed("filter_block", name, std::string(block.begin(), block.end()));
            } catch (const Exception &) {
                // a constant of the wrong kind compiles to no block
            }
        }
    }

    // Queries by example of the engine tests; a first byte 1 counts blanks as zero.
    for (const auto &[name, text] : std::vector<std::pair<std::string, std::string>> {
             { "join", "Query\r\n\r\nANSWER: :PRIV:ANSWER.DB\r\n\r\n"
                       "customer | CustNo       | Name  | City     |\r\n"
                       "         | Check _c     | Check | Check    |\r\n\r\n"
                       "sales    | CustNo | Amount |\r\n"
                       "         | _c     | > 20   |\r\n\r\nEndQuery\r\n" },
             { "blanks", "Query\n\nsales | OrderNo | Amount |\n       | Check   | < 5    |\n\nEndQuery" },
             { "check_plus", "Query\n\ncustomer | City | Name |\n | Check \"Lima\" | CheckPlus |\n\nEndQuery" },
             { "no_check", "Query\n\ncustomer | City | Name |\n | Lima | |\n\nEndQuery" },
             { "like", "Query\n\ncustomer | Name |\n | Check like \"A..\" |\n\nEndQuery" },
             { "element_first", "Query\n\ncustomer | Name |\n | > _x |\n\nEndQuery" },
         })
        Seed("qbe", name, "\x01" + text);

    // Picker formats of the text engine's tests, each with a settings byte and
    // keys: digits, Right, Up, a cut, Right twice, Backspace, a letter, a click.
    {
        const std::string keys = { '\0', '\x02', '\x09', '\x0B', '\x0C', '\x28', '\x0B', '\x0B', '\x10', '\x19', '\x45' };
        int n = 0;
        for (const char *format : { "", "dd/mm/yyyy", "dd mmmm yyyy", "dddd dd", "h:nn am/pm", "mm/yy", "yyyy",
                 "hh:nn:ss", "c", "dddd, d 'de' mmmm 'de' yyyy hh:nn:ss" })
            Seed("datetime_text", "format" + std::to_string(++n), WithNul(format, keys));
        // Found by fuzzing: keys that once left the month outside the year and
        // raised a conversion error out of the key press.
        Seed("datetime_text", "stray_month", std::string("\x63\x00\x2D\x00\x02\x09\x0B\x0D\x28\x57\x10\x0B\x27\x18\x64\x64\x64\x19\x00\x00\x00\x00\x0E\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x45", 46));
    }

    Seed("progman", "commands_and_group",
        WithNul("[CreateGroup(\"ORVEX, Tabulo\")][ShowGroup(\"orvex, tabulo\",8)]"
                "[AddItem(C:\\Program Files (x86)\\T.EXE -x,Tabulo,C:\\T.EXE,0,,,C:\\Program Files,1620)]"
                "[AddItem(C:\\AYUDA.HLP,\"Ayuda, en l\xC3\xADnea\")][AddItem(C:\\LEEME.TXT)]"
                "[ReplaceItem(\"Tabulo\")][AddItem(b2.exe,Tabulo)][CreateGroup(\"..\\..\\etc\")]",
            "[Group]\nName=Fuzz\nShowCommand=8\n[Item]\nName=A\nCommandLine=a.exe\nWorkingDirectory=C:\\\n"
            "IconPath=\nIconIndex=0\nX=\nY=\nHotKey=1620\n"));

    // BUILD.INF as the setup tests write it, and with its folder on a second line.
    Seed("build_inf", "dist", "C:\\dist\r\n");
    Seed("build_inf", "second_line", "\r\nC:\\dist\r\n");

    Seed("sqlite_database", "data.db", ReadHost(FuzzDatabase().substr(2)));

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
        "* Common strings for standard dialogs\n\n   4;< Atrás   \n5;Siguiente >\n1;Bienvenido\n#100;\nLínea uno\nLínea dos\n#\n");

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
