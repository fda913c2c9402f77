#pragma once

#include <cstdint>
#include <string>

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "platform/rtl/pointerlist.h"

// Shortcuts and the groups they live in. A shortcut is a shell link file
// (.LNK), an Internet shortcut (.URL) for an FTP or HTTP location, or, on
// Windows versions without the shell's Start menu, a Program Manager item.
// The main link group is the product's folder in the Start menu's Programs.

// ---- Link groups --------------------------------------------------------------------

class TCustomShellLinkGroup : public TInstallObject
{
public:
    explicit TCustomShellLinkGroup(TComponent *owner);
    ~TCustomShellLinkGroup() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int RegisteredType() const override { return rtShellLinkGroup; }
    void SetOrder(int value) override { MoveToOrder(value); }
    // Tells its children -991, makes its folder, then installs them.
    void InstallObjects() override;
    // The group goes with its container.
    void ContainerDestroying(TInstallContainer *other) override;
};

// The product's Start-menu program folder: at most one per program, always
// below the Programs folder of the Start menu.
class TMainLinkGroup : public TCustomShellLinkGroup
{
public:
    explicit TMainLinkGroup(TComponent *owner); // a second one: IEShellLinkGroup
    ~TMainLinkGroup() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void SetDestDirType(TCustomPathSpecifier *value) override; // always the Programs-menu specifier
};

// ---- Shortcuts -------------------------------------------------------------------

enum TMethodType { mtAutoDetect, mtShellLinkInterface, mtProgramManager };
extern const TEnumNames MethodTypeNames; // "mtAutoDetect" ...

class TCustomInstallShellLink : public TInstallObject
{
public:
    explicit TCustomInstallShellLink(TComponent *owner);
    ~TCustomInstallShellLink() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // The shortcut file
    const std::string &LinkName() const { return linkName_; } // file name with its extension
    virtual void SetLinkName(const std::string &value);
    uint16_t HotKey() const { return hotKey_; } // key in the low byte, HOTKEYF_ modifiers above
    void SetHotKey(uint16_t value) { hotKey_ = value; }
    TMethodType Method() const { return method_; }
    void SetMethod(TMethodType value) { method_ = value; }
    std::string LinkFileName(); // destination folder, '\', LinkName
    bool IsInternetShortcut() const; // LinkName ends in ".URL", in any case

    // What it points at
    TInstallContainer *ObjectLink() const { return objectLink_; }
    virtual void SetObjectLink(TInstallContainer *value);
    const std::string &ObjectLocation() const { return objectLocation_; } // a path or a URL
    virtual void SetObjectLocation(const std::string &value);
    TCustomPathSpecifier *ObjectLocationType() const { return objectLocationType_; }
    virtual void SetObjectLocationType(TCustomPathSpecifier *value);
    const std::string &Parameters() const { return parameters_; } // with %-meta-variables
    void SetParameters(const std::string &value) { parameters_ = value; }
    virtual std::string GetObjectPath(); // without trailing backslash

    // Making it
    virtual void InitializeCom();
    virtual void CreateProgramManagerItem();
    virtual void CreateShellLink();
    virtual void CreateInternetShortcut();

    int RegisteredType() const override { return rtShellLink; }
    void SetOrder(int value) override { MoveToOrder(value); }
    void InstallObjects() override;
    void WriteUninstallInfo(const std::string &key) override;
    // The shortcut goes with its container and with the object it points at.
    void ContainerDestroying(TInstallContainer *other) override;

protected:
    void Notification(TComponent *component, TOperation operation) override;

private:
    bool comReady_ = false;
    bool created_ = false; // the file was made in this run: the uninstaller is told of it
    uint16_t hotKey_ = 0;
    std::string linkName_;
    TMethodType method_ = mtAutoDetect;
    TInstallContainer *objectLink_ = nullptr;
    std::string objectLocation_;
    TCustomPathSpecifier *objectLocationType_ = nullptr;
    std::string parameters_;
};

class TInstallShellLink : public TCustomInstallShellLink
{
public:
    using TCustomInstallShellLink::TCustomInstallShellLink;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// A shortcut in the main link group's folder; it needs the group and stays in it.
class TInstallMainLink : public TCustomInstallShellLink
{
public:
    explicit TInstallMainLink(TComponent *owner); // without a main link group: IEInstallShellLink
    ~TInstallMainLink() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    void SetContainer(TInstallContainer *value) override; // the main link group only
    void SetDestDirType(TCustomPathSpecifier *value) override; // always the container's folder
};

// ---- The shortcut's target as a path specifier -------------------------------------

// The installed place of the shortcut's ObjectLink: an install file's full
// destination path, or any other object's destination folder.
class TpsObjectLink : public TStandardPathSpecifier
{
public:
    explicit TpsObjectLink(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Check(TComponent *obj) override;
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

// ---- Global lists ---------------------------------------------------------------------

class TInstallShellLinkList : public TPointerList<TCustomInstallShellLink>
{
public:
    void Add(TCustomInstallShellLink *link); // nil: IEInstallShellLinkList
};

class TShellLinkGroupList : public TPointerList<TCustomShellLinkGroup>
{
public:
    void Add(TCustomShellLinkGroup *group); // nil: IEInstallShellLinkList
};

// Each is null once the program has begun to end.
TInstallShellLinkList *InstallShellLinkList(); // every shortcut
TInstallShellLinkList *MainShellLinkList(); // the main link group's shortcuts
TShellLinkGroupList *ShellLinkGroupList();
TMainLinkGroup *MainLinkGroup(); // or null
