#include "platform/system/inifiles.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/atomicfile.h"
#include "platform/system/machine.h"

namespace
{

struct TIniLines {
    std::vector<std::string> Lines;
    std::string LineBreak = "\r\n";
    bool ByteOrderMark = false; // kept as the file had it
};

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

std::string TrimBlanks(std::string_view s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        --b;
    return std::string(s.substr(a, b - a));
}

// The section named by a line, or false when the line starts no section.
bool SectionName(const std::string &line, std::string &name)
{
    const std::string t = TrimBlanks(line);
    if (t.empty() || t.front() != '[')
        return false;
    const size_t close = t.find(']');
    name = TrimBlanks(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool KeyLine(const std::string &line, std::string &key, std::string &value)
{
    const std::string t = TrimBlanks(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    key = TrimBlanks(t.substr(0, eq));
    value = TrimBlanks(t.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return true;
}

TIniLines Parse(const std::string &text)
{
    TIniLines ini;
    if (!text.empty() && text.find("\r\n") == std::string::npos)
        ini.LineBreak = "\n";
    size_t start = 0;
    if (text.starts_with(Utf8Bom)) {
        ini.ByteOrderMark = true;
        start = Utf8Bom.size();
    }
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ini.Lines.push_back(std::move(line));
        start = end + 1;
    }
    return ini;
}

std::string Join(const TIniLines &ini)
{
    std::string out = ini.ByteOrderMark ? std::string(Utf8Bom) : std::string();
    for (const std::string &line : ini.Lines)
        out += line + ini.LineBreak;
    return out;
}

// [first, last) lines of the first section named section; first is the
// header line. False when there is none.
bool FindSection(const TIniLines &ini, const std::string &section, size_t &first, size_t &last)
{
    // Names in the file are read without their surrounding blanks; so is the one asked for.
    const std::string wanted = TrimBlanks(section);
    std::string name;
    for (size_t i = 0; i < ini.Lines.size(); ++i)
        if (SectionName(ini.Lines[i], name) && AnsiSameText(name, wanted)) {
            first = i;
            last = i + 1;
            while (last < ini.Lines.size() && !SectionName(ini.Lines[last], name))
                ++last;
            return true;
        }
    return false;
}

std::string FolderOf(const std::string &host)
{
    const size_t slash = host.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : host.substr(0, slash);
}

// A file that does not exist reads as empty; one that exists but cannot be
// read raises EInOutError, so that a write never replaces what it could not see.
TIniLines Load(const std::string &host)
{
    if (::access(host.c_str(), F_OK) != 0)
        return {};
    return Parse(ReadWholeFile(host));
}

TIniLines LoadForReading(const std::string &host)
{
    try {
        return Load(host);
    } catch (const EInOutError &) {
        return {};
    }
}

bool HasLineBreak(const std::string &s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

} // namespace

TIniFile::TIniFile(const std::string &fileName)
    : fileName_(fileName)
{
}

TIniFile::~TIniFile() = default;

const std::string &TIniFile::FileName() const
{
    return fileName_;
}

namespace
{

// Runs change over the file's lines under an exclusive lock on its folder and
// saves them when it answers true.
void Change(const std::string &fileName, const std::function<bool(TIniLines &)> &change)
{
    const std::string host = Machine().HostPath(fileName);
    const int dir = ::open(FolderOf(host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::flock(dir, LOCK_EX) != 0) {
        if (dir >= 0)
            ::close(dir);
        throw EIniFileException(Format("Unable to write to %s", fileName));
    }
    try {
        TIniLines ini = Load(host);
        if (change(ini))
            WriteFileAtomic(host, Join(ini));
    } catch (const EInOutError &) {
        ::close(dir);
        throw EIniFileException(Format("Unable to write to %s", fileName));
    } catch (...) {
        ::close(dir);
        throw;
    }
    ::close(dir);
}

// Fills strings with the keys of section, each as "key=value" when withValues.
void ListSection(const std::string &fileName, const std::string &section, TStrings &strings, bool withValues)
{
    strings.Clear();
    const TIniLines ini = LoadForReading(Machine().HostPath(fileName));
    size_t first, last;
    if (!FindSection(ini, section, first, last))
        return;
    std::string key, value;
    for (size_t i = first + 1; i < last; ++i)
        if (KeyLine(ini.Lines[i], key, value))
            strings.Add(withValues ? key + "=" + value : key);
}

} // namespace

std::string TIniFile::ReadString(
    const std::string &section, const std::string &ident, const std::string &fallback) const
{
    const TIniLines ini = LoadForReading(Machine().HostPath(fileName_));
    size_t first, last;
    if (!FindSection(ini, section, first, last))
        return fallback;
    std::string key, value;
    for (size_t i = first + 1; i < last; ++i)
        if (KeyLine(ini.Lines[i], key, value) && AnsiSameText(key, TrimBlanks(ident)))
            return value;
    return fallback;
}

void TIniFile::WriteString(const std::string &section, const std::string &ident, const std::string &value)
{
    if (HasLineBreak(section) || HasLineBreak(ident) || HasLineBreak(value) || TrimBlanks(ident).empty()
        || ident.find('=') != std::string::npos)
        throw EIniFileException(Format("Unable to write to %s", fileName_));
    Change(fileName_, [&](TIniLines &ini) {
        const std::string line = ident + "=" + value;
        size_t first, last;
        if (!FindSection(ini, section, first, last)) {
            if (!ini.Lines.empty() && !TrimBlanks(ini.Lines.back()).empty())
                ini.Lines.push_back("");
            ini.Lines.push_back("[" + section + "]");
            ini.Lines.push_back(line);
            return true;
        }
        std::string key, old;
        for (size_t i = first + 1; i < last; ++i)
            if (KeyLine(ini.Lines[i], key, old) && AnsiSameText(key, TrimBlanks(ident))) {
                ini.Lines[i] = line;
                return true;
            }
        size_t at = last;
        while (at > first + 1 && TrimBlanks(ini.Lines[at - 1]).empty())
            --at;
        ini.Lines.insert(ini.Lines.begin() + static_cast<long>(at), line);
        return true;
    });
}

int TIniFile::ReadInteger(const std::string &section, const std::string &ident, int fallback) const
{
    std::string text = ReadString(section, ident, "");
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = "$" + text.substr(2);
    return StrToIntDef(text, fallback);
}

void TIniFile::WriteInteger(const std::string &section, const std::string &ident, int value)
{
    WriteString(section, ident, IntToStr(value));
}

bool TIniFile::ReadBool(const std::string &section, const std::string &ident, bool fallback) const
{
    return ReadInteger(section, ident, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string &section, const std::string &ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::ReadSection(const std::string &section, TStrings &strings) const
{
    ListSection(fileName_, section, strings, false);
}

void TIniFile::ReadSectionValues(const std::string &section, TStrings &strings) const
{
    ListSection(fileName_, section, strings, true);
}

void TIniFile::EraseSection(const std::string &section)
{
    Change(fileName_, [&](TIniLines &ini) {
        size_t first, last;
        if (!FindSection(ini, section, first, last))
            return false;
        ini.Lines.erase(
            ini.Lines.begin() + static_cast<long>(first), ini.Lines.begin() + static_cast<long>(last));
        return true;
    });
}

void TIniFile::DeleteKey(const std::string &section, const std::string &ident)
{
    Change(fileName_, [&](TIniLines &ini) {
        size_t first, last;
        if (!FindSection(ini, section, first, last))
            return false;
        std::string key, value;
        for (size_t i = first + 1; i < last; ++i)
            if (KeyLine(ini.Lines[i], key, value) && AnsiSameText(key, TrimBlanks(ident))) {
                ini.Lines.erase(ini.Lines.begin() + static_cast<long>(i));
                return true;
            }
        return false;
    });
}

void TIniFile::UpdateFile() { }
