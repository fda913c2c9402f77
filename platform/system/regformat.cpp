#include "platform/system/regformat.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

namespace
{

constexpr std::string_view Header = "Windows Registry Editor Version 5.00";
constexpr size_t HexLineWidth = 76;

// Windows compares names by their upper-case form, code point by code point.
int CompareNames(std::string_view a, std::string_view b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ua = static_cast<unsigned char>(a[i]), ub = static_cast<unsigned char>(b[j]);
        if (ua < 0x80 && ub < 0x80) { // most names: ASCII, upper-cased on the spot
            const char32_t ca = ua >= 'a' && ua <= 'z' ? ua - 32 : ua;
            const char32_t cb = ub >= 'a' && ub <= 'z' ? ub - 32 : ub;
            if (ca != cb)
                return ca < cb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const char32_t ca = AnsiUpperChar(Utf8Next(a, i));
        const char32_t cb = AnsiUpperChar(Utf8Next(b, j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

/* String values are kept in hex as UTF-16LE, as the registry keeps them. A
   string's bytes need not be UTF-8, and every byte must come back: a byte
   that starts no valid UTF-8 sequence is written as the unpaired low
   surrogate U+DC00 + byte (U+DC80..U+DCFF), which no UTF-8 text can give,
   and read back as that byte. */
constexpr char32_t ByteEscape = 0xDC00;

std::string Utf8ToUtf16Le(std::string_view text)
{
    std::string out;
    auto put = [&out](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>((unit >> 8) & 0xFF);
    };
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        char32_t c = Utf8Next(text, pos);
        if (c == 0xFFFD && pos == start + 1) // a stray byte, not the character U+FFFD
            c = ByteEscape + static_cast<uint8_t>(text[start]);
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

// Other unpaired surrogates become U+FFFD, as they cannot be written as UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes)
{
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low
                = static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                out += CodePointToUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= ByteEscape + 0x80 && unit <= ByteEscape + 0xFF) {
            out += static_cast<char>(unit - ByteEscape);
            continue;
        }
        out += CodePointToUtf8(unit); // other surrogates come out as U+FFFD
    }
    return out;
}

bool IsStringType(uint32_t type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// ---- Writing ---------------------------------------------------------------

// Appended to out: the hive is written whole at every save.
void AppendQuoted(std::string &out, std::string_view text)
{
    out += '"';
    for (size_t from = 0;;) {
        const size_t special = text.find_first_of("\\\"", from);
        out.append(text.substr(from, special - from)); // to the end when there is none
        if (special == std::string_view::npos)
            break;
        out += '\\';
        out += text[special];
        from = special + 1;
    }
    out += '"';
}

bool QuotableText(std::string_view text)
{
    return std::none_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The quoted form carries a string whole when it is UTF-8 text on one line.
bool TextFormCarries(std::string_view text)
{
    if (!QuotableText(text))
        return false;
    for (size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) { // ASCII, as most values are
            ++pos;
            continue;
        }
        const size_t start = pos;
        if (Utf8Next(text, pos) == 0xFFFD && pos == start + 1)
            return false;
    }
    return true;
}

void WriteHex(std::string &out, std::string line, std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        line += digits[b >> 4];
        line += digits[b & 15];
        if (i + 1 < bytes.size()) {
            line += ',';
            if (line.size() >= HexLineWidth) {
                out += line + "\\\n";
                line = "  ";
            }
        }
    }
    out += line + '\n';
}

void WriteValue(std::string &out, const TRegValue &value)
{
    const auto appendName = [&](std::string &to) {
        if (value.Name.empty()) {
            to += "@=";
        } else {
            AppendQuoted(to, value.Name);
            to += '=';
        }
    };
    if (value.Type == REG_SZ && TextFormCarries(value.Data)) {
        appendName(out);
        AppendQuoted(out, value.Data);
        out += '\n';
        return;
    }
    std::string line;
    appendName(line);
    if (value.Type == REG_DWORD && value.Data.size() == 4) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(value.Data[i]);
        out += line + "dword:" + LowerCase(IntToHex(v, 8)) + '\n';
    } else if (value.Type == REG_BINARY) {
        WriteHex(out, line + "hex:", value.Data);
    } else {
        std::string bytes = value.Data;
        if (IsStringType(value.Type))
            bytes = Utf8ToUtf16Le(bytes) + (value.Type == REG_MULTI_SZ ? "" : std::string(2, '\0'));
        WriteHex(out, line + "hex(" + LowerCase(IntToHex(value.Type, 1)) + "):", bytes);
    }
}

void WriteKey(std::string &out, const TRegKeyNode &key, const std::string &path, bool isRoot)
{
    if (!isRoot || !key.Values.empty()) {
        out += '[' + path + "]\n";
        for (const TRegValue &value : key.Values)
            WriteValue(out, value);
        out += '\n';
    }
    for (const auto &[name, sub] : key.SubKeys)
        WriteKey(out, *sub, path + '\\' + sub->Name, false);
}

// ---- Reading ---------------------------------------------------------------

/* A hive file is read line by line. A line is blank, a comment (';'), a
   section "[path]" naming a key below the hive's root, or a value
   "name"=data / @=data belonging to the last section. Hex data may go on over
   several lines, each but the last ending in a backslash. Nothing is guessed:
   every other form is a damaged file. */
class TRegReader
{
public:
    TRegReader(std::string_view text, std::string_view fileName, std::string_view rootName)
        : text_(text)
        , fileName_(fileName)
        , rootName_(rootName)
    {
    }

    std::unique_ptr<TRegKeyNode> Read()
    {
        auto root = std::make_unique<TRegKeyNode>();
        root->Name = std::string(rootName_);
        if (text_.starts_with("\xEF\xBB\xBF"))
            text_.remove_prefix(3);
        std::string_view line;
        if (!NextLine(line))
            lineNo_ = 1;
        if (line != Header)
            Fail("the first line is not \"" + std::string(Header) + "\"");
        TRegKeyNode *key = nullptr;
        while (NextLine(line)) {
            const std::string_view trimmed = TrimmedLeft(line);
            if (trimmed.empty() || trimmed.front() == ';')
                continue;
            if (line.front() == '[')
                key = Section(line, *root);
            else if (line.front() == '"' || line.front() == '@') {
                if (!key)
                    Fail("a value before the first key");
                ValueLine(line, *key);
            } else
                Fail("unexpected text");
        }
        return root;
    }

private:
    std::string_view text_;
    std::string_view fileName_;
    std::string_view rootName_;
    size_t pos_ = 0;
    int lineNo_ = 0;

    [[noreturn]] void Fail(const std::string &what) const
    {
        throw ERegistryException("Damaged registry file " + std::string(fileName_) + ", line "
            + std::to_string(lineNo_) + ": " + what);
    }

    bool NextLine(std::string_view &line)
    {
        if (pos_ >= text_.size())
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos_ = end + 1;
        ++lineNo_;
        return true;
    }

    static std::string_view TrimmedLeft(std::string_view s)
    {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        return s;
    }
    static std::string_view TrimmedRight(std::string_view s)
    {
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        return s;
    }

    TRegKeyNode *Section(std::string_view line, TRegKeyNode &root)
    {
        line = TrimmedRight(line);
        if (line.size() < 2 || line.back() != ']')
            Fail("unterminated key name");
        const std::string_view path = line.substr(1, line.size() - 2);
        if (path.starts_with('-'))
            Fail("key deletions have no place in a hive file");
        if (path.find("\\\\") != std::string_view::npos || path.ends_with('\\'))
            Fail("empty key name in \"" + std::string(path) + "\"");
        std::vector<std::string> parts = SplitKeyPath(path);
        if (parts.empty() || !RegSameName(parts.front(), rootName_))
            Fail("key \"" + std::string(path) + "\" is not below " + std::string(rootName_));
        TRegKeyNode *key = &root;
        for (size_t i = 1; i < parts.size(); ++i) {
            if (!QuotableText(parts[i]))
                Fail("control character in a key name");
            key = &key->AddSubKey(parts[i]);
        }
        return key;
    }

    // Reads a quoted text starting at line[pos] (the opening quote) and leaves
    // pos after the closing one.
    std::string QuotedText(std::string_view line, size_t &pos, const char *what)
    {
        std::string out;
        ++pos;
        while (pos < line.size() && line[pos] != '"') {
            char c = line[pos++];
            if (c == '\\') {
                if (pos >= line.size())
                    break;
                c = line[pos++];
                if (c != '\\' && c != '"')
                    Fail(std::string("bad escape \\") + c + " in " + what);
            }
            out += c;
        }
        if (pos >= line.size())
            Fail(std::string("unterminated ") + what);
        ++pos;
        return out;
    }

    void ValueLine(std::string_view line, TRegKeyNode &key)
    {
        size_t pos = 0;
        std::string name;
        if (line.front() == '@')
            pos = 1;
        else
            name = QuotedText(line, pos, "value name");
        if (pos >= line.size() || line[pos] != '=')
            Fail("expected '=' after the value name");
        ++pos;
        std::string_view data = line.substr(pos);
        TRegValue value;
        value.Name = name;
        if (data.starts_with('"')) {
            size_t p = 0;
            value.Type = REG_SZ;
            value.Data = QuotedText(data, p, "string");
            if (!TrimmedLeft(data.substr(p)).empty())
                Fail("text after the closing quote");
        } else if (data.starts_with("dword:")) {
            value.Type = REG_DWORD;
            value.Data = Dword(TrimmedRight(data.substr(6)));
        } else if (data.starts_with("hex:")) {
            value.Type = REG_BINARY;
            value.Data = HexBytes(data.substr(4));
        } else if (data.starts_with("hex(")) {
            const size_t close = data.find("):");
            const std::string_view typeText
                = close == std::string_view::npos ? "" : data.substr(4, close - 4);
            value.Type = static_cast<uint32_t>(HexNumber(typeText, 8, "value type"));
            value.Data = HexBytes(data.substr(close + 2));
            if (IsStringType(value.Type)) {
                if (value.Data.size() % 2 != 0)
                    Fail("odd number of bytes in UTF-16 text");
                value.Data = Utf16LeToUtf8(value.Data);
                // Only the terminating zero goes: zeros inside are the string's own.
                if (value.Type != REG_MULTI_SZ && !value.Data.empty() && value.Data.back() == '\0')
                    value.Data.pop_back();
            }
        } else {
            Fail("bad value data \"" + std::string(data) + "\"");
        }
        key.SetValue(value.Name, value.Type, std::move(value.Data));
    }

    uint64_t HexNumber(std::string_view digits, size_t maxDigits, const char *what)
    {
        if (digits.empty() || digits.size() > maxDigits)
            Fail(std::string("bad ") + what + " \"" + std::string(digits) + "\"");
        uint64_t v = 0;
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                Fail(std::string("bad ") + what + " \"" + std::string(digits) + "\"");
            v = v * 16 + d;
        }
        return v;
    }

    std::string Dword(std::string_view digits)
    {
        uint32_t v = static_cast<uint32_t>(HexNumber(digits, 8, "dword"));
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    }

    // Comma-separated byte pairs; a trailing backslash continues them on the
    // next line.
    std::string HexBytes(std::string_view data)
    {
        std::string out;
        std::string_view rest = TrimmedRight(data);
        for (;;) {
            bool more = false;
            if (rest.ends_with('\\')) {
                more = true;
                rest.remove_suffix(1);
            }
            while (!rest.empty()) {
                const size_t comma = rest.find(',');
                const std::string_view item = TrimmedRight(TrimmedLeft(rest.substr(0, comma)));
                if (item.size() != 2)
                    Fail("bad hex byte \"" + std::string(item) + "\"");
                out += static_cast<char>(HexNumber(item, 2, "hex byte"));
                if (comma == std::string_view::npos)
                    break;
                rest.remove_prefix(comma + 1);
                if (TrimmedLeft(rest).empty() && !more)
                    Fail("hex data ends in a comma");
                if (TrimmedLeft(rest).empty())
                    break;
            }
            if (!more)
                return out;
            std::string_view next;
            if (!NextLine(next))
                Fail("hex data continues past the end of the file");
            rest = TrimmedRight(TrimmedLeft(next));
        }
    }
};

} // namespace

bool TCaseLess::operator()(std::string_view a, std::string_view b) const
{
    return CompareNames(a, b) < 0;
}

bool RegSameName(std::string_view a, std::string_view b)
{
    return CompareNames(a, b) == 0;
}

TRegKeyNode *TRegKeyNode::SubKey(std::string_view name) const
{
    auto it = SubKeys.find(name);
    return it == SubKeys.end() ? nullptr : it->second.get();
}

TRegKeyNode &TRegKeyNode::AddSubKey(std::string_view name)
{
    if (TRegKeyNode *existing = SubKey(name))
        return *existing;
    auto node = std::make_unique<TRegKeyNode>();
    node->Name = std::string(name);
    TRegKeyNode &ref = *node;
    SubKeys.emplace(std::string(name), std::move(node));
    return ref;
}

const TRegValue *TRegKeyNode::Value(std::string_view name) const
{
    const auto it = ValueSlots.find(name);
    return it == ValueSlots.end() ? nullptr : &Values[it->second];
}

TRegValue &TRegKeyNode::SetValue(std::string_view name, uint32_t type, std::string data)
{
    if (const auto it = ValueSlots.find(name); it != ValueSlots.end()) {
        TRegValue &value = Values[it->second];
        value.Type = type;
        value.Data = std::move(data);
        return value;
    }
    ValueSlots.emplace(std::string(name), Values.size());
    Values.push_back(TRegValue { std::string(name), type, std::move(data) });
    return Values.back();
}

bool TRegKeyNode::DeleteValue(std::string_view name)
{
    const auto it = ValueSlots.find(name);
    if (it == ValueSlots.end())
        return false;
    const size_t slot = it->second;
    ValueSlots.erase(it);
    Values.erase(Values.begin() + static_cast<std::ptrdiff_t>(slot));
    for (auto &[key, at] : ValueSlots)
        if (at > slot)
            --at;
    return true;
}

std::unique_ptr<TRegKeyNode> ParseRegFile(
    std::string_view text, std::string_view fileName, std::string_view rootName)
{
    return TRegReader(text, fileName, rootName).Read();
}

std::string WriteRegFile(const TRegKeyNode &root, std::string_view rootName)
{
    std::string out = std::string(Header) + "\n\n";
    WriteKey(out, root, std::string(rootName), true);
    return out;
}

std::vector<std::string> SplitKeyPath(std::string_view path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}
