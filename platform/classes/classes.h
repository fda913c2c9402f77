#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/sets.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/object.h"

class TComponent;
class TFiler;
class TReader;
class TWriter;

enum TComponentStateFlag {
    csLoading, // between the start of a form-resource load and its Loaded
    csReading, // while the reader sets this component's properties
    csWriting, // while the writer writes it
    csDestroying, // its destruction has begun
    csDesigning,
    csAncestor,
    csUpdating,
    csFreeNotification, // someone asked to hear of its destruction
    csInline, // a nested root (frame) inside another root's resource
};
using TComponentState = TSet<TComponentStateFlag>;

enum TOperation { opInsert, opRemove };

// How a text sits in its box; shared by controls and fields.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Something whose state can be copied from another object of a fitting class
// and that a form resource can configure.
class TPersistent : public TObject
{
public:
    TPersistent() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Copies source into this object. A class that knows its sources
    // overrides Assign; a source that knows its destinations overrides
    // AssignTo. Otherwise EConvertError "Cannot assign a %s to a %s".
    virtual void Assign(const TPersistent *source);
    // The object this one belongs to for naming purposes (a collection's
    // owner, an item's collection, a component's owner).
    virtual TPersistent *GetOwner() const { return nullptr; }

protected:
    virtual void AssignTo(TPersistent *dest) const;
    [[noreturn]] void AssignError(const TPersistent *source) const;
    // Properties a class streams itself, besides its published ones.
    virtual void DefineProperties(TFiler &filer);

    friend class TReader;
    friend class TWriter;
    friend struct TLoadSession;
    friend struct TWriteSession;
};

// A component: an owner of other components, named uniquely among them,
// created by class name from form resources.
class TComponent : public TPersistent
{
public:
    explicit TComponent(TComponent *owner);
    ~TComponent() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Ownership
    TComponent *Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent *Components(int index) const; // EListError on a bad index
    int ComponentIndex() const; // -1 without an owner
    void SetComponentIndex(int index);
    TComponent *FindComponent(const std::string &name) const; // case-insensitive; null when none
    void InsertComponent(TComponent *component);
    void RemoveComponent(TComponent *component);
    void DestroyComponents();
    TPersistent *GetOwner() const override { return owner_; }

    // Identity
    const std::string &Name() const { return name_; }
    virtual void SetName(const std::string &name);
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    // State
    TComponentState ComponentState() const { return state_; }
    // Marks the start of destruction here and in every owned component.
    // ~TComponent calls it; a descendant whose destructor does work that
    // others should see as destruction calls it first.
    void Destroying();

    // Hearing of another component's destruction (across owners)
    void FreeNotification(TComponent *component);
    void RemoveFreeNotification(TComponent *component);

    // Streaming: the parent a reader gives a nested object (a control's
    // Parent), and the children a writer writes inside this one.
    virtual bool HasParent() const { return false; }
    virtual TComponent *GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent *parent);
    using TGetChildProc = std::function<void(TComponent *child)>;
    // By default: the components owned by root whose parent component is
    // this one, and for the root itself also those with no parent, in
    // creation order.
    virtual void GetChildren(const TGetChildProc &proc, TComponent *root) const;

    // Raises EComponentError when component may not be renamed newName
    // here; the owner is asked whenever one of its components is renamed.
    virtual void ValidateRename(
        TComponent *component, const std::string &curName, const std::string &newName);

protected:
    // After a form resource has set every property and resolved every
    // reference; in creation order, csLoading still set.
    virtual void Loaded();
    // Reads or writes this component's part of a form resource: its
    // properties and the objects nested in it. An override does its work
    // around the inherited call, which it must make.
    virtual void ReadState(TReader &reader);
    virtual void WriteState(TWriter &writer);
    // Sent to the owner (and by it to every owned component) when a component
    // is inserted into or removed from it, and to each free-notification
    // partner when a component is destroyed.
    virtual void Notification(TComponent *component, TOperation operation);
    void SetDesigning(bool designing, bool setChildren = true);
    void Updating() { state_.Include(csUpdating); }
    void Updated() { state_.Exclude(csUpdating); }

private:
    friend class TReader;
    friend class TWriter;
    friend struct TLoadSession;
    friend struct TWriteSession;
    void SetState(TComponentStateFlag flag, bool on) { on ? state_.Include(flag) : state_.Exclude(flag); }

    TComponent *owner_ = nullptr;
    std::vector<TComponent *> components_; // owned, in creation order
    std::vector<TComponent *> freeNotifies_; // partners, each holds this one too
    std::string name_;
    int tag_ = 0;
    TComponentState state_;
};

// True when name is a valid component name: a letter or '_' followed by
// letters, digits and '_' (ASCII).
bool IsValidIdent(const std::string &name);

class TCollection;

// One item of a collection (a grid column, a status panel): created by the
// collection from its ItemClass and freed by it.
class TCollectionItem : public TPersistent
{
public:
    explicit TCollectionItem(TCollection *collection);
    ~TCollectionItem() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TCollection *Collection() const { return collection_; }
    void SetCollection(TCollection *collection);
    int ID() const { return id_; }
    int Index() const;
    void SetIndex(int index);
    virtual std::string DisplayName() const;
    TPersistent *GetOwner() const override;

protected:
    // Tells the collection that this item (or, with allItems, the whole
    // collection) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection *collection_ = nullptr;
    int id_ = 0;
};

// An owned list of items of one class.
class TCollection : public TPersistent
{
public:
    explicit TCollection(const TMetaClass &itemClass, TPersistent *owner = nullptr);
    ~TCollection() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Items
    TCollectionItem *Add();
    TCollectionItem *Insert(int index);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem *Items(int index) const; // EListError on a bad index
    void SetItems(int index, const TCollectionItem *value) { Items(index)->Assign(value); }
    TCollectionItem *FindItemID(int id) const;
    const TMetaClass &ItemClass() const { return itemClass_; }

    // Changes: Update runs once at the outermost EndUpdate
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    void Assign(const TPersistent *source) override;
    TPersistent *GetOwner() const override { return owner_; }

protected:
    // Called after a change: item is the changed item, or null when the list
    // itself (or every item) changed. Owners react here (a grid re-lays out).
    virtual void Update(TCollectionItem *item);
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem *item);
    void RemoveItem(TCollectionItem *item);
    void ItemChanged(TCollectionItem *item);

    const TMetaClass &itemClass_;
    TPersistent *owner_;
    std::vector<TCollectionItem *> items_;
    int nextId_ = 0;
    int updateCount_ = 0;
};

// The class registry. Each library registers its own classes in its
// registration function (registration.h); names are compared
// case-insensitively. Registering the same class again is harmless.
void RegisterClass(const TMetaClass &metaClass); // EComponentError "A class named %s already exists"
void RegisterClasses(std::initializer_list<const TMetaClass *> classes);
void UnRegisterClass(const TMetaClass &metaClass);
const TMetaClass &FindClass(const std::string &className); // EClassNotFound "Class %s not found"
const TMetaClass *GetClass(const std::string &className); // null when not registered

// Creates a component of the given class with the given owner. EComponentError
// when the class is not a component class or cannot be instantiated.
TComponent *CreateComponent(const TMetaClass &metaClass, TComponent *owner);
TComponent *CreateComponent(const std::string &className, TComponent *owner);
