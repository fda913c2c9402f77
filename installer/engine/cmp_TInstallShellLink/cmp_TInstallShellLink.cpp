#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"

#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/cmp_TProgramManager/cmp_TProgramManager.h"
#include "installer/engine/cmp_TUninstallEXE/cmp_TUninstallEXE.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Components.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/system/inifiles.h"
#include "platform/system/shlobj.h"

const TEnumNames MethodTypeNames { "mtAutoDetect", "mtShellLinkInterface", "mtProgramManager" };

const TMetaClass TCustomShellLinkGroup::Class { "TCustomShellLinkGroup", &TInstallObject::Class };
const TMetaClass TMainLinkGroup::Class { "TMainLinkGroup", &TCustomShellLinkGroup::Class };
const TMetaClass TCustomInstallShellLink::Class { "TCustomInstallShellLink", &TInstallObject::Class };
const TMetaClass TInstallShellLink::Class { "TInstallShellLink", &TCustomInstallShellLink::Class };
const TMetaClass TInstallMainLink::Class { "TInstallMainLink", &TCustomInstallShellLink::Class };
const TMetaClass TpsObjectLink::Class { "TpsObjectLink", &TStandardPathSpecifier::Class };

namespace
{

using G = TPublish<TMainLinkGroup>;
using GI = TInstallPublish<TMainLinkGroup>;
// clang-format off
const TClassRegistrar<TMainLinkGroup> mainLinkGroupRegistrar({
    GI::Container(),
    GI::DestDir(),
    GI::DestDirType(),
    GI::Include(),
    GI::Order(),
    GI::OnAfterProcess(),
    GI::OnBeforeProcess(),
});
// clang-format on

// The shortcut's published properties, the same for both published classes.
template <typename T> std::vector<TPropInfo> ShortcutProperties()
{
    using P = TPublish<T>;
    using I = TInstallPublish<T>;
    // clang-format off
    return {
        //          name                  names             getter                  setter                     default
        I::Container(),
        I::DestDir(),
        I::DestDirType(),
        I::Include(),
        P::Integer ("HotKey",                              &T::HotKey,             &T::SetHotKey,             0),
        P::String  ("LinkName",                            &T::LinkName,           &T::SetLinkName,           ""),
        P::Enum    ("Method",             MethodTypeNames, &T::Method,             &T::SetMethod,             mtAutoDetect),
        P::Component("ObjectLink",                         &T::ObjectLink,         &T::SetObjectLink),
        P::String  ("ObjectLocation",                      &T::ObjectLocation,     &T::SetObjectLocation,     ""),
        P::Component("ObjectLocationType",                 &T::ObjectLocationType, &T::SetObjectLocationType),
        P::String  ("Parameters",                          &T::Parameters,         &T::SetParameters,         ""),
        I::OnAfterProcess(),
        I::OnBeforeProcess(),
    };
    // clang-format on
}
const TClassRegistrar<TInstallShellLink> shellLinkRegistrar(ShortcutProperties<TInstallShellLink>());
const TClassRegistrar<TInstallMainLink> mainLinkRegistrar(ShortcutProperties<TInstallMainLink>());
const TClassRegistrar<TpsObjectLink> objectLinkRegistrar({});

// ---- Globals of the unit ------------------------------------------------------------

struct Globals {
    TInstallShellLinkList links;
    TInstallShellLinkList mainLinks;
    TShellLinkGroupList groups;
    TMainLinkGroup *mainLinkGroup = nullptr;
};

Globals *TheGlobals()
{
    return TUnitGlobals<Globals>::Get();
}

TCustomPathSpecifier *Standard(const TMetaClass &classType)
{
    TStandardPathSpecList *list = StandardPathSpecList();
    if (!list)
        throw IEPathSpecifier("Could not find the path specifier");
    return list->FindByClass(classType);
}

// The standard TpsObjectLink, made on owner when none exists yet.
void EnsureObjectLinkSpecifier(TComponent *owner)
{
    TPathSpecifierList *all = PathSpecifierList();
    if (!all)
        return;
    for (int i = 0; i < all->Count(); ++i)
        if (all->Items(i)->InheritsFrom(TpsObjectLink::Class))
            return;
    std::unique_ptr<TpsObjectLink> specifier = std::make_unique<TpsObjectLink>(owner);
    UniqueComponentName(specifier.get(), "psObjectLink");
    specifier.release();
}

// Upper-cased extension of a name.
std::string UpperExt(const std::string &name)
{
    return UpperCase(ExtractFileExt(name));
}

// The name an Internet shortcut takes from the text after its scheme: one
// file name in its folder, whatever the location holds.
std::string UrlLinkName(const std::string &rest)
{
    std::string name;
    for (char c : FilterFileName(rest))
        if (static_cast<unsigned char>(c) >= 0x20)
            name += c;
    return name + ".URL";
}

// The shell's error texts the shortcut reports by their codes.
std::string ShellLinkErrorText(const EOleSysError &error)
{
    switch (error.ErrorCode) {
    case 0:
        return "";
    case E_UNEXPECTED:
        return TranslateString("Indicates an unexpected error occurred");
    case CLASS_E_NOAGGREGATION:
        return TranslateString("Indicates this class cannot be created as part of an aggregate");
    case REGDB_E_CLASSNOTREG:
        return TranslateString("Indicates that a specified class is not registered in the registration database");
    case E_OUTOFMEMORY:
        return TranslateString("Out of memory");
    case E_INVALIDARG:
        return TranslateString("Indicates one or more arguments are invalid");
    default:
        return error.Message();
    }
}

// A name as the wide-character call takes it: converting into a buffer of
// MAX_PATH characters fails (and leaves nothing) when the name does not fit.
std::u16string WideFileName(const std::string &name)
{
    std::u16string wide = Utf8ToUtf16(name);
    if (wide.size() >= MAX_PATH)
        wide.clear();
    return wide;
}

// Numbered "Files" keys tried after the first before the record gives up,
// as for the install files.
constexpr int MaxLinkListKeys = MaxFileListKeys;

} // namespace

// ---- Lists ------------------------------------------------------------------------------

void TInstallShellLinkList::Add(TCustomInstallShellLink *link)
{
    if (!link)
        throw IEInstallShellLinkList("Cannot add a blank entry to the shell link list");
    TPointerList::Add(link);
}

void TShellLinkGroupList::Add(TCustomShellLinkGroup *group)
{
    if (!group)
        throw IEInstallShellLinkList("Cannot add a blank entry to the shell link list");
    TPointerList::Add(group);
}

TInstallShellLinkList *InstallShellLinkList()
{
    Globals *g = TheGlobals();
    return g ? &g->links : nullptr;
}

TInstallShellLinkList *MainShellLinkList()
{
    Globals *g = TheGlobals();
    return g ? &g->mainLinks : nullptr;
}

TShellLinkGroupList *ShellLinkGroupList()
{
    Globals *g = TheGlobals();
    return g ? &g->groups : nullptr;
}

TMainLinkGroup *MainLinkGroup()
{
    Globals *g = TheGlobals();
    return g ? g->mainLinkGroup : nullptr;
}

// ---- Link groups ------------------------------------------------------------------------

TCustomShellLinkGroup::TCustomShellLinkGroup(TComponent *owner)
    : TInstallObject(owner)
{
    SetInstallable(true);
    SetInclude(true);
    if (TShellLinkGroupList *list = ShellLinkGroupList())
        list->Add(this);
}

TCustomShellLinkGroup::~TCustomShellLinkGroup()
{
    if (TShellLinkGroupList *list = ShellLinkGroupList())
        list->Remove(this);
}

void TCustomShellLinkGroup::InstallObjects()
{
    BroadcastEvent(this, ieBeforeShellLinks, nullptr);
    ForceDirectories(GetDestPath());
    TInstallObject::InstallObjects();
}

void TCustomShellLinkGroup::ContainerDestroying(TInstallContainer *other)
{
    const bool ownContainer = other == Container();
    TInstallObject::ContainerDestroying(other);
    if (ownContainer)
        delete this;
}

TMainLinkGroup::TMainLinkGroup(TComponent *owner)
    : TCustomShellLinkGroup(owner)
{
    if (MainLinkGroup())
        throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
    SetDestDirType(nullptr);
    const TCustomInstall *install = CurrentInstallComponent();
    SetDestDir("\\" + (install ? install->Information()->ProductName() : std::string("MainFolderName")));
    if (Globals *g = TheGlobals())
        g->mainLinkGroup = this;
}

TMainLinkGroup::~TMainLinkGroup()
{
    Globals *g = TheGlobals();
    if (g && g->mainLinkGroup == this)
        g->mainLinkGroup = nullptr;
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier *)
{
    TCustomShellLinkGroup::SetDestDirType(Standard(TpsProgramMenu::Class));
}

// ---- Shortcuts -------------------------------------------------------------------------

TCustomInstallShellLink::TCustomInstallShellLink(TComponent *owner)
    : TInstallObject(owner)
{
    if (owner && IsFormOrDataModule(owner))
        EnsureObjectLinkSpecifier(owner);
    SetInstallable(true);
    SetInclude(true);
    if (TInstallShellLinkList *list = InstallShellLinkList())
        list->Add(this);
}

TCustomInstallShellLink::~TCustomInstallShellLink()
{
    if (TInstallShellLinkList *list = InstallShellLinkList())
        list->Remove(this);
}

std::string TCustomInstallShellLink::LinkFileName()
{
    return AddTrailingBackslash(GetDestPath()) + linkName_;
}

bool TCustomInstallShellLink::IsInternetShortcut() const
{
    return UpperExt(linkName_) == ".URL";
}

void TCustomInstallShellLink::SetLinkName(const std::string &value)
{
    const std::string oldExt = ExtractFileExt(linkName_);
    linkName_ = value;
    if (Loading() || value.empty())
        return;
    const std::string ext = UpperExt(value);
    if (ext == ".URL")
        SetObjectLink(nullptr);
    else if (ext != ".LNK")
        linkName_ = value + (oldExt.empty() ? std::string(".LNK") : oldExt);
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer *value)
{
    if (value)
        value->FreeNotification(this);
    if (Loading()) {
        objectLink_ = value;
        return;
    }
    if (!value) {
        objectLink_ = nullptr;
        SetObjectLocationType(nullptr);
        return;
    }
    // Stored first: the specifier checks that the shortcut has its object.
    objectLink_ = value;
    SetObjectLocationType(Standard(TpsObjectLink::Class));
    SetObjectLocation("");
    if (auto *file = dynamic_cast<TCustomInstallFile *>(value))
        SetLinkName(ChangeFileExt(file->DestName(), ".lnk"));
    else if (auto *group = dynamic_cast<TInstallFileGroup *>(value))
        SetLinkName(group->GroupName() + ".lnk");
    else
        SetLinkName(value->Name() + ".lnk");
    if (!Container())
        SetContainer(value);
}

void TCustomInstallShellLink::SetObjectLocation(const std::string &value)
{
    objectLocation_ = value;
    if (Loading())
        return;
    if (objectLocationType_ && objectLocationType_->InheritsFrom(TpsObjectLink::Class)) {
        objectLocation_.clear();
        return;
    }
    if (!(linkName_.empty() || linkName_ == ".LNK") || value.empty())
        return;
    const std::string upper = UpperCase(value);
    if (const size_t http = upper.find("HTTP://"); http != std::string::npos)
        SetLinkName(UrlLinkName(value.substr(http + 7)));
    else if (const size_t ftp = upper.find("FTP://"); ftp != std::string::npos)
        SetLinkName(UrlLinkName(value.substr(ftp + 6)));
    else
        SetLinkName(ChangeFileExt(ExtractFileName(value), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier *value)
{
    if (value)
        value->FreeNotification(this);
    if (!Loading() && value) {
        value->Check(this);
        if (value->InheritsFrom(TpsObjectLink::Class))
            objectLocation_.clear();
    }
    objectLocationType_ = value;
}

std::string TCustomInstallShellLink::GetObjectPath()
{
    if (objectLocationType_)
        return objectLocationType_->GetPath(this) + objectLocation_;
    return RemoveTrailingBackslash(objectLocation_);
}

void TCustomInstallShellLink::Notification(TComponent *component, TOperation operation)
{
    TInstallObject::Notification(component, operation);
    if (operation != opRemove || !component)
        return;
    if (component == static_cast<TComponent *>(objectLocationType_))
        objectLocationType_ = nullptr;
    if (component == static_cast<TComponent *>(objectLink_))
        objectLink_ = nullptr;
}

void TCustomInstallShellLink::ContainerDestroying(TInstallContainer *other)
{
    if (other == objectLink_) {
        SetObjectLink(nullptr);
        TInstallObject::ContainerDestroying(other);
        delete this;
        return;
    }
    const bool ownContainer = other == Container();
    TInstallObject::ContainerDestroying(other);
    if (ownContainer)
        delete this;
}

// ---- Installing ---------------------------------------------------------------------------

void TCustomInstallShellLink::InstallObjects()
{
    created_ = false;
    if (Trim(linkName_).empty())
        throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", Name());
    if (objectLink_) {
        if (!objectLink_->Processed())
            return; // its target was not installed in this run
        if (objectLink_->InheritsFrom(TUninstallEXE::Class)) {
            TCustomInstall *install = CurrentInstallComponent();
            if (!install)
                throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component", Name());
            parameters_ = install->Information()->ProductName();
        } else if (objectLink_->InheritsFrom(TCustomShellLinkGroup::Class)) {
            ForceDirectories(objectLink_->GetDestPath());
        }
    }
    if (IsInternetShortcut())
        CreateInternetShortcut();
    else if (method_ == mtShellLinkInterface)
        CreateShellLink();
    else if (method_ == mtProgramManager)
        CreateProgramManagerItem();
    else if (const int windows = GetWindowsVersion(); windows == 1 || windows == 2)
        CreateShellLink();
    else
        CreateProgramManagerItem();
    TInstallObject::InstallObjects();
}

void TCustomInstallShellLink::InitializeCom()
{
    if (comReady_)
        return;
    const HRESULT result = CoInitialize(nullptr);
    if (result != S_OK && result != S_FALSE)
        throw IEInstallShellLink("Could not initialize IShellLink with following error code returned: %d", result);
    comReady_ = true;
}

void TCustomInstallShellLink::CreateShellLink()
{
    comReady_ = true;
    try {
        ForceDirectories(GetDestPath());
        const std::string arguments = ExpandMetaVariables(parameters_, this);
        const std::string target = GetObjectPath();
        const std::string folder = RemoveTrailingBackslash(ExtractFilePath(target));
        TComPtr<IShellLinkA> link;
        OleCheck(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out()));
        OleCheck(link->SetPath(target.c_str()));
        OleCheck(link->SetHotkey(hotKey_));
        OleCheck(link->SetArguments(arguments.c_str()));
        OleCheck(link->SetWorkingDirectory(folder.c_str()));
        TComPtr<IPersistFile> file;
        OleCheck(link->QueryInterface(IID_IPersistFile, file.Out()));
        OleCheck(file->Save(WideFileName(LinkFileName()).c_str(), true));
        created_ = true;
    } catch (const EOleSysError &e) {
        throw IEInstallShellLink("The TCustomInstallShellLink %s name could not be installed. The following error "
                                 "was reported %s. Error code %d",
            Name(), ShellLinkErrorText(e), e.ErrorCode);
    } catch (const EAbort &) {
        throw;
    } catch (const Exception &e) {
        throw IEInstallShellLink(
            "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s",
            Name(), e.Message());
    }
}

void TCustomInstallShellLink::CreateInternetShortcut()
{
    ForceDirectories(GetDestPath());
    TIniFile(LinkFileName()).WriteString("InternetShortcut", "URL", objectLocation_);
    created_ = true;
}

void TCustomInstallShellLink::CreateProgramManagerItem()
{
    // Program Manager holds the Programs folder's groups only; a shortcut in
    // a link group's folder is there when the group is.
    TInstallContainer *placed = this;
    while (placed->DestDirType() && placed->DestDirType()->InheritsFrom(TpsContainerDestDir::Class)
        && dynamic_cast<TInstallObject *>(placed)
        && static_cast<TInstallObject *>(placed)->Container())
        placed = static_cast<TInstallObject *>(placed)->Container();
    if (!placed->DestDirType() || !placed->DestDirType()->InheritsFrom(TpsProgramMenu::Class))
        return;
    const std::string group = Trim(ExtractFileName(GetDestPath()));
    if (group.empty())
        throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", Name());
    TProgramManager *pm = ProgramManager();
    pm->CreateGroup(group);
    const std::string itemName = ChangeFileExt(linkName_, "");
    if (pm->FindItem(itemName) >= 0)
        pm->ReplaceItem(itemName);
    // The program and its folder quoted, for a path with blanks; Program
    // Manager takes the icon from the program and gives no hot key.
    const std::string target = GetObjectPath();
    pm->AddItem("\"" + target + "\" " + ExpandMetaVariables(parameters_, this), itemName, "", 0,
        "\"" + RemoveTrailingBackslash(ExtractFilePath(target)) + "\"", "");
}

void TCustomInstallShellLink::WriteUninstallInfo(const std::string &key)
{
    if (!created_)
        return;
    std::string failure;
    for (int n = 0; n <= MaxLinkListKeys; ++n) {
        const std::string subKey = AddTrailingBackslash(key) + "Files" + (n ? IntToStr(n) : std::string());
        try {
            const int count = StrToInt(Trim(RegReadString(rkLocalMachine, subKey, "Entries", "0"))) + 1;
            RegWriteString(rkLocalMachine, subKey, "File" + IntToStr(count), LinkFileName());
            RegWriteString(rkLocalMachine, subKey, "Entries", IntToStr(count));
            return;
        } catch (const Exception &e) {
            failure = e.Message(); // an unreadable count or a registry error: the next key
        }
    }
    throw EIRCannotWriteValue(failure);
}

// ---- TInstallMainLink ---------------------------------------------------------------

TInstallMainLink::TInstallMainLink(TComponent *owner)
    : TCustomInstallShellLink(owner)
{
    TMainLinkGroup *group = MainLinkGroup();
    if (!group)
        throw IEInstallShellLink(
            "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
    SetContainer(group);
    SetDestDirType(nullptr);
    if (TInstallShellLinkList *list = MainShellLinkList())
        list->Add(this);
}

TInstallMainLink::~TInstallMainLink()
{
    if (TInstallShellLinkList *list = MainShellLinkList())
        list->Remove(this);
}

void TInstallMainLink::SetContainer(TInstallContainer *value)
{
    TMainLinkGroup *group = MainLinkGroup();
    if (!value || value != static_cast<TInstallContainer *>(group))
        throw IEInstallShellLink(
            "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
    TCustomInstallShellLink::SetContainer(value);
}

void TInstallMainLink::SetDestDirType(TCustomPathSpecifier *)
{
    TCustomInstallShellLink::SetDestDirType(Standard(TpsContainerDestDir::Class));
}

// ---- TpsObjectLink -------------------------------------------------------------------

TpsObjectLink::TpsObjectLink(TComponent *owner)
    : TStandardPathSpecifier(owner)
{
    SetNameText("psObjectLink");
}

void TpsObjectLink::Check(TComponent *obj)
{
    auto *link = dynamic_cast<TCustomInstallShellLink *>(obj);
    if (!link)
        throw IEPathSpecifier("%s must be a %s to use the %s path specifier", obj ? obj->Name() : std::string(),
            "TCustomInstallShellLink", NameText());
    if (!link->ObjectLink())
        throw IEPathSpecifier("Cannot use ddObjectLink for %s unless you assign a value to ObjectLink", obj->Name());
}

std::string TpsObjectLink::GetDescription()
{
    return "Path of the file or file group in the ObjectLink property";
}

std::string TpsObjectLink::GetPath(TComponent *obj)
{
    Check(obj);
    TInstallContainer *object = static_cast<TCustomInstallShellLink *>(obj)->ObjectLink();
    if (auto *file = dynamic_cast<TCustomInstallFile *>(object))
        return RemoveTrailingBackslash(file->InstalledPath());
    return RemoveTrailingBackslash(object->GetDestPath());
}
