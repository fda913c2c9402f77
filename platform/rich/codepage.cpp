#include "platform/rich/rtf.h"

#include "platform/rtl/utf8.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace
{

// Windows-1252 between 0x80 and 0x9F; the rest of it is Latin-1. Kept here
// because nearly every RTF file is in it and the reader should not pay for
// a conversion library on every byte.
constexpr char16_t kCp1252High[32] = { 0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D,
    0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178 };

std::string DecodeCp1252(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        char32_t point = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
        text += CodePointToUtf8(point);
    }
    return text;
}

const char *IconvName(int codePage)
{
    switch (codePage) {
    case 437: return "CP437";
    case 850: return "CP850";
    case 852: return "CP852";
    case 866: return "CP866";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "BIG5";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 10000: return "MACINTOSH";
    case 65001: return "UTF-8";
    default: return nullptr;
    }
}

// One converter per code page for the life of the program, shared under a lock.
struct TConverters {
    std::mutex lock;
    std::map<int, iconv_t> open;
    ~TConverters()
    {
        for (auto &[page, converter] : open)
            if (converter != reinterpret_cast<iconv_t>(-1))
                iconv_close(converter);
    }
};

TConverters &Converters()
{
    static TConverters converters;
    return converters;
}

} // namespace

int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 2: return 1252; // symbol fonts: their bytes are kept as they are
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
    }
}

std::string DecodeCodePage(std::string_view bytes, int codePage)
{
    const char *name = IconvName(codePage);
    if (!name)
        return DecodeCp1252(bytes);
    TConverters &converters = Converters();
    std::lock_guard guard(converters.lock);
    auto found = converters.open.find(codePage);
    if (found == converters.open.end())
        found = converters.open.emplace(codePage, iconv_open("UTF-8", name)).first;
    iconv_t converter = found->second;
    if (converter == reinterpret_cast<iconv_t>(-1))
        return DecodeCp1252(bytes);

    std::string text;
    std::string input(bytes);
    char *in = input.data();
    size_t inLeft = input.size();
    char buffer[1024];
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        text.append(buffer, static_cast<size_t>(out - buffer));
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // An unmapped byte or a lead byte without its trail byte.
        text += "\xEF\xBF\xBD";
        ++in, --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    return text;
}
