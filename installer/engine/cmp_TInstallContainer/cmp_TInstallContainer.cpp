#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"

#include <algorithm>
#include <unordered_set>

#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"

const TEnumNames InstallTypeNames { "itFull", "itDefault", "itCompact", "itAlways", "itCustom" };

const TMetaClass TMessageParameter::Class { "TMessageParameter", &TObject::Class };
const TMetaClass TFileStatusParameter::Class { "TFileStatusParameter", &TObject::Class };
const TMetaClass TDownloadStatusParameter::Class { "TDownloadStatusParameter", &TObject::Class };
const TMetaClass TDiskParameter::Class { "TDiskParameter", &TObject::Class };
const TMetaClass TInstallContainer::Class { "TInstallContainer", &TComponent::Class };
const TMetaClass TInstallObject::Class { "TInstallObject", &TInstallContainer::Class };
const TMetaClass TBaseKelvaraForm::Class { "TBaseKelvaraForm", &TForm::Class };

// ---- Globals of the unit ------------------------------------------------------------

namespace
{

struct Globals {
    TInstallContainerList containers;
    TCustomInstallFileList installFiles;
    TCustomInstallFileList deferredFiles;
    TBaseKelvaraFormList forms;
    std::unique_ptr<TKvraCompress> archive;
    TInstallContainer *install = nullptr;
    const TInstallInformation *information = nullptr;
};

// Components that outlive the unit (statics of other units freed later) find
// the lists gone rather than freed.
Globals *TheGlobals()
{
    return TUnitGlobals<Globals>::Get();
}

} // namespace

TInstallContainer *CurrentInstall()
{
    Globals *g = TheGlobals();
    return g ? g->install : nullptr;
}

void SetCurrentInstall(TInstallContainer *install, const TInstallInformation *information)
{
    if (Globals *g = TheGlobals()) {
        g->install = install;
        g->information = install ? information : nullptr;
    }
}

TInstallContainerList *InstallContainerList()
{
    Globals *g = TheGlobals();
    return g ? &g->containers : nullptr;
}

TCustomInstallFileList *InstallFileList()
{
    Globals *g = TheGlobals();
    return g ? &g->installFiles : nullptr;
}

TCustomInstallFileList *DeferredRegistrationList()
{
    Globals *g = TheGlobals();
    return g ? &g->deferredFiles : nullptr;
}

TBaseKelvaraFormList *KelvaraFormList()
{
    Globals *g = TheGlobals();
    return g ? &g->forms : nullptr;
}

TKvraCompress *SharedArchive()
{
    Globals *g = TheGlobals();
    if (!g)
        return nullptr;
    if (!g->archive)
        g->archive = std::make_unique<TKvraCompress>(nullptr);
    return g->archive.get();
}


void TInstallContainerList::Add(TInstallContainer *container)
{
    if (!container)
        throw IEContainerList("Cannot add a blank entry to the TInstallContainerList object");
    TPointerList::Add(container);
}

void TInstallContainerList::Remove(const TInstallContainer *container)
{
    TPointerList::Remove(container);
    ++removals_;
}

void TCustomInstallFileList::Add(TCustomInstallFile *file)
{
    if (!file)
        throw IECustomInstallFileList("Cannot add a blank entry to the TCustomInstallFileList object");
    TPointerList::Add(file);
}

// ---- Path specifiers the tree hands out ----------------------------------------------

// Data modules are not known here by class: their name says it.
bool IsFormOrDataModule(const TComponent *owner)
{
    if (owner->InheritsFrom(TCustomForm::Class))
        return true;
    for (const TMetaClass *c = owner->ClassType(); c; c = c->ClassParent())
        if (SameText(c->ClassName(), "TDataModule"))
            return true;
    return false;
}

namespace
{

// The standard specifier of an object placed in a container; IEPathSpecifier
// when the form carries none.
TCustomPathSpecifier *StandardContainerDestDir()
{
    TStandardPathSpecList *list = StandardPathSpecList();
    return list ? list->FindByClass<TpsContainerDestDir>() : nullptr;
}

bool IsContainerDestDir(const TCustomPathSpecifier *specifier)
{
    return specifier && specifier->InheritsFrom(TpsContainerDestDir::Class);
}

} // namespace

// ---- TInstallContainer --------------------------------------------------------------

struct TInstallContainer::Impl {
    bool installable = false;
    std::vector<TInstallObject *> children;
    // The children again, for Holds, and those that are dialogs, in the
    // children's order: the receivers of a broadcast, made several times a file.
    std::unordered_set<const TInstallContainer *> members;
    std::vector<TInstallObject *> dialogs;
    bool include = true;
    bool processed = false;
    TInstallTypeSet installTypes { itAlways };
    TInstallType currentInstallType = itAlways;
    TInstallObject *eventTarget = nullptr;
    std::string destDir;
    TCustomPathSpecifier *destDirType = nullptr;
    int order = -1;
    bool destDirTypeAssigned = false; // the stream or code set DestDirType
    bool destDirTypeDefaulted = false; // the constructor put a default in

    bool Holds(const TInstallContainer *child) const { return members.contains(child); }
    void Drop(const TInstallContainer *child)
    {
        if (!members.erase(child))
            return;
        const auto it = std::find(children.begin(), children.end(), child);
        if (it != children.end())
            children.erase(it);
        const auto dialog = std::find(dialogs.begin(), dialogs.end(), child);
        if (dialog != dialogs.end())
            dialogs.erase(dialog);
    }
};

TInstallContainer::TInstallContainer(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
    // A form always carries the standard specifiers its objects refer to.
    if (owner && IsFormOrDataModule(owner) && StandardPathSpecList())
        EnsureStandardSpecifiers(this, owner, true);
    if (TInstallContainerList *list = InstallContainerList())
        list->Add(this);
}

TInstallContainer::~TInstallContainer()
{
    Destroying();
    if (TInstallContainerList *list = InstallContainerList()) {
        // A receiver may free further containers: walk a copy, and tell only
        // those still listed. Looking each one up only after a removal keeps
        // freeing a large tree from growing with the cube of its size.
        list->Remove(this);
        std::vector<TInstallContainer *> others;
        for (int i = 0; i < list->Count(); ++i)
            others.push_back(list->Items(i));
        const uint64_t removals = list->Removals();
        for (TInstallContainer *other : others)
            if (list->Removals() == removals || list->IndexOf(other) >= 0)
                other->ContainerDestroying(this);
    }
}

bool TInstallContainer::Installable() const
{
    return d->installable;
}
void TInstallContainer::SetInstallable(bool value)
{
    d->installable = value;
}
bool TInstallContainer::Include() const
{
    return d->include;
}
void TInstallContainer::SetInclude(bool value)
{
    d->include = value;
}
bool TInstallContainer::Processed() const
{
    return d->processed;
}
TInstallTypeSet TInstallContainer::InstallTypes() const
{
    return d->installTypes;
}
TInstallType TInstallContainer::CurrentInstallType() const
{
    return d->currentInstallType;
}
const std::string &TInstallContainer::DestDir() const
{
    return d->destDir;
}
void TInstallContainer::SetDestDir(const std::string &value)
{
    d->destDir = value;
}
TCustomPathSpecifier *TInstallContainer::DestDirType() const
{
    return d->destDirType;
}
bool TInstallContainer::DestDirTypeAssigned() const
{
    return d->destDirTypeAssigned;
}
bool TInstallContainer::DestDirTypeDefaulted() const
{
    return d->destDirTypeDefaulted;
}
int TInstallContainer::Order() const
{
    return d->order;
}
void TInstallContainer::SetOrder(int value)
{
    d->order = value;
}
TInstallObject *TInstallContainer::EventTarget() const
{
    return d->eventTarget;
}
void TInstallContainer::SetEventTarget(TInstallObject *value)
{
    d->eventTarget = value;
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet value)
{
    const TInstallTypeSet always { itAlways };
    if (value.Empty() || (value.Contains(itAlways) && !d->installTypes.Contains(itAlways)))
        value = always;
    else if (value.Contains(itAlways) && !(value - always).Empty())
        value.Exclude(itAlways);
    d->installTypes = value;
}

void TInstallContainer::SetCurrentInstallType(TInstallType value)
{
    for (TInstallObject *child : d->children)
        child->SetCurrentInstallType(value);
    d->currentInstallType = value;
}

bool TInstallContainer::ShouldInstall()
{
    if (!d->include)
        return false;
    if (d->currentInstallType == itAlways || d->currentInstallType == itCustom
        || d->installTypes.Contains(itAlways))
        return true;
    return d->installTypes.Contains(d->currentInstallType);
}

void TInstallContainer::SetDestDirType(TCustomPathSpecifier *value)
{
    d->destDirTypeAssigned = true;
    // Told always, not only outside loading: the reference must hear of the
    // specifier's end wherever it lives.
    if (value)
        value->FreeNotification(this);
    d->destDirType = value;
}

void TInstallContainer::SetDefaultDestDirType(TCustomPathSpecifier *value)
{
    if (value)
        value->FreeNotification(this);
    d->destDirType = value;
    d->destDirTypeDefaulted = value != nullptr;
}

std::string TInstallContainer::GetDestPath()
{
    if (d->destDirType)
        return RemoveTrailingBackslash(d->destDirType->GetPath(this) + d->destDir);
    return RemoveTrailingBackslash(d->destDir);
}

int TInstallContainer::RegisteredType() const
{
    throw IEInstallContainer("Class must declare a registered type");
}

// ---- Children

// The class is named, not numbered: a class reference has no number to show.
constexpr const char *BadCompCall = "Bad call to the Comp procedure which returns a TInstallObject for a "
                                    "TInstallContainer component. The parameters are probably reversed. "
                                    "Index: %d, ComponentType: %s";

int TInstallContainer::ChildCount() const
{
    return static_cast<int>(d->children.size());
}

TInstallObject *TInstallContainer::Child(int index) const
{
    if (index < 0 || index >= ChildCount())
        throw IEInstallContainer("Tried to reference a helper component in the following component: %s. The "
                                 "following index was used: %d",
            Name(), index);
    return d->children[static_cast<size_t>(index)];
}

TInstallObject *TInstallContainer::Comp(int index, const TMetaClass &classType) const
{
    int seen = 0;
    if (index >= 0)
        for (TInstallObject *child : d->children)
            if (child->InheritsFrom(classType) && seen++ == index)
                return child;
    throw IEInstallContainer(BadCompCall, index, std::string(classType.ClassName()));
}

int TInstallContainer::CompCount(const TMetaClass &classType) const
{
    return static_cast<int>(std::count_if(d->children.begin(), d->children.end(),
        [&](const TInstallObject *child) { return child->InheritsFrom(classType); }));
}

void TInstallContainer::FreeChildren(const TMetaClass &classType)
{
    // Each child leaves the list in its destructor; walk down and re-check
    // the bound, since a destructor may take siblings with it.
    for (size_t i = d->children.size(); i-- > 0;)
        if (i < d->children.size() && d->children[i]->InheritsFrom(classType))
            delete d->children[i];
}

int TInstallContainer::FileContainerCount() const
{
    return static_cast<int>(std::count_if(d->children.begin(), d->children.end(),
        [](const TInstallObject *child) { return child->RegisteredType() == rtFileContainer; }));
}

TInstallObject *TInstallContainer::FileContainers(int index) const
{
    int seen = 0;
    for (TInstallObject *child : d->children)
        if (child->RegisteredType() == rtFileContainer && seen++ == index)
            return child;
    throw IEInstallContainer(BadCompCall, index, std::string("TFileContainer"));
}

void TInstallContainer::AddChild(TInstallObject *obj)
{
    if (!obj)
        throw IEInstallContainer("Cannot add a blank base helper component to %s", Name());
    // Walk up from here: obj must not be this container nor any container
    // above it, or the tree would close into a ring.
    const TInstallContainer *up = this;
    while (up) {
        if (up == obj)
            throw IEInstallContainer("Circular reference");
        const auto *object = dynamic_cast<const TInstallObject *>(up);
        up = object ? object->Container() : nullptr;
    }

    const int type = obj->RegisteredType();
    const int order = obj->Order();
    d->Drop(obj); // placed anew, never listed twice
    size_t index = d->children.size();
    if (SameText(obj->ClassName(), "TINSTALLBDE"))
        index = 0;
    else
        for (size_t i = 0; i < d->children.size(); ++i) {
            const TInstallObject *child = d->children[i];
            const int childType = child->RegisteredType();
            if (childType > type || (childType == type && order != -1 && child->Order() >= order)) {
                index = i;
                break;
            }
        }
    d->children.insert(d->children.begin() + static_cast<std::ptrdiff_t>(index), obj);
    d->members.insert(obj);
    if (type == rtDialog) {
        size_t at = 0; // after the dialogs before obj
        for (size_t i = 0; i < index; ++i)
            at += d->children[i]->RegisteredType() == rtDialog;
        d->dialogs.insert(d->dialogs.begin() + static_cast<std::ptrdiff_t>(at), obj);
    }
    if (!Loading())
        Renumber();
}

void TInstallContainer::RemoveChild(TInstallObject *obj)
{
    if (!obj)
        return;
    d->Drop(obj);
    if (!Loading())
        Renumber();
}

void TInstallContainer::Renumber()
{
    int order = 0;
    int previous = 0;
    for (size_t i = 0; i < d->children.size(); ++i) {
        TInstallObject *child = d->children[i];
        const int type = child->RegisteredType();
        order = (i == 0 || type != previous) ? 0 : order + 1;
        previous = type;
        child->TInstallContainer::SetOrder(order);
    }
}

// ---- Install events

void TInstallContainer::BroadcastEvent(TObject *sender, int eventCode, TObject *po)
{
    // A receiver runs a whole wizard: children may come and go meanwhile.
    const std::vector<TInstallObject *> receivers = d->eventTarget ? d->children : d->dialogs;
    for (TInstallObject *child : receivers) {
        if (!d->Holds(child))
            continue;
        if (d->eventTarget ? child == d->eventTarget : child->RegisteredType() == rtDialog)
            child->DoInstallEvent(sender, eventCode, po);
    }
}

void TInstallContainer::DoInstallEvent(TObject *, int, TObject *) { }
void TInstallContainer::DoInformationEventControl(TObject *, int, TObject *) { }

void TInstallContainer::ShowStatusMessage(const std::string &text)
{
    TMessageParameter parameter(text);
    BroadcastEvent(this, ieShowStatus, &parameter);
}

void TInstallContainer::ClearStatusMessage()
{
    BroadcastEvent(this, ieClearStatus, nullptr);
}

// ---- Installing

void TInstallContainer::Process()
{
    try {
        OnBeforeProcess(this);
        BroadcastEvent(this, ieBeforeProcess, nullptr);
        // An excluded object ends here: it is not installed and leaves no
        // uninstall record behind.
        if (!d->include)
            return;
        OnBeforeInstallType(this);
        BroadcastEvent(this, ieBeforeInstallType, nullptr);
        if (!ShouldInstall())
            return;
        InstallObjects();
        d->processed = true;
        if (CurrentInstall()) {
            const Globals *g = TheGlobals();
            WriteUninstallInfo(
                std::string(UninstallKeyRoot) + (g && g->information ? g->information->ProductName() : ""));
        }
        OnAfterProcess(this);
        BroadcastEvent(this, ieAfterProcess, nullptr);
    } catch (const EAbort &) {
        // Skips this object quietly; the run goes on with the next one.
    }
}

void TInstallContainer::InstallObjects()
{
    d->processed = true;
    const std::vector<TInstallObject *> children = d->children;
    for (TInstallObject *child : children)
        if (d->Holds(child) && child->Installable())
            child->Process();
}

void TInstallContainer::Resume() { }
void TInstallContainer::LanguageChanged(TKvraLanguage) { }
void TInstallContainer::WriteUninstallInfo(const std::string &) { }

void TInstallContainer::ContainerDestroying(TInstallContainer *other)
{
    if (d->Holds(other)) {
        d->Drop(other);
        // Going too, the container has no order left to keep.
        if (!Loading() && !ComponentState().Contains(csDestroying))
            Renumber();
    }
    if (d->eventTarget && static_cast<TInstallContainer *>(d->eventTarget) == other)
        d->eventTarget = nullptr;
}

void TInstallContainer::Loaded()
{
    TComponent::Loaded();
    if (d->destDirTypeDefaulted && !d->destDirTypeAssigned)
        d->destDirType = nullptr;
}

void TInstallContainer::Notification(TComponent *component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component && component == static_cast<TComponent *>(d->destDirType))
        d->destDirType = nullptr;
}

// ---- TInstallObject -----------------------------------------------------------------

TInstallObject::TInstallObject(TComponent *owner)
    : TInstallContainer(owner)
{
    // The registered type that places the object is not known before the
    // whole object is built: SetParentComponent finishes the default.
    pendingDefault_ = ComponentState().Contains(csDesigning) && CurrentInstall();
}

TInstallObject::~TInstallObject() = default;

TInstallContainer *TInstallObject::Container() const
{
    return container_;
}
bool TInstallObject::ContainerAssigned() const
{
    return containerAssigned_;
}
bool TInstallObject::ContainerDefaulted() const
{
    return containerDefaulted_;
}

void TInstallObject::SetParentComponent(TComponent *parent)
{
    TInstallContainer::SetParentComponent(parent);
    if (!pendingDefault_)
        return;
    pendingDefault_ = false;
    TInstallContainer *install = CurrentInstall();
    if (!install || install == this || container_)
        return;
    TCustomPathSpecifier *destDirType = StandardContainerDestDir();
    install->AddChild(this);
    container_ = install;
    SetDefaultDestDirType(destDirType);
    SetDestDir("");
    containerDefaulted_ = true;
}

void TInstallObject::SetContainer(TInstallContainer *value)
{
    containerAssigned_ = true;
    if (value == container_)
        return;
    // Looked up first, so that a form without the specifier refuses the
    // move before the tree has changed.
    TCustomPathSpecifier *destDirType = value && !Loading() ? StandardContainerDestDir() : nullptr;
    if (value)
        value->AddChild(this);
    if (container_)
        container_->RemoveChild(this);
    container_ = value;
    if (Loading())
        return;
    if (value) {
        SetDestDirType(destDirType);
        SetDestDir("");
    } else if (IsContainerDestDir(DestDirType()))
        SetDestDirType(nullptr);
}

void TInstallObject::MoveToOrder(int order)
{
    if (Loading() || !container_) {
        TInstallContainer::SetOrder(order);
        return;
    }
    if (order == Order())
        return;
    TInstallContainer *container = container_;
    container->RemoveChild(this);
    TInstallContainer::SetOrder(order);
    container->AddChild(this);
}

void TInstallObject::ContainerDestroying(TInstallContainer *other)
{
    TInstallContainer::ContainerDestroying(other);
    if (other == container_)
        container_ = nullptr;
}

void TInstallObject::Loaded()
{
    TInstallContainer::Loaded();
    if (containerDefaulted_ && !containerAssigned_)
        SetContainer(nullptr);
}

// ---- TBaseKelvaraForm ---------------------------------------------------------------

TBaseKelvaraForm::TBaseKelvaraForm(TComponent *owner)
    : TForm(owner)
{
    Font()->SetCharset(0);
    if (TBaseKelvaraFormList *list = KelvaraFormList())
        list->Add(this);
}

TBaseKelvaraForm::~TBaseKelvaraForm()
{
    if (TBaseKelvaraFormList *list = KelvaraFormList())
        list->Remove(this);
}

void TBaseKelvaraForm::SetContainer(TInstallContainer *value)
{
    if (value)
        value->FreeNotification(this);
    container_ = value;
}

void TBaseKelvaraForm::Notification(TComponent *component, TOperation operation)
{
    TForm::Notification(component, operation);
    if (operation == opRemove && component && component == static_cast<TComponent *>(container_))
        container_ = nullptr;
}

void TBaseKelvaraForm::Translate()
{
    ApplyLanguage();
}

void TBaseKelvaraForm::RefreshPage() { }

void TBaseKelvaraForm::ApplyLanguage()
{
    if (autoSetFont_) {
        if (overrideMainTranslator_)
            ApplyLanguageFontInto(translateIntoLanguage_, this);
        else
            ApplyLanguageFont(this);
    }
    if (autoTranslate_)
        currentLanguage_ = overrideMainTranslator_
            ? TranslateFormInto(currentLanguage_, translateIntoLanguage_, this)
            : TranslateForm(currentLanguage_, this);
    Application->ProcessMessages();
}

