#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The Program Manager of the emulated machine: its program groups and their
// items, kept in the machine's root (folder "progman", one INI-like file per
// group, each change written atomically under a lock, as the registry is),
// and the DDE conversation it serves under the service and topic "PROGMAN".
// Group and item names are compared without regard to case and keep theirs.

struct TProgmanItem {
    std::string Name;
    std::string CommandLine;
    std::string WorkingDirectory;
    std::string IconPath;
    std::string IconIndex;
    std::string X; // as given; blank lets Program Manager place the icon
    std::string Y;
    std::string HotKey;
};

struct TProgmanGroup {
    std::string Name;
    int ShowCommand = 1;
    std::vector<TProgmanItem> Items;
};

// Whether Program Manager runs on the machine (it does on a new one). A
// machine without it answers no conversation.
bool ProgramManagerRunning();
void SetProgramManagerRunning(bool running);

// The groups as they stand, in name order; false when there is no such group.
std::vector<std::string> ProgmanGroupNames();
bool ReadProgmanGroup(const std::string &name, TProgmanGroup &group);

// Every command text a conversation was asked to execute, oldest first, as
// it came (a text may hold several bracketed macros).
std::vector<std::string> ProgmanCommandLog();

// One DDE conversation with Program Manager. Commands, each "[Name(args)]"
// with arguments separated by commas (double quotes keep commas and
// parentheses in one argument):
//   CreateGroup(name)   creates the group unless it exists; it becomes active
//   ShowGroup(name,cmd) makes an existing group active
//   AddItem(command,name,icon,index,x,y,folder,hotkey)
//                       adds to the active group, or takes the place of the
//                       item the last ReplaceItem took out
//   ReplaceItem(name)   takes the item out of the active group
// Requests: "Groups" answers the group names, one a line; a group's name its
// description line ("name",file,count,show) and one line per item
// ("name","command",folder,icon,x,y,index,hotkey).
class TProgmanConversation
{
public:
    // Null when Program Manager does not run or topic is not "PROGMAN".
    static std::unique_ptr<TProgmanConversation> Open(const std::string &topic);
    ~TProgmanConversation();

    // False at the first macro that fails (unknown command, missing group
    // or item, a file that cannot be written); the macros before it stand.
    bool Execute(const std::string &commands);
    std::optional<std::string> Request(const std::string &item);

private:
    TProgmanConversation();
    struct Impl;
    std::unique_ptr<Impl> const d;
};
