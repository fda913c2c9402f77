#pragma once

struct TClassTable;

// A class reference: the class's name, its parent and, for classes that
// platform/classes knows, the table of its published properties, handlers
// and fields with the factory that creates it. Every class that is created
// by name or configured from a form resource declares one as
//
//     static const TMetaClass Class;
//     const TMetaClass *ClassType() const override { return &Class; }
//
// and defines it in its .cpp with its parent's: {"TFoo", &TComponent::Class}.
// The constructor is constexpr so that a metaclass is usable during static
// initialisation, before any table is attached to it.
class TMetaClass
{
public:
    constexpr TMetaClass(const char *name, const TMetaClass *parent)
        : name_(name)
        , parent_(parent)
    {
    }
    TMetaClass(const TMetaClass &) = delete;
    TMetaClass &operator=(const TMetaClass &) = delete;

    const char *ClassName() const { return name_; }
    const TMetaClass *ClassParent() const { return parent_; }
    bool InheritsFrom(const TMetaClass &ancestor) const
    {
        for (const TMetaClass *c = this; c; c = c->parent_)
            if (c == &ancestor)
                return true;
        return false;
    }

    // The published table, attached once by the class's registrar
    // (platform/classes/typinfo.h); null for a class that publishes nothing.
    const TClassTable *Table() const { return table_; }
    void AttachTable(const TClassTable *table) const { table_ = table; }

private:
    const char *name_;
    const TMetaClass *parent_;
    mutable const TClassTable *table_ = nullptr;
};

// The root of every class of the library.
class TObject
{
public:
    TObject() = default;
    TObject(const TObject &) = delete;
    TObject &operator=(const TObject &) = delete;
    virtual ~TObject() = default;

    static inline const TMetaClass Class { "TObject", nullptr };
    virtual const TMetaClass *ClassType() const { return &Class; }

    // A class that declares no metaclass of its own may still override
    // ClassName; every other class answers its metaclass's name.
    virtual const char *ClassName() const { return ClassType()->ClassName(); }
    const TMetaClass *ClassParent() const { return ClassType()->ClassParent(); }
    bool InheritsFrom(const TMetaClass &ancestor) const { return ClassType()->InheritsFrom(ancestor); }
};
