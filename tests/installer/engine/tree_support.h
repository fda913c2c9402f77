// Install objects of each registered type for the tree tests; they write what
// they hear and do into one journal.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"

namespace tree_test
{

std::vector<std::string> &Journal();

// Writes "<name> <code>" for every install event it receives, "<name>
// install" when its children are installed and "<name> uninstall <key>" for
// its uninstall record.
class TTreeObject : public TInstallObject
{
public:
    TTreeObject(TComponent *owner, int registeredType, bool installable);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int RegisteredType() const override { return registeredType_; }
    void SetOrder(int value) override { MoveToOrder(value); }
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
    void InstallObjects() override;
    void WriteUninstallInfo(const std::string &key) override;

    std::function<void(int eventCode)> WhenHeard; // after the journal line
    TObject *LastParameter = nullptr;
    std::string LastMessage; // the text of a TMessageParameter while it was valid

    using TInstallContainer::DestDirTypeDefaulted;
    using TInstallObject::ContainerDefaulted;

private:
    int registeredType_;
};

// The three kinds a form resource can create: a file group (1000, installs),
// a file (2000, installs) and a dialog (9000, hears broadcasts, never installs).
class TTreeGroup : public TTreeObject
{
public:
    explicit TTreeGroup(TComponent *owner)
        : TTreeObject(owner, rtFileContainer, true)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

class TTreeFile : public TTreeObject
{
public:
    explicit TTreeFile(TComponent *owner)
        : TTreeObject(owner, rtInstallFile, true)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

class TTreeDialog : public TTreeObject
{
public:
    explicit TTreeDialog(TComponent *owner)
        : TTreeObject(owner, rtDialog, false)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The root a resource of install objects is read into; its handler writes
// "<container> before" into the journal.
class TTreeRoot : public TComponent
{
public:
    explicit TTreeRoot(TComponent *owner = nullptr)
        : TComponent(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void GroupBeforeProcess(TInstallContainer *container);
    void Design() { SetDesigning(true); }
};

// The order of a container's children as "Name:Order" items.
std::string Children(const TInstallContainer &container);

} // namespace tree_test
