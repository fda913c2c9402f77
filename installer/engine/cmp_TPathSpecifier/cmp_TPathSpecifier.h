#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/rtl/events.h"
#include "platform/rtl/pointerlist.h"

class TInstallContainer;

// Install objects never hold absolute paths of the target machine: they name
// a base folder by one of these components and add a relative part.

using TPathSpecifierEvent = TEvent<TComponent * /*obj*/, std::string & /*path*/>;

class TCustomPathSpecifier : public TComponent
{
public:
    explicit TCustomPathSpecifier(TComponent *owner);
    ~TCustomPathSpecifier() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // What the specifier stands for; obj is the install object that asks
    virtual void Check(TComponent *obj); // raises when it cannot serve obj
    virtual std::string GetDescription(); // "Unspecified"
    virtual std::string GetDescriptionFor(TComponent *obj);
    virtual std::string GetPath(TComponent *obj); // here: what OnGetPath leaves, from ""

    // The component name the standard forms give it ("psSystem")
    const std::string &NameText() const { return nameText_; }

    TPathSpecifierEvent OnGetPath;

protected:
    void SetNameText(const std::string &value) { nameText_ = value; }

private:
    std::string nameText_;
};

// Base of the standard specifiers; each also enters the standard list.
class TStandardPathSpecifier : public TCustomPathSpecifier
{
public:
    explicit TStandardPathSpecifier(TComponent *owner);
    ~TStandardPathSpecifier() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// ---- The standard specifiers ------------------------------------------------------
// Paths come without a trailing backslash unless said otherwise.

// The database engine's DLL folder (first of its list).
class TpsBDEDLL : public TStandardPathSpecifier
{
public:
    explicit TpsBDEDLL(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

class TpsCommonFiles : public TStandardPathSpecifier
{
public:
    explicit TpsCommonFiles(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

// Obj's Container's ArchivePath.
class TpsContainerArchiveFile : public TStandardPathSpecifier
{
public:
    explicit TpsContainerArchiveFile(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
    void Check(TComponent *obj) override;
};

// Obj's Container's destination.
class TpsContainerDestDir : public TStandardPathSpecifier
{
public:
    explicit TpsContainerDestDir(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetDescriptionFor(TComponent *obj) override; // "Path of the <Main> group"
    std::string GetPath(TComponent *obj) override;
    void Check(TComponent *obj) override;
};

class TpsDesktopMenu : public TStandardPathSpecifier
{
public:
    explicit TpsDesktopMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

// The install component's working folder.
class TpsInstallSource : public TStandardPathSpecifier
{
public:
    explicit TpsInstallSource(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
    void Check(TComponent *obj) override;
};

// The install component's destination.
class TpsMainInstall : public TStandardPathSpecifier
{
public:
    explicit TpsMainInstall(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
    void Check(TComponent *obj) override;
};

class TpsProgramFiles : public TStandardPathSpecifier
{
public:
    explicit TpsProgramFiles(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

class TpsProgramMenu : public TStandardPathSpecifier
{
public:
    explicit TpsProgramMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

class TpsStartMenu : public TStandardPathSpecifier
{
public:
    explicit TpsStartMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

class TpsStartupMenu : public TStandardPathSpecifier
{
public:
    explicit TpsStartupMenu(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

class TpsSystem : public TStandardPathSpecifier
{
public:
    explicit TpsSystem(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

// The archive file itself, not a folder.
class TpsMainArchiveFile : public TStandardPathSpecifier
{
public:
    explicit TpsMainArchiveFile(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
    void Check(TComponent *obj) override;
};

class TpsWindow : public TStandardPathSpecifier
{
public:
    explicit TpsWindow(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    std::string GetDescription() override;
    std::string GetPath(TComponent *obj) override;
};

// ---- The lists of specifiers -------------------------------------------------------

class TPathSpecifierList : public TPointerList<TCustomPathSpecifier>
{
public:
    virtual ~TPathSpecifierList() = default;
    void Add(TCustomPathSpecifier *specifier); // nil: IEPathSpecifierList

    // The first listed specifier of classType or a descendant; IEPathSpecifier when none.
    TCustomPathSpecifier *FindByClass(const TMetaClass &classType) const;
    template <typename T> T *FindByClass() const { return static_cast<T *>(FindByClass(T::Class)); }
};

class TStandardPathSpecList : public TPathSpecifierList
{
};

// Every specifier that exists, and the standard ones; null once the program
// has begun to end.
TPathSpecifierList *PathSpecifierList();
TStandardPathSpecList *StandardPathSpecList();

// Gives owner one specifier of each standard class, named after it
// ("psBDEDLL" ... "psWindow"); with onlyMissing, a class of which any
// specifier exists already is left out. Nothing when owner is nil.
void EnsureStandardSpecifiers(TInstallContainer *container, TComponent *owner, bool onlyMissing);

// ---- What the install component tells the specifiers -------------------------------

// Set by the install component when it has read its command line: its working
// folder (the -s argument, else the program's folder, without trailing
// backslash) and, when the self-extractor started it (-e), that file's name.
struct TInstallStartup {
    std::string WorkingDir;
    bool SelfExtract = false;
    std::string SelfExtractName;
};
void SetInstallStartup(const TInstallStartup &startup);
const TInstallStartup &InstallStartup();

// The ArchivePath of a file-related container. The file-related unit installs
// it together with its class; the container-archive specifier asks it.
using TArchivePathReader = std::function<std::string(TInstallContainer *fileRelated)>;
void SetArchivePathReader(TArchivePathReader reader);
