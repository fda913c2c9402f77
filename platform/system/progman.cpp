#include "platform/system/progman.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/atomicfile.h"
#include "platform/system/machine.h"

namespace
{

// Names longer than this are refused: the group's file name must fit the host's.
constexpr size_t MaxNameLength = 80;

std::string Folder()
{
    return Machine().Root() + "/progman";
}

void EnsureFolder()
{
    ::mkdir(Folder().c_str(), 0755);
}

// The lock of every change; the folder is made first, for a conversation
// may outlive the machine it was opened on.
std::string LockFile()
{
    EnsureFolder();
    return Folder() + "/.lock";
}

std::string StoppedMarker()
{
    return Folder() + "/stopped";
}

// Upper case, and every byte but letters, digits, '-' and '_' as %XX, so any
// name makes one safe file name and names equal without case share it.
std::string GroupFile(const std::string &name)
{
    std::string file;
    for (unsigned char c : AnsiUpperCase(name)) {
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
            file += static_cast<char>(c);
        else
            file += "%" + IntToHex(c, 2);
    }
    return Folder() + "/" + file + ".grp";
}

std::string OneLine(const std::string &value)
{
    std::string line = value;
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

std::string GroupText(const TProgmanGroup &group)
{
    std::string text = "[Group]\nName=" + OneLine(group.Name) + "\nShowCommand=" + IntToStr(group.ShowCommand) + "\n";
    for (const TProgmanItem &item : group.Items)
        text += "[Item]\nName=" + OneLine(item.Name) + "\nCommandLine=" + OneLine(item.CommandLine)
            + "\nWorkingDirectory=" + OneLine(item.WorkingDirectory) + "\nIconPath=" + OneLine(item.IconPath)
            + "\nIconIndex=" + OneLine(item.IconIndex) + "\nX=" + OneLine(item.X) + "\nY=" + OneLine(item.Y)
            + "\nHotKey=" + OneLine(item.HotKey) + "\n";
    return text;
}

// A group file as GroupText writes it; lines it does not know are passed over.
bool ParseGroup(const std::string &text, TProgmanGroup &group)
{
    group = TProgmanGroup();
    bool inGroup = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "[Group]") {
            inGroup = true;
            continue;
        }
        if (line == "[Item]") {
            inGroup = false;
            group.Items.emplace_back();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (inGroup) {
            if (key == "Name")
                group.Name = value;
            else if (key == "ShowCommand")
                group.ShowCommand = StrToIntDef(value, 1);
        } else if (!group.Items.empty()) {
            TProgmanItem &item = group.Items.back();
            std::string *field = key == "Name" ? &item.Name
                : key == "CommandLine"         ? &item.CommandLine
                : key == "WorkingDirectory"    ? &item.WorkingDirectory
                : key == "IconPath"            ? &item.IconPath
                : key == "IconIndex"           ? &item.IconIndex
                : key == "X"                   ? &item.X
                : key == "Y"                   ? &item.Y
                : key == "HotKey"              ? &item.HotKey
                                               : nullptr;
            if (field)
                *field = value;
        }
    }
    return !group.Name.empty();
}

bool LoadGroup(const std::string &name, TProgmanGroup &group)
{
    const std::string file = GroupFile(name);
    if (::access(file.c_str(), F_OK) != 0)
        return false;
    try {
        return ParseGroup(ReadWholeFile(file), group);
    } catch (const EInOutError &) {
        return false;
    }
}

bool StoreGroup(const TProgmanGroup &group)
{
    try {
        WriteFileAtomic(GroupFile(group.Name), GroupText(group));
        return true;
    } catch (const EInOutError &) {
        return false;
    }
}

void Log(const std::string &commands)
{
    try {
        const std::string file = Folder() + "/commands.log";
        std::string old;
        if (::access(file.c_str(), F_OK) == 0)
            old = ReadWholeFile(file);
        WriteFileAtomic(file, old + OneLine(commands) + "\n");
    } catch (const EInOutError &) {
        // the log is for the one who looks; the command goes on without it
    }
}

// ---- Commands ---------------------------------------------------------------------

struct TMacro {
    std::string Name;
    std::vector<std::string> Args;
};

std::string Unquote(const std::string &arg)
{
    const std::string t = Trim(arg);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
        return t.substr(1, t.size() - 2);
    return t;
}

// "[Name(a,b)][Other]": false when the text is not a list of such macros.
bool ParseMacros(const std::string &text, std::vector<TMacro> &macros)
{
    size_t pos = 0;
    while (true) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' || text[pos] == '\n'))
            ++pos;
        if (pos == text.size())
            return !macros.empty();
        if (text[pos] != '[')
            return false;
        size_t close = pos + 1;
        bool quoted = false;
        while (close < text.size() && (quoted || text[close] != ']')) {
            if (text[close] == '"')
                quoted = !quoted;
            ++close;
        }
        if (close == text.size())
            return false;
        const std::string body = Trim(text.substr(pos + 1, close - pos - 1));
        pos = close + 1;
        TMacro macro;
        const size_t open = body.find('(');
        if (open == std::string::npos) {
            macro.Name = body;
        } else {
            if (body.back() != ')')
                return false;
            macro.Name = Trim(body.substr(0, open));
            const std::string args = body.substr(open + 1, body.size() - open - 2);
            std::string arg;
            quoted = false;
            for (char c : args) {
                if (c == '"')
                    quoted = !quoted;
                if (c == ',' && !quoted) {
                    macro.Args.push_back(Unquote(arg));
                    arg.clear();
                } else {
                    arg += c;
                }
            }
            macro.Args.push_back(Unquote(arg));
        }
        if (macro.Name.empty())
            return false;
        macros.push_back(std::move(macro));
    }
}

std::string Arg(const TMacro &macro, size_t index)
{
    return index < macro.Args.size() ? macro.Args[index] : std::string();
}

int FindItemIn(const TProgmanGroup &group, const std::string &name)
{
    for (size_t i = 0; i < group.Items.size(); ++i)
        if (AnsiSameText(group.Items[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::string Quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

} // namespace

bool ProgramManagerRunning()
{
    return ::access(StoppedMarker().c_str(), F_OK) != 0;
}

void SetProgramManagerRunning(bool running)
{
    EnsureFolder();
    if (running)
        ::unlink(StoppedMarker().c_str());
    else
        WriteFileAtomic(StoppedMarker(), "");
}

std::vector<std::string> ProgmanGroupNames()
{
    std::vector<std::string> names;
    EnsureFolder();
    TFileLock lock(LockFile(), false);
    TSearchRec rec;
    if (FindFirst(Folder() + "/*.grp", faAnyFile, rec) == 0) {
        do {
            TProgmanGroup group;
            try {
                if (ParseGroup(ReadWholeFile(Folder() + "/" + rec.Name), group))
                    names.push_back(group.Name);
            } catch (const EInOutError &) {
                // a group file that cannot be read is no group
            }
        } while (FindNext(rec) == 0);
        FindClose(rec);
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return AnsiCompareText(a, b) < 0;
    });
    return names;
}

bool ReadProgmanGroup(const std::string &name, TProgmanGroup &group)
{
    EnsureFolder();
    TFileLock lock(LockFile(), false);
    return LoadGroup(name, group);
}

std::vector<std::string> ProgmanCommandLog()
{
    std::vector<std::string> lines;
    const std::string file = Folder() + "/commands.log";
    if (::access(file.c_str(), F_OK) != 0)
        return lines;
    const std::string text = ReadWholeFile(file);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

// ---- The conversation ----------------------------------------------------------------

struct TProgmanConversation::Impl {
    std::string active; // the group AddItem and ReplaceItem work on
    std::string replacedGroup; // where the last ReplaceItem took an item out
    int replacedIndex = -1;

    bool Run(const TMacro &macro);
};

TProgmanConversation::TProgmanConversation()
    : d(std::make_unique<Impl>())
{
}

TProgmanConversation::~TProgmanConversation() = default;

std::unique_ptr<TProgmanConversation> TProgmanConversation::Open(const std::string &topic)
{
    EnsureFolder();
    if (!ProgramManagerRunning() || !SameText(topic, "PROGMAN"))
        return nullptr;
    return std::unique_ptr<TProgmanConversation>(new TProgmanConversation);
}

bool TProgmanConversation::Execute(const std::string &commands)
{
    if (!ProgramManagerRunning())
        return false;
    TFileLock lock(LockFile(), true);
    Log(commands);
    std::vector<TMacro> macros;
    if (!ParseMacros(commands, macros))
        return false;
    for (const TMacro &macro : macros)
        if (!d->Run(macro))
            return false;
    return true;
}

bool TProgmanConversation::Impl::Run(const TMacro &macro)
{
    TProgmanGroup group;
    if (SameText(macro.Name, "CreateGroup")) {
        // A group's name is one line: the groups list names it by that line.
        const std::string name = Arg(macro, 0);
        if (Trim(name).empty() || name.size() > MaxNameLength || name.find_first_of("\r\n") != std::string::npos)
            return false;
        if (!LoadGroup(name, group)) {
            group.Name = name;
            if (!StoreGroup(group))
                return false;
        }
        active = group.Name;
        return true;
    }
    if (SameText(macro.Name, "ShowGroup")) {
        if (!LoadGroup(Arg(macro, 0), group))
            return false;
        group.ShowCommand = StrToIntDef(Trim(Arg(macro, 1)), group.ShowCommand);
        if (!StoreGroup(group))
            return false;
        active = group.Name;
        return true;
    }
    if (SameText(macro.Name, "AddItem")) {
        if (active.empty() || !LoadGroup(active, group))
            return false;
        TProgmanItem item;
        item.CommandLine = Arg(macro, 0);
        if (Trim(item.CommandLine).empty())
            return false;
        item.Name = Arg(macro, 1);
        if (item.Name.empty())
            item.Name = ChangeFileExt(ExtractFileName(item.CommandLine), "");
        if (item.Name.size() > MaxNameLength)
            return false;
        item.IconPath = Arg(macro, 2);
        item.IconIndex = Arg(macro, 3);
        item.X = Arg(macro, 4);
        item.Y = Arg(macro, 5);
        item.WorkingDirectory = Arg(macro, 6);
        item.HotKey = Arg(macro, 7);
        auto at = group.Items.end();
        if (replacedIndex >= 0 && AnsiSameText(replacedGroup, active)
            && static_cast<size_t>(replacedIndex) <= group.Items.size())
            at = group.Items.begin() + replacedIndex;
        group.Items.insert(at, item);
        replacedIndex = -1;
        return StoreGroup(group);
    }
    if (SameText(macro.Name, "ReplaceItem")) {
        if (active.empty() || !LoadGroup(active, group))
            return false;
        const int index = FindItemIn(group, Arg(macro, 0));
        if (index < 0)
            return false;
        group.Items.erase(group.Items.begin() + index);
        if (!StoreGroup(group))
            return false;
        replacedGroup = active;
        replacedIndex = index;
        return true;
    }
    return false;
}

std::optional<std::string> TProgmanConversation::Request(const std::string &item)
{
    if (!ProgramManagerRunning())
        return std::nullopt;
    if (SameText(item, "Groups")) {
        std::string text;
        for (const std::string &name : ProgmanGroupNames())
            text += name + "\r\n";
        return text;
    }
    TProgmanGroup group;
    {
        TFileLock lock(LockFile(), false);
        if (!LoadGroup(item, group))
            return std::nullopt;
    }
    std::string text = Quoted(group.Name) + ",C:\\WINDOWS\\PROGMAN.GRP," + IntToStr(static_cast<int>(group.Items.size()))
        + "," + IntToStr(group.ShowCommand) + "\r\n";
    for (const TProgmanItem &i : group.Items)
        text += Quoted(i.Name) + "," + Quoted(i.CommandLine) + "," + i.WorkingDirectory + "," + i.IconPath + ","
            + i.X + "," + i.Y + "," + i.IconIndex + "," + i.HotKey + "\r\n";
    return text;
}
