#include "controls/base/Qxstr.h"

#include <vector>

#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

namespace
{

// The characters of a text with the byte offset where each starts, so that
// tokens are cut from the original bytes (malformed ones stay as they were).
struct TCharacters {
    explicit TCharacters(std::string_view text)
    {
        for (size_t pos = 0; pos < text.size();) {
            offsets.push_back(pos);
            chars.push_back(Utf8Next(text, pos));
        }
        offsets.push_back(text.size());
    }

    std::u32string chars;
    std::vector<size_t> offsets; // one more than chars: the end of the text
};

} // namespace

void qxNextToken(std::string_view text, std::string_view delimiter, int &position, std::string &token)
{
    token.clear();
    if (position <= 0)
        return;
    size_t from = 0;
    for (int skipped = 1; skipped < position && from < text.size(); ++skipped)
        Utf8Next(text, from);
    if (from >= text.size()) {
        position = -1;
        return;
    }
    const std::string_view rest = text.substr(from);
    std::u32string wanted = Utf8ToCodePoints(delimiter);
    size_t tokenChars = 0; // characters before the delimiter
    size_t tokenBytes = std::string_view::npos;
    if (wanted.size() == 1) {
        for (size_t pos = 0; pos < rest.size(); ++tokenChars) {
            const size_t at = pos;
            if (Utf8Next(rest, pos) == wanted[0]) {
                tokenBytes = at;
                break;
            }
        }
    } else if (!wanted.empty()) {
        for (char32_t &c : wanted)
            c = AnsiUpperChar(c);
        wanted = U" " + wanted + U" ";
        TCharacters t(rest);
        for (char32_t &c : t.chars)
            c = AnsiUpperChar(c);
        const size_t at = t.chars.find(wanted);
        if (at != std::u32string::npos) {
            tokenChars = at;
            tokenBytes = t.offsets[at];
        }
    }
    if (tokenBytes == std::string_view::npos) {
        token.assign(rest);
        position = -1;
        return;
    }
    token.assign(rest.substr(0, tokenBytes));
    position += static_cast<int>(tokenChars + wanted.size());
}

void qxSplitText(std::string_view text, std::string_view delimiter, TStrings &list)
{
    list.Clear();
    // A delimiter that is valid UTF-8 can only match whole characters, so the
    // search runs on the bytes.
    size_t from = 0;
    if (!delimiter.empty()) {
        for (size_t at = text.find(delimiter); at != std::string_view::npos;
             at = text.find(delimiter, from)) {
            list.Add(std::string(text.substr(from, at - from)));
            from = at + delimiter.size();
        }
    }
    list.Add(std::string(text.substr(from)));
}

void qxTrimRightChars(std::string &text, std::string_view characters)
{
    const std::u32string set = Utf8ToCodePoints(characters);
    size_t keep = 0;
    for (size_t pos = 0; pos < text.size();) {
        const char32_t c = Utf8Next(text, pos);
        if (set.find(c) == std::u32string::npos)
            keep = pos;
    }
    text.resize(keep);
}

std::string qxReplaceChar(std::string_view text, char32_t oldChar, char32_t newChar)
{
    const std::string replacement = CodePointToUtf8(newChar);
    std::string result;
    result.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        if (Utf8Next(text, pos) == oldChar)
            result += replacement;
        else
            result.append(text.substr(start, pos - start));
    }
    return result;
}

bool qxEqualText(std::string_view a, std::string_view b)
{
    return UpperCase(a) == UpperCase(b);
}

int qxCountChar(std::string_view text, char32_t c)
{
    int count = 0;
    for (size_t pos = 0; pos < text.size();)
        if (Utf8Next(text, pos) == c)
            ++count;
    return count;
}

std::string qxTextAfterChar(std::string_view text, char32_t c)
{
    for (size_t pos = 0; pos < text.size();)
        if (Utf8Next(text, pos) == c)
            return std::string(text.substr(pos));
    return {};
}
