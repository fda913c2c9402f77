#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"

#include <algorithm>
#include <memory>

#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

const TMetaClass TCustomPathSpecifier::Class { "TCustomPathSpecifier", &TComponent::Class };
const TMetaClass TStandardPathSpecifier::Class { "TStandardPathSpecifier", &TCustomPathSpecifier::Class };
const TMetaClass TpsBDEDLL::Class { "TpsBDEDLL", &TStandardPathSpecifier::Class };
const TMetaClass TpsCommonFiles::Class { "TpsCommonFiles", &TStandardPathSpecifier::Class };
const TMetaClass TpsContainerArchiveFile::Class { "TpsContainerArchiveFile", &TStandardPathSpecifier::Class };
const TMetaClass TpsContainerDestDir::Class { "TpsContainerDestDir", &TStandardPathSpecifier::Class };
const TMetaClass TpsDesktopMenu::Class { "TpsDesktopMenu", &TStandardPathSpecifier::Class };
const TMetaClass TpsInstallSource::Class { "TpsInstallSource", &TStandardPathSpecifier::Class };
const TMetaClass TpsMainInstall::Class { "TpsMainInstall", &TStandardPathSpecifier::Class };
const TMetaClass TpsProgramFiles::Class { "TpsProgramFiles", &TStandardPathSpecifier::Class };
const TMetaClass TpsProgramMenu::Class { "TpsProgramMenu", &TStandardPathSpecifier::Class };
const TMetaClass TpsStartMenu::Class { "TpsStartMenu", &TStandardPathSpecifier::Class };
const TMetaClass TpsStartupMenu::Class { "TpsStartupMenu", &TStandardPathSpecifier::Class };
const TMetaClass TpsSystem::Class { "TpsSystem", &TStandardPathSpecifier::Class };
const TMetaClass TpsMainArchiveFile::Class { "TpsMainArchiveFile", &TStandardPathSpecifier::Class };
const TMetaClass TpsWindow::Class { "TpsWindow", &TStandardPathSpecifier::Class };

// The specifiers publish nothing; registering lets a form resource create them.
static const TClassRegistrar<TpsBDEDLL> bdeDll({});
static const TClassRegistrar<TpsCommonFiles> commonFiles({});
static const TClassRegistrar<TpsContainerArchiveFile> containerArchiveFile({});
static const TClassRegistrar<TpsContainerDestDir> containerDestDir({});
static const TClassRegistrar<TpsDesktopMenu> desktopMenu({});
static const TClassRegistrar<TpsInstallSource> installSource({});
static const TClassRegistrar<TpsMainInstall> mainInstall({});
static const TClassRegistrar<TpsProgramFiles> programFiles({});
static const TClassRegistrar<TpsProgramMenu> programMenu({});
static const TClassRegistrar<TpsStartMenu> startMenu({});
static const TClassRegistrar<TpsStartupMenu> startupMenu({});
static const TClassRegistrar<TpsSystem> systemFolder({});
static const TClassRegistrar<TpsMainArchiveFile> mainArchiveFile({});
static const TClassRegistrar<TpsWindow> windowsFolder({});

// ---- Globals of the unit ------------------------------------------------------------

namespace
{

struct Globals {
    TPathSpecifierList all;
    TStandardPathSpecList standard;
    TInstallStartup startup;
    TArchivePathReader archivePathReader;
};

// Specifiers owned by forms that outlive the unit find the lists gone, not freed.
Globals *TheGlobals()
{
    return TUnitGlobals<Globals>::Get();
}

// The classes of the standard specifiers, in the order a form receives them.
struct StandardClass {
    const TMetaClass *classType;
    const char *name;
};
const StandardClass StandardClasses[] = {
    { &TpsBDEDLL::Class, "psBDEDLL" },
    { &TpsCommonFiles::Class, "psCommonFiles" },
    { &TpsContainerArchiveFile::Class, "psContainerArchiveFile" },
    { &TpsContainerDestDir::Class, "psContainerDestDir" },
    { &TpsDesktopMenu::Class, "psDesktopMenu" },
    { &TpsInstallSource::Class, "psInstallSource" },
    { &TpsMainInstall::Class, "psMainInstall" },
    { &TpsProgramFiles::Class, "psProgramFiles" },
    { &TpsProgramMenu::Class, "psProgramMenu" },
    { &TpsStartMenu::Class, "psStartMenu" },
    { &TpsStartupMenu::Class, "psStartupMenu" },
    { &TpsSystem::Class, "psSystem" },
    { &TpsMainArchiveFile::Class, "psMainArchiveFile" },
    { &TpsWindow::Class, "psWindow" },
};

const char *NameTextOf(const TMetaClass &classType)
{
    for (const StandardClass &entry : StandardClasses)
        if (entry.classType == &classType)
            return entry.name;
    return "";
}

std::string NameOf(const TComponent *obj)
{
    return obj ? obj->Name() : std::string();
}

TInstallObject *RequireInstallObject(TComponent *obj, const std::string &nameText)
{
    auto *object = dynamic_cast<TInstallObject *>(obj);
    if (!object)
        throw IEPathSpecifier(
            "%s must be a %s to use the %s path specifier", NameOf(obj), "TInstallObject", nameText);
    return object;
}

TInstallContainer *RequireInstall(TComponent *obj)
{
    TInstallContainer *install = CurrentInstall();
    if (!install)
        throw IEPathSpecifier(
            "There is no TInstall component so the path specifier could not be expanded for %s", NameOf(obj));
    return install;
}

} // namespace

// ---- The base ------------------------------------------------------------------------

TCustomPathSpecifier::TCustomPathSpecifier(TComponent *owner)
    : TComponent(owner)
{
    if (Globals *g = TheGlobals())
        g->all.Add(this);
}

TCustomPathSpecifier::~TCustomPathSpecifier()
{
    if (Globals *g = TheGlobals())
        g->all.Remove(this);
}

void TCustomPathSpecifier::Check(TComponent *) { }

std::string TCustomPathSpecifier::GetDescription()
{
    return "Unspecified";
}

std::string TCustomPathSpecifier::GetDescriptionFor(TComponent *)
{
    return GetDescription();
}

std::string TCustomPathSpecifier::GetPath(TComponent *obj)
{
    std::string path;
    OnGetPath(obj, path);
    return path;
}

TStandardPathSpecifier::TStandardPathSpecifier(TComponent *owner)
    : TCustomPathSpecifier(owner)
{
    if (Globals *g = TheGlobals())
        g->standard.Add(this);
}

TStandardPathSpecifier::~TStandardPathSpecifier()
{
    if (Globals *g = TheGlobals())
        g->standard.Remove(this);
}

// ---- The standard specifiers -----------------------------------------------------------

TpsBDEDLL::TpsBDEDLL(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsCommonFiles::TpsCommonFiles(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsContainerArchiveFile::TpsContainerArchiveFile(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsContainerDestDir::TpsContainerDestDir(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsDesktopMenu::TpsDesktopMenu(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsInstallSource::TpsInstallSource(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsMainInstall::TpsMainInstall(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsProgramFiles::TpsProgramFiles(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsProgramMenu::TpsProgramMenu(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsStartMenu::TpsStartMenu(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsStartupMenu::TpsStartupMenu(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsSystem::TpsSystem(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsMainArchiveFile::TpsMainArchiveFile(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

TpsWindow::TpsWindow(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText(NameTextOf(Class));
}

std::string TpsBDEDLL::GetDescription()
{
    return "Borland Database Engine DLL Path";
}
std::string TpsBDEDLL::GetPath(TComponent *)
{
    std::string path = RegReadString(rkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "");
    if (path.empty())
        path = AddTrailingBackslash(GetProgramFilesDir()) + "Borland\\Common Files\\BDE";
    // The value may list several folders; the engine's DLLs are in the first.
    return RemoveTrailingBackslash(GetItem(path, 1, ";"));
}

std::string TpsCommonFiles::GetDescription()
{
    return "Path of the common files directory under the program files directory";
}
std::string TpsCommonFiles::GetPath(TComponent *)
{
    return GetCommonFilesDir();
}

std::string TpsContainerArchiveFile::GetDescription()
{
    return "Path to the archive file of the container";
}
void TpsContainerArchiveFile::Check(TComponent *obj)
{
    TInstallObject *object = RequireInstallObject(obj, NameText());
    TInstallContainer *container = object->Container();
    if (!container)
        throw IEPathSpecifier(
            "Cannot use ddContainerArchiveFile for %s unless you assign a Container", obj->Name());
    const Globals *g = TheGlobals();
    if (!dynamic_cast<TFileRelated *>(container) || !g || !g->archivePathReader)
        throw IEPathSpecifier(
            "Cannot use the ddContainerArchiveFile path specifier for %s because the Container "
            "is not a TFileRelated descendant",
            obj->Name());
}
std::string TpsContainerArchiveFile::GetPath(TComponent *obj)
{
    Check(obj);
    return RemoveTrailingBackslash(
        TheGlobals()->archivePathReader(static_cast<TInstallObject *>(obj)->Container()));
}

std::string TpsContainerDestDir::GetDescription()
{
    return "Path of the group (container)";
}
std::string TpsContainerDestDir::GetDescriptionFor(TComponent *obj)
{
    auto *object = dynamic_cast<TInstallObject *>(obj);
    TInstallContainer *container = object ? object->Container() : nullptr;
    if (!container)
        return GetDescription();
    std::string group = container->Name();
    if (auto *fileContainer = dynamic_cast<TFileContainer *>(container))
        group = fileContainer->GroupName();
    return Format("Path of the <%s> group", group);
}
void TpsContainerDestDir::Check(TComponent *obj)
{
    if (!RequireInstallObject(obj, NameText())->Container())
        throw IEPathSpecifier(
            "Cannot use ddContainerDestDir for %s unless you assign a Container", obj->Name());
}
std::string TpsContainerDestDir::GetPath(TComponent *obj)
{
    Check(obj);
    return static_cast<TInstallObject *>(obj)->Container()->GetDestPath();
}

std::string TpsDesktopMenu::GetDescription()
{
    return "Path of the Desktop";
}
std::string TpsDesktopMenu::GetPath(TComponent *)
{
    return GetDesktopDir();
}

std::string TpsInstallSource::GetDescription()
{
    return "Path from which the user ran the install";
}
void TpsInstallSource::Check(TComponent *obj)
{
    RequireInstall(obj);
}
std::string TpsInstallSource::GetPath(TComponent *obj)
{
    Check(obj);
    return RemoveTrailingBackslash(InstallStartup().WorkingDir);
}

std::string TpsMainInstall::GetDescription()
{
    return "Path of the destination directory of the TInstall";
}
void TpsMainInstall::Check(TComponent *obj)
{
    if (RequireInstall(obj) == obj)
        throw IEPathSpecifier("Cannot use the ddMainInstallDir path specifier for a TInstall component");
}
std::string TpsMainInstall::GetPath(TComponent *obj)
{
    Check(obj);
    return CurrentInstall()->GetDestPath();
}

std::string TpsProgramFiles::GetDescription()
{
    return "Path of the program files directory";
}
std::string TpsProgramFiles::GetPath(TComponent *)
{
    return GetProgramFilesDir();
}

std::string TpsProgramMenu::GetDescription()
{
    return "Path of the Programs folder under the Start Menu";
}
std::string TpsProgramMenu::GetPath(TComponent *)
{
    return GetProgramsMenuDir();
}

std::string TpsStartMenu::GetDescription()
{
    return "Path of Start Menu";
}
std::string TpsStartMenu::GetPath(TComponent *)
{
    return GetStartMenuDir();
}

std::string TpsStartupMenu::GetDescription()
{
    return "Path of the Startup folder in the Programs folder under the Start Menu";
}
std::string TpsStartupMenu::GetPath(TComponent *)
{
    return GetStartupDir();
}

std::string TpsSystem::GetDescription()
{
    return "Path of system directory";
}
std::string TpsSystem::GetPath(TComponent *)
{
    return GetSystemDir();
}

std::string TpsMainArchiveFile::GetDescription()
{
    return "Archive containing most or all non-internet installation files";
}
void TpsMainArchiveFile::Check(TComponent *obj)
{
    RequireInstall(obj);
    const TInstallStartup &startup = InstallStartup();
    if (startup.SelfExtract && Trim(startup.SelfExtractName).empty())
        throw IEInstall("You forgot to pass in the name of the self-extracting executable. Usage example: "
                        "\"-eSetup.exe\"");
}
std::string TpsMainArchiveFile::GetPath(TComponent *obj)
{
    Check(obj);
    const TInstallStartup &startup = InstallStartup();
    return AddTrailingBackslash(startup.WorkingDir)
        + (startup.SelfExtract ? startup.SelfExtractName : "files.1");
}

std::string TpsWindow::GetDescription()
{
    return "Path of the Windows directory";
}
std::string TpsWindow::GetPath(TComponent *)
{
    return GetWindowsDir();
}

// ---- Lists ------------------------------------------------------------------------------

void TPathSpecifierList::Add(TCustomPathSpecifier *specifier)
{
    if (!specifier)
        throw IEPathSpecifierList("Tried to add a nil object to the path specifier list");
    TPointerList::Add(specifier);
}

TCustomPathSpecifier *TPathSpecifierList::FindByClass(const TMetaClass &classType) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->InheritsFrom(classType))
            return Items(i);
    throw IEPathSpecifier("Could not find the path specifier");
}

TPathSpecifierList *PathSpecifierList()
{
    Globals *g = TheGlobals();
    return g ? &g->all : nullptr;
}

TStandardPathSpecList *StandardPathSpecList()
{
    Globals *g = TheGlobals();
    return g ? &g->standard : nullptr;
}

void EnsureStandardSpecifiers(TInstallContainer *, TComponent *owner, bool onlyMissing)
{
    TPathSpecifierList *all = PathSpecifierList();
    if (!owner || !all)
        return;
    for (const StandardClass &entry : StandardClasses) {
        if (onlyMissing) {
            bool present = false;
            for (int i = 0; i < all->Count() && !present; ++i)
                present = all->Items(i)->InheritsFrom(*entry.classType);
            if (present)
                continue;
        }
        // A name the owner already uses must not leave a nameless specifier behind.
        std::unique_ptr<TComponent> specifier(entry.classType->Table()->CreateComponent(owner));
        specifier->SetName(entry.name);
        specifier.release();
    }
}

void SetInstallStartup(const TInstallStartup &startup)
{
    if (Globals *g = TheGlobals())
        g->startup = startup;
}

const TInstallStartup &InstallStartup()
{
    static const TInstallStartup none;
    const Globals *g = TheGlobals();
    return g ? g->startup : none;
}

void SetArchivePathReader(TArchivePathReader reader)
{
    if (Globals *g = TheGlobals())
        g->archivePathReader = std::move(reader);
}
