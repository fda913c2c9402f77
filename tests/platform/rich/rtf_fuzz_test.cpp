// Mutated RTF against the reader: no input may crash it, hang it or leak
// (the sanitizer build checks the last), and whatever it reads must survive
// a trip through the writer unchanged. ORVEX_RTF_FUZZ_COUNT raises the number
// of inputs for a longer run by hand.
#include "platform/rich/rtf.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace
{

const char *const kSeeds[] = {
    R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss\fcharset0 Arial;}{\f1\fnil\fcharset204 Arial Cyr;}}
{\colortbl ;\red255\green0\blue0;\red0\green128\blue0;}
\pard\qc\li720\ri360\fi-360\sb120\sa240\sl360\slmult1\tx720\tqr\tx2880 \f0\fs24\b Title\b0\par
\pard\f1\'c6\'e0 \cf1 red \cf2\i green\i0\ul under\ulnone\strike s\strike0\par
{\*\pn\pnlvlblt{\pntxtb\'B7}}bullet\tab item\line next\par
caf\u233e \u-10179?\u-8704? {\field{\*\fldinst{HYPERLINK "http://a.b/"}}{\fldrslt{\ul link}}}\par
{\pict\pngblip\picw4\pich4 89504e470d0a1a0a\bin4 {}\}}
{\object\objemb{\*\objclass Paint}{\*\objdata 0102}{\result{\pict\wmetafile8 00}}}
{\*\shppict{\pict\emfblip 00}}{\nonshppict{\pict\wmetafile8 00}}
\trowd a\cell b\cell\row {\info{\title t}}{\stylesheet{\s0 Normal;}}\uc2\u8364\'80\'80 end}
)",
    R"({\rtf1\ansi\deff0{\fonttbl{\f0 \fswiss Helvetica;}{\f1 \fmodern Courier;}}
{\pard \ql \f0 \sa180 \li0 \fi0 Hello {\b bold} and {\i it} caf\u233? \u8364?\par}
{\pard \ql \f0 \sa0 \li360 \fi-360 \bullet \tx360\tab one\par}})",
    R"({\rtf1\mac\ansicpg10000{\fonttbl\f0\fnil\fcharset128 MS Mincho;}\f0 \'93\'fa\'96\'7b\~\emdash\_\-x})",
};

const std::string_view kTokens[] = { "{", "}", "\\", "\\par ", "\\pard", "\\b", "\\b0", "\\i", "\\ul", "\\f1",
    "\\fs99999999999", "\\fs-5", "\\u-3913?", "\\u65535", "\\u-10179", "\\uc0", "\\uc9", "\\'", "\\'e9",
    "\\'zz", "\\'8", "\\bin", "\\bin5 ", "\\bin-1 ", "\\bin999999 ", "\\*", "{\\*\\x ", "{\\pict ",
    "{\\object ", "{\\fonttbl ", "{\\colortbl ;", "\\red999", "\\cf7", "\\tx-1", "\\tqdec", "\\sl-99999",
    "\\slmult1", "\\li2147483647", "\\fi-2147483648", "{\\field{\\*\\fldinst HYPERLINK \"", "{\\fldrslt ",
    "\\fldinst", "\\pnlvlblt", "{\\*\\pn ", "\\ansicpg932", "\\ansicpg65001", "\\fcharset128", "\\cpg936",
    "\\line", "\\tab", "\\cell", "\\row", "\\plain", "\\deff9", "\\deftab0", "\r\n", ";", "\"", "\x80",
    "\xff", std::string_view("\0", 1), "{{{{{{{{", "}}}}}}}}" };

std::string Mutate(const std::string &seed, std::mt19937 &random)
{
    std::string data = seed;
    auto pick = [&](size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(random) : 0; };
    int edits = 1 + static_cast<int>(pick(8));
    for (int e = 0; e < edits; ++e) {
        size_t at = pick(data.size() + 1);
        switch (pick(7)) {
        case 0: // flip a byte
            if (!data.empty())
                data[pick(data.size())] = static_cast<char>(pick(256));
            break;
        case 1: // insert a token RTF readers know
            data.insert(at, kTokens[pick(std::size(kTokens))]);
            break;
        case 2: { // delete a range
            size_t length = pick(32);
            data.erase(std::min(at, data.size()), length);
            break;
        }
        case 3: { // duplicate a range
            size_t from = pick(data.size() + 1), length = pick(64);
            data.insert(at, data.substr(std::min(from, data.size()), length));
            break;
        }
        case 4: // truncate
            data.resize(std::min(at + 5, data.size()));
            break;
        case 5: // a random digit run, for numbers of every size
            data.insert(at, std::string(1 + pick(12), static_cast<char>('0' + pick(10))));
            break;
        default: // a random byte
            data.insert(at, 1, static_cast<char>(pick(256)));
            break;
        }
    }
    // Most mutants should still look like RTF, or only the header check is tested.
    if (pick(10) != 0 && !IsRtf(data))
        data.insert(0, "{\\rtf1 ");
    return data;
}

std::string Hex(const std::string &data)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : data)
        out += c >= 0x20 && c < 0x7F && c != '\\' ? std::string(1, static_cast<char>(c))
                                                  : std::string("\\x") + digits[c >> 4] + digits[c & 15];
    return out;
}

std::string Difference(const TRichDocument &a, const TRichDocument &b)
{
    if (a.paragraphs.size() != b.paragraphs.size())
        return "paragraphs " + std::to_string(a.paragraphs.size()) + " against " + std::to_string(b.paragraphs.size());
    if (a.defaultTab != b.defaultTab)
        return "default tab";
    for (size_t p = 0; p < a.paragraphs.size(); ++p) {
        const TRichParagraph &x = a.paragraphs[p], &y = b.paragraphs[p];
        if (!(x.format == y.format))
            return "format of paragraph " + std::to_string(p);
        if (x.runs.size() != y.runs.size())
            return "runs of paragraph " + std::to_string(p) + ": " + Hex(x.Text()) + " against " + Hex(y.Text());
        for (size_t r = 0; r < x.runs.size(); ++r) {
            if (x.runs[r].text != y.runs[r].text)
                return "text " + Hex(x.runs[r].text) + " against " + Hex(y.runs[r].text);
            if (x.runs[r].object != y.runs[r].object)
                return "object " + Hex(x.runs[r].object) + " against " + Hex(y.runs[r].object);
            if (!(x.runs[r].format == y.runs[r].format))
                return "format of run " + Hex(x.runs[r].text) + " font " + Hex(x.runs[r].format.fontName) + " against "
                    + Hex(y.runs[r].format.fontName) + " link " + Hex(x.runs[r].format.link) + " against "
                    + Hex(y.runs[r].format.link);
        }
    }
    return "?";
}

// The processor time this thread has used: unlike the clock on the wall, a
// busy machine does not stretch it.
std::chrono::nanoseconds ThreadTime()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// The inputs are cut into shards that CTest runs side by side, so that the
// whole count fits the time a test has even on a busy machine.
constexpr int kShards = 10;

class RtfFuzz : public testing::TestWithParam<int>
{
};

TEST_P(RtfFuzz, MutatedInputsNeverCrashAndReadBackStable)
{
    long total = 100000;
    if (const char *env = std::getenv("ORVEX_RTF_FUZZ_COUNT"))
        total = std::max(1L, std::atol(env));
    const long count = std::max(1L, total / kShards);
    std::mt19937 random(20261209 + GetParam());
    long read = 0, refused = 0;
    int faults = 0;
    auto slowest = std::chrono::nanoseconds::zero();
    for (long i = 0; i < count && faults < 5; ++i) {
        std::string input = Mutate(kSeeds[i % std::size(kSeeds)], random);
        const auto started = ThreadTime();
        try {
            TRichDocument document = ReadRtf(input);
            ++read;
            // Every input is read; every fourth also makes the trip through
            // the writer, which keeps the run to seconds under the sanitizers.
            if (i % 4 == 0) {
                std::string written = WriteRtf(document);
                TRichDocument again = ReadRtf(written);
                if (!(again == document)) {
                    ++faults;
                    if (const char *dump = std::getenv("ORVEX_RTF_FUZZ_DUMP"))
                        std::ofstream(std::string(dump) + std::to_string(faults) + ".rtf", std::ios::binary) << input;
                    ADD_FAILURE() << "reading back what was written differs (" << Difference(document, again)
                                  << "), input " << Hex(input) << "\nwritten " << Hex(written);
                }
            }
        } catch (const ERtfError &) {
            ++refused;
        }
        slowest = std::max(slowest, ThreadTime() - started);
    }
    EXPECT_EQ(read + refused, count);
    EXPECT_GT(read, count / 2) << "the mutations should mostly leave readable RTF";
    EXPECT_GT(refused, 0) << "some mutations should be refused";
    // A few kilobytes of input never take long, whatever they hold.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count(), 2000);
}

INSTANTIATE_TEST_SUITE_P(Shards, RtfFuzz, testing::Range(0, kShards));

} // namespace
