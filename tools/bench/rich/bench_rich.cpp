// Loads and saves a generated 5 MB RTF document: the RTF reader and writer
// alone, then the rich edit control reading it into its document and
// writing it out again, and pandoc reading the same file (to plain text) as
// the peer, each run several times; prints medians.
//
//   bench_rich [runs]    (QT_QPA_PLATFORM=offscreen without a display)
#include "platform/rich/comctrls.h"
#include "platform/rich/registration.h"
#include "platform/rich/rtf.h"
#include "platform/rtl/streams.h"
#include "platform/ui/forms.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace
{

// Paragraphs of mixed formats, accents and tabs until the text is 5 MB.
std::string MakeDocument(size_t bytes)
{
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                      "{\\f1\\froman\\fcharset0 Times New Roman;}}{\\colortbl;\\red200\\green0\\blue0;}\r\n";
    for (int i = 0; rtf.size() < bytes; ++i) {
        rtf += "\\pard\\li" + std::to_string(i % 5 * 360) + "\\sa120\\tx2880 ";
        rtf += "\\f0\\fs20 Paragraph " + std::to_string(i) + "\\tab with {\\b bold}, {\\i italic} and ";
        rtf += "{\\cf1\\f1 coloured caf\\'e9 cr\\'e8me \\u8364\\'80 text} that goes on for a while to fill a line";
        rtf += " or two of the page as documents do.\\par\r\n";
    }
    return rtf + "}";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Time(const std::function<void()> &fn)
{
    auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    RegisterRichClasses();
    Application->Initialize();

    std::string rtf = MakeDocument(5 * 1024 * 1024);
    std::filesystem::path file = std::filesystem::temp_directory_path() / "bench_rich.rtf";
    std::ofstream(file, std::ios::binary) << rtf;
    std::printf("document: %.1f MB of RTF\n", rtf.size() / 1048576.0);

    std::vector<double> read, write, load, save, pandoc;
    size_t paragraphs = 0, written = 0;
    for (int run = 0; run < runs; ++run) {
        TRichDocument document;
        read.push_back(Time([&] { document = ReadRtf(rtf); }));
        paragraphs = document.paragraphs.size();
        write.push_back(Time([&] { written = WriteRtf(document).size(); }));

        TRichEdit edit(nullptr);
        TStringStream source(rtf);
        load.push_back(Time([&] { edit.Lines()->LoadFromStream(source); }));
        TStringStream out;
        save.push_back(Time([&] { edit.Lines()->SaveToStream(out); }));

        std::string command = "pandoc -f rtf -t plain -o /dev/null '" + file.string() + "' 2>/dev/null";
        pandoc.push_back(Time([&] {
            if (std::system(command.c_str()) != 0)
                std::printf("(pandoc failed)\n");
        }));
    }
    std::printf("%zu paragraphs, %.1f MB written back\n", paragraphs, written / 1048576.0);
    std::printf("%-36s %8.3f s\n", "RTF reader (document model)", Median(read));
    std::printf("%-36s %8.3f s\n", "RTF writer (document model)", Median(write));
    std::printf("%-36s %8.3f s\n", "rich edit load (Lines.LoadFromStream)", Median(load));
    std::printf("%-36s %8.3f s\n", "rich edit save (Lines.SaveToStream)", Median(save));
    std::printf("%-36s %8.3f s\n", "pandoc -f rtf (peer)", Median(pandoc));
    std::filesystem::remove(file);
    ShutdownApplication();
    return 0;
}
