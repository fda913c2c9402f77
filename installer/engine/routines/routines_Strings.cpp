#include "installer/engine/routines/routines_Strings.h"

#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"

std::string GetItem(const std::string &text, int n, const std::string &delimiter)
{
    std::string rest = text;
    for (int i = 1; i < n; ++i) {
        const size_t at = delimiter.empty() ? std::string::npos : rest.find(delimiter);
        if (at == std::string::npos)
            return {};
        rest.erase(0, at + delimiter.size());
    }
    const size_t end = delimiter.empty() ? std::string::npos : rest.find(delimiter);
    return end == std::string::npos ? rest : rest.substr(0, end);
}

int CountItems(const std::string &text, const std::string &delimiter)
{
    int count = 0;
    const std::u32string chars = Utf8ToCodePoints(text);
    const std::u32string delimiterChars = Utf8ToCodePoints(delimiter);
    if (delimiterChars.size() == 1)
        for (char32_t c : chars)
            count += c == delimiterChars.front() ? 1 : 0;
    if (!chars.empty() && chars.back() != U';')
        ++count;
    return count;
}

void SplitToList(const std::string &text, const std::string &delimiter, TStrings &list)
{
    list.Clear();
    const int count = CountItems(text, delimiter);
    for (int i = 1; i <= count; ++i)
        list.Add(GetItem(text, i, delimiter));
}

std::string AddTrailingBackslash(const std::string &path)
{
    if (path.empty() || path.back() == '\\')
        return path;
    return path + '\\';
}

std::string RemoveTrailingBackslash(const std::string &path)
{
    if (!path.empty() && path.back() == '\\')
        return path.substr(0, path.size() - 1);
    return path;
}

std::string TextAfterColon(const std::string &text)
{
    const size_t colon = text.find(':');
    return colon == std::string::npos ? std::string() : text.substr(colon + 1);
}

std::string FilterFileName(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '/':
            out += '-';
            break;
        case '\\':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            break;
        default:
            out += c;
        }
    }
    return out;
}
