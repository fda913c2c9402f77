#include "platform/classes/classes.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"

const TMetaClass TPersistent::Class { "TPersistent", &TObject::Class };
const TMetaClass TComponent::Class { "TComponent", &TPersistent::Class };
const TMetaClass TCollectionItem::Class { "TCollectionItem", &TPersistent::Class };
const TMetaClass TCollection::Class { "TCollection", &TPersistent::Class };

// clang-format off
using P = TPublish<TComponent>;
static const TClassRegistrar<TComponent> componentRegistrar({
    //         name     getter               setter                default
    P::String ("Name",  &TComponent::Name,   &TComponent::SetName, ""),
    P::Integer("Tag",   &TComponent::Tag,    &TComponent::SetTag,  0),
});
static const TClassRegistrar<TPersistent> persistentRegistrar({});
static const TClassRegistrar<TCollectionItem> collectionItemRegistrar({});
static const TClassRegistrar<TCollection> collectionRegistrar({});
// clang-format on

namespace
{

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

struct CaseInsensitiveLess {
    bool operator()(const std::string &a, const std::string &b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
            [](char x, char y) { return AsciiUpper(x) < AsciiUpper(y); });
    }
};

bool SameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return AsciiUpper(x) == AsciiUpper(y);
    });
}

[[noreturn]] void ListIndexError(int index)
{
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

// Registrars run during static initialisation in any order, so the registry
// is made on first use.
struct Registry {
    std::mutex lock;
    std::map<std::string, const TMetaClass *, CaseInsensitiveLess> classes;
};
Registry &TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

// ---- TPersistent ----

void TPersistent::Assign(const TPersistent *source)
{
    if (!source)
        AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent *dest) const
{
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent *source) const
{
    throw EConvertError(
        std::string("Cannot assign a ") + (source ? source->ClassName() : "nil") + " to a " + ClassName());
}

void TPersistent::DefineProperties(TFiler &) { }

// ---- TComponent ----

bool IsValidIdent(const std::string &name)
{
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (name.empty() || !alpha(name[0]))
        return false;
    return std::all_of(
        name.begin() + 1, name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

TComponent::TComponent(TComponent *owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    Destroying();
    while (!freeNotifies_.empty()) {
        TComponent *partner = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto &theirs = partner->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        partner->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_)
        owner_->RemoveComponent(this);
}

void TComponent::Destroying()
{
    if (state_.Contains(csDestroying))
        return;
    state_.Include(csDestroying);
    for (TComponent *c : components_)
        c->Destroying();
}

void TComponent::DestroyComponents()
{
    // Free the last one first, and take it out of the list before deleting
    // it: a component's destructor may free its siblings, which then leave
    // the list through RemoveComponent, so the list is re-read every time.
    while (!components_.empty()) {
        TComponent *c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        Notification(c, opRemove);
        delete c;
    }
}

TComponent *TComponent::Components(int index) const
{
    if (index < 0 || index >= ComponentCount())
        ListIndexError(index);
    return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const
{
    if (!owner_)
        return -1;
    auto &list = owner_->components_;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetComponentIndex(int index)
{
    if (!owner_)
        return;
    auto &list = owner_->components_;
    const int current = ComponentIndex();
    index = std::clamp(index, 0, static_cast<int>(list.size()) - 1);
    list.erase(list.begin() + current);
    list.insert(list.begin() + index, this);
}

TComponent *TComponent::FindComponent(const std::string &name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent *c : components_)
        if (SameName(c->name_, name))
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent *component)
{
    if (!component || component->owner_ == this)
        return;
    ValidateRename(component, "", component->name_);
    if (component->owner_)
        component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
    if (state_.Contains(csDesigning))
        component->SetDesigning(true);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent *component)
{
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it == components_.end())
        return;
    components_.erase(it);
    component->owner_ = nullptr;
    Notification(component, opRemove);
}

void TComponent::SetName(const std::string &name)
{
    if (name == name_)
        return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError("'" + name + "' is not a valid component name");
    if (owner_)
        owner_->ValidateRename(this, name_, name);
    else
        ValidateRename(nullptr, name_, name);
    name_ = name;
}

void TComponent::ValidateRename(TComponent *component, const std::string &curName, const std::string &newName)
{
    if (!component || newName.empty() || SameName(curName, newName))
        return;
    TComponent *existing = FindComponent(newName);
    if (existing && existing != component)
        throw EComponentError("A component named " + newName + " already exists");
}

void TComponent::FreeNotification(TComponent *component)
{
    if (!component || component == this)
        return;
    // Components of one owner already hear of each other's removal.
    if (owner_ && component->owner_ == owner_)
        return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
        freeNotifies_.push_back(component);
        component->freeNotifies_.push_back(this);
    }
    state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent *component)
{
    if (!component)
        return;
    freeNotifies_.erase(
        std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
    auto &theirs = component->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    if (freeNotifies_.empty())
        state_.Exclude(csFreeNotification);
}

void TComponent::Notification(TComponent *component, TOperation operation)
{
    if (operation == opRemove && component)
        RemoveFreeNotification(component);
    // A handler may free components of this one: walk down by index and
    // re-check the bound at each step.
    for (size_t i = components_.size(); i-- > 0;)
        if (i < components_.size())
            components_[i]->Notification(component, operation);
}

void TComponent::SetParentComponent(TComponent *) { }

void TComponent::GetChildren(const TGetChildProc &proc, TComponent *root) const
{
    if (!root)
        return;
    for (int i = 0; i < root->ComponentCount(); ++i) {
        TComponent *c = root->Components(i);
        TComponent *parent = c->GetParentComponent();
        if (parent == this || (root == this && (!parent || parent == root)))
            proc(c);
    }
}

void TComponent::Loaded()
{
    state_.Exclude(csLoading);
}

void TComponent::ReadState(TReader &reader)
{
    reader.ReadBody(this);
}

void TComponent::WriteState(TWriter &writer)
{
    writer.WriteBody(this);
}

void TComponent::SetDesigning(bool designing, bool setChildren)
{
    SetState(csDesigning, designing);
    if (setChildren)
        for (TComponent *c : components_)
            c->SetDesigning(designing, true);
}

// ---- TCollectionItem ----

TCollectionItem::TCollectionItem(TCollection *collection)
{
    SetCollection(collection);
}

TCollectionItem::~TCollectionItem()
{
    SetCollection(nullptr);
}

void TCollectionItem::SetCollection(TCollection *collection)
{
    if (collection == collection_)
        return;
    if (collection_)
        collection_->RemoveItem(this);
    if (collection)
        collection->InsertItem(this);
}

int TCollectionItem::Index() const
{
    if (!collection_)
        return -1;
    auto &items = collection_->items_;
    return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int index)
{
    const int current = Index();
    if (current < 0 || current == index)
        return;
    auto &items = collection_->items_;
    index = std::clamp(index, 0, static_cast<int>(items.size()) - 1);
    items.erase(items.begin() + current);
    items.insert(items.begin() + index, this);
    Changed(true);
}

std::string TCollectionItem::DisplayName() const
{
    return ClassName();
}

TPersistent *TCollectionItem::GetOwner() const
{
    return collection_;
}

void TCollectionItem::Changed(bool allItems)
{
    if (collection_)
        collection_->ItemChanged(allItems ? nullptr : this);
}

// ---- TCollection ----

TCollection::TCollection(const TMetaClass &itemClass, TPersistent *owner)
    : itemClass_(itemClass)
    , owner_(owner)
{
}

TCollection::~TCollection()
{
    updateCount_ = 1; // no Update calls into an owner that is going away
    while (!items_.empty()) {
        TCollectionItem *item = items_.back();
        items_.pop_back();
        item->collection_ = nullptr;
        delete item;
    }
}

TCollectionItem *TCollection::Add()
{
    const TClassTable *table = itemClass_.Table();
    if (!table || !table->CreateItem)
        throw EComponentError(std::string("Cannot create an item of class ") + itemClass_.ClassName());
    return table->CreateItem(this);
}

TCollectionItem *TCollection::Insert(int index)
{
    if (index < 0 || index > Count())
        ListIndexError(index);
    BeginUpdate();
    TCollectionItem *item = nullptr;
    try {
        item = Add();
        item->SetIndex(index);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return item;
}

void TCollection::Delete(int index)
{
    delete Items(index);
}

void TCollection::Clear()
{
    if (items_.empty())
        return;
    BeginUpdate();
    while (!items_.empty()) {
        TCollectionItem *item = items_.back();
        items_.pop_back();
        item->collection_ = nullptr;
        delete item;
    }
    EndUpdate();
}

TCollectionItem *TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        ListIndexError(index);
    return items_[static_cast<size_t>(index)];
}

TCollectionItem *TCollection::FindItemID(int id) const
{
    for (TCollectionItem *item : items_)
        if (item->id_ == id)
            return item;
    return nullptr;
}

void TCollection::BeginUpdate()
{
    ++updateCount_;
}

void TCollection::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0)
        Changed();
}

void TCollection::Assign(const TPersistent *source)
{
    const auto *other = dynamic_cast<const TCollection *>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem *item : other->items_)
            Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Update(TCollectionItem *) { }

void TCollection::Changed()
{
    if (updateCount_ == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem *item)
{
    items_.push_back(item);
    item->collection_ = this;
    item->id_ = nextId_++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem *item)
{
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    item->collection_ = nullptr;
    Changed();
}

void TCollection::ItemChanged(TCollectionItem *item)
{
    if (updateCount_ == 0)
        Update(item);
}

// ---- The class registry ----

void RegisterClass(const TMetaClass &metaClass)
{
    Registry &r = TheRegistry();
    std::lock_guard guard(r.lock);
    auto [it, inserted] = r.classes.emplace(metaClass.ClassName(), &metaClass);
    if (!inserted && it->second != &metaClass)
        throw EComponentError(std::string("A class named ") + metaClass.ClassName() + " already exists");
}

void RegisterClasses(std::initializer_list<const TMetaClass *> classes)
{
    for (const TMetaClass *c : classes)
        RegisterClass(*c);
}

void UnRegisterClass(const TMetaClass &metaClass)
{
    Registry &r = TheRegistry();
    std::lock_guard guard(r.lock);
    auto it = r.classes.find(metaClass.ClassName());
    if (it != r.classes.end() && it->second == &metaClass)
        r.classes.erase(it);
}

const TMetaClass *GetClass(const std::string &className)
{
    Registry &r = TheRegistry();
    std::lock_guard guard(r.lock);
    auto it = r.classes.find(className);
    return it == r.classes.end() ? nullptr : it->second;
}

const TMetaClass &FindClass(const std::string &className)
{
    if (const TMetaClass *c = GetClass(className))
        return *c;
    throw EClassNotFound("Class " + className + " not found");
}

TComponent *CreateComponent(const TMetaClass &metaClass, TComponent *owner)
{
    const TClassTable *table = metaClass.Table();
    if (!metaClass.InheritsFrom(TComponent::Class))
        throw EComponentError(std::string(metaClass.ClassName()) + " is not a component class");
    if (!table || !table->CreateComponent)
        throw EComponentError(std::string("Cannot create an instance of class ") + metaClass.ClassName());
    TComponent *c = table->CreateComponent(owner);
    if (c->ClassType() != &metaClass) {
        // A class that forgot its ClassType override would pass for its
        // parent and be written back under the wrong name.
        const std::string answered = c->ClassType()->ClassName();
        delete c;
        throw EComponentError(
            std::string("Class ") + metaClass.ClassName() + " answers ClassType " + answered);
    }
    return c;
}

TComponent *CreateComponent(const std::string &className, TComponent *owner)
{
    return CreateComponent(FindClass(className), owner);
}
