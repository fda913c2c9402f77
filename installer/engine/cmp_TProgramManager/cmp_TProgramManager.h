#pragma once

#include <memory>
#include <string>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/classes/classes.h"

class TDdeClientConv;
class TStrings;
class TStringList;

// ---- Exceptions -----------------------------------------------------------------------

class EAIPMError : public EAI
{
public:
    EAIPMError(); // "...unable to communicate with Program Manager"
    explicit EAIPMError(const std::string &message)
        : EAI(message)
    {
    }
    const char *ClassName() const override { return "EAIPMError"; }
};

class EAIPMCannotOpen : public EAIPMError
{
public:
    EAIPMCannotOpen();
    const char *ClassName() const override { return "EAIPMCannotOpen"; }
};

class EAIPMCannotOpenGroup : public EAIPMError
{
public:
    explicit EAIPMCannotOpenGroup(const std::string &group);
    const char *ClassName() const override { return "EAIPMCannotOpenGroup"; }
    std::string GroupName;
};

class EAIPMCannotCreateGroup : public EAIPMError
{
public:
    explicit EAIPMCannotCreateGroup(const std::string &group);
    const char *ClassName() const override { return "EAIPMCannotCreateGroup"; }
    std::string GroupName;
};

class EAIPMCannotAddItem : public EAIPMError
{
public:
    EAIPMCannotAddItem(const std::string &group, const std::string &itemName, const std::string &command);
    const char *ClassName() const override { return "EAIPMCannotAddItem"; }
    std::string GroupName;
    std::string ItemName;
    std::string Command;
};

class EAIPMCannotReplaceItem : public EAIPMError
{
public:
    EAIPMCannotReplaceItem(const std::string &group, const std::string &itemName);
    const char *ClassName() const override { return "EAIPMCannotReplaceItem"; }
    std::string GroupName;
    std::string ItemName;
};

// ---- Program Manager ---------------------------------------------------------------

// The item fields of a group's lines, in Program Manager's order.
enum TPMItemField {
    pmfName = 1,
    pmfCommandLine,
    pmfWorkingDirectory,
    pmfIconPath,
    pmfX,
    pmfY,
    pmfIconIndex,
    pmfHotKey,
};

// Program Manager's groups through its DDE conversation "PROGMAN": creating
// and showing groups, adding and replacing items in the current group, and
// reading the group list and a group's items. Every operation connects first.
class TProgramManager : public TComponent
{
public:
    explicit TProgramManager(TComponent *owner);
    ~TProgramManager() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    virtual void Connect(); // EAIPMCannotOpen
    bool Connected() const { return connected_; }

    // Groups
    void CreateGroup(const std::string &name); // and reads it
    void GetGroups(TStrings &strings);
    void ReadGroup(const std::string &name); // no such group: no current group
    const std::string &CurrentGroup() const { return group_; }
    TStrings *GroupLines() const; // line 0 describes the group, one line per item after it

    // Items of the current group; nothing happens without one
    void AddItem(const std::string &commandLine, const std::string &name, const std::string &iconPath,
        int iconIndex, const std::string &workingDirectory, const std::string &hotKey);
    void ReplaceItem(const std::string &name); // the next AddItem takes its place

    int ItemCount() const;
    int FindItem(const std::string &name) const; // 1..ItemCount, or -1
    std::string ItemField(int index, int field) const; // fields 1 and 2 lose their quotes
    std::string ItemName(int index) const { return ItemField(index, pmfName); }
    std::string ItemCommandLine(int index) const { return ItemField(index, pmfCommandLine); }
    std::string ItemWorkingDirectory(int index) const { return ItemField(index, pmfWorkingDirectory); }
    std::string ItemIconPath(int index) const { return ItemField(index, pmfIconPath); }
    std::string ItemX(int index) const { return ItemField(index, pmfX); }
    std::string ItemY(int index) const { return ItemField(index, pmfY); }
    std::string ItemIconIndex(int index) const { return ItemField(index, pmfIconIndex); }
    std::string ItemHotKey(int index) const { return ItemField(index, pmfHotKey); }

private:
    TDdeClientConv *conversation_; // owned
    bool connected_ = false;
    std::string group_;
    std::unique_ptr<TStringList> lines_;

    void ShowGroup();
};

// The program's one instance; null once the program has begun to end.
TProgramManager *ProgramManager();
