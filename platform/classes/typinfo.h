#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/rtl/currency.h"
#include "platform/rtl/events.h"
#include "platform/rtl/strings.h"

// Published properties, handler methods and component fields.
//
// Each class registers its table once, at the top of its .cpp, one property a
// line in header order, the table kept out of clang-format's reach:
//
// clang-format off
//     using P = TPublish<TPanel>;
//     static const TClassRegistrar<TPanel> registrar({
//         //          name       names        getter            setter               default  stored
//         P::Integer ("Left",                 &TPanel::Left,    &TPanel::SetLeft,    0),
//         P::Enum    ("Align",   AlignNames,  &TPanel::Align,   &TPanel::SetAlign,   alNone),
//         P::String  ("Caption",              &TPanel::Caption, &TPanel::SetCaption, "",      &TPanel::IsCaptionStored),
//         P::Event   ("OnClick",              &TPanel::OnClick),
//     });
// clang-format on
//
// A root class (a form) adds its handler methods and its component fields:
//
//     static const TClassRegistrar<TCalculadora> registrar({...properties...},
//         {{"BSumarClick", &TCalculadora::BSumarClick}},
//         {{"BSumar", &TCalculadora::BSumar}});
//
// The class itself enters the class registry through its library's
// registration function, which lists &TPanel::Class (see registration.h).

enum TPropKind {
    pkInteger,
    pkBoolean,
    pkEnumeration,
    pkSet,
    pkString,
    pkFloat,
    pkCurrency, // ordinal access carries the raw ten-thousandths
    pkDate,
    pkStrings, // a TStrings owned by the object
    pkPersistent, // a nested TPersistent owned by the object (Font)
    pkCollection, // a TCollection owned by the object
    pkComponent, // a reference to a component, resolved after loading
    pkEvent, // a TEvent member bound to a handler by name
};

const char *PropKindName(TPropKind kind);

using TEnumNames = std::vector<std::string>; // by ordinal
using TIdentMap = std::vector<std::pair<std::string, int64_t>>; // integer constants by name (clRed)

// A property's default: an ordinal, a float or a string; NoDefault means the
// property is always stored.
struct TDefault {
    bool Has = true;
    int64_t Ord = 0;
    double Float = 0;
    std::string Str;

    TDefault() = default;
    template <typename V>
    requires std::is_arithmetic_v<V> || std::is_enum_v<V> TDefault(V v)
        : Ord(static_cast<int64_t>(v))
        , Float(static_cast<double>(v))
    {
    }
    template <typename E>
    TDefault(TSet<E> set)
        : Ord(static_cast<int64_t>(set.Bits()))
    {
    }
    TDefault(Currency c)
        : Ord(c.Value)
        , Float(c.ToDouble())
    {
    }
    TDefault(const char *s)
        : Str(s)
    {
    }
    TDefault(std::string s)
        : Str(std::move(s))
    {
    }
};
inline const TDefault NoDefault = [] {
    TDefault d;
    d.Has = false;
    return d;
}();

// When a property is written: by comparing with its default (the rule for
// its kind), always, never, or as a predicate method of the class says.
struct TStored {
    enum TRule { ByDefault, Always, Never, Predicate } Rule = ByDefault;
    std::function<bool(const TObject *)> Proc;

    TStored() = default;
    TStored(bool always)
        : Rule(always ? Always : Never)
    {
    }
    template <typename C>
    TStored(bool (C::*predicate)() const)
        : Rule(Predicate)
        , Proc([predicate](const TObject *o) { return (static_cast<const C *>(o)->*predicate)(); })
    {
    }
};

struct THandlerInfo;

// One published property, its access erased to the kind's common type.
struct TPropInfo {
    std::string Name;
    TPropKind Kind = pkInteger;
    const TEnumNames *Names = nullptr; // enumeration values, set elements
    const TIdentMap *Idents = nullptr; // names an integer may be given by
    const TMetaClass *ObjectClass = nullptr; // the class a persistent, collection or component must be
    int64_t MinValue = std::numeric_limits<int64_t>::min(); // the range the C++ type holds
    int64_t MaxValue = std::numeric_limits<int64_t>::max();
    TDefault Default;
    TStored Stored;

    // Only the members of the property's kind are set; Set* are empty for a
    // property that cannot be written (a nested object without a setter).
    std::function<int64_t(const TObject *)> GetOrd;
    std::function<void(TObject *, int64_t)> SetOrd;
    std::function<double(const TObject *)> GetFloat;
    std::function<void(TObject *, double)> SetFloat;
    std::function<std::string(const TObject *)> GetStr;
    std::function<void(TObject *, const std::string &)> SetStr;
    std::function<TObject *(const TObject *)> GetObject;
    std::function<void(TObject *, TObject *)> SetObject;
    // Events: the signature, the bound handler's name, and binding
    // (a null handler clears the event).
    const std::type_info *EventSignature = nullptr;
    std::function<std::string(const TObject *)> GetHandlerName;
    std::function<void(TObject *, const THandlerInfo *, TObject *root)> BindHandler;
    std::function<std::any(const TObject *)> GetEvent; // a copy of the TEvent

    // Adds names by which an integer property may be given (colours).
    TPropInfo &&WithIdents(const TIdentMap &idents) &&
    {
        Idents = &idents;
        return std::move(*this);
    }
};

// A handler method of a root class, found by name when a resource binds an
// event to it.
struct THandlerInfo {
    std::string Name;
    const std::type_info *Signature = nullptr; // typeid(void(Args...))
    std::function<std::any(TObject *root)> Make; // a std::function<void(Args...)> calling root's method

    template <typename C, typename... A>
    THandlerInfo(std::string name, void (C::*method)(A...))
        : Name(std::move(name))
        , Signature(&typeid(void(A...)))
        , Make([method](TObject *root) {
            C *target = dynamic_cast<C *>(root);
            return std::any(std::function<void(A...)>(
                [target, method](A... args) { (target->*method)(std::forward<A>(args)...); }));
        })
    {
    }
};

// A component field of a root class, filled when the resource creates (or
// re-reads) the component of that name.
struct TFieldInfo {
    std::string Name;
    const TMetaClass *FieldClass = nullptr;
    std::function<void(TObject *root, TComponent *value)> Set; // value already checked against FieldClass

    template <typename C, typename T>
    TFieldInfo(std::string name, T *C::*field)
        : Name(std::move(name))
        , FieldClass(&T::Class)
        , Set([field](TObject *root, TComponent *value) {
            static_cast<C *>(root)->*field = static_cast<T *>(value);
        })
    {
    }
};

// What a class's registrar attaches to its metaclass.
struct TClassTable {
    // Non-null for a class that can be created: components from their owner,
    // collection items from their collection.
    std::function<TComponent *(TComponent *owner)> CreateComponent;
    std::function<TCollectionItem *(TCollection *collection)> CreateItem;
    std::vector<TPropInfo> Props;
    std::vector<THandlerInfo> Handlers;
    std::vector<TFieldInfo> Fields;
};

// Attaches T's table to T::Class. One static instance per class, in the
// class's .cpp. It does not enter T in the class registry: a library names
// every class of its own in its registration function (registration.h in the
// library's folder), which each program calls at start-up, so a class that a
// form resource names is registered whether or not the linker would have kept
// its unit for other reasons.
template <typename T> class TClassRegistrar
{
public:
    explicit TClassRegistrar(std::vector<TPropInfo> props, std::vector<THandlerInfo> handlers = {},
        std::vector<TFieldInfo> fields = {})
    {
        if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, TComponent *>)
            table_.CreateComponent = [](TComponent *owner) -> TComponent * { return new T(owner); };
        if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, TCollection *>)
            table_.CreateItem
                = [](TCollection *collection) -> TCollectionItem * { return new T(collection); };
        table_.Props = std::move(props);
        table_.Handlers = std::move(handlers);
        table_.Fields = std::move(fields);
        T::Class.AttachTable(&table_);
    }
    TClassRegistrar(const TClassRegistrar &) = delete;
    TClassRegistrar &operator=(const TClassRegistrar &) = delete;

private:
    TClassTable table_;
};

namespace typinfo_detail
{

template <typename F> struct setter_arg;
template <typename C, typename R, typename A> struct setter_arg<R (C::*)(A)> {
    using type = std::remove_cvref_t<A>;
};
template <typename C, typename R, typename A> struct setter_arg<R (C::*)(A) noexcept> {
    using type = std::remove_cvref_t<A>;
};
template <typename F>
requires requires
{
    &F::operator();
}
struct setter_arg<F> : setter_arg<decltype(&F::operator())> {
};
template <typename C, typename R, typename O, typename A> struct setter_arg<R (C::*)(O, A) const> {
    using type = std::remove_cvref_t<A>;
};

template <typename T> struct is_set : std::false_type {
};
template <typename E> struct is_set<TSet<E>> : std::true_type {
};

template <typename V> int64_t ToOrd(const V &v)
{
    if constexpr (is_set<V>::value)
        return static_cast<int64_t>(v.Bits());
    else
        return static_cast<int64_t>(v);
}
template <typename V> V FromOrd(int64_t o)
{
    if constexpr (is_set<V>::value)
        return V::FromBits(static_cast<uint64_t>(o));
    else
        return static_cast<V>(o);
}

template <typename Pointer>
using pointee_t = std::remove_cvref_t<std::remove_pointer_t<std::remove_cvref_t<Pointer>>>;

} // namespace typinfo_detail

// The builders of a class's property lines. Getters and setters are member
// functions of T or of a base of T, or callables taking (const T*) and
// (T*, value).
template <typename T> struct TPublish {
    template <typename G, typename S>
    static TPropInfo Integer(std::string name, G get, S set, TDefault def = {}, TStored stored = {})
    {
        using V = std::remove_cvref_t<std::invoke_result_t<G, const T *>>;
        using A = typename typinfo_detail::setter_arg<S>::type;
        static_assert(std::is_integral_v<A>, "an Integer property is set from an integral type");
        TPropInfo p = Ordinal<V, A>(std::move(name), pkInteger, get, set, std::move(def), std::move(stored));
        p.MinValue = static_cast<int64_t>(std::numeric_limits<A>::min());
        p.MaxValue = std::numeric_limits<A>::max() > static_cast<std::make_unsigned_t<int64_t>>(INT64_MAX)
            ? INT64_MAX
            : static_cast<int64_t>(std::numeric_limits<A>::max());
        return p;
    }
    template <typename G, typename S>
    static TPropInfo Boolean(std::string name, G get, S set, TDefault def = {}, TStored stored = {})
    {
        using V = std::remove_cvref_t<std::invoke_result_t<G, const T *>>;
        using A = typename typinfo_detail::setter_arg<S>::type;
        return Ordinal<V, A>(std::move(name), pkBoolean, get, set, std::move(def), std::move(stored));
    }
    template <typename G, typename S>
    static TPropInfo Enum(
        std::string name, const TEnumNames &names, G get, S set, TDefault def = {}, TStored stored = {})
    {
        using V = std::remove_cvref_t<std::invoke_result_t<G, const T *>>;
        using A = typename typinfo_detail::setter_arg<S>::type;
        TPropInfo p
            = Ordinal<V, A>(std::move(name), pkEnumeration, get, set, std::move(def), std::move(stored));
        p.Names = &names;
        return p;
    }
    template <typename G, typename S>
    static TPropInfo Set(
        std::string name, const TEnumNames &elements, G get, S set, TDefault def = {}, TStored stored = {})
    {
        using V = std::remove_cvref_t<std::invoke_result_t<G, const T *>>;
        using A = typename typinfo_detail::setter_arg<S>::type;
        TPropInfo p = Ordinal<V, A>(std::move(name), pkSet, get, set, std::move(def), std::move(stored));
        p.Names = &elements;
        return p;
    }
    // The table keeps the names' address for the life of the program: a
    // list made for the call would be gone once the registrar is built.
    template <typename G, typename S>
    static TPropInfo Enum(std::string, TEnumNames &&, G, S, TDefault = {}, TStored = {}) = delete;
    template <typename G, typename S>
    static TPropInfo Set(std::string, TEnumNames &&, G, S, TDefault = {}, TStored = {}) = delete;
    template <typename G, typename S>
    static TPropInfo String(std::string name, G get, S set, TDefault def = {}, TStored stored = {})
    {
        TPropInfo p = Base(std::move(name), pkString, std::move(def), std::move(stored));
        p.GetStr
            = [get](const TObject *o) { return std::string(std::invoke(get, static_cast<const T *>(o))); };
        p.SetStr = [set](TObject *o, const std::string &v) { std::invoke(set, static_cast<T *>(o), v); };
        return p;
    }
    template <typename G, typename S>
    static TPropInfo Float(std::string name, G get, S set, TDefault def = {}, TStored stored = {})
    {
        return Floating(std::move(name), pkFloat, get, set, std::move(def), std::move(stored));
    }
    template <typename G, typename S>
    static TPropInfo Date(std::string name, G get, S set, TDefault def = {}, TStored stored = {})
    {
        return Floating(std::move(name), pkDate, get, set, std::move(def), std::move(stored));
    }
    template <typename G, typename S>
    static TPropInfo Money(std::string name, G get, S set, TDefault def = {}, TStored stored = {})
    {
        TPropInfo p = Base(std::move(name), pkCurrency, std::move(def), std::move(stored));
        p.GetOrd
            = [get](const TObject *o) { return Currency(std::invoke(get, static_cast<const T *>(o))).Value; };
        p.SetOrd = [set](TObject *o, int64_t raw) {
            std::invoke(set, static_cast<T *>(o), Currency::FromRaw(raw));
        };
        p.GetFloat = [get](const TObject *o) {
            return Currency(std::invoke(get, static_cast<const T *>(o))).ToDouble();
        };
        p.SetFloat = [set](TObject *o, double v) { std::invoke(set, static_cast<T *>(o), FloatToCurr(v)); };
        return p;
    }
    // A TStrings the object owns; set, when given, assigns.
    template <typename G> static TPropInfo Strings(std::string name, G get, TStored stored = {})
    {
        TPropInfo p = Base(std::move(name), pkStrings, {}, std::move(stored));
        p.GetObject = [get](const TObject *o) -> TObject * {
            return static_cast<TStrings *>(std::invoke(get, static_cast<const T *>(o)));
        };
        return p;
    }
    // A nested persistent the object owns (Font); the reader walks into it.
    template <typename G, typename S = std::nullptr_t>
    static TPropInfo Persistent(std::string name, G get, S set = nullptr, TStored stored = {})
    {
        return Owned(std::move(name), pkPersistent, get, set, std::move(stored));
    }
    template <typename G, typename S = std::nullptr_t>
    static TPropInfo Collection(std::string name, G get, S set = nullptr, TStored stored = {})
    {
        return Owned(std::move(name), pkCollection, get, set, std::move(stored));
    }
    // A reference to another component; the setter receives only components
    // of the getter's class.
    template <typename G, typename S>
    static TPropInfo Component(std::string name, G get, S set, TStored stored = {})
    {
        using R = typinfo_detail::pointee_t<std::invoke_result_t<G, const T *>>;
        TPropInfo p = Base(std::move(name), pkComponent, NoDefault, std::move(stored));
        p.ObjectClass = &R::Class;
        p.GetObject
            = [get](const TObject *o) -> TObject * { return std::invoke(get, static_cast<const T *>(o)); };
        p.SetObject
            = [set](TObject *o, TObject *v) { std::invoke(set, static_cast<T *>(o), dynamic_cast<R *>(v)); };
        return p;
    }
    template <typename C, typename... A> static TPropInfo Event(std::string name, TEvent<A...> C::*member)
    {
        TPropInfo p = Base(std::move(name), pkEvent, NoDefault, {});
        p.EventSignature = &typeid(void(A...));
        p.GetHandlerName
            = [member](const TObject *o) { return (static_cast<const T *>(o)->*member).HandlerName(); };
        p.GetEvent = [member](const TObject *o) { return std::any(static_cast<const T *>(o)->*member); };
        p.BindHandler = [member](TObject *o, const THandlerInfo *h, TObject *root) {
            TEvent<A...> &event = static_cast<T *>(o)->*member;
            if (!h)
                event.Clear();
            else
                event = TEvent<A...>(std::any_cast<std::function<void(A...)>>(h->Make(root)), h->Name);
        };
        return p;
    }

private:
    static TPropInfo Base(std::string name, TPropKind kind, TDefault def, TStored stored)
    {
        TPropInfo p;
        p.Name = std::move(name);
        p.Kind = kind;
        p.Default = std::move(def);
        p.Stored = std::move(stored);
        return p;
    }
    template <typename V, typename A, typename G, typename S>
    static TPropInfo Ordinal(std::string name, TPropKind kind, G get, S set, TDefault def, TStored stored)
    {
        TPropInfo p = Base(std::move(name), kind, std::move(def), std::move(stored));
        p.GetOrd = [get](const TObject *o) {
            return typinfo_detail::ToOrd<V>(std::invoke(get, static_cast<const T *>(o)));
        };
        p.SetOrd = [set](TObject *o, int64_t v) {
            std::invoke(set, static_cast<T *>(o), typinfo_detail::FromOrd<A>(v));
        };
        return p;
    }
    template <typename G, typename S>
    static TPropInfo Floating(std::string name, TPropKind kind, G get, S set, TDefault def, TStored stored)
    {
        using A = typename typinfo_detail::setter_arg<S>::type;
        TPropInfo p = Base(std::move(name), kind, std::move(def), std::move(stored));
        p.GetFloat = [get](const TObject *o) {
            return static_cast<double>(std::invoke(get, static_cast<const T *>(o)));
        };
        p.SetFloat
            = [set](TObject *o, double v) { std::invoke(set, static_cast<T *>(o), static_cast<A>(v)); };
        return p;
    }
    template <typename G, typename S>
    static TPropInfo Owned(std::string name, TPropKind kind, G get, S set, TStored stored)
    {
        using R = typinfo_detail::pointee_t<std::invoke_result_t<G, const T *>>;
        TPropInfo p = Base(std::move(name), kind, NoDefault, std::move(stored));
        p.ObjectClass = &R::Class;
        p.GetObject
            = [get](const TObject *o) -> TObject * { return std::invoke(get, static_cast<const T *>(o)); };
        if constexpr (!std::is_same_v<S, std::nullptr_t>)
            p.SetObject = [set](TObject *o, TObject *v) {
                std::invoke(set, static_cast<T *>(o), dynamic_cast<R *>(v));
            };
        return p;
    }
};

// Generic access by name, over a class and its ancestors. The lookups answer
// null or false when there is no such property; the Get/Set routines raise
// EPropertyError "Property %s does not exist" for a missing name and
// "Invalid property type: %s" for a property of another kind.
const TPropInfo *GetPropInfo(const TMetaClass &metaClass, const std::string &name);
const TPropInfo *GetPropInfo(const TObject *instance, const std::string &name);
// Ancestors' properties first, each class's in registration order.
std::vector<const TPropInfo *> GetPropList(const TMetaClass &metaClass);
std::vector<const TPropInfo *> GetPropList(const TObject *instance);
bool IsPublishedProp(const TObject *instance, const std::string &name);
bool PropIsType(const TObject *instance, const std::string &name, TPropKind kind);
// Whether the writer would write the property (its stored rule and default).
bool IsStoredProp(const TObject *instance, const TPropInfo &prop);
bool IsStoredProp(const TObject *instance, const std::string &name);

// Integer, boolean, enumeration, set (bits by ordinal) and currency (raw).
int64_t GetOrdProp(const TObject *instance, const std::string &name);
void SetOrdProp(TObject *instance, const std::string &name, int64_t value); // ERangeError outside the type
std::string GetEnumProp(const TObject *instance, const std::string &name); // the value's name
void SetEnumProp(TObject *instance, const std::string &name, const std::string &value);
std::string GetSetProp(const TObject *instance, const std::string &name); // "[a,b]"
void SetSetProp(TObject *instance, const std::string &name, const std::string &value);
std::string GetStrProp(const TObject *instance, const std::string &name);
void SetStrProp(TObject *instance, const std::string &name, const std::string &value);
double GetFloatProp(const TObject *instance, const std::string &name); // float, date, currency
void SetFloatProp(TObject *instance, const std::string &name, double value);
TObject *GetObjectProp(
    const TObject *instance, const std::string &name); // strings, persistent, collection, component
void SetObjectProp(TObject *instance, const std::string &name, TObject *value);
std::string GetMethodName(const TObject *instance, const std::string &name); // an event's handler name
// The event itself, when the instance publishes one of that name and
// signature; an unassigned event otherwise.
std::any GetEventValue(const TObject *instance, const std::string &name, const std::type_info &signature);
template <typename... A> TEvent<A...> GetEventProp(const TObject *instance, const std::string &name)
{
    std::any value = GetEventValue(instance, name, typeid(void(A...)));
    return value.has_value() ? std::any_cast<TEvent<A...>>(value) : TEvent<A...>();
}

// The names of an enumeration's values and a set's elements.
std::string GetEnumName(const TPropInfo &prop, int64_t value); // "" when out of range
int GetEnumValue(const TPropInfo &prop, const std::string &name); // -1 when unknown; case-insensitive

// A root class's handlers and fields, over it and its ancestors.
const THandlerInfo *FindHandler(const TMetaClass &metaClass, const std::string &name);
const TFieldInfo *FindField(const TMetaClass &metaClass, const std::string &name);
// Binds an event property of instance to the named handler of root, as a
// form resource does; EPropertyError when root has no such handler or its
// signature does not fit the event.
void SetMethodProp(TObject *instance, const std::string &name, TObject *root, const std::string &handlerName);
