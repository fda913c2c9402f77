#include "installer/engine/cmp_TProgramManager/cmp_TProgramManager.h"

#include "platform/rtl/pointerlist.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/ddeman.h"

const TMetaClass TProgramManager::Class { "TProgramManager", &TComponent::Class };

// ---- Exceptions -----------------------------------------------------------------------

EAIPMError::EAIPMError()
    : EAI(TranslateString("The TProgramManager object was unable to communicate with Program Manager"))
{
}

EAIPMCannotOpen::EAIPMCannotOpen()
    : EAIPMError(TranslateString("The TProgramManager object was unable to establish a link with Program Manager"))
{
}

// The group's name is an argument, so a '%' in it stays text; the blank before
// it is part of the format, as a string table cannot keep a trailing blank.
EAIPMCannotOpenGroup::EAIPMCannotOpenGroup(const std::string &group)
    : EAIPMError(TranslateFormat("The TProgramManager object was unable to open the following program group: %s", group))
    , GroupName(group)
{
}

EAIPMCannotCreateGroup::EAIPMCannotCreateGroup(const std::string &group)
    : EAIPMError(
        TranslateFormat("The TProgramManager object was unable to create the following program group: %s", group))
    , GroupName(group)
{
}

// The item's name is an argument like the others, so a '%' in it stays text.
EAIPMCannotAddItem::EAIPMCannotAddItem(
    const std::string &group, const std::string &itemName, const std::string &command)
    : EAIPMError(TranslateFormat("The TProgramManager object was unable to add the following program item: %s"
                                 " to the following group: %s. The arguments passed to  Program Manager were: %s",
        itemName, group, command))
    , GroupName(group)
    , ItemName(itemName)
    , Command(command)
{
}

EAIPMCannotReplaceItem::EAIPMCannotReplaceItem(const std::string &group, const std::string &itemName)
    : EAIPMError(TranslateFormat("The TProgramManager object was unable to replace the following program item: %s"
                                 " to the following group: %s",
        itemName, group))
    , GroupName(group)
    , ItemName(itemName)
{
}

// ---- TProgramManager -----------------------------------------------------------------

TProgramManager::TProgramManager(TComponent *owner)
    : TComponent(owner)
    , conversation_(new TDdeClientConv(this))
    , lines_(std::make_unique<TStringList>())
{
}

TProgramManager::~TProgramManager()
{
    if (connected_)
        conversation_->CloseLink();
}

TStrings *TProgramManager::GroupLines() const
{
    return lines_.get();
}

void TProgramManager::Connect()
{
    if (connected_)
        return;
    conversation_->SetConnectMode(ddeManual);
    conversation_->SetLink("PROGMAN", "PROGMAN");
    if (!conversation_->OpenLink())
        throw EAIPMCannotOpen();
    connected_ = true;
}

void TProgramManager::CreateGroup(const std::string &name)
{
    Connect();
    if (!conversation_->ExecuteMacro("[CreateGroup(\"" + name + "\")]", false))
        throw EAIPMCannotCreateGroup(name);
    ReadGroup(name);
}

void TProgramManager::ShowGroup()
{
    if (!conversation_->ExecuteMacro("[ShowGroup(" + group_ + ",8)]", false))
        throw EAIPMCannotOpenGroup(group_);
}

void TProgramManager::AddItem(const std::string &commandLine, const std::string &name, const std::string &iconPath,
    int iconIndex, const std::string &workingDirectory, const std::string &hotKey)
{
    Connect();
    if (group_.empty())
        return;
    ShowGroup();
    // The name is quoted, as ReplaceItem quotes it, so that a comma in it
    // stays part of it. The two empty fields are the icon's x and y: Program
    // Manager places it.
    const std::string command = "[AddItem(" + commandLine + ",\"" + name + "\"," + iconPath + ","
        + IntToStr(iconIndex) + "," + ",," + workingDirectory + "," + hotKey + ")]";
    if (!conversation_->ExecuteMacro(command, false))
        throw EAIPMCannotAddItem(group_, name, command);
    ReadGroup(group_);
}

void TProgramManager::ReplaceItem(const std::string &name)
{
    Connect();
    if (group_.empty())
        return;
    ShowGroup();
    if (!conversation_->ExecuteMacro("[ReplaceItem(\"" + name + "\")]", false))
        throw EAIPMCannotReplaceItem(group_, name);
    ReadGroup(group_);
}

void TProgramManager::GetGroups(TStrings &strings)
{
    Connect();
    strings.SetText(conversation_->RequestData("Groups").value_or(""));
}

void TProgramManager::ReadGroup(const std::string &name)
{
    Connect();
    const std::string wanted = name; // name may be the current group, cleared next
    group_.clear();
    lines_->Clear();
    if (const std::optional<std::string> data = conversation_->RequestData(wanted)) {
        lines_->SetText(*data);
        group_ = wanted;
    }
}

int TProgramManager::ItemCount() const
{
    return lines_->Count() >= 2 ? lines_->Count() - 1 : 0;
}

std::string TProgramManager::ItemField(int index, int field) const
{
    if (index <= 0 || index >= lines_->Count())
        return "";
    if (field < pmfName)
        return "";
    // A comma inside double quotes (a name or a command line that holds one)
    // does not end its field; a quote that is never closed quotes nothing.
    const auto nextComma = [](const std::string &text) {
        bool quoted = false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '"')
                quoted = !quoted;
            else if (text[i] == ',' && !quoted)
                return i;
        }
        return quoted ? text.find(',') : std::string::npos;
    };
    std::string rest = lines_->Strings(index);
    for (int n = pmfName; n < field; ++n) {
        const size_t comma = nextComma(rest);
        if (comma == std::string::npos)
            return "";
        rest.erase(0, comma + 1);
    }
    // The hot key is the last field: it takes the rest of the line.
    std::string part = field >= pmfHotKey ? rest : rest.substr(0, nextComma(rest));
    if (field == pmfName || field == pmfCommandLine) {
        if (part.size() > 1 && part.front() == '"')
            part.erase(0, 1);
        if (!part.empty() && part.back() == '"')
            part.pop_back();
    }
    return part;
}

int TProgramManager::FindItem(const std::string &name) const
{
    for (int i = 1; i <= ItemCount(); ++i)
        if (ItemName(i) == name)
            return i;
    return -1;
}

// ---- The program's instance ----------------------------------------------------------

namespace
{
struct Globals {
    std::unique_ptr<TProgramManager> programManager = std::make_unique<TProgramManager>(nullptr);
};
} // namespace

TProgramManager *ProgramManager()
{
    Globals *g = TUnitGlobals<Globals>::Get();
    return g ? g->programManager.get() : nullptr;
}
